#include "sim/SimSchalter.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {

const char ESC = 27;
const char CR = 13;

// The printer's status codes.
const int kAceito = 0;
const int kEmVenda = 65;
const int kCabecalhoImpresso = 68;
const int kSemCabecalho = 69;
const int kValorInvalido = 70;
const int kPagamentoInferior = 73;
const int kChecksum = 79;
const int kPapel = 81;
const int kSemPagamento = 86;
const int kTotalizado = 87;
const int kSemVenda = 88;
const int kCupomAberto = 90;
const int kNaoCancela = 91;
const int kSemAliquota = 92;
const int kInexistente = 107;
const int kHoraVerao = 111;
const int kRequerZ = 113;
const int kBloqueada = 114;
const int kForaSequencia = 126;
const int kParametros = 136;
const int kParametrosPagamento = 141;
const int kSemVinculado = 146;

// A frame left incomplete this long is given up.
const int64_t kParcialMs = 1000;

// Texto right-aligned in Tamanho, filled with Com on the left (cut when longer).
std::string Direita(const std::string& Texto, size_t Tamanho, char Com = ' ') {
  if (Texto.size() >= Tamanho) return Texto.substr(Texto.size() - Tamanho);
  return std::string(Tamanho - Texto.size(), Com) + Texto;
}

std::string Quadro(const std::string& Dados) {
  std::string q = std::string(1, ESC) + "f" + Dados;
  unsigned soma = 0;
  for (char c : q) soma += Byte(c);
  return q + static_cast<char>((256 - soma % 256) % 256);
}

// "00001,5" or "0002,500" in thousandths; -1 when it is no quantity.
int64_t Milesimos(const std::string& Texto) {
  const size_t v = Texto.find(',');
  const std::string inteiro = Texto.substr(0, v);
  std::string fracao = v == std::string::npos ? "" : Texto.substr(v + 1);
  if (!SoDigitos(inteiro) || (!fracao.empty() && !SoDigitos(fracao)) || fracao.size() > 3) return -1;
  return Digitos(inteiro) * 1000 + Digitos(Completa(fracao, 3, '0'));
}

ModeloImpressora Modelo(const OpcoesSimulador& O, const std::string& Versao) {
  ModeloImpressora m;
  m.Modelo = "SCHALTER SCFI";
  m.Versao = Versao;
  m.NumSerie = "SC01234567";
  m.Colunas = O.Colunas > 0 ? O.Colunas : 48;
  m.Aliquotas = 16;
  m.Formas = 20;
  m.NaoFiscais = 20;
  return m;
}

}  // namespace

SimSchalter::SimSchalter(const OpcoesSimulador& Opcoes)
    : fVersao(Opcoes.Variante.empty() ? "3.10" : Opcoes.Variante),
      fVersaoNum(std::atof(fVersao.c_str())),
      fECF(Modelo(Opcoes, fVersao), [this](const std::string& l) { Imprime(l); },
           [this] { return FalhasAtivas().SemPapel; }) {
  fECF.SetArredonda(true);  // the printer rounds item values
  sim::Contadores c;
  c.COO = 230;
  c.CRZ = 12;
  c.CRO = 2;
  fECF.SetContadores(c);
  // What the shop programmed at installation.
  fECF.SetAliquota(0, {1800, false, ""});
  fECF.SetAliquota(1, {700, false, ""});
  fECF.SetAliquota(2, {1200, false, ""});
  fECF.SetAliquota(3, {500, true, ""});
  fECF.SetForma(0, {"Dinheiro", true, ""});
  fECF.SetForma(1, {"Cartao", true, ""});
  fECF.SetForma(2, {"Cheque", true, ""});
  fComprovantes.assign(20, Comprovante{});
  fECF.SetNaoFiscal(0, {"Sangria", false});
  fECF.SetNaoFiscal(1, {"Suprimento", true});
  fECF.SetNaoFiscal(2, {"Cartao", true});
  fComprovantes[2] = {"NNNNS", 1};  // the card's linked receipt
  Inicia();
}

SimSchalter::~SimSchalter() { Para(); }

// ----- Settings for tests -----

