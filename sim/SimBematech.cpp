#include "sim/SimBematech.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <limits>

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {

const char STX = 2;
const char ETX = 3;
const char ESC = 27;
const char ACK = 6;
const char NAK = 21;

// ST1 and ST2 bits.
const int kParametros = 0x01;      // ST1: number of parameters
const int kCupomAberto = 0x02;     // ST1
const int kInexistente = 0x04;     // ST1
const int kSemESC = 0x08;          // ST1
const int kPoucoPapel = 0x40;      // ST1
const int kFimPapel = 0x80;        // ST1
const int kNaoExecutado = 0x01;    // ST2
const int kCancelamento = 0x04;    // ST2
const int kAliquotasLotada = 0x08; // ST2
const int kSemAliquota = 0x10;     // ST2
const int kTipoParametro = 0x80;   // ST2

ModeloImpressora Modelo(const OpcoesSimulador& O) {
  ModeloImpressora m;
  m.Colunas = O.Colunas > 0 ? O.Colunas : 48;
  // The 40-column printers are told apart by their serial number.
  const std::string prefixo = m.Colunas == 40 ? "5708" : (O.MFD ? "BE09" : "4708");
  m.NumSerie = Completa(O.MFD ? prefixo + "10SC550000012345" : prefixo + "01100012345", O.MFD ? 20 : 15);
  m.Versao = O.MFD ? "010000" : "0310";
  m.Modelo = std::string("BEMATECH ") + (O.MFD ? "MP-6000 FI" : "MP-20 FI II");
  m.NaoFiscais = 50;
  m.PagaSoAposSubtotal = true;
  // The older printer will not cancel a receipt with nothing sold in it.
  m.CancelaCupomVazio = O.MFD;
  return m;
}

}  // namespace

SimBematech::SimBematech(const OpcoesSimulador& Opcoes)
    : fOpcoes(Opcoes),
      fECF(Modelo(Opcoes), [this](const std::string& l) { Imprime(l); },
           [this] { return FalhasAtivas().SemPapel; }) {
  fVersao = fECF.Modelo().Versao;
  Contadores c;
  c.COO = 123;
  c.CRZ = 4;
  fECF.SetContadores(c);
  // What the shop programmed at installation.
  const int taxas[] = {1800, 700, 1200, 2500, 500};
  for (int i = 0; i < 5; i++) fECF.SetAliquota(i, {taxas[i], i == 4, ""});
  const char* formas[] = {"Dinheiro", "Cheque", "Cartao Credito", "Cartao Debito"};
  for (int i = 0; i < 4; i++) fECF.SetForma(i, {formas[i], true, ""});
  fECF.SetNaoFiscal(0, {"Recebimento", true});
  fECF.SetNaoFiscal(1, {"Conta de Luz", true});
  Inicia();
}

SimBematech::~SimBematech() { Para(); }

// ---------------------------------------------------------------------------
// The line: frames in, acknowledgement and answer out.

