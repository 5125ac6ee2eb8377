// TBlockSerial on POSIX termios.
//
// The port is opened non-blocking; every wait (for bytes to read, for room to
// write) is a poll() bounded by the caller's time-out, so no call can hang the
// user-interface thread for longer than it was told.
#include "device/ZuvoSerial.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

bool SoDigitosNaoVazio(const std::string& Texto) {
  if (Texto.empty()) return false;
  for (char c : Texto)
    if (c < '0' || c > '9') return false;
  return true;
}

/// Number after a prefix, or Padrao when what follows is not a plain number.
int NumeroApos(const std::string& Texto, size_t Prefixo, int Padrao) {
  std::string resto = Texto.substr(Prefixo);
  if (!SoDigitosNaoVazio(resto) || resto.size() > 6) return Padrao;
  return std::stoi(resto);
}

/// Opens a serial device for exclusive raw 8-bit use. Returns the descriptor,
/// or -1 with Erro (errno, or ErrAlreadyOwned) and Chamada (the call that
/// failed) filled in.
int AbrePortaCrua(const std::string& Caminho, int& Erro, std::string& Chamada) {
  // O_NOCTTY: a printer port must never become our controlling terminal.
  // O_NONBLOCK: open must not wait for carrier, and reads/writes return at
  // once; every wait is a poll() with a deadline.
  int fd = ::open(Caminho.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    Erro = errno == EBUSY ? ErrAlreadyOwned : errno;  // EBUSY: held with TIOCEXCL
    Chamada = "open";
    return -1;
  }
  auto falha = [&](const char* Qual, int Codigo) {
    Erro = Codigo;
    Chamada = Qual;
    ::close(fd);
    return -1;
  };
  // flock: TIOCEXCL does not stop a privileged process, the advisory lock
  // also keeps out cooperating programs run as root.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    return falha("flock", errno == EWOULDBLOCK ? ErrAlreadyOwned : errno);
  // TIOCEXCL: further opens of the tty fail with EBUSY while we hold it.
  if (::ioctl(fd, TIOCEXCL) != 0) return falha("ioctl(TIOCEXCL)", errno);

  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return falha("tcgetattr", errno);
  // cfmakeraw: no echo, no line editing, no CR/LF translation, 8 bits, so
  // every byte value passes unchanged.
  ::cfmakeraw(&tio);
  // CLOCAL: ignore carrier detect (printers do not drive DCD).
  // CREAD: enable the receiver.
  tio.c_cflag |= CLOCAL | CREAD;
  // No HUPCL: closing must not drop DTR behind our back; Close does it.
  tio.c_cflag &= ~HUPCL;
  // VMIN = VTIME = 0: read returns what is queued, never waits; poll waits.
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) return falha("tcsetattr", errno);
  return fd;
}

struct Velocidade {
  int Baud;
  speed_t Codigo;
};

