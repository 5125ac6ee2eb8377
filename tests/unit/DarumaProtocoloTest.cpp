// The Daruma protocol pieces without a printer: framing, error codes,
// status digits, the table layouts and the field widths.
#include <gtest/gtest.h>

#include <string>

#include "drivers/ZuvoECFDaruma.h"

using namespace zuvo;
using D = TZuvoECFDaruma;

namespace {
std::string B(int b) { return std::string(1, static_cast<char>(b)); }
const std::string FF = B(255);
}  // namespace

TEST(DarumaQuadro, FsGetsTheXorOfAllItsBytesOthersGetCR) {
  std::string fs = "\x1cR" + B(200) + "083";
  unsigned char x = 28 ^ 'R' ^ 200 ^ '0' ^ '8' ^ '3';
  EXPECT_EQ(D::PreparaComando(fs), fs + static_cast<char>(x));
  EXPECT_EQ(D::PreparaComando("\x1b" + B(239)), "\x1b" + B(239) + "\r");
  EXPECT_EQ(D::PreparaComando(""), "");
}

TEST(DarumaErros, CodesComeFromTheirPlaceInEachAnswerLayout) {
  const std::string esc = "\x1b" + B(207) + "\r";
  EXPECT_EQ(D::CodigoErro(":E16\r", esc, false), 16);
  EXPECT_EQ(D::CodigoErro(":\x1b" + B(207) + "\r", esc, false), 0);
  // FS2000: characters 3-4 carry the code of every answer.
  EXPECT_EQ(D::CodigoErro(":" + B(207) + "11\r", esc, true), 11);
  EXPECT_EQ(D::CodigoErro(":" + B(207) + "00000123\r", esc, true), 0);
  // FS commands: characters 2-3; a register answer has no error field.
  const std::string fs = "\x1cR" + B(200) + "083X";
  EXPECT_EQ(D::CodigoErro(":15\rX", fs, false), 15);
  EXPECT_EQ(D::CodigoErro(":" + B(200) + "083010200\rX", fs, false), 0);
  // Status answers are hexadecimal digits, never an error: ":E12..." is a
  // drawer-open status, not error 12.
  EXPECT_EQ(D::CodigoErro(":E12A0C0000\r", "\x1d" + FF + "\r", false), 0);
  EXPECT_EQ(D::CodigoErro(":", esc, false), 0);
}

TEST(DarumaErros, MessageTableWithLowPaperOnlyAWarning) {
  EXPECT_EQ(D::MensagemErro(16), "Erro de sintaxe no comando");
  EXPECT_EQ(D::MensagemErro(11), "Documento não foi aberto");
  EXPECT_EQ(D::MensagemErro(38), "Forma de pagamento selecionada não é‚ válida");
  EXPECT_EQ(D::MensagemErro(21), "");
  EXPECT_EQ(D::MensagemErro(0), "");
  EXPECT_EQ(D::MensagemErro(99), "Erro retornado pelo ECF: 99");
  EXPECT_EQ(D::MensagemErro(7), "Erro retornado pelo ECF: 07");
}

TEST(DarumaStatus, DigitsAreHexadecimal) {
  const std::string s = ":0AC9F\r";
  EXPECT_EQ(D::DigitoHex(s, 2), 0);
  EXPECT_EQ(D::DigitoHex(s, 3), 10);
  EXPECT_EQ(D::DigitoHex(s, 4), 12);
  EXPECT_EQ(D::DigitoHex(s, 5), 9);
  EXPECT_EQ(D::DigitoHex(s, 6), 15);
  EXPECT_EQ(D::DigitoHex(s, 7), -1);   // the CR
  EXPECT_EQ(D::DigitoHex(s, 30), -1);  // past the end
}

TEST(DarumaAliquotas, EmptySlotsAreSkippedAndEachLayoutNamesItsRates) {
  std::string r = ":" + B(231) + "A1800B0700c0500D////E////" + std::string(5, '\0') + "F0000\r";
  auto a = D::LeAliquotas(r, D::laFS345);
  ASSERT_EQ(a.size(), 3u);
  EXPECT_EQ(a[0].Indice, "A");
  EXPECT_DOUBLE_EQ(a[0].Aliquota, 18);
  EXPECT_EQ(a[2].Indice, "C");
  EXPECT_EQ(a[2].Tipo, 'S');
  EXPECT_DOUBLE_EQ(a[2].Aliquota, 5);

  // The detail-memory printer sells by slot number, also past empty slots.
  std::string m = ":" + B(231) + "A1800B////C1200\r";
  auto am = D::LeAliquotas(m, D::laMFD);
  ASSERT_EQ(am.size(), 2u);
  EXPECT_EQ(am[0].Indice, "01");
  EXPECT_EQ(am[1].Indice, "03");

  std::string f = ":" + B(231) + "00000" + "1800A0700B0500c0000D" + "00\r";
  auto af = D::LeAliquotas(f, D::laFS2000);
  ASSERT_EQ(af.size(), 3u);
  EXPECT_EQ(af[0].Indice, "TA");
  EXPECT_DOUBLE_EQ(af[1].Aliquota, 7);
  EXPECT_EQ(af[2].Tipo, 'S');

  EXPECT_TRUE(D::LeAliquotas(":", D::laFS345).empty());
  EXPECT_TRUE(D::LeAliquotas("", D::laFS2000).empty());
}

