#include "drivers/ZuvoECFBematech.h"

#include <algorithm>
#include <cmath>

#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

constexpr char STX = 2;
constexpr char ETX = 3;
constexpr char ESC = 27;
constexpr int kACK = 6;
constexpr int kNAK = 21;

// The status command: the printer answers it even while a receipt is open.
const std::string kStatus(1, '\x13');

// A quiet line after ST1 and ST2 longer than any pause inside an answer.
constexpr int kSilencioFimStatusMs = 100;

// ST1 and ST2 messages by bit number (bit 0 first).
const char* const kErrosST1[8] = {
    "Número de parâmetros de CMD inválido",
    "Cupom aberto",
    "Comando inexistente",
    "Primeiro dado de CMD não foi ESC (27d)",
    "Impressora em erro",
    "Erro no relógio",
    "Pouco papel",
    "Fim de papel",
};
const char* const kErrosST2[8] = {
    "Comando não executado",
    "CGC/IE do proprietário não programados",
    "Cancelamento não permitido",
    "Capacidade de alíquotas programáveis lotada",
    "Alíquota não programada",
    "Erro na Memória RAM CMOS não volátil",
    "Memória fiscal lotada",
    "Tipo de parâmetro de CMD inválido",
};

// Command bytes written as their values: Bytes({35, 0}).
std::string Bytes(std::initializer_list<int> Valores) {
  std::string r;
  for (int v : Valores) r += static_cast<char>(v);
  return r;
}

int Byte(const std::string& Texto, int Posicao) {
  return static_cast<unsigned char>(CharAt(Texto, Posicao));
}

}  // namespace

// ===========================================================================
// The protocol

std::string TZuvoECFBematech::PreparaComando(const std::string& Cmd) {
  if (Cmd.empty()) return "";
  const std::string dados = ESC + Cmd;
  unsigned soma = 0;
  for (unsigned char c : dados) soma += c;
  const size_t n = dados.size() + 2;
  std::string quadro;
  quadro += STX;
  quadro += static_cast<char>(n % 256);
  quadro += static_cast<char>((n / 256) % 256);
  quadro += dados;
  quadro += static_cast<char>(soma % 256);
  quadro += static_cast<char>((soma / 256) % 256);
  return quadro;
}

std::string TZuvoECFBematech::BcdToAsc(const std::string& Bytes) {
  std::string r;
  for (unsigned char c : Bytes) {
    // A nibble above 9 is no BCD digit: a garbled answer, not a number.
    if ((c >> 4) > 9 || (c & 0x0F) > 9) throw EZuvoECFSemResposta("Resposta do ECF inválida");
    r += static_cast<char>('0' + (c >> 4));
    r += static_cast<char>('0' + (c & 0x0F));
  }
  return r;
}

std::string TZuvoECFBematech::ListaErros(int ST1, int ST2, bool EhStatus) {
  std::string lista;
  for (int bit = 0; bit < 8; bit++) {
    // The status command is how a program asks about an open receipt and
    // the paper: those bits answer it, they are not errors of it.
    const bool calado = EhStatus && (bit == 1 || bit == 6);
    if (BitLigado(ST1, bit) && !calado) lista += std::string(kErrosST1[bit]) + CRLF;
    if (BitLigado(ST2, bit)) lista += std::string(kErrosST2[bit]) + CRLF;
  }
  return lista;
}

bool TZuvoECFBematech::RespostaSoStatus(const std::string& Retorno) {
  // "Comando inexistente" or "Primeiro dado de CMD não foi ESC": the printer
  // did not take the frame for a command and sends no data.
  return Retorno.size() >= 2 && (BitLigado(Byte(Retorno, 1), 2) || BitLigado(Byte(Retorno, 1), 3));
}

bool TZuvoECFBematech::VerificaFimLeitura(const std::string& Retorno) {
  // A variable answer holds at least ST1, ST2 and ETX: an ETX value in ST1
  // or ST2 alone does not end it.
  if (fBytesResp < 0) return Retorno.size() >= 3 && Retorno.back() == ETX;
  if (static_cast<int64_t>(Retorno.size()) >= int64_t{fBytesResp} + 2) return true;
  // A command the printer does not execute (one an older printer does not
  // know, a refused parameter) is answered with ST1 and ST2 alone. Once the
  // line has been quiet for longer than any pause inside an answer, that is
  // the whole answer: waiting out the time-out would only delay the error.
  // Only two or three bytes (MFD printers may add a status byte): the first
  // byte of a long data answer may look like ST1 while the rest is slow.
  return Retorno.size() <= 3 && static_cast<int>(Retorno.size()) < fBytesResp + 2 &&
         RespostaSoStatus(Retorno) && SilencioMs() >= kSilencioFimStatusMs;
}

