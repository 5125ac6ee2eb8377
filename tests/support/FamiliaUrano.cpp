// The Urano printer in the shared behaviour suites. It cannot report its
// tax-rate table, so it sells by slot: its simulator has 18% in T01 and 7%
// in T02, and Dinheiro (00) and Cheque (01). It has no drawer, and prints
// no closing message.
#include "support/Familia.h"

namespace {

zuvo::teste::Familia Urano() {
  zuvo::teste::Familia f;
  f.Nome = "Urano";
  f.Modelo = zuvo::ecfUrano;
  f.ComandoStatus = "23XXXXX";
  f.Aliquota = "T01";
  f.OutraAliquota = "T02";
  f.ValorAliquota = 18;
  f.LeAliquotas = false;
  f.ImprimeMensagem = false;
  f.FormaDinheiro = "00";
  f.FormaOutra = "01";
  f.TemGaveta = false;
  f.ProgramaFormas = false;
  return f;
}

const bool registrada = zuvo::teste::RegistraFamilia(Urano());

}  // namespace
