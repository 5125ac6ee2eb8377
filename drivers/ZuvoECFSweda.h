// TZuvoECFSweda: Sweda fiscal printers.
//
// The wire protocol (text, no check byte):
//   command  ESC "." + command number (2 characters) + ASCII fields + "}"
//   answer   ".+" + data + "}"   executed; characters 3-6 of a command's
//                                answer are the printer's command counter
//            ".-" + code (4) + the printer's own text + "}"   refused
//            ".-P" + ...        the printer interface reports a failure
//                               (off line, time-out, not ready, paper)
// An answer is complete once "}" is among its last two bytes. Long answers
// (the fiscal memory on the serial line) come page by page, each asked for
// with the continuation command "++", until ".]}".
//
// The port is forced to DTR/DSR handshaking; after each send DTR is raised
// and RTS lowered when CTS is low (no-ops on a pseudo-terminal, which has no
// modem lines).
//
// Five generations, told apart at activation from the model letter ("271")
// and the firmware version ("27G"): 1 "(A)" firmware before 1.0, 2 "(B)"
// 1.0 and 1.1, 3 "(C)" later, 4 "(D)" the 9000-IIIE, 5 "(ST)" the thermal
// detail-memory ST printers. Many commands change layout, suffix letters or
// time-out with the generation.
#pragma once

#include <string>

#include "ecf/ZuvoECFClass.h"

namespace zuvo {

class TZuvoECFSweda : public TZuvoECFClass {
 public:
  /// Forces DTR/DSR handshake on the device; 40 columns.
  TZuvoECFSweda(TZuvoDevice& Device, TZuvoECFConfig& Config);
  ~TZuvoECFSweda() override;

  // ----- The protocol, as small functions (public for the unit tests) -----

  /// ESC "." + Cmd + "}".
  static std::string PreparaComando(const std::string& Cmd);
  /// True when Retorno is longer than 2 bytes and "}" is among its last two.
  static bool RespostaCompleta(const std::string& Retorno);
  /// The cable check list appended to interface failures.
  static std::string ListaVerificacao();
  /// The error text of an answer, "" when it reports success. A low-paper
  /// interface answer for a command the printer executed (its counter at
  /// 9-12 differs from Contador) sets PapelAcabando and is no error.
  static std::string MensagemErro(const std::string& Resposta, const std::string& Contador,
                                  bool& PapelAcabando);
  /// The model name of a letter ("???" for an unknown one).
  static std::string NomeModeloLetra(char Letra);

  // ----- Identification and state -----

  /// "28": the clock after "!"; 0 without "!".
  TDateTime DataHora() override;
  /// "271": the COO as 6 digits; 6 blanks when the answer is not ".+C".
  std::string NumCupom() override;
  std::string NumECF() override;   // "27F", cached
  std::string NumCRO() override;   // "27G" (G1 "279"), cached
  std::string NumSerie() override;
  /// The firmware version ("27G"; "0.3" for printers without it), cached;
  /// reads the model letter first ("271").
  std::string NumVersao() override;
  /// "28": 0 without "!".
  double SubTotal() override;
  /// Subtotal less the amount still due.
  double TotalPago() override;
  /// From the "28" answer; never estRequerX (see the .cpp).
  TZuvoECFEstado Estado() override;
  bool GavetaAberta() override;
  bool PoucoPapel() override;
  bool HorarioVerao() override;
  bool Arredonda() override;
  bool ChequePronto() override;

  /// Only serial ports. Identifies the generation (twice); any failure
  /// closes the port again.
  void Ativar() override;

  // ----- Tables -----

