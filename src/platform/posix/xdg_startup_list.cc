#include "platform/posix/xdg_startup_list.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/posix/unique_fd.h"

namespace qm::posix {

namespace {

constexpr std::string_view kDesktopSuffix = ".desktop";
constexpr std::string_view kDesktopEntryGroup = "[Desktop Entry]";
constexpr std::string_view kExecKey = "Exec";
// No real desktop entry comes near this; a larger file is not read at all.
constexpr off_t kLargestEntryFile = 1 << 20;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// Undoes the escapes of a desktop entry's string values. An unknown escape is kept as written: the
// command line's own quoting uses backslashes too.
std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        switch (text[i + 1]) {
            case 's':
                out.push_back(' ');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case '\\':
                out.push_back('\\');
                break;
            default:
                out.push_back('\\');
                out.push_back(text[i + 1]);
                break;
        }
        ++i;
    }
    return out;
}

// The whole of a regular file of a sensible size, or nothing.
std::optional<std::string> ReadEntryFile(const std::string& path) {
    // Non-blocking, so that a pipe placed in the folder under an entry's name cannot hang the open.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.Valid()) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kLargestEntryFile) {
        return std::nullopt;
    }
    std::string text;
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return text;
        }
        text.append(chunk, static_cast<std::size_t>(n));
        if (text.size() > static_cast<std::size_t>(kLargestEntryFile)) {
            return std::nullopt;  // it grew while being read
        }
    }
}

}  // namespace

XdgStartupList::XdgStartupList(std::string folder) : folder_(std::move(folder)) {}

std::string XdgStartupList::ExecOf(const std::string& text) {
    bool inEntryGroup = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line = TrimBlanks(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            inEntryGroup = line == kDesktopEntryGroup;
            continue;
        }
        if (!inEntryGroup) {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || TrimBlanks(line.substr(0, equals)) != kExecKey) {
            continue;
        }
        return Unescape(TrimBlanks(line.substr(equals + 1)));
    }
    return {};
}

StartupKeyValue XdgStartupList::Open() {
    const UniqueDir dir(::opendir(folder_.c_str()));
    if (!dir) {
        return StartupKeyValue{};
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view file = entry->d_name;
        if (file.size() > kDesktopSuffix.size() && file.ends_with(kDesktopSuffix)) {
            names.emplace_back(file.substr(0, file.size() - kDesktopSuffix.size()));
        }
    }
    std::sort(names.begin(), names.end());
    const std::uintptr_t key = nextKey_++;
    snapshots_.emplace(key, std::move(names));
    return static_cast<StartupKeyValue>(key);
}

StartupEnumResult XdgStartupList::EnumValue(StartupKeyValue key, std::uint32_t index, StartupValue& value) {
    const auto snapshot = snapshots_.find(static_cast<std::uintptr_t>(key));
    if (snapshot == snapshots_.end() || index >= snapshot->second.size()) {
        return StartupEnumResult::NoMoreValues;
    }
    const std::string& name = snapshot->second[index];
    const std::optional<std::string> text = ReadEntryFile(PathOf(name));
    if (!text) {
        return StartupEnumResult::Unreadable;
    }
    value.name = name;
    value.data = ExecOf(*text);
    return StartupEnumResult::Value;
}

bool XdgStartupList::DeleteValue(StartupKeyValue key, const std::string& name) {
    if (snapshots_.count(static_cast<std::uintptr_t>(key)) == 0) {
        return false;
    }
    // The name is an entry's, not a path: nothing outside the folder can be reached through it.
    if (name.empty() || name.find('/') != std::string::npos || name.find('\0') != std::string::npos) {
        return false;
    }
    return ::unlink(PathOf(name).c_str()) == 0;
}

void XdgStartupList::Close(StartupKeyValue key) {
    snapshots_.erase(static_cast<std::uintptr_t>(key));
}

std::string XdgStartupList::PathOf(const std::string& name) const {
    return folder_ + "/" + name + std::string(kDesktopSuffix);
}

}  // namespace qm::posix
