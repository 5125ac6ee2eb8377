#include "app/ECFTeste1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <vector>

#include "app/Aplicacao.h"
#include "app/EfetuaPagamento.h"
#include "app/FiltroValor.h"
#include "app/Portas.h"
#include "app/Posicao.h"
#include "app/Relatorio.h"
#include "app/VendeItem.h"
#include "core/ZuvoPlataforma.h"
#include "ui/ZuvoQtTexto.h"

namespace zuvo {

using ui::DeCp1252;
using ui::ParaCp1252;

const char* const NomesEstado[9] = {"Não Inicializada", "Desconhecido", "Livre",
                                    "Venda",            "Pagamento",    "Relatório",
                                    "Bloqueada",        "Requer Z",     "Requer X"};

namespace {

const char* const kSeparadorResposta = ". - . - . - . - . - . - . - . - . - . - . - .";
const char* const kLinhaFim = "---------------------------------";

std::string SimNao(bool V) { return V ? "SIM" : "NAO"; }

std::string DataHoraTexto(TDateTime D) { return FormatDateTime("dd/mm/yyyy hh:nn:ss", D); }

bool Sim(RespostaMensagem R) { return R == RespostaMensagem::Sim; }

RespostaMensagem Caixa(const std::string& Texto, TipoMensagem Tipo, BotoesMensagem Botoes) {
  return Toolkit().messageBox(Texto, Tipo, Botoes);
}

// Replaces the first occurrence of De in Texto by Para.
void TrocaPrimeiro(std::string& Texto, char De, char Para) {
  const size_t p = Texto.find(De);
  if (p != std::string::npos) Texto[p] = Para;
}

}  // namespace

std::string TraduzComando(const std::string& Bytes) {
  std::string r;
  for (unsigned char c : Bytes) {
    if (c >= 32 && c <= 127)
      r += static_cast<char>(c);
    else
      r += "#" + IntToStr(c);
  }
  return r;
}

std::string DecodificaComando(const std::string& Texto) {
  std::string r;
  size_t i = 0;
  while (i < Texto.size()) {
    if (Texto[i] != '#') {
      r += Texto[i++];
      continue;
    }
    const std::string codigo = Texto.substr(i + 1, 3);
    const int64_t valor = StrToIntDef(codigo, 0);
    // A byte is 0..255: anything else would send a different byte than typed.
    if (valor < 0 || valor > 255) throw Exception("Código ASCII inválido: #" + codigo);
    r += static_cast<char>(valor);
    i += 1 + codigo.size();
  }
  return r;
}

// ---------------------------------------------------------------------------
// Creation

TForm1::TForm1(QWidget* Pai) : QMainWindow(Pai) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Dovu ECF (Configura Impressora Fiscal)"));
  setMinimumSize(425, 350);
  resize(640, 480);

  // The component as it was set up at design time.
  ZuvoECF1.SetPorta("procurar");
  ZuvoECF1.SetDescricaoGrande(true);
  ZuvoECF1.SetMsgAguarde("Aguardando a resposta da Impressora: %d segundos");
  ZuvoECF1.SetMsgRelatorio("Imprimindo %s  %dª Via ");
  ZuvoECF1.SetMsgPausaRelatorio("Destaque a %dª via, <ENTER> proxima, %d seg.");
  TZuvoFonte fonte;
  fonte.Nome = "MS Sans Serif";  // the toolkit falls back to the system sans-serif
  fonte.Tamanho = 8;             // 11 pixels high
  fonte.Cor = 0x00FFFFFFu;
  fonte.Negrito = true;
  ZuvoECF1.SetFormMsgFonte(fonte);
  ZuvoECF1.SetFormMsgColor(clHighlight);

  CriaPainel();
  CriaMenus();
  LigaComponente();

  // FormCreate: the model list, the exception handler, LiberaMenus.
  cbxModelo->clear();
  for (int m = 0; m < kNumModelos; m++)
    cbxModelo->addItem(QString::fromLatin1(ModeloNome(static_cast<TZuvoECFModelo>(m))));
  cbxModelo->setItemText(0, QStringLiteral("Procurar"));
  SelecionaModeloAtual();
  if (auto* app = TAplicacaoTeste::Atual())
    app->SetTrataExcecao([this](const std::string& M) { TrataExcecao(M); });
  LiberaMenus = false;
  mMsgChange();

  // The secondary windows, once, after the main one.
  frVendeItem = new TfrVendeItem(*this);
  frPagamento = new TfrPagamento(*this);
  frRelatorio = new TfrRelatorio(*this);
}

TForm1::~TForm1() {
  if (auto* app = TAplicacaoTeste::Atual()) app->SetTrataExcecao(nullptr);
  // The component outlives nothing it reports to: quiet it before the
  // controls go, then close the port.
  ZuvoECF1.SetOnMsgAguarde(nullptr);
  ZuvoECF1.SetOnAguardandoRespostaChange(nullptr);
  ZuvoECF1.SetOnMsgPoucoPapel(nullptr);
  try {
    ZuvoECF1.Desativar();
  } catch (const std::exception&) {
    // Closing: the port is released by the device either way.
  }
}

template <class Emissor, class Sinal>
void TForm1::Liga(Emissor* E, Sinal S, void (TForm1::*Handler)()) {
  connect(E, S, this, [this, Handler] { Protege([this, Handler] { (this->*Handler)(); }); });
}

