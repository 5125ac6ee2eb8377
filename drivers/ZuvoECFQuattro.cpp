#include "drivers/ZuvoECFQuattro.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>

#include "core/ZuvoIni.h"
#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

constexpr char ESC = 27;

// What an empty answer reads as: error 98, the printer is not answering.
const std::string kSemResposta = ".-0001ERRO:         98}";
// The end mark of a serial fiscal-memory reading.
const std::string kFimSerial = ".]}";

const std::string kVerifique = CRLF + "Verifique:" + CRLF + "- A impressora está ligada ? " + CRLF +
                               "- A tampa está aberta ?" + CRLF + "- Os cabos estão conectados ?";

// The printer's error codes; those it leaves out it explains in the answer.
const std::map<int, std::string> kErros = {
    {2, "O parâmetro de código enviado no comando não pode ser zero."},
    {3, "O parâmetro de valor enviado no comando possui caracteres não numéricos."},
    {4, "O parâmetro de quantidade enviado no comando não pode ser zero."},
    {5, "O primeiro dígito do parâmetro deve ser obrigatoriamente zero."},
    {6, "O valor informado no comando não pode ser zero."},
    {7, "Foi detectado um byte não alfanumérico."},
    {8, "O parâmetro informado só possui espaços ou zeros"},
    {9, "O código de tributação não é válido."},
    {10, "O código de tributação não foi programado."},
    {11, "No há documento para autenticar."},
    {12, "O comando não foi terminado corretamente"},
    {13, "O preço total do item não pode ser zero."},
    {14, "O cabeçalho não foi programado"},
    {15, "O relógio não foi programado."},
    {16, "O número do caixa não foi programado."},
    {17, "O cupom está aberto."},
    {18, "O desconto não pode ser maior ou igual ao total."},
    {19, "A operação comandada não é permitida."},
    {20, "Código do par Contador/Totalizador é inválido."},
    {23, "Código de indicador inválido"},
    {25, "Número de linhas maior que 10."},
    {26, "Parâmetro diferente de “S”ou “N”."},
    {27, "A porcentagem não confere."},
    {28, "O cupom não está aberto."},
    {29, "Não está em intervenção técnica."},
    {31, "Taxa não pode ser zero ou espaços."},
    {32, "O comando deve ser terminado com 4 zeros."},
    {33, "A Tabela está completa."},
    {34, "Primeiro caracter diferente de “T” ou “S”"},
    {35, "Código de tributação inválido."},
    {36, "O valor não é válido."},
    {37, "A legenda não é válida."},
    {38, "O número da redução não é válido."},
    {39, "Registro não encontrado."},
    {40, "Não pode autenticar."},
    {42, "Comando não pode ser realizado neste modo de operação."},
    {43, "É preciso tirar leitura X."},
    {44, "É preciso executar redução Z."},
    {45, "Não é possível executar duas reduções no mesmo dia."},
    {49, "Comando permitido somente antes da primeira venda."},
    {50, "Não é permitido entrar no horário de verão das 23 às 24h."},
    {51, "Não é permitido sair do horário de verão das 24h à 1h."},
    {52,
     "Venda Bruta diária excederia 12 dígitos após o comando ou o valor total do item tem "
     "mais de 11 dígitos."},
    {53, "Número de caracteres ímpar."},
    {54, "Caracteres inválidos."},
    {55, "Modalidade de pagamento não ativa."},
    {56, "Acréscimo maior que o total."},
    {57,
     "Contador/Totalizador não fiscal desativado ou Tentativa de acumular em totalizadores "
     "não fiscais positivos e negativos no mesmo comprovante não fiscal."},
    {58, "Número de modalidades de pagamento maior que 10."},
    {59, "Cupom já foi totalizado. Falta fechar."},
    {60, "Não pode executar cancelamento."},
    {61, "O dia já foi encerrado."},
    {62, "O cupom está sendo totalizado."},
    {63, "A data é inválida."},
    {64, "Cupom com acumulador negativo não pode ser totalizado."},
    {65, "Comando válido apenas em cupom não fiscal."},
    {66, "Comando válido apenas em cupom fiscal."},
    {67, "Só é permitido um lançamento (ESC.07) em um comprovante não-fiscal"},
    {68, "Impressora sem papel."},
    {69, "Ocorreu falta de energia durante execução de comando."},
    {70, "A palavra TOTAL não é permitida."},
    {71, "Acerto de relógio no modo venda só pode ser feita com data igual."},
    {72, "Acerto de relógio em venda só até 5 minutos."},
    {73, "Acerto de relógio em venda só uma vez após a redução."},
    {75, "Já se encontra no horário de verão"},
    {76, "Já saiu do horário de verão"},
    {77, "Comando não-definido"},
    {78, "COO informado não consta na tabela"},
    {79, "Mais de 2 minutos dentro do Comprovante Vinculado"},
    {80, "<esc>.08 não é aceito neste modo"},
    {81, "Mais de 10 minutos dentro do relatório gerencial"},
    {83, "Item a cancelar não existe"},
    {84, "Item já foi cancelado"},
    {85, "Comando com tamanho errado"},
    {86, "Tabela de Vinculados vazia"},
    {87,
     "Cancelamento de item em cupom com acréscimo / Apenas um acréscimo por cupom / Apenas "
     "um desconto no subtotal por cupom / Nenhum item após acréscimo ou desconto no "
     "subtotal."},
    {88, "Comando não aceito em cupom vinculado"},
    {89, "Comando não aceito em relatório gerencial"},
    {90, "Não há Segunda via para imprimir"},
    {91, "Tipo de modalidade de pagamento não existe/ Tipo de parâmetro do comando não existe."},
    {92, "Valor do cheque não pode ser nulo ou valor não cabe no extenso."},
    {93, "Layout do cheque é inválido ou mecanismo de impressão do cheque não está disponível."},
    {94,
     "Não pode sair do horário de verão : existe uma redução com menos de uma hora de "
     "diferença."},
    {95, "Segunda via do comprovante não fiscal vinculado já foi impressa."},
    {96, "Erro na gravação de modelo com cheque"},
    {97, "Desconto em ISS desabilitado / Desconto maior que o valor tributado."},
    {98, "Impressora não está respondendo."},
};

