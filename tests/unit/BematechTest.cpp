// The Bematech driver's protocol: the frame, the status decoding, the answer
// split, and the command layouts, against a tiny scripted printer on a
// pseudo-terminal that acknowledges each frame and answers from a table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "drivers/ZuvoECFBematech.h"
#include "sim/PtyPar.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using zuvo::teste::AmbienteTeste;
using zuvo::teste::MensagemDe;

namespace {

std::string B(std::initializer_list<int> v) {
  std::string r;
  for (int c : v) r += static_cast<char>(c);
  return r;
}

class BematechExposto : public TZuvoECFBematech {
 public:
  using TZuvoECFBematech::TZuvoECFBematech;
  using TZuvoECFBematech::BcdToAsc;
  using TZuvoECFBematech::ListaErros;
  using TZuvoECFBematech::PreparaComando;
  using TZuvoECFBematech::VerificaFimLeitura;
};

// The scripted printer. Answers are the bytes after the acknowledgement.
struct Impressora {
  std::mutex m;
  std::vector<std::string> comandos;   // command bytes after ESC
  std::map<std::string, std::string> respostas;  // data; the status follows
  std::map<std::string, std::string> completas;  // the whole answer
  std::string status = B({0, 0});      // ST1, ST2 after every answer
  std::string extra;                   // bytes a detail-memory printer adds
  int ack = 6;
  int recusas = 0;                     // frames to refuse before accepting
  std::string statusLento;             // answer to 19, a byte every 150 ms
  int atrasoMs = 0;                    // other answers come this late

  std::vector<std::string> Comandos() {
    std::lock_guard<std::mutex> l(m);
    return comandos;
  }
  void Responde(const std::string& cmd, const std::string& dados) {
    std::lock_guard<std::mutex> l(m);
    respostas[cmd] = dados;
    completas.erase(cmd);
  }
  void Completa(const std::string& cmd, const std::string& resposta) {
    std::lock_guard<std::mutex> l(m);
    completas[cmd] = resposta;
  }
  size_t Processa(const std::string& p, PtyPar::Saida& out) {
    std::lock_guard<std::mutex> l(m);
    if (p[0] != 2) return 1;
    if (p.size() < 3) return 0;
    size_t n = static_cast<unsigned char>(p[1]) + 256u * static_cast<unsigned char>(p[2]);
    if (p.size() < 3 + n) return 0;
    std::string cmd = p.substr(4, n - 3);
    if (recusas > 0) {
      recusas--;
      out.Escreve(B({21}));
      return 3 + n;
    }
    comandos.push_back(cmd);
    if (ack != 6) {
      if (ack) out.Escreve(std::string(1, static_cast<char>(ack)));
      return 3 + n;
    }
    if (cmd == B({19}) && !statusLento.empty()) {
      out.EmPedacos(statusLento, 1, 150);
      return 3 + n;
    }
    if (auto c = completas.find(cmd); c != completas.end()) {
      out.Escreve(B({6}) + c->second);
      return 3 + n;
    }
    auto r = respostas.find(cmd);
    out.EscreveApos(atrasoMs, B({6}) + (r == respostas.end() ? "" : r->second) + status + extra);
    return 3 + n;
  }
};

// A printer of the older generation, version 3.10, serial 4610...
void ProgramaAntiga(Impressora& imp, const std::string& serie = "461000000012345") {
  // "Comando inexistente" for the detail-memory version query.
  imp.Completa(B({35, 41}), B({0, 0, 0, 4, 0}));
  imp.Responde(B({35, 1}), B({0x03, 0x10}));
  imp.Responde(B({35, 0}), serie);
  // Rates: slot 1 18% (ICMS), slot 2 5% (ISS: bit 6 of the first flag).
  imp.Responde(B({35, 29}), B({0x40, 0}));
  std::string taxas = B({16}) + B({0x18, 0x00, 0x05, 0x00});
  taxas += std::string(28, '\0');
  imp.Responde(B({26}), taxas);
}

class Bematech : public ::testing::Test {
 protected:
  void SetUp() override {
    ecf.SetModelo(ecfBematech);
    auto d = std::make_unique<BematechExposto>(ecf.Device(), ecf.Config());
    drv = d.get();
    ecf.SubstituiDriver(std::move(d));
    ecf.SetPorta(par.CaminhoEscravo());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetReTentar(false);
    par.Inicia([this](const std::string& p, PtyPar::Saida& o) { return imp.Processa(p, o); });
  }
  void AtivaAntiga(const std::string& serie = "461000000012345") {
    ProgramaAntiga(imp, serie);
    ecf.Ativar();
  }
  void AtivaMFD(const std::string& modelo = "MP-2100 TH FI") {
    imp.Responde(B({35, 41}), B({0x01, 0x00, 0x00}));
    imp.Responde(B({35, 60}), modelo + std::string(42 - modelo.size(), ' '));
    imp.Responde(B({35, 40}), "BE050875600000012345");
    imp.Responde(B({35, 29}), B({0x40, 0}));
    imp.Responde(B({26}), B({16, 0x18, 0x00, 0x05, 0x00}) + std::string(28, '\0'));
    ecf.Ativar();
  }
  // The last command the printer received, besides the status checks made
  // while waiting for the end of printing.
  std::string Ultimo() {
    auto c = imp.Comandos();
    while (!c.empty() && c.back() == B({19})) c.pop_back();
    return c.empty() ? "" : c.back();
  }

