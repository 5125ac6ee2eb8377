#include "sim/SimICash.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {

const char STX = 2;
const char ETX = 3;
const char ACK = 6;
const char NACK = 0x0F;

// A frame longer than any command is noise: dropped.
const size_t kMaxQuadro = 1024;
// STX + Texto + ETX + the 16-bit sum of those bytes, high byte first: the
// frame of a command and of a data block alike.
std::string Quadro(const std::string& Texto) {
  std::string q = STX + Texto + ETX;
  unsigned soma = 0;
  for (char c : q) soma += Byte(c);
  q += static_cast<char>((soma >> 8) & 0xFF);
  q += static_cast<char>(soma & 0xFF);
  return q;
}

// "ddmmyyyy" as a day; -1 when it is not a date.
long LeDdMmAaaa(const std::string& S) {
  if (S.size() != 8 || !SoDigitos(S)) return -1;
  const int dia = static_cast<int>(Digitos(S.substr(0, 2)));
  const int mes = static_cast<int>(Digitos(S.substr(2, 2)));
  const int ano = static_cast<int>(Digitos(S.substr(4, 4)));
  if (mes < 1 || mes > 12 || dia < 1 || dia > 31) return -1;
  const long d = DiaDe(ano, mes, dia);
  return TextoDia(d, "ddmmyyyy") == S ? d : -1;
}

ModeloImpressora Modelo(const OpcoesSimulador& O) {
  ModeloImpressora m;
  m.Modelo = "ICASH FISCAL";
  m.Versao = "010300";
  m.NumSerie = "IC0000012345";
  m.Colunas = O.Colunas > 0 ? O.Colunas : 48;
  m.Aliquotas = 17;
  m.Formas = 10;
  m.NaoFiscais = 16;
  return m;
}

}  // namespace

SimICash::SimICash(const OpcoesSimulador& Opcoes)
    : fECF(Modelo(Opcoes), [this](const std::string& l) { Imprime(l); },
           [this] { return FalhasAtivas().SemPapel; }) {
  Contadores c;
  c.COO = 200;
  c.CRZ = 12;
  c.CRO = 2;
  fECF.SetContadores(c);
  // What the shop programmed at installation (T03 is a service rate).
  const int taxas[] = {1800, 700, 1200, 500};
  for (int i = 0; i < 4; i++) fECF.SetAliquota(i, {taxas[i], i == 3, ""});
  fECF.SetForma(0, {"Dinheiro", false, ""});
  fECF.SetForma(1, {"Cheque", true, ""});
  fECF.SetForma(2, {"Cartao", true, ""});
  fECF.SetNaoFiscal(0, {"Sangria", false});
  fECF.SetNaoFiscal(1, {"Suprimento", true});
  fECF.SetArredonda(true);
  Inicia();
}

SimICash::~SimICash() { Para(); }

// ----- For tests -----

void SimICash::SetRequerZ(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerZ(V);
}
void SimICash::SetBloqueada(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetBloqueada(V);
}
void SimICash::SetGavetaAberta(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetGavetaAberta(V);
}
bool SimICash::GavetaAberta() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.GavetaAberta();
}
bool SimICash::HorarioVerao() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.HorarioVerao();
}
void SimICash::SetErroProximo(char Erro) {
  std::lock_guard<std::mutex> t(Trava());
  fErroProximo = Erro;
}
std::vector<std::string> SimICash::Comandos() const {
  std::lock_guard<std::mutex> t(Trava());
  return fComandos;
}
Documento SimICash::DocumentoAtual() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.DocumentoAberto();
}
char SimICash::EstadoAtual() const {
  std::lock_guard<std::mutex> t(Trava());
  return Estado();
}
std::vector<ItemVendido> SimICash::Itens() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.Itens();
}
std::vector<Pagamento> SimICash::PagamentosUltimoCupom() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.PagamentosUltimoCupom();
}

// ---------------------------------------------------------------------------
// The line: frames in; ACK, state, error and the data block out.

