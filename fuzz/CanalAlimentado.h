// What the fuzz targets need around the library: a port fed from the fuzz
// input, a clock that only moves when the code waits, and the few printer
// operations every family target runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "core/ZuvoPlataforma.h"
#include "device/ZuvoBase.h"

namespace zuvo::fuzz {

/// The printer's answers, cut from one input. The input is a list of pieces,
/// each a 2-byte header (length in the low 15 bits, low byte first; the top
/// bit set: the piece arrives after the one before it, as another read of the
/// same answer) followed by its bytes; a piece cut short by the input's end
/// takes what is left. Every command written releases the next answer (a
/// piece and the ones that follow it); a read gets one piece. When nothing is
/// released, a read spends its Ms on the platform's clock and finds nothing:
/// a time-out costs no real time.
class CanalAlimentado : public CanalBytes {
 public:
  CanalAlimentado(const uint8_t* Dados, size_t Tamanho);
  void Escreve(const std::string& Dados) override;
  std::string Recebe(int Ms) override;
  int RecebeByte(int Ms) override;
  void Esvazia() override;
  /// Everything written so far (the recorder compares it with the printer's).
  const std::string& Escrito() const { return fEscrito; }

 private:
  struct Pedaco {
    std::string Bytes;
    bool Continua;
  };
  std::deque<Pedaco> fPedacos;     // not released yet
  std::deque<std::string> fChegou;  // released, not read
  std::string fEscrito;
};

/// Writes Pedacos in the layout CanalAlimentado reads (for the recorder):
/// each answer a piece, the later reads of one answer continuation pieces.
std::string CodificaPedaco(const std::string& Bytes, bool Continua);

/// A platform whose monotonic clock moves only when the code sleeps (or a
/// channel read finds nothing), with a fixed calendar and a private folder.
class PlataformaVirtual : public Plataforma {
 public:
  explicit PlataformaVirtual(std::string Pasta);
  TDateTime Agora() override;
  int64_t MonotonicoMs() override { return fRelogio; }
  void Dorme(int Ms) override;
  std::string PastaPrograma() override { return fPasta; }
  void Reinicia() { fRelogio = 0; }

 private:
  int64_t fRelogio = 0;
  std::string fPasta;
};

/// A fresh folder for the target's files (ending in '/'), in memory
/// (/dev/shm) when there is one.
std::string PastaTemporaria(const char* Nome);

}  // namespace zuvo::fuzz