void SimSchalter::SetErroProximo(int Codigo) {
  std::lock_guard<std::mutex> t(Trava());
  fErroProximo = Codigo;
}
void SimSchalter::SetRequerZ(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerZ(V);
}
void SimSchalter::SetBloqueada(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetBloqueada(V);
}
void SimSchalter::SetGavetaAberta(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetGavetaAberta(V);
}
bool SimSchalter::GavetaAberta() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.GavetaAberta();
}
std::string SimSchalter::UltimoComando() const {
  std::lock_guard<std::mutex> t(Trava());
  return fUltimo;
}
int SimSchalter::ChecksumsErrados() const {
  std::lock_guard<std::mutex> t(Trava());
  return fChecksumsErrados;
}
int SimSchalter::VinculadosPendentes() const {
  std::lock_guard<std::mutex> t(Trava());
  return static_cast<int>(fPendentes.size());
}
void SimSchalter::AdicionaReducoes(int N) {
  std::lock_guard<std::mutex> t(Trava());
  const long hoje = fECF.Hoje();
  for (int i = 1; i <= N; i++)
    fECF.AdicionaRegistroZ({i, i * 10, 1, hoje - (N - i) - 1, 10000 * i, 50000 * i});
}

// ----- The line -----

size_t SimSchalter::Processa(const std::string& P, PtyPar::Saida& Out) {
  if (P.empty()) return 0;
  const int64_t agora = AgoraMs();
  // A frame left incomplete for a second is given up: the driver has long
  // since purged and gone on.
  if (fParcialTamanho > 0 && agora - fParcialDesde > kParcialMs && P.size() > fParcialTamanho) {
    const size_t n = fParcialTamanho;
    fParcialTamanho = 0;
    return n;
  }
  if (P[0] != ESC) return 1;  // noise between commands
  if (P.size() < 2) return Espera(P.size(), agora);
  if (P[1] == 'n') return ProcessaTexto(P, Out);
  if (P[1] != 'f') return 1;
  return ProcessaQuadro(P, Out, agora);
}

size_t SimSchalter::Espera(size_t Tamanho, int64_t Agora) {
  if (fParcialTamanho == 0) fParcialDesde = Agora;
  fParcialTamanho = Tamanho;
  return 0;
}

void SimSchalter::Ocupa(int LinhasAntes, int64_t Agora) {
  const int tempo = TempoImpressao(LinhasImpressas() - LinhasAntes);
  if (tempo == kNunca) fOcupadoAte = kSempre;
  else if (tempo > 0 && fOcupadoAte != kSempre) fOcupadoAte = std::max(Agora, fOcupadoAte) + tempo;
}

size_t SimSchalter::ProcessaQuadro(const std::string& P, PtyPar::Saida& Out, int64_t Agora) {
  if (P.size() < 3) return Espera(P.size(), Agora);
  const int cmd = Byte(P[2]);
  const auto h = Tabela().find(cmd);
  // A command byte the printer does not know: its length is unknown too, so
  // what came with it goes.
  const size_t n = h == Tabela().end() ? P.size() - 2 : h->second.Tamanho + 1;
  if (P.size() < n + 2) return Espera(P.size(), Agora);
  fParcialTamanho = 0;
  if (!FalhasAtivas().ImpressaoSemFim && fOcupadoAte == kSempre) fOcupadoAte = Agora;
  unsigned soma = 0;
  for (size_t i = 0; i < n + 2; i++) soma += Byte(P[i]);
  fUltimo = P.substr(2, n - 1);
  const int linhasAntes = LinhasImpressas();
  if (soma % 256 != 0) {
    fChecksumsErrados++;
    Status(Out, kChecksum);
  } else if (FalhasAtivas().Recusa) {
    Status(Out, kForaSequencia);
  } else if (fErroProximo != 0) {
    Status(Out, fErroProximo);
    fErroProximo = 0;
  } else if (h == Tabela().end()) {
    Status(Out, kInexistente);
  } else {
    Executa(cmd, P.substr(3, n - 2), Out);
  }
  Ocupa(linhasAntes, Agora);
  return n + 2;
}

size_t SimSchalter::ProcessaTexto(const std::string& P, PtyPar::Saida& Out) {
  const size_t cr = P.find(CR, 2);
  if (cr == std::string::npos) return Espera(P.size(), AgoraMs());
  fParcialTamanho = 0;
  const int linhasAntes = LinhasImpressas();
  const std::string texto = P.substr(2, cr - 2);
  if (fCabecalho || fECF.DocumentoAberto() == Documento::Cupom) {
    if (ErroFiscal e = Materializa(); e != ErroFiscal::Nenhum) {
      Conclui(Out, e);
    } else if (FalhasAtivas().SemPapel) {
      Status(Out, kPapel);
    } else {
      Imprime(Apara(texto.substr(0, static_cast<size_t>(fECF.Modelo().Colunas))));
      Status(Out, kAceito);
    }
  } else if (fECF.DocumentoAberto() == Documento::Nenhum) {
    Status(Out, kForaSequencia);
  } else {
    Conclui(Out, fECF.ImprimeTexto(texto));
  }
  Ocupa(linhasAntes, AgoraMs());
  return cr + 1;
}

