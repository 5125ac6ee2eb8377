#include "drivers/ZuvoECFICash.h"

#include <algorithm>
#include <cmath>

#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

constexpr char STX = 2;
constexpr char ETX = 3;
constexpr char ACK = 6;
constexpr char NACK = 0x0F;

// The status register: state, paper, daylight saving time, drawer.
const std::string kStatus = "67082";

struct Mensagem {
  char Codigo;
  const char* Texto;
};

const Mensagem kEstados[] = {
    {'1', "Cupom Fiscal Aberto (Cabeçalho Impresso)"},
    {'2', "Cupom Fiscal em Posição de Efetuar Venda"},
    {'3', "Cupom Fiscal Totalizando Venda"},
    {'4', "Cupom Fiscal Finalizando a Totalização (Formas de Pagamento)"},
    {'5', "Cupom Fiscal com Totalização Finalizada"},
    {'6', "Cupom Não Fiscal Aberto"},
    {'7', "Cupom Não Fiscal em Posição de Efetuar Venda"},
    {'8', "Cupom Não Fiscal Totalizando Venda"},
    {'9', "Cupom Não Fiscal Finalizando a Totalização"},
    {'A', "Cupom Não Fiscal com Totalização Finalizada"},
    {'B', "Emitindo Relatório Gerencial"},
    {'C', "Em Intervenção Técnica"},
    {'D', "Dia já Encerrado"},
    {'E', "Obrigatório Fechar Dia"},
    {'F', "Comprovante de Crédito/Débito Aberto"},
    {'G', "Comprovante de Estorno Crédito/Débito Aberto"},
    {'H', "Fora de Período de Vendas"},
};

const Mensagem kErros[] = {
    {'#', "Tamanho do Comando Inválido"},
    {'$', "Comando Inválido"},
    {'%', "O Comando deve ser executado após zerar toda a memória"},
    {'&', "Não é após Redução Z"},
    {'\'', "Erro de Cupom Aberto"},
    {'(', "Dados Numéricos Inválidos"},
    {')', "Data e Hora Inválida"},
    {'*', "Comando já executado ou proibido"},
    {'+', "Erro de Texto Inválido"},
    {',', "Erro de Sequencia de Operação"},
    {'-', "Erro de Parametro Inválido"},
    {'/', "Necessário Programação Prévia"},
    {'@', "Jumper de Intervenção na Posição Errada"},
    {'C', "Redução Z do Dia já Realizada"},
    {'D', "Efetuar Redução Z"},
    {'O', "Erro não Definido!"},
};

template <size_t N>
std::string Traduz(const Mensagem (&Tabela)[N], char Codigo) {
  for (const Mensagem& m : Tabela)
    if (m.Codigo == Codigo) return m.Texto;
  return "Erro retornado pelo ECF: " + IntToStr(static_cast<unsigned char>(Codigo));
}

bool Comeca(const std::string& Texto, const char* Prefixo) { return Texto.starts_with(Prefixo); }

// A text inside a command: STX or ETX in it would cut the frame on the
// printer, so control bytes become blanks (line breaks too, unless kept for
// the line-by-line printing that splits on them).
std::string SemControles(const std::string& Texto, bool MantemQuebras = false) {
  std::string r = Texto;
  for (char& c : r)
    if (static_cast<unsigned char>(c) < 32 && !(MantemQuebras && (c == LF || c == CR))) c = ' ';
  return r;
}

}  // namespace

// ===========================================================================
// The protocol

std::string TZuvoECFICash::PreparaComando(const std::string& Cmd) {
  if (Cmd.empty()) return "";
  std::string quadro = STX + Cmd + ETX;
  unsigned soma = 0;
  for (char c : quadro) soma += static_cast<unsigned char>(c);
  quadro += static_cast<char>((soma >> 8) & 0xFF);
  quadro += static_cast<char>(soma & 0xFF);
  return quadro;
}

bool TZuvoECFICash::ComandoLeitura(const std::string& Cmd) {
  // The non-fiscal types ("34M..") come in a block too: without it in this
  // list their answer would end at the error character, block unread.
  return Comeca(Cmd, "21") || Comeca(Cmd, "26") || Comeca(Cmd, "67") || Comeca(Cmd, "2E") ||
         Comeca(Cmd, "34");
}

