// The component with a FiscNET printer, end to end against the simulator
// over a pseudo-terminal, in both answer forms: the documented one (echoed
// sequence, length, \xHH escapes) and the one real printers use (sequence 0,
// empty length, raw CP850 texts, amounts with thousands separators).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "component/ZuvoECF.h"
#include "core/ZuvoPlataforma.h"
#include "sim/SimFiscNET.h"
#include "support/PlataformaTeste.h"
#include "support/Erros.h"

using namespace zuvo;

namespace {

class FiscNET : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    fSim = std::make_unique<sim::SimFiscNET>(sim::OpcoesSimulador{});
    fSim->SetRespostaComoImpressoraReal(GetParam());
    ecf.SetModelo(ecfFiscNET);
    ecf.SetPorta(fSim->Porta());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    ecf.SetOperador("Ana");
    ecf.Ativar();
  }
  void TearDown() override { ecf.Desativar(); }

  int Conta(const std::string& Comando) {
    int n = 0;
    for (const auto& c : fSim->Comandos()) n += c == Comando;
    return n;
  }
  bool NoPapel(const std::string& Texto) { return fSim->Papel().find(Texto) != std::string::npos; }

  // A receipt paid partly by card, so that a linked receipt may follow.
  void CupomComCartao() {
    ecf.AbreCupom();
    ecf.VendeItem("1", "PRODUTO", "18", 1, 50);
    ecf.EfetuaPagamento("1", 50);
    ecf.FechaCupom();
  }

  teste::AmbienteTeste amb;
  std::unique_ptr<sim::SimFiscNET> fSim;
  TZuvoECF ecf;
};

const std::string kPrefixo = "Erro retornado pela Impressora: FiscNET Simulada MFD\n\n";

}  // namespace

TEST_P(FiscNET, IdentityAndItsCaches) {
  EXPECT_EQ(ecf.ModeloStr(), "FiscNET Simulada MFD");
  EXPECT_EQ(ecf.NumVersao(), "01.00.05");
  EXPECT_EQ(ecf.NumSerie(), "FN0000000000001234");
  EXPECT_EQ(ecf.NumECF(), "0007");
  EXPECT_EQ(ecf.NumLoja(), "001");
  EXPECT_EQ(ecf.NumCRO(), "000001");
  EXPECT_EQ(ecf.NumCupom(), "001234");
  // Version, machine and shop numbers are asked once per activation.
  ecf.NumVersao();
  ecf.NumECF();
  ecf.NumLoja();
  EXPECT_EQ(Conta("LeInteiro") - 2, 2);  // ECF, Loja (+ CRO, COO)
  int quadros = fSim->Quadros();
  ecf.NumVersao();
  EXPECT_EQ(fSim->Quadros(), quadros);
  // The printer's clock (the simulator runs on the computer's).
  PlataformaSistema sistema;
  EXPECT_NEAR(ecf.DataHora(), sistema.Agora(), 5.0 / 86400);
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_P(FiscNET, ReceiptWithDiscountsSurchargeAndSeveralPayments) {
  ecf.AbreCupom("123.456.789-09");
  EXPECT_EQ(ecf.Estado(), estVenda);
  ecf.VendeItem("7891", "AÇÚCAR \"CRISTAL\"", "18", 2, 10, 0, "KG");
  ecf.VendeItem("7892", "CAFÉ", "7", 1, 20, 10);  // 10% item discount
  EXPECT_EQ(fSim->Parametro("AcresceItemFiscal", "ValorPercentual"), "-10");
  ecf.VendeItem("7893", "SERVICO", "F", 1, 5);
  ecf.VendeItem("7894", "ERRADO", "I", 1, 3);
  ecf.CancelaItemVendido(4);
  EXPECT_NEAR(ecf.SubTotal(), 20 + 18 + 5, 0.001);
  ecf.SubtotalizaCupom(-3);  // a discount on the subtotal
  EXPECT_EQ(fSim->Parametro("AcresceSubtotal", "ValorAcrescimo"), "-3");
  EXPECT_NEAR(ecf.SubTotal(), 40, 0.001);
  ecf.EfetuaPagamento("-2", 15.5, "troco em notas");
  EXPECT_EQ(ecf.Estado(), estPagamento);
  ecf.EfetuaPagamento("1", 30);
  EXPECT_NEAR(ecf.TotalPago(), 45.5, 0.001);
  ecf.FechaCupom("Obrigado|Volte sempre");
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_EQ(ecf.NumCupom(), "001235");

  // The printer prints in CP850: Ç is 0x80, Ú 0xE9, É 0x90.
  EXPECT_TRUE(NoPapel("A\x80\xE9" "CAR \"CRISTAL\""));
  EXPECT_TRUE(NoPapel("CAF\x90"));
  EXPECT_TRUE(NoPapel("CPF/CNPJ consumidor: 123.456.789-09"));
  EXPECT_TRUE(NoPapel("ITEM 004 CANCELADO"));
  EXPECT_TRUE(NoPapel("DESCONTO R$ -3,00"));
  EXPECT_TRUE(NoPapel("TROCO R$ 5,50"));
  EXPECT_TRUE(NoPapel("troco em notas"));
  EXPECT_TRUE(NoPapel("Obrigado\nVolte sempre\nOperador: Ana"));
}

TEST_P(FiscNET, GrandTotalsAboveAThousandReadRight) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "TV", "18", 2, 3137.55);
  EXPECT_NEAR(ecf.SubTotal(), 6275.10, 0.001);
  ecf.EfetuaPagamento("-2", 7000);
  EXPECT_NEAR(ecf.TotalPago(), 7000, 0.001);
  ecf.FechaCupom();
}

