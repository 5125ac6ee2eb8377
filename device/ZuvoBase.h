// TZuvoDevice: the port a printer is attached to.
//
// It knows the port's name and line settings, opens and closes it, and writes
// text to destinations that are not serial ports. The driver base reaches the
// serial port only through the few byte-level operations below (write with a
// deadline, read with a deadline, purge, modem lines); no driver holds the
// TBlockSerial itself.
//
// Port names on Linux: "COM1".."COMn" are /dev/ttyS0..; a serial device's
// path (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyAMA*, /dev/rfcomm*,
// /dev/pts/*, /dev/serial/...) is a serial port whether or not it exists now,
// and so is any path, a symbolic link included, that resolves to a terminal.
// Any other name (LPT1, /dev/lp0, a file) is opened for writing as text.
#pragma once

#include <memory>
#include <string>

#include "device/ZuvoSerial.h"

namespace zuvo {

enum TZuvoSerialParity { pNone, pOdd, pEven, pMark, pSpace };
enum TZuvoSerialStop { s1, s1eMeio, s2 };
enum TZuvoHandShake { hsNenhum, hsXON_XOFF, hsRTS_CTS, hsDTR_DSR };
enum TZuvoAboutInfo { ZuvoAbout };

/// Base of the component: carries the library's name and version.
class TZuvoComponent {
 public:
  virtual ~TZuvoComponent() = default;
  TZuvoAboutInfo AboutZuvo() const { return ZuvoAbout; }
  void SetAboutZuvo(TZuvoAboutInfo) {}
  /// "ZuvoECF <version>".
  static std::string Sobre();
};

/// Where the byte-level operations go in place of the serial port: answers
/// kept in memory (a fuzz target feeding arbitrary bytes through the command
/// cycle). A channel has no modem lines and is always on line. Its reads run
/// on the platform's clock: a read that finds nothing spends its Ms there, so
/// a test platform times out at once instead of waiting.
class CanalBytes {
 public:
  virtual ~CanalBytes() = default;
  virtual void Escreve(const std::string& Dados) = 0;
  /// What arrives within Ms; "" when nothing did.
  virtual std::string Recebe(int Ms) = 0;
  /// One byte within Ms; -1 when none arrived.
  virtual int RecebeByte(int Ms) = 0;
  /// Discards what arrived and was not read.
  virtual void Esvazia() = 0;
};

class TZuvoDevice {
 public:
  TZuvoDevice();
  ~TZuvoDevice();
  TZuvoDevice(const TZuvoDevice&) = delete;
  TZuvoDevice& operator=(const TZuvoDevice&) = delete;

  /// Defaults: no handshake, parity 'N', 8 data bits, 9600 baud, 1 stop bit.
  /// Not pushed to an open port.
  void ValoresPadrao();
  /// Opens the port. Empty Porta: Exception "Porta não definida". A serial
  /// port is connected, configured and purged (its ESerialError passes on,
  /// leaving the port closed). Any other name is created or truncated as a
  /// file; failing twice: "Erro abrindo: " + Porta + CR LF + system message.
  void Ativar();
  /// Closes the port; never raises.
  void Desativar();
  /// COMn, a serial device's path (present or not), or a path that resolves
  /// to a terminal device.
  bool EhSerial() const;
  /// Porta ends in ".TXT" (any case).
  bool EhArquivoTexto() const;
  /// Not serial: true. Serial and closed: false. Else polls the handshake
  /// line (CTS for hsRTS_CTS, DSR for hsDTR_DSR) for up to TimeOut seconds.
  bool EmLinha(int TimeOut);
  /// Serial: SendString. Otherwise writes Texto to Porta (appending to an
  /// existing .txt file, else creating or truncating), flushed and closed.
  void EnviaString(const std::string& Texto);
  // ----- Byte-level access for the driver base -----

  /// Writes Dados to the serial port within PrazoMs (the write deadline is
  /// set here and nowhere else: PrazoMs, or TimeOut seconds when 0). A
  /// failure raises ESerialError.
  void Escreve(const std::string& Dados, int PrazoMs = 0);
  /// What the serial port delivers within Ms: the bytes already queued, or
  /// the first ones to arrive. "" when nothing arrived or the port failed.
  std::string Recebe(int Ms);
  /// One byte within Ms; -1 when none arrived.
  int RecebeByte(int Ms);
  /// Discards what is queued both ways; never raises.
  void Esvazia();
  /// DTR and RTS (no-ops on a port without modem lines, or closed).
  void SetDTR(bool Valor);
  void SetRTS(bool Valor);
  /// CTS (set on a port without modem lines; clear when closed).
  bool CTS();

  /// Pushes the settings to a connected serial port; raises RTS for
  /// hsRTS_CTS and DTR for hsDTR_DSR.
  void ConfiguraSerial();
  /// The system path a port name opens ("COM1" -> "/dev/ttyS0").
  static std::string NomeSistema(const std::string& Porta);

  const std::string& Porta() const { return fPorta; }
  void SetPorta(const std::string& V);
  int TimeOut() const { return fTimeOut; }
  void SetTimeOut(int V);
  int Baud() const { return fBaud; }
  void SetBaud(int V);
  int Data() const { return fData; }
  void SetData(int V);
  TZuvoSerialParity Parity() const;
  void SetParity(TZuvoSerialParity V);
  TZuvoSerialStop Stop() const;
  void SetStop(TZuvoSerialStop V);
  TZuvoHandShake HandShake() const { return fHandShake; }
  void SetHandShake(TZuvoHandShake V);
  bool HardFlow() const { return fHardFlow; }
  void SetHardFlow(bool V);
  bool SoftFlow() const { return fSoftFlow; }
  void SetSoftFlow(bool V);
  bool Ativo() const { return fAtivo; }
  /// A number the application gives the device; the non-fiscal emulator
  /// takes it as its machine number.
  int Tag() const { return fTag; }
  void SetTag(int V) { fTag = V; }
  const THookSerialStatus& OnStatus() const { return fSerial->OnStatus; }
  void SetOnStatus(THookSerialStatus V) { fSerial->OnStatus = std::move(V); }
  /// The serial port object, for the device's own tests and tools (a byte
  /// recorder in a benchmark). Drivers never use it.
  TBlockSerial& Serial() { return *fSerial; }
  /// Sends the byte-level operations to Canal (not owned) instead of the
  /// serial port; nullptr goes back to the port. Set while not Ativo.
  void SetCanal(CanalBytes* Canal) { fCanal = Canal; }

 private:
  void FechaSerialSilencioso();
  /// The only writer of the serial port's write deadline.
  void DefinePrazoEscrita(int Ms);

  bool fHardFlow = false;
  bool fSoftFlow = false;
  char fParity = 'N';
  int fData = 8;
  int fBaud = 9600;
  int fStop = 0;
  std::string fPorta;
  int fTimeOut = 3;
  bool fAtivo = false;
  /// What EhSerial answered when the port was opened (kept while Ativo).
  bool fAtivoSerial = false;
  TZuvoHandShake fHandShake = hsNenhum;
  int fTag = 0;
  std::unique_ptr<TBlockSerial> fSerial;
  CanalBytes* fCanal = nullptr;
};

}  // namespace zuvo
