// The component with Modelo ecfQuattro against the Quattro simulator: what is
// the family's own (command layouts, check layouts, the serial fiscal-memory
// reading, the paper end) and one case for each fault of the printer's
// documented driver that this one mends.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "component/ZuvoECF.h"
#include "drivers/ZuvoECFQuattro.h"
#include "sim/SimQuattro.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using sim::SimQuattro;
using teste::MensagemDe;

namespace {

class QuattroE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    char modelo[] = "/tmp/zuvo-quattro-XXXXXX";
    ASSERT_NE(::mkdtemp(modelo), nullptr);
    fPasta = std::string(modelo) + "/";
    amb.Plataforma.SetPasta(fPasta);
    fSim = std::make_unique<SimQuattro>(sim::OpcoesSimulador{});
    ecf.SetModelo(ecfQuattro);
    ecf.SetPorta(fSim->Porta());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  void TearDown() override {
    ecf.Desativar();
    std::error_code e;
    std::filesystem::remove_all(fPasta, e);
  }
  TZuvoECFQuattro& Drv() { return dynamic_cast<TZuvoECFQuattro&>(ecf.ECF()); }
  // The last command sent, the status questions during printing left out.
  std::string Ultimo() const {
    const auto c = fSim->Comandos();
    for (auto i = c.rbegin(); i != c.rend(); ++i)
      if (*i != "23") return *i;
    return "";
  }
  bool NoPapel(const std::string& t) const { return fSim->Papel().find(t) != std::string::npos; }
  static std::string Erro(const std::string& Texto) {
    return "Erro retornado pela Impressora: Quattro\r\n\r\n" + Texto;
  }
  void Falha(void (*Liga)(sim::Falhas&)) {
    sim::Falhas f;
    Liga(f);
    fSim->SetFalhas(f);
  }

  teste::AmbienteTeste amb;
  std::string fPasta;
  std::unique_ptr<SimQuattro> fSim;
  TZuvoECF ecf;
};

}  // namespace

TEST_F(QuattroE2E, IdentityAndSerialSettings) {
  EXPECT_EQ(ecf.ModeloStr(), "Quattro");
  EXPECT_EQ(ecf.Colunas(), 40);
  // DTR/DSR is forced, and works on a pseudo-terminal (no modem lines).
  EXPECT_EQ(ecf.Device().HandShake(), hsDTR_DSR);
  EXPECT_EQ(ecf.NumVersao(), "01.05");
  EXPECT_EQ(ecf.NumSerie(), "QT0457");
  EXPECT_EQ(ecf.NumECF(), "0003");
  EXPECT_EQ(ecf.NumCRO(), "0003");
  EXPECT_EQ(ecf.NumCupom(), "000230");
  EXPECT_EQ(Drv().NumUltimaResposta(), "0041");
}

// The payment flag was left set by a cancellation and the reports, so the
// next receipt could not be opened.
TEST_F(QuattroE2E, PaymentFlagEndsWithTheReceipt) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 1, 10);
  ecf.SubtotalizaCupom(0);
  EXPECT_EQ(ecf.Estado(), estPagamento);
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_TRUE(ecf.TestaPodeAbrirCupom());

  // Paid in full: the printer does not cancel a receipt it is totalling;
  // it is closed and then cancelled as the last receipt.
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 1, 10);
  ecf.EfetuaPagamento("01", 10);
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_TRUE(NoPapel("CANCELAMENTO DO CUPOM FISCAL"));

  // A receipt cancelled behind the driver's back: the X reading and a new
  // activation forget the flag.
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 1, 10);
  ecf.SubtotalizaCupom(0);
  ecf.EnviaComando("05");
  EXPECT_EQ(ecf.Estado(), estPagamento);
  ecf.LeituraX();
  EXPECT_EQ(ecf.Estado(), estLivre);
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 1, 10);
  ecf.SubtotalizaCupom(0);
  ecf.EnviaComando("05");
  ecf.Desativar();
  ecf.Ativar();
  EXPECT_EQ(ecf.Estado(), estLivre);
}

// TotalPago is what was paid, not what is still due.
TEST_F(QuattroE2E, TotalPagoIsTheAmountPaid) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 3, 10);
  EXPECT_EQ(ecf.TotalPago(), 0);
  ecf.EfetuaPagamento("01", 20);
  EXPECT_DOUBLE_EQ(ecf.TotalPago(), 20);
  ecf.EfetuaPagamento("02", 10);
  EXPECT_DOUBLE_EQ(ecf.TotalPago(), 30);
  ecf.FechaCupom();
  EXPECT_EQ(ecf.TotalPago(), 0);
}

