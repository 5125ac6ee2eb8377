// Where a secondary window opens: beside the main window when the screen has
// room, so that it does not cover the response memo.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

namespace zuvo {

/// The top-left corner for a window of frame size Janela beside the main
/// window's frame Principal on the screen area Tela: to its right, else to
/// its left, its top level with the main window's (moved up when it would
/// leave the screen). None when neither side has room.
std::optional<QPoint> PosicaoAoLado(const QRect& Principal, const QSize& Janela, const QRect& Tela);

}  // namespace zuvo
