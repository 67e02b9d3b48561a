#include "system/color_key_form.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/platform_error.h"
#include "forms/bitmap.h"
#include "forms/pixel_rows.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_shape_target.h"

namespace qm {
namespace {

using sim::SimFiles;
using sim::SimShapeTarget;

constexpr std::uint32_t kRed = 0x000000FF;
constexpr char kFile[] = "C:\\Program Files\\Quillmere\\ieclosedelay.wr";

// A picture drawn with letters: 'R' pure red, 'r' a red one step off, anything else white.
Bitmap Picture(const std::vector<std::string>& rows) {
    Bitmap b(rows.empty() ? 0 : static_cast<std::int32_t>(rows[0].size()),
             static_cast<std::int32_t>(rows.size()), 0xFFFFFF);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        for (std::size_t x = 0; x < rows[y].size(); ++x) {
            const char c = rows[y][x];
            if (c == 'R' || c == 'r') {
                b.SetPixel(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                           c == 'R' ? kRed : 0xFE);
            }
        }
    }
    return b;
}

std::vector<RegionRun> RunsOf(const Bitmap& picture, std::uint32_t key) {
    SimShapeTarget target(ShapeTargetKind::PictureBox, picture);
    const auto pixels = target.OpenPixels();
    return FindKeyRuns(*pixels, picture.Width(), picture.Height(), key);
}

TEST(ColorKeyFormTest, FindsMaximalRunsInScanOrder) {
    const struct {
        const char* name;
        std::vector<std::string> rows;
        std::vector<RegionRun> runs;
    } cases[] = {
        {"no key colour", {"....", "r..r"}, {}},
        {"single pixels", {"R..R", ".R.."}, {{0, 0, 0}, {0, 3, 3}, {1, 1, 1}}},
        {"run reaching the right edge stays in its row", {"..RR", "RR.."}, {{0, 2, 3}, {1, 0, 1}}},
        {"whole rows", {"RRR", "RRR"}, {{0, 0, 2}, {1, 0, 2}}},
        {"a near colour breaks a run", {"RRrRR"}, {{0, 0, 1}, {0, 3, 4}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunsOf(Picture(c.rows), kRed), c.runs) << c.name;
    }
}

TEST(ColorKeyFormTest, ReadsOneBeyondEveryRowAndColumnButNeverMatchesThere) {
    const Bitmap picture = Picture({"RRR.", "....", ".RRR"});
    SimShapeTarget target(ShapeTargetKind::Form, picture);
    {
        const auto pixels = target.OpenPixels();
        FindKeyRuns(*pixels, 4, 3, kRed);
    }
    EXPECT_EQ(target.PixelReads(), 5 * 4);
    // A key equal to "no colour" finds nothing outside the picture, so nothing runs from one row into
    // the next.
    Bitmap white(3, 2, 0xFFFFFF);
    EXPECT_TRUE(RunsOf(white, kNoColour).empty());
    white.SetPixel(2, 0, kNoColour);
    white.SetPixel(0, 1, kNoColour);
    EXPECT_EQ(RunsOf(white, kNoColour), (std::vector<RegionRun>{{0, 2, 2}, {1, 0, 0}}));
}

TEST(ColorKeyFormTest, PictureWithoutKeyGivesThePlainRectangle) {
    const struct {
        ShapeTargetKind kind;
        RegionRect rect;
    } cases[] = {
        {ShapeTargetKind::Form, {0, 0, 9, 7}},          {ShapeTargetKind::PictureBox, {0, 0, 9, 7}},
        {ShapeTargetKind::CommandButton, {2, 2, 7, 5}}, {ShapeTargetKind::CheckBox, {2, 2, 7, 5}},
        {ShapeTargetKind::OptionButton, {2, 2, 7, 5}},
    };
    for (const auto& c : cases) {
        SimFiles files;
        SimShapeTarget target(c.kind, Bitmap(9, 7, 0x00FF00));
        ColorKeyForm(files).ShapeMe(target, kRed);
        ASSERT_TRUE(target.WindowRegion().has_value());
        EXPECT_EQ(target.WindowRegion()->Rects(), std::vector<RegionRect>{c.rect});
        EXPECT_EQ(files.WriteCount(), 0);
    }
}

TEST(ColorKeyFormTest, KnownShapeGivesExactRectanglesAndFileBytes) {
    // Rounded corners and a notch that reaches the right edge.
    const Bitmap picture = Picture({
        "R....R",
        "......",
        "....RR",
        "R....R",
    });
    SimFiles files;
    SimShapeTarget target(ShapeTargetKind::Form, picture);
    ColorKeyForm(files).ShapeMe(target, kRed, false, kFile);

    const std::vector<RegionRect> rects{{1, 0, 5, 1}, {0, 1, 6, 2}, {0, 2, 4, 3}, {1, 3, 5, 4}};
    ASSERT_TRUE(target.WindowRegion().has_value());
    EXPECT_EQ(target.WindowRegion()->Rects(), rects);
    const std::vector<std::uint8_t> block{
        32, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 64, 0, 0, 0,  //
        0,  0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 4,  0, 0, 0,  //
        1,  0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 1,  0, 0, 0,  //
        0,  0, 0, 0, 1, 0, 0, 0, 6, 0, 0, 0, 2,  0, 0, 0,  //
        0,  0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 3,  0, 0, 0,  //
        1,  0, 0, 0, 3, 0, 0, 0, 5, 0, 0, 0, 4,  0, 0, 0,  //
    };
    EXPECT_EQ(files.Contents(kFile), block);
}

TEST(ColorKeyFormTest, ScanMatchesCuttingRunsOneByOneOnRandomPictures) {
    std::mt19937 rng(2024);
    const ShapeTargetKind kinds[] = {ShapeTargetKind::Form, ShapeTargetKind::CommandButton};
    for (int round = 0; round < 200; ++round) {
        const ShapeTargetKind kind = kinds[round % 2];
        Bitmap picture(1 + static_cast<std::int32_t>(rng() % 24), 1 + static_cast<std::int32_t>(rng() % 12));
        const unsigned density = 1 + rng() % 4;
        for (std::int32_t y = 0; y < picture.Height(); ++y) {
            for (std::int32_t x = 0; x < picture.Width(); ++x) {
                picture.SetPixel(x, y, rng() % 5 < density ? kRed : 0x000000);
            }
        }
        SimFiles files;
        SimShapeTarget target(kind, picture);
        ColorKeyForm(files).ShapeMe(target, kRed);

        const std::int32_t inset = kind == ShapeTargetKind::Form ? 0 : 2;
        Region naive = Region::FromRect(inset, inset, picture.Width() - inset, picture.Height() - inset);
        for (const RegionRun& run : RunsOf(picture, kRed)) {
            const Region cut = Region::FromRect(run.x1, run.y, run.x2 + 1, run.y + 1);
            naive = naive.Difference(cut);
        }
        ASSERT_TRUE(target.WindowRegion().has_value());
        ASSERT_EQ(*target.WindowRegion(), naive) << round;
    }
}

TEST(ColorKeyFormTest, SavedRegionLoadsBackWithoutAScan) {
    const Bitmap picture = Picture({"RR..RR", "R....R", "......", "R....R"});
    SimFiles files;
    ColorKeyForm shaper(files);
    SimShapeTarget scanned(ShapeTargetKind::Form, picture);
    shaper.ShapeMe(scanned, kRed, false, kFile);

    SimShapeTarget loaded(ShapeTargetKind::Form, Bitmap(6, 4, kRed));
    shaper.ShapeMe(loaded, kRed, true, kFile);
    EXPECT_EQ(loaded.PixelReads(), 0);
    EXPECT_EQ(loaded.PrepareCalls(), 1);
    EXPECT_EQ(files.WriteCount(), 1);
    ASSERT_TRUE(loaded.WindowRegion().has_value());
    EXPECT_EQ(*loaded.WindowRegion(), *scanned.WindowRegion());

    // Load mode without a file name scans and writes nothing.
    SimShapeTarget unnamed(ShapeTargetKind::Form, picture);
    shaper.ShapeMe(unnamed, kRed, true, "");
    EXPECT_EQ(unnamed.PixelReads(), 7 * 5);
    EXPECT_EQ(*unnamed.WindowRegion(), *scanned.WindowRegion());
    EXPECT_EQ(files.WriteCount(), 1);
}

TEST(ColorKeyFormTest, ButtonsArePreparedAndTheirContainerRestored) {
    for (const bool load : {false, true}) {
        SimFiles files;
        files.SetFile(kFile, Region::FromRect(0, 0, 3, 3).ToRegionData());
        SimShapeTarget button(ShapeTargetKind::OptionButton, Bitmap(8, 8, 0));
        button.SetCaptionText("Open");
        ColorKeyForm(files).ShapeMe(button, kRed, load, kFile);
        EXPECT_EQ(button.Caption(), "");
        EXPECT_EQ(button.BackColor(), kRed);
        EXPECT_EQ(button.RefreshCalls(), 1);
        EXPECT_EQ(button.ParentScaleMode(), kScaleModeTwips);
        EXPECT_EQ(button.OpenReaders(), 0);
        EXPECT_EQ(button.WindowRegionCalls(), 1);
    }
}

TEST(ColorKeyFormTest, RefusesOtherKindsOfObject) {
    SimFiles files;
    SimShapeTarget label(ShapeTargetKind::Other, Bitmap(4, 4, kRed));
    label.SetCaptionText("Auto close after");
    try {
        ColorKeyForm(files).ShapeMe(label, kRed, false, kFile);
        FAIL() << "no error";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.Number(), -2147218992);
        EXPECT_EQ(e.Source(), "TransForm");
        EXPECT_EQ(e.Description(),
                  "Must pass in the name of a Form, PictureBox, CommandButton, CheckBox or OptionButton.  "
                  "TransForm ShapeMe method failed.");
    }
    EXPECT_EQ(label.Caption(), "Auto close after");
    EXPECT_EQ(label.PixelReads(), 0);
    EXPECT_EQ(label.WindowRegionCalls(), 0);
    EXPECT_FALSE(files.Exists(kFile));
}

TEST(ColorKeyFormTest, FileErrorsReachTheCallerAndLeaveTheWindowUnshaped) {
    enum class Setup { Missing, Empty, Locked, LockedForSave };
    const struct {
        const char* name;
        Setup setup;
        ShapeTargetKind kind;
        std::int32_t number;
        const char* source;
    } cases[] = {
        {"missing file", Setup::Missing, ShapeTargetKind::Form, 53, "Quillmere.cDIBSectionRegion"},
        {"empty file", Setup::Empty, ShapeTargetKind::PictureBox, 9, "Quillmere.cDIBSectionRegion"},
        {"locked file", Setup::Locked, ShapeTargetKind::CommandButton, 70, "Quillmere.cDIBSectionRegion"},
        {"file locked for saving", Setup::LockedForSave, ShapeTargetKind::CheckBox, 70, "TransForm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimFiles files;
        if (c.setup == Setup::Empty) {
            files.SetFile(kFile, {});
        }
        if (c.setup == Setup::Locked || c.setup == Setup::LockedForSave) {
            files.SetFile(kFile, Region::FromRect(0, 0, 2, 2).ToRegionData());
            files.Lock(kFile);
        }
        SimShapeTarget target(c.kind, Bitmap(6, 6, kRed));
        try {
            ColorKeyForm(files).ShapeMe(target, kRed, c.setup != Setup::LockedForSave, kFile);
            ADD_FAILURE() << "no error";
        } catch (const PlatformError& e) {
            EXPECT_EQ(e.Number(), c.number);
            EXPECT_EQ(e.Source(), c.source);
            EXPECT_FALSE(e.Description().empty());
        }
        EXPECT_EQ(target.WindowRegionCalls(), 0);
        // A button's container is back in its own units and the control's pixels are given back.
        EXPECT_EQ(target.ParentScaleMode(), kScaleModeTwips);
        EXPECT_EQ(target.OpenReaders(), 0);
    }
}

TEST(ColorKeyFormTest, DamagedRegionFileGivesNoShape) {
    const std::vector<std::uint8_t> good = Region::FromRect(0, 0, 5, 5).ToRegionData();
    std::vector<std::vector<std::uint8_t>> damaged;
    damaged.emplace_back(good.begin(), good.begin() + 40);  // cut inside the rectangle
    damaged.emplace_back(good.begin(), good.begin() + 3);   // cut inside the header
    damaged.push_back(good);
    damaged.back()[0] = 33;  // header size
    damaged.push_back(good);
    damaged.back()[4] = 2;  // type
    damaged.push_back(good);
    damaged.back()[11] = 0x10;  // count 0x10000001: its byte size wraps to 16 in 32 bits
    damaged.push_back(good);
    damaged.back()[32] = 9;  // left 9 lies right of right 5
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        SimFiles files;
        files.SetFile(kFile, damaged[i]);
        SimShapeTarget target(ShapeTargetKind::Form, Bitmap(5, 5, 0));
        ColorKeyForm(files).ShapeMe(target, kRed, true, kFile);
        EXPECT_EQ(target.WindowRegionCalls(), 1) << i;
        EXPECT_FALSE(target.WindowRegion().has_value()) << i;
    }
}

}  // namespace
}  // namespace qm
