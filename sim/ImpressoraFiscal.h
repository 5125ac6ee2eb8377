// The fiscal printer every family's simulator plays: its documents and their
// states, counters, totals in integer cents, tables, clock, fiscal day,
// fiscal memory and paper roll. A family's simulator owns one, turns the
// bytes of its protocol into calls on it and turns the ErroFiscal it answers
// into the family's own error bytes.
//
// Each operation checks what a real printer checks, in the order given at
// its declaration, and on an error changes nothing and prints nothing. It
// prints on the paper roll through the function given at construction (the
// simulator's Imprime). Not thread-safe: the simulator calls it with its
// Trava() held.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace zuvo::sim {

/// What an operation answered. A family maps each to its error bytes.
enum class ErroFiscal {
  Nenhum = 0,
  CupomAberto,           ///< a receipt is open and the operation needs none
  DocumentoAberto,       ///< a report, linked or non-fiscal document is open
  SemCupom,              ///< the operation needs an open receipt
  SemDocumento,          ///< needs an open managerial report or linked receipt
  ForaDaFase,            ///< the receipt is open in the other phase (sale / payment)
  RequerZ,               ///< the previous day's Z reduction is pending
  RequerX,               ///< the day's first X reading is pending
  Bloqueada,             ///< the day was closed by its Z reduction
  SemPapel,              ///< out of paper: nothing can be printed
  AliquotaInvalida,      ///< tax slot out of range or not programmed
  FormaInvalida,         ///< payment method out of range or not programmed
  TipoInvalido,          ///< non-fiscal type out of range or not programmed
  ItemInexistente,       ///< item number out of range or already cancelled
  ValorInvalido,         ///< a zero or negative amount, a discount beyond the value
  CupomVazio,            ///< nothing sold in the receipt
  PagamentoIncompleto,   ///< closing before the total was paid
  PagamentoCompleto,     ///< paying a receipt already paid in full
  CancelamentoInvalido,  ///< nothing the printer may cancel
  VinculadoInvalido,     ///< no paid receipt this linked receipt can refer to
  TabelaCheia,           ///< no free slot in the table
  JaProgramado,          ///< the description is in the table already
  SemCheque,             ///< no check in the check printer's slot
};

/// The document open on the printer.
enum class Documento { Nenhum, Cupom, NaoFiscal, Gerencial, Vinculado };

/// The tax code of an item that has no programmed rate (a programmed rate is
/// its slot in the table, from 0).
constexpr int kSubstituicao = -1;   ///< F
constexpr int kIsento = -2;         ///< I
constexpr int kNaoIncidencia = -3;  ///< N

struct AliquotaFiscal {
  int Valor = 0;  ///< hundredths of a percent (1800 = 18%); 0 is an empty slot
  bool ISS = false;
  std::string Descricao;
};

struct FormaPagamento {
  std::string Descricao;  ///< "" is an empty slot
  bool PermiteVinculado = true;
  std::string Detalhe;  ///< a longer description, for printers that keep one
};

struct TipoNaoFiscal {
  std::string Descricao;  ///< "" is an empty slot
  bool Entrada = true;    ///< money in (true) or out
};

/// An item as sold; VendeItem fills Valor.
struct ItemVendido {
  std::string Codigo, Descricao, Unidade;
  int Aliquota = 0;             ///< tax slot from 0, or kSubstituicao, kIsento, kNaoIncidencia
  int64_t QtdMil = 0;           ///< quantity in thousandths
  int64_t PrecoMil = 0;         ///< unit price in thousandths of a real
  int DescontoPercentual = 0;   ///< hundredths of a percent, taken off Valor
  int64_t Acrescimo = 0;        ///< cents; negative a discount
  int64_t Valor = 0;            ///< cents: quantity x price, rounded or truncated
  bool Cancelado = false;
  int64_t Liquido() const { return Valor + Acrescimo; }
};

struct Pagamento {
  int Forma = 0;  ///< slot from 0
  int64_t Valor = 0;
};

/// One Z reduction in the fiscal memory.
struct RegistroZ {
  int CRZ = 0, COO = 0, CRO = 0;
  long Dia = 0;  ///< the fiscal day, in days since 1970-01-01
  int64_t VendaBruta = 0, GT = 0;
};

struct Contadores {
  int COO = 0;  ///< every document
  int CRO = 1;  ///< restarts of operation
  int CRZ = 0;  ///< Z reductions
  int GNF = 0;  ///< non-fiscal documents (reports, linked and non-fiscal receipts)
  int CCF = 0;  ///< fiscal receipts
  int GRG = 0;  ///< managerial reports
  int CDC = 0;  ///< linked receipts
};

