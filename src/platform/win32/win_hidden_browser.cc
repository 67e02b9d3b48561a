#include "platform/win32/win_hidden_browser.h"

#include <exdisp.h>
#include <exdispid.h>

#include "base/platform_error.h"
#include "platform/win32/win_browser_events.h"
#include "platform/win32/win_guids.h"

namespace qm::win {

namespace {
constexpr wchar_t kHostClass[] = L"QuillmereBrowserHost";
}  // namespace

// The container side of one hosted control. Reference counted; the hidden browser holds one reference
// and the control the others.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"  // released through Release only, as every COM object
class OleSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
  public:
    explicit OleSite(HWND window) : window_(window) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
            *out = static_cast<IOleClientSite*>(this);
        } else if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow)) {
            *out = static_cast<IOleInPlaceSite*>(this);
        } else if (IsEqualIID(iid, IID_IOleInPlaceFrame) || IsEqualIID(iid, IID_IOleInPlaceUIWindow)) {
            *out = static_cast<IOleInPlaceFrame*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
        if (out) {
            *out = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
        if (out) {
            *out = nullptr;
        }
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
        if (!out) {
            return E_POINTER;
        }
        *out = window_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                               IOleInPlaceUIWindow** doc,
                                               LPRECT pos,
                                               LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO info) override {
        if (frame) {
            *frame = static_cast<IOleInPlaceFrame*>(this);
            AddRef();
        }
        if (doc) {
            *doc = nullptr;
        }
        if (pos) {
            ::GetClientRect(window_, pos);
        }
        if (clip) {
            ::GetClientRect(window_, clip);
        }
        if (info) {
            info->fMDIApp = FALSE;
            info->hwndFrame = window_;
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

    // IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  private:
    ~OleSite() = default;
    HWND window_;
    ULONG refs_ = 1;
};
#pragma GCC diagnostic pop

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
