// The emulator's state file and print buffer: first use, the machine number,
// what survives a restart, hand edits, the document left in the buffer by a
// crash, and the crash itself at every step of writing a document.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
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
// files it leaves must load, hold the state before or after the operation,
// and the body left in the buffer is printed exactly once.
TEST(NaoFiscalArquivo, ACrashAtAnyStepLeavesAConsistentState) {
  struct Caso {
    const char* Passo;
    bool Depois;  // the state file already holds the new state
  };
  for (Caso c : {Caso{"GravaBuffer", false}, Caso{"GravaArqINI", true}}) {
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
    EXPECT_EQ(ini.ReadInteger("Variaveis", "NumCupom", -1), c.Depois ? 1 : 0);
    EXPECT_EQ(ini.ReadInteger("Variaveis", "Estado", -1), c.Depois ? estRelatorio : estLivre);
    a.ecf.Ativar();
    EXPECT_EQ(Conta(a.Papel(), "RELATORIO GERENCIAL"), 1);
    a.ecf.Desativar();
    a.ecf.Ativar();
    EXPECT_EQ(Conta(a.Papel(), "RELATORIO GERENCIAL"), 0);
  }
}

// Killed at random moments while selling, the child always leaves a state
// file that loads.
TEST(NaoFiscalArquivo, AKillAtARandomMomentLeavesAFileThatLoads) {
  AmbienteNaoFiscal a;
  a.Ativa();
  a.ecf.Desativar();
  for (int volta = 0; volta < 12; volta++) {
    pid_t filho = ::fork();
    ASSERT_GE(filho, 0);
    if (filho == 0) {
      try {
        a.ecf.Ativar();
        for (;;) {
          if (a.ecf.Estado() != estLivre) a.ecf.CancelaCupom();
          a.ecf.AbreCupom();
          a.ecf.VendeItem("1", "ITEM", "F", 1, 2);
          a.ecf.SubtotalizaCupom();
          a.ecf.EfetuaPagamento("01", 2);
          a.ecf.FechaCupom();
        }
      } catch (...) {
      }
      ::_exit(3);
    }
    ::usleep(static_cast<useconds_t>(2000 + 1700 * volta));
    ::kill(filho, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(filho, &status, 0), filho);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself";
    ASSERT_NO_THROW(a.ecf.Ativar()) << "round " << volta;
    const auto& m = a.Driver().Memoria();
    EXPECT_EQ(m.COOFinal, m.NumCupom);
    EXPECT_EQ(m.Aliquotas.size(), 3u);
    a.ecf.Desativar();
  }
}