size_t SimICash::Processa(const std::string& P, PtyPar::Saida& Out) {
  if (P[0] != STX) {  // noise between frames
    const size_t stx = P.find(STX);
    return stx == std::string::npos ? P.size() : stx;
  }
  const size_t etx = P.find(ETX, 1);
  const size_t outro = P.find(STX, 1);
  if (outro != std::string::npos && (etx == std::string::npos || outro < etx))
    return outro;  // a frame cut short: the driver has sent a new one
  if (etx == std::string::npos) return P.size() > kMaxQuadro ? P.size() : 0;
  if (P.size() < etx + 3) return 0;
  const size_t n = etx + 3;

  const Falhas& f = FalhasAtivas();
  const int64_t agora = AgoraMs();
  if (fOcupadoAte == kSempre && !f.ImpressaoSemFim) fOcupadoAte = agora;  // the fault was switched off
  const int atraso =
      fOcupadoAte == kSempre ? kNunca : static_cast<int>(std::max<int64_t>(0, fOcupadoAte - agora));
  if (f.SemACK) return n;  // the frame is lost: nothing done, nothing answered
  const std::string texto = P.substr(1, etx - 1);
  if (Quadro(texto) != P.substr(0, n) || f.Recusa) {
    Responde(Out, std::string(1, NACK), atraso);
    return n;
  }

  fComandos.push_back(texto);
  const int antes = LinhasImpressas();
  const Resultado r = Executa(texto);
  const int tempo = TempoImpressao(LinhasImpressas() - antes);
  const std::string cabecalho{ACK, Estado(), r.Erro};
  const std::string bloco = r.Bloco && r.Erro == ' ' ? Quadro(Trecho(texto, 0, 2) + r.Dados) : "";
  if (tempo == 0) {
    Responde(Out, cabecalho + bloco, atraso);
  } else {
    // The command is taken at once; its data once its printing is done.
    Responde(Out, cabecalho, atraso);
    if (!bloco.empty()) Responde(Out, bloco, atraso == kNunca || tempo == kNunca ? kNunca : atraso + tempo);
  }
  if (tempo == kNunca) fOcupadoAte = kSempre;
  else if (tempo > 0 && fOcupadoAte != kSempre) fOcupadoAte = std::max(agora, fOcupadoAte) + tempo;
  return n;
}

const std::map<std::string, SimICash::Tratador>& SimICash::Tabela() {
  static const std::map<std::string, Tratador> t = {
      {"200", &SimICash::AbreCupom},        {"20", &SimICash::AbreVinculado},
      {"21", &SimICash::VendeItem},         {"26", &SimICash::DescontoItem},
      {"25", &SimICash::CancelaItem},       {"27", &SimICash::Subtotaliza},
      {"22", &SimICash::Paga},              {"23", &SimICash::Texto},
      {"17", &SimICash::FechaCupom},        {"29", &SimICash::CancelaAberto},
      {"2A", &SimICash::CancelaUltimo},     {"2E", &SimICash::Totais},
      {"45", &SimICash::AbreGaveta},        {"51", &SimICash::LeituraX},
      {"72", &SimICash::ReducaoZ},          {"71", &SimICash::HorarioVeraoTroca},
      {"56", &SimICash::AbreGerencial},     {"57", &SimICash::Linha},
      {"58", &SimICash::FechaRelatorio},    {"54", &SimICash::MemoriaPorReducao},
      {"55", &SimICash::MemoriaPorData},    {"67", &SimICash::Registro},
      {"34", &SimICash::NaoFiscal},
  };
  return t;
}

SimICash::Resultado SimICash::Executa(const std::string& Texto) {
  if (fErroProximo != 0) {
    const char e = fErroProximo;
    fErroProximo = 0;
    return {e};
  }
  // The longest code first: "200" opens a receipt, "20" a linked receipt.
  size_t n = 3;
  auto h = Tabela().find(Trecho(Texto, 0, n));
  if (h == Tabela().end()) h = Tabela().find(Trecho(Texto, 0, n = 2));
  if (h == Tabela().end()) return {'$'};
  return (this->*(h->second))(Trecho(Texto, n));
}

SimICash::Resultado SimICash::Conclui(ErroFiscal E) { return {Codigo(E)}; }

SimICash::Resultado SimICash::Bloco(const std::string& Dados) { return {' ', Dados, true}; }

char SimICash::Codigo(ErroFiscal E) {
  switch (E) {
    case ErroFiscal::Nenhum: return ' ';
    case ErroFiscal::CupomAberto: return '\'';
    case ErroFiscal::RequerZ: return 'D';
    case ErroFiscal::Bloqueada: return 'C';
    case ErroFiscal::AliquotaInvalida: case ErroFiscal::FormaInvalida: case ErroFiscal::TipoInvalido: return '/';
    case ErroFiscal::ItemInexistente: return '-';
    case ErroFiscal::ValorInvalido: return '(';
    case ErroFiscal::CancelamentoInvalido: case ErroFiscal::VinculadoInvalido: case ErroFiscal::TabelaCheia:
    case ErroFiscal::JaProgramado: case ErroFiscal::SemCheque: return '*';
    // Out of paper: the printer answers a code of its own, outside the
    // documented table.
    case ErroFiscal::SemPapel: return 'P';
    default: return ',';  // a command out of its sequence
  }
}