const char* const kLayoutsPadrao[] = {
    "00108080607071005", "00308080707061005", "00408080707071005", "00808080607061005",
    "02108080706071005", "02208080607071005", "02408080607071005", "02708080707061005",
    "02908120607081005", "03108080706071005", "03208070607081005", "03308080608071005",
    "03408070607071005", "03608070707061005", "03708080706071005", "03808110707061005",
    "04108070708071005", "04808080606061005", "07008080707071005", "10408080708091005",
    "15110070607071005", "15308080608061005", "18408080707071005", "20108090706061005",
    "21408080808081005", "23008080805091005", "23108080706081005", "23308080707061005",
    "23709090706071005", "24408080607071005", "25808100607061005", "26708080808061005",
    "29108060706071005", "29408080607071005", "30808080607071005", "32008080707081005",
    "34108100808081005", "34708090607081005", "35108080606081005", "35308080606061005",
    "35608110506061005", "35609100605071005", "36608090607061005", "36908090607061005",
    "37008070707061005", "37208080706081005", "37608100808081005", "38908100807081005",
    "39208070807071005", "39408060707091005", "39908080707071005", "40909090706061005",
    "42008070706071005", "42208080707071005", "42408100706071005", "47208060707081005",
    "47908100607061005", "48708080607071005", "48908070707071005", "49908070707071005",
    "61108080707061005", "74514070706071005", "90005050505050505",
};

bool Comeca(const std::string& Texto, const std::string& Prefixo) {
  return Texto.compare(0, Prefixo.size(), Prefixo) == 0;
}

std::string SimNao(bool V) { return V ? "S" : "N"; }

}  // namespace

// ===========================================================================
// The protocol

std::string TZuvoECFQuattro::PreparaComando(const std::string& Cmd) {
  return std::string{ESC, '.'} + Cmd + "}";
}

bool TZuvoECFQuattro::RespostaCompleta(const std::string& Retorno) {
  return Retorno.size() > 2 && Retorno.back() == '}';
}

std::string TZuvoECFQuattro::MensagemErro(int Codigo) {
  const auto e = kErros.find(Codigo);
  return e == kErros.end() ? "" : e->second;
}

std::string TZuvoECFQuattro::TextoLivre(const std::string& Texto, bool Linhas) {
  return TextoImprimivel(Texto, Linhas, "}");
}

bool TZuvoECFQuattro::NumeraResposta(const std::string& Cmd) {
  for (const char* leitura : {"56", "27", "22", "23", "29"})
    if (Comeca(Cmd, leitura)) return false;
  return true;
}

TStrings TZuvoECFQuattro::LinhasSerial(const std::string& Coletado) {
  std::string texto = StringReplace(Coletado, kFimSerial, "");
  TStrings linhas;
  while (!texto.empty()) {
    int fim = Pos("}", texto);
    if (fim == 0) fim = static_cast<int>(texto.size());
    const int inicio = Pos(".+", texto);
    if (inicio == 0 || inicio > fim)
      linhas.push_back(Copy(texto, 1, fim - 1));
    else
      linhas.push_back(Copy(texto, inicio + 6, fim - inicio - 6));
    texto.erase(0, static_cast<size_t>(fim));
  }
  return linhas;
}

