// The user's home folder, for the files the tool keeps there.
#pragma once

#include <string>

// $HOME; when it is unset or empty (a service, env -i), the home folder of
// the account the process runs as, which names the same place; "." when the
// account has none either.
std::string HomeFolder();
