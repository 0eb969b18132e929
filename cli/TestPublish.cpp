#include "cli/TestPublish.h"

#include <chrono>

#include "base/WholeFile.h"
#include "lang/Texts.h"

namespace cli {
namespace {

using lang::Fill;
using lang::Tr;

// How long korvelt waits for the broker's acknowledgement before it ends:
// a broker that is away or refuses ends the wait at once.
constexpr std::chrono::milliseconds AcknowledgeWait(2500);

}  // namespace

std::string TestPublish::Parse(const std::string& url) {
  if (url.empty()) return {};
  const publish::ParsedUrl parsed = publish::ParseBrokerUrl(url);
  url_ = parsed.url;
  return parsed.refusal;
}

void TestPublish::Begin(const Program& program, const std::string& station) {
  if (!url_) return;
  publish::PublisherSettings settings;
  settings.broker = *url_;
  settings.station = station;
  settings.state = publish::StationState::Testing;
  publisher_ = std::make_unique<publish::Publisher>(settings);
  if (const std::string refusal = publisher_->Start(); !refusal.empty()) {
    program.Say(Fill(Tr("警告: 记录不会发布: {1}"), {refusal}));
    publisher_.reset();
  }
}

void TestPublish::End(const Program& program, const std::string& recordPath) {
  if (!publisher_) return;
  if (!recordPath.empty()) {
    std::string record;
    std::string refusal = base::ReadWholeFile(recordPath, publish::SpoolFileLimit, record, "不是测试记录");
    if (refusal.empty()) refusal = publisher_->Publish(record);
    if (!refusal.empty()) program.Say(Fill(Tr("警告: 记录未发布: {1}"), {refusal}));
  }
  publisher_->SetState(publish::StationState::Idle);
  const size_t waiting = publisher_->WaitDelivered(AcknowledgeWait);
  const publish::Publisher::Status status = publisher_->State();
  publisher_->Stop();
  SayNotices(program);
  if (waiting > 0) {
    const std::string why = status.reason.empty() ? std::string(Tr("代理未及时确认")) : status.reason;
    program.Say(Fill(Tr("警告: {1} 条记录留在发布队列中, 代理 {2} 恢复后发送 ({3})"),
                     {std::to_string(waiting), url_->Shown(), why}));
  }
}

void TestPublish::SayNotices(const Program& program) {
  for (const std::string& notice : publisher_->TakeNotices()) program.Say(Fill(Tr("警告: {1}"), {notice}));
}

}  // namespace cli
