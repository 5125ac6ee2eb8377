#include "sim/SimDaruma.h"

#include <chrono>
#include <limits>

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {

const char ESC = 27;
const char FS = 28;
const char GS = 29;
const char CR = 13;
const char LF = 10;
const char FIM = static_cast<char>(255);

char Hex(int V) { return "0123456789ABCDEF"[V & 15]; }

unsigned char Xor(const std::string& S) {
  unsigned char x = 0;
  for (char c : S) x ^= static_cast<unsigned char>(c);
  return x;
}

std::string Pad(const std::string& Texto, size_t Tamanho, char Fill = ' ') {
  return Completa(Texto.substr(0, Tamanho), Tamanho, Fill);
}

// A quantity such as "2,5" or "0002.500" in thousandths; -1 when it is none.
int64_t Milesimos(const std::string& Texto) {
  const size_t v = Texto.find_first_of(".,");
  const std::string inteiro = Texto.substr(0, v);
  std::string fracao = v == std::string::npos ? "" : Texto.substr(v + 1);
  if ((!inteiro.empty() && !SoDigitos(inteiro)) || (!fracao.empty() && !SoDigitos(fracao)) || inteiro.size() > 9 ||
      (inteiro.empty() && fracao.empty()))
    return -1;
  fracao = Completa(fracao, 3, '0');
  return (inteiro.empty() ? 0 : Digitos(inteiro)) * 1000 + Digitos(fracao);
}

ModeloImpressora Modelo(SimDaruma::Conjunto C) {
  ModeloImpressora m;
  m.Modelo = C == SimDaruma::Conjunto::MFD ? "DARUMA FS600" : "DARUMA FS345";
  m.NumSerie = C == SimDaruma::Conjunto::FS2000 ? "DR200001" : "DR345001";
  return m;
}

}  // namespace

SimDaruma::SimDaruma(const OpcoesSimulador& Opcoes)
    : fConjunto(Opcoes.MFD ? Conjunto::MFD
                : Maiusculas(Opcoes.Variante) == "FS2000" ? Conjunto::FS2000
                : Maiusculas(Opcoes.Variante) == "FS315"  ? Conjunto::FS315
                                                          : Conjunto::FS345),
      fECF(Modelo(fConjunto), [this](const std::string& l) { Linha(l); },
           [this] { return FalhasAtivas().SemPapel; }) {
  Contadores c;
  c.COO = 120;
  c.CRZ = 7;
  c.CRO = 4;
  fECF.SetContadores(c);
  // What the shop programmed at installation (slot C is a service rate).
  const int taxas[] = {1800, 700, 500, 1200};
  for (int i = 0; i < 4; i++) fECF.SetAliquota(i, {taxas[i], i == 2, ""});
  fECF.SetForma(0, {"Dinheiro", false, ""});
  fECF.SetForma(1, {"Cheque", true, ""});
  fECF.SetForma(2, {"Cartao", true, ""});
  fECF.SetNaoFiscal(0, {"Sangria", false});
  fECF.SetNaoFiscal(1, {"Suprimento", true});
  fVinculados.assign(16, "");
  fVinculados[0] = "Cheque";
  fVinculados[1] = "Cartao";
  Inicia();
}

SimDaruma::~SimDaruma() { Para(); }

// ----- Settings for tests -----

void SimDaruma::SetConjunto(Conjunto C) {
  std::lock_guard<std::mutex> t(Trava());
  fConjunto = C;
}
SimDaruma::Conjunto SimDaruma::ConjuntoAtual() const {
  std::lock_guard<std::mutex> t(Trava());
  return fConjunto;
}
void SimDaruma::SetRequerZ(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerZ(V);
}
void SimDaruma::SetRequerX(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerX(V);
}
void SimDaruma::SetBloqueada(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetBloqueada(V);
}
void SimDaruma::SetGavetaAberta(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetGavetaAberta(V);
}
bool SimDaruma::GavetaAberta() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.GavetaAberta();
}
bool SimDaruma::HorarioVerao() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.HorarioVerao();
}
bool SimDaruma::ArredondaAtivo() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.Arredonda();
}
int SimDaruma::NivelAgulhas() const {
  std::lock_guard<std::mutex> t(Trava());
  return fAgulhas;
}
void SimDaruma::SetErroProximo(int Codigo) {
  std::lock_guard<std::mutex> t(Trava());
  fErroProximo = Codigo;
}
void SimDaruma::SetOcupada(int Vezes, int Codigo) {
  std::lock_guard<std::mutex> t(Trava());
  fOcupadaVezes = Vezes;
  fOcupadaCodigo = Codigo;
}
std::string SimDaruma::UltimoComando() const {
  std::lock_guard<std::mutex> t(Trava());
  return fUltimo;
}
int SimDaruma::ItensCupom() const {
  std::lock_guard<std::mutex> t(Trava());
  return static_cast<int>(fECF.Itens().size());
}

// ----- Framing -----