bool TZuvoECFBematech::VerificaFimImpressao() {
  // A printer busy printing does not answer the status command. Its answer
  // is the acknowledgement, ST1 and ST2: all three are read, or a status
  // byte left on the line would be taken for the next command's
  // acknowledgement. Bytes still arriving from the previous answer (the
  // extra status byte of MFD printers) may come before it.
  auto completa = [](const std::string& b) {
    const size_t ack = b.find(static_cast<char>(kACK));
    return ack != std::string::npos && b.size() >= ack + 3;
  };
  std::string resposta;
  return ConsultaDuranteImpressao(PreparaComando(kStatus), completa, resposta);
}

std::string TZuvoECFBematech::MontaQuadro(const std::string& Cmd) {
  fACK = fST1 = fST2 = 0;
  fEhStatus = Cmd == kStatus;
  return PreparaComando(Cmd);
}

bool TZuvoECFBematech::ConfirmaRecebimento() {
  // Every try waits afresh: a retry the user asked for gets its own chance.
  const int segundos = fEhStatus ? TimeOut() : std::min(TimeOut(), 5);
  try {
    const TPrazo limite(int64_t{segundos} * 1000);
    fACK = 0;
    while (fACK == 0 && !limite.Venceu()) fACK = std::max(LeByte(limite.RestanteAte(1500)), 0);
    if (fACK == 0)
      throw EZuvoECFSemResposta("Impressora " + ModeloStr() + " não responde (ACK = 0)");
    if (fACK == kNAK)
      throw EZuvoECFSemResposta("Impressora " + ModeloStr() + " não reconheceu o Comando" + CRLF +
                                " (ACK = 21)");
    if (fACK != kACK)
      throw EZuvoECFSemResposta("Erro. Resposta da Impressora " + ModeloStr() + " inválida" +
                                CRLF + " (ACK = " + IntToStr(fACK) + ")");
    return true;
  } catch (const EZuvoECFSemResposta& e) {
    if (!RetentaConfirmacao(e.what())) throw;
    return false;
  }
}

TRespostaECF TZuvoECFBematech::DecodificaResposta(const std::string& r) {
  TRespostaECF resposta;
  if (fBytesResp < 0) {
    const std::string st = CampoResposta(r, 1, 2, "ST1/ST2");
    fST1 = Byte(st, 1);
    fST2 = Byte(st, 2);
    resposta.Dados = Copy(r, 3, static_cast<int>(r.size()) - 3);
  } else if (static_cast<int64_t>(r.size()) < int64_t{fBytesResp} + 2) {
    // ST1 and ST2 alone: the printer did not execute the command.
    fST1 = Byte(r, 1);
    fST2 = Byte(r, 2);
  } else {
    // Detail-memory printers may send more status bytes after ST2: they are
    // not ST1 and ST2, which stand right after the data.
    resposta.Dados = CampoResposta(r, 1, fBytesResp, "dados");
    const std::string st = CampoResposta(r, fBytesResp + 1, 2, "ST1/ST2");
    fST1 = Byte(st, 1);
    fST2 = Byte(st, 2);
  }
  resposta.Erro = ListaErros(fST1, fST2, fEhStatus);
  if (BitLigado(fST1, 6)) {
    resposta.PoucoPapel = true;
    resposta.Erro = StringReplace(resposta.Erro, std::string(kErrosST1[6]) + CRLF, "");
  }
  return resposta;
}

void TZuvoECFBematech::ReiniciaComando() { fBytesResp = 0; }

bool TZuvoECFBematech::Suporta(TZuvoECFRecurso Recurso) {
  switch (Recurso) {
    case recTamanhoResposta: return true;
    case recAchaFPGPrograma: return !MFD();
  }
  return false;
}

