// The ICash driver against its simulator over a pseudo-terminal, for what is
// the family's own: the command layouts, the rate by letter, index or value,
// the states a partial payment, an item cancellation, the managerial report
// and the linked receipt leave, the one linked receipt per receipt, the
// status register, the printer's messages, answers in pieces or late, and
// the faults. The shared flows run in ComportamentoTest.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "drivers/ZuvoECFICash.h"
#include "sim/SimICash.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;

namespace {

class ICash : public ::testing::Test {
 protected:
  void SetUp() override {
    ecf.SetModelo(ecfICash);
    ecf.SetPorta(sim.Porta());
    ecf.SetTimeOut(2);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  void TearDown() override { ecf.Desativar(); }

  TZuvoECFICash& Driver() { return dynamic_cast<TZuvoECFICash&>(ecf.ECF()); }
  // The last command received that begins with Codigo.
  std::string Ultimo(const std::string& Codigo) {
    const std::vector<std::string> c = sim.Comandos();
    for (auto i = c.rbegin(); i != c.rend(); ++i)
      if (i->starts_with(Codigo)) return *i;
    return "";
  }
  size_t Ocorrencias(const std::string& Texto) {
    const std::string papel = sim.Papel();
    size_t n = 0;
    for (size_t p = papel.find(Texto); p != std::string::npos; p = papel.find(Texto, p + 1)) n++;
    return n;
  }
  std::string Erro(const std::function<void()>& Operacao) {
    try {
      Operacao();
    } catch (const Exception& e) {
      return e.what();
    }
    return "(no error)";
  }

  teste::AmbienteTeste amb;
  sim::SimICash sim{sim::OpcoesSimulador{}};
  TZuvoECF ecf;
};

const std::string kLF2 = "\n\n";

}  // namespace

TEST_F(ICash, SaleLayoutsAndTheRateByLetterIndexOrValue) {
  ecf.AbreCupom();
  // By value, as every family with a readable rate table sells it.
  ecf.VendeItem("7891", "CAFE", "18", 1, 2.5);
  EXPECT_EQ(Ultimo("21"), "21" + std::string("7891") + std::string(10, ' ') + "CAFE" + std::string(24, ' ') +
                              "0001000" + "   " + "00000250" + "2" + "T18,00%");
  // By slot, with three decimals and a discount on the item the printer numbered.
  ecf.VendeItem("7892", "PAO", "T01", 2, 2.555, 10, "UN");
  EXPECT_EQ(Ultimo("21").substr(44), "0002000UN 000025553T01");
  EXPECT_EQ(Ultimo("26"), "261" "1000" "000000000000" "002");
  ecf.VendeItem("7893", "SERVICO", "5S", 1, 10);
  EXPECT_EQ(Ultimo("21").substr(63), "T 5,00%");
  ecf.VendeItem("7894", "LEITE", "TT03", 1, 1);
  EXPECT_EQ(Ultimo("21").substr(63), "T03");
  ecf.VendeItem("7895", "OVOS", "F", 1, 1);
  EXPECT_EQ(Ultimo("21").substr(63), "F1 ");
  const std::vector<sim::ItemVendido> itens = sim.Itens();
  ASSERT_EQ(itens.size(), 5u);
  EXPECT_EQ(itens[0].Aliquota, 0);
  EXPECT_EQ(itens[1].Liquido(), 511 - 51);
  EXPECT_EQ(itens[2].Aliquota, 3);

  EXPECT_EQ(Erro([&] { ecf.VendeItem("1", "X", "19", 1, 1); }), "Aliquota nao encontrada: 19 ");
  EXPECT_EQ(Erro([&] { ecf.VendeItem("1", "X", "18", 10000, 1); }), "Quantidade deve ser inferior a 9999.");
  EXPECT_EQ(sim.Itens().size(), 5u);
}

TEST_F(ICash, PartialPaymentsTextsAndItemCancellationAreNotErrors) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 1, 10);
  ecf.VendeItem("2", "FEIJAO", "7", 1, 5);
  EXPECT_NO_THROW(ecf.CancelaItemVendido(1));
  EXPECT_EQ(ecf.Estado(), estVenda);
  EXPECT_NO_THROW(ecf.EfetuaPagamento("00", 2, "Parte em dinheiro"));
  EXPECT_EQ(ecf.Estado(), estPagamento);
  EXPECT_NEAR(ecf.TotalPago(), 2, 0.001);
  EXPECT_NO_THROW(ecf.EfetuaPagamento("01", 3));
  ecf.FechaCupom("Obrigado");
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_EQ(Ocorrencias("ITEM 001 CANCELADO"), 1u);
  EXPECT_EQ(Ocorrencias("Parte em dinheiro"), 1u);
  EXPECT_EQ(Ocorrencias("Obrigado"), 1u);
}

