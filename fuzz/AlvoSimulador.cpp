// The simulators' command parsers: the input's first byte picks a registered
// generation (family and options), the second where the rest is cut in two;
// the two parts arrive one after the other, as a command split by the line.
// A simulator must never crash, and an exception escaping a family's
// handler is a parser fault too (the simulator survives it by dropping the
// bytes, but the command is lost).
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "sim/Simulador.h"
#include "support/Familia.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Dados, size_t Tamanho) {
  const auto& familias = zuvo::teste::Familias();
  if (Tamanho < 2 || familias.empty()) return 0;
  const auto& f = familias[Dados[0] % familias.size()];
  const std::string comandos(reinterpret_cast<const char*>(Dados + 2), Tamanho - 2);
  const size_t corte = comandos.size() * Dados[1] / 255;
  std::unique_ptr<zuvo::sim::Simulador> s = zuvo::sim::CriaSimulador(f.Nome, f.Opcoes);
  if (!s) return 0;
  s->Alimenta(comandos.substr(0, corte));
  s->Alimenta(comandos.substr(corte));
  if (s->FalhasInternas() != 0) std::abort();
  return 0;
}
