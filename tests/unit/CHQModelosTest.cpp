// Bank-check layouts: the built-in set, the settings file beside the
// program, malformed lines and the fall-back to bank "000".
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "checks/ZuvoCHQModelos.h"
#include "core/ZuvoUtil.h"
#include "support/PlataformaTeste.h"

using namespace zuvo;
using zuvo::teste::AmbienteTeste;

namespace {

class CHQModelos : public ::testing::Test {
 protected:
  void SetUp() override {
    char modelo[] = "/tmp/chqmodelos_XXXXXX";
    ASSERT_NE(mkdtemp(modelo), nullptr);
    fPasta = std::string(modelo) + "/";
    amb.Plataforma.SetPasta(fPasta);
  }
  void TearDown() override {
    for (const char* f : {"BemaFi32.ini", "outro.ini"}) unlink((fPasta + f).c_str());
    rmdir(fPasta.c_str());
  }
  void Grava(const std::string& Nome, const std::string& Texto) {
    std::ofstream(fPasta + Nome, std::ios::binary) << Texto;
  }
  std::string Erro(const std::string& Arquivo, const std::string& Texto) {
    return "Erro lendo arquivo: " + Arquivo + "\r\n" + Texto + "\r\n" +
           "(Valores padrões serão utilizados.)";
  }

  AmbienteTeste amb;
  std::string fPasta;
  TZuvoCHQModelos modelos;
};

}  // namespace

TEST_F(CHQModelos, BuiltInSetWhenThereIsNoFile) {
  TZuvoCHQModelo* um = modelos.AchaBanco("1");
  ASSERT_NE(um, nullptr);
  EXPECT_EQ(modelos.Count(), 90);
  EXPECT_EQ(um, modelos.AchaBanco("001"));
  EXPECT_EQ(um->Banco, "001");
  EXPECT_EQ(um->Parametros(),
            (std::array<int, 13>{51, 10, 1, 6, 18, 50, 54, 71, 2, 5, 8, 10, 12}));
  EXPECT_EQ(um->Parametro01, 51);
  EXPECT_EQ(um->Parametro13, 12);

  TZuvoCHQModelo* desconhecido = modelos.AchaBanco("999");
  ASSERT_NE(desconhecido, nullptr);
  EXPECT_EQ(desconhecido->Banco, "000");
  EXPECT_EQ(modelos.AchaBanco("996")->Parametro05, 57);

  try {
    modelos.AchaBanco("ITAU");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "'ITAU' não é um valor inteiro válido");
  }
  // The file on disk is never written.
  EXPECT_FALSE(std::ifstream(fPasta + "BemaFi32.ini").good());
}

TEST_F(CHQModelos, FileLinesAreCheckedOneByOne) {
  Grava("BemaFi32.ini",
        "[Outra]\r\n341=1,1,1,1,1,1,1,1,1,1,1,1,1\r\n"
        "[Formato]\r\n"
        "000=51,04,01,05,06,60,65,81,01,06,08,11,14\r\n"
        "341=54|08|01|05|18|50|54|72|02|06|09|12|15 Itau Unibanco\r\n"
        "237=50,01,01,04,18,50,54,71,02,06,09,11\r\n"
        "001=51,10,01,06,18,50,54,71,02,05,08,10,XX\r\n"
        "104= 56 ,13,01,04,18,48,53,72,01,04,07,10,12\r\n");
  TZuvoCHQModelo* itau = modelos.AchaBanco("341");
  ASSERT_NE(itau, nullptr);
  EXPECT_EQ(modelos.Count(), 3);
  EXPECT_EQ(itau->Parametros(),
            (std::array<int, 13>{54, 8, 1, 5, 18, 50, 54, 72, 2, 6, 9, 12, 15}));
  EXPECT_EQ(modelos.AchaBanco("104")->Parametro01, 56);
  // Twelve numbers and a number with letters: skipped, so "000" answers.
  EXPECT_EQ(modelos.AchaBanco("237")->Banco, "000");
  EXPECT_EQ(modelos.AchaBanco("1")->Banco, "000");
}

TEST_F(CHQModelos, AFileWithoutValidLinesFailsEveryLookUp) {
  Grava("BemaFi32.ini", "[Formato]\r\n001=1,2,3\r\n");
  const std::string esperado =
      Erro(fPasta + "BemaFi32.ini",
           "Formatação do arquivo não está correta \r\nUse o mesmo formato do arquivo "
           "BemaFI32.INI da Bematech ");
  for (int i = 0; i < 2; i++) {
    try {
      modelos.AchaBanco("1");
      FAIL();
    } catch (const Exception& e) {
      EXPECT_EQ(e.what(), esperado);
    }
    EXPECT_EQ(modelos.Count(), 0);
  }
  // Once the file is fixed, the next look-up reads it.
  Grava("BemaFi32.ini", "[Formato]\r\n001=1,2,3,4,5,6,7,8,9,10,11,12,13\r\n");
  EXPECT_EQ(modelos.AchaBanco("1")->Parametro12, 12);
  // No "000" in the file and no layout of the bank: none.
  EXPECT_EQ(modelos.AchaBanco("2"), nullptr);
}

TEST_F(CHQModelos, AConfiguredFileFallsBackToTheDefault) {
  modelos.SetArquivo(fPasta + "falta.ini");
  try {
    modelos.CarregaModelos();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.what(), Erro(fPasta + "falta.ini", "Arquivo não encontrado."));
  }
  EXPECT_EQ(modelos.Count(), 90);
  EXPECT_EQ(modelos.Arquivo(), "");

  // A configured file without valid lines: the default one is read instead.
  Grava("outro.ini", "[Formato]\r\nlixo\r\n");
  Grava("BemaFi32.ini", "[Formato]\r\n000=1,2,3,4,5,6,7,8,9,10,11,12,13\r\n");
  modelos.SetArquivo(fPasta + "outro.ini");
  EXPECT_THROW(modelos.CarregaModelos(), Exception);
  ASSERT_EQ(modelos.Count(), 1);
  EXPECT_EQ(modelos.AchaBanco("341")->Banco, "000");
}
