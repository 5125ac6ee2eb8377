// The component with Modelo ecfSweda against the Sweda simulator: what the
// shared suites cannot see (each generation's identity and command layouts,
// the linked receipt in copies, tables, the fiscal memory on the serial
// line, the check) and the points where the driver departs from a literal
// reading of the printer's documentation.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "device/ZuvoSerial.h"
#include "drivers/ZuvoECFSweda.h"
#include "sim/SimSweda.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using sim::SimSweda;
using teste::MensagemDe;

namespace {

class SwedaBase {
 protected:
  void Liga(const std::string& Geracao) {
    sim::OpcoesSimulador o;
    o.Variante = Geracao;
    fSim = std::make_unique<SimSweda>(o);
    ecf.SetModelo(ecfSweda);
    ecf.SetPorta(fSim->Porta());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  TZuvoECFSweda& Drv() { return dynamic_cast<TZuvoECFSweda&>(ecf.ECF()); }
  bool NoPapel(const std::string& t) const { return fSim->Papel().find(t) != std::string::npos; }
  /// The commands received since Marca whose number is in Numeros ("01 02").
  std::vector<std::string> Comandos(size_t Marca, const std::string& Numeros) const {
    std::vector<std::string> r;
    const auto todos = fSim->Comandos();
    for (size_t i = Marca; i < todos.size(); i++)
      if ((" " + Numeros + " ").find(" " + todos[i].substr(0, 2) + " ") != std::string::npos)
        r.push_back(todos[i]);
    return r;
  }
  size_t Marca() const { return fSim->Comandos().size(); }
  /// One item of Valor, paid in cash: the day has movement.
  void CupomPago(double Valor) {
    ecf.AbreCupom();
    ecf.VendeItem("1", "ARROZ", "18", 1, Valor);
    ecf.SubtotalizaCupom();
    ecf.EfetuaPagamento("01", Valor);
    ecf.FechaCupom();
  }
  int G() { return Drv().Geracao(); }

  teste::AmbienteTeste amb;
  std::unique_ptr<SimSweda> fSim;
  TZuvoECF ecf;
};

struct Geracao {
  const char* Nome;
  const char* Modelo;
  const char* Versao;
  bool Arredonda;
};

class SwedaE2E : public SwedaBase, public ::testing::TestWithParam<Geracao> {
 protected:
  void SetUp() override { Liga(GetParam().Nome); }
  void TearDown() override { ecf.Desativar(); }
};

class SwedaG3 : public SwedaBase, public ::testing::Test {
 protected:
  void SetUp() override { Liga("G3"); }
  void TearDown() override { ecf.Desativar(); }
};

std::string Linha40(const std::string& Texto) { return "0" + CompletaDireita(Texto, 40); }

}  // namespace

TEST_P(SwedaE2E, ActivationTellsTheGenerationApart) {
  const int g = GetParam().Nome[1] - '0';
  EXPECT_EQ(G(), g);
  EXPECT_EQ(ecf.ModeloStr(), GetParam().Modelo);
  EXPECT_EQ(ecf.NumVersao(), GetParam().Versao);
  EXPECT_EQ(ecf.Arredonda(), GetParam().Arredonda);
  EXPECT_EQ(ecf.MFD(), g == 5);
  EXPECT_EQ(ecf.Device().HandShake(), hsDTR_DSR);
  EXPECT_EQ(ecf.Colunas(), 40);
  EXPECT_EQ(ecf.NumECF(), "0001");
  EXPECT_EQ(ecf.NumCRO(), "0003");
  EXPECT_EQ(ecf.NumCupom(), "000345");
  EXPECT_EQ(ecf.NumSerie(), "SW000000" + std::string(1, GetParam().Nome[1]));
  EXPECT_FALSE(ecf.PoucoPapel());
}

TEST_P(SwedaE2E, ReceiptCommandsFollowTheGenerationLayout) {
  const int g = G();
  size_t m = Marca();
  ecf.AbreCupom();
  ecf.VendeItem("7891", "CAFE", "18", 2, 10, 10);  // 20.00, 10% off: 2.00
  ecf.SubtotalizaCupom(-1.5);                      // 8.33% of 18.00
  ecf.EfetuaPagamento("01", 50, "TROCO");
  ecf.FechaCupom("Obrigado");
  std::vector<std::string> esperados = {
      "17" + std::string(20, ' '),
      "017891         0002000000010000000000002000~" + CompletaDireita("CAFE", 23) + "T01",
      g <= 3 ? "0210,00     000000000200" : "020000000000000200",
      g == 4 ? "030000000000000150S"
             : "0308,33     000000000150" + std::string(g == 2 || g == 3 ? "N" : "")};
  if (g >= 2) esperados.push_back("10");
  esperados.push_back("1001000000005000" + std::string(g >= 2 ? "{TROCO" : ""));
  const std::string sufixo = g == 1 ? "" : g == 4 ? "N" : "NN";
  esperados.push_back("12" + sufixo + Linha40("Obrigado"));
  EXPECT_EQ(Comandos(m, "01 02 03 10 11 12 17"), esperados);
  EXPECT_TRUE(NoPapel("TROCO R$ 33,50"));
  EXPECT_EQ(ecf.Estado(), estLivre);

  // A surcharge: "53" and three blanks in G1, no "N" in G4.
  m = Marca();
  ecf.AbreCupom();
  ecf.VendeItem("1", "PAO", "F", 1, 5);
  ecf.SubtotalizaCupom(1);
  const std::string v = "00000000100";
  const std::string acrescimo = g == 1 ? "11530000" + v + "   N" : "11510000" + v + (g == 4 ? "" : "N");
  EXPECT_EQ(Comandos(m, "11"), std::vector<std::string>{acrescimo});
  ecf.EfetuaPagamento("01", 6);
  ecf.FechaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
}

// The printer takes no command for 200 ms after an item; a longer pause the
// user set covers it (not added on top).
TEST_P(SwedaE2E, AnItemIsFollowedByThePrintersPause) {
  ecf.AbreCupom();
  int64_t antes = amb.Plataforma.Dormido();
  ecf.VendeItem("1", "ARROZ", "18", 1, 2);
  EXPECT_GE(amb.Plataforma.Dormido() - antes, 200);
  ecf.SetIntervaloAposComando(300);
  antes = amb.Plataforma.Dormido();
  ecf.VendeItem("2", "FEIJAO", "18", 1, 2);
  EXPECT_GE(amb.Plataforma.Dormido() - antes, 300);
  EXPECT_LT(amb.Plataforma.Dormido() - antes, 500);
  ecf.SetIntervaloAposComando(0);
  ecf.CancelaCupom();
}

TEST_P(SwedaE2E, LinkedReceiptInTwoCopies) {
  const int g = G();
  ecf.AbreCupom();
  ecf.VendeItem("1", "LIVRO", "7", 1, 30);
  ecf.SubtotalizaCupom();
  ecf.EfetuaPagamento("02", 30, "", true);
  if (g <= 3) {
    // These generations take one linked receipt per receipt.
    EXPECT_NE(MensagemDe([&] { ecf.EfetuaPagamento("03", 1, "", true); })
                  .find("aceita apenas 1 Compr.NAO Fiscal Viculado por Cupom."),
              std::string::npos);
  }
  const size_t m = Marca();
  ecf.FechaCupom();
  const std::string coo = ecf.NumCupom();
  // The closing announces the linked receipt where the generation can.
  const std::string fecha = Comandos(m, "12").at(0);
  EXPECT_EQ(fecha, g == 1 ? "12" : g == 4 ? "12N" : "12SN");

  const size_t v = Marca();
  ecf.CupomVinculado(coo, "02", "", 30, {"VIA DO CLIENTE", "ASSINATURA"}, 2);
  const std::string papel = fSim->Papel();
  const size_t p = papel.find("VIA DO CLIENTE");
  ASSERT_NE(p, std::string::npos) << papel;
  EXPECT_NE(papel.find("VIA DO CLIENTE", p + 1), std::string::npos) << papel;
  EXPECT_EQ(fSim->Vinculados(), 1);
  // G1 and G2 open each copy with "1900" again.
  const std::string abre = "1900" + Copy(coo, 3, 4) + "02" + (g == 2 || g >= 4 ? std::string(20, ' ') + "01" : "");
  const auto aberturas = Comandos(v, "19");
  EXPECT_EQ(aberturas.size(), g <= 2 ? 2u : 1u);
  EXPECT_EQ(aberturas.at(0), abre);
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_P(SwedaE2E, DayCloseAndFiscalMemoryOnTheSerialLine) {
  CupomPago(12.5);
  ecf.ReducaoZ();
  EXPECT_EQ(ecf.Estado(), estBloqueada);
  EXPECT_NE(MensagemDe([&] { ecf.AbreCupom(); }).find("REDUCAO Z JA EMITIDA"), std::string::npos);

  TStrings linhas;
  ecf.LeituraMemoriaFiscalSerial(1, 99, linhas);
  ASSERT_GE(linhas.size(), 4u);
  EXPECT_EQ(linhas.front(), "LEITURA DA MEMORIA FISCAL");
  EXPECT_EQ(linhas.at(2).substr(0, 9), "CRZ 0013 ");
  EXPECT_EQ(linhas.back().substr(0, 17), "TOTAL DO PERIODO:");
  for (const auto& l : linhas) EXPECT_EQ(l.find(".+"), std::string::npos) << l;

  ecf.LeituraMemoriaFiscal(Agora() - 1, Agora());
  EXPECT_TRUE(NoPapel("PERIODO:"));
}

TEST_P(SwedaE2E, TablesAreReadAndProgrammed) {
  const int g = G();
  // Linked receipts: not for cash, yes for checks; G1 keeps the flags after
  // its names too.
  ASSERT_NE(ecf.AchaFPGIndice("01"), nullptr);
  EXPECT_FALSE(ecf.AchaFPGIndice("01")->PermiteVinculado);
  EXPECT_TRUE(ecf.AchaFPGIndice("02")->PermiteVinculado);
  EXPECT_EQ(ecf.AchaICMSAliquota(5, 'S')->Indice, "S03");

  ecf.ProgramaAliquota(9.5, 'T');
  EXPECT_EQ(ecf.AchaICMSAliquota(9.5)->Indice, "T05");
  ecf.ECF().CarregaAliquotas();
  EXPECT_EQ(ecf.AchaICMSAliquota(9.5)->Indice, "T05");

  // Inserted at record 2 where the whole table is sent again, so CHEQUE
  // moves to 03; the ST adds it in the next free slot.
  ecf.ProgramaFormaPagamento("VALE", false, "2");
  ASSERT_NE(ecf.AchaFPGDescricao("VALE"), nullptr);
  EXPECT_EQ(ecf.AchaFPGDescricao("VALE")->Indice, g == 5 ? "04" : "02");
  EXPECT_EQ(ecf.AchaFPGDescricao("CHEQUE")->Indice, g == 5 ? "02" : "03");
  EXPECT_EQ(ecf.AchaFPGDescricao("VALE")->PermiteVinculado, g <= 3);

  ecf.ProgramaComprovanteNaoFiscal("DOACAO", "-");
  EXPECT_NE(ecf.AchaCNFDescricao("-DOACAO"), nullptr);
  EXPECT_EQ(ecf.AchaCNFDescricao("-SANGRIA")->Indice, "A ");
  EXPECT_EQ(MensagemDe([&] { ecf.ProgramaComprovanteNaoFiscal("X", "*"); }).substr(0, 32),
            "Os Tipos válidos para Sweda são:");
}

TEST_P(SwedaE2E, CheckIsPrintedAndWaitsToBeTakenOut) {
  const size_t m = Marca();
  ecf.ImprimeCheque("001", 123.45, "FULANO DE TAL", "SAO PAULO", EncodeDate(2026, 12, 7), "REF}1");
  const auto cheques = Comandos(m, "24");
  // G2 takes the check command twice.
  ASSERT_EQ(cheques.size(), G() == 2 ? 2u : 1u);
  EXPECT_EQ(cheques[0], "24001000000012345 " + CompletaDireita("REF 1", 120) + "407122026");
  EXPECT_TRUE(NoPapel("[CHEQUE] R$ 123,45 FULANO DE TAL"));
  EXPECT_FALSE(fSim->ChequePresente());
  EXPECT_EQ(MensagemDe([&] { ecf.ImprimeCheque("1", 1, "", "", Agora()); }), "Cheque não está posicionado");
}

INSTANTIATE_TEST_SUITE_P(
    Geracoes, SwedaE2E,
    ::testing::Values(Geracao{"G1", "Sweda 7000-I / 9000-I (A)", "0.3", true},
                      Geracao{"G2", "Sweda 7000-I / 9000-I (B)", "1.A", true},
                      Geracao{"G3", "Sweda 7000-IEE / 9000-II (C)", "1.2", false},
                      Geracao{"G4", "Sweda 9000-IIIE (D)", "2.0", false},
                      Geracao{"G5", "Sweda ST1000 (ST) MFD", "1.0", false}),
    [](const ::testing::TestParamInfo<Geracao>& i) { return std::string(i.param.Nome); });

// ----- Where the driver departs from the literal reading -----

TEST_F(SwedaG3, DayFlagShownDuringSalesIsNotAnXReadingDue) {
  CupomPago(5);
  // The recorded printer shows 'F' at P+76 between sales, as the simulator.
  const std::string r = ecf.EnviaComando("28");
  ASSERT_EQ(CharAt(r, Pos("!", r) + 76), 'F');
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_NO_THROW(ecf.AbreCupom());
  ecf.CancelaCupom();
  // A printer that really wants its X reading says so when refusing.
  fSim->SetRequerX(true);
  EXPECT_NE(MensagemDe([&] { ecf.AbreCupom(); }).find("LEITURA X INICIAL PENDENTE"), std::string::npos);
}

TEST_F(SwedaG3, DaylightSavingFlagStandsRightAfterTheClock) {
  EXPECT_FALSE(ecf.HorarioVerao());
  ecf.MudaHorarioVerao();
  EXPECT_TRUE(fSim->HorarioVerao());
  EXPECT_TRUE(ecf.HorarioVerao());
  ecf.MudaHorarioVerao();
  EXPECT_FALSE(ecf.HorarioVerao());
}

TEST_F(SwedaG3, PaperRunningOutIsNeverASilentSuccess) {
  int avisos = 0;
  ecf.SetOnMsgPoucoPapel([&](TZuvoECFClass*) { avisos++; });
  sim::Falhas f;
  f.PoucoPapel = true;
  fSim->SetFalhas(f);
  const std::string semPapel = "Erro retornado pela Impressora: " + ecf.ModeloStr() + CRLF + CRLF + "Sem papel";
  // Before any command was answered the counter is unknown: the paper
  // answer cannot tell an executed command, so it is no success.
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), semPapel);
  EXPECT_EQ(avisos, 0);
  fSim->SetFalhas({});
  ecf.LeituraX();
  fSim->SetFalhas(f);
  EXPECT_NO_THROW(ecf.LeituraX());  // executed: only the notice
  EXPECT_EQ(avisos, 1);
  EXPECT_TRUE(ecf.PoucoPapel());
  // The paper ends right after a low-paper command...
  f.PoucoPapel = false;
  f.SemPapel = true;
  fSim->SetFalhas(f);
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), semPapel);
  // ... or right after a query, whose answer carries no command counter.
  ecf.NumCupom();
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), semPapel);
}

