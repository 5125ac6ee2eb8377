// The main window and its dialogs without a printer: controls, menus, the
// step-by-step items, the arguments, the key filter, the exception handler.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <fstream>

#include "app/Aplicacao.h"
#include "app/Argumentos.h"
#include "app/ECFTeste1.h"
#include "app/EfetuaPagamento.h"
#include "app/Portas.h"
#include "app/Posicao.h"
#include "app/Relatorio.h"
#include "app/VendeItem.h"
#include "gui/AppRespostas.h"
#include "ui/ZuvoQtTexto.h"
#include "ui/ZuvoQtToolkit.h"

using namespace zuvo;

class AppFormTest : public QObject {
  Q_OBJECT

  ui::QtToolkit fToolkit;
  std::unique_ptr<TForm1> fForm;
  std::unique_ptr<Respostas> fRespostas;

  TForm1& F() { return *fForm; }
  QStringList Linhas() const { return fForm->TextoResposta().split(QLatin1Char('\n')); }

 private slots:
  void init() {
    SetToolkit(&fToolkit);
    fForm = std::make_unique<TForm1>();
    fToolkit.SetJanelaPrincipal(fForm.get());
    fForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(fForm.get()));
    fRespostas = std::make_unique<Respostas>();
  }
  void cleanup() {
    const QStringList inesperados = fRespostas->Inesperados;
    fRespostas.reset();
    fForm.reset();
    SetToolkit(nullptr);
    QVERIFY2(inesperados.isEmpty(), qPrintable(inesperados.join(QLatin1String(" / "))));
  }

  void windowStartsAsDesigned() {
    QCOMPARE(F().windowTitle(), QStringLiteral("Dovu ECF (Configura Impressora Fiscal)"));
    QVERIFY(F().minimumWidth() == 425 && F().minimumHeight() == 350);
    QCOMPARE(F().cbxModelo->count(), kNumModelos);
    QCOMPARE(F().cbxModelo->itemText(0), QStringLiteral("Procurar"));
    QCOMPARE(F().cbxModelo->itemText(ecfBematech), QStringLiteral("ecfBematech"));
    QCOMPARE(F().cbxModelo->itemText(ecfFiscNET), QStringLiteral("ecfFiscNET"));
    QCOMPARE(F().cbxModelo->currentIndex(), 0);
    QCOMPARE(F().cbxPorta->currentText(), QStringLiteral("Procurar"));
    QCOMPARE(F().cbxPorta->itemText(1), QStringLiteral("COM1"));
    QCOMPARE(F().cbxPorta->itemText(12), QStringLiteral("LPT3"));
    QCOMPARE(F().bAtivar->text(), QStringLiteral("Ativar"));
    QCOMPARE(F().ZuvoECF1.TimeOut(), 3);
    QCOMPARE(F().ZuvoECF1.IntervaloAposComando(), 100);
    QVERIFY(F().ZuvoECF1.DescricaoGrande());
    QCOMPARE(F().ZuvoECF1.MsgRelatorio(), std::string("Imprimindo %s  %dª Via "));
    // The wait text comes from the hidden memo, line by line.
    QCOMPARE(F().ZuvoECF1.MsgAguarde(),
             std::string("Aguardando o retorno do ECF\nFaltam %d segundos para TimeOut"));
    F().mMsg->setPlainText(QStringLiteral("Um\nDois\n"));
    QCOMPARE(F().ZuvoECF1.MsgAguarde(), std::string("Um\nDois\n"));
    // Hidden controls are never shown; their values are the component's.
    QVERIFY(!F().mEnviado->isVisible() && !F().chTentar->isVisible());
    QCOMPARE(F().chTentar->isChecked(), F().ZuvoECF1.ReTentar());
    QCOMPARE(F().chBloqueia->isChecked(), F().ZuvoECF1.BloqueiaMouseTeclado());
    F().chGavetaSinalInvertido->setChecked(true);
    QVERIFY(F().ZuvoECF1.GavetaSinalInvertido());
  }

  void windowTitlesAreExactlyTheCaptions() {
    // The window system appends the application's display name to every
    // caption; the program has none, only a name for its message boxes.
    const QString nome = QCoreApplication::applicationName();
    QCOMPARE(nome, QStringLiteral("Dovu ECF"));
    QCoreApplication::setApplicationName(QStringLiteral("sonda"));
    const QString exibido = QGuiApplication::applicationDisplayName();
    QCoreApplication::setApplicationName(nome);
    QCOMPARE(exibido, QStringLiteral("sonda"));

    QCOMPARE(F().windowTitle(), QStringLiteral("Dovu ECF (Configura Impressora Fiscal)"));
    QCOMPARE(F().frVendeItem->windowTitle(), QStringLiteral("Vende Item"));
    QCOMPARE(F().frPagamento->windowTitle(), QStringLiteral("Efetuar Pagamento"));
    QCOMPARE(F().frRelatorio->windowTitle(), QString::fromUtf16(u"Relatório Gerencial"));
  }

  void statusAndPortShowTheirWholeText() {
    QLabel* painel = F().StatusPanel0;
    QStringList textos{QStringLiteral("Processando..."), QStringLiteral("Exception"),
                       QStringLiteral("Falha ao ler")};
    for (const char* n : NomesEstado) textos << ui::DeCp1252(n);
    for (const QString& t : textos)
      QVERIFY2(painel->fontMetrics().horizontalAdvance(t) <= painel->contentsRect().width(),
               qPrintable(t));

    // A path typed into the port box fits without scrolling its start away.
    QLineEdit* porta = F().cbxPorta->lineEdit();
    const QString caminho = QStringLiteral("/dev/serial/by-id/usb-ECF-if00");
    porta->setFocus();
    porta->selectAll();
    QTest::keyClicks(porta, caminho);
    QCOMPARE(F().ZuvoECF1.Porta(), caminho.toStdString());
    porta->repaint();  // the line scrolls to its cursor when painted
    const QRect cursor = porta->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    // The cursor after the last character: not scrolled, it stands at least
    // the text's width from the left edge.
    QVERIFY2(cursor.center().x() >= porta->fontMetrics().horizontalAdvance(caminho),
             qPrintable(QString::number(cursor.center().x())));

    // One set from outside and longer than any box shows where it begins.
    F().bAtivar->setFocus();
    const std::string longo = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.4.2:1.0-port0";
    F().AplicaArgumentos(false, ecfNenhum, longo);
    QCOMPARE(F().ZuvoECF1.Porta(), longo);
    QCOMPARE(porta->cursorPosition(), 0);
  }

  void saleWindowOpensBesideTheMainForm() {
    const QRect tela = F().screen()->availableGeometry();
    F().resize(F().minimumSize());
    F().move(tela.topLeft());
    QTRY_COMPARE(F().frameGeometry().topLeft(), tela.topLeft());
    TfrVendeItem& v = *F().frVendeItem;
    F().VenderItem1Click();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QVERIFY2(v.frameGeometry().left() > F().frameGeometry().right(),
             qPrintable(QStringLiteral("%1 %2").arg(v.frameGeometry().left()).arg(F().frameGeometry().right())));
    QCOMPARE(v.frameGeometry().top(), F().frameGeometry().top());
    v.close();

    // No room on either side: centred on the main window, as designed.
    F().resize(tela.width() - 40, F().minimumHeight());
    F().move(tela.left() + 20, tela.top());
    QTRY_COMPARE(F().frameGeometry().left(), tela.left() + 20);
    F().VenderItem1Click();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QVERIFY((v.frameGeometry().center() - F().frameGeometry().center()).manhattanLength() <= 4);
    v.close();

    // To the left when only that side has room; kept on the screen.
    const QRect area(0, 0, 1000, 700);
    QCOMPARE(PosicaoAoLado(QRect(600, 100, 400, 300), QSize(300, 200), area), QPoint(296, 100));
    QCOMPARE(PosicaoAoLado(QRect(0, 600, 400, 300), QSize(300, 200), area), QPoint(404, 500));
    QCOMPARE(PosicaoAoLado(QRect(0, 0, 400, 300), QSize(300, 800), area), std::nullopt);
  }

  void menusShowWhatTheFormSays() {
    QVERIFY(F().Ativcar1->isVisible() && F().Sair1->isVisible());
    QVERIFY(!F().Sobre1->isVisible());
    QVERIFY(!F().LerTodasasVariaveis1->isVisible());
    QVERIFY(!F().CupomVinculado1->menuAction()->isVisible());
    QVERIFY(!F().Cheque1->menuAction()->isVisible());
    QVERIFY(!F().EnviaComando1->isVisible());
    QVERIFY(!F().ProgramaComprovanteNAOFiscal1->isVisible());
    QVERIFY(F().RelatorioGerencialCompleto1->isVisible());
    QCOMPARE(F().ReduoZ1->text(), QString::fromUtf16(u"Redução Z"));
    QCOMPARE(F().Gaveta1->title(), QStringLiteral("&Gaveta"));
    QVERIFY(F().Mostracomando1->isCheckable() && !F().Mostracomando1->isChecked());
    F().Mostracomando1->trigger();
    QVERIFY(F().Mostracomando1->isChecked());
    F().Mostracomando1Click();
    QVERIFY(!F().Mostracomando1->isChecked());
  }

  void ctrlJReleasesTheStepByStepItems() {
    QList<QAction*> sete{F().TestaPodeAbrirCupom1, F().AbrirCupom1, F().VenderItem1,
                         F().CancelarItemVendido1, F().Sub1, F().EfetuarPagamento1,
                         F().FecharCupom1};
    for (auto* a : sete) QVERIFY(!a->isVisible());
    QVERIFY(F().SpeedButton1->toolTip().contains(QStringLiteral("Ctrl+J")));
    // Locked: the small button does nothing.
    QTest::mouseClick(F().SpeedButton1, Qt::LeftButton);
    for (auto* a : sete) QVERIFY(!a->isVisible());

    F().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(fForm.get()));
    F().edTimeout->setFocus();
    QTest::keyClick(F().edTimeout, Qt::Key_J, Qt::ControlModifier);
    QVERIFY(F().LiberaMenus);
    QTest::mouseClick(F().SpeedButton1, Qt::LeftButton);
    for (auto* a : sete) QVERIFY(a->isVisible());
    // Locked again: the items keep their visibility.
    QTest::keyClick(fForm.get(), Qt::Key_J, Qt::ControlModifier);
    QVERIFY(!F().LiberaMenus);
    QTest::mouseClick(F().SpeedButton1, Qt::LeftButton);
    for (auto* a : sete) QVERIFY(a->isVisible());
    QTest::keyClick(fForm.get(), Qt::Key_J, Qt::ControlModifier);
    QTest::mouseClick(F().SpeedButton1, Qt::LeftButton);
    for (auto* a : sete) QVERIFY(!a->isVisible());
  }

  void commandsTranslateBothWays() {
    QCOMPARE(TraduzComando(std::string("\x02" "A\r\n\xff", 5)), std::string("#2A#13#10#255"));
    QCOMPARE(TraduzComando(std::string("\x1b\x06\xc8", 3)), std::string("#27#6#200"));
    QCOMPARE(DecodificaComando("#006"), std::string("\x06"));
    QCOMPARE(DecodificaComando("AB#0651"), std::string("ABA1"));
    QCOMPARE(DecodificaComando("#xyz"), std::string(1, '\0'));
    QCOMPARE(DecodificaComando("X#6"), std::string("X\x06"));
    QVERIFY_THROWS_EXCEPTION(Exception, DecodificaComando("#999"));
  }

  void errorsOfEveryKindLandInTheMemo() {
    // A handler's error, through the form's own guard.
    F().Estado1Click();  // ecfNenhum answers without a port
    F().Protege([] { throw Exception("Falhou a operação"); });
    QCOMPARE(Linhas().filter(QString::fromUtf16(u"Falhou a operação")).size(), 1);
    QCOMPARE(F().StatusPanel0->text(), QStringLiteral("Exception"));
    QVERIFY(Linhas().last().startsWith(QLatin1String(". - . -")));

    // An exception escaping any event handler: the application's net.
    QVERIFY(TAplicacaoTeste::Atual());
    class Lanca : public QObject {
     protected:
      bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw Exception("Erro no evento: ação");
        return QObject::event(e);
      }
    } lanca;
    QCoreApplication::postEvent(&lanca, new QEvent(QEvent::User));
    QTRY_VERIFY(F().TextoResposta().contains(QString::fromUtf16(u"Erro no evento: ação")));

    // A model change refused while active snaps the list back (the error
    // text is the component's).
    F().cbxPorta->setEditText(QStringLiteral("com3"));
    QCOMPARE(F().cbxPorta->currentText(), QStringLiteral("COM3"));
    QCOMPARE(F().ZuvoECF1.Porta(), std::string("COM3"));
  }

  void procurarWithoutAPrinterSaysSo() {
    fRespostas->Botao(QMessageBox::Ok);
    F().ZuvoECF1.SetPorta("/nonexistent/zuvo-port");
    F().cbxPorta->setEditText(QStringLiteral("/nonexistent/zuvo-port"));
    QTest::mouseClick(F().bAtivar, Qt::LeftButton);
    QTRY_VERIFY(fRespostas->Vazia());
    QCOMPARE(fRespostas->Vistos, QStringList{QStringLiteral("Nenhum ECF encontrado.")});
    QCOMPARE(F().cbxModelo->currentIndex(), 0);
    QCOMPARE(F().bAtivar->text(), QStringLiteral("Ativar"));
    QCOMPARE(F().cbxPorta->currentText(), QStringLiteral("/nonexistent/zuvo-port"));
  }

  void activationFailureRestoresTheBoxes() {
    F().cbxModelo->setCurrentIndex(ecfBematech);
    QCOMPARE(F().ZuvoECF1.Modelo(), ecfBematech);
    F().cbxPorta->setEditText(QStringLiteral("/nonexistent/zuvo-port"));
    QTest::mouseClick(F().bAtivar, Qt::LeftButton);
    QCOMPARE(F().StatusPanel0->text(), QStringLiteral("Exception"));
    QVERIFY(!F().ZuvoECF1.Ativo());
    QCOMPARE(F().bAtivar->text(), QStringLiteral("Ativar"));
    QCOMPARE(F().cbxModelo->currentIndex(), int(ecfBematech));
    QVERIFY(F().TextoResposta().contains(QStringLiteral("Bematech requer")));
  }

  void saleDialogFiltersAmountKeysAndReportsRefusals() {
    TfrVendeItem& v = *F().frVendeItem;
    F().VenderItem1Click();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QCOMPARE(v.windowTitle(), QStringLiteral("Vende Item"));
    QCOMPARE(v.edCodigo->text(), QStringLiteral("111222333"));
    v.edQtd->clear();
    QTest::keyClicks(v.edQtd, QStringLiteral("1.5"));
    QCOMPARE(v.edQtd->text(), QStringLiteral("1,5"));
    v.edDescricao->clear();
    QTest::keyClicks(v.edDescricao, QStringLiteral("A.B,C"));
    QCOMPARE(v.edDescricao->text(), QStringLiteral("A.B,C"));
    // A selection is replaced, as by any typed key.
    v.edPrecoUnita->selectAll();
    QTest::keyClick(v.edPrecoUnita, Qt::Key_Period);
    QCOMPARE(v.edPrecoUnita->text(), QStringLiteral(","));

    // Not a number: sent as 0 and refused by the component.
    v.edQtd->setText(QStringLiteral("abc"));
    v.edPrecoUnita->setText(QStringLiteral("2"));
    QTest::keyClick(v.edCodigo, Qt::Key_Return);  // the default button
    QVERIFY(F().TextoResposta().contains(QStringLiteral("Quantidade deve ser superior a 0.")));
    QVERIFY(!F().TextoResposta().contains(QStringLiteral("Vende Item:")));
    QVERIFY(v.Button1->isEnabled());
    QVERIFY(v.isVisible());
    QTest::keyClick(&v, Qt::Key_Escape);
    QVERIFY(!v.isVisible());
    QCOMPARE(v.edQtd->text(), QStringLiteral("abc"));  // kept for the next showing
  }

  void paymentValueMustBeANumber() {
    TfrPagamento& p = *F().frPagamento;
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    QCOMPARE(p.lTotalAPAGAR->text(), QStringLiteral("0"));
    p.edCod->setText(QStringLiteral("01"));
    QTest::keyClicks(p.edValor, QStringLiteral("1.2.3"));
    QCOMPARE(p.edValor->text(), QStringLiteral("1,2,3"));
    QTest::mouseClick(p.btImprimir, Qt::LeftButton);
    QVERIFY(F().TextoResposta().contains(QString::fromUtf16(u"'1,2,3' não é um valor numérico válido")));
    QVERIFY(!F().TextoResposta().contains(QStringLiteral("Efetua Pagamento:")));
    // The look-up of a description the table lacks.
    fRespostas->Texto(QStringLiteral("VALE"));
    QTest::mouseClick(p.SpeedButton1, Qt::LeftButton);
    QTRY_VERIFY(fRespostas->Vazia());
    QVERIFY(F().TextoResposta().contains(QString::fromUtf16(u"Forma de Pagamento: VALE não encontrada")));
    p.close();
  }

  void reportWindowReadsATextFileAndArrangesItself() {
    TfrRelatorio& r = *F().frRelatorio;
    QCOMPARE(r.mRelat->document()->blockCount(), 14);
    QCOMPARE(r.mRelat->toPlainText().split('\n').at(3), QStringLiteral("O relatorio deve respeitar a "));
    QTemporaryDir dir;
    const QString caminho = dir.filePath(QStringLiteral("RELAT.TXT"));
    {
      std::ofstream f(caminho.toStdString(), std::ios::binary);
      f << "Linha um\r\nA\xe7\xe3o \xe9 cp1252? n\xe3o: \xe7\r\n";  // Windows-1252 bytes
    }
    fRespostas->Janela(QStringLiteral("frRelatorio"), [&](QDialog* d) {
      QVERIFY(!r.edCupom->isVisible() && !r.edFPG->isVisible() && !r.edCNF->isVisible());
      fRespostas->Arquivo(caminho);
      QTest::mouseClick(r.Button1, Qt::LeftButton);
      d->reject();
    });
    F().RelatorioGerencialCompleto1Click();
    QTRY_VERIFY(fRespostas->Vazia());
    QCOMPARE(r.windowTitle(), QString::fromUtf16(u"Relatório Gerêncial"));
    QCOMPARE(r.mRelat->toPlainText(), QString::fromUtf16(u"Linha um\nAção é cp1252? não: ç"));

    // A linked receipt on a model other than Daruma or Schalter: no CNF.
    fRespostas->Botao(QMessageBox::Ok);
    fRespostas->Janela(QStringLiteral("frRelatorio"), [&](QDialog* d) {
      QVERIFY(r.edCupom->isVisible() && r.edFPG->isVisible() && r.edValor->isVisible());
      QVERIFY(!r.edCNF->isVisible());
      QTest::keyClicks(r.edValor, QStringLiteral("."));
      QCOMPARE(r.edValor->text(), QStringLiteral("1,"));
      d->reject();
    });
    F().CupomVinculadoCompleto1Click();
    QTRY_VERIFY(fRespostas->Vazia());
    QCOMPARE(r.windowTitle(), QStringLiteral("Cupom NAO Fiscal Vinculado"));
  }

  void portListOffersTheSerialDevices() {
    QTemporaryDir dir;
    for (const char* n : {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "ttyAMA0", "rfcomm3", "tty0",
                          "ttyUSBx", "lp0"})
      std::ofstream(dir.filePath(QString::fromLatin1(n)).toStdString());
    const auto portas = ListaPortas(dir.path().toStdString());
    const std::string b = dir.path().toStdString() + "/";
    std::vector<std::string> esperadas{"Procurar", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6",
                                       "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                       b + "rfcomm3", b + "ttyACM1", b + "ttyAMA0", b + "ttyS2",
                                       b + "ttyS10", b + "ttyUSB0"};
    QCOMPARE(portas, esperadas);
    QCOMPARE(ListaPortas("/nonexistent-dir").size(), size_t(13));
  }

  void argumentsFillModelAndPort() {
    TArgumentos a = LeArgumentos({QStringLiteral("--modelo"), QStringLiteral("Bematech"),
                                  QStringLiteral("--porta=/dev/pts/9")});
    QVERIFY(a.Erro.empty());
    QVERIFY(a.TemModelo);
    QCOMPARE(a.Modelo, ecfBematech);
    QCOMPARE(a.Porta, std::string("/dev/pts/9"));
    QCOMPARE(LeArgumentos({QStringLiteral("--modelo=ecfdaruma")}).Modelo, ecfDaruma);
    QVERIFY(!LeArgumentos({}).TemModelo);
    QVERIFY(!LeArgumentos({QStringLiteral("--modelo"), QStringLiteral("Epson")}).Erro.empty());
    QVERIFY(!LeArgumentos({QStringLiteral("--porta")}).Erro.empty());
    QVERIFY(!LeArgumentos({QStringLiteral("-x")}).Erro.empty());

    F().AplicaArgumentos(a.TemModelo, a.Modelo, a.Porta);
    QCOMPARE(F().cbxModelo->currentIndex(), int(ecfBematech));
    QCOMPARE(F().ZuvoECF1.Modelo(), ecfBematech);
    QCOMPARE(F().ZuvoECF1.Porta(), std::string("/dev/pts/9"));
    QCOMPARE(F().cbxPorta->currentText(), QStringLiteral("/dev/pts/9"));
  }
};

int main(int argc, char** argv) {
  TAplicacaoTeste app(argc, argv);
  AppFormTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "AppFormTest.moc"
