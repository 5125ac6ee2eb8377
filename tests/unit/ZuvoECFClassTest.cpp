// The driver base class without a printer: tables, messages, line wrapping,
// the wait window's state machine and the composite reports.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using zuvo::teste::AmbienteTeste;

namespace {

// A driver whose report primitives record what they are asked to print.
class DriverGravador : public TZuvoECFClass {
 public:
  using TZuvoECFClass::TZuvoECFClass;
  using TZuvoECFClass::EnviaComando;
  using TZuvoECFClass::VerificaFimLeitura;

  std::vector<std::string> Chamadas;
  TZuvoECFEstado EstadoSimulado = estLivre;
  bool FechaFalha = true;  // the first close finds nothing open
  std::string MsgAguardeNaAbertura;
  bool ReTentarDuranteLinha = true;
  bool PermiteFormMsgDuranteLinha = true;
  int CarregasFPG = 0;

  TZuvoECFEstado Estado() override { return EstadoSimulado; }
  void AbreRelatorioGerencial() override {
    MsgAguardeNaAbertura = MsgAguarde();
    Chamadas.push_back("Abre");
  }
  void LinhaRelatorioGerencial(const std::string& L) override {
    ReTentarDuranteLinha = ReTentar();
    PermiteFormMsgDuranteLinha = PermiteFormMsg();
    Chamadas.push_back("Linha:" + L);
  }
  void LinhaCupomVinculado(const std::string& L) override { Chamadas.push_back("Vinc:" + L); }
  void AbreCupomVinculado(const std::string& COO, const std::string& FPG, const std::string& CNF,
                          double Valor) override {
    Chamadas.push_back("AbreVinc:" + COO + "," + FPG + "," + CNF + "," + FloatToStr(Valor));
  }
  void FechaRelatorio() override {
    if (FechaFalha) {
      FechaFalha = false;
      throw EZuvoECFSemResposta("nada aberto");
    }
    Chamadas.push_back("Fecha");
  }
  void CancelaCupom() override { Chamadas.push_back("Cancela"); }
  void LeituraX() override { Chamadas.push_back("X"); }
  void ReducaoZ(TDateTime) override { Chamadas.push_back("Z"); }
  std::string EnviaComando(const std::string& Cmd) override {
    Chamadas.push_back("Cmd:" + Cmd + "/" + IntToStr(TimeOut()));
    return "";
  }
  void CarregaFormasPagamento() override {
    TZuvoECFClass::CarregaFormasPagamento();
    CarregasFPG++;
    auto& d = fFormasPagamento->Add();
    d.Indice = "01";
    d.Descricao = "Dinheiro";
    d.PermiteVinculado = false;
    auto& c = fFormasPagamento->Add();
    c.Indice = "02";
    c.Descricao = "CARTAO";
  }
  void Marca(bool MFD, bool Termica) {
    SetMFD(MFD);
    SetTermica(Termica);
  }
};

struct Fixture : ::testing::Test {
  AmbienteTeste amb;
  TZuvoECF ecf;
  DriverGravador drv{ecf.Device(), ecf.Config()};
};

}  // namespace

TEST(DriverBase, TheComponentRefusesADriverOnAnotherSettingsRecord) {
  AmbienteTeste amb;
  TZuvoECF ecf;
  TZuvoECFConfig outro;
  try {
    ecf.SubstituiDriver(std::make_unique<TZuvoECFClass>(ecf.Device(), outro));
    FAIL() << "installed a driver that does not read the component's settings";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Essa Classe deve ser instanciada por TZuvoECF");
  }
}

