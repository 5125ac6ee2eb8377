// The Daruma family in the shared behaviour suites: one entry per command
// set its simulator plays. The FS345 names its payment methods "01".."16";
// the FS2000 and the detail-memory printers by letter.
#include "support/Familia.h"

namespace {

zuvo::teste::Familia Daruma(const std::string& Variante, bool MFD, const std::string& Dinheiro,
                            const std::string& Outra) {
  zuvo::teste::Familia f;
  f.Nome = "Daruma";
  f.Variante = Variante;
  f.Modelo = zuvo::ecfDaruma;
  f.Opcoes.MFD = MFD;
  f.Opcoes.Variante = MFD ? "" : Variante;
  f.ProgramaFormas = Variante != "FS2000";  // it refuses to program its tables
  f.TipoComprovante = "+";                  // "" is a linked type, kept apart
  f.ComandoStatus = Variante == "FS2000" ? std::string{29, 5} : std::string{29, '\xff'};
  f.FormaDinheiro = Dinheiro;
  f.FormaOutra = Outra;
  // A payment gives the printer 5 s.
  f.LimitesFalhaMs["Cortada"] = 6500;
  return f;
}

const bool registrada = zuvo::teste::RegistraFamilia(Daruma("FS345", false, "01", "02")) &&
                        zuvo::teste::RegistraFamilia(Daruma("FS2000", false, "A", "B")) &&
                        zuvo::teste::RegistraFamilia(Daruma("MFD", true, "A", "B"));

}  // namespace
