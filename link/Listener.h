// Listens to a line without sending: reads an open port on a thread of its
// own until stopped, stamps each chunk as it comes, splits the bytes into
// frames (FrameSplitter) and hands each frame to a callback on that thread.
// A line that stays quiet for IdleFlush with bytes held lets them out, so
// the last frame before a pause is not kept back.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <stop_token>

#include "base/Runner.h"
#include "link/FrameSplitter.h"
#include "link/ByteChannel.h"

enum class ListenEnd {
  Running,   // not ended yet (or never started)
  Stopped,   // a stop asked for ended it
  PortLost,  // the port went away (adapter pulled, line hung up)
  Failed,    // the system refused to wait on the port
};

class Listener {
 public:
  using FrameHandler = std::function<void(const SplitFrame&)>;

  Listener() = default;
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  ~Listener() = default;  // the runner stops and joins

  // The runner's verbs, on the runner's terms: Start and Join from the
  // owner's thread, RequestStop from any.
  //
  // Starts listening on `port`, open and set to `baudRate`; `onFrame` runs
  // on the listener's thread for every frame. False, and nothing started,
  // when it still listens, the port is not open, or no thread can be had;
  // without a wake-up descriptor it ends at once as Failed. A listener that
  // has ended by itself may start again without a Join. The port must stay
  // open, and nobody else may read it, until the listener has ended.
  bool Start(ByteChannel& port, int baudRate, FrameHandler onFrame);
  // Returns at once; the listening ends without delay, what the splitter
  // held handed out first. From any thread, the handler's included.
  void RequestStop() { runner_.RequestStop(); }
  // From Start until the listening has ended (stopped, or the port lost).
  bool Running() const { return runner_.Running(); }
  // A thread exists: listening, or ended and not yet joined.
  bool Active() const { return runner_.Active(); }
  // Waits until the listening ends, by a stop asked for or by itself when
  // the port goes. Never from the handler.
  void Join() { runner_.Join(); }
  // How it ended; Running while it listens or when it never started.
  ListenEnd Ended() const { return end_; }

  // How long a quiet line holds bytes back at the least; four quiet gaps
  // where that is longer. Longer than a USB adapter's latency timer, so
  // that its pauses do not end frames.
  static constexpr std::chrono::milliseconds IdleFlush{20};

 private:
  void CHILD_Listen(ByteChannel& port, int baudRate, std::stop_token stop);

  FrameHandler onFrame_;
  std::atomic<ListenEnd> end_{ListenEnd::Running};
  base::Runner runner_;  // last: joined before the state above goes
};
