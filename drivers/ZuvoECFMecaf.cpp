#include "drivers/ZuvoECFMecaf.h"

#include <cctype>
#include <cmath>
#include <functional>

#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

constexpr char STX = 2;
constexpr char ETX = 3;
constexpr char ESC = 27;

struct ErroMecaf {
  int Codigo;
  const char* Mensagem;
};
// The messages of a "-" answer, by code (the accents around the letters in 5,
// 6 and 14 are the printer's own).
const ErroMecaf kErros[] = {
    {1, "Cabeçalho contém caracteres inválidos"},
    {2, "Comando inexistente"},
    {3, "Valor não numérico em campo numérico"},
    {4, "Caracteres inválidos no Comando"},
    {5, "Campo deve iniciar com `@´, `&´ ou `%´"},
    {6, "Campo deve iniciar com `$´, `#´ ou `?´"},
    {7, "O intervalo é inconsistente"},
    {9, "A palavra TOTAL não é aceita"},
    {10, "A sintaxe do comando está errada"},
    {11, "Excedeu o nº máximo de linhas permitidas pelo comando"},
    {12, "O terminador enviado não está obedecendo o protocolo de comunicação"},
    {13, "O checksum enviado está incorreto"},
    {14, "A situação tributária deve iniciar com `T´, `F´,`I´ ou ´N´"},
    {16, "Data Inválida"},
    {17, "Hora Inválida"},
    {18, "Aliquota não programada ou fora do Intervalo"},
    {20, "Comando só aceito em Intervenção Fiscal"},
    {21, "Comando só aceito em Modo Normal"},
    {22, "Necessário abrir cupom"},
    {23, "Comando não aceito durante Cupom Fiscal"},
    {26, "O relógio já está em horário de verão"},
    {27, "O relógio não está em horário de verão"},
    {28, "Necessário realizar Redução Z"},
    {29, "Fechamento diário (Redução Z) já realizada"},
    {31, "Item inexistente ou já cancelado"},
    {32, "Cupom anterior não pode ser cancelado"},
    {33, "Detectado falta de papel"},
    {37, "Necessário realizar intervenção fiscal"},
    {38,
     "Memória fiscal não permite mais realizar vendas. Só é possível efetuar Leitura X ou da "
     "Mem.Fiscal."},
    {39,
     "OCORREU ALGUM PROBLEMA NA MEMORIA FISCAL. Será necessário realizar uma Intervenção Técnica "
     "Só é possível efetuar Leitura X ou da Mem.Fiscal."},
    {40, "Necessário programar a Data do Relógio"},
    {41, "Número máximo de itens por cupom ultrapassado"},
    {44, "Impressora em Estado de impressão de cheque"},
    {46, "Necessário inserir o cheque"},
    {47, "Necessário inserir nova bobina"},
    {48, "Necessário executar uma Leitura X"},
    {49, "Detectado algum problema na Impressora. Papel encravado, sobretensão, etc..."},
    {50, "Cupom já foi totalizado"},
    {53, "Ocorreu erro de gravação na memória fiscal"},
    {58, "Falta completar valor do pagamento"},
    {61, "Troco não realizado"},
    {63, "Impressora não está respondendo"},
};

// The check's layout as the printer takes it ahead of the fields.
const int kLayoutCheque[] = {36, 75, 72, 10, 36, 10, 36, 36, 40, 36, 36, 75};

int DigitoHex(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  return -1;
}

// The first of Busca..Ultima that is not taken, or Posicao when it names one
// of Primeira..Ultima; Ultima + 1 when the table is full.
int PosicaoTabela(const std::string& Posicao, int Primeira, int Ultima, int Busca,
                  const std::function<bool(int)>& Ocupada) {
  int n = static_cast<int>(StrToIntDef(Trim(Posicao), -1));
  if (n >= Primeira && n <= Ultima) return n;
  for (n = Busca; n <= Ultima && Ocupada(n); n++) {
  }
  return n;
}

