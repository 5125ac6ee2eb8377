// Creates the component, shows its settings and what the driver answers for
// a model without a printer: the identity values and the error of an
// operation the model does not implement.
//
//   identifica [modelo] [porta]
//
// With a model and a port (a serial port, a device path or a file) it
// activates the printer and shows its identity instead.
#include <cstdio>
#include <iostream>
#include <string>

#include "component/ZuvoECF.h"

namespace {

void Mostra(const std::string& rotulo, const std::string& valor) {
  std::cout << "  " << rotulo << ": " << zuvo::Cp1252ParaUtf8(valor) << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zuvo;
  TZuvoECF ecf;
  try {
    if (argc > 1) {
      TZuvoECFModelo modelo;
      if (!ModeloDeNome(argv[1], modelo)) {
        std::cerr << "modelo desconhecido: " << argv[1] << "\n";
        return 2;
      }
      ecf.SetModelo(modelo);
      if (argc > 2) ecf.SetPorta(argv[2]);
      ecf.Ativar();
    }
    std::cout << zuvo::Cp1252ParaUtf8(TZuvoComponent::Sobre()) << "\n";
    std::cout << "Modelo " << ModeloNome(ecf.Modelo()) << ", porta " << zuvo::Cp1252ParaUtf8(ecf.Porta())
              << ", " << ecf.Device().Baud() << " bps, TimeOut " << ecf.TimeOut() << " s\n";
    Mostra("ModeloStr", ecf.ModeloStr());
    Mostra("NumSerie", ecf.NumSerie());
    Mostra("NumVersao", ecf.NumVersao());
    Mostra("NumECF", ecf.NumECF());
    Mostra("NumLoja", ecf.NumLoja());
    Mostra("NumCRO", ecf.NumCRO());
    Mostra("Colunas", IntToStr(ecf.Colunas()));
    Mostra("DataHora", FormatDateTime("dd/mm/yyyy hh:nn:ss", ecf.DataHora()));
    Mostra("Estado", EstadoStr(ecf.Estado()));
    try {
      ecf.AbreCupom();
      std::cout << "  AbreCupom: cupom aberto\n";
    } catch (const Exception& e) {
      std::cout << "  AbreCupom -> " << zuvo::Cp1252ParaUtf8(e.what()) << "\n";
    }
    ecf.Desativar();
  } catch (const Exception& e) {
    std::cerr << "Erro: " << zuvo::Cp1252ParaUtf8(e.what()) << "\n";
    return 1;
  }
  return 0;
}
