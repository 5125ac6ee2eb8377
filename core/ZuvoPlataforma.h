// The clocks, the sleep and the program's folder, behind one small interface
// so that tests move the calendar and skip waits instead of sleeping.
//
// Deadlines (time-outs, pauses, the on-line poll) run on the monotonic clock,
// so changing the system clock never shortens or stretches a wait. Dates that
// are printed or compared (day of business, receipts) use the calendar clock.
#pragma once

#include <cstdint>
#include <string>

#include "core/ZuvoUtil.h"

namespace zuvo {

class Plataforma {
 public:
  virtual ~Plataforma() = default;
  /// Calendar date-time of now.
  virtual TDateTime Agora() = 0;
  /// Milliseconds on a monotonic clock (only differences are meaningful).
  virtual int64_t MonotonicoMs() = 0;
  /// Sleeps (or, in a test platform, advances the monotonic clock by) Ms.
  virtual void Dorme(int Ms) = 0;
  /// A rest the printer's protocol asks for between commands (the printer
  /// takes no command during it), as opposed to a wait for an answer. It
  /// sleeps as Dorme does; a benchmark counts it into its floor.
  virtual void Descansa(int Ms) { Dorme(Ms); }
  /// Folder of the running program, ending in '/'. Files the drivers keep
  /// beside the executable live here.
  virtual std::string PastaPrograma() = 0;
};

/// The system clocks, nanosleep and /proc/self/exe.
class PlataformaSistema : public Plataforma {
 public:
  TDateTime Agora() override;
  int64_t MonotonicoMs() override;
  void Dorme(int Ms) override;
  std::string PastaPrograma() override;
};

/// The process-wide platform. Until SetPlataforma is called it is a
/// PlataformaSistema.
Plataforma& PlataformaAtual();
/// Sets the process-wide platform (not owned; nullptr restores the system
/// one). The application or a test sets it once at start-up.
void SetPlataforma(Plataforma* P);

/// Shorthands through the process-wide platform.
inline TDateTime Agora() { return PlataformaAtual().Agora(); }
inline int64_t MonotonicoMs() { return PlataformaAtual().MonotonicoMs(); }
inline void Dorme(int Ms) { PlataformaAtual().Dorme(Ms); }
inline void Descansa(int Ms) { PlataformaAtual().Descansa(Ms); }

/// A deadline: a point on a monotonic clock some milliseconds from when it
/// was set. Every wait in the library (answer time-outs, acknowledgements,
/// pauses, the on-line poll, the port's own reads and writes) is computed
/// here and nowhere else.
///
/// TPrazo(Ms) runs on the platform's clock, which a test platform advances
/// when code sleeps; TPrazo::Real(Ms) runs on the system's monotonic clock,
/// for waits that are real I/O waits (poll on a port) whatever the platform.
class TPrazo {
 public:
  /// Ms from now on the platform's clock (a negative Ms is now).
  explicit TPrazo(int64_t Ms);
  /// Ms from now on the system's monotonic clock.
  static TPrazo Real(int64_t Ms);
  /// Sets the deadline again, Ms from now on the same clock.
  void Renova(int64_t Ms);
  /// True once the deadline is reached.
  bool Venceu() const { return Restante() <= 0; }
  /// Milliseconds left, never negative.
  int64_t Restante() const;
  /// Milliseconds left, at most Maximo, as an int for a poll or a read.
  int RestanteAte(int Maximo) const;
  /// Milliseconds since the deadline passed (0 before it): with TPrazo(0)
  /// renewed at an event, the time since that event.
  int64_t Passou() const;

 private:
  TPrazo(int64_t Ms, bool Real);
  int64_t Relogio() const;
  bool fReal;
  int64_t fFim;
};

}  // namespace zuvo
