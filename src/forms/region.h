#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qm {

// A rectangle in pixels; right and bottom are exclusive.
struct RegionRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool IsEmpty() const { return left >= right || top >= bottom; }
    friend bool operator==(const RegionRect&, const RegionRect&) = default;
};

// One horizontal stretch of pixels within row `y`, from column `x1` to column `x2`, both inclusive.
struct RegionRun {
    std::int32_t y = 0;
    std::int32_t x1 = 0;
    std::int32_t x2 = 0;
    friend bool operator==(const RegionRun&, const RegionRun&) = default;
};

// The size of the header of a region data block, and its only type (rectangles).
inline constexpr std::uint32_t kRegionDataHeaderSize = 32;
inline constexpr std::uint32_t kRegionDataRectangles = 1;
// The most rectangles a region read from region data may have: far beyond any window's outline (the
// countdown window's has a dozen), far below what would exhaust memory.
inline constexpr std::size_t kMaxRegionDataRects = 65536;

// An area of pixels held the way the window system holds a window region: a list of rectangles in
// banded form. Every rectangle of a band shares the band's top and bottom; bands are sorted from top to
// bottom and do not overlap; the rectangles of a band are sorted from left to right and neither overlap
// nor touch (touching ones are one rectangle); two bands that touch never hold the same columns (they are
// one band); there are no empty rectangles. Since every area has exactly one such form, two regions are
// equal exactly when they cover the same pixels, and the region data block written for an area is the
// same on every platform.
//
// A value type; not thread-safe to change while another thread reads it.
class Region {
  public:
    // The empty region.
    Region() = default;

    // CreateRectRgn: the rectangle between two corners given in any order; no area when the rectangle is
    // empty.
    static Region FromRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
    static Region FromRect(const RegionRect& rect) {
        return FromRect(rect.left, rect.top, rect.right, rect.bottom);
    }
    // The union of any list of rectangles; empty and inverted rectangles add nothing.
    static Region FromRects(std::span<const RegionRect> rects);
    // `frame` (corners in any order, as FromRect) with every run of `runs` cut out. The runs must come
    // in scan order: rows from top to bottom, and within a row from left to right. The cost is linear in
    // the number of runs and of rows of the frame; the result is the same as cutting out one run after
    // the other with Difference.
    static Region FromRectWithoutRuns(const RegionRect& frame, std::span<const RegionRun> runs);

    // ExtCreateRegion without transformation: the region of a region data block (see ToRegionData), or
    // nothing when the window system would refuse the block: a header size other than 32, a type other
    // than rectangles, a count of rectangles that does not fit in `data`, or a rectangle whose right lies
    // left of its left or whose bottom lies above its top. A block of more than kMaxRegionDataRects
    // rectangles, or whose rectangles would unite into more than that, is refused as well. Bytes after the
    // rectangles are ignored, as are the stored bounding rectangle and the stored size of the rectangle
    // part. Never reads outside `data`.
    static std::optional<Region> FromRegionData(std::span<const std::uint8_t> data);

    // GetRegionData: the header (size 32, type 1, count n, 16 * n, bounding rectangle) followed by the
    // n rectangles, every field a little-endian signed 32-bit number.
    std::vector<std::uint8_t> ToRegionData() const;

    bool IsEmpty() const { return rects_.empty(); }
    const std::vector<RegionRect>& Rects() const { return rects_; }
    // The smallest rectangle around the region; all zero when the region is empty.
    const RegionRect& Bounds() const { return bounds_; }
    // Whether the pixel at (x, y) belongs to the region (PtInRegion).
    bool Contains(std::int32_t x, std::int32_t y) const;

    // CombineRgn with RGN_DIFF: the pixels of this region that are not in `other`.
    Region Difference(const Region& other) const;
    // CombineRgn with RGN_OR.
    Region Union(const Region& other) const;
    // CombineRgn with RGN_AND.
    Region Intersection(const Region& other) const;

    friend bool operator==(const Region& a, const Region& b) { return a.rects_ == b.rects_; }

  private:
    friend class RegionBuilder;

    std::vector<RegionRect> rects_;
    RegionRect bounds_;
};

}  // namespace qm