TEST_F(ICash, OneLinkedReceiptPerReceiptAndItGoesEndToEnd) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "RECARGA", "18", 1, 20);
  ecf.FormasPagamento();  // loaded before the refusal below meets its reads
  // A payment the printer refused owes no linked receipt.
  sim.SetErroProximo('(');
  EXPECT_THROW(ecf.EfetuaPagamento("01", 5, "", true), EZuvoECFSemResposta);
  EXPECT_FALSE(Driver().VinculadoPendente());
  ecf.EfetuaPagamento("01", 5, "", true);
  EXPECT_TRUE(Driver().VinculadoPendente());
  EXPECT_EQ(Erro([&] { ecf.EfetuaPagamento("01", 5, "", true); }),
            "Já existe Forma de Pagamento com \ncomprovante NAO fiscal vinculado pendente. \n"
            "Impressora: ICash aceita apenas um \nComprovante não Fiscal Viculado por Cupom.");
  ecf.EfetuaPagamento("00", 15);
  ecf.FechaCupom();

  ecf.CupomVinculado("", "01", "", 5, {"COMPROVANTE TEF", "autorizacao 123"}, 2);
  EXPECT_EQ(Ocorrencias("COMPROVANTE TEF"), 2u);
  EXPECT_EQ(ecf.Estado(), estLivre);

  // Opening a receipt, or cancelling one, starts afresh.
  ecf.AbreCupom();
  ecf.VendeItem("1", "RECARGA", "18", 1, 20);
  ecf.EfetuaPagamento("01", 20, "", true);
  ecf.CancelaCupom();
  EXPECT_FALSE(Driver().VinculadoPendente());
  ecf.AbreCupom();
  ecf.VendeItem("1", "RECARGA", "18", 1, 20);
  ecf.EfetuaPagamento("01", 20, "", true);
  ecf.FechaCupom();
  // A linked receipt left open reads as a report, and is closed as one.
  ecf.AbreCupomVinculado("", "01", 20);
  EXPECT_EQ(ecf.Estado(), estRelatorio);
  ecf.CorrigeEstadoErro();
  EXPECT_EQ(sim.DocumentoAtual(), sim::Documento::Nenhum);
}

TEST_F(ICash, StatusRegisterStateDrawerPaperAndDaylightSaving) {
  // The first character is the state; the drawer is the fourth.
  sim.SetGavetaAberta(true);
  EXPECT_TRUE(ecf.GavetaAberta());
  EXPECT_EQ(ecf.Estado(), estLivre);
  sim.SetGavetaAberta(false);
  ecf.AbreCupom();
  EXPECT_EQ(sim.EstadoAtual(), '1');
  EXPECT_FALSE(ecf.GavetaAberta());
  ecf.CancelaCupom();
  ecf.AbreGaveta();
  EXPECT_TRUE(sim.GavetaAberta());

  EXPECT_FALSE(ecf.PoucoPapel());
  sim::Falhas f;
  f.PoucoPapel = true;
  sim.SetFalhas(f);
  EXPECT_TRUE(ecf.PoucoPapel());
  sim.SetFalhas({});

  ecf.ECF().MudaHorarioVerao(true);
  EXPECT_TRUE(sim.HorarioVerao());
  EXPECT_TRUE(ecf.HorarioVerao());
  const size_t antes = sim.Comandos().size();
  ecf.ECF().MudaHorarioVerao(true);  // already: nothing is sent but the question
  EXPECT_EQ(sim.Comandos().size(), antes + 1);
}

TEST_F(ICash, PrinterStatesAndErrorsAsItsMessages) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 1, 10);
  sim.SetErroProximo('P');
  EXPECT_EQ(Erro([&] { ecf.VendeItem("2", "ARROZ", "18", 1, 10); }),
            "Erro retornado pela Impressora: ICash" + kLF2 + "Cupom Fiscal em Posição de Efetuar Venda" + kLF2 +
                "Erro retornado pelo ECF: 80");
  ecf.CancelaCupom();

  sim.SetRequerZ(true);
  EXPECT_EQ(ecf.Estado(), estRequerZ);
  EXPECT_EQ(Erro([&] { ecf.AbreCupom(); }),
            "Erro retornado pela Impressora: ICash" + kLF2 + "Obrigatório Fechar Dia" + kLF2 + "Efetuar Redução Z");
  ecf.ReducaoZ();
  EXPECT_EQ(ecf.Estado(), estBloqueada);
  EXPECT_EQ(Erro([&] { ecf.AbreCupom(); }), "Erro retornado pela Impressora: ICash" + kLF2 + "Dia já Encerrado" +
                                                kLF2 + "Redução Z do Dia já Realizada");
}

