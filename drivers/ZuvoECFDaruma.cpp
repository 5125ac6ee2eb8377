#include "drivers/ZuvoECFDaruma.h"

#include <algorithm>
#include <cmath>

#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

const char ESC = 27;
const char FS = 28;
const char GS = 29;
const char FIM_TEXTO = static_cast<char>(255);  // ends a free-text field

std::string Esc(int Comando) { return std::string{ESC, static_cast<char>(Comando)}; }
std::string Esc(const std::string& Comando) { return std::string(1, ESC) + Comando; }
std::string Byte(int B) { return std::string(1, static_cast<char>(B)); }

// The register queries of the detail-memory printers: FS "R" 200 + number.
std::string Registro(const std::string& Numero) { return std::string{FS, 'R'} + Byte(200) + Numero; }
std::string PrefixoRegistro(const std::string& Numero) { return ":" + Byte(200) + Numero; }

bool SoDigitosNaoVazio(const std::string& Texto) {
  if (Texto.empty()) return false;
  for (char c : Texto)
    if (!EhDigito(c)) return false;
  return true;
}

// A free text inside a command: a CR or the 255 terminator in it would end
// the command early on the printer, so control codes become blanks.
std::string TextoCampo(const std::string& Texto) {
  return TextoImprimivel(Texto, false, std::string(1, FIM_TEXTO));
}

struct ErroDaruma {
  int Codigo;
  const char* Mensagem;
};
const ErroDaruma kErros[] = {
    {1, "Comando disponível somente em modo de Intervenção Técnica"},
    {2, "Erro gravando memória fiscal"},
    {3, "Memória fiscal esgotada"},
    {4, "Erro no relógio interno"},
    {5, "Falha mecânica"},
    {6, "Erro lendo memória fiscal"},
    {10, "Documento sendo emitido"},
    {11, "Documento não foi aberto"},
    {12, "Não existe documento a cancelar"},
    {13, "Erro nos parâmetros: Não numérico"},
    {14, "Não há memória disponível para esta operação"},
    {15, "Item a cancelar não encontrado"},
    {16, "Erro de sintaxe no comando"},
    {17, "Numeric overflow"},
    {18, "Totalizador Tributário selecionado não possui aliquota definida"},
    {19, "Memória fiscal vazia"},
    {21, "Detectado proximidade do final da bobina de papel"},
    {22, "Redução Z já foi emitida. ECF Bloqueado ate 00:00"},
    {23, "Redução Z do dia anterior ainda pendente Efetue uma Redução Z."},
    {24, "Valor de desconto ou acrescimo inválido"},
    {25, "Caracter inválido nos Parâmetros"},
    {30, "Comprovante NÃO Fiscal inválido ou não programado"},
    {38, "Forma de pagamento selecionada não é‚ válida"},
    {39, "Erro na sequência de fechamento do cupom fiscal"},
    {42, "Leitura X inicial ainda não foi emitida"},
    {43, "Não pode mais emitir CNF Vinculado solicitado"},
    {50, "Sem Papel"},
    {61, "Queda de energia durante a emissão do Cupom Fiscal"},
    {84, "Impressora não está respondendo"},
};

// Two digits as the error code; anything else is no code.
int DoisDigitos(const std::string& Texto) {
  if (Texto.size() != 2 || !EhDigito(Texto[0]) || !EhDigito(Texto[1])) return 0;
  return (Texto[0] - '0') * 10 + (Texto[1] - '0');
}

// Linked types carry their description without a flag character.
TZuvoECFComprovanteNaoFiscal Comprovante(const std::string& Indice, const std::string& Descricao) {
  TZuvoECFComprovanteNaoFiscal c;
  c.Indice = Indice;
  c.Descricao = Descricao;
  return c;
}

