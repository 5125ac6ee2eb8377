// The Mecaf driver's protocol against a tiny scripted printer on a
// pseudo-terminal: the frame on the wire, answers that arrive in pieces, the
// error table, where the low-paper flag is read, answers with no sign, and
// the item layouts of each firmware.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "drivers/ZuvoECFMecaf.h"
#include "sim/PtyPar.h"
#include "support/Erros.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using zuvo::teste::MensagemDe;

namespace {

const std::string kETX(1, '\x03');

// Answers each frame from a table of texts (the bytes between the first byte
// and ETX); a command it does not know gets "+" + code + "00" + "00".
struct Impressora {
  std::mutex m;
  std::vector<std::string> comandos;
  std::map<std::string, std::string> respostas;
  int pedacoMs = 0;  // answers go out a byte at a time, this far apart

  void Responde(const std::string& Cmd, const std::string& Texto) {
    std::lock_guard<std::mutex> l(m);
    respostas[Cmd] = Texto;
  }
  std::vector<std::string> Comandos() {
    std::lock_guard<std::mutex> l(m);
    return comandos;
  }
  size_t Processa(const std::string& p, PtyPar::Saida& out) {
    std::lock_guard<std::mutex> l(m);
    const size_t fim = p.find('\x03');
    if (fim == std::string::npos) return 0;
    const std::string cmd = p.substr(3, fim - 3);
    comandos.push_back(cmd);
    auto r = respostas.find(cmd);
    const std::string texto = r != respostas.end() ? r->second : "+" + cmd.substr(0, 2) + "0000";
    const std::string resposta = "\x02" + texto + kETX;
    if (pedacoMs > 0)
      out.EmPedacos(resposta, 1, pedacoMs);
    else
      out.Escreve(resposta);
    return fim + 1;
  }
};

class Mecaf : public ::testing::Test {
 protected:
  void SetUp() override {
    par.Inicia([this](const std::string& p, PtyPar::Saida& o) { return imp.Processa(p, o); });
    ecf.SetModelo(ecfMecaf);
    ecf.SetPorta(par.CaminhoEscravo());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.SetReTentar(false);
    ecf.SetOnMsgPoucoPapel([this](TZuvoECFClass*) { avisos++; });
  }
  void Ativa(const std::string& Versao = "MF0104A") {
    imp.Responde("34M47", "+3400" + Versao);
    ecf.Ativar();
  }
  std::string Ultimo() {
    auto c = imp.Comandos();
    return c.empty() ? "" : c.back();
  }

  teste::AmbienteTeste amb;
  PtyPar par;
  Impressora imp;
  TZuvoECF ecf;
  int avisos = 0;
};

const std::string kPrefixo = "Erro retornado pela Impressora: Mecaf\n\n";

}  // namespace

TEST_F(Mecaf, FrameOnTheWireAndAnswerInPieces) {
  Ativa();
  EXPECT_EQ(par.Recebido(), std::string("\x02\x1b$34M47\x03"));
  EXPECT_EQ(ecf.Colunas(), 40);
  // The answer is complete only at its ETX, however it is cut.
  imp.pedacoMs = 15;
  imp.Responde("34M49", "+3400MC00012345");
  EXPECT_EQ(ecf.NumSerie(), "MC00012345");
  EXPECT_EQ(ecf.RespostaComando(), "\x02+3400MC00012345" + kETX);
}

TEST_F(Mecaf, ErrorCodesListedUnlistedAndMalformed) {
  Ativa();
  imp.Responde("150", "-150010");
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), kPrefixo + "A sintaxe do comando está errada");
  imp.Responde("150", "-150014");
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }),
            kPrefixo + "A situação tributária deve iniciar com `T\xB4, `F\xB4,`I\xB4 ou \xB4N\xB4");
  imp.Responde("150", "-150008");
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), kPrefixo + "Erro retornado pelo ECF: 8");
  imp.Responde("150", "-1500x1");
  EXPECT_EQ(MensagemDe([&] { ecf.LeituraX(); }), kPrefixo + "Erro retornado pelo ECF: 0");
  EXPECT_FALSE(ecf.AguardandoResposta());
}

