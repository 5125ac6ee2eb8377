// The emulator's operations one rule at a time: the day of business, the
// receipt's arithmetic and refusals, the tables, the linked receipt, the
// drawer and daylight-saving time.
#include <gtest/gtest.h>

#include <functional>

#include <string>

#include "core/ZuvoIni.h"
#include "support/NaoFiscalAmbiente.h"
#include "support/Erros.h"

using namespace zuvo;
using teste::AmbienteNaoFiscal;

namespace {

class NaoFiscal : public ::testing::Test {
 protected:
  void SetUp() override { a.Ativa(); }
  void Dia(int d, int h = 9) {
    a.amb.Plataforma.SetCalendario(EncodeDate(2026, 12, d) + EncodeTime(h, 0, 0));
  }
  void VendaPaga(double Valor) {
    a.ecf.AbreCupom();
    a.ecf.VendeItem("1", "ITEM", "F", 1, Valor);
    a.ecf.SubtotalizaCupom();
    a.ecf.EfetuaPagamento("01", Valor);
    a.ecf.FechaCupom();
  }
  const TZuvoECFNaoFiscalMemoria& M() { return a.Driver().Memoria(); }
  AmbienteNaoFiscal a;
};

}  // namespace

// ----- The day of business -----

TEST_F(NaoFiscal, AfterAZTheDayIsLockedAndTheNextDayAsksForAnX) {
  VendaPaga(5);
  a.ecf.ReducaoZ();
  EXPECT_EQ(a.ecf.Estado(), estBloqueada);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.ReducaoZ(); }), "Dia já foi fechado. Redução Z já emitida");
  EXPECT_THROW(a.ecf.AbreCupom(), EZuvoECFCMDInvalido);
  EXPECT_DOUBLE_EQ(M().Aliquotas[0].TotalDia, 0);
  EXPECT_DOUBLE_EQ(M().FormasPagamento[0].TotalDia, 0);

  Dia(8);
  EXPECT_EQ(a.ecf.Estado(), estRequerX);
  EXPECT_EQ(TZuvoIniFile(a.ArquivoINI()).ReadInteger("Variaveis", "Estado", -1), estRequerX);
  EXPECT_NE(teste::MensagemDe([&] { a.ecf.AbreCupom(); }).find("requer Leitura X"), std::string::npos);
  a.ecf.LeituraX();
  EXPECT_EQ(a.ecf.Estado(), estLivre);
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy", M().DiaMovimento), "08/12/2026");
  EXPECT_EQ(M().COOInicial, M().NumCupom);
  a.ecf.AbreCupom();
}

TEST_F(NaoFiscal, ADayLeftWithoutZAsksForOneThatOpensTheNewDay) {
  VendaPaga(5);
  Dia(9);
  EXPECT_EQ(a.ecf.Estado(), estRequerZ);
  EXPECT_THROW(a.ecf.AbreCupom(), EZuvoECFCMDInvalido);
  EXPECT_THROW(a.ecf.LeituraX(), EZuvoECFCMDInvalido);
  a.ecf.ReducaoZ();
  EXPECT_EQ(a.ecf.Estado(), estLivre);
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy", M().DiaMovimento), "09/12/2026");
  EXPECT_NE(a.Papel().find("REDUCAO Z"), std::string::npos);
  a.ecf.AbreCupom();
}

TEST_F(NaoFiscal, AClockSetBackRefusesEveryDocument) {
  Dia(6, 23);
  const std::string esperado =
      "Erro ! A Data da Impressora: 07/12/2026 maior do que a Data atual: 06/12/2026";
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.AbreCupom(); }), esperado);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.LeituraX(); }), esperado);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.AbreRelatorioGerencial(); }), esperado);
  EXPECT_EQ(a.ecf.Estado(), estLivre);
  EXPECT_EQ(a.ecf.NumCupom(), "000000");
  // Earlier the same day is not "before the day of business".
  Dia(7, 8);
  EXPECT_NO_THROW(a.ecf.AbreCupom());
}

