// Activation and the receipt's opening against every printer generation the
// shared suites know (tests/support/Familia*.cpp), simulators unpaced: wall
// time of TZuvoECF::Ativar (identification included) with
// IntervaloAposComando 0 and 100, and of an AbreCupom + CancelaCupom cycle,
// median of several runs.
//
//   bench_ativacao [repeticoes=5] [filtro]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "core/ZuvoUI.h"
#include "Medicao.h"
#include "sim/Simulador.h"
#include "support/Familia.h"

namespace {

using zuvo::bench::Mediana;
using zuvo::teste::Familia;

struct Tempos {
  std::vector<double> Ativar, Ativar100, Cupom;
};

// One activation of F (and, with IntervaloAposComando 0, one receipt opened
// and cancelled), each with its own simulator and its own folder for the
// files the driver keeps.
void Mede(const Familia& F, int Intervalo, Tempos& T) {
  zuvo::bench::PlataformaBench plataforma;
  zuvo::SetPlataforma(&plataforma);
  zuvo::HeadlessToolkit toolkit;
  zuvo::SetToolkit(&toolkit);
  struct Restaura {
    ~Restaura() {
      zuvo::SetToolkit(nullptr);
      zuvo::SetPlataforma(nullptr);
    }
  } restaura;
  if (F.Prepara) F.Prepara(toolkit);
  auto sim = zuvo::sim::CriaSimulador(F.Nome, F.Opcoes);
  if (!sim) throw std::runtime_error("no simulator for " + F.Nome);
  zuvo::TZuvoECF ecf;
  ecf.SetModelo(F.Modelo);
  ecf.SetPorta(sim->Porta());
  ecf.SetIntervaloAposComando(Intervalo);
  ecf.SetTimeOut(5);
  ecf.SetReTentar(false);
  double t0 = zuvo::bench::ParedeAgora();
  ecf.Ativar();
  (Intervalo ? T.Ativar100 : T.Ativar).push_back(zuvo::bench::ParedeAgora() - t0);
  if (F.AposAtivar) F.AposAtivar(ecf);
  if (Intervalo == 0) {
    ecf.Aliquotas();
    ecf.FormasPagamento();
    t0 = zuvo::bench::ParedeAgora();
    ecf.AbreCupom();
    ecf.CancelaCupom();
    T.Cupom.push_back(zuvo::bench::ParedeAgora() - t0);
  }
  ecf.Desativar();
}

}  // namespace

int main(int argc, char** argv) {
  const char* uso = "usage: %s [repeticoes=5] [generation filter, e.g. Sweda]\n";
  int repeticoes = 5;
  if (argc > 1) {
    const int n = zuvo::bench::Numero(argv[1]);
    if (n < 1 || n > 1000 || argc > 3) {
      std::printf(uso, argv[0]);
      return std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ? 0 : 2;
    }
    repeticoes = n;
  }
  const std::string filtro = argc > 2 ? argv[2] : "";

  std::printf("median of %d runs, IntervaloAposComando 0 (100 in brackets); target: Ativar <= 0.3 s\n",
              repeticoes);
  std::printf("%-22s %12s %12s %16s\n", "generation", "Ativar", "[Ativar]", "open+cancel cupom");
  int medidas = 0;
  bool falhou = false;
  for (const Familia& f : zuvo::teste::Familias()) {
    if (!filtro.empty() && f.NomeTeste().find(filtro) == std::string::npos) continue;
    medidas++;
    Tempos t;
    try {
      for (int i = 0; i < repeticoes; i++)
        for (int intervalo : {0, 100}) Mede(f, intervalo, t);
    } catch (const std::exception& e) {
      std::printf("%-22s failed: %s\n", f.NomeTeste().c_str(), e.what());
      falhou = true;
      continue;
    }
    std::printf("%-22s %10.3f s %10.3f s %14.3f s\n", f.NomeTeste().c_str(), Mediana(t.Ativar),
                Mediana(t.Ativar100), Mediana(t.Cupom));
    std::fflush(stdout);
  }
  if (medidas == 0) {
    std::fprintf(stderr, "no generation matches \"%s\"\n", filtro.c_str());
    return 2;
  }
  return falhou ? 1 : 0;
}
