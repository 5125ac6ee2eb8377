// The Urano driver's protocol against a tiny scripted printer on a
// pseudo-terminal: the frame, the end of an answer that has no terminator,
// the status table, the sale's layouts, and the faults of the printer's
// description that the driver mends.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "drivers/ZuvoECFUrano.h"
#include "sim/PtyPar.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using zuvo::teste::MensagemDe;

namespace {

const std::string kModelo = "Erro retornado pela Impressora: Urano\n\n";

std::string Registro(const std::string& Dados) { return "!" + CompletaDireita(Dados, 21); }

// The scripted printer: a command is ESC "f" up to its "XXXXX"; the answer
// comes from a table ("!" when none), whole or in pieces.
struct Impressora {
  std::mutex m;
  std::vector<std::string> comandos;
  std::map<std::string, std::string> respostas;
  size_t pedaco = 0;    // answers in pieces of this size...
  int intervaloMs = 0;  // ...this far apart

  void Define(const std::string& Cmd, const std::string& Resposta) {
    std::lock_guard<std::mutex> l(m);
    respostas[Cmd] = Resposta;
  }
  void EmPedacos(size_t Tamanho, int Ms) {
    std::lock_guard<std::mutex> l(m);
    pedaco = Tamanho;
    intervaloMs = Ms;
  }
  std::vector<std::string> Comandos() {
    std::lock_guard<std::mutex> l(m);
    return comandos;
  }
  void Limpa() {
    std::lock_guard<std::mutex> l(m);
    comandos.clear();
  }
  size_t Processa(const std::string& p, PtyPar::Saida& out) {
    std::lock_guard<std::mutex> l(m);
    if (p[0] != 27) return 1;
    const size_t fim = p.find("XXXXX");
    if (fim == std::string::npos) return 0;
    const std::string cmd = p.substr(2, fim + 3);
    comandos.push_back(cmd);
    auto r = respostas.find(cmd);
    const std::string resposta = r != respostas.end()    ? r->second
                                 : cmd.starts_with("24") ? Registro("")
                                 : cmd == "23XXXXX"      ? "v"
                                                         : "!";
    if (pedaco > 0)
      out.EmPedacos(resposta, pedaco, intervaloMs);
    else
      out.Escreve(resposta);
    return fim + 5;
  }
};

class Urano : public ::testing::Test {
 protected:
  void SetUp() override {
    ecf.SetModelo(ecfUrano);
    ecf.SetPorta(par.CaminhoEscravo());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetReTentar(false);
    imp.Define("2497XXXXX", Registro("01.05.02"));
    par.Inicia([this](const std::string& p, PtyPar::Saida& o) { return imp.Processa(p, o); });
    ecf.Ativar();
    imp.Limpa();
  }
  std::string Ultimo() {
    auto c = imp.Comandos();
    return c.empty() ? "" : c.back();
  }

  teste::AmbienteTeste amb;
  Impressora imp;
  PtyPar par;
  TZuvoECF ecf;
};

}  // namespace

TEST_F(Urano, FramesARegisterReadAndWaitsForItsWholeAnswerInPieces) {
  // RTS/CTS is forced, and works on a port without modem lines.
  EXPECT_EQ(ecf.Device().HandShake(), hsRTS_CTS);
  EXPECT_EQ(TZuvoECFUrano::PreparaComando("2418XXXXX"),
            "\x1b"
            "f2418XXXXX");
  EXPECT_EQ(TZuvoECFUrano::PreparaComando(""), "");

  // 22 bytes, three at a time: neither the status byte nor a part of the
  // data ends the answer.
  imp.Define("2418XXXXX", Registro("000251"));
  imp.EmPedacos(3, 120);
  EXPECT_EQ(ecf.NumCupom(), "000251");
  EXPECT_EQ(ecf.ComandoEnviado(),
            "\x1b"
            "f2418XXXXX");
  EXPECT_EQ(ecf.RespostaComando().size(), 22u);

  // The state query answers one raw byte, without a status.
  const std::vector<std::pair<char, TZuvoECFEstado>> estados = {
      {'v', estLivre},        {'w', estVenda},        {'x', estPagamento},
      {'y', estPagamento},    {'|', estBloqueada},    {'}', estRelatorio},
      {'\x7f', estRelatorio}, {'z', estDesconhecido}, {'!', estDesconhecido}};
  imp.EmPedacos(0, 0);
  for (const auto& [byte, estado] : estados) {
    imp.Define("23XXXXX", std::string(1, byte));
    EXPECT_EQ(ecf.Estado(), estado) << byte;
  }
}

