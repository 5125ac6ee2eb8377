#include "sim/SimQuattro.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <limits>

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {

const char ESC = 27;
const char FIM = '}';
const char LF = 10;

// The longest command a printer keeps while it waits for the "}".
constexpr size_t kMaiorComando = 1024;

ModeloImpressora Modelo() {
  ModeloImpressora m;
  m.Modelo = "QUATTRO QT-1000";
  m.Versao = "01.05";
  m.NumSerie = "QT0457";
  m.NumECF = 3;
  m.Colunas = 40;
  m.Aliquotas = 15;
  m.Formas = 10;
  m.NaoFiscais = 20;
  return m;
}

std::string SimNao(bool V) { return V ? "S" : "N"; }

}  // namespace

SimQuattro::SimQuattro(const OpcoesSimulador&)
    : fECF(Modelo(), [this](const std::string& l) { Imprime(l); },
           [this] { return FalhasAtivas().SemPapel; }) {
  Contadores c;
  c.COO = 230;
  c.CRZ = 12;
  c.CRO = 3;
  fECF.SetContadores(c);
  // What the shop programmed at installation: 18% and 7% ICMS, 5% ISS.
  fECF.SetAliquota(0, {1800, false, ""});
  fECF.SetAliquota(1, {700, false, ""});
  fECF.SetAliquota(2, {500, true, ""});
  fECF.SetForma(0, {"Dinheiro", false, ""});
  fECF.SetForma(1, {"Cheque", true, ""});
  fECF.SetForma(2, {"Cartao", true, ""});
  fECF.SetNaoFiscal(0, {"-Sangria", false});
  fECF.SetNaoFiscal(1, {"+Suprimento", true});
  Inicia();
}

SimQuattro::~SimQuattro() { Para(); }

// ----- Framing -----

size_t SimQuattro::Processa(const std::string& P, PtyPar::Saida& Out) {
  if (P.empty()) return 0;
  if (P[0] != ESC) return 1;  // noise between commands
  if (P.size() < 2) return 0;
  if (P[1] != '.') return 1;
  const size_t fim = P.find(FIM, 2);
  if (fim == std::string::npos) return P.size() > kMaiorComando ? P.size() : 0;
  const std::string cmd = P.substr(2, fim - 2);
  fComandos.push_back(cmd);
  const int linhas = LinhasImpressas();
  const auto h = Tabela().find(Trecho(cmd, 0, 2));
  if (FalhasAtivas().Recusa)
    Erro(Out, 19);
  else if (h == Tabela().end())
    Erro(Out, 77);
  else
    (this->*(h->second))(cmd, Out);
  Ocupa(LinhasImpressas() - linhas);
  return fim + 1;
}

// The answer goes at once; the mechanism then prints for a while, which the
// status answer "23" tells.
void SimQuattro::Ocupa(int Linhas) {
  const int tempo = TempoImpressao(Linhas);
  if (tempo == kNunca) {
    fImprimindoAte = std::numeric_limits<int64_t>::max();
  } else if (tempo > 0) {
    fImprimindoAte = std::max(fImprimindoAte, AgoraMs()) + tempo;
  }
}

const std::map<std::string, SimQuattro::Tratador>& SimQuattro::Tabela() {
  static const std::map<std::string, Tratador> t = {
      {"01", &SimQuattro::Item},              {"02", &SimQuattro::DescontoItem},
      {"03", &SimQuattro::DescontoSubtotal},  {"04", &SimQuattro::CancelaItem},
      {"05", &SimQuattro::CancelaCupom},      {"08", &SimQuattro::Relatorio},
      {"10", &SimQuattro::Paga},              {"11", &SimQuattro::AcrescimoSubtotal},
      {"12", &SimQuattro::Fecha},             {"13", &SimQuattro::LeituraX},
      {"14", &SimQuattro::Reducao},           {"15", &SimQuattro::MemoriaFiscal},
      {"16", &SimQuattro::MemoriaFiscal},     {"++", &SimQuattro::Continua},
      {"17", &SimQuattro::AbreCupom},         {"19", &SimQuattro::Vinculado},
      {"21", &SimQuattro::AbreGaveta},        {"22", &SimQuattro::Gaveta},
      {"23", &SimQuattro::StatusImpressora},  {"27", &SimQuattro::NumeroECF},
      {"28", &SimQuattro::Status},            {"29", &SimQuattro::Tabelas},
      {"33", &SimQuattro::ProgramaAliquota},  {"35", &SimQuattro::Relogio},
      {"36", &SimQuattro::HorarioVerao},      {"37", &SimQuattro::ProgramaForma},
      {"38", &SimQuattro::ProgramaNaoFiscal}, {"56", &SimQuattro::LeRegistro},
      {"57", &SimQuattro::GravaRegistro},     {"59", &SimQuattro::Cheque},
  };
  return t;
}

