#include "platform/win32/win_page_window.h"

#include <utility>

#include "base/platform_error.h"
#include "platform/win32/win_guids.h"
#include "platform/win32/win_page.h"
#include "platform/win32/win_page_support.h"

namespace qm::win {

Win32PageWindow::Win32PageWindow(ComPtr<IHTMLWindow2> window)
    : window_(std::move(window)), identity_(IdentityOf(window_.Get())) {}

std::shared_ptr<PageDocument> Win32PageWindow::Document() {
    ComPtr<IHTMLDocument2> document;
    // Another site's page refuses (access denied): that is the failure the caller expects.
    Check(window_->get_document(document.Put()), "window.document");
    if (!document) {
        throw PlatformError("Permission denied", 70, "window.document");
    }
    return WrapDocument(document.Get());
}

std::int32_t Win32PageWindow::ScreenLeft() {
    long value = 0;
    Check(Window3()->get_screenLeft(&value), "screenLeft");
    return static_cast<std::int32_t>(value);
}

std::int32_t Win32PageWindow::ScreenTop() {
    long value = 0;
    Check(Window3()->get_screenTop(&value), "screenTop");
    return static_cast<std::int32_t>(value);
}

void Win32PageWindow::SetTimeout(const std::string& code, std::int32_t milliseconds) {
    const Bstr script(Widen(code));
    VARIANT language;
    ::VariantInit(&language);
    long id = 0;
    Check(window_->setTimeout(script.Get(), milliseconds, &language, &id), "setTimeout");
}

std::unique_ptr<EventConnection> Win32PageWindow::Connect(std::weak_ptr<PageWindowEvents> sink) {
    return Attach(Window3(), L"onbeforeunload", [sink] {
        if (const auto events = sink.lock()) {
            events->Window_onbeforeunload();
        }
    });
}

ComPtr<IHTMLWindow3> Win32PageWindow::Window3() {
    ComPtr<IHTMLWindow3> w = window_.As<IHTMLWindow3>(kIidIHTMLWindow3);
    if (!w) {
        throw NotSupported("IHTMLWindow3");
    }
    return w;
}

std::shared_ptr<PageWindow> WrapWindow(ComPtr<IHTMLWindow2> window) {
    return window ? std::make_shared<Win32PageWindow>(std::move(window)) : nullptr;
}

}  // namespace qm::win