bool SimDaruma::TerminaEm255(unsigned char Cmd) const {
  if (Cmd == 'c' || Cmd == 'f' || Cmd == 't') return true;
  if (Fs2000()) return Cmd == 202 || Cmd == 207 || Cmd == 209;
  return Cmd == 225 || Cmd == 242 || Cmd == 243;
}

size_t SimDaruma::Processa(const std::string& P, PtyPar::Saida& Out) {
  if (P.empty()) return 0;
  const char b0 = P[0];
  if (b0 == GS) {
    if (P.size() < 3) return 0;
    fUltimo = P.substr(0, 2);
    ProcessaStatus(static_cast<unsigned char>(P[1]), Out);
    return P[2] == CR ? 3 : 2;
  }
  if (b0 == FS) {
    if (P.size() < 2) return 0;
    size_t n = 0;
    if (P[1] == 'R') {
      n = 7;  // FS "R" 200 + three digits + check byte
    } else {
      size_t fim = P.find(FIM, 2);
      if (fim == std::string::npos) return 0;
      n = fim + 2;
    }
    if (P.size() < n) return 0;
    std::string quadro = P.substr(0, n - 1);
    fUltimo = quadro;
    if (fConjunto != Conjunto::MFD || Xor(quadro) != static_cast<unsigned char>(P[n - 1])) {
      RespondeFS(Out, "16");  // not understood, or a bad check byte
    } else if (fOcupadaVezes > 0) {
      fOcupadaVezes--;
      RespondeFS(Out, Zeros(fOcupadaCodigo, 2));
    } else
      ProcessaFS(quadro, Out);
    return n;
  }
  if (b0 != ESC) return 1;  // noise between commands
  if (P.size() < 2) return 0;
  size_t fim;
  if (TerminaEm255(static_cast<unsigned char>(P[1]))) {
    size_t f = P.find(FIM, 2);
    if (f == std::string::npos) return 0;
    fim = P.find(CR, f);
    if (fim == std::string::npos) return 0;
  } else {
    fim = P.find(CR, 1);
    if (fim == std::string::npos) return 0;
  }
  std::string cmd = P.substr(0, fim);
  fUltimo = cmd;
  fCmd = static_cast<unsigned char>(cmd[1]);
  if (FalhasAtivas().Recusa) {
    Erro(Out, 16);
  } else if (fErroProximo != 0) {
    Erro(Out, fErroProximo);
    fErroProximo = 0;
  } else if (fOcupadaVezes > 0) {
    fOcupadaVezes--;
    Erro(Out, fOcupadaCodigo);
  } else {
    ProcessaEsc(cmd, Out);
  }
  return fim + 1;
}

const std::map<int, SimDaruma::Tratador>& SimDaruma::TabelaFS2000() {
  static const std::map<int, Tratador> t = {
      {195, &SimDaruma::Identifica},     {233, &SimDaruma::Versao},
      {235, &SimDaruma::EstadoDocumento}, {237, &SimDaruma::Contadores2000},
      {230, &SimDaruma::Relogio},        {229, &SimDaruma::Opcoes},
      {231, &SimDaruma::LeAliquotas},    {238, &SimDaruma::LeTabela238},
      {200, &SimDaruma::AbreCupom},      {202, &SimDaruma::VendeItem2000},
      {206, &SimDaruma::Subtotaliza},    {207, &SimDaruma::Paga},
      {209, &SimDaruma::FechaCupom},     {211, &SimDaruma::CancelaCupom},
      {204, &SimDaruma::CancelaItem},    {250, &SimDaruma::LeituraX},
      {252, &SimDaruma::ReducaoZ},       {214, &SimDaruma::AbreGerencial},
      {215, &SimDaruma::LinhaTexto},     {216, &SimDaruma::FechaRelatorio},
      {251, &SimDaruma::MemoriaFiscal},  {213, &SimDaruma::Vinculado2000},
  };
  return t;
}

const std::map<int, SimDaruma::Tratador>& SimDaruma::TabelaFS345() {
  static const std::map<int, Tratador> t = {
      {195, &SimDaruma::Identifica},     {236, &SimDaruma::Versao},
      {239, &SimDaruma::EstadoDocumento}, {244, &SimDaruma::NumCRO},
      {230, &SimDaruma::Relogio},        {229, &SimDaruma::Opcoes},
      {231, &SimDaruma::LeAliquotas},    {234, &SimDaruma::LeTabela234},
      {238, &SimDaruma::LeTabela238},    {200, &SimDaruma::AbreCupom},
      {215, &SimDaruma::VendeItem315},   {225, &SimDaruma::VendeItem345},
      {241, &SimDaruma::Subtotaliza},    {242, &SimDaruma::Paga},
      {243, &SimDaruma::FechaCupom},     {206, &SimDaruma::CancelaCupom},
      {205, &SimDaruma::CancelaItem},    {207, &SimDaruma::LeituraX},
      {208, &SimDaruma::ReducaoZ},       {211, &SimDaruma::AbreGerencial},
      {213, &SimDaruma::LinhaTexto},     {212, &SimDaruma::FechaRelatorio},
      {209, &SimDaruma::MemoriaFiscal},  {219, &SimDaruma::Vinculado345},
      {218, &SimDaruma::ProgramaForma},  {226, &SimDaruma::ProgramaComprovante},
  };
  return t;
}

