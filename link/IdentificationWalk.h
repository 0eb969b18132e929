// The walk over a driver's identification objects: which object the next
// request starts from, the objects collected so far, and when
// to stop. Pure, so that any answer a driver could give can be fed to it.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One identification object as the walk reads it: its id, its name by its
// id, and its value up to its first zero byte and the end of the data.
struct IdentificationObject {
  uint8_t id;
  const char* name;
  std::string value;
};

// The objects of one answer's data, from its more-follows byte on. An
// object whose length runs past the data gives only the bytes present and
// is the last.
std::vector<IdentificationObject> IdentificationObjects(const uint8_t* data, size_t length);

class IdentificationWalk {
 public:
  // A driver that keeps saying "more follows" is asked no more often.
  static constexpr int MaxRequests = 64;

  // The object id that the next request starts from.
  uint8_t NextObjectId() const { return next_; }
  // Takes the data of one answer (from its more-follows byte on, `length`
  // bytes). True when another request is due: the driver says more
  // follows, from an object not asked for yet, and the bound is not met.
  bool Take(const uint8_t* data, size_t length);
  // The objects so far, in the order the driver gave them.
  const std::vector<IdentificationObject>& Objects() const { return objects_; }
  // The objects so far as "name:value" lines joined by CRLF, as the
  // window's message box shows them.
  std::string Text() const;

 private:
  std::vector<IdentificationObject> objects_;
  std::bitset<256> asked_;
  uint8_t next_ = 0;
  int requests_ = 0;
};