// Sets the description of the record at Indice, adding it when it is new
// (a position programmed again keeps one record).
template <class Lista>
void Registra(Lista& L, const std::string& Indice, const std::string& Descricao) {
  for (const auto& item : L)
    if (item->Indice == Indice) {
      item->Descricao = Descricao;
      return;
    }
  auto& novo = L.Add();
  novo.Indice = Indice;
  novo.Descricao = Descricao;
}

}  // namespace

// ===========================================================================
// The protocol

std::string TZuvoECFMecaf::PreparaComando(const std::string& Cmd) {
  return std::string{STX, ESC, '$'} + Cmd + ETX;
}

std::string TZuvoECFMecaf::MensagemErro(int Codigo) {
  for (const auto& e : kErros)
    if (e.Codigo == Codigo) return e.Mensagem;
  return "Erro retornado pelo ECF: " + IntToStr(Codigo);
}

bool TZuvoECFMecaf::EhConsulta(const std::string& Cmd) {
  const std::string codigo = Copy(Cmd, 1, 2);
  return codigo == "30" || codigo == "32" || codigo == "33" || codigo == "34" || codigo == "36" ||
         codigo == "37";
}

std::string TZuvoECFMecaf::MontaQuadro(const std::string& Cmd) {
  fConsulta = EhConsulta(Cmd);
  fStatus = Cmd == "32";
  return PreparaComando(Cmd);
}


bool TZuvoECFMecaf::VerificaFimLeitura(const std::string& Retorno) {
  return !Retorno.empty() && Retorno.back() == ETX;
}

TRespostaECF TZuvoECFMecaf::DecodificaResposta(const std::string& Resposta) {
  TRespostaECF r;
  r.Quebra = std::string(1, LF);
  r.Dados = Copy(Resposta, 2, static_cast<int>(Resposta.size()) - 2);
  const char sinal = CharAt(r.Dados, 1);
  if (sinal == '-') {
    if (fRecusaResponde) return r;
    const std::string codigo = Copy(r.Dados, 6, 2);
    const bool numero = codigo.size() == 2 && EhDigito(codigo[0]) && EhDigito(codigo[1]);
    r.Erro = MensagemErro(numero ? static_cast<int>(StrToInt(codigo)) : 0);
    return r;
  }
  // Neither "+" nor "-" is no confirmation: a garbled answer must not pass
  // for a receipt opened or an item sold.
  if (sinal != '+') RespostaInvalida("sinal");
  // Low paper is where the answer says it: the status byte S2 in the status,
  // the code of an action; a query's characters 6-7 are its data.
  if (fStatus)
    r.PoucoPapel = BitLigado(ByteHex(r.Dados, 10, "S2"), 6);
  else if (!fConsulta)
    r.PoucoPapel = Copy(r.Dados, 6, 2) == "01";
  return r;
}

void TZuvoECFMecaf::ReiniciaComando() {
  fConsulta = false;
  fStatus = false;
  fRecusaResponde = false;
}

// ----- Small command shapes -----

std::string TZuvoECFMecaf::ConsultaOpcional(const std::string& Cmd) {
  fRecusaResponde = true;
  return EnviaComando(Cmd);
}

int64_t TZuvoECFMecaf::Numero(const std::string& Resposta, int Inicio, int Count,
                              const std::string& Campo) {
  const std::string texto = CampoResposta(Resposta, Inicio, Count, Campo);
  for (char c : texto)
    if (!EhDigito(c)) RespostaInvalida(Campo);
  return StrToInt(texto);
}

int TZuvoECFMecaf::ByteHex(const std::string& Resposta, int Inicio, const std::string& Campo) {
  const std::string texto = CampoResposta(Resposta, Inicio, 2, Campo);
  const int alto = DigitoHex(texto[0]), baixo = DigitoHex(texto[1]);
  if (alto < 0 || baixo < 0) RespostaInvalida(Campo);
  return alto * 16 + baixo;
}

std::string TZuvoECFMecaf::Status() { return EnviaComando("32"); }

int TZuvoECFMecaf::FlagsDocumento() { return ByteHex(EnviaComando("34M84"), 6, "Flags"); }