// ----- Answers -----

void SimQuattro::Ok(PtyPar::Saida& Out, const std::string& Dados, bool Imprimiu) {
  fNumero = fNumero % 9999 + 1;
  if (Imprimiu && FalhasAtivas().PoucoPapel) return FimPapel(Out);
  Responde(Out, ".+" + Zeros(fNumero, 4) + Dados + FIM);
}

void SimQuattro::Consulta(PtyPar::Saida& Out, const std::string& Corpo) {
  Responde(Out, ".+" + Corpo + FIM);
}

void SimQuattro::Erro(PtyPar::Saida& Out, int Codigo) {
  Responde(Out, ".-" + Zeros(fNumero, 4) + "ERRO:" + std::string(8, ' ') + Zeros(Codigo, 3) + FIM);
}

// The paper end: the number tells whether the command was carried out.
void SimQuattro::FimPapel(PtyPar::Saida& Out) {
  Responde(Out, ".-P005" + std::string("00") + Zeros(fNumero, 4) + FIM);
}

int SimQuattro::Codigo(ErroFiscal E) {
  switch (E) {
    case ErroFiscal::CupomAberto: return 17;
    case ErroFiscal::DocumentoAberto: case ErroFiscal::SemDocumento: return 42;
    case ErroFiscal::SemCupom: return 28;
    case ErroFiscal::ForaDaFase: return 62;
    case ErroFiscal::RequerZ: return 44;
    case ErroFiscal::RequerX: return 43;
    case ErroFiscal::Bloqueada: return 61;
    case ErroFiscal::SemPapel: return 68;
    case ErroFiscal::AliquotaInvalida: return 10;
    case ErroFiscal::FormaInvalida: return 55;
    case ErroFiscal::TipoInvalido: return 57;
    case ErroFiscal::ItemInexistente: return 83;
    case ErroFiscal::ValorInvalido: return 36;
    case ErroFiscal::PagamentoCompleto: return 59;
    case ErroFiscal::CancelamentoInvalido: return 60;
    case ErroFiscal::VinculadoInvalido: return 78;
    case ErroFiscal::TabelaCheia: return 33;
    case ErroFiscal::JaProgramado: return 37;
    case ErroFiscal::SemCheque: return 93;
    default: return 19;
  }
}

void SimQuattro::Conclui(PtyPar::Saida& Out, ErroFiscal E, bool Imprimiu) {
  if (E == ErroFiscal::Nenhum) return Ok(Out, "", Imprimiu);
  if (E == ErroFiscal::SemPapel) return FimPapel(Out);
  Erro(Out, Codigo(E));
}

// ----- The receipt -----

void SimQuattro::AbreCupom(const std::string& Cmd, PtyPar::Saida& Out) {
  Conclui(Out, fECF.AbreCupom(Apara(Trecho(Cmd, 2, 20))));
}

// The tax field: "T01"/"S02" a programmed rate by type and position, "F",
// "I" or "N" an untaxed item; -100 when it names nothing.
static int SlotTributo(const std::string& Campo, const std::vector<AliquotaFiscal>& Tabela) {
  const char tipo = Campo.empty() ? ' ' : Campo[0];
  if (tipo == 'F') return kSubstituicao;
  if (tipo == 'I') return kIsento;
  if (tipo == 'N') return kNaoIncidencia;
  const int64_t pos = Digitos(Trecho(Campo, 1, 2));
  if ((tipo != 'T' && tipo != 'S') || pos < 1 || pos > static_cast<int64_t>(Tabela.size())) return -100;
  const AliquotaFiscal& a = Tabela[static_cast<size_t>(pos - 1)];
  return a.Valor > 0 && a.ISS == (tipo == 'S') ? static_cast<int>(pos - 1) : -100;
}

