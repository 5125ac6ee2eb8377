#include "ecf/ZuvoECFClass.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

// The marker DoLeResposta leaves in RespostaComando when time ran out.
const std::string kZuvoErro = "ZuvoErro";

// Restores a property through its setter when the scope ends, also on an
// exception.
template <class Obter, class Definir>
class RestauraPropriedade {
 public:
  RestauraPropriedade(Obter obter, Definir definir) : fDefinir(definir), fValor(obter()) {}
  ~RestauraPropriedade() {
    try {
      fDefinir(fValor);
    } catch (...) {
    }
  }
  RestauraPropriedade(const RestauraPropriedade&) = delete;
  RestauraPropriedade& operator=(const RestauraPropriedade&) = delete;

 private:
  Definir fDefinir;
  decltype(std::declval<Obter>()()) fValor;
};

}  // namespace

std::string EstadoStr(TZuvoECFEstado E) {
  switch (E) {
    case estNaoInicializada: return "estNaoInicializada";
    case estDesconhecido: return "estDesconhecido";
    case estLivre: return "estLivre";
    case estVenda: return "estVenda";
    case estPagamento: return "estPagamento";
    case estRelatorio: return "estRelatorio";
    case estBloqueada: return "estBloqueada";
    case estRequerZ: return "estRequerZ";
    case estRequerX: return "estRequerX";
  }
  return "estDesconhecido";
}

std::string CampoNumerico(double Valor, int Decimais, int Tamanho, const std::string& Campo) {
  double escalado = RoundTo(Valor * std::pow(10.0, Decimais), 0);
  if (!std::isfinite(escalado) || escalado < 0 || escalado >= std::pow(10.0, Tamanho) ||
      escalado > 9.0e15)
    throw EZuvoECFCMDInvalido("Valor de " + Campo + " (" + FloatToStr(Valor) +
                              ") não cabe no campo de " + IntToStr(Tamanho) + " dígitos");
  return InteiroZeros(static_cast<int64_t>(escalado), Tamanho);
}

std::string CampoInteiro(int64_t Valor, int Tamanho, const std::string& Campo) {
  std::string texto = IntToStr(Valor);
  if (Valor < 0 || static_cast<int>(texto.size()) > Tamanho)
    throw EZuvoECFCMDInvalido("Valor de " + Campo + " (" + texto + ") não cabe no campo de " +
                              IntToStr(Tamanho) + " dígitos");
  return InteiroZeros(Valor, Tamanho);
}

std::string TextoDecimal(double Valor, int Tamanho, int MaxDecimais, const std::string& Campo) {
  auto recusa = [&] {
    return EZuvoECFCMDInvalido("Valor de " + Campo + " (" + FloatToStr(Valor) +
                               ") não cabe no campo de " + IntToStr(Tamanho) + " dígitos");
  };
  if (!std::isfinite(Valor) || Valor < 0 || Valor >= 1e15) throw recusa();
  // Always fixed notation ("0,00001", never "1E-5"); decimals are dropped
  // until it fits, the whole part is never cut.
  for (int decimais = MaxDecimais; decimais >= 0; decimais--) {
    char buf[64];
    const auto fim = std::to_chars(buf, buf + sizeof buf, Valor, std::chars_format::fixed, decimais);
    std::string texto(buf, fim.ptr);
    if (texto.find('.') != std::string::npos) {
      while (texto.back() == '0') texto.pop_back();
      if (texto.back() == '.') texto.pop_back();
    }
    if (static_cast<int>(texto.size()) > Tamanho) continue;
    // A quantity or amount that rounds away to nothing is not what was asked.
    if (Valor > 0 && texto.find_first_not_of("0.") == std::string::npos) break;
    return StringReplace(texto, ".", ",");
  }
  throw recusa();
}

std::string TextoImprimivel(const std::string& Texto, bool Linhas, const std::string& Proibidos) {
  std::string r;
  r.reserve(Texto.size());
  for (size_t i = 0; i < Texto.size(); i++) {
    const unsigned char c = static_cast<unsigned char>(Texto[i]);
    if (Linhas && c == '\r') {
      if (i + 1 < Texto.size() && Texto[i + 1] == '\n') continue;
      r += '\n';
    } else if (Linhas && c == '\n') {
      r += '\n';
    } else {
      const bool proibido = Proibidos.find(static_cast<char>(c)) != std::string::npos;
      r += (c < 32 || c == 127 || proibido) ? ' ' : static_cast<char>(c);
    }
  }
  return r;
}

std::string CampoDecimalTexto(double Valor, int Tamanho, const std::string& Campo) {
  return CompletaEsquerda(TextoDecimal(Valor, Tamanho, std::max(Tamanho - 2, 0), Campo), Tamanho, '0');
}

// ---------------------------------------------------------------------------

TZuvoECFClass::TZuvoECFClass(TZuvoDevice& Device, TZuvoECFConfig& Config)
    : OnMsgAguarde(Config.OnMsgAguarde),
      OnAguardandoRespostaChange(Config.OnAguardandoRespostaChange),
      OnMsgPoucoPapel(Config.OnMsgPoucoPapel),
      OnMsgRetentar(Config.OnMsgRetentar),
      fDevice(&Device),
      fConfig(Config),
      fFormMsg(Config) {
  fDevice->ValoresPadrao();
  fNomeModelo = "Não Definido";
}

TZuvoECFClass::~TZuvoECFClass() {
  try {
    // Only the base behaviour: a derived driver is already gone here.
    TZuvoECFClass::Desativar();
  } catch (...) {
  }
}

// ----- Identity and state -----