TZuvoECFICash::TFimResposta TZuvoECFICash::FimResposta(const std::string& Cmd,
                                                      const std::string& Retorno) {
  if (Retorno.size() == 1 && Retorno[0] == NACK) return frNACK;
  // ACK alone, or ACK and the state, is not an answer yet: the error
  // character decides whether the command was carried out.
  if (Retorno.size() < 3 || Retorno[0] != ACK) return frIncompleta;
  // A refused read sends no block.
  if (!ComandoLeitura(Cmd) || Retorno[2] != ' ') return frCompleta;
  if (Retorno.size() < 4) return frIncompleta;
  if (Retorno[3] != STX) return frSemBloco;
  const size_t etx = Retorno.find(ETX, 4);
  if (etx == std::string::npos || Retorno.size() < etx + 3) return frIncompleta;
  return frCompleta;
}

std::string TZuvoECFICash::MensagemEstado(char Estado) {
  if (Estado == '0' || Estado == '\0') return "";
  return Traduz(kEstados, Estado);
}

std::string TZuvoECFICash::MensagemErro(char Erro) {
  if (Erro == ' ' || Erro == '\0') return "";
  return Traduz(kErros, Erro);
}

bool TZuvoECFICash::EstadoNormal(const std::string& Cmd, char Estado) {
  // Reads leave the state as it was.
  if (Comeca(Cmd, "67") || Comeca(Cmd, "2E") || Comeca(Cmd, "34")) return true;
  if (Comeca(Cmd, "200")) return Estado == '1' || Estado == '2';
  const std::string codigo = Copy(Cmd, 1, 2);
  // A partial payment, and a text block after it, leave the receipt taking
  // payments ('4'); the whole of it, paid ('5').
  if (codigo == "22" || codigo == "23") return Estado == '4' || Estado == '5';
  // After a sale, an item's discount or an item's cancellation the receipt
  // sells on.
  if (codigo == "21" || codigo == "26" || codigo == "25") return Estado == '2';
  if (codigo == "27") return Estado == '3';
  if (codigo == "72") return Estado == 'D';
  // The managerial report ('B') and the linked receipt ('F') stay open
  // while their lines print.
  if (codigo == "56") return Estado == 'B';
  if (codigo == "57") return Estado == 'B' || Estado == 'F';
  if (codigo == "20") return Estado == 'F';
  return false;
}

TZuvoECFEstado TZuvoECFICash::EstadoDe(char Estado) {
  switch (Estado) {
    case '0': return estLivre;
    // Header printed, or selling: a receipt open for items either way.
    case '1': case '2': return estVenda;
    case '3': case '4': case '5': return estPagamento;
    // A linked receipt (or its reversal) is closed as a report is.
    case 'B': case 'F': case 'G': return estRelatorio;
    case 'D': case 'H': return estBloqueada;
    case 'E': return estRequerZ;
    default: return estDesconhecido;
  }
}

std::string TZuvoECFICash::BlocoTexto(const std::string& Texto) {
  // Four lines of 48, each after its "0"; a line break starts a new line.
  const std::string t = StringReplace(Texto, CRLF, std::string(1, LF));
  std::string bloco = "23";
  size_t i = 0;
  for (int linha = 0; linha < 4; linha++) {
    size_t fim = i < t.size() ? t.find(LF, i) : i;
    if (fim == std::string::npos) fim = t.size();
    const size_t tamanho = std::min<size_t>(fim - i, 48);
    bloco += "0" + CompletaDireita(SemControles(t.substr(i, tamanho)), 48);
    i += tamanho;
    if (i < t.size() && t[i] == LF) i++;
  }
  return bloco;
}

// ===========================================================================
// The command cycle

TZuvoECFICash::TZuvoECFICash(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config) {
  SetNomeModelo("ICash");
  Device.SetHandShake(hsRTS_CTS);
}

TZuvoECFICash::~TZuvoECFICash() = default;

std::string TZuvoECFICash::MontaQuadro(const std::string& Cmd) {
  fComando = Cmd;
  return PreparaComando(Cmd);
}

bool TZuvoECFICash::VerificaFimLeitura(const std::string& Retorno) {
  switch (FimResposta(fComando, Retorno)) {
    case frNACK: throw Exception("Impressora " + ModeloStr() + " retornou NACK");
    case frIncompleta:
      // An item's number comes once it is printed: the cycle's reads wait
      // for it on the port, so it is taken as soon as it arrives.
      return false;
    default: return true;
  }
}

