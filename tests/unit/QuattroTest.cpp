// The Quattro driver's protocol against a tiny scripted printer on a
// pseudo-terminal that answers each command from a table: the frame, the
// end of an answer that arrives in pieces, the error table and the status
// positions.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "drivers/ZuvoECFQuattro.h"
#include "sim/PtyPar.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using zuvo::teste::MensagemDe;
using Q = TZuvoECFQuattro;

namespace {

// A "28" answer with the answer number 0042 and the given bytes placed at
// their positions (counted from 1 in the whole answer).
std::string Status28(const std::map<int, std::string>& Em = {}) {
  std::string r = ".+0042" + std::string(118, '0') + "}";
  r[17] = 'N';
  r[30] = '!';
  r.replace(31, 10, "0712261030");
  r[53] = 'N';
  r[123] = 'S';
  for (const auto& [pos, texto] : Em) r.replace(static_cast<size_t>(pos - 1), texto.size(), texto);
  return r;
}

struct Impressora {
  std::mutex m;
  std::vector<std::string> comandos;
  std::map<std::string, std::string> respostas{{"5604", ".+0401.05}"}, {"28", Status28()},
                                               {"5608", ".+08NN}"},    {"5606", ".+06NNN}"},
                                               {"5605", ".+05N}"},     {"23", ".+P000}"}};
  std::atomic<int> pedacos = 0;  // answers go out this many bytes at a time, 30 ms apart
  std::atomic<int> ocupado = 0;  // "23" answers "printing" this many more times