bool TZuvoECFMecaf::Versao201ou301() const {
  return Pos("201", fNumVersaoCache) > 0 || Pos("301", fNumVersaoCache) > 0;
}

void TZuvoECFMecaf::LeituraSerial(const std::string& Cmd, int Segundos, TStrings& Linhas) {
  Linhas.clear();
  // The report follows the sign and the four characters after it.
  std::string texto = Copy(EnviaComando(Cmd, Segundos), 6);
  for (char& c : texto)
    if (c == '\0') c = ' ';
  Linhas = SplitLines(texto);
}

// ===========================================================================
// Construction and activation

TZuvoECFMecaf::TZuvoECFMecaf(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config) {
  SetNomeModelo("Mecaf");
  Device.SetHandShake(hsRTS_CTS);
  SetColunas(40);
}

TZuvoECFMecaf::~TZuvoECFMecaf() = default;

void TZuvoECFMecaf::Ativar() {
  ExigePortaSerial("A impressora: " + ModeloStr(), std::string(1, LF));
  Device().SetHandShake(hsRTS_CTS);
  TZuvoECFClass::Ativar();

  fNumVersaoCache.clear();
  fNumCROCache.clear();
  fNumECFCache.clear();
  fArredondaCache = ' ';
  try {
    if (Trim(NumVersao()).empty())
      throw EZuvoECFNaoInicializado("Erro inicializando a impressora " + ModeloStr());
    if (Versao201ou301()) SetColunas(48);
  } catch (...) {
    Desativar();
    throw;
  }
}

// ===========================================================================
// Identification and state

TDateTime TZuvoECFMecaf::DataHora() {
  // "dd/mm/yy hh:nn:ss" from character 6
  return DataHoraResposta(CampoResposta(EnviaComando("33"), 6, 17, "DataHora"), "ddmmyyhhnnss");
}

std::string TZuvoECFMecaf::NumCupom() {
  const std::string r = ConsultaOpcional("34M41");
  if (CharAt(r, 1) != '+') return StringOfChar(' ', 6);
  return InteiroZeros(Numero(r, 6, 6, "NumCupom"), 6);
}

std::string TZuvoECFMecaf::NumECF() {
  if (fNumECFCache.empty())
    fNumECFCache = InteiroZeros(Numero(EnviaComando("34M48"), 6, 6, "NumECF"), 4);
  return fNumECFCache;
}

std::string TZuvoECFMecaf::NumCRO() {
  if (fNumCROCache.empty())
    fNumCROCache = InteiroZeros(Numero(EnviaComando("34M43"), 6, 4, "NumCRO"), 4);
  return fNumCROCache;
}

std::string TZuvoECFMecaf::NumSerie() {
  const std::string r = ConsultaOpcional("34M49");
  return CharAt(r, 1) == '+' ? Copy(r, 6, 10) : "";
}

std::string TZuvoECFMecaf::NumVersao() {
  if (fNumVersaoCache.empty()) fNumVersaoCache = Copy(EnviaComando("34M47"), 6, 7);
  return fNumVersaoCache;
}

double TZuvoECFMecaf::SubTotal() {
  const std::string r = ConsultaOpcional("34M96");
  if (CharAt(r, 1) != '+') return 0;
  return RoundTo(static_cast<double>(Numero(r, 6, 15, "SubTotal")) / 100, -2);
}

double TZuvoECFMecaf::TotalPago() {
  // Register 97 is what was paid beyond the total; "-" at the end when less.
  const std::string r = ConsultaOpcional("34M97");
  if (CharAt(r, 1) != '+') return 0;
  const double v = RoundTo(static_cast<double>(Numero(r, 6, 15, "TotalPago")) / 100, -2);
  return RoundTo(r.back() == '-' ? SubTotal() - v : SubTotal() + v, -2);
}

