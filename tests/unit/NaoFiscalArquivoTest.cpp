// The emulator's state file and print buffer: first use, the machine number,
// what survives a restart, hand edits, the document left in the buffer by a
// crash, and the crash itself at every step of writing a document.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>

#include "core/ZuvoIni.h"
#include "support/NaoFiscalAmbiente.h"

using namespace zuvo;
using teste::AmbienteNaoFiscal;

namespace {

int Conta(const std::string& Texto, const std::string& Trecho) {
  return ContaOcorrencias(Texto, Trecho);
}

// Replaces one key of the state file, as a person editing it would.
void Edita(const std::string& Arquivo, const std::string& Secao, const std::string& Chave,
           const std::string& Valor) {
  TZuvoIniFile ini(Arquivo);
  ini.WriteString(Secao, Chave, Valor);
  ini.UpdateFile();
}

}  // namespace

TEST(NaoFiscalArquivo, FirstUseRefusedLeavesNothingBehind) {
  AmbienteNaoFiscal a;
  a.amb.Toolkit->Responde(RespostaMensagem::Nao);
  try {
    a.ecf.Ativar();
    FAIL() << "activated without accepting the warning";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Uso indevido do emulador");
  }
  EXPECT_FALSE(a.ecf.Ativo());
  EXPECT_FALSE(ArquivoExiste(a.ArquivoINI()));
  EXPECT_FALSE(ArquivoExiste(a.ArquivoBUF()));
  ASSERT_EQ(a.amb.Toolkit->Mensagens.size(), 1u);
  EXPECT_NE(a.amb.Toolkit->Mensagens[0].Texto.find("EXCLUSIVAMENTE"), std::string::npos);
  // Without an answer (a program with no windows) nothing is accepted either.
  EXPECT_THROW(a.ecf.Ativar(), Exception);
}

TEST(NaoFiscalArquivo, FirstUseAcceptedCreatesTheFile) {
  AmbienteNaoFiscal a;
  a.Ativa();
  TZuvoIniFile ini(a.ArquivoINI());
  EXPECT_EQ(ini.ReadString("Variaveis", "Aviso_Legal", ""), "SIM");
  EXPECT_EQ(ini.ReadString("Variaveis", "NumSerie", ""), "071226100000");
  EXPECT_EQ(a.ecf.NumSerie(), "071226100000");
  EXPECT_EQ(ini.ReadString("Aliquota00", "Descricao", ""), "FF");
  EXPECT_EQ(ini.ReadString("Aliquota01", "Descricao", ""), "II");
  EXPECT_EQ(ini.ReadString("Aliquota02", "Descricao", ""), "NN");
  EXPECT_FALSE(ini.SectionExists("Aliquota03"));
  EXPECT_EQ(ini.ReadString("Forma_Pagamento00", "Indice", ""), "01");
  EXPECT_EQ(ini.ReadString("Forma_Pagamento00", "Descricao", ""), "DINHEIRO");
  EXPECT_EQ(ini.ReadString("Impressora", "Comando_Incializacao", ""), "#27,#64");
  EXPECT_EQ(ini.ReadString("Impressora", "Comando_Abrir_Gaveta", ""), "#27,#118,#150");
  EXPECT_EQ(ini.ReadString("Cabecalho", "LIN000", ""), "Nome da Empresa");
  EXPECT_EQ(ini.ReadString("Variaveis", "DiaMovimento", ""), "07/12/2026");
  EXPECT_EQ(a.ecf.NumECF(), "001");
  EXPECT_EQ(a.ecf.NumCRO(), "001");
  EXPECT_EQ(a.ecf.NumVersao(), "0.8.5b");
  EXPECT_EQ(a.ecf.Estado(), estLivre);
  // The printer is reset and put in condensed mode.
  EXPECT_EQ(a.Papel(), "\x1b@\x0f");
  // The print buffer file is there, empty, while the driver is active.
  EXPECT_TRUE(ArquivoExiste(a.ArquivoBUF()));
  EXPECT_EQ(LeArquivo(a.ArquivoBUF()), "");
}

