#include "sim/SimUrano.h"

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {

const std::string kInicio = "\x1b" "f";  // ESC "f" starts every command
const std::string kFim = "XXXXX";        // and this trailer ends its text
const size_t kMaiorComando = 487;         // "06" with its 480-byte block
const char kSemPapel = 'P';               // no refusal code of its own: out of paper
const int kColunas = 48;
const int kLinhasBloco = 10;              // lines in one "06" block
const size_t kDadosRegistro = 21;         // data bytes of a register read

ModeloImpressora Modelo() {
  ModeloImpressora m;
  m.Modelo = "URANO FISCAL";
  m.Versao = "01.05.02";
  m.NumSerie = "UR0503000012345";
  m.Colunas = kColunas;
  m.Aliquotas = 15;  // codes 01-15; 16, 17 and 18 are F, I and N
  m.Formas = 10;     // codes 00-09
  return m;
}

// The text of a "06" line: the 48 columns without the blanks and NUL fill
// at their end.
std::string LinhaBloco(const std::string& Linha) {
  size_t fim = Linha.size();
  while (fim > 0 && (Linha[fim - 1] == ' ' || Linha[fim - 1] == '\0')) fim--;
  return Linha.substr(0, fim);
}

}  // namespace

SimUrano::SimUrano(const OpcoesSimulador&)
    : fECF(Modelo(), [this](const std::string& l) { Imprime(l); },
           [this] { return FalhasAtivas().SemPapel; }) {
  Contadores c;
  c.COO = 250;
  c.CRZ = 12;
  c.CRO = 2;
  fECF.SetContadores(c);
  // What the shop programmed at installation (code 04 is a service rate).
  const int taxas[] = {1800, 700, 1200, 500};
  for (int i = 0; i < 4; i++) fECF.SetAliquota(i, {taxas[i], i == 3, ""});
  fECF.SetForma(0, {"Dinheiro", false, ""});
  fECF.SetForma(1, {"Cheque", true, ""});
  fECF.SetForma(2, {"Cartao", true, ""});
  for (int z = 10; z <= 12; z++) AdicionaReducaoTravada(z, 13 - z, 150000 + z * 1000);
  Inicia();
}

SimUrano::~SimUrano() { Para(); }

// ----- Settings for tests -----

void SimUrano::SetRequerZ(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerZ(V);
}
void SimUrano::SetBloqueada(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetBloqueada(V);
}
void SimUrano::SetErroProximo(char Codigo) {
  std::lock_guard<std::mutex> t(Trava());
  fErroProximo = Codigo;
}
std::vector<std::string> SimUrano::Comandos() const {
  std::lock_guard<std::mutex> t(Trava());
  return fComandos;
}
std::vector<ItemVendido> SimUrano::Itens() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.Itens();
}
void SimUrano::AdicionaReducao(int CRZ, int Dias, int64_t VendaBruta) {
  std::lock_guard<std::mutex> t(Trava());
  AdicionaReducaoTravada(CRZ, Dias, VendaBruta);
}
void SimUrano::AdicionaReducaoTravada(int CRZ, int Dias, int64_t VendaBruta) {
  RegistroZ z;
  z.CRZ = CRZ;
  z.Dia = fECF.Hoje() - Dias;
  z.VendaBruta = VendaBruta;
  fECF.AdicionaRegistroZ(z);
}

// ----- Framing -----