// Commands the three sets share.
const std::map<int, SimDaruma::Tratador>& SimDaruma::TabelaComum() {
  static const std::map<int, Tratador> t = {
      {'p', &SimDaruma::AbreGaveta},  {220, &SimDaruma::ProgramaAliquota},
      {228, &SimDaruma::Configura},   {'b', &SimDaruma::SoDigitosOk},
      {'d', &SimDaruma::SoDigitosOk}, {'c', &SimDaruma::Aceita},
      {'f', &SimDaruma::Aceita},      {'m', &SimDaruma::Aceita},
      {'v', &SimDaruma::Cheque},      {'t', &SimDaruma::VersoCheque},
  };
  return t;
}

void SimDaruma::ProcessaEsc(const std::string& Cmd, PtyPar::Saida& Out) {
  const auto& propria = Fs2000() ? TabelaFS2000() : TabelaFS345();
  auto h = propria.find(fCmd);
  if (h == propria.end()) h = TabelaComum().find(fCmd);
  if (h == TabelaComum().end()) return Erro(Out, 16);
  (this->*(h->second))(Cmd.substr(2), Out);
}

// ----- Answers -----

void SimDaruma::Ok(PtyPar::Saida& Out, const std::string& Dados, bool Imprimiu) {
  int codigo = Imprimiu && FalhasAtivas().PoucoPapel ? 21 : 0;
  if (Fs2000()) {
    Responde(Out, ":" + std::string(1, static_cast<char>(fCmd)) + Zeros(codigo, 2) + "00" + Dados + CR);
  } else if (codigo != 0) {
    Responde(Out, ":E" + Zeros(codigo, 2) + CR);
  } else {
    Responde(Out, std::string(":") + ESC + static_cast<char>(fCmd) + Dados + CR);
  }
}

void SimDaruma::Erro(PtyPar::Saida& Out, int Codigo) {
  if (Fs2000())
    Responde(Out, ":" + std::string(1, static_cast<char>(fCmd)) + Zeros(Codigo, 2) + CR);
  else
    Responde(Out, ":E" + Zeros(Codigo, 2) + CR);
}

int SimDaruma::Codigo(ErroFiscal E) {
  switch (E) {
    case ErroFiscal::CupomAberto: case ErroFiscal::DocumentoAberto: return 10;
    case ErroFiscal::SemCupom: case ErroFiscal::ForaDaFase: case ErroFiscal::SemDocumento: return 11;
    case ErroFiscal::CancelamentoInvalido: return 12;
    case ErroFiscal::ValorInvalido: return 13;
    case ErroFiscal::TabelaCheia: return 14;
    case ErroFiscal::ItemInexistente: return 15;
    case ErroFiscal::AliquotaInvalida: return 18;
    case ErroFiscal::Bloqueada: return 22;
    case ErroFiscal::RequerZ: return 23;
    case ErroFiscal::TipoInvalido: case ErroFiscal::VinculadoInvalido: return 30;
    case ErroFiscal::FormaInvalida: return 38;
    case ErroFiscal::CupomVazio: case ErroFiscal::PagamentoIncompleto: case ErroFiscal::PagamentoCompleto: return 39;
    case ErroFiscal::RequerX: return 42;
    case ErroFiscal::SemPapel: return 50;
    default: return 16;
  }
}

void SimDaruma::Conclui(PtyPar::Saida& Out, ErroFiscal E, bool Imprimiu) {
  if (E == ErroFiscal::Nenhum) return Ok(Out, "", Imprimiu);
  Erro(Out, Codigo(E));
}

void SimDaruma::RespondeFS(PtyPar::Saida& Out, const std::string& Corpo) {
  std::string r = ":" + Corpo + CR;
  Responde(Out, r + static_cast<char>(Xor(r)));
}

void SimDaruma::Saldo(PtyPar::Saida& Out) { Responde(Out, ":" + Zeros(fECF.Saldo(), 12) + CR); }

void SimDaruma::Linha(const std::string& Texto) {
  Imprime(Texto);
  const int64_t agora = AgoraMs();
  const int tempo = TempoImpressao(1);
  if (tempo == kNunca) {
    fOcupadoAteMs = std::numeric_limits<int64_t>::max();
    return;
  }
  if (fOcupadoAteMs < agora) fOcupadoAteMs = agora;
  if (fOcupadoAteMs != std::numeric_limits<int64_t>::max()) fOcupadoAteMs += tempo;
}

// ----- Status -----