TStrings TZuvoECFQuattro::LayoutsPadrao() {
  return TStrings(std::begin(kLayoutsPadrao), std::end(kLayoutsPadrao));
}

// ----- The command cycle -----

std::string TZuvoECFQuattro::MontaQuadro(const std::string& Cmd) {
  fComando = Cmd;
  return PreparaComando(Cmd);
}

void TZuvoECFQuattro::AposTransmitir() {
  if (Device().HandShake() == hsDTR_DSR) DefineDTR(true);
  if (!SinalCTS()) DefineRTS(false);
}

bool TZuvoECFQuattro::VerificaFimLeitura(const std::string& Retorno) {
  return RespostaCompleta(Retorno);
}

bool TZuvoECFQuattro::Recusada(const std::string& R) const {
  if (!Comeca(R, ".-")) return false;
  // A paper report with a new answer number: carried out, and printing.
  return !(Comeca(R, ".-P") && CharAt(R, 6) == '5' && Copy(R, 9, 4) != fNumUltimaResposta);
}

bool TZuvoECFQuattro::VerificaFimImpressao() {
  if (Recusada(RespostaComando())) return true;
  std::string status;
  if (!ConsultaDuranteImpressao(PreparaComando("23"), RespostaCompleta, status)) return false;
  // Little paper does not stop the printer: it finished, with a notice.
  if (CharAt(status, 6) == '5') {
    DoMsgPoucoPapel("Papel acabando");
    return true;
  }
  return CharAt(status, 6) == '0';
}

TRespostaECF TZuvoECFQuattro::DecodificaResposta(const std::string& Resposta) {
  const std::string r = Resposta.empty() ? kSemResposta : Resposta;
  TRespostaECF d;
  d.Dados = r;
  if (Comeca(r, ".-P00") && r.size() == 7) {
    switch (r[5]) {
      case '2': d.Erro = "Comando não foi enviado a Impressora."; break;
      case '3': d.Erro = "Impressora fora de linha ou sem papel."; break;
      case '4':
      case '6': d.Erro = "Não foi recebida a resposta da Impressora."; break;
      default: break;
    }
    d.Erro += kVerifique;
  } else if (Comeca(r, ".-P")) {
    const char status = CharAt(r, 6);
    if (status == '5') {
      const std::string numero = CampoResposta(r, 9, 4, "NumUltimaResposta");
      if (numero == fNumUltimaResposta) {
        d.Erro = "Impressora Sem Papel";
      } else {
        fNumUltimaResposta = numero;  // carried out: the printer's new number
        DoMsgPoucoPapel("Papel acabando");
      }
    } else {
      d.Erro = (status == '1' ? "Impressora fora de linha" + CRLF : std::string()) + kVerifique;
    }
  } else if (Comeca(r, ".-")) {
    const int codigo = static_cast<int>(StrToInt(Copy(r, static_cast<int>(r.size()) - 3, 3)));
    d.Erro = MensagemErro(codigo);
    if (d.Erro.empty()) d.Erro = Copy(r, 7, static_cast<int>(r.size()) - 7);
  } else if (Comeca(r, ".+") && NumeraResposta(fComando)) {
    fNumUltimaResposta = CampoResposta(r, 3, 4, "NumUltimaResposta");
  }
  return d;
}

// ----- Small command shapes -----

std::string TZuvoECFQuattro::Status() {
  const std::string r = EnviaComando("28");
  return Pos("!", r) > 0 ? r : "";
}

std::string TZuvoECFQuattro::EnviaImpressao(const std::string& Cmd, int Segundos) {
  SetAguardaImpressao(true);
  return EnviaComando(Cmd, Segundos);
}

// ===========================================================================
// Construction and activation

TZuvoECFQuattro::TZuvoECFQuattro(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config) {
  SetNomeModelo("Quattro");
  SetColunas(40);
  Device.SetHandShake(hsDTR_DSR);
}

TZuvoECFQuattro::~TZuvoECFQuattro() = default;