constexpr Velocidade kVelocidades[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

/// The termios speed for a baud rate: an exact rate, or the nearest one when
/// it is within 3 % (inside what a UART tolerates). false otherwise.
bool CodigoVelocidade(int Baud, speed_t& Codigo) {
  if (Baud <= 0) return false;
  const Velocidade* melhor = nullptr;
  int64_t menorDiferenca = 0;
  for (const auto& v : kVelocidades) {
    int64_t d = v.Baud > Baud ? int64_t(v.Baud) - Baud : int64_t(Baud) - v.Baud;
    if (!melhor || d < menorDiferenca) {
      melhor = &v;
      menorDiferenca = d;
    }
  }
  if (menorDiferenca * 100 > int64_t(Baud) * 3) return false;
  Codigo = melhor->Codigo;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

ESerialError::ESerialError(int Codigo, const std::string& Descricao)
    : Exception("Communication error " + std::to_string(Codigo) + ": " + Descricao),
      ErrorCode(Codigo),
      ErrorMessage(Descricao) {}

// ---------------------------------------------------------------------------
// Modem lines through TIOCMGET / TIOCMBIS / TIOCMBIC.

bool LinhasModemTermios::Possui(int fd) {
  int bits = 0;
  return fd >= 0 && ::ioctl(fd, TIOCMGET, &bits) == 0;
}

bool LinhasModemTermios::CTS(int fd) {
  int bits = 0;
  return ::ioctl(fd, TIOCMGET, &bits) == 0 && (bits & TIOCM_CTS) != 0;
}

bool LinhasModemTermios::DSR(int fd) {
  int bits = 0;
  return ::ioctl(fd, TIOCMGET, &bits) == 0 && (bits & TIOCM_DSR) != 0;
}

void LinhasModemTermios::SetDTR(int fd, bool Valor) {
  int bit = TIOCM_DTR;
  ::ioctl(fd, Valor ? TIOCMBIS : TIOCMBIC, &bit);
}

void LinhasModemTermios::SetRTS(int fd, bool Valor) {
  int bit = TIOCM_RTS;
  ::ioctl(fd, Valor ? TIOCMBIS : TIOCMBIC, &bit);
}

// ---------------------------------------------------------------------------

TBlockSerial::TBlockSerial() : fModem(std::make_unique<LinhasModemTermios>()) {}

TBlockSerial::~TBlockSerial() {
  // The owner may already be half destroyed: no notifications from here.
  OnStatus = nullptr;
  OnDados = nullptr;
  fRaiseExcept = false;
  Close();
}

void TBlockSerial::SetLinhasModem(std::unique_ptr<LinhasModem> L) {
  fModem = L ? std::move(L) : std::make_unique<LinhasModemTermios>();
  fTemModem = -1;
}

std::string TBlockSerial::GetErrorDesc(int Codigo) {
  switch (Codigo) {
    case 0: return "OK";
    case ErrAlreadyOwned: return "Port owned by other process";
    case ErrAlreadyInUse: return "Instance already in use";
    case ErrWrongParameter: return "Wrong paramter at call";
    case ErrPortNotOpen: return "Instance not yet connected";
    case ErrNoDeviceAnswer: return "No device answer detected";
    case ErrMaxBuffer: return "Maximal buffer length exceeded";
    case ErrTimeout: return "Timeout during operation";
    case ErrNotRead: return "Reading of data failed";
    case ErrFrame: return "Receive framing error";
    case ErrOverrun: return "Receive Overrun Error";
    case ErrRxOver: return "Receive Queue overflow";
    case ErrRxParity: return "Receive Parity Error";
    case ErrTxFull: return "Tranceive Queue is full";
    default: {
      char buf[256];
      return std::string(strerror_r(Codigo, buf, sizeof(buf)));
    }
  }
}

void TBlockSerial::SetSynaError(int Codigo) {
  fLastError = Codigo;
  fLastErrorDesc = GetErrorDesc(Codigo);
}

void TBlockSerial::ErroSistema(int Codigo, const std::string& Chamada) {
  SetSynaError(Codigo);
  // Codes of our own keep their exact text; a system error also says which
  // call failed on which port.
  if (Codigo > 0 && Codigo < ErrAlreadyOwned)
    fLastErrorDesc += " (" + Chamada + " " + fDevice + ")";
}

void TBlockSerial::ErrorCheck() {
  if (fRaiseExcept && fLastError != 0) throw ESerialError(fLastError, fLastErrorDesc);
}

void TBlockSerial::Status(THookSerialReason R, const std::string& V) {
  if (OnStatus) OnStatus(this, R, V);
}

bool TBlockSerial::LinhasTestadasOk() {
  if (fTestDSR && !DSR()) return false;
  if (fTestCTS && !CTS()) return false;
  return true;
}

bool TBlockSerial::PodeTransferir() {
  if (!fInstanceActive) {
    SetSynaError(ErrPortNotOpen);
    return false;
  }
  if (!LinhasTestadasOk()) {
    SetSynaError(ErrNoDeviceAnswer);
    return false;
  }
  return true;
}

void TBlockSerial::LeContadoresErro(int Contadores[4]) {
  serial_icounter_struct ic{};
  if (fHandle >= 0 && fTemContadores) {
    if (::ioctl(fHandle, TIOCGICOUNT, &ic) == 0) {
      Contadores[0] = ic.frame;
      Contadores[1] = ic.overrun;
      Contadores[2] = ic.buf_overrun;
      Contadores[3] = ic.parity;
      return;
    }
    if (errno == ENOTTY || errno == EINVAL) fTemContadores = false;
  }
  for (int i = 0; i < 4; ++i) Contadores[i] = 0;
}

void TBlockSerial::VerificaErrosLinha() {
  // The driver counts line errors since it was loaded; what matters is what
  // happened since we last looked. Ports without counters (a pseudo-terminal)
  // report none.
  int agora[4];
  LeContadoresErro(agora);
  static constexpr int kCodigos[4] = {ErrFrame, ErrOverrun, ErrRxOver, ErrRxParity};
  int codigo = 0;
  for (int i = 0; i < 4; ++i) {
    if (agora[i] != fContadoresErro[i] && codigo == 0) codigo = kCodigos[i];
    fContadoresErro[i] = agora[i];
  }
  if (codigo != 0) SetSynaError(codigo);
}

void TBlockSerial::Connect(const std::string& Porta) {
  if (fHandle >= 0) {
    SetSynaError(ErrAlreadyInUse);
    ErrorCheck();
    return;
  }
  fLineBuffer.clear();
  fDevice = Porta;
  std::string maiusc = UpperCase(Porta);
  if (maiusc.rfind("COM", 0) == 0) {
    fComNr = NumeroApos(maiusc, 3, 0) - 1;
    if (fComNr >= 0) fDevice = "/dev/ttyS" + std::to_string(fComNr);
  } else if (maiusc.rfind("/DEV/TTYS", 0) == 0) {
    // Already the system's name: it is opened as it stands.
    fComNr = NumeroApos(maiusc, 9, -2);
  } else {
    fComNr = -1;
  }

  int erro = 0;
  std::string chamada;
  int fd = AbrePortaCrua(fDevice, erro, chamada);
  if (fd < 0) {
    ErroSistema(erro, chamada);
    // Most often a USB adapter unplugged or a name mistyped: say so in the
    // user's words, naming what was typed and what was opened.
    if (erro == ENOENT)
      fLastErrorDesc = "A porta serial " + Porta + (fDevice != Porta ? " (" + fDevice + ")" : "") +
                       " não existe";
    ErrorCheck();
    return;
  }
  fHandle = fd;
  fTemModem = -1;
  SetSynaError(0);
  if (!LinhasTestadasOk()) {
    // Nothing answers on the line: give the port back at once.
    ::ioctl(fHandle, TIOCNXCL);
    ::close(fHandle);
    fHandle = -1;
    SetSynaError(ErrNoDeviceAnswer);
    ErrorCheck();
    return;
  }
  fInstanceActive = true;
  fTemContadores = true;
  LeContadoresErro(fContadoresErro);
  SetRTS(true);
  SetDTR(true);
  Purge();
  Status(HR_Connect, fDevice);
}

void TBlockSerial::Config(int Baud, int Bits, char Parity, int Stop, bool SoftFlow, bool HardFlow) {
  if (fHandle < 0) {
    SetSynaError(ErrPortNotOpen);
    ErrorCheck();
    return;
  }
  termios tio{};
  if (::tcgetattr(fHandle, &tio) != 0) {
    ErroSistema(errno, "tcgetattr");
    ErrorCheck();
    return;
  }
  speed_t velocidade{};
  bool ok = CodigoVelocidade(Baud, velocidade);

  tcflag_t tamanho = CS8;
  switch (Bits) {
    case 5: tamanho = CS5; break;
    case 6: tamanho = CS6; break;
    case 7: tamanho = CS7; break;
    case 8: tamanho = CS8; break;
    default: ok = false;
  }

  tcflag_t paridade = 0;
  switch (Parity) {
    case 'N':
    case 'n': paridade = 0; break;
    case 'O':
    case 'o': paridade = PARENB | PARODD; break;
    case 'E':
    case 'e': paridade = PARENB; break;
    // CMSPAR makes the parity bit constant: 1 with PARODD (mark), 0 without.
    case 'M':
    case 'm': paridade = PARENB | PARODD | CMSPAR; break;
    case 'S':
    case 's': paridade = PARENB | CMSPAR; break;
    default: ok = false;
  }

  if (Stop < 0 || Stop > 2) ok = false;
  if (!ok) {
    SetSynaError(ErrWrongParameter);
    ErrorCheck();
    return;
  }

  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, velocidade);
  ::cfsetospeed(&tio, velocidade);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
  tio.c_cflag |= tamanho | paridade | CLOCAL | CREAD;
  // termios has no 1.5 stop bits; two is the safe side for a receiver.
  if (Stop != 0) tio.c_cflag |= CSTOPB;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | ISTRIP);
  if (paridade != 0) tio.c_iflag |= INPCK;
  if (SoftFlow) {
    tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VSTART] = 17;
    tio.c_cc[VSTOP] = 19;
  }
  if (HardFlow) tio.c_cflag |= CRTSCTS;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  int r = ::tcsetattr(fHandle, TCSANOW, &tio);
  if (r != 0 && errno == EINVAL && paridade != 0 && !fModem->Possui(fHandle)) {
    // A pseudo-terminal has no line to put a parity bit on; Linux may refuse
    // the setting on it once the port has been reopened. The bytes pass the
    // same without it.
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    tio.c_iflag &= ~INPCK;
    r = ::tcsetattr(fHandle, TCSANOW, &tio);
  }
  if (r != 0) {
    ErroSistema(errno, "tcsetattr");
    ErrorCheck();
    return;
  }
  // With hardware flow the driver owns RTS; otherwise it simply stays on.
  if (!HardFlow) SetRTS(true);
  SetDTR(true);
  SetSynaError(0);
  ErrorCheck();
}

