// What page work costs over the DevTools pipe in a real headless Chromium, with the program on top:
//
// - the whole ad pass (float, banner, frame and Flash passes, all four options on) on a page of 20,000
//   elements and on a news-like page of 5,000, from the start of the pass to its last write applied in
//   the page, batched as the program does it and, in the same run, with every read of an element a
//   protocol call of its own (and the writes sent at the end of each event); with the protocol calls
//   each pass made;
// - the batched read of 2,000 images in links against one call per read;
// - a caught popup, from its announcement to the browser's acknowledgement of the close and to its
//   target destroyed, for each way of ending it, the ways taking turns in one run.
//
//   qm_chromium_bench                                (needs /usr/bin/chromium; the pass over 20,000
//                                                     elements with one call per read alone takes minutes)
//   qm_chromium_bench --benchmark_filter=AdPass       (the ad passes only)
//   qm_chromium_bench --benchmark_filter=Popup        (the popup only)

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/platform_error.h"
#include "monitor/ad_remover.h"
#include "monitor/ie_monitor.h"
#include "platform/chromium/chromium_document.h"
#include "platform/chromium/chromium_harness.h"
#include "platform/chromium/page_context.h"
#include "ports/element_collection.h"
#include "ports/page_element.h"
#include "settings/settings.h"
#include "watch/ie_top_watcher.h"

namespace qm::cr {
namespace {

using testing::ChromiumHarness;
using Clock = std::chrono::steady_clock;

constexpr char kPixel[] = "data:image/gif;base64,R0lGODlhAQABAAAAACw=";
constexpr int kImages = 2000;

std::string ImagePage() {
    std::string html = "<!DOCTYPE html><html><head><title>Images</title></head><body>";
    for (int i = 0; i < kImages; ++i) {
        const std::string n = std::to_string(i);
        html += "<a href=\"/go" + n + "\"><img src=\"" + std::string(kPixel) + "\" alt=\"" + n +
                "\" width=\"468\" height=\"60\" style=\"visibility:hidden\"></a>";
    }
    return html + "</body></html>";
}

// What a generated page is made of. Elements: html, head, title and body, the layers, two for each
// linked image, one for each text link, image, frame and filler.
struct PageMix {
    int divs;          // layers, the floating ones among them
    int floats;        // layers positioned absolutely without text, each with one image inside
    int linkedImages;  // images inside links
    int banners;       // of those, banner-shaped (468 x 60): replaced
    int textLinks;     // links without an image
    int images;        // images outside links (the floating layers' images among them)
    int frames;        // inline frames: a third banner-sized and blank, a third of the same site, a third
                       // of another site
    int fillers;       // paragraphs and spans of text

