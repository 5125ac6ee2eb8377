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
// The printer keeps its state: the open document (fiscal receipt with its
// items, subtotal and payments, managerial report, linked receipt), the
// counters (COO, CRO, CRZ), the 16 tax rates with their service flags, the
// payment methods and non-fiscal receipt tables, the clock, the
// daylight-saving flag, the drawer, and the fiscal memory of the Z reductions.
// It prints on the paper roll what a real one prints.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

 private:
  struct Resultado {
    std::string Dados;
    int ST1 = 0;
    int ST2 = 0;
    bool Variavel = false;  // ST1, ST2, text, ETX (the serial fiscal-memory read)
  };
  struct Item {
    std::string Codigo, Descricao, Indice, Unidade;
    int64_t QtdMil = 0;     // quantity in thousandths
    int64_t PrecoMil = 0;   // unit price in thousandths of a real
    int64_t Valor = 0;      // cents
    int64_t Desconto = 0;   // cents
    bool Cancelado = false;
  };
  struct Pagamento {
    int Indice = 0;
    int64_t Valor = 0;  // cents
  };
  struct Reducao {
    int CRZ = 0;
    std::string Data;  // ddmmyy
    int64_t VendaBruta = 0;
    int64_t GT = 0;
  };
  enum class Documento { Nenhum, Cupom, Relatorio, Vinculado };
  enum class Fase { Venda, Pagamento };

  // Framing and dispatch.
  Resultado Executa(const std::string& Cmd);
  Resultado Consulta(const std::string& Cmd);
  bool ComandoImprime(const std::string& Cmd) const;

  // The commands.
  Resultado AbreCupom(const std::string& P);
  Resultado VendeItem(char Comando, const std::string& P);
  Resultado VendeItemMFD(const std::string& P);
  Resultado Registra(Item It);
  Resultado IniciaFechamento(const std::string& P);
  Resultado Paga(const std::string& P);
  Resultado FechaCupom(const std::string& P);
  Resultado CancelaCupom();
  Resultado CancelaItem(const std::string& P);
  Resultado LeituraX();
  Resultado ReducaoZ(const std::string& P);
  Resultado LinhaGerencial(const std::string& P);
  Resultado AbreVinculado(const std::string& P);
  Resultado LinhaVinculado(const std::string& P);
  Resultado FechaRelatorio();
  Resultado ProgramaAliquota(const std::string& P);
  Resultado ProgramaFormaPagamento(const std::string& P);
  Resultado ProgramaComprovante(const std::string& P);
  Resultado MemoriaFiscal(const std::string& P);
  Resultado Cheque(const std::string& P);

  // Answers of the queries.
  std::string TabelaAliquotas() const;
  std::string FlagsServico() const;
  std::string TabelaFormas() const;
  std::string TabelaComprovantes() const;
  int Flags() const;

  // Printing.
  void Linha(const std::string& Texto);
  void Cabecalho(const std::string& Titulo);
  void Totais(const std::string& Titulo);
  void LinhasTexto(const std::string& Texto);

  // The day and the receipt.
  std::string Hoje() const;          // ddmmyy on the printer's clock
  std::string DataHora() const;      // ddmmyyhhnnss
  bool RequerZ() const;
  bool BloqueadaHoje() const;
  void MarcaMovimento();
  int64_t TotalItens() const;
  int64_t TotalCupom() const;
  int64_t PagoCupom() const;
  int VersaoNumero() const;

  OpcoesSimulador fOpcoes;
  std::string fSerie;
  std::string fVersao;  // digits, as the version query answers them
  int fNumECF = 1, fNumLoja = 1, fCRO = 1, fCOO = 0, fCRZ = 0, fGNF = 0;
  std::array<int, 16> fAliquotas{};
  std::array<bool, 16> fServico{};
  std::array<std::string, 16> fFormas;
  std::array<int64_t, 16> fTotalFormas{};
  std::array<std::string, 50> fComprovantes;
  bool fHorarioVerao = false, fArredonda = false, fGaveta = false, fChequePresente = true;
  int64_t fDesvioRelogio = 0;  // seconds added to the system clock

  Documento fDoc = Documento::Nenhum;
  Fase fFase = Fase::Venda;
  std::vector<Item> fItens;
  std::vector<Pagamento> fPagamentos;
  int64_t fAcrescimo = 0;  // cents; negative is a discount
  std::string fUnidade;    // from ">3", for the next item
  std::string fDescricaoLonga;  // from ">4", for the next item

  // The last document, for the cancellation of the last receipt and the
  // linked receipt that follows a payment.
  bool fUltimoFoiCupom = false;
  int fUltimoCOO = 0;
  std::vector<Pagamento> fUltimosPagamentos;
  int64_t fUltimoTotal = 0;

  std::string fDataMovimento;  // ddmmyy of the fiscal day, "" before the first document
  std::string fDataUltimaZ;    // ddmmyy of the last Z: the day is closed
  int64_t fVendaBruta = 0, fCancelamentos = 0, fDescontos = 0, fAcrescimos = 0, fGT = 0;
  std::array<int64_t, 16> fTotalAliquotas{};
  std::vector<Reducao> fMemoriaFiscal;

  // The line: a frame arriving in pieces, the printer busy printing.
  int64_t fParcialDesde = 0;
  size_t fParcialTamanho = 0;
  int64_t fOcupadoAte = 0;
  int fLinhasComando = 0;

  std::vector<std::string> fComandos;
  int fRecusados = 0;
};

}  // namespace zuvo::sim
