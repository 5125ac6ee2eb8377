#include "drivers/ZuvoECFYanco.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

constexpr char STX = 2;
constexpr char ETX = 3;
constexpr int kDC4 = 20;  // frame accepted
constexpr int kNAK = 21;  // frame refused

// STX, sequence (4), status code (2), ETX and the sum (2): the text starts at
// position 8 and an answer always carries at least one byte of it.
constexpr int kInicioTexto = 8;
constexpr int kMenorResposta = 11;

// A line of a report or linked receipt.
constexpr int kColunas = 46;
// The payment slots of "2E": 30 records of 15 characters from position 98.
constexpr int kFormas = 30;
constexpr int kInicioFormas = 98;
constexpr int kTamanhoForma = 15;

const std::pair<const char*, const char*> kErros[] = {
    {"10", "Fim de Papel"},
    {"31", "Função não permitida após totalização"},
    {"32", "Função não permitida sem totalização"},
    {"34", "Situação tributária inválida"},
    {"35", "Campo numérico inválido"},
    {"36", "Números não permitidos neste campo"},
    {"37", "Mensagem inválida"},
    {"38", "Tamanho Máximo do Valor Inválido"},
    {"39", "Campo deve conter, no mínimo, um caractere"},
    {"40", "Função inexistente"},
    {"41", "Função não permitida sem inicio de operação Fiscal"},
    {"42", "Função não permitida sem início de operação Não Fiscal"},
    {"43", "Função não permitida durante operação Fiscal ou Não Fiscal"},
    {"44", "Função não permitida sem início do Dia"},
    {"45", "Função não permitida sem status de intervenção ou durante operação Fiscal ou Não-Fiscal"},
    {"46", "Função não permitida com status de intervenção"},
    {"47", "Função não permitida após o Início do Dia"},
    {"48", "Não são permitidos mais comentários"},
    {"49", "Não é permitido o Inicio do Dia após Redução Z"},
    {"50", "Necessita Redução Z"},
    {"51", "Hora / Data inválida"},
    {"52", "Data menor que a da Memória Fiscal"},
    {"53", "Última função não permite a execução deste comando"},
    {"54", "Cupom aberto mas não finalizado"},
    {"55", "Função não permitida sem abertura de Relatório X ou Z"},
    {"56", "É permitido apenas quatro validações"},
    {"57", "Tempo esgotado para este comando"},
    {"62", "Memória Fiscal Esgotada"},
    {"63", "Memória fiscal não disponível ou erro de leitura/gravação"},
    {"64", "Equipamento necessita Intervenção Técnica"},
    {"65", "Palavra de uso exclusivo do firmware fiscal"},
    {"67", "Leitura da Memória Fiscal chegou ao fim"},
    {"68", "Memória Fiscal não está esgotada"},
    {"69", "Impressora de cheque não está pronta"},
    {"70", "Impossível cancelar item"},
    {"71", "Excedido limite de cupons não fiscais vinculados"},
    {"EE", "Retorno da Impressora inválido."},
};

// The 13 blanks that end the report commands.
const std::string kBrancos13(13, ' ');

}  // namespace

// ===========================================================================
// The protocol

std::string TZuvoECFYanco::Soma(const std::string& Quadro) {
  unsigned soma = 0;
  for (unsigned char c : Quadro) soma += c;
  return {static_cast<char>((soma / 256) % 256), static_cast<char>(soma % 256)};
}

std::string TZuvoECFYanco::PreparaComando(const std::string& Cmd) {
  if (Cmd.empty()) return "";
  fSequencia = fSequencia >= 9999 ? 1 : fSequencia + 1;
  const std::string quadro = STX + CampoInteiro(fSequencia, 4, "Sequencia") + Cmd + ETX;
  return quadro + Soma(quadro);
}

std::string TZuvoECFYanco::MontaQuadro(const std::string& Cmd) { return PreparaComando(Cmd); }

bool TZuvoECFYanco::ConfirmaRecebimento() {
  // Every try waits afresh: a retry the user asked for gets its own chance.
  try {
    const int ack = LeByte(std::min(TimeOut(), 5) * 1000);
    if (ack < 0) throw EZuvoECFSemResposta("Impressora " + ModeloStr() + " não responde (ACK = 0)");
    if (ack == kNAK) throw EZuvoECFSemResposta("Impressora " + ModeloStr() + " não reconheceu o Comando");
    if (ack != kDC4)
      throw EZuvoECFSemResposta("Erro. Resposta da Impressora " + ModeloStr() + " inválida");
    return true;
  } catch (const EZuvoECFSemResposta& e) {
    if (!RetentaConfirmacao(e.what())) throw;
    return false;
  }
}

