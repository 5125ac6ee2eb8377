#include "sim/SimDataRegis.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {

const char EOT = 4;
const char ACK = 6;
const char BS = 8;
const char LF = 10;
const char CR = 13;
const char SUB = 26;
const char FE = static_cast<char>(0xFE);

// Data bytes the printer puts in one block of an answer.
const size_t kTamanhoBloco = 128;

std::string Versao(const OpcoesSimulador& O) {
  return SoDigitos(O.Variante) && O.Variante.size() == 2 ? O.Variante : "05";
}

ModeloImpressora Modelo(const std::string& Versao) {
  ModeloImpressora m;
  m.Modelo = "DATAREGIS EP375";
  m.Versao = "01." + Versao;
  m.NumSerie = Versao == "03" ? "004321" : "0012345";
  m.Colunas = 40;
  return m;
}

}  // namespace

SimDataRegis::SimDataRegis(const OpcoesSimulador& Opcoes)
    : fOpcoes(Opcoes),
      fVersao(Versao(Opcoes)),
      fECF(Modelo(fVersao), [this](const std::string& l) { Simulador::Imprime(l); },
           [this] { return FalhasAtivas().SemPapel; }) {
  Contadores c;
  c.COO = 120;
  c.CRZ = 3;
  fECF.SetContadores(c);
  // What the shop programmed: three ICMS rates, one ISS rate, and the slots
  // of the untaxed kinds, which the sale names by their index too.
  fTipos.assign(fECF.Aliquotas().size(), '\0');
  const char tipos[] = {'T', 'T', 'T', 'S', 'F', 'I', 'N'};
  const int taxas[] = {1800, 700, 1200, 500, 0, 0, 0};
  for (int i = 0; i < 7; i++) {
    fTipos[static_cast<size_t>(i)] = tipos[i];
    if (taxas[i] > 0) fECF.SetAliquota(i, {taxas[i], tipos[i] == 'S', ""});
  }
  const char* formas[] = {"Dinheiro", "Cheque", "Cartao"};
  for (int i = 0; i < 3; i++) fECF.SetForma(i, {formas[i], i > 0, ""});
  fECF.SetNaoFiscal(0, {"Recebimento", true});
  fUnidades = {"UN", "KG", "LT"};
  Inicia();
}

SimDataRegis::~SimDataRegis() { Para(); }

// ---------------------------------------------------------------------------
// The line: frames in; reply code, status or blocks out.

size_t SimDataRegis::Processa(const std::string& P, PtyPar::Saida& Out) {
  const int64_t agora = AgoraMs();
  // A frame left incomplete for a second is given up: the host has long
  // since purged and sent it again.
  if (fParcialTamanho > 0 && agora - fParcialDesde > 1000 && P.size() > fParcialTamanho) {
    const size_t n = std::min(fParcialTamanho, P.size());
    fParcialTamanho = 0;
    return n;
  }
  if (P[0] == EOT) {
    // The host took a block: the next one goes.
    ProximoBloco(Out, Atraso(agora));
    return 1;
  }
  if (P[0] != FE) {
    const size_t proximo = P.find_first_of(std::string{FE, EOT});
    return proximo == std::string::npos ? P.size() : proximo;
  }
  return Quadro(P, Out, agora);
}

