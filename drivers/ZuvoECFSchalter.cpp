#include "drivers/ZuvoECFSchalter.h"

#include <cctype>
#include <cmath>
#include <initializer_list>

#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

constexpr char ESC = 27;

// Command bytes written as their values: Bytes({224, 32, 32}).
std::string Bytes(std::initializer_list<int> Valores) {
  std::string r;
  for (int v : Valores) r += static_cast<char>(v);
  return r;
}

int Byte(const std::string& Texto, int Posicao) {
  return static_cast<unsigned char>(CharAt(Texto, Posicao));
}

const std::string kStatus = Bytes({223, 32, 32});
const std::string kContadores = Bytes({224, 32, 32});
const std::string kIdentificacao = Bytes({228, 32, 32});
constexpr int kTamanhoStatus = 8;
constexpr int kTamanhoContadores = 73;
constexpr int kTamanhoIdentificacao = 53;

// The version of the printers that do not know the identification query.
const std::string kVersaoAntiga = "2.04";

const char* const kHoraVeraoTexto =
    "Somente é permitida a alteração da hora para mais ou menos uma hora, uma vez por dia e após a "
    "Redução Z. (Horario de verão) Erro: (";

// The status codes and their messages; a code whose text carries it is
// written after the text by MensagemErro.
struct ErroSchalter {
  int Codigo;
  const char* Mensagem;
  const char* Fim;  // null: the text alone; else text + code + Fim
};
const ErroSchalter kErros[] = {
    {2, "Impressora não responde.", nullptr},
    {65, "Comando não permitido com a Impressora EM VENDA.", nullptr},
    {68, "Cabeçalho de Venda já impresso", nullptr},
    {69, "Cabeçalho de Venda ainda não foi impresso", nullptr},
    {70, "Valor da venda do Item é inválido", nullptr},
    {73, "Valor Total de Pagamentos‚ inferior ao Total da Venda  Erro:(", ")"},
    {118, "Valor Total de Pagamentos‚ inferior ao Total da Venda  Erro:(", ")"},
    {79, "Checksum errado. Comando inválido", nullptr},
    {80, "A palavra \"TOTAL\" não pode ser enviada para a Impressora", nullptr},
    {81, "Papel próximo do fim.", nullptr},
    {86, "Nao houve nenhum pagamento. Impossível fechar o cupom.", nullptr},
    {87, "Cupom já totalizado", nullptr},
    {88, "Não é possível cancelar VENDA, pois ainda não foi iniciada.", nullptr},
    {89, "Comando incompleto", nullptr},
    {90, "Cupom ainda está aberto. Termine a venda primeiro, ou cancele-a.", nullptr},
    {91, "Impossivel cancelar. Ultimo documento não é um Cupom Fiscal.", nullptr},
    {92, "Aliquota nao programada  Erro:(", ")"},
    {94, "Aliquota nao programada  Erro:(", ")"},
    {112, "Aliquota nao programada  Erro:(", ")"},
    {99, "Impressora em Intervenção Técnica", nullptr},
    {100, "Impressora em periodo de Venda. É necessário a impressão de uma REDUÇAO Z", nullptr},
    {101, "Comando permitido somente sob Intervenção Técnica", nullptr},
    {102, "Desconto Inválido, Item já possui desconto", nullptr},
    {103, "Número de linhas comerciais excedido (8)", nullptr},
    {107, "Comando inexistente", nullptr},
    {108, "Não houve fechamento do dia Efetue uma Redução Z", nullptr},
    {110, "Data/Hora Inválida (", ")"},
    {133, "Data/Hora Inválida (", ")"},
    {111, kHoraVeraoTexto, ")"},
    {116, kHoraVeraoTexto, ")"},
    {147, kHoraVeraoTexto, ")"},
    {113, "Fechamento do dia anterior não foi realizado. Efetue uma REDUÇÃO Z para imprimir as "
          "Vendas de HOJE.", nullptr},
    {114, "Dia já foi fechado (REDUÇÃO Z). Impossível vender hoje Impressora bloqueada até amanha",
     nullptr},
    {115, "Dia já foi fechado REDUÇÃO Z já foi efetuada", nullptr},
    {126, "Comando fora da sequencia", nullptr},
    {132, "Houve uma queda de energia", nullptr},
    {136, "Parâmetros de Venda de Produtos errados (", ")"},
    {141, "Parâmetros de Venda de Produtos errados (", ")"},
    {137, "Valor da Venda muito alto", nullptr},
    {138, "Relógio fora de operação (", "). Será necessária uma Intervenção Técnica."},
    {148, "Relógio fora de operação (", "). Será necessária uma Intervenção Técnica."},
    {144, "Cupom Vinculado Pendente. Utilize a rotina CorrigeEstadoErro", nullptr},
    {146, "Não há Cupom Vinculado pendente", nullptr},
    {149, "Nenhuma forma de pagamento foi programada", nullptr},
};

