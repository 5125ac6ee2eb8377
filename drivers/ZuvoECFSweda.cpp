#include "drivers/ZuvoECFSweda.h"

#include <algorithm>
#include <cmath>

#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

constexpr char ESC = 27;

// A serial fiscal-memory read that never ends (a printer that keeps sending
// pages) stops here.
constexpr int kMaxPaginas = 10000;

// A free text inside a command: a "}" would end the command early on the
// printer and control codes do not print, so both become blanks (line
// breaks stay where the text is wrapped into lines afterwards).
std::string TextoCampo(const std::string& Texto, bool MantemLinhas = false) {
  return TextoImprimivel(Texto, MantemLinhas, "}");
}

bool SoDigitosNaoVazio(const std::string& Texto) {
  return !Texto.empty() && SoDigitos(Texto) == Texto;
}

// The percentage field of the discounts: "00.00" (with the decimal comma),
// blank-filled to 10.
std::string Percentual(double Valor) { return CompletaDireita(FormatFloat("00.00", Valor), 10); }

// The lines of an AjustaLinhas result (each ended by LF).
TStrings LinhasDe(const std::string& Texto) {
  TStrings r;
  size_t inicio = 0;
  while (inicio < Texto.size()) {
    size_t fim = Texto.find(LF, inicio);
    if (fim == std::string::npos) fim = Texto.size();
    r.push_back(Texto.substr(inicio, fim - inicio));
    inicio = fim + 1;
  }
  return r;
}

// A table as the printer takes it again: the records with Novo at the
// 1-based Posicao (1..Maximo; past the end it goes last), or after them.
std::string TabelaCom(TStrings Registros, const std::string& Novo, const std::string& Posicao,
                      int Maximo) {
  const int pos = static_cast<int>(StrToIntDef(Trim(Posicao), 0));
  const size_t onde = pos >= 1 && pos <= Maximo
                          ? std::min(static_cast<size_t>(pos - 1), Registros.size())
                          : Registros.size();
  Registros.insert(Registros.begin() + static_cast<std::ptrdiff_t>(onde), Novo);
  std::string t;
  for (const std::string& r : Registros) t += r;
  return t;
}

}  // namespace

// ===========================================================================
// The protocol

std::string TZuvoECFSweda::PreparaComando(const std::string& Cmd) {
  return std::string(1, ESC) + "." + Cmd + "}";
}

bool TZuvoECFSweda::RespostaCompleta(const std::string& Retorno) {
  const size_t n = Retorno.size();
  return n > 2 && (Retorno[n - 1] == '}' || Retorno[n - 2] == '}');
}

std::string TZuvoECFSweda::ListaVerificacao() {
  return CRLF + "Verifique:" + CRLF + "- A impressora está ligada ? " + CRLF +
         "- A tampa está aberta ?" + CRLF + "- Os cabos estão conectados ?";
}

std::string TZuvoECFSweda::MensagemErro(const std::string& Resposta, const std::string& Contador,
                                         bool& PapelAcabando) {
  PapelAcabando = false;
  const std::string r = Resposta.empty() ? ".-0001^TIMEOUT" : Resposta;
  // The printer interface could not pass the command on, or got no answer.
  if (Copy(r, 1, 5) == ".-P00" && r.size() == 7) {
    const char c = CharAt(r, 6);
    std::string msg;
    if (c == '2') msg = "Comando não foi enviado a Impressora.";
    else if (c == '6') msg = "Não foi recebida a resposta da Impressora.";
    return msg + ListaVerificacao();
  }
  if (Copy(r, 1, 3) == ".-P") {
    const std::string d = Copy(r, 4, 3);
    std::string msg;
    if (d.find('1') != std::string::npos)
      msg = "Impressora fora de linha" + CRLF + ListaVerificacao();
    else if (d.find('2') != std::string::npos)
      msg = "Time-out de Transmissao" + CRLF + ListaVerificacao();
    else if (d.find('6') != std::string::npos)
      msg = "Impressora não está pronta para aceitar novo comando" + CRLF + ListaVerificacao();
    if (CharAt(r, 6) == '5') {
      // The counter moved: the command was executed, the paper is ending.
      // Before any command answered since activation the counter is not
      // known: the command may not have been executed, which is an error.
      if (!Contador.empty() && Copy(r, 9, 4) != Contador)
        PapelAcabando = true;
      else
        msg += (msg.empty() ? "" : CRLF) + "Sem papel";
    }
    // Any other interface answer is a failure too, never a success.
    if (msg.empty() && !PapelAcabando)
      msg = "Falha " + Copy(r, 3, 4) + " informada pela interface da Impressora" + ListaVerificacao();
    return msg;
  }
  if (Copy(r, 1, 2) == ".-") {
    // The printer's text runs from character 7 to the closing brace. A
    // refusal always raises: without a text, the message names its code.
    std::string msg = Copy(r, 7);
    const size_t chave = msg.rfind('}');
    if (chave != std::string::npos) msg.erase(chave);
    if (!Trim(msg).empty()) return msg;
    return "Comando recusado pela Impressora (código " + Copy(r, 3, 4) + ")";
  }
  return "";
}

std::string TZuvoECFSweda::NomeModeloLetra(char Letra) {
  switch (Letra) {
    case 'A': return "7000-III";
    case 'B': return "7000-I / 9000-I";
    case 'C': return "7000-II / 9000-IIE";
    case 'D': return "7000-IE / 9000-IE";
    case 'E': return "7000-IEE / 9000-II";
    case 'F': return "9000-IIIE";
    case 'G': return "ST1000";
    case 'H': return "ST100";
    default: return "???";
  }
}

