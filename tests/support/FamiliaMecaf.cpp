// The Mecaf printers in the shared behaviour suites: a 40-column printer of
// an earlier firmware and the 201 and 301 firmwares (48 columns, their own
// sale layout). Their simulator has 18% (T01) and 7% (T02) programmed, and
// Dinheiro (00) and Cheque (01).
#include "support/Familia.h"

namespace {

zuvo::teste::Familia Mecaf(const std::string& Variante) {
  zuvo::teste::Familia f;
  f.Nome = "Mecaf";
  f.Variante = Variante;
  f.Modelo = zuvo::ecfMecaf;
  f.Opcoes.Variante = Variante;
  f.ComandoStatus = "32";
  f.Aliquota = "18";
  f.OutraAliquota = "7";
  f.ValorAliquota = 18;
  f.FormaDinheiro = "00";
  f.FormaOutra = "01";
  f.TimeOut = 1;
  return f;
}

const bool registrada = zuvo::teste::RegistraFamilia(Mecaf("")) &&
                        zuvo::teste::RegistraFamilia(Mecaf("201")) &&
                        zuvo::teste::RegistraFamilia(Mecaf("301"));

}  // namespace