// A line of free text ends at CR on the printer: control bytes inside one
// would cut it (and leave the rest as noise), so they become blanks. Line
// breaks stay, for the wrapping to split at.
std::string TextoLivre(const std::string& Texto) { return TextoImprimivel(Texto, true); }

// Digits after the decimal separator of a value written out.
int DecimaisEscritos(double Valor) {
  const std::string texto = FloatToStr(Valor);
  const int p = Pos(",", texto);
  return p == 0 ? 0 : static_cast<int>(texto.size()) - p;
}

// An amount as the printer writes it ("1.234,56").
double Valor(const std::string& Texto) {
  return TextoParaNumeroDef(StringReplace(Trim(Texto), ".", ""), 0);
}

}  // namespace

// ===========================================================================
// The protocol

std::string TZuvoECFSchalter::PreparaComando(const std::string& Cmd) {
  if (!Cmd.empty() && Cmd[0] == 'n') return ESC + Cmd + CR;
  std::string quadro = std::string(1, ESC) + "f" + Cmd;
  unsigned soma = 0;
  for (unsigned char c : quadro) soma += c;
  return quadro + static_cast<char>((256 - soma % 256) % 256);
}

std::string TZuvoECFSchalter::MensagemErro(int Codigo, const std::string& Modelo) {
  if (Codigo == 0 || Codigo == ESC) return "";
  for (const auto& e : kErros)
    if (e.Codigo == Codigo)
      return e.Fim ? std::string(e.Mensagem) + IntToStr(Codigo) + e.Fim : std::string(e.Mensagem);
  return "Erro na impressora " + Modelo + " (" + IntToStr(Codigo) + ")";
}

bool TZuvoECFSchalter::BlocoValido(const std::string& Bloco) {
  // Framing its characters 3 to length-1 again must give it back: the
  // frame's start and the check byte that brings the sum to 0 mod 256.
  if (Bloco.size() < 3 || Bloco[0] != ESC || Bloco[1] != 'f') return false;
  unsigned soma = 0;
  for (unsigned char c : Bloco) soma += c;
  return soma % 256 == 0;
}

std::string TZuvoECFSchalter::MontaQuadro(const std::string& Cmd) {
  fCodigoErro = 0;
  fPoucoPapelStatus = false;
  return PreparaComando(Cmd);
}

bool TZuvoECFSchalter::VerificaFimLeitura(const std::string& Retorno) {
  // A single code other than ESC where a block was expected is the
  // printer's error: nothing else follows, nothing is printed.
  if (fBytesResp != 1 && Retorno.size() == 1 && Retorno[0] != ESC) {
    SetAguardaImpressao(false);
    return true;
  }
  if (fBytesResp >= 0) return static_cast<int>(Retorno.size()) >= fBytesResp;
  // A variable answer ends when it stops growing. A printer still reading
  // its memory has sent nothing yet: silence before the first byte is left
  // to the time-out, or a report would end empty and pass for success.
  if (Retorno.empty()) return false;
  if (Retorno == fLeituraAnterior) {
    fLeiturasIguais++;
  } else {
    fLeiturasIguais = 0;
    fLeituraAnterior = Retorno;
  }
  return fLeiturasIguais > 3;
}

bool TZuvoECFSchalter::VerificaFimImpressao() {
  // A printer busy printing does not answer the status; the whole block is
  // read, or its tail would be taken for the next command's answer.
  auto completa = [](const std::string& b) {
    return b.size() >= kTamanhoStatus || (b.size() == 1 && b[0] != ESC);
  };
  std::string status;
  if (!ConsultaDuranteImpressao(PreparaComando(kStatus), completa, status)) return false;
  if (BlocoValido(Copy(status, 1, kTamanhoStatus)) && BitLigado(Byte(status, 7), 1))
    fPoucoPapelStatus = true;
  return true;
}

TRespostaECF TZuvoECFSchalter::DecodificaResposta(const std::string& Resposta) {
  TRespostaECF r;
  r.Quebra = std::string(1, LF);
  r.Dados = Resposta.empty() ? std::string(1, '\0') : Resposta;
  r.PoucoPapel = fPoucoPapelStatus;
  const int codigo = Byte(r.Dados, 1);
  if (codigo == ESC) {
    if (!BlocoValido(r.Dados)) {
      r.Erro = "CheckSum do Retorno não é válido.";
      r.Dados = std::string(1, '\1');
    }
    return r;
  }
  fCodigoErro = codigo;
  r.Erro = MensagemErro(codigo, ModeloStr());
  return r;
}

