// The test application driving the Bematech simulator through its window:
// the model and port boxes, activation, every menu group, the dialogs, and
// errors landing in the memo. The cases run in order on one printer.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include "app/Aplicacao.h"
#include "app/ECFTeste1.h"
#include "app/EfetuaPagamento.h"
#include "app/Relatorio.h"
#include "app/VendeItem.h"
#include "gui/AppJanela.h"
#include "sim/SimBematech.h"
#include "sim/Simulador.h"
#include "ui/ZuvoQtTexto.h"
#include "ui/ZuvoQtToolkit.h"

using namespace zuvo;

class AppBematechTest : public QObject, public AppJanela {
  Q_OBJECT

  std::unique_ptr<sim::Simulador> fSim;

  sim::SimBematech& Sim() { return static_cast<sim::SimBematech&>(*fSim); }
  QString Papel() const { return ui::DeCp1252(fSim->Papel()); }

 private slots:
  void initTestCase() {
    fSim = sim::CriaSimulador("Bematech", {});
    QVERIFY(fSim);
    QVERIFY(AbreJanela());
  }
  void cleanupTestCase() { FechaJanela(); }
  void init() { fInicio = LinhasMemo(); }
  void cleanup() {
    const QStringList inesperados = fRespostas.Inesperados;
    fRespostas.Limpa();
    QVERIFY2(inesperados.isEmpty(), qPrintable(inesperados.join(" / ")));
  }

  void choosesModelAndPortAndActivates() {
    Escolhe(ecfBematech, fSim->Porta(), 2);
    QCOMPARE(F().ZuvoECF1.Porta(), fSim->Porta());
    QCOMPARE(F().ZuvoECF1.TimeOut(), 2);
    Ativa();
    QVERIFY(F().ZuvoECF1.ReTentar());
    QVERIFY2(F().ZuvoECF1.Ativo(), qPrintable(F().TextoResposta()));
    QCOMPARE(F().bAtivar->text(), QStringLiteral("Desativar"));
    QCOMPARE(Novas().first(), QStringLiteral("Ativar"));
    QCOMPARE(Estado(), QStringLiteral("Livre"));
    QCOMPARE(F().cbxModelo->currentIndex(), int(ecfBematech));
    QVERIFY(!F().mEnviado->toPlainText().isEmpty());

    // The model cannot change while active: the list snaps back.
    F().cbxModelo->setCurrentIndex(ecfDaruma);
    QCOMPARE(F().cbxModelo->currentIndex(), int(ecfBematech));
    QCOMPARE(Estado(), QStringLiteral("Exception"));
    QVERIFY(F().TextoResposta().contains(QString::fromUtf16(u"Não é possível mudar o Modelo com o ECF Ativo")));
  }

  void identityAndVariables() {
    for (QAction* a : {F().DataHora1, F().NumECF1, F().NumLoja1, F().NSrie1, F().NVerso1,
                       F().NumCRO1, F().PoucoPapel1, F().Estado1, F().HorarioVerao2,
                       F().Arredonda1, F().MFD1, F().ermica1})
      Executa(a);
    const QStringList l = Novas();
    const QString hoje = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    QVERIFY2(l.filter(QRegularExpression("^Data/Hora: " + hoje + " \\d\\d:\\d\\d:\\d\\d$")).size() == 1,
             qPrintable(l.join('\n')));
    QCOMPARE(l.filter(QRegularExpression(QStringLiteral("^ECF: \\(\\d+\\)$"))).size(), 1);
    QCOMPARE(l.filter(QRegularExpression(QString::fromUtf16(u"^Série: \\(.+\\)$"))).size(), 1);
    QCOMPARE(l.filter(QRegularExpression(QString::fromUtf16(u"^Versão: \\d+"))).size(), 1);
    QCOMPARE(l.filter(QRegularExpression(QStringLiteral("^Num.CRO: \\(\\d+\\)$"))).size(), 1);
    QVERIFY(l.contains(QStringLiteral("Pouco Papel: NAO")));
    QVERIFY(l.contains(QStringLiteral("Estado: Livre")));
    QVERIFY(l.contains(QString::fromUtf16(u"Horário de Verão: NAO")));
    QVERIFY(l.contains(QString::fromUtf16(u"É MFD: NAO")));
    // Every command ends with the separator and leaves the state shown.
    QCOMPARE(l.filter(QStringLiteral(". - . - .")).size(), 12);
    QCOMPARE(Estado(), QStringLiteral("Livre"));

    // With "Mostra resposta do comando" the answer's bytes are listed too.
    F().Mostracomando1->trigger();
    Executa(F().NumECF1);
    F().Mostracomando1->trigger();
    const QStringList m = Novas();
    QVERIFY(m.last().startsWith(QLatin1String(". - .")));
    QCOMPARE(m.at(m.size() - 2), QString::fromLatin1(TraduzComando(F().ZuvoECF1.RespostaComando())));
  }