TEST_F(Fixture, DefaultsAndIdentity) {
  TZuvoECFClass& b = drv;
  EXPECT_EQ(b.ModeloStr(), "Não Definido");
  EXPECT_EQ(b.NumSerie(), "ecfNennhum");
  EXPECT_EQ(b.NumECF(), "001");
  EXPECT_EQ(b.NumCRO(), "001");
  EXPECT_EQ(b.NumLoja(), "001");
  EXPECT_EQ(b.NumCupom(), "");
  EXPECT_TRUE(b.ChequePronto());
  EXPECT_EQ(b.TimeOut(), 3);
  EXPECT_EQ(b.TempoInicioMsg(), 3);
  EXPECT_EQ(b.IntervaloAposComando(), 100);
  EXPECT_EQ(b.MsgAguarde(), "Aguardando a resposta da Impressora: %d segundos");
  EXPECT_EQ(b.MsgRelatorio(), "Imprimindo %s  %dª Via ");
  EXPECT_EQ(b.MsgPausaRelatorio(), "Destaque a %dª via, <ENTER> proxima, %d seg.");
  EXPECT_EQ(b.Colunas(), 48);
  EXPECT_EQ(b.LinhasEntreCupons(), 7);
  EXPECT_EQ(b.PausaRelatorio(), 5);
  EXPECT_EQ(b.MsgPoucoPapel(), 30);
  EXPECT_TRUE(b.ReTentar());
  EXPECT_TRUE(b.BloqueiaMouseTeclado());
  EXPECT_EQ(drv.TZuvoECFClass::Estado(), estNaoInicializada);
  EXPECT_EQ(b.FormMsgColor(), ecf.FormMsgColor());
  EXPECT_EQ(b.FormMsgFonte(), &ecf.FormMsgFonte());
  drv.Marca(true, false);
  EXPECT_EQ(b.ModeloStr(), "Não Definido MFD");
}

TEST_F(Fixture, OperationsAModelLacksNameThemselves) {
  TZuvoECFClass b(ecf.Device(), ecf.Config());
  const std::string sufixo = "\r\n não implementada para a Impressora: Não Definido";
  struct Caso {
    std::function<void()> Chama;
    std::string Mensagem;
  };
  std::vector<Caso> casos = {
      {[&] { b.AbreCupom(""); }, "Procedure: AbreCupom" + sufixo},
      {[&] { b.VendeItem("1", "X", "18", 1, 1, 0, "UN"); }, "Procedure: VendeItem" + sufixo},
      {[&] { b.SubtotalizaCupom(0, ""); }, "Procedure: SubtotalizaCupom" + sufixo},
      {[&] { b.FechaCupom(""); }, "Procedure: FechaCupom" + sufixo},
      {[&] { b.CancelaCupom(); }, "Procedure: CancelaCupom" + sufixo},
      {[&] { b.CancelaItemVendido(1); }, "Procedure: CancelaItemVendido" + sufixo},
      {[&] { b.LeituraX(); }, "Procedure: LeituraX" + sufixo},
      {[&] { b.ReducaoZ(0); }, "Procedure: ReducaoZ" + sufixo},
      {[&] { b.MudaHorarioVerao(); }, "Procedure: MudaHorarioVerao" + sufixo},
      {[&] { b.MudaHorarioVerao(true); },
       "Procedure: MudaHorarioVerao(EHorarioVerao: Boolean)" + sufixo},
      {[&] { b.ProgramaAliquota(18, 'T', ""); }, "Procedure: ProgramaAliquota" + sufixo},
      {[&] { b.PulaLinhas(2); }, "Procedure: LinhaRelatorioGerencial" + sufixo},
      {[&] { b.LeituraMemoriaFiscal(1, 2); }, "Procedure: LeituraMemoriaFiscal" + sufixo},
      {[&] { b.EnviaComando("x"); }, "Procedure: EnviaComando" + sufixo},
      {[&] { b.AbreGaveta(); }, "A Impressora Não Definido não manipula Gavetas"},
      {[&] { b.ImpactoAgulhas(2); },
       "A Impressora Não Definido não permite ajustar o Impacto das Agulhas"},
      {[&] { b.ImprimeCheque("001", 1, "F", "C", 0, ""); },
       "Rotina de Impressão de Cheques não implementada para Impressora Não Definido"},
  };
  for (auto& c : casos) {
    try {
      c.Chama();
      ADD_FAILURE() << "no error for " << c.Mensagem;
    } catch (const EZuvoECFCMDInvalido& e) {
      EXPECT_EQ(std::string(e.what()), c.Mensagem);
    }
  }
  try {
    drv.VerificaFimLeitura("x");
    FAIL();
  } catch (const EZuvoECFCMDInvalido&) {
    FAIL() << "must be the general exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Erro Function VerificaFimLeitura não implementada em Não Definido");
  }
}

