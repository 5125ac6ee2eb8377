// TZuvoECFQuattro: Quattro fiscal printers.
//
// A command is ESC "." + text + "}", with no length and no check byte; the
// answer is ".+" (carried out) or ".-" (refused) and also ends with "}".
// A command carried out is answered with the printer's four-digit answer
// number at positions 3-6; the reads (registers "56", "27", "22", "23", the
// tables "29x") put their own data there instead. A printing command that
// meets the paper end is answered ".-P" + '5' at position 6 + the printer's
// answer number at 9-12: a new number means the command was carried out and
// paper is low, the last known one means nothing was printed.
//
// Most of the state comes in one long status answer ("28") and in numbered
// registers ("56" + two digits). The handshake is DTR/DSR; on a port without
// modem lines (a pseudo-terminal) the device reads DSR as set. Bank-check
// layouts come from "Formato_cheque.txt" in the program's folder, or from a
// built-in list.
#pragma once

#include <string>

#include "ecf/ZuvoECFClass.h"

namespace zuvo {

class TZuvoECFQuattro : public TZuvoECFClass {
 public:
  TZuvoECFQuattro(TZuvoDevice& Device, TZuvoECFConfig& Config);
  ~TZuvoECFQuattro() override;

  // ----- The protocol, as small functions (public for the unit tests) -----

  /// ESC "." + Cmd + "}".
  static std::string PreparaComando(const std::string& Cmd);
  /// An answer is complete when it is longer than two characters and ends
  /// with "}".
  static bool RespostaCompleta(const std::string& Retorno);
  /// The printer's message for an error code; "" for a code the printer
  /// explains in the answer itself.
  static std::string MensagemErro(int Codigo);
  /// A user's text as a command field: "}" (which ends a command) and
  /// control bytes such as ESC (which starts one) become blanks; with
  /// Linhas, line breaks stay for texts printed on several lines.
  static std::string TextoLivre(const std::string& Texto, bool Linhas = false);
  /// True when the answer to Cmd carries the answer number at positions
  /// 3-6 (every answer but the reads).
  static bool NumeraResposta(const std::string& Cmd);
  /// The lines of a serial fiscal-memory reading from the answers collected
  /// (each ".+" + number + line + "}", the end mark ".]}" anywhere).
  static TStrings LinhasSerial(const std::string& Coletado);
  /// The 63 check layouts the printer knows when no file says otherwise.
  static TStrings LayoutsPadrao();

  // ----- Operations -----

  TDateTime DataHora() override;
  std::string NumCupom() override;
  std::string NumECF() override;
  std::string NumCRO() override;
  std::string NumSerie() override;
  std::string NumVersao() override;
  double SubTotal() override;
  /// The amount paid so far in the receipt being paid; 0 otherwise.
  double TotalPago() override;
  TZuvoECFEstado Estado() override;
  bool GavetaAberta() override;
  bool PoucoPapel() override;
  bool HorarioVerao() override;
  bool Arredonda() override;
  bool ChequePronto() override { return true; }
  /// Only serial ports. Reads the version and the printer's answer number;
  /// any failure deactivates.
  void Ativar() override;
  void CarregaAliquotas() override;
  void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "") override;
  void CarregaFormasPagamento() override;
  void ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado = true,
                              const std::string& Posicao = "") override;
  void CarregaComprovantesNaoFiscais() override;
  void ProgramaComprovanteNaoFiscal(std::string& Descricao, const std::string& Tipo = "",
                                    const std::string& Posicao = "") override;
  void AbreCupom(const std::string& CPF_CNPJ = "") override;
  void VendeItem(const std::string& Codigo, const std::string& Descricao,
                 const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                 double DescontoPorc = 0, const std::string& Unidade = "") override;
  void SubtotalizaCupom(double DescontoAcrescimo = 0,
                        const std::string& MensagemRodape = "") override;
  void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                       const std::string& Observacao = "", bool ImprimeVinculado = false) override;
  void FechaCupom(const std::string& Observacao = "") override;
  /// A receipt being paid is paid up and closed first, then cancelled as
  /// the last receipt.
  void CancelaCupom() override;
  void CancelaItemVendido(int NumItem) override;
  void AbreGaveta() override;
  void LeituraX() override;
  void ReducaoZ(TDateTime DataHora = 0) override;
  void AbreRelatorioGerencial() override;
  void LinhaRelatorioGerencial(const std::string& Linha) override;
  /// COO: the receipt's number (up to four digits on this printer).
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor) override;
  void LinhaCupomVinculado(const std::string& Linha) override;
  void FechaRelatorio() override;
  void PulaLinhas(int NumLinhas = 0) override;
  void ImprimeCheque(const std::string& Banco, double Valor, const std::string& Favorecido,
                     const std::string& Cidade, TDateTime Data,
                     const std::string& Observacao = "") override;
  void CancelaImpressaoCheque() override;
  void MudaHorarioVerao() override;
  void MudaHorarioVerao(bool EHorarioVerao) override;
  void MudaArredondamento(bool Arredondar) override;
  void FechaRelatorioRecarrega() override;
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) override;
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) override;
  /// Raises when the printer stops before the reading's end mark.
  void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                  TStrings& Linhas) override;
  void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal, TStrings& Linhas) override;

  // ----- State -----

  /// The receipt has been subtotalled or paid.
  bool EmPagamento() const { return fEmPagamento; }
  /// The printer's answer number of the last command carried out.
  const std::string& NumUltimaResposta() const { return fNumUltimaResposta; }
  /// Loads the check layouts: "Formato_cheque.txt" in the program's folder,
  /// one bank a line (three-digit code, then the layout digits), or the
  /// built-in list when there is no such file.
  void CarregaLayoutsCheque();
  const TStrings& LayoutsCheque() const { return fLayoutsCheque; }
  /// The layout digits of a bank ("" when no line has it).
  std::string LayoutCheque(const std::string& Banco) const;

 protected:
  // ----- The command cycle (EnviaComando runs it with these hooks) -----

  std::string MontaQuadro(const std::string& Cmd) override;
  /// DTR raised after a send under DTR/DSR; RTS dropped while CTS is low.
  void AposTransmitir() override;
  bool VerificaFimLeitura(const std::string& Retorno) override;
  /// Asks "23": finished when it says ready, or ready with little paper
  /// (then the low-paper notice). A refused command printed nothing and
  /// is not waited for.
  bool VerificaFimImpressao() override;
  /// Refusals and communication statuses as the printer's messages; the
  /// paper end as a notice (command carried out) or an error (not).
  TRespostaECF DecodificaResposta(const std::string& Resposta) override;

 private:
  /// The status answer "28"; "" without its "!".
  std::string Status();
  /// A printing command: waits for the end of printing.
  std::string EnviaImpressao(const std::string& Cmd, int Segundos);
  /// The tax field of a sale ("T01", "F  ", ...).
  std::string Tributo(const std::string& AliquotaICMS);
  void LeituraSerial(const std::string& Pedido, TStrings& Linhas);
  /// A refused answer (nothing was carried out, nothing prints).
  bool Recusada(const std::string& Resposta) const;

  char fArredondaCache = ' ';
  std::string fNumVersaoCache;
  std::string fNumCROCache;
  std::string fNumECFCache;
  std::string fNumUltimaResposta;
  bool fEmPagamento = false;
  TStrings fLayoutsCheque;
  std::string fComando;  // the command being sent, unframed
};

}  // namespace zuvo
