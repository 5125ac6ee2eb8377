// Text at the edge of the C interface: programs speak UTF-8, printers
// Windows-1252. Conversions in both directions happen here and nowhere else.
#pragma once

#include <string>

#include "core/ZuvoUtil.h"

namespace zuvo::capi {

/// An argument the C interface refuses before the component sees it: a null
/// pointer, text that is not UTF-8 or has no Windows-1252 form, an unknown
/// model name, a table index out of range.
class ErroArgumento : public Exception {
 public:
  using Exception::Exception;
};

/// UTF-8 text as Windows-1252 bytes. Malformed UTF-8 (overlong forms and
/// surrogates included) and a character Windows-1252 cannot represent raise
/// ErroArgumento; nothing is replaced by "?", since a printed receipt must
/// say what the program meant. Nome names the argument in the message.
std::string Utf8ParaCp1252(const char* Texto, const char* Nome);

}  // namespace zuvo::capi
