#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::fuzz {

// The input cut at every NUL byte into pieces (texts of the protocol, which never hold a NUL).
inline std::vector<std::string> Pieces(const std::uint8_t* data, std::size_t size, std::size_t most = 64) {
    std::vector<std::string> pieces;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= text.size() && pieces.size() < most) {
        std::size_t end = text.find('\0', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

}  // namespace qm::fuzz
