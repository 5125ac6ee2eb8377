// The component: defaults, argument checks and normalisation, SetModelo,
// activation, Testar and the searches that need no printer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "sim/PtyPar.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using zuvo::teste::AmbienteTeste;

namespace {

// Records what the component hands to the driver.
class DriverEspiao : public TZuvoECFClass {
 public:
  using TZuvoECFClass::TZuvoECFClass;
  std::vector<std::string> Recebido;
  bool Gaveta = false;

  void VendeItem(const std::string& Codigo, const std::string& Descricao,
                 const std::string& Aliquota, double Qtd, double Valor, double Desconto,
                 const std::string& Unidade) override {
    Recebido.push_back("VendeItem:" + Codigo + "|" + Descricao + "|" + Aliquota + "|" +
                       FloatToStr(Qtd) + "|" + FloatToStr(Valor) + "|" + FloatToStr(Desconto) +
                       "|" + Unidade);
  }
  void SubtotalizaCupom(double DA, const std::string& Rodape) override {
    Recebido.push_back("Subtotal:" + FloatToStr(DA) + "|" + Rodape);
  }
  void EfetuaPagamento(const std::string& Cod, double Valor, const std::string& Obs,
                       bool Vinc) override {
    Recebido.push_back("Pagamento:" + Cod + "|" + FloatToStr(Valor) + "|" + Obs + "|" +
                       (Vinc ? "S" : "N"));
  }
  void FechaCupom(const std::string& Obs) override { Recebido.push_back("Fecha:" + Obs); }
  void AbreCupomVinculado(const std::string& COO, const std::string& FPG, const std::string& CNF,
                          double Valor) override {
    Recebido.push_back("Vinculado:" + COO + "|" + FPG + "|" + CNF + "|" + FloatToStr(Valor));
  }
  void ImprimeCheque(const std::string& Banco, double Valor, const std::string&,
                     const std::string&, TDateTime, const std::string& Obs) override {
    Recebido.push_back("Cheque:" + Banco + "|" + FloatToStr(Valor) + "|" + Obs);
  }
  bool GavetaAberta() override { return Gaveta; }
};

std::string ArquivoTemporario(const std::string& nome) {
  std::string caminho = ::testing::TempDir() + "zuvo_" + IntToStr(getpid()) + "_" + nome;
  std::remove(caminho.c_str());
  return caminho;
}

struct Componente : ::testing::Test {
  AmbienteTeste amb;
  TZuvoECF ecf;
  DriverEspiao* Espiao() {
    auto d = std::make_unique<DriverEspiao>(ecf.Device(), ecf.Config());
    DriverEspiao* p = d.get();
    ecf.SubstituiDriver(std::move(d));
    return p;
  }
};

}  // namespace

TEST_F(Componente, Defaults) {
  EXPECT_EQ(ecf.Modelo(), ecfNenhum);
  EXPECT_EQ(ecf.Porta(), "COM1");
  EXPECT_EQ(ecf.TimeOut(), 3);
  EXPECT_TRUE(ecf.ReTentar());
  EXPECT_EQ(ecf.IntervaloAposComando(), 100);
  EXPECT_FALSE(ecf.DescricaoGrande());
  EXPECT_FALSE(ecf.GavetaSinalInvertido());
  EXPECT_EQ(ecf.Operador(), "");
  EXPECT_TRUE(ecf.ExibeMensagem());
  EXPECT_EQ(ecf.TempoInicioMsg(), 3);
  EXPECT_FALSE(ecf.ArredondaPorQtd());
  EXPECT_TRUE(ecf.BloqueiaMouseTeclado());
  EXPECT_EQ(ecf.MsgPoucoPapel(), 30);
  EXPECT_EQ(ecf.PausaRelatorio(), 5);
  EXPECT_EQ(ecf.LinhasEntreCupons(), 7);
  EXPECT_EQ(ecf.DecimaisPreco(), 3);
  EXPECT_EQ(ecf.DecimaisQtd(), 3);
  EXPECT_EQ(ecf.FormMsgColor(), clHighlight);
  EXPECT_FALSE(ecf.Ativo());
  EXPECT_EQ(ecf.Device().Baud(), 9600);
  EXPECT_EQ(ecf.NumSerie(), "ecfNennhum");
}

