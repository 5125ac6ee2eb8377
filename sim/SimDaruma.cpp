#include "sim/SimDaruma.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace zuvo::sim {

namespace {

const char ESC = 27;
const char FS = 28;
const char GS = 29;
const char CR = 13;
const char LF = 10;
const char FIM = static_cast<char>(255);

int64_t AgoraMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Zeros(int64_t Valor, int Tamanho) {
  std::string s = std::to_string(Valor < 0 ? 0 : Valor);
  if (static_cast<int>(s.size()) < Tamanho) s.insert(0, static_cast<size_t>(Tamanho) - s.size(), '0');
  return s;
}

std::string Pad(const std::string& Texto, size_t Tamanho, char Fill = ' ') {
  std::string s = Texto.substr(0, Tamanho);
  s.append(Tamanho - s.size(), Fill);
  return s;
}

std::string Apara(const std::string& Texto) {
  size_t i = 0, f = Texto.size();
  while (i < f && static_cast<unsigned char>(Texto[i]) <= 32) i++;
  while (f > i && (static_cast<unsigned char>(Texto[f - 1]) <= 32 || Texto[f - 1] == FIM)) f--;
  return Texto.substr(i, f - i);
}

// Digits only, else -1.
int64_t Numero(const std::string& Texto) {
  if (Texto.empty() || Texto.size() > 18) return -1;
  int64_t v = 0;
  for (char c : Texto) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

char Hex(int V) { return "0123456789ABCDEF"[V & 15]; }

std::string Maiusculas(std::string S) {
  for (char& c : S)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return S;
}

unsigned char Xor(const std::string& S) {
  unsigned char x = 0;
  for (char c : S) x ^= static_cast<unsigned char>(c);
  return x;
}

// The lines of a printed text (CR LF or LF).
std::vector<std::string> Linhas(const std::string& Texto) {
  std::vector<std::string> r;
  std::string atual;
  for (char c : Texto) {
    if (c == CR) continue;
    if (c == LF) {
      r.push_back(atual);
      atual.clear();
    } else {
      atual += c;
    }
  }
  if (!atual.empty()) r.push_back(atual);
  return r;
}

}  // namespace

SimDaruma::SimDaruma(const OpcoesSimulador& Opcoes) {
  if (Opcoes.MFD)
    fConjunto = Conjunto::MFD;
  else if (Maiusculas(Opcoes.Variante) == "FS2000")
    fConjunto = Conjunto::FS2000;
  else if (Maiusculas(Opcoes.Variante) == "FS315")
    fConjunto = Conjunto::FS315;
  fAliquotas = {{'A', 1800}, {'B', 700}, {'c', 500}, {'D', 1200}};
  for (char l = 'E'; l <= 'P'; l++) fAliquotas.push_back({l, -1});
  fFormas.assign(16, Forma{});
  fFormas[0] = {"Dinheiro", false};
  fFormas[1] = {"Cheque", true};
  fFormas[2] = {"Cartao", true};
  fComprovantes.assign(16, "");
  fComprovantes[0] = "Sangria";
  fComprovantes[1] = "Suprimento";
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
  fRequerZ = V;
}
void SimDaruma::SetRequerX(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fXFeita = !V;
}
void SimDaruma::SetBloqueada(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fBloqueada = V;
}
void SimDaruma::SetGavetaAberta(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fGaveta = V;
}
bool SimDaruma::GavetaAberta() const {
  std::lock_guard<std::mutex> t(Trava());
  return fGaveta;
}
bool SimDaruma::HorarioVerao() const {
  std::lock_guard<std::mutex> t(Trava());
  return fHorarioVerao;
}
bool SimDaruma::ArredondaAtivo() const {
  std::lock_guard<std::mutex> t(Trava());
  return fArredonda;
}
int SimDaruma::NivelAgulhas() const {
  std::lock_guard<std::mutex> t(Trava());
  return fAgulhas;
}
void SimDaruma::SetErroProximo(int Codigo) {
  std::lock_guard<std::mutex> t(Trava());
  fErroProximo = Codigo;
}
std::string SimDaruma::UltimoComando() const {
  std::lock_guard<std::mutex> t(Trava());
  return fUltimo;
}
int SimDaruma::ItensCupom() const {
  std::lock_guard<std::mutex> t(Trava());
  return static_cast<int>(fItens.size());
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
    if (fConjunto != Conjunto::MFD || Xor(quadro) != static_cast<unsigned char>(P[n - 1]))
      RespondeFS(Out, "16");  // not understood, or a bad check byte
    else
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
  if (FalhasAtivas().Recusa) {
    Erro(Out, static_cast<unsigned char>(cmd[1]), 16);
  } else if (fErroProximo != 0) {
    Erro(Out, static_cast<unsigned char>(cmd[1]), fErroProximo);
    fErroProximo = 0;
  } else {
    ProcessaEsc(cmd, Out);
  }
  return fim + 1;
}

// ----- Answers -----

void SimDaruma::Ok(PtyPar::Saida& Out, unsigned char Cmd, const std::string& Dados,
                   bool Imprimiu) {
  int codigo = Imprimiu && FalhasAtivas().PoucoPapel ? 21 : 0;
  if (Fs2000()) {
    Responde(Out, ":" + std::string(1, static_cast<char>(Cmd)) + Zeros(codigo, 2) + "00" + Dados +
                      CR);
  } else if (codigo != 0) {
    Responde(Out, ":E" + Zeros(codigo, 2) + CR);
  } else {
    Responde(Out, std::string(":") + ESC + static_cast<char>(Cmd) + Dados + CR);
  }
}

void SimDaruma::Erro(PtyPar::Saida& Out, unsigned char Cmd, int Codigo) {
  if (Fs2000())
    Responde(Out, ":" + std::string(1, static_cast<char>(Cmd)) + Zeros(Codigo, 2) + CR);
  else
    Responde(Out, ":E" + Zeros(Codigo, 2) + CR);
}

void SimDaruma::RespondeFS(PtyPar::Saida& Out, const std::string& Corpo) {
  std::string r = ":" + Corpo + CR;
  Responde(Out, r + static_cast<char>(Xor(r)));
}

void SimDaruma::Linha(const std::string& Texto) {
  Imprime(Texto);
  fLinhasImpressas++;
  int64_t agora = AgoraMs();
  if (fOcupadoAteMs < agora) fOcupadoAteMs = agora;
  fOcupadoAteMs += TempoImpressao(1);
}

std::string SimDaruma::Data(const char* Formato) const {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, Formato, &tm);
  return buf;
}

