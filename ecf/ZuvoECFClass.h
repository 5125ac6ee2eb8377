// TZuvoECFClass: the abstract fiscal-printer driver.
//
// The component TZuvoECF owns exactly one driver and forwards every printer
// operation to it. Each printer family is a subclass that overrides the
// operations its printer offers; what it does not override keeps the base
// behaviour documented at each declaration (mostly a "não implementada" error).
//
// The base class supplies what every driver shares: the command cycle (send,
// read until the driver's VerificaFimLeitura accepts the answer or the
// time-out expires, the retry question, the low-paper notice), the wait
// window with its countdown, the four tables with their look-ups and the
// composite reports printed in several copies.
//
// A driver that overrides EnviaComando(Cmd) must also write
//   using TZuvoECFClass::EnviaComando;
// so that the time-out forms stay visible on it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/ZuvoUI.h"
#include "core/ZuvoUtil.h"
#include "device/ZuvoBase.h"

namespace zuvo {

class TZuvoECF;
class TZuvoECFClass;

enum TZuvoECFEstado {
  estNaoInicializada,
  estDesconhecido,
  estLivre,
  estVenda,
  estPagamento,
  estRelatorio,
  estBloqueada,
  estRequerZ,
  estRequerX
};

/// The identifier of a state ("estPagamento").
std::string EstadoStr(TZuvoECFEstado E);

// ---------------------------------------------------------------------------
// Exceptions

/// An operation the model lacks, an argument refused before sending, a
/// receipt that cannot be opened in the current state, a refused command.
class EZuvoECFCMDInvalido : public Exception {
 public:
  using Exception::Exception;
};
/// No answer within the time-out, a failed send, a printer off line, or an
/// error reported by the printer.
class EZuvoECFSemResposta : public Exception {
 public:
  using Exception::Exception;
};
/// A command sent while the port is closed.
class EZuvoECFNaoInicializado : public Exception {
 public:
  using Exception::Exception;
};

// ---------------------------------------------------------------------------
// Tables

struct TZuvoECFAliquota {
  std::string Indice;
  double Aliquota = 0;
  char Tipo = 'T';  // 'T' ICMS (goods), 'S' ISS (services)
};

struct TZuvoECFFormaPagamento {
  std::string Indice;
  std::string Descricao;
  bool PermiteVinculado = true;
};

struct TZuvoECFComprovanteNaoFiscal {
  std::string Indice;
  std::string Descricao;
  bool PermiteVinculado = true;
  std::string FormaPagamento;
};

struct TZuvoECFUnidadeMedida {
  std::string Indice;
  std::string Descricao;
};

/// An owning list of records.
template <class T>
class TListaZuvo {
 public:
  /// Appends a record and returns it.
  T& Add(std::unique_ptr<T> Item) {
    fItens.push_back(std::move(Item));
    return *fItens.back();
  }
  /// Appends a new default record and returns it.
  T& Add() { return Add(std::make_unique<T>()); }
  /// Inserts at Index (clamped to 0..Count).
  T& Insert(int Index, std::unique_ptr<T> Item) {
    if (Index < 0) Index = 0;
    if (Index > Count()) Index = Count();
    auto it = fItens.insert(fItens.begin() + Index, std::move(Item));
    return **it;
  }
  int Count() const { return static_cast<int>(fItens.size()); }
  /// Raises Exception for an index out of range.
  T& Objects(int Index) const {
    if (Index < 0 || Index >= Count())
      throw Exception("Índice fora dos limites da lista (" + IntToStr(Index) + ")");
    return *fItens[static_cast<size_t>(Index)];
  }
  T& operator[](int Index) const { return Objects(Index); }
  void Clear() { fItens.clear(); }
  void Delete(int Index) {
    Objects(Index);
    fItens.erase(fItens.begin() + Index);
  }
  auto begin() const { return fItens.begin(); }
  auto end() const { return fItens.end(); }

