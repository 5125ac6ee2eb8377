// The Qt wait window and dialogs driven by the library's wait-window logic.
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "component/ZuvoECF.h"
#include "ui/ZuvoQtTexto.h"
#include "ui/ZuvoQtToolkit.h"
#include "ui/ZuvoQtTraducao.h"

using namespace zuvo;

class QtToolkitTest : public QObject {
  Q_OBJECT

  ui::QtToolkit fToolkit;
  QWidget fPrincipal;

 private slots:
  void initTestCase() {
    fPrincipal.resize(400, 300);
    fPrincipal.show();
    fToolkit.SetJanelaPrincipal(&fPrincipal);
    SetToolkit(&fToolkit);
  }
  void cleanupTestCase() { SetToolkit(nullptr); }

  void textConversionKeepsAccents() {
    const std::string cp1252 = "Ação €";
    QCOMPARE(ui::DeCp1252(cp1252), QString::fromUtf16(u"Ação €"));
    QCOMPARE(ui::ParaCp1252(QString::fromUtf16(u"Ação €")), cp1252);
    const QString semCp1252 = QString::fromUtf16(u"\u65E5");  // a CJK character
    QCOMPARE(ui::ParaCp1252(semCp1252), std::string("?"));
  }

  void windowSizeFollowsItsTextAndIsModal() {
    TZuvoECF ecf;
    TZuvoECFClass& d = ecf.ECF();
    QSize curta, longa;
    bool modal = false;
    d.FormMsgDoProcedure(
        [&] {
          auto* j = fToolkit.JanelaEspera();
          QVERIFY(j);
          modal = j->windowModality() == Qt::ApplicationModal && j->isVisible();
          d.FormMsgExibe("curto");
          curta = j->size();
          d.FormMsgExibe("um texto bem mais longo que o primeiro, com acentuação");
          longa = j->size();
          QCOMPARE(j->Texto(),
                   QString::fromUtf16(u"um texto bem mais longo que o primeiro, com acentuação"));
          d.FormMsgExibe("curto");  // back to the short text: the short size again
          QCOMPARE(j->size(), curta);
        },
        0);
    QVERIFY(modal);
    QVERIFY(curta.width() > 20);
    QVERIFY(longa.width() > curta.width());
    QCOMPARE(fToolkit.JanelaEspera(), nullptr);
  }

  void countdownChangesAndEnterEndsThePause() {
    TZuvoECF ecf;
    TZuvoECFClass& d = ecf.ECF();
    QStringList textos;
    d.OnMsgAguarde = [&](const std::string& m) {
      if (!m.empty()) textos << ui::DeCp1252(m);
    };
    d.SetPausaRelatorio(2);
    d.FormMsgDoProcedure([&] { d.PausaImpressao(1); }, 0);
    QCOMPARE(textos, (QStringList{QString::fromUtf16(u"Destaque a 1ª via, <ENTER> proxima, 2 seg."),
                                  QString::fromUtf16(u"Destaque a 1ª via, <ENTER> proxima, 1 seg.")}));

    d.SetPausaRelatorio(30);
    QElapsedTimer relogio;
    relogio.start();
    QTimer::singleShot(300, [&] {
      if (auto* j = fToolkit.JanelaEspera()) QTest::keyClick(j, Qt::Key_Return);
    });
    d.FormMsgDoProcedure([&] { d.PausaImpressao(1); }, 0);
    QVERIFY(relogio.elapsed() < 10000);
  }

  void nestedWaitIsRefused() {
    TZuvoECF ecf;
    TZuvoECFClass& d = ecf.ECF();
    QString erro;
    d.FormMsgDoProcedure(
        [&] {
          try {
            d.FormMsgDoProcedure([] {}, 0);
          } catch (const Exception& e) {
            erro = ui::DeCp1252(e.what());
          }
        },
        0);
    QCOMPARE(erro, QStringLiteral("Erro. Chamada recurssiva de FormMsgDoProcedure"));
  }

  void stopKeyEndsARunningProcedure() {
    TZuvoECF ecf;
    TZuvoECFClass& d = ecf.ECF();
    d.SetBloqueiaMouseTeclado(false);  // modeless this time
    QTimer::singleShot(200, [&] {
      if (auto* j = fToolkit.JanelaEspera()) QTest::keyClick(j, Qt::Key_C);
    });
    QElapsedTimer relogio;
    relogio.start();
    d.FormMsgDoProcedure(
        [&] {
          while (d.FormMsgEstado() == 1 && relogio.elapsed() < 5000) Toolkit().processEvents();
        },
        'C');
    QCOMPARE(d.FormMsgEstado(), 3);
  }

  void inputBoxSpeaksPortugueseAndReturnsTheText() {
    // Before any translation is installed: the buttons are set outright.
    QStringList botoes;
    QTimer::singleShot(200, [&] {
      auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      if (!d) return;
      for (auto* b : d->findChildren<QPushButton*>()) botoes << b->text();
      QCOMPARE(d->textValue(), QString::fromUtf16(u"Ação"));
      d->setTextValue(QString::fromUtf16(u"Função"));
      d->accept();
    });
    std::string valor = "Ação";
    QVERIFY(Toolkit().inputBox("Abre Cupom", "Se necessário, Informe o CPF/CNPJ", valor));
    QCOMPARE(valor, std::string("Função"));
    botoes.sort();
    QCOMPARE(botoes, (QStringList{QStringLiteral("Cancelar"), QStringLiteral("OK")}));
  }

  void questionsAreAnsweredByTheUser() {
    QTimer::singleShot(200, [] {
      if (auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        m->button(QMessageBox::Yes)->click();
    });
    QCOMPARE(Toolkit().messageBox("Deseja tentar novamente ?", TipoMensagem::Confirmacao,
                                  BotoesMensagem::SimNao),
             RespostaMensagem::Sim);
  }

  // Last: it changes the application's language for what follows.
  void qtDialogsSpeakPortugueseWhenTheTranslationIsInstalled() {
    const QString pasta = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(pasta + QStringLiteral("/qtbase_pt_BR.qm")))
      QSKIP("Qt's Brazilian Portuguese translation is not installed");
    QVERIFY(ui::InstalaTraducaoQt(*qApp));
    QFileDialog dialogo(nullptr, QStringLiteral("Ler TXT"));
    dialogo.setOption(QFileDialog::DontUseNativeDialog);
    auto* procurar = dialogo.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    QVERIFY(procurar);
    QVERIFY2(procurar->text() != QStringLiteral("Look in:"), qPrintable(procurar->text()));
    auto* caixa = dialogo.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QVERIFY(caixa && caixa->button(QDialogButtonBox::Cancel));
    QCOMPARE(caixa->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancelar"));
  }
};

QTEST_MAIN(QtToolkitTest)
#include "QtToolkitTest.moc"
