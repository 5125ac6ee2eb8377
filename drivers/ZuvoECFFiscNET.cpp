#include "drivers/ZuvoECFFiscNET.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <memory>
#include <cstdint>

#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

// CP850 0x80..0xFF as Unicode code points; 0 where Windows-1252 has no such
// character (box drawing, dotless i, the double low line, the black square).
const uint16_t kCP850[128] = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xF8, 0xA3, 0xD8, 0xD7, 0x192,
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0xAE, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
    0,    0,    0,    0,    0,    0xC1, 0xC2, 0xC0, 0xA9, 0,    0,    0,    0,    0xA2, 0xA5, 0,
    0,    0,    0,    0,    0,    0,    0xE3, 0xC3, 0,    0,    0,    0,    0,    0,    0,    0xA4,
    0xF0, 0xD0, 0xCA, 0xCB, 0xC8, 0,    0xCD, 0xCE, 0xCF, 0,    0,    0,    0,    0xA6, 0xCC, 0,
    0xD3, 0xDF, 0xD4, 0xD2, 0xF5, 0xD5, 0xB5, 0xFE, 0xDE, 0xDA, 0xDB, 0xD9, 0xFD, 0xDD, 0xAF, 0xB4,
    0xAD, 0xB1, 0,    0xBE, 0xB6, 0xA7, 0xF7, 0xB8, 0xB0, 0xA8, 0xB7, 0xB9, 0xB3, 0xB2, 0,    0xA0,
};

// The Windows-1252 byte of a code point from the table above.
int Byte1252(uint16_t CodePoint) {
  if (CodePoint == 0x192) return 0x83;
  if (CodePoint >= 0xA0 && CodePoint <= 0xFF) return CodePoint;
  return -1;
}

int HexDigito(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool EhNumero(const std::string& Texto, int64_t& Valor) {
  std::string t = Trim(Texto);
  if (t.empty()) return false;
  try {
    Valor = StrToInt(t);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

// The printer reads numbers with a decimal comma and at most 4 decimals, in
// plain notation; what is not finite or does not fit is refused before
// sending (the printer would take "NAN" or "1E300" as a syntax error or worse).
std::string NumeroFiscNET(double Valor, const std::string& Nome) {
  return (Valor < 0 ? "-" : "") + TextoDecimal(std::fabs(Valor), 13, 4, Nome);
}

}  // namespace

std::string CP850ParaWin1252(const std::string& Texto) {
  std::string r = Texto;
  for (char& c : r) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x80) continue;
    int w = Byte1252(kCP850[b - 0x80]);
    c = w < 0 ? '?' : static_cast<char>(w);
  }
  return r;
}

std::string Win1252ParaCP850(const std::string& Texto) {
  static const auto inversa = [] {
    std::array<int, 256> t{};
    t.fill('?');
    for (int i = 0; i < 128; i++) t[static_cast<size_t>(i)] = i;
    for (int i = 0; i < 128; i++) {
      int w = Byte1252(kCP850[i]);
      if (w >= 0) t[static_cast<size_t>(w)] = 0x80 + i;
    }
    return t;
  }();
  std::string r = Texto;
  for (char& c : r) c = static_cast<char>(inversa[static_cast<unsigned char>(c)]);
  return r;
}

// ---------------------------------------------------------------------------
// The command

void TZuvoECFFiscNETComando::SetComando(const std::string& Nome) {
  fSequencia = fSequencia < 250 ? fSequencia + 1 : 1;
  fComando = Trim(Nome);
  fParams.clear();
  fTimeOut = 0;
}

std::string TZuvoECFFiscNETComando::Escapa(const std::string& Texto) {
  static const char* kHex = "0123456789ABCDEF";
  std::string r;
  r.reserve(Texto.size() + 8);
  for (char c : Texto) {
    auto b = static_cast<unsigned char>(c);
    if (c == '\\') {
      r += "\\\\";
    } else if (c == '"') {
      r += "\\\"";
    } else if (b < 32 || b > 127) {
      r += "\\x";
      r += kHex[b >> 4];
      r += kHex[b & 15];
    } else {
      r += c;
    }
  }
  return r;
}

void TZuvoECFFiscNETComando::AddParamString(const std::string& Nome, const std::string& Valor) {
  std::string v = TrimRight(Valor);
  if (v.empty()) return;
  fParams.push_back(Nome + "=\"" + Escapa(v) + "\"");
}

void TZuvoECFFiscNETComando::AddParamDouble(const std::string& Nome, double Valor) {
  fParams.push_back(Nome + "=" + NumeroFiscNET(Valor, Nome));
}

void TZuvoECFFiscNETComando::AddParamInteger(const std::string& Nome, int64_t Valor) {
  fParams.push_back(Nome + "=" + IntToStr(Valor));
}

void TZuvoECFFiscNETComando::AddParamBool(const std::string& Nome, bool Valor) {
  fParams.push_back(Nome + "=" + (Valor ? "t" : "f"));
}

