#pragma once

#include <string>

namespace qm::posix {

// The folder that holds the running program; "." when it cannot be told.
std::string ProgramFolder();

// The folder of the program's own files (pictures, icon, region file, help page) for a program in
// `programFolder`: `<prefix>/share/quillmere` when the program is installed as `<prefix>/bin/quillmere`
// and that folder exists, the program's own folder otherwise (a build tree, a copy unpacked into one
// folder).
std::string ProgramFilesFolder(const std::string& programFolder);

}  // namespace qm::posix
