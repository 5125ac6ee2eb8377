// The Bematech printers in the shared behaviour suites: the older printer,
// the detail-memory (MFD) one and the thermal MFD one. Their simulator has
// 18% (01) and 7% (02) programmed, and Dinheiro (01) and Cheque (02).
#include "support/Familia.h"

namespace {

zuvo::teste::Familia Bematech(const std::string& Variante, bool MFD, bool Termica) {
  zuvo::teste::Familia f;
  f.Nome = "Bematech";
  f.Variante = Variante;
  f.Modelo = zuvo::ecfBematech;
  f.Opcoes.MFD = MFD;
  f.Opcoes.Termica = Termica;
  f.ComandoStatus = std::string(1, 19);
  f.Aliquota = "18";
  f.OutraAliquota = "7";
  f.ValorAliquota = 18;
  f.FormaDinheiro = "01";
  f.FormaOutra = "02";
  // The older printer does not know the MFD version query; activation waits
  // out that query's time-out, so keep it short.
  f.TimeOut = MFD ? 2 : 1;
  // A silent Bematech never acknowledges the frame.
  f.MsgSemResposta = "não responde (ACK = 0)";
  // A payment first reads the payment-method table, which gives the
  // printer 5 s to send its 1925 bytes.
  f.LimitesFalhaMs["Cortada"] = 6500;
  return f;
}

const bool registrada = zuvo::teste::RegistraFamilia(Bematech("", false, false)) &&
                        zuvo::teste::RegistraFamilia(Bematech("MFD", true, false)) &&
                        zuvo::teste::RegistraFamilia(Bematech("MFD_Termica", true, true));

}  // namespace