void TZuvoECFQuattro::Ativar() {
  ExigePortaSerial("A impressora: " + ModeloStr(), std::string(1, LF));
  TZuvoECFClass::Ativar();
  try {
    fNumVersaoCache.clear();
    fNumCROCache.clear();
    fNumECFCache.clear();
    fArredondaCache = ' ';
    fNumUltimaResposta.clear();
    fEmPagamento = false;
    SetNomeModelo("Quattro");
    EsvaziaPorta();
    Descansa(100);  // the printer settles after the port is opened and emptied
    if (NumVersao().empty())
      throw EZuvoECFNaoInicializado("Erro inicializando a impressora " + ModeloStr());
    // The answer number a paper-end report is compared with: without it a
    // command refused for lack of paper would read as carried out.
    EnviaComando("28");
  } catch (...) {
    Desativar();
    throw;
  }
}

// ===========================================================================
// Identification and state

TDateTime TZuvoECFQuattro::DataHora() {
  const std::string r = Status();
  if (r.empty()) return 0;
  const std::string texto = CampoResposta(r, Pos("!", r) + 1, 10, "DataHora");
  return DataHoraResposta(texto + "00", "ddmmyyhhnnss");
}

std::string TZuvoECFQuattro::NumCupom() {
  const std::string r = EnviaComando("5609");
  if (!Comeca(r, ".+09")) return std::string(6, ' ');
  return InteiroZeros(NumeroResposta(r, 5, 4, "NumCupom"), 6);
}

std::string TZuvoECFQuattro::NumCRO() {
  if (fNumCROCache.empty()) {
    const std::string r = EnviaComando("5602");
    if (Comeca(r, ".+02")) fNumCROCache = InteiroZeros(NumeroResposta(r, 5, 4, "NumCRO"), 4);
  }
  return fNumCROCache;
}

std::string TZuvoECFQuattro::NumECF() {
  if (fNumECFCache.empty()) {
    const std::string r = EnviaComando("27");
    if (Comeca(r, ".+C")) fNumECFCache = InteiroZeros(NumeroResposta(r, 4, 3, "NumECF"), 4);
  }
  return fNumECFCache;
}

std::string TZuvoECFQuattro::NumSerie() {
  const std::string r = EnviaComando("5603");
  return Comeca(r, ".+03") ? Trim(Copy(r, 5, 6)) : "";
}

std::string TZuvoECFQuattro::NumVersao() {
  if (fNumVersaoCache.empty()) {
    const std::string r = EnviaComando("5604");
    if (Comeca(r, ".+04")) fNumVersaoCache = CampoResposta(r, 5, 5, "NumVersao");
  }
  return fNumVersaoCache;
}

double TZuvoECFQuattro::SubTotal() {
  const std::string r = Status();
  if (r.empty()) return 0;
  return RoundTo(NumeroResposta(r, 19, 12, "SubTotal") / 100.0, -2);
}

double TZuvoECFQuattro::TotalPago() {
  // Register 08 says whether the receipt is being paid; the status answer
  // then carries the amount paid at 100-111.
  if (Pos("S", Copy(EnviaComando("5608"), 5, 2)) == 0) return 0;
  const std::string r = Status();
  if (r.empty()) return 0;
  return RoundTo(NumeroResposta(r, 100, 12, "TotalPago") / 100.0, -2);
}

TZuvoECFEstado TZuvoECFQuattro::Estado() {
  if (!Ativo()) {
    SetEstadoCampo(estNaoInicializada);
    return estNaoInicializada;
  }
  const std::string r = Status();
  if (r.empty()) return EstadoCampo();
  TZuvoECFEstado e = estDesconhecido;
  const char dia = CampoResposta(r, 18, 1, "Estado")[0];
  if (dia == 'F')
    e = estRequerZ;
  else if (CampoResposta(r, 124, 1, "Estado") == "N")
    e = estRequerX;
  else if (dia == 'S')
    e = estBloqueada;
  else if (fEmPagamento)
    e = estPagamento;
  if (e == estDesconhecido && Pos("S", Copy(EnviaComando("5608"), 5, 2)) > 0) e = estPagamento;
  if (e == estDesconhecido) {
    const std::string cupom = EnviaComando("5606");
    if (Comeca(cupom, ".+06S")) {
      if (CharAt(cupom, 6) == 'S')
        e = estVenda;
      else if (CharAt(cupom, 7) == 'S')
        e = estRelatorio;
    }
  }
  if (e == estDesconhecido && Comeca(EnviaComando("5605"), ".+05S")) e = estRelatorio;
  if (e == estDesconhecido) e = estLivre;
  SetEstadoCampo(e);
  return e;
}

bool TZuvoECFQuattro::GavetaAberta() { return !Comeca(EnviaComando("22"), ".+G000"); }

bool TZuvoECFQuattro::PoucoPapel() { return CharAt(EnviaComando("23"), 6) == '5'; }

bool TZuvoECFQuattro::HorarioVerao() {
  const std::string r = Status();
  return !r.empty() && CampoResposta(r, 54, 1, "HorarioVerao") == "S";
}