TEST(NaoFiscalArquivo, TheMachineNumberNamesTheFile) {
  AmbienteNaoFiscal a;
  a.ecf.Device().SetTag(7);
  a.Ativa();
  EXPECT_EQ(a.ecf.NumECF(), "007");
  EXPECT_TRUE(ArquivoExiste(a.Pasta() + "/ZuvoECF007.INI"));
  EXPECT_FALSE(ArquivoExiste(a.ArquivoINI()));
  a.ecf.Desativar();
  a.ecf.Device().SetTag(0);
  a.Ativa();
  EXPECT_EQ(a.ecf.NumECF(), "001");
  EXPECT_TRUE(ArquivoExiste(a.ArquivoINI()));
}

TEST(NaoFiscalArquivo, TheStateSurvivesARestart) {
  AmbienteNaoFiscal a;
  a.Ativa();
  a.ecf.SetOperador("JOAO");
  a.ecf.MudaHorarioVerao();
  a.ecf.ProgramaAliquota(12, 'S');
  a.ecf.AbreCupom();
  a.ecf.VendeItem("1", "UM", "12S", 2, 1.25);
  a.ecf.VendeItem("2", "DOIS", "F", 1, 3);

  a.Reinicia();
  EXPECT_EQ(a.ecf.Estado(), estNaoInicializada);
  a.ecf.Ativar();  // no warning the second time
  EXPECT_TRUE(a.amb.Toolkit->Mensagens.size() == 1u);
  EXPECT_EQ(a.ecf.Estado(), estVenda);
  EXPECT_TRUE(a.ecf.HorarioVerao());
  EXPECT_EQ(a.ecf.Operador(), "JOAO");
  EXPECT_EQ(a.ecf.NumCupom(), "000001");
  EXPECT_DOUBLE_EQ(a.ecf.SubTotal(), 5.5);
  const auto& m = a.Driver().Memoria();
  ASSERT_EQ(m.ItensCupom.size(), 2u);
  EXPECT_EQ(m.ItensCupom[0].Descricao, "UM");
  EXPECT_EQ(m.ItensCupom[0].PosAliq, 3);
  EXPECT_TRUE(m.Aliquotas[3].ISS);
  EXPECT_DOUBLE_EQ(m.Aliquotas[3].TotalDia, 2.5);
  // The receipt goes on where it stopped.
  a.ecf.SubtotalizaCupom();
  a.ecf.EfetuaPagamento("01", 10);
  a.ecf.FechaCupom();
  EXPECT_EQ(a.ecf.Estado(), estLivre);
  EXPECT_DOUBLE_EQ(a.Driver().Memoria().FormasPagamento[0].TotalDia, 5.5);
}

TEST(NaoFiscalArquivo, HandEditsTakeEffectAtTheNextActivation) {
  AmbienteNaoFiscal a;
  a.Ativa();
  a.ecf.Desativar();
  Edita(a.ArquivoINI(), "Cabecalho", "LIN000", "PADARIA BOM PAO");
  Edita(a.ArquivoINI(), "Cabecalho", "LIN001", "*FIM*");
  Edita(a.ArquivoINI(), "Impressora", "Colunas", "40");
  Edita(a.ArquivoINI(), "Impressora", "Comando_Incializacao", "#27,#64,INIT");
  Edita(a.ArquivoINI(), "Impressora", "Comando_Expandido_uma_Linha", "");
  a.ecf.Ativar();
  EXPECT_EQ(a.ecf.Colunas(), 40);
  EXPECT_EQ(a.Driver().Cabecalho(), TStrings{"PADARIA BOM PAO"});
  a.ecf.LeituraX();
  const std::string papel = a.Papel();
  EXPECT_EQ(papel.substr(0, 7), "\x1b@INIT\x0f");
  EXPECT_NE(papel.find("\x0f" + Centraliza("PADARIA BOM PAO", 40) + CRLF), std::string::npos);
  EXPECT_EQ(papel.find("Nome da Rua"), std::string::npos);
  // Without the expanded mode a title takes the whole width.
  EXPECT_NE(papel.find(CRLF + Centraliza("LEITURA X", 40) + CRLF), std::string::npos);
  // The edited sections are never written over.
  TZuvoIniFile ini(a.ArquivoINI());
  EXPECT_EQ(ini.ReadString("Cabecalho", "LIN000", ""), "PADARIA BOM PAO");
  EXPECT_EQ(ini.ReadString("Impressora", "Colunas", ""), "40");
}

