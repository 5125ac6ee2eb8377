// A Quattro fiscal printer on a pseudo-terminal.
//
// Commands arrive as ESC "." + text + "}" with no length and no check byte;
// the first two characters of the text name the command. Answers are
// ".+" (carried out) or ".-" (refused) and end with "}":
//  - a command carried out is answered ".+" + the printer's four-digit answer
//    number + data; the number goes up by one for every command carried out,
//    and the status answer ("28") and the serial fiscal-memory pieces carry
//    the current one;
//  - the reads answer without the number: register reads "56" + register as
//    ".+" + register + data, "27" as ".+C" + ECF number, "22" as ".+G00" +
//    drawer, "23" as ".+P00" + printer status, the tables "29x" as ".+T" +
//    four characters + records from position 8;
//  - a refusal is ".-" + number + "ERRO:" + blanks + three-digit code;
//  - a printing command that meets the paper end is answered ".-P005" + "00"
//    + the answer number: a new number when the command was carried out
//    with little paper left, the previous one when it was not (no paper).
//
// The "28" status answer (positions from 1): 18 fiscal day ('F' Z pending,
// 'S' closed by its Z, 'N' open), 19-30 subtotal in cents, 31 '!', 32-41
// ddmmyyhhnn, 54 daylight-saving time 'S'/'N', 100-111 amount paid in cents,
// 124 X reading done 'S' or pending 'N'.
//
// The fiscal state is the shared ImpressoraFiscal; this class frames the
// commands and answers through one handler table.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/ImpressoraFiscal.h"
#include "sim/Simulador.h"

namespace zuvo::sim {

class SimQuattro : public Simulador {
  // Runs Funcao with the printer locked (accessors a test calls).
  template <class F>
  auto Travado(F Funcao) const {
    std::lock_guard<std::mutex> t(Trava());
    return Funcao();
  }

 public:
  explicit SimQuattro(const OpcoesSimulador& Opcoes);
  ~SimQuattro() override;
  std::string Nome() const override { return "Quattro"; }

  // ----- For tests -----
  void SetRequerZ(bool V) { Travado([&] { fECF.SetRequerZ(V); }); }
  void SetRequerX(bool V) { Travado([&] { fECF.SetRequerX(V); }); }
  bool HorarioVerao() const { return Travado([&] { return fECF.HorarioVerao(); }); }
  /// Every command received, in order, without ESC "." and "}".
  std::vector<std::string> Comandos() const { return Travado([&] { return fComandos; }); }
  /// The fiscal-memory serial reading stops answering after this many
  /// pieces (-1: never), as a printer whose line drops mid-way.
  void SetCortaSerialApos(int Pecas) { Travado([&] { fCortaSerialApos = Pecas; }); }
  /// The layout digits of the last check printed.
  std::string LayoutCheque() const { return Travado([&] { return fLayoutCheque; }); }

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;

 private:
  /// The printer is busy printing the lines a command printed.
  void Ocupa(int Linhas);
  /// A command's handler: Cmd is the whole command text (its code first).
  using Tratador = void (SimQuattro::*)(const std::string& Cmd, PtyPar::Saida& Out);
  static const std::map<std::string, Tratador>& Tabela();

  // Answers.
  void Ok(PtyPar::Saida& Out, const std::string& Dados = "", bool Imprimiu = false);
  /// A read's answer: ".+" + Corpo + "}", without the answer number.
  void Consulta(PtyPar::Saida& Out, const std::string& Corpo);
  void Erro(PtyPar::Saida& Out, int Codigo);
  void FimPapel(PtyPar::Saida& Out);
  /// Ok, the paper answer, or the code of what the shared printer refused.
  void Conclui(PtyPar::Saida& Out, ErroFiscal E, bool Imprimiu = true);
  static int Codigo(ErroFiscal E);

  // The commands.
  void Item(const std::string& Cmd, PtyPar::Saida& Out);
  void DescontoItem(const std::string& Cmd, PtyPar::Saida& Out);
  void DescontoSubtotal(const std::string& Cmd, PtyPar::Saida& Out);
  void AcrescimoSubtotal(const std::string& Cmd, PtyPar::Saida& Out);
  void CancelaItem(const std::string& Cmd, PtyPar::Saida& Out);
  void CancelaCupom(const std::string& Cmd, PtyPar::Saida& Out);
  void Relatorio(const std::string& Cmd, PtyPar::Saida& Out);
  void Paga(const std::string& Cmd, PtyPar::Saida& Out);
  void Fecha(const std::string& Cmd, PtyPar::Saida& Out);
  void LeituraX(const std::string& Cmd, PtyPar::Saida& Out);
  void Reducao(const std::string& Cmd, PtyPar::Saida& Out);
  void MemoriaFiscal(const std::string& Cmd, PtyPar::Saida& Out);
  void Continua(const std::string& Cmd, PtyPar::Saida& Out);
  void AbreCupom(const std::string& Cmd, PtyPar::Saida& Out);
  void Vinculado(const std::string& Cmd, PtyPar::Saida& Out);
  void AbreGaveta(const std::string& Cmd, PtyPar::Saida& Out);
  void Gaveta(const std::string& Cmd, PtyPar::Saida& Out);
  void StatusImpressora(const std::string& Cmd, PtyPar::Saida& Out);
  void NumeroECF(const std::string& Cmd, PtyPar::Saida& Out);
  void Status(const std::string& Cmd, PtyPar::Saida& Out);
  void Tabelas(const std::string& Cmd, PtyPar::Saida& Out);
  void ProgramaAliquota(const std::string& Cmd, PtyPar::Saida& Out);
  void Relogio(const std::string& Cmd, PtyPar::Saida& Out);
  void HorarioVerao(const std::string& Cmd, PtyPar::Saida& Out);
  void ProgramaForma(const std::string& Cmd, PtyPar::Saida& Out);
  void ProgramaNaoFiscal(const std::string& Cmd, PtyPar::Saida& Out);
  void LeRegistro(const std::string& Cmd, PtyPar::Saida& Out);
  void GravaRegistro(const std::string& Cmd, PtyPar::Saida& Out);
  void Cheque(const std::string& Cmd, PtyPar::Saida& Out);

  // The tables as the "29x" answers lay them out.
  std::string RegistrosAliquotas() const;
  std::string RegistrosFormas() const;
  std::string RegistrosNaoFiscais() const;

  ImpressoraFiscal fECF;
  int fNumero = 41;  // the last answer number given
  int64_t fImprimindoAte = 0;  // monotonic ms
  std::vector<std::string> fComandos;
  std::vector<std::string> fSerial;  // pieces of a serial reading still to send
  size_t fProximaPeca = 0;
  int fCortaSerialApos = -1;
  std::map<std::string, std::string> fCheque;  // the "59xx" fields
  std::string fLayoutCheque;
};

}  // namespace zuvo::sim