TZuvoECFEstado TZuvoECFMecaf::Estado() {
  if (!Ativo()) {
    SetEstadoCampo(estNaoInicializada);
    return estNaoInicializada;
  }
  const std::string s = Status();
  const int s1 = ByteHex(s, 6, "S1"), s3 = ByteHex(s, 12, "S3"), s4 = ByteHex(s, 14, "S4");
  std::string diaZ;
  if (BitLigado(s1, 2)) diaZ = StringReplace(Copy(EnviaComando("34M83"), 6, 8), "/", "");

  TZuvoECFEstado estado;
  if (BitLigado(s1, 5))
    estado = estRequerZ;
  else if (BitLigado(s3, 7))
    estado = estRequerX;
  else if (BitLigado(s1, 2) && diaZ == FormatDateTime("ddmmyy", Agora()))
    estado = estBloqueada;
  else if (BitLigado(s1, 0))
    estado = BitLigado(s4, 1) || BitLigado(s4, 4) || BitLigado(s4, 5) ? estPagamento : estVenda;
  else
    estado = (FlagsDocumento() & 7) != 0 ? estRelatorio : estLivre;
  SetEstadoCampo(estado);
  return estado;
}

bool TZuvoECFMecaf::GavetaAberta() { return BitLigado(ByteHex(Status(), 10, "S2"), 1); }

bool TZuvoECFMecaf::PoucoPapel() { return BitLigado(ByteHex(Status(), 10, "S2"), 6); }

bool TZuvoECFMecaf::HorarioVerao() { return BitLigado(ByteHex(Status(), 6, "S1"), 6); }

bool TZuvoECFMecaf::ChequePronto() { return BitLigado(ByteHex(Status(), 12, "S3"), 2); }

bool TZuvoECFMecaf::Arredonda() {
  if (fArredondaCache == ' ') fArredondaCache = BitLigado(FlagsDocumento(), 6) ? 'S' : 'N';
  return fArredondaCache == 'S';
}

// ===========================================================================
// Tables

void TZuvoECFMecaf::CarregaAliquotas() {
  TZuvoECFClass::CarregaAliquotas();
  // ISS flags: rates 08-15 in the byte at 8-9, rates 00-07 in the one at 10-11.
  const std::string iss = EnviaComando("34M86");
  const int altas = ByteHex(iss, 8, "ISS"), baixas = ByteHex(iss, 10, "ISS");
  const std::string taxas = EnviaComando("30");
  for (int i = 0; i < 16; i++) {
    const double valor =
        RoundTo(static_cast<double>(Numero(taxas, 6 + 4 * i, 4, "Aliquota")) / 100, -2);
    if (valor <= 0) continue;
    TZuvoECFAliquota& a = fAliquotas->Add();
    a.Indice = "T" + InteiroZeros(i, 2);
    a.Aliquota = valor;
    if (i <= 7 ? BitLigado(baixas, i) : BitLigado(altas, i - 8)) a.Tipo = 'S';
  }
}

void TZuvoECFMecaf::ProgramaAliquota(double Aliquota, char Tipo, const std::string& Posicao) {
  const std::string taxa = CampoNumerico(Aliquota, 2, 4, "Aliquota");
  const bool servico = std::toupper(static_cast<unsigned char>(Tipo)) == 'S';
  CarregaAliquotas();
  const int n = PosicaoTabela(Posicao, 1, 15, 1,
                              [this](int i) { return AchaICMSIndice("T" + InteiroZeros(i, 2)); });
  if (n > 15) throw Exception("Não há espaço para programar novas Aliquotas");
  EnviaComando("46" + CampoInteiro(n, 2, "Posicao") + taxa + (servico ? "001" : "000"));
  // A position given again is reprogrammed: its record changes, none is added.
  TZuvoECFAliquota* a = AchaICMSIndice("T" + InteiroZeros(n, 2));
  if (!a) a = &fAliquotas->Add();
  a->Indice = "T" + InteiroZeros(n, 2);
  a->Aliquota = RoundTo(Aliquota, -2);
  a->Tipo = servico ? 'S' : 'T';
}

