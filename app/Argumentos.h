// The program's optional arguments: --modelo NAME and --porta PATH fill the
// model and the port of the main window (also written --modelo=NAME).
#pragma once

#include <QStringList>
#include <string>

#include "component/ZuvoECF.h"

namespace zuvo {

struct TArgumentos {
  bool TemModelo = false;
  TZuvoECFModelo Modelo = ecfNenhum;
  /// The port as typed, Windows-1252; empty when not given.
  std::string Porta;
  /// Why the arguments were refused ("" when they were accepted).
  std::string Erro;
};

/// Reads the arguments after the program's name. A model is named as in the
/// model list ("ecfBematech") or without the prefix ("Bematech"), any case.
TArgumentos LeArgumentos(const QStringList& Args);

}  // namespace zuvo