// ----- Status -----

void SimDaruma::ProcessaStatus(unsigned char Tipo, PtyPar::Saida& Out) {
  const bool ocupado = AgoraMs() < fOcupadoAteMs;
  const Falhas& f = FalhasAtivas();
  const bool aberto = fDoc == Doc::Venda || fDoc == Doc::Pagamento;
  int d[12] = {0};
  if (Tipo == 5 && Fs2000()) {
    d[2] = fGaveta ? 8 : 0;
    d[3] = (f.SemPapel ? 1 : 0) | (f.PoucoPapel ? 2 : 0);
    d[4] = 0xA;
    d[5] = (fBloqueada ? 4 : 0) | (fXFeita ? 2 : 0) | 8;
    d[6] = ocupado ? 0 : 1;
  } else if (Tipo == 6 && fConjunto == Conjunto::MFD) {
    d[3] = 0xA;
    d[5] = (fBloqueada ? 8 : 0) | (fRequerZ ? 4 : 0);
  } else if (Tipo == 255 && !Fs2000()) {
    d[2] = (fGaveta ? 8 : 0) | (f.SemPapel ? 1 : 0);
    d[3] = (f.PoucoPapel ? 1 : 0) | (fRequerZ ? 2 : 0);
    d[4] = 0xA;
    d[5] = aberto ? 4 : 0;
    d[7] = (fBloqueada ? 2 : 0) | (fXFeita ? 4 : 0) | 8;
    d[9] = ocupado ? 1 : 0;
  } else {
    Responde(Out, std::string(":E16") + CR);
    return;
  }
  std::string r = ":";
  for (int i = 2; i <= 11; i++) r += Hex(d[i]);
  Responde(Out, r + CR);
}

