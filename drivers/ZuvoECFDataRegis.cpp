#include "drivers/ZuvoECFDataRegis.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "core/ZuvoIni.h"
#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

constexpr char EOT = 4;
constexpr char ACK = 6;
constexpr char BS = 8;
constexpr char SUB = 26;
constexpr char FE = static_cast<char>(0xFE);

// The error character of an answer that cannot be read, and of a status
// without one.
constexpr char kRespostaInvalida = 1;
constexpr char kSemErro = 'K';

const char* const kSecaoECF = "ECF";
const char* const kSecaoVariaveis = "Variaveis";
const char* const kSecaoItens = "Itens";
const char* const kFimItens = "*FIM*";

// The bank-check layouts this driver knows without "prgbco.txt": code (3),
// name (24), layout (20).
const char* const kBancos[] = {
    "001BANCO DO BRASIL S/A     02750412070010001325",
    "104CAIXA ECONOMICA FEDERAL 01750410060009001537",
    "341BANCO ITAU S/A          02800512070010001334",
};
constexpr int kTamanhoLinhaBanco = 47;

unsigned Byte(char c) { return static_cast<unsigned char>(c); }

std::string ChaveItem(size_t Indice) { return InteiroZeros(static_cast<int64_t>(Indice), 3); }

// Whole days between two dates.
int Dias(TDateTime De, TDateTime Ate) {
  return static_cast<int>(std::fabs(DateOf(Ate) - DateOf(De)));
}

}  // namespace

// ===========================================================================
// The protocol

std::string TZuvoECFDataRegis::PreparaComando(const std::string& Cmd, int Sequencia) {
  if (Cmd.empty()) return "";
  const std::string parametros = Cmd.substr(1);
  if (parametros.size() > 255)
    throw EZuvoECFCMDInvalido("Comando com mais de 255 bytes de parâmetros (" +
                              IntToStr(static_cast<int64_t>(parametros.size())) + ")");
  std::string quadro{FE, static_cast<char>(Sequencia), Cmd[0], static_cast<char>(parametros.size())};
  quadro += parametros;
  unsigned soma = 0;
  for (size_t i = 2; i < quadro.size(); i++) soma += Byte(quadro[i]);
  quadro += static_cast<char>(soma % 256);
  return quadro;
}

std::vector<TZuvoECFDataRegis::TBloco> TZuvoECFDataRegis::LeBlocos(const std::string& R,
                                                                   bool& Incompleto) {
  // The length byte says where the data ends. After it come the check byte
  // and CR; the last block adds SUB, after the check byte or before it. The
  // check byte, recomputed, tells which byte is which even when it equals
  // SUB or CR.
  std::vector<TBloco> blocos;
  Incompleto = false;
  size_t i = 0;
  while (i < R.size()) {
    if (R[i] != FE) {
      i++;  // a reply code between blocks
      continue;
    }
    if (i + 4 > R.size()) break;
    TBloco b;
    b.Letra = R[i + 2];
    const size_t n = Byte(R[i + 3]);
    const size_t p = i + 4 + n;  // first byte after the data
    if (p + 2 > R.size()) break;
    b.Dados = R.substr(i + 4, n);
    unsigned soma = Byte(b.Letra) + static_cast<unsigned>(n);
    for (char c : b.Dados) soma += Byte(c);
    const char esperado = static_cast<char>(soma % 256);
    const char t0 = R[p], t1 = R[p + 1];
    size_t fim = 0;  // one past the block's CR; 0 while incomplete
    if (t0 != SUB || t0 == esperado) {
      b.Integro = t0 == esperado;
      if (t1 == CR) {
        fim = p + 2;
      } else if (t1 == SUB) {
        b.Ultimo = true;
        if (p + 3 > R.size()) break;
        fim = p + 3;
        b.Integro = b.Integro && R[p + 2] == CR;
      } else {
        // Neither CR nor SUB after the check byte: a broken block, which
        // ends the answer.
        b.Ultimo = true;
        b.Integro = false;
        fim = p + 2;
      }
    } else {
      // SUB before the check byte.
      b.Ultimo = true;
      if (p + 3 > R.size()) break;
      b.Integro = t1 == esperado && R[p + 2] == CR;
      fim = p + 3;
    }
    blocos.push_back(b);
    i = fim;
    if (b.Ultimo) return blocos;
  }
  Incompleto = i < R.size();
  return blocos;
}

std::string TZuvoECFDataRegis::DesempacotaResposta(const std::string& Resposta, bool& Integro) {
  bool incompleto = false;
  const std::vector<TBloco> blocos = LeBlocos(Resposta, incompleto);
  Integro = !blocos.empty() && blocos.back().Ultimo;
  std::string dados;
  for (const TBloco& b : blocos) {
    Integro = Integro && b.Integro;
    dados += b.Dados;
  }
  return dados;
}

