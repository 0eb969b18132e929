// korvelt test --mqtt URL: the station's record to the broker once it is
// written, through the publisher the window uses too. korvelt is a short
// process: the broker gets a bounded wait for its acknowledgement at the
// end, and what it has not acknowledged stays spooled for the next run.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/Program.h"
#include "publish/Publisher.h"

namespace cli {

class TestPublish {
 public:
  // The URL checked before the driver is touched; the refusal, or empty.
  std::string Parse(const std::string& url);
  bool Wanted() const { return url_.has_value(); }
  // Starts connecting in the background and says "testing"; a spool that
  // cannot be opened is said and the test goes on.
  void Begin(const Program& program, const std::string& station);
  // Publishes the record in `recordPath`, says "idle", waits a little for
  // the broker and says what stays spooled. Never changes the exit status.
  void End(const Program& program, const std::string& recordPath);

 private:
  void SayNotices(const Program& program);

  std::optional<publish::BrokerUrl> url_;
  std::unique_ptr<publish::Publisher> publisher_;
};

}  // namespace cli