TEST(NaoFiscalArquivo, AbsurdHandEditsAreContained) {
  AmbienteNaoFiscal a;
  a.Ativa();
  a.ecf.Desativar();
  Edita(a.ArquivoINI(), "Impressora", "Colunas", "0");
  Edita(a.ArquivoINI(), "Variaveis", "Estado", "99");
  a.ecf.Ativar();
  EXPECT_EQ(a.ecf.Colunas(), 48);
  EXPECT_EQ(a.Driver().Memoria().Estado, estDesconhecido);
  EXPECT_EQ(a.ecf.Estado(), estLivre);
  a.ecf.LinhaRelatorioGerencial(std::string(100, 'x'));

  // An item pointing at a rate that does not exist is refused at activation
  // instead of corrupting the totals.
  a.ecf.Desativar();
  Edita(a.ArquivoINI(), "Item_Cupom000", "Descricao", "X");
  Edita(a.ArquivoINI(), "Item_Cupom000", "PosAliq", "42");
  try {
    a.ecf.Ativar();
    FAIL() << "a damaged file was accepted";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("Item_Cupom000"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(a.ecf.Ativo());
}

TEST(NaoFiscalArquivo, LoadingIsBoundedAndThe1000thItemIsRefused) {
  AmbienteNaoFiscal a;
  a.Ativa();
  a.ecf.AbreCupom();
  a.ecf.VendeItem("1", "ITEM", "F", 1, 1);
  a.ecf.Desativar();
  // 1200 item sections: more than three digits can number.
  TZuvoIniFile ini(a.ArquivoINI());
  for (int i = 0; i < 1200; i++) {
    const std::string s = "Item_Cupom" + InteiroZeros(i, 3 + (i >= 1000));
    ini.WriteString(s, "Descricao", "ITEM");
    ini.WriteString(s, "Qtd", "1");
    ini.WriteString(s, "ValorUnit", "1");
    ini.WriteString(s, "PosAliq", "0");
    ini.WriteString(s, "BaseICMS", "1");
  }
  ini.UpdateFile();
  a.ecf.Ativar();
  EXPECT_EQ(a.Driver().Memoria().ItensCupom.size(), 999u);
  try {
    a.ecf.VendeItem("1", "MAIS UM", "F", 1, 1);
    FAIL() << "item 1000 accepted";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("Item (1000) fora da Faixa."), std::string::npos);
  }
  EXPECT_EQ(a.Driver().Memoria().ItensCupom.size(), 999u);
}

TEST(NaoFiscalArquivo, ReadingTheStateWhileInactiveTouchesNothing) {
  AmbienteNaoFiscal a;
  a.Ativa();
  a.ecf.ReducaoZ();
  a.ecf.Desativar();
  const std::string antes = LeArquivo(a.ArquivoINI());
  EXPECT_EQ(a.ecf.Estado(), estNaoInicializada);
  EXPECT_EQ(LeArquivo(a.ArquivoINI()), antes);
  a.ecf.Ativar();
  EXPECT_EQ(a.ecf.Estado(), estBloqueada);  // the day stays closed
}

TEST(NaoFiscalArquivo, ACancelledItemIsNotSubtractedTwiceAfterARestart) {
  AmbienteNaoFiscal a;
  a.Ativa();
  a.ecf.AbreCupom();
  a.ecf.VendeItem("1", "A", "F", 1, 10);
  a.ecf.VendeItem("2", "B", "F", 1, 5);
  a.ecf.CancelaItemVendido(1);
  EXPECT_EQ(TZuvoIniFile(a.ArquivoINI()).ReadString("Item_Cupom000", "BaseICMS", ""), "0");
  a.Reinicia();
  a.ecf.Ativar();
  a.ecf.CancelaCupom();
  EXPECT_DOUBLE_EQ(a.Driver().Memoria().Aliquotas[0].TotalDia, 0);
  EXPECT_EQ(a.ecf.Estado(), estLivre);
}

TEST(NaoFiscalArquivo, ADocumentLeftInTheBufferIsPrintedOnceAtTheNextActivation) {
  AmbienteNaoFiscal a;
  a.Ativa();
  a.ecf.Desativar();
  GravaArquivoSeguro(a.ArquivoBUF(), "LINHA INTERROMPIDA 1\r\nLINHA INTERROMPIDA 2\r\n");
  a.ecf.Ativar();
  EXPECT_EQ(a.Papel(), "\x1b@\x0fLINHA INTERROMPIDA 1\r\nLINHA INTERROMPIDA 2\r\n");
  EXPECT_EQ(LeArquivo(a.ArquivoBUF()), "");
  a.ecf.Desativar();
  a.ecf.Ativar();
  EXPECT_EQ(a.Papel(), "\x1b@\x0f");
}

// A child process writes a document and is stopped between the steps; the
// files it leaves must load, and after the next activation the state counts
// the document and the paper shows it exactly once (over both runs: opening
// the port starts the paper file again).
TEST(NaoFiscalArquivo, ACrashAtAnyStepLeavesPaperAndStateInAgreement) {
  struct Caso {
    const char* Passo;
    bool Gravado;  // the state file already holds the new state
  };
  for (Caso c : {Caso{"GravaBuffer", false}, Caso{"GravaArqINI", true}, Caso{"Imprime", true}}) {
    SCOPED_TRACE(c.Passo);
    AmbienteNaoFiscal a;
    a.Ativa();
    a.ecf.Desativar();
    pid_t filho = ::fork();
    ASSERT_GE(filho, 0);
    if (filho == 0) {
      try {
        a.ecf.Ativar();
        const std::string passo = c.Passo;
        a.Driver().OnPasso = [passo](const std::string& p) {
          if (p == passo) ::_exit(0);
        };
        a.ecf.AbreRelatorioGerencial();
      } catch (...) {
      }
      ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(filho, &status, 0), filho);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the child did not stop at the step";

    TZuvoIniFile ini(a.ArquivoINI());
    EXPECT_EQ(ini.ReadInteger("Variaveis", "NumCupom", -1), c.Gravado ? 1 : 0);
    EXPECT_EQ(ini.ReadInteger("Variaveis", "Estado", -1), c.Gravado ? estRelatorio : estLivre);
    const std::string papelFilho = a.Papel();
    a.ecf.Ativar();
    EXPECT_EQ(Conta(papelFilho + a.Papel(), "RELATORIO GERENCIAL"), 1);
    EXPECT_EQ(a.ecf.NumCupom(), "000001");
    EXPECT_EQ(a.ecf.Estado(), estRelatorio);
    EXPECT_EQ(LeArquivo(a.ArquivoBUF()), "");
    a.ecf.Desativar();
    a.ecf.Ativar();
    EXPECT_EQ(Conta(a.Papel(), "RELATORIO GERENCIAL"), 0);
  }
}

// The journal of a document whose print was cut short: the state file went
// back to before it, half of the text is on the paper.
TEST(NaoFiscalArquivo, AnUnfinishedJournalIsAppliedAndPrintedFromWhereThePaperStopped) {
  AmbienteNaoFiscal a;
  a.Ativa();
  const std::string antes = LeArquivo(a.ArquivoINI());
  std::string diario;
  a.Driver().OnPasso = [&](const std::string& p) {
    if (p == "Imprime") diario = LeArquivo(a.ArquivoBUF());
  };
  a.ecf.AbreCupom();
  a.Driver().OnPasso = nullptr;
  a.ecf.Desativar();
  const std::string inicio = "\x1b@\x0f";
  const std::string texto = a.Papel().substr(inicio.size());
  ASSERT_NE(texto.find("COO:000001"), std::string::npos);
  const size_t metade = texto.size() / 2;

  GravaArquivoSeguro(a.ArquivoINI(), antes);
  GravaArquivoSeguro(a.ArquivoBUF(), diario);
  GravaArquivoSeguro(a.ArquivoPapel(), inicio + texto.substr(0, metade));
  a.ecf.Ativar();
  EXPECT_EQ(a.Papel(), inicio + texto.substr(metade));
  EXPECT_EQ(a.ecf.Estado(), estVenda);
  EXPECT_EQ(a.ecf.NumCupom(), "000001");
  EXPECT_EQ(LeArquivo(a.ArquivoBUF()), "");
  a.ecf.Desativar();
  a.ecf.Ativar();
  EXPECT_EQ(a.Papel(), inicio);

  // A printer that cannot be read back (a device, a file written over each
  // time) gets the whole text again: a second copy rather than none.
  a.ecf.Desativar();
  GravaArquivoSeguro(a.ArquivoBUF(), diario);
  const std::string outra = a.Pasta() + "/impressora.prn";
  a.ecf.SetPorta(outra);
  a.ecf.Ativar();
  EXPECT_EQ(LeArquivo(outra), texto);
  EXPECT_EQ(a.ecf.NumCupom(), "000001");
}

TEST(NaoFiscalArquivo, WhatAnInterruptedSaveLeftIsRemovedAndADamagedJournalRefused) {
  AmbienteNaoFiscal a;
  a.Ativa();
  a.ecf.Desativar();
  const std::string outros[] = {a.Pasta() + "/ZuvoECF001.INI.tmpx", a.Pasta() + "/outro.tmp1"};
  for (const std::string& f : {a.ArquivoINI() + ".tmp4242", a.ArquivoBUF() + ".tmp17",
                               outros[0], outros[1]})
    GravaArquivoSeguro(f, "[Variaveis]\r\n");
  a.ecf.Ativar();
  EXPECT_FALSE(ArquivoExiste(a.ArquivoINI() + ".tmp4242"));
  EXPECT_FALSE(ArquivoExiste(a.ArquivoBUF() + ".tmp17"));
  for (const std::string& f : outros) EXPECT_TRUE(ArquivoExiste(f)) << f;

  // Sizes that do not match the file: nothing is printed or counted.
  a.ecf.Desativar();
  GravaArquivoSeguro(a.ArquivoBUF(), "#DIARIO 10 50 0\r\nCOO:000009\r\n[Variaveis]\r\n");
  try {
    a.ecf.Ativar();
    FAIL() << "a damaged journal was accepted";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "Arquivo " + a.ArquivoBUF() + " inválido");
  }
  EXPECT_FALSE(a.ecf.Ativo());
  EXPECT_EQ(a.ecf.NumCupom(), "000000");
}

