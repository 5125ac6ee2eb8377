// The Qt 6 toolkit services: the borderless stay-on-top wait window, the
// message boxes, the input box and event processing. The application creates
// one QtToolkit after its QApplication, tells it its main window and installs
// it with zuvo::SetToolkit.
#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "core/ZuvoUI.h"

class QEventLoop;

namespace zuvo::ui {

/// The font of a wait window; an empty name or a family the system lacks
/// falls back to the system's sans-serif.
QFont FonteQt(const TZuvoFonte& Fonte);
/// A colour, system colours resolved through the application palette.
QColor CorQt(TCor Cor);

class QtWaitWindow : public QWidget, public WaitWindow {
  Q_OBJECT
 public:
  QtWaitWindow(WaitWindowOwner& Dono, const WaitWindowStyle& Estilo, QWidget* Principal);
  ~QtWaitWindow() override;

  void showModalAndRun() override;
  void showModeless() override;
  bool visible() const override { return isVisible(); }
  void showText(const std::string& Texto) override;
  void shrink() override;
  void close() override;

  /// The text painted now (tests).
  const QString& Texto() const { return fTexto; }

 protected:
  void paintEvent(QPaintEvent* E) override;
  void keyPressEvent(QKeyEvent* E) override;
  void closeEvent(QCloseEvent* E) override;

 private:
  void Centraliza();

  WaitWindowOwner& fDono;
  QColor fCor;
  QColor fCorTexto;
  QPointer<QWidget> fPrincipal;
  QString fTexto;
  QEventLoop* fLaco = nullptr;
};

class QtToolkit : public ToolkitServices {
 public:
  std::unique_ptr<WaitWindow> createWaitWindow(WaitWindowOwner& Dono,
                                               const WaitWindowStyle& Estilo) override;
  void processEvents() override;
  bool mainWindowShown() override;
  /// Raises and activates the window the operator works in: an open modal
  /// dialog, else the window that was active when the wait window was
  /// created, else the main window.
  void bringAppToFront() override;
  RespostaMensagem messageBox(const std::string& Texto, TipoMensagem Tipo,
                              BotoesMensagem Botoes) override;
  bool inputBox(const std::string& Titulo, const std::string& Pergunta,
                std::string& Valor) override;

  /// The window the wait window centres on and that counts as the main form.
  void SetJanelaPrincipal(QWidget* W) { fPrincipal = W; }
  QWidget* JanelaPrincipal() const { return fPrincipal; }
  /// The wait window shown now, or null (tests).
  QtWaitWindow* JanelaEspera() const { return fEspera; }
  /// The window bringAppToFront raises now.
  QWidget* JanelaDaFrente() const;

 private:
  friend class QtWaitWindow;
  QPointer<QWidget> fPrincipal;
  QPointer<QWidget> fJanelaDaEspera;
  QtWaitWindow* fEspera = nullptr;
};

/// The QtToolkit installed now, or null when the toolkit is another one.
QtToolkit* ToolkitQtAtual();

}  // namespace zuvo::ui
