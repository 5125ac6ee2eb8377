// TZuvoECFFormMsg: the wait window's state machine.
//
// The toolkit draws the window; this class decides what happens in it, the
// same way on the headless and the Qt paths: it refuses to nest, runs one
// procedure while the window is shown (modally, through the window's one-shot
// timer, or directly), keeps the run state (1 running, 2 finished, 3 stopped
// by the key), stores the message of an error raised inside, and passes
// every text to OnMsgAguarde before painting it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/ZuvoUI.h"
#include "ecf/ZuvoECFConfig.h"

namespace zuvo {

using TZuvoProcedimento = std::function<void()>;

class TZuvoECFFormMsg : public WaitWindowOwner {
 public:
  /// Reads the colours, the font, the modality and OnMsgAguarde from Config.
  explicit TZuvoECFFormMsg(TZuvoECFConfig& Config);
  ~TZuvoECFFormMsg() override;
  TZuvoECFFormMsg(const TZuvoECFFormMsg&) = delete;
  TZuvoECFFormMsg& operator=(const TZuvoECFFormMsg&) = delete;

  /// Runs Procedimento while the window is shown; Tecla (0 = none) is the
  /// key that stops it. An error inside comes out, after the window is gone,
  /// as Exception with the same text. A second call while one runs raises
  /// Exception "Erro. Chamada recurssiva de FormMsgDoProcedure". True.
  bool Executa(TZuvoProcedimento Procedimento, int Tecla);
  /// Passes Mensagem to OnMsgAguarde; paints it (line feeds as blanks) when
  /// the window is visible and ExibeMensagem is set.
  void Exibe(const std::string& Mensagem);

  /// The window while Executa runs, else null.
  WaitWindow* Janela() const { return fJanela.get(); }
  int Tecla() const { return fTecla; }
  void SetTecla(int V) { fTecla = V; }
  /// 1 running, 2 finished, 3 stopped by the key.
  int Estado() const { return fEstado; }
  void SetEstado(int V) { fEstado = V; }
  const std::string& Erro() const { return fErro; }

 private:
  void runner() override;
  bool keyPressed(int Codigo) override;
  bool canClose() override;

  TZuvoECFConfig& fConfig;
  std::unique_ptr<WaitWindow> fJanela;
  TZuvoProcedimento fProcedimento;
  int fTecla = 0;
  int fEstado = 0;
  bool fRodou = false;
  std::string fErro;
};

}  // namespace zuvo
