#include "core/ZuvoUI.h"

namespace zuvo {

// A wait window with nothing on screen: the modal show runs the procedure at
// once (standing in for the one-shot timer) and every text is recorded.
class HeadlessWaitWindow : public WaitWindow {
 public:
  HeadlessWaitWindow(HeadlessToolkit& Host, WaitWindowOwner& Dono) : fHost(Host), fDono(Dono) {}
  ~HeadlessWaitWindow() override {
    if (fHost.fJanelaAberta == &fDono) fHost.fJanelaAberta = nullptr;
  }
  void showModalAndRun() override {
    fHost.JanelasModais++;
    Mostra();
    fDono.runner();
  }
  void showModeless() override { Mostra(); }
  bool visible() const override { return fVisivel; }
  void showText(const std::string& Texto) override { fHost.TextosJanela.push_back(Texto); }
  void shrink() override { fHost.Encolhimentos++; }
  void close() override {
    if (!fDono.canClose()) return;
    fVisivel = false;
    if (fHost.fJanelaAberta == &fDono) fHost.fJanelaAberta = nullptr;
  }

 private:
  void Mostra() {
    fVisivel = true;
    fHost.fJanelaAberta = &fDono;
  }
  HeadlessToolkit& fHost;
  WaitWindowOwner& fDono;
  bool fVisivel = false;
};

std::unique_ptr<WaitWindow> HeadlessToolkit::createWaitWindow(WaitWindowOwner& Dono,
                                                              const WaitWindowStyle&) {
  JanelasCriadas++;
  return std::make_unique<HeadlessWaitWindow>(*this, Dono);
}

void HeadlessToolkit::Tecla(int Codigo, int Apos) { fTeclas.push_back({Codigo, Apos}); }

void HeadlessToolkit::processEvents() {
  if (fJanelaAberta && !fTeclas.empty()) {
    if (fTeclas.front().Apos > 0) {
      fTeclas.front().Apos--;
    } else {
      int codigo = fTeclas.front().Codigo;
      fTeclas.pop_front();
      fJanelaAberta->keyPressed(codigo);
    }
  }
  if (AoProcessarEventos) {
    try {
      AoProcessarEventos();
    } catch (...) {
      // An event handler's error never crosses the event dispatch.
    }
  }
}

RespostaMensagem HeadlessToolkit::messageBox(const std::string& Texto, TipoMensagem Tipo,
                                             BotoesMensagem Botoes) {
  RespostaMensagem r;
  if (Botoes == BotoesMensagem::OK) {
    r = RespostaMensagem::OK;
  } else if (!fRespostas.empty()) {
    r = fRespostas.front();
    fRespostas.pop_front();
  } else {
    r = Botoes == BotoesMensagem::SimNaoCancela ? RespostaMensagem::Cancela
                                                : RespostaMensagem::Nao;
  }
  Mensagens.push_back({Texto, Tipo, Botoes, r});
  return r;
}

bool HeadlessToolkit::inputBox(const std::string&, const std::string&, std::string& Valor) {
  if (fEntradas.empty()) return false;
  std::string t = fEntradas.front();
  fEntradas.pop_front();
  if (t == "\x1b") return false;
  Valor = t;
  return true;
}

namespace {
HeadlessToolkit gHeadless;
ToolkitServices* gToolkit = &gHeadless;
}  // namespace

ToolkitServices& Toolkit() { return *gToolkit; }
void SetToolkit(ToolkitServices* T) { gToolkit = T ? T : &gHeadless; }
HeadlessToolkit& ToolkitHeadlessPadrao() { return gHeadless; }

}  // namespace zuvo
