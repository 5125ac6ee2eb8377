#include "capi/TextoC.h"

#include <cstdint>
#include <cstdio>

namespace zuvo::capi {

namespace {

// The code points of Windows-1252's 0x80..0x9F; 0 marks the five codes that
// have no character.
constexpr uint16_t kAlto[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Windows-1252 byte of a code point, or -1.
int ByteDe(uint32_t U) {
  if (U < 0x80 || (U >= 0xA0 && U <= 0xFF)) return static_cast<int>(U);
  for (int i = 0; i < 32; i++)
    if (kAlto[i] != 0 && kAlto[i] == U) return 0x80 + i;
  return -1;
}

[[noreturn]] void NaoUtf8(const char* Nome) {
  throw ErroArgumento(std::string("Texto não é UTF-8 válido: ") + Nome);
}

}  // namespace

std::string Utf8ParaCp1252(const char* Texto, const char* Nome) {
  if (!Texto) throw ErroArgumento(std::string("Parâmetro nulo: ") + Nome);
  std::string r;
  const auto* p = reinterpret_cast<const unsigned char*>(Texto);
  while (*p) {
    uint32_t u = *p;
    int extra = 0;
    if (u < 0x80) extra = 0;
    else if ((u & 0xE0) == 0xC0) { u &= 0x1F; extra = 1; }
    else if ((u & 0xF0) == 0xE0) { u &= 0x0F; extra = 2; }
    else if ((u & 0xF8) == 0xF0) { u &= 0x07; extra = 3; }
    else NaoUtf8(Nome);
    p++;
    for (int i = 0; i < extra; i++, p++) {
      if ((*p & 0xC0) != 0x80) NaoUtf8(Nome);  // also stops at the terminating NUL
      u = (u << 6) | (*p & 0x3F);
    }
    static constexpr uint32_t kMinimo[4] = {0, 0x80, 0x800, 0x10000};
    if (u < kMinimo[extra] || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) NaoUtf8(Nome);
    const int b = ByteDe(u);
    if (b < 0) {
      char cp[16];
      std::snprintf(cp, sizeof cp, "U+%04X", static_cast<unsigned>(u));
      throw ErroArgumento(std::string("O caractere ") + cp +
                          " não tem representação em Windows-1252: " + Nome);
    }
    r += static_cast<char>(b);
  }
  return r;
}

}  // namespace zuvo::capi
