// The component with Modelo ecfDaruma against the Daruma simulator in each
// command set, through every operation; and against scripted answers that
// are short or garbled, which must end in clear errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "component/ZuvoECF.h"
#include "core/ZuvoPlataforma.h"
#include "drivers/ZuvoECFDaruma.h"
#include "sim/PtyPar.h"
#include "sim/SimDaruma.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using sim::SimDaruma;

namespace {

std::string B(int b) { return std::string(1, static_cast<char>(b)); }

struct Conjunto {
  const char* Nome;
  SimDaruma::Conjunto Sim;
  const char* Versao;
  const char* Cartao;  // payment code of "Cartao"
  const char* NovaForma;  // code the next programmed method gets
};

class DarumaE2E : public ::testing::TestWithParam<Conjunto> {
 protected:
  void SetUp() override {
    sim::OpcoesSimulador o;
    o.MFD = GetParam().Sim == SimDaruma::Conjunto::MFD;
    if (GetParam().Sim == SimDaruma::Conjunto::FS2000) o.Variante = "FS2000";
    if (GetParam().Sim == SimDaruma::Conjunto::FS315) o.Variante = "FS315";
    fSim = std::make_unique<SimDaruma>(o);
    ecf.SetModelo(ecfDaruma);
    ecf.SetPorta(fSim->Porta());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  void TearDown() override { ecf.Desativar(); }
  TZuvoECFDaruma& Drv() { return dynamic_cast<TZuvoECFDaruma&>(ecf.ECF()); }
  static constexpr int kSempre = 1000;  // a printer that never finishes
  bool Fs2000() const { return GetParam().Sim == SimDaruma::Conjunto::FS2000; }
  bool Mfd() const { return GetParam().Sim == SimDaruma::Conjunto::MFD; }
  bool NoPapel(const std::string& t) const { return fSim->Papel().find(t) != std::string::npos; }

  teste::AmbienteTeste amb;
  std::unique_ptr<SimDaruma> fSim;
  TZuvoECF ecf;
};

}  // namespace

TEST_P(DarumaE2E, ActivationTellsTheCommandSetApart) {
  EXPECT_EQ(ecf.NumVersao(), GetParam().Versao);
  EXPECT_EQ(ecf.MFD(), Mfd());
  EXPECT_EQ(ecf.ModeloStr(), Mfd() ? "Daruma MFD" : "Daruma");
  EXPECT_EQ(ecf.Device().HandShake(), hsRTS_CTS);
  EXPECT_EQ(ecf.NumECF(), Fs2000() ? "0003" : "0001");
  EXPECT_EQ(ecf.NumCRO(), Fs2000() ? "000004" : "0004");
  if (Mfd()) {
    EXPECT_EQ(Drv().DecimaisQtdMFD(), 3);
    EXPECT_EQ(Drv().DecimaisPrecoMFD(), 2);
  }
  const size_t largura = GetParam().Sim == SimDaruma::Conjunto::FS315 ? 6 : 8;
  EXPECT_EQ(ecf.NumSerie().size(), largura);
  EXPECT_NE(Trim(ecf.NumSerie()), "");
  EXPECT_GT(ecf.DataHora(), EncodeDate(2020, 1, 1));
  EXPECT_FALSE(ecf.PoucoPapel());
  EXPECT_FALSE(ecf.GavetaAberta());
}

TEST_P(DarumaE2E, ReceiptWithDiscountSurchargeCancelledItemAndPayments) {
  ecf.AbreCupom();
  const std::string coo = ecf.NumCupom();
  EXPECT_EQ(ecf.Estado(), estVenda);
  ecf.VendeItem("1", "ARROZ", "18", 2, 10);
  ecf.VendeItem("2", "FEIJAO", "7", 1, 5, 10);  // 10% off: 4.50
  ecf.VendeItem("3", "SACOLA", "F", 1, 1);
  ecf.CancelaItemVendido(3);
  try {
    ecf.CancelaItemVendido(9);
    FAIL() << "a missing item was cancelled";
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_EQ(std::string(e.what()), "Erro retornado pela Impressora: " + ecf.ModeloStr() +
                                         "\n\nItem a cancelar não encontrado");
  }
  EXPECT_NEAR(ecf.SubTotal(), 24.5, 0.001);
  ecf.SubtotalizaCupom(-0.5);
  EXPECT_TRUE(Drv().EmPagamento());
  EXPECT_NEAR(Drv().SaldoPagamento(), 24.0, 0.001);
  EXPECT_EQ(ecf.Estado(), estPagamento);
  ecf.EfetuaPagamento(Fs2000() || Mfd() ? "A" : "01", 10);
  EXPECT_NEAR(Drv().SaldoPagamento(), 14.0, 0.001);
  EXPECT_NEAR(ecf.TotalPago(), 10.0, 0.001);
  ecf.EfetuaPagamento(GetParam().Cartao, 14);
  EXPECT_NEAR(ecf.TotalPago(), 24.0, 0.001);
  ecf.FechaCupom("Volte sempre");
  EXPECT_FALSE(Drv().EmPagamento());
  EXPECT_EQ(Drv().SaldoPagamento(), 0);
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_EQ(ecf.NumCupom(), coo);
  EXPECT_TRUE(NoPapel("ARROZ"));
  EXPECT_TRUE(NoPapel("ITEM 003 CANCELADO"));
  EXPECT_TRUE(NoPapel("Volte sempre"));

  // The linked receipt for the card payment, in two copies.
  ecf.CupomVinculado(coo, GetParam().Cartao, "", 14, {"VIA DO CLIENTE"}, 2);
  std::string papel = fSim->Papel();
  auto p = papel.find("VIA DO CLIENTE");
  ASSERT_NE(p, std::string::npos) << papel;
  EXPECT_NE(papel.find("VIA DO CLIENTE", p + 1), std::string::npos);
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_P(DarumaE2E, EveryStateTheStatusDigitsExpress) {
  ecf.AbreRelatorioGerencial();
  EXPECT_EQ(ecf.Estado(), estRelatorio);
  ecf.FechaRelatorio();
  EXPECT_EQ(ecf.Estado(), estLivre);
  if (!Fs2000()) {
    fSim->SetRequerZ(true);
    EXPECT_EQ(ecf.Estado(), estRequerZ);
    EXPECT_THROW(ecf.TestaPodeAbrirCupom(), EZuvoECFCMDInvalido);
    fSim->SetRequerZ(false);
  }
  if (!Mfd()) {
    fSim->SetRequerX(true);
    EXPECT_EQ(ecf.Estado(), estRequerX);
    ecf.CorrigeEstadoErro();  // prints the X
    EXPECT_EQ(ecf.Estado(), estLivre);
  }
  ecf.ReducaoZ();
  EXPECT_TRUE(NoPapel("REDUCAO Z"));
  EXPECT_EQ(ecf.Estado(), estBloqueada);
}

TEST_P(DarumaE2E, TablesAreProgrammedAndReloaded) {
  ecf.ProgramaAliquota(12.5, 'T');
  ASSERT_NE(ecf.AchaICMSAliquota(12.5), nullptr);
  ecf.ProgramaAliquota(3, 'S');
  TZuvoECFAliquota* iss = ecf.AchaICMSAliquota(3, 'S');
  ASSERT_NE(iss, nullptr);
  ecf.AbreCupom();
  ecf.VendeItem("1", "SERVICO", "3S", 1, 2);
  ecf.VendeItem("2", "PRODUTO", "12,5", 1, 2);
  EXPECT_THROW(ecf.VendeItem("3", "X", "33", 1, 1), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.VendeItem("3", "X", "abc", 1, 1), EZuvoECFCMDInvalido);
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);

  if (Fs2000()) {
    EXPECT_THROW(ecf.ProgramaFormaPagamento("Vale", true), Exception);
    EXPECT_THROW(ecf.ProgramaComprovanteNaoFiscal("Troco", "+"), Exception);
    return;
  }
  // The new method takes the first free slot in the load's own index scheme;
  // the existing ones keep theirs.
  ecf.ProgramaFormaPagamento("Vale", true);
  ecf.CarregaFormasPagamento();
  ASSERT_NE(ecf.AchaFPGDescricao("VALE"), nullptr);
  const std::string vale = ecf.AchaFPGDescricao("VALE")->Indice;  // the list is rebuilt below
  EXPECT_EQ(vale, GetParam().NovaForma);
  EXPECT_NE(ecf.AchaFPGDescricao("Dinheiro"), nullptr);
  EXPECT_NE(ecf.AchaFPGDescricao("Cartao"), nullptr);
  try {
    ecf.ProgramaFormaPagamento("vale ", false);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Forma de Pagamento já cadastrada");
  }
  // Its linked type was programmed with it: a linked receipt finds it.
  ecf.AbreCupom();
  ecf.VendeItem("1", "ITEM", "18", 1, 5);
  ecf.SubtotalizaCupom();
  ecf.EfetuaPagamento(vale, 5);
  ecf.FechaCupom();
  ecf.CupomVinculado(ecf.NumCupom(), vale, "", 5, {"VALE"}, 1);
  EXPECT_TRUE(NoPapel("VINCULADO Vale"));

  ecf.ProgramaComprovanteNaoFiscal("Troco", "+");
  EXPECT_NE(ecf.AchaCNFDescricao("TROCO"), nullptr);
  const size_t antes = fSim->Recebido().size();
  try {
    ecf.ProgramaComprovanteNaoFiscal(" troco", "+");
    FAIL() << "programmed twice";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "Comprovante não fiscal (troco" + std::string(16, ' ') +
                                         ") já existe.");
  }
  EXPECT_EQ(fSim->Recebido().find("\x1b" + B(226), antes), std::string::npos);
  try {
    ecf.ProgramaComprovanteNaoFiscal("Troco", "X");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(),
                 "Os Tipos válidos para Daruma são:\r\nV  Comprovante Vinculado\r\n"
                 "+  Entrada de Recursos\r\n-  Saida de Recursos");
  }
}

