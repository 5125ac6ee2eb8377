// TZuvoECFDataRegis: DataRegis fiscal printers.
//
// The wire protocol:
//   command  0xFE, sequence (1..250), letter, number of parameter bytes,
//            parameters, check byte (the sum of the bytes from the letter to
//            the last parameter, modulo 256)
//   printer  a reply code and CR: EOT done, nothing to report; ACK not
//            executed (the driver asks the status "R" at once, and its 6th
//            character is the error letter, 'K' when there is none); BS a
//            data answer follows
//   answer   blocks of 0xFE, the printer's own counter, the letter, the data
//            length, the data, the check byte (same rule) and CR; the host
//            acknowledges each block with EOT; the last block carries SUB,
//            after or (as the EP375 sends it) before its check byte
// The length byte decides where a block's data ends: a check byte or a data
// byte equal to CR never cuts a block.
//
// Two firmware generations, told apart by the last two characters of the
// version text: "03" and the later ones, which use other letters for the
// identification and the tables; "05" also has the CRO and units of measure.
//
// The printer opens a receipt only with its first item and takes the
// receipt's discount or surcharge with the first payment, so the driver
// keeps the open receipt's items (to cancel them), the pending adjustment and
// the amount paid, in memory and in a state file beside the executable.
#pragma once

#include <string>
#include <vector>

#include "ecf/ZuvoECFClass.h"

namespace zuvo {

class TZuvoECFDataRegis : public TZuvoECFClass {
 public:
  /// Forces DTR/DSR handshake and 40 columns.
  TZuvoECFDataRegis(TZuvoDevice& Device, TZuvoECFConfig& Config);
  ~TZuvoECFDataRegis() override;

  // ----- The protocol, as small functions (public for the unit tests) -----

  /// The frame of Cmd with sequence number Sequencia; "" for an empty
  /// command. More than 255 parameter bytes raise EZuvoECFCMDInvalido.
  static std::string PreparaComando(const std::string& Cmd, int Sequencia);

  /// One data block of an answer.
  struct TBloco {
    char Letra = 0;
    std::string Dados;
    bool Ultimo = false;   ///< it carried SUB: the answer ends with it
    bool Integro = true;   ///< its check byte matches its bytes
  };
  /// The complete blocks of Resposta, from its start; bytes between blocks
  /// (the reply codes) are skipped. Incompleto: a block has begun and not
  /// ended yet.
  static std::vector<TBloco> LeBlocos(const std::string& Resposta, bool& Incompleto);
  /// The data of every block, concatenated. Integro false when a block's
  /// check byte is wrong or the answer holds no complete last block.
  static std::string DesempacotaResposta(const std::string& Resposta, bool& Integro);
  /// The printer's message for an error character; "" for 'K'.
  static std::string MensagemErro(char Codigo);

  // ----- Identification and state -----

  TDateTime DataHora() override;
  std::string NumCupom() override;
  /// Cached until the next Ativar.
  std::string NumECF() override;
  /// Version 05: "o"; others "".
  std::string NumCRO() override;
  /// Also kept for the state file.
  std::string NumSerie() override;
  /// Cached: "PS" (version 03), else "l"; "" when neither answers.
  std::string NumVersao() override;
  /// The printer's "C" (still due, or change) with the driver's amount paid
  /// and pending adjustment; 0 for an answer it cannot read.
  double SubTotal() override;
  double TotalPago() override { return fTotalPago; }
  /// From the status "R"; a receipt opened by AbreCupom before its first
  /// item is estVenda.
  TZuvoECFEstado Estado() override;
  bool GavetaAberta() override;
  bool PoucoPapel() override;
  bool HorarioVerao() override;
  bool Arredonda() override { return true; }
  bool ChequePronto() override { return true; }

  /// Refuses a port that is not serial (Exception), identifies the printer
  /// and loads the receipt state of this printer's state file. Any failure
  /// closes the port again.
  void Ativar() override;
  void Desativar() override;

  // ----- Tables -----