void TBlockSerial::Close() {
  if (fHandle >= 0) {
    bool raise = fRaiseExcept;
    fRaiseExcept = false;
    Purge();
    SetRTS(false);
    SetDTR(false);
    fRaiseExcept = raise;
    // The exclusive flag lives on the tty, which may outlive this descriptor
    // (another process keeps it open): clear it so the port can be reopened.
    ::ioctl(fHandle, TIOCNXCL);
    ::close(fHandle);  // also releases the flock
    fHandle = -1;
    fInstanceActive = false;
    fComNr = -1;
    SetSynaError(0);
    Status(HR_SerialClose, fDevice);
  }
  fInstanceActive = false;
  fHandle = -1;
  fComNr = -1;
}

void TBlockSerial::Purge() {
  if (fHandle < 0) {
    SetSynaError(ErrPortNotOpen);
    ErrorCheck();
    return;
  }
  fLineBuffer.clear();
  if (::tcflush(fHandle, TCIOFLUSH) != 0)
    ErroSistema(errno, "tcflush");
  else
    SetSynaError(0);
  ErrorCheck();
}

void TBlockSerial::SendString(const std::string& Data) {
  if (!PodeTransferir()) {
    ErrorCheck();
    return;
  }
  SetSynaError(0);
  // The port's own waits are real I/O waits: they run on the system's clock
  // even when a test replaces the platform's.
  const TPrazo limite = TPrazo::Real(fDeadlockTimeout);
  size_t escritos = 0;
  while (escritos < Data.size()) {
    ssize_t n = ::write(fHandle, Data.data() + escritos, Data.size() - escritos);
    if (n > 0) {
      escritos += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      ErroSistema(errno, "write");
      break;
    }
    // Output queue full (flow control held, or a slow line): wait for room.
    pollfd p{fHandle, POLLOUT, 0};
    int r = ::poll(&p, 1, limite.RestanteAte(INT32_MAX));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      ErroSistema(errno, "poll");
      break;
    }
    if (r == 0) {
      // The line is stuck: drop what is still queued so the next command
      // does not go out behind stale bytes.
      ::tcflush(fHandle, TCOFLUSH);
      SetSynaError(ErrTimeout);
      break;
    }
    if (p.revents & (POLLERR | POLLNVAL)) {
      ErroSistema(EIO, "write");
      break;
    }
  }
  if (escritos > 0 && OnDados) OnDados('W', Data.substr(0, escritos));
  if (fLastError == 0) VerificaErrosLinha();
  ErrorCheck();
  Status(HR_WriteCount, std::to_string(escritos));
}