// ----- Killed at random instants while selling -----

namespace {

// 1,000 kills: each operation has a few steps (save, print, mark printed) of
// very different lengths, and the short ones are a per cent or less of a
// receipt; a thousand random instants land in each of them several times,
// while the whole run stays within seconds.
constexpr int kMortes = 1000;
// The longest wait before a kill: two receipts, as long as they take
// here (a sanitizer build is several times slower), measured on a first
// child. The next child cancels the receipt a kill left open, so every
// operation of a receipt is reached.
constexpr int kJanelaRecibos = 2;
constexpr int kRecibosMedidos = 10;

// What the paper says: documents by number, and receipts whose printed items
// do not add up to their printed total.
struct Papel {
  int Documentos = 0;
  int Repetidos = 0;
  int Recibos = 0;  // totals checked
  int ReciboErrado = 0;
  int UltimoCOO = 0;
  std::string Primeiro;  // the first fault, to show
};

double ValorNoFim(const std::string& Linha) {
  const size_t p = Linha.find_last_of(' ');
  return TextoParaValor(Linha.substr(p == std::string::npos ? 0 : p + 1));
}

// Reads the whole paper. Control strings are dropped: an activation resets
// the printer in front of whatever it prints next.
Papel LePapel(const std::string& Texto) {
  Papel r;
  std::set<int> vistos;
  std::map<int, double> itens;
  int ultimoItem = 0;
  double ajuste = 0;
  auto confere = [&](double Total, const std::string& Linha) {
    double soma = ajuste;
    for (const auto& [n, v] : itens) soma += v;
    r.Recibos++;
    if (std::fabs(soma - Total) > 0.005) {
      r.ReciboErrado++;
      if (r.Primeiro.empty())
        r.Primeiro = "COO " + IntToStr(r.UltimoCOO) + ": items " + FloatToStr(soma) +
                     " printed total " + Linha;
    }
  };
  TStrings linhas = SplitLines(Texto);
  for (std::string& l : linhas)
    for (const char* c : {"\x1b@", "\x0f", "\x0e"}) l = StringReplace(l, c, "");
  for (size_t i = 0; i < linhas.size(); i++) {
    std::string l = linhas[i];
    const size_t coo = l.find("COO:");
    if (coo != std::string::npos) {
      const int n = static_cast<int>(StrToIntDef(l.substr(coo + 4, 6), -1));
      r.Documentos++;
      if (!vistos.insert(n).second) {
        r.Repetidos++;
        if (r.Primeiro.empty()) r.Primeiro = "COO " + IntToStr(n) + " printed twice";
      }
      r.UltimoCOO = std::max(r.UltimoCOO, n);
      itens.clear();
      ajuste = 0;
    } else if (l.size() > 4 && SoDigitos(l.substr(0, 3)) == l.substr(0, 3) && l[3] == ' ') {
      // The item line is printed in pieces of the column count.
      if (l.size() == 48 && i + 1 < linhas.size()) l += linhas[++i];
      ultimoItem = static_cast<int>(StrToInt(l.substr(0, 3)));
      itens[ultimoItem] = ValorNoFim(l);
    } else if (l.find("DESCONTO") != std::string::npos) {
      itens[ultimoItem] = ValorNoFim(l);
    } else if (l.rfind("CANCELADO ITEM: ", 0) == 0) {
      itens[static_cast<int>(StrToInt(l.substr(16)))] = 0;
    } else if (l.rfind("SUBTOTAL", 0) == 0) {
      confere(ValorNoFim(l), l);
    } else if (l.rfind("Desconto", 0) == 0 || l.rfind("Acrescimo", 0) == 0) {
      ajuste = ValorNoFim(l);
    } else if (l.find("TOTAL  R$") != std::string::npos) {
      confere(ValorNoFim(l), l);
    }
  }
  return r;
}

// Files other than the state file, the buffer file and the paper.
int Temporarios(const AmbienteNaoFiscal& a) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(a.Pasta())) {
    const std::string p = e.path().string();
    if (p != a.ArquivoINI() && p != a.ArquivoBUF() && p != a.ArquivoPapel()) n++;
  }
  return n;
}

