// The component with Modelo ecfDataRegis against the DataRegis simulator in
// versions 03 and 05: the commands each generation lays out differently, the
// receipt state kept beside the executable, the long answers in blocks, the
// refused commands, the modem lines; and against a scripted printer whose
// answers are short or wrong, which must end in clear errors.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "component/ZuvoECF.h"
#include "core/ZuvoIni.h"
#include "device/ZuvoSerial.h"
#include "drivers/ZuvoECFDataRegis.h"
#include "sim/PtyPar.h"
#include "sim/SimDataRegis.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using sim::SimDataRegis;
using teste::MensagemDe;

namespace {

const std::string kErro = "Erro retornado pela Impressora: DataRegis\n\n";

// A folder of the test's own for the files beside the executable.
class PastaTemporaria {
 public:
  PastaTemporaria() {
    char modelo[] = "/tmp/zuvo-dataregis-XXXXXX";
    fCaminho = ::mkdtemp(modelo) ? std::string(modelo) + "/" : "";
  }
  ~PastaTemporaria() {
    std::error_code e;
    std::filesystem::remove_all(fCaminho, e);
  }
  const std::string& Caminho() const { return fCaminho; }

 private:
  std::string fCaminho;
};

class DataRegisBase {
 protected:
  void Liga(const std::string& Versao) {
    amb.Plataforma.SetPasta(pasta.Caminho());
    sim::OpcoesSimulador o;
    o.Variante = Versao;
    fSim = std::make_unique<SimDataRegis>(o);
    ecf.SetModelo(ecfDataRegis);
    ecf.SetPorta(fSim->Porta());
    ecf.SetTimeOut(2);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  TZuvoECFDataRegis& Drv() { return dynamic_cast<TZuvoECFDataRegis&>(ecf.ECF()); }
  // The last command the printer took with this letter.
  std::string Ultimo(char Letra) const {
    const auto c = fSim->Comandos();
    for (auto i = c.rbegin(); i != c.rend(); ++i)
      if (!i->empty() && (*i)[0] == Letra) return *i;
    return "";
  }
  size_t Vezes(const std::string& Texto) const {
    const std::string papel = fSim->Papel();
    size_t n = 0;
    for (size_t p = papel.find(Texto); p != std::string::npos; p = papel.find(Texto, p + 1)) n++;
    return n;
  }

  teste::AmbienteTeste amb;
  PastaTemporaria pasta;
  std::unique_ptr<SimDataRegis> fSim;
  TZuvoECF ecf;
};

class DataRegisVersao : public DataRegisBase, public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { Liga(GetParam()); }
  void TearDown() override { ecf.Desativar(); }
  bool V03() const { return GetParam() == "03"; }
};

class DataRegisE2E : public DataRegisBase, public ::testing::Test {
 protected:
  void SetUp() override { Liga("05"); }
  void TearDown() override { ecf.Desativar(); }
};

}  // namespace

// ---------------------------------------------------------------------------
// What each generation lays out differently.

TEST_P(DataRegisVersao, CommandLayoutsOfTheGeneration) {
  EXPECT_TRUE(ecf.NumVersao().ends_with(GetParam()));
  EXPECT_EQ(ecf.NumCRO(), V03() ? "" : "001");
  EXPECT_EQ(Drv().UnidadesMedida().Count(), V03() ? 0 : 3);

  const std::string unidade = V03() ? "" : "02";  // "KG"
  ecf.VendeItem("1", "CAFE", "18", 1, 1.234, 0, "KG");
  EXPECT_EQ(Ultimo('a'), "a" + CompletaDireita("000001 001 CAFE", 36) + "00" + "001000" + "000001234" +
                             "0000" + "A" + unidade);
  ecf.VendeItem("1234567", "ACUCAR", "T02", 2, 1.23, 5, "KG");
  EXPECT_EQ(Ultimo('A'), "A" + CompletaDireita("1234567 002 ACUCAR", 36) + "02" + "002000" +
                             "000000123" + "0500" + unidade);
  ecf.EfetuaPagamento("00", 10, "OBS");
  EXPECT_EQ(Ultimo('D'), "D00" + (V03() ? CompletaDireita("OBS", 18) : "") + "00000000001000");
  ecf.FechaCupom();
  ecf.LeituraX();
  EXPECT_EQ(Ultimo('G'), V03() ? "GNS" : "G");
  ecf.RelatorioGerencial({"LINHA"}, 1);
  EXPECT_EQ(Ultimo('j'), (V03() ? "j" : "j00") + CompletaDireita("LINHA", 40));
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_P(DataRegisVersao, TheDiscountGoesWithTheFirstPaymentAndTotalPagoIsWhatWasPaid) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 2, 5);
  ecf.SubtotalizaCupom(-0.5);
  EXPECT_EQ(Ultimo('c'), "");  // nothing of it has reached the printer
  EXPECT_NEAR(ecf.SubTotal(), 9.5, 0.001);
  ecf.EfetuaPagamento("00", 5);
  EXPECT_EQ(Ultimo('c'), "c00" + std::string(V03() ? 18 : 0, ' ') + "00000000000500" +
                             "00000000000050" + "D");
  // Paid 5 of 9.50: the adjustment is not an amount paid.
  EXPECT_NEAR(ecf.TotalPago(), 5, 0.001);
  EXPECT_NEAR(ecf.SubTotal(), 9.5, 0.001);
  EXPECT_EQ(MensagemDe([&] { ecf.SubtotalizaCupom(); }), "SubTotalizaCupom já efetuado");
  ecf.EfetuaPagamento("01", 4.5);
  ecf.FechaCupom();
  EXPECT_FALSE(fSim->CupomAberto());
  EXPECT_EQ(Vezes("DESCONTO R$ -0,50"), 1u);
}