const std::map<int, SimSchalter::Comando>& SimSchalter::Tabela() {
  static const std::map<int, Comando> t = {
      {1, {2, &SimSchalter::AbreDocumento}},        {5, {32, &SimSchalter::Consumidor}},
      {6, {11, &SimSchalter::Fecha}},               {7, {15, &SimSchalter::CancelaVenda}},
      {16, {9, &SimSchalter::AbreGerencial}},       {19, {9, &SimSchalter::ReducaoZ}},
      {20, {9, &SimSchalter::LeituraX}},            {21, {22, &SimSchalter::MemoriaFiscal}},
      {22, {14, &SimSchalter::AcertaRelogio}},      {'"', {8, &SimSchalter::ProgramaAliquota}},
      {'#', {50, &SimSchalter::ProgramaComprovante}}, {'$', {23, &SimSchalter::ProgramaForma}},
      {199, {11, &SimSchalter::CancelaUltimo}},     {208, {112, &SimSchalter::VendeItem}},
      {209, {2, &SimSchalter::Subtotal}},           {211, {78, &SimSchalter::DescontoItem}},
      {212, {35, &SimSchalter::CancelaItem}},       {213, {26, &SimSchalter::Paga}},
      {217, {38, &SimSchalter::AcrescimoSubtotal}}, {222, {18, &SimSchalter::AbreVinculado}},
      {223, {3, &SimSchalter::Estado}},             {224, {3, &SimSchalter::Contadores}},
      {225, {3, &SimSchalter::LeAliquota}},         {226, {3, &SimSchalter::LeForma}},
      {227, {3, &SimSchalter::LeComprovante}},      {228, {3, &SimSchalter::Identificacao}},
      {231, {3, &SimSchalter::LeVinculadoPendente}}, {236, {4, &SimSchalter::AvancaLinhas}},
      {250, {3, &SimSchalter::AbreGaveta}},
  };
  return t;
}

void SimSchalter::Executa(int Cmd, const std::string& Arg, PtyPar::Saida& Out) {
  // The receipt's own commands turn an opened document into the receipt;
  // anything else while it waits is out of sequence.
  static const int kDoCupom[] = {5, 6, 7, 208, 209, 211, 212, 213, 217, 222, 223, 224, 225,
                                 226, 227, 228, 231, 236, 250};
  if (fCabecalho && std::find(std::begin(kDoCupom), std::end(kDoCupom), Cmd) == std::end(kDoCupom))
    return Status(Out, kCupomAberto);
  (this->*(Tabela().at(Cmd).Trata))(Arg, Out);
}

// ----- Answers -----

void SimSchalter::Status(PtyPar::Saida& Out, int Codigo) {
  const int64_t agora = AgoraMs();
  const int atraso = fOcupadoAte == kSempre ? kNunca : static_cast<int>(std::max<int64_t>(0, fOcupadoAte - agora));
  Responde(Out, std::string(1, static_cast<char>(Codigo)), atraso);
}

void SimSchalter::Bloco(PtyPar::Saida& Out, const std::string& Dados) {
  const int64_t agora = AgoraMs();
  const int atraso = fOcupadoAte == kSempre ? kNunca : static_cast<int>(std::max<int64_t>(0, fOcupadoAte - agora));
  Responde(Out, Quadro(Dados), atraso);
}

int SimSchalter::Codigo(ErroFiscal E) {
  switch (E) {
    case ErroFiscal::Nenhum: return kAceito;
    case ErroFiscal::CupomAberto: return kCupomAberto;
    case ErroFiscal::SemCupom: return kSemCabecalho;
    case ErroFiscal::ForaDaFase: case ErroFiscal::PagamentoCompleto: return kTotalizado;
    case ErroFiscal::RequerZ: return kRequerZ;
    case ErroFiscal::Bloqueada: return kBloqueada;
    case ErroFiscal::SemPapel: return kPapel;
    case ErroFiscal::AliquotaInvalida: return kSemAliquota;
    case ErroFiscal::FormaInvalida: case ErroFiscal::TipoInvalido: return kParametrosPagamento;
    case ErroFiscal::ItemInexistente: return kParametros;
    case ErroFiscal::ValorInvalido: return kValorInvalido;
    case ErroFiscal::CupomVazio: return kSemPagamento;
    case ErroFiscal::PagamentoIncompleto: return kPagamentoInferior;
    case ErroFiscal::CancelamentoInvalido: return kNaoCancela;
    case ErroFiscal::VinculadoInvalido: return kSemVinculado;
    default: return kForaSequencia;
  }
}