// Activates and sells Recibos receipts (-1: for ever): three items (one
// with a discount), sometimes an item cancelled and a discount on the
// total. A receipt left open by the previous child is cancelled first.
// Pronto is written once the driver is active.
[[noreturn]] void Vende(AmbienteNaoFiscal& a, int Recibos, int Pronto) {
  try {
    a.ecf.Ativar();
    if (::write(Pronto, "!", 1) != 1) ::_exit(4);
    for (int volta = 0; volta != Recibos; volta++) {
      if (a.ecf.Estado() != estLivre) a.ecf.CancelaCupom();
      a.ecf.AbreCupom();
      a.ecf.VendeItem("1", "ARROZ", "F", 1, 2.5 + volta % 7);
      a.ecf.VendeItem("2", "FEIJAO", "I", 3, 1.99, 10);
      a.ecf.VendeItem("3", "CAFE", "N", 0.5, 7.35);
      if (volta % 3 == 0) a.ecf.CancelaItemVendido(2);
      a.ecf.SubtotalizaCupom(volta % 2 ? -0.5 : 0);
      a.ecf.EfetuaPagamento("01", 5);
      a.ecf.EfetuaPagamento("01", 20);
      a.ecf.FechaCupom();
    }
    ::_exit(0);
  } catch (...) {
  }
  ::_exit(3);
}

