#include "ui/ZuvoQtToolkit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "ui/ZuvoQtTexto.h"

namespace zuvo::ui {

QtToolkit* ToolkitQtAtual() { return dynamic_cast<QtToolkit*>(&Toolkit()); }

QFont FonteQt(const TZuvoFonte& Fonte) {
  QFont f = QApplication::font();
  // Fonts of another system (MS Sans Serif, Tahoma ...) may be missing here.
  if (!Fonte.Nome.empty()) {
    QString familia = DeCp1252(Fonte.Nome);
    if (QFontDatabase::families().contains(familia, Qt::CaseInsensitive))
      f.setFamily(familia);
    else
      f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  }
  if (Fonte.Tamanho > 0) f.setPointSize(Fonte.Tamanho);
  f.setBold(Fonte.Negrito);
  f.setItalic(Fonte.Italico);
  return f;
}

QColor CorQt(TCor Cor) {
  const QPalette p = QApplication::palette();
  switch (Cor) {
    case clHighlight: return p.color(QPalette::Highlight);
    case clHighlightText: return p.color(QPalette::HighlightedText);
    case clWindowText: return p.color(QPalette::WindowText);
    default: break;
  }
  if (Cor & clSistema) return p.color(QPalette::Window);
  return QColor(Cor & 0xFF, (Cor >> 8) & 0xFF, (Cor >> 16) & 0xFF);
}

// ---------------------------------------------------------------------------

QtWaitWindow::QtWaitWindow(WaitWindowOwner& Dono, const WaitWindowStyle& Estilo,
                           QWidget* Principal)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      fDono(Dono),
      fCor(CorQt(Estilo.Cor)),
      fCorTexto(CorQt(Estilo.Fonte.Cor)),
      fPrincipal(Principal) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setFocusPolicy(Qt::StrongFocus);
  setFont(FonteQt(Estilo.Fonte));
  setAutoFillBackground(false);
  resize(0, 0);
  Centraliza();
}

QtWaitWindow::~QtWaitWindow() {
  if (fLaco) fLaco->quit();
}

void QtWaitWindow::Centraliza() {
  QRect base;
  if (fPrincipal && fPrincipal->isVisible())
    base = fPrincipal->frameGeometry();
  else if (QScreen* s = QGuiApplication::primaryScreen())
    base = s->availableGeometry();
  move(base.center() - QPoint(width() / 2, height() / 2));
}

void QtWaitWindow::showModalAndRun() {
  setWindowModality(Qt::ApplicationModal);
  show();
  QEventLoop laco;
  fLaco = &laco;
  // The procedure runs from the event loop, so the window is up and painting
  // while it works; the loop ends when the runner closes the window.
  QTimer::singleShot(3, this, [this] { fDono.runner(); });
  if (isVisible()) laco.exec();
  fLaco = nullptr;
}

void QtWaitWindow::showModeless() {
  setWindowModality(Qt::NonModal);
  show();
}

void QtWaitWindow::showText(const std::string& Texto) {
  fTexto = DeCp1252(Texto);
  raise();
  activateWindow();
  setFocus();
  QFontMetrics m(font());
  QRect r = m.boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft | Qt::AlignTop, fTexto);
  int largura = r.width() + 20;
  int altura = r.height() + 10;
  if (std::abs(largura - width()) > 4 || std::abs(altura - height()) > 4) {
    resize(largura, altura);
    Centraliza();
  }
  repaint();
}

void QtWaitWindow::shrink() { resize(0, 0); }

void QtWaitWindow::close() {
  QWidget::close();
  if (!isVisible() && fLaco) fLaco->quit();
}

void QtWaitWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(fCorTexto);
  p.setBrush(fCor);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.setFont(font());
  p.drawText(rect().adjusted(10, 5, 0, 0), Qt::AlignLeft | Qt::AlignTop, fTexto);
}

void QtWaitWindow::keyPressEvent(QKeyEvent* E) {
  int codigo = E->key();
  if (codigo == Qt::Key_Return || codigo == Qt::Key_Enter) codigo = 13;
  else if (codigo == Qt::Key_Escape) codigo = 27;
  else if (codigo > 0xFF) codigo = 0;  // function keys and the like are never the stop key
  if (codigo == 0 || !fDono.keyPressed(codigo)) E->accept();  // discarded
  else E->ignore();
}

void QtWaitWindow::closeEvent(QCloseEvent* E) {
  if (fDono.canClose())
    E->accept();
  else
    E->ignore();
}

// ---------------------------------------------------------------------------

