// Text, number and date routines: the edges the command layouts rely on.
// String literals are Windows-1252 bytes ("Ação" is 41 e7 e3 6f).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/ZuvoUtil.h"

using namespace zuvo;

namespace {

std::string Bytes(std::initializer_list<int> Codigos) {
  std::string S;
  for (int C : Codigos) S += static_cast<char>(C);
  return S;
}

}  // namespace

TEST(ZuvoUtil, CamposDeLargura) {
  struct Caso {
    std::string Obtido, Esperado;
  };
  const Caso Casos[] = {
      {CompletaDireita("ABCDEF", 4), "ABCD"},
      {CompletaDireita("AB", 4, '*'), "AB**"},
      {CompletaDireita("AB", 0), ""},
      {CompletaDireita("AB", -3), ""},
      {CompletaEsquerda("12345", 3, '0'), "123"},
      {CompletaEsquerda("7", 3, '0'), "007"},
      {CompletaEsquerda("7", -1, '0'), ""},
      {Centraliza("AB", 5), " AB  "},
      {Centraliza("ABC", 6, '-'), "-ABC--"},
      {Centraliza("ABCDEF", 4), "ABCD"},
      {ZerosEsquerda("  42 ", 5), "00042"},
      {ZerosEsquerda(std::string("\0" "42\0", 4), 4), "0042"},
      {InteiroZeros(-5, 3), "0-5"},
      {InteiroZeros(12345, 3), "123"},
      {InteiroZeros(0, 4), "0000"},
      {Justifica("A|B|C", 7), "A  B  C"},
      {Justifica("TOTAL|9,99", 12, "|", '.'), "TOTAL...9,99"},
      // The last separators take the odd columns.
      {Justifica("A|B|C|D", 11), "A  B  C   D"},
      {Justifica("A|B|C|D", 12), "A  B   C   D"},
      {Justifica("SEM MARCA", 12), "SEM MARCA   "},
      {Justifica("ABCDEFG|X", 5), "ABCDE"},
      // A separator equal to the fill must not be found again in the fill.
      {Justifica("A B C", 8, " ", ' '), "A  B   C"},
      {Justifica("  A|B  ", 6), "A    B"},
  };
  for (size_t I = 0; I < std::size(Casos); ++I)
    EXPECT_EQ(Casos[I].Obtido, Casos[I].Esperado) << "caso " << I;
}

TEST(ZuvoUtil, AcessoEBusca) {
  const std::string T = "banana";
  EXPECT_EQ(Copy(T, 2, 3), "ana");
  EXPECT_EQ(Copy(T, 0, 2), "ba");
  EXPECT_EQ(Copy(T, 5, 100), "na");
  EXPECT_EQ(Copy(T, 5, 2147483647), "na");
  EXPECT_EQ(Copy(T, 7, 1), "");
  EXPECT_EQ(Copy(T, 1, 0), "");
  EXPECT_EQ(Copy(T, 4), "ana");
  EXPECT_EQ(Copy(T, 99), "");
  EXPECT_EQ(CharAt(T, 1), 'b');
  EXPECT_EQ(CharAt(T, 0), '\0');
  EXPECT_EQ(CharAt(T, 7), '\0');
  struct Caso {
    int Obtido, Esperado;
  };
  const Caso Casos[] = {
      {Pos("na", T), 3},         {Pos("", T), 0},
      {Pos("x", T), 0},          {PosicaoApos("a", T, 3), 4},
      {PosicaoApos("a", T, 0), 2}, {PosicaoApos("a", T, 7), 0},
      {PosicaoUltima("a", T), 6}, {PosicaoUltima("ana", T), 4},
      {PosicaoUltima("", T), 0}, {PosicaoOcorrencia("a", T, 2), 4},
      {PosicaoOcorrencia("a", T, 3), 6}, {PosicaoOcorrencia("a", T, 4), 0},
      {PosicaoOcorrencia("a", T, 0), 2}, {PosicaoOcorrencia("ana", T, 2), 4},
      {ContaOcorrencias("aaa", "aa"), 2}, {ContaOcorrencias(T, ""), 0},
      {ContaOcorrencias(T, "an"), 2}, {ContaOcorrencias("", "a"), 0},
  };
  for (size_t I = 0; I < std::size(Casos); ++I)
    EXPECT_EQ(Casos[I].Obtido, Casos[I].Esperado) << "caso " << I;
}

