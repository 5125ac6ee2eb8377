// TBlockSerial over a real pseudo-terminal: the test plays the printer on the
// master side.
#include <gtest/gtest.h>
#include <termios.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "device/ZuvoSerial.h"
#include "sim/PtyPar.h"

using namespace zuvo;

namespace {

int64_t AgoraMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string TodosOsBytes() {
  std::string s;
  for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
  return s;
}

/// Runs F and returns the ESerialError code it raised (0 when none).
template <class F>
int CodigoDe(F&& Funcao, std::string* Texto = nullptr) {
  try {
    Funcao();
  } catch (const ESerialError& e) {
    if (Texto) *Texto = e.what();
    return e.ErrorCode;
  }
  return 0;
}

/// Modem lines a test controls; it records what the port drives.
struct EstadoModem {
  bool Cts = true;
  bool Dsr = true;
  std::vector<std::string> Saidas;
};

class ModemFalso : public LinhasModem {
 public:
  explicit ModemFalso(std::shared_ptr<EstadoModem> E) : e(std::move(E)) {}
  bool Possui(int) override { return true; }
  bool CTS(int) override { return e->Cts; }
  bool DSR(int) override { return e->Dsr; }
  void SetDTR(int, bool V) override { e->Saidas.push_back(V ? "DTR+" : "DTR-"); }
  void SetRTS(int, bool V) override { e->Saidas.push_back(V ? "RTS+" : "RTS-"); }

 private:
  std::shared_ptr<EstadoModem> e;
};

class SerialPty : public ::testing::Test {
 protected:
  void SetUp() override { porta.SetRaiseExcept(true); }
  void Conecta() {
    porta.Connect(par.CaminhoEscravo());
    ASSERT_TRUE(porta.InstanceActive());
  }
  /// Reads through RecvPacket until N bytes came (short packets are normal).
  std::string RecebeAte(size_t N, int TimeoutMs = 2000) {
    std::string lido;
    const int64_t limite = AgoraMs() + TimeoutMs;
    while (lido.size() < N && AgoraMs() < limite) {
      try {
        lido += porta.RecvPacket(100);
      } catch (const ESerialError& e) {
        if (e.ErrorCode != ErrTimeout) throw;
      }
    }
    return lido;
  }
  /// Waits until the slave has N bytes queued.
  bool EsperaFila(int N) {
    const int64_t limite = AgoraMs() + 2000;
    while (porta.WaitingData() < N && AgoraMs() < limite) {
      timespec t{0, 5000000};
      nanosleep(&t, nullptr);
    }
    return porta.WaitingData() >= N;
  }

  PtyPar par;
  TBlockSerial porta;
};

}  // namespace

TEST(SerialErros, DescricoesEMensagem) {
  const std::vector<std::pair<int, std::string>> tabela = {
      {0, "OK"},
      {9991, "Port owned by other process"},
      {9992, "Instance already in use"},
      {9993, "Wrong paramter at call"},
      {9994, "Instance not yet connected"},
      {9995, "No device answer detected"},
      {9996, "Maximal buffer length exceeded"},
      {9997, "Timeout during operation"},
      {9998, "Reading of data failed"},
      {9999, "Receive framing error"},
      {10000, "Receive Overrun Error"},
      {10001, "Receive Queue overflow"},
      {10002, "Receive Parity Error"},
      {10003, "Tranceive Queue is full"},
      {ENOENT, std::strerror(ENOENT)},
      {EACCES, std::strerror(EACCES)},
  };
  for (const auto& [codigo, texto] : tabela)
    EXPECT_EQ(TBlockSerial::GetErrorDesc(codigo), texto) << codigo;

  ESerialError e(9997, TBlockSerial::GetErrorDesc(9997));
  EXPECT_STREQ(e.what(), "Communication error 9997: Timeout during operation");
  EXPECT_EQ(e.ErrorCode, 9997);
  EXPECT_EQ(e.ErrorMessage, "Timeout during operation");
}

