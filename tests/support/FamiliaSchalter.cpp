// The Schalter printers in the shared behaviour suites: a firmware up to
// version 3 and one above it. Their simulator has 18% (00) and 7% (01)
// programmed, and Dinheiro (00) and Cartao (01), the card tied to a linked
// receipt type.
#include "support/Familia.h"

namespace {

zuvo::teste::Familia Schalter(const std::string& Variante, const std::string& Versao) {
  zuvo::teste::Familia f;
  f.Nome = "Schalter";
  f.Variante = Variante;
  f.Modelo = zuvo::ecfSchalter;
  f.Opcoes.Variante = Versao;
  f.Aliquota = "18";
  f.OutraAliquota = "7";
  f.ValorAliquota = 18;
  f.FormaDinheiro = "00";
  f.FormaOutra = "01";
  // Feeds no line: answered at once with the one status byte.
  f.ComandoStatus = std::string(1, static_cast<char>(236)) + "100";
  return f;
}

const bool registrada = zuvo::teste::RegistraFamilia(Schalter("Versao2", "2.04")) &&
                        zuvo::teste::RegistraFamilia(Schalter("Versao3", "3.10"));

}  // namespace