void TZuvoECFSchalter::ReiniciaComando() {
  fBytesResp = 1;
  fLeiturasIguais = 0;
  fLeituraAnterior.clear();
}

// ===========================================================================
// Small shapes that repeat

std::string TZuvoECFSchalter::EnviaImpressao(const std::string& Cmd, int Segundos) {
  SetAguardaImpressao(true);
  return EnviaComando(Cmd, Segundos);
}

std::string TZuvoECFSchalter::Consulta(const std::string& Cmd, int Bytes) {
  fBytesResp = Bytes;
  return EnviaComando(Cmd);
}

std::string TZuvoECFSchalter::Status() { return Consulta(kStatus, kTamanhoStatus); }

double TZuvoECFSchalter::VersaoNumero() { return TextoParaNumeroDef(Trim(NumVersao()), 0); }

// ===========================================================================
// Construction and activation

TZuvoECFSchalter::TZuvoECFSchalter(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config) {
  SetNomeModelo("Schalter");
  Device.SetHandShake(hsRTS_CTS);
}

TZuvoECFSchalter::~TZuvoECFSchalter() = default;

void TZuvoECFSchalter::Ativar() {
  ExigePortaSerial("A impressora: " + ModeloStr(), std::string(1, LF));
  Device().SetHandShake(hsRTS_CTS);
  TZuvoECFClass::Ativar();
  try {
    fNumVersaoCache.clear();
    fNumECFCache.clear();
    fTotalPagoSchalter = 0;
    ReiniciaComando();
    if (NumVersao().empty())
      throw EZuvoECFNaoInicializado("Erro inicializando a impressora " + ModeloStr());
  } catch (...) {
    Desativar();
    throw;
  }
}

bool TZuvoECFSchalter::Suporta(TZuvoECFRecurso Recurso) {
  return Recurso == recTamanhoResposta;
}

void TZuvoECFSchalter::DefineTamanhoResposta(int Bytes) { fBytesResp = Bytes; }

// ===========================================================================
// Identification and state

TDateTime TZuvoECFSchalter::DataHora() {
  const std::string r = Consulta(kContadores, kTamanhoContadores);
  const std::string data = CampoResposta(r, 23, 8, "DataHora");  // dd/mm/yy
  const std::string hora = CampoResposta(r, 17, 6, "DataHora");  // hhnnss
  return DataHoraResposta(Copy(data, 1, 2) + Copy(data, 4, 2) + Copy(data, 7, 2) + hora, "ddmmyyhhnnss");
}

std::string TZuvoECFSchalter::NumCupom() {
  const std::string r = Consulta(kContadores, kTamanhoContadores);
  int64_t coo = StrToIntDef(CampoResposta(r, 9, 6, "NumCupom"), -1);
  if (coo < 0) RespostaInvalida("NumCupom");
  // '2': no document open, the counter already shows the next one.
  if (CharAt(r, 8) == '2') coo--;
  return InteiroZeros(coo, 6);
}

std::string TZuvoECFSchalter::NumECF() {
  if (fNumECFCache.empty())
    fNumECFCache = CampoResposta(Consulta(kContadores, kTamanhoContadores), 4, 4, "NumECF");
  return fNumECFCache;
}

std::string TZuvoECFSchalter::NumSerie() {
  return Trim(CampoResposta(Consulta(kIdentificacao, kTamanhoIdentificacao), 36, 10, "NumSerie"));
}

std::string TZuvoECFSchalter::NumVersao() {
  if (!fNumVersaoCache.empty()) return fNumVersaoCache;
  std::string versao;
  try {
    const std::string r = Consulta(kIdentificacao, kTamanhoIdentificacao);
    if (Copy(r, 1, 3) == std::string{ESC, 'f'} + kIdentificacao[0])
      versao = Trim(CampoResposta(r, 31, 4, "NumVersao"));
  } catch (const EZuvoECFSemResposta&) {
    // Only a printer that answered with a code is an older one that does
    // not know the query; silence or a garbled answer is no printer.
    if (fCodigoErro == 0) throw;
    versao = kVersaoAntiga;
  }
  for (char& c : versao)
    if (c == '.') c = ',';
  fNumVersaoCache = versao;
  return fNumVersaoCache;
}

