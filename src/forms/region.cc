#include "forms/region.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace qm {

namespace {

// One stretch of columns of a band, right exclusive.
struct Span {
    std::int64_t left = 0;
    std::int64_t right = 0;
};
using Spans = std::vector<Span>;

// A band of a region: the rows from top to bottom (exclusive) and its rectangles [begin, end).
struct Band {
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
};

std::vector<Band> BandsOf(const std::vector<RegionRect>& rects) {
    std::vector<Band> bands;
    for (std::size_t i = 0; i < rects.size();) {
        Band band{rects[i].top, rects[i].bottom, i, i};
        while (band.end < rects.size() && rects[band.end].top == band.top) {
            ++band.end;
        }
        i = band.end;
        bands.push_back(band);
    }
    return bands;
}

void SpansOf(const std::vector<RegionRect>& rects, const Band& band, Spans& out) {
    out.clear();
    for (std::size_t i = band.begin; i < band.end; ++i) {
        out.push_back({rects[i].left, rects[i].right});
    }
}

// The operations on the sorted, separate spans of one row.

void SubtractSpans(const Spans& a, const Spans& b, Spans& out) {
    out.clear();
    std::size_t j = 0;
    for (const Span& s : a) {
        std::int64_t left = s.left;
        while (j < b.size() && b[j].right <= left) {
            ++j;
        }
        for (std::size_t k = j; k < b.size() && b[k].left < s.right && left < s.right; ++k) {
            if (b[k].left > left) {
                out.push_back({left, b[k].left});
            }
            left = std::max(left, b[k].right);
        }
        if (left < s.right) {
            out.push_back({left, s.right});
        }
    }
}

void UniteSpans(const Spans& a, const Spans& b, Spans& out) {
    out.clear();
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() || j < b.size()) {
        const Span& next = (j == b.size() || (i < a.size() && a[i].left <= b[j].left)) ? a[i++] : b[j++];
        if (!out.empty() && next.left <= out.back().right) {
            out.back().right = std::max(out.back().right, next.right);
        } else {
            out.push_back(next);
        }
    }
}

void IntersectSpans(const Spans& a, const Spans& b, Spans& out) {
    out.clear();
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const std::int64_t left = std::max(a[i].left, b[j].left);
        const std::int64_t right = std::min(a[i].right, b[j].right);
        if (left < right) {
            out.push_back({left, right});
        }
        if (a[i].right < b[j].right) {
            ++i;
        } else {
            ++j;
        }
    }
}

using SpanOp = void (*)(const Spans&, const Spans&, Spans&);

// Whether `rects` already is in banded form (see Region), so that it can be taken as it is.
bool IsBanded(std::span<const RegionRect> rects) {
    std::size_t previousBand = 0;  // start of the band before the current one
    std::size_t bandStart = 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const RegionRect& r = rects[i];
        if (r.IsEmpty()) {
            return false;
        }
        if (i == 0) {
            continue;
        }
        const RegionRect& p = rects[i - 1];
        if (r.top == p.top) {
            if (r.bottom != p.bottom || r.left <= p.right) {
                return false;
            }
            continue;
        }
        // A new band starts at i: below the previous one, and not a copy of it when they touch.
        if (r.top < p.bottom) {
            return false;
        }
        previousBand = bandStart;
        bandStart = i;
        if (r.top == p.bottom) {
            std::size_t bandEnd = i;
            while (bandEnd < rects.size() && rects[bandEnd].top == r.top) {
                ++bandEnd;
            }
            if (bandEnd - bandStart == bandStart - previousBand &&
                std::equal(rects.begin() + static_cast<std::ptrdiff_t>(previousBand),
                           rects.begin() + static_cast<std::ptrdiff_t>(bandStart),
                           rects.begin() + static_cast<std::ptrdiff_t>(bandStart),
                           [](const RegionRect& x, const RegionRect& y) {
                               return x.left == y.left && x.right == y.right;
                           })) {
                return false;
            }
        }
    }
    return true;
}

