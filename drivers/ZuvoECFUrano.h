// TZuvoECFUrano: Urano fiscal printers.
//
// A command is ESC "f" and an ASCII text: a numeric code, fixed-width fields
// and the trailer "XXXXX". The answer has no terminator: the driver states
// how many bytes each command answers. Except for the state query ("23")
// and the "27" queries, whose single byte is the answer itself, the first
// byte is a status code ("!" accepted) and the rest is data; the register
// reads ("24" + number) bring 21 bytes of data.
//
// The printer has no command to read its tax-rate table: it sells by the
// rate's slot ("T01", "T02", ...) or as F, I, N.
#pragma once

#include <string>
#include <vector>

#include "ecf/ZuvoECFClass.h"

namespace zuvo {

class TZuvoECFUrano : public TZuvoECFClass {
 public:
  TZuvoECFUrano(TZuvoDevice& Device, TZuvoECFConfig& Config);
  ~TZuvoECFUrano() override;

  // ----- The protocol, as small functions (public for the unit tests) -----

  /// ESC "f" + Cmd; an empty command stays empty.
  static std::string PreparaComando(const std::string& Cmd);
  /// True for the commands whose answer is one raw byte without a status:
  /// "23XXXXX" and the "27" queries.
  static bool RespostaBruta(const std::string& Cmd);
  /// The printer's message for a status byte; "" for "!" and for "W" (the
  /// paper is near its end: a notice, not an error); "Erro retornado pelo
  /// ECF: " + the byte's value for a code the printer does not list.
  static std::string MensagemErro(unsigned char Codigo);
  /// The rate code of the sale: F "16", I "17", N "18", "T" + slot in two
  /// digits ("T1" gives "01"; "T123" raises EZuvoECFCMDInvalido); "" for a
  /// rate given by its value.
  static std::string CodigoAliquota(const std::string& AliquotaICMS);
  /// Quantity, unit price and flag of the sale ("01").
  struct TCamposVenda {
    std::string Qtd, Preco, Flag;
  };
  /// A whole quantity in 7 digits with the price in cents (flag "0");
  /// otherwise, or for a price with a third decimal, "ddd,ddd" with the
  /// price in thousandths (flag "2"). A value that does not fit its field
  /// (a fractional quantity from 1000 up) raises EZuvoECFCMDInvalido.
  static TCamposVenda CamposVenda(double Qtd, double ValorUnitario);
  /// The "06" blocks of a text already cut into lines of Colunas: 10 lines
  /// each, padded to Colunas, the block filled with NUL (or cut) to 480.
  static std::vector<std::string> BlocosTexto(const std::string& Linhas, int Colunas);

  // ----- Operations -----

  TDateTime DataHora() override;
  std::string NumCupom() override;
  std::string NumECF() override;
  std::string NumCRO() override;
  std::string NumSerie() override;
  std::string NumVersao() override;
  double SubTotal() override;
  /// What the receipt's payments added up to (the printer does not say):
  /// kept by the driver from the accepted payments.
  double TotalPago() override;
  TZuvoECFEstado Estado() override;
  bool PoucoPapel() override;
  /// Only serial ports; the version must come back, else it deactivates.
  void Ativar() override;
  void CarregaFormasPagamento() override;
  /// The header is printed; the customer's id is kept for the close.
  void AbreCupom(const std::string& CPF_CNPJ = "") override;
  /// Sells by slot ("T01"), F, I or N; a rate by value needs the rate table,
  /// which this printer cannot give.
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
  void LeituraX() override;
  void ReducaoZ(TDateTime DataHora = 0) override;
  /// Nothing to send: the first line of text opens the report.
  void AbreRelatorioGerencial() override;
  void LinhaRelatorioGerencial(const std::string& Linha) override;
  /// Nothing to send (the payment asked for it); checks the method.
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor) override;
  void LinhaCupomVinculado(const std::string& Linha) override;
  /// Closes a managerial report or linked receipt when one is open.
  void FechaRelatorio() override;
  void PulaLinhas(int NumLinhas = 0) override;
  /// Only when the value differs from HorarioVerao (always false): the
  /// toggle itself is not available on this printer.
  void MudaHorarioVerao(bool EHorarioVerao) override;
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) override;
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) override;
  /// The report comes as a stream without an end mark: read until the line
  /// goes quiet after it started; nothing at all is an error.
  void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                  TStrings& Linhas) override;
  using TZuvoECFClass::LeituraMemoriaFiscalSerial;

  bool Suporta(TZuvoECFRecurso Recurso) override;
  void DefineTamanhoResposta(int Bytes) override;

 protected:
  // ----- The command cycle (EnviaComando runs it with these hooks) -----

  /// PreparaComando; no acknowledgement follows.
  std::string MontaQuadro(const std::string& Cmd) override;
  /// The expected length plus the status byte; a stream (expected length
  /// -1) once the line has been quiet after it started.
  bool VerificaFimLeitura(const std::string& Retorno) override;
  /// The status byte and the data after it; raw answers whole.
  TRespostaECF DecodificaResposta(const std::string& Resposta) override;
  /// Expected length back to 0 (the status byte alone).
  void ReiniciaComando() override;

 private:
  /// A register read: "24" + Numero, 21 bytes of data, trimmed.
  std::string Registro(const std::string& Numero);
  std::string Operador8();
  /// The rate's Indice from the table by value; without a table, an error
  /// that says this printer sells by slot.
  std::string AliquotaPorValor(const std::string& AliquotaICMS);
  /// Sends one text through "06" blocks.
  void ImprimeTexto(const std::string& Texto);

  int fBytesResp = 0;   // bytes of data the command answers; -1 a stream
  bool fBruta = false;  // the command being sent answers one raw byte
  std::string fNumVersaoCache;
  std::string fNumECFCache;
  std::string fNumCROCache;
  std::string fConsumidor;  // the customer's id given to AbreCupom
  double fTotalPago = 0;
};

}  // namespace zuvo
