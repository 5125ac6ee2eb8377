// The text parsers that do not sit behind a port: the first byte picks one.
//   0: the INI reader (settings and state files): every value read in every
//      form, and the text written back must read back to itself.
//   1: a FiscNET answer and its values; a text escaped for a command must
//      unescape to itself.
//   2: the bank-check layouts file.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "checks/ZuvoCHQModelos.h"
#include "core/ZuvoIni.h"
#include "drivers/ZuvoECFFiscNET.h"
#include "fuzz/CanalAlimentado.h"

using namespace zuvo;

namespace {

void Ini(const std::string& Texto) {
  TZuvoIniFile ini;
  ini.SetTexto(Texto);
  for (const std::string& secao : ini.ReadSections()) {
    ini.ReadSectionValues(secao);
    for (const std::string& chave : ini.ReadSection(secao)) {
      ini.ReadString(secao, chave, "");
      ini.ReadInteger(secao, chave, 0);
      ini.ReadFloat(secao, chave, 0);
      ini.ReadBool(secao, chave, false);
      ini.ReadDate(secao, chave, 0);
    }
  }
  const std::string escrito = ini.Texto();
  TZuvoIniFile relido;
  relido.SetTexto(escrito);
  if (relido.Texto() != escrito) std::abort();
}

void FiscNET(const std::string& Texto) {
  TZuvoECFFiscNETResposta r;
  try {
    r.SetResposta(Texto);
  } catch (const Exception&) {
  }
  for (const std::string& p : r.Params()) r.Valor(p.substr(0, p.find('=')));
  TZuvoECFFiscNETResposta::DesEscapa(Texto);
  if (TZuvoECFFiscNETResposta::DesEscapa(TZuvoECFFiscNETComando::Escapa(Texto)) != Texto)
    std::abort();
}

/// The target's folder, removed when the run ends.
struct Pasta {
  std::string Caminho = fuzz::PastaTemporaria("zuvo-fuzz-chq");
  ~Pasta() { std::filesystem::remove_all(Caminho); }
};

void Cheques(const std::string& Texto) {
  static const Pasta pasta;
  const std::string arquivo = pasta.Caminho + "BemaFi32.ini";
  {
    std::ofstream f(arquivo, std::ios::binary | std::ios::trunc);
    f << Texto;
  }
  TZuvoCHQModelos modelos;
  modelos.SetArquivo(arquivo);
  try {
    modelos.CarregaModelos();
    for (const char* banco : {"341", "1", "000", "999"}) modelos.AchaBanco(banco);
  } catch (const Exception&) {
  }
  for (int i = 0; i < modelos.Count(); ++i) modelos.Objects(i).Parametros();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Dados, size_t Tamanho) {
  if (Tamanho < 1) return 0;
  const std::string texto(reinterpret_cast<const char*>(Dados + 1), Tamanho - 1);
  switch (Dados[0] % 3) {
    case 0: Ini(texto); break;
    case 1: FiscNET(texto); break;
    default: Cheques(texto); break;
  }
  return 0;
}