TEST_P(FiscNET, CancellationsOfTheOpenAndTheLastReceipt) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "ITEM", "18", 1, 1);
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_TRUE(NoPapel("CUPOM FISCAL CANCELADO"));

  ecf.AbreCupom();
  ecf.VendeItem("1", "ITEM", "18", 1, 1);
  ecf.EfetuaPagamento("-2", 1);
  ecf.FechaCupom();
  ecf.CancelaCupom();  // the receipt just closed
  EXPECT_TRUE(NoPapel("CANCELAMENTO DO CUPOM"));
  // Nothing left to cancel: the printer's own reason comes back.
  EXPECT_EQ(teste::MensagemDe([&] { ecf.CancelaCupom(); }),
            kPrefixo + "Erro: 4 - ErroCMDEstadoInvalido\nNão há cupom para cancelar");
  EXPECT_FALSE(ecf.AguardandoResposta());
}

TEST_P(FiscNET, DayReportsAndTheBlockAfterZ) {
  ecf.LeituraX();
  EXPECT_TRUE(NoPapel("LEITURA X"));
  EXPECT_EQ(fSim->Parametro("EmiteLeituraX", "Destino"), "I");
  EXPECT_EQ(fSim->Parametro("EmiteLeituraX", "Operador"), "Ana");

  ecf.ReducaoZ(EncodeDate(2026, 12, 7) + EncodeTime(23, 59, 58));
  EXPECT_EQ(fSim->Parametro("EmiteReducaoZ", "Hora"), "23:59:58");
  EXPECT_EQ(ecf.Estado(), estBloqueada);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.TestaPodeAbrirCupom(); }),
            "Reduçao Z de hoje já emitida, ECF bloqueado até as 00:00");
  EXPECT_EQ(teste::MensagemDe([&] { ecf.AbreCupom(); }),
            kPrefixo + "Erro: 10 - ErroCMDReducaoZEmitida\nECF bloqueado até 00:00");
}

TEST_P(FiscNET, PendingZIsPrintedByCorrigeEstadoErro) {
  fSim->SetRequerZ(true);
  EXPECT_EQ(ecf.Estado(), estRequerZ);
  ecf.CorrigeEstadoErro();
  EXPECT_EQ(Conta("ReinicializaEquipamento"), 1);
  EXPECT_TRUE(NoPapel("REDUCAO Z"));
  // ReducaoZ(now) from the recovery sends the hour.
  EXPECT_TRUE(fSim->Parametro("EmiteReducaoZ", "Hora").has_value());
  EXPECT_EQ(ecf.Estado(), estBloqueada);
}

