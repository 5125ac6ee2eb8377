// The ICash printer in the shared behaviour suites. Its simulator has 18%
// (T00) and 7% (T01) programmed, sold here by value as a point-of-sale
// program passes them, and Dinheiro (00) and Cheque (01).
#include "support/Familia.h"

namespace {

zuvo::teste::Familia ICash() {
  zuvo::teste::Familia f;
  f.Nome = "ICash";
  f.Modelo = zuvo::ecfICash;
  f.ComandoStatus = "67082";
  f.Aliquota = "18";
  f.OutraAliquota = "7";
  f.ValorAliquota = 18;
  f.FormaDinheiro = "00";
  f.FormaOutra = "01";
  // Paper shows only in the status register (PoucoPapel), never in a
  // command's answer: there is no notice to raise.
  f.InformaPoucoPapel = false;
  f.ProgramaFormas = false;
  return f;
}

const bool registrada = zuvo::teste::RegistraFamilia(ICash());

}  // namespace