// The 16 non-fiscal types (records of 22) and 16 linked types (records of
// 21) that both table layouts share, from their first characters.
void LeComprovantes(const std::string& R, int InicioTipos, int InicioVinculados,
                    TZuvoECFDaruma::TTabelasDaruma& T) {
  for (int i = 0; i < 16; i++) {
    std::string rec = Copy(R, InicioTipos + i * 22, 22);
    std::string desc = TZuvoECFDaruma::LimpaTexto(rec);
    if (desc.empty() || CharAt(rec, 2) == FIM_TEXTO) continue;
    T.Comprovantes.push_back(Comprovante(std::string(1, static_cast<char>('A' + i)), desc));
  }
  for (int i = 0; i < 16; i++) {
    std::string desc = TZuvoECFDaruma::LimpaTexto(Copy(R, InicioVinculados + i * 21, 21));
    if (desc.empty()) continue;
    T.Vinculados.push_back(Comprovante(std::string(1, static_cast<char>('A' + i)), desc));
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The protocol

std::string TZuvoECFDaruma::PreparaComando(const std::string& Cmd) {
  if (Cmd.empty()) return Cmd;
  if (Cmd[0] != FS) return Cmd + CR;
  unsigned char soma = 0;
  for (char c : Cmd) soma ^= static_cast<unsigned char>(c);
  return Cmd + static_cast<char>(soma);
}

int TZuvoECFDaruma::CodigoErro(const std::string& Resposta, const std::string& Enviado,
                               bool FS2000) {
  if (!Enviado.empty() && Enviado[0] == GS) return 0;
  int erro = 0;
  if (Copy(Resposta, 1, 2) == ":E") erro = DoisDigitos(Copy(Resposta, 3, 2));
  if (FS2000 && Copy(Resposta, 3, 2) != "00") erro = DoisDigitos(Copy(Resposta, 3, 2));
  if (!Enviado.empty() && Enviado[0] == FS) erro = DoisDigitos(Copy(Resposta, 2, 2));
  return erro;
}

std::string TZuvoECFDaruma::MensagemErro(int Codigo) {
  if (Codigo == 0 || Codigo == 21) return "";
  for (const auto& e : kErros)
    if (e.Codigo == Codigo) return e.Mensagem;
  return "Erro retornado pelo ECF: " + InteiroZeros(Codigo, 2);
}

int TZuvoECFDaruma::DigitoHex(const std::string& Resposta, int Posicao) {
  char c = CharAt(Resposta, Posicao);
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string TZuvoECFDaruma::CampoQuantidade(double Qtd, int Tamanho) {
  return CampoDecimalTexto(Qtd, Tamanho, "Quantidade");
}

std::string TZuvoECFDaruma::LimpaTexto(const std::string& Texto) {
  size_t ini = 0, fim = Texto.size();
  auto vazio = [](char c) { return static_cast<unsigned char>(c) <= 32 || c == FIM_TEXTO; };
  while (ini < fim && vazio(Texto[ini])) ini++;
  while (fim > ini && vazio(Texto[fim - 1])) fim--;
  return Texto.substr(ini, fim - ini);
}

std::vector<TZuvoECFAliquota> TZuvoECFDaruma::LeAliquotas(const std::string& Resposta,
                                                          TLayoutAliquotas Layout) {
  const int fim = Layout == laFS2000 ? 3 : 1;
  std::string corpo = Copy(Resposta, 3, static_cast<int>(Resposta.size()) - 2 - fim);
  std::vector<TZuvoECFAliquota> lista;
  for (int i = 0; (i + 1) * 5 <= static_cast<int>(corpo.size()); i++) {
    std::string rec = corpo.substr(static_cast<size_t>(i) * 5, 5);
    // Empty slots hold "////" (or fill bytes): skipped.
    std::string valor = Layout == laFS2000 ? Copy(rec, 1, 4) : Copy(rec, 2, 4);
    if (!SoDigitosNaoVazio(valor)) continue;
    double v = StrToInt(valor) / 100.0;
    if (v <= 0) continue;
    TZuvoECFAliquota a;
    a.Aliquota = v;
    char codigo = Layout == laFS2000 ? rec[4] : rec[0];
    a.Tipo = (codigo >= 'a' && codigo <= 'z') ? 'S' : 'T';
    if (Layout == laMFD)
      a.Indice = InteiroZeros(i + 1, 2);  // the printer's slot, even past empty slots
    else if (Layout == laFS2000)
      a.Indice = "T" + UpperCase(std::string(1, codigo));  // the sale's "TA".."TE" codes
    else
      a.Indice = UpperCase(std::string(1, codigo));
    lista.push_back(a);
  }
  return lista;
}

TZuvoECFDaruma::TTabelasDaruma TZuvoECFDaruma::LeTabelas234(const std::string& R) {
  TTabelasDaruma t;
  LeComprovantes(R, 33, 385, t);
  for (int i = 0; i < 32; i++) {
    std::string rec = Copy(R, 721 + i * 22, 22);
    std::string desc = LimpaTexto(Copy(rec, 2, 17));
    if (desc.empty() || CharAt(rec, 2) == FIM_TEXTO) continue;
    TZuvoECFFormaPagamento f;
    f.Indice = InteiroZeros(i < 16 ? i + 1 : i + 1 + 34, 2);
    f.Descricao = desc;
    f.PermiteVinculado = CharAt(rec, 1) == 'V';
    t.Formas.push_back(f);
  }
  return t;
}

TZuvoECFDaruma::TTabelasDaruma TZuvoECFDaruma::LeTabelas238(const std::string& R) {
  TTabelasDaruma t;
  LeComprovantes(R, 22, 374, t);
  for (int i = 0; i < 16; i++) {
    std::string rec = Copy(R, 710 + i * 18, 18);
    std::string letra(1, static_cast<char>('A' + i));
    std::string desc = LimpaTexto(Copy(rec, 2, 17));
    if (desc.empty() || UpperCase(desc) == "PAGAMENTO TIPO " + letra) continue;
    TZuvoECFFormaPagamento f;
    f.Indice = letra;
    f.Descricao = desc;
    f.PermiteVinculado = CharAt(rec, 1) == 'V';
    t.Formas.push_back(f);
  }
  return t;
}

// ---------------------------------------------------------------------------

TZuvoECFDaruma::TZuvoECFDaruma(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config) {
  SetNomeModelo("Daruma");
  Device.SetHandShake(hsRTS_CTS);
}

TZuvoECFDaruma::~TZuvoECFDaruma() = default;

// ----- The command cycle -----

std::string TZuvoECFDaruma::EnviaComando(const std::string& Cmd) {
  // The cycle clears the per-command settings on every exit: a command sent
  // again must wait for its printing and its time-out as the first send did.
  const bool aguarda = AguardaImpressao();
  const int tempo = TimeOutLeitura();
  const TPrazo prazo(static_cast<int64_t>(tempo) * 1000);
  for (int tentativa = 1;; tentativa++) {
    try {
      return TZuvoECFClass::EnviaComando(Cmd);
    } catch (const EZuvoECFSemResposta&) {
      if (FS2000() || !ErroOcupada(CodigoErro(RespostaComando(), ComandoEnviado(), false)) ||
          tentativa >= kTentativasOcupada || prazo.Venceu())
        throw;
    }
    Dorme(static_cast<int>(std::min<int64_t>(200, prazo.Restante())));
    SetAguardaImpressao(aguarda);
    SetTimeOutComando(tempo);
  }
}

// There is no acknowledgement byte: the answer is read at once (the reading
// loop waits on the port).
std::string TZuvoECFDaruma::MontaQuadro(const std::string& Cmd) { return PreparaComando(Cmd); }

TRespostaECF TZuvoECFDaruma::DecodificaResposta(const std::string& Resposta) {
  if (Copy(Resposta, 1, 2) == ":" + Byte(200))
    fCOOCache = Copy(Resposta, 7, 6);
  else if (Copy(Resposta, 1, 2) != ":B")
    fCOOCache.clear();

  TRespostaECF r;
  r.Dados = Resposta;
  r.Quebra = std::string(1, LF);  // Daruma's texts use LF LF
  int erro = CodigoErro(Resposta, ComandoEnviado(), FS2000());
  if (FS2000() && erro == 8) erro = 0;
  r.PoucoPapel = erro == 21;
  r.Erro = MensagemErro(erro);
  return r;
}

bool TZuvoECFDaruma::VerificaFimLeitura(const std::string& Retorno) {
  if (Retorno.empty() || Retorno[0] != ':') return false;
  if (!ComandoEnviado().empty() && ComandoEnviado()[0] == FS)
    return Retorno.size() >= 3 && Retorno[Retorno.size() - 2] == CR;  // the check byte follows
  return Retorno.back() == CR;
}

bool TZuvoECFDaruma::VerificaFimImpressao() {
  std::string status;
  if (!ConsultaDuranteImpressao(
          PreparaComando(FS2000() ? std::string{GS, 5} : std::string{GS, '\xff'}),
          [this](const std::string& r) { return VerificaFimLeitura(r); }, status))
    return false;
  // A garbled digit reads as busy; the reading loop's time-out ends the wait.
  int d = DigitoHex(status, FS2000() ? 6 : 9);
  if (d < 0) return false;
  return FS2000() ? BitLigado(d, 0) : !BitLigado(d, 0);
}

int TZuvoECFDaruma::Digito(const std::string& Resposta, int Posicao) {
  CampoResposta(Resposta, Posicao, 1, "Status");
  int d = DigitoHex(Resposta, Posicao);
  if (d < 0) RespostaInvalida("Status");
  return d;
}

std::string TZuvoECFDaruma::Status() {
  return EnviaComando(FS2000() ? std::string{GS, 5} : std::string{GS, '\xff'});
}

int TZuvoECFDaruma::VersaoNumero() {
  // A version text that is not a number belongs to a recent printer.
  return static_cast<int>(StrToIntDef(Trim(NumVersao()), 9999));
}

void TZuvoECFDaruma::FimPagamento(const std::string& Resposta) {
  fEmPagamento = true;
  fSaldoPagamento = NumeroResposta(Resposta, 2, 12, "SaldoPagamento") / 100.0;
}

void TZuvoECFDaruma::LimpaPagamento() {
  fEmPagamento = false;
  fSaldoPagamento = 0;
}

// ---------------------------------------------------------------------------
// Activation and identification

void TZuvoECFDaruma::Ativar() {
  ExigePortaSerial("A impressora: " + ModeloStr(), std::string(1, LF));
  TZuvoECFClass::Ativar();
  try {
    fNumVersaoCache.clear();
    fNumECFCache.clear();
    fNumCROCache.clear();
    fCOOCache.clear();
    fArredondaCache = ' ';
    fDecimaisPrecoMFD = -1;
    fDecimaisQtdMFD = -1;
    SetMFD(false);
    SetTermica(false);
    if (NumVersao().empty())
      throw EZuvoECFNaoInicializado("Erro inicializando a impressora " + ModeloStr());
  } catch (...) {
    Desativar();
    throw;
  }
}

std::string TZuvoECFDaruma::NumVersao() {
  if (!fNumVersaoCache.empty()) return fNumVersaoCache;
  try {
    Sondagem sonda(*this);
    std::string r = EnviaComando(Registro("083"), 1);
    if (Copy(r, 1, 5) == PrefixoRegistro("083")) {
      fNumVersaoCache = Copy(r, 6, 6);
      SetMFD(true);
      SetTermica(true);
    }
  } catch (const EZuvoECFNaoInicializado&) {
    throw;
  } catch (const Exception&) {
    // Not a detail-memory printer: the version query of the older sets.
    SetMFD(false);
    SetTermica(false);
    std::string r = EnviaComando(Esc(195));
    std::string inicio = Copy(r, 1, 6);
    if (inicio == ":10043")
      fNumVersaoCache = "345";
    else if (inicio == ":10033")
      fNumVersaoCache = "315";
    else if (inicio == ":10004")
      fNumVersaoCache = "2000";
    else
      fNumVersaoCache = Copy(r, 2, static_cast<int>(r.size()) - 2);
  }

  if (MFD() && fDecimaisQtdMFD < 0) {
    fDecimaisQtdMFD = 3;
    fDecimaisPrecoMFD = 2;
    try {
      Sondagem sonda(*this);  // without an answer the defaults stay
      std::string r = EnviaComando(Registro("139"), 1);
      if (Copy(r, 1, 5) == PrefixoRegistro("139")) {
        if (EhDigito(CharAt(r, 6))) fDecimaisQtdMFD = CharAt(r, 6) - '0';
        if (EhDigito(CharAt(r, 7))) fDecimaisPrecoMFD = CharAt(r, 7) - '0';
      }
    } catch (const Exception&) {
      // The defaults stay.
    }
  }
  return fNumVersaoCache;
}

TDateTime TZuvoECFDaruma::DataHora() {
  std::string r = EnviaComando(Esc(230));
  if (FS2000()) r = Copy(r, 5);
  std::string texto = CampoResposta(r, 3, 12, "DataHora");
  return DataHoraResposta(texto, "ddmmyyhhnnss");
}

std::string TZuvoECFDaruma::NumCupom() {
  if (FS2000()) {
    if (!fCOOCache.empty()) return fCOOCache;
    std::string r = EnviaComando(Esc(235));
    if (CharAt(r, 1) != ':') return std::string(6, ' ');
    return InteiroZeros(NumeroResposta(r, 8, 6, "NumCupom"), 6);
  }
  std::string r = EnviaComando(Esc(239));
  if (Copy(r, 1, 3) != ":" + Esc(239)) return std::string(6, ' ');
  int64_t coo = NumeroResposta(r, 9, 6, "NumCupom");
  // Without an open document the printer shows the next number.
  if (CharAt(r, 8) == '2') coo--;
  return InteiroZeros(coo < 0 ? 0 : coo, 6);
}

std::string TZuvoECFDaruma::NumECF() {
  if (!fNumECFCache.empty()) return fNumECFCache;
  if (FS2000()) {
    std::string r = EnviaComando(Esc(233));
    fNumECFCache = CampoResposta(r, 29, 4, "NumECF");
  } else {
    std::string r = EnviaComando(Esc(239));
    if (Copy(r, 1, 3) != ":" + Esc(239)) return std::string(4, ' ');
    fNumECFCache = CampoResposta(r, 4, 4, "NumECF");
  }
  return fNumECFCache;
}

std::string TZuvoECFDaruma::NumCRO() {
  if (!fNumCROCache.empty()) return fNumCROCache;
  if (FS2000()) {
    std::string r = EnviaComando(Esc(237));
    if (CharAt(r, 1) != ':') return std::string(4, ' ');
    fNumCROCache = CampoResposta(r, 49, 6, "NumCRO");
  } else {
    // An FS345 answers ESC 244 with ":" ESC 244 (the command echoed); some
    // answer ":" 244 and older documentation shows ":" ESC 237. The CRO is at
    // the same place in all of them, counted from the ':'.
    std::string r = EnviaComando(Esc(244));
    if (Copy(r, 1, 3) != ":" + Esc(244) && Copy(r, 1, 2) != ":" + Byte(244) &&
        Copy(r, 1, 3) != ":" + Esc(237))
      return std::string(4, ' ');
    fNumCROCache = CampoResposta(r, 38, 4, "NumCRO");
  }
  return fNumCROCache;
}

std::string TZuvoECFDaruma::NumSerie() {
  const int largura = VersaoNumero() < 345 ? 6 : 8;
  std::string r = EnviaComando(FS2000() ? Esc(233) : Esc(236));
  std::string serie;
  if (FS2000())
    serie = Copy(r, 17);
  else if (Copy(r, 1, 2) == ":V")
    serie = Copy(r, 3);
  if (!serie.empty() && serie.back() == CR) serie.pop_back();
  return CompletaDireita(serie, largura);
}

double TZuvoECFDaruma::SubTotal() {
  if (FS2000()) {
    std::string r = EnviaComando(Esc(235));
    if (CharAt(r, 1) != ':') throw EZuvoECFSemResposta("Resposta do ECF inválida");
    return NumeroResposta(r, 29, 12, "SubTotal") / 100.0;
  }
  std::string r = EnviaComando(Esc(239));
  if (Copy(r, 1, 3) != ":" + Esc(239)) throw EZuvoECFSemResposta("Resposta do ECF inválida");
  if (VersaoNumero() < 345) return NumeroResposta(r, 31, 21, "SubTotal") / 100.0;
  return NumeroResposta(r, 29, 14, "SubTotal") / 100.0;
}

double TZuvoECFDaruma::TotalPago() {
  if (MFD()) {
    std::string r = EnviaComando(Registro("048"), 1);
    if (Copy(r, 1, 5) != PrefixoRegistro("048")) throw EZuvoECFSemResposta("Resposta do ECF inválida");
    return NumeroResposta(r, 6, 13, "TotalPago") / 100.0;
  }
  // What was paid is the total less what is still to pay; a receipt paid in
  // full has nothing left to pay and has still been paid.
  if (!fEmPagamento) return 0;
  return RoundTo(SubTotal() - fSaldoPagamento, -2);
}

TZuvoECFEstado TZuvoECFDaruma::Estado() {
  if (!Ativo()) {
    SetEstadoCampo(estNaoInicializada);
    return estNaoInicializada;
  }
  TZuvoECFEstado e = estDesconhecido;
  if (MFD()) {
    std::string s = EnviaComando(std::string{GS, 6});
    int d5 = Digito(s, 5);
    if (BitLigado(d5, 3))
      e = estBloqueada;
    else if (BitLigado(d5, 2))
      e = estRequerZ;
    else if (fEmPagamento)
      e = estPagamento;
    else {
      std::string r = EnviaComando(Registro("057"), 1);
      if (Copy(r, 1, 5) == PrefixoRegistro("057")) {
        char c = CampoResposta(r, 6, 1, "Documento")[0];
        if (c == '1')
          e = estVenda;
        else if (c >= '2' && c <= '4')
          e = estPagamento;
        else if (c >= '5' && c <= '8')
          e = estRelatorio;
        else
          e = estLivre;
      }
    }
  } else if (FS2000()) {
    std::string s = Status();
    int d5 = Digito(s, 5);
    if (BitLigado(d5, 2))
      e = estBloqueada;
    else if (!BitLigado(d5, 1))
      e = estRequerX;
    else if (fEmPagamento)
      e = estPagamento;
    else {
      char c = CampoResposta(EnviaComando(Esc(235)), 7, 1, "Documento")[0];
      if (c == '0')
        e = estLivre;
      else if (c == '1')
        e = estVenda;
      else if (c >= '2' && c <= '5')
        e = estRelatorio;
      else if (c >= '7' && c <= '9')
        e = estPagamento;
    }
  } else {
    std::string s = Status();
    int d7 = Digito(s, 7);
    if (BitLigado(d7, 1))
      e = estBloqueada;
    else if (BitLigado(Digito(s, 3), 1))
      e = estRequerZ;
    else if (!BitLigado(d7, 2))
      e = estRequerX;
    else if (fEmPagamento)
      e = estPagamento;
    else {
      char c = CampoResposta(EnviaComando(Esc(239)), 8, 1, "Documento")[0];
      if (c == '0' || c == '3')
        e = estRelatorio;
      else if (BitLigado(Digito(s, 5), 2) || c == '1')
        e = estVenda;
      else
        e = estLivre;
    }
  }
  SetEstadoCampo(e);
  return e;
}

bool TZuvoECFDaruma::GavetaAberta() { return BitLigado(Digito(Status(), 2), 3); }

bool TZuvoECFDaruma::PoucoPapel() {
  std::string s = Status();
  if (BitLigado(Digito(s, 3), 0)) return true;
  return FS2000() ? BitLigado(Digito(s, 3), 1) : BitLigado(Digito(s, 2), 0);
}

bool TZuvoECFDaruma::HorarioVerao() {
  std::string r = EnviaComando(Esc(229));
  return CampoResposta(r, FS2000() ? 9 : 7, 1, "HorarioVerao") == "1";
}

bool TZuvoECFDaruma::Arredonda() {
  if (FS2000()) return false;
  if (fArredondaCache == ' ') {
    std::string r = EnviaComando(Esc(229));
    fArredondaCache = CampoResposta(r, 6, 1, "Arredonda") == "1" ? 'S' : 'N';
  }
  return fArredondaCache == 'S';
}

// ---------------------------------------------------------------------------
// Tables

void TZuvoECFDaruma::CarregaAliquotas() {
  TZuvoECFClass::CarregaAliquotas();
  std::string r = EnviaComando(Esc(231));
  TLayoutAliquotas layout = FS2000() ? laFS2000 : (MFD() ? laMFD : laFS345);
  for (const auto& a : LeAliquotas(r, layout))
    fAliquotas->Add(std::make_unique<TZuvoECFAliquota>(a));
}

void TZuvoECFDaruma::ProgramaAliquota(double Aliquota, char Tipo, const std::string&) {
  std::string valor = CampoNumerico(Aliquota, 2, 4, "Aliquota");
  EnviaComando(Esc(220) + ((Tipo == 's' || Tipo == 'S') ? "S" : "") + valor);
  CarregaAliquotas();
}

void TZuvoECFDaruma::CarregaTabelas() {
  TTabelasDaruma t;
  bool doisDigitos = false;
  if (FS2000()) {
    t = LeTabelas238(EnviaComando(Esc(238)));
  } else {
    // Printers that do not know the long layout answer it short (or refuse
    // it); they all give the FS2000 layout.
    std::string r;
    try {
      Sondagem sonda(*this);  // a printer that does not know it may stay silent
      r = EnviaComando(Esc(234));
    } catch (const EZuvoECFSemResposta&) {
      r.clear();
    }
    if (static_cast<int>(r.size()) >= TamanhoLayout234) {
      t = LeTabelas234(r);
      doisDigitos = true;
    } else {
      t = LeTabelas238(EnviaComando(Esc(238)));
    }
  }
  TZuvoECFClass::CarregaFormasPagamento();
  TZuvoECFClass::CarregaComprovantesNaoFiscais();
  fComprovantesVinculados = std::make_unique<TZuvoECFComprovantesNaoFiscais>();
  fFormasDoisDigitos = doisDigitos;
  for (const auto& f : t.Formas) fFormasPagamento->Add(std::make_unique<TZuvoECFFormaPagamento>(f));
  for (const auto& c : t.Comprovantes)
    fComprovantesNaoFiscais->Add(std::make_unique<TZuvoECFComprovanteNaoFiscal>(c));
  for (const auto& c : t.Vinculados)
    fComprovantesVinculados->Add(std::make_unique<TZuvoECFComprovanteNaoFiscal>(c));
}

void TZuvoECFDaruma::CarregaFormasPagamento() { CarregaTabelas(); }

void TZuvoECFDaruma::CarregaComprovantesNaoFiscais() { CarregaTabelas(); }

TZuvoECFComprovantesNaoFiscais& TZuvoECFDaruma::ComprovantesVinculados() {
  if (!fComprovantesVinculados) CarregaTabelas();
  return *fComprovantesVinculados;
}

TZuvoECFComprovanteNaoFiscal* TZuvoECFDaruma::AchaCNFVinculadoDescricao(
    const std::string& Descricao) {
  const std::string procurada = UpperCase(Trim(Descricao));
  for (auto& c : ComprovantesVinculados())
    if (UpperCase(Trim(c->Descricao)) == procurada) return c.get();
  return nullptr;
}

TZuvoECFComprovanteNaoFiscal* TZuvoECFDaruma::AchaCNFVinculadoIndice(const std::string& Indice) {
  for (auto& c : ComprovantesVinculados())
    if (c->Indice == Indice) return c.get();
  return nullptr;
}

void TZuvoECFDaruma::ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado,
                                            const std::string& Posicao) {
  CarregaFormasPagamento();
  if (AchaFPGDescricao(Trim(Descricao))) throw Exception("Forma de Pagamento já cadastrada");
  if (FS2000()) throw Exception("ProgramaFormaPagamento ainda não implemenado na FS2000");
  const std::string desc = CompletaDireita(TextoCampo(Descricao), 17);

  // Slot n is programmed by its letter; the loaded table names it by the
  // index scheme of the layout it came from.
  auto indice = [this](int n) {
    return fFormasDoisDigitos ? InteiroZeros(n + 1, 2) : std::string(1, static_cast<char>('A' + n));
  };
  int n = static_cast<int>(StrToIntDef(Trim(Posicao), -1));
  if (n < 0 || n > 15) {
    n = 0;
    while (n <= 15 && AchaFPGIndice(indice(n))) n++;
  }
  if (n > 15) throw Exception("Não há espaço para programar novas Formas de Pagamento");

  EnviaComando(Esc(218) + "PG" + (PermiteVinculado ? "V" : "X") +
               std::string(1, static_cast<char>('A' + n)) + desc);
  if (TZuvoECFFormaPagamento* antiga = AchaFPGIndice(indice(n))) {
    antiga->Descricao = Trim(desc);
    antiga->PermiteVinculado = PermiteVinculado;
  } else {
    auto& f = fFormasPagamento->Add();
    f.Indice = indice(n);
    f.Descricao = Trim(desc);
    f.PermiteVinculado = PermiteVinculado;
  }
  // The caller gets the 17 characters the printer holds.
  Descricao = desc;
  if (PermiteVinculado && !AchaCNFVinculadoDescricao(desc)) {
    std::string vinculado = desc;
    ProgramaComprovanteNaoFiscal(vinculado, "V", "");
  }
}

void TZuvoECFDaruma::ProgramaComprovanteNaoFiscal(std::string& Descricao,
                                                  const std::string& Tipo, const std::string&) {
  const std::string desc = CompletaDireita(Trim(TextoCampo(Descricao)), 21);
  std::string tipo = UpperCase(Tipo);
  if (tipo.empty()) tipo = "V";
  if (tipo != "V" && tipo != "+" && tipo != "-")
    throw Exception("Os Tipos válidos para Daruma são:" + CRLF + "V  Comprovante Vinculado" +
                    CRLF + "+  Entrada de Recursos" + CRLF + "-  Saida de Recursos");
  bool existe = tipo == "V" ? AchaCNFVinculadoDescricao(desc) != nullptr
                            : AchaCNFDescricao(desc) != nullptr;
  if (existe) throw Exception("Comprovante não fiscal (" + desc + ") já existe.");
  if (FS2000()) throw Exception("ProgramaComprovanteNaoFiscal ainda não implemenado na FS2000");
  EnviaComando(Esc(226) + tipo + desc);
  CarregaComprovantesNaoFiscais();
  Descricao = Trim(desc);
}

// ---------------------------------------------------------------------------
// The receipt

void TZuvoECFDaruma::AbreCupom(const std::string&) {
  ReiniciaMsgPoucoPapel();
  LimpaPagamento();
  SetAguardaImpressao(true);
  EnviaComando(Esc(200), 8);
}

void TZuvoECFDaruma::VendeItem(const std::string& Codigo, const std::string& Descricao,
                               const std::string& AliquotaICMS, double Qtd,
                               double ValorUnitario, double DescontoPorc,
                               const std::string& Unidade) {
  if (Qtd > 99999) throw EZuvoECFCMDInvalido("Quantidade deve ser inferior a 99999.");

  std::string t;
  const char primeiro = CharAt(UpperCase(AliquotaICMS), 1);
  if (primeiro == 'F')
    t = "F ";
  else if (primeiro == 'I')
    t = "I ";
  else if (primeiro == 'N')
    t = "N ";
  else if (primeiro == 'T') {
    t = UpperCase(Copy(AliquotaICMS, 1, 2) == "TT" ? Copy(AliquotaICMS, 2, 2)
                                                   : Copy(AliquotaICMS, 1, 2));
    t = CompletaDireita(t, 2);
  } else {
    // The printer names a programmed rate as the "T" text does: "T" + the
    // table letter ("TA"); a bare letter ("A ") names no rate. The MFD
    // (two digits) and FS2000 ("TA") tables already give the code whole.
    t = AchaAliquotaVenda(AliquotaICMS).Indice;
    if (t.size() == 1) t = "T" + t;
  }

  if (ArredondaPorQtd() && !Arredonda()) ArredondarPorQtd(Qtd, -2, ValorUnitario);

  const std::string desconto = CampoNumerico(DescontoPorc, 2, 4, "Desconto");
  const std::string texto = TrimRight(Copy(TextoCampo(Descricao), 1, 174)) + FIM_TEXTO;
  if (MFD()) {
    if (t == "I ") t = "19";
    else if (t == "N ") t = "21";
    else if (t == "F ") t = "17";
    const int decQtd = fDecimaisQtdMFD < 0 ? 3 : fDecimaisQtdMFD;
    const int decPreco = fDecimaisPrecoMFD < 0 ? 2 : fDecimaisPrecoMFD;
    EnviaComando(std::string{FS, 'F'} + Byte(201) + CompletaDireita(t, 2) +
                 CampoNumerico(Qtd, decQtd, 7, "Quantidade") +
                 CampoNumerico(ValorUnitario, decPreco, 8, "ValorUnitario") + "0" + desconto +
                 "0000000" + "00" + CompletaDireita(TextoCampo(Codigo), 14) +
                 CompletaDireita(TextoCampo(Unidade), 3) +
                 TrimRight(Copy(TextoCampo(Descricao), 1, 233)) + FIM_TEXTO);
  } else if (FS2000()) {
    if (t == "I ") t = "II ";
    else if (t == "N ") t = "NN ";
    else if (t == "F ") t = "FF ";
    else if (t.size() == 2 && t[0] == 'T' && t[1] >= '1' && t[1] <= '5')
      t = std::string("T") + static_cast<char>('A' + (t[1] - '1')) + " ";
    EnviaComando(Esc(202) + CompletaDireita(t, 3) + CompletaDireita(TextoCampo(Codigo), 18) +
                     "00000" + desconto + CampoNumerico(ValorUnitario, 3, 10, "ValorUnitario") +
                     CampoNumerico(Qtd, 3, 8, "Quantidade") +
                     CompletaDireita(TextoCampo(Unidade), 2) + texto,
                 1);
  } else {
    const bool antiga = VersaoNumero() < 345;
    const std::string qtd = CampoQuantidade(Qtd, antiga ? 5 : 6);
    std::string cmd = antiga ? Esc(215) : Esc(225);
    cmd += CompletaDireita(t, 2) + CompletaDireita(TextoCampo(Codigo), 13) + "0000" + desconto;
    if (antiga)
      cmd += CampoNumerico(ValorUnitario, 2, 9, "ValorUnitario") + qtd +
             CompletaDireita(TextoCampo(Unidade), 2) + CompletaDireita(TextoCampo(Descricao), 30);
    else
      cmd += CampoNumerico(ValorUnitario, 3, 9, "ValorUnitario") + qtd +
             CompletaDireita(TextoCampo(Unidade), 2) + texto;
    EnviaComando(cmd);
  }
  LimpaPagamento();
}

void TZuvoECFDaruma::SubtotalizaCupom(double DescontoAcrescimo, const std::string&) {
  std::string cmd = (FS2000() ? Esc(206) : Esc(241)) + (DescontoAcrescimo > 0 ? "3" : "1") +
                    CampoNumerico(std::fabs(DescontoAcrescimo), 2, 12, "DescontoAcrescimo");
  FimPagamento(EnviaComando(cmd, 5));
}

void TZuvoECFDaruma::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                     const std::string& Observacao, bool ImprimeVinculado) {
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  std::string cmd = (FS2000() ? Esc(207) : Esc(242)) + CodFormaPagto +
                    CampoNumerico(Valor, 2, 12, "Valor") + Copy(TextoCampo(Observacao), 1, 48) +
                    FIM_TEXTO;
  FimPagamento(EnviaComando(cmd, 2));
}

void TZuvoECFDaruma::FechaCupom(const std::string& Observacao) {
  std::string obs = StringReplace(StringReplace(Observacao, CRLF, std::string(1, LF)),
                                  std::string(1, LF), CRLF);
  for (char& c : obs)
    if (c == FIM_TEXTO) c = ' ';
  SetAguardaImpressao(true);
  EnviaComando((FS2000() ? Esc(209) : Esc(243)) + obs + FIM_TEXTO, 10);
  LimpaPagamento();
}

void TZuvoECFDaruma::CancelaCupom() {
  SetAguardaImpressao(true);
  EnviaComando(FS2000() ? Esc(211) : Esc(206), 15);
  LimpaPagamento();
  FechaRelatorio();
}

void TZuvoECFDaruma::CancelaItemVendido(int NumItem) {
  EnviaComando((FS2000() ? Esc(204) : Esc(205)) + CampoInteiro(NumItem, 3, "NumItem"), 1);
}

void TZuvoECFDaruma::AbreGaveta() {
  Sondagem sonda(*this);
  try {
    EnviaComando(Esc("p000"));
  } catch (const EZuvoECFNaoInicializado&) {
    throw;
  } catch (const Exception&) {
  }
  try {
    EnviaComando(Esc(230), 5);
  } catch (const Exception&) {
  }
}

// ---------------------------------------------------------------------------
// Reports

void TZuvoECFDaruma::LeituraX() {
  SetAguardaImpressao(true);
  EnviaComando(FS2000() ? Esc(250) : Esc(207), 40);
}

void TZuvoECFDaruma::ReducaoZ(TDateTime DataHora) {
  if (DataHora == 0) DataHora = Agora();
  std::string cmd = (FS2000() ? Esc(252) : Esc(208)) + FormatDateTime("ddmmyyhhnnss", DataHora);
  SetAguardaImpressao(true);
  EnviaComando(cmd, 40);
}

void TZuvoECFDaruma::AbreRelatorioGerencial() {
  SetAguardaImpressao(true);
  EnviaComando(FS2000() ? Esc(214) : Esc(211), 30);
}

void TZuvoECFDaruma::ImprimeLinhas(const std::string& Linha) {
  const std::string prefixo = FS2000() ? Esc(215) : Esc(213);
  for (const std::string& l : SplitLines(AjustaLinhas(Linha))) {
    std::string texto = l;
    for (char& c : texto)
      if (c == CR || c == FIM_TEXTO) c = ' ';
    EnviaComando(prefixo + texto + LF);
  }
}

void TZuvoECFDaruma::LinhaRelatorioGerencial(const std::string& Linha) { ImprimeLinhas(Linha); }

void TZuvoECFDaruma::LinhaCupomVinculado(const std::string& Linha) { ImprimeLinhas(Linha); }

void TZuvoECFDaruma::AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                                        const std::string& CodComprovanteNaoFiscal,
                                        double Valor) {
  const std::string numero = Trim(COO);
  if (!SoDigitosNaoVazio(numero) || numero.size() > 6)
    throw EZuvoECFCMDInvalido("Valor de COO (" + numero + ") não cabe no campo de 6 dígitos");
  const std::string coo = ZerosEsquerda(numero, 6);
  const std::string valor = CampoNumerico(Valor, 2, 12, "Valor");
  if (FS2000()) {
    SetAguardaImpressao(true);
    EnviaComando(Esc(213) + CodFormaPagto + coo + valor, 8);
    return;
  }
  TZuvoECFFormaPagamento* fpg = AchaFPGIndice(CodFormaPagto);
  if (!fpg) throw Exception("Forma de Pagamento: " + CodFormaPagto + " não foi cadastrada.");
  TZuvoECFComprovanteNaoFiscal* cnf = nullptr;
  if (!CodComprovanteNaoFiscal.empty()) {
    cnf = AchaCNFVinculadoIndice(CodComprovanteNaoFiscal);
    if (!cnf)
      throw Exception("Comprovante NÃO Fiscal Vinculado: " + CodComprovanteNaoFiscal +
                      " não cadastrado.");
  } else {
    cnf = AchaCNFVinculadoDescricao(fpg->Descricao);
    if (!cnf)
      throw Exception("Não existe nenhum Comprovante NÃO Fiscal Vinculado com a Descrição: " +
                      fpg->Descricao);
  }
  const std::string cmd = Esc(219) + cnf->Indice + fpg->Indice + coo + valor;
  SetAguardaImpressao(true);
  EnviaComando(cmd, 8);
}

