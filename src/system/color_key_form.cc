#include "system/color_key_form.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

#include "base/platform_error.h"
#include "forms/pixel_rows.h"
#include "forms/shape_target.h"
#include "ports/file_system.h"

namespace qm {

namespace {

// Width of the border the button kinds lose on every side.
constexpr std::int32_t kButtonInset = 2;

bool IsButtonKind(ShapeTargetKind kind) {
    return kind == ShapeTargetKind::CommandButton || kind == ShapeTargetKind::CheckBox ||
           kind == ShapeTargetKind::OptionButton;
}

// Switches a control's container to pixels for as long as it lives, and back to the mode it had on
// every way out.
class ParentInPixels {
  public:
    explicit ParentInPixels(ShapeTarget& target) : target_(target), oldMode_(target.ParentScaleMode()) {
        target_.SetParentScaleMode(kScaleModePixels);
    }
    ParentInPixels(const ParentInPixels&) = delete;
    ParentInPixels& operator=(const ParentInPixels&) = delete;
    ~ParentInPixels() { target_.SetParentScaleMode(oldMode_); }

  private:
    ShapeTarget& target_;
    int oldMode_;
};

}  // namespace

std::vector<RegionRun> FindKeyRuns(PixelRows& pixels,
                                   std::int32_t width,
                                   std::int32_t height,
                                   std::uint32_t key) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    std::vector<RegionRun> runs;
    std::vector<std::uint32_t> row(static_cast<std::size_t>(width) + 1);
    for (std::int32_t y = 0; y <= height; ++y) {
        pixels.ReadRow(y, row);
        if (y == height) {
            // The row below the picture: read like every other position, but nothing there is a pixel
            // of the picture even when the key is the "no colour" value itself.
            break;
        }
        const auto end = row.begin() + width;
        auto it = row.begin();
        while (true) {
            it = std::find(it, end, key);
            if (it == end) {
                break;
            }
            const auto runEnd = std::find_if(it, end, [key](std::uint32_t c) { return c != key; });
            runs.push_back({y, static_cast<std::int32_t>(it - row.begin()),
                            static_cast<std::int32_t>(runEnd - row.begin()) - 1});
            it = runEnd;
        }
    }
    return runs;
}

void ColorKeyForm::ShapeMe(ShapeTarget& Name, std::uint32_t Color, bool Load, const std::string& FileName) {
    const ShapeTargetKind kind = Name.Kind();
    if (kind == ShapeTargetKind::Other) {
        throw PlatformError(kShapeTargetKindText, kErrShapeTargetKind, kShapeErrorSource);
    }
    TargetObject = &Name;
    RegionHandle.reset();
    const bool loadMode = !FileName.empty() && Load;

    // The container's scale mode and the control's window device context are given back after the
    // region is handed over, or at once when an error ends the call.
    std::optional<ParentInPixels> parentInPixels;
    std::unique_ptr<PixelRows> pixels;
    RegionRect frame;
    if (IsButtonKind(kind)) {
        parentInPixels.emplace(Name);
        Name.SetCaption("");
        Name.SetBackColor(Color);
        Name.Refresh();
        pixels = Name.OpenPixels();
        TargetHeight = Name.PixelHeight();
        TargetWidth = Name.PixelWidth();
        frame = {kButtonInset, kButtonInset, TargetWidth - kButtonInset, TargetHeight - kButtonInset};
    } else {
        PrepareTarget();
        frame = {0, 0, TargetWidth, TargetHeight};
    }

    if (loadMode) {
        LoadRegionDataFromFile(FileName);
    } else {
        if (!pixels) {
            pixels = Name.OpenPixels();
        }
        const std::vector<RegionRun> runs = FindKeyRuns(*pixels, TargetWidth, TargetHeight, Color);
        // The runs are cut out of the frame band by band in one pass; cutting them out one at a time
        // gives the same region at a cost that grows with the square of the runs.
        RegionHandle = Region::FromRectWithoutRuns(frame, runs);
        if (!FileName.empty()) {
            SaveRegionDataToFile(FileName);
        }
    }

    Name.SetWindowRegion(std::move(RegionHandle));
    RegionHandle.reset();
    pixels.reset();
    parentInPixels.reset();
}

void ColorKeyForm::PrepareTarget() {
    TargetObject->PrepareForScan();
    TargetHeight = TargetObject->PixelHeight();
    TargetWidth = TargetObject->PixelWidth();
}

void ColorKeyForm::SaveRegionDataToFile(const std::string& FileName) {
    try {
        if (!RegionHandle) {
            throw PlatformError(kRegionSizeText, kErrRegionSize);
        }
        const std::vector<std::uint8_t> data = RegionHandle->ToRegionData();
        // The block states its rectangles' size in 32 bits; a region beyond that cannot be written.
        if (data.size() > std::numeric_limits<std::uint32_t>::max()) {
            throw PlatformError(kRegionDataText, kErrRegionData);
        }
        files_.WriteWholeFile(FileName, data);
    } catch (const PlatformError& e) {
        throw PlatformError(e.Description(), e.Number(), kShapeErrorSource);
    }
}

void ColorKeyForm::LoadRegionDataFromFile(const std::string& FileName) {
    std::vector<std::uint8_t> data;
    try {
        data = files_.ReadWholeFile(FileName);
        if (data.empty()) {
            throw PlatformError(kEmptyRegionFileText, kErrEmptyRegionFile);
        }
    } catch (const PlatformError& e) {
        throw PlatformError(e.Description(), e.Number(), kRegionFileErrorSource);
    }
    // A block the window system refuses gives the null region: the window keeps its whole rectangle.
    RegionHandle = Region::FromRegionData(data);
}

}  // namespace qm