void TForm1::CriaPainel() {
  auto* central = new QWidget(this);
  auto* vertical = new QVBoxLayout(central);

  Panel1 = new QFrame(central);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* grade = new QGridLayout(Panel1);
  Label1 = new QLabel(QStringLiteral("Modelo:"), Panel1);
  cbxModelo = new QComboBox(Panel1);
  cbxModelo->setObjectName(QStringLiteral("cbxModelo"));
  cbxModelo->setEditable(false);
  Label4 = new QLabel(QStringLiteral("Porta"), Panel1);
  cbxPorta = new QComboBox(Panel1);
  cbxPorta->setObjectName(QStringLiteral("cbxPorta"));
  cbxPorta->setEditable(true);
  cbxPorta->setInsertPolicy(QComboBox::NoInsert);
  int maisLonga = 16;  // room for a typical device path
  for (const auto& p : ListaPortas()) {
    cbxPorta->addItem(DeCp1252(p));
    maisLonga = std::max(maisLonga, static_cast<int>(p.size()));
  }
  cbxPorta->setEditText(QStringLiteral("Procurar"));
  cbxPorta->setMinimumContentsLength(maisLonga);
  cbxPorta->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  Label5 = new QLabel(QStringLiteral("TimeOut"), Panel1);
  edTimeout = new QLineEdit(QStringLiteral("3"), Panel1);
  edTimeout->setObjectName(QStringLiteral("edTimeout"));
  Label7 = new QLabel(QStringLiteral("Intervalo"), Panel1);
  edIntervaloAposComando = new QLineEdit(QStringLiteral("100"), Panel1);
  edIntervaloAposComando->setObjectName(QStringLiteral("edIntervaloAposComando"));
  bAtivar = new QPushButton(QStringLiteral("Ativar"), Panel1);
  bAtivar->setObjectName(QStringLiteral("bAtivar"));
  SpeedButton1 = new QToolButton(Panel1);
  SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
  SpeedButton1->setAutoRaise(true);
  SpeedButton1->setFixedSize(12, 12);
  SpeedButton1->setToolTip(DeCp1252(
      "Mostra ou esconde os comandos do cupom passo a passo\n(Ctrl+J libera ou trava este botão)"));
  grade->addWidget(Label1, 0, 0);
  grade->addWidget(cbxModelo, 1, 0);
  grade->addWidget(Label4, 0, 1);
  grade->addWidget(cbxPorta, 1, 1);
  grade->addWidget(Label5, 0, 2);
  grade->addWidget(edTimeout, 1, 2);
  grade->addWidget(Label7, 0, 3);
  grade->addWidget(edIntervaloAposComando, 1, 3);
  grade->addWidget(bAtivar, 1, 4);
  grade->addWidget(SpeedButton1, 0, 5, Qt::AlignTop | Qt::AlignRight);
  // The port box takes the panel's spare width: a path must show whole.
  grade->setColumnStretch(1, 1);
  edTimeout->setMaximumWidth(50);
  edIntervaloAposComando->setMaximumWidth(60);

  // Controls the program never shows; they keep the component's settings.
  Label2 = new QLabel(QStringLiteral("Comando Enviado"), Panel1);
  mEnviado = new QPlainTextEdit(Panel1);
  mEnviado->setObjectName(QStringLiteral("mEnviado"));
  Label6 = new QLabel(QStringLiteral("Mensagem Aguarde..."), Panel1);
  mMsg = new QPlainTextEdit(Panel1);
  mMsg->setObjectName(QStringLiteral("mMsg"));
  mMsg->setPlainText(QStringLiteral("Aguardando o retorno do ECF\nFaltam %d segundos para TimeOut"));
  chTentar = new QCheckBox(QStringLiteral("Tentar Novamente"), Panel1);
  chBloqueia = new QCheckBox(QStringLiteral("Bloqueia Mouse Teclado"), Panel1);
  chExibeMsg = new QCheckBox(QStringLiteral("Exibe Msg Aguarde..."), Panel1);
  chArredondaPorQtd = new QCheckBox(QStringLiteral("Arredondamento por Quantidade"), Panel1);
  chGavetaSinalInvertido = new QCheckBox(QStringLiteral("Gaveta Sinal Invertido"), Panel1);
  chTentar->setChecked(ZuvoECF1.ReTentar());
  chBloqueia->setChecked(ZuvoECF1.BloqueiaMouseTeclado());
  chExibeMsg->setChecked(ZuvoECF1.ExibeMensagem());
  chArredondaPorQtd->setChecked(ZuvoECF1.ArredondaPorQtd());
  chGavetaSinalInvertido->setChecked(ZuvoECF1.GavetaSinalInvertido());
  for (QWidget* w : std::initializer_list<QWidget*>{Label2, mEnviado, Label6, mMsg, chTentar,
                                                   chBloqueia, chExibeMsg, chArredondaPorQtd,
                                                   chGavetaSinalInvertido})
    w->hide();

  Label3 = new QLabel(QStringLiteral("Respostas"), central);
  mResp = new QPlainTextEdit(central);
  mResp->setObjectName(QStringLiteral("mResp"));
  mResp->setLineWrapMode(QPlainTextEdit::NoWrap);
  mResp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mResp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont fixa = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mResp->setFont(fixa);

  vertical->addWidget(Panel1);
  vertical->addWidget(Label3);
  vertical->addWidget(mResp, 1);
  setCentralWidget(central);

  StatusPanel0 = new QLabel(this);
  StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
  // 80 pixels, or what the longest text it shows needs in this font.
  int largura = 80;
  const QFontMetrics medida(StatusPanel0->font());
  std::vector<std::string> textos(std::begin(NomesEstado), std::end(NomesEstado));
  for (const char* t : {"Processando...", "Exception", "Falha ao ler"}) textos.push_back(t);
  for (const auto& t : textos)
    largura = std::max(largura, medida.horizontalAdvance(DeCp1252(t)) + 2 * StatusPanel0->margin() +
                                    2 * StatusPanel0->frameWidth() + 4);
  StatusPanel0->setFixedWidth(largura);
  StatusPanel1 = new QLabel(this);
  StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
  StatusPanel1->setMinimumWidth(50);
  statusBar()->addWidget(StatusPanel0);
  statusBar()->addWidget(StatusPanel1, 1);

  // The box and edits take the component's values as they are edited.
  ZuvoECF1.SetTimeOut(3);
  ZuvoECF1.SetIntervaloAposComando(100);
  Liga(cbxModelo, &QComboBox::currentIndexChanged, &TForm1::cbxModeloChange);
  Liga(cbxPorta, &QComboBox::editTextChanged, &TForm1::cbxPortaChange);
  Liga(edTimeout, &QLineEdit::textChanged, &TForm1::edTimeoutChange);
  Liga(edIntervaloAposComando, &QLineEdit::textChanged, &TForm1::edIntervaloAposComandoChange);
  Liga(mMsg, &QPlainTextEdit::textChanged, &TForm1::mMsgChange);
  Liga(bAtivar, &QPushButton::clicked, &TForm1::bAtivarClick);
  Liga(SpeedButton1, &QToolButton::clicked, &TForm1::SpeedButton1Click);
  connect(chTentar, &QCheckBox::toggled, this, [this](bool V) { ZuvoECF1.SetReTentar(V); });
  connect(chBloqueia, &QCheckBox::toggled, this,
          [this](bool V) { ZuvoECF1.SetBloqueiaMouseTeclado(V); });
  connect(chExibeMsg, &QCheckBox::toggled, this,
          [this](bool V) { ZuvoECF1.SetExibeMensagem(V); });
  connect(chArredondaPorQtd, &QCheckBox::toggled, this,
          [this](bool V) { ZuvoECF1.SetArredondaPorQtd(V); });
  connect(chGavetaSinalInvertido, &QCheckBox::toggled, this,
          [this](bool V) { ZuvoECF1.SetGavetaSinalInvertido(V); });

  // Ctrl+J, seen by the window whichever control has the focus.
  for (auto teclas : {QKeySequence(Qt::CTRL | Qt::Key_J),
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_J)}) {
    auto* atalho = new QShortcut(teclas, this);
    atalho->setContext(Qt::WindowShortcut);
    Liga(atalho, &QShortcut::activated, &TForm1::FormKeyDown);
  }
}

QAction* TForm1::Item(QMenu* Menu, const char* Texto, const char* Nome,
                      void (TForm1::*Handler)(), bool Visivel) {
  QAction* a = Menu->addAction(DeCp1252(Texto));
  a->setObjectName(QString::fromLatin1(Nome));
  a->setVisible(Visivel);
  if (Handler) Liga(a, &QAction::triggered, Handler);
  return a;
}

QAction* TForm1::Separador(QMenu* Menu, bool Visivel) {
  QAction* a = Menu->addSeparator();
  a->setVisible(Visivel);
  return a;
}

