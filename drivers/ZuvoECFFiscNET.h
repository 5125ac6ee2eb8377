// TZuvoECFFiscNET: printers that speak FiscNET, a text protocol of named
// commands with named, typed parameters.
//
//   command  {seq;Nome;Param1=valor Param2="texto";tamanho}
//   answer   {seq;CodRetorno;Nome1=valor Nome2="texto";tamanho}
//
// tamanho is the number of characters before the last ';'. Real printers
// answer with seq 0 and leave tamanho empty ({0;0;...;}); both forms are
// read. The printer keeps all fiscal state itself: every operation is one or
// two commands, and the printer names its own errors (NomeErro and
// Circunstancia in a refused command's answer).
//
// Texts travel in the printer's code page (CP850); the driver converts them
// from and to Windows-1252 unless ConvertePaginaCodigo is switched off.
#pragma once

#include <cstdint>
#include <string>

#include "ecf/ZuvoECFClass.h"

namespace zuvo {

/// Windows-1252 text in the printer's code page (CP850). A character CP850
/// lacks becomes '?'.
std::string Win1252ParaCP850(const std::string& Texto);
/// CP850 text from the printer in Windows-1252. A character Windows-1252
/// lacks (box drawing, for instance) becomes '?'.
std::string CP850ParaWin1252(const std::string& Texto);

/// One FiscNET command: its name, its parameters in the order added, its
/// sequence number and the extra seconds it may take.
class TZuvoECFFiscNETComando {
 public:
  /// Starts a new command: advances the sequence (250 wraps to 1), clears
  /// the parameters and the extra time-out. The name is trimmed.
  void SetComando(const std::string& Nome);
  const std::string& Comando() const { return fComando; }
  int Sequencia() const { return fSequencia; }
  int TimeOut() const { return fTimeOut; }
  void SetTimeOut(int Segundos) { fTimeOut = Segundos; }
  const TStrings& Params() const { return fParams; }

  /// Name="value", trimmed on the right, with \\, \" and \xHH escapes for
  /// bytes below 32 or above 127. An empty text adds nothing.
  void AddParamString(const std::string& Nome, const std::string& Valor);
  /// Name=value rounded to 4 decimals, decimal comma ("12,5").
  void AddParamDouble(const std::string& Nome, double Valor);
  void AddParamInteger(const std::string& Nome, int64_t Valor);
  /// Name=t or Name=f.
  void AddParamBool(const std::string& Nome, bool Valor);
  /// Name=#dd/mm/yyyy#.
  void AddParamDate(const std::string& Nome, TDateTime Valor);
  /// Name=#hh:nn:ss#.
  void AddParamTime(const std::string& Nome, TDateTime Valor);
  /// A parameter already written as Name=value (raw commands).
  void AddParamBruto(const std::string& Parametro);

  /// The frame: {seq;Nome;params;tamanho}.
  std::string Quadro() const;

  /// The text form of a parameter value: \\, \" and \xHH escapes.
  static std::string Escapa(const std::string& Texto);

 private:
  std::string fComando;
  TStrings fParams;
  int fSequencia = 0;
  int fTimeOut = 0;
};

/// A FiscNET answer split into its sequence, return code and values.
class TZuvoECFFiscNETResposta {
 public:
  /// Parses Resposta. An empty text leaves everything clear. A sequence or
  /// return code that is not a number raises Exception
  /// ("Num.Identificação inválido", "Cod.Retorno inválido").
  void SetResposta(const std::string& Resposta);
  void Limpa();

  const std::string& Resposta() const { return fResposta; }
  const TStrings& Params() const { return fParams; }
  int Sequencia() const { return fSequencia; }
  int CodRetorno() const { return fCodRetorno; }
  int Tamanho() const { return fTamanho; }
  /// The value named Nome (ASCII case ignored), "" when absent.
  std::string Valor(const std::string& Nome) const;
  /// True when the answer carries a value named Nome.
  bool Tem(const std::string& Nome) const;

  /// One left-to-right pass over a delimited value: \\ is a backslash, \"
  /// a double quote, \xHH the byte it names (an unreadable pair becomes a
  /// blank); any other backslash is kept as it is.
  static std::string DesEscapa(const std::string& Texto);

 private:
  void LeValores(const std::string& Valores);

  std::string fResposta;
  TStrings fParams;
  int fSequencia = 0;
  int fCodRetorno = 0;
  int fTamanho = 0;
};

class TZuvoECFFiscNET : public TZuvoECFClass {
 public:
  /// Forces RTS/CTS, 115200 baud, even parity; model "FiscNET", 48
  /// columns, thermal printer with fiscal tape memory.
  TZuvoECFFiscNET(TZuvoDevice& Device, TZuvoECFConfig& Config);