size_t SimBematech::Processa(const std::string& P, PtyPar::Saida& Out) {
  const int64_t agora = AgoraMs();
  // A frame left incomplete for a second is given up: the driver has long
  // since purged and sent it again.
  if (fParcialTamanho > 0 && agora - fParcialDesde > 1000 && P.size() > fParcialTamanho) {
    size_t n = std::min(fParcialTamanho, P.size());
    fParcialTamanho = 0;
    return n;
  }
  // Noise before a frame is skipped.
  if (P[0] != STX) {
    size_t stx = P.find(STX);
    return stx == std::string::npos ? P.size() : stx;
  }
  auto espera = [&]() -> size_t {
    if (fParcialTamanho == 0) fParcialDesde = agora;
    fParcialTamanho = P.size();
    return 0;
  };
  if (P.size() < 3) return espera();
  const size_t n = Byte(P[1]) | (Byte(P[2]) << 8);
  const Falhas& f = FalhasAtivas();
  if (fOcupadoAte == kSempre && !f.ImpressaoSemFim) fOcupadoAte = agora;  // the fault was switched off
  const int atraso = fOcupadoAte == kSempre ? kNunca : static_cast<int>(std::max<int64_t>(0, fOcupadoAte - agora));
  if (n < 4 || n > 4096) {
    // A length no command has: refuse and drop what came.
    fParcialTamanho = 0;
    fRecusados++;
    Responde(Out, std::string(1, NAK), atraso);
    return P.size();
  }
  if (P.size() < 3 + n) return espera();
  fParcialTamanho = 0;

  const std::string d = P.substr(3, n - 2);
  unsigned soma = 0;
  for (char c : d) soma += Byte(c);
  const unsigned checksum = Byte(P[3 + n - 2]) | (Byte(P[3 + n - 1]) << 8);
  if (f.SemACK) return 3 + n;  // the frame is lost: no acknowledgement, nothing done
  if ((soma & 0xFFFF) != checksum || f.Recusa) {
    fRecusados++;
    Responde(Out, std::string(1, NAK), atraso);
    return 3 + n;
  }

  const int linhasAntes = LinhasImpressas();
  Resultado r;
  if (d[0] != ESC) {
    r.ST1 = kSemESC;
  } else {
    fComandos.push_back(d.substr(1));
    r = Executa(d.substr(1));
  }
  if (f.PoucoPapel) r.ST1 |= kPoucoPapel;
  if (f.SemPapel) r.ST1 |= kFimPapel;
  Responde(Out, Resposta(r), atraso);
  // Printing keeps the printer busy: what comes next waits for the paper.
  const int tempo = TempoImpressao(LinhasImpressas() - linhasAntes);
  if (tempo == kNunca) fOcupadoAte = kSempre;
  else if (tempo > 0 && fOcupadoAte != kSempre) fOcupadoAte = std::max(agora, fOcupadoAte) + tempo;
  return 3 + n;
}

std::string SimBematech::Resposta(const Resultado& R) const {
  std::string resposta(1, ACK);
  if (R.Variavel)
    return resposta + static_cast<char>(R.ST1) + static_cast<char>(R.ST2) + R.Dados + ETX;
  resposta += R.Dados;
  resposta += static_cast<char>(R.ST1);
  resposta += static_cast<char>(R.ST2);
  // The detail-memory printers send a third status byte.
  if (fOpcoes.MFD) resposta += '\0';
  return resposta;
}

bool SimBematech::ComandoImprime(const std::string& Cmd) const {
  switch (Byte(Cmd[0])) {
    case 0: case 5: case 6: case 9: case 14: case 20: case 21: case 31: case 32:
    case 34: case 56: case 63: case 'B': case 'C': case 'H':
      return true;
    case 8:
      return Cmd.back() == 'I';
    default:
      return false;
  }
}

SimBematech::Resultado SimBematech::Recusa(ErroFiscal E) {
  switch (E) {
    case ErroFiscal::Nenhum: return {};
    case ErroFiscal::CupomAberto: return {"", kCupomAberto, 0};
    case ErroFiscal::AliquotaInvalida: return {"", 0, kSemAliquota};
    case ErroFiscal::ValorInvalido: return {"", 0, kTipoParametro};
    case ErroFiscal::CancelamentoInvalido: return {"", 0, kCancelamento};
    default: return {"", 0, kNaoExecutado};
  }
}

const std::map<int, SimBematech::Tratador>& SimBematech::Tabela() {
  static const std::map<int, Tratador> t = {
      {19, &SimBematech::Status},          {35, &SimBematech::Consulta},
      {62, &SimBematech::Extras},          {0, &SimBematech::AbreCupom},
      {9, &SimBematech::VendeItem},        {56, &SimBematech::VendeItem3},
      {63, &SimBematech::VendeItemMFD},    {29, &SimBematech::SubTotal},
      {30, &SimBematech::NumCOO},          {32, &SimBematech::IniciaFechamento},
      {'H', &SimBematech::Paga},           {34, &SimBematech::FechaCupom},
      {14, &SimBematech::CancelaCupom},    {31, &SimBematech::CancelaItem},
      {22, &SimBematech::AbreGaveta},      {23, &SimBematech::EstadoGaveta},
      {6, &SimBematech::LeituraX},         {5, &SimBematech::ReducaoZ},
      {20, &SimBematech::LinhaGerencial},  {21, &SimBematech::FechaRelatorio},
      {'B', &SimBematech::AbreVinculado},  {'C', &SimBematech::LinhaVinculado},
      {7, &SimBematech::ProgramaAliquota}, {'G', &SimBematech::ProgramaFormaPagamento},
      {'(', &SimBematech::ProgramaComprovante}, {26, &SimBematech::LeAliquotas},
      {18, &SimBematech::HorarioVerao},    {39, &SimBematech::ProgramaArredonda},
      {'|', &SimBematech::ImpactoAgulhas}, {'F', &SimBematech::FechaNaoFiscal},
      {8, &SimBematech::MemoriaFiscal},    {'9', &SimBematech::Cheque},
  };
  return t;
}