void TZuvoECFFiscNETComando::AddParamDate(const std::string& Nome, TDateTime Valor) {
  fParams.push_back(Nome + "=#" + FormatDateTime("dd/mm/yyyy", Valor) + "#");
}

void TZuvoECFFiscNETComando::AddParamTime(const std::string& Nome, TDateTime Valor) {
  fParams.push_back(Nome + "=#" + FormatDateTime("hh:nn:ss", Valor) + "#");
}

void TZuvoECFFiscNETComando::AddParamBruto(const std::string& Parametro) {
  std::string p = Trim(Parametro);
  if (!p.empty()) fParams.push_back(p);
}

std::string TZuvoECFFiscNETComando::Quadro() const {
  std::string texto = "{" + IntToStr(fSequencia) + ";" + fComando + ";";
  for (const auto& p : fParams) texto += Trim(p) + " ";
  texto = Trim(texto);
  return texto + ";" + IntToStr(static_cast<int64_t>(texto.size())) + "}";
}

// ---------------------------------------------------------------------------
// The answer

void TZuvoECFFiscNETResposta::Limpa() {
  fResposta.clear();
  fParams.clear();
  fSequencia = 0;
  fCodRetorno = 0;
  fTamanho = 0;
}

std::string TZuvoECFFiscNETResposta::DesEscapa(const std::string& Texto) {
  std::string r;
  r.reserve(Texto.size());
  for (size_t i = 0; i < Texto.size(); i++) {
    char c = Texto[i];
    if (c != '\\' || i + 1 >= Texto.size()) {
      r += c;
      continue;
    }
    char prox = Texto[i + 1];
    if (prox == '\\' || prox == '"') {
      r += prox;
      i++;
    } else if (prox == 'x' || prox == 'X') {
      int alto = i + 2 < Texto.size() ? HexDigito(Texto[i + 2]) : -1;
      int baixo = i + 3 < Texto.size() ? HexDigito(Texto[i + 3]) : -1;
      r += (alto < 0 || baixo < 0) ? ' ' : static_cast<char>(alto * 16 + baixo);
      i += std::min<size_t>(3, Texto.size() - 1 - i);
    } else {
      r += c;
    }
  }
  return r;
}

void TZuvoECFFiscNETResposta::SetResposta(const std::string& Resposta) {
  Limpa();
  fResposta = Resposta;
  if (Resposta.empty()) return;

  // Without the braces; the last field is the length (empty on real printers).
  std::string corpo = Copy(Resposta, 2, static_cast<int>(Resposta.size()) - 2);
  int ultimo = PosicaoUltima(";", corpo);
  if (ultimo > 0) {
    int64_t n = 0;
    fTamanho = EhNumero(Copy(corpo, ultimo + 1), n) ? static_cast<int>(n) : 0;
    corpo = Copy(corpo, 1, ultimo - 1);
  }

  int64_t n = 0;
  int p = Pos(";", corpo);
  if (!EhNumero(p > 0 ? Copy(corpo, 1, p - 1) : corpo, n))
    throw Exception("Num.Identificação inválido");
  fSequencia = static_cast<int>(n);
  corpo = p > 0 ? Copy(corpo, p + 1) : "";
  p = Pos(";", corpo);
  if (!EhNumero(p > 0 ? Copy(corpo, 1, p - 1) : corpo, n)) throw Exception("Cod.Retorno inválido");
  fCodRetorno = static_cast<int>(n);
  LeValores(Trim(p > 0 ? Copy(corpo, p + 1) : ""));
}

// Name="quoted" Name=#delimited# Name=bare, separated by blanks. Escapes are
// honoured while looking for the closing quote, so a value may hold ';', '=',
// blanks, '"' (as \") and end in a backslash (as \\).
void TZuvoECFFiscNETResposta::LeValores(const std::string& Valores) {
  const std::string& v = Valores;
  size_t i = 0;
  while (i < v.size()) {
    while (i < v.size() && static_cast<unsigned char>(v[i]) <= 32) i++;
    size_t igual = v.find('=', i);
    if (i >= v.size() || igual == std::string::npos) break;
    std::string nome = Trim(v.substr(i, igual - i));
    size_t j = igual + 1;
    std::string valor;
    if (j < v.size() && (v[j] == '"' || v[j] == '#')) {
      const char delim = v[j];
      size_t k = j + 1;
      while (k < v.size() && v[k] != delim) k += (v[k] == '\\' && delim == '"') ? 2 : 1;
      valor = DesEscapa(v.substr(j + 1, std::min(k, v.size()) - j - 1));
      i = k + 1;
    } else {
      size_t k = j;
      while (k < v.size() && static_cast<unsigned char>(v[k]) > 32) k++;
      valor = v.substr(j, k - j);
      i = k;
    }
    fParams.push_back(nome + "=" + valor);
  }
}