 private:
  std::vector<std::unique_ptr<T>> fItens;
};

using TZuvoECFAliquotas = TListaZuvo<TZuvoECFAliquota>;
using TZuvoECFFormasPagamento = TListaZuvo<TZuvoECFFormaPagamento>;
using TZuvoECFComprovantesNaoFiscais = TListaZuvo<TZuvoECFComprovanteNaoFiscal>;
using TZuvoECFUnidadesMedida = TListaZuvo<TZuvoECFUnidadeMedida>;

// ---------------------------------------------------------------------------
// Events

using TZuvoECFMsgAguarde = std::function<void(const std::string& Mensagem)>;
using TZuvoECFMsgRetentar =
    std::function<void(const std::string& Mensagem, const std::string& Situacao, bool& Result)>;
using TZuvoNotifyEvent = std::function<void(TZuvoECFClass* Sender)>;
using TZuvoProcedimento = std::function<void()>;

/// Builds a numeric command field: Valor x 10^Decimais, rounded, zero-filled
/// on the left to Tamanho digits. A value that does not fit (or a negative
/// one) raises EZuvoECFCMDInvalido naming Campo before anything is sent.
std::string CampoNumerico(double Valor, int Decimais, int Tamanho, const std::string& Campo);
/// CampoNumerico for a whole number.
std::string CampoInteiro(int64_t Valor, int Tamanho, const std::string& Campo);

class TZuvoECFClass : public WaitWindowOwner {
 public:
  /// Raises Exception "Essa Classe deve ser instanciada por TZuvoECF" when
  /// AOwner is null. Resets the device's serial settings to the defaults.
  explicit TZuvoECFClass(TZuvoECF* AOwner);
  ~TZuvoECFClass() override;
  TZuvoECFClass(const TZuvoECFClass&) = delete;
  TZuvoECFClass& operator=(const TZuvoECFClass&) = delete;

  // ----- The 75 operations, in their fixed order -----