std::string TZuvoECFClass::ModeloStr() { return fMFD ? fNomeModelo + " MFD" : fNomeModelo; }
TDateTime TZuvoECFClass::DataHora() { return Agora(); }
std::string TZuvoECFClass::NumCupom() { return ""; }
std::string TZuvoECFClass::NumECF() { return "001"; }
std::string TZuvoECFClass::NumCRO() { return "001"; }
std::string TZuvoECFClass::NumLoja() { return "001"; }
std::string TZuvoECFClass::NumSerie() { return "ecfNennhum"; }
std::string TZuvoECFClass::NumVersao() { return ""; }
double TZuvoECFClass::SubTotal() { return 0; }
double TZuvoECFClass::TotalPago() { return 0; }
TZuvoECFEstado TZuvoECFClass::Estado() { return fEstado; }
bool TZuvoECFClass::GavetaAberta() { return false; }
bool TZuvoECFClass::PoucoPapel() { return false; }
bool TZuvoECFClass::HorarioVerao() { return false; }
bool TZuvoECFClass::Arredonda() { return false; }
bool TZuvoECFClass::ChequePronto() { return true; }

// ----- The command cycle -----

namespace {
// The write deadline of a command frame and of the exchanges around it.
constexpr int kPrazoEscritaMs = 2000;
// The end-of-printing poll asks the printer at most this often.
constexpr int kIntervaloImpressaoMs = 200;
}  // namespace

void TZuvoECFClass::SetAguardandoResposta(bool Valor) {
  if (Valor == fAguardandoResposta) return;
  fAguardandoResposta = Valor;
  if (OnAguardandoRespostaChange) OnAguardandoRespostaChange(this);
}

std::string TZuvoECFClass::EnviaComando(const std::string& Cmd) { return CicloComando(Cmd); }

std::string TZuvoECFClass::CicloComando(const std::string& Cmd) {
  // The per-command settings go back to their defaults on every path, also
  // when the command never reached the port.
  AoSair padroes([this] {
    fAguardaImpressao = false;
    fTimeOutComando = 0;
    try {
      ReiniciaComando();
    } catch (...) {
    }
  });
  const std::string quadro = MontaQuadro(Cmd);
  GuardaComando guarda(*this);
  if (fForaDePasso) Ressincroniza();
  // Until the complete answer is read, a late one may still come.
  fForaDePasso = true;
  do {
    EnviaQuadro(quadro);
  } while (!ConfirmaRecebimento());
  LeResposta();
  fForaDePasso = false;
  const TRespostaECF resposta = DecodificaResposta(fRespostaComando);
  if (resposta.PoucoPapel) DoMsgPoucoPapel();
  if (!resposta.Erro.empty()) ErroImpressora(resposta.Erro, resposta.Quebra);
  AposComando();
  return resposta.Dados;
}

std::string TZuvoECFClass::MontaQuadro(const std::string&) { DoNaoImplementado("EnviaComando"); }

void TZuvoECFClass::AposTransmitir() {}

bool TZuvoECFClass::ConfirmaRecebimento() { return true; }

TRespostaECF TZuvoECFClass::DecodificaResposta(const std::string& Resposta) {
  TRespostaECF r;
  r.Dados = Resposta;
  return r;
}

void TZuvoECFClass::ReiniciaComando() {}

bool TZuvoECFClass::RespostaAlheia(const std::string&) { return false; }

int TZuvoECFClass::SilencioRessincroniaMs() { return TimeOut() * 1000 + 1000; }

void TZuvoECFClass::Ressincroniza() {
  const int silencio = SilencioRessincroniaMs();
  fForaDePasso = false;
  if (silencio <= 0) return;
  try {
    const TPrazo limite(int64_t{silencio} * 3);
    TPrazo ultimo(0);  // quiet since now
    while (ultimo.Passou() < silencio && !limite.Venceu())
      if (!fDevice->Recebe(limite.RestanteAte(100)).empty()) ultimo.Renova(0);
  } catch (const Exception& e) {
    PortaFalhou(e);
  }
}

void TZuvoECFClass::PortaFalhou(const Exception& Erro) {
  throw EZuvoECFSemResposta("Impressora " + ModeloStr() + " não está respondendo: porta " +
                            fDevice->Porta() + " fechada ou desconectada (" + Erro.what() + ")");
}

int TZuvoECFClass::TimeOutLeitura() const { return std::max(TimeOut(), fTimeOutComando); }

void TZuvoECFClass::LeResposta() {
  const bool usaFormMsg = (fConfig.ExibeMensagem || fConfig.BloqueiaMouseTeclado) &&
                          (TimeOutLeitura() - fConfig.TempoInicioMsg > 1) && fPermiteFormMsg &&
                          Toolkit().mainWindowShown();
  if (usaFormMsg)
    FormMsgDoProcedure([this] { DoLeResposta(); }, 0);
  else
    DoLeResposta();

  if (fRespostaComando == kZuvoErro) {
    fRespostaComando.clear();
    throw EZuvoECFSemResposta("Impressora " + ModeloStr() + " não está respondendo");
  }
}