TEST(ZuvoUtil, TextoELinhas) {
  // Printers pad empty fields with NUL: Trim removes codes 0..32 only.
  const std::string ComNul("\0\t 12 3\r\n\0", 10);
  EXPECT_EQ(Trim(ComNul), "12 3");
  EXPECT_EQ(TrimLeft(ComNul), std::string("12 3\r\n\0", 7));
  EXPECT_EQ(TrimRight(ComNul), std::string("\0\t 12 3", 7));
  EXPECT_EQ(Trim(Bytes({0xA0, 'x', 0xA0})), Bytes({0xA0, 'x', 0xA0}));
  EXPECT_EQ(Trim(std::string(5, '\0')), "");
  EXPECT_EQ(UpperCase("ação"), "AçãO");
  EXPECT_EQ(AnsiUpperCase(Bytes({'a', 0xE7, 0xF7, 0xFE, 0xFF})), Bytes({'A', 0xC7, 0xF7, 0xDE, 0xFF}));
  EXPECT_EQ(LowerCase("AbÇ"), "abÇ");
  EXPECT_TRUE(SameText("Bematech", "BEMATECH"));
  EXPECT_FALSE(SameText("Bema", "Bematech"));
  EXPECT_EQ(StringReplace("aaa", "aa", "b"), "ba");
  EXPECT_EQ(StringReplace("a|b|", "|", "||"), "a||b||");
  EXPECT_EQ(StringReplace("abc", "", "x"), "abc");
  EXPECT_EQ(StringOfChar('-', 3), "---");
  EXPECT_EQ(StringOfChar('-', -2), "");
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd\r\n"), (TStrings{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\n"), (TStrings{"a", ""}));
  EXPECT_EQ(SplitLines("\r\n"), (TStrings{""}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(JoinLines({"a", ""}), "a\r\n\r\n");
}

TEST(ZuvoUtil, CaracteresEAscii) {
  EXPECT_EQ(TiraAcentos("Ação"), "Acao");
  EXPECT_EQ(TiraAcentos(Bytes({'a', 9, 0xC5, 13, 10, 0, 0xFF, 0x7F, '~'})), "a  \r\n   ~");
  // The table's boundaries: each range and the codes just outside it.
  const std::string De = Bytes({191, 192, 196, 197, 198, 199, 200, 203, 204, 207, 208, 209,
                                210, 214, 215, 216, 217, 220, 221, 224, 228, 229, 231, 232,
                                235, 236, 239, 240, 241, 242, 246, 247, 249, 252, 253});
  const std::string Para = Bytes({191, 'A', 'A', 197, 198, 'C', 'E', 'E', 'I', 'I', 208, 'N',
                                  'O', 'O', 215, 216, 'U', 'U', 221, 'a', 'a', 229, 'c', 'e',
                                  'e', 'i', 'i', 240, 'n', 'o', 'o', 247, 'u', 'u', 253});
  for (size_t I = 0; I < De.size(); ++I)
    EXPECT_EQ(TiraAcento(De[I]), Para[I]) << "código " << (De[I] & 0xFF);
  EXPECT_EQ(SoDigitos("R$ 1.234,5-x"), "12345");
  EXPECT_TRUE(EhDigito('0') && EhDigito('9'));
  EXPECT_FALSE(EhDigito('/') || EhDigito(':') || EhDigito(static_cast<char>(0xB2)));

  EXPECT_TRUE(BitLigado(5, 2));
  EXPECT_FALSE(BitLigado(5, 1));
  EXPECT_TRUE(BitLigado(INT32_MIN, 31));
  EXPECT_FALSE(BitLigado(-1, 32));

  EXPECT_EQ(TextoParaAscii(""), "");
  EXPECT_EQ(TextoParaAscii("AB"), "#65,#66");
  EXPECT_EQ(TextoParaAscii(Bytes({0, 0xFF})), "#0,#255");
  struct Caso {
    std::string Texto, Esperado;
  };
  const Caso Casos[] = {
      {"#65,#66,xy", "ABxy"},
      {"  #27,#64 ", Bytes({27, 64})},
      {"#65,,#66", "A,#66"},   // an empty item: the comma opens the next item
      {"a,,,b", "a,b"},
      {"#65,,", "A,"},
      {"#300,#x,#,#-1", "#300#x##-1"},
      {"", ""},
  };
  for (const auto& C : Casos) EXPECT_EQ(AsciiParaTexto(C.Texto), C.Esperado) << C.Texto;
  std::string Todos;
  for (int C = 0; C < 256; ++C) Todos += static_cast<char>(C);
  EXPECT_EQ(AsciiParaTexto(TextoParaAscii(Todos)), Todos);
}

TEST(ZuvoUtil, ConversaoDeNumeros) {
  struct Caso {
    std::string Texto;
    double Numero;  // NAN: TextoParaNumero raises
    double Valor;   // NAN: TextoParaValor raises
  };
  const Caso Casos[] = {
      {"12,5", 12.5, 12.5},      {"12.5", 12.5, 12.5},         {" -3 ", -3, -3},
      {"+2,", 2, 2},             {",5", 0.5, 0.5},             {"1e3", 1000, 1000},
      {std::string("\0" "7\0", 3), 7, 7},
      {"6.275,0000", NAN, 6275}, {"1,234.50", NAN, 1234.5},    {"1.234.567", NAN, 1234567},
      {"1.2,3,4", NAN, NAN},     {"1,2,3", NAN, 123},          {"abc", NAN, NAN},
      {"", NAN, NAN},            {"1.2.3,4", NAN, 123.4},      {"inf", NAN, NAN},
      {"nan", NAN, NAN},         {"--1", NAN, NAN},            {"1 2", NAN, NAN},
      {"0x10", NAN, NAN},        {"1e", NAN, NAN},             {".", NAN, NAN},
      {"-", NAN, NAN},           {"1e999", NAN, NAN},
  };
  for (const auto& C : Casos) {
    if (std::isnan(C.Numero))
      EXPECT_THROW(TextoParaNumero(C.Texto), Exception) << C.Texto;
    else
      EXPECT_DOUBLE_EQ(TextoParaNumero(C.Texto), C.Numero) << C.Texto;
    if (std::isnan(C.Valor))
      EXPECT_THROW(TextoParaValor(C.Texto), Exception) << C.Texto;
    else
      EXPECT_DOUBLE_EQ(TextoParaValor(C.Texto), C.Valor) << C.Texto;
  }
  EXPECT_EQ(TextoParaNumeroDef("1.234,5", -1), -1);
  EXPECT_EQ(TextoParaNumeroDef("2,5", -1), 2.5);
  try {
    TextoParaNumero("abc");
    ADD_FAILURE();
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "'abc' não é um valor numérico válido");
  }

  EXPECT_EQ(StrToInt(" 42 "), 42);
  EXPECT_EQ(StrToInt("-7"), -7);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt("-9223372036854775808"), INT64_MIN);
  for (const char* Ruim : {"9223372036854775808", "1.0", "", "-", "12a", "0x1", "1 2", "+-1"})
    EXPECT_THROW(StrToInt(Ruim), Exception) << Ruim;
  EXPECT_EQ(StrToIntDef("x", -1), -1);
  EXPECT_EQ(StrToIntDef("08", -1), 8);
  try {
    StrToInt("x");
    ADD_FAILURE();
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "'x' não é um valor inteiro válido");
  }
}

