// The Yanco driver's protocol: the frame with its sequence number and sum,
// the acknowledgement, the end of an answer that arrives in pieces, the
// status code and its table, the command layouts, and the operations the
// driver mends. A tiny scripted printer on a pseudo-terminal acknowledges
// each frame and answers from a table.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "drivers/ZuvoECFYanco.h"
#include "sim/PtyPar.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using zuvo::teste::kSemErro;
using zuvo::teste::MensagemDe;
using zuvo::teste::AmbienteTeste;

namespace {

const std::string STX(1, '\x02');
const std::string ETX(1, '\x03');

class YancoExposto : public TZuvoECFYanco {
 public:
  using TZuvoECFYanco::TZuvoECFYanco;
  using TZuvoECFYanco::PreparaComando;
  using TZuvoECFYanco::VerificaFimLeitura;
};

std::string Soma(const std::string& Q) {
  unsigned s = 0;
  for (unsigned char c : Q) s += c;
  return {static_cast<char>(s / 256 % 256), static_cast<char>(s % 256)};
}

// An answer frame: STX, sequence, status code, text, ETX, sum.
std::string Resposta(const std::string& Seq, const std::string& Texto) {
  const std::string q = STX + Seq + "00" + Texto + ETX;
  return q + Soma(q);
}

// The scripted printer: answers each command's text from a table ("00" when
// it has none).
struct Impressora {
  std::mutex m;
  std::vector<std::string> comandos, sequencias;
  std::map<std::string, std::string> textos;
  int ack = 20;
  int recusas = 0;          // frames to refuse with 21 first
  std::string outraSeq;     // answered instead of the echoed sequence
  bool somaErrada = false;  // the answer's sum does not add up
  size_t pedaco = 0;        // the answer in pieces of this many bytes

  std::vector<std::string> Comandos() {
    std::lock_guard<std::mutex> l(m);
    return comandos;
  }
  std::vector<std::string> Sequencias() {
    std::lock_guard<std::mutex> l(m);
    return sequencias;
  }
  std::string Ultimo() {
    auto c = Comandos();
    return c.empty() ? "" : c.back();
  }
  void Texto(const std::string& Cmd, const std::string& T) {
    std::lock_guard<std::mutex> l(m);
    textos[Cmd] = T;
  }
  size_t Processa(const std::string& p, PtyPar::Saida& out) {
    std::lock_guard<std::mutex> l(m);
    if (p[0] != '\x02') return 1;
    const size_t etx = p.find('\x03');
    if (etx == std::string::npos || etx < 5 || p.size() < etx + 3) return 0;
    if (recusas > 0) {
      recusas--;
      out.Escreve("\x15");
      return etx + 3;
    }
    comandos.push_back(p.substr(5, etx - 5));
    sequencias.push_back(p.substr(1, 4));
    if (ack != 20) {
      if (ack) out.Escreve(std::string(1, static_cast<char>(ack)));
      return etx + 3;
    }
    auto t = textos.find(comandos.back());
    std::string r = Resposta(outraSeq.empty() ? p.substr(1, 4) : outraSeq,
                             t == textos.end() ? "00" : t->second);
    if (somaErrada) r.back() = static_cast<char>(r.back() ^ 1);
    if (pedaco)
      out.EmPedacos("\x14" + r, pedaco, 20);
    else
      out.Escreve("\x14" + r);
    return etx + 3;
  }
};

// A port with modem lines whose CTS the test holds.
class ModemComCTS : public LinhasModem {
 public:
  explicit ModemComCTS(bool* Cts) : fCts(Cts) {}
  bool Possui(int) override { return true; }
  bool CTS(int) override { return *fCts; }
  bool DSR(int) override { return true; }
  void SetDTR(int, bool) override {}
  void SetRTS(int, bool) override {}

 private:
  bool* fCts;
};

class Yanco : public ::testing::Test {
 protected:
  void SetUp() override {
    ecf.SetModelo(ecfYanco);
    auto d = std::make_unique<YancoExposto>(ecf.Device(), ecf.Config());
    drv = d.get();
    ecf.SubstituiDriver(std::move(d));
    ecf.SetPorta(par.CaminhoEscravo());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetReTentar(false);
    imp.Texto("1FZUVO", "ZUVO");
    imp.Texto("2E", std::string(97, '0') + CompletaDireita("Dinheiro", 15) +
                        CompletaDireita("Cheque", 15) + std::string(15, ' ') +
                        CompletaDireita("Cartao", 15));
    par.Inicia([this](const std::string& p, PtyPar::Saida& o) { return imp.Processa(p, o); });
  }
  // Estado's status answer with the fiscal day and the document.
  void Status(char Dia, char Documento) {
    std::string s(16, '0');
    s[2] = Dia;
    s[10] = Documento;
    imp.Texto("25", s);
  }

