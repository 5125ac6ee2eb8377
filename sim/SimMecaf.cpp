#include "sim/SimMecaf.h"

#include <algorithm>

#include "sim/Formatos.h"

namespace zuvo::sim {

namespace {

const char STX = 2;
const char ETX = 3;
const char ESC = 27;

std::string Hex2(int V) {
  const char* d = "0123456789ABCDEF";
  return std::string{d[(V >> 4) & 15], d[V & 15]};
}

std::string VersaoDe(const std::string& Variante) {
  if (Variante == "201") return "MF0201A";
  if (Variante == "301") return "MF0301A";
  return "MF0104A";
}

ModeloImpressora Modelo(const std::string& Versao) {
  ModeloImpressora m;
  m.Modelo = "MECAF FISCAL";
  m.Versao = Versao;
  m.NumSerie = "MC00012345";
  m.Colunas =
      Versao.find("201") != std::string::npos || Versao.find("301") != std::string::npos ? 48 : 40;
  return m;
}

// The tax code of a sale: F00, I00, N00 or T + slot.
int SlotTributo(const std::string& Codigo) {
  if (Codigo == "F00") return kSubstituicao;
  if (Codigo == "I00") return kIsento;
  if (Codigo == "N00") return kNaoIncidencia;
  const int64_t n = Digitos(Trecho(Codigo, 1, 2));
  if (Codigo.size() != 3 || Codigo[0] != 'T' || n < 0 || n > 15) return -100;
  return static_cast<int>(n);
}

}  // namespace

SimMecaf::SimMecaf(const OpcoesSimulador& Opcoes)
    : fVersao(VersaoDe(Opcoes.Variante)),
      fECF(
          Modelo(fVersao), [this](const std::string& l) { Imprime(l); },
          [this] { return FalhasAtivas().SemPapel; }) {
  Contadores c;
  c.COO = 230;
  c.CRO = 2;
  c.CRZ = 11;
  fECF.SetContadores(c);
  // What the shop programmed at installation: slot 00 is left empty, slot 04
  // is a service (ISS) rate.
  const int taxas[] = {1800, 700, 1200, 500};
  for (int i = 0; i < 4; i++) fECF.SetAliquota(i + 1, {taxas[i], i == 3, ""});
  fECF.SetForma(0, {"Dinheiro", false, ""});
  fECF.SetForma(1, {"Cheque", true, ""});
  fECF.SetForma(2, {"Cartao", true, ""});
  fECF.SetNaoFiscal(0, {"Sangria", false});
  fECF.SetNaoFiscal(1, {"Suprimento", true});
  Inicia();
}

SimMecaf::~SimMecaf() { Para(); }

// ----- For tests -----

std::string SimMecaf::Versao() const {
  std::lock_guard<std::mutex> t(Trava());
  return fVersao;
}
std::vector<std::string> SimMecaf::Comandos() const {
  std::lock_guard<std::mutex> t(Trava());
  return fComandos;
}
void SimMecaf::SetErroProximo(int Codigo) {
  std::lock_guard<std::mutex> t(Trava());
  fErroProximo = Codigo;
}
void SimMecaf::SetRequerZ(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerZ(V);
}
void SimMecaf::SetRequerX(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetRequerX(V);
}
void SimMecaf::SetBloqueada(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetBloqueada(V);
}
void SimMecaf::SetChequePresente(bool V) {
  std::lock_guard<std::mutex> t(Trava());
  fECF.SetChequePresente(V);
}
bool SimMecaf::Arredonda() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.Arredonda();
}
bool SimMecaf::HorarioVerao() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.HorarioVerao();
}
bool SimMecaf::GavetaAberta() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.GavetaAberta();
}
int SimMecaf::COO() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.COO();
}
int SimMecaf::Aliquota(int Indice) const {
  std::lock_guard<std::mutex> t(Trava());
  const auto& a = fECF.Aliquotas();
  return Indice >= 0 && static_cast<size_t>(Indice) < a.size()
             ? a[static_cast<size_t>(Indice)].Valor
             : 0;
}
bool SimMecaf::AliquotaISS(int Indice) const {
  std::lock_guard<std::mutex> t(Trava());
  const auto& a = fECF.Aliquotas();
  return Indice >= 0 && static_cast<size_t>(Indice) < a.size() &&
         a[static_cast<size_t>(Indice)].ISS;
}
std::string SimMecaf::Descricao(int Indice) const {
  std::lock_guard<std::mutex> t(Trava());
  if (Indice >= 0 && Indice < 16) return fECF.Formas()[static_cast<size_t>(Indice)].Descricao;
  if (Indice >= 16 && Indice < 32)
    return fECF.NaoFiscais()[static_cast<size_t>(Indice - 16)].Descricao;
  return "";
}
std::vector<ItemVendido> SimMecaf::Itens() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.Itens();
}
std::vector<Pagamento> SimMecaf::PagamentosUltimoCupom() const {
  std::lock_guard<std::mutex> t(Trava());
  return fECF.PagamentosUltimoCupom();
}