// ===========================================================================

TZuvoECFSweda::TZuvoECFSweda(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config) {
  SetNomeModelo("Sweda");
  Device.SetHandShake(hsDTR_DSR);
  SetColunas(40);
}

TZuvoECFSweda::~TZuvoECFSweda() = default;

// ----- The command cycle -----

std::string TZuvoECFSweda::MontaQuadro(const std::string& Cmd) {
  // A printing command is not asked about its end before the printer can
  // have finished: a fifth of its time-out (a tenth on the faster ST).
  if (AguardaImpressao() && !fInicioDefinido) {
    const int segundos = std::max(1, TimeOut() / (fGeracao == 5 ? 10 : 5));
    fInicioVerificaImpressao.Renova(int64_t{segundos} * 1000);
    fInicioDefinido = true;
  }
  return PreparaComando(Cmd);
}

void TZuvoECFSweda::AposTransmitir() {
  if (Device().HandShake() != hsDTR_DSR) return;
  DefineDTR(true);
  if (!SinalCTS()) DefineRTS(false);
}

bool TZuvoECFSweda::VerificaFimLeitura(const std::string& Retorno) {
  // A refused command printed nothing: no wait for the end of printing.
  if (AguardaImpressao() && Copy(Retorno, 1, 2) == ".-") SetAguardaImpressao(false);
  return RespostaCompleta(Retorno);
}

bool TZuvoECFSweda::VerificaFimImpressao() {
  // The printer is not asked before it can have finished printing what it
  // was sent: a rest it needs (the window stays alive meanwhile), and the
  // question follows it at once.
  while (fInicioDefinido && !fInicioVerificaImpressao.Venceu()) {
    Descansa(fInicioVerificaImpressao.RestanteAte(100));
    Toolkit().processEvents();
  }
  // A printer still printing does not answer "271"; once done it reports
  // the document number.
  std::string r;
  if (!ConsultaDuranteImpressao(PreparaComando("271"), RespostaCompleta, r, 1500)) return false;
  const std::string coo = Copy(r, 14, 4);
  return Copy(r, 1, 3) == ".+C" && coo.size() == 4 && SoDigitosNaoVazio(coo) && StrToInt(coo) > 0;
}

TRespostaECF TZuvoECFSweda::DecodificaResposta(const std::string& Resposta) {
  TRespostaECF r;
  r.Dados = Resposta.empty() ? ".-0001^TIMEOUT" : Resposta;
  bool papelAcabando = false;
  r.Erro = MensagemErro(Resposta, fUltimoContador, papelAcabando);
  // The command counter, to tell an executed command from a refused one
  // when the paper runs out. Only a command's answer carries it: a query's
  // answer (".+C", ".+T", ".+G", ".+S") has other text there.
  const std::string contador = Copy(Resposta, 3, 4);
  if (papelAcabando) {
    fUltimoContador = Copy(Resposta, 9, 4);
    DoMsgPoucoPapel("Papel acabando");
  } else if (Copy(Resposta, 1, 2) == ".+" && contador.size() == 4 && SoDigitosNaoVazio(contador)) {
    fUltimoContador = contador;
  }
  return r;
}

void TZuvoECFSweda::ReiniciaComando() { fInicioDefinido = false; }

// ----- Small command shapes -----

std::string TZuvoECFSweda::EnviaImpressao(const std::string& Cmd, int TimeOut) {
  SetAguardaImpressao(true);
  return EnviaComando(Cmd, TimeOut);
}

TZuvoECFSweda::TStatus TZuvoECFSweda::LeStatus() {
  TStatus s;
  s.Resposta = EnviaComando("28");
  s.P = Pos("!", s.Resposta);
  if (s.P == 0) return s;
  // The state, the document and the last command: from character 7 on G1,
  // from 10 on the others.
  const std::string doc = UpperCase(CampoResposta(s.Resposta, fGeracao == 1 ? 7 : 10, 11, "Documento"));
  s.T = doc[0];
  s.D = Trim(doc.substr(1, 8));
  s.K = Trim(doc.substr(9, 2));
  return s;
}

void TZuvoECFSweda::AguardaEstado(TZuvoECFEstado Esperado, int Ms) {
  const TPrazo limite(Ms);
  while (!limite.Venceu()) {
    try {
      if (Estado() == Esperado) return;
    } catch (const Exception&) {
      // The printer may still be busy: ask again.
    }
    Dorme(200);
  }
}

// ===========================================================================
// Activation and identification

std::string TZuvoECFSweda::NumVersao() {
  if (fLetraModelo == ' ') {
    const std::string r = EnviaComando("271");
    if (Copy(r, 1, 3) == ".+C" && CharAt(r, 7) == '1')
      fLetraModelo = CampoResposta(r, 125, 1, "LetraModelo")[0];
  }
  if (fNumVersaoCache.empty()) {
    std::string r;
    try {
      Sondagem sonda(*this);  // printers before firmware 1.0 do not know it
      r = EnviaComando("27G");
    } catch (const EZuvoECFNaoInicializado&) {
      throw;
    } catch (const Exception&) {
      r.clear();
    }
    if (Copy(r, 1, 3) == ".+C" && CharAt(r, 7) == 'G')
      fNumVersaoCache = CampoResposta(r, 28, 3, "NumVersao");
    else
      fNumVersaoCache = "0.3";
  }
  return fNumVersaoCache;
}

