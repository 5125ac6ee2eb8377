// The DataRegis fiscal printer, as seen from its serial port.
//
// A command arrives framed as 0xFE, the host's sequence number, the command
// letter, the number of parameter bytes, the parameters and a check byte: the
// sum of the bytes from the letter to the last parameter, modulo 256. The
// printer answers first with a reply code and CR:
//   EOT  done, nothing to report;
//   ACK  not executed: the host asks the status "R", whose 6th character is
//        the error letter ('K' when there is none);
//   BS   a data answer follows, in blocks of 0xFE, the printer's own block
//        counter, the letter, the data length, the data, the check byte (same
//        rule) and CR. The host acknowledges each block with EOT before the
//        next one comes; the last block carries SUB before its check byte,
//        as the recorded EP375 sends it.
//
// Two firmware generations: version 03 (identified by "PS", rates by "Q",
// payment methods by "f") and the later ones (identified by "l", rates by
// "p", methods by "L", non-fiscal types by "q"); version 05 also answers the
// CRO ("o") and keeps a table of units that its sale command names.
// OpcoesSimulador::Variante picks the version: "03", "05" (the default) or
// any other two digits, which plays a later printer without the 05 extras.
//
// The fiscal state (documents, counters, totals, tables, clock, fiscal
// memory, paper) is the shared ImpressoraFiscal; this class is the framing,
// the status and a table of command handlers over it. The printer opens a
// receipt with its first item and closes it by itself when it is paid.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/ImpressoraFiscal.h"
#include "sim/Simulador.h"

namespace zuvo::sim {

class SimDataRegis : public Simulador {
 public:
  explicit SimDataRegis(const OpcoesSimulador& Opcoes);
  ~SimDataRegis() override;

  std::string Nome() const override { return "DataRegis"; }

  // ----- For tests (each takes the lock) -----

  int COO() const;
  bool CupomAberto() const;
  /// A managerial report or a linked receipt is open.
  bool RelatorioAberto() const;
  bool GavetaAberta() const;
  bool HorarioVerao() const;
  /// Items of the open receipt that are not cancelled.
  int ItensAtivos() const;
  /// Moves the printer's clock by Segundos.
  void AvancaRelogio(int64_t Segundos);
  /// Adds N reductions to the fiscal memory's history (a long answer).
  void AdicionaReducoes(int N);
  /// Every command accepted so far: letter and parameters.
  std::vector<std::string> Comandos() const;

 protected:
  size_t Processa(const std::string& Pendente, PtyPar::Saida& Out) override;
  void Descarta() override { fParcialTamanho = 0; }

 private:
  /// What a command answered: an error letter ('K' none) or data.
  struct Resultado {
    char Erro = 'K';
    std::string Dados;
    bool TemDados = false;
  };
  static Resultado Com(const std::string& Dados) { return {'K', Dados, true}; }
  static Resultado Erro(char Letra) { return {Letra, "", false}; }
  static Resultado De(ErroFiscal E);

  /// A command's handler: P is what follows the letter.
  using Tratador = Resultado (SimDataRegis::*)(const std::string& P);
  static const std::map<char, Tratador>& Tabela();

  // The line.
  size_t Quadro(const std::string& P, PtyPar::Saida& Out, int64_t Agora);
  void Envia(PtyPar::Saida& Out, const Resultado& R, char Letra, int Atraso);
  std::string Bloco(char Letra, const std::string& Dados, bool Ultimo);
  void ProximoBloco(PtyPar::Saida& Out, int Atraso);
  int Atraso(int64_t Agora);
  bool ComandoImprime(char Letra) const;

  // Generations.
  bool V03() const { return fVersao == "03"; }
  bool V05() const { return fVersao == "05"; }

  // The commands.
  Resultado Status(const std::string& P);
  Resultado IdentificacaoPS(const std::string& P);
  Resultado Identificacao(const std::string& P);
  Resultado DataHora(const std::string& P);
  Resultado CRO(const std::string& P);
  Resultado SubTotal(const std::string& P);
  Resultado AbreGaveta(const std::string& P);
  Resultado LeituraX(const std::string& P);
  Resultado ReducaoZ(const std::string& P);
  Resultado Vende(const std::string& P);
  Resultado Vende3(const std::string& P);
  Resultado VendeItem(const std::string& P, bool TresCasas);
  Resultado CancelaItem(const std::string& P);
  Resultado Rodape(const std::string& P);
  Resultado Paga(const std::string& P);
  Resultado PagaAjuste(const std::string& P);
  Resultado Pagamento(const std::string& P, bool Ajuste);
  Resultado CancelaCupom(const std::string& P);
  Resultado LinhaGerencial(const std::string& P);
  Resultado LinhaVinculado(const std::string& P);
  Resultado FechaGerencial(const std::string& P);
  Resultado FechaVinculado(const std::string& P);
  Resultado AliquotasQ(const std::string& P);
  Resultado AliquotasP(const std::string& P);
  Resultado ProgramaAliquota(const std::string& P);
  Resultado FormasF(const std::string& P);
  Resultado FormasL(const std::string& P);
  Resultado ProgramaForma(const std::string& P);
  Resultado NaoFiscais(const std::string& P);
  Resultado ProgramaNaoFiscal(const std::string& P);
  Resultado Unidades(const std::string& P);
  Resultado ProgramaUnidade(const std::string& P);
  Resultado MemoriaData(const std::string& P);
  Resultado MemoriaReducao(const std::string& P);
  Resultado HorarioVerao(const std::string& P);
  Resultado Cheque(const std::string& P);

  // Pieces of answers and commands.
  char LetraEstado() const;
  std::string TextoStatus() const;
  /// The shared printer's tax code of a two-digit rate code; false when
  /// the slot is not programmed.
  bool CodigoAliquota(const std::string& Codigo, int& Aliquota) const;
  int FormaVinculado() const;
  Resultado ImprimeTexto(const std::string& Texto);

  OpcoesSimulador fOpcoes;
  std::string fVersao;  // "03", "05", ...
  ImpressoraFiscal fECF;
  std::vector<char> fTipos;          // per rate slot: T, S, F, I, N ('\0' free)
  std::vector<std::string> fUnidades;
  std::vector<std::string> fRegistros;  // each item of the open receipt as sold
  std::string fRodape;                  // footer lines for the closing
  char fUltimoErro = 'K';

  // The line: blocks waiting for the host's EOT, a frame in pieces, the
  // printer busy printing.
  std::vector<std::string> fBlocos;
  int fContadorBlocos = 0;
  int64_t fParcialDesde = 0;
  size_t fParcialTamanho = 0;
  int64_t fOcupadoAte = 0;

  std::vector<std::string> fComandos;
};

}  // namespace zuvo::sim
