// One non-fiscal emulator for a test: a folder of its own for the state and
// buffer files, the test platform (calendar 07/12/2026 10:00:00), and the
// paper as a text file in that folder.
#pragma once

#include <string>

#include "component/ZuvoECF.h"
#include "drivers/ZuvoECFNaoFiscal.h"
#include "support/PlataformaTeste.h"

namespace zuvo::teste {

class AmbienteNaoFiscal {
 public:
  /// The folder is made under Raiz.
  explicit AmbienteNaoFiscal(const std::string& Raiz = "/tmp");
  ~AmbienteNaoFiscal();
  AmbienteNaoFiscal(const AmbienteNaoFiscal&) = delete;
  AmbienteNaoFiscal& operator=(const AmbienteNaoFiscal&) = delete;

  /// Activates, accepting the legal warning if it is asked.
  void Ativa();
  /// Everything printed to the paper file since the last activation.
  std::string Papel() const;
  const std::string& Pasta() const { return fPasta; }
  /// The state file of machine 001.
  std::string ArquivoINI() const { return fPasta + "/ZuvoECF001.INI"; }
  std::string ArquivoBUF() const { return fPasta + "/ZuvoECF001.BUF"; }
  std::string ArquivoPapel() const { return fPasta + "/papel.txt"; }
  TZuvoECFNaoFiscal& Driver() const;
  /// Points the component at a fresh component state (as a program started
  /// again would): deactivates and replaces the driver.
  void Reinicia();

  AmbienteTeste amb;
  TZuvoECF ecf;

 private:
  std::string fPasta;
};

}  // namespace zuvo::teste
