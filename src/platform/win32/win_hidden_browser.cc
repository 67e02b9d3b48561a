#include "platform/win32/win_hidden_browser.h"

#include <exdisp.h>
#include <exdispid.h>

#include "base/platform_error.h"
#include "platform/win32/win_browser_events.h"
#include "platform/win32/win_guids.h"
#include "platform/win32/win_ole_site.h"

namespace qm::win {

namespace {
constexpr wchar_t kHostClass[] = L"QuillmereBrowserHost";
}  // namespace

std::shared_ptr<Win32HiddenBrowser> Win32HiddenBrowser::Create() {
    static const bool registered = RegisterHiddenWindowClass(kHostClass, &::DefWindowProcW);
    (void)registered;

    std::shared_ptr<Win32HiddenBrowser> hidden(new Win32HiddenBrowser());
    // Never shown; it has a size so that the page inside has one.
    hidden->window_.Reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kHostClass, L"", WS_POPUP, 0, 0, 800, 600,
                                            nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    if (!hidden->window_) {
        ThrowLastError("CreateWindowExW");
    }
    hidden->site_ = ComPtr<OleSite>::Attach(new OleSite(hidden->window_.Get()));
    CheckHr(::CoCreateInstance(kClsidWebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                               reinterpret_cast<void**>(hidden->object_.Put())),
            "CoCreateInstance(WebBrowser)");
    CheckHr(hidden->object_->SetClientSite(hidden->site_.Get()), "IOleObject::SetClientSite");
    RECT area{};
    ::GetClientRect(hidden->window_.Get(), &area);
    CheckHr(hidden->object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, hidden->site_.Get(), 0,
                                    hidden->window_.Get(), &area),
            "IOleObject::DoVerb");
    hidden->browser_ = hidden->object_.As<IWebBrowser2>(kIidIWebBrowser2);
    if (!hidden->browser_) {
        throw PlatformError("No such interface supported", static_cast<std::int32_t>(E_NOINTERFACE),
                            "WebBrowser");
    }
    // The page inside must not put up dialog boxes of its own.
    hidden->browser_->put_Silent(VARIANT_TRUE);
    return hidden;
}

Win32HiddenBrowser::~Win32HiddenBrowser() {
    browser_.Reset();
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_.Reset();
    }
    // The site goes with the last reference the control gave back.
}

IDispatch* Win32HiddenBrowser::Automation() const {
    return browser_.Get();
}

std::unique_ptr<EventConnection> Win32HiddenBrowser::Connect(std::weak_ptr<HiddenBrowserEvents> sink) {
    return Advise(browser_.Get(), kDiidDWebBrowserEvents2, [sink](DISPID id, DISPPARAMS& params) {
        if (const std::shared_ptr<HiddenBrowserEvents> events = sink.lock()) {
            DispatchHiddenBrowserEvent(*events, id, params);
        }
    });
}

}  // namespace qm::win