int TZuvoECFSweda::IdentificaGeracao() {
  if (fGeracao != 0) return fGeracao;
  SetNomeModelo("Sweda");
  fArredondaSweda = false;
  SetMFD(false);
  SetTermica(false);
  const std::string v = NumVersao();
  if (v.empty() || fLetraModelo == ' ') return 0;
  SetNomeModelo("Sweda " + NomeModeloLetra(fLetraModelo));
  const int n = static_cast<int>(TruncaPreciso(TextoParaNumeroDef(v == "1.A" ? "1.0" : v, 0) * 10));
  if (n <= 0) return 0;
  std::string sufixo;
  if (fLetraModelo == 'F') {
    fGeracao = 4;
    sufixo = " (D)";
  } else if (fLetraModelo > 'F') {
    fGeracao = 5;
    sufixo = " (ST)";
    SetMFD(true);
    SetTermica(true);
  } else if (n <= 9) {
    fGeracao = 1;
    fArredondaSweda = true;
    sufixo = " (A)";
  } else if (n <= 11) {
    fGeracao = 2;
    fArredondaSweda = n == 10;
    sufixo = " (B)";
  } else {
    fGeracao = 3;
    sufixo = " (C)";
  }
  SetNomeModelo(NomeModelo() + sufixo);
  return fGeracao;
}

void TZuvoECFSweda::Ativar() {
  ExigePortaSerial("A impressora: " + ModeloStr(), std::string(1, LF));
  TZuvoECFClass::Ativar();
  try {
    fNumVersaoCache.clear();
    fNumECFCache.clear();
    fNumCROCache.clear();
    fLetraModelo = ' ';
    SetNomeModelo("Sweda");
    fGeracao = 0;
    fArredondaSweda = false;
    fInicioDefinido = false;
    fUltimoContador.clear();
    fMarcaPagamento = -1;
    fVinculadosPendentes = 0;
    EsvaziaPorta();
    IdentificaGeracao();
    if (IdentificaGeracao() == 0)
      throw EZuvoECFNaoInicializado("Erro inicializando a impressora " + ModeloStr());
  } catch (...) {
    Desativar();
    throw;
  }
}

// ===========================================================================
// Identification and state

TDateTime TZuvoECFSweda::DataHora() {
  const TStatus s = LeStatus();
  if (s.P == 0) return 0;
  const std::string texto = CampoResposta(s.Resposta, s.P + 1, 10, "DataHora");
  return DataHoraResposta(texto + "00", "ddmmyyhhnnss");
}

std::string TZuvoECFSweda::NumCupom() {
  const std::string r = EnviaComando("271");
  if (Copy(r, 1, 3) != ".+C") return std::string(6, ' ');
  return InteiroZeros(NumeroResposta(r, 14, 4, "NumCupom"), 6);
}

std::string TZuvoECFSweda::NumECF() {
  if (fNumECFCache.empty()) {
    const std::string r = EnviaComando("27F");
    if (Copy(r, 1, 3) == ".+C") fNumECFCache = InteiroZeros(NumeroResposta(r, 4, 3, "NumECF"), 4);
  }
  return fNumECFCache;
}

std::string TZuvoECFSweda::NumCRO() {
  if (fNumCROCache.empty()) {
    const bool g1 = fGeracao == 1;
    const std::string r = EnviaComando(g1 ? "279" : "27G");
    if (Copy(r, 1, 3) == ".+C")
      fNumCROCache = InteiroZeros(NumeroResposta(r, g1 ? 116 : 16, 4, "NumCRO"), 4);
  }
  return fNumCROCache;
}

std::string TZuvoECFSweda::NumSerie() {
  const bool g1 = fGeracao == 1;
  const std::string r = EnviaComando(g1 ? "272" : "273");
  if (Copy(r, 1, 3) != ".+C") return "";
  return Trim(g1 ? CampoResposta(r, 8, 11, "NumSerie") : CampoResposta(r, 13, 9, "NumSerie"));
}

double TZuvoECFSweda::SubTotal() {
  const TStatus s = LeStatus();
  if (s.P == 0) return 0;
  return NumeroResposta(s.Resposta, s.P - 24, 12, "SubTotal") / 100.0;
}

double TZuvoECFSweda::TotalPago() {
  const TStatus s = LeStatus();
  if (s.P == 0) return 0;
  // What was paid is the subtotal less what is still due.
  const int64_t pago = NumeroResposta(s.Resposta, s.P - 24, 12, "SubTotal") -
                       NumeroResposta(s.Resposta, s.P + 52, 12, "Saldo");
  return RoundTo(std::max<int64_t>(0, pago) / 100.0, -2);
}

TZuvoECFEstado TZuvoECFSweda::Estado() {
  if (!Ativo()) {
    SetEstadoCampo(estNaoInicializada);
    return estNaoInicializada;
  }
  const TStatus s = LeStatus();
  TZuvoECFEstado e = estDesconhecido;
  if (s.P > 0) {
    const int64_t subtotal = NumeroResposta(s.Resposta, s.P - 24, 12, "SubTotal");
    const int64_t saldo = NumeroResposta(s.Resposta, s.P + 52, 12, "Saldo");
    const char bloqueio = CampoResposta(s.Resposta, s.P + 77, 1, "Estado")[0];
    const char t = s.T;
    const std::string& d = s.D;
    if (bloqueio == 'S') {
      e = estBloqueada;
    } else if (bloqueio == 'F') {
      e = estRequerZ;
    } else if (t != 'C') {
      if (d == "N.FISCAL" || d == "LEIT. X")
        e = estRelatorio;
      else if (fMarcaPagamento >= 0)
        e = estPagamento;
      else if (subtotal != 0 && subtotal != saldo && t != 'E')
        e = estPagamento;
      else if (d == "VENDAS")
        e = estVenda;
    }
    // The day flag at P+76 is not read as "X reading required": the
    // printers show 'F' there during normal sales. A printer whose first X
    // reading of the day is due refuses to open a receipt, with its text.
    if (e == estDesconhecido && (t == 'C' || t == 'E')) e = estLivre;
  }
  SetEstadoCampo(e);
  return e;
}