const std::map<std::string, SimUrano::Comando>& SimUrano::Tabela() {
  static const std::map<std::string, Comando> t = {
      {"00", {7, &SimUrano::AbreCupom}},           {"01", {107, &SimUrano::VendeItem}},
      {"02", {32, &SimUrano::CancelaItem}},        {"030", {45, &SimUrano::DescontoItem}},
      {"04", {38, &SimUrano::Paga}},               {"050", {16, &SimUrano::FechaCupom}},
      {"06", {487, &SimUrano::Texto}},             {"07", {15, &SimUrano::CancelaCupom}},
      {"081", {16, &SimUrano::CancelaUltimo}},     {"090", {28, &SimUrano::AcrescimoSubtotal}},
      {"100", {28, &SimUrano::DescontoSubtotal}},  {"110", {8, &SimUrano::LeituraX}},
      {"111", {8, &SimUrano::ReducaoZ}},           {"12", {15, &SimUrano::FechaRelatorio}},
      {"160", {28, &SimUrano::MemoriaPorData}},    {"161", {28, &SimUrano::MemoriaPorReducao}},
      {"16", {27, &SimUrano::MemoriaSerial}},      {"200", {10, &SimUrano::AvancaPapel}},
      {"23", {7, &SimUrano::Estado}},              {"24", {9, &SimUrano::Registro}},
      {"271", {8, &SimUrano::EstadoPapel}},              {"34", {152, &SimUrano::Consumidor}},
  };
  return t;
}

bool SimUrano::Identifica(const std::string& C, std::string& Codigo, size_t& Tamanho) const {
  Codigo.clear();
  if (C.size() < 3) return false;
  std::string cod;
  if (C.compare(0, 2, "16") == 0) {
    // The capture ("16", 27 bytes) and the printed readings ("160" and
    // "161", 28 bytes) share their start: the trailer tells them apart.
    if (C.size() >= 27 && C.compare(22, 5, kFim) == 0)
      cod = "16";
    else if (C.size() < 28)
      return false;
    else
      cod = C.substr(0, 3);
  } else if (Tabela().count(C.substr(0, 3))) {
    cod = C.substr(0, 3);
  } else if (Tabela().count(C.substr(0, 2))) {
    cod = C.substr(0, 2);
  }
  const size_t trailer = C.find(kFim);
  auto t = Tabela().find(cod);
  if (t == Tabela().end()) {
    // Unknown: up to its trailer.
    if (trailer != std::string::npos) Tamanho = trailer + kFim.size();
    else if (C.size() > kMaiorComando) Tamanho = C.size();
    else return false;
    return true;
  }
  Tamanho = t->second.Tamanho;
  if (C.size() < Tamanho) return false;
  if (C.compare(Tamanho - kFim.size(), kFim.size(), kFim) == 0)
    Codigo = cod;
  else if (trailer != std::string::npos && trailer + kFim.size() < Tamanho)
    Tamanho = trailer + kFim.size();  // a short command: drop it alone
  return true;
}

size_t SimUrano::Processa(const std::string& P, PtyPar::Saida& Out) {
  if (P.empty()) return 0;
  const size_t inicio = P.find(kInicio);
  if (inicio == std::string::npos) return P.back() == kInicio[0] ? P.size() - 1 : P.size();
  if (inicio > 0) return inicio;  // noise between commands
  const std::string C = P.substr(kInicio.size());
  std::string codigo;
  size_t tamanho = 0;
  if (!Identifica(C, codigo, tamanho)) return 0;
  const std::string cmd = C.substr(0, tamanho);
  fComandos.push_back(cmd);

  const bool bruta = codigo == "23" || codigo.starts_with("27");
  const size_t dados = codigo == "24" ? kDadosRegistro : 0;
  const int antes = LinhasImpressas();
  std::string r;
  if (codigo.empty()) {
    r = Status('8');
  } else if (!bruta && (FalhasAtivas().Recusa || fErroProximo)) {
    r = Status(FalhasAtivas().Recusa ? '8' : fErroProximo) + std::string(dados, ' ');
    fErroProximo = 0;
  } else {
    r = (this->*(Tabela().at(codigo).Trata))(cmd);
  }
  const int linhas = LinhasImpressas() - antes;
  if (r[0] == '!' && linhas > 0 && FalhasAtivas().PoucoPapel) r[0] = 'W';
  Responde(Out, r, TempoImpressao(linhas));
  return kInicio.size() + tamanho;
}

// ----- Answers -----