void TZuvoECFBematech::DefineTamanhoResposta(int Bytes) { fBytesResp = Bytes; }

// ----- Small command shapes -----

std::string TZuvoECFBematech::ConsultaBCD(const std::string& Cmd, int Bytes) {
  fBytesResp = Bytes;
  return Trim(BcdToAsc(EnviaComando(Cmd)));
}

int TZuvoECFBematech::ConsultaByte(const std::string& Cmd) {
  fBytesResp = 1;
  return Byte(EnviaComando(Cmd), 1);
}

void TZuvoECFBematech::EnviaImpressao(const std::string& Cmd, int Segundos) {
  SetAguardaImpressao(true);
  EnviaComando(Cmd, Segundos);
}

int TZuvoECFBematech::VersaoNumero() {
  return static_cast<int>(StrToIntDef(Trim(NumVersao()), 0));
}

// ===========================================================================
// Construction and activation

TZuvoECFBematech::TZuvoECFBematech(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config), fCHQModelos(std::make_unique<TZuvoCHQModelos>()) {
  SetNomeModelo("Bematech");
  Device.SetHandShake(hsRTS_CTS);
}

TZuvoECFBematech::~TZuvoECFBematech() = default;

void TZuvoECFBematech::Ativar() {
  ExigePortaSerial("A impressora: " + ModeloStr(), CRLF);
  Device().SetHandShake(hsRTS_CTS);
  TZuvoECFClass::Ativar();

  fNumVersaoCache.clear();
  fNumECFCache.clear();
  fNumLojaCache.clear();
  fNumCROCache.clear();
  SetMFD(false);
  SetTermica(false);
  fArredondaCache = ' ';

  try {
    EnviaComando(kStatus);
    if (fACK != kACK)
      throw EZuvoECFNaoInicializado("Erro inicializando a impressora " + ModeloStr());
    NumVersao();
    // The 5708 series prints 40 columns.
    SetColunas(NumSerie().starts_with("5708") ? 40 : 48);
  } catch (...) {
    Desativar();
    throw;
  }
}

// ===========================================================================
// Identification and state

TDateTime TZuvoECFBematech::DataHora() {
  fBytesResp = 6;
  const std::string d = BcdToAsc(EnviaComando(Bytes({35, 23})));  // ddmmyyhhnnss
  return DataHoraResposta(Copy(d, 1, 12), "ddmmyyhhnnss");
}

std::string TZuvoECFBematech::NumCupom() { return ConsultaBCD(Bytes({30}), 3); }

std::string TZuvoECFBematech::NumECF() {
  if (fNumECFCache.empty()) fNumECFCache = ConsultaBCD(Bytes({35, 14}), 2);
  return fNumECFCache;
}

std::string TZuvoECFBematech::NumCRO() {
  if (fNumCROCache.empty()) fNumCROCache = ConsultaBCD(Bytes({35, 10}), 2);
  return fNumCROCache;
}

std::string TZuvoECFBematech::NumLoja() {
  if (fNumLojaCache.empty()) fNumLojaCache = ConsultaBCD(Bytes({35, 15}), 2);
  return fNumLojaCache;
}

std::string TZuvoECFBematech::NumSerie() {
  if (MFD()) {
    try {
      Sondagem sonda(*this);
      fBytesResp = 20;
      return Trim(EnviaComando(Bytes({35, 40})));
    } catch (const Exception&) {
      // Some MFD firmwares only know the older query.
    }
  }
  fBytesResp = 15;
  return Trim(EnviaComando(Bytes({35, 0})));
}

std::string TZuvoECFBematech::NumVersao() {
  if (!fNumVersaoCache.empty()) return fNumVersaoCache;
  bool mfd = false;
  {
    Sondagem sonda(*this);
    try {
      // Only MFD printers know 35, 41.
      fBytesResp = 3;
      fNumVersaoCache = Trim(BcdToAsc(EnviaComando(Bytes({35, 41}), 1)));
      mfd = true;
      SetMFD(true);
      try {
        fBytesResp = 42;
        SetTermica(Pos("TH ", Trim(EnviaComando(Bytes({35, 60}), 1))) > 0);
      } catch (const Exception&) {
        // An MFD printer without the model query is an impact printer.
      }
    } catch (const Exception&) {
      // An older printer: it does not know the query.
    }
  }
  if (!mfd) {
    SetMFD(false);
    fNumVersaoCache = ConsultaBCD(Bytes({35, 1}), 2);
  }
  return fNumVersaoCache;
}

