// The FiscNET protocol pieces: the command frame and its parameter forms,
// the answer parser, the end-of-answer rule, the code page, and the errors a
// driver builds from a printer's answer (over a scripted pseudo-terminal).
#include <gtest/gtest.h>

#include <cmath>

#include <string>

#include "component/ZuvoECF.h"
#include "drivers/ZuvoECFFiscNET.h"
#include "sim/PtyPar.h"
#include "support/PlataformaTeste.h"
#include "support/Erros.h"

using namespace zuvo;

namespace {

// An answer in the documented form: the text, ';', its length, '}'.
std::string Fecha(const std::string& Texto) {
  return Texto + ";" + std::to_string(Texto.size()) + "}";
}

TZuvoECFFiscNETResposta Le(const std::string& r) {
  TZuvoECFFiscNETResposta resp;
  resp.SetResposta(r);
  return resp;
}

}  // namespace

// ----- The command frame -----

TEST(FiscNETComando, FramesCarrySequenceNameParametersAndLength) {
  TZuvoECFFiscNETComando c;
  c.SetComando("LeTexto");
  c.AddParamString("NomeTexto", "Marca");
  EXPECT_EQ(c.Quadro(), "{1;LeTexto;NomeTexto=\"Marca\";28}");
  c.SetComando("  AbreCupomFiscal ");
  EXPECT_EQ(c.Comando(), "AbreCupomFiscal");
  EXPECT_EQ(c.Quadro(), "{2;AbreCupomFiscal;;19}");

  // Parameters are separated by one blank, the last one has none after it.
  c.SetComando("X");
  c.AddParamInteger("A", 1);
  c.AddParamInteger("B", 22);
  std::string q = c.Quadro();
  EXPECT_EQ(q, "{3;X;A=1 B=22;" + std::to_string(q.rfind(';')) + "}");
}

TEST(FiscNETComando, SequenceWrapsAfter250AndNewCommandResetsState) {
  TZuvoECFFiscNETComando c;
  for (int i = 1; i <= 250; i++) {
    c.SetComando("LeInteiro");
    ASSERT_EQ(c.Sequencia(), i);
  }
  c.SetTimeOut(15);
  c.AddParamInteger("A", 1);
  c.SetComando("LeInteiro");
  EXPECT_EQ(c.Sequencia(), 1);
  EXPECT_EQ(c.TimeOut(), 0);
  EXPECT_TRUE(c.Params().empty());
}

TEST(FiscNETComando, TextParametersEscapeEveryByteClass) {
  TZuvoECFFiscNETComando c;
  c.SetComando("T");
  c.AddParamString("A", "a\\b\"c");               // backslash and quote
  c.AddParamString("B", std::string("x\ny\x01", 4) + "\x7F");  // controls; 127 stays
  c.AddParamString("C", "AÇÚCAR  ");              // bytes above 127; trailing blanks go
  c.AddParamString("D", "");                      // empty: no parameter at all
  c.AddParamString("E", "   ");                   // blank only: nothing left to send
  ASSERT_EQ(c.Params().size(), 3u);
  EXPECT_EQ(c.Params()[0], "A=\"a\\\\b\\\"c\"");
  EXPECT_EQ(c.Params()[1], std::string("B=\"x\\x0Ay\\x01\x7F\""));
  EXPECT_EQ(c.Params()[2], "C=\"A\\xC7\\xDACAR\"");
  EXPECT_EQ(TZuvoECFFiscNETComando::Escapa(std::string(1, '\0')), "\\x00");
  EXPECT_EQ(TZuvoECFFiscNETComando::Escapa("\xFF"), "\\xFF");
}

TEST(FiscNETComando, NumbersIntegersBooleansDatesAndTimes) {
  TZuvoECFFiscNETComando c;
  c.SetComando("T");
  c.AddParamDouble("N1", 12.5);
  c.AddParamDouble("N2", 1.23456);  // 4 decimals at most
  c.AddParamDouble("N3", -10);
  c.AddParamDouble("N4", 1234567.89);
  c.AddParamInteger("I", -2);
  c.AddParamBool("V", true);
  c.AddParamBool("F", false);
  c.AddParamDate("D", EncodeDate(2026, 3, 5) + EncodeTime(14, 7, 9));
  c.AddParamTime("H", EncodeDate(2026, 3, 5) + EncodeTime(14, 7, 9));
  EXPECT_EQ(c.Params(), (TStrings{"N1=12,5", "N2=1,2346", "N3=-10", "N4=1234567,89", "I=-2", "V=t",
                                  "F=f", "D=#05/03/2026#", "H=#14:07:09#"}));
}

