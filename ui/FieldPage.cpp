#include "ui/FieldPage.h"

#include <cstdio>

#include "ui/MessageBox.h"
#include "ui/PageBuilder.h"

void CFieldPage::Build(std::span<const forms::GroupSpec> groups,
                       std::initializer_list<std::span<const forms::FieldSpec>> tables) {
  Note(BuildPage(this, groups, tables, m_controls), "a control without its group, or an id used twice");
}

void CFieldPage::BindTable(FieldForm& form, size_t recordSize) {
  const std::string fault = forms::CheckFields(form.Fields(), recordSize);
  Note(fault.empty(), fault);
  Note(form.Bind(m_controls), "a field whose control is missing or of another kind");
}

void CFieldPage::EnableControl(int controlId, bool enabled) {
  QWidget* control = m_controls.Get(controlId);
  Note(control != nullptr, "no control " + std::to_string(controlId));
  if (control != nullptr) control->setEnabled(enabled);
}

void CFieldPage::ShowResult(ModbusResult result) { ShowText(ResultText(result)); }

void CFieldPage::ShowText(const std::string& text) { ui::ShowMessage(this, text); }

void CFieldPage::Refuse(const FieldForm& form, const fields::FieldError& error) {
  ShowText(error.message);
  if (QWidget* control = form.Control(error.field)) control->setFocus();
}

void CFieldPage::Note(bool ok, const std::string& what) {
  if (ok) return;
  bound_ = false;
  std::fprintf(stderr, "KORVELT_Demo: page %d: %s\n", TemplateId(), what.c_str());
}