TRespostaECF TZuvoECFICash::DecodificaResposta(const std::string& Resposta) {
  if (FimResposta(fComando, Resposta) == frSemBloco) RespostaInvalida("STX");
  TRespostaECF r;
  r.Quebra = std::string(1, LF);
  r.Dados = Copy(Resposta, 2, static_cast<int>(Resposta.size()) - 2);
  // A read never fails on the state or error characters: its value tells.
  if (Comeca(fComando, "67")) return r;
  const char estado = CharAt(Resposta, 2), erro = CharAt(Resposta, 3);
  const std::string msgEstado =
      erro == ' ' && EstadoNormal(fComando, estado) ? "" : MensagemEstado(estado);
  const std::string msgErro = MensagemErro(erro);
  r.Erro = msgEstado;
  if (!msgEstado.empty() && !msgErro.empty()) r.Erro += std::string(2, LF);
  r.Erro += msgErro;
  return r;
}

void TZuvoECFICash::ReiniciaComando() { fComando.clear(); }

std::string TZuvoECFICash::Trecho(const std::string& Resultado, int Desloc, int Count) {
  const int stx = Pos(std::string(1, STX), Resultado);
  return stx == 0 ? "" : Copy(Resultado, stx + Desloc, Count);
}

std::string TZuvoECFICash::Valor(const std::string& Resultado, int Desloc, int Count,
                                 const std::string& Campo) {
  const int stx = Pos(std::string(1, STX), Resultado);
  if (stx == 0) RespostaInvalida(Campo);
  return CampoResposta(Resultado, stx + Desloc, Count, Campo);
}

int64_t TZuvoECFICash::ValorNumerico(const std::string& Resultado, int Desloc, int Count,
                                     const std::string& Campo) {
  const std::string texto = Valor(Resultado, Desloc, Count, Campo);
  if (texto.empty() || SoDigitos(texto) != texto) RespostaInvalida(Campo);
  return StrToInt(texto);
}

std::string TZuvoECFICash::Status() { return Valor(EnviaComando(kStatus), 3, 10, "Status"); }

// ===========================================================================
// Activation and identification

void TZuvoECFICash::Ativar() {
  ExigePortaSerial("A impressora: " + ModeloStr(), std::string(1, LF));
  Device().SetHandShake(hsRTS_CTS);
  TZuvoECFClass::Ativar();
  fNumVersaoCache.clear();
  fNumECFCache.clear();
  fNumCROCache.clear();
  fVinculadoPendente = false;
  try {
    if (NumVersao().empty())
      throw EZuvoECFNaoInicializado("Erro inicializando a impressora " + ModeloStr());
    NumECF();
    NumCRO();
    fArredondaCache = ' ';
  } catch (...) {
    Desativar();
    throw;
  }
}

std::string TZuvoECFICash::NumVersao() {
  if (fNumVersaoCache.empty()) fNumVersaoCache = Valor(EnviaComando("67089"), 3, 6, "NumVersao");
  return fNumVersaoCache;
}

std::string TZuvoECFICash::NumECF() {
  if (fNumECFCache.empty()) fNumECFCache = Valor(EnviaComando("67086"), 3, 4, "NumECF");
  return fNumECFCache;
}

std::string TZuvoECFICash::NumCRO() {
  if (fNumCROCache.empty()) fNumCROCache = Valor(EnviaComando("67000"), 3, 4, "NumCRO");
  return fNumCROCache;
}

TDateTime TZuvoECFICash::DataHora() {
  const std::string texto = Valor(EnviaComando("67081"), 3, 14, "DataHora");
  return DataHoraResposta(texto, "ddmmyyyyhhnnss");
}

std::string TZuvoECFICash::NumCupom() { return Valor(EnviaComando("67002"), 9, 6, "NumCupom"); }

std::string TZuvoECFICash::NumSerie() { return Valor(EnviaComando("67091"), 3, 12, "NumSerie"); }

double TZuvoECFICash::SubTotal() {
  return ValorNumerico(EnviaComando("2E"), 3, 14, "SubTotal") / 100.0;
}

double TZuvoECFICash::TotalPago() {
  return ValorNumerico(EnviaComando("2E", 4), 31, 14, "TotalPago") / 100.0;
}

// The first character of the status register is the document state (its
// values are the state characters); the drawer sensor is the fourth.
TZuvoECFEstado TZuvoECFICash::Estado() {
  if (!Ativo()) return estNaoInicializada;
  return EstadoDe(CharAt(Status(), 1));
}

bool TZuvoECFICash::GavetaAberta() { return CharAt(Status(), 4) == '1'; }

bool TZuvoECFICash::PoucoPapel() { return CharAt(Status(), 2) == '0'; }

