// TZuvoECFClass: the abstract fiscal-printer driver.
//
// The component TZuvoECF owns exactly one driver and forwards every printer
// operation to it. Each printer family is a subclass that overrides the
// operations its printer offers; what it does not override keeps the base
// behaviour documented at each declaration (mostly a "não implementada" error).
//
// The base class supplies what every driver shares: the command cycle, the
// wait window with its countdown, the four tables with their look-ups and
// the composite reports printed in several copies.
//
// The command cycle is one flow that lives here (CicloComando): guard, frame,
// on-line check, transmit, acknowledgement, read until the family's end of
// answer (and, for a printing command, the end of printing), decode, printer
// errors, low-paper notice, pause after the command; the per-command settings
// go back to their defaults on every exit. A family overrides the protected
// hooks (MontaQuadro, AposTransmitir, ConfirmaRecebimento, VerificaFimLeitura,
// VerificaFimImpressao, DecodificaResposta, ReiniciaComando) and uses the
// protected primitives (ConsultaDuranteImpressao, LeByte, LeAte, ...) for the
// few exchanges outside the cycle; no driver touches the serial port object.
//
// The driver is built on the component's device and settings record; it
// never knows the component.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/ZuvoPlataforma.h"
#include "core/ZuvoUI.h"
#include "core/ZuvoUtil.h"
#include "device/ZuvoBase.h"
#include "ecf/ZuvoECFConfig.h"
#include "ecf/ZuvoECFFormMsg.h"

namespace zuvo {

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


/// Builds a numeric command field: Valor x 10^Decimais, rounded, zero-filled
/// on the left to Tamanho digits. A value that does not fit (or a negative
/// one) raises EZuvoECFCMDInvalido naming Campo before anything is sent.
std::string CampoNumerico(double Valor, int Decimais, int Tamanho, const std::string& Campo);
/// CampoNumerico for a whole number.
std::string CampoInteiro(int64_t Valor, int Tamanho, const std::string& Campo);
/// A decimal command field written out as text: Valor in plain decimal
/// notation with "," as separator ("2,5"), rounded to fewer decimals when it
/// is longer than Tamanho, '0'-filled on the left to Tamanho. A value whose
/// whole part does not fit (or a negative one) raises EZuvoECFCMDInvalido
/// naming Campo before anything is sent.
std::string CampoDecimalTexto(double Valor, int Tamanho, const std::string& Campo);
/// A caller's text for a printer field: control bytes (below 32, and DEL)
/// become blanks, so none can end a field, a frame or a line early or reach
/// the printer as a command. With Linhas, line breaks stay (CR LF and CR as
/// LF) for texts the printer prints on several lines. The bytes of Proibidos
/// (a family's frame terminator, say) become blanks too.
std::string TextoImprimivel(const std::string& Texto, bool Linhas = false,
                            const std::string& Proibidos = "");
/// The text of CampoDecimalTexto before filling: plain decimal notation, ","
/// as separator, at most MaxDecimais decimals (fewer when longer than
/// Tamanho). Refuses (EZuvoECFCMDInvalido) what is not finite, negative, does
/// not fit, or is not zero but rounds to zero.
std::string TextoDecimal(double Valor, int Tamanho, int MaxDecimais, const std::string& Campo);

/// Features some families have and the others lack, asked by the application
/// through the base class instead of by model name.
enum TZuvoECFRecurso {
  /// A raw command needs the length of its answer (DefineTamanhoResposta).
  recTamanhoResposta,
  /// AchaFPGDescricao programs a description it does not find, so the list
  /// shown to the operator must be read again afterwards.
  recAchaFPGPrograma,
};

/// An answer as the family's DecodificaResposta splits it.
struct TRespostaECF {
  /// What EnviaComando returns.
  std::string Dados;
  /// The printer's error messages; "" when the command succeeded.
  std::string Erro;
  /// The status reports low paper (a notice, not an error).
  bool PoucoPapel = false;
  /// Line break between the model and Erro in "Erro retornado pela
  /// Impressora: " (CR LF, or LF for families whose texts use it).
  std::string Quebra = CRLF;
};

class TZuvoECFClass {
 public:
  /// A driver on Device (not owned) and the settings record Config (not
  /// owned; the component's). Resets the device's serial settings to their
  /// defaults.
  TZuvoECFClass(TZuvoDevice& Device, TZuvoECFConfig& Config);
  virtual ~TZuvoECFClass();
  TZuvoECFClass(const TZuvoECFClass&) = delete;
  TZuvoECFClass& operator=(const TZuvoECFClass&) = delete;

