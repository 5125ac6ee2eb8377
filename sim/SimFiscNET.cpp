#include "sim/SimFiscNET.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {

// Error codes of this printer. The texts are the printer's own, in CP850
// (0x83 is "â", 0xC6 is "ã", 0xA1 is "í").
enum {
  kErroQuadro = 1,
  kErroComando = 2,
  kErroParametro = 3,
  kErroEstado = 4,
  kErroAliquota = 5,
  kErroMeio = 6,
  kErroNaoFiscal = 7,
  kErroItem = 8,
  kErroPagamento = 9,
  kErroBloqueada = 10,
  kErroRequerZ = 11,
  kErroSemPapel = 12,
  kErroVinculado = 13,
  kErroRecusado = 14,
};

// The largest amount the printer takes, in hundredths or thousandths.
const int64_t kMaximo = 100000000000LL;

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "dd/mm/yyyy" -> days, or -1.
long DiaDeTexto(const std::string& t) {
  if (t.size() != 10 || t[2] != '/' || t[5] != '/') return -1;
  const int64_t d = Digitos(t.substr(0, 2)), m = Digitos(t.substr(3, 2)), a = Digitos(t.substr(6, 4));
  if (d < 1 || d > 31 || m < 1 || m > 12 || a < 0) return -1;
  return DiaDe(static_cast<int>(a), static_cast<int>(m), static_cast<int>(d));
}

bool HoraValida(const std::string& t) {
  if (t.size() != 8 || t[2] != ':' || t[5] != ':') return false;
  const int64_t h = Digitos(t.substr(0, 2)), n = Digitos(t.substr(3, 2)), s = Digitos(t.substr(6, 2));
  return h >= 0 && h < 24 && n >= 0 && n < 60 && s >= 0 && s < 60;
}

ModeloImpressora Modelo() {
  ModeloImpressora m;
  m.Modelo = "FISCNET SIMULADA MFD";
  m.Versao = "01.00.05";
  m.NumSerie = "FN0000000000001234";
  m.NumECF = 7;
  m.NaoFiscais = 15;
  return m;
}

}  // namespace

SimFiscNET::SimFiscNET(const OpcoesSimulador&)
    : fECF(Modelo(), [this](const std::string& l) { Imprime(l); }, [this] { return FalhasAtivas().SemPapel; }) {
  // The printer rounds every item to the cent.
  fECF.SetArredonda(true);
  Contadores c;
  c.COO = 1234;
  c.CRZ = 20;
  fECF.SetContadores(c);
  fECF.SetGT(627500);
  fECF.SetAliquota(0, {1800, false, "ICMS 18%"});
  fECF.SetAliquota(1, {700, false, "ICMS 7%"});
  fECF.SetAliquota(2, {1200, false, "ICMS 12%"});
  fECF.SetAliquota(3, {500, true, "ISS 5%"});
  fECF.SetForma(SlotMeio(-2), {"Dinheiro", false, "Dinheiro"});
  fECF.SetForma(SlotMeio(0), {"Cheque", false, "Cheque"});
  fECF.SetForma(SlotMeio(1), {"Cart\xC6o", true, "Cart\xC6o de Cr\x82" "dito"});
  fECF.SetNaoFiscal(0, {"Sangria", false});
  fECF.SetNaoFiscal(1, {"Suprimento", true});
  // Twenty reductions on the days before today.
  const long hoje = fECF.Hoje();
  for (int i = 1; i <= 20; i++)
    fECF.AdicionaRegistroZ({i, 0, 1, hoje - (21 - i), 10000LL * i + 50, 0});
  Inicia();
}

SimFiscNET::~SimFiscNET() { Para(); }

// ----- Test accessors -----

void SimFiscNET::SetRespostaComoImpressoraReal(bool Real) {
  std::lock_guard<std::mutex> t(Trava());
  fReal = Real;
}

int SimFiscNET::EstadoFiscal() const {
  std::lock_guard<std::mutex> t(Trava());
  return Estado();
}

void SimFiscNET::SetRequerZ(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerZ(V);
}

std::optional<std::string> SimFiscNET::Parametro(const std::string& Comando, const std::string& Param) const {
  std::lock_guard<std::mutex> t(Trava());
  auto c = fUltimos.find(Comando);
  if (c == fUltimos.end()) return std::nullopt;
  auto p = c->second.find(Param);
  if (p == c->second.end()) return std::nullopt;
  return p->second.Texto;
}

std::vector<std::string> SimFiscNET::Comandos() const {
  std::lock_guard<std::mutex> t(Trava());
  return fComandos;
}

int SimFiscNET::Quadros() const {
  std::lock_guard<std::mutex> t(Trava());
  return fQuadros;
}

bool SimFiscNET::HorarioVerao() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.HorarioVerao();
}

int SimFiscNET::COO() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.COO();
}

// ----- Framing -----