// The paper-end report is told apart by the printer's answer number, which
// a register read must not overwrite.
TEST_F(QuattroE2E, PaperEndTellsACommandDoneFromOneNotDone) {
  Falha([](sim::Falhas& f) { f.SemPapel = true; });
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupom(); }), Erro("Impressora Sem Papel"));
  ecf.NumCupom();
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupom(); }), Erro("Impressora Sem Papel"));
  EXPECT_EQ(ecf.Estado(), estLivre);

  Falha([](sim::Falhas& f) { f.PoucoPapel = true; });
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupom(); }), teste::kSemErro);
  EXPECT_EQ(ecf.Estado(), estVenda);
  EXPECT_TRUE(ecf.PoucoPapel());
  ASSERT_FALSE(amb.Toolkit->Mensagens.empty());
  EXPECT_EQ(amb.Toolkit->Mensagens.back().Texto, "Papel acabando");
  // The number of the command done is the one the next report is read by.
  Falha([](sim::Falhas& f) { f.SemPapel = true; });
  EXPECT_EQ(MensagemDe([&] { ecf.VendeItem("1", "ARROZ", "18", 1, 1); }),
            Erro("Impressora Sem Papel"));
}

// A "}" in a user's text ended the command early.
TEST_F(QuattroE2E, UserTextCannotEndTheCommand) {
  ecf.AbreCupom("123}456");
  ecf.VendeItem("1}2", "CAFE}GOURMET", "18", 1, 10);
  ecf.EfetuaPagamento("01", 10, "TROCO}ZERO");
  ecf.FechaCupom("VOLTE}SEMPRE\x1b");
  EXPECT_TRUE(NoPapel("CAFE GOURMET"));
  EXPECT_TRUE(NoPapel("TROCO ZERO"));
  EXPECT_TRUE(NoPapel("VOLTE SEMPRE"));
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_EQ(fSim->FalhasInternas(), 0);
}

TEST_F(QuattroE2E, SerialFiscalMemoryReadingEndsAtItsMarkOrRaises) {
  ecf.ReducaoZ(Agora());
  EXPECT_EQ(Ultimo().substr(0, 2), "35");
  TStrings linhas;
  ecf.LeituraMemoriaFiscalSerial(1, 20, linhas);
  ASSERT_EQ(linhas.size(), 4u);
  EXPECT_EQ(linhas[0], "LEITURA DA MEMORIA FISCAL");
  EXPECT_EQ(linhas[1], "REDUCOES: 1 A 20");
  EXPECT_EQ(linhas[2].substr(0, 9), "CRZ 0013 ");
  EXPECT_EQ(linhas[3].substr(0, 17), "TOTAL DO PERIODO:");
  ecf.LeituraMemoriaFiscalSerial(Agora() - 1, Agora(), linhas);
  EXPECT_EQ(linhas[1].substr(0, 8), "PERIODO:");
  EXPECT_EQ(Ultimo(), "++");

  // The line drops after two pieces: an error, not a shortened reading. The
  // clock runs fast while the driver waits out its 15 s.
  fSim->SetCortaSerialApos(2);
  amb.Toolkit->AoProcessarEventos = [&] { amb.Plataforma.Avanca(2000); };
  const std::string msg = MensagemDe([&] { ecf.LeituraMemoriaFiscalSerial(1, 20, linhas); });
  EXPECT_EQ(msg, "Impressora Quattro não está respondendo");
  EXPECT_TRUE(linhas.empty());
}

TEST_F(QuattroE2E, LinkedReceiptWithTheFourDigitCOO) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 1, 10);
  ecf.EfetuaPagamento("02", 10);
  ecf.FechaCupom();
  const std::string coo = ecf.NumCupom();
  EXPECT_EQ(coo, "000231");
  ecf.CupomVinculado(coo, "02", "", 10, {"VIA DO CLIENTE"}, 2);
  const std::string papel = fSim->Papel();
  const auto p = papel.find("VIA DO CLIENTE");
  ASSERT_NE(p, std::string::npos) << papel;
  EXPECT_NE(papel.find("VIA DO CLIENTE", p + 1), std::string::npos);
  EXPECT_EQ(Ultimo(), "12");  // a linked receipt closes as a receipt
  EXPECT_EQ(ecf.Estado(), estLivre);

  // A number wider than the printer's four digits is refused before sending.
  const size_t enviados = fSim->Comandos().size();
  EXPECT_THROW(ecf.AbreCupomVinculado("12345", "02", "", 10), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.AbreCupomVinculado("ABC", "02", "", 10), Exception);
  EXPECT_EQ(fSim->Comandos().size(), enviados);
}

