// The Bematech printer end to end: the component with Modelo ecfBematech
// against the simulated printer over a real pseudo-terminal, through every
// operation of the driver, on the older printer and on the detail-memory
// (MFD) one, and through the faults a serial line and a printer produce.
// A first group talks to the simulator with hand-made frames, so that the
// printer side is checked without the driver.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "core/ZuvoPlataforma.h"
#include "sim/SimBematech.h"
#include "support/PlataformaTeste.h"
#include "support/Erros.h"

using namespace zuvo;
using zuvo::sim::SimBematech;

namespace {

// ---------------------------------------------------------------------------
// A raw client: frames built by hand from the protocol.

std::string Quadro(const std::string& Cmd) {
  const std::string d = "\x1B" + Cmd;
  unsigned soma = 0;
  for (char c : d) soma += static_cast<unsigned char>(c);
  const size_t n = d.size() + 2;
  return std::string{'\x02', static_cast<char>(n % 256), static_cast<char>(n / 256)} + d +
         static_cast<char>(soma % 256) + static_cast<char>((soma / 256) % 256);
}

class Cliente {
 public:
  explicit Cliente(const std::string& Porta) : fFd(::open(Porta.c_str(), O_RDWR | O_NOCTTY)) {
    termios t{};
    ::tcgetattr(fFd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fFd, TCSANOW, &t);
  }
  ~Cliente() {
    if (fFd >= 0) ::close(fFd);
  }
  bool Aberto() const { return fFd >= 0; }
  void Escreve(const std::string& s) { ASSERT_EQ(::write(fFd, s.data(), s.size()), static_cast<ssize_t>(s.size())); }
  // Reads until N bytes came or TimeoutMs passed.
  std::string Le(size_t N, int TimeoutMs = 1000) {
    std::string r;
    PlataformaSistema relogio;
    const int64_t fim = relogio.MonotonicoMs() + TimeoutMs;
    while (r.size() < N) {
      const int64_t resta = fim - relogio.MonotonicoMs();
      if (resta <= 0) break;
      pollfd p{fFd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(resta)) <= 0) break;
      char b[4096];
      const ssize_t n = ::read(fFd, b, std::min(sizeof(b), N - r.size()));
      if (n <= 0) break;
      r.append(b, static_cast<size_t>(n));
    }
    return r;
  }

 private:
  int fFd;
};

TEST(BematechSimulador, ChecksFramesAndAnswersWithStatus) {
  teste::AmbienteTeste amb;
  SimBematech sim({});
  Cliente c(sim.Porta());
  ASSERT_TRUE(c.Aberto());

  // Status: ACK, ST1, ST2.
  c.Escreve(Quadro("\x13"));
  EXPECT_EQ(c.Le(3), std::string("\x06\x00\x00", 3));

  // A wrong checksum and an impossible length are refused with NAK.
  std::string ruim = Quadro("\x13");
  ruim.back() = static_cast<char>(ruim.back() + 1);
  c.Escreve(ruim);
  EXPECT_EQ(c.Le(1), "\x15");
  c.Escreve(std::string("\x02\x01\x00\x1B", 4));
  EXPECT_EQ(c.Le(1), "\x15");
  EXPECT_EQ(sim.Recusados(), 2);

  // A frame in pieces is answered once it is whole.
  const std::string q = Quadro(std::string("#\x0E"));  // ECF number
  c.Escreve(q.substr(0, 3));
  EXPECT_EQ(c.Le(1, 100), "");
  c.Escreve(q.substr(3));
  EXPECT_EQ(c.Le(5), std::string("\x06\x00\x01\x00\x00", 5));

  // An unknown command: "Comando inexistente" (ST1 bit 2), no data.
  c.Escreve(Quadro("\xF0"));
  EXPECT_EQ(c.Le(3), std::string("\x06\x04\x00", 3));
  // The MFD queries are unknown to the older printer.
  c.Escreve(Quadro("#)"));
  EXPECT_EQ(c.Le(3), std::string("\x06\x04\x00", 3));

  // The payment table: empty slots are 16 NUL bytes.
  c.Escreve(Quadro("# "));
  const std::string formas = c.Le(1 + 1925 + 2);
  ASSERT_EQ(formas.size(), 1u + 1925 + 2);
  EXPECT_EQ(formas.substr(2, 16), "Dinheiro        ");
  EXPECT_EQ(formas.substr(2 + 4 * 16, 16), std::string(16, '\0'));

  // Selling with no receipt open is refused: "Comando não executado".
  const std::string item = std::string("\x09") + "1" + std::string(12, ' ') + std::string(29, 'X') + "01" + "0001" +
                           "00000100" + "0000";
  c.Escreve(Quadro(item));
  EXPECT_EQ(c.Le(3), std::string("\x06\x00\x01", 3));
  // Opening twice: "Cupom aberto"; a rate not programmed: ST2 bit 4.
  c.Escreve(Quadro(std::string(1, '\0')));
  EXPECT_EQ(c.Le(3), std::string("\x06\x00\x00", 3));
  c.Escreve(Quadro(std::string(1, '\0')));
  EXPECT_EQ(c.Le(3), std::string("\x06\x02\x00", 3));
  std::string semAliquota = item;
  semAliquota.replace(43, 2, "09");
  c.Escreve(Quadro(semAliquota));
  EXPECT_EQ(c.Le(3), std::string("\x06\x00\x10", 3));
  c.Escreve(Quadro(item));
  EXPECT_EQ(c.Le(3), std::string("\x06\x00\x00", 3));
  // The status command shows the open receipt in ST1 bit 1.
  c.Escreve(Quadro("\x13"));
  EXPECT_EQ(c.Le(3), std::string("\x06\x02\x00", 3));
  EXPECT_NE(sim.Papel().find(std::string(29, 'X')), std::string::npos);
}