  AmbienteTeste amb;
  PtyPar par;
  Impressora imp;
  TZuvoECF ecf;
  BematechExposto* drv = nullptr;
};

}  // namespace

TEST(BematechProtocolo, FramesAndBcd) {
  EXPECT_EQ(BematechExposto::PreparaComando(B({19})), B({2, 4, 0, 27, 19, 46, 0}));
  EXPECT_EQ(BematechExposto::PreparaComando(""), "");
  // Length and checksum are 16 bits, low byte first.
  std::string longo(300, '\xFF');
  std::string q = BematechExposto::PreparaComando(longo);
  ASSERT_EQ(q.size(), 306u);
  EXPECT_EQ(q.substr(0, 4), B({2, 303 % 256, 303 / 256, 27}));
  const unsigned soma = 27 + 300 * 255;
  EXPECT_EQ(q.substr(304), B({static_cast<int>(soma % 256), static_cast<int>(soma / 256)}));

  EXPECT_EQ(BematechExposto::BcdToAsc(B({0x12, 0x05})), "1205");
  // A garbled byte is no number: it used to read as "1011".
  EXPECT_THROW(BematechExposto::BcdToAsc(B({0xAB})), EZuvoECFSemResposta);
  EXPECT_THROW(BematechExposto::BcdToAsc(B({0x1A})), EZuvoECFSemResposta);
  EXPECT_EQ(BematechExposto::BcdToAsc(""), "");
}

TEST(BematechProtocolo, ErrorListOrderAndStatusExceptions) {
  EXPECT_EQ(BematechExposto::ListaErros(0x81, 0x01, false),
            "Número de parâmetros de CMD inválido\r\nComando não executado\r\nFim de papel\r\n");
  EXPECT_EQ(BematechExposto::ListaErros(0, 0, false), "");
  // The status command reports an open receipt and low paper without error.
  EXPECT_EQ(BematechExposto::ListaErros(0x42, 0, true), "");
  EXPECT_EQ(BematechExposto::ListaErros(0x42, 0, false), "Cupom aberto\r\nPouco papel\r\n");
  EXPECT_EQ(BematechExposto::ListaErros(0, 0x90, true),
            "Alíquota não programada\r\nTipo de parâmetro de CMD inválido\r\n");
}

TEST_F(Bematech, EndOfAnswerByLengthOrEtx) {
  drv->SetBytesResp(2);
  EXPECT_FALSE(drv->VerificaFimLeitura("abc"));
  EXPECT_TRUE(drv->VerificaFimLeitura("abcd"));
  drv->SetBytesResp(-1);
  EXPECT_TRUE(drv->VerificaFimLeitura(B({0, 0, 'x', 3})));
  EXPECT_FALSE(drv->VerificaFimLeitura(B({0, 0, 'x'})));
  // ST1 = 3 is not the end of the report.
  EXPECT_FALSE(drv->VerificaFimLeitura(B({3})));
  EXPECT_TRUE(drv->VerificaFimLeitura(B({3, 0, 3})));
}

