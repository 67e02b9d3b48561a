#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ports/file_system.h"

namespace qm::sim {

// Files held in memory, by exact path. Tests put files in, lock them and read what was written.
class SimFiles final : public FileSystem {
  public:
    // FileSystem:
    std::vector<std::uint8_t> ReadWholeFile(const std::string& path) override;
    void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) override;

    // Control side.
    void SetFile(const std::string& path, std::vector<std::uint8_t> bytes) {
        files_[path] = std::move(bytes);
    }
    void RemoveFile(const std::string& path) { files_.erase(path); }
    bool Exists(const std::string& path) const { return files_.count(path) != 0; }
    // The bytes of a file; empty when there is none.
    std::vector<std::uint8_t> Contents(const std::string& path) const;
    // A locked file can be neither opened for reading nor written (another program holds it).
    void Lock(const std::string& path) { locked_.insert(path); }
    void Unlock(const std::string& path) { locked_.erase(path); }
    int ReadCount() const { return reads_; }
    int WriteCount() const { return writes_; }

  private:
    std::map<std::string, std::vector<std::uint8_t>> files_;
    std::set<std::string> locked_;
    int reads_ = 0;
    int writes_ = 0;
};

}  // namespace qm::sim
