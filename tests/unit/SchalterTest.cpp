// The Schalter driver's protocol: the frame and its check byte, the data
// block check, the status codes, and how an answer ends (a block in pieces,
// an error code where a block was due, a variable answer), against a tiny
// scripted printer on a pseudo-terminal.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "core/ZuvoPlataforma.h"
#include "drivers/ZuvoECFSchalter.h"
#include "sim/PtyPar.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using S = TZuvoECFSchalter;

namespace {

std::string B(std::initializer_list<int> v) {
  std::string r;
  for (int c : v) r += static_cast<char>(c);
  return r;
}

// A data block as the printer frames it.
std::string Bloco(const std::string& Dados) { return S::PreparaComando(Dados); }

std::string Identificacao(const std::string& Versao) {
  return Bloco(B({228}) + std::string(27, 'M') + Versao + " " + "SC00000042" + std::string(7, ' '));
}

// The 224 answer: ECF 0001, no document open, next COO 000124, 10:20:30 on
// 07/12/26, subtotal 1.234,56.
std::string Contadores() {
  std::string sub = "1.234,56";
  return Bloco(B({224}) + "00012000124  102030" + "07/12/26" + std::string(21 - sub.size(), ' ') + sub +
               std::string(21, '0'));
}

// The scripted printer: takes whole frames (ESC "f" ... K or ESC "n" ... CR)
// and answers by command byte; a single 0 byte when the script has nothing.
struct Impressora {
  std::mutex m;
  std::vector<std::string> quadros;
  std::map<int, std::function<void(PtyPar::Saida&)>> respostas;

  size_t Processa(const std::string& p, PtyPar::Saida& out) {
    std::lock_guard<std::mutex> l(m);
    if (p[0] != 27) return 1;
    if (p.size() < 4) return 0;
    size_t n = 0;
    if (p[1] == 'n') {
      const size_t cr = p.find('\r');
      if (cr == std::string::npos) return 0;
      n = cr + 1;
    } else {
      unsigned soma = 0;
      for (unsigned char c : p) soma += c;
      if (soma % 256 != 0) return 0;  // the check byte has not come yet
      n = p.size();
    }
    quadros.push_back(p.substr(0, n));
    const int cmd = static_cast<unsigned char>(p[1] == 'n' ? 'n' : p[2]);
    auto r = respostas.find(cmd);
    if (r != respostas.end())
      r->second(out);
    else
      out.Escreve(B({0}));
    return n;
  }
  void Responde(int Cmd, std::function<void(PtyPar::Saida&)> F) {
    std::lock_guard<std::mutex> l(m);
    respostas[Cmd] = std::move(F);
  }
  size_t Quadros() {
    std::lock_guard<std::mutex> l(m);
    return quadros.size();
  }
};

class SchalterPty : public ::testing::Test {
 protected:
  void SetUp() override {
    imp.Responde(228, [](PtyPar::Saida& o) { o.Escreve(Identificacao("3.10")); });
    // An empty table of non-fiscal types (AbreCupom loads it).
    imp.Responde(227, [](PtyPar::Saida& o) { o.Escreve(Bloco(B({227}) + "N" + std::string(119, ' '))); });
    par.Inicia([this](const std::string& p, PtyPar::Saida& o) { return imp.Processa(p, o); });
    ecf.SetModelo(ecfSchalter);
    ecf.SetPorta(par.CaminhoEscravo());
    ecf.SetTimeOut(2);
    ecf.SetIntervaloAposComando(0);
    ecf.SetReTentar(false);
  }
  void TearDown() override { ecf.Desativar(); }
  // Real elapsed time of a call (the test platform skips sleeps).
  template <class F>
  int64_t Mede(F f) {
    PlataformaSistema relogio;
    const int64_t t0 = relogio.MonotonicoMs();
    f();
    return relogio.MonotonicoMs() - t0;
  }

  teste::AmbienteTeste amb;
  Impressora imp;
  PtyPar par;
  TZuvoECF ecf;
};

}  // namespace

