// TfrVendeItem: the item-sale window. Shown without blocking the main
// window, it keeps its fields between items.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zuvo {

class TForm1;

class TfrVendeItem : public QDialog {
  Q_OBJECT
 public:
  explicit TfrVendeItem(TForm1& Principal);

  QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9,
      *Label10;
  QLineEdit *edCodigo, *edDescricao, *edQtd, *edPrecoUnita, *edICMS, *edDesconto, *edUN;
  QPushButton *Button1, *Button2;

 public slots:
  /// Sells the item on the fields; the button is enabled again afterwards,
  /// whatever the printer answered.
  void Button1Click();

 private:
  TForm1& fPrincipal;
};

}  // namespace zuvo