  AmbienteTeste amb;
  PtyPar par;
  Impressora imp;
  TZuvoECF ecf;
  YancoExposto* drv = nullptr;
};

}  // namespace

TEST(YancoProtocolo, FrameCarriesTheSequenceAndTheSum) {
  TZuvoDevice d;
  TZuvoECFConfig c;
  YancoExposto y(d, c);
  EXPECT_EQ(d.HandShake(), hsRTS_CTS);
  // The first frame carries 0001; the sum of its 8 bytes is 301 = 1 * 256 + 45.
  EXPECT_EQ(y.PreparaComando("25"), STX + "000125" + ETX + "\x01\x2d");
  EXPECT_EQ(y.PreparaComando(""), "");
  EXPECT_EQ(y.Sequencia(), 1);
  y.SetSequencia(9998);
  EXPECT_EQ(y.PreparaComando("25").substr(1, 4), "9999");
  EXPECT_EQ(y.PreparaComando("25").substr(1, 4), "0001");
}

TEST(YancoProtocolo, EndOfAnswerOnlyWithEtxThirdFromTheEnd) {
  TZuvoDevice d;
  TZuvoECFConfig c;
  YancoExposto y(d, c);
  // This answer sums to 771: both bytes of its sum are 3, the value of ETX.
  const std::string r = Resposta("0001", "ABCDEFH");
  ASSERT_EQ(r.substr(r.size() - 2), "\x03\x03");
  for (size_t n = 0; n < r.size(); n++) EXPECT_FALSE(y.VerificaFimLeitura(r.substr(0, n))) << n;
  EXPECT_TRUE(y.VerificaFimLeitura(r));
}

TEST_F(Yanco, AnswersInPiecesAndTheIdentification) {
  ecf.Ativar();
  imp.pedaco = 3;
  imp.Texto("2D0", "YANCO  YC0001234512");
  imp.Texto("34071", "07/12/26");
  imp.Texto("34070", "9:05:33");
  imp.Texto("34072", "000000003410");
  imp.Texto("34076", "0001");
  EXPECT_EQ(ecf.NumSerie(), "YC00012345");
  EXPECT_EQ(ecf.NumVersao(), "12");
  EXPECT_EQ(ecf.DataHora(), EncodeDate(2026, 12, 7) + EncodeTime(9, 5, 0));
  EXPECT_DOUBLE_EQ(ecf.SubTotal(), 34.10);
  EXPECT_EQ(ecf.NumECF(), "0001");
  EXPECT_EQ(ecf.NumECF(), "0001");
  EXPECT_EQ(imp.Comandos().size(), 7u) << "NumECF and NumVersao are cached";
  // A serial number the answer is too short to hold is a clear error.
  imp.Texto("2D0", "YANCO  YC0");
  EXPECT_NE(MensagemDe([&] { ecf.NumSerie(); }).find("Resposta incompleta"), std::string::npos);
}

TEST_F(Yanco, StatusCodesAndTheErrorTable) {
  ecf.Ativar();
  imp.Texto("130", "10");
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupom(); }), "Erro retornado pela Impressora: Yanco\n\nFim de Papel");
  imp.Texto("130", "99");
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupom(); }), "Erro retornado pela Impressora: Yanco\n\nErro Código (99)");
  imp.Texto("130", "00");
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupom(); }), kSemErro);
  // An answer to another frame, or one garbled on the line (its sum does not
  // add up), is never taken for the printer's data.
  const std::string invalido = "Erro retornado pela Impressora: Yanco\n\nRetorno da Impressora inválido.";
  imp.outraSeq = "0042";
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), invalido);
  imp.outraSeq.clear();
  imp.somaErrada = true;
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), invalido);
}

TEST_F(Yanco, AcknowledgementAndItsRetryQuestion) {
  ecf.Ativar();
  imp.recusas = 1;
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), "Impressora Yanco não reconheceu o Comando");
  imp.ack = 6;
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), "Erro. Resposta da Impressora Yanco inválida");
  imp.ack = 0;
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), "Impressora Yanco não responde (ACK = 0)");

  // Asked again, the operator retries: the same frame goes once more.
  imp.ack = 20;
  imp.recusas = 1;
  std::string pergunta, situacao;
  ecf.SetOnMsgRetentar([&](const std::string& m, const std::string& s, bool& r) {
    pergunta = m;
    situacao = s;
    r = true;
  });
  imp.Texto("34077", "000123");
  EXPECT_EQ(ecf.NumCupom(), "000123");
  EXPECT_EQ(situacao, "LerACK");
  EXPECT_EQ(pergunta.rfind("Impressora Yanco não reconheceu o Comando\r\n\r\nSe o problema persistir", 0), 0u)
      << pergunta;
}

