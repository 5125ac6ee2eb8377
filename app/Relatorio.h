// TfrRelatorio: the report window, shown modally, for a complete managerial
// report ("G") or a complete linked receipt ("V") in several copies. The
// text can be typed or read from a text file.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace zuvo {

class TForm1;

class TfrRelatorio : public QDialog {
  Q_OBJECT
 public:
  explicit TfrRelatorio(TForm1& Principal);

  /// 'G' managerial report, 'V' linked receipt; set before each showing.
  char TipoRelatorio = 'G';

  QPlainTextEdit* mRelat;
  QLabel *Label1, *lCupom, *lCodFPG, *lValor, *lCodCNF;
  QLineEdit *edVias, *edCupom, *edFPG, *edValor, *edCNF;
  QToolButton *sbFPG, *sbCNF;
  QPushButton *Button1, *Button2;

  /// Replaces the memo's lines by the file's (Windows-1252 or UTF-8 text).
  /// Raises when the file cannot be read.
  void CarregaArquivo(const QString& Caminho);

 public slots:
  void FormCreate();
  void FormShow();
  void Button1Click();
  void Button2Click();
  void sbFPGClick();
  void sbCNFClick();

 protected:
  void showEvent(QShowEvent* Evento) override;

 private:
  TForm1& fPrincipal;
};

}  // namespace zuvo
