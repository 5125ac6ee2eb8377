#include "app/Relatorio.h"

#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QStyle>
#include <QToolButton>

#include "app/ECFTeste1.h"
#include "app/FiltroValor.h"
#include "ui/ZuvoQtTexto.h"

namespace zuvo {

using ui::DeCp1252;
using ui::ParaCp1252;

TfrRelatorio::TfrRelatorio(TForm1& Principal)
    : QDialog(&Principal, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                              Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      fPrincipal(Principal) {
  setObjectName(QStringLiteral("frRelatorio"));
  setWindowTitle(DeCp1252("Relatório Gerencial"));

  mRelat = new QPlainTextEdit(this);
  mRelat->setObjectName(QStringLiteral("mRelat"));
  mRelat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mRelat->setLineWrapMode(QPlainTextEdit::NoWrap);
  mRelat->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  mRelat->setMinimumSize(360, 240);
  mRelat->setPlainText(QStringLiteral(
      "1...+....2....+....3....+....4....+...\n"
      "      TESTE DE RELATORIO\n"
      "\n"
      "O relatorio deve respeitar a \n"
      "propriedade COLUNAS do componente \n"
      "ZuvoECF.\n"
      "\n"
      "A maioria dos ECF's trabalham com 40 \n"
      "colunas, alguns com 48 colunas.\n"
      "\n"
      "O Relatorio Gerencial e usado pelas \n"
      "rotinas de TEF para imprirmir \n"
      "comprovantes, quando a impressao do \n"
      "Cupom NAO Fiscal vinculado falhar."));

  auto campo = [this](const char* Nome, const char* Texto) {
    auto* e = new QLineEdit(DeCp1252(Texto), this);
    e->setObjectName(QString::fromLatin1(Nome));
    return e;
  };
  auto rotulo = [this](const char* Nome, const char* Texto, QLineEdit* Campo) {
    auto* l = new QLabel(DeCp1252(Texto), this);
    l->setObjectName(QString::fromLatin1(Nome));
    l->setBuddy(Campo);
    return l;
  };
  auto lupa = [this](const char* Nome) {
    auto* b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(Nome));
    b->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    return b;
  };
  edVias = campo("edVias", "3");
  Label1 = rotulo("Label1", "&Vias:", edVias);
  edCupom = campo("edCupom", "");
  lCupom = rotulo("lCupom", "&Cupom", edCupom);
  edFPG = campo("edFPG", "01");
  lCodFPG = rotulo("lCodFPG", "&Form.Pagto", edFPG);
  sbFPG = lupa("sbFPG");
  edValor = campo("edValor", "1");
  TFiltroValor::Instala(edValor);
  lValor = rotulo("lValor", "&Valor:", edValor);
  edCNF = campo("edCNF", "");
  lCodCNF = rotulo("lCodCNF", "C&NF", edCNF);
  sbCNF = lupa("sbCNF");
  Button1 = new QPushButton(QStringLiteral("&Ler TXT"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setAutoDefault(false);
  Button2 = new QPushButton(QStringLiteral("&Imprimir"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setAutoDefault(false);
  for (QWidget* w : std::initializer_list<QWidget*>{lCodFPG, edFPG, sbFPG, lValor, edValor,
                                                   lCodCNF, edCNF, sbCNF})
    w->hide();

  auto* grade = new QGridLayout(this);
  grade->addWidget(mRelat, 0, 0, 1, 6);
  grade->addWidget(Label1, 1, 0);
  grade->addWidget(edVias, 1, 1);
  grade->addWidget(lCupom, 1, 2);
  grade->addWidget(edCupom, 1, 3);
  grade->addWidget(Button1, 1, 4);
  grade->addWidget(Button2, 1, 5);
  grade->addWidget(lCodFPG, 2, 0);
  grade->addWidget(edFPG, 2, 1);
  grade->addWidget(sbFPG, 2, 2);
  grade->addWidget(lValor, 2, 3);
  grade->addWidget(edValor, 2, 4);
  grade->addWidget(lCodCNF, 3, 0);
  grade->addWidget(edCNF, 3, 1);
  grade->addWidget(sbCNF, 3, 2);
  grade->setSizeConstraint(QLayout::SetFixedSize);

  auto liga = [this](auto* Emissor, auto Sinal, void (TfrRelatorio::*Handler)()) {
    connect(Emissor, Sinal, this,
            [this, Handler] { fPrincipal.Protege([this, Handler] { (this->*Handler)(); }); });
  };
  liga(Button1, &QPushButton::clicked, &TfrRelatorio::Button1Click);
  liga(Button2, &QPushButton::clicked, &TfrRelatorio::Button2Click);
  liga(sbFPG, &QToolButton::clicked, &TfrRelatorio::sbFPGClick);
  liga(sbCNF, &QToolButton::clicked, &TfrRelatorio::sbCNFClick);
  FormCreate();
}

void TfrRelatorio::FormCreate() { TipoRelatorio = 'G'; }

void TfrRelatorio::showEvent(QShowEvent* Evento) {
  QDialog::showEvent(Evento);
  fPrincipal.Protege([this] { FormShow(); });
  mRelat->setFocus();
}

void TfrRelatorio::FormShow() {
  const bool vinculado = TipoRelatorio == 'V';
  for (QWidget* w : std::initializer_list<QWidget*>{edFPG, lCodFPG, sbFPG, lValor, edValor,
                                                   lCupom, edCupom})
    w->setVisible(vinculado);
  setWindowTitle(vinculado ? QStringLiteral("Cupom NAO Fiscal Vinculado")
                           : DeCp1252("Relatório Gerêncial"));
  edCNF->clear();
  const TZuvoECFModelo m = fPrincipal.ZuvoECF1.Modelo();
  const bool comCNF = vinculado && (m == ecfDaruma || m == ecfSchalter);
  for (QWidget* w : std::initializer_list<QWidget*>{edCNF, sbCNF, lCodCNF}) w->setVisible(comCNF);
  if (vinculado) edCupom->setText(DeCp1252(fPrincipal.ZuvoECF1.NumCupom()));
}

void TfrRelatorio::CarregaArquivo(const QString& Caminho) {
  QFile arquivo(Caminho);
  if (!arquivo.open(QIODevice::ReadOnly))
    throw Exception("Erro ao abrir o arquivo: " + ParaCp1252(Caminho) + " (" +
                    ParaCp1252(arquivo.errorString()) + ")");
  const QByteArray bytes = arquivo.readAll();
  // Files from Windows are Windows-1252; a Linux editor writes UTF-8.
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString texto = utf8.decode(bytes);
  if (utf8.hasError()) texto = DeCp1252(bytes.toStdString());
  texto.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  if (texto.endsWith(QLatin1Char('\n'))) texto.chop(1);
  mRelat->setPlainText(texto);
}

void TfrRelatorio::Button1Click() {
  QFileDialog dialogo(this, QStringLiteral("Ler TXT"), QString(),
                      QStringLiteral("Arquivos Texto (*.TXT *.txt)"));
  dialogo.setObjectName(QStringLiteral("OpenDialog1"));
  dialogo.setFileMode(QFileDialog::ExistingFile);
  dialogo.setOption(QFileDialog::DontUseNativeDialog);
  if (dialogo.exec() != QDialog::Accepted || dialogo.selectedFiles().isEmpty()) return;
  CarregaArquivo(dialogo.selectedFiles().first());
}

void TfrRelatorio::Button2Click() {
  const int vias = static_cast<int>(StrToIntDef(ParaCp1252(edVias->text()), 1));
  TStrings linhas;
  for (const QString& l : mRelat->toPlainText().split(QLatin1Char('\n')))
    linhas.push_back(ParaCp1252(l));
  if (TipoRelatorio != 'V') {
    fPrincipal.ZuvoECF1.RelatorioGerencial(linhas, vias);
    return;
  }
  const std::string cnf = edCNF->isVisibleTo(this) ? ParaCp1252(edCNF->text()) : "";
  fPrincipal.ZuvoECF1.CupomVinculado(ParaCp1252(edCupom->text()), ParaCp1252(edFPG->text()), cnf,
                                     TextoParaNumeroDef(ParaCp1252(edValor->text()), 0), linhas,
                                     vias);
}

void TfrRelatorio::sbFPGClick() { fPrincipal.FormasdePagamento1Click(); }

void TfrRelatorio::sbCNFClick() { fPrincipal.CarregaComprovantesNAOFiscais1Click(); }

}  // namespace zuvo
