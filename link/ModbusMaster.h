// The Modbus RTU master of the tool: owns the serial port and a reader
// thread, and runs one synchronous request/response transaction at a time.
// A transaction takes its answer from the port itself, on its caller's
// thread; between transactions the reader takes whatever arrives, so that
// late or unsolicited bytes stay visible until the next request.
//
// Every transaction returns a ModbusResult and leaves the caller's buffers
// and out-parameters untouched unless it succeeds. The last request and the
// bytes received since it was sent can be copied at any time for the traffic
// display, and a frame log attached to record every frame the link sends
// and receives.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/FrameCodec.h"
#include "link/FrameLog.h"
#include "link/IdentificationWalk.h"
#include "link/LinkStatistics.h"
#include "link/ByteChannel.h"
#include "base/UniqueFd.h"

class ModbusMaster {
 public:
  ModbusMaster();
  ModbusMaster(const ModbusMaster&) = delete;
  ModbusMaster& operator=(const ModbusMaster&) = delete;
  virtual ~ModbusMaster();

  // Opens COM `portNumber` at `baudRate` and `parity`. Nonzero on success,
  // 0 on failure (already open, number outside 1..1024, a rate below 1,
  // device missing or busy, settings refused).
  int OpenPort(unsigned portNumber, int baudRate, Parity parity);
  // As OpenPort for a device given by its path (no COM number). 1 or 0.
  int OpenDevice(const std::string& device, int baudRate, Parity parity);
  // The line's port by its COM number, as the device it names, or across
  // the network (link/PortText.h): a Modbus TCP gateway's answers are
  // told apart by their transaction identifiers. 1 or 0. May run on a
  // thread of its own while others look at the link; a second open while
  // one connects is refused as already open.
  int OpenLine(const Line& line);
  // Stops the reader and closes the port; a transaction that is waiting ends
  // at once with ResultTimeout, and the close waits for it to return. Does
  // nothing on a closed port.
  void ClosePort();
  bool IsOpen() const;
  // True from the moment the reader finds the open port gone (adapter
  // pulled, line hung up) until ClosePort. Meanwhile every transaction ends
  // at once with ResultTimeout; the port stays open until closed.
  bool PortLost() const;
  // The device that the open port resolved to, or the server's
  // "host:port"; empty while closed.
  std::string DevicePath() const;
  // The kind of the open port; Serial while closed.
  PortKind OpenKind() const;
  // Why the last OpenPort or OpenDevice gave 0; kind None after one that
  // succeeded.
  OpenFailure LastOpenFailure() const;

  ModbusResult ReadHoldingRegisters(uint8_t slave, uint16_t start, uint16_t count, void* dest = nullptr,
                                    uint16_t* capacity = nullptr);
  ModbusResult WriteSingleRegister(uint8_t slave, uint16_t address, uint16_t value,
                                   uint16_t* echoedAddress = nullptr, uint16_t* echoedValue = nullptr);
  ModbusResult WriteMultipleRegisters(uint8_t slave, uint16_t start, const uint16_t* source, uint16_t count,
                                      uint16_t* echoedStart = nullptr, uint16_t* echoedCount = nullptr);
  // On success `dest` receives the response from its more-follows byte on:
  // more-follows, next object id, object count and the object list.
  ModbusResult ReadDeviceIdentification(uint8_t slave, uint8_t readCode, uint8_t objectId, void* dest = nullptr,
                                        uint16_t* capacity = nullptr);
  // All basic identification objects as "name:value" lines joined by CRLF.
  // `text` is changed only on success. The walk stops after
  // MaxIdentificationRequests requests, or at an object already asked for.
  ModbusResult ReadDeviceIdentificationText(uint8_t slave, std::string& text);
  // The same objects one by one, each with its id, name and value, as the
  // driver gave them: a value that holds a line break stays one value.
  ModbusResult ReadDeviceIdentificationObjects(uint8_t slave, std::vector<IdentificationObject>& objects);

