// A whole day of business on the non-fiscal emulator, printed to a text file
// and compared line by line with a page a person can check by eye
// (NaoFiscalDiaEsperado.txt). The calendar is the test platform's, so the
// dates, times and the serial number are always the same.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "component/ZuvoECF.h"
#include "core/ZuvoIni.h"
#include "sim/SimNaoFiscal.h"
#include "support/NaoFiscalAmbiente.h"

using namespace zuvo;

namespace {

// Control bytes shown as names so the expected page reads as text.
std::string Legivel(const std::string& Papel) {
  std::string r;
  for (char c : StringReplace(Papel, CRLF, std::string(1, LF))) {
    switch (c) {
      case 0x1b: r += "<ESC>"; break;
      case 0x0e: r += "<SO>"; break;
      case 0x0f: r += "<SI>"; break;
      default:
        if (c != LF && static_cast<unsigned char>(c) < 0x20)
          r += "<" + IntToStr(static_cast<unsigned char>(c)) + ">";
        else
          r += c;
    }
  }
  return r;
}

std::string Esperado() {
  auto caminho = std::filesystem::path(__FILE__).parent_path() / "NaoFiscalDiaEsperado.txt";
  return LeArquivo(caminho.string());
}

}  // namespace

TEST(NaoFiscalDia, ADayOfBusinessPrintsThePagesAPersonChecked) {
  teste::AmbienteNaoFiscal a;
  a.Ativa();
  TZuvoECF& ecf = a.ecf;
  ecf.SetOperador("MARIA");
  ecf.ProgramaFormaPagamento("CARTAO");

  // A receipt with every kind of rate, an item discount and a subtotal discount,
  // paid in two parts with change.
  ecf.AbreCupom("123.456.789-09");
  ecf.VendeItem("7891000100103", "CAFE TORRADO 500G", "F", 2, 8.5, 0, "UN");
  ecf.VendeItem("7891000200200", "ARROZ TIPO 1", "18", 1.5, 2.345, 0, "KG");
  ecf.VendeItem("7891000300307", "ENTREGA", "5S", 1, 10, 10, "UN");
  ecf.VendeItem("7891000400404", "LIVRO", "I", 1, 30, 0, "UN");
  ecf.VendeItem("7891000500501", "LEITE", "N", 3, 4.1, 0, "LT");
  ecf.CancelaItemVendido(5);
  ecf.SubtotalizaCupom(-2.5);
  ecf.EfetuaPagamento("02", 20);
  ecf.EfetuaPagamento("01", 50);
  ecf.FechaCupom("Obrigado pela preferencia|Volte sempre");
  EXPECT_EQ(ecf.NumCupom(), "000001");

  // The last receipt is cancelled after it was closed.
  ecf.CancelaCupom();
  EXPECT_EQ(ecf.NumCupom(), "000002");

  // A second receipt paid exactly with two methods, then its linked receipt.
  ecf.AbreCupom();
  ecf.VendeItem("1", "PAO FRANCES", "18", 10, 0.5, 0, "UN");
  ecf.SubtotalizaCupom(1);
  ecf.EfetuaPagamento("01", 2);
  ecf.EfetuaPagamento("02", 4);
  ecf.FechaCupom();
  ecf.CupomVinculado(ecf.NumCupom(), "02", "", 4, {"CARTAO 1234 **** 5678", "APROVADO"}, 1);

  ecf.RelatorioGerencial({"FECHAMENTO DE CAIXA", "Caixa 1: ok"}, 1);
  ecf.LeituraX();
  ecf.ReducaoZ();

  const std::string real = Legivel(a.Papel());
  const std::string esperado = Esperado();
  // Kept where a person can compare it when the pages differ.
  const std::string copia = ::testing::TempDir() + "NaoFiscalDia-real.txt";
  if (real != esperado) std::ofstream(copia, std::ios::binary) << real;
  ASSERT_FALSE(esperado.empty()) << "expected page missing; printed page in " << copia;
  TStrings linhasReais = SplitLines(real);
  TStrings linhasEsperadas = SplitLines(esperado);
  for (size_t i = 0; i < std::max(linhasReais.size(), linhasEsperadas.size()); i++) {
    std::string r = i < linhasReais.size() ? linhasReais[i] : "<nothing>";
    std::string e = i < linhasEsperadas.size() ? linhasEsperadas[i] : "<nothing>";
    if (r != e)
      FAIL() << "line " << i + 1 << "\n  expected: [" << e << "]\n  printed:  [" << r
             << "]\nwhole page in " << copia;
  }
}

// Over a serial line (a pseudo-terminal) the printer gets the same text; the
// drawer pulse and the reset reach it as control strings, not as print.
TEST(NaoFiscalDia, ASerialPrinterGetsTheTextAndTheControlStrings) {
  teste::AmbienteNaoFiscal a;
  sim::SimNaoFiscal impressora(sim::OpcoesSimulador{});
  a.ecf.SetPorta(impressora.Porta());
  a.Ativa();
  EXPECT_EQ(a.ecf.Device().HandShake(), hsRTS_CTS);
  a.ecf.AbreGaveta();
  a.ecf.AbreCupom();
  a.ecf.VendeItem("1", "CAFE", "F", 1, 3);
  a.ecf.SubtotalizaCupom();
  a.ecf.EfetuaPagamento("01", 5);
  a.ecf.FechaCupom();
  // The simulator reads in the background: wait for the last line.
  const std::string fim(48, '=');
  for (int i = 0; i < 200 && impressora.Papel().find(fim) == std::string::npos; i++) ::usleep(10000);
  const std::string papel = impressora.Papel();
  EXPECT_NE(papel.find("001 1             CAFE"), std::string::npos) << papel;
  EXPECT_NE(papel.find("TROCO__R$"), std::string::npos) << papel;
  EXPECT_EQ(papel.find('\x1b'), std::string::npos);
  EXPECT_EQ(papel.find('\x0e'), std::string::npos);
  EXPECT_EQ(impressora.AberturasGaveta(), 1);
  EXPECT_EQ(impressora.Inicializacoes(), 1);
}
