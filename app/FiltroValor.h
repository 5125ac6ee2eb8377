// The key filter of the amount fields: a typed "," or "." becomes the
// decimal separator, so an amount can be typed on either keypad.
#pragma once

#include <QObject>

class QLineEdit;

namespace zuvo {

/// The decimal separator of the application's (Brazilian) conventions, the
/// one the library writes numbers with.
inline constexpr char kSeparadorDecimal = ',';
/// The date separator of those conventions.
inline constexpr char kSeparadorData = '/';

class TFiltroValor : public QObject {
  Q_OBJECT
 public:
  /// Installs a filter owned by the field itself.
  static void Instala(QLineEdit* Campo);

 protected:
  bool eventFilter(QObject* Objeto, QEvent* Evento) override;

 private:
  using QObject::QObject;
};

}  // namespace zuvo