// The low-paper flag is read where the answer carries it: the code of an
// action, the paper bit of the status; never a query's data.
TEST_F(Mecaf, LowPaperOnlyWhereTheAnswerSaysIt) {
  Ativa();
  imp.Responde("34M41", "+3400010203");
  EXPECT_EQ(ecf.NumCupom(), "010203");
  imp.Responde("34M43", "+34000102");
  EXPECT_EQ(ecf.NumCRO(), "0102");
  EXPECT_EQ(avisos, 0);

  imp.Responde("32", "+3200000000000000");
  EXPECT_FALSE(ecf.PoucoPapel());
  EXPECT_EQ(avisos, 0);
  imp.Responde("32", "+3200000040000000");
  EXPECT_TRUE(ecf.PoucoPapel());
  EXPECT_EQ(avisos, 1);

  amb.Plataforma.Avanca(31000);  // past the notice's minimum interval
  imp.Responde("150", "+150001");
  ecf.LeituraX();
  EXPECT_EQ(avisos, 2);
}

TEST_F(Mecaf, AnAnswerWithNeitherSignConfirmsNothing) {
  Ativa();
  imp.Responde("10", "?1000");
  EXPECT_EQ(MensagemDe([&] { ecf.AbreCupom(); }), "Resposta inválida da Impressora Mecaf (sinal)");
  imp.Responde("32", "+32");  // too short for its status bytes
  EXPECT_EQ(MensagemDe([&] { ecf.Estado(); }), "Resposta incompleta da Impressora Mecaf (S2)");
  imp.Responde("32", "+3200G10000000000");
  EXPECT_EQ(MensagemDe([&] { ecf.Estado(); }), "Resposta inválida da Impressora Mecaf (S1)");
}

TEST_F(Mecaf, RefusedOptionalQueriesGiveTheirDefaults) {
  Ativa();
  imp.Responde("34M41", "-340022");
  imp.Responde("34M96", "-340022");
  imp.Responde("34M97", "-340022");
  EXPECT_EQ(ecf.NumCupom(), "      ");
  EXPECT_EQ(ecf.SubTotal(), 0);
  EXPECT_EQ(ecf.TotalPago(), 0);
  // The change the register reports is added to the subtotal.
  imp.Responde("34M96", "+3400000000000001000");
  imp.Responde("34M97", "+3400000000000000200");
  EXPECT_DOUBLE_EQ(ecf.TotalPago(), 12.0);
  imp.Responde("34M97", "+3400000000000000250-");
  EXPECT_DOUBLE_EQ(ecf.TotalPago(), 7.5);
  // A refusal of a query without a default is the printer's error.
  imp.Responde("34M43", "-340022");
  EXPECT_EQ(MensagemDe([&] { ecf.NumCRO(); }), kPrefixo + "Necessário abrir cupom");
}

TEST_F(Mecaf, ItemLayoutOfTheEarlierFirmwares) {
  Ativa();
  ecf.VendeItem("111222333", "TESTE DE PRODUTO", "NN", 1, 1.00, 0, "UN");
  EXPECT_EQ(Ultimo(), "11G000100000000000100N00%0000UN111222333    0TESTE DE PRODUTO    ");
  ecf.VendeItem("1", "X", "T1", 1.5, 1.005, 12.5, "KG");
  EXPECT_EQ(Ultimo().substr(0, 29), "11H000150000000001005T01%1250");
  ecf.VendeItem("1", "X", "TT03", 1234.5, 1.5);
  EXPECT_EQ(Ultimo().substr(0, 29), "11G123450000000000150T03%0000");
  // A long description in lines of 38 characters.
  ecf.SetDescricaoGrande(true);
  const std::string longa(39, 'D');
  ecf.VendeItem("1", longa, "F", 1, 1);
  EXPECT_EQ(Ultimo().substr(44), "2" + longa + std::string(37, ' '));
  EXPECT_EQ(MensagemDe([&] { ecf.VendeItem("1", "X", "F", 10000, 1); }),
            "Quantidade deve ser inferior a 9999.");
}

// The 201/301 quantity has 6 digits: 1234.5 does not fit and is refused
// before anything is sent (cut to its left digits it would sell 123.45).
TEST_F(Mecaf, The201LayoutRefusesAQuantityItsFieldCannotHold) {
  Ativa("MF0201A");
  EXPECT_EQ(ecf.Colunas(), 48);
  ecf.VendeItem("7", "ITEM", "I", 12.5, 2.346);
  EXPECT_EQ(Ultimo(), "11-01250000000000235I00%0000  7            0ITEM                ");
  const size_t antes = imp.Comandos().size();
  const std::string erro = MensagemDe([&] { ecf.VendeItem("7", "ITEM", "I", 1234.5, 1); });
  EXPECT_NE(erro.find("Qtd"), std::string::npos) << erro;
  EXPECT_EQ(imp.Comandos().size(), antes);
  // No consumer document and no payment text on these firmwares.
  ecf.AbreCupom("123.456.789-00");
  EXPECT_EQ(Ultimo(), "10");
}