size_t SimFiscNET::Processa(const std::string& Pendente, PtyPar::Saida& Out) {
  size_t inicio = Pendente.find('{');
  if (inicio == std::string::npos) return Pendente.size();  // line noise
  if (inicio > 0) return inicio;
  // The frame ends at the first '}' outside a quoted value.
  bool aspas = false;
  size_t fim = std::string::npos;
  for (size_t k = 1; k < Pendente.size(); k++) {
    char c = Pendente[k];
    if (aspas) {
      if (c == '\\') k++;
      else if (c == '"') aspas = false;
    } else if (c == '"') {
      aspas = true;
    } else if (c == '}') {
      fim = k;
      break;
    }
  }
  if (fim == std::string::npos) return Pendente.size() > 65536 ? Pendente.size() : 0;
  const int antes = LinhasImpressas();
  std::string resposta = Atende(Pendente.substr(0, fim + 1));
  Responde(Out, resposta, TempoImpressao(LinhasImpressas() - antes));
  return fim + 1;
}

std::string SimFiscNET::MontaResposta(int Seq, int Codigo, const std::string& Valores) const {
  std::string texto = "{" + std::to_string(fReal ? 0 : Seq) + ";" + std::to_string(Codigo) + ";" + Valores;
  if (fReal) return texto + ";}";
  return texto + ";" + std::to_string(texto.size()) + "}";
}

std::string SimFiscNET::MontaErro(int Seq, const Erro& E) const {
  return MontaResposta(Seq, E.Codigo,
                       EscreveTexto("NomeErro", E.Nome) + " " + EscreveTexto("Circunstancia", E.Circunstancia));
}

std::string SimFiscNET::EscreveTexto(const std::string& Nome, const std::string& Texto) const {
  static const char* kHex = "0123456789ABCDEF";
  std::string r = Nome + "=\"";
  for (char c : Texto) {
    auto b = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      r += '\\';
      r += c;
    } else if (b < 32 || (b > 127 && !fReal)) {
      r += "\\x";
      r += kHex[b >> 4];
      r += kHex[b & 15];
    } else {
      r += c;
    }
  }
  return r + "\"";
}

std::string SimFiscNET::TextoValor(const std::string& Nome, const std::string& Texto) const {
  return EscreveTexto(Nome, Texto).substr(Nome.size() + 1);
}

std::string SimFiscNET::EscreveMoeda(int64_t Centavos) const { return DinheiroMilhar(Centavos, fReal ? 4 : 2); }

std::string SimFiscNET::Atende(const std::string& Quadro) {
  // {seq;Nome;params;tamanho}: the last ';' outside quotes starts the length.
  size_t ultimo = std::string::npos;
  bool aspas = false;
  for (size_t k = 1; k + 1 < Quadro.size(); k++) {
    char c = Quadro[k];
    if (aspas) {
      if (c == '\\') k++;
      else if (c == '"') aspas = false;
    } else if (c == '"') {
      aspas = true;
    } else if (c == ';') {
      ultimo = k;
    }
  }
  const size_t p1 = Quadro.find(';');
  const size_t p2 = p1 == std::string::npos ? p1 : Quadro.find(';', p1 + 1);
  const Erro malFormado{kErroQuadro, "ErroProtocoloQuadro", "Quadro de comando mal formado"};
  if (p2 == std::string::npos || ultimo == std::string::npos || ultimo < p2) return MontaErro(0, malFormado);
  const int64_t seq = Digitos(Quadro.substr(1, p1 - 1));
  if (seq < 1 || seq > 250) return MontaErro(0, malFormado);
  const int s = static_cast<int>(seq);
  if (Digitos(Quadro.substr(ultimo + 1, Quadro.size() - ultimo - 2)) != static_cast<int64_t>(ultimo))
    return MontaErro(s, {kErroQuadro, "ErroProtocoloTamanho", "Tamanho do comando n\xC6o confere"});
  fQuadros++;

  const std::string comando = Quadro.substr(p1 + 1, p2 - p1 - 1);
  Params params;
  Erro e{0, "", ""};
  if (!LeParametros(ultimo > p2 ? Quadro.substr(p2 + 1, ultimo - p2 - 1) : "", params, e)) return MontaErro(s, e);
  fComandos.push_back(comando);
  fUltimos[comando] = params;

  if (FalhasAtivas().Recusa)
    return MontaErro(s, {kErroRecusado, "ErroCMDRecusado", "Impressora recusou o comando " + comando});
  const auto h = Tabela().find(comando);
  if (h == Tabela().end())
    return MontaErro(s, {kErroComando, "ErroCMDDesconhecido", "Comando desconhecido: " + comando});
  try {
    std::string valores;
    for (const auto& [nome, valor] : (this->*(h->second))(comando, params))
      valores += (valores.empty() ? "" : " ") + nome + "=" + valor;
    return MontaResposta(s, 0, valores);
  } catch (const Erro& erro) {
    return MontaErro(s, erro);
  }
}

