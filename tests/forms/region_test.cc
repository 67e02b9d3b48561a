#include "forms/region.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <utility>
#include <vector>

namespace qm {
namespace {

// Pixels of a small grid around the origin, for checking regions against plain sets of pixels.
constexpr std::int32_t kLo = -3;
constexpr std::int32_t kHi = 20;
using Mask = std::vector<char>;  // one flag a pixel

char& At(Mask& m, std::int32_t x, std::int32_t y) {
    return m[static_cast<std::size_t>((y - kLo) * (kHi - kLo) + (x - kLo))];
}

Mask MaskOf(const Region& r) {
    Mask m(static_cast<std::size_t>((kHi - kLo) * (kHi - kLo)));
    for (std::int32_t y = kLo; y < kHi; ++y) {
        for (std::int32_t x = kLo; x < kHi; ++x) {
            At(m, x, y) = r.Contains(x, y);
        }
    }
    return m;
}

Mask MaskOfRects(const std::vector<RegionRect>& rects) {
    Mask m(static_cast<std::size_t>((kHi - kLo) * (kHi - kLo)));
    for (const RegionRect& r : rects) {
        for (std::int32_t y = r.top; y < r.bottom; ++y) {
            for (std::int32_t x = r.left; x < r.right; ++x) {
                At(m, x, y) = true;
            }
        }
    }
    return m;
}

// The banded form that the window system keeps, which makes every area's rectangles unique.
void ExpectBanded(const Region& region) {
    const auto& rects = region.Rects();
    RegionRect bounds{};
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const RegionRect& r = rects[i];
        ASSERT_FALSE(r.IsEmpty()) << i;
        if (i == 0) {
            bounds = r;
        }
        bounds = {std::min(bounds.left, r.left), std::min(bounds.top, r.top), std::max(bounds.right, r.right),
                  std::max(bounds.bottom, r.bottom)};
        if (i == 0) {
            continue;
        }
        const RegionRect& p = rects[i - 1];
        if (r.top == p.top) {
            ASSERT_EQ(r.bottom, p.bottom) << i;
            ASSERT_GT(r.left, p.right) << "touching or overlapping rectangles in one band at " << i;
        } else {
            ASSERT_GE(r.top, p.bottom) << i;
        }
    }
    EXPECT_EQ(region.Bounds(), bounds);
    // Bands that touch must hold different columns, or they would be one band.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        if (i == 0 || rects[i].top != rects[i - 1].top) {
            starts.push_back(i);
        }
    }
    starts.push_back(rects.size());
    auto columns = [&rects](std::size_t from, std::size_t to) {
        std::vector<std::pair<std::int32_t, std::int32_t>> c;
        for (std::size_t i = from; i < to; ++i) {
            c.emplace_back(rects[i].left, rects[i].right);
        }
        return c;
    };
    for (std::size_t k = 0; k + 2 < starts.size(); ++k) {
        if (rects[starts[k + 1]].top == rects[starts[k]].bottom) {
            EXPECT_NE(columns(starts[k], starts[k + 1]), columns(starts[k + 1], starts[k + 2]))
                << "bands at " << starts[k] << " and " << starts[k + 1] << " should be one";
        }
    }
}

std::vector<RegionRect> RandomRects(std::mt19937& rng, int count) {
    std::uniform_int_distribution<std::int32_t> coord(kLo, kHi);
    std::vector<RegionRect> rects;
    for (int i = 0; i < count; ++i) {
        rects.push_back({coord(rng), coord(rng), coord(rng), coord(rng)});
    }
    return rects;
}

TEST(RegionTest, RectangleTakesCornersInAnyOrderAndEmptyIsNothing) {
    EXPECT_EQ(Region::FromRect(5, 7, 1, 2).Rects(), (std::vector<RegionRect>{{1, 2, 5, 7}}));
    EXPECT_EQ(Region::FromRect(1, 2, 5, 7).Bounds(), (RegionRect{1, 2, 5, 7}));
    EXPECT_TRUE(Region::FromRect(3, 0, 3, 9).IsEmpty());
    EXPECT_TRUE(Region::FromRect(0, 4, 9, 4).IsEmpty());
    EXPECT_EQ(Region().Bounds(), (RegionRect{}));
}