void SimDaruma::ProcessaStatus(unsigned char Tipo, PtyPar::Saida& Out) {
  const Falhas& f = FalhasAtivas();
  if (!f.ImpressaoSemFim && fOcupadoAteMs == std::numeric_limits<int64_t>::max()) fOcupadoAteMs = 0;
  const bool ocupado = AgoraMs() < fOcupadoAteMs;
  const bool aberto = fECF.CupomAberto();
  const bool gaveta = fECF.GavetaAberta(), bloqueada = fECF.Bloqueada(), xFeita = !fECF.RequerX();
  int d[12] = {0};
  if (Tipo == 5 && Fs2000()) {
    d[2] = gaveta ? 8 : 0;
    d[3] = (f.SemPapel ? 1 : 0) | (f.PoucoPapel ? 2 : 0);
    d[4] = 0xA;
    d[5] = (bloqueada ? 4 : 0) | (xFeita ? 2 : 0) | 8;
    d[6] = ocupado ? 0 : 1;
  } else if (Tipo == 6 && fConjunto == Conjunto::MFD) {
    d[3] = 0xA;
    d[5] = (bloqueada ? 8 : 0) | (fECF.RequerZ() ? 4 : 0);
  } else if (Tipo == 255 && !Fs2000()) {
    d[2] = (gaveta ? 8 : 0) | (f.SemPapel ? 1 : 0);
    d[3] = (f.PoucoPapel ? 1 : 0) | (fECF.RequerZ() ? 2 : 0);
    d[4] = 0xA;
    d[5] = aberto ? 4 : 0;
    d[7] = (bloqueada ? 2 : 0) | (xFeita ? 4 : 0) | 8;
    d[9] = ocupado ? 1 : 0;
  } else {
    Responde(Out, std::string(":E16") + CR);
    return;
  }
  std::string r = ":";
  for (int i = 2; i <= 11; i++) r += Hex(d[i]);
  Responde(Out, r + CR);
}

// ----- Codes and tables -----

char SimDaruma::LetraDocumento() const {
  const Documento d = fECF.DocumentoAberto();
  const bool pagamento = fECF.EmPagamento();
  if (Fs2000()) {
    switch (d) {
      case Documento::Nenhum: return '0';
      case Documento::Cupom: case Documento::NaoFiscal: return pagamento ? '7' : '1';
      case Documento::Gerencial: return '2';
      case Documento::Vinculado: return '3';
    }
  }
  switch (d) {
    case Documento::Nenhum: return '2';
    case Documento::Cupom: case Documento::NaoFiscal: return '1';
    case Documento::Gerencial: return '0';
    case Documento::Vinculado: return '3';
  }
  return '2';
}

// A tax code: a letter (lower case a service rate), "T" + letter or digit,
// F/I/N for untaxed items; two digits on the detail-memory printer.
int SimDaruma::SlotAliquota(const std::string& Codigo) const {
  if (Codigo.empty()) return -100;
  const std::string c = Maiusculas(Codigo);
  if (c[0] == 'F' || c[0] == 'I' || c[0] == 'N') {
    if (c.size() == 1 || c[1] == ' ' || c[1] == c[0])
      return c[0] == 'F' ? kSubstituicao : c[0] == 'I' ? kIsento : kNaoIncidencia;
  }
  if (fConjunto == Conjunto::MFD) {
    const int64_t n = Digitos(Codigo.substr(0, 2));
    if (n == 17) return kSubstituicao;
    if (n == 19) return kIsento;
    if (n == 21) return kNaoIncidencia;
    return n >= 1 && n <= 16 ? static_cast<int>(n - 1) : -100;
  }
  // A programmed rate is "T" + its table letter (or its number); a bare
  // letter names no rate.
  if (c[0] != 'T' || c.size() < 2 || c[1] == ' ') return -100;
  char letra = c[1];
  if (letra >= '1' && letra <= '9') letra = static_cast<char>('A' + (letra - '1'));
  return letra >= 'A' && letra <= 'P' ? letra - 'A' : -100;
}

// A payment method's code: one letter, or two digits.
int SimDaruma::SlotForma(const std::string& Codigo, size_t& Tamanho) const {
  if (Codigo.empty()) return -1;
  if (Codigo[0] >= 'A' && Codigo[0] <= 'P') {
    Tamanho = 1;
    return Codigo[0] - 'A';
  }
  Tamanho = 2;
  const int64_t n = Digitos(Trecho(Codigo, 0, 2));
  if (n < 1 || n > 16) return -1;
  return static_cast<int>(n - 1);
}

std::string SimDaruma::TabelaAliquotas() const {
  std::string r;
  const auto& a = fECF.Aliquotas();
  for (size_t i = 0; i < a.size(); i++) {
    const char letra = static_cast<char>((a[i].ISS ? 'a' : 'A') + i);
    if (Fs2000())
      r += (a[i].Valor > 0 ? Zeros(a[i].Valor, 4) : "0000") + letra;
    else
      r += letra + (a[i].Valor > 0 ? Zeros(a[i].Valor, 4) : "////");
  }
  return r;
}

