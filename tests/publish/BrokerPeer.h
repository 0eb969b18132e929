// The plant's broker and a receiver, for the publishing tests: mosquitto on
// 127.0.0.1 with a configuration of the test's own (sessions kept on disk,
// so that a stop and start keeps a receiver's queue; a TLS listener on
// request), and a libmosquitto subscriber whose session outlives its
// connection.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ChildProcess.h"

struct mosquitto;

class Broker {
 public:
  explicit Broker(const std::string& folder);
  ~Broker() { Stop(); }
  // A TLS listener on TlsPort() too, its certificate for "localhost" from
  // a CA of the test's own in CaFolder() (hashed, as /etc/ssl/certs is).
  bool AddTls();
  // On the same port each time; false when it does not listen.
  bool Start();
  // SIGTERM, waited for: it writes its sessions to disk as it goes.
  void Stop();
  uint16_t Port() const { return port_; }
  uint16_t TlsPort() const { return tlsPort_; }
  std::string CaFolder() const { return folder_ + "/ca"; }

 private:
  std::string folder_;
  uint16_t port_ = 0, tlsPort_ = 0;
  std::unique_ptr<ChildProcess> process_;
};

struct Message {
  std::string topic, payload;
};

class Subscriber {
 public:
  Subscriber(uint16_t port, const std::string& filter);
  ~Subscriber();
  bool WaitSubscribed(std::chrono::milliseconds timeout);
  // The messages on topics ending in `suffix`, once `count` of them came
  // (or, with `last`, once the last of them is `last`), or at the time-out.
  std::vector<Message> WaitFor(const std::string& suffix, size_t count, std::chrono::milliseconds timeout,
                               const std::string& last = {});

 private:
  static void Received(mosquitto*, void* self, const struct mosquitto_message* message);

  mosquitto* handle_ = nullptr;
  std::string filter_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool subscribed_ = false;  // guarded by mutex_, as messages_
  std::vector<Message> messages_;
};