void TZuvoECFDaruma::FechaRelatorio() {
  if (FS2000()) {
    char c = CampoResposta(EnviaComando(Esc(235)), 7, 1, "Documento")[0];
    if (c == '2' || c == '3' || c == '4' || c == '5') {
      SetAguardaImpressao(true);
      EnviaComando(Esc(216), 8);
    }
    return;
  }
  char c = CampoResposta(EnviaComando(Esc(239)), 8, 1, "Documento")[0];
  if (c == '0' || c == '3') {
    SetAguardaImpressao(true);
    EnviaComando(Esc(212), 8);
  }
}

void TZuvoECFDaruma::FechaRelatorioRecarrega() {
  TZuvoECFClass::FechaRelatorioRecarrega();
  CarregaFormasPagamento();
}

void TZuvoECFDaruma::LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
  std::string cmd = (FS2000() ? Esc(251) : Esc(209)) + "x" + FormatDateTime("ddmmyy", DataInicial) +
                    FormatDateTime("ddmmyy", DataFinal);
  int dias = static_cast<int>(std::trunc(DateOf(DataFinal) - DateOf(DataInicial)));
  SetAguardaImpressao(true);
  EnviaComando(cmd, dias + 10);
}

void TZuvoECFDaruma::LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
  std::string cmd = (FS2000() ? Esc(251) : Esc(209)) + "x" +
                    CampoInteiro(ReducaoInicial, 6, "ReducaoInicial") +
                    CampoInteiro(ReducaoFinal, 6, "ReducaoFinal");
  SetAguardaImpressao(true);
  EnviaComando(cmd, ReducaoFinal - ReducaoInicial + 10);
}

