#include "sim/PtyPar.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace zuvo {

namespace {

std::runtime_error Falha(const std::string& Chamada) {
  return std::runtime_error("PtyPar: " + Chamada + ": " + std::strerror(errno));
}

void PoeCru(int fd, const char* Qual) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) throw Falha(std::string("tcgetattr ") + Qual);
  ::cfmakeraw(&tio);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) throw Falha(std::string("tcsetattr ") + Qual);
}

// Appends everything queued on the non-blocking Fd to Lido. False when the
// other side hung up (a read error other than "nothing more now").
bool LeFila(int Fd, std::string& Lido) {
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(Fd, buf, sizeof(buf));
    if (n > 0) {
      Lido.append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n == 0 || errno == EAGAIN;
  }
}

}  // namespace

int64_t PtyPar::AgoraMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void PtyPar::Saida::EscreveApos(int Ms, const std::string& Bytes) {
  fItens.push_back({fBase + std::max(Ms, 0), Bytes});
}

void PtyPar::Saida::EmPedacos(const std::string& Bytes, size_t Tamanho, int IntervaloMs,
                              int PrimeiroMs) {
  if (Tamanho == 0) Tamanho = 1;
  int64_t quando = fBase + std::max(PrimeiroMs, 0);
  for (size_t i = 0; i < Bytes.size(); i += Tamanho, quando += std::max(IntervaloMs, 0))
    fItens.push_back({quando, Bytes.substr(i, Tamanho)});
}

void PtyPar::Saida::FechaApos(int Ms) { fFecharEm = fBase + std::max(Ms, 0); }

std::string PtyPar::Saida::Bytes() const {
  std::vector<Item> itens = fItens;
  std::stable_sort(itens.begin(), itens.end(), [](const Item& a, const Item& b) { return a.Quando < b.Quando; });
  std::string r;
  for (const Item& i : itens) r += i.Bytes;
  return r;
}

PtyPar::PtyPar() {
  if (::openpty(&fMaster, &fEscravo, nullptr, nullptr, nullptr) != 0) throw Falha("openpty");
  try {
    char nome[128];
    if (::ptsname_r(fMaster, nome, sizeof(nome)) != 0) throw Falha("ptsname_r");
    fCaminho = nome;
    // Raw on both sides: no echo of what the master writes, no CR/LF games.
    PoeCru(fEscravo, "escravo");
    PoeCru(fMaster, "master");
    int flags = ::fcntl(fMaster, F_GETFL);
    if (flags < 0 || ::fcntl(fMaster, F_SETFL, flags | O_NONBLOCK) != 0)
      throw Falha("fcntl master");
    ::fcntl(fMaster, F_SETFD, FD_CLOEXEC);
    ::fcntl(fEscravo, F_SETFD, FD_CLOEXEC);
    if (::pipe2(fAcordar, O_NONBLOCK | O_CLOEXEC) != 0) throw Falha("pipe2");
  } catch (...) {
    ::close(fMaster);
    ::close(fEscravo);
    throw;
  }
}

PtyPar::~PtyPar() {
  Para();
  ::close(fAcordar[0]);
  ::close(fAcordar[1]);
  if (fMaster >= 0) ::close(fMaster);
  ::close(fEscravo);
}

void PtyPar::FechaMaster() {
  std::lock_guard<std::mutex> trava(fMutex);
  if (fMaster >= 0) ::close(fMaster);
  fMaster = -1;
  fFecharEm = -1;
  fAgenda.clear();
}

void PtyPar::Acorda() {
  char c = 1;
  [[maybe_unused]] ssize_t n = ::write(fAcordar[1], &c, 1);
}

void PtyPar::GaranteThread() {
  // Called with fMutex held.
  if (fThread.joinable()) return;
  fParar = false;
  fThread = std::thread([this] { Laco(); });
}

void PtyPar::Inicia(Roteiro R) {
  {
    std::lock_guard<std::mutex> trava(fMutex);
    fRoteiro = std::move(R);
    GaranteThread();
  }
  Acorda();
}

