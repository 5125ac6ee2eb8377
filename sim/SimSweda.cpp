#include "sim/SimSweda.h"

#include <chrono>
#include <ctime>
#include <limits>

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {

const char ESC = 27;
const char LF = 10;
constexpr int kColunas = 40;
constexpr size_t kAliquotas = 15, kFormas = 10;
std::string Pad(const std::string& Texto, size_t Tamanho) { return Completa(Texto.substr(0, Tamanho), Tamanho); }

struct GeracaoSweda {
  int Numero;
  char Letra;
  const char* Versao;  // "" : the printer does not know "27G"
};

GeracaoSweda GeracaoDe(const OpcoesSimulador& O) {
  const std::string v = Maiusculas(O.Variante);
  if (v == "G1") return {1, 'B', ""};
  if (v == "G2") return {2, 'B', "1.A"};
  if (v == "G2V11") return {2, 'C', "1.1"};
  if (v == "G4") return {4, 'F', "2.0"};
  if (v == "G5" || O.MFD) return {5, 'G', "1.0"};
  return {3, 'E', "1.2"};
}

ModeloImpressora Modelo(const GeracaoSweda& G) {
  ModeloImpressora m;
  m.Modelo = G.Numero == 5 ? "SWEDA ST1000" : "SWEDA IF " + std::string(1, G.Letra);
  m.Versao = G.Versao[0] ? G.Versao : "0.3";
  m.NumSerie = "SW" + Zeros(G.Numero, 7);
  m.Colunas = kColunas;
  m.Aliquotas = kAliquotas;
  m.Formas = kFormas;
  m.NaoFiscais = G.Numero == 1 ? 20 : 50;
  return m;
}

// What a refusal of the shared printer says on a Sweda.
struct ErroSweda {
  ErroFiscal Erro;
  const char* Codigo;
  const char* Texto;
};
const ErroSweda kErros[] = {
    {ErroFiscal::CupomAberto, "0010", "CUPOM FISCAL ABERTO"},
    {ErroFiscal::DocumentoAberto, "0011", "DOCUMENTO ABERTO"},
    {ErroFiscal::SemCupom, "0012", "CUPOM FISCAL NAO ABERTO"},
    {ErroFiscal::SemDocumento, "0013", "RELATORIO NAO ABERTO"},
    {ErroFiscal::ForaDaFase, "0014", "COMANDO FORA DE SEQUENCIA"},
    {ErroFiscal::RequerZ, "0020", "REDUCAO Z PENDENTE"},
    {ErroFiscal::RequerX, "0021", "LEITURA X INICIAL PENDENTE"},
    {ErroFiscal::Bloqueada, "0022", "REDUCAO Z JA EMITIDA"},
    {ErroFiscal::AliquotaInvalida, "0030", "ALIQUOTA NAO PROGRAMADA"},
    {ErroFiscal::FormaInvalida, "0031", "FORMA DE PAGAMENTO INVALIDA"},
    {ErroFiscal::TipoInvalido, "0032", "COMPROVANTE NAO PROGRAMADO"},
    {ErroFiscal::ItemInexistente, "0033", "ITEM INEXISTENTE"},
    {ErroFiscal::ValorInvalido, "0034", "VALOR INVALIDO"},
    {ErroFiscal::CupomVazio, "0035", "CUPOM SEM ITENS"},
    {ErroFiscal::PagamentoIncompleto, "0036", "PAGAMENTO INCOMPLETO"},
    {ErroFiscal::PagamentoCompleto, "0037", "TOTAL JA PAGO"},
    {ErroFiscal::CancelamentoInvalido, "0038", "CANCELAMENTO NAO PERMITIDO"},
    {ErroFiscal::VinculadoInvalido, "0039", "VINCULADO NAO PERMITIDO"},
    {ErroFiscal::TabelaCheia, "0040", "TABELA CHEIA"},
    {ErroFiscal::JaProgramado, "0041", "JA PROGRAMADO"},
    {ErroFiscal::SemCheque, "0042", "CHEQUE NAO POSICIONADO"},
};

// A percentage as the printer takes it: digits, a decimal comma, digits.
bool Percentual(const std::string& Campo) {
  const std::string p = Apara(Campo);
  const size_t v = p.find(',');
  return v != std::string::npos && SoDigitos(p.substr(0, v)) && SoDigitos(p.substr(v + 1));
}

}  // namespace

SimSweda::SimSweda(const OpcoesSimulador& Opcoes)
    : fECF(Modelo(GeracaoDe(Opcoes)), [this](const std::string& l) { Linha(l); },
           [this] { return FalhasAtivas().SemPapel; }) {
  const GeracaoSweda g = GeracaoDe(Opcoes);
  fGeracao = g.Numero;
  fLetra = g.Letra;
  fVersao = g.Versao;
  fECF.SetArredonda(fGeracao == 1 || fVersao == "1.A");
  Contadores c;
  c.COO = 345;
  c.CRZ = 12;
  c.CRO = 3;
  fECF.SetContadores(c);
  // What the shop programmed at installation.
  const int taxas[] = {1800, 700, 500, 1200};
  for (int i = 0; i < 4; i++) fECF.SetAliquota(i, {taxas[i], i == 2, ""});
  fECF.SetForma(0, {"DINHEIRO", false, ""});
  fECF.SetForma(1, {"CHEQUE", true, ""});
  fECF.SetForma(2, {"CARTAO", true, ""});
  fECF.SetNaoFiscal(0, {"-SANGRIA", false});
  fECF.SetNaoFiscal(1, {"+SUPRIMENTO", true});
  fECF.SetNaoFiscal(2, {"&RECEBIMENTOS", true});
  fECF.SetNaoFiscal(3, {"+CONTA DE LUZ", true});
  Inicia();
}

