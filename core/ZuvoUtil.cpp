// Text, number, rounding and date-time routines shared by the component and
// every driver. Nothing here depends on the C locale: numbers are read and
// written with std::from_chars / std::to_chars and our own separators.
#include "core/ZuvoUtil.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace zuvo {

namespace {

unsigned char UC(char C) { return static_cast<unsigned char>(C); }

bool EhBranco(char C) { return UC(C) <= 32; }

bool EhLetra(char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }

char Minuscula(char C) { return (C >= 'A' && C <= 'Z') ? static_cast<char>(C + 32) : C; }

[[noreturn]] void ErroNumero(const std::string& Texto) {
  throw Exception("'" + Texto + "' não é um valor numérico válido");
}

[[noreturn]] void ErroInteiro(const std::string& Texto) {
  throw Exception("'" + Texto + "' não é um valor inteiro válido");
}

[[noreturn]] void ErroData(const std::string& Texto) {
  throw Exception("'" + Texto + "' não é uma data válida");
}

}  // namespace

// ---------------------------------------------------------------------------
// Clamped access to strings

std::string Copy(const std::string& Texto, int Inicio, int Count) {
  if (Count <= 0) return "";
  const size_t Ini = Inicio < 1 ? 0 : static_cast<size_t>(Inicio) - 1;
  if (Ini >= Texto.size()) return "";
  return Texto.substr(Ini, static_cast<size_t>(Count));
}

std::string Copy(const std::string& Texto, int Inicio) {
  const size_t Ini = Inicio < 1 ? 0 : static_cast<size_t>(Inicio) - 1;
  if (Ini >= Texto.size()) return "";
  return Texto.substr(Ini);
}

char CharAt(const std::string& Texto, int Posicao) {
  if (Posicao < 1 || static_cast<size_t>(Posicao) > Texto.size()) return '\0';
  return Texto[static_cast<size_t>(Posicao) - 1];
}

int Pos(const std::string& SubTexto, const std::string& Texto) {
  return PosicaoApos(SubTexto, Texto, 1);
}

// ---------------------------------------------------------------------------
// Trimming, case, replacing

std::string Trim(const std::string& Texto) {
  size_t Ini = 0, Fim = Texto.size();
  while (Ini < Fim && EhBranco(Texto[Ini])) ++Ini;
  while (Fim > Ini && EhBranco(Texto[Fim - 1])) --Fim;
  return Texto.substr(Ini, Fim - Ini);
}

std::string TrimLeft(const std::string& Texto) {
  size_t Ini = 0;
  while (Ini < Texto.size() && EhBranco(Texto[Ini])) ++Ini;
  return Texto.substr(Ini);
}

std::string TrimRight(const std::string& Texto) {
  size_t Fim = Texto.size();
  while (Fim > 0 && EhBranco(Texto[Fim - 1])) --Fim;
  return Texto.substr(0, Fim);
}

std::string UpperCase(const std::string& Texto) {
  std::string R = Texto;
  for (char& C : R)
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 32);
  return R;
}

std::string LowerCase(const std::string& Texto) {
  std::string R = Texto;
  for (char& C : R) C = Minuscula(C);
  return R;
}

std::string AnsiUpperCase(const std::string& Texto) {
  std::string R = Texto;
  for (char& C : R) {
    const unsigned char U = UC(C);
    if ((C >= 'a' && C <= 'z') || (U >= 224 && U <= 254 && U != 247))
      C = static_cast<char>(U - 32);
  }
  return R;
}

bool SameText(const std::string& A, const std::string& B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (Minuscula(A[I]) != Minuscula(B[I])) return false;
  return true;
}

std::string StringReplace(const std::string& Texto, const std::string& De,
                          const std::string& Para) {
  if (De.empty()) return Texto;
  std::string R;
  size_t Ini = 0;
  for (size_t P = Texto.find(De); P != std::string::npos; P = Texto.find(De, Ini)) {
    R.append(Texto, Ini, P - Ini);
    R += Para;
    Ini = P + De.size();
  }
  R.append(Texto, Ini, std::string::npos);
  return R;
}

std::string StringOfChar(char Caractere, int Count) {
  return Count <= 0 ? std::string() : std::string(static_cast<size_t>(Count), Caractere);
}

TStrings SplitLines(const std::string& Texto) {
  TStrings Linhas;
  size_t Ini = 0;
  const size_t N = Texto.size();
  while (Ini < N) {
    size_t P = Ini;
    while (P < N && Texto[P] != CR && Texto[P] != LF) ++P;
    Linhas.push_back(Texto.substr(Ini, P - Ini));
    if (P < N && Texto[P] == CR && P + 1 < N && Texto[P + 1] == LF) ++P;
    Ini = P + 1;
  }
  return Linhas;
}

std::string JoinLines(const TStrings& Linhas) {
  std::string R;
  for (const auto& L : Linhas) {
    R += L;
    R += CRLF;
  }
  return R;
}

// ---------------------------------------------------------------------------
// Filling and layout

std::string CompletaDireita(const std::string& Texto, int Tamanho, char Caractere) {
  if (Tamanho <= 0) return "";
  std::string R = Texto.substr(0, static_cast<size_t>(Tamanho));
  R.append(static_cast<size_t>(Tamanho) - R.size(), Caractere);
  return R;
}