bool SimFiscNET::LeParametros(const std::string& Texto, Params& P, Erro& E) const {
  auto falha = [&E](const std::string& Circunstancia) {
    E = {kErroParametro, "ErroCMDParametroInvalido", Circunstancia};
    return false;
  };
  for (size_t i = 0; i < Texto.size();) {
    if (Texto[i] == ' ') {
      i++;
      continue;
    }
    const size_t igual = Texto.find('=', i);
    if (igual == std::string::npos || igual == i) return falha("Par\x83metro sem nome ou sem valor");
    const std::string nome = Texto.substr(i, igual - i);
    size_t j = igual + 1;
    Valor v{' ', ""};
    if (j < Texto.size() && Texto[j] == '"') {
      v.Tipo = '"';
      size_t k = j + 1;
      for (; k < Texto.size() && Texto[k] != '"'; k++) {
        const char c = Texto[k];
        if (c != '\\') {
          v.Texto += c;
          continue;
        }
        const char prox = k + 1 < Texto.size() ? Texto[k + 1] : '\0';
        if (prox == '\\' || prox == '"') {
          v.Texto += prox;
          k++;
        } else if (prox == 'x' && k + 3 < Texto.size() && Hex(Texto[k + 2]) >= 0 && Hex(Texto[k + 3]) >= 0) {
          v.Texto += static_cast<char>(Hex(Texto[k + 2]) * 16 + Hex(Texto[k + 3]));
          k += 3;
        } else {
          return falha("Escape inv\xA0lido no par\x83metro " + nome);
        }
      }
      if (k >= Texto.size()) return falha("Texto sem aspas finais no par\x83metro " + nome);
      i = k + 1;
    } else if (j < Texto.size() && Texto[j] == '#') {
      v.Tipo = '#';
      const size_t k = Texto.find('#', j + 1);
      if (k == std::string::npos) return falha("Data sem # final no par\x83metro " + nome);
      v.Texto = Texto.substr(j + 1, k - j - 1);
      i = k + 1;
    } else {
      size_t k = Texto.find(' ', j);
      if (k == std::string::npos) k = Texto.size();
      v.Texto = Texto.substr(j, k - j);
      i = k;
    }
    P[nome] = v;
  }
  return true;
}

const std::map<std::string, SimFiscNET::Tratador>& SimFiscNET::Tabela() {
  static const std::map<std::string, Tratador> t = {
      {"LeTexto", &SimFiscNET::LeTexto},
      {"LeInteiro", &SimFiscNET::LeInteiro},
      {"LeMoeda", &SimFiscNET::LeMoeda},
      {"LeData", &SimFiscNET::LeData},
      {"LeHora", &SimFiscNET::LeHora},
      {"LeIndicador", &SimFiscNET::LeIndicador},
      {"AbreCupomFiscal", &SimFiscNET::AbreCupomFiscal},
      {"VendeItem", &SimFiscNET::VendeItem},
      {"AcresceItemFiscal", &SimFiscNET::AcresceItemFiscal},
      {"AcresceSubtotal", &SimFiscNET::AcresceSubtotal},
      {"PagaCupom", &SimFiscNET::PagaCupom},
      {"EncerraDocumento", &SimFiscNET::EncerraDocumento},
      {"CancelaCupom", &SimFiscNET::CancelaCupom},
      {"CancelaItemFiscal", &SimFiscNET::CancelaItemFiscal},
      {"AbreGaveta", &SimFiscNET::AbreGaveta},
      {"EmiteLeituraX", &SimFiscNET::EmiteLeituraX},
      {"EmiteReducaoZ", &SimFiscNET::EmiteReducaoZ},
      {"AcertaHorarioVerao", &SimFiscNET::AcertaHorarioVerao},
      {"AbreGerencial", &SimFiscNET::AbreGerencial},
      {"ImprimeTexto", &SimFiscNET::ImprimeTexto},
      {"AbreCreditoDebito", &SimFiscNET::AbreCreditoDebito},
      {"AvancaPapel", &SimFiscNET::AvancaPapel},
      {"ChancelaCheque", &SimFiscNET::Aceita},
      {"ReinicializaEquipamento", &SimFiscNET::Aceita},
      {"EmiteLeituraMF", &SimFiscNET::EmiteLeituraMF},
      {"LeImpressao", &SimFiscNET::LeImpressao},
      {"LeAliquota", &SimFiscNET::LeAliquota},
      {"DefineAliquota", &SimFiscNET::DefineAliquota},
      {"LeMeioPagamento", &SimFiscNET::LeMeioPagamento},
      {"DefineMeioPagamento", &SimFiscNET::DefineMeioPagamento},
      {"LeNaoFiscal", &SimFiscNET::LeNaoFiscal},
      {"DefineNaoFiscal", &SimFiscNET::DefineNaoFiscal},
  };
  return t;
}

// ----- Parameters -----

bool SimFiscNET::Tem(const Params& P, const std::string& Nome) const { return P.count(Nome) > 0; }

std::string SimFiscNET::Texto(const Params& P, const std::string& Nome, bool Obrigatorio) const {
  auto it = P.find(Nome);
  if (it == P.end()) {
    if (Obrigatorio) throw Erro{kErroParametro, "ErroCMDParametroAusente", "Par\x83metro " + Nome + " ausente"};
    return "";
  }
  if (it->second.Tipo != '"')
    throw Erro{kErroParametro, "ErroCMDParametroInvalido", "Par\x83metro " + Nome + " deve ser texto"};
  return it->second.Texto;
}

long long SimFiscNET::Inteiro(const Params& P, const std::string& Nome) const {
  auto it = P.find(Nome);
  if (it == P.end()) throw Erro{kErroParametro, "ErroCMDParametroAusente", "Par\x83metro " + Nome + " ausente"};
  const std::string& t = it->second.Texto;
  char* fim = nullptr;
  errno = 0;
  long long v = std::strtoll(t.c_str(), &fim, 10);
  if (it->second.Tipo != ' ' || t.empty() || *fim || errno == ERANGE)
    throw Erro{kErroParametro, "ErroCMDParametroInvalido", "Par\x83metro " + Nome + " n\xC6o \x82 inteiro: " + t};
  return v;
}

