// The ad pass over a generated page of 5,000 elements (1,000 images in links, 200 inline frames, 300
// floating layers), on the simulated platform. BM_RemoveAds is the whole pass; BM_PageCallsOnly makes
// the same page calls and yields without any decision, so the difference is the core's own work.
#include <benchmark/benchmark.h>

#include <string>

#include "base/object_ref.h"
#include "monitor/ad_remover.h"
#include "platform/sim/sim_platform.h"
#include "ports/element_collection.h"
#include "ports/page_element.h"
#include "settings/settings.h"
#include "shell/win_system.h"

namespace qm {
namespace {

constexpr int kLinkedImages = 1000;
constexpr int kFrames = 200;
constexpr int kFloats = 300;
constexpr int kElements = 5000;

std::string GeneratedPage() {
    std::string html = "<html><head><title>Generated</title></head><body>";
    int elements = 4;  // html, head, title, body
    for (int i = 0; i < kLinkedImages; ++i) {
        // One image in ten comes from an ad server; the rest are photos of ordinary sizes.
        const bool ad = i % 10 == 0;
        html += "<a href=\"/story/" + std::to_string(i) + ".html\"><img src=\"" +
                (ad ? std::string("http://adserver.example/") : std::string("/photos/")) + std::to_string(i) +
                ".jpg\" width=\"" + std::to_string(120 + i % 200) + "\" height=\"" +
                std::to_string(90 + i % 50) + "\"></a>";
        elements += 2;
    }
    for (int i = 0; i < kFrames; ++i) {
        html += "<iframe src=\"/widgets/" + std::to_string(i) + ".html\" width=\"" + std::to_string(200 + i) +
                "\" height=\"" + std::to_string(100 + i % 120) + "\"></iframe>";
        ++elements;
    }
    for (int i = 0; i < kFloats; ++i) {
        html += "<div style=\"position:absolute;left:" + std::to_string(i) + "px\"></div>";
        ++elements;
    }
    while (elements < kElements) {
        html += "<span>text</span>";
        ++elements;
    }
    return html + "</body></html>";
}

struct Fixture {
    Fixture() {
        app.Main();
        Settings& settings = app.AppSettings();
        settings.SetKillBanner(true);
        settings.SetKillIFrame(true);
        settings.SetKillFlash(true);
        settings.SetKillFloat(true);
        const std::string html = GeneratedPage();
        page = sim::SimDocument::Create(sim.world, std::make_shared<sim::Liveness>(), "http://gen.example/",
                                        html);
    }

    sim::SimPlatform sim;
    WinSystem app{sim.platform};
    std::shared_ptr<sim::SimDocument> page;
};

void BM_RemoveAds(benchmark::State& state) {
    Fixture f;
    AdRemover remover(f.app);
    const auto always = [] { return true; };
    remover.RemoveAds(f.page, always);  // the first pass replaces the ads; later ones find a clean page
    for (auto _ : state) {
        remover.RemoveAds(f.page, always);
    }
    state.counters["per_element"] =
        benchmark::Counter(static_cast<double>(kElements),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RemoveAds)->Unit(benchmark::kMillisecond);

// The same page calls as the pass makes, in the same order, with no decision taken.
void BM_PageCallsOnly(benchmark::State& state) {
    Fixture f;
    AdRemover(f.app).RemoveAds(f.page, [] { return true; });
    EventLoop& loop = f.sim.loop;
    for (auto _ : state) {
        auto all = Require(f.page->All());
        auto divs = Require(all->Tags("DIV"));
        for (std::int32_t i = 0, n = divs->Length(); i < n; ++i) {
            auto d = Require(divs->Item(i));
            benchmark::DoNotOptimize(d->GetStyle(StyleProperty::Position));
            benchmark::DoNotOptimize(d->InnerText());
            auto images = Require(Require(d->All())->Tags("IMG"));
            benchmark::DoNotOptimize(images->Length());
            d->SetStyle(StyleProperty::Visibility, "hidden");
            d->SetStyle(StyleProperty::Display, "none");
            loop.DoEvents();
        }
        auto images = Require(Require(f.page->All())->Tags("IMG"));
        for (std::int32_t i = 0, n = images->Length(); i < n; ++i) {
            auto img = Require(images->Item(i));
            benchmark::DoNotOptimize(Require(img->ParentElement())->TagName());
            benchmark::DoNotOptimize(img->Width());
            benchmark::DoNotOptimize(img->Height());
            benchmark::DoNotOptimize(img->GetAttribute("src"));
            benchmark::DoNotOptimize(img->GetStyle(StyleProperty::Visibility));
            img->SetStyle(StyleProperty::Visibility, "visible");
            loop.DoEvents();
        }
        auto frames = Require(Require(f.page->All())->Tags("IFRAME"));
        for (std::int32_t i = 0, n = frames->Length(); i < n; ++i) {
            auto frame = Require(frames->Item(i));
            benchmark::DoNotOptimize(frame->Width());
            benchmark::DoNotOptimize(frame->Height());
            auto window = frame->ContentWindow();
            benchmark::DoNotOptimize(Require(window)->Document());
            benchmark::DoNotOptimize(frame->GetAttribute("src"));
            benchmark::DoNotOptimize(frame->GetStyle(StyleProperty::Visibility));
            frame->SetStyle(StyleProperty::Visibility, "visible");
            loop.DoEvents();
        }
        auto flashAll = Require(f.page->All());
        benchmark::DoNotOptimize(Require(flashAll->Tags("EMBED"))->Length());
        benchmark::DoNotOptimize(Require(flashAll->Tags("OBJECT"))->Length());
    }
    state.counters["per_element"] =
        benchmark::Counter(static_cast<double>(kElements),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PageCallsOnly)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qm