std::string SimDaruma::Tabela234() const {
  std::string r = Pad(":" + std::string(1, static_cast<char>(234)), 32, '0');
  for (const auto& c : fECF.NaoFiscais()) r += Pad(c.Descricao, 22);
  for (const auto& v : fVinculados) r += Pad(v, 21);
  const auto& formas = fECF.Formas();
  for (size_t i = 0; i < 32; i++) {
    if (i < formas.size() && !formas[i].Descricao.empty())
      r += std::string(1, formas[i].PermiteVinculado ? 'V' : 'X') + Pad(formas[i].Descricao, 21);
    else
      r += std::string(22, ' ');
  }
  return r + CR;
}

std::string SimDaruma::Tabela238() const {
  const bool mfd = fConjunto == Conjunto::MFD;
  std::string r = Pad(":" + std::string(1, static_cast<char>(238)) + "0000", 21, '0');
  for (const auto& c : fECF.NaoFiscais())
    r += c.Descricao.empty() && mfd ? std::string(22, FIM) : Pad(c.Descricao, 22);
  for (const auto& v : fVinculados) r += v.empty() && mfd ? std::string(21, FIM) : Pad(v, 21);
  const auto& formas = fECF.Formas();
  for (size_t i = 0; i < formas.size(); i++) {
    if (!formas[i].Descricao.empty())
      r += std::string(1, formas[i].PermiteVinculado ? 'V' : 'X') + Pad(formas[i].Descricao, 17);
    else if (mfd)
      r += "V" + std::string(17, FIM);
    else
      r += "X" + Pad("Pagamento Tipo " + std::string(1, static_cast<char>('A' + i)), 17);
  }
  return r + CR;
}

// ----- FS commands of the detail-memory printer -----

void SimDaruma::ProcessaFS(const std::string& Cmd, PtyPar::Saida& Out) {
  const std::string r200(1, static_cast<char>(200));
  if (Cmd[1] == 'R') {
    const std::string reg = Trecho(Cmd, 3, 3);
    std::string corpo = r200 + reg;
    const Documento d = fECF.DocumentoAberto();
    if (reg == "083") {
      corpo += "010200";
    } else if (reg == "139") {
      corpo += "32";
    } else if (reg == "057") {
      char c = '0';
      if (fECF.CupomAberto()) c = fECF.EmPagamento() ? '2' : '1';
      else if (d == Documento::Gerencial) c = '5';
      else if (d == Documento::Vinculado) c = '6';
      corpo += c;
    } else if (reg == "048") {
      corpo += Zeros(fECF.EmPagamento() ? fECF.TotalPago() : 0, 13);
    } else {
      return RespondeFS(Out, "16");
    }
    return RespondeFS(Out, corpo);
  }
  // FS "F" 201: T(2) qty(7) price(8) "0" discount(4) "0000000" "00"
  // code(14) unit(3) description + 255.
  if (Cmd[1] != 'F' || static_cast<unsigned char>(Cmd[2]) != 201 || Cmd.size() < 52) return RespondeFS(Out, "16");
  if (fECF.DocumentoAberto() != Documento::Cupom || fECF.EmPagamento()) return RespondeFS(Out, "11");
  ItemVendido it;
  it.QtdMil = Digitos(Cmd.substr(5, 7));
  it.PrecoMil = Digitos(Cmd.substr(12, 8)) * 10;
  it.DescontoPercentual = static_cast<int>(Digitos(Cmd.substr(21, 4)));
  it.Codigo = Apara(Cmd.substr(34, 14));
  it.Descricao = Apara(Cmd.substr(51, Cmd.size() - 52), FIM);
  it.Aliquota = SlotAliquota(Cmd.substr(3, 2));
  if (it.QtdMil < 0 || it.PrecoMil < 0 || it.DescontoPercentual < 0) return RespondeFS(Out, "13");
  const ErroFiscal e = fECF.VendeItem(it);
  RespondeFS(Out, e == ErroFiscal::Nenhum ? "00" : Zeros(Codigo(e), 2));
}

// ----- Queries -----

void SimDaruma::Identifica(const std::string&, PtyPar::Saida& Out) {
  if (Fs2000()) return Responde(Out, std::string(":10004") + CR);
  Responde(Out, std::string(fConjunto == Conjunto::FS315 ? ":10033" : ":10043") + "A1" + CR);
}

void SimDaruma::Versao(const std::string&, PtyPar::Saida& Out) {
  if (Fs2000()) return Ok(Out, std::string(10, '0') + "DR200001" + "0000" + "0003");
  Responde(Out, std::string(":V") + (fConjunto == Conjunto::FS315 ? "DR3150" : "DR345001") + CR);
}

void SimDaruma::EstadoDocumento(const std::string&, PtyPar::Saida& Out) {
  const int64_t sub = fECF.CupomAberto() ? fECF.TotalCupom() : 0;
  if (Fs2000())
    return Ok(Out, std::string(1, LetraDocumento()) + Zeros(fECF.COO(), 6) + std::string(15, '0') + Zeros(sub, 12));
  const bool livre = fECF.DocumentoAberto() == Documento::Nenhum;
  std::string d = "0001" + std::string(1, LetraDocumento()) + Zeros(livre ? fECF.COO() + 1 : fECF.COO(), 6);
  if (fConjunto == Conjunto::FS315)
    d += std::string(16, '0') + Zeros(sub, 21);
  else
    d += std::string(14, '0') + Zeros(sub, 14);
  Ok(Out, d);
}

