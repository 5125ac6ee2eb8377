#include "core/ZuvoIni.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zuvo {

namespace {

[[noreturn]] void ErroGravando(const std::string& Caminho, const std::string& Chamada, int Erro) {
  throw Exception("Erro gravando: " + Caminho + CRLF + std::strerror(Erro) + " (" + Chamada + ")");
}

// Values are read as the private-profile format reads them: surrounding
// blanks go, and a value wrapped in double quotes keeps what is inside.
std::string ValorLido(const std::string& Bruto) {
  size_t i = Bruto.find_first_not_of(" \t");
  if (i == std::string::npos) return "";
  size_t f = Bruto.find_last_not_of(" \t");
  std::string v = Bruto.substr(i, f - i + 1);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return v;
}

// A value whose blanks at either end matter, or that is itself quoted, is
// written in quotes so that it reads back unchanged.
std::string ValorGravado(const std::string& Valor) {
  if (Valor.empty()) return Valor;
  bool bordas = Valor.front() == ' ' || Valor.front() == '\t' || Valor.back() == ' ' ||
                Valor.back() == '\t';
  bool aspas = Valor.size() >= 2 && Valor.front() == '"' && Valor.back() == '"';
  return bordas || aspas ? "\"" + Valor + "\"" : Valor;
}

std::string Pasta(const std::string& Caminho) {
  auto barra = Caminho.rfind('/');
  return barra == std::string::npos ? "." : (barra == 0 ? "/" : Caminho.substr(0, barra));
}

// The temporary file beside Caminho: its name and the writer's process id.
const char* const kSufixoTemporario = ".tmp";
std::string Temporario(const std::string& Caminho) {
  return Caminho + kSufixoTemporario + IntToStr(::getpid());
}

}  // namespace