TEST_P(DarumaE2E, FiscalMemoryChequeDrawerAndSettings) {
  ecf.LeituraMemoriaFiscal(1, 5);
  EXPECT_TRUE(NoPapel("REDUCOES: 1 A 5"));
  ecf.LeituraMemoriaFiscal(EncodeDate(2026, 12, 1), EncodeDate(2026, 12, 7));
  EXPECT_TRUE(NoPapel("PERIODO: 01/12/2026 A 07/12/2026"));
  TStrings linhas{"velha"};
  if (Fs2000()) {
    EXPECT_THROW(ecf.LeituraMemoriaFiscalSerial(1, 5, linhas), EZuvoECFCMDInvalido);
  } else {
    ecf.LeituraMemoriaFiscalSerial(1, 5, linhas);
    ASSERT_EQ(linhas.size(), 3u);
    EXPECT_EQ(linhas[0], "LEITURA DA MEMORIA FISCAL");
  }

  ecf.ImprimeCheque("001", 123.45, "FULANO", "SAO PAULO", EncodeDate(2026, 12, 7), "OBS");
  EXPECT_TRUE(NoPapel("[CHEQUE] R$ 123,45"));
  EXPECT_THROW(ecf.ImprimeCheque("1234", 1, "F", "C", EncodeDate(2026, 12, 7)),
               EZuvoECFCMDInvalido);
  ecf.CancelaImpressaoCheque();

  ecf.AbreGaveta();
  EXPECT_TRUE(fSim->GavetaAberta());
  EXPECT_TRUE(ecf.GavetaAberta());

  EXPECT_FALSE(ecf.HorarioVerao());
  ecf.MudaHorarioVerao();
  EXPECT_TRUE(fSim->HorarioVerao());
  EXPECT_TRUE(ecf.HorarioVerao());
  ecf.MudaArredondamento(true);
  EXPECT_TRUE(fSim->ArredondaAtivo());
  EXPECT_EQ(ecf.Arredonda(), !Fs2000());
  ecf.ImpactoAgulhas(3);
  EXPECT_EQ(fSim->NivelAgulhas(), 2);
}

