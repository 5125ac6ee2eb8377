// TBlockSerial: a blocking serial port on POSIX termios.
//
// Every operation records an error code; with RaiseExcept on (the device
// always switches it on) a non-zero code becomes an ESerialError. Every byte
// written or read passes SendString/RecvPacket, the one place where a
// conversation can be recorded (OnDados).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/ZuvoUtil.h"

namespace zuvo {

/// Error of the serial port: "Communication error %d: %s" with the code and
/// its description (TBlockSerial::GetErrorDesc).
class ESerialError : public Exception {
 public:
  ESerialError(int Codigo, const std::string& Descricao);
  int ErrorCode;
  std::string ErrorMessage;
};

enum THookSerialReason {
  HR_SerialClose,
  HR_Connect,
  HR_CanRead,
  HR_CanWrite,
  HR_ReadCount,
  HR_WriteCount,
  HR_Wait
};

class TBlockSerial;
using THookSerialStatus =
    std::function<void(TBlockSerial* Sender, THookSerialReason Reason, const std::string& Value)>;

inline constexpr int ErrAlreadyOwned = 9991;
inline constexpr int ErrAlreadyInUse = 9992;
inline constexpr int ErrWrongParameter = 9993;
inline constexpr int ErrPortNotOpen = 9994;
inline constexpr int ErrNoDeviceAnswer = 9995;
inline constexpr int ErrMaxBuffer = 9996;
inline constexpr int ErrTimeout = 9997;
inline constexpr int ErrNotRead = 9998;
inline constexpr int ErrFrame = 9999;
inline constexpr int ErrOverrun = 10000;
inline constexpr int ErrRxOver = 10001;
inline constexpr int ErrRxParity = 10002;
inline constexpr int ErrTxFull = 10003;

/// The modem control and status lines of an open port. A port without modem
/// lines (a pseudo-terminal) answers Possui() false: CTS and DSR then read as
/// set and DTR and RTS are no-ops. Tests replace it to hold a line low.
class LinhasModem {
 public:
  virtual ~LinhasModem() = default;
  /// fd is the open port's descriptor.
  virtual bool Possui(int fd) = 0;
  virtual bool CTS(int fd) = 0;
  virtual bool DSR(int fd) = 0;
  virtual void SetDTR(int fd, bool Valor) = 0;
  virtual void SetRTS(int fd, bool Valor) = 0;
};

/// TIOCMGET / TIOCMBIS / TIOCMBIC; a port that refuses TIOCMGET has none.
class LinhasModemTermios : public LinhasModem {
 public:
  bool Possui(int fd) override;
  bool CTS(int fd) override;
  bool DSR(int fd) override;
  void SetDTR(int fd, bool Valor) override;
  void SetRTS(int fd, bool Valor) override;
};

class TBlockSerial {
 public:
  TBlockSerial();
  ~TBlockSerial();
  TBlockSerial(const TBlockSerial&) = delete;
  TBlockSerial& operator=(const TBlockSerial&) = delete;

  /// Opens the port exclusively (TIOCEXCL plus an advisory lock) in raw
  /// 8-bit mode. "COMn" opens /dev/ttyS(n-1); any other name is opened as it
  /// stands. Already open: 9992. A port held by another process: 9991. A
  /// port that does not exist: ENOENT, described as "A porta serial <Porta>
  /// (<device>) não existe".
  void Connect(const std::string& Porta);
  /// Line settings: Parity 'N','O','E','M','S' (either case); Stop 0 = 1,
  /// 1 = 1.5 (taken as 2 on POSIX), 2 = 2 stop bits.
  void Config(int Baud, int Bits, char Parity, int Stop, bool SoftFlow, bool HardFlow);
  /// Purge, RTS off, DTR off, close. Safe to call when closed.
  void Close();
  /// Discards both queues and LineBuffer.
  void Purge();
  /// Writes all of Data within DeadlockTimeout ms, else purges the transmit
  /// side and sets 9997.
  void SendString(const std::string& Data);
  /// LineBuffer if it holds bytes; else what is queued; else waits at most
  /// Timeout ms for bytes. Nothing arrived: 9997 "Timeout during operation".
  std::string RecvPacket(int Timeout);
  /// One byte from LineBuffer, refilled with RecvPacket(Timeout) when empty;
  /// 0 on error.
  uint8_t RecvByte(int Timeout);
  /// Bytes in the input queue.
  int WaitingData();
  /// LineBuffer's length when it is not empty, else WaitingData.
  int WaitingDataEx();
  void SetDTR(bool Valor);
  void SetRTS(bool Valor);
  bool CTS();
  bool DSR();
  static std::string GetErrorDesc(int Codigo);

  bool RaiseExcept() const { return fRaiseExcept; }
  void SetRaiseExcept(bool V) { fRaiseExcept = V; }
  int DeadlockTimeout() const { return fDeadlockTimeout; }
  void SetDeadlockTimeout(int Ms) { fDeadlockTimeout = Ms; }
  int LastError() const { return fLastError; }
  const std::string& LastErrorDesc() const { return fLastErrorDesc; }
  const std::string& Device() const { return fDevice; }
  int ComNr() const { return fComNr; }
  bool InstanceActive() const { return fInstanceActive; }
  int Handle() const { return fHandle; }
  const std::string& LineBuffer() const { return fLineBuffer; }
  bool TestDSR() const { return fTestDSR; }
  void SetTestDSR(bool V) { fTestDSR = V; }
  bool TestCTS() const { return fTestCTS; }
  void SetTestCTS(bool V) { fTestCTS = V; }
  int RecvBuffer() const { return fRecvBuffer; }
  void SetRecvBuffer(int V) { fRecvBuffer = V; }

  /// Progress notification.
  THookSerialStatus OnStatus;
  /// Every byte written ('W') or read ('R') passes here.
  std::function<void(char Direcao, const std::string& Bytes)> OnDados;

  /// Replaces the modem-line access (tests).
  void SetLinhasModem(std::unique_ptr<LinhasModem> L);

 private:
  void ErrorCheck();
  void SetSynaError(int Codigo);
  bool LinhasTestadasOk();
  void Status(THookSerialReason R, const std::string& V);
  /// A system error: the code keeps errno, the description also names the
  /// call and the port.
  void ErroSistema(int Codigo, const std::string& Chamada);
  /// Open and the tested lines up; sets 9994 or 9995 otherwise.
  bool PodeTransferir();
  /// Reads up to Quantos bytes that are already queued.
  std::string LeFila(int Quantos);
  /// Line error counters (frame, overrun, buffer overrun, parity).
  void LeContadoresErro(int Contadores[4]);
  /// Turns line errors counted since the last look into 9999..10002.
  void VerificaErrosLinha();

  bool fRaiseExcept = false;
  int fHandle = -1;
  std::string fDevice;
  int fComNr = -1;
  bool fInstanceActive = false;
  std::string fLineBuffer;
  bool fTestDSR = false;
  bool fTestCTS = false;
  int fDeadlockTimeout = 30000;
  int fRecvBuffer = 4096;
  int fLastError = 0;
  std::string fLastErrorDesc;
  std::unique_ptr<LinhasModem> fModem;
  int fContadoresErro[4] = {0, 0, 0, 0};
  // A port whose driver keeps no error counters (a pseudo-terminal, many USB
  // adapters) is not asked again on every read and write.
  bool fTemContadores = true;
  // Whether the open port has modem lines, asked once per open (-1: not yet).
  int fTemModem = -1;
  bool TemModem();
};

}  // namespace zuvo