void SimQuattro::Item(const std::string& Cmd, PtyPar::Saida& Out) {
  // code(13) qty(7, 3 decimals) price(9, 3 decimals) 12 blanks "~"
  // description(23) tax(3), then an optional longer description.
  if (Cmd.size() < 70 || Cmd[43] != '~') return Erro(Out, 85);
  ItemVendido it;
  it.Codigo = Apara(Cmd.substr(2, 13));
  it.QtdMil = Digitos(Cmd.substr(15, 7));
  it.PrecoMil = Digitos(Cmd.substr(22, 9));
  if (it.QtdMil < 0 || it.PrecoMil < 0) return Erro(Out, 3);
  if (it.QtdMil == 0) return Erro(Out, 4);
  it.Descricao = Apara(Cmd.substr(44, 23));
  const std::string extra = Apara(Trecho(Cmd, 70));
  if (!extra.empty()) it.Descricao += " " + extra;
  it.Aliquota = SlotTributo(Cmd.substr(67, 3), fECF.Aliquotas());
  if (it.Aliquota == -100) return Erro(Out, 10);
  Conclui(Out, fECF.VendeItem(std::move(it)));
}

void SimQuattro::DescontoItem(const std::string& Cmd, PtyPar::Saida& Out) {
  const int64_t v = Digitos(Trecho(Cmd, 12, 12));
  if (Cmd.size() != 24 || v < 0) return Erro(Out, 85);
  Conclui(Out, fECF.AcresceItem(static_cast<int>(fECF.Itens().size()), -v));
}

void SimQuattro::DescontoSubtotal(const std::string& Cmd, PtyPar::Saida& Out) {
  const int64_t v = Digitos(Trecho(Cmd, 12, 12));
  if (Cmd.size() != 24 || v < 0) return Erro(Out, 85);
  Conclui(Out, fECF.AcresceSubtotal(-v), false);
}

void SimQuattro::AcrescimoSubtotal(const std::string& Cmd, PtyPar::Saida& Out) {
  // "11" + two blanks + "0000" + value(11)
  const int64_t v = Digitos(Trecho(Cmd, 8, 11));
  if (Cmd.size() != 19 || Trecho(Cmd, 4, 4) != "0000" || v < 0) return Erro(Out, 85);
  Conclui(Out, fECF.AcresceSubtotal(v), false);
}

void SimQuattro::CancelaItem(const std::string& Cmd, PtyPar::Saida& Out) {
  const int64_t n = Digitos(Trecho(Cmd, 2, 3));
  if (n < 0) return Erro(Out, 3);
  Conclui(Out, fECF.CancelaItem(static_cast<int>(n)));
}

void SimQuattro::CancelaCupom(const std::string&, PtyPar::Saida& Out) {
  // A receipt being paid is not cancelled: it is closed first, then the
  // last receipt is cancelled.
  if (fECF.DocumentoAberto() == Documento::Cupom && fECF.EmPagamento()) return Erro(Out, 62);
  Conclui(Out, fECF.CancelaCupom());
}

void SimQuattro::Paga(const std::string& Cmd, PtyPar::Saida& Out) {
  // code(2) value(12) "{" text
  const int64_t forma = Digitos(Trecho(Cmd, 2, 2));
  const int64_t v = Digitos(Trecho(Cmd, 4, 12));
  if (forma < 0 || v < 0) return Erro(Out, 3);
  if (Cmd.size() > 16 && Cmd[16] != '{') return Erro(Out, 85);
  if (forma == 0) return Erro(Out, 2);
  Conclui(Out, fECF.Paga(static_cast<int>(forma - 1), v, Apara(Trecho(Cmd, 17))));
}

