// The Sweda printers in the shared behaviour suites, one entry per
// generation the driver tells apart. Their simulator has 18% (T01), 7%
// (T02), the 5% service rate (S03) and 12% (T04) programmed, and DINHEIRO
// (01), CHEQUE (02) and CARTAO (03).
#include "support/Familia.h"

namespace {

zuvo::teste::Familia Sweda(const std::string& Geracao) {
  zuvo::teste::Familia f;
  f.Nome = "Sweda";
  f.Variante = Geracao;
  f.Modelo = zuvo::ecfSweda;
  f.Opcoes.Variante = Geracao;
  f.ComandoStatus = "23";
  f.FormaDinheiro = "01";
  f.FormaOutra = "02";
  return f;
}

const bool registrada = zuvo::teste::RegistraFamilia(Sweda("G1")) &&
                        zuvo::teste::RegistraFamilia(Sweda("G2")) &&
                        zuvo::teste::RegistraFamilia(Sweda("G3")) &&
                        zuvo::teste::RegistraFamilia(Sweda("G4")) &&
                        zuvo::teste::RegistraFamilia(Sweda("G5"));

}  // namespace
