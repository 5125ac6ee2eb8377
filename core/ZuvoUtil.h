// Text, number, rounding and date-time routines shared by the component and
// every driver.
//
// Strings are byte strings in Windows-1252; positions are 1-based, as printer
// manuals count them. No routine modifies its argument. The behaviour at the
// edges (which side of a cut survives, the decimal separator, the accent table)
// is part of the contract: command layouts depend on it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace zuvo {

/// The general exception of the library. Its message is Portuguese text in
/// Windows-1252, meant to be shown to the user unchanged.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& msg) : std::runtime_error(msg) {}
};

/// A list of text lines (a report, the lines of a fiscal-memory capture).
using TStrings = std::vector<std::string>;

inline constexpr char CR = '\r';
inline constexpr char LF = '\n';
inline const std::string CRLF = "\r\n";

// ---------------------------------------------------------------------------
// Clamped access to strings

/// The classic Copy: Count bytes of Texto from the 1-based position Inicio,
/// clamped to the string. An Inicio below 1 counts as 1; past the end, or a
/// Count of 0 or less, gives "". Never throws: a short answer yields a short
/// string, which the caller's conversion then reports as an error.
std::string Copy(const std::string& Texto, int Inicio, int Count);
/// Copy from Inicio to the end.
std::string Copy(const std::string& Texto, int Inicio);
/// Byte at the 1-based position, or '\0' when outside the string.
char CharAt(const std::string& Texto, int Posicao);
/// 1-based position of SubTexto in Texto, 0 if absent (or SubTexto empty).
int Pos(const std::string& SubTexto, const std::string& Texto);

// ---------------------------------------------------------------------------
// Trimming, case, replacing

/// Removes leading and trailing characters with codes 0 to 32 (NUL included:
/// printers pad empty fields with NUL).
std::string Trim(const std::string& Texto);
std::string TrimLeft(const std::string& Texto);
std::string TrimRight(const std::string& Texto);
/// ASCII upper/lower case; other bytes unchanged.
std::string UpperCase(const std::string& Texto);
std::string LowerCase(const std::string& Texto);
/// Windows-1252 upper case: ASCII letters and the accented letters 224..254
/// (except 247) become their capitals.
std::string AnsiUpperCase(const std::string& Texto);
/// Case-insensitive (ASCII) equality.
bool SameText(const std::string& A, const std::string& B);
/// Every occurrence of De replaced by Para (left to right, no rescanning).
std::string StringReplace(const std::string& Texto, const std::string& De,
                          const std::string& Para);
/// Count copies of Caractere.
std::string StringOfChar(char Caractere, int Count);
/// Splits Texto into lines at CR LF, LF or CR; a trailing line break does not
/// add an empty line (as a string list's Text property).
TStrings SplitLines(const std::string& Texto);
/// Each line followed by CR LF (the Text of a string list).
std::string JoinLines(const TStrings& Linhas);

// ---------------------------------------------------------------------------
// Filling and layout (Caractere defaults to a blank)

/// The first Tamanho characters of Texto, followed by Caractere up to Tamanho
/// (left-aligned field). Tamanho <= 0 gives "".
std::string CompletaDireita(const std::string& Texto, int Tamanho, char Caractere = ' ');
/// The first Tamanho characters of Texto (a longer text loses its right-hand
/// end), preceded by Caractere up to Tamanho (right-aligned field).
std::string CompletaEsquerda(const std::string& Texto, int Tamanho, char Caractere = ' ');
/// Texto cut to Tamanho, (Tamanho - length) div 2 fill characters in front,
/// then filled on the right up to Tamanho.
std::string Centraliza(const std::string& Texto, int Tamanho, char Caractere = ' ');
/// Spreads Texto over Tamanho columns at the Separador marks.
std::string Justifica(const std::string& Texto, int Tamanho, const std::string& Separador = "|",
                      char Caractere = ' ');
