// The library against the Bematech simulator, side by side with the floor: a
// raw loop that writes the same frames and reads the same answers over the
// same kind of pseudo-terminal with no library in between.
//
// Each run uses a fresh simulator in a child process, so the CPU time
// measured here is the library's (and the raw loop's) alone. The library run
// records its conversation (every write and the bytes read after it); the
// raw run replays it byte for byte.
//
// Each side runs several rounds, alternately, and the table gives the medians.
//
//   bench_bematech [itens=100] [status=500] [rounds=3]
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "Medicao.h"
#include "sim/Simulador.h"

namespace {

using namespace zuvo::bench;

struct Troca {
  std::string Escrito;
  size_t Lidos = 0;
};

Medida RodaBiblioteca(int Baud, int Itens, int Status, std::vector<Troca>& Conversa) {
  SimuladorFilho sim("Bematech", {}, Baud);
  zuvo::TZuvoECF ecf;
  ecf.SetModelo(zuvo::ecfBematech);
  ecf.SetPorta(sim.Porta());
  ecf.SetIntervaloAposComando(0);
  ecf.SetTimeOut(5);
  ecf.Ativar();
  ecf.Aliquotas();  // the tax-rate table is loaded before the clock starts
  ecf.FormasPagamento();
  ecf.Device().Serial().OnDados = [&](char Direcao, const std::string& Bytes) {
    if (Direcao == 'W')
      Conversa.push_back({Bytes, 0});
    else if (!Conversa.empty())
      Conversa.back().Lidos += Bytes.size();
  };

  Medida m;
  double c0 = CpuAgora(), p0 = ParedeAgora();
  ecf.AbreCupom();
  for (int i = 1; i <= Itens; i++)
    ecf.VendeItem(zuvo::IntToStr(i), "ITEM DE TESTE " + zuvo::IntToStr(i), "18", 1, 1.5);
  ecf.SubtotalizaCupom(0);
  ecf.EfetuaPagamento("01", 1.5 * Itens);
  ecf.FechaCupom("Obrigado");
  for (int i = 0; i < Status; i++) ecf.EnviaComando(std::string(1, 19));
  m.Parede = ParedeAgora() - p0;
  m.Cpu = CpuAgora() - c0;
  ecf.Device().Serial().OnDados = nullptr;
  ecf.Desativar();
  return m;
}

// Purga: the loop also discards the input queue before each frame, as the
// protocol asks of the library (one call more per exchange).
Medida RodaPiso(int Baud, const std::vector<Troca>& Conversa, int& Falhas, bool Purga) {
  SimuladorFilho sim("Bematech", {}, Baud);
  int fd = open(sim.Porta().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &t);
  tcflush(fd, TCIOFLUSH);

  Medida m;
  double c0 = CpuAgora(), p0 = ParedeAgora();
  char buf[4096];
  for (const Troca& troca : Conversa) {
    if (Purga) tcflush(fd, TCIOFLUSH);
    size_t feito = 0;
    while (feito < troca.Escrito.size()) {
      ssize_t n = write(fd, troca.Escrito.data() + feito, troca.Escrito.size() - feito);
      if (n > 0) feito += static_cast<size_t>(n);
    }
    size_t lidos = 0;
    while (lidos < troca.Lidos) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 2000) <= 0) {
        Falhas++;
        break;
      }
      ssize_t n = read(fd, buf, sizeof(buf));
      if (n > 0) lidos += static_cast<size_t>(n);
    }
  }
  m.Parede = ParedeAgora() - p0;
  m.Cpu = CpuAgora() - c0;
  close(fd);
  return m;
}

void Relata(const char* Nome, int Baud, const Medida& Lib, const Medida& Piso,
            const Medida& PisoPurga, size_t Trocas, int Falhas) {
  std::printf("%-16s %7s  library %7.3f s wall %6.3f s cpu | floor %7.3f s %6.3f s cpu | "
              "floor+purge %7.3f s %6.3f s cpu | lib/floor wall %.3f cpu %.2f | "
              "lib/(floor+purge) wall %.3f cpu %.2f | %zu exchanges%s\n",
              Nome, Baud ? std::to_string(Baud).c_str() : "unpaced", Lib.Parede, Lib.Cpu,
              Piso.Parede, Piso.Cpu, PisoPurga.Parede, PisoPurga.Cpu, Lib.Parede / Piso.Parede,
              Lib.Cpu / Piso.Cpu, Lib.Parede / PisoPurga.Parede, Lib.Cpu / PisoPurga.Cpu, Trocas,
              Falhas ? " (replay mismatches!)" : "");
}

}  // namespace

int main(int argc, char** argv) {
  int itens = argc > 1 ? Numero(argv[1]) : 100;
  int status = argc > 2 ? Numero(argv[2]) : 500;
  int rodadas = argc > 3 ? Numero(argv[3]) : 3;
  // A receipt needs an item: the printer refuses to total an empty one.
  if (itens < 1 || status < 0 || rodadas < 1 || argc > 4) {
    std::printf("usage: %s [itens=100] [status=500] [rounds=3]\n", argv[0]);
    const bool ajuda = argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
    return ajuda ? 0 : 2;
  }
  std::printf("Bematech: a %d-item receipt and %d status commands, IntervaloAposComando 0, "
              "median of %d rounds\n",
              itens, status, rodadas);
  for (int baud : {9600, 0}) {
    std::vector<Medida> lib, piso, pisoPurga;
    size_t trocas = 0;
    int falhas = 0;
    for (int r = 0; r < rodadas; r++) {
      std::vector<Troca> conversa;
      lib.push_back(RodaBiblioteca(baud, itens, status, conversa));
      piso.push_back(RodaPiso(baud, conversa, falhas, false));
      pisoPurga.push_back(RodaPiso(baud, conversa, falhas, true));
      trocas = conversa.size();
    }
    Relata("receipt + status", baud, Mediana(lib), Mediana(piso), Mediana(pisoPurga), trocas,
           falhas);
  }
  return 0;
}
