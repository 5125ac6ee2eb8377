// Every simulator is a tool users run against their own programs: no bytes
// sent to it may end the process. Random, truncated and well-framed commands
// with random fields go straight into each simulator's command processing
// (no pseudo-terminal traffic), and afterwards the simulator must still
// answer a status query.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sim/Simulador.h"

namespace {

using zuvo::sim::CriaSimulador;
using zuvo::sim::OpcoesSimulador;
using zuvo::sim::Simulador;

std::string Bematech(const std::string& Cmd) {
  const std::string d = "\x1b" + Cmd;
  unsigned soma = 0;
  for (char c : d) soma += static_cast<unsigned char>(c);
  const size_t n = d.size() + 2;
  return std::string{'\x02', static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)} + d +
         static_cast<char>(soma & 0xFF) + static_cast<char>((soma >> 8) & 0xFF);
}

std::string FiscNET(const std::string& Corpo) {
  const std::string s = "{1;" + Corpo + ";";
  return s + std::to_string(s.size() - 1) + "}";
}

// The frame followed by the 16-bit sum of its bytes, high byte first.
std::string ComSoma(const std::string& q) {
  unsigned soma = 0;
  for (char c : q) soma += static_cast<unsigned char>(c);
  return q + static_cast<char>((soma >> 8) & 0xFF) + static_cast<char>(soma & 0xFF);
}

std::string Yanco(const std::string& Cmd) { return ComSoma("\x02" "0001" + Cmd + "\x03"); }

// STX + text + ETX + the sum.
std::string ICash(const std::string& Texto) { return ComSoma("\x02" + Texto + "\x03"); }

struct Caso {
  std::string Familia;
  OpcoesSimulador Opcoes;
  std::string Status;    // a status query
  std::string Resposta;  // how its answer starts
  std::string Abertura;  // opens a receipt, so that commands meet one
};

std::vector<Caso> Casos() {
  std::vector<Caso> c;
  OpcoesSimulador mfd;
  mfd.MFD = true;
  OpcoesSimulador fs2000;
  fs2000.Variante = "FS2000";
  OpcoesSimulador fs315;
  fs315.Variante = "FS315";
  const std::string abreBematech = Bematech(std::string(1, '\0'));
  c.push_back({"Bematech", {}, Bematech("\x13"), "\x06", abreBematech});
  c.push_back({"Bematech", mfd, Bematech("\x13"), "\x06", abreBematech});
  c.push_back({"Daruma", {}, "\x1d\xff\r", ":", "\x1b\xc8\r"});
  c.push_back({"Daruma", fs315, "\x1d\xff\r", ":", "\x1b\xc8\r"});
  c.push_back({"Daruma", fs2000, "\x1d\x05\r", ":", "\x1b\xc8\r"});
  c.push_back({"Daruma", mfd, "\x1d\xff\r", ":", "\x1b\xc8\r"});
  c.push_back({"FiscNET", {}, FiscNET("LeInteiro;NomeInteiro=\"EstadoFiscal\""), "{1;0;", FiscNET("AbreCupomFiscal")});
  c.push_back({"Urano", {}, "\x1b" "f2497XXXXX", "!", "\x1b" "f00XXXXX"});
  c.push_back({"Yanco", {}, Yanco("25"), "\x14\x02" "0001", Yanco("130")});
  c.push_back({"ICash", {}, ICash("67082"), "\x06", ICash("200")});
  c.push_back({"NaoFiscal", {}, "", "", ""});
  return c;
}

const char* const kNomesFiscNET[] = {
    "AbreCupomFiscal", "VendeItem", "AcresceItemFiscal", "AcresceSubtotal", "PagaCupom", "EncerraDocumento",
    "CancelaCupom", "CancelaItemFiscal", "EmiteLeituraX", "EmiteReducaoZ", "AbreGerencial", "ImprimeTexto",
    "AbreCreditoDebito", "EmiteLeituraMF", "LeImpressao", "DefineAliquota", "DefineMeioPagamento",
    "DefineNaoFiscal", "LeAliquota", "LeMeioPagamento", "LeNaoFiscal", "LeMoeda", "AvancaPapel"};
const char* const kParamsFiscNET[] = {
    "CodAliquota=", "PrecoUnitario=", "Quantidade=", "NomeProduto=", "Valor=", "CodMeioPagamento=", "NumItem=",
    "ValorPercentual=", "ValorAcrescimo=", "Destino=", "ReducaoInicial=", "ReducaoFinal=", "DataInicial=",
    "CodAliquotaProgramavel=", "PercentualAliquota=", "Avanco=", "TextoLivre=", "COO=", "CodGerencial="};
const char* const kValores[] = {"1", "-1", "0", "1e300", "-1e300", "99999999999999999999", "\"X\"", "\"\\x\"",
                                "#01/01/2026#", "#99/99/9999#", "1,5", "t", "", "\"\\", "#"};

