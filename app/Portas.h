// The ports the port box offers on this system.
#pragma once

#include <string>
#include <vector>

namespace zuvo {

/// "Procurar", COM1 to COM9, LPT1 to LPT3, then the serial devices found in
/// Pasta (ttyS*, ttyUSB*, ttyACM*, ttyAMA*, rfcomm*, as full paths, in
/// natural order).
std::vector<std::string> ListaPortas(const std::string& Pasta = "/dev");

}  // namespace zuvo
