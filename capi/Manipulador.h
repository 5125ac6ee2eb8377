// The handle behind zuvoecf_t and the one way every C call runs: a null
// check, the thread's current handle (so the toolkit reaches this handle's
// callbacks), and every exception turned into a status and a UTF-8 message.
#pragma once

#include <array>
#include <string>
#include <utility>

#include "capi/TextoC.h"
#include "component/ZuvoECF.h"
#include "zuvoecf/zuvoecf.h"

struct zuvoecf {
  zuvo::TZuvoECF ECF;

  int TipoErro = ZUVOECF_OK;
  std::string Erro;  // UTF-8
  /// Strings handed out by the last call; valid until the next one.
  std::array<std::string, 4> Saidas;

  zuvoecf_retentar_cb Retentar = nullptr;
  void* RetentarUsuario = nullptr;
  zuvoecf_aguarde_cb Aguarde = nullptr;
  void* AguardeUsuario = nullptr;
  zuvoecf_pouco_papel_cb PoucoPapel = nullptr;
  void* PoucoPapelUsuario = nullptr;
  zuvoecf_mensagem_cb Mensagem = nullptr;
  void* MensagemUsuario = nullptr;

  /// The wait window open during this handle's current call, and a key the
  /// program answered from its wait callback, delivered at the next event
  /// processing.
  zuvo::WaitWindowOwner* Janela = nullptr;
  int TeclaPendente = 0;
};

namespace zuvo::capi {

/// The handle whose call runs on this thread (null outside calls).
zuvoecf* HandleAtual();

/// Installs the process's toolkit: no windows, each question and notice sent
/// to the callbacks of the thread's current handle. Idempotent and
/// thread-safe.
void InstalaToolkitC();

/// Records the error of a call made without a handle (thread-local);
/// Mensagem is Windows-1252, as every message of the library.
int ErroSemHandle(int Tipo, const std::string& Mensagem);

/// Turns the exception being handled into a status and a message on H.
int RegistraErro(zuvoecf* H);

/// Refuses a null out- or in-pointer.
template <class T>
void Requer(T* P, const char* Nome) {
  if (!P) throw ErroArgumento(std::string("Parâmetro nulo: ") + Nome);
}

/// Makes H the thread's current handle for one call (nested calls restore
/// the outer one).
class HandleCorrente {
 public:
  explicit HandleCorrente(zuvoecf* H);
  ~HandleCorrente();
  HandleCorrente(const HandleCorrente&) = delete;
  HandleCorrente& operator=(const HandleCorrente&) = delete;

 private:
  zuvoecf* fAntes;
};

/// Runs F as one call on H.
template <class F>
int Executa(zuvoecf* H, F&& Funcao) {
  if (!H) return ErroSemHandle(ZUVOECF_ERRO_ARGUMENTO, "Handle nulo");
  HandleCorrente atual(H);
  H->TipoErro = ZUVOECF_OK;
  H->Erro.clear();
  H->TeclaPendente = 0;
  try {
    Funcao();
    return ZUVOECF_OK;
  } catch (...) {
    return RegistraErro(H);
  }
}

/// Windows-1252 bytes as a UTF-8 string kept in the handle's slot I.
const char* Saida(zuvoecf* H, int I, const std::string& Cp1252);

}  // namespace zuvo::capi
