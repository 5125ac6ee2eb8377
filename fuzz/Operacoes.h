// The session every family target runs: activation, then a few operations
// chosen by the input's first byte, with the family's own codes (tax rate,
// payment method) from the registry in tests/support. The seed recorder runs
// the very same session against the family's simulator.
#pragma once

#include <cstdint>
#include <vector>

#include "component/ZuvoECF.h"
#include "core/ZuvoUI.h"
#include "support/Familia.h"

namespace zuvo::fuzz {

/// The registered generations of a model, in registration order.
std::vector<const teste::Familia*> FamiliasDoModelo(TZuvoECFModelo Modelo);

/// Operations a session can start from (the low nibble of the first byte).
inline constexpr int kOperacoes = 16;
/// Operations run after activation.
inline constexpr int kPorSessao = 4;

/// Settings of a component that a session needs: no question is asked, no
/// wait window is shown, the family's time-out.
void Prepara(TZuvoECF& Ecf, const teste::Familia& F, HeadlessToolkit& Toolkit);

/// Activates Ecf and runs kPorSessao operations from Inicio (mod
/// kOperacoes). A printer's refusal or silence ends an operation with the
/// library's own Exception, which is an answer like any other here; any
/// other exception passes on (a fault in the code under test), and a
/// subtotal or total paid that is not a finite number aborts.
void Sessao(TZuvoECF& Ecf, const teste::Familia& F, int Inicio);

}  // namespace zuvo::fuzz