double TZuvoECFBematech::SubTotal() {
  return RoundTo(static_cast<double>(StrToInt(ConsultaBCD(Bytes({29}), 7))) / 100, -2);
}

double TZuvoECFBematech::TotalPago() {
  if (MFD()) return fTotalPagoMFD;
  return RoundTo(static_cast<double>(StrToInt(ConsultaBCD(Bytes({35, 22}), 7))) / 100, -2);
}

TZuvoECFEstado TZuvoECFBematech::Estado() {
  if (!Ativo()) {
    SetEstadoCampo(estNaoInicializada);
    return estNaoInicializada;
  }
  const int flags = ConsultaByte(Bytes({35, 17}));
  TZuvoECFEstado estado = estLivre;
  if (BitLigado(flags, 3))
    estado = estBloqueada;
  else if (BitLigado(flags, 1))
    estado = estPagamento;
  else if (BitLigado(flags, 0))
    estado = estVenda;

  if (MFD() && estado == estLivre) {
    // A fiscal day that is not today needs its Z reduction first.
    const std::string diaFiscal = ConsultaBCD(Bytes({35, 27}), 3);  // ddmmyy
    if (diaFiscal != "000000") {
      const std::string hoje = ConsultaBCD(Bytes({35, 23}), 6);
      if (diaFiscal != Copy(hoje, 1, 6)) estado = estRequerZ;
    }
  }
  SetEstadoCampo(estado);
  return estado;
}

bool TZuvoECFBematech::GavetaAberta() { return ConsultaByte(Bytes({23})) != 0; }

bool TZuvoECFBematech::PoucoPapel() { return BitLigado(fST1, 6); }

bool TZuvoECFBematech::HorarioVerao() { return BitLigado(ConsultaByte(Bytes({35, 17})), 2); }

bool TZuvoECFBematech::Arredonda() {
  if (fArredondaCache == ' ') fArredondaCache = ConsultaByte(Bytes({35, 28})) != 0 ? 'S' : 'N';
  return fArredondaCache == 'S';
}

bool TZuvoECFBematech::ChequePronto() { return !BitLigado(ConsultaByte(">0"), 5); }

// ===========================================================================
// Tables

void TZuvoECFBematech::CarregaAliquotas() {
  TZuvoECFClass::CarregaAliquotas();
  fBytesResp = 2;
  const std::string servico = EnviaComando(Bytes({35, 29}));  // ISS flags, rate 1 = bit 7
  const int f1 = Byte(servico, 1);
  const int f2 = Byte(servico, 2);
  fBytesResp = 33;
  const std::string valores = Copy(EnviaComando(Bytes({26})), 2);  // 16 rates, 2 BCD bytes each
  for (int i = 1; i <= 16; i++) {
    const std::string digitos = BcdToAsc(Copy(valores, (i - 1) * 2 + 1, 2));
    const double valor = RoundTo(static_cast<double>(StrToIntDef(digitos, 0)) / 100, -2);
    if (valor <= 0) continue;
    TZuvoECFAliquota& a = fAliquotas->Add();
    a.Indice = InteiroZeros(i, 2);
    a.Aliquota = valor;
    if ((i <= 8 && BitLigado(f1, 8 - i)) || (i > 8 && BitLigado(f2, 16 - i))) a.Tipo = 'S';
  }
}

void TZuvoECFBematech::ProgramaAliquota(double Aliquota, char Tipo, const std::string&) {
  const char servico = std::toupper(static_cast<unsigned char>(Tipo)) == 'S' ? '1' : '0';
  EnviaComando(Bytes({7}) + CampoNumerico(Aliquota, 2, 4, "Aliquota") + servico);
  CarregaAliquotas();
}