void TZuvoECFClass::DoLeResposta() {
  AoSair fim([this] {
    fAguardaImpressao = false;
    if (OnMsgAguarde) OnMsgAguarde("");
  });

  fRespostaComando.clear();
  fUltimoDado.Renova(0);
  const bool mostraContagem = fFormMsg.Janela() && fPermiteFormMsg;
  TPrazo limite(int64_t{TimeOutLeitura()} * 1000);
  const TPrazo inicioMsg(int64_t{fConfig.TempoInicioMsg} * 1000);
  bool terminou = true;
  do {
    if (mostraContagem && inicioMsg.Venceu())
      FormMsgExibe(FormataOuTexto(fConfig.MsgAguarde, {limite.Restante() / 1000}));
    if (limite.Venceu()) {
      if (fConfig.ReTentar) {
        if (mostraContagem && fFormMsg.Janela()) fFormMsg.Janela()->shrink();
        if (PerguntaRetentar("A impressora " + ModeloStr() + " não está repondendo.",
                             "LerResposta"))
          limite.Renova(int64_t{TimeOutLeitura()} * 1000);
      }
      if (limite.Venceu()) {
        fRespostaComando = kZuvoErro;
        break;
      }
    }

    terminou = true;
    const bool completa = VerificaFimLeitura(fRespostaComando);
    if (completa && RespostaAlheia(fRespostaComando)) {
      // A late answer to an earlier command: not this command's.
      fRespostaComando.clear();
      terminou = false;
    } else if (completa) {
      if (fAguardaImpressao) {
        // The first question goes at once; the next ones no sooner than the
        // interval after the previous one began.
        const TPrazo proxima(kIntervaloImpressaoMs);
        terminou = VerificaFimImpressao();
        if (!terminou) Dorme(proxima.RestanteAte(kIntervaloImpressaoMs));
      }
    } else {
      terminou = false;
      std::string lido;
      try {
        lido = fDevice->Recebe(100);
      } catch (const Exception& e) {
        PortaFalhou(e);
      }
      if (lido.empty()) {
        Dorme(10);  // nothing within the read's time: look again
      } else {
        fRespostaComando += lido;
        fUltimoDado.Renova(0);
      }
    }
    Toolkit().processEvents();
  } while (!terminou);
}

bool TZuvoECFClass::TransmitirComando(const std::string& Cmd) {
  try {
    fDevice->Escreve(Cmd, kPrazoEscritaMs);
    return true;
  } catch (const Exception&) {
    if (PerguntaRetentar("Comandos não estão sendo enviados para Impressora " + ModeloStr(),
                         "TransmitirComando"))
      return false;
    throw EZuvoECFSemResposta("Erro ao enviar comandos para a Impressora " + ModeloStr());
  }
}

bool TZuvoECFClass::VerificaFimLeitura(const std::string&) {
  throw Exception("Erro Function VerificaFimLeitura não implementada em " + ModeloStr());
}

bool TZuvoECFClass::VerificaFimImpressao() { return EmLinha(1); }

void TZuvoECFClass::VerificaEmLinha(int TimeOut) {
  while (true) {
    if (EmLinha(TimeOut)) return;
    if (!fConfig.ReTentar) break;
    if (!PerguntaRetentar("A impressora " + ModeloStr() + " não está pronta.", "VerEmLinha"))
      break;
  }
  throw EZuvoECFSemResposta("Impressora " + ModeloStr() + " não está em linha");
}

bool TZuvoECFClass::PerguntaRetentar(const std::string& Mensagem, const std::string& Situacao) {
  if (OnMsgRetentar) {
    bool resultado = false;
    OnMsgRetentar(Mensagem, Situacao, resultado);
    return resultado;
  }
  if (!fConfig.ReTentar) return false;
  return Toolkit().messageBox(Mensagem + CRLF + CRLF + "Deseja tentar novamente ?",
                              TipoMensagem::Confirmacao,
                              BotoesMensagem::SimNao) == RespostaMensagem::Sim;
}

std::string TZuvoECFClass::EnviaComando(const std::string& Cmd, int lTimeOut) {
  // The quiet wait belongs to the command that lost its answer, not to the
  // longer time-out of this one.
  if (fForaDePasso) Ressincroniza();
  RestauraPropriedade tempo([this] { return TimeOut(); }, [this](int v) { SetTimeOut(v); });
  SetTimeOut(std::max(lTimeOut, TimeOut()));
  return EnviaComando(Cmd);
}

std::string TZuvoECFClass::EnviaComando(const std::string& Cmd, int lTimeOut,
                                        int lTempoInicioMsg) {
  if (fForaDePasso) Ressincroniza();
  RestauraPropriedade tempo([this] { return TimeOut(); }, [this](int v) { SetTimeOut(v); });
  Restaura inicio(fConfig.TempoInicioMsg);
  SetTimeOut(std::max(lTimeOut, TimeOut()));
  fConfig.TempoInicioMsg = std::max(lTempoInicioMsg, fConfig.TempoInicioMsg);
  return EnviaComando(Cmd);
}

TZuvoECFClass::GuardaComando::GuardaComando(TZuvoECFClass& Driver) : fDriver(Driver) {
  fDriver.fComandoEnviado.clear();
  fDriver.fRespostaComando.clear();
  fDriver.SetAguardandoResposta(true);
  if (!fDriver.fDevice->Ativo()) {
    fDriver.SetAguardandoResposta(false);
    throw EZuvoECFNaoInicializado("Componente ZuvoECF não está Ativo");
  }
}

TZuvoECFClass::GuardaComando::~GuardaComando() {
  try {
    fDriver.SetAguardandoResposta(false);
  } catch (...) {
  }
}

TZuvoECFClass::Sondagem::Sondagem(TZuvoECFClass& Driver)
    : fDriver(Driver),
      fExibe(Driver.fConfig.ExibeMensagem),
      fReTentar(Driver.fConfig.ReTentar),
      fRetentar(std::move(Driver.OnMsgRetentar)) {
  fDriver.fConfig.ExibeMensagem = false;
  fDriver.fConfig.ReTentar = false;
  fDriver.OnMsgRetentar = nullptr;
}