// Numbers go out in plain notation or not at all: "NAN" or "1E-5" would be
// a syntax error at best.
TEST(FiscNETComando, NumbersNeverInExponentFormAndNonsenseRefused) {
  TZuvoECFFiscNETComando c;
  c.SetComando("T");
  c.AddParamDouble("P", 0.0001);
  c.AddParamDouble("G", 12345678.9);
  EXPECT_EQ(c.Params(), (TStrings{"P=0,0001", "G=12345678,9"}));
  for (const double ruim : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, -1e300, 0.00001})
    EXPECT_THROW(c.AddParamDouble("Quantidade", ruim), EZuvoECFCMDInvalido) << ruim;
}

// ----- The answer parser -----

TEST(FiscNETResposta, SplitsQuotedDelimitedAndBareValues) {
  auto r = Le("{5;0;ValorTexto=\"ABC \\x22X\\x22\" ValorInteiro=12;47}");
  EXPECT_EQ(r.Sequencia(), 5);
  EXPECT_EQ(r.CodRetorno(), 0);
  EXPECT_EQ(r.Tamanho(), 47);
  EXPECT_EQ(r.Params(), (TStrings{"ValorTexto=ABC \"X\"", "ValorInteiro=12"}));

  // A quoted value may hold ';', '=', '"', '}' and blanks; a #value# a date.
  r = Le("{7;0;A=\"x;y = \\\"z\\\" }  \" D=#05/03/2026# N=-1,5;0}");
  EXPECT_EQ(r.Valor("A"), "x;y = \"z\" }  ");
  EXPECT_EQ(r.Valor("D"), "05/03/2026");
  EXPECT_EQ(r.Valor("n"), "-1,5");  // names ignore case
  EXPECT_EQ(r.Valor("Falta"), "");
  EXPECT_FALSE(r.Tem("Falta"));
  EXPECT_TRUE(r.Tem("N"));
}

TEST(FiscNETResposta, UnescapesInOnePassLeftToRight) {
  // A value ending in a backslash keeps the entries after it.
  auto r = Le("{1;0;Caminho=\"C:\\\\\" Outro=\"ok\";0}");
  EXPECT_EQ(r.Valor("Caminho"), "C:\\");
  EXPECT_EQ(r.Valor("Outro"), "ok");
  // \\x41 is a backslash followed by "x41", not "A".
  EXPECT_EQ(TZuvoECFFiscNETResposta::DesEscapa("\\\\x41"), "\\x41");
  EXPECT_EQ(TZuvoECFFiscNETResposta::DesEscapa("\\xc6\\x0A"), "\xC6\n");
  // An unreadable pair becomes a blank; a lone or unknown backslash stays.
  EXPECT_EQ(TZuvoECFFiscNETResposta::DesEscapa("a\\xZ1b"), "a b");
  EXPECT_EQ(TZuvoECFFiscNETResposta::DesEscapa("a\\x"), "a ");
  EXPECT_EQ(TZuvoECFFiscNETResposta::DesEscapa("a\\nb\\"), "a\\nb\\");
}

TEST(FiscNETResposta, RealPrinterFormAndBrokenAnswers) {
  auto r = Le("{0;0;ValorMoeda=6.275,0000;}");
  EXPECT_EQ(r.Sequencia(), 0);
  EXPECT_EQ(r.Tamanho(), 0);
  EXPECT_EQ(r.Valor("ValorMoeda"), "6.275,0000");
  EXPECT_DOUBLE_EQ(TextoParaValor(r.Valor("ValorMoeda")), 6275.0);

  r = Le("");
  EXPECT_TRUE(r.Params().empty());
  EXPECT_EQ(r.CodRetorno(), 0);

  // An unterminated quote takes the rest rather than reading past the end.
  r = Le("{1;0;A=\"abc;0}");
  EXPECT_EQ(r.Valor("A"), "abc");

  try {
    Le("{x;0;;5}");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Num.Identificação inválido");
  }
  try {
    Le("{1;ok;;5}");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Cod.Retorno inválido");
  }
  EXPECT_THROW(Le("{}"), Exception);
  EXPECT_THROW(Le("}"), Exception);
}