void SimQuattro::Fecha(const std::string& Cmd, PtyPar::Saida& Out) {
  // Closes the receipt, or the linked receipt, with up to nine lines of
  // "0" + 40 characters.
  if (fECF.DocumentoAberto() == Documento::Vinculado) return Conclui(Out, fECF.FechaRelatorio());
  std::string mensagem;
  for (size_t i = 2; i < Cmd.size(); i += 41) {
    std::string l = Trecho(Cmd, i + 1, 40);
    while (!l.empty() && l.back() == ' ') l.pop_back();
    mensagem += l + LF;
  }
  Conclui(Out, fECF.FechaCupom(mensagem));
}

// ----- Reports and linked receipts -----

void SimQuattro::LeituraX(const std::string& Cmd, PtyPar::Saida& Out) {
  // "13N" the X reading; "13S" the X reading and a managerial report open.
  const std::string modo = Trecho(Cmd, 2);
  if (modo != "N" && modo != "S") return Erro(Out, 26);
  ErroFiscal e = fECF.LeituraX();
  if (e == ErroFiscal::Nenhum && modo == "S") e = fECF.AbreGerencial();
  Conclui(Out, e);
}

void SimQuattro::Reducao(const std::string& Cmd, PtyPar::Saida& Out) {
  if (Trecho(Cmd, 2) != "N" && Trecho(Cmd, 2) != "S") return Erro(Out, 26);
  if (fECF.Bloqueada() && !fECF.CupomAberto() && fECF.DocumentoAberto() == Documento::Nenhum)
    return Erro(Out, 45);
  Conclui(Out, fECF.ReducaoZ());
}

void SimQuattro::Relatorio(const std::string& Cmd, PtyPar::Saida& Out) {
  // "08" closes the managerial report; "080" + line prints a line; "089" +
  // digit feeds lines (in a managerial report or a linked receipt).
  if (Cmd.size() == 2) {
    if (fECF.DocumentoAberto() != Documento::Gerencial) return Erro(Out, 42);
    return Conclui(Out, fECF.FechaRelatorio());
  }
  std::string texto;
  if (Cmd[2] == '0') {
    texto = Cmd.substr(3);
    while (!texto.empty() && texto.back() == ' ') texto.pop_back();
    texto += LF;
  } else if (Cmd[2] == '9' && Cmd.size() == 4 && SoDigitos(Cmd.substr(3))) {
    texto = std::string(static_cast<size_t>(Cmd[3] - '0'), LF);
  } else {
    return Erro(Out, 85);
  }
  Conclui(Out, fECF.ImprimeTexto(texto));
}

void SimQuattro::Vinculado(const std::string& Cmd, PtyPar::Saida& Out) {
  // "1900" + COO(4) + payment method(2)
  const int64_t coo = Digitos(Trecho(Cmd, 4, 4));
  const int64_t forma = Digitos(Trecho(Cmd, 8, 2));
  if (Trecho(Cmd, 2, 2) != "00" || Cmd.size() != 10 || coo < 0 || forma < 0) return Erro(Out, 85);
  // The printer keeps four digits of the COO.
  const int ultimo = fECF.COOUltimoCupom();
  if (ultimo == 0 || ultimo % 10000 != coo) return Erro(Out, 78);
  Conclui(Out, fECF.AbreVinculado(static_cast<int>(forma - 1), 0, ultimo, "COMPROVANTE NAO FISCAL VINCULADO"));
}

void SimQuattro::MemoriaFiscal(const std::string& Cmd, PtyPar::Saida& Out) {
  // "15" + first and last reduction (4 + 4) or "16" + two dates ddmmyy; a
  // final "|" sends the reading on the line instead of printing it.
  const bool datas = Cmd[1] == '6';
  const size_t campo = datas ? 6 : 4;
  const bool serial = Cmd.size() == 2 + 2 * campo + 1 && Cmd.back() == '|';
  if (Cmd.size() != 2 + 2 * campo + (serial ? 1 : 0) || !SoDigitos(Cmd.substr(2, 2 * campo)))
    return Erro(Out, 85);
  const std::string a = Cmd.substr(2, campo), b = Cmd.substr(2 + campo, campo);
  const long de = datas ? LeDdMmAa(a) : static_cast<long>(Digitos(a));
  const long ate = datas ? LeDdMmAa(b) : static_cast<long>(Digitos(b));
  if (de < 0 || ate < 0) return Erro(Out, 63);
  if (!serial) return Conclui(Out, fECF.ImprimeMemoriaFiscal(de, ate, datas));
  if (fECF.CupomAberto()) return Erro(Out, 17);
  if (fECF.DocumentoAberto() != Documento::Nenhum) return Erro(Out, 42);
  fSerial = fECF.TextoMemoriaFiscal(de, ate, datas);
  fProximaPeca = 0;
  Continua("++", Out);
}