TEST_F(SwedaG3, SubtotalDiscountWithoutASubtotalIsRefusedBeforeSending) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 1, 5);
  const size_t m = Marca();
  fSim->SetRespostaProxima(".+0099}");  // a "28" answer without "!"
  EXPECT_THROW(ecf.SubtotalizaCupom(-1), EZuvoECFCMDInvalido);
  EXPECT_TRUE(Comandos(m, "03 10").empty());
  ecf.SubtotalizaCupom(-1);  // with the subtotal it goes
  EXPECT_EQ(Comandos(m, "03").at(0), "0320,00     000000000100N");
}

TEST_F(SwedaG3, APartlyPaidReceiptIsCancelledAsTheLastReceipt) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 2, 5);
  ecf.SubtotalizaCupom();
  ecf.EfetuaPagamento("01", 4);
  const size_t m = Marca();
  ecf.CancelaCupom();
  EXPECT_EQ(Comandos(m, "05 10 12"), (std::vector<std::string>{"05", "1001000000000600", "12NN", "05"}));
  EXPECT_TRUE(NoPapel("CANCELAMENTO DO CUPOM FISCAL"));
  EXPECT_EQ(ecf.Estado(), estLivre);
  // With nothing left to cancel the printer's own refusal comes through.
  EXPECT_NE(MensagemDe([&] { ecf.CancelaCupom(); }).find("CANCELAMENTO NAO PERMITIDO"), std::string::npos);
}

