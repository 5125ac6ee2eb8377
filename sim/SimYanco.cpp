#include "sim/SimYanco.h"

#include <mutex>

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {

const char STX = 2;
const char ETX = 3;
const char DC4 = 20;  // frame accepted
const char NAK = 21;  // bad sum: send it again

// A frame longer than any command is line noise.
const size_t kMaiorQuadro = 1024;

// Payment methods and tax slots the printer has room for; tax codes 14, 15
// and 16 are F, I and N.
const int kFormas = 30;
const int kAliquotas = 13;

ModeloImpressora Modelo() {
  ModeloImpressora m;
  m.Modelo = "YANCO 8000 FI";
  m.Versao = "12";
  m.NumSerie = "YC00012345";
  m.NumECF = 1;
  m.Colunas = 46;
  m.Aliquotas = kAliquotas;
  m.Formas = kFormas;
  return m;
}

}  // namespace

SimYanco::SimYanco(const OpcoesSimulador&)
    : fECF(Modelo(), [this](const std::string& l) { Imprime(l); }, [this] { return FalhasAtivas().SemPapel; }) {
  Contadores c;
  c.COO = 321;
  c.CRZ = 12;
  fECF.SetContadores(c);
  // What the shop programmed at installation: 18% and 7% in slots 01 and 02.
  const int taxas[] = {1800, 700, 1200, 500};
  for (int i = 0; i < 4; i++) fECF.SetAliquota(i, {taxas[i], i == 3, ""});
  fECF.SetForma(0, {"Dinheiro", false, ""});
  fECF.SetForma(1, {"Cheque", true, ""});
  fECF.SetForma(2, {"Cartao Credito", true, ""});
  fECF.SetForma(3, {"Cartao Debito", true, ""});
  // Twelve reductions on the days before today.
  const long hoje = fECF.Hoje();
  for (int i = 1; i <= 12; i++) fECF.AdicionaRegistroZ({i, 0, 1, hoje - (13 - i), 10000LL * i + 50, 0});
  Inicia();
}

SimYanco::~SimYanco() { Para(); }

// ---------------------------------------------------------------------------
// The line: frames in, acknowledgement and answer out.

std::string SimYanco::Soma(const std::string& Quadro) {
  unsigned soma = 0;
  for (char c : Quadro) soma += static_cast<unsigned char>(c);
  return {static_cast<char>((soma >> 8) & 0xFF), static_cast<char>(soma & 0xFF)};
}

std::string SimYanco::Resposta(const std::string& Sequencia, const Resultado& R) {
  const std::string quadro = STX + Sequencia + R.Codigo + (R.Texto.empty() ? R.Codigo : R.Texto) + ETX;
  return quadro + Soma(quadro);
}

size_t SimYanco::Processa(const std::string& P, PtyPar::Saida& Out) {
  // Noise before a frame is skipped; a frame cut short by the next is dropped.
  if (P[0] != STX) {
    const size_t stx = P.find(STX);
    return stx == std::string::npos ? P.size() : stx;
  }
  const size_t etx = P.find(ETX, 1);
  const size_t proximo = P.find(STX, 1);
  if (proximo != std::string::npos && (etx == std::string::npos || proximo < etx)) return proximo;
  if (etx == std::string::npos) return P.size() > kMaiorQuadro ? P.size() : 0;
  if (P.size() < etx + 3) return 0;  // the sum is still on its way
  const size_t n = etx + 3;

  const Falhas& f = FalhasAtivas();
  if (fOcupado && !f.ImpressaoSemFim) fOcupado = false;  // the fault was switched off
  // Lost frames: no acknowledgement, nothing done (a printer still printing
  // for good takes nothing either).
  if (f.SemACK || fOcupado) return n;
  const std::string quadro = P.substr(0, etx + 1);
  const std::string sequencia = Trecho(quadro, 1, 4);
  if (f.Recusa || !SoDigitos(sequencia) || Soma(quadro) != Trecho(P, etx + 1, 2)) {
    fRecusados++;
    Responde(Out, std::string(1, NAK));
    return n;
  }
  const std::string cmd = Trecho(quadro, 5, etx - 5);
  fComandos.push_back(cmd);
  fSequencias.push_back(sequencia);
  const int antes = LinhasImpressas();
  const Resultado r = Executa(cmd);
  // The answer comes once the paper has been printed.
  const int tempo = TempoImpressao(LinhasImpressas() - antes);
  Responde(Out, DC4 + Resposta(sequencia, r), tempo);
  if (tempo == kNunca) fOcupado = true;
  return n;
}