TEST_F(Fixture, TableLookUps) {
  // Lazy: the first look-up loads the list once.
  EXPECT_NE(drv.AchaFPGDescricao("  dinheiro  "), nullptr);
  EXPECT_EQ(drv.AchaFPGDescricao("  dinheiro  ")->Indice, "01");
  EXPECT_EQ(drv.CarregasFPG, 1);
  EXPECT_EQ(drv.AchaFPGIndice("1"), nullptr);
  EXPECT_NE(drv.AchaFPGIndice("02"), nullptr);

  drv.CarregaAliquotas();
  auto& a = drv.Aliquotas().Add();
  a.Indice = "01";
  a.Aliquota = 18;
  a.Tipo = 'S';
  auto& b = drv.Aliquotas().Insert(0, std::make_unique<TZuvoECFAliquota>());
  b.Indice = "FF";
  EXPECT_EQ(drv.Aliquotas().Objects(0).Indice, "FF");
  EXPECT_EQ(drv.AchaICMSAliquota(18, 'X'), &a);  // 'X' means any type
  EXPECT_EQ(drv.AchaICMSAliquota(18, 'T'), nullptr);
  EXPECT_EQ(drv.AchaICMSAliquota(18, 'S'), &a);
  EXPECT_EQ(drv.AchaICMSIndice("ff"), nullptr);  // case matters
  EXPECT_THROW(drv.Aliquotas().Objects(5), Exception);

  auto& c = drv.ComprovantesNaoFiscais().Add();
  c.Indice = "A";
  c.Descricao = "Sangria";
  c.FormaPagamento = "02";
  EXPECT_EQ(drv.AchaCNFDescricao("SANGRIA "), &c);
  EXPECT_EQ(drv.AchaCNFFormaPagamento("02"), &c);
  EXPECT_EQ(drv.AchaCNFFormaPagamento("2"), nullptr);
  auto& u = drv.UnidadesMedida().Add();
  u.Indice = "1";
  u.Descricao = "kg";
  EXPECT_EQ(drv.AchaUMDDescricao("KG"), &u);
  EXPECT_EQ(drv.AchaUMDIndice("1"), &u);

  // Recreated empty by Carrega...
  drv.TZuvoECFClass::CarregaUnidadesMedida();
  EXPECT_EQ(drv.UnidadesMedida().Count(), 0);
}

TEST_F(Fixture, PaymentValidation) {
  EXPECT_NO_THROW(drv.EfetuaPagamento("02", 10, "", true));
  EXPECT_NO_THROW(drv.EfetuaPagamento("01", 10, "", false));
  try {
    drv.EfetuaPagamento("07", 10, "", false);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Forma de Pagamento: 07 inválida");
  }
  try {
    drv.EfetuaPagamento("01", 10, "", true);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Forma de Pagamento: 01\nnão permite Cupom Vinculado");
  }
}

TEST_F(Fixture, CanAReceiptBeOpenedAndRecovery) {
  struct Caso {
    TZuvoECFEstado Estado;
    std::string Mensagem;  // "" = allowed
    std::string Correcao;  // what CorrigeEstadoErro does
  };
  const std::vector<Caso> casos = {
      {estLivre, "", ""},
      {estNaoInicializada, "Impressora nao foi Inicializada (Ativo = false)", ""},
      {estVenda, "Cupom Fiscal aberto", "Cancela"},
      {estBloqueada, "Reduçao Z de hoje já emitida, ECF bloqueado até as 00:00", "!"},
      {estRequerZ,
       "Redução Z de dia anterior não emitida.\n Imprima uma Redução Z para poder vender", "Z"},
      {estRequerX,
       "A impressora Não Definido requer Leitura X todo inicio de dia.\n Imprima uma Leitura X "
       "para poder vender",
       "X"},
      {estPagamento, "Estado da impressora Não Definido é \r\nestPagamento (não é Livre)",
       "Cancela"},
      {estDesconhecido, "Estado da impressora Não Definido é \r\nestDesconhecido (não é Livre)",
       ""},
      {estRelatorio, "Estado da impressora Não Definido é \r\nestRelatorio (não é Livre)", "Fecha"},
  };
  for (const auto& c : casos) {
    drv.EstadoSimulado = c.Estado;
    drv.FechaFalha = false;
    if (c.Mensagem.empty()) {
      EXPECT_TRUE(drv.TestaPodeAbrirCupom());
    } else {
      try {
        drv.TestaPodeAbrirCupom();
        ADD_FAILURE() << EstadoStr(c.Estado);
      } catch (const EZuvoECFCMDInvalido& e) {
        EXPECT_EQ(std::string(e.what()), c.Mensagem);
      }
    }
    drv.Chamadas.clear();
    if (c.Correcao == "!") {
      EXPECT_THROW(drv.CorrigeEstadoErro(), EZuvoECFCMDInvalido);
    } else {
      drv.CorrigeEstadoErro();
      if (c.Correcao.empty())
        EXPECT_TRUE(drv.Chamadas.empty()) << EstadoStr(c.Estado);
      else
        EXPECT_EQ(drv.Chamadas, std::vector<std::string>{c.Correcao}) << EstadoStr(c.Estado);
    }
  }
}