// ----- Framing -----

size_t SimMecaf::Processa(const std::string& P, PtyPar::Saida& Out) {
  if (P.empty()) return 0;
  if (P[0] != STX) return 1;  // noise between frames
  const size_t fim = P.find(ETX, 1);
  if (fim == std::string::npos) return 0;
  const std::string quadro = P.substr(1, fim - 1);
  const int linhas = LinhasImpressas();
  Resultado r;
  if (quadro.size() < 4 || quadro[0] != ESC || quadro[1] != '$') {
    fCodigo = "00";
    r = Erro(1);  // the start sequence is wrong
  } else {
    const std::string cmd = quadro.substr(2);
    fComandos.push_back(cmd);
    fCodigo = cmd.substr(0, 2);
    if (FalhasAtivas().Recusa) {
      r = Erro(10);
    } else if (fErroProximo != 0) {
      r = Erro(fErroProximo);
      fErroProximo = 0;
    } else {
      const auto h = Tabela().find(fCodigo);
      r = h == Tabela().end() ? Erro(2) : (this->*(h->second))(cmd.substr(2));
    }
  }
  Responde(Out, Resposta(fCodigo, r), TempoImpressao(LinhasImpressas() - linhas));
  return fim + 1;
}

std::string SimMecaf::Resposta(const std::string& Codigo, const Resultado& R) const {
  std::string t = (R.Erro != 0 ? "-" : "+") + Completa(Codigo, 2, '0') + "00";
  if (R.Erro != 0)
    t += Zeros(R.Erro, 2);
  else if (R.Consulta)
    t += R.Dados;
  else
    t += FalhasAtivas().PoucoPapel ? "01" : "00";
  return STX + t + ETX;
}

const std::map<std::string, SimMecaf::Tratador>& SimMecaf::Tabela() {
  static const std::map<std::string, Tratador> t = {
      {"01", &SimMecaf::ModoCheque},
      {"02", &SimMecaf::ImprimeCheque},
      {"04", &SimMecaf::CancelaCheque},
      {"06", &SimMecaf::Subtotaliza},
      {"07", &SimMecaf::Paga},
      {"08", &SimMecaf::FechaCupom},
      {"10", &SimMecaf::AbreCupom},
      {"11", &SimMecaf::VendeItem},
      {"12", &SimMecaf::CancelaItem},
      {"14", &SimMecaf::CancelaCupom},
      {"15", &SimMecaf::Leitura},
      {"16", &SimMecaf::ReducaoZ},
      {"17", &SimMecaf::MemoriaFiscal},
      {"18", &SimMecaf::MemoriaFiscal},
      {"20", &SimMecaf::AbreVinculado},
      {"21", &SimMecaf::FechaRelatorio},
      {"24", &SimMecaf::AbreGaveta},
      {"26", &SimMecaf::LinhaTexto},
      {"27", &SimMecaf::HorarioVerao},
      {"29", &SimMecaf::ProgramaDescricao},
      {"30", &SimMecaf::LeAliquotas},
      {"32", &SimMecaf::Status},
      {"33", &SimMecaf::Relogio},
      {"34", &SimMecaf::Registro},
      {"36", &SimMecaf::MemoriaFiscalSerial},
      {"37", &SimMecaf::MemoriaFiscalSerial},
      {"46", &SimMecaf::ProgramaAliquota},
      {"50", &SimMecaf::Arredondamento},
  };
  return t;
}

