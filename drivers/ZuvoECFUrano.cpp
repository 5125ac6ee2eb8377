#include "drivers/ZuvoECFUrano.h"

#include <algorithm>
#include <cmath>

namespace zuvo {

namespace {

const char ESC = 27;
// Every command text ends with this field.
const std::string kFim = "XXXXX";
// Data bytes of a register read ("24" + number), after the status byte.
constexpr int kBytesRegistro = 21;
// The fiscal-memory capture has no end mark: a quiet line this long after
// the report started is its end.
constexpr int kSilencioFimMemoriaMs = 500;
// A "06" block: 10 lines, 480 bytes.
constexpr int kLinhasBloco = 10;
constexpr int kTamanhoBloco = 480;

struct ErroUrano {
  unsigned char Codigo;
  const char* Mensagem;
};
const ErroUrano kErros[] = {
    {0, "Nenhuma resposta do ECF"},
    {'"', "Cancelamento inválido"},
    {'#', "Abertura do Dia inválida"},
    {'$', "Aliquota inexistente"},
    {'%', "Erro na gravação da Memoria Fiscal"},
    {'\'', "Erro na gravação da Memoria Fiscal"},
    {')', "Erro na gravação da Memoria Fiscal"},
    {'(', "Impressora em intervenção técnica"},
    {'*', "Indice de Aliquota inválido"},
    {',', "Desconto Inválido"},
    {'=', "Desconto Inválido"},
    {'/', "Violaçao da memoria RAM"},
    {'0', "Comando aceito apenas durante Interveção Técnica"},
    {'2', "Fechamendo do dia (Redução Z) não realizada"},
    {'3', "Fechamendo do dia (Redução Z) já realizada"},
    {'4', "Comando fora da sequência"},
    {'5', "Venda não iniciada (Abra o Cupom)"},
    {'6', "Não houve pagamento"},
    {'7', "Cupom já totalizado"},
    {'8', "Comando inexistente"},
    {'9', "TimeOut de transmissão de Comando"},
    {'?', "Cancelamento de Cupom Inválido"},
    {'A', "Alteração do Horário de Verão não permitida nesse momento"},
    {'B', "Aliquota já programada"},
    {'E', "Memória fiscal cheia"},
    {'G', "Código de Produto inválido"},
    {'H', "Limite do Valor Total por Item ultrapassado"},
    {'I', "Cabeçalho já impresso"},
    {'J', "Alteração do Horário de Verão, somente após Redução Z"},
    {'K', "Alteração do Horário de Verão, permitida apenas 1 vez ao dia"},
    {'L', "Relógio Inconsistente"},
    {'R', "Falta Papel para autenticar documento"},
    {'S', "Não há item a descontar"},
    {'T', "Item a cancelar inexistente"},
    {'U', "Item já cancelado"},
    {'X', "Acrescimo no SubTotal inválido"},
    {'Y', "Desconto no SubTotal inválido"},
    {'[', "Total do Item Vendido resulta em Zero"},
    {']', "Indice de Forma de Pagamento inválido"},
    {'^', "Indice de Forma de Pagamento já programado"},
    {'`', "Limite de autenticação alcançado"},
    {'a', "Indice de Forma de Pagamento não programado"},
    {'b', "Valor Unitário inválido"},
    {'c', "Quantidade inválida"},
    {'d', "Aliquota inválida"},
    {'i', "Vinculado não encontrado"},
    {'j', "Valor da Aliquota inválido"},
    {'m', "Número de Vinculados por cupom, excedido"},
    {'n', "Vinculado cheio"},
    {'o', "Acrescimo financeiro não habilitado"},
};

}  // namespace

// ===========================================================================
// The protocol

std::string TZuvoECFUrano::PreparaComando(const std::string& Cmd) {
  if (Cmd.empty()) return "";
  return std::string{ESC, 'f'} + Cmd;
}

bool TZuvoECFUrano::RespostaBruta(const std::string& Cmd) {
  return Cmd == "23" + kFim || Cmd.starts_with("27");
}

std::string TZuvoECFUrano::MensagemErro(unsigned char Codigo) {
  if (Codigo == '!' || Codigo == 'W') return "";
  for (const auto& e : kErros)
    if (e.Codigo == Codigo) return e.Mensagem;
  // At least two digits; a code from 100 up keeps all three.
  const std::string numero = IntToStr(Codigo);
  return "Erro retornado pelo ECF: " + (numero.size() < 2 ? "0" + numero : numero);
}

std::string TZuvoECFUrano::CodigoAliquota(const std::string& AliquotaICMS) {
  switch (CharAt(AliquotaICMS, 1)) {
    case 'F':
      return "16";  // substituição tributária
    case 'I':
      return "17";  // isento
    case 'N':
      return "18";  // não incidência
    case 'T': {
      // One or two digits: a longer slot would be cut to another one.
      const std::string slot = Copy(AliquotaICMS, 2);
      if (slot.empty() || slot.size() > 2 || SoDigitos(slot) != slot)
        throw EZuvoECFCMDInvalido("Aliquota inválida: " + AliquotaICMS);
      return CompletaEsquerda(slot, 2, '0');
    }
    default:
      return "";
  }
}

TZuvoECFUrano::TCamposVenda TZuvoECFUrano::CamposVenda(double Qtd, double ValorUnitario) {
  // The flag "2" layout carries three decimals in both fields: it is also
  // the one for a price with a third decimal, which cents would round.
  const bool fracionaria = RoundTo(Qtd, -3) != RoundTo(Qtd, 0) ||
                           RoundTo(ValorUnitario, -3) != RoundTo(ValorUnitario, -2);
  if (!fracionaria)
    return {CampoNumerico(Qtd, 0, 7, "Qtd"), CampoNumerico(ValorUnitario, 2, 9, "ValorUnitario"),
            "0"};
  const std::string milesimos = CampoNumerico(Qtd, 3, 6, "Qtd");
  return {Copy(milesimos, 1, 3) + "," + Copy(milesimos, 4, 3),
          CampoNumerico(ValorUnitario, 3, 9, "ValorUnitario"), "2"};
}

std::vector<std::string> TZuvoECFUrano::BlocosTexto(const std::string& Linhas, int Colunas) {
  std::vector<std::string> blocos;
  std::string bloco;
  int n = 0;
  for (const std::string& linha : SplitLines(Linhas)) {
    bloco += CompletaDireita(linha, Colunas);
    if (++n == kLinhasBloco) {
      blocos.push_back(CompletaDireita(bloco, kTamanhoBloco, '\0'));
      bloco.clear();
      n = 0;
    }
  }
  if (n > 0) blocos.push_back(CompletaDireita(bloco, kTamanhoBloco, '\0'));
  return blocos;
}

std::string TZuvoECFUrano::MontaQuadro(const std::string& Cmd) {
  fBruta = RespostaBruta(Cmd);
  return PreparaComando(Cmd);
}

bool TZuvoECFUrano::VerificaFimLeitura(const std::string& Retorno) {
  if (fBytesResp < 0) return !Retorno.empty() && SilencioMs() >= kSilencioFimMemoriaMs;
  return static_cast<int64_t>(Retorno.size()) >= int64_t{fBytesResp} + 1;
}

TRespostaECF TZuvoECFUrano::DecodificaResposta(const std::string& Resposta) {
  TRespostaECF r;
  r.Quebra = std::string(1, LF);  // Urano's texts use LF LF
  if (fBruta) {
    r.Dados = Resposta;
    return r;
  }
  const unsigned char status = static_cast<unsigned char>(CharAt(Resposta, 1));
  r.Dados = Copy(Resposta, 2);
  r.PoucoPapel = status == 'W';
  r.Erro = MensagemErro(status);
  return r;
}

void TZuvoECFUrano::ReiniciaComando() {
  fBytesResp = 0;
  fBruta = false;
}

bool TZuvoECFUrano::Suporta(TZuvoECFRecurso Recurso) { return Recurso == recTamanhoResposta; }

void TZuvoECFUrano::DefineTamanhoResposta(int Bytes) { fBytesResp = Bytes; }

// ----- Small command shapes -----

std::string TZuvoECFUrano::Registro(const std::string& Numero) {
  fBytesResp = kBytesRegistro;
  return Trim(EnviaComando("24" + Numero + kFim));
}

std::string TZuvoECFUrano::Operador8() { return CompletaDireita(Operador(), 8); }

void TZuvoECFUrano::ImprimeTexto(const std::string& Texto) {
  for (const std::string& bloco : BlocosTexto(AjustaLinhas(Texto), Colunas()))
    EnviaComando("06" + bloco + kFim, 35);
}

// ===========================================================================
// Construction and activation

TZuvoECFUrano::TZuvoECFUrano(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config) {
  SetNomeModelo("Urano");
  Device.SetHandShake(hsRTS_CTS);
}

TZuvoECFUrano::~TZuvoECFUrano() = default;

void TZuvoECFUrano::Ativar() {
  ExigePortaSerial("A impressora: " + ModeloStr(), CRLF);
  Device().SetHandShake(hsRTS_CTS);
  TZuvoECFClass::Ativar();
  fNumVersaoCache.clear();
  fNumECFCache.clear();
  fNumCROCache.clear();
  fConsumidor.clear();
  fTotalPago = 0;
  try {
    if (NumVersao().empty())
      throw EZuvoECFNaoInicializado("Erro inicializando a impressora " + ModeloStr());
  } catch (...) {
    Desativar();
    throw;
  }
}

// ===========================================================================
// Identification and state

TDateTime TZuvoECFUrano::DataHora() {
  const std::string data = CampoResposta(Registro("27"), 1, 8, "data");  // dd/mm/yy
  const std::string hora = CampoResposta(Registro("28"), 1, 8, "hora");  // hh:mm:ss
  return DataHoraResposta(Copy(data, 1, 2) + Copy(data, 4, 2) + Copy(data, 7, 2) +
                              Copy(hora, 1, 2) + Copy(hora, 4, 2) + Copy(hora, 7, 2),
                          "ddmmyyhhnnss");
}

std::string TZuvoECFUrano::NumCupom() { return Registro("18"); }

std::string TZuvoECFUrano::NumCRO() {
  if (fNumCROCache.empty()) fNumCROCache = Registro("23");
  return fNumCROCache;
}

std::string TZuvoECFUrano::NumECF() {
  if (fNumECFCache.empty()) fNumECFCache = Registro("26");
  return fNumECFCache;
}

std::string TZuvoECFUrano::NumSerie() { return Registro("25"); }

std::string TZuvoECFUrano::NumVersao() {
  if (fNumVersaoCache.empty()) fNumVersaoCache = Registro("97");
  return fNumVersaoCache;
}

double TZuvoECFUrano::SubTotal() { return RoundTo(ValorResposta(Registro("00"), "SubTotal"), -2); }

double TZuvoECFUrano::TotalPago() { return fTotalPago; }

TZuvoECFEstado TZuvoECFUrano::Estado() {
  if (!Ativo()) {
    SetEstadoCampo(estNaoInicializada);
    return estNaoInicializada;
  }
  const unsigned char c = static_cast<unsigned char>(CharAt(EnviaComando("23" + kFim), 1));
  TZuvoECFEstado estado = estDesconhecido;
  if (c == 'v')
    estado = estLivre;
  else if (c == 'w')
    estado = estVenda;
  else if (c == 'x' || c == 'y')
    estado = estPagamento;
  else if (c == '|')
    estado = estBloqueada;
  else if (c >= '}' && c <= 127)
    estado = estRelatorio;
  SetEstadoCampo(estado);
  return estado;
}

bool TZuvoECFUrano::PoucoPapel() { return Copy(EnviaComando("271" + kFim), 1, 1) == "1"; }

// ===========================================================================
// Tables

void TZuvoECFUrano::CarregaFormasPagamento() {
  TZuvoECFClass::CarregaFormasPagamento();
  // Registers 62-71 name the methods that allow a linked receipt; 42-51
  // are the methods by code 00-09.
  std::vector<std::string> vinculados;
  for (int r = 62; r <= 71; r++) {
    const std::string nome = UpperCase(Trim(Copy(Registro(IntToStr(r)), 1, 22)));
    if (!nome.empty()) vinculados.push_back(nome);
  }
  for (int j = 0; j < 10; j++) {
    const std::string descricao = Trim(Copy(Registro(IntToStr(42 + j)), 1, 22));
    if (descricao.empty()) continue;
    TZuvoECFFormaPagamento& f = fFormasPagamento->Add();
    f.Indice = InteiroZeros(j, 2);
    f.Descricao = descricao;
    f.PermiteVinculado =
        std::find(vinculados.begin(), vinculados.end(), UpperCase(descricao)) != vinculados.end();
  }
}

// ===========================================================================
// Receipt

void TZuvoECFUrano::AbreCupom(const std::string& CPF_CNPJ) {
  fConsumidor = Trim(CPF_CNPJ);
  fTotalPago = 0;
  try {
    EnviaComando("00" + kFim);
  } catch (const EZuvoECFSemResposta& e) {
    // The header is out already: the receipt is open.
    if (Pos("já impresso", e.what()) == 0) throw;
  }
}

std::string TZuvoECFUrano::AliquotaPorValor(const std::string& AliquotaICMS) {
  try {
    return AchaAliquotaVenda(AliquotaICMS).Indice;
  } catch (const EZuvoECFCMDInvalido& e) {
    // Without a rate table to read, a rate by value is never found: say
    // how this printer sells.
    if (Aliquotas().Count() > 0 || Pos("nao encontrada", e.what()) == 0) throw;
    throw EZuvoECFCMDInvalido("Aliquota nao encontrada: " + AliquotaICMS + LF + "A impressora " +
                              ModeloStr() +
                              " vende pela posição da alíquota (\"T01\", \"T02\"...) ou F, I, N");
  }
}

void TZuvoECFUrano::VendeItem(const std::string& Codigo, const std::string& Descricao,
                              const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                              double DescontoPorc, const std::string& Unidade) {
  if (Qtd > 9999) throw EZuvoECFCMDInvalido("Quantidade deve ser inferior a 9999.");
  if (Qtd <= 0) throw EZuvoECFCMDInvalido("Quantidade deve ser maior que zero.");
  if (Trim(AliquotaICMS).empty()) throw EZuvoECFCMDInvalido("Aliquota de ICMS não pode ser vazia.");
  std::string aliquota = CodigoAliquota(AliquotaICMS);
  if (aliquota.empty()) aliquota = AliquotaPorValor(AliquotaICMS);
  if (ArredondaPorQtd()) ArredondarPorQtd(Qtd, -2, ValorUnitario);

  // Every field is built before the first command goes out.
  const TCamposVenda campos = CamposVenda(Qtd, ValorUnitario);
  std::string desconto;
  if (DescontoPorc > 0) {
    // The discount is a share of the item's value, quantity times price.
    const double valor = RoundTo(RoundTo(Qtd * ValorUnitario, -2) * DescontoPorc / 100, -2);
    desconto = "030" + CompletaDireita("Desconto Aplicado", 26) +
               CampoNumerico(valor, 2, 11, "Desconto") + kFim;
  }
  EnviaComando("01" + CompletaDireita(Codigo, 13) + CompletaDireita(Descricao, 66) + campos.Qtd +
                   campos.Preco + aliquota + CompletaDireita(Unidade, 2) + campos.Flag + kFim,
               20);
  fTotalPago = 0;
  if (!desconto.empty()) EnviaComando(desconto);
}

void TZuvoECFUrano::SubtotalizaCupom(double DescontoAcrescimo, const std::string&) {
  if (DescontoAcrescimo == 0) return;
  const std::string valor = std::string(10, ' ') +
                            CampoNumerico(std::fabs(DescontoAcrescimo), 2, 10, "DescontoAcrescimo");
  EnviaComando((DescontoAcrescimo > 0 ? "090" : "100") + valor + kFim);
}

void TZuvoECFUrano::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                    const std::string& Observacao, bool ImprimeVinculado) {
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  EnviaComando("04" + CodFormaPagto + CompletaDireita(Observacao, 17) +
               CampoNumerico(Valor, 2, 11, "Valor") + (ImprimeVinculado ? "1" : "0") + kFim);
  fTotalPago = RoundTo(fTotalPago + Valor, -2);
}

