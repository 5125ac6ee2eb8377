// Every printer generation the shared suites know (tests/support/Familia*.cpp),
// through the component, side by side with the floor: a bare loop that writes
// the same frames and reads the same answers over the same kind of
// pseudo-terminal with no library in between.
//
// The work is the same for each generation: a receipt of N items (open, sell,
// subtotal, one payment, close) and a run of status reads (the family's quick
// status command, or Estado where it has none). It runs at the family's own
// line speed (what its driver sets the port to) and unpaced.
//
// The simulator lives in a child process, so the CPU time measured is the
// library's (or the bare loop's) alone. The library run records its
// conversation (every write and the bytes read after it); the floor replays it
// byte for byte against a fresh simulator (activation included, untimed) and
// checks that the bytes read are the ones the library got (as one stream: a
// status byte that comes late may fall on either side of the next write): a
// mismatch is printed and the exit status is 1. The rests the protocol asks
// for between commands (Descansa: a needle printer printing a line, a
// DataRegis printer after every command) are part of the floor too; the
// simulators of both runs read one stopped clock, so clock answers match.
//
// With several rounds, each side runs them alternately and the table gives
// the medians. A family that never answers (the non-fiscal emulator) has no
// floor to compare with: its ratios read n/a.
//
//   bench_familias [itens=50] [status=200] [filtro] [rounds=1]
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
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "component/ZuvoECF.h"
#include "core/ZuvoPlataforma.h"
#include "core/ZuvoUI.h"
#include "Medicao.h"
#include "sim/Simulador.h"
#include "support/Familia.h"

namespace {

using zuvo::teste::Familia;
using namespace zuvo::bench;

struct Troca {
  std::string Escrito;
  std::string Lido;
  int DescansoMs = 0;  // the protocol's rest after this exchange
};

// The instant both runs' simulators read as now.
std::time_t gRelogio = 0;

// The line speed the family's driver sets the port to.
int BaudDaFamilia(const Familia& F) {
  zuvo::TZuvoECF ecf;
  ecf.SetModelo(F.Modelo);
  return ecf.Device().Baud();
}

// Conversa gets every exchange; the timed ones start at Inicio.
Medida RodaBiblioteca(const Familia& F, int Baud, int Itens, int Status,
                      std::vector<Troca>& Conversa, size_t& Inicio) {
  PlataformaBench plataforma;
  // A rest the protocol asks for goes into the conversation, for the floor.
  plataforma.AoDescansar = [&Conversa](int Ms) {
    if (!Conversa.empty()) Conversa.back().DescansoMs += std::max(Ms, 0);
  };
  zuvo::SetPlataforma(&plataforma);
  zuvo::HeadlessToolkit toolkit;
  zuvo::SetToolkit(&toolkit);
  SimuladorFilho sim(F.Nome, F.Opcoes, Baud, gRelogio);
  Medida m;
  {
    zuvo::TZuvoECF ecf;
    ecf.SetModelo(F.Modelo);
    ecf.SetPorta(sim.Porta());
    ecf.SetIntervaloAposComando(0);
    ecf.SetTimeOut(5);
    ecf.SetReTentar(false);
    // Everything from the activation on is recorded, so the floor brings its
    // simulator to the same state before its clock starts.
    ecf.Device().Serial().OnDados = [&](char Direcao, const std::string& Bytes) {
      if (Direcao == 'W' || Conversa.empty())
        Conversa.push_back({Direcao == 'W' ? Bytes : "", ""});
      if (Direcao != 'W') Conversa.back().Lido += Bytes;
    };
    if (F.Prepara) F.Prepara(toolkit);
    ecf.Ativar();
    if (F.AposAtivar) F.AposAtivar(ecf);
    ecf.Aliquotas();  // the tables are loaded before the clock starts
    ecf.FormasPagamento();
    Inicio = Conversa.size();

    double c0 = CpuAgora(), p0 = ParedeAgora();
    ecf.AbreCupom();
    for (int i = 1; i <= Itens; i++)
      ecf.VendeItem(zuvo::IntToStr(i), "ITEM DE TESTE " + zuvo::IntToStr(i), F.Aliquota, 1, 1.5);
    ecf.SubtotalizaCupom(0);
    ecf.EfetuaPagamento(F.FormaDinheiro, 1.5 * Itens);
    ecf.FechaCupom("Obrigado");
    for (int i = 0; i < Status; i++) {
      if (F.ComandoStatus.empty())
        ecf.Estado();
      else
        ecf.EnviaComando(F.ComandoStatus);
    }
    m.Parede = ParedeAgora() - p0;
    m.Cpu = CpuAgora() - c0;
    ecf.Device().Serial().OnDados = nullptr;
    ecf.Desativar();
  }
  zuvo::SetToolkit(nullptr);
  zuvo::SetPlataforma(nullptr);
  return m;
}

std::string Visivel(const std::string& Bytes) {
  std::string s;
  char hex[8];
  for (unsigned char c : Bytes) {
    if (c >= 32 && c < 127 && c != '\\') {
      s += static_cast<char>(c);
    } else {
      std::snprintf(hex, sizeof(hex), "\\x%02X", c);
      s += hex;
    }
  }
  return s;
}

// Replays the conversation; every answer must be the one the library read.
// Prints the first difference and returns false on a mismatch.
Medida RodaPiso(const Familia& F, int Baud, const std::vector<Troca>& Conversa, size_t Inicio,
                bool& Confere) {
  SimuladorFilho sim(F.Nome, F.Opcoes, Baud, gRelogio);
  int fd = open(sim.Porta().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    std::fprintf(stderr, "%s: cannot open %s\n", F.NomeTeste().c_str(), sim.Porta().c_str());
    Confere = false;
    return {};
  }
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &t);
  tcflush(fd, TCIOFLUSH);