char SimICash::Estado() const {
  switch (fECF.DocumentoAberto()) {
    case Documento::Cupom:
      if (fECF.EmPagamento()) return fECF.Saldo() > 0 ? '4' : '5';
      if (fECF.AcrescimoSubtotal() != 0) return '3';
      return fECF.Itens().empty() ? '1' : '2';
    case Documento::NaoFiscal: return '7';
    case Documento::Gerencial: return 'B';
    case Documento::Vinculado: return 'F';
    case Documento::Nenhum: break;
  }
  if (fECF.Bloqueada()) return 'D';
  if (fECF.RequerZ()) return 'E';
  return '0';
}

// The status register: state, paper ('0' near its end or out), daylight
// saving time, drawer open, then reserved digits.
std::string SimICash::Status() const {
  const Falhas& f = FalhasAtivas();
  std::string s(1, Estado());
  s += f.PoucoPapel || f.SemPapel ? '0' : '1';
  s += fECF.HorarioVerao() ? '1' : '0';
  s += fECF.GavetaAberta() ? '1' : '0';
  return s + "000000";
}

// ---------------------------------------------------------------------------
// The receipt.

SimICash::Resultado SimICash::AbreCupom(const std::string& Arg) {
  if (!Arg.empty()) return {'#'};
  const ErroFiscal e = fECF.AbreCupom();
  if (e == ErroFiscal::Nenhum) fTextoCupom.clear();
  return Conclui(e);
}

int SimICash::SlotAliquota(const std::string& Campo) const {
  if (Campo == "F1 ") return kSubstituicao;
  if (Campo == "IS1") return kIsento;
  if (Campo == "N1 ") return kNaoIncidencia;
  if (Campo.size() == 3 && Campo[0] == 'T') return static_cast<int>(Digitos(Apara(Campo.substr(1))));
  // "T18,00%": the slot programmed with that rate.
  if (Campo.size() != 7 || Campo[0] != 'T' || Campo[3] != ',' || Campo[6] != '%') return -100;
  const int64_t inteiro = Digitos(Apara(Campo.substr(1, 2))), decimos = Digitos(Campo.substr(4, 2));
  if (inteiro < 0 || decimos < 0) return -100;
  const auto& a = fECF.Aliquotas();
  for (size_t i = 0; i < a.size(); i++)
    if (a[i].Valor != 0 && a[i].Valor == inteiro * 100 + decimos) return static_cast<int>(i);
  return -100;
}

SimICash::Resultado SimICash::VendeItem(const std::string& Arg) {
  // Code 14, description 28, quantity 7, unit 3, price 8, decimals 1, rate 3 or 7.
  if (Arg.size() != 64 && Arg.size() != 68) return {'#'};
  if (fECF.DocumentoAberto() == Documento::Cupom && Estado() == '3') return {','};
  ItemVendido it;
  it.Codigo = Apara(Trecho(Arg, 0, 14));
  it.Descricao = Apara(Trecho(Arg, 14, 28));
  it.Unidade = Apara(Trecho(Arg, 49, 3));
  const int64_t qtd = Digitos(Trecho(Arg, 42, 7)), preco = Digitos(Trecho(Arg, 52, 8));
  const char decimais = Arg[60];
  if (qtd < 0 || preco < 0 || (decimais != '2' && decimais != '3')) return {'('};
  it.QtdMil = qtd;
  it.PrecoMil = decimais == '3' ? preco : preco * 10;
  it.Aliquota = SlotAliquota(Trecho(Arg, 61));
  if (it.Aliquota == -100) return {'/'};
  const ErroFiscal e = fECF.VendeItem(it);
  if (e != ErroFiscal::Nenhum) return Conclui(e);
  return Bloco(Zeros(static_cast<int64_t>(fECF.Itens().size()), 3));
}

SimICash::Resultado SimICash::DescontoItem(const std::string& Arg) {
  // '1' discount or '2' surcharge, percent 4, value 12, item 3.
  if (Arg.size() != 20) return {'#'};
  const int64_t pct = Digitos(Trecho(Arg, 1, 4)), valor = Digitos(Trecho(Arg, 5, 12));
  const int64_t n = Digitos(Trecho(Arg, 17, 3));
  if (pct < 0 || valor < 0 || n < 0 || (Arg[0] != '1' && Arg[0] != '2')) return {'('};
  if (n < 1 || static_cast<size_t>(n) > fECF.Itens().size()) return {'-'};
  const int64_t base = fECF.Itens()[static_cast<size_t>(n - 1)].Valor;
  const int64_t centavos = pct > 0 ? (base * pct + 5000) / 10000 : valor;
  const ErroFiscal e = fECF.AcresceItem(static_cast<int>(n), Arg[0] == '1' ? -centavos : centavos);
  if (e != ErroFiscal::Nenhum) return Conclui(e);
  return Bloco(Zeros(n, 3) + Zeros(fECF.Itens()[static_cast<size_t>(n - 1)].Liquido(), 14));
}