TEST_P(DarumaE2E, NumbersThatDoNotFitAreRefusedBeforeSending) {
  ecf.AbreCupom();
  ecf.Aliquotas();  // loaded before: the refusals must send nothing at all
  const size_t antes = fSim->Recebido().size();
  try {
    ecf.VendeItem("1", "X", "18", 123456, 1);
    FAIL();
  } catch (const EZuvoECFCMDInvalido& e) {
    EXPECT_STREQ(e.what(), "Quantidade deve ser inferior a 99999.");
  }
  EXPECT_THROW(ecf.VendeItem("1", "X", "18", 1, 123456789), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.VendeItem("1", "X", "18", 1, 1, 100), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.CancelaItemVendido(1000), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.SubtotalizaCupom(-1e12), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.AbreCupomVinculado("1234567", "A", 1), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.LeituraMemoriaFiscal(1, 1000000), EZuvoECFCMDInvalido);
  if (Mfd()) {
    // 10000 with three decimals needs eight digits: it must not be sold as 1000.
    EXPECT_THROW(ecf.VendeItem("1", "X", "18", 10000, 1), EZuvoECFCMDInvalido);
  }
  EXPECT_EQ(fSim->Recebido().size(), antes);
  EXPECT_EQ(fSim->ItensCupom(), 0);
  ecf.CancelaCupom();
}