// ----- The code page -----

TEST(FiscNETPaginaCodigo, ConvertsBetweenCP850AndWindows1252) {
  EXPECT_EQ(CP850ParaWin1252("Cart\xC6o Cr\x82" "dito \x80"), "Cartão Crédito Ç");
  EXPECT_EQ(Win1252ParaCP850("Cartão Crédito Ç"), "Cart\xC6o Cr\x82" "dito \x80");
  EXPECT_EQ(CP850ParaWin1252("\xB3\xC9"), "??");  // box drawing has no Windows-1252 form
  EXPECT_EQ(Win1252ParaCP850("\x80"), "?");       // the euro sign has no CP850 form
  // Every character both pages share survives the round trip.
  for (int b = 0; b < 256; b++) {
    std::string s(1, static_cast<char>(b));
    std::string ida = Win1252ParaCP850(s);
    if (ida != "?") {
      EXPECT_EQ(CP850ParaWin1252(ida), s) << b;
    }
  }
}

// ----- The driver over a scripted printer -----

namespace {

struct DriverFiscNET : ::testing::Test {
  teste::AmbienteTeste amb;
  PtyPar par;
  TZuvoECF ecf;
  std::string resposta;  // what the scripted printer answers to every frame
  std::string semResposta;  // frames holding this text go unanswered

  void SetUp() override {
    ecf.SetModelo(ecfFiscNET);
    ecf.SetPorta(par.CaminhoEscravo());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetReTentar(false);
    par.Inicia([this](const std::string& p, PtyPar::Saida& out) {
      auto fim = p.find('}');
      if (fim == std::string::npos) return size_t{0};
      if (semResposta.empty() || p.substr(0, fim).find(semResposta) == std::string::npos)
        out.Escreve(resposta);
      return fim + 1;
    });
    // Commands without Ativar: open the port only.
    ecf.Device().Ativar();
  }
  void TearDown() override { ecf.Device().Desativar(); }
  TZuvoECFFiscNET& drv() { return dynamic_cast<TZuvoECFFiscNET&>(ecf.ECF()); }
};

}  // namespace

TEST_F(DriverFiscNET, ForcesItsSerialSettingsAndModel) {
  EXPECT_EQ(ecf.Device().Baud(), 115200);
  EXPECT_EQ(ecf.Device().Parity(), pEven);
  EXPECT_EQ(ecf.Device().HandShake(), hsRTS_CTS);
  EXPECT_EQ(ecf.Device().Data(), 8);
  EXPECT_EQ(ecf.ModeloStr(), "FiscNET MFD");
  EXPECT_EQ(ecf.Colunas(), 48);
  EXPECT_TRUE(ecf.ECF().Termica());
}

TEST_F(DriverFiscNET, EndOfAnswerRule) {
  struct Exposto : TZuvoECFFiscNET {
    using TZuvoECFFiscNET::TZuvoECFFiscNET;
    using TZuvoECFFiscNET::VerificaFimLeitura;
  } d(ecf.Device(), ecf.Config());
  EXPECT_TRUE(d.VerificaFimLeitura("{2;AbreCupomFiscal;;19}"));
  EXPECT_TRUE(d.VerificaFimLeitura("{0;0;;}"));  // real printers leave the length empty
  EXPECT_FALSE(d.VerificaFimLeitura(""));
  EXPECT_FALSE(d.VerificaFimLeitura("{1;0;19"));
  EXPECT_FALSE(d.VerificaFimLeitura("{1;0}"));
  // A chunk that ends at a '}' inside a quoted value is not the whole answer.
  EXPECT_FALSE(d.VerificaFimLeitura("{1;0;V=\"a;b}"));
  EXPECT_FALSE(d.VerificaFimLeitura("{1;0;V=\"x;12}"));
  EXPECT_FALSE(d.VerificaFimLeitura("{1;0;;99}"));
  EXPECT_FALSE(d.VerificaFimLeitura("{0;0;V=\"a;}"));  // real form, still inside the quotes
  EXPECT_TRUE(d.VerificaFimLeitura("{0;0;V=\"a;}\\\"\";}"));
  EXPECT_TRUE(d.VerificaFimLeitura(Fecha("{3;0;V=\"x;}\" W=1")));
}