SimBematech::Resultado SimBematech::Executa(const std::string& Cmd) {
  if (Cmd.empty()) return {"", kParametros, 0};
  if (FalhasAtivas().SemPapel && ComandoImprime(Cmd)) return {"", 0, kNaoExecutado};
  const auto h = Tabela().find(static_cast<int>(Byte(Cmd[0])));
  if (h == Tabela().end()) return {"", kInexistente, 0};
  return (this->*(h->second))(Cmd.substr(1));
}

SimBematech::Resultado SimBematech::Consulta(const std::string& P) {
  if (P.empty()) return {"", kParametros, 0};
  const bool cupom = fECF.DocumentoAberto() == Documento::Cupom;
  const ModeloImpressora& m = fECF.Modelo();
  switch (Byte(P[0])) {
    case 17: return {std::string(1, static_cast<char>(Flags())), 0, 0};
    case 23: return {Bcd(fECF.DataHora("ddmmyyhhnnss")), 0, 0};
    case 14: return {Bcd(Zeros(m.NumECF, 4)), 0, 0};
    case 10: return {Bcd(Zeros(fECF.CRO(), 4)), 0, 0};
    case 15: return {Bcd(Zeros(m.NumLoja, 4)), 0, 0};
    case 0: return {Completa(m.NumSerie.substr(0, 15), 15), 0, 0};
    case 1: return {Bcd(fVersao.substr(0, 4)), 0, 0};
    case 22: return {Bcd(Zeros(cupom ? fECF.TotalPago() : 0, 14)), 0, 0};
    case 28: return {std::string(1, static_cast<char>(fECF.Arredonda() ? 1 : 0)), 0, 0};
    case 29: return {FlagsServico(), 0, 0};
    case 32: return {TabelaFormas(), 0, 0};
    case 33: return {TabelaComprovantes(), 0, 0};
    default: break;
  }
  if (!fOpcoes.MFD) return {"", kInexistente, 0};
  switch (Byte(P[0])) {
    case 40: return {Completa(m.NumSerie, 20), 0, 0};
    case 41: return {Bcd(fVersao), 0, 0};
    case 60: return {Completa(fOpcoes.Termica ? "MP-4000 TH FI" : "MP-6000 FI", 42), 0, 0};
    case 27:
      return {Bcd(fECF.DiaMovimento() < 0 ? "000000" : TextoDia(fECF.DiaMovimento(), "ddmmyy")), 0, 0};
    default: return {"", kInexistente, 0};
  }
}

// ---------------------------------------------------------------------------
// Status, extras and the drawer.

SimBematech::Resultado SimBematech::Status(const std::string&) {
  // The open receipt shows in ST1.
  return {"", fECF.DocumentoAberto() == Documento::Cupom ? kCupomAberto : 0, 0};
}

SimBematech::Resultado SimBematech::Extras(const std::string& P) {
  // '>': the check printer and what goes with the next item.
  if (P.empty()) return {"", kParametros, 0};
  switch (P[0]) {
    case '0': return {std::string(1, static_cast<char>(fECF.ChequePresente() ? 0 : 0x20)), 0, 0};
    case '1': return {};
    case '3':
      if (VersaoNumero() < 300) return {"", kInexistente, 0};
      fUnidade = Apara(Trecho(P, 1, 2));
      return {};
    case '4':
      if (VersaoNumero() < 300) return {"", kInexistente, 0};
      fDescricaoLonga = Apara(Trecho(P, 1, 200));
      return {};
    default: return {"", kInexistente, 0};
  }
}