TEST_F(Fixture, LineWrapping) {
  const std::string cem(100, 'x');
  EXPECT_EQ(drv.AjustaLinhas(cem), std::string(48, 'x') + "\n" + std::string(48, 'x') + "\n" +
                                       std::string(4, 'x') + "\n");
  EXPECT_EQ(drv.AjustaLinhas("ab\ncd"), "ab\ncd\n");
  EXPECT_EQ(drv.AjustaLinhas("ab  \r\ncd\t"), "ab\ncd\n");
  EXPECT_EQ(drv.AjustaLinhas("a\nb\nc", 2), "a\nb\n");
  EXPECT_EQ(drv.AjustaLinhas("ab", 0, true), "ab" + std::string(46, ' ') + "\n");
  // A line break right after a full line is consumed with it.
  EXPECT_EQ(drv.AjustaLinhas(std::string(48, 'y') + "\nz"), std::string(48, 'y') + "\nz\n");
  EXPECT_EQ(drv.AjustaLinhas(""), "");
  drv.SetColunas(0);  // must not loop forever
  EXPECT_EQ(drv.AjustaLinhas("abc"), "a\nb\nc\n");
}

TEST_F(Fixture, PrintingLineByLine) {
  drv.SetColunas(10);
  drv.ImprimeLinhaALinha("primeira linha longa\nfim", ">");
  EXPECT_EQ(drv.Chamadas, (std::vector<std::string>{"Cmd:>primeira l/6", "Cmd:>inha longa/6",
                                                    "Cmd:>fim       /6"}));
  EXPECT_EQ(amb.Plataforma.Dormido(), 300);  // impact printer: 100 ms per line
  drv.Chamadas.clear();
  drv.Marca(false, true);
  drv.ImprimeLinhaALinha("", "");
  EXPECT_EQ(drv.Chamadas, std::vector<std::string>{"Cmd:          /6"});
  EXPECT_EQ(amb.Plataforma.Dormido(), 300);  // thermal: no spacing
  EXPECT_EQ(drv.TimeOut(), 3);               // the longer time-out was only for the call
}

TEST_F(Fixture, RateSuffixAndQuantityAdjustment) {
  struct Caso {
    std::string Entrada, Aliquota;
    char Tipo;
  };
  for (const Caso& c : std::vector<Caso>{{"18T", "18", 'T'},
                                         {"5S", "5", 'S'},
                                         {"FF", "FF", ' '},
                                         {"", "", ' '},
                                         {"T", "", 'T'}}) {
    std::string a = c.Entrada;
    char t = '?';
    drv.SeparaTipoAliquota(a, t);
    EXPECT_EQ(a, c.Aliquota);
    EXPECT_EQ(t, c.Tipo);
  }
  // 1.5 x 0.33 = 0.495, which rounds to 0.50 but a truncating printer prints
  // 0.49: the quantity grows by 0.001 until it prints 0.50.
  double qtd = 1.5;
  drv.ArredondarPorQtd(qtd, -2, 0.33);
  EXPECT_DOUBLE_EQ(qtd, 1.516);
  // Already exact: unchanged.
  qtd = 2;
  drv.ArredondarPorQtd(qtd, -2, 1.15);
  EXPECT_DOUBLE_EQ(qtd, 2);
}

