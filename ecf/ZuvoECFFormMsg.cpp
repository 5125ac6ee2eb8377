#include "ecf/ZuvoECFFormMsg.h"

#include <cctype>

#include "core/ZuvoUtil.h"

namespace zuvo {

TZuvoECFFormMsg::TZuvoECFFormMsg(TZuvoECFConfig& Config) : fConfig(Config) {}

TZuvoECFFormMsg::~TZuvoECFFormMsg() { fJanela.reset(); }

bool TZuvoECFFormMsg::Executa(TZuvoProcedimento Procedimento, int Tecla) {
  if (fJanela) throw Exception("Erro. Chamada recurssiva de FormMsgDoProcedure");

  WaitWindowStyle estilo;
  estilo.Cor = fConfig.FormMsgColor;
  estilo.Fonte = fConfig.FormMsgFonte;
  fJanela = Toolkit().createWaitWindow(*this, estilo);
  fProcedimento = std::move(Procedimento);
  fTecla = Tecla;
  fEstado = 1;
  fRodou = false;
  fErro.clear();

  try {
    if (fConfig.BloqueiaMouseTeclado)
      fJanela->showModalAndRun();
    else
      fJanela->showModeless();
  } catch (const std::exception& e) {
    if (fErro.empty()) fErro = e.what();
  }
  // A window closed before its timer fired must not skip the procedure and
  // report success.
  if (!fRodou) runner();

  fJanela.reset();
  fProcedimento = nullptr;
  if (!fErro.empty()) throw Exception(fErro);
  return true;
}

void TZuvoECFFormMsg::runner() {
  if (fRodou) return;
  fRodou = true;
  try {
    if (fProcedimento) fProcedimento();
  } catch (const std::exception& e) {
    fErro = *e.what() ? e.what() : "Erro desconhecido";
  } catch (...) {
    fErro = "Erro desconhecido";
  }
  try {
    if (fConfig.OnMsgAguarde) fConfig.OnMsgAguarde("");
  } catch (const std::exception& e) {
    if (fErro.empty()) fErro = e.what();
  }
  fEstado = fEstado == 1 ? 2 : 3;
  if (fJanela) fJanela->close();
  Toolkit().bringAppToFront();
}

bool TZuvoECFFormMsg::keyPressed(int Codigo) {
  int tecla = std::toupper(Codigo & 0xFF) | (Codigo & ~0xFF);
  if (fTecla != 0 && tecla == fTecla && fEstado != 3) {
    fEstado = 3;
    return true;
  }
  return false;
}

bool TZuvoECFFormMsg::canClose() { return fEstado != 1; }

void TZuvoECFFormMsg::Exibe(const std::string& Mensagem) {
  if (fConfig.OnMsgAguarde) fConfig.OnMsgAguarde(Mensagem);
  if (fJanela && fJanela->visible() && fConfig.ExibeMensagem) {
    fJanela->showText(StringReplace(Mensagem, std::string(1, LF), " "));
    Toolkit().processEvents();
  }
}

}  // namespace zuvo