std::string TZuvoECFDataRegis::MensagemErro(char Codigo) {
  switch (Codigo) {
    case kSemErro: return "";
    case 1: return "Resposta do ECF inválida";
    case 2: return "Não foi possivel detectar o Erro";
    case 'A': return "Memoria Fiscal Trocada";
    case 'B': return "Buffer de impressão Cheia";
    case 'C': return "Comando Não Executado";
    case 'D': return "Desconto Acima do Permitido";
    case 'E': return "EPROM Fiscal Desconectada";
    case 'F': return "ERRO FISCAL";
    case 'G': return "Sem CNPJ;IE/CCM";
    case 'H': return "Quantidade ou´Número de Relatórios Gerenciais Inválido";
    case 'I': return "COMANDO INVÁLIDO";
    case 'J': return "Venda Sujeita ao ICMS sem Inscrição Estadual programada";
    case 'M': return "Memória Fiscal sem Logotipo";
    case 'N': return "ESTADO INVÁLIDO";
    case 'P': return "FIM DE PAPEL";
    case 'R': return "Redução Z Obrigatória";
    case 'S': return "Venda Sujeita ao ISSQN sem Inscrição Municipal Programada";
    case 'T': return "Indice do Tributo Inválido";
    case 'U': return "Unidade de Medida Inválida";
    case 'V': return "Valor Total do Item Acima do Permitido";
    case 'W': return "Falta Senha para Permitir Gravação da Senha do Primeiro Usuário";
    case 'X': return "Leitura X Obrigatória para abertura do Caixa";
    case 'Y': return "Tentativa de Redução Z com Data/Hora anterior a última redução Gravada";
    case 'Z': return "Redução Z Realizada";
    case 'a': return "Sem Número de Fabricação";
    case 'b': return "Item de Cancelamento não encontrado";
    case 'c': return "Cancelamento Acima do Limite";
    case 'd': return "Data Inválida";
    case 'e': return "Versão Incorreta do Software Básico";
    case 'f': return "Sem Cliche";
    case 'g': return "Quantidade ou Número de Comprovante Inválido";
    case 'h': return "Esgotado Número de Vias para o Vinculado";
    case 'i': return "DADOS DO COMANDO INVÁLIDO";
    case 'n': return "Número de Finalizadora Inválido";
    case 'p': return "Falha na Impressora";
    case 's': return "Desconto em Subtotal com Venda Sujeita ao ICMS/ISSQN não Permitido";
    case 't': return "Palavra TOTAL e/ou suas variantes encontrada";
    case 'v': return "Cancelamento do Cupom Totalizado em Zero";
    case 'y': return "Tentativa de Ajusta Relógio com Data/Hora anterior a última redução Gravada";
    case 'z': return "Esgotamento da Capacidade de Gravação de dados na MF";
    default: return "Erro Código (" + std::string(1, Codigo) + ")";
  }
}

std::string TZuvoECFDataRegis::ProximoQuadro(const std::string& Cmd) {
  if (Cmd.empty()) return "";
  fSequencia = fSequencia % 250 + 1;
  return PreparaComando(Cmd, fSequencia);
}

std::string TZuvoECFDataRegis::MontaQuadro(const std::string& Cmd) {
  fUltimoCodigo = 0;
  fLetra = CharAt(Cmd, 1);
  fBlocosConfirmados = 0;
  fStatusPedido = false;
  const std::string quadro = ProximoQuadro(Cmd);
  if (Cmd == "R") {
    // The status request is never retried.
    fReTentarGuardado = ReTentar();
    fRestauraReTentar = true;
    SetReTentar(false);
  }
  return quadro;
}

void TZuvoECFDataRegis::ReiniciaComando() {
  if (fRestauraReTentar) SetReTentar(fReTentarGuardado);
  fRestauraReTentar = false;
}

void TZuvoECFDataRegis::AposTransmitir() {
  if (!SinalCTS()) DefineRTS(false);
}

void TZuvoECFDataRegis::PedeStatus() {
  // As the printer expects it: the frame is built twice, the second one goes.
  ProximoQuadro("R");
  const std::string quadro = ProximoQuadro("R");
  EsvaziaPorta();
  EnviaDireto(quadro);
  fStatusPedido = true;
}

bool TZuvoECFDataRegis::VerificaFimLeitura(const std::string& Retorno) {
  if (Retorno.size() < 2) return false;
  if (Retorno[1] != CR) return Retorno.find(CR) != std::string::npos;  // no reply code
  switch (Retorno[0]) {
    case EOT:
      return true;
    case ACK:
      if (!fStatusPedido) {
        PedeStatus();
        return false;
      }
      if (Copy(Retorno, 3, 2) == std::string{EOT, CR}) return true;
      break;
    case BS:
      break;
    default:
      return true;  // an unknown reply code: DecodificaResposta refuses it
  }
  bool incompleto = false;
  const std::vector<TBloco> blocos = LeBlocos(Retorno, incompleto);
  // Each block is acknowledged once, when it is complete; the printer then
  // sends the next.
  for (; fBlocosConfirmados < blocos.size(); fBlocosConfirmados++) EnviaDireto(std::string(1, EOT));
  return !blocos.empty() && blocos.back().Ultimo;
}

bool TZuvoECFDataRegis::VerificaFimImpressao() {
  // The question has its own answer to read: the command's reading state
  // stays as it was.
  const size_t confirmados = fBlocosConfirmados;
  const bool statusPedido = fStatusPedido;
  fBlocosConfirmados = 0;
  fStatusPedido = false;
  std::string resposta;
  const bool completa = ConsultaDuranteImpressao(
      ProximoQuadro("R"), [this](const std::string& r) { return VerificaFimLeitura(r); }, resposta,
      1000);
  fBlocosConfirmados = confirmados;
  fStatusPedido = statusPedido;
  // A busy printer does not answer; "X" in the first byte is never a reply
  // code, and the state letter 'X' (a closed day) does not mean printing.
  return completa && CharAt(resposta, 1) != 'X';
}