SimSweda::~SimSweda() { Para(); }

// ----- Settings for tests -----

void SimSweda::SetRequerZ(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerZ(V);
}
void SimSweda::SetRequerX(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerX(V);
}
void SimSweda::SetBloqueada(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetBloqueada(V);
}
void SimSweda::SetGavetaAberta(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetGavetaAberta(V);
}
bool SimSweda::GavetaAberta() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.GavetaAberta();
}
bool SimSweda::HorarioVerao() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.HorarioVerao();
}
void SimSweda::SetChequePresente(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetChequePresente(V);
  fRetiraChequeApos = 0;
}
bool SimSweda::ChequePresente() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.ChequePresente();
}
void SimSweda::SetRecusaProxima(const std::string& Codigo, const std::string& Texto) {
  std::lock_guard<std::mutex> t(Trava());
  fRecusaCodigo = Codigo;
  fRecusaTexto = Texto;
  fRecusaPendente = true;
}
void SimSweda::SetRespostaProxima(const std::string& Bytes) {
  std::lock_guard<std::mutex> t(Trava());
  fRespostaProxima = Bytes;
}
std::vector<std::string> SimSweda::Comandos() const {
  std::lock_guard<std::mutex> t(Trava());
  return fComandos;
}
int SimSweda::ItensCupom() const {
  std::lock_guard<std::mutex> t(Trava());
  return static_cast<int>(fECF.Itens().size());
}
int SimSweda::Vinculados() const {
  std::lock_guard<std::mutex> t(Trava());
  return fVinculados;
}

// ----- Framing -----

size_t SimSweda::Processa(const std::string& P, PtyPar::Saida& Out) {
  if (P.empty()) return 0;
  if (P[0] != ESC) return 1;  // noise between commands
  if (P.size() < 2) return 0;
  if (P[1] != '.') return 1;
  const size_t fim = P.find('}', 2);
  if (fim == std::string::npos) return P.size() > 4096 ? P.size() : 0;
  Executa(P.substr(2, fim - 2), Out);
  return fim + 1;
}

const std::map<std::string, SimSweda::Tratador>& SimSweda::Tabela() {
  static const std::map<std::string, Tratador> t = {
      {"01", &SimSweda::VendeItem},      {"02", &SimSweda::DescontoItem},
      {"03", &SimSweda::DescontoSubtotal}, {"04", &SimSweda::CancelaItem},
      {"05", &SimSweda::CancelaCupom},   {"08", &SimSweda::Texto},
      {"10", &SimSweda::Pagamento},      {"11", &SimSweda::Acrescimo},
      {"12", &SimSweda::Fecha},          {"13", &SimSweda::Leitura},
      {"14", &SimSweda::ReducaoZ},       {"15", &SimSweda::MemoriaPorReducao},
      {"16", &SimSweda::MemoriaPorData}, {"++", &SimSweda::Continua},
      {"17", &SimSweda::AbreCupom},      {"19", &SimSweda::Vinculado},
      {"21", &SimSweda::AbreGaveta},     {"42", &SimSweda::AbreGaveta},
      {"22", &SimSweda::EstadoGaveta},   {"43", &SimSweda::EstadoGaveta},
      {"23", &SimSweda::Sensores},       {"24", &SimSweda::Cheque},
      {"25", &SimSweda::CancelaCheque},  {"44", &SimSweda::TextosCheque},
      {"27", &SimSweda::Identificacao},  {"28", &SimSweda::Status},
      {"29", &SimSweda::Tabelas},        {"33", &SimSweda::ProgramaAliquota},
      {"35", &SimSweda::AcertaRelogio},  {"36", &SimSweda::HorarioVerao},
      {"38", &SimSweda::ProgramaNaoFiscais}, {"39", &SimSweda::ProgramaFormas},
  };
  return t;
}

void SimSweda::Executa(const std::string& Cmd, PtyPar::Saida& Out) {
  fComandos.push_back(Cmd);
  const Falhas& f = FalhasAtivas();
  if (!f.ImpressaoSemFim && fOcupadoAteMs == kSempre) fOcupadoAteMs = 0;
  // A printer busy printing answers once it is done.
  fAtrasoComando = fOcupadoAteMs == kSempre ? kNunca
                                            : static_cast<int>(std::max<int64_t>(0, fOcupadoAteMs - AgoraMs()));
  fLinhasAntes = LinhasImpressas();
  if (!fRespostaProxima.empty()) {
    Envia(Out, fRespostaProxima);
    fRespostaProxima.clear();
    return;
  }
  if (f.Recusa) return Recusa(Out, "0001", "COMANDO RECUSADO");
  if (fRecusaPendente) {
    fRecusaPendente = false;
    return Recusa(Out, fRecusaCodigo, fRecusaTexto);
  }
  const auto h = Tabela().find(Trecho(Cmd, 0, 2));
  if (h == Tabela().end()) return Recusa(Out, "0001", "COMANDO INVALIDO");
  (this->*(h->second))(Trecho(Cmd, 2), Out);
}