// ----- The receipt -----

int64_t SimDaruma::TotalCentavos() const {
  int64_t t = 0;
  for (const auto& i : fItens)
    if (!i.Cancelado) t += std::llround(i.Total * 100);
  return t + fAjuste;
}

int64_t SimDaruma::SaldoCentavos() const {
  int64_t s = TotalCentavos() - fPago;
  return s < 0 ? 0 : s;
}

int SimDaruma::SlotAliquota(const std::string& Codigo) const {
  if (Codigo.empty()) return -1;
  std::string c = Maiusculas(Codigo);
  if (c[0] == 'F' || c[0] == 'I' || c[0] == 'N') {
    if (c.size() == 1 || c[1] == ' ' || c[1] == c[0]) return 100;  // not taxed
  }
  char letra = c[0];
  if (c[0] == 'T' && c.size() > 1 && c[1] != ' ') {
    letra = c[1];
    if (letra >= '1' && letra <= '9') letra = static_cast<char>('A' + (letra - '1'));
  }
  if (fConjunto == Conjunto::MFD) {
    int64_t n = Numero(Codigo.substr(0, 2));
    if (n == 17 || n == 19 || n == 21) return 100;
    if (n < 1 || n > 16) return -1;
    return fAliquotas[static_cast<size_t>(n - 1)].Valor > 0 ? static_cast<int>(n - 1) : -1;
  }
  for (size_t i = 0; i < fAliquotas.size(); i++)
    if (Maiusculas(std::string(1, fAliquotas[i].Letra))[0] == letra && fAliquotas[i].Valor > 0)
      return static_cast<int>(i);
  return -1;
}

// A payment method's code: one letter, or two digits (17.. for the second
// half of the long layout).
int SimDaruma::SlotForma(const std::string& Codigo, size_t& Tamanho) const {
  if (Codigo.empty()) return -1;
  if (Codigo[0] >= 'A' && Codigo[0] <= 'P') {
    Tamanho = 1;
    return Codigo[0] - 'A';
  }
  Tamanho = 2;
  int64_t n = Numero(Codigo.substr(0, 2));
  if (n < 1 || n > 16) return -1;
  return static_cast<int>(n - 1);
}

std::string SimDaruma::TabelaAliquotas() const {
  std::string r;
  for (const auto& a : fAliquotas) {
    if (Fs2000())
      r += (a.Valor > 0 ? Zeros(a.Valor, 4) : "0000") + a.Letra;
    else
      r += a.Letra + (a.Valor > 0 ? Zeros(a.Valor, 4) : "////");
  }
  return r;
}

std::string SimDaruma::Tabela234() const {
  std::string r = ":" + std::string(1, static_cast<char>(234));
  r = Pad(r, 32, '0');
  for (const auto& c : fComprovantes) r += Pad(c, 22);
  for (const auto& v : fVinculados) r += Pad(v, 21);
  for (size_t i = 0; i < 32; i++) {
    if (i < fFormas.size() && !fFormas[i].Descricao.empty())
      r += std::string(1, fFormas[i].Vinculado ? 'V' : 'X') + Pad(fFormas[i].Descricao, 21);
    else
      r += std::string(22, ' ');
  }
  return r + CR;
}

