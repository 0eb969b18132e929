#include "session/Session.h"

#include "lang/Texts.h"
#include "recording/CommandMarks.h"

namespace session {

Session::Session(const std::string& program, Frames frames)
    : tool_(program + " " + KORVELT_VERSION),
      frameLog_(frames == Frames::Logged ? std::make_shared<FrameLog>() : nullptr),
      listened_(MakeChannel(PortKind::Serial)) {
  if (frameLog_) link_.AttachFrameLog(frameLog_);
  recording::MarkWrites(link_, recording_);
}

Session::~Session() {
  EndCapture();
  recording::StopMarkingWrites(link_);
  link_.ClosePort();
}

bool Session::OpenLine(const Line& line, Open how) {
  if (link_.OpenLine(line) == 0) return false;
  NoteOpened(line, how);
  return true;
}

void Session::NoteOpened(const Line& line, Open how) {
  line_ = line;
  devicePath_ = link_.DevicePath();
  if (how == Open::NewSession) recording_.Restart();
}

bool Session::OpenToListen(const Line& line) {
  // A port open already stays as it is: reopening it would pull it from
  // under whatever listens.
  if (link_.IsOpen() || listened_->IsOpen()) return false;
  if (listened_->Kind() != KindOfPort(line.port)) listened_ = MakeChannel(KindOfPort(line.port));
  if (!listened_->OpenToListen(line)) return false;
  line_ = line;
  devicePath_ = listened_->DevicePath();
  return true;
}

void Session::Close() {
  capture_.RequestStop();
  link_.ClosePort();
  listened_->Close();
}

device::Origin Session::Origin() const { return {tool_, line_, devicePath_, address_}; }

bool Session::LendToScan() {
  openWhenLent_ = link_.IsOpen();
  lent_ = true;
  if (openWhenLent_) Close();
  return openWhenLent_;
}

Session::Return Session::TakeBack(const std::function<bool(const Line&)>& open) {
  if (!lent_) return Return::Nothing;
  lent_ = false;
  if (!openWhenLent_ || link_.IsOpen()) return Return::Nothing;
  // The same port at the same settings, and the same recording: the scan
  // was a pause, not a new session.
  const Line line = line_;
  if (!(open ? open(line) : link_.OpenLine(line) != 0)) return Return::ReopenFailed;
  NoteOpened(line, Open::SameSession);
  return Return::Reopened;
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