int SimMecaf::Codigo(ErroFiscal E) {
  switch (E) {
    case ErroFiscal::CupomAberto:
    case ErroFiscal::DocumentoAberto: return 23;
    case ErroFiscal::SemCupom:
    case ErroFiscal::SemDocumento:
    case ErroFiscal::VinculadoInvalido: return 22;
    case ErroFiscal::ForaDaFase: return 50;
    case ErroFiscal::RequerZ: return 28;
    case ErroFiscal::RequerX: return 48;
    case ErroFiscal::Bloqueada: return 29;
    case ErroFiscal::SemPapel: return 33;
    case ErroFiscal::AliquotaInvalida: return 18;
    case ErroFiscal::ItemInexistente: return 31;
    case ErroFiscal::CancelamentoInvalido: return 32;
    case ErroFiscal::PagamentoIncompleto: return 58;
    case ErroFiscal::SemCheque: return 46;
    default: return 10;
  }
}

// ----- Queries -----

SimMecaf::Resultado SimMecaf::Status(const std::string&) {
  const bool temZ = fECF.Bloqueada() || fECF.DiaUltimaZ() >= 0;
  const int s1 = (fECF.CupomAberto() ? 1 : 0) | (temZ ? 4 : 0) | (fECF.RequerZ() ? 0x20 : 0) |
                 (fECF.HorarioVerao() ? 0x40 : 0);
  const int s2 = (fECF.GavetaAberta() ? 2 : 0) | (FalhasAtivas().PoucoPapel ? 0x40 : 0);
  const int s3 = (fECF.ChequePresente() ? 4 : 0) | (fECF.RequerX() ? 0x80 : 0);
  const int s4 = fECF.EmPagamento() ? 2 : 0;
  return Dados(Hex2(s1) + "00" + Hex2(s2) + Hex2(s3) + Hex2(s4));
}

SimMecaf::Resultado SimMecaf::Relogio(const std::string&) {
  return Dados(fECF.DataHora("dd/mm/yy hh:nn:ss"));
}

SimMecaf::Resultado SimMecaf::LeAliquotas(const std::string&) {
  std::string r;
  for (const auto& a : fECF.Aliquotas()) r += Zeros(a.Valor, 4);
  return Dados(r);
}

int SimMecaf::FlagsDocumento() const {
  switch (fECF.DocumentoAberto()) {
    case Documento::Gerencial: return 1;
    case Documento::Vinculado: return 2;
    case Documento::NaoFiscal: return 4;
    default: return 0;
  }
}

SimMecaf::Resultado SimMecaf::Registro(const std::string& Arg) {
  const int64_t n = Digitos(Trecho(Arg, 1));
  if (Arg.size() != 3 || Arg[0] != 'M' || n < 0) return Erro(10);
  // The receipt's amounts exist only while a receipt is open.
  if ((n == 96 || n == 97) && !fECF.CupomAberto()) return Erro(22);
  const std::string v = ValorRegistro(static_cast<int>(n));
  return v.empty() ? Erro(10) : Dados(v);
}

std::string SimMecaf::ValorRegistro(int N) const {
  const ModeloImpressora& m = fECF.Modelo();
  if (N >= 50 && N <= 65) return Completa(fECF.Formas()[static_cast<size_t>(N - 50)].Descricao, 16);
  if (N >= 66 && N <= 81)
    return Completa(fECF.NaoFiscais()[static_cast<size_t>(N - 66)].Descricao, 16);
  switch (N) {
    case 41: return Zeros(fECF.COO(), 6);
    case 43: return Zeros(fECF.CRO(), 4);
    case 47: return fVersao;
    case 48: return Zeros(m.NumECF, 6);
    case 49: return Completa(m.NumSerie, 10);
    case 83: {
      // The day of the last Z reduction.
      const long dia = fECF.Bloqueada() ? fECF.Hoje() : fECF.DiaUltimaZ();
      return dia >= 0 ? TextoDia(dia, "dd/mm/yy") : "00/00/00";
    }
    case 84: return Hex2(FlagsDocumento() | (fECF.Arredonda() ? 0x40 : 0));
    case 86: {
      int altas = 0, baixas = 0;
      for (int i = 0; i < 16; i++)
        if (fECF.Aliquotas()[static_cast<size_t>(i)].ISS) (i < 8 ? baixas : altas) |= 1 << (i % 8);
      return "00" + Hex2(altas) + Hex2(baixas);
    }
    case 96: return Zeros(fECF.TotalCupom(), 15);
    case 97: {
      // What was paid beyond the total (the change), or "-" what is missing.
      const int64_t d = fECF.TotalPago() - fECF.TotalCupom();
      return Zeros(d, 15) + (d < 0 ? "-" : "");
    }
    default: return "";
  }
}

