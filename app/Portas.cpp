#include "app/Portas.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace zuvo {

namespace {

// "ttyUSB10" after "ttyUSB9": the family, then the number.
bool AntesNatural(const std::string& A, const std::string& B) {
  auto corta = [](const std::string& s) {
    size_t i = s.size();
    while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') i--;
    return i;
  };
  const size_t ia = corta(A), ib = corta(B);
  const std::string pa = A.substr(0, ia), pb = B.substr(0, ib);
  if (pa != pb) return pa < pb;
  const std::string na = A.substr(ia), nb = B.substr(ib);
  if (na.size() != nb.size()) return na.size() < nb.size();
  return na < nb;
}

}  // namespace

std::vector<std::string> ListaPortas(const std::string& Pasta) {
  std::vector<std::string> portas{"Procurar"};
  for (int i = 1; i <= 9; i++) portas.push_back("COM" + std::to_string(i));
  for (int i = 1; i <= 3; i++) portas.push_back("LPT" + std::to_string(i));

  std::vector<std::string> achadas;
  std::error_code erro;
  for (std::filesystem::directory_iterator it(Pasta, erro), fim; !erro && it != fim;
       it.increment(erro)) {
    const std::string nome = it->path().filename().string();
    for (const char* prefixo : {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "rfcomm"}) {
      const std::string p = prefixo;
      if (nome.size() > p.size() && nome.compare(0, p.size(), p) == 0 &&
          std::all_of(nome.begin() + static_cast<long>(p.size()), nome.end(),
                      [](char c) { return c >= '0' && c <= '9'; })) {
        achadas.push_back(nome);
        break;
      }
    }
  }
  // rfcomm, ttyACM, ttyAMA, ttyS, ttyUSB: grouped by family, numbers in order.
  std::sort(achadas.begin(), achadas.end(), AntesNatural);
  std::string base = Pasta;
  if (!base.empty() && base.back() != '/') base += '/';
  for (const auto& n : achadas) portas.push_back(base + n);
  return portas;
}

}  // namespace zuvo
