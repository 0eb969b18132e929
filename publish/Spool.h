// The records a station has not had acknowledged by the broker yet: one
// file a record in the station's spool folder, written whole, named by a
// sequence number so that their order is the order written, and removed
// only once the broker has acknowledged it. What is not a record there (a
// file that does not parse, a stray name) is set aside under a ".bad" name
// and reported, never sent and never in the way of the rest.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

// At most this many records wait; the next is refused, and said so, while
// the oldest keep their place.
inline constexpr size_t SpoolLimit = 10000;
// A spool file larger than this is no record of the tool's.
inline constexpr size_t SpoolFileLimit = 16u << 20;

// "<station>" as a topic level and a folder name take it: '/', '+', '#',
// '\' and control characters as '_', a leading '.' too; "_" for nothing.
std::string StationPart(std::string_view station);

// $XDG_DATA_HOME/korvelt-demo/spool/<station>/ (~/.local/share where
// XDG_DATA_HOME is unset or not absolute); empty when neither is known.
std::string DefaultSpoolFolder(const std::string& station);

struct SpoolEntry {
  uint64_t sequence = 0;
  std::string name;  // the file's name in the folder
};

class Spool {
 public:
  explicit Spool(std::string folder) : folder_(std::move(folder)) {}
  const std::string& Folder() const { return folder_; }

  // Makes the folder when missing; empty when it is there, else why not.
  std::string Prepare() const;

  struct Added {
    std::optional<SpoolEntry> entry;
    std::string error;  // the spool is full or does not take the file
  };
  // Writes `record` as the last file, whole.
  Added Add(std::string_view record);

  // The records after `after`, in order, at most `most` of them. A name
  // that is not a record's is set aside, with a line in `notices`.
  std::vector<SpoolEntry> Next(uint64_t after, size_t most, std::vector<std::string>& notices) const;
  // The records waiting.
  size_t Count() const;
  // The entry's record; nothing when it is not one of the tool's records
  // (set aside, with a line in `notices`) or has gone.
  std::optional<std::string> Read(const SpoolEntry& entry, std::vector<std::string>& notices) const;
  // Once the broker has it.
  void Remove(const SpoolEntry& entry) const;

 private:
  std::vector<SpoolEntry> List(std::vector<std::string>* notices) const;
  void SetAside(const std::string& name, const std::string& why, std::vector<std::string>& notices) const;

  std::string folder_;
  uint64_t lastAdded_ = 0;
};

}  // namespace publish
