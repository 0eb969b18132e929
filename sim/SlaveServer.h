// Serves a SimulatedDriver, or several on one line, on a file descriptor (a
// pseudo-terminal master, a serial device or a socket) from a thread of its
// own, as real RTU slaves would: it finds the end of each request by its
// length, or by the line falling silent, lets every driver on the line hear
// it, and sends the answer as the answering driver's faults ask (delayed, in
// single bytes). On request it hears only a master at its own line
// settings, and paces requests and answers as an RS-485 line at its baud
// rate would carry them.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/UniqueFd.h"
#include "sim/Fault.h"
#include "sim/LineSettings.h"
#include "sim/LineTiming.h"
#include "sim/SimulatedDriver.h"

namespace sim {

struct LineOptions {
  // The driver's own settings: the rate of a paced line, and what a master
  // must use to be heard.
  LineSettings settings;
  // A master whose port is at other settings is not heard: its requests
  // are dropped as a real driver drops frames it cannot decode. A
  // descriptor that is not a terminal (a socket) carries no settings and
  // is always heard.
  bool hearOwnSettingsOnly = false;
  // A request is taken to end on the wire its length in characters after
  // its first byte came; the answer starts `turnaround` later and its
  // bytes leave one character time apart.
  bool wire = false;
  std::chrono::microseconds turnaround = DriverTurnaround;
  // Called on the serving thread for each request that went unheard, with
  // the master's settings.
  std::function<void(const LineSettings& master)> unheard = {};
};

// A driver on the served line and its own time from the end of a request to
// its answer on a paced line.
struct Station {
  SimulatedDriver* driver = nullptr;
  std::chrono::microseconds turnaround = DriverTurnaround;
};

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
  SlaveServer(SimulatedDriver& driver, int fd, LineOptions line, TrafficLog log = {});
  // Several drivers on one line, each with its own turnaround (the line's
  // `turnaround` is not used). Each request reaches all of them; when more
  // than one answers, their answers collide on the wire.
  SlaveServer(std::vector<Station> stations, int fd, LineOptions line, TrafficLog log = {});
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

  // Becomes readable once the far end of a descriptor that is not a
  // terminal has gone (a socket's peer closed it); nothing more is served
  // then. A terminal's hang-ups are waited out instead.
  int EndedDescriptor() const { return ended_.Get(); }

 private:
  enum class Event { Readable, Silence, Stop, Kick, Hangup, Closed };

  void Serve();
  Event Wait(int timeoutMs);
  // Takes complete requests off the front of `pending`; false when a frame
  // was broken and the rest must be dropped until the line falls silent.
  bool TakeRequests(std::vector<uint8_t>& pending);
  void Handle(const std::vector<uint8_t>& request);
  // After the requests of one read: the driver that answered last hears
  // again, unless bytes came while it answered (they are the next read).
  void Handled();
  // Whether the master's port is at the settings this driver hears.
  bool Hears();
  // True when input was waiting before the answer's last byte went out.
  bool Send(const Reply& reply, Clock::time_point start);
  bool WriteAll(const uint8_t* bytes, size_t count);
  // Waits until `deadline` unless told to stop; false when told.
  bool PauseUntil(Clock::time_point deadline);
  bool Pause(std::chrono::milliseconds duration) { return PauseUntil(Clock::now() + duration); }
  // The far end is gone for good: says so and serves no more.
  void End();
  void WaitForStop();
  // Reads the wake-up descriptor; true when it says stop.
  bool TakeWake();
  // Sends the garbage owed since `mark` at the babble rate.
  void SendBabble(std::chrono::steady_clock::time_point& mark);

  std::vector<Station> stations_;
  int fd_;
  int savedFlags_;
  bool terminal_;
  bool socket_;
  LineOptions line_;
  TrafficLog log_;
  UniqueFd wake_;  // stop, or a change of the babble rate
  UniqueFd ended_;
  // When the first byte of the request being gathered came (on a paced
  // line, when the one before it ended on the wire).
  Clock::time_point requestStart_{};
  std::atomic<bool> stop_{false};
  std::atomic<unsigned> babbleRate_{0};
  std::mutex babbleMutex_;
  std::condition_variable babbleTaken_;
  unsigned babbleServed_ = 0;  // the rate the serving thread works at
  uint32_t noise_ = 0x9E3779B9u;  // state of the garbage generator
  // On a paced line, the driver that was answering while the bytes being
  // handled came, which it therefore did not hear.
  const SimulatedDriver* deaf_ = nullptr;
  bool deafNextRead_ = false;
  std::thread thread_;
};

}  // namespace sim