char SimUrano::Codigo(ErroFiscal E) {
  switch (E) {
    case ErroFiscal::SemCupom: return '5';
    case ErroFiscal::ForaDaFase: return '7';
    case ErroFiscal::RequerZ: return '2';
    case ErroFiscal::Bloqueada: return '3';
    case ErroFiscal::SemPapel: return kSemPapel;
    case ErroFiscal::AliquotaInvalida: return '$';
    case ErroFiscal::FormaInvalida: return 'a';
    case ErroFiscal::ItemInexistente: return 'T';
    case ErroFiscal::PagamentoIncompleto: return '6';
    case ErroFiscal::CancelamentoInvalido: return '?';
    case ErroFiscal::VinculadoInvalido: return 'i';
    default: return '4';  // out of sequence
  }
}

std::string SimUrano::Conclui(ErroFiscal E, char SeValor) const {
  if (E == ErroFiscal::Nenhum) return "!";
  return Status(E == ErroFiscal::ValorInvalido ? SeValor : Codigo(E));
}

// ----- The receipt -----

std::string SimUrano::AbreCupom(const std::string&) {
  if (fECF.CupomAberto()) return Status('I');  // its header is printed already
  fConsumidor.clear();
  return Conclui(fECF.AbreCupom());
}

std::string SimUrano::VendeItem(const std::string& C) {
  // code(13) description(66) quantity(7) price(9) rate(2) unit(2) flag(1)
  ItemVendido it;
  it.Codigo = Apara(Trecho(C, 2, 13));
  it.Descricao = Apara(Trecho(C, 15, 66));
  it.Unidade = Apara(Trecho(C, 99, 2));
  const std::string qtd = Trecho(C, 81, 7), preco = Trecho(C, 88, 9), flag = Trecho(C, 101, 1);
  if (flag == "0") {
    // Whole quantity, price in cents.
    const int64_t q = Digitos(qtd), p = Digitos(preco);
    it.QtdMil = q < 0 ? -1 : q * 1000;
    it.PrecoMil = p < 0 ? -1 : p * 10;
  } else if (flag == "2" && Trecho(qtd, 3, 1) == ",") {
    // "ddd,ddd" and the price in thousandths.
    it.QtdMil = Digitos(Trecho(qtd, 0, 3) + Trecho(qtd, 4, 3));
    it.PrecoMil = Digitos(preco);
  } else {
    return Status('c');
  }
  if (it.QtdMil <= 0) return Status('c');
  if (it.PrecoMil <= 0) return Status('b');
  const int64_t taxa = Digitos(Trecho(C, 97, 2));
  if (taxa >= 1 && taxa <= 15) it.Aliquota = static_cast<int>(taxa - 1);
  else if (taxa == 16) it.Aliquota = kSubstituicao;
  else if (taxa == 17) it.Aliquota = kIsento;
  else if (taxa == 18) it.Aliquota = kNaoIncidencia;
  else return Status('*');
  return Conclui(fECF.VendeItem(it), 'H');
}

std::string SimUrano::CancelaItem(const std::string& C) {
  const int64_t n = Digitos(Trecho(C, 24, 3));
  const auto& itens = fECF.Itens();
  if (n >= 1 && static_cast<size_t>(n) <= itens.size() &&
      itens[static_cast<size_t>(n - 1)].Cancelado)
    return Status('U');
  return Conclui(fECF.CancelaItem(n < 0 ? 0 : static_cast<int>(n)));
}

std::string SimUrano::DescontoItem(const std::string& C) {
  // On the last item sold: text(26) value in cents(11).
  const int64_t v = Digitos(Trecho(C, 29, 11));
  if (v <= 0) return Status(',');
  const ErroFiscal e = fECF.AcresceItem(static_cast<int>(fECF.Itens().size()), -v);
  return e == ErroFiscal::ItemInexistente ? Status('S') : Conclui(e, ',');
}