TEST_F(NaoFiscal, DayTotalsCountAndNeverCutTheCounters) {
  a.Driver().OnPasso = nullptr;
  a.ecf.Desativar();
  TZuvoIniFile ini(a.ArquivoINI());
  ini.WriteString("Variaveis", "NumCupom", "123455");
  ini.WriteString("Variaveis", "COOInicial", "123400");
  ini.WriteString("Variaveis", "COOFinal", "123455");
  ini.UpdateFile();
  a.ecf.Ativar();
  a.ecf.LeituraX();
  const std::string papel = a.Papel();
  EXPECT_NE(papel.find(Justifica("COO do Primeiro Cupom:|123400", 48)), std::string::npos);
  EXPECT_NE(papel.find(Justifica("COO do Ultimo Cupom:|123455", 48)), std::string::npos);
  EXPECT_NE(papel.find("COO:123456"), std::string::npos);
}

// ----- The receipt -----

TEST_F(NaoFiscal, ItemLinesFollowTheTemplate) {
  a.ecf.AbreCupom();
  a.ecf.VendeItem("12", "ARROZ", "18", 1.5, 2.345, 0, "KG");
  a.ecf.VendeItem("13", "FEIJAO", "T03", 2, 3, 0, "UN");
  // 95 columns cut at 48: the second piece starts with the description's tail.
  const std::string papel = a.Papel();
  EXPECT_NE(papel.find(CompletaDireita("001 12            ARROZ", 48) + CRLF +
                       "      1,500    KGx2,345       18    3,52" + CRLF),
            std::string::npos)
      << papel;
  EXPECT_NE(papel.find("      2        UNx3,00        T03   6,00\r\n"), std::string::npos)
      << papel;
  EXPECT_EQ(M().ItensCupom[1].PosAliq, 3);  // T03: the first programmed rate
  EXPECT_DOUBLE_EQ(a.ecf.SubTotal(), 9.52);
}

TEST_F(NaoFiscal, RateTextsFindOrProgramTheRate) {
  a.ecf.AbreCupom();
  a.ecf.VendeItem("1", "A", "18", 1, 1);
  a.ecf.VendeItem("1", "B", "18T", 1, 1);
  a.ecf.VendeItem("1", "C", "18S", 1, 1);
  a.ecf.VendeItem("1", "D", "I", 1, 1);
  ASSERT_EQ(M().Aliquotas.size(), 5u);
  EXPECT_FALSE(M().Aliquotas[3].ISS);
  EXPECT_TRUE(M().Aliquotas[4].ISS);
  EXPECT_EQ(M().ItensCupom[0].PosAliq, 3);
  EXPECT_EQ(M().ItensCupom[1].PosAliq, 3);
  EXPECT_EQ(M().ItensCupom[2].PosAliq, 4);
  EXPECT_EQ(M().ItensCupom[3].PosAliq, 1);
  // An unreadable rate is refused, not sold as tax substitution.
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.VendeItem("1", "E", "XYZ", 1, 1); }), "Aliquota XYZ Inválida");
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.VendeItem("1", "E", "TAB", 1, 1); }), "Aliquota TAB Inválida");
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.VendeItem("1", "E", "T09", 1, 1); }), "Aliquota T09 Inválida");
  EXPECT_EQ(M().ItensCupom.size(), 4u);
}

TEST_F(NaoFiscal, DiscountsAreChargedToTheItemsAndTheirRates) {
  a.ecf.AbreCupom();
  a.ecf.VendeItem("1", "A", "F", 1, 10, 10);
  EXPECT_NE(a.Papel().find(Justifica("|DESCONTO|10,00%|R$ -1,00|9,00", 48)), std::string::npos);
  EXPECT_DOUBLE_EQ(a.ecf.SubTotal(), 9);
  a.ecf.VendeItem("2", "B", "I", 3, 1);
  a.ecf.CancelaItemVendido(1);
  EXPECT_DOUBLE_EQ(a.ecf.SubTotal(), 3);
  EXPECT_DOUBLE_EQ(M().Aliquotas[0].TotalDia, 0);
  a.ecf.VendeItem("3", "C", "N", 1, 7, 0);
  // The receipt's discount is shared by what each item sold for, to the cent.
  a.ecf.SubtotalizaCupom(-1);
  EXPECT_DOUBLE_EQ(a.ecf.SubTotal(), 9);
  EXPECT_DOUBLE_EQ(M().Aliquotas[1].TotalDia + M().Aliquotas[2].TotalDia, 9);
  EXPECT_DOUBLE_EQ(M().Aliquotas[1].TotalDia, 2.7);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.VendeItem("4", "D", "F", 1, 1); }),
            "O Estado da Impressora nao é \"VENDA\" Cupom não Aberto");
}