// ----- Answers -----

void SimSweda::Envia(PtyPar::Saida& Out, const std::string& Bytes) { Responde(Out, Bytes, fAtrasoComando); }

void SimSweda::Ok(PtyPar::Saida& Out, const std::string& Dados) {
  fContador = (fContador + 1) % 10000;
  // Printed on low paper: the interface reports the paper with the counter
  // that moved.
  if (FalhasAtivas().PoucoPapel && LinhasImpressas() > fLinhasAntes)
    return Envia(Out, ".-P00500" + Zeros(fContador, 4) + "}");
  Envia(Out, ".+" + Zeros(fContador, 4) + Dados + "}");
}

void SimSweda::Consulta(PtyPar::Saida& Out, char Tipo, char Sub, const std::string& Dados) {
  Envia(Out, std::string(".+") + Tipo + Zeros(fECF.Modelo().NumECF, 3) + Sub + Dados + "}");
}

void SimSweda::Recusa(PtyPar::Saida& Out, const std::string& Codigo, const std::string& Texto) {
  Envia(Out, ".-" + Codigo + Texto + "}");
}

void SimSweda::Conclui(PtyPar::Saida& Out, ErroFiscal E, const std::string& Comando) {
  if (E == ErroFiscal::Nenhum) {
    fK = Comando;
    return Ok(Out);
  }
  // Out of paper: nothing was executed, the counter stays where it was.
  if (E == ErroFiscal::SemPapel) return Envia(Out, ".-P00500" + Zeros(fContador, 4) + "}");
  for (const ErroSweda& e : kErros)
    if (e.Erro == E) return Recusa(Out, e.Codigo, e.Texto);
  Recusa(Out, "0099", "ERRO INTERNO");
}

void SimSweda::Linha(const std::string& Texto) {
  Imprime(Texto);
  const int tempo = TempoImpressao(1);
  if (tempo == kNunca) {
    fOcupadoAteMs = kSempre;
    return;
  }
  const int64_t agora = AgoraMs();
  if (fOcupadoAteMs < agora) fOcupadoAteMs = agora;
  if (fOcupadoAteMs != kSempre) fOcupadoAteMs += tempo;
}

// ----- The receipt -----

void SimSweda::AbreCupom(const std::string& Arg, PtyPar::Saida& Out) {
  const ErroFiscal e = fECF.AbreCupom(Apara(Trecho(Arg, 0, 20)));
  if (e == ErroFiscal::Nenhum) fD = "VENDAS";
  Conclui(Out, e, "17");
}

void SimSweda::VendeItem(const std::string& Arg, PtyPar::Saida& Out) {
  // code(13) qty(7, 3 decimals) price(9, 3 decimals) total(12) "~"
  // description(23) tax(3) [long description]
  if (Arg.size() < 68 || Arg[41] != '~') return Invalido(Out);
  ItemVendido it;
  it.Codigo = Apara(Arg.substr(0, 13));
  it.QtdMil = Digitos(Arg.substr(13, 7));
  it.PrecoMil = Digitos(Arg.substr(20, 9));
  const int64_t total = Digitos(Arg.substr(29, 12));
  it.Descricao = Apara(Arg.substr(42, 23) + Apara(Arg.substr(68)));
  const std::string tax = Arg.substr(65, 3);
  if (tax[0] == 'F') it.Aliquota = kSubstituicao;
  else if (tax[0] == 'I') it.Aliquota = kIsento;
  else if (tax[0] == 'N') it.Aliquota = kNaoIncidencia;
  else {
    const int64_t n = Digitos(Apara(tax.substr(1)));
    const auto& a = fECF.Aliquotas();
    const bool ok = (tax[0] == 'T' || tax[0] == 'S') && n >= 1 && n <= static_cast<int64_t>(a.size()) &&
                    a[static_cast<size_t>(n - 1)].ISS == (tax[0] == 'S');
    it.Aliquota = ok ? static_cast<int>(n - 1) : static_cast<int>(a.size());  // past the table: refused
  }
  if (it.QtdMil <= 0 || it.PrecoMil <= 0 || total < 0) return Invalido(Out);
  // The printer works the total out itself and refuses one that differs.
  const __int128 bruto = static_cast<__int128>(it.QtdMil) * it.PrecoMil;
  const int64_t calculado = static_cast<int64_t>(fECF.Arredonda() ? (bruto + 5000) / 10000 : bruto / 10000);
  if (calculado != total && fECF.DocumentoAberto() == Documento::Cupom)
    return Recusa(Out, "0034", "TOTAL DO ITEM DIVERGENTE");
  Conclui(Out, fECF.VendeItem(it), "01");
}