/// The day's totals, in cents, until the Z reduction.
struct TotaisDia {
  int64_t VendaBruta = 0, Cancelamentos = 0, Descontos = 0, Acrescimos = 0;
  std::vector<int64_t> PorAliquota;  ///< per tax slot
  int64_t Substituicao = 0, Isento = 0, NaoIncidencia = 0;
  std::vector<int64_t> PorForma;      ///< per payment slot (change taken off slot 0, cash)
  std::vector<int64_t> PorNaoFiscal;  ///< per non-fiscal type
};

/// What sets one printer apart: its identification, paper width, table
/// sizes and the few rules that differ between models.
struct ModeloImpressora {
  std::string Modelo = "ZUVO ECF";  ///< the model line of a receipt's footer
  std::string Versao = "01.00.00";
  std::string NumSerie = "ZU0000000000001";
  int NumECF = 1, NumLoja = 1;
  int Colunas = 48;
  int Aliquotas = 16, Formas = 16, NaoFiscais = 16;  ///< table slots
  /// Payments only after the subtotal (IniciaPagamento); otherwise the first
  /// payment starts the payment phase.
  bool PagaSoAposSubtotal = false;
  /// A receipt with nothing sold in it may be cancelled.
  bool CancelaCupomVazio = true;
};

class ImpressoraFiscal {
 public:
  using Impressao = std::function<void(const std::string& Linha)>;
  using Sensor = std::function<bool()>;

  /// Imprime puts a line on the paper roll; SemPapel tells whether the
  /// paper ran out (the fault the simulator injects). Starts with empty
  /// tables, counters as Contadores{} and the clock on the system's.
  ImpressoraFiscal(ModeloImpressora M, Impressao Imprime, Sensor SemPapel);

  const ModeloImpressora& Modelo() const { return fModelo; }

  // ----- State -----
  Documento DocumentoAberto() const { return fDoc; }
  /// A receipt (fiscal or non-fiscal) open in its payment phase.
  bool EmPagamento() const { return fEmPagamento; }
  bool CupomAberto() const { return fDoc == Documento::Cupom || fDoc == Documento::NaoFiscal; }
  const Contadores& ContadoresAtuais() const { return fContadores; }
  void SetContadores(const Contadores& C) { fContadores = C; }
  int COO() const { return fContadores.COO; }
  int CRO() const { return fContadores.CRO; }
  int CRZ() const { return fContadores.CRZ; }
  const TotaisDia& Totais() const { return fTotais; }
  int64_t GT() const { return fGT; }
  void SetGT(int64_t Centavos) { fGT = Centavos; }

  // ----- The open receipt (zeros when none) -----
  const std::vector<ItemVendido>& Itens() const { return fItens; }
  /// Items sold, net of their discounts, cancelled ones left out.
  int64_t TotalItens() const;
  /// TotalItens plus the subtotal's surcharge (minus its discount).
  int64_t TotalCupom() const { return TotalItens() + fAcrescimoSubtotal; }
  int64_t AcrescimoSubtotal() const { return fAcrescimoSubtotal; }
  int64_t TotalPago() const;
  /// What is still to pay (0 once paid).
  int64_t Saldo() const;
  /// The last closed receipt: its COO (0 when another document came after
  /// it), total and payments.
  int COOUltimoCupom() const { return fUltimoCOO; }
  int64_t TotalUltimoCupom() const { return fUltimoTotal; }
  const std::vector<Pagamento>& PagamentosUltimoCupom() const { return fUltimosPagamentos; }

  // ----- The clock and the fiscal day -----
  /// The printer's clock: the system's, moved by AvancaRelogio, an hour
  /// ahead in daylight saving time.
  std::time_t Agora() const;
  /// Today on the printer's clock, in days since 1970-01-01.
  long Hoje() const;
  /// "ddmmyyhhnnss"-style text of the clock; see TextoDia for the day fields,
  /// plus "hh", "nn", "ss".
  std::string DataHora(const std::string& Formato) const;
  void AvancaRelogio(int64_t Segundos) { fDesvioRelogio += Segundos; }
  /// Sets the clock to T (a printer whose clock is programmed).
  void SetRelogio(std::time_t T);
  /// Stops the system clock the printers of this process read at T (0: it
  /// runs again), so two runs of the same conversation get the same answers
  /// (a benchmark replaying one).
  static void ParaRelogioDoProcesso(std::time_t T);
  bool HorarioVerao() const { return fHorarioVerao; }
  /// Enters or leaves daylight saving time: CupomAberto, DocumentoAberto.
  ErroFiscal MudaHorarioVerao(bool Ativo);
  /// Items are rounded (true) or truncated (false) to the cent.
  bool Arredonda() const { return fArredonda; }
  void SetArredonda(bool V) { fArredonda = V; }
  /// The day's Z is pending: something was issued on an earlier day, or a
  /// test says so.
  bool RequerZ() const;
  /// The day was closed by its Z (until midnight), or a test says so.
  bool Bloqueada() const;
  /// The day's first X reading is pending (printers that require it).
  bool RequerX() const { return fRequerX; }
  /// The fiscal day of the first document since the last Z (days since
  /// 1970-01-01), -1 when none was issued.
  long DiaMovimento() const { return fDiaMovimento; }
  /// The fiscal day the last Z reduction closed (days since 1970-01-01), -1
  /// when none was issued since the simulator started.
  long DiaUltimaZ() const { return fDiaUltimaZ; }
  void SetRequerZ(bool V) { fForcaRequerZ = V; }
  void SetBloqueada(bool V) { fForcaBloqueada = V; }
  void SetRequerX(bool V) { fRequerX = V; }
  bool GavetaAberta() const { return fGaveta; }
  void SetGavetaAberta(bool V) { fGaveta = V; }
  bool ChequePresente() const { return fChequePresente; }
  void SetChequePresente(bool V) { fChequePresente = V; }

