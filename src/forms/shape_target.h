#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "forms/region.h"

namespace qm {

class PixelRows;

// The kinds of window object the colour-key shaper tells apart.
enum class ShapeTargetKind { Form, PictureBox, CommandButton, CheckBox, OptionButton, Other };

// The scale mode "pixels" of a container, and the program's default, twips.
inline constexpr int kScaleModeTwips = 1;
inline constexpr int kScaleModePixels = 3;

// A window object that ColorKeyForm gives an outline: a form or one of its controls. The window model
// implements it for its forms and controls; the simulated platform over a picture. The shaper borrows it
// for one call of ShapeMe. Calls are made on the user-interface thread. A call that concerns a property
// the object does not have does nothing; nothing here throws except OpenPixels.
class ShapeTarget {
  public:
    ShapeTarget() = default;
    ShapeTarget(const ShapeTarget&) = delete;
    ShapeTarget& operator=(const ShapeTarget&) = delete;
    virtual ~ShapeTarget() = default;

    virtual ShapeTargetKind Kind() const = 0;

    // Forms and picture boxes, before their pixels are read: keep a persistent image of the contents (so
    // that every pixel can be read back), measure in pixels, and stop clipping child controls.
    virtual void PrepareForScan() = 0;

    // The scale mode of the control's container (kScaleMode...), which sets the unit of the control's
    // size.
    virtual int ParentScaleMode() = 0;
    virtual void SetParentScaleMode(int mode) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // The background colour, 0x00BBGGRR.
    virtual void SetBackColor(std::uint32_t colour) = 0;
    // Repaints the object now.
    virtual void Refresh() = 0;

    // The size in pixels: of the inner area of a form or picture box, of the whole control for the other
    // kinds.
    virtual std::int32_t PixelWidth() = 0;
    virtual std::int32_t PixelHeight() = 0;

    // Opens the object's pixels for reading: the form's own device context, the picture box's point
    // query, the window device context of any other control. Throws PlatformError when the platform
    // gives none.
    virtual std::unique_ptr<PixelRows> OpenPixels() = 0;

    // SetWindowRgn with redraw: from now on the window shows only `region` (in pixels from its top-left
    // corner) and owns it; nothing gives the window its whole rectangle back.
    virtual void SetWindowRegion(std::optional<Region> region) = 0;
};

}  // namespace qm