double TZuvoECFSchalter::SubTotal() {
  return ValorResposta(CampoResposta(Consulta(kContadores, kTamanhoContadores), 31, 21, "SubTotal"),
                       "SubTotal");
}

double TZuvoECFSchalter::TotalPago() { return fTotalPagoSchalter; }

TZuvoECFEstado TZuvoECFSchalter::Estado() {
  if (!Ativo()) {
    SetEstadoCampo(estNaoInicializada);
    return estNaoInicializada;
  }
  TZuvoECFEstado estado;
  switch (CampoResposta(Status(), 6, 1, "Estado")[0]) {
    case 'A': case 'Z': estado = estVenda; break;
    case 'c': estado = estDesconhecido; break;
    case 'q': estado = estRequerZ; break;
    case 's': estado = estBloqueada; break;
    case 'z': estado = estRelatorio; break;
    case '{': case '|': estado = estPagamento; break;
    default: estado = estLivre; break;
  }
  SetEstadoCampo(estado);
  return estado;
}

bool TZuvoECFSchalter::GavetaAberta() {
  return BitLigado(Byte(CampoResposta(Status(), 7, 1, "GavetaAberta"), 1), 3);
}

bool TZuvoECFSchalter::PoucoPapel() {
  return BitLigado(Byte(CampoResposta(Status(), 7, 1, "PoucoPapel"), 1), 1);
}

bool TZuvoECFSchalter::HorarioVerao() { return false; }
bool TZuvoECFSchalter::Arredonda() { return true; }

// ===========================================================================
// Tables

void TZuvoECFSchalter::CarregaAliquotas() {
  TZuvoECFClass::CarregaAliquotas();
  for (int i = 0; i <= 15; i++) {
    const std::string r = Consulta(Bytes({225}) + InteiroZeros(i, 2), 42);
    const double valor = TextoParaNumeroDef(CampoResposta(r, 5, 5, "Aliquota"), 0);
    if (valor <= 0) continue;
    TZuvoECFAliquota& a = fAliquotas->Add();
    a.Indice = InteiroZeros(i, 2);
    a.Aliquota = valor;
    a.Tipo = CharAt(r, 4) == 'S' ? 'S' : 'T';
  }
}

void TZuvoECFSchalter::ProgramaAliquota(double Aliquota, char Tipo, const std::string& Posicao) {
  const char tipo = std::toupper(static_cast<unsigned char>(Tipo)) == 'S' ? 'S' : 'T';
  CarregaAliquotas();
  int n = static_cast<int>(StrToIntDef(Trim(Posicao), -1));
  if (n < 0 || n > 15) {
    n = 0;
    while (n <= 16 && AchaICMSIndice(InteiroZeros(n, 2))) n++;
  }
  if (n > 15) throw Exception("Não há espaço para programar novas Aliquotas");
  EnviaComando("\"" + InteiroZeros(n, 2) + tipo + CampoNumerico(Aliquota, 2, 4, "Aliquota"));
  TZuvoECFAliquota& a = Aliquotas().Add();
  a.Indice = InteiroZeros(n, 2);
  a.Aliquota = RoundTo(Aliquota, -2);
  a.Tipo = tipo;
}

void TZuvoECFSchalter::CarregaFormasPagamento() {
  TZuvoECFClass::CarregaFormasPagamento();
  for (int i = 0; i <= 19; i++) {
    const std::string r = Consulta(Bytes({226}) + InteiroZeros(i, 2), 48);
    const std::string descricao = Trim(CampoResposta(r, 6, 20, "FormaPagamento"));
    if (CharAt(r, 4) != 'S' || descricao.empty()) continue;
    TZuvoECFFormaPagamento& f = fFormasPagamento->Add();
    f.Indice = InteiroZeros(i, 2);
    f.Descricao = descricao;
    f.PermiteVinculado = CharAt(r, 5) == 'S';
  }
}

void TZuvoECFSchalter::ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado,
                                              const std::string& Posicao) {
  const std::string descricao = CompletaDireita(Descricao, 20);
  CarregaFormasPagamento();
  int n = static_cast<int>(StrToIntDef(Trim(Posicao), -1));
  if (n < 0 || n > 19) {
    n = 0;
    while (n <= 20 && AchaFPGIndice(InteiroZeros(n, 2))) n++;
  }
  if (n > 19) throw Exception("Não há espaço para programar novas Formas de Pagamento");
  EnviaComando("$" + InteiroZeros(n, 2) + descricao);
  TZuvoECFFormaPagamento& f = FormasPagamento().Add();
  f.Indice = InteiroZeros(n, 2);
  f.Descricao = Trim(descricao);
  f.PermiteVinculado = PermiteVinculado;
  Descricao = f.Descricao;
  if (PermiteVinculado) {
    std::string vinculado = Descricao;
    ProgramaComprovanteNaoFiscal(vinculado, "V" + InteiroZeros(n, 2));
  }
}

