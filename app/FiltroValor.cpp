#include "app/FiltroValor.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace zuvo {

void TFiltroValor::Instala(QLineEdit* Campo) {
  Campo->installEventFilter(new TFiltroValor(Campo));
}

bool TFiltroValor::eventFilter(QObject* Objeto, QEvent* Evento) {
  if (Evento->type() != QEvent::KeyPress) return false;
  auto* tecla = static_cast<QKeyEvent*>(Evento);
  const QString texto = tecla->text();
  if (texto != QLatin1String(",") && texto != QLatin1String(".")) return false;
  if (texto == QString(QChar(kSeparadorDecimal))) return false;
  auto* campo = qobject_cast<QLineEdit*>(Objeto);
  if (!campo || campo->isReadOnly()) return false;
  // Insert the separator in place of the key (replacing a selection, as a
  // typed key does).
  campo->insert(QString(QChar(kSeparadorDecimal)));
  return true;
}

}  // namespace zuvo
