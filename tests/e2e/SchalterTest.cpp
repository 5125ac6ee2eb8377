// The component with Modelo ecfSchalter against the Schalter simulator, for
// what is the family's own: the command layouts of each firmware generation,
// the linked receipts a printer above version 3 keeps owed, the tables and
// the question that ties a payment method to a linked receipt, the fiscal
// memory sent down the line, and the faults the simulator injects.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "component/ZuvoECF.h"
#include "core/ZuvoPlataforma.h"
#include "sim/SimSchalter.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using sim::SimSchalter;

namespace {

class SchalterE2E : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    sim::OpcoesSimulador o;
    o.Variante = GetParam();
    fSim = std::make_unique<SimSchalter>(o);
    ecf.SetModelo(ecfSchalter);
    ecf.SetPorta(fSim->Porta());
    ecf.SetTimeOut(2);
    ecf.SetIntervaloAposComando(0);
    ecf.SetPausaRelatorio(1);
    ecf.SetReTentar(false);
    ecf.Ativar();
  }
  void TearDown() override { ecf.Desativar(); }
  bool Novo() const { return GetParam() == "3.10"; }
  bool NoPapel(const std::string& t) const { return fSim->Papel().find(t) != std::string::npos; }
  std::string ErroImpressora(const std::string& Mensagem) {
    return "Erro retornado pela Impressora: Schalter\n\n" + Mensagem;
  }
  void VendaPaga(const std::string& Forma) {
    ecf.AbreCupom();
    ecf.VendeItem("1", "ARROZ", "18", 1, 5);
    ecf.SubtotalizaCupom();
    ecf.EfetuaPagamento(Forma, 5);
    ecf.FechaCupom();
  }

  teste::AmbienteTeste amb;
  std::unique_ptr<SimSchalter> fSim;
  TZuvoECF ecf;
};

}  // namespace

TEST_P(SchalterE2E, EachGenerationGetsItsOwnCommandLayouts) {
  EXPECT_EQ(ecf.NumVersao(), Novo() ? "3,10" : "2,04");
  EXPECT_EQ(ecf.NumSerie(), "SC01234567");
  EXPECT_EQ(ecf.NumECF(), "0001");
  EXPECT_TRUE(ecf.Arredonda());

  ecf.AbreCupom("12345678909");
  // Above version 3 the consumer's CPF goes to the printer; below, the
  // driver prints the item header the printer lacks.
  EXPECT_EQ(NoPapel("CPF/CNPJ consumidor: 12345678909"), Novo());
  EXPECT_EQ(NoPapel("Item  Codigo      Descricao"), !Novo());
  EXPECT_EQ(ecf.NumCupom(), "000231");

  ecf.VendeItem("7", "SACOLA", "F", 1, 0.1);
  EXPECT_EQ(fSim->UltimoComando().substr(110, 2), Novo() ? "16" : "12");
  ecf.VendeItem("8", "QUEIJO", "7", 0.5, 40.123);
  const std::string venda = fSim->UltimoComando();
  ASSERT_EQ(venda.size(), 112u);
  // Above version 3 a third price decimal goes as such; below it is rounded.
  EXPECT_EQ(venda.substr(100, 10), Novo() ? "3000040123" : "2000004012");
  EXPECT_EQ(venda.substr(81, 8), "00000,5x");
  EXPECT_EQ(venda.substr(110, 2), "01");
  // The item's discount follows it as an amount in cents: 10% of 2,90.
  ecf.VendeItem("9", "PAO", "18", 2, 1.45, 10);
  EXPECT_EQ(fSim->UltimoComando().substr(69), "000000029");
  ecf.SubtotalizaCupom(-0.06);
  ecf.EfetuaPagamento("00", 50, "TROCO EM MOEDAS");
  ecf.FechaCupom("Volte sempre");
  EXPECT_TRUE(NoPapel("TROCO EM MOEDAS"));
  EXPECT_TRUE(NoPapel("Volte sempre"));
  EXPECT_TRUE(NoPapel("desconto item"));
  EXPECT_EQ(ecf.NumCupom(), "000231");
  EXPECT_EQ(ecf.Estado(), estLivre);
}

