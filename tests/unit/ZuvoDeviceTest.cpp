// TZuvoDevice: property rules, port naming, files, and serial ports over a
// pseudo-terminal.
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "core/ZuvoUI.h"
#include "device/ZuvoBase.h"
#include "sim/PtyPar.h"
#include "support/Erros.h"

using namespace zuvo;
namespace fs = std::filesystem;

using zuvo::teste::MensagemDe;

namespace {

int64_t AgoraMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string LeArquivo(const fs::path& P) {
  std::ifstream f(P, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

/// A private folder for file ports, removed at the end.
class PastaTemp {
 public:
  PastaTemp() {
    std::string modelo = (fs::temp_directory_path() / "zuvodevXXXXXX").string();
    if (!mkdtemp(modelo.data())) throw std::runtime_error("mkdtemp");
    caminho = modelo;
  }
  ~PastaTemp() {
    std::error_code ec;
    fs::remove_all(caminho, ec);
  }
  std::string operator/(const std::string& Nome) const { return (caminho / Nome).string(); }
  fs::path caminho;
};

struct EstadoModem {
  bool Cts = true;
  bool Dsr = true;
  int LeiturasAteCts = -1;  // CTS goes high after this many reads (-1: never)
  std::vector<std::string> Saidas;
};

class ModemFalso : public LinhasModem {
 public:
  explicit ModemFalso(std::shared_ptr<EstadoModem> E) : e(std::move(E)) {}
  bool Possui(int) override { return true; }
  bool CTS(int) override {
    if (e->LeiturasAteCts > 0 && --e->LeiturasAteCts == 0) e->Cts = true;
    return e->Cts;
  }
  bool DSR(int) override { return e->Dsr; }
  void SetDTR(int, bool V) override { e->Saidas.push_back(V ? "DTR+" : "DTR-"); }
  void SetRTS(int, bool V) override { e->Saidas.push_back(V ? "RTS+" : "RTS-"); }

 private:
  std::shared_ptr<EstadoModem> e;
};

const std::string kMsgBaud =
    "Valor deve estar na faixa de 50 a 4000000.\nNormalmente os equipamentos Seriais utilizam: "
    "9600";
const std::string kMsgData =
    "Valor deve estar na faixa de 5 a 8.\nNormalmente os equipamentos Seriais utilizam: 7 ou 8";

}  // namespace

// ---------------------------------------------------------------------------
// Properties

TEST(DispositivoPropriedades, PadroesEValoresPadrao) {
  TZuvoDevice d;
  EXPECT_EQ(d.Baud(), 9600);
  EXPECT_EQ(d.Data(), 8);
  EXPECT_EQ(d.Parity(), pNone);
  EXPECT_EQ(d.Stop(), s1);
  EXPECT_EQ(d.HandShake(), hsNenhum);
  EXPECT_EQ(d.TimeOut(), 3);
  EXPECT_EQ(d.Porta(), "");
  EXPECT_FALSE(d.Ativo());
  EXPECT_TRUE(d.Serial().RaiseExcept());

  d.SetBaud(19200);
  d.SetData(7);
  d.SetParity(pEven);
  d.SetStop(s2);
  d.SetHandShake(hsRTS_CTS);
  d.ValoresPadrao();
  EXPECT_EQ(d.Baud(), 9600);
  EXPECT_EQ(d.Data(), 8);
  EXPECT_EQ(d.Parity(), pNone);
  EXPECT_EQ(d.Stop(), s1);
  EXPECT_EQ(d.HandShake(), hsNenhum);
  EXPECT_FALSE(d.HardFlow());
  EXPECT_FALSE(d.SoftFlow());
}

TEST(DispositivoPropriedades, NomeDaPorta) {
  const std::vector<std::pair<std::string, std::string>> casos = {
      {"com1", "COM1"},
      {"lpt2", "LPT2"},
      {"Com3", "COM3"},
      {"lPt1:", "LPT1:"},
      {"/dev/ttyS0", "/dev/ttyS0"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"Saida.txt", "Saida.txt"},
      {"/tmp/Cupom.TXT", "/tmp/Cupom.TXT"},
  };
  for (const auto& [dado, guardado] : casos) {
    TZuvoDevice d;
    d.SetPorta(dado);
    EXPECT_EQ(d.Porta(), guardado) << dado;
  }

  const std::vector<std::pair<std::string, std::string>> sistema = {
      {"COM1", "/dev/ttyS0"},           {"com12", "/dev/ttyS11"}, {"COM0", "COM0"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"}, {"LPT1", "LPT1"},
  };
  for (const auto& [porta, caminho] : sistema) EXPECT_EQ(TZuvoDevice::NomeSistema(porta), caminho);
}

TEST(DispositivoPropriedades, TimeOut) {
  TZuvoDevice d;
  d.SetTimeOut(0);
  EXPECT_EQ(d.TimeOut(), 1);
  d.SetTimeOut(7);
  d.SetTimeOut(-5);
  EXPECT_EQ(d.TimeOut(), 1);

  // Pushed to the serial object's write time-out only for a serial port.
  d.SetPorta("LPT1");
  d.SetTimeOut(4);
  EXPECT_EQ(d.Serial().DeadlockTimeout(), 30000);
  d.SetPorta("COM3");
  d.SetTimeOut(5);
  EXPECT_EQ(d.Serial().DeadlockTimeout(), 5000);
}

TEST(DispositivoPropriedades, BaudEDataForaDaFaixa) {
  TZuvoDevice d;
  for (int v : {49, 0, -9600, 4000001}) {
    EXPECT_EQ(MensagemDe([&] { d.SetBaud(v); }), kMsgBaud) << v;
    EXPECT_EQ(d.Baud(), 9600);
  }
  for (int v : {50, 4000000, 115200}) {
    EXPECT_NO_THROW(d.SetBaud(v));
    EXPECT_EQ(d.Baud(), v);
  }
  for (int v : {4, 9, 0}) {
    EXPECT_EQ(MensagemDe([&] { d.SetData(v); }), kMsgData) << v;
    EXPECT_EQ(d.Data(), 8);
  }
  for (int v : {5, 6, 7, 8}) {
    d.SetData(v);
    EXPECT_EQ(d.Data(), v);
  }
}

TEST(DispositivoPropriedades, ParidadeEStopLidosDeVolta) {
  TZuvoDevice d;
  for (auto p : {pOdd, pEven, pMark, pSpace, pNone, pSpace}) {
    d.SetParity(p);
    EXPECT_EQ(d.Parity(), p);
  }
  for (auto s : {s2, s1eMeio, s1, s2}) {
    d.SetStop(s);
    EXPECT_EQ(d.Stop(), s);
  }
}

TEST(DispositivoPropriedades, HandShakeEFluxos) {
  TZuvoDevice d;
  struct Caso {
    TZuvoHandShake H;
    bool Hard, Soft;
  };
  for (const auto& c : {Caso{hsRTS_CTS, true, false}, Caso{hsXON_XOFF, false, true},
                        Caso{hsDTR_DSR, false, false}, Caso{hsNenhum, false, false}}) {
    d.SetHandShake(c.H);
    EXPECT_EQ(d.HardFlow(), c.Hard) << c.H;
    EXPECT_EQ(d.SoftFlow(), c.Soft) << c.H;
  }

  d.SetSoftFlow(true);
  EXPECT_EQ(d.HandShake(), hsXON_XOFF);
  d.SetHardFlow(false);  // not the active handshake: left alone
  EXPECT_EQ(d.HandShake(), hsXON_XOFF);
  d.SetHardFlow(true);
  EXPECT_EQ(d.HandShake(), hsRTS_CTS);
  EXPECT_FALSE(d.SoftFlow());
  d.SetSoftFlow(false);
  EXPECT_EQ(d.HandShake(), hsRTS_CTS);
  d.SetHardFlow(false);
  EXPECT_EQ(d.HandShake(), hsNenhum);
  d.SetHandShake(hsDTR_DSR);
  d.SetSoftFlow(false);
  EXPECT_EQ(d.HandShake(), hsDTR_DSR);
}

TEST(DispositivoPropriedades, EhSerialEArquivoTexto) {
  PtyPar par;
  PastaTemp pasta;
  const std::string link = pasta / "impressora";
  fs::create_symlink(par.CaminhoEscravo(), link);
  const std::string texto = pasta / "cupom.Txt";
  std::ofstream(texto).put('x');
  // A link left behind by a simulator or udev, to a port that is gone.
  const std::string linkOrfao = pasta / "ecf-antiga";
  fs::create_symlink("/dev/ttyUSB97", linkOrfao);

  struct Caso {
    std::string Porta;
    bool Serial, Texto;
  };
  const std::vector<Caso> casos = {
      {"COM3", true, false},
      {"com12", true, false},
      {par.CaminhoEscravo(), true, false},
      {link, true, false},
      {"LPT1", false, false},
      {"COMX", false, false},
      {texto, false, true},
      {"relatorio.TXT", false, true},
      {"/dev/null", false, false},
      {pasta / "nao-existe", false, false},
      // Serial devices by name, there or not (an adapter unplugged).
      {"/dev/ttyUSB97", true, false},
      {"/dev/ttyACM97", true, false},
      {"/dev/ttyAMA97", true, false},
      {"/dev/ttyS97", true, false},
      {"/dev/rfcomm97", true, false},
      {"/dev/serial/by-id/usb-Impressora_Fiscal-if00-port0", true, false},
      {"/dev/ttyUSB", false, false},
      {"/dev/lp97", false, false},
      {linkOrfao, true, false},
  };
  for (const auto& c : casos) {
    TZuvoDevice d;
    d.SetPorta(c.Porta);
    EXPECT_EQ(d.EhSerial(), c.Serial) << c.Porta;
    EXPECT_EQ(d.EhArquivoTexto(), c.Texto) << c.Porta;
  }
}

// ---------------------------------------------------------------------------
// Files and parallel ports

TEST(DispositivoArquivo, AtivarEEnviaString) {
  PastaTemp pasta;
  TZuvoDevice d;
  EXPECT_EQ(MensagemDe([&] { d.Ativar(); }), "Porta não definida");
  EXPECT_FALSE(d.Ativo());

  // Ativar starts the file empty, whether it existed or not.
  const std::string txt = pasta / "cupom.txt";
  std::ofstream(txt) << "antigo";
  d.SetPorta(txt);
  d.Ativar();
  EXPECT_TRUE(d.Ativo());
  EXPECT_TRUE(fs::exists(txt));
  EXPECT_EQ(LeArquivo(txt), "");
  EXPECT_EQ(MensagemDe([&] { d.SetPorta("outro"); }),
            "Não é possível mudar a Porta com o Dispositivo Ativo");
  EXPECT_NO_THROW(d.SetPorta(txt));  // same value: nothing
  EXPECT_TRUE(d.EmLinha(5));

  // A text file collects every call; any other name holds the last one.
  d.EnviaString("linha 1\r\n");
  d.EnviaString("linha 2");
  EXPECT_EQ(LeArquivo(txt), "linha 1\r\nlinha 2");
  d.Desativar();
  EXPECT_FALSE(d.Ativo());

  const std::string prn = pasta / "saida.prn";
  TZuvoDevice p;
  p.SetPorta(prn);
  p.Ativar();
  EXPECT_EQ(LeArquivo(prn), "");
  p.EnviaString("primeiro");
  p.EnviaString("segundo\xff");
  EXPECT_EQ(LeArquivo(prn), "segundo\xff");

  TZuvoDevice nova;
  const std::string criado = pasta / "novo.txt";
  nova.SetPorta(criado);
  nova.Ativar();
  EXPECT_TRUE(fs::exists(criado));
}

TEST(DispositivoArquivo, DestinoQueNaoAbre) {
  PastaTemp pasta;
  TZuvoDevice d;
  const std::string porta = pasta / "falta/saida.txt";
  d.SetPorta(porta);
  EXPECT_EQ(MensagemDe([&] { d.Ativar(); }),
            "Erro abrindo: " + porta + "\r\n" + std::strerror(ENOENT));
  EXPECT_FALSE(d.Ativo());
  EXPECT_EQ(MensagemDe([&] { d.EnviaString("x"); }).rfind("Erro abrindo: " + porta, 0), 0u);
}

TEST(DispositivoArquivo, EmLinhaSemPortaSerialNaoEspera) {
  TZuvoDevice d;
  d.SetPorta("LPT1");
  d.SetHandShake(hsDTR_DSR);
  const int64_t inicio = AgoraMs();
  EXPECT_TRUE(d.EmLinha(5));
  EXPECT_LT(AgoraMs() - inicio, 500);
  EXPECT_FALSE(fs::exists("LPT1"));  // nothing was opened

  d.SetPorta("COM250");  // serial but not connected
  EXPECT_FALSE(d.EmLinha(5));
}

// ---------------------------------------------------------------------------
// Serial ports over a pseudo-terminal

class DispositivoPty : public ::testing::Test {
 protected:
  void SetUp() override { d.SetPorta(par.CaminhoEscravo()); }
  std::shared_ptr<EstadoModem> ComModemFalso() {
    auto e = std::make_shared<EstadoModem>();
    d.Serial().SetLinhasModem(std::make_unique<ModemFalso>(e));
    return e;
  }
  termios Termios() {
    termios t{};
    EXPECT_EQ(tcgetattr(d.Serial().Handle(), &t), 0);
    return t;
  }
  PtyPar par;
  TZuvoDevice d;
};

TEST_F(DispositivoPty, AtivarConfiguraEDesativarFecha) {
  d.SetTimeOut(2);
  d.SetBaud(19200);
  d.SetStop(s2);
  d.Ativar();
  EXPECT_TRUE(d.Ativo());
  EXPECT_TRUE(d.Serial().InstanceActive());
  EXPECT_EQ(d.Serial().DeadlockTimeout(), 2000);
  termios t = Termios();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
  EXPECT_TRUE(t.c_cflag & CSTOPB);

  // Settings changed while open reach the port at once.
  d.SetBaud(4800);
  d.SetHandShake(hsXON_XOFF);
  t = Termios();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B4800));
  EXPECT_TRUE(t.c_iflag & IXON);
  d.SetTimeOut(4);
  EXPECT_EQ(d.Serial().DeadlockTimeout(), 4000);

  d.SetHandShake(hsNenhum);
  d.EnviaString(std::string("\x02venda\x00\x03", 8));
  EXPECT_EQ(par.LeMasterAte(8, 1000), std::string("\x02venda\x00\x03", 8));
  EXPECT_TRUE(d.EmLinha(1));

  d.Desativar();
  EXPECT_FALSE(d.Ativo());
  EXPECT_FALSE(d.Serial().InstanceActive());
  d.Desativar();  // again: nothing
  EXPECT_NO_THROW(d.SetPorta("COM1"));
}

TEST_F(DispositivoPty, SegundoDispositivoNaMesmaPorta) {
  d.Ativar();
  TZuvoDevice outro;
  outro.SetPorta(par.CaminhoEscravo());
  try {
    outro.Ativar();
    FAIL() << "a segunda abertura deveria falhar";
  } catch (const ESerialError& e) {
    EXPECT_EQ(e.ErrorCode, ErrAlreadyOwned);
    EXPECT_STREQ(e.what(), "Communication error 9991: Port owned by other process");
  }
  EXPECT_FALSE(outro.Ativo());
  EXPECT_FALSE(outro.Serial().InstanceActive());

  d.Desativar();
  EXPECT_NO_THROW(outro.Ativar());
  EXPECT_TRUE(outro.Ativo());
}

TEST(DispositivoSerial, PortaSerialAusenteNaoViraArquivo) {
  // The adapter unplugged: the port is reported missing, by name, and
  // nothing is created under /dev (as root a file would have been).
  PastaTemp pasta;
  const std::string link = pasta / "impressora";
  fs::create_symlink("/dev/ttyUSB97", link);
  for (const std::string& porta : {std::string("/dev/ttyUSB97"), link}) {
    TZuvoDevice d;
    d.SetPorta(porta);
    try {
      d.Ativar();
      FAIL() << porta << " não existe e abriu";
    } catch (const ESerialError& e) {
      EXPECT_EQ(e.ErrorCode, ENOENT);
      EXPECT_EQ(std::string(e.what()),
                "Communication error 2: A porta serial " + porta + " não existe");
    }
    EXPECT_FALSE(d.Ativo());
    EXPECT_FALSE(d.Serial().InstanceActive());
    EXPECT_FALSE(fs::exists("/dev/ttyUSB97"));
  }

  TZuvoDevice com;
  com.SetPorta("COM97");
  EXPECT_EQ(MensagemDe([&] { com.Ativar(); }),
            "Communication error 2: A porta serial COM97 (/dev/ttyS96) não existe");
}

TEST_F(DispositivoPty, AtivarFalhaDeixaPortaFechada) {
  TZuvoDevice semPorta;
  semPorta.SetPorta("COM250");
  EXPECT_THROW(semPorta.Ativar(), ESerialError);
  EXPECT_FALSE(semPorta.Ativo());

  // A handshake line that never comes up refuses the connection (DSR tested).
  auto modem = ComModemFalso();
  modem->Dsr = false;
  d.Serial().SetTestDSR(true);
  try {
    d.Ativar();
    FAIL() << "DSR baixo deveria recusar";
  } catch (const ESerialError& e) {
    EXPECT_EQ(e.ErrorCode, ErrNoDeviceAnswer);
  }
  EXPECT_FALSE(d.Ativo());
  EXPECT_FALSE(d.Serial().InstanceActive());
  modem->Dsr = true;
  EXPECT_NO_THROW(d.Ativar());
}

TEST_F(DispositivoPty, EmLinhaSegueALinhaDeHandshake) {
  auto modem = ComModemFalso();
  d.SetHandShake(hsDTR_DSR);
  d.Ativar();
  // ConfiguraSerial raises DTR for the DTR/DSR handshake.
  EXPECT_EQ(modem->Saidas.back(), "DTR+");

  int eventos = 0;
  ToolkitHeadlessPadrao().AoProcessarEventos = [&] { ++eventos; };
  modem->Dsr = false;
  const int64_t inicio = AgoraMs();
  EXPECT_FALSE(d.EmLinha(1));
  const int64_t passou = AgoraMs() - inicio;
  EXPECT_GE(passou, 900);
  EXPECT_LT(passou, 3000);
  EXPECT_GT(eventos, 10);  // windows keep being served while waiting

  // With RTS/CTS: on line as soon as CTS comes up.
  d.SetHandShake(hsRTS_CTS);
  EXPECT_EQ(modem->Saidas.back(), "RTS+");
  modem->Cts = false;
  modem->LeiturasAteCts = 5;
  eventos = 0;
  EXPECT_TRUE(d.EmLinha(5));
  EXPECT_EQ(eventos, 4);

  // No handshake: on line at once, whatever the lines say.
  modem->Cts = false;
  d.SetHandShake(hsNenhum);
  eventos = 0;
  EXPECT_TRUE(d.EmLinha(5));
  EXPECT_EQ(eventos, 0);
  ToolkitHeadlessPadrao().AoProcessarEventos = nullptr;
}

// A device on a channel (a fuzz target's answers in memory) never opens the
// port it is named after, and every byte goes through the channel.
namespace {
class CanalEco : public CanalBytes {
 public:
  void Escreve(const std::string& Dados) override { Escrito += Dados, Fila += "<" + Dados + ">"; }
  std::string Recebe(int) override { return std::exchange(Fila, ""); }
  int RecebeByte(int) override {
    if (Fila.empty()) return -1;
    const int b = static_cast<unsigned char>(Fila[0]);
    Fila.erase(0, 1);
    return b;
  }
  void Esvazia() override { Fila.clear(); }
  std::string Escrito, Fila;
};
}  // namespace

TEST(DispositivoCanal, BytesPassamPeloCanalSemAbrirAPorta) {
  TZuvoDevice d;
  d.SetPorta("/dev/ttyS77");  // absent: opened for real, Ativar would fail
  CanalEco canal;
  d.SetCanal(&canal);
  d.SetHandShake(hsRTS_CTS);
  ASSERT_NO_THROW(d.Ativar());
  EXPECT_TRUE(d.Ativo());
  EXPECT_TRUE(d.EhSerial());
  EXPECT_FALSE(d.Serial().InstanceActive());
  EXPECT_TRUE(d.EmLinha(5));
  EXPECT_TRUE(d.CTS());
  d.SetDTR(true);

  d.Escreve("AB");
  EXPECT_EQ(d.RecebeByte(100), '<');
  EXPECT_EQ(d.Recebe(100), "AB>");
  EXPECT_EQ(d.RecebeByte(100), -1);
  d.EnviaString("C");
  d.Esvazia();
  EXPECT_EQ(d.Recebe(100), "");
  EXPECT_EQ(canal.Escrito, "ABC");
  d.Desativar();
  EXPECT_FALSE(d.Ativo());

  d.SetCanal(nullptr);
  EXPECT_THROW(d.Ativar(), ESerialError);
}