size_t SimDataRegis::Quadro(const std::string& P, PtyPar::Saida& Out, int64_t Agora) {
  const size_t n = P.size() >= 4 ? Byte(P[3]) : 0;
  if (P.size() < 4 || P.size() < 5 + n) {
    if (fParcialTamanho == 0) fParcialDesde = Agora;
    fParcialTamanho = P.size();
    return 0;
  }
  fParcialTamanho = 0;
  const size_t tamanho = 5 + n;
  unsigned soma = 0;
  for (size_t i = 2; i < 4 + n; i++) soma += Byte(P[i]);
  const Falhas& f = FalhasAtivas();
  if (f.SemACK) return tamanho;  // the frame is lost
  const char letra = P[2];
  const int atraso = Atraso(Agora);
  // Busy printing, the printer does not take the status request.
  if (letra == 'R' && atraso != 0) return tamanho;
  fBlocos.clear();  // a new command drops an answer the host left

  const std::string params = P.substr(4, n);
  const int linhasAntes = LinhasImpressas();
  Resultado r;
  if ((soma & 0xFF) != Byte(P[4 + n])) {
    r = Erro('I');
  } else if (f.Recusa && letra != 'R') {
    r = Erro('C');
  } else if (f.SemPapel && ComandoImprime(letra)) {
    r = Erro('P');
  } else {
    fComandos.push_back(letra + params);
    const auto h = Tabela().find(letra);
    r = h == Tabela().end() ? Erro('I') : (this->*(h->second))(params);
  }
  if (letra != 'R') fUltimoErro = r.Erro;
  Envia(Out, r, letra, atraso);
  // Printing keeps the printer busy: what comes next waits for the paper.
  const int tempo = TempoImpressao(LinhasImpressas() - linhasAntes);
  if (tempo == kNunca)
    fOcupadoAte = kSempre;
  else if (tempo > 0 && fOcupadoAte != kSempre)
    fOcupadoAte = std::max(Agora, fOcupadoAte) + tempo;
  return tamanho;
}

int SimDataRegis::Atraso(int64_t Agora) {
  if (fOcupadoAte == kSempre && !FalhasAtivas().ImpressaoSemFim) fOcupadoAte = Agora;
  if (fOcupadoAte == kSempre) return kNunca;
  return static_cast<int>(std::max<int64_t>(0, fOcupadoAte - Agora));
}

void SimDataRegis::Envia(PtyPar::Saida& Out, const Resultado& R, char Letra, int Atraso) {
  if (R.Erro != 'K') {
    Simulador::Responde(Out, std::string{ACK, CR}, Atraso);
    return;
  }
  if (!R.TemDados) {
    Simulador::Responde(Out, std::string{EOT, CR}, Atraso);
    return;
  }
  // Every block but the last waits for the host's EOT.
  size_t inicio = 0;
  do {
    const size_t tamanho = std::min(kTamanhoBloco, R.Dados.size() - inicio);
    const bool ultimo = inicio + tamanho >= R.Dados.size();
    fBlocos.push_back(Bloco(Letra, R.Dados.substr(inicio, tamanho), ultimo));
    inicio += tamanho;
  } while (inicio < R.Dados.size());
  const std::string primeiro = fBlocos.front();
  fBlocos.erase(fBlocos.begin());
  Simulador::Responde(Out, std::string{BS, CR} + primeiro, Atraso);
}

std::string SimDataRegis::Bloco(char Letra, const std::string& Dados, bool Ultimo) {
  fContadorBlocos = fContadorBlocos % 250 + 1;
  unsigned soma = Byte(Letra) + static_cast<unsigned>(Dados.size());
  for (char c : Dados) soma += Byte(c);
  std::string b{FE, static_cast<char>(fContadorBlocos), Letra, static_cast<char>(Dados.size())};
  b += Dados;
  if (Ultimo) b += SUB;  // before the check byte, as the EP375 sends it
  b += static_cast<char>(soma & 0xFF);
  b += CR;
  return b;
}

void SimDataRegis::ProximoBloco(PtyPar::Saida& Out, int Atraso) {
  if (fBlocos.empty()) return;  // an EOT for the last block, or a stray one
  const std::string bloco = fBlocos.front();
  fBlocos.erase(fBlocos.begin());
  Simulador::Responde(Out, bloco, Atraso < 0 ? 0 : Atraso);
}

bool SimDataRegis::ComandoImprime(char Letra) const {
  return std::string("AabcDFGHjJkKIiU").find(Letra) != std::string::npos;
}

SimDataRegis::Resultado SimDataRegis::De(ErroFiscal E) {
  switch (E) {
    case ErroFiscal::Nenhum: return {};
    case ErroFiscal::CupomAberto:
    case ErroFiscal::DocumentoAberto:
    case ErroFiscal::SemCupom:
    case ErroFiscal::SemDocumento:
    case ErroFiscal::ForaDaFase: return Erro('N');
    case ErroFiscal::RequerZ: return Erro('R');
    case ErroFiscal::RequerX: return Erro('X');
    case ErroFiscal::Bloqueada: return Erro('Z');
    case ErroFiscal::SemPapel: return Erro('P');
    case ErroFiscal::AliquotaInvalida: return Erro('T');
    case ErroFiscal::FormaInvalida: return Erro('n');
    case ErroFiscal::TipoInvalido: return Erro('g');
    case ErroFiscal::ItemInexistente: return Erro('b');
    case ErroFiscal::ValorInvalido: return Erro('i');
    default: return Erro('C');
  }
}

