#include "ui/help_page.h"

#include <cstring>

#include "build_config.h"

namespace qm {

namespace {

bool IsDriveLetterPath(const std::string& path) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return path.size() >= 2 && letter(path[0]) && path[1] == ':';
}

std::string PercentEncode(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           (c != 0 && std::strchr("-._~/:", c) != nullptr);
        if (plain) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

// Joins a file name to a folder with the separator the folder's own path uses.
std::string JoinPath(const std::string& folder, const char* name) {
    const bool posixPath = folder.find('\\') == std::string::npos && folder.find('/') != std::string::npos;
    const char separator = posixPath ? '/' : '\\';
    if (!folder.empty() && folder.back() == separator) {
        return folder + name;
    }
    return folder + separator + name;
}

}  // namespace

std::string FileUrl(const std::string& path) {
    std::string slashed = path;
    for (char& c : slashed) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (IsDriveLetterPath(slashed)) {
        return "file:///" + PercentEncode(slashed);
    }
    if (slashed.rfind("//", 0) == 0) {
        return "file:" + PercentEncode(slashed);  // a server share: file://server/share/...
    }
    if (!slashed.empty() && slashed.front() == '/') {
        return "file://" + PercentEncode(slashed);
    }
    return "file:///" + PercentEncode(slashed);
}

std::string HelpPageUrl(const std::string& appPath) {
    return FileUrl(JoinPath(appPath, kHelpPageFile));
}

std::string HomePageUrl(const std::string& appPath) {
    const std::string setting = kHomePageSetting;
    return setting.empty() ? HelpPageUrl(appPath) : setting;
}

std::string ContactEmail() {
    return kContactEmailSetting;
}

}  // namespace qm
