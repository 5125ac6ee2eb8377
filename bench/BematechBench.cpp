// The library against the Bematech simulator, side by side with the floor: a
// raw loop that writes the same frames and reads the same answers over the
// same kind of pseudo-terminal with no library in between.
//
// Each run uses a fresh simulator in a child process, so the CPU time
// measured here is the library's (and the raw loop's) alone. The library run
// records its conversation (every write and the bytes read after it); the
// raw run replays it byte for byte.
//
//   bench_bematech [itens=100] [status=500]
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

Medida RodaPiso(int Baud, const std::vector<Troca>& Conversa, int& Falhas) {
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

void Relata(const char* Nome, int Baud, const Medida& Lib, const Medida& Piso, size_t Trocas,
            int Falhas) {
  std::printf("%-22s %6s  library %7.3f s wall %6.3f s cpu (%4.1f%%) | floor %7.3f s wall "
              "%6.3f s cpu | ratio %.3f | %zu exchanges%s\n",
              Nome, Baud ? std::to_string(Baud).c_str() : "unpaced", Lib.Parede, Lib.Cpu,
              100 * Lib.Cpu / Lib.Parede, Piso.Parede, Piso.Cpu, Lib.Parede / Piso.Parede,
              Trocas, Falhas ? " (replay mismatches!)" : "");
}

}  // namespace

// A whole positive number, or -1.
int Numero(const char* Texto) {
  char* fim = nullptr;
  long n = std::strtol(Texto, &fim, 10);
  return *Texto != '\0' && *fim == '\0' && n >= 0 && n <= 1000000 ? static_cast<int>(n) : -1;
}

int main(int argc, char** argv) {
  int itens = argc > 1 ? Numero(argv[1]) : 100;
  int status = argc > 2 ? Numero(argv[2]) : 500;
  if (itens < 0 || status < 0 || argc > 3) {
    std::printf("usage: %s [itens=100] [status=500]\n", argv[0]);
    const bool ajuda = argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
    return ajuda ? 0 : 2;
  }
  std::printf("Bematech: a %d-item receipt and %d status commands, IntervaloAposComando 0\n",
              itens, status);
  for (int baud : {9600, 0}) {
    std::vector<Troca> conversa;
    Medida lib = RodaBiblioteca(baud, itens, status, conversa);
    int falhas = 0;
    Medida piso = RodaPiso(baud, conversa, falhas);
    Relata("receipt + status", baud, lib, piso, conversa.size(), falhas);
  }
  return 0;
}