const std::map<char, SimDataRegis::Tratador>& SimDataRegis::Tabela() {
  static const std::map<char, Tratador> t = {
      {'R', &SimDataRegis::Status},          {'P', &SimDataRegis::IdentificacaoPS},
      {'l', &SimDataRegis::Identificacao},   {'d', &SimDataRegis::DataHora},
      {'o', &SimDataRegis::CRO},             {'C', &SimDataRegis::SubTotal},
      {'N', &SimDataRegis::AbreGaveta},      {'G', &SimDataRegis::LeituraX},
      {'H', &SimDataRegis::ReducaoZ},        {'A', &SimDataRegis::Vende},
      {'a', &SimDataRegis::Vende3},          {'b', &SimDataRegis::CancelaItem},
      {'S', &SimDataRegis::Rodape},          {'D', &SimDataRegis::Paga},
      {'c', &SimDataRegis::PagaAjuste},      {'F', &SimDataRegis::CancelaCupom},
      {'j', &SimDataRegis::LinhaGerencial},  {'J', &SimDataRegis::LinhaVinculado},
      {'k', &SimDataRegis::FechaGerencial},  {'K', &SimDataRegis::FechaVinculado},
      {'Q', &SimDataRegis::AliquotasQ},      {'p', &SimDataRegis::AliquotasP},
      {'Z', &SimDataRegis::ProgramaAliquota}, {'f', &SimDataRegis::FormasF},
      {'L', &SimDataRegis::FormasL},         {'t', &SimDataRegis::ProgramaForma},
      {'q', &SimDataRegis::NaoFiscais},      {'e', &SimDataRegis::ProgramaNaoFiscal},
      {'m', &SimDataRegis::Unidades},        {'s', &SimDataRegis::ProgramaUnidade},
      {'I', &SimDataRegis::MemoriaData},     {'i', &SimDataRegis::MemoriaReducao},
      {'T', &SimDataRegis::HorarioVerao},    {'U', &SimDataRegis::Cheque},
  };
  return t;
}

// ---------------------------------------------------------------------------
// Status, identification, clock.

char SimDataRegis::LetraEstado() const {
  switch (fECF.DocumentoAberto()) {
    case Documento::Cupom:
    case Documento::NaoFiscal: return fECF.EmPagamento() ? 'F' : 'V';
    case Documento::Gerencial:
    case Documento::Vinculado: return 'R';
    default: break;
  }
  if (fECF.Bloqueada()) return 'X';
  if (fECF.RequerZ()) return 'O';
  if (fECF.RequerX()) return 'A';
  return 'L';
}

std::string SimDataRegis::TextoStatus() const {
  // State, paper, fiscal memory, drawer, daylight saving, error of the last
  // command, two reserved digits.
  const Falhas& f = FalhasAtivas();
  std::string s;
  s += LetraEstado();
  s += f.PoucoPapel || f.SemPapel ? 'N' : 'S';
  s += 'S';
  s += fECF.GavetaAberta() ? 'S' : 'N';
  s += fECF.HorarioVerao() ? 'S' : 'N';
  s += fUltimoErro;
  return s + "00";
}

SimDataRegis::Resultado SimDataRegis::Status(const std::string&) { return Com(TextoStatus()); }

SimDataRegis::Resultado SimDataRegis::IdentificacaoPS(const std::string& P) {
  if (!V03() || P != "S") return Erro('I');
  const ModeloImpressora& m = fECF.Modelo();
  return Com(m.Versao + " " + Zeros(m.NumECF, 3) + " " + Zeros(m.NumLoja, 3) + m.NumSerie + " 040");
}

