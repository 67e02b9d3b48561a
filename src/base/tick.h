#pragma once

#include <cstdint>

namespace qm {

// Milliseconds of the system tick counter, held as a signed 32-bit value. The counter wraps about every
// 49.7 days (24.8 days for the signed value), so ticks are only ever compared through the helpers below:
// the difference is taken modulo 2^32 and then read as signed, which is exact for any two moments less
// than 24.8 days apart and never relies on signed overflow.
using Tick = std::int32_t;

// a - b in milliseconds, wrap-safe.
constexpr std::int32_t TickDiff(Tick a, Tick b) {
    const std::uint32_t d = static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b);
    return static_cast<std::int32_t>(d);  // modular conversion, well defined since C++20
}

// True when a is later than b.
constexpr bool TickAfter(Tick a, Tick b) {
    return TickDiff(a, b) > 0;
}

// True when a is b or later.
constexpr bool TickAtOrAfter(Tick a, Tick b) {
    return TickDiff(a, b) >= 0;
}

}  // namespace qm
