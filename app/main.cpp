// The test application: the main window, then its three dialogs, then the
// event loop until the main window closes.

#include "app/Aplicacao.h"
#include "app/Argumentos.h"
#include "app/ECFTeste1.h"
#include "ui/ZuvoQtToolkit.h"

int main(int argc, char** argv) {
  zuvo::TAplicacaoTeste app(argc, argv);
  zuvo::ui::QtToolkit toolkit;
  zuvo::SetToolkit(&toolkit);

  int resultado;
  {
    zuvo::TForm1 form;
    toolkit.SetJanelaPrincipal(&form);
    const zuvo::TArgumentos args = zuvo::LeArgumentos(app.arguments().mid(1));
    form.AplicaArgumentos(args.TemModelo, args.Modelo, args.Porta);
    if (!args.Erro.empty()) form.TrataExcecao(args.Erro);
    form.show();
    resultado = app.exec();
  }
  zuvo::SetToolkit(nullptr);
  return resultado;
}