void SimSchalter::Conclui(PtyPar::Saida& Out, ErroFiscal E) { Status(Out, Codigo(E)); }

ErroFiscal SimSchalter::Materializa() {
  if (!fCabecalho) return ErroFiscal::Nenhum;
  fCabecalho = false;
  fSubtotal = false;
  fPendentes.clear();
  return fECF.AbreCupom();
}

// The state letter of the 223 answer.
char SimSchalter::LetraEstado() const {
  if (fCabecalho) return 'A';
  switch (fECF.DocumentoAberto()) {
    case Documento::Cupom:
    case Documento::NaoFiscal:
      if (fECF.EmPagamento()) return fECF.Saldo() == 0 ? static_cast<char>(124) : '{';
      if (fSubtotal) return '{';
      return fECF.Itens().empty() ? 'A' : 'Z';
    case Documento::Gerencial:
    case Documento::Vinculado:
      return 'z';
    case Documento::Nenhum:
      break;
  }
  if (fECF.Bloqueada()) return 's';
  if (fECF.RequerZ()) return 'q';
  return 'L';
}

// ----- Documents -----

void SimSchalter::AbreDocumento(const std::string& Arg, PtyPar::Saida& Out) {
  if (Byte(Arg[0]) != 146) return Status(Out, kParametros);
  if (fCabecalho || fECF.DocumentoAberto() != Documento::Nenhum) return Status(Out, kCabecalhoImpresso);
  if (fECF.Bloqueada()) return Status(Out, kBloqueada);
  if (fECF.RequerZ()) return Status(Out, kRequerZ);
  if (FalhasAtivas().SemPapel) return Status(Out, kPapel);
  fCabecalho = true;
  Status(Out, kAceito);
}

// 5, 32, 32 + CNPJ (18) + CPF (11).
void SimSchalter::Consumidor(const std::string& Arg, PtyPar::Saida& Out) {
  if (!Novo()) return Status(Out, kInexistente);
  if (!fCabecalho) return Status(Out, kSemCabecalho);
  fCabecalho = false;
  fSubtotal = false;
  fPendentes.clear();
  const std::string id = Apara(Trecho(Arg, 2, 18)) + Apara(Trecho(Arg, 20, 11));
  Conclui(Out, fECF.AbreCupom(id));
}

void SimSchalter::Fecha(const std::string&, PtyPar::Saida& Out) {
  if (ErroFiscal e = Materializa(); e != ErroFiscal::Nenhum) return Conclui(Out, e);
  const Documento d = fECF.DocumentoAberto();
  if (d == Documento::Gerencial || d == Documento::Vinculado) return Conclui(Out, fECF.FechaRelatorio());
  if (d == Documento::Nenhum) return Status(Out, kForaSequencia);
  const ErroFiscal e = fECF.FechaCupom();
  if (e == ErroFiscal::Nenhum) {
    fSubtotal = false;
    AnotaPendentes();
  }
  Conclui(Out, e);
}

void SimSchalter::CancelaVenda(const std::string&, PtyPar::Saida& Out) {
  if (ErroFiscal e = Materializa(); e != ErroFiscal::Nenhum) return Conclui(Out, e);
  if (!fECF.CupomAberto()) return Status(Out, kSemVenda);
  fSubtotal = false;
  Conclui(Out, fECF.CancelaCupom());
}

void SimSchalter::CancelaUltimo(const std::string&, PtyPar::Saida& Out) {
  if (fECF.CupomAberto()) return Status(Out, kCupomAberto);
  fPendentes.clear();
  Conclui(Out, fECF.CancelaCupom());
}

void SimSchalter::AbreGerencial(const std::string&, PtyPar::Saida& Out) {
  fPendentes.clear();
  Conclui(Out, fECF.AbreGerencial());
}

void SimSchalter::ReducaoZ(const std::string&, PtyPar::Saida& Out) {
  fPendentes.clear();  // the day's end settles what was owed
  Conclui(Out, fECF.ReducaoZ());
}

void SimSchalter::LeituraX(const std::string&, PtyPar::Saida& Out) {
  fPendentes.clear();
  Conclui(Out, fECF.LeituraX());
}