  /// NomeModelo, plus " MFD" for a printer with fiscal tape memory.
  virtual std::string ModeloStr();
  /// The computer's time.
  virtual TDateTime DataHora();
  virtual std::string NumCupom();                  // ""
  virtual std::string NumECF();                    // "001"
  virtual std::string NumCRO();                    // "001"
  virtual std::string NumLoja();                   // "001"
  virtual std::string NumSerie();                  // "ecfNennhum"
  virtual std::string NumVersao();                 // ""
  virtual double SubTotal();                       // 0
  virtual double TotalPago();                      // 0
  /// The Estado field; drivers query the printer.
  virtual TZuvoECFEstado Estado();
  virtual bool GavetaAberta();                     // false
  virtual bool PoucoPapel();                       // false
  virtual bool HorarioVerao();                     // false
  /// The printer rounds (true) or truncates.
  virtual bool Arredonda();                        // false
  virtual bool ChequePronto();                     // true
  /// Reads the answer into RespostaComando, through the wait window when it
  /// is worth showing. No complete answer: EZuvoECFSemResposta
  /// "Impressora <modelo> não está respondendo".
  virtual void LeResposta();
  /// Writes Cmd. A failed write asks whether to retry: false means "send
  /// again"; no retry raises EZuvoECFSemResposta.
  virtual bool TransmitirComando(const std::string& Cmd);
  /// True when Retorno is a complete answer. Drivers must override.
  virtual bool VerificaFimLeitura(const std::string& Retorno);
  /// True when the printer has finished printing and is ready: EmLinha(1).
  virtual bool VerificaFimImpressao();
  /// Waits until the printer is on line, asking whether to retry; raises
  /// EZuvoECFSemResposta "Impressora <modelo> não está em linha".
  virtual void VerificaEmLinha(int TimeOut = 3);
  /// Body of a complete managerial report: each copy, the pauses, the close.
  virtual void DoRelatorioGerencial(const TStrings& Relatorio, int Vias);
  /// Body of a complete linked receipt.
  virtual void DoCupomVinculado(const TStrings& Relatorio, int Vias);
  /// Opens the device; Estado becomes estDesconhecido. Drivers call this
  /// first, then identify the printer.
  virtual void Ativar();
  /// Closes the device; Estado becomes estNaoInicializada.
  virtual void Desativar();
  virtual void CarregaAliquotas();
  virtual TZuvoECFAliquota* AchaICMSAliquota(double Aliquota, char Tipo = ' ');
  virtual TZuvoECFAliquota* AchaICMSIndice(const std::string& Indice);
  virtual void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "");
  virtual void CarregaFormasPagamento();
  virtual TZuvoECFFormaPagamento* AchaFPGDescricao(const std::string& Descricao);
  virtual TZuvoECFFormaPagamento* AchaFPGIndice(const std::string& Indice);
  virtual void ProgramaFormaPagamento(const std::string& Descricao, bool PermiteVinculado = true,
                                      const std::string& Posicao = "");
  virtual void CarregaComprovantesNaoFiscais();
  virtual TZuvoECFComprovanteNaoFiscal* AchaCNFDescricao(const std::string& Descricao);
  virtual TZuvoECFComprovanteNaoFiscal* AchaCNFIndice(const std::string& Indice);
  virtual TZuvoECFComprovanteNaoFiscal* AchaCNFFormaPagamento(const std::string& CodFPG);
  virtual void ProgramaComprovanteNaoFiscal(const std::string& Descricao,
                                            const std::string& Tipo = "",
                                            const std::string& Posicao = "");
  virtual void CarregaUnidadesMedida();
  virtual TZuvoECFUnidadeMedida* AchaUMDDescricao(const std::string& Descricao);
  virtual TZuvoECFUnidadeMedida* AchaUMDIndice(const std::string& Indice);
  virtual void ProgramaUnidadeMedida(const std::string& Descricao);
  /// The device's on-line test.
  virtual bool EmLinha(int TimeOut = 1);
  virtual void AbreCupom(const std::string& CPF_CNPJ = "");
  virtual void VendeItem(const std::string& Codigo, const std::string& Descricao,
                         const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                         double DescontoPorc = 0, const std::string& Unidade = "");
  /// DescontoAcrescimo negative is a discount.
  virtual void SubtotalizaCupom(double DescontoAcrescimo = 0,
                                const std::string& MensagemRodape = "");
  /// Validation only: an unknown code raises Exception "Forma de Pagamento: "
  /// + code + " inválida"; a linked receipt on a method that does not allow
  /// it raises "... não permite Cupom Vinculado". Drivers call it first.
  virtual void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                               const std::string& Observacao = "",
                               bool ImprimeVinculado = false);
  virtual void FechaCupom(const std::string& Observacao = "");
  virtual void CancelaCupom();
  virtual void CancelaItemVendido(int NumItem);
  virtual void AbreGaveta();
  virtual void LeituraX();
  virtual void ReducaoZ(TDateTime DataHora = 0);
  virtual void AbreRelatorioGerencial();
  /// Linha may hold several lines separated by line breaks.
  virtual void LinhaRelatorioGerencial(const std::string& Linha);
  virtual void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                                  const std::string& CodComprovanteNaoFiscal, double Valor);
  virtual void LinhaCupomVinculado(const std::string& Linha);
  /// Closes a managerial report or a linked receipt.
  virtual void FechaRelatorio();
  /// NumLinhas line feeds through LinhaRelatorioGerencial; 0 means
  /// LinhasEntreCupons.
  virtual void PulaLinhas(int NumLinhas = 0);
  virtual void ImprimeCheque(const std::string& Banco, double Valor,
                             const std::string& Favorecido, const std::string& Cidade,
                             TDateTime Data, const std::string& Observacao = "");
  virtual void CancelaImpressaoCheque();
  /// Toggles daylight-saving time.
  virtual void MudaHorarioVerao();
  virtual void MudaHorarioVerao(bool EHorarioVerao);
  virtual void MudaArredondamento(bool Arredondar);
  /// FechaRelatorio, ignoring any error; drivers then reload their tables.
  virtual void FechaRelatorioRecarrega();
  /// Cancels an open receipt, closes a report, prints a pending Z or X.
  virtual void CorrigeEstadoErro();
  virtual void ImpactoAgulhas(int NivelForca = 2);
  /// Fiscal-memory report printed by period.
  virtual void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal);
  /// Fiscal-memory report printed by Z number.
  virtual void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal);
  virtual void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                          TStrings& Linhas);
  virtual void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                          TStrings& Linhas);
  /// Sends a command and returns the answer's data. Drivers must override.
  virtual std::string EnviaComando(const std::string& Cmd);
  /// The same with a time-out of at least lTimeOut seconds for this call.
  virtual std::string EnviaComando(const std::string& Cmd, int lTimeOut);
  /// ... and a countdown that starts no earlier than lTempoInicioMsg.
  virtual std::string EnviaComando(const std::string& Cmd, int lTimeOut, int lTempoInicioMsg);
  /// True when a receipt may be opened; else raises EZuvoECFCMDInvalido
  /// saying why.
  virtual bool TestaPodeAbrirCupom();

  // ----- Services -----

  void SetAguardandoResposta(bool Valor);
  /// The reading loop: 100 ms packets until VerificaFimLeitura accepts the
  /// answer (and, with AguardaImpressao, VerificaFimImpressao) or TimeOut.
  void DoLeResposta();
  bool PerguntaRetentar(const std::string& Mensagem, const std::string& Situacao);
  [[noreturn]] void DoNaoImplementado(const std::string& NomeOperacao);
  /// The low-paper notice, at most once every MsgPoucoPapel seconds.
  void DoMsgPoucoPapel(const std::string& Mensagem = "");
  /// Runs Procedimento while the wait window is shown. Tecla (0 = none) is
  /// the key that stops it. An error inside comes out as Exception with the
  /// same text. A second call while one runs raises Exception.
  bool FormMsgDoProcedure(TZuvoProcedimento Procedimento, int Tecla);
  /// Shows a text in the wait window and passes it to OnMsgAguarde.
  void FormMsgExibe(const std::string& Mensagem);
  /// The timed pause between copies; Enter ends it.
  void PausaImpressao(int Via);
  /// Complete managerial report in Vias copies.
  void RelatorioGerencial(const TStrings& Relatorio, int Vias = 1);
  /// Complete linked receipt in Vias copies.
  void CupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                      const std::string& CodComprovanteNaoFiscal, double Valor,
                      const TStrings& Relatorio, int Vias = 1);
  /// Wraps Texto into lines of Colunas characters, each ended by LF.
  std::string AjustaLinhas(const std::string& Texto, int MaxLinhas = 0, bool PadLinhas = false);
  /// One EnviaComando(Prefixo + line) per wrapped line.
  void ImprimeLinhaALinha(const std::string& Texto, const std::string& Prefixo);
  /// "18T" gives Aliquota "18" and Tipo 'T'; no suffix gives Tipo ' '.
  void SeparaTipoAliquota(std::string& Aliquota, char& Tipo);
  /// The programmed rate a sale's rate text names ("18", "18T", "5S"): the
  /// type letter is split off, the rest read as a number and looked up.
  /// Raises EZuvoECFCMDInvalido "Aliquota inválida: " + text when it is not a
  /// number, "Aliquota nao encontrada: " + text + type letter (a blank when
  /// none) when no such rate is programmed.
  TZuvoECFAliquota& AchaAliquotaVenda(const std::string& AliquotaICMS);
  /// Raises Qtd by steps of the quantity's last decimal until a truncating
  /// printer prints the rounded total.
  void ArredondarPorQtd(double& Qtd, int Precisao, double ValorUnitario);

  TZuvoECFAliquotas& Aliquotas();
  TZuvoECFFormasPagamento& FormasPagamento();
  TZuvoECFComprovantesNaoFiscais& ComprovantesNaoFiscais();
  TZuvoECFUnidadesMedida& UnidadesMedida();

  // ----- Fields -----

  bool ReTentar() const { return fReTentar; }
  void SetReTentar(bool V) { fReTentar = V; }
  bool BloqueiaMouseTeclado() const { return fBloqueiaMouseTeclado; }
  void SetBloqueiaMouseTeclado(bool V) { fBloqueiaMouseTeclado = V; }
  bool ExibeMensagem() const { return fExibeMensagem; }
  void SetExibeMensagem(bool V) { fExibeMensagem = V; }
  int TempoInicioMsg() const { return fTempoInicioMsg; }
  /// A value above the current TimeOut is stored as TimeOut.
  void SetTempoInicioMsg(int V);
  int IntervaloAposComando() const { return fIntervaloAposComando; }
  void SetIntervaloAposComando(int V) { fIntervaloAposComando = V; }
  const std::string& MsgAguarde() const { return fMsgAguarde; }
  void SetMsgAguarde(const std::string& V) { fMsgAguarde = V; }
  const std::string& MsgRelatorio() const { return fMsgRelatorio; }
  void SetMsgRelatorio(const std::string& V) { fMsgRelatorio = V; }
  int PausaRelatorio() const { return fPausaRelatorio; }
  void SetPausaRelatorio(int V) { fPausaRelatorio = V; }
  int LinhasEntreCupons() const { return fLinhasEntreCupons; }
  void SetLinhasEntreCupons(int V) { fLinhasEntreCupons = V; }
  const std::string& MsgPausaRelatorio() const { return fMsgPausaRelatorio; }
  void SetMsgPausaRelatorio(const std::string& V) { fMsgPausaRelatorio = V; }
  int MsgPoucoPapel() const { return fMsgPoucoPapel; }
  void SetMsgPoucoPapel(int V) { fMsgPoucoPapel = V; }
  bool DescricaoGrande() const { return fDescricaoGrande; }
  void SetDescricaoGrande(bool V) { fDescricaoGrande = V; }
  bool AguardandoResposta() const { return fAguardandoResposta; }
  const std::string& Operador() const { return fOperador; }
  void SetOperador(const std::string& V) { fOperador = V; }
  bool AguardaImpressao() const { return fAguardaImpressao; }
  void SetAguardaImpressao(bool V) { fAguardaImpressao = V; }
  /// The wait window while FormMsgDoProcedure runs, else null.
  WaitWindow* FormMsg() const { return fFormMsg.get(); }
  const TZuvoFonte* FormMsgFonte() const { return fFormMsgFonte; }
  TCor FormMsgColor() const { return fFormMsgColor; }
  void SetFormMsgColor(TCor V) { fFormMsgColor = V; }
  int FormMsgTecla() const { return fFormMsgTecla; }
  void SetFormMsgTecla(int V) { fFormMsgTecla = V; }
  /// 1 running, 2 finished, 3 stopped by the key.
  int FormMsgEstado() const { return fFormMsgEstado; }
  void SetFormMsgEstado(int V) { fFormMsgEstado = V; }
  bool PermiteFormMsg() const { return fPermiteFormMsg; }
  void SetPermiteFormMsg(bool V) { fPermiteFormMsg = V; }
  const std::string& FormMsgErro() const { return fFormMsgErro; }
  const TStrings& Relatorio() const { return fRelatorio; }
  int Vias() const { return fVias; }
  TZuvoDevice& Device() const { return *fDevice; }
  bool Ativo() const { return fAtivo; }
  int Colunas() const { return fColunas; }
  void SetColunas(int V) { fColunas = V; }
  const std::string& NomeModelo() const { return fNomeModelo; }
  const std::string& ComandoEnviado() const { return fComandoEnviado; }
  const std::string& RespostaComando() const { return fRespostaComando; }
  TDateTime UltimaMsgPoucoPapel() const { return fUltimaMsgPoucoPapel; }
  bool ArredondaPorQtd() const { return fArredondaPorQtd; }
  void SetArredondaPorQtd(bool V) { fArredondaPorQtd = V; }
  int DecimaisPreco() const { return fDecimaisPreco; }
  /// Outside 0..3: Exception "Valor de DecimaisPreco deve estar entre 0-3".
  void SetDecimaisPreco(int V);
  int DecimaisQtd() const { return fDecimaisQtd; }
  /// Outside 0..4: Exception "Valor de DecimaisQtd deve estar entre 0-4".
  void SetDecimaisQtd(int V);
  bool MFD() const { return fMFD; }
  bool Termica() const { return fTermica; }
  /// The answer time-out in seconds, kept by the device.
  int TimeOut() const { return fDevice->TimeOut(); }
  void SetTimeOut(int V) { fDevice->SetTimeOut(V); }

  TZuvoECFMsgAguarde OnMsgAguarde;
  TZuvoNotifyEvent OnAguardandoRespostaChange;
  TZuvoNotifyEvent OnMsgPoucoPapel;
  TZuvoECFMsgRetentar OnMsgRetentar;

 protected:
  // ----- Shared steps of a driver's EnviaComando -----

  /// Steps 1-2 of a command: clears the result, ComandoEnviado and
  /// RespostaComando, raises AguardandoResposta for its lifetime, and refuses
  /// a closed port with EZuvoECFNaoInicializado.
  class GuardaComando {
   public:
    explicit GuardaComando(TZuvoECFClass& Driver);
    ~GuardaComando();
    GuardaComando(const GuardaComando&) = delete;
    GuardaComando& operator=(const GuardaComando&) = delete;

   private:
    TZuvoECFClass& fDriver;
  };
  /// For the life of an optional query (a probe whose failure is expected
  /// and swallowed, such as a command an older printer does not know): no
  /// countdown text, and no retry question put to the operator.
  class Sondagem {
   public:
    explicit Sondagem(TZuvoECFClass& Driver);
    ~Sondagem();
    Sondagem(const Sondagem&) = delete;
    Sondagem& operator=(const Sondagem&) = delete;

   private:
    TZuvoECFClass& fDriver;
    bool fExibe;
    bool fReTentar;
    TZuvoECFMsgRetentar fRetentar;
  };
  /// Steps 4-5: VerificaEmLinha(3), write time-out 2000 ms, purge, then
  /// TransmitirComando until it succeeds; keeps Quadro in ComandoEnviado.
  void EnviaQuadro(const std::string& Quadro);
  /// Step 9: the pause after a completed command.
  void AposComando();
  /// Count bytes of RespostaComando (or of Resposta) from Inicio, raising
  /// EZuvoECFSemResposta when the answer is too short to hold them.
  std::string CampoResposta(const std::string& Resposta, int Inicio, int Count,
                            const std::string& Campo);
  /// "Erro retornado pela Impressora: " + ModeloStr + two line breaks +
  /// Mensagem; the line break is CR LF unless a family's texts use another.
  std::string TextoErroImpressora(const std::string& Mensagem, const std::string& Quebra = CRLF);
  /// Raises EZuvoECFSemResposta with TextoErroImpressora.
  [[noreturn]] void ErroImpressora(const std::string& Mensagem, const std::string& Quebra = CRLF);
  /// Forgets the last low-paper notice (UltimaMsgPoucoPapel := 0), so the
  /// next low-paper status warns again at once (drivers that repeat the
  /// notice on every new receipt).
  void ReiniciaMsgPoucoPapel();

  void SetAtivo(bool V) { fAtivo = V; }
  void SetEstadoCampo(TZuvoECFEstado V) { fEstado = V; }
  TZuvoECFEstado EstadoCampo() const { return fEstado; }
  void SetNomeModelo(const std::string& V) { fNomeModelo = V; }
  void SetComandoEnviado(const std::string& V) { fComandoEnviado = V; }
  void SetRespostaComando(const std::string& V) { fRespostaComando = V; }
  std::string& RespostaComandoRef() { return fRespostaComando; }
  void SetMFD(bool V) { fMFD = V; }
  void SetTermica(bool V) { fTermica = V; }
  TZuvoECF* Owner() const { return fOwner; }

  // The list objects, for drivers that fill them in their Carrega... overrides.
  std::unique_ptr<TZuvoECFAliquotas> fAliquotas;
  std::unique_ptr<TZuvoECFFormasPagamento> fFormasPagamento;
  std::unique_ptr<TZuvoECFComprovantesNaoFiscais> fComprovantesNaoFiscais;
  std::unique_ptr<TZuvoECFUnidadesMedida> fUnidadesMedida;

 private:
  // The wait window's side of the toolkit.
  void runner() override;
  bool keyPressed(int Codigo) override;
  bool canClose() override;
  void ExecutaRelatorio(const TStrings& Relatorio, int Vias, bool Vinculado);

  TZuvoECF* fOwner;
  TZuvoDevice* fDevice;
  bool fReTentar = true;
  bool fBloqueiaMouseTeclado = true;
  bool fExibeMensagem = true;
  int fTempoInicioMsg = 3;
  int fIntervaloAposComando = 100;
  std::string fMsgAguarde;
  std::string fMsgRelatorio;
  int fPausaRelatorio = 5;
  int fLinhasEntreCupons = 7;
  std::string fMsgPausaRelatorio;
  int fMsgPoucoPapel = 30;
  bool fDescricaoGrande = false;
  bool fAguardandoResposta = false;
  std::string fOperador;
  bool fAguardaImpressao = false;
  std::unique_ptr<WaitWindow> fFormMsg;
  const TZuvoFonte* fFormMsgFonte = nullptr;
  TCor fFormMsgColor = clHighlight;
  TZuvoProcedimento fFormMsgProcedure;
  int fFormMsgTecla = 0;
  int fFormMsgEstado = 0;
  bool fFormMsgRodou = false;
  bool fPermiteFormMsg = true;
  std::string fFormMsgErro;
  TStrings fRelatorio;
  int fVias = 0;
  bool fAtivo = false;
  int fColunas = 48;
  std::string fNomeModelo;
  std::string fComandoEnviado;
  std::string fRespostaComando;
  TDateTime fUltimaMsgPoucoPapel = 0;
  int64_t fUltimaMsgPoucoPapelMs = 0;
  bool fAvisouPoucoPapel = false;
  TZuvoECFEstado fEstado = estNaoInicializada;
  bool fArredondaPorQtd = false;
  int fDecimaisPreco = 3;
  int fDecimaisQtd = 3;
  bool fMFD = false;
  bool fTermica = false;
};

}  // namespace zuvo