std::string TBlockSerial::LeFila(int Quantos) {
  // Read through a buffer on the stack: the answer is a few bytes most of the
  // time, and a string of the whole block would be allocated and cleared for
  // every packet.
  std::string lido;
  char bloco[4096];
  const size_t quantos = static_cast<size_t>(std::max(Quantos, 0));
  while (lido.size() < quantos) {
    const size_t pede = std::min(sizeof(bloco), quantos - lido.size());
    ssize_t n = ::read(fHandle, bloco, pede);
    if (n > 0) {
      lido.append(bloco, static_cast<size_t>(n));
      // A short read took the whole queue: asking again would only hear so.
      if (static_cast<size_t>(n) < pede) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) ErroSistema(errno, "read");
    break;  // 0 or EAGAIN: the queue is drained
  }
  return lido;
}

std::string TBlockSerial::RecvPacket(int Timeout) {
  std::string resultado;
  if (!PodeTransferir()) {
    ErrorCheck();
    return resultado;
  }
  SetSynaError(0);
  if (!fLineBuffer.empty()) {
    resultado.swap(fLineBuffer);
    return resultado;
  }

  // One wait and one read: poll returns at once when bytes are queued, and
  // a read of a block takes whatever is there (asking the queue's size first
  // would only cost a call more per packet).
  int fila = 0;
  pollfd p{fHandle, POLLIN, 0};
  const TPrazo limite = TPrazo::Real(Timeout);
  int r;
  do {
    r = ::poll(&p, 1, limite.RestanteAte(INT32_MAX));
  } while (r < 0 && errno == EINTR);
  if (r < 0) {
    ErroSistema(errno, "poll");
  } else if (r > 0 && (p.revents & POLLIN)) {
    Status(HR_CanRead, "");
    fila = fRecvBuffer > 0 ? fRecvBuffer : 4096;
  } else if (r > 0) {
    // Hang-up or error on the line: read reports which.
    fila = 1;
  }
  if (fLastError == 0 && fila > 0) resultado = LeFila(fila);
  if (fLastError == 0 && resultado.empty()) SetSynaError(ErrTimeout);
  if (!resultado.empty()) {
    if (OnDados) OnDados('R', resultado);
    Status(HR_ReadCount, std::to_string(resultado.size()));
  }
  if (fLastError == 0) VerificaErrosLinha();
  ErrorCheck();
  return resultado;
}

