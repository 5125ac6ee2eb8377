#include "sim/SimBematech.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>

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

int64_t AgoraMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

unsigned Byte(char c) { return static_cast<unsigned char>(c); }

bool SoDigitos(const std::string& s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int64_t Numero(const std::string& s) {
  int64_t v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

std::string Zeros(int64_t v, size_t Tamanho) {
  std::string s = std::to_string(v < 0 ? -v : v);
  if (s.size() < Tamanho) s.insert(0, Tamanho - s.size(), '0');
  return s;
}

// Packed BCD: two digits a byte, high nibble first.
std::string Bcd(std::string Digitos) {
  if (Digitos.size() % 2) Digitos.insert(0, 1, '0');
  std::string r;
  for (size_t i = 0; i < Digitos.size(); i += 2)
    r += static_cast<char>(((Digitos[i] - '0') << 4) | (Digitos[i + 1] - '0'));
  return r;
}

std::string Completa(std::string s, size_t Tamanho, char Com = ' ') {
  s.resize(Tamanho, Com);
  return s;
}

std::string Apara(const std::string& s) {
  size_t i = 0, f = s.size();
  while (i < f && Byte(s[i]) <= 32) i++;
  while (f > i && Byte(s[f - 1]) <= 32) f--;
  return s.substr(i, f - i);
}

std::string Maiusculas(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// 1234 cents as "12,34".
std::string Dinheiro(int64_t Centavos) {
  std::string s = (Centavos < 0 ? "-" : "") + std::to_string((Centavos < 0 ? -Centavos : Centavos) / 100);
  return s + "," + Zeros(Centavos % 100, 2);
}

// A quantity in thousandths as "1,500".
std::string Quantidade(int64_t Mil) { return std::to_string(Mil / 1000) + "," + Zeros(Mil % 1000, 3); }

// A date ddmmyy that a printer would take.
bool DataValida(const std::string& d) {
  if (d.size() != 6 || !SoDigitos(d)) return false;
  int dia = static_cast<int>(Numero(d.substr(0, 2))), mes = static_cast<int>(Numero(d.substr(2, 2)));
  return dia >= 1 && dia <= 31 && mes >= 1 && mes <= 12;
}

// ddmmyy as yymmdd, so that dates compare as text.
std::string Ordenavel(const std::string& d) { return d.substr(4, 2) + d.substr(2, 2) + d.substr(0, 2); }

}  // namespace

SimBematech::SimBematech(const OpcoesSimulador& Opcoes) : fOpcoes(Opcoes) {
  if (fOpcoes.Colunas <= 0) fOpcoes.Colunas = 48;
  // The 40-column printers are told apart by their serial number.
  const std::string prefixo = fOpcoes.Colunas == 40 ? "5708" : (fOpcoes.MFD ? "BE09" : "4708");
  fSerie = fOpcoes.MFD ? prefixo + "10SC550000012345" : prefixo + "01100012345";
  fSerie = Completa(fSerie, fOpcoes.MFD ? 20 : 15);
  fVersao = fOpcoes.MFD ? "010000" : "0310";
  fCOO = 123;
  fCRZ = 4;

  // What the shop programmed at installation.
  fAliquotas = {1800, 700, 1200, 2500, 500};
  fServico[4] = true;
  fFormas[0] = "Dinheiro";
  fFormas[1] = "Cheque";
  fFormas[2] = "Cartao Credito";
  fFormas[3] = "Cartao Debito";
  fComprovantes[0] = "Recebimento";
  fComprovantes[1] = "Conta de Luz";
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
  const int atraso = static_cast<int>(std::max<int64_t>(0, fOcupadoAte - agora));
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
  const Falhas& f = FalhasAtivas();
  if (f.SemACK) return 3 + n;  // the frame is lost: no acknowledgement, nothing done
  if ((soma & 0xFFFF) != checksum || f.Recusa) {
    fRecusados++;
    Responde(Out, std::string(1, NAK), atraso);
    return 3 + n;
  }

  Resultado r;
  fLinhasComando = 0;
  if (d[0] != ESC) {
    r.ST1 = kSemESC;
  } else {
    fComandos.push_back(d.substr(1));
    r = Executa(d.substr(1));
  }
  if (f.PoucoPapel) r.ST1 |= kPoucoPapel;
  if (f.SemPapel) r.ST1 |= kFimPapel;

  std::string resposta(1, ACK);
  if (r.Variavel) {
    resposta += std::string(1, static_cast<char>(r.ST1)) + static_cast<char>(r.ST2) + r.Dados + ETX;
  } else {
    resposta += r.Dados;
    resposta += static_cast<char>(r.ST1);
    resposta += static_cast<char>(r.ST2);
    // The detail-memory printers send a third status byte.
    if (fOpcoes.MFD) resposta += '\0';
  }
  Responde(Out, resposta, atraso);
  // Printing keeps the printer busy: what comes next waits for the paper.
  if (fLinhasComando > 0)
    fOcupadoAte = std::max(agora, fOcupadoAte) + TempoImpressao(fLinhasComando);
  return 3 + n;
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

SimBematech::Resultado SimBematech::Executa(const std::string& Cmd) {
  if (Cmd.empty()) return {"", kParametros, 0};
  if (FalhasAtivas().SemPapel && ComandoImprime(Cmd)) return {"", 0, kNaoExecutado};
  const std::string p = Cmd.substr(1);
  Resultado r;
  switch (Byte(Cmd[0])) {
    case 19:  // status: the open receipt shows in ST1
      if (fDoc == Documento::Cupom) r.ST1 = kCupomAberto;
      return r;
    case 35:
      return Consulta(p);
    case 62:  // '>': check printer and item extras
      if (p.empty()) return {"", kParametros, 0};
      switch (p[0]) {
        case '0':
          return {std::string(1, static_cast<char>(fChequePresente ? 0 : 0x20)), 0, 0};
        case '1':
          return r;
        case '3':
          if (VersaoNumero() < 300) return {"", kInexistente, 0};
          fUnidade = Apara(p.substr(1, 2));
          return r;
        case '4':
          if (VersaoNumero() < 300) return {"", kInexistente, 0};
          fDescricaoLonga = Apara(p.substr(1, 200));
          return r;
        default:
          return {"", kInexistente, 0};
      }
    case 0: return AbreCupom(p);
    case 9: case 56: return VendeItem(Cmd[0], p);
    case 63:
      if (!fOpcoes.MFD) return {"", kInexistente, 0};
      return VendeItemMFD(p);
    case 29:
      return {Bcd(Zeros(fDoc == Documento::Cupom ? TotalCupom() : 0, 14)), 0, 0};
    case 30:
      return {Bcd(Zeros(fCOO, 6)), 0, 0};
    case 32: return IniciaFechamento(p);
    case 'H': return Paga(p);
    case 34: return FechaCupom(p);
    case 14: return CancelaCupom();
    case 31: return CancelaItem(p);
    case 22:
      fGaveta = true;
      return r;
    case 23:
      return {std::string(1, static_cast<char>(fGaveta ? 1 : 0)), 0, 0};
    case 6: return LeituraX();
    case 5: return ReducaoZ(p);
    case 20: return LinhaGerencial(p);
    case 21: return FechaRelatorio();
    case 'B': return AbreVinculado(p);
    case 'C': return LinhaVinculado(p);
    case 7: return ProgramaAliquota(p);
    case 'G': return ProgramaFormaPagamento(p);
    case '(': return ProgramaComprovante(p);
    case 26:
      return {TabelaAliquotas(), 0, 0};
    case 18:
      if (fDoc != Documento::Nenhum) return {"", fDoc == Documento::Cupom ? kCupomAberto : 0, kNaoExecutado};
      fHorarioVerao = !fHorarioVerao;
      return r;
    case 39:
      if (fDoc == Documento::Cupom) return {"", kCupomAberto, 0};
      if (p.size() != 1) return {"", kParametros, 0};
      if (p[0] == 1 || p[0] == '1') fArredonda = true;
      else if (p[0] == 0 || p[0] == '0') fArredonda = false;
      else return {"", 0, kTipoParametro};
      return r;
    case '|':  // needle impact: older printers from version 3.10
      if (fOpcoes.MFD || VersaoNumero() < 310) return {"", kInexistente, 0};
      if (p.size() != 1) return {"", kParametros, 0};
      if (p[0] < '1' || p[0] > '3') return {"", 0, kTipoParametro};
      return r;
    case 'F':  // closes whatever non-fiscal document was left open
      if (fDoc == Documento::Relatorio || fDoc == Documento::Vinculado) return FechaRelatorio();
      return r;
    case 8: return MemoriaFiscal(p);
    case '9': return Cheque(p);
    default:
      return {"", kInexistente, 0};
  }
}

SimBematech::Resultado SimBematech::Consulta(const std::string& P) {
  if (P.empty()) return {"", kParametros, 0};
  switch (Byte(P[0])) {
    case 17: return {std::string(1, static_cast<char>(Flags())), 0, 0};
    case 23: return {Bcd(DataHora()), 0, 0};
    case 14: return {Bcd(Zeros(fNumECF, 4)), 0, 0};
    case 10: return {Bcd(Zeros(fCRO, 4)), 0, 0};
    case 15: return {Bcd(Zeros(fNumLoja, 4)), 0, 0};
    case 0: return {Completa(fSerie.substr(0, 15), 15), 0, 0};
    case 1: return {Bcd(fVersao.substr(0, 4)), 0, 0};
    case 22: return {Bcd(Zeros(fDoc == Documento::Cupom ? PagoCupom() : 0, 14)), 0, 0};
    case 28: return {std::string(1, static_cast<char>(fArredonda ? 1 : 0)), 0, 0};
    case 29: return {FlagsServico(), 0, 0};
    case 32: return {TabelaFormas(), 0, 0};
    case 33: return {TabelaComprovantes(), 0, 0};
    default: break;
  }
  if (!fOpcoes.MFD) return {"", kInexistente, 0};
  switch (Byte(P[0])) {
    case 40: return {Completa(fSerie, 20), 0, 0};
    case 41: return {Bcd(fVersao), 0, 0};
    case 60:
      return {Completa(fOpcoes.Termica ? "MP-4000 TH FI" : "MP-6000 FI", 42), 0, 0};
    case 27:
      return {Bcd(fDataMovimento.empty() ? "000000" : fDataMovimento), 0, 0};
    default:
      return {"", kInexistente, 0};
  }
}

// ---------------------------------------------------------------------------
// The fiscal receipt.

SimBematech::Resultado SimBematech::AbreCupom(const std::string& P) {
  if (fDoc == Documento::Cupom) return {"", kCupomAberto, 0};
  if (fDoc != Documento::Nenhum || RequerZ() || BloqueadaHoje()) return {"", 0, kNaoExecutado};
  if (P.size() > 29) return {"", kParametros, 0};
  fCOO++;
  MarcaMovimento();
  fDoc = Documento::Cupom;
  fFase = Fase::Venda;
  fItens.clear();
  fPagamentos.clear();
  fAcrescimo = 0;
  fUltimoFoiCupom = false;
  Cabecalho("CUPOM FISCAL");
  if (!Apara(P).empty()) Linha("CPF/CNPJ consumidor: " + Apara(P));
  Linha("ITEM CODIGO DESCRICAO");
  Linha("QTD.UN.VL UNIT(R$) ST VL ITEM(R$)");
  return {};
}

SimBematech::Resultado SimBematech::VendeItem(char Comando, const std::string& P) {
  if (fDoc != Documento::Cupom || fFase != Fase::Venda) return {"", 0, kNaoExecutado};
  if (P.size() != 60 && P.size() != 63) return {"", kParametros, 0};
  const size_t tamQtd = P.size() == 60 ? 4 : 7;
  const std::string qtd = P.substr(44, tamQtd), preco = P.substr(44 + tamQtd, 8),
                    desconto = P.substr(52 + tamQtd, 4);
  if (!SoDigitos(qtd) || !SoDigitos(preco) || !SoDigitos(desconto)) return {"", 0, kTipoParametro};
  Item it;
  it.Codigo = Apara(P.substr(0, 13));
  it.Descricao = Apara(P.substr(13, 29));
  it.Indice = P.substr(42, 2);
  it.QtdMil = tamQtd == 4 ? Numero(qtd) * 1000 : Numero(qtd);
  it.PrecoMil = Comando == 9 ? Numero(preco) * 10 : Numero(preco);
  const int64_t porc = Numero(desconto);  // hundredths of a percent
  if (porc > 10000) return {"", 0, kTipoParametro};
  if (!fDescricaoLonga.empty()) it.Descricao = fDescricaoLonga;
  it.Unidade = fUnidade;
  fDescricaoLonga.clear();
  fUnidade.clear();
  const int64_t bruto = it.QtdMil * it.PrecoMil;  // millionths of a real
  it.Valor = fArredonda ? (bruto + 5000) / 10000 : bruto / 10000;
  it.Desconto = (it.Valor * porc + 5000) / 10000;
  return Registra(std::move(it));
}

SimBematech::Resultado SimBematech::VendeItemMFD(const std::string& P) {
  if (fDoc != Documento::Cupom || fFase != Fase::Venda) return {"", 0, kNaoExecutado};
  if (P.size() < 64) return {"", kParametros, 0};
  const size_t fimCodigo = P.find('\0', 62);
  const size_t fimDescricao = fimCodigo == std::string::npos ? fimCodigo : P.find('\0', fimCodigo + 1);
  if (fimDescricao == std::string::npos || fimDescricao + 1 != P.size()) return {"", kParametros, 0};
  const std::string preco = P.substr(2, 9), qtd = P.substr(11, 7), desconto = P.substr(18, 10);
  if (!SoDigitos(preco) || !SoDigitos(qtd) || !SoDigitos(desconto)) return {"", 0, kTipoParametro};
  Item it;
  it.Indice = P.substr(0, 2);
  it.PrecoMil = Numero(preco);
  it.QtdMil = Numero(qtd);
  it.Unidade = Apara(P.substr(60, 2));
  it.Codigo = Apara(P.substr(62, fimCodigo - 62));
  it.Descricao = Apara(P.substr(fimCodigo + 1, fimDescricao - fimCodigo - 1));
  const int64_t bruto = it.QtdMil * it.PrecoMil;
  it.Valor = fArredonda ? (bruto + 5000) / 10000 : bruto / 10000;
  it.Desconto = Numero(desconto);
  if (it.Desconto > it.Valor) return {"", 0, kTipoParametro};
  return Registra(std::move(it));
}

SimBematech::Resultado SimBematech::Registra(Item It) {
  if (It.QtdMil <= 0 || It.PrecoMil <= 0) return {"", 0, kTipoParametro};
  std::string simbolo;
  if (It.Indice == "FF" || It.Indice == "II" || It.Indice == "NN") {
    simbolo = It.Indice.substr(0, 1) + "1";
  } else {
    if (!SoDigitos(It.Indice)) return {"", 0, kSemAliquota};
    const int64_t i = Numero(It.Indice);
    if (i < 1 || i > 16 || fAliquotas[i - 1] == 0) return {"", 0, kSemAliquota};
    const int a = fAliquotas[i - 1];
    simbolo = std::string(fServico[i - 1] ? "S" : "T") + Zeros(a / 100, 2) + "," + Zeros(a % 100, 2) + "%";
  }
  fItens.push_back(It);
  const size_t col = static_cast<size_t>(fOpcoes.Colunas);
  std::string titulo = Zeros(static_cast<int64_t>(fItens.size()), 3) + " " + It.Codigo + " " + It.Descricao;
  for (size_t i = 0; i < titulo.size(); i += col) Linha(titulo.substr(i, col));
  std::string conta = "    " + Quantidade(It.QtdMil) + (It.Unidade.empty() ? "" : It.Unidade) + " x " +
                      Dinheiro((It.PrecoMil + 5) / 10) + " " + simbolo;
  std::string valor = Dinheiro(It.Valor);
  Linha(conta + std::string(col > conta.size() + valor.size() ? col - conta.size() - valor.size() : 1, ' ') + valor);
  if (It.Desconto > 0) Linha("    desconto item " + Dinheiro(-It.Desconto));
  return {};
}

SimBematech::Resultado SimBematech::IniciaFechamento(const std::string& P) {
  if (fDoc != Documento::Cupom || fFase != Fase::Venda) return {"", 0, kNaoExecutado};
  if (P.size() != 15) return {"", kParametros, 0};
  const char tipo = static_cast<char>(std::tolower(static_cast<unsigned char>(P[0])));
  if ((tipo != 'a' && tipo != 'd') || !SoDigitos(P.substr(1))) return {"", 0, kTipoParametro};
  if (TotalItens() <= 0) return {"", 0, kNaoExecutado};
  const int64_t v = Numero(P.substr(1));
  if (tipo == 'd' && v >= TotalItens()) return {"", 0, kNaoExecutado};
  fAcrescimo = tipo == 'a' ? v : -v;
  fFase = Fase::Pagamento;
  Linha("SUBTOTAL R$ " + Dinheiro(TotalItens()));
  if (fAcrescimo > 0) Linha("ACRESCIMO R$ " + Dinheiro(fAcrescimo));
  if (fAcrescimo < 0) Linha("DESCONTO R$ " + Dinheiro(fAcrescimo));
  Linha("TOTAL R$ " + Dinheiro(TotalCupom()));
  return {};
}

SimBematech::Resultado SimBematech::Paga(const std::string& P) {
  if (fDoc != Documento::Cupom || fFase != Fase::Pagamento) return {"", 0, kNaoExecutado};
  if (P.size() < 16 || P.size() > 96) return {"", kParametros, 0};
  if (!SoDigitos(P.substr(0, 2)) || !SoDigitos(P.substr(2, 14))) return {"", 0, kTipoParametro};
  const int64_t i = Numero(P.substr(0, 2));
  if (i < 1 || i > 16 || fFormas[i - 1].empty()) return {"", 0, kNaoExecutado};
  if (PagoCupom() >= TotalCupom()) return {"", 0, kNaoExecutado};
  const int64_t v = Numero(P.substr(2, 14));
  if (v <= 0) return {"", 0, kTipoParametro};
  fPagamentos.push_back({static_cast<int>(i), v});
  std::string valor = Dinheiro(v);
  const size_t col = static_cast<size_t>(fOpcoes.Colunas);
  Linha(fFormas[i - 1] + std::string(col > fFormas[i - 1].size() + valor.size() ? col - fFormas[i - 1].size() - valor.size() : 1, ' ') + valor);
  if (!Apara(P.substr(16)).empty()) Linha(Apara(P.substr(16)));
  return {};
}

SimBematech::Resultado SimBematech::FechaCupom(const std::string& P) {
  if (fDoc != Documento::Cupom || fFase != Fase::Pagamento || PagoCupom() < TotalCupom())
    return {"", 0, kNaoExecutado};
  if (P.size() > 492) return {"", kParametros, 0};
  if (PagoCupom() > TotalCupom()) Linha("TROCO R$ " + Dinheiro(PagoCupom() - TotalCupom()));
  LinhasTexto(P);
  Linha(std::string(static_cast<size_t>(fOpcoes.Colunas), '-'));
  Linha("BEMATECH " + std::string(fOpcoes.MFD ? "MP-6000 FI" : "MP-20 FI II") + " ECF-IF");
  Linha("VERSAO:" + fVersao + " ECF:" + Zeros(fNumECF, 3) + " LJ:" + Zeros(fNumLoja, 4));
  Linha("FAB:" + Apara(fSerie));

  for (const Item& it : fItens) {
    if (it.Cancelado) continue;
    fVendaBruta += it.Valor;
    fDescontos += it.Desconto;
    if (SoDigitos(it.Indice)) fTotalAliquotas[static_cast<size_t>(Numero(it.Indice) - 1)] += it.Valor - it.Desconto;
  }
  if (fAcrescimo > 0) fAcrescimos += fAcrescimo;
  else fDescontos -= fAcrescimo;
  fGT += TotalCupom();
  int64_t troco = PagoCupom() - TotalCupom();
  for (const Pagamento& p : fPagamentos) fTotalFormas[static_cast<size_t>(p.Indice - 1)] += p.Valor;
  fTotalFormas[0] -= troco;  // change is given in cash

  fUltimoFoiCupom = true;
  fUltimoCOO = fCOO;
  fUltimosPagamentos = fPagamentos;
  fUltimoTotal = TotalCupom();
  fDoc = Documento::Nenhum;
  fItens.clear();
  fPagamentos.clear();
  fAcrescimo = 0;
  return {};
}

SimBematech::Resultado SimBematech::CancelaCupom() {
  if (fDoc == Documento::Cupom) {
    // This older printer will not cancel a receipt with nothing sold in it.
    if (!fOpcoes.MFD && fFase == Fase::Venda && TotalItens() == 0) return {"", 0, kCancelamento};
    fCancelamentos += fFase == Fase::Venda ? TotalItens() : TotalCupom();
    Linha("*** CUPOM FISCAL CANCELADO ***");
    Linha("COO: " + Zeros(fCOO, 6) + "  VALOR R$ " + Dinheiro(fFase == Fase::Venda ? TotalItens() : TotalCupom()));
    fDoc = Documento::Nenhum;
    fItens.clear();
    fPagamentos.clear();
    fAcrescimo = 0;
    fUltimoFoiCupom = false;
    return {};
  }
  if (fDoc != Documento::Nenhum || !fUltimoFoiCupom) return {"", 0, kCancelamento};
  // The last receipt, while nothing else was issued after it.
  fCOO++;
  fCancelamentos += fUltimoTotal;
  Cabecalho("CUPOM FISCAL CANCELADO");
  Linha("COO do cupom cancelado: " + Zeros(fUltimoCOO, 6));
  Linha("VALOR R$ " + Dinheiro(fUltimoTotal));
  fUltimoFoiCupom = false;
  return {};
}

SimBematech::Resultado SimBematech::CancelaItem(const std::string& P) {
  if (fDoc != Documento::Cupom || fFase != Fase::Venda) return {"", 0, kCancelamento};
  if (P.size() != 4) return {"", kParametros, 0};
  if (!SoDigitos(P)) return {"", 0, kTipoParametro};
  const int64_t n = Numero(P);
  if (n < 1 || n > static_cast<int64_t>(fItens.size()) || fItens[static_cast<size_t>(n - 1)].Cancelado)
    return {"", 0, kCancelamento};
  Item& it = fItens[static_cast<size_t>(n - 1)];
  it.Cancelado = true;
  fCancelamentos += it.Valor - it.Desconto;
  Linha("CANCELAMENTO ITEM " + Zeros(n, 3) + "  " + Dinheiro(-(it.Valor - it.Desconto)));
  return {};
}

// ---------------------------------------------------------------------------
// The day's reports and the non-fiscal documents.

SimBematech::Resultado SimBematech::LeituraX() {
  if (fDoc == Documento::Cupom) return {"", kCupomAberto, 0};
  if (fDoc != Documento::Nenhum) return {"", 0, kNaoExecutado};
  fCOO++;
  fUltimoFoiCupom = false;
  Cabecalho("LEITURA X");
  Totais("LEITURA X");
  return {};
}

SimBematech::Resultado SimBematech::ReducaoZ(const std::string& P) {
  if (fDoc == Documento::Cupom) return {"", kCupomAberto, 0};
  if (fDoc != Documento::Nenhum || BloqueadaHoje()) return {"", 0, kNaoExecutado};
  if (!P.empty() && P.size() != 12) return {"", kParametros, 0};
  if (!P.empty() && (!SoDigitos(P) || !DataValida(P.substr(0, 6)))) return {"", 0, kTipoParametro};
  fCOO++;
  fCRZ++;
  fUltimoFoiCupom = false;
  Cabecalho("REDUCAO Z");
  Totais("REDUCAO Z");
  const std::string dia = fDataMovimento.empty() ? Hoje() : fDataMovimento;
  fMemoriaFiscal.push_back({fCRZ, dia, fVendaBruta, fGT});
  fDataUltimaZ = dia;
  fDataMovimento.clear();
  fVendaBruta = fCancelamentos = fDescontos = fAcrescimos = 0;
  fTotalAliquotas.fill(0);
  fTotalFormas.fill(0);
  return {};
}

SimBematech::Resultado SimBematech::LinhaGerencial(const std::string& P) {
  if (fDoc == Documento::Cupom) return {"", kCupomAberto, 0};
  // Inside a linked receipt the line feeds between copies come this way.
  if (fDoc == Documento::Vinculado) return LinhaVinculado(P);
  if (fDoc == Documento::Nenhum) {
    if (RequerZ() || BloqueadaHoje()) return {"", 0, kNaoExecutado};
    fCOO++;
    fGNF++;
    MarcaMovimento();
    fUltimoFoiCupom = false;
    fDoc = Documento::Relatorio;
    Cabecalho("RELATORIO GERENCIAL");
  }
  LinhasTexto(P);
  return {};
}

SimBematech::Resultado SimBematech::AbreVinculado(const std::string& P) {
  if (fDoc == Documento::Cupom) return {"", kCupomAberto, 0};
  if (fDoc != Documento::Nenhum) return {"", 0, kNaoExecutado};
  const bool longo = fOpcoes.MFD || VersaoNumero() >= 310;
  if (P.size() != 16 && !(longo && P.size() == 36)) return {"", kParametros, 0};
  if (P.size() == 36 && (!SoDigitos(P.substr(16, 14)) || !SoDigitos(P.substr(30, 6))))
    return {"", 0, kTipoParametro};
  if (!fUltimoFoiCupom) return {"", 0, kNaoExecutado};
  const std::string desc = Maiusculas(Apara(P.substr(0, 16)));
  int indice = 0;
  for (int i = 0; i < 16; i++)
    if (!fFormas[static_cast<size_t>(i)].empty() && Maiusculas(fFormas[static_cast<size_t>(i)]) == desc) indice = i + 1;
  int64_t pago = 0;
  for (const Pagamento& p : fUltimosPagamentos)
    if (p.Indice == indice) pago += p.Valor;
  if (indice == 0 || pago == 0) return {"", 0, kNaoExecutado};
  if (P.size() == 36) {
    const int64_t coo = Numero(P.substr(30, 6)), valor = Numero(P.substr(16, 14));
    if ((coo != 0 && coo != fUltimoCOO) || valor > pago) return {"", 0, kNaoExecutado};
  }
  fCOO++;
  fDoc = Documento::Vinculado;
  Cabecalho("COMPROVANTE CREDITO OU DEBITO");
  Linha("COO do documento vinculado: " + Zeros(fUltimoCOO, 6));
  Linha(fFormas[static_cast<size_t>(indice - 1)] + " R$ " + Dinheiro(pago));
  return {};
}

SimBematech::Resultado SimBematech::LinhaVinculado(const std::string& P) {
  if (fDoc != Documento::Vinculado) return {"", 0, kNaoExecutado};
  LinhasTexto(P);
  return {};
}

SimBematech::Resultado SimBematech::FechaRelatorio() {
  if (fDoc != Documento::Relatorio && fDoc != Documento::Vinculado) return {"", 0, kNaoExecutado};
  Linha(std::string(static_cast<size_t>(fOpcoes.Colunas), '-'));
  Linha("FAB:" + Apara(fSerie) + "  COO:" + Zeros(fCOO, 6));
  fDoc = Documento::Nenhum;
  return {};
}

// ---------------------------------------------------------------------------
// The tables.

SimBematech::Resultado SimBematech::ProgramaAliquota(const std::string& P) {
  if (fDoc == Documento::Cupom) return {"", kCupomAberto, 0};
  if (P.size() != 5) return {"", kParametros, 0};
  if (!SoDigitos(P) || (P[4] != '0' && P[4] != '1') || Numero(P.substr(0, 4)) == 0)
    return {"", 0, kTipoParametro};
  for (size_t i = 0; i < 16; i++) {
    if (fAliquotas[i] != 0) continue;
    fAliquotas[i] = static_cast<int>(Numero(P.substr(0, 4)));
    fServico[i] = P[4] == '1';
    return {};
  }
  return {"", 0, kAliquotasLotada};
}

SimBematech::Resultado SimBematech::ProgramaFormaPagamento(const std::string& P) {
  const std::string vazio(2, '\0');
  if (P.size() != 16) return {vazio, kParametros, 0};
  const std::string desc = Apara(P);
  if (desc.empty()) return {vazio, 0, kTipoParametro};
  size_t livre = 16;
  for (size_t i = 0; i < 16; i++) {
    if (fFormas[i].empty()) {
      livre = std::min(livre, i);
      continue;
    }
    // An existing description answers its index.
    if (Maiusculas(fFormas[i]) == Maiusculas(desc))
      return {std::string{static_cast<char>((i + 1) / 10), static_cast<char>((i + 1) % 10)}, 0, 0};
  }
  if (livre == 16) return {vazio, 0, kNaoExecutado};
  fFormas[livre] = desc;
  return {std::string{static_cast<char>((livre + 1) / 10), static_cast<char>((livre + 1) % 10)}, 0, 0};
}

SimBematech::Resultado SimBematech::ProgramaComprovante(const std::string& P) {
  if (fDoc == Documento::Cupom) return {"", kCupomAberto, 0};
  if (P.size() != 21) return {"", kParametros, 0};
  if (!SoDigitos(P.substr(0, 2))) return {"", 0, kTipoParametro};
  const int64_t n = Numero(P.substr(0, 2));
  if (n < 1 || n > 50 || Apara(P.substr(2)).empty()) return {"", 0, kTipoParametro};
  fComprovantes[static_cast<size_t>(n - 1)] = Apara(P.substr(2));
  return {};
}

std::string SimBematech::TabelaAliquotas() const {
  int n = 0;
  std::string valores;
  for (int a : fAliquotas) {
    if (a) n++;
    valores += Zeros(a, 4);
  }
  return std::string(1, static_cast<char>(n)) + Bcd(valores);
}

std::string SimBematech::FlagsServico() const {
  int f1 = 0, f2 = 0;
  for (int i = 0; i < 8; i++) {
    if (fServico[static_cast<size_t>(i)]) f1 |= 1 << (7 - i);
    if (fServico[static_cast<size_t>(i + 8)]) f2 |= 1 << (7 - i);
  }
  return {static_cast<char>(f1), static_cast<char>(f2)};
}

std::string SimBematech::TabelaFormas() const {
  // A count, the 16 descriptions (an empty slot is 16 NUL bytes, as on the
  // real printers), then each method's total in the day; the rest is zeros.
  int n = 0;
  std::string r;
  for (const auto& f : fFormas) {
    if (!f.empty()) n++;
    r += Completa(f, 16, f.empty() ? '\0' : ' ');
  }
  for (int64_t t : fTotalFormas) r += Bcd(Zeros(t, 14));
  return Completa(std::string(1, static_cast<char>(n)) + r, 1925, '\0');
}

std::string SimBematech::TabelaComprovantes() const {
  // 50 records of 31 bytes: use count (2), total (10), description (19).
  std::string r;
  for (const auto& c : fComprovantes)
    r += Bcd("0000") + Bcd(Zeros(0, 20)) + Completa(c, 19, c.empty() ? '\0' : ' ');
  return r;
}

int SimBematech::Flags() const {
  int f = 0;
  if (fDoc == Documento::Cupom) f |= 0x01;
  if (fDoc == Documento::Cupom && fFase == Fase::Pagamento) f |= 0x02;
  if (fHorarioVerao) f |= 0x04;
  if (BloqueadaHoje()) f |= 0x08;
  return f;
}

// ---------------------------------------------------------------------------
// Fiscal memory and checks.

SimBematech::Resultado SimBematech::MemoriaFiscal(const std::string& P) {
  if (P.size() != 13) return {"", kParametros, 0};
  const std::string a = P.substr(0, 6), b = P.substr(6, 6);
  if (!SoDigitos(a) || !SoDigitos(b) || (P[12] != 'I' && P[12] != 'R')) return {"", 0, kTipoParametro};
  const bool serial = P[12] == 'R';
  if (!serial && fDoc != Documento::Nenhum)
    return {"", fDoc == Documento::Cupom ? kCupomAberto : 0, kNaoExecutado};
  // Two valid dates ask for a period; anything else is a range of reductions.
  const bool datas = DataValida(a) && DataValida(b);
  std::vector<std::string> linhas{"LEITURA DA MEMORIA FISCAL"};
  linhas.push_back(datas ? "PERIODO: " + a.substr(0, 2) + "/" + a.substr(2, 2) + "/" + a.substr(4, 2) + " A " +
                               b.substr(0, 2) + "/" + b.substr(2, 2) + "/" + b.substr(4, 2)
                         : "REDUCOES: " + a + " A " + b);
  for (const Reducao& z : fMemoriaFiscal) {
    const bool dentro = datas ? Ordenavel(z.Data) >= Ordenavel(a) && Ordenavel(z.Data) <= Ordenavel(b)
                              : z.CRZ >= Numero(a) && z.CRZ <= Numero(b);
    if (!dentro) continue;
    linhas.push_back("CRZ:" + Zeros(z.CRZ, 4) + " " + z.Data.substr(0, 2) + "/" + z.Data.substr(2, 2) + "/" +
                     z.Data.substr(4, 2) + " VB:" + Dinheiro(z.VendaBruta));
    linhas.push_back("  GT:" + Dinheiro(z.GT));
  }
  linhas.push_back("GRANDE TOTAL: " + Dinheiro(fGT));
  if (serial) {
    Resultado r;
    r.Variavel = true;
    for (const auto& l : linhas) r.Dados += l + "\r\n";
    return r;
  }
  fCOO++;
  fUltimoFoiCupom = false;
  Cabecalho("LEITURA DA MEMORIA FISCAL");
  for (size_t i = 1; i < linhas.size(); i++) Linha(linhas[i]);
  return {};
}

SimBematech::Resultado SimBematech::Cheque(const std::string& P) {
  if (P.size() < 107 || P.size() > 227) return {"", kParametros, 0};
  if (!SoDigitos(P.substr(0, 14)) || !SoDigitos(P.substr(86, 8))) return {"", 0, kTipoParametro};
  if (!fChequePresente) return {"", 0, kNaoExecutado};
  const std::string data = P.substr(86, 8);
  // The check goes through the check printer; the roll keeps a note of it.
  Simulador::Imprime("[CHEQUE] R$ " + Dinheiro(Numero(P.substr(0, 14))) + " " + Apara(P.substr(14, 45)));
  Simulador::Imprime("[CHEQUE] " + Apara(P.substr(59, 27)) + ", " + data.substr(0, 2) + "/" + data.substr(2, 2) +
                     "/" + data.substr(4, 4) + (P.size() > 107 ? " " + Apara(P.substr(107)) : ""));
  return {};
}

// ---------------------------------------------------------------------------
// Printing.

void SimBematech::Linha(const std::string& Texto) {
  std::string t = Texto.substr(0, static_cast<size_t>(fOpcoes.Colunas));
  while (!t.empty() && t.back() == ' ') t.pop_back();
  Simulador::Imprime(t);
  fLinhasComando++;
}

void SimBematech::Cabecalho(const std::string& Titulo) {
  const size_t col = static_cast<size_t>(fOpcoes.Colunas);
  auto centro = [col](const std::string& s) {
    return s.size() >= col ? s : std::string((col - s.size()) / 2, ' ') + s;
  };
  const std::string dh = DataHora();
  Linha(centro("ZUVO COMERCIO DE ALIMENTOS LTDA"));
  Linha(centro("RUA DAS PALMEIRAS, 100 - CENTRO"));
  Linha("CNPJ:00.000.000/0001-91 IE:111.111.111.111");
  Linha(std::string(col, '-'));
  Linha(dh.substr(0, 2) + "/" + dh.substr(2, 2) + "/20" + dh.substr(4, 2) + " " + dh.substr(6, 2) + ":" +
        dh.substr(8, 2) + ":" + dh.substr(10, 2) + "   COO:" + Zeros(fCOO, 6));
  Linha(centro(Titulo));
  Linha(std::string(col, '-'));
}

void SimBematech::Totais(const std::string& Titulo) {
  Linha("CONTADORES");
  Linha("COO: " + Zeros(fCOO, 6) + "  CRZ: " + Zeros(fCRZ, 4) + "  CRO: " + Zeros(fCRO, 4));
  Linha("GNF: " + Zeros(fGNF, 6));
  Linha("TOTALIZADORES");
  Linha("VENDA BRUTA DIARIA: " + Dinheiro(fVendaBruta));
  Linha("GRANDE TOTAL: " + Dinheiro(fGT));
  Linha("CANCELAMENTOS: " + Dinheiro(fCancelamentos));
  Linha("DESCONTOS: " + Dinheiro(fDescontos));
  Linha("ACRESCIMOS: " + Dinheiro(fAcrescimos));
  for (size_t i = 0; i < 16; i++) {
    if (fAliquotas[i] == 0) continue;
    Linha(Zeros(static_cast<int64_t>(i + 1), 2) + (fServico[i] ? " S" : " T") + Zeros(fAliquotas[i] / 100, 2) + "," +
          Zeros(fAliquotas[i] % 100, 2) + "%: " + Dinheiro(fTotalAliquotas[i]));
  }
  Linha("MEIOS DE PAGAMENTO");
  for (size_t i = 0; i < 16; i++)
    if (!fFormas[i].empty()) Linha(fFormas[i] + ": " + Dinheiro(fTotalFormas[i]));
  Linha("FIM DA " + Titulo);
}

void SimBematech::LinhasTexto(const std::string& Texto) {
  // Lines end with LF (a CR before it is dropped); a text that ends with LF
  // does not print one more empty line, and long lines wrap.
  const size_t col = static_cast<size_t>(fOpcoes.Colunas);
  size_t inicio = 0;
  while (inicio < Texto.size()) {
    size_t fim = Texto.find('\n', inicio);
    std::string l = Texto.substr(inicio, fim == std::string::npos ? std::string::npos : fim - inicio);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (l.empty()) Linha("");
    for (size_t i = 0; i < l.size(); i += col) Linha(l.substr(i, col));
    if (fim == std::string::npos) break;
    inicio = fim + 1;
  }
}

// ---------------------------------------------------------------------------
// The clock and the fiscal day.

std::string SimBematech::DataHora() const {
  std::time_t t = std::time(nullptr) + static_cast<std::time_t>(fDesvioRelogio);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  char s[80];
  std::snprintf(s, sizeof(s), "%02d%02d%02d%02d%02d%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return s;
}

std::string SimBematech::Hoje() const { return DataHora().substr(0, 6); }

bool SimBematech::RequerZ() const { return !fDataMovimento.empty() && fDataMovimento != Hoje(); }

bool SimBematech::BloqueadaHoje() const { return fDataUltimaZ == Hoje(); }

void SimBematech::MarcaMovimento() {
  if (fDataMovimento.empty()) fDataMovimento = Hoje();
}

int64_t SimBematech::TotalItens() const {
  int64_t t = 0;
  for (const Item& it : fItens)
    if (!it.Cancelado) t += it.Valor - it.Desconto;
  return t;
}

int64_t SimBematech::TotalCupom() const { return TotalItens() + fAcrescimo; }

int64_t SimBematech::PagoCupom() const {
  int64_t t = 0;
  for (const Pagamento& p : fPagamentos) t += p.Valor;
  return t;
}

int SimBematech::VersaoNumero() const {
  return fOpcoes.MFD ? 10000 : static_cast<int>(Numero(fVersao));
}

// ---------------------------------------------------------------------------
// For tests.

int SimBematech::COO() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fCOO;
}

int SimBematech::CRZ() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fCRZ;
}

bool SimBematech::CupomAberto() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fDoc == Documento::Cupom;
}

bool SimBematech::RelatorioAberto() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fDoc == Documento::Relatorio || fDoc == Documento::Vinculado;
}

bool SimBematech::GavetaAberta() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fGaveta;
}

void SimBematech::SetGavetaAberta(bool Aberta) {
  std::lock_guard<std::mutex> trava(Trava());
  fGaveta = Aberta;
}

void SimBematech::SetChequePresente(bool Presente) {
  std::lock_guard<std::mutex> trava(Trava());
  fChequePresente = Presente;
}

bool SimBematech::HorarioVerao() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fHorarioVerao;
}

bool SimBematech::Arredonda() const {
  std::lock_guard<std::mutex> trava(Trava());
  return fArredonda;
}

void SimBematech::AvancaRelogio(int64_t Segundos) {
  std::lock_guard<std::mutex> trava(Trava());
  fDesvioRelogio += Segundos;
}

std::string SimBematech::FormaPagamento(int Indice) const {
  std::lock_guard<std::mutex> trava(Trava());
  return Indice >= 1 && Indice <= 16 ? fFormas[static_cast<size_t>(Indice - 1)] : "";
}

int SimBematech::Aliquota(int Indice) const {
  std::lock_guard<std::mutex> trava(Trava());
  return Indice >= 1 && Indice <= 16 ? fAliquotas[static_cast<size_t>(Indice - 1)] : 0;
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
