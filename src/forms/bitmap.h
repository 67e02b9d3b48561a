#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qm {

// A picture in memory: width x height colours of the form 0x00BBGGRR, row by row from the top.
// A value type.
class Bitmap {
  public:
    // Builds a colour of the form 0x00BBGGRR.
    static constexpr std::uint32_t Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        return static_cast<std::uint32_t>(red) | (static_cast<std::uint32_t>(green) << 8) |
               (static_cast<std::uint32_t>(blue) << 16);
    }

    Bitmap() = default;
    // A picture of the given size filled with `fill`; a size below zero counts as zero.
    Bitmap(std::int32_t width, std::int32_t height, std::uint32_t fill = 0);

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    bool Contains(std::int32_t x, std::int32_t y) const {
        return x >= 0 && y >= 0 && x < width_ && y < height_;
    }
    // The colour at (x, y), which must lie inside the picture.
    std::uint32_t Pixel(std::int32_t x, std::int32_t y) const { return pixels_[Index(x, y)]; }
    void SetPixel(std::int32_t x, std::int32_t y, std::uint32_t colour) { pixels_[Index(x, y)] = colour; }
    // Paints the rectangle [left, right) x [top, bottom), cut to the picture.
    void Fill(std::int32_t left,
              std::int32_t top,
              std::int32_t right,
              std::int32_t bottom,
              std::uint32_t colour);
    const std::vector<std::uint32_t>& Pixels() const { return pixels_; }

    // The picture as a Windows bitmap file: 24 bits a pixel, uncompressed, rows from the bottom up,
    // every field little-endian. The same picture gives the same bytes on every platform.
    std::vector<std::uint8_t> ToBmp() const;
    // Reads a Windows bitmap file of 24 or 32 bits a pixel, uncompressed, stored bottom-up or top-down.
    // Nothing for any other kind of file, for a damaged or cut-off one, and for pictures wider or taller
    // than kMaxBmpSide; never reads outside `data`.
    static std::optional<Bitmap> FromBmp(std::span<const std::uint8_t> data);

    friend bool operator==(const Bitmap&, const Bitmap&) = default;

  private:
    std::size_t Index(std::int32_t x, std::int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
    }

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

// The largest width or height FromBmp accepts.
inline constexpr std::int32_t kMaxBmpSide = 32768;

}  // namespace qm