SimBematech::Resultado SimBematech::SubTotal(const std::string&) {
  const bool cupom = fECF.DocumentoAberto() == Documento::Cupom;
  return {Bcd(Zeros(cupom ? fECF.TotalCupom() : 0, 14)), 0, 0};
}

SimBematech::Resultado SimBematech::NumCOO(const std::string&) { return {Bcd(Zeros(fECF.COO(), 6)), 0, 0}; }

SimBematech::Resultado SimBematech::AbreGaveta(const std::string&) {
  fECF.AbreGaveta();
  return {};
}

SimBematech::Resultado SimBematech::EstadoGaveta(const std::string&) {
  return {std::string(1, static_cast<char>(fECF.GavetaAberta() ? 1 : 0)), 0, 0};
}

// ---------------------------------------------------------------------------
// The fiscal receipt.

SimBematech::Resultado SimBematech::AbreCupom(const std::string& P) {
  if (fECF.CupomAberto()) return {"", kCupomAberto, 0};
  if (P.size() > 29) return {"", kParametros, 0};
  return Recusa(fECF.AbreCupom(Apara(P)));
}

SimBematech::Resultado SimBematech::VendeItem(const std::string& P) { return Vende(P, false); }

// Command 56: the same layout, the price with three decimals.
SimBematech::Resultado SimBematech::VendeItem3(const std::string& P) { return Vende(P, true); }

SimBematech::Resultado SimBematech::Vende(const std::string& P, bool TresCasas) {
  if (fECF.DocumentoAberto() != Documento::Cupom || fECF.EmPagamento()) return {"", 0, kNaoExecutado};
  if (P.size() != 60 && P.size() != 63) return {"", kParametros, 0};
  const size_t tamQtd = P.size() == 60 ? 4 : 7;
  const std::string qtd = P.substr(44, tamQtd), preco = P.substr(44 + tamQtd, 8),
                    desconto = P.substr(52 + tamQtd, 4);
  if (!SoDigitos(qtd) || !SoDigitos(preco) || !SoDigitos(desconto)) return {"", 0, kTipoParametro};
  ItemVendido it;
  it.Codigo = Apara(P.substr(0, 13));
  it.Descricao = Apara(P.substr(13, 29));
  it.QtdMil = tamQtd == 4 ? Digitos(qtd) * 1000 : Digitos(qtd);
  it.PrecoMil = TresCasas ? Digitos(preco) : Digitos(preco) * 10;
  it.DescontoPercentual = static_cast<int>(Digitos(desconto));
  if (it.DescontoPercentual > 10000) return {"", 0, kTipoParametro};
  return Registra(std::move(it), P.substr(42, 2));
}

SimBematech::Resultado SimBematech::VendeItemMFD(const std::string& P) {
  if (!fOpcoes.MFD) return {"", kInexistente, 0};
  if (fECF.DocumentoAberto() != Documento::Cupom || fECF.EmPagamento()) return {"", 0, kNaoExecutado};
  if (P.size() < 64) return {"", kParametros, 0};
  const size_t fimCodigo = P.find('\0', 62);
  const size_t fimDescricao = fimCodigo == std::string::npos ? fimCodigo : P.find('\0', fimCodigo + 1);
  if (fimDescricao == std::string::npos || fimDescricao + 1 != P.size()) return {"", kParametros, 0};
  const std::string preco = P.substr(2, 9), qtd = P.substr(11, 7), desconto = P.substr(18, 10);
  if (!SoDigitos(preco) || !SoDigitos(qtd) || !SoDigitos(desconto)) return {"", 0, kTipoParametro};
  ItemVendido it;
  it.PrecoMil = Digitos(preco);
  it.QtdMil = Digitos(qtd);
  it.Unidade = Apara(P.substr(60, 2));
  it.Codigo = Apara(P.substr(62, fimCodigo - 62));
  it.Descricao = Apara(P.substr(fimCodigo + 1, fimDescricao - fimCodigo - 1));
  it.Acrescimo = -Digitos(desconto);  // cents off
  return Registra(std::move(it), P.substr(0, 2));
}

