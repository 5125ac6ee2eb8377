// The Bematech fiscal printer, as seen from its serial port.
//
// A command arrives framed as STX, length (2 bytes, low first), ESC, the
// command bytes and a 16-bit checksum of ESC and the command (low first); the
// length counts ESC, the command and the checksum. A frame whose length or
// checksum does not add up is refused with the byte 21 (NAK); a good one is
// acknowledged with 6 (ACK) and answered with the command's data bytes (when
// it has any) followed by the status bytes ST1 and ST2. The detail-memory
// generation (MFD) appends one more status byte, as the real ones do.
//
// The fiscal state (documents, counters, totals, tables, clock, fiscal
// memory, paper) is the shared ImpressoraFiscal; this class is the framing,
// the status bytes and a table of command handlers over it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/ImpressoraFiscal.h"
#include "sim/Simulador.h"

namespace zuvo::sim {

class SimBematech : public Simulador {
 public:
  explicit SimBematech(const OpcoesSimulador& Opcoes);
  ~SimBematech() override;

  std::string Nome() const override { return "Bematech"; }

  // ----- For tests (each takes the lock) -----

  /// The counters.
  int COO() const;
  int CRZ() const;
  /// True while a fiscal receipt is open.
  bool CupomAberto() const;
  /// True while a managerial report or a linked receipt is open.
  bool RelatorioAberto() const;
  /// The drawer sensor: opened by the drawer command, closed by the cashier.
  bool GavetaAberta() const;
  void SetGavetaAberta(bool Aberta);
  /// A check in the check printer's slot.
  void SetChequePresente(bool Presente);
  bool HorarioVerao() const;
  bool Arredonda() const;
  /// Moves the printer's clock by Segundos (a day passing, a wrong clock).
  void AvancaRelogio(int64_t Segundos);
  /// The description programmed at payment slot Indice (1..16), "" if empty.
  std::string FormaPagamento(int Indice) const;
  /// The rate at tax slot Indice (1..16) in hundredths (1800 = 18%), 0 if empty.
  int Aliquota(int Indice) const;
  /// The command bytes (after ESC) of every frame accepted so far.
  std::vector<std::string> Comandos() const;
  /// Frames refused with NAK so far.
  int Recusados() const;

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;
  void Descarta() override { fParcialTamanho = 0; }

 private:
  struct Resultado {
    std::string Dados;
    int ST1 = 0;
    int ST2 = 0;
    bool Variavel = false;  // ST1, ST2, text, ETX (the serial fiscal-memory read)
  };
  /// A command's handler: P is what follows the command byte.
  using Tratador = Resultado (SimBematech::*)(const std::string& P);
  static const std::map<int, Tratador>& Tabela();

  // Framing and dispatch.
  std::string Resposta(const Resultado& R) const;
  Resultado Executa(const std::string& Cmd);
  Resultado Consulta(const std::string& P);
  bool ComandoImprime(const std::string& Cmd) const;
  /// The status bits of what the shared printer refused.
  static Resultado Recusa(ErroFiscal E);

  // The commands.
  Resultado Status(const std::string& P);
  Resultado Extras(const std::string& P);
  Resultado AbreCupom(const std::string& P);
  Resultado VendeItem(const std::string& P);
  Resultado VendeItem3(const std::string& P);
  Resultado Vende(const std::string& P, bool TresCasas);
  Resultado VendeItemMFD(const std::string& P);
  Resultado Registra(ItemVendido It, const std::string& Indice);
  Resultado SubTotal(const std::string& P);
  Resultado NumCOO(const std::string& P);
  Resultado IniciaFechamento(const std::string& P);
  Resultado Paga(const std::string& P);
  Resultado FechaCupom(const std::string& P);
  Resultado CancelaCupom(const std::string& P);
  Resultado CancelaItem(const std::string& P);
  Resultado AbreGaveta(const std::string& P);
  Resultado EstadoGaveta(const std::string& P);
  Resultado LeituraX(const std::string& P);
  Resultado ReducaoZ(const std::string& P);
  Resultado LinhaGerencial(const std::string& P);
  Resultado AbreVinculado(const std::string& P);
  Resultado LinhaVinculado(const std::string& P);
  Resultado FechaRelatorio(const std::string& P);
  Resultado FechaNaoFiscal(const std::string& P);
  Resultado ProgramaAliquota(const std::string& P);
  Resultado ProgramaFormaPagamento(const std::string& P);
  Resultado ProgramaComprovante(const std::string& P);
  Resultado LeAliquotas(const std::string& P);
  Resultado HorarioVerao(const std::string& P);
  Resultado ProgramaArredonda(const std::string& P);
  Resultado ImpactoAgulhas(const std::string& P);
  Resultado MemoriaFiscal(const std::string& P);
  Resultado Cheque(const std::string& P);

  // Answers of the queries.
  std::string TabelaAliquotas() const;
  std::string FlagsServico() const;
  std::string TabelaFormas() const;
  std::string TabelaComprovantes() const;
  int Flags() const;
  int VersaoNumero() const;

  OpcoesSimulador fOpcoes;
  ImpressoraFiscal fECF;
  std::string fVersao;  // digits, as the version query answers them
  std::string fUnidade;         // from ">3", for the next item
  std::string fDescricaoLonga;  // from ">4", for the next item

  // The line: a frame arriving in pieces, the printer busy printing.
  int64_t fParcialDesde = 0;
  size_t fParcialTamanho = 0;
  int64_t fOcupadoAte = 0;

  std::vector<std::string> fComandos;
  int fRecusados = 0;
};

}  // namespace zuvo::sim