TEST_F(Fixture, LowPaperNoticeIsRateLimited) {
  drv.DoMsgPoucoPapel();
  ASSERT_EQ(amb.Toolkit->Mensagens.size(), 1u);
  EXPECT_EQ(amb.Toolkit->Mensagens[0].Texto, "Detectado pouco papel");
  EXPECT_EQ(amb.Toolkit->Mensagens[0].Tipo, TipoMensagem::Erro);
  amb.Plataforma.Avanca(10000);
  drv.DoMsgPoucoPapel("outra");
  EXPECT_EQ(amb.Toolkit->Mensagens.size(), 1u);
  amb.Plataforma.Avanca(21000);
  drv.DoMsgPoucoPapel("Pouco papel!");
  ASSERT_EQ(amb.Toolkit->Mensagens.size(), 2u);
  EXPECT_EQ(amb.Toolkit->Mensagens[1].Texto, "Pouco papel!");
  EXPECT_NEAR(drv.UltimaMsgPoucoPapel(), amb.Plataforma.Agora(), 1e-6);

  int eventos = 0;
  drv.OnMsgPoucoPapel = [&](TZuvoECFClass* s) {
    EXPECT_EQ(s, &drv);
    eventos++;
  };
  amb.Plataforma.Avanca(31000);
  drv.DoMsgPoucoPapel();
  EXPECT_EQ(eventos, 1);
  EXPECT_EQ(amb.Toolkit->Mensagens.size(), 2u);
}

TEST_F(Fixture, WaitWindowRunsRefusesNestingAndKeepsTheErrorText) {
  std::vector<std::string> avisos;
  drv.OnMsgAguarde = [&](const std::string& m) { avisos.push_back(m); };
  bool rodou = false;
  EXPECT_TRUE(drv.FormMsgDoProcedure(
      [&] {
        rodou = true;
        EXPECT_NE(drv.FormMsg(), nullptr);
        try {
          drv.FormMsgDoProcedure([] {}, 0);
          ADD_FAILURE() << "nested window accepted";
        } catch (const Exception& e) {
          EXPECT_STREQ(e.what(), "Erro. Chamada recurssiva de FormMsgDoProcedure");
        }
      },
      0));
  EXPECT_TRUE(rodou);
  EXPECT_EQ(drv.FormMsg(), nullptr);
  EXPECT_EQ(drv.FormMsgEstado(), 2);
  EXPECT_EQ(amb.Toolkit->JanelasModais, 1);
  EXPECT_EQ(avisos, std::vector<std::string>{""});

  // The error's class is not kept, its text is.
  try {
    drv.FormMsgDoProcedure([] { throw EZuvoECFCMDInvalido("falhou aqui"); }, 0);
    FAIL();
  } catch (const EZuvoECFCMDInvalido&) {
    FAIL() << "class must not be kept";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "falhou aqui");
  }
  EXPECT_EQ(drv.FormMsg(), nullptr);

  // Modeless when the mouse and keyboard are not blocked; texts reach the
  // window only when ExibeMensagem is set.
  drv.SetBloqueiaMouseTeclado(false);
  drv.FormMsgDoProcedure([&] { drv.FormMsgExibe("um\ndois"); }, 0);
  EXPECT_EQ(amb.Toolkit->JanelasModais, 2);
  EXPECT_EQ(amb.Toolkit->TextosJanela, std::vector<std::string>{"um dois"});
  drv.SetExibeMensagem(false);
  drv.FormMsgDoProcedure([&] { drv.FormMsgExibe("tres"); }, 0);
  EXPECT_EQ(amb.Toolkit->TextosJanela.size(), 1u);
  EXPECT_EQ(avisos.back(), "");
  EXPECT_NE(std::find(avisos.begin(), avisos.end(), "tres"), avisos.end());
}

TEST_F(Fixture, TheStopKeyEndsTheRunStateOnlyWhenItMatches) {
  drv.FormMsgDoProcedure(
      [&] {
        amb.Toolkit->Tecla('x');
        amb.Toolkit->processEvents();
        EXPECT_EQ(drv.FormMsgEstado(), 1);
        amb.Toolkit->Tecla('c');  // upper-cased before the compare
        amb.Toolkit->processEvents();
        EXPECT_EQ(drv.FormMsgEstado(), 3);
      },
      'C');
  EXPECT_EQ(drv.FormMsgEstado(), 3);
}

