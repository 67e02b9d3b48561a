#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "forms/bitmap.h"
#include "forms/shape_target.h"

namespace qm::sim {

// A window object backed by a picture: its pixels are the picture's, and it records what the shaper
// did to it. Tests set the picture and read the rest.
class SimShapeTarget final : public ShapeTarget {
  public:
    SimShapeTarget(ShapeTargetKind kind, Bitmap picture) : kind_(kind), picture_(std::move(picture)) {}
    ~SimShapeTarget() override;

    // ShapeTarget:
    ShapeTargetKind Kind() const override { return kind_; }
    void PrepareForScan() override { ++prepareCalls_; }
    int ParentScaleMode() override { return parentScaleMode_; }
    void SetParentScaleMode(int mode) override { parentScaleMode_ = mode; }
    void SetCaption(const std::string& caption) override { caption_ = caption; }
    void SetBackColor(std::uint32_t colour) override { backColor_ = colour; }
    void Refresh() override { ++refreshCalls_; }
    std::int32_t PixelWidth() override { return picture_.Width(); }
    std::int32_t PixelHeight() override { return picture_.Height(); }
    std::unique_ptr<PixelRows> OpenPixels() override;
    void SetWindowRegion(std::optional<Region> region) override;

    // Control side.
    void SetPicture(Bitmap picture) { picture_ = std::move(picture); }
    const Bitmap& Picture() const { return picture_; }
    void SetCaptionText(std::string caption) { caption_ = std::move(caption); }
    const std::string& Caption() const { return caption_; }
    std::uint32_t BackColor() const { return backColor_; }
    int PrepareCalls() const { return prepareCalls_; }
    int RefreshCalls() const { return refreshCalls_; }
    // Pixel positions read so far, inside the picture or not.
    std::int64_t PixelReads() const { return pixelReads_; }
    // Pixel readers handed out and not yet given back.
    int OpenReaders() const { return openReaders_; }
    // Whether the window was given a region at all, and the region (nothing: its whole rectangle).
    int WindowRegionCalls() const { return windowRegionCalls_; }
    const std::optional<Region>& WindowRegion() const { return windowRegion_; }

  private:
    class Reader;

    ShapeTargetKind kind_;
    Bitmap picture_;
    int parentScaleMode_ = kScaleModeTwips;
    std::string caption_ = "Command1";
    std::uint32_t backColor_ = 0x8000000F;  // the system's button face colour
    int prepareCalls_ = 0;
    int refreshCalls_ = 0;
    std::int64_t pixelReads_ = 0;
    int openReaders_ = 0;
    int windowRegionCalls_ = 0;
    std::optional<Region> windowRegion_;
};

}  // namespace qm::sim
