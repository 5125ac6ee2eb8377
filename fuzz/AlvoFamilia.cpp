// A family target: the input's first byte picks the generation (high nibble)
// and the first operation (low nibble); the rest are the printer's answers,
// read through the same command cycle as on a serial port (CanalAlimentado).
//
// Built once per family with ZUVO_FUZZ_MODELO set to its model. The
// non-fiscal emulator never answers: its input is the state file it reads
// at activation and the journal of the document it was printing.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "component/ZuvoECF.h"
#include "core/ZuvoUI.h"
#include "fuzz/CanalAlimentado.h"
#include "fuzz/Operacoes.h"

using namespace zuvo;

namespace {

struct Ambiente {
  fuzz::PlataformaVirtual Plataforma{fuzz::PastaTemporaria("zuvo-fuzz")};
  HeadlessToolkit Toolkit;
  std::vector<const teste::Familia*> Familias = fuzz::FamiliasDoModelo(ZUVO_FUZZ_MODELO);
  Ambiente() {
    SetPlataforma(&Plataforma);
    SetToolkit(&Toolkit);
  }
  ~Ambiente() {
    SetPlataforma(nullptr);
    SetToolkit(nullptr);
    std::filesystem::remove_all(Plataforma.PastaPrograma());
  }
};

void Grava(const std::string& Caminho, const uint8_t* Dados, size_t Tamanho) {
  std::ofstream f(Caminho, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(Dados), static_cast<std::streamsize>(Tamanho));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Dados, size_t Tamanho) {
  static Ambiente ambiente;
  Ambiente* amb = &ambiente;
  if (Tamanho < 1 || amb->Familias.empty()) return 0;
  const teste::Familia& f = *amb->Familias[(Dados[0] >> 4) % amb->Familias.size()];
  const int inicio = Dados[0] & 0x0F;
  amb->Plataforma.Reinicia();
  // Files a driver keeps beside the program start absent, as for the
  // input's first run: an input must replay alone.
  for (const auto& e : std::filesystem::directory_iterator(amb->Plataforma.PastaPrograma()))
    std::filesystem::remove_all(e.path());
  amb->Toolkit = HeadlessToolkit();

  fuzz::CanalAlimentado canal(Dados + 1, Tamanho - 1);
  if (f.Modelo == ecfNaoFiscal) {
    // Pieces: the state file, then the journal; nothing is answered.
    fuzz::CanalAlimentado arquivos(Dados + 1, Tamanho - 1);
    const std::string base = amb->Plataforma.PastaPrograma() + "ZuvoECF001";
    arquivos.Escreve("");
    const std::string ini = arquivos.Recebe(0);
    arquivos.Escreve("");
    const std::string buf = arquivos.Recebe(0);
    Grava(base + ".INI", reinterpret_cast<const uint8_t*>(ini.data()), ini.size());
    Grava(base + ".BUF", reinterpret_cast<const uint8_t*>(buf.data()), buf.size());
    canal = fuzz::CanalAlimentado(nullptr, 0);
  }
  TZuvoECF ecf;
  fuzz::Prepara(ecf, f, amb->Toolkit);
  ecf.Device().SetCanal(&canal);
  ecf.SetPorta("/dev/ttyS0");
  fuzz::Sessao(ecf, f, inicio);
  return 0;
}
