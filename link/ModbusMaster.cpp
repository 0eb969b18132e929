#include "link/ModbusMaster.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "link/Answer.h"
#include "link/LineTiming.h"
#include "link/Mbap.h"

namespace {

// What is left until `deadline`, for ppoll(); zero once it has passed.
timespec TimeLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return {0, 0};
  return {static_cast<time_t>(left.count() / 1'000'000'000), static_cast<long>(left.count() % 1'000'000'000)};
}

}  // namespace

// ------------------------------------------------------------- port control

ModbusMaster::ModbusMaster() = default;

ModbusMaster::~ModbusMaster() { ClosePort(); }

int ModbusMaster::OpenPort(unsigned portNumber, int baudRate, Parity parity) {
  if (portNumber == 0 || portNumber > 1024) {
    std::lock_guard lock(portMutex_);
    if (PortOpen()) return RefuseOpen({OpenFailureKind::AlreadyOpen, port_->DevicePath(), portNumber});
    return RefuseOpen({OpenFailureKind::InvalidNumber, {}, portNumber});
  }
  return OpenLine({"COM" + std::to_string(portNumber), baudRate, parity});
}

int ModbusMaster::OpenDevice(const std::string& device, int baudRate, Parity parity) {
  return OpenLine({device, baudRate, parity});
}

int ModbusMaster::OpenLine(const Line& line) {
  const unsigned portNumber = ComNumberOf(line.port);
  {
    std::lock_guard lock(portMutex_);
    if (PortOpen()) return RefuseOpen({OpenFailureKind::AlreadyOpen, port_->DevicePath(), portNumber});
    if (opening_) return RefuseOpen({OpenFailureKind::AlreadyOpen, line.port, portNumber});
    const bool numbered = !IsNetworkPort(line.port) && !IsDevicePath(line.port);
    if (numbered && (portNumber == 0 || portNumber > 1024)) {
      return RefuseOpen({OpenFailureKind::InvalidNumber, {}, portNumber});
    }
    if (line.baud <= 0) return RefuseOpen({OpenFailureKind::InvalidMode, line.port, portNumber});
    opening_ = true;
  }
  // A connection across the network takes its time: it is made without
  // the port's lock, so that a look at the link meanwhile (its device, its
  // last failure, a transaction that finds it closed) does not wait for it.
  OpenFailure failure;
  std::unique_ptr<ByteChannel> channel = OpenChannel(line, failure);
  std::lock_guard lock(portMutex_);
  opening_ = false;
  if (!channel) return RefuseOpen(failure);
  port_ = std::move(channel);
  return StartOnOpenPort(line.baud, portNumber);
}

int ModbusMaster::StartOnOpenPort(int baudRate, unsigned portNumber) {
  // Neither RTS nor low latency is available on every device (a
  // pseudo-terminal has no modem lines and no latency timer), and neither
  // is needed to talk.
  port_->PrepareLine();
  port_->PurgeInput();
  mbap_ = port_->Kind() == PortKind::ModbusTcp;

  wakeFd_.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  readerSet_.Reset(epoll_create1(EPOLL_CLOEXEC));
  epoll_event wake{EPOLLIN, {.fd = wakeFd_.Get()}};
  epoll_event input{EPOLLIN, {.fd = port_->Descriptor()}};
  if (!wakeFd_.Valid() || !readerSet_.Valid() || epoll_ctl(readerSet_.Get(), EPOLL_CTL_ADD, wakeFd_.Get(), &wake) != 0 ||
      epoll_ctl(readerSet_.Get(), EPOLL_CTL_ADD, port_->Descriptor(), &input) != 0) {
    const OpenFailure failure{OpenFailureKind::SystemError, port_->DevicePath(), portNumber, 0, errno, {}};
    readerSet_.Reset();
    wakeFd_.Reset();
    port_->Close();
    return RefuseOpen(failure);
  }
  stopReader_ = false;
  lineErrorsSeen_ = false;
  portLost_ = false;
  lineEchoes_ = false;
  quietGapMicros_ = QuietGap(baudRate).count();
  characterNanos_ = CharacterTime(baudRate).count();
  {
    std::lock_guard lock(bufferMutex_);
    transactionReads_ = false;
  }
  {
    std::lock_guard lock(statisticsMutex_);
    statistics_ = {};
    ++statisticsSession_;
  }
  try {
    reader_ = std::thread(&ModbusMaster::CHILD_ReaderLoop, this);
  } catch (const std::system_error& error) {
    readerSet_.Reset();
    wakeFd_.Reset();
    const OpenFailure failure{OpenFailureKind::SystemError, port_->DevicePath(), portNumber, 0, error.code().value(), {}};
    port_->Close();
    return RefuseOpen(failure);
  }
  lastOpenFailure_ = {};
  open_ = true;
  return 1;
}

