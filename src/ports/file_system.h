#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qm {

// Numbers and descriptions of the file errors the program reports, as its runtime numbers them.
inline constexpr std::int32_t kErrFileNotFound = 53;
inline constexpr char kFileNotFoundText[] = "File not found";
inline constexpr std::int32_t kErrPermissionDenied = 70;
inline constexpr char kPermissionDeniedText[] = "Permission denied";
inline constexpr std::int32_t kErrPathFileAccess = 75;
inline constexpr char kPathFileAccessText[] = "Path/File access error";

// Whole files read and written in binary. Calls are made on the user-interface thread and block until
// done. Failures throw PlatformError with one of the numbers above (or the platform's own) and its
// description.
class FileSystem {
  public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    virtual ~FileSystem() = default;

    // Every byte of the file, read with other writers shut out while it is open. Throws when the file
    // does not exist, cannot be opened or cannot be read to its end.
    virtual std::vector<std::uint8_t> ReadWholeFile(const std::string& path) = 0;
    // Makes the file hold exactly `bytes`, creating it if needed (nothing of older, longer contents
    // remains), with other readers shut out while it is open. Throws when the file cannot be opened or
    // written.
    virtual void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) = 0;
};

}  // namespace qm
