// A plain text printer on a pseudo-terminal, as the non-fiscal emulator
// drives it: it answers nothing and puts every received line on the paper
// roll, with the printer's control strings (ESC @, ESC v n, SI, SO, CR)
// taken out. Its modem lines are those of a pseudo-terminal: always ready.
#pragma once

#include <string>

#include "sim/Simulador.h"

namespace zuvo::sim {

class SimNaoFiscal : public Simulador {
 public:
  explicit SimNaoFiscal(const OpcoesSimulador& Opcoes);
  ~SimNaoFiscal() override;
  std::string Nome() const override { return "NaoFiscal"; }
  /// Drawer pulses (ESC v n) received so far.
  int AberturasGaveta() const;
  /// Printer resets (ESC @) received so far.
  int Inicializacoes() const;

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;

 private:
  int fGaveta = 0;
  int fInicializacoes = 0;
  std::string fLinha;
};

}  // namespace zuvo::sim