bool TZuvoECFYanco::VerificaFimLeitura(const std::string& Retorno) {
  return static_cast<int>(Retorno.size()) >= kMenorResposta &&
         Retorno[Retorno.size() - 3] == ETX;
}

std::string TZuvoECFYanco::CodigoStatus(const std::string& Quadro, const std::string& Resposta) {
  if (Copy(Resposta, 1, 5) != Copy(Quadro, 1, 5)) return "EE";
  // The printer sums its answer as the host sums the command: a byte garbled
  // on the line is not taken for the printer's data.
  const int n = static_cast<int>(Resposta.size());
  if (n < kMenorResposta || Soma(Copy(Resposta, 1, n - 2)) != Copy(Resposta, n - 1, 2)) return "EE";
  const std::string texto = Copy(Resposta, kInicioTexto, n - 10);
  return texto.size() == 2 ? texto : "00";
}

std::string TZuvoECFYanco::MensagemErro(const std::string& Codigo) {
  if (Codigo == "00") return "";
  for (const auto& [codigo, mensagem] : kErros)
    if (Codigo == codigo) return mensagem;
  return "Erro Código (" + Codigo + ")";
}

TRespostaECF TZuvoECFYanco::DecodificaResposta(const std::string& Resposta) {
  TRespostaECF r;
  r.Quebra = std::string(1, LF);
  r.Dados = Copy(Resposta, kInicioTexto, static_cast<int>(Resposta.size()) - 10);
  r.Erro = MensagemErro(CodigoStatus(ComandoEnviado(), Resposta));
  return r;
}

std::string TZuvoECFYanco::LeStatus() {
  const std::string s = EnviaComando("25");
  CampoResposta(s, 1, 11, "Status");
  return s;
}

// ===========================================================================
// Construction and activation

TZuvoECFYanco::TZuvoECFYanco(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config) {
  SetNomeModelo("Yanco");
  SetColunas(kColunas);
  Device.SetHandShake(hsRTS_CTS);  // also turns hardware flow control on
}

TZuvoECFYanco::~TZuvoECFYanco() = default;

void TZuvoECFYanco::Ativar() {
  ExigePortaSerial("Esse modelo de impressora", std::string(1, LF));
  Device().SetHandShake(hsRTS_CTS);
  TZuvoECFClass::Ativar();
  fNumVersaoCache.clear();
  fNumECFCache.clear();
  fTotalPago = 0;
  try {
    // The printer answers the echo command with its text.
    if (EnviaComando("1FZUVO") != "ZUVO")
      throw EZuvoECFNaoInicializado("Erro inicializando a impressora " + ModeloStr());
  } catch (...) {
    Desativar();
    throw;
  }
}

// ===========================================================================
// Identification and state

TDateTime TZuvoECFYanco::DataHora() {
  const std::string data = CampoResposta(EnviaComando("34071"), 1, 8, "Data");  // dd/mm/yy
  const std::string hora = EnviaComando("34070");                                // hh:mm:ss
  const int doisPontos = Pos(":", hora);
  if (doisPontos < 2)
    throw EZuvoECFSemResposta("Resposta incompleta da Impressora " + ModeloStr() + " (Hora)");
  std::string hh = Copy(hora, 1, doisPontos - 1);
  if (hh.size() == 1) hh = "0" + hh;
  const std::string nn = CampoResposta(hora, doisPontos + 1, 2, "Hora");
  return DataHoraResposta(data + hh + nn, "ddmmyyhhnn");
}

std::string TZuvoECFYanco::NumCupom() { return EnviaComando("34077"); }

std::string TZuvoECFYanco::NumECF() {
  if (fNumECFCache.empty()) fNumECFCache = EnviaComando("34076");
  return fNumECFCache;
}

std::string TZuvoECFYanco::NumSerie() { return CampoResposta(EnviaComando("2D0"), 8, 10, "NumSerie"); }

std::string TZuvoECFYanco::NumVersao() {
  if (fNumVersaoCache.empty()) fNumVersaoCache = CampoResposta(EnviaComando("2D0"), 18, 2, "NumVersao");
  return fNumVersaoCache;
}

double TZuvoECFYanco::SubTotal() {
  const std::string r = EnviaComando("34072");
  return RoundTo(static_cast<double>(NumeroResposta(r, 1, static_cast<int>(r.size()), "SubTotal")) / 100, -2);
}

double TZuvoECFYanco::TotalPago() { return fTotalPago; }

