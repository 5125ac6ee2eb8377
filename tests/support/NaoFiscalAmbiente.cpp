#include "support/NaoFiscalAmbiente.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

#include "core/ZuvoIni.h"

namespace zuvo::teste {

AmbienteNaoFiscal::AmbienteNaoFiscal(const std::string& Raiz) {
  std::string modelo = Raiz + "/zuvo-naofiscal-XXXXXX";
  if (!::mkdtemp(modelo.data())) throw std::runtime_error("mkdtemp " + modelo);
  fPasta = modelo;
  amb.Plataforma.SetPasta(fPasta + "/");
  ecf.SetModelo(ecfNaoFiscal);
  ecf.SetPorta(ArquivoPapel());
  ecf.SetTimeOut(1);
  ecf.SetIntervaloAposComando(0);
  ecf.SetPausaRelatorio(0);
  ecf.SetReTentar(false);
}

AmbienteNaoFiscal::~AmbienteNaoFiscal() {
  try {
    ecf.Desativar();
  } catch (...) {
  }
  std::error_code erro;
  std::filesystem::remove_all(fPasta, erro);
}

void AmbienteNaoFiscal::Ativa() {
  amb.Toolkit->Responde(RespostaMensagem::Sim);
  ecf.Ativar();
}

std::string AmbienteNaoFiscal::Papel() const { return LeArquivo(ArquivoPapel()); }

TZuvoECFNaoFiscal& AmbienteNaoFiscal::Driver() const {
  return dynamic_cast<TZuvoECFNaoFiscal&>(ecf.ECF());
}

void AmbienteNaoFiscal::Reinicia() {
  const std::string porta = ecf.Porta();
  ecf.Desativar();
  ecf.SetModelo(ecfNenhum);
  ecf.SetModelo(ecfNaoFiscal);
  ecf.SetPorta(porta);
}

}  // namespace zuvo::teste
