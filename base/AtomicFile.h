// A file written whole or not at all: the bytes go to a temporary file
// beside the target, which takes the target's name only once it is complete
// and on the disk. Dropped without Commit, the temporary goes and the target
// stays as it was. An existing target keeps its permissions; a new one gets
// what the umask allows of 0666, as any file the user writes.
//
// A symbolic link is followed: its target is written (the temporary beside
// it), the link stays. A character device or a FIFO (/dev/null, a named
// pipe) is written in place, never replaced; a FIFO without a reader is
// refused rather than waited on. Any other kind of target (a folder, a
// block device, a socket) is refused.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace base {

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file for `path` (or opens the device). False,
  // with Error() set, when its folder does not take it.
  bool Open(const std::string& path);
  // Where to write; null before Open.
  std::FILE* Stream() const { return stream_; }
  // The target is a device or a FIFO, written in place: nothing of a file
  // (a companion, a backup) belongs beside it.
  bool InPlace() const { return inPlace_; }
  // Writes all of `bytes` to Stream(); false, with Error() set, when not.
  bool Write(std::string_view bytes);
  // Flushes, syncs and renames over the target. False, with Error() set and
  // the temporary removed, when any write failed.
  bool Commit();

  // Gives the complete file the name `path`, in the folder of the path
  // opened, only if no file has that name yet: two writers never end in
  // one file. Taken leaves the temporary for another name.
  enum class Claim { Claimed, Taken, Failed };
  Claim CommitNew(const std::string& path);

  // "无法写入 <path>: <reason>"; empty while nothing went wrong.
  const std::string& Error() const { return error_; }

 private:
  bool Fail(int error);
  bool Finish();
  void Discard();

  std::FILE* stream_ = nullptr;
  std::string path_;       // as the caller named it, for messages
  std::string target_;     // where it lands, links followed
  std::string temporary_;
  std::string error_;
  bool inPlace_ = false;
  bool finished_ = false;  // the temporary is complete, synced and closed
};

// Writes `data` to `path` through an AtomicFile. Empty on success, else
// what went wrong.
std::string WriteWholeFile(const std::string& path, std::string_view data);

}  // namespace base