TEST_F(QuattroE2E, CheckLayoutsFromTheProgramFolderOrBuiltIn) {
  std::ofstream(fPasta + "Formato_cheque.txt") << "23712345678\r\n\r\n001999\r\n";
  const TDateTime dia = EncodeDate(2026, 12, 7);
  ecf.ImprimeCheque("237", 150.5, "FULANO}DE TAL", "SAO PAULO", dia, "REF. NOTA 12");
  EXPECT_EQ(fSim->LayoutCheque(), "12345678");
  EXPECT_TRUE(NoPapel("[CHEQUE] R$ 150,50 FULANO DE TAL"));
  EXPECT_TRUE(NoPapel("SAO PAULO, 07/12/26 REF. NOTA 12"));

  std::filesystem::remove(fPasta + "Formato_cheque.txt");
  Drv().CarregaLayoutsCheque();
  EXPECT_EQ(Drv().LayoutsCheque().size(), 63u);
  ecf.ImprimeCheque("237", 10, "A", "B", dia);
  EXPECT_EQ(fSim->LayoutCheque(), "09090706071005");
  ecf.ImprimeCheque("999", 10, "A", "B", dia);
  EXPECT_EQ(Ultimo(), "5909999S");
  EXPECT_THROW(ecf.CancelaImpressaoCheque(), EZuvoECFCMDInvalido);
}

TEST_F(QuattroE2E, SaleCommandLayouts) {
  ecf.AbreCupom();
  EXPECT_EQ(Ultimo(), "17" + std::string(20, ' '));
  ecf.VendeItem("7891", "ARROZ", "TT01", 2, 1.5, 10);
  const auto c = fSim->Comandos();
  EXPECT_EQ(c[c.size() - 2], "017891         0002000000001500" + std::string(12, ' ') + "~" +
                                 "ARROZ" + std::string(18, ' ') + "T01");
  EXPECT_EQ(c.back(), "02" + std::string(10, ' ') + "000000000030");  // 10% of 3,00
  ecf.VendeItem("2", "SERVICO", "SS3", 1, 5);
  EXPECT_EQ(Ultimo().substr(67), "S03");
  ecf.VendeItem("3", "SACOLA", "NN", 1, 0.1, 0, "UN");
  EXPECT_EQ(Ultimo().substr(44), "SACOLA UN" + std::string(14, ' ') + "N  ");
  ecf.SetDescricaoGrande(true);
  ecf.VendeItem("4", "DESCRICAO LONGA DE TRINTA CARA", "18", 1, 1);
  EXPECT_EQ(Ultimo().substr(70), "TA CARA" + std::string(33, ' '));
  EXPECT_THROW(ecf.VendeItem("5", "X", "18", 10000, 1), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.VendeItem("5", "X", "18", 1, 1000000), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.VendeItem("5", "X", "25", 1, 1), EZuvoECFCMDInvalido);

  ecf.SubtotalizaCupom(-1);
  EXPECT_EQ(Ultimo(), "03" + std::string(10, ' ') + "000000000100");
  ecf.EfetuaPagamento("01", 50, "OBS");
  EXPECT_EQ(Ultimo(), "1001000000005000{OBS");
  ecf.FechaCupom("LINHA 1\nLINHA 2");
  EXPECT_EQ(Ultimo(), "120LINHA 1" + std::string(33, ' ') + "0LINHA 2" + std::string(33, ' '));
  ecf.RelatorioGerencial({"A"}, 1);
  ecf.AbreRelatorioGerencial();
  ecf.PulaLinhas(12);
  EXPECT_EQ(Ultimo(), "0899");
}