void TForm1::CriaMenus() {
  QMenuBar* barra = menuBar();
  barra->setObjectName(QStringLiteral("MainMenu1"));
  auto submenu = [](QMenu* Pai, const char* Texto, const char* Nome) {
    QMenu* m = Pai->addMenu(DeCp1252(Texto));
    m->setObjectName(QString::fromLatin1(Nome));
    m->menuAction()->setObjectName(QString::fromLatin1(Nome));
    return m;
  };

  fPrincipal = barra->addMenu(QStringLiteral("Principal"));
  Ativcar1 = Item(fPrincipal, "Ativar", "Ativcar1", &TForm1::Ativcar1Click);
  Desativar1 = Item(fPrincipal, "Desativar", "Desativar1", &TForm1::Desativar1Click);
  Testar1 = Item(fPrincipal, "Testar", "Testar1", &TForm1::Testar1Click);
  Separador(fPrincipal);
  Sobre1 = Item(fPrincipal, "Sobre Zuvo", "Sobre1", &TForm1::Sobre1Click, false);
  Separador(fPrincipal, false);
  Sair1 = Item(fPrincipal, "Sair", "Sair1", &TForm1::Sair1Click);

  fVariaveis = barra->addMenu(QStringLiteral("Variaveis"));
  DataHora1 = Item(fVariaveis, "Data Hora", "DataHora1", &TForm1::DataHora1Click);
  NumECF1 = Item(fVariaveis, "ECF", "NumECF1", &TForm1::NumECF1Click);
  NumLoja1 = Item(fVariaveis, "Loja", "NumLoja1", &TForm1::NumLoja1Click);
  NSrie1 = Item(fVariaveis, "Série", "NSrie1", &TForm1::NSrie1Click);
  NVerso1 = Item(fVariaveis, "Versão", "NVerso1", &TForm1::NVerso1Click);
  NumCRO1 = Item(fVariaveis, "CRO", "NumCRO1", &TForm1::NumCRO1Click);
  Separador(fVariaveis);
  PoucoPapel1 = Item(fVariaveis, "Pouco Papel ?", "PoucoPapel1", &TForm1::PoucoPapel1Click);
  Estado1 = Item(fVariaveis, "Estado", "Estado1", &TForm1::Estado1Click);
  HorarioVerao2 = Item(fVariaveis, "Horario Verao ?", "HorarioVerao2", &TForm1::HorarioVerao2Click);
  Arredonda1 = Item(fVariaveis, "Arredonda ?", "Arredonda1", &TForm1::Arredonda1Click);
  MFD1 = Item(fVariaveis, "É MFD", "MFD1", &TForm1::MFD1Click);
  ermica1 = Item(fVariaveis, "É Termica", "ermica1", &TForm1::ermica1Click);
  Separador(fVariaveis);
  AliquotasICMS1 = Item(fVariaveis, "Carrega Aliquotas (ICMS)", "AliquotasICMS1",
                        &TForm1::AliquotasICMS1Click);
  FormasdePagamento1 = Item(fVariaveis, "Carrega Formas Pagamento", "FormasdePagamento1",
                            &TForm1::FormasdePagamento1Click);
  CarregaComprovantesNAOFiscais1 =
      Item(fVariaveis, "Carrega Comprovantes NAO Fiscais", "CarregaComprovantesNAOFiscais1",
           &TForm1::CarregaComprovantesNAOFiscais1Click);
  CarregaUnidadesdeMedida1 = Item(fVariaveis, "Carrega Unidades de Medida",
                                  "CarregaUnidadesdeMedida1", &TForm1::CarregaUnidadesdeMedida1Click);
  Separador(fVariaveis, false);
  LerTodasasVariaveis1 = Item(fVariaveis, "Ler Todas as Variaveis", "LerTodasasVariaveis1",
                              &TForm1::LerTodasasVariaveis1Click, false);

  fRelatorios = barra->addMenu(DeCp1252("Relatórios"));
  LeituraX1 = Item(fRelatorios, "Leitura X", "LeituraX1", &TForm1::LeituraX1Click);
  ReduoZ1 = Item(fRelatorios, "Redução Z", "ReduoZ1", &TForm1::ReduoZ1Click);
  Separador(fRelatorios, false);
  RelatorioGerencial1 = submenu(fRelatorios, "Relatório Gerencial", "RelatorioGerencial1");
  RelatorioGerencialCompleto1 =
      Item(RelatorioGerencial1, "Relatório Gerencial Completo", "RelatorioGerencialCompleto1",
           &TForm1::RelatorioGerencialCompleto1Click);
  Separador(RelatorioGerencial1);
  AbreRelatrioGerencial1 = Item(RelatorioGerencial1, "Abre Relatório Gerencial",
                                "AbreRelatrioGerencial1", &TForm1::AbreRelatrioGerencial1Click);
  LinhaRelatrio1 = Item(RelatorioGerencial1, "Imprime Linha Relatório", "LinhaRelatrio1",
                        &TForm1::LinhaRelatrio1Click);
  CupomVinculado1 = submenu(fRelatorios, "Cupom Vinculado", "CupomVinculado1");
  CupomVinculado1->menuAction()->setVisible(false);
  CupomVinculadoCompleto1 = Item(CupomVinculado1, "Cupom Vinculado Completo",
                                 "CupomVinculadoCompleto1", &TForm1::CupomVinculadoCompleto1Click);
  Separador(CupomVinculado1);
  AbreCupomVinculado1 = Item(CupomVinculado1, "Abre Cupom Vinculado", "AbreCupomVinculado1",
                             &TForm1::AbreCupomVinculado1Click);
  ImprimeLinhaVinculado1 = Item(CupomVinculado1, "Imprime Linha Vinculado",
                                "ImprimeLinhaVinculado1", &TForm1::ImprimeLinhaVinculado1Click);
  PularLinhas1 =
      Item(fRelatorios, "Pular Linhas", "PularLinhas1", &TForm1::PularLinhas1Click, false);
  Separador(fRelatorios, false);
  FechaRelatrio1 = Item(fRelatorios, "Fecha Relatório / Vinculado", "FechaRelatrio1",
                        &TForm1::FechaRelatrio1Click, false);
  Separador(fRelatorios);
  LeituradeMemoriaFiscal1 =
      submenu(fRelatorios, "Leitura de Memoria Fiscal", "LeituradeMemoriaFiscal1");
  CapturaporNReduaoZ1 = Item(LeituradeMemoriaFiscal1, "Captura por N.ReduçaoZ",
                             "CapturaporNReduaoZ1", &TForm1::CapturaporNReduaoZ1Click);
  CapturaporPeriodo1 = Item(LeituradeMemoriaFiscal1, "Captura por Periodo", "CapturaporPeriodo1",
                            &TForm1::CapturaporPeriodo1Click);
  ImprimeporNReduaoZ1 = Item(LeituradeMemoriaFiscal1, "Imprime por N.ReduçaoZ",
                             "ImprimeporNReduaoZ1", &TForm1::ImprimeporNReduaoZ1Click);
  ImprimeporPeriodo1 = Item(LeituradeMemoriaFiscal1, "Imprime por Periodo", "ImprimeporPeriodo1",
                            &TForm1::ImprimeporPeriodo1Click);

  fCupom = barra->addMenu(QStringLiteral("Cupom Fiscal"));
  Variveis1 = submenu(fCupom, "Variáveis", "Variveis1");
  NUltimoCupom1 = Item(Variveis1, "Num Cupom", "NUltimoCupom1", &TForm1::NUltimoCupom1Click);
  SubTotal1 = Item(Variveis1, "SubTotal", "SubTotal1", &TForm1::SubTotal1Click);
  TotalPago1 = Item(Variveis1, "Total Pago", "TotalPago1", &TForm1::TotalPago1Click);
  TestedeVelocidade1 = Item(fCupom, "Teste de Velocidade", "TestedeVelocidade1",
                            &TForm1::TestedeVelocidade1Click);
  CancelaCupom1 = Item(fCupom, "Cancela Cupom", "CancelaCupom1", &TForm1::CancelaCupom1Click);
  Separador(fCupom, false);
  Separador(fCupom);
  TestaPodeAbrirCupom1 = Item(fCupom, "Testa Pode Abrir Cupom", "TestaPodeAbrirCupom1",
                              &TForm1::TestaPodeAbrirCupom1Click, false);
  AbrirCupom1 = Item(fCupom, "Abre Cupom", "AbrirCupom1", &TForm1::AbrirCupom1Click, false);
  Separador(fCupom, false);
  VenderItem1 = Item(fCupom, "Vende Item", "VenderItem1", &TForm1::VenderItem1Click, false);
  CancelarItemVendido1 = Item(fCupom, "Cancela Item Vendido", "CancelarItemVendido1",
                              &TForm1::CancelarItemVendido1Click, false);
  Separador(fCupom, false);
  Sub1 = Item(fCupom, "SubTotaliza Cupom", "Sub1", &TForm1::Sub1Click, false);
  EfetuarPagamento1 = Item(fCupom, "Efetua Pagamento", "EfetuarPagamento1",
                           &TForm1::EfetuarPagamento1Click, false);
  FecharCupom1 = Item(fCupom, "Fecha Cupom", "FecharCupom1", &TForm1::FecharCupom1Click, false);
  Separador(fCupom);

  fDispositivos = barra->addMenu(QStringLiteral("Dispositivos"));
  Gaveta1 = submenu(fDispositivos, "&Gaveta", "Gaveta1");
  AbreGaveta1 = Item(Gaveta1, "Abre Gaveta", "AbreGaveta1", &TForm1::AbreGaveta1Click);
  GavetaAberta1 = Item(Gaveta1, "Gaveta Aberta ?", "GavetaAberta1", &TForm1::GavetaAberta1Click);
  Cheque1 = submenu(fDispositivos, "&Cheque", "Cheque1");
  Cheque1->menuAction()->setVisible(false);
  ChequePronto1 = Item(Cheque1, "Cheque Pronto ?", "ChequePronto1", &TForm1::ChequePronto1Click);
  ImprimeCheque1 = Item(Cheque1, "Imprime Cheque", "ImprimeCheque1", &TForm1::ImprimeCheque1Click);
  CancelaImpressoCheque1 = Item(Cheque1, "Cancela Impressão Cheque", "CancelaImpressoCheque1",
                                &TForm1::CancelaImpressoCheque1Click);

  fUtilitarios = barra->addMenu(DeCp1252("Utilitários"));
  ProgramaAliquota1 = Item(fUtilitarios, "Programa Aliquota", "ProgramaAliquota1",
                           &TForm1::ProgramaAliquota1Click);
  ProgramaFormadePagamento1 = Item(fUtilitarios, "Programa Forma de Pagamento",
                                   "ProgramaFormadePagamento1",
                                   &TForm1::ProgramaFormadePagamento1Click);
  ProgramaComprovanteNAOFiscal1 =
      Item(fUtilitarios, "Programa Comprovante NAO Fiscal", "ProgramaComprovanteNAOFiscal1",
           &TForm1::ProgramaComprovanteNAOFiscal1Click, false);
  ProgramaUnidadeMedida1 = Item(fUtilitarios, "Programa Unidade Medida", "ProgramaUnidadeMedida1",
                                &TForm1::ProgramaUnidadeMedida1Click);
  Separador(fUtilitarios);
  HorarioVerao1 =
      Item(fUtilitarios, "Muda Horário Verão", "HorarioVerao1", &TForm1::HorarioVerao1Click);
  MudaArredondamento1 = Item(fUtilitarios, "Muda Arredondamento", "MudaArredondamento1",
                             &TForm1::MudaArredondamento1Click);
  ImpactoAgulhas1 =
      Item(fUtilitarios, "Impacto Agulhas", "ImpactoAgulhas1", &TForm1::ImpactoAgulhas1Click);
  Separador(fUtilitarios);
  CorrigeEstadodeErro1 = Item(fUtilitarios, "Corrige Estado de Erro", "CorrigeEstadodeErro1",
                              &TForm1::CorrigeEstadodeErro1Click);
  Separador(fUtilitarios, false);
  EnviaComando1 =
      Item(fUtilitarios, "Envia Comando", "EnviaComando1", &TForm1::EnviaComando1Click, false);
  Separador(fUtilitarios);
  // A check item: the menu toggles the mark itself.
  Mostracomando1 = Item(fUtilitarios, "Mostra resposta do comando", "Mostracomando1", nullptr);
  Mostracomando1->setCheckable(true);
  Mostracomando1->setChecked(false);
}