TEST(ZuvoUtil, TruncamentoEArredondamento) {
  EXPECT_EQ(TruncaPreciso(1.15 * 100), 115);
  EXPECT_EQ(TruncaPreciso(0.29 * 100), 29);
  EXPECT_EQ(TruncaPreciso(2.9999999997), 3);
  EXPECT_EQ(TruncaPreciso(2.99999), 2);
  EXPECT_EQ(TruncaPreciso(-1.15 * 100), -115);
  EXPECT_EQ(TruncaPreciso(12345678.9 * 100), 1234567890);
  // 4.1 x 6812998.3 in cents is 2793329302.9999995: an error far above 10^-9.
  EXPECT_EQ(TruncaPreciso(4.1 * 6812998.3 * 100), 2793329303);
  EXPECT_EQ(TruncaPreciso(1e12 + 0.7), 1000000000000);
  EXPECT_EQ(TruncaPreciso(5e18), 5000000000000000000);

  struct Caso {
    double Valor;
    int Digito;
    double Esperado;
  };
  const Caso Casos[] = {
      {2.675, -2, 2.68},
      {0.575, -2, 0.58},  // 57.49999999999999 is a half, and 57 is odd
      {1.015, -2, 1.02},          {2.135, -2, 2.14},          {-1.035, -2, -1.04},
      {0.125, -2, 0.12},          {0.135, -2, 0.14},          {-0.125, -2, -0.12},
      {-2.675, -2, -2.68},        {1.005, -2, 1.0},           {0.285, -2, 0.28},
      {0.1249, -2, 0.12},         {0.1251, -2, 0.13},         {1.1 * 3, -2, 3.3},
      {12345678.905, -2, 12345678.9}, {12345678.915, -2, 12345678.92},
      {99999999999.995, -2, 100000000000.0},
      // Computed halves of large amounts: off by 6e-8 and 1e-6 after scaling.
      {0.5 * 9805173.87, -2, 4902586.94}, {5.875 * 8406419.96, -2, 49387717.26},
      {1234.5675, -3, 1234.568},  {2.5, 0, 2},                {3.5, 0, 4},
      {-2.5, 0, -2},              {25, 1, 20},                {35, 1, 40},
      {1.23456, -4, 1.2346},      {7, -2, 7},                 {1e17, -2, 1e17},
  };
  for (const auto& C : Casos)
    EXPECT_EQ(RoundTo(C.Valor, C.Digito), C.Esperado) << C.Valor << " em " << C.Digito;
  EXPECT_FALSE(std::signbit(RoundTo(-0.001, -2)));
  EXPECT_EQ(ArredondaMoeda(0.125), 0.12);
}

