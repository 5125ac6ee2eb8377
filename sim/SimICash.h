// An ICash fiscal printer on a pseudo-terminal.
//
// A command is STX + an ASCII text that begins with its numeric code + ETX +
// a 16-bit sum of those bytes, high byte first. The printer answers ACK, its
// document state character and an error character (a blank when the command
// was carried out); reading commands follow it with a data block, STX + the
// first two characters of the code + the data + ETX + the block's sum. A
// frame with a wrong sum is answered with a lone NACK (0x0F).
//
// The fiscal state is the shared ImpressoraFiscal; this class frames the
// commands, answers through one handler table keyed by command code, and
// shows the document state as the printer's state characters ('0' free, '1'
// and '2' selling, '3' to '5' totalling and paying, 'B' managerial report,
// 'F' linked receipt, 'D' day closed, 'E' Z reduction due).
//
// While the printer prints, what comes next waits; a data block comes after
// the printing of its own command (an item's number once the item is out).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "sim/ImpressoraFiscal.h"
#include "sim/Simulador.h"

namespace zuvo::sim {

class SimICash : public Simulador {
 public:
  explicit SimICash(const OpcoesSimulador& Opcoes);
  ~SimICash() override;
  std::string Nome() const override { return "ICash"; }

  // ----- For tests (each takes Trava()) -----
  void SetRequerZ(bool V);
  void SetBloqueada(bool V);
  void SetGavetaAberta(bool V);
  bool GavetaAberta() const;
  bool HorarioVerao() const;
  /// The next command is refused with this error character.
  void SetErroProximo(char Erro);
  /// The command texts received, without their framing.
  std::vector<std::string> Comandos() const;
  /// The document open on the printer and the state character it shows.
  Documento DocumentoAtual() const;
  char EstadoAtual() const;
  /// Items of the open receipt, cancelled ones included.
  std::vector<ItemVendido> Itens() const;
  /// Payments of the last closed receipt.
  std::vector<Pagamento> PagamentosUltimoCupom() const;

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;

 private:
  /// What a command answers: its error character and, for a reading
  /// command that succeeded, the data of its block.
  struct Resultado {
    Resultado(char E = ' ', std::string D = "", bool B = false) : Erro(E), Dados(std::move(D)), Bloco(B) {}
    char Erro;
    std::string Dados;
    bool Bloco;
  };
  /// A command's handler: Arg is the text after the code.
  using Tratador = Resultado (SimICash::*)(const std::string& Arg);
  static const std::map<std::string, Tratador>& Tabela();

  Resultado Executa(const std::string& Texto);
  static Resultado Conclui(ErroFiscal E);
  static Resultado Bloco(const std::string& Dados);
  static char Codigo(ErroFiscal E);
  char Estado() const;
  std::string Status() const;

  // The commands.
  Resultado AbreCupom(const std::string& Arg);
  Resultado AbreVinculado(const std::string& Arg);
  Resultado VendeItem(const std::string& Arg);
  Resultado DescontoItem(const std::string& Arg);
  Resultado CancelaItem(const std::string& Arg);
  Resultado Subtotaliza(const std::string& Arg);
  Resultado Paga(const std::string& Arg);
  Resultado Texto(const std::string& Arg);
  Resultado FechaCupom(const std::string& Arg);
  Resultado CancelaAberto(const std::string& Arg);
  Resultado CancelaUltimo(const std::string& Arg);
  Resultado Totais(const std::string& Arg);
  Resultado AbreGaveta(const std::string& Arg);
  Resultado LeituraX(const std::string& Arg);
  Resultado ReducaoZ(const std::string& Arg);
  Resultado HorarioVeraoTroca(const std::string& Arg);
  Resultado AbreGerencial(const std::string& Arg);
  Resultado Linha(const std::string& Arg);
  Resultado FechaRelatorio(const std::string& Arg);
  Resultado MemoriaPorReducao(const std::string& Arg);
  Resultado MemoriaPorData(const std::string& Arg);
  Resultado Registro(const std::string& Arg);
  Resultado NaoFiscal(const std::string& Arg);

  int SlotAliquota(const std::string& Campo) const;

  ImpressoraFiscal fECF;
  char fErroProximo = 0;
  int64_t fOcupadoAte = 0;       // the printer prints until then (steady ms)
  std::string fTextoCupom;       // text blocks of the open receipt, printed at its close
  std::vector<std::string> fComandos;
};

}  // namespace zuvo::sim
