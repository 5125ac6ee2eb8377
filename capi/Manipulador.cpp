#include "capi/Manipulador.h"

#include <mutex>
#include <new>

#include "device/ZuvoSerial.h"

namespace zuvo::capi {

namespace {

thread_local zuvoecf* tAtual = nullptr;
thread_local int tTipoErro = ZUVOECF_OK;
thread_local std::string tErro;

// The wait window of a program that draws its own: nothing on screen here.
// The texts reach the program through OnMsgAguarde; the window only marks
// the wait as open, so that a key the program answered can reach it.
class JanelaC : public WaitWindow {
 public:
  JanelaC(zuvoecf* H, WaitWindowOwner& Dono) : fH(H), fDono(Dono) {}
  ~JanelaC() override { Fecha(); }
  void showModalAndRun() override {
    Abre();
    fDono.runner();
  }
  void showModeless() override { Abre(); }
  bool visible() const override { return fVisivel; }
  void showText(const std::string&) override {}
  void shrink() override {}
  void close() override {
    if (fDono.canClose()) Fecha();
  }

 private:
  void Abre() {
    fVisivel = true;
    if (fH) fH->Janela = &fDono;
  }
  void Fecha() {
    fVisivel = false;
    if (fH && fH->Janela == &fDono) fH->Janela = nullptr;
  }
  zuvoecf* fH;
  WaitWindowOwner& fDono;
  bool fVisivel = false;
};

// Keeps no state of its own: everything goes to the current handle of the
// calling thread, so handles on different threads never share anything here.
class ToolkitC : public ToolkitServices {
 public:
  std::unique_ptr<WaitWindow> createWaitWindow(WaitWindowOwner& Dono,
                                               const WaitWindowStyle&) override {
    return std::make_unique<JanelaC>(tAtual, Dono);
  }
  void processEvents() override {
    zuvoecf* h = tAtual;
    if (h && h->Janela && h->TeclaPendente) {
      const int tecla = h->TeclaPendente;
      h->TeclaPendente = 0;
      h->Janela->keyPressed(tecla);
    }
  }
  // Reads show their countdown only to a program that listens for it.
  bool mainWindowShown() override { return tAtual && tAtual->Aguarde; }
  void bringAppToFront() override {}
  RespostaMensagem messageBox(const std::string& Texto, TipoMensagem Tipo,
                              BotoesMensagem Botoes) override {
    zuvoecf* h = tAtual;
    RespostaMensagem padrao = Botoes == BotoesMensagem::OK       ? RespostaMensagem::OK
                              : Botoes == BotoesMensagem::SimNao ? RespostaMensagem::Nao
                                                                 : RespostaMensagem::Cancela;
    if (!h || !h->Mensagem) return padrao;
    const int r = h->Mensagem(h->MensagemUsuario, Cp1252ParaUtf8(Texto).c_str(),
                              static_cast<int>(Tipo), static_cast<int>(Botoes));
    switch (r) {
      case ZUVOECF_RESP_OK: return RespostaMensagem::OK;
      case ZUVOECF_RESP_SIM: return RespostaMensagem::Sim;
      case ZUVOECF_RESP_NAO: return RespostaMensagem::Nao;
      case ZUVOECF_RESP_CANCELA: return RespostaMensagem::Cancela;
      default: return padrao;
    }
  }
  bool inputBox(const std::string&, const std::string&, std::string&) override { return false; }
};

}  // namespace

zuvoecf* HandleAtual() { return tAtual; }

HandleCorrente::HandleCorrente(zuvoecf* H) : fAntes(tAtual) { tAtual = H; }
HandleCorrente::~HandleCorrente() { tAtual = fAntes; }

void InstalaToolkitC() {
  static ToolkitC toolkit;
  static std::once_flag feito;
  std::call_once(feito, [] { SetToolkit(&toolkit); });
}

int ErroSemHandle(int Tipo, const std::string& Mensagem) {
  tTipoErro = Tipo;
  try {
    tErro = Cp1252ParaUtf8(Mensagem);
  } catch (...) {
    tErro.clear();
  }
  return Tipo;
}

int RegistraErro(zuvoecf* H) {
  int tipo;
  std::string texto;  // Windows-1252
  try {
    throw;
  } catch (const EZuvoECFCMDInvalido& e) {
    tipo = ZUVOECF_ERRO_COMANDO, texto = e.what();
  } catch (const EZuvoECFSemResposta& e) {
    tipo = ZUVOECF_ERRO_SEM_RESPOSTA, texto = e.what();
  } catch (const EZuvoECFNaoInicializado& e) {
    tipo = ZUVOECF_ERRO_NAO_ATIVO, texto = e.what();
  } catch (const ErroArgumento& e) {
    tipo = ZUVOECF_ERRO_ARGUMENTO, texto = e.what();
  } catch (const ESerialError& e) {
    tipo = ZUVOECF_ERRO_SERIAL, texto = e.what();
  } catch (const Exception& e) {
    tipo = ZUVOECF_ERRO_GERAL, texto = e.what();
  } catch (const std::bad_alloc&) {
    tipo = ZUVOECF_ERRO_INTERNO, texto = "Memória insuficiente";
  } catch (const std::exception& e) {
    tipo = ZUVOECF_ERRO_INTERNO, texto = std::string("Erro interno: ") + e.what();
  } catch (...) {
    tipo = ZUVOECF_ERRO_INTERNO, texto = "Erro interno desconhecido";
  }
  try {
    H->Erro = Cp1252ParaUtf8(texto);
  } catch (...) {
    H->Erro.clear();  // out of memory: the status still tells the kind
  }
  H->TipoErro = tipo;
  return tipo;
}

const char* Saida(zuvoecf* H, int I, const std::string& Cp1252) {
  std::string& s = H->Saidas[static_cast<size_t>(I)];
  s = Cp1252ParaUtf8(Cp1252);
  return s.c_str();
}

}  // namespace zuvo::capi

