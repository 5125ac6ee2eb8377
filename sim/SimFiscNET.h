// A FiscNET printer on a pseudo-terminal.
//
// Commands arrive as {seq;Nome;Param=valor ...;tamanho}; the simulator
// checks the frame and the length, reads the typed parameters (quoted texts
// with \\, \" and \xHH escapes, #dates#, numbers with a decimal comma,
// integers, t/f), keeps the printer's fiscal state and answers
// {seq;CodRetorno;valores;tamanho}, or, as real printers do,
// {0;CodRetorno;valores;} with texts in raw CP850 bytes. A refused command
// answers a positive code with NomeErro and Circunstancia.
//
// Texts are kept and printed in the printer's code page, CP850. The fiscal
// state is the shared ImpressoraFiscal; each command is a handler in a table
// by its name.
#pragma once

#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/ImpressoraFiscal.h"
#include "sim/Simulador.h"

namespace zuvo::sim {

class SimFiscNET : public Simulador {
 public:
  explicit SimFiscNET(const OpcoesSimulador& O);
  ~SimFiscNET() override;

  std::string Nome() const override { return "FiscNET"; }

  /// Answers as real printers do: sequence 0, an empty length field, texts
  /// in raw CP850 bytes and amounts with four decimals. Off: the documented
  /// form with the echoed sequence, the length and \xHH escapes.
  void SetRespostaComoImpressoraReal(bool Real);
  /// EstadoFiscal: 1 free, 2 sale, 4 payment, 64 managerial report, 128
  /// linked receipt.
  int EstadoFiscal() const;
  /// The previous day's Z is missing (indicator bit 128).
  void SetRequerZ(bool V);
  /// The last value received for parameter Param of command Comando, its
  /// escapes undone; nothing when that command never carried it.
  std::optional<std::string> Parametro(const std::string& Comando,
                                       const std::string& Param) const;
  /// Names of the commands received, in order.
  std::vector<std::string> Comandos() const;
  /// Number of valid frames received.
  int Quadros() const;
  bool HorarioVerao() const;
  int COO() const;

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;

 private:
  struct Valor {
    char Tipo;  // '"' text, '#' date or time, ' ' bare
    std::string Texto;
  };
  using Params = std::map<std::string, Valor>;
  using Resultado = std::vector<std::pair<std::string, std::string>>;  // name, written value
  /// A command's handler; C is its name.
  using Tratador = Resultado (SimFiscNET::*)(const std::string& C, const Params& P);
  static const std::map<std::string, Tratador>& Tabela();

  struct Erro {
    int Codigo;
    std::string Nome;
    std::string Circunstancia;
  };

  std::string Atende(const std::string& Quadro);
  /// Reads "Nome=valor ..." into P; false with E set when malformed.
  bool LeParametros(const std::string& Texto, Params& P, Erro& E) const;
  std::string MontaResposta(int Seq, int Codigo, const std::string& Valores) const;
  std::string MontaErro(int Seq, const Erro& E) const;
  std::string EscreveTexto(const std::string& Nome, const std::string& Texto) const;
  std::string TextoValor(const std::string& Nome, const std::string& Texto) const;
  std::string EscreveMoeda(int64_t Centavos) const;

  // Parameter reading: each raises Erro when missing or malformed.
  std::string Texto(const Params& P, const std::string& Nome, bool Obrigatorio = true) const;
  long long Inteiro(const Params& P, const std::string& Nome) const;
  long long InteiroOu(const Params& P, const std::string& Nome, long long Padrao) const;
  double Numero(const Params& P, const std::string& Nome) const;
  /// A number in hundredths (money, percentages) or thousandths
  /// (quantities), refused when it is out of any printer's range.
  int64_t Centesimos(const Params& P, const std::string& Nome) const;
  int64_t Milesimos(const Params& P, const std::string& Nome) const;
  bool Booleano(const Params& P, const std::string& Nome, bool Padrao) const;
  bool Tem(const Params& P, const std::string& Nome) const;
  static void Faixa(const std::string& Nome, long long V, long long De, long long Ate);

  int Estado() const;
  void ExigeEstado(const std::string& Comando, std::initializer_list<int> Estados) const;
  /// Raises the printer's error for what the shared printer refused; Alvo
  /// names the rate, method or item the message is about.
  void Exige(ErroFiscal E, const std::string& Comando, const std::string& Alvo = "") const;
  static int SlotMeio(long long Codigo);
  static long long CodigoMeio(int Slot);

  // The commands.
  Resultado LeTexto(const std::string& C, const Params& P);
  Resultado LeInteiro(const std::string& C, const Params& P);
  Resultado LeMoeda(const std::string& C, const Params& P);
  Resultado LeData(const std::string& C, const Params& P);
  Resultado LeHora(const std::string& C, const Params& P);
  Resultado LeIndicador(const std::string& C, const Params& P);
  Resultado AbreCupomFiscal(const std::string& C, const Params& P);
  Resultado VendeItem(const std::string& C, const Params& P);
  Resultado AcresceItemFiscal(const std::string& C, const Params& P);
  Resultado AcresceSubtotal(const std::string& C, const Params& P);
  Resultado PagaCupom(const std::string& C, const Params& P);
  Resultado EncerraDocumento(const std::string& C, const Params& P);
  Resultado CancelaCupom(const std::string& C, const Params& P);
  Resultado CancelaItemFiscal(const std::string& C, const Params& P);
  Resultado AbreGaveta(const std::string& C, const Params& P);
  Resultado EmiteLeituraX(const std::string& C, const Params& P);
  Resultado EmiteReducaoZ(const std::string& C, const Params& P);
  Resultado AcertaHorarioVerao(const std::string& C, const Params& P);
  Resultado AbreGerencial(const std::string& C, const Params& P);
  Resultado ImprimeTexto(const std::string& C, const Params& P);
  Resultado AbreCreditoDebito(const std::string& C, const Params& P);
  Resultado AvancaPapel(const std::string& C, const Params& P);
  Resultado Aceita(const std::string& C, const Params& P);
  Resultado EmiteLeituraMF(const std::string& C, const Params& P);
  Resultado LeImpressao(const std::string& C, const Params& P);
  Resultado LeAliquota(const std::string& C, const Params& P);
  Resultado DefineAliquota(const std::string& C, const Params& P);
  Resultado LeMeioPagamento(const std::string& C, const Params& P);
  Resultado DefineMeioPagamento(const std::string& C, const Params& P);
  Resultado LeNaoFiscal(const std::string& C, const Params& P);
  Resultado DefineNaoFiscal(const std::string& C, const Params& P);

  ImpressoraFiscal fECF;
  bool fReal = false;
  std::string fCaptura;  // fiscal-memory reading kept for the serial line
  int fQuadros = 0;
  std::vector<std::string> fComandos;
  std::map<std::string, Params> fUltimos;
};

}  // namespace zuvo::sim
