#include "platform/posix/settings_file_store.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "base/platform_error.h"
#include "base/text.h"
#include "platform/posix/unique_fd.h"
#include "ports/file_system.h"

namespace qm::posix {

namespace {

constexpr char kFolderName[] = "quillmere";
constexpr char kFileName[] = "settings.ini";
constexpr char kTempInfix[] = ".tmp-";
// A damaged file is kept beside the new one under this name (then "-2" up to the last number, which is
// reused once every name is taken) before the rewrite replaces it.
constexpr char kDamagedSuffix[] = ".damaged";
constexpr int kDamagedCopies = 10;
constexpr char kFileHeader[] =
    "# Quillmere settings: [application/section] groups of key=value lines.\n"
    "# The program rewrites this file on every change; comments are not kept.\n";
// A settings file is a few hundred bytes; anything beyond this is not one and is not read.
constexpr off_t kLargestSettingsFile = 4 << 20;
constexpr int kMaxLinkDepth = 16;
constexpr std::string_view kNameSpecials = "/[]=#;";

// ---- Errors

std::string ErrnoText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

std::int32_t ErrorNumber(int error) {
    if (error == ENOENT || error == ENOTDIR) {
        return kErrFileNotFound;
    }
    if (error == EACCES || error == EPERM || error == EROFS) {
        return kErrPermissionDenied;
    }
    return kErrPathFileAccess;
}

[[noreturn]] void ThrowReadError(const std::string& path, int error) {
    throw PlatformError("Cannot read the settings file " + path + ": " + ErrnoText(error),
                        ErrorNumber(error));
}

[[noreturn]] void ThrowSaveError(const std::string& path, int error) {
    throw PlatformError("Cannot save the settings file " + path + ": " + ErrnoText(error),
                        ErrorNumber(error));
}

// ---- Text format

enum class Field { Name, Value };

void AppendHexEscape(std::string& out, unsigned char byte) {
    constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0xF]);
}

std::string Escape(std::string_view text, Field field) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F || (c == ' ' && (i == 0 || i + 1 == text.size())) ||
                   (field == Field::Name && kNameSpecials.find(c) != std::string_view::npos)) {
            AppendHexEscape(out, byte);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The text behind the escapes, or nothing when an escape is broken.
std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case '\\':
                out.push_back('\\');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'x': {
                if (i + 2 >= text.size()) {
                    return std::nullopt;
                }
                const int high = HexDigit(text[i + 1]);
                const int low = HexDigit(text[i + 2]);
                if (high < 0 || low < 0) {
                    return std::nullopt;
                }
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

struct Line {
    enum class Kind { Blank, Group, Value, Bad, BadGroup };
    explicit Line(Kind k, std::string a = {}, std::string b = {})
        : kind(k), first(std::move(a)), second(std::move(b)) {}

    Kind kind;
    std::string first;      // application, or key
    std::string second;     // section, or value
    bool repaired = false;  // a group line read without one of its brackets
};

// One line of the file, without its line end.
Line ParseLine(std::string_view raw) {
    if (!raw.empty() && raw.back() == '\r') {
        raw.remove_suffix(1);  // written by an editor with Windows line ends
    }
    const std::string_view text = TrimSpaces(raw);
    const bool groupLine = !text.empty() && text.front() == '[';
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            // The writer never puts a raw control byte in a line: this one is damaged.
            return Line(groupLine ? Line::Kind::BadGroup : Line::Kind::Bad);
        }
    }
    if (text.empty() || text.front() == '#' || text.front() == ';') {
        return Line(Line::Kind::Blank);
    }
    // A group line that lost one of its brackets is still read as the group it names, so that the values
    // under it are not lost; no key or value line starts with '[' or, without an '=', ends with ']'.
    const bool cutGroupLine = !groupLine && text.back() == ']' && text.find('=') == std::string_view::npos;
    if (groupLine || cutGroupLine) {
        const Line badGroup(Line::Kind::BadGroup);
        std::string_view inner = text;
        const bool opened = inner.front() == '[';
        if (opened) {
            inner.remove_prefix(1);
        }
        const bool closed = !inner.empty() && inner.back() == ']';
        if (closed) {
            inner.remove_suffix(1);
        }
        const std::size_t slash = inner.find('/');
        if (slash == std::string_view::npos || inner.find('/', slash + 1) != std::string_view::npos) {
            return badGroup;
        }
        auto app = Unescape(TrimSpaces(inner.substr(0, slash)));
        auto section = Unescape(TrimSpaces(inner.substr(slash + 1)));
        if (!app || !section) {
            return badGroup;
        }
        Line group(Line::Kind::Group, std::move(*app), std::move(*section));
        group.repaired = !opened || !closed;
        return group;
    }
    // No escape holds an '=', so the first one ends the key.
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return Line(Line::Kind::Bad);
    }
    auto key = Unescape(TrimSpaces(text.substr(0, equals)));
    auto value = Unescape(TrimSpaces(text.substr(equals + 1)));
    if (!key || key->empty() || !value) {
        return Line(Line::Kind::Bad);
    }
    return Line(Line::Kind::Value, std::move(*key), std::move(*value));
}

