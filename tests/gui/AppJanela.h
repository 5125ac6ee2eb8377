// The main window of the test application under a window test: shown with
// the Qt toolkit, its modal boxes answered from a Respostas queue, and the
// few gestures every test repeats (choosing model and port, activating,
// running a menu item, reading what the memo gained).
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <string>

#include "app/ECFTeste1.h"
#include "gui/AppRespostas.h"
#include "ui/ZuvoQtToolkit.h"

class AppJanela {
 public:
  zuvo::ui::QtToolkit fToolkit;
  std::unique_ptr<zuvo::TForm1> fForm;
  Respostas fRespostas;
  int fInicio = 0;  // memo lines before the current case

  zuvo::TForm1& F() { return *fForm; }
  QString Estado() const { return fForm->StatusPanel0->text(); }

  /// Creates and shows the main window; false when it never got exposed.
  bool AbreJanela() {
    zuvo::SetToolkit(&fToolkit);
    fForm = std::make_unique<zuvo::TForm1>();
    fToolkit.SetJanelaPrincipal(fForm.get());
    fForm->show();
    fForm->ZuvoECF1.SetPausaRelatorio(1);
    return QTest::qWaitForWindowExposed(fForm.get());
  }
  void FechaJanela() {
    fForm.reset();
    zuvo::SetToolkit(nullptr);
  }

  int LinhasMemo() const {
    const QString t = fForm->TextoResposta();
    return t.isEmpty() ? 0 : t.split(QLatin1Char('\n')).size();
  }
  /// The memo lines added since fInicio.
  QStringList Novas() const { return fForm->TextoResposta().split(QLatin1Char('\n')).mid(fInicio); }

  /// Chooses the model in the list and types the port and the time-out, as a
  /// technician fills the panel before activating.
  void Escolhe(zuvo::TZuvoECFModelo Modelo, const std::string& Porta, int TimeOut) {
    F().cbxModelo->setCurrentIndex(Modelo);
    QLineEdit* porta = F().cbxPorta->lineEdit();
    porta->selectAll();
    QTest::keyClicks(porta, QString::fromStdString(Porta));
    F().edTimeout->selectAll();
    QTest::keyClicks(F().edTimeout, QString::number(TimeOut));
  }
  /// Clicks "Ativar". The driver's model probe at activation may go
  /// unanswered by some printers: no retry question while activating.
  void Ativa() {
    F().chTentar->setChecked(false);
    QTest::mouseClick(F().bAtivar, Qt::LeftButton);
    F().chTentar->setChecked(true);
  }

  /// Runs a menu item; every queued answer must have been taken.
  void Executa(QAction* Item) {
    Item->trigger();
    QTRY_VERIFY2(fRespostas.Vazia(), qPrintable(fRespostas.Vistos.join(" / ")));
  }
};