std::string SimDaruma::Tabela238() const {
  const bool mfd = fConjunto == Conjunto::MFD;
  std::string r = ":" + std::string(1, static_cast<char>(238)) + "0000";
  r = Pad(r, 21, '0');
  for (const auto& c : fComprovantes) r += c.empty() && mfd ? std::string(22, FIM) : Pad(c, 22);
  for (const auto& v : fVinculados) r += v.empty() && mfd ? std::string(21, FIM) : Pad(v, 21);
  for (size_t i = 0; i < fFormas.size(); i++) {
    const Forma& f = fFormas[i];
    if (!f.Descricao.empty())
      r += std::string(1, f.Vinculado ? 'V' : 'X') + Pad(f.Descricao, 17);
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
    std::string reg = Cmd.substr(3, 3);
    std::string corpo = r200 + reg;
    if (reg == "083")
      corpo += "010200";
    else if (reg == "139")
      corpo += "32";
    else if (reg == "057") {
      char c = '0';
      if (fDoc == Doc::Venda) c = '1';
      else if (fDoc == Doc::Pagamento) c = '2';
      else if (fDoc == Doc::Gerencial) c = '5';
      else if (fDoc == Doc::Vinculado) c = '6';
      corpo += c;
    } else if (reg == "048")
      corpo += Zeros(fDoc == Doc::Pagamento ? fPago : 0, 13);
    else {
      RespondeFS(Out, "16");
      return;
    }
    RespondeFS(Out, corpo);
    return;
  }
  // FS "F" 201: T(2) qty(7) price(8) "0" discount(4) "0000000" "00"
  // code(14) unit(3) description + 255.
  if (Cmd[1] != 'F' || static_cast<unsigned char>(Cmd[2]) != 201 || Cmd.size() < 52) {
    RespondeFS(Out, "16");
    return;
  }
  if (fDoc != Doc::Venda) {
    RespondeFS(Out, "11");
    return;
  }
  int slot = SlotAliquota(Cmd.substr(3, 2));
  int64_t qtd = Numero(Cmd.substr(5, 7));
  int64_t preco = Numero(Cmd.substr(12, 8));
  int64_t desc = Numero(Cmd.substr(21, 4));
  if (slot < 0) {
    RespondeFS(Out, "18");
    return;
  }
  if (qtd <= 0 || preco <= 0 || desc < 0) {
    RespondeFS(Out, "13");
    return;
  }
  double total = (qtd / 1000.0) * (preco / 100.0) * (1 - desc / 10000.0);
  fItens.push_back({std::round(total * 100) / 100, false});
  std::string descricao = Cmd.substr(51, Cmd.size() - 52);
  Linha(Zeros(static_cast<int64_t>(fItens.size()), 3) + " " + Apara(Cmd.substr(34, 14)) + " " +
        Apara(descricao));
  RespondeFS(Out, "00");
}

// ----- ESC commands -----

