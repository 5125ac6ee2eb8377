// INI files kept in memory: sections of key=value lines, as the settings and
// state files beside the executable are written.
//
// Section and key names compare without regard to case; the file's order of
// sections and keys is kept. Numbers are written in the Brazilian convention
// (decimal ','), dates as dd/mm/yyyy. Nothing reaches the disk until
// UpdateFile, which replaces the file atomically: the file on disk is always
// either the old contents or the new, never a half-written mix.
#pragma once

#include <string>
#include <vector>

#include "core/ZuvoUtil.h"

namespace zuvo {

/// Writes Conteudo to Caminho through a temporary file in the same folder,
/// flushed to disk and renamed over the old one. Raises Exception
/// ("Erro gravando: " + Caminho + CR LF + system message) on failure.
void GravaArquivoSeguro(const std::string& Caminho, const std::string& Conteudo);
/// Removes the temporary files GravaArquivoSeguro leaves beside Caminho
/// when the program is killed in the middle of a write. Never raises.
void RemoveTemporarios(const std::string& Caminho);
/// The whole file, or "" when it does not exist or cannot be read.
std::string LeArquivo(const std::string& Caminho);
/// At most Tamanho bytes from position Inicio; "" past the end or when the
/// file cannot be read.
std::string LeArquivo(const std::string& Caminho, int64_t Inicio, size_t Tamanho);
/// The size of a regular file; 0 when there is none; -1 for anything else
/// (a device, a folder, no permission).
int64_t TamanhoArquivo(const std::string& Caminho);
bool ArquivoExiste(const std::string& Caminho);

class TZuvoIniFile {
 public:
  /// Reads Caminho when it exists; an absent file starts empty.
  explicit TZuvoIniFile(const std::string& Caminho);
  /// An empty file in memory, not tied to a path (UpdateFile then raises).
  TZuvoIniFile();

  const std::string& FileName() const { return fCaminho; }
  /// Replaces the contents with Texto parsed as an INI file.
  void SetTexto(const std::string& Texto);
  /// The contents as they would be written (lines ended by CR LF).
  std::string Texto() const;

  bool SectionExists(const std::string& Secao) const;
  bool ValueExists(const std::string& Secao, const std::string& Chave) const;
  std::string ReadString(const std::string& Secao, const std::string& Chave,
                         const std::string& Padrao) const;
  /// A line break in Valor becomes a blank: the value must stay on its line.
  void WriteString(const std::string& Secao, const std::string& Chave, const std::string& Valor);
  /// Padrao when the key is missing or does not hold an integer.
  int64_t ReadInteger(const std::string& Secao, const std::string& Chave, int64_t Padrao) const;
  void WriteInteger(const std::string& Secao, const std::string& Chave, int64_t Valor);
  /// Accepts ',' or '.' as the decimal separator; Padrao when not a number.
  double ReadFloat(const std::string& Secao, const std::string& Chave, double Padrao) const;
  /// Writes with ',' as the decimal separator, up to 15 significant digits.
  void WriteFloat(const std::string& Secao, const std::string& Chave, double Valor);
  /// "0" is false, any other integer true; Padrao when missing or not a number.
  bool ReadBool(const std::string& Secao, const std::string& Chave, bool Padrao) const;
  /// Writes "1" or "0".
  void WriteBool(const std::string& Secao, const std::string& Chave, bool Valor);
  /// dd/mm/yyyy (time of day dropped); Padrao when missing or not a date.
  TDateTime ReadDate(const std::string& Secao, const std::string& Chave, TDateTime Padrao) const;
  void WriteDate(const std::string& Secao, const std::string& Chave, TDateTime Valor);

  /// The key names of a section, in file order.
  TStrings ReadSection(const std::string& Secao) const;
  /// The lines of a section as "key=value", in file order.
  TStrings ReadSectionValues(const std::string& Secao) const;
  /// The section names, in file order.
  TStrings ReadSections() const;
  /// Adds an empty section at the end when it does not exist yet.
  void AddSection(const std::string& Secao);
  void EraseSection(const std::string& Secao);
  void DeleteKey(const std::string& Secao, const std::string& Chave);

  /// Writes the contents to FileName atomically (GravaArquivoSeguro).
  void UpdateFile() const;

 private:
  struct Entrada {
    std::string Chave;
    std::string Valor;
  };
  struct Secao {
    std::string Nome;
    std::vector<Entrada> Entradas;
  };
  const Secao* Acha(const std::string& Nome) const;
  Secao& AchaOuCria(const std::string& Nome);

  std::string fCaminho;
  std::vector<Secao> fSecoes;
};

}  // namespace zuvo
