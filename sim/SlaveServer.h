// Serves a SimulatedDriver on a file descriptor (a pseudo-terminal master or
// a serial device) from a thread of its own, as a real RTU slave would: it
// finds the end of each request by its length, or by the line falling
// silent, answers through the driver, and sends the answer as the driver's
// faults ask (delayed, in single bytes).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "link/UniqueFd.h"
#include "sim/Fault.h"
#include "sim/SimulatedDriver.h"

namespace sim {

class SlaveServer {
 public:
  // Called on the serving thread for every request whose end was found.
  using TrafficLog = std::function<void(const std::vector<uint8_t>& request, const Reply& reply)>;

  // The line counts as silent after this long without a byte (a few
  // character times at 9600 bit/s).
  static constexpr std::chrono::milliseconds SilenceGap{4};

  // Starts serving at once. The descriptor stays the caller's; it is put in
  // non-blocking mode while served and set back afterwards.
  SlaveServer(SimulatedDriver& driver, int fd, TrafficLog log = {});
  // Stops and joins the serving thread, also in the middle of a delayed or
  // piecewise answer.
  ~SlaveServer();
  SlaveServer(const SlaveServer&) = delete;
  SlaveServer& operator=(const SlaveServer&) = delete;

  // A babbling transmitter: from now on garbage goes out without a pause,
  // `bytesPerSecond` of it (a line's speed), and requests drown in it
  // unanswered. 0 ends it. Returns once the serving thread has taken the
  // change (so no garbage follows a return from Babble(0)).
  void Babble(unsigned bytesPerSecond);

 private:
  enum class Event { Readable, Silence, Stop, Kick, Hangup, Closed };

  void Serve();
  Event Wait(int timeoutMs);
  // Takes complete requests off the front of `pending`; false when a frame
  // was broken and the rest must be dropped until the line falls silent.
  bool TakeRequests(std::vector<uint8_t>& pending);
  void Handle(const std::vector<uint8_t>& request);
  void Send(const Reply& reply);
  bool WriteAll(const uint8_t* bytes, size_t count);
  // Waits `duration` unless told to stop; false when told.
  bool Pause(std::chrono::milliseconds duration);
  void WaitForStop();
  // Reads the wake-up descriptor; true when it says stop.
  bool TakeWake();
  // Sends the garbage owed since `mark` at the babble rate.
  void SendBabble(std::chrono::steady_clock::time_point& mark);

  SimulatedDriver& driver_;
  int fd_;
  int savedFlags_;
  TrafficLog log_;
  UniqueFd wake_;  // stop, or a change of the babble rate
  std::atomic<bool> stop_{false};
  std::atomic<unsigned> babbleRate_{0};
  std::mutex babbleMutex_;
  std::condition_variable babbleTaken_;
  unsigned babbleServed_ = 0;  // the rate the serving thread works at
  uint32_t noise_ = 0x9E3779B9u;  // state of the garbage generator
  std::thread thread_;
};

}  // namespace sim
