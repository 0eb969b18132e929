// Files read up to a bound; they are written through base::AtomicFile.
#pragma once

#include <string>

namespace base {

// Reads all of `path` ("-": standard input) into `data`, refusing more than
// `limit` bytes. A path is read only if it names a regular file: a FIFO or
// a device would hold the reader for as long as its writer likes. Empty on
// success, else what went wrong; `notA` ends the refusal of a file that is
// not plain or too large, in the words of what the file should have been.
std::string ReadWholeFile(const std::string& path, size_t limit, std::string& data, const char* notA = "不是参数文件");

}  // namespace base
