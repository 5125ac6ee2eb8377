// The component with Modelo ecfMecaf against the Mecaf simulator, for what
// the shared behaviour suites do not cover: the firmware's columns, the
// pending linked receipt, the rounding cache, the change of an overpaid
// receipt, the states, the tables, the fiscal memory on the line, the
// check, the faults and the RTS/CTS handshake over a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "component/ZuvoECF.h"
#include "drivers/ZuvoECFMecaf.h"
#include "sim/SimMecaf.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using sim::SimMecaf;
using zuvo::teste::MensagemDe;

namespace {

const std::string kPrefixo = "Erro retornado pela Impressora: Mecaf\n\n";

class MecafE2E : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    sim::OpcoesSimulador o;
    o.Variante = GetParam();
    fSim = std::make_unique<SimMecaf>(o);
    // The printer's clock is the computer's: the day closed today is today.
    amb.Plataforma.SetCalendario(PlataformaSistema().Agora());
    ecf.SetModelo(ecfMecaf);
    ecf.SetPorta(fSim->Porta());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  void TearDown() override { ecf.Desativar(); }
  TZuvoECFMecaf& Drv() { return dynamic_cast<TZuvoECFMecaf&>(ecf.ECF()); }
  bool NoPapel(const std::string& t) const { return fSim->Papel().find(t) != std::string::npos; }
  int Enviados(const std::string& Cmd) const {
    auto c = fSim->Comandos();
    return static_cast<int>(std::count(c.begin(), c.end(), Cmd));
  }
  void CupomDeDez() {
    ecf.AbreCupom();
    ecf.VendeItem("1", "ARROZ", "18", 1, 10);
  }

  teste::AmbienteTeste amb;
  std::unique_ptr<SimMecaf> fSim;
  TZuvoECF ecf;
};

}  // namespace

TEST_P(MecafE2E, ActivationReadsTheFirmwareAndForcesTheHandshake) {
  const bool novo = !GetParam().empty();
  EXPECT_EQ(ecf.NumVersao(), fSim->Versao());
  EXPECT_EQ(Drv().Versao201ou301(), novo);
  EXPECT_EQ(ecf.Colunas(), novo ? 48 : 40);
  EXPECT_EQ(ecf.NumECF(), "0001");
  EXPECT_EQ(ecf.NumCRO(), "0002");
  EXPECT_NEAR(ecf.DataHora(), PlataformaSistema().Agora(), 5.0 / 86400);
  // RTS/CTS is forced, and a pseudo-terminal (no modem lines) is on line.
  EXPECT_EQ(ecf.Device().HandShake(), hsRTS_CTS);
  ecf.ReducaoZ();
  EXPECT_EQ(ecf.Estado(), estBloqueada);

  // CTS held low: the printer is not on line.
  class CTSBaixo : public LinhasModem {
   public:
    bool Possui(int) override { return true; }
    bool CTS(int) override { return false; }
    bool DSR(int) override { return true; }
    void SetDTR(int, bool) override {}
    void SetRTS(int, bool) override {}
  };
  ecf.Device().Serial().SetLinhasModem(std::make_unique<CTSBaixo>());
  EXPECT_EQ(MensagemDe([&] { ecf.Estado(); }), "Impressora Mecaf não está em linha");
}

