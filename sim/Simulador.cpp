#include "sim/Simulador.h"

#include "sim/Formatos.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>

namespace zuvo::sim {

Simulador::Simulador() = default;

Simulador::~Simulador() { Para(); }

void Simulador::Inicia() {
  fPar.Inicia([this](const std::string& pendente, PtyPar::Saida& out) -> size_t {
    std::lock_guard<std::mutex> trava(fTrava);
    return ProcessaProtegido(pendente, out);
  });
}

size_t Simulador::ProcessaProtegido(const std::string& Pendente, PtyPar::Saida& Out) {
  if (fFalhas.Mudo) return Pendente.size();
  try {
    return Processa(Pendente, Out);
  } catch (const std::exception&) {
    fFalhasInternas++;
    Descarta();
    return Pendente.size();
  }
}

std::string Simulador::Alimenta(const std::string& Bytes) {
  std::lock_guard<std::mutex> trava(fTrava);
  fPendente += Bytes;
  PtyPar::Saida out(AgoraMs());
  while (!fPendente.empty()) {
    const size_t n = std::min(ProcessaProtegido(fPendente, out), fPendente.size());
    if (n == 0) break;
    fPendente.erase(0, n);
  }
  return out.Bytes();
}

void Simulador::DescartaPendente() {
  std::lock_guard<std::mutex> trava(fTrava);
  fPendente.clear();
  Descarta();
}

int Simulador::FalhasInternas() const {
  std::lock_guard<std::mutex> trava(fTrava);
  return fFalhasInternas;
}

int Simulador::TempoImpressao(int Linhas) const {
  if (Linhas <= 0) return 0;
  return fFalhas.ImpressaoSemFim ? kNunca : fFalhas.MsPorLinha * Linhas;
}

void Simulador::Para() { fPar.Para(); }

bool Simulador::CriaLink(const std::string& Caminho) {
  ::unlink(Caminho.c_str());
  return ::symlink(Porta().c_str(), Caminho.c_str()) == 0;
}

void Simulador::SetArquivoPapel(const std::string& Caminho) {
  std::lock_guard<std::mutex> trava(fTrava);
  fArquivoPapel = Caminho;
}

std::string Simulador::Papel() const {
  std::lock_guard<std::mutex> trava(fTrava);
  return fPapel;
}

void Simulador::SetFalhas(const Falhas& F) {
  std::lock_guard<std::mutex> trava(fTrava);
  fFalhas = F;
}

Falhas Simulador::FalhasAtuais() const {
  std::lock_guard<std::mutex> trava(fTrava);
  return fFalhas;
}

void Simulador::Imprime(const std::string& Linha) {
  fLinhas++;
  fPapel += Linha;
  fPapel += '\n';
  if (fArquivoPapel.empty()) return;
  std::ofstream f(fArquivoPapel, std::ios::app | std::ios::binary);
  f << Linha << '\n';
}

void Simulador::Responde(PtyPar::Saida& Out, const std::string& Bytes, int AtrasoMs) {
  if (AtrasoMs < 0) return;  // still printing, for good
  int atraso = fFalhas.AtrasoMs + AtrasoMs + fFalhas.AtrasoProximaMs;
  fFalhas.AtrasoProximaMs = 0;
  if (fFalhas.FechaPorta) {
    Out.FechaApos(atraso);
    return;
  }
  std::string r = Bytes;
  if (fFalhas.Parcial) r.resize(r.size() / 2);
  if (fFalhas.Corrompida && !r.empty()) r[r.size() / 2] = static_cast<char>(r[r.size() / 2] ^ 0x5A);
  if (r.empty()) return;
  // A serial line keeps its order: an answer never overtakes a late one.
  // Times count from the script's start, as Out's do: a clock read here
  // could have ticked since, and put this piece a millisecond before the
  // one queued just ahead of it.
  const int64_t agora = Out.Inicio();
  atraso = static_cast<int>(std::max<int64_t>(atraso, fLivreEmMs - agora));
  const int intervalo = std::max(fFalhas.IntervaloBytesMs, 0);
  if (intervalo > 0)
    Out.EmPedacos(r, 1, intervalo, atraso);
  else
    Out.EscreveApos(atraso, r);
  fLivreEmMs = agora + atraso + intervalo * static_cast<int64_t>(r.size() - 1);
}

}  // namespace zuvo::sim