std::string CompletaEsquerda(const std::string& Texto, int Tamanho, char Caractere) {
  if (Tamanho <= 0) return "";
  const std::string Corte = Texto.substr(0, static_cast<size_t>(Tamanho));
  return std::string(static_cast<size_t>(Tamanho) - Corte.size(), Caractere) + Corte;
}

std::string Centraliza(const std::string& Texto, int Tamanho, char Caractere) {
  if (Tamanho <= 0) return "";
  const std::string Corte = Texto.substr(0, static_cast<size_t>(Tamanho));
  const int Frente = (Tamanho - static_cast<int>(Corte.size())) / 2;
  return CompletaDireita(StringOfChar(Caractere, Frente) + Corte, Tamanho, Caractere);
}

std::string Justifica(const std::string& Texto, int Tamanho, const std::string& Separador,
                      char Caractere) {
  std::string R = Copy(Texto, 1, Tamanho);
  std::string Sep = Separador;
  // A separator equal to the fill character would be found again inside the
  // fill; mark it with a byte that does not otherwise occur in printed text.
  if (Sep.size() == 1 && Sep[0] == Caractere) {
    const std::string Marca(1, static_cast<char>(255));
    R = StringReplace(R, Sep, Marca);
    Sep = Marca;
  }
  const int N = ContaOcorrencias(R, Sep);
  if (N == 0) return CompletaDireita(R, Tamanho, Caractere);

  R = Trim(R);
  const int Espaco = Tamanho + N - static_cast<int>(R.size());
  const int Cada = Espaco / N;
  const int Resto = Espaco - N * Cada;

  std::string Saida;
  size_t Ini = 0;
  for (int K = 1; K <= N; ++K) {
    const size_t P = R.find(Sep, Ini);
    if (P == std::string::npos) break;
    Saida.append(R, Ini, P - Ini);
    Saida += StringOfChar(Caractere, Cada + (Resto >= N - K + 1 ? 1 : 0));
    Ini = P + Sep.size();
  }
  Saida.append(R, Ini, std::string::npos);
  return Saida;
}

std::string ZerosEsquerda(const std::string& Texto, int Tamanho) {
  return CompletaEsquerda(Trim(Texto), Tamanho, '0');
}

std::string InteiroZeros(int64_t Numero, int Tamanho) {
  return ZerosEsquerda(IntToStr(Numero), Tamanho);
}

// ---------------------------------------------------------------------------
// Searching

int PosicaoApos(const std::string& SubTexto, const std::string& Texto, int Inicio) {
  if (SubTexto.empty()) return 0;
  const size_t Ini = Inicio < 1 ? 0 : static_cast<size_t>(Inicio) - 1;
  if (Ini >= Texto.size()) return 0;
  const size_t P = Texto.find(SubTexto, Ini);
  return P == std::string::npos ? 0 : static_cast<int>(P) + 1;
}

int PosicaoOcorrencia(const std::string& SubTexto, const std::string& Texto, int N) {
  int P = PosicaoApos(SubTexto, Texto, 1);
  for (int I = 2; I <= N && P > 0; ++I) P = PosicaoApos(SubTexto, Texto, P + 1);
  return P;
}

int PosicaoUltima(const std::string& SubTexto, const std::string& Texto) {
  if (SubTexto.empty()) return 0;
  const size_t P = Texto.rfind(SubTexto);
  return P == std::string::npos ? 0 : static_cast<int>(P) + 1;
}

int ContaOcorrencias(const std::string& Texto, const std::string& SubTexto) {
  int N = 0;
  for (int P = PosicaoApos(SubTexto, Texto, 1); P > 0; P = PosicaoApos(SubTexto, Texto, P + 1))
    ++N;
  return N;
}

// ---------------------------------------------------------------------------
// Characters

bool EhDigito(char Caractere) { return Caractere >= '0' && Caractere <= '9'; }

std::string SoDigitos(const std::string& Texto) {
  std::string R;
  for (char C : Texto)
    if (EhDigito(C)) R += C;
  return R;
}

char TiraAcento(char Caractere) {
  const unsigned char C = UC(Caractere);
  if (C >= 192 && C <= 196) return 'A';
  if (C == 199) return 'C';
  if (C >= 200 && C <= 203) return 'E';
  if (C >= 204 && C <= 207) return 'I';
  if (C == 209) return 'N';
  if (C >= 210 && C <= 214) return 'O';
  if (C >= 217 && C <= 220) return 'U';
  if (C >= 224 && C <= 228) return 'a';
  if (C == 231) return 'c';
  if (C >= 232 && C <= 235) return 'e';
  if (C >= 236 && C <= 239) return 'i';
  if (C == 241) return 'n';
  if (C >= 242 && C <= 246) return 'o';
  if (C >= 249 && C <= 252) return 'u';
  return Caractere;
}

std::string TiraAcentos(const std::string& Texto) {
  std::string R = Texto;
  for (char& C : R) {
    C = TiraAcento(C);
    const unsigned char U = UC(C);
    if (C != LF && C != CR && (U < 32 || U > 126)) C = ' ';
  }
  return R;
}