TEST(SerialNomes, NomeDaPortaENumero) {
  // Ports that do not exist here: the name opened and the number parsed are
  // what matters, and the failure keeps errno and names the port typed and
  // the device opened.
  struct Caso {
    std::string Porta;
    std::string Dispositivo;
    int ComNr;
  };
  const std::vector<Caso> casos = {
      {"COM250", "/dev/ttyS249", 249},
      {"com251", "/dev/ttyS250", 250},
      {"/dev/ttyS77", "/dev/ttyS77", 77},
      {"/dev/ttySX", "/dev/ttySX", -2},
      {"COMX", "COMX", -1},
      {"/tmp/zuvo-nao-existe/porta", "/tmp/zuvo-nao-existe/porta", -1},
  };
  for (const auto& c : casos) {
    TBlockSerial s;
    s.SetRaiseExcept(true);
    std::string texto;
    int codigo = CodigoDe([&] { s.Connect(c.Porta); }, &texto);
    EXPECT_EQ(codigo, ENOENT) << c.Porta;
    EXPECT_EQ(s.Device(), c.Dispositivo) << c.Porta;
    EXPECT_EQ(s.ComNr(), c.ComNr) << c.Porta;
    EXPECT_FALSE(s.InstanceActive());
    const std::string nomes =
        c.Porta == c.Dispositivo ? c.Porta : c.Porta + " (" + c.Dispositivo + ")";
    EXPECT_EQ(texto, "Communication error 2: A porta serial " + nomes + " não existe");
  }

  // Any other failure keeps the system's text and names the call.
  TBlockSerial s;
  s.SetRaiseExcept(true);
  std::string texto;
  EXPECT_EQ(CodigoDe([&] { s.Connect("/tmp"); }, &texto), EISDIR);
  EXPECT_NE(texto.find(std::strerror(EISDIR)), std::string::npos) << texto;
  EXPECT_NE(texto.find("open /tmp"), std::string::npos) << texto;
}

TEST(SerialNomes, SemConexaoNadaPassa) {
  TBlockSerial s;
  s.SetRaiseExcept(true);
  EXPECT_EQ(CodigoDe([&] { s.SendString("x"); }), ErrPortNotOpen);
  EXPECT_EQ(CodigoDe([&] { s.RecvPacket(10); }), ErrPortNotOpen);
  EXPECT_EQ(CodigoDe([&] { s.RecvByte(10); }), ErrPortNotOpen);
  EXPECT_EQ(CodigoDe([&] { s.Purge(); }), ErrPortNotOpen);
  EXPECT_EQ(CodigoDe([&] { s.Config(9600, 8, 'N', 0, false, false); }), ErrPortNotOpen);
  s.SetRaiseExcept(false);
  EXPECT_EQ(s.RecvPacket(10), "");
  EXPECT_EQ(s.LastError(), ErrPortNotOpen);
  EXPECT_EQ(s.LastErrorDesc(), "Instance not yet connected");
  EXPECT_NO_THROW(s.Close());
}

TEST_F(SerialPty, AberturaExclusivaEFechamento) {
  std::vector<std::pair<THookSerialReason, std::string>> status;
  porta.OnStatus = [&](TBlockSerial* Quem, THookSerialReason R, const std::string& V) {
    EXPECT_EQ(Quem, &porta);
    status.emplace_back(R, V);
  };
  Conecta();
  EXPECT_EQ(porta.Device(), par.CaminhoEscravo());
  EXPECT_EQ(porta.ComNr(), -1);
  ASSERT_FALSE(status.empty());
  EXPECT_EQ(status.back().first, HR_Connect);
  EXPECT_EQ(status.back().second, par.CaminhoEscravo());

  // The same object again, and a second object on the same port.
  EXPECT_EQ(CodigoDe([&] { porta.Connect(par.CaminhoEscravo()); }), ErrAlreadyInUse);
  EXPECT_TRUE(porta.InstanceActive());
  TBlockSerial outra;
  outra.SetRaiseExcept(true);
  std::string texto;
  EXPECT_EQ(CodigoDe([&] { outra.Connect(par.CaminhoEscravo()); }, &texto), ErrAlreadyOwned);
  EXPECT_EQ(texto, "Communication error 9991: Port owned by other process");
  EXPECT_FALSE(outra.InstanceActive());

  porta.Close();
  EXPECT_FALSE(porta.InstanceActive());
  EXPECT_EQ(porta.Handle(), -1);
  EXPECT_EQ(status.back().first, HR_SerialClose);
  // Lock and exclusive flag are released: the other object gets the port.
  EXPECT_NO_THROW(outra.Connect(par.CaminhoEscravo()));
  EXPECT_TRUE(outra.InstanceActive());
}