std::string TZuvoECFFiscNETResposta::Valor(const std::string& Nome) const {
  for (const auto& p : fParams) {
    auto igual = p.find('=');
    if (igual != std::string::npos && SameText(p.substr(0, igual), Nome))
      return p.substr(igual + 1);
  }
  return "";
}

bool TZuvoECFFiscNETResposta::Tem(const std::string& Nome) const {
  for (const auto& p : fParams) {
    auto igual = p.find('=');
    if (igual != std::string::npos && SameText(p.substr(0, igual), Nome)) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// The driver: the protocol's steps

TZuvoECFFiscNET::TZuvoECFFiscNET(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config) {
  Device.SetHandShake(hsRTS_CTS);
  Device.SetBaud(115200);
  Device.SetParity(pEven);
  SetNomeModelo("FiscNET");
  SetColunas(48);
  SetMFD(true);
  SetTermica(true);
}

void TZuvoECFFiscNET::Prepara(const std::string& Nome, int TimeOutExtra) {
  fComando.SetComando(Nome);
  fComando.SetTimeOut(TimeOutExtra);
}

void TZuvoECFFiscNET::AddTexto(const std::string& Nome, const std::string& Valor) {
  fComando.AddParamString(Nome, fConvertePaginaCodigo ? Win1252ParaCP850(Valor) : Valor);
}

std::string TZuvoECFFiscNET::ValorTexto(const std::string& Nome) const {
  std::string v = fResposta.Valor(Nome);
  return fConvertePaginaCodigo ? CP850ParaWin1252(v) : v;
}

bool TZuvoECFFiscNET::VerificaFimLeitura(const std::string& Retorno) {
  if (Retorno.empty() || Retorno.back() != '}') return false;
  // A '}' inside a quoted value may end a chunk: the quotes must be closed,
  // and the length field, when the printer fills it, must match.
  bool aspas = false;
  int pontos = 0;
  size_t ultimo = 0;
  for (size_t i = 0; i < Retorno.size(); i++) {
    const char c = Retorno[i];
    if (aspas) {
      if (c == '\\') i++;
      else if (c == '"') aspas = false;
    } else if (c == '"') {
      aspas = true;
    } else if (c == ';') {
      pontos++;
      ultimo = i;
    }
  }
  if (aspas || pontos < 3) return false;
  std::string tamanho = Retorno.substr(ultimo + 1, Retorno.size() - ultimo - 2);
  if (tamanho.empty()) return true;
  int64_t n = 0;
  return EhNumero(tamanho, n) && n == static_cast<int64_t>(ultimo);
}

// The printer repeats the request's sequence number in its answer (a real
// one may answer 0 instead): an answer with another number answered an
// earlier request after its time-out.
bool TZuvoECFFiscNET::RespostaAlheia(const std::string& Resposta) {
  TZuvoECFFiscNETResposta r;
  try {
    r.SetResposta(Resposta);
  } catch (const Exception&) {
    return false;  // not an answer at all: DecodificaResposta says so
  }
  fEcoaSequencia = r.Sequencia() != 0;
  return fEcoaSequencia && r.Sequencia() != fComando.Sequencia();
}

// Sequence numbers keep answers apart: no quiet wait after a time-out; a
// printer that answers 0 gets the cycle's.
int TZuvoECFFiscNET::SilencioRessincroniaMs() {
  return fEcoaSequencia ? 0 : TZuvoECFClass::SilencioRessincroniaMs();
}

std::string TZuvoECFFiscNET::MontaQuadro(const std::string& Cmd) {
  if (!Cmd.empty()) {
    int p = Pos(";", Cmd);
    fComando.SetComando(p > 0 ? Copy(Cmd, 1, p - 1) : Cmd);
    if (p > 0)
      for (const auto& linha : SplitLines(Copy(Cmd, p + 1))) fComando.AddParamBruto(linha);
  }
  fResposta.Limpa();
  SetTimeOutComando(fComando.TimeOut());
  return fComando.Quadro();
}

TRespostaECF TZuvoECFFiscNET::DecodificaResposta(const std::string& Resposta) {
  TRespostaECF r;
  r.Dados = Resposta;
  r.Quebra = std::string(1, LF);  // FiscNET's texts use LF LF
  try {
    fResposta.SetResposta(Resposta);
  } catch (const Exception&) {
    r.Erro = "Resposta do ECF inválida";
    return r;
  }
  // An empty answer is no success (the parser alone would read code 0).
  if (Resposta.empty())
    r.Erro = "Resposta do ECF inválida";
  else if (fResposta.CodRetorno() > 0)
    r.Erro = "Erro: " + IntToStr(fResposta.CodRetorno()) + " - " + ValorTexto("NomeErro") + LF +
             ValorTexto("Circunstancia");
  return r;
}

std::string TZuvoECFFiscNET::LeTexto(const std::string& NomeTexto) {
  Prepara("LeTexto");
  fComando.AddParamString("NomeTexto", NomeTexto);
  EnviaComando("");
  return ValorTexto("ValorTexto");
}

int64_t TZuvoECFFiscNET::LeInteiro(const std::string& NomeInteiro) {
  Prepara("LeInteiro");
  fComando.AddParamString("NomeInteiro", NomeInteiro);
  EnviaComando("");
  int64_t valor = 0;
  if (!EhNumero(fResposta.Valor("ValorInteiro"), valor))
    throw EZuvoECFSemResposta("Resposta do ECF inválida");
  return valor;
}

std::string TZuvoECFFiscNET::LeInteiroTexto(const std::string& NomeInteiro) {
  Prepara("LeInteiro");
  fComando.AddParamString("NomeInteiro", NomeInteiro);
  EnviaComando("");
  return Trim(fResposta.Valor("ValorInteiro"));
}

// Amounts come as "6.275,0000": '.' thousands, ',' decimals.
double TZuvoECFFiscNET::LeMoeda(const std::string& NomeDadoMonetario) {
  Prepara("LeMoeda");
  fComando.AddParamString("NomeDadoMonetario", NomeDadoMonetario);
  EnviaComando("");
  // A missing or malformed amount is no zero.
  try {
    const std::string valor = Trim(fResposta.Valor("ValorMoeda"));
    if (!valor.empty()) return TextoParaValor(valor);
  } catch (const Exception&) {
  }
  throw EZuvoECFSemResposta("Resposta do ECF inválida");
}

bool TZuvoECFFiscNET::LeIndicador(const std::string& NomeIndicador) {
  Prepara("LeIndicador");
  fComando.AddParamString("NomeIndicador", NomeIndicador);
  EnviaComando("");
  return Trim(fResposta.Valor("ValorNumericoIndicador")) == "1";
}

// FiscNET answers carry no paper status: after a printing command the
// driver asks the paper sensor, so that low paper still gives its notice.
// The question is optional: a printer that does not answer it is not put to
// the operator as a retry question.
void TZuvoECFFiscNET::AvisaPoucoPapel() {
  Sondagem sondagem(*this);
  try {
    if (LeIndicador("SensorPoucoPapel")) DoMsgPoucoPapel();
  } catch (const Exception&) {
  }
}

// ---------------------------------------------------------------------------
// Activation and identity

void TZuvoECFFiscNET::Ativar() {
  ExigePortaSerial("A impressora: " + ModeloStr(), CRLF);
  TZuvoECFClass::Ativar();
  fNumVersao.clear();
  fNumECF.clear();
  fNumLoja.clear();
  try {
    if (NumVersao().empty())
      throw EZuvoECFNaoInicializado("Erro inicializando a impressora " + ModeloStr());
    std::string marca = LeTexto("Marca");
    SetNomeModelo("FiscNET " + marca);
  } catch (...) {
    Desativar();
    throw;
  }
}

TDateTime TZuvoECFFiscNET::DataHora() {
  Prepara("LeData");
  fComando.AddParamString("NomeData", "Data");
  EnviaComando("");
  std::string data = Trim(fResposta.Valor("ValorData"));
  Prepara("LeHora");
  fComando.AddParamString("NomeHora", "Hora");
  EnviaComando("");
  std::string hora = Trim(fResposta.Valor("ValorHora"));

  TDateTime resultado = 0;
  try {
    TDateTime dia = DateOf(StrToDateTime(data));
    int ano, mes, d;
    DecodeDate(dia, ano, mes, d);
    if (TryEncodeDateTime(ano, mes, d, static_cast<int>(StrToInt(CampoResposta(hora, 1, 2, "ValorHora"))),
                          static_cast<int>(StrToInt(CampoResposta(hora, 4, 2, "ValorHora"))),
                          static_cast<int>(StrToInt(CampoResposta(hora, 7, 2, "ValorHora"))),
                          resultado))
      return resultado;
  } catch (const EZuvoECFSemResposta&) {
    throw;
  } catch (const Exception&) {
  }
  throw EZuvoECFSemResposta("Data/Hora inválida da Impressora " + ModeloStr() + ": " + data + " " +
                            hora);
}

std::string TZuvoECFFiscNET::NumCupom() { return InteiroZeros(LeInteiro("COO"), 6); }
std::string TZuvoECFFiscNET::NumCRO() { return InteiroZeros(LeInteiro("CRO"), 6); }

std::string TZuvoECFFiscNET::NumLoja() {
  if (fNumLoja.empty()) fNumLoja = InteiroZeros(LeInteiro("Loja"), 3);
  return fNumLoja;
}

std::string TZuvoECFFiscNET::NumECF() {
  if (fNumECF.empty()) fNumECF = InteiroZeros(LeInteiro("ECF"), 4);
  return fNumECF;
}

std::string TZuvoECFFiscNET::NumSerie() { return LeTexto("NumeroSerieECF"); }

std::string TZuvoECFFiscNET::NumVersao() {
  if (fNumVersao.empty()) fNumVersao = LeTexto("VersaoSW");
  return fNumVersao;
}

double TZuvoECFFiscNET::SubTotal() { return LeMoeda("TotalDocLiquido"); }
double TZuvoECFFiscNET::TotalPago() { return LeMoeda("TotalDocValorPago"); }

TZuvoECFEstado TZuvoECFFiscNET::Estado() {
  if (!Ativo()) {
    SetEstadoCampo(estNaoInicializada);
    return estNaoInicializada;
  }
  TZuvoECFEstado estado = estDesconhecido;
  int64_t indicadores = 0;
  if (EhNumero(LeInteiroTexto("Indicadores"), indicadores)) {
    if (indicadores & 32) {
      estado = estBloqueada;
    } else if (indicadores & 128) {
      estado = estRequerZ;
    } else {
      switch (LeInteiro("EstadoFiscal")) {
        case 1: estado = estLivre; break;
        case 2: estado = estVenda; break;
        case 4: case 8: case 16: estado = estPagamento; break;
        case 32: case 64: case 128: estado = estRelatorio; break;
        default: break;
      }
    }
  }
  SetEstadoCampo(estado);
  return estado;
}

bool TZuvoECFFiscNET::GavetaAberta() { return LeIndicador("SensorGaveta"); }
bool TZuvoECFFiscNET::PoucoPapel() { return LeIndicador("SensorPoucoPapel"); }
bool TZuvoECFFiscNET::HorarioVerao() { return LeIndicador("HorarioVerao"); }
bool TZuvoECFFiscNET::ChequePronto() { return LeIndicador("SensorCheque"); }

// ---------------------------------------------------------------------------
// The fiscal receipt

void TZuvoECFFiscNET::AbreCupom(const std::string& CPF_CNPJ) {
  Prepara("AbreCupomFiscal", 5);
  AddTexto("IdConsumidor", CPF_CNPJ);
  EnviaComando("");
  AvisaPoucoPapel();
}

void TZuvoECFFiscNET::VendeItem(const std::string& Codigo, const std::string& Descricao,
                                const std::string& AliquotaICMS, double Qtd,
                                double ValorUnitario, double DescontoPorc,
                                const std::string& Unidade) {
  if (!(Qtd > 0)) throw EZuvoECFCMDInvalido("Quantidade deve ser maior que zero.");
  // The discount is sent after the item: check it before the item is sold,
  // as the other families' 4-digit percentage field does.
  CampoNumerico(DescontoPorc, 2, 4, "DescontoPorc");
  std::string aliquota = Trim(AliquotaICMS);
  if (aliquota.empty()) throw EZuvoECFCMDInvalido("Aliquota de ICMS não pode ser vazia.");

  int64_t codAliquota = 0;
  const char inicial = static_cast<char>(std::toupper(static_cast<unsigned char>(aliquota[0])));
  if (inicial == 'F') {
    codAliquota = -2;
  } else if (inicial == 'I') {
    codAliquota = -3;
  } else if (inicial == 'N') {
    codAliquota = -4;
  } else if (inicial == 'T') {
    if (!EhNumero(Copy(aliquota, 2, 2), codAliquota))
      throw EZuvoECFCMDInvalido("Aliquota inválida: " + AliquotaICMS);
  } else {
    const TZuvoECFAliquota& a = AchaAliquotaVenda(aliquota);
    if (!EhNumero(a.Indice, codAliquota)) {
      char tipo = ' ';
      SeparaTipoAliquota(aliquota, tipo);
      throw EZuvoECFCMDInvalido("Aliquota inválida: " + aliquota);
    }
  }

  if (ArredondaPorQtd() && !Arredonda()) ArredondarPorQtd(Qtd, -2, ValorUnitario);

  Prepara("VendeItem");
  fComando.AddParamInteger("CodAliquota", codAliquota);
  AddTexto("CodProduto", Copy(Codigo, 1, 48));
  AddTexto("NomeProduto", Copy(Descricao, 1, 200));
  fComando.AddParamDouble("PrecoUnitario", ValorUnitario);
  fComando.AddParamDouble("Quantidade", Qtd);
  AddTexto("Unidade", CompletaDireita(Unidade, 2));
  EnviaComando("");

  // The printer takes a signed percentage: negative is a discount.
  if (DescontoPorc > 0) {
    Prepara("AcresceItemFiscal");
    fComando.AddParamDouble("ValorPercentual", -DescontoPorc);
    EnviaComando("");
  }
}

void TZuvoECFFiscNET::SubtotalizaCupom(double DescontoAcrescimo, const std::string&) {
  if (DescontoAcrescimo == 0) return;
  Prepara("AcresceSubtotal");
  fComando.AddParamBool("Cancelar", false);
  fComando.AddParamDouble("ValorAcrescimo", DescontoAcrescimo);
  EnviaComando("");
}

void TZuvoECFFiscNET::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                      const std::string& Observacao, bool ImprimeVinculado) {
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  Prepara("PagaCupom");
  fComando.AddParamInteger("CodMeioPagamento", StrToIntDef(Trim(CodFormaPagto), -2));
  AddTexto("TextoAdicional", Observacao);
  fComando.AddParamDouble("Valor", Valor);
  EnviaComando("");
}

void TZuvoECFFiscNET::FechaCupom(const std::string& Observacao) {
  Prepara("EncerraDocumento", 5);
  AddTexto("Operador", Operador());
  AddTexto("TextoPromocional", Observacao);
  EnviaComando("");
  AvisaPoucoPapel();
}

void TZuvoECFFiscNET::CancelaCupom() {
  Prepara("CancelaCupom", 5);
  AddTexto("Operador", Operador());
  EnviaComando("");
  FechaRelatorio();
  AvisaPoucoPapel();
}

void TZuvoECFFiscNET::CancelaItemVendido(int NumItem) {
  Prepara("CancelaItemFiscal");
  fComando.AddParamInteger("NumItem", NumItem);
  EnviaComando("");
}

void TZuvoECFFiscNET::AbreGaveta() {
  Prepara("AbreGaveta");
  EnviaComando("");
}

// ---------------------------------------------------------------------------
// Day reports

void TZuvoECFFiscNET::LeituraX() {
  Prepara("EmiteLeituraX", 15);
  AddTexto("Destino", "I");
  AddTexto("Operador", Operador());
  EnviaComando("");
  AvisaPoucoPapel();
}

void TZuvoECFFiscNET::ReducaoZ(TDateTime DataHora) {
  Prepara("EmiteReducaoZ", 45);
  if (DataHora != 0) fComando.AddParamTime("Hora", DataHora);
  AddTexto("Operador", Operador());
  EnviaComando("");
  AvisaPoucoPapel();
}

void TZuvoECFFiscNET::MudaHorarioVerao() { MudaHorarioVerao(!HorarioVerao()); }

void TZuvoECFFiscNET::MudaHorarioVerao(bool EHorarioVerao) {
  Prepara("AcertaHorarioVerao");
  fComando.AddParamInteger("EntradaHV", EHorarioVerao ? 1 : 0);
  EnviaComando("");
}

// ---------------------------------------------------------------------------
// Managerial report and linked receipt

void TZuvoECFFiscNET::AbreRelatorioGerencial() {
  Prepara("AbreGerencial", 5);
  fComando.AddParamInteger("CodGerencial", 0);
  EnviaComando("");
}

// The printer takes at most 492 characters of free text per command: the
// wrapped text goes in blocks that end at a line break.
void TZuvoECFFiscNET::ImprimeTextoLivre(const std::string& Linha) {
  const int kMaxBloco = 492;
  std::string texto = AjustaLinhas(Linha);
  while (!texto.empty()) {
    std::string bloco = texto;
    if (static_cast<int>(bloco.size()) > kMaxBloco) {
      bloco = Copy(texto, 1, kMaxBloco);
      int ultimoLF = PosicaoUltima(std::string(1, LF), bloco);
      if (ultimoLF > 0) bloco = Copy(bloco, 1, ultimoLF);
    }
    const int linhas = ContaOcorrencias(bloco, std::string(1, LF));
    Prepara("ImprimeTexto", linhas / 4);
    AddTexto("TextoLivre", bloco);
    SetAguardaImpressao(linhas / 4 > 3);
    EnviaComando("");
    texto.erase(0, bloco.size());
  }
}

void TZuvoECFFiscNET::LinhaRelatorioGerencial(const std::string& Linha) {
  ImprimeTextoLivre(Linha);
}

void TZuvoECFFiscNET::LinhaCupomVinculado(const std::string& Linha) { ImprimeTextoLivre(Linha); }

void TZuvoECFFiscNET::AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                                         const std::string&, double Valor) {
  if (!AchaFPGIndice(CodFormaPagto))
    throw EZuvoECFCMDInvalido("Forma de Pagamento: " + CodFormaPagto + " não foi cadastrada.");
  Prepara("AbreCreditoDebito", 5);
  fComando.AddParamInteger("CodMeioPagamento", StrToIntDef(Trim(CodFormaPagto), -2));
  fComando.AddParamInteger("COO", StrToIntDef(Trim(COO), 0));
  fComando.AddParamDouble("Valor", Valor);
  EnviaComando("");
}