  void CarregaAliquotas() override;
  /// Posicao is not used: the printer takes the next free slot.
  void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "") override;
  void CarregaFormasPagamento() override;
  /// Exception "Forma de Pagamento já cadastrada" for a known description.
  void ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado = true,
                              const std::string& Posicao = "") override;
  /// Version 03 keeps none.
  void CarregaComprovantesNaoFiscais() override;
  void ProgramaComprovanteNaoFiscal(std::string& Descricao, const std::string& Tipo = "",
                                    const std::string& Posicao = "") override;
  /// Version 05 only; the others keep none.
  void CarregaUnidadesMedida() override;
  void ProgramaUnidadeMedida(const std::string& Descricao) override;

  // ----- Receipt -----

  /// Sends nothing: the printer opens the receipt with its first item.
  void AbreCupom(const std::string& CPF_CNPJ = "") override;
  /// Quantities above 999.999 and unknown rates raise EZuvoECFCMDInvalido.
  void VendeItem(const std::string& Codigo, const std::string& Descricao,
                 const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                 double DescontoPorc = 0, const std::string& Unidade = "") override;
  /// Sends the footer; the adjustment waits for the first payment.
  void SubtotalizaCupom(double DescontoAcrescimo = 0,
                        const std::string& MensagemRodape = "") override;
  void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                       const std::string& Observacao = "", bool ImprimeVinculado = false) override;
  /// Sends nothing: the printer closed the receipt when it was paid.
  void FechaCupom(const std::string& Observacao = "") override;
  /// Pays an open receipt in full and cancels it ("F").
  void CancelaCupom() override;
  /// Resends the item's record; Exception "Item (NNN) não encontrado" for a
  /// number that is not an item of the open receipt (0 and below included).
  void CancelaItemVendido(int NumItem) override;
  void AbreGaveta() override;

  // ----- Reports -----

  void LeituraX() override;
  void ReducaoZ(TDateTime DataHora = 0) override;
  void AbreRelatorioGerencial() override;
  void LinhaRelatorioGerencial(const std::string& Linha) override;
  /// Exception for a payment method that is not in the list.
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor) override;
  void LinhaCupomVinculado(const std::string& Linha) override;
  /// Closes the managerial report ("k") or else the linked receipt ("K").
  void FechaRelatorio() override;
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) override;
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) override;
  void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                  TStrings& Linhas) override;
  void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                  TStrings& Linhas) override;

  // ----- Check and clock -----

  /// The bank's layout comes from "prgbco.txt" beside the executable, or
  /// from the built-in table when that file does not exist.
  void ImprimeCheque(const std::string& Banco, double Valor, const std::string& Favorecido,
                     const std::string& Cidade, TDateTime Data,
                     const std::string& Observacao = "") override;
  void CancelaImpressaoCheque() override;
  /// Leaves daylight saving time only from 23:00, enters it not before 01:00.
  void MudaHorarioVerao() override;
  void MudaHorarioVerao(bool EHorarioVerao) override;

  // ----- Fields -----

  int Sequencia() const { return fSequencia; }
  /// First byte of the last answer (EOT, ACK, BS), 0 before one.
  char UltimoCodigo() const { return fUltimoCodigo; }
  /// The receipt's adjustment waiting for the first payment (negative: a
  /// discount).
  double DescontoAcrescimo() const { return fDescontoAcrescimo; }
  double TotalAcumulado() const { return fTotalAcumulado; }
  /// The records of the open receipt's items, item number - 1.
  const std::vector<std::string>& Itens() const { return fItens; }
  /// The receipt-state file; "" until Ativar.
  const std::string& ArquivoEstado() const { return fArquivoEstado; }

 protected:
  // ----- The command cycle (EnviaComando runs it with these hooks) -----

  /// Takes the next sequence number; the status request "R" is never
  /// retried.
  std::string MontaQuadro(const std::string& Cmd) override;
  /// A printer that holds CTS low gets RTS dropped.
  void AposTransmitir() override;
  /// EOT CR; after ACK CR asks the status and waits for it; otherwise waits
  /// for the block that carries SUB. Each complete block is acknowledged
  /// with EOT once.
  bool VerificaFimLeitura(const std::string& Retorno) override;
  /// Asks the status: a printer busy printing does not answer it.
  bool VerificaFimImpressao() override;
  /// The data and the error character (status of an ACK, letter and check
  /// bytes of a BS answer).
  TRespostaECF DecodificaResposta(const std::string& Resposta) override;
  void ReiniciaComando() override;

 private:
  std::string ProximoQuadro(const std::string& Cmd);
  void PedeStatus();
  std::string EnviaImpressao(const std::string& Cmd, int Segundos);
  bool Versao03();
  bool Versao05();
  std::string CodigoAliquota(const std::string& AliquotaICMS);
  std::string IndiceUnidade(const std::string& Unidade);
  const std::vector<std::string>& Bancos();

  // The receipt state and its file.
  std::string NomeArquivoEstado();
  void GravaEstadoCupom();
  void GravaItem(int Indice);
  void LimpaEstadoCupom();
  void CarregaEstadoCupom();
  void ReiniciaEstadoCupom();

  int fSequencia = 0;
  char fUltimoCodigo = 0;
  char fLetra = 0;               // letter of the command in progress
  size_t fBlocosConfirmados = 0;  // blocks of this answer acknowledged with EOT
  bool fStatusPedido = false;    // the status after ACK was asked
  bool fRestauraReTentar = false;
  bool fReTentarGuardado = true;

  std::string fNumVersaoCache;
  std::string fNumSerieCache;
  std::string fNumECFCache;
  std::vector<std::string> fBancos;
  bool fBancosCarregados = false;

  double fDescontoAcrescimo = 0;
  double fTotalPago = 0;
  std::vector<std::string> fItens;
  double fTotalAcumulado = 0;
  bool fCupomPendente = false;  // AbreCupom called, first item not sold yet
  std::string fArquivoEstado;
};

}  // namespace zuvo