TEST_P(DataRegisVersao, LinkedReceiptInTwoCopies) {
  ecf.VendeItem("1", "PRODUTO", "18", 1, 10);
  ecf.EfetuaPagamento("01", 10);
  ecf.FechaCupom();
  ecf.CupomVinculado("", "01", "", 10, {"VIA DO CARTAO"}, 2);
  EXPECT_EQ(Vezes("VIA DO CARTAO"), 2u);
  EXPECT_FALSE(fSim->RelatorioAberto());
  EXPECT_EQ(Ultimo('J').substr(0, 3), V03() ? "JVI" : "J00");
  // The managerial close is refused inside a linked receipt: "K" closed it.
  EXPECT_EQ(Ultimo('K'), "K");
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupomVinculado("", "09", 1); }),
            "Forma de Pagamento: 09 não foi cadastrada.");
}

TEST_P(DataRegisVersao, ItemRecordsSurviveTheStateFileByteForByte) {
  // Blanks at the ends, ';', '=', quotes and accents: the record goes back
  // to the printer to cancel the item, and the printer compares it.
  ecf.VendeItem("  77", " \"MAÇÃ; A=B\" ", "18", 1, 2.5);
  ecf.VendeItem("78", "PÃO", "7", 1, 1);
  const std::vector<std::string> itens = Drv().Itens();
  const std::string arquivo = pasta.Caminho() + "ZuvoECFDataRegis001.ini";
  EXPECT_EQ(Drv().ArquivoEstado(), arquivo);
  ecf.Desativar();

  // A new activation takes the items back from the file: the printer is
  // still selling.
  ecf.Ativar();
  EXPECT_EQ(Drv().Itens(), itens);
  ecf.CancelaItemVendido(1);
  EXPECT_EQ(fSim->ItensAtivos(), 1);
  EXPECT_NEAR(Drv().TotalAcumulado(), 1, 0.001);
  // Cancelling it again: the printer no longer has that item.
  EXPECT_EQ(MensagemDe([&] { ecf.CancelaItemVendido(1); }),
            kErro + "Item de Cancelamento não encontrado");

  // A file written for another printer is left alone.
  TZuvoIniFile ini(arquivo);
  ini.WriteString("ECF", "NumSerie", "OUTRA");
  ini.UpdateFile();
  ecf.Desativar();
  ecf.Ativar();
  EXPECT_TRUE(Drv().Itens().empty());
}

TEST_P(DataRegisVersao, OnlyItemsOfTheOpenReceiptCanBeCancelled) {
  ecf.VendeItem("1", "A", "18", 1, 1);
  ecf.VendeItem("2", "B", "18", 1, 1);
  EXPECT_EQ(MensagemDe([&] { ecf.CancelaItemVendido(3); }), "Item (003) não encontrado");
  EXPECT_EQ(MensagemDe([&] { ecf.CancelaItemVendido(0); }), "Item (000) não encontrado");
  EXPECT_EQ(MensagemDe([&] { ecf.CancelaItemVendido(-1); }), "Item (-1) não encontrado");
  EXPECT_EQ(fSim->ItensAtivos(), 2);
  ecf.EfetuaPagamento("00", 1);
  EXPECT_EQ(MensagemDe([&] { ecf.CancelaItemVendido(1); }), "Item (001) não encontrado");
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_EQ(Vezes("CANCELAMENTO DO CUPOM FISCAL"), 1u);
}