void TZuvoECFFiscNET::FechaRelatorio() {
  if (Estado() != estRelatorio) return;
  Prepara("EncerraDocumento", 5);
  AddTexto("Operador", Operador());
  EnviaComando("");
  AvisaPoucoPapel();
}

void TZuvoECFFiscNET::PulaLinhas(int NumLinhas) {
  if (NumLinhas == 0) NumLinhas = LinhasEntreCupons();
  Prepara("AvancaPapel");
  fComando.AddParamInteger("Avanco", int64_t{NumLinhas} * 9);
  EnviaComando("");
}

void TZuvoECFFiscNET::CancelaImpressaoCheque() {
  Prepara("ChancelaCheque");
  EnviaComando("");
}

void TZuvoECFFiscNET::CorrigeEstadoErro() {
  try {
    Prepara("ReinicializaEquipamento");
    EnviaComando("");
  } catch (const Exception&) {
  }
  Dorme(200);  // the printer restarts after ReinicializaEquipamento (recovery only)
  TZuvoECFClass::CorrigeEstadoErro();
}

void TZuvoECFFiscNET::FechaRelatorioRecarrega() {
  TZuvoECFClass::FechaRelatorioRecarrega();
  CarregaFormasPagamento();
}

// ---------------------------------------------------------------------------
// Fiscal memory

