// The Yanco family's own behaviour against its simulator over a real
// pseudo-terminal: what the shared suites do not cover (the start and the
// end of the fiscal day, the linked receipt and the cancellation of the last
// receipt, the letter tax codes, the fiscal-memory reads) and every fault the
// simulator injects, each ending in the family's message. The simulator's
// framing is checked byte for byte.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "component/ZuvoECF.h"
#include "core/ZuvoPlataforma.h"
#include "sim/SimYanco.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using zuvo::teste::kSemErro;
using zuvo::teste::MensagemDe;

namespace {

std::string Quadro(const std::string& Seq, const std::string& Cmd) {
  const std::string q = std::string(1, '\x02') + Seq + Cmd + '\x03';
  unsigned s = 0;
  for (unsigned char c : q) s += c;
  return q + static_cast<char>(s / 256) + static_cast<char>(s % 256);
}

class YancoSim : public ::testing::Test {
 protected:
  void SetUp() override {
    ecf.SetModelo(ecfYanco);
    ecf.SetPorta(sim.Porta());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  void TearDown() override { ecf.Desativar(); }
  bool NoPapel(const std::string& Texto) { return sim.Papel().find(Texto) != std::string::npos; }
  void VendeEPaga(const std::string& Forma) {
    ecf.AbreCupom();
    ecf.VendeItem("1", "ARROZ", "T01", 2, 5.5);
    ecf.EfetuaPagamento(Forma, 11);
    ecf.FechaCupom();
  }

  teste::AmbienteTeste amb;
  sim::SimYanco sim{sim::OpcoesSimulador{}};
  TZuvoECF ecf;
};

}  // namespace

TEST(SimYancoQuadro, AcknowledgesEchoesTheSequenceAndRefusesABadSum) {
  sim::SimYanco s{sim::OpcoesSimulador{}};
  // DC4, then the answer with the same sequence number and the echoed text.
  const std::string eco = Quadro("0042", "1FZUVO");
  EXPECT_EQ(s.Alimenta(eco), "\x14" + Quadro("0042", "00ZUVO"));
  // A command that returns nothing answers its status code as the text.
  EXPECT_EQ(s.Alimenta(Quadro("9999", "26")), "\x14" + Quadro("9999", "0000"));
  EXPECT_EQ(s.Alimenta(Quadro("0001", "99")), "\x14" + Quadro("0001", "4040"));
  // A frame whose sum is wrong is refused, and so is noise before a frame.
  std::string ruim = eco;
  ruim.back() = static_cast<char>(ruim.back() + 1);
  EXPECT_EQ(s.Alimenta("xx" + ruim), "\x15");
  // A frame cut short by the next one is dropped; the next one is answered.
  EXPECT_EQ(s.Alimenta(eco.substr(0, 6) + Quadro("0002", "26")), "\x14" + Quadro("0002", "0000"));
  EXPECT_EQ(s.Recusados(), 1);
  EXPECT_EQ(s.FalhasInternas(), 0);
}

TEST_F(YancoSim, TheFiscalDayStartsWithAnXReadingAndEndsWithZ) {
  sim.SetRequerX(true);
  EXPECT_EQ(ecf.Estado(), estRequerX);
  EXPECT_THROW(ecf.TestaPodeAbrirCupom(), EZuvoECFCMDInvalido);
  EXPECT_NE(MensagemDe([&] { ecf.AbreCupom(); }).find("Função não permitida sem início do Dia"), std::string::npos);
  ecf.LeituraX();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_TRUE(NoPapel("LEITURA X"));
  VendeEPaga("01");
  ecf.ReducaoZ();
  EXPECT_EQ(ecf.Estado(), estBloqueada);
  EXPECT_NE(MensagemDe([&] { ecf.AbreCupom(); }).find("Erro retornado pela Impressora: Yanco"), std::string::npos);
}

TEST_F(YancoSim, LetterCodesAndACancelledItem) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "CIGARRO", "F", 1, 8);
  ecf.VendeItem("2", "LIVRO", "I", 1, 30);
  ecf.VendeItem("3", "SERVICO", "N", 1, 5);
  ecf.CancelaItemVendido(2);
  EXPECT_DOUBLE_EQ(ecf.SubTotal(), 13);
  const auto itens = sim.Itens();
  ASSERT_EQ(itens.size(), 3u);
  EXPECT_EQ(itens[0].Aliquota, sim::kSubstituicao);
  EXPECT_EQ(itens[1].Aliquota, sim::kIsento);
  EXPECT_EQ(itens[2].Aliquota, sim::kNaoIncidencia);
  EXPECT_TRUE(itens[1].Cancelado);
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_F(YancoSim, LinkedReceiptInTwoCopiesThenTheLastReceiptIsCancelled) {
  VendeEPaga("02");
  ecf.CupomVinculado("", "02", "", 0, {"COMPROVANTE DO CLIENTE", "assinatura"}, 2);
  const std::string papel = sim.Papel();
  const size_t primeira = papel.find("COMPROVANTE DO CLIENTE");
  ASSERT_NE(primeira, std::string::npos) << papel;
  EXPECT_NE(papel.find("COMPROVANTE DO CLIENTE", primeira + 1), std::string::npos) << papel;
  EXPECT_EQ(sim.DocumentoAberto(), sim::Documento::Nenhum);
  // Nothing but its linked receipt came after it: the receipt may still go.
  ecf.CancelaCupom();
  EXPECT_TRUE(NoPapel("CANCELAMENTO DO CUPOM FISCAL"));
  EXPECT_NE(MensagemDe([&] { ecf.CancelaCupom(); }), kSemErro);
}