TEST(SchalterQuadro, CheckByteBringsTheWholeFrameToAMultipleOf256) {
  // 27 + 102 + 224 + 32 + 32 = 417; 417 mod 256 = 161; 256 - 161 = 95.
  EXPECT_EQ(S::PreparaComando(B({224, 32, 32})), B({27, 102, 224, 32, 32, 95}));
  // A sum already a multiple of 256 takes 0, never 256.
  EXPECT_EQ(S::PreparaComando(B({127})), B({27, 102, 127, 0}));
  // Free text goes unframed, ended by CR.
  EXPECT_EQ(S::PreparaComando("nOBRIGADO"), "\x1bnOBRIGADO\r");
}

TEST(SchalterQuadro, ADataBlockIsValidOnlyAsTheFrameOfItsOwnData) {
  const std::string bloco = Contadores();
  EXPECT_TRUE(S::BlocoValido(bloco));
  std::string trocado = bloco;
  trocado[20] = static_cast<char>(trocado[20] + 1);
  EXPECT_FALSE(S::BlocoValido(trocado));
  EXPECT_FALSE(S::BlocoValido(bloco.substr(0, 40)));
  EXPECT_FALSE(S::BlocoValido(std::string(1, '\0') + bloco.substr(1)));
}

TEST(SchalterErros, ListedCodesCodesInTheTextAndUnlistedCodes) {
  EXPECT_EQ(S::MensagemErro(0, "Schalter"), "");
  EXPECT_EQ(S::MensagemErro(81, "Schalter"), "Papel próximo do fim.");
  EXPECT_EQ(S::MensagemErro(107, "Schalter"), "Comando inexistente");
  EXPECT_EQ(S::MensagemErro(118, "Schalter"),
            "Valor Total de Pagamentos‚ inferior ao Total da Venda  Erro:(118)");
  EXPECT_EQ(S::MensagemErro(94, "Schalter"), "Aliquota nao programada  Erro:(94)");
  EXPECT_EQ(S::MensagemErro(148, "Schalter"),
            "Relógio fora de operação (148). Será necessária uma Intervenção Técnica.");
  EXPECT_EQ(S::MensagemErro(80, "Schalter"), "A palavra \"TOTAL\" não pode ser enviada para a Impressora");
  EXPECT_EQ(S::MensagemErro(1, "Schalter"), "Erro na impressora Schalter (1)");
  EXPECT_EQ(S::MensagemErro(200, "Schalter"), "Erro na impressora Schalter (200)");
}

TEST_F(SchalterPty, AnErrorCodeEndsABlockReadAtOnceAndNamesThePrinter) {
  ecf.Ativar();
  EXPECT_EQ(ecf.Device().HandShake(), hsRTS_CTS);  // forced, and the pty has no modem lines
  imp.Responde(224, [](PtyPar::Saida& o) { o.Escreve(B({107})); });
  std::string erro;
  const int64_t ms = Mede([&] { erro = teste::MensagemDe([&] { ecf.DataHora(); }); });
  EXPECT_EQ(erro, "Erro retornado pela Impressora: Schalter\n\nComando inexistente");
  EXPECT_LT(ms, 1000);  // not the 2 s time-out

  imp.Responde(20, [](PtyPar::Saida& o) { o.Escreve(B({81})); });
  EXPECT_EQ(teste::MensagemDe([&] { ecf.LeituraX(); }), "Erro retornado pela Impressora: Schalter\n\nPapel próximo do fim.");
  EXPECT_FALSE(ecf.AguardandoResposta());
}

TEST_F(SchalterPty, ABlockArrivingInPiecesIsReadWholeAndAWrongOneIsRefused) {
  ecf.Ativar();
  imp.Responde(224, [](PtyPar::Saida& o) { o.EmPedacos(Contadores(), 10, 30); });
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn:ss", ecf.DataHora()), "07/12/2026 10:20:30");
  EXPECT_EQ(ecf.NumCupom(), "000123");  // '2': the counter shows the next one
  EXPECT_NEAR(ecf.SubTotal(), 1234.56, 0.001);

  imp.Responde(224, [](PtyPar::Saida& o) {
    std::string b = Contadores();
    b[40] = 'X';
    o.Escreve(b);
  });
  EXPECT_EQ(teste::MensagemDe([&] { ecf.NumCupom(); }),
            "Erro retornado pela Impressora: Schalter\n\nCheckSum do Retorno não é válido.");
}

