// Draws the program's pictures and writes the countdown window's region file from its face:
//
//   qm_make_assets <assets folder>
//
// writes ieclosedelay.bmp (the countdown window's face, 214 x 71 pixels in four colours, pure red where
// the window is cut away), ieclosedelay.wr (the face's outline, by the shaper's save mode) and the three
// 10 x 10 lights of the image button: light_out.bmp (resting), light_over.bmp (hover) and
// light_down.bmp (pressed), the settings window's background ieset.bmp and the "What's this?" window's
// picture of a network message, msgpopup.bmp. The same program gives the same bytes on every platform.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/platform_error.h"
#include "forms/bitmap.h"
#include "platform/sim/sim_shape_target.h"
#include "ports/file_system.h"
#include "system/color_key_form.h"

namespace {

using qm::Bitmap;

// The four colours of the face.
constexpr std::uint32_t kBlack = Bitmap::Rgb(0, 0, 0);
constexpr std::uint32_t kWhite = Bitmap::Rgb(255, 255, 255);
constexpr std::uint32_t kGrey = Bitmap::Rgb(138, 137, 137);
constexpr std::uint32_t kKeyRed = Bitmap::Rgb(255, 0, 0);

constexpr std::int32_t kFaceWidth = 214;
constexpr std::int32_t kFaceHeight = 71;

// Files on the disk, for this program only.
class DiskFiles final : public qm::FileSystem {
  public:
    std::vector<std::uint8_t> ReadWholeFile(const std::string& path) override {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            throw qm::PlatformError(qm::kFileNotFoundText, qm::kErrFileNotFound);
        }
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) override {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw qm::PlatformError(qm::kPathFileAccessText, qm::kErrPathFileAccess);
        }
    }
};

// Whether the centre of pixel (x, y) lies inside the rectangle [left, right) x [top, bottom) with
// corners rounded to `radius`. Worked in half pixels so that every test is exact.
bool InRoundedRect(std::int32_t x,
                   std::int32_t y,
                   std::int32_t left,
                   std::int32_t top,
                   std::int32_t right,
                   std::int32_t bottom,
                   std::int32_t radius) {
    if (x < left || x >= right || y < top || y >= bottom) {
        return false;
    }
    const std::int32_t px = 2 * x + 1;
    const std::int32_t py = 2 * y + 1;
    const std::int32_t cx = px < 2 * (left + radius)    ? 2 * (left + radius)
                            : px > 2 * (right - radius) ? 2 * (right - radius)
                                                        : px;
    const std::int32_t cy = py < 2 * (top + radius)      ? 2 * (top + radius)
                            : py > 2 * (bottom - radius) ? 2 * (bottom - radius)
                                                         : py;
    const std::int32_t dx = px - cx;
    const std::int32_t dy = py - cy;
    return dx * dx + dy * dy <= 4 * radius * radius;
}

void FillRoundedRect(Bitmap& bitmap,
                     std::int32_t left,
                     std::int32_t top,
                     std::int32_t right,
                     std::int32_t bottom,
                     std::int32_t radius,
                     std::uint32_t colour) {
    for (std::int32_t y = top; y < bottom; ++y) {
        for (std::int32_t x = left; x < right; ++x) {
            if (InRoundedRect(x, y, left, top, right, bottom, radius)) {
                bitmap.SetPixel(x, y, colour);
            }
        }
    }
}

void FrameRect(Bitmap& bitmap,
               std::int32_t left,
               std::int32_t top,
               std::int32_t right,
               std::int32_t bottom,
               std::uint32_t colour) {
    bitmap.Fill(left, top, right, top + 1, colour);
    bitmap.Fill(left, bottom - 1, right, bottom, colour);
    bitmap.Fill(left, top, left + 1, bottom, colour);
    bitmap.Fill(right - 1, top, right, bottom, colour);
}

// The countdown window's face. Its controls (in pixels) lie at: countdown line y 8 to 22 from x 40 to
// 177, address field x 16 to 200, y 22 to 36, and the two buttons x 56 to 160, y 37 to 49.
Bitmap DrawFace() {
    Bitmap face(kFaceWidth, kFaceHeight, kKeyRed);
    // A black hairline round the outline, a grey border two pixels wide, and the white panel.
    FillRoundedRect(face, 0, 0, kFaceWidth, kFaceHeight, 9, kBlack);
    FillRoundedRect(face, 1, 1, kFaceWidth - 1, kFaceHeight - 1, 8, kGrey);
    FillRoundedRect(face, 3, 3, kFaceWidth - 3, kFaceHeight - 3, 6, kWhite);

    // A black badge with a white exclamation mark left of the countdown line.
    FillRoundedRect(face, 13, 5, 27, 19, 7, kBlack);
    face.Fill(19, 8, 21, 14, kWhite);
    face.Fill(19, 15, 21, 17, kWhite);

    // A grey frame round the address field.
    FrameRect(face, 15, 21, 202, 38, kGrey);

    // A grey rule under the buttons, closed by two black ticks.
    face.Fill(14, 55, 200, 56, kGrey);
    face.Fill(12, 54, 14, 57, kBlack);
    face.Fill(200, 54, 202, 57, kBlack);
    return face;
}

