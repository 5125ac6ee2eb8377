// TZuvoECFBematech: Bematech fiscal printers.
//
// The wire protocol:
//   command  STX, N lo, N hi, ESC, command bytes, sum lo, sum hi
//            (N counts ESC, the command and the two checksum bytes; the sum
//            is of ESC and the command bytes)
//   printer  one acknowledgement byte: 6 accepted, 21 refused
//   answer   BytesResp data bytes, then the status bytes ST1 and ST2
//            (or, for a negative BytesResp: ST1, ST2, data, ETX)
// Every status bit that is set is an error with its own message, except
// "Pouco papel", which only raises the low-paper notice.
//
// Two generations: the older printer and the one with a detail memory (MFD),
// recognised at activation by the version query 35, 41; it changes the sale
// command, the serial-number query and the total paid. Thermal MFD printers
// print text in blocks instead of line by line.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>

#include "checks/ZuvoCHQModelos.h"
#include "ecf/ZuvoECFClass.h"

namespace zuvo {

class TZuvoECFBematech : public TZuvoECFClass {
 public:
  /// Forces RTS/CTS handshake on the device.
  TZuvoECFBematech(TZuvoDevice& Device, TZuvoECFConfig& Config);
  ~TZuvoECFBematech() override;

  // ----- Identification and state -----

  TDateTime DataHora() override;
  std::string NumCupom() override;
  std::string NumECF() override;    // cached until the next Ativar
  std::string NumCRO() override;    // cached
  std::string NumLoja() override;   // cached
  /// MFD: 35, 40 (silently falling back to 35, 0); older printers: 35, 0.
  std::string NumSerie() override;
  /// Cached. Probes 35, 41 (MFD) and 35, 60 (thermal); falls back to 35, 1.
  std::string NumVersao() override;
  double SubTotal() override;
  /// MFD printers do not report it: the sum of this receipt's payments.
  double TotalPago() override;
  /// estLivre, estVenda, estPagamento, estBloqueada; MFD printers also
  /// estRequerZ when the fiscal day is not today.
  TZuvoECFEstado Estado() override;
  bool GavetaAberta() override;
  /// Bit 6 of the last ST1; sends nothing.
  bool PoucoPapel() override;
  bool HorarioVerao() override;
  bool Arredonda() override;  // asked once
  bool ChequePronto() override;

  /// Refuses a port that is not serial (Exception), then identifies the
  /// printer: version, generation, serial number and columns. Any failure
  /// closes the port again.
  void Ativar() override;
  /// Raw commands need their answer length; older printers program the
  /// description AchaFPGDescricao looks for.
  bool Suporta(TZuvoECFRecurso Recurso) override;
  /// SetBytesResp for the next command.
  void DefineTamanhoResposta(int Bytes) override;

  // ----- Tables -----

