#include "platform/chromium/chromium_browser.h"

#include "base/platform_error.h"
#include "platform/chromium/chromium_document.h"
#include "platform/chromium/chromium_world.h"
#include "platform/chromium/page_context.h"

namespace qm::cr {

namespace {
constexpr char kBrowserTypeName[] = "IWebBrowser2";
}

ChromiumBrowser::ChromiumBrowser(std::weak_ptr<ChromiumWorld> world, std::shared_ptr<PageTarget> target)
    : world_(std::move(world)), target_(std::move(target)) {}

void ChromiumBrowser::CheckAlive() const {
    if (!Alive()) {
        throw PlatformError(kDisconnectedText, kErrorDisconnected, "Chromium");
    }
}

std::string ChromiumBrowser::TypeName() {
    CheckAlive();
    return kBrowserTypeName;
}

bool ChromiumBrowser::Visible() {
    CheckAlive();
    return true;
}

std::shared_ptr<PageDocument> ChromiumBrowser::Document() {
    CheckAlive();
    if (target_->current && target_->current->Alive()) {
        return target_->current->DocumentFor(1);
    }
    const auto world = world_.lock();
    if (!world) {
        CheckAlive();
        return nullptr;
    }
    // The document's world is not known yet (its announcement is still queued): ask for it.
    try {
        const int contextId = world->CreateProgramWorld(*target_);
        if (contextId == 0) {
            return nullptr;
        }
        world->AdoptProgramWorld(target_, contextId);
    } catch (const PlatformError&) {
        CheckAlive();
        return nullptr;  // a page that offers no document to script (the browser's own pages)
    }
    return target_->current ? target_->current->DocumentFor(1) : nullptr;
}

std::string ChromiumBrowser::LocationURL() {
    CheckAlive();
    return target_->url;
}

std::int32_t ChromiumBrowser::WindowThreadId() {
    CheckAlive();
    return target_->threadId;
}

void ChromiumBrowser::Navigate(const std::string& url) {
    CheckAlive();
    const auto world = world_.lock();
    // Not waited for: the answer comes only once the new page has answered.
    if (!world || !world->connection_->Send("Page.navigate", {{"url", url}}, target_->sessionId)) {
        throw PlatformError(kDisconnectedText, kErrorDisconnected, "Chromium");
    }
}

std::unique_ptr<EventConnection> ChromiumBrowser::Connect(std::weak_ptr<BrowserEvents> sink) {
    CheckAlive();
    return sinks_.Add(std::move(sink));
}

bool ChromiumBrowser::FireBeforeNavigate2(const std::string& url) {
    bool cancel = false;
    sinks_.Fire([&](BrowserEvents& sink) { sink.IE_BeforeNavigate2(url, cancel); });
    return cancel;
}

void ChromiumBrowser::FireDownloadBegin() {
    sinks_.Fire([](BrowserEvents& sink) { sink.IE_DownloadBegin(); });
}

void ChromiumBrowser::FireNewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& cancel) {
    sinks_.Fire([&](BrowserEvents& sink) { sink.IE_NewWindow2(ppDisp, cancel); });
}

void ChromiumBrowser::FireOnQuit() {
    sinks_.Fire([](BrowserEvents& sink) { sink.IE_OnQuit(); });
}

void ChromiumBrowser::FireStatusTextChange(const std::string& text) {
    sinks_.Fire([&](BrowserEvents& sink) { sink.IE_StatusTextChange(text); });
}

}  // namespace qm::cr
