// Records the seed corpus from the simulators: every registered generation
// runs every session of its family target against its simulator on a
// pseudo-terminal, and what the printer answered becomes the input that
// replays that session. What the driver wrote becomes the simulator target's
// input; FiscNET's answers, the emulator's state file and the built-in check
// layouts seed the text target.
//
//   grava-sementes PASTA   (writes PASTA/familia_<Nome>, simulador, textos)
//
// Each session is also replayed as the family target replays it; the program
// fails when a replay does not write what the driver wrote to the simulator.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "checks/ZuvoCHQModelos.h"
#include "component/ZuvoECF.h"
#include "core/ZuvoUI.h"
#include "fuzz/CanalAlimentado.h"
#include "fuzz/Operacoes.h"
#include "sim/Simulador.h"

using namespace zuvo;
namespace fs = std::filesystem;

namespace {

void Grava(const fs::path& Arquivo, const std::string& Conteudo) {
  fs::create_directories(Arquivo.parent_path());
  std::ofstream f(Arquivo, std::ios::binary | std::ios::trunc);
  f << Conteudo;
}

std::string LeTudo(const std::string& Caminho) {
  std::ifstream f(Caminho, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

/// One session against the simulator: the answers as pieces, and the bytes
/// written.
struct Conversa {
  std::string Pedacos;
  std::string Escrito;
  std::string Respostas;
};

/// The system's clocks with a folder of its own: files a driver keeps beside
/// the program (DataRegis's frame sequence) start absent in every session,
/// as they do for every input of the family target.
class PlataformaPasta : public PlataformaSistema {
 public:
  PlataformaPasta() : fPasta(fuzz::PastaTemporaria("zuvo-sementes")) {}
  ~PlataformaPasta() override { fs::remove_all(fPasta); }
  std::string PastaPrograma() override { return fPasta; }

 private:
  std::string fPasta;
};

Conversa Grava(const teste::Familia& F, int Inicio, HeadlessToolkit& Toolkit) {
  PlataformaPasta plataforma;
  SetPlataforma(&plataforma);
  std::unique_ptr<sim::Simulador> s = sim::CriaSimulador(F.Nome, F.Opcoes);
  Conversa c;
  bool respondendo = false;
  TZuvoECF ecf;
  fuzz::Prepara(ecf, F, Toolkit);
  ecf.SetPorta(s->Porta());
  ecf.Device().Serial().OnDados = [&](char Direcao, const std::string& Bytes) {
    if (Direcao == 'W') {
      c.Escrito += Bytes;
      c.Pedacos += fuzz::CodificaPedaco("", false);
      respondendo = false;
    } else if (!c.Escrito.empty()) {
      // The first read of an answer fills the empty piece its command left.
      if (!respondendo) c.Pedacos.resize(c.Pedacos.size() - 2);
      c.Pedacos += fuzz::CodificaPedaco(Bytes, respondendo);
      c.Respostas += Bytes;
      respondendo = true;
    }
  };
  fuzz::Sessao(ecf, F, Inicio);
  SetPlataforma(nullptr);
  return c;
}

/// Replays a recorded session through CanalAlimentado on a virtual clock,
/// as the family target does: true when the driver wrote the same bytes as
/// against the simulator, i.e. the seed leads the target through the session.
bool Repete(const teste::Familia& F, int Inicio, const Conversa& C, HeadlessToolkit& Toolkit) {
  fuzz::PlataformaVirtual plataforma(fuzz::PastaTemporaria("zuvo-sementes"));
  SetPlataforma(&plataforma);
  Toolkit = HeadlessToolkit();
  fuzz::CanalAlimentado canal(reinterpret_cast<const uint8_t*>(C.Pedacos.data()),
                              C.Pedacos.size());
  {
    TZuvoECF ecf;
    fuzz::Prepara(ecf, F, Toolkit);
    ecf.Device().SetCanal(&canal);
    ecf.SetPorta("/dev/ttyS0");
    fuzz::Sessao(ecf, F, Inicio);
  }
  SetPlataforma(nullptr);
  fs::remove_all(plataforma.PastaPrograma());
  return canal.Escrito() == C.Escrito;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "uso: grava-sementes PASTA\n";
    return 2;
  }
  const fs::path pasta = argv[1];
  HeadlessToolkit toolkit;
  SetToolkit(&toolkit);
  const auto& familias = teste::Familias();
  std::string respostasFiscNET;
  int naoRepetidas = 0;
  for (size_t i = 0; i < familias.size(); ++i) {
    const teste::Familia& f = familias[i];
    const auto geracoes = fuzz::FamiliasDoModelo(f.Modelo);
    size_t geracao = 0;
    while (geracoes[geracao] != &f) ++geracao;
    const fs::path alvo = pasta / ("familia_" + f.Nome);
    if (f.Modelo == ecfNaoFiscal) {
      // The emulator answers nothing: its seeds are the files it keeps.
      const std::string dir = fuzz::PastaTemporaria("zuvo-sementes");
      fuzz::PlataformaVirtual plataforma(dir);
      SetPlataforma(&plataforma);
      for (int inicio = 0; inicio < fuzz::kOperacoes; ++inicio) {
        toolkit = HeadlessToolkit();
        fuzz::CanalAlimentado canal(nullptr, 0);
        TZuvoECF ecf;
        fuzz::Prepara(ecf, f, toolkit);
        ecf.Device().SetCanal(&canal);
        ecf.SetPorta("/dev/ttyS0");
        fuzz::Sessao(ecf, f, inicio);
        const std::string ini = LeTudo(dir + "ZuvoECF001.INI");
        const std::string buf = LeTudo(dir + "ZuvoECF001.BUF");
        Grava(alvo / ("sessao" + std::to_string(inicio)),
              std::string(1, static_cast<char>(geracao << 4 | inicio)) +
                  fuzz::CodificaPedaco(ini, false) + fuzz::CodificaPedaco(buf, false));
        if (inicio == 0) Grava(pasta / "textos" / "ini", std::string(1, '\0') + ini);
      }
      SetPlataforma(nullptr);
      fs::remove_all(dir);
      continue;
    }
    std::string escrito;
    int divergentes = 0;
    for (int inicio = 0; inicio < fuzz::kOperacoes; ++inicio) {
      toolkit = HeadlessToolkit();
      const Conversa c = Grava(f, inicio, toolkit);
      if (!Repete(f, inicio, c, toolkit)) divergentes++, naoRepetidas++;
      Grava(alvo / (f.NomeTeste() + "_sessao" + std::to_string(inicio)),
            std::string(1, static_cast<char>(geracao << 4 | inicio)) + c.Pedacos);
      escrito += c.Escrito;
      if (f.Modelo == ecfFiscNET) respostasFiscNET += c.Respostas;
    }
    Grava(pasta / "simulador" / f.NomeTeste(),
          std::string(1, static_cast<char>(i)) + '\xff' + escrito);
    std::cout << f.NomeTeste() << ": " << escrito.size() << " bytes escritos, "
              << divergentes << " sessoes nao repetidas\n";
  }
  // FiscNET answers one by one ({...} frames) for the value parser.
  int n = 0;
  for (size_t i = respostasFiscNET.find('{'); i != std::string::npos && n < 16;
       i = respostasFiscNET.find('{', i + 1)) {
    const size_t fim = respostasFiscNET.find('}', i);
    if (fim == std::string::npos) break;
    Grava(pasta / "textos" / ("fiscnet" + std::to_string(n++)),
          std::string(1, '\1') + respostasFiscNET.substr(i, fim - i + 1));
  }
  TZuvoCHQModelos modelos;
  modelos.SetArquivo("/nonexistent/BemaFi32.ini");
  try {
    modelos.CarregaModelos();
  } catch (const Exception&) {
    // No file: the built-in set was loaded.
  }
  std::string chq = "[Formato]\r\n";
  for (int i = 0; i < modelos.Count(); ++i) {
    chq += modelos.Objects(i).Banco + "=";
    for (int p : modelos.Objects(i).Parametros()) chq += std::to_string(p) + ",";
    chq.back() = '\r';
    chq += '\n';
  }
  Grava(pasta / "textos" / "cheques", std::string(1, '\2') + chq);
  // A session the target cannot replay would seed it with the wrong answers.
  return naoRepetidas == 0 ? 0 : 1;
}