SimICash::Resultado SimICash::CancelaItem(const std::string& Arg) {
  const int64_t n = Digitos(Arg);
  if (Arg.size() != 3 || n < 0) return {'('};
  return Conclui(fECF.CancelaItem(static_cast<int>(n)));
}

SimICash::Resultado SimICash::Subtotaliza(const std::string& Arg) {
  // '1' discount %, '2' discount value, '3' surcharge %, '4' surcharge value;
  // percent 4, value 12.
  if (Arg.size() != 17) return {'#'};
  const char tipo = Arg[0];
  const int64_t pct = Digitos(Trecho(Arg, 1, 4)), valor = Digitos(Trecho(Arg, 5, 12));
  if (pct < 0 || valor < 0 || tipo < '1' || tipo > '4') return {'('};
  const int64_t centavos = tipo == '1' || tipo == '3' ? (fECF.TotalItens() * pct + 5000) / 10000 : valor;
  return Conclui(fECF.AcresceSubtotal(tipo <= '2' ? -centavos : centavos));
}

SimICash::Resultado SimICash::Paga(const std::string& Arg) {
  const int64_t forma = Digitos(Trecho(Arg, 0, 2)), valor = Digitos(Trecho(Arg, 2));
  if (Arg.size() != 15) return {'#'};
  if (forma < 0 || valor < 0) return {'('};
  return Conclui(fECF.Paga(static_cast<int>(forma), valor));
}

SimICash::Resultado SimICash::Texto(const std::string& Arg) {
  // Four lines of 48, each after its format digit; printed at the close.
  if (Arg.size() != 4 * 49) return {'#'};
  if (fECF.DocumentoAberto() != Documento::Cupom || !fECF.EmPagamento()) return {','};
  for (size_t i = 0; i < 4; i++) {
    if (Arg[i * 49] != '0') return {'-'};
    const std::string linha = Apara(Trecho(Arg, i * 49 + 1, 48));
    if (!linha.empty()) fTextoCupom += linha + "\n";
  }
  return {};
}

SimICash::Resultado SimICash::FechaCupom(const std::string& Arg) {
  if (!Arg.empty()) return {'#'};
  const ErroFiscal e = fECF.FechaCupom(fTextoCupom);
  if (e == ErroFiscal::Nenhum) fTextoCupom.clear();
  return Conclui(e);
}

SimICash::Resultado SimICash::CancelaAberto(const std::string&) {
  if (!fECF.CupomAberto()) return {','};
  const ErroFiscal e = fECF.CancelaCupom();
  if (e == ErroFiscal::Nenhum) fTextoCupom.clear();
  return Conclui(e);
}

SimICash::Resultado SimICash::CancelaUltimo(const std::string&) {
  if (fECF.CupomAberto()) return {'\''};
  return Conclui(fECF.CancelaCupom());
}

SimICash::Resultado SimICash::Totais(const std::string&) {
  // Items, the receipt's total after the subtotal's discount or surcharge,
  // and what was paid, 14 digits each.
  return Bloco(Zeros(fECF.TotalItens(), 14) + Zeros(fECF.TotalCupom(), 14) + Zeros(fECF.TotalPago(), 14));
}

SimICash::Resultado SimICash::AbreVinculado(const std::string& Arg) {
  if (!Arg.empty()) return {'#'};
  // The payment of the last receipt that allows a linked receipt.
  for (const Pagamento& p : fECF.PagamentosUltimoCupom())
    if (fECF.Formas()[static_cast<size_t>(p.Forma)].PermiteVinculado) return Conclui(fECF.AbreVinculado(p.Forma));
  return Conclui(fECF.CupomAberto() ? ErroFiscal::CupomAberto : ErroFiscal::VinculadoInvalido);
}

// ---------------------------------------------------------------------------
// Reports, drawer and clock.

SimICash::Resultado SimICash::AbreGaveta(const std::string&) {
  fECF.AbreGaveta();
  return {};
}