TEST(BematechSimulador, DetailMemoryPrinterSendsAThirdStatusByte) {
  teste::AmbienteTeste amb;
  sim::OpcoesSimulador o;
  o.MFD = true;
  SimBematech sim(o);
  Cliente c(sim.Porta());
  c.Escreve(Quadro("\x13"));
  EXPECT_EQ(c.Le(4), std::string("\x06\x00\x00\x00", 4));
  c.Escreve(Quadro("#)"));  // version, 3 BCD bytes
  EXPECT_EQ(c.Le(7), std::string("\x06\x01\x00\x00\x00\x00\x00", 7));
}

// ---------------------------------------------------------------------------
// The component against the simulator.

struct Geracao {
  const char* Nome;
  bool MFD;
  bool Termica;
};

void PrintTo(const Geracao& G, std::ostream* Os) { *Os << G.Nome; }

class Bematech : public ::testing::TestWithParam<Geracao> {
 protected:
  void SetUp() override {
    sim::OpcoesSimulador o;
    o.MFD = GetParam().MFD;
    o.Termica = GetParam().Termica;
    Liga(o);
  }
  void Liga(const sim::OpcoesSimulador& o) {
    if (ecf.Ativo()) ecf.Desativar();
    fSim = std::make_unique<SimBematech>(o);
    ecf.SetModelo(ecfBematech);
    ecf.SetPorta(fSim->Porta());
    // The older printer makes activation wait out the MFD probe.
    ecf.SetTimeOut(o.MFD ? 2 : 1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  void TearDown() override {
    if (ecf.Ativo()) ecf.Desativar();
  }
  bool NoPapel(const std::string& Texto) const { return fSim->Papel().find(Texto) != std::string::npos; }
  bool MFD() const { return GetParam().MFD; }
  void VendeUm() {
    ecf.AbreCupom();
    ecf.VendeItem("1", "PAO FRANCES", "18", 1, 5);
    ecf.SubtotalizaCupom();
    ecf.EfetuaPagamento("02", 5);
    ecf.FechaCupom();
  }

  teste::AmbienteTeste amb;
  std::unique_ptr<SimBematech> fSim;
  TZuvoECF ecf;
};

TEST_P(Bematech, IdentifiesTheGeneration) {
  EXPECT_EQ(ecf.MFD(), MFD());
  EXPECT_EQ(ecf.Termica(), GetParam().Termica);
  EXPECT_EQ(Trim(ecf.NumSerie()), MFD() ? "BE0910SC550000012345" : "470801100012345");
  EXPECT_EQ(ecf.NumVersao(), MFD() ? "010000" : "0310");
  EXPECT_EQ(ecf.NumECF(), "0001");
  EXPECT_EQ(ecf.NumLoja(), "0001");
  EXPECT_EQ(ecf.NumCRO(), "0001");
  EXPECT_EQ(ecf.Colunas(), 48);
  EXPECT_EQ(ecf.NumCupom(), "000123");
  // The printer's clock is the system's.
  EXPECT_NEAR(ecf.DataHora(), PlataformaSistema().Agora(), 5.0 / 86400);
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_FALSE(ecf.PoucoPapel());
}

TEST_P(Bematech, TheGenerationProbeNeverAsksTheOperator) {
  // An older printer does not know the MFD query: activation with retries on
  // must still not put the question to the operator for it.
  ecf.Desativar();
  ecf.SetReTentar(true);
  std::vector<std::string> perguntas;
  ecf.SetOnMsgRetentar([&](const std::string& m, const std::string&, bool& r) {
    perguntas.push_back(m);
    r = false;
  });
  ecf.Ativar();
  EXPECT_TRUE(perguntas.empty()) << perguntas.front();
  EXPECT_TRUE(amb.Toolkit->Mensagens.empty());
  EXPECT_EQ(ecf.MFD(), MFD());
  EXPECT_TRUE(ecf.ReTentar());
  EXPECT_TRUE(static_cast<bool>(ecf.OnMsgRetentar()));
}

TEST_P(Bematech, FortyColumnPrinterIsKnownByItsSerialNumber) {
  sim::OpcoesSimulador o;
  o.MFD = MFD();
  o.Colunas = 40;
  Liga(o);
  EXPECT_EQ(ecf.NumSerie().substr(0, 4), "5708");
  EXPECT_EQ(ecf.Colunas(), 40);
}

TEST_P(Bematech, SellsAReceiptWithEveryKindOfItem) {
  const int coo = fSim->COO();
  ecf.AbreCupom("123.456.789-09");
  EXPECT_EQ(ecf.Estado(), estVenda);
  EXPECT_EQ(ecf.NumCupom(), "000" + IntToStr(coo + 1));
  ecf.VendeItem("789001", "CAFE TORRADO", "18", 2, 8.5);
  ecf.VendeItem("789002", "QUEIJO PRATO", "7", 1.5, 2.555, 0, "KG");  // 3 decimals
  ecf.VendeItem("789003", "CORTE DE CABELO", "5S", 1, 30, 10);        // service, 10% off
  ecf.VendeItem("789004", "SACOLA", "F", 1, 0.1);
  ecf.VendeItem("789005", "ITEM ERRADO", "NN", 1, 1);
  ecf.CancelaItemVendido(5);
  // 17.00 + 3.83 (1.5 x 2.555 truncated or rounded) + 27.00 + 0.10
  const double subtotal = ecf.SubTotal();
  EXPECT_NEAR(subtotal, 47.93, 0.011);
  ecf.SubtotalizaCupom(-0.93, "Obrigado|Volte sempre");
  EXPECT_EQ(ecf.Estado(), estPagamento);
  ecf.EfetuaPagamento("01", 20);
  ecf.EfetuaPagamento("03", 30, "Cartao 1234");
  EXPECT_NEAR(ecf.TotalPago(), 50, 0.001);
  ecf.FechaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_FALSE(fSim->CupomAberto());

  for (const char* t : {"CPF/CNPJ consumidor: 123.456.789-09", "CAFE TORRADO", "QUEIJO PRATO",
                        "S05,00%", "desconto item -3,00", "ITEM 005 CANCELADO", "DESCONTO R$ -0,93",
                        "TOTAL R$ 47,00", "Cartao Credito", "TROCO R$ 3,00", "Obrigado", "Volte sempre"})
    EXPECT_TRUE(NoPapel(t)) << t << "\n" << fSim->Papel();
  // The price with three decimals goes with the older printer's command 56.
  bool com56 = false;
  for (const auto& c : fSim->Comandos()) com56 = com56 || c[0] == 56;
  EXPECT_EQ(com56, !MFD());
}

TEST_P(Bematech, PrinterErrorsComeBackAsMessages) {
  ecf.AbreCupom();
  std::string e = teste::MensagemDe([&] { ecf.AbreCupom(); });
  EXPECT_NE(e.find("Erro retornado pela Impressora: Bematech"), std::string::npos) << e;
  EXPECT_NE(e.find("Cupom aberto"), std::string::npos) << e;
  // Index 09 has no rate programmed.
  e = teste::MensagemDe([&] { ecf.VendeItem("1", "X", "T09", 1, 1); });
  EXPECT_NE(e.find("Alíquota não programada"), std::string::npos) << e;
  // Paying before the subtotal is not accepted by the printer.
  ecf.VendeItem("1", "X", "18", 1, 1);
  e = teste::MensagemDe([&] { ecf.EfetuaPagamento("01", 1); });
  EXPECT_NE(e.find("Comando não executado"), std::string::npos) << e;
  // A raw command the printer does not know.
  e = teste::MensagemDe([&] { ecf.EnviaComando(std::string(1, '\xF0')); });
  EXPECT_NE(e.find("Comando inexistente"), std::string::npos) << e;
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_P(Bematech, CancelsOpenEmptyAndLastReceipts) {
  // An empty receipt: the older printer needs an item in it first.
  ecf.AbreCupom();
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_TRUE(NoPapel("CUPOM FISCAL CANCELADO"));
  // The last receipt, closed.
  VendeUm();
  const int coo = fSim->COO();
  ecf.CancelaCupom();
  EXPECT_EQ(fSim->COO(), coo + 1);
  EXPECT_TRUE(NoPapel("COO do cupom cancelado: " + std::string("000") + IntToStr(coo)));
  // Nothing left to cancel.
  std::string e = teste::MensagemDe([&] { ecf.CancelaCupom(); });
  EXPECT_NE(e.find("Cancelamento não permitido"), std::string::npos) << e;
}

TEST_P(Bematech, DayReportsAndFiscalMemory) {
  ecf.LeituraX();
  EXPECT_TRUE(NoPapel("LEITURA X"));
  VendeUm();
  ecf.ReducaoZ(PlataformaSistema().Agora());
  EXPECT_EQ(fSim->CRZ(), 5);
  EXPECT_TRUE(NoPapel("REDUCAO Z"));
  // The day is closed.
  EXPECT_EQ(ecf.Estado(), estBloqueada);
  EXPECT_NE(teste::MensagemDe([&] { ecf.AbreCupom(); }), teste::kSemErro);

  ecf.LeituraMemoriaFiscal(5, 5);
  EXPECT_TRUE(NoPapel("CRZ 0005"));
  const TDateTime hoje = PlataformaSistema().Agora();
  ecf.LeituraMemoriaFiscal(hoje - 1, hoje + 1);
  TStrings linhas;
  ecf.LeituraMemoriaFiscalSerial(1, 9, linhas);
  ASSERT_FALSE(linhas.empty());
  EXPECT_EQ(linhas[0], "LEITURA DA MEMORIA FISCAL");
  bool achou = false;
  // The reduction's line carries its gross sales.
  for (const auto& l : linhas) achou = achou || (l.rfind("CRZ 0005 ", 0) == 0 && l.size() > 5 && l.substr(l.size() - 5) == " 5,00");
  EXPECT_TRUE(achou);
  linhas.clear();
  ecf.LeituraMemoriaFiscalSerial(hoje - 2, hoje, linhas);
  EXPECT_FALSE(linhas.empty());
}

TEST_P(Bematech, ADayLeftOpenRequiresAZ) {
  if (!MFD()) GTEST_SKIP() << "the older printer does not report the fiscal day";
  VendeUm();
  EXPECT_EQ(ecf.Estado(), estLivre);
  fSim->AvancaRelogio(86400);
  EXPECT_EQ(ecf.Estado(), estRequerZ);
  ecf.ReducaoZ();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_NO_THROW(VendeUm());
}

TEST_P(Bematech, ManagerialReportAndLinkedReceipt) {
  ecf.AbreRelatorioGerencial();
  ecf.LinhaRelatorioGerencial("PRIMEIRA LINHA\r\nSEGUNDA LINHA");
  ecf.PulaLinhas(2);
  ecf.FechaRelatorio();
  EXPECT_FALSE(fSim->RelatorioAberto());
  EXPECT_TRUE(NoPapel("RELATORIO GERENCIAL\n"));
  EXPECT_TRUE(NoPapel("PRIMEIRA LINHA\nSEGUNDA LINHA\n"));

  VendeUm();  // paid with Cheque (02)
  const std::string coo = ecf.NumCupom();
  ecf.CupomVinculado(coo, "02", "", 5, {"VIA DO CLIENTE", "assinatura"}, 2);
  EXPECT_FALSE(fSim->RelatorioAberto());
  const std::string papel = fSim->Papel();
  const auto primeira = papel.find("VIA DO CLIENTE");
  ASSERT_NE(primeira, std::string::npos) << papel;
  EXPECT_NE(papel.find("VIA DO CLIENTE", primeira + 1), std::string::npos);
  EXPECT_NE(papel.find("COO do documento vinculado: " + coo), std::string::npos);
  // A method that was not used in the receipt cannot have one.
  std::string e = teste::MensagemDe([&] { ecf.AbreCupomVinculado(coo, "03", "", 5); });
  EXPECT_NE(e.find("Comando não executado"), std::string::npos) << e;
  e = teste::MensagemDe([&] { ecf.AbreCupomVinculado(coo, "09", "", 5); });
  EXPECT_NE(e.find("não foi cadastrada"), std::string::npos) << e;
}

TEST_P(Bematech, LongTextGoesInBlocksOnThermalPrinters) {
  std::string texto;
  for (int i = 1; i <= 30; i++) texto += "LINHA " + IntToStr(i) + "\n";
  ecf.AbreRelatorioGerencial();
  const size_t antes = fSim->Comandos().size();
  ecf.LinhaRelatorioGerencial(texto);
  const auto todos = fSim->Comandos();
  // Status checks while the printer prints are not text.
  const size_t comandos = static_cast<size_t>(
      std::count_if(todos.begin() + static_cast<long>(antes), todos.end(),
                    [](const std::string& c) { return c[0] == 20; }));
  ecf.FechaRelatorio();
  EXPECT_TRUE(NoPapel("LINHA 1\nLINHA 2\n"));
  EXPECT_TRUE(NoPapel("LINHA 30\n"));
  // One command per line on impact printers, one block on thermal ones.
  if (GetParam().Termica)
    EXPECT_EQ(comandos, 1u);
  else
    EXPECT_GE(comandos, 30u);
}

TEST_P(Bematech, LoadsAndProgramsTheTables) {
  ecf.CarregaAliquotas();
  ASSERT_EQ(ecf.Aliquotas().Count(), 5);
  EXPECT_EQ(ecf.Aliquotas()[0].Indice, "01");
  EXPECT_DOUBLE_EQ(ecf.Aliquotas()[0].Aliquota, 18);
  EXPECT_EQ(ecf.Aliquotas()[4].Tipo, 'S');
  ecf.ProgramaAliquota(3.5, 'S');
  EXPECT_EQ(fSim->Aliquota(6), 350);
  TZuvoECFAliquota* nova = ecf.AchaICMSAliquota(3.5, 'S');
  ASSERT_NE(nova, nullptr);
  EXPECT_EQ(nova->Indice, "06");

  // Empty payment slots (NUL bytes) are not methods.
  ecf.CarregaFormasPagamento();
  ASSERT_EQ(ecf.FormasPagamento().Count(), 4);
  EXPECT_FALSE(ecf.AchaFPGIndice("01")->PermiteVinculado);
  EXPECT_TRUE(ecf.AchaFPGIndice("02")->PermiteVinculado);
  ecf.ProgramaFormaPagamento("Vale Refeicao");
  EXPECT_EQ(fSim->FormaPagamento(5), "Vale Refeicao");
  ASSERT_NE(ecf.AchaFPGIndice("05"), nullptr);
  TZuvoECFFormaPagamento* cheque = ecf.AchaFPGDescricao("Cheque");
  ASSERT_NE(cheque, nullptr);
  EXPECT_EQ(cheque->Indice, "02");
  // The older printers look a description up by programming it: one longer
  // than the 16 characters they keep is found by what they recorded.
  if (!GetParam().MFD) {
    TZuvoECFFormaPagamento* visa = ecf.AchaFPGDescricao("Cartao Credito Visa");
    ASSERT_NE(visa, nullptr);
    EXPECT_EQ(visa->Descricao, "Cartao Credito V");
    EXPECT_EQ(ecf.AchaFPGDescricao("Cartao Credito Visa"), visa);  // not programmed twice
  }

  ecf.CarregaComprovantesNaoFiscais();
  ASSERT_EQ(ecf.ComprovantesNaoFiscais().Count(), 4);
  EXPECT_EQ(ecf.ComprovantesNaoFiscais()[0].Indice, "SA");
  EXPECT_EQ(ecf.ComprovantesNaoFiscais()[2].Descricao, "Recebimento");
  ecf.ProgramaComprovanteNaoFiscal("Conta de Agua");
  ecf.CarregaComprovantesNaoFiscais();
  ASSERT_NE(ecf.AchaCNFDescricao("Conta de Agua"), nullptr);
  EXPECT_EQ(ecf.AchaCNFDescricao("Conta de Agua")->Indice, "03");
}

TEST_P(Bematech, DrawerCheckClockAndSettings) {
  EXPECT_FALSE(ecf.GavetaAberta());
  ecf.AbreGaveta();
  EXPECT_TRUE(fSim->GavetaAberta());
  EXPECT_TRUE(ecf.GavetaAberta());
  fSim->SetGavetaAberta(false);
  EXPECT_FALSE(ecf.GavetaAberta());

  EXPECT_TRUE(ecf.ChequePronto());
  ecf.ImprimeCheque("001", 123.45, "FORNECEDOR DE CAFE LTDA", "SAO PAULO", EncodeDate(2026, 12, 7));
  EXPECT_TRUE(NoPapel("[CHEQUE] R$ 123,45 FORNECEDOR DE CAFE LTDA"));
  EXPECT_TRUE(NoPapel("SAO PAULO, 07/12/2026"));
  ecf.CancelaImpressaoCheque();
  fSim->SetChequePresente(false);
  EXPECT_FALSE(ecf.ChequePronto());

  EXPECT_FALSE(ecf.HorarioVerao());
  ecf.ECF().MudaHorarioVerao(true);
  EXPECT_TRUE(fSim->HorarioVerao());
  EXPECT_TRUE(ecf.HorarioVerao());
  ecf.ECF().MudaHorarioVerao(true);  // already: nothing sent
  EXPECT_TRUE(fSim->HorarioVerao());
  ecf.MudaHorarioVerao();
  EXPECT_FALSE(fSim->HorarioVerao());

  ecf.MudaArredondamento(true);
  EXPECT_TRUE(fSim->Arredonda());

  if (MFD()) {
    std::string e = teste::MensagemDe([&] { ecf.ImpactoAgulhas(2); });
    EXPECT_NE(e.find("não disponível neste modelo"), std::string::npos) << e;
  } else {
    ecf.ImpactoAgulhas(5);
    EXPECT_EQ(fSim->Comandos().back(), "|3");
    ecf.ImpactoAgulhas(0);
    EXPECT_EQ(fSim->Comandos().back(), "|1");
  }
}

TEST_P(Bematech, CorrectsAReceiptLeftOpen) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "ESQUECIDO", "18", 1, 2);
  ecf.CorrigeEstadoErro();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_FALSE(fSim->CupomAberto());
  ecf.AbreRelatorioGerencial();
  ecf.CorrigeEstadoErro();
  EXPECT_FALSE(fSim->RelatorioAberto());
}

// ---------------------------------------------------------------------------
// Faults: each one ends in the driver's message or in the retry question.

TEST_P(Bematech, RefusalAndMissingAcknowledgement) {
  sim::Falhas f;
  f.Recusa = true;
  fSim->SetFalhas(f);
  std::string e = teste::MensagemDe([&] { ecf.LeituraX(); });
  EXPECT_NE(e.find("não reconheceu o Comando"), std::string::npos) << e;
  EXPECT_NE(e.find("(ACK = 21)"), std::string::npos) << e;

  f = {};
  f.SemACK = true;
  fSim->SetFalhas(f);
  e = teste::MensagemDe([&] { ecf.NumCupom(); });
  EXPECT_NE(e.find("não responde (ACK = 0)"), std::string::npos) << e;
  EXPECT_FALSE(ecf.AguardandoResposta());

  // The user is asked to retry; the printer is back by then.
  std::vector<std::string> situacoes;
  ecf.SetOnMsgRetentar([&](const std::string& Msg, const std::string& Situacao, bool& Result) {
    situacoes.push_back(Situacao);
    EXPECT_NE(Msg.find("Se o problema persistir"), std::string::npos) << Msg;
    fSim->SetFalhas({});
    Result = situacoes.size() == 1;
  });
  const int coo = fSim->COO();
  fSim->SetFalhas(f);
  EXPECT_NO_THROW(ecf.LeituraX());
  EXPECT_EQ(situacoes, std::vector<std::string>{"LerACK"});
  EXPECT_EQ(fSim->COO(), coo + 1);  // printed once
}

TEST_P(Bematech, BusyPrinterIsWaitedFor) {
  sim::Falhas f;
  f.MsPorLinha = 25;
  fSim->SetFalhas(f);
  PlataformaSistema relogio;
  const int64_t t0 = relogio.MonotonicoMs();
  ecf.LeituraX();  // some 30 lines
  const int64_t gasto = relogio.MonotonicoMs() - t0;
  // The end-of-printing check waited for the paper to stop.
  EXPECT_GE(gasto, 500) << gasto;
  EXPECT_EQ(ecf.Estado(), estLivre);
  VendeUm();
  EXPECT_TRUE(NoPapel("PAO FRANCES"));
}

TEST_P(Bematech, PaperRunningOutAndGone) {
  sim::Falhas f;
  f.PoucoPapel = true;
  fSim->SetFalhas(f);
  int avisos = 0;
  ecf.SetOnMsgPoucoPapel([&](TZuvoECFClass*) { avisos++; });
  EXPECT_NO_THROW(VendeUm());
  EXPECT_TRUE(ecf.PoucoPapel());
  EXPECT_EQ(avisos, 1);

  f = {};
  f.SemPapel = true;
  fSim->SetFalhas(f);
  const std::string antes = fSim->Papel();
  std::string e = teste::MensagemDe([&] { ecf.LeituraX(); });
  EXPECT_NE(e.find("Fim de papel"), std::string::npos) << e;
  EXPECT_EQ(fSim->Papel(), antes);
}

TEST_P(Bematech, PacedAtNineThousandSixHundredBaud) {
  fSim->SetBaud(9600);
  try {
    VendeUm();
  } catch (const Exception& e) {
    const auto cmds = fSim->Comandos();
    FAIL() << e.what() << "\nlast command received: byte " << static_cast<int>(static_cast<unsigned char>(cmds.back()[0]))
           << ", " << cmds.size() << " commands";
  }
  EXPECT_TRUE(NoPapel("PAO FRANCES"));
  ecf.CarregaFormasPagamento();  // 1925 bytes, some 2 s at 9600 bps
  EXPECT_EQ(ecf.FormasPagamento().Count(), 4);
}

// A caller's control bytes never end a field early (the MFD sale separates
// code and description with NUL) nor reach the printer as commands.
TEST_P(Bematech, ControlBytesInTextsBecomeBlanks) {
  using namespace std::string_literals;
  struct Caso {
    std::string Codigo, Descricao, NoPapel;
  };
  const Caso casos[] = {
      {"1", "CAFE\0FORTE"s, "CAFE FORTE"},
      {"2\0"s, "PAO\x1b" "DOCE", "PAO DOCE"},
      {"3", "LEITE\rINTEGRAL", "LEITE INTEGRAL"},
  };
  ecf.AbreCupom();
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.NoPapel);
    ecf.VendeItem(c.Codigo, c.Descricao, "18", 1, 1);
    EXPECT_TRUE(NoPapel(c.NoPapel)) << fSim->Papel();
  }
  ecf.SubtotalizaCupom();
  ecf.EfetuaPagamento("01", 3, "OBS\x1b@");
  ecf.FechaCupom("VOLTE\x02SEMPRE");
  EXPECT_TRUE(NoPapel("VOLTE SEMPRE")) << fSim->Papel();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_EQ(fSim->Papel().find_first_of("\x1b\x02"s), std::string::npos);
  EXPECT_EQ(fSim->Papel().find('\0'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Geracoes, Bematech,
                         ::testing::Values(Geracao{"Antiga", false, false}, Geracao{"MFD", true, false},
                                           Geracao{"MFD_Termica", true, true}),
                         [](const ::testing::TestParamInfo<Geracao>& i) { return i.param.Nome; });

}  // namespace
