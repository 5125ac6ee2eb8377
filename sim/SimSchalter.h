// A Schalter fiscal printer on a pseudo-terminal.
//
// The line:
//   framed command   ESC "f" + command byte + fixed-width fields + K, where K
//                    makes the sum of every byte of the frame a multiple of
//                    256; a wrong K is refused with code 79
//   free text        ESC "n" + text + CR (a line of the open document)
//   answer           one status byte (0 accepted, else the error code), or,
//                    for the queries, a data block framed as a command is:
//                    ESC "f" + query byte + data + K, of a fixed length
//
// A command's length follows from its command byte (the printer counts the
// fields); a frame left incomplete for a second is dropped. Opening a
// document (1, 146) prints nothing yet: the next command says whether it is
// a fiscal receipt (a sale, the consumer, a free line) or a linked receipt
// (222). Printers above version 3 take the consumer's id (5), list the
// linked receipts still owed (231) and sell with three price decimals; the
// older ones take F, I and N as 12, 13 and 14 (the newer as 16, 17 and 18).
// The serial fiscal-memory read answers one data block, line by line, after
// a pause while the printer reads its memory.
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

class SimSchalter : public Simulador {
 public:
  /// Opcoes.Variante is the firmware version text ("2.04", "3.10"); ""
  /// plays "3.10".
  explicit SimSchalter(const OpcoesSimulador& Opcoes);
  ~SimSchalter() override;
  std::string Nome() const override { return "Schalter"; }

  /// The pause before the serial fiscal-memory block (the printer reading
  /// its memory) and between its lines.
  static constexpr int kPausaMemoriaMs = 600;
  static constexpr int kPausaLinhaMs = 20;

  // ----- For tests -----
  /// The next framed command is refused with this code.
  void SetErroProximo(int Codigo);
  void SetRequerZ(bool V);
  void SetBloqueada(bool V);
  void SetGavetaAberta(bool V);
  bool GavetaAberta() const;
  /// The last framed command without ESC "f" and K.
  std::string UltimoComando() const;
  /// Frames refused for their check byte.
  int ChecksumsErrados() const;
  /// Linked receipts owed for the last receipt's payments.
  int VinculadosPendentes() const;
  /// A history of reductions in the fiscal memory (CRZ 1..N, one a day).
  void AdicionaReducoes(int N);

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;
  void Descarta() override { fParcialTamanho = 0; }

 private:
  /// Arg is what follows the command byte, K taken off.
  using Tratador = void (SimSchalter::*)(const std::string& Arg, PtyPar::Saida& Out);
  struct Comando {
    size_t Tamanho;  // command byte and fields
    Tratador Trata;
  };
  static const std::map<int, Comando>& Tabela();

  /// A non-fiscal type's flags and the payment method it is tied to.
  struct Comprovante {
    std::string Flags = "NNNNN";  // D, A, C, P, V
    int Forma = 0;
  };
  struct Pendente {
    int COO = 0, Forma = 0;
    int64_t Valor = 0;
  };

  size_t ProcessaQuadro(const std::string& P, PtyPar::Saida& Out, int64_t Agora);
  size_t ProcessaTexto(const std::string& P, PtyPar::Saida& Out);
  size_t Espera(size_t Tamanho, int64_t Agora);
  void Executa(int Cmd, const std::string& Arg, PtyPar::Saida& Out);
  /// Printing keeps the printer busy: later answers wait for the paper.
  void Ocupa(int LinhasAntes, int64_t Agora);

  // Answers.
  void Status(PtyPar::Saida& Out, int Codigo);
  void Bloco(PtyPar::Saida& Out, const std::string& Dados);
  void Conclui(PtyPar::Saida& Out, ErroFiscal E);
  static int Codigo(ErroFiscal E);
  bool Novo() const { return fVersaoNum > 3; }
  bool Antigo() const { return fVersaoNum < 3; }
  /// A document opened by 1, 146 becomes the fiscal receipt.
  ErroFiscal Materializa();
  char LetraEstado() const;

  // The commands.
  void AbreDocumento(const std::string& Arg, PtyPar::Saida& Out);
  void Consumidor(const std::string& Arg, PtyPar::Saida& Out);
  void Fecha(const std::string& Arg, PtyPar::Saida& Out);
  void CancelaVenda(const std::string& Arg, PtyPar::Saida& Out);
  void CancelaUltimo(const std::string& Arg, PtyPar::Saida& Out);
  void AbreGerencial(const std::string& Arg, PtyPar::Saida& Out);
  void ReducaoZ(const std::string& Arg, PtyPar::Saida& Out);
  void LeituraX(const std::string& Arg, PtyPar::Saida& Out);
  void MemoriaFiscal(const std::string& Arg, PtyPar::Saida& Out);
  void AcertaRelogio(const std::string& Arg, PtyPar::Saida& Out);
  void ProgramaAliquota(const std::string& Arg, PtyPar::Saida& Out);
  void ProgramaComprovante(const std::string& Arg, PtyPar::Saida& Out);
  void ProgramaForma(const std::string& Arg, PtyPar::Saida& Out);
  void VendeItem(const std::string& Arg, PtyPar::Saida& Out);
  void Subtotal(const std::string& Arg, PtyPar::Saida& Out);
  void DescontoItem(const std::string& Arg, PtyPar::Saida& Out);
  void CancelaItem(const std::string& Arg, PtyPar::Saida& Out);
  void Paga(const std::string& Arg, PtyPar::Saida& Out);
  void AcrescimoSubtotal(const std::string& Arg, PtyPar::Saida& Out);
  void AbreVinculado(const std::string& Arg, PtyPar::Saida& Out);
  void Estado(const std::string& Arg, PtyPar::Saida& Out);
  void Contadores(const std::string& Arg, PtyPar::Saida& Out);
  void LeAliquota(const std::string& Arg, PtyPar::Saida& Out);
  void LeForma(const std::string& Arg, PtyPar::Saida& Out);
  void LeComprovante(const std::string& Arg, PtyPar::Saida& Out);
  void Identificacao(const std::string& Arg, PtyPar::Saida& Out);
  void LeVinculadoPendente(const std::string& Arg, PtyPar::Saida& Out);
  void AvancaLinhas(const std::string& Arg, PtyPar::Saida& Out);
  void AbreGaveta(const std::string& Arg, PtyPar::Saida& Out);

  /// The slot of a two-digit table index; -1 when out of 0..Tamanho-1.
  static int Indice(const std::string& Digitos2, size_t Tamanho);
  /// The tax slot of a sale's code, or kSubstituicao, kIsento, kNaoIncidencia.
  int SlotAliquota(const std::string& Codigo) const;
  /// The payments of the receipt just closed that owe a linked receipt.
  void AnotaPendentes();
  /// The serial fiscal-memory block, line by line.
  void EnviaMemoria(PtyPar::Saida& Out, const std::vector<std::string>& Linhas);

  std::string fVersao;
  double fVersaoNum = 0;
  ImpressoraFiscal fECF;
  std::vector<Comprovante> fComprovantes;
  std::vector<Pendente> fPendentes;
  bool fCabecalho = false;  // 1, 146 received, the document not yet known
  bool fSubtotal = false;   // 209 received in the open receipt
  std::string fUltimo;
  int fErroProximo = 0;
  int fChecksumsErrados = 0;
  int64_t fOcupadoAte = 0;
  size_t fParcialTamanho = 0;
  int64_t fParcialDesde = 0;
};

}  // namespace zuvo::sim