int ModbusMaster::RefuseOpen(const OpenFailure& failure) {
  lastOpenFailure_ = failure;
  return 0;
}

void ModbusMaster::ClosePort() {
  {
    std::lock_guard lock(portMutex_);
    if (!PortOpen()) return;
    open_ = false;
    stopReader_ = true;
    // Ends the reader's sleep and a transaction's wait for its answer.
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(wakeFd_.Get(), &one, sizeof one);
  }
  // A transaction reads the port on its own thread: the descriptors stay
  // until it has returned, which the wake-up makes at once.
  std::lock_guard transaction(transactionLock_);
  std::lock_guard lock(portMutex_);
  if (open_ || !PortOpen()) return;  // another close ended it, or it was opened again since
  if (reader_.joinable()) reader_.join();
  port_->Close();
  readerSet_.Reset();
  wakeFd_.Reset();
  portLost_ = false;
}

bool ModbusMaster::IsOpen() const { return open_; }

bool ModbusMaster::PortLost() const { return portLost_; }

std::string ModbusMaster::DevicePath() const {
  std::lock_guard lock(portMutex_);
  return PortOpen() ? port_->DevicePath() : std::string();
}

PortKind ModbusMaster::OpenKind() const {
  std::lock_guard lock(portMutex_);
  return PortOpen() ? port_->Kind() : PortKind::Serial;
}

OpenFailure ModbusMaster::LastOpenFailure() const {
  std::lock_guard lock(portMutex_);
  return lastOpenFailure_;
}

// ------------------------------------------------------------- reader thread

void ModbusMaster::CHILD_ReaderLoop() {
  const int portFd = port_->Descriptor();
  bool lost = false;
  while (!stopReader_ && !lost) {
    epoll_event events[2];
    const int ready = epoll_wait(readerSet_.Get(), events, 2, -1);
    if (ready < 0) {
      lost = errno != EINTR;
      continue;
    }
    for (int i = 0; i < ready && !lost; ++i) {
      if (events[i].data.fd != portFd) continue;  // ClosePort: the loop condition ends it
      if (events[i].events & EPOLLIN) {
        std::lock_guard lock(bufferMutex_);
        lost = !transactionReads_ && !TakeInput();
      } else {
        lost = (events[i].events & (EPOLLHUP | EPOLLERR)) != 0;
      }
    }
  }
  // Gone: a transaction finds out from portLost_, or from the port itself
  // if it is waiting on it now.
  if (lost) portLost_ = true;
  CHILD_WaitForStop();
}

void ModbusMaster::CHILD_WaitForStop() {
  pollfd wake{wakeFd_.Get(), POLLIN, 0};
  while (!stopReader_) {
    if (poll(&wake, 1, -1) < 0 && errno != EINTR) return;
  }
}

bool ModbusMaster::TakeInput() {
  if (port_->TakeLineErrors() != 0) {
    // A damaged byte spoils the frame it belongs to: drop what is pending.
    port_->PurgeInput();
    lineErrorsSeen_ = true;
    return true;
  }
  uint8_t chunk[MaxReceiveLength];
  const ssize_t n = port_->Read(chunk, sizeof chunk);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
  if (n == 0) return false;  // hung up
  lastInput_ = Clock::now();
  if (receiveCount_ == 0) firstInput_ = lastInput_;
  receiveCount_ = AppendReceived(receive_, receiveCount_, chunk, static_cast<size_t>(n), sizeof receive_);
  if (frameLog_ && !transactionReads_) {
    frameLog_->RecordUnsolicited(frameLogTag_, chunk, static_cast<size_t>(n), {lastInput_, WallMicrosNow()}, mbap_);
  }
  return true;
}