void SimDaruma::Contadores2000(const std::string&, PtyPar::Saida& Out) {
  Ok(Out, std::string(42, '0') + Zeros(fECF.CRO(), 6));
}

void SimDaruma::NumCRO(const std::string&, PtyPar::Saida& Out) {
  // As the printers answer it: ':' ESC 244, then the registers; the CRO at
  // bytes 38-41 of the whole answer and the Z count at 42-45.
  Responde(Out, std::string(":") + ESC + static_cast<char>(244) + std::string(34, '0') + Zeros(fECF.CRO(), 4) +
                    Zeros(fECF.CRZ(), 4) + CR);
}

void SimDaruma::Relogio(const std::string&, PtyPar::Saida& Out) {
  if (Fs2000()) return Ok(Out, fECF.DataHora("ddmmyyhhnnss"));
  Responde(Out, ":" + std::string(1, static_cast<char>(230)) + fECF.DataHora("ddmmyyhhnnss") + CR);
}

void SimDaruma::Opcoes(const std::string&, PtyPar::Saida& Out) {
  if (Fs2000()) return Ok(Out, std::string("00") + (fECF.HorarioVerao() ? '1' : '0'));
  Responde(Out, ":" + std::string(1, static_cast<char>(229)) + "000" + (fECF.Arredonda() ? '1' : '0') +
                    (fECF.HorarioVerao() ? '1' : '0') + CR);
}

void SimDaruma::LeAliquotas(const std::string&, PtyPar::Saida& Out) {
  if (Fs2000()) return Ok(Out, "0" + TabelaAliquotas() + "00");
  Responde(Out, ":" + std::string(1, static_cast<char>(231)) + TabelaAliquotas() + CR);
}

void SimDaruma::LeTabela234(const std::string&, PtyPar::Saida& Out) {
  if (fConjunto == Conjunto::MFD) return Responde(Out, ":" + std::string(1, static_cast<char>(234)) + CR);
  Responde(Out, Tabela234());
}

void SimDaruma::LeTabela238(const std::string&, PtyPar::Saida& Out) { Responde(Out, Tabela238()); }

// ----- The receipt -----

void SimDaruma::AbreCupom(const std::string&, PtyPar::Saida& Out) {
  const ErroFiscal e = fECF.AbreCupom();
  if (e != ErroFiscal::Nenhum) return Erro(Out, Codigo(e));
  Ok(Out, Fs2000() ? Zeros(fECF.COO(), 6) : "", true);
}

void SimDaruma::VendeItem2000(const std::string& Arg, PtyPar::Saida& Out) {
  // T(3) code(18) "00000" discount(4) price(10) qty(8) unit(2) text 255
  if (Arg.size() < 51) return Erro(Out, 16);
  ItemVendido it;
  it.Codigo = Apara(Arg.substr(3, 18));
  it.DescontoPercentual = static_cast<int>(Digitos(Arg.substr(26, 4)));
  it.PrecoMil = Digitos(Arg.substr(30, 10));
  it.QtdMil = Digitos(Arg.substr(40, 8));
  it.Descricao = Apara(Arg.substr(50, Arg.size() - 51));
  Vende(Arg.substr(0, 3), std::move(it), Out);
}

void SimDaruma::VendeItem315(const std::string& Arg, PtyPar::Saida& Out) {
  // T(2) code(13) "0000" discount(4) price(9, 2 decimals) qty(5) unit(2) text(30)
  if (Arg.size() < 39) return Erro(Out, 16);
  ItemVendido it;
  it.Codigo = Apara(Arg.substr(2, 13));
  it.DescontoPercentual = static_cast<int>(Digitos(Arg.substr(19, 4)));
  const int64_t preco = Digitos(Arg.substr(23, 9));
  it.PrecoMil = preco < 0 ? -1 : preco * 10;
  it.QtdMil = Milesimos(Arg.substr(32, 5));
  it.Descricao = Apara(Arg.substr(39));
  Vende(Arg.substr(0, 2), std::move(it), Out);
}

void SimDaruma::VendeItem345(const std::string& Arg, PtyPar::Saida& Out) {
  // T(2) code(13) "0000" discount(4) price(9, 3 decimals) qty(6) unit(2) text 255
  if (Arg.size() < 41) return Erro(Out, 16);
  ItemVendido it;
  it.Codigo = Apara(Arg.substr(2, 13));
  it.DescontoPercentual = static_cast<int>(Digitos(Arg.substr(19, 4)));
  it.PrecoMil = Digitos(Arg.substr(23, 9));
  it.QtdMil = Milesimos(Arg.substr(32, 6));
  it.Descricao = Apara(Arg.substr(40, Arg.size() - 41));
  Vende(Arg.substr(0, 2), std::move(it), Out);
}