TEST_F(Bematech, ActivationIdentifiesGenerationAndColumns) {
  AtivaAntiga("570800000012345");
  EXPECT_FALSE(ecf.MFD());
  EXPECT_EQ(ecf.ModeloStr(), "Bematech");
  EXPECT_EQ(ecf.NumVersao(), "0310");
  EXPECT_EQ(ecf.Colunas(), 40);
  EXPECT_EQ(imp.Comandos().front(), B({19}));
  ecf.Desativar();

  imp.Responde(B({35, 0}), "461000000012345");
  ecf.Ativar();
  EXPECT_EQ(ecf.Colunas(), 48);
  EXPECT_EQ(ecf.NumSerie(), "461000000012345");
  ecf.Desativar();

  AtivaMFD();
  EXPECT_TRUE(ecf.MFD());
  EXPECT_TRUE(ecf.Termica());
  EXPECT_EQ(ecf.ModeloStr(), "Bematech MFD");
  EXPECT_EQ(ecf.NumVersao(), "010000");
  EXPECT_EQ(ecf.NumSerie(), "BE050875600000012345");
  ecf.Desativar();
  AtivaMFD("MP-2100 FI");
  EXPECT_FALSE(ecf.Termica());
}

TEST_F(Bematech, RefusesAPortThatIsNotSerialAndClosesOnFailure) {
  ecf.SetPorta("/tmp/bematech_nao_serial.txt");
  try {
    ecf.Ativar();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "A impressora: Bematech requer\r\nPorta Serial:  (COM1, COM2, COM3, ...)");
  }
  // A USB adapter's name is a serial port even unplugged: the message says
  // the port is missing instead of asking for a serial one.
  ecf.SetPorta("/dev/ttyUSB97");
  EXPECT_EQ(MensagemDe([&] { ecf.Ativar(); }),
            "Communication error 2: A porta serial /dev/ttyUSB97 não existe");
  EXPECT_FALSE(ecf.Ativo());
  ecf.SetPorta(par.CaminhoEscravo());
  imp.ack = 0;  // silent printer
  EXPECT_THROW(ecf.Ativar(), EZuvoECFSemResposta);
  EXPECT_FALSE(ecf.Ativo());
}

TEST_F(Bematech, AnswerSplitIgnoresExtraStatusBytes) {
  AtivaAntiga();
  // ST2 bit 6 in the extra byte must not be read as "Memória fiscal lotada".
  imp.extra = B({0x40});
  imp.Responde(B({35, 14}), B({0x00, 0x07}));
  EXPECT_EQ(ecf.NumECF(), "0007");
  EXPECT_EQ(drv->ST1(), 0);
  EXPECT_EQ(drv->ST2(), 0);
  EXPECT_EQ(drv->BytesResp(), 0);  // reset after the command
  imp.Responde(B({29}), B({0x00, 0x00, 0x00, 0x00, 0x01, 0x23, 0x45}));
  EXPECT_DOUBLE_EQ(ecf.SubTotal(), 123.45);
}

TEST_F(Bematech, PrinterErrorsAndLowPaper) {
  AtivaAntiga();
  imp.status = B({0x81, 0x01});
  try {
    ecf.LeituraX();
    FAIL();
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_STREQ(e.what(),
                 "Erro retornado pela Impressora: Bematech\r\n\r\n"
                 "Número de parâmetros de CMD inválido\r\nComando não executado\r\n"
                 "Fim de papel\r\n");
  }
  int avisos = 0;
  ecf.SetOnMsgPoucoPapel([&](TZuvoECFClass*) { avisos++; });
  // Low paper with an open receipt: fine for the status command...
  imp.status = B({0x42, 0});
  EXPECT_NO_THROW(drv->EnviaComando(B({19})));
  EXPECT_TRUE(ecf.PoucoPapel());
  // ...an error naming only the open receipt for any other command.
  try {
    ecf.LeituraX();
    FAIL();
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_STREQ(e.what(), "Erro retornado pela Impressora: Bematech\r\n\r\nCupom aberto\r\n");
  }
  imp.status = B({0x40, 0});
  EXPECT_NO_THROW(ecf.LeituraX());
  EXPECT_EQ(avisos, 1);
  // A new receipt warns again at once.
  ecf.AbreCupom();
  EXPECT_EQ(avisos, 2);
}

