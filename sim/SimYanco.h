// The Yanco fiscal printer, as seen from its serial port.
//
// A command arrives as STX, a 4-digit sequence number, the command text (a
// two-character function code and fixed-width fields), ETX and a 16-bit sum
// of every byte from STX to ETX, high byte first. A frame whose sum does not
// add up (or whose sequence is not four digits) is refused with 21 (NAK); a
// good one is acknowledged with 20 (DC4) and answered with
//
//   STX, the same sequence number, a 2-character status code, the text, ETX,
//   the sum (as above)
//
// The status code is "00" or one of the printer's error codes ("10" no
// paper, "31".."71"). A command that returns nothing answers its status code
// as the text too, so every answer carries at least one byte of text and an
// error is a 2-character text. The queries answer their data instead:
//   "1F" + text   the text back (the echo the host uses to find the printer)
//   "25"          status: character 3 the fiscal day ('2' open, '3' not
//                 started yet, '4' closed by its Z), character 11 the document
//                 ('0' none, '1' none but the last receipt may be cancelled,
//                 '2' a receipt selling or a linked receipt printing, '3' a
//                 managerial report, '4' a receipt being paid)
//   "2D0"         model (7), serial number (10), version (2)
//   "2E"          97 header characters, then 30 payment methods of 15
//   "2F"          the whole fiscal memory, lines ended by CR LF
//   "34070"       hh:mm:ss      "34071"  dd/mm/yy      "34072"  subtotal in
//   cents (12)    "34076"       ECF number (4)         "34077"  COO (6)
//
// This printer's answers carry no low-paper sign: the low-paper fault changes
// nothing on the line. Without paper, every command that prints answers "10".
//
// The fiscal state (documents, counters, totals, tables, clock, fiscal
// memory, paper) is the shared ImpressoraFiscal; this class is the framing,
// the status code and a table of command handlers over it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sim/ImpressoraFiscal.h"
#include "sim/Simulador.h"

namespace zuvo::sim {

class SimYanco : public Simulador {
 public:
  explicit SimYanco(const OpcoesSimulador& Opcoes);
  ~SimYanco() override;

  std::string Nome() const override { return "Yanco"; }

  // ----- For tests (each takes the lock) -----

  /// The command texts (between the sequence number and ETX) of every frame
  /// acknowledged so far.
  std::vector<std::string> Comandos() const;
  /// The sequence numbers of those frames, as received.
  std::vector<std::string> Sequencias() const;
  /// Frames refused with NAK so far.
  int Recusados() const;
  int COO() const;
  Documento DocumentoAberto() const;
  /// The day's start ("Início do Dia", an X reading) is pending.
  void SetRequerX(bool V);
  /// The previous day's Z reduction is pending.
  void SetRequerZ(bool V);
  /// The items of the open receipt.
  std::vector<ItemVendido> Itens() const;

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;

 private:
  struct Resultado {
    std::string Codigo = "00";
    std::string Texto;  // "" answers the code as the text
  };
  /// A command's handler: P is what follows the two-character function code.
  using Tratador = Resultado (SimYanco::*)(const std::string& P);
  static const std::map<std::string, Tratador>& Tabela();

  /// The frame's answer: STX, sequence, code, text, ETX, sum.
  static std::string Resposta(const std::string& Sequencia, const Resultado& R);
  /// The sum of the bytes from STX to ETX, high byte first.
  static std::string Soma(const std::string& Quadro);
  Resultado Executa(const std::string& Cmd);
  /// The printer's code for what the shared printer refused.
  static std::string Codigo(ErroFiscal E);
  static Resultado De(ErroFiscal E) { return {Codigo(E), ""}; }

  // The commands.
  Resultado Eco(const std::string& P);
  Resultado Status(const std::string& P);
  Resultado Identificacao(const std::string& P);
  Resultado FormasPagamento(const std::string& P);
  Resultado MemoriaSerial(const std::string& P);
  Resultado Leituras(const std::string& P);
  Resultado AbreCupom(const std::string& P);
  Resultado VendeItem(const std::string& P);
  Resultado Paga(const std::string& P);
  Resultado FechaCupom(const std::string& P);
  Resultado CancelaAberto(const std::string& P);
  Resultado CancelaUltimo(const std::string& P);
  Resultado CancelaItem(const std::string& P);
  Resultado AbreGaveta(const std::string& P);
  Resultado InicioDia(const std::string& P);
  Resultado RelatorioX(const std::string& P);
  Resultado ReducaoZ(const std::string& P);
  Resultado LinhaGerencial(const std::string& P);
  Resultado LinhaVinculado(const std::string& P);
  Resultado FechaRelatorio(const std::string& P);
  Resultado MemoriaFiscal(const std::string& P);

  /// X reading ('1') or managerial report ('0') after the day's checks.
  Resultado LeituraOuGerencial(char Tipo);
  /// Character 11 of the status.
  char EstadoDocumento() const;

  ImpressoraFiscal fECF;
  bool fOcupado = false;  // printing never ends (a fault): nothing is answered
  std::vector<std::string> fComandos;
  std::vector<std::string> fSequencias;
  int fRecusados = 0;
};

}  // namespace zuvo::sim
