#include "app/EfetuaPagamento.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include "app/ECFTeste1.h"
#include "app/FiltroValor.h"
#include "ui/ZuvoQtTexto.h"

namespace zuvo {

using ui::DeCp1252;
using ui::ParaCp1252;

TfrPagamento::TfrPagamento(TForm1& Principal)
    : QDialog(&Principal, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), fPrincipal(Principal) {
  setObjectName(QStringLiteral("frPagamento"));
  setWindowTitle(QStringLiteral("Efetuar Pagamento"));
  setModal(false);

  auto campo = [this](const char* Nome) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(Nome));
    return e;
  };
  edCod = campo("edCod");
  edValor = campo("edValor");
  TFiltroValor::Instala(edValor);
  edObs = campo("edObs");
  SpeedButton1 = new QToolButton(this);
  SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
  SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  cbVinc = new QCheckBox(QStringLiteral("Cupom &Vinculado"), this);
  cbVinc->setObjectName(QStringLiteral("cbVinc"));
  btImprimir = new QPushButton(QStringLiteral("&Imprimir"), this);
  btImprimir->setObjectName(QStringLiteral("btImprimir"));
  btImprimir->setAutoDefault(false);
  mFormas = new QPlainTextEdit(this);
  mFormas->setObjectName(QStringLiteral("mFormas"));
  mFormas->setReadOnly(true);
  mFormas->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mFormas->setMinimumWidth(260);

  Label1 = new QLabel(QStringLiteral("&Cod."), this);
  Label1->setBuddy(edCod);
  Label2 = new QLabel(QStringLiteral("&Valor"), this);
  Label2->setBuddy(edValor);
  Label8 = new QLabel(QStringLiteral("&Obs:"), this);
  Label8->setBuddy(edObs);
  Label3 = new QLabel(QStringLiteral("Formas de Pagamento"), this);
  Label4 = new QLabel(QStringLiteral("TOTAL DO CUPOM:"), this);
  lTotalAPAGAR = new QLabel(QStringLiteral("1000.00"), this);
  lTotalAPAGAR->setObjectName(QStringLiteral("lTotalAPAGAR"));
  lTotalAPAGAR->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label5 = new QLabel(QStringLiteral("TOTAL PAGO"), this);
  lTotalPago = new QLabel(QStringLiteral("1000.00"), this);
  lTotalPago->setObjectName(QStringLiteral("lTotalPago"));
  lTotalPago->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label6 = new QLabel(
      DeCp1252("- Entre com um ou vários pagamentos até atingir o Total do Cupom"), this);
  Label6->setWordWrap(true);
  Label7 = new QLabel(
      DeCp1252("- Se o valor pago for superior ao Total do Cupom será calculado o    TROCO"), this);
  Label7->setWordWrap(true);

  auto* grade = new QGridLayout(this);
  grade->addWidget(Label1, 0, 0);
  grade->addWidget(edCod, 0, 1);
  grade->addWidget(SpeedButton1, 0, 2);
  grade->addWidget(Label2, 1, 0);
  grade->addWidget(edValor, 1, 1, 1, 2);
  grade->addWidget(Label8, 2, 0);
  grade->addWidget(edObs, 2, 1, 1, 2);
  grade->addWidget(cbVinc, 3, 1, 1, 2);
  grade->addWidget(btImprimir, 4, 1, 1, 2);
  grade->addWidget(Label4, 5, 0, 1, 2);
  grade->addWidget(lTotalAPAGAR, 5, 2);
  grade->addWidget(Label5, 6, 0, 1, 2);
  grade->addWidget(lTotalPago, 6, 2);
  grade->addWidget(Label3, 0, 3);
  grade->addWidget(mFormas, 1, 3, 6, 1);
  grade->addWidget(Label6, 7, 0, 1, 4);
  grade->addWidget(Label7, 8, 0, 1, 4);
  grade->setSizeConstraint(QLayout::SetFixedSize);

  connect(btImprimir, &QPushButton::clicked, this,
          [this] { fPrincipal.Protege([this] { btImprimirClick(); }); });
  connect(SpeedButton1, &QToolButton::clicked, this,
          [this] { fPrincipal.Protege([this] { SpeedButton1Click(); }); });
  edCod->setFocus();
}

void TfrPagamento::showEvent(QShowEvent* Evento) {
  QDialog::showEvent(Evento);
  fPrincipal.Protege([this] { FormShow(); });
}

void TfrPagamento::FormShow() {
  AtualizaTotais();
  ListaFormasPagamento();
}

void TfrPagamento::AtualizaTotais() {
  lTotalAPAGAR->setText(DeCp1252(FloatToStr(fPrincipal.ZuvoECF1.SubTotal())));
  lTotalPago->setText(DeCp1252(FloatToStr(fPrincipal.ZuvoECF1.TotalPago())));
}

void TfrPagamento::ListaFormasPagamento() {
  mFormas->clear();
  TZuvoECF& ecf = fPrincipal.ZuvoECF1;
  if (ecf.Modelo() == ecfNaoFiscal || ecf.Modelo() == ecfBematech)
    ecf.CarregaFormasPagamento();
  else
    ecf.AchaFPGIndice("");  // loads the table only the first time
  for (const auto& f : ecf.FormasPagamento())
    mFormas->appendPlainText(DeCp1252(f->Indice + " -> " + f->Descricao + " - " +
                                      (f->PermiteVinculado ? "v" : "")));
}

void TfrPagamento::btImprimirClick() {
  const std::string cod = ParaCp1252(edCod->text());
  const std::string valorTexto = ParaCp1252(edValor->text());
  const std::string obs = ParaCp1252(edObs->text());
  const bool vinculado = cbVinc->isChecked();
  const double valor = TextoParaNumero(valorTexto);
  fPrincipal.ZuvoECF1.EfetuaPagamento(cod, valor, obs, vinculado);
  fPrincipal.Adiciona("Efetua Pagamento: " + cod + " Valor: " + valorTexto + " Obs: " + obs +
                      " Vinc: " + (vinculado ? "S" : "N"));
  fPrincipal.AtualizaResposta(true);
  AtualizaTotais();
}

void TfrPagamento::SpeedButton1Click() {
  std::string descricao;
  if (!Toolkit().inputBox("Pesquisa Descrição Forma Pagamento",
                          "Entre com a Descrição a Localizar ou Cadastrar(Bematech)", descricao))
    return;
  TZuvoECF& ecf = fPrincipal.ZuvoECF1;
  const TZuvoECFFormaPagamento* fpg = ecf.AchaFPGDescricao(descricao);
  if (!fpg) throw Exception("Forma de Pagamento: " + descricao + " não encontrada");
  const std::string indice = fpg->Indice;
  const std::string achada = fpg->Descricao;
  edCod->setText(DeCp1252(indice));
  // A method the Bematech driver has just programmed is not listed yet.
  if (ecf.ECF().Suporta(recAchaFPGPrograma) && !mFormas->toPlainText().contains(DeCp1252(achada)))
    ListaFormasPagamento();
}

}  // namespace zuvo