void TZuvoECFFiscNET::PreparaLeituraMF(int ReducaoInicial, int ReducaoFinal,
                                       const std::string& Destino) {
  // One second for each reduction of the range (both ends count), plus 5.
  Prepara("EmiteLeituraMF", std::max(0, ReducaoFinal - ReducaoInicial + 1) + 5);
  AddTexto("Destino", Destino);
  fComando.AddParamBool("LeituraSimplificada", false);
  AddTexto("Operador", Operador());
  fComando.AddParamInteger("ReducaoFinal", ReducaoFinal);
  fComando.AddParamInteger("ReducaoInicial", ReducaoInicial);
}

void TZuvoECFFiscNET::PreparaLeituraMF(TDateTime DataInicial, TDateTime DataFinal,
                                       const std::string& Destino) {
  const int dias = static_cast<int>(std::max(0.0, DateOf(DataFinal) - DateOf(DataInicial)));
  Prepara("EmiteLeituraMF", dias + 5);
  fComando.AddParamDate("DataFinal", DataFinal);
  fComando.AddParamDate("DataInicial", DataInicial);
  AddTexto("Destino", Destino);
  fComando.AddParamBool("LeituraSimplificada", false);
  AddTexto("Operador", Operador());
}

void TZuvoECFFiscNET::LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
  PreparaLeituraMF(DataInicial, DataFinal, "I");
  EnviaComando("");
  AvisaPoucoPapel();
}