TEST(ZuvoUtil, FormatacaoDeNumeros) {
  struct Caso {
    const char* Mascara;
    double Valor;
    const char* Esperado;
  };
  const Caso Casos[] = {
      {"#,###,##0.00", 1234.5, "1.234,50"},
      {"0.000", 1.5, "1,500"},
      {"#,##0.00", -1234567.891, "-1.234.567,89"},
      {"0.00", 2.675, "2,68"},
      {"0.00", 0.125, "0,12"},
      {"0.00", -0.001, "0,00"},
      {"#", 0, ""},
      {"0.##", 1, "1"},
      {"0.0#", 1.5, "1,5"},
      {"0.0#", 1.234, "1,23"},
      {"000000", 42, "000042"},
      {"000", 12345, "12345"},
      {"#,##0", 999999.5, "1.000.000"},
      {"R$ #,##0.00", 1000, "R$ 1.000,00"},
      {"00-00", 1234, "12-34"},
      {"\"x\"0 'kg'", 5, "x5 kg"},
      {".00", 0.5, ",50"},
      {".00", 12.5, "12,50"},
      {"0.00", 1e15, "1000000000000000,00"},
      {"", 2.5, "2,5"},
  };
  for (const auto& C : Casos)
    EXPECT_EQ(FormatFloat(C.Mascara, C.Valor), C.Esperado) << C.Mascara << " " << C.Valor;

  struct CasoStr {
    double Valor;
    const char* Esperado;
  };
  const CasoStr Textos[] = {
      {12.5, "12,5"},     {3, "3"},          {-0.25, "-0,25"},    {0.1 + 0.2, "0,3"},
      {-0.0, "0"},        {1234567.89, "1234567,89"},             {1.0 / 3, "0,333333333333333"},
      {123456789012345.0, "123456789012345"},                     {1e15, "1E15"},
      {0.0001, "0,0001"}, {1.5e-5, "1,5E-5"}, {100, "100"},       {2.0 / 3 * 1e6, "666666,666666667"},
  };
  for (const auto& C : Textos) EXPECT_EQ(FloatToStr(C.Valor), C.Esperado) << C.Valor;
}