// Starts the selling children from a process forked while the test's memory
// is small: a fork costs in proportion to the memory it copies, and a
// sanitizer build keeps freed memory for a while, so forking from the test
// itself would grow slower round after round.
class Vendedores {
 public:
  explicit Vendedores(AmbienteNaoFiscal& a) {
    if (::pipe(fPedido) != 0 || ::pipe(fResposta) != 0) throw std::runtime_error("pipe");
    fMatriz = ::fork();
    if (fMatriz < 0) throw std::runtime_error("fork");
    if (fMatriz == 0) Atende(a);
    ::close(fPedido[0]);
    ::close(fResposta[1]);
  }
  ~Vendedores() {
    ::close(fPedido[1]);  // the forking process ends
    ::close(fResposta[0]);
    ::waitpid(fMatriz, nullptr, 0);
  }
  Vendedores(const Vendedores&) = delete;
  Vendedores& operator=(const Vendedores&) = delete;

  /// A child that sells Recibos receipts; its id once its driver is active.
  pid_t Inicia(int Recibos) {
    if (::write(fPedido[1], &Recibos, sizeof Recibos) != sizeof Recibos) return -1;
    pid_t pid = -1;
    return ::read(fResposta[0], &pid, sizeof pid) == sizeof pid ? pid : -1;
  }
  /// The wait status of the child started last, once it has ended.
  int Fim() {
    int status = -1;
    return ::read(fResposta[0], &status, sizeof status) == sizeof status ? status : -1;
  }