void TZuvoECFDaruma::LeituraSerial(const std::string& Parametros, int Periodo, TStrings& Linhas) {
  // The FS2000's ESC 209 closes the receipt: it has no capture command.
  if (FS2000()) DoNaoImplementado("LeituraMemoriaFiscalSerial");
  Linhas.clear();
  std::string r = EnviaComando(Esc(209) + "s" + Parametros,
                               static_cast<int>(std::trunc(TimeOut() + Periodo / 5.0)));
  std::string texto = Copy(r, 2);
  if (!texto.empty() && texto.back() == CR) texto.pop_back();
  Linhas = SplitLines(texto);
}

void TZuvoECFDaruma::LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                                TStrings& Linhas) {
  int dias = static_cast<int>(std::trunc(DateOf(DataFinal) - DateOf(DataInicial)));
  LeituraSerial(FormatDateTime("ddmmyy", DataInicial) + FormatDateTime("ddmmyy", DataFinal), dias,
                Linhas);
}

void TZuvoECFDaruma::LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                                TStrings& Linhas) {
  LeituraSerial(CampoInteiro(ReducaoInicial, 6, "ReducaoInicial") +
                    CampoInteiro(ReducaoFinal, 6, "ReducaoFinal"),
                ReducaoFinal - ReducaoInicial, Linhas);
}