SimBematech::Resultado SimBematech::Registra(ItemVendido It, const std::string& Indice) {
  if (Indice == "FF") It.Aliquota = kSubstituicao;
  else if (Indice == "II") It.Aliquota = kIsento;
  else if (Indice == "NN") It.Aliquota = kNaoIncidencia;
  else if (SoDigitos(Indice) && Digitos(Indice) >= 1) It.Aliquota = static_cast<int>(Digitos(Indice)) - 1;
  else if (SoDigitos(Indice)) It.Aliquota = std::numeric_limits<int>::max();  // "00": no slot
  else return {"", 0, kSemAliquota};
  if (It.Unidade.empty()) It.Unidade = fUnidade;
  if (!fDescricaoLonga.empty()) It.Descricao = fDescricaoLonga;
  fDescricaoLonga.clear();
  fUnidade.clear();
  return Recusa(fECF.VendeItem(std::move(It)));
}

SimBematech::Resultado SimBematech::IniciaFechamento(const std::string& P) {
  if (fECF.DocumentoAberto() != Documento::Cupom || fECF.EmPagamento()) return {"", 0, kNaoExecutado};
  if (P.size() != 15) return {"", kParametros, 0};
  const char tipo = static_cast<char>(std::tolower(static_cast<unsigned char>(P[0])));
  if ((tipo != 'a' && tipo != 'd') || !SoDigitos(P.substr(1))) return {"", 0, kTipoParametro};
  const int64_t v = Digitos(P.substr(1));
  if (fECF.AcresceSubtotal(tipo == 'a' ? v : -v) != ErroFiscal::Nenhum) return {"", 0, kNaoExecutado};
  return Recusa(fECF.IniciaPagamento());
}

SimBematech::Resultado SimBematech::Paga(const std::string& P) {
  if (fECF.DocumentoAberto() != Documento::Cupom || !fECF.EmPagamento()) return {"", 0, kNaoExecutado};
  if (P.size() < 16 || P.size() > 96) return {"", kParametros, 0};
  if (!SoDigitos(P.substr(0, 2)) || !SoDigitos(P.substr(2, 14))) return {"", 0, kTipoParametro};
  const int forma = static_cast<int>(Digitos(P.substr(0, 2))) - 1;
  return Recusa(fECF.Paga(forma, Digitos(P.substr(2, 14)), Apara(P.substr(16))));
}

SimBematech::Resultado SimBematech::FechaCupom(const std::string& P) {
  if (fECF.DocumentoAberto() != Documento::Cupom || !fECF.EmPagamento() || fECF.Saldo() > 0)
    return {"", 0, kNaoExecutado};
  if (P.size() > 492) return {"", kParametros, 0};
  return Recusa(fECF.FechaCupom(P));
}

SimBematech::Resultado SimBematech::CancelaCupom(const std::string&) {
  const ErroFiscal e = fECF.CancelaCupom();
  return e == ErroFiscal::Nenhum ? Resultado{} : Resultado{"", 0, kCancelamento};
}

SimBematech::Resultado SimBematech::CancelaItem(const std::string& P) {
  if (fECF.DocumentoAberto() != Documento::Cupom || fECF.EmPagamento()) return {"", 0, kCancelamento};
  if (P.size() != 4) return {"", kParametros, 0};
  if (!SoDigitos(P)) return {"", 0, kTipoParametro};
  const ErroFiscal e = fECF.CancelaItem(static_cast<int>(Digitos(P)));
  return e == ErroFiscal::Nenhum ? Resultado{} : Resultado{"", 0, kCancelamento};
}

// ---------------------------------------------------------------------------
// The day's reports and the non-fiscal documents.

SimBematech::Resultado SimBematech::LeituraX(const std::string&) { return Recusa(fECF.LeituraX()); }

SimBematech::Resultado SimBematech::ReducaoZ(const std::string& P) {
  if (fECF.CupomAberto()) return {"", kCupomAberto, 0};
  if (fECF.DocumentoAberto() != Documento::Nenhum || fECF.Bloqueada()) return {"", 0, kNaoExecutado};
  if (!P.empty() && P.size() != 12) return {"", kParametros, 0};
  if (!P.empty() && (!SoDigitos(P) || LeDdMmAa(P.substr(0, 6)) < 0)) return {"", 0, kTipoParametro};
  return Recusa(fECF.ReducaoZ());
}

