// What the emulator leaves behind when printing or saving fails: memory and
// state file go back to the snapshot, the error reaches the caller, and the
// buffer does not keep a document that was refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/ZuvoIni.h"
#include "support/NaoFiscalAmbiente.h"

using namespace zuvo;
using teste::AmbienteNaoFiscal;
namespace fs = std::filesystem;

namespace {

// While alive, the path cannot be written (a directory stands in its place);
// the file's contents come back afterwards.
class Bloqueio {
 public:
  explicit Bloqueio(std::string Caminho) : fCaminho(std::move(Caminho)) {
    if (fs::exists(fCaminho)) fs::rename(fCaminho, fCaminho + ".guardado");
    fs::create_directory(fCaminho);
  }
  ~Bloqueio() {
    fs::remove_all(fCaminho);
    if (fs::exists(fCaminho + ".guardado")) fs::rename(fCaminho + ".guardado", fCaminho);
  }
  Bloqueio(const Bloqueio&) = delete;
  Bloqueio& operator=(const Bloqueio&) = delete;

 private:
  std::string fCaminho;
};

class NaoFiscalFalhas : public ::testing::Test {
 protected:
  void SetUp() override { a.Ativa(); }
  int64_t NoArquivo(const char* Chave) {
    return TZuvoIniFile(a.ArquivoINI()).ReadInteger("Variaveis", Chave, -1);
  }
  AmbienteNaoFiscal a;
};

}  // namespace

TEST_F(NaoFiscalFalhas, ARefusedPortUndoesTheOpeningOfAReceipt) {
  {
    Bloqueio porta(a.ArquivoPapel());
    EXPECT_THROW(a.ecf.AbreCupom(), Exception);
  }
  EXPECT_EQ(a.ecf.Estado(), estLivre);
  EXPECT_EQ(a.ecf.NumCupom(), "000000");
  EXPECT_EQ(NoArquivo("NumCupom"), 0);
  EXPECT_EQ(NoArquivo("Estado"), estLivre);
  EXPECT_EQ(LeArquivo(a.ArquivoBUF()), "");
  // Nothing is printed twice at the next activation either.
  a.ecf.Desativar();
  a.ecf.Ativar();
  EXPECT_EQ(a.Papel(), "\x1b@\x0f");
  a.ecf.AbreCupom();
  EXPECT_EQ(a.ecf.NumCupom(), "000001");
}

TEST_F(NaoFiscalFalhas, ReceiptStepsThatCannotPrintAreNotReportedAsDone) {
  a.ecf.AbreCupom();
  a.ecf.VendeItem("1", "A", "F", 1, 10);
  {
    Bloqueio porta(a.ArquivoPapel());
    EXPECT_THROW(a.ecf.VendeItem("2", "B", "F", 1, 5), Exception);
    EXPECT_THROW(a.ecf.CancelaItemVendido(1), Exception);
    EXPECT_THROW(a.ecf.SubtotalizaCupom(-1), Exception);
  }
  EXPECT_DOUBLE_EQ(a.ecf.SubTotal(), 10);
  EXPECT_EQ(a.Driver().Memoria().ItensCupom.size(), 1u);
  EXPECT_EQ(a.ecf.Estado(), estVenda);
  a.ecf.SubtotalizaCupom();
  {
    Bloqueio porta(a.ArquivoPapel());
    EXPECT_THROW(a.ecf.EfetuaPagamento("01", 20), Exception);
    EXPECT_DOUBLE_EQ(a.ecf.TotalPago(), 0);
  }
  a.ecf.EfetuaPagamento("01", 20);
  {
    Bloqueio porta(a.ArquivoPapel());
    EXPECT_THROW(a.ecf.FechaCupom(), Exception);
  }
  EXPECT_EQ(a.ecf.Estado(), estPagamento);
  a.ecf.FechaCupom();
  EXPECT_EQ(a.ecf.Estado(), estLivre);
}