// 21, type + fields: 1 print by dates, 2 by reductions, 3 and 4 the same
// sent down the line. Dates: 8 zeros + ddmmyy + ddmmyy; reductions:
// 12 zeros + first (4) + last (4).
void SimSchalter::MemoriaFiscal(const std::string& Arg, PtyPar::Saida& Out) {
  const int tipo = Byte(Arg[0]);
  if (tipo < 1 || tipo > 4) return Status(Out, kParametros);
  const bool datas = tipo == 1 || tipo == 3;
  long de, ate;
  if (datas) {
    de = LeDdMmAa(Trecho(Arg, 9, 6));
    ate = LeDdMmAa(Trecho(Arg, 15, 6));
  } else {
    de = static_cast<long>(Digitos(Trecho(Arg, 13, 4)));
    ate = static_cast<long>(Digitos(Trecho(Arg, 17, 4)));
  }
  if (de < 0 || ate < 0 || de > ate) return Status(Out, kParametros);
  if (tipo <= 2) {
    fPendentes.clear();
    return Conclui(Out, fECF.ImprimeMemoriaFiscal(de, ate, datas));
  }
  if (fECF.CupomAberto()) return Status(Out, kCupomAberto);
  EnviaMemoria(Out, fECF.TextoMemoriaFiscal(de, ate, datas));
}

void SimSchalter::EnviaMemoria(PtyPar::Saida& Out, const std::vector<std::string>& Linhas) {
  std::string texto;
  for (const std::string& l : Linhas) texto += l + "\r\n";
  const std::string bloco = Quadro(texto);
  // ESC "f" and the first line after the pause, then a line at a time.
  const int64_t agora = AgoraMs();
  const int base = fOcupadoAte == kSempre ? kNunca : static_cast<int>(std::max<int64_t>(0, fOcupadoAte - agora));
  if (base == kNunca) return;
  size_t inicio = 0;
  int atraso = base + kPausaMemoriaMs;
  while (inicio < bloco.size()) {
    size_t fim = bloco.find('\n', inicio);
    fim = fim == std::string::npos || fim + 1 >= bloco.size() - 1 ? bloco.size() : fim + 1;
    Responde(Out, bloco.substr(inicio, fim - inicio), atraso);
    atraso += kPausaLinhaMs;  // each line a little after the one before
    inicio = fim;
  }
}

// 22 + ss nn hh + " " + ddmmyy: the clock, moved by an hour at the most.
void SimSchalter::AcertaRelogio(const std::string& Arg, PtyPar::Saida& Out) {
  if (fECF.CupomAberto()) return Status(Out, kEmVenda);
  const int64_t s = Digitos(Trecho(Arg, 0, 2)), n = Digitos(Trecho(Arg, 2, 2)), h = Digitos(Trecho(Arg, 4, 2));
  const long dia = LeDdMmAa(Trecho(Arg, 7, 6));
  if (s < 0 || s > 59 || n < 0 || n > 59 || h < 0 || h > 23 || dia < 0) return Status(Out, 110);
  int ano, mes, d;
  DataDe(dia, ano, mes, d);
  std::tm tm{};
  tm.tm_year = ano - 1900;
  tm.tm_mon = mes - 1;
  tm.tm_mday = d;
  tm.tm_hour = static_cast<int>(h);
  tm.tm_min = static_cast<int>(n);
  tm.tm_sec = static_cast<int>(s);
  tm.tm_isdst = -1;
  const std::time_t novo = std::mktime(&tm);
  if (std::llabs(static_cast<long long>(novo - fECF.Agora())) > 3660) return Status(Out, kHoraVerao);
  fECF.SetRelogio(novo);
  Status(Out, kAceito);
}

// ----- Tables -----

int SimSchalter::Indice(const std::string& Digitos2, size_t Tamanho) {
  const int64_t n = Digitos(Digitos2);
  return n >= 0 && static_cast<size_t>(n) < Tamanho ? static_cast<int>(n) : -1;
}

// '"' + slot (2) + 'T' or 'S' + rate x 100 (4).
void SimSchalter::ProgramaAliquota(const std::string& Arg, PtyPar::Saida& Out) {
  int slot = Indice(Trecho(Arg, 0, 2), Antigo() ? 12 : 16);
  const int64_t valor = Digitos(Trecho(Arg, 3, 4));
  if (slot < 0 || (Arg[2] != 'T' && Arg[2] != 'S') || valor <= 0) return Status(Out, kParametros);
  Conclui(Out, fECF.ProgramaAliquota({static_cast<int>(valor), Arg[2] == 'S', ""}, slot));
}