TEST_F(NaoFiscal, ItemArgumentsAreChecked) {
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.VendeItem("1", "A", "F", 1, 1); }),
            "O Estado da Impressora nao é \"VENDA\" Cupom não Aberto");
  a.ecf.AbreCupom();
  const std::string invalidos = "Erro. Parâmetros inválidos.";
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.VendeItem("", "A", "F", 1, 1); }), invalidos);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.VendeItem("1", "", "F", 1, 1); }), invalidos);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.VendeItem("1", "A", "F", 1, 1, 150); }), invalidos);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.CancelaItemVendido(1); }), "Nenhum Item foi vendido ainda");
  a.ecf.VendeItem("1", "A", "F", 1, 1);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.CancelaItemVendido(2); }), "Item (002) fora da Faixa.");
  a.ecf.CancelaItemVendido(1);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.CancelaItemVendido(1); }), "Item (001) já foi cancelado.");
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.SubtotalizaCupom(); }), "Nenhum Item foi vendido ainda");
  a.ecf.VendeItem("1", "B", "F", 1, 5);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.SubtotalizaCupom(-5); }), invalidos);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.EfetuaPagamento("01", 5); }),
            "O Estado da Impressora nao é \"PAGAMENTO\"");
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.FechaCupom(); }),
            "O Estado da Impressora nao é \"PAGAMENTO\"Não houve SubTotal");
}

// The emulator stores only what a printer's fields would hold: a huge
// quantity, price, surcharge or payment, or a negative discount, is refused
// and leaves the receipt as it was.
TEST_F(NaoFiscal, NumbersBeyondThePrintersFieldsAreRefusedNotStored) {
  const std::string invalidos = "Erro. Parâmetros inválidos.";
  a.ecf.AbreCupom();
  a.ecf.VendeItem("1", "A", "F", 2, 10);
  const std::vector<std::function<void()>> venda = {
      [&] { a.ecf.VendeItem("1", "A", "F", 1e300, 1); },
      [&] { a.ecf.VendeItem("1", "A", "F", 10000, 1); },
      [&] { a.ecf.VendeItem("1", "A", "F", 1, 1e300); },
      [&] { a.ecf.VendeItem("1", "A", "F", 1, 1e7); },
      [&] { a.ecf.VendeItem("1", "A", "F", 1, 1, -5); },
      [&] { a.ecf.SubtotalizaCupom(1e300); },
      [&] { a.ecf.SubtotalizaCupom(1e12); },
  };
  for (const auto& operacao : venda) EXPECT_EQ(teste::MensagemDe(operacao), invalidos);
  EXPECT_DOUBLE_EQ(M().SubTotal, 20);
  EXPECT_EQ(M().ItensCupom.size(), 1u);
  a.ecf.SubtotalizaCupom();
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.EfetuaPagamento("01", 1e300); }), invalidos);
  // A rate's text is plain decimals; one too small to print is refused.
  const size_t aliquotas = M().Aliquotas.size();
  EXPECT_THROW(a.ecf.ProgramaAliquota(0.00005), Exception);  // was kept as "5E-5"
  EXPECT_EQ(M().Aliquotas.size(), aliquotas);
  EXPECT_DOUBLE_EQ(M().TotalPago, 0);
  a.ecf.EfetuaPagamento("01", 20);
  a.ecf.FechaCupom();
}

TEST_F(NaoFiscal, PaymentsAddUpGiveChangeAndRefuseNonsense) {
  a.ecf.ProgramaFormaPagamento("CARTAO");
  a.ecf.AbreCupom();
  a.ecf.VendeItem("1", "A", "F", 1, 10);
  a.ecf.SubtotalizaCupom();
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.EfetuaPagamento("01", 0); }), "Erro. Parâmetros inválidos.");
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.EfetuaPagamento("09", 1); }), "Forma de Pagamento: 09 inválida");
  a.ecf.EfetuaPagamento("02", 4);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.FechaCupom(); }), "Total Pago é inferior ao Total do Cupom");
  a.ecf.EfetuaPagamento("01", 10);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.EfetuaPagamento("01", 1); }),
            "Total pago já foi atingido Cupom deve ser encerrado");
  const std::string papel = a.Papel();
  EXPECT_NE(papel.find(Justifica("S O M A  R$|14,00", 48)), std::string::npos);
  EXPECT_NE(papel.find("\x0eTROCO__R$___________4,00"), std::string::npos) << papel;
  EXPECT_DOUBLE_EQ(M().FormasPagamento[0].TotalDia, 6);
  EXPECT_DOUBLE_EQ(M().FormasPagamento[1].TotalDia, 4);
  ASSERT_EQ(M().PagamentosCupom.size(), 3u);
  EXPECT_DOUBLE_EQ(M().PagamentosCupom[2].ValorPago, -4);
  a.ecf.FechaCupom();
  // Cancelling the closed receipt takes all of it back out of the day.
  a.ecf.CancelaCupom();
  EXPECT_DOUBLE_EQ(M().FormasPagamento[0].TotalDia, 0);
  EXPECT_DOUBLE_EQ(M().FormasPagamento[1].TotalDia, 0);
  EXPECT_DOUBLE_EQ(M().Aliquotas[0].TotalDia, 0);
  EXPECT_EQ(M().CuponsCancelados, 1);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.CancelaCupom(); }), "Último Documento não é Cupom");
}

