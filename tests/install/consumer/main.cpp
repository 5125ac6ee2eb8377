#include <zuvoecf/component/ZuvoECF.h>
#include <iostream>

int main() {
  zuvo::TZuvoECF ecf;
  std::cout << ecf.NumSerie() << "\n";
  return ecf.NumECF() == "001" ? 0 : 1;
}