uint8_t TBlockSerial::RecvByte(int Timeout) {
  if (fLineBuffer.empty()) {
    std::string lido = RecvPacket(Timeout);  // raises when RaiseExcept
    if (fLastError != 0) return 0;
    fLineBuffer = std::move(lido);
  } else if (!PodeTransferir()) {
    ErrorCheck();
    return 0;
  } else {
    SetSynaError(0);
  }
  if (fLineBuffer.empty()) return 0;
  auto b = static_cast<uint8_t>(fLineBuffer.front());
  fLineBuffer.erase(0, 1);
  return b;
}

int TBlockSerial::WaitingData() {
  int n = 0;
  if (fHandle < 0 || ::ioctl(fHandle, FIONREAD, &n) != 0) return 0;
  return n;
}

int TBlockSerial::WaitingDataEx() {
  if (!fLineBuffer.empty()) return static_cast<int>(fLineBuffer.size());
  return WaitingData();
}

void TBlockSerial::SetDTR(bool Valor) {
  if (fHandle >= 0 && TemModem()) fModem->SetDTR(fHandle, Valor);
}

void TBlockSerial::SetRTS(bool Valor) {
  if (fHandle >= 0 && TemModem()) fModem->SetRTS(fHandle, Valor);
}

bool TBlockSerial::CTS() {
  if (fHandle < 0) return false;
  return !TemModem() || fModem->CTS(fHandle);
}

bool TBlockSerial::DSR() {
  if (fHandle < 0) return false;
  return !TemModem() || fModem->DSR(fHandle);
}

bool TBlockSerial::TemModem() {
  // A port has its lines or not for as long as it is open: the lines are read
  // before every command, and asking twice would double the calls.
  if (fTemModem < 0) fTemModem = fModem->Possui(fHandle) ? 1 : 0;
  return fTemModem == 1;
}

}  // namespace zuvo
