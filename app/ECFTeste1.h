// TForm1, the main window of the test application: the configuration panel
// (model, port, time-out, interval, activation), the command menu and the
// response memo, which is the only record of what was sent and answered.
//
// Every printer call runs synchronously. Handlers do not catch their own
// errors: each one is run through Protege, which hands any exception to
// TrataExcecao (the message goes to the memo); so no exception ever unwinds
// through the toolkit.
#pragma once

#include <QMainWindow>
#include <functional>
#include <string>

#include "component/ZuvoECF.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace zuvo {

class TfrVendeItem;
class TfrPagamento;
class TfrRelatorio;

/// Display names of the printer states, by ordinal.
extern const char* const NomesEstado[9];

/// The printable form of a command or an answer: bytes 32..127 as they
/// are, any other as "#" and its decimal value (byte 6 gives "#6").
std::string TraduzComando(const std::string& Bytes);
/// The bytes of a raw command typed with "#nnn" escapes: "#006" is the byte
/// 6, "AB#0651" is A, B, byte 65 and "1". A code above 255 raises.
std::string DecodificaComando(const std::string& Texto);

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* Pai = nullptr);
  ~TForm1() override;

  TZuvoECF ZuvoECF1;
  /// Whether SpeedButton1 may show and hide the step-by-step receipt items.
  bool LiberaMenus = false;

  // ----- Configuration panel -----
  QFrame* Panel1;
  QLabel *Label1, *Label3, *Label4, *Label5, *Label7;
  QComboBox* cbxModelo;
  QComboBox* cbxPorta;
  QLineEdit* edTimeout;
  QLineEdit* edIntervaloAposComando;
  QPushButton* bAtivar;
  QToolButton* SpeedButton1;
  QPlainTextEdit* mResp;
  QLabel* StatusPanel0;
  QLabel* StatusPanel1;
  // Hidden controls, kept in step with the component.
  QLabel *Label2, *Label6;
  QPlainTextEdit* mEnviado;
  QPlainTextEdit* mMsg;
  QCheckBox *chTentar, *chBloqueia, *chExibeMsg, *chArredondaPorQtd, *chGavetaSinalInvertido;

  // ----- Menu -----
  QAction *Ativcar1, *Desativar1, *Testar1, *Sobre1, *Sair1;
  QAction *DataHora1, *NumECF1, *NumLoja1, *NSrie1, *NVerso1, *NumCRO1, *PoucoPapel1, *Estado1,
      *HorarioVerao2, *Arredonda1, *MFD1, *ermica1, *AliquotasICMS1, *FormasdePagamento1,
      *CarregaComprovantesNAOFiscais1, *CarregaUnidadesdeMedida1, *LerTodasasVariaveis1;
  QAction *LeituraX1, *ReduoZ1, *RelatorioGerencialCompleto1, *AbreRelatrioGerencial1,
      *LinhaRelatrio1, *CupomVinculadoCompleto1, *AbreCupomVinculado1, *ImprimeLinhaVinculado1,
      *PularLinhas1, *FechaRelatrio1, *CapturaporNReduaoZ1, *CapturaporPeriodo1,
      *ImprimeporNReduaoZ1, *ImprimeporPeriodo1;
  QMenu *RelatorioGerencial1, *CupomVinculado1, *LeituradeMemoriaFiscal1;
  QMenu* Variveis1;
  QAction *NUltimoCupom1, *SubTotal1, *TotalPago1, *TestedeVelocidade1, *CancelaCupom1,
      *TestaPodeAbrirCupom1, *AbrirCupom1, *VenderItem1, *CancelarItemVendido1, *Sub1,
      *EfetuarPagamento1, *FecharCupom1;
  QMenu *Gaveta1, *Cheque1;
  QAction *AbreGaveta1, *GavetaAberta1, *ChequePronto1, *ImprimeCheque1, *CancelaImpressoCheque1;
  QAction *ProgramaAliquota1, *ProgramaFormadePagamento1, *ProgramaComprovanteNAOFiscal1,
      *ProgramaUnidadeMedida1, *HorarioVerao1, *MudaArredondamento1, *ImpactoAgulhas1,
      *CorrigeEstadodeErro1, *EnviaComando1, *Mostracomando1;

  // ----- The secondary windows, created once after this one -----
  TfrVendeItem* frVendeItem = nullptr;
  TfrPagamento* frPagamento = nullptr;
  TfrRelatorio* frRelatorio = nullptr;

  /// Adds a line (Windows-1252; line breaks start new lines) to the memo.
  void Adiciona(const std::string& Linha);
  /// The common tail of most commands: the last command sent, the answer
  /// when asked for, the separator line, and the state when LerEstado.
  void AtualizaResposta(bool LerEstado);
  /// The state's display name; "Falha ao ler" (and a memo line) when the
  /// state cannot be read. Never raises.
  std::string LeEstado();
  /// Writes an error's message to the memo and shows "Exception".
  void TrataExcecao(const std::string& Mensagem);
  /// Runs a handler; an exception it raises goes to TrataExcecao.
  void Protege(const std::function<void()>& Handler);
  /// Fills the model and port as the program's arguments ask.
  void AplicaArgumentos(bool TemModelo, TZuvoECFModelo Modelo, const std::string& Porta);
  /// The memo's text (tests, screenshots).
  QString TextoResposta() const;

 public slots:
  void cbxModeloChange();
  void cbxPortaChange();
  void edTimeoutChange();
  void edIntervaloAposComandoChange();
  void mMsgChange();
  void bAtivarClick();
  void SpeedButton1Click();
  void FormKeyDown();

  void Ativcar1Click();
  void Desativar1Click();
  void Testar1Click();
  void Sobre1Click();
  void Sair1Click();
  void DataHora1Click();
  void NumECF1Click();
  void NumLoja1Click();
  void NSrie1Click();
  void NVerso1Click();
  void NumCRO1Click();
  void PoucoPapel1Click();
  void Estado1Click();
  void HorarioVerao2Click();
  void Arredonda1Click();
  void MFD1Click();
  void ermica1Click();
  void AliquotasICMS1Click();
  void FormasdePagamento1Click();
  void CarregaComprovantesNAOFiscais1Click();
  void CarregaUnidadesdeMedida1Click();
  void LerTodasasVariaveis1Click();
  void LeituraX1Click();
  void ReduoZ1Click();
  void RelatorioGerencialCompleto1Click();
  void AbreRelatrioGerencial1Click();
  void LinhaRelatrio1Click();
  void CupomVinculadoCompleto1Click();
  void AbreCupomVinculado1Click();
  void ImprimeLinhaVinculado1Click();
  void PularLinhas1Click();
  void FechaRelatrio1Click();
  void CapturaporNReduaoZ1Click();
  void CapturaporPeriodo1Click();
  void ImprimeporNReduaoZ1Click();
  void ImprimeporPeriodo1Click();
  void NUltimoCupom1Click();
  void SubTotal1Click();
  void TotalPago1Click();
  void TestedeVelocidade1Click();
  void CancelaCupom1Click();
  void TestaPodeAbrirCupom1Click();
  void AbrirCupom1Click();
  void VenderItem1Click();
  void CancelarItemVendido1Click();
  void Sub1Click();
  void EfetuarPagamento1Click();
  void FecharCupom1Click();
  void AbreGaveta1Click();
  void GavetaAberta1Click();
  void ChequePronto1Click();
  void ImprimeCheque1Click();
  void CancelaImpressoCheque1Click();
  void ProgramaAliquota1Click();
  void ProgramaFormadePagamento1Click();
  void ProgramaComprovanteNAOFiscal1Click();
  void ProgramaUnidadeMedida1Click();
  void HorarioVerao1Click();
  void MudaArredondamento1Click();
  void ImpactoAgulhas1Click();
  void CorrigeEstadodeErro1Click();
  void EnviaComando1Click();
  void Mostracomando1Click();

 protected:
  void changeEvent(QEvent* Evento) override;

 private:
  void CriaPainel();
  void CriaMenus();
  void LigaComponente();
  /// Connects a control's signal to a handler run through Protege.
  template <class Emissor, class Sinal>
  void Liga(Emissor* E, Sinal S, void (TForm1::*Handler)());
  QAction* Item(QMenu* Menu, const char* Texto, const char* Nome, void (TForm1::*Handler)(),
                bool Visivel = true);
  QAction* Separador(QMenu* Menu, bool Visivel = true);
  /// Places a secondary window beside this one when the screen has room
  /// (it then leaves the memo in view), else centres it on this one.
  void PoeAoLado(QWidget* Janela);
  void SelecionaModeloAtual();
  void MostraInicioDaPorta();
  void MostraPortaAtual();
  /// Input box; false when cancelled.
  bool Pergunta(const std::string& Titulo, const std::string& Texto, std::string& Valor);
  /// An amount typed by the user: the first "." and "," become the decimal
  /// separator; 0 when it is not a number (the command then ends).
  static double LeValor(const std::string& Texto);
  void ListaMemoriaFiscal(const TStrings& Linhas);

  QMenu *fPrincipal, *fVariaveis, *fRelatorios, *fCupom, *fDispositivos, *fUtilitarios;
  bool fLigado = false;  // the component's events are connected
};

}  // namespace zuvo
