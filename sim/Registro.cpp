// The simulators zuvoecf-sim and the suites can start, by family name. A
// family's simulator sim/Sim<Family>.h declares Sim<Family>; it is listed here
// as soon as it exists and the build includes the family.
#include <cctype>
#include <string>

#include "sim/Simulador.h"

namespace zuvo::sim {
template <class S>
std::unique_ptr<Simulador> Cria(const OpcoesSimulador& O) {
  return std::make_unique<S>(O);
}
}  // namespace zuvo::sim

#if defined(ZUVO_COM_NAOFISCAL) && __has_include("sim/SimNaoFiscal.h")
#include "sim/SimNaoFiscal.h"
#define ZUVO_SIM_NAOFISCAL &Cria<SimNaoFiscal>
#else
#define ZUVO_SIM_NAOFISCAL nullptr
#endif
#if defined(ZUVO_COM_BEMATECH) && __has_include("sim/SimBematech.h")
#include "sim/SimBematech.h"
#define ZUVO_SIM_BEMATECH &Cria<SimBematech>
#else
#define ZUVO_SIM_BEMATECH nullptr
#endif
#if defined(ZUVO_COM_DARUMA) && __has_include("sim/SimDaruma.h")
#include "sim/SimDaruma.h"
#define ZUVO_SIM_DARUMA &Cria<SimDaruma>
#else
#define ZUVO_SIM_DARUMA nullptr
#endif
#if defined(ZUVO_COM_SWEDA) && __has_include("sim/SimSweda.h")
#include "sim/SimSweda.h"
#define ZUVO_SIM_SWEDA &Cria<SimSweda>
#else
#define ZUVO_SIM_SWEDA nullptr
#endif
#if defined(ZUVO_COM_SCHALTER) && __has_include("sim/SimSchalter.h")
#include "sim/SimSchalter.h"
#define ZUVO_SIM_SCHALTER &Cria<SimSchalter>
#else
#define ZUVO_SIM_SCHALTER nullptr
#endif
#if defined(ZUVO_COM_MECAF) && __has_include("sim/SimMecaf.h")
#include "sim/SimMecaf.h"
#define ZUVO_SIM_MECAF &Cria<SimMecaf>
#else
#define ZUVO_SIM_MECAF nullptr
#endif
#if defined(ZUVO_COM_YANCO) && __has_include("sim/SimYanco.h")
#include "sim/SimYanco.h"
#define ZUVO_SIM_YANCO &Cria<SimYanco>
#else
#define ZUVO_SIM_YANCO nullptr
#endif
#if defined(ZUVO_COM_DATAREGIS) && __has_include("sim/SimDataRegis.h")
#include "sim/SimDataRegis.h"
#define ZUVO_SIM_DATAREGIS &Cria<SimDataRegis>
#else
#define ZUVO_SIM_DATAREGIS nullptr
#endif
#if defined(ZUVO_COM_URANO) && __has_include("sim/SimUrano.h")
#include "sim/SimUrano.h"
#define ZUVO_SIM_URANO &Cria<SimUrano>
#else
#define ZUVO_SIM_URANO nullptr
#endif
#if defined(ZUVO_COM_ICASH) && __has_include("sim/SimICash.h")
#include "sim/SimICash.h"
#define ZUVO_SIM_ICASH &Cria<SimICash>
#else
#define ZUVO_SIM_ICASH nullptr
#endif
#if defined(ZUVO_COM_QUATTRO) && __has_include("sim/SimQuattro.h")
#include "sim/SimQuattro.h"
#define ZUVO_SIM_QUATTRO &Cria<SimQuattro>
#else
#define ZUVO_SIM_QUATTRO nullptr
#endif
#if defined(ZUVO_COM_FISCNET) && __has_include("sim/SimFiscNET.h")
#include "sim/SimFiscNET.h"
#define ZUVO_SIM_FISCNET &Cria<SimFiscNET>
#else
#define ZUVO_SIM_FISCNET nullptr
#endif

namespace zuvo::sim {

namespace {
bool MesmoNome(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

struct Registro {
  const char* Familia;
  std::unique_ptr<Simulador> (*Cria)(const OpcoesSimulador&);
};
const Registro kSimuladores[] = {
    {"NaoFiscal", ZUVO_SIM_NAOFISCAL},
    {"Bematech", ZUVO_SIM_BEMATECH},
    {"Daruma", ZUVO_SIM_DARUMA},
    {"Sweda", ZUVO_SIM_SWEDA},
    {"Schalter", ZUVO_SIM_SCHALTER},
    {"Mecaf", ZUVO_SIM_MECAF},
    {"Yanco", ZUVO_SIM_YANCO},
    {"DataRegis", ZUVO_SIM_DATAREGIS},
    {"Urano", ZUVO_SIM_URANO},
    {"ICash", ZUVO_SIM_ICASH},
    {"Quattro", ZUVO_SIM_QUATTRO},
    {"FiscNET", ZUVO_SIM_FISCNET},
};
}  // namespace

std::unique_ptr<Simulador> CriaSimulador(const std::string& Familia,
                                         const OpcoesSimulador& Opcoes) {
  for (const auto& r : kSimuladores)
    if (r.Cria && (MesmoNome(Familia, r.Familia) || MesmoNome(Familia, std::string("ecf") + r.Familia)))
      return r.Cria(Opcoes);
  return nullptr;
}

std::string FamiliasSimuladas() {
  std::string nomes;
  for (const auto& r : kSimuladores)
    if (r.Cria) nomes += (nomes.empty() ? "" : " ") + std::string(r.Familia);
  return nomes;
}

}  // namespace zuvo::sim