namespace {
std::string Campo(const std::string& t, size_t n, char fill = ' ') {
  std::string s = t.substr(0, n);
  return s + std::string(n - s.size(), fill);
}
}  // namespace

TEST(DarumaTabelas, Fs2000LayoutAsTheRecordedPrintersAnswerIt) {
  std::string r = Campo(":" + B(238) + "0000", 21, '0');
  r += Campo("Sangria", 22) + Campo("", 22, '\xff');
  for (int i = 2; i < 16; i++) r += std::string(22, '\0');
  r += Campo("Dinheiro", 21) + Campo("Cartao", 21);
  for (int i = 2; i < 16; i++) r += std::string(21, '\xff');
  r += "X" + Campo("Dinheiro", 17) + "V" + Campo("Cartao", 17) + "X" +
       Campo("Pagamento Tipo C", 17) + "V" + std::string(17, '\xff');
  for (int i = 4; i < 16; i++) r += "V" + std::string(17, '\xff');
  r += "\r";
  auto t = D::LeTabelas238(r);
  ASSERT_EQ(t.Comprovantes.size(), 1u);
  EXPECT_EQ(t.Comprovantes[0].Descricao, "Sangria");
  ASSERT_EQ(t.Vinculados.size(), 2u);
  EXPECT_EQ(t.Vinculados[0].Descricao, "Dinheiro");  // no flag character to drop
  EXPECT_EQ(t.Vinculados[1].Indice, "B");
  ASSERT_EQ(t.Formas.size(), 2u);
  EXPECT_EQ(t.Formas[0].Indice, "A");
  EXPECT_FALSE(t.Formas[0].PermiteVinculado);
  EXPECT_EQ(t.Formas[1].Descricao, "Cartao");
  EXPECT_TRUE(t.Formas[1].PermiteVinculado);

  // A short answer gives what it holds, never a crash.
  EXPECT_TRUE(D::LeTabelas238(":\r").Formas.empty());
}

TEST(DarumaTabelas, LongLayoutNamesPaymentMethodsByTwoDigits) {
  std::string r = Campo(":" + B(234), 32, '0');
  r += Campo("Suprimento", 22);
  for (int i = 1; i < 16; i++) r += std::string(22, ' ');
  r += Campo("Cheque", 21);
  for (int i = 1; i < 16; i++) r += std::string(21, ' ');
  for (int i = 0; i < 32; i++) {
    if (i == 0) r += "X" + Campo("Dinheiro", 21);
    else if (i == 16) r += "V" + Campo("Ticket", 21);
    else if (i == 5) r += "X" + std::string(21, '\xff');
    else r += std::string(22, ' ');
  }
  ASSERT_EQ(r.size(), static_cast<size_t>(D::TamanhoLayout234));
  auto t = D::LeTabelas234(r + "\r");
  ASSERT_EQ(t.Formas.size(), 2u);
  EXPECT_EQ(t.Formas[0].Indice, "01");
  EXPECT_EQ(t.Formas[1].Indice, "51");
  EXPECT_TRUE(t.Formas[1].PermiteVinculado);
  ASSERT_EQ(t.Comprovantes.size(), 1u);
  EXPECT_EQ(t.Comprovantes[0].Indice, "A");
  ASSERT_EQ(t.Vinculados.size(), 1u);
  EXPECT_EQ(t.Vinculados[0].Descricao, "Cheque");
}

TEST(DarumaCampos, QuantityIsRoundedToItsWidthOrRefused) {
  EXPECT_EQ(D::CampoQuantidade(2, 6), "000002");
  EXPECT_EQ(D::CampoQuantidade(1.5, 6), "0001,5");
  EXPECT_EQ(D::CampoQuantidade(1.2345, 6), "1,2345");
  EXPECT_EQ(D::CampoQuantidade(1.23456, 6), "1,2346");
  EXPECT_EQ(D::CampoQuantidade(12345.678, 6), "012346");
  EXPECT_EQ(D::CampoQuantidade(1.25, 5), "01,25");
  EXPECT_THROW(D::CampoQuantidade(123456, 5), EZuvoECFCMDInvalido);
  EXPECT_THROW(D::CampoQuantidade(1234567, 6), EZuvoECFCMDInvalido);
  EXPECT_THROW(D::CampoQuantidade(-1, 6), EZuvoECFCMDInvalido);
  EXPECT_THROW(D::CampoQuantidade(0.00001, 6), EZuvoECFCMDInvalido);  // was "001E-5"
  EXPECT_EQ(D::CampoQuantidade(0.0001, 6), "0,0001");
}

TEST(DarumaCampos, TrimmedTextsDropControlCodesAndFill) {
  EXPECT_EQ(D::LimpaTexto(std::string("\0 Cartao \xff\xff", 11)), "Cartao");
  EXPECT_EQ(D::LimpaTexto(std::string(17, '\xff')), "");
  EXPECT_EQ(D::LimpaTexto(std::string(4, '\0')), "");
}