void SimSweda::DescontoItem(const std::string& Arg, PtyPar::Saida& Out) {
  // G1-G3: percentage(10) value(12); G4-G5: "0000" value(12).
  int64_t valor = -1;
  if (fGeracao >= 4) {
    if (Arg.size() == 16 && Arg.substr(0, 4) == "0000") valor = Digitos(Arg.substr(4));
  } else if (Arg.size() == 22 && Percentual(Arg.substr(0, 10))) {
    valor = Digitos(Arg.substr(10));
  }
  if (valor <= 0) return Invalido(Out);
  Conclui(Out, fECF.AcresceItem(static_cast<int>(fECF.Itens().size()), -valor), "02");
}

void SimSweda::DescontoSubtotal(const std::string& Arg, PtyPar::Saida& Out) {
  // G4: "0000" value(12) "S"; the others: percentage(10) value(12), "N"
  // after it in G2 and G3.
  int64_t valor = -1;
  if (fGeracao == 4) {
    if (Arg.size() == 17 && Arg.substr(0, 4) == "0000" && Arg[16] == 'S') valor = Digitos(Arg.substr(4, 12));
  } else {
    const size_t tamanho = fGeracao == 2 || fGeracao == 3 ? 23 : 22;
    if (Arg.size() == tamanho && Percentual(Arg.substr(0, 10))) valor = Digitos(Arg.substr(10, 12));
  }
  if (valor <= 0) return Invalido(Out);
  Conclui(Out, fECF.AcresceSubtotal(-valor), "03");
}

void SimSweda::Acrescimo(const std::string& Arg, PtyPar::Saida& Out) {
  // "51" (G1: "53") "0000" value(11), then "   N" (G1) or "N" (G2, G3, G5).
  const std::string tipo = fGeracao == 1 ? "530000" : "510000";
  if (Trecho(Arg, 0, 6) != tipo) return Invalido(Out);
  const int64_t valor = Digitos(Trecho(Arg, 6, 11));
  if (valor <= 0) return Invalido(Out);
  Conclui(Out, fECF.AcresceSubtotal(valor), "11");
}

void SimSweda::Pagamento(const std::string& Arg, PtyPar::Saida& Out) {
  // Alone: ends the sale. Else method(2) value(12), then "{" + text.
  if (Arg.empty()) return Conclui(Out, fECF.IniciaPagamento(), "10");
  const int64_t forma = Digitos(Trecho(Arg, 0, 2));
  const int64_t valor = Digitos(Trecho(Arg, 2, 12));
  const std::string resto = Trecho(Arg, 14);
  if (forma < 1 || valor <= 0 || (!resto.empty() && resto[0] != '{')) return Invalido(Out);
  Conclui(Out, fECF.Paga(static_cast<int>(forma - 1), valor, Apara(Trecho(resto, 1))), "10");
}

void SimSweda::CancelaItem(const std::string& Arg, PtyPar::Saida& Out) {
  const int64_t n = Digitos(Trecho(Arg, 0, 3));
  if (n < 0 || Arg.size() != 3) return Invalido(Out);
  Conclui(Out, fECF.CancelaItem(static_cast<int>(n)), "04");
}

void SimSweda::CancelaCupom(const std::string&, PtyPar::Saida& Out) {
  // A receipt already partly paid is closed first and then cancelled as the
  // last receipt.
  if (fECF.DocumentoAberto() == Documento::Cupom && fECF.TotalPago() > 0)
    return Recusa(Out, "0043", "CUPOM EM PAGAMENTO");
  const ErroFiscal e = fECF.CancelaCupom();
  if (e == ErroFiscal::Nenhum) fD = "CANCELAM";
  Conclui(Out, e, "05");
}

void SimSweda::Fecha(const std::string& Arg, PtyPar::Saida& Out) {
  // Up to two flags (N or S), then lines of "0" + Colunas characters.
  size_t i = 0;
  while (i < Arg.size() && i < 2 && (Arg[i] == 'N' || Arg[i] == 'S')) i++;
  const bool semIndicador = i == 0;
  std::string mensagem;
  for (; i < Arg.size(); i += 1 + kColunas) {
    if (Arg[i] != '0') return Invalido(Out);
    mensagem += Apara(Trecho(Arg, i + 1, kColunas)) + LF;
  }
  if (fECF.CupomAberto()) return Conclui(Out, fECF.FechaCupom(mensagem), "12");
  const Documento d = fECF.DocumentoAberto();
  if (d == Documento::Gerencial || d == Documento::Vinculado) {
    // G4 ends the text with "12" and the document with "12N".
    if (fGeracao == 4 && semIndicador && !fTextoEncerrado) {
      fTextoEncerrado = true;
      fK = "12";
      return Ok(Out);
    }
    if (fCopiasPendentes > 0) {
      fCopiasPendentes--;
      Linha(std::string(kColunas, '-'));
      fK = "12";
      return Ok(Out);
    }
    fTextoEncerrado = false;
  }
  Conclui(Out, fECF.FechaRelatorio(), "12");
}