  // ----- The fiscal receipt -----
  /// CupomAberto, DocumentoAberto, Bloqueada, RequerZ, RequerX, SemPapel.
  ErroFiscal AbreCupom(const std::string& Consumidor = "");
  /// SemCupom, ForaDaFase, AliquotaInvalida, ValorInvalido, SemPapel.
  ErroFiscal VendeItem(ItemVendido It);
  /// Item N (from 1). SemCupom, ForaDaFase, ItemInexistente, SemPapel.
  ErroFiscal CancelaItem(int N);
  /// A surcharge (a discount when negative) on item N, replacing any
  /// earlier one; 0 takes it off. SemCupom, ForaDaFase, ItemInexistente,
  /// ValorInvalido.
  ErroFiscal AcresceItem(int N, int64_t Centavos);
  /// A surcharge (discount when negative) on the subtotal, replacing any
  /// earlier one. SemCupom, ForaDaFase, CupomVazio, ValorInvalido.
  ErroFiscal AcresceSubtotal(int64_t Centavos);
  /// Ends the sale: prints the subtotal and total and starts the payments.
  /// SemCupom, ForaDaFase, CupomVazio, SemPapel.
  ErroFiscal IniciaPagamento();
  /// Pays with method Forma (slot from 0), printing Texto under it.
  /// SemCupom, ForaDaFase (only when PagaSoAposSubtotal), the errors of
  /// IniciaPagamento, FormaInvalida, PagamentoCompleto, ValorInvalido, SemPapel.
  ErroFiscal Paga(int Forma, int64_t Centavos, const std::string& Texto = "");
  /// Prints the change and Mensagem (lines split at LF) and closes.
  /// SemCupom, CupomVazio, PagamentoIncompleto, SemPapel.
  ErroFiscal FechaCupom(const std::string& Mensagem = "");
  /// Cancels the open receipt, or else the last one if nothing came after
  /// it. DocumentoAberto, CancelamentoInvalido, SemPapel.
  ErroFiscal CancelaCupom();

  // ----- The non-fiscal receipt (payments and closing as a receipt's) -----
  /// CupomAberto, DocumentoAberto, Bloqueada, RequerZ, SemPapel.
  ErroFiscal AbreNaoFiscal(const std::string& Consumidor = "");
  /// An entry of type Tipo (slot from 0). SemCupom, ForaDaFase,
  /// TipoInvalido, ValorInvalido, SemPapel.
  ErroFiscal RegistraNaoFiscal(int Tipo, int64_t Centavos);

  // ----- Reports and non-fiscal documents -----
  /// CupomAberto, DocumentoAberto, SemPapel.
  ErroFiscal LeituraX();
  /// CupomAberto, DocumentoAberto, Bloqueada, SemPapel.
  ErroFiscal ReducaoZ();
  /// CupomAberto, DocumentoAberto, Bloqueada, RequerZ, SemPapel.
  ErroFiscal AbreGerencial(const std::string& Titulo = "RELATORIO GERENCIAL");
  /// A linked receipt for what the last receipt paid with Forma: Valor 0 is
  /// all of it, COO 0 the last receipt. CupomAberto, DocumentoAberto,
  /// FormaInvalida, VinculadoInvalido, ValorInvalido, SemPapel.
  ErroFiscal AbreVinculado(int Forma, int64_t Centavos = 0, int COO = 0, const std::string& Titulo = "");
  /// Text in the open report or linked receipt: lines end at LF (a CR before
  /// it is dropped), long lines wrap. CupomAberto, SemDocumento, SemPapel.
  ErroFiscal ImprimeTexto(const std::string& Texto);
  /// Closes the report or linked receipt. CupomAberto, SemDocumento, SemPapel.
  ErroFiscal FechaRelatorio();