TRespostaECF TZuvoECFDataRegis::DecodificaResposta(const std::string& Resposta) {
  TRespostaECF r;
  r.Quebra = std::string(1, LF);
  char codigo = kSemErro;
  fUltimoCodigo = CharAt(Resposta, 1);
  bool integro = true;
  switch (fUltimoCodigo) {
    case EOT:
      break;
    case ACK:
      // Not executed: the status that followed carries the error.
      r.Dados = DesempacotaResposta(Resposta, integro);
      codigo = integro && r.Dados.size() >= 6 ? r.Dados[5] : kRespostaInvalida;
      break;
    case BS:
      r.Dados = DesempacotaResposta(Resposta, integro);
      if (!integro || Resposta.size() < 5 || Resposta[4] != fLetra) codigo = kRespostaInvalida;
      break;
    default:
      codigo = kRespostaInvalida;
      break;
  }
  r.Erro = MensagemErro(codigo);
  if (r.Erro.empty()) {
    // The printer needs a rest after each command: longer for version 03.
    const int minimo = Versao03() ? 300 : 100;
    Descansa(std::max(0, minimo - IntervaloAposComando()));
  }
  return r;
}

// ----- Small command shapes -----

std::string TZuvoECFDataRegis::EnviaImpressao(const std::string& Cmd, int Segundos) {
  SetAguardaImpressao(true);
  return EnviaComando(Cmd, Segundos);
}

bool TZuvoECFDataRegis::Versao03() {
  return fNumVersaoCache.size() >= 2 && fNumVersaoCache.ends_with("03");
}

bool TZuvoECFDataRegis::Versao05() {
  return fNumVersaoCache.size() >= 2 && fNumVersaoCache.ends_with("05");
}

// ===========================================================================
// Construction and activation

TZuvoECFDataRegis::TZuvoECFDataRegis(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config) {
  SetNomeModelo("DataRegis");
  SetColunas(40);
  Device.SetHandShake(hsDTR_DSR);
}

TZuvoECFDataRegis::~TZuvoECFDataRegis() = default;

void TZuvoECFDataRegis::Ativar() {
  ExigePortaSerial("Esse modelo de impressora", std::string(1, LF));
  Device().SetHandShake(hsDTR_DSR);
  TZuvoECFClass::Ativar();
  fNumVersaoCache.clear();
  fNumSerieCache.clear();
  fNumECFCache.clear();
  fUltimoCodigo = 0;
  fCupomPendente = false;
  fArquivoEstado.clear();
  try {
    if (NumVersao().empty())
      throw EZuvoECFNaoInicializado("Erro inicializando a impressora " + NomeModelo());
    fArquivoEstado = NomeArquivoEstado();
    CarregaEstadoCupom();
  } catch (...) {
    Desativar();
    throw;
  }
}

void TZuvoECFDataRegis::Desativar() {
  fCupomPendente = false;
  TZuvoECFClass::Desativar();
}

// ===========================================================================
// Identification and state

std::string TZuvoECFDataRegis::NumVersao() {
  if (!fNumVersaoCache.empty()) return fNumVersaoCache;
  // Version 03 answers "PS"; the later ones refuse it and answer "l".
  const std::pair<const char*, int> consultas[] = {{"PS", 1}, {"l", 39}};
  for (const auto& [cmd, inicio] : consultas) {
    try {
      Sondagem sonda(*this);
      fNumVersaoCache = Trim(Copy(EnviaComando(cmd), inicio, 5));
    } catch (const EZuvoECFNaoInicializado&) {
      throw;
    } catch (const Exception&) {
      fNumVersaoCache.clear();
    }
    if (!fNumVersaoCache.empty()) break;
  }
  return fNumVersaoCache;
}

std::string TZuvoECFDataRegis::NumECF() {
  if (fNumECFCache.empty())
    fNumECFCache = Versao03() ? CampoResposta(EnviaComando("PS"), 7, 3, "NumECF")
                              : CampoResposta(EnviaComando("l"), 15, 3, "NumECF");
  return fNumECFCache;
}

std::string TZuvoECFDataRegis::NumSerie() {
  fNumSerieCache = Versao03() ? Trim(CampoResposta(EnviaComando("PS"), 14, 6, "NumSerie"))
                              : Trim(CampoResposta(EnviaComando("l"), 32, 7, "NumSerie"));
  return fNumSerieCache;
}

std::string TZuvoECFDataRegis::NumCRO() {
  if (!Versao05()) return "";
  return CampoResposta(EnviaComando("o"), 1, 3, "NumCRO");
}

TDateTime TZuvoECFDataRegis::DataHora() {
  const std::string r = EnviaComando("d");
  const std::string data = CampoResposta(r, 1, 8, "DataHora");  // dd/mm/yy
  const std::string hora = CampoResposta(r, 10, 2, "DataHora") + CampoResposta(r, 13, 2, "DataHora");
  try {
    return LeDataHora(data + hora + "00", "ddmmyyhhnnss");
  } catch (const Exception&) {
    ErroImpressora(MensagemErro(kRespostaInvalida), std::string(1, LF));
  }
}

