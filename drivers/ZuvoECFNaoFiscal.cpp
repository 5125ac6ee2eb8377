#include "drivers/ZuvoECFNaoFiscal.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "core/ZuvoIni.h"
#include "core/ZuvoPlataforma.h"
#include "core/ZuvoUI.h"

namespace zuvo {

namespace {

const char* const kVersao = "0.8.5b";
const char* const kNaoEFiscal = "** N A O   E   C U P O M   F I S C A L **";
const char* const kFim = "*FIM*";
const char* const kVariaveis = "Variaveis";
// First word of a journal in the buffer file.
const char* const kDiario = "#DIARIO";
const char* const kAvisoLegal =
    "Este Emulador destina-se EXCLUSIVAMENTE para auxiliar no desenvolvimento de aplicativos "
    "para as impressoras fiscais. \r\n\r\nUsar o emulador para fins comerciais sem a devida "
    "impressão do Cupom Fiscal ou Nota Fiscal pode caracterizar crime de Sonegação "
    "Fiscal.\r\n\r\nContinua com o uso do Emulador ?";

// The drawer pulse most receipt printers understand: ESC 'v' 150.
const std::string kGavetaPadrao = "\x1bv\x96";
// A hand-edited column count outside this range would break the wrapping.
constexpr int kColunasMin = 10;
constexpr int kColunasMax = 255;
constexpr int kColunasPadrao = 48;

// The sections rewritten from memory on every save: prefix + position.
const char* const kSecoesLista[] = {"Item_Cupom", "Pagamento_Cupom", "Forma_Pagamento",
                                    "Comprovante_nao_Fiscal", "Aliquota"};

bool EhSecaoDeLista(const std::string& Nome) {
  for (const char* prefixo : kSecoesLista) {
    const std::string p = prefixo;
    if (Nome.size() > p.size() && SameText(Nome.substr(0, p.size()), p)) {
      const std::string resto = Nome.substr(p.size());
      if (SoDigitos(resto) == resto) return true;
    }
  }
  return false;
}

std::string SecaoItem(int i) { return "Item_Cupom" + InteiroZeros(i, 3); }
std::string SecaoPagamento(int i) { return "Pagamento_Cupom" + InteiroZeros(i, 2); }
std::string SecaoFPG(int i) { return "Forma_Pagamento" + InteiroZeros(i, 2); }
std::string SecaoCNF(int i) { return "Comprovante_nao_Fiscal" + InteiroZeros(i, 2); }
std::string SecaoAliquota(int i) { return "Aliquota" + InteiroZeros(i, 2); }
std::string ChaveLinha(int i) { return "LIN" + InteiroZeros(i, 3); }

// A counter in at least Minimo digits, never cut: InteiroZeros alone keeps the
// left digits of a number that does not fit.
std::string Contador(int64_t Valor, int Minimo) {
  return InteiroZeros(Valor, std::max<int>(Minimo, static_cast<int>(IntToStr(Valor).size())));
}

std::string Dinheiro(double Valor) { return FormatFloat("#,###,##0.00", Valor); }

// Builds the state file section after section (the file is replaced whole).
class EscritorIni {
 public:
  void Secao(const std::string& Nome) {
    fSecao = Nome;
    fIni.AddSection(Nome);
  }
  void Chave(const std::string& Nome, const std::string& Valor) {
    fIni.WriteString(fSecao, Nome, Valor);
  }
  void Chave(const std::string& Nome, int64_t Valor) { fIni.WriteInteger(fSecao, Nome, Valor); }
  void Numero(const std::string& Nome, double Valor) { fIni.WriteFloat(fSecao, Nome, Valor); }
  void Logico(const std::string& Nome, bool Valor) { fIni.WriteBool(fSecao, Nome, Valor); }
  void Data(const std::string& Nome, TDateTime Valor) { fIni.WriteDate(fSecao, Nome, Valor); }
  std::string Texto() const { return fIni.Texto(); }