// ----- The receipt -----

SimMecaf::Resultado SimMecaf::AbreCupom(const std::string& Arg) {
  // The 201 and 301 firmwares take no consumer document.
  if (!Arg.empty() && (Versao201ou301() || Arg.size() != 28)) return Erro(10);
  const ErroFiscal e = fECF.AbreCupom(Apara(Arg));
  if (e == ErroFiscal::Nenhum) fTrocoFeito = false;
  return Conclui(e);
}

SimMecaf::Resultado SimMecaf::VendeItem(const std::string& Arg) {
  // flag, quantity, price(11), tax(3), "%" discount(4), unit(2), code(13),
  // extra-line count n, description (20, or n x 38).
  const bool novo = Versao201ou301();
  const char flag = Arg.empty() ? ' ' : Arg[0];
  if (novo ? flag != '-' : (flag != 'G' && flag != 'H')) return Erro(10);
  const size_t q = novo ? 6 : 7;
  const size_t p = 1 + q + 11;  // the tax code
  const int64_t linhas = Digitos(Trecho(Arg, p + 23, 1));
  if (linhas < 0) return Erro(3);
  const size_t descricao = linhas == 0 ? 20 : static_cast<size_t>(linhas) * 38;
  if (Arg.size() != p + 24 + descricao) return Erro(10);
  if (Arg[p + 3] != '%') return Erro(5);
  ItemVendido it;
  it.QtdMil = Digitos(Arg.substr(1, q));
  const int64_t preco = Digitos(Arg.substr(1 + q, 11));
  it.PrecoMil = flag == 'H' ? preco : preco * 10;
  const int64_t desconto = Digitos(Arg.substr(p + 4, 4));
  if (it.QtdMil < 0 || preco < 0 || desconto < 0) return Erro(3);
  const char t = Arg[p];
  if (t != 'T' && t != 'F' && t != 'I' && t != 'N') return Erro(14);
  it.Aliquota = SlotTributo(Arg.substr(p, 3));
  if (it.Aliquota == -100) return Erro(18);
  it.DescontoPercentual = static_cast<int>(desconto);
  it.Unidade = Apara(Arg.substr(p + 8, 2));
  it.Codigo = Apara(Arg.substr(p + 10, 13));
  it.Descricao = Apara(Arg.substr(p + 24));
  return Conclui(fECF.VendeItem(it));
}

SimMecaf::Resultado SimMecaf::Subtotaliza(const std::string& Arg) {
  // ["@" surcharge] "&" + value(15); without "@" the value is a discount.
  const bool acrescimo = !Arg.empty() && Arg[0] == '@';
  const std::string campo = Trecho(Arg, acrescimo ? 1 : 0);
  if (campo.empty() || campo[0] != '&') return Erro(5);
  const int64_t v = Digitos(campo.substr(1));
  if (campo.size() != 16 || v < 0) return Erro(3);
  if (!fECF.CupomAberto()) return Erro(22);
  if (fECF.EmPagamento()) return Erro(50);
  if (ErroFiscal e = fECF.AcresceSubtotal(acrescimo ? v : -v); e != ErroFiscal::Nenhum)
    return Conclui(e);
  return Conclui(fECF.IniciaPagamento());
}

SimMecaf::Resultado SimMecaf::Paga(const std::string& Arg) {
  // method(2) + value(15) [+ "2" + 40 characters | "4" + 80 characters]
  const int64_t forma = Digitos(Trecho(Arg, 0, 2)), valor = Digitos(Trecho(Arg, 2, 15));
  if (forma < 0 || valor < 0) return Erro(3);
  const std::string resto = Trecho(Arg, 17);
  std::string texto;
  if (resto.size() >= 2) {
    const size_t tamanho = resto[0] == '2' ? 40 : resto[0] == '4' ? 80 : 0;
    if (tamanho == 0 || resto.size() != tamanho + 1) return Erro(10);
    texto = Apara(resto.substr(1));
  }
  if (!fECF.CupomAberto()) return Erro(22);
  if (valor == 0) {
    // A zero payment after paying more than the total gives the change.
    if (!fECF.EmPagamento() || fECF.TotalPago() <= fECF.TotalCupom() || fTrocoFeito)
      return Erro(10);
    fTrocoFeito = true;
    return Ok();
  }
  return Conclui(fECF.Paga(static_cast<int>(forma), valor, texto));
}

