#include "platform/win32/win_browser.h"

#include "base/platform_error.h"
#include "platform/win32/win_browser_events.h"
#include "platform/win32/win_guids.h"
#include "platform/win32/win_page.h"

namespace qm::win {

namespace {

// Every use of a browser that has gone fails; a call that "succeeds" without its answer is a failure too.
void CheckBrowserHr(HRESULT hr, const char* source) {
    if (FAILED(hr)) {
        ThrowError(static_cast<DWORD>(hr), source);
    }
}

}  // namespace

Win32Browser::Win32Browser(ComPtr<IWebBrowser2> browser)
    : browser_(std::move(browser)), identity_(IdentityOf(browser_.Get())) {}

std::string Win32Browser::TypeName() {
    ComPtr<ITypeInfo> info;
    CheckBrowserHr(browser_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()), "GetTypeInfo");
    if (!info) {
        throw NotSupported("TypeName");
    }
    Bstr name;
    CheckBrowserHr(info->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr),
                   "GetDocumentation");
    return Narrow(name.Text());
}

bool Win32Browser::Visible() {
    VARIANT_BOOL visible = VARIANT_FALSE;
    CheckBrowserHr(browser_->get_Visible(&visible), "IWebBrowser2::Visible");
    return visible != VARIANT_FALSE;
}

std::shared_ptr<PageDocument> Win32Browser::Document() {
    ComPtr<IDispatch> document;
    CheckBrowserHr(browser_->get_Document(document.Put()), "IWebBrowser2::Document");
    return WrapDocument(document.Get());
}

std::string Win32Browser::LocationURL() {
    Bstr url;
    CheckBrowserHr(browser_->get_LocationURL(url.Put()), "IWebBrowser2::LocationURL");
    return Narrow(url.Text());
}

std::int32_t Win32Browser::WindowThreadId() {
    SHANDLE_PTR window = 0;
    CheckBrowserHr(browser_->get_HWND(&window), "IWebBrowser2::HWND");
    return static_cast<std::int32_t>(::GetWindowThreadProcessId(reinterpret_cast<HWND>(window), nullptr));
}

void Win32Browser::Navigate(const std::string& url) {
    const Bstr address(Widen(url));
    ScopedVariant flags;
    ScopedVariant target;
    ScopedVariant postData;
    ScopedVariant headers;
    CheckBrowserHr(
        browser_->Navigate(address.Get(), flags.Get(), target.Get(), postData.Get(), headers.Get()),
        "IWebBrowser2::Navigate");
}

std::unique_ptr<EventConnection> Win32Browser::Connect(std::weak_ptr<BrowserEvents> sink) {
    return Advise(browser_.Get(), kDiidDWebBrowserEvents2, [sink](DISPID id, DISPPARAMS& params) {
        if (const std::shared_ptr<BrowserEvents> events = sink.lock()) {
            DispatchBrowserEvent(*events, id, params);
        }
    });
}

}  // namespace qm::win