SimDataRegis::Resultado SimDataRegis::Identificacao(const std::string&) {
  if (V03()) return Erro('I');
  const ModeloImpressora& m = fECF.Modelo();
  return Com(Completa("EP375 DATAREGS", 14) + Zeros(m.NumECF, 3) + "00000000000191" + m.NumSerie +
             m.Versao + "040");
}

SimDataRegis::Resultado SimDataRegis::DataHora(const std::string&) {
  const std::string verao = fECF.HorarioVerao() ? "V" : " ";
  const std::string coo = Zeros(fECF.COO(), 6);
  if (V03()) return Com(fECF.DataHora("dd/mm/yy hh:nn") + verao + coo);
  return Com(fECF.DataHora("dd/mm/yy") + verao + fECF.DataHora("hh:nn") + coo);
}

SimDataRegis::Resultado SimDataRegis::CRO(const std::string&) {
  if (!V05()) return Erro('I');
  return Com(Zeros(fECF.CRO(), 3));
}

SimDataRegis::Resultado SimDataRegis::SubTotal(const std::string&) {
  // 'S' and what is still due, or 'T' and the change; then the item count.
  const bool aberto = fECF.CupomAberto();
  const int64_t total = aberto ? fECF.TotalCupom() : 0;
  const int64_t pago = aberto ? fECF.TotalPago() : 0;
  const bool troco = pago > total;
  return Com(std::string(1, troco ? 'T' : 'S') + Zeros(troco ? pago - total : total - pago, 14) +
             Zeros(static_cast<int64_t>(fECF.Itens().size()), 3));
}

SimDataRegis::Resultado SimDataRegis::AbreGaveta(const std::string&) {
  fECF.AbreGaveta();
  return {};
}

SimDataRegis::Resultado SimDataRegis::HorarioVerao(const std::string& P) {
  if (P != "D" && P != "A") return Erro('i');
  return De(fECF.MudaHorarioVerao(P == "A"));
}

// ---------------------------------------------------------------------------
// The receipt: opened by its first item, closed when it is paid.

SimDataRegis::Resultado SimDataRegis::Vende(const std::string& P) { return VendeItem(P, false); }

SimDataRegis::Resultado SimDataRegis::Vende3(const std::string& P) { return VendeItem(P, true); }

bool SimDataRegis::CodigoAliquota(const std::string& Codigo, int& Aliquota) const {
  const int64_t i = Digitos(Codigo);
  if (i < 0 || static_cast<size_t>(i) >= fTipos.size()) return false;
  switch (fTipos[static_cast<size_t>(i)]) {
    case 'F': Aliquota = kSubstituicao; return true;
    case 'I': Aliquota = kIsento; return true;
    case 'N': Aliquota = kNaoIncidencia; return true;
    case 'T':
    case 'S': Aliquota = static_cast<int>(i); return true;
    default: return false;
  }
}