std::string TZuvoECFDataRegis::NumCupom() {
  const std::string r = EnviaComando("d");
  return Versao03() ? CampoResposta(r, 16, 6, "NumCupom") : CampoResposta(r, 15, 6, "NumCupom");
}

bool TZuvoECFDataRegis::HorarioVerao() {
  const std::string r = EnviaComando("d");
  return CampoResposta(r, Versao03() ? 15 : 9, 1, "HorarioVerao") == "V";
}

TZuvoECFEstado TZuvoECFDataRegis::Estado() {
  if (!Ativo()) {
    SetEstadoCampo(estNaoInicializada);
    return estNaoInicializada;
  }
  const std::string r = EnviaComando("R");
  if (r.empty()) return EstadoCampo();
  TZuvoECFEstado estado = estDesconhecido;
  switch (r[0]) {
    case 'A': estado = estRequerX; break;
    case 'F': estado = estPagamento; break;
    case 'L': estado = estLivre; break;
    case 'O': estado = estRequerZ; break;
    case 'R': estado = estRelatorio; break;
    case 'V': estado = estVenda; break;
    case 'X': estado = estBloqueada; break;
    default: break;
  }
  // A receipt the program opened is open for it, though the printer opens
  // it only with the first item.
  if (estado == estLivre && fCupomPendente) estado = estVenda;
  SetEstadoCampo(estado);
  return estado;
}

bool TZuvoECFDataRegis::GavetaAberta() {
  return CampoResposta(EnviaComando("R"), 4, 1, "GavetaAberta") != "N";
}

bool TZuvoECFDataRegis::PoucoPapel() {
  return CampoResposta(EnviaComando("R"), 2, 1, "PoucoPapel") == "N";
}

double TZuvoECFDataRegis::SubTotal() {
  // 'S' and what is still due, or 'T' and the change.
  const std::string r = EnviaComando("C");
  const std::string digitos = Copy(r, 2, 14);
  if (digitos.size() != 14 || SoDigitos(digitos) != digitos) return 0;
  const double valor = static_cast<double>(StrToInt(digitos)) / 100 + fDescontoAcrescimo;
  switch (CharAt(r, 1)) {
    case 'S': return RoundTo(fTotalPago + valor, -2);
    case 'T': return RoundTo(fTotalPago - valor, -2);
    default: return 0;
  }
}

// ===========================================================================
// Tables

void TZuvoECFDataRegis::CarregaAliquotas() {
  TZuvoECFClass::CarregaAliquotas();
  auto adiciona = [this](const std::string& Registro, int Indice) {
    TZuvoECFAliquota& a = fAliquotas->Add();
    a.Tipo = CharAt(Registro, 1);
    a.Aliquota = static_cast<double>(StrToIntDef(Copy(Registro, 2, 4), 0)) / 100;
    a.Indice = InteiroZeros(Indice, 2);
  };
  if (Versao03()) {
    // The count, then five characters a rate.
    const std::string r = EnviaComando("Q");
    const int n = static_cast<int>(StrToIntDef(Copy(r, 1, 2), 0));
    for (int i = 0; i < n && 5 * i + 7 <= static_cast<int>(r.size()); i++) adiciona(Copy(r, 5 * i + 3, 5), i);
    return;
  }
  // Records of 33, then 14 characters that are not a rate.
  std::string r = EnviaComando("p");
  r = Copy(r, 1, static_cast<int>(r.size()) - 14);
  for (int i = 0; 33 * (i + 1) <= static_cast<int>(r.size()); i++) adiciona(Copy(r, 33 * i + 1, 33), i);
}

void TZuvoECFDataRegis::ProgramaAliquota(double Aliquota, char Tipo, const std::string&) {
  EnviaComando("Z01" + std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(Tipo)))) +
                   CampoNumerico(Aliquota, 2, 4, "Aliquota"),
               20);
  CarregaAliquotas();
}

void TZuvoECFDataRegis::CarregaFormasPagamento() {
  TZuvoECFClass::CarregaFormasPagamento();
  if (Versao03()) {
    // 32 slots of 30 characters; an empty one is blank.
    const std::string r = StringReplace(EnviaComando("f"), std::string(1, LF), "");
    for (int i = 1; i <= 32; i++) {
      const std::string registro = Trim(Copy(r, 30 * i - 29, 16));
      if (registro.empty()) continue;
      TZuvoECFFormaPagamento& f = fFormasPagamento->Add();
      f.Indice = InteiroZeros(i - 1, 2);
      f.Descricao = Trim(Copy(registro, 3, 14));
      f.PermiteVinculado = true;
    }
    return;
  }
  const std::string r = StringReplace(EnviaComando("L"), std::string(1, LF), "");
  for (int i = 0; 29 * (i + 1) <= static_cast<int>(r.size()); i++) {
    const std::string registro = Copy(r, 29 * i + 1, 29);
    TZuvoECFFormaPagamento& f = fFormasPagamento->Add();
    f.Descricao = Trim(Copy(registro, 1, 14));
    f.PermiteVinculado = CharAt(registro, 15) == 'T';
    f.Indice = InteiroZeros(i, 2);
  }
}

