// Files written whole or not at all, and files read up to a bound.
#pragma once

#include <string>
#include <string_view>

namespace paramfile {

// Writes `data` to a temporary file in the folder of `path`, flushes it to
// the disk and renames it over `path`; an existing file keeps its
// permissions, a new one gets the usual ones (0666 less the umask). On any
// failure the temporary file is removed and `path` is as it was. Empty on
// success, else what went wrong.
std::string WriteWholeFile(const std::string& path, std::string_view data);

// Reads all of `path` ("-": standard input) into `data`, refusing more than
// `limit` bytes. Empty on success, else what went wrong.
std::string ReadWholeFile(const std::string& path, size_t limit, std::string& data);

}  // namespace paramfile
