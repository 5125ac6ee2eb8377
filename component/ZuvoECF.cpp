#include "component/ZuvoECF.h"

#include <cmath>

#include "core/ZuvoPlataforma.h"

namespace zuvo {

namespace {

// Texts printed on the receipt: line breaks normalised, accents removed.
std::string TextoImpressao(const std::string& Texto) {
  return TiraAcentos(StringReplace(Texto, CRLF, std::string(1, LF)));
}

// An observation goes on one line: trailing blanks, accents and line breaks go.
std::string ObservacaoLimpa(const std::string& Texto) {
  std::string t = TiraAcentos(TrimRight(Texto));
  std::string r;
  r.reserve(t.size());
  for (char c : t)
    if (c != CR && c != LF) r += c;
  return r;
}

// NaN and the infinities pass every "> 0" or "fits" comparison some way or
// another and reach a printer as "NAN" or a field of nines: refused here,
// with one message, for every operation that takes a number.
void ExigeFinito(double Valor, const char* Campo) {
  if (!std::isfinite(Valor))
    throw EZuvoECFCMDInvalido(std::string("Valor de ") + Campo + " inválido: não é um número finito.");
}

bool EhProcurar(const std::string& Porta) { return Porta.empty() || SameText(Porta, "procurar"); }

}  // namespace

TZuvoECF::TZuvoECF() : fDevice(std::make_unique<TZuvoDevice>()) {
  fDevice->SetPorta("COM1");
  fECF = CriaDriver(ecfNenhum, *fDevice, fConfig);
}

TZuvoECF::~TZuvoECF() {
  try {
    Desativar();
  } catch (...) {
  }
  fECF.reset();
  fDevice.reset();
}

void TZuvoECF::SetModelo(TZuvoECFModelo Valor) {
  if (Valor == fModelo) return;
  if (fAtivo) throw Exception("Não é possível mudar o Modelo com o ECF Ativo");
  // The new driver is built before the old one goes, so a failing
  // constructor leaves the component with a working driver.
  InstalaDriver(CriaDriver(Valor, *fDevice, fConfig));
  fModelo = Valor;
}

void TZuvoECF::SubstituiDriver(std::unique_ptr<TZuvoECFClass> Driver) {
  if (fAtivo) throw Exception("Não é possível mudar o Modelo com o ECF Ativo");
  if (!Driver) return;
  InstalaDriver(std::move(Driver));
}

void TZuvoECF::InstalaDriver(std::unique_ptr<TZuvoECFClass> Novo) {
  // The settings stay in fConfig, which the new driver reads as the old one
  // did; only a driver built on another record is refused.
  if (&Novo->Config() != &fConfig)
    throw Exception("Essa Classe deve ser instanciada por TZuvoECF");
  fECF = std::move(Novo);
}

void TZuvoECF::SetAtivo(bool V) {
  if (V)
    Ativar();
  else
    Desativar();
}

void TZuvoECF::Ativar() {
  if (fAtivo) return;
  if (fModelo == ecfNenhum) throw Exception("Modelo não definido");

  if (EhProcurar(Porta())) {
    ProcuraPorta(3);
    if (fAtivo) return;  // the search left the printer it found active
    // Nothing answered: the port is still undefined; opening "procurar" as a
    // file would report success for a printer that is not there.
    throw Exception("Porta não definida");
  }

  try {
    fECF->Ativar();
  } catch (...) {
    try {
      fECF->Desativar();
    } catch (...) {
    }
    fDevice->Desativar();
    throw;
  }
  fAtivo = true;
}

void TZuvoECF::Desativar() {
  if (!fAtivo) return;
  fECF->Desativar();
  fAtivo = false;
}

bool TZuvoECF::Testar() {
  const bool estava = fAtivo;
  bool resultado = false;
  try {
    if (!fAtivo) Ativar();
    std::string texto = "Impressora: " + ModeloStr() + CRLF + "Versão: " + NumVersao() + CRLF +
                        "Colunas: " + IntToStr(Colunas()) + CRLF + CRLF +
                        "Numero de Serie: " + NumSerie() + CRLF + "Numero do ECF: " + NumECF() +
                        CRLF + "Data / Hora: " + FormatDateTime("dd/mm/yyyy hh:nn:ss ", DataHora());
    Toolkit().messageBox(texto, TipoMensagem::Informacao, BotoesMensagem::OK);
    resultado = fAtivo;
  } catch (...) {
    SetAtivo(estava);
    throw;
  }
  SetAtivo(estava);
  return resultado;
}

bool TZuvoECF::ProcuraECF(bool ProcurarModelo, bool ProcurarPorta, int TimeOut) {
  if (fProcurando || (!ProcurarModelo && !ProcurarPorta)) return false;
  Desativar();
  if (ProcurarPorta) SetPorta("procurar");
  fProcurando = true;

  bool achou = false;
  auto termina = [&] {
    fProcurando = false;
    Desativar();
    if (ProcurarModelo && !achou) SetModelo(ecfNenhum);
  };
  try {
    if (ProcurarModelo) {
      for (int m = ecfBematech; m <= ecfFiscNET && fProcurando; m++) {
        // A model without its own driver cannot recognise its printer: the
        // base class would take any port that opens.
        if (!ModeloTemDriver(static_cast<TZuvoECFModelo>(m))) continue;
        try {
          SetModelo(static_cast<TZuvoECFModelo>(m));
          if (ProcuraPorta(TimeOut)) {
            achou = true;
            break;
          }
        } catch (const std::exception&) {
          // This model is not there: try the next one.
        }
      }
    } else {
      achou = ProcuraPorta(TimeOut);
    }
  } catch (...) {
    termina();
    throw;
  }
  termina();
  return achou;
}

bool TZuvoECF::ProcuraPorta(int TimeOut) {
  if (fProcurandoPorta) return false;
  if (fModelo == ecfNenhum) throw Exception("Modelo não definido");
  if (fModelo == ecfNaoFiscal)
    throw Exception("Modelo: " + ModeloStr() + " não consegue efetuar busca automática de Porta" +
                    CRLF + "Favor definir a Porta Ex:(COM1, LPT1, /dev/lp0, etc)");

  const std::string portaAnterior = Porta();
  const int timeOutAnterior = this->TimeOut();
  const bool reTentarAnterior = ReTentar();
  fProcurandoPorta = true;
  SetReTentar(false);
  if (TimeOut != 0) SetTimeOut(TimeOut);
  fECF->SetPermiteFormMsg(false);

  bool achou = false;
  auto termina = [&] {
    fECF->SetPermiteFormMsg(true);
    fProcurandoPorta = false;
    SetTimeOut(timeOutAnterior);
    SetReTentar(reTentarAnterior);
    if (!achou) {
      Desativar();
      fDevice->Desativar();
      SetPorta(portaAnterior);
    }
  };
  try {
    fECF->FormMsgDoProcedure([this] { VarrePortas(); }, 'C');
    if (Porta() == "abortado") {
      SetPorta("");
      fProcurando = false;
    }
    achou = !Porta().empty();
  } catch (...) {
    termina();
    throw;
  }
  termina();
  return achou;
}

void TZuvoECF::VarrePortas() {
  bool achou = false;
  if (!EhProcurar(Porta())) {
    achou = TentaPorta();
  } else {
    for (int i = 1; i <= 6 && fECF->FormMsgEstado() == 1; i++) {
      Desativar();
      SetPorta("COM" + IntToStr(i));
      if (TentaPorta()) {
        achou = true;
        break;
      }
    }
  }
  if (!achou) {
    Dorme(200);
    const bool cancelado = fECF->FormMsgEstado() == 3;
    Desativar();
    SetPorta(cancelado ? "abortado" : "");
  }
}

bool TZuvoECF::TentaPorta() {
  Desativar();
  try {
    fDevice->Esvazia();
  } catch (...) {
  }
  std::string texto = "Procurando por ECF: " + ModeloStr() + " na porta: " + Porta();
  if (ExibeMensagem() || BloqueiaMouseTeclado()) texto += " Pressione <C> para cancelar";
  fECF->FormMsgExibe(texto);
  if (fECF->FormMsgEstado() != 1) return false;
  try {
    Ativar();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TZuvoECF::GavetaAberta() {
  bool aberta = fECF->GavetaAberta();
  return fGavetaSinalInvertido ? !aberta : aberta;
}

void TZuvoECF::VendeItem(const std::string& Codigo, const std::string& Descricao,
                         const std::string& AliquotaICMS, double Qtd, double ValorUnitario,
                         double DescontoPorc, const std::string& Unidade) {
  ExigeFinito(Qtd, "Qtd");
  ExigeFinito(ValorUnitario, "ValorUnitario");
  ExigeFinito(DescontoPorc, "DescontoPorc");
  Qtd = RoundTo(Qtd, -DecimaisQtd());
  ValorUnitario = RoundTo(ValorUnitario, -DecimaisPreco());
  if (Qtd <= 0) throw EZuvoECFCMDInvalido("Quantidade deve ser superior a 0.");
  if (ValorUnitario <= 0) throw EZuvoECFCMDInvalido("Valor Unitario deve ser superior a 0.");
  std::string aliquota = UpperCase(Trim(AliquotaICMS));
  if (aliquota.empty()) throw EZuvoECFCMDInvalido("Aliquota de ICMS não pode ser vazia.");
  fECF->VendeItem(Codigo, Descricao, aliquota, Qtd, ValorUnitario, DescontoPorc, Unidade);
}

void TZuvoECF::SubtotalizaCupom(double DescontoAcrescimo, const std::string& MensagemRodape) {
  ExigeFinito(DescontoAcrescimo, "DescontoAcrescimo");
  DescontoAcrescimo = RoundTo(DescontoAcrescimo, -2);
  fMensagemRodape = StringReplace(TextoImpressao(MensagemRodape), "|", std::string(1, LF));
  fECF->SubtotalizaCupom(DescontoAcrescimo, fMensagemRodape);
}

void TZuvoECF::EfetuaPagamento(const std::string& CodFormaPagto, double Valor,
                               const std::string& Observacao, bool ImprimeVinculado) {
  ExigeFinito(Valor, "Valor");
  fECF->EfetuaPagamento(CodFormaPagto, RoundTo(Valor, -2), ObservacaoLimpa(Observacao),
                        ImprimeVinculado);
}

void TZuvoECF::FechaCupom(const std::string& Observacao) {
  std::string obs = Observacao.empty() ? fMensagemRodape : Observacao;
  obs = StringReplace(TextoImpressao(obs), "|", std::string(1, LF));
  fECF->FechaCupom(obs);
  fMensagemRodape.clear();
}

void TZuvoECF::ImprimeCheque(const std::string& Banco, double Valor,
                             const std::string& Favorecido, const std::string& Cidade,
                             TDateTime Data, const std::string& Observacao) {
  ExigeFinito(Valor, "Valor");
  fECF->ImprimeCheque(Banco, RoundTo(Valor, -2), Favorecido, Cidade, Data,
                      ObservacaoLimpa(Observacao));
}

void TZuvoECF::CupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                              const std::string& CodComprovanteNaoFiscal, double Valor,
                              const TStrings& Relatorio, int Vias) {
  ExigeFinito(Valor, "Valor");
  fECF->CupomVinculado(COO, CodFormaPagto, CodComprovanteNaoFiscal, RoundTo(Valor, -2),
                       Relatorio, Vias);
}

void TZuvoECF::AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                                  double Valor) {
  AbreCupomVinculado(COO, CodFormaPagto, "", Valor);
}

void TZuvoECF::AbreCupomVinculado(const std::string& COO, const std::string& CodFormaPagto,
                                  const std::string& CodComprovanteNaoFiscal, double Valor) {
  ExigeFinito(Valor, "Valor");
  fECF->AbreCupomVinculado(COO, CodFormaPagto, CodComprovanteNaoFiscal, RoundTo(Valor, -2));
}

void TZuvoECF::ProgramaAliquota(double Aliquota, char Tipo, const std::string& Posicao) {
  ExigeFinito(Aliquota, "Aliquota");
  fECF->ProgramaAliquota(Aliquota, Tipo, Posicao);
}

std::string TZuvoECF::EnviaComando(const std::string& Cmd) {
  // Nothing to send: the printer would never answer and the call would only
  // end at the time-out.
  if (Cmd.empty()) throw EZuvoECFCMDInvalido("Comando vazio: nada a enviar ao ECF.");
  return fECF->EnviaComando(Cmd);
}

}  // namespace zuvo