TEST_F(NaoFiscal, CancellingTheOpenReceiptPrintsItsTotal) {
  a.ecf.AbreCupom();
  a.ecf.VendeItem("1", "A", "F", 2, 2.5);
  a.ecf.CancelaCupom();
  const std::string papel = a.Papel();
  EXPECT_NE(papel.find("\x0e" + Justifica("TOTAL  R$|5,00", 24) + CRLF + "\x0e" +
                       Centraliza("*** CUPOM CANCELADO ***", 24)),
            std::string::npos);
  EXPECT_EQ(a.ecf.NumCupom(), "000001");
  EXPECT_EQ(a.ecf.Estado(), estLivre);
  EXPECT_DOUBLE_EQ(M().Aliquotas[0].TotalDia, 0);
}

// ----- Reports and the linked receipt -----

TEST_F(NaoFiscal, LinkedReceiptNeedsAPaymentOfTheLastReceipt) {
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.AbreCupomVinculado("", "01", "", 1); }), "COO inválido");
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.AbreCupomVinculado("1", "01", "", 1); }),
            "Ultimo Documento não é Cupom");
  a.ecf.ProgramaFormaPagamento("CARTAO");
  VendaPaga(3);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.AbreCupomVinculado("1", "07", "", 1); }),
            "Posição de Pagamento: 07 inválida");
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.AbreCupomVinculado("1", "02", "", 1); }),
            "Forma de Pagamento: CARTAO               não foi utilizada no Cupom anterior");
  a.ecf.AbreCupomVinculado(" 1", "01", "", 3);
  EXPECT_EQ(a.ecf.Estado(), estRelatorio);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.AbreRelatorioGerencial(); }),
            "O Estado da Impressora não é \"LIVRE\"");
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.ReducaoZ(); }),
            "O Estado da Impressora não é \"LIVRE\" Cancele o último Documento");
  a.ecf.LinhaCupomVinculado("VIA DO CLIENTE");
  a.ecf.FechaRelatorio();
  a.ecf.FechaRelatorio();  // nothing open: nothing happens
  EXPECT_EQ(a.ecf.Estado(), estLivre);
  const std::string papel = a.Papel();
  EXPECT_NE(papel.find("COO do documento de compra: 000001"), std::string::npos);
  EXPECT_NE(papel.find("VIA DO CLIENTE\r\n"), std::string::npos);
  EXPECT_EQ(teste::MensagemDe([&] { a.ecf.AbreCupomVinculado("1", "01", "", 1); }),
            "Ultimo Documento não é Cupom");
}

TEST_F(NaoFiscal, ReportLinesAreWrappedToTheColumnsAndPrintedAtOnce) {
  a.ecf.AbreRelatorioGerencial();
  a.ecf.LinhaRelatorioGerencial(std::string(50, 'a') + "\nfim");
  EXPECT_NE(a.Papel().find(std::string(48, 'a') + CRLF + "aa" + CRLF + "fim" + CRLF),
            std::string::npos);
  a.ecf.PulaLinhas(3);
  EXPECT_NE(a.Papel().find("fim\r\n\r\n\r\n\r\n"), std::string::npos);
  a.ecf.FechaRelatorio();
}

// ----- Tables -----