TEST_F(SerialPty, TodosOsBytesPassamNosDoisSentidos) {
  Conecta();
  porta.Config(115200, 8, 'N', 0, false, false);
  const std::string todos = TodosOsBytes();

  porta.SendString(todos);
  EXPECT_EQ(par.LeMasterAte(256, 2000), todos);

  par.EscreveMaster(todos);
  EXPECT_EQ(RecebeAte(256), todos);
}

TEST_F(SerialPty, RecvPacketSemNadaEsgotaOTempo) {
  Conecta();
  std::string texto;
  const int64_t inicio = AgoraMs();
  EXPECT_EQ(CodigoDe([&] { porta.RecvPacket(100); }, &texto), ErrTimeout);
  const int64_t passou = AgoraMs() - inicio;
  EXPECT_EQ(texto, "Communication error 9997: Timeout during operation");
  EXPECT_GE(passou, 90);
  EXPECT_LT(passou, 1500);
  EXPECT_TRUE(porta.InstanceActive());  // the port stays open

  porta.SetRaiseExcept(false);
  EXPECT_EQ(porta.RecvPacket(20), "");
  EXPECT_EQ(porta.LastError(), ErrTimeout);
}

TEST_F(SerialPty, RecvPacketEntregaOQueChegaENotifica) {
  std::vector<std::pair<char, std::string>> dados;
  std::vector<std::pair<THookSerialReason, std::string>> status;
  porta.OnDados = [&](char D, const std::string& B) { dados.emplace_back(D, B); };
  porta.OnStatus = [&](TBlockSerial*, THookSerialReason R, const std::string& V) {
    status.emplace_back(R, V);
  };
  Conecta();

  // Already queued: handed back in one piece.
  par.EscreveMaster("ABC");
  ASSERT_TRUE(EsperaFila(3));
  EXPECT_EQ(porta.WaitingDataEx(), 3);
  EXPECT_EQ(porta.RecvPacket(0), "ABC");

  // Arriving during the wait: HR_CanRead, then the bytes.
  status.clear();
  par.EscreveMasterAposMs(50, "late");
  EXPECT_EQ(RecebeAte(4), "late");
  ASSERT_FALSE(status.empty());
  EXPECT_EQ(status.front().first, HR_CanRead);
  EXPECT_EQ(status.front().second, "");

  status.clear();
  porta.SendString("xyz");
  EXPECT_EQ(par.LeMasterAte(3, 1000), "xyz");
  ASSERT_FALSE(status.empty());
  EXPECT_EQ(status.back().first, HR_WriteCount);
  EXPECT_EQ(status.back().second, "3");

  const std::vector<std::pair<char, std::string>> esperado = {
      {'R', "ABC"}, {'R', "late"}, {'W', "xyz"}};
  EXPECT_EQ(dados, esperado);
}

