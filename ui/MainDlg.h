// The main window: connection panel, device information, real-time status,
// traffic display and the tab control with the five pages. Its session
// (session/Session.h) holds the one link to the driver, the line as opened,
// the slave address that every page uses, the recording, the frame log and
// the capture; the window adds the panel, the pages and the status poll.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/DriverLink.h"
#include "link/Line.h"
#include "recording/RecordingCsv.h"
#include "session/BusWatch.h"
#include "session/Session.h"
#include "ui/ControlMap.h"
#include "ui/DataExchange.h"
#include "ui/MotorControlPage.h"
#include "ui/MotorParamPage.h"
#include "ui/PidParamPage.h"
#include "ui/ReciprocatePage.h"
#include "ui/SystemParamPage.h"
#include "ui/ParamFileFlow.h"
#include "ui/forms/StatisticsText.h"
#include "ui/worker/PollWorker.h"

class CBusOverviewDlg;
class CPlotWindow;
class CScanDlg;
class CStationDlg;
class CStopKey;
class CTabCtrl;
class CTrafficDlg;
class QActionGroup;
class QComboBox;
class QMenu;
class QMenuBar;

// Members are constructed in declaration order and destroyed in reverse: the
// session (and with it the link) goes before the pages, so the port is
// closed before anything a page runs on the link is torn down.
class CMainDlg : public QDialog {
 private:
  CMotorControlPage m_motorControlPage;
  CMotorParamPage m_motorParamPage;
  CPidParamPage m_pidPage;
  CReciprocatePage m_reciprocatePage;
  CSystemParamPage m_systemParamPage;
  // What the open port carries; before the workers and the tool windows'
  // jobs declared below, which are joined before it goes.
  session::Session m_session{"KORVELT_Demo"};
  // The drivers "总线总览" watches, polled on m_pollWorker (declared
  // after it, so the worker is joined first).
  session::BusWatch m_busWatch;

 public:
  // Slave address of every transaction; 0 until the first click on the open
  // button or an address switch, then 1..128. Set only by UpdateAddress.
  uint8_t& m_address = m_session.Address();
  // The one link of the run; the port is opened only by the operator.
  DriverLink& m_link = m_session.Link();

  session::Session& Session() { return m_session; }
  // The tool's further windows, created on first use (工具 → 扫描设备...,
  // 工具 → 通讯记录).
  CScanDlg* ScanWindow();
  CTrafficDlg* TrafficWindow();
  CBusOverviewDlg* BusOverviewWindow();
  // 工具 → 生产测试.
  CStationDlg* StationWindow();
  // The station is testing a unit: the line is its own until the unit ends.
  bool StationRunning() const;
  session::BusWatch& BusWatch() { return m_busWatch; }

 private:
  // The connection panel's port, rate and parity as they are set now.
  Line PanelSettings();
  // Closes the port when it is open (true then).
  bool ReleasePort();
  // Lends the port to a scan: closes it when it is open (true then).
  bool LendPortToScan();
  // The scan has ended: the port opened again at the settings it had when
  // it was lent, if it was open then; nothing once it is back.
  void TakePortBack();
  // A driver the scan found: the address switches, rate and parity set to
  // it and the port opened, as the operator would. True when it is open.
  bool UseDriver(uint8_t address, int baud, Parity parity);
  // A watched driver becomes the one the pages work on: the address
  // switches set to it, the port left as it is.
  void UseAddress(uint8_t address);