TEST_P(DarumaE2E, PrinterErrorsAndFaultsEndInClearErrors) {
  fSim->SetErroProximo(16);
  try {
    ecf.LeituraX();
    FAIL();
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_EQ(std::string(e.what()),
              "Erro retornado pela Impressora: " + ecf.ModeloStr() + "\n\nErro de sintaxe no comando");
  }
  fSim->SetErroProximo(98);
  try {
    ecf.LeituraX();
    FAIL();
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_NE(std::string(e.what()).find("Erro retornado pelo ECF: 98"), std::string::npos);
  }
  // The FS2000 reports code 8 on commands that worked.
  if (Fs2000()) {
    fSim->SetErroProximo(8);
    EXPECT_NO_THROW(ecf.LeituraX());
  }
  // A receipt while the printer refuses: each step fails clearly, none hangs.
  EXPECT_THROW(ecf.FechaCupom(), EZuvoECFSemResposta);  // 11: no document
  sim::Falhas f;
  f.Parcial = true;
  fSim->SetFalhas(f);
  try {
    ecf.NumCupom();
    FAIL();
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_NE(std::string(e.what()).find("não está respondendo"), std::string::npos);
  }
  EXPECT_FALSE(ecf.AguardandoResposta());
  fSim->SetFalhas({});
  f = {};
  f.SemPapel = true;
  fSim->SetFalhas(f);
  try {
    ecf.AbreCupom();
    FAIL();
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_NE(std::string(e.what()).find("Sem Papel"), std::string::npos);
  }
  fSim->SetFalhas({});
  // Low paper is a notice on every new receipt, not an error.
  f = {};
  f.PoucoPapel = true;
  fSim->SetFalhas(f);
  int avisos = 0;
  ecf.SetOnMsgPoucoPapel([&](TZuvoECFClass*) { avisos++; });
  ecf.AbreCupom();
  ecf.CancelaCupom();
  ecf.AbreCupom();
  EXPECT_EQ(avisos, 2);
  EXPECT_TRUE(ecf.PoucoPapel());
}

