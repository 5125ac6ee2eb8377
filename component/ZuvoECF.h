// TZuvoECF: the component an application uses to drive a fiscal printer.
//
// It owns a device (the port) and exactly one driver, chosen by Modelo. It
// checks and normalises some arguments (rounding of quantities, prices and
// amounts, accent removal in printed texts) and forwards every operation to
// the driver. It can also search for a printer over the known models and the
// serial ports COM1 to COM6.
#pragma once

#include <memory>
#include <string>

#include "ecf/ZuvoECFClass.h"
#include "core/ZuvoUI.h"
#include "core/ZuvoUtil.h"
#include "device/ZuvoBase.h"

namespace zuvo {

enum TZuvoECFModelo {
  ecfNenhum,
  ecfNaoFiscal,
  ecfBematech,
  ecfSweda,
  ecfDaruma,
  ecfSchalter,
  ecfMecaf,
  ecfYanco,
  ecfDataRegis,
  ecfUrano,
  ecfICash,
  ecfQuattro,
  ecfFiscNET
};

inline constexpr int kNumModelos = ecfFiscNET + 1;

/// The identifier of a model ("ecfBematech").
std::string ModeloNome(TZuvoECFModelo M);
/// The model whose identifier is Nome (case-insensitive); false if none.
bool ModeloDeNome(const std::string& Nome, TZuvoECFModelo& M);
/// Creates the driver of a model (the base class for a model without its
/// own driver). The one place where drivers are registered.
std::unique_ptr<TZuvoECFClass> CriaDriver(TZuvoECFModelo Modelo, TZuvoDevice& Device,
                                          TZuvoECFConfig& Config);
/// Whether a model has a driver of its own yet.
bool ModeloTemDriver(TZuvoECFModelo Modelo);

class TZuvoECF : public TZuvoComponent {
 public:
  /// Port "COM1", model ecfNenhum, the base-class driver.
  TZuvoECF();
  ~TZuvoECF() override;
  TZuvoECF(const TZuvoECF&) = delete;
  TZuvoECF& operator=(const TZuvoECF&) = delete;

  // ----- Properties -----

  TZuvoECFModelo Modelo() const { return fModelo; }
  /// Replaces the driver, carrying the settings over. Active: Exception
  /// "Não é possível mudar o Modelo com o ECF Ativo".
  void SetModelo(TZuvoECFModelo Valor);
  /// Installs a driver built outside the factory (a family kept out of the
  /// library, or a test double), carrying the settings over as SetModelo
  /// does. Modelo is left as it is. Active: the same error as SetModelo.
  void SubstituiDriver(std::unique_ptr<TZuvoECFClass> Driver);
  const std::string& Porta() const { return fDevice->Porta(); }
  /// "procurar" (any case) or "" means: search on activation.
  void SetPorta(const std::string& V) { fDevice->SetPorta(V); }
  bool ReTentar() const { return fECF->ReTentar(); }
  void SetReTentar(bool V) { fECF->SetReTentar(V); }
  int TimeOut() const { return fDevice->TimeOut(); }
  void SetTimeOut(int V) { fDevice->SetTimeOut(V); }
  int IntervaloAposComando() const { return fECF->IntervaloAposComando(); }
  void SetIntervaloAposComando(int V) { fECF->SetIntervaloAposComando(V); }
  bool DescricaoGrande() const { return fECF->DescricaoGrande(); }
  void SetDescricaoGrande(bool V) { fECF->SetDescricaoGrande(V); }
  bool GavetaSinalInvertido() const { return fGavetaSinalInvertido; }
  void SetGavetaSinalInvertido(bool V) { fGavetaSinalInvertido = V; }
  const std::string& Operador() const { return fECF->Operador(); }
  void SetOperador(const std::string& V) { fECF->SetOperador(V); }
  const std::string& MsgAguarde() const { return fECF->MsgAguarde(); }
  void SetMsgAguarde(const std::string& V) { fECF->SetMsgAguarde(V); }
  bool ExibeMensagem() const { return fECF->ExibeMensagem(); }
  void SetExibeMensagem(bool V) { fECF->SetExibeMensagem(V); }
  int TempoInicioMsg() const { return fECF->TempoInicioMsg(); }
  /// A value above the current TimeOut is stored as TimeOut.
  void SetTempoInicioMsg(int V) { fECF->SetTempoInicioMsg(V); }
  bool ArredondaPorQtd() const { return fECF->ArredondaPorQtd(); }
  void SetArredondaPorQtd(bool V) { fECF->SetArredondaPorQtd(V); }
  bool BloqueiaMouseTeclado() const { return fECF->BloqueiaMouseTeclado(); }
  void SetBloqueiaMouseTeclado(bool V) { fECF->SetBloqueiaMouseTeclado(V); }
  int MsgPoucoPapel() const { return fECF->MsgPoucoPapel(); }
  void SetMsgPoucoPapel(int V) { fECF->SetMsgPoucoPapel(V); }
  const std::string& MsgRelatorio() const { return fECF->MsgRelatorio(); }
  void SetMsgRelatorio(const std::string& V) { fECF->SetMsgRelatorio(V); }
  int PausaRelatorio() const { return fECF->PausaRelatorio(); }
  void SetPausaRelatorio(int V) { fECF->SetPausaRelatorio(V); }
  const std::string& MsgPausaRelatorio() const { return fECF->MsgPausaRelatorio(); }
  void SetMsgPausaRelatorio(const std::string& V) { fECF->SetMsgPausaRelatorio(V); }
  int LinhasEntreCupons() const { return fECF->LinhasEntreCupons(); }
  void SetLinhasEntreCupons(int V) { fECF->SetLinhasEntreCupons(V); }
  const TZuvoFonte& FormMsgFonte() const { return fConfig.FormMsgFonte; }
  /// Copies the given font's attributes into the settings record.
  void SetFormMsgFonte(const TZuvoFonte& V) { fConfig.FormMsgFonte = V; }
  TCor FormMsgColor() const { return fConfig.FormMsgColor; }
  /// Read by the driver from the settings record.
  void SetFormMsgColor(TCor V) { fConfig.FormMsgColor = V; }
  int DecimaisPreco() const { return fECF->DecimaisPreco(); }
  void SetDecimaisPreco(int V) { fECF->SetDecimaisPreco(V); }
  int DecimaisQtd() const { return fECF->DecimaisQtd(); }
  void SetDecimaisQtd(int V) { fECF->SetDecimaisQtd(V); }
  TZuvoDevice& Device() const { return *fDevice; }
  /// The settings record every driver of this component reads.
  TZuvoECFConfig& Config() { return fConfig; }