TEST_F(NaoFiscal, TablesAreProgrammedOnceAndShownToTheComponent) {
  EXPECT_EQ(a.ecf.Aliquotas().Count(), 3);
  TZuvoECFAliquota* r = a.ecf.AchaICMSAliquota(7, 'T');
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Indice, "04");
  EXPECT_EQ(a.ecf.Aliquotas().Count(), 4);
  a.ecf.ProgramaAliquota(7, 'T');
  a.ecf.ProgramaAliquota(7, 'S');
  EXPECT_EQ(a.ecf.Aliquotas().Count(), 5);
  EXPECT_EQ(a.ecf.Aliquotas()[4].Tipo, 'S');

  TZuvoECFFormaPagamento* f = a.ecf.AchaFPGDescricao(" cheque ");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Indice, "02");
  EXPECT_EQ(f->Descricao, CompletaDireita(" cheque ", 20));
  a.ecf.ProgramaFormaPagamento("CHEQUE");
  EXPECT_EQ(a.ecf.FormasPagamento().Count(), 2);

  EXPECT_EQ(a.ecf.ComprovantesNaoFiscais().Count(), 0);
  a.ecf.ProgramaComprovanteNaoFiscal("SANGRIA", "");
  a.ecf.ProgramaComprovanteNaoFiscal("SUPRIMENTO", "d");
  ASSERT_EQ(a.ecf.ComprovantesNaoFiscais().Count(), 2);
  EXPECT_TRUE(a.ecf.ComprovantesNaoFiscais()[0].PermiteVinculado);
  EXPECT_FALSE(a.ecf.ComprovantesNaoFiscais()[1].PermiteVinculado);
  EXPECT_EQ(a.ecf.AchaCNFDescricao("TROCO")->Indice, "03");

  // All of it is in the file, and comes back after a restart.
  a.Reinicia();
  a.ecf.Ativar();
  EXPECT_EQ(a.ecf.Aliquotas().Count(), 5);
  EXPECT_EQ(a.ecf.FormasPagamento()[1].Indice, "02");
  EXPECT_EQ(a.ecf.ComprovantesNaoFiscais().Count(), 3);
  EXPECT_TRUE(a.ecf.ComprovantesNaoFiscais()[1].PermiteVinculado);
}

TEST_F(NaoFiscal, TwoDigitListsStopAt99) {
  for (int i = 2; i <= 99; i++) a.ecf.ProgramaFormaPagamento("FORMA " + IntToStr(i));
  EXPECT_EQ(a.ecf.FormasPagamento()[98].Indice, "99");
  EXPECT_THROW(a.ecf.ProgramaFormaPagamento("A CENTESIMA"), Exception);
  EXPECT_EQ(M().FormasPagamento.size(), 99u);
}

// ----- Drawer, daylight-saving time, raw commands -----

TEST_F(NaoFiscal, DrawerDaylightSavingAndRawText) {
  a.ecf.AbreGaveta();
  EXPECT_EQ(a.Papel(), std::string("\x1b@\x0f\x1bv\x96"));
  a.ecf.MudaHorarioVerao();
  EXPECT_TRUE(a.ecf.HorarioVerao());
  a.ecf.ECF().MudaHorarioVerao(true);
  EXPECT_TRUE(a.ecf.HorarioVerao());
  a.ecf.LeituraX();
  EXPECT_NE(a.Papel().find("07/12/2026 10:00:00V"), std::string::npos);
  EXPECT_EQ(a.ecf.EnviaComando("TEXTO LIVRE\r\n"), "TEXTO LIVRE\r\n");
  EXPECT_EQ(a.ecf.ComandoEnviado(), "TEXTO LIVRE\r\n");
  EXPECT_FALSE(a.ecf.AguardandoResposta());
  a.Reinicia();
  a.ecf.Ativar();
  EXPECT_TRUE(a.ecf.HorarioVerao());

  // A drawer string emptied in the file: the drawer cannot be opened.
  a.ecf.Desativar();
  TZuvoIniFile ini(a.ArquivoINI());
  ini.WriteString("Impressora", "Comando_Abrir_Gaveta", "");
  ini.UpdateFile();
  a.ecf.Ativar();
  EXPECT_THROW(a.ecf.AbreGaveta(), EZuvoECFCMDInvalido);
}

TEST_F(NaoFiscal, AnInactiveEmulatorRefusesOperations) {
  a.ecf.Desativar();
  EXPECT_THROW(a.ecf.ECF().AbreCupom(), EZuvoECFNaoInicializado);
  EXPECT_THROW(a.ecf.ECF().ProgramaAliquota(5), EZuvoECFNaoInicializado);
  EXPECT_THROW(a.ecf.ECF().EnviaComando("x"), EZuvoECFNaoInicializado);
}