long long SimFiscNET::InteiroOu(const Params& P, const std::string& Nome, long long Padrao) const {
  return Tem(P, Nome) ? Inteiro(P, Nome) : Padrao;
}

double SimFiscNET::Numero(const Params& P, const std::string& Nome) const {
  auto it = P.find(Nome);
  if (it == P.end()) throw Erro{kErroParametro, "ErroCMDParametroAusente", "Par\x83metro " + Nome + " ausente"};
  std::string t = it->second.Texto;
  // The printer takes a decimal comma only.
  bool ok = it->second.Tipo == ' ' && !t.empty() && t.find('.') == std::string::npos;
  for (char& c : t)
    if (c == ',') c = '.';
  char* fim = nullptr;
  double v = std::strtod(t.c_str(), &fim);
  if (!ok || *fim || !std::isfinite(v))
    throw Erro{kErroParametro, "ErroCMDParametroInvalido",
               "Par\x83metro " + Nome + " n\xC6o \x82 num\x82rico: " + it->second.Texto};
  return v;
}

int64_t SimFiscNET::Centesimos(const Params& P, const std::string& Nome) const {
  const double v = Numero(P, Nome) * 100;
  if (std::fabs(v) > static_cast<double>(kMaximo))
    throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Par\x83metro " + Nome + " fora da faixa"};
  return std::llround(v);
}

int64_t SimFiscNET::Milesimos(const Params& P, const std::string& Nome) const {
  const double v = Numero(P, Nome) * 1000;
  if (std::fabs(v) > static_cast<double>(kMaximo))
    throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Par\x83metro " + Nome + " fora da faixa"};
  return std::llround(v);
}

bool SimFiscNET::Booleano(const Params& P, const std::string& Nome, bool Padrao) const {
  auto it = P.find(Nome);
  if (it == P.end()) return Padrao;
  if (it->second.Tipo == ' ' && it->second.Texto == "t") return true;
  if (it->second.Tipo == ' ' && it->second.Texto == "f") return false;
  throw Erro{kErroParametro, "ErroCMDParametroInvalido", "Par\x83metro " + Nome + " deve ser t ou f"};
}

void SimFiscNET::Faixa(const std::string& Nome, long long V, long long De, long long Ate) {
  if (V < De || V > Ate)
    throw Erro{kErroParametro, "ErroCMDParametroForaFaixa",
               "Par\x83metro " + Nome + " fora da faixa: " + std::to_string(V)};
}

// ----- State -----

int SimFiscNET::Estado() const {
  switch (fECF.DocumentoAberto()) {
    case Documento::Cupom: case Documento::NaoFiscal: return fECF.EmPagamento() ? 4 : 2;
    case Documento::Gerencial: return 64;
    case Documento::Vinculado: return 128;
    default: return 1;
  }
}

void SimFiscNET::ExigeEstado(const std::string& Comando, std::initializer_list<int> Estados) const {
  for (int e : Estados)
    if (e == Estado()) return;
  throw Erro{kErroEstado, "ErroCMDEstadoInvalido",
             "Comando " + Comando + " n\xC6o permitido no estado " + std::to_string(Estado())};
}

void SimFiscNET::Exige(ErroFiscal E, const std::string& Comando, const std::string& Alvo) const {
  switch (E) {
    case ErroFiscal::Nenhum: return;
    case ErroFiscal::SemPapel: throw Erro{kErroSemPapel, "ErroCMDSemPapel", "Impressora sem papel"};
    case ErroFiscal::Bloqueada:
      throw Erro{kErroBloqueada, "ErroCMDReducaoZEmitida", "ECF bloqueado at\x82 00:00"};
    case ErroFiscal::RequerZ: throw Erro{kErroRequerZ, "ErroCMDRequerReducaoZ", "Redu\x87\xC6o Z pendente"};
    case ErroFiscal::AliquotaInvalida:
      throw Erro{kErroAliquota, "ErroCMDAliquotaNaoProgramada", "Al\xA1quota " + Alvo + " n\xC6o programada"};
    case ErroFiscal::FormaInvalida:
      throw Erro{kErroMeio, "ErroCMDMeioPagamentoNaoProgramado", "Meio de pagamento " + Alvo + " n\xC6o programado"};
    case ErroFiscal::TipoInvalido:
      throw Erro{kErroNaoFiscal, "ErroCMDNaoFiscalNaoProgramado", "N\xC6o fiscal " + Alvo + " n\xC6o programado"};
    case ErroFiscal::ItemInexistente: throw Erro{kErroItem, "ErroCMDItemInexistente", "Item " + Alvo + " inexistente"};
    case ErroFiscal::VinculadoInvalido:
      throw Erro{kErroVinculado, "ErroCMDVinculadoNaoPermitido", "Comprovante n\xC6o permitido para o meio " + Alvo};
    case ErroFiscal::ValorInvalido: throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Valor fora da faixa"};
    case ErroFiscal::TabelaCheia: throw Erro{kErroParametro, "ErroCMDTabelaCheia", "Tabela cheia"};
    case ErroFiscal::CupomVazio: throw Erro{kErroEstado, "ErroCMDCupomVazio", "Cupom sem itens"};
    case ErroFiscal::PagamentoIncompleto:
      throw Erro{kErroPagamento, "ErroCMDPagamentoIncompleto", "Falta pagar " + Dinheiro(fECF.Saldo())};
    case ErroFiscal::CancelamentoInvalido:
      throw Erro{kErroEstado, "ErroCMDEstadoInvalido", "N\xC6o h\xA0 cupom para cancelar"};
    default:
      throw Erro{kErroEstado, "ErroCMDEstadoInvalido",
                 "Comando " + Comando + " n\xC6o permitido no estado " + std::to_string(Estado())};
  }
}

