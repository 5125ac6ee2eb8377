// The DataRegis printers in the shared behaviour suites: one entry per
// firmware generation the driver tells apart (03, 05, and a later one
// without the 05 extras). Their simulator has 18% (00) and 7% (01)
// programmed, and Dinheiro (00) and Cheque (01).
#include "support/Familia.h"

namespace {

zuvo::teste::Familia DataRegis(const std::string& Versao) {
  zuvo::teste::Familia f;
  f.Nome = "DataRegis";
  f.Variante = "V" + Versao;
  f.Modelo = zuvo::ecfDataRegis;
  f.Opcoes.Variante = Versao;
  f.ProgramaComprovantes = Versao != "03";  // version 03 keeps no such table
  f.Aliquota = "18";
  f.OutraAliquota = "7";
  f.ValorAliquota = 18;
  f.FormaDinheiro = "00";
  f.FormaOutra = "01";
  f.ComandoStatus = "R";
  // The printer tells about its paper only when its status is asked.
  f.InformaPoucoPapel = false;
  return f;
}

const bool registrada = zuvo::teste::RegistraFamilia(DataRegis("03")) &&
                        zuvo::teste::RegistraFamilia(DataRegis("04")) &&
                        zuvo::teste::RegistraFamilia(DataRegis("05"));

}  // namespace
