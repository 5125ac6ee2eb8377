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

/// Faults a test (or the zuvoecf-sim user) can switch on.
struct Falhas {
  bool Mudo = false;          ///< reads everything, answers nothing
  bool SemACK = false;        ///< no acknowledgement byte (families that have one)
  bool Recusa = false;        ///< refuses every frame (the family's refusal)
  int AtrasoMs = 0;           ///< every answer comes this late
  bool Parcial = false;       ///< sends only the first half of each answer
  bool Corrompida = false;    ///< garbles one byte of each answer
  int MsPorLinha = 0;         ///< printing takes this long per printed line (busy printer)
  bool PoucoPapel = false;    ///< reports low paper
  bool SemPapel = false;      ///< reports no paper and refuses to print
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

 protected:
  /// Frames, checks and answers what arrived; returns the bytes consumed
  /// (0: wait for more). Called with Trava() held.
  virtual size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) = 0;

  /// Prints a line on the paper roll (called with Trava() held).
  void Imprime(const std::string& Linha);
  /// Sends an answer applying the faults (late, partial, garbled), after
  /// AtrasoMs more (a printer busy printing).
  void Responde(PtyPar::Saida& Out, const std::string& Bytes, int AtrasoMs = 0);
  /// Milliseconds the printer is busy printing Linhas lines.
  int TempoImpressao(int Linhas) const { return fFalhas.MsPorLinha * Linhas; }
  std::mutex& Trava() const { return fTrava; }
  const Falhas& FalhasAtivas() const { return fFalhas; }

 private:
  mutable std::mutex fTrava;
  PtyPar fPar;
  Falhas fFalhas;
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