void TForm1::LigaComponente() {
  ZuvoECF1.SetOnMsgAguarde([this](const std::string& Mensagem) {
    StatusPanel1->setText(DeCp1252(StringReplace(Mensagem, "\n", " ")));
  });
  ZuvoECF1.SetOnAguardandoRespostaChange([this](TZuvoECFClass*) {
    StatusPanel0->setText(ZuvoECF1.AguardandoResposta() ? QStringLiteral("Processando...")
                                                        : QString());
  });
  ZuvoECF1.SetOnMsgPoucoPapel([this](TZuvoECFClass*) { Adiciona("ATENÇÃO... POUCO PAPEL"); });
}

// ---------------------------------------------------------------------------
// Shared tails

void TForm1::Adiciona(const std::string& Linha) {
  // One record per call; "\r\n" and "\n" inside start new lines.
  std::string texto = StringReplace(Linha, "\r\n", "\n");
  texto = StringReplace(texto, "\r", "\n");
  mResp->appendPlainText(DeCp1252(texto));
}

QString TForm1::TextoResposta() const { return mResp->toPlainText(); }

void TForm1::AtualizaResposta(bool LerEstado) {
  mEnviado->setPlainText(QString::fromLatin1(TraduzComando(ZuvoECF1.ComandoEnviado())));
  if (Mostracomando1->isChecked()) Adiciona(TraduzComando(ZuvoECF1.RespostaComando()));
  Adiciona(kSeparadorResposta);
  if (LerEstado) StatusPanel0->setText(DeCp1252(LeEstado()));
}

std::string TForm1::LeEstado() {
  try {
    const int e = ZuvoECF1.Estado();
    if (e >= 0 && e < 9) return NomesEstado[e];
  } catch (const std::exception&) {
    // Reported below as a failed read.
  }
  Adiciona("**** Falha ao ler ESTADO do ECF ****");
  return "Falha ao ler";
}

void TForm1::TrataExcecao(const std::string& Mensagem) {
  Adiciona(Mensagem);
  StatusPanel0->setText(QStringLiteral("Exception"));
  AtualizaResposta(false);
}

void TForm1::Protege(const std::function<void()>& Handler) {
  try {
    Handler();
  } catch (const std::exception& e) {
    TrataExcecao(e.what());
  } catch (...) {
    TrataExcecao("Erro desconhecido");
  }
}

bool TForm1::Pergunta(const std::string& Titulo, const std::string& Texto, std::string& Valor) {
  return Toolkit().inputBox(Titulo, Texto, Valor);
}

double TForm1::LeValor(const std::string& Texto) {
  std::string t = Texto;
  TrocaPrimeiro(t, '.', kSeparadorDecimal);
  TrocaPrimeiro(t, ',', kSeparadorDecimal);
  return TextoParaNumeroDef(t, 0);
}

void TForm1::SelecionaModeloAtual() {
  const QSignalBlocker bloqueio(cbxModelo);
  cbxModelo->setCurrentIndex(ZuvoECF1.Modelo());
}

void TForm1::MostraPortaAtual() {
  const QString porta = DeCp1252(ZuvoECF1.Porta());
  if (cbxPorta->currentText() == porta) return;
  const QSignalBlocker bloqueio(cbxPorta);
  QLineEdit* edicao = cbxPorta->lineEdit();
  const int cursor = edicao ? edicao->cursorPosition() : 0;
  cbxPorta->setEditText(porta);
  if (edicao) edicao->setCursorPosition(std::min(cursor, static_cast<int>(porta.size())));
  MostraInicioDaPorta();
}

void TForm1::PoeAoLado(QWidget* Janela) {
  Janela->adjustSize();  // a fixed-size layout: its size is known before it shows
  const QRect moldura = frameGeometry();
  const QSize bordas = moldura.size() - geometry().size();
  const QSize tamanho = Janela->size() + bordas;
  const QRect tela = screen() ? screen()->availableGeometry() : moldura;
  if (const auto ao = PosicaoAoLado(moldura, tamanho, tela))
    Janela->move(*ao);
  else
    Janela->move(moldura.center() - QPoint(tamanho.width() / 2, tamanho.height() / 2));
}

void TForm1::AplicaArgumentos(bool TemModelo, TZuvoECFModelo Modelo, const std::string& Porta) {
  if (TemModelo) cbxModelo->setCurrentIndex(Modelo);
  if (!Porta.empty()) {
    cbxPorta->setEditText(DeCp1252(Porta));
    MostraInicioDaPorta();
  }
}

void TForm1::MostraInicioDaPorta() {
  // Set from outside (not typed): a path longer than the box shows its
  // beginning, where the device's name starts.
  if (QLineEdit* edicao = cbxPorta->lineEdit(); edicao && !edicao->hasFocus())
    edicao->setCursorPosition(0);
}

void TForm1::changeEvent(QEvent* Evento) {
  QMainWindow::changeEvent(Evento);
  if (Evento->type() == QEvent::ActivationChange && isActiveWindow())
    Protege([this] { mMsgChange(); });
}

// ---------------------------------------------------------------------------
// Configuration

void TForm1::cbxModeloChange() {
  try {
    ZuvoECF1.SetModelo(static_cast<TZuvoECFModelo>(cbxModelo->currentIndex()));
  } catch (...) {
    SelecionaModeloAtual();
    throw;
  }
}

