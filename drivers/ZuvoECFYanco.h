// TZuvoECFYanco: Yanco fiscal printers.
//
// The wire protocol:
//   command  STX, Sequencia (4 digits), command text, ETX, then the sum of
//            every byte from STX to ETX as two bytes, high first
//   printer  one acknowledgement byte: 20 (DC4) accepted, 21 refused
//   answer   STX, the same sequence number, a 2-character code, the text,
//            ETX and the sum as above
// An answer whose text is exactly two characters is the printer's status
// code: "00" succeeded, anything else is an error from the printer's table.
// An answer that does not echo the command's sequence number (or whose sum
// does not add up) is "Retorno da Impressora inválido.".
//
// The printer has no rate-table read: it sells by slot ("T01", "T02", ...)
// or by the letter codes F, I and N. Several operations are fixed answers
// (GavetaAberta, PoucoPapel, ChequePronto are false).
#pragma once

#include <string>

#include "ecf/ZuvoECFClass.h"

namespace zuvo {

class TZuvoECFYanco : public TZuvoECFClass {
 public:
  /// Forces RTS/CTS handshake (hardware flow control) on the device.
  TZuvoECFYanco(TZuvoDevice& Device, TZuvoECFConfig& Config);
  ~TZuvoECFYanco() override;

  using TZuvoECFClass::EnviaComando;

  // ----- Identification and state -----

  /// The printer's date ("34071") and hour and minute ("34070").
  TDateTime DataHora() override;
  std::string NumCupom() override;
  std::string NumECF() override;     // cached until the next Ativar
  std::string NumSerie() override;
  std::string NumVersao() override;  // cached until the next Ativar
  double SubTotal() override;
  /// The payments made through this driver in the open receipt (the printer
  /// does not report it): 0 once the receipt is closed or cancelled.
  double TotalPago() override;
  /// From the status "25": estRequerX, estBloqueada, estLivre by the fiscal
  /// day; estVenda or estPagamento by the document, which prevails.
  TZuvoECFEstado Estado() override;
  bool GavetaAberta() override;  // false
  bool PoucoPapel() override;    // false
  bool ChequePronto() override;  // false

  /// Refuses a port that is not serial (Exception), then checks that the
  /// printer echoes "1FZUVO". Any failure closes the port again.
  void Ativar() override;

  // ----- Tables -----

  /// The printer has no rate-table read: the list stays empty.
  void CarregaAliquotas() override;
  /// The 30 payment slots of "2E".
  void CarregaFormasPagamento() override;

  // ----- Receipt and reports -----

  /// The CPF/CNPJ is not sent: the printer's command has no field for it.
  void AbreCupom(const std::string& CPF_CNPJ = "") override;
  /// Sells by slot ("T01"), by F, I or N, or by a programmed rate value
  /// (never found: no rate table is read; the error says to sell by slot).
  /// A discount raises EZuvoECFCMDInvalido: the printer's sale has no field
  /// for it. Unidade is not printed.
  void VendeItem(const std::string& Codigo, const std::string& Descricao,
                 const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                 double DescontoPorc = 0, const std::string& Unidade = "") override;
  /// Reads the subtotal. A discount or surcharge raises EZuvoECFCMDInvalido:
  /// the printer has no command for it.
  void SubtotalizaCupom(double DescontoAcrescimo = 0,
                        const std::string& MensagemRodape = "") override;
  /// The observation is not sent.
  void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                       const std::string& Observacao = "", bool ImprimeVinculado = false) override;
  /// Line breaks are removed from Observacao, which is cut to 168 characters.
  void FechaCupom(const std::string& Observacao = "") override;
  /// The open receipt, or the last one when the printer says it may be.
  void CancelaCupom() override;
  void CancelaItemVendido(int NumItem) override;
  void AbreGaveta() override;
  /// The day's first X reading starts the fiscal day.
  void LeituraX() override;
  /// The date is not sent: the printer uses its own clock.
  void ReducaoZ(TDateTime DataHora = 0) override;
  void AbreRelatorioGerencial() override;
  /// One printed line of 46 characters per line of Linha.
  void LinhaRelatorioGerencial(const std::string& Linha) override;
  /// Raises Exception for a payment method that is not in the list. The COO
  /// and the value are not sent: the printer links the last receipt.
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor) override;
  void LinhaCupomVinculado(const std::string& Linha) override;
  /// Ends a linked receipt or closes a managerial report.
  void FechaRelatorio() override;

  // ----- Check, clock, fiscal memory -----

  void CancelaImpressaoCheque() override;  // nothing to cancel
  void MudaHorarioVerao() override;        // the printer changes it itself
  void MudaHorarioVerao(bool EHorarioVerao) override;
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) override;
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) override;
  /// The printer sends its whole fiscal memory ("2F" carries no range), so
  /// only the range 1 to 9999 is honoured; any other raises
  /// EZuvoECFCMDInvalido.
  void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                  TStrings& Linhas) override;

  // ----- Fields -----

  /// The sequence number of the last frame: 0 at creation, 9999 is followed
  /// by 1.
  int Sequencia() const { return fSequencia; }
  void SetSequencia(int V) { fSequencia = V; }

 protected:
  // ----- The command cycle (EnviaComando runs it with these hooks) -----

  /// The frame of PreparaComando.
  std::string MontaQuadro(const std::string& Cmd) override;
  /// One byte within min(TimeOut, 5) s: 20 accepted; none, 21 or another
  /// byte asks whether to retry ("LerACK") and raises EZuvoECFSemResposta
  /// when not.
  bool ConfirmaRecebimento() override;
  /// At least 11 bytes with ETX third from the end.
  bool VerificaFimLeitura(const std::string& Retorno) override;
  /// The text between the status code and ETX; its error message, if any.
  TRespostaECF DecodificaResposta(const std::string& Resposta) override;

  /// Advances Sequencia and frames Cmd; "" for an empty command.
  std::string PreparaComando(const std::string& Cmd);
  /// The sum of every byte of Quadro, high byte first.
  static std::string Soma(const std::string& Quadro);
  /// The status code of Resposta, the answer to the frame Quadro: "EE" when
  /// it does not echo STX and the sequence number or its sum is wrong, the
  /// text when it is two characters, otherwise "00".
  static std::string CodigoStatus(const std::string& Quadro, const std::string& Resposta);
  /// The message of a status code; "" for "00".
  static std::string MensagemErro(const std::string& Codigo);

 private:
  /// The tax code of a VendeItem argument ("01", "14", ...).
  std::string CodigoAliquota(const std::string& AliquotaICMS);
  /// The status text of "25" (at least 11 characters).
  std::string LeStatus();

  int fSequencia = 0;
  std::string fNumVersaoCache;
  std::string fNumECFCache;
  double fTotalPago = 0;
};

}  // namespace zuvo