const std::map<std::string, SimYanco::Tratador>& SimYanco::Tabela() {
  static const std::map<std::string, Tratador> t = {
      {"1F", &SimYanco::Eco},           {"25", &SimYanco::Status},
      {"2D", &SimYanco::Identificacao}, {"2E", &SimYanco::FormasPagamento},
      {"2F", &SimYanco::MemoriaSerial}, {"34", &SimYanco::Leituras},
      {"13", &SimYanco::AbreCupom},     {"14", &SimYanco::VendeItem},
      {"15", &SimYanco::Paga},          {"16", &SimYanco::FechaCupom},
      {"1D", &SimYanco::CancelaAberto}, {"1E", &SimYanco::CancelaUltimo},
      {"35", &SimYanco::CancelaItem},   {"26", &SimYanco::AbreGaveta},
      {"12", &SimYanco::InicioDia},     {"24", &SimYanco::RelatorioX},
      {"22", &SimYanco::ReducaoZ},      {"2A", &SimYanco::LinhaGerencial},
      {"2B", &SimYanco::LinhaVinculado}, {"2C", &SimYanco::FechaRelatorio},
      {"28", &SimYanco::MemoriaFiscal},
  };
  return t;
}

SimYanco::Resultado SimYanco::Executa(const std::string& Cmd) {
  const auto h = Tabela().find(Trecho(Cmd, 0, 2));
  if (h == Tabela().end()) return {"40", ""};  // Função inexistente
  return (this->*(h->second))(Trecho(Cmd, 2));
}

std::string SimYanco::Codigo(ErroFiscal E) {
  switch (E) {
    case ErroFiscal::Nenhum: return "00";
    case ErroFiscal::SemPapel: return "10";
    case ErroFiscal::ForaDaFase:
    case ErroFiscal::PagamentoCompleto: return "31";    // após totalização
    case ErroFiscal::PagamentoIncompleto: return "32";  // sem totalização
    case ErroFiscal::AliquotaInvalida: return "34";
    case ErroFiscal::FormaInvalida:
    case ErroFiscal::TipoInvalido:
    case ErroFiscal::ValorInvalido: return "35";
    case ErroFiscal::SemCupom: return "41";
    case ErroFiscal::DocumentoAberto: return "43";
    case ErroFiscal::RequerX:
    case ErroFiscal::Bloqueada: return "44";  // sem início do dia
    case ErroFiscal::RequerZ: return "50";
    case ErroFiscal::CupomAberto: return "54";
    case ErroFiscal::SemDocumento: return "55";
    case ErroFiscal::SemCheque: return "69";
    case ErroFiscal::ItemInexistente: return "70";
    default: return "53";  // a state the last command leaves
  }
}

// ---------------------------------------------------------------------------
// Queries.

SimYanco::Resultado SimYanco::Eco(const std::string& P) {
  if (P.empty()) return {"39", ""};
  return {"00", P};
}

char SimYanco::EstadoDocumento() const {
  switch (fECF.DocumentoAberto()) {
    case Documento::Cupom: return fECF.EmPagamento() ? '4' : '2';
    case Documento::NaoFiscal:
    case Documento::Vinculado: return '2';
    case Documento::Gerencial: return '3';
    case Documento::Nenhum: break;
  }
  return fECF.COOUltimoCupom() != 0 ? '1' : '0';
}

SimYanco::Resultado SimYanco::Status(const std::string&) {
  const char dia = fECF.Bloqueada() ? '4' : fECF.RequerX() ? '3' : '2';
  std::string s(16, '0');
  s[2] = dia;
  s[10] = EstadoDocumento();
  return {"00", s};
}

SimYanco::Resultado SimYanco::Identificacao(const std::string& P) {
  if (P != "0") return {"35", ""};
  const ModeloImpressora& m = fECF.Modelo();
  return {"00", Completa("YANCO", 7) + Completa(m.NumSerie, 10) + Completa(m.Versao, 2)};
}