TZuvoECFClass::Sondagem::~Sondagem() {
  fDriver.fConfig.ExibeMensagem = fExibe;
  fDriver.fConfig.ReTentar = fReTentar;
  fDriver.OnMsgRetentar = std::move(fRetentar);
}

void TZuvoECFClass::EnviaQuadro(const std::string& Quadro) {
  try {
    VerificaEmLinha(3);
    fDevice->Esvazia();
  } catch (const EZuvoECFSemResposta&) {
    throw;
  } catch (const Exception& e) {
    PortaFalhou(e);
  }
  fComandoEnviado = Quadro;
  while (!TransmitirComando(Quadro)) {
  }
  AposTransmitir();
}

void TZuvoECFClass::AposComando() { Dorme(fConfig.IntervaloAposComando); }

// ----- Primitives around a command -----

bool TZuvoECFClass::ConsultaDuranteImpressao(
    const std::string& Quadro, const std::function<bool(const std::string&)>& Completa,
    std::string& Resposta, int PrazoMs) {
  Resposta.clear();
  if (!EmLinha(1)) {
    Dorme(100);  // off line: a short rest before the loop asks again
    return false;
  }
  try {
    fDevice->Esvazia();
    fDevice->Escreve(Quadro, kPrazoEscritaMs);
    AposTransmitir();
  } catch (const Exception&) {
    return false;
  }
  const TPrazo prazo(PrazoMs);
  while (!Completa(Resposta) && !prazo.Venceu()) Resposta += fDevice->Recebe(prazo.RestanteAte(100));
  return Completa(Resposta);
}

int TZuvoECFClass::LeByte(int PrazoMs) {
  const TPrazo prazo(PrazoMs);
  do {
    int b = -1;
    try {
      b = fDevice->RecebeByte(prazo.RestanteAte(1500));
    } catch (const Exception& e) {
      PortaFalhou(e);
    }
    if (b >= 0) return b;
  } while (!prazo.Venceu());
  return -1;
}

std::string TZuvoECFClass::LeAte(const std::function<bool(const std::string&)>& Fim,
                                 int PrazoMs, int SilencioMs) {
  std::string lido;
  const TPrazo prazo(PrazoMs);
  TPrazo ultimo(0);
  const int leitura = SilencioMs > 0 ? std::min(100, SilencioMs) : 100;
  while (!(Fim && Fim(lido)) && !prazo.Venceu()) {
    if (SilencioMs > 0 && !lido.empty() && ultimo.Passou() >= SilencioMs) break;
    std::string parte;
    try {
      parte = fDevice->Recebe(prazo.RestanteAte(leitura));
    } catch (const Exception& e) {
      PortaFalhou(e);
    }
    if (!parte.empty()) {
      lido += parte;
      ultimo.Renova(0);
    }
  }
  return lido;
}

