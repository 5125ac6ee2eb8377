#include "sim/Simulador.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

namespace zuvo::sim {

Simulador::Simulador() = default;

Simulador::~Simulador() { Para(); }

void Simulador::Inicia() {
  fPar.Inicia([this](const std::string& pendente, PtyPar::Saida& out) -> size_t {
    std::lock_guard<std::mutex> trava(fTrava);
    if (fFalhas.Mudo) return pendente.size();
    return Processa(pendente, out);
  });
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
  fPapel += Linha;
  fPapel += '\n';
  if (fArquivoPapel.empty()) return;
  std::ofstream f(fArquivoPapel, std::ios::app | std::ios::binary);
  f << Linha << '\n';
}

void Simulador::Responde(PtyPar::Saida& Out, const std::string& Bytes, int AtrasoMs) {
  std::string r = Bytes;
  if (fFalhas.Parcial) r.resize(r.size() / 2);
  if (fFalhas.Corrompida && !r.empty()) r[r.size() / 2] = static_cast<char>(r[r.size() / 2] ^ 0x5A);
  if (!r.empty()) Out.EscreveApos(fFalhas.AtrasoMs + AtrasoMs, r);
}

}  // namespace zuvo::sim
