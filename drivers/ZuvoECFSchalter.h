// TZuvoECFSchalter: Schalter fiscal printers.
//
// The wire protocol:
//   command    ESC "f" + command byte + fixed-width fields + K, where K makes
//              the sum of every byte (ESC and "f" included) a multiple of 256
//   free text  ESC "n" + text + CR, unframed (a line of the open document)
//   answer     one byte, the status code (0 accepted; an empty answer counts
//              as 0), or, for the queries, a data block framed as a command
//              is, of the length announced before the command (BytesResp)
// The printer reports one error per answer, by code (TabelaErros).
//
// Versions above 3 take the consumer's id, price with three decimals and
// keep linked receipts that are owed; F, I and N are sold as 12, 13 and 14
// below version 3 and as 16, 17 and 18 from it on.
#pragma once

#include <string>

#include "ecf/ZuvoECFClass.h"

namespace zuvo {

class TZuvoECFSchalter : public TZuvoECFClass {
 public:
  /// Forces RTS/CTS handshake on the device (on a port without modem lines,
  /// such as a pseudo-terminal, CTS reads as set).
  TZuvoECFSchalter(TZuvoDevice& Device, TZuvoECFConfig& Config);
  ~TZuvoECFSchalter() override;

  // ----- The protocol, as small functions (public for the unit tests) -----

  /// "n..." goes as ESC + Cmd + CR; anything else as ESC "f" + Cmd + K.
  static std::string PreparaComando(const std::string& Cmd);
  /// The printer's message for a status code; "" for 0 (and for 27, a data
  /// block, which is checked apart).
  static std::string MensagemErro(int Codigo, const std::string& Modelo);
  /// True when Bloco is a data block whose check byte is right.
  static bool BlocoValido(const std::string& Bloco);

  // ----- Identification and state -----

  TDateTime DataHora() override;
  std::string NumCupom() override;
  std::string NumECF() override;  // cached until the next Ativar
  std::string NumSerie() override;
  /// Cached. 228; a printer that answers it with an error code is "2,04"
  /// (a printer that does not answer at all is an error).
  std::string NumVersao() override;
  double SubTotal() override;
  /// The payments of the open receipt, summed by the driver.
  double TotalPago() override;
  TZuvoECFEstado Estado() override;
  bool GavetaAberta() override;
  bool PoucoPapel() override;
  bool HorarioVerao() override;  // false
  bool Arredonda() override;     // true
  /// Refuses a port that is not serial, forces RTS/CTS, identifies the
  /// printer by its version; any failure closes the port again.
  void Ativar() override;
  bool Suporta(TZuvoECFRecurso Recurso) override;
  void DefineTamanhoResposta(int Bytes) override;

  // ----- Tables -----

  void CarregaAliquotas() override;
  void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "") override;
  void CarregaFormasPagamento() override;
  void ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado = true,
                              const std::string& Posicao = "") override;
  void CarregaComprovantesNaoFiscais() override;
  /// Tipo: letters D, A, C, P, V, or the payment method a linked type is
  /// tied to ("V01"), which the operator confirms.
  void ProgramaComprovanteNaoFiscal(std::string& Descricao, const std::string& Tipo = "",
                                    const std::string& Posicao = "") override;

  // ----- Receipt and reports -----

  void AbreCupom(const std::string& CPF_CNPJ = "") override;
  /// Quantities above 99999 raise EZuvoECFCMDInvalido.
  void VendeItem(const std::string& Codigo, const std::string& Descricao,
                 const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                 double DescontoPorc = 0, const std::string& Unidade = "") override;
  void SubtotalizaCupom(double DescontoAcrescimo = 0,
                        const std::string& MensagemRodape = "") override;
  void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                       const std::string& Observacao = "", bool ImprimeVinculado = false) override;
  void FechaCupom(const std::string& Observacao = "") override;
  void CancelaCupom() override;
  void CancelaItemVendido(int NumItem) override;
  void AbreGaveta() override;
  void LeituraX() override;
  /// Then cancels the linked receipts still owed (versions above 3).
  void ReducaoZ(TDateTime DataHora = 0) override;
  void AbreRelatorioGerencial() override;
  void LinhaRelatorioGerencial(const std::string& Linha) override;
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor) override;
  void LinhaCupomVinculado(const std::string& Linha) override;
  void FechaRelatorio() override;
  void PulaLinhas(int NumLinhas = 0) override;
  /// Both forms set the printer's clock to the computer's.
  void MudaHorarioVerao() override;
  void MudaHorarioVerao(bool EHorarioVerao) override;
  void FechaRelatorioRecarrega() override;
  void CorrigeEstadoErro() override;
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) override;
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) override;
  /// The report's lines as the printer sends them; a printer that sends
  /// nothing ends in the time-out error.
  void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                  TStrings& Linhas) override;
  void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                  TStrings& Linhas) override;

  // ----- Fields -----

  /// The answer length the next command expects; negative: read until the
  /// answer stops growing. Back to 1 after every command.
  int BytesResp() const { return fBytesResp; }
  void SetBytesResp(int V) { fBytesResp = V; }
  double TotalPagoSchalter() const { return fTotalPagoSchalter; }

 protected:
  // ----- The command cycle (EnviaComando runs it with these hooks) -----

  std::string MontaQuadro(const std::string& Cmd) override;
  /// BytesResp bytes, or a single error code; a variable answer once it has
  /// begun and stayed the same over four checks.
  bool VerificaFimLeitura(const std::string& Retorno) override;
  /// Asks the status (223) until the printer answers it: a printer busy
  /// printing does not. Notes low paper for the notice.
  bool VerificaFimImpressao() override;
  /// The status code as the printer's error; a data block with a wrong
  /// check byte is an error too.
  TRespostaECF DecodificaResposta(const std::string& Resposta) override;
  /// BytesResp back to 1, the variable read's state cleared.
  void ReiniciaComando() override;

 private:
  /// NumVersao as a number (0 when it is not one).
  double VersaoNumero();
  /// A printing command with a time-out of at least Segundos.
  std::string EnviaImpressao(const std::string& Cmd, int Segundos);
  /// A query answered by a block of Bytes bytes.
  std::string Consulta(const std::string& Cmd, int Bytes);
  /// The 223 status block.
  std::string Status();
  /// The tax code of a sale's rate text.
  std::string CodigoAliquota(const std::string& AliquotaICMS);
  /// The fiscal-memory read sent down the line.
  void LeituraSerial(char Tipo, const std::string& Parametros, int Span, TStrings& Linhas);
  /// Prints and cancels the linked receipts still owed (versions above 3).
  void CancelaVinculosPendentes();

  int fBytesResp = 1;
  std::string fLeituraAnterior;
  int fLeiturasIguais = 0;
  std::string fNumVersaoCache;
  std::string fNumECFCache;
  double fTotalPagoSchalter = 0;
  int fCodigoErro = 0;            // the last answer's status code
  bool fPoucoPapelStatus = false;  // the end-of-printing status showed low paper
};

}  // namespace zuvo
