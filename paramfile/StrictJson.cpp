#include "paramfile/StrictJson.h"

#include <optional>
#include <set>
#include <vector>

namespace paramfile {

StrictJson ParseStrictJson(std::string_view bytes, int maxDepth) {
  using json = nlohmann::ordered_json;
  bool tooDeep = false;
  // The keys of the object open at each depth.
  std::vector<std::set<std::string>> keys(static_cast<size_t>(maxDepth) + 2);
  std::optional<std::string> duplicate;
  const json::parser_callback_t keep = [&](int depth, json::parse_event_t event, json& parsed) {
    if (depth > maxDepth) tooDeep = true;
    if (depth <= maxDepth) {
      const size_t level = static_cast<size_t>(depth);
      if (event == json::parse_event_t::object_start) keys[level + 1].clear();
      if (event == json::parse_event_t::key && parsed.is_string() &&
          !keys[level].insert(parsed.get<std::string>()).second && !duplicate) {
        duplicate = parsed.get<std::string>();
      }
    }
    return depth <= maxDepth;
  };
  StrictJson parsed;
  try {
    parsed.document = json::parse(bytes.begin(), bytes.end(), keep);
  } catch (const json::parse_error& error) {
    parsed.fault = JsonFault::Syntax;
    parsed.byte = error.byte;
    return parsed;
  } catch (const json::exception&) {
    parsed.fault = JsonFault::NumberRange;
    return parsed;
  }
  if (tooDeep) {
    parsed.fault = JsonFault::TooDeep;
  } else if (duplicate) {
    parsed.fault = JsonFault::DuplicateKey;
    parsed.key = *duplicate;
  }
  return parsed;
}

}  // namespace paramfile