// Calls `onLine` with each line of `text`; a last line without its line end counts as a line.
template <typename OnLine>
void ForEachLine(std::string_view text, OnLine onLine) {
    // A byte order mark put in front by an editor is not part of the first line.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        onLine(ParseLine(text.substr(start, end - start)));
        start = end + 1;
    }
}

// Every value of a file, groups and keys in the order they first appear.
class SettingsDocument {
  public:
    static SettingsDocument Parse(std::string_view text) {
        SettingsDocument document;
        constexpr std::size_t kNoGroup = std::string::npos;
        std::size_t group = kNoGroup;
        ForEachLine(text, [&](Line line) {
            switch (line.kind) {
                case Line::Kind::Group:
                    group = document.GroupIndex(line.first, line.second);
                    document.damaged_ = document.damaged_ || line.repaired;
                    break;
                case Line::Kind::Value:
                    if (group != kNoGroup) {
                        document.Set(group, std::move(line.first), std::move(line.second));
                    } else {
                        document.damaged_ = true;  // a value that no group owns is dropped
                    }
                    break;
                case Line::Kind::BadGroup:
                    // A damaged group line must not hand its values to the group before it.
                    group = kNoGroup;
                    document.damaged_ = true;
                    break;
                case Line::Kind::Bad:
                    document.damaged_ = true;
                    break;
                case Line::Kind::Blank:
                    break;
            }
        });
        return document;
    }

    // Whether the text held anything that a rewrite would drop or change (beyond comments and blanks):
    // lines that do not parse, group lines read without a bracket, values outside any group.
    bool Damaged() const { return damaged_; }

    void Set(const std::string& app, const std::string& section, std::string key, std::string value) {
        Set(GroupIndex(app, section), std::move(key), std::move(value));
    }

    std::string Serialize() const {
        std::string text = kFileHeader;
        for (const Group& group : groups_) {
            if (group.values.empty()) {
                continue;
            }
            text += "\n[" + Escape(group.app, Field::Name) + "/" + Escape(group.section, Field::Name) + "]\n";
            for (const auto& [key, value] : group.values) {
                text += Escape(key, Field::Name) + "=" + Escape(value, Field::Value) + "\n";
            }
        }
        return text;
    }

  private:
    struct Group {
        std::string app;
        std::string section;
        std::vector<std::pair<std::string, std::string>> values;
    };

    std::size_t GroupIndex(const std::string& app, const std::string& section) {
        for (std::size_t i = 0; i < groups_.size(); ++i) {
            if (groups_[i].app == app && groups_[i].section == section) {
                return i;
            }
        }
        groups_.push_back({app, section, {}});
        return groups_.size() - 1;
    }

    void Set(std::size_t group, std::string key, std::string value) {
        for (auto& entry : groups_[group].values) {
            if (entry.first == key) {
                entry.second = std::move(value);
                return;
            }
        }
        groups_[group].values.emplace_back(std::move(key), std::move(value));
    }

    std::vector<Group> groups_;
    bool damaged_ = false;
};

// ---- Files