bool TZuvoECFSweda::GavetaAberta() {
  return Copy(EnviaComando(fLetraModelo == 'B' ? "22" : "43"), 1, 6) == ".+G000";
}

bool TZuvoECFSweda::PoucoPapel() { return CharAt(EnviaComando("23"), 6) == '5'; }

bool TZuvoECFSweda::ChequePronto() { return CharAt(EnviaComando("23"), 5) == '0'; }

bool TZuvoECFSweda::HorarioVerao() {
  const TStatus s = LeStatus();
  if (s.P == 0) return false;
  // The flag stands right after the clock (P+11); P+12 is a blank.
  return CampoResposta(s.Resposta, s.P + 11, 1, "HorarioVerao") == "S";
}

bool TZuvoECFSweda::Arredonda() { return fArredondaSweda; }

// ===========================================================================
// Tables

void TZuvoECFSweda::CarregaAliquotas() {
  TZuvoECFClass::CarregaAliquotas();
  const bool g1 = fGeracao == 1;
  struct Parte {
    const char* Cmd;
    int Inicio, Fim, InicioG1, FimG1;
  };
  const Parte partes[] = {{"293", 49, 76, 49, 112}, {"294", 8, 56, 8, 119}, {"295", 8, 35, 8, 71}};
  std::string registros;
  for (const Parte& p : partes) {
    const std::string r = EnviaComando(p.Cmd);
    if (Copy(r, 1, 3) != ".+T") break;
    const int inicio = g1 ? p.InicioG1 : p.Inicio, fim = g1 ? p.FimG1 : p.Fim;
    registros += Copy(r, inicio, fim - inicio + 1);
  }
  // Records of 7 (type, slot, value x 100); G1 records of 16 with the value
  // at 9-12.
  const int tamanho = g1 ? 16 : 7;
  for (int i = 0; i < 15; i++) {
    const std::string rec = Copy(registros, i * tamanho + 1, tamanho);
    const char tipo = CharAt(rec, 1);
    const std::string valor = Copy(rec, g1 ? 9 : 4, 4);
    if (StrToIntDef(Copy(rec, 2, 2), 0) <= 0 || (tipo != 'T' && tipo != 'S') || valor.size() != 4 ||
        !SoDigitosNaoVazio(valor))
      continue;
    auto& a = fAliquotas->Add();
    a.Indice = Copy(rec, 1, 3);
    a.Aliquota = StrToInt(valor) / 100.0;
    a.Tipo = tipo == 'S' ? 'S' : 'T';
  }
}

void TZuvoECFSweda::ProgramaAliquota(double Aliquota, char Tipo, const std::string& Posicao) {
  const char tipo = (Tipo == 'S' || Tipo == 's') ? 'S' : 'T';
  const std::string valor = CampoNumerico(Aliquota, 2, 4, "Aliquota");
  CarregaAliquotas();
  int i = static_cast<int>(StrToIntDef(Trim(Posicao), 0));
  if (i < 1 || i > 15) {
    i = 1;
    while (i <= 15 && (AchaICMSIndice("T" + InteiroZeros(i, 2)) || AchaICMSIndice("S" + InteiroZeros(i, 2))))
      i++;
  }
  if (i > 15) throw Exception("Não há espaço para programar novas Aliquotas");
  const std::string indice = std::string(1, tipo) + InteiroZeros(i, 2);
  EnviaComando("33" + indice + valor);
  auto& a = fAliquotas->Add();
  a.Indice = indice;
  a.Aliquota = Aliquota;
  a.Tipo = tipo;
}

void TZuvoECFSweda::CarregaFormasPagamento() {
  TZuvoECFClass::CarregaFormasPagamento();
  // Ten records: a flag ('S' linked receipts allowed) and a name of 15.
  std::vector<std::pair<char, std::string>> registros;
  const std::string r5 = EnviaComando("295");
  const std::string r6 = EnviaComando("296");
  if (fGeracao >= 4) {
    const std::string t = Copy(r5, 36, 48) + Copy(r6, 8, 112);
    for (int i = 0; i < 10; i++) registros.push_back({CharAt(t, i * 16 + 1), Copy(t, i * 16 + 2, 15)});
  } else {
    // The three names of "295" follow its rates (at 72 in G1, 36 after);
    // their flags come right after the names (G1: 117-119, else 81-83).
    const int nomes = fGeracao == 1 ? 72 : 36;
    for (int i = 0; i < 3; i++) registros.push_back({CharAt(r5, nomes + 45 + i), Copy(r5, nomes + i * 15, 15)});
    for (int i = 0; i < 7; i++) registros.push_back({CharAt(r6, 113 + i), Copy(r6, 8 + i * 15, 15)});
  }
  for (size_t i = 0; i < registros.size(); i++) {
    const std::string nome = Trim(registros[i].second);
    if (nome.empty()) continue;
    auto& f = fFormasPagamento->Add();
    f.Indice = InteiroZeros(static_cast<int64_t>(i + 1), 2);
    f.Descricao = nome;
    f.PermiteVinculado = registros[i].first == 'S';
  }
}