TEST_F(Fixture, PauseCountsDownAndEnterEndsIt) {
  drv.SetPausaRelatorio(3);
  drv.FormMsgDoProcedure([&] { drv.PausaImpressao(2); }, 0);
  EXPECT_EQ(amb.Toolkit->TextosJanela,
            (std::vector<std::string>{"Destaque a 2ª via, <ENTER> proxima, 3 seg.",
                                      "Destaque a 2ª via, <ENTER> proxima, 2 seg.",
                                      "Destaque a 2ª via, <ENTER> proxima, 1 seg."}));
  EXPECT_GE(amb.Plataforma.Dormido(), 3000);

  amb.Toolkit->TextosJanela.clear();
  drv.SetPausaRelatorio(60);
  const int64_t antes = amb.Plataforma.Dormido();
  drv.FormMsgDoProcedure(
      [&] {
        amb.Toolkit->Tecla(13, 5);
        drv.PausaImpressao(1);
        EXPECT_EQ(drv.FormMsgEstado(), 1);  // Enter ends only the pause
        EXPECT_EQ(drv.FormMsgTecla(), 0);
      },
      0);
  EXPECT_LT(amb.Plataforma.Dormido() - antes, 1000);
  // A bad template falls back to its own text.
  drv.SetMsgPausaRelatorio("via %s");
  drv.SetPausaRelatorio(1);
  amb.Toolkit->TextosJanela.clear();
  drv.FormMsgDoProcedure([&] { drv.PausaImpressao(1); }, 0);
  EXPECT_EQ(amb.Toolkit->TextosJanela, std::vector<std::string>{"via %s"});
}

TEST_F(Fixture, ManagerialReportInTwoCopies) {
  drv.SetPausaRelatorio(2);
  std::vector<std::string> avisos;
  drv.OnMsgAguarde = [&](const std::string& m) {
    if (!m.empty()) avisos.push_back(m);
  };
  drv.RelatorioGerencial({"linha 1", "linha 2"}, 2);
  const std::string texto = "linha 1\r\nlinha 2\r\n";
  EXPECT_EQ(drv.Chamadas, (std::vector<std::string>{"Abre", "Linha:" + texto,
                                                    "Linha:" + std::string(7, '\n'),
                                                    "Linha:" + texto, "Fecha"}));
  EXPECT_EQ(drv.MsgAguardeNaAbertura, "Abrindo Relatório Gerencial, aguarde %d seg");
  EXPECT_EQ(drv.MsgAguarde(), "Aguardando a resposta da Impressora: %d segundos");
  EXPECT_FALSE(drv.ReTentarDuranteLinha);
  EXPECT_FALSE(drv.PermiteFormMsgDuranteLinha);
  EXPECT_TRUE(drv.ReTentar());
  EXPECT_TRUE(drv.PermiteFormMsg());
  EXPECT_EQ(avisos, (std::vector<std::string>{
                        "Imprimindo Relatório Gerêncial  1ª Via ",
                        "Destaque a 1ª via, <ENTER> proxima, 2 seg.",
                        "Destaque a 1ª via, <ENTER> proxima, 1 seg.",
                        "Imprimindo Relatório Gerêncial  2ª Via ", "Fechando Relatório Gerencial"}));

  // No copies: nothing printed, the report still closed.
  drv.Chamadas.clear();
  drv.RelatorioGerencial({"x"}, 0);
  EXPECT_EQ(drv.Chamadas, (std::vector<std::string>{"Fecha", "Abre", "Fecha"}));
}

