// What page work costs over the DevTools pipe in a real headless Chromium: the ad pass's batched read of
// a page of 2,000 images in links against one protocol call per read, and a caught popup from its
// announcement to its closed target.
//
//   qm_chromium_bench --benchmark_filter=.   (needs /usr/bin/chromium)

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/chromium/chromium_document.h"
#include "platform/chromium/chromium_harness.h"
#include "platform/chromium/page_context.h"
#include "ports/element_collection.h"
#include "ports/page_element.h"

namespace qm::cr {
namespace {

using testing::ChromiumHarness;

constexpr int kImages = 2000;

std::string ImagePage() {
    std::string html = "<!DOCTYPE html><html><head><title>Images</title></head><body>";
    for (int i = 0; i < kImages; ++i) {
        const std::string n = std::to_string(i);
        html += "<a href=\"/go" + n + "\"><img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\" alt=\"" +
                n + "\" width=\"468\" height=\"60\" style=\"visibility:hidden\"></a>";
    }
    return html + "</body></html>";
}

// One browser for the whole run, with the program's world on it and a page of images open.
struct Page {
    ChromiumHarness h;
    std::shared_ptr<ChromiumBrowser> browser;
    std::string driver;
    bool ok = false;

    Page() {
        std::string why;
        if (!h.StartBrowser(why)) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return;
        }
        h.server.AddPage("/images.html", ImagePage());
        h.server.AddPage(
            "/opener.html",
            "<!DOCTYPE html><html><body style='margin:0'><button id='b' style='width:200px;height:50px' "
            "onclick=\"window.open('/popup.html','_blank')\">open</button></body></html>");
        browser = h.FirstBrowser();
        driver = h.AttachDriver(browser);
        ok = h.Navigate(browser, driver, h.server.Url("/images.html")) &&
             h.RunUntil([&] { return h.Evaluate(driver, "document.readyState") == "complete"; });
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
    if (!page.ok) {
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
    if (!page.ok) {
        state.SkipWithError("no browser");
        return;
    }
    const auto doc = page.Document();
    const auto& context = doc->Context();
    for (auto _ : state) {
        const int before = context->CallCount();
        // The same reads as above, each its own protocol call, as a page model without batching makes
        // them.
        std::int64_t bytes = 0;
        // The list itself (the elements' numbers) still comes in one call.
        const Json records = context->RunOne({"items", 1, "IMG"});
        for (const Json& r : records) {
            const int id = r[0].get<int>();
            const Json parent = context->RunOne({"parent", id});
            const int parentId = parent[0].get<int>();
            bytes += static_cast<std::int64_t>(context->RunOne({"tag", parentId}).dump().size());
            bytes += static_cast<std::int64_t>(context->RunOne({"dims", id}).dump().size());
            bytes += static_cast<std::int64_t>(context->RunOne({"dims", id}).dump().size());
            bytes += static_cast<std::int64_t>(context->RunOne({"attr", id, "src"}).dump().size());
            bytes += static_cast<std::int64_t>(context->RunOne({"attr", parentId, "href"}).dump().size());
            bytes += static_cast<std::int64_t>(context->RunOne({"style", id, "visibility"}).dump().size());
        }
        benchmark::DoNotOptimize(bytes);
        state.counters["calls"] = context->CallCount() - before;
    }
}
BENCHMARK(BM_OneCallPerReadOf2000Images)->Unit(benchmark::kMillisecond)->Iterations(1);

// The popup decision hands the popup to a hidden browser; measured from the moment the new window is
// announced to the adapter (the decision runs then) until the browser reports the popup's target closed.
class Catcher final : public BrowserEvents, public HiddenBrowserEvents {
  public:
    explicit Catcher(ChromiumWorld& world) : world_(world) {}
    void IE_BeforeNavigate2(const std::string&, bool&) override {}
    void IE_DownloadBegin() override {}
    void IE_NewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool&) override {
        announcedAt = std::chrono::steady_clock::now();
        hidden = world_.CreateHiddenBrowser();
        connection = hidden->Connect(self.lock());
        ppDisp = hidden;
    }
    void IE_OnQuit() override {}
    void IE_StatusTextChange(const std::string&) override {}
    void Browser_BeforeNavigate2(const std::string&, bool& cancel) override { cancel = true; }
    void Browser_NewWindow2(std::shared_ptr<HiddenBrowser>&, bool& cancel) override { cancel = true; }

    std::weak_ptr<Catcher> self;
    std::chrono::steady_clock::time_point announcedAt;
    std::shared_ptr<HiddenBrowser> hidden;
    std::unique_ptr<EventConnection> connection;

  private:
    ChromiumWorld& world_;
};

void BM_PopupCaughtFromAnnouncementToClosedTarget(benchmark::State& state) {
    Page& page = SharedPage();
    if (!page.ok || !page.h.Navigate(page.browser, page.driver, page.h.server.Url("/opener.html"))) {
        state.SkipWithError("no browser");
        return;
    }
    auto catcher = std::make_shared<Catcher>(*page.h.world);
    catcher->self = catcher;
    const auto sink = page.browser->Connect(catcher);
    std::chrono::steady_clock::time_point closedAt;
    page.h.world->SetOnPopupClosed([&] { closedAt = std::chrono::steady_clock::now(); });
    for (auto _ : state) {
        const int killed = page.h.world->KilledPopupCount();
        closedAt = {};
        page.h.Click(page.driver, 100, 25);
        if (!page.h.RunUntil(
                [&] { return page.h.world->KilledPopupCount() > killed && closedAt != decltype(closedAt){}; },
                5000)) {
            state.SkipWithError("the popup was not caught");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(closedAt - catcher->announcedAt).count());
    }
    page.h.world->SetOnPopupClosed(nullptr);
}
BENCHMARK(BM_PopupCaughtFromAnnouncementToClosedTarget)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace qm::cr

BENCHMARK_MAIN();