// Payment methods (positions 00-15) and non-fiscal receipt types (16-31)
// share the table of command 29; register 50 + n reads position n.
std::string TZuvoECFMecaf::DescricaoTabela(int Posicao) {
  return Trim(Copy(EnviaComando("34M" + CampoInteiro(Posicao + 50, 2, "Registro")), 6, 16));
}

void TZuvoECFMecaf::CarregaFormasPagamento() {
  TZuvoECFClass::CarregaFormasPagamento();
  for (int i = 0; i < 16; i++)
    if (const std::string d = DescricaoTabela(i); !d.empty())
      Registra(*fFormasPagamento, InteiroZeros(i, 2), d);
}

void TZuvoECFMecaf::ProgramaFormaPagamento(std::string& Descricao, bool,
                                           const std::string& Posicao) {
  // The printer has no linked-receipt flag for a payment method. The caller
  // sees the 16 characters sent.
  Descricao = CompletaDireita(Descricao, 16);
  const std::string descricao = Descricao;
  CarregaFormasPagamento();
  const int n =
      PosicaoTabela(Posicao, 1, 15, 0, [this](int i) { return AchaFPGIndice(InteiroZeros(i, 2)); });
  if (n > 15) throw Exception("Não há espaço para programar novas Formas de Pagamento");
  EnviaComando("29" + CampoInteiro(n, 2, "Posicao") + descricao);
  Registra(*fFormasPagamento, InteiroZeros(n, 2), Trim(descricao));
}

void TZuvoECFMecaf::CarregaComprovantesNaoFiscais() {
  TZuvoECFClass::CarregaComprovantesNaoFiscais();
  for (int i = 16; i < 32; i++)
    if (const std::string d = DescricaoTabela(i); !d.empty())
      Registra(*fComprovantesNaoFiscais, InteiroZeros(i, 2), d);
}

void TZuvoECFMecaf::ProgramaComprovanteNaoFiscal(std::string& Descricao, const std::string&,
                                                 const std::string& Posicao) {
  Descricao = CompletaDireita(Descricao, 16);
  const std::string descricao = Descricao;
  CarregaComprovantesNaoFiscais();
  const int n = PosicaoTabela(Posicao, 16, 31, 16,
                              [this](int i) { return AchaCNFIndice(InteiroZeros(i, 2)); });
  if (n > 31) throw Exception("Não há espaço para programar novos Comprovantes não Fiscais");
  EnviaComando("29" + CampoInteiro(n, 2, "Posicao") + descricao);
  Registra(*fComprovantesNaoFiscais, InteiroZeros(n, 2), Trim(descricao));
}

void TZuvoECFMecaf::FechaRelatorioRecarrega() {
  TZuvoECFClass::FechaRelatorioRecarrega();
  CarregaFormasPagamento();
}

// ===========================================================================
// Receipt

void TZuvoECFMecaf::AbreCupom(const std::string& CPF_CNPJ) {
  ReiniciaMsgPoucoPapel();  // a new receipt warns about the paper again
  // The 201 and 301 firmwares take no consumer document.
  std::string documento = Versao201ou301() ? "" : Trim(CPF_CNPJ);
  if (!documento.empty()) documento = CompletaDireita(documento, 28);
  EnviaComando("10" + documento, 8);
  fVinculadoPendente = false;
}

std::string TZuvoECFMecaf::CodigoTributo(const std::string& AliquotaICMS) {
  switch (CharAt(AliquotaICMS, 1)) {
    case 'F': return "F00";  // substituição tributária
    case 'I': return "I00";  // isento
    case 'N': return "N00";  // não tributado
    case 'T': {
      const int inicio = Copy(AliquotaICMS, 1, 2) == "TT" ? 3 : 2;
      return "T" + CompletaEsquerda(Copy(AliquotaICMS, inicio, 2), 2, '0');
    }
    default: break;
  }
  return AchaAliquotaVenda(AliquotaICMS).Indice;
}