// E99 and E35 mean "compacting memory, send it again": the command is sent
// again a bounded number of times; the FS2000 gives those codes no such
// meaning and raises at once.
TEST_P(DarumaE2E, ACompactingMemoryAnswerIsSentAgain) {
  struct Caso {
    int Vezes, Codigo;
    bool Passa;
  };
  const auto contaAberturas = [&] {
    const std::string r = fSim->Recebido();
    const std::string abre = "\x1b" + B(200);
    size_t n = 0;
    for (size_t p = r.find(abre); p != std::string::npos; p = r.find(abre, p + 1)) n++;
    return n;
  };
  for (const Caso& c : {Caso{2, 99, true}, Caso{1, 35, true},
                        Caso{DarumaE2E::kSempre, 99, false}}) {
    SCOPED_TRACE(::testing::Message() << c.Vezes << "x E" << c.Codigo);
    fSim->SetOcupada(c.Vezes, c.Codigo);
    const size_t antes = contaAberturas();
    if (c.Passa && !Fs2000()) {
      ecf.AbreCupom();
      EXPECT_EQ(ecf.Estado(), estVenda);
      EXPECT_EQ(contaAberturas() - antes, static_cast<size_t>(c.Vezes) + 1);
      ecf.CancelaCupom();
    } else {
      try {
        ecf.AbreCupom();
        FAIL() << "a busy printer was taken for a done command";
      } catch (const EZuvoECFSemResposta& e) {
        EXPECT_NE(std::string(e.what()).find("Erro retornado pelo ECF: " + IntToStr(c.Codigo)),
                  std::string::npos);
      }
      EXPECT_LE(contaAberturas() - antes,
                static_cast<size_t>(Fs2000() ? 1 : TZuvoECFDaruma::kTentativasOcupada));
      EXPECT_FALSE(ecf.AguardandoResposta());
    }
    fSim->SetOcupada(0);
    EXPECT_NE(ecf.Estado(), estVenda);
  }
  // A sale sent on the FS path of the detail-memory printers is sent again too.
  if (!Fs2000()) {
    ecf.AbreCupom();
    fSim->SetOcupada(1);
    ecf.VendeItem("1", "A", "F", 1, 1);
    EXPECT_EQ(fSim->ItensCupom(), 1);
    ecf.CancelaCupom();
  }
}

// A rate given by its value goes out as the printer's code for that rate,
// the same code its "T" text gives ("TA"), and sells into the same slot.
TEST_P(DarumaE2E, ARateByValueSendsTheCodeOfItsTText) {
  if (Mfd()) GTEST_SKIP() << "the detail-memory printers number their rates";
  ecf.AbreCupom();
  TZuvoECFAliquota* a = ecf.AchaICMSAliquota(18);
  ASSERT_NE(a, nullptr);
  const std::string texto = a->Indice.size() == 1 ? "T" + a->Indice : a->Indice;
  const size_t largura = Fs2000() ? 3 : 2;
  ecf.VendeItem("1", "A", "18", 1, 1);
  const std::string porValor = fSim->UltimoComando().substr(2, largura);
  ecf.VendeItem("2", "B", texto, 1, 1);
  const std::string porTexto = fSim->UltimoComando().substr(2, largura);
  EXPECT_EQ(porValor, porTexto);
  EXPECT_EQ(porValor.substr(0, 2), "T" + a->Indice.substr(a->Indice.size() - 1));
  EXPECT_EQ(fSim->ItensCupom(), 2);
  ecf.CancelaCupom();
}

TEST_P(DarumaE2E, ABusyPrinterIsAskedUntilItIsReady) {
  // Real sleeps here: the printer's busy time passes on the real clock.
  PlataformaSistema real;
  SetPlataforma(&real);
  sim::Falhas f;
  f.MsPorLinha = 50;
  fSim->SetFalhas(f);
  const std::string antes = fSim->Recebido();
  EXPECT_NO_THROW(ecf.LeituraX());
  EXPECT_FALSE(ecf.ECF().AguardaImpressao());
  const std::string depois = fSim->Recebido().substr(antes.size());
  EXPECT_GE(std::count(depois.begin(), depois.end(), '\x1d'), 2) << "never asked again";
  SetPlataforma(&amb.Plataforma);
}