void TZuvoECFDataRegis::ProgramaFormaPagamento(std::string& Descricao, bool PermiteVinculado,
                                               const std::string&) {
  if (AchaFPGDescricao(Descricao)) throw Exception("Forma de Pagamento já cadastrada");
  const std::string descricao = CompletaDireita(Trim(Descricao), 14);
  if (Versao03())
    EnviaComando("t01" + descricao + "/");
  else
    EnviaComando("t01" + std::string(PermiteVinculado ? "T" : "N") + descricao + "01");
  TZuvoECFFormaPagamento& f = FormasPagamento().Add();
  f.Indice = InteiroZeros(FormasPagamento().Count() - 1, 2);
  f.Descricao = Trim(descricao);
  f.PermiteVinculado = PermiteVinculado;
  Descricao = f.Descricao;
}

void TZuvoECFDataRegis::CarregaComprovantesNaoFiscais() {
  TZuvoECFClass::CarregaComprovantesNaoFiscais();
  if (Versao03()) return;
  const std::string r = EnviaComando("q", 5);
  for (int i = 0; 24 * (i + 1) <= static_cast<int>(r.size()); i++) {
    TZuvoECFComprovanteNaoFiscal& c = fComprovantesNaoFiscais->Add();
    c.Descricao = Trim(Copy(r, 24 * i + 1, 20));
    c.Indice = InteiroZeros(i + 1, 2);
  }
}

void TZuvoECFDataRegis::ProgramaComprovanteNaoFiscal(std::string& Descricao,
                                                     const std::string&, const std::string&) {
  EnviaComando("e01" + CompletaDireita(Descricao, 20) + "01");
  CarregaComprovantesNaoFiscais();
  Descricao = Trim(CompletaDireita(Descricao, 20));
}

void TZuvoECFDataRegis::CarregaUnidadesMedida() {
  TZuvoECFClass::CarregaUnidadesMedida();
  if (!Versao05()) return;
  const std::string r = EnviaComando("m", 5);
  for (int i = 0; 4 * (i + 1) <= static_cast<int>(r.size()); i++) {
    TZuvoECFUnidadeMedida& u = fUnidadesMedida->Add();
    u.Indice = InteiroZeros(StrToIntDef(Copy(r, 4 * i + 1, 2), 0), 2);
    u.Descricao = Trim(Copy(r, 4 * i + 3, 2));
  }
}

void TZuvoECFDataRegis::ProgramaUnidadeMedida(const std::string& Descricao) {
  if (!Versao05()) return;
  const std::string unidade = CompletaDireita(Descricao, 2);
  if (AchaUMDDescricao(unidade)) return;
  EnviaComando("s01" + unidade);
  CarregaUnidadesMedida();
}

// ===========================================================================
// Receipt

void TZuvoECFDataRegis::AbreCupom(const std::string&) {
  if (Estado() != estLivre) return;
  ReiniciaEstadoCupom();
  fCupomPendente = true;
}

std::string TZuvoECFDataRegis::CodigoAliquota(const std::string& AliquotaICMS) {
  const char letra = CharAt(AliquotaICMS, 1);
  if (letra == 'F' || letra == 'I' || letra == 'N') {
    // The slot the printer keeps for that kind.
    for (auto& a : Aliquotas())
      if (a->Tipo == letra) return a->Indice;
    throw EZuvoECFCMDInvalido("Aliquota nao encontrada: " + AliquotaICMS);
  }
  if (letra == 'S' || letra == 'T') return CompletaEsquerda(Copy(AliquotaICMS, 2, 2), 2, '0');
  return AchaAliquotaVenda(AliquotaICMS).Indice;
}

std::string TZuvoECFDataRegis::IndiceUnidade(const std::string& Unidade) {
  TZuvoECFUnidadeMedida* u = AchaUMDDescricao(Unidade);
  if (!u) u = AchaUMDDescricao("UN");
  if (!u) throw Exception("Unidade de Medida não cadastrada");
  return CompletaEsquerda(u->Indice, 2, '0');
}

