// The shared command cycle over a real pseudo-terminal: a minimal driver
// with a simple framing talks to a scripted peer that answers, stays
// silent, answers late or in pieces.
//
// The framing: a command goes as STX + text + ETX; the printer answers
// STX + data + ETX + one status byte: '0' fine, 'P' low paper, 'E' error.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "component/ZuvoECF.h"
#include "core/ZuvoPlataforma.h"
#include "support/PlataformaTeste.h"
#include "sim/PtyPar.h"

using namespace zuvo;
using zuvo::teste::AmbienteTeste;

namespace {

const char STX = 2;
const char ETX = 3;

class DriverQuadro : public TZuvoECFClass {
 public:
  DriverQuadro(TZuvoDevice& Device, TZuvoECFConfig& Config) : TZuvoECFClass(Device, Config) {
    SetNomeModelo("Quadro");
  }

  using TZuvoECFClass::TransmitirComando;

  std::atomic<int> Ocupado{0};  // status checks that still answer "busy"
  int ChecagensImpressao = 0;
  int Reinicios = 0;

 protected:
  std::string MontaQuadro(const std::string& Cmd) override {
    return std::string(1, STX) + Cmd + ETX;
  }
  bool VerificaFimLeitura(const std::string& R) override {
    return R.size() >= 3 && R[R.size() - 2] == ETX && R[0] == STX;
  }
  bool VerificaFimImpressao() override {
    ChecagensImpressao++;
    if (Ocupado > 0) {
      Ocupado--;
      return false;
    }
    return true;
  }
  TRespostaECF DecodificaResposta(const std::string& r) override {
    TRespostaECF d;
    d.Dados = r.substr(1, r.size() - 3);
    if (r.back() == 'E') d.Erro = "Comando inválido";
    d.PoucoPapel = r.back() == 'P';
    return d;
  }
  void ReiniciaComando() override { Reinicios++; }
};

// The printer: answers every complete frame with "OK:" + its text.
size_t Responde(const std::string& pendente, PtyPar::Saida& out, int atrasoMs = 0,
                char status = '0') {
  auto fim = pendente.find(ETX);
  if (fim == std::string::npos) return 0;
  std::string cmd = pendente.substr(1, fim - 1);
  out.EscreveApos(atrasoMs, std::string(1, STX) + "OK:" + cmd + ETX + status);
  return fim + 1;
}

struct Ciclo : ::testing::Test {
  AmbienteTeste amb;
  PtyPar par;
  TZuvoECF ecf;
  DriverQuadro* drv = nullptr;

  void SetUp() override {
    ecf.SetModelo(ecfYanco);
    auto d = std::make_unique<DriverQuadro>(ecf.Device(), ecf.Config());
    drv = d.get();
    ecf.SubstituiDriver(std::move(d));
    ecf.SetPorta(par.CaminhoEscravo());
    ecf.SetTimeOut(1);
    ecf.SetIntervaloAposComando(0);
    ecf.Ativar();
  }
  // Real elapsed time of a call, in ms (the test platform skips sleeps, so
  // the system clock is read directly).
  template <class F>
  int64_t Mede(F f) {
    PlataformaSistema relogio;
    int64_t t0 = relogio.MonotonicoMs();
    f();
    return relogio.MonotonicoMs() - t0;
  }
};

}  // namespace

TEST_F(Ciclo, AnswersCompleteAndInPieces) {
  std::vector<bool> aguardando;
  drv->OnAguardandoRespostaChange = [&](TZuvoECFClass* s) {
    aguardando.push_back(s->AguardandoResposta());
  };
  par.Inicia([](const std::string& p, PtyPar::Saida& out) { return Responde(p, out); });
  EXPECT_EQ(ecf.EnviaComando("ABC"), "OK:ABC");
  EXPECT_EQ(ecf.ComandoEnviado(), std::string("\x02" "ABC\x03"));
  EXPECT_EQ(ecf.RespostaComando(), std::string("\x02OK:ABC\x03" "0"));
  EXPECT_EQ(aguardando, (std::vector<bool>{true, false}));

  // Every byte value passes unchanged.
  std::string todos;
  for (int c = 4; c < 256; c++) todos += static_cast<char>(c);
  EXPECT_EQ(ecf.EnviaComando(todos), "OK:" + todos);

  par.Inicia([](const std::string& p, PtyPar::Saida& out) {
    auto fim = p.find(ETX);
    if (fim == std::string::npos) return size_t{0};
    out.EmPedacos(std::string(1, STX) + "PEDACOS" + ETX + "0", 2, 60);
    return fim + 1;
  });
  EXPECT_EQ(ecf.EnviaComando("X"), "PEDACOS");
}

TEST_F(Ciclo, SilentPrinterWithoutRetryTimesOut) {
  ecf.SetReTentar(false);
  par.Inicia([](const std::string& p, PtyPar::Saida&) { return p.size(); });
  int64_t ms = Mede([&] {
    try {
      ecf.EnviaComando("X");
      FAIL();
    } catch (const EZuvoECFSemResposta& e) {
      EXPECT_STREQ(e.what(), "Impressora Quadro não está respondendo");
    }
  });
  EXPECT_GE(ms, 900);
  EXPECT_LT(ms, 4000);
  EXPECT_TRUE(amb.Toolkit->Mensagens.empty());  // no dialog
  EXPECT_FALSE(ecf.AguardandoResposta());
  EXPECT_EQ(ecf.RespostaComando(), "");
}

