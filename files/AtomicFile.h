// A file written whole or not at all: the bytes go to a temporary file
// beside the target, which takes the target's name only once it is complete
// and on the disk. Dropped without Commit, the temporary goes and the target
// stays as it was. An existing target keeps its permissions; a new one gets
// what the umask allows of 0666, as any file the user writes.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace files {

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
  // Writes all of `bytes` to Stream(); false, with Error() set, when not.
  bool Write(std::string_view bytes);
  // Flushes, syncs and renames over the target. False, with Error() set and
  // the temporary removed, when any write failed.
  bool Commit();
  // "无法写入 <path>: <reason>"; empty while nothing went wrong.
  const std::string& Error() const { return error_; }

 private:
  bool Fail(int error);
  void Discard();

  std::FILE* stream_ = nullptr;
  std::string path_;
  std::string temporary_;
  std::string error_;
};

// Writes `data` to `path` through an AtomicFile. Empty on success, else
// what went wrong.
std::string WriteWholeFile(const std::string& path, std::string_view data);

}  // namespace files
