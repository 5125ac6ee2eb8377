// What the benchmarks share: a simulator in a child process (so the CPU
// time measured is the library's, or the floor's, alone) and the clocks.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/ZuvoPlataforma.h"
#include "sim/ImpressoraFiscal.h"
#include "sim/Simulador.h"

namespace zuvo::bench {

struct Medida {
  double Parede = 0;  // seconds
  double Cpu = 0;     // seconds, user + system of this process
};

// The median of several measurements (0 for none).
inline double Mediana(std::vector<double> V) {
  if (V.empty()) return 0;
  std::sort(V.begin(), V.end());
  const size_t n = V.size();
  return n % 2 ? V[n / 2] : (V[n / 2 - 1] + V[n / 2]) / 2;
}

// The median of several rounds, wall and CPU each on its own: a machine that
// is shared (a virtual one above all) stretches single runs either way, and
// the median of rounds run alternately is what both sides had in common.
inline Medida Mediana(const std::vector<Medida>& Rodadas) {
  std::vector<double> parede, cpu;
  for (const auto& r : Rodadas) {
    parede.push_back(r.Parede);
    cpu.push_back(r.Cpu);
  }
  return {Mediana(parede), Mediana(cpu)};
}

// A command-line count: a whole number from 0 to 1000000, or -1.
inline int Numero(const char* Texto) {
  char* fim = nullptr;
  long n = std::strtol(Texto, &fim, 10);
  return *Texto != '\0' && *fim == '\0' && n >= 0 && n <= 1000000 ? static_cast<int>(n) : -1;
}

inline double CpuAgora() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
         u.ru_stime.tv_usec / 1e6;
}

inline double ParedeAgora() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The real clock and sleeps, but the files a driver keeps beside the
// executable go to a fresh folder for each run (a run starts from a new day).
// AoDescansar hears every rest the protocol asks for.
class PlataformaBench : public PlataformaSistema {
 public:
  PlataformaBench() {
    char modelo[] = "/tmp/zuvo-bench-XXXXXX";
    if (::mkdtemp(modelo)) fPasta = modelo;
  }
  ~PlataformaBench() override {
    std::error_code erro;
    if (!fPasta.empty()) std::filesystem::remove_all(fPasta, erro);
  }
  PlataformaBench(const PlataformaBench&) = delete;
  PlataformaBench& operator=(const PlataformaBench&) = delete;
  std::string PastaPrograma() override { return fPasta + "/"; }
  void Descansa(int Ms) override {
    if (AoDescansar) AoDescansar(Ms);
    Dorme(Ms);
  }
  std::function<void(int)> AoDescansar;

 private:
  std::string fPasta;
};

// A simulator of Familia in a child process; the destructor stops it. With
// Relogio, the child's printers read that stopped instant as now.
class SimuladorFilho {
 public:
  SimuladorFilho(const std::string& Familia, const sim::OpcoesSimulador& Opcoes, int Baud,
                 std::time_t Relogio = 0) {
    int ida[2], volta[2];
    if (pipe(ida) != 0 || pipe(volta) != 0) std::exit(1);
    fPid = fork();
    if (fPid == 0) {
      close(ida[1]);
      close(volta[0]);
      sim::ImpressoraFiscal::ParaRelogioDoProcesso(Relogio);
      auto s = sim::CriaSimulador(Familia, Opcoes);
      if (!s) _exit(3);
      s->SetBaud(Baud);
      std::string porta = s->Porta() + "\n";
      if (write(volta[1], porta.data(), porta.size()) < 0) _exit(4);
      char c;
      while (read(ida[0], &c, 1) > 0) {
      }
      s->Para();
      _exit(0);
    }
    close(ida[0]);
    close(volta[1]);
    fControle = ida[1];
    char c;
    while (read(volta[0], &c, 1) == 1 && c != '\n') fPorta += c;
    close(volta[0]);
  }
  ~SimuladorFilho() {
    close(fControle);
    int st;
    waitpid(fPid, &st, 0);
  }
  SimuladorFilho(const SimuladorFilho&) = delete;
  SimuladorFilho& operator=(const SimuladorFilho&) = delete;
  const std::string& Porta() const { return fPorta; }

 private:
  pid_t fPid = -1;
  int fControle = -1;
  std::string fPorta;
};

}  // namespace zuvo::bench
