// zuvoecf-sim: runs a printer simulator on a pseudo-terminal and prints the
// port to give the library (or the test application).
//
//   zuvoecf-sim <modelo> [--link CAMINHO] [--paper ARQUIVO] [--baud N]
//               [--mfd] [--termica] [--colunas N] [--variante NOME] [--fs2000]
//
// It runs until interrupted (Ctrl+C) or until its standard input closes when
// --stdin is given.
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

#include "sim/Simulador.h"

namespace {

volatile std::sig_atomic_t gParar = 0;
void AoSinal(int) { gParar = 1; }

int Uso() {
  std::cerr << "uso: zuvoecf-sim <modelo> [--link CAMINHO] [--paper ARQUIVO] [--baud N]\n"
               "                  [--mfd] [--termica] [--colunas N] [--variante NOME] [--fs2000]\n"
               "                  [--stdin]\n"
               "modelos: "
            << zuvo::sim::FamiliasSimuladas() << "\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Uso();
  std::string modelo = argv[1];
  std::string link, papel;
  int baud = 0;
  bool porEntrada = false;
  zuvo::sim::OpcoesSimulador opcoes;
  for (int i = 2; i < argc; i++) {
    std::string a = argv[i];
    auto valor = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::cerr << a << " precisa de um valor\n";
        std::exit(Uso());
      }
      return argv[++i];
    };
    if (a == "--link") link = valor();
    else if (a == "--paper") papel = valor();
    else if (a == "--baud") baud = std::atoi(valor().c_str());
    else if (a == "--colunas") opcoes.Colunas = std::atoi(valor().c_str());
    else if (a == "--mfd") opcoes.MFD = true;
    else if (a == "--variante") opcoes.Variante = valor();
    else if (a == "--fs2000") opcoes.Variante = "FS2000";
    else if (a == "--termica") opcoes.Termica = true;
    else if (a == "--stdin") porEntrada = true;
    else return Uso();
  }

  auto sim = zuvo::sim::CriaSimulador(modelo, opcoes);
  if (!sim) {
    std::cerr << "sem simulador para o modelo " << modelo << "\n";
    return Uso();
  }
  if (!papel.empty()) sim->SetArquivoPapel(papel);
  if (baud > 0) sim->SetBaud(baud);
  if (!link.empty() && !sim->CriaLink(link)) {
    std::cerr << "nao foi possivel criar o link " << link << "\n";
    return 1;
  }
  std::cout << (link.empty() ? sim->Porta() : link) << std::endl;

  std::signal(SIGINT, AoSinal);
  std::signal(SIGTERM, AoSinal);
  if (porEntrada) {
    char c;
    while (!gParar && ::read(0, &c, 1) > 0) {
    }
  } else {
    while (!gParar) ::pause();
  }
  sim->Para();
  if (!link.empty()) ::unlink(link.c_str());
  return 0;
}