  void tables() {
    Executa(F().AliquotasICMS1);
    Executa(F().FormasdePagamento1);
    Executa(F().CarregaComprovantesNAOFiscais1);
    const QStringList l = Novas();
    QVERIFY2(l.filter(QRegularExpression(QStringLiteral("^Aliquota: \\d+ -> [\\d,]+ Tipo: [TS]$"))).size() >= 1,
             qPrintable(l.join('\n')));
    QVERIFY(l.contains(QStringLiteral("Forma Pagto: 01 -> Dinheiro  Permite Vinculado: S")) ||
            l.filter(QStringLiteral("-> Dinheiro")).size() == 1);
    QCOMPARE(l.filter(QStringLiteral("---------------------------------")).size(), 3);
  }

  void receiptStepByStep() {
    F().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(fForm.get()));
    QTest::keyClick(fForm.get(), Qt::Key_J, Qt::ControlModifier);
    QTest::mouseClick(F().SpeedButton1, Qt::LeftButton);
    QVERIFY(F().AbrirCupom1->isVisible() && F().FecharCupom1->isVisible());

    Executa(F().TestaPodeAbrirCupom1);
    fRespostas.Texto(QStringLiteral(" "));
    Executa(F().AbrirCupom1);
    QCOMPARE(Estado(), QStringLiteral("Venda"));

    // Two items through the sale window, typed with the keyboard.
    Executa(F().VenderItem1);
    TfrVendeItem& v = *F().frVendeItem;
    QVERIFY(v.isVisible());
    v.edDescricao->selectAll();
    QTest::keyClicks(v.edDescricao, QString::fromUtf16(u"CAFÉ COM AÇÚCAR"));
    v.edQtd->selectAll();
    QTest::keyClicks(v.edQtd, QStringLiteral("1.5"));
    v.edPrecoUnita->selectAll();
    QTest::keyClicks(v.edPrecoUnita, QStringLiteral("2"));
    QTest::mouseClick(v.Button1, Qt::LeftButton);
    v.edDescricao->setText(QStringLiteral("SEGUNDO ITEM"));
    v.edQtd->setText(QStringLiteral("1"));
    QTest::keyClick(v.edCodigo, Qt::Key_Return);
    QVERIFY(v.Button1->isEnabled());
    v.close();

    fRespostas.Texto(QStringLiteral("2"));
    Executa(F().CancelarItemVendido1);
    fRespostas.Texto(QStringLiteral("-0,50"));
    Executa(F().Sub1);
    QCOMPARE(Estado(), QStringLiteral("Pagamento"));

    Executa(F().EfetuarPagamento1);  // in payment already: no warning
    TfrPagamento& p = *F().frPagamento;
    QVERIFY(p.isVisible());
    QCOMPARE(p.lTotalAPAGAR->text(), QStringLiteral("2,5"));
    QVERIFY(p.mFormas->toPlainText().contains(QStringLiteral("01 -> Dinheiro - ")));
    fRespostas.Texto(QStringLiteral("dinheiro"));
    QTest::mouseClick(p.SpeedButton1, Qt::LeftButton);
    QTRY_VERIFY(fRespostas.Vazia());
    QCOMPARE(p.edCod->text(), QStringLiteral("01"));
    QTest::keyClicks(p.edValor, QStringLiteral("5.00"));
    QTest::mouseClick(p.btImprimir, Qt::LeftButton);
    QCOMPARE(p.lTotalPago->text(), QStringLiteral("5"));
    p.close();

    fRespostas.Texto(QStringLiteral("Obrigado|Volte sempre"));
    Executa(F().FecharCupom1);
    QCOMPARE(Estado(), QStringLiteral("Livre"));

