// Every text whole: each label, list item and button text of every window
// of the tool, at the dialog font, against its control's room, with the
// longest texts the registers can carry in the fields the program fills.
#include <QLineEdit>
#include <QSlider>
#include <QTabBar>

#include <QAction>
#include <QMenu>

#include "MainDlgFixture.h"
#include "TextFit.h"
#include "fields/DeviceInfoTexts.h"
#include "fields/StatusTexts.h"
#include "ui/AboutDlg.h"
#include "ui/LanguageSwitch.h"
#include "ui/MotorControlPage.h"
#include "ui/PlotWindow.h"
#include "ui/ScanDlg.h"
#include "ui/StationDlg.h"
#include "ui/TrafficDlg.h"
#include "ui/SystemParamPage.h"
#include "ui/TabCtrl.h"
#include "ui/Text.h"
#include "ui/forms/BoxTexts.h"
#include "ui/forms/MotorControlForm.h"
#include "ui/forms/SystemParamForm.h"

namespace {

namespace mc = forms::motorcontrol;

// Register words at the edges of what a 16- or 32-bit field shows.
constexpr uint16_t kEdgeWords[] = {0x0000, 0x0001, 0x7FFF, 0x8000, 0x8001, 0xFFFE, 0xFFFF};

template <class Block>
Block Filled(uint16_t word) {
  Block block;
  std::array<uint16_t, sizeof(Block) / 2> words;
  words.fill(word);
  std::memcpy(&block, words.data(), sizeof block);
  return block;
}

// The widest of `text` and what `widest` holds, in the window's font.
void KeepWidest(QString& widest, const QString& text, const QFontMetrics& metrics) {
  if (metrics.horizontalAdvance(text) > metrics.horizontalAdvance(widest)) widest = text;
}

// For every value field of the two right-hand boxes, the widest text its
// registers (or a failed read) can give it.
std::map<int, QString> WidestValueTexts(const QFontMetrics& metrics) {
  std::map<int, QString> widest;
  const auto keep = [&](const auto& texts) {
    for (const forms::FieldText& field : texts) KeepWidest(widest[field.controlId], ToQString(field.text), metrics);
  };
  for (const uint16_t word : kEdgeWords) {
    keep(forms::DeviceInfoTexts(Filled<DeviceInfoBlock>(word)));
    for (uint16_t rangeFlag : {0, 1}) {
      for (uint16_t error = 0; error <= 5; ++error) {
        StatusBlock status = Filled<StatusBlock>(word);
        status.rangeFlag = rangeFlag;
        status.errorState = error;
        keep(forms::StatusTexts(status));
      }
    }
  }
  // A model as a nameplate writes it: sixteen of the widest of the
  // upper-case letters, digits and dash.
  QChar wide = QLatin1Char('-');
  for (const QChar c : QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ")) {
    if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(wide)) wide = c;
  }
  widest[ids::Model] = QString(16, wide);
  // A status read that fails shows the result's text: an exception code of
  // the driver, or the link's own failures.
  for (ModbusResult result = 0x01; result <= ResultTimeout; ++result) {
    for (const int control : forms::StatusFailureFields()) KeepWidest(widest[control], ToQString(ResultText(result)), metrics);
  }
  return widest;
}

// In Chinese, and in English switched to at run time from a window built in
// Chinese: the widths that follow the texts must follow the switch.
class TextFitsTest : public MainDlgTest, public ::testing::WithParamInterface<lang::Language> {
 protected:
  void SetUp() override {
    MainDlgTest::SetUp();
    if (GetParam() == lang::Language::English) {
      ASSERT_EQ(ui::SwitchLanguage(ui::LanguageChoice::English), "");
    }
  }
  void TearDown() override {
    MainDlgTest::TearDown();
    lang::Use(lang::Language::Chinese);
  }

  template <class Page>
  Page* FindPage() const {
    for (CTabPage* tab : dlg->Pages()) {
      if (auto* page = dynamic_cast<Page*>(tab)) return page;
    }
    return nullptr;
  }