TEST(ZuvoUtil, Calendario) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(EncodeDate(2024, 2, 29), 45351);
  EXPECT_EQ(EncodeDate(1899, 12, 29), -1);
  EXPECT_THROW(EncodeDate(2023, 2, 29), Exception);
  EXPECT_THROW(EncodeDate(2024, 13, 1), Exception);
  EXPECT_THROW(EncodeDate(2024, 4, 31), Exception);
  EXPECT_THROW(EncodeDate(0, 1, 1), Exception);
  EXPECT_THROW(EncodeDate(2024, 1, 0), Exception);
  EXPECT_EQ(EncodeTime(12, 0, 0), 0.5);
  EXPECT_THROW(EncodeTime(24, 0, 0), Exception);
  EXPECT_THROW(EncodeTime(0, 60, 0), Exception);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), Exception);
  TDateTime R = -1;
  EXPECT_FALSE(TryEncodeDateTime(2024, 2, 30, 0, 0, 0, R));
  EXPECT_TRUE(TryEncodeDateTime(1899, 12, 29, 6, 0, 0, R));
  EXPECT_EQ(R, -1.25);
  EXPECT_EQ(DiasNoMes(2024, 2), 29);
  EXPECT_EQ(DiasNoMes(1900, 2), 28);
  EXPECT_EQ(DiasNoMes(2000, 2), 29);
  EXPECT_EQ(DiasNoMes(2023, 4), 30);
  EXPECT_EQ(DiasNoMes(2023, 13), 0);

  EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
  // Every day decodes to a valid date that encodes back to itself (the time
  // of day of a negative date-time is counted away from zero).
  for (int D = -693593; D <= 2958465; D += 7) {
    int A, M, Di;
    DecodeDate(D < 0 ? D - 0.75 : D + 0.75, A, M, Di);
    ASSERT_EQ(EncodeDate(A, M, Di), D) << A << "-" << M << "-" << Di;
  }
  int A, M, D, H, N, S, Ms;
  DecodeDate(-1.25, A, M, D);
  DecodeTime(-1.25, H, N, S, Ms);
  EXPECT_EQ((std::vector<int>{A, M, D, H, N, S, Ms}), (std::vector<int>{1899, 12, 29, 6, 0, 0, 0}));
  EXPECT_EQ(DateOf(45356.99), 45356);
}

TEST(ZuvoUtil, FormatacaoDeDatas) {
  const TDateTime T = EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 45);
  struct Caso {
    const char* Formato;
    TDateTime Data;
    const char* Esperado;
  };
  const TDateTime QuaseMeiaNoite = EncodeDate(2024, 12, 31) + (86400 - 1e-7) / 86400.0;
  const Caso Casos[] = {
      {"dd/mm/yyyy hh:nn:ss", T, "05/03/2024 07:08:09"},
      {"ddmmyy", T, "050324"},
      {"ddmmyyhhnnss", T, "050324070809"},
      {"hh:mm", T, "07:08"},
      {"hhmmss", T, "070809"},
      {"dd/mm/yy", T, "05/03/24"},
      {"d/m/yyyy h:n:s", T, "5/3/2024 7:8:9"},
      {"DD/MM/YYYY HH:NN", T, "05/03/2024 07:08"},
      {"\"Data:\" dd 'mm' mm", T, "Data: 05 mm 03"},
      {"hh:nn:ss.zzz", T, "07:08:09.045"},
      {"ddd dddd mmm mmmm", T, "ter terça-feira mar março"},
      {"dd/mm/yyyy hh:nn:ss", QuaseMeiaNoite, "01/01/2025 00:00:00"},
      {"hh:nn:ss", EncodeTime(10, 0, 59) + 0.9996 / 86400, "10:01:00"},
      {"dd/mm/yyyy hh:nn", -1.25, "29/12/1899 06:00"},
  };
  for (const auto& C : Casos) EXPECT_EQ(FormatDateTime(C.Formato, C.Data), C.Esperado) << C.Formato;
}