std::uint32_t ReadU32(std::span<const std::uint8_t> data, std::size_t offset) {
    return static_cast<std::uint32_t>(data[offset]) | (static_cast<std::uint32_t>(data[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(data[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

std::int32_t ReadI32(std::span<const std::uint8_t> data, std::size_t offset) {
    return static_cast<std::int32_t>(ReadU32(data, offset));
}

void WriteU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 24));
}

void WriteRect(std::vector<std::uint8_t>& out, const RegionRect& r) {
    for (const std::int32_t value : {r.left, r.top, r.right, r.bottom}) {
        WriteU32(out, static_cast<std::uint32_t>(value));
    }
}

}  // namespace

// Builds a region band by band, from the top down, merging a band into the one above it when they touch
// and hold the same columns.
class RegionBuilder {
  public:
    // A builder that gives up once the region would hold more than `limit` rectangles.
    explicit RegionBuilder(std::size_t limit = SIZE_MAX) : limit_(limit) {}

    // Whether a band was refused because the region grew beyond the limit.
    bool Overflowed() const { return overflowed_; }

    void AddBand(std::int32_t top, std::int32_t bottom, const Spans& spans) {
        if (spans.empty() || top >= bottom || overflowed_) {
            return;
        }
        if (hasBand_ && rects_.back().bottom == top && SameAsLastBand(spans)) {
            for (std::size_t i = lastBand_; i < rects_.size(); ++i) {
                rects_[i].bottom = bottom;
            }
            return;
        }
        if (spans.size() > limit_ - std::min(limit_, rects_.size())) {
            overflowed_ = true;
            return;
        }
        hasBand_ = true;
        lastBand_ = rects_.size();
        for (const Span& s : spans) {
            rects_.push_back(
                {static_cast<std::int32_t>(s.left), top, static_cast<std::int32_t>(s.right), bottom});
        }
    }

    Region Finish() {
        Region region;
        if (!rects_.empty()) {
            RegionRect bounds{rects_.front().left, rects_.front().top, rects_.front().right,
                              rects_.back().bottom};
            for (const RegionRect& r : rects_) {
                bounds.left = std::min(bounds.left, r.left);
                bounds.right = std::max(bounds.right, r.right);
            }
            region.bounds_ = bounds;
        }
        region.rects_ = std::move(rects_);
        rects_.clear();
        hasBand_ = false;
        return region;
    }

    // Takes rectangles that are known to be in banded form.
    Region Adopt(std::span<const RegionRect> rects) {
        rects_.assign(rects.begin(), rects.end());
        return Finish();
    }

  private:
    bool SameAsLastBand(const Spans& spans) const {
        if (rects_.size() - lastBand_ != spans.size()) {
            return false;
        }
        for (std::size_t i = 0; i < spans.size(); ++i) {
            const RegionRect& r = rects_[lastBand_ + i];
            if (r.left != spans[i].left || r.right != spans[i].right) {
                return false;
            }
        }
        return true;
    }

    std::vector<RegionRect> rects_;
    std::size_t lastBand_ = 0;
    bool hasBand_ = false;
    std::size_t limit_;
    bool overflowed_ = false;
};

namespace {

// The region whose every row holds `op` of the rows of `a` and `b`. Rows are taken in stretches between
// consecutive band edges of either region, within which neither changes. Nothing when the result would
// hold more than `limit` rectangles (the work stops there).
std::optional<Region> Combine(const Region& a, const Region& b, SpanOp op, std::size_t limit) {
    const std::vector<Band> bandsA = BandsOf(a.Rects());
    const std::vector<Band> bandsB = BandsOf(b.Rects());
    std::vector<std::int32_t> edges;
    edges.reserve(2 * (bandsA.size() + bandsB.size()));
    for (const Band& band : bandsA) {
        edges.push_back(band.top);
        edges.push_back(band.bottom);
    }
    for (const Band& band : bandsB) {
        edges.push_back(band.top);
        edges.push_back(band.bottom);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    RegionBuilder builder(limit);
    Spans spansA;
    Spans spansB;
    Spans result;
    std::size_t ia = 0;
    std::size_t ib = 0;
    for (std::size_t k = 0; k + 1 < edges.size(); ++k) {
        const std::int32_t top = edges[k];
        const std::int32_t bottom = edges[k + 1];
        while (ia < bandsA.size() && bandsA[ia].bottom <= top) {
            ++ia;
        }
        while (ib < bandsB.size() && bandsB[ib].bottom <= top) {
            ++ib;
        }
        if (ia < bandsA.size() && bandsA[ia].top <= top) {
            SpansOf(a.Rects(), bandsA[ia], spansA);
        } else {
            spansA.clear();
        }
        if (ib < bandsB.size() && bandsB[ib].top <= top) {
            SpansOf(b.Rects(), bandsB[ib], spansB);
        } else {
            spansB.clear();
        }
        op(spansA, spansB, result);
        builder.AddBand(top, bottom, result);
        if (builder.Overflowed()) {
            return std::nullopt;
        }
    }
    return builder.Finish();
}

Region Combine(const Region& a, const Region& b, SpanOp op) {
    return *Combine(a, b, op, SIZE_MAX);
}

// The union of `rects`, or nothing when it or a union of a part of them would hold more than `limit`
// rectangles.
std::optional<Region> UniteAll(std::span<const RegionRect> rects, std::size_t limit) {
    if (rects.size() == 1) {
        const RegionRect& r = rects.front();
        return (r.left < r.right && r.top < r.bottom) ? Region::FromRect(r) : Region();
    }
    const std::size_t half = rects.size() / 2;
    const std::optional<Region> first = UniteAll(rects.first(half), limit);
    if (!first) {
        return std::nullopt;
    }
    const std::optional<Region> second = UniteAll(rects.subspan(half), limit);
    if (!second) {
        return std::nullopt;
    }
    return Combine(*first, *second, &UniteSpans, limit);
}

}  // namespace

Region Region::FromRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    if (left > right) {
        std::swap(left, right);
    }
    if (top > bottom) {
        std::swap(top, bottom);
    }
    Region region;
    if (left < right && top < bottom) {
        region.rects_.push_back({left, top, right, bottom});
        region.bounds_ = region.rects_.front();
    }
    return region;
}

Region Region::FromRects(std::span<const RegionRect> rects) {
    if (rects.empty()) {
        return Region();
    }
    if (IsBanded(rects)) {
        return RegionBuilder().Adopt(rects);
    }
    return *UniteAll(rects, SIZE_MAX);
}

Region Region::FromRectWithoutRuns(const RegionRect& frame, std::span<const RegionRun> runs) {
    const Region whole = FromRect(frame);
    if (whole.IsEmpty()) {
        return whole;
    }
    const RegionRect f = whole.Bounds();
    RegionBuilder builder;
    const Spans full{{f.left, f.right}};
    Spans row;
    std::size_t i = 0;
    std::int32_t y = f.top;
    while (y < f.bottom) {
        while (i < runs.size() && runs[i].y < y) {
            ++i;
        }
        const std::int32_t nextRunRow = (i < runs.size() && runs[i].y < f.bottom) ? runs[i].y : f.bottom;
        if (nextRunRow > y) {
            // Rows without runs keep the whole width of the frame.
            builder.AddBand(y, nextRunRow, full);
            y = nextRunRow;
            continue;
        }
        row.clear();
        std::int64_t cursor = f.left;
        for (; i < runs.size() && runs[i].y == y; ++i) {
            const std::int64_t left = std::max<std::int64_t>(runs[i].x1, f.left);
            const std::int64_t right = std::min<std::int64_t>(std::int64_t{runs[i].x2} + 1, f.right);
            if (left >= right) {
                continue;
            }
            if (left > cursor) {
                row.push_back({cursor, left});
            }
            cursor = std::max(cursor, right);
        }
        if (cursor < f.right) {
            row.push_back({cursor, f.right});
        }
        builder.AddBand(y, y + 1, row);
        ++y;
    }
    return builder.Finish();
}

std::optional<Region> Region::FromRegionData(std::span<const std::uint8_t> data) {
    if (data.size() < kRegionDataHeaderSize) {
        return std::nullopt;
    }
    if (ReadU32(data, 0) != kRegionDataHeaderSize || ReadU32(data, 4) != kRegionDataRectangles) {
        return std::nullopt;
    }
    const std::uint64_t count = ReadU32(data, 8);
    if (count > (data.size() - kRegionDataHeaderSize) / 16 || count > kMaxRegionDataRects) {
        return std::nullopt;
    }
    std::vector<RegionRect> rects;
    rects.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kRegionDataHeaderSize + 16 * i;
        const RegionRect r{ReadI32(data, at), ReadI32(data, at + 4), ReadI32(data, at + 8),
                           ReadI32(data, at + 12)};
        if (r.left > r.right || r.top > r.bottom) {
            return std::nullopt;
        }
        if (!r.IsEmpty()) {
            rects.push_back(r);
        }
    }
    if (rects.empty()) {
        return Region();
    }
    if (IsBanded(rects)) {
        return RegionBuilder().Adopt(rects);
    }
    // Rectangles that overlap or are out of order are united, which a hostile block could make cost
    // a number of rectangles that grows with the square of its own (a grid of thin strips).
    return UniteAll(rects, kMaxRegionDataRects);
}

std::vector<std::uint8_t> Region::ToRegionData() const {
    std::vector<std::uint8_t> out;
    out.reserve(kRegionDataHeaderSize + 16 * rects_.size());
    WriteU32(out, kRegionDataHeaderSize);
    WriteU32(out, kRegionDataRectangles);
    WriteU32(out, static_cast<std::uint32_t>(rects_.size()));
    WriteU32(out, static_cast<std::uint32_t>(16 * rects_.size()));
    WriteRect(out, bounds_);
    for (const RegionRect& r : rects_) {
        WriteRect(out, r);
    }
    return out;
}

bool Region::Contains(std::int32_t x, std::int32_t y) const {
    for (const RegionRect& r : rects_) {
        if (r.top > y) {
            break;
        }
        if (y < r.bottom && x >= r.left && x < r.right) {
            return true;
        }
    }
    return false;
}

Region Region::Difference(const Region& other) const {
    return Combine(*this, other, &SubtractSpans);
}

Region Region::Union(const Region& other) const {
    return Combine(*this, other, &UniteSpans);
}

Region Region::Intersection(const Region& other) const {
    return Combine(*this, other, &IntersectSpans);
}

}  // namespace qm
