#include "ui/DataExchange.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>
#include <algorithm>

#include "ui/Text.h"

namespace {

// Refuses an edit that would make the text longer than the limit, or longer
// than the text already is when the program put in a longer one: such a
// text can be shortened but not lengthened.
class LengthLimit : public QValidator {
 public:
  LengthLimit(QLineEdit* edit, int maxChars) : QValidator(edit), maxChars_(maxChars) {
    allowed_ = std::max<qsizetype>(maxChars_, edit->text().size());
    connect(edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { allowed_ = std::max<qsizetype>(maxChars_, text.size()); });
  }

  State validate(QString& input, int&) const override {
    return input.size() <= allowed_ ? Acceptable : Invalid;
  }

 private:
  int maxChars_;
  qsizetype allowed_ = 0;
};

}  // namespace

bool DataExchange::BindText(int controlId, std::string& value, int maxChars) {
  QWidget* control = controls_.Get(controlId);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    if (maxChars > 0) edit->setValidator(new LengthLimit(edit, maxChars));
  } else if (qobject_cast<QLabel*>(control) == nullptr) {
    return false;
  }
  entries_.push_back({Kind::Text, {control}, &value, nullptr});
  return true;
}

bool DataExchange::BindCombo(int controlId, int& index) {
  QWidget* control = controls_.As<QComboBox>(controlId);
  if (control == nullptr) return false;
  entries_.push_back({Kind::ComboIndex, {control}, nullptr, &index});
  return true;
}

bool DataExchange::BindCheck(int controlId, int& state) {
  QWidget* control = controls_.As<QCheckBox>(controlId);
  if (control == nullptr) return false;
  entries_.push_back({Kind::Check, {control}, nullptr, &state});
  return true;
}

bool DataExchange::BindRadio(std::span<const int> buttonIds, int& index) {
  std::vector<QWidget*> buttons;
  for (int id : buttonIds) {
    QWidget* button = controls_.As<QAbstractButton>(id);
    if (button == nullptr) return false;
    buttons.push_back(button);
  }
  if (buttons.empty()) return false;
  entries_.push_back({Kind::Radio, std::move(buttons), nullptr, &index});
  return true;
}

void DataExchange::UpdateData(bool saveAndValidate) const {
  for (const Entry& entry : entries_) {
    if (saveAndValidate) {
      Save(entry);
    } else {
      Load(entry);
    }
  }
}

void DataExchange::Save(const Entry& entry) const {
  QWidget* control = entry.controls.front();
  switch (entry.kind) {
    case Kind::Text:
      if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        *entry.text = ToStdString(edit->text());
      } else {
        *entry.text = ToStdString(static_cast<QLabel*>(control)->text());
      }
      break;
    case Kind::ComboIndex:
      *entry.number = static_cast<QComboBox*>(control)->currentIndex();
      break;
    case Kind::Check:
      switch (static_cast<QCheckBox*>(control)->checkState()) {
        case Qt::Unchecked:
          *entry.number = 0;
          break;
        case Qt::Checked:
          *entry.number = 1;
          break;
        case Qt::PartiallyChecked:
          *entry.number = 2;
          break;
      }
      break;
    case Kind::Radio: {
      const auto checked = std::find_if(entry.controls.begin(), entry.controls.end(), [](QWidget* button) {
        return static_cast<QAbstractButton*>(button)->isChecked();
      });
      *entry.number = checked == entry.controls.end() ? -1 : static_cast<int>(checked - entry.controls.begin());
      break;
    }
  }
}

void DataExchange::Load(const Entry& entry) const {
  QWidget* control = entry.controls.front();
  switch (entry.kind) {
    case Kind::Text:
      if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(ToQString(*entry.text));
      } else {
        static_cast<QLabel*>(control)->setText(ToQString(*entry.text));
      }
      break;
    case Kind::ComboIndex: {
      auto* combo = static_cast<QComboBox*>(control);
      combo->setCurrentIndex(*entry.number >= 0 && *entry.number < combo->count() ? *entry.number : -1);
      break;
    }
    case Kind::Check: {
      auto* box = static_cast<QCheckBox*>(control);
      if (*entry.number == 2) {
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
      } else {
        box->setCheckState(*entry.number != 0 ? Qt::Checked : Qt::Unchecked);
      }
      break;
    }
    case Kind::Radio:
      for (size_t i = 0; i < entry.controls.size(); ++i) {
        auto* button = static_cast<QAbstractButton*>(entry.controls[i]);
        // An exclusive button cannot be unchecked directly; lifting the
        // exclusivity for the moment lets "no button" (-1) be shown too.
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(static_cast<int>(i) == *entry.number);
        button->setAutoExclusive(exclusive);
      }
      break;
  }
}