TEST(ZuvoUtil, LeituraDeDatas) {
  const TDateTime Dia = EncodeDate(2024, 3, 5), Hora = EncodeTime(7, 8, 9);
  struct Caso {
    const char* Texto;
    const char* Formato;
    TDateTime Esperado;  // NAN: raises
  };
  const Caso Casos[] = {
      {"05/03/24", "ddmmyy", Dia},
      {"050369", "ddmmyy", EncodeDate(2069, 3, 5)},
      {"050370", "ddmmyy", EncodeDate(1970, 3, 5)},
      {"05032024", "ddmmyyyy", Dia},
      {"05/03/24 07:08:09", "ddmmyyhhnnss", Dia + Hora},
      {"05032024070809", "ddmmyyyyhhnnss", Dia + Hora},
      {"2024-03-05", "yyyymmdd", Dia},
      {"20240305070809", "yyyymmddhhnnss", Dia + Hora},
      {"07:08:09", "hhnnss", Hora},
      {"320124", "ddmmyy", NAN},
      {"0503", "ddmmyy", NAN},
      {"05032024", "ddmmyy", NAN},
      {"000000", "ddmmyy", NAN},
      {"050324250000", "ddmmyyhhnnss", NAN},
      {"256000", "hhnnss", NAN},
  };
  for (const auto& C : Casos) {
    if (std::isnan(C.Esperado))
      EXPECT_THROW(LeDataHora(C.Texto, C.Formato), Exception) << C.Texto;
    else
      EXPECT_EQ(LeDataHora(C.Texto, C.Formato), C.Esperado) << C.Texto;
  }
  try {
    LeDataHora("000000", "ddmmyy");
    ADD_FAILURE();
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "'000000' não é uma data válida");
  }

  const Caso Textos[] = {
      {"05/03/2024", "", Dia},
      {"5/3/24", "", Dia},
      {" 05/03/2024 07:08 ", "", Dia + EncodeTime(7, 8, 0)},
      {"05/03/2024 07:08:09", "", Dia + Hora},
      {"31/04/2024", "", NAN},
      {"05-03-2024", "", NAN},
      {"05/03/2024 25:00", "", NAN},
      {"05/03/202", "", NAN},
      {"05/03/20245", "", NAN},
      {"05/03/2024x", "", NAN},
      {"05/03/2024 07", "", NAN},
      {"005/03/2024", "", NAN},
      {"", "", NAN},
  };
  for (const auto& C : Textos) {
    if (std::isnan(C.Esperado))
      EXPECT_THROW(StrToDateTime(C.Texto), Exception) << C.Texto;
    else
      EXPECT_EQ(StrToDateTime(C.Texto), C.Esperado) << C.Texto;
  }
}

TEST(ZuvoUtil, FormatacaoSegura) {
  using A = std::vector<ArgFormato>;
  EXPECT_EQ(Formata("%d itens de %s", A{int64_t{3}, std::string("A")}), "3 itens de A");
  EXPECT_EQ(Formata("100%%", A{}), "100%");
  EXPECT_EQ(Formata("[%5d|%-4s|%.3d|%.2s]", A{int64_t{42}, std::string("ab"), int64_t{-7},
                                             std::string("xyz")}),
            "[   42|ab  |-007|xy]");
  EXPECT_EQ(Formata("fixo", A{int64_t{1}}), "fixo");
  // User text passed as an argument is never interpreted.
  EXPECT_EQ(Formata("%s", A{std::string("%n%s%")}), "%n%s%");

  const std::pair<const char*, A> Ruins[] = {
      {"%d", A{}},
      {"%d", A{std::string("x")}},
      {"%s", A{int64_t{1}}},
      {"%x", A{int64_t{1}}},
      {"%n", A{int64_t{1}}},
      {"abc%", A{}},
      {"%d %d", A{int64_t{1}}},
  };
  for (const auto& [Modelo, Args] : Ruins) {
    EXPECT_THROW(Formata(Modelo, Args), Exception) << Modelo;
    EXPECT_EQ(FormataOuTexto(Modelo, Args), Modelo);
  }
  EXPECT_EQ(FormataOuTexto("%d s", A{int64_t{9}}), "9 s");
}

TEST(Utf8, Cp1252BecomesReadableText) {
  EXPECT_EQ(Cp1252ParaUtf8("Ação"), "A\xc3\xa7\xc3\xa3o");
  EXPECT_EQ(Cp1252ParaUtf8("\x80 \x81"), "\xe2\x82\xac ?");
  EXPECT_EQ(Cp1252ParaUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}