void TZuvoECFBematech::CarregaFormasPagamento() {
  TZuvoECFClass::CarregaFormasPagamento();
  fBytesResp = 1925;
  const std::string descricoes = Copy(EnviaComando(Bytes({35, 32}), 5), 2, 832);
  for (int i = 1; i <= 16; i++) {
    // Empty slots are NUL bytes, which Trim removes.
    const std::string descricao = Trim(Copy(descricoes, (i - 1) * 16 + 1, 16));
    if (descricao.empty()) continue;
    TZuvoECFFormaPagamento& f = fFormasPagamento->Add();
    f.Indice = InteiroZeros(i, 2);
    f.Descricao = descricao;
    f.PermiteVinculado = i > 1;  // slot 1 is cash
  }
}

void TZuvoECFBematech::ProgramaFormaPagamento(std::string& Descricao, bool,
                                              const std::string&) {
  // The printer keeps 16 characters: the caller gets those back.
  Descricao = CompletaDireita(TextoImprimivel(Descricao), 16);
  fBytesResp = 2;
  const std::string d = BcdToAsc(EnviaComando("G" + Descricao));
  // The index comes as two BCD bytes, one digit in each low nibble.
  const std::string indice = std::string(1, CharAt(d, 2)) + CharAt(d, 4);
  if (StrToIntDef(indice, 0) <= 0 || !fFormasPagamento) return;
  TZuvoECFFormaPagamento* f = AchaFPGIndice(indice);
  if (!f) {
    f = &fFormasPagamento->Add();
    f->Indice = indice;
    f->Descricao = Trim(Descricao);
    f->PermiteVinculado = true;
  }
  // An existing method answers with its own index: its description is
  // the one recorded.
  Descricao = f->Descricao;
}

TZuvoECFFormaPagamento* TZuvoECFBematech::AchaFPGDescricao(const std::string& Descricao) {
  // The printer answers the index of a description it has, or records it;
  // the search then looks for what it recorded (cut to 16 characters).
  std::string gravada = Descricao;
  if (!MFD()) ProgramaFormaPagamento(gravada, true, "");
  return TZuvoECFClass::AchaFPGDescricao(gravada);
}

void TZuvoECFBematech::CarregaComprovantesNaoFiscais() {
  TZuvoECFClass::CarregaComprovantesNaoFiscais();
  fBytesResp = 1550;
  const std::string registros = EnviaComando(Bytes({35, 33}), 5);  // 50 records of 31 bytes
  int n = 1;
  for (size_t inicio = 1; inicio <= registros.size(); inicio += 31, n++) {
    const std::string descricao = Trim(Copy(registros, static_cast<int>(inicio) + 12, 19));
    if (descricao.empty()) continue;
    TZuvoECFComprovanteNaoFiscal& c = fComprovantesNaoFiscais->Add();
    c.Indice = InteiroZeros(n, 2);
    c.Descricao = descricao;
  }
  auto sangria = std::make_unique<TZuvoECFComprovanteNaoFiscal>();
  sangria->Indice = "SA";
  sangria->Descricao = "Sangria";
  fComprovantesNaoFiscais->Insert(0, std::move(sangria));
  auto suprimento = std::make_unique<TZuvoECFComprovanteNaoFiscal>();
  suprimento->Indice = "SU";
  suprimento->Descricao = "Suprimento";
  fComprovantesNaoFiscais->Insert(1, std::move(suprimento));
}

void TZuvoECFBematech::ProgramaComprovanteNaoFiscal(std::string& Descricao,
                                                    const std::string&,
                                                    const std::string& Posicao) {
  const std::string descricao = CompletaDireita(TextoImprimivel(Descricao), 19);
  CarregaComprovantesNaoFiscais();
  int p = static_cast<int>(StrToIntDef(Trim(Posicao), 0));
  if (p <= 0 || p > 50) {
    // The next slot after the printer's own entries (Sangria and Suprimento
    // are not slots), skipping any that is taken: never overwrite a type.
    p = ComprovantesNaoFiscais().Count() - 2 + 1;
    while (p <= 50 && AchaCNFIndice(InteiroZeros(p, 2))) p++;
  }
  if (p > 50) throw Exception("Não há espaço para programar novos Comprovantes não Fiscais");
  EnviaComando("(" + InteiroZeros(p, 2) + descricao);
  TZuvoECFComprovanteNaoFiscal& c = fComprovantesNaoFiscais->Add();
  c.Indice = InteiroZeros(p, 2);
  c.Descricao = Trim(descricao);
  Descricao = c.Descricao;
}

