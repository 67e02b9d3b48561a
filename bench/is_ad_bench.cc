// How fast the hub judges addresses: IsAd runs for every linked image and inline frame on every ad pass
// over every page, so it must stay cheap and must not allocate.
//
// The allocation counter below replaces the global operator new of this benchmark program; the
// benchmark reads it around its timed loop and reports allocations per call.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/sim/sim_platform.h"
#include "shell/win_system.h"
#include "watch/ie_top_watcher.h"

namespace {
std::size_t allocationCount = 0;
}  // namespace

// The replacement pair below is malloc and free underneath; GCC cannot see that and takes the free of
// memory from operator new for a mismatch once it inlines them into each other.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    ++allocationCount;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t /*size*/) noexcept {
    std::free(p);
}

#pragma GCC diagnostic pop

namespace qm {
namespace {

// A small deterministic generator (64-bit LCG), so every run judges the same addresses.
class Lcg {
  public:
    explicit Lcg(std::uint64_t seed) : state_(seed) {}
    std::uint32_t Next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    std::size_t Below(std::size_t n) { return Next() % n; }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

  private:
    std::uint64_t state_;
};

constexpr const char* kSchemes[] = {"http://", "https://", "http://"};
constexpr const char* kHosts[] = {
    "www.harbourgazette.com", "img.news.example",       "cdn.static-images.org", "adserver.clicks.example",
    "ads.example.net",        "media.shadowfax.tv",     "downloads.mirror.org",  "sponsor.partner.example",
    "www.tidetables.co.uk",   "static.weather.example", "pics.headlines.com",    "www.example.com"};
constexpr const char* kSegments[] = {
    "images",  "banner",  "468x60",  "ad",          "ads",        "head",     "shadow",  "story",   "2004",
    "03",      "article", "thumbs",  "adv",         "promo",      "Header",   "content", "news",    "sports",
    "weather", "gallery", "photos",  "archive",     "cgi-bin",    "click",    "AD_1",    "spacer",  "readme",
    "tides",   "quay",    "Markets", "leaderboard", "promotions", "download", "advice",  "loading", "x"};
constexpr const char* kFiles[] = {"x.gif",      "logo.png",  "index.html", "pic_0123.jpg", "spacer.gif",
                                  "468x60.gif", "frame.htm", "show.asp",   "Banner.GIF",   "head.jpg"};
constexpr const char* kQueries[] = {"?id=9876&page=2", "?q=harbour+tides",
                                    "?ref=1234",       "?utm_source=news&utm_medium=web",
                                    "?w=468&h=60",     "?session=ab12cd34ef"};

// Addresses of 20 to 300 characters: host, a few path segments, a file and often a query, cut to a length
// drawn evenly from that range.
std::vector<std::string> MakeAddresses(std::size_t count) {
    Lcg random(20040301);
    std::vector<std::string> urls;
    urls.reserve(count);
    while (urls.size() < count) {
        const std::size_t length = 20 + random.Below(281);
        std::string url = std::string(random.Pick(kSchemes)) + random.Pick(kHosts);
        while (url.size() + 12 < length) {
            url += '/';
            url += random.Pick(kSegments);
        }
        url += '/';
        url += random.Pick(kFiles);
        if (random.Below(3) == 0) {
            url += random.Pick(kQueries);
        }
        while (url.size() < length) {
            url += "&v=";
            url += std::to_string(random.Next() % 100000);
        }
        url.resize(length);
        urls.push_back(std::move(url));
    }
    return urls;
}

void BM_IsAd(benchmark::State& state) {
    const std::size_t setUpStart = allocationCount;
    sim::SimPlatform sim;
    WinSystem app(sim.platform);
    const auto hub = std::make_shared<IETopWatcher>(app);
    const std::vector<std::string> urls = MakeAddresses(static_cast<std::size_t>(state.range(0)));

    // Shows that the counter is live: building the addresses allocates.
    const std::size_t setUpAllocations = allocationCount - setUpStart;

    std::size_t ads = 0;
    std::size_t bytes = 0;
    for (const std::string& url : urls) {
        ads += hub->IsAd(url) ? 1 : 0;
        bytes += url.size();
    }

    const std::size_t allocationsBefore = allocationCount;
    for (auto _ : state) {
        for (const std::string& url : urls) {
            bool isAd = hub->IsAd(url);
            benchmark::DoNotOptimize(isAd);
        }
    }
    const std::size_t allocations = allocationCount - allocationsBefore;

    const auto calls = static_cast<double>(state.iterations()) * static_cast<double>(urls.size());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(urls.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.counters["allocs_per_call"] = static_cast<double>(allocations) / calls;
    state.counters["allocs_in_setup"] = static_cast<double>(setUpAllocations);
    state.counters["ad_share"] = static_cast<double>(ads) / static_cast<double>(urls.size());
    state.counters["mean_length"] = static_cast<double>(bytes) / static_cast<double>(urls.size());
}
// 1000 and 4096 addresses stay in the caches, as the addresses of one page do; 65536 (about 10 MB) do not.
BENCHMARK(BM_IsAd)->Arg(1000)->Arg(4096)->Arg(65536);

}  // namespace
}  // namespace qm
