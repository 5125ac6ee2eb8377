// A Daruma fiscal printer on a pseudo-terminal, in one of its command sets:
// the FS345 (or the older FS315), the FS2000, or a detail-memory printer
// (FS345 commands plus FS-framed register queries and item sale).
//
// The fiscal state is the shared ImpressoraFiscal; this class frames the
// commands and answers through one handler table per command set.
//
// It answers the way the recorded printers do: status digits in
// hexadecimal, "////" in empty tax-rate slots, ":" ESC 244 for the CRO, FS
// answers without an error field for register queries, the ESC 238 table
// layout (255-filled empty slots on the detail-memory printer), and error
// codes such as 11 (no document open), 15 (item not found) or 21 (low paper).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/ImpressoraFiscal.h"
#include "sim/Simulador.h"

namespace zuvo::sim {

class SimDaruma : public Simulador {
 public:
  enum class Conjunto { FS345, FS315, FS2000, MFD };

  /// Opcoes.MFD plays a detail-memory printer; Opcoes.Variante "FS2000" or
  /// "FS315" the older sets; otherwise an FS345.
  explicit SimDaruma(const OpcoesSimulador& Opcoes);
  ~SimDaruma() override;
  std::string Nome() const override { return "Daruma"; }

  void SetConjunto(Conjunto C);
  Conjunto ConjuntoAtual() const;
  /// The day's states the status digits express.
  void SetRequerZ(bool V);
  void SetRequerX(bool V);
  void SetBloqueada(bool V);
  void SetGavetaAberta(bool V);
  bool GavetaAberta() const;
  bool HorarioVerao() const;
  bool ArredondaAtivo() const;
  int NivelAgulhas() const;
  /// The next command is refused with this code.
  void SetErroProximo(int Codigo);
  /// The next Vezes commands (status requests aside) are answered with
  /// Codigo (99 or 35: a detail-memory printer compacting its memory) and
  /// not carried out.
  void SetOcupada(int Vezes, int Codigo = 99);
  /// The last command received, without its framing.
  std::string UltimoComando() const;
  /// Number of items of the open (or last) receipt, cancelled included.
  int ItensCupom() const;

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;

 private:
  /// A command's handler: Arg is what follows ESC and the command byte
  /// (fCmd), the frame's CR taken off.
  using Tratador = void (SimDaruma::*)(const std::string& Arg, PtyPar::Saida& Out);
  static const std::map<int, Tratador>& TabelaFS2000();
  static const std::map<int, Tratador>& TabelaFS345();
  static const std::map<int, Tratador>& TabelaComum();

  void ProcessaEsc(const std::string& Cmd, PtyPar::Saida& Out);
  void ProcessaFS(const std::string& Cmd, PtyPar::Saida& Out);
  void ProcessaStatus(unsigned char Tipo, PtyPar::Saida& Out);
  // Answers in the set's layout.
  void Ok(PtyPar::Saida& Out, const std::string& Dados = "", bool Imprimiu = false);
  void Erro(PtyPar::Saida& Out, int Codigo);
  /// Ok, or the code of what the shared printer refused.
  void Conclui(PtyPar::Saida& Out, ErroFiscal E, bool Imprimiu = true);
  static int Codigo(ErroFiscal E);
  void RespondeFS(PtyPar::Saida& Out, const std::string& Corpo);
  void Saldo(PtyPar::Saida& Out);
  bool Fs2000() const { return fConjunto == Conjunto::FS2000; }
  bool TerminaEm255(unsigned char Cmd) const;

  // The commands.
  void Identifica(const std::string& Arg, PtyPar::Saida& Out);
  void Versao(const std::string& Arg, PtyPar::Saida& Out);
  void EstadoDocumento(const std::string& Arg, PtyPar::Saida& Out);
  void Contadores2000(const std::string& Arg, PtyPar::Saida& Out);
  void NumCRO(const std::string& Arg, PtyPar::Saida& Out);
  void Relogio(const std::string& Arg, PtyPar::Saida& Out);
  void Opcoes(const std::string& Arg, PtyPar::Saida& Out);
  void LeAliquotas(const std::string& Arg, PtyPar::Saida& Out);
  void LeTabela234(const std::string& Arg, PtyPar::Saida& Out);
  void LeTabela238(const std::string& Arg, PtyPar::Saida& Out);
  void AbreCupom(const std::string& Arg, PtyPar::Saida& Out);
  void VendeItem2000(const std::string& Arg, PtyPar::Saida& Out);
  void VendeItem315(const std::string& Arg, PtyPar::Saida& Out);
  void VendeItem345(const std::string& Arg, PtyPar::Saida& Out);
  void Vende(const std::string& Aliquota, ItemVendido It, PtyPar::Saida& Out);
  void Subtotaliza(const std::string& Arg, PtyPar::Saida& Out);
  void Paga(const std::string& Arg, PtyPar::Saida& Out);
  void FechaCupom(const std::string& Arg, PtyPar::Saida& Out);
  void CancelaCupom(const std::string& Arg, PtyPar::Saida& Out);
  void CancelaItem(const std::string& Arg, PtyPar::Saida& Out);
  void LeituraX(const std::string& Arg, PtyPar::Saida& Out);
  void ReducaoZ(const std::string& Arg, PtyPar::Saida& Out);
  void AbreGerencial(const std::string& Arg, PtyPar::Saida& Out);
  void LinhaTexto(const std::string& Arg, PtyPar::Saida& Out);
  void FechaRelatorio(const std::string& Arg, PtyPar::Saida& Out);
  void MemoriaFiscal(const std::string& Arg, PtyPar::Saida& Out);
  void Vinculado2000(const std::string& Arg, PtyPar::Saida& Out);
  void Vinculado345(const std::string& Arg, PtyPar::Saida& Out);
  void ProgramaForma(const std::string& Arg, PtyPar::Saida& Out);
  void ProgramaComprovante(const std::string& Arg, PtyPar::Saida& Out);
  void AbreGaveta(const std::string& Arg, PtyPar::Saida& Out);
  void ProgramaAliquota(const std::string& Arg, PtyPar::Saida& Out);
  void Configura(const std::string& Arg, PtyPar::Saida& Out);
  void SoDigitosOk(const std::string& Arg, PtyPar::Saida& Out);
  void Aceita(const std::string& Arg, PtyPar::Saida& Out);
  void Cheque(const std::string& Arg, PtyPar::Saida& Out);
  void VersoCheque(const std::string& Arg, PtyPar::Saida& Out);

  // Codes and tables.
  char LetraDocumento() const;
  int SlotAliquota(const std::string& Codigo) const;
  int SlotForma(const std::string& Codigo, size_t& Tamanho) const;
  std::string Tabela234() const;
  std::string Tabela238() const;
  std::string TabelaAliquotas() const;
  void Linha(const std::string& Texto);

  Conjunto fConjunto = Conjunto::FS345;
  ImpressoraFiscal fECF;
  unsigned char fCmd = 0;  // the command being answered
  int fAgulhas = 0;
  int fErroProximo = 0;
  int fOcupadaVezes = 0;
  int fOcupadaCodigo = 99;
  int64_t fOcupadoAteMs = 0;
  std::string fUltimo;
  std::vector<std::string> fVinculados;  // 16 slots of linked-receipt types
};

}  // namespace zuvo::sim
