#include "app/Posicao.h"

#include <algorithm>

namespace zuvo {

std::optional<QPoint> PosicaoAoLado(const QRect& Principal, const QSize& Janela, const QRect& Tela) {
  constexpr int kEspaco = 4;  // a gap, so that both frames show
  if (Janela.width() > Tela.width() || Janela.height() > Tela.height()) return std::nullopt;
  const int topo = std::clamp(Principal.top(), Tela.top(), Tela.bottom() + 1 - Janela.height());
  const int direita = Principal.right() + 1 + kEspaco;
  if (direita + Janela.width() <= Tela.right() + 1) return QPoint(direita, topo);
  const int esquerda = Principal.left() - kEspaco - Janela.width();
  if (esquerda >= Tela.left()) return QPoint(esquerda, topo);
  return std::nullopt;
}

}  // namespace zuvo