/// CompletaEsquerda(Trim(Texto), Tamanho, '0').
std::string ZerosEsquerda(const std::string& Texto, int Tamanho);
/// The decimal text of Numero through ZerosEsquerda. A number longer than
/// Tamanho keeps its LEFT digits (12345 in 3 gives "123"); a negative number
/// is filled in front of its sign ("0-5"). Command fields use CampoNumerico
/// instead, which refuses a value that does not fit.
std::string InteiroZeros(int64_t Numero, int Tamanho);

// ---------------------------------------------------------------------------
// Searching

/// Position of the first occurrence of SubTexto starting at or after Inicio
/// (>= 1); 0 if none.
int PosicaoApos(const std::string& SubTexto, const std::string& Texto, int Inicio = 1);
/// Position of the N-th occurrence (overlapping matches count); N <= 1 gives
/// the first; 0 when there are fewer.
int PosicaoOcorrencia(const std::string& SubTexto, const std::string& Texto, int N);
/// Position of the last occurrence, 0 if none.
int PosicaoUltima(const std::string& SubTexto, const std::string& Texto);
/// Number of occurrences, overlapping ones counted; 0 for an empty SubTexto.
int ContaOcorrencias(const std::string& Texto, const std::string& SubTexto);

// ---------------------------------------------------------------------------
// Characters

bool EhDigito(char Caractere);
/// The digits of Texto in order.
std::string SoDigitos(const std::string& Texto);
/// Latin-1 accented letter to its plain letter; other codes unchanged.
char TiraAcento(char Caractere);
/// Each character through TiraAcento, then anything that is not LF, CR or
/// 32..126 becomes a blank. The length is unchanged.
std::string TiraAcentos(const std::string& Texto);
/// Bit Bit (0 = least significant, 0..31) of Valor is set.
bool BitLigado(int32_t Valor, int Bit);
/// "#65,#66" for "AB"; "" for "".
std::string TextoParaAscii(const std::string& Texto);
/// The reverse of TextoParaAscii: "#65,#66,xy" gives "ABxy".
std::string AsciiParaTexto(const std::string& Texto);

// ---------------------------------------------------------------------------
// Numbers

/// Strict conversion: '.' or ',' as the decimal separator, optional sign and
/// surrounding blanks. A text with both separators, or anything else that is
/// not a number, raises Exception ("'<texto>' não é um valor numérico válido").
double TextoParaNumero(const std::string& Texto);
/// TextoParaNumero, or Padrao when it raises.
double TextoParaNumeroDef(const std::string& Texto, double Padrao);
/// Lenient reading of an amount as printers write it: '.' thousands and ','
/// decimals ("6.275,0000"), or a plain number with either separator. When
/// both separators appear, the last one is the decimal separator. Raises like
/// TextoParaNumero when the text is not a number.
double TextoParaValor(const std::string& Texto);
/// Strict integer conversion (optional sign, surrounding blanks allowed);
/// raises Exception ("'<texto>' não é um valor inteiro válido").
int64_t StrToInt(const std::string& Texto);
/// StrToInt, or Padrao when it raises.
int64_t StrToIntDef(const std::string& Texto, int64_t Padrao);
/// Decimal text of an integer.
std::string IntToStr(int64_t Valor);
/// Removes the representation error and truncates: 1.15 * 100 gives 115.
int64_t TruncaPreciso(double Valor);
/// Decimal rounding with halves to the even neighbour, after removing the
/// representation error. Digito -2 means two decimals (0.125 -> 0.12,
/// 0.135 -> 0.14); Digito 1 rounds to tens.
double RoundTo(double Valor, int Digito);
/// Money rounding: RoundTo(Valor, -2).
inline double ArredondaMoeda(double Valor) { return RoundTo(Valor, -2); }
/// Formats with a mask in the Brazilian convention: '0' a required digit,
/// '#' an optional digit, ',' asks for thousands separators, '.' marks the
/// decimal point; written with '.' thousands and ',' decimals.
/// FormatFloat("#,###,##0.00", 1234.5) gives "1.234,50"; "0.000" gives "1,500".
std::string FormatFloat(const std::string& Mascara, double Valor);
/// Shortest plain decimal text of Valor with ',' as the decimal separator
/// ("12,5", "3", "-0,25"), at most 15 significant digits.
std::string FloatToStr(double Valor);