void ModbusMaster::LogTransaction(const Frame& request, ModbusResult result) {
  TransactionRecord record;
  record.link = frameLogTag_;
  record.request = request.bytes.data();
  record.requestLength = request.length;
  record.received = receive_;
  record.receivedLength = receiveCount_;
  record.sentAt = sentAt_;
  record.firstByteAt = firstInput_;
  record.endedAt = {endedAt_, WallMicrosNow()};
  record.result = result;
  record.mbap = mbap_;
  frameLog_->RecordTransaction(record);
}

void ModbusMaster::ReaderWatchesPort(bool watch) {
  epoll_event input{watch ? static_cast<uint32_t>(EPOLLIN) : 0u, {.fd = port_->Descriptor()}};
  epoll_ctl(readerSet_.Get(), EPOLL_CTL_MOD, port_->Descriptor(), &input);
}

// -------------------------------------------------------------- transactions

bool ModbusMaster::SendRequest(const Frame& wire, Clock::time_point deadline) {
  std::lock_guard lock(portMutex_);
  if (!PortOpen()) return false;
  if (lineErrorsSeen_.exchange(false)) port_->PurgeOutput();
  size_t sent = 0;
  while (sent < wire.length) {
    const ssize_t n = port_->Write(wire.bytes.data() + sent, wire.length - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    // Output queue full: wait for room rather than send half a frame.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd out{port_->Descriptor(), POLLOUT, 0};
    if (poll(&out, 1, static_cast<int>(left.count())) <= 0 || (out.revents & (POLLERR | POLLHUP))) return false;
  }
  return true;
}

ModbusResult ModbusMaster::Transact(const Frame& request, Frame& answer) {
  std::lock_guard transaction(transactionLock_);
  const uint64_t session = statisticsSession_;
  const ModbusResult result = Exchange(request, answer);
  lastFailed_ = result == ResultTimeout || result == ResultBadResponse;
  if (lastFailed_) failedAt_ = endedAt_;
  std::lock_guard lock(statisticsMutex_);
  if (session == statisticsSession_) {
    CountTransaction(statistics_, result, std::chrono::duration_cast<std::chrono::microseconds>(endedAt_ - sentAt_));
  }
  return result;
}

void ModbusMaster::SettleLine() {
  const auto gap = std::chrono::microseconds(quietGapMicros_.load());
  const auto limit = Clock::now() + MaxQuietWait;
  for (;;) {
    Clock::time_point quietAt;
    {
      std::lock_guard lock(bufferMutex_);
      quietAt = std::max(lastInput_, failedAt_) + gap;
    }
    const auto wakeAt = std::min(quietAt, limit);
    if (Clock::now() >= wakeAt) {
      if (wakeAt == limit) break;
      // Bytes the reader has not taken yet (it may not have run since they
      // came) say the line is not quiet: taken here, they move quietAt on,
      // rather than being purged with half a late answer left to come.
      std::lock_guard lock(bufferMutex_);
      const Clock::time_point taken = lastInput_;
      if (port_->QueuedInput() <= 0 || !TakeInput() || lastInput_ == taken) break;
      continue;
    }
    // Only time makes a line quiet; bytes that come meanwhile move quietAt
    // on, and the loop looks again. A close ends the wait.
    pollfd wake{wakeFd_.Get(), POLLIN, 0};
    const timespec left = TimeLeft(wakeAt);
    if (ppoll(&wake, 1, &left, nullptr) > 0) return;
  }
  {
    std::lock_guard lock(portMutex_);
    port_->PurgeInput();
  }
  std::lock_guard lock(bufferMutex_);
  receiveCount_ = 0;
}

ModbusResult ModbusMaster::EndUnsent() {
  sentAt_ = endedAt_ = Clock::now();
  return ResultTimeout;
}

ModbusResult ModbusMaster::Exchange(const Frame& request, Frame& answer) {
  if (portLost_) return EndUnsent();
  if (lastFailed_) SettleLine();
  if (!open_) return EndUnsent();  // closed meanwhile: nothing goes out
  // What goes on the wire: the RTU frame itself, or its PDU behind an MBAP
  // header with a new transaction identifier.
  Frame wire = request;
  if (mbap_) {
    ++transactionId_;
    wire.length = EncodeMbap(request, transactionId_, wire.bytes.data(), wire.bytes.size());
    if (wire.length == 0) return EndUnsent();
  }
  // The transaction reads its answer itself: a hand-over from the reader
  // would cost two thread wake-ups per answer. The reader is told to leave
  // the input alone without being woken.
  ReaderWatchesPort(false);
  {
    std::lock_guard lock(bufferMutex_);
    transactionReads_ = true;
    receiveCount_ = 0;
    lastRequest_ = wire;
  }
  sentAt_ = Clock::now();
  const auto deadline = sentAt_ + std::chrono::microseconds(responseTimeoutMicros_.load(std::memory_order_relaxed)) +
                        NetworkAllowance();
  const ModbusResult result = SendRequest(wire, deadline) ? AwaitAnswer(request, answer, deadline) : ResultTimeout;
  {
    std::lock_guard lock(bufferMutex_);
    endedAt_ = Clock::now();
    // Recorded before the reader may take the next bytes, so that a late
    // answer follows its transaction in the log.
    if (frameLog_) LogTransaction(wire, result);
    transactionReads_ = false;
  }
  // Late bytes are the reader's again; any already waiting wake it at once.
  ReaderWatchesPort(true);
  return result;
}

std::chrono::microseconds ModbusMaster::NetworkAllowance() const {
  if (port_->Kind() == PortKind::Serial) return std::chrono::microseconds(0);
  const int64_t set = networkAllowanceMicros_.load(std::memory_order_relaxed);
  if (set > 0) return std::chrono::microseconds(set);
  return std::max<std::chrono::microseconds>(MinNetworkAllowance, RoundTripsAllowed * port_->RoundTrip());
}

void ModbusMaster::DropStaleAnswers(size_t bytes, unsigned answers) {
  if (frameLog_) frameLog_->RecordUnsolicited(frameLogTag_, receive_, bytes, {lastInput_, WallMicrosNow()}, true);
  std::memmove(receive_, receive_ + bytes, receiveCount_ - bytes);
  receiveCount_ -= bytes;
  std::lock_guard lock(statisticsMutex_);
  statistics_.staleAnswers += answers;
}

ModbusMaster::Clock::time_point ModbusMaster::RestOfAnswerDue(const Frame& request, Clock::time_point deadline) const {
  // Only a local line delivers an answer at the pace of its characters; a
  // copy of the request in front would be taken for the answer's header.
  if (port_->Kind() != PortKind::Serial || lineEchoes_) return {};
  const size_t toCome = AnswerBytesToCome(request, receive_, receiveCount_);
  if (toCome < 2) return {};
  // Woken a character early, so that the last byte is read as it lands.
  const auto due =
      lastInput_ + static_cast<int64_t>(toCome - 1) * std::chrono::nanoseconds(characterNanos_.load());
  return due < deadline ? due : Clock::time_point{};
}

ModbusResult ModbusMaster::AwaitAnswer(const Frame& request, Frame& answer, Clock::time_point deadline) {
  pollfd fds[2] = {{port_->Descriptor(), POLLIN, 0}, {wakeFd_.Get(), POLLIN, 0}};
  bool unjudged = false;  // bytes taken since the answer was last looked for
  Clock::time_point restDue{};  // when the rest of a begun answer is on the line
  for (;;) {
    if (restDue != Clock::time_point{}) {
      // The rest comes a character at a time: one wake-up for all of it
      // rather than one a byte. A close still ends the wait.
      const timespec pause = TimeLeft(restDue);
      restDue = {};
      if (ppoll(&fds[1], 1, &pause, nullptr) > 0) break;
    }
    const timespec left = TimeLeft(deadline);
    if (left.tv_sec == 0 && left.tv_nsec == 0) break;
    const int ready = ppoll(fds, 2, &left, nullptr);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    if (fds[1].revents != 0) break;  // ClosePort
    if ((fds[0].revents & POLLIN) == 0) {
      if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) continue;
      portLost_ = true;
      break;
    }
    std::lock_guard lock(bufferMutex_);
    const size_t before = receiveCount_;
    if (!TakeInput()) {
      portLost_ = true;
      break;
    }
    unjudged = unjudged || receiveCount_ != before;
    // Judge only once the input has paused, and only what is new: a full
    // buffer that a babbling line keeps topping up costs nothing more.
    if (!unjudged || port_->QueuedInput() > 0) continue;
    unjudged = false;
    if (mbap_) {
      // A late answer carries the identifier of its own request: dropped,
      // and the one this request waits for may follow it.
      const MbapSearch search = FindMbapAnswer(request, transactionId_, receive_, receiveCount_, answer);
      if (search.staleAnswers > 0) DropStaleAnswers(search.staleBytes, search.staleAnswers);
      if (search.state == MbapSearch::State::Incomplete) {
        port_->ExpectMore();
        continue;
      }
      if (search.state == MbapSearch::State::Malformed) return ResultBadResponse;
      return JudgeAnswer(request, answer.bytes.data(), answer.length);
    }
    const AnswerSearch search = FindAnswer(request, receive_, receiveCount_, lineEchoes_);
    if (search.echoSkipped) lineEchoes_ = true;
    if (search.state == AnswerSearch::State::Incomplete) {
      port_->ExpectMore();
      restDue = RestOfAnswerDue(request, deadline);
      continue;
    }
    if (search.state == AnswerSearch::State::Malformed) return ResultBadResponse;
    answer.length = search.length;
    std::memcpy(answer.bytes.data(), receive_ + search.offset, search.length);
    return JudgeAnswer(request, answer.bytes.data(), answer.length);
  }
  // An echo teaches as much when no driver answers it.
  std::lock_guard lock(bufferMutex_);
  if (!mbap_ && FindAnswer(request, receive_, receiveCount_, lineEchoes_).echoSkipped) lineEchoes_ = true;
  return ResultTimeout;
}