// A payment with a method tied to a linked receipt leaves that receipt owed
// on printers above version 3: printing it settles it; CorrigeEstadoErro
// prints it and cancels the receipt it belongs to.
TEST_P(SchalterE2E, LinkedReceiptsStillOwedAreSettled) {
  VendaPaga("01");
  EXPECT_EQ(fSim->VinculadosPendentes(), Novo() ? 1 : 0);
  ecf.CupomVinculado(ecf.NumCupom(), "01", "", 5, {"VIA DO CLIENTE"}, 2);
  const std::string papel = fSim->Papel();
  ASSERT_NE(papel.find("VIA DO CLIENTE"), std::string::npos) << papel;
  EXPECT_NE(papel.find("VIA DO CLIENTE", papel.find("VIA DO CLIENTE") + 1), std::string::npos);
  EXPECT_EQ(fSim->VinculadosPendentes(), 0);

  VendaPaga("01");
  ecf.CorrigeEstadoErro();
  EXPECT_EQ(NoPapel("** CANCELANDO VINCULO PENDENTE **"), Novo());
  EXPECT_EQ(NoPapel("CANCELAMENTO DO CUPOM FISCAL"), Novo());
  EXPECT_EQ(fSim->VinculadosPendentes(), 0);
  EXPECT_EQ(ecf.Estado(), estLivre);
}

TEST_P(SchalterE2E, CancellingAReceiptInPaymentPaysItClosesItAndCancelsIt) {
  ecf.AbreCupom();
  ecf.VendeItem("1", "ARROZ", "18", 2, 5);
  ecf.SubtotalizaCupom();
  ecf.EfetuaPagamento("00", 3);
  EXPECT_EQ(ecf.Estado(), estPagamento);
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_NE(fSim->Recebido().find("CUPOM SERA CANCELADO"), std::string::npos);
  EXPECT_TRUE(NoPapel("CANCELAMENTO DO CUPOM FISCAL"));
  EXPECT_EQ(ecf.TotalPago(), 0);
}

TEST_P(SchalterE2E, TablesAreProgrammedAndTheTieToALinkedReceiptIsConfirmed) {
  ecf.ProgramaAliquota(12.5, 'T');
  ecf.CarregaAliquotas();
  ASSERT_NE(ecf.AchaICMSAliquota(12.5, 'T'), nullptr);
  EXPECT_EQ(ecf.AchaICMSAliquota(5, 'S')->Indice, "03");

  // The operator is asked; No leaves the type unprogrammed and says so.
  const size_t antes = fSim->Recebido().size();
  EXPECT_EQ(teste::MensagemDe([&] { ecf.ProgramaComprovanteNaoFiscal("Vale", "V02"); }),
            "Programaçao de Comprovante não Fiscal cancelada");
  EXPECT_EQ(fSim->Recebido().find("#", antes), std::string::npos);
  EXPECT_NE(amb.Toolkit->Mensagens.back().Texto.find("Forma de Pagamento: Cheque e o "), std::string::npos);

  amb.Toolkit->Responde(RespostaMensagem::Sim);
  ecf.ProgramaFormaPagamento("Vale", true);
  ecf.ECF().FechaRelatorioRecarrega();
  ASSERT_NE(ecf.AchaFPGIndice("03"), nullptr);
  EXPECT_TRUE(ecf.AchaFPGIndice("03")->PermiteVinculado);
  TZuvoECFComprovanteNaoFiscal* vale = ecf.ECF().AchaCNFFormaPagamento("03");
  ASSERT_NE(vale, nullptr);
  EXPECT_EQ(vale->Descricao, "Vale");
  EXPECT_TRUE(vale->PermiteVinculado);

  EXPECT_NE(teste::MensagemDe([&] { ecf.ProgramaComprovanteNaoFiscal("Troco", "X"); }).find("o valor \"V99\""),
            std::string::npos);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.ProgramaComprovanteNaoFiscal("Troco", "V09"); }),
            "Forma de Pagamento: 09 não encontrada.");
}

