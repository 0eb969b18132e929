// A station's records on the plant's message bus: each record goes to
// korvelt/<station>/result (QoS 1) once it is written, and the station's
// state (idle, testing; offline as its last will) to korvelt/<station>/state,
// retained. Every record is spooled first and its file removed only when
// the broker acknowledges it; the spool goes out first, in order, whenever
// a connection is made. The network is libmosquitto's, on a thread of the
// publisher's own: no call here waits on the broker, except WaitDelivered,
// for as long as it is told. For the station's window and korvelt alike.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/Runner.h"
#include "base/UniqueFd.h"
#include "publish/BrokerUrl.h"
#include "publish/Spool.h"

struct mosquitto;

namespace publish {

enum class StationState { Idle, Testing, Offline };

struct PublisherSettings {
  BrokerUrl broker;
  std::string station;
  std::string spoolFolder;                 // DefaultSpoolFolder(station) when empty
  std::string caFolder = "/etc/ssl/certs";  // mqtts: the CA certificates trusted
  StationState state = StationState::Idle;  // the first state shown
};

class Publisher {
 public:
  enum class Link { Stopped, Connecting, Connected, Away };
  struct Status {
    Link link = Link::Stopped;
    std::string reason;   // why Away (the broker's refusal, the network's error)
    size_t spooled = 0;   // records waiting for the broker's acknowledgement
    uint64_t delivered = 0;  // acknowledged since Start
  };

  explicit Publisher(PublisherSettings settings);
  ~Publisher();
  Publisher(const Publisher&) = delete;
  Publisher& operator=(const Publisher&) = delete;

  // Opens the spool, and connects on the publisher's thread. Empty when
  // started, else why not (the spool folder, the TLS setup).
  std::string Start();
  // Spools `record` (a record's JSON, its "id" inside) and sends it as its
  // turn comes. Empty when spooled, else why not: the record is then in
  // the results folder only.
  std::string Publish(std::string_view record);
  // The state the station shows; sent now, or once connected.
  void SetState(StationState state);
  Status State() const;
  // Called whenever State() may have changed, on the publisher's thread or
  // on the caller's (Publish, SetState), with no lock of the publisher
  // held; set it before Start. A window posts it to its own thread.
  void OnChange(std::function<void()> changed) { changed_ = std::move(changed); }
  // What was set aside in the spool since the last call.
  std::vector<std::string> TakeNotices();
  // Waits until nothing is spooled and the state is acknowledged, the
  // broker is away or refused, or `timeout` passed. The records still
  // spooled.
  size_t WaitDelivered(std::chrono::milliseconds timeout);
  // Disconnects cleanly (no last will) and ends the thread; what is not
  // acknowledged stays spooled.
  void Stop();

  std::string ResultTopic() const;
  std::string StateTopic() const;

 private:
  struct HandleDeleter {
    void operator()(mosquitto* handle) const;
  };

  void Run();
  void Connected(int code);
  void Disconnected(int code);
  void Acknowledged(int mid);
  // Hands records to libmosquitto while fewer than a window are in flight.
  void Refill();
  void SendState();
  void SetLink(Link link, std::string reason);
  void Changed();

  PublisherSettings settings_;
  Spool spool_;
  UniqueFd lock_;
  std::unique_ptr<mosquitto, HandleDeleter> handle_;
  base::Runner runner_;  // the network's thread; it ends on stopping_, after a clean disconnect
  std::function<void()> changed_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::mutex calls_;  // a connection being begun, or the disconnect that ends it
  bool started_ = false;
  bool stopping_ = false;
  bool madeConnection_ = false;  // since the last attempt began
  std::chrono::steady_clock::time_point stopBy_;
  bool sends_ = false;  // holds the spool's lock: another process of the station may
  Status status_;
  StationState state_ = StationState::Idle;
  bool stateSent_ = false;
  int stateMid_ = -1;
  std::deque<SpoolEntry> queue_;  // listed, not yet handed to libmosquitto
  std::map<int, SpoolEntry> inFlight_;
  uint64_t handedUpTo_ = 0;
  std::vector<std::string> notices_;
};

}  // namespace publish