  // F9 in every window of the application, modal ones included.
  std::unique_ptr<CStopKey> m_stopKey;
  // Children of the window, owned here and ended first by its destructor.
  std::unique_ptr<CScanDlg> m_scanDlg;
  std::unique_ptr<CTrafficDlg> m_trafficDlg;
  std::unique_ptr<CBusOverviewDlg> m_overviewDlg;
  std::unique_ptr<CStationDlg> m_stationDlg;
  std::vector<CTabPage*> m_pages;  // entry i is the page of tab i
  CTabCtrl* m_tab = nullptr;
  QMenuBar* m_menuBar = nullptr;
  QMenu* m_menus[3] = {};
  QActionGroup* m_languageItems = nullptr;
  // The dialog's controls, under the menu bar.
  QWidget* m_client = nullptr;
  QComboBox* m_baudCombo = nullptr;
  int m_autoUpdate = 0;
  int m_addressBits[7] = {};
  int m_baudIndex = 0;
  int m_portIndex = 0;
  int m_parityIndex = 0;
  QIcon m_icon;

 public:
  CMainDlg();
  ~CMainDlg() override;

  // Runs the window modally; returns how it ended.
  int DoModal();

  // Sets m_address from the seven address switches.
  void UpdateAddress();
  // Creates `page` on the tab control and gives it the next tab. A page that
  // cannot be created gets no tab.
  void AddPage(CTabPage* page, int templateId, const char* caption);
  // Shows the page of tab `index` and hides the others; no page for -1.
  void ShowPage(int index);
  // The window-menu commands: 0x0010..0x001F open the about box; close,
  // minimize and restore do what they say.
  void OnSysCommand(unsigned commandId, long parameter);
  // Stops the motor with the stop mode chosen on "电机控制", as that page's
  // stop button does. F9 in any window of the tool comes here, and so do
  // the stop buttons of the tool's other windows. A failure is shown over
  // `over` (the window the operator is in), else over this window.
  // While a scan holds the port, the scan ends and the stop goes out on the
  // port as it was before it. True when the driver took the stop.
  bool StopMotor(QWidget* over = nullptr);

  // The window's context menu, which carries the about item.
  std::unique_ptr<QMenu> CreateSystemMenu();

  // The menus of the menu bar.
  enum class Menu { File, Tools, Help };
  QMenu* MenuOf(Menu menu) const;
  QMenuBar* MenuBar() const { return m_menuBar; }

  // The control with this id, for the pages' tests and the demo.
  QWidget* Control(int controlId) const { return m_controls.Get(controlId); }
  CTabCtrl* TabControl() const { return m_tab; }
  // A status poll is out on the worker (for tests that wait for it to end).
  bool StatusPollRunning() const { return m_pollWorker.Busy(); }
  const std::vector<CTabPage*>& Pages() const { return m_pages; }
  // The parameter files' menu items and the backups, for tests.
  CParamFileFlow& ParamFiles() { return *m_paramFiles; }

  // Asks for a file and writes the part of the recording in `range` there
  // (with its JSON companion) on a worker; the outcome comes in a box.
  void ExportRecording(recording::ExportRange range);
  bool ExportRunning() const { return m_exportWorker.Busy(); }
  // "工具" → "实时曲线": opens the plot window, or raises it.
  void OnPlotWindow();
  // "文件" → "导出记录...": the whole recording.
  void OnExportRecording() { ExportRecording({}); }
  CPlotWindow* PlotWindow() const { return m_plotWindow; }

  // Enter (and any other OK) leaves the window open.
  void accept() override;
  // Leaving ("文件" → "退出", Esc, the window's close): while the driver
  // reports a running motor, the operator chooses to stop it first, to
  // leave it running or to stay.
  void reject() override;
  void setVisible(bool visible) override;

 protected:
  void changeEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Builds the controls, binds the exchange, adds the pages and starts the
  // timer; runs once, when the window is first shown.
  bool OnInitDialog();
  // The menu bar above the dialog's controls: its menus and their items.
  void BuildMenus();
  void FitToClient();
  void FitToTexts();
  QRect PageArea() const;
  void BuildLanguageMenu();
  void CheckLanguageItem();
  void DoDataExchange();
  void ConnectHandlers();
  bool UpdateData(bool saveAndValidate);
  void SetControlText(int controlId, const std::string& text);
  std::string ControlText(int controlId) const;
  // The device-information fields, from a read of the block.
  void ShowDeviceInfo(const DeviceInfoBlock& info);
  void RefreshPortTooltips();
  // The port as the list shows it: a COM item, or an entry typed into it
  // (a device path, a network port).
  std::string PanelPort() const;
  // A typed port that opened goes into the list after the COM items, the
  // newest first, the last few of the run kept.
  void RememberPort(const std::string& port);