void TZuvoECFUrano::FechaCupom(const std::string&) {
  if (!fConsumidor.empty())
    EnviaComando("34" + CompletaDireita("IDENTIFICACAO DO CONSUMIDOR", 42) +
                 (fConsumidor.size() == 11 ? "0" : "1") + CompletaDireita(fConsumidor, 18) +
                 std::string(84, ' ') + kFim);
  EnviaComando("050" + Operador8() + kFim, 10);
  fConsumidor.clear();
  fTotalPago = 0;
}

void TZuvoECFUrano::CancelaCupom() {
  switch (Estado()) {
    case estLivre:  // the last receipt
      EnviaComando("081" + Operador8() + kFim, 20);
      break;
    case estVenda:
    case estPagamento:
      EnviaComando("07" + Operador8() + kFim, 20);
      break;
    default:
      break;
  }
  fTotalPago = 0;
  FechaRelatorio();
}

void TZuvoECFUrano::CancelaItemVendido(int NumItem) {
  EnviaComando("02" + CompletaDireita("Item Cancelado", 22) + CampoInteiro(NumItem, 3, "NumItem") +
               kFim);
}

// ===========================================================================
// Reports

void TZuvoECFUrano::LeituraX() { EnviaComando("110" + kFim, 35); }

void TZuvoECFUrano::ReducaoZ(TDateTime) { EnviaComando("111" + kFim, 35); }

