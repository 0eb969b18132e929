#include "ui/MainDlg.h"

#include "ui/BusOverviewDlg.h"

#include <QAbstractButton>
#include <algorithm>
#include <QAbstractItemView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "ui/AboutDlg.h"
#include "ui/PlotWindow.h"
#include "ui/AppIcon.h"
#include "ui/DialogBuilder.h"
#include "ui/DialogFont.h"
#include "ui/ScanDlg.h"
#include "ui/StationDlg.h"
#include "ui/StopKey.h"
#include "ui/TabCtrl.h"
#include <QTabBar>
#include "ui/TrafficDlg.h"
#include "ui/Text.h"
#include "ui/forms/ControlIds.h"
#include "ui/forms/DialogLayout.h"

CMainDlg* g_pMainDlg = nullptr;

namespace {

constexpr int TimerPeriodMs = 100;

// Window-menu commands.
constexpr unsigned AboutCommand = 0x0010;
constexpr unsigned AboutCommandLast = 0x001F;
constexpr unsigned CloseCommand = 0xF060;
constexpr unsigned MinimizeCommand = 0xF020;
constexpr unsigned RestoreCommand = 0xF120;

// Room that a page leaves to the tab control's edges, in pixels: the tabs
// above it and a margin on the other sides. The tabs of a larger font are
// taller than 20 pixels; the page then starts below them.
constexpr int PageInsetSide = 2;
constexpr int PageInsetTop = 20;
constexpr int PageInsetBottom = 20;

}  // namespace

CMainDlg::CMainDlg() : m_icon(AppIcon()) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  m_timer.setParent(this);
  m_timer.setObjectName(QStringLiteral("statusTimer"));
  m_paramFiles = std::make_unique<CParamFileFlow>(CParamFileFlow::Window{
      this, &m_link, [this] { return m_address; }, [this] { return paramfile::HeaderNow(m_session.Origin()); },
      [this](size_t block, const paramfile::Words& words) { ShowParamBlock(block, words); },
      [this] { return ControlText(forms::ids::Model); }, [this](const DeviceInfoBlock& info) { ShowDeviceInfo(info); }});
  m_stopKey = std::make_unique<CStopKey>([this] { OnStopShortcut(); });
  g_pMainDlg = this;
}

// No tick starts another poll; the pages end their background work while the
// link is still open; a status poll still out is cut short and its worker
// joined. Only then do the members go, the link before the pages.
CMainDlg::~CMainDlg() {
  m_stopKey.reset();
  m_timer.stop();
  delete m_plotWindow;
  m_plotWindow = nullptr;
  // A scan still running ends with its try; the windows go before the link.
  m_scanDlg.reset();
  m_trafficDlg.reset();
  m_overviewDlg.reset();
  // A unit still under test ends as ABORTED: its stop goes out and its
  // record is kept while the port is open.
  m_stationDlg.reset();
  for (CTabPage* page : std::initializer_list<CTabPage*>{&m_motorControlPage, &m_motorParamPage, &m_systemParamPage,
                                                          &m_pidPage, &m_reciprocatePage}) {
    page->OnDestroy();
  }
  // A step test still going sends its stop while the port is open.
  m_session.EndCapture();
  StopStatusPoll();
  m_paramFiles->Stop();
  m_exportWorker.Stop();
  if (g_pMainDlg == this) g_pMainDlg = nullptr;
}

int CMainDlg::DoModal() { return exec(); }

void CMainDlg::setVisible(bool visible) {
  if (visible && !m_initialized) {
    m_initialized = true;
    OnInitDialog();
  }
  QDialog::setVisible(visible);
}

bool CMainDlg::OnInitDialog() {
  setFont(DialogFont());
  // The controls keep their dialog-unit places in an area of their own; the
  // menu bar sits above it and the window grows by the bar's height.
  m_menuBar = new QMenuBar(this);
  m_client = new QWidget(this);
  BuildDialog(m_client, forms::MainDialog(), m_icon, m_controls);
  setWindowTitle(m_client->windowTitle());
  BuildMenus();
  FitToClient();
  m_tab = m_controls.As<CTabCtrl>(forms::ids::PageTab);
  m_baudCombo = m_controls.As<QComboBox>(forms::ids::BaudCombo);
  DoDataExchange();
  UpdateData(false);
  RefreshPortTooltips();

  setWindowIcon(m_icon);

  AddPage(&m_motorControlPage, CMotorControlPage::IDD, "电机控制");
  AddPage(&m_motorParamPage, CMotorParamPage::IDD, "电机参数");
  AddPage(&m_systemParamPage, CSystemParamPage::IDD, "系统参数");
  AddPage(&m_pidPage, CPidParamPage::IDD, "PID参数");
  AddPage(&m_reciprocatePage, CReciprocatePage::IDD, "往复运动");
  ShowPage(0);
  FitToTexts();

  ConnectHandlers();
  m_timer.start(TimerPeriodMs);
  return true;
}