void TForm1::cbxPortaChange() {
  try {
    ZuvoECF1.SetPorta(ParaCp1252(cbxPorta->currentText()));
  } catch (...) {
    MostraPortaAtual();
    throw;
  }
  MostraPortaAtual();
}

void TForm1::edTimeoutChange() {
  try {
    ZuvoECF1.SetTimeOut(static_cast<int>(StrToInt(ParaCp1252(edTimeout->text()))));
  } catch (const Exception&) {
    // Not a whole number (yet): the time-out stays as it was.
  }
}

void TForm1::edIntervaloAposComandoChange() {
  try {
    ZuvoECF1.SetIntervaloAposComando(
        static_cast<int>(StrToInt(ParaCp1252(edIntervaloAposComando->text()))));
  } catch (const Exception&) {
    // Not a whole number (yet): the interval stays as it was.
  }
}

void TForm1::mMsgChange() {
  std::string msg;
  for (const QString& linha : mMsg->toPlainText().split(QLatin1Char('\n')))
    msg += ParaCp1252(linha) + "\n";
  if (!msg.empty()) msg.pop_back();
  ZuvoECF1.SetMsgAguarde(msg);
}

void TForm1::bAtivarClick() {
  if (bAtivar->text() == QLatin1String("Ativar"))
    Ativcar1Click();
  else
    Desativar1Click();
}

void TForm1::SpeedButton1Click() {
  if (!LiberaMenus) return;
  for (QAction* a : {TestaPodeAbrirCupom1, AbrirCupom1, VenderItem1, CancelarItemVendido1, Sub1,
                     EfetuarPagamento1, FecharCupom1})
    a->setVisible(!a->isVisible());
}

void TForm1::FormKeyDown() { LiberaMenus = !LiberaMenus; }

// ---------------------------------------------------------------------------
// Principal

void TForm1::Ativcar1Click() {
  try {
    if (cbxModelo->currentIndex() != 0 || ZuvoECF1.ProcuraECF(true, false, 3)) {
      ZuvoECF1.Ativar();
      bAtivar->setText(QStringLiteral("Desativar"));
      Adiciona("Ativar");
      AtualizaResposta(true);
      SelecionaModeloAtual();
    } else {
      Caixa("Nenhum ECF encontrado.", TipoMensagem::Informacao, BotoesMensagem::OK);
      SelecionaModeloAtual();
    }
  } catch (...) {
    SelecionaModeloAtual();
    MostraPortaAtual();
    throw;
  }
  MostraPortaAtual();
}

void TForm1::Desativar1Click() {
  ZuvoECF1.Desativar();
  bAtivar->setText(QStringLiteral("Ativar"));
  Adiciona("Desativar");
  AtualizaResposta(true);
}

void TForm1::Testar1Click() {
  ZuvoECF1.Testar();
  AtualizaResposta(true);
}

void TForm1::Sobre1Click() {
  Caixa(std::string("Componentes Zuvo") + LF + LF +
            "ZuvoECF: componente para Impressoras Fiscais (ECF)",
        TipoMensagem::Informacao, BotoesMensagem::OK);
}

void TForm1::Sair1Click() { close(); }

// ---------------------------------------------------------------------------
// Variaveis

void TForm1::DataHora1Click() {
  Adiciona("Data/Hora: " + DataHoraTexto(ZuvoECF1.DataHora()));
  AtualizaResposta(true);
}
void TForm1::NumECF1Click() {
  Adiciona("ECF: (" + ZuvoECF1.NumECF() + ")");
  AtualizaResposta(true);
}
void TForm1::NumLoja1Click() {
  Adiciona("NUM Loja: (" + ZuvoECF1.NumLoja() + ")");
  AtualizaResposta(true);
}
void TForm1::NSrie1Click() {
  Adiciona("Série: (" + ZuvoECF1.NumSerie() + ")");
  AtualizaResposta(true);
}
void TForm1::NVerso1Click() {
  Adiciona("Versão: " + ZuvoECF1.NumVersao());
  AtualizaResposta(true);
}
void TForm1::NumCRO1Click() {
  Adiciona("Num.CRO: (" + ZuvoECF1.NumCRO() + ")");
  AtualizaResposta(true);
}
void TForm1::PoucoPapel1Click() {
  Adiciona("Pouco Papel: " + SimNao(ZuvoECF1.PoucoPapel()));
  AtualizaResposta(true);
}
void TForm1::Estado1Click() {
  const int e = ZuvoECF1.Estado();
  Adiciona(std::string("Estado: ") + (e >= 0 && e < 9 ? NomesEstado[e] : "?"));
  AtualizaResposta(true);
}
void TForm1::HorarioVerao2Click() {
  Adiciona("Horário de Verão: " + SimNao(ZuvoECF1.HorarioVerao()));
  AtualizaResposta(true);
}
void TForm1::Arredonda1Click() {
  Adiciona("Arredondamento: " + SimNao(ZuvoECF1.Arredonda()));
  AtualizaResposta(true);
}
void TForm1::MFD1Click() {
  Adiciona("É MFD: " + SimNao(ZuvoECF1.MFD()));
  AtualizaResposta(true);
}
void TForm1::ermica1Click() {
  Adiciona("É Termica: " + SimNao(ZuvoECF1.Termica()));
  AtualizaResposta(true);
}

void TForm1::AliquotasICMS1Click() {
  ZuvoECF1.CarregaAliquotas();
  for (const auto& a : ZuvoECF1.Aliquotas())
    Adiciona("Aliquota: " + a->Indice + " -> " + FloatToStr(a->Aliquota) + " Tipo: " + a->Tipo);
  Adiciona(kLinhaFim);
}

void TForm1::FormasdePagamento1Click() {
  ZuvoECF1.CarregaFormasPagamento();
  for (const auto& f : ZuvoECF1.FormasPagamento())
    if (!f->Descricao.empty())
      Adiciona("Forma Pagto: " + f->Indice + " -> " + f->Descricao +
               "  Permite Vinculado: " + (f->PermiteVinculado ? "S" : "N"));
  Adiciona(kLinhaFim);
}

void TForm1::CarregaComprovantesNAOFiscais1Click() {
  ZuvoECF1.CarregaComprovantesNaoFiscais();
  for (const auto& c : ZuvoECF1.ComprovantesNaoFiscais())
    if (!c->Descricao.empty())
      Adiciona("CNF: " + c->Indice + " -> " + c->Descricao +
               "  Permite Vinculado: " + (c->PermiteVinculado ? "S" : "N") +
               " - FPG associada: " + c->FormaPagamento);
  Adiciona(kLinhaFim);
}

void TForm1::CarregaUnidadesdeMedida1Click() {
  ZuvoECF1.CarregaUnidadesMedida();
  for (const auto& u : ZuvoECF1.UnidadesMedida())
    if (!u->Descricao.empty()) Adiciona("Unid Medida: " + u->Indice + " -> " + u->Descricao);
  Adiciona(kLinhaFim);
}

void TForm1::LerTodasasVariaveis1Click() {
  DataHora1Click();
  NumECF1Click();
  NumLoja1Click();
  NSrie1Click();
  NVerso1Click();
  NumCRO1Click();
  NUltimoCupom1Click();
  SubTotal1Click();
  TotalPago1Click();
  PoucoPapel1Click();
  HorarioVerao2Click();
  Arredonda1Click();
  AliquotasICMS1Click();
  FormasdePagamento1Click();
  CarregaComprovantesNAOFiscais1Click();
  CarregaUnidadesdeMedida1Click();
  Estado1Click();
}

// ---------------------------------------------------------------------------
// Relatórios

void TForm1::LeituraX1Click() {
  ZuvoECF1.LeituraX();
  Adiciona("Leitura X");
  AtualizaResposta(true);
}