std::string SimUrano::Paga(const std::string& C) {
  // method(2) text(17) value in cents(11) linked receipt(1)
  const int64_t forma = Digitos(Trecho(C, 2, 2));
  if (forma < 0 || forma >= static_cast<int64_t>(fECF.Formas().size())) return Status(']');
  const ErroFiscal e =
      fECF.Paga(static_cast<int>(forma), Digitos(Trecho(C, 21, 11)), Apara(Trecho(C, 4, 17)));
  if (e == ErroFiscal::Nenhum && Trecho(C, 32, 1) == "1" &&
      fECF.Formas()[static_cast<size_t>(forma)].PermiteVinculado) {
    fVinculadoCOO = fECF.COO();
    fVinculadoForma = static_cast<int>(forma);
  }
  return Conclui(e, '4');
}

std::string SimUrano::Consumidor(const std::string& C) {
  // title(42) type(1: "0" CPF) id(18) two lines(42 each), printed at the close
  if (!fECF.CupomAberto()) return Status('5');
  fConsumidor = Apara(Trecho(C, 2, 42)) + "\n" + (Trecho(C, 44, 1) == "0" ? "CPF: " : "CNPJ: ") +
                Apara(Trecho(C, 45, 18));
  for (size_t p : {63u, 105u})
    if (const std::string l = Apara(Trecho(C, p, 42)); !l.empty()) fConsumidor += "\n" + l;
  return "!";
}

std::string SimUrano::FechaCupom(const std::string&) {
  const ErroFiscal e = fECF.FechaCupom(fConsumidor);
  if (e == ErroFiscal::Nenhum) fConsumidor.clear();
  return e == ErroFiscal::CupomVazio ? Status('6') : Conclui(e);
}

std::string SimUrano::CancelaCupom(const std::string&) {
  if (!fECF.CupomAberto()) return Status('?');
  fVinculadoCOO = 0;
  return Conclui(fECF.CancelaCupom());
}

std::string SimUrano::CancelaUltimo(const std::string&) {
  if (fECF.CupomAberto()) return Status('?');
  fVinculadoCOO = 0;
  return Conclui(fECF.CancelaCupom());
}

std::string SimUrano::Subtotal(const std::string& C, int Sinal, char Recusa) {
  // 10 blanks and the value in cents(10)
  const int64_t v = Digitos(Trecho(C, 13, 10));
  if (v <= 0) return Status(Recusa);
  return Conclui(fECF.AcresceSubtotal(Sinal * v), Recusa);
}

std::string SimUrano::AcrescimoSubtotal(const std::string& C) { return Subtotal(C, 1, 'X'); }
std::string SimUrano::DescontoSubtotal(const std::string& C) { return Subtotal(C, -1, 'Y'); }

// ----- Reports and non-fiscal documents -----

std::string SimUrano::LeituraX(const std::string&) { return Conclui(fECF.LeituraX()); }
std::string SimUrano::ReducaoZ(const std::string&) { return Conclui(fECF.ReducaoZ()); }

std::string SimUrano::Texto(const std::string& C) {
  if (fECF.DocumentoAberto() == Documento::Nenhum) {
    // The first line opens the document: the linked receipt a payment of
    // the last receipt asked for, otherwise a managerial report.
    const bool vinculado = fVinculadoCOO != 0 && fVinculadoCOO == fECF.COOUltimoCupom();
    fVinculadoCOO = 0;
    const ErroFiscal e = vinculado ? fECF.AbreVinculado(fVinculadoForma) : fECF.AbreGerencial();
    if (e != ErroFiscal::Nenhum) return Conclui(e);
  }
  const std::string bloco = Trecho(C, 2, static_cast<size_t>(kColunas * kLinhasBloco));
  std::string texto;
  for (int i = 0; i < kLinhasBloco; i++) {
    const std::string linha = Trecho(bloco, static_cast<size_t>(i * kColunas), kColunas);
    if (linha.empty() || linha[0] == '\0') break;  // the NUL fill after the last line
    texto += LinhaBloco(linha) + "\n";
  }
  return Conclui(fECF.ImprimeTexto(texto));
}

std::string SimUrano::FechaRelatorio(const std::string&) { return Conclui(fECF.FechaRelatorio()); }

std::string SimUrano::AvancaPapel(const std::string& C) {
  const int64_t n = Digitos(Trecho(C, 3, 2));
  if (n < 0) return Status('8');
  if (FalhasAtivas().SemPapel) return Status(kSemPapel);
  for (int64_t i = 0; i < n; i++) Imprime("");
  return "!";
}