// '#' + slot (2) + description (20) + 20 blanks + D A C P V flags + the
// payment method it is tied to (2).
void SimSchalter::ProgramaComprovante(const std::string& Arg, PtyPar::Saida& Out) {
  int slot = Indice(Trecho(Arg, 0, 2), fComprovantes.size());
  const std::string flags = Trecho(Arg, 42, 5);
  const int64_t forma = Digitos(Trecho(Arg, 47, 2));
  if (slot < 0 || forma < 0 || flags.find_first_not_of("SN") != std::string::npos) return Status(Out, kParametros);
  const ErroFiscal e = fECF.ProgramaNaoFiscal({Apara(Trecho(Arg, 2, 20)), true}, slot);
  if (e == ErroFiscal::Nenhum) fComprovantes[static_cast<size_t>(slot)] = {flags, static_cast<int>(forma)};
  Conclui(Out, e);
}

// '$' + slot (2) + description (20).
void SimSchalter::ProgramaForma(const std::string& Arg, PtyPar::Saida& Out) {
  int slot = Indice(Trecho(Arg, 0, 2), fECF.Formas().size());
  if (slot < 0) return Status(Out, kParametros);
  Conclui(Out, fECF.ProgramaForma({Apara(Trecho(Arg, 2, 20)), true, ""}, slot));
}

void SimSchalter::LeAliquota(const std::string& Arg, PtyPar::Saida& Out) {
  const int i = Indice(Arg, fECF.Aliquotas().size());
  if (i < 0) return Status(Out, kParametros);
  const AliquotaFiscal& a = fECF.Aliquotas()[static_cast<size_t>(i)];
  const bool vazia = a.Valor == 0 || (Antigo() && i >= 12);
  Bloco(Out, std::string(1, static_cast<char>(225)) + (a.ISS ? 'S' : 'T') +
                 Direita(Dinheiro(vazia ? 0 : a.Valor), 5, '0') +
                 std::string(32, ' '));
}

void SimSchalter::LeForma(const std::string& Arg, PtyPar::Saida& Out) {
  const int i = Indice(Arg, fECF.Formas().size());
  if (i < 0) return Status(Out, kParametros);
  const FormaPagamento& f = fECF.Formas()[static_cast<size_t>(i)];
  bool vinculado = false;
  for (size_t c = 0; c < fComprovantes.size(); c++)
    vinculado |= fComprovantes[c].Forma == i && fComprovantes[c].Flags[4] == 'S' &&
                 !fECF.NaoFiscais()[c].Descricao.empty();
  Bloco(Out, std::string(1, static_cast<char>(226)) + (f.Descricao.empty() ? 'N' : 'S') + (vinculado ? 'S' : 'N') +
                 Completa(f.Descricao, 20) + std::string(22, ' '));
}

void SimSchalter::LeComprovante(const std::string& Arg, PtyPar::Saida& Out) {
  const int i = Indice(Arg, fComprovantes.size());
  if (i < 0) return Status(Out, kParametros);
  const TipoNaoFiscal& t = fECF.NaoFiscais()[static_cast<size_t>(i)];
  const Comprovante& c = fComprovantes[static_cast<size_t>(i)];
  Bloco(Out, std::string(1, static_cast<char>(227)) + (t.Descricao.empty() ? 'N' : 'S') + Completa(t.Descricao, 20) +
                 " " + c.Flags + Zeros(c.Forma, 2) + std::string(91, ' '));
}

// ----- The fiscal receipt -----

int SimSchalter::SlotAliquota(const std::string& Codigo) const {
  const int64_t n = Digitos(Codigo);
  const int64_t f = Antigo() ? 12 : 16;
  if (n == f) return kSubstituicao;
  if (n == f + 1) return kIsento;
  if (n == f + 2) return kNaoIncidencia;
  return n >= 0 && n < f ? static_cast<int>(n) : -100;
}

