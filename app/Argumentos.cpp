#include "app/Argumentos.h"

#include "ui/ZuvoQtTexto.h"

namespace zuvo {

TArgumentos LeArgumentos(const QStringList& Args) {
  TArgumentos r;
  for (int i = 0; i < Args.size() && r.Erro.empty(); i++) {
    QString nome = Args[i];
    QString valor;
    bool temValor = false;
    const int igual = nome.indexOf(QLatin1Char('='));
    if (nome.startsWith(QLatin1String("--")) && igual > 0) {
      valor = nome.mid(igual + 1);
      nome = nome.left(igual);
      temValor = true;
    }
    if (nome != QLatin1String("--modelo") && nome != QLatin1String("--porta")) {
      r.Erro = "Argumento desconhecido: " + ui::ParaCp1252(Args[i]) + LF +
               "Uso: ecfteste [--modelo NOME] [--porta CAMINHO]";
      break;
    }
    if (!temValor) {
      if (i + 1 >= Args.size()) {
        r.Erro = "Falta o valor de " + ui::ParaCp1252(nome);
        break;
      }
      valor = Args[++i];
    }
    const std::string texto = ui::ParaCp1252(valor);
    if (nome == QLatin1String("--porta")) {
      r.Porta = texto;
      continue;
    }
    TZuvoECFModelo m;
    if (ModeloDeNome(texto, m) || ModeloDeNome("ecf" + texto, m)) {
      r.TemModelo = true;
      r.Modelo = m;
    } else {
      r.Erro = "Modelo desconhecido: " + texto;
    }
  }
  return r;
}

}  // namespace zuvo