void TZuvoECFFiscNET::LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
  PreparaLeituraMF(ReducaoInicial, ReducaoFinal, "I");
  EnviaComando("");
  AvisaPoucoPapel();
}

// The printer keeps the reading for the serial line; LeImpressao hands it
// over piece by piece until it answers an empty text.
void TZuvoECFFiscNET::CapturaLeituraMF(TStrings& Linhas) {
  const int kMaxLeituras = 100000;  // a printer that never ends is an error, not a hang
  EnviaComando("");
  Dorme(500);  // the printer composes the reading before LeImpressao can hand it over
  Linhas.clear();
  std::string texto;
  for (int i = 0;; i++) {
    if (i >= kMaxLeituras)
      ErroImpressora("Leitura da Memória Fiscal não terminou após " + IntToStr(kMaxLeituras) +
                     " blocos",
                     std::string(1, LF));
    Prepara("LeImpressao");
    EnviaComando("");
    std::string parte = ValorTexto("TextoImpressao");
    if (parte.empty()) break;
    texto += parte;
  }
  Linhas = SplitLines(texto);
}

void TZuvoECFFiscNET::LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                                 TStrings& Linhas) {
  PreparaLeituraMF(DataInicial, DataFinal, "S");
  CapturaLeituraMF(Linhas);
}

