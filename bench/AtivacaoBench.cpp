// Activation and the receipt's printing commands against each simulated
// printer generation: wall time of TZuvoECF::Ativar (identification included)
// and of AbreCupom + FechaCupom cycles, median of several runs.
//
//   bench_ativacao [repeticoes=5]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "sim/Simulador.h"

namespace {

struct Geracao {
  const char* Nome;
  const char* Familia;
  zuvo::TZuvoECFModelo Modelo;
  zuvo::sim::OpcoesSimulador Opcoes;
};

double Agora() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double Mediana(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int repeticoes = 5;
  if (argc > 1) {
    char* fim = nullptr;
    long n = std::strtol(argv[1], &fim, 10);
    if (*fim != '\0' || n < 1) {
      std::printf("usage: %s [repeticoes=5]\n", argv[0]);
      return std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ? 0 : 2;
    }
    repeticoes = static_cast<int>(n);
  }
  std::vector<Geracao> geracoes;
  auto opc = [](bool mfd, bool termica, const char* variante) {
    zuvo::sim::OpcoesSimulador o;
    o.MFD = mfd;
    o.Termica = termica;
    o.Variante = variante;
    return o;
  };
#ifdef ZUVO_COM_BEMATECH
  geracoes.push_back({"Bematech", "Bematech", zuvo::ecfBematech, opc(false, false, "")});
  geracoes.push_back({"Bematech MFD", "Bematech", zuvo::ecfBematech, opc(true, false, "")});
  geracoes.push_back({"Bematech MFD thermal", "Bematech", zuvo::ecfBematech, opc(true, true, "")});
#endif
#ifdef ZUVO_COM_DARUMA
  geracoes.push_back({"Daruma FS345", "Daruma", zuvo::ecfDaruma, opc(false, false, "")});
  geracoes.push_back({"Daruma FS2000", "Daruma", zuvo::ecfDaruma, opc(false, false, "FS2000")});
  geracoes.push_back({"Daruma MFD", "Daruma", zuvo::ecfDaruma, opc(true, true, "")});
#endif
#ifdef ZUVO_COM_FISCNET
  geracoes.push_back({"FiscNET", "FiscNET", zuvo::ecfFiscNET, opc(false, true, "")});
#endif

  std::printf("median of %d runs, IntervaloAposComando 0 (100 in brackets)\n", repeticoes);
  std::printf("%-22s %12s %12s %16s\n", "generation", "Ativar", "[Ativar]", "open+close cupom");
  for (const Geracao& g : geracoes) {
    std::vector<double> ativar, ativar100, cupom;
    for (int i = 0; i < repeticoes; i++) {
      for (int intervalo : {0, 100}) {
        auto sim = zuvo::sim::CriaSimulador(g.Familia, g.Opcoes);
        if (!sim) return 3;
        zuvo::TZuvoECF ecf;
        ecf.SetModelo(g.Modelo);
        ecf.SetPorta(sim->Porta());
        ecf.SetIntervaloAposComando(intervalo);
        ecf.SetTimeOut(5);
        ecf.SetReTentar(false);
        double t0 = Agora();
        ecf.Ativar();
        (intervalo ? ativar100 : ativar).push_back(Agora() - t0);
        if (intervalo == 0) {
          ecf.Aliquotas();
          ecf.FormasPagamento();
          t0 = Agora();
          ecf.AbreCupom();
          ecf.CancelaCupom();
          cupom.push_back(Agora() - t0);
        }
        ecf.Desativar();
      }
    }
    std::printf("%-22s %10.3f s %10.3f s %14.3f s\n", g.Nome, Mediana(ativar), Mediana(ativar100),
                Mediana(cupom));
  }
  return 0;
}
