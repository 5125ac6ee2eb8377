#include "sim/ImpressoraFiscal.h"

#include <algorithm>

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {
// The shop whose receipts the simulators print.
const char* const kLoja[] = {"ZUVO COMERCIO DE ALIMENTOS LTDA", "RUA DAS PALMEIRAS, 100 - CENTRO"};
const char* const kInscricoes = "CNPJ:00.000.000/0001-91 IE:111.111.111.111";

// Splits at LF, dropping a CR before it; a text that ends with LF has no
// empty line after it.
std::vector<std::string> Linhas(const std::string& Texto) {
  std::vector<std::string> r;
  size_t inicio = 0;
  while (inicio < Texto.size()) {
    size_t fim = Texto.find('\n', inicio);
    std::string l = Texto.substr(inicio, fim == std::string::npos ? std::string::npos : fim - inicio);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    r.push_back(l);
    if (fim == std::string::npos) break;
    inicio = fim + 1;
  }
  return r;
}
}  // namespace

ImpressoraFiscal::ImpressoraFiscal(ModeloImpressora M, Impressao Imprime, Sensor SemPapel)
    : fModelo(std::move(M)), fImprime(std::move(Imprime)), fSemPapel(std::move(SemPapel)) {
  if (fModelo.Colunas <= 0) fModelo.Colunas = 48;
  fAliquotas.resize(static_cast<size_t>(std::max(fModelo.Aliquotas, 1)));
  fFormas.resize(static_cast<size_t>(std::max(fModelo.Formas, 1)));
  fNaoFiscais.resize(static_cast<size_t>(std::max(fModelo.NaoFiscais, 1)));
  fTotais.PorAliquota.assign(fAliquotas.size(), 0);
  fTotais.PorForma.assign(fFormas.size(), 0);
  fTotais.PorNaoFiscal.assign(fNaoFiscais.size(), 0);
}

// ---------------------------------------------------------------------------
// Checks shared by the operations.

