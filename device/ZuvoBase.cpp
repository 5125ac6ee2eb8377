// TZuvoDevice: port naming, line settings, serial ports and text outputs.
#include "device/ZuvoBase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/ZuvoPlataforma.h"
#include "core/ZuvoUI.h"

#ifndef ZUVO_VERSAO
#define ZUVO_VERSAO "0.1.0"
#endif

namespace zuvo {

namespace {

bool ComecaCom(const std::string& Texto, const char* Prefixo) {
  return Texto.rfind(Prefixo, 0) == 0;
}

std::string MensagemSistema(int Erro) {
  char buf[256];
  return std::string(strerror_r(Erro, buf, sizeof(buf)));
}

/// "COM" followed only by digits, as stored (upper case).
bool EhNomeCOM(const std::string& Porta) {
  if (!ComecaCom(Porta, "COM") || Porta.size() == 3) return false;
  for (size_t i = 3; i < Porta.size(); ++i)
    if (Porta[i] < '0' || Porta[i] > '9') return false;
  return true;
}

/// Names the kernel and udev give to serial terminals: UARTs, USB adapters,
/// USB modems (most printers' USB ports), the UARTs of ARM boards, Bluetooth
/// links, pseudo-terminals and udev's stable links to any of them.
bool NomeDeTerminal(const std::string& Caminho) {
  for (const char* prefixo : {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM", "/dev/ttyAMA",
                              "/dev/rfcomm", "/dev/pts/", "/dev/serial/"})
    if (ComecaCom(Caminho, prefixo) && Caminho.size() > std::strlen(prefixo)) return true;
  return false;
}

/// A symbolic link whose target (followed as far as it goes, the last link
/// possibly dangling) is named as a serial terminal: the link a simulator or
/// udev made to a port that is gone now.
bool LinkParaNomeDeTerminal(const std::string& Caminho) {
  std::filesystem::path atual(Caminho);
  std::error_code erro;
  for (int saltos = 0; saltos < 8 && std::filesystem::is_symlink(atual, erro); ++saltos) {
    std::filesystem::path destino = std::filesystem::read_symlink(atual, erro);
    if (erro) return false;
    atual = destino.is_absolute() ? destino : atual.parent_path() / destino;
    atual = atual.lexically_normal();
    if (NomeDeTerminal(atual.string())) return true;
  }
  return false;
}

/// Whether a path (a symbolic link included) leads to a terminal device.
/// Decided without opening it when possible: opening a serial port may
/// toggle its modem lines, and the port may be held exclusively.
bool CaminhoEhTerminal(const std::string& Caminho) {
  // A serial device's name counts whether or not the device is there now:
  // an unplugged USB adapter must be reported as a missing port, not become
  // a file written under /dev.
  if (NomeDeTerminal(Caminho)) return true;
  struct stat st {};
  if (::stat(Caminho.c_str(), &st) != 0) return LinkParaNomeDeTerminal(Caminho);
  if (!S_ISCHR(st.st_mode)) return false;
  if (char* real = ::realpath(Caminho.c_str(), nullptr)) {
    bool ehTerminal = NomeDeTerminal(real);
    std::free(real);
    if (ehTerminal) return true;
  }
  // Any other character device: the kernel files terminals under a "tty"
  // class, visible through /sys/dev/char/<major>:<minor>.
  std::string sys = "/sys/dev/char/" + std::to_string(major(st.st_rdev)) + ":" +
                    std::to_string(minor(st.st_rdev));
  if (char* real = ::realpath(sys.c_str(), nullptr)) {
    std::string destino(real);
    std::free(real);
    return destino.find("/tty/") != std::string::npos;
  }
  // No sysfs: ask the device itself.
  int fd = ::open(Caminho.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ehTerminal = ::isatty(fd) != 0;
  ::close(fd);
  return ehTerminal;
}

}  // namespace

std::string TZuvoComponent::Sobre() { return std::string("ZuvoECF ") + ZUVO_VERSAO; }

// ---------------------------------------------------------------------------

TZuvoDevice::TZuvoDevice() : fSerial(std::make_unique<TBlockSerial>()) {
  fSerial->SetRaiseExcept(true);
  ValoresPadrao();
}

TZuvoDevice::~TZuvoDevice() { Desativar(); }

void TZuvoDevice::ValoresPadrao() {
  fHardFlow = false;
  fSoftFlow = false;
  fHandShake = hsNenhum;
  fParity = 'N';
  fData = 8;
  fBaud = 9600;
  fStop = 0;
}

std::string TZuvoDevice::NomeSistema(const std::string& Porta) {
  std::string maiusc = UpperCase(Porta);
  if (EhNomeCOM(maiusc)) {
    int numero = std::atoi(maiusc.c_str() + 3);
    if (numero >= 1) return "/dev/ttyS" + std::to_string(numero - 1);
  }
  return Porta;
}

bool TZuvoDevice::EhSerial() const {
  // While open, the answer given when it was opened holds: a USB adapter
  // pulled out must not turn the port into a file written under /dev.
  if (fAtivo) return fAtivoSerial;
  if (fCanal) return true;
  return EhNomeCOM(fPorta) || CaminhoEhTerminal(fPorta);
}

bool TZuvoDevice::EhArquivoTexto() const {
  return fPorta.size() >= 4 && UpperCase(fPorta.substr(fPorta.size() - 4)) == ".TXT";
}

void TZuvoDevice::FechaSerialSilencioso() {
  bool raise = fSerial->RaiseExcept();
  fSerial->SetRaiseExcept(false);
  try {
    fSerial->Close();
  } catch (...) {
    // A status callback that throws must not stop the port from closing.
  }
  fSerial->SetRaiseExcept(raise);
}

void TZuvoDevice::Ativar() {
  if (fAtivo) return;
  if (fPorta.empty()) throw Exception("Porta não definida");

  if (fCanal) {
    fAtivoSerial = true;
  } else if (EhSerial()) {
    try {
      fSerial->Close();
      DefinePrazoEscrita(0);
      fSerial->Connect(fPorta);
      ConfiguraSerial();
      fSerial->Purge();
    } catch (...) {
      FechaSerialSilencioso();
      throw;
    }
    fAtivoSerial = true;
  } else {
    // A parallel port, a device or a file: check now that it can be written,
    // starting it empty. A busy device gets one more try.
    int erro = 0;
    for (int tentativa = 0; tentativa < 2; ++tentativa) {
      int fd = ::open(fPorta.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666);
      if (fd >= 0) {
        ::close(fd);
        erro = 0;
        break;
      }
      erro = errno;
    }
    if (erro != 0) throw Exception("Erro abrindo: " + fPorta + CRLF + MensagemSistema(erro));
    fAtivoSerial = false;
  }
  fAtivo = true;
}

void TZuvoDevice::Desativar() {
  if (!fAtivo) return;
  if (fAtivoSerial && !fCanal) FechaSerialSilencioso();
  fAtivo = false;
  fAtivoSerial = false;
}

bool TZuvoDevice::EmLinha(int TimeOut) {
  if (!EhSerial() || fCanal) return true;
  if (!fSerial->InstanceActive()) return false;
  if (TimeOut < 1) TimeOut = 1;

  const TPrazo limite(int64_t{TimeOut} * 1000);
  bool emLinha = false;
  for (;;) {
    switch (fHandShake) {
      case hsRTS_CTS: emLinha = fSerial->CTS(); break;
      case hsDTR_DSR: emLinha = fSerial->DSR(); break;
      default: emLinha = true; break;
    }
    if (emLinha || limite.Venceu()) break;
    Toolkit().processEvents();
    Dorme(10);
  }
  return emLinha;
}

void TZuvoDevice::EnviaString(const std::string& Texto) {
  if (EhSerial()) {
    Escreve(Texto);
    return;
  }
  int modo = O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC;
  modo |= EhArquivoTexto() ? O_APPEND : O_TRUNC;
  int fd = ::open(fPorta.c_str(), modo, 0666);
  if (fd < 0) throw Exception("Erro abrindo: " + fPorta + CRLF + MensagemSistema(errno));
  size_t escritos = 0;
  int erro = 0;
  while (escritos < Texto.size()) {
    ssize_t n = ::write(fd, Texto.data() + escritos, Texto.size() - escritos);
    if (n > 0) {
      escritos += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      erro = n < 0 ? errno : EIO;
      break;
    }
  }
  // close reports a delayed write error (a full disk on NFS, a printer gone).
  if (::close(fd) != 0 && erro == 0) erro = errno;
  if (erro != 0) throw Exception("Erro gravando: " + fPorta + CRLF + MensagemSistema(erro));
}

void TZuvoDevice::DefinePrazoEscrita(int Ms) {
  fSerial->SetDeadlockTimeout(Ms > 0 ? Ms : fTimeOut * 1000);
}

void TZuvoDevice::Escreve(const std::string& Dados, int PrazoMs) {
  if (fCanal) return fCanal->Escreve(Dados);
  DefinePrazoEscrita(PrazoMs);
  fSerial->SendString(Dados);
}

std::string TZuvoDevice::Recebe(int Ms) {
  if (fCanal) return fCanal->Recebe(Ms);
  try {
    return fSerial->RecvPacket(Ms);
  } catch (const ESerialError&) {
    return "";  // nothing arrived in time
  }
}

int TZuvoDevice::RecebeByte(int Ms) {
  if (fCanal) return fCanal->RecebeByte(Ms);
  try {
    // RecvByte answers 0 for "nothing": a real 0 byte is told apart by the
    // port's error code.
    const int b = fSerial->RecvByte(Ms);
    return fSerial->LastError() == 0 ? b : -1;
  } catch (const ESerialError&) {
    return -1;
  }
}

void TZuvoDevice::Esvazia() {
  if (fCanal) return fCanal->Esvazia();
  try {
    fSerial->Purge();
  } catch (const ESerialError&) {
    // A closed port has nothing to discard.
  }
}

void TZuvoDevice::SetDTR(bool Valor) {
  if (!fCanal) fSerial->SetDTR(Valor);
}
void TZuvoDevice::SetRTS(bool Valor) {
  if (!fCanal) fSerial->SetRTS(Valor);
}
bool TZuvoDevice::CTS() { return fCanal || fSerial->CTS(); }

void TZuvoDevice::ConfiguraSerial() {
  if (!fSerial->InstanceActive()) return;
  fSerial->Config(fBaud, fData, fParity, fStop, fSoftFlow, fHardFlow);
  if (fHandShake == hsRTS_CTS) fSerial->SetRTS(true);
  if (fHandShake == hsDTR_DSR) fSerial->SetDTR(true);
}

// ---------------------------------------------------------------------------
// Property setters

void TZuvoDevice::SetPorta(const std::string& V) {
  if (V == fPorta) return;
  if (fAtivo) throw Exception("Não é possível mudar a Porta com o Dispositivo Ativo");
  std::string maiusc = UpperCase(V);
  // COM and LPT names are the user's shorthand; paths keep their case.
  fPorta = ComecaCom(maiusc, "LPT") || ComecaCom(maiusc, "COM") ? maiusc : V;
}

void TZuvoDevice::SetTimeOut(int V) {
  if (V == fTimeOut) return;
  fTimeOut = V < 1 ? 1 : V;
  if (EhSerial()) DefinePrazoEscrita(0);
}

void TZuvoDevice::SetBaud(int V) {
  if (V == fBaud) return;
  if (V < 50 || V > 4000000)
    throw Exception(std::string("Valor deve estar na faixa de 50 a 4000000.") + LF +
                    "Normalmente os equipamentos Seriais utilizam: 9600");
  fBaud = V;
  ConfiguraSerial();
}

void TZuvoDevice::SetData(int V) {
  if (V == fData) return;
  if (V < 5 || V > 8)
    throw Exception(std::string("Valor deve estar na faixa de 5 a 8.") + LF +
                    "Normalmente os equipamentos Seriais utilizam: 7 ou 8");
  fData = V;
  ConfiguraSerial();
}

TZuvoSerialParity TZuvoDevice::Parity() const {
  switch (fParity) {
    case 'E': return pEven;
    case 'M': return pMark;
    case 'O': return pOdd;
    case 'S': return pSpace;
    default: return pNone;
  }
}

void TZuvoDevice::SetParity(TZuvoSerialParity V) {
  if (V == Parity()) return;
  switch (V) {
    case pOdd: fParity = 'O'; break;
    case pEven: fParity = 'E'; break;
    case pMark: fParity = 'M'; break;
    case pSpace: fParity = 'S'; break;
    default: fParity = 'N'; break;
  }
  ConfiguraSerial();
}

TZuvoSerialStop TZuvoDevice::Stop() const {
  switch (fStop) {
    case 1: return s1eMeio;
    case 2: return s2;
    default: return s1;
  }
}

void TZuvoDevice::SetStop(TZuvoSerialStop V) {
  if (V == Stop()) return;
  fStop = V == s1eMeio ? 1 : V == s2 ? 2 : 0;
  ConfiguraSerial();
}

void TZuvoDevice::SetHandShake(TZuvoHandShake V) {
  fHandShake = V;
  fHardFlow = V == hsRTS_CTS;
  fSoftFlow = V == hsXON_XOFF;
  ConfiguraSerial();
}

void TZuvoDevice::SetHardFlow(bool V) {
  if (V)
    SetHandShake(hsRTS_CTS);
  else if (fHandShake == hsRTS_CTS)
    SetHandShake(hsNenhum);
}

void TZuvoDevice::SetSoftFlow(bool V) {
  if (V)
    SetHandShake(hsXON_XOFF);
  else if (fHandShake == hsXON_XOFF)
    SetHandShake(hsNenhum);
}

}  // namespace zuvo