  // Shows tab `index` as a click would, and lets its layout settle.
  void ShowTab(int index) {
    auto* tabs = dlg->TabControl()->findChild<QTabBar*>();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    QCoreApplication::processEvents();
  }

  // The slider labels at their widest: the lowest PWM, the lowest frequency
  // under the largest maximum, the lowest position under the largest one.
  void WidenSliderLabels() {
    auto* page = FindPage<CMotorControlPage>();
    qobject_cast<QLineEdit*>(page->Control(mc::id::FrequencyMax))->setText(QStringLiteral("3276.7"));
    page->OnKillFocusMaxFrequency();
    qobject_cast<QLineEdit*>(page->Control(mc::id::PositionMax))->setText(QStringLiteral("2147483647"));
    for (int id : {mc::id::PwmSlider, mc::id::FrequencySlider, mc::id::PositionSlider}) {
      auto* slider = qobject_cast<QSlider*>(page->Control(id));
      slider->setValue(slider->minimum());
    }
    page->RefreshSliderLabels();
  }

  // A baud rate that the list lacks shows as an item of its own: the
  // largest the register pair holds.
  void ReadWidestBaudRate() {
    line.Driver().SetRegister(0x0090, 0xFFFF);
    line.Driver().SetRegister(0x0091, 0xFFFF);
    Click(ids::OpenPortButton);
    QTest::mouseClick(qobject_cast<QAbstractButton*>(FindPage<CSystemParamPage>()->Control(forms::sysparam::ReadButton)),
                      Qt::LeftButton);
    ASSERT_TRUE(boxes.Boxes().empty()) << boxes.Texts().front().toStdString();
  }
};

TEST_P(TextFitsTest, MainWindowAndItsPagesShowEveryTextWhole) {
  for (const auto& [control, text] : WidestValueTexts(dlg->fontMetrics())) {
    qobject_cast<QLabel*>(dlg->Control(control))->setText(text);
  }
  WidenSliderLabels();
  ReadWidestBaudRate();
  std::vector<CutText> cuts;
  for (int tab = 0; tab < dlg->TabControl()->GetItemCount(); ++tab) {
    ShowTab(tab);
    for (const CutText& cut : CutTexts(dlg.get())) {
      const bool seen = std::any_of(cuts.begin(), cuts.end(), [&](const CutText& c) { return c.text == cut.text; });
      if (!seen) cuts.push_back(cut);
    }
  }
  EXPECT_TRUE(cuts.empty()) << Describe(cuts).toStdString();
}

TEST_P(TextFitsTest, ScanLogAndPlotWindowsShowEveryTextWhole) {
  // The panel's longest port, rate and parity name the scan's choice.
  Select(ids::PortCombo, 14);
  Select(ids::BaudCombo, 5);
  Select(ids::ParityCombo, 0);
  for (QAction* item : dlg->MenuOf(CMainDlg::Menu::Tools)->actions()) {
    if (item->text() == Tr("实时曲线(&P)")) item->trigger();
  }
  ASSERT_NE(dlg->PlotWindow(), nullptr);
  for (QWidget* window : std::initializer_list<QWidget*>{dlg->ScanWindow(), dlg->TrafficWindow(), dlg->PlotWindow(),
                                                         dlg->StationWindow()}) {
    window->show();
    QCoreApplication::processEvents();
    const std::vector<CutText> cuts = CutTexts(window);
    EXPECT_TRUE(cuts.empty()) << window->windowTitle().toStdString() << "\n" << Describe(cuts).toStdString();
  }
}

TEST_P(TextFitsTest, AboutBoxShowsItsTextsWhole) {
  CAboutDlg about(dlg.get());
  about.show();
  const std::vector<CutText> cuts = CutTexts(&about);
  EXPECT_TRUE(cuts.empty()) << Describe(cuts).toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, TextFitsTest,
                         ::testing::Values(lang::Language::Chinese, lang::Language::English),
                         [](const ::testing::TestParamInfo<lang::Language>& info) { return lang::Code(info.param); });

}  // namespace
