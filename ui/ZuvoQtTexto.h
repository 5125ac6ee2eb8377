// Conversions between the library's Windows-1252 byte strings and QString,
// used only at the Qt boundary.
#pragma once

#include <QString>
#include <string>

namespace zuvo::ui {

/// Windows-1252 bytes to text (the 0x80..0x9F range included: €, ‚, “ ...).
QString DeCp1252(const std::string& Bytes);
/// Text to Windows-1252 bytes; a character the code page lacks becomes '?'.
std::string ParaCp1252(const QString& Texto);

}  // namespace zuvo::ui
