// The test application against every printer family's simulator, as a
// technician uses it: choose the model and the port, activate, sell one item
// through the sale window, pay cash through the payment window, close the
// receipt, then an X reading. One row per registered family and generation,
// all on the same main window, the printer changed between rows.
#include <QTemporaryDir>
#include <QtTest>

#include "app/Aplicacao.h"
#include "app/EfetuaPagamento.h"
#include "app/VendeItem.h"
#include "core/ZuvoPlataforma.h"
#include "gui/AppJanela.h"
#include "sim/Simulador.h"
#include "support/Familia.h"
#include "ui/ZuvoQtTexto.h"

using namespace zuvo;

namespace {

// The system platform with the program's folder moved to a scratch one: the
// families that keep files beside the program start from nothing each run.
class PlataformaPasta : public PlataformaSistema {
 public:
  explicit PlataformaPasta(std::string Pasta) : fPasta(std::move(Pasta)) {}
  std::string PastaPrograma() override { return fPasta; }

 private:
  std::string fPasta;
};

}  // namespace

class AppFamiliasTest : public QObject, public AppJanela {
  Q_OBJECT

  QTemporaryDir fPastas;
  std::unique_ptr<PlataformaPasta> fPlataforma;
  std::unique_ptr<sim::Simulador> fSim;

  QString Papel() const { return ui::DeCp1252(fSim->Papel()); }
  /// The memo lines of the current row, for failure messages.
  QByteArray Memo() const { return Novas().join('\n').toLocal8Bit(); }
  /// Runs a menu item and expects the printer to have taken it.
  void Passo(QAction* Item) {
    Executa(Item);
    QVERIFY2(Estado() != QStringLiteral("Exception"), Memo().constData());
  }

 private slots:
  void initTestCase() {
    QVERIFY(fPastas.isValid());
    QVERIFY(AbreJanela());
    // The receipt's prompts (CPF, subtotal, closing message) are answered
    // with what they offer; a message box is still a failure.
    fRespostas.SetAceitaEntradas(true);
  }
  void cleanupTestCase() {
    FechaJanela();
    SetPlataforma(nullptr);
  }
  void cleanup() {
    F().frVendeItem->close();
    F().frPagamento->close();
    if (F().ZuvoECF1.Ativo()) QTest::mouseClick(F().bAtivar, Qt::LeftButton);
    fSim.reset();
    const QStringList inesperados = fRespostas.Inesperados;
    fRespostas.Limpa();
    QVERIFY2(inesperados.isEmpty(), qPrintable(inesperados.join(" / ")));
  }

  void printsAReceiptAndAnXReading_data() {
    QTest::addColumn<int>("indice");
    const auto& familias = teste::Familias();
    for (size_t i = 0; i < familias.size(); i++)
      QTest::newRow(familias[i].NomeTeste().c_str()) << int(i);
  }

  void printsAReceiptAndAnXReading() {
    QFETCH(int, indice);
    const teste::Familia& f = teste::Familias().at(size_t(indice));
    fInicio = LinhasMemo();

    const QString pasta = fPastas.filePath(QString::fromStdString(f.NomeTeste()));
    QVERIFY(QDir().mkpath(pasta));
    fPlataforma = std::make_unique<PlataformaPasta>(pasta.toStdString() + "/");
    SetPlataforma(fPlataforma.get());
    fSim = sim::CriaSimulador(f.Nome, f.Opcoes);
    QVERIFY2(fSim, f.Nome.c_str());

    Escolhe(f.Modelo, fSim->Porta(), 2);
    F().edIntervaloAposComando->selectAll();
    QTest::keyClicks(F().edIntervaloAposComando, QStringLiteral("0"));
    QCOMPARE(F().ZuvoECF1.Modelo(), f.Modelo);
    QCOMPARE(F().ZuvoECF1.IntervaloAposComando(), 0);
    if (f.Prepara) {
      // The family's first-use question is scripted for the headless
      // toolkit; it stands in for the technician's answer while activating.
      HeadlessToolkit roteiro;
      f.Prepara(roteiro);
      SetToolkit(&roteiro);
      Ativa();
      SetToolkit(&fToolkit);
    } else {
      Ativa();
    }
    QVERIFY2(F().ZuvoECF1.Ativo(), Memo().constData());
    QVERIFY2(Estado() != QStringLiteral("Exception"), Memo().constData());
    if (f.AposAtivar) f.AposAtivar(F().ZuvoECF1);

    Passo(F().AbrirCupom1);
    QCOMPARE(Estado(), QStringLiteral("Venda"));

    Executa(F().VenderItem1);
    TfrVendeItem& v = *F().frVendeItem;
    QVERIFY(v.isVisible());
    v.edDescricao->selectAll();
    QTest::keyClicks(v.edDescricao, QStringLiteral("PAO DE QUEIJO"));
    v.edQtd->selectAll();
    QTest::keyClicks(v.edQtd, QStringLiteral("2"));
    v.edPrecoUnita->selectAll();
    QTest::keyClicks(v.edPrecoUnita, QStringLiteral("1.25"));
    v.edICMS->selectAll();
    QTest::keyClicks(v.edICMS, QString::fromStdString(f.Aliquota));
    v.edDesconto->selectAll();
    QTest::keyClicks(v.edDesconto, QStringLiteral("0"));
    QTest::mouseClick(v.Button1, Qt::LeftButton);
    v.close();
    QVERIFY2(Estado() != QStringLiteral("Exception"), Memo().constData());

    Passo(F().Sub1);
    Executa(F().EfetuarPagamento1);
    TfrPagamento& p = *F().frPagamento;
    QVERIFY(p.isVisible());
    QCOMPARE(p.lTotalAPAGAR->text(), QStringLiteral("2,5"));
    p.edCod->selectAll();
    QTest::keyClicks(p.edCod, QString::fromStdString(f.FormaDinheiro));
    p.edValor->selectAll();
    QTest::keyClicks(p.edValor, QStringLiteral("10.00"));
    QTest::mouseClick(p.btImprimir, Qt::LeftButton);
    p.close();
    QVERIFY2(Estado() != QStringLiteral("Exception"), Memo().constData());
    // Some printers count the payment only up to the amount due.
    QVERIFY(F().ZuvoECF1.TotalPago() >= 2.5);

    Passo(F().FecharCupom1);
    QCOMPARE(Estado(), QStringLiteral("Livre"));
    // A printer that answers nothing (the emulator on a serial printer) has
    // its text still on the line when the call returns: the paper may lag.
    QTRY_VERIFY2(Papel().contains(QStringLiteral("PAO DE QUEIJO")), qPrintable(Papel()));

    const qsizetype antes = Papel().count(QStringLiteral("LEITURA X"));
    Passo(F().LeituraX1);
    QVERIFY2(Novas().contains(QStringLiteral("Leitura X")), Memo().constData());
    QTRY_VERIFY2(Papel().count(QStringLiteral("LEITURA X")) > antes, qPrintable(Papel()));
  }
};

int main(int argc, char** argv) {
  TAplicacaoTeste app(argc, argv);
  AppFamiliasTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "AppFamiliasTest.moc"
