#include "app/Aplicacao.h"

#include <cstdio>
#include <exception>

#include "ui/ZuvoQtTraducao.h"

namespace zuvo {

TAplicacaoTeste::TAplicacaoTeste(int& argc, char** argv) : QApplication(argc, argv) {
  // The name titles the message boxes. No display name: the window system
  // would append it to every window's caption.
  setApplicationName(QStringLiteral("Dovu ECF"));
  ui::InstalaTraducaoQt(*this);
}

TAplicacaoTeste* TAplicacaoTeste::Atual() {
  return qobject_cast<TAplicacaoTeste*>(QCoreApplication::instance());
}

bool TAplicacaoTeste::notify(QObject* Receptor, QEvent* Evento) {
  try {
    return QApplication::notify(Receptor, Evento);
  } catch (const std::exception& e) {
    Entrega(e.what());
  } catch (...) {
    Entrega("Erro desconhecido");
  }
  return false;
}

void TAplicacaoTeste::Entrega(const std::string& Mensagem) {
  if (!fTrataExcecao) {
    std::fprintf(stderr, "%s\n", Mensagem.c_str());
    return;
  }
  try {
    fTrataExcecao(Mensagem);
  } catch (...) {
    // The handler itself failed (a window being destroyed): nothing more
    // can be shown, and the event loop must go on.
  }
}

}  // namespace zuvo
