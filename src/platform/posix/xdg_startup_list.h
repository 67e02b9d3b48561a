#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ports/startup_list.h"

namespace qm::posix {

// The folder of programs the desktop starts for every user at log-in.
inline constexpr char kSystemAutostartFolder[] = "/etc/xdg/autostart";

// The machine's start-up list as the desktop's autostart folder. Each file `<name>.desktop` in the
// folder is one entry: the entry's name is `<name>`, its command line the `Exec` key of the file's
// `[Desktop Entry]` group (with the file format's escapes \s \n \t \r \\ undone). Deleting an entry
// deletes its file.
//
// Opening the list takes a snapshot of the entry names, sorted by their bytes, and enumeration goes
// through that snapshot by index, so indices stay stable while the caller works through them. An entry
// that cannot be read when its turn comes (removed since, not a regular file, access refused, larger
// than any real entry) is Unreadable; a readable file without a command line gives the empty text.
// Keys are numbers of this object, held until closed; closing one twice or using an unknown key is
// harmless (an unknown key has no values and deletes nothing).
class XdgStartupList final : public StartupList {
  public:
    explicit XdgStartupList(std::string folder = kSystemAutostartFolder);

    // StartupList:
    StartupKeyValue Open() override;
    StartupEnumResult EnumValue(StartupKeyValue key, std::uint32_t index, StartupValue& value) override;
    bool DeleteValue(StartupKeyValue key, const std::string& name) override;
    void Close(StartupKeyValue key) override;

    // Keys opened and not closed yet.
    std::size_t OpenKeyCount() const { return snapshots_.size(); }

    // The command line of a desktop entry file's text: the first `Exec` key of its `[Desktop Entry]`
    // group, unescaped; the empty text when there is none.
    static std::string ExecOf(const std::string& text);

  private:
    std::string PathOf(const std::string& name) const;

    std::string folder_;
    std::map<std::uintptr_t, std::vector<std::string>> snapshots_;
    std::uintptr_t nextKey_ = 1;
};

}  // namespace qm::posix
