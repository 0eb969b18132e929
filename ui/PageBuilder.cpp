#include "ui/PageBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>
#include <vector>

#include "ui/Retranslate.h"
#include "ui/Text.h"
#include "ui/TextWidth.h"
#include "fields/FieldCodec.h"

namespace {

using forms::FieldKind;
using forms::FieldSpec;

constexpr int GroupSpacing = 3;
constexpr int ColumnSpacing = 4;
constexpr int PageMargin = 6;

QString Q(const char* text) { return QString::fromUtf8(text); }

// A control showing a table's text, which follows a switch of language.
template <typename Control>
Control* Captioned(Control* control, const char* text) {
  ui::SetSourceText(control, text);
  return control;
}

// Widths that follow the text, measured in the page's font, so the control
// must already sit on the page: an edit is wide enough for its character
// limit, or without one for the longest text its register gives, and not
// narrower than a few digits; a button may be narrower than the style's
// usual width where the page is short of room, never narrower than its
// caption.
void SizeToText(const FieldSpec& field, QWidget* control) {
  const QFontMetrics metrics = control->fontMetrics();
  if (field.kind == FieldKind::Edit || field.kind == FieldKind::ReadOnlyEdit) {
    const int widest = static_cast<int>(fields::WidestText(field));
    const int chars = std::max(field.maxChars > 0 ? field.maxChars : widest > 0 ? widest : 10, 6);
    control->setMinimumWidth(metrics.horizontalAdvance(QLatin1Char('0')) * (chars + 1));
  } else if (field.kind == FieldKind::Button) {
    ui::KeepButtonWideEnough(control);
  }
}

QLineEdit* MakeEdit(const FieldSpec& field) {
  auto* edit = new QLineEdit;
  edit->setReadOnly(field.kind == FieldKind::ReadOnlyEdit);
  return edit;
}

// The control of one entry; radio buttons go into `radios` with their ids.
QWidget* MakeControl(const FieldSpec& field, std::vector<std::pair<int, QWidget*>>& radios) {
  switch (field.kind) {
    case FieldKind::Edit:
    case FieldKind::ReadOnlyEdit:
      return MakeEdit(field);
    case FieldKind::List: {
      auto* list = new QComboBox;
      std::vector<const char*> items;
      for (const forms::ListItem& item : field.items) items.push_back(item.text);
      ui::SetSourceItems(list, items);
      list->setCurrentIndex(-1);
      // Measured again whenever its items change (a switch of language, a
      // value the list lacks), not kept from the language it was first
      // shown in.
      list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
      return list;
    }
    case FieldKind::Check:
      return Captioned(new QCheckBox, field.label);
    case FieldKind::Radio: {
      // A container of their own keeps the buttons exclusive among themselves.
      auto* box = new QWidget;
      QBoxLayout* row = field.stacked ? static_cast<QBoxLayout*>(new QVBoxLayout(box)) : new QHBoxLayout(box);
      row->setContentsMargins(0, 0, 0, 0);
      for (size_t i = 0; i < field.items.size() && i < field.buttons.size(); ++i) {
        auto* button = Captioned(new QRadioButton, field.items[i].text);
        row->addWidget(button);
        radios.emplace_back(field.buttons[i], button);
      }
      row->addStretch();
      return box;
    }
    case FieldKind::Slider:
      return new QSlider(Qt::Horizontal);
    case FieldKind::Spin:
      return new QSpinBox;
    case FieldKind::Static:
      return Captioned(new QLabel, field.label);
    case FieldKind::Button: {
      // Enter belongs to the main window, where it does nothing; a page's
      // button is pressed only by a click or the space bar.
      auto* button = Captioned(new QPushButton, field.label);
      button->setAutoDefault(false);
      return button;
    }
  }
  return nullptr;
}

bool Register(ControlMap& controls, int id, QWidget* control) {
  if (id == 0) return true;
  if (controls.Get(id) != nullptr) return false;
  controls.Add(id, control);
  return true;
}

// Check boxes, buttons and static texts carry their own text and take the
// label's column.
bool OwnText(FieldKind kind) {
  return kind == FieldKind::Check || kind == FieldKind::Button || kind == FieldKind::Static;
}

// A control that the keyboard reaches, with where its entry sits.
struct Stop {
  forms::Place place;
  QWidget* control;
};

// Tab order in the order the page shows its controls, not the order of the
// tables (which follow the register records).
void OrderFocus(std::vector<Stop>& stops) {
  std::stable_sort(stops.begin(), stops.end(), [](const Stop& a, const Stop& b) {
    return std::tie(a.place.group, a.place.row, a.place.column) < std::tie(b.place.group, b.place.row, b.place.column);
  });
  QWidget* previous = nullptr;
  for (const Stop& stop : stops) {
    if ((stop.control->focusPolicy() & Qt::TabFocus) == 0) continue;
    if (previous != nullptr) QWidget::setTabOrder(previous, stop.control);
    previous = stop.control;
  }
}

}  // namespace