// Payment method codes: -2 is cash, then 0..14.
int SimFiscNET::SlotMeio(long long Codigo) {
  if (Codigo == -2) return 0;
  return Codigo >= 0 && Codigo <= 14 ? static_cast<int>(Codigo) + 1 : -1;
}

long long SimFiscNET::CodigoMeio(int Slot) { return Slot == 0 ? -2 : Slot - 1; }

// ----- Reads -----

SimFiscNET::Resultado SimFiscNET::LeTexto(const std::string&, const Params& P) {
  const std::string n = Texto(P, "NomeTexto");
  std::string v;
  if (n == "Marca") v = "Simulada";
  else if (n == "VersaoSW") v = fECF.Modelo().Versao;
  else if (n == "NumeroSerieECF") v = fECF.Modelo().NumSerie;
  else throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Texto desconhecido: " + n};
  return {{"ValorTexto", TextoValor("ValorTexto", v)}};
}

SimFiscNET::Resultado SimFiscNET::LeInteiro(const std::string&, const Params& P) {
  const std::string n = Texto(P, "NomeInteiro");
  long long v;
  if (n == "COO") v = fECF.COO();
  else if (n == "CRO") v = fECF.CRO();
  else if (n == "CRZ") v = fECF.CRZ();
  else if (n == "Loja") v = fECF.Modelo().NumLoja;
  else if (n == "ECF") v = fECF.Modelo().NumECF;
  else if (n == "Indicadores")
    v = (fECF.Bloqueada() ? 32 : 0) | (fECF.RequerZ() ? 128 : 0) | (fECF.HorarioVerao() ? 1 : 0);
  else if (n == "EstadoFiscal") v = Estado();
  else throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Inteiro desconhecido: " + n};
  return {{"ValorInteiro", std::to_string(v)}};
}

SimFiscNET::Resultado SimFiscNET::LeMoeda(const std::string&, const Params& P) {
  // Between receipts the document totals are the last receipt's.
  const std::string n = Texto(P, "NomeDadoMonetario");
  const bool aberto = fECF.CupomAberto();
  int64_t pagoUltimo = 0;
  for (const Pagamento& p : fECF.PagamentosUltimoCupom()) pagoUltimo += p.Valor;
  int64_t v;
  if (n == "TotalDocLiquido") v = aberto ? fECF.TotalCupom() : fECF.TotalUltimoCupom();
  else if (n == "TotalDocValorPago") v = aberto ? fECF.TotalPago() : pagoUltimo;
  else if (n == "GT") v = fECF.GT();
  else throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Dado monet\xA0rio desconhecido: " + n};
  return {{"ValorMoeda", EscreveMoeda(v)}};
}

SimFiscNET::Resultado SimFiscNET::LeData(const std::string&, const Params& P) {
  if (Texto(P, "NomeData") != "Data") throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Data desconhecida"};
  return {{"ValorData", "#" + fECF.DataHora("dd/mm/yyyy") + "#"}};
}

SimFiscNET::Resultado SimFiscNET::LeHora(const std::string&, const Params& P) {
  if (Texto(P, "NomeHora") != "Hora") throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Hora desconhecida"};
  return {{"ValorHora", "#" + fECF.DataHora("hh:nn:ss") + "#"}};
}

SimFiscNET::Resultado SimFiscNET::LeIndicador(const std::string&, const Params& P) {
  const std::string n = Texto(P, "NomeIndicador");
  bool v;
  if (n == "SensorGaveta") v = fECF.GavetaAberta();
  else if (n == "SensorPoucoPapel") v = FalhasAtivas().PoucoPapel || FalhasAtivas().SemPapel;
  else if (n == "HorarioVerao") v = fECF.HorarioVerao();
  else if (n == "SensorCheque") v = false;
  else throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Indicador desconhecido: " + n};
  return {{"ValorNumericoIndicador", v ? "1" : "0"}};
}

// ----- The fiscal receipt -----

SimFiscNET::Resultado SimFiscNET::AbreCupomFiscal(const std::string& C, const Params& P) {
  ExigeEstado(C, {1});
  Exige(fECF.AbreCupom(Texto(P, "IdConsumidor", false)), C);
  return {};
}