TEST_F(SerialPty, RecvByteServeOBufferDeLinhaPrimeiro) {
  Conecta();
  par.EscreveMaster("XYZ");
  ASSERT_TRUE(EsperaFila(3));
  EXPECT_EQ(porta.RecvByte(100), 'X');
  EXPECT_EQ(porta.LineBuffer(), "YZ");
  EXPECT_EQ(porta.WaitingDataEx(), 2);

  // A later byte waits in the port's queue until the line buffer is used up.
  par.EscreveMaster("Q");
  ASSERT_TRUE(EsperaFila(1));
  EXPECT_EQ(porta.RecvByte(100), 'Y');
  EXPECT_EQ(porta.RecvByte(100), 'Z');
  EXPECT_EQ(porta.WaitingData(), 1);
  EXPECT_EQ(porta.RecvByte(100), 'Q');
  EXPECT_EQ(CodigoDe([&] { porta.RecvByte(50); }), ErrTimeout);
  porta.SetRaiseExcept(false);
  EXPECT_EQ(porta.RecvByte(20), 0);
  EXPECT_EQ(porta.LastError(), ErrTimeout);
}

TEST_F(SerialPty, PurgeDescartaFilaEBuffer) {
  Conecta();
  par.EscreveMaster("abcdef");
  ASSERT_TRUE(EsperaFila(6));
  EXPECT_EQ(porta.RecvByte(100), 'a');  // the rest goes to the line buffer
  par.EscreveMaster("ghi");
  ASSERT_TRUE(EsperaFila(3));
  porta.Purge();
  EXPECT_EQ(porta.LineBuffer(), "");
  EXPECT_EQ(porta.WaitingDataEx(), 0);
  EXPECT_EQ(CodigoDe([&] { porta.RecvPacket(30); }), ErrTimeout);
}

TEST_F(SerialPty, EscritaPresaTerminaNoDeadlockTimeout) {
  Conecta();
  std::string escrito;
  porta.OnDados = [&](char D, const std::string& B) {
    if (D == 'W') escrito += B;
  };
  porta.SetDeadlockTimeout(200);
  // Nobody reads the master: the pseudo-terminal's buffers fill up.
  const std::string muito(4 * 1024 * 1024, 'x');
  const int64_t inicio = AgoraMs();
  EXPECT_EQ(CodigoDe([&] { porta.SendString(muito); }), ErrTimeout);
  const int64_t passou = AgoraMs() - inicio;
  EXPECT_GE(passou, 190);
  EXPECT_LT(passou, 3000);
  EXPECT_GT(escrito.size(), 0u);
  EXPECT_LT(escrito.size(), muito.size());
  EXPECT_TRUE(porta.InstanceActive());
}

TEST_F(SerialPty, LinhasModemSemModemENoSeam) {
  Conecta();
  // A pseudo-terminal has no modem lines: the inputs read as set.
  EXPECT_TRUE(porta.CTS());
  EXPECT_TRUE(porta.DSR());
  porta.SetDTR(false);  // no-ops, no error
  porta.SetRTS(false);
  porta.Close();

  auto estado = std::make_shared<EstadoModem>();
  porta.SetLinhasModem(std::make_unique<ModemFalso>(estado));
  Conecta();
  EXPECT_EQ(estado->Saidas, (std::vector<std::string>{"RTS+", "DTR+"}));
  estado->Saidas.clear();
  porta.Close();
  EXPECT_EQ(estado->Saidas, (std::vector<std::string>{"RTS-", "DTR-"}));

  // Line tests: a low DSR refuses the connection, a low CTS the transfers.
  estado->Dsr = false;
  porta.SetTestDSR(true);
  EXPECT_EQ(CodigoDe([&] { porta.Connect(par.CaminhoEscravo()); }), ErrNoDeviceAnswer);
  EXPECT_FALSE(porta.InstanceActive());
  EXPECT_EQ(porta.Handle(), -1);
  estado->Dsr = true;
  Conecta();
  estado->Cts = false;
  porta.SetTestCTS(true);
  EXPECT_EQ(CodigoDe([&] { porta.SendString("nao sai"); }), ErrNoDeviceAnswer);
  EXPECT_EQ(par.LeMaster(50), "");
  par.EscreveMaster("r");
  ASSERT_TRUE(EsperaFila(1));
  EXPECT_EQ(CodigoDe([&] { porta.RecvPacket(50); }), ErrNoDeviceAnswer);
  estado->Cts = true;
  EXPECT_EQ(porta.RecvPacket(50), "r");
}

