// A platform for tests: the calendar is set by the test, and sleeps advance
// the clocks instead of waiting, so pauses and rate limits run instantly.
#pragma once

#include <memory>

#include "core/ZuvoPlataforma.h"
#include "core/ZuvoUI.h"

namespace zuvo::teste {

class PlataformaTeste : public Plataforma {
 public:
  /// Starts at 2026-12-07 10:00:00 unless told otherwise.
  PlataformaTeste();
  ~PlataformaTeste() override;
  TDateTime Agora() override { return fCalendario + fAvanco / 86400000.0; }
  int64_t MonotonicoMs() override { fLeituras++; return fSistema.MonotonicoMs() + fAvanco; }
  void Dorme(int Ms) override {
    if (Ms > 0) fAvanco += Ms;
    fDormido += Ms > 0 ? Ms : 0;
  }
  std::string PastaPrograma() override { return fPasta; }

  void SetCalendario(TDateTime D) { fCalendario = D; }
  void Avanca(int64_t Ms) { fAvanco += Ms; }
  void SetPasta(const std::string& P) { fPasta = P; }
  /// Total milliseconds the code asked to sleep.
  int64_t Dormido() const { return fDormido; }

 private:
  PlataformaSistema fSistema;
  TDateTime fCalendario;
  int64_t fAvanco = 0;
  int64_t fDormido = 0;
  int64_t fLeituras = 0;
  std::string fPasta = "./";
};

/// Installs a PlataformaTeste and a fresh headless toolkit for one test's
/// lifetime, restoring the defaults afterwards.
class AmbienteTeste {
 public:
  AmbienteTeste();
  ~AmbienteTeste();
  PlataformaTeste Plataforma;
  HeadlessToolkit* Toolkit;

 private:
  std::unique_ptr<HeadlessToolkit> fToolkit;
};

}  // namespace zuvo::teste