SimFiscNET::Resultado SimFiscNET::VendeItem(const std::string& C, const Params& P) {
  ExigeEstado(C, {2});
  const long long aliq = Inteiro(P, "CodAliquota");
  ItemVendido it;
  it.Aliquota = aliq == -2 ? kSubstituicao : aliq == -3 ? kIsento : aliq == -4 ? kNaoIncidencia
              : aliq >= 0 && aliq <= 15 ? static_cast<int>(aliq) : 99;
  if (it.Aliquota == 99 || (aliq >= 0 && fECF.Aliquotas()[static_cast<size_t>(aliq)].Valor == 0))
    Exige(ErroFiscal::AliquotaInvalida, C, std::to_string(aliq));
  it.PrecoMil = Milesimos(P, "PrecoUnitario");
  it.QtdMil = Milesimos(P, "Quantidade");
  if (it.PrecoMil <= 0 || it.QtdMil <= 0)
    throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Pre\x87o e quantidade devem ser positivos"};
  it.Descricao = Texto(P, "NomeProduto");
  it.Codigo = Texto(P, "CodProduto", false);
  it.Unidade = Texto(P, "Unidade", false);
  if (!it.Unidade.empty()) it.Unidade = " " + it.Unidade;
  Exige(fECF.VendeItem(std::move(it)), C, std::to_string(aliq));
  return {{"NumItem", std::to_string(fECF.Itens().size())}};
}

SimFiscNET::Resultado SimFiscNET::AcresceItemFiscal(const std::string& C, const Params& P) {
  ExigeEstado(C, {2});
  const long long n = InteiroOu(P, "NumItem", static_cast<long long>(fECF.Itens().size()));
  const auto& itens = fECF.Itens();
  if (n < 1 || n > static_cast<long long>(itens.size()) || itens[static_cast<size_t>(n - 1)].Cancelado)
    Exige(ErroFiscal::ItemInexistente, C, std::to_string(n));
  if (Booleano(P, "Cancelar", false)) {
    Exige(fECF.AcresceItem(static_cast<int>(n), 0), C, std::to_string(n));
    return {};
  }
  int64_t valor;
  if (Tem(P, "ValorPercentual")) {
    const int64_t pct = Centesimos(P, "ValorPercentual");  // hundredths of a percent
    if (pct <= -10000 || pct == 0) throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Percentual fora da faixa"};
    valor = std::llround(static_cast<double>(itens[static_cast<size_t>(n - 1)].Valor) * static_cast<double>(pct) / 10000.0);
  } else {
    valor = Centesimos(P, "ValorAcrescimo");
  }
  if (fECF.AcresceItem(static_cast<int>(n), valor) == ErroFiscal::ValorInvalido)
    throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Desconto maior que o item"};
  return {};
}

SimFiscNET::Resultado SimFiscNET::AcresceSubtotal(const std::string& C, const Params& P) {
  ExigeEstado(C, {2});
  if (Booleano(P, "Cancelar", false)) {
    if (fECF.TotalItens() > 0) Exige(fECF.AcresceSubtotal(0), C);
    return {};
  }
  const int64_t bruto = fECF.TotalItens();
  const int64_t valor = Tem(P, "ValorPercentual")
                            ? std::llround(static_cast<double>(bruto) * static_cast<double>(Centesimos(P, "ValorPercentual")) / 10000.0)
                            : Centesimos(P, "ValorAcrescimo");
  if (valor == 0 || bruto + valor <= 0) throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Valor fora da faixa"};
  Exige(fECF.AcresceSubtotal(valor), C);
  return {};
}

SimFiscNET::Resultado SimFiscNET::PagaCupom(const std::string& C, const Params& P) {
  ExigeEstado(C, {2, 4});
  if (fECF.TotalItens() <= 0) Exige(ErroFiscal::CupomVazio, C);
  const long long cod = Inteiro(P, "CodMeioPagamento");
  const int slot = SlotMeio(cod);
  if (slot < 0 || fECF.Formas()[static_cast<size_t>(slot)].Descricao.empty())
    Exige(ErroFiscal::FormaInvalida, C, std::to_string(cod));
  const int64_t valor = Centesimos(P, "Valor");
  if (valor <= 0) throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Valor fora da faixa"};
  Exige(fECF.Paga(slot, valor, Texto(P, "TextoAdicional", false)), C, std::to_string(cod));
  return {};
}

SimFiscNET::Resultado SimFiscNET::EncerraDocumento(const std::string& C, const Params& P) {
  ExigeEstado(C, {2, 4, 64, 128});
  std::string texto = Texto(P, "TextoPromocional", false);
  const std::string op = Texto(P, "Operador", false);
  if (!op.empty()) texto += (texto.empty() || texto.back() == '\n' ? "" : "\n") + ("Operador: " + op);
  if (fECF.CupomAberto()) {
    Exige(fECF.FechaCupom(texto), C);
    return {};
  }
  if (!texto.empty()) Exige(fECF.ImprimeTexto(texto), C);
  Exige(fECF.FechaRelatorio(), C);
  return {};
}

SimFiscNET::Resultado SimFiscNET::CancelaCupom(const std::string& C, const Params&) {
  const ErroFiscal e = fECF.CancelaCupom();
  Exige(e == ErroFiscal::DocumentoAberto ? ErroFiscal::CancelamentoInvalido : e, C);
  return {};
}

SimFiscNET::Resultado SimFiscNET::CancelaItemFiscal(const std::string& C, const Params& P) {
  ExigeEstado(C, {2});
  const long long n = Inteiro(P, "NumItem");
  const int item = n < 1 || n > 9999 ? 0 : static_cast<int>(n);
  Exige(fECF.CancelaItem(item), C, std::to_string(n));
  return {};
}

