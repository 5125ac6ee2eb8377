// TfrPagamento: the payment window. Shown without blocking the main window,
// it takes one or several payments in a row and shows the receipt's totals
// and the printer's payment methods.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace zuvo {

class TForm1;

class TfrPagamento : public QDialog {
  Q_OBJECT
 public:
  explicit TfrPagamento(TForm1& Principal);

  QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8;
  QLineEdit *edCod, *edValor, *edObs;
  QToolButton* SpeedButton1;
  QCheckBox* cbVinc;
  QPushButton* btImprimir;
  QPlainTextEdit* mFormas;
  QLabel *lTotalAPAGAR, *lTotalPago;

  /// The receipt total and the amount paid, read from the printer.
  void AtualizaTotais();
  /// Lists the payment methods (fresh from the printer for the models whose
  /// table may change behind the program's back).
  void ListaFormasPagamento();

 public slots:
  void FormShow();
  void btImprimirClick();
  void SpeedButton1Click();

 protected:
  void showEvent(QShowEvent* Evento) override;

 private:
  TForm1& fPrincipal;
};

}  // namespace zuvo