TEST_P(FiscNET, ZWithoutAnHourSendsNone) {
  ecf.ReducaoZ(0);
  EXPECT_FALSE(fSim->Parametro("EmiteReducaoZ", "Hora").has_value());
}

TEST_P(FiscNET, FiscalMemoryPrintedAndCaptured) {
  ecf.LeituraMemoriaFiscal(10, 12);
  EXPECT_TRUE(NoPapel("REDUCOES: 10 A 12"));
  EXPECT_TRUE(NoPapel("CRZ 0011"));
  EXPECT_EQ(fSim->Parametro("EmiteLeituraMF", "LeituraSimplificada"), "f");

  TDateTime hoje = DateOf(PlataformaSistema().Agora());
  ecf.LeituraMemoriaFiscal(hoje - 3, hoje - 1);
  EXPECT_TRUE(NoPapel("PERIODO: " + FormatDateTime("dd/mm/yyyy", hoje - 3)));

  TStrings linhas{"lixo anterior"};
  ecf.LeituraMemoriaFiscalSerial(1, 20, linhas);
  ASSERT_GE(linhas.size(), 22u);  // longer than one LeImpressao block
  EXPECT_EQ(linhas.front(), "LEITURA DA MEMORIA FISCAL");
  EXPECT_EQ(linhas[3], "CRZ 0002 " + FormatDateTime("dd/mm/yyyy", hoje - 19) + " 200,50");
  EXPECT_EQ(linhas.back(), "TOTAL DO PERIODO: 21.010,00");
  EXPECT_GT(Conta("LeImpressao"), 2);

  ecf.LeituraMemoriaFiscalSerial(hoje - 2, hoje - 1, linhas);
  EXPECT_EQ(linhas.size(), 5u);
  EXPECT_EQ(fSim->Parametro("EmiteLeituraMF", "Destino"), "S");

  // An inverted range is the printer's refusal, not an empty success.
  EXPECT_NE(teste::MensagemDe([&] { ecf.LeituraMemoriaFiscal(12, 10); }).find("Intervalo invertido"),
            std::string::npos);
}

TEST_P(FiscNET, ManagerialReportAndLinkedReceiptInSeveralCopies) {
  ecf.RelatorioGerencial({"LINHA UM", "LINHA DOIS"}, 2);
  std::string papel = fSim->Papel();
  auto primeira = papel.find("LINHA DOIS");
  ASSERT_NE(primeira, std::string::npos);
  EXPECT_NE(papel.find("LINHA DOIS", primeira + 1), std::string::npos);
  EXPECT_EQ(fSim->Parametro("AvancaPapel", "Avanco"), "63");  // 7 lines between copies
  EXPECT_EQ(ecf.Estado(), estLivre);

  CupomComCartao();
  ecf.CupomVinculado("", "1", "", 50, {"COMPROVANTE DO CARTAO"}, 2);
  papel = fSim->Papel();
  primeira = papel.find("COMPROVANTE DO CARTAO");
  ASSERT_NE(primeira, std::string::npos);
  EXPECT_NE(papel.find("COMPROVANTE DO CARTAO", primeira + 1), std::string::npos);
  EXPECT_EQ(ecf.Estado(), estLivre);

  EXPECT_EQ(teste::MensagemDe([&] { ecf.AbreCupomVinculado("", "9", 10); }),
            "Forma de Pagamento: 9 não foi cadastrada.");
  // Cash allows no linked receipt: the printer says so.
  EXPECT_NE(teste::MensagemDe([&] { ecf.AbreCupomVinculado("", "-2", 10); }).find("Erro: 13 - "),
            std::string::npos);
}