void TZuvoECFDataRegis::VendeItem(const std::string& Codigo, const std::string& Descricao,
                                  const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                                  double DescontoPorc, const std::string& Unidade) {
  if (Qtd > 999.999) throw EZuvoECFCMDInvalido("Quantidade deve ser inferior a 9999.");
  const std::string aliquota = CodigoAliquota(AliquotaICMS);
  if (ArredondaPorQtd()) ArredondarPorQtd(Qtd, -2, ValorUnitario);
  const std::string unidade = CompletaDireita(Unidade, 2);
  std::string codigo = Trim(Codigo);
  if (codigo.size() < 6) codigo = CompletaEsquerda(codigo, 6, '0');

  // The record goes to the state file and comes back to cancel the item: a
  // line break in it would not survive the file.
  std::string descricao = Trim(Descricao);
  for (char& c : descricao)
    if (c == CR || c == LF) c = ' ';
  const int numero = static_cast<int>(fItens.size()) + 1;
  std::string campo = codigo + " " + CampoInteiro(numero, 3, "NumItem") + " " + descricao;
  campo = CompletaDireita(campo, DescricaoGrande() && campo.size() > 36 ? 76 : 36);

  // Prices with three decimals go with the letter 'a' and the trailer 'A'.
  const bool tresCasas = RoundTo(ValorUnitario, -2) != ValorUnitario;
  std::string registro = campo + aliquota + CampoNumerico(Qtd, 3, 6, "Qtd") +
                         CampoNumerico(ValorUnitario, tresCasas ? 3 : 2, 9, "ValorUnitario") +
                         CampoNumerico(DescontoPorc, 2, 4, "DescontoPorc");
  std::string cmd = (tresCasas ? "a" : "A") + registro + (tresCasas ? "A" : "");
  if (Versao05()) {
    const std::string indice = IndiceUnidade(unidade);
    registro += indice;
    cmd += indice;
  }

  // The first item opens the receipt.
  if (fItens.empty())
    EnviaImpressao(cmd, 10);
  else
    EnviaComando(cmd);

  fCupomPendente = false;
  fDescontoAcrescimo = 0;
  fTotalPago = 0;
  fItens.push_back(registro);
  fTotalAcumulado += tresCasas ? RoundTo(Qtd * ValorUnitario, -2)
                               : static_cast<double>(TruncaPreciso(Qtd * ValorUnitario * 100)) / 100;
  fTotalAcumulado = RoundTo(fTotalAcumulado, -2);
  if (fItens.size() == 1)
    GravaEstadoCupom();
  else
    GravaItem(static_cast<int>(fItens.size()) - 1);
}

void TZuvoECFDataRegis::SubtotalizaCupom(double DescontoAcrescimo, const std::string& MensagemRodape) {
  if (fTotalPago != 0) throw Exception("SubTotalizaCupom já efetuado");
  if (!Trim(MensagemRodape).empty()) {
    // Six footer lines: 'S' and the line, or 'N' and blanks.
    const TStrings linhas = SplitLines(AjustaLinhas(MensagemRodape, 6));
    std::string cmd = "S";
    for (size_t i = 0; i < 6; i++)
      cmd += i < linhas.size() ? "S" + CompletaDireita(linhas[i], Colunas())
                               : "N" + std::string(static_cast<size_t>(std::max(Colunas(), 0)), ' ');
    EnviaComando(cmd);
  }
  fDescontoAcrescimo = RoundTo(DescontoAcrescimo, -2);
  fTotalPago = 0;
  GravaEstadoCupom();
}

void TZuvoECFDataRegis::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                        const std::string& Observacao, bool ImprimeVinculado) {
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  const std::string observacao = Versao03() ? CompletaDireita(Observacao, 18) : "";
  const std::string valor = CampoNumerico(Valor, 2, 14, "Valor");
  if (fDescontoAcrescimo != 0)
    EnviaImpressao("c" + CodFormaPagto + observacao + valor +
                       CampoNumerico(std::fabs(fDescontoAcrescimo), 2, 14, "DescontoAcrescimo") +
                       (fDescontoAcrescimo > 0 ? "A" : "D"),
                   15);
  else
    EnviaImpressao("D" + CodFormaPagto + observacao + valor, 15);
  // What was paid: the adjustment went with the payment, it is not paid.
  fTotalAcumulado = 0;
  fTotalPago = RoundTo(fTotalPago + Valor, -2);
  fDescontoAcrescimo = 0;
  GravaEstadoCupom();
}

void TZuvoECFDataRegis::FechaCupom(const std::string&) { ReiniciaEstadoCupom(); }

void TZuvoECFDataRegis::CancelaCupom() {
  const bool pendente = fCupomPendente;
  const TZuvoECFEstado estado = Estado();
  if (pendente && estado == estVenda && fItens.empty()) {
    // Opened by AbreCupom only: the printer has nothing to cancel.
    ReiniciaEstadoCupom();
    return;
  }
  bool cancela = true;
  if (estado == estVenda) {
    // The printer cancels only a closed receipt: pay it first.
    const double subtotal = SubTotal();
    SubtotalizaCupom(0, "");
    EfetuaPagamento("00", subtotal);
    cancela = subtotal != 0;
  } else if (estado == estPagamento) {
    EfetuaPagamento("00", SubTotal());
  }
  if (cancela) EnviaImpressao("F", 20);
  ReiniciaEstadoCupom();
}

void TZuvoECFDataRegis::CancelaItemVendido(int NumItem) {
  if (NumItem < 1 || static_cast<size_t>(NumItem) > fItens.size()) {
    const std::string numero = IntToStr(NumItem);
    throw Exception("Item (" + (NumItem >= 0 ? ZerosEsquerda(numero, std::max<int>(3, static_cast<int>(numero.size()))) : numero) +
                    ") não encontrado");
  }
  EnviaComando("b" + fItens[static_cast<size_t>(NumItem) - 1]);
  fTotalAcumulado = SubTotal();
  TZuvoIniFile ini(fArquivoEstado);
  ini.WriteFloat(kSecaoVariaveis, "TotalAcumulado", fTotalAcumulado);
  ini.UpdateFile();
}

void TZuvoECFDataRegis::AbreGaveta() { EnviaComando("N"); }

// ===========================================================================
// Reports