  void OnOpenPort();
  // Opens the session's line and sets the button; a new session restarts
  // the recording. False when the port did not open.
  bool OpenLine(const Line& line, session::Session::Open how);
  // The link's open of `line`; a network port's on a thread of its own,
  // the window live meanwhile.
  bool OpenLink(const Line& line);
  // The port has opened: the button says so and the poll's rate restarts.
  void LineOpened();
  // Asks the driver now: its output or its speed is not zero.
  bool MotorRunning();
  // The adapter went away under the open port: close it and say so once.
  void OnPortLost();
  // Closes the port and sets the button back to "打开串口".
  void ClosePortAndButton();
  void ShowPortButton();
  void OnAddressSwitch();
  void OnReadInfo();
  void OnOemInfo();
  void OnAutoUpdate();
  void OnTimer();
  void OnSelchangeTab();
  void OnAbout();
  void OnSaveParams();
  void OnLoadParams();
  // A block read back by a restore, shown in its page.
  void ShowParamBlock(size_t block, const paramfile::Words& words);
  void OnScan();
  void OnTraffic();
  void OnBusOverview();
  void OnStation();
  // F9: the stop, its failure shown over the window that has the keyboard.
  void OnStopShortcut();

  // The status poll runs on m_pollWorker; its result comes back to the
  // user-interface thread, which alone touches the fields.
  void StartStatusPoll();
  // On the worker: the window's own read of the status at `address`.
  void PollOwnStatus(uint8_t address, unsigned generation, recording::SteadyClock::time_point at);
  void OnStatusPolled(unsigned generation, ModbusResult result, const StatusBlock& status);
  // A poll still out when the port closes, "自动更新" is unticked or the
  // address changes shows nothing when it ends.
  void DiscardStatusPoll() { ++m_pollGeneration; }
  // The statistics line: the link's counts and the polls that came back.
  void ShowStatistics();
  void ShowStatus(const StatusBlock& status);
  void ShowStatusFailure(ModbusResult result);
  // Teardown: ends a poll that waits on the driver and joins the worker.
  void StopStatusPoll();
  // Starts a capture on the open port at the current address (the status
  // poll waits meanwhile); empty when it started, else why not.
  std::string StartCapture(recording::CaptureRequest request);
  void OnCaptureEnded(const recording::CaptureReport& report);
  void ShowCapturedStatus();

  ControlMap m_controls;
  DataExchange m_exchange{m_controls};
  QTimer m_timer;
  bool m_initialized = false;
  // Set while members are put into the controls, whose changes then start
  // no handler.
  bool m_loadingControls = false;
  // A network port's open is under way on its own thread.
  bool m_connecting = false;
  unsigned m_pollGeneration = 0;
  // What the boxes show, made again in another language on a switch.
  std::optional<DeviceInfoBlock> m_shownInfo;
  std::optional<StatusBlock> m_shownStatus;
  ModbusResult m_shownStatusFailure = ResultSuccess;
  forms::PollRate m_pollRate;  // restarted when the port opens or polling is ticked on
  CPlotWindow* m_plotWindow = nullptr;  // a child window, made on first use
  // After the session: joined before the link goes.
  PollWorker m_exportWorker;
  // Declared after the session, so even without the destructor's explicit
  // stop it is joined before the link goes.
  PollWorker m_pollWorker;
  // After the session, like the poll worker: its job thread goes first.
  std::unique_ptr<CParamFileFlow> m_paramFiles;
};

// The main window of the run; set at the end of its constructor, cleared by
// its destructor.
extern CMainDlg* g_pMainDlg;