    const QStringList l = Novas();
    QVERIFY2(l.contains(QStringLiteral("Pode Abrir Cupom.. OK")), qPrintable(l.join('\n')));
    QVERIFY(l.contains(QStringLiteral("AbreCupom")));
    QVERIFY(l.contains(QString::fromUtf16(
        u"Vende Item: Cod:111222333 DescCAFÉ COM AÇÚCAR Aliq:NN Qtd:1,5 Preço:2 Desc:0 Un:UN")));
    QVERIFY(l.contains(QStringLiteral("Cancela Item Vendido: 2")));
    QVERIFY(l.contains(QStringLiteral("Subtotaliza Cupom: -0,50")));
    QVERIFY(l.contains(QStringLiteral("Efetua Pagamento: 01 Valor: 5,00 Obs:  Vinc: N")));
    QVERIFY(l.contains(QStringLiteral("Fecha Cupom: ")));
    QVERIFY(l.contains(QStringLiteral("Volte sempre")));
    QVERIFY(!F().TextoResposta().contains(QStringLiteral("Exception")));
    const QString papel = Papel();
    // The accents reach the printer as Windows-1252 (or removed), never garbled.
    QVERIFY2(papel.contains(QString::fromUtf16(u"CAFÉ COM AÇÚCAR")) ||
                 papel.contains(QStringLiteral("CAFE COM ACUCAR")),
             qPrintable(papel));
    QVERIFY(papel.contains(QStringLiteral("TROCO")));
    QVERIFY(!Sim().CupomAberto());
  }

  void managerialReportInTwoCopies() {
    const int antes = Papel().count(QStringLiteral("TESTE DE RELATORIO"));
    TfrRelatorio& r = *F().frRelatorio;
    fRespostas.Janela(QStringLiteral("frRelatorio"), [&](QDialog* d) {
      r.edVias->setText(QStringLiteral("2"));
      QTest::mouseClick(r.Button2, Qt::LeftButton);
      d->reject();
    });
    Executa(F().RelatorioGerencialCompleto1);
    QCOMPARE(Papel().count(QStringLiteral("TESTE DE RELATORIO")) - antes, 2);
    QVERIFY(!Sim().RelatorioAberto());
    QVERIFY2(!F().TextoResposta().contains(QStringLiteral("Exception")), qPrintable(F().TextoResposta()));
  }

  void reportWindowStaysInFrontAfterPrinting() {
    // No window manager here, as on a bare X server: the window brought to
    // the front after printing is the one the operator is using, never the
    // main window over an open modal dialog.
    TfrRelatorio& r = *F().frRelatorio;
    QWidget* ativaAposImprimir = nullptr;
    fRespostas.Janela(QStringLiteral("frRelatorio"), [&](QDialog* d) {
      r.edVias->setText(QStringLiteral("1"));
      QTest::mouseClick(r.Button2, Qt::LeftButton);
      QTest::qWait(100);  // the activation requests are delivered
      ativaAposImprimir = QApplication::activeWindow();
      d->reject();
    });
    Executa(F().RelatorioGerencialCompleto1);
    QVERIFY2(!F().TextoResposta().contains(QStringLiteral("Exception")), qPrintable(F().TextoResposta()));
    QCOMPARE(ativaAposImprimir, static_cast<QWidget*>(&r));
  }

  void drawer() {
    Executa(F().AbreGaveta1);
    Executa(F().GavetaAberta1);
    QCOMPARE(Novas(), (QStringList{QStringLiteral("AbreGaveta"), QStringLiteral(". - . - . - . - . - . - . - . - . - . - . - ."),
                                   QStringLiteral("Gaveta Aberta: SIM"), QStringLiteral(". - . - . - . - . - . - . - . - . - . - . - .")}));
  }

  void programsATaxRate() {
    fRespostas.Texto(QStringLiteral("12.5"));
    fRespostas.Botao(QMessageBox::Yes);  // ICMS
    fRespostas.Botao(QMessageBox::Yes);  // confirmed
    Executa(F().ProgramaAliquota1);
    QVERIFY(fRespostas.Vistos.at(2).startsWith(QStringLiteral("A aliquota: [12,5] do Tipo: [T]")));
    bool achou = false;
    for (int i = 1; i <= 16; i++) achou = achou || Sim().Aliquota(i) == 1250;
    QVERIFY(achou);
    QVERIFY2(Novas().filter(QRegularExpression(QStringLiteral("^Aliquota: \\d+ -> 12,5 Tipo: T$"))).size() == 1,
             qPrintable(Novas().join('\n')));
  }

  void rawCommandAndRefusalsLandInTheMemo() {
    // The raw command: "#019" is the status command, byte 19, no data back.
    F().EnviaComando1->setVisible(true);
    const size_t antes = Sim().Comandos().size();
    fRespostas.Texto(QStringLiteral("#019"));
    fRespostas.Texto(QStringLiteral("0"));
    Executa(F().EnviaComando1);
    QVERIFY2(Novas().contains(QStringLiteral("Envia Comando: #019")), qPrintable(Novas().join('\n')));
    QVERIFY(Sim().Comandos().size() > antes);
    QCOMPARE(Sim().Comandos()[antes], std::string("\x13"));
    QCOMPARE(Estado(), QStringLiteral("Livre"));

    // A refused frame, with "Tentar Novamente" off: straight to the memo.
    sim::Falhas f;
    f.Recusa = true;
    fSim->SetFalhas(f);
    F().chTentar->setChecked(false);
    fRespostas.Vistos.clear();
    Executa(F().DataHora1);
    F().chTentar->setChecked(true);
    fSim->SetFalhas({});
    QCOMPARE(Estado(), QStringLiteral("Exception"));
    QVERIFY2(fRespostas.Vistos.isEmpty(), qPrintable(fRespostas.Vistos.join(" / ")));
    QVERIFY(Novas().filter(QStringLiteral("Data/Hora:")).isEmpty());
    QCOMPARE(Novas().filter(QStringLiteral("Bematech")).size(), 1);
  }

  void timeOutLandsInTheMemo() {
    sim::Falhas f;
    f.Mudo = true;
    fSim->SetFalhas(f);
    fRespostas.Botao(QMessageBox::No);  // do not try again
    Executa(F().DataHora1);
    fSim->SetFalhas({});
    QCOMPARE(Estado(), QStringLiteral("Exception"));
    QVERIFY(fRespostas.Vistos.first().contains(QStringLiteral("Deseja tentar novamente ?")));
    QVERIFY(Novas().filter(QStringLiteral("Data/Hora:")).isEmpty());
    QVERIFY(Novas().size() >= 2);
    // The printer answers again afterwards.
    Executa(F().Estado1);
    QCOMPARE(Estado(), QStringLiteral("Livre"));
  }

  void reductionZThenFiscalMemoryCaptures() {
    fRespostas.Botao(QMessageBox::Yes);
    fRespostas.Botao(QMessageBox::Yes);
    fRespostas.Botao(QMessageBox::No);  // no date-time sent
    const int crz = Sim().CRZ();
    Executa(F().ReduoZ1);
    QCOMPARE(Sim().CRZ(), crz + 1);
    QVERIFY(Novas().contains(QString::fromUtf16(u"Reduçao Z")));

    fInicio = LinhasMemo();
    fRespostas.Texto(QString::number(crz + 1));
    fRespostas.Texto(QString::number(crz + 1));
    Executa(F().CapturaporNReduaoZ1);
    QStringList l = Novas();
    QVERIFY2(l.filter(QRegularExpression(QStringLiteral("CRZ \\d{4} "))).size() == 1, qPrintable(l.join('\n')));
    QCOMPARE(l.last(), QStringLiteral("---------------------------------"));

    fInicio = LinhasMemo();
    fRespostas.Aceita();  // the first of the month
    fRespostas.Aceita();  // today
    Executa(F().CapturaporPeriodo1);
    l = Novas();
    QVERIFY2(l.filter(QRegularExpression(QStringLiteral("PERIODO: \\d\\d/"))).size() == 1, qPrintable(l.join('\n')));
    QVERIFY(l.filter(QRegularExpression(QStringLiteral("CRZ \\d{4} "))).size() >= 1);

    // A date that is not a date ends the command without a call.
    fInicio = LinhasMemo();
    fRespostas.Texto(QStringLiteral("31/02/xx"));
    Executa(F().ImprimeporPeriodo1);
    QVERIFY(Novas().isEmpty() || Novas() == QStringList{QString()});
  }

  void deactivates() {
    QTest::mouseClick(F().bAtivar, Qt::LeftButton);
    QVERIFY(!F().ZuvoECF1.Ativo());
    QCOMPARE(F().bAtivar->text(), QStringLiteral("Ativar"));
    QVERIFY(Novas().contains(QStringLiteral("Desativar")));
  }
};

int main(int argc, char** argv) {
  TAplicacaoTeste app(argc, argv);
  AppBematechTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "AppBematechTest.moc"