void SimQuattro::Continua(const std::string&, PtyPar::Saida& Out) {
  // One line a piece; ".]}" after the last one.
  if (fCortaSerialApos >= 0 && fProximaPeca >= static_cast<size_t>(fCortaSerialApos)) return;
  if (fProximaPeca >= fSerial.size()) {
    fSerial.clear();
    fProximaPeca = 0;
    return Responde(Out, ".]}");
  }
  Consulta(Out, Zeros(fNumero, 4) + fSerial[fProximaPeca++]);
}

// ----- Status and reads -----

void SimQuattro::AbreGaveta(const std::string&, PtyPar::Saida& Out) {
  fECF.AbreGaveta();
  Ok(Out);
}

void SimQuattro::Gaveta(const std::string&, PtyPar::Saida& Out) {
  Consulta(Out, std::string("G00") + (fECF.GavetaAberta() ? "1" : "0"));
}

void SimQuattro::StatusImpressora(const std::string&, PtyPar::Saida& Out) {
  // '2' printing, '3' no paper, '5' ready with little paper, '0' ready.
  const Falhas& f = FalhasAtivas();
  if (!f.ImpressaoSemFim && fImprimindoAte == std::numeric_limits<int64_t>::max()) fImprimindoAte = 0;
  char d = '0';
  if (AgoraMs() < fImprimindoAte) d = '2';
  else if (f.SemPapel) d = '3';
  else if (f.PoucoPapel) d = '5';
  Consulta(Out, std::string("P00") + d);
}

void SimQuattro::NumeroECF(const std::string&, PtyPar::Saida& Out) {
  Consulta(Out, "C" + Zeros(fECF.Modelo().NumECF, 3));
}

void SimQuattro::Status(const std::string&, PtyPar::Saida& Out) {
  const char dia = fECF.RequerZ() ? 'F' : fECF.Bloqueada() ? 'S' : 'N';
  const bool aberto = fECF.CupomAberto();
  std::string s = Zeros(fNumero, 4) + Zeros(fECF.COO(), 6) + "00000" + dia;   // to 18
  s += Zeros(aberto ? fECF.TotalCupom() : 0, 12) + "!" + fECF.DataHora("ddmmyyhhnnss");  // to 43
  s += std::string(10, '0') + SimNao(fECF.HorarioVerao()) + std::string(45, '0');  // to 99
  s += Zeros(aberto ? fECF.TotalPago() : 0, 12) + std::string(12, '0') + SimNao(!fECF.RequerX());
  Consulta(Out, s);
}

void SimQuattro::LeRegistro(const std::string& Cmd, PtyPar::Saida& Out) {
  const std::string reg = Trecho(Cmd, 2, 2);
  const Documento d = fECF.DocumentoAberto();
  const bool cupom = d == Documento::Cupom;
  std::string dados;
  if (reg == "02") dados = Zeros(fECF.CRO(), 4);
  else if (reg == "03") dados = fECF.Modelo().NumSerie;
  else if (reg == "04") dados = fECF.Modelo().Versao;
  else if (reg == "05") dados = SimNao(d == Documento::Gerencial);
  else if (reg == "06") dados = SimNao(cupom || d == Documento::Vinculado) + SimNao(cupom) + SimNao(d == Documento::Vinculado);
  else if (reg == "08") dados = SimNao(cupom && fECF.EmPagamento()) + SimNao(cupom && fECF.EmPagamento() && fECF.Saldo() == 0);
  else if (reg == "09") dados = Zeros(fECF.COO() % 10000, 4);
  else if (reg == "10") dados = SimNao(fECF.Arredonda());
  else return Erro(Out, 39);
  Consulta(Out, reg + dados);
}