void SimDaruma::Vende(const std::string& Aliquota, ItemVendido It, PtyPar::Saida& Out) {
  if (fECF.DocumentoAberto() != Documento::Cupom || fECF.EmPagamento()) return Erro(Out, 11);
  It.Aliquota = SlotAliquota(Aliquota);
  if (It.Aliquota == -100) return Erro(Out, 18);
  if (It.QtdMil <= 0 || It.PrecoMil <= 0 || It.DescontoPercentual < 0) return Erro(Out, 13);
  Conclui(Out, fECF.VendeItem(std::move(It)), false);
}

void SimDaruma::Subtotaliza(const std::string& Arg, PtyPar::Saida& Out) {
  if (!fECF.CupomAberto()) return Erro(Out, 11);
  const int64_t v = Digitos(Trecho(Arg, 1, 12));
  if (Arg.size() < 13 || (Arg[0] != '1' && Arg[0] != '3') || v < 0) return Erro(Out, 24);
  if (!fECF.EmPagamento()) {
    if (fECF.AcresceSubtotal(Arg[0] == '3' ? v : -v) != ErroFiscal::Nenhum) return Erro(Out, 24);
    if (ErroFiscal e = fECF.IniciaPagamento(); e != ErroFiscal::Nenhum) return Erro(Out, Codigo(e));
  }
  Saldo(Out);
}

void SimDaruma::Paga(const std::string& Arg, PtyPar::Saida& Out) {
  if (!fECF.CupomAberto()) return Erro(Out, 11);
  size_t tam = 0;
  const int slot = SlotForma(Arg, tam);
  const int64_t v = Arg.size() >= tam + 12 ? Digitos(Arg.substr(tam, 12)) : -1;
  if (slot >= 0 && v <= 0) return Erro(Out, 13);
  const ErroFiscal e = fECF.Paga(slot, v);
  if (e != ErroFiscal::Nenhum) return Erro(Out, Codigo(e));
  Saldo(Out);
}

void SimDaruma::FechaCupom(const std::string& Arg, PtyPar::Saida& Out) {
  // The closing message, without the 255 that ends it.
  Conclui(Out, fECF.FechaCupom(Apara(Arg, FIM)));
}

void SimDaruma::CancelaCupom(const std::string&, PtyPar::Saida& Out) { Conclui(Out, fECF.CancelaCupom()); }

void SimDaruma::CancelaItem(const std::string& Arg, PtyPar::Saida& Out) {
  if (fECF.DocumentoAberto() != Documento::Cupom || fECF.EmPagamento()) return Erro(Out, 11);
  const int64_t n = Digitos(Trecho(Arg, 0, 3));
  const ErroFiscal e = fECF.CancelaItem(n < 0 ? 0 : static_cast<int>(n));
  Conclui(Out, e, false);
}

// ----- Reports and other documents -----

void SimDaruma::LeituraX(const std::string&, PtyPar::Saida& Out) { Conclui(Out, fECF.LeituraX()); }

void SimDaruma::ReducaoZ(const std::string& Arg, PtyPar::Saida& Out) {
  if (fECF.DocumentoAberto() != Documento::Nenhum) return Erro(Out, 10);
  if (fECF.Bloqueada()) return Erro(Out, 22);
  if (Digitos(Trecho(Arg, 0, 12)) < 0) return Erro(Out, 13);
  Conclui(Out, fECF.ReducaoZ());
}

void SimDaruma::AbreGerencial(const std::string&, PtyPar::Saida& Out) { Conclui(Out, fECF.AbreGerencial()); }

void SimDaruma::LinhaTexto(const std::string& Arg, PtyPar::Saida& Out) {
  // One line a command; an empty one feeds the paper.
  const std::string t = !Arg.empty() && Arg.back() == LF ? Arg : Arg + LF;
  const ErroFiscal e = fECF.ImprimeTexto(t);
  if (e != ErroFiscal::Nenhum) return Erro(Out, e == ErroFiscal::SemPapel ? 50 : 11);
  Ok(Out, "", true);
}

void SimDaruma::FechaRelatorio(const std::string&, PtyPar::Saida& Out) {
  const ErroFiscal e = fECF.FechaRelatorio();
  if (e != ErroFiscal::Nenhum) return Erro(Out, e == ErroFiscal::SemPapel ? 50 : 11);
  Ok(Out, "", true);
}

void SimDaruma::MemoriaFiscal(const std::string& Arg, PtyPar::Saida& Out) {
  // 'x' prints, 's' sends on the serial line; then two dates ddmmyy or two
  // reduction numbers.
  if (Arg.size() < 13 || (Arg[0] != 'x' && Arg[0] != 's') || Digitos(Arg.substr(1, 12)) < 0) return Erro(Out, 16);
  const std::string a = Arg.substr(1, 6), b = Arg.substr(7, 6);
  const bool datas = LeDdMmAa(a) >= 0 && LeDdMmAa(b) >= 0;
  const long de = datas ? LeDdMmAa(a) : static_cast<long>(Digitos(a));
  const long ate = datas ? LeDdMmAa(b) : static_cast<long>(Digitos(b));
  if (Arg[0] == 's' && !Fs2000()) {
    std::string r = ":";
    for (const auto& s : fECF.TextoMemoriaFiscal(de, ate, datas)) r += s + LF;
    return Responde(Out, r + CR);
  }
  Conclui(Out, fECF.ImprimeMemoriaFiscal(de, ate, datas));
}