TEST_F(YancoSim, FiscalMemoryPrintedAndReadWhole) {
  ecf.LeituraMemoriaFiscal(3, 5);
  EXPECT_TRUE(NoPapel("REDUCOES: 3 A 5"));
  EXPECT_TRUE(NoPapel("CRZ 0005"));
  ecf.LeituraMemoriaFiscal(Agora() - 3, Agora());
  EXPECT_TRUE(NoPapel("PERIODO: "));
  TStrings linhas;
  ecf.LeituraMemoriaFiscalSerial(1, 9999, linhas);
  ASSERT_GE(linhas.size(), 14u);
  EXPECT_EQ(linhas.front(), "LEITURA DA MEMORIA FISCAL");
  EXPECT_EQ(linhas[2].rfind("CRZ 0001", 0), 0u);
}

TEST_F(YancoSim, FaultsEndInTheFamilysMessages) {
  sim::Falhas f;
  f.SemPapel = true;
  sim.SetFalhas(f);
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), "Erro retornado pela Impressora: Yanco\n\nFim de Papel");
  f = {};
  f.Recusa = true;
  sim.SetFalhas(f);
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), "Impressora Yanco não reconheceu o Comando");
  f = {};
  f.Corrompida = true;  // a byte of the text garbled: the sum tells
  sim.SetFalhas(f);
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), "Erro retornado pela Impressora: Yanco\n\nRetorno da Impressora inválido.");
  f = {};
  f.Parcial = true;
  sim.SetFalhas(f);
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), "Impressora Yanco não está respondendo");
  f = {};
  f.IntervaloBytesMs = 5;  // byte by byte
  f.PoucoPapel = true;     // no sign of it on this printer's line
  sim.SetFalhas(f);
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), kSemErro);
  f = {};
  f.AtrasoProximaMs = 300;  // late, within the time-out
  sim.SetFalhas(f);
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), kSemErro);
  f = {};
  f.MsPorLinha = 5;  // a busy printer answers once the paper is out
  sim.SetFalhas(f);
  EXPECT_EQ(MensagemDe([&] { ecf.RelatorioGerencial({"A", "B"}, 1); }), kSemErro);
  sim.SetFalhas({});
  EXPECT_EQ(ecf.Estado(), estLivre);
}
