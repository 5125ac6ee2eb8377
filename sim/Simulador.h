// The common part of every printer simulator: it owns the master side of a
// pseudo-terminal (the slave path is the port a driver opens), runs the
// family's protocol on a background thread, keeps a paper roll, paces its
// answers at a line speed and injects faults.
//
// A family's simulator derives from Simulador and implements Processa: it
// receives what has arrived and not been consumed, frames and checks it as
// the family's printer does, updates the printer's state and answers through
// the Saida. Processa runs with Trava() held; accessors a test calls from its
// own thread take Trava() too.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "sim/PtyPar.h"

namespace zuvo::sim {

/// Faults a test (or the zuvoecf-sim user) can switch on. Responde applies
/// them all, in one place, to every answer a family sends; the families only
/// ask FalhasAtivas() for the ones that change what the printer does
/// (refusal, no acknowledgement, paper).
struct Falhas {
  bool Mudo = false;          ///< reads everything, answers nothing
  bool SemACK = false;        ///< no acknowledgement byte (families that have one)
  bool Recusa = false;        ///< refuses every frame (the family's refusal)
  int AtrasoMs = 0;           ///< every answer comes this late
  /// Only the next answer comes this late; the field then goes back to 0.
  /// Later answers never overtake it (a serial line keeps its order): with a
  /// delay longer than the driver's time-out, the late answer arrives either
  /// before the next command (which then gets its own answer) or while the
  /// next command waits, ahead of that command's answer.
  int AtrasoProximaMs = 0;
  bool Parcial = false;       ///< sends only the first half of each answer
  bool Corrompida = false;    ///< garbles one byte of each answer
  /// Each answer goes out one byte at a time, this many ms apart (0: whole).
  int IntervaloBytesMs = 0;
  int MsPorLinha = 0;         ///< printing takes this long per printed line (busy printer)
  /// Printing never ends: an answer that waits for the end of printing
  /// never comes, and a status query reports the printer busy for good.
  bool ImpressaoSemFim = false;
  bool PoucoPapel = false;    ///< reports low paper
  bool SemPapel = false;      ///< reports no paper and refuses to print
  /// Instead of the next answer, the simulator closes its side of the
  /// pseudo-terminal: the driver's port hangs up. For good: the simulator
  /// cannot be used again.
  bool FechaPorta = false;
};

/// Options shared by the families (each takes what applies to it).
struct OpcoesSimulador {
  bool MFD = false;      ///< the detail-memory generation
  bool Termica = false;  ///< a thermal printer
  int Colunas = 48;
  std::string Variante;  ///< a family's own command set by name ("FS2000"); "" its default
};

class Simulador {
 public:
  Simulador();
  virtual ~Simulador();
  Simulador(const Simulador&) = delete;
  Simulador& operator=(const Simulador&) = delete;

  /// The family's name ("Bematech").
  virtual std::string Nome() const = 0;

  /// Starts answering. Families call it at the end of their constructor.
  void Inicia();
  /// Stops answering; called by the destructor.
  void Para();
  /// The port a driver opens.
  const std::string& Porta() const { return fPar.CaminhoEscravo(); }
  /// Makes Caminho a symbolic link to the port (replacing a link there).
  /// False when the link cannot be made.
  bool CriaLink(const std::string& Caminho);
  /// Also append every printed line to this file.
  void SetArquivoPapel(const std::string& Caminho);
  /// Everything printed so far, lines ended by LF.
  std::string Papel() const;
  /// Paces answers at this line speed (0: as fast as the pty goes).
  void SetBaud(int Baud) { fPar.SetBaud(Baud); }
  void SetFalhas(const Falhas& F);
  Falhas FalhasAtuais() const;
  /// Every byte received so far.
  std::string Recebido() const { return fPar.Recebido(); }

  /// For tests, without the pseudo-terminal: hands Bytes to the family's
  /// command processing as if they had just arrived (after what an earlier
  /// call left pending) and returns everything the printer answered, delays
  /// ignored. Faults apply.
  std::string Alimenta(const std::string& Bytes);
  /// For tests: the line went quiet; a frame left incomplete is dropped.
  void DescartaPendente();
  /// Exceptions that escaped a family's processing (each one a parser bug:
  /// the bytes were dropped and the simulator went on). Always 0.
  int FalhasInternas() const;

 protected:
  /// Frames, checks and answers what arrived; returns the bytes consumed
  /// (0: wait for more). Called with Trava() held.
  virtual size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) = 0;

  /// Prints a line on the paper roll (called with Trava() held).
  void Imprime(const std::string& Linha);
  /// Sends an answer applying the faults (late, partial, garbled, byte by
  /// byte, port closed), after AtrasoMs more (a printer busy printing); a
  /// negative AtrasoMs (kNunca) never sends it.
  void Responde(PtyPar::Saida& Out, const std::string& Bytes, int AtrasoMs = 0);
  /// Milliseconds the printer is busy printing Linhas lines; kNunca when
  /// printing never ends (ImpressaoSemFim) and there is something to print.
  int TempoImpressao(int Linhas) const;
  static constexpr int kNunca = -1;
  /// Lines printed since the simulator started (for the busy time of a command).
  int LinhasImpressas() const { return fLinhas; }
  /// The line went quiet: a family drops its partial-frame state.
  virtual void Descarta() {}
  std::mutex& Trava() const { return fTrava; }
  const Falhas& FalhasAtivas() const { return fFalhas; }

 private:
  /// Processa behind the safety net: a silent printer consumes everything,
  /// and an exception (a parser bug) drops the bytes instead of ending the
  /// process.
  size_t ProcessaProtegido(const std::string& Pendente, PtyPar::Saida& Out);

  mutable std::mutex fTrava;
  PtyPar fPar;
  Falhas fFalhas;
  int fLinhas = 0;
  int fFalhasInternas = 0;
  int64_t fLivreEmMs = 0;  // when the last answer scheduled goes out
  std::string fPendente;   // what Alimenta left pending
  std::string fPapel;
  std::string fArquivoPapel;
};

/// The simulator of a family by its name ("Bematech", "ecfBematech", any
/// case); null when there is none.
std::unique_ptr<Simulador> CriaSimulador(const std::string& Familia,
                                         const OpcoesSimulador& Opcoes);
/// The names CriaSimulador knows, separated by blanks.
std::string FamiliasSimuladas();

}  // namespace zuvo::sim
