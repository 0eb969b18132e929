#include "ui/forms/DialogLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "ui/forms/ControlIds.h"

namespace {

using namespace forms;

const ControlTemplate* Find(const DialogTemplate& dialog, const std::string& text) {
  for (const ControlTemplate& control : dialog.controls) {
    if (text == control.text) return &control;
  }
  return nullptr;
}

// A drop-down list's height is that of its open list; only its closed top
// part has to fit.
bool Inside(const ControlTemplate& control, const UnitRect& box) {
  const int height = control.kind == ControlKind::DropList ? 12 : control.rect.height;
  return control.rect.x >= box.x && control.rect.y >= box.y && control.rect.x + control.rect.width <= box.x + box.width &&
         control.rect.y + height <= box.y + box.height;
}

TEST(DialogLayout, ControlIdsAreUniqueAndEveryControlFitsTheWindow) {
  for (const DialogTemplate* dialog : {&MainDialog(), &AboutDialog()}) {
    std::set<int> seen;
    for (const ControlTemplate& control : dialog->controls) {
      if (control.id != 0) {
        EXPECT_TRUE(seen.insert(control.id).second) << "duplicate id " << control.id;
      }
      EXPECT_TRUE(Inside(control, {0, 0, dialog->width, dialog->height})) << control.text << " " << control.id;
    }
  }
}

TEST(DialogLayout, ControlsSitInTheirGroupBoxes) {
  const DialogTemplate& main = MainDialog();
  struct Region {
    const char* box;
    int firstId, lastId;
  };
  const Region regions[] = {
      {"通讯设置", ids::PortCombo, ids::OpenPortButton},
      {"设备信息", ids::ReadInfoButton, ids::OemInfoButton},
      {"设备信息", ids::DeviceId, ids::CurrentResolution},
      {"实时状态", ids::OutputPwm, ids::ErrorState},
      {"实时状态", ids::AutoUpdate, ids::AutoUpdate},
      {"通讯数据", ids::SentFrame, ids::ReceivedFrame},
  };
  int checked = 0;
  for (const Region& region : regions) {
    const ControlTemplate* box = Find(main, region.box);
    ASSERT_NE(box, nullptr) << region.box;
    for (const ControlTemplate& control : main.controls) {
      if (control.id < region.firstId || control.id > region.lastId) continue;
      EXPECT_TRUE(Inside(control, box->rect)) << control.id << " outside " << region.box;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 11 + 2 + 7 + 17 + 1 + 2);

  // The statistics line lies under both lower boxes, as wide as the two.
  const ControlTemplate* line = nullptr;
  for (const ControlTemplate& control : main.controls) {
    if (control.id == ids::StatisticsLine) line = &control;
  }
  ASSERT_NE(line, nullptr);
  const UnitRect traffic = Find(main, "通讯数据")->rect;
  const UnitRect status = Find(main, "实时状态")->rect;
  EXPECT_GE(line->rect.y, std::max(traffic.y + traffic.height, status.y + status.height));
  EXPECT_GE(line->rect.x, traffic.x);
  EXPECT_EQ(line->rect.x + line->rect.width, status.x + status.width);
}

TEST(DialogUnits, ConvertWithTheFontsAverageWidthAndHeight) {
  EXPECT_EQ(AverageCharWidth(312), 6);  // 6.0
  EXPECT_EQ(AverageCharWidth(337), 6);  // 6.48
  EXPECT_EQ(AverageCharWidth(338), 7);  // 6.5 rounds up
  const DialogUnits units(6, 12);
  EXPECT_EQ(units.X(403), 605);  // 604.5 rounds up
  EXPECT_EQ(units.Y(335), 503);  // 502.5 rounds up
  EXPECT_EQ(units.X(0), 0);
  const PixelRect r = units.Map({7, 59, 271, 215});
  EXPECT_EQ(r.x, 11);
  EXPECT_EQ(r.y, 89);
  EXPECT_EQ(r.width, 407);
  EXPECT_EQ(r.height, 323);
}

}  // namespace
