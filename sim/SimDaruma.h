// A Daruma fiscal printer on a pseudo-terminal, in one of its command sets:
// the FS345 (or the older FS315), the FS2000, or a detail-memory printer
// (FS345 commands plus FS-framed register queries and item sale).
//
// It answers the way the recorded printers do: status digits in
// hexadecimal, "////" in empty tax-rate slots, ":" + 244 for the CRO, FS
// answers without an error field for register queries, the ESC 238 table
// layout (255-filled empty slots on the detail-memory printer), and error
// codes such as 11 (no document open), 15 (item not found) or 21 (low paper).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/Simulador.h"

namespace zuvo::sim {

class SimDaruma : public Simulador {
 public:
  enum class Conjunto { FS345, FS315, FS2000, MFD };

  /// Opcoes.MFD plays a detail-memory printer; Opcoes.Variante "FS2000" or
  /// "FS315" the older sets; otherwise an FS345.
  explicit SimDaruma(const OpcoesSimulador& Opcoes);
  ~SimDaruma() override;
  std::string Nome() const override { return "Daruma"; }

  void SetConjunto(Conjunto C);
  Conjunto ConjuntoAtual() const;
  /// The day's states the status digits express.
  void SetRequerZ(bool V);
  void SetRequerX(bool V);
  void SetBloqueada(bool V);
  void SetGavetaAberta(bool V);
  bool GavetaAberta() const;
  bool HorarioVerao() const;
  bool ArredondaAtivo() const;
  int NivelAgulhas() const;
  /// The next command is refused with this code.
  void SetErroProximo(int Codigo);
  /// The last command received, without its framing.
  std::string UltimoComando() const;
  /// Number of items of the open (or last) receipt, cancelled included.
  int ItensCupom() const;

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;

 private:
  enum class Doc { Livre, Venda, Pagamento, Gerencial, Vinculado };
  struct Item {
    double Total = 0;
    bool Cancelado = false;
  };
  struct Aliquota {
    char Letra = 'A';  // lower case: a service (ISS) rate
    int Valor = 0;     // hundredths of a percent; -1 an empty slot
  };
  struct Forma {
    std::string Descricao;
    bool Vinculado = false;
  };

  void ProcessaEsc(const std::string& Cmd, PtyPar::Saida& Out);
  void ProcessaFS(const std::string& Cmd, PtyPar::Saida& Out);
  void ProcessaStatus(unsigned char Tipo, PtyPar::Saida& Out);
  // Answers in the set's layout.
  void Ok(PtyPar::Saida& Out, unsigned char Cmd, const std::string& Dados = "", bool Imprimiu = false);
  void Erro(PtyPar::Saida& Out, unsigned char Cmd, int Codigo);
  void RespondeFS(PtyPar::Saida& Out, const std::string& Corpo);
  void Linha(const std::string& Texto);
  bool Fs2000() const { return fConjunto == Conjunto::FS2000; }
  bool TerminaEm255(unsigned char Cmd) const;

  // The receipt.
  int64_t TotalCentavos() const;
  int64_t SaldoCentavos() const;
  int SlotAliquota(const std::string& Codigo) const;
  int SlotForma(const std::string& Codigo, size_t& Tamanho) const;
  std::string Tabela234() const;
  std::string Tabela238() const;
  std::string TabelaAliquotas() const;
  std::string Data(const char* Formato) const;

  Conjunto fConjunto = Conjunto::FS345;
  Doc fDoc = Doc::Livre;
  int fCOO = 120;
  int fCRZ = 7;
  std::vector<Item> fItens;
  int64_t fAjuste = 0;  // surcharge (+) or discount (-) in cents
  int64_t fPago = 0;
  bool fSubtotalizado = false;
  bool fRequerZ = false;
  bool fXFeita = true;
  bool fBloqueada = false;
  bool fGaveta = false;
  bool fHorarioVerao = false;
  bool fArredonda = false;
  int fAgulhas = 0;
  int fErroProximo = 0;
  int fLinhasImpressas = 0;
  int64_t fOcupadoAteMs = 0;
  std::string fUltimo;
  std::vector<Aliquota> fAliquotas;
  std::vector<Forma> fFormas;                   // 16 slots, A..P
  std::vector<std::string> fComprovantes;       // 16 slots of non-fiscal types
  std::vector<std::string> fVinculados;         // 16 slots of linked types
};

}  // namespace zuvo::sim
