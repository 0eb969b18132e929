#include "fields/ItemList.h"

#include "lang/Texts.h"

namespace fields {

// Chinese lists with the enumeration comma; every other language the tool
// speaks with a comma and a space.
const char* ItemSeparator() { return lang::InUse() == lang::Language::Chinese ? "、" : ", "; }

void AppendItem(std::string& items, std::string_view item) {
  if (!items.empty()) items += ItemSeparator();
  items += item;
}

}  // namespace fields