void TZuvoECFMecaf::VendeItem(const std::string& Codigo, const std::string& Descricao,
                              const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                              double DescontoPorc, const std::string& Unidade) {
  if (Qtd > 9999) throw EZuvoECFCMDInvalido("Quantidade deve ser inferior a 9999.");
  const std::string tributo = CodigoTributo(AliquotaICMS);
  if (ArredondaPorQtd() && !Arredonda()) ArredondarPorQtd(Qtd, -2, ValorUnitario);

  // The 201/301 quantity has six digits (999.999 at most): a larger one is
  // refused here rather than printed with its last digit lost.
  std::string campos;
  if (Versao201ou301()) {
    campos = "-" + CampoNumerico(Qtd, 3, 6, "Qtd") +
             CampoNumerico(ValorUnitario, 2, 11, "ValorUnitario");
  } else {
    const bool centavos = RoundTo(ValorUnitario, -2) == ValorUnitario;
    campos = std::string(centavos ? "G" : "H") + CampoNumerico(Qtd, 3, 7, "Qtd") +
             CampoNumerico(ValorUnitario, centavos ? 2 : 3, 11, "ValorUnitario");
  }
  campos += tributo + "%" + CampoNumerico(DescontoPorc, 2, 4, "DescontoPorc");

  // A long description goes in extra lines of 38 characters.
  std::string descricao = TiraAcentos(Copy(TrimRight(Descricao), 1, 190));
  const int tamanho = static_cast<int>(descricao.size());
  int linhas = 0;
  if (tamanho <= 20 || !DescricaoGrande())
    descricao = CompletaDireita(descricao, 20);
  else {
    linhas = tamanho <= 38 ? 1 : tamanho / 38 + (tamanho % 38 > 0 ? 1 : 0);
    descricao = CompletaDireita(descricao, linhas * 38);
  }
  EnviaComando("11" + campos + CompletaDireita(Unidade, 2) + CompletaDireita(Codigo, 13) +
                   IntToStr(linhas) + descricao,
               2);
}

void TZuvoECFMecaf::SubtotalizaCupom(double DescontoAcrescimo, const std::string&) {
  EnviaComando("06" + std::string(DescontoAcrescimo > 0 ? "@" : "") + "&" +
                   CampoNumerico(std::fabs(DescontoAcrescimo), 2, 15, "DescontoAcrescimo"),
               2);
  fVinculadoPendente = false;
}

void TZuvoECFMecaf::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                    const std::string& Observacao, bool ImprimeVinculado) {
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  if (ImprimeVinculado && fVinculadoPendente)
    throw Exception(
        "Já existe Forma de Pagamento com \ncomprovante NAO fiscal vinculado pendente. "
        "\nImpressora: " +
        ModeloStr() + " aceita apenas um " + "\n" + "Comprovante não Fiscal Viculado por Cupom.");
  std::string observacao = Versao201ou301() ? "" : TiraAcentos(Observacao);
  if (observacao.size() > 41)
    observacao = "4" + CompletaDireita(observacao, 80);
  else if (observacao.size() >= 2)
    observacao = "2" + CompletaDireita(observacao, 40);
  EnviaComando("07" + CodFormaPagto + CampoNumerico(Valor, 2, 15, "Valor") + observacao, 2);
  // Only a payment the printer took leaves a linked receipt pending.
  if (ImprimeVinculado) fVinculadoPendente = true;

  // More than the total was paid: a zero payment in cash gives the change.
  if (TotalPago() > SubTotal()) {
    const TZuvoECFFormaPagamento* dinheiro = AchaFPGDescricao("Dinheiro");
    EnviaComando("07" + (dinheiro ? dinheiro->Indice : std::string("00")) + StringOfChar('0', 15),
                 2);
  }
}

void TZuvoECFMecaf::FechaCupom(const std::string& Observacao) {
  const std::string texto = AjustaLinhas(TiraAcentos(Observacao), 8, true);
  EnviaComando("08S" + CampoInteiro(static_cast<int64_t>(texto.size()), 3, "Observacao") + texto,
               ContaOcorrencias(texto, std::string(1, LF)) + 7);
  fVinculadoPendente = false;
}

void TZuvoECFMecaf::CancelaCupom() {
  EnviaComando("14", 18);
  fVinculadoPendente = false;
  FechaRelatorio();
}

