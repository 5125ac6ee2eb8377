// TZuvoECFDaruma: Daruma fiscal printers.
//
// Three command sets share this driver and are told apart at activation:
//  - the FS345/FS315 family: ESC + command byte + ASCII fields + CR;
//  - the FS2000: the same framing with its own command bytes and an answer
//    that carries the error code at characters 3-4;
//  - the detail-memory printers (MFD): FS345 commands, plus register queries
//    and the item sale framed as FS + fields + an XOR check byte.
// Answers start with ":"; the status requests (GS) answer hexadecimal digits.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ecf/ZuvoECFClass.h"

namespace zuvo {

class TZuvoECFDaruma : public TZuvoECFClass {
 public:
  TZuvoECFDaruma(TZuvoDevice& Device, TZuvoECFConfig& Config);
  ~TZuvoECFDaruma() override;

  /// The cycle, sent again while the printer answers "busy" (E99 or E35,
  /// given by detail-memory printers while they compact their memory): at
  /// most kTentativasOcupada sends, all within the command's time-out.
  std::string EnviaComando(const std::string& Cmd) override;
  using TZuvoECFClass::EnviaComando;
  static constexpr int kTentativasOcupada = 5;
  /// Codes that mean "busy, send the same command again".
  static bool ErroOcupada(int Codigo) { return Codigo == 99 || Codigo == 35; }

  // ----- The protocol, as small functions (public for the unit tests) -----

  /// FS commands get the XOR of all their bytes; any other command gets CR.
  /// An empty command stays empty.
  static std::string PreparaComando(const std::string& Cmd);
  /// The error code of Resposta to the framed command Enviado. Status
  /// requests (GS) carry hexadecimal digits and no error field. Characters
  /// that are not digits where the code would be mean code 0.
  static int CodigoErro(const std::string& Resposta, const std::string& Enviado, bool FS2000);
  /// The printer's message for a code; "" for 0 and 21 (low paper is only a
  /// notice); "Erro retornado pelo ECF: NN" for an unlisted code.
  static std::string MensagemErro(int Codigo);
  /// The hexadecimal status digit at Posicao; -1 when absent or not a digit.
  static int DigitoHex(const std::string& Resposta, int Posicao);
  /// The quantity field of the FS345 sale: plain decimal text with ",",
  /// rounded to fit Tamanho characters, '0'-filled on the left. A quantity
  /// that does not fit raises EZuvoECFCMDInvalido.
  static std::string CampoQuantidade(double Qtd, int Tamanho);
  /// Trims codes 0-32 and the 255 fill from both ends.
  static std::string LimpaTexto(const std::string& Texto);

  /// How the tax-rate answer is laid out.
  enum TLayoutAliquotas { laFS345, laMFD, laFS2000 };
  /// The rates of an ESC 231 answer; "////" and zero slots are skipped.
  static std::vector<TZuvoECFAliquota> LeAliquotas(const std::string& Resposta,
                                                    TLayoutAliquotas Layout);

  /// The three tables of one answer.
  struct TTabelasDaruma {
    std::vector<TZuvoECFFormaPagamento> Formas;
    std::vector<TZuvoECFComprovanteNaoFiscal> Comprovantes;
    std::vector<TZuvoECFComprovanteNaoFiscal> Vinculados;
  };
  /// Length of the ESC 234 answer layout.
  static constexpr int TamanhoLayout234 = 1424;
  /// The ESC 234 layout: payment methods with two-digit indices.
  static TTabelasDaruma LeTabelas234(const std::string& Resposta);
  /// The ESC 238 (FS2000) layout: payment methods with letters.
  static TTabelasDaruma LeTabelas238(const std::string& Resposta);

  // ----- Operations -----