TEST_F(NaoFiscalFalhas, AFailedSaveRestoresMemoryAndRaises) {
  a.ecf.AbreCupom();
  {
    Bloqueio arquivo(a.ArquivoINI());
    EXPECT_THROW(a.ecf.VendeItem("1", "A", "F", 1, 10), Exception);
    EXPECT_DOUBLE_EQ(a.ecf.SubTotal(), 0);
    EXPECT_TRUE(a.Driver().Memoria().ItensCupom.empty());
    EXPECT_DOUBLE_EQ(a.Driver().Memoria().Aliquotas[0].TotalDia, 0);
    EXPECT_THROW(a.ecf.ProgramaAliquota(18), Exception);
    EXPECT_EQ(a.Driver().Memoria().Aliquotas.size(), 3u);
    EXPECT_THROW(a.ecf.ProgramaFormaPagamento("CHEQUE"), Exception);
    EXPECT_EQ(a.Driver().Memoria().FormasPagamento.size(), 1u);
    EXPECT_THROW(a.ecf.ProgramaComprovanteNaoFiscal("SANGRIA"), Exception);
    EXPECT_TRUE(a.Driver().Memoria().ComprovantesNaoFiscais.empty());
    EXPECT_THROW(a.ecf.MudaHorarioVerao(), Exception);
    EXPECT_FALSE(a.ecf.HorarioVerao());
  }
  a.ecf.VendeItem("1", "A", "F", 1, 10);
  a.ecf.SubtotalizaCupom();
  a.ecf.EfetuaPagamento("01", 10);
  {
    Bloqueio arquivo(a.ArquivoINI());
    EXPECT_THROW(a.ecf.FechaCupom(), Exception);
    EXPECT_EQ(a.Driver().Memoria().Estado, estPagamento);
  }
  a.ecf.FechaCupom();
  EXPECT_EQ(NoArquivo("Estado"), estLivre);
}

// The print fails after the state was saved: the file is put back too, so
// file and memory agree.
TEST_F(NaoFiscalFalhas, APrintFailingAfterTheSaveRestoresTheFile) {
  a.ecf.AbreCupom();
  a.ecf.VendeItem("1", "A", "F", 1, 10);
  a.ecf.SubtotalizaCupom();
  a.ecf.EfetuaPagamento("01", 10);
  a.ecf.FechaCupom();
  const std::string antes = LeArquivo(a.ArquivoINI());
  a.Driver().OnPasso = [this](const std::string& p) {
    if (p == "GravaArqINI") {
      fs::remove(a.ArquivoPapel());
      fs::create_directory(a.ArquivoPapel());
    }
  };
  EXPECT_THROW(a.ecf.CancelaCupom(), Exception);
  EXPECT_EQ(LeArquivo(a.ArquivoINI()), antes);
  EXPECT_EQ(a.ecf.NumCupom(), "000001");
  EXPECT_EQ(a.Driver().Memoria().CuponsCancelados, 0);
  EXPECT_DOUBLE_EQ(a.Driver().Memoria().Aliquotas[0].TotalDia, 10);
  EXPECT_EQ(LeArquivo(a.ArquivoBUF()), "");

  EXPECT_THROW(a.ecf.LeituraX(), Exception);
  EXPECT_EQ(LeArquivo(a.ArquivoINI()), antes);
  EXPECT_EQ(a.Driver().Memoria().LeiturasX, 0);
  EXPECT_EQ(a.Driver().Memoria().ItensCupom.size(), 1u);

  a.Driver().OnPasso = nullptr;
  fs::remove_all(a.ArquivoPapel());
  a.ecf.CancelaCupom();
  EXPECT_EQ(a.Driver().Memoria().CuponsCancelados, 1);
  EXPECT_DOUBLE_EQ(a.Driver().Memoria().Aliquotas[0].TotalDia, 0);
}

namespace {
// A printer whose ready line can be dropped (paper out, cable loose).
class NaoFiscalSemSinal : public TZuvoECFNaoFiscal {
 public:
  using TZuvoECFNaoFiscal::TZuvoECFNaoFiscal;
  bool EmLinha(int) override { return Pronta; }
  bool Pronta = true;
};
}  // namespace

TEST(NaoFiscalFalhasSinal, APrinterThatNeverGetsReadyEndsInAnErrorAfterTheTimeOut) {
  AmbienteNaoFiscal a;
  a.ecf.SubstituiDriver(std::make_unique<NaoFiscalSemSinal>(a.ecf.Device(), a.ecf.Config()));
  a.Ativa();
  auto& driver = dynamic_cast<NaoFiscalSemSinal&>(a.ecf.ECF());
  driver.Pronta = false;
  const int64_t inicio = a.amb.Plataforma.MonotonicoMs();
  try {
    a.ecf.LinhaRelatorioGerencial("LINHA");
    FAIL() << "waited on a printer that is not ready and reported success";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Impressora: NaoFiscal não está pronta.");
  }
  EXPECT_GE(a.amb.Plataforma.MonotonicoMs() - inicio, 1000);
  EXPECT_FALSE(a.ecf.AguardandoResposta());
  EXPECT_THROW(a.ecf.AbreCupom(), Exception);
  EXPECT_EQ(a.ecf.NumCupom(), "000000");
  // Not ready at activation: the emulator stays inactive.
  a.ecf.Desativar();
  EXPECT_THROW(a.ecf.Ativar(), Exception);
  EXPECT_FALSE(a.ecf.Ativo());
}