SimFiscNET::Resultado SimFiscNET::AbreGaveta(const std::string&, const Params&) {
  fECF.AbreGaveta();
  return {};
}

// ----- Day reports -----

SimFiscNET::Resultado SimFiscNET::EmiteLeituraX(const std::string& C, const Params& P) {
  ExigeEstado(C, {1});
  const std::string destino = Texto(P, "Destino");
  if (destino != "I" && destino != "S") throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Destino inv\xA0lido"};
  Exige(fECF.LeituraX(), C);
  const std::string op = Texto(P, "Operador", false);
  if (!op.empty()) Imprime("Operador: " + op);
  return {};
}

SimFiscNET::Resultado SimFiscNET::EmiteReducaoZ(const std::string& C, const Params& P) {
  ExigeEstado(C, {1});
  if (fECF.Bloqueada()) throw Erro{kErroBloqueada, "ErroCMDReducaoZEmitida", "Redu\x87\xC6o Z j\xA0 emitida"};
  if (Tem(P, "Hora") && (P.at("Hora").Tipo != '#' || !HoraValida(P.at("Hora").Texto)))
    throw Erro{kErroParametro, "ErroCMDParametroInvalido", "Hora inv\xA0lida"};
  Exige(fECF.ReducaoZ(), C);
  return {};
}

SimFiscNET::Resultado SimFiscNET::AcertaHorarioVerao(const std::string& C, const Params& P) {
  ExigeEstado(C, {1});
  const long long hv = Inteiro(P, "EntradaHV");
  Faixa("EntradaHV", hv, 0, 1);
  Exige(fECF.MudaHorarioVerao(hv == 1), C);
  return {};
}

// ----- Managerial report and linked receipt -----

SimFiscNET::Resultado SimFiscNET::AbreGerencial(const std::string& C, const Params& P) {
  ExigeEstado(C, {1});
  Faixa("CodGerencial", Inteiro(P, "CodGerencial"), 0, 19);
  Exige(fECF.AbreGerencial(), C);
  return {};
}

SimFiscNET::Resultado SimFiscNET::ImprimeTexto(const std::string& C, const Params& P) {
  ExigeEstado(C, {64, 128});
  Exige(fECF.ImprimeTexto(Texto(P, "TextoLivre")), C);
  return {};
}

SimFiscNET::Resultado SimFiscNET::AbreCreditoDebito(const std::string& C, const Params& P) {
  ExigeEstado(C, {1});
  const long long cod = Inteiro(P, "CodMeioPagamento");
  const int slot = SlotMeio(cod);
  if (slot < 0) Exige(ErroFiscal::FormaInvalida, C, std::to_string(cod));
  const long long coo = InteiroOu(P, "COO", 0);
  const int64_t valor = Centesimos(P, "Valor");
  if (valor <= 0) throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Valor fora da faixa"};
  const int cooLimitado = coo < 0 || coo > 999999 ? -1 : static_cast<int>(coo);
  Exige(fECF.AbreVinculado(slot, valor, cooLimitado), C, std::to_string(cod));
  return {};
}

SimFiscNET::Resultado SimFiscNET::AvancaPapel(const std::string&, const Params& P) {
  const long long avanco = Inteiro(P, "Avanco");
  Faixa("Avanco", avanco, 0, 9 * 100);
  for (long long i = 0; i < avanco / 9; i++) Imprime("");
  return {};
}

SimFiscNET::Resultado SimFiscNET::Aceita(const std::string&, const Params&) { return {}; }

// ----- Fiscal memory -----

SimFiscNET::Resultado SimFiscNET::EmiteLeituraMF(const std::string& C, const Params& P) {
  ExigeEstado(C, {1});
  const std::string destino = Texto(P, "Destino");
  if (destino != "I" && destino != "S") throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Destino inv\xA0lido"};
  Booleano(P, "LeituraSimplificada", false);
  long long de, ate;
  const bool porData = Tem(P, "DataInicial") || Tem(P, "DataFinal");
  if (porData) {
    de = DiaDeTexto(P.count("DataInicial") ? P.at("DataInicial").Texto : "");
    ate = DiaDeTexto(P.count("DataFinal") ? P.at("DataFinal").Texto : "");
    if (de < 0 || ate < 0) throw Erro{kErroParametro, "ErroCMDParametroInvalido", "Data inv\xA0lida"};
  } else {
    de = Inteiro(P, "ReducaoInicial");
    ate = Inteiro(P, "ReducaoFinal");
    Faixa("ReducaoInicial", de, 1, 9999);
    Faixa("ReducaoFinal", ate, 1, 999999);
  }
  if (ate < de) throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Intervalo invertido"};
  if (destino == "I") {
    Exige(fECF.ImprimeMemoriaFiscal(static_cast<long>(de), static_cast<long>(ate), porData), C);
    return {};
  }
  fCaptura.clear();
  for (const std::string& l : fECF.TextoMemoriaFiscal(static_cast<long>(de), static_cast<long>(ate), porData))
    fCaptura += l + "\n";
  return {};
}

SimFiscNET::Resultado SimFiscNET::LeImpressao(const std::string&, const Params&) {
  const std::string parte = fCaptura.substr(0, 100);
  fCaptura.erase(0, parte.size());
  return {{"TextoImpressao", TextoValor("TextoImpressao", parte)}};
}