bool TZuvoECFICash::HorarioVerao() { return CharAt(Status(), 3) == '1'; }

bool TZuvoECFICash::Arredonda() {
  if (fArredondaCache == ' ') fArredondaCache = 'S';
  return true;
}

bool TZuvoECFICash::ChequePronto() { return true; }

// ===========================================================================
// Tables

void TZuvoECFICash::CarregaAliquotas() {
  TZuvoECFClass::CarregaAliquotas();
  // Registers 67019-67035 hold the 17 rates as "T18,00%". A read without a
  // rate is asked again, up to five times in the whole load.
  int repeticoes = 0;
  for (int i = 0; i <= 16;) {
    const std::string r = EnviaComando("67" + InteiroZeros(i + 19, 3), 2);
    const int stx = Pos(std::string(1, STX), r);
    const int pct = stx == 0 ? 0 : PosicaoApos("%", r, stx);
    const std::string taxa = pct > 0 ? Copy(r, pct - 5, 5) : "";
    if (pct > 0 && taxa != "**,**") {
      const double valor = TextoParaNumeroDef(taxa, 0);
      if (valor > 0) {
        TZuvoECFAliquota& a = fAliquotas->Add();
        a.Indice = "T" + InteiroZeros(i, 2);
        a.Aliquota = valor;
        a.Tipo = CharAt(r, pct - 6);
      }
      i++;
    } else if (repeticoes < 5) {
      repeticoes++;
    } else {
      i++;
    }
  }
}

void TZuvoECFICash::CarregaFormasPagamento() {
  TZuvoECFClass::CarregaFormasPagamento();
  for (int i = 0; i <= 9; i++) {
    const std::string descricao = Trim(Trecho(EnviaComando("67" + InteiroZeros(i + 65, 3)), 18, 15));
    if (descricao.empty()) continue;
    TZuvoECFFormaPagamento& f = fFormasPagamento->Add();
    f.Indice = InteiroZeros(i, 2);
    f.Descricao = descricao;
  }
}

void TZuvoECFICash::CarregaComprovantesNaoFiscais() {
  TZuvoECFClass::CarregaComprovantesNaoFiscais();
  for (int i = 16; i <= 31; i++) {
    const std::string descricao = Trim(Trecho(EnviaComando("34M" + InteiroZeros(i + 50, 2)), 3, 16));
    if (descricao.empty()) continue;
    TZuvoECFComprovanteNaoFiscal& c = fComprovantesNaoFiscais->Add();
    c.Indice = InteiroZeros(i, 2);
    c.Descricao = descricao;
  }
}

// ===========================================================================
// The receipt

void TZuvoECFICash::AbreCupom(const std::string&) {
  ReiniciaMsgPoucoPapel();
  Aliquotas();
  EnviaComando("200", 8);
  fVinculadoPendente = false;
}

void TZuvoECFICash::VendeItem(const std::string& Codigo, const std::string& Descricao,
                              const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                              double DescontoPorc, const std::string& Unidade) {
  if (Qtd > 9999) throw EZuvoECFCMDInvalido("Quantidade deve ser inferior a 9999.");
  const std::string aliquota = Comeca(AliquotaICMS, "TT") ? Copy(AliquotaICMS, 2, 5) : AliquotaICMS;
  std::string campoAliquota;
  switch (CharAt(aliquota, 1)) {
    case 'F': campoAliquota = "F1 "; break;
    case 'I': campoAliquota = "IS1"; break;
    case 'N': campoAliquota = "N1 "; break;
    case 'T': campoAliquota = "T" + CompletaEsquerda(Copy(aliquota, 2, 2), 2); break;
    default: {
      // A loaded rate's index, or else its value ("18", "18T", "5S"), as
      // every family with a readable rate table sells it.
      const TZuvoECFAliquota* a = AchaICMSIndice(aliquota);
      if (!a) a = &AchaAliquotaVenda(aliquota);
      campoAliquota = "T" + CompletaEsquerda(FormatFloat("0.00", a->Aliquota), 5) + "%";
    }
  }
  if (ArredondaPorQtd() && !Arredonda()) ArredondarPorQtd(Qtd, -2, ValorUnitario);

  const std::string decimais = FormatFloat("0.000", ValorUnitario).ends_with("0") ? "2" : "3";
  const std::string cmd = "21" + CompletaDireita(SemControles(Codigo), 14) +
                          CompletaDireita(SemControles(Trim(Descricao)), 28) +
                          CampoNumerico(Qtd, 3, 7, "Qtd") +
                          CompletaDireita(SemControles(Unidade), 3) +
                          CampoNumerico(ValorUnitario, decimais == "3" ? 3 : 2, 8, "ValorUnitario") +
                          decimais + campoAliquota;
  const std::string item = Valor(EnviaComando(cmd, 7), 3, 3, "NumItem");
  if (DescontoPorc > 0)
    EnviaComando("261" + CampoNumerico(DescontoPorc, 2, 4, "DescontoPorc") + std::string(12, '0') +
                     item,
                 4);
}