void SimQuattro::GravaRegistro(const std::string& Cmd, PtyPar::Saida& Out) {
  // "5701" + S/N: the printer rounds (S) or truncates items.
  if (Trecho(Cmd, 2, 2) != "01") return Erro(Out, 39);
  const std::string v = Trecho(Cmd, 4);
  if (v != "S" && v != "N") return Erro(Out, 26);
  if (fECF.CupomAberto()) return Erro(Out, 49);
  fECF.SetArredonda(v == "S");
  Ok(Out);
}

void SimQuattro::Relogio(const std::string& Cmd, PtyPar::Saida& Out) {
  // "35" + hhnnssddmmyy
  const std::string t = Trecho(Cmd, 2);
  if (t.size() != 12 || !SoDigitos(t)) return Erro(Out, 63);
  std::tm tm{};
  tm.tm_hour = static_cast<int>(Digitos(t.substr(0, 2)));
  tm.tm_min = static_cast<int>(Digitos(t.substr(2, 2)));
  tm.tm_sec = static_cast<int>(Digitos(t.substr(4, 2)));
  if (LeDdMmAa(t.substr(6, 6)) < 0 || tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 59) return Erro(Out, 63);
  tm.tm_mday = static_cast<int>(Digitos(t.substr(6, 2)));
  tm.tm_mon = static_cast<int>(Digitos(t.substr(8, 2))) - 1;
  tm.tm_year = static_cast<int>(Digitos(t.substr(10, 2))) + 100;
  tm.tm_isdst = -1;
  if (fECF.CupomAberto()) return Erro(Out, 71);
  fECF.SetRelogio(std::mktime(&tm));
  Ok(Out);
}

void SimQuattro::HorarioVerao(const std::string& Cmd, PtyPar::Saida& Out) {
  const std::string v = Trecho(Cmd, 2);
  if (v != "S" && v != "N") return Erro(Out, 26);
  if (fECF.HorarioVerao() == (v == "S")) return Erro(Out, v == "S" ? 75 : 76);
  Conclui(Out, fECF.MudaHorarioVerao(v == "S"), false);
}

// ----- Tables -----

std::string SimQuattro::RegistrosAliquotas() const {
  // type(1) position(2) legend(5) rate in hundredths(4) "0000"
  std::string r;
  const auto& a = fECF.Aliquotas();
  for (size_t i = 0; i < a.size(); i++) {
    if (a[i].Valor > 0)
      r += std::string(a[i].ISS ? "S" : "T") + Zeros(static_cast<int64_t>(i + 1), 2) + "     " + Zeros(a[i].Valor, 4) + "0000";
    else
      r += "T00     00000000";
  }
  return r;
}

std::string SimQuattro::RegistrosFormas() const {
  // 15 characters each; "$" first when a linked receipt is allowed.
  std::string r;
  for (const auto& f : fECF.Formas())
    r += Completa(f.Descricao.empty() ? "" : (f.PermiteVinculado ? "$" : "") + f.Descricao, 15);
  return r;
}

std::string SimQuattro::RegistrosNaoFiscais() const {
  // The type character and the description, 15 characters; "-" fill when free.
  std::string r;
  for (const auto& t : fECF.NaoFiscais())
    r += t.Descricao.empty() ? std::string(15, '-') : Completa(t.Descricao, 15);
  return r;
}

void SimQuattro::Tabelas(const std::string& Cmd, PtyPar::Saida& Out) {
  const std::string aliquotas = RegistrosAliquotas(), formas = RegistrosFormas(),
                    tipos = RegistrosNaoFiscais();
  const std::string n = Trecho(Cmd, 2);
  std::string dados;
  if (n == "3") dados = Completa("TABELA DE ALIQUOTAS E MODALIDADES", 41) + aliquotas.substr(0, 64);
  else if (n == "4") dados = aliquotas.substr(64, 112);
  else if (n == "5") dados = aliquotas.substr(176, 64) + formas.substr(0, 45);
  else if (n == "6") dados = formas.substr(45, 105);
  else if (n == "7") dados = tipos.substr(0, 120);
  else if (n == "8") dados = tipos.substr(120, 120);
  else if (n == "9") dados = tipos.substr(240, 60);
  else return Erro(Out, 91);
  Consulta(Out, "T029" + n + dados);
}