TEST_F(DriverFiscNET, PrinterErrorsCarryItsNamesInWindows1252) {
  resposta = Fecha("{1;7;NomeErro=\"ErroCMDEstado\" Circunstancia=\"Comando n\\xC6o permitido\"");
  EXPECT_EQ(teste::MensagemDe([&] { ecf.NumCupom(); }),
            "Erro retornado pela Impressora: FiscNET MFD\n\nErro: 7 - ErroCMDEstado\n"
            "Comando não permitido");
  EXPECT_FALSE(ecf.AguardandoResposta());

  resposta = Fecha("{1;zz;");
  EXPECT_EQ(teste::MensagemDe([&] { ecf.NumCupom(); }),
            "Erro retornado pela Impressora: FiscNET MFD\n\nResposta do ECF inválida");
  resposta = Fecha("{q;0;");
  EXPECT_EQ(teste::MensagemDe([&] { ecf.NumCupom(); }),
            "Erro retornado pela Impressora: FiscNET MFD\n\nResposta do ECF inválida");
}

TEST_F(DriverFiscNET, ReadsAmountsWithThousandsAndIntegersZeroFilled) {
  resposta = "{0;0;ValorMoeda=6.275,0000;}";
  EXPECT_DOUBLE_EQ(ecf.SubTotal(), 6275.0);
  resposta = "{0;0;ValorMoeda=1.234.567,89;}";
  EXPECT_DOUBLE_EQ(ecf.TotalPago(), 1234567.89);
  resposta = "{0;0;ValorMoeda=12.5;}";
  EXPECT_DOUBLE_EQ(ecf.SubTotal(), 12.5);
  resposta = "{0;0;ValorInteiro=42;}";
  EXPECT_EQ(ecf.NumCupom(), "000042");
  EXPECT_EQ(ecf.NumCRO(), "000042");
  // A malformed or missing number is no 0.
  resposta = "{0;0;ValorInteiro=abc;}";
  EXPECT_THROW(ecf.NumCupom(), EZuvoECFSemResposta);
  resposta = "{0;0;;}";
  EXPECT_THROW(ecf.SubTotal(), EZuvoECFSemResposta);
}

TEST_F(DriverFiscNET, RawCommandsAndTheFrameSent) {
  resposta = "{0;0;ValorTexto=\"Marca X\";}";
  EXPECT_EQ(ecf.EnviaComando("LeTexto;NomeTexto=\"Marca\"\nOutro=1"), resposta);
  std::string enviado = ecf.ComandoEnviado();
  EXPECT_NE(enviado.find(";LeTexto;NomeTexto=\"Marca\" Outro=1;"), std::string::npos) << enviado;
  EXPECT_EQ(drv().Resposta().Valor("ValorTexto"), "Marca X");
  ecf.EnviaComando("AbreGaveta");
  EXPECT_NE(ecf.ComandoEnviado().find(";AbreGaveta;;"), std::string::npos);
}

// A bad quantity or discount is refused before the item is sold: the
// discount goes in a second command, too late to take the item back.
TEST_F(DriverFiscNET, SaleNumbersCheckedBeforeAnythingIsSent) {
  resposta = "{0;0;;}";
  struct Caso {
    double Qtd, Preco, Desconto;
  };
  const double nan = std::nan("");
  for (const Caso& c : {Caso{nan, 1, 0}, Caso{1e300, 1, 0}, Caso{1, nan, 0}, Caso{1, 1e300, 0},
                        Caso{1, 1, nan}, Caso{1, 1, -5}, Caso{1, 1, 100}}) {
    SCOPED_TRACE(::testing::Message() << c.Qtd << " " << c.Preco << " " << c.Desconto);
    EXPECT_THROW(drv().VendeItem("1", "A", "T01", c.Qtd, c.Preco, c.Desconto, "UN"),
                 EZuvoECFCMDInvalido);
    EXPECT_EQ(ecf.ComandoEnviado().find("VendeItem"), std::string::npos);
  }
  drv().VendeItem("1", "A", "T01", 0.0001, 2, 0, "UN");
  EXPECT_NE(ecf.ComandoEnviado().find("Quantidade=0,0001"), std::string::npos);
}

