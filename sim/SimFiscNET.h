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
// Texts are kept and printed in the printer's code page, CP850.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

  struct Erro {
    int Codigo;
    std::string Nome;
    std::string Circunstancia;
  };
  struct Item {
    std::string Nome;
    double Total = 0;
    double Acrescimo = 0;
    bool Cancelado = false;
  };
  struct Aliquota {
    bool Programada = false;
    double Percentual = 0;
    bool ICMS = true;
    std::string Descricao;
  };
  struct Meio {
    bool Programado = false;
    std::string Nome;
    std::string Descricao;
    bool Vinculado = false;
  };
  struct NaoFiscal {
    bool Programado = false;
    std::string Nome;
    bool Tipo = true;
  };
  struct Reducao {
    int CRZ;
    std::string Data;  // dd/mm/yyyy
    long DiaJuliano;
    double Total;
  };

  std::string Atende(const std::string& Quadro);
  Resultado Executa(const std::string& Comando, const Params& P);
  std::string MontaResposta(int Seq, int Codigo, const std::string& Valores) const;
  std::string EscreveTexto(const std::string& Nome, const std::string& Texto) const;
  std::string EscreveMoeda(double Valor) const;

  // Parameter reading: each raises Erro when missing or malformed.
  std::string Texto(const Params& P, const std::string& Nome, bool Obrigatorio = true) const;
  long long Inteiro(const Params& P, const std::string& Nome) const;
  long long InteiroOu(const Params& P, const std::string& Nome, long long Padrao) const;
  double Numero(const Params& P, const std::string& Nome) const;
  bool Booleano(const Params& P, const std::string& Nome, bool Padrao) const;
  bool Tem(const Params& P, const std::string& Nome) const;

  void ExigeEstado(const std::string& Comando, std::initializer_list<int> Estados) const;
  void ExigePapel() const;
  double TotalLiquido() const;
  /// Prints a line and counts it for the busy-printer delay.
  void Linha(const std::string& Texto);
  /// Prints each LF-separated line of Texto.
  void ImprimeTexto(const std::string& Texto);
  std::string RelatorioMF(long long De, long long Ate, bool PorData);
  long Agora(std::string* Data, std::string* Hora) const;

  bool fReal = false;
  int fEstado = 1;
  int fCOO = 1234;
  int fCRO = 1;
  int fCRZ = 20;
  bool fBloqueada = false;
  bool fRequerZ = false;
  bool fHorarioVerao = false;
  bool fGaveta = false;
  double fGT = 6275.0;
  double fVendaDia = 0;
  std::vector<Item> fItens;
  double fAcrescimoSubtotal = 0;
  double fPago = 0;
  int fCOOUltimoCupom = 0;
  std::map<int, double> fPagosUltimoCupom;  // payment code -> amount of the last receipt
  std::array<Aliquota, 16> fAliquotas;
  std::map<int, Meio> fMeios;  // -2 and 0..14
  std::array<NaoFiscal, 15> fNaoFiscais;
  std::vector<Reducao> fReducoes;
  std::string fCaptura;  // fiscal-memory reading kept for the serial line
  int fLinhas = 0;  // lines printed by the command being answered
  int fQuadros = 0;
  std::vector<std::string> fComandos;
  std::map<std::string, Params> fUltimos;
};

}  // namespace zuvo::sim
