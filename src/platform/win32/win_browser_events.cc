#include "platform/win32/win_browser_events.h"

#include <exdispid.h>

#include <memory>
#include <string>

#include "platform/win32/win_com.h"
#include "platform/win32/win_hidden_browser.h"

namespace qm::win {

namespace {

VARIANT_BOOL* BoolRefArgument(DISPPARAMS& params, UINT index) {
    VARIANT* v = EventArgument(params, index);
    return v && V_VT(v) == (VT_BYREF | VT_BOOL) ? V_BOOLREF(v) : nullptr;
}

// NewWindow2(ppDisp, Cancel): asks `handler` for the new window's host and cancel flag and writes both
// back into the by-reference arguments.
template <typename Handler>
void DecodeNewWindow2(DISPPARAMS& params, Handler handler) {
    VARIANT* slot = EventArgument(params, 0);
    IDispatch** ppDisp = slot && V_VT(slot) == (VT_BYREF | VT_DISPATCH) ? V_DISPATCHREF(slot) : nullptr;
    VARIANT_BOOL* cancelSlot = BoolRefArgument(params, 1);
    std::shared_ptr<HiddenBrowser> host;
    bool cancel = cancelSlot && *cancelSlot != VARIANT_FALSE;
    handler(host, cancel);
    if (ppDisp && host) {
        if (IDispatch* automation = AutomationOf(*host)) {
            // The browser takes the object over with a reference of its own.
            automation->AddRef();
            if (*ppDisp) {
                (*ppDisp)->Release();
            }
            *ppDisp = automation;
        }
    }
    if (cancelSlot) {
        *cancelSlot = cancel ? VARIANT_TRUE : VARIANT_FALSE;
    }
}

// BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel).
template <typename Handler>
void DecodeBeforeNavigate2(DISPPARAMS& params, Handler handler) {
    VARIANT_BOOL* cancelSlot = BoolRefArgument(params, 6);
    bool cancel = cancelSlot && *cancelSlot != VARIANT_FALSE;
    handler(TextArgument(params, 1), cancel);
    if (cancelSlot) {
        *cancelSlot = cancel ? VARIANT_TRUE : VARIANT_FALSE;
    }
}

}  // namespace

void DispatchBrowserEvent(BrowserEvents& events, DISPID id, DISPPARAMS& params) {
    switch (id) {
        case DISPID_BEFORENAVIGATE2:
            DecodeBeforeNavigate2(params, [&](const std::string& url, bool& cancel) {
                events.IE_BeforeNavigate2(url, cancel);
            });
            break;
        case DISPID_DOWNLOADBEGIN:
            events.IE_DownloadBegin();
            break;
        case DISPID_NEWWINDOW2:
            DecodeNewWindow2(params, [&](std::shared_ptr<HiddenBrowser>& host, bool& cancel) {
                events.IE_NewWindow2(host, cancel);
            });
            break;
        case DISPID_ONQUIT:
            events.IE_OnQuit();
            break;
        case DISPID_STATUSTEXTCHANGE:
            events.IE_StatusTextChange(TextArgument(params, 0));
            break;
        default:
            break;
    }
}

void DispatchHiddenBrowserEvent(HiddenBrowserEvents& events, DISPID id, DISPPARAMS& params) {
    if (id == DISPID_BEFORENAVIGATE2) {
        DecodeBeforeNavigate2(params, [&](const std::string& url, bool& cancel) {
            events.Browser_BeforeNavigate2(url, cancel);
        });
    } else if (id == DISPID_NEWWINDOW2) {
        DecodeNewWindow2(params, [&](std::shared_ptr<HiddenBrowser>& host, bool& cancel) {
            events.Browser_NewWindow2(host, cancel);
        });
    }
}

void DispatchShellWindowsEvent(ShellWindowsEvents& events, DISPID id, DISPPARAMS& params) {
    VARIANT* cookie = EventArgument(params, 0);
    const std::int32_t lCookie = cookie && V_VT(cookie) == VT_I4 ? V_I4(cookie) : 0;
    if (id == DISPID_WINDOWREGISTERED) {
        events.SWs_WindowRegistered(lCookie);
    } else if (id == DISPID_WINDOWREVOKED) {
        events.SWs_WindowRevoked(lCookie);
    }
}

IDispatch* AutomationOf(HiddenBrowser& hidden) {
    auto* win32 = dynamic_cast<Win32HiddenBrowser*>(&hidden);
    return win32 ? win32->Automation() : nullptr;
}

}  // namespace qm::win
