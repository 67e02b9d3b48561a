#include "forms/bitmap.h"

#include <algorithm>

namespace qm {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
// 96 dots an inch, the resolution of a standard screen, in dots a metre.
constexpr std::uint32_t kDotsPerMetre = 3780;

std::uint32_t ReadU32(std::span<const std::uint8_t> data, std::size_t offset) {
    return static_cast<std::uint32_t>(data[offset]) | (static_cast<std::uint32_t>(data[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(data[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

std::uint16_t ReadU16(std::span<const std::uint8_t> data, std::size_t offset) {
    return static_cast<std::uint16_t>(data[offset] | (data[offset + 1] << 8));
}

void WriteU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void WriteU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    WriteU16(out, static_cast<std::uint16_t>(value));
    WriteU16(out, static_cast<std::uint16_t>(value >> 16));
}

// Bytes of one stored row: whole pixels, padded to a multiple of four.
std::uint64_t RowStride(std::uint64_t width, std::uint64_t bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

}  // namespace

Bitmap::Bitmap(std::int32_t width, std::int32_t height, std::uint32_t fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

void Bitmap::Fill(std::int32_t left,
                  std::int32_t top,
                  std::int32_t right,
                  std::int32_t bottom,
                  std::uint32_t colour) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width_);
    bottom = std::min(bottom, height_);
    for (std::int32_t y = top; y < bottom; ++y) {
        for (std::int32_t x = left; x < right; ++x) {
            SetPixel(x, y, colour);
        }
    }
}

std::vector<std::uint8_t> Bitmap::ToBmp() const {
    const std::uint64_t stride = RowStride(static_cast<std::uint64_t>(width_), 24);
    const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(height_);
    std::vector<std::uint8_t> out;
    out.reserve(kFileHeaderSize + kInfoHeaderSize + imageSize);
    // File header.
    out.push_back('B');
    out.push_back('M');
    WriteU32(out, static_cast<std::uint32_t>(kFileHeaderSize + kInfoHeaderSize + imageSize));
    WriteU32(out, 0);
    WriteU32(out, kFileHeaderSize + kInfoHeaderSize);
    // Information header: positive height, so the rows are stored from the bottom up.
    WriteU32(out, kInfoHeaderSize);
    WriteU32(out, static_cast<std::uint32_t>(width_));
    WriteU32(out, static_cast<std::uint32_t>(height_));
    WriteU16(out, 1);
    WriteU16(out, 24);
    WriteU32(out, 0);
    WriteU32(out, static_cast<std::uint32_t>(imageSize));
    WriteU32(out, kDotsPerMetre);
    WriteU32(out, kDotsPerMetre);
    WriteU32(out, 0);
    WriteU32(out, 0);
    for (std::int32_t y = height_ - 1; y >= 0; --y) {
        const std::size_t rowStart = out.size();
        for (std::int32_t x = 0; x < width_; ++x) {
            const std::uint32_t c = Pixel(x, y);
            out.push_back(static_cast<std::uint8_t>(c >> 16));  // blue
            out.push_back(static_cast<std::uint8_t>(c >> 8));   // green
            out.push_back(static_cast<std::uint8_t>(c));        // red
        }
        out.resize(rowStart + stride, 0);
    }
    return out;
}

std::optional<Bitmap> Bitmap::FromBmp(std::span<const std::uint8_t> data) {
    if (data.size() < kFileHeaderSize + kInfoHeaderSize || data[0] != 'B' || data[1] != 'M') {
        return std::nullopt;
    }
    const std::uint64_t pixelOffset = ReadU32(data, 10);
    const std::uint32_t infoSize = ReadU32(data, kFileHeaderSize);
    if (infoSize < kInfoHeaderSize) {
        return std::nullopt;
    }
    const auto width = static_cast<std::int32_t>(ReadU32(data, kFileHeaderSize + 4));
    const auto storedHeight = static_cast<std::int32_t>(ReadU32(data, kFileHeaderSize + 8));
    const std::uint16_t planes = ReadU16(data, kFileHeaderSize + 12);
    const std::uint16_t bitsPerPixel = ReadU16(data, kFileHeaderSize + 14);
    const std::uint32_t compression = ReadU32(data, kFileHeaderSize + 16);
    if (planes != 1 || (bitsPerPixel != 24 && bitsPerPixel != 32) || compression != 0) {
        return std::nullopt;
    }
    const bool topDown = storedHeight < 0;
    const std::int64_t height = topDown ? -std::int64_t{storedHeight} : std::int64_t{storedHeight};
    if (width <= 0 || height <= 0 || width > kMaxBmpSide || height > kMaxBmpSide) {
        return std::nullopt;
    }
    const std::uint64_t stride = RowStride(static_cast<std::uint64_t>(width), bitsPerPixel);
    if (pixelOffset < kFileHeaderSize + std::uint64_t{infoSize} || pixelOffset > data.size() ||
        stride * static_cast<std::uint64_t>(height) > data.size() - pixelOffset) {
        return std::nullopt;
    }
    Bitmap bitmap(width, static_cast<std::int32_t>(height));
    const std::size_t bytesPerPixel = bitsPerPixel / 8;
    for (std::int32_t row = 0; row < bitmap.height_; ++row) {
        const std::int32_t y = topDown ? row : bitmap.height_ - 1 - row;
        std::size_t at = pixelOffset + static_cast<std::size_t>(stride) * static_cast<std::size_t>(row);
        for (std::int32_t x = 0; x < width; ++x, at += bytesPerPixel) {
            bitmap.SetPixel(x, y, Rgb(data[at + 2], data[at + 1], data[at]));
        }
    }
    return bitmap;
}

}  // namespace qm