TEST_F(QuattroE2E, TablesProgramAndReload) {
  ecf.ProgramaAliquota(12, 'T');
  EXPECT_EQ(Ultimo(), "33T041200");
  ecf.CarregaAliquotas();
  ASSERT_NE(ecf.AchaICMSAliquota(12), nullptr);
  EXPECT_EQ(ecf.AchaICMSAliquota(12)->Indice, "T04");
  EXPECT_EQ(ecf.AchaICMSAliquota(5)->Tipo, 'S');

  ecf.ProgramaFormaPagamento("VALE", true);
  EXPECT_EQ(Ultimo(), "37$VALE          ");
  ecf.CarregaFormasPagamento();
  ASSERT_NE(ecf.AchaFPGIndice("04"), nullptr);
  EXPECT_EQ(ecf.AchaFPGIndice("04")->Descricao, "$VALE");
  EXPECT_TRUE(ecf.AchaFPGIndice("04")->PermiteVinculado);
  EXPECT_FALSE(ecf.AchaFPGIndice("01")->PermiteVinculado);

  EXPECT_EQ(MensagemDe([&] { ecf.ProgramaComprovanteNaoFiscal("TROCO", "x"); }),
            "Os Tipos válidos para Quattro são:\r\n&  Criaçao de um novo Grupo (Titulo)\r\n"
            "+  Entrada de Recursos\r\n-  Saida de Recursos\r\n\r\n");
  ecf.ProgramaComprovanteNaoFiscal("TROCO");
  EXPECT_EQ(Ultimo(), "38N+TROCO         ");
  ecf.CarregaComprovantesNaoFiscais();
  ASSERT_EQ(ecf.ComprovantesNaoFiscais().Count(), 3);
  EXPECT_EQ(ecf.AchaCNFIndice("13")->Descricao, "+TROCO");
}

TEST_F(QuattroE2E, SettingsAndDayStates) {
  EXPECT_FALSE(ecf.HorarioVerao());
  ecf.MudaHorarioVerao();
  EXPECT_TRUE(fSim->HorarioVerao());
  EXPECT_TRUE(ecf.HorarioVerao());
  EXPECT_FALSE(ecf.Arredonda());
  ecf.MudaArredondamento(true);
  EXPECT_TRUE(ecf.Arredonda());
  EXPECT_FALSE(ecf.GavetaAberta());
  ecf.AbreGaveta();
  EXPECT_TRUE(ecf.GavetaAberta());
  ecf.LeituraMemoriaFiscal(1, 5);
  EXPECT_EQ(Ultimo(), "1500010005");
  ecf.LeituraMemoriaFiscal(EncodeDate(2026, 12, 1), EncodeDate(2026, 12, 7));
  EXPECT_EQ(Ultimo(), "16011226071226");
  EXPECT_TRUE(NoPapel("PERIODO: 01/12/2026 A 07/12/2026"));

  fSim->SetRequerX(true);
  EXPECT_EQ(ecf.Estado(), estRequerX);
  fSim->SetRequerZ(true);
  EXPECT_EQ(ecf.Estado(), estRequerZ);
  fSim->SetRequerZ(false);
  fSim->SetRequerX(false);
  ecf.ReducaoZ();
  EXPECT_EQ(ecf.Estado(), estBloqueada);
}

TEST_F(QuattroE2E, PrinterFaultsEndInClearErrors) {
  Falha([](sim::Falhas& f) { f.IntervaloBytesMs = 3; });
  EXPECT_EQ(ecf.NumCupom(), "000230");
  // A printer busy printing. The test clock runs ahead of the simulator's
  // while the driver sleeps between questions: each wait lets real time by.
  Falha([](sim::Falhas& f) { f.MsPorLinha = 2; });
  amb.Toolkit->AoProcessarEventos = [] {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  const size_t antes = fSim->Comandos().size();
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), teste::kSemErro);
  const auto c = fSim->Comandos();
  EXPECT_GE(std::count(c.begin() + static_cast<long>(antes), c.end(), "23"), 2);
  amb.Toolkit->AoProcessarEventos = nullptr;
  Falha([](sim::Falhas& f) { f.Recusa = true; });
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupom(); }), Erro("A operação comandada não é permitida."));
  Falha([](sim::Falhas& f) { f.Parcial = true; });
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), "Impressora Quattro não está respondendo");
  Falha([](sim::Falhas& f) { f.ImpressaoSemFim = true; });
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), "Impressora Quattro não está respondendo");
  Falha([](sim::Falhas& f) { f.Corrompida = true; });
  EXPECT_NE(MensagemDe([&] { ecf.NumCupom(); }).find("Resposta inválida"), std::string::npos);
  fSim->SetFalhas({});
  EXPECT_EQ(ecf.NumCupom(), "000232");
}