void TZuvoECFUrano::AbreRelatorioGerencial() {}

void TZuvoECFUrano::LinhaRelatorioGerencial(const std::string& Linha) { ImprimeTexto(Linha); }

void TZuvoECFUrano::AbreCupomVinculado(const std::string&, const std::string& CodFormaPagto,
                                       const std::string&, double) {
  if (!AchaFPGIndice(CodFormaPagto))
    throw Exception("Forma de Pagamento: " + CodFormaPagto + " não foi cadastrada.");
}

void TZuvoECFUrano::LinhaCupomVinculado(const std::string& Linha) { ImprimeTexto(Linha); }

void TZuvoECFUrano::FechaRelatorio() {
  if (Estado() == estRelatorio) EnviaComando("12" + Operador8() + kFim, 5);
}

void TZuvoECFUrano::PulaLinhas(int NumLinhas) {
  if (NumLinhas == 0) NumLinhas = LinhasEntreCupons();
  EnviaComando("200" + CampoInteiro(NumLinhas, 2, "NumLinhas") + kFim);
}

void TZuvoECFUrano::MudaHorarioVerao(bool EHorarioVerao) {
  if (EHorarioVerao != HorarioVerao()) TZuvoECFClass::MudaHorarioVerao();
}

void TZuvoECFUrano::LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
  const int dias = static_cast<int>(std::fabs(std::trunc(DateOf(DataFinal) - DateOf(DataInicial))));
  EnviaComando("160" + FormatDateTime("ddmmyy", DataInicial) + FormatDateTime("ddmmyy", DataFinal) +
                   std::string(8, ' ') + kFim,
               dias * 30);
}

void TZuvoECFUrano::LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
  EnviaComando("161" + std::string(12, ' ') + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                   CampoInteiro(ReducaoFinal, 4, "ReducaoFinal") + kFim,
               (ReducaoFinal - ReducaoInicial + 1) * 30);
}

void TZuvoECFUrano::LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                               TStrings& Linhas) {
  Linhas.clear();
  const int dias = static_cast<int>(std::fabs(std::trunc(DateOf(DataFinal) - DateOf(DataInicial))));
  fBytesResp = -1;  // a stream: read until the line goes quiet
  Linhas = SplitLines(EnviaComando("16" + FormatDateTime("ddmmyy", DataInicial) +
                                       FormatDateTime("ddmmyy", DataFinal) + "00000000" + kFim,
                                   TimeOut() + dias / 5));
}

}  // namespace zuvo