void TZuvoECFSweda::ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado,
                                           const std::string& Posicao) {
  // G1-G3 always allow linked receipts; G3 on carry the flag.
  const bool comFlag = fGeracao >= 3;
  auto registro = [comFlag](bool Permite, const std::string& Nome) {
    return std::string(comFlag ? (Permite ? "S" : "N") : "") + CompletaDireita(TextoCampo(Nome), 15);
  };
  const std::string novo = registro(fGeracao <= 3 || PermiteVinculado, Descricao);
  std::string tabela = novo;
  if (fGeracao <= 4) {
    // The whole table goes again, the new method at its place.
    CarregaFormasPagamento();
    TStrings registros;
    for (const auto& f : FormasPagamento()) registros.push_back(registro(f->PermiteVinculado, f->Descricao));
    tabela = TabelaCom(registros, novo, Posicao, 10);
    if (tabela.size() > (comFlag ? 160u : 150u))
      throw Exception("Não há espaço para programar novas Formas de Pagamento");
  }
  EnviaComando("39" + tabela);
  // An insertion moves the methods after it: read the indices again.
  CarregaFormasPagamento();
  Descricao = Trim(novo.substr(comFlag ? 1 : 0));
}

void TZuvoECFSweda::CarregaComprovantesNaoFiscais() {
  TZuvoECFClass::CarregaComprovantesNaoFiscais();
  struct Parte {
    const char* Cmd;
    int Tamanho;
  };
  const std::vector<Parte> partes =
      fGeracao == 1 ? std::vector<Parte>{{"297", 120}, {"298", 120}, {"299", 60}}
                    : std::vector<Parte>{{"297", 120}, {"298", 120}, {"299", 120}, {"29A", 120},
                                         {"29B", 120}, {"29C", 120}, {"29D", 60}};
  std::string texto;
  for (const Parte& p : partes) {
    const std::string r = EnviaComando(p.Cmd);
    if (Copy(r, 1, 3) != ".+T") break;
    texto += Copy(r, 8, p.Tamanho);
  }
  for (int i = 1; i <= 50; i++) {
    const std::string rec = Trim(Copy(texto, (i - 1) * 15 + 1, 15));
    if (rec.empty()) continue;
    auto& c = fComprovantesNaoFiscais->Add();
    c.Indice = i == 1 ? "A " : i == 2 ? "B " : InteiroZeros(i - 2, 2);
    c.Descricao = rec;
  }
}

void TZuvoECFSweda::ProgramaComprovanteNaoFiscal(std::string& Descricao,
                                                 const std::string& Tipo,
                                                 const std::string& Posicao) {
  std::string tipo = Trim(Tipo);
  if (tipo.empty()) tipo = "+";
  if (tipo.size() != 1 || Pos(tipo, "&+-") == 0)
    throw Exception("Os Tipos válidos para Sweda são:" + CRLF + "&  Criaçao de um novo Grupo (Titulo)" +
                    CRLF + "+  Entrada de Recursos" + CRLF + "-  Saida de Recursos" + CRLF + CRLF +
                    "Dentro de um Grupo (titulo) deve ter" + CRLF + "apenas legendas de mesmo sinal");
  // A record is the type and the name, 15 characters in all.
  const std::string novo = CompletaDireita(tipo + TextoCampo(Descricao), 15);
  std::string tabela = novo;
  if (fGeracao <= 4) {
    // The table from its third record on (the first two are fixed).
    CarregaComprovantesNaoFiscais();
    TStrings registros;
    for (const auto& c : ComprovantesNaoFiscais())
      if (c->Indice != "A " && c->Indice != "B ") registros.push_back(CompletaDireita(c->Descricao, 15));
    tabela = TabelaCom(registros, novo, Posicao, 50);
    if (tabela.size() > 750) throw Exception("Não há espaço para programar novos Comprovantes não Fiscais");
  }
  EnviaComando("38N" + tabela);
  CarregaComprovantesNaoFiscais();
  // The printer lists the record as it is, its type in front.
  Descricao = Trim(novo);
}

// ===========================================================================
// The receipt

void TZuvoECFSweda::AbreCupom(const std::string& CPF_CNPJ) {
  ReiniciaMsgPoucoPapel();
  EnviaImpressao("17" + CompletaDireita(TextoCampo(CPF_CNPJ), 20), Tempo(5, 15));
  fMarcaPagamento = -1;
}

void TZuvoECFSweda::VendeItem(const std::string& Codigo, const std::string& Descricao,
                              const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                              double DescontoPorc, const std::string& Unidade) {
  if (Qtd > 9999) throw EZuvoECFCMDInvalido("Quantidade deve ser inferior a 9999.");

  std::string aliquota = AliquotaICMS;
  if (Copy(aliquota, 1, 2) == "TT" || Copy(aliquota, 1, 2) == "SS") aliquota = Copy(aliquota, 2, 5);
  std::string tributo;
  switch (CharAt(UpperCase(aliquota), 1)) {
    case 'F': tributo = "F  "; break;
    case 'I': tributo = "I  "; break;
    case 'N': tributo = "N  "; break;
    case 'S':
    case 'T':
      tributo = UpperCase(Copy(aliquota, 1, 1)) + CompletaEsquerda(Copy(aliquota, 2, 2), 2);
      break;
    default: tributo = AchaAliquotaVenda(aliquota).Indice;
  }

  if (ArredondaPorQtd() && !Arredonda()) ArredondarPorQtd(Qtd, -2, ValorUnitario);

  std::string descricao = TextoCampo(Descricao);
  if (!Unidade.empty()) descricao += " " + CompletaDireita(TextoCampo(Unidade), 2);
  std::string estendida;
  if (DescricaoGrande()) {
    estendida = Copy(descricao, 24, fGeracao == 5 ? 209 : 40);
    if (Trim(estendida).empty())
      estendida.clear();
    else
      estendida = fGeracao == 5 ? TrimRight(estendida) : CompletaDireita(estendida, 40);
  }

  // Every field is checked before anything reaches the printer.
  const double total = Arredonda() ? RoundTo(Qtd * ValorUnitario, -2)
                                   : TruncaPreciso(Qtd * ValorUnitario * 100) / 100.0;
  const std::string cmd = "01" + CompletaDireita(TextoCampo(Codigo), 13) +
                          CampoNumerico(Qtd, 3, 7, "Quantidade") +
                          CampoNumerico(ValorUnitario, 3, 9, "ValorUnitario") +
                          CampoNumerico(total, 2, 12, "Total") + "~" + CompletaDireita(descricao, 23) +
                          tributo + estendida;
  std::string desconto;
  if (DescontoPorc > 0) {
    const std::string valor =
        CampoNumerico(RoundTo(total * DescontoPorc / 100, -2), 2, 12, "Desconto");
    desconto = fGeracao <= 3 ? "02" + Percentual(DescontoPorc) + valor : "020000" + valor;
  }

  EnviaComando(cmd, 5, 5);
  // The printer takes no command for 200 ms after an item: the pause after
  // the command is stretched to that.
  Descansa(std::max(0, 200 - IntervaloAposComando()));
  fMarcaPagamento = -1;
  if (!desconto.empty()) EnviaComando(desconto);
}