// The whole file, or nothing when it does not exist.
std::optional<std::string> ReadSettingsFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.Valid()) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        ThrowReadError(path, errno);
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
        ThrowReadError(path, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        throw PlatformError("Cannot read the settings file " + path + ": it is not a regular file",
                            kErrPathFileAccess);
    }
    if (info.st_size > kLargestSettingsFile) {
        throw PlatformError("Cannot read the settings file " + path + ": it is too large to be one",
                            kErrPathFileAccess);
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[16384];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ThrowReadError(path, errno);
        }
        if (n == 0) {
            return text;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates the folder and any missing folder above it, private to the user as the desktop's folders
// are meant to be.
void MakeFolders(const std::string& folder, const std::string& path) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? folder : folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            ThrowSaveError(path, errno);
        }
        if (slash == std::string::npos) {
            return;
        }
    }
}

// The file a write replaces: the settings file itself, or what its symbolic link points at.
std::string WriteTarget(const std::string& path) {
    std::string target = path;
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return target;
        }
        char link[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), link, sizeof link - 1);
        if (n <= 0) {
            return target;
        }
        std::string next(link, static_cast<std::size_t>(n));
        target = next.front() == '/' ? next : FolderOf(target) + "/" + next;
    }
    return target;
}

// Lets the writers of one folder take turns. Without a lock (a file system that has none) writes still
// never tear the file; they may only overwrite each other's latest value.
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (!fd_.Valid()) {
            return;
        }
        int result = -1;
        do {
            result = ::flock(fd_.Get(), LOCK_EX);
        } while (result != 0 && errno == EINTR);
        held_ = result == 0;
    }

    bool Held() const { return held_; }

  private:
    UniqueFd fd_;  // closing it releases the lock
    bool held_ = false;
};

// Temporary files of writers that were killed before they renamed them. Only called with the folder
// lock held, when no other writer can be half-way.
void RemoveLeftoverTempFiles(const std::string& target) {
    const std::string prefix = FileNameOf(target) + kTempInfix;
    const std::string folder = FolderOf(target);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        return;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.starts_with(prefix) && name.size() == prefix.size() + 6) {
            ::unlink((folder + "/" + std::string(name)).c_str());
        }
    }
}

// Keeps `text`, the damaged file that a rewrite is about to replace, beside it for the person to look
// at: settings.ini.damaged, or the first free one of settings.ini.damaged-2 and on (the last is reused
// once all are taken). Throws when no copy can be kept, so that nothing is written over the file then.
// Only called with the folder lock held.
void KeepDamagedCopy(const std::string& target, const std::string& text, const std::string& path) {
    for (int n = 1; n <= kDamagedCopies; ++n) {
        const std::string name = target + kDamagedSuffix + (n == 1 ? std::string() : "-" + std::to_string(n));
        const bool last = n == kDamagedCopies;
        UniqueFd fd(::open(name.c_str(),
                           O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (last ? O_TRUNC : O_EXCL), 0600));
        if (!fd.Valid()) {
            if (errno == EEXIST && !last) {
                continue;
            }
            ThrowSaveError(path, errno);
        }
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t w = ::write(fd.Get(), text.data() + written, text.size() - written);
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w < 0) {
                const int error = errno;
                ::unlink(name.c_str());
                ThrowSaveError(path, error);
            }
            written += static_cast<std::size_t>(w);
        }
        if (::fsync(fd.Get()) != 0) {
            const int error = errno;
            ::unlink(name.c_str());
            ThrowSaveError(path, error);
        }
        return;
    }
}