// Regressions: the flag is set only once the printer took the payment, and
// cleared when the receipt is cancelled or a new one opens. Read literally
// (set before sending, kept by a cancellation), the next receipt's linked
// payment would be refused.
TEST_P(MecafE2E, PendingLinkedReceiptFollowsWhatThePrinterDid) {
  ASSERT_NE(ecf.AchaFPGIndice("01"), nullptr);  // the table is read before the refusal
  CupomDeDez();
  fSim->SetErroProximo(58);
  EXPECT_THROW(ecf.EfetuaPagamento("01", 4, "", true), EZuvoECFSemResposta);
  EXPECT_FALSE(Drv().VinculadoPendente());
  ecf.EfetuaPagamento("01", 4, "", true);
  EXPECT_TRUE(Drv().VinculadoPendente());
  EXPECT_EQ(MensagemDe([&] { ecf.EfetuaPagamento("02", 6, "", true); }),
            "Já existe Forma de Pagamento com \ncomprovante NAO fiscal vinculado pendente. \n"
            "Impressora: Mecaf aceita apenas um \nComprovante não Fiscal Viculado por Cupom.");
  ecf.CancelaCupom();
  EXPECT_FALSE(Drv().VinculadoPendente());

  CupomDeDez();
  ecf.EfetuaPagamento("01", 10, "Cheque do cliente", true);
  ecf.FechaCupom();
  EXPECT_EQ(fSim->PagamentosUltimoCupom().size(), 1u);
  ecf.CupomVinculado("", "01", "", 10, {"VIA DO CLIENTE"}, 2);
  const std::string papel = fSim->Papel();
  const size_t p = papel.find("VIA DO CLIENTE");
  ASSERT_NE(p, std::string::npos) << papel;
  EXPECT_NE(papel.find("VIA DO CLIENTE", p + 1), std::string::npos);
  EXPECT_TRUE(NoPapel("COMPROVANTE NAO FISCAL VINCULADO"));
  // The 201 and 301 firmwares print no payment text.
  EXPECT_EQ(NoPapel("Cheque do cliente"), GetParam().empty());
  EXPECT_EQ(ecf.Estado(), estLivre);
}

// Regression: the rounding mode read once stays true after a change.
TEST_P(MecafE2E, RoundingCacheFollowsTheChange) {
  EXPECT_FALSE(ecf.Arredonda());
  ecf.MudaArredondamento(true);
  EXPECT_TRUE(fSim->Arredonda());
  const int leituras = Enviados("34M84");
  EXPECT_TRUE(ecf.Arredonda());
  EXPECT_EQ(Enviados("34M84"), leituras);
}

TEST_P(MecafE2E, OverpaymentIsClosedByAZeroCashPayment) {
  CupomDeDez();
  ecf.SubtotalizaCupom(-1);
  EXPECT_NEAR(ecf.SubTotal(), 9, 0.001);
  ecf.EfetuaPagamento("00", 12);
  EXPECT_EQ(Enviados("0700000000000000000"), 1);
  EXPECT_NEAR(ecf.TotalPago(), 12, 0.001);
  ecf.FechaCupom("Volte sempre");
  EXPECT_TRUE(NoPapel("TROCO R$ 3,00"));
  EXPECT_TRUE(NoPapel("Volte sempre"));
  EXPECT_EQ(ecf.SubTotal(), 0);
}

TEST_P(MecafE2E, StatesFromTheStatusBytesAndRegisters) {
  fSim->SetRequerX(true);
  EXPECT_EQ(ecf.Estado(), estRequerX);
  fSim->SetRequerX(false);
  fSim->SetRequerZ(true);
  EXPECT_EQ(ecf.Estado(), estRequerZ);
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupom(); }), kPrefixo + "Necessário realizar Redução Z");
  fSim->SetRequerZ(false);
  ecf.AbreRelatorioGerencial();
  EXPECT_EQ(ecf.Estado(), estRelatorio);
  ecf.FechaRelatorio();
  EXPECT_EQ(ecf.Estado(), estLivre);
  // Nothing open: the close is not sent.
  const int fechamentos = Enviados("21");
  ecf.FechaRelatorio();
  EXPECT_EQ(Enviados("21"), fechamentos);

  EXPECT_FALSE(ecf.HorarioVerao());
  ecf.MudaHorarioVerao();
  EXPECT_TRUE(fSim->HorarioVerao());
  EXPECT_EQ(MensagemDe([&] { Drv().MudaHorarioVerao(true); }),
            kPrefixo + "O relógio já está em horário de verão");
  ecf.AbreGaveta();
  EXPECT_TRUE(ecf.GavetaAberta());
}