void TZuvoECFFiscNET::LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                                 TStrings& Linhas) {
  PreparaLeituraMF(ReducaoInicial, ReducaoFinal, "S");
  CapturaLeituraMF(Linhas);
}

// ---------------------------------------------------------------------------
// Tables. A slot the printer refuses to read is simply not programmed; a
// printer that does not answer stops the load at once.

bool TZuvoECFFiscNET::SlotRecusado() const { return fResposta.CodRetorno() > 0; }

void TZuvoECFFiscNET::CarregaAliquotas() {
  TZuvoECFClass::CarregaAliquotas();
  for (int i = 0; i <= 15; i++) {
    try {
      Prepara("LeAliquota");
      fComando.AddParamInteger("CodAliquotaProgramavel", i);
      EnviaComando("");
      std::string indice = Trim(fResposta.Valor("CodAliquotaProgramavel"));
      if (indice.empty()) continue;
      auto a = std::make_unique<TZuvoECFAliquota>();
      a->Indice = indice;
      a->Aliquota = TextoParaValor(Trim(fResposta.Valor("PercentualAliquota")));
      char c = static_cast<char>(
          std::toupper(static_cast<unsigned char>(CharAt(Trim(fResposta.Valor("AliquotaICMS")), 1))));
      a->Tipo = (c == 'F' || c == 'N') ? 'S' : 'T';
      fAliquotas->Add(std::move(a));
    } catch (const Exception&) {
      if (!SlotRecusado()) throw;
    }
  }
}

