#include "link/IdentificationWalk.h"

#include <algorithm>
#include <iterator>

#include "lang/Texts.h"

namespace {

// Identification object names by object id; ids 7 and above share the last.
// Named in the language in use when the object is read: the name lives on
// with the object (the window's box, an identity document).
constexpr const char* kObjectNames[] = {
    "公司名称", "产品代码", "主要修订版本", "供应商网址", "产品名称", "模式名称", "用户应用名称", "扩展描述",
};

const char* ObjectName(uint8_t id) {
  return lang::Tr(kObjectNames[std::min<size_t>(id, std::size(kObjectNames) - 1)]);
}

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
    objects.push_back({id, ObjectName(id), std::string(reinterpret_cast<const char*>(value), shown)});
    if (present < declared) break;
    offset += declared + 2;
  }
  return objects;
}

std::string IdentificationWalk::Text() const {
  std::string text;
  for (const IdentificationObject& object : objects_) {
    if (!text.empty()) text += "\r\n";
    text += object.name;
    text += ':';
    text += object.value;
  }
  return text;
}

bool IdentificationWalk::Take(const uint8_t* data, size_t length) {
  asked_.set(next_);
  ++requests_;
  std::vector<IdentificationObject> taken = IdentificationObjects(data, length);
  objects_.insert(objects_.end(), std::make_move_iterator(taken.begin()), std::make_move_iterator(taken.end()));
  // Follow "more follows" only to an object not asked for yet, so a driver
  // that keeps saying it cannot hold the tool in the walk.
  if (length < 2 || data[0] != kMoreFollows || asked_.test(data[1]) || requests_ >= MaxRequests) return false;
  next_ = data[1];
  return true;
}