    constexpr int Elements() const {
        return 4 + divs + 2 * linkedImages + textLinks + images + frames + fillers;
    }
};

// 20,000 elements: 3,000 layers, 7,000 images, 4,000 links, 200 frames.
constexpr PageMix kBigPage{3000, 50, 4000, 300, 0, 3000, 200, 5796};
// 5,000 elements, mostly layers and text, a few hundred links and images, a handful of ads.
constexpr PageMix kNewsPage{1500, 2, 150, 3, 200, 150, 5, 2841};
static_assert(kBigPage.Elements() == 20000);
static_assert(kNewsPage.Elements() == 5000);

// The page's content is dealt out round-robin into its ordinary layers, so every layer holds a little
// of everything, as the blocks of a real page do.
std::string MixedPage(const PageMix& mix, const std::string& otherSite) {
    const int blocks = mix.divs - mix.floats;
    std::vector<std::string> content(static_cast<std::size_t>(blocks));
    int next = 0;
    const auto put = [&](const std::string& html) {
        content[static_cast<std::size_t>(next++ % blocks)] += html;
    };
    const std::string pixel = kPixel;
    const int bannerStride = mix.linkedImages / std::max(1, mix.banners);
    for (int i = 0; i < mix.linkedImages; ++i) {
        const bool banner = i % bannerStride == 0 && i / bannerStride < mix.banners;
        put("<a href=\"/story" + std::to_string(i) + "\"><img src=\"" + pixel + "\" " +
            (banner ? "width=\"468\" height=\"60\"" : "width=\"120\" height=\"90\"") + "></a>");
    }
    for (int i = 0; i < mix.textLinks; ++i) {
        put("<a href=\"/read" + std::to_string(i) + "\">Read more</a>");
    }
    for (int i = 0; i < mix.images - mix.floats; ++i) {
        put("<img src=\"" + pixel + "\" width=\"100\" height=\"100\">");
    }
    for (int i = 0; i < mix.frames; ++i) {
        if (i % 3 == 0) {
            put("<iframe src=\"about:blank\" width=\"468\" height=\"60\"></iframe>");
        } else if (i % 3 == 1) {
            put("<iframe src=\"/frame.html\" width=\"300\" height=\"250\"></iframe>");
        } else {
            put("<iframe src=\"" + otherSite + "\" width=\"728\" height=\"90\"></iframe>");
        }
    }
    for (int i = 0; i < mix.fillers; ++i) {
        put(i % 2 == 0 ? "<span>Markets closed higher on Tuesday. </span>"
                       : "<p>The council met again to discuss the new bridge.</p>");
    }
    std::string html = "<!DOCTYPE html><html><head><title>Mixed</title></head><body>";
    for (const auto& block : content) {
        html += "<div class=\"block\">" + block + "</div>";
    }
    for (int i = 0; i < mix.floats; ++i) {
        html += "<div style=\"position:absolute;left:" + std::to_string(10 * i) + "px;top:0\"><img src=\"" +
                pixel + "\" width=\"300\" height=\"250\"></div>";
    }
    return html + "</body></html>";
}

// One browser for the whole run, with the program's world on it and the program started (its options
// all on, its monitors ended, so that only the benchmark works on the page).
struct Page {
    ChromiumHarness h;
    std::shared_ptr<ChromiumBrowser> browser;
    std::string driver;
    bool ok = false;
    int loads = 0;
    std::map<std::string, std::string> pages;