  // Events, kept by the driver.
  const TZuvoECFMsgAguarde& OnMsgAguarde() const { return fECF->OnMsgAguarde; }
  void SetOnMsgAguarde(TZuvoECFMsgAguarde V) { fECF->OnMsgAguarde = std::move(V); }
  const TZuvoNotifyEvent& OnAguardandoRespostaChange() const {
    return fECF->OnAguardandoRespostaChange;
  }
  void SetOnAguardandoRespostaChange(TZuvoNotifyEvent V) {
    fECF->OnAguardandoRespostaChange = std::move(V);
  }
  const TZuvoNotifyEvent& OnMsgPoucoPapel() const { return fECF->OnMsgPoucoPapel; }
  void SetOnMsgPoucoPapel(TZuvoNotifyEvent V) { fECF->OnMsgPoucoPapel = std::move(V); }
  const TZuvoECFMsgRetentar& OnMsgRetentar() const { return fECF->OnMsgRetentar; }
  void SetOnMsgRetentar(TZuvoECFMsgRetentar V) { fECF->OnMsgRetentar = std::move(V); }

  bool Ativo() const { return fAtivo; }
  /// True activates, false deactivates.
  void SetAtivo(bool V);
  bool Procurando() const { return fProcurando; }
  bool ProcurandoPorta() const { return fProcurandoPorta; }
  const std::string& MensagemRodape() const { return fMensagemRodape; }
  bool AguardandoResposta() const { return fECF->AguardandoResposta(); }
  int Colunas() const { return fECF->Colunas(); }
  const std::string& ComandoEnviado() const { return fECF->ComandoEnviado(); }
  const std::string& RespostaComando() const { return fECF->RespostaComando(); }
  bool MFD() const { return fECF->MFD(); }
  bool Termica() const { return fECF->Termica(); }
  TZuvoECFAliquotas& Aliquotas() { return fECF->Aliquotas(); }
  TZuvoECFFormasPagamento& FormasPagamento() { return fECF->FormasPagamento(); }
  TZuvoECFComprovantesNaoFiscais& ComprovantesNaoFiscais() {
    return fECF->ComprovantesNaoFiscais();
  }
  TZuvoECFUnidadesMedida& UnidadesMedida() { return fECF->UnidadesMedida(); }
  /// The driver object.
  TZuvoECFClass& ECF() const { return *fECF; }

  // ----- Operations -----