  // Consistent copies, taken without waiting for a transaction to end.
  std::vector<uint8_t> LastSentFrame() const;
  std::vector<uint8_t> LastReceivedFrame() const;
  // What the transactions of every thread came to since the port was last
  // opened; a consistent copy, taken without waiting for a transaction.
  LinkStatistics Statistics() const;

  // How long a transaction waits for its answer, from the moment its
  // request goes out. Transactions of every thread that start after the
  // call wait this long; it stays across ClosePort and OpenPort. False, and
  // nothing changed, for a time-out not above zero or above
  // MaxResponseTimeout.
  bool SetResponseTimeout(std::chrono::microseconds timeout);
  std::chrono::microseconds CurrentResponseTimeout() const;
  // Over a network port a transaction waits the response time-out and a
  // network allowance on top: RoundTripsAllowed of the connection's
  // measured round trip, at least MinNetworkAllowance; a nonzero
  // `allowance` replaces that, zero restores it. False above
  // MaxResponseTimeout.
  bool SetNetworkAllowance(std::chrono::microseconds allowance);

  // From the next transaction on, records every request, what came back for
  // it and what the reader takes between transactions in `log`, tagged
  // `linkTag`; nullptr ends it. Several links may share one log. Waits for a
  // transaction in progress to end. Without a log nothing is recorded.
  void AttachFrameLog(std::shared_ptr<FrameLog> log, uint16_t linkTag = 0);

  // The response time-out until SetResponseTimeout changes it.
  static constexpr std::chrono::milliseconds ResponseTimeout{500};
  static constexpr std::chrono::seconds MaxResponseTimeout{60};
  static constexpr std::chrono::milliseconds MinNetworkAllowance{50};
  static constexpr int RoundTripsAllowed = 4;
  static constexpr int MaxIdentificationRequests = IdentificationWalk::MaxRequests;
  // After an exchange that failed, the next request waits for the line to
  // fall quiet, but never longer than this.
  static constexpr std::chrono::milliseconds MaxQuietWait{100};

 protected:
  // After every write request that went to the line, on the thread that
  // sent it, whatever its result: the registers and the words written.
  virtual void Written(uint8_t /*slave*/, uint16_t /*start*/, const uint16_t* /*words*/, uint16_t /*count*/,
                       ModbusResult /*result*/) {}

 private:
  // The requests of one walk over the identification objects.
  ModbusResult WalkIdentification(uint8_t slave, IdentificationWalk& walk);

  using Clock = std::chrono::steady_clock;

  // One transaction under the lock: on success `answer` holds the answer
  // frame alone, without echo or noise around it.
  ModbusResult Transact(const Frame& request, Frame& answer);
  // Settles the line if need be, takes the port's input from the reader,
  // sends, waits for the answer and judges it, and hands the input back.
  ModbusResult Exchange(const Frame& request, Frame& answer);
  // Ends an exchange that sent nothing.
  ModbusResult EndUnsent();
  // Reads the port until an answer to `request` is in (its result), the
  // deadline passes, the port closes or goes away (ResultTimeout).
  ModbusResult AwaitAnswer(const Frame& request, Frame& answer, Clock::time_point deadline);
  // Under bufferMutex_, with an answer begun: when the rest of it will be in
  // on a local line, should that be before the deadline; otherwise zero.
  Clock::time_point RestOfAnswerDue(const Frame& request, Clock::time_point deadline) const;
  // Whether the reader wakes for the port's input; it always wakes for the
  // close. Changing it does not wake the reader.
  void ReaderWatchesPort(bool watch);
  // Under bufferMutex_: appends what the port holds (up to the buffer's
  // bound); between transactions it also goes to the frame log. False when
  // the port has gone away.
  bool TakeInput();
  // Under bufferMutex_, at the end of an exchange: the request and what came
  // back for it go to the frame log.
  void LogTransaction(const Frame& request, ModbusResult result);
  // After a failed exchange: waits until the line has been quiet for a
  // quiet gap (at most MaxQuietWait) and drops what came meanwhile, so that
  // a late answer is not taken for the next one.
  void SettleLine();
  // Sends the request as it goes on the wire.
  bool SendRequest(const Frame& wire, Clock::time_point deadline);
  // Under portMutex_, with port_ open: starts the reader; closes the port
  // again on failure. OpenPort's 1 or 0.
  int StartOnOpenPort(int baudRate, unsigned portNumber);
  bool PortOpen() const { return port_ && port_->IsOpen(); }
  // What the network adds to a transaction's time; zero on a local port.
  std::chrono::microseconds NetworkAllowance() const;
  // Under bufferMutex_, during a transaction: late answers of earlier
  // transactions at the front of the input go to the frame log as such,
  // out of the input, and into the count.
  void DropStaleAnswers(size_t bytes, unsigned answers);
  // Records why an open failed; gives OpenPort's 0.
  int RefuseOpen(const OpenFailure& failure);

