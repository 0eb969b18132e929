// Files read up to a bound; they are written through base::AtomicFile.
#pragma once

#include <string>

namespace base {

// Reads all of `path` ("-": standard input) into `data`, refusing more than
// `limit` bytes. A path is read only if it names a regular file: a FIFO or
// a device would hold the reader for as long as its writer likes. Empty on
// success, else what went wrong.
std::string ReadWholeFile(const std::string& path, size_t limit, std::string& data);

}  // namespace base