void PtyPar::Para() {
  {
    std::lock_guard<std::mutex> trava(fMutex);
    fParar = true;
  }
  Acorda();
  if (fThread.joinable()) fThread.join();
  std::lock_guard<std::mutex> trava(fMutex);
  fAgenda.clear();
  fRoteiro = nullptr;
  fEscrevendo = false;
  fParar = false;
  fMudou.notify_all();
}

void PtyPar::SetBaud(int Baud) {
  std::lock_guard<std::mutex> trava(fMutex);
  fBaud = Baud > 0 ? Baud : 0;
}

void PtyPar::AgendaItens(std::vector<Saida::Item>& Itens, int64_t AtrasoEntradaUs) {
  if (fBaud <= 0) {
    for (auto& i : Itens) fAgenda.emplace(i.Quando, std::move(i.Bytes));
    return;
  }
  // Each byte arrives when its ten bits have gone over the line; bytes that
  // arrive within the same millisecond are written together.
  const double byteUs = 10e6 / fBaud;
  for (auto& i : Itens) {
    int64_t inicio = std::max<int64_t>(i.Quando * 1000 + AtrasoEntradaUs, fLinhaLivreUs);
    std::string bloco;
    int64_t blocoMs = -1;
    for (size_t k = 0; k < i.Bytes.size(); k++) {
      int64_t chegaMs = (inicio + static_cast<int64_t>((k + 1) * byteUs) + 999) / 1000;
      if (chegaMs != blocoMs && !bloco.empty()) {
        fAgenda.emplace(blocoMs, bloco);
        bloco.clear();
      }
      blocoMs = chegaMs;
      bloco += i.Bytes[k];
    }
    if (!bloco.empty()) fAgenda.emplace(blocoMs, bloco);
    fLinhaLivreUs = inicio + static_cast<int64_t>(i.Bytes.size() * byteUs);
  }
}

void PtyPar::Agenda(std::vector<Saida::Item> Itens) {
  {
    std::lock_guard<std::mutex> trava(fMutex);
    AgendaItens(Itens, 0);
    GaranteThread();
  }
  Acorda();
}

std::string PtyPar::Recebido() const {
  std::lock_guard<std::mutex> trava(fMutex);
  return fRecebido;
}

bool PtyPar::EsperaRecebido(size_t N, int TimeoutMs) const {
  std::unique_lock<std::mutex> trava(fMutex);
  return fMudou.wait_for(trava, std::chrono::milliseconds(TimeoutMs),
                         [&] { return fRecebido.size() >= N; });
}

bool PtyPar::EsperaEscritas(int TimeoutMs) const {
  std::unique_lock<std::mutex> trava(fMutex);
  return fMudou.wait_for(trava, std::chrono::milliseconds(TimeoutMs),
                         [&] { return fAgenda.empty() && !fEscrevendo; });
}

