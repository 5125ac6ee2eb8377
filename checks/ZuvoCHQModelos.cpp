#include "checks/ZuvoCHQModelos.h"

#include "core/ZuvoIni.h"
#include "core/ZuvoPlataforma.h"
#include "core/ZuvoUtil.h"

namespace zuvo {

namespace {

const char* const kSecao = "Formato";
const char* const kArquivoPadrao = "BemaFi32.ini";

// The layouts used when there is no settings file, as its lines would read.
const char* const kModelosPadrao[][2] = {
    {"000", "51,04,01,05,06,60,65,81,01,06,08,11,14"},
    {"001", "51,10,01,06,18,50,54,71,02,05,08,10,12"},
    {"003", "49,08,01,05,18,52,55,72,01,05,07,09,12"},
    {"004", "52,09,01,05,18,50,53,72,02,06,09,11,13"},
    {"006", "56,10,01,05,15,43,48,72,01,06,08,10,13"},
    {"008", "56,17,01,07,18,50,55,71,03,06,09,11,13"},
    {"021", "52,12,01,04,18,49,53,71,02,07,09,11,13"},
    {"022", "52,07,01,04,15,44,49,71,02,06,08,10,13"},
    {"024", "51,07,01,05,18,48,52,72,01,05,07,09,12"},
    {"027", "52,12,01,06,18,45,55,71,01,05,08,10,12"},
    {"028", "55,06,01,05,18,50,53,71,01,05,08,10,12"},
    {"029", "55,12,01,04,18,50,55,72,01,06,08,10,13"},
    {"031", "55,13,01,04,18,45,49,69,01,05,08,10,12"},
    {"032", "56,14,01,04,18,45,49,71,02,05,07,09,12"},
    {"033", "48,17,01,06,18,46,50,71,02,06,08,11,13"},
    {"034", "49,14,01,04,15,45,57,71,01,05,07,09,11"},
    {"035", "59,07,01,06,18,52,56,72,02,06,08,10,13"},
    {"036", "58,11,01,05,18,50,53,72,02,06,08,10,12"},
    {"037", "58,08,01,05,18,51,54,72,02,06,08,10,12"},
    {"038", "56,10,01,04,18,51,56,72,02,07,10,12,14"},
    {"039", "49,24,01,04,18,45,56,70,01,05,07,09,11"},
    {"041", "56,09,01,04,18,54,61,72,03,07,09,12,14"},
    {"047", "52,08,01,05,18,47,50,72,01,05,07,10,12"},
    {"048", "54,12,01,04,18,45,49,68,02,05,08,10,13"},
    {"059", "50,15,01,05,18,55,59,72,01,05,07,09,11"},
    {"070", "54,05,01,05,18,48,52,72,02,06,08,10,12"},
    {"104", "56,13,01,04,18,48,53,72,01,04,07,10,12"},
    {"106", "52,12,01,05,18,52,55,71,02,07,09,11,13"},
    {"151", "54,06,01,04,18,47,52,71,01,05,07,10,12"},
    {"153", "51,09,01,05,18,51,55,72,01,05,08,10,13"},
    {"168", "53,05,01,05,18,54,57,71,02,06,08,11,13"},
    {"200", "52,06,01,05,18,47,52,71,01,05,07,10,12"},
    {"201", "52,11,01,04,18,47,51,71,01,05,07,09,11"},
    {"206", "56,14,01,06,18,53,56,72,01,06,08,10,13"},
    {"207", "50,04,01,05,18,48,52,71,02,06,08,11,13"},
    {"211", "48,11,01,05,18,52,56,71,03,07,09,12,14"},
    {"215", "55,06,01,05,18,51,54,71,02,05,08,10,13"},
    {"220", "56,09,01,05,18,49,53,71,02,05,08,10,12"},
    {"230", "50,12,01,05,18,54,58,71,02,05,08,10,13"},
    {"231", "52,12,01,05,18,53,58,72,02,06,08,10,12"},
    {"237", "50,01,01,04,18,50,54,71,02,06,09,11,14"},
    {"244", "48,14,01,04,18,49,53,71,03,06,09,11,13"},
    {"254", "51,09,01,05,18,53,56,71,01,05,08,11,14"},
    {"275", "51,07,01,04,18,46,52,68,03,08,10,12,14"},
    {"282", "56,12,01,05,18,50,54,71,02,06,08,10,13"},
    {"291", "52,12,01,05,18,47,49,71,02,06,08,10,12"},
    {"294", "50,05,01,05,18,54,56,71,02,05,07,10,12"},
    {"302", "51,07,01,05,18,47,51,71,02,06,08,10,13"},
    {"308", "57,11,01,06,18,47,50,72,02,06,08,10,12"},
    {"320", "54,06,01,04,18,48,51,72,02,05,08,10,13"},
    {"334", "54,06,01,04,18,54,57,71,02,06,08,10,12"},
    {"341", "54,08,01,05,18,50,54,72,02,06,09,12,15"},
    {"346", "54,12,01,05,18,54,57,71,02,05,08,10,12"},
    {"347", "53,15,01,04,18,47,51,72,02,06,09,11,14"},
    {"351", "52,14,01,05,18,55,58,72,01,05,07,10,12"},
    {"353", "52,07,01,05,18,53,58,71,02,05,07,10,12"},
    {"356", "52,11,01,04,18,45,49,71,01,05,07,10,12"},
    {"369", "47,07,01,05,18,51,55,71,02,06,08,10,12"},
    {"370", "52,06,01,05,18,47,50,71,01,05,07,10,12"},
    {"372", "51,07,01,04,18,46,49,71,02,06,08,11,13"},
    {"376", "54,07,01,04,18,54,58,72,02,06,08,10,12"},
    {"388", "46,09,01,06,18,48,52,72,02,06,09,11,14"},
    {"389", "52,06,01,05,18,53,58,72,02,07,09,12,14"},
    {"392", "49,12,01,05,18,54,58,72,02,05,07,11,13"},
    {"394", "51,05,01,05,18,51,55,71,01,05,07,09,13"},
    {"399", "54,12,01,04,18,52,57,72,01,05,07,10,12"},
    {"409", "55,12,01,04,23,52,58,71,04,07,09,11,13"},
    {"415", "54,12,01,06,18,50,54,72,03,07,10,12,14"},
    {"420", "54,08,01,04,18,50,54,72,02,06,08,10,13"},
    {"422", "58,17,03,07,18,52,58,72,03,06,08,11,13"},
    {"424", "58,12,01,04,18,50,55,71,02,06,09,11,13"},
    {"434", "56,08,01,05,18,50,54,72,02,06,09,11,13"},
    {"453", "54,12,01,05,18,51,56,72,03,07,10,12,14"},
    {"456", "48,11,01,05,18,47,50,71,02,06,08,10,12"},
    {"464", "51,16,01,05,18,56,58,72,02,06,09,11,13"},
    {"472", "53,12,01,05,18,50,53,71,02,06,09,10,14"},
    {"477", "55,08,01,05,18,52,57,72,03,07,09,11,14"},
    {"479", "53,07,01,05,18,50,53,71,02,06,08,10,12"},
    {"483", "52,08,01,05,18,47,50,71,02,05,07,09,11"},
    {"487", "58,17,01,05,18,48,52,72,02,06,08,11,13"},
    {"494", "51,09,01,05,18,50,53,71,02,06,08,10,13"},
    {"602", "56,10,01,03,18,47,52,66,02,05,07,10,13"},
    {"603", "52,05,01,02,18,51,56,72,03,08,10,13,17"},
    {"607", "51,09,01,05,18,53,56,72,02,05,08,10,12"},
    {"610", "55,15,01,05,18,53,58,71,01,06,08,10,12"},
    {"630", "49,05,01,05,18,47,52,71,01,06,08,10,13"},
    {"718", "51,07,01,05,18,48,53,71,01,06,08,10,13"},
    {"756", "51,10,01,06,18,50,54,71,02,05,08,10,12"},
    {"995", "44,10,01,03,32,30,30,25,20,04,06,09,10"},
    {"996", "61,10,01,03,57,30,30,25,16,04,06,09,02"},
};

// One "key=value" line of section "Formato" as a layout; false when the
// line is not a bank code followed by exactly 13 integers.
bool LeLinha(const std::string& Linha, TZuvoCHQModelo& Modelo) {
  const std::string linha = StringReplace(Linha, "|", ",");
  if (ContaOcorrencias(linha, "=") != 1 || ContaOcorrencias(linha, ",") != 12) return false;
  const int igual = Pos("=", linha);
  std::string resto = Copy(linha, igual + 1);
  std::array<int, 13> numeros{};
  try {
    for (int i = 0; i < 12; i++) {
      const int virgula = Pos(",", resto);
      numeros[static_cast<size_t>(i)] = static_cast<int>(StrToInt(Trim(Copy(resto, 1, virgula - 1))));
      resto = Copy(resto, virgula + 1);
    }
    // Whatever follows a blank after the last number is a comment.
    std::string ultimo = TrimLeft(resto);
    const int branco = Pos(" ", ultimo);
    if (branco > 0) ultimo = Copy(ultimo, 1, branco - 1);
    numeros[12] = static_cast<int>(StrToInt(Trim(ultimo)));
  } catch (const Exception&) {
    return false;
  }
  Modelo.Banco = Trim(Copy(linha, 1, igual - 1));
  Modelo.SetParametros(numeros);
  return true;
}

std::string ErroLeitura(const std::string& Arquivo, const std::string& Erro) {
  return "Erro lendo arquivo: " + Arquivo + "\r\n" + Erro + "\r\n" +
         "(Valores padrões serão utilizados.)";
}

}  // namespace

std::array<int, 13> TZuvoCHQModelo::Parametros() const {
  return {Parametro01, Parametro02, Parametro03, Parametro04, Parametro05, Parametro06, Parametro07,
          Parametro08, Parametro09, Parametro10, Parametro11, Parametro12, Parametro13};
}

void TZuvoCHQModelo::SetParametros(const std::array<int, 13>& P) {
  Parametro01 = P[0];
  Parametro02 = P[1];
  Parametro03 = P[2];
  Parametro04 = P[3];
  Parametro05 = P[4];
  Parametro06 = P[5];
  Parametro07 = P[6];
  Parametro08 = P[7];
  Parametro09 = P[8];
  Parametro10 = P[9];
  Parametro11 = P[10];
  Parametro12 = P[11];
  Parametro13 = P[12];
}

std::string TZuvoCHQModelos::ArquivoPadrao() {
  return PlataformaAtual().PastaPrograma() + kArquivoPadrao;
}

TZuvoCHQModelo& TZuvoCHQModelos::Add(std::unique_ptr<TZuvoCHQModelo> Modelo) {
  fModelos.push_back(std::move(Modelo));
  return *fModelos.back();
}

TZuvoCHQModelo& TZuvoCHQModelos::Objects(int Index) const {
  if (Index < 0 || Index >= Count())
    throw Exception("Índice fora dos limites da lista (" + IntToStr(Index) + ")");
  return *fModelos[static_cast<size_t>(Index)];
}

int TZuvoCHQModelos::LeArquivo(const std::string& Arquivo) {
  TZuvoIniFile ini(Arquivo);
  if (!ArquivoExiste(Arquivo)) {
    // Only the copy in memory: the file on disk is never written here.
    for (const auto& m : kModelosPadrao) ini.WriteString(kSecao, m[0], m[1]);
  }
  int lidos = 0;
  for (const std::string& linha : ini.ReadSectionValues(kSecao)) {
    auto modelo = std::make_unique<TZuvoCHQModelo>();
    if (!LeLinha(linha, *modelo)) continue;
    Add(std::move(modelo));
    lidos++;
  }
  return lidos;
}

void TZuvoCHQModelos::CarregaModelos() {
  std::string arquivo = ArquivoPadrao();
  std::string erro;
  std::string arquivoErro;
  if (!fArquivo.empty()) {
    if (ArquivoExiste(fArquivo)) {
      arquivo = fArquivo;
    } else {
      erro = "Arquivo não encontrado.";
      arquivoErro = fArquivo;
      fArquivo.clear();
    }
  }

  Clear();
  if (LeArquivo(arquivo) == 0 && ArquivoExiste(arquivo)) {
    erro = "Formatação do arquivo não está correta \r\nUse o mesmo formato do arquivo "
           "BemaFI32.INI da Bematech ";
    arquivoErro = arquivo;
    if (arquivo != ArquivoPadrao()) {
      Clear();
      LeArquivo(ArquivoPadrao());
    }
  }
  if (!erro.empty()) throw Exception(ErroLeitura(arquivoErro, erro));
}

TZuvoCHQModelo* TZuvoCHQModelos::AchaBanco(const std::string& Banco) {
  if (fModelos.empty()) CarregaModelos();
  const std::string codigo = InteiroZeros(StrToInt(Banco), 3);
  for (auto& m : fModelos)
    if (m->Banco == codigo) return m.get();
  if (codigo != "000") return AchaBanco("000");
  return nullptr;
}

}  // namespace zuvo