// A command of the family with random fields: framed right, so that it gets
// past the framing and into the handlers.
std::string ComandoAleatorio(const std::string& Familia, const OpcoesSimulador& O, std::mt19937& G) {
  auto byte = [&G] { return static_cast<char>(G() & 0xFF); };
  auto digitos = [&G](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; i++) s += static_cast<char>('0' + G() % 10);
    return s;
  };
  std::string campos;
  const size_t n = G() % 2 ? G() % 3 : G() % 80;  // short fields are where slices go wrong
  for (size_t i = 0; i < n; i++) campos += G() % 2 ? byte() : digitos(1)[0];
  if (G() % 3 == 0) campos = digitos(G() % 120);
  if (Familia == "Bematech") return Bematech(std::string(1, byte()) + campos);
  if (Familia == "Daruma") {
    if (O.MFD && G() % 4 == 0) return std::string("\x1c") + (G() % 2 ? "R" : "F") + campos + "\xff" + byte();
    // Its commands are mostly the bytes from 192 up.
    const char cmd = G() % 4 ? static_cast<char>(192 + G() % 64) : byte();
    return std::string("\x1b") + cmd + campos + (G() % 4 == 0 ? "\xff" : "") + "\r";
  }
  if (Familia == "Urano") {
    // Commands are known by their length: half of them get exactly it.
    static const std::pair<const char*, size_t> kComandos[] = {
        {"00", 7},   {"01", 107}, {"02", 32},  {"030", 45}, {"04", 38},  {"050", 16},
        {"06", 487}, {"07", 15},  {"081", 16}, {"090", 28}, {"100", 28}, {"110", 8},
        {"111", 8},  {"12", 15},  {"160", 28}, {"161", 28}, {"16", 27},  {"200", 10},
        {"23", 7},   {"24", 9},   {"271", 8},  {"34", 152}};
    const auto& [codigo, tamanho] = kComandos[G() % std::size(kComandos)];
    std::string c = codigo;
    c += G() % 2 ? (campos + digitos(tamanho)).substr(0, tamanho - c.size() - 5) : campos;
    return "\x1b" "f" + c + (G() % 4 ? "XXXXX" : "");
  }
  if (Familia == "Yanco") {
    static const char* const kCodigos[] = {"1F", "25", "2D", "2E", "2F", "34", "13", "14", "15", "16", "1D",
                                           "1E", "35", "26", "12", "24", "22", "2A", "2B", "2C", "28"};
    return Yanco(kCodigos[G() % std::size(kCodigos)] + campos);
  }
  if (Familia == "FiscNET") {
    std::string c = kNomesFiscNET[G() % std::size(kNomesFiscNET)];
    for (size_t i = G() % 5; i > 0; i--)
      c += std::string(i == 0 ? "" : (c.find(';') == std::string::npos ? ";" : " ")) +
           kParamsFiscNET[G() % std::size(kParamsFiscNET)] + kValores[G() % std::size(kValores)];
    return FiscNET(c);
  }
  if (Familia == "ICash") {
    static const char* const kCodigos[] = {"200", "20", "21", "26", "25", "27", "22", "23", "17", "29", "2A",
                                           "2E", "45", "51", "72", "71", "56", "57", "58", "54", "55", "67", "34M"};
    return ICash(kCodigos[G() % std::size(kCodigos)] + campos);
  }
  return campos + "\n";
}

std::string Aleatorios(std::mt19937& G) {
  std::string s;
  for (size_t i = G() % 200; i > 0; i--) s += static_cast<char>(G() & 0xFF);
  return s;
}

TEST(SimuladoresRobustez, NoBytesEndTheSimulatorAndItStillAnswersItsStatus) {
  for (const Caso& c : Casos()) {
    auto sim = CriaSimulador(c.Familia, c.Opcoes);
    if (!sim) continue;  // a focused build without this family
    SCOPED_TRACE(c.Familia + " " + c.Opcoes.Variante + (c.Opcoes.MFD ? " MFD" : ""));
    std::mt19937 g(20261207);
    for (int i = 0; i < 4000; i++) {
      std::string entrada = i % 5 == 0 ? Aleatorios(g) : ComandoAleatorio(c.Familia, c.Opcoes, g);
      if (i % 7 == 0) entrada.resize(g() % (entrada.size() + 1));  // cut short
      if (i % 3 == 0) sim->Alimenta(c.Abertura);
      sim->Alimenta(entrada);
      sim->DescartaPendente();
      if (c.Status.empty() || i % 50 != 0) continue;
      const std::string r = sim->Alimenta(c.Status);
      ASSERT_EQ(r.substr(0, c.Resposta.size()), c.Resposta) << "after input " << i;
    }
    EXPECT_EQ(sim->FalhasInternas(), 0);
  }
}

TEST(SimuladoresRobustez, FieldsThatOnceEndedTheSimulators) {
  // A huge amount in a FiscNET sale: refused as out of range.
  if (auto sim = CriaSimulador("FiscNET", {})) {
    EXPECT_EQ(sim->Alimenta(FiscNET("AbreCupomFiscal")).substr(0, 5), "{1;0;");
    const std::string r = sim->Alimenta(FiscNET(
        "VendeItem;CodAliquota=0 PrecoUnitario=1e300 Quantidade=1 NomeProduto=\"X\""));
    EXPECT_NE(r.find("ErroCMDParametroForaFaixa"), std::string::npos) << r;
    EXPECT_EQ(sim->FalhasInternas(), 0);
  }
  // ESC 206 (the subtotal) without its argument inside an FS2000 receipt.
  OpcoesSimulador fs2000;
  fs2000.Variante = "FS2000";
  if (auto sim = CriaSimulador("Daruma", fs2000)) {
    EXPECT_EQ(sim->Alimenta("\x1b\xc8\r").substr(0, 4), ":\xc8" "00");
    EXPECT_EQ(sim->Alimenta("\x1b\xce\r"), ":\xce" "24\r");
    EXPECT_EQ(sim->FalhasInternas(), 0);
  }
}

}  // namespace