    Page() {
        std::string why;
        if (!h.StartBrowser(why)) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return;
        }
        Add("/images.html", ImagePage());
        h.server.AddPage("/frame.html", "<!DOCTYPE html><html><body><p>A frame.</p></body></html>");
        Add("/opener.html",
            "<!DOCTYPE html><html><body style='margin:0'><button id='b' style='width:200px;height:50px' "
            "onclick=\"window.open('/popup.html','_blank')\">open</button></body></html>");
        h.StartProgram();
        Settings& settings = h.app->AppSettings();
        settings.SetKillBanner(true);
        settings.SetKillFloat(true);
        settings.SetKillIFrame(true);
        settings.SetKillFlash(true);
        browser = h.FirstBrowser();
        // Once the page has been announced (and got its monitor), the monitors go.
        ok = h.RunUntil([&] { return browser->Target()->announced && !h.app->Hub().IEMonitors.empty(); });
        EndMonitors();
        driver = h.AttachDriver(browser);
        ok = ok && Load("/images.html");
    }
    void EndMonitors() {
        for (const auto& monitor : h.app->Hub().IEMonitors) {
            monitor->Unload();
        }
        h.app->Hub().IEMonitors.clear();
    }
    // Keeps `html` as the page `path`.
    void Add(const std::string& path, std::string html) { pages[path] = std::move(html); }
    // Loads the page `path` as a new document (under an address of its own, so that the browser loads it
    // again) and waits until it has loaded.
    bool Load(const std::string& path) {
        const std::string fresh = path + "?load=" + std::to_string(++loads);
        h.server.AddPage(fresh, pages[path]);
        const std::string url = h.server.Url(fresh);
        return h.Navigate(browser, driver, url) &&
               h.RunUntil([&] { return h.Evaluate(driver, "document.readyState") == "complete"; }, 30000);
    }
    std::shared_ptr<ChromiumDocument> Document() {
        return std::static_pointer_cast<ChromiumDocument>(browser->Document());
    }
};

Page& SharedPage() {
    static Page page;
    return page;
}

// What the banner pass reads of each image: its tag, its parent's tag, size, src and the link's href.
void ReadLikeTheBannerPass(ElementCollection& images, benchmark::State& state) {
    const std::int32_t n = images.Length();
    std::int64_t bytes = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const auto image = images.Item(i);
        const auto parent = image->ParentElement();
        bytes += static_cast<std::int64_t>(parent->TagName().size() + VariantToText(image->Width()).size() +
                                           VariantToText(image->Height()).size() +
                                           VariantToText(image->GetAttribute("src")).size() +
                                           VariantToText(parent->GetAttribute("href")).size() +
                                           image->GetStyle(StyleProperty::Visibility).size());
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["elements"] = n;
}

void BM_BatchedReadOf2000Images(benchmark::State& state) {
    Page& page = SharedPage();
    if (!page.ok || !page.Load("/images.html")) {
        state.SkipWithError("no browser");
        return;
    }
    const auto doc = page.Document();
    for (auto _ : state) {
        const int before = doc->Context()->CallCount();
        ReadLikeTheBannerPass(*doc->All()->Tags("IMG"), state);
        state.counters["calls"] = doc->Context()->CallCount() - before;
    }
}
BENCHMARK(BM_BatchedReadOf2000Images)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OneCallPerReadOf2000Images(benchmark::State& state) {
    Page& page = SharedPage();
    if (!page.ok || !page.Load("/images.html")) {
        state.SkipWithError("no browser");
        return;
    }
    const auto doc = page.Document();
    doc->Context()->SetBatching(PageContext::Batching::PerElement);
    for (auto _ : state) {
        const int before = doc->Context()->CallCount();
        ReadLikeTheBannerPass(*doc->All()->Tags("IMG"), state);
        state.counters["calls"] = doc->Context()->CallCount() - before;
    }
}
BENCHMARK(BM_OneCallPerReadOf2000Images)->Unit(benchmark::kMillisecond)->Iterations(1);

// The program's whole ad pass over a fresh copy of a generated page, from its start to its last write
// applied (a read after the pass comes back only once the page has run every write sent before it).
// Argument 0: the program's batched reads; 1: one call per read.
void AdPass(benchmark::State& state, const PageMix& mix, const char* path) {
    Page& page = SharedPage();
    if (!page.ok) {
        state.SkipWithError("no browser");
        return;
    }
    page.Add(path, MixedPage(mix, page.h.server.Url("/frame.html", "localhost")));
    const bool perElement = state.range(0) == 1;
    IETopWatcher& hub = page.h.app->Hub();
    AdRemover remover(*page.h.app);
    double calls = 0;
    double writes = 0;
    double floats = 0;
    double banners = 0;
    double frames = 0;
    double flash = 0;
    for (auto _ : state) {
        if (!page.Load(path)) {
            state.SkipWithError("the page did not load");
            return;
        }
        page.EndMonitors();
        const auto doc = page.Document();
        const auto& context = doc->Context();
        // The program puts its hiding sheet in when the document is activated, and a pass starts later, at
        // a change of the element count: the page has drawn itself with the sheet by then.
        remover.InstallHidingStyleSheet(doc);
        page.h.RunFor(500);
        if (perElement) {
            context->SetBatching(PageContext::Batching::PerElement);
        }
        context->RunOne({"count", 1, ""});
        const int callsBefore = context->CallCount();
        const int writesBefore = context->WriteBatchCount();
        const std::int32_t counts[] = {hub.KilledFloatNumber, hub.KilledBannerNumber, hub.KilledIFrameNumber,
                                       hub.KilledFlashNumber};

        const auto start = Clock::now();
        remover.RemoveAds(doc, [] { return true; });
        context->RunOne({"count", 1, ""});
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());

        // The closing read is the measurement's, not the pass's.
        calls += context->CallCount() - callsBefore - 1;
        writes += context->WriteBatchCount() - writesBefore;
        floats += hub.KilledFloatNumber - counts[0];
        banners += hub.KilledBannerNumber - counts[1];
        frames += hub.KilledIFrameNumber - counts[2];
        flash += hub.KilledFlashNumber - counts[3];
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["elements"] = mix.Elements();
    state.counters["read_calls"] = calls / n;
    state.counters["write_calls"] = writes / n;
    state.counters["floats"] = floats / n;
    state.counters["banners"] = banners / n;
    state.counters["frames"] = frames / n;
    state.counters["flash"] = flash / n;
}

// A browser that does not answer in time ends the benchmark with an error, not the run.
void Guarded(benchmark::State& state, const std::function<void()>& body) {
    try {
        body();
    } catch (const PlatformError& e) {
        state.SkipWithError(e.what());
    }
}

void BM_AdPass20000Elements(benchmark::State& state) {
    Guarded(state, [&] { AdPass(state, kBigPage, "/big.html"); });
}
BENCHMARK(BM_AdPass20000Elements)
    ->ArgName("per_element")
    ->Arg(0)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
// One call per read costs seconds here: one pass is enough to see it.
BENCHMARK(BM_AdPass20000Elements)
    ->ArgName("per_element")
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

void BM_AdPassNewsPage5000Elements(benchmark::State& state) {
    Guarded(state, [&] { AdPass(state, kNewsPage, "/news.html"); });
}
BENCHMARK(BM_AdPassNewsPage5000Elements)
    ->ArgName("per_element")
    ->Arg(0)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_AdPassNewsPage5000Elements)
    ->ArgName("per_element")
    ->Arg(1)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// Hands every new window of the opener to a hidden browser, which refuses the address: the popup is
