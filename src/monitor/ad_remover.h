#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qm {

class Element;
class PageDocument;
class WinSystem;

// The id of the program's own hiding style sheet in a page.
inline constexpr char kHidingSheetId[] = "QMV";

// Sizes that decide whether an image in a link or an inline frame is shaped like an advertisement.
struct AdShape {
    std::int32_t width = 0;
    std::int32_t height = 0;

    // Too small to matter (tracking pixels, spacers, icons).
    bool IsSmall() const { return width <= 16 || height <= 16; }
    bool IsWideBanner() const;
    bool IsTallBanner() const;
    bool IsBanner() const { return IsWideBanner() || IsTallBanner(); }
    // A frame of banner size, whatever it shows.
    bool IsBannerSizedFrame() const { return width >= 450 && height >= 45 && height <= 90; }
};

// The grey "Ad" box that replaces a banner link: the box has the image's size and still points at the
// link's target. The address is written as a quoted, escaped attribute so that no address can break out
// of it into the page's markup.
std::string BuildAdPlaceholder(std::int32_t width, std::int32_t height, const std::string& href);

// Cleans one page of a watched browser: installs the hiding style sheet when the page is activated, and
// runs the float, banner, frame and Flash passes after its element count changed. Options are read from
// the settings at the moment each step needs them; holding Ctrl makes both steps do nothing.
//
// The passes yield to pending events after every element they handle, so any handler may run in the
// middle of a pass (a second pass on the same page, the end of the monitor). Each pass works on the list
// of elements it took when it started, and the whole run stops as soon as `keepGoing` says no after a
// yield, or the program has begun to end. Any failing page call ends the whole run: the PlatformError reaches
// the caller, and what was done stays done.
class AdRemover {
  public:
    explicit AdRemover(WinSystem& app) : app_(app) {}

    void InstallHidingStyleSheet(const std::shared_ptr<PageDocument>& Doc);
    void RemoveAds(const std::shared_ptr<PageDocument>& Doc, const std::function<bool()>& keepGoing);

  private:
    // Yields to pending events; false when the run must stop.
    bool Yield(const std::function<bool()>& keepGoing);
    // Whether the run goes on: its caller still wants it and the program is not ending.
    bool Going(const std::function<bool()>& keepGoing) const;
    void FloatPass(PageDocument& doc, const std::function<bool()>& keepGoing);
    void BannerPass(PageDocument& doc, const std::function<bool()>& keepGoing);
    void FramePass(PageDocument& doc, const std::function<bool()>& keepGoing);
    void FlashPass(PageDocument& doc);

    WinSystem& app_;
};

}  // namespace qm
