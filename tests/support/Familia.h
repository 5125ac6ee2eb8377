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

#include <string>
#include <vector>

#include "core/ZuvoECF.h"
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
  std::string FormaDinheiro = "01"; ///< payment-method code of cash
  std::string FormaOutra = "02";    ///< a second payment method
  bool TemGaveta = true;            ///< AbreGaveta works
  bool TemVinculado = true;         ///< linked receipts work
  int TimeOut = 2;                  ///< answer time-out for the suite (seconds)

  /// "Bematech_MFD": a valid test-name suffix.
  std::string NomeTeste() const;
};

/// Adds a family to the suites; returns true so it can initialise a static.
bool RegistraFamilia(const Familia& F);
/// Every registered family, in registration order.
const std::vector<Familia>& Familias();

}  // namespace zuvo::teste