SimDataRegis::Resultado SimDataRegis::VendeItem(const std::string& P, bool TresCasas) {
  // Description (36 or 76), rate, quantity, price, discount, the trailer 'A'
  // of a three-decimal price, and on version 05 the unit's index.
  const size_t fixo = 21 + (TresCasas ? 1 : 0) + (V05() ? 2 : 0);
  if (P.size() != 36 + fixo && P.size() != 76 + fixo) return Erro('i');
  const size_t d = P.size() - fixo;
  const std::string qtd = P.substr(d + 2, 6), preco = P.substr(d + 8, 9), desconto = P.substr(d + 17, 4);
  if (!SoDigitos(qtd) || !SoDigitos(preco) || !SoDigitos(desconto) || (TresCasas && P[d + 21] != 'A'))
    return Erro('i');
  ItemVendido it;
  if (!CodigoAliquota(P.substr(d, 2), it.Aliquota)) return Erro('T');
  if (V05()) {
    const int64_t u = Digitos(P.substr(P.size() - 2));
    if (u < 1 || static_cast<size_t>(u) > fUnidades.size()) return Erro('U');
    it.Unidade = fUnidades[static_cast<size_t>(u - 1)];
  }
  // "code item description": the printer numbers the items itself.
  const std::string descricao = Apara(P.substr(0, d));
  const size_t b1 = descricao.find(' ');
  const size_t b2 = b1 == std::string::npos ? b1 : descricao.find(' ', b1 + 1);
  it.Codigo = descricao.substr(0, b1);
  it.Descricao = b2 == std::string::npos ? "" : Apara(descricao.substr(b2 + 1));
  it.QtdMil = Digitos(qtd);
  it.PrecoMil = TresCasas ? Digitos(preco) : Digitos(preco) * 10;
  it.DescontoPercentual = static_cast<int>(Digitos(desconto));
  if (it.QtdMil <= 0 || it.PrecoMil <= 0 || it.DescontoPercentual > 10000) return Erro('i');
  if (fECF.DocumentoAberto() == Documento::Nenhum) {
    if (ErroFiscal e = fECF.AbreCupom(); e != ErroFiscal::Nenhum) return De(e);
    fRegistros.clear();
    fRodape.clear();
  }
  if (fECF.DocumentoAberto() != Documento::Cupom || fECF.EmPagamento()) return Erro('N');
  if (ErroFiscal e = fECF.VendeItem(it); e != ErroFiscal::Nenhum) return De(e);
  // The record as a cancellation names it: without the price's trailer.
  fRegistros.push_back(TresCasas ? P.substr(0, d + 21) + P.substr(d + 22) : P);
  return {};
}

SimDataRegis::Resultado SimDataRegis::CancelaItem(const std::string& P) {
  if (fECF.DocumentoAberto() != Documento::Cupom || fECF.EmPagamento()) return Erro('N');
  for (size_t i = 0; i < fRegistros.size(); i++)
    if (fRegistros[i] == P && !fECF.Itens()[i].Cancelado) return De(fECF.CancelaItem(static_cast<int>(i) + 1));
  return Erro('b');
}

SimDataRegis::Resultado SimDataRegis::Rodape(const std::string& P) {
  // Six fields: 'S' and a line, or 'N' and blanks.
  if (fECF.DocumentoAberto() != Documento::Cupom || fECF.EmPagamento()) return Erro('N');
  if (P.empty() || P.size() % 6 != 0) return Erro('i');
  const size_t campo = P.size() / 6;
  std::string rodape;
  for (size_t i = 0; i < 6; i++) {
    const char marca = P[i * campo];
    if (marca != 'S' && marca != 'N') return Erro('i');
    if (marca == 'S') rodape += Apara(P.substr(i * campo + 1, campo - 1)) + "\n";
  }
  fRodape = rodape;
  return {};
}

SimDataRegis::Resultado SimDataRegis::Paga(const std::string& P) { return Pagamento(P, false); }

SimDataRegis::Resultado SimDataRegis::PagaAjuste(const std::string& P) { return Pagamento(P, true); }

SimDataRegis::Resultado SimDataRegis::Pagamento(const std::string& P, bool Ajuste) {
  // Method, the version 03's 18-character note, amount; "c" also carries the
  // subtotal's discount or surcharge and its letter.
  const size_t obs = V03() ? 18 : 0;
  if (P.size() != 16 + obs + (Ajuste ? 15 : 0)) return Erro('i');
  const std::string forma = P.substr(0, 2), valor = P.substr(2 + obs, 14);
  if (!SoDigitos(forma) || !SoDigitos(valor)) return Erro('i');
  if (fECF.DocumentoAberto() != Documento::Cupom) return Erro('N');
  if (Ajuste) {
    const std::string ajuste = P.substr(16 + obs, 14);
    const char tipo = P.back();
    if (!SoDigitos(ajuste) || (tipo != 'A' && tipo != 'D')) return Erro('i');
    const int64_t a = Digitos(ajuste);
    if (ErroFiscal e = fECF.AcresceSubtotal(tipo == 'A' ? a : -a); e != ErroFiscal::Nenhum) return De(e);
  }
  if (fECF.TotalItens() == 0 && Digitos(valor) == 0) {
    // Every item was cancelled: paying nothing closes the receipt at zero.
    fRegistros.clear();
    return De(fECF.CancelaCupom());
  }
  if (ErroFiscal e = fECF.Paga(static_cast<int>(Digitos(forma)), Digitos(valor), Apara(P.substr(2, obs)));
      e != ErroFiscal::Nenhum)
    return De(e);
  if (fECF.Saldo() == 0) {
    fECF.FechaCupom(fRodape);
    fRodape.clear();
    fRegistros.clear();
  }
  return {};
}