SimMecaf::Resultado SimMecaf::FechaCupom(const std::string& Arg) {
  // "S" + length(3) + the closing text (lines ended by LF).
  const int64_t n = Digitos(Trecho(Arg, 1, 3));
  if (Arg.empty() || Arg[0] != 'S' || n < 0 || Arg.size() != 4 + static_cast<size_t>(n))
    return Erro(10);
  if (fECF.CupomAberto() && fECF.TotalPago() > fECF.TotalCupom() && !fTrocoFeito) return Erro(61);
  return Conclui(fECF.FechaCupom(Arg.substr(4)));
}

SimMecaf::Resultado SimMecaf::CancelaItem(const std::string& Arg) {
  const int64_t n = Digitos(Arg);
  if (Arg.size() != 3 || n < 0) return Erro(3);
  return Conclui(fECF.CancelaItem(static_cast<int>(n)));
}

SimMecaf::Resultado SimMecaf::CancelaCupom(const std::string&) {
  return Conclui(fECF.CancelaCupom());
}

// ----- Reports and documents -----

SimMecaf::Resultado SimMecaf::Leitura(const std::string& Arg) {
  if (Arg == "0") return Conclui(fECF.LeituraX());
  if (Arg == "1") return Conclui(fECF.AbreGerencial());
  return Erro(10);
}

SimMecaf::Resultado SimMecaf::ReducaoZ(const std::string& Arg) {
  if (Arg != "0") return Erro(10);
  return Conclui(fECF.ReducaoZ());
}

SimMecaf::Resultado SimMecaf::LinhaTexto(const std::string& Arg) {
  if (Arg.empty() || Arg[0] != '0') return Erro(10);
  return Conclui(fECF.ImprimeTexto(Arg.substr(1) + "\n"));
}

SimMecaf::Resultado SimMecaf::AbreVinculado(const std::string& Arg) {
  if (!Arg.empty()) return Erro(10);
  // The first payment of the last receipt whose method allows a linked receipt.
  int forma = -1;
  for (const Pagamento& p : fECF.PagamentosUltimoCupom())
    if (forma < 0 && fECF.Formas()[static_cast<size_t>(p.Forma)].PermiteVinculado) forma = p.Forma;
  if (forma < 0) return Erro(22);
  return Conclui(fECF.AbreVinculado(forma, 0, 0, "COMPROVANTE NAO FISCAL VINCULADO"));
}

SimMecaf::Resultado SimMecaf::FechaRelatorio(const std::string&) {
  return Conclui(fECF.FechaRelatorio());
}

SimMecaf::Resultado SimMecaf::MemoriaFiscal(const std::string& Arg) {
  // "17": two dates ddmmyy; "18": two reduction numbers of 4 digits.
  const bool datas = fCodigo == "17" || fCodigo == "36";
  const size_t w = datas ? 6 : 4;
  if (Arg.size() != 2 * w || !SoDigitos(Arg)) return Erro(3);
  const long de = datas ? LeDdMmAa(Arg.substr(0, 6)) : static_cast<long>(Digitos(Arg.substr(0, 4)));
  const long ate =
      datas ? LeDdMmAa(Arg.substr(6, 6)) : static_cast<long>(Digitos(Arg.substr(4, 4)));
  if (de < 0 || ate < 0) return Erro(16);
  if (de > ate) return Erro(7);
  if (fCodigo == "36" || fCodigo == "37") return {0, "", true};
  return Conclui(fECF.ImprimeMemoriaFiscal(de, ate, datas));
}

