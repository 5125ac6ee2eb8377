// The ICash protocol as the driver sees it: the frame and its sum, the end of
// an answer that arrives in pieces, the state and error tables, the states
// each command normally leaves, and the text block.
#include <gtest/gtest.h>

#include <string>

#include "drivers/ZuvoECFICash.h"

using namespace zuvo;
using I = TZuvoECFICash;

namespace {

const std::string ACK(1, '\x06');
const std::string STX(1, '\x02');
const std::string ETX(1, '\x03');

// A data block as the printer sends it: STX, two characters, the data, ETX
// and two check bytes (not interpreted by the driver).
std::string Bloco(const std::string& Dados) { return STX + "67" + Dados + ETX + "\x01\x7f"; }

// True only for the whole answer: every shorter piece of it is incomplete.
::testing::AssertionResult CompletaSoInteira(const std::string& Cmd, const std::string& Resposta) {
  for (size_t n = 0; n < Resposta.size(); n++)
    if (I::FimResposta(Cmd, Resposta.substr(0, n)) != I::frIncompleta)
      return ::testing::AssertionFailure() << "complete after " << n << " of " << Resposta.size();
  if (I::FimResposta(Cmd, Resposta) != I::frCompleta) return ::testing::AssertionFailure() << "whole answer not complete";
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST(ICashProtocolo, FrameCarriesTheSumOfItsBytesHighByteFirst) {
  EXPECT_EQ(I::PreparaComando("45"), std::string("\x02\x34\x35\x03\x00\x6E", 6));
  // "abi" adds up to 300; STX and ETX make it 305, sent as 01 31.
  EXPECT_EQ(I::PreparaComando("abi"), std::string("\x02" "abi" "\x03\x01\x31", 7));
  EXPECT_EQ(I::PreparaComando(""), "");
}

TEST(ICashProtocolo, AnAnswerIsCompleteOnlyWhenAllOfItHasArrived) {
  // A command without data: ACK, state and error; ACK and the state alone
  // would let an error character that comes late pass as success.
  EXPECT_TRUE(CompletaSoInteira("45", ACK + "0 "));
  EXPECT_TRUE(CompletaSoInteira("510", ACK + "0*"));
  // A read: its block follows the three characters, however late.
  EXPECT_TRUE(CompletaSoInteira("67082", ACK + "0 " + Bloco("0100000000")));
  EXPECT_TRUE(CompletaSoInteira("21", ACK + "2 " + STX + "21001" + ETX + ETX + ETX));
  // ... unless the error character says it was refused: no block comes.
  EXPECT_EQ(I::FimResposta("2100", ACK + "2/"), I::frCompleta);
  EXPECT_EQ(I::FimResposta("34M66", ACK + "0-"), I::frCompleta);
  // Something other than STX after a read's three characters is no block.
  EXPECT_EQ(I::FimResposta("67082", ACK + "0 X"), I::frSemBloco);
  // A lone NACK, and noise that never starts with ACK.
  EXPECT_EQ(I::FimResposta("45", "\x0F"), I::frNACK);
  EXPECT_EQ(I::FimResposta("45", "\x15" "0 "), I::frIncompleta);
}

TEST(ICashProtocolo, StateAndErrorCharactersAsThePrintersMessages) {
  EXPECT_EQ(I::MensagemErro(' '), "");
  EXPECT_EQ(I::MensagemErro('\0'), "");
  EXPECT_EQ(I::MensagemErro('/'), "Necessário Programação Prévia");
  EXPECT_EQ(I::MensagemErro('\''), "Erro de Cupom Aberto");
  EXPECT_EQ(I::MensagemErro('@'), "Jumper de Intervenção na Posição Errada");
  EXPECT_EQ(I::MensagemErro('P'), "Erro retornado pelo ECF: 80");
  EXPECT_EQ(I::MensagemEstado('0'), "");
  EXPECT_EQ(I::MensagemEstado('4'), "Cupom Fiscal Finalizando a Totalização (Formas de Pagamento)");
  EXPECT_EQ(I::MensagemEstado('H'), "Fora de Período de Vendas");
  EXPECT_EQ(I::MensagemEstado('Z'), "Erro retornado pelo ECF: 90");
}

TEST(ICashProtocolo, NormalStatesPerCommand) {
  EXPECT_TRUE(I::EstadoNormal("200", '1'));
  EXPECT_TRUE(I::EstadoNormal("200", '2'));
  EXPECT_TRUE(I::EstadoNormal("21...", '2'));
  EXPECT_FALSE(I::EstadoNormal("21...", '5'));
  EXPECT_TRUE(I::EstadoNormal("67082", 'E'));
  EXPECT_TRUE(I::EstadoNormal("2E", '4'));
  EXPECT_TRUE(I::EstadoNormal("7200", 'D'));
  EXPECT_FALSE(I::EstadoNormal("45", '2'));
  // Left out of the printer's documented lists, and mended: a partial
  // payment ('4'), a text after it, an item cancelled, the managerial
  // report ('B') and the linked receipt ('F') with their lines.
  EXPECT_TRUE(I::EstadoNormal("2200000000001000", '4'));
  EXPECT_TRUE(I::EstadoNormal("230...", '4'));
  EXPECT_TRUE(I::EstadoNormal("25001", '2'));
  EXPECT_TRUE(I::EstadoNormal("5601", 'B'));
  EXPECT_TRUE(I::EstadoNormal("570 linha", 'B'));
  EXPECT_TRUE(I::EstadoNormal("570 linha", 'F'));
  EXPECT_TRUE(I::EstadoNormal("20", 'F'));
  EXPECT_FALSE(I::EstadoNormal("20", 'B'));
}

TEST(ICashProtocolo, StateCharactersAsTheDriversStates) {
  EXPECT_EQ(I::EstadoDe('0'), estLivre);
  EXPECT_EQ(I::EstadoDe('1'), estVenda);
  // Selling ('2') is a receipt open for items, not an unknown state.
  EXPECT_EQ(I::EstadoDe('2'), estVenda);
  EXPECT_EQ(I::EstadoDe('4'), estPagamento);
  EXPECT_EQ(I::EstadoDe('B'), estRelatorio);
  // An open linked receipt closes as a report does.
  EXPECT_EQ(I::EstadoDe('F'), estRelatorio);
  EXPECT_EQ(I::EstadoDe('H'), estBloqueada);
  EXPECT_EQ(I::EstadoDe('E'), estRequerZ);
  EXPECT_EQ(I::EstadoDe('C'), estDesconhecido);
}

TEST(ICashProtocolo, TextBlockIsFourLinesOf48BrokenAtLineBreaks) {
  const std::string vazia(48, ' ');
  auto linha = [](const std::string& t) { return "0" + t + std::string(48 - t.size(), ' '); };
  EXPECT_EQ(I::BlocoTexto("Obrigado\r\nVolte sempre"),
            "23" + linha("Obrigado") + linha("Volte sempre") + "0" + vazia + "0" + vazia);
  // A long line runs on into the next; more than four lines are cut.
  const std::string longa(100, 'x');
  EXPECT_EQ(I::BlocoTexto(longa), "23" + linha(std::string(48, 'x')) + linha(std::string(48, 'x')) +
                                      linha("xxxx") + "0" + vazia);
  EXPECT_EQ(I::BlocoTexto("a\nb\nc\nd\ne").size(), 2u + 4 * 49);
  // A control byte inside would cut the frame on the printer.
  EXPECT_EQ(I::BlocoTexto(std::string("a\x03" "b", 3)).substr(2, 4), "0a b");
}