void TZuvoECFSchalter::CarregaComprovantesNaoFiscais() {
  TZuvoECFClass::CarregaComprovantesNaoFiscais();
  for (int i = 0; i <= 19; i++) {
    const std::string r = Consulta(Bytes({227}) + InteiroZeros(i, 2), 124);
    const std::string descricao = Trim(CampoResposta(r, 5, 20, "ComprovanteNaoFiscal"));
    if (CharAt(r, 4) != 'S' || descricao.empty()) continue;
    TZuvoECFComprovanteNaoFiscal& c = fComprovantesNaoFiscais->Add();
    c.Indice = InteiroZeros(i, 2);
    c.Descricao = descricao;
    c.PermiteVinculado = CharAt(r, 30) == 'S';
    c.FormaPagamento = CampoResposta(r, 31, 2, "ComprovanteNaoFiscal");
  }
}

void TZuvoECFSchalter::ProgramaComprovanteNaoFiscal(std::string& Descricao,
                                                    const std::string& Tipo,
                                                    const std::string& Posicao) {
  std::string tipo = UpperCase(Tipo);
  const std::string descricao = CompletaDireita(Descricao, 20);
  int64_t a = 0;  // the payment method a linked type is tied to
  if (tipo.empty()) {
    tipo = "DAC";
  } else {
    a = StrToIntDef(tipo, -1);
    const int v = Pos("V", tipo);
    if (a < 0 && v > 0) a = StrToIntDef(Copy(tipo, v + 1, 2), -1);
    if (a < 0)
      throw Exception("A impressora " + ModeloStr() + " necessita como " +
                      "parâmetro o Indice de uma Forma de Pagamento para permitir " + "o Vinculado." +
                      CRLF + CRLF + "Experimente passar para o parametro Tipo " +
                      "o valor \"V99\" onde 99 é o indice da Forma de Pagamento a " +
                      "ser usada para o Vinculo.");
  }
  const std::string forma = CampoInteiro(a, 2, "Tipo");
  if (a > 0) {
    tipo = "V";
    if (a != 99) {
      TZuvoECFFormaPagamento* f = AchaFPGIndice(forma);
      if (!f) throw Exception("Forma de Pagamento: " + forma + " não encontrada.");
      const std::string pergunta =
          "Atenção. Você irá criar um vinculo entre:" + CRLF + "Forma de Pagamento: " + f->Descricao +
          " e o " + CRLF + "Comprovante não Fiscal: " + descricao + CRLF + CRLF +
          "Dessa maneira, toda vez que a Forma de Pagamento for " +
          "utilizada, será OBRIGATÓRIA a emissao de um Comprovante " +
          "Não Fiscal Vinculado. (Consulte o manual da " + ModeloStr() + ")" + CRLF + CRLF +
          "Continua com a operação ?";
      if (Toolkit().messageBox(pergunta, TipoMensagem::Confirmacao, BotoesMensagem::SimNaoCancela) !=
          RespostaMensagem::Sim)
        throw Exception("Programaçao de Comprovante não Fiscal cancelada");
    }
  }
  std::string flags;
  for (char letra : std::string("DACPV")) flags += tipo.find(letra) != std::string::npos ? 'S' : 'N';

  CarregaComprovantesNaoFiscais();
  int n = static_cast<int>(StrToIntDef(Trim(Posicao), -1));
  if (n < 0 || n > 19) {
    n = 0;
    while (n <= 20 && AchaCNFIndice(InteiroZeros(n, 2))) n++;
  }
  if (n > 19) throw Exception("Não há espaço para programar novos Comprovantes não Fiscais");
  EnviaComando("#" + InteiroZeros(n, 2) + descricao + StringOfChar(' ', 20) + flags + forma);
  TZuvoECFComprovanteNaoFiscal& c = ComprovantesNaoFiscais().Add();
  c.Indice = InteiroZeros(n, 2);
  c.Descricao = Trim(descricao);
  c.PermiteVinculado = flags[4] == 'S';
  c.FormaPagamento = forma;
  Descricao = c.Descricao;
}

// ===========================================================================
// Receipt