bool TZuvoECFQuattro::Arredonda() {
  if (fArredondaCache == ' ') {
    const std::string r = EnviaComando("5610", 6);
    if (Comeca(r, ".+10")) fArredondaCache = CampoResposta(r, 5, 1, "Arredonda")[0];
  }
  return fArredondaCache == 'S';
}

// ===========================================================================
// Tables

void TZuvoECFQuattro::CarregaAliquotas() {
  TZuvoECFClass::CarregaAliquotas();
  // Fifteen records of 16 characters over three answers.
  std::string r = EnviaComando("293");
  if (!Comeca(r, ".+T")) return;
  std::string registros = CampoResposta(r, 49, 64, "Aliquotas");
  r = EnviaComando("294");
  if (Comeca(r, ".+T")) registros += CampoResposta(r, 8, 112, "Aliquotas");
  registros += CampoResposta(EnviaComando("295"), 8, 64, "Aliquotas");
  for (int i = 0; i < 15; i++) {
    const std::string reg = Copy(registros, i * 16 + 1, 16);
    const char tipo = CharAt(reg, 1);
    if (StrToIntDef(Copy(reg, 2, 2), 0) <= 0 || (tipo != 'T' && tipo != 'S')) continue;
    TZuvoECFAliquota& a = fAliquotas->Add();
    a.Indice = Copy(reg, 1, 3);
    a.Aliquota = RoundTo(StrToIntDef(Copy(reg, 9, 4), 0) / 100.0, -2);
    a.Tipo = tipo;
  }
}

void TZuvoECFQuattro::ProgramaAliquota(double Aliquota, char Tipo, const std::string& Posicao) {
  const std::string tipo = std::toupper(static_cast<unsigned char>(Tipo)) == 'S' ? "S" : "T";
  const std::string taxa = CampoNumerico(Aliquota, 2, 4, "Aliquota");
  CarregaAliquotas();
  int64_t i = StrToIntDef(Trim(Posicao), 0);
  if (i < 1 || i > 15) {
    i = 1;
    while (i <= 16 &&
           (AchaICMSIndice("T" + InteiroZeros(i, 2)) || AchaICMSIndice("S" + InteiroZeros(i, 2))))
      i++;
  }
  if (i > 15) throw Exception("Não há espaço para programar novas Aliquotas");
  EnviaComando("33" + tipo + InteiroZeros(i, 2) + taxa);
  TZuvoECFAliquota& a = fAliquotas->Add();
  a.Indice = tipo + InteiroZeros(i, 2);
  a.Aliquota = Aliquota;
  a.Tipo = tipo[0];
}

void TZuvoECFQuattro::CarregaFormasPagamento() {
  TZuvoECFClass::CarregaFormasPagamento();
  // Ten records of 15 characters over two answers.
  const std::string r = EnviaComando("295");
  if (!Comeca(r, ".+T")) return;
  const std::string registros = CampoResposta(r, 72, 45, "FormasPagamento") +
                                CampoResposta(EnviaComando("296"), 8, 105, "FormasPagamento");
  for (int i = 1; i <= 10; i++) {
    const std::string descricao = TrimRight(Copy(registros, (i - 1) * 15 + 1, 15));
    if (descricao.empty()) continue;
    TZuvoECFFormaPagamento& f = fFormasPagamento->Add();
    f.Indice = InteiroZeros(i, 2);
    f.Descricao = descricao;
    f.PermiteVinculado = descricao[0] == '$';
  }
}

void TZuvoECFQuattro::ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado,
                                             const std::string&) {
  // The caller sees the 15 characters sent, the linked-receipt mark in front.
  Descricao = CompletaDireita((PermiteVinculado ? "$" : "") + TextoLivre(Descricao), 15);
  const std::string descricao = Descricao;
  TZuvoECFFormasPagamento& lista = FormasPagamento();  // loaded before it changes
  EnviaComando("37" + descricao);
  TZuvoECFFormaPagamento& f = lista.Add();
  f.Indice = InteiroZeros(lista.Count() - 1, 2);
  f.Descricao = descricao;
  f.PermiteVinculado = PermiteVinculado;
}