// killed before its page runs. Notes when each was announced.
class Catcher final : public BrowserEvents, public HiddenBrowserEvents {
  public:
    explicit Catcher(ChromiumWorld& world) : world_(world) {}
    void IE_BeforeNavigate2(const std::string&, bool&) override {}
    void IE_DownloadBegin() override {}
    void IE_NewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool&) override {
        announcedAt = Clock::now();
        ++announced;
        hidden = world_.CreateHiddenBrowser();
        connection = hidden->Connect(self.lock());
        ppDisp = hidden;
    }
    void IE_OnQuit() override {}
    void IE_StatusTextChange(const std::string&) override {}
    void Browser_BeforeNavigate2(const std::string& url, bool& cancel) override {
        // A popup opened blank is let go at once and announces "about:blank"; its real address follows
        // when its opener sends it somewhere.
        (url == "about:blank" ? blankAt : addressAt) = Clock::now();
        cancel = true;
    }
    void Browser_NewWindow2(std::shared_ptr<HiddenBrowser>&, bool& cancel) override { cancel = true; }

    std::weak_ptr<Catcher> self;
    Clock::time_point announcedAt;
    Clock::time_point blankAt;
    Clock::time_point addressAt;
    int announced = 0;
    std::shared_ptr<HiddenBrowser> hidden;
    std::unique_ptr<EventConnection> connection;

  private:
    ChromiumWorld& world_;
};

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double Minimum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