void TForm1::ReduoZ1Click() {
  if (ZuvoECF1.Estado() != estRequerZ) {
    if (!Sim(Caixa(std::string("A Redução Z pode Bloquear o seu ECF até as 12:00pm") + LF + LF +
                       "Continua assim mesmo ?",
                   TipoMensagem::Aviso, BotoesMensagem::SimNaoCancela)))
      return;
    if (!Sim(Caixa("Você tem certeza ?", TipoMensagem::Aviso, BotoesMensagem::SimNaoCancela)))
      return;
  }
  const RespostaMensagem r =
      Caixa("Envia hora atual ?", TipoMensagem::Confirmacao, BotoesMensagem::SimNaoCancela);
  if (r == RespostaMensagem::Cancela) return;
  const TDateTime dataHora = Sim(r) ? Agora() : 0;
  ZuvoECF1.ReducaoZ(dataHora);
  Adiciona("Reduçao Z");
  AtualizaResposta(true);
}

void TForm1::RelatorioGerencialCompleto1Click() {
  frRelatorio->TipoRelatorio = 'G';
  frRelatorio->exec();
}

void TForm1::CupomVinculadoCompleto1Click() {
  Caixa("Para imprimir um Cupom Vinculado você deve ter informaçoes dos Pagamentos Efetuados no "
        "último Cupom Fiscal",
        TipoMensagem::Informacao, BotoesMensagem::OK);
  frRelatorio->TipoRelatorio = 'V';
  frRelatorio->exec();
}

void TForm1::AbreRelatrioGerencial1Click() { ZuvoECF1.AbreRelatorioGerencial(); }

void TForm1::LinhaRelatrio1Click() {
  std::string linha;
  if (!Pergunta("Inpressão de Linha NÃO Fiscal", "Digite a linha a imprimir", linha)) return;
  ZuvoECF1.LinhaRelatorioGerencial(linha);
}

void TForm1::AbreCupomVinculado1Click() {
  const std::string coo = ZuvoECF1.NumCupom();
  const std::string titulo = "Abertura de Cupom Vinculado";
  std::string fpg = "01", cnf = " ", valorTexto = "0";
  if (!Pergunta(titulo, "Digite o Cod.Forma Pagamento utilizada no cupom anterior", fpg)) return;
  if (!Pergunta(titulo, "Digite o Cod.Comprovante Não Fiscal" + CRLF +
                            "(Não é necessário na maioria dos modelos)",
                cnf))
    return;
  if (!Pergunta(titulo, "Digite o Valor a vincular no cupom anterior" + CRLF +
                            "(Não é necessário em alguns modelos)",
                valorTexto))
    return;
  const double valor = LeValor(valorTexto);
  if (valor == 0) return;
  if (!Trim(cnf).empty())
    ZuvoECF1.AbreCupomVinculado(coo, fpg, cnf, valor);
  else
    ZuvoECF1.AbreCupomVinculado(coo, fpg, valor);
}

void TForm1::ImprimeLinhaVinculado1Click() {
  std::string linha;
  if (!Pergunta("Digite a linha a imprimir", "", linha)) return;
  ZuvoECF1.LinhaCupomVinculado(linha);
}

void TForm1::PularLinhas1Click() {
  std::string linhas = IntToStr(ZuvoECF1.LinhasEntreCupons());
  if (!Pergunta("Pular Linhas", "Digite o Numero de Linhas a Pular", linhas)) return;
  ZuvoECF1.PulaLinhas(static_cast<int>(StrToIntDef(linhas, 0)));
}

void TForm1::FechaRelatrio1Click() { ZuvoECF1.FechaRelatorio(); }

namespace {

// Asks for the first and last reductions; false when cancelled or not a
// number.
bool PerguntaReducoes(const std::string& Titulo, int& Inicial, int& Final) {
  std::string texto = "0";
  if (!Toolkit().inputBox(Titulo, "Entre com o a Reduçao Z Inicial:", texto)) return false;
  Inicial = static_cast<int>(StrToIntDef(texto, -1));
  if (Inicial < 0) return false;
  texto = "0";
  if (!Toolkit().inputBox(Titulo, "Entre com o a Reduçao Z Final:", texto)) return false;
  Final = static_cast<int>(StrToIntDef(texto, -1));
  return Final >= 0;
}

// Asks for the first and last dates; false when cancelled or not a date.
bool PerguntaDatas(const std::string& Titulo, TDateTime& Inicial, TDateTime& Final) {
  const TDateTime hoje = Agora();
  auto pede = [&](const std::string& Texto, std::string Valor, TDateTime& Data) {
    if (!Toolkit().inputBox(Titulo, Texto, Valor)) return false;
    Valor = StringReplace(Valor, "/", std::string(1, kSeparadorData));
    try {
      Data = StrToDateTime(Valor);
    } catch (const Exception&) {
      return false;
    }
    return true;
  };
  return pede("Entre com o a Data Inicial (DD/MM/AA):", "01/" + FormatDateTime("mm/yy", hoje),
              Inicial) &&
         pede("Entre com o a Data Final (DD/MM/AA):", FormatDateTime("dd/mm/yy", hoje), Final);
}

}  // namespace

void TForm1::ListaMemoriaFiscal(const TStrings& Linhas) {
  for (const auto& l : Linhas) Adiciona(l);
  Adiciona(kLinhaFim);
}

void TForm1::CapturaporNReduaoZ1Click() {
  int inicial, final;
  if (!PerguntaReducoes("Captura da Memoria Fiscal", inicial, final)) return;
  TStrings linhas;
  ZuvoECF1.LeituraMemoriaFiscalSerial(inicial, final, linhas);
  ListaMemoriaFiscal(linhas);
}

void TForm1::ImprimeporNReduaoZ1Click() {
  int inicial, final;
  if (!PerguntaReducoes("Impressão da Memoria Fiscal", inicial, final)) return;
  ZuvoECF1.LeituraMemoriaFiscal(inicial, final);
  Adiciona("Leitura da Memoria Fiscal por Reduçao");
}

void TForm1::CapturaporPeriodo1Click() {
  TDateTime inicial, final;
  if (!PerguntaDatas("Captura da Memoria Fiscal", inicial, final)) return;
  TStrings linhas;
  ZuvoECF1.LeituraMemoriaFiscalSerial(inicial, final, linhas);
  ListaMemoriaFiscal(linhas);
}

void TForm1::ImprimeporPeriodo1Click() {
  TDateTime inicial, final;
  if (!PerguntaDatas("Captura da Memoria Fiscal", inicial, final)) return;
  ZuvoECF1.LeituraMemoriaFiscal(inicial, final);
  Adiciona("Leitura da Memoria Fiscal por Datas");
}

// ---------------------------------------------------------------------------
// Cupom Fiscal

void TForm1::NUltimoCupom1Click() {
  Adiciona("Num Ultimo Cupom: " + ZuvoECF1.NumCupom());
  AtualizaResposta(true);
}
void TForm1::SubTotal1Click() {
  Adiciona("SubTotal: " + FloatToStr(ZuvoECF1.SubTotal()));
  AtualizaResposta(true);
}
void TForm1::TotalPago1Click() {
  Adiciona("Total Pago: " + FloatToStr(ZuvoECF1.TotalPago()));
  AtualizaResposta(true);
}

