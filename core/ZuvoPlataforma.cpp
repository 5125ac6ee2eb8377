#include "core/ZuvoPlataforma.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace zuvo {

TDateTime PlataformaSistema::Agora() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm local {};
  time_t secs = ts.tv_sec;
  localtime_r(&secs, &local);
  TDateTime data = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  // A leap second (tm_sec 60) is folded into the last second of the minute.
  int sec = local.tm_sec > 59 ? 59 : local.tm_sec;
  return data + EncodeTime(local.tm_hour, local.tm_min, sec,
                           static_cast<int>(ts.tv_nsec / 1000000));
}

int64_t PlataformaSistema::MonotonicoMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void PlataformaSistema::Dorme(int Ms) {
  if (Ms <= 0) return;
  timespec req{Ms / 1000, static_cast<long>(Ms % 1000) * 1000000L};
  while (nanosleep(&req, &req) == -1 && errno == EINTR) {
  }
}

std::string PlataformaSistema::PastaPrograma() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return "./";
  std::string caminho(buf, static_cast<size_t>(n));
  auto barra = caminho.rfind('/');
  return barra == std::string::npos ? "./" : caminho.substr(0, barra + 1);
}

namespace {
PlataformaSistema gSistema;
Plataforma* gAtual = &gSistema;
}  // namespace

Plataforma& PlataformaAtual() { return *gAtual; }

void SetPlataforma(Plataforma* P) { gAtual = P ? P : &gSistema; }

// ---------------------------------------------------------------------------

TPrazo::TPrazo(int64_t Ms) : TPrazo(Ms, false) {}

TPrazo::TPrazo(int64_t Ms, bool Real) : fReal(Real), fFim(0) { Renova(Ms); }

TPrazo TPrazo::Real(int64_t Ms) { return TPrazo(Ms, true); }

int64_t TPrazo::Relogio() const {
  return fReal ? gSistema.MonotonicoMs() : PlataformaAtual().MonotonicoMs();
}

void TPrazo::Renova(int64_t Ms) { fFim = Relogio() + (Ms < 0 ? 0 : Ms); }

int64_t TPrazo::Restante() const {
  const int64_t r = fFim - Relogio();
  return r < 0 ? 0 : r;
}

int64_t TPrazo::Passou() const {
  const int64_t r = Relogio() - fFim;
  return r < 0 ? 0 : r;
}

int TPrazo::RestanteAte(int Maximo) const {
  const int64_t r = Restante();
  return static_cast<int>(r < Maximo ? r : Maximo);
}

}  // namespace zuvo
