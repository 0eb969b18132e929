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
#include <algorithm>
#include <vector>

#include "ui/Text.h"
#include "ui/forms/FieldCodec.h"

namespace {

using forms::FieldKind;
using forms::FieldSpec;

constexpr int GroupSpacing = 3;
constexpr int ColumnSpacing = 4;
constexpr int PageMargin = 6;

QString Q(const char* text) { return QString::fromUtf8(text); }

// An edit wide enough for its character limit, or without one for the
// longest text its register gives, and not narrower than a few digits.
QLineEdit* MakeEdit(const FieldSpec& field) {
  auto* edit = new QLineEdit;
  edit->setReadOnly(field.kind == FieldKind::ReadOnlyEdit);
  const int widest = static_cast<int>(forms::WidestText(field));
  const int chars = std::max(field.maxChars > 0 ? field.maxChars : widest > 0 ? widest : 10, 6);
  edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (chars + 1));
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
      for (const forms::ListItem& item : field.items) list->addItem(Q(item.text));
      list->setCurrentIndex(-1);
      return list;
    }
    case FieldKind::Check:
      return new QCheckBox(Q(field.label));
    case FieldKind::Radio: {
      // A container of their own keeps the buttons exclusive among themselves.
      auto* box = new QWidget;
      auto* row = new QHBoxLayout(box);
      row->setContentsMargins(0, 0, 0, 0);
      for (const forms::ListItem& item : field.items) {
        auto* button = new QRadioButton(Q(item.text));
        row->addWidget(button);
        radios.emplace_back(item.id, button);
      }
      row->addStretch();
      return box;
    }
    case FieldKind::Slider:
      return new QSlider(Qt::Horizontal);
    case FieldKind::Static:
      return new QLabel(Q(field.label));
    case FieldKind::Button: {
      // Enter belongs to the main window, where it does nothing; a page's
      // button is pressed only by a click or the space bar.
      auto* button = new QPushButton(Q(field.label));
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

}  // namespace

bool BuildPage(QWidget* page, std::span<const forms::GroupSpec> groups,
               std::initializer_list<std::span<const forms::FieldSpec>> tables, ControlMap& controls) {
  auto* pageGrid = new QGridLayout(page);
  pageGrid->setContentsMargins(PageMargin, PageMargin, PageMargin, PageMargin);
  std::vector<QGridLayout*> grids;
  int rows = 0;
  for (const forms::GroupSpec& group : groups) {
    rows = std::max(rows, group.row + group.rowSpan);
    QWidget* area = group.title != nullptr ? new QGroupBox(Q(group.title)) : new QWidget;
    auto* grid = new QGridLayout(area);
    grid->setVerticalSpacing(GroupSpacing);
    grid->setHorizontalSpacing(ColumnSpacing);
    if (group.title == nullptr) grid->setContentsMargins(0, 0, 0, 0);
    pageGrid->addWidget(area, group.row, group.column, group.rowSpan, group.columnSpan);
    grids.push_back(grid);
  }
  // Spare height goes below the groups, which keep their natural height.
  pageGrid->setRowStretch(rows, 1);
  bool all = true;
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
      const int span = std::max(field.place.span, 1);
      int next = column + span;
      if (OwnText(field.kind)) {
        grid->addWidget(control, row, column, 1, span);
      } else {
        if (*field.label != '\0') {
          auto* label = new QLabel(Q(field.label));
          label->setBuddy(radios.empty() ? control : radios.front().second);
          grid->addWidget(label, row, column);
        }
        grid->addWidget(control, row, column + 1, 1, span);
        ++next;
      }
      if (field.unit != nullptr) grid->addWidget(new QLabel(Q(field.unit)), row, next);
      all &= Register(controls, field.id, control);
      for (const auto& [id, button] : radios) all &= Register(controls, id, button);
    }
  }
  return all;
}