ErroFiscal ImpressoraFiscal::PodeImprimir() const {
  return fSemPapel && fSemPapel() ? ErroFiscal::SemPapel : ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::PodeAbrir(bool Fiscal) const {
  if (CupomAberto()) return ErroFiscal::CupomAberto;
  if (fDoc != Documento::Nenhum) return ErroFiscal::DocumentoAberto;
  if (Bloqueada()) return ErroFiscal::Bloqueada;
  if (RequerZ()) return ErroFiscal::RequerZ;
  if (Fiscal && fRequerX) return ErroFiscal::RequerX;
  return PodeImprimir();
}

ErroFiscal ImpressoraFiscal::PodeVender() const {
  if (!CupomAberto()) return ErroFiscal::SemCupom;
  if (fEmPagamento) return ErroFiscal::ForaDaFase;
  return ErroFiscal::Nenhum;
}

void ImpressoraFiscal::IniciaDocumento(Documento D) {
  fContadores.COO++;
  if (fDiaMovimento < 0) fDiaMovimento = Hoje();
  // A document after a receipt ends what may still refer to that receipt.
  if (D != Documento::Vinculado) {
    fUltimoCOO = 0;
    fUltimosPagamentos.clear();
  }
  fDoc = D;
}

// ---------------------------------------------------------------------------
// The clock and the day.

namespace {
std::time_t gRelogioParado = 0;
std::time_t RelogioDoProcesso() { return gRelogioParado ? gRelogioParado : std::time(nullptr); }
}  // namespace

void ImpressoraFiscal::ParaRelogioDoProcesso(std::time_t T) { gRelogioParado = T; }

std::time_t ImpressoraFiscal::Agora() const {
  return RelogioDoProcesso() + static_cast<std::time_t>(fDesvioRelogio) + (fHorarioVerao ? 3600 : 0);
}

long ImpressoraFiscal::Hoje() const {
  const std::time_t t = Agora();
  std::tm tm{};
  ::localtime_r(&t, &tm);
  return DiaDe(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

std::string ImpressoraFiscal::DataHora(const std::string& Formato) const {
  const std::time_t t = Agora();
  std::tm tm{};
  ::localtime_r(&t, &tm);
  std::string f = Formato;
  auto troca = [&f](const std::string& De, int V) {
    const size_t p = f.find(De);
    if (p != std::string::npos) f.replace(p, De.size(), Zeros(V, 2));
  };
  troca("hh", tm.tm_hour);
  troca("nn", tm.tm_min);
  troca("ss", tm.tm_sec);
  return TextoDia(DiaDe(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday), f);
}

void ImpressoraFiscal::SetRelogio(std::time_t T) {
  fDesvioRelogio = static_cast<int64_t>(T - RelogioDoProcesso()) - (fHorarioVerao ? 3600 : 0);
}

ErroFiscal ImpressoraFiscal::MudaHorarioVerao(bool Ativo) {
  if (CupomAberto()) return ErroFiscal::CupomAberto;
  if (fDoc != Documento::Nenhum) return ErroFiscal::DocumentoAberto;
  fHorarioVerao = Ativo;
  return ErroFiscal::Nenhum;
}

bool ImpressoraFiscal::RequerZ() const {
  return fForcaRequerZ || (fDiaMovimento >= 0 && fDiaMovimento != Hoje());
}

bool ImpressoraFiscal::Bloqueada() const { return fForcaBloqueada || fDiaUltimaZ == Hoje(); }

// ---------------------------------------------------------------------------
// The receipt's sums.

int64_t ImpressoraFiscal::TotalItens() const {
  int64_t t = 0;
  for (const ItemVendido& it : fItens)
    if (!it.Cancelado) t += it.Liquido();
  return t;
}

int64_t ImpressoraFiscal::TotalPago() const {
  int64_t t = 0;
  for (const Pagamento& p : fPagamentos) t += p.Valor;
  return t;
}

int64_t ImpressoraFiscal::Saldo() const {
  if (!CupomAberto()) return 0;
  return std::max<int64_t>(0, TotalCupom() - TotalPago());
}

// ---------------------------------------------------------------------------
// The fiscal receipt.

ErroFiscal ImpressoraFiscal::AbreCupom(const std::string& Consumidor) {
  if (ErroFiscal e = PodeAbrir(true); e != ErroFiscal::Nenhum) return e;
  IniciaDocumento(Documento::Cupom);
  LimpaCupom();
  Cabecalho("CUPOM FISCAL");
  if (!Consumidor.empty()) Linha("CPF/CNPJ consumidor: " + Consumidor);
  Linha("ITEM CODIGO DESCRICAO");
  Linha("QTD.UN.VL UNIT(R$) ST VL ITEM(R$)");
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::VendeItem(ItemVendido It) {
  if (ErroFiscal e = PodeVender(); e != ErroFiscal::Nenhum) return e;
  if (fDoc != Documento::Cupom) return ErroFiscal::SemCupom;
  const bool especial = It.Aliquota == kSubstituicao || It.Aliquota == kIsento || It.Aliquota == kNaoIncidencia;
  if (!especial && (!DentroDe(It.Aliquota, fAliquotas.size()) || fAliquotas[static_cast<size_t>(It.Aliquota)].Valor == 0))
    return ErroFiscal::AliquotaInvalida;
  // Fields come from the line: bound them so that the product fits.
  const int64_t kLimite = 1000000000000LL;
  if (It.QtdMil <= 0 || It.PrecoMil <= 0 || It.QtdMil > kLimite / 1000 || It.PrecoMil > kLimite ||
      It.DescontoPercentual < 0 || It.DescontoPercentual > 10000 || It.Acrescimo > kLimite)
    return ErroFiscal::ValorInvalido;
  const __int128 bruto = static_cast<__int128>(It.QtdMil) * It.PrecoMil;  // millionths of a real
  const __int128 valor = fArredonda ? (bruto + 5000) / 10000 : bruto / 10000;
  if (valor > kLimite) return ErroFiscal::ValorInvalido;
  It.Valor = static_cast<int64_t>(valor);
  It.Acrescimo -= (It.Valor * It.DescontoPercentual + 5000) / 10000;
  if (It.Liquido() < 0) return ErroFiscal::ValorInvalido;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  It.Cancelado = false;
  fItens.push_back(It);
  ImprimeItem(fItens.back());
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::CancelaItem(int N) {
  if (ErroFiscal e = PodeVender(); e != ErroFiscal::Nenhum) return e;
  if (N < 1 || static_cast<size_t>(N) > fItens.size() || fItens[static_cast<size_t>(N - 1)].Cancelado)
    return ErroFiscal::ItemInexistente;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  ItemVendido& it = fItens[static_cast<size_t>(N - 1)];
  it.Cancelado = true;
  fTotais.Cancelamentos += it.Liquido();
  Linha("ITEM " + Zeros(N, 3) + " CANCELADO " + Dinheiro(-it.Liquido()));
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::AcresceItem(int N, int64_t Centavos) {
  if (ErroFiscal e = PodeVender(); e != ErroFiscal::Nenhum) return e;
  if (N < 1 || static_cast<size_t>(N) > fItens.size() || fItens[static_cast<size_t>(N - 1)].Cancelado)
    return ErroFiscal::ItemInexistente;
  ItemVendido& it = fItens[static_cast<size_t>(N - 1)];
  if (Centavos > 1000000000000LL || it.Valor + Centavos <= 0) return ErroFiscal::ValorInvalido;
  it.Acrescimo = Centavos;
  if (Centavos != 0) Linha(std::string(Centavos < 0 ? "    desconto item " : "    acrescimo item ") + Dinheiro(Centavos));
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::AcresceSubtotal(int64_t Centavos) {
  if (ErroFiscal e = PodeVender(); e != ErroFiscal::Nenhum) return e;
  if (TotalItens() <= 0) return ErroFiscal::CupomVazio;
  if (Centavos > 1000000000000LL || TotalItens() + Centavos <= 0) return ErroFiscal::ValorInvalido;
  fAcrescimoSubtotal = Centavos;
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::IniciaPagamento() {
  if (ErroFiscal e = PodeVender(); e != ErroFiscal::Nenhum) return e;
  if (TotalItens() <= 0) return ErroFiscal::CupomVazio;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  fEmPagamento = true;
  Linha("SUBTOTAL R$ " + Dinheiro(TotalItens()));
  if (fAcrescimoSubtotal > 0) Linha("ACRESCIMO R$ " + Dinheiro(fAcrescimoSubtotal));
  if (fAcrescimoSubtotal < 0) Linha("DESCONTO R$ " + Dinheiro(fAcrescimoSubtotal));
  Linha("TOTAL R$ " + Dinheiro(TotalCupom()));
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::Paga(int Forma, int64_t Centavos, const std::string& Texto) {
  if (!CupomAberto()) return ErroFiscal::SemCupom;
  if (!fEmPagamento && fModelo.PagaSoAposSubtotal) return ErroFiscal::ForaDaFase;
  if (!DentroDe(Forma, fFormas.size()) || fFormas[static_cast<size_t>(Forma)].Descricao.empty())
    return ErroFiscal::FormaInvalida;
  if (fEmPagamento && TotalPago() >= TotalCupom()) return ErroFiscal::PagamentoCompleto;
  if (Centavos <= 0 || Centavos > 1000000000000LL) return ErroFiscal::ValorInvalido;
  if (!fEmPagamento)
    if (ErroFiscal e = IniciaPagamento(); e != ErroFiscal::Nenhum) return e;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  fPagamentos.push_back({Forma, Centavos});
  LinhaValor(fFormas[static_cast<size_t>(Forma)].Descricao, Centavos);
  this->Texto(Texto);
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::FechaCupom(const std::string& Mensagem) {
  if (!CupomAberto()) return ErroFiscal::SemCupom;
  if (TotalItens() <= 0 && !fEmPagamento) return ErroFiscal::CupomVazio;
  if (!fEmPagamento || TotalPago() < TotalCupom()) return ErroFiscal::PagamentoIncompleto;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  const int64_t troco = TotalPago() - TotalCupom();
  if (troco > 0) Linha("TROCO R$ " + Dinheiro(troco));
  Texto(Mensagem);
  Linha(std::string(static_cast<size_t>(fModelo.Colunas), '-'));
  Linha(fModelo.Modelo + " ECF-IF");
  Linha("VERSAO:" + fModelo.Versao + " ECF:" + Zeros(fModelo.NumECF, 3) + " LJ:" + Zeros(fModelo.NumLoja, 4));
  Linha("FAB:" + Apara(fModelo.NumSerie));
  Totaliza();
  fUltimoCOO = fDoc == Documento::Cupom ? fContadores.COO : 0;
  fUltimoTotal = TotalCupom();
  fUltimosPagamentos = fPagamentos;
  fDoc = Documento::Nenhum;
  LimpaCupom();
  return ErroFiscal::Nenhum;
}

// What a closed receipt adds to the day.
void ImpressoraFiscal::Totaliza() {
  const bool fiscal = fDoc == Documento::Cupom;
  for (const ItemVendido& it : fItens) {
    if (it.Cancelado) continue;
    if (!fiscal) {
      fTotais.PorNaoFiscal[static_cast<size_t>(it.Aliquota)] += it.Liquido();
      continue;
    }
    fTotais.VendaBruta += it.Valor;
    if (it.Acrescimo < 0) fTotais.Descontos -= it.Acrescimo;
    else fTotais.Acrescimos += it.Acrescimo;
    if (it.Aliquota == kSubstituicao) fTotais.Substituicao += it.Liquido();
    else if (it.Aliquota == kIsento) fTotais.Isento += it.Liquido();
    else if (it.Aliquota == kNaoIncidencia) fTotais.NaoIncidencia += it.Liquido();
    else fTotais.PorAliquota[static_cast<size_t>(it.Aliquota)] += it.Liquido();
  }
  if (fiscal) {
    if (fAcrescimoSubtotal > 0) fTotais.Acrescimos += fAcrescimoSubtotal;
    else fTotais.Descontos -= fAcrescimoSubtotal;
    fGT += TotalCupom();
    fContadores.CCF++;
  }
  for (const Pagamento& p : fPagamentos) fTotais.PorForma[static_cast<size_t>(p.Forma)] += p.Valor;
  fTotais.PorForma[0] -= TotalPago() - TotalCupom();  // change is given in cash
}

void ImpressoraFiscal::LimpaCupom() {
  fItens.clear();
  fPagamentos.clear();
  fAcrescimoSubtotal = 0;
  fEmPagamento = false;
}

ErroFiscal ImpressoraFiscal::CancelaCupom() {
  if (CupomAberto()) {
    if (!fModelo.CancelaCupomVazio && !fEmPagamento && TotalItens() == 0) return ErroFiscal::CancelamentoInvalido;
    if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
    const int64_t valor = fEmPagamento ? TotalCupom() : TotalItens();
    fTotais.Cancelamentos += valor;
    Linha("*** CUPOM FISCAL CANCELADO ***");
    Linha("COO: " + Zeros(fContadores.COO, 6) + "  VALOR R$ " + Dinheiro(valor));
    fDoc = Documento::Nenhum;
    LimpaCupom();
    fUltimoCOO = 0;
    return ErroFiscal::Nenhum;
  }
  if (fDoc != Documento::Nenhum) return ErroFiscal::DocumentoAberto;
  if (fUltimoCOO == 0) return ErroFiscal::CancelamentoInvalido;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  // The last receipt, while nothing but its linked receipts came after it.
  const int coo = fUltimoCOO;
  const int64_t total = fUltimoTotal;
  fTotais.Cancelamentos += total;
  IniciaDocumento(Documento::Nenhum);
  Cabecalho("CANCELAMENTO DO CUPOM FISCAL");
  Linha("COO do cupom cancelado: " + Zeros(coo, 6));
  Linha("VALOR R$ " + Dinheiro(total));
  return ErroFiscal::Nenhum;
}

// ---------------------------------------------------------------------------
// The non-fiscal receipt.

ErroFiscal ImpressoraFiscal::AbreNaoFiscal(const std::string& Consumidor) {
  if (ErroFiscal e = PodeAbrir(false); e != ErroFiscal::Nenhum) return e;
  IniciaDocumento(Documento::NaoFiscal);
  fContadores.GNF++;
  LimpaCupom();
  Cabecalho("COMPROVANTE NAO-FISCAL");
  if (!Consumidor.empty()) Linha("CPF/CNPJ consumidor: " + Consumidor);
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::RegistraNaoFiscal(int Tipo, int64_t Centavos) {
  if (ErroFiscal e = PodeVender(); e != ErroFiscal::Nenhum) return e;
  if (fDoc != Documento::NaoFiscal) return ErroFiscal::SemCupom;
  if (!DentroDe(Tipo, fNaoFiscais.size()) || fNaoFiscais[static_cast<size_t>(Tipo)].Descricao.empty())
    return ErroFiscal::TipoInvalido;
  if (Centavos <= 0 || Centavos > 1000000000000LL) return ErroFiscal::ValorInvalido;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  ItemVendido it;
  it.Descricao = fNaoFiscais[static_cast<size_t>(Tipo)].Descricao;
  it.Aliquota = Tipo;
  it.QtdMil = 1000;
  it.PrecoMil = Centavos * 10;
  it.Valor = Centavos;
  fItens.push_back(it);
  LinhaValor(Zeros(static_cast<int64_t>(fItens.size()), 3) + " " + it.Descricao, Centavos);
  return ErroFiscal::Nenhum;
}

// ---------------------------------------------------------------------------
// Reports and non-fiscal documents.

ErroFiscal ImpressoraFiscal::LeituraX() {
  if (CupomAberto()) return ErroFiscal::CupomAberto;
  if (fDoc != Documento::Nenhum) return ErroFiscal::DocumentoAberto;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  IniciaDocumento(Documento::Nenhum);
  fRequerX = false;
  Cabecalho("LEITURA X");
  ImprimeTotais("LEITURA X");
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::ReducaoZ() {
  if (CupomAberto()) return ErroFiscal::CupomAberto;
  if (fDoc != Documento::Nenhum) return ErroFiscal::DocumentoAberto;
  if (Bloqueada()) return ErroFiscal::Bloqueada;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  const long dia = fDiaMovimento >= 0 ? fDiaMovimento : Hoje();
  IniciaDocumento(Documento::Nenhum);
  fContadores.CRZ++;
  Cabecalho("REDUCAO Z");
  ImprimeTotais("REDUCAO Z");
  fMemoria.push_back({fContadores.CRZ, fContadores.COO, fContadores.CRO, dia, fTotais.VendaBruta, fGT});
  fDiaUltimaZ = dia;
  fDiaMovimento = -1;
  fForcaRequerZ = false;
  TotaisDia zerados;
  zerados.PorAliquota.assign(fAliquotas.size(), 0);
  zerados.PorForma.assign(fFormas.size(), 0);
  zerados.PorNaoFiscal.assign(fNaoFiscais.size(), 0);
  fTotais = zerados;
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::AbreGerencial(const std::string& Titulo) {
  if (ErroFiscal e = PodeAbrir(false); e != ErroFiscal::Nenhum) return e;
  IniciaDocumento(Documento::Gerencial);
  fContadores.GNF++;
  fContadores.GRG++;
  Cabecalho(Titulo);
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::AbreVinculado(int Forma, int64_t Centavos, int COO, const std::string& Titulo) {
  if (CupomAberto()) return ErroFiscal::CupomAberto;
  if (fDoc != Documento::Nenhum) return ErroFiscal::DocumentoAberto;
  if (!DentroDe(Forma, fFormas.size()) || fFormas[static_cast<size_t>(Forma)].Descricao.empty())
    return ErroFiscal::FormaInvalida;
  int64_t pago = 0;
  for (const Pagamento& p : fUltimosPagamentos)
    if (p.Forma == Forma) pago += p.Valor;
  if (fUltimoCOO == 0 || (COO != 0 && COO != fUltimoCOO) || !fFormas[static_cast<size_t>(Forma)].PermiteVinculado ||
      pago == 0)
    return ErroFiscal::VinculadoInvalido;
  if (Centavos < 0 || Centavos > pago) return ErroFiscal::ValorInvalido;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  IniciaDocumento(Documento::Vinculado);
  fContadores.GNF++;
  fContadores.CDC++;
  Cabecalho(Titulo.empty() ? "COMPROVANTE CREDITO OU DEBITO" : Titulo);
  Linha("COO do documento vinculado: " + Zeros(fUltimoCOO, 6));
  Linha(fFormas[static_cast<size_t>(Forma)].Descricao + " R$ " + Dinheiro(Centavos ? Centavos : pago));
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::ImprimeTexto(const std::string& Texto) {
  if (CupomAberto()) return ErroFiscal::CupomAberto;
  if (fDoc != Documento::Gerencial && fDoc != Documento::Vinculado) return ErroFiscal::SemDocumento;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  this->Texto(Texto);
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::FechaRelatorio() {
  if (CupomAberto()) return ErroFiscal::CupomAberto;
  if (fDoc != Documento::Gerencial && fDoc != Documento::Vinculado) return ErroFiscal::SemDocumento;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  Linha(std::string(static_cast<size_t>(fModelo.Colunas), '-'));
  Linha("FAB:" + Apara(fModelo.NumSerie) + "  COO:" + Zeros(fContadores.COO, 6));
  fDoc = Documento::Nenhum;
  return ErroFiscal::Nenhum;
}

// ---------------------------------------------------------------------------
// Fiscal memory.

std::vector<RegistroZ> ImpressoraFiscal::MemoriaFiscal(long De, long Ate, bool PorData) const {
  std::vector<RegistroZ> r;
  for (const RegistroZ& z : fMemoria) {
    const long chave = PorData ? z.Dia : z.CRZ;
    if (chave >= De && chave <= Ate) r.push_back(z);
  }
  return r;
}

std::vector<std::string> ImpressoraFiscal::TextoMemoriaFiscal(long De, long Ate, bool PorData) const {
  std::vector<std::string> l{"LEITURA DA MEMORIA FISCAL"};
  l.push_back(PorData ? "PERIODO: " + TextoDia(De, "dd/mm/yyyy") + " A " + TextoDia(Ate, "dd/mm/yyyy")
                      : "REDUCOES: " + std::to_string(De) + " A " + std::to_string(Ate));
  int64_t total = 0;
  for (const RegistroZ& z : MemoriaFiscal(De, Ate, PorData)) {
    l.push_back("CRZ " + Zeros(z.CRZ, 4) + " " + TextoDia(z.Dia, "dd/mm/yyyy") + " " + DinheiroMilhar(z.VendaBruta));
    total += z.VendaBruta;
  }
  l.push_back("TOTAL DO PERIODO: " + DinheiroMilhar(total));
  return l;
}

ErroFiscal ImpressoraFiscal::ImprimeMemoriaFiscal(long De, long Ate, bool PorData) {
  if (CupomAberto()) return ErroFiscal::CupomAberto;
  if (fDoc != Documento::Nenhum) return ErroFiscal::DocumentoAberto;
  if (ErroFiscal e = PodeImprimir(); e != ErroFiscal::Nenhum) return e;
  const std::vector<std::string> linhas = TextoMemoriaFiscal(De, Ate, PorData);
  IniciaDocumento(Documento::Nenhum);
  Cabecalho(linhas[0]);
  for (size_t i = 1; i < linhas.size(); i++) Linha(linhas[i]);
  return ErroFiscal::Nenhum;
}

// ---------------------------------------------------------------------------
// Tables.

void ImpressoraFiscal::SetAliquota(int Slot, const AliquotaFiscal& A) {
  if (DentroDe(Slot, fAliquotas.size())) fAliquotas[static_cast<size_t>(Slot)] = A;
}

void ImpressoraFiscal::SetForma(int Slot, const FormaPagamento& F) {
  if (DentroDe(Slot, fFormas.size())) fFormas[static_cast<size_t>(Slot)] = F;
}

void ImpressoraFiscal::SetNaoFiscal(int Slot, const TipoNaoFiscal& T) {
  if (DentroDe(Slot, fNaoFiscais.size())) fNaoFiscais[static_cast<size_t>(Slot)] = T;
}

ErroFiscal ImpressoraFiscal::ProgramaAliquota(const AliquotaFiscal& A, int& Slot) {
  if (CupomAberto()) return ErroFiscal::CupomAberto;
  if (A.Valor <= 0 || A.Valor > 9999 || Slot < -1 || Slot >= static_cast<int>(fAliquotas.size()))
    return ErroFiscal::ValorInvalido;
  for (size_t i = 0; i < fAliquotas.size() && Slot < 0; i++)
    if (fAliquotas[i].Valor == 0) Slot = static_cast<int>(i);
  if (Slot < 0) return ErroFiscal::TabelaCheia;
  fAliquotas[static_cast<size_t>(Slot)] = A;
  return ErroFiscal::Nenhum;
}

// The first free slot of a table of descriptions, or the slot that already
// has Descricao (any case).
template <class T>
static ErroFiscal ProgramaDescricao(std::vector<T>& Tabela, const T& Novo, int& Slot) {
  if (Apara(Novo.Descricao).empty() || Slot < -1 || Slot >= static_cast<int>(Tabela.size()))
    return ErroFiscal::ValorInvalido;
  if (Slot < 0) {
    const std::string procura = Maiusculas(Apara(Novo.Descricao));
    for (size_t i = 0; i < Tabela.size(); i++)
      if (!Tabela[i].Descricao.empty() && Maiusculas(Apara(Tabela[i].Descricao)) == procura) {
        Slot = static_cast<int>(i);
        return ErroFiscal::JaProgramado;
      }
    for (size_t i = 0; i < Tabela.size() && Slot < 0; i++)
      if (Tabela[i].Descricao.empty()) Slot = static_cast<int>(i);
    if (Slot < 0) return ErroFiscal::TabelaCheia;
  }
  Tabela[static_cast<size_t>(Slot)] = Novo;
  return ErroFiscal::Nenhum;
}

ErroFiscal ImpressoraFiscal::ProgramaForma(const FormaPagamento& F, int& Slot) {
  // Naming a method that exists changes nothing, so a printer answers it
  // even during a receipt (how a till finds a method's code while paying).
  if (Slot < 0) {
    const int existente = AchaForma(F.Descricao);
    if (existente >= 0) {
      Slot = existente;
      return ErroFiscal::JaProgramado;
    }
  }
  if (CupomAberto()) return ErroFiscal::CupomAberto;
  return ProgramaDescricao(fFormas, F, Slot);
}

ErroFiscal ImpressoraFiscal::ProgramaNaoFiscal(const TipoNaoFiscal& T, int& Slot) {
  if (CupomAberto()) return ErroFiscal::CupomAberto;
  return ProgramaDescricao(fNaoFiscais, T, Slot);
}

int ImpressoraFiscal::AchaForma(const std::string& Descricao) const {
  const std::string procura = Maiusculas(Apara(Descricao));
  for (size_t i = 0; i < fFormas.size(); i++)
    if (!fFormas[i].Descricao.empty() && Maiusculas(Apara(fFormas[i].Descricao)) == procura)
      return static_cast<int>(i);
  return -1;
}

std::string ImpressoraFiscal::SimboloAliquota(int Aliquota) const {
  if (Aliquota == kSubstituicao) return "F1";
  if (Aliquota == kIsento) return "I1";
  if (Aliquota == kNaoIncidencia) return "N1";
  if (!DentroDe(Aliquota, fAliquotas.size())) return "";
  const AliquotaFiscal& a = fAliquotas[static_cast<size_t>(Aliquota)];
  return std::string(a.ISS ? "S" : "T") + Zeros(a.Valor / 100, 2) + "," + Zeros(a.Valor % 100, 2) + "%";
}

// ---------------------------------------------------------------------------
// The check printer.

ErroFiscal ImpressoraFiscal::ImprimeCheque(int64_t Centavos, const std::string& Favorecido,
                                           const std::string& Cidade, const std::string& Data,
                                           const std::string& Mensagem) {
  if (!fChequePresente) return ErroFiscal::SemCheque;
  if (Centavos <= 0) return ErroFiscal::ValorInvalido;
  // The check goes through the check printer; the roll keeps a note of it.
  fImprime("[CHEQUE] R$ " + Dinheiro(Centavos) + (Favorecido.empty() ? "" : " " + Favorecido));
  if (!Cidade.empty() || !Data.empty())
    fImprime("[CHEQUE] " + Cidade + ", " + Data + (Mensagem.empty() ? "" : " " + Mensagem));
  return ErroFiscal::Nenhum;
}

// ---------------------------------------------------------------------------
// Printing.

void ImpressoraFiscal::Linha(const std::string& Texto) {
  std::string t = Texto.substr(0, static_cast<size_t>(fModelo.Colunas));
  while (!t.empty() && t.back() == ' ') t.pop_back();
  fImprime(t);
}

void ImpressoraFiscal::Texto(const std::string& Texto) {
  const size_t col = static_cast<size_t>(fModelo.Colunas);
  for (const std::string& l : Linhas(Texto)) {
    if (l.empty()) Linha("");
    for (size_t i = 0; i < l.size(); i += col) Linha(l.substr(i, col));
  }
}

void ImpressoraFiscal::LinhaValor(const std::string& Texto, int64_t Centavos) {
  const std::string valor = Dinheiro(Centavos);
  const size_t col = static_cast<size_t>(fModelo.Colunas);
  Linha(Texto + std::string(col > Texto.size() + valor.size() ? col - Texto.size() - valor.size() : 1, ' ') + valor);
}

void ImpressoraFiscal::Cabecalho(const std::string& Titulo) {
  const size_t col = static_cast<size_t>(fModelo.Colunas);
  auto centro = [col](const std::string& s) {
    return s.size() >= col ? s : std::string((col - s.size()) / 2, ' ') + s;
  };
  for (const char* l : kLoja) Linha(centro(l));
  Linha(kInscricoes);
  Linha(std::string(col, '-'));
  Linha(DataHora("dd/mm/yyyy hh:nn:ss") + "   COO:" + Zeros(fContadores.COO, 6));
  Linha(centro(Titulo));
  Linha(std::string(col, '-'));
}

void ImpressoraFiscal::ImprimeItem(const ItemVendido& It) {
  const size_t col = static_cast<size_t>(fModelo.Colunas);
  const std::string titulo = Zeros(static_cast<int64_t>(fItens.size()), 3) + " " + It.Codigo + " " + It.Descricao;
  for (size_t i = 0; i < titulo.size(); i += col) Linha(titulo.substr(i, col));
  LinhaValor("    " + Quantidade(It.QtdMil) + It.Unidade + " x " + Dinheiro((It.PrecoMil + 5) / 10) + " " +
                 SimboloAliquota(It.Aliquota),
             It.Valor);
  if (It.Acrescimo < 0) Linha("    desconto item " + Dinheiro(It.Acrescimo));
  if (It.Acrescimo > 0) Linha("    acrescimo item " + Dinheiro(It.Acrescimo));
}

void ImpressoraFiscal::ImprimeTotais(const std::string& Titulo) {
  const Contadores& c = fContadores;
  Linha("CONTADORES");
  Linha("COO: " + Zeros(c.COO, 6) + "  CRZ: " + Zeros(c.CRZ, 4) + "  CRO: " + Zeros(c.CRO, 4));
  Linha("GNF: " + Zeros(c.GNF, 6) + "  CCF: " + Zeros(c.CCF, 6));
  Linha("TOTALIZADORES");
  Linha("VENDA BRUTA DIARIA: " + Dinheiro(fTotais.VendaBruta));
  Linha("GRANDE TOTAL: " + Dinheiro(fGT));
  Linha("CANCELAMENTOS: " + Dinheiro(fTotais.Cancelamentos));
  Linha("DESCONTOS: " + Dinheiro(fTotais.Descontos));
  Linha("ACRESCIMOS: " + Dinheiro(fTotais.Acrescimos));
  for (size_t i = 0; i < fAliquotas.size(); i++)
    if (fAliquotas[i].Valor != 0)
      Linha(Zeros(static_cast<int64_t>(i + 1), 2) + " " + SimboloAliquota(static_cast<int>(i)) + ": " +
            Dinheiro(fTotais.PorAliquota[i]));
  Linha("F1: " + Dinheiro(fTotais.Substituicao) + "  I1: " + Dinheiro(fTotais.Isento) + "  N1: " +
        Dinheiro(fTotais.NaoIncidencia));
  Linha("MEIOS DE PAGAMENTO");
  for (size_t i = 0; i < fFormas.size(); i++)
    if (!fFormas[i].Descricao.empty()) Linha(fFormas[i].Descricao + ": " + Dinheiro(fTotais.PorForma[i]));
  Linha("FIM DA " + Titulo);
}

}  // namespace zuvo::sim
