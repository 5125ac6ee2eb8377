// The Sweda protocol pieces without a printer: the frame, the end of an
// answer that arrives in pieces, and what each kind of answer means.
#include <gtest/gtest.h>

#include <string>

#include "drivers/ZuvoECFSweda.h"

using namespace zuvo;
using S = TZuvoECFSweda;

namespace {

// The message of Resposta with the last counter "0012"; PapelAcabando in Papel.
std::string Mensagem(const std::string& Resposta, bool* Papel = nullptr) {
  bool p = false;
  std::string m = S::MensagemErro(Resposta, "0012", p);
  if (Papel) *Papel = p;
  return m;
}

}  // namespace

TEST(SwedaQuadro, EscDotCommandBraceWithoutCheckByte) {
  EXPECT_EQ(S::PreparaComando("271"), "\x1b.271}");
  EXPECT_EQ(S::PreparaComando("13N"), "\x1b.13N}");
}

TEST(SwedaQuadro, AnAnswerEndsWithABraceAmongItsLastTwoBytes) {
  // As the pieces of one answer arrive.
  EXPECT_FALSE(S::RespostaCompleta(""));
  EXPECT_FALSE(S::RespostaCompleta(".+"));
  EXPECT_FALSE(S::RespostaCompleta(".+00"));
  EXPECT_FALSE(S::RespostaCompleta(".+0012VENDAS"));
  EXPECT_TRUE(S::RespostaCompleta(".+0012VENDAS}"));
  EXPECT_TRUE(S::RespostaCompleta(".+0012}\r"));
  // Two bytes or fewer are never a whole answer, even with a brace.
  EXPECT_FALSE(S::RespostaCompleta("}"));
  EXPECT_FALSE(S::RespostaCompleta(".}"));
  EXPECT_TRUE(S::RespostaCompleta(".]}"));
  // A brace further back belongs to an earlier page.
  EXPECT_FALSE(S::RespostaCompleta(".+0012A}.+"));
}

TEST(SwedaErros, InterfaceFailuresCarryTheCableCheckList) {
  const std::string lista = CRLF + "Verifique:" + CRLF + "- A impressora está ligada ? " + CRLF +
                            "- A tampa está aberta ?" + CRLF + "- Os cabos estão conectados ?";
  EXPECT_EQ(Mensagem(".-P002}"), "Comando não foi enviado a Impressora." + lista);
  EXPECT_EQ(Mensagem(".-P006}"), "Não foi recebida a resposta da Impressora." + lista);
  EXPECT_EQ(Mensagem(".-P009}"), lista);
  EXPECT_EQ(Mensagem(".-P10000" + std::string("0012}")), "Impressora fora de linha" + CRLF + lista);
  EXPECT_EQ(Mensagem(".-P02000" + std::string("0012}")), "Time-out de Transmissao" + CRLF + lista);
  EXPECT_EQ(Mensagem(".-P00600" + std::string("0012}")),
            "Impressora não está pronta para aceitar novo comando" + CRLF + lista);
}

TEST(SwedaErros, PaperDigitTellsAnExecutedCommandFromARefusedOneByTheCounter) {
  bool papel = true;
  // The counter did not move: nothing was executed.
  EXPECT_EQ(Mensagem(".-P005000012}", &papel), "Sem papel");
  EXPECT_FALSE(papel);
  // It moved: the command was executed on low paper, which is only a notice.
  EXPECT_EQ(Mensagem(".-P005000013}", &papel), "");
  EXPECT_TRUE(papel);
}

TEST(SwedaErros, EveryRefusalRaisesAndOneWithoutTextNamesItsCode) {
  EXPECT_EQ(Mensagem(".-0021LEITURA X INICIAL PENDENTE}"), "LEITURA X INICIAL PENDENTE");
  // A refusal without text used to read as success.
  EXPECT_EQ(Mensagem(".-0099}"), "Comando recusado pela Impressora (código 0099)");
  // So does an interface answer with no known digit.
  EXPECT_NE(Mensagem(".-P000000012}").find("Falha P000"), std::string::npos);
  EXPECT_EQ(Mensagem(".+0012}"), "");
  EXPECT_EQ(Mensagem(".+C001100}"), "");
  // Nothing at all stands for a time-out.
  EXPECT_EQ(Mensagem(""), "^TIMEOUT");
}