TEST_F(Bematech, AcknowledgementFailuresAskAndRetry) {
  AtivaAntiga();
  imp.ack = 0;
  drv->SetAguardaImpressao(true);
  drv->SetBytesResp(3);
  try {
    ecf.NumCupom();
    FAIL();
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_STREQ(e.what(), "Impressora Bematech não responde (ACK = 0)");
  }
  // A command that failed before its answer leaves no setting behind.
  EXPECT_FALSE(drv->AguardaImpressao());
  EXPECT_EQ(drv->BytesResp(), 0);
  imp.ack = 0x55;
  try {
    ecf.NumCupom();
    FAIL();
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_STREQ(e.what(), "Erro. Resposta da Impressora Bematech inválida\r\n (ACK = 85)");
  }

  // Two refusals; the question is answered Yes each time.
  imp.ack = 6;
  imp.recusas = 2;
  std::vector<std::string> perguntas;
  drv->OnMsgRetentar = [&](const std::string& m, const std::string& s, bool& r) {
    perguntas.push_back(s + ":" + m);
    r = true;
  };
  EXPECT_NO_THROW(ecf.LeituraX());
  ASSERT_EQ(perguntas.size(), 2u);
  EXPECT_EQ(perguntas[0],
            "LerACK:Impressora Bematech não reconheceu o Comando\r\n (ACK = 21)\r\n\r\n"
            "Se o problema persistir, verifique os cabos, ou\r\n"
            "experimente desligar a impressora durante 5 seg,\r\n"
            "liga-la novamente, e repetir a operação...");
  EXPECT_EQ(drv->ACK(), 6);
}

TEST_F(Bematech, TablesSkipEmptyNulSlots) {
  AtivaAntiga();
  ASSERT_EQ(ecf.Aliquotas().Count(), 2);
  EXPECT_EQ(ecf.Aliquotas()[0].Indice, "01");
  EXPECT_DOUBLE_EQ(ecf.Aliquotas()[0].Aliquota, 18);
  EXPECT_EQ(ecf.Aliquotas()[0].Tipo, 'T');
  EXPECT_EQ(ecf.Aliquotas()[1].Indice, "02");
  EXPECT_EQ(ecf.Aliquotas()[1].Tipo, 'S');

  std::string fpg = B({0}) + "Dinheiro        " + "Cartao          " +
                    std::string(14 * 16, '\0');
  fpg += std::string(1925 - fpg.size(), '\0');
  imp.Responde(B({35, 32}), fpg);
  ASSERT_EQ(ecf.FormasPagamento().Count(), 2);
  EXPECT_EQ(ecf.FormasPagamento()[0].Indice, "01");
  EXPECT_FALSE(ecf.FormasPagamento()[0].PermiteVinculado);
  EXPECT_EQ(ecf.FormasPagamento()[1].Descricao, "Cartao");
  EXPECT_TRUE(ecf.FormasPagamento()[1].PermiteVinculado);

  // Non-fiscal types: records of 31 bytes, description at byte 13.
  std::string cnf(1550, '\0');
  cnf.replace(31 + 12, 19, "CONTA LUZ          ");
  imp.Responde(B({35, 33}), cnf);
  auto& lista = ecf.ComprovantesNaoFiscais();
  ASSERT_EQ(lista.Count(), 3);
  EXPECT_EQ(lista[0].Indice, "SA");
  EXPECT_EQ(lista[1].Descricao, "Suprimento");
  EXPECT_EQ(lista[2].Indice, "02");
  EXPECT_EQ(lista[2].Descricao, "CONTA LUZ");
  // A new type goes after the printer's own, never over slot 02.
  ecf.ProgramaComprovanteNaoFiscal("AGUA");
  EXPECT_EQ(Ultimo(), "(03AGUA               ");
}

