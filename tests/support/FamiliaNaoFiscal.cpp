// The non-fiscal emulator in the shared suites: a plain text printer that
// never answers, whose state file starts with the legal warning accepted.
#include "support/Familia.h"

namespace {

zuvo::teste::Familia NaoFiscal() {
  zuvo::teste::Familia f;
  f.Nome = "NaoFiscal";
  f.Modelo = zuvo::ecfNaoFiscal;
  f.Aliquota = "18";
  f.OutraAliquota = "7";
  f.ValorAliquota = 18;
  f.FormaDinheiro = "01";
  f.FormaOutra = "02";
  f.LeRespostas = false;
  f.InformaPoucoPapel = false;
  f.Prepara = [](zuvo::HeadlessToolkit& t) { t.Responde(zuvo::RespostaMensagem::Sim); };
  // The file created on first use knows cash only.
  f.AposAtivar = [](zuvo::TZuvoECF& ecf) { ecf.ProgramaFormaPagamento("CARTAO"); };
  return f;
}

const bool registrada = zuvo::teste::RegistraFamilia(NaoFiscal());

}  // namespace