TEST_F(Urano, StatusCodesListedUnlistedAndLowPaper) {
  struct Caso {
    std::string Status, Mensagem;
  };
  for (const Caso& c : std::vector<Caso>{
           {"$", kModelo + "Aliquota inexistente"},
           {")", kModelo + "Erro na gravação da Memoria Fiscal"},
           {"=", kModelo + "Desconto Inválido"},
           {std::string(1, '\0'), kModelo + "Nenhuma resposta do ECF"},
           {"~", kModelo + "Erro retornado pelo ECF: 126"},
           {"\x05", kModelo + "Erro retornado pelo ECF: 05"},
           {"!", teste::kSemErro},
       }) {
    imp.Define("110XXXXX", c.Status);
    EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), c.Mensagem);
  }
  // "W": the paper is near its end, the command went through.
  int avisos = 0;
  ecf.SetOnMsgPoucoPapel([&](TZuvoECFClass*) { avisos++; });
  imp.Define("110XXXXX", "W");
  EXPECT_NO_THROW(ecf.LeituraX());
  EXPECT_EQ(avisos, 1);
  // A register read refused still brings its 21 bytes.
  imp.Define("2425XXXXX", "8" + std::string(21, ' '));
  EXPECT_EQ(MensagemDe([&] { ecf.NumSerie(); }), kModelo + "Comando inexistente");
}

TEST_F(Urano, SaleLayoutsAndRateCodes) {
  ecf.VendeItem("789", "ARROZ", "T1", 2.5, 1.99, 0, "KG");
  EXPECT_EQ(Ultimo(), "01" + CompletaDireita("789", 13) + CompletaDireita("ARROZ", 66) +
                          "002,500"
                          "000001990"
                          "01"
                          "KG"
                          "2"
                          "XXXXX");
  ecf.VendeItem("1", "FEIJAO", "F", 3, 1.99);
  EXPECT_EQ(Ultimo().substr(81),
            "0000003"
            "000000199"
            "16"
            "  "
            "0"
            "XXXXX");
  ecf.VendeItem("1", "SAL", "I", 1, 2);
  EXPECT_EQ(Ultimo().substr(97, 2), "17");
  ecf.VendeItem("1", "AGUA", "N", 1, 2);
  EXPECT_EQ(Ultimo().substr(97, 2), "18");
  EXPECT_EQ(MensagemDe([&] { ecf.VendeItem("1", "X", "T123", 1, 2); }), "Aliquota inválida: T123");
  // A price with a third decimal goes in thousandths, not rounded to cents.
  ecf.VendeItem("1", "GASOLINA", "T02", 3, 5.499);
  EXPECT_EQ(Ultimo().substr(81, 16),
            "003,000"
            "000005499");
  EXPECT_EQ(Ultimo()[101], '2');
}

TEST_F(Urano, FractionalQuantityFromAThousandIsRefusedNotCut) {
  // Three digits before the comma: 1234.5 must not go as "234,500".
  EXPECT_EQ(MensagemDe([&] { ecf.VendeItem("1", "ITEM", "T01", 1234.5, 1); }),
            "Valor de Qtd (1234,5) não cabe no campo de 6 dígitos");
  EXPECT_TRUE(imp.Comandos().empty());
  ecf.VendeItem("1", "ITEM", "T01", 999.999, 1);
  EXPECT_EQ(Ultimo().substr(81, 7), "999,999");
}

TEST_F(Urano, ItemDiscountIsAShareOfTheItemsValue) {
  // 10% of 3 x 2.00 is 0.60; on the unit price alone it would be 0.20.
  ecf.VendeItem("1", "ITEM", "T01", 3, 2, 10);
  ASSERT_EQ(imp.Comandos().size(), 2u);
  EXPECT_EQ(Ultimo(), "030" + CompletaDireita("Desconto Aplicado", 26) +
                          "00000000060"
                          "XXXXX");
}

TEST_F(Urano, RateByValueSaysThePrinterSellsBySlot) {
  const std::string msg = MensagemDe([&] { ecf.VendeItem("1", "ITEM", "18", 1, 1); });
  EXPECT_EQ(msg,
            "Aliquota nao encontrada: 18\nA impressora Urano vende pela posição da alíquota "
            "(\"T01\", \"T02\"...) ou F, I, N");
  EXPECT_EQ(MensagemDe([&] { ecf.VendeItem("1", "ITEM", "X", 1, 1); }), "Aliquota inválida: X");
  EXPECT_TRUE(imp.Comandos().empty());
}

TEST_F(Urano, CaptureOfTheFiscalMemoryReadsTheWholeStream) {
  const TDateTime de = EncodeDate(2026, 12, 1), ate = EncodeDate(2026, 12, 6);
  const std::string cmd =
      "16"
      "011226"
      "061226"
      "00000000"
      "XXXXX";
  // No length is known for the report: it comes in pieces with pauses and
  // must be read to its end, not taken as complete before the first byte.
  imp.Define(cmd, "!LEITURA DA MEMORIA FISCAL\r\nCRZ 0011\r\nCRZ 0012\r\nTOTAL\r\n");
  imp.EmPedacos(10, 150);
  TStrings linhas;
  ecf.LeituraMemoriaFiscalSerial(de, ate, linhas);
  EXPECT_EQ(linhas, (TStrings{"LEITURA DA MEMORIA FISCAL", "CRZ 0011", "CRZ 0012", "TOTAL"}));
  EXPECT_EQ(Ultimo(), cmd);

  // A refusal is the status byte alone; silence is no answer.
  imp.EmPedacos(0, 0);
  imp.Define(cmd, "4");
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraMemoriaFiscalSerial(de, ate, linhas); }),
            kModelo + "Comando fora da sequência");
  imp.Define(cmd, "");
  EXPECT_THROW(ecf.LeituraMemoriaFiscalSerial(de, ate, linhas), EZuvoECFSemResposta);
  EXPECT_TRUE(linhas.empty());
}

