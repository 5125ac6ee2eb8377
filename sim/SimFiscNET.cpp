#include "sim/SimFiscNET.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

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

double Arredonda2(double v) { return std::round(v * 100.0 + (v >= 0 ? 1e-7 : -1e-7)) / 100.0; }

std::string Decimal(double v, int casas) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", casas, v);
  std::string s = buf;
  for (char& c : s)
    if (c == '.') c = ',';
  return s;
}

// 1234.5 with 2 decimals -> "1.234,50"
std::string ComMilhar(double v, int casas) {
  std::string s = Decimal(std::fabs(v), casas);
  size_t virgula = s.find(',');
  std::string inteiro = s.substr(0, virgula), resto = s.substr(virgula);
  std::string r;
  for (size_t i = 0; i < inteiro.size(); i++) {
    if (i > 0 && (inteiro.size() - i) % 3 == 0) r += '.';
    r += inteiro[i];
  }
  return (v < 0 ? "-" : "") + r + resto;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Days since 1970-01-01 of a civil date, and back.
long DiasDe(int a, int m, int d) {
  a -= m <= 2;
  const long era = (a >= 0 ? a : a - 399) / 400;
  const long yoe = a - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::string DataDe(long dias) {
  dias += 719468;
  const long era = (dias >= 0 ? dias : dias - 146096) / 146097;
  const long doe = dias - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long a = yoe + era * 400;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const long d = doy - (153 * mp + 2) / 5 + 1;
  const long m = mp + (mp < 10 ? 3 : -9);
  a += m <= 2;
  char buf[80];
  std::snprintf(buf, sizeof buf, "%02ld/%02ld/%04ld", d, m, a);
  return buf;
}

// "dd/mm/yyyy" -> days, or -1.
long LeData(const std::string& t) {
  int d, m, a;
  char extra;
  if (t.size() != 10 || std::sscanf(t.c_str(), "%2d/%2d/%4d%c", &d, &m, &a, &extra) != 3) return -1;
  if (m < 1 || m > 12 || d < 1 || d > 31) return -1;
  return DiasDe(a, m, d);
}

bool HoraValida(const std::string& t) {
  int h, n, s;
  char extra;
  if (t.size() != 8 || std::sscanf(t.c_str(), "%2d:%2d:%2d%c", &h, &n, &s, &extra) != 3) return false;
  return h >= 0 && h < 24 && n >= 0 && n < 60 && s >= 0 && s < 60;
}

}  // namespace

SimFiscNET::SimFiscNET(const OpcoesSimulador&) {
  fAliquotas[0] = {true, 18.0, true, "ICMS 18%"};
  fAliquotas[1] = {true, 7.0, true, "ICMS 7%"};
  fAliquotas[2] = {true, 12.0, true, "ICMS 12%"};
  fAliquotas[3] = {true, 5.0, false, "ISS 5%"};
  fMeios[-2] = {true, "Dinheiro", "Dinheiro", false};
  fMeios[0] = {true, "Cheque", "Cheque", false};
  fMeios[1] = {true, "Cart\xC6o", "Cart\xC6o de Cr\x82" "dito", true};
  fNaoFiscais[0] = {true, "Sangria", false};
  fNaoFiscais[1] = {true, "Suprimento", true};
  std::string hoje;
  long dia = Agora(&hoje, nullptr);
  for (int i = 1; i <= fCRZ; i++)
    fReducoes.push_back({i, DataDe(dia - (fCRZ + 1 - i)), dia - (fCRZ + 1 - i), 100.0 * i + 0.5});
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
  return fEstado;
}

void SimFiscNET::SetRequerZ(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fRequerZ = V;
}

std::optional<std::string> SimFiscNET::Parametro(const std::string& Comando,
                                                 const std::string& Param) const {
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
  return fHorarioVerao;
}

int SimFiscNET::COO() const {
  std::lock_guard<std::mutex> t(Trava());
  return fCOO;
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
  fLinhas = 0;
  std::string resposta = Atende(Pendente.substr(0, fim + 1));
  Responde(Out, resposta, TempoImpressao(fLinhas));
  return fim + 1;
}

std::string SimFiscNET::MontaResposta(int Seq, int Codigo, const std::string& Valores) const {
  std::string texto = "{" + std::to_string(fReal ? 0 : Seq) + ";" + std::to_string(Codigo) + ";" +
                      Valores;
  if (fReal) return texto + ";}";
  return texto + ";" + std::to_string(texto.size()) + "}";
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

std::string SimFiscNET::EscreveMoeda(double Valor) const { return ComMilhar(Valor, fReal ? 4 : 2); }

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
  size_t p1 = Quadro.find(';');
  size_t p2 = p1 == std::string::npos ? p1 : Quadro.find(';', p1 + 1);
  auto erro = [&](int seq, const Erro& e) {
    return MontaResposta(seq, e.Codigo,
                         EscreveTexto("NomeErro", e.Nome) + " " +
                             EscreveTexto("Circunstancia", e.Circunstancia));
  };
  const Erro malFormado{kErroQuadro, "ErroProtocoloQuadro", "Quadro de comando mal formado"};
  if (p2 == std::string::npos || ultimo == std::string::npos || ultimo < p2) return erro(0, malFormado);
  char* fimNum = nullptr;
  std::string seqTexto = Quadro.substr(1, p1 - 1);
  long seq = std::strtol(seqTexto.c_str(), &fimNum, 10);
  if (seqTexto.empty() || *fimNum || seq < 1 || seq > 250) return erro(0, malFormado);
  std::string tamanho = Quadro.substr(ultimo + 1, Quadro.size() - ultimo - 2);
  long tam = std::strtol(tamanho.c_str(), &fimNum, 10);
  if (tamanho.empty() || *fimNum || tam != static_cast<long>(ultimo))
    return erro(static_cast<int>(seq),
                {kErroQuadro, "ErroProtocoloTamanho", "Tamanho do comando n\xC6o confere"});
  fQuadros++;

  std::string comando = Quadro.substr(p1 + 1, p2 - p1 - 1);
  std::string texto = ultimo > p2 ? Quadro.substr(p2 + 1, ultimo - p2 - 1) : "";
  Params params;
  for (size_t i = 0; i < texto.size();) {
    if (texto[i] == ' ') {
      i++;
      continue;
    }
    size_t igual = texto.find('=', i);
    if (igual == std::string::npos || igual == i)
      return erro(static_cast<int>(seq), {kErroParametro, "ErroCMDParametroInvalido",
                                          "Par\x83metro sem nome ou sem valor"});
    std::string nome = texto.substr(i, igual - i);
    size_t j = igual + 1;
    Valor v{' ', ""};
    if (j < texto.size() && texto[j] == '"') {
      v.Tipo = '"';
      size_t k = j + 1;
      for (; k < texto.size() && texto[k] != '"'; k++) {
        char c = texto[k];
        if (c != '\\') {
          v.Texto += c;
          continue;
        }
        char prox = k + 1 < texto.size() ? texto[k + 1] : '\0';
        if (prox == '\\' || prox == '"') {
          v.Texto += prox;
          k++;
        } else if (prox == 'x' && k + 3 < texto.size() && Hex(texto[k + 2]) >= 0 &&
                   Hex(texto[k + 3]) >= 0) {
          v.Texto += static_cast<char>(Hex(texto[k + 2]) * 16 + Hex(texto[k + 3]));
          k += 3;
        } else {
          return erro(static_cast<int>(seq), {kErroParametro, "ErroCMDParametroInvalido",
                                              "Escape inv\xA0lido no par\x83metro " + nome});
        }
      }
      if (k >= texto.size())
        return erro(static_cast<int>(seq), {kErroParametro, "ErroCMDParametroInvalido",
                                            "Texto sem aspas finais no par\x83metro " + nome});
      i = k + 1;
    } else if (j < texto.size() && texto[j] == '#') {
      v.Tipo = '#';
      size_t k = texto.find('#', j + 1);
      if (k == std::string::npos)
        return erro(static_cast<int>(seq), {kErroParametro, "ErroCMDParametroInvalido",
                                            "Data sem # final no par\x83metro " + nome});
      v.Texto = texto.substr(j + 1, k - j - 1);
      i = k + 1;
    } else {
      size_t k = texto.find(' ', j);
      if (k == std::string::npos) k = texto.size();
      v.Texto = texto.substr(j, k - j);
      i = k;
    }
    params[nome] = v;
  }
  fComandos.push_back(comando);
  fUltimos[comando] = params;

  if (FalhasAtivas().Recusa)
    return erro(static_cast<int>(seq),
                {kErroRecusado, "ErroCMDRecusado", "Impressora recusou o comando " + comando});
  try {
    Resultado r = Executa(comando, params);
    std::string valores;
    for (const auto& [nome, valor] : r) valores += (valores.empty() ? "" : " ") + nome + "=" + valor;
    return MontaResposta(static_cast<int>(seq), 0, valores);
  } catch (const Erro& e) {
    return erro(static_cast<int>(seq), e);
  }
}

// ----- Parameters -----

bool SimFiscNET::Tem(const Params& P, const std::string& Nome) const { return P.count(Nome) > 0; }

std::string SimFiscNET::Texto(const Params& P, const std::string& Nome, bool Obrigatorio) const {
  auto it = P.find(Nome);
  if (it == P.end()) {
    if (Obrigatorio)
      throw Erro{kErroParametro, "ErroCMDParametroAusente", "Par\x83metro " + Nome + " ausente"};
    return "";
  }
  if (it->second.Tipo != '"')
    throw Erro{kErroParametro, "ErroCMDParametroInvalido", "Par\x83metro " + Nome + " deve ser texto"};
  return it->second.Texto;
}

long long SimFiscNET::Inteiro(const Params& P, const std::string& Nome) const {
  auto it = P.find(Nome);
  if (it == P.end())
    throw Erro{kErroParametro, "ErroCMDParametroAusente", "Par\x83metro " + Nome + " ausente"};
  const std::string& t = it->second.Texto;
  char* fim = nullptr;
  long long v = std::strtoll(t.c_str(), &fim, 10);
  if (it->second.Tipo != ' ' || t.empty() || *fim)
    throw Erro{kErroParametro, "ErroCMDParametroInvalido",
               "Par\x83metro " + Nome + " n\xC6o \x82 inteiro: " + t};
  return v;
}

long long SimFiscNET::InteiroOu(const Params& P, const std::string& Nome, long long Padrao) const {
  return Tem(P, Nome) ? Inteiro(P, Nome) : Padrao;
}

double SimFiscNET::Numero(const Params& P, const std::string& Nome) const {
  auto it = P.find(Nome);
  if (it == P.end())
    throw Erro{kErroParametro, "ErroCMDParametroAusente", "Par\x83metro " + Nome + " ausente"};
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

bool SimFiscNET::Booleano(const Params& P, const std::string& Nome, bool Padrao) const {
  auto it = P.find(Nome);
  if (it == P.end()) return Padrao;
  if (it->second.Tipo == ' ' && it->second.Texto == "t") return true;
  if (it->second.Tipo == ' ' && it->second.Texto == "f") return false;
  throw Erro{kErroParametro, "ErroCMDParametroInvalido", "Par\x83metro " + Nome + " deve ser t ou f"};
}

// ----- State -----

void SimFiscNET::ExigeEstado(const std::string& Comando, std::initializer_list<int> Estados) const {
  for (int e : Estados)
    if (e == fEstado) return;
  throw Erro{kErroEstado, "ErroCMDEstadoInvalido",
             "Comando " + Comando + " n\xC6o permitido no estado " + std::to_string(fEstado)};
}

void SimFiscNET::ExigePapel() const {
  if (FalhasAtivas().SemPapel) throw Erro{kErroSemPapel, "ErroCMDSemPapel", "Impressora sem papel"};
}

double SimFiscNET::TotalLiquido() const {
  double t = 0;
  for (const auto& i : fItens)
    if (!i.Cancelado) t += i.Total + i.Acrescimo;
  return Arredonda2(t + fAcrescimoSubtotal);
}

void SimFiscNET::Linha(const std::string& Texto) {
  Imprime(Texto);
  fLinhas++;
}

void SimFiscNET::ImprimeTexto(const std::string& Texto) {
  size_t i = 0;
  while (i <= Texto.size()) {
    size_t lf = Texto.find('\n', i);
    if (lf == std::string::npos) lf = Texto.size();
    std::string l = Texto.substr(i, lf - i);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (lf < Texto.size() || !l.empty()) Linha(l);
    i = lf + 1;
  }
}

long SimFiscNET::Agora(std::string* Data, std::string* Hora) const {
  std::time_t t = std::time(nullptr) + (fHorarioVerao ? 3600 : 0);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  if (Data) {
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
    *Data = buf;
  }
  if (Hora) {
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    *Hora = buf;
  }
  return DiasDe(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

std::string SimFiscNET::RelatorioMF(long long De, long long Ate, bool PorData) {
  std::string r = "LEITURA DA MEMORIA FISCAL\n";
  r += PorData ? "PERIODO: " + DataDe(static_cast<long>(De)) + " A " + DataDe(static_cast<long>(Ate)) + "\n"
               : "REDUCOES: " + std::to_string(De) + " A " + std::to_string(Ate) + "\n";
  double total = 0;
  for (const auto& z : fReducoes) {
    long long chave = PorData ? z.DiaJuliano : z.CRZ;
    if (chave < De || chave > Ate) continue;
    char buf[96];
    std::snprintf(buf, sizeof buf, "CRZ %04d %s %s\n", z.CRZ, z.Data.c_str(), ComMilhar(z.Total, 2).c_str());
    r += buf;
    total += z.Total;
  }
  r += "TOTAL DO PERIODO: " + ComMilhar(total, 2) + "\n";
  return r;
}

// ----- Commands -----

SimFiscNET::Resultado SimFiscNET::Executa(const std::string& C, const Params& P) {
  auto inteiro = [](long long v) { return std::to_string(v); };
  auto booleano = [](bool v) { return std::string(v ? "t" : "f"); };
  auto texto = [this](const std::string& nome, const std::string& v) {
    std::string e = EscreveTexto(nome, v);
    return e.substr(nome.size() + 1);
  };
  auto faixa = [](const std::string& nome, long long v, long long de, long long ate) {
    if (v < de || v > ate)
      throw Erro{kErroParametro, "ErroCMDParametroForaFaixa",
                 "Par\x83metro " + nome + " fora da faixa: " + std::to_string(v)};
  };

  // ----- Reads -----
  if (C == "LeTexto") {
    std::string n = Texto(P, "NomeTexto");
    std::string v;
    if (n == "Marca") v = "Simulada";
    else if (n == "VersaoSW") v = "01.00.05";
    else if (n == "NumeroSerieECF") v = "FN0000000000001234";
    else throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Texto desconhecido: " + n};
    return {{"ValorTexto", texto("ValorTexto", v)}};
  }
  if (C == "LeInteiro") {
    std::string n = Texto(P, "NomeInteiro");
    long long v;
    if (n == "COO") v = fCOO;
    else if (n == "CRO") v = fCRO;
    else if (n == "CRZ") v = fCRZ;
    else if (n == "Loja") v = 1;
    else if (n == "ECF") v = 7;
    else if (n == "Indicadores") v = (fBloqueada ? 32 : 0) | (fRequerZ ? 128 : 0) | (fHorarioVerao ? 1 : 0);
    else if (n == "EstadoFiscal") v = fEstado;
    else throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Inteiro desconhecido: " + n};
    return {{"ValorInteiro", inteiro(v)}};
  }
  if (C == "LeMoeda") {
    std::string n = Texto(P, "NomeDadoMonetario");
    double v;
    if (n == "TotalDocLiquido") v = TotalLiquido();
    else if (n == "TotalDocValorPago") v = fPago;
    else if (n == "GT") v = fGT;
    else throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Dado monet\xA0rio desconhecido: " + n};
    return {{"ValorMoeda", EscreveMoeda(v)}};
  }
  if (C == "LeData") {
    if (Texto(P, "NomeData") != "Data")
      throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Data desconhecida"};
    std::string d;
    Agora(&d, nullptr);
    return {{"ValorData", "#" + d + "#"}};
  }
  if (C == "LeHora") {
    if (Texto(P, "NomeHora") != "Hora")
      throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Hora desconhecida"};
    std::string h;
    Agora(nullptr, &h);
    return {{"ValorHora", "#" + h + "#"}};
  }
  if (C == "LeIndicador") {
    std::string n = Texto(P, "NomeIndicador");
    bool v;
    if (n == "SensorGaveta") v = fGaveta;
    else if (n == "SensorPoucoPapel") v = FalhasAtivas().PoucoPapel || FalhasAtivas().SemPapel;
    else if (n == "HorarioVerao") v = fHorarioVerao;
    else if (n == "SensorCheque") v = false;
    else throw Erro{kErroParametro, "ErroCMDNomeInvalido", "Indicador desconhecido: " + n};
    return {{"ValorNumericoIndicador", v ? "1" : "0"}};
  }

  // ----- The fiscal receipt -----
  if (C == "AbreCupomFiscal") {
    ExigeEstado(C, {1});
    if (fBloqueada) throw Erro{kErroBloqueada, "ErroCMDReducaoZEmitida", "ECF bloqueado at\x82 00:00"};
    if (fRequerZ) throw Erro{kErroRequerZ, "ErroCMDRequerReducaoZ", "Redu\x87\xC6o Z pendente"};
    ExigePapel();
    fItens.clear();
    fAcrescimoSubtotal = 0;
    fPago = 0;
    fPagosUltimoCupom.clear();
    fCOOUltimoCupom = 0;
    fCOO++;
    fEstado = 2;
    Linha("CUPOM FISCAL");
    Linha("COO: " + std::to_string(fCOO));
    std::string id = Texto(P, "IdConsumidor", false);
    if (!id.empty()) Linha("CPF/CNPJ consumidor: " + id);
    return {};
  }
  if (C == "VendeItem") {
    ExigeEstado(C, {2});
    ExigePapel();
    long long aliq = Inteiro(P, "CodAliquota");
    if (!(aliq >= -4 && aliq <= -2) &&
        !(aliq >= 0 && aliq <= 15 && fAliquotas[static_cast<size_t>(aliq)].Programada))
      throw Erro{kErroAliquota, "ErroCMDAliquotaNaoProgramada",
                 "Al\xA1quota " + std::to_string(aliq) + " n\xC6o programada"};
    double preco = Numero(P, "PrecoUnitario"), qtd = Numero(P, "Quantidade");
    if (preco <= 0 || qtd <= 0)
      throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Pre\x87o e quantidade devem ser positivos"};
    std::string nome = Texto(P, "NomeProduto");
    std::string codigo = Texto(P, "CodProduto", false);
    Item it;
    it.Nome = nome;
    it.Total = Arredonda2(preco * qtd);
    fItens.push_back(it);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%03zu ", fItens.size());
    Linha(buf + codigo + " " + nome);
    Linha("   " + Decimal(qtd, 3) + " " + Texto(P, "Unidade", false) + " x " + Decimal(preco, 2) +
          " = " + Decimal(it.Total, 2));
    return {{"NumItem", inteiro(static_cast<long long>(fItens.size()))}};
  }
  if (C == "AcresceItemFiscal") {
    ExigeEstado(C, {2});
    long long n = InteiroOu(P, "NumItem", static_cast<long long>(fItens.size()));
    if (n < 1 || n > static_cast<long long>(fItens.size()) || fItens[static_cast<size_t>(n - 1)].Cancelado)
      throw Erro{kErroItem, "ErroCMDItemInexistente", "Item " + std::to_string(n) + " inexistente"};
    Item& it = fItens[static_cast<size_t>(n - 1)];
    if (Booleano(P, "Cancelar", false)) {
      it.Acrescimo = 0;
      return {};
    }
    double valor;
    if (Tem(P, "ValorPercentual")) {
      double pct = Numero(P, "ValorPercentual");
      if (pct <= -100 || pct == 0)
        throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Percentual fora da faixa"};
      valor = Arredonda2(it.Total * pct / 100.0);
    } else {
      valor = Numero(P, "ValorAcrescimo");
      if (it.Total + valor <= 0)
        throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Desconto maior que o item"};
    }
    it.Acrescimo = valor;
    Linha(std::string(valor < 0 ? "   desconto item " : "   acrescimo item ") + Decimal(valor, 2));
    return {};
  }
  if (C == "AcresceSubtotal") {
    ExigeEstado(C, {2});
    if (Booleano(P, "Cancelar", false)) {
      fAcrescimoSubtotal = 0;
      return {};
    }
    double bruto = TotalLiquido() - fAcrescimoSubtotal;
    double valor = Tem(P, "ValorPercentual") ? Arredonda2(bruto * Numero(P, "ValorPercentual") / 100.0)
                                             : Numero(P, "ValorAcrescimo");
    if (valor == 0 || bruto + valor <= 0)
      throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Valor fora da faixa"};
    fAcrescimoSubtotal = Arredonda2(valor);
    Linha("SUBTOTAL " + Decimal(bruto, 2));
    Linha(std::string(valor < 0 ? "DESCONTO " : "ACRESCIMO ") + Decimal(valor, 2));
    return {};
  }
  if (C == "PagaCupom") {
    ExigeEstado(C, {2, 4});
    ExigePapel();
    bool algum = false;
    for (const auto& i : fItens) algum = algum || !i.Cancelado;
    if (!algum) throw Erro{kErroEstado, "ErroCMDCupomVazio", "Cupom sem itens"};
    long long cod = Inteiro(P, "CodMeioPagamento");
    auto m = fMeios.find(static_cast<int>(cod));
    if (m == fMeios.end() || !m->second.Programado)
      throw Erro{kErroMeio, "ErroCMDMeioPagamentoNaoProgramado",
                 "Meio de pagamento " + std::to_string(cod) + " n\xC6o programado"};
    double valor = Numero(P, "Valor");
    if (valor <= 0) throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Valor fora da faixa"};
    fPago = Arredonda2(fPago + valor);
    fPagosUltimoCupom[static_cast<int>(cod)] += valor;
    fEstado = 4;
    Linha(m->second.Nome + " " + Decimal(valor, 2));
    std::string adicional = Texto(P, "TextoAdicional", false);
    if (!adicional.empty()) ImprimeTexto(adicional);
    return {};
  }
  if (C == "EncerraDocumento") {
    ExigeEstado(C, {2, 4, 64, 128});
    ExigePapel();
    if (fEstado == 2 || fEstado == 4) {
      double liquido = TotalLiquido();
      if (fPago + 0.005 < liquido)
        throw Erro{kErroPagamento, "ErroCMDPagamentoIncompleto",
                   "Falta pagar " + Decimal(liquido - fPago, 2)};
      Linha("TOTAL R$ " + Decimal(liquido, 2));
      if (fPago > liquido) Linha("TROCO R$ " + Decimal(fPago - liquido, 2));
      fGT += liquido;
      fVendaDia += liquido;
      fCOOUltimoCupom = fCOO;
    } else {
      Linha("FIM DO DOCUMENTO");
    }
    std::string promo = Texto(P, "TextoPromocional", false);
    if (!promo.empty()) ImprimeTexto(promo);
    std::string op = Texto(P, "Operador", false);
    if (!op.empty()) Linha("Operador: " + op);
    fEstado = 1;
    return {};
  }
  if (C == "CancelaCupom") {
    if (fEstado == 2 || fEstado == 4) {
      Linha("CUPOM FISCAL CANCELADO COO: " + std::to_string(fCOO));
    } else if (fEstado == 1 && fCOOUltimoCupom != 0) {
      fCOO++;
      Linha("CANCELAMENTO DO CUPOM COO: " + std::to_string(fCOOUltimoCupom));
      fGT -= TotalLiquido();
      fVendaDia -= TotalLiquido();
    } else {
      throw Erro{kErroEstado, "ErroCMDEstadoInvalido", "N\xC6o h\xA0 cupom para cancelar"};
    }
    fItens.clear();
    fAcrescimoSubtotal = 0;
    fPago = 0;
    fPagosUltimoCupom.clear();
    fCOOUltimoCupom = 0;
    fEstado = 1;
    return {};
  }
  if (C == "CancelaItemFiscal") {
    ExigeEstado(C, {2});
    long long n = Inteiro(P, "NumItem");
    if (n < 1 || n > static_cast<long long>(fItens.size()) || fItens[static_cast<size_t>(n - 1)].Cancelado)
      throw Erro{kErroItem, "ErroCMDItemInexistente", "Item " + std::to_string(n) + " inexistente"};
    fItens[static_cast<size_t>(n - 1)].Cancelado = true;
    Linha("ITEM " + std::to_string(n) + " CANCELADO");
    return {};
  }
  if (C == "AbreGaveta") {
    fGaveta = true;
    return {};
  }

  // ----- Day reports -----
  if (C == "EmiteLeituraX") {
    ExigeEstado(C, {1});
    ExigePapel();
    std::string destino = Texto(P, "Destino");
    if (destino != "I" && destino != "S")
      throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Destino inv\xA0lido"};
    fCOO++;
    Linha("LEITURA X");
    Linha("COO: " + std::to_string(fCOO) + "  GT: " + ComMilhar(fGT, 2));
    std::string op = Texto(P, "Operador", false);
    if (!op.empty()) Linha("Operador: " + op);
    return {};
  }
  if (C == "EmiteReducaoZ") {
    ExigeEstado(C, {1});
    if (fBloqueada) throw Erro{kErroBloqueada, "ErroCMDReducaoZEmitida", "Redu\x87\xC6o Z j\xA0 emitida"};
    ExigePapel();
    if (Tem(P, "Hora") && (P.at("Hora").Tipo != '#' || !HoraValida(P.at("Hora").Texto)))
      throw Erro{kErroParametro, "ErroCMDParametroInvalido", "Hora inv\xA0lida"};
    std::string hoje;
    long dia = Agora(&hoje, nullptr);
    fCRZ++;
    fCOO++;
    fReducoes.push_back({fCRZ, hoje, dia, fVendaDia});
    Linha("REDUCAO Z");
    Linha("CRZ: " + std::to_string(fCRZ) + "  VENDA BRUTA: " + ComMilhar(fVendaDia, 2));
    fVendaDia = 0;
    fBloqueada = true;
    fRequerZ = false;
    return {};
  }
  if (C == "AcertaHorarioVerao") {
    ExigeEstado(C, {1});
    long long hv = Inteiro(P, "EntradaHV");
    faixa("EntradaHV", hv, 0, 1);
    fHorarioVerao = hv == 1;
    return {};
  }

  // ----- Managerial report and linked receipt -----
  if (C == "AbreGerencial") {
    ExigeEstado(C, {1});
    ExigePapel();
    faixa("CodGerencial", Inteiro(P, "CodGerencial"), 0, 19);
    fCOO++;
    fEstado = 64;
    Linha("RELATORIO GERENCIAL");
    return {};
  }
  if (C == "ImprimeTexto") {
    ExigeEstado(C, {64, 128});
    ExigePapel();
    ImprimeTexto(Texto(P, "TextoLivre"));
    return {};
  }
  if (C == "AbreCreditoDebito") {
    ExigeEstado(C, {1});
    ExigePapel();
    long long cod = Inteiro(P, "CodMeioPagamento");
    auto m = fMeios.find(static_cast<int>(cod));
    if (m == fMeios.end() || !m->second.Programado)
      throw Erro{kErroMeio, "ErroCMDMeioPagamentoNaoProgramado",
                 "Meio de pagamento " + std::to_string(cod) + " n\xC6o programado"};
    long long coo = InteiroOu(P, "COO", 0);
    if (fCOOUltimoCupom == 0 || (coo != 0 && coo != fCOOUltimoCupom) ||
        !fPagosUltimoCupom.count(static_cast<int>(cod)) || !m->second.Vinculado)
      throw Erro{kErroVinculado, "ErroCMDVinculadoNaoPermitido",
                 "Comprovante n\xC6o permitido para o meio " + std::to_string(cod)};
    double valor = Numero(P, "Valor");
    if (valor <= 0 || valor > fPagosUltimoCupom[static_cast<int>(cod)] + 0.005)
      throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Valor fora da faixa"};
    fCOO++;
    fEstado = 128;
    Linha("COMPROVANTE CREDITO OU DEBITO");
    Linha("COO VINCULADO: " + std::to_string(fCOOUltimoCupom) + "  VALOR: " + Decimal(valor, 2));
    return {};
  }
  if (C == "AvancaPapel") {
    long long avanco = Inteiro(P, "Avanco");
    faixa("Avanco", avanco, 0, 9 * 100);
    for (long long i = 0; i < avanco / 9; i++) Linha("");
    return {};
  }
  if (C == "ChancelaCheque" || C == "ReinicializaEquipamento") return {};

  // ----- Fiscal memory -----
  if (C == "EmiteLeituraMF") {
    ExigeEstado(C, {1});
    std::string destino = Texto(P, "Destino");
    if (destino != "I" && destino != "S")
      throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Destino inv\xA0lido"};
    Booleano(P, "LeituraSimplificada", false);
    long long de, ate;
    bool porData = Tem(P, "DataInicial") || Tem(P, "DataFinal");
    if (porData) {
      de = LeData(P.count("DataInicial") ? P.at("DataInicial").Texto : "");
      ate = LeData(P.count("DataFinal") ? P.at("DataFinal").Texto : "");
      if (de < 0 || ate < 0)
        throw Erro{kErroParametro, "ErroCMDParametroInvalido", "Data inv\xA0lida"};
    } else {
      de = Inteiro(P, "ReducaoInicial");
      ate = Inteiro(P, "ReducaoFinal");
      faixa("ReducaoInicial", de, 1, 9999);
    }
    if (ate < de) throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Intervalo invertido"};
    std::string relatorio = RelatorioMF(de, ate, porData);
    if (destino == "S") {
      fCaptura = relatorio;
    } else {
      ExigePapel();
      ImprimeTexto(relatorio);
    }
    return {};
  }
  if (C == "LeImpressao") {
    std::string parte = fCaptura.substr(0, 100);
    fCaptura.erase(0, parte.size());
    return {{"TextoImpressao", texto("TextoImpressao", parte)}};
  }

  // ----- Tables -----
  if (C == "LeAliquota") {
    long long n = Inteiro(P, "CodAliquotaProgramavel");
    faixa("CodAliquotaProgramavel", n, 0, 15);
    const Aliquota& a = fAliquotas[static_cast<size_t>(n)];
    if (!a.Programada)
      throw Erro{kErroAliquota, "ErroCMDAliquotaNaoProgramada",
                 "Al\xA1quota " + std::to_string(n) + " n\xC6o programada"};
    return {{"AliquotaICMS", booleano(a.ICMS)},
            {"CodAliquotaProgramavel", inteiro(n)},
            {"DescricaoAliquota", texto("DescricaoAliquota", a.Descricao)},
            {"PercentualAliquota", EscreveMoeda(a.Percentual)}};
  }
  if (C == "DefineAliquota") {
    ExigeEstado(C, {1});
    long long n = Inteiro(P, "CodAliquotaProgramavel");
    faixa("CodAliquotaProgramavel", n, -1, 15);
    if (n == -1) {
      for (size_t i = 0; i < fAliquotas.size() && n == -1; i++)
        if (!fAliquotas[i].Programada) n = static_cast<long long>(i);
      if (n == -1) throw Erro{kErroParametro, "ErroCMDTabelaCheia", "Tabela de al\xA1quotas cheia"};
    }
    double pct = Numero(P, "PercentualAliquota");
    if (pct <= 0 || pct >= 100) throw Erro{kErroParametro, "ErroCMDParametroForaFaixa", "Percentual fora da faixa"};
    fAliquotas[static_cast<size_t>(n)] = {true, pct, Booleano(P, "AliquotaICMS", true),
                                          Texto(P, "DescricaoAliquota", false)};
    return {{"CodAliquotaProgramavel", inteiro(n)}};
  }
  if (C == "LeMeioPagamento") {
    long long n = Inteiro(P, "CodMeioPagamentoProgram");
    if (n != -2) faixa("CodMeioPagamentoProgram", n, 0, 14);
    auto m = fMeios.find(static_cast<int>(n));
    if (m == fMeios.end() || !m->second.Programado)
      throw Erro{kErroMeio, "ErroCMDMeioPagamentoNaoProgramado",
                 "Meio de pagamento " + std::to_string(n) + " n\xC6o programado"};
    return {{"CodMeioPagamentoProgram", inteiro(n)},
            {"DescricaoMeioPagamento", texto("DescricaoMeioPagamento", m->second.Descricao)},
            {"NomeMeioPagamento", texto("NomeMeioPagamento", m->second.Nome)},
            {"PermiteVinculado", booleano(m->second.Vinculado)}};
  }
  if (C == "DefineMeioPagamento") {
    ExigeEstado(C, {1});
    long long n = Inteiro(P, "CodMeioPagamentoProgram");
    if (n != -2) faixa("CodMeioPagamentoProgram", n, -1, 14);
    if (n == -1) {
      for (int i = 0; i <= 14 && n == -1; i++)
        if (!fMeios[i].Programado) n = i;
      if (n == -1) throw Erro{kErroParametro, "ErroCMDTabelaCheia", "Tabela de meios cheia"};
    }
    std::string nome = Texto(P, "NomeMeioPagamento");
    fMeios[static_cast<int>(n)] = {true, nome, Texto(P, "DescricaoMeioPagamento", false),
                                   Booleano(P, "PermiteVinculado", false)};
    return {{"CodMeioPagamentoProgram", inteiro(n)}};
  }
  if (C == "LeNaoFiscal") {
    long long n = Inteiro(P, "CodNaoFiscal");
    faixa("CodNaoFiscal", n, 0, 14);
    const NaoFiscal& nf = fNaoFiscais[static_cast<size_t>(n)];
    if (!nf.Programado)
      throw Erro{kErroNaoFiscal, "ErroCMDNaoFiscalNaoProgramado",
                 "N\xC6o fiscal " + std::to_string(n) + " n\xC6o programado"};
    return {{"CodNaoFiscal", inteiro(n)},
            {"NomeNaoFiscal", texto("NomeNaoFiscal", nf.Nome)},
            {"TipoNaoFiscal", booleano(nf.Tipo)}};
  }
  if (C == "DefineNaoFiscal") {
    ExigeEstado(C, {1});
    long long n = Inteiro(P, "CodNaoFiscal");
    faixa("CodNaoFiscal", n, -1, 14);
    if (n == -1) {
      for (size_t i = 0; i < fNaoFiscais.size() && n == -1; i++)
        if (!fNaoFiscais[i].Programado) n = static_cast<long long>(i);
      if (n == -1) throw Erro{kErroParametro, "ErroCMDTabelaCheia", "Tabela de n\xC6o fiscais cheia"};
    }
    fNaoFiscais[static_cast<size_t>(n)] = {true, Texto(P, "NomeNaoFiscal"),
                                           Booleano(P, "TipoNaoFiscal", true)};
    return {{"CodNaoFiscal", inteiro(n)}};
  }

  throw Erro{kErroComando, "ErroCMDDesconhecido", "Comando desconhecido: " + C};
}

}  // namespace zuvo::sim