void TZuvoECFSchalter::AbreCupom(const std::string& CPF_CNPJ) {
  ReiniciaMsgPoucoPapel();  // a new receipt warns about the paper again
  ComprovantesNaoFiscais();
  EnviaImpressao(Bytes({1, 146}), 10);
  fTotalPagoSchalter = 0;
  const std::string consumidor = Trim(CPF_CNPJ);
  if (VersaoNumero() > 3) {
    // A CNPJ in the first field, a CPF in the second.
    if (consumidor.size() > 11)
      EnviaComando(Bytes({5, 32, 32}) + CompletaDireita(consumidor, 18) + StringOfChar(' ', 11), 5);
    else if (!consumidor.empty())
      EnviaComando(Bytes({5, 32, 32}) + StringOfChar(' ', 18) + CompletaDireita(consumidor, 11), 5);
  } else {
    // Older printers print no item header of their own.
    EnviaComando("n" + CompletaDireita("Item  Codigo      Descricao", Colunas()));
    EnviaComando("n" + CompletaDireita("                    Qtd            Preco", Colunas()));
  }
}

std::string TZuvoECFSchalter::CodigoAliquota(const std::string& AliquotaICMS) {
  const bool antiga = VersaoNumero() < 3;
  switch (CharAt(AliquotaICMS, 1)) {
    case 'F': return antiga ? "12" : "16";  // substituição tributária
    case 'I': return antiga ? "13" : "17";  // isento
    case 'N': return antiga ? "14" : "18";  // não incidência
    case 'T': {
      const int64_t slot = StrToIntDef(Copy(AliquotaICMS, 2, 2), -1);
      if (slot < 0) throw EZuvoECFCMDInvalido("Aliquota inválida: " + AliquotaICMS);
      return CampoInteiro(slot, 2, "AliquotaICMS");
    }
    default: break;
  }
  return AchaAliquotaVenda(AliquotaICMS).Indice;
}

void TZuvoECFSchalter::VendeItem(const std::string& Codigo, const std::string& Descricao,
                                 const std::string& AliquotaICMS, double Qtd,
                                 double ValorUnitario, double DescontoPorc,
                                 const std::string& Unidade) {
  if (Qtd > 99999) throw EZuvoECFCMDInvalido("Quantidade deve ser inferior a 99999.");
  const std::string aliquota = CodigoAliquota(AliquotaICMS);
  if (ArredondaPorQtd() && DecimaisEscritos(ValorUnitario) > 2) ArredondarPorQtd(Qtd, -2, ValorUnitario);
  // Above version 3 a price with a third decimal goes with three.
  const int decimais = VersaoNumero() > 3 && DecimaisEscritos(ValorUnitario) > 2 ? 3 : 2;
  EnviaComando(Bytes({208}) + StringOfChar(' ', 4) + CompletaDireita(TextoLivre(Codigo), 13) + " " +
               CompletaDireita(TextoLivre(Descricao), 62) + CampoDecimalTexto(Qtd, 7, "Qtd") + "x" +
               CompletaDireita(TextoLivre(Unidade), 2) + StringOfChar(' ', 9) +
               static_cast<char>('0' + decimais) +
               CampoNumerico(ValorUnitario, decimais, 9, "ValorUnitario") + aliquota);
  fTotalPagoSchalter = 0;
  if (DescontoPorc > 0)  // the item's discount in cents
    EnviaComando(Bytes({211, 3, 32, 0}) + StringOfChar(' ', 65) +
                 CampoNumerico(ValorUnitario * Qtd * DescontoPorc, 0, 9, "DescontoPorc"));
}

void TZuvoECFSchalter::SubtotalizaCupom(double DescontoAcrescimo, const std::string&) {
  SetAguardaImpressao(true);
  EnviaComando(Bytes({209, 32}));
  if (DescontoAcrescimo != 0) {
    const bool desconto = DescontoAcrescimo < 0;
    EnviaComando(Bytes({217, desconto ? 0 : 1, 0}) +
                 CompletaDireita(desconto ? "Desconto:" : "Acrescimo:", 25) +
                 CampoNumerico(std::fabs(DescontoAcrescimo), 2, 10, "DescontoAcrescimo"));
  }
  fTotalPagoSchalter = 0;
}

void TZuvoECFSchalter::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                       const std::string& Observacao, bool ImprimeVinculado) {
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  const std::string obs = Copy(TextoLivre(Observacao), 1, 48);
  SetAguardaImpressao(true);
  EnviaComando(Bytes({213, 0, obs.empty() ? 0 : 1, 0}) + StringOfChar(' ', 10) + CodFormaPagto +
               CampoNumerico(Valor, 2, 10, "Valor"));
  if (!obs.empty()) EnviaComando("n" + CompletaDireita(StringReplace(obs, std::string(1, LF), " "), Colunas()));
  fTotalPagoSchalter += RoundTo(Valor, -2);
}