bool BuildPage(QWidget* page, std::span<const forms::GroupSpec> groups,
               std::initializer_list<std::span<const forms::FieldSpec>> tables, ControlMap& controls) {
  auto* pageGrid = new QGridLayout(page);
  pageGrid->setContentsMargins(PageMargin, PageMargin, PageMargin, PageMargin);
  std::vector<QGridLayout*> grids;
  int rows = 0;
  bool all = true;
  for (const forms::GroupSpec& group : groups) {
    const bool nested = group.parent >= 0 && static_cast<size_t>(group.parent) < grids.size();
    all &= nested || group.parent == -1;
    QWidget* area = group.title != nullptr ? Captioned(new QGroupBox, group.title) : new QWidget;
    auto* grid = new QGridLayout(area);
    grid->setVerticalSpacing(GroupSpacing);
    grid->setHorizontalSpacing(ColumnSpacing);
    if (group.title == nullptr) grid->setContentsMargins(0, 0, 0, 0);
    QGridLayout* host = nested ? grids[static_cast<size_t>(group.parent)] : pageGrid;
    if (!nested) rows = std::max(rows, group.row + group.rowSpan);
    host->addWidget(area, group.row, group.column, group.rowSpan, group.columnSpan);
    grids.push_back(grid);
  }
  // Spare height goes below the groups, which keep their natural height.
  pageGrid->setRowStretch(rows, 1);
  std::vector<Stop> stops;
  for (std::span<const FieldSpec> table : tables) {
    for (const FieldSpec& field : table) {
      if (field.place.group < 0 || static_cast<size_t>(field.place.group) >= grids.size()) {
        all = false;
        continue;
      }
      QGridLayout* grid = grids[static_cast<size_t>(field.place.group)];
      const int row = field.place.row;
      const int column = field.place.column;
      std::vector<std::pair<int, QWidget*>> radios;
      QWidget* control = MakeControl(field, radios);
      if (field.objectName != nullptr) control->setObjectName(Q(field.objectName));
      const int span = std::max(field.place.span, 1);
      int next = column + span;
      if (OwnText(field.kind)) {
        grid->addWidget(control, row, column, 1, span);
      } else {
        if (*field.label != '\0') {
          auto* label = Captioned(new QLabel, field.label);
          label->setBuddy(radios.empty() ? control : radios.front().second);
          grid->addWidget(label, row, column);
        }
        grid->addWidget(control, row, column + 1, 1, span);
        ++next;
      }
      if (field.unit != nullptr) grid->addWidget(Captioned(new QLabel, field.unit), row, next);
      SizeToText(field, control);
      all &= Register(controls, field.id, control);
      for (const auto& [id, button] : radios) {
        all &= Register(controls, id, button);
        stops.push_back({field.place, button});
      }
      if (radios.empty()) stops.push_back({field.place, control});
    }
  }
  OrderFocus(stops);
  return all;
}
