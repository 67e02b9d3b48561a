#include "monitor/ad_remover.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

#include "base/event_loop.h"
#include "base/object_ref.h"
#include "base/platform_error.h"
#include "base/text.h"
#include "base/variant.h"
#include "ports/element_collection.h"
#include "ports/page_document.h"
#include "ports/page_element.h"
#include "ports/style_sheet.h"
#include "settings/settings.h"
#include "shell/win_system.h"
#include "watch/ie_top_watcher.h"

namespace qm {

namespace {

constexpr char kHiddenStyle[] = "visibility:hidden;";
constexpr char kHidden[] = "hidden";
constexpr char kVisible[] = "visible";
constexpr char kAboutBlank[] = "about:blank";

// The placeholder's fixed parts. The first ends with the opening quote of the style attribute, the
// third with its closing quote.
constexpr char kPlaceholderStyleStart[] = "<a style=\"font:normal 10pt arial;color:#808080";
constexpr char kPlaceholderBox[] = ";border:solid 1px #808080;padding:0;width:";
constexpr char kPlaceholderHeight[] = ";height:";
constexpr char kPlaceholderPaddingTop[] = ";padding-top:";
constexpr char kPlaceholderStyleEnd[] = ";text-align:center\"";
constexpr char kPlaceholderHref[] = " href=";
constexpr char kPlaceholderEnd[] = ">Ad</a>";

// The elements of a collection as they are when a pass starts: the pass must not follow a live list that
// its own yields let others change.
std::vector<std::shared_ptr<Element>> Snapshot(ElementCollection& collection) {
    const std::int32_t length = collection.Length();
    std::vector<std::shared_ptr<Element>> elements;
    elements.reserve(length > 0 ? static_cast<std::size_t>(length) : 0);
    for (std::int32_t i = 0; i < length; ++i) {
        elements.push_back(collection.Item(i));
    }
    return elements;
}

std::vector<std::shared_ptr<Element>> TagsOf(PageDocument& doc, const char* tag) {
    return Snapshot(*Require(Require(doc.All())->Tags(tag)));
}

// Shows an element again unless the page itself hid it inline.
void Reveal(Element& element) {
    if (element.GetStyle(StyleProperty::Visibility) != kHidden) {
        element.SetStyle(StyleProperty::Visibility, kVisible);
    }
}

std::optional<std::int32_t> WholeNumber(const Variant& value) {
    try {
        return VariantToInt32(value);
    } catch (const PlatformError&) {
        return std::nullopt;
    }
}

// H / 2 rounded to the nearest integer, halves to the even neighbour.
std::int32_t HalfRoundedToEven(std::int32_t h) {
    const std::int64_t half = static_cast<std::int64_t>(h) / 2;  // toward zero
    if (h % 2 == 0) {
        return static_cast<std::int32_t>(half);
    }
    // An odd height lies halfway between half and half +/- 1: take the even one.
    const std::int64_t other = h > 0 ? half + 1 : half - 1;
    return static_cast<std::int32_t>(half % 2 == 0 ? half : other);
}

}  // namespace

bool AdShape::IsWideBanner() const {
    return width >= 400 && height >= 40 && static_cast<double>(width) / static_cast<double>(height) >= 3.0;
}

bool AdShape::IsTallBanner() const {
    return width >= 40 && height >= 240 && static_cast<double>(height) / static_cast<double>(width) >= 2.0;
}

std::string BuildAdPlaceholder(std::int32_t width, std::int32_t height, const std::string& href) {
    std::string html;
    html.reserve(200 + href.size());
    html += kPlaceholderStyleStart;
    html += kPlaceholderBox;
    html += std::to_string(width);
    html += kPlaceholderHeight;
    html += std::to_string(height);
    html += kPlaceholderPaddingTop;
    html += std::to_string(static_cast<std::int64_t>(HalfRoundedToEven(height)) - 8);
    html += kPlaceholderStyleEnd;
    html += kPlaceholderHref;
    html += '"';
    html += EscapeHtmlAttribute(href);
    html += '"';
    html += kPlaceholderEnd;
    return html;
}

void AdRemover::InstallHidingStyleSheet(const std::shared_ptr<PageDocument>& Doc) {
    IETopWatcher& hub = app_.Hub();
    if (hub.IsAllFeaturesDisabled()) {
        return;
    }
    PageDocument& doc = Deref(Doc);
    const bool needed =
        doc.StyleSheetsLength() == 0 ||
        VariantToText(Require(Require(doc.StyleSheetsItem(0))->OwningElement())->GetAttribute("id")) !=
            kHidingSheetId;
    if (!needed) {
        return;  // the page keeps the sheet it got, whatever the options say now
    }
    const std::shared_ptr<StyleSheet> sheet = Require(doc.CreateStyleSheet("", 0));
    Require(sheet->OwningElement())->SetAttribute("id", Variant(kHidingSheetId));

    Settings& settings = app_.AppSettings();
    struct Rule {
        const char* selector;
        bool (Settings::*option)() const;
    };
    static constexpr Rule kRules[] = {
        {"A IMG", &Settings::KillBanner},
        {"OBJECT", &Settings::KillFlash},
        {"EMBED", &Settings::KillFlash},
        {"IFRAME", &Settings::KillIFrame},
    };
    for (const Rule& rule : kRules) {
        if ((settings.*rule.option)()) {
            sheet->AddRule(rule.selector, kHiddenStyle, 0);
        }
    }
}

void AdRemover::RemoveAds(const std::shared_ptr<PageDocument>& Doc, const std::function<bool()>& keepGoing) {
    IETopWatcher& hub = app_.Hub();
    if (hub.IsAllFeaturesDisabled()) {
        return;
    }
    PageDocument& doc = Deref(Doc);
    // Each pass looks at its option when it starts; a pass cut short by a yield ends the run.
    Settings& settings = app_.AppSettings();
    if (settings.KillFloat()) {
        FloatPass(doc, keepGoing);
        if (!Going(keepGoing)) {
            return;
        }
    }
    if (settings.KillBanner()) {
        BannerPass(doc, keepGoing);
        if (!Going(keepGoing)) {
            return;
        }
    }
    if (settings.KillIFrame()) {
        FramePass(doc, keepGoing);
        if (!Going(keepGoing)) {
            return;
        }
    }
    if (settings.KillFlash()) {
        FlashPass(doc);
    }
}

bool AdRemover::Yield(const std::function<bool()>& keepGoing) {
    app_.GetPlatform().loop.DoEvents();
    return Going(keepGoing);
}

bool AdRemover::Going(const std::function<bool()>& keepGoing) const {
    // A program that is ending does not wait for the rest of a page: the run stops where it stands.
    return keepGoing() && !app_.GetPlatform().loop.Ending();
}

void AdRemover::FloatPass(PageDocument& doc, const std::function<bool()>& keepGoing) {
    for (const auto& div : TagsOf(doc, "DIV")) {
        Element& d = Deref(div);
        // The text is read only of a layer that its position already qualifies: reading it costs the
        // page a layout, and changes nothing.
        const bool absolute = ToLowerAscii(d.GetStyle(StyleProperty::Position)) == "absolute";
        const std::string text = absolute ? d.InnerText() : std::string();
        if (absolute && (text.empty() || text == " ")) {
            const std::shared_ptr<ElementCollection> images = Require(Require(d.All())->Tags("IMG"));
            const std::int32_t count = images->Length();
            for (std::int32_t i = 0; i < count; ++i) {
                Require(images->Item(i))->SetStyle(StyleProperty::Visibility, kHidden);
            }
            d.SetStyle(StyleProperty::Visibility, kHidden);
            d.SetStyle(StyleProperty::Display, "none");
            IETopWatcher::AddToCounter(app_.Hub().KilledFloatNumber, 1);
        }
        if (!Yield(keepGoing)) {
            return;
        }
    }
}

void AdRemover::BannerPass(PageDocument& doc, const std::function<bool()>& keepGoing) {
    // Links this pass has already replaced by the box, held so that their identities stay theirs. Their
    // other images left the page with them: they are neither looked at nor counted again.
    std::vector<std::shared_ptr<Element>> replaced;
    const auto wasReplaced = [&replaced](const std::shared_ptr<Element>& link) {
        return link && std::any_of(replaced.begin(), replaced.end(), [&](const std::shared_ptr<Element>& r) {
                   return r->Identity() == link->Identity();
               });
    };
    for (const auto& image : TagsOf(doc, "IMG")) {
        Element& img = Deref(image);
        const std::shared_ptr<Element> link = img.ParentElement();
        if (wasReplaced(link)) {
            // Gone with its link.
        } else if (Deref(link).TagName() != "A") {
            Reveal(img);
        } else {
            const AdShape shape{VariantToInt32(img.Width()), VariantToInt32(img.Height())};
            if (shape.IsSmall()) {
                Reveal(img);
            } else {
                const bool ad = app_.Hub().IsAd(VariantToText(img.GetAttribute("src")));
                if (!ad && !shape.IsBanner()) {
                    Reveal(img);
                } else {
                    const std::string href = VariantToText(link->GetAttribute("href"));
                    link->SetOuterHTML(BuildAdPlaceholder(shape.width, shape.height, href));
                    replaced.push_back(link);
                    IETopWatcher::AddToCounter(app_.Hub().KilledBannerNumber, 1);
                }
            }
        }
        if (!Yield(keepGoing)) {
            return;
        }
    }
}

void AdRemover::FramePass(PageDocument& doc, const std::function<bool()>& keepGoing) {
    for (const auto& frame : TagsOf(doc, "IFRAME")) {
        Element& f = Deref(frame);
        const std::optional<std::int32_t> width = WholeNumber(f.Width());
        const std::optional<std::int32_t> height = WholeNumber(f.Height());
        // A frame sized in percent (or not at all) has no size to judge: leave it as the sheet leaves it
        // and go on with the next, rather than give up on the rest of the page.
        if (width && height) {
            const AdShape shape{*width, *height};
            if (shape.IsSmall()) {
                Reveal(f);
            } else {
                const bool accessible = app_.Hub().CanFrameAccess(f.ContentWindow());
                const std::string src = VariantToText(f.GetAttribute("src"));
                const bool ad = app_.Hub().IsAd(src);
                const bool keep = ((!ad && !shape.IsBanner()) || accessible) && !shape.IsBannerSizedFrame();
                if (keep) {
                    if (src != kAboutBlank) {
                        Reveal(f);
                    }
                } else {
                    IETopWatcher::AddToCounter(app_.Hub().KilledIFrameNumber, 1);
                }
            }
        }
        if (!Yield(keepGoing)) {
            return;
        }
    }
}

void AdRemover::FlashPass(PageDocument& doc) {
    const std::shared_ptr<ElementCollection> all = Require(doc.All());
    const std::int64_t found = static_cast<std::int64_t>(Require(all->Tags("EMBED"))->Length()) +
                               Require(all->Tags("OBJECT"))->Length();
    IETopWatcher::AddToCounter(
        app_.Hub().KilledFlashNumber,
        static_cast<std::int32_t>(std::min<std::int64_t>(found, std::numeric_limits<std::int32_t>::max())));
}

}  // namespace qm
