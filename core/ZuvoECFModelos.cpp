// The model factory: the one place where printer drivers are registered.
// Adding a driver means including its header and filling its row below.
#include <memory>

#include "core/ZuvoECF.h"

namespace zuvo {

namespace {

using Fabrica = std::unique_ptr<TZuvoECFClass> (*)(TZuvoECF*);

template <class Driver>
std::unique_ptr<TZuvoECFClass> Cria(TZuvoECF* Dono) {
  return std::make_unique<Driver>(Dono);
}

struct RegistroModelo {
  TZuvoECFModelo Modelo;
  const char* Nome;
  Fabrica Cria;  // null: the base class answers until the family has a driver
};

// In the order of TZuvoECFModelo.
const RegistroModelo kModelos[kNumModelos] = {
    {ecfNenhum, "ecfNenhum", nullptr},
    {ecfNaoFiscal, "ecfNaoFiscal", nullptr},
    {ecfBematech, "ecfBematech", nullptr},
    {ecfSweda, "ecfSweda", nullptr},
    {ecfDaruma, "ecfDaruma", nullptr},
    {ecfSchalter, "ecfSchalter", nullptr},
    {ecfMecaf, "ecfMecaf", nullptr},
    {ecfYanco, "ecfYanco", nullptr},
    {ecfDataRegis, "ecfDataRegis", nullptr},
    {ecfUrano, "ecfUrano", nullptr},
    {ecfICash, "ecfICash", nullptr},
    {ecfQuattro, "ecfQuattro", nullptr},
    {ecfFiscNET, "ecfFiscNET", nullptr},
};

const RegistroModelo* Registro(TZuvoECFModelo M) {
  int i = static_cast<int>(M);
  if (i < 0 || i >= kNumModelos) return nullptr;
  return &kModelos[i];
}

}  // namespace

std::string ModeloNome(TZuvoECFModelo M) {
  const RegistroModelo* r = Registro(M);
  return r ? r->Nome : "ecfNenhum";
}

bool ModeloDeNome(const std::string& Nome, TZuvoECFModelo& M) {
  for (const auto& r : kModelos)
    if (SameText(Nome, r.Nome)) {
      M = r.Modelo;
      return true;
    }
  return false;
}

bool ModeloTemDriver(TZuvoECFModelo Modelo) {
  const RegistroModelo* r = Registro(Modelo);
  return r && r->Cria;
}

std::unique_ptr<TZuvoECFClass> CriaDriver(TZuvoECFModelo Modelo, TZuvoECF* Dono) {
  const RegistroModelo* r = Registro(Modelo);
  if (r && r->Cria) return r->Cria(Dono);
  return std::make_unique<TZuvoECFClass>(Dono);
}

}  // namespace zuvo
