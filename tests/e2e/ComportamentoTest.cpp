// The behaviour every printer family shares, written once and run against
// each family's simulator over a real pseudo-terminal: identification, a
// complete receipt, cancellation, the day's reports, the tables, and the
// error paths (a silent printer, low paper).
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "component/ZuvoECF.h"
#include "sim/Simulador.h"
#include "support/Familia.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using zuvo::teste::Familia;

namespace {

class Comportamento : public ::testing::TestWithParam<Familia> {
 protected:
  void SetUp() override {
    const Familia& f = GetParam();
    // Files a family keeps beside the executable go to a folder of this test.
    char modelo[] = "/tmp/zuvo-comportamento-XXXXXX";
    ASSERT_NE(::mkdtemp(modelo), nullptr);
    fPasta = modelo;
    amb.Plataforma.SetPasta(fPasta + "/");
    fSim = sim::CriaSimulador(f.Nome, f.Opcoes);
    ASSERT_NE(fSim, nullptr) << "no simulator for " << f.Nome;
    ecf.SetModelo(f.Modelo);
    ecf.SetPorta(fSim->Porta());
    ecf.SetTimeOut(f.TimeOut);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    if (f.Prepara) f.Prepara(*amb.Toolkit);
    ecf.Ativar();
    if (f.AposAtivar) f.AposAtivar(ecf);
  }
  void TearDown() override {
    ecf.Desativar();
    std::error_code erro;
    if (!fPasta.empty()) std::filesystem::remove_all(fPasta, erro);
  }