bool PtyPar::EscreveTudo(const std::string& Bytes, int64_t Limite) {
  size_t feito = 0;
  while (feito < Bytes.size()) {
    ssize_t n = ::write(fMaster, Bytes.data() + feito, Bytes.size() - feito);
    if (n > 0) {
      feito += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    // The slave's input queue is full: wait for the reader, in short slices
    // so that a stop request is seen.
    {
      std::lock_guard<std::mutex> trava(fMutex);
      if (fParar) return false;
    }
    if (AgoraMs() >= Limite) return false;
    pollfd p{fMaster, POLLOUT, 0};
    ::poll(&p, 1, 50);
  }
  return true;
}

void PtyPar::Laco() {
  std::string pendente;
  bool masterOk = true;
  for (;;) {
    int espera = -1;
    bool lendo = false;
    {
      std::lock_guard<std::mutex> trava(fMutex);
      if (fParar) return;
      lendo = masterOk && fMaster >= 0 && static_cast<bool>(fRoteiro);
      if (!fAgenda.empty())
        espera = static_cast<int>(std::max<int64_t>(0, fAgenda.begin()->first - AgoraMs()));
      if (fFecharEm >= 0) {
        const int ate = static_cast<int>(std::max<int64_t>(0, fFecharEm - AgoraMs()));
        espera = espera < 0 ? ate : std::min(espera, ate);
      }
    }

    pollfd p[2] = {{fAcordar[0], POLLIN, 0}, {fMaster, static_cast<short>(lendo ? POLLIN : 0), 0}};
    int r = ::poll(p, lendo ? 2 : 1, espera);
    if (r < 0 && errno != EINTR) return;
    if (p[0].revents & POLLIN) {
      char lixo[64];
      while (::read(fAcordar[0], lixo, sizeof(lixo)) > 0) {
      }
    }

    if (lendo && (p[1].revents & (POLLIN | POLLHUP | POLLERR))) {
      std::string chegou;
      if (!LeFila(fMaster, chegou)) masterOk = false;  // hang-up: stop reading
      Roteiro roteiro;
      {
        std::lock_guard<std::mutex> trava(fMutex);
        fRecebido += chegou;
        roteiro = fRoteiro;
      }
      fMudou.notify_all();
      pendente += chegou;
      while (!pendente.empty() && roteiro) {
        Saida saida(AgoraMs());
        size_t consumido = std::min(roteiro(pendente, saida), pendente.size());
        if (saida.fFecharEm >= 0) {
          std::lock_guard<std::mutex> trava(fMutex);
          fFecharEm = fFecharEm < 0 ? saida.fFecharEm : std::min(fFecharEm, saida.fFecharEm);
        }
        if (!saida.fItens.empty()) {
          std::lock_guard<std::mutex> trava(fMutex);
          // At line speed the command itself took time to arrive.
          int64_t entradaUs = fBaud > 0 ? static_cast<int64_t>(consumido * 10e6 / fBaud) : 0;
          AgendaItens(saida.fItens, entradaUs);
        }
        if (consumido == 0) break;
        pendente.erase(0, consumido);
      }
    }

    // Writes that are due, in order.
    for (;;) {
      std::string bytes;
      {
        std::lock_guard<std::mutex> trava(fMutex);
        if (fParar || fAgenda.empty() || fAgenda.begin()->first > AgoraMs()) break;
        bytes = std::move(fAgenda.begin()->second);
        fAgenda.erase(fAgenda.begin());
        fEscrevendo = true;
      }
      bool ok = EscreveTudo(bytes, AgoraMs() + 5000);
      {
        std::lock_guard<std::mutex> trava(fMutex);
        fEscrevendo = false;
      }
      fMudou.notify_all();
      if (!ok) break;
    }
    // A close that is due, once the writes due before it went out.
    bool fechar = false;
    {
      std::lock_guard<std::mutex> trava(fMutex);
      const int64_t agora = AgoraMs();
      fechar = fFecharEm >= 0 && fFecharEm <= agora &&
               (fAgenda.empty() || fAgenda.begin()->first > fFecharEm);
    }
    if (fechar) {
      FechaMaster();
      fMudou.notify_all();
    }
  }
}

std::string PtyPar::LeMaster(int TimeoutMs) {
  pollfd p{fMaster, POLLIN, 0};
  int r;
  do {
    r = ::poll(&p, 1, TimeoutMs);
  } while (r < 0 && errno == EINTR);
  std::string lido;
  if (r <= 0 || !(p.revents & POLLIN)) return lido;
  LeFila(fMaster, lido);
  return lido;
}

std::string PtyPar::LeMasterAte(size_t N, int TimeoutMs) {
  std::string lido;
  const int64_t limite = AgoraMs() + TimeoutMs;
  while (lido.size() < N) {
    int64_t resta = limite - AgoraMs();
    if (resta <= 0) break;
    lido += LeMaster(static_cast<int>(resta));
  }
  return lido;
}

void PtyPar::EscreveMaster(const std::string& Bytes) {
  if (!EscreveTudo(Bytes, AgoraMs() + 5000))
    throw std::runtime_error("PtyPar: write master failed or found no room for 5 s");
}

void PtyPar::EscreveMasterAposMs(int Ms, const std::string& Bytes) {
  Saida s(AgoraMs());
  s.EscreveApos(Ms, Bytes);
  Agenda(std::move(s.fItens));
}

void PtyPar::EscreveEmPedacos(const std::string& Bytes, size_t Tamanho, int IntervaloMs) {
  Saida s(AgoraMs());
  s.EmPedacos(Bytes, Tamanho, IntervaloMs);
  Agenda(std::move(s.fItens));
}

}  // namespace zuvo