TEST_F(Componente, SetModeloCarriesEverySettingOver) {
  ecf.SetReTentar(false);
  ecf.SetTimeOut(9);
  ecf.SetIntervaloAposComando(7);
  ecf.SetBloqueiaMouseTeclado(false);
  ecf.SetMsgAguarde("espere %d");
  ecf.SetOperador("Ana");
  ecf.SetMsgRelatorio("rel %s %d");
  ecf.SetPausaRelatorio(2);
  ecf.SetMsgPausaRelatorio("pausa %d %d");
  ecf.SetLinhasEntreCupons(3);
  ecf.SetArredondaPorQtd(true);
  ecf.SetDecimaisPreco(2);
  ecf.SetDecimaisQtd(4);
  ecf.SetExibeMensagem(false);
  ecf.SetTempoInicioMsg(6);
  ecf.SetMsgPoucoPapel(11);
  ecf.SetDescricaoGrande(true);
  int eventos = 0;
  ecf.SetOnMsgAguarde([&](const std::string&) { eventos |= 1; });
  ecf.SetOnAguardandoRespostaChange([&](TZuvoECFClass*) { eventos |= 2; });
  ecf.SetOnMsgPoucoPapel([&](TZuvoECFClass*) { eventos |= 4; });
  ecf.SetOnMsgRetentar([&](const std::string&, const std::string&, bool&) { eventos |= 8; });
  ecf.Device().SetBaud(19200);
  TZuvoECFClass* antes = &ecf.ECF();

  ecf.SetModelo(ecfSchalter);
  EXPECT_NE(&ecf.ECF(), antes);
  EXPECT_EQ(ecf.Modelo(), ecfSchalter);
  EXPECT_FALSE(ecf.ReTentar());
  EXPECT_EQ(ecf.TimeOut(), 9);
  EXPECT_EQ(ecf.IntervaloAposComando(), 7);
  EXPECT_FALSE(ecf.BloqueiaMouseTeclado());
  EXPECT_EQ(ecf.MsgAguarde(), "espere %d");
  EXPECT_EQ(ecf.Operador(), "Ana");
  EXPECT_EQ(ecf.MsgRelatorio(), "rel %s %d");
  EXPECT_EQ(ecf.PausaRelatorio(), 2);
  EXPECT_EQ(ecf.MsgPausaRelatorio(), "pausa %d %d");
  EXPECT_EQ(ecf.LinhasEntreCupons(), 3);
  EXPECT_TRUE(ecf.ArredondaPorQtd());
  EXPECT_EQ(ecf.DecimaisPreco(), 2);
  EXPECT_EQ(ecf.DecimaisQtd(), 4);
  EXPECT_FALSE(ecf.ExibeMensagem());
  EXPECT_EQ(ecf.TempoInicioMsg(), 6);  // capped against the carried time-out, not the default
  EXPECT_EQ(ecf.MsgPoucoPapel(), 11);
  EXPECT_TRUE(ecf.DescricaoGrande());
  EXPECT_EQ(ecf.Device().Baud(), 9600);  // a new driver starts from the default line settings
  ecf.OnMsgAguarde()("");
  ecf.OnAguardandoRespostaChange()(nullptr);
  ecf.OnMsgPoucoPapel()(nullptr);
  bool r = false;
  ecf.OnMsgRetentar()("", "", r);
  EXPECT_EQ(eventos, 15);
}

TEST_F(Componente, ActivationRules) {
  try {
    ecf.Ativar();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Modelo não definido");
  }
  // A family without a driver in this build answers with the base behaviour
  // on a file port (once every family has its driver there is none).
  TZuvoECFModelo semDriver = ecfNenhum;
  for (int m = kNumModelos - 1; m > ecfNaoFiscal && semDriver == ecfNenhum; m--)
    if (!ModeloTemDriver(static_cast<TZuvoECFModelo>(m))) semDriver = static_cast<TZuvoECFModelo>(m);
  if (semDriver != ecfNenhum) {
    const std::string arquivo = ArquivoTemporario("porta.txt");
    ecf.SetModelo(semDriver);
    ecf.SetPorta(arquivo);
    ecf.SetAtivo(true);
    EXPECT_TRUE(ecf.Ativo());
    EXPECT_EQ(ecf.Estado(), estDesconhecido);
    try {
      ecf.SetModelo(ecfDaruma);
      FAIL();
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Não é possível mudar o Modelo com o ECF Ativo");
    }
    EXPECT_THROW(ecf.SetPorta("COM2"), Exception);
    ecf.SetAtivo(false);
    EXPECT_FALSE(ecf.Ativo());
    EXPECT_EQ(ecf.Estado(), estNaoInicializada);
    std::remove(arquivo.c_str());
  }
  ecf.SetModelo(ecfDaruma);

  // A port that cannot be opened leaves the component inactive.
  ecf.SetPorta("/nao/existe/pasta/saida.txt");
  EXPECT_THROW(ecf.Ativar(), Exception);
  EXPECT_FALSE(ecf.Ativo());
  EXPECT_FALSE(ecf.Device().Ativo());
}

