// A Sweda fiscal printer on a pseudo-terminal, in one of its five
// generations.
//
// The wire protocol, as the printer sees it:
//   command  ESC "." + two-character command + ASCII fields + "}"
//   answer   ".+" + the command counter (4 digits) + data + "}"   executed
//            ".+C" / ".+T" / ".+G" / ".+S" + ...  + "}"          queries
//            ".-" + error code (4 digits) + the printer's text + "}"
//            ".-P" + three interface digits + "00" + counter + "}"
// The command counter advances with every command the printer executes; an
// interface answer with digit 5 (paper) carries it, so the host can tell a
// command executed on low paper (the counter moved) from one refused for
// lack of paper (it did not). Queries carry no counter.
//
// The generations differ in the model letter and firmware version the "271"
// and "27G" queries report, and in their command layouts:
//   G1  letter B, no "27G" (firmware before 1.0), rounds, old table layouts
//   G2  letter B, version "1.A" (1.0), rounds; drawer commands 21/22
//   G3  letter E, version "1.2"
//   G4  letter F (9000-IIIE), version "2.0"; closes a report in two steps
//   G5  letter G (ST1000), thermal with detail memory
// Opcoes.Variante names one ("G1".."G5", "G2v11" for firmware 1.1); MFD
// alone plays G5; the default is G3.
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

class SimSweda : public Simulador {
 public:
  explicit SimSweda(const OpcoesSimulador& Opcoes);
  ~SimSweda() override;
  std::string Nome() const override { return "Sweda"; }

  int Geracao() const { return fGeracao; }
  char Letra() const { return fLetra; }

  // ----- Settings and accessors for tests -----
  void SetRequerZ(bool V);
  void SetRequerX(bool V);
  void SetBloqueada(bool V);
  void SetGavetaAberta(bool V);
  bool GavetaAberta() const;
  bool HorarioVerao() const;
  void SetChequePresente(bool V);
  bool ChequePresente() const;
  /// The next command is refused with Codigo (4 digits) and Texto ("" sends
  /// the code alone).
  void SetRecusaProxima(const std::string& Codigo, const std::string& Texto);
  /// The next command gets Bytes as its answer (an interface answer).
  void SetRespostaProxima(const std::string& Bytes);
  /// Every command received, without its framing, oldest first.
  std::vector<std::string> Comandos() const;
  /// Items of the open (or last) receipt, cancelled ones included.
  int ItensCupom() const;
  /// Linked receipts issued so far.
  int Vinculados() const;

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;

 private:
  /// A command's handler: Arg is what follows the two command characters.
  using Tratador = void (SimSweda::*)(const std::string& Arg, PtyPar::Saida& Out);
  static const std::map<std::string, Tratador>& Tabela();
  void Executa(const std::string& Cmd, PtyPar::Saida& Out);

  // ----- Answers -----
  void Envia(PtyPar::Saida& Out, const std::string& Bytes);
  /// Executed: ".+" + the advanced counter + Dados (or the low-paper
  /// interface answer when the command printed on low paper).
  void Ok(PtyPar::Saida& Out, const std::string& Dados = "");
  /// A query answer: ".+" + Tipo + ECF number + Sub + Dados.
  void Consulta(PtyPar::Saida& Out, char Tipo, char Sub, const std::string& Dados);
  void Recusa(PtyPar::Saida& Out, const std::string& Codigo, const std::string& Texto);
  /// Ok (K becomes Comando), or the refusal of what the shared printer
  /// answered.
  void Conclui(PtyPar::Saida& Out, ErroFiscal E, const std::string& Comando);
  void Invalido(PtyPar::Saida& Out) { Recusa(Out, "0002", "PARAMETRO INVALIDO"); }