// ===========================================================================
// Receipt

void TZuvoECFBematech::AbreCupom(const std::string& CPF_CNPJ) {
  ReiniciaMsgPoucoPapel();  // a new receipt warns about the paper again
  fTotalPagoMFD = 0;
  const std::string consumidor = MFD() && !Trim(CPF_CNPJ).empty()
                                     ? CompletaDireita(CPF_CNPJ, 29)
                                     : Trim(CPF_CNPJ);
  EnviaImpressao(Bytes({0}) + consumidor, 10);
}

std::string TZuvoECFBematech::IndiceAliquota(const std::string& AliquotaICMS) {
  switch (CharAt(AliquotaICMS, 1)) {
    case 'F': return "FF";  // substituição tributária
    case 'I': return "II";  // isento
    case 'N': return "NN";  // não tributado
    case 'T': return CompletaEsquerda(Copy(AliquotaICMS, 2, 2), 2, '0');
    default: break;
  }
  return AchaAliquotaVenda(AliquotaICMS).Indice;
}

void TZuvoECFBematech::VendeItem(const std::string& Codigo, const std::string& Descricao,
                                 const std::string& AliquotaICMS, double Qtd,
                                 double ValorUnitario, double DescontoPorc,
                                 const std::string& Unidade) {
  if (Qtd > 9999) throw EZuvoECFCMDInvalido("Quantidade deve ser inferior a 9999.");
  const std::string indice = IndiceAliquota(AliquotaICMS);
  if (ArredondaPorQtd() && !Arredonda()) ArredondarPorQtd(Qtd, -2, ValorUnitario);
  // A NUL ends the code and the description of the MFD sale: no caller's
  // control byte may reach a field.
  const std::string descricao = Trim(TextoImprimivel(Descricao));
  const std::string codigo = TextoImprimivel(Codigo);
  const std::string unidade = CompletaDireita(TextoImprimivel(Unidade), 2);

  if (MFD()) {
    // The discount goes as an amount in cents.
    const double desconto = RoundTo(Qtd * ValorUnitario, -2) * DescontoPorc;
    EnviaComando("?" + indice + CampoNumerico(ValorUnitario, 3, 9, "ValorUnitario") +
                 CampoNumerico(Qtd, 3, 7, "Qtd") + CampoNumerico(desconto, 0, 10, "Desconto") +
                 StringOfChar('0', 32) + unidade + Trim(codigo) + Bytes({0}) + descricao +
                 Bytes({0}));
  } else {
    const bool qtdInteira = RoundTo(Qtd, 0) == Qtd;
    const std::string qtd =
        qtdInteira ? CampoNumerico(Qtd, 0, 4, "Qtd") : CampoNumerico(Qtd, 3, 7, "Qtd");
    // Command 9 takes prices in cents, 56 in thousandths.
    const bool precoCentavos = RoundTo(ValorUnitario, -2) == ValorUnitario;
    const char comando = precoCentavos ? 9 : 56;
    const std::string preco = CampoNumerico(ValorUnitario, precoCentavos ? 2 : 3, 8,
                                            "ValorUnitario");
    const std::string desconto = CampoNumerico(DescontoPorc, 2, 4, "DescontoPorc");

    const int versao = VersaoNumero();
    if (versao >= 300 && !Trim(unidade).empty()) EnviaComando(">3" + unidade);
    if (DescricaoGrande() && descricao.size() > 29 && versao >= 300)
      EnviaComando(">4" + Copy(descricao, 1, 200));
    EnviaComando(comando + CompletaDireita(codigo, 13) + CompletaDireita(descricao, 29) + indice +
                 qtd + preco + desconto);
  }
  fTotalPagoMFD = 0;
}

void TZuvoECFBematech::SubtotalizaCupom(double DescontoAcrescimo, const std::string&) {
  const std::string tipo = DescontoAcrescimo >= 0 ? "a" : "d";
  EnviaComando(Bytes({32}) + tipo +
               CampoNumerico(std::fabs(DescontoAcrescimo), 2, 14, "DescontoAcrescimo"));
  fTotalPagoMFD = 0;
}