TEST_F(Urano, OperationsWithoutACommandSayNotImplemented) {
  // Doing nothing would report success for what the printer never did.
  TStrings linhas;
  const std::vector<std::pair<std::string, std::function<void()>>> casos = {
      {"ProgramaAliquota", [&] { ecf.ProgramaAliquota(18, 'T'); }},
      {"ProgramaFormaPagamento", [&] { ecf.ProgramaFormaPagamento("PIX"); }},
      {"MudaHorarioVerao", [&] { ecf.MudaHorarioVerao(); }},
      {"MudaHorarioVerao", [&] { ecf.ECF().MudaHorarioVerao(true); }},
      {"MudaArredondamento", [&] { ecf.MudaArredondamento(true); }},
      {"LeituraMemoriaFiscalSerial", [&] { ecf.LeituraMemoriaFiscalSerial(1, 2, linhas); }},
  };
  for (const auto& [nome, op] : casos)
    EXPECT_EQ(MensagemDe(op),
              "Procedure: " + nome + "\r\n não implementada para a Impressora: Urano");
  EXPECT_EQ(MensagemDe([&] { ecf.AbreGaveta(); }), "A Impressora Urano não manipula Gavetas");
  // Already out of daylight saving time: nothing to do.
  EXPECT_NO_THROW(ecf.ECF().MudaHorarioVerao(false));
  EXPECT_TRUE(imp.Comandos().empty());
}

TEST_F(Urano, ReceiptCommandsAndTheCustomerAtTheClose) {
  imp.Define("00XXXXX", "I");  // "Cabeçalho já impresso": the receipt is open
  EXPECT_NO_THROW(ecf.AbreCupom(" 12345678901 "));
  ecf.SetOperador("MARIA");
  ecf.FechaCupom();
  auto c = imp.Comandos();
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[1], "34" + CompletaDireita("IDENTIFICACAO DO CONSUMIDOR", 42) + "0" +
                      CompletaDireita("12345678901", 18) + std::string(84, ' ') + "XXXXX");
  EXPECT_EQ(c[2], "050MARIA   XXXXX");
  imp.Limpa();
  ecf.AbreCupom("12345678000190");
  ecf.FechaCupom();
  EXPECT_EQ(imp.Comandos()[1][44], '1');

  imp.Define("2442XXXXX", Registro("Dinheiro"));
  ecf.ECF().FormasPagamento();
  imp.Limpa();
  ecf.SubtotalizaCupom(-1.5);
  ecf.SubtotalizaCupom(2);
  ecf.EfetuaPagamento("00", 10, "TROCO");
  ecf.CancelaItemVendido(7);
  ecf.PulaLinhas(0);
  EXPECT_EQ(imp.Comandos(),
            (std::vector<std::string>{"100" + std::string(10, ' ') + "0000000150XXXXX",
                                      "090" + std::string(10, ' ') + "0000000200XXXXX",
                                      "04"
                                      "00" +
                                          CompletaDireita("TROCO", 17) +
                                          "00000001000"
                                          "0XXXXX",
                                      "02" + CompletaDireita("Item Cancelado", 22) + "007XXXXX",
                                      "20007XXXXX"}));
}

TEST_F(Urano, ManagerialTextInBlocksOfTenLines) {
  TStrings linhas;
  for (int i = 1; i <= 25; i++) linhas.push_back("LINHA " + IntToStr(i));
  imp.Define("23XXXXX", "}");  // the report is open when it is closed
  ecf.RelatorioGerencial(linhas, 1);
  std::vector<std::string> blocos;
  for (const std::string& c : imp.Comandos())
    if (c.starts_with("06")) blocos.push_back(c.substr(2, c.size() - 7));
  ASSERT_EQ(blocos.size(), 3u);
  EXPECT_EQ(blocos[0].substr(0, 48), CompletaDireita("LINHA 1", 48));
  EXPECT_EQ(blocos[1].substr(0, 48), CompletaDireita("LINHA 11", 48));
  EXPECT_EQ(blocos[2], CompletaDireita("LINHA 21", 48) + CompletaDireita("LINHA 22", 48) +
                           CompletaDireita("LINHA 23", 48) + CompletaDireita("LINHA 24", 48) +
                           CompletaDireita("LINHA 25", 48) + std::string(240, '\0'));
  EXPECT_EQ(Ultimo(), "12        XXXXX");
}
