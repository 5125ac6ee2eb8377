// TZuvoECFNaoFiscal: a fiscal-printer emulator on a plain text printer.
//
// A real ECF keeps its counters and totals in its own memory; here the driver
// keeps them, in memory and in a state file beside the executable
// ("ZuvoECF" + machine number + ".INI"), and the printer only receives text
// lines framed by a few control strings. There is no answer to read.
//
// The state file is the emulator's fiscal memory: it is always replaced
// atomically (temporary file, flush, rename), so a crash leaves either the
// state before an operation or the state after it.
//
// What is on paper must be what the state says, whatever instant the program
// is killed at. So an operation that prints saves first, in one atomic write
// of the buffer file (".BUF"), the text it is about to print together with
// the state file it leads to: that is the journal. Then the state file is
// written (before printing, so a save that fails leaves nothing printed),
// the text printed, and the buffer file emptied (the journal is done). An
// activation that finds a journal not done applies its state and prints what
// of its text did not reach the paper: a text-file paper is read back to
// know; any other printer gets the whole text again.
//
// Every operation that changes the state takes a snapshot first; when a later
// step (saving, printing) fails, memory and file go back to the snapshot and
// the error reaches the caller.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ecf/ZuvoECFClass.h"

namespace zuvo {

// ----- Records of the emulator's memory -----

struct TZuvoECFNaoFiscalAliquota {
  double Aliquota = 0;  // the rate, e.g. 18
  bool ISS = false;     // service tax ("S"); otherwise ICMS ("T")
  double TotalDia = 0;
  std::string Descricao;
};

struct TZuvoECFNaoFiscalFormaPagamento {
  std::string Descricao;
  double TotalDia = 0;
  std::string Indice;  // 2 digits
};

struct TZuvoECFNaoFiscalComprovanteNaoFiscal {
  std::string Descricao;
  double TotalDia = 0;
  std::string Indice;  // 2 digits
};

struct TZuvoECFNaoFiscalItemCupom {
  std::string Descricao;
  double ValorUnit = 0;
  double Qtd = 0;  // 0 once cancelled
  int PosAliq = 0;
  std::string Codigo;
  /// The item's value after its own discount and its share of the receipt's
  /// discount or surcharge: what it added to its rate's day total.
  double BaseICMS = 0;
};

struct TZuvoECFNaoFiscalPagamentoCupom {
  double ValorPago = 0;  // negative for the change given back
  int PosFPG = 0;
};

/// Everything an operation may change, copied whole for the snapshot.
struct TZuvoECFNaoFiscalMemoria {
  bool HorarioVerao = false;
  TDateTime DiaMovimento = 0;
  TZuvoECFEstado Estado = estNaoInicializada;
  int ReducoesZ = 0;
  int LeiturasX = 0;
  int CuponsCancelados = 0;
  int COOInicial = 0;
  int COOFinal = 0;
  int NumCupom = 0;
  double SubTotal = 0;
  double TotalPago = 0;
  std::vector<TZuvoECFNaoFiscalAliquota> Aliquotas;
  std::vector<TZuvoECFNaoFiscalFormaPagamento> FormasPagamento;
  std::vector<TZuvoECFNaoFiscalComprovanteNaoFiscal> ComprovantesNaoFiscais;
  std::vector<TZuvoECFNaoFiscalItemCupom> ItensCupom;
  std::vector<TZuvoECFNaoFiscalPagamentoCupom> PagamentosCupom;
};

/// What a run that was interrupted left in the buffer file.
struct TZuvoECFNaoFiscalDiario {
  std::string Texto;   // to print
  std::string Estado;  // the state file it leads to ("" in a file of plain lines)
  int64_t Papel = -1;  // size of the text-file paper before printing; -1 unknown
};

/// The lines of the document being composed, and the buffer file that keeps
/// them with the state they lead to (the journal) until they are printed.
///
/// The file is empty when no document is pending. A journal is a header
/// line, "#DIARIO" and three numbers (the text's size, the state's size,
/// the paper position), then the text to print and the state file's text.
/// A file without the header, as older versions left it, holds lines to
/// print only.
class TZuvoECFNaoFiscalBuffer {
 public:
  void SetArquivo(const std::string& Caminho) { fArquivo = Caminho; }
  const std::string& Arquivo() const { return fArquivo; }
  TStrings& Linhas() { return fLinhas; }
  /// What the file holds; nothing when it is absent. A journal whose sizes
  /// do not match the file raises "Arquivo <name> inválido".
  TZuvoECFNaoFiscalDiario Le() const;
  /// Empties the lines and marks the journal done: the file is replaced by
  /// an empty one (created when absent) unless it is empty already.
  void Zera();
  /// Saves the lines with Estado and Papel as the journal (replaced
  /// atomically).
  void Grava(const std::string& Estado, int64_t Papel);
  /// The lines, each followed by CR LF.
  std::string Texto() const { return JoinLines(fLinhas); }