TEST_P(DataRegisVersao, FiscalMemoryByReductionsAndWhatTheGenerationLacks) {
  ecf.LeituraMemoriaFiscal(1, 3);
  EXPECT_EQ(Ultimo('i'), "iN00010003");
  EXPECT_EQ(Vezes("LEITURA DA MEMORIA FISCAL"), 1u);
  TStrings linhas;
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraMemoriaFiscalSerial(1, 3, linhas); }),
            "Impressora fiscal não possui este recurso");
  const std::string semRecurso = V03() ? "Essa Impressora Fiscal não possui este recurso" : teste::kSemErro;
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraMemoriaFiscal(ecf.DataHora() - 1, ecf.DataHora()); }), semRecurso);
}

INSTANTIATE_TEST_SUITE_P(Versoes, DataRegisVersao, ::testing::Values("03", "05"),
                         [](const auto& i) { return "V" + i.param; });

// ---------------------------------------------------------------------------
// The protocol against the simulator.

TEST_F(DataRegisE2E, ARefusedCommandReportsTheStatusError) {
  ecf.VendeItem("1", "A", "18", 1, 1);
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), kErro + "ESTADO INVÁLIDO");
  // After ACK CR the driver asked the status by itself.
  const auto c = fSim->Comandos();
  const auto g = std::find(c.rbegin(), c.rend(), "G");
  ASSERT_NE(g, c.rend());
  ASSERT_NE(g, c.rbegin());
  EXPECT_EQ(*std::prev(g), "R");
  EXPECT_EQ(Drv().UltimoCodigo(), '\x06');
}

TEST_F(DataRegisE2E, ElevenBlocksArrivingByteByByteComeBackWhole) {
  fSim->AdicionaReducoes(50);
  const TDateTime hoje = DateOf(ecf.DataHora());
  sim::Falhas f;
  f.IntervaloBytesMs = 1;
  fSim->SetFalhas(f);
  TStrings linhas;
  ecf.LeituraMemoriaFiscalSerial(hoje - 70, hoje, linhas);
  fSim->SetFalhas({});
  // Every block came, acknowledged one by one, and none was cut short.
  size_t bytes = 0;
  for (const std::string& l : linhas) bytes += l.size() + 2;
  EXPECT_GE((bytes + 127) / 128, 11u);
  ASSERT_EQ(linhas.size(), 2u + 50 + 1);
  EXPECT_EQ(linhas.front(), "LEITURA DA MEMORIA FISCAL");
  for (size_t i = 2; i + 1 < linhas.size(); i++)
    EXPECT_EQ(linhas[i].rfind("CRZ " + InteiroZeros(static_cast<int64_t>(i - 1), 4) + " ", 0), 0u)
        << linhas[i];
  EXPECT_EQ(linhas.back().rfind("TOTAL DO PERIODO: ", 0), 0u);
}

TEST_F(DataRegisE2E, AfterAZReductionTheClosedDayDoesNotReadAsPrinting) {
  ecf.ReducaoZ();
  // The end of printing came with the status, though its state letter is
  // 'X' (the day is closed).
  EXPECT_EQ(ecf.Estado(), estBloqueada);
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), teste::kSemErro);
}

