// The application object of the test program. Every handler of the windows
// already catches its own errors; this is the last net: an exception that
// escapes any event handler is caught here, before it can unwind through the
// toolkit's event dispatch, and handed to the installed handler.
#pragma once

#include <QApplication>
#include <functional>
#include <string>

namespace zuvo {

class TAplicacaoTeste : public QApplication {
  Q_OBJECT
 public:
  /// Receives the message (Windows-1252) of an exception nobody caught.
  using TrataExcecaoFn = std::function<void(const std::string& Mensagem)>;

  /// Named "Dovu ECF", with Qt's own dialogs in Brazilian Portuguese when
  /// Qt's translation is installed.
  TAplicacaoTeste(int& argc, char** argv);

  bool notify(QObject* Receptor, QEvent* Evento) override;

  /// The main window installs its handler when it is created.
  void SetTrataExcecao(TrataExcecaoFn F) { fTrataExcecao = std::move(F); }
  /// The running application, or null when it is another QApplication.
  static TAplicacaoTeste* Atual();

 private:
  void Entrega(const std::string& Mensagem);

  TrataExcecaoFn fTrataExcecao;
};

}  // namespace zuvo