void SimQuattro::ProgramaAliquota(const std::string& Cmd, PtyPar::Saida& Out) {
  // "33" + type + position(2) + rate(4)
  const char tipo = Cmd.size() > 2 ? Cmd[2] : ' ';
  if (tipo != 'T' && tipo != 'S') return Erro(Out, 34);
  const int64_t pos = Digitos(Trecho(Cmd, 3, 2)), taxa = Digitos(Trecho(Cmd, 5, 4));
  if (Cmd.size() != 9 || pos < 1 || pos > 15) return Erro(Out, 35);
  if (taxa <= 0) return Erro(Out, 31);
  int slot = static_cast<int>(pos - 1);
  Conclui(Out, fECF.ProgramaAliquota({static_cast<int>(taxa), tipo == 'S', ""}, slot), false);
}

void SimQuattro::ProgramaForma(const std::string& Cmd, PtyPar::Saida& Out) {
  const std::string texto = Trecho(Cmd, 2, 15);
  const bool vinculado = !texto.empty() && texto[0] == '$';
  const std::string descricao = Apara(vinculado ? texto.substr(1) : texto);
  if (Cmd.size() != 17 || descricao.empty()) return Erro(Out, 37);
  int slot = -1;
  Conclui(Out, fECF.ProgramaForma({descricao, vinculado, ""}, slot), false);
}

void SimQuattro::ProgramaNaoFiscal(const std::string& Cmd, PtyPar::Saida& Out) {
  // "38N" + type (&, + or -) and description, 15 characters
  const std::string texto = Trecho(Cmd, 3, 15);
  if (Trecho(Cmd, 2, 1) != "N" || Cmd.size() != 18) return Erro(Out, 85);
  if (texto[0] != '&' && texto[0] != '+' && texto[0] != '-') return Erro(Out, 91);
  if (Apara(texto.substr(1)).empty()) return Erro(Out, 37);
  int slot = -1;
  Conclui(Out, fECF.ProgramaNaoFiscal({Apara(texto), texto[0] != '-'}, slot), false);
}

// ----- The check printer -----

void SimQuattro::Cheque(const std::string& Cmd, PtyPar::Saida& Out) {
  // "5901".."5908" keep the fields (payee, city, date, value, two lines of
  // text, currency names); "5909" + bank(3) + "S" + layout digits prints.
  const std::string campo = Trecho(Cmd, 2, 2);
  if (campo != "09") {
    if (campo < "01" || campo > "08" || campo.size() != 2) return Erro(Out, 39);
    if (campo == "04" && (Cmd.size() != 16 || !SoDigitos(Cmd.substr(4)))) return Erro(Out, 3);
    if (campo == "03" && LeDdMmAa(Trecho(Cmd, 4)) < 0) return Erro(Out, 63);
    fCheque[campo] = Trecho(Cmd, 4);
    return Ok(Out);
  }
  const std::string banco = Trecho(Cmd, 4, 3), layout = Trecho(Cmd, 8);
  if (!SoDigitos(banco) || Trecho(Cmd, 7, 1) != "S" || (!layout.empty() && !SoDigitos(layout)))
    return Erro(Out, 93);
  const int64_t valor = Digitos(fCheque["04"]);
  if (valor <= 0) return Erro(Out, 92);
  const std::string data = fCheque["03"];
  const ErroFiscal e = fECF.ImprimeCheque(valor, Apara(fCheque["01"]), Apara(fCheque["02"]),
                                          Trecho(data, 0, 2) + "/" + Trecho(data, 2, 2) + "/" + Trecho(data, 4, 2),
                                          Apara(fCheque["05"] + fCheque["06"]));
  if (e != ErroFiscal::Nenhum) return Erro(Out, e == ErroFiscal::SemCheque ? 93 : 92);
  fLayoutCheque = layout;
  fCheque.clear();
  Ok(Out);
}

}  // namespace zuvo::sim