TEST_F(Yanco, ActivationByEcho) {
  ecf.Ativar();
  EXPECT_EQ(imp.Comandos().front(), "1FZUVO");
  EXPECT_EQ(imp.Sequencias().front(), "0001");
  ecf.Desativar();
  imp.Texto("1FZUVO", "ZUV0");
  EXPECT_EQ(MensagemDe([&] { ecf.Ativar(); }), "Erro inicializando a impressora Yanco");
  EXPECT_FALSE(ecf.Ativo());
  ecf.SetPorta("/tmp/yanco_nao_serial.txt");
  EXPECT_EQ(MensagemDe([&] { ecf.Ativar(); }), "Esse modelo de impressora requer\nPorta Serial:  (COM1, COM2, COM3, ...)");
}

TEST_F(Yanco, RtsCtsHandshakeWorksWithoutModemLinesAndWaitsForCts) {
  // A pseudo-terminal has no modem lines: the forced RTS/CTS handshake reads
  // CTS as set and the printer answers.
  ecf.Ativar();
  EXPECT_EQ(ecf.Device().HandShake(), hsRTS_CTS);
  // A real port holding CTS low: the printer is off line, nothing is sent.
  bool cts = false;
  ecf.Device().Serial().SetLinhasModem(std::make_unique<ModemComCTS>(&cts));
  const size_t antes = imp.Comandos().size();
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), "Impressora Yanco não está em linha");
  EXPECT_EQ(imp.Comandos().size(), antes);
  cts = true;
  EXPECT_EQ(MensagemDe([&] { ecf.NumCupom(); }), kSemErro);
}

TEST_F(Yanco, CommandLayouts) {
  ecf.Ativar();
  ecf.VendeItem("789", "CAFE TORRADO", "T01", 2, 8.5);
  EXPECT_EQ(imp.Ultimo(), "14" + CompletaDireita("789", 13) + CompletaDireita("CAFE TORRADO", 30) +
                              "000008500" "0002000" "000000017000" "01" "0");
  const std::pair<const char*, const char*> codigos[] = {{"FF", "14"}, {"II", "15"}, {"NN", "16"}, {"T7", "07"}};
  for (const auto& [aliquota, codigo] : codigos) {
    ecf.VendeItem("1", "X", aliquota, 1, 1);
    EXPECT_EQ(imp.Ultimo().substr(73, 2), codigo) << aliquota;
  }
  ecf.EfetuaPagamento("02", 20);
  EXPECT_EQ(imp.Ultimo(), "1502" "0000000020000");
  ecf.FechaCupom("Obrigado\nVolte sempre");
  EXPECT_EQ(imp.Ultimo(), "1600" + CompletaDireita("ObrigadoVolte sempre", 168));
  ecf.CancelaItemVendido(3);
  EXPECT_EQ(imp.Ultimo(), "35003" + std::string(20, ' '));
  ecf.ReducaoZ(0);
  EXPECT_EQ(imp.Ultimo(), "221" + std::string(13, ' '));
  ecf.LeituraMemoriaFiscal(3, 12);
  EXPECT_EQ(imp.Ultimo(), "28000000000000" "0003" "0012" "1");
  ecf.LeituraMemoriaFiscal(EncodeDate(2026, 12, 1), EncodeDate(2026, 12, 7));
  EXPECT_EQ(imp.Ultimo(), "28" "011226" "071226" "00000000" "0");
  ecf.AbreCupomVinculado("", "02", 0);
  EXPECT_EQ(imp.Ultimo(), "132");
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupomVinculado("", "09", 0); }), "Forma de Pagamento: 09 não foi cadastrada.");
  // Fields that do not fit are refused before anything is sent.
  const size_t antes = imp.Comandos().size();
  EXPECT_THROW(ecf.CancelaItemVendido(1000), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.VendeItem("1", "X", "T123", 1, 1), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.VendeItem("1", "X", "T01", 1, 1000000), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.VendeItem("1", "X", "T01", 10000, 1), Exception);
  EXPECT_EQ(imp.Comandos().size(), antes);
}