SimDataRegis::Resultado SimDataRegis::CancelaCupom(const std::string&) {
  fRegistros.clear();
  return De(fECF.CancelaCupom());
}

// ---------------------------------------------------------------------------
// Reports, managerial report and linked receipt.

SimDataRegis::Resultado SimDataRegis::LeituraX(const std::string&) { return De(fECF.LeituraX()); }

SimDataRegis::Resultado SimDataRegis::ReducaoZ(const std::string&) { return De(fECF.ReducaoZ()); }

SimDataRegis::Resultado SimDataRegis::ImprimeTexto(const std::string& Texto) {
  return De(fECF.ImprimeTexto(Texto));
}

SimDataRegis::Resultado SimDataRegis::LinhaGerencial(const std::string& P) {
  // The first line opens the report; inside a linked receipt the line feeds
  // between copies come this way too.
  if (fECF.CupomAberto()) return Erro('N');
  if (fECF.DocumentoAberto() == Documento::Nenhum)
    if (ErroFiscal e = fECF.AbreGerencial(); e != ErroFiscal::Nenhum) return De(e);
  return ImprimeTexto(V03() ? P : Trecho(P, 2));
}

int SimDataRegis::FormaVinculado() const {
  for (const auto& p : fECF.PagamentosUltimoCupom())
    if (fECF.Formas()[static_cast<size_t>(p.Forma)].PermiteVinculado) return p.Forma;
  return -1;
}

SimDataRegis::Resultado SimDataRegis::LinhaVinculado(const std::string& P) {
  // Opening: version 03 names the payment method, the later ones a
  // non-fiscal type, and the receipt refers to the last one's payment.
  if (fECF.CupomAberto()) return Erro('N');
  if (fECF.DocumentoAberto() != Documento::Nenhum) return ImprimeTexto(V03() ? P : Trecho(P, 2));
  const std::string codigo = Trecho(P, 0, 2);
  if (!SoDigitos(codigo)) return Erro('i');
  const int forma = V03() ? static_cast<int>(Digitos(codigo)) : FormaVinculado();
  return De(fECF.AbreVinculado(forma));
}

SimDataRegis::Resultado SimDataRegis::FechaGerencial(const std::string&) {
  if (fECF.DocumentoAberto() != Documento::Gerencial) return Erro('N');
  return De(fECF.FechaRelatorio());
}

SimDataRegis::Resultado SimDataRegis::FechaVinculado(const std::string&) {
  if (fECF.DocumentoAberto() != Documento::Vinculado) return Erro('N');
  return De(fECF.FechaRelatorio());
}

SimDataRegis::Resultado SimDataRegis::MemoriaData(const std::string& P) {
  // "N" prints, "S" sends the reading back as data.
  if (V03()) return Erro('I');
  if (P.size() != 13 || (P[0] != 'N' && P[0] != 'S')) return Erro('i');
  const long de = LeDdMmAa(P.substr(1, 6)), ate = LeDdMmAa(P.substr(7, 6));
  if (de < 0 || ate < 0) return Erro('d');
  if (P[0] == 'N') return De(fECF.ImprimeMemoriaFiscal(de, ate, true));
  std::string texto;
  for (const std::string& l : fECF.TextoMemoriaFiscal(de, ate, true)) texto += l + "\r\n";
  return Com(texto);
}

SimDataRegis::Resultado SimDataRegis::MemoriaReducao(const std::string& P) {
  if (P.size() != 9 || P[0] != 'N' || !SoDigitos(P.substr(1))) return Erro('i');
  return De(fECF.ImprimeMemoriaFiscal(static_cast<long>(Digitos(P.substr(1, 4))),
                                      static_cast<long>(Digitos(P.substr(5, 4))), false));
}