void TZuvoECFICash::SubtotalizaCupom(double DescontoAcrescimo, const std::string&) {
  if (DescontoAcrescimo == 0) return;
  EnviaComando("27" + std::string(DescontoAcrescimo > 0 ? "4" : "2") + "0000" +
               CampoNumerico(std::fabs(DescontoAcrescimo), 2, 12, "DescontoAcrescimo"));
}

void TZuvoECFICash::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                    const std::string& Observacao, bool ImprimeVinculado) {
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  if (ImprimeVinculado && fVinculadoPendente)
    throw EZuvoECFCMDInvalido("Já existe Forma de Pagamento com \ncomprovante NAO fiscal vinculado "
                              "pendente. \nImpressora: " +
                              ModeloStr() + " aceita apenas um " + LF +
                              "Comprovante não Fiscal Viculado por Cupom.");
  EnviaComando("22" + CodFormaPagto + CampoNumerico(Valor, 2, 13, "Valor"));
  // Only a payment the printer took owes a linked receipt.
  if (ImprimeVinculado) fVinculadoPendente = true;
  if (!Observacao.empty()) EnviaComando(BlocoTexto(Observacao));
}

void TZuvoECFICash::FechaCupom(const std::string& Observacao) {
  if (!Observacao.empty()) EnviaComando(BlocoTexto(Observacao));
  EnviaComando("17", 5);
  fVinculadoPendente = false;
}

void TZuvoECFICash::CancelaCupom() {
  if (Estado() == estLivre)
    EnviaComando("2A", 16);
  else
    EnviaComando("29", 8);
  fVinculadoPendente = false;
}

void TZuvoECFICash::CancelaItemVendido(int NumItem) {
  EnviaComando("25" + CampoInteiro(NumItem, 3, "NumItem"), 10);
}

// ===========================================================================
// Reports, drawer and clock

void TZuvoECFICash::AbreGaveta() { EnviaComando("45"); }

void TZuvoECFICash::LeituraX() { EnviaComando("510", 45); }

void TZuvoECFICash::ReducaoZ(TDateTime) { EnviaComando("7200", 45); }

void TZuvoECFICash::AbreRelatorioGerencial() { EnviaComando("5601", 40); }

void TZuvoECFICash::LinhaRelatorioGerencial(const std::string& Linha) {
  ImprimeLinhaALinha(SemControles(Linha, true), "570");
}

void TZuvoECFICash::AbreCupomVinculado(const std::string&, const std::string&, const std::string&,
                                       double) {
  EnviaComando("20", 8);
}

void TZuvoECFICash::LinhaCupomVinculado(const std::string& Linha) {
  ImprimeLinhaALinha(SemControles(Linha, true), "570");
}

void TZuvoECFICash::FechaRelatorio() { EnviaComando("58"); }

void TZuvoECFICash::FechaRelatorioRecarrega() {
  TZuvoECFClass::FechaRelatorioRecarrega();
  CarregaFormasPagamento();
}

void TZuvoECFICash::MudaHorarioVerao() { EnviaComando("71", 3); }

void TZuvoECFICash::MudaHorarioVerao(bool EHorarioVerao) {
  if (EHorarioVerao != HorarioVerao()) MudaHorarioVerao();
}

void TZuvoECFICash::MudaArredondamento(bool) {}

void TZuvoECFICash::CancelaImpressaoCheque() {}

void TZuvoECFICash::LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
  EnviaComando("54" + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                   CampoInteiro(ReducaoFinal, 4, "ReducaoFinal") + "0",
               ReducaoFinal - ReducaoInicial + 60);
}

void TZuvoECFICash::LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
  const int dias = static_cast<int>(std::fabs(std::trunc(DataFinal - DataInicial)));
  EnviaComando("55" + FormatDateTime("ddmmyyyy", DataInicial) +
                   FormatDateTime("ddmmyyyy", DataFinal) + "0",
               dias + 60);
}

}  // namespace zuvo
