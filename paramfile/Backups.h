// The automatic backups: every block saved before the tool writes from a
// file or starts a learning run, in a folder of the user's data
// ($XDG_DATA_HOME/korvelt-demo/backups, else ~/.local/share/korvelt-demo/
// backups), one file per backup named by the model and the time, the
// newest ones kept.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace paramfile {

inline constexpr size_t BackupsKept = 50;

// The folder, from the environment of the moment.
std::string BackupFolder();

// "<model>-<YYYYMMDD-HHMMSS>": what a saved file is called by default; the
// model keeps only letters, digits, '.', '-' and '_' ("driver" when none
// is left).
std::string FileStem(const std::string& model, std::time_t time);
// "addr003-<model>-<YYYYMMDD-HHMMSS>": one driver's file among those of a
// line saved into one folder; the address first, so that they sort by it.
std::string DriverFileStem(uint8_t address, const std::string& model, std::time_t time);

struct SavedBackup {
  std::string path;   // where it went, on success
  std::string error;  // what went wrong, else empty
};

// Writes `document` whole into the folder (made when missing) under a name
// of its own, claimed so that no other backup, of this process or another,
// takes it too; then prunes the folder to `kept`, the new one among them.
SavedBackup SaveBackup(const std::string& document, const std::string& model, std::time_t time,
                       size_t kept = BackupsKept);

// Removes the oldest of the tool's own backups in `folder` until `kept`
// are left. Only names of the form "<stem>-YYYYMMDD-HHMMSS[-N].json" are
// the tool's (any other file stays), ordered by the time in the name, not
// the file's modification time, which a copy or a clock may have set
// anywhere. `keep` (the backup just written) is never removed.
void PruneBackups(const std::string& folder, size_t kept, const std::string& keep = {});

}  // namespace paramfile