SimDataRegis::Resultado SimDataRegis::Cheque(const std::string& P) {
  // 'A', the bank's layout (20), amount (14), payee (50), city (20), ddmmyy.
  if (P.size() != 111 || P[0] != 'A') return Erro('i');
  const std::string valor = P.substr(21, 14), data = P.substr(105, 6);
  if (!SoDigitos(P.substr(1, 20)) || !SoDigitos(valor) || LeDdMmAa(data) < 0) return Erro('i');
  return De(fECF.ImprimeCheque(Digitos(valor), Apara(P.substr(35, 50)), Apara(P.substr(85, 20)),
                               TextoDia(LeDdMmAa(data), "dd/mm/yyyy")));
}

// ---------------------------------------------------------------------------
// Tables.

SimDataRegis::Resultado SimDataRegis::AliquotasQ(const std::string&) {
  // Version 03: the count, then type and rate of each slot.
  if (!V03()) return Erro('I');
  std::string r;
  int n = 0;
  for (size_t i = 0; i < fTipos.size() && fTipos[i] != '\0'; i++, n++)
    r += fTipos[i] + Zeros(fECF.Aliquotas()[i].Valor, 4);
  return Com(Zeros(n, 2) + r);
}

SimDataRegis::Resultado SimDataRegis::AliquotasP(const std::string&) {
  // Records of 33: type, rate, the day's total, a reserved field; then the
  // grand total.
  if (V03()) return Erro('I');
  std::string r;
  for (size_t i = 0; i < fTipos.size() && fTipos[i] != '\0'; i++) {
    const bool programada = fTipos[i] == 'T' || fTipos[i] == 'S';
    r += fTipos[i] + Zeros(fECF.Aliquotas()[i].Valor, 4) +
         Zeros(programada ? fECF.Totais().PorAliquota[i] : 0, 14) + Zeros(0, 14);
  }
  return Com(r + Zeros(fECF.GT(), 14));
}

SimDataRegis::Resultado SimDataRegis::ProgramaAliquota(const std::string& P) {
  if (P.size() != 7 || P.substr(0, 2) != "01" || (P[2] != 'T' && P[2] != 'S') || !SoDigitos(P.substr(3)))
    return Erro('i');
  const auto livre = std::find(fTipos.begin(), fTipos.end(), '\0');
  if (livre == fTipos.end()) return Erro('C');
  int slot = static_cast<int>(livre - fTipos.begin());
  const ErroFiscal e = fECF.ProgramaAliquota({static_cast<int>(Digitos(P.substr(3))), P[2] == 'S', ""}, slot);
  if (e == ErroFiscal::Nenhum) *livre = P[2];
  return De(e);
}

SimDataRegis::Resultado SimDataRegis::FormasF(const std::string&) {
  // Version 03: 32 records of 30 (index, description, the day's total),
  // each ended by LF; empty slots are blank.
  if (!V03()) return Erro('I');
  std::string r;
  for (size_t i = 0; i < 32; i++) {
    const bool existe = i < fECF.Formas().size() && !fECF.Formas()[i].Descricao.empty();
    r += existe ? Zeros(static_cast<int64_t>(i), 2) + Completa(fECF.Formas()[i].Descricao, 14) +
                      Zeros(fECF.Totais().PorForma[i], 14)
                : std::string(30, ' ');
    r += LF;
  }
  return Com(r);
}

SimDataRegis::Resultado SimDataRegis::FormasL(const std::string&) {
  // Records of 29 for the programmed methods: description, 'T' when a linked
  // receipt may follow, the day's total; each ended by LF.
  if (V03()) return Erro('I');
  std::string r;
  for (size_t i = 0; i < fECF.Formas().size() && !fECF.Formas()[i].Descricao.empty(); i++) {
    const FormaPagamento& f = fECF.Formas()[i];
    r += Completa(f.Descricao, 14) + (f.PermiteVinculado ? 'T' : 'N') + Zeros(fECF.Totais().PorForma[i], 14) + LF;
  }
  return Com(r);
}