SimBematech::Resultado SimBematech::LinhaGerencial(const std::string& P) {
  if (fECF.CupomAberto()) return {"", kCupomAberto, 0};
  // Inside a linked receipt the line feeds between copies come this way.
  if (fECF.DocumentoAberto() == Documento::Nenhum) {
    if (fECF.AbreGerencial() != ErroFiscal::Nenhum) return {"", 0, kNaoExecutado};
  }
  return Recusa(fECF.ImprimeTexto(P));
}

SimBematech::Resultado SimBematech::AbreVinculado(const std::string& P) {
  if (fECF.CupomAberto()) return {"", kCupomAberto, 0};
  if (fECF.DocumentoAberto() != Documento::Nenhum) return {"", 0, kNaoExecutado};
  const bool longo = fOpcoes.MFD || VersaoNumero() >= 310;
  if (P.size() != 16 && !(longo && P.size() == 36)) return {"", kParametros, 0};
  if (P.size() == 36 && (!SoDigitos(P.substr(16, 14)) || !SoDigitos(P.substr(30, 6))))
    return {"", 0, kTipoParametro};
  const int forma = fECF.AchaForma(P.substr(0, 16));
  const int64_t valor = P.size() == 36 ? Digitos(P.substr(16, 14)) : 0;
  const int coo = P.size() == 36 ? static_cast<int>(Digitos(P.substr(30, 6))) : 0;
  const ErroFiscal e = fECF.AbreVinculado(forma, valor, coo);
  return e == ErroFiscal::Nenhum ? Resultado{} : Resultado{"", 0, kNaoExecutado};
}

SimBematech::Resultado SimBematech::LinhaVinculado(const std::string& P) {
  if (fECF.DocumentoAberto() != Documento::Vinculado) return {"", 0, kNaoExecutado};
  return Recusa(fECF.ImprimeTexto(P));
}

SimBematech::Resultado SimBematech::FechaRelatorio(const std::string&) {
  return fECF.FechaRelatorio() == ErroFiscal::Nenhum ? Resultado{} : Resultado{"", 0, kNaoExecutado};
}

SimBematech::Resultado SimBematech::FechaNaoFiscal(const std::string& P) {
  // Closes whatever non-fiscal document was left open.
  const Documento d = fECF.DocumentoAberto();
  if (d == Documento::Gerencial || d == Documento::Vinculado) return FechaRelatorio(P);
  return {};
}

// ---------------------------------------------------------------------------
// The tables and settings.

SimBematech::Resultado SimBematech::ProgramaAliquota(const std::string& P) {
  if (fECF.CupomAberto()) return {"", kCupomAberto, 0};
  if (P.size() != 5) return {"", kParametros, 0};
  if (!SoDigitos(P) || (P[4] != '0' && P[4] != '1') || Digitos(P.substr(0, 4)) == 0)
    return {"", 0, kTipoParametro};
  int slot = -1;
  const ErroFiscal e = fECF.ProgramaAliquota({static_cast<int>(Digitos(P.substr(0, 4))), P[4] == '1', ""}, slot);
  return e == ErroFiscal::TabelaCheia ? Resultado{"", 0, kAliquotasLotada} : Recusa(e);
}

SimBematech::Resultado SimBematech::ProgramaFormaPagamento(const std::string& P) {
  const std::string vazio(2, '\0');
  if (P.size() != 16) return {vazio, kParametros, 0};
  int slot = -1;
  const ErroFiscal e = fECF.ProgramaForma({Apara(P), true, ""}, slot);
  // An existing description answers its index.
  if (e == ErroFiscal::Nenhum || e == ErroFiscal::JaProgramado)
    return {std::string{static_cast<char>((slot + 1) / 10), static_cast<char>((slot + 1) % 10)}, 0, 0};
  if (e == ErroFiscal::ValorInvalido) return {vazio, 0, kTipoParametro};
  Resultado r = Recusa(e);
  r.Dados = vazio;
  return r;
}

