#pragma once

#include <string>

#include "ports/settings_store.h"

namespace qm::posix {

// The user's settings as one text file, normally $XDG_CONFIG_HOME/quillmere/settings.ini. Values are
// addressed by application name, section and key, and kept as the exact bytes given (titles in any
// language, as UTF-8).
//
// The file, one item a line:
//
//     # Quillmere settings                  comment (also ';'); blank lines are allowed
//     [Varrow Quillmere 4.13/Varrow Quillmere 4.13]
//     KillMsg=True                          a value of the group above: key=value
//
// A group is `[application/section]`. Every field is stored with these escapes: `\\` for a backslash,
// `\n`, `\r` and `\t`, and `\xHH` for any other control byte, for a space at either end of the field and,
// in names, for the bytes / [ ] = # ;. So a hand-edited file may put blanks around the brackets, the
// slash and the '=': they are trimmed when reading.
//
// Reading goes to the file every time; nothing is kept in memory. A missing file reads as empty. A file
// that is damaged or was edited badly still gives a defined result: a line that does not parse is
// ignored and everything that parses is kept; a group line that lost one of its brackets still names its
// group; values under a group line that does not parse at all are ignored with it; a key given twice has
// its last value. The next write rewrites the whole file cleanly with every value that was read
// (comments are not kept), and a write that would change nothing leaves the file alone. Before a damaged
// file (one with lines that do not parse, or a repaired group line) is rewritten, it is kept unchanged
// beside the new one as settings.ini.damaged (then settings.ini.damaged-2, ...), so that nothing the
// person wrote is lost; when no copy can be kept, the write fails and the file stays as it is.
//
// Writing replaces the file atomically: the new text goes to a temporary file in the same folder, is
// flushed to the disk, and is renamed over the old one, so that a crash at any moment leaves either the
// old or the new file, never a torn one. Writers of one folder take turns through a lock on the folder;
// a temporary file that a killed writer left behind is removed by the next write. A settings file that is
// a symbolic link stays one: its target is replaced.
//
// Failures to read an existing file or to write throw PlatformError naming the file and the reason; a
// failed write leaves the old file as it was. Calls are made on the user-interface thread.
class SettingsFileStore final : public SettingsStore {
  public:
    explicit SettingsFileStore(std::string path);

    // $XDG_CONFIG_HOME/quillmere/settings.ini, with $HOME/.config when XDG_CONFIG_HOME is not set or not
    // an absolute path, and the home folder of the user's account when HOME is not set either. Throws
    // PlatformError when no home folder can be found.
    static std::string UserSettingsPath();

    const std::string& Path() const { return path_; }

    // SettingsStore:
    std::string GetSetting(const std::string& appName,
                           const std::string& section,
                           const std::string& key) override;
    void SaveSetting(const std::string& appName,
                     const std::string& section,
                     const std::string& key,
                     const std::string& setting) override;

  private:
    std::string path_;
};

}  // namespace qm::posix