// ----- Reports and text -----

void SimSweda::Leitura(const std::string& Arg, PtyPar::Saida& Out) {
  // "N": the X reading; "S": the X reading followed by a managerial report
  // that stays open.
  if (Arg == "N") {
    const ErroFiscal e = fECF.LeituraX();
    if (e == ErroFiscal::Nenhum) fD = "LEIT. X";
    return Conclui(Out, e, "13");
  }
  if (Arg != "S") return Invalido(Out);
  ErroFiscal e = fECF.Bloqueada() ? ErroFiscal::Bloqueada : fECF.RequerZ() ? ErroFiscal::RequerZ : fECF.LeituraX();
  if (e == ErroFiscal::Nenhum) e = fECF.AbreGerencial();
  if (e == ErroFiscal::Nenhum) fD = "N.FISCAL";
  Conclui(Out, e, "13");
}

void SimSweda::Texto(const std::string& Arg, PtyPar::Saida& Out) {
  // "0" + a line, "9" + lines to feed, or nothing: the end of the text.
  if (Arg.empty()) {
    fCopiasPendentes = 0;
    fTextoEncerrado = false;
    return Conclui(Out, fECF.FechaRelatorio(), "08");
  }
  if (Arg[0] == '0') return Conclui(Out, fECF.ImprimeTexto(Apara(Arg.substr(1)) + LF), "08");
  const int64_t n = Digitos(Arg.substr(1));
  if (Arg[0] != '9' || n < 0 || Arg.size() != 2) return Invalido(Out);
  Conclui(Out, n == 0 ? ErroFiscal::Nenhum : fECF.ImprimeTexto(std::string(static_cast<size_t>(n), LF)), "08");
}

void SimSweda::ReducaoZ(const std::string& Arg, PtyPar::Saida& Out) {
  // G2 on: "N"; then the date of the next day's opening, or nothing.
  std::string data = Arg;
  if (fGeracao >= 2) {
    if (data.empty() || data[0] != 'N') return Invalido(Out);
    data = data.substr(1);
  }
  if (!data.empty() && (data.size() != 6 || LeDdMmAa(data) < 0)) return Invalido(Out);
  const ErroFiscal e = fECF.ReducaoZ();
  if (e == ErroFiscal::Nenhum) fD = "RED. Z";
  Conclui(Out, e, "14");
}

void SimSweda::MemoriaFiscal(long De, long Ate, bool PorData, bool Serial, const std::string& Comando,
                             PtyPar::Saida& Out) {
  if (!Serial) {
    const ErroFiscal e = fECF.ImprimeMemoriaFiscal(De, Ate, PorData);
    if (e == ErroFiscal::Nenhum) fD = "MEM.FISC";
    return Conclui(Out, e, Comando);
  }
  // On the serial line: one line per answer, the next on "++".
  fMemoriaSerial = fECF.TextoMemoriaFiscal(De, Ate, PorData);
  fProximaMemoria = 1;
  Ok(Out, fMemoriaSerial[0]);
}

void SimSweda::MemoriaPorReducao(const std::string& Arg, PtyPar::Saida& Out) {
  const int64_t de = Digitos(Trecho(Arg, 0, 4)), ate = Digitos(Trecho(Arg, 4, 4));
  const std::string resto = Trecho(Arg, 8);
  if (de < 0 || ate < 0 || (!resto.empty() && resto != "|")) return Invalido(Out);
  MemoriaFiscal(static_cast<long>(de), static_cast<long>(ate), false, resto == "|", "15", Out);
}

void SimSweda::MemoriaPorData(const std::string& Arg, PtyPar::Saida& Out) {
  const long de = LeDdMmAa(Trecho(Arg, 0, 6)), ate = LeDdMmAa(Trecho(Arg, 6, 6));
  const std::string resto = Trecho(Arg, 12);
  if (de < 0 || ate < 0 || (!resto.empty() && resto != "|")) return Invalido(Out);
  MemoriaFiscal(de, ate, true, resto == "|", "16", Out);
}

void SimSweda::Continua(const std::string&, PtyPar::Saida& Out) {
  if (fProximaMemoria < fMemoriaSerial.size()) {
    Ok(Out, fMemoriaSerial[fProximaMemoria++]);
    return;
  }
  fMemoriaSerial.clear();
  fProximaMemoria = 0;
  Envia(Out, ".]}");
}