using namespace zuvo;
using namespace zuvo::capi;

int zuvoecf_new(zuvoecf_t** ecf) {
  if (!ecf) return ErroSemHandle(ZUVOECF_ERRO_ARGUMENTO, "Parâmetro nulo: ecf");
  *ecf = nullptr;
  try {
    InstalaToolkitC();
    *ecf = new zuvoecf();
  } catch (const std::exception& e) {
    return ErroSemHandle(ZUVOECF_ERRO_INTERNO, std::string("Erro interno: ") + e.what());
  } catch (...) {
    return ErroSemHandle(ZUVOECF_ERRO_INTERNO, "Erro interno desconhecido");
  }
  return ZUVOECF_OK;
}

void zuvoecf_free(zuvoecf_t* ecf) {
  if (!ecf) return;
  {
    // Closing the port may still reach the handle's callbacks.
    HandleCorrente atual(ecf);
    try {
      ecf->ECF.Desativar();
    } catch (...) {
      // The port is closed either way; there is nobody left to tell.
    }
  }
  delete ecf;
}

const char* zuvoecf_erro(const zuvoecf_t* ecf) { return ecf ? ecf->Erro.c_str() : tErro.c_str(); }

int zuvoecf_erro_tipo(const zuvoecf_t* ecf) { return ecf ? ecf->TipoErro : tTipoErro; }

const char* zuvoecf_status_nome(int status) {
  switch (status) {
    case ZUVOECF_OK: return "ZUVOECF_OK";
    case ZUVOECF_ERRO_COMANDO: return "ZUVOECF_ERRO_COMANDO";
    case ZUVOECF_ERRO_SEM_RESPOSTA: return "ZUVOECF_ERRO_SEM_RESPOSTA";
    case ZUVOECF_ERRO_NAO_ATIVO: return "ZUVOECF_ERRO_NAO_ATIVO";
    case ZUVOECF_ERRO_ARGUMENTO: return "ZUVOECF_ERRO_ARGUMENTO";
    case ZUVOECF_ERRO_SERIAL: return "ZUVOECF_ERRO_SERIAL";
    case ZUVOECF_ERRO_GERAL: return "ZUVOECF_ERRO_GERAL";
    case ZUVOECF_ERRO_INTERNO: return "ZUVOECF_ERRO_INTERNO";
    default: return "ZUVOECF_STATUS_DESCONHECIDO";
  }
}

const char* zuvoecf_versao(void) {
  static const std::string versao = TZuvoComponent::Sobre();
  return versao.c_str();
}
