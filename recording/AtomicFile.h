// A file written whole or not at all: the text goes to a temporary file
// beside the target, which takes the target's name only once it is
// complete and on disk. Dropped without Commit, the temporary goes and the
// target stays as it was.
#pragma once

#include <cstdio>
#include <string>

namespace recording {

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file for `path`. False, with Error() set, when
  // its folder does not take it.
  bool Open(const std::string& path);
  // Where to write; null before Open.
  std::FILE* Stream() const { return stream_; }
  // Flushes, syncs and renames over the target. False, with Error() set
  // and the temporary removed, when any write failed.
  bool Commit();
  const std::string& Error() const { return error_; }

 private:
  void Discard();

  std::FILE* stream_ = nullptr;
  std::string path_;
  std::string temporary_;
  std::string error_;
};

// Writes `text` to `path` through an AtomicFile; the error text on failure.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);

}  // namespace recording
