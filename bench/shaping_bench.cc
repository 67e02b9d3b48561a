// Window shaping: scanning pictures for the key colour and loading region files.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "forms/bitmap.h"
#include "forms/pixel_rows.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_shape_target.h"
#include "system/color_key_form.h"

namespace {

using qm::Bitmap;
using qm::ColorKeyForm;
using qm::ShapeTargetKind;

constexpr std::uint32_t kKeyRed = Bitmap::Rgb(255, 0, 0);

std::vector<std::uint8_t> ReadAsset(const char* name) {
    const auto path = std::filesystem::path(__FILE__).parent_path() / ".." / "assets" / name;
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bitmap Face() {
    return Bitmap::FromBmp(ReadAsset("ieclosedelay.bmp")).value_or(Bitmap(214, 71, 0));
}

// A picture with about one pixel in `oneIn` of the key colour, scattered at random.
Bitmap Scattered(std::int32_t width, std::int32_t height, unsigned oneIn) {
    std::mt19937 rng(42);
    Bitmap picture(width, height, 0xFFFFFF);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            if (rng() % oneIn == 0) {
                picture.SetPixel(x, y, kKeyRed);
            }
        }
    }
    return picture;
}

void Scan(benchmark::State& state, const Bitmap& picture) {
    qm::sim::SimFiles files;
    ColorKeyForm shaper(files);
    qm::sim::SimShapeTarget window(ShapeTargetKind::Form, picture);
    for (auto _ : state) {
        shaper.ShapeMe(window, kKeyRed);
        benchmark::DoNotOptimize(window.WindowRegion());
    }
    state.counters["rects"] = static_cast<double>(window.WindowRegion()->Rects().size());
    state.SetItemsProcessed(state.iterations() * picture.Width() * picture.Height());
}

void BM_ScanFace(benchmark::State& state) {
    Scan(state, Face());
}
BENCHMARK(BM_ScanFace)->Unit(benchmark::kMicrosecond);

void BM_ScanScattered1920x1080(benchmark::State& state) {
    Scan(state, Scattered(1920, 1080, 100));
}
BENCHMARK(BM_ScanScattered1920x1080)->Unit(benchmark::kMillisecond);

void Load(benchmark::State& state, std::vector<std::uint8_t> block) {
    qm::sim::SimFiles files;
    files.SetFile("ieclosedelay.wr", std::move(block));
    ColorKeyForm shaper(files);
    qm::sim::SimShapeTarget window(ShapeTargetKind::Form, Bitmap(214, 71, 0));
    for (auto _ : state) {
        shaper.ShapeMe(window, kKeyRed, true, "ieclosedelay.wr");
        benchmark::DoNotOptimize(window.WindowRegion());
    }
    state.counters["rects"] = static_cast<double>(window.WindowRegion()->Rects().size());
}

void BM_LoadFaceRegionFile(benchmark::State& state) {
    Load(state, ReadAsset("ieclosedelay.wr"));
}
BENCHMARK(BM_LoadFaceRegionFile)->Unit(benchmark::kMicrosecond);

// The region of the scattered 1920 x 1080 picture, about 21 000 rectangles.
void BM_LoadScatteredRegionFile(benchmark::State& state) {
    qm::sim::SimFiles files;
    qm::sim::SimShapeTarget window(ShapeTargetKind::Form, Scattered(1920, 1080, 100));
    ColorKeyForm(files).ShapeMe(window, kKeyRed, false, "scattered.wr");
    Load(state, files.Contents("scattered.wr"));
}
BENCHMARK(BM_LoadScatteredRegionFile)->Unit(benchmark::kMillisecond);

// Cutting the runs of a scattered picture out of its rectangle in one banded pass, against cutting
// them out one at a time (what the window system's CombineRgn loop costs).
void CutRuns(benchmark::State& state, bool oneByOne) {
    const auto side = static_cast<std::int32_t>(state.range(0));
    const Bitmap picture = Scattered(side, side, 100);
    qm::sim::SimShapeTarget window(ShapeTargetKind::Form, picture);
    const auto pixels = window.OpenPixels();
    const std::vector<qm::RegionRun> runs = qm::FindKeyRuns(*pixels, side, side, kKeyRed);
    for (auto _ : state) {
        qm::Region region;
        if (oneByOne) {
            region = qm::Region::FromRect(0, 0, side, side);
            for (const qm::RegionRun& run : runs) {
                region = region.Difference(qm::Region::FromRect(run.x1, run.y, run.x2 + 1, run.y + 1));
            }
        } else {
            region = qm::Region::FromRectWithoutRuns({0, 0, side, side}, runs);
        }
        benchmark::DoNotOptimize(region);
    }
    state.counters["runs"] = static_cast<double>(runs.size());
}

void BM_CutRunsBanded(benchmark::State& state) {
    CutRuns(state, false);
}
BENCHMARK(BM_CutRunsBanded)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMicrosecond);

void BM_CutRunsOneByOne(benchmark::State& state) {
    CutRuns(state, true);
}
BENCHMARK(BM_CutRunsOneByOne)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMicrosecond);

}  // namespace