  void CarregaAliquotas() override;
  void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "") override;
  void CarregaFormasPagamento() override;
  void ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado = true,
                              const std::string& Posicao = "") override;
  void CarregaComprovantesNaoFiscais() override;
  /// Tipo "&" a group title, "+" money in (default), "-" money out.
  void ProgramaComprovanteNaoFiscal(std::string& Descricao, const std::string& Tipo = "",
                                    const std::string& Posicao = "") override;

  // ----- The receipt -----

  void AbreCupom(const std::string& CPF_CNPJ = "") override;
  void VendeItem(const std::string& Codigo, const std::string& Descricao,
                 const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                 double DescontoPorc = 0, const std::string& Unidade = "") override;
  /// A discount in generations other than 4 is sent with its percentage of
  /// the subtotal: a subtotal the printer does not report refuses it.
  void SubtotalizaCupom(double DescontoAcrescimo = 0,
                        const std::string& MensagemRodape = "") override;
  void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                       const std::string& Observacao = "", bool ImprimeVinculado = false) override;
  void FechaCupom(const std::string& Observacao = "") override;
  /// A receipt the printer will not cancel while open (partly paid) is
  /// paid, closed and cancelled as the last receipt.
  void CancelaCupom() override;
  void CancelaItemVendido(int NumItem) override;
  void AbreGaveta() override;

  // ----- Reports -----

  void LeituraX() override;
  void ReducaoZ(TDateTime DataHora = 0) override;
  void AbreRelatorioGerencial() override;
  void LinhaRelatorioGerencial(const std::string& Linha) override;
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor) override;
  void LinhaCupomVinculado(const std::string& Linha) override;
  void FechaRelatorio() override;
  void PulaLinhas(int NumLinhas = 0) override;
  void DoRelatorioGerencial(const TStrings& Relatorio, int Vias) override;
  void DoCupomVinculado(const TStrings& Relatorio, int Vias) override;
  void ImprimeCheque(const std::string& Banco, double Valor, const std::string& Favorecido,
                     const std::string& Cidade, TDateTime Data,
                     const std::string& Observacao = "") override;
  void CancelaImpressaoCheque() override;
  void MudaHorarioVerao() override;
  void MudaHorarioVerao(bool EHorarioVerao) override;
  void FechaRelatorioRecarrega() override;
  void CorrigeEstadoErro() override;
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) override;
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) override;
  void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                  TStrings& Linhas) override;
  void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                  TStrings& Linhas) override;

  using TZuvoECFClass::EnviaComando;

  // ----- State -----

  /// 0 until identified; 1..5.
  int Geracao() const { return fGeracao; }
  char LetraModelo() const { return fLetraModelo; }
  const std::string& UltimoContador() const { return fUltimoContador; }
  double MarcaPagamento() const { return fMarcaPagamento; }
  int VinculadosPendentes() const { return fVinculadosPendentes; }

 protected:
  // ----- The command cycle (EnviaComando runs it with these hooks) -----

  /// PreparaComando; a printing command gets the moment from which the end
  /// of printing is asked.
  std::string MontaQuadro(const std::string& Cmd) override;
  /// The DTR/RTS rule of DTR/DSR handshaking.
  void AposTransmitir() override;
  /// RespostaCompleta; a refusal needs no wait for the end of printing.
  bool VerificaFimLeitura(const std::string& Retorno) override;
  /// Asks "271" (not before the moment set for this command) until it
  /// reports a document number.
  bool VerificaFimImpressao() override;
  /// The whole answer is the data; MensagemErro is the error; the counter of
  /// an executed command is kept.
  TRespostaECF DecodificaResposta(const std::string& Resposta) override;
  void ReiniciaComando() override;

 private:
  int IdentificaGeracao();
  /// Reads Estado every 200 ms (errors ignored) until it is Estado or Ms
  /// pass.
  void AguardaEstado(TZuvoECFEstado Estado, int Ms);
  /// The "28" answer as the driver reads it.
  struct TStatus {
    std::string Resposta;
    int P = 0;         ///< position of "!"; 0 when there is none
    char T = ' ';      ///< 'C' (or 'E'): no document open
    std::string D;     ///< the document: "VENDAS", "N.FISCAL", "LEIT. X", ...
    std::string K;     ///< the last document command
  };
  /// Sends "28"; T, D and K are read only when the answer has its "!".
  TStatus LeStatus();
  /// The answer of a printing command, with its time-out and the wait for
  /// the end of printing.
  std::string EnviaImpressao(const std::string& Cmd, int TimeOut);
  /// A time-out by generation: G5 or the others.
  int Tempo(int G5, int Outras) const { return fGeracao == 5 ? G5 : Outras; }
  /// The closing command's flags ("N", "NN", ...) as FechaRelatorio sends them.
  std::string SufixoFechaRelatorio();
  void LeituraSerial(const std::string& Cmd, TStrings& Linhas);
  void ImprimeTexto(const std::string& Linha);

  int fGeracao = 0;
  char fLetraModelo = ' ';
  std::string fNumVersaoCache, fNumECFCache, fNumCROCache;
  bool fArredondaSweda = false;
  int fVinculadosPendentes = 0;
  double fMarcaPagamento = -1;
  std::string fUltimoContador;
  std::string fCupomVinculadoPendente;
  /// The end of printing is asked no sooner than this; unset: at once.
  TPrazo fInicioVerificaImpressao{0};
  bool fInicioDefinido = false;
};

}  // namespace zuvo
