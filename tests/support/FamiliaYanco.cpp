// The Yanco printer in the shared behaviour suites. It has no rate-table
// read, so the suites sell by slot: its simulator has 18% in slot 01 and 7%
// in slot 02, and Dinheiro (01) and Cheque (02). Its sale and subtotal carry
// no discount or surcharge, and its answers no low-paper sign.
#include "support/Familia.h"

namespace {

zuvo::teste::Familia Yanco() {
  zuvo::teste::Familia f;
  f.Nome = "Yanco";
  f.Modelo = zuvo::ecfYanco;
  f.Aliquota = "T01";
  f.OutraAliquota = "T02";
  f.ValorAliquota = 18;
  f.LeAliquotas = false;
  f.DescontoAcrescimo = false;
  f.FormaDinheiro = "01";
  f.FormaOutra = "02";
  f.InformaPoucoPapel = false;
  // A silent Yanco never acknowledges the frame.
  f.MsgSemResposta = "não responde (ACK = 0)";
  f.ComandoStatus = "25";
  f.ProgramaFormas = false;
  return f;
}

const bool registrada = zuvo::teste::RegistraFamilia(Yanco());

}  // namespace
