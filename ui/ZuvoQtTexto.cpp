#include "ui/ZuvoQtTexto.h"

namespace zuvo::ui {

namespace {
// 0x80..0x9F of Windows-1252; 0 marks the five unassigned codes.
const char16_t kAlto[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

QString DeCp1252(const std::string& Bytes) {
  QString r;
  r.reserve(static_cast<qsizetype>(Bytes.size()));
  for (unsigned char c : Bytes) {
    if (c >= 0x80 && c < 0xA0) {
      char16_t u = kAlto[c - 0x80];
      r.append(QChar(u ? u : c));
    } else {
      r.append(QChar(static_cast<char16_t>(c)));
    }
  }
  return r;
}

std::string ParaCp1252(const QString& Texto) {
  std::string r;
  r.reserve(static_cast<size_t>(Texto.size()));
  for (QChar ch : Texto) {
    char16_t u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      r += static_cast<char>(u);
      continue;
    }
    char b = '?';
    for (int i = 0; i < 32; i++)
      if (kAlto[i] == u) {
        b = static_cast<char>(0x80 + i);
        break;
      }
    r += b;
  }
  return r;
}

}  // namespace zuvo::ui
