#include "forms/bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace qm {
namespace {

void PutU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

TEST(BitmapTest, WritesTheExactWindowsBitmapFile) {
    // 2 x 2: top row red, blue; bottom row green, white. Rows are stored bottom first, blue-green-red,
    // each padded to four bytes.
    Bitmap b(2, 2);
    b.SetPixel(0, 0, Bitmap::Rgb(255, 0, 0));
    b.SetPixel(1, 0, Bitmap::Rgb(0, 0, 255));
    b.SetPixel(0, 1, Bitmap::Rgb(0, 255, 0));
    b.SetPixel(1, 1, Bitmap::Rgb(255, 255, 255));
    const std::vector<std::uint8_t> expected{
        'B', 'M', 70,  0,   0,   0,   0, 0, 0,    0,    54, 0, 0,    0,  // file header
        40,  0,   0,   0,   2,   0,   0, 0, 2,    0,    0,  0, 1,    0,
        24,  0,  // size, width, height, planes, bits
        0,   0,   0,   0,   16,  0,   0, 0, 0xC4, 0x0E, 0,  0, 0xC4, 0x0E,
        0,   0,                              // compression, image size, 96 dpi
        0,   0,   0,   0,   0,   0,   0, 0,  // palette counts
        0,   255, 0,   255, 255, 255, 0, 0,  // bottom row
        0,   0,   255, 255, 0,   0,   0, 0,  // top row
    };
    EXPECT_EQ(b.ToBmp(), expected);
}

TEST(BitmapTest, RoundTripsPicturesOfEveryRowPadding) {
    std::mt19937 rng(5);
    for (std::int32_t width = 1; width <= 9; ++width) {
        Bitmap b(width, 3);
        for (std::int32_t y = 0; y < 3; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                b.SetPixel(x, y, rng() & 0xFFFFFF);
            }
        }
        const auto back = Bitmap::FromBmp(b.ToBmp());
        ASSERT_TRUE(back.has_value()) << width;
        EXPECT_EQ(*back, b) << width;
    }
}

TEST(BitmapTest, ReadsTopDownAndThirtyTwoBitFiles) {
    Bitmap b(3, 2);
    b.SetPixel(0, 0, Bitmap::Rgb(1, 2, 3));
    b.SetPixel(2, 1, Bitmap::Rgb(200, 100, 50));
    // The same picture stored top-down with 32 bits a pixel.
    std::vector<std::uint8_t> file = b.ToBmp();
    file.resize(54);
    PutU32(file, 22, static_cast<std::uint32_t>(-2));
    file[28] = 32;
    for (std::int32_t y = 0; y < 2; ++y) {
        for (std::int32_t x = 0; x < 3; ++x) {
            const std::uint32_t c = b.Pixel(x, y);
            file.insert(file.end(), {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                                     static_cast<std::uint8_t>(c), 0});
        }
    }
    const auto back = Bitmap::FromBmp(file);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, b);
}

TEST(BitmapTest, RefusesDamagedAndUnsupportedFiles) {
    const std::vector<std::uint8_t> good = Bitmap(3, 3, 0x123456).ToBmp();
    auto changed = [&good](std::size_t at, std::uint32_t value) {
        std::vector<std::uint8_t> f = good;
        PutU32(f, at, value);
        return f;
    };
    const struct {
        const char* name;
        std::vector<std::uint8_t> data;
    } cases[] = {
        {"not a bitmap", changed(0, 0x1234)},
        {"small information header", changed(14, 12)},
        {"no width", changed(18, 0)},
        {"negative width", changed(18, static_cast<std::uint32_t>(-3))},
        {"no height", changed(22, 0)},
        {"too tall", changed(22, 40000)},
        {"lowest height", changed(22, 0x80000000u)},
        {"eight bits a pixel", changed(28, 8)},
        {"compressed", changed(30, 1)},
        {"pixels beyond the end", changed(10, 60)},
        {"pixels inside the header", changed(10, 20)},
        {"pixel offset far away", changed(10, 0xFFFFFFF0u)},
        {"huge information header", changed(14, 0xFFFFFFFFu)},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Bitmap::FromBmp(c.data).has_value()) << c.name;
    }
    for (std::size_t length = 0; length < good.size(); ++length) {
        EXPECT_FALSE(Bitmap::FromBmp(std::span(good).first(length)).has_value()) << length;
    }
}

}  // namespace
}  // namespace qm