TZuvoECFEstado TZuvoECFYanco::Estado() {
  if (!Ativo()) {
    SetEstadoCampo(estNaoInicializada);
    return estNaoInicializada;
  }
  const std::string s = LeStatus();
  TZuvoECFEstado estado = estDesconhecido;
  switch (CharAt(s, 3)) {  // the fiscal day
    case '3': estado = estRequerX; break;
    case '4': estado = estBloqueada; break;
    case '2': estado = estLivre; break;
    default: break;
  }
  switch (CharAt(s, 11)) {  // the document, which prevails
    case '2': estado = estVenda; break;
    case '4': estado = estPagamento; break;
    default: break;
  }
  SetEstadoCampo(estado);
  return estado;
}

bool TZuvoECFYanco::GavetaAberta() { return false; }
bool TZuvoECFYanco::PoucoPapel() { return false; }
bool TZuvoECFYanco::ChequePronto() { return false; }

// ===========================================================================
// Tables

void TZuvoECFYanco::CarregaAliquotas() { TZuvoECFClass::CarregaAliquotas(); }

void TZuvoECFYanco::CarregaFormasPagamento() {
  TZuvoECFClass::CarregaFormasPagamento();
  const std::string r = EnviaComando("2E");
  for (int i = 1; i <= kFormas; i++) {
    const std::string registro = Copy(r, kInicioFormas + (i - 1) * kTamanhoForma, kTamanhoForma);
    if (Trim(registro).empty()) continue;
    TZuvoECFFormaPagamento& f = fFormasPagamento->Add();
    f.Indice = InteiroZeros(i, 2);
    f.Descricao = registro;
  }
}

// ===========================================================================
// Receipt

void TZuvoECFYanco::AbreCupom(const std::string&) {
  fTotalPago = 0;
  EnviaComando("130", 40);
}

std::string TZuvoECFYanco::CodigoAliquota(const std::string& AliquotaICMS) {
  switch (CharAt(AliquotaICMS, 1)) {
    case 'F': return "14";  // substituição tributária
    case 'I': return "15";  // isento
    case 'N': return "16";  // não tributado
    case 'T': {
      // The slot: "T1", "T01"; a slot too wide for the field is refused.
      const std::string slot = Copy(AliquotaICMS, 2);
      if (slot.empty() || SoDigitos(slot) != slot)
        throw EZuvoECFCMDInvalido("Aliquota inválida: " + AliquotaICMS);
      return CampoInteiro(StrToInt(slot), 2, "AliquotaICMS");
    }
    default: break;
  }
  try {
    return AchaAliquotaVenda(AliquotaICMS).Indice;
  } catch (const EZuvoECFCMDInvalido& e) {
    // The printer tells no one its rates: only its slots can be named.
    throw EZuvoECFCMDInvalido(std::string(e.what()) + LF + "A impressora " + ModeloStr() +
                              " vende pela posição da alíquota: \"T01\", \"T02\"...");
  }
}

void TZuvoECFYanco::VendeItem(const std::string& Codigo, const std::string& Descricao,
                              const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                              double DescontoPorc, const std::string&) {
  if (Qtd > 9999) throw Exception("Quantidade deve ser inferior a 9999.");
  if (Qtd <= 0) throw Exception("Quantidade deve ser maior que zero.");
  if (AliquotaICMS.empty()) throw Exception("Aliquota de ICMS não pode ser vazia.");
  // The sale has no discount field: the item would print at full price.
  if (DescontoPorc != 0)
    throw EZuvoECFCMDInvalido("A impressora " + ModeloStr() + " não aceita desconto no item");
  const std::string aliquota = CodigoAliquota(AliquotaICMS);
  if (ArredondaPorQtd() && !Arredonda()) ArredondarPorQtd(Qtd, -2, ValorUnitario);
  // The frame has no escape: control bytes in the texts become blanks.
  EnviaComando("14" + CompletaDireita(TextoImprimivel(Codigo), 13) +
                   CompletaDireita(Copy(TextoImprimivel(Descricao), 1, 30), 30) +
                   CampoNumerico(ValorUnitario, 3, 9, "ValorUnitario") +
                   CampoNumerico(Qtd, 3, 7, "Qtd") +
                   CampoNumerico(ValorUnitario * Qtd, 3, 12, "ValorTotal") + aliquota + "0",
               12);
}

void TZuvoECFYanco::SubtotalizaCupom(double DescontoAcrescimo, const std::string&) {
  // No command takes it: the total would differ from what the caller asked.
  if (DescontoAcrescimo != 0)
    throw EZuvoECFCMDInvalido("A impressora " + ModeloStr() +
                              " não aceita desconto ou acréscimo no subtotal");
  SubTotal();
}