// 208 + 4 blanks + code (13) + " " + description (62) + quantity (7, with
// ",") + "x" + unit (2) + 9 blanks + price decimals (1) + price (9) + tax (2).
void SimSchalter::VendeItem(const std::string& Arg, PtyPar::Saida& Out) {
  if (ErroFiscal e = Materializa(); e != ErroFiscal::Nenhum) return Conclui(Out, e);
  if (fSubtotal || fECF.EmPagamento()) return Status(Out, kTotalizado);
  ItemVendido it;
  it.Codigo = Apara(Trecho(Arg, 4, 13));
  it.Descricao = Apara(Trecho(Arg, 18, 62));
  it.QtdMil = Milesimos(Trecho(Arg, 80, 7));
  it.Unidade = Apara(Trecho(Arg, 88, 2));
  const int decimais = Arg[99] - '0';
  const int64_t preco = Digitos(Trecho(Arg, 100, 9));
  if (Arg[87] != 'x' || it.QtdMil < 0 || preco < 0 || (decimais != 2 && !(decimais == 3 && Novo())))
    return Status(Out, kParametros);
  it.PrecoMil = decimais == 2 ? preco * 10 : preco;
  it.Aliquota = SlotAliquota(Trecho(Arg, 109, 2));
  Conclui(Out, fECF.VendeItem(it));
}

void SimSchalter::Subtotal(const std::string&, PtyPar::Saida& Out) {
  if (ErroFiscal e = Materializa(); e != ErroFiscal::Nenhum) return Conclui(Out, e);
  if (fECF.DocumentoAberto() != Documento::Cupom) return Status(Out, kSemCabecalho);
  if (fECF.TotalItens() <= 0) return Status(Out, kSemPagamento);
  fSubtotal = true;
  Status(Out, kAceito);
}

// 211, 3, 32, 0 + 65 blanks + the discount in cents (9), on the last item.
void SimSchalter::DescontoItem(const std::string& Arg, PtyPar::Saida& Out) {
  const int64_t desconto = Digitos(Trecho(Arg, 68, 9));
  if (Byte(Arg[0]) != 3 || desconto < 0) return Status(Out, kParametros);
  if (fSubtotal) return Status(Out, kTotalizado);
  Conclui(Out, fECF.AcresceItem(static_cast<int>(fECF.Itens().size()), -desconto));
}

// 212 + item (4) + 30 blanks.
void SimSchalter::CancelaItem(const std::string& Arg, PtyPar::Saida& Out) {
  const int64_t n = Digitos(Trecho(Arg, 0, 4));
  if (n < 0) return Status(Out, kParametros);
  if (fSubtotal) return Status(Out, kTotalizado);
  Conclui(Out, fECF.CancelaItem(static_cast<int>(n)));
}

// 213, 0, (1 when a free line follows), 0 + 10 blanks + method (2) + amount (10).
void SimSchalter::Paga(const std::string& Arg, PtyPar::Saida& Out) {
  const int forma = Indice(Trecho(Arg, 13, 2), fECF.Formas().size());
  const int64_t valor = Digitos(Trecho(Arg, 15, 10));
  if (valor < 0) return Status(Out, kParametros);
  if (forma < 0) return Status(Out, kParametrosPagamento);
  if (ErroFiscal e = Materializa(); e != ErroFiscal::Nenhum) return Conclui(Out, e);
  Conclui(Out, fECF.Paga(forma, valor));
}

// 217, (0 discount, 1 surcharge), 0 + caption (25) + amount (10).
void SimSchalter::AcrescimoSubtotal(const std::string& Arg, PtyPar::Saida& Out) {
  const int64_t valor = Digitos(Trecho(Arg, 27, 10));
  if (valor < 0 || Byte(Arg[0]) > 1) return Status(Out, kParametros);
  if (!fSubtotal) return Status(Out, kForaSequencia);
  Conclui(Out, fECF.AcresceSubtotal(Byte(Arg[0]) == 1 ? valor : -valor));
}

// 222 + COO (6) + non-fiscal type (2) + amount (9), after 1, 146.
void SimSchalter::AbreVinculado(const std::string& Arg, PtyPar::Saida& Out) {
  if (!fCabecalho) return Status(Out, kSemCabecalho);
  const int tipo = Indice(Trecho(Arg, 6, 2), fComprovantes.size());
  const int64_t coo = Digitos(Trecho(Arg, 0, 6)), valor = Digitos(Trecho(Arg, 8, 9));
  if (tipo < 0 || coo < 0 || valor < 0) return Status(Out, kParametros);
  const Comprovante c = fComprovantes[static_cast<size_t>(tipo)];
  if (c.Flags[4] != 'S' || fECF.NaoFiscais()[static_cast<size_t>(tipo)].Descricao.empty())
    return Status(Out, kParametrosPagamento);
  fCabecalho = false;
  const ErroFiscal e = fECF.AbreVinculado(c.Forma, valor, static_cast<int>(coo),
                                          fECF.NaoFiscais()[static_cast<size_t>(tipo)].Descricao);
  if (e == ErroFiscal::Nenhum)
    fPendentes.erase(std::remove_if(fPendentes.begin(), fPendentes.end(),
                                    [&](const Pendente& p) { return p.Forma == c.Forma; }),
                     fPendentes.end());
  Conclui(Out, e);
}

