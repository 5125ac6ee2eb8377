// TZuvoECFMecaf: Mecaf fiscal printers.
//
// A command is a two- or three-digit decimal code followed by fixed-width
// ASCII fields, framed as STX, ESC, "$", the command and ETX (no length, no
// checksum), over a serial port with RTS/CTS flow control. The answer is a
// first byte, a text and ETX. The text begins with "+" (accepted) or "-"
// (refused); in a refusal characters 6-7 are the error code, in a query the
// data starts at character 6, and in an accepted action characters 6-7 are
// "00", or "01" when the paper is low.
//
// The firmwares whose version holds "201" or "301" print 48 columns and take
// the item sale and the payment in their own layout (Versao201ou301).
#pragma once

#include <string>

#include "ecf/ZuvoECFClass.h"

namespace zuvo {

class TZuvoECFMecaf : public TZuvoECFClass {
 public:
  /// Forces RTS/CTS handshaking; 40 columns until activation says otherwise.
  TZuvoECFMecaf(TZuvoDevice& Device, TZuvoECFConfig& Config);
  ~TZuvoECFMecaf() override;

  // ----- The protocol, as small functions (public for the unit tests) -----

  /// STX ESC "$" + Cmd + ETX.
  static std::string PreparaComando(const std::string& Cmd);
  /// The printer's message for an error code of a "-" answer;
  /// "Erro retornado pelo ECF: " + the code for a code it does not list.
  static std::string MensagemErro(int Codigo);
  /// True for the commands whose answer carries data from character 6 (the
  /// rates, the status, the clock, the registers, the fiscal memory sent on
  /// the line); their characters 6-7 are not a code.
  static bool EhConsulta(const std::string& Cmd);

  // ----- Operations -----

  TDateTime DataHora() override;
  /// Six blanks when the printer refuses the query.
  std::string NumCupom() override;
  std::string NumECF() override;
  std::string NumCRO() override;
  /// "" when the printer refuses the query.
  std::string NumSerie() override;
  std::string NumVersao() override;
  /// 0 when the printer refuses the query (no receipt open).
  double SubTotal() override;
  /// 0 when the printer refuses the query (no receipt open).
  double TotalPago() override;
  TZuvoECFEstado Estado() override;
  bool GavetaAberta() override;
  bool PoucoPapel() override;
  bool HorarioVerao() override;
  bool Arredonda() override;
  bool ChequePronto() override;
  /// Only serial ports. Reads the version; any failure deactivates.
  void Ativar() override;
  void CarregaAliquotas() override;
  void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "") override;
  void CarregaFormasPagamento() override;
  void ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado = true,
                              const std::string& Posicao = "") override;
  void CarregaComprovantesNaoFiscais() override;
  void ProgramaComprovanteNaoFiscal(std::string& Descricao, const std::string& Tipo = "",
                                    const std::string& Posicao = "") override;
  /// Clears VinculadoPendente once the receipt is open.
  void AbreCupom(const std::string& CPF_CNPJ = "") override;
  /// A quantity that does not fit the firmware's field (7 digits, or 6 on
  /// the 201/301) raises EZuvoECFCMDInvalido before anything is sent.
  void VendeItem(const std::string& Codigo, const std::string& Descricao,
                 const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                 double DescontoPorc = 0, const std::string& Unidade = "") override;
  void SubtotalizaCupom(double DescontoAcrescimo = 0,
                        const std::string& MensagemRodape = "") override;
  /// Sets VinculadoPendente once a payment with a linked receipt is taken;
  /// a second one in the same receipt is refused before sending. Pays the
  /// change with a zero cash payment when more than the total was paid.
  void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                       const std::string& Observacao = "", bool ImprimeVinculado = false) override;
  void FechaCupom(const std::string& Observacao = "") override;
  /// Clears VinculadoPendente once the receipt is cancelled.
  void CancelaCupom() override;
  void CancelaItemVendido(int NumItem) override;
  void AbreGaveta() override;
  void LeituraX() override;
  void ReducaoZ(TDateTime DataHora = 0) override;
  void AbreRelatorioGerencial() override;
  void LinhaRelatorioGerencial(const std::string& Linha) override;
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor) override;
  void LinhaCupomVinculado(const std::string& Linha) override;
  /// Sends the close only when a report or linked receipt is open.
  void FechaRelatorio() override;
  void ImprimeCheque(const std::string& Banco, double Valor, const std::string& Favorecido,
                     const std::string& Cidade, TDateTime Data,
                     const std::string& Observacao = "") override;
  void CancelaImpressaoCheque() override;
  void MudaHorarioVerao() override;
  void MudaHorarioVerao(bool EHorarioVerao) override;
  /// Keeps ArredondaCache in step once the printer accepts the change.
  void MudaArredondamento(bool Arredondar) override;
  void FechaRelatorioRecarrega() override;
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) override;
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) override;
  /// Linhas gets the report's lines (the data after the answer's sign and
  /// code), NUL bytes as blanks.
  void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                  TStrings& Linhas) override;
  void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal, TStrings& Linhas) override;
  using TZuvoECFClass::EnviaComando;

  // ----- State -----

  const std::string& NumVersaoCache() const { return fNumVersaoCache; }
  /// ' ' unknown, 'S' rounds, 'N' truncates.
  char ArredondaCache() const { return fArredondaCache; }
  /// A payment of the current receipt asked for a linked receipt.
  bool VinculadoPendente() const { return fVinculadoPendente; }
  /// The firmware's version holds "201" or "301".
  bool Versao201ou301() const;

 protected:
  // ----- The command cycle (EnviaComando runs it with these hooks) -----

  /// PreparaComando; notes whether the command is a query.
  std::string MontaQuadro(const std::string& Cmd) override;
  /// The printer needs a moment after the frame before it answers.
  /// The last byte received is ETX.
  bool VerificaFimLeitura(const std::string& Retorno) override;
  /// The answer without its first and last byte. A "-" answer is the
  /// printer's error (LF LF after the model); low paper is code 01 of an
  /// action, or the paper bit of the status. An answer that begins with
  /// neither sign raises EZuvoECFSemResposta: it confirms nothing.
  TRespostaECF DecodificaResposta(const std::string& Resposta) override;
  void ReiniciaComando() override;

 private:
  /// EZuvoECFSemResposta "Resposta inválida da Impressora Mecaf (Campo)".
  /// A query whose refusal is an answer (the operation then has a default):
  /// the answer text, "-" answers included.
  std::string ConsultaOpcional(const std::string& Cmd);
  /// Count characters from Inicio as a whole number; a short or non-numeric
  /// answer raises.
  int64_t Numero(const std::string& Resposta, int Inicio, int Count, const std::string& Campo);
  /// Two hexadecimal digits from Inicio as a byte; anything else raises.
  int ByteHex(const std::string& Resposta, int Inicio, const std::string& Campo);
  /// The status answer ("32").
  std::string Status();
  /// The flag byte of register 84.
  int FlagsDocumento();
  std::string CodigoTributo(const std::string& AliquotaICMS);
  /// The description at a position (0..31) of the table of command 29.
  std::string DescricaoTabela(int Posicao);
  /// A fiscal-memory report sent on the line, into Linhas.
  void LeituraSerial(const std::string& Cmd, int Segundos, TStrings& Linhas);

  std::string fNumVersaoCache;
  std::string fNumCROCache;
  std::string fNumECFCache;
  char fArredondaCache = ' ';
  bool fVinculadoPendente = false;
  // Per command.
  bool fConsulta = false;
  bool fStatus = false;
  bool fRecusaResponde = false;
};

}  // namespace zuvo
