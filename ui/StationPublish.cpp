#include "ui/StationPublish.h"

#include <QLabel>

#include "base/WholeFile.h"
#include "publish/BrokerUrl.h"
#include "publish/Spool.h"
#include "ui/Text.h"

namespace {

using lang::Fill;
using Link = publish::Publisher::Link;

}  // namespace

CStationPublish::CStationPublish(QLabel* status) : status_(status) { Show(); }

CStationPublish::~CStationPublish() { Close(); }

void CStationPublish::Close() {
  if (!publisher_) return;
  publisher_->SetState(publish::StationState::Offline);
  publisher_->Stop();
  publisher_.reset();
  url_.clear();
  Show();
}

std::string CStationPublish::Use(const std::string& url, const std::string& station) {
  if (url == url_ && station == station_ && (publisher_ || url.empty())) return {};
  Close();
  url_ = url;
  station_ = station;
  refusal_.clear();
  shownUrl_.clear();
  if (url.empty()) {
    Show();
    return {};
  }
  const publish::ParsedUrl parsed = publish::ParseBrokerUrl(url);
  if (!parsed.url) {
    refusal_ = parsed.refusal;
    url_.clear();
    Show();
    return refusal_;
  }
  shownUrl_ = parsed.url->Shown();
  publish::PublisherSettings settings;
  settings.broker = *parsed.url;
  settings.station = station;
  publisher_ = std::make_unique<publish::Publisher>(settings);
  // Told on the publisher's thread; shown on the window's.
  publisher_->OnChange([this] { QMetaObject::invokeMethod(this, [this] { Show(); }, Qt::QueuedConnection); });
  if (std::string refusal = publisher_->Start(); !refusal.empty()) {
    publisher_.reset();
    refusal_ = std::move(refusal);
    url_.clear();
  }
  Show();
  return refusal_;
}

void CStationPublish::Testing() {
  if (publisher_) publisher_->SetState(publish::StationState::Testing);
}

std::string CStationPublish::Ended(const std::string& recordPath) {
  if (!publisher_) return {};
  std::string refusal;
  if (!recordPath.empty()) {
    std::string record;
    refusal = base::ReadWholeFile(recordPath, publish::SpoolFileLimit, record, "不是测试记录");
    if (refusal.empty()) refusal = publisher_->Publish(record);
  }
  publisher_->SetState(publish::StationState::Idle);
  if (!refusal.empty()) notice_ = Fill(lang::Tr("记录未发布: {1}"), {refusal});
  Show();
  return refusal;
}

void CStationPublish::Show() {
  QString text;
  if (!refusal_.empty()) {
    text = ToQString(Fill(lang::Tr("不发布: {1}"), {refusal_}));
  } else if (!publisher_) {
    text = Tr("不发布");
  } else {
    for (std::string& notice : publisher_->TakeNotices()) notice_ = std::move(notice);
    const publish::Publisher::Status status = publisher_->State();
    std::string line;
    switch (status.link) {
      case Link::Connected: line = Fill(lang::Tr("已连接 {1}"), {shownUrl_}); break;
      case Link::Away:
        line = Fill(lang::Tr("代理 {1} 不可达: {2}"), {shownUrl_, status.reason});
        break;
      case Link::Connecting:
      case Link::Stopped: line = Fill(lang::Tr("正在连接 {1}..."), {shownUrl_}); break;
    }
    if (status.spooled > 0) line += Fill(lang::Tr(", {1} 条记录待发送"), {std::to_string(status.spooled)});
    if (!notice_.empty()) line += "; " + notice_;
    text = ToQString(line);
  }
  status_->setText(text);
}
