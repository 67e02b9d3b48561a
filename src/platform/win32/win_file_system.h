#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/win32/win_api.h"
#include "ports/file_system.h"

namespace qm::win {

// Whole files through CreateFileW.
class Win32FileSystem final : public FileSystem {
  public:
    std::vector<std::uint8_t> ReadWholeFile(const std::string& path) override;
    void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) override;
};

// The file error the program's runtime reports for a Win32 error of opening, reading or writing a file.
struct FileErrorInfo {
    std::int32_t number;
    const char* description;
};
FileErrorInfo FileErrorFor(DWORD win32Error);

}  // namespace qm::win