void TZuvoECFSchalter::FechaCupom(const std::string& Observacao) {
  const std::string obs = AjustaLinhas(TextoLivre(Observacao), 8);
  if (!obs.empty()) ImprimeLinhaALinha(obs, "n");
  EnviaImpressao(Bytes({6, 32, 32}) + CompletaDireita(Operador(), 8), 10);
  fTotalPagoSchalter = 0;
  PulaLinhas(0);
}

void TZuvoECFSchalter::CancelaCupom() {
  const std::string operador = CompletaDireita(Operador(), 8);
  const TZuvoECFEstado estado = Estado();
  if (estado == estVenda) {
    EnviaImpressao(Bytes({7, 32, 32}) + operador + StringOfChar(' ', 4), 15);
  } else {
    if (estado == estPagamento) {
      // The receipt is paid and closed first, then cancelled as the last one.
      const double subtotal = SubTotal();
      if (subtotal > 0 && subtotal > TotalPago()) {
        try {
          EfetuaPagamento("00", subtotal - TotalPago(), "CUPOM SERA CANCELADO");
        } catch (const Exception&) {
          // Paid already: the close below goes on.
        }
      }
      EnviaImpressao(Bytes({6, 32, 32}) + operador, 15);
    }
    EnviaImpressao(Bytes({199, 32, 32}) + operador, 15);
  }
  fTotalPagoSchalter = 0;
  PulaLinhas(0);
  FechaRelatorio();
}

void TZuvoECFSchalter::CancelaItemVendido(int NumItem) {
  EnviaComando(Bytes({212}) + CampoInteiro(NumItem, 4, "NumItem") + StringOfChar(' ', 30));
}

void TZuvoECFSchalter::AbreGaveta() {
  EnviaImpressao(Bytes({250, 32, 32}), 0);
  Descansa(100);  // the drawer's pulse: the printer takes no command during it
}

// ===========================================================================
// Reports

void TZuvoECFSchalter::LeituraX() {
  EnviaImpressao(Bytes({20}) + CompletaDireita(Operador(), 8), 35);
  PulaLinhas(0);
}

void TZuvoECFSchalter::ReducaoZ(TDateTime) {
  EnviaImpressao(Bytes({19}) + CompletaDireita(Operador(), 8), 35);
  PulaLinhas(0);
  CancelaVinculosPendentes();
}

void TZuvoECFSchalter::AbreRelatorioGerencial() {
  EnviaImpressao(Bytes({16}) + CompletaDireita(Operador(), 8), 35);
}

void TZuvoECFSchalter::LinhaRelatorioGerencial(const std::string& Linha) {
  ImprimeLinhaALinha(TextoLivre(Linha), "n");
}

void TZuvoECFSchalter::AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                                          const std::string& CodComprovanteNaoFiscal, double Valor) {
  TZuvoECFFormaPagamento* forma = AchaFPGIndice(CodFormaPagto);
  if (!forma) throw Exception("Forma de Pagamento: " + CodFormaPagto + " não foi cadastrada.");
  TZuvoECFComprovanteNaoFiscal* tipo = nullptr;
  if (!Trim(CodComprovanteNaoFiscal).empty()) {
    tipo = AchaCNFIndice(CodComprovanteNaoFiscal);
    if (!tipo)
      throw Exception("Comprovante NÃO Fiscal: " + CodComprovanteNaoFiscal + " não cadastrado.");
  } else {
    tipo = AchaCNFFormaPagamento(forma->Indice);
    if (!tipo)
      throw Exception("Não existe nenhum Comprovante NÃO Fiscal  associado a Forma de Pagamento: " +
                      forma->Indice);
  }
  if (!tipo->PermiteVinculado)
    throw Exception("O Comprovante não Fiscal: " + tipo->Descricao +
                    " não permite Cupom NÃO Fiscal Vinculado");
  const int64_t coo = StrToIntDef(Trim(COO), -1);
  if (coo < 0) throw EZuvoECFCMDInvalido("Valor de COO (" + COO + ") inválido");
  const std::string campos = CampoInteiro(coo, 6, "COO") + tipo->Indice + CampoNumerico(Valor, 2, 9, "Valor");
  EnviaImpressao(Bytes({1, 146}), 10);
  EnviaImpressao(Bytes({222}) + campos, 10);
}

void TZuvoECFSchalter::LinhaCupomVinculado(const std::string& Linha) {
  ImprimeLinhaALinha(TextoLivre(Linha), "n");
}

