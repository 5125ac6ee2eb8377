// A pseudo-terminal pair for tests: the code under test opens the slave path
// as its serial port, the test plays the printer on the master side.
//
// Two ways to play the printer:
//  - primitives from the test's own thread: LeMaster, LeMasterAte,
//    EscreveMaster; and EscreveMasterAposMs / EscreveEmPedacos, which a
//    background thread carries out while the test calls the code under test;
//  - a scripted peer (Inicia): a background thread reads the master and hands
//    what has arrived to a script, which answers through a Saida at once,
//    later, or in pieces, and says how many bytes it consumed.
//
// While a script runs, the background thread owns the reading side of the
// master: do not call LeMaster/LeMasterAte then.
//
// The slave stays open inside PtyPar for its whole life. Without that, the
// master reads EIO (a hang-up) every time the code under test closes its
// port, and bytes written in between are lost. The consequence: bytes the
// master writes while no one has the port open wait in the slave's input
// queue until the port is opened (and purged) again.
//
// The destructor stops the background thread (dropping writes not yet due)
// and closes both sides; it never waits for a script beyond its current call.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zuvo {

class PtyPar {
 public:
  /// What a scripted peer sends back. Times are counted from the moment the
  /// script is called.
  class Saida {
   public:
    /// InicioMs: the moment the answer is being made, on AgoraMs's clock;
    /// every time below counts from it.
    explicit Saida(int64_t InicioMs = 0) : fBase(InicioMs) {}
    int64_t Inicio() const { return fBase; }
    /// Sends at once.
    void Escreve(const std::string& Bytes) { EscreveApos(0, Bytes); }
    /// Sends after Ms milliseconds (a late answer).
    void EscreveApos(int Ms, const std::string& Bytes);
    /// Sends Bytes in pieces of Tamanho bytes, IntervaloMs apart, the first
    /// one after PrimeiroMs.
    void EmPedacos(const std::string& Bytes, size_t Tamanho, int IntervaloMs, int PrimeiroMs = 0);
    /// Closes the master side after Ms, once what was due before has gone
    /// out: the port hangs up under the code under test. The pair cannot be
    /// used again.
    void FechaApos(int Ms);
    /// Everything queued so far, in the order it would go out (times
    /// ignored): for tests that run a script without the pseudo-terminal.
    std::string Bytes() const;

   private:
    friend class PtyPar;
    struct Item {
      int64_t Quando;
      std::string Bytes;
    };
    int64_t fBase = 0;
    std::vector<Item> fItens;
    int64_t fFecharEm = -1;
  };

  /// Called on the background thread each time bytes arrive. Pendente holds
  /// what has arrived and not been consumed yet; the script returns how many
  /// bytes from its front it consumed (0: wait for more, e.g. until a frame
  /// is complete). It is called again while it consumes and bytes remain, so
  /// two frames read together get two answers. Returning Pendente.size()
  /// without writing anything is a silent printer.
  using Roteiro = std::function<size_t(const std::string& Pendente, Saida& Out)>;

  /// Opens the pair with both sides in raw mode. Throws std::runtime_error
  /// naming the failing call.
  PtyPar();
  ~PtyPar();
  PtyPar(const PtyPar&) = delete;
  PtyPar& operator=(const PtyPar&) = delete;

  /// Path of the slave ("/dev/pts/N"): the port name for the code under test.
  const std::string& CaminhoEscravo() const { return fCaminho; }
  /// Master descriptor (non-blocking).
  int Master() const { return fMaster; }

  /// Starts (or replaces) the scripted peer.
  void Inicia(Roteiro R);
  /// Stops the background thread; writes not yet due are dropped. The pair
  /// stays usable; Inicia or a delayed write starts the thread again.
  void Para();

  /// Paces what the peer sends as a serial line at Baud bits per second
  /// would (10 bits a byte), and delays each answer by the time the consumed
  /// command took to arrive at that speed. 0 (the default): no pacing.
  void SetBaud(int Baud);

  /// Every byte the scripted peer has read so far.
  std::string Recebido() const;
  /// Waits until the scripted peer has read at least N bytes; false on
  /// time-out.
  bool EsperaRecebido(size_t N, int TimeoutMs) const;
  /// Waits until every delayed write has gone out; false on time-out.
  bool EsperaEscritas(int TimeoutMs) const;

  /// Waits at most TimeoutMs for bytes, then returns what is queued ("" when
  /// nothing came).
  std::string LeMaster(int TimeoutMs);
  /// Reads until N bytes came or TimeoutMs passed; returns what came.
  std::string LeMasterAte(size_t N, int TimeoutMs);
  /// Writes all of Bytes now, waiting for room up to 5 s (then throws
  /// std::runtime_error).
  void EscreveMaster(const std::string& Bytes);
  /// Writes Bytes after Ms milliseconds, from the background thread.
  void EscreveMasterAposMs(int Ms, const std::string& Bytes);
  /// Writes Bytes in pieces of Tamanho bytes, IntervaloMs apart, from the
  /// background thread; the first piece goes at once.
  void EscreveEmPedacos(const std::string& Bytes, size_t Tamanho, int IntervaloMs);

 private:
  static int64_t AgoraMs();
  void Agenda(std::vector<Saida::Item> Itens);
  /// Called with fMutex held: schedules the items, byte by byte when paced.
  void AgendaItens(std::vector<Saida::Item>& Itens, int64_t AtrasoEntradaUs);
  void GaranteThread();
  void Acorda();
  void Laco();
  /// Writes everything unless stopped; false when stopped or failed.
  bool EscreveTudo(const std::string& Bytes, int64_t Limite);

  /// Closes the master (on the background thread); reads and writes on it
  /// then fail quietly.
  void FechaMaster();

  int fMaster = -1;
  int64_t fFecharEm = -1;  // when a script asked to close the master
  int fEscravo = -1;
  int fAcordar[2] = {-1, -1};
  std::string fCaminho;

  mutable std::mutex fMutex;
  mutable std::condition_variable fMudou;
  std::multimap<int64_t, std::string> fAgenda;
  bool fEscrevendo = false;
  int fBaud = 0;
  int64_t fLinhaLivreUs = 0;  // when the paced line finishes its last byte
  Roteiro fRoteiro;
  std::string fRecebido;
  bool fParar = false;
  std::thread fThread;
};

}  // namespace zuvo