  // ----- The 75 operations, in their fixed order -----
  //
  // "NI" below: the base raises EZuvoECFCMDInvalido "Procedure: " + name +
  // CR LF + " não implementada para a Impressora: " + ModeloStr. Printer
  // errors reach the caller as EZuvoECFSemResposta from the command cycle.

  /// NomeModelo, plus " MFD" for a printer with fiscal tape memory.
  virtual std::string ModeloStr();
  /// The printer's clock. Base: the computer's time.
  virtual TDateTime DataHora();
  /// The number of the last (or current) receipt, COO. Base: "".
  virtual std::string NumCupom();
  /// The printer's number in the shop. Base: "001".
  virtual std::string NumECF();
  /// The count of restarts of operation (CRO). Base: "001".
  virtual std::string NumCRO();
  /// The shop's number. Base: "001".
  virtual std::string NumLoja();
  /// The printer's serial number. Base: "ecfNennhum".
  virtual std::string NumSerie();
  /// The firmware version; drivers cache it until the next Ativar. Base: "".
  virtual std::string NumVersao();
  /// The open receipt's total so far. Base: 0.
  virtual double SubTotal();
  /// What the open receipt has been paid so far. Base: 0.
  virtual double TotalPago();
  /// The Estado field; drivers query the printer and store what they find.
  virtual TZuvoECFEstado Estado();
  /// The drawer's sensor. Base: false.
  virtual bool GavetaAberta();
  /// The paper sensor says the roll is ending. Base: false.
  virtual bool PoucoPapel();
  /// The printer's clock is on daylight-saving time. Base: false.
  virtual bool HorarioVerao();
  /// The printer rounds (true) or truncates item totals. Base: false.
  virtual bool Arredonda();
  /// A check is in place for ImprimeCheque. Base: true.
  virtual bool ChequePronto();
  /// Body of a complete managerial report: each copy, the pauses, the close.
  virtual void DoRelatorioGerencial(const TStrings& Relatorio, int Vias);
  /// Body of a complete linked receipt.
  virtual void DoCupomVinculado(const TStrings& Relatorio, int Vias);
  /// Opens the device; Estado becomes estDesconhecido. Drivers call this
  /// first, then identify the printer, and deactivate again on any failure.
  virtual void Ativar();
  /// Closes the device; Estado becomes estNaoInicializada. Idempotent.
  virtual void Desativar();
  /// Recreates the tax-rate list empty; drivers then fill it from the
  /// printer. Called lazily by the first look-up.
  virtual void CarregaAliquotas();
  /// The first rate equal to Aliquota of type Tipo ('S', 'T'; any other is
  /// "any type"); null when none.
  virtual TZuvoECFAliquota* AchaICMSAliquota(double Aliquota, char Tipo = ' ');
  /// The rate whose Indice is exactly Indice; null when none.
  virtual TZuvoECFAliquota* AchaICMSIndice(const std::string& Indice);
  /// Programs a tax rate (Tipo 'T' ICMS, 'S' ISS) at Posicao or the next
  /// free slot, and adds it to the list. Base: NI.
  virtual void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "");
  /// Recreates the payment-method list empty; drivers then fill it.
  virtual void CarregaFormasPagamento();
  /// The method whose trimmed description matches, ignoring case; null
  /// when none.
  virtual TZuvoECFFormaPagamento* AchaFPGDescricao(const std::string& Descricao);
  /// The method whose Indice is exactly Indice; null when none.
  virtual TZuvoECFFormaPagamento* AchaFPGIndice(const std::string& Indice);
  /// Programs a payment method and adds it to the list. Base: NI.
  /// Descricao comes back as the printer recorded it (cut to its field,
  /// for example), so a search with it finds the new method.
  virtual void ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado = true,
                                      const std::string& Posicao = "");
  /// Recreates the non-fiscal receipt list empty; drivers then fill it.
  virtual void CarregaComprovantesNaoFiscais();
  /// The type whose trimmed description matches, ignoring case; null when none.
  virtual TZuvoECFComprovanteNaoFiscal* AchaCNFDescricao(const std::string& Descricao);
  /// The type whose Indice is exactly Indice; null when none.
  virtual TZuvoECFComprovanteNaoFiscal* AchaCNFIndice(const std::string& Indice);
  /// The first type tied to the payment method CodFPG; null when none.
  virtual TZuvoECFComprovanteNaoFiscal* AchaCNFFormaPagamento(const std::string& CodFPG);
  /// Programs a non-fiscal receipt type and adds it to the list. Base: NI.
  /// Descricao comes back as the printer recorded it.
  virtual void ProgramaComprovanteNaoFiscal(std::string& Descricao,
                                            const std::string& Tipo = "",
                                            const std::string& Posicao = "");
  /// Recreates the unit-of-measure list empty.
  virtual void CarregaUnidadesMedida();
  /// The unit whose trimmed description matches, ignoring case; null when none.
  virtual TZuvoECFUnidadeMedida* AchaUMDDescricao(const std::string& Descricao);
  /// The unit whose Indice is exactly Indice; null when none.
  virtual TZuvoECFUnidadeMedida* AchaUMDIndice(const std::string& Indice);
  /// Programs a unit of measure. Base: NI.
  virtual void ProgramaUnidadeMedida(const std::string& Descricao);
  /// The device's on-line test, waiting at most TimeOut seconds.
  virtual bool EmLinha(int TimeOut = 1);
  /// Opens a fiscal receipt, for the consumer's CPF/CNPJ when given. Base: NI.
  virtual void AbreCupom(const std::string& CPF_CNPJ = "");
  /// Sells an item: AliquotaICMS is a rate text ("18", "18T", "5S") or a
  /// family's code; DescontoPorc is a percentage. Base: NI.
  virtual void VendeItem(const std::string& Codigo, const std::string& Descricao,
                         const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                         double DescontoPorc = 0, const std::string& Unidade = "");
  /// Ends the sale: DescontoAcrescimo negative is a discount, positive a
  /// surcharge. Base: NI.
  virtual void SubtotalizaCupom(double DescontoAcrescimo = 0,
                                const std::string& MensagemRodape = "");
  /// Validation only: an unknown code raises Exception "Forma de Pagamento: "
  /// + code + " inválida"; a linked receipt on a method that does not allow
  /// it raises "... não permite Cupom Vinculado". Drivers call it first.
  virtual void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                               const std::string& Observacao = "",
                               bool ImprimeVinculado = false);
  /// Closes the paid receipt, printing Observacao at its foot. Base: NI.
  virtual void FechaCupom(const std::string& Observacao = "");
  /// Cancels the open receipt, or the last one when none is open. Base: NI.
  virtual void CancelaCupom();
  /// Cancels item NumItem (1-based) of the open receipt. Base: NI.
  virtual void CancelaItemVendido(int NumItem);
  /// Opens the cash drawer. Base: EZuvoECFCMDInvalido "A Impressora " +
  /// ModeloStr + " não manipula Gavetas".
  virtual void AbreGaveta();
  /// Prints the X reading. Base: NI.
  virtual void LeituraX();
  /// Prints the Z reduction that closes the fiscal day; DataHora 0 lets the
  /// printer use its clock. Base: NI.
  virtual void ReducaoZ(TDateTime DataHora = 0);
  /// Opens a managerial report. Base: NI.
  virtual void AbreRelatorioGerencial();
  /// Prints in the open managerial report; Linha may hold several lines
  /// separated by line breaks. Base: NI.
  virtual void LinhaRelatorioGerencial(const std::string& Linha);
  /// Opens a linked receipt for a payment of receipt COO. Base: NI.
  virtual void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                                  const std::string& CodComprovanteNaoFiscal, double Valor);
  /// Prints in the open linked receipt. Base: NI.
  virtual void LinhaCupomVinculado(const std::string& Linha);
  /// Closes a managerial report or a linked receipt. Base: NI.
  virtual void FechaRelatorio();
  /// NumLinhas line feeds through LinhaRelatorioGerencial; 0 means
  /// LinhasEntreCupons.
  virtual void PulaLinhas(int NumLinhas = 0);
  /// Prints a bank check. Base: EZuvoECFCMDInvalido "Rotina de Impressão de
  /// Cheques não implementada para Impressora " + ModeloStr.
  virtual void ImprimeCheque(const std::string& Banco, double Valor,
                             const std::string& Favorecido, const std::string& Cidade,
                             TDateTime Data, const std::string& Observacao = "");
  /// Stops a check being printed. Base: NI.
  virtual void CancelaImpressaoCheque();
  /// Toggles daylight-saving time. Base: NI.
  virtual void MudaHorarioVerao();
  /// Sets daylight-saving time to EHorarioVerao. Base: NI
  /// ("MudaHorarioVerao(EHorarioVerao: Boolean)").
  virtual void MudaHorarioVerao(bool EHorarioVerao);
  /// Makes the printer round (true) or truncate item totals. Base: NI.
  virtual void MudaArredondamento(bool Arredondar);
  /// FechaRelatorio, ignoring any error; drivers then reload their tables.
  virtual void FechaRelatorioRecarrega();
  /// Cancels an open receipt, closes a report, prints a pending Z or X;
  /// estBloqueada raises EZuvoECFCMDInvalido.
  virtual void CorrigeEstadoErro();
  /// Sets the needles' force (impact printers). Base: EZuvoECFCMDInvalido
  /// "A Impressora " + ModeloStr + " não permite ajustar o Impacto das Agulhas".
  virtual void ImpactoAgulhas(int NivelForca = 2);
  /// Fiscal-memory report printed by period. Base: NI.
  virtual void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal);
  /// Fiscal-memory report printed by Z number. Base: NI.
  virtual void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal);
  /// The fiscal-memory report by period read over the port into Linhas
  /// (cleared first) instead of printed. Base: NI.
  virtual void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                          TStrings& Linhas);
  /// The same by Z number. Base: NI.
  virtual void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                          TStrings& Linhas);
  /// Sends a command and returns the answer's data: runs CicloComando with
  /// the family's hooks. A family without framing (ecfNenhum) raises the
  /// "não implementada" error for "EnviaComando". Serial families do not
  /// override it; a driver without the cycle (the non-fiscal emulator) does.
  virtual std::string EnviaComando(const std::string& Cmd);
  /// The same with a time-out of at least lTimeOut seconds for this call.
  virtual std::string EnviaComando(const std::string& Cmd, int lTimeOut);
  /// ... and a countdown that starts no earlier than lTempoInicioMsg.
  virtual std::string EnviaComando(const std::string& Cmd, int lTimeOut, int lTempoInicioMsg);
  /// True when a receipt may be opened; else raises EZuvoECFCMDInvalido
  /// saying why.
  virtual bool TestaPodeAbrirCupom();

  // ----- Features asked through the base class -----

  /// True when the printer has the feature (see TZuvoECFRecurso). Base: false.
  virtual bool Suporta(TZuvoECFRecurso Recurso);
  /// The answer length the next raw command expects, for families whose
  /// answers carry no end mark (recTamanhoResposta). Base: ignored.
  virtual void DefineTamanhoResposta(int Bytes);

  // ----- Services -----

  void SetAguardandoResposta(bool Valor);
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

  // The settings live in the component's record (Config()).
  bool ReTentar() const { return fConfig.ReTentar; }
  void SetReTentar(bool V) { fConfig.ReTentar = V; }
  bool BloqueiaMouseTeclado() const { return fConfig.BloqueiaMouseTeclado; }
  void SetBloqueiaMouseTeclado(bool V) { fConfig.BloqueiaMouseTeclado = V; }
  bool ExibeMensagem() const { return fConfig.ExibeMensagem; }
  void SetExibeMensagem(bool V) { fConfig.ExibeMensagem = V; }
  int TempoInicioMsg() const { return fConfig.TempoInicioMsg; }
  /// A value above the current TimeOut is stored as TimeOut.
  void SetTempoInicioMsg(int V);
  int IntervaloAposComando() const { return fConfig.IntervaloAposComando; }
  void SetIntervaloAposComando(int V) { fConfig.IntervaloAposComando = V; }
  const std::string& MsgAguarde() const { return fConfig.MsgAguarde; }
  void SetMsgAguarde(const std::string& V) { fConfig.MsgAguarde = V; }
  const std::string& MsgRelatorio() const { return fConfig.MsgRelatorio; }
  void SetMsgRelatorio(const std::string& V) { fConfig.MsgRelatorio = V; }
  int PausaRelatorio() const { return fConfig.PausaRelatorio; }
  void SetPausaRelatorio(int V) { fConfig.PausaRelatorio = V; }
  int LinhasEntreCupons() const { return fConfig.LinhasEntreCupons; }
  void SetLinhasEntreCupons(int V) { fConfig.LinhasEntreCupons = V; }
  const std::string& MsgPausaRelatorio() const { return fConfig.MsgPausaRelatorio; }
  void SetMsgPausaRelatorio(const std::string& V) { fConfig.MsgPausaRelatorio = V; }
  int MsgPoucoPapel() const { return fConfig.MsgPoucoPapel; }
  void SetMsgPoucoPapel(int V) { fConfig.MsgPoucoPapel = V; }
  bool DescricaoGrande() const { return fConfig.DescricaoGrande; }
  void SetDescricaoGrande(bool V) { fConfig.DescricaoGrande = V; }
  bool AguardandoResposta() const { return fAguardandoResposta; }
  const std::string& Operador() const { return fConfig.Operador; }
  void SetOperador(const std::string& V) { fConfig.Operador = V; }
  /// Per command: set before a printing command so that the read also waits
  /// for the end of printing. The cycle clears it on every exit.
  bool AguardaImpressao() const { return fAguardaImpressao; }
  void SetAguardaImpressao(bool V) { fAguardaImpressao = V; }
  /// The wait window while FormMsgDoProcedure runs, else null.
  WaitWindow* FormMsg() const { return fFormMsg.Janela(); }
  const TZuvoFonte* FormMsgFonte() const { return &fConfig.FormMsgFonte; }
  TCor FormMsgColor() const { return fConfig.FormMsgColor; }
  void SetFormMsgColor(TCor V) { fConfig.FormMsgColor = V; }
  int FormMsgTecla() const { return fFormMsg.Tecla(); }
  void SetFormMsgTecla(int V) { fFormMsg.SetTecla(V); }
  /// 1 running, 2 finished, 3 stopped by the key.
  int FormMsgEstado() const { return fFormMsg.Estado(); }
  void SetFormMsgEstado(int V) { fFormMsg.SetEstado(V); }
  bool PermiteFormMsg() const { return fPermiteFormMsg; }
  void SetPermiteFormMsg(bool V) { fPermiteFormMsg = V; }
  const std::string& FormMsgErro() const { return fFormMsg.Erro(); }
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
  bool ArredondaPorQtd() const { return fConfig.ArredondaPorQtd; }
  void SetArredondaPorQtd(bool V) { fConfig.ArredondaPorQtd = V; }
  int DecimaisPreco() const { return fConfig.DecimaisPreco; }
  /// Outside 0..3: Exception "Valor de DecimaisPreco deve estar entre 0-3".
  void SetDecimaisPreco(int V);
  int DecimaisQtd() const { return fConfig.DecimaisQtd; }
  /// Outside 0..4: Exception "Valor de DecimaisQtd deve estar entre 0-4".
  void SetDecimaisQtd(int V);
  bool MFD() const { return fMFD; }
  bool Termica() const { return fTermica; }
  /// The answer time-out in seconds, kept by the device.
  int TimeOut() const { return fDevice->TimeOut(); }
  void SetTimeOut(int V) { fDevice->SetTimeOut(V); }

  /// The settings record this driver reads (the component's).
  TZuvoECFConfig& Config() const { return fConfig; }

  // The events, kept in the settings record.
  TZuvoECFMsgAguarde& OnMsgAguarde;
  TZuvoNotifyEvent& OnAguardandoRespostaChange;
  TZuvoNotifyEvent& OnMsgPoucoPapel;
  TZuvoECFMsgRetentar& OnMsgRetentar;

 protected:
  // ===================================================================
  // The command cycle: the hooks a family overrides
  // ===================================================================

  /// Frames Cmd into the printer's command format. Base: raises the
  /// "não implementada" error for "EnviaComando" (a model without a cycle).
  virtual std::string MontaQuadro(const std::string& Cmd);
  /// Right after each write of the frame, before the acknowledgement (modem
  /// lines a family moves after a send). Base: nothing.
  virtual void AposTransmitir();
  /// Reads the family's acknowledgement of the frame just written: true
  /// accepted, false "write the frame again" (after a retry question);
  /// raises to give up. Base: true (no acknowledgement).
  virtual bool ConfirmaRecebimento();
  /// True when Retorno (the answer so far) is complete. Called by the
  /// reading loop at least every 100 ms; SilencioMs() tells how long no byte
  /// has arrived, for rules that end on a quiet line. Base: raises Exception
  /// "Erro Function VerificaFimLeitura não implementada em " + ModeloStr.
  virtual bool VerificaFimLeitura(const std::string& Retorno);
  /// While AguardaImpressao is set and the answer is complete: true when the
  /// printer has finished printing. The loop asks again at most every 200 ms
  /// until TimeOut. Base: EmLinha(1).
  virtual bool VerificaFimImpressao();
  /// Splits the complete answer (RespostaComando) into the data EnviaComando
  /// returns, the printer's error text and the low-paper flag. Base: the
  /// whole answer as data, no error.
  virtual TRespostaECF DecodificaResposta(const std::string& Resposta);
  /// Puts the family's per-command settings (an expected answer length, a
  /// read state) back to their defaults. The cycle calls it on every exit,
  /// also when the command failed before it was sent. Base: nothing.
  virtual void ReiniciaComando();
  /// True when a complete answer (by VerificaFimLeitura) belongs to another
  /// command: an earlier command's answer that came after its time-out. The
  /// reading loop drops it and reads on within the time-out. Base: false
  /// (the family's answers carry nothing to tell them apart).
  virtual bool RespostaAlheia(const std::string& Resposta);
  /// After a command ended without its complete answer the line is out of
  /// step: that answer may still come. Before the next frame goes out the
  /// cycle discards what arrives until the line has been quiet this long
  /// (ms). Base: TimeOut plus 1 s, longer than a printer takes to answer;
  /// 0 for families whose answers say which command they answer
  /// (RespostaAlheia).
  virtual int SilencioRessincroniaMs();

  // ===================================================================
  // The cycle itself (not virtual: the same for every family)
  // ===================================================================

  /// Guard, MontaQuadro, VerificaEmLinha(3), purge and transmit until
  /// ConfirmaRecebimento accepts, LeResposta, DecodificaResposta, low-paper
  /// notice, printer error (EZuvoECFSemResposta "Erro retornado pela
  /// Impressora: ..."), pause IntervaloAposComando; returns the data. On
  /// every exit: AguardandoResposta false, AguardaImpressao and
  /// TimeOutComando cleared, ReiniciaComando.
  std::string CicloComando(const std::string& Cmd);
  /// Reads the answer into RespostaComando, through the wait window when it
  /// is worth showing. No complete answer: EZuvoECFSemResposta
  /// "Impressora <modelo> não está respondendo".
  void LeResposta();
  /// The reading loop: reads of at most 100 ms until VerificaFimLeitura
  /// accepts the answer (and, with AguardaImpressao, VerificaFimImpressao)
  /// or the time-out passes (then the retry question).
  void DoLeResposta();
  /// Writes Cmd. A failed write asks whether to retry: false means "send
  /// again"; no retry raises EZuvoECFSemResposta.
  bool TransmitirComando(const std::string& Cmd);
  /// Waits until the printer is on line, asking whether to retry; raises
  /// EZuvoECFSemResposta "Impressora <modelo> não está em linha".
  void VerificaEmLinha(int TimeOut = 3);
  /// The line out of step (a command ended without its complete answer):
  /// discards what arrives until the line has been quiet for
  /// SilencioRessincroniaMs, at most three times that altogether.
  void Ressincroniza();
  /// A port that failed under the driver (closed, hung up):
  /// EZuvoECFSemResposta naming the port.
  [[noreturn]] void PortaFalhou(const Exception& Erro);
  /// Per command: the answer time-out of this command is at least Segundos
  /// (0: TimeOut alone). Cleared by the cycle on every exit.
  void SetTimeOutComando(int Segundos) { fTimeOutComando = Segundos; }
  /// The time-out the reading loop uses: TimeOut, or TimeOutComando when
  /// larger.
  int TimeOutLeitura() const;

  // ===================================================================
  // Primitives for the exchanges a family makes around a command
  // ===================================================================

  /// The status question a family asks while the printer prints, outside
  /// the cycle (ComandoEnviado and RespostaComando are left alone): when the
  /// printer is on line (EmLinha(1); else a 100 ms pause and false), purge,
  /// write Quadro, AposTransmitir, then read for up to PrazoMs until
  /// Completa accepts what arrived. Resposta gets what was read. True when
  /// Completa accepted it; port errors give false, never an exception.
  bool ConsultaDuranteImpressao(const std::string& Quadro,
                                const std::function<bool(const std::string&)>& Completa,
                                std::string& Resposta, int PrazoMs = 1000);
  /// One byte within PrazoMs (reads of at most 1500 ms each, so a retry
  /// the user asked for gets a fresh deadline). -1 when none arrived.
  int LeByte(int PrazoMs);
  /// Reads a stream (fiscal-memory lines, a multi-block answer) outside the
  /// cycle: until Fim accepts the bytes read, or, with SilencioMs > 0, no
  /// byte has arrived for SilencioMs after the first one, or PrazoMs passes.
  /// Returns what was read (complete or not).
  std::string LeAte(const std::function<bool(const std::string&)>& Fim, int PrazoMs,
                    int SilencioMs = 0);
  /// Writes Bytes outside the cycle (an acknowledgement the host sends, a
  /// block request). False when the write failed.
  bool EnviaDireto(const std::string& Bytes);
  /// Discards what the port holds both ways; never raises.
  void EsvaziaPorta();
  /// The modem lines, for families that move them around a send.
  void DefineDTR(bool Valor);
  void DefineRTS(bool Valor);
  bool SinalCTS();
  /// Milliseconds since the reading loop last received a byte (since it
  /// started, before the first byte): for end-of-answer rules that end on a
  /// quiet line.
  int64_t SilencioMs() const;
  /// The acknowledgement failure shared by the families with a one-byte
  /// acknowledgement: purges the port and asks (situation "LerACK") with
  /// Erro followed by the advice to check the cables and restart the
  /// printer. True: send the frame again.
  bool RetentaConfirmacao(const std::string& Erro);

  // ----- Smaller shared steps -----

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
  /// VerificaEmLinha(3), purge, then TransmitirComando (write deadline
  /// 2000 ms) until it succeeds; keeps Quadro in ComandoEnviado.
  void EnviaQuadro(const std::string& Quadro);
  /// Step 9: the pause after a completed command.
  void AposComando();
  /// Count bytes of RespostaComando (or of Resposta) from Inicio, raising
  /// EZuvoECFSemResposta when the answer is too short to hold them.
  std::string CampoResposta(const std::string& Resposta, int Inicio, int Count,
                            const std::string& Campo);
  /// CampoResposta read as a whole number: the field must hold digits only,
  /// else EZuvoECFSemResposta "Resposta inválida da Impressora ..." naming
  /// Campo.
  int64_t NumeroResposta(const std::string& Resposta, int Inicio, int Count,
                         const std::string& Campo);
  /// An amount or rate read from an answer ("1.234,56", "18.00", "-5,00"):
  /// blanks around it are allowed; anything else that is not a number
  /// (empty included) raises RespostaInvalida(Campo), never reads as 0.
  double ValorResposta(const std::string& Texto, const std::string& Campo);
  /// Raises EZuvoECFSemResposta "Resposta inválida da Impressora " + ModeloStr
  /// + " (" + Campo + ")".
  [[noreturn]] void RespostaInvalida(const std::string& Campo);
  /// The printer's clock read with Formato ("ddmmyyhhnnss"); a text that is
  /// no date raises RespostaInvalida("DataHora").
  TDateTime DataHoraResposta(const std::string& Texto, const std::string& Formato);
  /// Activation on anything but a serial port raises Exception: Quem +
  /// " requer" + Quebra + "Porta Serial:  (COM1, COM2, COM3, ...)".
  void ExigePortaSerial(const std::string& Quem, const std::string& Quebra);
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

  // The list objects, for drivers that fill them in their Carrega... overrides.
  std::unique_ptr<TZuvoECFAliquotas> fAliquotas;
  std::unique_ptr<TZuvoECFFormasPagamento> fFormasPagamento;
  std::unique_ptr<TZuvoECFComprovantesNaoFiscais> fComprovantesNaoFiscais;
  std::unique_ptr<TZuvoECFUnidadesMedida> fUnidadesMedida;

 private:
  void ExecutaRelatorio(const TStrings& Relatorio, int Vias, bool Vinculado);

  TZuvoDevice* fDevice;
  TZuvoECFConfig& fConfig;
  bool fAguardandoResposta = false;
  bool fAguardaImpressao = false;
  int fTimeOutComando = 0;
  bool fForaDePasso = false;  // the last command ended without its complete answer
  TPrazo fUltimoDado{0};  // renewed at every byte the reading loop receives
  TZuvoECFFormMsg fFormMsg;
  bool fPermiteFormMsg = true;
  TStrings fRelatorio;
  int fVias = 0;
  bool fAtivo = false;
  int fColunas = 48;
  std::string fNomeModelo;
  std::string fComandoEnviado;
  std::string fRespostaComando;
  TDateTime fUltimaMsgPoucoPapel = 0;
  TPrazo fProximoAvisoPapel{0};  // the next low-paper notice, no sooner
  bool fAvisouPoucoPapel = false;
  TZuvoECFEstado fEstado = estNaoInicializada;
  bool fMFD = false;
  bool fTermica = false;
};

}  // namespace zuvo