TEST_F(SerialPty, ConfigAplicaAsOpcoesDeLinha) {
  Conecta();
  auto le = [&] {
    termios t{};
    EXPECT_EQ(tcgetattr(porta.Handle(), &t), 0);
    return t;
  };
  // A pseudo-terminal forces 8 bits without parity, so only the flags that
  // stick on it are checked here.
  porta.Config(19200, 7, 'm', 2, true, true);
  termios t = le();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
  EXPECT_TRUE(t.c_cflag & PARODD);
  EXPECT_TRUE(t.c_cflag & CMSPAR);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_TRUE(t.c_cflag & CLOCAL);
  EXPECT_FALSE(t.c_cflag & HUPCL);
  EXPECT_TRUE(t.c_iflag & INPCK);
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_TRUE(t.c_iflag & IXOFF);
  EXPECT_EQ(t.c_cc[VSTART], 17);
  EXPECT_EQ(t.c_cc[VSTOP], 19);
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));

  porta.Config(9700, 8, 'N', 0, false, false);  // within a UART's tolerance
  t = le();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_FALSE(t.c_cflag & (CMSPAR | PARODD | CSTOPB | CRTSCTS));
  EXPECT_FALSE(t.c_iflag & (INPCK | IXON | IXOFF));

  struct Ruim {
    int Baud, Bits;
    char Paridade;
    int Stop;
  };
  for (const auto& r : {Ruim{14400, 8, 'N', 0}, Ruim{0, 8, 'N', 0}, Ruim{9600, 9, 'N', 0},
                        Ruim{9600, 4, 'N', 0}, Ruim{9600, 8, 'X', 0}, Ruim{9600, 8, 'N', 3}}) {
    EXPECT_EQ(CodigoDe([&] { porta.Config(r.Baud, r.Bits, r.Paridade, r.Stop, false, false); }),
              ErrWrongParameter)
        << r.Baud << " " << r.Bits << " " << r.Paridade << " " << r.Stop;
  }
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));  // untouched by the refusals
}

TEST_F(SerialPty, RespostaEmPedacosEAtrasada) {
  // A peer that answers each complete line ("...\n"): the first late, the
  // second in pieces.
  int respostas = 0;
  par.Inicia([&](const std::string& Pendente, PtyPar::Saida& Out) -> size_t {
    auto fim = Pendente.find('\n');
    if (fim == std::string::npos) return 0;
    if (respostas++ == 0)
      Out.EscreveApos(250, "ATRASADA");
    else
      Out.EmPedacos("EM-PEDACOS", 3, 50);
    return fim + 1;
  });
  Conecta();
  porta.SendString("um\n");
  EXPECT_EQ(CodigoDe([&] { porta.RecvPacket(100); }), ErrTimeout);
  EXPECT_EQ(RecebeAte(8), "ATRASADA");

  porta.SendString("do");
  porta.SendString("is\n");
  std::string primeiro;
  try {
    primeiro = porta.RecvPacket(1000);
  } catch (const ESerialError&) {
  }
  EXPECT_LT(primeiro.size(), 10u);  // a piece, not the whole answer
  EXPECT_EQ(primeiro + RecebeAte(10 - primeiro.size()), "EM-PEDACOS");
  EXPECT_TRUE(par.EsperaRecebido(8, 1000));
  EXPECT_EQ(par.Recebido(), "um\ndois\n");
}

TEST_F(SerialPty, EvenParityAgainAfterReopening) {
  // Printers that talk with even parity reopen their port after every
  // deactivation; on a pseudo-terminal that must keep working.
  for (int vez = 0; vez < 3; vez++) {
    Conecta();
    EXPECT_EQ(CodigoDe([&] { porta.Config(9600, 8, 'E', 0, false, false); }), 0) << vez;
    porta.SendString("ok");
    EXPECT_EQ(par.LeMasterAte(2, 1000), "ok");
    porta.Close();
  }
}