INSTANTIATE_TEST_SUITE_P(
    Conjuntos, DarumaE2E,
    ::testing::Values(Conjunto{"FS345", SimDaruma::Conjunto::FS345, "345", "03", "04"},
                      Conjunto{"FS315", SimDaruma::Conjunto::FS315, "315", "03", "04"},
                      Conjunto{"FS2000", SimDaruma::Conjunto::FS2000, "2000", "C", "D"},
                      Conjunto{"MFD", SimDaruma::Conjunto::MFD, "010200", "C", "D"}),
    [](const ::testing::TestParamInfo<Conjunto>& i) { return std::string(i.param.Nome); });

// ----- Scripted answers that no simulated printer gives -----

namespace {

struct Roteiro : ::testing::Test {
  teste::AmbienteTeste amb;
  PtyPar par;
  TZuvoECF ecf;
  std::string fResposta = ":\r";  // what every other command gets

  // An FS345 that answers the version query and then fResposta.
  void Inicia() {
    par.Inicia([this](const std::string& p, PtyPar::Saida& out) -> size_t {
      if (p[0] == 28) {
        if (p.size() < 7) return 0;
        std::string r = ":16\r";
        unsigned char x = 0;
        for (char c : r) x ^= static_cast<unsigned char>(c);
        out.Escreve(r + static_cast<char>(x));
        return 7;
      }
      auto fim = p.find('\r');
      if (fim == std::string::npos) return 0;
      if (static_cast<unsigned char>(p[1]) == 195)
        out.Escreve(":10043A1\r");
      else
        out.Escreve(fResposta);
      return fim + 1;
    });
    ecf.SetModelo(ecfDaruma);
    ecf.SetPorta(par.CaminhoEscravo());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
};

::testing::AssertionResult Incompleta(const std::function<void()>& f) {
  try {
    f();
  } catch (const EZuvoECFSemResposta& e) {
    if (std::string(e.what()).find("Daruma") != std::string::npos)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << e.what();
  }
  return ::testing::AssertionFailure() << "no error";
}

}  // namespace

TEST_F(Roteiro, AOneByteAnswerIsAClearErrorNeverACrash) {
  Inicia();
  EXPECT_EQ(ecf.NumVersao(), "345");
  EXPECT_TRUE(Incompleta([&] { ecf.Estado(); }));
  EXPECT_TRUE(Incompleta([&] { ecf.DataHora(); }));
  EXPECT_TRUE(Incompleta([&] { ecf.PoucoPapel(); }));
  EXPECT_TRUE(Incompleta([&] { ecf.HorarioVerao(); }));
  EXPECT_TRUE(Incompleta([&] { ecf.FechaRelatorio(); }));
  EXPECT_EQ(ecf.NumCupom(), "      ");
  EXPECT_EQ(ecf.NumCRO(), "    ");
  // A short answer is no subtotal of 0.
  EXPECT_THROW(ecf.SubTotal(), EZuvoECFSemResposta);
  EXPECT_EQ(Trim(ecf.NumSerie()), "");
  EXPECT_EQ(ecf.Aliquotas().Count(), 0);
  ecf.ECF().CarregaFormasPagamento();  // short: falls back to the FS2000 layout, empty too
  EXPECT_EQ(ecf.FormasPagamento().Count(), 0);
  EXPECT_TRUE(Incompleta([&] { ecf.ECF().SubtotalizaCupom(); }));
}

TEST_F(Roteiro, ShortOrGarbledStatusAndRegisterAnswers) {
  fResposta = ":Z1\r";
  Inicia();
  EXPECT_TRUE(Incompleta([&] { ecf.GavetaAberta(); }));   // 'Z' is no hex digit
  EXPECT_TRUE(Incompleta([&] { ecf.Estado(); }));         // digit 7 missing
  fResposta = ":\x1b\xef" "0001" "2" "00A1X2\r";
  EXPECT_TRUE(Incompleta([&] { ecf.NumCupom(); }));
  fResposta = ":" + B(244) + std::string(35, '0') + "0042\r";  // the recorded CRO answer
  EXPECT_EQ(ecf.NumCRO(), "0042");
}

// A detail-memory printer that answers neither its decimals register nor the
// long table layout: both are optional, so the operator is never asked to
// retry them, the decimals keep their defaults and the tables come from the
// short layout.
TEST(DarumaAtivacao, OptionalQueriesLeftUnansweredAskNoRetryQuestion) {
  teste::AmbienteTeste amb;
  std::string tabela = ":" + B(238) + "0000";
  tabela += std::string(21 - tabela.size(), '0');
  tabela += std::string(16 * 22, ' ') + std::string(16 * 21, ' ');
  tabela += "XDinheiro" + std::string(9, ' ');
  for (int i = 1; i < 16; i++) tabela += "V" + std::string(17, '\xff');
  tabela += "\r";
  PtyPar par;
  par.Inicia([&](const std::string& p, PtyPar::Saida& out) -> size_t {
    if (p[0] == 28) {
      if (p.size() < 7) return 0;
      if (p.substr(3, 3) == "083") {
        std::string r = ":" + B(200) + "083010200\r";
        unsigned char x = 0;
        for (char c : r) x ^= static_cast<unsigned char>(c);
        out.Escreve(r + static_cast<char>(x));
      }
      return 7;  // the decimals register: no answer
    }
    auto fim = p.find('\r');
    if (fim == std::string::npos) return 0;
    if (static_cast<unsigned char>(p[1]) == 238) out.Escreve(tabela);
    return fim + 1;  // ESC 234: no answer
  });
  TZuvoECF ecf;
  ecf.SetModelo(ecfDaruma);
  ecf.SetPorta(par.CaminhoEscravo());
  ecf.SetTimeOut(1);
  ecf.SetIntervaloAposComando(0);
  ecf.SetReTentar(true);
  int perguntas = 0;
  ecf.SetOnMsgRetentar([&](const std::string&, const std::string&, bool& Tentar) {
    perguntas++;
    Tentar = false;
  });
  ecf.Ativar();
  auto& d = dynamic_cast<TZuvoECFDaruma&>(ecf.ECF());
  EXPECT_TRUE(ecf.MFD());
  EXPECT_EQ(d.DecimaisQtdMFD(), 3);
  EXPECT_EQ(d.DecimaisPrecoMFD(), 2);
  ASSERT_NE(ecf.AchaFPGDescricao("Dinheiro"), nullptr);
  EXPECT_EQ(ecf.AchaFPGDescricao("Dinheiro")->Indice, "A");
  EXPECT_EQ(ecf.FormasPagamento().Count(), 1);
  EXPECT_EQ(perguntas, 0);
  EXPECT_TRUE(static_cast<bool>(ecf.OnMsgRetentar()));  // the handler is back
}

TEST(DarumaAtivacao, OnlySerialPortsAndAClearErrorWhenNothingAnswers) {
  teste::AmbienteTeste amb;
  TZuvoECF ecf;
  ecf.SetModelo(ecfDaruma);
  ecf.SetPorta("saida.txt");
  try {
    ecf.Ativar();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "A impressora: Daruma requer\nPorta Serial:  (COM1, COM2, COM3, ...)");
  }
  PtyPar mudo;
  mudo.Inicia([](const std::string& p, PtyPar::Saida&) { return p.size(); });
  ecf.SetPorta(mudo.CaminhoEscravo());
  ecf.SetTimeOut(1);
  ecf.SetReTentar(false);
  EXPECT_THROW(ecf.Ativar(), EZuvoECFSemResposta);
  EXPECT_FALSE(ecf.Ativo());
  EXPECT_FALSE(ecf.ECF().Ativo());
}