  std::vector<std::string> lidos(Conversa.size());
  Medida m;
  double c0 = CpuAgora(), p0 = ParedeAgora();
  char buf[4096];
  for (size_t k = 0; k < Conversa.size(); k++) {
    if (k == Inicio) {
      c0 = CpuAgora();
      p0 = ParedeAgora();
    }
    const Troca& troca = Conversa[k];
    size_t feito = 0;
    while (feito < troca.Escrito.size()) {
      ssize_t n = write(fd, troca.Escrito.data() + feito, troca.Escrito.size() - feito);
      if (n > 0) feito += static_cast<size_t>(n);
    }
    std::string& lido = lidos[k];
    while (lido.size() < troca.Lido.size()) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 5000) <= 0) break;
      ssize_t n = read(fd, buf, std::min(sizeof(buf), troca.Lido.size() - lido.size()));
      if (n > 0) lido.append(buf, static_cast<size_t>(n));
    }
    if (troca.DescansoMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(troca.DescansoMs));
  }
  m.Parede = ParedeAgora() - p0;
  m.Cpu = CpuAgora() - c0;
  close(fd);

  // Checked after the clock stops, so the comparison costs the floor nothing.
  std::string esperado, obtido;
  for (size_t k = 0; k < Conversa.size(); k++) {
    esperado += Conversa[k].Lido;
    obtido += lidos[k];
    if (obtido.size() != esperado.size() || obtido == esperado) continue;
    std::fprintf(stderr,
                 "%s:%d: replay mismatch, %s at %d baud, exchange %zu of %zu\n"
                 "  sent:     \"%s\"\n  expected: \"%s\"\n  actual:   \"%s\"\n",
                 __FILE__, __LINE__, F.NomeTeste().c_str(), Baud, k + 1, Conversa.size(),
                 Visivel(Conversa[k].Escrito).c_str(), Visivel(Conversa[k].Lido).c_str(),
                 Visivel(lidos[k]).c_str());
    Confere = false;
    break;
  }
  if (Confere && obtido != esperado) {
    std::fprintf(stderr, "%s:%d: replay mismatch, %s at %d baud: %zu bytes read, %zu expected\n",
                 __FILE__, __LINE__, F.NomeTeste().c_str(), Baud, obtido.size(), esperado.size());
    Confere = false;
  }
  return m;
}