TEST_P(MecafE2E, TablesAreProgrammedInTheirPositions) {
  ASSERT_NE(ecf.AchaICMSAliquota(5, 'S'), nullptr);
  EXPECT_EQ(ecf.AchaICMSAliquota(5, 'S')->Indice, "T04");
  ecf.ProgramaAliquota(5.5, 'S');
  EXPECT_EQ(fSim->Aliquota(5), 550);
  EXPECT_TRUE(fSim->AliquotaISS(5));
  ecf.CarregaAliquotas();
  ASSERT_NE(ecf.AchaICMSIndice("T05"), nullptr);
  EXPECT_EQ(ecf.AchaICMSIndice("T05")->Tipo, 'S');

  ecf.ProgramaComprovanteNaoFiscal("Troco");
  EXPECT_EQ(fSim->Descricao(18), "Troco");
  EXPECT_NE(ecf.AchaCNFDescricao("troco"), nullptr);
  for (int i = 3; i < 16; i++) ecf.ProgramaFormaPagamento("Vale " + std::to_string(i));
  EXPECT_EQ(fSim->Descricao(15), "Vale 15");
  const size_t antes = fSim->Comandos().size();
  EXPECT_EQ(MensagemDe([&] { ecf.ProgramaFormaPagamento("Outra"); }),
            "Não há espaço para programar novas Formas de Pagamento");
  const auto depois = fSim->Comandos();
  for (size_t i = antes; i < depois.size(); i++)
    EXPECT_NE(depois[i].substr(0, 2), "29") << depois[i];
}

TEST_P(MecafE2E, FiscalMemoryOnTheLineAndOnPaper) {
  ecf.ReducaoZ();
  TStrings linhas;
  ecf.LeituraMemoriaFiscalSerial(1, 20, linhas);
  ASSERT_GE(linhas.size(), 3u);
  EXPECT_EQ(TrimRight(linhas[0]), "LEITURA DA MEMORIA FISCAL");
  bool temZ = false;
  for (const std::string& l : linhas) {
    EXPECT_EQ(l.find('\0'), std::string::npos);
    temZ = temZ || l.find("CRZ 0012 ") != std::string::npos;
  }
  EXPECT_TRUE(temZ);
  const TDateTime hoje = DateOf(PlataformaSistema().Agora());
  ecf.LeituraMemoriaFiscal(hoje - 1, hoje);
  EXPECT_TRUE(NoPapel("PERIODO:"));
}

TEST_P(MecafE2E, CheckNeedsTheCheckInItsSlot) {
  ecf.ImprimeCheque("001", 123.45, "FULANO DE TAL", "SAO PAULO", EncodeDate(2025, 3, 4), "");
  EXPECT_TRUE(NoPapel("[CHEQUE] R$ 123,45 FULANO DE TAL"));
  EXPECT_TRUE(NoPapel("SAO PAULO, 04/03/2025"));
  EXPECT_TRUE(ecf.ChequePronto());
  fSim->SetChequePresente(false);
  EXPECT_FALSE(ecf.ChequePronto());
  EXPECT_EQ(MensagemDe([&] { ecf.ImprimeCheque("001", 1, "X", "Y", EncodeDate(2025, 3, 4)); }),
            kPrefixo + "Necessário inserir o cheque");
}

TEST_P(MecafE2E, FaultsEndInClearErrorsAndThePrinterComesBack) {
  for (int i = 0; i < 3; i++) {
    sim::Falhas f;
    f.Parcial = i == 0;
    f.Mudo = i == 1;
    f.AtrasoMs = i == 2 ? 1500 : 0;
    fSim->SetFalhas(f);
    EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), "Impressora Mecaf não está respondendo");
    EXPECT_FALSE(ecf.AguardandoResposta());
  }
  sim::Falhas f;
  f.Corrompida = true;
  fSim->SetFalhas(f);
  for (int i = 0; i < 3; i++) {
    try {
      ecf.Estado();
      ecf.NumCupom();
    } catch (const EZuvoECFSemResposta&) {
      // a clear error is fine; a crash or a wrong success is not
    }
  }
  f = {};
  f.Recusa = true;
  fSim->SetFalhas(f);
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), kPrefixo + "A sintaxe do comando está errada");
  f = {};
  f.SemPapel = true;
  fSim->SetFalhas(f);
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupom(); }), kPrefixo + "Detectado falta de papel");
  // A busy printer answers when it has printed, within the command's time.
  f = {};
  f.MsPorLinha = 20;
  fSim->SetFalhas(f);
  EXPECT_NO_THROW(ecf.LeituraX());
  fSim->SetFalhas({});
  EXPECT_EQ(ecf.NumCupom(), "000" + std::to_string(fSim->COO()));
  EXPECT_EQ(fSim->FalhasInternas(), 0);
}

INSTANTIATE_TEST_SUITE_P(Firmwares, MecafE2E, ::testing::Values("", "201", "301"),
                         [](const ::testing::TestParamInfo<std::string>& i) {
                           return i.param.empty() ? std::string("Anterior") : "Versao" + i.param;
                         });
