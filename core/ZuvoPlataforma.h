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

}  // namespace zuvo