SimMecaf::Resultado SimMecaf::MemoriaFiscalSerial(const std::string& Arg) {
  Resultado r = MemoriaFiscal(Arg);
  if (r.Erro != 0) return r;
  if (fECF.CupomAberto() || fECF.DocumentoAberto() != Documento::Nenhum) return Erro(23);
  // The lines go out filled with NUL up to the paper's width.
  const bool datas = fCodigo == "36";
  const long de = datas ? LeDdMmAa(Arg.substr(0, 6)) : static_cast<long>(Digitos(Arg.substr(0, 4)));
  const long ate =
      datas ? LeDdMmAa(Arg.substr(6, 6)) : static_cast<long>(Digitos(Arg.substr(4, 4)));
  const size_t largura = static_cast<size_t>(fECF.Modelo().Colunas);
  for (const std::string& l : fECF.TextoMemoriaFiscal(de, ate, datas))
    r.Dados += Completa(l, std::max(largura, l.size()), '\0') + "\r\n";
  return r;
}

// ----- Tables, settings, drawer, check -----

SimMecaf::Resultado SimMecaf::ProgramaDescricao(const std::string& Arg) {
  // position(2) + description(16): 00-15 payment methods, 16-31 non-fiscal types.
  const int64_t n = Digitos(Trecho(Arg, 0, 2));
  if (Arg.size() != 18 || n < 0 || n > 31) return Erro(10);
  int slot = static_cast<int>(n % 16);
  const std::string d = Apara(Arg.substr(2));
  if (n < 16) return Conclui(fECF.ProgramaForma({d, n != 0, ""}, slot));
  return Conclui(fECF.ProgramaNaoFiscal({d, true}, slot));
}

SimMecaf::Resultado SimMecaf::ProgramaAliquota(const std::string& Arg) {
  // position(2) + rate(4) + "000" ICMS | "001" ISS
  const int64_t n = Digitos(Trecho(Arg, 0, 2)), v = Digitos(Trecho(Arg, 2, 4));
  const std::string tipo = Trecho(Arg, 6);
  if (Arg.size() != 9 || n < 0 || v < 0 || (tipo != "000" && tipo != "001")) return Erro(3);
  if (n > 15) return Erro(18);
  int slot = static_cast<int>(n);
  return Conclui(fECF.ProgramaAliquota({static_cast<int>(v), tipo == "001", ""}, slot));
}

SimMecaf::Resultado SimMecaf::HorarioVerao(const std::string& Arg) {
  if (Arg != "+" && Arg != "-") return Erro(10);
  const bool liga = Arg == "+";
  if (liga && fECF.HorarioVerao()) return Erro(26);
  if (!liga && !fECF.HorarioVerao()) return Erro(27);
  return Conclui(fECF.MudaHorarioVerao(liga));
}

SimMecaf::Resultado SimMecaf::Arredondamento(const std::string& Arg) {
  if (Arg != "0" && Arg != "1") return Erro(10);
  if (fECF.CupomAberto()) return Erro(23);
  fECF.SetArredonda(Arg == "1");
  return Ok();
}

SimMecaf::Resultado SimMecaf::AbreGaveta(const std::string& Arg) {
  if (Arg.empty() || Arg[0] != '0') return Erro(10);
  fECF.AbreGaveta();
  return Ok();
}

SimMecaf::Resultado SimMecaf::ModoCheque(const std::string& Arg) {
  if (Arg != "1") return Erro(10);
  if (!fECF.ChequePresente()) return Erro(46);
  fModoCheque = true;
  return Ok();
}

SimMecaf::Resultado SimMecaf::ImprimeCheque(const std::string& Arg) {
  // layout(12) value(15) payee(80) city(20) "1" ddmmyy message
  if (!fModoCheque) return Erro(44);
  const int64_t valor = Digitos(Trecho(Arg, 12, 15));
  const std::string data = Trecho(Arg, 128, 6);
  if (Arg.size() < 134 || valor < 0 || Arg[127] != '1' || LeDdMmAa(data) < 0) return Erro(10);
  fModoCheque = false;
  return Conclui(fECF.ImprimeCheque(valor, Apara(Arg.substr(27, 80)), Apara(Arg.substr(107, 20)),
                                    TextoDia(LeDdMmAa(data), "dd/mm/yyyy"),
                                    Apara(Arg.substr(134))));
}

SimMecaf::Resultado SimMecaf::CancelaCheque(const std::string&) {
  fModoCheque = false;
  return Ok();
}

}  // namespace zuvo::sim
