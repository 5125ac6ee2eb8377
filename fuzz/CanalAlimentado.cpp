#include "fuzz/CanalAlimentado.h"

#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>

namespace zuvo::fuzz {

CanalAlimentado::CanalAlimentado(const uint8_t* Dados, size_t Tamanho) {
  size_t i = 0;
  while (i + 2 <= Tamanho) {
    const size_t tamanho = Dados[i] | (static_cast<size_t>(Dados[i + 1] & 0x7F) << 8);
    const bool continua = (Dados[i + 1] & 0x80) != 0;
    i += 2;
    const size_t n = std::min(tamanho, Tamanho - i);
    fPedacos.push_back({std::string(reinterpret_cast<const char*>(Dados + i), n), continua});
    i += n;
  }
}

void CanalAlimentado::Escreve(const std::string& Dados) {
  fEscrito += Dados;
  if (fPedacos.empty()) return;
  do {
    fChegou.push_back(std::move(fPedacos.front().Bytes));
    fPedacos.pop_front();
  } while (!fPedacos.empty() && fPedacos.front().Continua);
}

std::string CanalAlimentado::Recebe(int Ms) {
  if (fChegou.empty()) {
    Dorme(Ms);
    return "";
  }
  std::string r = std::move(fChegou.front());
  fChegou.pop_front();
  return r;
}

int CanalAlimentado::RecebeByte(int Ms) {
  while (!fChegou.empty() && fChegou.front().empty()) fChegou.pop_front();
  if (fChegou.empty()) {
    Dorme(Ms);
    return -1;
  }
  const int b = static_cast<unsigned char>(fChegou.front()[0]);
  fChegou.front().erase(0, 1);
  return b;
}

void CanalAlimentado::Esvazia() { fChegou.clear(); }

std::string CodificaPedaco(const std::string& Bytes, bool Continua) {
  if (Bytes.size() > 0x7FFF) throw std::length_error("piece too long");
  std::string r;
  r += static_cast<char>(Bytes.size() & 0xFF);
  r += static_cast<char>(((Bytes.size() >> 8) & 0x7F) | (Continua ? 0x80 : 0));
  return r + Bytes;
}

PlataformaVirtual::PlataformaVirtual(std::string Pasta) : fPasta(std::move(Pasta)) {}

// 2026-12-07 10:00:00 (days since 1899-12-30).
TDateTime PlataformaVirtual::Agora() { return 46363.0 + 10.0 / 24 + fRelogio / 86400000.0; }

void PlataformaVirtual::Dorme(int Ms) {
  if (Ms > 0) fRelogio += Ms;
}

std::string PastaTemporaria(const char* Nome) {
  // In memory when it can be: drivers flush their files to disk on every
  // save, and a disk would make that the target's whole cost.
  const char* raiz = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
  std::string modelo = raiz + std::string(Nome) + "-XXXXXX";
  if (!mkdtemp(modelo.data())) throw std::runtime_error("mkdtemp: " + modelo);
  return modelo + "/";
}

}  // namespace zuvo::fuzz
