#include "support/PlataformaTeste.h"

namespace zuvo::teste {

PlataformaTeste::PlataformaTeste() : fCalendario(EncodeDate(2026, 12, 7) + EncodeTime(10, 0, 0)) {}
PlataformaTeste::~PlataformaTeste() = default;

AmbienteTeste::AmbienteTeste() : fToolkit(std::make_unique<HeadlessToolkit>()) {
  Toolkit = fToolkit.get();
  SetPlataforma(&Plataforma);
  SetToolkit(Toolkit);
}

AmbienteTeste::~AmbienteTeste() {
  SetToolkit(nullptr);
  SetPlataforma(nullptr);
}

}  // namespace zuvo::teste