void SimSchalter::AnotaPendentes() {
  fPendentes.clear();
  if (!Novo()) return;
  for (const Pagamento& p : fECF.PagamentosUltimoCupom())
    for (size_t c = 0; c < fComprovantes.size(); c++)
      if (fComprovantes[c].Forma == p.Forma && fComprovantes[c].Flags[4] == 'S' &&
          !fECF.NaoFiscais()[c].Descricao.empty()) {
        fPendentes.push_back({fECF.COOUltimoCupom(), p.Forma, p.Valor});
        break;
      }
}

// ----- Queries -----

void SimSchalter::Estado(const std::string&, PtyPar::Saida& Out) {
  int flags = 0;
  if (FalhasAtivas().PoucoPapel || FalhasAtivas().SemPapel) flags |= 0x02;
  if (fECF.GavetaAberta()) flags |= 0x08;
  Bloco(Out, std::string(1, static_cast<char>(223)) + "  " + LetraEstado() + static_cast<char>(flags));
}

// 224: ECF (4), '1' with a document open (the COO is its own) or '2' (the
// COO is the next one), COO (6), 2 blanks, hhnnss, dd/mm/yy, the open
// receipt's subtotal (21), 21 reserved.
void SimSchalter::Contadores(const std::string&, PtyPar::Saida& Out) {
  const bool aberto = fECF.DocumentoAberto() != Documento::Nenhum;
  // An opened document gets the next COO when it is printed.
  const int coo = aberto ? fECF.COO() : fECF.COO() + 1;
  const int64_t sub = fECF.CupomAberto() ? fECF.TotalCupom() : 0;
  Bloco(Out, std::string(1, static_cast<char>(224)) + Zeros(fECF.Modelo().NumECF, 4) +
                 (aberto || fCabecalho ? '1' : '2') + Zeros(coo, 6) + "  " + fECF.DataHora("hhnnss") +
                 fECF.DataHora("dd/mm/yy") + Direita(DinheiroMilhar(sub), 21) + std::string(21, '0'));
}

// 228: model (27), version (4), blank, serial number (10), 7 reserved.
void SimSchalter::Identificacao(const std::string&, PtyPar::Saida& Out) {
  const ModeloImpressora& m = fECF.Modelo();
  Bloco(Out, std::string(1, static_cast<char>(228)) + Completa(m.Modelo, 27) + Completa(fVersao, 4) + " " +
                 Completa(m.NumSerie, 10) + std::string(7, ' '));
}

// 231 + slot (2): 'S' when a linked receipt is owed there, the method (2),
// its amount (20, twice) and the receipt's COO (6).
void SimSchalter::LeVinculadoPendente(const std::string& Arg, PtyPar::Saida& Out) {
  if (!Novo()) return Status(Out, kInexistente);
  const int i = Indice(Arg, 30);
  if (i < 0) return Status(Out, kParametros);
  Pendente p;
  const bool ha = static_cast<size_t>(i) < fPendentes.size();
  if (ha) p = fPendentes[static_cast<size_t>(i)];
  auto valor = [](int64_t c) { return Direita(DinheiroMilhar(c), 20); };
  Bloco(Out, std::string(1, static_cast<char>(231)) + (ha ? 'S' : 'N') + Zeros(p.Forma, 2) + " " + valor(p.Valor) +
                 " " + valor(0) + " " + Zeros(p.COO, 6) + std::string(11, ' '));
}

// ----- Paper and drawer -----

// 236 + "1" + lines (2).
void SimSchalter::AvancaLinhas(const std::string& Arg, PtyPar::Saida& Out) {
  const int64_t n = Digitos(Trecho(Arg, 1, 2));
  if (Arg[0] != '1' || n < 0) return Status(Out, kParametros);
  if (FalhasAtivas().SemPapel && n > 0) return Status(Out, kPapel);
  for (int64_t i = 0; i < n; i++) Imprime("");
  Status(Out, kAceito);
}

void SimSchalter::AbreGaveta(const std::string&, PtyPar::Saida& Out) {
  fECF.AbreGaveta();
  Status(Out, kAceito);
}

}  // namespace zuvo::sim
