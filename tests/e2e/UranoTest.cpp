// The Urano family end to end, for what the shared suites do not see: the
// linked receipt a payment asks for, the fiscal-memory readings printed and
// captured, the customer and the item discount at the printer, and the
// simulator's faults seen through the driver.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "component/ZuvoECF.h"
#include "sim/SimUrano.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using zuvo::teste::MensagemDe;

namespace {

class UranoE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ecf.SetModelo(ecfUrano);
    ecf.SetPorta(fSim.Porta());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  void TearDown() override { ecf.Desativar(); }
  // A receipt of 10.00 paid with Cheque (01), which may ask for its linked
  // receipt.
  void Venda(bool Vinculado) {
    ecf.AbreCupom();
    ecf.VendeItem("1", "PRODUTO", "T01", 1, 10);
    ecf.EfetuaPagamento("01", 10, "", Vinculado);
    ecf.FechaCupom();
  }
  size_t Vezes(const std::string& Texto) {
    const std::string papel = fSim.Papel();
    size_t n = 0;
    for (size_t p = papel.find(Texto); p != std::string::npos; p = papel.find(Texto, p + 1)) n++;
    return n;
  }

  teste::AmbienteTeste amb;
  sim::SimUrano fSim{sim::OpcoesSimulador{}};
  TZuvoECF ecf;
};

}  // namespace

TEST_F(UranoE2E, LinkedReceiptInTwoCopiesAfterThePaymentAskedForIt) {
  EXPECT_TRUE(ecf.AchaFPGIndice("01")->PermiteVinculado);
  EXPECT_FALSE(ecf.AchaFPGIndice("00")->PermiteVinculado);
  Venda(true);
  ecf.CupomVinculado("", "01", "", 10, {"COMPROVANTE DE TESTE"}, 2);
  EXPECT_EQ(Vezes("COMPROVANTE CREDITO OU DEBITO"), 1u);
  EXPECT_EQ(Vezes("COMPROVANTE DE TESTE"), 2u);
  EXPECT_EQ(ecf.Estado(), estLivre);
  // Without the payment's request the text goes to a managerial report.
  Venda(false);
  ecf.CupomVinculado("", "01", "", 10, {"OUTRO TEXTO"}, 1);
  EXPECT_EQ(Vezes("COMPROVANTE CREDITO OU DEBITO"), 1u);
  EXPECT_EQ(Vezes("RELATORIO GERENCIAL"), 1u);
  EXPECT_EQ(MensagemDe([&] { ecf.CupomVinculado("", "07", "", 1, {"X"}, 1); }),
            "Forma de Pagamento: 07 não foi cadastrada.");
}

TEST_F(UranoE2E, FiscalMemoryPrintedAndCaptured) {
  // The simulator keeps the system's calendar.
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  const TDateTime hoje = EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  ecf.LeituraMemoriaFiscal(hoje - 3, hoje);
  EXPECT_EQ(Vezes("CRZ 0010"), 1u);
  ecf.LeituraMemoriaFiscal(11, 12);
  EXPECT_EQ(Vezes("CRZ 0010"), 1u);
  EXPECT_EQ(Vezes("CRZ 0011"), 2u);

  const std::string papel = fSim.Papel();
  TStrings linhas;
  ecf.LeituraMemoriaFiscalSerial(hoje - 2, hoje - 1, linhas);
  ASSERT_EQ(linhas.size(), 5u);
  EXPECT_EQ(linhas.front(), "LEITURA DA MEMORIA FISCAL");
  EXPECT_EQ(linhas[2].substr(0, 8), "CRZ 0011");
  EXPECT_EQ(linhas.back(), "TOTAL DO PERIODO: 3.230,00");
  EXPECT_EQ(fSim.Papel(), papel);  // captured, not printed
  // Refused with a receipt open.
  ecf.AbreCupom();
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraMemoriaFiscalSerial(hoje - 2, hoje, linhas); }),
            "Erro retornado pela Impressora: Urano\n\nComando fora da sequência");
}