// ----- Tables -----

SimFiscNET::Resultado SimFiscNET::LeAliquota(const std::string& C, const Params& P) {
  const long long n = Inteiro(P, "CodAliquotaProgramavel");
  Faixa("CodAliquotaProgramavel", n, 0, 15);
  const AliquotaFiscal& a = fECF.Aliquotas()[static_cast<size_t>(n)];
  if (a.Valor == 0) Exige(ErroFiscal::AliquotaInvalida, C, std::to_string(n));
  return {{"AliquotaICMS", a.ISS ? "f" : "t"},
          {"CodAliquotaProgramavel", std::to_string(n)},
          {"DescricaoAliquota", TextoValor("DescricaoAliquota", a.Descricao)},
          {"PercentualAliquota", EscreveMoeda(a.Valor)}};
}

SimFiscNET::Resultado SimFiscNET::DefineAliquota(const std::string& C, const Params& P) {
  ExigeEstado(C, {1});
  const long long n = Inteiro(P, "CodAliquotaProgramavel");
  Faixa("CodAliquotaProgramavel", n, -1, 15);
  const int64_t pct = Centesimos(P, "PercentualAliquota");
  if (pct <= 0 || pct >= 10000) throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Percentual fora da faixa"};
  int slot = static_cast<int>(n);
  const ErroFiscal e = fECF.ProgramaAliquota(
      {static_cast<int>(pct), !Booleano(P, "AliquotaICMS", true), Texto(P, "DescricaoAliquota", false)}, slot);
  if (e == ErroFiscal::TabelaCheia)
    throw Erro{kErroParametro, "ErroCMDTabelaCheia", "Tabela de al\xA1quotas cheia"};
  Exige(e, C);
  return {{"CodAliquotaProgramavel", std::to_string(slot)}};
}

SimFiscNET::Resultado SimFiscNET::LeMeioPagamento(const std::string& C, const Params& P) {
  const long long n = Inteiro(P, "CodMeioPagamentoProgram");
  if (n != -2) Faixa("CodMeioPagamentoProgram", n, 0, 14);
  const zuvo::sim::FormaPagamento& f = fECF.Formas()[static_cast<size_t>(SlotMeio(n))];
  if (f.Descricao.empty()) Exige(ErroFiscal::FormaInvalida, C, std::to_string(n));
  return {{"CodMeioPagamentoProgram", std::to_string(n)},
          {"DescricaoMeioPagamento", TextoValor("DescricaoMeioPagamento", f.Detalhe)},
          {"NomeMeioPagamento", TextoValor("NomeMeioPagamento", f.Descricao)},
          {"PermiteVinculado", f.PermiteVinculado ? "t" : "f"}};
}

SimFiscNET::Resultado SimFiscNET::DefineMeioPagamento(const std::string& C, const Params& P) {
  ExigeEstado(C, {1});
  const long long n = Inteiro(P, "CodMeioPagamentoProgram");
  if (n != -2) Faixa("CodMeioPagamentoProgram", n, -1, 14);
  int slot = n == -1 ? -1 : SlotMeio(n);
  const ErroFiscal e = fECF.ProgramaForma(
      {Texto(P, "NomeMeioPagamento"), Booleano(P, "PermiteVinculado", false), Texto(P, "DescricaoMeioPagamento", false)},
      slot);
  if (e == ErroFiscal::TabelaCheia) throw Erro{kErroParametro, "ErroCMDTabelaCheia", "Tabela de meios cheia"};
  if (e != ErroFiscal::JaProgramado) Exige(e, C);
  return {{"CodMeioPagamentoProgram", std::to_string(CodigoMeio(slot))}};
}

SimFiscNET::Resultado SimFiscNET::LeNaoFiscal(const std::string& C, const Params& P) {
  const long long n = Inteiro(P, "CodNaoFiscal");
  Faixa("CodNaoFiscal", n, 0, 14);
  const TipoNaoFiscal& t = fECF.NaoFiscais()[static_cast<size_t>(n)];
  if (t.Descricao.empty()) Exige(ErroFiscal::TipoInvalido, C, std::to_string(n));
  return {{"CodNaoFiscal", std::to_string(n)},
          {"NomeNaoFiscal", TextoValor("NomeNaoFiscal", t.Descricao)},
          {"TipoNaoFiscal", t.Entrada ? "t" : "f"}};
}

SimFiscNET::Resultado SimFiscNET::DefineNaoFiscal(const std::string& C, const Params& P) {
  ExigeEstado(C, {1});
  const long long n = Inteiro(P, "CodNaoFiscal");
  Faixa("CodNaoFiscal", n, -1, 14);
  int slot = static_cast<int>(n);
  const ErroFiscal e = fECF.ProgramaNaoFiscal({Texto(P, "NomeNaoFiscal"), Booleano(P, "TipoNaoFiscal", true)}, slot);
  if (e == ErroFiscal::TabelaCheia)
    throw Erro{kErroParametro, "ErroCMDTabelaCheia", "Tabela de n\xC6o fiscais cheia"};
  if (e != ErroFiscal::JaProgramado) Exige(e, C);
  return {{"CodNaoFiscal", std::to_string(slot)}};
}

}  // namespace zuvo::sim