TEST_P(FiscNET, LongManagerialTextGoesInBlocksEndingAtALineBreak) {
  std::string texto;
  for (int i = 0; i < 60; i++) texto += CompletaDireita("LINHA " + IntToStr(i), 48, '.') + "\n";
  ecf.AbreRelatorioGerencial();
  ecf.LinhaRelatorioGerencial(texto);
  ecf.FechaRelatorio();
  EXPECT_EQ(Conta("ImprimeTexto"), 6);  // 10 lines of 49 characters per block
  EXPECT_TRUE(NoPapel(CompletaDireita("LINHA 0", 48, '.') + "\n"));
  EXPECT_TRUE(NoPapel(CompletaDireita("LINHA 59", 48, '.') + "\n"));
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_P(FiscNET, TablesLoadAndProgramInTheirCodePage) {
  ASSERT_EQ(ecf.Aliquotas().Count(), 4);
  TZuvoECFAliquota* iss = ecf.AchaICMSAliquota(5);
  ASSERT_NE(iss, nullptr);
  EXPECT_EQ(iss->Tipo, 'S');
  EXPECT_EQ(iss->Indice, "3");
  EXPECT_EQ(ecf.AchaICMSAliquota(18)->Tipo, 'T');

  TZuvoECFFormaPagamento* cartao = ecf.AchaFPGIndice("1");
  ASSERT_NE(cartao, nullptr);
  EXPECT_EQ(cartao->Descricao, "Cartão");
  EXPECT_TRUE(cartao->PermiteVinculado);
  EXPECT_FALSE(ecf.AchaFPGIndice("-2")->PermiteVinculado);
  EXPECT_EQ(ecf.ComprovantesNaoFiscais().Count(), 2);

  ecf.ProgramaAliquota(12.5, 's', "");
  EXPECT_EQ(fSim->Parametro("DefineAliquota", "DescricaoAliquota"), "ISS: 12,5%");
  EXPECT_EQ(fSim->Parametro("DefineAliquota", "AliquotaICMS"), "f");
  ecf.ProgramaFormaPagamento("Vale Refeição", false, "");
  ecf.ProgramaComprovanteNaoFiscal("Recebimento", "+", "");
  EXPECT_EQ(fSim->Parametro("DefineNaoFiscal", "TipoNaoFiscal"), "t");
  EXPECT_EQ(ecf.AchaICMSAliquota(12.5, 'S')->Indice, "4");
  EXPECT_EQ(ecf.AchaFPGDescricao("VALE REFEIÇÃO"), nullptr);  // upper-casing is ASCII only
  EXPECT_EQ(ecf.AchaFPGDescricao("Vale Refeição")->Indice, "2");

  // Read back from the printer, the accented name comes back intact.
  ecf.CarregaFormasPagamento();
  ecf.CarregaAliquotas();
  ecf.CarregaComprovantesNaoFiscais();
  EXPECT_EQ(ecf.AchaFPGIndice("2")->Descricao, "Vale Refeição");
  EXPECT_EQ(ecf.AchaICMSIndice("4")->Tipo, 'S');
  EXPECT_EQ(ecf.AchaCNFIndice("2")->Descricao, "Recebimento");

  // A sale on the new rate; an unknown or unprogrammed rate is refused.
  ecf.AbreCupom();
  ecf.VendeItem("1", "SERVICO", "12,5S", 1, 10);
  EXPECT_EQ(fSim->Parametro("VendeItem", "CodAliquota"), "4");
  EXPECT_EQ(teste::MensagemDe([&] { ecf.VendeItem("1", "X", "99", 1, 1); }), "Aliquota nao encontrada: 99 ");
  EXPECT_EQ(teste::MensagemDe([&] { ecf.VendeItem("1", "X", "ABC", 1, 1); }), "Aliquota inválida: ABC");
  EXPECT_EQ(teste::MensagemDe([&] { ecf.VendeItem("1", "X", "T09", 1, 1); }),
            kPrefixo + "Erro: 5 - ErroCMDAliquotaNaoProgramada\nAlíquota 9 não programada");
  ecf.CancelaCupom();
}

TEST_P(FiscNET, DrawerDaylightSavingPaperAndCheque) {
  EXPECT_FALSE(ecf.GavetaAberta());
  ecf.AbreGaveta();
  EXPECT_TRUE(ecf.GavetaAberta());

  EXPECT_FALSE(ecf.HorarioVerao());
  ecf.MudaHorarioVerao();
  EXPECT_TRUE(fSim->HorarioVerao());
  EXPECT_TRUE(ecf.HorarioVerao());
  ecf.ECF().MudaHorarioVerao(false);
  EXPECT_FALSE(ecf.HorarioVerao());

  ecf.PulaLinhas(3);
  EXPECT_EQ(fSim->Parametro("AvancaPapel", "Avanco"), "27");
  EXPECT_FALSE(ecf.PoucoPapel());
  EXPECT_FALSE(ecf.ChequePronto());
  ecf.CancelaImpressaoCheque();
  EXPECT_EQ(Conta("ChancelaCheque"), 1);
  EXPECT_NE(teste::MensagemDe([&] { ecf.ImprimeCheque("001", 1, "A", "B", EncodeDate(2026, 1, 1)); })
                .find("Rotina de Impressão de Cheques não implementada"),
            std::string::npos);
}

TEST_P(FiscNET, RefusedCommandsSurfaceThePrintersMessage) {
  EXPECT_EQ(teste::MensagemDe([&] { ecf.VendeItem("1", "X", "18", 1, 1); }),
            kPrefixo + "Erro: 4 - ErroCMDEstadoInvalido\nComando VendeItem não permitido no estado 1");
  EXPECT_EQ(teste::MensagemDe([&] { ecf.EnviaComando("Xyz"); }),
            kPrefixo + "Erro: 2 - ErroCMDDesconhecido\nComando desconhecido: Xyz");
  EXPECT_EQ(teste::MensagemDe([&] { ecf.EnviaComando("AvancaPapel;Avanco=-9"); }),
            kPrefixo + "Erro: 3 - ErroCMDParametroForaFaixa\nParâmetro Avanco fora da faixa: -9");
  ecf.AbreCupom();
  ecf.VendeItem("1", "X", "18", 1, 10);
  ecf.EfetuaPagamento("-2", 4);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.FechaCupom(); }),
            kPrefixo + "Erro: 9 - ErroCMDPagamentoIncompleto\nFalta pagar 6,00");
  EXPECT_EQ(ecf.Estado(), estPagamento);
  // The raw form returns the whole answer.
  std::string r = ecf.EnviaComando("LeInteiro;NomeInteiro=\"EstadoFiscal\"");
  EXPECT_NE(r.find("ValorInteiro=4"), std::string::npos) << r;
}

