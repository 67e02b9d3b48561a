#pragma once

#include <string>

namespace qm {

// The help page's file name; it is installed in the program's folder.
inline constexpr char kHelpPageFile[] = "help.html";

// A file URL for `path` (a Windows path with a drive letter or a server share, or a POSIX path), with
// every byte outside the letters, digits, "-._~/:" percent-encoded.
std::string FileUrl(const std::string& path);

// The address of the help page installed in the program's folder `appPath`.
std::string HelpPageUrl(const std::string& appPath);

// The publisher's home page: the build's setting, or the installed help page when the build names none.
std::string HomePageUrl(const std::string& appPath);

// The publisher's contact mail address as the build names it ("" for none).
std::string ContactEmail();

}  // namespace qm