bool TZuvoECFClass::EnviaDireto(const std::string& Bytes) {
  try {
    fDevice->Escreve(Bytes, kPrazoEscritaMs);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void TZuvoECFClass::EsvaziaPorta() { fDevice->Esvazia(); }
void TZuvoECFClass::DefineDTR(bool Valor) { fDevice->SetDTR(Valor); }
void TZuvoECFClass::DefineRTS(bool Valor) { fDevice->SetRTS(Valor); }
bool TZuvoECFClass::SinalCTS() { return fDevice->CTS(); }
int64_t TZuvoECFClass::SilencioMs() const { return fUltimoDado.Passou(); }

bool TZuvoECFClass::RetentaConfirmacao(const std::string& Erro) {
  fDevice->Esvazia();
  const std::string msg = Erro + CRLF + CRLF + "Se o problema persistir, verifique os cabos, ou" +
                          CRLF + "experimente desligar a impressora durante 5 seg," + CRLF +
                          "liga-la novamente, e repetir a operação...";
  return PerguntaRetentar(msg, "LerACK");
}

// ----- Smaller shared steps -----

std::string TZuvoECFClass::CampoResposta(const std::string& Resposta, int Inicio, int Count,
                                         const std::string& Campo) {
  if (Inicio < 1 || Count < 0 ||
      static_cast<int64_t>(Resposta.size()) < int64_t{Inicio} + Count - 1)
    throw EZuvoECFSemResposta("Resposta incompleta da Impressora " + ModeloStr() + " (" + Campo +
                              ")");
  return Copy(Resposta, Inicio, Count);
}

int64_t TZuvoECFClass::NumeroResposta(const std::string& Resposta, int Inicio, int Count,
                                      const std::string& Campo) {
  const std::string texto = CampoResposta(Resposta, Inicio, Count, Campo);
  if (texto.empty() || SoDigitos(texto) != texto) RespostaInvalida(Campo);
  // Wide fields are zero-filled: only the significant digits must fit.
  const size_t inicio = std::min(texto.find_first_not_of('0'), texto.size());
  if (texto.size() - inicio > 18) RespostaInvalida(Campo);
  return inicio == texto.size() ? 0 : StrToInt(texto.substr(inicio));
}

double TZuvoECFClass::ValorResposta(const std::string& Texto, const std::string& Campo) {
  if (Trim(Texto).empty()) RespostaInvalida(Campo);
  try {
    return TextoParaValor(Texto);
  } catch (const Exception&) {
    RespostaInvalida(Campo);
  }
}

void TZuvoECFClass::RespostaInvalida(const std::string& Campo) {
  throw EZuvoECFSemResposta("Resposta inválida da Impressora " + ModeloStr() + " (" + Campo + ")");
}

TDateTime TZuvoECFClass::DataHoraResposta(const std::string& Texto, const std::string& Formato) {
  try {
    return LeDataHora(Texto, Formato);
  } catch (const Exception&) {
    RespostaInvalida("DataHora");
  }
}

void TZuvoECFClass::ExigePortaSerial(const std::string& Quem, const std::string& Quebra) {
  if (!fDevice->EhSerial())
    throw Exception(Quem + " requer" + Quebra + "Porta Serial:  (COM1, COM2, COM3, ...)");
}

std::string TZuvoECFClass::TextoErroImpressora(const std::string& Mensagem,
                                               const std::string& Quebra) {
  return "Erro retornado pela Impressora: " + ModeloStr() + Quebra + Quebra + Mensagem;
}

void TZuvoECFClass::ErroImpressora(const std::string& Mensagem, const std::string& Quebra) {
  throw EZuvoECFSemResposta(TextoErroImpressora(Mensagem, Quebra));
}

void TZuvoECFClass::ReiniciaMsgPoucoPapel() {
  fAvisouPoucoPapel = false;
  fUltimaMsgPoucoPapel = 0;
}

// ----- Features asked through the base class -----

bool TZuvoECFClass::Suporta(TZuvoECFRecurso) { return false; }
void TZuvoECFClass::DefineTamanhoResposta(int) {}

// ----- The wait window -----

bool TZuvoECFClass::FormMsgDoProcedure(TZuvoProcedimento Procedimento, int Tecla) {
  return fFormMsg.Executa(std::move(Procedimento), Tecla);
}

void TZuvoECFClass::FormMsgExibe(const std::string& Mensagem) { fFormMsg.Exibe(Mensagem); }

void TZuvoECFClass::PausaImpressao(int Via) {
  AoSair fim([this] {
    fFormMsg.SetTecla(0);
    fFormMsg.SetEstado(1);
  });
  const TPrazo limite(int64_t{fConfig.PausaRelatorio} * 1000);
  fFormMsg.SetTecla(13);
  int64_t mostrado = -1;
  while (!limite.Venceu() && fFormMsg.Estado() == 1) {
    int64_t restam = (limite.Restante() + 999) / 1000;
    if (restam != mostrado) {
      mostrado = restam;
      FormMsgExibe(FormataOuTexto(fConfig.MsgPausaRelatorio, {int64_t{Via}, restam}));
    }
    Toolkit().processEvents();
    Dorme(10);
  }
}

// ----- Composite reports -----

void TZuvoECFClass::ExecutaRelatorio(const TStrings& Relatorio, int Vias, bool Vinculado) {
  Restaura retentar(fConfig.ReTentar);
  AoSair permite([this] { fPermiteFormMsg = true; });
  fConfig.ReTentar = false;
  fRelatorio = Relatorio;
  fVias = Vias;
  fPermiteFormMsg = false;
  FormMsgDoProcedure(
      [this, Vinculado] {
        if (Vinculado)
          DoCupomVinculado(fRelatorio, fVias);
        else
          DoRelatorioGerencial(fRelatorio, fVias);
      },
      0);
}

void TZuvoECFClass::RelatorioGerencial(const TStrings& Relatorio, int Vias) {
  try {
    FechaRelatorio();
  } catch (...) {
    // Closes a report left open; nothing open is fine.
  }
  {
    Restaura msg(fConfig.MsgAguarde);
    fConfig.MsgAguarde = "Abrindo Relatório Gerencial, aguarde %d seg";
    AbreRelatorioGerencial();
  }
  ExecutaRelatorio(Relatorio, Vias, false);
}

void TZuvoECFClass::CupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                                   const std::string& CodComprovanteNaoFiscal, double Valor,
                                   const TStrings& Relatorio, int Vias) {
  AbreCupomVinculado(COO, CodFormaPagto, CodComprovanteNaoFiscal, Valor);
  ExecutaRelatorio(Relatorio, Vias, true);
}

void TZuvoECFClass::DoRelatorioGerencial(const TStrings& Relatorio, int Vias) {
  for (int i = 1; i <= Vias; i++) {
    FormMsgExibe(FormataOuTexto(fConfig.MsgRelatorio, {std::string("Relatório Gerêncial"), int64_t{i}}));
    LinhaRelatorioGerencial(JoinLines(Relatorio));
    if (i < Vias) {
      PulaLinhas(0);
      PausaImpressao(i);
    }
  }
  FormMsgExibe("Fechando Relatório Gerencial");
  FechaRelatorio();
}

void TZuvoECFClass::DoCupomVinculado(const TStrings& Relatorio, int Vias) {
  for (int i = 1; i <= Vias; i++) {
    FormMsgExibe(FormataOuTexto(fConfig.MsgRelatorio, {std::string("Cupom Vinculado"), int64_t{i}}));
    LinhaCupomVinculado(JoinLines(Relatorio));
    if (i < Vias) {
      PulaLinhas(0);
      PausaImpressao(i);
    }
  }
  FormMsgExibe("Fechando Cupom Vinculado");
  FechaRelatorio();
}

// ----- Activation -----

void TZuvoECFClass::Ativar() {
  if (fAtivo) return;
  fDevice->Ativar();
  fEstado = estDesconhecido;
  fAtivo = true;
}

void TZuvoECFClass::Desativar() {
  if (!fAtivo) return;
  fDevice->Desativar();
  fEstado = estNaoInicializada;
  fAtivo = false;
  // The tables read belong to the printer just left: the next activation
  // may find another one on the port (or this one reprogrammed), and a sale
  // must never pick a tax rate or payment method by a stale index.
  fAliquotas.reset();
  fFormasPagamento.reset();
  fComprovantesNaoFiscais.reset();
  fUnidadesMedida.reset();
}

// ----- Tables -----

void TZuvoECFClass::CarregaAliquotas() { fAliquotas = std::make_unique<TZuvoECFAliquotas>(); }

TZuvoECFAliquota* TZuvoECFClass::AchaICMSAliquota(double Aliquota, char Tipo) {
  if (Tipo != 'S' && Tipo != 'T') Tipo = ' ';
  for (auto& a : Aliquotas())
    if (a->Aliquota == Aliquota && (Tipo == ' ' || a->Tipo == Tipo)) return a.get();
  return nullptr;
}

TZuvoECFAliquota* TZuvoECFClass::AchaICMSIndice(const std::string& Indice) {
  for (auto& a : Aliquotas())
    if (a->Indice == Indice) return a.get();
  return nullptr;
}

void TZuvoECFClass::ProgramaAliquota(double, char, const std::string&) {
  DoNaoImplementado("ProgramaAliquota");
}

void TZuvoECFClass::CarregaFormasPagamento() {
  fFormasPagamento = std::make_unique<TZuvoECFFormasPagamento>();
}

TZuvoECFFormaPagamento* TZuvoECFClass::AchaFPGDescricao(const std::string& Descricao) {
  const std::string procurada = UpperCase(Trim(Descricao));
  for (auto& f : FormasPagamento())
    if (UpperCase(Trim(f->Descricao)) == procurada) return f.get();
  return nullptr;
}

TZuvoECFFormaPagamento* TZuvoECFClass::AchaFPGIndice(const std::string& Indice) {
  for (auto& f : FormasPagamento())
    if (f->Indice == Indice) return f.get();
  return nullptr;
}

void TZuvoECFClass::ProgramaFormaPagamento(std::string&, bool, const std::string&) {
  DoNaoImplementado("ProgramaFormaPagamento");
}

void TZuvoECFClass::CarregaComprovantesNaoFiscais() {
  fComprovantesNaoFiscais = std::make_unique<TZuvoECFComprovantesNaoFiscais>();
}

TZuvoECFComprovanteNaoFiscal* TZuvoECFClass::AchaCNFDescricao(const std::string& Descricao) {
  const std::string procurada = UpperCase(Trim(Descricao));
  for (auto& c : ComprovantesNaoFiscais())
    if (UpperCase(Trim(c->Descricao)) == procurada) return c.get();
  return nullptr;
}

TZuvoECFComprovanteNaoFiscal* TZuvoECFClass::AchaCNFIndice(const std::string& Indice) {
  for (auto& c : ComprovantesNaoFiscais())
    if (c->Indice == Indice) return c.get();
  return nullptr;
}

TZuvoECFComprovanteNaoFiscal* TZuvoECFClass::AchaCNFFormaPagamento(const std::string& CodFPG) {
  for (auto& c : ComprovantesNaoFiscais())
    if (c->FormaPagamento == CodFPG) return c.get();
  return nullptr;
}

void TZuvoECFClass::ProgramaComprovanteNaoFiscal(std::string&, const std::string&,
                                                 const std::string&) {
  DoNaoImplementado("ProgramaComprovanteNaoFiscal");
}

void TZuvoECFClass::CarregaUnidadesMedida() {
  fUnidadesMedida = std::make_unique<TZuvoECFUnidadesMedida>();
}

TZuvoECFUnidadeMedida* TZuvoECFClass::AchaUMDDescricao(const std::string& Descricao) {
  const std::string procurada = UpperCase(Trim(Descricao));
  for (auto& u : UnidadesMedida())
    if (UpperCase(Trim(u->Descricao)) == procurada) return u.get();
  return nullptr;
}

TZuvoECFUnidadeMedida* TZuvoECFClass::AchaUMDIndice(const std::string& Indice) {
  for (auto& u : UnidadesMedida())
    if (u->Indice == Indice) return u.get();
  return nullptr;
}

void TZuvoECFClass::ProgramaUnidadeMedida(const std::string&) {
  DoNaoImplementado("ProgramaUnidadeMedida");
}

TZuvoECFAliquotas& TZuvoECFClass::Aliquotas() {
  if (!fAliquotas) CarregaAliquotas();
  if (!fAliquotas) fAliquotas = std::make_unique<TZuvoECFAliquotas>();
  return *fAliquotas;
}

TZuvoECFFormasPagamento& TZuvoECFClass::FormasPagamento() {
  if (!fFormasPagamento) CarregaFormasPagamento();
  if (!fFormasPagamento) fFormasPagamento = std::make_unique<TZuvoECFFormasPagamento>();
  return *fFormasPagamento;
}

TZuvoECFComprovantesNaoFiscais& TZuvoECFClass::ComprovantesNaoFiscais() {
  if (!fComprovantesNaoFiscais) CarregaComprovantesNaoFiscais();
  if (!fComprovantesNaoFiscais)
    fComprovantesNaoFiscais = std::make_unique<TZuvoECFComprovantesNaoFiscais>();
  return *fComprovantesNaoFiscais;
}

TZuvoECFUnidadesMedida& TZuvoECFClass::UnidadesMedida() {
  if (!fUnidadesMedida) CarregaUnidadesMedida();
  if (!fUnidadesMedida) fUnidadesMedida = std::make_unique<TZuvoECFUnidadesMedida>();
  return *fUnidadesMedida;
}

// ----- Receipt operations -----

bool TZuvoECFClass::EmLinha(int TimeOut) { return fDevice->EmLinha(TimeOut); }

void TZuvoECFClass::AbreCupom(const std::string&) { DoNaoImplementado("AbreCupom"); }

void TZuvoECFClass::VendeItem(const std::string&, const std::string&, const std::string&, double,
                              double, double, const std::string&) {
  DoNaoImplementado("VendeItem");
}

void TZuvoECFClass::SubtotalizaCupom(double, const std::string&) {
  DoNaoImplementado("SubtotalizaCupom");
}

void TZuvoECFClass::EfetuaPagamento(const std::string& CodFormaPagto, double,
                                    const std::string&, bool ImprimeVinculado) {
  TZuvoECFFormaPagamento* forma = AchaFPGIndice(CodFormaPagto);
  if (!forma) throw Exception("Forma de Pagamento: " + CodFormaPagto + " inválida");
  if (ImprimeVinculado && !forma->PermiteVinculado)
    throw Exception("Forma de Pagamento: " + CodFormaPagto + LF + "não permite Cupom Vinculado");
}

void TZuvoECFClass::FechaCupom(const std::string&) { DoNaoImplementado("FechaCupom"); }
void TZuvoECFClass::CancelaCupom() { DoNaoImplementado("CancelaCupom"); }
void TZuvoECFClass::CancelaItemVendido(int) { DoNaoImplementado("CancelaItemVendido"); }

void TZuvoECFClass::AbreGaveta() {
  throw EZuvoECFCMDInvalido("A Impressora " + ModeloStr() + " não manipula Gavetas");
}

void TZuvoECFClass::LeituraX() { DoNaoImplementado("LeituraX"); }
void TZuvoECFClass::ReducaoZ(TDateTime) { DoNaoImplementado("ReducaoZ"); }
void TZuvoECFClass::AbreRelatorioGerencial() { DoNaoImplementado("AbreRelatorioGerencial"); }

void TZuvoECFClass::LinhaRelatorioGerencial(const std::string&) {
  DoNaoImplementado("LinhaRelatorioGerencial");
}

void TZuvoECFClass::AbreCupomVinculado(const std::string&, const std::string&,
                                       const std::string&, double) {
  DoNaoImplementado("AbreCupomVinculado");
}

void TZuvoECFClass::LinhaCupomVinculado(const std::string&) {
  DoNaoImplementado("LinhaCupomVinculado");
}

void TZuvoECFClass::FechaRelatorio() { DoNaoImplementado("FechaRelatorio"); }

void TZuvoECFClass::PulaLinhas(int NumLinhas) {
  if (NumLinhas == 0) NumLinhas = fConfig.LinhasEntreCupons;
  LinhaRelatorioGerencial(StringOfChar(LF, NumLinhas));
}

void TZuvoECFClass::ImprimeCheque(const std::string&, double, const std::string&,
                                  const std::string&, TDateTime, const std::string&) {
  throw EZuvoECFCMDInvalido("Rotina de Impressão de Cheques não implementada para Impressora " +
                            ModeloStr());
}

void TZuvoECFClass::CancelaImpressaoCheque() { DoNaoImplementado("CancelaImpressaoCheque"); }
void TZuvoECFClass::MudaHorarioVerao() { DoNaoImplementado("MudaHorarioVerao"); }

void TZuvoECFClass::MudaHorarioVerao(bool) {
  DoNaoImplementado("MudaHorarioVerao(EHorarioVerao: Boolean)");
}

void TZuvoECFClass::MudaArredondamento(bool) { DoNaoImplementado("MudaArredondamento"); }

void TZuvoECFClass::FechaRelatorioRecarrega() {
  try {
    FechaRelatorio();
  } catch (...) {
  }
}

void TZuvoECFClass::CorrigeEstadoErro() {
  switch (Estado()) {
    case estVenda:
    case estPagamento:
      CancelaCupom();
      break;
    case estRelatorio:
      FechaRelatorio();
      break;
    case estBloqueada:
      throw EZuvoECFCMDInvalido("Reduçao Z de hoje já emitida, ECF bloqueado até as 00:00");
    case estRequerZ:
      ReducaoZ(Agora());
      break;
    case estRequerX:
      LeituraX();
      break;
    default:
      break;
  }
}

void TZuvoECFClass::ImpactoAgulhas(int) {
  throw EZuvoECFCMDInvalido("A Impressora " + ModeloStr() +
                            " não permite ajustar o Impacto das Agulhas");
}

void TZuvoECFClass::LeituraMemoriaFiscal(TDateTime, TDateTime) {
  DoNaoImplementado("LeituraMemoriaFiscal");
}

void TZuvoECFClass::LeituraMemoriaFiscal(int, int) { DoNaoImplementado("LeituraMemoriaFiscal"); }

void TZuvoECFClass::LeituraMemoriaFiscalSerial(TDateTime, TDateTime, TStrings&) {
  DoNaoImplementado("LeituraMemoriaFiscalSerial");
}

void TZuvoECFClass::LeituraMemoriaFiscalSerial(int, int, TStrings&) {
  DoNaoImplementado("LeituraMemoriaFiscalSerial");
}

bool TZuvoECFClass::TestaPodeAbrirCupom() {
  std::string msg;
  TZuvoECFEstado estado = Estado();
  switch (estado) {
    case estLivre:
      return true;
    case estNaoInicializada:
      msg = "Impressora nao foi Inicializada (Ativo = false)";
      break;
    case estVenda:
      msg = "Cupom Fiscal aberto";
      break;
    case estBloqueada:
      msg = "Reduçao Z de hoje já emitida, ECF bloqueado até as 00:00";
      break;
    case estRequerZ:
      msg = std::string("Redução Z de dia anterior não emitida.") + LF +
            " Imprima uma Redução Z para poder vender";
      break;
    case estRequerX:
      msg = "A impressora " + ModeloStr() + " requer Leitura X todo inicio de dia." + LF +
            " Imprima uma Leitura X para poder vender";
      break;
    default:
      msg = "Estado da impressora " + ModeloStr() + " é " + CRLF + EstadoStr(estado) +
            " (não é Livre)";
      break;
  }
  throw EZuvoECFCMDInvalido(msg);
}

// ----- Services -----

void TZuvoECFClass::DoNaoImplementado(const std::string& NomeOperacao) {
  throw EZuvoECFCMDInvalido("Procedure: " + NomeOperacao + CRLF +
                            " não implementada para a Impressora: " + ModeloStr());
}

void TZuvoECFClass::DoMsgPoucoPapel(const std::string& Mensagem) {
  if (fAvisouPoucoPapel && !fProximoAvisoPapel.Venceu()) return;
  if (OnMsgPoucoPapel)
    OnMsgPoucoPapel(this);
  else
    Toolkit().messageBox(Mensagem.empty() ? "Detectado pouco papel" : Mensagem,
                         TipoMensagem::Erro, BotoesMensagem::OK);
  fAvisouPoucoPapel = true;
  fProximoAvisoPapel.Renova(int64_t{fConfig.MsgPoucoPapel} * 1000);
  fUltimaMsgPoucoPapel = Agora();
}

std::string TZuvoECFClass::AjustaLinhas(const std::string& Texto, int MaxLinhas,
                                        bool PadLinhas) {
  // A width below one column would never consume the text.
  const int colunas = std::max(fColunas, 1);
  std::string resto = StringReplace(Texto, CRLF, std::string(1, LF));
  std::string resultado;
  int linhas = 0;
  while ((MaxLinhas == 0 || linhas < MaxLinhas) && !resto.empty()) {
    int p = Pos(std::string(1, LF), resto);
    if (p > colunas + 1) p = colunas;
    if (p == 0) p = std::min(static_cast<int>(resto.size()), colunas);
    std::string linha = TrimRight(Copy(resto, 1, p));
    resultado += (PadLinhas ? CompletaDireita(linha, colunas) : linha) + LF;
    resto.erase(0, static_cast<size_t>(p));
    linhas++;
  }
  return resultado;
}

void TZuvoECFClass::ImprimeLinhaALinha(const std::string& Texto, const std::string& Prefixo) {
  std::string texto = Texto.empty() ? StringOfChar(' ', fColunas) : Texto;
  std::string linhas = AjustaLinhas(texto);
  size_t inicio = 0;
  while (inicio < linhas.size()) {
    size_t fim = linhas.find(LF, inicio);
    if (fim == std::string::npos) fim = linhas.size();
    std::string linha = linhas.substr(inicio, fim - inicio);
    // A control byte in a caller's line could end the frame early.
    EnviaComando(Prefixo + CompletaDireita(TextoImprimivel(linha, false), fColunas), 6);
    // A needle printer takes no command while it prints the line.
    if (!fTermica) Descansa(100);
    inicio = fim + 1;
  }
  try {
    EmLinha(1);
  } catch (...) {
  }
}

void TZuvoECFClass::SeparaTipoAliquota(std::string& Aliquota, char& Tipo) {
  char ultimo = Aliquota.empty() ? '\0' : Aliquota.back();
  if (ultimo == 'S' || ultimo == 'T') {
    Tipo = ultimo;
    Aliquota.pop_back();
  } else {
    Tipo = ' ';
  }
}

TZuvoECFAliquota& TZuvoECFClass::AchaAliquotaVenda(const std::string& AliquotaICMS) {
  std::string texto = AliquotaICMS;
  char tipo = ' ';
  SeparaTipoAliquota(texto, tipo);
  double valor = 0;
  try {
    valor = TextoParaNumero(texto);
  } catch (const Exception&) {
    throw EZuvoECFCMDInvalido("Aliquota inválida: " + texto);
  }
  TZuvoECFAliquota* a = AchaICMSAliquota(valor, tipo);
  if (!a) throw EZuvoECFCMDInvalido("Aliquota nao encontrada: " + texto + tipo);
  return *a;
}

void TZuvoECFClass::ArredondarPorQtd(double& Qtd, int Precisao, double ValorUnitario) {
  const double escala = std::pow(10.0, -Precisao);
  const double passo = 1.0 / std::pow(10.0, fConfig.DecimaisQtd);
  const double desejado = RoundTo(Qtd * ValorUnitario, Precisao);
  auto impresso = [&] {
    return RoundTo(static_cast<double>(TruncaPreciso(Qtd * ValorUnitario * escala)) / escala,
                   Precisao);
  };
  while (impresso() < desejado) Qtd = RoundTo(Qtd + passo, -fConfig.DecimaisQtd);
}

// ----- Field setters with checks -----

void TZuvoECFClass::SetTempoInicioMsg(int V) { fConfig.TempoInicioMsg = std::min(V, TimeOut()); }

void TZuvoECFClass::SetDecimaisPreco(int V) {
  if (V < 0 || V > 3) throw Exception("Valor de DecimaisPreco deve estar entre 0-3");
  fConfig.DecimaisPreco = V;
}

void TZuvoECFClass::SetDecimaisQtd(int V) {
  if (V < 0 || V > 4) throw Exception("Valor de DecimaisQtd deve estar entre 0-4");
  fConfig.DecimaisQtd = V;
}

}  // namespace zuvo