 private:
  std::string fArquivo;
  TStrings fLinhas;
};

class TZuvoECFNaoFiscal : public TZuvoECFClass {
 public:
  /// Limits of the positions kept in the state file: 3-digit items, 2-digit
  /// lists (the codes of payment methods and receipt types are count + 1).
  static constexpr int kMaxItens = 999;
  static constexpr int kMaxLista = 99;
  // What the fields of a fiscal printer hold: quantity 9999,999; unit price
  // 999.999,999; amounts (subtotal, payments, surcharges) 99.999.999.999,99.
  static constexpr double kMaxQtd = 9999.999;
  static constexpr double kMaxPreco = 999999.999;
  static constexpr double kMaxValor = 99999999999.99;

  TZuvoECFNaoFiscal(TZuvoDevice& Device, TZuvoECFConfig& Config);
  ~TZuvoECFNaoFiscal() override;

  std::string NumCupom() override;
  std::string NumECF() override;
  std::string NumCRO() override;
  std::string NumSerie() override;
  std::string NumVersao() override;
  double SubTotal() override;
  double TotalPago() override;
  /// Derived from the stored state and the calendar: a later day than the
  /// day of business asks for a Z (or, after a Z, for an X). Inactive:
  /// estNaoInicializada, and nothing is touched.
  TZuvoECFEstado Estado() override;
  bool HorarioVerao() override;
  bool Arredonda() override { return true; }

  /// Removes the temporary files of an interrupted save, opens the port,
  /// applies the state of a journal left unfinished, loads (or, after the
  /// legal warning, creates) the state file, initialises the printer and
  /// prints what of that journal's text is not on paper yet. Any error
  /// leaves the driver inactive.
  void Ativar() override;
  void Desativar() override;

  using TZuvoECFClass::EnviaComando;
  /// Sends Cmd to the printer unchanged and returns it.
  std::string EnviaComando(const std::string& Cmd) override;

  void AbreGaveta() override;
  void MudaHorarioVerao() override;
  void MudaHorarioVerao(bool EHorarioVerao) override;

  void AbreCupom(const std::string& CPF_CNPJ = "") override;
  void VendeItem(const std::string& Codigo, const std::string& Descricao,
                 const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                 double DescontoPorc = 0, const std::string& Unidade = "") override;
  void CancelaItemVendido(int NumItem) override;
  void SubtotalizaCupom(double DescontoAcrescimo = 0,
                        const std::string& MensagemRodape = "") override;
  void EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                       const std::string& Observacao = "", bool ImprimeVinculado = false) override;
  void FechaCupom(const std::string& Observacao = "") override;
  /// Cancels the open receipt, or the last one when it is already closed
  /// (printing a cancellation document with the next COO).
  void CancelaCupom() override;

  void LeituraX() override;
  /// The date-time argument is ignored: the emulator's clock is the system's.
  void ReducaoZ(TDateTime DataHora = 0) override;

