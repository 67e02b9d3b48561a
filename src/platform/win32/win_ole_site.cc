#include "platform/win32/win_ole_site.h"

namespace qm::win {

HRESULT STDMETHODCALLTYPE OleSite::QueryInterface(REFIID iid, void** out) {
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

ULONG STDMETHODCALLTYPE OleSite::Release() {
    const ULONG left = --refs_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT STDMETHODCALLTYPE OleSite::GetMoniker(DWORD, DWORD, IMoniker** out) {
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE OleSite::GetContainer(IOleContainer** out) {
    if (out) {
        *out = nullptr;
    }
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE OleSite::GetWindow(HWND* out) {
    if (!out) {
        return E_POINTER;
    }
    *out = window_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE OleSite::GetWindowContext(IOleInPlaceFrame** frame,
                                                    IOleInPlaceUIWindow** doc,
                                                    LPRECT pos,
                                                    LPRECT clip,
                                                    LPOLEINPLACEFRAMEINFO info) {
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

}  // namespace qm::win
