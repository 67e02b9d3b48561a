#include "platform/sim/sim_shape_target.h"

#include <cassert>

#include "forms/pixel_rows.h"

namespace qm::sim {

class SimShapeTarget::Reader final : public PixelRows {
  public:
    explicit Reader(SimShapeTarget& target) : target_(target) { ++target_.openReaders_; }
    ~Reader() override { --target_.openReaders_; }

    // PixelRows:
    void ReadRow(std::int32_t y, std::span<std::uint32_t> colours) override {
        const Bitmap& picture = target_.picture_;
        const bool rowInside = y >= 0 && y < picture.Height();
        for (std::size_t x = 0; x < colours.size(); ++x) {
            const bool inside = rowInside && x < static_cast<std::size_t>(picture.Width());
            colours[x] = inside ? picture.Pixel(static_cast<std::int32_t>(x), y) : kNoColour;
        }
        target_.pixelReads_ += static_cast<std::int64_t>(colours.size());
    }

  private:
    SimShapeTarget& target_;
};

SimShapeTarget::~SimShapeTarget() {
    // Every reader must have been given back before its window goes.
    assert(openReaders_ == 0);
}

std::unique_ptr<PixelRows> SimShapeTarget::OpenPixels() {
    return std::make_unique<Reader>(*this);
}

void SimShapeTarget::SetWindowRegion(std::optional<Region> region) {
    ++windowRegionCalls_;
    windowRegion_ = std::move(region);
}

}  // namespace qm::sim