void TZuvoECFMecaf::CancelaItemVendido(int NumItem) {
  EnviaComando("12" + CampoInteiro(NumItem, 3, "NumItem"), 1);
}

void TZuvoECFMecaf::AbreGaveta() {
  EnviaComando("240" + std::string(1, '\x14') + "P");
  Descansa(100);  // the drawer's pulse: the printer takes no command during it
}

// ===========================================================================
// Reports

void TZuvoECFMecaf::LeituraX() { EnviaComando("150", 40); }

void TZuvoECFMecaf::ReducaoZ(TDateTime) { EnviaComando("160", 40); }

void TZuvoECFMecaf::AbreRelatorioGerencial() { EnviaComando("151", 40); }

void TZuvoECFMecaf::LinhaRelatorioGerencial(const std::string& Linha) {
  ImprimeLinhaALinha(TiraAcentos(Linha), "260");
}

void TZuvoECFMecaf::AbreCupomVinculado(const std::string&, const std::string&, const std::string&,
                                       double) {
  // The printer links the receipt to the last one's payment by itself.
  EnviaComando("20", 8);
}

void TZuvoECFMecaf::LinhaCupomVinculado(const std::string& Linha) {
  LinhaRelatorioGerencial(Linha);
}

void TZuvoECFMecaf::FechaRelatorio() {
  if ((FlagsDocumento() & 7) != 0) EnviaComando("21", 12);
}

void TZuvoECFMecaf::LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
  const int dias = static_cast<int>(std::fabs(DateOf(DataFinal) - DateOf(DataInicial)));
  EnviaComando("17" + FormatDateTime("ddmmyy", DataInicial) + FormatDateTime("ddmmyy", DataFinal),
               dias + 60);
}

void TZuvoECFMecaf::LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
  EnviaComando("18" + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                   CampoInteiro(ReducaoFinal, 4, "ReducaoFinal"),
               ReducaoFinal - ReducaoInicial + 60);
}

void TZuvoECFMecaf::LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                               TStrings& Linhas) {
  const int dias = static_cast<int>(std::fabs(DateOf(DataFinal) - DateOf(DataInicial)));
  LeituraSerial("36" + FormatDateTime("ddmmyy", DataInicial) + FormatDateTime("ddmmyy", DataFinal),
                dias + 60, Linhas);
}

void TZuvoECFMecaf::LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                               TStrings& Linhas) {
  LeituraSerial("37" + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                    CampoInteiro(ReducaoFinal, 4, "ReducaoFinal"),
                ReducaoFinal - ReducaoInicial + 60, Linhas);
}

// ===========================================================================
// Check, clock, settings

void TZuvoECFMecaf::ImprimeCheque(const std::string&, double Valor, const std::string& Favorecido,
                                  const std::string& Cidade, TDateTime Data,
                                  const std::string& Observacao) {
  std::string layout;
  for (int b : kLayoutCheque) layout += static_cast<char>(b);
  const std::string cheque = "02" + layout + CampoNumerico(Valor, 2, 15, "Valor") +
                             CompletaDireita(Favorecido, 80) + CompletaDireita(Cidade, 20) + "1" +
                             FormatDateTime("ddmmyy", Data) + TiraAcentos(Copy(Observacao, 1, 160));
  EnviaComando("011");
  EnviaComando(cheque, 10);
}

void TZuvoECFMecaf::CancelaImpressaoCheque() { EnviaComando("04"); }

void TZuvoECFMecaf::MudaHorarioVerao() { MudaHorarioVerao(!HorarioVerao()); }

void TZuvoECFMecaf::MudaHorarioVerao(bool EHorarioVerao) {
  EnviaComando(std::string("27") + (EHorarioVerao ? "+" : "-"), 3);
}

void TZuvoECFMecaf::MudaArredondamento(bool Arredondar) {
  EnviaComando(std::string("50") + (Arredondar ? "1" : "0"));
  fArredondaCache = Arredondar ? 'S' : 'N';
}

}  // namespace zuvo
