// Small text and number routines the simulators share: clamped slices of a
// command, digit fields, money in integer cents, packed BCD and the calendar
// of the fiscal memory. A simulator never takes a substring of what arrived
// on the line except through Trecho, so a short command cannot throw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zuvo::sim {

/// Up to N bytes of S from Pos (0-based), clamped to S: never throws.
std::string Trecho(const std::string& S, size_t Pos, size_t N = std::string::npos);
/// True when S is not empty and holds only the digits 0-9.
bool SoDigitos(const std::string& S);
/// The value of a field of digits; -1 when it is empty, holds anything else
/// or has more than 18 digits.
int64_t Digitos(const std::string& S);
/// |V| with zeros on the left up to Tamanho digits (longer numbers whole).
std::string Zeros(int64_t V, size_t Tamanho);
/// S cut or filled with Com up to exactly Tamanho bytes.
std::string Completa(std::string S, size_t Tamanho, char Com = ' ');
/// S without control bytes and blanks at both ends (and Tambem at the end).
std::string Apara(const std::string& S, char Tambem = ' ');
/// ASCII letters in upper case; other bytes as they are.
std::string Maiusculas(std::string S);
/// Cents as "1234,56" ("-0,93" for a discount).
std::string Dinheiro(int64_t Centavos);
/// Cents with thousands: "1.234,56"; Casas 4 adds "00" (printers that
/// answer amounts with four decimals).
std::string DinheiroMilhar(int64_t Centavos, int Casas = 2);
/// Thousandths as "1,500".
std::string Quantidade(int64_t Milesimos);
/// Digits packed two a byte, high nibble first (a leading 0 when odd).
std::string Bcd(std::string Digitos);

/// Days since 1970-01-01 of a civil date, and back.
long DiaDe(int Ano, int Mes, int Dia);
void DataDe(long Dia, int& Ano, int& Mes, int& DiaMes);
/// A day as text: "dd", "mm", "yyyy" and "yy" in Formato are replaced
/// ("dd/mm/yyyy", "ddmmyy").
std::string TextoDia(long Dia, const std::string& Formato);
/// "ddmmyy" as a day; -1 when it is not a date.
long LeDdMmAa(const std::string& S);

/// Milliseconds on the steady clock (only differences mean anything).
int64_t AgoraMs();
/// The byte value of C, 0 to 255.
inline unsigned Byte(char C) { return static_cast<unsigned char>(C); }
/// "Busy until": a printer whose printing never ends (a fault).
inline constexpr int64_t kSempre = INT64_MAX;

}  // namespace zuvo::sim