  /// Opens the port and identifies the printer. ecfNenhum: Exception
  /// "Modelo não definido". An empty or "procurar" port is searched first.
  void Ativar();
  void Desativar();
  /// Activates when needed, shows the printer's identity in an information
  /// box, and leaves Ativo as it was. Returns whether it was active then.
  bool Testar();
  /// Searches over the models (ecfBematech..ecfFiscNET), the ports COM1 to
  /// COM6, or both; leaves the component inactive with what was found.
  bool ProcuraECF(bool ProcurarModelo = true, bool ProcurarPorta = true, int TimeOut = 3);
  /// Searches the serial ports for the current model. "C" cancels.
  bool ProcuraPorta(int TimeOut = 3);

  std::string ModeloStr() { return fECF->ModeloStr(); }
  TDateTime DataHora() { return fECF->DataHora(); }
  std::string NumCupom() { return fECF->NumCupom(); }
  std::string NumECF() { return fECF->NumECF(); }
  std::string NumCRO() { return fECF->NumCRO(); }
  std::string NumLoja() { return fECF->NumLoja(); }
  std::string NumSerie() { return fECF->NumSerie(); }
  std::string NumVersao() { return fECF->NumVersao(); }
  TZuvoECFEstado Estado() { return fECF->Estado(); }
  bool PoucoPapel() { return fECF->PoucoPapel(); }
  bool Arredonda() { return fECF->Arredonda(); }
  bool HorarioVerao() { return fECF->HorarioVerao(); }
  bool ChequePronto() { return fECF->ChequePronto(); }
  double SubTotal() { return fECF->SubTotal(); }
  double TotalPago() { return fECF->TotalPago(); }
  /// Inverted when GavetaSinalInvertido.
  bool GavetaAberta();
  bool EmLinha(int TimeOut = 1) { return fECF->EmLinha(TimeOut); }

