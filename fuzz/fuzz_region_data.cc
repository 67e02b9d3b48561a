// The countdown window's region file: any bytes, as a damaged or hostile file may hold them.

#include <cstddef>
#include <cstdint>
#include <span>

#include "forms/region.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto region = qm::Region::FromRegionData(std::span(data, size));
    if (!region) {
        return 0;
    }
    FUZZ_CHECK(region->Rects().size() <= qm::kMaxRegionDataRects);
    // What was read is a region in its one banded form: written out and read back, it is the same.
    const auto again = qm::Region::FromRegionData(region->ToRegionData());
    FUZZ_CHECK(again && *again == *region && again->Bounds() == region->Bounds());
    for (const qm::RegionRect& r : region->Rects()) {
        FUZZ_CHECK(!r.IsEmpty());
        FUZZ_CHECK(region->Contains(r.left, r.top) && region->Contains(r.right - 1, r.bottom - 1));
    }
    return 0;
}