  // ----- Fiscal memory -----
  /// The reductions from De to Ate: days when PorData, else CRZ numbers.
  std::vector<RegistroZ> MemoriaFiscal(long De, long Ate, bool PorData) const;
  /// The reading as printed (and as streamed on the serial line).
  std::vector<std::string> TextoMemoriaFiscal(long De, long Ate, bool PorData) const;
  /// Prints the reading. CupomAberto, DocumentoAberto, SemPapel.
  ErroFiscal ImprimeMemoriaFiscal(long De, long Ate, bool PorData);
  /// A reduction issued before the simulator started (its history).
  void AdicionaRegistroZ(const RegistroZ& R) { fMemoria.push_back(R); }

  // ----- Tables -----
  const std::vector<AliquotaFiscal>& Aliquotas() const { return fAliquotas; }
  const std::vector<FormaPagamento>& Formas() const { return fFormas; }
  const std::vector<TipoNaoFiscal>& NaoFiscais() const { return fNaoFiscais; }
  /// What the shop programmed at installation (out-of-range slots ignored).
  void SetAliquota(int Slot, const AliquotaFiscal& A);
  void SetForma(int Slot, const FormaPagamento& F);
  void SetNaoFiscal(int Slot, const TipoNaoFiscal& T);
  /// Programs a rate in Slot (-1: the first free one, written back).
  /// CupomAberto, ValorInvalido, TabelaCheia.
  ErroFiscal ProgramaAliquota(const AliquotaFiscal& A, int& Slot);
  /// Programs a payment method in Slot (-1: the first free one, written
  /// back; a description already there answers JaProgramado with its slot).
  /// CupomAberto, ValorInvalido, JaProgramado, TabelaCheia.
  ErroFiscal ProgramaForma(const FormaPagamento& F, int& Slot);
  /// As ProgramaForma, for a non-fiscal type.
  ErroFiscal ProgramaNaoFiscal(const TipoNaoFiscal& T, int& Slot);
  /// The slot of a payment method by description (any case), -1 if none.
  int AchaForma(const std::string& Descricao) const;
  /// "T18,00%", "S05,00%", "F1", "I1", "N1": the tax code as printed.
  std::string SimboloAliquota(int Aliquota) const;

  // ----- Drawer and check printer -----
  void AbreGaveta() { fGaveta = true; }
  /// A check through the check printer; a note of it goes on the roll.
  /// SemCheque.
  ErroFiscal ImprimeCheque(int64_t Centavos, const std::string& Favorecido, const std::string& Cidade,
                           const std::string& Data, const std::string& Mensagem = "");

 private:
  ErroFiscal PodeAbrir(bool Fiscal) const;
  ErroFiscal PodeImprimir() const;
  ErroFiscal PodeVender() const;
  void IniciaDocumento(Documento D);
  void Linha(const std::string& Texto);
  /// Lines split at LF (a CR before it dropped), long ones wrapped.
  void Texto(const std::string& Texto);
  void Cabecalho(const std::string& Titulo);
  void LinhaValor(const std::string& Texto, int64_t Centavos);
  void ImprimeTotais(const std::string& Titulo);
  void ImprimeItem(const ItemVendido& It);
  void Totaliza();
  void LimpaCupom();
  bool DentroDe(int Slot, size_t Tamanho) const { return Slot >= 0 && static_cast<size_t>(Slot) < Tamanho; }

  ModeloImpressora fModelo;
  Impressao fImprime;
  Sensor fSemPapel;

  Documento fDoc = Documento::Nenhum;
  bool fEmPagamento = false;
  std::vector<ItemVendido> fItens;
  std::vector<Pagamento> fPagamentos;
  int64_t fAcrescimoSubtotal = 0;

  int fUltimoCOO = 0;
  int64_t fUltimoTotal = 0;
  std::vector<Pagamento> fUltimosPagamentos;

  Contadores fContadores;
  TotaisDia fTotais;
  int64_t fGT = 0;
  std::vector<RegistroZ> fMemoria;
  std::vector<AliquotaFiscal> fAliquotas;
  std::vector<FormaPagamento> fFormas;
  std::vector<TipoNaoFiscal> fNaoFiscais;

  int64_t fDesvioRelogio = 0;
  bool fHorarioVerao = false;
  bool fArredonda = false;
  long fDiaMovimento = -1;  // the fiscal day of the first document since the last Z
  long fDiaUltimaZ = -1;
  bool fForcaRequerZ = false, fForcaBloqueada = false, fRequerX = false;
  bool fGaveta = false, fChequePresente = true;
};

}  // namespace zuvo::sim