void TZuvoECFDataRegis::LeituraX() {
  if (Versao03())
    EnviaImpressao("GNS", 75);
  else
    EnviaImpressao("G", 33);
  ReiniciaEstadoCupom();
}

void TZuvoECFDataRegis::ReducaoZ(TDateTime) {
  if (Versao03())
    EnviaImpressao("HN", 145);
  else
    EnviaImpressao("H", 35);
  ReiniciaEstadoCupom();
}

void TZuvoECFDataRegis::AbreRelatorioGerencial() {
  const std::string linha(static_cast<size_t>(std::max(Colunas(), 0)), ' ');
  if (Versao03())
    EnviaImpressao("j" + linha, 75);
  else
    EnviaImpressao("j00" + linha, 15);
}

void TZuvoECFDataRegis::LinhaRelatorioGerencial(const std::string& Linha) {
  ImprimeLinhaALinha(Linha, Versao03() ? "j" : "j00");
}

void TZuvoECFDataRegis::AbreCupomVinculado(const std::string&, const std::string& CodFormaPagto,
                                           const std::string& CodComprovanteNaoFiscal, double) {
  if (!AchaFPGIndice(CodFormaPagto))
    throw Exception("Forma de Pagamento: " + CodFormaPagto + " não foi cadastrada.");
  if (Versao03()) {
    EnviaImpressao("J" + CodFormaPagto + std::string(38, ' '), 15);
    return;
  }
  const std::string tipo = CodComprovanteNaoFiscal.empty() ? "00" : CodComprovanteNaoFiscal;
  EnviaImpressao("J" + tipo + std::string(40, ' '), 15);
}

void TZuvoECFDataRegis::LinhaCupomVinculado(const std::string& Linha) {
  ImprimeLinhaALinha(Linha, Versao03() ? "J" : "J00");
}

void TZuvoECFDataRegis::FechaRelatorio() {
  if (Estado() != estRelatorio) return;
  try {
    Sondagem sonda(*this);  // a linked receipt refuses the managerial close
    EnviaImpressao("k", 15);
    return;
  } catch (const EZuvoECFNaoInicializado&) {
    throw;
  } catch (const Exception&) {
  }
  EnviaImpressao("K", 15);
}

void TZuvoECFDataRegis::LeituraMemoriaFiscal(TDateTime DataInicial, TDateTime DataFinal) {
  if (Versao03()) throw Exception("Essa Impressora Fiscal não possui este recurso");
  EnviaImpressao("IN" + FormatDateTime("ddmmyy", DataInicial) + FormatDateTime("ddmmyy", DataFinal),
                 Dias(DataInicial, DataFinal) + 20);
}

void TZuvoECFDataRegis::LeituraMemoriaFiscal(int ReducaoInicial, int ReducaoFinal) {
  EnviaImpressao("iN" + CampoInteiro(ReducaoInicial, 4, "ReducaoInicial") +
                     CampoInteiro(ReducaoFinal, 4, "ReducaoFinal"),
                 (ReducaoFinal - ReducaoInicial) / 2 + 10);
}

void TZuvoECFDataRegis::LeituraMemoriaFiscalSerial(TDateTime DataInicial, TDateTime DataFinal,
                                                   TStrings& Linhas) {
  if (Versao03()) throw Exception("Essa Impressora Fiscal não possui este recurso");
  Linhas.clear();
  Linhas = SplitLines(EnviaImpressao("IS" + FormatDateTime("ddmmyy", DataInicial) +
                                         FormatDateTime("ddmmyy", DataFinal),
                                     Dias(DataInicial, DataFinal) / 2 + 10));
}

void TZuvoECFDataRegis::LeituraMemoriaFiscalSerial(int, int, TStrings&) {
  throw Exception("Impressora fiscal não possui este recurso");
}

// ===========================================================================
// Check and clock

const std::vector<std::string>& TZuvoECFDataRegis::Bancos() {
  if (!fBancosCarregados) {
    const std::string arquivo = PlataformaAtual().PastaPrograma() + "prgbco.txt";
    if (ArquivoExiste(arquivo))
      fBancos = SplitLines(LeArquivo(arquivo));
    else
      fBancos.assign(std::begin(kBancos), std::end(kBancos));
    fBancosCarregados = true;
  }
  return fBancos;
}

void TZuvoECFDataRegis::ImprimeCheque(const std::string& Banco, double Valor,
                                      const std::string& Favorecido, const std::string& Cidade,
                                      TDateTime Data, const std::string&) {
  // A code longer than three characters names no bank (it is not cut).
  std::string banco = Trim(Banco);
  if (banco.size() < 3) banco = CompletaEsquerda(banco, 3, '0');
  std::string layout;
  for (const std::string& linha : Bancos())
    if (static_cast<int>(linha.size()) >= kTamanhoLinhaBanco && Copy(linha, 1, 3) == banco) {
      layout = Copy(linha, 28, 20);
      break;
    }
  if (layout.empty()) throw Exception("Modelo de cheque do Banco: " + Banco + " não encontrado");
  EnviaImpressao("UA" + layout + CampoNumerico(std::fabs(Valor), 2, 14, "Valor") +
                     CompletaDireita(Favorecido, 50) + CompletaDireita(Cidade, 20) +
                     FormatDateTime("ddmmyy", Data),
                 30);
}

