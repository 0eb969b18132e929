// A JSON document read as the tool reads every file it is given: untrusted,
// so no deeper than the file's shape needs and with no key given twice in
// one object (which would otherwise be taken silently, the last one
// winning). The parameter file and the test plan both read this way.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace paramfile {

enum class JsonFault {
  None,
  Syntax,        // not JSON; `byte` says where
  NumberRange,   // a number beyond every numeric type
  TooDeep,       // nested deeper than asked
  DuplicateKey,  // `key` twice in one object
};

struct StrictJson {
  nlohmann::ordered_json document;
  JsonFault fault = JsonFault::None;
  size_t byte = 0;
  std::string key;
};

// Values below `maxDepth` are not kept, and make the document TooDeep.
StrictJson ParseStrictJson(std::string_view bytes, int maxDepth);

}  // namespace paramfile