void TZuvoECFSweda::SubtotalizaCupom(double DescontoAcrescimo, const std::string&) {
  const double valor = std::fabs(DescontoAcrescimo);
  if (DescontoAcrescimo > 0) {
    const std::string v = CampoNumerico(valor, 2, 11, "Acrescimo");
    if (fGeracao >= 2)
      EnviaComando("11510000" + v + (fGeracao == 4 ? "" : "N"), 3);
    else
      EnviaComando("11530000" + v + "   N", 3);
  } else if (DescontoAcrescimo < 0) {
    const std::string v = CampoNumerico(valor, 2, 12, "Desconto");
    if (fGeracao == 4) {
      EnviaComando("030000" + v + "S", 3);
    } else {
      // The printer takes the discount with its percentage of the subtotal:
      // without a subtotal there is no percentage to send.
      const double subtotal = SubTotal();
      if (subtotal <= 0)
        throw EZuvoECFCMDInvalido("Desconto no subtotal não enviado: a Impressora " + ModeloStr() +
                                  " não informou o subtotal do cupom");
      EnviaComando("03" + Percentual(RoundTo(valor / subtotal * 100, -2)) + v +
                       (fGeracao == 2 || fGeracao == 3 ? "N" : ""),
                   10);
    }
  }
  if (fGeracao >= 2) EnviaComando("10");
  fVinculadosPendentes = 0;
  fMarcaPagamento = 0;
}

void TZuvoECFSweda::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                    const std::string& Observacao, bool ImprimeVinculado) {
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  if (ImprimeVinculado && fGeracao <= 3 && fVinculadosPendentes > 0)
    throw Exception("Já existe Forma de Pagamento com " + CRLF +
                    "comprovante NAO fiscal vinculado pendente. " + CRLF + "Impressora: " +
                    ModeloStr() + " Modelo: " + std::string(1, fLetraModelo) + CRLF +
                    " aceita apenas 1 Compr.NAO Fiscal Viculado por Cupom.");
  const std::string obs = fGeracao >= 2 ? "{" + Copy(TextoCampo(Observacao), 1, 80) : "";
  EnviaComando("10" + CodFormaPagto + CampoNumerico(Valor, 2, 12, "Valor") + obs, 10, 10);
  if (ImprimeVinculado) fVinculadosPendentes++;
  // The first payment: the printer may take a moment to report it.
  if (!(fMarcaPagamento > 0))
    for (int i = 0; i < 10 && TotalPago() == 0; i++) Dorme(200);
  fMarcaPagamento = 1;
}

void TZuvoECFSweda::FechaCupom(const std::string& Observacao) {
  std::string linhas;
  for (const std::string& l : LinhasDe(AjustaLinhas(TextoCampo(Observacao, true), 8)))
    linhas += "0" + CompletaDireita(l, Colunas());
  std::string sufixo;
  if (fGeracao >= 2) {
    // A linked receipt to follow is announced, except on firmware 1.1 and G4.
    if (NumVersao() != "1.1" && fGeracao != 4) sufixo = fVinculadosPendentes < 1 ? "N" : "S";
    sufixo += "N";
  }
  EnviaImpressao("12" + sufixo + linhas, Tempo(5, 20));
  fVinculadosPendentes = 0;
  fMarcaPagamento = -1;
  AguardaEstado(estLivre, 2000);
}

void TZuvoECFSweda::CancelaCupom() {
  try {
    EnviaImpressao("05", Tempo(10, 25));
  } catch (const EZuvoECFSemResposta&) {
    // Only the printer's refusal of an open receipt (one already partly
    // paid) is worked around: pay what is still due, close, and cancel it
    // as the last receipt. Any other failure is the caller's to see.
    if (Copy(RespostaComando(), 1, 2) != ".-" || Copy(RespostaComando(), 1, 3) == ".-P") throw;
    const TStatus s = LeStatus();
    if (s.P == 0 || s.T == 'C' || s.D != "VENDAS") throw;
    const int64_t saldo = NumeroResposta(s.Resposta, s.P + 52, 12, "Saldo");
    if (saldo > 0) EnviaComando("1001" + CampoInteiro(saldo, 12, "Saldo"));
    EnviaImpressao(std::string("12") + (fGeracao >= 2 ? "N" : "") + (fGeracao == 2 || fGeracao == 3 ? "N" : ""),
                   10);
    EnviaImpressao("05", Tempo(10, 25));
  }
  fMarcaPagamento = -1;
  fVinculadosPendentes = 0;
  FechaRelatorio();
}