// The serial fiscal-memory read ends when the answer stops growing. Counting
// an empty buffer as "stopped" ended the read before a printer that first
// reads its memory had sent anything, and reported success with no lines.
TEST_F(SchalterPty, TheSerialReportWaitsForAPrinterThatStartsLate) {
  ecf.Ativar();
  const std::string texto = "LEITURA DA MEMORIA FISCAL\r\nCRZ:0001 VB:10,00\r\nGRANDE TOTAL: 10,00\r\n";
  imp.Responde(21, [&](PtyPar::Saida& o) { o.EmPedacos(Bloco(texto), 25, 150, 700); });
  TStrings linhas;
  ecf.LeituraMemoriaFiscalSerial(1, 1, linhas);
  ASSERT_EQ(linhas.size(), 3u);
  EXPECT_EQ(linhas[0], "LEITURA DA MEMORIA FISCAL");
  EXPECT_EQ(linhas[2], "GRANDE TOTAL: 10,00");
  const std::string enviado = imp.quadros.back();
  EXPECT_EQ(enviado.substr(2, 22), B({21, 4}) + "000000000000" + "00010001");
}

TEST_F(SchalterPty, ASerialReportThatNeverComesIsATimeOutNotAnEmptySuccess) {
  ecf.Ativar();
  imp.Responde(21, [](PtyPar::Saida&) {});
  TStrings linhas{"velha"};
  EXPECT_EQ(teste::MensagemDe([&] { ecf.LeituraMemoriaFiscalSerial(EncodeDate(2026, 1, 1), EncodeDate(2026, 1, 1), linhas); }),
            "Impressora Schalter não está respondendo");
  EXPECT_TRUE(linhas.empty());
}

// Only a printer that answers the identification query with a code is an
// older one; taking "2.04" on any failure activated a printer that is off.
TEST_F(SchalterPty, TheOlderVersionIsTakenOnlyFromAPrinterThatAnswered) {
  imp.Responde(228, [](PtyPar::Saida& o) { o.Escreve(B({107})); });
  ecf.Ativar();
  EXPECT_EQ(ecf.NumVersao(), "2,04");
  ecf.Desativar();

  imp.Responde(228, [](PtyPar::Saida&) {});
  EXPECT_EQ(teste::MensagemDe([&] { ecf.Ativar(); }), "Impressora Schalter não está respondendo");
  EXPECT_FALSE(ecf.Ativo());

  imp.Responde(228, [](PtyPar::Saida& o) { o.Escreve(B({0})); });  // accepted, but no identification
  EXPECT_EQ(teste::MensagemDe([&] { ecf.Ativar(); }), "Erro inicializando a impressora Schalter");
  EXPECT_FALSE(ecf.Ativo());
}

TEST_F(SchalterPty, FieldsThatDoNotFitAreRefusedBeforeAnythingIsSent) {
  ecf.Ativar();
  ecf.AbreCupom();
  const size_t antes = imp.Quadros();
  EXPECT_EQ(teste::MensagemDe([&] { ecf.VendeItem("1", "X", "T00", 100000, 1); }), "Quantidade deve ser inferior a 99999.");
  EXPECT_THROW(ecf.VendeItem("1", "X", "T00", 1, 100000000), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.VendeItem("1", "X", "Txx", 1, 1), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.CancelaItemVendido(10000), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.PulaLinhas(100), EZuvoECFCMDInvalido);
  EXPECT_EQ(imp.Quadros(), antes);
  // A quantity written longer than its field is rounded to fit.
  ecf.VendeItem("1", "X", "T00", 12345.678, 1);
  EXPECT_EQ(imp.quadros.back().substr(3 + 4 + 13 + 1 + 62, 7), "12345,7");
}