TEST_F(Componente, TestarShowsTheIdentityAndRestoresAtivo) {
  // A model this build has no driver for: the base class answers.
  TZuvoECFModelo semDriver = ecfNenhum;
  for (int m = ecfNenhum + 1; m < kNumModelos && semDriver == ecfNenhum; m++) {
    const auto modelo = static_cast<TZuvoECFModelo>(m);
    if (!ModeloTemDriver(modelo)) semDriver = modelo;
  }
  if (semDriver == ecfNenhum) GTEST_SKIP() << "every model has a driver in this build";
  const std::string arquivo = ArquivoTemporario("testar.txt");
  ecf.SetModelo(semDriver);
  ecf.SetPorta(arquivo);
  EXPECT_TRUE(ecf.Testar());
  EXPECT_FALSE(ecf.Ativo());
  ASSERT_EQ(amb.Toolkit->Mensagens.size(), 1u);
  const auto& m = amb.Toolkit->Mensagens[0];
  EXPECT_EQ(m.Tipo, TipoMensagem::Informacao);
  EXPECT_EQ(m.Texto,
            "Impressora: Não Definido\r\nVersão: \r\nColunas: 48\r\n\r\nNumero de Serie: "
            "ecfNennhum\r\nNumero do ECF: 001\r\nData / Hora: 07/12/2026 10:00:00 ");
  std::remove(arquivo.c_str());
}

TEST_F(Componente, ArgumentChecksBeforeTheDriver) {
  DriverEspiao* d = Espiao();
  struct Caso {
    double Qtd, Valor;
    std::string Aliquota, Mensagem;
  };
  for (const Caso& c : std::vector<Caso>{
           {0.0004, 1, "18", "Quantidade deve ser superior a 0."},
           {1, 0.0004, "18", "Valor Unitario deve ser superior a 0."},
           {-1, 1, "18", "Quantidade deve ser superior a 0."},
           {1, 1, "   ", "Aliquota de ICMS não pode ser vazia."},
       }) {
    try {
      ecf.VendeItem("1", "Item", c.Aliquota, c.Qtd, c.Valor);
      ADD_FAILURE() << c.Mensagem;
    } catch (const EZuvoECFCMDInvalido& e) {
      EXPECT_EQ(std::string(e.what()), c.Mensagem);
    }
  }
  EXPECT_TRUE(d->Recebido.empty());

  ecf.SetDecimaisPreco(2);
  ecf.VendeItem("7", "Café", "  ff ", 1.23456, 2.345, 5, "UN");
  EXPECT_EQ(d->Recebido.back(), "VendeItem:7|Café|FF|1,235|2,34|5|UN");
}

// NaN and the infinities never reach a driver, whatever the operation; an
// empty raw command is refused at once instead of waiting for the time-out.
TEST_F(Componente, NonFiniteNumbersAndEmptyCommandsAreRefused) {
  DriverEspiao* d = Espiao();
  TStrings linhas;
  for (const double ruim : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    SCOPED_TRACE(ruim);
    const std::vector<std::function<void()>> operacoes = {
        [&] { ecf.VendeItem("1", "Item", "18", ruim, 1); },
        [&] { ecf.VendeItem("1", "Item", "18", 1, ruim); },
        [&] { ecf.VendeItem("1", "Item", "18", 1, 1, ruim); },
        [&] { ecf.SubtotalizaCupom(ruim); },
        [&] { ecf.EfetuaPagamento("01", ruim); },
        [&] { ecf.ImprimeCheque("001", ruim, "Fulano", "Cidade", 0); },
        [&] { ecf.CupomVinculado("1", "01", "", ruim, linhas); },
        [&] { ecf.AbreCupomVinculado("1", "01", ruim); },
        [&] { ecf.AbreCupomVinculado("1", "01", "A", ruim); },
        [&] { ecf.ProgramaAliquota(ruim); },
    };
    for (const auto& operacao : operacoes) {
      try {
        operacao();
        ADD_FAILURE() << "accepted";
      } catch (const EZuvoECFCMDInvalido& e) {
        EXPECT_NE(std::string(e.what()).find("não é um número finito"), std::string::npos);
      }
    }
  }
  EXPECT_TRUE(d->Recebido.empty());
  EXPECT_THROW(ecf.EnviaComando(""), EZuvoECFCMDInvalido);
}