void TZuvoECFSweda::CancelaItemVendido(int NumItem) {
  EnviaComando("04" + CampoInteiro(NumItem, 3, "NumItem"));
}

void TZuvoECFSweda::AbreGaveta() { EnviaComando(fLetraModelo == 'B' ? "21" : "42", 7); }

// ===========================================================================
// Reports

void TZuvoECFSweda::LeituraX() { EnviaImpressao("13N", Tempo(20, 55)); }

void TZuvoECFSweda::ReducaoZ(TDateTime DataHora) {
  const std::string cmd = std::string("14") + (fGeracao >= 2 ? "N" : "") +
                          (DataHora == 0 ? "" : FormatDateTime("ddmmyy", DataHora));
  if (fGeracao <= 4) {
    // The reduction takes long to print: no question before 30 s.
    fInicioVerificaImpressao.Renova(30000);
    fInicioDefinido = true;
  }
  EnviaImpressao(cmd, Tempo(35, 60));
  for (int i = 0; i < 11; i++) {
    try {
      const TZuvoECFEstado e = Estado();
      if (e == estLivre || e == estRequerX) break;
    } catch (const Exception&) {
      break;
    }
    Dorme(200);
  }
}

void TZuvoECFSweda::AbreRelatorioGerencial() {
  if (fGeracao <= 4) {
    // The X reading in front of the report takes long to print.
    fInicioVerificaImpressao.Renova(30000);
    fInicioDefinido = true;
  }
  EnviaImpressao("13S", Tempo(10, 50));
}

void TZuvoECFSweda::ImprimeTexto(const std::string& Linha) {
  ImprimeLinhaALinha(TextoCampo(Linha, true), "080");
}

void TZuvoECFSweda::LinhaRelatorioGerencial(const std::string& Linha) { ImprimeTexto(Linha); }

void TZuvoECFSweda::LinhaCupomVinculado(const std::string& Linha) { ImprimeTexto(Linha); }

void TZuvoECFSweda::AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                                       const std::string&, double) {
  // The receipt type and the value are not sent: the printer takes them
  // from the payment.
  const std::string coo = Trim(COO);
  std::string campo(4, ' ');
  if (SoDigitosNaoVazio(coo)) {
    const size_t significativo = std::min(coo.find_first_not_of('0'), coo.size());
    if (coo.size() - significativo > 4)
      throw EZuvoECFCMDInvalido("Valor de COO (" + coo + ") não cabe no campo de 4 dígitos");
    campo = CampoInteiro(StrToInt(coo.substr(significativo).empty() ? "0" : coo.substr(significativo)), 4,
                         "COO");
  }
  fCupomVinculadoPendente = campo + CodFormaPagto;
  const std::string extra = fGeracao == 2 || fGeracao >= 4 ? std::string(20, ' ') + "01" : "";
  EnviaImpressao("1900" + fCupomVinculadoPendente + extra, Tempo(5, 10));
  AguardaEstado(estRelatorio, 2000);
}

std::string TZuvoECFSweda::SufixoFechaRelatorio() {
  if (fGeracao == 1 || fGeracao == 4) return "";
  if (fGeracao == 2 && NumVersao() == "1.1") return "N";
  return fGeracao == 5 ? "N" : "NN";
}

void TZuvoECFSweda::FechaRelatorio() {
  const TStatus s = LeStatus();
  if (s.P == 0) return;
  if ((s.T == 'C' || s.D != "N.FISCAL") && (s.K != "08" || s.D != "VENDAS")) {
    if (s.T == 'C' || s.D == "LEIT. X") return;  // nothing open to close
    EnviaImpressao("08", 10);
  } else {
    EnviaImpressao("12" + SufixoFechaRelatorio(), 10);
    if (fGeracao == 4) EnviaImpressao("12N", 10);
  }
  AguardaEstado(estLivre, 2000);
}

void TZuvoECFSweda::PulaLinhas(int NumLinhas) {
  if (NumLinhas == 0) NumLinhas = LinhasEntreCupons();
  EnviaComando("089" + CampoInteiro(std::min(NumLinhas, 9), 1, "NumLinhas"));
}

void TZuvoECFSweda::DoRelatorioGerencial(const TStrings& Relatorio, int Vias) {
  for (int i = 1; i <= Vias; i++) {
    const std::string modelo = fGeracao >= 3 ? MsgRelatorio() : "Enviando %s  %dª Via ";
    FormMsgExibe(FormataOuTexto(modelo, {std::string("Relatório Gerêncial"), int64_t{i}}));
    for (const std::string& l : Relatorio) LinhaRelatorioGerencial(Copy(l, 1, Colunas()));
    if (i < Vias) {
      PulaLinhas(0);
      if (fGeracao >= 3) PausaImpressao(i);
    }
  }
  FormMsgExibe(fGeracao <= 2 ? "Imprimindo Relatório Gerencial" : "Fechando Relatório Gerencial");
  FechaRelatorio();
}

