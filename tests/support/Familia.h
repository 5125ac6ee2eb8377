// One printer family as the shared behaviour suites see it: which model to
// choose, which simulator answers, and the few facts of the family that the
// suites need (the tax rate and payment codes its simulator has programmed).
//
// Each family registers itself from tests/support/Familia<Nome>.cpp:
//
//   static const bool registrada = zuvo::teste::RegistraFamilia({...});
//
// and the suites in tests/e2e/ComportamentoTest.cpp run once per entry.
// A family's quirks go here, never in an if inside a suite.
#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "core/ZuvoUI.h"
#include "sim/Simulador.h"

namespace zuvo::teste {

struct Familia {
  std::string Nome;                 ///< the simulator's family name ("Bematech")
  std::string Variante;             ///< shown in the test name ("MFD", "Termica", "")
  TZuvoECFModelo Modelo = ecfNenhum;
  sim::OpcoesSimulador Opcoes;      ///< the generation the simulator plays
  std::string Aliquota = "18";      ///< a rate programmed in the simulator, as VendeItem takes it
  std::string OutraAliquota = "7";  ///< a second programmed rate
  double ValorAliquota = 18;        ///< the number of Aliquota, for AchaICMSAliquota
  /// The sale takes an item discount and the subtotal a surcharge. A
  /// printer without them is sold the same receipt without them.
  bool DescontoAcrescimo = true;
  std::string FormaDinheiro = "01"; ///< payment-method code of cash
  std::string FormaOutra = "02";    ///< a second payment method
  bool TemGaveta = true;            ///< AbreGaveta works
  bool TemVinculado = true;         ///< linked receipts work
  bool ProgramaFormas = true;       ///< payment methods can be programmed
  bool ProgramaComprovantes = true; ///< non-fiscal receipt types can be programmed
  std::string TipoComprovante;      ///< the Tipo of a plain (not linked) receipt type
  /// The printer's tax-rate table can be read. False: the rate list stays
  /// empty, Aliquota and OutraAliquota are slot codes ("T01") and a rate by
  /// value is refused.
  bool LeAliquotas = true;
  /// The printer prints the closing message kept from SubtotalizaCupom.
  bool ImprimeMensagem = true;
  int TimeOut = 2;                  ///< answer time-out for the suite (seconds)
  bool LeRespostas = true;          ///< the printer answers (a silent one can be noticed)
  bool InformaPoucoPapel = true;    ///< the printer reports low paper
  /// Called before activation, e.g. to script the answer to a question the
  /// family asks on first use.
  std::function<void(HeadlessToolkit&)> Prepara;
  /// Called after activation, e.g. to program what the suites expect.
  std::function<void(TZuvoECF&)> AposAtivar;
  /// Part of the error a silent printer ends in (families with an
  /// acknowledgement byte report the missing acknowledgement instead).
  std::string MsgSemResposta = "não está respondendo";
  /// A raw command the printer answers quickly (EnviaComando), used where a
  /// suite only needs the printer to answer; "" uses LeituraX, which some
  /// families send with a long minimum time-out.
  std::string ComandoStatus;
  /// The fault matrix's bound of a fault (by its name in docs/falhas.md),
  /// where the family's command gives the printer longer than the table's.
  /// Fault-matrix cells (by fault name, "SemPapel") this family is known to
  /// fail today, with the reason: they are reported as skipped with it, so
  /// the defect stays visible until the family is mended.
  std::map<std::string, std::string> FalhasPendentes;
  std::map<std::string, int> LimitesFalhaMs;

  /// "Bematech_MFD": a valid test-name suffix.
  std::string NomeTeste() const;
};

/// How a family shows in test names and failure messages.
inline void PrintTo(const Familia& F, std::ostream* Os) { *Os << F.NomeTeste(); }

/// Adds a family to the suites; returns true so it can initialise a static.
bool RegistraFamilia(const Familia& F);
/// Every registered family, in registration order.
const std::vector<Familia>& Familias();

}  // namespace zuvo::teste
