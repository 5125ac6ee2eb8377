// FiscNET in the shared behaviour suites. The simulator programs the rates
// 18% and 7% (ICMS) and the payment methods -2 (Dinheiro) and 1 (Cartão);
// the printer's own codes are the table indexes.
#include "support/Familia.h"

namespace {

zuvo::teste::Familia FiscNET() {
  zuvo::teste::Familia f;
  f.Nome = "FiscNET";
  f.Modelo = zuvo::ecfFiscNET;
  f.Aliquota = "18";
  f.OutraAliquota = "7";
  f.ValorAliquota = 18;
  f.FormaDinheiro = "-2";
  f.FormaOutra = "1";
  f.ComandoStatus = "LeInteiro;NomeInteiro=\"EstadoFiscal\"";
  return f;
}

static const bool registrada = zuvo::teste::RegistraFamilia(FiscNET());

}  // namespace