// ----- Fiscal memory -----

std::string SimUrano::MemoriaPorData(const std::string& C) {
  const long de = LeDdMmAa(Trecho(C, 3, 6)), ate = LeDdMmAa(Trecho(C, 9, 6));
  if (de < 0 || ate < 0) return Status('8');
  return Conclui(fECF.ImprimeMemoriaFiscal(de, ate, true));
}

std::string SimUrano::MemoriaPorReducao(const std::string& C) {
  const int64_t de = Digitos(Trecho(C, 15, 4)), ate = Digitos(Trecho(C, 19, 4));
  if (de < 0 || ate < 0) return Status('8');
  return Conclui(fECF.ImprimeMemoriaFiscal(static_cast<long>(de), static_cast<long>(ate), false));
}

std::string SimUrano::MemoriaSerial(const std::string& C) {
  // The report goes on the line after the status byte, lines ended by
  // CR LF, and nothing marks its end.
  const long de = LeDdMmAa(Trecho(C, 2, 6)), ate = LeDdMmAa(Trecho(C, 8, 6));
  if (de < 0 || ate < 0 || Trecho(C, 14, 8) != "00000000") return Status('8');
  if (fECF.CupomAberto() || fECF.DocumentoAberto() != Documento::Nenhum) return Status('4');
  std::string r = "!";
  for (const std::string& l : fECF.TextoMemoriaFiscal(de, ate, true)) r += l + "\r\n";
  return r;
}

// ----- Queries -----

std::string SimUrano::Estado(const std::string&) {
  switch (fECF.DocumentoAberto()) {
    case Documento::Cupom:
    case Documento::NaoFiscal:
      if (!fECF.EmPagamento()) return "w";
      return fECF.Saldo() > 0 ? "x" : "y";
    case Documento::Gerencial: return "}";
    case Documento::Vinculado: return "~";
    case Documento::Nenhum: break;
  }
  if (fECF.Bloqueada()) return "|";
  if (fECF.RequerZ()) return "z";
  return "v";
}

std::string SimUrano::EstadoPapel(const std::string&) {
  return FalhasAtivas().PoucoPapel ? "1" : "0";
}

std::string SimUrano::Registro(const std::string& C) {
  std::string valor;
  if (!ValorRegistro(static_cast<int>(Digitos(Trecho(C, 2, 2))), valor))
    return Status('8') + std::string(kDadosRegistro, ' ');
  return "!" + Completa(valor, kDadosRegistro);
}

bool SimUrano::ValorRegistro(int Numero, std::string& Valor) const {
  const ModeloImpressora& m = fECF.Modelo();
  const auto& formas = fECF.Formas();
  switch (Numero) {
    case 0: Valor = Dinheiro(fECF.CupomAberto() ? fECF.TotalCupom() : 0); return true;
    case 18: Valor = Zeros(fECF.COO(), 6); return true;
    case 23: Valor = Zeros(fECF.CRO(), 4); return true;
    case 25: Valor = m.NumSerie; return true;
    case 26: Valor = Zeros(m.NumECF, 3); return true;
    case 27: Valor = fECF.DataHora("dd/mm/yy"); return true;
    case 28: Valor = fECF.DataHora("hh:nn:ss"); return true;
    case 97: Valor = m.Versao; return true;
    default: break;
  }
  if (Numero >= 42 && Numero <= 51) {
    // The payment methods by code.
    const size_t i = static_cast<size_t>(Numero - 42);
    Valor = i < formas.size() ? formas[i].Descricao : "";
    return true;
  }
  if (Numero >= 62 && Numero <= 71) {
    // The names of the methods that allow a linked receipt, in order.
    int n = Numero - 62;
    Valor.clear();
    for (const FormaPagamento& f : formas)
      if (!f.Descricao.empty() && f.PermiteVinculado && n-- == 0) Valor = f.Descricao;
    return true;
  }
  return false;
}

}  // namespace zuvo::sim