void TZuvoECFQuattro::CarregaComprovantesNaoFiscais() {
  TZuvoECFClass::CarregaComprovantesNaoFiscais();
  // Twenty records of 15 characters over three answers, all or none.
  std::string registros;
  const struct {
    const char* Cmd;
    int Tamanho;
  } partes[] = {{"297", 120}, {"298", 120}, {"299", 60}};
  for (const auto& p : partes) {
    const std::string r = EnviaComando(p.Cmd);
    if (!Comeca(r, ".+T")) return;
    registros += CampoResposta(r, 8, p.Tamanho, "ComprovantesNaoFiscais");
  }
  for (int i = 1; i <= 20; i++) {
    const std::string descricao = Trim(Copy(registros, (i - 1) * 15 + 1, 15));
    if (descricao.empty() || descricao == std::string(15, '-')) continue;
    TZuvoECFComprovanteNaoFiscal& c = fComprovantesNaoFiscais->Add();
    c.Indice = InteiroZeros(i + 10, 2);
    c.Descricao = descricao;
  }
}

void TZuvoECFQuattro::ProgramaComprovanteNaoFiscal(std::string& Descricao,
                                                   const std::string& Tipo, const std::string&) {
  std::string tipo = Trim(Tipo);
  if (tipo.empty()) tipo = "+";
  if (tipo != "&" && tipo != "+" && tipo != "-")
    throw Exception("Os Tipos válidos para Quattro são:" + CRLF +
                    "&  Criaçao de um novo Grupo (Titulo)" + CRLF + "+  Entrada de Recursos" +
                    CRLF + "-  Saida de Recursos" + CRLF + CRLF);
  TZuvoECFComprovantesNaoFiscais& lista = ComprovantesNaoFiscais();  // loaded before it changes
  const std::string registro = CompletaDireita(tipo + TextoLivre(Descricao), 15);
  EnviaComando("38N" + registro);
  // The printer lists the record as it is, its type in front.
  Descricao = Trim(registro);
  TZuvoECFComprovanteNaoFiscal& c = lista.Add();
  c.Indice = InteiroZeros(lista.Count() - 1, 2);
  c.Descricao = Descricao;
}

void TZuvoECFQuattro::FechaRelatorioRecarrega() {
  TZuvoECFClass::FechaRelatorioRecarrega();
  CarregaFormasPagamento();
  CarregaComprovantesNaoFiscais();
}

// ===========================================================================
// The receipt

void TZuvoECFQuattro::AbreCupom(const std::string& CPF_CNPJ) {
  ReiniciaMsgPoucoPapel();
  fEmPagamento = false;
  EnviaImpressao("17" + CompletaDireita(TextoLivre(CPF_CNPJ), 20), 10);
}

std::string TZuvoECFQuattro::Tributo(const std::string& AliquotaICMS) {
  std::string aliquota = AliquotaICMS;
  if (Comeca(aliquota, "TT") || Comeca(aliquota, "SS")) aliquota.erase(0, 1);
  switch (CharAt(aliquota, 1)) {
    case 'F': return "F  ";
    case 'I': return "I  ";
    case 'N': return "N  ";
    case 'S':
    case 'T': return aliquota.substr(0, 1) + CompletaEsquerda(Copy(aliquota, 2, 2), 2, '0');
    default: break;
  }
  return AchaAliquotaVenda(AliquotaICMS).Indice;
}

void TZuvoECFQuattro::VendeItem(const std::string& Codigo, const std::string& Descricao,
                                const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                                double DescontoPorc, const std::string& Unidade) {
  if (Qtd > 9999) throw EZuvoECFCMDInvalido("Quantidade deve ser inferior a 9999.");
  const std::string tributo = Tributo(AliquotaICMS);
  if (ArredondaPorQtd() && !Arredonda()) ArredondarPorQtd(Qtd, -2, ValorUnitario);

  std::string descricao = TextoLivre(Descricao);
  if (!Unidade.empty()) descricao += " " + CompletaDireita(TextoLivre(Unidade), 2);
  std::string extra;
  if (DescricaoGrande()) {
    extra = Trim(Copy(descricao, 24));
    if (!extra.empty())
      extra = CompletaDireita(extra, 40 * std::min(4, static_cast<int>(extra.size()) / 40 + 1));
  }
  // The discount is a share of the item's total as the printer prints it.
  std::string desconto;
  if (DescontoPorc > 0) {
    const double total = Arredonda() ? RoundTo(Qtd * ValorUnitario, -2)
                                     : TruncaPreciso(Qtd * ValorUnitario * 100) / 100.0;
    desconto = CampoNumerico(RoundTo(DescontoPorc / 100 * total, -2), 2, 12, "Desconto");
  }

  EnviaComando("01" + CompletaDireita(TextoLivre(Codigo), 13) +
               CampoNumerico(Qtd, 3, 7, "Quantidade") +
               CampoNumerico(ValorUnitario, 3, 9, "ValorUnitario") + std::string(12, ' ') + "~" +
               CompletaDireita(descricao, 23) + tributo + extra);
  fEmPagamento = false;
  if (!desconto.empty()) EnviaComando("02" + std::string(10, ' ') + desconto);
}

