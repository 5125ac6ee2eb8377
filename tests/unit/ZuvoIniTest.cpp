// INI files: reading hand-edited files, round trips that lose nothing, and
// the atomic save.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/ZuvoIni.h"

using namespace zuvo;

namespace {
std::string Temp(const std::string& nome) {
  std::string c = ::testing::TempDir() + "zuvoini_" + IntToStr(getpid()) + "_" + nome;
  std::remove(c.c_str());
  return c;
}
}  // namespace

TEST(Ini, ReadsAHandEditedFile) {
  TZuvoIniFile ini;
  ini.SetTexto(
      "; comentario\r\n"
      "solta=sem secao\n"
      "[Formato]\n"
      "001 = 1,2,3\n"
      "  [ Cabecalho ]  \n"
      "LIN000=   Nome da Empresa   \n"
      "LIN001=\"  centrado  \"\n"
      "\n"
      "[formato]\n"
      "237=4|5|6 fim\n"
      "sem_igual\n");
  EXPECT_EQ(ini.ReadSections(), (TStrings{"Formato", "Cabecalho"}));
  EXPECT_EQ(ini.ReadString("FORMATO", "001", "x"), "1,2,3");
  EXPECT_EQ(ini.ReadSectionValues("Formato"),
            (TStrings{"001=1,2,3", "237=4|5|6 fim", "sem_igual="}));
  EXPECT_EQ(ini.ReadString("Cabecalho", "LIN000", ""), "Nome da Empresa");
  EXPECT_EQ(ini.ReadString("Cabecalho", "LIN001", ""), "  centrado  ");
  EXPECT_EQ(ini.ReadString("Cabecalho", "LIN999", "padrao"), "padrao");
  EXPECT_FALSE(ini.SectionExists("nenhuma"));
  EXPECT_TRUE(ini.ValueExists("formato", "SEM_IGUAL"));
}

TEST(Ini, TypedValuesRoundTrip) {
  TZuvoIniFile ini;
  ini.WriteFloat("V", "SubTotal", 1234.5);
  ini.WriteInteger("V", "COO", 42);
  ini.WriteBool("V", "HorarioVerao", true);
  ini.WriteDate("V", "Dia", EncodeDate(2026, 12, 7) + 0.75);
  ini.WriteString("V", "Texto", "  com bordas ");
  ini.WriteString("V", "Quebra", "a\r\nb");
  EXPECT_EQ(ini.ReadString("V", "SubTotal", ""), "1234,5");

  TZuvoIniFile lido;
  lido.SetTexto(ini.Texto());
  EXPECT_DOUBLE_EQ(lido.ReadFloat("V", "SubTotal", 0), 1234.5);
  EXPECT_EQ(lido.ReadInteger("V", "COO", 0), 42);
  EXPECT_TRUE(lido.ReadBool("V", "HorarioVerao", false));
  EXPECT_DOUBLE_EQ(lido.ReadDate("V", "Dia", 0), EncodeDate(2026, 12, 7));
  EXPECT_EQ(lido.ReadString("V", "Texto", ""), "  com bordas ");
  EXPECT_EQ(lido.ReadString("V", "Quebra", ""), "a  b");
  // Bad values give the default, never an exception.
  lido.WriteString("V", "Ruim", "abc");
  EXPECT_EQ(lido.ReadInteger("V", "Ruim", 7), 7);
  EXPECT_DOUBLE_EQ(lido.ReadFloat("V", "Ruim", 1.5), 1.5);
  EXPECT_TRUE(lido.ReadBool("V", "Ruim", true));
  EXPECT_DOUBLE_EQ(lido.ReadDate("V", "Ruim", 3), 3);
  EXPECT_DOUBLE_EQ(lido.ReadFloat("V", "Ponto", 0), 0);
  lido.WriteString("V", "Ponto", "2.5");
  EXPECT_DOUBLE_EQ(lido.ReadFloat("V", "Ponto", 0), 2.5);

  lido.DeleteKey("v", "coo");
  EXPECT_FALSE(lido.ValueExists("V", "COO"));
  lido.EraseSection("v");
  EXPECT_TRUE(lido.ReadSections().empty());
}

TEST(Ini, SavesAtomicallyAndReadsBack) {
  const std::string caminho = Temp("estado.ini");
  {
    TZuvoIniFile ini(caminho);
    EXPECT_TRUE(ini.ReadSections().empty());
    ini.WriteString("Variaveis", "Estado", "2");
    ini.UpdateFile();
  }
  EXPECT_TRUE(ArquivoExiste(caminho));
  EXPECT_EQ(LeArquivo(caminho), "[Variaveis]\r\nEstado=2\r\n");
  {
    TZuvoIniFile ini(caminho);
    EXPECT_EQ(ini.ReadString("Variaveis", "Estado", ""), "2");
    ini.WriteString("Variaveis", "Estado", "3");
    ini.UpdateFile();
  }
  EXPECT_EQ(TZuvoIniFile(caminho).ReadString("Variaveis", "Estado", ""), "3");
  // No temporary file is left behind.
  EXPECT_FALSE(ArquivoExiste(caminho + ".tmp" + IntToStr(getpid())));

  // A folder that cannot be written: a clear error, the old file untouched.
  TZuvoIniFile semPasta("/nao/existe/estado.ini");
  semPasta.WriteString("a", "b", "c");
  try {
    semPasta.UpdateFile();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Erro gravando: /nao/existe/estado.ini\r\n", 0), 0u);
  }
  std::remove(caminho.c_str());
}