std::unique_ptr<WaitWindow> QtToolkit::createWaitWindow(WaitWindowOwner& Dono,
                                                        const WaitWindowStyle& Estilo) {
  // The window the operator was using when the command started (a sale or
  // report dialog, often), to be given back the front afterwards.
  fJanelaDaEspera = QApplication::activeModalWidget();
  if (!fJanelaDaEspera) fJanelaDaEspera = QApplication::activeWindow();
  auto janela = std::make_unique<QtWaitWindow>(Dono, Estilo, fPrincipal.data());
  fEspera = janela.get();
  QObject::connect(janela.get(), &QObject::destroyed, [this, p = janela.get()] {
    if (fEspera == p) fEspera = nullptr;
  });
  return janela;
}

void QtToolkit::processEvents() {
  try {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  } catch (...) {
    // An event handler's error never crosses into the library's wait.
  }
}

bool QtToolkit::mainWindowShown() { return fPrincipal && fPrincipal->isVisible(); }

QWidget* QtToolkit::JanelaDaFrente() const {
  // A modal dialog still open (the report window) must stay above the main
  // window: with no window manager to keep it there, raising the main window
  // would bury it and the program would look frozen.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal->isVisible() && !qobject_cast<QtWaitWindow*>(modal)) return modal;
  if (fJanelaDaEspera && fJanelaDaEspera->isVisible() &&
      !qobject_cast<QtWaitWindow*>(fJanelaDaEspera.data()))
    return fJanelaDaEspera;
  return fPrincipal;
}

void QtToolkit::bringAppToFront() {
  if (QWidget* janela = JanelaDaFrente()) {
    janela->raise();
    janela->activateWindow();
  }
}

RespostaMensagem QtToolkit::messageBox(const std::string& Texto, TipoMensagem Tipo,
                                       BotoesMensagem Botoes) {
  QMessageBox caixa(fPrincipal);
  caixa.setText(DeCp1252(Texto));
  caixa.setWindowTitle(QApplication::applicationName());
  switch (Tipo) {
    case TipoMensagem::Informacao: caixa.setIcon(QMessageBox::Information); break;
    case TipoMensagem::Aviso: caixa.setIcon(QMessageBox::Warning); break;
    case TipoMensagem::Erro: caixa.setIcon(QMessageBox::Critical); break;
    case TipoMensagem::Confirmacao: caixa.setIcon(QMessageBox::Question); break;
  }
  switch (Botoes) {
    case BotoesMensagem::OK:
      caixa.setStandardButtons(QMessageBox::Ok);
      break;
    case BotoesMensagem::SimNao:
      caixa.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      caixa.setDefaultButton(QMessageBox::No);
      break;
    case BotoesMensagem::SimNaoCancela:
      caixa.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      caixa.setDefaultButton(QMessageBox::Cancel);
      break;
  }
  if (QAbstractButton* b = caixa.button(QMessageBox::Yes)) b->setText(QStringLiteral("Sim"));
  if (QAbstractButton* b = caixa.button(QMessageBox::No)) b->setText(QString::fromUtf16(u"Não"));
  if (QAbstractButton* b = caixa.button(QMessageBox::Cancel))
    b->setText(QStringLiteral("Cancelar"));
  switch (caixa.exec()) {
    case QMessageBox::Yes: return RespostaMensagem::Sim;
    case QMessageBox::No: return RespostaMensagem::Nao;
    case QMessageBox::Cancel: return RespostaMensagem::Cancela;
    default: break;
  }
  if (Botoes == BotoesMensagem::OK) return RespostaMensagem::OK;
  return Botoes == BotoesMensagem::SimNaoCancela ? RespostaMensagem::Cancela
                                                 : RespostaMensagem::Nao;
}

bool QtToolkit::inputBox(const std::string& Titulo, const std::string& Pergunta,
                         std::string& Valor) {
  QInputDialog caixa(fPrincipal);
  caixa.setInputMode(QInputDialog::TextInput);
  caixa.setWindowTitle(DeCp1252(Titulo));
  caixa.setLabelText(DeCp1252(Pergunta));
  caixa.setTextValue(DeCp1252(Valor));
  // Portuguese buttons even where Qt's own translation is not installed.
  caixa.setOkButtonText(QStringLiteral("OK"));
  caixa.setCancelButtonText(QStringLiteral("Cancelar"));
  if (caixa.exec() != QDialog::Accepted) return false;
  Valor = ParaCp1252(caixa.textValue());
  return true;
}

}  // namespace zuvo::ui