void TZuvoECFQuattro::SubtotalizaCupom(double DescontoAcrescimo, const std::string&) {
  if (DescontoAcrescimo > 0)
    EnviaComando("11  0000" + CampoNumerico(DescontoAcrescimo, 2, 11, "DescontoAcrescimo"), 3);
  else if (DescontoAcrescimo < 0)
    EnviaComando("03" + std::string(10, ' ') +
                     CampoNumerico(std::fabs(DescontoAcrescimo), 2, 12, "DescontoAcrescimo"),
                 3);
  fEmPagamento = true;
}

void TZuvoECFQuattro::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                      const std::string& Observacao, bool ImprimeVinculado) {
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  EnviaComando("10" + CodFormaPagto + CampoNumerico(Valor, 2, 12, "Valor") + "{" +
                   Copy(TextoLivre(Observacao), 1, 80),
               5, 5);
  fEmPagamento = true;
}

void TZuvoECFQuattro::FechaCupom(const std::string& Observacao) {
  std::string linhas;
  for (const std::string& l : SplitLines(AjustaLinhas(TextoLivre(Observacao, true), 8, false)))
    linhas += "0" + CompletaDireita(l, Colunas());
  EnviaImpressao("12" + linhas, 10);
  fEmPagamento = false;
}

void TZuvoECFQuattro::CancelaCupom() {
  try {
    EnviaImpressao("05", 25);
  } catch (const EZuvoECFSemResposta&) {
    // The printer does not cancel a receipt it is totalling: it is paid up
    // and closed, and then cancelled as the last receipt.
    if (Estado() != estPagamento) throw;
    const double saldo = RoundTo(SubTotal() - TotalPago(), -2);
    if (saldo > 0) EnviaComando("1001" + CampoNumerico(saldo, 2, 12, "SubTotal"));
    EnviaImpressao("12", 10);
    EnviaImpressao("05", 25);
  }
  fEmPagamento = false;
  FechaRelatorio();
}

void TZuvoECFQuattro::CancelaItemVendido(int NumItem) {
  EnviaComando("04" + CampoInteiro(NumItem, 3, "NumItem"));
}

void TZuvoECFQuattro::AbreGaveta() { EnviaComando("21", 7); }

// ===========================================================================
// Reports

void TZuvoECFQuattro::LeituraX() {
  fEmPagamento = false;
  EnviaImpressao("13N", 45);
}

void TZuvoECFQuattro::ReducaoZ(TDateTime DataHora) {
  fEmPagamento = false;
  EnviaImpressao("14N", 50);
  if (DataHora == 0) return;
  try {
    Sondagem sonda(*this);  // the clock setting after the Z may be refused
    EnviaComando("35" + FormatDateTime("hhnnssddmmyy", DataHora));
  } catch (const EZuvoECFNaoInicializado&) {
    throw;
  } catch (const Exception&) {
  }
}

void TZuvoECFQuattro::AbreRelatorioGerencial() { EnviaImpressao("13S", 50); }

void TZuvoECFQuattro::LinhaRelatorioGerencial(const std::string& Linha) {
  ImprimeLinhaALinha(TextoLivre(Linha, true), "080");
}

void TZuvoECFQuattro::AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                                         const std::string&, double) {
  const std::string coo = CampoInteiro(StrToInt(COO), 4, "COO");
  EnviaImpressao("1900" + coo + CodFormaPagto, 10);
}

void TZuvoECFQuattro::LinhaCupomVinculado(const std::string& Linha) {
  LinhaRelatorioGerencial(Linha);
}

void TZuvoECFQuattro::FechaRelatorio() {
  if (Comeca(EnviaComando("5605"), ".+05S")) EnviaImpressao("08", 10);
  // Only a non-fiscal receipt (a linked one) is closed here: a fiscal
  // receipt is closed by FechaCupom.
  const std::string r = EnviaComando("5606");
  if (Comeca(r, ".+06S") && CharAt(r, 7) == 'S') EnviaImpressao("12", 10);
}

void TZuvoECFQuattro::PulaLinhas(int NumLinhas) {
  if (NumLinhas == 0) NumLinhas = LinhasEntreCupons();
  EnviaComando("089" + IntToStr(std::clamp(NumLinhas, 0, 9)));
}

void TZuvoECFQuattro::LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
  const int dias = static_cast<int>(std::fabs(DateOf(DataFinal) - DateOf(DataInicial)));
  EnviaImpressao("16" + FormatDateTime("ddmmyy", DataInicial) + FormatDateTime("ddmmyy", DataFinal),
                 dias + 20);
}