TEST_F(ICash, AnswersInPiecesOrLateAreReadWhole) {
  sim::Falhas f;
  f.IntervaloBytesMs = 30;
  sim.SetFalhas(f);
  // The error character comes after ACK and the state: it is not missed.
  sim.SetErroProximo('$');
  EXPECT_EQ(Erro([&] { ecf.AbreGaveta(); }), "Erro retornado pela Impressora: ICash" + kLF2 + "Comando Inválido");
  EXPECT_EQ(ecf.NumSerie(), "IC0000012345");

  // The item's number comes once the item is printed.
  f = {};
  f.MsPorLinha = 40;
  sim.SetFalhas(f);
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 1, 10);
  ecf.VendeItem("2", "FEIJAO", "18", 1, 10, 50);
  EXPECT_EQ(Ultimo("26").substr(19), "002");
  EXPECT_EQ(sim.Itens()[1].Liquido(), 500);
}

TEST_F(ICash, FaultsEndInClearMessages) {
  sim::Falhas f;
  f.Recusa = true;
  sim.SetFalhas(f);
  EXPECT_EQ(Erro([&] { ecf.LeituraX(); }), "Impressora ICash retornou NACK");
  EXPECT_FALSE(ecf.AguardandoResposta());
  f = {};
  f.SemPapel = true;
  sim.SetFalhas(f);
  EXPECT_EQ(Erro([&] { ecf.LeituraX(); }), "Erro retornado pela Impressora: ICash" + kLF2 + "Erro retornado pelo ECF: 80");
  EXPECT_TRUE(ecf.PoucoPapel());
  sim.SetFalhas({});
  EXPECT_NO_THROW(ecf.LeituraX());
}

TEST_F(ICash, FiscalMemoryReportsAndCheckedFields) {
  ecf.LeituraMemoriaFiscal(1, 12);
  EXPECT_EQ(Ultimo("54"), "54000100120");
  EXPECT_EQ(Ocorrencias("LEITURA DA MEMORIA FISCAL"), 1u);
  ecf.LeituraMemoriaFiscal(EncodeDate(2026, 1, 1), EncodeDate(2026, 1, 31));
  EXPECT_EQ(Ultimo("55"), "5501012026310120260");
  EXPECT_EQ(Ocorrencias("LEITURA DA MEMORIA FISCAL"), 2u);
  const size_t antes = sim.Comandos().size();
  EXPECT_THROW(ecf.LeituraMemoriaFiscal(1, 10000), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.CancelaItemVendido(1000), EZuvoECFCMDInvalido);
  EXPECT_EQ(sim.Comandos().size(), antes);
}

TEST_F(ICash, TablesCancellationOfTheLastReceiptAndWhatThePrinterLacks) {
  ASSERT_EQ(ecf.Aliquotas().Count(), 4);
  EXPECT_EQ(ecf.Aliquotas()[3].Indice, "T03");
  EXPECT_EQ(ecf.Aliquotas()[3].Tipo, 'S');
  EXPECT_DOUBLE_EQ(ecf.Aliquotas()[3].Aliquota, 5);
  ASSERT_NE(ecf.AchaFPGIndice("02"), nullptr);
  EXPECT_EQ(ecf.AchaFPGIndice("02")->Descricao, "Cartao");
  ASSERT_EQ(ecf.ComprovantesNaoFiscais().Count(), 2);
  EXPECT_EQ(ecf.ComprovantesNaoFiscais()[0].Indice, "16");
  EXPECT_EQ(ecf.ComprovantesNaoFiscais()[1].Descricao, "Suprimento");

  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 1, 10);
  ecf.EfetuaPagamento("00", 10);
  ecf.FechaCupom();
  ecf.CancelaCupom();  // the printer is free: the last receipt
  EXPECT_EQ(Ultimo("2A"), "2A");
  EXPECT_EQ(Ocorrencias("CANCELAMENTO DO CUPOM FISCAL"), 1u);

  // Programming a table is not offered: an error, not a silent success.
  EXPECT_THROW(ecf.ProgramaAliquota(12, 'T'), EZuvoECFCMDInvalido);
}

TEST_F(ICash, ActivationForcesRtsCtsWhichAPseudoTerminalLacks) {
  EXPECT_EQ(ecf.Device().HandShake(), hsRTS_CTS);
  EXPECT_EQ(ecf.NumVersao(), "010300");
  EXPECT_EQ(ecf.NumECF(), "0001");
  EXPECT_EQ(ecf.NumCRO(), "0002");
  // A real line with CTS held low: the printer is not on line.
  class CTSBaixo : public LinhasModem {
   public:
    bool Possui(int) override { return true; }
    bool CTS(int) override { return false; }
    bool DSR(int) override { return true; }
    void SetDTR(int, bool) override {}
    void SetRTS(int, bool) override {}
  };
  ecf.Device().Serial().SetLinhasModem(std::make_unique<CTSBaixo>());
  EXPECT_EQ(Erro([&] { ecf.LeituraX(); }), "Impressora ICash não está em linha");

  ecf.Desativar();
  ecf.SetPorta("/tmp/zuvo-icash-arquivo.txt");
  EXPECT_EQ(Erro([&] { ecf.Ativar(); }), "A impressora: ICash requer\nPorta Serial:  (COM1, COM2, COM3, ...)");
  EXPECT_FALSE(ecf.Ativo());
}