void CMainDlg::DoDataExchange() {
  m_exchange.BindCheck(forms::ids::AutoUpdate, m_autoUpdate);
  for (int i = 0; i < forms::ids::AddressSwitchCount; ++i) {
    m_exchange.BindCheck(forms::ids::FirstAddressSwitch + i, m_addressBits[i]);
  }
  m_exchange.BindCombo(forms::ids::BaudCombo, m_baudIndex);
  m_exchange.BindCombo(forms::ids::PortCombo, m_portIndex);
  m_exchange.BindCombo(forms::ids::ParityCombo, m_parityIndex);
}

bool CMainDlg::UpdateData(bool saveAndValidate) {
  // A handler run by a check box that is being set would take the controls
  // not yet set back into their members.
  m_loadingControls = !saveAndValidate;
  // A port typed into the list is no item of it: setting the controls from
  // the members leaves it as typed.
  auto* ports = m_controls.As<QComboBox>(forms::ids::PortCombo);
  const QString typed = ports != nullptr ? ports->currentText() : QString();
  m_exchange.UpdateData(saveAndValidate);
  if (!saveAndValidate && ports != nullptr && !typed.isEmpty() && ports->findText(typed, Qt::MatchFixedString) < 0) {
    ports->setEditText(typed);
  }
  m_loadingControls = false;
  return true;
}

void CMainDlg::ConnectHandlers() {
  const auto onClick = [this](int id, void (CMainDlg::*handler)()) {
    if (auto* button = m_controls.As<QAbstractButton>(id)) connect(button, &QAbstractButton::clicked, this, handler);
  };
  onClick(forms::ids::OpenPortButton, &CMainDlg::OnOpenPort);
  onClick(forms::ids::ReadInfoButton, &CMainDlg::OnReadInfo);
  onClick(forms::ids::OemInfoButton, &CMainDlg::OnOemInfo);
  // Check boxes act on their state, whoever changes it: a click, the
  // keyboard, or a screen reader's toggle action.
  const auto onToggle = [this](int id, void (CMainDlg::*handler)()) {
    if (auto* button = m_controls.As<QAbstractButton>(id)) {
      connect(button, &QAbstractButton::toggled, this, [this, handler] {
        if (!m_loadingControls) (this->*handler)();
      });
    }
  };
  onToggle(forms::ids::AutoUpdate, &CMainDlg::OnAutoUpdate);
  for (int i = 0; i < forms::ids::AddressSwitchCount; ++i) {
    onToggle(forms::ids::FirstAddressSwitch + i, &CMainDlg::OnAddressSwitch);
  }
  if (m_tab != nullptr) connect(m_tab, &CTabCtrl::SelChange, this, &CMainDlg::OnSelchangeTab);
  connect(&m_timer, &QTimer::timeout, this, &CMainDlg::OnTimer);
  if (auto* ports = m_controls.As<QComboBox>(forms::ids::PortCombo)) {
    ports->installEventFilter(this);
    // Besides its COM items the list takes a typed port: a device path or
    // a network port (tcp://, rfc2217://, modbus-tcp://). Only one that
    // opened joins the list.
    ports->setEditable(true);
    ports->setInsertPolicy(QComboBox::NoInsert);
    ports->view()->setMinimumWidth(ports->fontMetrics().horizontalAdvance(QStringLiteral("modbus-tcp://000.000.000.000:00000")));
  }
}

void CMainDlg::SetControlText(int controlId, const std::string& text) {
  QWidget* control = m_controls.Get(controlId);
  if (auto* label = qobject_cast<QLabel*>(control)) label->setText(ToQString(text));
}