void SimSweda::Vinculado(const std::string& Arg, PtyPar::Saida& Out) {
  // "00" + COO(4, blanks: the last receipt) + method(2), and in G2, G4 and
  // G5 20 blanks + "01" after them.
  const std::string coo = Trecho(Arg, 2, 4);
  const int64_t forma = Digitos(Trecho(Arg, 6, 2));
  const std::string resto = Trecho(Arg, 8);
  if (Trecho(Arg, 0, 2) != "00" || forma < 1 || (!resto.empty() && resto != std::string(20, ' ') + "01"))
    return Invalido(Out);
  if (fECF.DocumentoAberto() == Documento::Vinculado) {
    // The next copy of the open linked receipt (G1, G2).
    fCopiasPendentes++;
    Linha(std::string(kColunas, '='));
    fK = "19";
    return Ok(Out);
  }
  int numero = 0;
  if (coo != "    ") {
    const int64_t n = Digitos(coo);
    if (n < 0) return Invalido(Out);
    const int ultimo = fECF.COOUltimoCupom();
    numero = ultimo != 0 && n == ultimo % 10000 ? ultimo : static_cast<int>(n);
  }
  const ErroFiscal e = fECF.AbreVinculado(static_cast<int>(forma - 1), 0, numero);
  if (e == ErroFiscal::Nenhum) {
    fD = "N.FISCAL";
    fCopiasPendentes = 0;
    fTextoEncerrado = false;
    fVinculados++;
  }
  Conclui(Out, e, "19");
}

// ----- Drawer, sensors and check -----

void SimSweda::AbreGaveta(const std::string&, PtyPar::Saida& Out) {
  // Model B drives its drawer with 21/22, the others with 42/43.
  if ((fComandos.back().substr(0, 2) == "21") != (fLetra == 'B')) return Recusa(Out, "0001", "COMANDO INVALIDO");
  fECF.AbreGaveta();
  Ok(Out);
}

void SimSweda::EstadoGaveta(const std::string&, PtyPar::Saida& Out) {
  if ((fComandos.back().substr(0, 2) == "22") != (fLetra == 'B')) return Recusa(Out, "0001", "COMANDO INVALIDO");
  Envia(Out, fECF.GavetaAberta() ? ".+G000}" : ".+G001}");
}

void SimSweda::Sensores(const std::string&, PtyPar::Saida& Out) {
  // ".+S0" + check slot ('0' a check is in place) + paper ('5' near or at
  // its end).
  if (fRetiraChequeApos > 0 && --fRetiraChequeApos == 0) fECF.SetChequePresente(false);
  const Falhas& f = FalhasAtivas();
  Envia(Out, std::string(".+S0") + (fECF.ChequePresente() ? '0' : '1') + (f.PoucoPapel || f.SemPapel ? '5' : '0') +
                 "}");
}

void SimSweda::TextosCheque(const std::string& Arg, PtyPar::Saida& Out) {
  // payee(80) city(30) currency singular(20) and plural(20)
  if (Arg.size() != 150) return Invalido(Out);
  fFavorecido = Apara(Arg.substr(0, 80));
  fCidade = Apara(Arg.substr(80, 30));
  Ok(Out);
}

void SimSweda::Cheque(const std::string& Arg, PtyPar::Saida& Out) {
  // bank(3) value(12) " " text(120) "4" day(2) month(2) year(4)
  const int64_t valor = Digitos(Trecho(Arg, 3, 12));
  if (Arg.size() != 145 || Digitos(Arg.substr(0, 3)) < 0 || valor < 0 || Arg[15] != ' ' || Arg[136] != '4')
    return Invalido(Out);
  if (!fECF.ChequePresente()) return Conclui(Out, ErroFiscal::SemCheque, "24");
  if (fGeracao == 2 && !fChequeArmado) {
    fChequeArmado = true;  // G2 prints on the second "24"
    return Ok(Out);
  }
  fChequeArmado = false;
  const std::string d = Arg.substr(137);
  const ErroFiscal e =
      fECF.ImprimeCheque(valor, fFavorecido, fCidade, d.substr(0, 2) + "/" + d.substr(2, 2) + "/" + d.substr(4),
                         Apara(Arg.substr(16, 120)));
  // The operator takes the check out after a moment.
  if (e == ErroFiscal::Nenhum) fRetiraChequeApos = 2;
  Conclui(Out, e, "24");
}

void SimSweda::CancelaCheque(const std::string&, PtyPar::Saida& Out) {
  fChequeArmado = false;
  Ok(Out);
}

// ----- Queries -----

void SimSweda::Identificacao(const std::string& Arg, PtyPar::Saida& Out) {
  const ModeloImpressora& m = fECF.Modelo();
  const char sub = Arg.size() == 1 ? Arg[0] : '?';
  if (sub == '1') {
    // CRZ(6) COO(4) GT(18) ... model letter at 125
    std::string d = Zeros(fECF.CRZ(), 6) + Zeros(fECF.COO() % 10000, 4) + Zeros(fECF.GT(), 18);
    return Consulta(Out, 'C', '1', Completa(d, 117, '0') + fLetra);
  }
  if (sub == 'F') return Consulta(Out, 'C', 'F', Zeros(m.NumLoja, 4));
  if (sub == '2' && fGeracao == 1) return Consulta(Out, 'C', '2', Pad(m.NumSerie, 11));
  if (sub == '9' && fGeracao == 1) return Consulta(Out, 'C', '9', std::string(108, '0') + Zeros(fECF.CRO(), 4));
  if (sub == '3' && fGeracao >= 2) return Consulta(Out, 'C', '3', "00000" + Pad(m.NumSerie, 9));
  if (sub == 'G' && fGeracao >= 2)
    return Consulta(Out, 'C', 'G', Zeros(fECF.CRZ(), 8) + Zeros(fECF.CRO(), 4) + std::string(8, '0') + fVersao);
  Recusa(Out, "0001", "COMANDO INVALIDO");
}

