// TZuvoECFConfig: the settings a point of sale gives the printer driver.
//
// One record, owned by the component TZuvoECF and read by whichever driver
// is installed: changing the model builds a new driver on the same record, so
// nothing is copied field by field and nothing is lost on the way. The
// driver's getters and setters (ReTentar(), SetReTentar(...)) read and write
// this record; setters with checks (DecimaisPreco, TempoInicioMsg) live on the
// driver and the component, which hold the rules.
#pragma once

#include <functional>
#include <string>

#include "core/ZuvoUI.h"

namespace zuvo {

class TZuvoECFClass;

using TZuvoECFMsgAguarde = std::function<void(const std::string& Mensagem)>;
using TZuvoECFMsgRetentar =
    std::function<void(const std::string& Mensagem, const std::string& Situacao, bool& Result)>;
using TZuvoNotifyEvent = std::function<void(TZuvoECFClass* Sender)>;

struct TZuvoECFConfig {
  /// On a time-out or a failed send, ask whether to try again.
  bool ReTentar = true;
  /// The wait window is modal.
  bool BloqueiaMouseTeclado = true;
  /// The wait window paints its messages.
  bool ExibeMensagem = true;
  /// Seconds before the countdown is shown.
  int TempoInicioMsg = 3;
  /// Milliseconds every driver pauses after a completed command.
  int IntervaloAposComando = 100;
  std::string MsgAguarde = "Aguardando a resposta da Impressora: %d segundos";
  std::string MsgRelatorio = "Imprimindo %s  %dª Via ";
  /// Seconds between the copies of a report.
  int PausaRelatorio = 5;
  int LinhasEntreCupons = 7;
  std::string MsgPausaRelatorio = "Destaque a %dª via, <ENTER> proxima, %d seg.";
  /// Minimum seconds between two low-paper notices.
  int MsgPoucoPapel = 30;
  bool DescricaoGrande = false;
  std::string Operador;
  bool ArredondaPorQtd = false;
  int DecimaisPreco = 3;
  int DecimaisQtd = 3;
  /// Font and background of the wait window.
  TZuvoFonte FormMsgFonte;
  TCor FormMsgColor = clHighlight;

  TZuvoECFMsgAguarde OnMsgAguarde;
  TZuvoNotifyEvent OnAguardandoRespostaChange;
  TZuvoNotifyEvent OnMsgPoucoPapel;
  TZuvoECFMsgRetentar OnMsgRetentar;
};

}  // namespace zuvo