  // Reader thread. CHILD_ functions run only on it.
  void CHILD_ReaderLoop();
  // After the port went away: sleep in poll() on the wake-up descriptor
  // until ClosePort asks the reader to end.
  void CHILD_WaitForStop();

  // Replaced at each open by the channel the line's port names.
  std::unique_ptr<ByteChannel> port_;
  // The open port is a Modbus TCP gateway: requests go as MBAP frames, each
  // with the next transaction identifier (under transactionLock_).
  bool mbap_ = false;
  uint16_t transactionId_ = 0;
  mutable std::mutex portMutex_;  // open, close and writes of the port
  std::atomic<bool> open_{false};
  OpenFailure lastOpenFailure_;  // under portMutex_
  bool opening_ = false;         // under portMutex_: an open is connecting
  std::thread reader_;
  // eventfd that ClosePort signals, never cleared: it ends the reader and a
  // transaction's wait.
  UniqueFd wakeFd_;
  // The reader's epoll set: the wake-up descriptor, and the port while no
  // transaction takes its input.
  UniqueFd readerSet_;
  std::atomic<bool> stopReader_{false};
  // Set by the reader when the line reported errors, taken by the next
  // transaction, which then discards the transmit side.
  std::atomic<bool> lineErrorsSeen_{false};
  std::atomic<bool> portLost_{false};
  // Set once a copy of a request came back (before its answer, or alone):
  // the adapter echoes, and a copy of a write-single request is no answer.
  std::atomic<bool> lineEchoes_{false};
  // 3.5 character times at the line settings of the open port.
  std::atomic<int64_t> quietGapMicros_{0};
  std::atomic<int64_t> characterNanos_{0};  // one character at the open port's rate

  std::mutex transactionLock_;
  // Under transactionLock_: the last exchange failed (time-out, bad answer)
  // at failedAt_, so the line may still carry its answer.
  bool lastFailed_ = false;
  Clock::time_point failedAt_;
  Clock::time_point sentAt_;  // under transactionLock_: when the request went
  Clock::time_point endedAt_;  // under transactionLock_: when the exchange ended
  std::atomic<int64_t> responseTimeoutMicros_{std::chrono::microseconds(ResponseTimeout).count()};
  std::atomic<int64_t> networkAllowanceMicros_{0};  // 0: from the round trip

  // Counted at the end of each transaction, copied by Statistics(); each
  // open starts a new session, and a transaction that began in an earlier
  // one is not counted in it.
  mutable std::mutex statisticsMutex_;
  LinkStatistics statistics_;
  std::atomic<uint64_t> statisticsSession_{0};  // written under statisticsMutex_

  // Traffic buffers, written by the reader between transactions and by the
  // transaction during one, copied by the display; all under bufferMutex_.
  mutable std::mutex bufferMutex_;
  uint8_t receive_[MaxReceiveLength] = {};
  size_t receiveCount_ = 0;
  Frame lastRequest_;
  Clock::time_point lastInput_;  // when bytes were last taken from the port
  Clock::time_point firstInput_;  // when the first of the bytes in receive_ was taken
  // Written with transactionLock_ and bufferMutex_ held, so a transaction or
  // the reader reads it under either.
  std::shared_ptr<FrameLog> frameLog_;
  uint16_t frameLogTag_ = 0;
  // A transaction reads the port itself; the reader, should it have woken
  // for the port just before, leaves the input alone.
  bool transactionReads_ = false;
};