TEST_F(SwedaG3, ShortAnswersAndOversizedFieldsAreClearErrors) {
  fSim->SetRespostaProxima(".+0001C VENDAS  13!}");
  EXPECT_NE(MensagemDe([&] { ecf.Estado(); }).find("Resposta incompleta"), std::string::npos);
  fSim->SetRespostaProxima(".+C0011}");
  EXPECT_NE(MensagemDe([&] { ecf.NumCupom(); }).find("Resposta incompleta"), std::string::npos);

  ecf.AbreCupom();
  const size_t m = Marca();
  EXPECT_EQ(MensagemDe([&] { ecf.VendeItem("1", "X", "18", 10000, 1); }), "Quantidade deve ser inferior a 9999.");
  EXPECT_NE(MensagemDe([&] { ecf.VendeItem("1", "X", "18", 1, 10000000); }).find("ValorUnitario"),
            std::string::npos);
  EXPECT_TRUE(Comandos(m, "01 02").empty());
  // A brace in a text would end the command on the printer.
  ecf.VendeItem("1", "CAFE}EXTRA", "18", 1, 1);
  EXPECT_TRUE(NoPapel("CAFE EXTRA"));
  EXPECT_EQ(ecf.Estado(), estVenda);
}

TEST_F(SwedaG3, FaultsEndInTheFamilyMessages) {
  sim::Falhas f;
  f.IntervaloBytesMs = 1;  // every answer byte by byte
  fSim->SetFalhas(f);
  EXPECT_EQ(ecf.NumCupom(), "000345");
  f = {};
  f.MsPorLinha = 20;  // a slow printer: the X reading waits for its end
  fSim->SetFalhas(f);
  ecf.LeituraX();
  EXPECT_EQ(ecf.Estado(), estLivre);
  f = {};
  f.Recusa = true;
  fSim->SetFalhas(f);
  EXPECT_NE(MensagemDe([&] { ecf.LeituraX(); }).find("COMANDO RECUSADO"), std::string::npos);
  f = {};
  fSim->SetFalhas(f);
  ecf.AbreCupom();
  f.ImpressaoSemFim = true;  // printing never ends: the next answer never comes
  fSim->SetFalhas(f);
  ecf.VendeItem("1", "ARROZ", "18", 1, 5);
  EXPECT_NE(MensagemDe([&] { ecf.NumCupom(); }).find("não está respondendo"), std::string::npos);
  EXPECT_FALSE(ecf.AguardandoResposta());
}