void TForm1::TestedeVelocidade1Click() {
  ZuvoECF1.CarregaFormasPagamento();
  if (ZuvoECF1.FormasPagamento().Count() < 1)
    throw Exception("Nenhuma Forma de Pagamento programada no ECF");
  std::string texto = "10";
  if (!Pergunta("Teste de Velocidade", "Numero de Itens a imprimir:", texto)) return;
  const RespostaMensagem r =
      Caixa("Monitorar estado do ECF ?", TipoMensagem::Confirmacao, BotoesMensagem::SimNaoCancela);
  if (r == RespostaMensagem::Cancela) return;
  const bool monitora = Sim(r);
  const int64_t n = StrToIntDef(texto, 0);
  if (n < 1) return;

  const TDateTime inicio = Agora();
  Adiciona("Imprimindo " + texto + " itens.");
  Adiciona("Iniciando Cupom: " + DataHoraTexto(inicio));
  ZuvoECF1.AbreCupom("");
  if (monitora) Adiciona("Estado ECF: " + LeEstado());
  for (int64_t i = 1; i <= n; i++) {
    if (i == 1 && monitora) Adiciona("Estado ECF: " + LeEstado());
    const std::string codigo = InteiroZeros(i, 6);
    ZuvoECF1.VendeItem(codigo, "DESCRICAO NUM.: " + codigo, "NN", static_cast<double>(i),
                       static_cast<double>(i) / 100, 0, "UN");
    ZuvoECF1.EmLinha(1);
  }
  // A discount of the cents, so that the total is a whole amount.
  const double subtotal = ZuvoECF1.SubTotal();
  ZuvoECF1.SubtotalizaCupom(-(subtotal - static_cast<double>(TruncaPreciso(subtotal))), "");
  if (monitora) Adiciona("Estado ECF: " + LeEstado());
  const std::string primeira = ZuvoECF1.FormasPagamento()[0].Indice;
  ZuvoECF1.EfetuaPagamento(primeira, ZuvoECF1.SubTotal() - ZuvoECF1.TotalPago(),
                           "ZERANDO SALDO A PAGAR RESTANTE", false);
  if (monitora) Adiciona("Estado ECF: " + LeEstado());
  ZuvoECF1.FechaCupom("TESTE DE CUPOM");
  const TDateTime fim = Agora();
  Adiciona("Finalizado em: " + DataHoraTexto(fim));
  Adiciona("Diferença: " + FormatFloat("###.##", (fim - inicio) * 86400) + " segundos");
  Adiciona(kLinhaFim);
  AtualizaResposta(true);
}

void TForm1::CancelaCupom1Click() {
  ZuvoECF1.CancelaCupom();
  Adiciona("CancelaCupom");
  AtualizaResposta(true);
}

void TForm1::TestaPodeAbrirCupom1Click() {
  const int e = ZuvoECF1.Estado();
  const std::string estado = e >= 0 && e < 9 ? NomesEstado[e] : "?";
  auto naoPode = [&] {
    Adiciona("NAO Pode Abrir Cupom..");
    Adiciona("pois o estado Atual é " + estado);
    AtualizaResposta(true);
  };
  bool pode;
  try {
    pode = ZuvoECF1.TestaPodeAbrirCupom();
  } catch (...) {
    naoPode();
    throw;
  }
  if (!pode) {
    naoPode();
    return;
  }
  Adiciona("Pode Abrir Cupom.. OK");
  AtualizaResposta(true);
}

void TForm1::AbrirCupom1Click() {
  std::string cpf = " ";
  if (!Pergunta("Abre Cupom", "Se necessário, Informe o CPF/CNPJ", cpf)) return;
  ZuvoECF1.AbreCupom(cpf);
  Adiciona("AbreCupom");
  AtualizaResposta(true);
}

void TForm1::VenderItem1Click() {
  if (!frVendeItem->isVisible()) PoeAoLado(frVendeItem);
  frVendeItem->show();
  frVendeItem->raise();
  frVendeItem->activateWindow();
}

void TForm1::CancelarItemVendido1Click() {
  std::string item = "1";
  if (!Pergunta("Cancelar Item Vendido", "Informe o número da Sequencia de Venda", item)) return;
  ZuvoECF1.CancelaItemVendido(static_cast<int>(StrToIntDef(item, 0)));
  Adiciona("Cancela Item Vendido: " + item);
  AtualizaResposta(true);
}

void TForm1::Sub1Click() {
  std::string rodape, valor = "0";
  if (ZuvoECF1.ModeloStr() == "DataRegis") {
    if (!Pergunta("Subtotaliza Cupom",
                  std::string("Se Necessário digite alguma Observaçao (até 8 linhas)") + LF +
                      "O sinal | (pipe) será convertido para #10 (quebra de linha)" + LF +
                      "A Observação também pode ser enviada no metodo FechaCupom",
                  rodape))
      rodape.clear();
  }
  if (!Pergunta("Subtotaliza Cupom",
                std::string("Digite Valor negativo para Desconto") + LF +
                    "ou Valor Positivo para Acrescimo",
                valor))
    return;
  ZuvoECF1.SubtotalizaCupom(TextoParaNumero(valor), rodape);
  Adiciona("Subtotaliza Cupom: " + valor);
  AtualizaResposta(true);
}

void TForm1::EfetuarPagamento1Click() {
  // These printers have no subtotal state: the receipt stays in sale until
  // the first payment, so there is nothing to warn about.
  const TZuvoECFModelo m = ZuvoECF1.Modelo();
  const bool semEstadoSubtotal =
      m == ecfDataRegis || m == ecfFiscNET || m == ecfUrano || m == ecfYanco || m == ecfICash;
  if (!semEstadoSubtotal && ZuvoECF1.Estado() != estPagamento)
    Caixa(std::string("Impressora nao está em Estado de Pagamento") + LF +
              "Primeiro use SubTotaliza Cupom",
          TipoMensagem::Aviso, BotoesMensagem::OK);
  frPagamento->show();
  frPagamento->raise();
  frPagamento->activateWindow();
}

void TForm1::FecharCupom1Click() {
  std::string obs = "Componentes Zuvo|Obrigado pela preferencia";
  if (!Pergunta("Fechar Cupom",
                std::string("Se Necessário digite alguma Observaçao (até 8 linhas)") + LF +
                    "O sinal | (pipe) será convertido para #10 (quebra de linha)",
                obs))
    return;
  obs = StringReplace(obs, "|", "\n");
  ZuvoECF1.FechaCupom(obs);
  Adiciona("Fecha Cupom: \n" + obs);
  AtualizaResposta(true);
}

// ---------------------------------------------------------------------------
// Dispositivos

void TForm1::AbreGaveta1Click() {
  ZuvoECF1.AbreGaveta();
  Adiciona("AbreGaveta");
  AtualizaResposta(true);
}
void TForm1::GavetaAberta1Click() {
  Adiciona("Gaveta Aberta: " + SimNao(ZuvoECF1.GavetaAberta()));
  AtualizaResposta(true);
}
void TForm1::ChequePronto1Click() {
  Adiciona("Cheque Pronto: " + SimNao(ZuvoECF1.ChequePronto()));
  AtualizaResposta(true);
}

void TForm1::ImprimeCheque1Click() {
  const std::string titulo = "Impressão de Cheque";
  std::string valorTexto = "10,00", banco = "001", favorecido = "Projeto Zuvo",
              cidade = "Sao Paulo";
  if (!Pergunta(titulo, "Entre com o valor do Cheque:", valorTexto)) return;
  const double valor = LeValor(valorTexto);
  if (valor == 0) return;
  if (!Pergunta(titulo, "Entre com o Numero do Banco", banco)) return;
  if (!Pergunta(titulo, "Entre com o Favorecido", favorecido)) return;
  if (!Pergunta(titulo, "Entre com a Cidade", cidade)) return;
  while (true) {
    if (ZuvoECF1.ChequePronto()) {
      const TDateTime agora = Agora();
      ZuvoECF1.ImprimeCheque(banco, valor, favorecido, cidade, agora,
                             "TESTE DE IMPRESSAO DE CHEQUE");
      Adiciona("ImprimeCheque Banco:" + banco + " Valor:" + valorTexto +
               " Favorecido:" + favorecido + " Cidade:" + cidade +
               " Data:" + FormatDateTime("dd/mm/yy", agora));
      AtualizaResposta(true);
      return;
    }
    // The toolkit's boxes offer no OK/Cancel pair: this one question is asked here.
    QMessageBox caixa(QMessageBox::Question, windowTitle(),
                      QStringLiteral("Favor inserir o cheque e pressionar OK"),
                      QMessageBox::Ok | QMessageBox::Cancel, this);
    if (caixa.exec() != QMessageBox::Ok) return;
  }
}

void TForm1::CancelaImpressoCheque1Click() {
  ZuvoECF1.CancelaImpressaoCheque();
  Adiciona("CancelaImpressaoCheque");
  AtualizaResposta(true);
}

// ---------------------------------------------------------------------------
// Utilitários