void TZuvoECFQuattro::LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
  EnviaImpressao("15" + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                     CampoInteiro(ReducaoFinal, 4, "ReducaoFinal"),
                 std::abs(ReducaoFinal - ReducaoInicial) + 20);
}

void TZuvoECFQuattro::LeituraSerial(const std::string& Pedido, TStrings& Linhas) {
  Linhas.clear();
  Restaura<bool> retentar(Config().ReTentar);
  Restaura<int> inicioMsg(Config().TempoInicioMsg);
  Config().ReTentar = false;
  Config().TempoInicioMsg = 10;
  // The printer sends a line at each "++" until the end mark. A printer
  // that stops before it gives the time-out (or its refusal), never a
  // shortened reading.
  std::string coletado = EnviaComando(Pedido, 15);
  std::string parte = coletado;
  while (parte.find(kFimSerial) == std::string::npos) {
    parte = EnviaComando("++", 15);
    coletado += parte;
  }
  Linhas = LinhasSerial(coletado);
}

void TZuvoECFQuattro::LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                                 TStrings& Linhas) {
  LeituraSerial(
      "16" + FormatDateTime("ddmmyy", DataInicial) + FormatDateTime("ddmmyy", DataFinal) + "|",
      Linhas);
}

void TZuvoECFQuattro::LeituraMemoriaFiscalSerial(int ReducaoInicial, int ReducaoFinal,
                                                 TStrings& Linhas) {
  LeituraSerial("15" + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                    CampoInteiro(ReducaoFinal, 4, "ReducaoFinal") + "|",
                Linhas);
}

// ===========================================================================
// Check, clock, settings

void TZuvoECFQuattro::CarregaLayoutsCheque() {
  const std::string arquivo = PlataformaAtual().PastaPrograma() + "Formato_cheque.txt";
  std::error_code erro;
  if (!std::filesystem::exists(arquivo, erro)) {
    fLayoutsCheque = LayoutsPadrao();
    return;
  }
  fLayoutsCheque.clear();
  for (const std::string& linha : SplitLines(LeArquivo(arquivo)))
    if (!Trim(linha).empty()) fLayoutsCheque.push_back(Trim(linha));
}

std::string TZuvoECFQuattro::LayoutCheque(const std::string& Banco) const {
  const std::string banco = ZerosEsquerda(Trim(Banco), 3);
  for (const std::string& linha : fLayoutsCheque)
    if (Copy(linha, 1, 3) == banco) return SoDigitos(Copy(linha, 4));
  return "";
}

void TZuvoECFQuattro::ImprimeCheque(const std::string& Banco, double Valor,
                                    const std::string& Favorecido, const std::string& Cidade,
                                    TDateTime Data, const std::string& Observacao) {
  // Every field is checked before the first command reaches the printer.
  const std::string banco = CampoInteiro(StrToIntDef(Trim(Banco), 1), 3, "Banco");
  const std::string valor = CampoNumerico(std::fabs(Valor), 2, 12, "Valor");
  if (fLayoutsCheque.empty()) CarregaLayoutsCheque();
  const std::string obs = TextoLivre(Observacao);
  EnviaComando("5901" + Copy(TextoLivre(Favorecido), 1, 65));
  EnviaComando("5902" + Copy(TextoLivre(Cidade), 1, 30));
  EnviaComando("5903" + FormatDateTime("ddmmyy", Data));
  EnviaComando("5904" + valor);
  EnviaComando("5905" + Copy(obs, 1, 60));
  EnviaComando("5906" + Copy(obs, 61, 60));
  EnviaComando("5907Real");
  EnviaComando("5908Reais");
  EnviaImpressao("5909" + banco + "S" + LayoutCheque(banco), 30);
}

void TZuvoECFQuattro::CancelaImpressaoCheque() {
  throw EZuvoECFCMDInvalido("Impressora " + ModeloStr() + " não possui comando para " +
                            "cancelar a impressão de cheques. " + CRLF +
                            "Por favor desligue e ligue a impressora ou insira " + "um documento.");
}

void TZuvoECFQuattro::MudaHorarioVerao() { MudaHorarioVerao(!HorarioVerao()); }

void TZuvoECFQuattro::MudaHorarioVerao(bool EHorarioVerao) {
  EnviaComando("36" + SimNao(EHorarioVerao), 3);
}

void TZuvoECFQuattro::MudaArredondamento(bool Arredondar) {
  EnviaComando("5701" + SimNao(Arredondar), 3);
  fArredondaCache = ' ';
}

}  // namespace zuvo
