// The Mecaf fiscal printer, as seen from its serial port.
//
// A command arrives as STX, ESC, "$", the command text and ETX: a two-digit
// decimal code followed by fixed-width ASCII fields, with no length and no
// checksum. Every answer is STX, a text and ETX. The text begins with "+"
// (accepted) or "-" (refused), then four characters (here the command's code
// and "00"), then:
//  - for a refused command, the two-digit error code;
//  - for an action, "00", or "01" when the paper is low;
//  - for a query ("30" rates, "32" status, "33" clock, "34M" + register,
//    "36"/"37" fiscal memory on the line), its data.
//
// The firmware versions 201 and 301 print 48 columns and take the item sale
// in their own layout (flag "-", six-digit quantity, no consumer document);
// the others print 40 columns and sell with flag "G" (price in cents) or
// "H" (price in thousandths) and a seven-digit quantity.
//
// The fiscal state (documents, counters, totals, tables, clock, fiscal
// memory, paper) is the shared ImpressoraFiscal; this class is the framing,
// the status bytes, the registers and a table of command handlers over it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/ImpressoraFiscal.h"
#include "sim/Simulador.h"

namespace zuvo::sim {

class SimMecaf : public Simulador {
 public:
  /// Opcoes.Variante "201" or "301" plays that firmware; otherwise a 40-column
  /// printer of an earlier firmware.
  explicit SimMecaf(const OpcoesSimulador& Opcoes);
  ~SimMecaf() override;

  std::string Nome() const override { return "Mecaf"; }

  // ----- For tests (each takes the lock) -----

  /// The firmware version as register 47 answers it (7 characters).
  std::string Versao() const;
  /// The command texts (between "$" and ETX) of every frame received.
  std::vector<std::string> Comandos() const;
  /// The next command is refused with this code (any number, listed or not).
  void SetErroProximo(int Codigo);
  /// The day's states the status bytes express.
  void SetRequerZ(bool V);
  void SetRequerX(bool V);
  void SetBloqueada(bool V);
  /// A check in the check printer's slot.
  void SetChequePresente(bool V);
  bool Arredonda() const;
  bool HorarioVerao() const;
  bool GavetaAberta() const;
  int COO() const;
  /// The rate at slot Indice (0..15) in hundredths, and whether it is ISS.
  int Aliquota(int Indice) const;
  bool AliquotaISS(int Indice) const;
  /// The description at position Indice (0..31) of the table of command 29.
  std::string Descricao(int Indice) const;
  /// Items of the open receipt (or of the last one), cancelled ones included.
  std::vector<ItemVendido> Itens() const;
  /// Payments of the last closed receipt.
  std::vector<Pagamento> PagamentosUltimoCupom() const;

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;

 private:
  /// What a handler answers: the text after the sign and positions 2-5.
  struct Resultado {
    int Erro = 0;       ///< 0 accepted, else the error code
    std::string Dados;  ///< a query's data; "" for an action
    bool Consulta = false;
  };
  /// A command's handler: Arg is the command text after its two-digit code.
  using Tratador = Resultado (SimMecaf::*)(const std::string& Arg);
  static const std::map<std::string, Tratador>& Tabela();

  std::string Resposta(const std::string& Codigo, const Resultado& R) const;
  static Resultado Ok() { return {}; }
  static Resultado Erro(int Codigo) { return {Codigo, "", false}; }
  static Resultado Dados(const std::string& D) { return {0, D, true}; }
  /// The code of what the shared printer refused.
  static int Codigo(ErroFiscal E);
  static Resultado Conclui(ErroFiscal E) {
    return E == ErroFiscal::Nenhum ? Ok() : Erro(Codigo(E));
  }
  bool Versao201ou301() const {
    return fVersao.find("201") != std::string::npos || fVersao.find("301") != std::string::npos;
  }

  // Queries.
  Resultado Status(const std::string& Arg);
  Resultado Relogio(const std::string& Arg);
  Resultado Registro(const std::string& Arg);
  Resultado LeAliquotas(const std::string& Arg);
  std::string ValorRegistro(int Numero) const;
  int FlagsDocumento() const;
  // The receipt.
  Resultado AbreCupom(const std::string& Arg);
  Resultado VendeItem(const std::string& Arg);
  Resultado Subtotaliza(const std::string& Arg);
  Resultado Paga(const std::string& Arg);
  Resultado FechaCupom(const std::string& Arg);
  Resultado CancelaItem(const std::string& Arg);
  Resultado CancelaCupom(const std::string& Arg);
  // Reports and documents.
  Resultado Leitura(const std::string& Arg);
  Resultado ReducaoZ(const std::string& Arg);
  Resultado LinhaTexto(const std::string& Arg);
  Resultado AbreVinculado(const std::string& Arg);
  Resultado FechaRelatorio(const std::string& Arg);
  Resultado MemoriaFiscal(const std::string& Arg);
  Resultado MemoriaFiscalSerial(const std::string& Arg);
  // Tables, settings, drawer, check.
  Resultado ProgramaDescricao(const std::string& Arg);
  Resultado ProgramaAliquota(const std::string& Arg);
  Resultado HorarioVerao(const std::string& Arg);
  Resultado Arredondamento(const std::string& Arg);
  Resultado AbreGaveta(const std::string& Arg);
  Resultado ModoCheque(const std::string& Arg);
  Resultado ImprimeCheque(const std::string& Arg);
  Resultado CancelaCheque(const std::string& Arg);

  std::string fVersao;
  ImpressoraFiscal fECF;
  std::string fCodigo;  // the command being answered
  std::vector<std::string> fComandos;
  int fErroProximo = 0;
  bool fTrocoFeito = false;  // the zero cash payment that gives the change
  bool fModoCheque = false;
};

}  // namespace zuvo::sim
