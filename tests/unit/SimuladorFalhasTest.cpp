// The faults an end-to-end fault matrix needs, seen from the port a driver
// opens: one late answer that later answers never overtake, an answer byte
// by byte, printing that never ends, and the port closed under the driver.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "sim/Simulador.h"

namespace {

using zuvo::sim::Falhas;

// The Bematech status query (ESC 19) and its answer: ACK, ST1, ST2.
const std::string kStatus{'\x02', '\x04', '\x00', '\x1b', '\x13', '\x2e', '\x00'};
const std::string kAbreCupom{'\x02', '\x04', '\x00', '\x1b', '\x00', '\x1b', '\x00'};

class Porta {
 public:
  explicit Porta(const std::string& Caminho) {
    fFd = ::open(Caminho.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    ::tcgetattr(fFd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fFd, TCSANOW, &t);
  }
  ~Porta() { ::close(fFd); }
  void Envia(const std::string& B) { EXPECT_EQ(::write(fFd, B.data(), B.size()), static_cast<ssize_t>(B.size())); }
  // What arrives within Ms; Fechada tells a hang-up.
  std::string Le(int Ms, size_t Ate = 1000) {
    std::string r;
    const auto fim = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    while (r.size() < Ate) {
      const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(fim - std::chrono::steady_clock::now());
      if (resta.count() <= 0) break;
      pollfd p{fFd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(resta.count())) <= 0) break;
      char b[64];
      const ssize_t n = ::read(fFd, b, sizeof b);
      if (n <= 0) {
        Fechada = true;
        break;
      }
      r.append(b, static_cast<size_t>(n));
    }
    return r;
  }
  bool Fechada = false;

 private:
  int fFd = -1;
};

class SimuladorFalhas : public ::testing::Test {
 protected:
  void SetUp() override {
    fSim = zuvo::sim::CriaSimulador("Bematech", {});
    if (!fSim) GTEST_SKIP() << "built without the Bematech family";
  }
  std::unique_ptr<zuvo::sim::Simulador> fSim;
};

TEST_F(SimuladorFalhas, OneLateAnswerIsNeverOvertakenAndTheNextComesOnTime) {
  Porta p(fSim->Porta());
  Falhas f;
  f.AtrasoProximaMs = 400;
  fSim->SetFalhas(f);
  p.Envia(kStatus);
  EXPECT_EQ(p.Le(150), "");  // the first command times out...
  p.Envia(kStatus);          // ...and the next one waits behind its late answer
  EXPECT_EQ(p.Le(100), "");
  EXPECT_EQ(p.Le(1000, 6).size(), 6u);
  EXPECT_EQ(fSim->FalhasAtuais().AtrasoProximaMs, 0);
  p.Envia(kStatus);
  EXPECT_EQ(p.Le(150, 3).size(), 3u);
}

TEST_F(SimuladorFalhas, AnAnswerByteByByteAndPrintingThatNeverEnds) {
  Porta p(fSim->Porta());
  Falhas f;
  f.IntervaloBytesMs = 150;
  fSim->SetFalhas(f);
  p.Envia(kStatus);
  EXPECT_EQ(p.Le(100).size(), 1u);
  EXPECT_EQ(p.Le(1000, 2).size(), 2u);

  f = {};
  f.ImpressaoSemFim = true;
  fSim->SetFalhas(f);
  p.Envia(kAbreCupom);
  EXPECT_EQ(p.Le(300, 3).size(), 3u);  // accepted, and now printing for good
  p.Envia(kStatus);
  EXPECT_EQ(p.Le(300), "");
  fSim->SetFalhas({});
  p.Envia(kStatus);
  EXPECT_EQ(p.Le(300, 3).size(), 3u);
}

TEST_F(SimuladorFalhas, ThePortClosesUnderTheDriver) {
  Porta p(fSim->Porta());
  Falhas f;
  f.FechaPorta = true;
  fSim->SetFalhas(f);
  p.Envia(kStatus);
  EXPECT_EQ(p.Le(1000), "");
  EXPECT_TRUE(p.Fechada);
}

// A printer that sends a late piece and then, a few milliseconds of work
// later, one due at once: the second may not pass the first on the line.
class DoisPedacos : public zuvo::sim::Simulador {
 public:
  DoisPedacos() { Inicia(); }
  ~DoisPedacos() override { Para(); }
  std::string Nome() const override { return "DoisPedacos"; }

 protected:
  size_t Processa(const std::string& Pendente, zuvo::PtyPar::Saida& Out) override {
    Responde(Out, "primeiro", 50);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Responde(Out, "segundo");
    return Pendente.size();
  }
};

TEST(SimuladorOrdem, PiecesOfOneAnswerGoOutInTheOrderTheyWereMade) {
  DoisPedacos sim;
  EXPECT_EQ(sim.Alimenta("?"), "primeirosegundo");
  Porta p(sim.Porta());
  p.Envia("?");
  EXPECT_EQ(p.Le(1000, 15), "primeirosegundo");
}

}  // namespace