TEST_F(Ciclo, RetryExtendsTheDeadlineByAFullTimeOut) {
  // The answer comes after 1.5 s; TimeOut is 1 s. Answering Yes once gives
  // the printer a further second.
  std::vector<std::string> perguntas;
  drv->OnMsgRetentar = [&](const std::string& m, const std::string& s, bool& r) {
    perguntas.push_back(s + ":" + m);
    r = perguntas.size() == 1;
  };
  par.Inicia([](const std::string& p, PtyPar::Saida& out) { return Responde(p, out, 1500); });
  EXPECT_EQ(ecf.EnviaComando("LENTO"), "OK:LENTO");
  EXPECT_EQ(perguntas,
            std::vector<std::string>{"LerResposta:A impressora Quadro não está repondendo."});

  // Without a handler, the dialog asks; the headless default answers No.
  drv->OnMsgRetentar = nullptr;
  par.Inicia([](const std::string& p, PtyPar::Saida&) { return p.size(); });
  EXPECT_THROW(ecf.EnviaComando("X"), EZuvoECFSemResposta);
  ASSERT_EQ(amb.Toolkit->Mensagens.size(), 1u);
  EXPECT_EQ(amb.Toolkit->Mensagens[0].Texto,
            "A impressora Quadro não está repondendo.\r\n\r\nDeseja tentar novamente ?");
  EXPECT_EQ(amb.Toolkit->Mensagens[0].Botoes, BotoesMensagem::SimNao);

  // A Yes from the dialog retries too.
  amb.Toolkit->Responde(RespostaMensagem::Sim);
  par.Inicia([](const std::string& p, PtyPar::Saida& out) { return Responde(p, out, 1400); });
  EXPECT_EQ(ecf.EnviaComando("DE NOVO"), "OK:DE NOVO");
}

TEST_F(Ciclo, HandlerIsAskedOnlyBySendingWhenRetryIsOff) {
  ecf.SetReTentar(false);
  std::vector<std::string> situacoes;
  drv->OnMsgRetentar = [&](const std::string&, const std::string& s, bool& r) {
    situacoes.push_back(s);
    r = false;
  };
  par.Inicia([](const std::string& p, PtyPar::Saida&) { return p.size(); });
  EXPECT_THROW(ecf.EnviaComando("X"), EZuvoECFSemResposta);
  EXPECT_TRUE(situacoes.empty());

  // A write that fails asks the handler even with ReTentar off.
  ecf.Device().Serial().Close();
  try {
    drv->TransmitirComando("X");
    FAIL();
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_STREQ(e.what(), "Erro ao enviar comandos para a Impressora Quadro");
  }
  EXPECT_EQ(situacoes, std::vector<std::string>{"TransmitirComando"});
}

TEST_F(Ciclo, WaitsForTheEndOfPrinting) {
  ecf.SetTimeOut(3);
  par.Inicia([](const std::string& p, PtyPar::Saida& out) { return Responde(p, out); });
  drv->Ocupado = 3;
  drv->SetAguardaImpressao(true);
  EXPECT_EQ(ecf.EnviaComando("IMPRIME"), "OK:IMPRIME");
  EXPECT_EQ(drv->ChecagensImpressao, 4);
  EXPECT_FALSE(drv->AguardaImpressao());  // cleared by the read

  // A printer that stays busy ends as a time-out.
  ecf.SetTimeOut(1);
  ecf.SetReTentar(false);
  drv->Ocupado = 1000000;
  drv->SetAguardaImpressao(true);
  EXPECT_THROW(ecf.EnviaComando("PRESA"), EZuvoECFSemResposta);
  EXPECT_FALSE(drv->AguardaImpressao());
}

TEST_F(Ciclo, PerCommandSettingsGoBackOnEveryExit) {
  par.Inicia([](const std::string& p, PtyPar::Saida& out) { return Responde(p, out); });
  ecf.EnviaComando("A");
  EXPECT_EQ(drv->Reinicios, 1);

  // A command refused before it reaches the port resets them too.
  ecf.Desativar();
  drv->SetAguardaImpressao(true);
  EXPECT_THROW(ecf.EnviaComando("B"), EZuvoECFNaoInicializado);
  EXPECT_FALSE(drv->AguardaImpressao());
  EXPECT_EQ(drv->Reinicios, 2);
  EXPECT_FALSE(ecf.AguardandoResposta());
}

