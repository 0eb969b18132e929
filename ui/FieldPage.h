// A page made of field tables: builds its controls from the tables, binds
// each register block's controls on their own, and reads a block into its
// controls or configures a block from them, with the page's message box for
// results and refusals.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>

#include "driver/DriverLink.h"
#include "ui/ControlMap.h"
#include "ui/FieldForm.h"
#include "ui/TabPage.h"
#include "fields/FieldCodec.h"
#include "fields/ParamTables.h"

class CFieldPage : public CTabPage {
 public:
  using CTabPage::CTabPage;

  // Every control built, every table bound and every handler connected;
  // a page that is not has a fault in its tables.
  bool IsBound() const { return bound_; }
  QWidget* Control(int controlId) const { return m_controls.Get(controlId); }

  // Shows a record of `block` that was read elsewhere (a restore's read
  // back) as the page's "读取" would; false when the page has no such block.
  virtual bool ShowParamBlock(const fields::ParamBlock& block, const uint8_t* record) {
    static_cast<void>(block);
    static_cast<void>(record);
    return false;
  }

 protected:
  // The controls of one register block, the record last read (what the
  // registers the page does not change are written back with), and the id
  // of the block's "配置" button, enabled by the first read that succeeds.
  template <class Block>
  struct BlockForm {
    BlockForm(std::span<const forms::FieldSpec> fields, int configureButton)
        : form(fields), configureId(configureButton) {}
    FieldForm form;
    Block lastRead{};
    int configureId;
  };

  void Build(std::span<const forms::GroupSpec> groups,
             std::initializer_list<std::span<const forms::FieldSpec>> tables);
  template <class Block>
  void Bind(BlockForm<Block>& block) {
    BindTable(block.form, sizeof(Block));
  }
  // Binds a form of controls that belong to no block.
  void BindTable(FieldForm& form, size_t recordSize);
  template <class Page>
  void OnClicked(int controlId, void (Page::*handler)()) {
    auto* button = m_controls.As<QAbstractButton>(controlId);
    Note(button != nullptr, "no button " + std::to_string(controlId));
    if (button != nullptr) connect(button, &QAbstractButton::clicked, static_cast<Page*>(this), handler);
  }
  // A list's handler for an item the operator picks; an item that the
  // program selects (a read filling the list) does not run it.
  template <class Page>
  void OnActivated(int listId, void (Page::*handler)()) {
    auto* list = m_controls.As<QComboBox>(listId);
    Note(list != nullptr, "no list " + std::to_string(listId));
    if (list != nullptr) connect(list, &QComboBox::activated, static_cast<Page*>(this), handler);
  }

  // Reads the block; on success shows it in the block's controls only and
  // enables its "配置" button, on failure shows the result and changes
  // nothing.
  template <class Block>
  bool ReadBlock(BlockForm<Block>& block, ModbusResult (DriverLink::*read)(uint8_t, Block&)) {
    Block record{};
    if (!ReadRecord(read, record)) return false;
    ShowRecord(block, record);
    return true;
  }
  // The read alone: on failure shows the result and gives false, `record`
  // unchanged.
  template <class Block>
  bool ReadRecord(ModbusResult (DriverLink::*read)(uint8_t, Block&), Block& record) {
    const ModbusResult result = Link() != nullptr ? (Link()->*read)(Address(), record) : ResultPortNotOpen;
    if (result != ResultSuccess) ShowResult(result);
    return result == ResultSuccess;
  }
  // Shows a record read in the block's controls and enables its "配置".
  // `fields` converts instead of the form's own table when given (a scale
  // that the record itself chooses).
  template <class Block>
  void ShowRecord(BlockForm<Block>& block, const Block& record, std::span<const forms::FieldSpec> fields = {}) {
    block.lastRead = record;
    block.form.SetValues(fields::ToTexts(fields.empty() ? block.form.Fields() : fields, record));
    block.form.Show();
    EnableControl(block.configureId, true);
  }

  // ShowRecord for a record of `block` when it is the block of `spec`.
  template <class Block>
  bool ShowIfBlock(BlockForm<Block>& form, const BlockSpec& spec, const fields::ParamBlock& block,
                   const uint8_t* record, std::span<const forms::FieldSpec> fields = {}) {
    // By start: each unit has its own copy of the map's constants.
    if (block.spec->start != spec.start) return false;
    Block copy{};
    std::memcpy(&copy, record, sizeof copy);
    ShowRecord(form, copy, fields);
    return true;
  }

  // Takes the block's controls on top of the record last read; an entry that
  // cannot be sent is refused with its message and nothing is sent.
  // Otherwise writes the block and shows the result, success included.
  // `fields` converts instead of the form's own table when given (a scale
  // that depends on another control).
  template <class Block>
  void ConfigureBlock(BlockForm<Block>& block, ModbusResult (DriverLink::*write)(uint8_t, Block),
                      std::span<const forms::FieldSpec> fields = {}) {
    block.form.Take();
    const fields::FormResult<Block> taken =
        fields::FromTexts(fields.empty() ? block.form.Fields() : fields, block.form.Values(), block.lastRead);
    if (taken.error) {
      Refuse(block.form, *taken.error);
      return;
    }
    const ModbusResult result = Link() != nullptr ? (Link()->*write)(Address(), taken.record) : ResultPortNotOpen;
    if (result == ResultSuccess) block.lastRead = taken.record;
    ShowResult(result);
  }

  // Enables or disables a control of the page; a missing one is a fault.
  void EnableControl(int controlId, bool enabled);

  // The page's message box with the result's text.
  void ShowResult(ModbusResult result);
  void ShowText(const std::string& text);
  // The refusal's message; the focus goes to the field's control.
  void Refuse(const FieldForm& form, const fields::FieldError& error);

  DriverLink* Link() const { return Context().link; }
  uint8_t Address() const { return Context().address != nullptr ? *Context().address : 0; }

  ControlMap m_controls;

 private:
  // Records a binding fault: tests see it through IsBound, a run on stderr.
  void Note(bool ok, const std::string& what);

  bool bound_ = true;
};