TEST_F(Bematech, SaleLayoutsOfBothGenerations) {
  AtivaAntiga();
  ecf.VendeItem("789", "BISCOITO", "18", 1.5, 2.555);
  EXPECT_EQ(Ultimo(), B({56}) + "789          " + "BISCOITO                     " + "01" +
                          "0001500" + "00002555" + "0000");
  ecf.VendeItem("1", "SERVICO", "5S", 2, 8.5, 10);
  EXPECT_EQ(Ultimo(), B({9}) + "1            " + "SERVICO                      " + "02" + "0002" +
                          "00000850" + "1000");
  // Units go first on version 3.00 and later.
  ecf.VendeItem("2", "ARROZ", "FF", 1, 1, 0, "KG");
  auto c = imp.Comandos();
  EXPECT_EQ(c[c.size() - 2], ">3KG");
  EXPECT_EQ(c.back().substr(43, 2), "FF");

  const size_t antes = imp.Comandos().size();
  EXPECT_THROW(ecf.VendeItem("3", "X", "18", 10000, 1), EZuvoECFCMDInvalido);
  try {
    ecf.VendeItem("3", "X", "99", 1, 1);
    FAIL();
  } catch (const EZuvoECFCMDInvalido& e) {
    EXPECT_STREQ(e.what(), "Aliquota nao encontrada: 99 ");
  }
  EXPECT_EQ(imp.Comandos().size(), antes);
  ecf.Desativar();

  AtivaMFD();
  ecf.VendeItem("789001", "CAFE", "18", 2, 8.5, 10, "UN");
  EXPECT_EQ(Ultimo(), "?01" + std::string("000008500") + "0002000" + "0000000170" +
                          std::string(32, '0') + "UN" + "789001" + B({0}) + "CAFE" + B({0}));
}

TEST_F(Bematech, NeedleImpactIsClampedAndOnlyOnOlderPrinters) {
  AtivaAntiga();
  drv->ImpactoAgulhas(5);
  EXPECT_EQ(Ultimo(), "|3");
  drv->ImpactoAgulhas(0);
  EXPECT_EQ(Ultimo(), "|1");
  ecf.Desativar();
  AtivaMFD();
  try {
    drv->ImpactoAgulhas(2);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(),
                 "Comando para aumentar o impacto das agulhas não disponível neste modelo de ECF.");
  }
}

TEST_F(Bematech, StatesFromTheFlagsAndTheFiscalDay) {
  AtivaAntiga();
  const std::pair<int, TZuvoECFEstado> casos[] = {
      {0x00, estLivre}, {0x01, estVenda}, {0x03, estPagamento}, {0x09, estBloqueada}};
  for (auto [flags, estado] : casos) {
    imp.Responde(B({35, 17}), B({flags}));
    EXPECT_EQ(ecf.Estado(), estado) << flags;
  }
  ecf.Desativar();
  EXPECT_EQ(ecf.Estado(), estNaoInicializada);

  AtivaMFD();
  imp.Responde(B({35, 17}), B({0}));
  imp.Responde(B({35, 23}), B({0x07, 0x12, 0x26, 0x10, 0x00, 0x00}));
  imp.Responde(B({35, 27}), B({0x06, 0x12, 0x26}));
  EXPECT_EQ(ecf.Estado(), estRequerZ);
  imp.Responde(B({35, 27}), B({0x07, 0x12, 0x26}));
  EXPECT_EQ(ecf.Estado(), estLivre);
  EXPECT_EQ(ecf.DataHora(), EncodeDate(2026, 12, 7) + EncodeTime(10, 0, 0));
}

