// The plant's broker and a receiver of the station's messages, for the
// publishing tests: mosquitto on 127.0.0.1 with a configuration of the
// test's own (its sessions kept on disk, so that a stop and start keeps a
// receiver's queue), and a libmosquitto subscriber with a session that
// outlives its connection.
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
  // Also a TLS listener, on TlsPort(), with a certificate for "localhost"
  // from a CA of the test's own, whose folder (hashed, as /etc/ssl/certs
  // is) CaFolder() names. False when openssl could not make them.
  bool AddTls();
  uint16_t TlsPort() const { return tlsPort_; }
  std::string CaFolder() const { return folder_ + "/ca"; }
  ~Broker();
  // Starts it on the same port each time; false when it does not listen.
  bool Start();
  // SIGTERM, and waits for it: it writes its sessions to disk as it goes.
  void Stop();
  uint16_t Port() const { return port_; }

 private:
  std::string folder_;
  uint16_t port_ = 0;
  uint16_t tlsPort_ = 0;
  std::unique_ptr<ChildProcess> process_;
};

struct Message {
  std::string topic;
  std::string payload;
  bool retained = false;
};

class Subscriber {
 public:
  Subscriber(uint16_t port, const std::string& filter);
  ~Subscriber();
  // Waits until it has subscribed (again after a broker's restart).
  bool WaitSubscribed(std::chrono::milliseconds timeout);
  // Waits until `count` messages on topics ending in `suffix` came; all of
  // them so far.
  std::vector<Message> WaitFor(const std::string& suffix, size_t count, std::chrono::milliseconds timeout);
  // Waits until the last of them has `payload`.
  std::vector<Message> WaitForLast(const std::string& suffix, const std::string& payload,
                                   std::chrono::milliseconds timeout);

 private:
  std::vector<Message> On(const std::string& suffix) const;

  mosquitto* handle_ = nullptr;
  std::string filter_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool subscribed_ = false;
  std::vector<Message> messages_;
};
