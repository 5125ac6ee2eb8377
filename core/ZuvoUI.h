// What the library asks of a window toolkit: the wait window, message boxes,
// an input box and processing pending events.
//
// The state machine of the wait window (run state, stored error, refusal to
// nest, the close query) lives in the driver; a toolkit only does plain
// window duties. The process-wide instance is headless until an application
// sets its own: no windows, no events, questions answered from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zuvo {

/// Colour as 0x00BBGGRR, or one of the system colours below.
using TCor = uint32_t;
inline constexpr TCor clSistema = 0x80000000u;
/// The system highlight colour, resolved by the toolkit.
inline constexpr TCor clHighlight = 0x8000000Du;
/// The system window text colour.
inline constexpr TCor clWindowText = 0x80000008u;
/// The system highlighted-text colour.
inline constexpr TCor clHighlightText = 0x8000000Eu;

/// Font of the wait window. An empty Nome means the toolkit's default font.
struct TZuvoFonte {
  std::string Nome;
  int Tamanho = 8;
  TCor Cor = clHighlightText;
  bool Negrito = false;
  bool Italico = false;
  bool operator==(const TZuvoFonte&) const = default;
};

/// The core's side of a wait window: the toolkit calls back into it.
class WaitWindowOwner {
 public:
  virtual ~WaitWindowOwner() = default;
  /// Runs the procedure; called once, by the one-shot timer of a modal window
  /// or directly for a modeless one. Never throws.
  virtual void runner() = 0;
  /// A key reached the window (code upper-cased by the toolkit for letters).
  /// Returns true when the key is let through, false when it is discarded.
  virtual bool keyPressed(int Codigo) = 0;
  /// The window asks whether it may close.
  virtual bool canClose() = 0;
};

struct WaitWindowStyle {
  TCor Cor = clHighlight;
  TZuvoFonte Fonte;
};

/// A borderless stay-on-top window centred on the main window, created with
/// width and height 0 for the duration of one wait.
class WaitWindow {
 public:
  virtual ~WaitWindow() = default;
  /// Shows the window modally and arms a one-shot 3 ms timer that calls the
  /// owner's runner(); returns when the window is closed.
  virtual void showModalAndRun() = 0;
  /// Shows the window without blocking the others.
  virtual void showModeless() = 0;
  virtual bool visible() const = 0;
  /// Brings the window to the front, measures the text, resizes it when the
  /// size changes by more than 4 pixels (centring it again) and paints it.
  virtual void showText(const std::string& Texto) = 0;
  /// Width and height 0, so the window does not cover a dialog.
  virtual void shrink() = 0;
  /// Closes the window (a modal showModalAndRun then returns).
  virtual void close() = 0;
};

enum class TipoMensagem { Informacao, Aviso, Erro, Confirmacao };
enum class BotoesMensagem { OK, SimNao, SimNaoCancela };
enum class RespostaMensagem { OK, Sim, Nao, Cancela };

class ToolkitServices {
 public:
  virtual ~ToolkitServices() = default;
  virtual std::unique_ptr<WaitWindow> createWaitWindow(WaitWindowOwner& Dono,
                                                       const WaitWindowStyle& Estilo) = 0;
  /// Processes pending window events. Never lets an exception out.
  virtual void processEvents() = 0;
  /// Whether the application shows a main window.
  virtual bool mainWindowShown() = 0;
  virtual void bringAppToFront() = 0;
  /// Information, warning, error or confirmation box. Texto is Windows-1252.
  virtual RespostaMensagem messageBox(const std::string& Texto, TipoMensagem Tipo,
                                      BotoesMensagem Botoes) = 0;
  /// One-line input box; false when cancelled.
  virtual bool inputBox(const std::string& Titulo, const std::string& Pergunta,
                        std::string& Valor) = 0;
};

/// One message shown by the headless toolkit.
struct MensagemRegistrada {
  std::string Texto;
  TipoMensagem Tipo;
  BotoesMensagem Botoes;
  RespostaMensagem Resposta;
};

/// No windows and no events. Questions are answered from a script; with an
/// empty script a question gets the safe answer (No, or Cancel), so nothing
/// is accepted on a user's behalf. Every message and every wait-window text
/// is recorded.
class HeadlessToolkit : public ToolkitServices {
 public:
  std::unique_ptr<WaitWindow> createWaitWindow(WaitWindowOwner& Dono,
                                               const WaitWindowStyle& Estilo) override;
  void processEvents() override;
  bool mainWindowShown() override { return fMainWindowShown; }
  void bringAppToFront() override {}
  RespostaMensagem messageBox(const std::string& Texto, TipoMensagem Tipo,
                              BotoesMensagem Botoes) override;
  bool inputBox(const std::string& Titulo, const std::string& Pergunta,
                std::string& Valor) override;

  /// Pretend a main window is shown, so reads open the wait window.
  void SetMainWindowShown(bool V) { fMainWindowShown = V; }
  /// Queue the answer to the next question.
  void Responde(RespostaMensagem R) { fRespostas.push_back(R); }
  /// Queue the text typed into the next input box (an empty optional-like
  /// convention: a queued "\x1b" cancels).
  void RespondeEntrada(const std::string& Texto) { fEntradas.push_back(Texto); }
  /// Queue a key delivered to the open wait window at the next
  /// processEvents() once Apos further calls have passed.
  void Tecla(int Codigo, int Apos = 0);
  /// Called on every processEvents(), for tests that act during a wait.
  std::function<void()> AoProcessarEventos;

  std::vector<MensagemRegistrada> Mensagens;
  /// Every text painted in a wait window, in order.
  std::vector<std::string> TextosJanela;
  int JanelasCriadas = 0;
  int JanelasModais = 0;
  int Encolhimentos = 0;

 private:
  friend class HeadlessWaitWindow;
  bool fMainWindowShown = false;
  std::deque<RespostaMensagem> fRespostas;
  std::deque<std::string> fEntradas;
  struct TeclaPendente {
    int Codigo;
    int Apos;
  };
  std::deque<TeclaPendente> fTeclas;
  WaitWindowOwner* fJanelaAberta = nullptr;
};

/// The process-wide toolkit: a HeadlessToolkit until SetToolkit is called.
ToolkitServices& Toolkit();
/// Sets the process-wide toolkit (not owned; nullptr restores the headless
/// default).
void SetToolkit(ToolkitServices* T);
/// The built-in headless instance (for tests that script it).
HeadlessToolkit& ToolkitHeadlessPadrao();

}  // namespace zuvo
