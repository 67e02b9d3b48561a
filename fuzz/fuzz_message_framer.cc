// The browser's byte stream cut into messages: any bytes, in reads of any size, against a plain
// reference (split at every NUL; a message longer than the limit is dropped whole).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/chromium/message_framer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first byte picks the limit, the second seeds the sizes of the reads.
    const std::size_t limit = data[0] % 64;
    std::uint32_t seed = data[1] + 1u;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 2, size - 2);

    std::vector<std::string> expected;
    std::size_t expectedDrops = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = stream.find('\0', start);
        const std::size_t length = (end == std::string_view::npos ? stream.size() : end) - start;
        if (length > limit) {
            ++expectedDrops;
        } else if (end != std::string_view::npos) {
            expected.emplace_back(stream.substr(start, length));
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }

    qm::cr::MessageFramer framer(limit);
    std::vector<std::string> got;
    for (std::size_t at = 0; at < stream.size();) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t chunk = 1 + (seed >> 16) % 17;
        const std::string_view part = stream.substr(at, chunk);
        framer.Feed(part, [&](std::string_view message) {
            FUZZ_CHECK(message.size() <= limit);
            got.emplace_back(message);
        });
        at += part.size();
    }
    FUZZ_CHECK(got == expected);
    FUZZ_CHECK(framer.Dropped() == expectedDrops);
    FUZZ_CHECK(framer.Buffered() <= limit);
    return 0;
}
