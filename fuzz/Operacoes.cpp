#include "fuzz/Operacoes.h"

#include <cmath>
#include <cstdlib>

namespace zuvo::fuzz {

std::vector<const teste::Familia*> FamiliasDoModelo(TZuvoECFModelo Modelo) {
  std::vector<const teste::Familia*> r;
  for (const auto& f : teste::Familias())
    if (f.Modelo == Modelo) r.push_back(&f);
  return r;
}

void Prepara(TZuvoECF& Ecf, const teste::Familia& F, HeadlessToolkit& Toolkit) {
  Ecf.SetModelo(F.Modelo);
  Ecf.SetReTentar(false);
  Ecf.SetExibeMensagem(false);
  Ecf.SetBloqueiaMouseTeclado(false);
  Ecf.SetTimeOut(F.TimeOut);
  if (F.Prepara) F.Prepara(Toolkit);
}

namespace {

/// A number a query reports comes from the answer's digits: a garbled answer
/// must raise, never turn into NaN or infinity.
void Finito(double Valor) {
  if (!std::isfinite(Valor)) std::abort();
}

void Operacao(TZuvoECF& Ecf, const teste::Familia& F, int Indice) {
  switch (Indice) {
    case 0: Ecf.Estado(); break;
    case 1: Finito(Ecf.SubTotal()); break;
    case 2: Ecf.VendeItem("7891234", "CAFE TORRADO", F.Aliquota, 2, 3.45); break;
    case 3: Ecf.NumCupom(); break;
    case 4: Finito(Ecf.TotalPago()); break;
    case 5: Ecf.AbreCupom(); break;
    case 6: Ecf.EfetuaPagamento(F.FormaDinheiro, 10); break;
    case 7: Ecf.CarregaAliquotas(); break;
    case 8: Ecf.CarregaFormasPagamento(); break;
    case 9: Ecf.GavetaAberta(); Ecf.PoucoPapel(); break;
    case 10: Ecf.DataHora(); break;
    case 11: Ecf.NumSerie(); Ecf.NumECF(); break;
    case 12: Ecf.SubtotalizaCupom(0); break;
    case 13: Ecf.FechaCupom(); break;
    case 14: Ecf.LeituraX(); break;
    default: Ecf.CancelaCupom(); break;
  }
}

}  // namespace

void Sessao(TZuvoECF& Ecf, const teste::Familia& F, int Inicio) {
  try {
    Ecf.Ativar();
  } catch (const Exception&) {
    return;
  }
  for (int i = 0; i < kPorSessao; ++i) {
    try {
      Operacao(Ecf, F, (Inicio + i) % kOperacoes);
    } catch (const Exception&) {
    }
  }
  Ecf.Desativar();
}

}  // namespace zuvo::fuzz