void TZuvoECFBematech::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                       const std::string& Observacao, bool ImprimeVinculado) {
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  EnviaComando("H" + CodFormaPagto + CampoNumerico(Valor, 2, 14, "Valor") +
               Copy(TextoImprimivel(Observacao), 1, 80));
  fTotalPagoMFD += RoundTo(Valor, -2);
}

void TZuvoECFBematech::FechaCupom(const std::string& Observacao) {
  std::string obs = TrimRight(TextoImprimivel(Observacao, true));
  if (obs.empty() || obs.back() != LF) obs += LF;
  EnviaImpressao('"' + Copy(obs, 1, 492), 18);
  fTotalPagoMFD = 0;
}

void TZuvoECFBematech::CancelaCupom() {
  // An older printer does not cancel a receipt without items: sell one first.
  if (Estado() == estVenda && SubTotal() == 0 && !MFD())
    VendeItem("00000", "CUPOM SERA CANCELADO", "NN", 1, 0.01, 0, "");
  EnviaImpressao(Bytes({14}), 15);
  fTotalPagoMFD = 0;
  try {
    FechaRelatorio();
  } catch (const Exception&) {
    // Nothing was open.
  }
}

void TZuvoECFBematech::CancelaItemVendido(int NumItem) {
  EnviaComando(Bytes({31}) + CampoInteiro(NumItem, 4, "NumItem"));
}

void TZuvoECFBematech::AbreGaveta() {
  EnviaComando(Bytes({22, 100}));
  Descansa(100);  // the drawer's pulse: the printer takes no command during it
}

// ===========================================================================
// Reports

void TZuvoECFBematech::LeituraX() { EnviaImpressao(Bytes({6}), 45); }

void TZuvoECFBematech::ReducaoZ(TDateTime DataHora) {
  const std::string quando = DataHora == 0 ? "" : FormatDateTime("ddmmyyhhnnss", DataHora);
  EnviaImpressao(Bytes({5}) + quando, 45);
}

void TZuvoECFBematech::AbreRelatorioGerencial() { EnviaImpressao(Bytes({20}), 45); }

void TZuvoECFBematech::ImprimeTexto(const std::string& Texto, const std::string& Prefixo) {
  std::string texto = AjustaLinhas(TextoImprimivel(Texto, true));
  if (!Termica()) {
    ImprimeLinhaALinha(texto, Prefixo);
    return;
  }
  // Thermal printers take up to 620 characters at a time, cut at a line end.
  while (!texto.empty()) {
    size_t tamanho = texto.size();
    if (tamanho > 620) {
      const size_t lf = texto.rfind(LF, 619);
      tamanho = lf == std::string::npos ? 620 : lf + 1;
    }
    const std::string bloco = texto.substr(0, tamanho);
    texto.erase(0, tamanho);
    const int segundos = ContaOcorrencias(bloco, std::string(1, LF)) / 4;
    SetAguardaImpressao(segundos > 3);
    EnviaComando(Prefixo + bloco, segundos);
  }
}

void TZuvoECFBematech::LinhaRelatorioGerencial(const std::string& Linha) {
  ImprimeTexto(Linha, Bytes({20}));
}

void TZuvoECFBematech::AbreCupomVinculado(const std::string& COO,
                                          const std::string& CodFormaPagto,
                                          const std::string&, double Valor) {
  TZuvoECFFormaPagamento* forma = AchaFPGIndice(CodFormaPagto);
  if (!forma) throw Exception("Forma de Pagamento: " + CodFormaPagto + " não foi cadastrada.");
  const std::string coo = ZerosEsquerda(COO, 6);
  const std::string descricao = CompletaDireita(forma->Descricao, 16);
  if (Valor > 0 && (MFD() || VersaoNumero() >= 310)) {
    try {
      EnviaImpressao("B" + descricao + CampoNumerico(Valor, 2, 14, "Valor") + coo, 10);
      return;
    } catch (const Exception&) {
      // Firmwares without the long form take the short one.
    }
  }
  EnviaImpressao("B" + descricao, 10);
}

void TZuvoECFBematech::LinhaCupomVinculado(const std::string& Linha) { ImprimeTexto(Linha, "C"); }

void TZuvoECFBematech::FechaRelatorio() { EnviaImpressao(Bytes({21}), 10); }