std::vector<uint8_t> ModbusMaster::LastSentFrame() const {
  std::lock_guard lock(bufferMutex_);
  return std::vector<uint8_t>(lastRequest_.bytes.begin(), lastRequest_.bytes.begin() + lastRequest_.length);
}

std::vector<uint8_t> ModbusMaster::LastReceivedFrame() const {
  std::lock_guard lock(bufferMutex_);
  return std::vector<uint8_t>(receive_, receive_ + receiveCount_);
}

bool ModbusMaster::SetResponseTimeout(std::chrono::microseconds timeout) {
  if (timeout.count() <= 0 || timeout > MaxResponseTimeout) return false;
  responseTimeoutMicros_.store(timeout.count(), std::memory_order_relaxed);
  return true;
}

bool ModbusMaster::SetNetworkAllowance(std::chrono::microseconds allowance) {
  if (allowance.count() < 0 || allowance > MaxResponseTimeout) return false;
  networkAllowanceMicros_.store(allowance.count(), std::memory_order_relaxed);
  return true;
}

std::chrono::microseconds ModbusMaster::CurrentResponseTimeout() const {
  return std::chrono::microseconds(responseTimeoutMicros_.load(std::memory_order_relaxed));
}

void ModbusMaster::AttachFrameLog(std::shared_ptr<FrameLog> log, uint16_t linkTag) {
  std::lock_guard transaction(transactionLock_);
  std::lock_guard lock(bufferMutex_);
  // The log let go of leaves with `log`, after both locks.
  frameLog_.swap(log);
  frameLogTag_ = linkTag;
}

LinkStatistics ModbusMaster::Statistics() const {
  std::lock_guard lock(statisticsMutex_);
  return statistics_;
}
