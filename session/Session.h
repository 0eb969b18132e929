// What an open port carries. One session is the tool's run on one line: the
// link to the driver, the line as it was opened, the slave address, the
// recording of the status, the frame log of every transaction, the capture
// at the line's speed and the marks of the link's writes in the recording.
// The window holds one for its whole run, and so does each korvelt command;
// what the window adds (the panel, the pages, the status poll) sits above.
//
// Lifetime: the recording is made before the link and goes after it, so it
// outlives whatever the link's threads put into it; the capture runs on the
// link and is joined before the link goes; the port is closed before the
// capture's recording and the frame log go. Anything else that runs on the
// link (a poll worker, a job thread) must be joined before the session goes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/Origin.h"
#include "driver/DriverLink.h"
#include "link/FrameLog.h"
#include "link/Line.h"
#include "link/ByteChannel.h"
#include "recording/Capture.h"
#include "recording/StatusRecording.h"

namespace session {

class Session {
 public:
  // Whether the frame log is kept: the window shows it, a korvelt command
  // has no use for it and saves its memory.
  enum class Frames { Logged, NotLogged };
  // Whether an open starts a new session (the recording restarts) or goes
  // on with the one before (a scan gave the port back, a stop went out).
  enum class Open { NewSession, SameSession };
  // What giving the port back did.
  enum class Return { Nothing, Reopened, ReopenFailed };

  // `program` ("KORVELT_Demo", "korvelt") names the tool in the origin.
  explicit Session(const std::string& program, Frames frames = Frames::Logged);
  // Ends a capture still going (its stop command goes out while the port
  // is open), stops marking writes and closes the port.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // --- The link, the line and the address
  DriverLink& Link() { return link_; }
  const DriverLink& Link() const { return link_; }
  // The slave address of every transaction of the session.
  uint8_t& Address() { return address_; }
  uint8_t Address() const { return address_; }

  // Opens `line`: "COMn" by its number, a name with a '/' as the device it
  // names. False when the port did not open; the link's LastOpenFailure
  // says why, and the line as opened stays the one before.
  bool OpenLine(const Line& line, Open how);
  // The second half of OpenLine, for a caller that opens the link on a
  // thread of its own (a connection across the network takes its time):
  // the line as opened, noted on the session's own thread once the link's
  // open has succeeded.
  void NoteOpened(const Line& line, Open how);
  // Asks a capture to end (after the read in progress) and closes the port
  // (the link's, or the one opened to listen).
  void Close();
  bool IsOpen() const { return link_.IsOpen(); }
  // The line as it was last opened; no port and a rate of 0 before the first.
  const Line& OpenedLine() const { return line_; }
  // The device the last open really reached ("/dev/ttyUSB0").
  const std::string& OpenedDevice() const { return devicePath_; }
  // The rate of the open port; 0 while closed.
  int LineBaud() const { return IsOpen() ? line_.baud : 0; }

  // Where a file written now comes from: the tool, the line as opened, the
  // device reached and the address.
  device::Origin Origin() const;

  // --- A line opened to be listened to: read by a listener, which sends
  // nothing, so no link goes on it (the link's open raises RTS, which an
  // RS-485 adapter may take to drive the bus).
  // Opens `line` as OpenLine does (not a Modbus TCP gateway, which carries
  // only the tool's own exchanges). False while a port is open, or when
  // the port did not open (ListenedPort's LastOpenFailure says why).
  bool OpenToListen(const Line& line);
  // Open from OpenToListen until Close. Whatever listens on it must have
  // ended before the port closes.
  ByteChannel& ListenedPort() { return *listened_; }

  // --- Lending the port to a scan, which opens it itself at each setting
  // Closes the port when it is open (true then) and keeps how it was.
  bool LendToScan();
  bool Lent() const { return lent_; }
  bool WasOpenWhenLent() const { return lent_ && openWhenLent_; }
  // The scan has ended: the port opens again at the line it had when it
  // was lent, in the same session, if it was open then and is not now.
  // `open` opens the link on the line (the window runs a network port's
  // open on a thread of its own); by default the link's own open.
  Return TakeBack(const std::function<bool(const Line&)>& open = {});

  // --- The recording, the frame log and the capture
  recording::StatusRecording& Recording() { return recording_; }
  const recording::StatusRecording& Recording() const { return recording_; }
  // Where the recording's clock stands: now while the port is open, else
  // at its last sample.
  recording::Micros RecordingNow() const;
  // Every frame of the link (and of a scan given it), or null when not logged.
  const std::shared_ptr<FrameLog>& FrameLogOfLink() const { return frameLog_; }

  // Starts a capture on the open port at the session's address; empty when
  // it started, else why not. `finished` is called on the capture's thread.
  std::string StartCapture(recording::CaptureRequest request, recording::Capture::Finished finished);
  // Asks the capture to end; it ends after the read in progress.
  void StopCapture() { capture_.RequestStop(); }
  // Asks the capture to end and waits for it (a step test's stop goes out).
  void EndCapture();
  // Joins a capture that has ended, once its report has come.
  void JoinEndedCapture();
  bool CaptureRunning() const { return capture_.Running(); }
  uint64_t CaptureReadings() const { return capture_.Readings(); }
  recording::SteadyClock::time_point CaptureStarted() const { return capture_.Started(); }

 private:
  const std::string tool_;
  // Before the link: it outlives whatever the link's threads put into it.
  recording::StatusRecording recording_;
  std::shared_ptr<FrameLog> frameLog_;
  uint8_t address_ = 0;
  DriverLink link_;
  std::unique_ptr<ByteChannel> listened_;  // of the kind last asked for
  Line line_{"", 0, Parity::None2};
  std::string devicePath_;
  bool lent_ = false;
  bool openWhenLent_ = false;
  // After the link: joined before it goes.
  recording::Capture capture_;
};

}  // namespace session