void TZuvoECFBematech::LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
  const int dias = static_cast<int>(std::fabs(DateOf(DataFinal) - DateOf(DataInicial)));
  EnviaImpressao(Bytes({8}) + FormatDateTime("ddmmyy", DataInicial) +
                     FormatDateTime("ddmmyy", DataFinal) + "I",
                 dias + 20);
}

void TZuvoECFBematech::LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
  EnviaImpressao(Bytes({8}) + CampoInteiro(ReducaoInicial, 6, "ReducaoInicial") +
                     CampoInteiro(ReducaoFinal, 6, "ReducaoFinal") + "I",
                 ReducaoFinal - ReducaoInicial + 20);
}

void TZuvoECFBematech::LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                                  TStrings& Linhas) {
  Linhas.clear();
  const double dias = std::fabs(DateOf(DataFinal) - DateOf(DataInicial));
  fBytesResp = -1;  // the report comes back ended by ETX
  Linhas = SplitLines(EnviaComando(Bytes({8}) + FormatDateTime("ddmmyy", DataInicial) +
                                       FormatDateTime("ddmmyy", DataFinal) + "R",
                                   static_cast<int>(dias / 2 + 10)));
}

void TZuvoECFBematech::LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                                  TStrings& Linhas) {
  Linhas.clear();
  const int reducoes = std::abs(ReducaoFinal - ReducaoInicial);
  const std::string cmd = Bytes({8}) + CampoInteiro(ReducaoInicial, 6, "ReducaoInicial") +
                          CampoInteiro(ReducaoFinal, 6, "ReducaoFinal") + "R";
  fBytesResp = -1;
  Linhas = SplitLines(EnviaComando(cmd, reducoes / 2 + 10));
}

// ===========================================================================
// Check, clock, settings

void TZuvoECFBematech::ImprimeCheque(const std::string& Banco, double Valor,
                                     const std::string& Favorecido, const std::string& Cidade,
                                     TDateTime Data, const std::string& Observacao) {
  const std::string banco = InteiroZeros(StrToInt(Banco), 3);
  const std::string valor = CampoNumerico(std::fabs(Valor), 2, 14, "Valor");
  TZuvoCHQModelo* modelo = fCHQModelos->AchaBanco(banco);
  if (!modelo) throw Exception("Modelo de cheque do Banco: " + banco + " não encontrado");
  std::string layout;
  for (int p : modelo->Parametros()) layout += static_cast<char>(p);
  EnviaComando("9" + valor + CompletaDireita(TextoImprimivel(Favorecido), 45) +
               CompletaEsquerda(Trim(TextoImprimivel(Cidade)), 27) +
               FormatDateTime("ddmmyyyy", Data) + layout +
               Copy(TextoImprimivel(Observacao), 1, 120));
}

void TZuvoECFBematech::CancelaImpressaoCheque() { EnviaComando(">1"); }

void TZuvoECFBematech::MudaHorarioVerao() { EnviaComando(Bytes({18})); }

void TZuvoECFBematech::MudaHorarioVerao(bool EHorarioVerao) {
  if (HorarioVerao() != EHorarioVerao) MudaHorarioVerao();
}

void TZuvoECFBematech::MudaArredondamento(bool Arredondar) {
  EnviaComando(Bytes({39}) + (Arredondar ? "1" : "0"));
  fArredondaCache = ' ';
}

void TZuvoECFBematech::CorrigeEstadoErro() {
  try {
    EnviaComando("F");  // takes the printer out of an error state
  } catch (const Exception&) {
  }
  Dorme(200);  // the printer settles after leaving the error state (recovery only)
  TZuvoECFClass::CorrigeEstadoErro();
  const TZuvoECFEstado estado = Estado();
  if (estado == estVenda || estado == estPagamento) {
    try {
      AbreCupom("");
    } catch (const Exception&) {
    }
    try {
      CancelaCupom();
    } catch (const Exception&) {
    }
  }
}

void TZuvoECFBematech::ImpactoAgulhas(int NivelForca) {
  if (MFD() || VersaoNumero() < 310)
    throw Exception(
        "Comando para aumentar o impacto das agulhas não disponível neste modelo de ECF.");
  const int nivel = std::clamp(NivelForca, 1, 3);
  EnviaComando(Bytes({124}) + static_cast<char>('0' + nivel));
}

}  // namespace zuvo