SimICash::Resultado SimICash::LeituraX(const std::string& Arg) {
  if (Arg != "0") return {'-'};
  return Conclui(fECF.LeituraX());
}

SimICash::Resultado SimICash::ReducaoZ(const std::string& Arg) {
  if (Arg != "00") return {'-'};
  return Conclui(fECF.ReducaoZ());
}

SimICash::Resultado SimICash::HorarioVeraoTroca(const std::string&) {
  return Conclui(fECF.MudaHorarioVerao(!fECF.HorarioVerao()));
}

SimICash::Resultado SimICash::AbreGerencial(const std::string& Arg) {
  if (Arg.size() != 2 || Digitos(Arg) < 0) return {'-'};
  return Conclui(fECF.AbreGerencial());
}

SimICash::Resultado SimICash::Linha(const std::string& Arg) {
  if (Arg.empty() || Arg[0] != '0') return {'-'};
  return Conclui(fECF.ImprimeTexto(Trecho(Arg, 1)));
}

SimICash::Resultado SimICash::FechaRelatorio(const std::string&) { return Conclui(fECF.FechaRelatorio()); }

SimICash::Resultado SimICash::MemoriaPorReducao(const std::string& Arg) {
  const int64_t de = Digitos(Trecho(Arg, 0, 4)), ate = Digitos(Trecho(Arg, 4, 4));
  if (Arg.size() != 9 || Arg[8] != '0') return {'#'};
  if (de < 0 || ate < 0 || de > ate) return {'-'};
  return Conclui(fECF.ImprimeMemoriaFiscal(static_cast<long>(de), static_cast<long>(ate), false));
}

SimICash::Resultado SimICash::MemoriaPorData(const std::string& Arg) {
  const long de = LeDdMmAaaa(Trecho(Arg, 0, 8)), ate = LeDdMmAaaa(Trecho(Arg, 8, 8));
  if (Arg.size() != 17 || Arg[16] != '0') return {'#'};
  if (de < 0 || ate < 0) return {')'};
  if (de > ate) return {'-'};
  return Conclui(fECF.ImprimeMemoriaFiscal(de, ate, true));
}

// ---------------------------------------------------------------------------
// Registers ("67" + three digits) and the non-fiscal types ("34M" + two).

SimICash::Resultado SimICash::Registro(const std::string& Arg) {
  const int64_t r = Arg.size() == 3 ? Digitos(Arg) : -1;
  const ModeloImpressora& m = fECF.Modelo();
  const Contadores& c = fECF.ContadoresAtuais();
  if (r == 0) return Bloco(Zeros(c.CRO, 4));
  if (r == 2) return Bloco(Zeros(c.CCF, 6) + Zeros(c.COO, 6));
  if (r == 81) return Bloco(fECF.DataHora("ddmmyyyyhhnnss"));
  if (r == 82) return Bloco(Status());
  if (r == 86) return Bloco(Zeros(m.NumECF, 4));
  if (r == 89) return Bloco(Completa(m.Versao, 6));
  if (r == 91) return Bloco(Completa(m.NumSerie, 12));
  if (r >= 19 && r <= 35) {
    // Type letter, rate "18,00" and "%", then the day's total.
    const size_t slot = static_cast<size_t>(r - 19);
    const AliquotaFiscal& a = fECF.Aliquotas()[slot];
    if (a.Valor == 0) return Bloco("T**,**%" + Zeros(0, 14));
    return Bloco(std::string(a.ISS ? "S" : "T") + Zeros(a.Valor / 100, 2) + "," + Zeros(a.Valor % 100, 2) + "%" +
                 Zeros(fECF.Totais().PorAliquota[slot], 14));
  }
  if (r >= 65 && r <= 74) {
    // The day's total in 15 digits, then the description in 15.
    const size_t slot = static_cast<size_t>(r - 65);
    return Bloco(Zeros(fECF.Totais().PorForma[slot], 15) + Completa(Trecho(fECF.Formas()[slot].Descricao, 0, 15), 15));
  }
  return {'-'};
}

SimICash::Resultado SimICash::NaoFiscal(const std::string& Arg) {
  const int64_t r = Arg.size() == 3 && Arg[0] == 'M' ? Digitos(Arg.substr(1)) : -1;
  if (r < 50 || r > 81) return {'-'};
  // 50-65 are the printer's own totalizers, without a description here.
  if (r < 66) return Bloco(std::string(16, ' '));
  return Bloco(Completa(Trecho(fECF.NaoFiscais()[static_cast<size_t>(r - 66)].Descricao, 0, 16), 16));
}

}  // namespace zuvo::sim