TEST_F(DriverFiscNET, DateAndTimeFromThePrinterAndBadOnes) {
  resposta = "{0;0;ValorData=#05/03/2026# ValorHora=#14:07:09#;}";
  EXPECT_DOUBLE_EQ(ecf.DataHora(), EncodeDate(2026, 3, 5) + EncodeTime(14, 7, 9));
  resposta = "{0;0;ValorData=#31/02/2026# ValorHora=#1;}";
  EXPECT_THROW(ecf.DataHora(), EZuvoECFSemResposta);
}

TEST(FiscNETAtivar, NeedsASerialPortAndAVersion) {
  teste::AmbienteTeste amb;
  PtyPar par;
  par.Inicia([](const std::string& p, PtyPar::Saida& out) {
    auto fim = p.find('}');
    if (fim == std::string::npos) return size_t{0};
    out.Escreve("{0;0;ValorTexto=\"\";}");  // no version
    return fim + 1;
  });
  TZuvoECF ecf;
  ecf.SetModelo(ecfFiscNET);
  ecf.SetTimeOut(1);
  ecf.SetPorta(par.CaminhoEscravo());
  try {
    ecf.Ativar();
    FAIL();
  } catch (const EZuvoECFNaoInicializado& e) {
    EXPECT_STREQ(e.what(), "Erro inicializando a impressora FiscNET MFD");
  }
  EXPECT_FALSE(ecf.Ativo());
  EXPECT_FALSE(ecf.Device().Ativo());

  ecf.SetPorta("/tmp/fiscnet_nao_serial.txt");
  try {
    ecf.Ativar();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "A impressora: FiscNET MFD requer\r\nPorta Serial:  (COM1, COM2, COM3, ...)");
  }
  EXPECT_FALSE(ecf.Ativo());
}

TEST_F(DriverFiscNET, ChequesStayNotImplemented) {
  EXPECT_EQ(teste::MensagemDe([&] { ecf.ImprimeCheque("001", 10, "Fulano", "Sao Paulo", EncodeDate(2026, 1, 1)); }),
            "Rotina de Impressão de Cheques não implementada para Impressora FiscNET MFD");
  EXPECT_EQ(par.Recebido(), "");  // nothing was sent
}

TEST_F(DriverFiscNET, LongCommandsRaiseTheTimeOutOnlyForThemselves) {
  // A refused reading keeps its command for inspection.
  resposta = Fecha("{1;3;NomeErro=\"ErroCMDParametroForaFaixa\" Circunstancia=\"x\"");
  EXPECT_NE(teste::MensagemDe([&] { ecf.LeituraMemoriaFiscal(10, 20); }), teste::kSemErro);
  EXPECT_EQ(drv().Comando().Comando(), "EmiteLeituraMF");
  EXPECT_EQ(drv().Comando().TimeOut(), 16);  // one second per reduction, plus 5
  const TDateTime dia = EncodeDate(2026, 3, 1);
  EXPECT_NE(teste::MensagemDe([&] { ecf.LeituraMemoriaFiscal(dia, dia + 3); }), teste::kSemErro);
  EXPECT_EQ(drv().Comando().TimeOut(), 8);
  EXPECT_NE(teste::MensagemDe([&] { ecf.ReducaoZ(0); }), teste::kSemErro);
  EXPECT_EQ(drv().Comando().TimeOut(), 45);
  EXPECT_EQ(ecf.TimeOut(), 1);  // restored after each refusal
}

TEST_F(DriverFiscNET, AnUnansweredPaperProbeIsNoRetryQuestion) {
  resposta = "{0;0;;}";
  semResposta = "LeIndicador";  // the printer does not answer the paper sensor
  ecf.SetReTentar(true);
  int perguntas = 0;
  ecf.SetOnMsgRetentar([&](const std::string&, const std::string&, bool& r) {
    perguntas++;
    r = false;
  });
  EXPECT_NO_THROW(ecf.LeituraX());
  EXPECT_EQ(perguntas, 0);
  EXPECT_FALSE(ecf.AguardandoResposta());
  // A command the caller asked for still puts the question.
  EXPECT_NE(teste::MensagemDe([&] { ecf.PoucoPapel(); }), teste::kSemErro);
  EXPECT_EQ(perguntas, 1);
}