bool BitLigado(int32_t Valor, int Bit) {
  if (Bit < 0 || Bit > 31) return false;
  return ((static_cast<uint32_t>(Valor) >> Bit) & 1u) != 0;
}

std::string TextoParaAscii(const std::string& Texto) {
  std::string R;
  for (char C : Texto) {
    if (!R.empty()) R += ',';
    R += '#' + std::to_string(UC(C));
  }
  return R;
}

std::string AsciiParaTexto(const std::string& Texto) {
  const std::string S = Trim(Texto);
  std::string R, Item;
  auto Emite = [&] {
    const std::string Codigo = Item.substr(1);
    if (Item[0] == '#' && !Codigo.empty() && Codigo.size() <= 3 &&
        SoDigitos(Codigo) == Codigo && std::stoi(Codigo) <= 255)
      R += static_cast<char>(std::stoi(Codigo));
    else
      R += Item;
    Item.clear();
  };
  for (char C : S) {
    // A comma with no item before it is not a separator: it opens the next
    // item, so ",," in the list stands for a literal comma.
    if (C == ',' && !Item.empty())
      Emite();
    else
      Item += C;
  }
  if (!Item.empty()) Emite();
  return R;
}

// ---------------------------------------------------------------------------
// Numbers

namespace {

// Parses [+|-]digits[.digits][(e|E)[+|-]digits] with '.' as the point.
// Returns false for anything else (including "inf" and "nan").
bool LeDouble(const std::string& S, double& Valor) {
  size_t I = 0;
  bool Negativo = false;
  if (I < S.size() && (S[I] == '+' || S[I] == '-')) Negativo = S[I++] == '-';
  const size_t IniCorpo = I;
  size_t Digitos = 0;
  while (I < S.size() && EhDigito(S[I])) ++I, ++Digitos;
  if (I < S.size() && S[I] == '.') {
    ++I;
    while (I < S.size() && EhDigito(S[I])) ++I, ++Digitos;
  }
  if (Digitos == 0) return false;
  if (I < S.size() && (S[I] == 'e' || S[I] == 'E')) {
    ++I;
    if (I < S.size() && (S[I] == '+' || S[I] == '-')) ++I;
    const size_t IniExp = I;
    while (I < S.size() && EhDigito(S[I])) ++I;
    if (I == IniExp) return false;
  }
  if (I != S.size()) return false;
  double V = 0;
  const char* Fim = S.data() + S.size();
  const auto Res = std::from_chars(S.data() + IniCorpo, Fim, V, std::chars_format::general);
  if (Res.ec != std::errc() || Res.ptr != Fim) return false;
  Valor = Negativo ? -V : V;
  return true;
}

constexpr double kPotencias[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// 10^N for N >= 0, exact up to 10^22.
double Potencia10(int N) {
  return N <= 22 ? kPotencias[N] : std::pow(10.0, N);
}

// The representation error accepted around a half, relative to the value:
// a decimal such as 2.675 is stored a fraction of an ulp away from itself, and
// scaling it adds another; a few sums before rounding add a few more.
constexpr double kToleranciaRelativa = 8 * std::numeric_limits<double>::epsilon();

// Rounds X to an integer, halves to the even neighbour, treating anything
// within the representation error of a half as an exact half.
double ArredondaMeioPar(double X) {
  if (!std::isfinite(X) || std::fabs(X) >= 4503599627370496.0) return X;  // 2^52: integral
  const double Base = std::floor(X);
  const double Resto = X - Base;  // exact
  if (std::fabs(Resto - 0.5) <= std::fabs(X) * kToleranciaRelativa)
    return std::fmod(Base, 2.0) == 0.0 ? Base : Base + 1.0;
  return Resto < 0.5 ? Base : Base + 1.0;
}

// The decimal digits of a non-negative integral double.
std::string DigitosInteiro(double Inteiro) {
  char Buf[400];
  const auto Res = std::to_chars(Buf, Buf + sizeof Buf, Inteiro, std::chars_format::fixed, 0);
  return std::string(Buf, Res.ptr);
}

}  // namespace

double TextoParaNumero(const std::string& Texto) {
  std::string S = Trim(Texto);
  const bool TemPonto = S.find('.') != std::string::npos;
  const bool TemVirgula = S.find(',') != std::string::npos;
  if (TemPonto && TemVirgula) ErroNumero(Texto);
  std::replace(S.begin(), S.end(), ',', '.');
  double V = 0;
  if (!LeDouble(S, V)) ErroNumero(Texto);
  return V;
}

double TextoParaNumeroDef(const std::string& Texto, double Padrao) {
  try {
    return TextoParaNumero(Texto);
  } catch (const Exception&) {
    return Padrao;
  }
}

double TextoParaValor(const std::string& Texto) {
  std::string S = Trim(Texto);
  const size_t UltPonto = S.rfind('.'), UltVirgula = S.rfind(',');
  const size_t NPontos = static_cast<size_t>(std::count(S.begin(), S.end(), '.'));
  const size_t NVirgulas = static_cast<size_t>(std::count(S.begin(), S.end(), ','));
  char Milhar = 0;
  if (NPontos > 0 && NVirgulas > 0) {
    // The separator that comes last is the decimal one; it may appear once.
    const bool DecimalVirgula = UltVirgula > UltPonto;
    if ((DecimalVirgula ? NVirgulas : NPontos) > 1) ErroNumero(Texto);
    Milhar = DecimalVirgula ? '.' : ',';
  } else if (NPontos > 1) {
    Milhar = '.';  // "1.234.567": only thousands separators
  } else if (NVirgulas > 1) {
    Milhar = ',';
  }
  if (Milhar) S.erase(std::remove(S.begin(), S.end(), Milhar), S.end());
  std::replace(S.begin(), S.end(), ',', '.');
  double V = 0;
  if (!LeDouble(S, V)) ErroNumero(Texto);
  return V;
}

int64_t StrToInt(const std::string& Texto) {
  const std::string S = Trim(Texto);
  size_t I = 0;
  if (I < S.size() && (S[I] == '+' || S[I] == '-')) ++I;
  if (I == S.size() || SoDigitos(S.substr(I)).size() != S.size() - I) ErroInteiro(Texto);
  const std::string Num = (S[0] == '-' ? "-" : "") + S.substr(I);
  int64_t V = 0;
  const char* Fim = Num.data() + Num.size();
  const auto Res = std::from_chars(Num.data(), Fim, V);
  if (Res.ec != std::errc() || Res.ptr != Fim) ErroInteiro(Texto);
  return V;
}

int64_t StrToIntDef(const std::string& Texto, int64_t Padrao) {
  try {
    return StrToInt(Texto);
  } catch (const Exception&) {
    return Padrao;
  }
}

std::string IntToStr(int64_t Valor) { return std::to_string(Valor); }

int64_t TruncaPreciso(double Valor) {
  if (std::isnan(Valor)) return 0;
  // A value within the representation error of a whole number is that number,
  // so that 2.9999999997 (meant as 3) truncates to 3. The error accepted is
  // half of 10^-9, or a few ulps for values so large that 10^-9 is below
  // their resolution (an amount in cents beyond a million). Symmetric, so a
  // negative value truncates towards zero just as its absolute value does.
  const double Abs = std::fabs(Valor);
  if (Abs >= 9.2e18) return Valor < 0 ? std::numeric_limits<int64_t>::min()
                                      : std::numeric_limits<int64_t>::max();
  const double Inteiro = std::round(Abs);
  const double Tolerancia = std::max(0.5e-9, Abs * kToleranciaRelativa);
  const auto R = static_cast<int64_t>(std::fabs(Abs - Inteiro) < Tolerancia ? Inteiro : Abs);
  return Valor < 0 ? -R : R;
}

double RoundTo(double Valor, int Digito) {
  if (!std::isfinite(Valor)) return Valor;
  double R;
  if (Digito < 0) {
    const double Fator = Potencia10(-Digito);
    const double X = Valor * Fator;
    if (std::fabs(X) >= 4503599627370496.0) return Valor;  // no fraction left to round
    R = ArredondaMeioPar(X) / Fator;
  } else {
    const double Fator = Potencia10(Digito);
    R = ArredondaMeioPar(Valor / Fator) * Fator;
  }
  return R == 0.0 ? 0.0 : R;  // no "-0"
}

std::string FormatFloat(const std::string& Mascara, double Valor) {
  if (Mascara.empty() || !std::isfinite(Valor)) return FloatToStr(Valor);

  // The mask as a list of digit places ('0' required, '#' optional) and
  // literal texts, split at the decimal point.
  struct Item {
    char Tipo;  // '0', '#', or 'L' for a literal
    std::string Texto;
  };
  std::vector<Item> Inteira, Fracao;
  bool TemPonto = false, Milhares = false;
  for (size_t I = 0; I < Mascara.size(); ++I) {
    const char C = Mascara[I];
    auto& Lista = TemPonto ? Fracao : Inteira;
    if (C == '"' || C == '\'') {
      const size_t Fim = Mascara.find(C, I + 1);
      const size_t Ate = Fim == std::string::npos ? Mascara.size() : Fim;
      Lista.push_back({'L', Mascara.substr(I + 1, Ate - I - 1)});
      I = Ate;
    } else if (C == '0' || C == '#') {
      Lista.push_back({C, ""});
    } else if (C == ',') {
      if (!TemPonto) Milhares = true;
    } else if (C == '.') {
      TemPonto = true;  // a second point is ignored
    } else {
      Lista.push_back({'L', std::string(1, C)});
    }
  }

  auto EhLugar = [](const Item& It) { return It.Tipo != 'L'; };
  const int LugaresInt = static_cast<int>(std::count_if(Inteira.begin(), Inteira.end(), EhLugar));
  const int Decimais = static_cast<int>(std::count_if(Fracao.begin(), Fracao.end(), EhLugar));
  // Required integer digits: every place from the first '0' on ("#,##0" asks
  // for one); required decimals: every place up to the last '0' ("0.0#").
  int MinInt = 0, MinDec = 0, K = 0;
  for (const auto& It : Inteira) {
    if (!EhLugar(It)) continue;
    if (It.Tipo == '0' && MinInt == 0) MinInt = LugaresInt - K;
    ++K;
  }
  K = 0;
  for (const auto& It : Fracao) {
    if (!EhLugar(It)) continue;
    ++K;
    if (It.Tipo == '0') MinDec = K;
  }

  const double Escalado = ArredondaMeioPar(std::fabs(Valor) * Potencia10(Decimais));
  std::string Digitos = DigitosInteiro(Escalado);
  if (Digitos.size() <= static_cast<size_t>(Decimais))
    Digitos.insert(0, static_cast<size_t>(Decimais) + 1 - Digitos.size(), '0');
  std::string DigInt = Digitos.substr(0, Digitos.size() - static_cast<size_t>(Decimais));
  std::string DigDec = Digitos.substr(Digitos.size() - static_cast<size_t>(Decimais));
  const bool Negativo = Valor < 0 && Escalado != 0.0;

  DigInt.erase(0, std::min(DigInt.find_first_not_of('0'), DigInt.size()));
  if (DigInt.size() < static_cast<size_t>(MinInt))
    DigInt.insert(0, static_cast<size_t>(MinInt) - DigInt.size(), '0');
  while (DigDec.size() > static_cast<size_t>(MinDec) && DigDec.back() == '0') DigDec.pop_back();

  // Integer part, built right to left: each place takes one digit, the
  // leftmost place takes whatever is left.
  std::string Inv;
  size_t Usados = 0;
  auto PoeDigito = [&] {
    if (Milhares && Usados > 0 && Usados % 3 == 0) Inv += '.';
    Inv += DigInt[DigInt.size() - 1 - Usados];
    ++Usados;
  };
  if (LugaresInt == 0)
    while (Usados < DigInt.size()) PoeDigito();
  int Lugar = LugaresInt;
  for (auto It = Inteira.rbegin(); It != Inteira.rend(); ++It) {
    if (It->Tipo == 'L') {
      Inv.append(It->Texto.rbegin(), It->Texto.rend());
      continue;
    }
    if (--Lugar == 0) {
      while (Usados < DigInt.size()) PoeDigito();
    } else if (Usados < DigInt.size()) {
      PoeDigito();
    }
  }
  std::string R(Inv.rbegin(), Inv.rend());

  if (TemPonto) {
    if (!DigDec.empty()) R += ',';
    size_t K = 0;
    for (const auto& It : Fracao) {
      if (It.Tipo == 'L')
        R += It.Texto;
      else if (K < DigDec.size())
        R += DigDec[K++];
    }
  }
  return Negativo ? "-" + R : R;
}

std::string FloatToStr(double Valor) {
  if (std::isnan(Valor)) return "NAN";
  if (std::isinf(Valor)) return Valor < 0 ? "-INF" : "INF";
  if (Valor == 0.0) return "0";

  // 15 significant digits in scientific form: "d.dddddddddddddde±x".
  char Buf[64];
  const auto Res = std::to_chars(Buf, Buf + sizeof Buf, std::fabs(Valor),
                                 std::chars_format::scientific, 14);
  const std::string Sci(Buf, Res.ptr);
  const size_t E = Sci.find('e');
  std::string Mant = Sci.substr(0, 1) + Sci.substr(2, E - 2);
  const int Exp = std::stoi(Sci.substr(E + 1));
  while (Mant.size() > 1 && Mant.back() == '0') Mant.pop_back();

  std::string R;
  if (Exp >= -4 && Exp < 15) {
    if (Exp < 0) {
      R = "0," + std::string(static_cast<size_t>(-Exp - 1), '0') + Mant;
    } else {
      const size_t Int = static_cast<size_t>(Exp) + 1;
      if (Mant.size() <= Int)
        R = Mant + std::string(Int - Mant.size(), '0');
      else
        R = Mant.substr(0, Int) + "," + Mant.substr(Int);
    }
  } else {
    R = Mant.substr(0, 1);
    if (Mant.size() > 1) R += "," + Mant.substr(1);
    R += "E" + std::to_string(Exp);
  }
  return Valor < 0 ? "-" + R : R;
}

// ---------------------------------------------------------------------------
// Date-times

namespace {

constexpr int64_t kMsPorDia = 86400000;
// Day 0 of a date-time (1899-12-30) counted from 1970-01-01.
constexpr int64_t kDia0 = -25569;

bool Bissexto(int Ano) { return (Ano % 4 == 0 && Ano % 100 != 0) || Ano % 400 == 0; }

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t DiasDaData(int64_t A, int M, int D) {
  A -= M <= 2;
  const int64_t Era = (A >= 0 ? A : A - 399) / 400;
  const int64_t AnoEra = A - Era * 400;
  const int64_t DiaAno = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
  const int64_t DiaEra = AnoEra * 365 + AnoEra / 4 - AnoEra / 100 + DiaAno;
  return Era * 146097 + DiaEra - 719468;
}

void DataDosDias(int64_t Z, int& Ano, int& Mes, int& Dia) {
  Z += 719468;
  const int64_t Era = (Z >= 0 ? Z : Z - 146096) / 146097;
  const int64_t DiaEra = Z - Era * 146097;
  const int64_t AnoEra = (DiaEra - DiaEra / 1460 + DiaEra / 36524 - DiaEra / 146096) / 365;
  const int64_t DiaAno = DiaEra - (365 * AnoEra + AnoEra / 4 - AnoEra / 100);
  const int64_t Mp = (5 * DiaAno + 2) / 153;
  Dia = static_cast<int>(DiaAno - (153 * Mp + 2) / 5 + 1);
  Mes = static_cast<int>(Mp < 10 ? Mp + 3 : Mp - 9);
  Ano = static_cast<int>(AnoEra + Era * 400 + (Mes <= 2 ? 1 : 0));
}

bool DataValida(int Ano, int Mes, int Dia) {
  return Ano >= 1 && Ano <= 9999 && Mes >= 1 && Mes <= 12 && Dia >= 1 &&
         Dia <= DiasNoMes(Ano, Mes);
}

bool HoraValida(int Hora, int Minuto, int Segundo, int Ms) {
  return Hora >= 0 && Hora <= 23 && Minuto >= 0 && Minuto <= 59 && Segundo >= 0 &&
         Segundo <= 59 && Ms >= 0 && Ms <= 999;
}

double DiaDaData(int Ano, int Mes, int Dia) {
  return static_cast<double>(DiasDaData(Ano, Mes, Dia) - kDia0);
}

double FracaoDaHora(int Hora, int Minuto, int Segundo, int Ms) {
  return static_cast<double>(((Hora * 60 + Minuto) * 60 + Segundo) * 1000 + Ms) /
         static_cast<double>(kMsPorDia);
}

// A date before day 0 is negative while its time of day is still counted
// forwards: -1.25 is 1899-12-29 06:00.
double Junta(double Dia, double Fracao) { return Dia < 0 ? Dia - Fracao : Dia + Fracao; }

struct Partes {
  int64_t Dia;  // days since 1899-12-30
  int64_t Ms;   // milliseconds into the day
};

// Splits a date-time after rounding it to the millisecond, so that a value a
// hair below midnight or below a whole second does not print as 60 seconds.
Partes Separa(TDateTime Data) {
  if (!std::isfinite(Data)) return {0, 0};
  constexpr double kLimite = 1e8;  // far beyond year 9999, keeps the sums in range
  const double Abs = std::min(std::fabs(Data), kLimite);
  const int64_t Total = std::llround(Abs * static_cast<double>(kMsPorDia));
  const int64_t Dia = Total / kMsPorDia;
  return {Data < 0 ? -Dia : Dia, Total % kMsPorDia};
}

const char* const kDiasCurtos[] = {"dom", "seg", "ter", "qua", "qui", "sex", "sáb"};
const char* const kDiasLongos[] = {"domingo", "segunda-feira", "terça-feira", "quarta-feira",
                                   "quinta-feira", "sexta-feira", "sábado"};
const char* const kMesesCurtos[] = {"jan", "fev", "mar", "abr", "mai", "jun",
                                    "jul", "ago", "set", "out", "nov", "dez"};
const char* const kMesesLongos[] = {"janeiro", "fevereiro", "março",    "abril",
                                    "maio",    "junho",     "julho",    "agosto",
                                    "setembro", "outubro",  "novembro", "dezembro"};

std::string Numero(int64_t Valor, int Digitos) {
  std::string S = std::to_string(Valor);
  if (S.size() < static_cast<size_t>(Digitos))
    S.insert(0, static_cast<size_t>(Digitos) - S.size(), '0');
  return S;
}

int AnoDeDoisDigitos(int AA) { return AA < 70 ? 2000 + AA : 1900 + AA; }

}  // namespace

int DiasNoMes(int Ano, int Mes) {
  static constexpr int kDias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (Mes < 1 || Mes > 12) return 0;
  return Mes == 2 && Bissexto(Ano) ? 29 : kDias[Mes - 1];
}

TDateTime EncodeDate(int Ano, int Mes, int Dia) {
  if (!DataValida(Ano, Mes, Dia))
    throw Exception("Argumento inválido para codificar data: " + Numero(Dia, 2) + "/" +
                    Numero(Mes, 2) + "/" + Numero(Ano, 4));
  return DiaDaData(Ano, Mes, Dia);
}

TDateTime EncodeTime(int Hora, int Minuto, int Segundo, int Milissegundo) {
  if (!HoraValida(Hora, Minuto, Segundo, Milissegundo))
    throw Exception("Argumento inválido para codificar hora: " + Numero(Hora, 2) + ":" +
                    Numero(Minuto, 2) + ":" + Numero(Segundo, 2));
  return FracaoDaHora(Hora, Minuto, Segundo, Milissegundo);
}

bool TryEncodeDateTime(int Ano, int Mes, int Dia, int Hora, int Minuto, int Segundo,
                       TDateTime& Resultado) {
  if (!DataValida(Ano, Mes, Dia) || !HoraValida(Hora, Minuto, Segundo, 0)) return false;
  Resultado = Junta(DiaDaData(Ano, Mes, Dia), FracaoDaHora(Hora, Minuto, Segundo, 0));
  return true;
}

void DecodeDate(TDateTime Data, int& Ano, int& Mes, int& Dia) {
  DataDosDias(Separa(Data).Dia + kDia0, Ano, Mes, Dia);
}

void DecodeTime(TDateTime Data, int& Hora, int& Minuto, int& Segundo, int& Milissegundo) {
  const int64_t Ms = Separa(Data).Ms;
  Hora = static_cast<int>(Ms / 3600000);
  Minuto = static_cast<int>(Ms / 60000 % 60);
  Segundo = static_cast<int>(Ms / 1000 % 60);
  Milissegundo = static_cast<int>(Ms % 1000);
}

TDateTime DateOf(TDateTime Data) { return std::trunc(Data); }

std::string FormatDateTime(const std::string& Formato, TDateTime Data) {
  const Partes P = Separa(Data);
  int Ano, Mes, Dia, Hora, Minuto, Segundo, Ms;
  DataDosDias(P.Dia + kDia0, Ano, Mes, Dia);
  DecodeTime(Data, Hora, Minuto, Segundo, Ms);
  const int DiaSemana = static_cast<int>(((P.Dia - 1) % 7 + 7) % 7);  // 0 = Sunday

  std::string R;
  char Ultimo = 0;  // last letter seen: "m" right after an hour means minutes
  size_t I = 0;
  while (I < Formato.size()) {
    const char C = Formato[I];
    if (C == '"' || C == '\'') {
      const size_t Fim = Formato.find(C, I + 1);
      const size_t Ate = Fim == std::string::npos ? Formato.size() : Fim;
      R.append(Formato, I + 1, Ate - I - 1);
      I = Ate + 1;
      continue;
    }
    if (!EhLetra(C)) {
      R += C;
      ++I;
      continue;
    }
    const char L = Minuscula(C);
    size_t N = 1;
    while (I + N < Formato.size() && Minuscula(Formato[I + N]) == L) ++N;
    switch (L) {
      case 'd':
        if (N <= 2)
          R += Numero(Dia, static_cast<int>(N));
        else if (N == 3)
          R += kDiasCurtos[DiaSemana];
        else if (N == 4)
          R += kDiasLongos[DiaSemana];
        else
          R += Numero(Dia, 2) + "/" + Numero(Mes, 2) + "/" + Numero(Ano, 4);
        break;
      case 'm':
        if (Ultimo == 'h')
          R += Numero(Minuto, N >= 2 ? 2 : 1);
        else if (N <= 2)
          R += Numero(Mes, static_cast<int>(N));
        else
          R += (N == 3 ? kMesesCurtos : kMesesLongos)[Mes - 1];
        break;
      case 'y':
        R += N <= 2 ? Numero(Ano % 100, 2) : Numero(Ano, 4);
        break;
      case 'h':
        R += Numero(Hora, N >= 2 ? 2 : 1);
        break;
      case 'n':
        R += Numero(Minuto, N >= 2 ? 2 : 1);
        break;
      case 's':
        R += Numero(Segundo, N >= 2 ? 2 : 1);
        break;
      case 'z':
        R += Numero(Ms, N >= 2 ? 3 : 1);
        break;
      default:
        R.append(Formato, I, N);
        break;
    }
    Ultimo = L;
    I += N;
  }
  return R;
}

TDateTime LeDataHora(const std::string& Texto, const std::string& Formato) {
  const std::string Digitos = SoDigitos(Texto);
  int Ano = -1, Mes = -1, Dia = -1, Hora = 0, Minuto = 0, Segundo = 0;
  size_t Lidos = 0;
  char Ultimo = 0;
  for (size_t I = 0; I < Formato.size();) {
    const char L = Minuscula(Formato[I]);
    if (!EhLetra(L)) {
      ++I;
      continue;
    }
    size_t N = 1;
    while (I + N < Formato.size() && Minuscula(Formato[I + N]) == L) ++N;
    I += N;
    const bool Conhecido = std::string("dmyhns").find(L) != std::string::npos;
    if (!Conhecido || !(N == 2 || (L == 'y' && N == 4)))
      throw Exception("Formato de data inválido: " + Formato);
    if (Lidos + N > Digitos.size()) ErroData(Texto);
    const int V = std::stoi(Digitos.substr(Lidos, N));
    Lidos += N;
    switch (L) {
      case 'd': Dia = V; break;
      case 'm': (Ultimo == 'h' ? Minuto : Mes) = V; break;
      case 'y': Ano = N == 2 ? AnoDeDoisDigitos(V) : V; break;
      case 'h': Hora = V; break;
      case 'n': Minuto = V; break;
      default: Segundo = V; break;
    }
    Ultimo = L;
  }
  if (Lidos != Digitos.size()) ErroData(Texto);
  if (Ano < 0 && Mes < 0 && Dia < 0) {
    if (!HoraValida(Hora, Minuto, Segundo, 0)) ErroData(Texto);
    return FracaoDaHora(Hora, Minuto, Segundo, 0);
  }
  TDateTime R = 0;
  if (!TryEncodeDateTime(Ano, Mes, Dia, Hora, Minuto, Segundo, R)) ErroData(Texto);
  return R;
}

TDateTime StrToDateTime(const std::string& Texto) {
  const std::string S = Trim(Texto);
  size_t I = 0;
  // Reads Min to Max digits; -1 when there are fewer or more.
  auto Le = [&](size_t Min, size_t Max) -> int {
    size_t N = 0;
    int V = 0;
    while (I < S.size() && EhDigito(S[I])) {
      if (++N > Max) return -1;
      V = V * 10 + (S[I++] - '0');
    }
    return N >= Min ? V : -1;
  };
  auto Espera = [&](char C) {
    if (I >= S.size() || S[I] != C) ErroData(Texto);
    ++I;
  };
  const int Dia = Le(1, 2);
  Espera('/');
  const int Mes = Le(1, 2);
  Espera('/');
  const size_t IniAno = I;
  int Ano = Le(2, 4);
  if (Dia < 0 || Mes < 0 || Ano < 0 || I - IniAno == 3) ErroData(Texto);
  if (I - IniAno == 2) Ano = AnoDeDoisDigitos(Ano);
  int Hora = 0, Minuto = 0, Segundo = 0;
  if (I < S.size()) {
    Espera(' ');
    while (I < S.size() && S[I] == ' ') ++I;
    Hora = Le(1, 2);
    Espera(':');
    Minuto = Le(1, 2);
    if (I < S.size()) {
      Espera(':');
      Segundo = Le(1, 2);
    }
    if (Hora < 0 || Minuto < 0 || Segundo < 0 || I != S.size()) ErroData(Texto);
  }
  TDateTime R = 0;
  if (!TryEncodeDateTime(Ano, Mes, Dia, Hora, Minuto, Segundo, R)) ErroData(Texto);
  return R;
}

// ---------------------------------------------------------------------------
// Safe formatting

std::string Formata(const std::string& Modelo, const std::vector<ArgFormato>& Args) {
  auto Erro = [&]() -> Exception {
    return Exception("Formato '" + Modelo + "' inválido ou incompatível com o argumento");
  };
  std::string R;
  size_t Arg = 0;
  for (size_t I = 0; I < Modelo.size(); ++I) {
    if (Modelo[I] != '%') {
      R += Modelo[I];
      continue;
    }
    if (++I >= Modelo.size()) throw Erro();
    if (Modelo[I] == '%') {
      R += '%';
      continue;
    }
    // %[-][largura][.precisão](d|s)
    const bool Esquerda = Modelo[I] == '-';
    if (Esquerda) ++I;
    auto LeNumero = [&](int& V) {
      V = -1;
      while (I < Modelo.size() && EhDigito(Modelo[I])) {
        V = (V < 0 ? 0 : V) * 10 + (Modelo[I++] - '0');
        if (V > 1000) throw Erro();
      }
    };
    int Largura, Precisao = -1;
    LeNumero(Largura);
    if (I < Modelo.size() && Modelo[I] == '.') {
      ++I;
      LeNumero(Precisao);
      if (Precisao < 0) Precisao = 0;
    }
    if (I >= Modelo.size() || Arg >= Args.size()) throw Erro();
    const char Tipo = Minuscula(Modelo[I]);
    std::string Campo;
    if (Tipo == 'd') {
      const int64_t* V = std::get_if<int64_t>(&Args[Arg]);
      if (!V) throw Erro();
      Campo = IntToStr(*V);
      const size_t Sinal = *V < 0 ? 1 : 0;
      if (Precisao > 0 && Campo.size() - Sinal < static_cast<size_t>(Precisao))
        Campo.insert(Sinal, static_cast<size_t>(Precisao) - (Campo.size() - Sinal), '0');
    } else if (Tipo == 's') {
      const std::string* V = std::get_if<std::string>(&Args[Arg]);
      if (!V) throw Erro();
      Campo = Precisao >= 0 ? V->substr(0, static_cast<size_t>(Precisao)) : *V;
    } else {
      throw Erro();
    }
    ++Arg;
    if (Largura > 0 && Campo.size() < static_cast<size_t>(Largura)) {
      const std::string Fill(static_cast<size_t>(Largura) - Campo.size(), ' ');
      Campo = Esquerda ? Campo + Fill : Fill + Campo;
    }
    R += Campo;
  }
  return R;
}

std::string FormataOuTexto(const std::string& Modelo, const std::vector<ArgFormato>& Args) {
  try {
    return Formata(Modelo, Args);
  } catch (const Exception&) {
    return Modelo;
  }
}

std::string Cp1252ParaUtf8(const std::string& Texto) {
  // 0x80..0x9F of Windows-1252; 0 marks the unassigned codes.
  static const uint16_t kAlto[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string r;
  r.reserve(Texto.size() + Texto.size() / 4);
  for (unsigned char c : Texto) {
    uint32_t u = c;
    if (c >= 0x80 && c < 0xA0) u = kAlto[c - 0x80] ? kAlto[c - 0x80] : '?';
    if (u < 0x80) {
      r += static_cast<char>(u);
    } else if (u < 0x800) {
      r += static_cast<char>(0xC0 | (u >> 6));
      r += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      r += static_cast<char>(0xE0 | (u >> 12));
      r += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return r;
}

}  // namespace zuvo