 private:
  [[noreturn]] void Atende(AmbienteNaoFiscal& a) {
    ::close(fPedido[1]);
    ::close(fResposta[0]);
    int recibos = 0;
    while (::read(fPedido[0], &recibos, sizeof recibos) == sizeof recibos) {
      int pronto[2];
      if (::pipe(pronto) != 0) break;
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::close(pronto[0]);
        Vende(a, recibos, pronto[1]);
      }
      ::close(pronto[1]);
      char c;
      (void)!::read(pronto[0], &c, 1);  // active, or gone
      ::close(pronto[0]);
      int status = -1;
      if (::write(fResposta[1], &pid, sizeof pid) != sizeof pid) break;
      ::waitpid(pid, &status, 0);
      if (::write(fResposta[1], &status, sizeof status) != sizeof status) break;
    }
    ::_exit(0);
  }

  int fPedido[2];
  int fResposta[2];
  pid_t fMatriz = -1;
};

}  // namespace

// A child sells on a text-file printer and is killed at a random instant;
// the next activation must load every file, print what was left exactly
// once and leave no temporary file. In the end the paper holds every
// document the state counted, each once, and every receipt adds up. The
// folder is in memory when it can be: a kill leaves the page cache, so the
// order of the steps is tested the same without waiting for the disk.
TEST(NaoFiscalArquivo, KilledAtRandomInstantsThePaperAgreesWithTheState) {
  AmbienteNaoFiscal a(std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
  a.Ativa();
  a.ecf.Desativar();
  Vendedores vendedores(a);
  // Every activation starts the paper file again: what is on it is kept
  // before the next one.
  std::string papel = a.Papel();

  const pid_t medida = vendedores.Inicia(kRecibosMedidos);
  const auto inicio = std::chrono::steady_clock::now();
  ASSERT_GT(medida, 0);
  const int fimMedida = vendedores.Fim();
  ASSERT_TRUE(WIFEXITED(fimMedida) && WEXITSTATUS(fimMedida) == 0);
  const auto porRecibo = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::steady_clock::now() - inicio) / kRecibosMedidos;
  papel += a.Papel();
  std::uniform_int_distribution<int64_t> espera(0, kJanelaRecibos * porRecibo.count());
  std::mt19937 sorte(20261208);

  int carregados = 0, comTemporarios = 0, estadoDiverge = 0;
  int ultimoCOO = LePapel(papel).UltimoCOO;
  for (int volta = 0; volta < kMortes; volta++) {
    const pid_t pid = vendedores.Inicia(-1);
    ASSERT_GT(pid, 0);
    ::usleep(static_cast<useconds_t>(espera(sorte)));
    ::kill(pid, SIGKILL);
    const int fim = vendedores.Fim();
    ASSERT_TRUE(WIFSIGNALED(fim)) << "round " << volta << ": the child stopped by itself";

    std::string novo = a.Papel();
    try {
      a.ecf.Ativar();
      carregados++;
    } catch (const std::exception& e) {
      ADD_FAILURE() << "round " << volta << ": " << e.what();
      continue;
    }
    novo += a.Papel();
    papel += novo;
    comTemporarios += Temporarios(a) > 0;
    ultimoCOO = std::max(ultimoCOO, LePapel(novo).UltimoCOO);
    const auto& m = a.Driver().Memoria();
    estadoDiverge += m.COOFinal != m.NumCupom || m.NumCupom != ultimoCOO;
    a.ecf.Desativar();
  }
  const Papel p = LePapel(papel);
  const int numCupom =
      static_cast<int>(TZuvoIniFile(a.ArquivoINI()).ReadInteger("Variaveis", "NumCupom", -1));
  std::cout << "[ kills ] " << kMortes << " kills within " << kJanelaRecibos << " x "
            << porRecibo.count() << " us, " << carregados << " activations loaded, "
            << p.Documentos << " documents (" << numCupom << " counted), " << p.Repetidos
            << " printed twice, " << p.Recibos << " totals checked, " << p.ReciboErrado
            << " not adding up, " << comTemporarios << " rounds with temporary files, "
            << estadoDiverge << " rounds where state and paper differ\n";
  EXPECT_EQ(carregados, kMortes);
  EXPECT_EQ(p.Repetidos, 0) << p.Primeiro;
  EXPECT_EQ(p.ReciboErrado, 0) << p.Primeiro;
  EXPECT_EQ(comTemporarios, 0);
  EXPECT_EQ(estadoDiverge, 0);
  // Every number the state counted is on the paper, once.
  EXPECT_EQ(p.Documentos, numCupom);
  EXPECT_GT(p.Recibos, kMortes / 4) << "the kills came before any receipt was printed";
}