// Silent, cut, late and garbled answers are cells of the fault matrix; here
// the printer's own refusals and their texts.
TEST_P(FiscNET, FaultsEndInClearErrorsAndThePrinterComesBack) {
  sim::Falhas f;
  f.Recusa = true;
  fSim->SetFalhas(f);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.AbreGaveta(); }),
            kPrefixo + "Erro: 14 - ErroCMDRecusado\nImpressora recusou o comando AbreGaveta");

  f = {};
  f.SemPapel = true;
  fSim->SetFalhas(f);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.AbreCupom(); }), kPrefixo + "Erro: 12 - ErroCMDSemPapel\nImpressora sem papel");

  fSim->SetFalhas({});
  EXPECT_EQ(ecf.NumCupom(), "001234");
}

TEST_P(FiscNET, ReactivationClearsTheCaches) {
  ecf.NumECF();
  ecf.Desativar();
  EXPECT_EQ(ecf.Estado(), estNaoInicializada);
  EXPECT_THROW(ecf.NumCupom(), EZuvoECFNaoInicializado);
  // Linux refuses (EINVAL) to set even parity a second time on a
  // pseudo-terminal slave; a real port has no such limit.
  ecf.Device().SetParity(pNone);
  ecf.Ativar();
  int antes = Conta("LeInteiro");
  ecf.NumECF();
  EXPECT_EQ(Conta("LeInteiro"), antes + 1);
}

INSTANTIATE_TEST_SUITE_P(Respostas, FiscNET, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) {
                           return i.param ? "ComoImpressoraReal" : "Documentada";
                         });