TEST(SwedaModem, DtrDsrHandshakeGoesThroughTheModemSeam) {
  teste::AmbienteTeste amb;
  sim::OpcoesSimulador o;
  SimSweda s(o);
  struct Linhas {
    bool Dsr = false, Cts = false;
    std::vector<std::string> Saidas;
  };
  auto linhas = std::make_shared<Linhas>();
  class Modem : public LinhasModem {
   public:
    explicit Modem(std::shared_ptr<Linhas> L) : l(std::move(L)) {}
    bool Possui(int) override { return true; }
    bool CTS(int) override { return l->Cts; }
    bool DSR(int) override { return l->Dsr; }
    void SetDTR(int, bool V) override { l->Saidas.push_back(V ? "DTR+" : "DTR-"); }
    void SetRTS(int, bool V) override { l->Saidas.push_back(V ? "RTS+" : "RTS-"); }

   private:
    std::shared_ptr<Linhas> l;
  };
  TZuvoECF ecf;
  ecf.SetModelo(ecfSweda);
  ecf.SetPorta(s.Porta());
  ecf.SetTimeOut(1);
  ecf.SetReTentar(false);
  ecf.Device().Serial().SetLinhasModem(std::make_unique<Modem>(linhas));
  // DSR low: the printer is not on line.
  EXPECT_NE(MensagemDe([&] { ecf.Ativar(); }).find("não está em linha"), std::string::npos);
  EXPECT_FALSE(ecf.Ativo());
  // DSR high, CTS low: after each command DTR goes up and RTS down.
  linhas->Dsr = true;
  linhas->Saidas.clear();
  ecf.Ativar();
  EXPECT_NE(std::find(linhas->Saidas.begin(), linhas->Saidas.end(), "RTS-"), linhas->Saidas.end());
  EXPECT_EQ(linhas->Saidas.back(), "RTS-");
  EXPECT_EQ(linhas->Saidas[linhas->Saidas.size() - 2], "DTR+");
  ecf.Desativar();
}