SimBematech::Resultado SimBematech::ProgramaComprovante(const std::string& P) {
  if (fECF.CupomAberto()) return {"", kCupomAberto, 0};
  if (P.size() != 21) return {"", kParametros, 0};
  if (!SoDigitos(P.substr(0, 2))) return {"", 0, kTipoParametro};
  int slot = static_cast<int>(Digitos(P.substr(0, 2))) - 1;
  if (slot < 0 || slot >= 50) return {"", 0, kTipoParametro};
  return Recusa(fECF.ProgramaNaoFiscal({Apara(P.substr(2)), true}, slot));
}

SimBematech::Resultado SimBematech::LeAliquotas(const std::string&) { return {TabelaAliquotas(), 0, 0}; }

SimBematech::Resultado SimBematech::HorarioVerao(const std::string&) {
  const ErroFiscal e = fECF.MudaHorarioVerao(!fECF.HorarioVerao());
  if (e == ErroFiscal::Nenhum) return {};
  return {"", e == ErroFiscal::CupomAberto ? kCupomAberto : 0, kNaoExecutado};
}

SimBematech::Resultado SimBematech::ProgramaArredonda(const std::string& P) {
  if (fECF.CupomAberto()) return {"", kCupomAberto, 0};
  if (P.size() != 1) return {"", kParametros, 0};
  if (P[0] == 1 || P[0] == '1') fECF.SetArredonda(true);
  else if (P[0] == 0 || P[0] == '0') fECF.SetArredonda(false);
  else return {"", 0, kTipoParametro};
  return {};
}

SimBematech::Resultado SimBematech::ImpactoAgulhas(const std::string& P) {
  // Older printers from version 3.10.
  if (fOpcoes.MFD || VersaoNumero() < 310) return {"", kInexistente, 0};
  if (P.size() != 1) return {"", kParametros, 0};
  if (P[0] < '1' || P[0] > '3') return {"", 0, kTipoParametro};
  return {};
}

std::string SimBematech::TabelaAliquotas() const {
  int n = 0;
  std::string valores;
  for (const AliquotaFiscal& a : fECF.Aliquotas()) {
    if (a.Valor) n++;
    valores += Zeros(a.Valor, 4);
  }
  return std::string(1, static_cast<char>(n)) + Bcd(valores);
}

std::string SimBematech::FlagsServico() const {
  int f1 = 0, f2 = 0;
  const auto& a = fECF.Aliquotas();
  for (size_t i = 0; i < 8; i++) {
    if (a[i].ISS) f1 |= 1 << (7 - i);
    if (a[i + 8].ISS) f2 |= 1 << (7 - i);
  }
  return {static_cast<char>(f1), static_cast<char>(f2)};
}

std::string SimBematech::TabelaFormas() const {
  // A count, the 16 descriptions (an empty slot is 16 NUL bytes, as on the
  // real printers), then each method's total in the day; the rest is zeros.
  int n = 0;
  std::string r;
  for (const auto& f : fECF.Formas()) {
    if (!f.Descricao.empty()) n++;
    r += Completa(f.Descricao, 16, f.Descricao.empty() ? '\0' : ' ');
  }
  for (int64_t t : fECF.Totais().PorForma) r += Bcd(Zeros(t, 14));
  return Completa(std::string(1, static_cast<char>(n)) + r, 1925, '\0');
}

std::string SimBematech::TabelaComprovantes() const {
  // 50 records of 31 bytes: use count (2), total (10), description (19).
  std::string r;
  for (const auto& c : fECF.NaoFiscais())
    r += Bcd("0000") + Bcd(Zeros(0, 20)) + Completa(c.Descricao, 19, c.Descricao.empty() ? '\0' : ' ');
  return r;
}

int SimBematech::Flags() const {
  int f = 0;
  const bool cupom = fECF.DocumentoAberto() == Documento::Cupom;
  if (cupom) f |= 0x01;
  if (cupom && fECF.EmPagamento()) f |= 0x02;
  if (fECF.HorarioVerao()) f |= 0x04;
  if (fECF.Bloqueada()) f |= 0x08;
  return f;
}