  void AbreCupom(const std::string& CPF_CNPJ = "") { fECF->AbreCupom(CPF_CNPJ); }
  void AbreGaveta() { fECF->AbreGaveta(); }
  void CancelaCupom() { fECF->CancelaCupom(); }
  void CancelaImpressaoCheque() { fECF->CancelaImpressaoCheque(); }
  void CancelaItemVendido(int NumItem) { fECF->CancelaItemVendido(NumItem); }
  void CorrigeEstadoErro() { fECF->CorrigeEstadoErro(); }
  void FechaRelatorio() { fECF->FechaRelatorio(); }
  void PulaLinhas(int NumLinhas = 0) { fECF->PulaLinhas(NumLinhas); }
  void ImpactoAgulhas(int NivelForca = 2) { fECF->ImpactoAgulhas(NivelForca); }
  void LeituraX() { fECF->LeituraX(); }
  void ReducaoZ(TDateTime DataHora = 0) { fECF->ReducaoZ(DataHora); }
  void MudaArredondamento(bool Arredondar) { fECF->MudaArredondamento(Arredondar); }
  bool TestaPodeAbrirCupom() { return fECF->TestaPodeAbrirCupom(); }
  void AbreRelatorioGerencial() { fECF->AbreRelatorioGerencial(); }
  void LinhaRelatorioGerencial(const std::string& Linha) { fECF->LinhaRelatorioGerencial(Linha); }
  void LinhaCupomVinculado(const std::string& Linha) { fECF->LinhaCupomVinculado(Linha); }
  /// Refuses an empty command (EZuvoECFCMDInvalido) instead of waiting for
  /// an answer that cannot come.
  std::string EnviaComando(const std::string& Cmd);
  /// The toggle.
  void MudaHorarioVerao() { fECF->MudaHorarioVerao(); }
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
    fECF->LeituraMemoriaFiscal(DataInicial, DataFinal);
  }
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
    fECF->LeituraMemoriaFiscal(ReducaoInicial, ReducaoFinal);
  }
  void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal, TStrings& Linhas) {
    fECF->LeituraMemoriaFiscalSerial(DataInicial, DataFinal, Linhas);
  }
  void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal, TStrings& Linhas) {
    fECF->LeituraMemoriaFiscalSerial(ReducaoInicial, ReducaoFinal, Linhas);
  }

  /// Every operation taking a number refuses NaN and the infinities
  /// (EZuvoECFCMDInvalido "Valor de <name> inválido: não é um número finito.").
  /// Rounds Qtd to DecimaisQtd and ValorUnitario to DecimaisPreco decimals;
  /// refuses a zero quantity or price and an empty tax rate
  /// (EZuvoECFCMDInvalido); passes the rate trimmed and upper-cased.
  void VendeItem(const std::string& Codigo, const std::string& Descricao,
                 const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                 double DescontoPorc = 0, const std::string& Unidade = "");
  /// Rounds to 2 decimals; keeps the footer (accents removed) for FechaCupom
  /// and passes it with every "|" turned into a line break.
  void SubtotalizaCupom(double DescontoAcrescimo = 0, const std::string& MensagemRodape = "");
  void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                       const std::string& Observacao = "", bool ImprimeVinculado = false);
  /// An empty Observacao prints the footer kept by SubtotalizaCupom.
  void FechaCupom(const std::string& Observacao = "");
  void ImprimeCheque(const std::string& Banco, double Valor, const std::string& Favorecido,
                     const std::string& Cidade, TDateTime Data,
                     const std::string& Observacao = "");

  void CarregaAliquotas() { fECF->CarregaAliquotas(); }
  void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "");
  TZuvoECFAliquota* AchaICMSAliquota(double Aliquota, char Tipo = ' ') {
    return fECF->AchaICMSAliquota(Aliquota, Tipo);
  }
  TZuvoECFAliquota* AchaICMSIndice(const std::string& Indice) {
    return fECF->AchaICMSIndice(Indice);
  }
  void CarregaFormasPagamento() { fECF->CarregaFormasPagamento(); }
  TZuvoECFFormaPagamento* AchaFPGDescricao(const std::string& Descricao) {
    return fECF->AchaFPGDescricao(Descricao);
  }
  TZuvoECFFormaPagamento* AchaFPGIndice(const std::string& Indice) {
    return fECF->AchaFPGIndice(Indice);
  }
  /// Descricao comes back as the printer recorded it: search with that.
  void ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado = true,
                              const std::string& Posicao = "") {
    fECF->ProgramaFormaPagamento(Descricao, PermiteVinculado, Posicao);
  }
  /// For a caller that keeps its own text (a literal, say).
  void ProgramaFormaPagamento(const std::string& Descricao, bool PermiteVinculado = true,
                              const std::string& Posicao = "") {
    std::string gravada = Descricao;
    ProgramaFormaPagamento(gravada, PermiteVinculado, Posicao);
  }
  void CarregaComprovantesNaoFiscais() { fECF->CarregaComprovantesNaoFiscais(); }
  TZuvoECFComprovanteNaoFiscal* AchaCNFDescricao(const std::string& Descricao) {
    return fECF->AchaCNFDescricao(Descricao);
  }
  TZuvoECFComprovanteNaoFiscal* AchaCNFIndice(const std::string& Indice) {
    return fECF->AchaCNFIndice(Indice);
  }
  /// Descricao comes back as the printer recorded it.
  void ProgramaComprovanteNaoFiscal(std::string& Descricao, const std::string& Tipo = "",
                                    const std::string& Posicao = "") {
    fECF->ProgramaComprovanteNaoFiscal(Descricao, Tipo, Posicao);
  }
  void ProgramaComprovanteNaoFiscal(const std::string& Descricao, const std::string& Tipo = "",
                                    const std::string& Posicao = "") {
    std::string gravada = Descricao;
    ProgramaComprovanteNaoFiscal(gravada, Tipo, Posicao);
  }
  void CarregaUnidadesMedida() { fECF->CarregaUnidadesMedida(); }
  void ProgramaUnidadeMedida(const std::string& Descricao) {
    fECF->ProgramaUnidadeMedida(Descricao);
  }

  /// Complete managerial report in Vias copies.
  void RelatorioGerencial(const TStrings& Relatorio, int Vias = 1) {
    fECF->RelatorioGerencial(Relatorio, Vias);
  }
  /// Complete linked receipt in Vias copies; Valor rounded to 2 decimals.
  void CupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                      const std::string& CodComprovanteNaoFiscal, double Valor,
                      const TStrings& Relatorio, int Vias = 1);
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto, double Valor);
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor);

 private:
  void InstalaDriver(std::unique_ptr<TZuvoECFClass> Novo);
  void VarrePortas();
  bool TentaPorta();

  std::unique_ptr<TZuvoDevice> fDevice;
  bool fAtivo = false;
  bool fProcurando = false;
  bool fProcurandoPorta = false;
  TZuvoECFModelo fModelo = ecfNenhum;
  std::string fMensagemRodape;
  TZuvoECFConfig fConfig;  // before fECF: the driver holds a reference to it
  std::unique_ptr<TZuvoECFClass> fECF;
  bool fGavetaSinalInvertido = false;
};

}  // namespace zuvo