  void CarregaAliquotas() override;
  /// Posicao is not used: the printer takes the next free slot.
  void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "") override;
  void CarregaFormasPagamento() override;
  /// Older printers: programs the description first (the printer gives back
  /// the index of an existing one), then searches the list.
  TZuvoECFFormaPagamento* AchaFPGDescricao(const std::string& Descricao) override;
  void ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado = true,
                              const std::string& Posicao = "") override;
  /// The printer's types plus "SA" Sangria and "SU" Suprimento in front.
  void CarregaComprovantesNaoFiscais() override;
  /// Raises Exception when all 50 slots are taken.
  void ProgramaComprovanteNaoFiscal(std::string& Descricao, const std::string& Tipo = "",
                                    const std::string& Posicao = "") override;

  // ----- Receipt and reports -----

  void AbreCupom(const std::string& CPF_CNPJ = "") override;
  /// Quantities above 9999 raise EZuvoECFCMDInvalido; an unknown rate
  /// raises "Aliquota nao encontrada: ".
  void VendeItem(const std::string& Codigo, const std::string& Descricao,
                 const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                 double DescontoPorc = 0, const std::string& Unidade = "") override;
  void SubtotalizaCupom(double DescontoAcrescimo = 0,
                        const std::string& MensagemRodape = "") override;
  void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                       const std::string& Observacao = "", bool ImprimeVinculado = false) override;
  void FechaCupom(const std::string& Observacao = "") override;
  /// Also closes any report left open, ignoring its error.
  void CancelaCupom() override;
  void CancelaItemVendido(int NumItem) override;
  void AbreGaveta() override;
  void LeituraX() override;
  /// DataHora 0 lets the printer use its own clock.
  void ReducaoZ(TDateTime DataHora = 0) override;
  void AbreRelatorioGerencial() override;
  void LinhaRelatorioGerencial(const std::string& Linha) override;
  /// Raises Exception for a payment method that is not in the list.
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor) override;
  void LinhaCupomVinculado(const std::string& Linha) override;
  void FechaRelatorio() override;

  // ----- Check, clock, settings -----

  /// The bank's layout comes from CHQModelos (bank "000" when the bank has
  /// none); no layout at all raises Exception.
  void ImprimeCheque(const std::string& Banco, double Valor, const std::string& Favorecido,
                     const std::string& Cidade, TDateTime Data,
                     const std::string& Observacao = "") override;
  void CancelaImpressaoCheque() override;
  void MudaHorarioVerao() override;
  void MudaHorarioVerao(bool EHorarioVerao) override;
  void MudaArredondamento(bool Arredondar) override;
  void CorrigeEstadoErro() override;
  /// Older printers from version 310 on; the level is clamped to 1..3.
  void ImpactoAgulhas(int NivelForca = 2) override;
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) override;
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) override;
  void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                  TStrings& Linhas) override;
  void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                  TStrings& Linhas) override;

  // ----- Fields -----

  /// Acknowledgement of the last command: 6 accepted, 21 refused, 0 none.
  int ACK() const { return fACK; }
  int ST1() const { return fST1; }
  int ST2() const { return fST2; }
  /// Answer bytes expected before ST1 and ST2 by the next command; negative:
  /// a variable answer ended by ETX. Back to 0 after every command.
  int BytesResp() const { return fBytesResp; }
  void SetBytesResp(int V) { fBytesResp = V; }
  double TotalPagoMFD() const { return fTotalPagoMFD; }
  TZuvoCHQModelos& CHQModelos() { return *fCHQModelos; }

 protected:
  // ----- The command cycle (EnviaComando runs it with these hooks) -----

  /// ACK, ST1, ST2 := 0; the frame of PreparaComando.
  std::string MontaQuadro(const std::string& Cmd) override;
  /// One byte within the time-out (at most 5 s, except for the status
  /// command): 6 accepted; none, 21 or another byte asks whether to retry
  /// ("LerACK") and raises EZuvoECFSemResposta when not.
  bool ConfirmaRecebimento() override;
  /// Complete at BytesResp + 2 bytes, or, for a negative BytesResp, at ETX
  /// after at least ST1 and ST2; or ST1 and ST2 alone saying the command is
  /// unknown, once the line has gone quiet for 100 ms.
  bool VerificaFimLeitura(const std::string& Retorno) override;
  /// Asks the status (byte 19) until the printer answers it: a printer busy
  /// printing does not.
  bool VerificaFimImpressao() override;
  /// The data and ST1, ST2: every error bit set is listed; "Pouco papel"
  /// only notifies.
  TRespostaECF DecodificaResposta(const std::string& Resposta) override;
  /// BytesResp back to 0.
  void ReiniciaComando() override;

  /// STX, length, ESC + Cmd, checksum; "" for an empty command.
  static std::string PreparaComando(const std::string& Cmd);
  /// Each byte as the decimal text of its two nibbles: 0x12 gives "12".
  static std::string BcdToAsc(const std::string& Bytes);
  /// The messages of every error bit set, each followed by CR LF, ST1's
  /// before ST2's for the same bit. A status command does not list "Cupom
  /// aberto" and "Pouco papel".
  static std::string ListaErros(int ST1, int ST2, bool EhStatus);

 private:
  /// ST1 at the start of Retorno says the printer did not know the command.
  static bool RespostaSoStatus(const std::string& Retorno);
  /// Commands whose answer is BCD digits: the trimmed digits.
  std::string ConsultaBCD(const std::string& Cmd, int Bytes);
  /// A one-byte answer.
  int ConsultaByte(const std::string& Cmd);
  /// A printing command: waits for the end of printing, time-out Segundos.
  void EnviaImpressao(const std::string& Cmd, int Segundos);
  /// The tax-rate index of a VendeItem argument ("FF", "01", ...).
  std::string IndiceAliquota(const std::string& AliquotaICMS);
  /// NumVersao as a number (0 when it is not one).
  int VersaoNumero();
  /// Text of a report or linked receipt, line by line or in blocks.
  void ImprimeTexto(const std::string& Texto, const std::string& Prefixo);

  int fACK = 0;
  int fST1 = 0;
  int fST2 = 0;
  int fBytesResp = 0;
  bool fEhStatus = false;  // the command in progress is the status command
  std::string fNumVersaoCache;
  std::string fNumECFCache;
  std::string fNumLojaCache;
  std::string fNumCROCache;
  char fArredondaCache = ' ';
  double fTotalPagoMFD = 0;
  std::unique_ptr<TZuvoCHQModelos> fCHQModelos;
};

}  // namespace zuvo
