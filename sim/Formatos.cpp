#include "sim/Formatos.h"

#include <algorithm>
#include <chrono>

namespace zuvo::sim {

std::string Trecho(const std::string& S, size_t Pos, size_t N) {
  if (Pos >= S.size()) return "";
  return S.substr(Pos, N);
}

bool SoDigitos(const std::string& S) {
  return !S.empty() && std::all_of(S.begin(), S.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int64_t Digitos(const std::string& S) {
  if (!SoDigitos(S) || S.size() > 18) return -1;
  int64_t v = 0;
  for (char c : S) v = v * 10 + (c - '0');
  return v;
}

std::string Zeros(int64_t V, size_t Tamanho) {
  // Through unsigned, so that the most negative number has a magnitude too.
  const uint64_t m = V < 0 ? 0 - static_cast<uint64_t>(V) : static_cast<uint64_t>(V);
  std::string s = std::to_string(m);
  if (s.size() < Tamanho) s.insert(0, Tamanho - s.size(), '0');
  return s;
}

std::string Completa(std::string S, size_t Tamanho, char Com) {
  S.resize(Tamanho, Com);
  return S;
}

std::string Apara(const std::string& S, char Tambem) {
  size_t i = 0, f = S.size();
  while (i < f && static_cast<unsigned char>(S[i]) <= 32) i++;
  while (f > i && (static_cast<unsigned char>(S[f - 1]) <= 32 || S[f - 1] == Tambem)) f--;
  return S.substr(i, f - i);
}

std::string Maiusculas(std::string S) {
  for (char& c : S)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return S;
}

std::string Dinheiro(int64_t Centavos) {
  const std::string reais = Zeros(Centavos / 100, 1);
  return (Centavos < 0 ? "-" : "") + reais + "," + Zeros(Centavos % 100, 2);
}

std::string DinheiroMilhar(int64_t Centavos, int Casas) {
  const std::string inteiro = Zeros(Centavos / 100, 1);
  std::string r;
  for (size_t i = 0; i < inteiro.size(); i++) {
    if (i > 0 && (inteiro.size() - i) % 3 == 0) r += '.';
    r += inteiro[i];
  }
  r += "," + Zeros(Centavos % 100, 2);
  if (Casas > 2) r.append(static_cast<size_t>(Casas - 2), '0');
  return (Centavos < 0 ? "-" : "") + r;
}

std::string Quantidade(int64_t Milesimos) {
  return Zeros(Milesimos / 1000, 1) + "," + Zeros(Milesimos % 1000, 3);
}

std::string Bcd(std::string Digitos) {
  if (Digitos.size() % 2) Digitos.insert(0, 1, '0');
  std::string r;
  for (size_t i = 0; i + 1 < Digitos.size(); i += 2)
    r += static_cast<char>(((Digitos[i] - '0') << 4) | ((Digitos[i + 1] - '0') & 0x0F));
  return r;
}

long DiaDe(int Ano, int Mes, int Dia) {
  Ano -= Mes <= 2;
  const long era = (Ano >= 0 ? Ano : Ano - 399) / 400;
  const long ano = Ano - era * 400;
  const long diaAno = (153 * (Mes + (Mes > 2 ? -3 : 9)) + 2) / 5 + Dia - 1;
  const long diaEra = ano * 365 + ano / 4 - ano / 100 + diaAno;
  return era * 146097 + diaEra - 719468;
}

void DataDe(long Dia, int& Ano, int& Mes, int& DiaMes) {
  Dia += 719468;
  const long era = (Dia >= 0 ? Dia : Dia - 146096) / 146097;
  const long diaEra = Dia - era * 146097;
  const long ano = (diaEra - diaEra / 1460 + diaEra / 36524 - diaEra / 146096) / 365;
  const long diaAno = diaEra - (365 * ano + ano / 4 - ano / 100);
  const long mp = (5 * diaAno + 2) / 153;
  DiaMes = static_cast<int>(diaAno - (153 * mp + 2) / 5 + 1);
  Mes = static_cast<int>(mp + (mp < 10 ? 3 : -9));
  Ano = static_cast<int>(ano + era * 400 + (Mes <= 2));
}

std::string TextoDia(long Dia, const std::string& Formato) {
  int a, m, d;
  DataDe(Dia, a, m, d);
  std::string r;
  for (size_t i = 0; i < Formato.size();) {
    if (Formato.compare(i, 4, "yyyy") == 0) {
      r += Zeros(a, 4);
      i += 4;
    } else if (Formato.compare(i, 2, "yy") == 0) {
      r += Zeros(a % 100, 2);
      i += 2;
    } else if (Formato.compare(i, 2, "dd") == 0) {
      r += Zeros(d, 2);
      i += 2;
    } else if (Formato.compare(i, 2, "mm") == 0) {
      r += Zeros(m, 2);
      i += 2;
    } else {
      r += Formato[i++];
    }
  }
  return r;
}

long LeDdMmAa(const std::string& S) {
  if (S.size() != 6 || !SoDigitos(S)) return -1;
  const int d = static_cast<int>(Digitos(S.substr(0, 2))), m = static_cast<int>(Digitos(S.substr(2, 2)));
  if (d < 1 || d > 31 || m < 1 || m > 12) return -1;
  return DiaDe(2000 + static_cast<int>(Digitos(S.substr(4, 2))), m, d);
}

int64_t AgoraMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace zuvo::sim