  // EnviaComando(Cmd): Cmd empty sends the command prepared in Comando();
  // otherwise Cmd is a raw command: the name up to the first ';', then one
  // parameter per line. Returns the raw answer. A refused command raises
  // EZuvoECFSemResposta with the printer's NomeErro and Circunstancia.

  TZuvoECFFiscNETComando& Comando() { return fComando; }
  const TZuvoECFFiscNETResposta& Resposta() const { return fResposta; }
  /// Convert texts between Windows-1252 and the printer's CP850 (default).
  bool ConvertePaginaCodigo() const { return fConvertePaginaCodigo; }
  void SetConvertePaginaCodigo(bool V) { fConvertePaginaCodigo = V; }

  void Ativar() override;
  TDateTime DataHora() override;
  std::string NumCupom() override;
  std::string NumCRO() override;
  std::string NumLoja() override;
  std::string NumECF() override;
  std::string NumSerie() override;
  std::string NumVersao() override;
  double SubTotal() override;
  double TotalPago() override;
  TZuvoECFEstado Estado() override;
  bool GavetaAberta() override;
  bool PoucoPapel() override;
  bool HorarioVerao() override;
  bool ChequePronto() override;

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
  void AbreGaveta() override;
  void LeituraX() override;
  void ReducaoZ(TDateTime DataHora = 0) override;
  void MudaHorarioVerao() override;
  void MudaHorarioVerao(bool EHorarioVerao) override;
  void AbreRelatorioGerencial() override;
  void LinhaRelatorioGerencial(const std::string& Linha) override;
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor) override;
  void LinhaCupomVinculado(const std::string& Linha) override;
  void FechaRelatorio() override;
  void PulaLinhas(int NumLinhas = 0) override;
  void CancelaImpressaoCheque() override;
  void CorrigeEstadoErro() override;
  void FechaRelatorioRecarrega() override;
  void LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) override;
  void LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) override;
  void LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                  TStrings& Linhas) override;
  void LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                  TStrings& Linhas) override;

  void CarregaAliquotas() override;
  void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "") override;
  void CarregaFormasPagamento() override;
  void ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado = true,
                              const std::string& Posicao = "") override;
  void CarregaComprovantesNaoFiscais() override;
  void ProgramaComprovanteNaoFiscal(std::string& Descricao, const std::string& Tipo = "",
                                    const std::string& Posicao = "") override;

 protected:
  // ----- The command cycle (EnviaComando runs it with these hooks) -----

  /// The frame of the prepared (or raw) command; its extra seconds become
  /// this command's time-out.
  std::string MontaQuadro(const std::string& Cmd) override;
  /// Ends with "}", holds at least three ';' outside quoted values, closes
  /// every quote, and its last field is empty or equals the number of
  /// characters before it.
  bool VerificaFimLeitura(const std::string& Retorno) override;
  bool RespostaAlheia(const std::string& Resposta) override;
  int SilencioRessincroniaMs() override;
  /// The last command was the printer's refusal (a table slot not programmed).
  bool SlotRecusado() const;
  bool fEcoaSequencia = false;  // the printer repeats the request's sequence number
  /// Parses the answer into Resposta(); a refused command's NomeErro and
  /// Circunstancia, or an unreadable answer, are the printer's error (LF LF
  /// after the model).
  TRespostaECF DecodificaResposta(const std::string& Resposta) override;

 private:
  // The protocol's small steps.
  void Prepara(const std::string& Nome, int TimeOutExtra = 0);
  void AddTexto(const std::string& Nome, const std::string& Valor);
  std::string ValorTexto(const std::string& Nome) const;
  std::string LeTexto(const std::string& NomeTexto);
  int64_t LeInteiro(const std::string& NomeInteiro);
  std::string LeInteiroTexto(const std::string& NomeInteiro);
  double LeMoeda(const std::string& NomeDadoMonetario);
  bool LeIndicador(const std::string& NomeIndicador);
  void AvisaPoucoPapel();
  void ImprimeTextoLivre(const std::string& Linha);
  void PreparaLeituraMF(int ReducaoInicial, int ReducaoFinal, const std::string& Destino);
  void PreparaLeituraMF(TDateTime DataInicial, TDateTime DataFinal, const std::string& Destino);
  void CapturaLeituraMF(TStrings& Linhas);

  TZuvoECFFiscNETComando fComando;
  TZuvoECFFiscNETResposta fResposta;
  bool fConvertePaginaCodigo = true;
  std::string fNumVersao;
  std::string fNumECF;
  std::string fNumLoja;
};

}  // namespace zuvo