// ---------------------------------------------------------------------------
// Date-times: days since 1899-12-30, time of day as the fraction.

using TDateTime = double;

/// Raises Exception for an invalid date or time.
TDateTime EncodeDate(int Ano, int Mes, int Dia);
TDateTime EncodeTime(int Hora, int Minuto, int Segundo, int Milissegundo = 0);
/// True and the value when the parts form a valid date-time.
bool TryEncodeDateTime(int Ano, int Mes, int Dia, int Hora, int Minuto, int Segundo,
                       TDateTime& Resultado);
void DecodeDate(TDateTime Data, int& Ano, int& Mes, int& Dia);
void DecodeTime(TDateTime Data, int& Hora, int& Minuto, int& Segundo, int& Milissegundo);
/// The date part (whole days).
TDateTime DateOf(TDateTime Data);
/// Days in a month (leap years included).
int DiasNoMes(int Ano, int Mes);
/// Formats with the patterns the printers and reports use: d dd m mm yy yyyy
/// h hh n nn s ss zzz; "mm" right after an hour means minutes; text in double
/// or single quotes and any other character are copied.
/// FormatDateTime("dd/mm/yyyy hh:nn:ss", d), "ddmmyy", "ddmmyyhhnnss".
std::string FormatDateTime(const std::string& Formato, TDateTime Data);
/// Reads a date-time from its digits in the given order, one of "ddmmyy",
/// "ddmmyyyy", "ddmmyyhhnnss", "ddmmyyyyhhnnss", "yyyymmdd", "yyyymmddhhnnss",
/// "hhnnss"; separators in Texto are ignored. Two-digit years are 2000 + yy
/// below 70 and 1900 + yy otherwise. Raises Exception on bad text.
TDateTime LeDataHora(const std::string& Texto, const std::string& Formato);
/// "dd/mm/yyyy" or "dd/mm/yy", with optional " hh:nn" or " hh:nn:ss".
/// Raises Exception ("'<texto>' não é uma data válida").
TDateTime StrToDateTime(const std::string& Texto);

// ---------------------------------------------------------------------------
// Safe formatting of user-settable message templates

using ArgFormato = std::variant<int64_t, std::string>;

/// Understands %d (an integer argument), %s (a text argument) and %%.
/// A template that asks for more arguments than given, or a type that does
/// not match, raises Exception. Extra arguments are ignored. User text never
/// reaches printf.
std::string Formata(const std::string& Modelo, const std::vector<ArgFormato>& Args);
/// Formata, or Modelo unchanged when the template does not match.
std::string FormataOuTexto(const std::string& Modelo, const std::vector<ArgFormato>& Args);

/// Windows-1252 bytes as UTF-8 text, for consoles and logs outside the
/// library (the five unassigned codes become '?').
std::string Cp1252ParaUtf8(const std::string& Texto);

// ---------------------------------------------------------------------------
// Scope guards: settings a command changes for its own duration come back on
// every way out, exceptions included.

/// Runs F when the scope ends; an exception from F is swallowed.
template <class F>
class AoSair {
 public:
  explicit AoSair(F f) : fF(std::move(f)) {}
  ~AoSair() {
    try {
      fF();
    } catch (...) {
    }
  }
  AoSair(const AoSair&) = delete;
  AoSair& operator=(const AoSair&) = delete;

 private:
  F fF;
};

/// Gives a variable back its value when the scope ends.
template <class T>
class Restaura {
 public:
  explicit Restaura(T& Campo) : fCampo(Campo), fValor(Campo) {}
  ~Restaura() { fCampo = fValor; }
  Restaura(const Restaura&) = delete;
  Restaura& operator=(const Restaura&) = delete;

 private:
  T& fCampo;
  T fValor;
};

}  // namespace zuvo