std::string SimSweda::Dados28() const {
  // From character 7: [ECF(3), G2 on] state T, document D(8), last command
  // K(2); the subtotal(12) and the receipt's discounts(12) before "!"; after
  // it the clock ddmmyyhhnn, the daylight-saving flag, a blank, seconds,
  // COO, CRZ and CRO, the amount still due(12), then the day flag and the
  // lock flag.
  const Documento d = fECF.DocumentoAberto();
  const bool cupom = fECF.CupomAberto();
  std::string r = fGeracao == 1 ? "" : Zeros(fECF.Modelo().NumECF, 3);
  r += std::string(1, d == Documento::Nenhum ? 'C' : 'A') + Pad(fD, 8) + Pad(fK, 2);
  r = Completa(r, 14, '0');
  r += Zeros(cupom ? fECF.TotalCupom() : 0, 12) + Zeros(cupom ? -fECF.AcrescimoSubtotal() : 0, 12) + "!";
  r += fECF.DataHora("ddmmyyhhnn") + (fECF.HorarioVerao() ? 'S' : 'N') + ' ';
  r += Completa(fECF.DataHora("ss") + Zeros(fECF.COO(), 6) + Zeros(fECF.CRZ(), 4) + Zeros(fECF.CRO(), 4), 39, '0');
  r += Zeros(cupom ? fECF.Saldo() : 0, 12) + std::string(12, '0');
  // 'F': the fiscal day has movement (as the printers show it during sales).
  r += fECF.DiaMovimento() >= 0 ? 'F' : 'N';
  r += fECF.Bloqueada() ? 'S' : fECF.RequerZ() ? 'F' : 'N';
  return r;
}

void SimSweda::Status(const std::string&, PtyPar::Saida& Out) {
  Envia(Out, ".+" + Zeros(fContador, 4) + Dados28() + "}");
}

std::string SimSweda::RegistroAliquota(size_t Slot) const {
  const AliquotaFiscal& a = fECF.Aliquotas()[Slot];
  const std::string tipo(1, a.ISS ? 'S' : 'T');
  const std::string indice = a.Valor > 0 ? Zeros(static_cast<int64_t>(Slot + 1), 2) : "00";
  if (fGeracao == 1) return tipo + indice + "00000" + Zeros(a.Valor, 4) + "0000";
  return tipo + indice + Zeros(a.Valor, 4);
}

std::string SimSweda::PagamentosG3(size_t De, size_t Ate) const {
  // Names of 15, then one flag per name.
  std::string nomes, flags;
  for (size_t i = De; i < Ate; i++) {
    nomes += Pad(fECF.Formas()[i].Descricao, 15);
    flags += fECF.Formas()[i].Descricao.empty() ? ' ' : (fECF.Formas()[i].PermiteVinculado ? 'S' : 'N');
  }
  return nomes + flags;
}

std::string SimSweda::TabelaFormas(char Sub) const {
  const size_t de = Sub == '5' ? 0 : 3, ate = Sub == '5' ? 3 : kFormas;
  if (fGeracao <= 3) return PagamentosG3(de, ate);
  std::string r;  // G4, G5: flag + name(15)
  for (size_t i = de; i < ate; i++) {
    const FormaPagamento& f = fECF.Formas()[i];
    r += std::string(1, f.Descricao.empty() ? ' ' : (f.PermiteVinculado ? 'S' : 'N')) + Pad(f.Descricao, 15);
  }
  return r;
}

std::string SimSweda::TabelaNaoFiscais(size_t De, size_t Quantos) const {
  std::string r;
  const auto& t = fECF.NaoFiscais();
  for (size_t i = De; i < De + Quantos; i++) r += Pad(i < t.size() ? t[i].Descricao : "", 15);
  return r;
}

void SimSweda::Tabelas(const std::string& Arg, PtyPar::Saida& Out) {
  const char sub = Arg.size() == 1 ? Arg[0] : '?';
  std::string d;
  if (sub == '3') {
    d = std::string(41, '0');
    for (size_t i = 0; i < 4; i++) d += RegistroAliquota(i);
  } else if (sub == '4') {
    for (size_t i = 4; i < 11; i++) d += RegistroAliquota(i);
  } else if (sub == '5') {
    for (size_t i = 11; i < kAliquotas; i++) d += RegistroAliquota(i);
    d += TabelaFormas('5');
  } else if (sub == '6') {
    d = TabelaFormas('6');
  } else {
    // Non-fiscal receipt types: eight a query, four in the last one.
    const std::string ordem = fGeracao == 1 ? "789" : "789ABCD";
    const size_t n = ordem.find(sub);
    if (n == std::string::npos) return Recusa(Out, "0001", "COMANDO INVALIDO");
    d = TabelaNaoFiscais(n * 8, n + 1 == ordem.size() ? 4 : 8);
  }
  Consulta(Out, 'T', sub, d);
}

// ----- Programming -----

