#include "ui/forms/Fields.h"

#include "fields/FieldCodec.h"

namespace forms {

std::string CheckFields(std::span<const FieldSpec> fields, size_t recordSize) {
  for (const FieldSpec& field : fields) {
    const std::string which = "field " + std::to_string(field.id) + " \"" + field.label + "\": ";
    if (std::string fault = fields::CheckParam(field, recordSize); !fault.empty()) return which + fault;
    const bool holdsValue =
        field.kind != FieldKind::Slider && field.kind != FieldKind::Spin && field.kind != FieldKind::Static && field.kind != FieldKind::Button;
    if (!holdsValue && field.slot.storage != Storage::None) return which + "this kind has no register";
    const ValueKind shows = field.kind == FieldKind::List || field.kind == FieldKind::Radio ? ValueKind::Choice
                            : field.kind == FieldKind::Check                                ? ValueKind::Flag
                                                                                            : ValueKind::Number;
    if (holdsValue && shows != field.value) return which + "control and value differ";
    if (field.kind == FieldKind::Radio) {
      if (field.buttons.size() != field.items.size()) return which + "buttons and items differ";
      for (const int button : field.buttons) {
        if (button == 0) return which + "a radio button without an id";
      }
    } else if (field.id == 0 && field.kind != FieldKind::Static) {
      return which + "no control id";
    }
  }
  return {};
}

}  // namespace forms