// One light of the image button: a round lamp with a dark blue rim on the control's white background,
// its glass in `glass` with a small `shine` at the upper left.
Bitmap DrawLight(std::uint32_t glass, std::uint32_t shine) {
    constexpr std::uint32_t kRim = Bitmap::Rgb(0, 0, 127);
    constexpr std::uint32_t kSoftRim = Bitmap::Rgb(128, 140, 200);
    Bitmap light(10, 10, kWhite);
    for (std::int32_t y = 0; y < 10; ++y) {
        for (std::int32_t x = 0; x < 10; ++x) {
            // Distance from the centre in half pixels, squared: the rim runs from 4 to 5 pixels out.
            const std::int32_t dx = 2 * x + 1 - 10;
            const std::int32_t dy = 2 * y + 1 - 10;
            const std::int32_t d = dx * dx + dy * dy;
            if (d <= 64) {
                light.SetPixel(x, y, glass);
            } else if (d <= 82) {
                light.SetPixel(x, y, kRim);
            } else if (d <= 100) {
                light.SetPixel(x, y, kSoftRim);
            }
        }
    }
    light.SetPixel(3, 3, shine);
    light.SetPixel(4, 3, shine);
    light.SetPixel(3, 4, shine);
    return light;
}

// The settings window's background, 720 x 510: a deep blue band under the white title at the top, a
// band under the program's name at the bottom left, and a thin rule between the two columns of options.
Bitmap DrawSettingsBackground() {
    constexpr std::uint32_t kBand = Bitmap::Rgb(22, 56, 124);
    constexpr std::uint32_t kBandEdge = Bitmap::Rgb(96, 146, 222);
    constexpr std::uint32_t kRule = Bitmap::Rgb(214, 222, 236);
    Bitmap background(720, 510, kWhite);
    background.Fill(0, 0, 720, 56, kBand);
    background.Fill(0, 56, 720, 59, kBandEdge);
    background.Fill(0, 440, 372, 480, kBand);
    background.Fill(0, 437, 372, 440, kBandEdge);
    background.Fill(368, 72, 369, 430, kRule);
    return background;
}

// A small picture of a network message as the messenger service shows it, 90 x 53: a grey dialog with a
// blue caption bar, three lines of text and an OK button.
Bitmap DrawMessagePopup() {
    constexpr std::uint32_t kDialog = Bitmap::Rgb(212, 208, 200);
    constexpr std::uint32_t kCaption = Bitmap::Rgb(10, 36, 106);
    constexpr std::uint32_t kText = Bitmap::Rgb(60, 60, 60);
    Bitmap popup(90, 53, kDialog);
    FrameRect(popup, 0, 0, 90, 53, Bitmap::Rgb(64, 64, 64));
    popup.Fill(1, 1, 89, 10, kCaption);
    popup.Fill(3, 3, 40, 8, Bitmap::Rgb(200, 210, 240));  // the caption's text
    popup.Fill(80, 2, 87, 9, kDialog);                    // the close box
    popup.Fill(6, 15, 78, 17, kText);
    popup.Fill(6, 21, 70, 23, kText);
    popup.Fill(6, 27, 52, 29, kText);
    popup.Fill(33, 37, 57, 49, kWhite);
    FrameRect(popup, 33, 37, 57, 49, Bitmap::Rgb(64, 64, 64));
    popup.Fill(40, 42, 50, 44, kText);  // "OK"
    return popup;
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qm_make_assets <assets folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const Bitmap face = DrawFace();
    const struct {
        const char* name;
        Bitmap picture;
    } pictures[] = {
        {"ieclosedelay.bmp", face},
        {"light_out.bmp", DrawLight(Bitmap::Rgb(190, 210, 245), Bitmap::Rgb(255, 255, 255))},
        {"light_over.bmp", DrawLight(Bitmap::Rgb(80, 140, 235), Bitmap::Rgb(210, 228, 255))},
        {"light_down.bmp", DrawLight(Bitmap::Rgb(20, 50, 150), Bitmap::Rgb(90, 120, 210))},
        {"ieset.bmp", DrawSettingsBackground()},
        {"msgpopup.bmp", DrawMessagePopup()},
    };
    for (const auto& p : pictures) {
        if (!WriteBytes(folder + "/" + p.name, p.picture.ToBmp())) {
            std::fprintf(stderr, "qm_make_assets: cannot write %s/%s\n", folder.c_str(), p.name);
            return 1;
        }
    }

    // The region file, exactly as the countdown window's shaper writes it in save mode.
    DiskFiles files;
    qm::sim::SimShapeTarget target(qm::ShapeTargetKind::Form, face);
    try {
        qm::ColorKeyForm(files).ShapeMe(target, kKeyRed, false, folder + "/ieclosedelay.wr");
    } catch (const qm::PlatformError& e) {
        std::fprintf(stderr, "qm_make_assets: %s (%s)\n", e.Description().c_str(), e.Source().c_str());
        return 1;
    }
    return 0;
}
