#include "sim/SimNaoFiscal.h"

#include <mutex>

namespace zuvo::sim {

namespace {
constexpr char kESC = 0x1b;
}

SimNaoFiscal::SimNaoFiscal(const OpcoesSimulador&) { Inicia(); }

SimNaoFiscal::~SimNaoFiscal() { Para(); }

int SimNaoFiscal::AberturasGaveta() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fGaveta;
}

int SimNaoFiscal::Inicializacoes() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fInicializacoes;
}

size_t SimNaoFiscal::Processa(const std::string& Pendente, PtyPar::Saida&) {
  size_t i = 0;
  while (i < Pendente.size()) {
    const char c = Pendente[i];
    if (c == kESC) {
      // ESC v n is three bytes, every other escape two: wait for all of it.
      if (i + 1 >= Pendente.size()) break;
      const size_t tamanho = Pendente[i + 1] == 'v' ? 3 : 2;
      if (i + tamanho > Pendente.size()) break;
      if (Pendente[i + 1] == 'v') fGaveta++;
      if (Pendente[i + 1] == '@') fInicializacoes++;
      i += tamanho;
      continue;
    }
    if (c == '\n') {
      Imprime(fLinha);
      fLinha.clear();
    } else if (static_cast<unsigned char>(c) >= 0x20) {
      fLinha += c;
    }
    // Other control bytes (CR, SI, SO) only change how the line looks.
    i++;
  }
  return i;
}

}  // namespace zuvo::sim
