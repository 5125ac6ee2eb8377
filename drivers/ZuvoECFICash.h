// TZuvoECFICash: ICash fiscal printers.
//
// A command is an ASCII text that begins with its numeric code, framed as
// STX + text + ETX + a 16-bit sum (high byte first). Every answer starts with
// ACK, the printer's document state character and an error character (blank
// when the command was carried out); reading commands then send a data block,
// STX + two characters + the data + ETX + two check bytes. A state other than
// the one a command normally leaves is itself an error, so the driver knows,
// per command code, which states are normal after it.
#pragma once

#include <string>

#include "ecf/ZuvoECFClass.h"

namespace zuvo {

class TZuvoECFICash : public TZuvoECFClass {
 public:
  TZuvoECFICash(TZuvoDevice& Device, TZuvoECFConfig& Config);
  ~TZuvoECFICash() override;

  // ----- The protocol, as small functions (public for the unit tests) -----

  /// STX + Cmd + ETX + the sum of those bytes, high byte first. An empty
  /// command stays empty.
  static std::string PreparaComando(const std::string& Cmd);
  /// The command answers with a data block (codes 21, 26, 67, 2E and the
  /// non-fiscal type read 34).
  static bool ComandoLeitura(const std::string& Cmd);
  /// What Retorno, the answer to Cmd so far, is.
  enum TFimResposta {
    frIncompleta,  ///< more bytes are due
    frCompleta,    ///< the whole answer is there
    frNACK,        ///< the printer refused the frame (a lone 0x0F)
    frSemBloco,    ///< a reading answer whose data does not start with STX
  };
  /// ACK, state and error are always needed. A reading command is complete
  /// with those three only when the error character reports an error;
  /// otherwise its block must have arrived up to ETX and the two check
  /// bytes.
  static TFimResposta FimResposta(const std::string& Cmd, const std::string& Retorno);
  /// The message of a state character; "" for '0' and for no character.
  static std::string MensagemEstado(char Estado);
  /// The message of an error character; "" for a blank and for no
  /// character; "Erro retornado pelo ECF: " + its byte value for an unlisted
  /// one.
  static std::string MensagemErro(char Erro);
  /// Estado is one of the states Cmd normally leaves the printer in.
  static bool EstadoNormal(const std::string& Cmd, char Estado);
  /// The state a state character stands for.
  static TZuvoECFEstado EstadoDe(char Estado);
  /// Texto as the four 48-character lines of a text block ("23" + four
  /// times "0" + line), broken at its line breaks.
  static std::string BlocoTexto(const std::string& Texto);

  // ----- Operations -----

  TDateTime DataHora() override;
  std::string NumCupom() override;
  std::string NumECF() override;
  std::string NumCRO() override;
  std::string NumSerie() override;
  std::string NumVersao() override;
  double SubTotal() override;
  double TotalPago() override;
  /// The first character of the status register (67082).
  TZuvoECFEstado Estado() override;
  /// The fourth character of the status register is "1".
  bool GavetaAberta() override;
  bool PoucoPapel() override;
  bool HorarioVerao() override;
  /// The printer rounds.
  bool Arredonda() override;
  bool ChequePronto() override;
  /// Only serial ports; forces RTS/CTS. Any failure deactivates.
  void Ativar() override;
  void CarregaAliquotas() override;
  void CarregaFormasPagamento() override;
  void CarregaComprovantesNaoFiscais() override;
  void AbreCupom(const std::string& CPF_CNPJ = "") override;
  /// The rate goes by letter code ("F", "I", "N", "T01"), by the index of a
  /// loaded rate, or by value ("18", "18T", "5S").
  void VendeItem(const std::string& Codigo, const std::string& Descricao,
                 const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                 double DescontoPorc = 0, const std::string& Unidade = "") override;
  void SubtotalizaCupom(double DescontoAcrescimo = 0,
                        const std::string& MensagemRodape = "") override;
  /// One payment per receipt may ask for a linked receipt.
  void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                       const std::string& Observacao = "", bool ImprimeVinculado = false) override;
  void FechaCupom(const std::string& Observacao = "") override;
  /// The open receipt ("29"), or the last one when the printer is free ("2A").
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
  void FechaRelatorio() override;
  /// No check printer: nothing to cancel.
  void CancelaImpressaoCheque() override;
  void MudaHorarioVerao() override;
  void MudaHorarioVerao(bool EHorarioVerao) override;
  /// The printer always rounds: nothing to change.
  void MudaArredondamento(bool Arredondar) override;
  void FechaRelatorioRecarrega() override;
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) override;
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) override;
  // Programming the tables, the captured fiscal-memory reading and checks
  // are not offered by this printer: they keep the base's "não
  // implementada" errors rather than report a success that did not happen.

  // ----- State -----

  /// A payment of the open receipt asked for a linked receipt.
  bool VinculadoPendente() const { return fVinculadoPendente; }

 protected:
  // ----- The command cycle (EnviaComando runs it with these hooks) -----

  /// PreparaComando; remembers the command for the end-of-answer rule.
  std::string MontaQuadro(const std::string& Cmd) override;
  /// FimResposta; a lone NACK raises "Impressora ICash retornou NACK".
  bool VerificaFimLeitura(const std::string& Retorno) override;
  /// The answer without ACK and its last byte; the state and error
  /// characters as the printer's messages unless the state is a normal one
  /// for the command.
  TRespostaECF DecodificaResposta(const std::string& Resposta) override;
  void ReiniciaComando() override;

 private:
  /// Count characters from Desloc characters after the STX of Resultado
  /// (clamped; "" without STX).
  static std::string Trecho(const std::string& Resultado, int Desloc, int Count);
  /// Trecho, but a short answer or one without STX is EZuvoECFSemResposta.
  std::string Valor(const std::string& Resultado, int Desloc, int Count, const std::string& Campo);
  /// Valor read as a whole number.
  int64_t ValorNumerico(const std::string& Resultado, int Desloc, int Count,
                        const std::string& Campo);
  /// The status register's characters (67082).
  std::string Status();

  std::string fComando;  // the command being answered
  std::string fNumVersaoCache;
  std::string fNumECFCache;
  std::string fNumCROCache;
  char fArredondaCache = ' ';
  bool fVinculadoPendente = false;
};

}  // namespace zuvo
