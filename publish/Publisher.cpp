#include "publish/Publisher.h"

#include <fcntl.h>
#include <mosquitto.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "lang/Texts.h"

namespace publish {
namespace {

using lang::Fill;
using lang::Tr;

constexpr int KeepAliveSeconds = 30;
// Records handed to libmosquitto and not yet acknowledged: the rest wait
// in the spool, so that a long spool costs no memory and keeps its order.
constexpr size_t Window = 16;

const char* StateText(StationState state) {
  switch (state) {
    case StationState::Idle: return "idle";
    case StationState::Testing: return "testing";
    case StationState::Offline: break;
  }
  return "offline";
}

std::string ErrorText(int code, int error) {
  if (code == MOSQ_ERR_ERRNO) return std::strerror(error);
  return mosquitto_strerror(code);
}

std::string ClientId() {
  return "korvelt-" + std::to_string(getpid()) + "-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007);
}

}  // namespace

void Publisher::HandleDeleter::operator()(mosquitto* handle) const { mosquitto_destroy(handle); }

Publisher::Publisher(PublisherSettings settings)
    : settings_(std::move(settings)),
      spool_(settings_.spoolFolder.empty() ? DefaultSpoolFolder(settings_.station) : settings_.spoolFolder),
      state_(settings_.state) {}

Publisher::~Publisher() { Stop(); }

std::string Publisher::ResultTopic() const { return "korvelt/" + StationPart(settings_.station) + "/result"; }
std::string Publisher::StateTopic() const { return "korvelt/" + StationPart(settings_.station) + "/state"; }

std::string Publisher::Start() {
  // The owner's thread alone sets the publisher up; the lock is taken
  // only to start it, never around libmosquitto's setup (whose own lock is
  // held while it calls back into the publisher).
  if (started_) return {};
  if (spool_.Folder().empty()) return Tr("没有发布队列文件夹: 未设置 HOME 或 XDG_DATA_HOME");
  if (std::string refusal = spool_.Prepare(); !refusal.empty()) return refusal;
  // One sender a spool: a second process of the same station spools its
  // records and leaves the sending to the first.
  lock_.Reset(open((spool_.Folder() + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!lock_.Valid()) return Fill(Tr("无法写入 {1}: {2}"), {spool_.Folder() + "/.lock", std::strerror(errno)});
  sends_ = flock(lock_.Get(), LOCK_EX | LOCK_NB) == 0;
  status_.spooled = spool_.Count();

  static std::once_flag initialised;
  std::call_once(initialised, [] { mosquitto_lib_init(); });
  handle_.reset(mosquitto_new(ClientId().c_str(), true, this));
  if (!handle_) return Fill(Tr("无法连接代理: {1}"), {std::strerror(errno)});
  mosquitto* handle = handle_.get();
  mosquitto_threaded_set(handle, true);
  mosquitto_int_option(handle, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
  const BrokerUrl& url = settings_.broker;
  int code = url.user.empty() ? MOSQ_ERR_SUCCESS
                              : mosquitto_username_pw_set(handle, url.user.c_str(),
                                                          url.password.empty() ? nullptr : url.password.c_str());
  const std::string state = StateTopic();
  if (code == MOSQ_ERR_SUCCESS) code = mosquitto_will_set(handle, state.c_str(), 7, "offline", 1, true);
  if (code == MOSQ_ERR_SUCCESS && url.tls) {
    code = mosquitto_tls_set(handle, nullptr, settings_.caFolder.c_str(), nullptr, nullptr, nullptr);
  }
  if (code != MOSQ_ERR_SUCCESS) return Fill(Tr("无法连接代理 {1}: {2}"), {url.Shown(), ErrorText(code, errno)});
  mosquitto_connect_callback_set(handle, [](mosquitto*, void* self, int rc) { static_cast<Publisher*>(self)->Connected(rc); });
  mosquitto_disconnect_callback_set(handle,
                                    [](mosquitto*, void* self, int rc) { static_cast<Publisher*>(self)->Disconnected(rc); });
  mosquitto_publish_callback_set(handle,
                                 [](mosquitto*, void* self, int mid) { static_cast<Publisher*>(self)->Acknowledged(mid); });
  std::lock_guard lock(mutex_);
  started_ = true;
  if (!sends_) {
    status_.link = Link::Stopped;
    status_.reason = Fill(Tr("本工位的另一个程序正在发送发布队列 {1}"), {spool_.Folder()});
    return {};
  }
  // The thread ends on stopping_ rather than on the runner's token: Stop
  // lets the disconnect go out first.
  if (!runner_.Start([this](std::stop_token) { Run(); })) {
    started_ = false;
    return Tr("无法启动发布线程");
  }
  status_.link = Link::Connecting;
  return {};
}

void Publisher::Run() {
  std::chrono::seconds backoff(1);
  for (;;) {
    int code = MOSQ_ERR_SUCCESS;
    int error = 0;
    {
      std::lock_guard call(calls_);
      {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
      }
      code = mosquitto_connect_async(handle_.get(), settings_.broker.host.c_str(), settings_.broker.port,
                                     KeepAliveSeconds);
      error = errno;
    }
    // The network's own loop, until the connection fails or Stop ends it:
    // each turn waits on the socket (and on libmosquitto's wake-up when
    // there is something to send) for at most a second.
    while (code == MOSQ_ERR_SUCCESS) {
      code = mosquitto_loop(handle_.get(), 1000, 1);
      error = errno;
      // Stop's disconnect goes out before the thread ends (the broker
      // then keeps the last will to itself), within a bound.
      std::lock_guard lock(mutex_);
      if (stopping_ && std::chrono::steady_clock::now() > stopBy_) return;
    }
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      // A refusal in the broker's words stays the reason.
      if (status_.link != Link::Away) SetLink(Link::Away, ErrorText(code, error));
      // A broker that was reached is tried again soon after it went.
      if (std::exchange(madeConnection_, false)) backoff = std::chrono::seconds(1);
    }
    Changed();
    std::unique_lock lock(mutex_);
    if (wake_.wait_for(lock, backoff, [this] { return stopping_; })) return;
    backoff = std::min(backoff * 2, std::chrono::seconds(8));
  }
}

void Publisher::Connected(int code) {
  {
    std::lock_guard lock(mutex_);
    if (code != 0) {
      SetLink(Link::Away, mosquitto_connack_string(code));
    } else {
      SetLink(Link::Connected, {});
      madeConnection_ = true;
      // Again on every connection: a lost one left the last will.
      stateSent_ = false;
      SendState();
      Refill();
    }
  }
  Changed();
}

void Publisher::Disconnected(int code) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) {
      SetLink(Link::Stopped, {});
    } else {
      SetLink(Link::Away, code == 0 ? std::string(Tr("连接已断开")) : ErrorText(code, errno));
    }
  }
  Changed();
}

