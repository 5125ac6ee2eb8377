// The Quattro printer in the shared behaviour suites. Its simulator has 18%
// (T01) and 7% (T02) ICMS programmed, and Dinheiro (01) and Cheque (02).
#include "support/Familia.h"

namespace {

zuvo::teste::Familia Quattro() {
  zuvo::teste::Familia f;
  f.Nome = "Quattro";
  f.Modelo = zuvo::ecfQuattro;
  f.Aliquota = "18";
  f.OutraAliquota = "7";
  f.ValorAliquota = 18;
  f.FormaDinheiro = "01";
  f.FormaOutra = "02";
  f.ComandoStatus = "23";  // the printer's status: answered at once
  return f;
}

const bool registrada = zuvo::teste::RegistraFamilia(Quattro());

}  // namespace