  void Responde(const std::string& Cmd, const std::string& Resposta) {
    std::lock_guard<std::mutex> l(m);
    respostas[Cmd] = Resposta;
  }
  std::vector<std::string> Comandos() {
    std::lock_guard<std::mutex> l(m);
    return comandos;
  }
  size_t Processa(const std::string& p, PtyPar::Saida& out) {
    std::lock_guard<std::mutex> l(m);
    if (p[0] != 27) return 1;
    const size_t fim = p.find('}');
    if (fim == std::string::npos) return 0;
    const std::string cmd = p.substr(2, fim - 2);
    comandos.push_back(cmd);
    auto r = respostas.find(cmd);
    std::string resposta = r != respostas.end() ? r->second : ".+0043}";
    if (cmd == "23" && ocupado > 0) {
      ocupado--;
      resposta = ".+P002}";
    }
    if (pedacos > 0)
      out.EmPedacos(resposta, static_cast<size_t>(pedacos.load()), 30);
    else
      out.Escreve(resposta);
    return fim + 1;
  }
};

class QuattroProtocolo : public ::testing::Test {
 protected:
  void SetUp() override {
    par.Inicia([this](const std::string& p, PtyPar::Saida& o) { return imp.Processa(p, o); });
    ecf.SetModelo(ecfQuattro);
    ecf.SetPorta(par.CaminhoEscravo());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  Q& Drv() { return dynamic_cast<Q&>(ecf.ECF()); }
  std::string Erro(const std::string& Texto) {
    return "Erro retornado pela Impressora: Quattro\r\n\r\n" + Texto;
  }

  teste::AmbienteTeste amb;
  Impressora imp;
  PtyPar par;
  TZuvoECF ecf;
};

const std::string kVerifique =
    "\r\nVerifique:\r\n- A impressora está ligada ? \r\n- A tampa está aberta ?\r\n"
    "- Os cabos estão conectados ?";

}  // namespace

TEST(QuattroQuadro, FrameAndEndOfAnswer) {
  EXPECT_EQ(Q::PreparaComando("5604"), "\x1b.5604}");
  EXPECT_FALSE(Q::RespostaCompleta(""));
  EXPECT_FALSE(Q::RespostaCompleta(".}"));  // two characters are not an answer yet
  EXPECT_FALSE(Q::RespostaCompleta(".+0042"));
  EXPECT_TRUE(Q::RespostaCompleta(".]}"));
  EXPECT_TRUE(Q::RespostaCompleta(".+0042}"));
  // "}" and ESC in a user's text would end or start a command on the line.
  EXPECT_EQ(Q::TextoLivre("A}B\x1b"
                          "C"),
            "A B C");
}

TEST(QuattroQuadro, SerialReadingPieces) {
  EXPECT_EQ(Q::LinhasSerial(".+0042LINHA 1}.+0042LINHA 2}.]}"), (TStrings{"LINHA 1", "LINHA 2"}));
  EXPECT_EQ(Q::LinhasSerial(".+0042A}SOLTA}.]}"), (TStrings{"A", "SOLTA"}));
  EXPECT_TRUE(Q::LinhasSerial(".]}").empty());
}

TEST_F(QuattroProtocolo, ActivationSendsFramesAndReadsAnswersInPieces) {
  EXPECT_EQ(imp.Comandos(), (std::vector<std::string>{"5604", "28"}));
  EXPECT_EQ(par.Recebido(), "\x1b.5604}\x1b.28}");
  EXPECT_EQ(ecf.NumVersao(), "01.05");
  EXPECT_EQ(Drv().NumUltimaResposta(), "0042");
  EXPECT_EQ(ecf.Device().HandShake(), hsDTR_DSR);

  // An answer that comes three bytes at a time ends at its "}" only.
  imp.pedacos = 3;
  imp.Responde("5609", ".+090231}");
  EXPECT_EQ(ecf.NumCupom(), "000231");
  // A read carries no answer number: the last one stays.
  EXPECT_EQ(Drv().NumUltimaResposta(), "0042");
}

TEST_F(QuattroProtocolo, ErrorTableAndCommunicationStatus) {
  auto erro = [&](const std::string& Resposta) {
    imp.Responde("21", Resposta);
    return MensagemDe([&] { ecf.AbreGaveta(); });
  };
  EXPECT_EQ(erro(".-0042ERRO:        044}"), Erro("É preciso executar redução Z."));
  EXPECT_EQ(erro(".-0042ERRO:        026}"), Erro("Parâmetro diferente de \x93S\x94ou \x93N\x94."));
  // A code the table leaves to the printer: its own text, from position 7.
  EXPECT_EQ(erro(".-0042TECLADO BLOQUEADO 021}"), Erro("TECLADO BLOQUEADO 021"));
  EXPECT_EQ(erro(".-P002}"), Erro("Comando não foi enviado a Impressora." + kVerifique));
  EXPECT_EQ(erro(".-P004}"), Erro("Não foi recebida a resposta da Impressora." + kVerifique));
  EXPECT_EQ(erro(".-P001000042}"), Erro("Impressora fora de linha\r\n" + kVerifique));
  // A garbled code is an error, never a success.
  EXPECT_NE(erro(".-0042ERRO:x}"), teste::kSemErro);
  EXPECT_EQ(erro(".+0050}"), teste::kSemErro);
  EXPECT_EQ(Drv().NumUltimaResposta(), "0050");
}

TEST_F(QuattroProtocolo, StatusPositionsCountFromOne) {
  imp.Responde("28", Status28({{18, "F"}}));
  EXPECT_EQ(ecf.Estado(), estRequerZ);
  imp.Responde("28", Status28({{18, "S"}}));
  EXPECT_EQ(ecf.Estado(), estBloqueada);
  imp.Responde("28", Status28({{124, "N"}}));
  EXPECT_EQ(ecf.Estado(), estRequerX);
  // The neighbours of those positions mean nothing.
  imp.Responde("28", Status28({{17, "F"}, {123, "N"}}));
  EXPECT_EQ(ecf.Estado(), estLivre);

  imp.Responde("28", Status28({{19, "000000012345"}, {54, "S"}, {100, "000000002000"}}));
  EXPECT_DOUBLE_EQ(ecf.SubTotal(), 123.45);
  EXPECT_TRUE(ecf.HorarioVerao());
  EXPECT_EQ(ecf.DataHora(), EncodeDate(2026, 12, 7) + EncodeTime(10, 30, 0));
  // The amount paid is what the status says was paid, while paying.
  EXPECT_EQ(ecf.TotalPago(), 0);
  imp.Responde("5608", ".+08SN}");
  EXPECT_DOUBLE_EQ(ecf.TotalPago(), 20.0);

  // A status without its "!" keeps the state and reads as no date.
  imp.Responde("28", ".+0042N}");
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_EQ(ecf.DataHora(), 0);
  // One cut short after the "!" is a clear error.
  imp.Responde("28", ".+0042N000!0712}");
  EXPECT_NE(MensagemDe([&] { ecf.SubTotal(); }).find("Resposta incompleta"), std::string::npos);
}

TEST_F(QuattroProtocolo, PrintingEndsOnReadyOrLowPaperStatus) {
  // Printing twice, then ready with little paper: finished, with the notice
  // (waiting for '0' alone would run into the time-out).
  imp.ocupado = 2;
  imp.Responde("23", ".+P005}");
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), teste::kSemErro);
  const auto c = imp.Comandos();
  EXPECT_EQ(std::vector<std::string>(c.end() - 4, c.end()),
            (std::vector<std::string>{"13N", "23", "23", "23"}));
  ASSERT_FALSE(amb.Toolkit->Mensagens.empty());
  EXPECT_EQ(amb.Toolkit->Mensagens.back().Texto, "Papel acabando");

  // A refused command printed nothing: its error comes at once, even while
  // the status still says printing.
  imp.ocupado = 1000;
  imp.Responde("13N", ".-0042ERRO:        045}");
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }),
            Erro("Não é possível executar duas reduções no mesmo dia."));
  EXPECT_EQ(imp.Comandos().back(), "13N");
}