void TZuvoECFDataRegis::CancelaImpressaoCheque() {
  throw Exception("Impressora " + ModeloStr() + " não possui comando para " +
                  "cancelar a impressão de cheques. " + "\r\n" +
                  "Por favor desligue e ligue a impressora ou insira " + "um documento.");
}

void TZuvoECFDataRegis::MudaHorarioVerao() {
  int hora = 0, minuto = 0, segundo = 0, milissegundo = 0;
  DecodeTime(DataHora(), hora, minuto, segundo, milissegundo);
  if (HorarioVerao()) {
    if (hora < 23)
      throw Exception(std::string("Não é possível retornar do horário de verão.") + CR +
                      "Aguarde ate as 00:00 para poder alterar.");
    EnviaImpressao("TD", 10);
    return;
  }
  if (hora < 1)
    throw Exception(std::string("Não é possível mudar para o horário de verão.") + CR +
                    "Aguarde ate a hora 01:00 para poder alterar");
  EnviaImpressao("TA", 10);
}

void TZuvoECFDataRegis::MudaHorarioVerao(bool EHorarioVerao) {
  if (HorarioVerao() != EHorarioVerao) MudaHorarioVerao();
}

// ===========================================================================
// The receipt state beside the executable

std::string TZuvoECFDataRegis::NomeArquivoEstado() {
  // The number comes from the printer: only letters and digits reach the
  // file name.
  std::string ecf = Trim(NumECF());
  for (char& c : ecf)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  if (ecf.size() < 3) ecf = CompletaEsquerda(ecf, 3, '0');
  return PlataformaAtual().PastaPrograma() + "ZuvoECFDataRegis" + ecf + ".ini";
}

void TZuvoECFDataRegis::GravaEstadoCupom() {
  if (fArquivoEstado.empty()) return;
  if (fNumSerieCache.empty()) NumSerie();
  // Items can no longer be cancelled once a payment was made.
  if (fTotalPago != 0) fItens.clear();
  TZuvoIniFile ini(fArquivoEstado);
  ini.WriteString(kSecaoECF, "NumECF", NumECF());
  ini.WriteString(kSecaoECF, "NumSerie", fNumSerieCache);
  ini.WriteFloat(kSecaoVariaveis, "TotalPago", fTotalPago);
  ini.WriteFloat(kSecaoVariaveis, "DescontoAcrescimo", fDescontoAcrescimo);
  ini.WriteFloat(kSecaoVariaveis, "TotalAcumulado", fTotalAcumulado);
  ini.EraseSection(kSecaoItens);
  for (size_t i = 0; i < fItens.size(); i++) ini.WriteString(kSecaoItens, ChaveItem(i), fItens[i]);
  ini.UpdateFile();
}

void TZuvoECFDataRegis::GravaItem(int Indice) {
  if (fArquivoEstado.empty()) return;
  TZuvoIniFile ini(fArquivoEstado);
  ini.WriteFloat(kSecaoVariaveis, "TotalAcumulado", fTotalAcumulado);
  ini.WriteString(kSecaoItens, ChaveItem(static_cast<size_t>(Indice)),
                  fItens[static_cast<size_t>(Indice)]);
  ini.UpdateFile();
}

void TZuvoECFDataRegis::LimpaEstadoCupom() {
  fItens.clear();
  fTotalPago = 0;
  fDescontoAcrescimo = 0;
  fTotalAcumulado = 0;
  fCupomPendente = false;
}

void TZuvoECFDataRegis::CarregaEstadoCupom() {
  LimpaEstadoCupom();
  const TZuvoECFEstado estado = Estado();
  if (!ArquivoExiste(fArquivoEstado)) {
    if (estado == estVenda) fTotalAcumulado = SubTotal();
    return;
  }
  TZuvoIniFile ini(fArquivoEstado);
  // A file of another printer is left alone.
  if (ini.ReadString(kSecaoECF, "NumECF", "") != NumECF() ||
      ini.ReadString(kSecaoECF, "NumSerie", "") != NumSerie())
    return;
  fTotalPago = ini.ReadFloat(kSecaoVariaveis, "TotalPago", 0);
  fDescontoAcrescimo = ini.ReadFloat(kSecaoVariaveis, "DescontoAcrescimo", 0);
  fTotalAcumulado = ini.ReadFloat(kSecaoVariaveis, "TotalAcumulado", 0);
  if (fTotalAcumulado > 0) {
    const double subtotal = SubTotal();
    if (subtotal != fTotalAcumulado) fTotalAcumulado = subtotal;
  }
  if (estado == estVenda) {
    for (size_t i = 0;; i++) {
      const std::string registro = ini.ReadString(kSecaoItens, ChaveItem(i), kFimItens);
      if (registro == kFimItens) break;
      fItens.push_back(registro);
    }
    return;
  }
  ini.EraseSection(kSecaoItens);
  ini.WriteFloat(kSecaoVariaveis, "TotalAcumulado", 0);
  fTotalAcumulado = 0;
  ini.UpdateFile();
}

void TZuvoECFDataRegis::ReiniciaEstadoCupom() {
  LimpaEstadoCupom();
  GravaEstadoCupom();
}

}  // namespace zuvo