TEST(RegionTest, CombinationsMatchPixelSetsAndStayBanded) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        const auto rectsA = RandomRects(rng, 1 + round % 6);
        const auto rectsB = RandomRects(rng, 1 + round % 4);
        const Region a = Region::FromRects(rectsA);
        const Region b = Region::FromRects(rectsB);
        ExpectBanded(a);
        // Inverted rectangles add nothing.
        ASSERT_EQ(MaskOf(a), MaskOfRects(rectsA)) << round;

        const Mask ma = MaskOf(a);
        const Mask mb = MaskOf(b);
        const struct {
            const char* name;
            Region result;
            std::function<bool(bool, bool)> rule;
        } cases[] = {
            {"difference", a.Difference(b), [](bool x, bool y) { return x && !y; }},
            {"union", a.Union(b), [](bool x, bool y) { return x || y; }},
            {"intersection", a.Intersection(b), [](bool x, bool y) { return x && y; }},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            ExpectBanded(c.result);
            const Mask got = MaskOf(c.result);
            for (std::size_t i = 0; i < got.size(); ++i) {
                ASSERT_EQ(got[i] != 0, c.rule(ma[i] != 0, mb[i] != 0)) << "round " << round << " pixel " << i;
            }
        }
    }
}

TEST(RegionTest, WritesTheExactRegionDataBlock) {
    // A 4 x 3 frame with a 2 x 1 hole in its middle row.
    const Region ring = Region::FromRect(0, 0, 4, 3).Difference(Region::FromRect(1, 1, 3, 2));
    const std::vector<std::uint8_t> expected{
        32, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 64, 0, 0, 0,  // header: size, type, count, bytes
        0,  0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 3,  0, 0, 0,  // bounds
        0,  0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 1,  0, 0, 0,  // (0,0)-(4,1)
        0,  0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 2,  0, 0, 0,  // (0,1)-(1,2)
        3,  0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 2,  0, 0, 0,  // (3,1)-(4,2)
        0,  0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 3,  0, 0, 0,  // (0,2)-(4,3)
    };
    EXPECT_EQ(ring.ToRegionData(), expected);

    // Negative coordinates are two's complement, little-endian; the empty region is a bare header.
    const std::vector<std::uint8_t> negative = Region::FromRect(-2, -1, 1, 0).ToRegionData();
    EXPECT_EQ(
        std::vector<std::uint8_t>(negative.begin() + 32, negative.end()),
        (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Region().ToRegionData(),
              (std::vector<std::uint8_t>{32, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                         0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(RegionTest, RegionDataRoundTrips) {
    std::mt19937 rng(99);
    for (int round = 0; round < 100; ++round) {
        const Region region = Region::FromRects(RandomRects(rng, 1 + round % 7));
        const auto back = Region::FromRegionData(region.ToRegionData());
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->Rects(), region.Rects());
        EXPECT_EQ(back->Bounds(), region.Bounds());
    }
}

// A block holding `rects` with the header fields as given.
std::vector<std::uint8_t> Block(std::vector<RegionRect> rects,
                                std::uint32_t headerSize = 32,
                                std::uint32_t type = 1,
                                std::int64_t count = -1) {
    std::vector<std::uint8_t> out;
    auto put = [&out](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    };
    put(headerSize);
    put(type);
    put(count < 0 ? static_cast<std::uint32_t>(rects.size()) : static_cast<std::uint32_t>(count));
    put(static_cast<std::uint32_t>(16 * rects.size()));
    for (int i = 0; i < 4; ++i) {
        put(0);  // bounds: the reader works them out itself
    }
    for (const RegionRect& r : rects) {
        put(static_cast<std::uint32_t>(r.left));
        put(static_cast<std::uint32_t>(r.top));
        put(static_cast<std::uint32_t>(r.right));
        put(static_cast<std::uint32_t>(r.bottom));
    }
    return out;
}

TEST(RegionTest, RefusesBlocksTheWindowSystemRefuses) {
    const std::vector<RegionRect> two{{0, 0, 4, 1}, {0, 1, 2, 3}};
    const std::vector<std::uint8_t> whole = Block(two);
    const struct {
        const char* name;
        std::vector<std::uint8_t> data;
    } cases[] = {
        {"nothing", {}},
        {"half a header", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 16)},
        {"header size 40", Block(two, 40)},
        {"header size 0", Block(two, 0)},
        {"type 2", Block(two, 32, 2)},
        {"count one too many", Block(two, 32, 1, 3)},
        {"count whose byte size wraps to zero", Block({}, 32, 1, 0x10000000)},
        {"count far too big", Block(two, 32, 1, 0xFFFFFFFF)},
        {"right left of left", Block({{0, 0, 4, 1}, {5, 1, 2, 3}})},
        {"bottom above top", Block({{0, 3, 4, 1}})},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Region::FromRegionData(c.data).has_value()) << c.name;
    }
    // Cut off anywhere, a block no longer holds its rectangles.
    for (std::size_t length = 0; length < whole.size(); ++length) {
        EXPECT_FALSE(Region::FromRegionData(std::span(whole).first(length)).has_value()) << length;
    }
}

TEST(RegionTest, AcceptsBlocksTheWindowSystemAccepts) {
    const std::vector<RegionRect> expected{{0, 0, 4, 1}, {0, 1, 2, 3}};
    const struct {
        const char* name;
        std::vector<std::uint8_t> data;
        std::vector<RegionRect> rects;
    } cases[] = {
        {"banded", Block(expected), expected},
        {"with bytes after the rectangles",
         [&] {
             auto b = Block(expected);
             b.insert(b.end(), {1, 2, 3});
             return b;
         }(),
         expected},
        {"unsorted and overlapping", Block({{0, 1, 2, 3}, {1, 0, 4, 1}, {0, 0, 2, 1}}), expected},
        {"with empty rectangles", Block({{0, 0, 4, 1}, {7, 7, 7, 9}, {0, 1, 2, 3}, {1, 5, 3, 5}}), expected},
        {"no rectangles", Block({}), {}},
    };
    for (const auto& c : cases) {
        const auto region = Region::FromRegionData(c.data);
        ASSERT_TRUE(region.has_value()) << c.name;
        EXPECT_EQ(region->Rects(), c.rects) << c.name;
    }
}

TEST(RegionTest, RefusesBlocksBeyondASaneRectangleCount) {
    // A grid of thin strips: 2 * 300 rectangles that unite into some 90,000.
    std::vector<RegionRect> grid;
    for (std::int32_t i = 0; i < 300; ++i) {
        grid.push_back({2 * i, 0, 2 * i + 1, 600});
        grid.push_back({0, 2 * i, 600, 2 * i + 1});
    }
    EXPECT_FALSE(Region::FromRegionData(Block(grid)).has_value());

    // More rectangles than the limit, even in banded form, are not read either.
    std::vector<RegionRect> rows;
    for (std::int32_t y = 0; y <= static_cast<std::int32_t>(kMaxRegionDataRects); ++y) {
        rows.push_back({y % 2, y, 2 + y % 2, y + 1});
    }
    EXPECT_FALSE(Region::FromRegionData(Block(rows)).has_value());
    rows.pop_back();
    const auto most = Region::FromRegionData(Block(rows));
    ASSERT_TRUE(most.has_value()) << "the limit itself is allowed";
    EXPECT_EQ(most->Rects().size(), kMaxRegionDataRects);

    // A grid small enough stays what it is.
    grid.resize(40);
    const auto small = Region::FromRegionData(Block(grid));
    ASSERT_TRUE(small.has_value());
    EXPECT_EQ(*small, Region::FromRects(grid));
}

TEST(RegionTest, CuttingRunsMatchesCuttingThemOneByOne) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::int32_t> coord(-2, 14);
    for (int round = 0; round < 300; ++round) {
        const RegionRect frame{coord(rng), coord(rng), coord(rng), coord(rng)};
        // Runs in scan order, separate within each row.
        std::vector<RegionRun> runs;
        for (std::int32_t y = -3; y < 16; ++y) {
            std::int32_t x = -4 + static_cast<std::int32_t>(rng() % 4);
            while (x < 16 && rng() % 3 != 0) {
                const std::int32_t length = static_cast<std::int32_t>(rng() % 5);
                runs.push_back({y, x, x + length});
                x += length + 2 + static_cast<std::int32_t>(rng() % 3);
            }
        }
        Region naive = Region::FromRect(frame);
        for (const RegionRun& run : runs) {
            naive = naive.Difference(Region::FromRect(run.x1, run.y, run.x2 + 1, run.y + 1));
        }
        const Region fast = Region::FromRectWithoutRuns(frame, runs);
        ExpectBanded(fast);
        ASSERT_EQ(fast, naive) << round;
        EXPECT_EQ(fast.Bounds(), naive.Bounds());
    }
}

}  // namespace
}  // namespace qm