void SimSweda::ProgramaAliquota(const std::string& Arg, PtyPar::Saida& Out) {
  // type(1) slot(2) value(4)
  const int64_t slot = Digitos(Trecho(Arg, 1, 2)), valor = Digitos(Trecho(Arg, 3, 4));
  if (Arg.size() != 7 || (Arg[0] != 'T' && Arg[0] != 'S') || slot < 1 || slot > static_cast<int64_t>(kAliquotas))
    return Invalido(Out);
  int s = static_cast<int>(slot - 1);
  Conclui(Out, fECF.ProgramaAliquota({static_cast<int>(valor), Arg[0] == 'S', ""}, s), "33");
}

void SimSweda::ProgramaFormas(const std::string& Arg, PtyPar::Saida& Out) {
  // G1, G2: names of 15 (linked receipts always allowed); G3, G4: flag +
  // name; G5: one flag + name, programmed in the next free slot.
  if (fECF.CupomAberto() || fECF.DocumentoAberto() != Documento::Nenhum) return Conclui(Out, ErroFiscal::CupomAberto, "39");
  const size_t tamanho = fGeracao <= 2 ? 15 : 16;
  if (Arg.empty() || Arg.size() % tamanho != 0 || Arg.size() / tamanho > kFormas) return Invalido(Out);
  std::vector<FormaPagamento> novas;
  for (size_t i = 0; i < Arg.size(); i += tamanho) {
    const std::string rec = Arg.substr(i, tamanho);
    if (tamanho == 16 && rec[0] != 'S' && rec[0] != 'N') return Invalido(Out);
    novas.push_back({Apara(rec.substr(tamanho - 15)), tamanho == 15 || rec[0] == 'S', ""});
  }
  if (fGeracao == 5) {
    if (novas.size() != 1) return Invalido(Out);
    int slot = -1;
    return Conclui(Out, fECF.ProgramaForma(novas[0], slot), "39");
  }
  for (size_t i = 0; i < kFormas; i++) fECF.SetForma(static_cast<int>(i), i < novas.size() ? novas[i] : FormaPagamento{});
  fK = "39";
  Ok(Out);
}

void SimSweda::ProgramaNaoFiscais(const std::string& Arg, PtyPar::Saida& Out) {
  // "N" + records of 15 (type + name): G1-G4 the table from its third
  // record on; G5 one new record.
  if (fECF.CupomAberto() || fECF.DocumentoAberto() != Documento::Nenhum) return Conclui(Out, ErroFiscal::CupomAberto, "38");
  const std::string t = Trecho(Arg, 1);
  const size_t total = fECF.NaoFiscais().size();
  if (Trecho(Arg, 0, 1) != "N" || t.empty() || t.size() % 15 != 0 || t.size() / 15 > total - 2) return Invalido(Out);
  std::vector<TipoNaoFiscal> novos;
  for (size_t i = 0; i < t.size(); i += 15) {
    const std::string rec = Apara(t.substr(i, 15));
    if (rec.empty() || (rec[0] != '&' && rec[0] != '+' && rec[0] != '-')) return Invalido(Out);
    novos.push_back({rec, rec[0] != '-'});
  }
  if (fGeracao == 5) {
    if (novos.size() != 1) return Invalido(Out);
    int slot = -1;
    return Conclui(Out, fECF.ProgramaNaoFiscal(novos[0], slot), "38");
  }
  for (size_t i = 2; i < total; i++) fECF.SetNaoFiscal(static_cast<int>(i), i - 2 < novos.size() ? novos[i - 2] : TipoNaoFiscal{"", true});
  fK = "38";
  Ok(Out);
}

void SimSweda::AcertaRelogio(const std::string& Arg, PtyPar::Saida& Out) {
  // hhnnssddmmyy
  const long dia = LeDdMmAa(Trecho(Arg, 6, 6));
  const int64_t hh = Digitos(Trecho(Arg, 0, 2)), nn = Digitos(Trecho(Arg, 2, 2)), ss = Digitos(Trecho(Arg, 4, 2));
  if (Arg.size() != 12 || dia < 0 || hh < 0 || hh > 23 || nn < 0 || nn > 59 || ss < 0 || ss > 59) return Invalido(Out);
  if (fECF.DocumentoAberto() != Documento::Nenhum) return Conclui(Out, ErroFiscal::DocumentoAberto, "35");
  int a = 0, m = 0, d = 0;
  DataDe(dia, a, m, d);
  std::tm tm{};
  tm.tm_year = a - 1900;
  tm.tm_mon = m - 1;
  tm.tm_mday = d;
  tm.tm_hour = static_cast<int>(hh);
  tm.tm_min = static_cast<int>(nn);
  tm.tm_sec = static_cast<int>(ss);
  tm.tm_isdst = -1;
  fECF.SetRelogio(std::mktime(&tm));
  Ok(Out);
}

void SimSweda::HorarioVerao(const std::string& Arg, PtyPar::Saida& Out) {
  if (Arg != "S" && Arg != "N") return Invalido(Out);
  Conclui(Out, fECF.MudaHorarioVerao(Arg == "S"), "36");
}

}  // namespace zuvo::sim