void TZuvoECFYanco::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                    const std::string& Observacao, bool ImprimeVinculado) {
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  EnviaComando("15" + CodFormaPagto + CampoNumerico(Valor, 3, 13, "Valor"), 10);
  fTotalPago += RoundTo(Valor, -2);
}

void TZuvoECFYanco::FechaCupom(const std::string& Observacao) {
  const std::string obs = TextoImprimivel(StringReplace(Observacao, std::string(1, LF), ""));
  EnviaComando("1600" + CompletaDireita(obs, 168), 40);
  fTotalPago = 0;
  EsvaziaPorta();
}

void TZuvoECFYanco::CancelaCupom() {
  // '1': no receipt open, and the last one may still be cancelled.
  EnviaComando(CharAt(LeStatus(), 11) == '1' ? "1E" : "1D", 40);
  fTotalPago = 0;
}

void TZuvoECFYanco::CancelaItemVendido(int NumItem) {
  EnviaComando("35" + CampoInteiro(NumItem, 3, "NumItem") + std::string(20, ' '));
}

void TZuvoECFYanco::AbreGaveta() {
  EnviaComando("26");
  Descansa(100);  // the drawer's pulse: the printer takes no command during it
}

// ===========================================================================
// Reports

void TZuvoECFYanco::LeituraX() {
  // '3': the fiscal day has not started; its first X reading starts it.
  EnviaComando(CharAt(LeStatus(), 3) == '3' ? "121" : "241" + kBrancos13, 40);
}

void TZuvoECFYanco::ReducaoZ(TDateTime) { EnviaComando("221" + kBrancos13, 40); }

void TZuvoECFYanco::AbreRelatorioGerencial() {
  EnviaComando(CharAt(LeStatus(), 3) == '3' ? "120" : "240" + kBrancos13, 40);
}

void TZuvoECFYanco::LinhaRelatorioGerencial(const std::string& Linha) {
  // One command per printed line: a text of several lines is never cut.
  ImprimeLinhaALinha(Linha, "2A0");
}

void TZuvoECFYanco::AbreCupomVinculado(const std::string&, const std::string& CodFormaPagto,
                                       const std::string&, double) {
  if (!AchaFPGIndice(CodFormaPagto))
    throw Exception("Forma de Pagamento: " + CodFormaPagto + " não foi cadastrada.");
  EnviaComando("132", 40);
}

void TZuvoECFYanco::LinhaCupomVinculado(const std::string& Linha) { ImprimeLinhaALinha(Linha, "2B0"); }

void TZuvoECFYanco::FechaRelatorio() {
  // '2': a linked receipt, which ends as a receipt does.
  if (CharAt(LeStatus(), 11) == '2')
    EnviaComando("1600" + std::string(168, ' '), 40);
  else
    EnviaComando("2C", 40);
}

// ===========================================================================
// Check, clock, fiscal memory

void TZuvoECFYanco::CancelaImpressaoCheque() {}

void TZuvoECFYanco::MudaHorarioVerao() {}

void TZuvoECFYanco::MudaHorarioVerao(bool EHorarioVerao) {
  if (HorarioVerao() != EHorarioVerao) MudaHorarioVerao();
}

void TZuvoECFYanco::LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
  const int dias = static_cast<int>(std::fabs(DateOf(DataFinal) - DateOf(DataInicial)));
  EnviaComando("28" + FormatDateTime("ddmmyy", DataInicial) + FormatDateTime("ddmmyy", DataFinal) +
                   "00000000" + "0",
               dias + 10);
}

void TZuvoECFYanco::LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
  EnviaComando("28000000000000" + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                   CampoInteiro(ReducaoFinal, 4, "ReducaoFinal") + "1",
               ReducaoFinal - ReducaoInicial + 10);
}

void TZuvoECFYanco::LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                               TStrings& Linhas) {
  Linhas.clear();
  // "2F" carries no range: the printer sends every reduction it holds.
  if (ReducaoInicial > 1 || ReducaoFinal < 9999)
    throw EZuvoECFCMDInvalido("A impressora " + ModeloStr() +
                              " envia pela serial a Memória Fiscal inteira: informe as reduções 1 a 9999");
  const int reducoes = ReducaoFinal - ReducaoInicial;
  Linhas = SplitLines(EnviaComando("2F", TimeOut() + reducoes / 5));
}

}  // namespace zuvo