TEST_F(Ciclo, PrinterErrorsAndLowPaper) {
  par.Inicia([](const std::string& p, PtyPar::Saida& out) {
    char status = p.find("PAPEL") != std::string::npos ? 'P' : 'E';
    return Responde(p, out, 0, status);
  });
  try {
    ecf.EnviaComando("RUIM");
    FAIL();
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_STREQ(e.what(), "Erro retornado pela Impressora: Quadro\r\n\r\nComando inválido");
  }
  EXPECT_EQ(ecf.EnviaComando("PAPEL 1"), "OK:PAPEL 1");
  EXPECT_EQ(ecf.EnviaComando("PAPEL 2"), "OK:PAPEL 2");
  ASSERT_EQ(amb.Toolkit->Mensagens.size(), 1u);
  EXPECT_EQ(amb.Toolkit->Mensagens[0].Texto, "Detectado pouco papel");
}

TEST_F(Ciclo, LongerTimeOutFormsRestoreTheSettings) {
  ecf.SetReTentar(false);
  par.Inicia([](const std::string& p, PtyPar::Saida& out) { return Responde(p, out, 1300); });
  EXPECT_EQ(drv->EnviaComando("Z", 2), "OK:Z");
  EXPECT_EQ(ecf.TimeOut(), 1);
  ecf.SetTimeOut(2);
  ecf.SetTempoInicioMsg(1);
  EXPECT_EQ(drv->EnviaComando("Z", 3, 2), "OK:Z");
  EXPECT_EQ(ecf.TimeOut(), 2);
  EXPECT_EQ(ecf.TempoInicioMsg(), 1);
  par.Inicia([](const std::string& p, PtyPar::Saida&) { return p.size(); });
  EXPECT_THROW(drv->EnviaComando("Z", 2), EZuvoECFSemResposta);
  EXPECT_EQ(ecf.TimeOut(), 2);
}

TEST_F(Ciclo, CountdownWindowOnlyWhenThereIsTimeForIt) {
  amb.Toolkit->SetMainWindowShown(true);
  par.Inicia([](const std::string& p, PtyPar::Saida& out) { return Responde(p, out, 1500); });
  std::vector<std::string> avisos;
  drv->OnMsgAguarde = [&](const std::string& m) { avisos.push_back(m); };

  // TimeOut 3 and TempoInicioMsg 3: no window.
  ecf.SetTimeOut(3);
  ecf.SetTempoInicioMsg(3);
  EXPECT_EQ(ecf.EnviaComando("A"), "OK:A");
  EXPECT_EQ(amb.Toolkit->JanelasCriadas, 0);

  // TimeOut 4 and TempoInicioMsg 1: the window opens and counts down after
  // one second.
  ecf.SetTimeOut(4);
  ecf.SetTempoInicioMsg(1);
  avisos.clear();
  EXPECT_EQ(ecf.EnviaComando("B"), "OK:B");
  EXPECT_EQ(amb.Toolkit->JanelasCriadas, 1);
  ASSERT_FALSE(amb.Toolkit->TextosJanela.empty());
  // The whole seconds left, truncated: 3 only when the loop looks in the very
  // millisecond the second ends, 2 for the rest of the wait.
  const std::string& primeiro = amb.Toolkit->TextosJanela.front();
  EXPECT_TRUE(primeiro == "Aguardando a resposta da Impressora: 2 segundos" ||
              primeiro == "Aguardando a resposta da Impressora: 3 segundos")
      << primeiro;
  EXPECT_EQ(avisos.back(), "");

  // Without a main window there is no wait window.
  amb.Toolkit->SetMainWindowShown(false);
  EXPECT_EQ(ecf.EnviaComando("C"), "OK:C");
  EXPECT_EQ(amb.Toolkit->JanelasCriadas, 1);
}

TEST_F(Ciclo, ClosedPortAndOffLinePrinter) {
  ecf.Desativar();
  try {
    drv->EnviaComando("X");
    FAIL();
  } catch (const EZuvoECFNaoInicializado& e) {
    EXPECT_STREQ(e.what(), "Componente ZuvoECF não está Ativo");
  }
  EXPECT_FALSE(ecf.AguardandoResposta());

  // DSR held low with DTR/DSR handshake: not on line.
  class DSRBaixo : public LinhasModem {
   public:
    bool Possui(int) override { return true; }
    bool CTS(int) override { return true; }
    bool DSR(int) override { return false; }
    void SetDTR(int, bool) override {}
    void SetRTS(int, bool) override {}
  };
  ecf.Ativar();
  ecf.Device().Serial().SetLinhasModem(std::make_unique<DSRBaixo>());
  ecf.Device().SetHandShake(hsDTR_DSR);
  ecf.SetReTentar(false);
  try {
    ecf.EnviaComando("X");
    FAIL();
  } catch (const EZuvoECFSemResposta& e) {
    EXPECT_STREQ(e.what(), "Impressora Quadro não está em linha");
  }
  ecf.SetReTentar(true);
  int perguntas = 0;
  drv->OnMsgRetentar = [&](const std::string& m, const std::string& s, bool& r) {
    EXPECT_EQ(m, "A impressora Quadro não está pronta.");
    EXPECT_EQ(s, "VerEmLinha");
    r = ++perguntas < 2;
  };
  EXPECT_THROW(ecf.EnviaComando("X"), EZuvoECFSemResposta);
  EXPECT_EQ(perguntas, 2);
}
