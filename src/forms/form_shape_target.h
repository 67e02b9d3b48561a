#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "forms/shape_target.h"

namespace qm {

class Form;

// A window of the program as the colour-key shaper's target: a form, whose outline becomes the form's
// shape. The window model does not hold the pixels of a window's face (the renderer draws its picture),
// so only a region file can shape it: OpenPixels throws PlatformError, and a scan fails before anything
// changes. The size is the form's own, in pixels: the shaped windows have no border, so the inner area
// is the whole window. Borrows the form for one ShapeMe call; user-interface thread only.
class FormShapeTarget final : public ShapeTarget {
  public:
    FormShapeTarget(Form& form, std::int32_t twipsPerPixel);

    // ShapeTarget:
    ShapeTargetKind Kind() const override { return ShapeTargetKind::Form; }
    void PrepareForScan() override {}
    int ParentScaleMode() override { return kScaleModeTwips; }
    void SetParentScaleMode(int /*mode*/) override {}
    void SetCaption(const std::string& /*caption*/) override {}
    void SetBackColor(std::uint32_t /*colour*/) override {}
    void Refresh() override {}
    std::int32_t PixelWidth() override;
    std::int32_t PixelHeight() override;
    std::unique_ptr<PixelRows> OpenPixels() override;
    void SetWindowRegion(std::optional<Region> region) override;

  private:
    Form& form_;
    std::int32_t twipsPerPixel_;
};

}  // namespace qm