TEST_F(UranoE2E, DiscountCustomerAndCancellations) {
  ecf.AbreCupom("12345678901");
  ecf.VendeItem("1", "CAFE", "T02", 3, 2, 10);
  ASSERT_EQ(fSim.Itens().size(), 1u);
  EXPECT_EQ(fSim.Itens()[0].Acrescimo, -60);
  ecf.VendeItem("2", "LEITE", "N", 1, 4.1);
  ecf.CancelaItemVendido(2);
  EXPECT_EQ(MensagemDe([&] { ecf.CancelaItemVendido(2); }),
            "Erro retornado pela Impressora: Urano\n\nItem já cancelado");
  EXPECT_NEAR(ecf.SubTotal(), 5.4, 0.001);
  ecf.EfetuaPagamento("00", 6);
  EXPECT_EQ(ecf.Estado(), estPagamento);
  EXPECT_NEAR(ecf.TotalPago(), 6, 0.001);
  ecf.FechaCupom();
  EXPECT_EQ(Vezes("CPF: 12345678901"), 1u);
  EXPECT_EQ(ecf.TotalPago(), 0);
  // Free again: the cancellation takes the last receipt.
  ecf.CancelaCupom();
  EXPECT_EQ(Vezes("CANCELAMENTO DO CUPOM FISCAL"), 1u);
  EXPECT_EQ(MensagemDe([&] { ecf.CancelaCupom(); }),
            "Erro retornado pela Impressora: Urano\n\nCancelamento de Cupom Inválido");

  ecf.ReducaoZ();
  EXPECT_EQ(ecf.Estado(), estBloqueada);
  EXPECT_THROW(ecf.TestaPodeAbrirCupom(), EZuvoECFCMDInvalido);
}

TEST_F(UranoE2E, FaultsEndInTheFamilysMessages) {
  const std::string semResposta = "Impressora Urano não está respondendo";
  auto com = [&](auto Ajusta, auto Operacao) {
    sim::Falhas f;
    Ajusta(f);
    fSim.SetFalhas(f);
    std::string msg = MensagemDe(Operacao);
    fSim.SetFalhas({});
    return msg;
  };
  // A busy printer and an answer byte by byte: the command waits for them.
  EXPECT_EQ(com([](sim::Falhas& f) { f.MsPorLinha = 20; }, [&] { ecf.LeituraX(); }),
            teste::kSemErro);
  EXPECT_EQ(com([](sim::Falhas& f) { f.IntervaloBytesMs = 20; }, [&] { ecf.NumSerie(); }),
            teste::kSemErro);
  // Half an answer, a late one, printing that never ends: no answer.
  EXPECT_EQ(com([](sim::Falhas& f) { f.Parcial = true; }, [&] { ecf.NumSerie(); }), semResposta);
  EXPECT_EQ(com([](sim::Falhas& f) { f.AtrasoProximaMs = 1500; }, [&] { ecf.NumSerie(); }),
            semResposta);
  // Nothing in an answer tells whose it is: let the late one go by first.
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_EQ(com([](sim::Falhas& f) { f.ImpressaoSemFim = true; }, [&] { ecf.PulaLinhas(2); }),
            semResposta);
  // A refusal, no paper, a garbled status byte.
  EXPECT_EQ(com([](sim::Falhas& f) { f.Recusa = true; }, [&] { ecf.NumSerie(); }),
            "Erro retornado pela Impressora: Urano\n\nComando inexistente");
  EXPECT_EQ(com([](sim::Falhas& f) { f.SemPapel = true; }, [&] { ecf.LeituraX(); }),
            "Erro retornado pela Impressora: Urano\n\nErro retornado pelo ECF: 80");
  EXPECT_EQ(com([](sim::Falhas& f) { f.Corrompida = true; }, [&] { ecf.LeituraX(); }),
            "Erro retornado pela Impressora: Urano\n\nErro retornado pelo ECF: 123");
  // Low paper: the query and the notice.
  EXPECT_EQ(
      com([](sim::Falhas& f) { f.PoucoPapel = true; }, [&] { EXPECT_TRUE(ecf.PoucoPapel()); }),
      teste::kSemErro);
  EXPECT_FALSE(ecf.PoucoPapel());
  // After all of it the printer answers as before.
  EXPECT_FALSE(ecf.NumSerie().empty());
  EXPECT_EQ(ecf.Estado(), estLivre);
}