void TZuvoECFSweda::DoCupomVinculado(const TStrings& Relatorio, int Vias) {
  if (fGeracao >= 3) return TZuvoECFClass::DoCupomVinculado(Relatorio, Vias);
  // G1 and G2 open each copy as a linked receipt of its own and close them
  // all at the end.
  for (int i = 1; i <= Vias; i++) {
    FormMsgExibe(FormataOuTexto("Enviando %s  %dª Via ", {std::string("Cupom Vinculado"), int64_t{i}}));
    for (const std::string& l : Relatorio) LinhaCupomVinculado(Copy(l, 1, Colunas()));
    if (i < Vias) {
      PulaLinhas(0);
      EnviaImpressao("1900" + fCupomVinculadoPendente, Tempo(5, 10));
    }
  }
  for (int i = 1; i <= Vias; i++) {
    if (i < Vias) PausaImpressao(i);
    FechaRelatorio();
  }
}

void TZuvoECFSweda::ImprimeCheque(const std::string& Banco, double Valor,
                                  const std::string& Favorecido, const std::string& Cidade,
                                  TDateTime Data, const std::string& Observacao) {
  if (!ChequePronto()) throw Exception("Cheque não está posicionado");
  const std::string cheque = "24" + CampoInteiro(StrToIntDef(Trim(Banco), 1), 3, "Banco") +
                             CampoNumerico(Valor, 2, 12, "Valor") + " " +
                             CompletaDireita(TextoCampo(Observacao), 120) + "4" +
                             FormatDateTime("ddmmyyyy", Data);
  EnviaComando("44" + CompletaDireita(TextoCampo(Favorecido), 80) +
               CompletaDireita(TextoCampo(Cidade), 30) + CompletaDireita("Real", 20) +
               CompletaDireita("Reais", 20));
  Descansa(300);  // the check's texts are taken in before its print command
  {
    Restaura exibe(Config().ExibeMensagem);
    SetExibeMensagem(false);
    EnviaImpressao(cheque, 25);
    if (fGeracao == 2) EnviaImpressao(cheque, 25);  // G2 prints on the second
  }
  // Wait for the operator to take the check out.
  TPrazo prazo(25000);
  while (ChequePronto()) {
    if (prazo.Venceu()) {
      if (Toolkit().messageBox("Favor remover o cheque e pressionar OK", TipoMensagem::Confirmacao,
                               BotoesMensagem::SimNao) != RespostaMensagem::Sim)
        break;
      prazo.Renova(5000);
    }
    Dorme(200);
  }
}

void TZuvoECFSweda::CancelaImpressaoCheque() { EnviaComando("25"); }

void TZuvoECFSweda::MudaHorarioVerao() { MudaHorarioVerao(!HorarioVerao()); }

void TZuvoECFSweda::MudaHorarioVerao(bool EHorarioVerao) {
  EnviaComando(std::string("36") + (EHorarioVerao ? "S" : "N"), 3);
}

void TZuvoECFSweda::FechaRelatorioRecarrega() {
  TZuvoECFClass::FechaRelatorioRecarrega();
  CarregaFormasPagamento();
  CarregaComprovantesNaoFiscais();
}

void TZuvoECFSweda::CorrigeEstadoErro() {
  TZuvoECFClass::CorrigeEstadoErro();
  try {
    EnviaComando("35" + FormatDateTime("hhnnssddmmyy", Agora()));
  } catch (const Exception&) {
    // Setting the clock is a courtesy: a printer that refuses it is fine.
  }
}

void TZuvoECFSweda::LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
  const int dias = static_cast<int>(std::trunc(DateOf(DataFinal) - DateOf(DataInicial)));
  EnviaImpressao("16" + FormatDateTime("ddmmyy", DataInicial) + FormatDateTime("ddmmyy", DataFinal),
                 Tempo(10, 40) + std::max(dias, 0));
}

void TZuvoECFSweda::LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
  const std::string cmd = "15" + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                          CampoInteiro(ReducaoFinal, 4, "ReducaoFinal");
  EnviaImpressao(cmd, Tempo(10, 40) + std::max(ReducaoFinal - ReducaoInicial, 0));
}

void TZuvoECFSweda::LeituraSerial(const std::string& Cmd, TStrings& Linhas) {
  Linhas.clear();
  Restaura exibe(Config().ExibeMensagem);
  SetExibeMensagem(false);
  // Page by page: each "++" asks for the next one, until ".]}".
  std::string texto;
  auto monta = [&texto, &Linhas] {
    const std::string t = StringReplace(texto, ".]}", "");
    size_t inicio = 0;
    for (size_t fim = t.find('}'); fim != std::string::npos; fim = t.find('}', inicio)) {
      const std::string pedaco = t.substr(inicio, fim - inicio);
      const int p = Pos(".+", pedaco);
      Linhas.push_back(p > 0 ? Copy(pedaco, p + 6) : pedaco);
      inicio = fim + 1;
    }
  };
  try {
    std::string r = EnviaComando(Cmd, 15, 10);
    texto = r;
    for (int paginas = 0; Pos(".]}", r) == 0; paginas++) {
      if (paginas >= kMaxPaginas)
        throw EZuvoECFSemResposta("Impressora " + ModeloStr() + " não terminou a Leitura da Memória Fiscal");
      r = EnviaComando("++", TimeOut(), 10);
      texto += r;
    }
  } catch (...) {
    // What came before the error is kept for the caller to see.
    monta();
    throw;
  }
  monta();
}

void TZuvoECFSweda::LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                               TStrings& Linhas) {
  LeituraSerial("16" + FormatDateTime("ddmmyy", DataInicial) + FormatDateTime("ddmmyy", DataFinal) + "|",
                Linhas);
}

void TZuvoECFSweda::LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal, TStrings& Linhas) {
  LeituraSerial("15" + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                    CampoInteiro(ReducaoFinal, 4, "ReducaoFinal") + "|",
                Linhas);
}

}  // namespace zuvo