TEST_F(DataRegisE2E, AReceiptOpenedBeforeItsFirstItem) {
  ecf.AbreCupom();
  EXPECT_EQ(ecf.Estado(), estVenda);
  EXPECT_FALSE(fSim->CupomAberto());
  const size_t antes = fSim->Comandos().size();
  ecf.CancelaCupom();
  const auto c = fSim->Comandos();
  for (size_t i = antes; i < c.size(); i++) EXPECT_EQ(c[i], "R");
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_F(DataRegisE2E, PaperAndDrawerAreReadFromTheStatus) {
  EXPECT_FALSE(ecf.PoucoPapel());
  EXPECT_FALSE(ecf.GavetaAberta());
  sim::Falhas f;
  f.PoucoPapel = true;
  fSim->SetFalhas(f);
  ecf.AbreGaveta();
  EXPECT_TRUE(ecf.PoucoPapel());
  EXPECT_TRUE(ecf.GavetaAberta());
  // Out of paper, a printing command is refused with the printer's text.
  f.SemPapel = true;
  fSim->SetFalhas(f);
  EXPECT_EQ(MensagemDe([&] { ecf.VendeItem("1", "A", "18", 1, 1); }), kErro + "FIM DE PAPEL");
}

TEST_F(DataRegisE2E, StateFileIsReplacedWholeNeverRewrittenInPlace) {
  ecf.VendeItem("1", "A", "18", 1, 1);
  const std::string arquivo = Drv().ArquivoEstado();
  const std::string antigo = pasta.Caminho() + "antigo.ini";
  ASSERT_EQ(::link(arquivo.c_str(), antigo.c_str()), 0);
  const std::string conteudo = LeArquivo(antigo);
  ecf.VendeItem("2", "B", "18", 1, 1);
  // The old file is untouched (a rename replaced it), the new one has both.
  EXPECT_EQ(LeArquivo(antigo), conteudo);
  TZuvoIniFile ini(arquivo);
  EXPECT_TRUE(ini.ValueExists("Itens", "001"));
  EXPECT_FALSE(TZuvoIniFile(antigo).ValueExists("Itens", "001"));
  for (const auto& e : std::filesystem::directory_iterator(pasta.Caminho()))
    EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
}

TEST_F(DataRegisE2E, BankChecksFromTheBuiltInTableOrFromPrgbco) {
  ecf.ImprimeCheque("1", 123.45, "FULANO", "SAO PAULO", EncodeDate(2026, 12, 7));
  EXPECT_EQ(Ultimo('U'), "UA02750412070010001325" + std::string("00000000012345") +
                             CompletaDireita("FULANO", 50) + CompletaDireita("SAO PAULO", 20) + "071226");
  // A code is never cut to fit: "0011" is no bank.
  EXPECT_EQ(MensagemDe([&] { ecf.ImprimeCheque("0011", 1, "", "", EncodeDate(2026, 12, 7)); }),
            "Modelo de cheque do Banco: 0011 não encontrado");

  // With "prgbco.txt" beside the executable, its rows are the table.
  std::ofstream(pasta.Caminho() + "prgbco.txt")
      << "237" + CompletaDireita("BANCO BRADESCO S/A", 24) + "02800512070010001331\r\n";
  ecf.Desativar();
  ecf.SetModelo(ecfNenhum);
  ecf.SetModelo(ecfDataRegis);
  ecf.Ativar();
  ecf.ImprimeCheque("237", 1, "", "", EncodeDate(2026, 12, 7));
  EXPECT_EQ(Ultimo('U').substr(0, 22), "UA02800512070010001331");
  EXPECT_EQ(MensagemDe([&] { ecf.ImprimeCheque("001", 1, "", "", EncodeDate(2026, 12, 7)); }),
            "Modelo de cheque do Banco: 001 não encontrado");
}

TEST_F(DataRegisE2E, DaylightSavingFollowsThePrintersClock) {
  auto relogio = [&](int Hora) {
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(ecf.DataHora(), h, n, s, ms);
    fSim->AvancaRelogio(((Hora - h + 24) % 24) * 3600 - n * 60 + 30);
  };
  relogio(0);
  EXPECT_EQ(MensagemDe([&] { ecf.ECF().MudaHorarioVerao(true); }),
            "Não é possível mudar para o horário de verão.\rAguarde ate a hora 01:00 para poder alterar");
  relogio(10);
  ecf.ECF().MudaHorarioVerao(true);
  EXPECT_TRUE(fSim->HorarioVerao());
  EXPECT_TRUE(ecf.HorarioVerao());
  EXPECT_EQ(MensagemDe([&] { ecf.ECF().MudaHorarioVerao(false); }),
            "Não é possível retornar do horário de verão.\rAguarde ate as 00:00 para poder alterar.");
  relogio(23);
  ecf.ECF().MudaHorarioVerao(false);
  EXPECT_FALSE(fSim->HorarioVerao());
}

TEST_F(DataRegisE2E, DtrDsrHandshakeOverAPseudoTerminalAndThroughTheModemSeam) {
  // Forced at activation whatever was set; a pseudo-terminal has no modem
  // lines, so the printer is on line.
  EXPECT_EQ(ecf.Device().HandShake(), hsDTR_DSR);
  // A printer that holds CTS low gets RTS dropped after each frame; DSR
  // low is a printer off line.
  struct Linhas {
    bool dsr = true, rtsBaixado = false;
  };
  // The port owns the seam until the end of the test: the lines are shared.
  class Modem : public LinhasModem {
   public:
    explicit Modem(std::shared_ptr<Linhas> L) : fL(std::move(L)) {}
    bool Possui(int) override { return true; }
    bool CTS(int) override { return false; }
    bool DSR(int) override { return fL->dsr; }
    void SetDTR(int, bool) override {}
    void SetRTS(int, bool V) override { fL->rtsBaixado = fL->rtsBaixado || !V; }

   private:
    std::shared_ptr<Linhas> fL;
  };
  auto linhas = std::make_shared<Linhas>();
  ecf.Device().Serial().SetLinhasModem(std::make_unique<Modem>(linhas));
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_TRUE(linhas->rtsBaixado);
  linhas->dsr = false;
  EXPECT_EQ(MensagemDe([&] { ecf.Estado(); }), "Impressora DataRegis não está em linha");
}

// ---------------------------------------------------------------------------
// A scripted printer for answers the simulator never sends.

namespace {

char Soma(const std::string& Bytes) {
  unsigned s = 0;
  for (char c : Bytes) s += static_cast<unsigned char>(c);
  return static_cast<char>(s % 256);
}

std::string Bloco(char Letra, const std::string& Dados) {
  const std::string corpo = Letra + std::string(1, static_cast<char>(Dados.size())) + Dados;
  return "\x08\r\xfe\x01" + corpo + std::string("\x1a") + Soma(corpo) + "\r";
}

struct Roteiro {
  std::mutex m;
  std::map<char, std::string> respostas;  // by letter: the whole answer

  void Responde(char Letra, const std::string& Resposta) {
    std::lock_guard<std::mutex> l(m);
    respostas[Letra] = Resposta;
  }
  size_t Processa(const std::string& p, PtyPar::Saida& out) {
    std::lock_guard<std::mutex> l(m);
    if (p[0] != '\xfe') return 1;  // EOT acknowledgements and noise
    if (p.size() < 4) return 0;
    const size_t n = static_cast<unsigned char>(p[3]);
    if (p.size() < 5 + n) return 0;
    const auto r = respostas.find(p[2]);
    out.Escreve(r == respostas.end() ? std::string("\x04\r") : r->second);
    return 5 + n;
  }
};

class DataRegisRoteiro : public ::testing::Test {
 protected:
  void SetUp() override {
    amb.Plataforma.SetPasta(pasta.Caminho());
    rot.Responde('P', "\x06\r");
    rot.Responde('R', Bloco('R', "LSSNNI00"));
    rot.Responde('l', Bloco('l', "EP375 DATAREGS00100000000000191001234501.05040"));
    par.Inicia([this](const std::string& p, PtyPar::Saida& o) { return rot.Processa(p, o); });
    ecf.SetModelo(ecfDataRegis);
    ecf.SetPorta(par.CaminhoEscravo());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  void TearDown() override { ecf.Desativar(); }

  teste::AmbienteTeste amb;
  PastaTemporaria pasta;
  Roteiro rot;
  PtyPar par;
  TZuvoECF ecf;
};

}  // namespace

TEST_F(DataRegisRoteiro, UnlistedShortAndMismatchedAnswersAreClearErrors) {
  rot.Responde('N', "\x06\r");
  rot.Responde('R', Bloco('R', "LSSNNq00"));
  EXPECT_EQ(MensagemDe([&] { ecf.AbreGaveta(); }), kErro + "Erro Código (q)");
  // A status of four characters has no error character.
  rot.Responde('R', Bloco('R', "LSSN"));
  EXPECT_EQ(MensagemDe([&] { ecf.AbreGaveta(); }), kErro + "Resposta do ECF inválida");
  EXPECT_FALSE(ecf.GavetaAberta());
  // A data block of another command.
  rot.Responde('C', Bloco('R', "S00000000001000003"));
  EXPECT_EQ(MensagemDe([&] { ecf.SubTotal(); }), kErro + "Resposta do ECF inválida");
  // An unreadable subtotal is 0, as the printer's other answers allow.
  rot.Responde('C', Bloco('C', "?"));
  EXPECT_EQ(ecf.SubTotal(), 0);
  // A short date is a clear error too.
  rot.Responde('d', Bloco('d', "07/12/26"));
  EXPECT_THROW(ecf.DataHora(), EZuvoECFSemResposta);
}
