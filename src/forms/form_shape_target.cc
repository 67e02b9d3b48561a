#include "forms/form_shape_target.h"

#include <algorithm>
#include <cmath>

#include "base/platform_error.h"
#include "forms/form.h"
#include "forms/pixel_rows.h"

namespace qm {

namespace {
constexpr char kNoPixelsText[] = "The window's pixels cannot be read";
}  // namespace

FormShapeTarget::FormShapeTarget(Form& form, std::int32_t twipsPerPixel)
    : form_(form), twipsPerPixel_(std::max(1, twipsPerPixel)) {}

std::int32_t FormShapeTarget::PixelWidth() {
    return static_cast<std::int32_t>(std::lround(form_.Width() / twipsPerPixel_));
}

std::int32_t FormShapeTarget::PixelHeight() {
    return static_cast<std::int32_t>(std::lround(form_.Height() / twipsPerPixel_));
}

std::unique_ptr<PixelRows> FormShapeTarget::OpenPixels() {
    throw PlatformError(kNoPixelsText);
}

void FormShapeTarget::SetWindowRegion(std::optional<Region> region) {
    form_.SetShape(std::move(region));
}

}  // namespace qm
