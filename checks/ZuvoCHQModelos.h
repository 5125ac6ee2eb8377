// Bank-check layouts for printers that print checks (Bematech).
//
// For each bank, identified by its three-digit code, thirteen small numbers
// go to the printer, one byte each, with the check command: they place the
// amount, the payee, the city and the date on that bank's check.
//
// The table is read from "BemaFi32.ini" beside the program, section
// "Formato", one line per bank:
//   341=54,08,01,05,18,50,54,72,02,06,09,12,15
// ("|" may stand in for ","; anything after a blank following the 13th
// number is a comment). Without the file, a built-in set of 90 banks is used.
// A bank without a line gets the layout of bank "000".
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace zuvo {

/// One bank's layout. ParametroNN is the NN-th number of the bank's line.
struct TZuvoCHQModelo {
  int Parametro10 = 0;
  int Parametro11 = 0;
  int Parametro13 = 0;
  int Parametro09 = 0;
  int Parametro12 = 0;
  int Parametro02 = 0;
  int Parametro03 = 0;
  int Parametro05 = 0;
  int Parametro07 = 0;
  int Parametro01 = 0;
  int Parametro06 = 0;
  int Parametro04 = 0;
  int Parametro08 = 0;
  std::string Banco;  ///< three digits, "001"

  /// The thirteen numbers in the order they stand in the bank's line.
  std::array<int, 13> Parametros() const;
  /// Sets the thirteen numbers from the order of the bank's line.
  void SetParametros(const std::array<int, 13>& P);
};

/// The owning list of layouts.
class TZuvoCHQModelos {
 public:
  TZuvoCHQModelos() = default;
  TZuvoCHQModelos(const TZuvoCHQModelos&) = delete;
  TZuvoCHQModelos& operator=(const TZuvoCHQModelos&) = delete;

  /// (Re)loads the list from the settings file, or from the built-in set
  /// when the file does not exist. Lines that are not 13 integers are
  /// skipped. Raises Exception "Erro lendo arquivo: " + file + ... when a
  /// configured file is missing (the default file is used instead) or when
  /// an existing file yields no layout (the list then stays empty).
  void CarregaModelos();
  /// The layout of a bank code ("1" and "001" are the same bank), loading
  /// the list first when it is empty; a bank without a layout gets "000";
  /// null when neither exists. A code that is not an integer raises the
  /// integer conversion error.
  TZuvoCHQModelo* AchaBanco(const std::string& Banco);

  TZuvoCHQModelo& Add(std::unique_ptr<TZuvoCHQModelo> Modelo);
  int Count() const { return static_cast<int>(fModelos.size()); }
  /// Raises Exception for an index out of range.
  TZuvoCHQModelo& Objects(int Index) const;
  void Clear() { fModelos.clear(); }

  /// The settings file; empty means "BemaFi32.ini" in the program's folder.
  const std::string& Arquivo() const { return fArquivo; }
  void SetArquivo(const std::string& V) { fArquivo = V; }
  /// Full path of the default settings file.
  static std::string ArquivoPadrao();

 private:
  /// Reads section "Formato" of an in-memory copy of Arquivo (the built-in
  /// set when the file does not exist); returns the number of layouts kept.
  int LeArquivo(const std::string& Arquivo);

  std::vector<std::unique_ptr<TZuvoCHQModelo>> fModelos;
  std::string fArquivo;
};

}  // namespace zuvo