  // ----- The commands -----
  void VendeItem(const std::string& Arg, PtyPar::Saida& Out);
  void DescontoItem(const std::string& Arg, PtyPar::Saida& Out);
  void DescontoSubtotal(const std::string& Arg, PtyPar::Saida& Out);
  void CancelaItem(const std::string& Arg, PtyPar::Saida& Out);
  void CancelaCupom(const std::string& Arg, PtyPar::Saida& Out);
  void Texto(const std::string& Arg, PtyPar::Saida& Out);
  void Pagamento(const std::string& Arg, PtyPar::Saida& Out);
  void Acrescimo(const std::string& Arg, PtyPar::Saida& Out);
  void Fecha(const std::string& Arg, PtyPar::Saida& Out);
  void Leitura(const std::string& Arg, PtyPar::Saida& Out);
  void ReducaoZ(const std::string& Arg, PtyPar::Saida& Out);
  void MemoriaPorReducao(const std::string& Arg, PtyPar::Saida& Out);
  void MemoriaPorData(const std::string& Arg, PtyPar::Saida& Out);
  void Continua(const std::string& Arg, PtyPar::Saida& Out);
  void AbreCupom(const std::string& Arg, PtyPar::Saida& Out);
  void Vinculado(const std::string& Arg, PtyPar::Saida& Out);
  void AbreGaveta(const std::string& Arg, PtyPar::Saida& Out);
  void EstadoGaveta(const std::string& Arg, PtyPar::Saida& Out);
  void Sensores(const std::string& Arg, PtyPar::Saida& Out);
  void Cheque(const std::string& Arg, PtyPar::Saida& Out);
  void CancelaCheque(const std::string& Arg, PtyPar::Saida& Out);
  void TextosCheque(const std::string& Arg, PtyPar::Saida& Out);
  void Identificacao(const std::string& Arg, PtyPar::Saida& Out);
  void Status(const std::string& Arg, PtyPar::Saida& Out);
  void Tabelas(const std::string& Arg, PtyPar::Saida& Out);
  void ProgramaAliquota(const std::string& Arg, PtyPar::Saida& Out);
  void AcertaRelogio(const std::string& Arg, PtyPar::Saida& Out);
  void HorarioVerao(const std::string& Arg, PtyPar::Saida& Out);
  void ProgramaNaoFiscais(const std::string& Arg, PtyPar::Saida& Out);
  void ProgramaFormas(const std::string& Arg, PtyPar::Saida& Out);

  // ----- Answer layouts -----
  std::string Dados28() const;
  std::string RegistroAliquota(size_t Slot) const;
  std::string PagamentosG3(size_t De, size_t Ate) const;
  std::string TabelaFormas(char Sub) const;
  std::string TabelaNaoFiscais(size_t De, size_t Quantos) const;
  void MemoriaFiscal(long De, long Ate, bool PorData, bool Serial, const std::string& Comando,
                     PtyPar::Saida& Out);
  void Linha(const std::string& Texto);

  int fGeracao = 3;
  char fLetra = 'E';
  std::string fVersao;
  ImpressoraFiscal fECF;
  int fContador = 0;            // commands executed
  int fLinhasAntes = 0;         // lines printed when the command began
  int fAtrasoComando = 0;       // the printer is busy this long before answering
  int64_t fOcupadoAteMs = 0;
  std::string fD = "LEIT. X";   // the last document's kind, as "28" shows it
  std::string fK = "13";        // the last document command
  int fCopiasPendentes = 0;     // further copies of the open linked receipt
  bool fTextoEncerrado = false;  // G4: text of the open report ended by "12"
  bool fChequeArmado = false;   // G2: the first "24" positions the check
  int fRetiraChequeApos = 0;    // status queries until the check is taken out
  std::string fFavorecido, fCidade;
  std::vector<std::string> fMemoriaSerial;  // lines still to send on "++"
  size_t fProximaMemoria = 0;
  int fVinculados = 0;
  std::string fRecusaCodigo, fRecusaTexto, fRespostaProxima;
  bool fRecusaPendente = false;
  std::vector<std::string> fComandos;
};

}  // namespace zuvo::sim
