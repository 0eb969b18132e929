#include "link/IdentificationWalk.h"

#include <algorithm>
#include <iterator>

namespace {

// Identification object names by object id; ids 7 and above share the last.
constexpr const char* kObjectNames[] = {
    "公司名称", "产品代码", "主要修订版本", "供应商网址", "产品名称", "模式名称", "用户应用名称", "扩展描述",
};

const char* ObjectName(uint8_t id) { return kObjectNames[std::min<size_t>(id, std::size(kObjectNames) - 1)]; }

constexpr uint8_t kMoreFollows = 0xFF;
// Objects start after more-follows, next object id and object count.
constexpr size_t kFirstObject = 3;

}  // namespace

std::vector<IdentificationObject> IdentificationObjects(const uint8_t* data, size_t length) {
  std::vector<IdentificationObject> objects;
  size_t offset = kFirstObject;
  while (offset + 1 < length) {
    const uint8_t id = data[offset];
    const size_t declared = data[offset + 1];
    const size_t present = std::min(declared, length - (offset + 2));
    const uint8_t* value = data + offset + 2;
    const size_t shown = std::find(value, value + present, 0) - value;
    objects.push_back({ObjectName(id), std::string(reinterpret_cast<const char*>(value), shown)});
    if (present < declared) break;
    offset += declared + 2;
  }
  return objects;
}

namespace {

// Appends the objects of one answer to `text`.
void AppendObjects(const uint8_t* data, size_t length, std::string& text) {
  for (const IdentificationObject& object : IdentificationObjects(data, length)) {
    if (!text.empty()) text += "\r\n";
    text += object.name;
    text += ':';
    text += object.value;
  }
}

}  // namespace

bool IdentificationWalk::Take(const uint8_t* data, size_t length) {
  asked_.set(next_);
  ++requests_;
  AppendObjects(data, length, text_);
  // Follow "more follows" only to an object not asked for yet, so a driver
  // that keeps saying it cannot hold the tool in the walk.
  if (length < 2 || data[0] != kMoreFollows || asked_.test(data[1]) || requests_ >= MaxRequests) return false;
  next_ = data[1];
  return true;
}