TEST_F(Componente, FooterKeptBetweenSubtotalAndClose) {
  DriverEspiao* d = Espiao();
  ecf.SubtotalizaCupom(-1.005, "Obrigado pela preferência|Volte sempre");
  EXPECT_EQ(d->Recebido.back(), "Subtotal:-1|Obrigado pela preferencia\nVolte sempre");
  ecf.FechaCupom("");
  EXPECT_EQ(d->Recebido.back(), "Fecha:Obrigado pela preferencia\nVolte sempre");
  ecf.FechaCupom("");
  EXPECT_EQ(d->Recebido.back(), "Fecha:");
  ecf.FechaCupom("Linha 1\r\nLinha 2|Três");
  EXPECT_EQ(d->Recebido.back(), "Fecha:Linha 1\nLinha 2\nTres");

  ecf.EfetuaPagamento("01", 10.005, "Açaí \r\n ok  ", true);
  EXPECT_EQ(d->Recebido.back(), "Pagamento:01|10|Acai  ok|S");
  ecf.ImprimeCheque("001", 12.345, "F", "C", 0, "obs\n");
  EXPECT_EQ(d->Recebido.back(), "Cheque:001|12,34|obs");
  ecf.AbreCupomVinculado("12", "02", 5.555);
  EXPECT_EQ(d->Recebido.back(), "Vinculado:12|02||5,56");
}

TEST_F(Componente, DrawerSignalCanBeInverted) {
  DriverEspiao* d = Espiao();
  EXPECT_FALSE(ecf.GavetaAberta());
  ecf.SetGavetaSinalInvertido(true);
  EXPECT_TRUE(ecf.GavetaAberta());
  d->Gaveta = true;
  EXPECT_FALSE(ecf.GavetaAberta());
}

TEST_F(Componente, SearchesThatNeedNoPrinter) {
  try {
    ecf.ProcuraPorta(1);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Modelo não definido");
  }
  ecf.SetModelo(ecfNaoFiscal);
  try {
    ecf.ProcuraPorta(1);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()),
              "Modelo: " + ecf.ModeloStr() +
                  " não consegue efetuar busca automática de Porta\r\nFavor definir a Porta "
                  "Ex:(COM1, LPT1, /dev/lp0, etc)");
  }
  EXPECT_FALSE(ecf.ProcuraECF(false, false, 1));

  // A model search on a port where no printer answers finds nothing, leaves
  // the port alone and the model undefined.
  PtyPar silencioso;
  ecf.SetModelo(ecfNenhum);
  ecf.SetPorta(silencioso.CaminhoEscravo());
  EXPECT_FALSE(ecf.ProcuraECF(true, false, 1));
  EXPECT_EQ(ecf.Modelo(), ecfNenhum);
  EXPECT_EQ(ecf.Porta(), silencioso.CaminhoEscravo());
  EXPECT_FALSE(ecf.Ativo());
  EXPECT_FALSE(ecf.Procurando());
}

TEST(Modelos, EveryModelBuildsItsDriverAndNamesAreUnique) {
  AmbienteTeste amb;
  TZuvoECF ecf;
  std::set<std::string> nomes;
  for (int m = 0; m < kNumModelos; m++) {
    auto modelo = static_cast<TZuvoECFModelo>(m);
    std::string nome = ModeloNome(modelo);
    EXPECT_TRUE(nomes.insert(nome).second) << nome;
    TZuvoECFModelo volta;
    ASSERT_TRUE(ModeloDeNome(nome, volta));
    EXPECT_EQ(volta, modelo);
    ecf.SetModelo(modelo);
    EXPECT_EQ(ecf.Modelo(), modelo);
    EXPECT_FALSE(ecf.ModeloStr().empty());
    if (ModeloTemDriver(modelo)) {
      EXPECT_NE(ecf.ModeloStr(), "Não Definido") << nome;
    }
  }
  EXPECT_EQ(ModeloNome(ecfBematech), "ecfBematech");
  TZuvoECFModelo m;
  EXPECT_FALSE(ModeloDeNome("ecfOutra", m));
}