double Razao(double Lib, double Piso) { return Piso > 0 ? Lib / Piso : 0; }

}  // namespace

int main(int argc, char** argv) {
  const char* uso =
      "usage: %s [itens=50] [status=200] [generation filter, e.g. Daruma, or \"\"] [rounds=1]\n";
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf(uso, argv[0]);
    return 0;
  }
  int itens = argc > 1 ? Numero(argv[1]) : 50;
  int status = argc > 2 ? Numero(argv[2]) : 200;
  std::string filtro = argc > 3 ? argv[3] : "";
  const int rodadasPorLado = argc > 4 ? Numero(argv[4]) : 1;
  if (itens < 1 || status < 0 || rodadasPorLado < 1 || argc > 5) {
    std::fprintf(stderr, uso, argv[0]);
    return 2;
  }

  std::printf("a %d-item receipt and %d status reads, IntervaloAposComando 0; "
              "wall and CPU in seconds (median of %d rounds), lib/floor in brackets\n",
              itens, status, rodadasPorLado);
  std::printf("%-18s %6s | %-25s | %-25s | %-19s | %s\n", "generation", "baud",
              "paced wall lib/floor", "unpaced wall lib/floor", "CPU lib/floor (unp.)",
              "replay");
  bool tudoConfere = true;
  int rodadas = 0;
  gRelogio = std::time(nullptr);
  for (const Familia& f : zuvo::teste::Familias()) {
    if (!filtro.empty() && f.NomeTeste().find(filtro) == std::string::npos) continue;
    rodadas++;
    const int baud = BaudDaFamilia(f);
    Medida lib[2], piso[2];
    bool confere = true;
    bool responde = false;
    size_t trocas = 0;
    for (int passo = 0; passo < 2 && confere; passo++) {
      const int b = passo == 0 ? baud : 0;
      std::vector<Medida> libs, pisos;
      for (int r = 0; r < rodadasPorLado && confere; r++) {
        std::vector<Troca> conversa;
        size_t inicio = 0;
        try {
          libs.push_back(RodaBiblioteca(f, b, itens, status, conversa, inicio));
        } catch (const std::exception& e) {
          zuvo::SetToolkit(nullptr);
          zuvo::SetPlataforma(nullptr);
          std::fprintf(stderr, "%s at %d baud: the library failed: %s\n", f.NomeTeste().c_str(),
                       b, e.what());
          confere = false;
          break;
        }
        pisos.push_back(RodaPiso(f, b, conversa, inicio, confere));
        trocas = conversa.size() - inicio;
        for (size_t k = inicio; k < conversa.size(); k++) responde |= !conversa[k].Lido.empty();
      }
      lib[passo] = Mediana(libs);
      piso[passo] = Mediana(pisos);
    }
    tudoConfere = tudoConfere && confere;
    auto razao = [&](double Lib, double Piso) {
      char r[16];
      if (responde)
        std::snprintf(r, sizeof(r), "%6.3f", Razao(Lib, Piso));
      else
        std::snprintf(r, sizeof(r), "%6s", "n/a");
      return std::string(r);
    };
    std::printf("%-18s %6d | %7.3f/%7.3f (%s) | %7.3f/%7.3f (%s) | %6.3f/%6.3f (%s) | "
                "%s, %zu exchanges\n",
                f.NomeTeste().c_str(), baud, lib[0].Parede, piso[0].Parede,
                razao(lib[0].Parede, piso[0].Parede).c_str(), lib[1].Parede, piso[1].Parede,
                razao(lib[1].Parede, piso[1].Parede).c_str(), lib[1].Cpu, piso[1].Cpu,
                razao(lib[1].Cpu, piso[1].Cpu).c_str(), confere ? "OK" : "MISMATCH", trocas);
    std::fflush(stdout);
  }
  if (rodadas == 0) {
    std::fprintf(stderr, "no generation matches \"%s\"\n", filtro.c_str());
    return 2;
  }
  std::printf("targets: paced <= 1.02, unpaced <= 1.5 (wall, lib/floor)\n");
  return tudoConfere ? 0 : 1;
}