void GravaArquivoSeguro(const std::string& Caminho, const std::string& Conteudo) {
  // The new contents go to a temporary file beside the old one; only a
  // complete, flushed file is renamed over it, so a crash at any moment
  // leaves either the old file or the new one.
  std::string temporario = Temporario(Caminho);
  int fd = ::open(temporario.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) ErroGravando(Caminho, "open", errno);
  size_t feito = 0;
  while (feito < Conteudo.size()) {
    ssize_t n = ::write(fd, Conteudo.data() + feito, Conteudo.size() - feito);
    if (n < 0) {
      if (errno == EINTR) continue;
      int erro = errno;
      ::close(fd);
      ::unlink(temporario.c_str());
      ErroGravando(Caminho, "write", erro);
    }
    feito += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) {
    int erro = errno;
    ::close(fd);
    ::unlink(temporario.c_str());
    ErroGravando(Caminho, "fsync", erro);
  }
  if (::close(fd) != 0) {
    int erro = errno;
    ::unlink(temporario.c_str());
    ErroGravando(Caminho, "close", erro);
  }
  if (::rename(temporario.c_str(), Caminho.c_str()) != 0) {
    int erro = errno;
    ::unlink(temporario.c_str());
    ErroGravando(Caminho, "rename", erro);
  }
  // The rename itself reaches the disk with the folder.
  int pasta = ::open(Pasta(Caminho).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (pasta >= 0) {
    ::fsync(pasta);
    ::close(pasta);
  }
}

void RemoveTemporarios(const std::string& Caminho) {
  const std::string pasta = Pasta(Caminho);
  const auto barra = Caminho.rfind('/');
  const std::string prefixo =
      (barra == std::string::npos ? Caminho : Caminho.substr(barra + 1)) + kSufixoTemporario;
  DIR* d = ::opendir(pasta.c_str());
  if (!d) return;
  std::vector<std::string> achados;
  while (const dirent* e = ::readdir(d)) {
    const std::string nome = e->d_name;
    if (nome.size() > prefixo.size() && nome.compare(0, prefixo.size(), prefixo) == 0 &&
        SoDigitos(nome.substr(prefixo.size())) == nome.substr(prefixo.size()))
      achados.push_back(nome);
  }
  ::closedir(d);
  for (const std::string& nome : achados) ::unlink((pasta + "/" + nome).c_str());
}

std::string LeArquivo(const std::string& Caminho, int64_t Inicio, size_t Tamanho) {
  std::ifstream f(Caminho, std::ios::binary);
  if (!f || Inicio < 0 || !f.seekg(Inicio)) return "";
  std::string r(Tamanho, '\0');
  f.read(r.data(), static_cast<std::streamsize>(Tamanho));
  r.resize(static_cast<size_t>(f.gcount()));
  return r;
}

int64_t TamanhoArquivo(const std::string& Caminho) {
  struct stat st {};
  if (::stat(Caminho.c_str(), &st) != 0) return errno == ENOENT ? 0 : -1;
  return S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
}

std::string LeArquivo(const std::string& Caminho) {
  std::ifstream f(Caminho, std::ios::binary);
  if (!f) return "";
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool ArquivoExiste(const std::string& Caminho) {
  struct stat st {};
  return ::stat(Caminho.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

TZuvoIniFile::TZuvoIniFile() = default;

TZuvoIniFile::TZuvoIniFile(const std::string& Caminho) : fCaminho(Caminho) {
  if (ArquivoExiste(Caminho)) SetTexto(LeArquivo(Caminho));
}

void TZuvoIniFile::SetTexto(const std::string& Texto) {
  fSecoes.clear();
  Secao* atual = nullptr;
  for (const std::string& bruta : SplitLines(Texto)) {
    std::string linha = TrimLeft(bruta);
    if (linha.empty() || linha[0] == ';') continue;
    if (linha.front() == '[' && TrimRight(linha).back() == ']') {
      std::string nome = TrimRight(linha);
      atual = &AchaOuCria(Trim(nome.substr(1, nome.size() - 2)));
      continue;
    }
    if (!atual) continue;  // a key before any section belongs nowhere
    auto igual = linha.find('=');
    if (igual == std::string::npos) {
      atual->Entradas.push_back({TrimRight(linha), ""});
    } else {
      atual->Entradas.push_back({Trim(linha.substr(0, igual)), ValorLido(linha.substr(igual + 1))});
    }
  }
}

std::string TZuvoIniFile::Texto() const {
  std::string t;
  for (size_t i = 0; i < fSecoes.size(); i++) {
    if (i > 0) t += CRLF;
    t += "[" + fSecoes[i].Nome + "]" + CRLF;
    for (const auto& e : fSecoes[i].Entradas) t += e.Chave + "=" + ValorGravado(e.Valor) + CRLF;
  }
  return t;
}

const TZuvoIniFile::Secao* TZuvoIniFile::Acha(const std::string& Nome) const {
  // Files are mostly written section after section: the last one first.
  if (!fSecoes.empty() && SameText(fSecoes.back().Nome, Nome)) return &fSecoes.back();
  for (const auto& s : fSecoes)
    if (SameText(s.Nome, Nome)) return &s;
  return nullptr;
}

TZuvoIniFile::Secao& TZuvoIniFile::AchaOuCria(const std::string& Nome) {
  if (!fSecoes.empty() && SameText(fSecoes.back().Nome, Nome)) return fSecoes.back();
  for (auto& s : fSecoes)
    if (SameText(s.Nome, Nome)) return s;
  fSecoes.push_back({Nome, {}});
  return fSecoes.back();
}

bool TZuvoIniFile::SectionExists(const std::string& Secao) const { return Acha(Secao) != nullptr; }

bool TZuvoIniFile::ValueExists(const std::string& Secao, const std::string& Chave) const {
  const auto* s = Acha(Secao);
  if (!s) return false;
  for (const auto& e : s->Entradas)
    if (SameText(e.Chave, Chave)) return true;
  return false;
}

std::string TZuvoIniFile::ReadString(const std::string& Secao, const std::string& Chave,
                                     const std::string& Padrao) const {
  const auto* s = Acha(Secao);
  if (!s) return Padrao;
  for (const auto& e : s->Entradas)
    if (SameText(e.Chave, Chave)) return e.Valor;
  return Padrao;
}

void TZuvoIniFile::WriteString(const std::string& Secao, const std::string& Chave,
                               const std::string& Valor) {
  // A line break in a value would split the entry when the file is read back.
  std::string valor = Valor;
  for (char& c : valor)
    if (c == CR || c == LF) c = ' ';
  auto& s = AchaOuCria(Secao);
  for (auto& e : s.Entradas)
    if (SameText(e.Chave, Chave)) {
      e.Valor = valor;
      return;
    }
  s.Entradas.push_back({Chave, valor});
}

int64_t TZuvoIniFile::ReadInteger(const std::string& Secao, const std::string& Chave,
                                  int64_t Padrao) const {
  return StrToIntDef(ReadString(Secao, Chave, ""), Padrao);
}

void TZuvoIniFile::WriteInteger(const std::string& Secao, const std::string& Chave,
                                int64_t Valor) {
  WriteString(Secao, Chave, IntToStr(Valor));
}

double TZuvoIniFile::ReadFloat(const std::string& Secao, const std::string& Chave,
                               double Padrao) const {
  std::string t = Trim(ReadString(Secao, Chave, ""));
  if (t.empty()) return Padrao;
  return TextoParaNumeroDef(t, Padrao);
}

void TZuvoIniFile::WriteFloat(const std::string& Secao, const std::string& Chave, double Valor) {
  WriteString(Secao, Chave, FloatToStr(Valor));
}

bool TZuvoIniFile::ReadBool(const std::string& Secao, const std::string& Chave,
                            bool Padrao) const {
  std::string t = Trim(ReadString(Secao, Chave, ""));
  if (t.empty()) return Padrao;
  int64_t v = StrToIntDef(t, -1);
  if (v == -1 && t != "-1") return Padrao;
  return v != 0;
}

void TZuvoIniFile::WriteBool(const std::string& Secao, const std::string& Chave, bool Valor) {
  WriteString(Secao, Chave, Valor ? "1" : "0");
}

TDateTime TZuvoIniFile::ReadDate(const std::string& Secao, const std::string& Chave,
                                 TDateTime Padrao) const {
  std::string t = Trim(ReadString(Secao, Chave, ""));
  if (t.empty()) return Padrao;
  try {
    return DateOf(StrToDateTime(t));
  } catch (const Exception&) {
    return Padrao;
  }
}

void TZuvoIniFile::WriteDate(const std::string& Secao, const std::string& Chave,
                             TDateTime Valor) {
  WriteString(Secao, Chave, FormatDateTime("dd/mm/yyyy", Valor));
}

TStrings TZuvoIniFile::ReadSection(const std::string& Secao) const {
  TStrings r;
  if (const auto* s = Acha(Secao))
    for (const auto& e : s->Entradas) r.push_back(e.Chave);
  return r;
}

TStrings TZuvoIniFile::ReadSectionValues(const std::string& Secao) const {
  TStrings r;
  if (const auto* s = Acha(Secao))
    for (const auto& e : s->Entradas) r.push_back(e.Chave + "=" + e.Valor);
  return r;
}

TStrings TZuvoIniFile::ReadSections() const {
  TStrings r;
  for (const auto& s : fSecoes) r.push_back(s.Nome);
  return r;
}

void TZuvoIniFile::AddSection(const std::string& Secao) { AchaOuCria(Secao); }

void TZuvoIniFile::EraseSection(const std::string& Secao) {
  for (auto it = fSecoes.begin(); it != fSecoes.end(); ++it)
    if (SameText(it->Nome, Secao)) {
      fSecoes.erase(it);
      return;
    }
}

void TZuvoIniFile::DeleteKey(const std::string& Secao, const std::string& Chave) {
  for (auto& s : fSecoes)
    if (SameText(s.Nome, Secao)) {
      for (auto it = s.Entradas.begin(); it != s.Entradas.end(); ++it)
        if (SameText(it->Chave, Chave)) {
          s.Entradas.erase(it);
          return;
        }
      return;
    }
}

void TZuvoIniFile::UpdateFile() const {
  if (fCaminho.empty()) throw Exception("Erro gravando: arquivo sem nome");
  GravaArquivoSeguro(fCaminho, Texto());
}

}  // namespace zuvo
