// A text destined for one control.
#pragma once

#include <string>

namespace forms {

struct FieldText {
  int controlId;
  std::string text;
};

}  // namespace forms