 private:
  TZuvoIniFile fIni;
  std::string fSecao;
};

}  // namespace

// ---------------------------------------------------------------------------
// The print buffer

TZuvoECFNaoFiscalDiario TZuvoECFNaoFiscalBuffer::Le() const {
  TZuvoECFNaoFiscalDiario d;
  const std::string conteudo = LeArquivo(fArquivo);
  if (conteudo.rfind(kDiario, 0) != 0) {
    // Lines only: composed but not printed, with no state of their own.
    d.Texto = conteudo;
    return d;
  }
  const size_t fimCabecalho = conteudo.find(CRLF);
  std::istringstream cabecalho(conteudo.substr(0, fimCabecalho));
  std::string marca;
  int64_t texto = -1, estado = -1;
  cabecalho >> marca >> texto >> estado >> d.Papel;
  const size_t inicio = fimCabecalho + 2;
  // Written whole by one atomic replace: sizes that do not add up are a
  // file damaged by hand, and guessing would print or count a wrong thing.
  if (!cabecalho || fimCabecalho == std::string::npos || texto < 0 || estado <= 0 ||
      static_cast<uint64_t>(texto) + static_cast<uint64_t>(estado) !=
          conteudo.size() - inicio)
    throw Exception("Arquivo " + fArquivo + " inválido");
  d.Texto = conteudo.substr(inicio, static_cast<size_t>(texto));
  d.Estado = conteudo.substr(inicio + static_cast<size_t>(texto));
  return d;
}

void TZuvoECFNaoFiscalBuffer::Zera() {
  fLinhas.clear();
  if (!fArquivo.empty() && (!ArquivoExiste(fArquivo) || TamanhoArquivo(fArquivo) != 0))
    GravaArquivoSeguro(fArquivo, "");
}

void TZuvoECFNaoFiscalBuffer::Grava(const std::string& Estado, int64_t Papel) {
  const std::string texto = Texto();
  GravaArquivoSeguro(fArquivo, std::string(kDiario) + " " +
                                   IntToStr(static_cast<int64_t>(texto.size())) + " " +
                                   IntToStr(static_cast<int64_t>(Estado.size())) + " " +
                                   IntToStr(Papel) + CRLF + texto + Estado);
}

// ---------------------------------------------------------------------------

TZuvoECFNaoFiscal::TZuvoECFNaoFiscal(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : TZuvoECFClass(Device, Config) {
  Device.SetHandShake(hsRTS_CTS);
  SetNomeModelo("NaoFiscal");
  fMem.DiaMovimento = Agora();
  fCabecalho = {"Nome da Empresa", "Nome da Rua , 1234  -  Bairro",
                "Cidade  -  UF  -  99999-999", "CNPJ: 01.234.567/0001-22    IE: 012.345.678.90"};
  fCabecalho_Item = {"ITEM   CODIGO             DESCRICAO",
                     ".             QTDxUNITARIO   Aliq    VALOR (R$)",
                     StringOfChar('-', Colunas())};
  fMascaraItem =
      "III CCCCCCCCCCCCC DDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDDD QQQQQQQQ UUxVVVVVVVVV AAAAAAA "
      "TTTTTTTTTTT";
  fComando_Ativar_Condensado = "\x0f";
  fComando_Expandido_uma_Linha = "\x0e";
  fComando_Incializacao = "\x1b@";
}

TZuvoECFNaoFiscal::~TZuvoECFNaoFiscal() {
  try {
    Desativar();
  } catch (...) {
  }
}

// ----- Identity -----

std::string TZuvoECFNaoFiscal::NumCupom() { return InteiroZeros(fMem.NumCupom, 6); }
std::string TZuvoECFNaoFiscal::NumECF() { return fNumECF; }
std::string TZuvoECFNaoFiscal::NumCRO() { return InteiroZeros(fCRO, 3); }
std::string TZuvoECFNaoFiscal::NumSerie() { return fNumSerie; }
std::string TZuvoECFNaoFiscal::NumVersao() { return kVersao; }
double TZuvoECFNaoFiscal::SubTotal() { return ArredondaMoeda(fMem.SubTotal); }
double TZuvoECFNaoFiscal::TotalPago() { return ArredondaMoeda(fMem.TotalPago); }
bool TZuvoECFNaoFiscal::HorarioVerao() { return fMem.HorarioVerao; }

TZuvoECFEstado TZuvoECFNaoFiscal::Estado() {
  // Deriving a state while inactive would save over the file a state that
  // was never loaded (an open receipt lost, a closed day unlocked).
  if (!Ativo()) return estNaoInicializada;

  TZuvoECFEstado e = fMem.Estado;
  if (e >= estLivre && DateOf(Agora()) > DateOf(fMem.DiaMovimento)) {
    if (e != estBloqueada && e != estRequerX) e = estRequerZ;
    if (e == estBloqueada) e = estRequerX;
  }
  if (e == estNaoInicializada || e == estDesconhecido) e = estLivre;
  if (e != fMem.Estado) {
    fMem.Estado = e;
    try {
      GravaArqINI();
    } catch (...) {
      // The state is derived again from the file and the calendar next time.
    }
  }
  SetEstadoCampo(e);
  return e;
}

// ----- Activation -----

void TZuvoECFNaoFiscal::Ativar() {
  if (Ativo()) return;
  const std::string numECF = InteiroZeros(std::clamp(Device().Tag(), 1, 999), 3);
  const std::string base = PlataformaAtual().PastaPrograma() + "ZuvoECF" + numECF;
  RemoveTemporarios(base + ".INI");
  RemoveTemporarios(base + ".BUF");
  // What an interrupted run left is weighed before the port opens: opening
  // a text-file printer starts the paper again.
  fBuffer.SetArquivo(base + ".BUF");
  const TZuvoECFNaoFiscalDiario pendente = fBuffer.Le();
  const size_t impresso = JaImpresso(pendente);

  TZuvoECFClass::Ativar();
  fNumSerie.clear();
  fNumECF.clear();
  fCRO = 1;
  try {
    fNumECF = numECF;
    fArqINI = base + ".INI";
    // The journal's document was issued: its state is the state, whether
    // or not its text reached the paper (that is printed below).
    if (!pendente.Estado.empty()) GravaArquivoSeguro(fArqINI, pendente.Estado);
    CarregaArqINI();
    if (Device().EhSerial()) EsvaziaPorta();
    if (!EmLinha(1)) throw Exception("Impressora: " + ModeloStr() + " não está pronta.");
    EnviaTexto(fComando_Incializacao + fComando_Ativar_Condensado);
    if (impresso < pendente.Texto.size()) EnviaTexto(pendente.Texto.substr(impresso));
    // Done: the buffer file is there, empty, while the driver is active.
    ZeraBuffer();
  } catch (...) {
    Desativar();
    throw;
  }
}

size_t TZuvoECFNaoFiscal::JaImpresso(const TZuvoECFNaoFiscalDiario& Diario) {
  // Only a text-file printer can be asked what it printed: what the
  // interrupted run appended starts where the paper ended when the journal
  // was saved. A killed write may have left part of the text. Any other
  // printer gets the whole text again.
  if (Diario.Papel < 0 || Device().EhSerial() || !Device().EhArquivoTexto()) return 0;
  const std::string ja = LeArquivo(Device().Porta(), Diario.Papel, Diario.Texto.size());
  return Diario.Texto.compare(0, ja.size(), ja) == 0 ? ja.size() : 0;
}

int64_t TZuvoECFNaoFiscal::PosicaoPapel() {
  if (Device().EhSerial() || !Device().EhArquivoTexto()) return -1;
  return TamanhoArquivo(Device().Porta());
}

void TZuvoECFNaoFiscal::Desativar() {
  if (!Ativo()) return;
  TZuvoECFClass::Desativar();
}

void TZuvoECFNaoFiscal::ExigeAtivo() const {
  if (!Ativo()) throw EZuvoECFNaoInicializado("Componente ZuvoECF não está Ativo");
}

// ----- Printing -----

void TZuvoECFNaoFiscal::EnviaTexto(const std::string& Texto) {
  const bool anterior = AguardandoResposta();
  SetAguardandoResposta(true);
  try {
    if (!Texto.empty()) Device().EnviaString(Texto);
    // A printer that never gets ready (paper out, cable loose) must not keep
    // the point of sale waiting for ever.
    const TPrazo limite(int64_t{std::max(TimeOut(), 1)} * 1000);
    while (!EmLinha(1)) {
      if (limite.Venceu())
        throw Exception("Impressora: " + ModeloStr() + " não está pronta.");
      Dorme(100);  // the ready line is polled 100 ms apart (EmLinha waits 1 s itself)
    }
  } catch (...) {
    SetAguardandoResposta(anterior);
    throw;
  }
  SetAguardandoResposta(anterior);
}

std::string TZuvoECFNaoFiscal::EnviaComando(const std::string& Cmd) {
  GuardaComando guarda(*this);
  SetComandoEnviado(Cmd);
  EnviaTexto(Cmd);
  return Cmd;
}

void TZuvoECFNaoFiscal::GravaEImprime() {
  bool estadoGravado = false;
  try {
    const std::string estado = TextoArqINI();
    fBuffer.Grava(estado, PosicaoPapel());
    Passo("GravaBuffer");
    GravaArquivoSeguro(fArqINI, estado);
    estadoGravado = true;
    Passo("GravaArqINI");
    EnviaTexto(fBuffer.Texto());
  } catch (...) {
    DesfazDocumento(estadoGravado);
    throw;
  }
  Passo("Imprime");
  // Printed: a failure to mark the journal done now must not undo the
  // document (the next activation finds it on a text-file paper).
  try {
    ZeraBuffer();
  } catch (...) {
    fBuffer.Linhas().clear();
  }
}

void TZuvoECFNaoFiscal::DesfazDocumento(bool EstadoGravado) {
  RestauraEstado();
  fBuffer.Linhas().clear();
  try {
    if (EstadoGravado) GravaArqINI();
    ZeraBuffer();
  } catch (...) {
    // The files cannot be put back: the journal stays, and the next
    // activation prints its document and keeps its state, so paper and
    // state still agree (on the document the caller was told failed).
  }
}

void TZuvoECFNaoFiscal::AdicionaEmPedacos(const std::string& Texto) {
  const size_t largura = static_cast<size_t>(Colunas());
  for (size_t i = 0; i < Texto.size(); i += largura) Adiciona(Texto.substr(i, largura));
}

// ----- Layout -----

int TZuvoECFNaoFiscal::LarguraTitulo() const {
  // Expanded print doubles the width of each character.
  return fComando_Expandido_uma_Linha.empty() ? Colunas() : (Colunas() + 1) / 2;
}

std::string TZuvoECFNaoFiscal::LinhaTitulo(const std::string& Texto) const {
  const int w = LarguraTitulo();
  return fComando_Expandido_uma_Linha +
         (Texto.find('|') != std::string::npos ? Justifica(Texto, w) : Centraliza(Texto, w));
}

std::string TZuvoECFNaoFiscal::Regua(char Caractere) const {
  return StringOfChar(Caractere, Colunas());
}

std::string TZuvoECFNaoFiscal::Justificada(const std::string& Texto) const {
  return Justifica(Texto, Colunas());
}

std::string TZuvoECFNaoFiscal::Centralizada(const std::string& Texto, char Caractere) const {
  return Centraliza(Texto, Colunas(), Caractere);
}

TStrings TZuvoECFNaoFiscal::CabecalhoDocumento() const {
  TStrings linhas;
  for (size_t i = 0; i < fCabecalho.size(); i++)
    linhas.push_back((i == 0 ? fComando_Ativar_Condensado : "") +
                     Centralizada(fCabecalho[i]));
  const TDateTime agora = Agora();
  linhas.push_back(Justificada(FormatDateTime("dd/mm/yyyy", agora) + " " +
                               FormatDateTime("hh:nn:ss", agora) +
                               (fMem.HorarioVerao ? "V" : " ") + "|COO:" +
                               InteiroZeros(fMem.NumCupom, 6)));
  return linhas;
}

void TZuvoECFNaoFiscal::AddRodape() {
  Adiciona(Regua());
  Adiciona(Justificada("N.Serie " + CompletaDireita(fNumSerie, 15) + "|Maq " +
                       CompletaDireita(fNumECF, 3) + "|v" + kVersao));
  Adiciona(Justificada("Oper. " + CompletaDireita(Operador(), 15) + "|" +
                       FormatDateTime("dd/mm/yy hh:nn:ss", Agora()) +
                       (fMem.HorarioVerao ? "V" : " ")));
  Adiciona(Centralizada(kNaoEFiscal));
  Adiciona(Regua('='));
  for (int i = 0; i < LinhasEntreCupons(); i++) Adiciona("");
}

void TZuvoECFNaoFiscal::AddTotaisDia() {
  const char* const mascara = "###,###,##0.00";
  auto totalFixo = [this](size_t p) {
    return p < fMem.Aliquotas.size() ? fMem.Aliquotas[p].TotalDia : 0.0;
  };
  Adiciona(Regua());
  Adiciona(Justificada("Reducoes Z:|" + Contador(fMem.ReducoesZ, 4)));
  Adiciona(Justificada("Leitura  X:|" + Contador(fMem.LeiturasX, 6)));
  Adiciona(Justificada("Cancelamentos de Cupom:|" + Contador(fMem.CuponsCancelados, 4)));
  Adiciona(Justificada("COO do Primeiro Cupom:|" + Contador(fMem.COOInicial, 4)));
  Adiciona(Justificada("COO do Ultimo Cupom:|" + Contador(fMem.COOFinal, 4)));
  Adiciona(Centralizada("Total Vendido por Aliquota", '-'));
  Adiciona(Justificada("Substituicao Tributaria (FF)|" + FormatFloat(mascara, totalFixo(0))));
  Adiciona(Justificada("Isencao (II)|" + FormatFloat(mascara, totalFixo(1))));
  Adiciona(Justificada("Nao Incidencia (NN)|" + FormatFloat(mascara, totalFixo(2))));
  double total = 0;
  for (size_t p = 0; p < fMem.Aliquotas.size(); p++) {
    const auto& a = fMem.Aliquotas[p];
    total = ArredondaMoeda(total + a.TotalDia);
    if (p < 3) continue;
    Adiciona(Justificada(InteiroZeros(static_cast<int64_t>(p), 2) + "|" + (a.ISS ? "S" : "T") +
                         FormatFloat("#0.00", a.Aliquota) + "%|" +
                         FormatFloat(mascara, a.TotalDia)));
  }
  Adiciona(Justificada("T O T A L   R$|" + FormatFloat(mascara, total)));
  Adiciona(Centralizada("Formas de Pagamento", '-'));
  for (const auto& f : fMem.FormasPagamento)
    Adiciona(Justificada(f.Indice + "  " + CompletaDireita(f.Descricao, 20) + "|" +
                         FormatFloat(mascara, f.TotalDia)));
  Adiciona(Centralizada("Comprovantes nao Fiscal", '-'));
  for (const auto& c : fMem.ComprovantesNaoFiscais)
    Adiciona(Justificada(c.Indice + "  " + CompletaDireita(c.Descricao, 20) + "|" +
                         FormatFloat(mascara, c.TotalDia)));
  AddRodape();
}

std::string TZuvoECFNaoFiscal::PreencheMascara(const std::string& Mascara,
                                               const std::string& Linha, char Letra,
                                               const std::string& Valor) {
  std::string r = Linha;
  size_t proximo = 0;
  for (size_t i = 0; i < Mascara.size() && i < r.size(); i++) {
    if (Mascara[i] != Letra) continue;
    r[i] = proximo < Valor.size() ? Valor[proximo] : ' ';
    proximo++;
  }
  return r;
}

// ----- State -----

void TZuvoECFNaoFiscal::LimpaCupom() {
  fMem.ItensCupom.clear();
  fMem.PagamentosCupom.clear();
  fMem.TotalPago = 0;
  fMem.SubTotal = 0;
}

void TZuvoECFNaoFiscal::Passo(const std::string& Nome) {
  if (OnPasso) OnPasso(Nome);
}

void TZuvoECFNaoFiscal::DescartaListasComponente() {
  fAliquotas.reset();
  fFormasPagamento.reset();
  fComprovantesNaoFiscais.reset();
}

void TZuvoECFNaoFiscal::AvisoLegal() {
  if (Toolkit().messageBox(kAvisoLegal, TipoMensagem::Aviso, BotoesMensagem::SimNaoCancela) !=
      RespostaMensagem::Sim)
    throw Exception("Uso indevido do emulador");
}

void TZuvoECFNaoFiscal::GravaArqINI() { GravaArquivoSeguro(fArqINI, TextoArqINI()); }

std::string TZuvoECFNaoFiscal::TextoArqINI() {
  if (fArqINI.empty()) throw EZuvoECFNaoInicializado("Componente ZuvoECF não está Ativo");
  const bool existia = ArquivoExiste(fArqINI);
  const TZuvoIniFile atual(fArqINI);
  EscritorIni ini;

  // Variaveis: ours first, then whatever else a person put there.
  ini.Secao(kVariaveis);
  ini.Chave("Aviso_Legal", atual.ReadString(kVariaveis, "Aviso_Legal", "SIM"));
  ini.Chave("Estado", static_cast<int64_t>(fMem.Estado));
  ini.Chave("NumECF", fNumECF);
  ini.Chave("NumSerie", fNumSerie);
  ini.Chave("CRO", fCRO);
  ini.Chave("NumCupom", fMem.NumCupom);
  ini.Data("DiaMovimento", fMem.DiaMovimento);
  ini.Logico("HorarioVerao", fMem.HorarioVerao);
  ini.Chave("ReducoesZ", fMem.ReducoesZ);
  ini.Chave("LeiturasX", fMem.LeiturasX);
  ini.Chave("COOInicial", fMem.COOInicial);
  ini.Chave("COOFinal", fMem.COOFinal);
  ini.Numero("SubTotal", fMem.SubTotal);
  ini.Numero("TotalPago", fMem.TotalPago);
  ini.Chave("CuponsCancelados", fMem.CuponsCancelados);
  ini.Chave("Operador", Operador());
  static const char* const kNossas[] = {
      "Aviso_Legal", "Estado",  "NumECF",     "NumSerie", "CRO",      "NumCupom",
      "DiaMovimento", "HorarioVerao", "ReducoesZ", "LeiturasX", "COOInicial", "COOFinal",
      "SubTotal",    "TotalPago", "CuponsCancelados", "Operador"};
  auto separa = [](const std::string& kv, std::string& k, std::string& v) {
    auto igual = kv.find('=');
    k = igual == std::string::npos ? kv : kv.substr(0, igual);
    v = igual == std::string::npos ? "" : kv.substr(igual + 1);
  };
  for (const std::string& kv : atual.ReadSectionValues(kVariaveis)) {
    std::string k, v;
    separa(kv, k, v);
    bool nossa = false;
    for (const char* n : kNossas) nossa = nossa || SameText(k, n);
    if (!nossa) ini.Chave(k, v);
  }

  if (existia) {
    // The header, the item layout and the printer settings are edited by
    // hand in the file: keep them (and anything else) as they are.
    for (const std::string& secao : atual.ReadSections()) {
      if (SameText(secao, kVariaveis) || EhSecaoDeLista(secao)) continue;
      ini.Secao(secao);
      for (const std::string& kv : atual.ReadSectionValues(secao)) {
        std::string k, v;
        separa(kv, k, v);
        ini.Chave(k, v);
      }
    }
  } else {
    ini.Secao("Cabecalho");
    for (size_t i = 0; i < fCabecalho.size(); i++)
      ini.Chave(ChaveLinha(static_cast<int>(i)), fCabecalho[i]);
    ini.Secao("Cabecalho_Item");
    for (size_t i = 0; i < fCabecalho_Item.size(); i++)
      ini.Chave(ChaveLinha(static_cast<int>(i)), fCabecalho_Item[i]);
    ini.Chave("MascaraItem", fMascaraItem);
    ini.Secao("Impressora");
    ini.Chave("Colunas", Colunas());
    ini.Chave("Comando_Abrir_Gaveta", TextoParaAscii(fComando_Abrir_Gaveta));
    ini.Chave("Comando_Incializacao", TextoParaAscii(fComando_Incializacao));
    ini.Chave("Comando_Ativar_Condensado", TextoParaAscii(fComando_Ativar_Condensado));
    ini.Chave("Comando_Expandido_uma_Linha", TextoParaAscii(fComando_Expandido_uma_Linha));
  }

  for (size_t i = 0; i < fMem.ItensCupom.size(); i++) {
    const auto& it = fMem.ItensCupom[i];
    ini.Secao(SecaoItem(static_cast<int>(i)));
    ini.Chave("Descricao", it.Descricao);
    ini.Chave("Codigo", it.Codigo);
    ini.Numero("Qtd", it.Qtd);
    ini.Numero("ValorUnit", it.ValorUnit);
    ini.Chave("PosAliq", it.PosAliq);
    ini.Numero("BaseICMS", it.BaseICMS);
  }
  for (size_t i = 0; i < fMem.PagamentosCupom.size(); i++) {
    const auto& p = fMem.PagamentosCupom[i];
    ini.Secao(SecaoPagamento(static_cast<int>(i)));
    ini.Chave("PosFPG", p.PosFPG);
    ini.Numero("ValorPago", p.ValorPago);
  }
  for (size_t i = 0; i < fMem.FormasPagamento.size(); i++) {
    const auto& f = fMem.FormasPagamento[i];
    ini.Secao(SecaoFPG(static_cast<int>(i)));
    ini.Chave("Indice", f.Indice);
    ini.Chave("Descricao", f.Descricao);
    ini.Numero("TotalDia", f.TotalDia);
  }
  for (size_t i = 0; i < fMem.ComprovantesNaoFiscais.size(); i++) {
    const auto& c = fMem.ComprovantesNaoFiscais[i];
    ini.Secao(SecaoCNF(static_cast<int>(i)));
    ini.Chave("Indice", c.Indice);
    ini.Chave("Descricao", c.Descricao);
    ini.Numero("TotalDia", c.TotalDia);
  }
  for (size_t i = 0; i < fMem.Aliquotas.size(); i++) {
    const auto& a = fMem.Aliquotas[i];
    ini.Secao(SecaoAliquota(static_cast<int>(i)));
    ini.Chave("Descricao", a.Descricao);
    ini.Numero("Aliquota", a.Aliquota);
    ini.Logico("ISS", a.ISS);
    ini.Numero("TotalDia", a.TotalDia);
  }
  return ini.Texto();
}

void TZuvoECFNaoFiscal::CriaArqINI() {
  AvisoLegal();
  fMem = TZuvoECFNaoFiscalMemoria{};
  fMem.Estado = estDesconhecido;
  fMem.DiaMovimento = Agora();
  fNumSerie = FormatDateTime("ddmmyyhhnnss", Agora());
  for (const char* d : {"FF", "II", "NN"}) fMem.Aliquotas.push_back({0, false, 0, d});
  fMem.FormasPagamento.push_back({"DINHEIRO", 0, "01"});
  if (fComando_Abrir_Gaveta.empty()) fComando_Abrir_Gaveta = kGavetaPadrao;
  DescartaListasComponente();
  GravaArqINI();
}

void TZuvoECFNaoFiscal::CarregaArqINI() {
  if (!ArquivoExiste(fArqINI)) {
    CriaArqINI();
    return;
  }
  const TZuvoIniFile ini(fArqINI);
  const std::string V = kVariaveis;
  if (ini.ReadString(V, "Aviso_Legal", "SIM") != "SIM") AvisoLegal();

  TZuvoECFNaoFiscalMemoria m = fMem;
  const int64_t estado = ini.ReadInteger(V, "Estado", m.Estado);
  m.Estado = estado < estNaoInicializada || estado > estRequerX
                 ? estDesconhecido
                 : static_cast<TZuvoECFEstado>(estado);
  std::string numSerie = ini.ReadString(V, "NumSerie", fNumSerie);
  int cro = static_cast<int>(ini.ReadInteger(V, "CRO", fCRO));
  auto inteiro = [&](const char* k, int atual) {
    return static_cast<int>(ini.ReadInteger(V, k, atual));
  };
  m.NumCupom = inteiro("NumCupom", m.NumCupom);
  m.DiaMovimento = ini.ReadDate(V, "DiaMovimento", m.DiaMovimento);
  m.HorarioVerao = ini.ReadBool(V, "HorarioVerao", m.HorarioVerao);
  m.ReducoesZ = inteiro("ReducoesZ", m.ReducoesZ);
  m.LeiturasX = inteiro("LeiturasX", m.LeiturasX);
  m.COOInicial = inteiro("COOInicial", m.COOInicial);
  m.COOFinal = inteiro("COOFinal", m.COOFinal);
  m.SubTotal = ini.ReadFloat(V, "SubTotal", m.SubTotal);
  m.TotalPago = ini.ReadFloat(V, "TotalPago", m.TotalPago);
  m.CuponsCancelados = inteiro("CuponsCancelados", m.CuponsCancelados);
  std::string operador = ini.ReadString(V, "Operador", Operador());

  auto leLinhas = [&](const std::string& secao) {
    TStrings linhas;
    for (int i = 0; i < 1000; i++) {
      std::string s = ini.ReadString(secao, ChaveLinha(i), kFim);
      if (s == kFim) break;
      linhas.push_back(s);
    }
    return linhas;
  };
  TStrings cabecalho = leLinhas("Cabecalho");
  TStrings cabecalhoItem = leLinhas("Cabecalho_Item");
  std::string mascara = ini.ReadString("Cabecalho_Item", "MascaraItem", fMascaraItem);
  int colunas = static_cast<int>(ini.ReadInteger("Impressora", "Colunas", Colunas()));
  if (colunas < kColunasMin || colunas > kColunasMax) colunas = kColunasPadrao;
  auto comando = [&](const char* k, const std::string& atual) {
    return AsciiParaTexto(ini.ReadString("Impressora", k, TextoParaAscii(atual)));
  };
  std::string gaveta = comando("Comando_Abrir_Gaveta", kGavetaPadrao);
  std::string inicializacao = comando("Comando_Incializacao", fComando_Incializacao);
  std::string condensado = comando("Comando_Ativar_Condensado", fComando_Ativar_Condensado);
  std::string expandido = comando("Comando_Expandido_uma_Linha", fComando_Expandido_uma_Linha);

  // Every list is bounded by the width of its position number, so a
  // damaged file cannot make the loading run away.
  m.ItensCupom.clear();
  for (int i = 0; i < kMaxItens; i++) {
    const std::string s = SecaoItem(i);
    std::string d = ini.ReadString(s, "Descricao", kFim);
    if (d == kFim) break;
    m.ItensCupom.push_back({d, ini.ReadFloat(s, "ValorUnit", 0), ini.ReadFloat(s, "Qtd", 0),
                            static_cast<int>(ini.ReadInteger(s, "PosAliq", 0)),
                            ini.ReadString(s, "Codigo", ""), ini.ReadFloat(s, "BaseICMS", 0)});
  }
  m.PagamentosCupom.clear();
  for (int i = 0; i < kMaxLista; i++) {
    const std::string s = SecaoPagamento(i);
    int pos = static_cast<int>(ini.ReadInteger(s, "PosFPG", -1));
    if (pos < 0) break;
    m.PagamentosCupom.push_back({ini.ReadFloat(s, "ValorPago", 0), pos});
  }
  m.Aliquotas.clear();
  for (int i = 0; i < kMaxLista; i++) {
    const std::string s = SecaoAliquota(i);
    std::string d = ini.ReadString(s, "Descricao", kFim);
    if (d == kFim) break;
    m.Aliquotas.push_back({ini.ReadFloat(s, "Aliquota", 0), ini.ReadBool(s, "ISS", false),
                           ini.ReadFloat(s, "TotalDia", 0), d});
  }
  m.FormasPagamento.clear();
  for (int i = 0; i < kMaxLista; i++) {
    const std::string s = SecaoFPG(i);
    std::string d = ini.ReadString(s, "Descricao", kFim);
    if (d == kFim) break;
    m.FormasPagamento.push_back(
        {d, ini.ReadFloat(s, "TotalDia", 0), ini.ReadString(s, "Indice", "")});
  }
  m.ComprovantesNaoFiscais.clear();
  for (int i = 0; i < kMaxLista; i++) {
    const std::string s = SecaoCNF(i);
    std::string d = ini.ReadString(s, "Descricao", kFim);
    if (d == kFim) break;
    m.ComprovantesNaoFiscais.push_back(
        {d, ini.ReadFloat(s, "TotalDia", 0), ini.ReadString(s, "Indice", "")});
  }

  // A position that points nowhere would corrupt the day totals.
  for (size_t i = 0; i < m.ItensCupom.size(); i++)
    if (m.ItensCupom[i].PosAliq < 0 ||
        m.ItensCupom[i].PosAliq >= static_cast<int>(m.Aliquotas.size()))
      throw Exception("Arquivo " + fArqINI + " inválido: " + SecaoItem(static_cast<int>(i)) +
                      " PosAliq");
  for (size_t i = 0; i < m.PagamentosCupom.size(); i++)
    if (m.PagamentosCupom[i].PosFPG >= static_cast<int>(m.FormasPagamento.size()))
      throw Exception("Arquivo " + fArqINI + " inválido: " +
                      SecaoPagamento(static_cast<int>(i)) + " PosFPG");

  // Everything read: only now does the memory change.
  fMem = m;
  fNumSerie = numSerie;
  fCRO = cro;
  SetOperador(operador);
  fCabecalho = cabecalho;
  fCabecalho_Item = cabecalhoItem;
  fMascaraItem = mascara;
  SetColunas(colunas);
  fComando_Abrir_Gaveta = gaveta;
  fComando_Incializacao = inicializacao;
  fComando_Ativar_Condensado = condensado;
  fComando_Expandido_uma_Linha = expandido;
  DescartaListasComponente();
}

// ----- Documents -----

void TZuvoECFNaoFiscal::AbreDocumento(bool NovoDia) {
  const TDateTime agora = Agora();
  try {
    if (DateOf(agora) < DateOf(fMem.DiaMovimento))
      throw Exception("Erro ! A Data da Impressora: " +
                      FormatDateTime("dd/mm/yyyy", fMem.DiaMovimento) +
                      " maior do que a Data atual: " + FormatDateTime("dd/mm/yyyy", agora));
    if (!EmLinha(1)) throw Exception("Impressora: " + ModeloStr() + " não está pronta.");
  } catch (...) {
    RestauraEstado();
    fBuffer.Linhas().clear();
    throw;
  }

  fMem.NumCupom++;
  fMem.COOFinal = fMem.NumCupom;
  if (NovoDia) {
    fMem.DiaMovimento = agora;
    fMem.COOInicial = fMem.NumCupom;
  }
  // The header goes in front of the body: one text, printed at once.
  const TStrings cabecalho = CabecalhoDocumento();
  auto& linhas = fBuffer.Linhas();
  linhas.insert(linhas.begin(), cabecalho.begin(), cabecalho.end());
  GravaEImprime();
}

void TZuvoECFNaoFiscal::AbreCupom(const std::string& CPF_CNPJ) {
  ExigeAtivo();
  TestaPodeAbrirCupom();
  ZeraBuffer();
  if (!Trim(CPF_CNPJ).empty()) {
    Adiciona(Regua());
    Adiciona("CPF/CNPJ Consumidor: " + CompletaDireita(CPF_CNPJ, Colunas()));
    Adiciona(Regua());
  }
  Adiciona(Centralizada("COMPROVANTE  * NAO FISCAL *"));
  for (const std::string& l : fCabecalho_Item) Adiciona(l);
  GuardaEstado();
  LimpaCupom();
  fMem.Estado = estVenda;
  AbreDocumento(false);
}

int TZuvoECFNaoFiscal::PosicaoFPG(const std::string& Codigo) const {
  for (size_t i = 0; i < fMem.FormasPagamento.size(); i++)
    if (fMem.FormasPagamento[i].Indice == Codigo) return static_cast<int>(i);
  return -1;
}

int TZuvoECFNaoFiscal::PosicaoAliquota(char Tipo, double Valor) const {
  for (size_t i = 0; i < fMem.Aliquotas.size(); i++) {
    const auto& a = fMem.Aliquotas[i];
    bool tipoConfere = Tipo == 'S' ? a.ISS : (Tipo == 'T' ? !a.ISS : true);
    if (a.Aliquota == Valor && tipoConfere) return static_cast<int>(i);
  }
  return -1;
}

int TZuvoECFNaoFiscal::PosicaoDaAliquota(std::string& Texto) {
  std::string t = UpperCase(Trim(Texto));
  int pos = -1;
  const char primeiro = t.empty() ? '\0' : t[0];
  if (primeiro == 'F') {
    pos = 0;
  } else if (primeiro == 'I') {
    pos = 1;
  } else if (primeiro == 'N') {
    pos = 2;
  } else if (primeiro == 'T') {
    // "T03": the position itself. Anything unreadable is refused rather than
    // sold as tax substitution.
    pos = static_cast<int>(StrToIntDef(Copy(t, 2, 2), -1));
  } else if (!t.empty()) {
    char tipo = ' ';
    SeparaTipoAliquota(t, tipo);
    const double valor = TextoParaNumeroDef(t, -1);
    if (valor >= 0 && std::isfinite(valor)) {
      pos = PosicaoAliquota(tipo, valor);
      if (pos == -1 && valor > 0) {
        AchaICMSAliquota(valor, tipo);
        pos = PosicaoAliquota(tipo, valor);
      }
    }
  }
  Texto = t;
  if (pos < 0 || pos >= static_cast<int>(fMem.Aliquotas.size()))
    throw Exception("Aliquota " + t + " Inválida");
  return pos;
}

void TZuvoECFNaoFiscal::VendeItem(const std::string& Codigo, const std::string& Descricao,
                                  const std::string& AliquotaICMS, double Qtd,
                                  double ValorUnitario, double DescontoPorc,
                                  const std::string& Unidade) {
  ExigeAtivo();
  if (Estado() != estVenda)
    throw Exception("O Estado da Impressora nao é \"VENDA\" Cupom não Aberto");
  // A discount above 100 % would sell at a negative value.
  if (!(Qtd > 0) || !(ValorUnitario > 0) || !(Qtd <= kMaxQtd) ||
      !(ValorUnitario <= kMaxPreco) || Trim(Descricao).empty() || Trim(Codigo).empty() ||
      !(DescontoPorc >= 0 && DescontoPorc <= 100) ||
      !(fMem.SubTotal + RoundTo(Qtd * ValorUnitario, -2) <= kMaxValor))
    throw Exception("Erro. Parâmetros inválidos.");
  // Items are kept in 3-digit positions.
  if (static_cast<int>(fMem.ItensCupom.size()) >= kMaxItens)
    throw Exception("Item (" + IntToStr(kMaxItens + 1) + ") fora da Faixa. Limite de " +
                    IntToStr(kMaxItens) + " itens por Cupom");

  std::string aliquota = AliquotaICMS;
  const int pos = PosicaoDaAliquota(aliquota);

  const std::string txtAliq = Centraliza(aliquota, 7);
  const std::string txtQtd =
      FormatFloat(Qtd == std::floor(Qtd) ? "#######0" : "###0.000", Qtd);
  const std::string txtUnit = FormatFloat(
      ValorUnitario == RoundTo(ValorUnitario, -2) ? "#####0.00" : "####0.000", ValorUnitario);
  double total = RoundTo(Qtd * ValorUnitario, -2);

  std::string linha = fMascaraItem;
  const std::pair<char, std::string> campos[] = {
      {'I', InteiroZeros(static_cast<int64_t>(fMem.ItensCupom.size()) + 1, 3)},
      {'C', Codigo},
      {'D', Descricao},
      {'Q', txtQtd},
      {'U', Unidade},
      {'V', txtUnit},
      {'A', txtAliq},
      {'T', FormatFloat("###,##0.00", total)}};
  for (const auto& [letra, valor] : campos)
    linha = PreencheMascara(fMascaraItem, linha, letra, valor);

  ZeraBuffer();
  AdicionaEmPedacos(Trim(linha));
  if (DescontoPorc > 0) {
    const double desconto = RoundTo(DescontoPorc / 100 * total, -3);
    total = RoundTo(total - desconto, -2);
    Adiciona(Justificada("|DESCONTO|" + FormatFloat("#0.00", DescontoPorc) + "%|R$ " +
                         FormatFloat("##,##0.00", -desconto) + "|" +
                         FormatFloat("###,##0.00", total)));
  }
  GuardaEstado();
  fMem.ItensCupom.push_back({Descricao, ValorUnitario, Qtd, pos, Codigo, total});
  auto& a = fMem.Aliquotas[static_cast<size_t>(pos)];
  a.TotalDia = ArredondaMoeda(a.TotalDia + total);
  fMem.SubTotal = ArredondaMoeda(fMem.SubTotal + total);
  GravaEImprime();
}

void TZuvoECFNaoFiscal::CancelaItemVendido(int NumItem) {
  ExigeAtivo();
  if (Estado() != estVenda) throw Exception("O Estado da Impressora nao é \"VENDA\"");
  if (fMem.ItensCupom.empty()) throw Exception("Nenhum Item foi vendido ainda");
  const std::string nnn = InteiroZeros(NumItem, 3);
  if (NumItem < 1 || NumItem > static_cast<int>(fMem.ItensCupom.size()))
    throw Exception("Item (" + nnn + ") fora da Faixa.");
  if (fMem.ItensCupom[static_cast<size_t>(NumItem - 1)].Qtd == 0)
    throw Exception("Item (" + nnn + ") já foi cancelado.");

  ZeraBuffer();
  Adiciona("CANCELADO ITEM: " + nnn);
  GuardaEstado();
  auto& item = fMem.ItensCupom[static_cast<size_t>(NumItem - 1)];
  auto& a = fMem.Aliquotas[static_cast<size_t>(item.PosAliq)];
  fMem.SubTotal = ArredondaMoeda(fMem.SubTotal - item.BaseICMS);
  a.TotalDia = std::max(0.0, ArredondaMoeda(a.TotalDia - item.BaseICMS));
  item.Qtd = 0;
  // Saved too, or a restart would subtract the item again on cancelling.
  item.BaseICMS = 0;
  GravaEImprime();
}

void TZuvoECFNaoFiscal::SubtotalizaCupom(double DescontoAcrescimo, const std::string&) {
  ExigeAtivo();
  if (Estado() != estVenda)
    throw Exception("O Estado da Impressora nao é \"VENDA\" Cupom não Aberto");
  if (!(fMem.SubTotal > 0)) throw Exception("Nenhum Item foi vendido ainda");
  // A discount that takes the whole receipt (or more) is not a sale.
  if (!(std::fabs(DescontoAcrescimo) <= kMaxValor) || fMem.SubTotal + DescontoAcrescimo <= 0 ||
      fMem.SubTotal + DescontoAcrescimo > kMaxValor)
    throw Exception("Erro. Parâmetros inválidos.");

  ZeraBuffer();
  double fator = 0;
  if (DescontoAcrescimo != 0) {
    fator = std::fabs(DescontoAcrescimo) / fMem.SubTotal;
    Adiciona(Justificada("SUBTOTAL   R$|" + Dinheiro(fMem.SubTotal)));
    Adiciona(Justificada(std::string(DescontoAcrescimo >= 0 ? "Acrescimo" : "Desconto ") +
                         "  R$|" + Dinheiro(DescontoAcrescimo)));
  }
  Adiciona(LinhaTitulo("TOTAL  R$|" + Dinheiro(fMem.SubTotal + DescontoAcrescimo)));
  GuardaEstado();
  if (fator != 0) {
    // Each item takes its share of the discount or surcharge by the value
    // it actually sold for; the rounding remainder goes to the last item
    // sold, so the day totals add up to the receipt.
    const double sinal = DescontoAcrescimo < 0 ? -1 : 1;
    double repartido = 0;
    TZuvoECFNaoFiscalItemCupom* ultimo = nullptr;
    for (auto& item : fMem.ItensCupom) {
      if (item.BaseICMS == 0) continue;
      const double ajuste = ArredondaMoeda(sinal * item.BaseICMS * fator);
      item.BaseICMS = ArredondaMoeda(item.BaseICMS + ajuste);
      auto& a = fMem.Aliquotas[static_cast<size_t>(item.PosAliq)];
      a.TotalDia = ArredondaMoeda(a.TotalDia + ajuste);
      repartido = ArredondaMoeda(repartido + ajuste);
      ultimo = &item;
    }
    const double resto = ArredondaMoeda(DescontoAcrescimo - repartido);
    if (ultimo && resto != 0) {
      ultimo->BaseICMS = ArredondaMoeda(ultimo->BaseICMS + resto);
      auto& a = fMem.Aliquotas[static_cast<size_t>(ultimo->PosAliq)];
      a.TotalDia = ArredondaMoeda(a.TotalDia + resto);
    }
  }
  fMem.SubTotal = ArredondaMoeda(fMem.SubTotal + DescontoAcrescimo);
  fMem.Estado = estPagamento;
  fMem.TotalPago = 0;
  GravaEImprime();
}

void TZuvoECFNaoFiscal::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                                        const std::string& Observacao, bool ImprimeVinculado) {
  ExigeAtivo();
  TZuvoECFClass::EfetuaPagamento(CodFormaPagto, Valor, Observacao, ImprimeVinculado);
  if (Estado() != estPagamento) throw Exception("O Estado da Impressora nao é \"PAGAMENTO\"");
  if (!(fMem.SubTotal > fMem.TotalPago))
    throw Exception("Total pago já foi atingido Cupom deve ser encerrado");
  const int pos = PosicaoFPG(CodFormaPagto);
  if (pos == -1) throw Exception("Forma de Pagamento " + CodFormaPagto + " Inválida");
  if (!(Valor > 0) || !(Valor + fMem.TotalPago <= kMaxValor))
    throw Exception("Erro. Parâmetros inválidos.");
  // Payments (and the change) are kept in 2-digit positions.
  if (static_cast<int>(fMem.PagamentosCupom.size()) + 2 > kMaxLista)
    throw Exception("Limite de " + IntToStr(kMaxLista) + " Pagamentos por Cupom atingido");

  ZeraBuffer();
  Adiciona(Justificada(fMem.FormasPagamento[static_cast<size_t>(pos)].Descricao + "|" +
                       Dinheiro(Valor)));
  AdicionaEmPedacos(Observacao);
  const double novo = ArredondaMoeda(Valor + fMem.TotalPago);
  double troco = 0;
  if (novo >= fMem.SubTotal) {
    std::string fecho;
    if (!fMem.PagamentosCupom.empty()) fecho = Justificada("S O M A  R$|" + Dinheiro(novo));
    if (novo > fMem.SubTotal) {
      if (!fecho.empty()) Adiciona(fecho);
      troco = ArredondaMoeda(novo - fMem.SubTotal);
      fecho = LinhaTitulo("TROCO  R$|" + Dinheiro(troco));
    }
    std::replace(fecho.begin(), fecho.end(), ' ', '_');
    if (!fecho.empty()) Adiciona(fecho);
  }
  GuardaEstado();
  fMem.TotalPago = novo;
  auto& forma = fMem.FormasPagamento[static_cast<size_t>(pos)];
  forma.TotalDia = ArredondaMoeda(forma.TotalDia + Valor);
  fMem.PagamentosCupom.push_back({Valor, pos});
  if (troco > 0) {
    // The change always leaves the drawer as cash (position 0).
    auto& dinheiro = fMem.FormasPagamento[0];
    dinheiro.TotalDia = ArredondaMoeda(dinheiro.TotalDia - troco);
    fMem.PagamentosCupom.push_back({-troco, 0});
  }
  GravaEImprime();
}

void TZuvoECFNaoFiscal::FechaCupom(const std::string& Observacao) {
  ExigeAtivo();
  if (Estado() != estPagamento)
    throw Exception("O Estado da Impressora nao é \"PAGAMENTO\"Não houve SubTotal");
  if (fMem.SubTotal > fMem.TotalPago) throw Exception("Total Pago é inferior ao Total do Cupom");

  ZeraBuffer();
  std::string obs = StringReplace(Observacao, CRLF, std::string(1, LF));
  Adiciona(StringReplace(obs, std::string(1, LF), CRLF));
  AddRodape();
  GuardaEstado();
  fMem.Estado = estLivre;
  GravaEImprime();
}

void TZuvoECFNaoFiscal::CancelaCupom() {
  ExigeAtivo();
  const TZuvoECFEstado estado = Estado();
  if (fMem.ItensCupom.empty() && estado != estVenda)
    throw Exception("Último Documento não é Cupom");

  ZeraBuffer();
  Adiciona(LinhaTitulo("*** CUPOM CANCELADO ***"));
  GuardaEstado();
  auto& linhas = fBuffer.Linhas();
  if (estado == estVenda) {
    linhas.insert(linhas.begin(), LinhaTitulo("TOTAL  R$|" + Dinheiro(fMem.SubTotal)));
    AddRodape();
  } else if (estado == estPagamento) {
    AddRodape();
  } else {
    // The last receipt is closed: a document of its own names it.
    fMem.NumCupom++;
    TStrings cabecalho = CabecalhoDocumento();
    linhas.insert(linhas.begin(), cabecalho.begin(), cabecalho.end());
    Adiciona(Justificada("COO do Cupom Cancelado:|" + InteiroZeros(fMem.NumCupom - 1, 6)));
    Adiciona(Justificada("Valor da Operacao  R$:|" + Dinheiro(fMem.SubTotal)));
    for (const char* l : {"", "Nome do Consumidor:", "", "Telefone do Cosumidor:", ""})
      Adiciona(l);
    AddRodape();
  }

  fMem.CuponsCancelados++;
  for (const auto& item : fMem.ItensCupom) {
    auto& a = fMem.Aliquotas[static_cast<size_t>(item.PosAliq)];
    a.TotalDia = ArredondaMoeda(a.TotalDia - item.BaseICMS);
  }
  for (const auto& p : fMem.PagamentosCupom) {
    auto& f = fMem.FormasPagamento[static_cast<size_t>(p.PosFPG)];
    f.TotalDia = ArredondaMoeda(f.TotalDia - p.ValorPago);
  }
  fMem.ItensCupom.clear();
  fMem.PagamentosCupom.clear();
  fMem.Estado = estLivre;
  fMem.SubTotal = 0;

  GravaEImprime();
}

// ----- Day reports -----

void TZuvoECFNaoFiscal::LeituraX() {
  ExigeAtivo();
  const TZuvoECFEstado estado = Estado();
  if (estado != estRequerX) TestaPodeAbrirCupom();
  ZeraBuffer();
  Adiciona(LinhaTitulo("LEITURA X"));
  AddTotaisDia();
  GuardaEstado();
  LimpaCupom();
  fMem.LeiturasX++;
  fMem.Estado = estLivre;
  AbreDocumento(estado == estRequerZ || estado == estRequerX);
}

void TZuvoECFNaoFiscal::ReducaoZ(TDateTime) {
  ExigeAtivo();
  const TZuvoECFEstado estado = Estado();
  if (estado == estBloqueada) throw Exception("Dia já foi fechado. Redução Z já emitida");
  if (estado != estLivre && estado != estRequerZ)
    throw Exception("O Estado da Impressora não é \"LIVRE\" Cancele o último Documento");
  ZeraBuffer();
  Adiciona(LinhaTitulo("REDUCAO Z"));
  AddTotaisDia();
  GuardaEstado();
  LimpaCupom();
  fMem.ReducoesZ++;
  if (estado == estRequerZ) {
    fMem.Estado = estLivre;
    fMem.DiaMovimento = Agora();
  } else {
    fMem.Estado = estBloqueada;
  }
  fMem.CuponsCancelados = 0;
  for (auto& a : fMem.Aliquotas) a.TotalDia = 0;
  for (auto& f : fMem.FormasPagamento) f.TotalDia = 0;
  for (auto& c : fMem.ComprovantesNaoFiscais) c.TotalDia = 0;
  AbreDocumento(true);
}

// ----- Managerial report and linked receipt -----

void TZuvoECFNaoFiscal::AbreRelatorioGerencial() {
  ExigeAtivo();
  if (Estado() != estLivre) throw Exception("O Estado da Impressora não é \"LIVRE\"");
  ZeraBuffer();
  Adiciona(Regua());
  Adiciona(Centralizada("NAO E DOCUMENTO FISCAL"));
  Adiciona(LinhaTitulo("RELATORIO GERENCIAL"));
  Adiciona("");
  GuardaEstado();
  LimpaCupom();
  fMem.Estado = estRelatorio;
  AbreDocumento(false);
}

void TZuvoECFNaoFiscal::LinhaRelatorioGerencial(const std::string& Linha) {
  ExigeAtivo();
  EnviaTexto(StringReplace(AjustaLinhas(Linha), std::string(1, LF), CRLF));
}

void TZuvoECFNaoFiscal::LinhaCupomVinculado(const std::string& Linha) {
  LinhaRelatorioGerencial(Linha);
}

void TZuvoECFNaoFiscal::AbreCupomVinculado(const std::string& COO,
                                           const std::string& CodFormaPagto,
                                           const std::string&, double Valor) {
  ExigeAtivo();
  if (Trim(COO).empty()) throw Exception("COO inválido");
  if (!(Valor >= 0 && Valor <= kMaxValor)) throw Exception("Erro. Parâmetros inválidos.");
  if (Estado() != estLivre) throw Exception("O Estado da Impressora não é \"LIVRE\"");
  if (fMem.PagamentosCupom.empty()) throw Exception("Ultimo Documento não é Cupom");
  const std::string coo = ZerosEsquerda(COO, 6);
  const int pos = PosicaoFPG(CodFormaPagto);
  if (pos == -1) throw Exception("Posição de Pagamento: " + CodFormaPagto + " inválida");
  const auto& forma = fMem.FormasPagamento[static_cast<size_t>(pos)];
  const bool usada = std::any_of(fMem.PagamentosCupom.begin(), fMem.PagamentosCupom.end(),
                                 [pos](const auto& p) { return p.PosFPG == pos; });
  if (!usada)
    throw Exception("Forma de Pagamento: " + forma.Descricao +
                    " não foi utilizada no Cupom anterior");

  ZeraBuffer();
  Adiciona(Centralizada("COMPROVANTE NAO FISCAL VINCULADO"));
  Adiciona("");
  Adiciona("COO do documento de compra: " + coo);
  Adiciona(Justificada("VALOR TOTAL DA COMPRA  R$:|" +
                       FormatFloat("##,###,##0.00", fMem.SubTotal)));
  Adiciona(Justificada(CompletaDireita(forma.Descricao, 22) + " R$:|" +
                       FormatFloat("##,###,##0.00", Valor)));
  Adiciona("");
  GuardaEstado();
  LimpaCupom();
  fMem.Estado = estRelatorio;
  AbreDocumento(false);
}

void TZuvoECFNaoFiscal::FechaRelatorio() {
  ExigeAtivo();
  if (Estado() != estRelatorio) return;
  ZeraBuffer();
  AddRodape();
  GuardaEstado();
  fMem.Estado = estLivre;
  GravaEImprime();
}

// ----- Drawer and daylight-saving time -----

void TZuvoECFNaoFiscal::AbreGaveta() {
  ExigeAtivo();
  // No drawer string configured: say so instead of pretending it opened.
  if (fComando_Abrir_Gaveta.empty()) TZuvoECFClass::AbreGaveta();
  EnviaTexto(fComando_Abrir_Gaveta);
}

void TZuvoECFNaoFiscal::MudaHorarioVerao() {
  ExigeAtivo();
  fMem.HorarioVerao = !fMem.HorarioVerao;
  try {
    GravaArqINI();
  } catch (...) {
    fMem.HorarioVerao = !fMem.HorarioVerao;
    throw;
  }
}

void TZuvoECFNaoFiscal::MudaHorarioVerao(bool EHorarioVerao) {
  if (EHorarioVerao != fMem.HorarioVerao) MudaHorarioVerao();
}

// ----- Tables -----

void TZuvoECFNaoFiscal::CarregaAliquotas() {
  TZuvoECFClass::CarregaAliquotas();
  for (size_t i = 0; i < fMem.Aliquotas.size(); i++) {
    auto& r = fAliquotas->Add();
    r.Indice = InteiroZeros(static_cast<int64_t>(i) + 1, 2);
    r.Aliquota = fMem.Aliquotas[i].Aliquota;
    r.Tipo = fMem.Aliquotas[i].ISS ? 'S' : 'T';
  }
}

TZuvoECFAliquota* TZuvoECFNaoFiscal::AchaICMSAliquota(double Aliquota, char Tipo) {
  TZuvoECFAliquota* a = TZuvoECFClass::AchaICMSAliquota(Aliquota, Tipo);
  if (a) return a;
  ProgramaAliquota(Aliquota, Tipo, "");
  return TZuvoECFClass::AchaICMSAliquota(Aliquota, Tipo);
}

void TZuvoECFNaoFiscal::ProgramaAliquota(double Aliquota, char Tipo, const std::string&) {
  ExigeAtivo();
  const bool iss = std::toupper(static_cast<unsigned char>(Tipo)) == 'S';
  for (const auto& a : fMem.Aliquotas)
    if (a.Aliquota == Aliquota && a.ISS == iss) return;
  // Kept as the text the report prints: plain decimals, never "1E-5"; a
  // rate too small for four decimals is no rate.
  if (!(Aliquota >= 0.0001) || !(Aliquota < 100))
    throw Exception("Aliquota " + FloatToStr(Aliquota) + " Inválida");
  if (static_cast<int>(fMem.Aliquotas.size()) >= kMaxLista)
    throw Exception("Limite de " + IntToStr(kMaxLista) + " Aliquotas atingido");
  GuardaEstado();
  try {
    fMem.Aliquotas.push_back({Aliquota, iss, 0, TextoDecimal(Aliquota, 8, 4, "Aliquota")});
    GravaArqINI();
  } catch (...) {
    RestauraEstado();
    throw;
  }
  if (fAliquotas) {
    auto& r = fAliquotas->Add();
    r.Indice = InteiroZeros(fAliquotas->Count(), 2);
    r.Aliquota = Aliquota;
    r.Tipo = iss ? 'S' : 'T';
  }
}

void TZuvoECFNaoFiscal::CarregaFormasPagamento() {
  TZuvoECFClass::CarregaFormasPagamento();
  for (const auto& f : fMem.FormasPagamento) {
    auto& r = fFormasPagamento->Add();
    r.Indice = f.Indice;
    r.Descricao = f.Descricao;
    r.PermiteVinculado = true;
  }
}

TZuvoECFFormaPagamento* TZuvoECFNaoFiscal::AchaFPGDescricao(const std::string& Descricao) {
  TZuvoECFFormaPagamento* f = TZuvoECFClass::AchaFPGDescricao(Descricao);
  if (f) return f;
  std::string gravada = Descricao;
  ProgramaFormaPagamento(gravada, true, "");
  return TZuvoECFClass::AchaFPGDescricao(gravada);
}

void TZuvoECFNaoFiscal::ProgramaFormaPagamento(std::string& Descricao,
                                               bool PermiteVinculado, const std::string&) {
  ExigeAtivo();
  const std::string procurada = UpperCase(Trim(Descricao));
  for (const auto& f : fMem.FormasPagamento)
    if (UpperCase(Trim(f.Descricao)) == procurada) {
      Descricao = Trim(f.Descricao);
      return;
    }
  if (procurada.empty()) throw Exception("Erro. Parâmetros inválidos.");
  if (static_cast<int>(fMem.FormasPagamento.size()) >= kMaxLista)
    throw Exception("Limite de " + IntToStr(kMaxLista) + " Formas de Pagamento atingido");
  const std::string descricao = CompletaDireita(Descricao, 20);
  const std::string indice = InteiroZeros(static_cast<int64_t>(fMem.FormasPagamento.size()) + 1, 2);
  GuardaEstado();
  try {
    fMem.FormasPagamento.push_back({descricao, 0, indice});
    GravaArqINI();
  } catch (...) {
    RestauraEstado();
    throw;
  }
  if (fFormasPagamento) {
    auto& r = fFormasPagamento->Add();
    r.Indice = indice;
    r.Descricao = descricao;
    r.PermiteVinculado = PermiteVinculado;
  }
  Descricao = Trim(descricao);
}

void TZuvoECFNaoFiscal::CarregaComprovantesNaoFiscais() {
  TZuvoECFClass::CarregaComprovantesNaoFiscais();
  for (const auto& c : fMem.ComprovantesNaoFiscais) {
    auto& r = fComprovantesNaoFiscais->Add();
    r.Indice = c.Indice;
    r.Descricao = c.Descricao;
    r.PermiteVinculado = true;
  }
}

TZuvoECFComprovanteNaoFiscal* TZuvoECFNaoFiscal::AchaCNFDescricao(const std::string& Descricao) {
  TZuvoECFComprovanteNaoFiscal* c = TZuvoECFClass::AchaCNFDescricao(Descricao);
  if (c) return c;
  std::string gravada = Descricao;
  ProgramaComprovanteNaoFiscal(gravada, "V", "");
  return TZuvoECFClass::AchaCNFDescricao(gravada);
}

void TZuvoECFNaoFiscal::ProgramaComprovanteNaoFiscal(std::string& Descricao,
                                                     const std::string& Tipo,
                                                     const std::string&) {
  ExigeAtivo();
  const std::string procurada = UpperCase(Trim(Descricao));
  for (const auto& c : fMem.ComprovantesNaoFiscais)
    if (UpperCase(Trim(c.Descricao)) == procurada) {
      Descricao = Trim(c.Descricao);
      return;
    }
  if (procurada.empty()) throw Exception("Erro. Parâmetros inválidos.");
  if (static_cast<int>(fMem.ComprovantesNaoFiscais.size()) >= kMaxLista)
    throw Exception("Limite de " + IntToStr(kMaxLista) +
                    " Comprovantes nao Fiscais atingido");
  std::string tipo = UpperCase(Tipo);
  if (tipo.empty()) tipo = "V";
  const std::string descricao = CompletaDireita(Descricao, 20);
  const std::string indice =
      InteiroZeros(static_cast<int64_t>(fMem.ComprovantesNaoFiscais.size()) + 1, 2);
  GuardaEstado();
  try {
    fMem.ComprovantesNaoFiscais.push_back({descricao, 0, indice});
    GravaArqINI();
  } catch (...) {
    RestauraEstado();
    throw;
  }
  if (fComprovantesNaoFiscais) {
    auto& r = fComprovantesNaoFiscais->Add();
    r.Indice = indice;
    r.Descricao = descricao;
    r.PermiteVinculado = tipo == "V";
  }
  Descricao = Trim(descricao);
}

}  // namespace zuvo