// A temporary file beside the target, removed again unless it was renamed over the target.
class TempFile {
  public:
    TempFile(const std::string& target, const std::string& path) : name_(target + kTempInfix + "XXXXXX") {
        fd_.Reset(::mkostemp(name_.data(), O_CLOEXEC));
        if (!fd_.Valid()) {
            ThrowSaveError(path, errno);
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        fd_.Reset();
        if (!renamed_) {
            ::unlink(name_.c_str());
        }
    }

    // Writes the whole text, flushes it to the disk and puts the file in the target's place.
    void Commit(const std::string& text, const std::string& target, const std::string& path) {
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = ::write(fd_.Get(), text.data() + written, text.size() - written);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                ThrowSaveError(path, errno);
            }
            written += static_cast<std::size_t>(n);
        }
        if (::fsync(fd_.Get()) != 0) {
            ThrowSaveError(path, errno);
        }
        if (::close(fd_.Release()) != 0) {
            ThrowSaveError(path, errno);
        }
        if (::rename(name_.c_str(), target.c_str()) != 0) {
            ThrowSaveError(path, errno);
        }
        renamed_ = true;
        // The rename itself reaches the disk with the folder. A file system that cannot flush a folder
        // has already done what it can; the new file is in place either way.
        const UniqueFd folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.Valid()) {
            ::fsync(folder.Get());
        }
    }

  private:
    std::string name_;
    UniqueFd fd_;
    bool renamed_ = false;
};

}  // namespace

SettingsFileStore::SettingsFileStore(std::string path) : path_(std::move(path)) {}

std::string SettingsFileStore::UserSettingsPath() {
    std::string base;
    const char* config = ::getenv("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is not valid and is ignored.
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = ::getenv("HOME");
        std::string homeFolder = home && home[0] == '/' ? home : "";
        if (homeFolder.empty()) {
            passwd entry{};
            passwd* found = nullptr;
            std::vector<char> buffer(16384);
            if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
                found->pw_dir && found->pw_dir[0] == '/') {
                homeFolder = found->pw_dir;
            }
        }
        if (homeFolder.empty()) {
            throw PlatformError(
                "Cannot find a folder for the settings file: neither XDG_CONFIG_HOME nor "
                "HOME is set, and the user has no home folder",
                kErrPathFileAccess);
        }
        base = homeFolder + "/.config";
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base + "/" + kFolderName + "/" + kFileName;
}

std::string SettingsFileStore::GetSetting(const std::string& appName,
                                          const std::string& section,
                                          const std::string& key) {
    const std::optional<std::string> text = ReadSettingsFile(path_);
    if (!text) {
        return {};
    }
    std::string result;
    bool inGroup = false;
    ForEachLine(*text, [&](Line line) {
        switch (line.kind) {
            case Line::Kind::Group:
                inGroup = line.first == appName && line.second == section;
                break;
            case Line::Kind::BadGroup:
                inGroup = false;
                break;
            case Line::Kind::Value:
                if (inGroup && line.first == key) {
                    result = std::move(line.second);  // a key given twice has its last value
                }
                break;
            case Line::Kind::Bad:
            case Line::Kind::Blank:
                break;
        }
    });
    return result;
}

void SettingsFileStore::SaveSetting(const std::string& appName,
                                    const std::string& section,
                                    const std::string& key,
                                    const std::string& setting) {
    if (key.empty()) {
        throw PlatformError("Cannot save a setting without a name in " + path_, kErrPathFileAccess);
    }
    struct Update {
        std::string text;                // the file with the value set
        bool unchanged = false;          // that is what the file holds already
        std::optional<std::string> old;  // the file as it is, when it is damaged
    };
    const auto update = [&](const std::string& target) {
        Update result;
        std::optional<std::string> old = ReadSettingsFile(target);
        SettingsDocument document = SettingsDocument::Parse(old ? *old : std::string());
        document.Set(appName, section, key, setting);
        result.text = document.Serialize();
        result.unchanged = old && *old == result.text;
        if (document.Damaged()) {
            result.old = std::move(old);
        }
        return result;
    };
    // Start-up writes back every option as it was read: those writes need neither the lock nor the disk.
    if (update(WriteTarget(path_)).unchanged) {
        return;
    }

    const std::string folder = FolderOf(path_);
    MakeFolders(folder, path_);
    const FolderLock lock(folder);
    // Read again under the lock, so that no other writer's value is lost.
    const std::string target = WriteTarget(path_);
    const Update next = update(target);
    if (next.unchanged) {
        return;
    }
    if (lock.Held()) {
        RemoveLeftoverTempFiles(target);
    }
    if (next.old) {
        // What the rewrite cannot carry over stays readable in the copy.
        KeepDamagedCopy(target, *next.old, path_);
    }
    TempFile temp(target, path_);
    temp.Commit(next.text, target, path_);
}

}  // namespace qm::posix