  TDateTime DataHora() override;
  std::string NumCupom() override;
  std::string NumECF() override;
  std::string NumCRO() override;
  std::string NumSerie() override;
  std::string NumVersao() override;
  double SubTotal() override;
  double TotalPago() override;
  TZuvoECFEstado Estado() override;
  bool GavetaAberta() override;
  bool PoucoPapel() override;
  bool HorarioVerao() override;
  bool Arredonda() override;
  /// Only serial ports. Identifies the command set; any failure deactivates.
  void Ativar() override;
  void CarregaAliquotas() override;
  void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "") override;
  /// Loads payment methods, non-fiscal types and linked types in one query.
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
  void CancelaCupom() override;
  void CancelaItemVendido(int NumItem) override;
  /// Never raises for printer errors.
  void AbreGaveta() override;
  void LeituraX() override;
  void ReducaoZ(TDateTime DataHora = 0) override;
  void AbreRelatorioGerencial() override;
  void LinhaRelatorioGerencial(const std::string& Linha) override;
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor) override;
  void LinhaCupomVinculado(const std::string& Linha) override;
  void FechaRelatorio() override;
  void ImprimeCheque(const std::string& Banco, double Valor, const std::string& Favorecido,
                     const std::string& Cidade, TDateTime Data,
                     const std::string& Observacao = "") override;
  void CancelaImpressaoCheque() override;
  void MudaHorarioVerao() override;
  void MudaHorarioVerao(bool EHorarioVerao) override;
  void MudaArredondamento(bool Arredondar) override;
  void FechaRelatorioRecarrega() override;
  void ImpactoAgulhas(int NivelForca = 2) override;
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) override;
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) override;
  void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                  TStrings& Linhas) override;
  void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                  TStrings& Linhas) override;

  // ----- State -----

  /// The amount still to pay after the last subtotal or payment.
  double SaldoPagamento() const { return fSaldoPagamento; }
  bool EmPagamento() const { return fEmPagamento; }
  const std::string& COOCache() const { return fCOOCache; }
  int DecimaisPrecoMFD() const { return fDecimaisPrecoMFD; }
  int DecimaisQtdMFD() const { return fDecimaisQtdMFD; }
  /// The linked non-fiscal receipt types (FS345 family and FS2000).
  TZuvoECFComprovantesNaoFiscais& ComprovantesVinculados();
  /// True on the FS2000 command set.
  bool FS2000() const { return fNumVersaoCache == "2000"; }

 protected:
  // ----- The command cycle (EnviaComando runs it with these hooks) -----

  /// PreparaComando; no acknowledgement follows.
  std::string MontaQuadro(const std::string& Cmd) override;
  /// Starts with ":" and ends with CR (FS commands: CR and the check byte).
  bool VerificaFimLeitura(const std::string& Retorno) override;
  /// Asks GS 255 (FS2000: GS 5) until its status digit says the printer is
  /// free.
  bool VerificaFimImpressao() override;
  /// The whole answer is the data; its error code is the printer's error
  /// (LF LF after the model), code 21 only the low-paper notice. Keeps the
  /// COO a register answer carries.
  TRespostaECF DecodificaResposta(const std::string& Resposta) override;

 private:
  /// The status digit at Posicao, or EZuvoECFSemResposta.
  int Digito(const std::string& Resposta, int Posicao);
  /// GS 255, or GS 5 on the FS2000.
  std::string Status();
  int VersaoNumero();
  void FimPagamento(const std::string& Resposta);
  void LimpaPagamento();
  void CarregaTabelas();
  TZuvoECFComprovanteNaoFiscal* AchaCNFVinculadoDescricao(const std::string& Descricao);
  TZuvoECFComprovanteNaoFiscal* AchaCNFVinculadoIndice(const std::string& Indice);
  void ImprimeLinhas(const std::string& Linha);
  void LeituraSerial(const std::string& Parametros, int Segundos, TStrings& Linhas);

  std::string fNumVersaoCache;
  std::string fNumECFCache;
  std::string fNumCROCache;
  std::string fCOOCache;
  char fArredondaCache = ' ';
  double fSaldoPagamento = 0;
  bool fEmPagamento = false;
  int fDecimaisPrecoMFD = -1;
  int fDecimaisQtdMFD = -1;
  bool fFormasDoisDigitos = false;  // the loaded payment methods carry "01".."16"
  std::unique_ptr<TZuvoECFComprovantesNaoFiscais> fComprovantesVinculados;
};

}  // namespace zuvo
