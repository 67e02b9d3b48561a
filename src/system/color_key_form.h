#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "forms/region.h"

namespace qm {

class FileSystem;
class PixelRows;
class ShapeTarget;

// The errors the shaper raises: numbers, sources and descriptions.
inline constexpr std::int32_t kErrShapeTargetKind = static_cast<std::int32_t>(0x800409D0u);
inline constexpr std::int32_t kErrRegionData = static_cast<std::int32_t>(0x800409D1u);
inline constexpr std::int32_t kErrRegionSize = static_cast<std::int32_t>(0x800409D2u);
inline constexpr char kShapeErrorSource[] = "TransForm";
inline constexpr char kRegionFileErrorSource[] = "Quillmere.cDIBSectionRegion";
inline constexpr char kShapeTargetKindText[] =
    "Must pass in the name of a Form, PictureBox, CommandButton, CheckBox or OptionButton.  "
    "TransForm ShapeMe method failed.";
inline constexpr char kRegionDataText[] = "Unable to get region data in SaveRegionDataToFile";
inline constexpr char kRegionSizeText[] = "Unable to determine size of region in SaveRegionDataToFile";
// An empty region file leaves nothing to read a block into; the runtime reports that as a subscript out
// of range.
inline constexpr std::int32_t kErrEmptyRegionFile = 9;
inline constexpr char kEmptyRegionFileText[] = "Subscript out of range";

// The key-coloured runs of a picture of `width` x `height` pixels, in scan order: rows from the top,
// within a row from the left, each run a maximal stretch of pixels of exactly `key`. Reads every
// position from (0, 0) to (width, height) inclusive, one row at a time; the positions one beyond the
// last column and row lie outside the picture and never belong to a run, so every run ends in its own
// row, whatever the key.
std::vector<RegionRun> FindKeyRuns(PixelRows& pixels,
                                   std::int32_t width,
                                   std::int32_t height,
                                   std::uint32_t key);

// Gives a window object an outline cut by a key colour: every pixel of exactly that colour is cut out
// of the window. The outline can be saved to a region data file once and loaded from it later instead
// of reading the pixels again. One object may shape several windows, one call at a time, on the
// user-interface thread.
class ColorKeyForm {
  public:
    explicit ColorKeyForm(FileSystem& files) : files_(files) {}
    ColorKeyForm(const ColorKeyForm&) = delete;
    ColorKeyForm& operator=(const ColorKeyForm&) = delete;

    // Shapes `Name` with the key colour `Color` (0x00BBGGRR). With `Load` and a `FileName`, the outline
    // is read from that file (load mode); otherwise the pixels are scanned, and with a `FileName` but not
    // `Load` the scanned outline is also written to the file (save mode).
    //
    // Forms and picture boxes keep their whole inner rectangle less the key pixels; the three button
    // kinds lose a border of 2 pixels on every side as well. A region file the window system would refuse
    // leaves the window without a shape (its whole rectangle).
    //
    // Throws PlatformError: for any other kind of object (kErrShapeTargetKind, source "TransForm",
    // nothing changed); when the region file cannot be read or is empty (the file error's number and
    // description, source kRegionFileErrorSource); when the region cannot be written (source
    // "TransForm"). After an error the window keeps the shape it had; a button's container gets its scale
    // mode back and the control's pixels are given back in every case.
    void ShapeMe(ShapeTarget& Name, std::uint32_t Color, bool Load = false, const std::string& FileName = {});

  private:
    void PrepareTarget();
    void SaveRegionDataToFile(const std::string& FileName);
    void LoadRegionDataFromFile(const std::string& FileName);

    FileSystem& files_;
    // The outline being built; nothing stands for the null region (no shape).
    std::optional<Region> RegionHandle;
    ShapeTarget* TargetObject = nullptr;
    std::int32_t TargetHeight = 0;
    std::int32_t TargetWidth = 0;
};

}  // namespace qm