TEST_F(Yanco, PaymentMethodsFromTheirSlots) {
  ecf.Ativar();
  TZuvoECFFormasPagamento& f = ecf.FormasPagamento();
  ASSERT_EQ(f.Count(), 3);
  EXPECT_EQ(f[0].Indice, "01");
  EXPECT_EQ(f[2].Indice, "04");
  EXPECT_EQ(Trim(f[2].Descricao), "Cartao");
  EXPECT_EQ(ecf.Aliquotas().Count(), 0);
}

TEST_F(Yanco, StatusGivesTheStateAndChoosesTheCommand) {
  // The rest of the status choices run against the simulator (e2e).
  ecf.Ativar();
  Status('3', '0');
  EXPECT_EQ(ecf.Estado(), estRequerX);
  ecf.AbreRelatorioGerencial();
  EXPECT_EQ(imp.Ultimo(), "120");
  Status('4', '4');  // the document prevails over the day
  EXPECT_EQ(ecf.Estado(), estPagamento);
  Status('9', '0');
  EXPECT_EQ(ecf.Estado(), estDesconhecido);
  imp.Texto("25", "002");
  EXPECT_NE(MensagemDe([&] { ecf.Estado(); }).find("Resposta incompleta"), std::string::npos);
}

// ---------------------------------------------------------------------------
// What the driver mends: each would pass silently on the printer's literal
// command set.

TEST_F(Yanco, DiscountAndSurchargeAreRefusedNotDropped) {
  ecf.Ativar();
  const size_t antes = imp.Comandos().size();
  EXPECT_THROW(ecf.VendeItem("1", "X", "T01", 1, 10, 5), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.SubtotalizaCupom(-1.5), EZuvoECFCMDInvalido);
  EXPECT_THROW(ecf.SubtotalizaCupom(2), EZuvoECFCMDInvalido);
  EXPECT_EQ(imp.Comandos().size(), antes);
  ecf.SubtotalizaCupom(0);
  EXPECT_EQ(imp.Ultimo(), "34072");
}

TEST_F(Yanco, ARateValueSaysThePrinterSellsBySlot) {
  ecf.Ativar();
  const std::string e = MensagemDe([&] { ecf.VendeItem("1", "X", "18", 1, 1); });
  EXPECT_EQ(e.rfind("Aliquota nao encontrada: 18", 0), 0u) << e;
  EXPECT_NE(e.find("\"T01\""), std::string::npos) << e;
}

TEST_F(Yanco, SerialFiscalMemoryReadOnlyForTheWholeMemory) {
  ecf.Ativar();
  TStrings linhas{"velha"};
  EXPECT_THROW(ecf.LeituraMemoriaFiscalSerial(1, 5, linhas), EZuvoECFCMDInvalido);
  EXPECT_TRUE(linhas.empty());
  EXPECT_NE(imp.Ultimo(), "2F");
  imp.Texto("2F", "LEITURA\r\nCRZ 0001\r\nCRZ 0002\r\n");
  ecf.LeituraMemoriaFiscalSerial(1, 9999, linhas);
  EXPECT_EQ(imp.Ultimo(), "2F");
  EXPECT_EQ(linhas, (TStrings{"LEITURA", "CRZ 0001", "CRZ 0002"}));
}

TEST_F(Yanco, AReportOfSeveralLinesPrintsEveryLine) {
  ecf.Ativar();
  const std::string longa(60, 'L');
  ecf.LinhaRelatorioGerencial("primeira\n" + longa);
  const auto c = imp.Comandos();
  ASSERT_GE(c.size(), 3u);
  EXPECT_EQ(c[c.size() - 3], "2A0" + CompletaDireita("primeira", 46));
  EXPECT_EQ(c[c.size() - 2], "2A0" + std::string(46, 'L'));
  EXPECT_EQ(c[c.size() - 1], "2A0" + CompletaDireita(std::string(14, 'L'), 46));
  ecf.LinhaCupomVinculado("a\nb");
  EXPECT_EQ(imp.Ultimo(), "2B0" + CompletaDireita("b", 46));
}

TEST_F(Yanco, TotalPaidIsWhatThisReceiptWasPaid) {
  ecf.Ativar();
  ecf.AbreCupom();
  ecf.EfetuaPagamento("01", 20);
  ecf.EfetuaPagamento("02", 14.1);
  EXPECT_DOUBLE_EQ(ecf.TotalPago(), 34.1);
  ecf.FechaCupom();
  EXPECT_DOUBLE_EQ(ecf.TotalPago(), 0);
}