void SimDaruma::Vinculado2000(const std::string& Arg, PtyPar::Saida& Out) {
  size_t tam = 0;
  const int slot = SlotForma(Arg, tam);
  if (slot < 0) return Erro(Out, 38);
  Conclui(Out, fECF.AbreVinculado(slot, 0, 0, "COMPROVANTE NAO FISCAL VINCULADO"));
}

void SimDaruma::Vinculado345(const std::string& Arg, PtyPar::Saida& Out) {
  // linked type (letter) + payment method + COO(6) + value(12)
  if (Arg.empty()) return Erro(Out, 16);
  const int tipo = Arg[0] - 'A';
  if (tipo < 0 || tipo > 15 || fVinculados[static_cast<size_t>(tipo)].empty()) return Erro(Out, 30);
  size_t tam = 0;
  const int slot = SlotForma(Arg.substr(1), tam);
  if (slot < 0) return Erro(Out, 38);
  const int64_t coo = Digitos(Trecho(Arg, 1 + tam, 6)), valor = Digitos(Trecho(Arg, 7 + tam, 12));
  if (Arg.size() != 1 + tam + 18 || coo < 0 || valor < 0) return Erro(Out, 13);
  Conclui(Out, fECF.AbreVinculado(slot, valor, static_cast<int>(coo),
                                  "COMPROVANTE NAO FISCAL VINCULADO " + fVinculados[static_cast<size_t>(tipo)]));
}

// ----- Tables and settings -----

void SimDaruma::ProgramaForma(const std::string& Arg, PtyPar::Saida& Out) {
  // "PG" + V/X + slot letter + description(17)
  if (Arg.size() < 4 || Arg.substr(0, 2) != "PG") return Erro(Out, 16);
  int slot = Arg[3] - 'A';
  if (slot < 0 || slot > 15) return Erro(Out, 25);
  Conclui(Out, fECF.ProgramaForma({Apara(Arg.substr(4)), Arg[2] == 'V', ""}, slot), false);
}

void SimDaruma::ProgramaComprovante(const std::string& Arg, PtyPar::Saida& Out) {
  if (Arg.empty()) return Erro(Out, 16);
  const std::string descricao = Apara(Arg.substr(1));
  if (Arg[0] == 'V') {
    for (auto& s : fVinculados)
      if (s.empty()) {
        s = descricao;
        return Ok(Out);
      }
    return Erro(Out, 14);
  }
  int slot = -1;
  Conclui(Out, fECF.ProgramaNaoFiscal({descricao, Arg[0] != '-'}, slot), false);
}

void SimDaruma::AbreGaveta(const std::string&, PtyPar::Saida& Out) {
  fECF.AbreGaveta();
  Ok(Out);
}

void SimDaruma::ProgramaAliquota(const std::string& Arg, PtyPar::Saida& Out) {
  const bool servico = !Arg.empty() && Arg[0] == 'S';
  const int64_t v = Digitos(Trecho(Arg, servico ? 1 : 0));
  if (v <= 0 || v > 9999) return Erro(Out, 13);
  int slot = -1;
  Conclui(Out, fECF.ProgramaAliquota({static_cast<int>(v), servico, ""}, slot), false);
}

void SimDaruma::Configura(const std::string& Arg, PtyPar::Saida& Out) {
  // 40 settings bytes; 'X' leaves one as it is.
  if (Arg.size() != 40) return Erro(Out, 16);
  if (Arg[4] != 'X') fECF.SetArredonda(Arg[4] == '1');
  if (Arg[5] != 'X' && fECF.MudaHorarioVerao(Arg[5] == '1') != ErroFiscal::Nenhum) return Erro(Out, 10);
  if (Arg[13] != 'X') fAgulhas = Arg[13] - '0';
  Ok(Out);
}

void SimDaruma::SoDigitosOk(const std::string& Arg, PtyPar::Saida& Out) {
  if (Digitos(Arg) < 0) return Erro(Out, 13);
  Ok(Out);
}

void SimDaruma::Aceita(const std::string&, PtyPar::Saida& Out) { Ok(Out); }

void SimDaruma::Cheque(const std::string& Arg, PtyPar::Saida& Out) {
  const int64_t valor = Digitos(Arg);
  if (valor < 0) return Erro(Out, 13);
  Conclui(Out, fECF.ImprimeCheque(valor, "", "", ""));
}

void SimDaruma::VersoCheque(const std::string& Arg, PtyPar::Saida& Out) {
  Linha(Apara(Arg, FIM));
  Ok(Out, "", true);
}

}  // namespace zuvo::sim