SimYanco::Resultado SimYanco::FormasPagamento(const std::string&) {
  std::string r(97, '0');
  for (const FormaPagamento& f : fECF.Formas()) r += Completa(f.Descricao, 15);
  return {"00", r};
}

SimYanco::Resultado SimYanco::MemoriaSerial(const std::string&) {
  std::string r;
  for (const std::string& l : fECF.TextoMemoriaFiscal(0, 999999, false)) r += l + "\r\n";
  return {"00", r};
}

SimYanco::Resultado SimYanco::Leituras(const std::string& P) {
  const ModeloImpressora& m = fECF.Modelo();
  if (P == "070") return {"00", fECF.DataHora("hh:nn:ss")};
  if (P == "071") return {"00", fECF.DataHora("dd/mm/yy")};
  if (P == "072") return {"00", Zeros(fECF.CupomAberto() ? fECF.TotalCupom() : 0, 12)};
  if (P == "076") return {"00", Zeros(m.NumECF, 4)};
  if (P == "077") return {"00", Zeros(fECF.COO(), 6)};
  return {"40", ""};
}

// ---------------------------------------------------------------------------
// The receipt.

SimYanco::Resultado SimYanco::AbreCupom(const std::string& P) {
  if (P == "0") return De(fECF.AbreCupom());
  if (P != "2") return {"35", ""};
  // A linked receipt for the last receipt's first payment that allows one.
  for (const Pagamento& p : fECF.PagamentosUltimoCupom())
    if (fECF.Formas()[static_cast<size_t>(p.Forma)].PermiteVinculado) return De(fECF.AbreVinculado(p.Forma));
  return {fECF.CupomAberto() ? "54" : "53", ""};
}

SimYanco::Resultado SimYanco::VendeItem(const std::string& P) {
  // Code (13), description (30), price (9), quantity (7) and total (12) in
  // thousandths, tax code (2), a flag.
  if (P.size() != 74) return {"37", ""};
  const int64_t preco = Digitos(P.substr(43, 9)), qtd = Digitos(P.substr(52, 7));
  const int64_t total = Digitos(P.substr(59, 12)), codigo = Digitos(P.substr(71, 2));
  if (preco < 0 || qtd < 0 || total < 0 || codigo < 0 || P[73] != '0') return {"35", ""};
  if (Apara(P.substr(13, 30)).empty()) return {"39", ""};
  // The total must be the quantity times the price.
  const int64_t esperado = (qtd * preco + 500) / 1000;
  if (total < esperado - 1 || total > esperado + 1) return {"35", ""};
  ItemVendido it;
  it.Codigo = Apara(P.substr(0, 13));
  it.Descricao = Apara(P.substr(13, 30));
  it.QtdMil = qtd;
  it.PrecoMil = preco;
  if (codigo >= 1 && codigo <= kAliquotas) it.Aliquota = static_cast<int>(codigo) - 1;
  else if (codigo == 14) it.Aliquota = kSubstituicao;
  else if (codigo == 15) it.Aliquota = kIsento;
  else if (codigo == 16) it.Aliquota = kNaoIncidencia;
  else return {"34", ""};
  return De(fECF.VendeItem(it));
}

SimYanco::Resultado SimYanco::Paga(const std::string& P) {
  // Method (2) and amount in thousandths (13).
  if (P.size() != 15) return {"37", ""};
  const int64_t forma = Digitos(P.substr(0, 2)), valor = Digitos(P.substr(2));
  if (forma < 1 || valor < 0 || valor % 10 != 0) return {"35", ""};
  return De(fECF.Paga(static_cast<int>(forma) - 1, valor / 10));
}

SimYanco::Resultado SimYanco::FechaCupom(const std::string& P) {
  if (Trecho(P, 0, 2) != "00") return {"35", ""};
  // The same command ends a linked receipt.
  if (fECF.DocumentoAberto() == Documento::Vinculado) return De(fECF.FechaRelatorio());
  return De(fECF.FechaCupom(Apara(Trecho(P, 2))));
}

SimYanco::Resultado SimYanco::CancelaAberto(const std::string&) {
  if (!fECF.CupomAberto()) return {"41", ""};
  return De(fECF.CancelaCupom());
}

SimYanco::Resultado SimYanco::CancelaUltimo(const std::string&) {
  if (fECF.CupomAberto()) return {"54", ""};
  return De(fECF.CancelaCupom());
}