void TForm1::ProgramaAliquota1Click() {
  std::string texto = "18,00";
  if (!Pergunta("Programaçao de Aliquotas", "Entre com o valor da Aliquota:", texto)) return;
  const double valor = LeValor(texto);
  if (valor == 0) return;
  const RespostaMensagem r = Caixa("Aliquota do ICMS ?" + CRLF + "SIM = ICMS, NAO = ISS",
                                   TipoMensagem::Confirmacao, BotoesMensagem::SimNaoCancela);
  if (r == RespostaMensagem::Cancela) return;
  const char tipo = Sim(r) ? 'T' : 'S';
  if (!Sim(Caixa("A aliquota: [" + FloatToStr(valor) + "] do Tipo: [" + tipo +
                     "] será programada." + CRLF + CRLF +
                     "Cuidado a programação de Aliquotas é irreversivel" + CRLF +
                     "Confirma a operação ?",
                 TipoMensagem::Confirmacao, BotoesMensagem::SimNaoCancela)))
    return;
  ZuvoECF1.ProgramaAliquota(valor, tipo, "");
  AliquotasICMS1Click();
}

void TForm1::ProgramaFormadePagamento1Click() {
  std::string descricao = "CARTAO";
  if (!Pergunta("Programaçao de Formas de Pagamento (FPG)", "Entre com a Descriçao:", descricao))
    return;
  bool vinculado = true;
  const TZuvoECFModelo m = ZuvoECF1.Modelo();
  if (m != ecfNaoFiscal && m != ecfBematech && m != ecfMecaf) {
    const RespostaMensagem r = Caixa("Permite Vinculado nessa Forma de Pagamento ?",
                                     TipoMensagem::Confirmacao, BotoesMensagem::SimNaoCancela);
    if (r == RespostaMensagem::Cancela) return;
    vinculado = Sim(r);
  }
  if (!Sim(Caixa("A Forma de Pagamento: [" + descricao + "] " + "será programada." + CRLF + CRLF +
                     "Cuidado !! A programação de Formas de Pagamento é irreversivel" + CRLF +
                     "Confirma a operação ?",
                 TipoMensagem::Confirmacao, BotoesMensagem::SimNaoCancela)))
    return;
  ZuvoECF1.ProgramaFormaPagamento(descricao, vinculado, "");
  FormasdePagamento1Click();
}

void TForm1::ProgramaComprovanteNAOFiscal1Click() {
  std::string descricao = "CARTAO";
  if (!Pergunta("Programaçao de Comprovantes NAO Fiscais (CNF)", "Entre com a Descriçao:",
                descricao))
    return;
  const std::string cabeca = "Entre com a String do parametro \"Tipo\"." + CRLF;
  std::string prompt;
  switch (ZuvoECF1.Modelo()) {
    case ecfSweda:
    case ecfQuattro:
      prompt = cabeca + "&  Criaçao de um novo Grupo (Titulo)" + CRLF + "+  Entrada de Recursos" +
               CRLF + "-  Saida de Recursos" + CRLF + CRLF + "Se vazio assume Default = \"+\"" +
               CRLF + "Informe Apenas uma das Opçoes";
      break;
    case ecfDaruma:
      prompt = cabeca + "V  Comprovante Vinculado" + CRLF + "+  Entrada de Recursos" + CRLF +
               "-  Saida de Recursos" + CRLF + CRLF + "Se vazio assume Default = \"V\"" + CRLF +
               "Informe Apenas uma das Opçoes";
      break;
    case ecfSchalter:
      prompt = cabeca + "D - Permite Desconto e Item " + CRLF +
               "A - Permite Acrescimo no Subtotal" + CRLF + "C - Permite Cancelamento de Item" +
               CRLF + "P - Obriga forma de Pagamento" + CRLF + CRLF +
               "Vnn - Obriga emissao de vinculado na Forma de Pagamento nn" + CRLF + CRLF +
               "Se vazio assume Default = \"DAC\"" + CRLF +
               "Exemplos:  V04 -> Torna a Emissao do Cupom Fiscal Vinculado obrigatória para a "
               "Forma de Pagamento 04";
      break;
    case ecfFiscNET:
      prompt = cabeca + "+  Entrada de Recursos" + CRLF + "-  Saida de Recursos" + CRLF + CRLF +
               "Se vazio assume Default = \"+\"" + CRLF + "Informe Apenas uma das Opçoes";
      break;
    default:
      break;
  }
  std::string tipo;
  if (!prompt.empty() &&
      !Pergunta("Comprovantes NAO Fiscal " + ZuvoECF1.ModeloStr(), prompt, tipo))
    return;
  std::string texto = "O Comprovante Nao Fiscal: [" + descricao + "] ";
  if (!prompt.empty()) texto += " do Tipo: [" + tipo + "] ";
  texto += "será programado." + CRLF + CRLF + "Cuidado !! A programação de CNFs é irreversivel" +
           CRLF + "Confirma a operação ?";
  if (!Sim(Caixa(texto, TipoMensagem::Confirmacao, BotoesMensagem::SimNaoCancela))) return;
  ZuvoECF1.ProgramaComprovanteNaoFiscal(descricao, tipo, "");
  CarregaComprovantesNAOFiscais1Click();
}

void TForm1::ProgramaUnidadeMedida1Click() {
  std::string descricao;
  if (!Pergunta("Programaçao de Unidades de Medida", "Entre com a Descrição da Unidade de Medida:",
                descricao))
    return;
  if (!Sim(Caixa("A Unidade de Medida: [" + descricao + "] será programada." + CRLF + CRLF +
                     "Cuidado a programação de Unidades de Medida é irreversivel" + CRLF +
                     "Confirma a operação ?",
                 TipoMensagem::Confirmacao, BotoesMensagem::SimNaoCancela)))
    return;
  ZuvoECF1.ProgramaUnidadeMedida(descricao);
}

void TForm1::HorarioVerao1Click() {
  ZuvoECF1.MudaHorarioVerao();
  Adiciona("MudaHorarioVerao");
  AtualizaResposta(true);
}

void TForm1::MudaArredondamento1Click() {
  const RespostaMensagem r =
      Caixa("Arredondar ?", TipoMensagem::Confirmacao, BotoesMensagem::SimNaoCancela);
  if (r == RespostaMensagem::Cancela) return;
  ZuvoECF1.MudaArredondamento(Sim(r));
  Adiciona("MudaArredondamento");
  AtualizaResposta(true);
}

void TForm1::ImpactoAgulhas1Click() {
  ZuvoECF1.ImpactoAgulhas(2);
  Adiciona("ImpactoAgulhas");
  AtualizaResposta(true);
}

void TForm1::CorrigeEstadodeErro1Click() { ZuvoECF1.CorrigeEstadoErro(); }

void TForm1::EnviaComando1Click() {
  std::string comando, tamanho = "0";
  if (!Pergunta("Enviar Comando",
                "Digite o comando de acordo com a Sintaxe da Impressora" + std::string("\n\n") +
                    "Para Caracteres ASC use #nnn  Ex: #006 = chr(006)" + "\n\n" +
                    "Exemplo: #006 irá imprimir uma Leitura X na Bematech",
                comando))
    return;
  const bool comTamanho = ZuvoECF1.ECF().Suporta(recTamanhoResposta);
  if (comTamanho) {
    if (!Pergunta("Enviar Comando BEMATECH",
                  "Digite o tamanho em Bytes do Retorno esperado" + std::string("\n\n") +
                      "NAO adcione os 3 bytes de ACK+ST1+ST2",
                  tamanho))
      return;
  }
  const std::string bytes = DecodificaComando(comando);
  if (comTamanho) ZuvoECF1.ECF().DefineTamanhoResposta(static_cast<int>(StrToIntDef(tamanho, 0)));
  ZuvoECF1.EnviaComando(bytes);
  Adiciona("Envia Comando: " + comando);
  AtualizaResposta(true);
}

void TForm1::Mostracomando1Click() { Mostracomando1->toggle(); }

}  // namespace zuvo