// ---------------------------------------------------------------------------
// Cheque and settings

void TZuvoECFDaruma::ImprimeCheque(const std::string& Banco, double Valor,
                                   const std::string& Favorecido, const std::string& Cidade,
                                   TDateTime Data, const std::string& Observacao) {
  // Every field is checked before the first command reaches the printer.
  int64_t numeroBanco = StrToIntDef(Trim(Banco), -1);
  if (numeroBanco < 0)
    throw EZuvoECFCMDInvalido("Valor de Banco (" + Banco + ") não cabe no campo de 3 dígitos");
  const std::string banco = CampoInteiro(numeroBanco, 3, "Banco");
  const std::string valor = CampoNumerico(std::fabs(Valor), 2, 12, "Valor");
  EnviaComando(Esc("b") + banco);
  EnviaComando(Esc("c") + Copy(Trim(TextoCampo(Cidade)), 1, 25) + FIM_TEXTO);
  EnviaComando(Esc("d") + FormatDateTime("ddmmyyyy", Data));
  EnviaComando(Esc("f") + Copy(Trim(TextoCampo(Favorecido)), 1, 65) + FIM_TEXTO);
  SetAguardaImpressao(true);
  EnviaComando(Esc("v") + valor);
  SetAguardaImpressao(true);
  EnviaComando(Esc("t") + Copy(Trim(TextoCampo(Observacao)), 1, 80) + FIM_TEXTO);
}

void TZuvoECFDaruma::CancelaImpressaoCheque() { EnviaComando(Esc("mE")); }

void TZuvoECFDaruma::MudaHorarioVerao() { MudaHorarioVerao(!HorarioVerao()); }

void TZuvoECFDaruma::MudaHorarioVerao(bool EHorarioVerao) {
  EnviaComando(Esc(228) + "XXXXX" + (EHorarioVerao ? "1" : "0") + std::string(34, 'X'));
}

void TZuvoECFDaruma::MudaArredondamento(bool Arredondar) {
  EnviaComando(Esc(228) + "XXXX" + (Arredondar ? "1" : "0") + std::string(35, 'X'));
  fArredondaCache = ' ';
}

void TZuvoECFDaruma::ImpactoAgulhas(int NivelForca) {
  EnviaComando(Esc(228) + std::string(13, 'X') + (NivelForca < 3 ? "0" : "2") +
               std::string(26, 'X'));
}

}  // namespace zuvo
