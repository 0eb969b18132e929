#include "BrokerPeer.h"

#include <mosquitto.h>
#include <pwd.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "NetworkPeers.h"

Broker::Broker(const std::string& folder) : folder_(folder), port_(FreeLoopbackPort()) {
  std::ofstream conf(folder_ + "/broker.conf");
  conf << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\npersistence true\npersistence_location "
       << folder_ << "/\n";
  // As root it would take a user of its own, who cannot write the test's folder.
  if (const passwd* user = getpwuid(getuid())) conf << "user " << user->pw_name << "\n";
}

bool Broker::AddTls() {
  const std::string f = folder_ + "/", ca = CaFolder() + "/test-ca.pem";
  const std::vector<std::string> key = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
  std::vector<std::vector<std::string>> steps = {
      {"req", "-x509", "-keyout", f + "ca.key", "-out", ca, "-days", "2", "-subj", "/CN=korvelt test CA"},
      {"req", "-keyout", f + "broker.key", "-out", f + "broker.csr", "-subj", "/CN=localhost"},
      {"x509", "-req", "-in", f + "broker.csr", "-CA", ca, "-CAkey", f + "ca.key", "-CAcreateserial", "-out",
       f + "broker.pem", "-days", "2", "-extfile", f + "san.ext"},
      {"rehash", CaFolder()}};
  steps[0].insert(steps[0].begin() + 2, key.begin(), key.end());
  steps[1].insert(steps[1].begin() + 1, key.begin(), key.end());
  std::filesystem::create_directories(CaFolder());
  std::ofstream(f + "san.ext") << "subjectAltName=DNS:localhost\n";
  for (std::vector<std::string>& step : steps) {
    step.insert(step.begin(), OPENSSL_EXECUTABLE);
    if (RunProgram(step, std::chrono::seconds(30)).exitStatus != 0) return false;
  }
  tlsPort_ = FreeLoopbackPort();
  std::ofstream(f + "broker.conf", std::ios::app) << "listener " << tlsPort_ << " 127.0.0.1\ncertfile " << f
                                                  << "broker.pem\nkeyfile " << f << "broker.key\n";
  return true;
}

bool Broker::Start() {
  process_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{MOSQUITTO_EXECUTABLE, "-c", folder_ + "/broker.conf"}, true);
  return process_->Started() && AcceptsConnections(port_, std::chrono::seconds(10)) &&
         (tlsPort_ == 0 || AcceptsConnections(tlsPort_, std::chrono::seconds(10)));
}

void Broker::Stop() {
  if (!process_) return;
  process_->Signal(SIGTERM);
  process_->Wait(std::chrono::seconds(10));
  process_.reset();
}

Subscriber::Subscriber(uint16_t port, const std::string& filter) : filter_(filter) {
  mosquitto_lib_init();
  // A fixed id without a clean session: the broker queues what comes while
  // it is away, across the broker's own restart.
  handle_ = mosquitto_new(("korvelt-test-receiver-" + filter).c_str(), false, this);
  mosquitto_connect_callback_set(handle_, [](mosquitto* handle, void* self, int rc) {
    if (rc == 0) mosquitto_subscribe(handle, nullptr, static_cast<Subscriber*>(self)->filter_.c_str(), 1);
  });
  mosquitto_subscribe_callback_set(handle_, [](mosquitto*, void* data, int, int, const int*) {
    Received(nullptr, data, nullptr);
  });
  mosquitto_message_callback_set(handle_, &Subscriber::Received);
  mosquitto_reconnect_delay_set(handle_, 1, 1, false);
  mosquitto_connect(handle_, "127.0.0.1", port, 10);
  mosquitto_loop_start(handle_);
}

Subscriber::~Subscriber() {
  mosquitto_disconnect(handle_);
  mosquitto_loop_stop(handle_, false);
  mosquitto_destroy(handle_);
}

// A message, or (none) the subscription's acknowledgement.
void Subscriber::Received(mosquitto*, void* data, const mosquitto_message* message) {
  auto* self = static_cast<Subscriber*>(data);
  std::lock_guard lock(self->mutex_);
  self->subscribed_ = true;
  if (message != nullptr) {
    self->messages_.push_back({message->topic, std::string(static_cast<const char*>(message->payload),
                                                           static_cast<size_t>(message->payloadlen))});
  }
  self->changed_.notify_all();
}

bool Subscriber::WaitSubscribed(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return subscribed_; });
}

std::vector<Message> Subscriber::WaitFor(const std::string& suffix, size_t count, std::chrono::milliseconds timeout,
                                         const std::string& last) {
  std::vector<Message> found;
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] {
    found.clear();
    for (const Message& message : messages_) {
      if (message.topic.ends_with(suffix)) found.push_back(message);
    }
    return found.size() >= count && (last.empty() || found.back().payload == last);
  });
  return found;
}