void TZuvoECFFiscNET::ProgramaAliquota(double Aliquota, char Tipo, const std::string& Posicao) {
  Tipo = static_cast<char>(std::toupper(static_cast<unsigned char>(Tipo)));
  if (Tipo != 'S' && Tipo != 'T') Tipo = 'T';
  Prepara("DefineAliquota");
  fComando.AddParamBool("AliquotaICMS", Tipo == 'T');
  fComando.AddParamInteger("CodAliquotaProgramavel", StrToIntDef(Trim(Posicao), -1));
  AddTexto("DescricaoAliquota",
           std::string(Tipo == 'T' ? "ICMS: " : "ISS: ") + NumeroFiscNET(Aliquota, "Aliquota") + "%");
  fComando.AddParamDouble("PercentualAliquota", Aliquota);
  EnviaComando("");
  auto a = std::make_unique<TZuvoECFAliquota>();
  a->Indice = Trim(fResposta.Valor("CodAliquotaProgramavel"));
  if (a->Indice.empty()) a->Indice = IntToStr(StrToIntDef(Trim(Posicao), -1));
  a->Aliquota = Aliquota;
  a->Tipo = Tipo;
  Aliquotas().Add(std::move(a));
}

void TZuvoECFFiscNET::CarregaFormasPagamento() {
  TZuvoECFClass::CarregaFormasPagamento();
  for (int i = -2; i <= 14; i++) {
    if (i == -1) continue;
    try {
      Prepara("LeMeioPagamento");
      fComando.AddParamInteger("CodMeioPagamentoProgram", i);
      EnviaComando("");
      std::string indice = Trim(fResposta.Valor("CodMeioPagamentoProgram"));
      if (indice.empty()) continue;
      auto f = std::make_unique<TZuvoECFFormaPagamento>();
      f->Indice = indice;
      f->Descricao = ValorTexto("NomeMeioPagamento");
      char c = static_cast<char>(std::toupper(
          static_cast<unsigned char>(CharAt(Trim(fResposta.Valor("PermiteVinculado")), 1))));
      f->PermiteVinculado = c == 'T' || c == 'Y';
      fFormasPagamento->Add(std::move(f));
    } catch (const Exception&) {
      if (!SlotRecusado()) throw;
    }
  }
}

void TZuvoECFFiscNET::ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado,
                                             const std::string& Posicao) {
  Prepara("DefineMeioPagamento");
  fComando.AddParamInteger("CodMeioPagamentoProgram", StrToIntDef(Trim(Posicao), -1));
  AddTexto("DescricaoMeioPagamento", Descricao);
  AddTexto("NomeMeioPagamento", Descricao);
  fComando.AddParamBool("PermiteVinculado", PermiteVinculado);
  EnviaComando("");
  auto f = std::make_unique<TZuvoECFFormaPagamento>();
  f->Indice = Trim(fResposta.Valor("CodMeioPagamentoProgram"));
  if (f->Indice.empty()) f->Indice = IntToStr(StrToIntDef(Trim(Posicao), -1));
  f->Descricao = Descricao;
  f->PermiteVinculado = PermiteVinculado;
  FormasPagamento().Add(std::move(f));
  Descricao = Trim(Descricao);
}

void TZuvoECFFiscNET::CarregaComprovantesNaoFiscais() {
  TZuvoECFClass::CarregaComprovantesNaoFiscais();
  for (int i = 0; i <= 14; i++) {
    try {
      Prepara("LeNaoFiscal");
      fComando.AddParamInteger("CodNaoFiscal", i);
      EnviaComando("");
      std::string indice = Trim(fResposta.Valor("CodNaoFiscal"));
      if (indice.empty()) continue;
      auto c = std::make_unique<TZuvoECFComprovanteNaoFiscal>();
      c->Indice = indice;
      c->Descricao = ValorTexto("NomeNaoFiscal");
      fComprovantesNaoFiscais->Add(std::move(c));
    } catch (const Exception&) {
      if (!SlotRecusado()) throw;
    }
  }
}

void TZuvoECFFiscNET::ProgramaComprovanteNaoFiscal(std::string& Descricao,
                                                   const std::string& Tipo,
                                                   const std::string& Posicao) {
  const char t = Tipo.empty() ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(Tipo[0])));
  Prepara("DefineNaoFiscal");
  fComando.AddParamInteger("CodNaoFiscal", StrToIntDef(Trim(Posicao), -1));
  AddTexto("DescricaoNaoFiscal", Descricao);
  AddTexto("NomeNaoFiscal", Descricao);
  fComando.AddParamBool("TipoNaoFiscal", !(t == '-' || t == '0' || t == 'F'));
  EnviaComando("");
  auto c = std::make_unique<TZuvoECFComprovanteNaoFiscal>();
  c->Indice = Trim(fResposta.Valor("CodNaoFiscal"));
  if (c->Indice.empty()) c->Indice = IntToStr(StrToIntDef(Trim(Posicao), -1));
  c->Descricao = Descricao;
  ComprovantesNaoFiscais().Add(std::move(c));
  Descricao = Trim(Descricao);
}

}  // namespace zuvo