TEST_F(Bematech, ReceiptCommandsAndSerialFiscalMemory) {
  AtivaAntiga();
  imp.Responde(B({35, 32}), B({0}) + "Dinheiro" + std::string(1916, '\0'));
  ecf.EfetuaPagamento("01", 20);
  EXPECT_EQ(Ultimo(), "H01" + std::string("00000000002000"));
  ecf.SubtotalizaCupom(-1.5);
  EXPECT_EQ(Ultimo(), B({32}) + "d00000000000150");
  drv->FechaCupom("Obrigado");
  EXPECT_EQ(Ultimo(), "\"Obrigado\n");
  ecf.ReducaoZ(EncodeDate(2026, 12, 7) + EncodeTime(23, 59, 58));
  EXPECT_EQ(Ultimo(), B({5}) + "071226235958");

  // The serial read: ST1, ST2, the text, ETX.
  imp.status = "";
  imp.Responde(B({8}) + "000001000003R", B({0, 0}) + "LINHA 1\r\nLINHA 2\r\n" + B({3}));
  TStrings linhas{"velha"};
  ecf.LeituraMemoriaFiscalSerial(1, 3, linhas);
  EXPECT_EQ(linhas, (TStrings{"LINHA 1", "LINHA 2"}));
}

TEST_F(Bematech, CheckUsesTheBankLayout) {
  char pasta[] = "/tmp/bematech_chq_XXXXXX";
  ASSERT_NE(mkdtemp(pasta), nullptr);
  amb.Plataforma.SetPasta(std::string(pasta) + "/");
  AtivaAntiga();
  ecf.ImprimeCheque("1", 123.45, "FULANO", "SAO PAULO", EncodeDate(2026, 12, 7), "OBS");
  const std::string cmd = Ultimo();
  ASSERT_EQ(cmd.size(), 1u + 14 + 45 + 27 + 8 + 13 + 3);
  EXPECT_EQ(cmd.substr(0, 15), "900000000012345");
  EXPECT_EQ(cmd.substr(15 + 45, 27), std::string(18, ' ') + "SAO PAULO");
  EXPECT_EQ(cmd.substr(87, 8), "07122026");
  EXPECT_EQ(cmd.substr(95, 13), B({51, 10, 1, 6, 18, 50, 54, 71, 2, 5, 8, 10, 12}));
  EXPECT_EQ(cmd.substr(108), "OBS");
  rmdir(pasta);
}

TEST_F(Bematech, EndOfPrintingReadsTheWholeStatusAnswer) {
  AtivaAntiga();
  // A slow line: ACK, ST1 and ST2 of the status check come 150 ms apart.
  // Leaving ST2 behind would make it the next command's acknowledgement.
  imp.statusLento = B({6, 0x02, 0x08});
  ecf.LeituraX();
  imp.statusLento.clear();
  imp.atrasoMs = 400;
  imp.Responde(B({30}), B({0x00, 0x01, 0x23}));
  EXPECT_EQ(ecf.NumCupom(), "000123");
}

TEST_F(Bematech, ThermalTextGoesInBlocksCutAtALineEnd) {
  AtivaMFD();
  ASSERT_TRUE(ecf.Termica());
  // 41 lines of 31 characters with their LF: the 20th LF is the 620th
  // character, so the text goes as 20 lines, 20 lines and 1 line.
  std::string texto;
  for (int i = 1; i <= 41; i++) texto += "LINHA " + InteiroZeros(i, 2) + std::string(22, '.') + "\n";
  const size_t antes = imp.Comandos().size();
  ecf.LinhaRelatorioGerencial(texto);
  std::vector<std::string> blocos;
  auto c = imp.Comandos();
  for (size_t i = antes; i < c.size(); i++)
    if (c[i] != B({19})) blocos.push_back(c[i]);
  ASSERT_EQ(blocos.size(), 3u);
  EXPECT_EQ(blocos[0], B({20}) + texto.substr(0, 620));
  EXPECT_EQ(blocos[1], B({20}) + texto.substr(620, 620));
  EXPECT_EQ(blocos[2], B({20}) + texto.substr(1240));
  EXPECT_FALSE(drv->AguardaImpressao());
}