// Every way of ending a caught popup, taking turns, 20 popups each, from one opener loaded once. Two
// figures per popup: announcement to the close acknowledged, and announcement to the target destroyed.
// A turn in which no popup is announced, or in which it is not destroyed, is counted as missed.
void BM_PopupKill(benchmark::State& state) {
    constexpr int kRepetitions = 20;
    Page& page = SharedPage();
    if (!page.ok || !page.Load("/opener.html")) {
        state.SkipWithError("no browser");
        return;
    }
    ChromiumWorld& world = *page.h.world;
    auto catcher = std::make_shared<Catcher>(world);
    catcher->self = catcher;
    const auto sink = page.browser->Connect(catcher);
    // Taken on the I/O thread, where the answer arrives.
    std::atomic<Clock::rep> acknowledgedAt{0};
    world.SetOnPopupCloseAcknowledged([&] { acknowledgedAt = Clock::now().time_since_epoch().count(); });
    Clock::time_point destroyedAt;
    world.SetOnPopupClosed([&] { destroyedAt = Clock::now(); });

    struct Way {
        const char* name;
        ChromiumWorld::KillSequence sequence;
        std::vector<double> acknowledged;
        std::vector<double> destroyed;
        int missed = 0;
    };
    std::vector<Way> ways = {
        {"close_resume", ChromiumWorld::KillSequence::CloseThenResume, {}, {}, 0},
        {"pageclose_resume", ChromiumWorld::KillSequence::PageCloseThenResume, {}, {}, 0},
        {"old_blank_resume_close", ChromiumWorld::KillSequence::BlankResumeClose, {}, {}, 0}};
    const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    for (auto _ : state) {
        for (int rep = 0; rep < kRepetitions; ++rep) {
            for (Way& way : ways) {
                world.SetKillSequence(way.sequence);
                const int announced = catcher->announced;
                acknowledgedAt = 0;
                destroyedAt = {};
                page.h.Click(page.driver, 100, 25);
                if (!page.h.RunUntil([&] { return catcher->announced > announced; }, 5000) ||
                    !page.h.RunUntil(
                        [&] { return destroyedAt != Clock::time_point{} && acknowledgedAt != 0; }, 5000)) {
                    ++way.missed;
                    continue;
                }
                const Clock::time_point acknowledged{Clock::duration{acknowledgedAt.load()}};
                way.acknowledged.push_back(ms(acknowledged - catcher->announcedAt));
                way.destroyed.push_back(ms(destroyedAt - catcher->announcedAt));
                // The opener answers at once: it was let go.
                try {
                    page.h.Evaluate(page.driver, "1+1");
                } catch (const PlatformError&) {
                    ++way.missed;
                }
            }
        }
    }
    world.SetOnPopupClosed(nullptr);
    world.SetOnPopupCloseAcknowledged(nullptr);
    world.SetKillSequence(ChromiumWorld::KillSequence::CloseThenResume);
    for (const Way& way : ways) {
        const std::string n = way.name;
        state.counters[n + "_destroyed_median_ms"] = Median(way.destroyed);
        state.counters[n + "_destroyed_min_ms"] = Minimum(way.destroyed);
        state.counters[n + "_ack_median_ms"] = Median(way.acknowledged);
        state.counters[n + "_ack_min_ms"] = Minimum(way.acknowledged);
        state.counters[n + "_missed"] = way.missed;
    }
    state.counters["popup_page_requested"] = page.h.server.WasRequested("/popup.html") ? 1 : 0;
}
BENCHMARK(BM_PopupKill)->Unit(benchmark::kMillisecond)->Iterations(1);

// How long after a blank popup is let go its opener's request for the real address arrives, for openers
// that send it somewhere right after window.open(): what the grace before such a popup is closed must
// cover. A popup whose address came only after the grace (it was closed by then) is counted as late.
void BM_BlankPopupFirstRequest(benchmark::State& state) {
    constexpr int kRepetitions = 20;
    static const char* const kOpeners[] = {
        "var w = window.open('about:blank'); w.location = '/landing.html';",
        "var w = window.open(''); w.location.href = '/landing.html';",
        "var w = window.open(''); setTimeout(function () { w.location = '/landing.html'; }, 0);",
    };
    Page& page = SharedPage();
    const std::string opener = kOpeners[state.range(0)];
    page.Add(
        "/blank_opener.html",
        "<!DOCTYPE html><html><body style='margin:0'><button style='width:200px;height:50px' onclick=\"" +
            opener + "\">open</button></body></html>");
    if (!page.ok || !page.Load("/blank_opener.html")) {
        state.SkipWithError("no browser");
        return;
    }
    auto catcher = std::make_shared<Catcher>(*page.h.world);
    catcher->self = catcher;
    const auto sink = page.browser->Connect(catcher);
    std::vector<double> delays;
    int late = 0;
    const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    for (auto _ : state) {
        for (int rep = 0; rep < kRepetitions; ++rep) {
            const int killed = page.h.world->KilledPopupCount();
            catcher->blankAt = {};
            catcher->addressAt = {};
            page.h.Click(page.driver, 100, 25);
            if (!page.h.RunUntil([&] { return page.h.world->KilledPopupCount() > killed; }, 5000)) {
                ++late;
                continue;
            }
            if (catcher->addressAt == Clock::time_point{} || catcher->blankAt == Clock::time_point{}) {
                ++late;
                continue;
            }
            delays.push_back(ms(catcher->addressAt - catcher->blankAt));
            page.h.RunFor(50);
        }
    }
    state.counters["request_median_ms"] = Median(delays);
    state.counters["request_max_ms"] = delays.empty() ? 0 : *std::max_element(delays.begin(), delays.end());
    state.counters["late"] = late;
    state.counters["grace_ms"] = ChromiumWorld::kBlankPopupGraceMs;
}
BENCHMARK(BM_BlankPopupFirstRequest)
    ->ArgName("opener")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace qm::cr

BENCHMARK_MAIN();
