// Items named one after another in a message ("9600、19200" or "9600, 19200"),
// joined as the language in use joins them.
#pragma once

#include <string>
#include <string_view>

namespace fields {

// The separator between two items of a list in a message.
const char* ItemSeparator();
// `items` with `item` added after the separator (none before the first).
void AppendItem(std::string& items, std::string_view item);

}  // namespace fields