void SimDaruma::ProcessaEsc(const std::string& Cmd, PtyPar::Saida& Out) {
  const unsigned char c = static_cast<unsigned char>(Cmd[1]);
  const std::string arg = Cmd.substr(2);
  const bool fs2000 = Fs2000();
  const bool aberto = fDoc == Doc::Venda || fDoc == Doc::Pagamento;
  const Falhas& falhas = FalhasAtivas();

  auto imprime = [&](const std::string& texto) { Linha(texto); };
  auto semPapel = [&]() {
    if (!falhas.SemPapel) return false;
    Erro(Out, c, 50);
    return true;
  };
  auto documento = [&]() -> char {
    if (fs2000) {
      switch (fDoc) {
        case Doc::Livre: return '0';
        case Doc::Venda: return '1';
        case Doc::Pagamento: return '7';
        case Doc::Gerencial: return '2';
        case Doc::Vinculado: return '3';
      }
    }
    switch (fDoc) {
      case Doc::Livre: return '2';
      case Doc::Venda:
      case Doc::Pagamento: return '1';
      case Doc::Gerencial: return '0';
      case Doc::Vinculado: return '3';
    }
    return '2';
  };
  auto abreCupom = [&]() {
    if (fBloqueada) return Erro(Out, c, 22);
    if (fRequerZ) return Erro(Out, c, 23);
    if (!fXFeita) return Erro(Out, c, 42);
    if (fDoc != Doc::Livre) return Erro(Out, c, 10);
    if (semPapel()) return;
    fCOO++;
    fDoc = Doc::Venda;
    fItens.clear();
    fAjuste = 0;
    fPago = 0;
    fSubtotalizado = false;
    imprime("CUPOM FISCAL COO:" + Zeros(fCOO, 6));
    Ok(Out, c, fs2000 ? Zeros(fCOO, 6) : "", true);
  };
  auto vende = [&](const std::string& t, const std::string& codigo, int64_t desc, double preco,
                   double qtd, const std::string& descricao) {
    if (!aberto || fSubtotalizado) return Erro(Out, c, 11);
    int slot = SlotAliquota(t);
    if (slot < 0) return Erro(Out, c, 18);
    if (qtd <= 0 || preco <= 0 || desc < 0) return Erro(Out, c, 13);
    double total = qtd * preco * (1 - desc / 10000.0);
    fItens.push_back({std::round(total * 100) / 100, false});
    imprime(Zeros(static_cast<int64_t>(fItens.size()), 3) + " " + Apara(codigo) + " " +
            Apara(descricao));
    Ok(Out, c);
  };
  auto subtotaliza = [&](const std::string& a) {
    if (!aberto) return Erro(Out, c, 11);
    int64_t v = Numero(a.substr(1, 12));
    if (a.size() < 13 || (a[0] != '1' && a[0] != '3') || v < 0) return Erro(Out, c, 24);
    if (!fSubtotalizado) fAjuste = a[0] == '3' ? v : -v;
    fSubtotalizado = true;
    fDoc = Doc::Pagamento;
    Responde(Out, ":" + Zeros(SaldoCentavos(), 12) + CR);
  };
  auto paga = [&](const std::string& a) {
    if (!aberto) return Erro(Out, c, 11);
    size_t tam = 0;
    int slot = SlotForma(a, tam);
    if (slot < 0 || fFormas[static_cast<size_t>(slot)].Descricao.empty()) return Erro(Out, c, 38);
    int64_t v = a.size() >= tam + 12 ? Numero(a.substr(tam, 12)) : -1;
    if (v <= 0) return Erro(Out, c, 13);
    fSubtotalizado = true;
    fDoc = Doc::Pagamento;
    fPago += v;
    imprime(fFormas[static_cast<size_t>(slot)].Descricao + " " + std::to_string(v / 100) + "," +
            Zeros(v % 100, 2));
    Responde(Out, ":" + Zeros(SaldoCentavos(), 12) + CR);
  };
  auto fecha = [&](const std::string& obs) {
    if (!aberto) return Erro(Out, c, 11);
    if (!fSubtotalizado || SaldoCentavos() > 0) return Erro(Out, c, 39);
    for (const auto& l : Linhas(obs)) imprime(l);
    imprime("TOTAL " + std::to_string(TotalCentavos() / 100) + "," +
            Zeros(TotalCentavos() % 100, 2));
    fDoc = Doc::Livre;
    Ok(Out, c, "", true);
  };
  auto cancela = [&]() {
    if (!aberto && fCOO == 0) return Erro(Out, c, 12);
    if (!aberto && fDoc != Doc::Livre) return Erro(Out, c, 10);
    imprime("CUPOM CANCELADO COO:" + Zeros(fCOO, 6));
    fDoc = Doc::Livre;
    fPago = 0;
    Ok(Out, c, "", true);
  };
  auto cancelaItem = [&]() {
    if (!aberto || fSubtotalizado) return Erro(Out, c, 11);
    int64_t n = Numero(arg.substr(0, 3));
    if (n < 1 || n > static_cast<int64_t>(fItens.size()) ||
        fItens[static_cast<size_t>(n - 1)].Cancelado)
      return Erro(Out, c, 15);
    fItens[static_cast<size_t>(n - 1)].Cancelado = true;
    imprime("ITEM " + Zeros(n, 3) + " CANCELADO");
    Ok(Out, c);
  };
  auto leituraX = [&]() {
    if (fDoc != Doc::Livre) return Erro(Out, c, 10);
    if (semPapel()) return;
    imprime("LEITURA X");
    fXFeita = true;
    Ok(Out, c, "", true);
  };
  auto reducaoZ = [&]() {
    if (fDoc != Doc::Livre) return Erro(Out, c, 10);
    if (fBloqueada) return Erro(Out, c, 22);
    if (Numero(arg.substr(0, 12)) < 0) return Erro(Out, c, 13);
    if (semPapel()) return;
    imprime("REDUCAO Z CRZ:" + Zeros(++fCRZ, 4));
    fRequerZ = false;
    fBloqueada = true;
    Ok(Out, c, "", true);
  };
  auto gerencial = [&]() {
    if (fDoc != Doc::Livre) return Erro(Out, c, 10);
    if (semPapel()) return;
    fCOO++;
    fDoc = Doc::Gerencial;
    imprime("RELATORIO GERENCIAL");
    Ok(Out, c, "", true);
  };
  auto linha = [&]() {
    if (fDoc != Doc::Gerencial && fDoc != Doc::Vinculado) return Erro(Out, c, 11);
    std::string t = arg;
    if (!t.empty() && t.back() == LF) t.pop_back();
    imprime(t);
    Ok(Out, c, "", true);
  };
  auto fechaRelatorio = [&]() {
    if (fDoc != Doc::Gerencial && fDoc != Doc::Vinculado) return Erro(Out, c, 11);
    imprime("FIM DO RELATORIO");
    fDoc = Doc::Livre;
    Ok(Out, c, "", true);
  };
  auto memoria = [&](bool serial) {
    if (arg.size() < 13 || (arg[0] != 'x' && arg[0] != 's') || Numero(arg.substr(1, 12)) < 0)
      return Erro(Out, c, 16);
    std::vector<std::string> l = {"LEITURA DA MEMORIA FISCAL", "DE " + arg.substr(1, 6) + " A " +
                                                                   arg.substr(7, 6),
                                  "CRZ " + Zeros(fCRZ, 4)};
    if (serial) {
      std::string r = ":";
      for (const auto& s : l) r += s + LF;
      Responde(Out, r + CR);
      return;
    }
    for (const auto& s : l) imprime(s);
    Ok(Out, c, "", true);
  };

  if (fs2000) {
    switch (c) {
      case 195: return Responde(Out, std::string(":10004") + CR);
      case 233:
        return Ok(Out, c, std::string(10, '0') + "DR200001" + "0000" + "0003");
      case 235:
        return Ok(Out, c,
                  std::string(1, documento()) + Zeros(fCOO, 6) + std::string(15, '0') +
                      Zeros(aberto ? TotalCentavos() : 0, 12));
      case 237: return Ok(Out, c, std::string(42, '0') + "000004");
      case 230: return Ok(Out, c, Data("%d%m%y%H%M%S"));
      case 229: return Ok(Out, c, std::string("00") + (fHorarioVerao ? '1' : '0'));
      case 231: return Ok(Out, c, "0" + TabelaAliquotas() + "00");
      case 238: return Responde(Out, Tabela238());
      case 200: return abreCupom();
      case 202: {
        // T(3) code(18) "00000" discount(4) price(10) qty(8) unit(2) text 255
        if (arg.size() < 51) return Erro(Out, c, 16);
        return vende(arg.substr(0, 3), arg.substr(3, 18), Numero(arg.substr(26, 4)),
                     Numero(arg.substr(30, 10)) / 1000.0, Numero(arg.substr(40, 8)) / 1000.0,
                     arg.substr(50, arg.size() - 51));
      }
      case 206: return subtotaliza(arg);
      case 207: return paga(arg);
      case 209: return fecha(arg.substr(0, arg.size() - 1));
      case 211: return cancela();
      case 204: return cancelaItem();
      case 250: return leituraX();
      case 252: return reducaoZ();
      case 214: return gerencial();
      case 215: return linha();
      case 216: return fechaRelatorio();
      case 251: return memoria(false);
      case 213: {
        size_t tam = 0;
        int slot = SlotForma(arg, tam);
        if (slot < 0 || fFormas[static_cast<size_t>(slot)].Descricao.empty())
          return Erro(Out, c, 38);
        if (fDoc != Doc::Livre) return Erro(Out, c, 10);
        fDoc = Doc::Vinculado;
        imprime("COMPROVANTE NAO FISCAL VINCULADO");
        return Ok(Out, c, "", true);
      }
      default: break;
    }
  } else {
    const bool antiga = fConjunto == Conjunto::FS315;
    switch (c) {
      case 195:
        return Responde(Out, std::string(antiga ? ":10033" : ":10043") + "A1" + CR);
      case 236: return Responde(Out, std::string(":V") + (antiga ? "DR3150" : "DR345001") + CR);
      case 239: {
        std::string d = "0001" + std::string(1, documento()) +
                        Zeros(fDoc == Doc::Livre ? fCOO + 1 : fCOO, 6);
        int64_t sub = aberto ? TotalCentavos() : 0;
        if (antiga)
          d += std::string(16, '0') + Zeros(sub, 21);
        else
          d += std::string(14, '0') + Zeros(sub, 14);
        return Ok(Out, c, d);
      }
      case 244:
        return Responde(Out, ":" + std::string(1, static_cast<char>(244)) + std::string(35, '0') +
                                 "0004" + CR);
      case 230:
        return Responde(Out, ":" + std::string(1, static_cast<char>(230)) + Data("%d%m%y%H%M%S") +
                                 CR);
      case 229:
        return Responde(Out, ":" + std::string(1, static_cast<char>(229)) + "000" +
                                 (fArredonda ? '1' : '0') + (fHorarioVerao ? '1' : '0') + CR);
      case 231:
        return Responde(Out, ":" + std::string(1, static_cast<char>(231)) + TabelaAliquotas() + CR);
      case 234:
        if (fConjunto == Conjunto::MFD)
          return Responde(Out, ":" + std::string(1, static_cast<char>(234)) + CR);
        return Responde(Out, Tabela234());
      case 238: return Responde(Out, Tabela238());
      case 200: return abreCupom();
      case 215:
        // T(2) code(13) "0000" discount(4) price(9, 2 decimals) qty(5) unit(2) text(30)
        if (arg.size() < 39) return Erro(Out, c, 16);
        return vende(arg.substr(0, 2), arg.substr(2, 13), Numero(arg.substr(19, 4)),
                     Numero(arg.substr(23, 9)) / 100.0,
                     std::atof(
                         [&] {
                           std::string q = arg.substr(32, 5);
                           for (char& ch : q)
                             if (ch == ',') ch = '.';
                           return q;
                         }()
                             .c_str()),
                     arg.substr(39));
      case 225: {
        // T(2) code(13) "0000" discount(4) price(9, 3 decimals) qty(6) unit(2) text 255
        if (arg.size() < 41) return Erro(Out, c, 16);
        std::string q = arg.substr(32, 6);
        for (char& ch : q)
          if (ch == ',') ch = '.';
        return vende(arg.substr(0, 2), arg.substr(2, 13), Numero(arg.substr(19, 4)),
                     Numero(arg.substr(23, 9)) / 1000.0, std::atof(q.c_str()),
                     arg.substr(40, arg.size() - 41));
      }
      case 241: return subtotaliza(arg);
      case 242: return paga(arg);
      case 243: return fecha(arg.substr(0, arg.size() - 1));
      case 206: return cancela();
      case 205: return cancelaItem();
      case 207: return leituraX();
      case 208: return reducaoZ();
      case 211: return gerencial();
      case 213: return linha();
      case 212: return fechaRelatorio();
      case 209: return memoria(!arg.empty() && arg[0] == 's');
      case 219: {
        // linked type (letter) + payment method + COO(6) + value(12)
        if (arg.empty()) return Erro(Out, c, 16);
        int tipo = arg[0] - 'A';
        if (tipo < 0 || tipo > 15 || fVinculados[static_cast<size_t>(tipo)].empty())
          return Erro(Out, c, 30);
        size_t tam = 0;
        int slot = SlotForma(arg.substr(1), tam);
        if (slot < 0 || fFormas[static_cast<size_t>(slot)].Descricao.empty())
          return Erro(Out, c, 38);
        if (arg.size() != 1 + tam + 18 || Numero(arg.substr(1 + tam)) < 0)
          return Erro(Out, c, 13);
        if (fDoc != Doc::Livre) return Erro(Out, c, 10);
        fDoc = Doc::Vinculado;
        imprime("COMPROVANTE NAO FISCAL VINCULADO " + fVinculados[static_cast<size_t>(tipo)]);
        return Ok(Out, c, "", true);
      }
      case 218: {
        // "PG" + V/X + slot letter + description(17)
        if (arg.size() < 4 || arg.substr(0, 2) != "PG") return Erro(Out, c, 16);
        int slot = arg[3] - 'A';
        if (slot < 0 || slot > 15) return Erro(Out, c, 25);
        fFormas[static_cast<size_t>(slot)] = {Apara(arg.substr(4)), arg[2] == 'V'};
        return Ok(Out, c);
      }
      case 226: {
        if (arg.empty()) return Erro(Out, c, 16);
        auto& lista = arg[0] == 'V' ? fVinculados : fComprovantes;
        for (auto& s : lista)
          if (s.empty()) {
            s = Apara(arg.substr(1));
            return Ok(Out, c);
          }
        return Erro(Out, c, 14);
      }
      default: break;
    }
  }

  // Commands the three sets share.
  switch (c) {
    case 'p':
      fGaveta = true;
      return Ok(Out, c);
    case 220: {
      bool servico = !arg.empty() && arg[0] == 'S';
      int64_t v = Numero(arg.substr(servico ? 1 : 0));
      if (v <= 0 || v > 9999) return Erro(Out, c, 13);
      for (auto& a : fAliquotas)
        if (a.Valor < 0) {
          a.Valor = static_cast<int>(v);
          if (servico) a.Letra = static_cast<char>(a.Letra + 32);
          return Ok(Out, c);
        }
      return Erro(Out, c, 14);
    }
    case 228:
      if (arg.size() != 40) return Erro(Out, c, 16);
      if (arg[4] != 'X') fArredonda = arg[4] == '1';
      if (arg[5] != 'X') fHorarioVerao = arg[5] == '1';
      if (arg[13] != 'X') fAgulhas = arg[13] - '0';
      return Ok(Out, c);
    case 'b':
    case 'd':
      return Numero(arg) < 0 ? Erro(Out, c, 13) : Ok(Out, c);
    case 'c':
    case 'f':
      return Ok(Out, c);
    case 'v':
      if (Numero(arg) < 0) return Erro(Out, c, 13);
      imprime("CHEQUE " + arg);
      return Ok(Out, c, "", true);
    case 't':
      imprime(Apara(arg));
      return Ok(Out, c, "", true);
    case 'm':
      return Ok(Out, c);
    default:
      return Erro(Out, c, 16);
  }
}

}  // namespace zuvo::sim