void CMainDlg::FitToTexts() {
  LayOutDialog(m_client, forms::MainDialog());
  if (m_tab != nullptr) {
    // The pages keep their grids; the tab control grows by what the widest
    // page lacks, or what its tabs lack to show every name.
    int lacking = std::max(0, m_tab->TabBar()->sizeHint().width() - m_tab->width());
    const int room = PageArea().width();
    for (CTabPage* page : m_pages) {
      // A hidden page's layouts keep the sizes of its old texts until told.
      for (QWidget* control : page->findChildren<QWidget*>()) control->updateGeometry();
      // A list keeps the least width of the items it first had; it takes
      // the width its items need now.
      for (QComboBox* list : page->findChildren<QComboBox*>()) list->setMinimumWidth(list->sizeHint().width());
      lacking = std::max(lacking, page->minimumSizeHint().width() - room);
    }
    if (lacking > 0) LayOutDialog(m_client, forms::MainDialog(), {forms::ids::PageTab, lacking});
    for (CTabPage* page : m_pages) page->setGeometry(PageArea());
  }
  FitToClient();
}

void CMainDlg::FitToClient() {
  const int barHeight = m_menuBar->sizeHint().height();
  m_menuBar->setGeometry(0, 0, m_client->width(), barHeight);
  m_client->move(0, barHeight);
  setFixedSize(m_client->width(), m_client->height() + barHeight);
}

QRect CMainDlg::PageArea() const {
  const QRect client = m_tab->GetClientRect();
  const int top = std::max(PageInsetTop, m_tab->TabHeight());
  return QRect(client.left() + PageInsetSide, client.top() + top, client.width() - 2 * PageInsetSide,
               client.height() - top - PageInsetBottom);
}

void CMainDlg::AddPage(CTabPage* page, int templateId, const char* caption) {
  if (m_tab == nullptr) return;
  const QRect area = PageArea();
  if (page == nullptr || caption == nullptr) return;
  page->SetContext({&m_link, &m_address, m_paramFiles.get()});
  if (!page->Create(templateId, m_tab)) return;
  page->setGeometry(area);
  page->update();
  // A value wider than the page's room (a slider's label, an item of a
  // value the list lacks) widens the window rather than cutting a text.
  page->installEventFilter(this);
  m_tab->InsertItem(static_cast<int>(m_pages.size()), caption);
  m_pages.push_back(page);
}

void CMainDlg::ShowPage(int index) {
  for (size_t i = 0; i < m_pages.size(); ++i) m_pages[i]->setVisible(static_cast<int>(i) == index);
}

void CMainDlg::OnSelchangeTab() { ShowPage(m_tab->GetCurSel()); }

void CMainDlg::accept() {}

std::unique_ptr<QMenu> CMainDlg::CreateSystemMenu() {
  auto menu = std::make_unique<QMenu>(this);
  QAction* about = menu->addAction(Tr(forms::texts::AboutItem));
  connect(about, &QAction::triggered, this, &CMainDlg::OnAbout);
  return menu;
}

void CMainDlg::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::LanguageChange || m_client == nullptr) return;
  // The remembered captions are set again by the switch; the window takes
  // the room its texts now need, and what it made from values is made again.
  if (m_tab != nullptr) m_tab->RetranslateCaptions();
  FitToTexts();
  ShowPortButton();
  ShowStatistics();
  if (m_shownInfo) ShowDeviceInfo(*m_shownInfo);
  if (m_shownStatus) {
    ShowStatus(*m_shownStatus);
  } else if (m_shownStatusFailure != ResultSuccess) {
    ShowStatusFailure(m_shownStatusFailure);
  }
}

void CMainDlg::OnAbout() { OnSysCommand(AboutCommand, 0); }

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
  const std::unique_ptr<QMenu> menu = CreateSystemMenu();
  menu->exec(event->globalPos());
}

void CMainDlg::OnSysCommand(unsigned commandId, long) {
  const unsigned command = commandId & 0xFFFF;
  if (command >= AboutCommand && command <= AboutCommandLast) {
    CAboutDlg about(this);
    about.exec();
    return;
  }
  switch (command & 0xFFF0) {
    case CloseCommand:
      reject();
      break;
    case MinimizeCommand:
      showMinimized();
      break;
    case RestoreCommand:
      showNormal();
      break;
    default:
      break;
  }
}