void Publisher::Acknowledged(int mid) {
  {
    std::lock_guard lock(mutex_);
    if (mid == stateMid_) {
      stateMid_ = -1;
    } else if (const auto found = inFlight_.find(mid); found != inFlight_.end()) {
      spool_.Remove(found->second);
      inFlight_.erase(found);
      if (status_.spooled > 0) --status_.spooled;
      ++status_.delivered;
      Refill();
    }
  }
  wake_.notify_all();
  Changed();
}

void Publisher::Refill() {
  const std::string topic = ResultTopic();
  while (status_.link == Link::Connected && inFlight_.size() < Window) {
    if (queue_.empty()) {
      const std::vector<SpoolEntry> next = spool_.Next(handedUpTo_, Window * 4, notices_);
      if (next.empty()) break;
      queue_.assign(next.begin(), next.end());
    }
    const SpoolEntry entry = queue_.front();
    const std::optional<std::string> record = spool_.Read(entry, notices_);
    if (!record) {
      // Set aside (reported), or taken by another sender.
      queue_.pop_front();
      handedUpTo_ = std::max(handedUpTo_, entry.sequence);
      if (status_.spooled > 0) --status_.spooled;
      continue;
    }
    int mid = 0;
    const int code = mosquitto_publish(handle_.get(), &mid, topic.c_str(), static_cast<int>(record->size()),
                                       record->data(), 1, false);
    // Without a connection libmosquitto keeps the message and sends it
    // on the next.
    if (code != MOSQ_ERR_SUCCESS && code != MOSQ_ERR_NO_CONN) {
      status_.reason = Fill(Tr("记录 {1} 未能发送: {2}"), {entry.name, ErrorText(code, errno)});
      break;
    }
    queue_.pop_front();
    handedUpTo_ = entry.sequence;
    inFlight_[mid] = entry;
  }
}

void Publisher::SendState() {
  if (stateSent_ || status_.link != Link::Connected) return;
  const char* text = StateText(state_);
  int mid = 0;
  const int code = mosquitto_publish(handle_.get(), &mid, StateTopic().c_str(), static_cast<int>(std::strlen(text)),
                                     text, 1, true);
  if (code == MOSQ_ERR_SUCCESS || code == MOSQ_ERR_NO_CONN) {
    stateMid_ = mid;
    stateSent_ = true;
  }
}

void Publisher::SetLink(Link link, std::string reason) {
  status_.link = link;
  status_.reason = std::move(reason);
  wake_.notify_all();
}

void Publisher::Changed() {
  if (changed_) changed_();
}

std::string Publisher::Publish(std::string_view record) {
  {
    std::lock_guard lock(mutex_);
    if (!started_) return Tr("发布未启动");
    const Spool::Added added = spool_.Add(record);
    if (!added.entry) return added.error;
    ++status_.spooled;
    Refill();
  }
  Changed();
  return {};
}

void Publisher::SetState(StationState state) {
  {
    std::lock_guard lock(mutex_);
    if (state == state_) return;
    state_ = state;
    stateSent_ = false;
    SendState();
  }
  Changed();
}

Publisher::Status Publisher::State() const {
  std::lock_guard lock(mutex_);
  return status_;
}

std::vector<std::string> Publisher::TakeNotices() {
  std::lock_guard lock(mutex_);
  return std::exchange(notices_, {});
}

size_t Publisher::WaitDelivered(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, timeout, [this] {
    const bool done = status_.spooled == 0 && inFlight_.empty() && stateSent_ && stateMid_ < 0;
    return done || stopping_ || !sends_ || status_.link == Link::Away;
  });
  return status_.spooled;
}

void Publisher::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (!started_ || stopping_) return;
    stopping_ = true;
    stopBy_ = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  }
  wake_.notify_all();
  {
    std::lock_guard call(calls_);
    mosquitto_disconnect(handle_.get());
  }
  runner_.Join();
  std::lock_guard lock(mutex_);
  status_.link = Link::Stopped;
}

}  // namespace publish