  teste::AmbienteTeste amb;
  std::string fPasta;
  std::unique_ptr<sim::Simulador> fSim;
  TZuvoECF ecf;
};

// The simulated paper roll once Texto is on it Vezes times, or as it is
// after two seconds. A printer that never answers (the emulator's) lets the
// call return before the simulator has read the last bytes.
std::string PapelCom(const sim::Simulador& s, const std::string& Texto, int Vezes = 1) {
  const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    const std::string papel = s.Papel();
    int n = 0;
    for (size_t p = papel.find(Texto); p != std::string::npos; p = papel.find(Texto, p + 1)) n++;
    if (n >= Vezes || std::chrono::steady_clock::now() > limite) return papel;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// True when Texto appears in the simulated paper roll.
::testing::AssertionResult NoPapel(const sim::Simulador& s, const std::string& Texto) {
  std::string papel = PapelCom(s, Texto);
  if (papel.find(Texto) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "'" << Texto << "' not printed; paper:\n" << papel;
}

}  // namespace

TEST_P(Comportamento, IdentifiesThePrinter) {
  EXPECT_TRUE(ecf.Ativo());
  EXPECT_NE(ecf.ModeloStr(), "Não Definido");
  EXPECT_FALSE(Trim(ecf.NumSerie()).empty());
  EXPECT_NE(ecf.NumSerie(), "ecfNennhum");
  EXPECT_FALSE(Trim(ecf.NumVersao()).empty());
  EXPECT_GT(ecf.DataHora(), EncodeDate(2000, 1, 1));
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_TRUE(ecf.TestaPodeAbrirCupom());
}

TEST_P(Comportamento, CompleteReceipt) {
  const Familia& f = GetParam();
  const double desconto = f.DescontoAcrescimo ? 10 : 0;
  const double acrescimo = f.DescontoAcrescimo ? 1.0 : 0;
  const double subtotal = f.DescontoAcrescimo ? 17 + 4.32 + 12.3 : 17 + 4.8 + 12.3;
  const std::string antes = ecf.NumCupom();
  ecf.AbreCupom();
  EXPECT_EQ(ecf.Estado(), estVenda);
  ecf.VendeItem("789001", "CAFE TORRADO", f.Aliquota, 2, 8.5);
  ecf.VendeItem("789002", "ACUCAR CRISTAL", f.OutraAliquota, 1.5, 3.2, desconto);
  ecf.VendeItem("789003", "LEITE INTEGRAL", f.Aliquota, 3, 4.1);
  EXPECT_NEAR(ecf.SubTotal(), subtotal, 0.011);
  ecf.SubtotalizaCupom(acrescimo, "Obrigado|Volte sempre");
  ecf.EfetuaPagamento(f.FormaDinheiro, 20);
  EXPECT_EQ(ecf.Estado(), estPagamento);
  ecf.EfetuaPagamento(f.FormaOutra, subtotal + acrescimo - 20);
  EXPECT_NEAR(ecf.TotalPago(), subtotal + acrescimo, 0.011);
  ecf.FechaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_NE(ecf.NumCupom(), antes);
  EXPECT_TRUE(NoPapel(*fSim, "CAFE TORRADO"));
  EXPECT_TRUE(NoPapel(*fSim, "LEITE INTEGRAL"));
  if (f.ImprimeMensagem) {
    EXPECT_TRUE(NoPapel(*fSim, "Obrigado"));
    EXPECT_TRUE(NoPapel(*fSim, "Volte sempre"));
  }
}

// Texts a caller sets may hold any family's frame bytes, separators, quotes
// and control bytes: each is escaped, blanked or refused, and never ends a
// frame early or starts another command. The receipt adds up and the words
// around the hostile bytes reach the paper.
TEST_P(Comportamento, HostileTextsNeverBreakAFrame) {
  const Familia& f = GetParam();
  const std::string hostil = std::string{'A', 2, 'B', 3, 'C', 27, 'D', 13, 10, 'E'} +
                             "\"F'G|H;I{J}K[L]M\\N%s%nO" + std::string{16, 'P', 6, 'Q', 21, 'R'};
  ecf.SetOperador("OP" + hostil.substr(0, 6));
  ecf.AbreCupom();
  ecf.VendeItem("789" + hostil.substr(0, 3), "SABAO " + hostil, f.Aliquota, 1, 2.5);
  ecf.VendeItem("789004", "DETERGENTE", f.Aliquota, 2, 1.25);
  EXPECT_NEAR(ecf.SubTotal(), 5.0, 0.001);
  ecf.SubtotalizaCupom(0, "FIM " + hostil);
  ecf.EfetuaPagamento(f.FormaDinheiro, 5.0, "OBS " + hostil);
  ecf.FechaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_TRUE(NoPapel(*fSim, "SABAO"));
  EXPECT_TRUE(NoPapel(*fSim, "DETERGENTE"));
  // The next command is understood as it was sent.
  ecf.AbreCupom();
  ecf.VendeItem("1", "ULTIMO", f.Aliquota, 1, 1);
  EXPECT_NEAR(ecf.SubTotal(), 1.0, 0.001);
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_P(Comportamento, LinkedReceiptInTwoCopies) {
  const Familia& f = GetParam();
  if (!f.TemVinculado) GTEST_SKIP() << "the printer has no linked receipt";
  ecf.AbreCupom();
  ecf.VendeItem("1", "LIVRO", f.Aliquota, 1, 30);
  ecf.SubtotalizaCupom(0);
  ecf.EfetuaPagamento(f.FormaOutra, 30, "", true);
  ecf.FechaCupom();
  ecf.CupomVinculado(ecf.NumCupom(), f.FormaOutra, "", 30, {"VIA DO CLIENTE", "ASSINATURA"}, 2);
  const std::string papel = PapelCom(*fSim, "VIA DO CLIENTE", 2);
  const size_t primeira = papel.find("VIA DO CLIENTE");
  ASSERT_NE(primeira, std::string::npos) << papel;
  EXPECT_NE(papel.find("VIA DO CLIENTE", primeira + 1), std::string::npos) << papel;
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_P(Comportamento, CancelsTheOpenReceipt) {
  const Familia& f = GetParam();
  ecf.AbreCupom();
  ecf.VendeItem("1", "ITEM CANCELADO", f.Aliquota, 1, 1);
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
  // A second receipt after the cancellation opens normally.
  EXPECT_TRUE(ecf.TestaPodeAbrirCupom());
}

TEST_P(Comportamento, DayReportsAndManagerialReportInTwoCopies) {
  ecf.LeituraX();
  EXPECT_EQ(ecf.Estado(), estLivre);
  ecf.RelatorioGerencial({"RELATORIO DE TESTE", "segunda linha"}, 2);
  const std::string papel = PapelCom(*fSim, "RELATORIO DE TESTE", 2);
  auto primeira = papel.find("RELATORIO DE TESTE");
  ASSERT_NE(primeira, std::string::npos) << papel;
  EXPECT_NE(papel.find("RELATORIO DE TESTE", primeira + 1), std::string::npos) << papel;
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_P(Comportamento, LoadsTheTables) {
  const Familia& f = GetParam();
  if (f.LeAliquotas) {
    EXPECT_GT(ecf.Aliquotas().Count(), 0);
    TZuvoECFAliquota* a = ecf.AchaICMSAliquota(f.ValorAliquota);
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(a->Indice.empty());
  } else {
    // Sold by slot: a rate by value is refused before anything is sent.
    EXPECT_EQ(ecf.Aliquotas().Count(), 0);
    ecf.AbreCupom();
    EXPECT_THROW(ecf.VendeItem("1", "ITEM", FloatToStr(f.ValorAliquota), 1, 1),
                 EZuvoECFCMDInvalido);
    ecf.CancelaCupom();
  }
  EXPECT_NE(ecf.AchaFPGIndice(f.FormaDinheiro), nullptr);
  EXPECT_NE(ecf.AchaFPGIndice(f.FormaOutra), nullptr);
}

// A description longer than any printer keeps comes back as recorded, and a
// search with that text finds the new entry after the table is read again.
TEST_P(Comportamento, ProgrammedDescriptionsComeBackAsRecorded) {
  const Familia& f = GetParam();
  if (!f.ProgramaFormas) GTEST_SKIP() << "the printer programs no payment method";
  const std::string longa = "Cartao Credito Visa Internacional";
  std::string forma = longa;
  ecf.ProgramaFormaPagamento(forma, false);
  // What the printer kept: the text or its beginning, maybe with a mark.
  EXPECT_NE(longa.find(Trim(forma).substr(Trim(forma)[0] == '$' ? 1 : 0)), std::string::npos)
      << forma;
  ecf.CarregaFormasPagamento();
  EXPECT_NE(ecf.AchaFPGDescricao(forma), nullptr) << forma;

  if (!f.ProgramaComprovantes) return;
  std::string comprovante = "Recebimento de Carne Mensal";
  ecf.ProgramaComprovanteNaoFiscal(comprovante, f.TipoComprovante);
  ecf.CarregaComprovantesNaoFiscais();
  EXPECT_NE(ecf.AchaCNFDescricao(comprovante), nullptr) << comprovante;
}

TEST_P(Comportamento, OpensTheDrawerWhenItHasOne) {
  if (!GetParam().TemGaveta) {
    EXPECT_THROW(ecf.AbreGaveta(), EZuvoECFCMDInvalido);
    return;
  }
  EXPECT_NO_THROW(ecf.AbreGaveta());
}

TEST_P(Comportamento, SilentPrinterEndsInAClearError) {
  if (!GetParam().LeRespostas) GTEST_SKIP() << "the printer never answers";
  sim::Falhas f;
  f.Mudo = true;
  fSim->SetFalhas(f);
  const std::string status = GetParam().ComandoStatus;
  auto comando = [&] {
    if (status.empty())
      ecf.LeituraX();
    else
      ecf.EnviaComando(status);
  };
  try {
    comando();
    FAIL() << "a silent printer reported success";
  } catch (const Exception& e) {
    std::string msg = e.what();
    EXPECT_NE(msg.find(GetParam().MsgSemResposta), std::string::npos) << msg;
  }
  EXPECT_FALSE(ecf.AguardandoResposta());
  // The printer comes back: the next command works.
  fSim->SetFalhas({});
  EXPECT_NO_THROW(comando());
}

TEST_P(Comportamento, LowPaperIsANoticeNotAnError) {
  if (!GetParam().InformaPoucoPapel) GTEST_SKIP() << "the printer reports no paper status";
  // A command answered first: a printer that tells an executed command by
  // its counter knows the counter from then on.
  ecf.LeituraX();
  sim::Falhas f;
  f.PoucoPapel = true;
  fSim->SetFalhas(f);
  int avisos = 0;
  ecf.SetOnMsgPoucoPapel([&](TZuvoECFClass*) { avisos++; });
  EXPECT_NO_THROW(ecf.LeituraX());
  EXPECT_NO_THROW(ecf.LeituraX());
  EXPECT_EQ(avisos, 1);
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Comportamento);
INSTANTIATE_TEST_SUITE_P(Familias, Comportamento, ::testing::ValuesIn(teste::Familias()),
                         [](const ::testing::TestParamInfo<Familia>& i) {
                           return i.param.NomeTeste();
                         });
