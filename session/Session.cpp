#include "session/Session.h"

#include <cctype>

#include "lang/Texts.h"
#include "link/SerialPort.h"
#include "recording/CommandMarks.h"

namespace session {

unsigned ComNumberOf(const std::string& port) {
  if (port.size() < 4 || port.size() > 7) return 0;
  for (size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(port[i])) != "COM"[i]) return 0;
  }
  if (port[3] == '0') return 0;
  unsigned number = 0;
  for (size_t i = 3; i < port.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(port[i]))) return 0;
    number = number * 10 + static_cast<unsigned>(port[i] - '0');
  }
  return number;
}

Session::Session(const std::string& program, Frames frames)
    : tool_(program + " " + KORVELT_VERSION),
      frameLog_(frames == Frames::Logged ? std::make_shared<FrameLog>() : nullptr) {
  if (frameLog_) link_.AttachFrameLog(frameLog_);
  recording::MarkWrites(link_, recording_);
}

Session::~Session() {
  EndCapture();
  recording::StopMarkingWrites(link_);
  link_.ClosePort();
}

bool Session::OpenLine(const Line& line, Open how) {
  const bool opened = line.port.find('/') != std::string::npos
                          ? link_.OpenDevice(line.port, line.baud, line.parity) != 0
                          : link_.OpenPort(ComNumberOf(line.port), line.baud, line.parity) != 0;
  if (!opened) return false;
  line_ = line;
  devicePath_ = link_.DevicePath();
  if (how == Open::NewSession) recording_.Restart();
  return true;
}

void Session::Close() {
  capture_.RequestStop();
  link_.ClosePort();
}

device::Origin Session::Origin() const { return {tool_, line_, devicePath_, address_}; }

bool Session::LendToScan() {
  openWhenLent_ = link_.IsOpen();
  lent_ = true;
  if (openWhenLent_) Close();
  return openWhenLent_;
}

Session::Return Session::TakeBack() {
  if (!lent_) return Return::Nothing;
  lent_ = false;
  if (!openWhenLent_ || link_.IsOpen()) return Return::Nothing;
  // The same port at the same settings, and the same recording: the scan
  // was a pause, not a new session.
  return OpenLine(line_, Open::SameSession) ? Return::Reopened : Return::ReopenFailed;
}

recording::Micros Session::RecordingNow() const {
  if (link_.IsOpen()) return recording_.ToMicros(recording::SteadyClock::now());
  return recording_.Totals().last;
}

std::string Session::StartCapture(recording::CaptureRequest request, recording::Capture::Finished finished) {
  if (!link_.IsOpen()) return ResultText(ResultPortNotOpen);
  if (capture_.Running()) return lang::Tr("采集进行中");
  capture_.Join();  // the one before, ended already
  request.slave = address_;
  return capture_.Start(link_, recording_, std::move(request), std::move(finished)) ? std::string()
                                                                                    : lang::Tr("采集未能开始");
}

void Session::EndCapture() {
  capture_.RequestStop();
  capture_.Join();
}

void Session::JoinEndedCapture() {
  if (!capture_.Running()) capture_.Join();
}

}  // namespace session