int SimBematech::VersaoNumero() const { return fOpcoes.MFD ? 10000 : static_cast<int>(Digitos(fVersao)); }

// ---------------------------------------------------------------------------
// Fiscal memory and checks.

SimBematech::Resultado SimBematech::MemoriaFiscal(const std::string& P) {
  if (P.size() != 13) return {"", kParametros, 0};
  const std::string a = P.substr(0, 6), b = P.substr(6, 6);
  if (!SoDigitos(a) || !SoDigitos(b) || (P[12] != 'I' && P[12] != 'R')) return {"", 0, kTipoParametro};
  // Two valid dates ask for a period; anything else is a range of reductions.
  const bool datas = LeDdMmAa(a) >= 0 && LeDdMmAa(b) >= 0;
  const long de = datas ? LeDdMmAa(a) : static_cast<long>(Digitos(a));
  const long ate = datas ? LeDdMmAa(b) : static_cast<long>(Digitos(b));
  if (P[12] == 'I') {
    const ErroFiscal e = fECF.ImprimeMemoriaFiscal(de, ate, datas);
    if (e == ErroFiscal::Nenhum) return {};
    return {"", e == ErroFiscal::CupomAberto ? kCupomAberto : 0, kNaoExecutado};
  }
  Resultado r;
  r.Variavel = true;
  for (const auto& l : fECF.TextoMemoriaFiscal(de, ate, datas)) r.Dados += l + "\r\n";
  return r;
}

SimBematech::Resultado SimBematech::Cheque(const std::string& P) {
  if (P.size() < 107 || P.size() > 227) return {"", kParametros, 0};
  if (!SoDigitos(P.substr(0, 14)) || !SoDigitos(P.substr(86, 8))) return {"", 0, kTipoParametro};
  const std::string d = P.substr(86, 8);
  const ErroFiscal e = fECF.ImprimeCheque(Digitos(P.substr(0, 14)), Apara(P.substr(14, 45)), Apara(P.substr(59, 27)),
                                          d.substr(0, 2) + "/" + d.substr(2, 2) + "/" + d.substr(4, 4),
                                          Apara(P.substr(107)));
  return e == ErroFiscal::Nenhum ? Resultado{} : Resultado{"", 0, kNaoExecutado};
}

// ---------------------------------------------------------------------------
// For tests.

int SimBematech::COO() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fECF.COO();
}

int SimBematech::CRZ() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fECF.CRZ();
}

bool SimBematech::CupomAberto() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fECF.DocumentoAberto() == Documento::Cupom;
}

bool SimBematech::RelatorioAberto() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fECF.DocumentoAberto() == Documento::Gerencial || fECF.DocumentoAberto() == Documento::Vinculado;
}

bool SimBematech::GavetaAberta() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fECF.GavetaAberta();
}

void SimBematech::SetGavetaAberta(bool Aberta) {
  std::lock_guard<std::mutex> trava(Trava());
  fECF.SetGavetaAberta(Aberta);
}

void SimBematech::SetChequePresente(bool Presente) {
  std::lock_guard<std::mutex> trava(Trava());
  fECF.SetChequePresente(Presente);
}

bool SimBematech::HorarioVerao() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fECF.HorarioVerao();
}

bool SimBematech::Arredonda() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fECF.Arredonda();
}

void SimBematech::AvancaRelogio(int64_t Segundos) {
  std::lock_guard<std::mutex> trava(Trava());
  fECF.AvancaRelogio(Segundos);
}

std::string SimBematech::FormaPagamento(int Indice) const {
  std::lock_guard<std::mutex> trava(Trava());
  return Indice >= 1 && Indice <= 16 ? fECF.Formas()[static_cast<size_t>(Indice - 1)].Descricao : "";
}

int SimBematech::Aliquota(int Indice) const {
  std::lock_guard<std::mutex> trava(Trava());
  return Indice >= 1 && Indice <= 16 ? fECF.Aliquotas()[static_cast<size_t>(Indice - 1)].Valor : 0;
}

std::vector<std::string> SimBematech::Comandos() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fComandos;
}

int SimBematech::Recusados() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fRecusados;
}

}  // namespace zuvo::sim
