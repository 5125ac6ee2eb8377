#include "app/VendeItem.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ECFTeste1.h"
#include "app/FiltroValor.h"
#include "ui/ZuvoQtTexto.h"

namespace zuvo {

using ui::DeCp1252;
using ui::ParaCp1252;

TfrVendeItem::TfrVendeItem(TForm1& Principal)
    : QDialog(&Principal, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), fPrincipal(Principal) {
  setObjectName(QStringLiteral("frVendeItem"));
  setWindowTitle(QStringLiteral("Vende Item"));
  setModal(false);

  auto campo = [this](const char* Nome, const char* Texto) {
    auto* e = new QLineEdit(DeCp1252(Texto), this);
    e->setObjectName(QString::fromLatin1(Nome));
    return e;
  };
  edCodigo = campo("edCodigo", "111222333");
  edDescricao = campo("edDescricao", "TESTE DE PRODUTO");
  edQtd = campo("edQtd", "1");
  edPrecoUnita = campo("edPrecoUnita", "1");
  edICMS = campo("edICMS", "NN");
  edDesconto = campo("edDesconto", "0");
  edUN = campo("edUN", "UN");
  for (QLineEdit* e : {edQtd, edPrecoUnita, edICMS, edDesconto}) TFiltroValor::Instala(e);
  // Code and description show a whole barcode and a printer's line of text.
  for (QLineEdit* e : {edCodigo, edDescricao})
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('X')) * 20);

  auto rotulo = [this](const char* Texto, QLineEdit* Campo) {
    auto* l = new QLabel(DeCp1252(Texto), this);
    l->setBuddy(Campo);
    return l;
  };
  Label1 = rotulo("&Código", edCodigo);
  Label2 = rotulo("&Descrição", edDescricao);
  Label3 = rotulo("&Qtd", edQtd);
  Label4 = rotulo("&Preço Unitário", edPrecoUnita);
  Label5 = rotulo("&Valor Aliq. ICMS", edICMS);
  Label6 = rotulo("&Desc (%)", edDesconto);
  Label7 = rotulo("&Unidade", edUN);
  Label8 = new QLabel(QStringLiteral("II = Isento"), this);
  Label9 = new QLabel(QStringLiteral("NN = Nao Incidencia"), this);
  Label10 = new QLabel(DeCp1252("FF = Substituiçao Tributária"), this);

  Button1 = new QPushButton(QStringLiteral("&Imprimir"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setDefault(true);
  Button1->setAutoDefault(true);
  Button2 = new QPushButton(QStringLiteral("Fechar"), this);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setAutoDefault(false);

  auto* formulario = new QFormLayout;
  formulario->addRow(Label1, edCodigo);
  formulario->addRow(Label2, edDescricao);
  formulario->addRow(Label3, edQtd);
  formulario->addRow(Label4, edPrecoUnita);
  formulario->addRow(Label5, edICMS);
  formulario->addRow(Label6, edDesconto);
  formulario->addRow(Label7, edUN);
  auto* legenda = new QVBoxLayout;
  legenda->addWidget(Label8);
  legenda->addWidget(Label9);
  legenda->addWidget(Label10);
  auto* botoes = new QHBoxLayout;
  botoes->addStretch();
  botoes->addWidget(Button1);
  botoes->addWidget(Button2);
  auto* tudo = new QVBoxLayout(this);
  tudo->addLayout(formulario);
  tudo->addLayout(legenda);
  tudo->addLayout(botoes);
  tudo->setSizeConstraint(QLayout::SetFixedSize);

  connect(Button1, &QPushButton::clicked, this,
          [this] { fPrincipal.Protege([this] { Button1Click(); }); });
  // Esc and "Fechar" only hide the window; its fields are kept.
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  edCodigo->setFocus();
}

void TfrVendeItem::Button1Click() {
  Button1->setEnabled(false);
  struct Reabilita {
    QPushButton* B;
    ~Reabilita() { B->setEnabled(true); }
  } reabilita{Button1};

  const std::string codigo = ParaCp1252(edCodigo->text());
  const std::string descricao = ParaCp1252(edDescricao->text());
  const std::string icms = ParaCp1252(edICMS->text());
  const std::string qtd = ParaCp1252(edQtd->text());
  const std::string preco = ParaCp1252(edPrecoUnita->text());
  const std::string desconto = ParaCp1252(edDesconto->text());
  const std::string unidade = ParaCp1252(edUN->text());
  fPrincipal.ZuvoECF1.VendeItem(codigo, descricao, icms, TextoParaNumeroDef(qtd, 0),
                                TextoParaNumeroDef(preco, 0), TextoParaNumeroDef(desconto, 0),
                                unidade);
  fPrincipal.Adiciona("Vende Item: Cod:" + codigo + " Desc" + descricao + " Aliq:" + icms +
                      " Qtd:" + qtd + " Preço:" + preco + " Desc:" + desconto + " Un:" + unidade);
  fPrincipal.AtualizaResposta(true);
}

}  // namespace zuvo