SimYanco::Resultado SimYanco::CancelaItem(const std::string& P) {
  if (P.size() != 23) return {"37", ""};
  const int64_t item = Digitos(P.substr(0, 3));
  if (item < 0) return {"35", ""};
  return De(fECF.CancelaItem(static_cast<int>(item)));
}

SimYanco::Resultado SimYanco::AbreGaveta(const std::string&) {
  fECF.AbreGaveta();
  return {};
}

// ---------------------------------------------------------------------------
// The day's reports, the managerial report and the linked receipt.

SimYanco::Resultado SimYanco::LeituraOuGerencial(char Tipo) {
  if (Tipo == '1') return De(fECF.LeituraX());
  if (Tipo == '0') return De(fECF.AbreGerencial());
  return {"35", ""};
}

SimYanco::Resultado SimYanco::InicioDia(const std::string& P) {
  if (fECF.Bloqueada()) return {"49", ""};
  if (!fECF.RequerX()) return {"47", ""};
  const Resultado r = LeituraOuGerencial(Trecho(P, 0, 1) == "0" ? '0' : Trecho(P, 0, 1) == "1" ? '1' : ' ');
  if (r.Codigo == "00") fECF.SetRequerX(false);
  return r;
}

SimYanco::Resultado SimYanco::RelatorioX(const std::string& P) {
  if (P.size() != 14) return {"37", ""};
  if (fECF.RequerX()) return {"44", ""};
  return LeituraOuGerencial(P[0]);
}

SimYanco::Resultado SimYanco::ReducaoZ(const std::string& P) {
  if (P.size() != 14 || P[0] != '1') return {"37", ""};
  return De(fECF.ReducaoZ());
}

SimYanco::Resultado SimYanco::LinhaGerencial(const std::string& P) {
  if (P.size() != 47 || P[0] != '0') return {"37", ""};
  // The line feeds between the copies of a linked receipt come this way too.
  const Documento d = fECF.DocumentoAberto();
  if (d != Documento::Gerencial && d != Documento::Vinculado) return {"55", ""};
  return De(fECF.ImprimeTexto(P.substr(1)));
}

SimYanco::Resultado SimYanco::LinhaVinculado(const std::string& P) {
  if (P.size() != 47 || P[0] != '0') return {"37", ""};
  if (fECF.DocumentoAberto() != Documento::Vinculado) return {"42", ""};
  return De(fECF.ImprimeTexto(P.substr(1)));
}

SimYanco::Resultado SimYanco::FechaRelatorio(const std::string&) {
  if (fECF.DocumentoAberto() != Documento::Gerencial) return {"55", ""};
  return De(fECF.FechaRelatorio());
}

SimYanco::Resultado SimYanco::MemoriaFiscal(const std::string& P) {
  // Two dates (ddmmyy), two reductions (4 digits each), then 0 by date or 1
  // by reduction.
  if (P.size() != 21 || !SoDigitos(P)) return {"35", ""};
  if (P[20] == '1')
    return De(fECF.ImprimeMemoriaFiscal(static_cast<long>(Digitos(P.substr(12, 4))),
                                        static_cast<long>(Digitos(P.substr(16, 4))), false));
  if (P[20] != '0') return {"35", ""};
  const long de = LeDdMmAa(P.substr(0, 6)), ate = LeDdMmAa(P.substr(6, 6));
  if (de < 0 || ate < 0) return {"51", ""};
  return De(fECF.ImprimeMemoriaFiscal(de, ate, true));
}

// ---------------------------------------------------------------------------
// For tests.

std::vector<std::string> SimYanco::Comandos() const {
  std::lock_guard<std::mutex> t(Trava());
  return fComandos;
}

std::vector<std::string> SimYanco::Sequencias() const {
  std::lock_guard<std::mutex> t(Trava());
  return fSequencias;
}

int SimYanco::Recusados() const {
  std::lock_guard<std::mutex> t(Trava());
  return fRecusados;
}

int SimYanco::COO() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.COO();
}

Documento SimYanco::DocumentoAberto() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.DocumentoAberto();
}

void SimYanco::SetRequerX(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerX(V);
}

void SimYanco::SetRequerZ(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerZ(V);
}

std::vector<ItemVendido> SimYanco::Itens() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.Itens();
}

}  // namespace zuvo::sim
