// An Urano fiscal printer on a pseudo-terminal.
//
// The host sends ESC "f" and a command text: a numeric code, fixed-width
// fields and the trailer "XXXXX". The printer knows the length of each
// command by its code. The answer has no terminator: its first byte is the
// status ("!" accepted, "W" accepted with the paper near its end, any other
// byte a refusal code) and the register reads ("24" + number) add 21 bytes
// of data. The state query "23" and the paper query "271" answer one raw
// byte. The fiscal-memory capture ("16" + two dates + "00000000") answers
// the status byte and then the report's lines as a stream.
//
// A line of text ("06") opens a managerial report when no document is open,
// or the linked receipt of the last receipt when one of its payments asked
// for it; "12" closes either.
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

class SimUrano : public Simulador {
 public:
  explicit SimUrano(const OpcoesSimulador& Opcoes);
  ~SimUrano() override;
  std::string Nome() const override { return "Urano"; }

  /// The day's states the state byte expresses.
  void SetRequerZ(bool V);
  void SetBloqueada(bool V);
  /// The next command that carries a status byte is refused with Codigo.
  void SetErroProximo(char Codigo);
  /// The command texts received so far (ESC "f" taken off).
  std::vector<std::string> Comandos() const;
  /// The items of the open (or last) receipt.
  std::vector<ItemVendido> Itens() const;
  /// Adds a Z reduction to the fiscal memory, Dias days before today.
  void AdicionaReducao(int CRZ, int Dias, int64_t VendaBruta);

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;

 private:
  /// A command's handler: C is the whole command text; it returns the
  /// answer (the status byte first).
  using Tratador = std::string (SimUrano::*)(const std::string& C);
  struct Comando {
    size_t Tamanho;  // of the command text, trailer included
    Tratador Trata;
  };
  static const std::map<std::string, Comando>& Tabela();
  /// The code and length of the command at the front of C; false when it
  /// is not complete yet. An unknown code gives an empty Codigo.
  bool Identifica(const std::string& C, std::string& Codigo, size_t& Tamanho) const;

  // Answers.
  std::string Status(char Codigo) const { return std::string(1, Codigo); }
  /// "!" or the refusal code of E; ValorInvalido answers SeValor.
  std::string Conclui(ErroFiscal E, char SeValor = 'b') const;
  static char Codigo(ErroFiscal E);

  // The commands.
  std::string AbreCupom(const std::string& C);
  std::string VendeItem(const std::string& C);
  std::string CancelaItem(const std::string& C);
  std::string DescontoItem(const std::string& C);
  std::string Paga(const std::string& C);
  std::string FechaCupom(const std::string& C);
  std::string Texto(const std::string& C);
  std::string CancelaCupom(const std::string& C);
  std::string CancelaUltimo(const std::string& C);
  std::string AcrescimoSubtotal(const std::string& C);
  std::string DescontoSubtotal(const std::string& C);
  std::string LeituraX(const std::string& C);
  std::string ReducaoZ(const std::string& C);
  std::string FechaRelatorio(const std::string& C);
  std::string MemoriaPorData(const std::string& C);
  std::string MemoriaPorReducao(const std::string& C);
  std::string MemoriaSerial(const std::string& C);
  std::string AvancaPapel(const std::string& C);
  std::string Estado(const std::string& C);
  std::string Registro(const std::string& C);
  std::string EstadoPapel(const std::string& C);
  std::string Consumidor(const std::string& C);

  /// The data of register Numero; false for a register the printer lacks.
  bool ValorRegistro(int Numero, std::string& Valor) const;
  void AdicionaReducaoTravada(int CRZ, int Dias, int64_t VendaBruta);
  std::string Subtotal(const std::string& C, int Sinal, char Recusa);

  ImpressoraFiscal fECF;
  char fErroProximo = 0;
  std::vector<std::string> fComandos;
  std::string fConsumidor;  // the identification "34" gave, printed at the close
  // The receipt whose payment asked for a linked receipt, and the method.
  int fVinculadoCOO = 0;
  int fVinculadoForma = 0;
};

}  // namespace zuvo::sim
