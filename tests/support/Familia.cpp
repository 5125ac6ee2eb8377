#include "support/Familia.h"

#include <cctype>

namespace zuvo::teste {

namespace {
std::vector<Familia>& Lista() {
  static std::vector<Familia> lista;
  return lista;
}
}  // namespace

std::string Familia::NomeTeste() const {
  std::string n = Nome + (Variante.empty() ? "" : "_" + Variante);
  for (char& c : n)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
}

bool RegistraFamilia(const Familia& F) {
  Lista().push_back(F);
  return true;
}

const std::vector<Familia>& Familias() { return Lista(); }

}  // namespace zuvo::teste