TEST_P(SchalterE2E, TheFiscalMemoryIsPrintedOrSentDownTheLine) {
  fSim->AdicionaReducoes(3);
  ecf.LeituraMemoriaFiscal(1, 3);
  EXPECT_TRUE(NoPapel("LEITURA DA MEMORIA FISCAL"));
  EXPECT_TRUE(NoPapel("CRZ 0003 "));

  TStrings linhas;
  ecf.LeituraMemoriaFiscalSerial(2, 3, linhas);
  ASSERT_GE(linhas.size(), 4u);
  EXPECT_EQ(linhas[0], "LEITURA DA MEMORIA FISCAL");
  EXPECT_EQ(linhas[1], "REDUCOES: 2 A 3");
  EXPECT_EQ(linhas[2].substr(0, 9), "CRZ 0002 ");

  PlataformaSistema sistema;
  const TDateTime hoje = DateOf(sistema.Agora());
  ecf.LeituraMemoriaFiscalSerial(hoje - 3, hoje, linhas);
  ASSERT_GE(linhas.size(), 2u);
  EXPECT_EQ(linhas[1].substr(0, 9), "PERIODO: ");
}

TEST_P(SchalterE2E, TheStatusLettersAndFlags) {
  ecf.AbreRelatorioGerencial();
  EXPECT_EQ(ecf.Estado(), estRelatorio);
  ecf.FechaRelatorio();
  EXPECT_FALSE(ecf.GavetaAberta());
  ecf.AbreGaveta();
  EXPECT_TRUE(ecf.GavetaAberta());
  fSim->SetRequerZ(true);
  EXPECT_EQ(ecf.Estado(), estRequerZ);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.AbreCupom(); }),
            ErroImpressora("Fechamento do dia anterior não foi realizado. Efetue uma REDUÇÃO Z para imprimir "
                           "as Vendas de HOJE."));
  ecf.CorrigeEstadoErro();  // the Z reduction
  EXPECT_TRUE(NoPapel("REDUCAO Z"));
  EXPECT_EQ(ecf.Estado(), estBloqueada);
}

TEST_P(SchalterE2E, TheClockIsSetToTheComputersWithinAnHour) {
  PlataformaSistema sistema;
  amb.Plataforma.SetCalendario(sistema.Agora());
  EXPECT_NO_THROW(ecf.ECF().MudaHorarioVerao(true));
  EXPECT_FALSE(ecf.HorarioVerao());
  amb.Plataforma.SetCalendario(sistema.Agora() + 3.0 / 24);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.MudaHorarioVerao(); }),
            ErroImpressora("Somente é permitida a alteração da hora para mais ou menos uma hora, uma vez por "
                           "dia e após a Redução Z. (Horario de verão) Erro: (111)"));
}

TEST_P(SchalterE2E, EveryFaultEndsInTheFamilysMessage) {
  sim::Falhas f;
  f.Corrompida = true;
  fSim->SetFalhas(f);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.NumSerie(); }), ErroImpressora("CheckSum do Retorno não é válido."));
  f = {};
  f.SemPapel = true;
  fSim->SetFalhas(f);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.LeituraX(); }), ErroImpressora("Papel próximo do fim."));
  EXPECT_TRUE(ecf.PoucoPapel());
  f = {};
  f.Recusa = true;
  fSim->SetFalhas(f);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.AbreGaveta(); }), ErroImpressora("Comando fora da sequencia"));
  f = {};
  f.Parcial = true;
  fSim->SetFalhas(f);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.DataHora(); }), "Impressora Schalter não está respondendo");
  f = {};
  f.IntervaloBytesMs = 3;
  fSim->SetFalhas(f);
  EXPECT_GT(ecf.DataHora(), EncodeDate(2020, 1, 1));
  // A busy printer: the report waits until the status is answered again.
  f = {};
  f.MsPorLinha = 20;
  fSim->SetFalhas(f);
  EXPECT_NO_THROW(ecf.LeituraX());
  fSim->SetFalhas({});
  fSim->SetErroProximo(132);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.AbreGaveta(); }), ErroImpressora("Houve uma queda de energia"));
  fSim->SetErroProximo(201);
  EXPECT_EQ(teste::MensagemDe([&] { ecf.AbreGaveta(); }), ErroImpressora("Erro na impressora Schalter (201)"));
  EXPECT_EQ(ecf.Estado(), estLivre);
}

INSTANTIATE_TEST_SUITE_P(Versoes, SchalterE2E, ::testing::Values("2.04", "3.10"),
                         [](const ::testing::TestParamInfo<std::string>& i) {
                           return i.param == "2.04" ? std::string("Versao2") : std::string("Versao3");
                         });
