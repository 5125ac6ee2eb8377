// The message of the error a call raises, so a test can compare it with the
// printer's or the library's text in one line.
#pragma once

#include <exception>
#include <string>

namespace zuvo::teste {

/// What MensagemDe gives for a call that raised nothing.
inline const std::string kSemErro = "(nenhum erro)";

/// Runs F and returns the message of the exception it raised, or kSemErro.
template <class F>
std::string MensagemDe(F&& Funcao) {
  try {
    Funcao();
  } catch (const std::exception& e) {
    return e.what();
  }
  return kSemErro;
}

}  // namespace zuvo::teste
