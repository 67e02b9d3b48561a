#pragma once

#include <cstdint>
#include <span>

namespace qm {

// The colour a position outside a picture reads as: GetPixel's CLR_INVALID, the point query's -1. No key
// colour of a picture (0x00BBGGRR) ever equals it.
inline constexpr std::uint32_t kNoColour = 0xFFFFFFFF;

// The pixels of a window object, opened for reading by ShapeTarget::OpenPixels (a device context or the
// object's point query). Owned by the caller, who destroys it as soon as the reads are done: that gives
// back whatever the reads held (ReleaseDC). Used on the user-interface thread only; reading never throws.
class PixelRows {
  public:
    PixelRows() = default;
    PixelRows(const PixelRows&) = delete;
    PixelRows& operator=(const PixelRows&) = delete;
    virtual ~PixelRows() = default;

    // Fills `colours` with the colours of row `y`, columns 0, 1, ... in order, one read per position, each
    // of the form 0x00BBGGRR; every position outside the picture (a row or column below zero or at or
    // beyond its height or width) reads as kNoColour.
    virtual void ReadRow(std::int32_t y, std::span<std::uint32_t> colours) = 0;
};

}  // namespace qm
