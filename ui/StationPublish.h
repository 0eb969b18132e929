// The station window's broker: every unit's record, once written, goes to
// the plant's broker named in the window, and the station's state with it
// (testing while a unit runs, idle between, offline when the window
// closes). The publisher runs on its own thread; its changes come to the
// window's thread through the event loop and are shown in one line.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "publish/Publisher.h"

class QLabel;

class CStationPublish : public QObject {
 public:
  explicit CStationPublish(QLabel* status);
  // The station goes offline, cleanly; what is not acknowledged stays
  // spooled for the next start.
  ~CStationPublish() override;
  CStationPublish(const CStationPublish&) = delete;
  CStationPublish& operator=(const CStationPublish&) = delete;

  // Publishes as `station` to the broker at `url` (empty: nowhere), started
  // anew when either changed. Empty when so, else why not (nothing is then
  // published, and the line says so).
  std::string Use(const std::string& url, const std::string& station);
  // A unit has started.
  void Testing();
  // The unit has ended; its record at `recordPath` (empty: none was kept)
  // goes to the broker. Empty when it was spooled, else why not.
  std::string Ended(const std::string& recordPath);
  bool Publishing() const { return publisher_ != nullptr; }
  // The station goes offline until Use starts it again.
  void Close();

 private:
  void Show();

  QLabel* status_;
  std::unique_ptr<publish::Publisher> publisher_;
  std::string url_, station_;
  std::string shownUrl_;
  std::string refusal_;  // why the URL given is not used
  std::string notice_;   // the last spool file set aside
};