TEST_F(Fixture, LinkedReceiptAndRestoredSettingsAfterAnError) {
  drv.FechaFalha = false;
  drv.CupomVinculado("123", "02", "", 10.5, {"via"}, 1);
  EXPECT_EQ(drv.Chamadas,
            (std::vector<std::string>{"AbreVinc:123,02,,10,5", "Vinc:via\r\n", "Fecha"}));

  // An error inside the report comes out, and the settings come back.
  class Falha : public DriverGravador {
   public:
    using DriverGravador::DriverGravador;
    void LinhaRelatorioGerencial(const std::string&) override {
      throw EZuvoECFSemResposta("Impressora X não está respondendo");
    }
  } f(ecf.Device(), ecf.Config());
  f.FechaFalha = false;
  try {
    f.RelatorioGerencial({"a"}, 1);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Impressora X não está respondendo");
  }
  EXPECT_TRUE(f.ReTentar());
  EXPECT_TRUE(f.PermiteFormMsg());
  EXPECT_EQ(f.FormMsg(), nullptr);
}

TEST_F(Fixture, FieldChecks) {
  EXPECT_THROW(drv.SetDecimaisPreco(4), Exception);
  EXPECT_THROW(drv.SetDecimaisQtd(-1), Exception);
  try {
    drv.SetDecimaisQtd(5);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Valor de DecimaisQtd deve estar entre 0-4");
  }
  drv.SetDecimaisQtd(4);
  EXPECT_EQ(drv.DecimaisQtd(), 4);
  drv.SetTempoInicioMsg(10);
  EXPECT_EQ(drv.TempoInicioMsg(), 3);

  int mudancas = 0;
  drv.OnAguardandoRespostaChange = [&](TZuvoECFClass*) { mudancas++; };
  drv.SetAguardandoResposta(true);
  drv.SetAguardandoResposta(true);
  drv.SetAguardandoResposta(false);
  EXPECT_EQ(mudancas, 2);
}

TEST(CamposNumericos, RefuseWhatDoesNotFit) {
  EXPECT_EQ(CampoNumerico(1.5, 3, 7, "Qtd"), "0001500");
  EXPECT_EQ(CampoNumerico(2.555, 3, 8, "Preco"), "00002555");
  EXPECT_EQ(CampoNumerico(9999.999, 3, 7, "Qtd"), "9999999");
  EXPECT_EQ(CampoNumerico(0.115, 2, 4, "Valor"), "0012");  // half to even
  try {
    CampoNumerico(10000, 3, 7, "Qtd");
    FAIL() << "10000 with 3 decimals does not fit 7 digits";
  } catch (const EZuvoECFCMDInvalido& e) {
    EXPECT_NE(std::string(e.what()).find("Qtd"), std::string::npos);
  }
  EXPECT_THROW(CampoNumerico(-1, 2, 8, "Valor"), EZuvoECFCMDInvalido);
  EXPECT_EQ(CampoInteiro(42, 4, "COO"), "0042");
  EXPECT_THROW(CampoInteiro(12345, 4, "COO"), EZuvoECFCMDInvalido);
  EXPECT_THROW(CampoInteiro(-1, 4, "COO"), EZuvoECFCMDInvalido);
}

// Decimal texts never go out in exponent notation: tiny and huge values are
// rounded to the field or refused.
TEST(CamposNumericos, DecimalTextIsPlainAtEveryMagnitude) {
  struct Caso {
    double Valor;
    int Tamanho;
    const char* Esperado;  // nullptr: refused
  };
  const double nan = std::nan(""), inf = HUGE_VAL;
  const Caso casos[] = {
      {0.0001, 6, "0,0001"}, {0.00001, 6, nullptr}, {1e-300, 6, nullptr},
      {0.00004, 8, "00,00004"}, {123456, 6, "123456"}, {1e15, 20, nullptr},
      {1e300, 6, nullptr},    {nan, 6, nullptr},     {inf, 6, nullptr},
      {-inf, 6, nullptr},     {0, 6, "000000"},      {99999.4, 6, "099999"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.Valor);
    if (c.Esperado) {
      EXPECT_EQ(CampoDecimalTexto(c.Valor, c.Tamanho, "Qtd"), c.Esperado);
    } else {
      EXPECT_THROW(CampoDecimalTexto(c.Valor, c.Tamanho, "Qtd"), EZuvoECFCMDInvalido);
    }
  }
  EXPECT_EQ(TextoDecimal(1234.56789, 20, 4, "Valor"), "1234,5679");
  EXPECT_EQ(TextoDecimal(1e11, 20, 4, "Valor"), "100000000000");
}