  void AbreRelatorioGerencial() override;
  void LinhaRelatorioGerencial(const std::string& Linha) override;
  void AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                          const std::string& CodComprovanteNaoFiscal, double Valor) override;
  void LinhaCupomVinculado(const std::string& Linha) override;
  void FechaRelatorio() override;

  void CarregaAliquotas() override;
  /// Looking up a rate that is not programmed programs it.
  TZuvoECFAliquota* AchaICMSAliquota(double Aliquota, char Tipo = ' ') override;
  void ProgramaAliquota(double Aliquota, char Tipo = 'T', const std::string& Posicao = "") override;
  void CarregaFormasPagamento() override;
  TZuvoECFFormaPagamento* AchaFPGDescricao(const std::string& Descricao) override;
  void ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado = true,
                              const std::string& Posicao = "") override;
  void CarregaComprovantesNaoFiscais() override;
  TZuvoECFComprovanteNaoFiscal* AchaCNFDescricao(const std::string& Descricao) override;
  void ProgramaComprovanteNaoFiscal(std::string& Descricao, const std::string& Tipo = "",
                                    const std::string& Posicao = "") override;

  // ----- The emulator's settings, read from the state file -----

  const TStrings& Cabecalho() const { return fCabecalho; }
  const TStrings& Cabecalho_Item() const { return fCabecalho_Item; }
  const std::string& MascaraItem() const { return fMascaraItem; }
  const std::string& Comando_Abrir_Gaveta() const { return fComando_Abrir_Gaveta; }
  const std::string& Comando_Incializacao() const { return fComando_Incializacao; }
  const std::string& Comando_Ativar_Condensado() const { return fComando_Ativar_Condensado; }
  const std::string& Comando_Expandido_uma_Linha() const { return fComando_Expandido_uma_Linha; }
  int CRO() const { return fCRO; }
  /// The emulator's memory (counters, totals, the last receipt).
  const TZuvoECFNaoFiscalMemoria& Memoria() const { return fMem; }
  /// Full path of the state file (empty until activation).
  const std::string& ArquivoEstado() const { return fArqINI; }
  /// Full path of the print buffer file.
  const std::string& ArquivoBuffer() const { return fBuffer.Arquivo(); }

  /// Called between the steps of writing a document: "GravaBuffer" (the
  /// journal is saved), "GravaArqINI" (the state file too) and "Imprime"
  /// (the text is printed, the journal not yet done), so a test can stop
  /// the program at those moments.
  std::function<void(const std::string& Passo)> OnPasso;

 private:
  // ----- Printing -----
  void EnviaTexto(const std::string& Texto);
  void ZeraBuffer() { fBuffer.Zera(); }
  /// Saves the document in the buffer with the state in memory as the
  /// journal, writes the state file, prints and marks the journal done.
  /// Called after GuardaEstado and the changes; a failure before the text is
  /// out puts memory and file back to the snapshot and raises.
  void GravaEImprime();
  /// Back to the snapshot after GravaEImprime failed; EstadoGravado: the
  /// state file already holds the new state.
  void DesfazDocumento(bool EstadoGravado);
  /// Where the text-file paper ends now (-1: not a text file).
  int64_t PosicaoPapel();
  /// How much of the journal's text an interrupted run already printed.
  size_t JaImpresso(const TZuvoECFNaoFiscalDiario& Diario);
  void Adiciona(const std::string& Linha) { fBuffer.Linhas().push_back(Linha); }
  /// Adds Texto cut into pieces of the column count.
  void AdicionaEmPedacos(const std::string& Texto);

  // ----- Layout -----
  int LarguraTitulo() const;
  std::string LinhaTitulo(const std::string& Texto) const;
  std::string Regua(char Caractere = '-') const;
  std::string Justificada(const std::string& Texto) const;
  std::string Centralizada(const std::string& Texto, char Caractere = ' ') const;
  TStrings CabecalhoDocumento() const;
  void AddRodape();
  void AddTotaisDia();
  static std::string PreencheMascara(const std::string& Mascara, const std::string& Linha,
                                     char Letra, const std::string& Valor);

  // ----- State -----
  void ExigeAtivo() const;
  void GuardaEstado() { fSnapshot = fMem; }
  void RestauraEstado() { fMem = fSnapshot; }
  void LimpaCupom();
  /// The state file's text for the state in memory.
  std::string TextoArqINI();
  void GravaArqINI();
  void CarregaArqINI();
  void CriaArqINI();
  void AvisoLegal();
  void DescartaListasComponente();
  void Passo(const std::string& Nome);

  /// Starts a document whose body is in the buffer, after GuardaEstado and
  /// the changes: checks the clock and the printer, takes the next COO,
  /// prints the header and the body. On failure memory and file go back.
  void AbreDocumento(bool NovoDia);

  int PosicaoFPG(const std::string& Codigo) const;
  int PosicaoAliquota(char Tipo, double Valor) const;
  /// The rate position of a VendeItem rate text; Texto is normalised.
  int PosicaoDaAliquota(std::string& Texto);

  TZuvoECFNaoFiscalMemoria fMem;
  TZuvoECFNaoFiscalMemoria fSnapshot;
  TZuvoECFNaoFiscalBuffer fBuffer;
  std::string fArqINI;
  std::string fNumSerie;
  std::string fNumECF;
  int fCRO = 1;
  TStrings fCabecalho;
  TStrings fCabecalho_Item;
  std::string fMascaraItem;
  std::string fComando_Abrir_Gaveta;
  std::string fComando_Incializacao;
  std::string fComando_Ativar_Condensado;
  std::string fComando_Expandido_uma_Linha;
};

}  // namespace zuvo
