// The model factory: the one place where printer drivers are registered.
// A family's driver unit drivers/ZuvoECF<Family>.h declares TZuvoECF<Family>;
// it is registered here as soon as it exists and the build includes the
// family (ZUVO_COM_<FAMILY>, see the top-level CMakeLists.txt).
#include <memory>

#include "component/ZuvoECF.h"

namespace zuvo {
template <class Driver>
std::unique_ptr<TZuvoECFClass> Cria(TZuvoDevice& Device, TZuvoECFConfig& Config) {
  return std::make_unique<Driver>(Device, Config);
}
}  // namespace zuvo

#if defined(ZUVO_COM_NAOFISCAL) && __has_include("drivers/ZuvoECFNaoFiscal.h")
#include "drivers/ZuvoECFNaoFiscal.h"
#define ZUVO_FABRICA_NAOFISCAL &Cria<TZuvoECFNaoFiscal>
#else
#define ZUVO_FABRICA_NAOFISCAL nullptr
#endif
#if defined(ZUVO_COM_BEMATECH) && __has_include("drivers/ZuvoECFBematech.h")
#include "drivers/ZuvoECFBematech.h"
#define ZUVO_FABRICA_BEMATECH &Cria<TZuvoECFBematech>
#else
#define ZUVO_FABRICA_BEMATECH nullptr
#endif
#if defined(ZUVO_COM_SWEDA) && __has_include("drivers/ZuvoECFSweda.h")
#include "drivers/ZuvoECFSweda.h"
#define ZUVO_FABRICA_SWEDA &Cria<TZuvoECFSweda>
#else
#define ZUVO_FABRICA_SWEDA nullptr
#endif
#if defined(ZUVO_COM_DARUMA) && __has_include("drivers/ZuvoECFDaruma.h")
#include "drivers/ZuvoECFDaruma.h"
#define ZUVO_FABRICA_DARUMA &Cria<TZuvoECFDaruma>
#else
#define ZUVO_FABRICA_DARUMA nullptr
#endif
#if defined(ZUVO_COM_SCHALTER) && __has_include("drivers/ZuvoECFSchalter.h")
#include "drivers/ZuvoECFSchalter.h"
#define ZUVO_FABRICA_SCHALTER &Cria<TZuvoECFSchalter>
#else
#define ZUVO_FABRICA_SCHALTER nullptr
#endif
#if defined(ZUVO_COM_MECAF) && __has_include("drivers/ZuvoECFMecaf.h")
#include "drivers/ZuvoECFMecaf.h"
#define ZUVO_FABRICA_MECAF &Cria<TZuvoECFMecaf>
#else
#define ZUVO_FABRICA_MECAF nullptr
#endif
#if defined(ZUVO_COM_YANCO) && __has_include("drivers/ZuvoECFYanco.h")
#include "drivers/ZuvoECFYanco.h"
#define ZUVO_FABRICA_YANCO &Cria<TZuvoECFYanco>
#else
#define ZUVO_FABRICA_YANCO nullptr
#endif
#if defined(ZUVO_COM_DATAREGIS) && __has_include("drivers/ZuvoECFDataRegis.h")
#include "drivers/ZuvoECFDataRegis.h"
#define ZUVO_FABRICA_DATAREGIS &Cria<TZuvoECFDataRegis>
#else
#define ZUVO_FABRICA_DATAREGIS nullptr
#endif
#if defined(ZUVO_COM_URANO) && __has_include("drivers/ZuvoECFUrano.h")
#include "drivers/ZuvoECFUrano.h"
#define ZUVO_FABRICA_URANO &Cria<TZuvoECFUrano>
#else
#define ZUVO_FABRICA_URANO nullptr
#endif
#if defined(ZUVO_COM_ICASH) && __has_include("drivers/ZuvoECFICash.h")
#include "drivers/ZuvoECFICash.h"
#define ZUVO_FABRICA_ICASH &Cria<TZuvoECFICash>
#else
#define ZUVO_FABRICA_ICASH nullptr
#endif
#if defined(ZUVO_COM_QUATTRO) && __has_include("drivers/ZuvoECFQuattro.h")
#include "drivers/ZuvoECFQuattro.h"
#define ZUVO_FABRICA_QUATTRO &Cria<TZuvoECFQuattro>
#else
#define ZUVO_FABRICA_QUATTRO nullptr
#endif
#if defined(ZUVO_COM_FISCNET) && __has_include("drivers/ZuvoECFFiscNET.h")
#include "drivers/ZuvoECFFiscNET.h"
#define ZUVO_FABRICA_FISCNET &Cria<TZuvoECFFiscNET>
#else
#define ZUVO_FABRICA_FISCNET nullptr
#endif

namespace zuvo {

namespace {

using Fabrica = std::unique_ptr<TZuvoECFClass> (*)(TZuvoDevice&, TZuvoECFConfig&);

struct RegistroModelo {
  TZuvoECFModelo Modelo;
  const char* Nome;
  Fabrica Cria;  // null: the base class answers until the family has a driver
};

// In the order of TZuvoECFModelo.
const RegistroModelo kModelos[kNumModelos] = {
    {ecfNenhum, "ecfNenhum", nullptr},
    {ecfNaoFiscal, "ecfNaoFiscal", ZUVO_FABRICA_NAOFISCAL},
    {ecfBematech, "ecfBematech", ZUVO_FABRICA_BEMATECH},
    {ecfSweda, "ecfSweda", ZUVO_FABRICA_SWEDA},
    {ecfDaruma, "ecfDaruma", ZUVO_FABRICA_DARUMA},
    {ecfSchalter, "ecfSchalter", ZUVO_FABRICA_SCHALTER},
    {ecfMecaf, "ecfMecaf", ZUVO_FABRICA_MECAF},
    {ecfYanco, "ecfYanco", ZUVO_FABRICA_YANCO},
    {ecfDataRegis, "ecfDataRegis", ZUVO_FABRICA_DATAREGIS},
    {ecfUrano, "ecfUrano", ZUVO_FABRICA_URANO},
    {ecfICash, "ecfICash", ZUVO_FABRICA_ICASH},
    {ecfQuattro, "ecfQuattro", ZUVO_FABRICA_QUATTRO},
    {ecfFiscNET, "ecfFiscNET", ZUVO_FABRICA_FISCNET},
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

std::unique_ptr<TZuvoECFClass> CriaDriver(TZuvoECFModelo Modelo, TZuvoDevice& Device,
                                          TZuvoECFConfig& Config) {
  const RegistroModelo* r = Registro(Modelo);
  if (r && r->Cria) return r->Cria(Device, Config);
  return std::make_unique<TZuvoECFClass>(Device, Config);
}

}  // namespace zuvo