SimDataRegis::Resultado SimDataRegis::ProgramaForma(const std::string& P) {
  FormaPagamento f;
  if (V03()) {
    if (P.size() != 17 || P.substr(0, 2) != "01" || P.back() != '/') return Erro('i');
    f.Descricao = Apara(P.substr(2, 14));
  } else {
    if (P.size() != 19 || P.substr(0, 2) != "01" || (P[2] != 'T' && P[2] != 'N')) return Erro('i');
    f.PermiteVinculado = P[2] == 'T';
    f.Descricao = Apara(P.substr(3, 14));
  }
  int slot = -1;
  return De(fECF.ProgramaForma(f, slot));
}

SimDataRegis::Resultado SimDataRegis::NaoFiscais(const std::string&) {
  if (V03()) return Erro('I');
  std::string r;
  for (size_t i = 0; i < fECF.NaoFiscais().size() && !fECF.NaoFiscais()[i].Descricao.empty(); i++)
    r += Completa(fECF.NaoFiscais()[i].Descricao, 20) + Zeros(fECF.Totais().PorNaoFiscal[i], 4);
  return Com(r);
}

SimDataRegis::Resultado SimDataRegis::ProgramaNaoFiscal(const std::string& P) {
  if (P.size() != 24 || P.substr(0, 2) != "01") return Erro('i');
  int slot = -1;
  return De(fECF.ProgramaNaoFiscal({Apara(P.substr(2, 20)), true}, slot));
}

SimDataRegis::Resultado SimDataRegis::Unidades(const std::string&) {
  if (!V05()) return Erro('I');
  std::string r;
  for (size_t i = 0; i < fUnidades.size(); i++) r += Zeros(static_cast<int64_t>(i + 1), 2) + Completa(fUnidades[i], 2);
  return Com(r);
}

SimDataRegis::Resultado SimDataRegis::ProgramaUnidade(const std::string& P) {
  if (!V05()) return Erro('I');
  if (P.size() != 4 || P.substr(0, 2) != "01" || Apara(P.substr(2)).empty()) return Erro('i');
  const std::string u = Apara(P.substr(2));
  if (std::find(fUnidades.begin(), fUnidades.end(), u) != fUnidades.end()) return Erro('C');
  if (fUnidades.size() >= 99) return Erro('C');
  fUnidades.push_back(u);
  return {};
}

// ---------------------------------------------------------------------------
// For tests.

int SimDataRegis::COO() const {
  std::lock_guard<std::mutex> l(Trava());
  return fECF.COO();
}

bool SimDataRegis::CupomAberto() const {
  std::lock_guard<std::mutex> l(Trava());
  return fECF.CupomAberto();
}

bool SimDataRegis::RelatorioAberto() const {
  std::lock_guard<std::mutex> l(Trava());
  return fECF.DocumentoAberto() == Documento::Gerencial || fECF.DocumentoAberto() == Documento::Vinculado;
}

bool SimDataRegis::GavetaAberta() const {
  std::lock_guard<std::mutex> l(Trava());
  return fECF.GavetaAberta();
}

bool SimDataRegis::HorarioVerao() const {
  std::lock_guard<std::mutex> l(Trava());
  return fECF.HorarioVerao();
}

int SimDataRegis::ItensAtivos() const {
  std::lock_guard<std::mutex> l(Trava());
  return static_cast<int>(std::count_if(fECF.Itens().begin(), fECF.Itens().end(),
                                        [](const ItemVendido& i) { return !i.Cancelado; }));
}

void SimDataRegis::AvancaRelogio(int64_t Segundos) {
  std::lock_guard<std::mutex> l(Trava());
  fECF.AvancaRelogio(Segundos);
}

void SimDataRegis::AdicionaReducoes(int N) {
  std::lock_guard<std::mutex> l(Trava());
  const long hoje = fECF.Hoje();
  for (int i = 0; i < N; i++) {
    RegistroZ z;
    z.CRZ = i + 1;
    z.COO = 10 * (i + 1);
    z.Dia = hoje - N + i;
    z.VendaBruta = 10000 + 137 * i;
    z.GT = 10000 * (i + 1);
    fECF.AdicionaRegistroZ(z);
  }
}

std::vector<std::string> SimDataRegis::Comandos() const {
  std::lock_guard<std::mutex> l(Trava());
  return fComandos;
}

}  // namespace zuvo::sim