void TZuvoECFSchalter::FechaRelatorio() {
  SetAguardaImpressao(true);
  const char estado = CampoResposta(Consulta(kStatus, kTamanhoStatus), 6, 1, "Estado")[0];
  if (estado == 'Z' || estado == 'z' || estado == '|') {
    EnviaImpressao(Bytes({6, 32, 32}) + CompletaDireita(Operador(), 8), 10);
    PulaLinhas(0);
  }
}

void TZuvoECFSchalter::PulaLinhas(int NumLinhas) {
  if (NumLinhas == 0) NumLinhas = LinhasEntreCupons();
  EnviaComando(Bytes({236}) + "1" + CampoInteiro(NumLinhas, 2, "NumLinhas"));
}

// The printer takes a new time of day, never a flag: both forms send the
// computer's clock.
void TZuvoECFSchalter::MudaHorarioVerao() {
  const TDateTime agora = Agora();
  const std::string hora = FormatDateTime("hh:nn:ss", agora);
  EnviaComando(Bytes({22}) + Copy(hora, 7, 2) + Copy(hora, 4, 2) + Copy(hora, 1, 2) + " " +
               FormatDateTime("ddmmyy", agora));
}

void TZuvoECFSchalter::MudaHorarioVerao(bool) { MudaHorarioVerao(); }

void TZuvoECFSchalter::FechaRelatorioRecarrega() {
  TZuvoECFClass::FechaRelatorioRecarrega();
  CarregaFormasPagamento();
  CarregaComprovantesNaoFiscais();
}

void TZuvoECFSchalter::CancelaVinculosPendentes() {
  if (VersaoNumero() <= 3) return;
  for (int i = 0; i <= 29; i++) {
    const std::string r = Consulta(Bytes({231}) + InteiroZeros(i, 2), 67);
    if (CharAt(r, 4) != 'S') continue;
    const std::string coo = CampoResposta(r, 50, 6, "COO");
    const std::string forma = CampoResposta(r, 5, 2, "FormaPagamento");
    double valor = Valor(CampoResposta(r, 8, 20, "Valor"));
    if (valor == 0) valor = Valor(CampoResposta(r, 29, 20, "Valor"));
    CupomVinculado(coo, forma, "", valor, {"** CANCELANDO VINCULO PENDENTE **"}, 1);
    CancelaCupom();
  }
}

void TZuvoECFSchalter::CorrigeEstadoErro() {
  try {
    CancelaVinculosPendentes();
  } catch (const Exception&) {
    // What is still owed shows in the state the base then mends.
  }
  TZuvoECFClass::CorrigeEstadoErro();
}

// ===========================================================================
// Fiscal memory

void TZuvoECFSchalter::LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
  const int dias = static_cast<int>(std::fabs(DateOf(DataFinal) - DateOf(DataInicial)));
  EnviaImpressao(Bytes({21, 1}) + StringOfChar('0', 8) + FormatDateTime("ddmmyy", DataInicial) +
                     FormatDateTime("ddmmyy", DataFinal),
                 dias + 10);
}

void TZuvoECFSchalter::LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
  EnviaImpressao(Bytes({21, 2}) + StringOfChar('0', 12) + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                     CampoInteiro(ReducaoFinal, 4, "ReducaoFinal"),
                 ReducaoFinal - ReducaoInicial + 10);
}

void TZuvoECFSchalter::LeituraSerial(char Tipo, const std::string& Parametros, int Span,
                                     TStrings& Linhas) {
  Linhas.clear();
  fBytesResp = -1;
  const std::string r = EnviaComando(Bytes({21, Tipo}) + Parametros, TimeOut() + std::abs(Span) / 5);
  // The report comes framed as a block: its text is what the frame holds.
  if (r.size() < 3 || r[0] != ESC)
    RespostaInvalida("LeituraMemoriaFiscalSerial");
  Linhas = SplitLines(r.substr(2, r.size() - 3));
}

void TZuvoECFSchalter::LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                                  TStrings& Linhas) {
  const int dias = static_cast<int>(std::fabs(DateOf(DataFinal) - DateOf(DataInicial)));
  LeituraSerial(3, StringOfChar('0', 8) + FormatDateTime("ddmmyy", DataInicial) + FormatDateTime("ddmmyy", DataFinal),
                dias, Linhas);
}

void TZuvoECFSchalter::LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                                  TStrings& Linhas) {
  LeituraSerial(4, StringOfChar('0', 12) + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                       CampoInteiro(ReducaoFinal, 4, "ReducaoFinal"),
                ReducaoFinal - ReducaoInicial, Linhas);
}

}  // namespace zuvo
