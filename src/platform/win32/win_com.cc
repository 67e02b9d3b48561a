#include "platform/win32/win_com.h"

#include <ocidl.h>

#include <string>

#include "base/callback_boundary.h"
#include "base/platform_error.h"

namespace qm::win {

HRESULT STDMETHODCALLTYPE DispatchSink::QueryInterface(REFIID iid, void** out) {
    if (!out) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, events_)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DispatchSink::Release() {
    const ULONG left = --refs_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT STDMETHODCALLTYPE DispatchSink::GetTypeInfoCount(UINT* count) {
    if (count) {
        *count = 0;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE
DispatchSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    const Handler handler = handler_;
    if (!handler || !params) {
        return S_OK;
    }
    // The sink stays alive for the call even if the handler ends the subscription.
    AddRef();
    RunHandler("COM event " + std::to_string(id), [&] { handler(id, *params); });
    Release();
    return S_OK;
}

namespace {

class AdviseConnection final : public EventConnection {
  public:
    AdviseConnection(ComPtr<IConnectionPoint> point, DWORD cookie, ComPtr<DispatchSink> sink)
        : point_(std::move(point)), cookie_(cookie), sink_(std::move(sink)) {}
    ~AdviseConnection() override {
        sink_->Detach();
        // A source whose process has gone refuses; the subscription ends with it all the same.
        point_->Unadvise(cookie_);
    }

  private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_;
    ComPtr<DispatchSink> sink_;
};

}  // namespace

std::unique_ptr<EventConnection> Advise(IUnknown* source, const IID& events, DispatchSink::Handler handler) {
    if (!source) {
        throw PlatformError("Object variable not set", 91, "Advise");
    }
    ComPtr<IConnectionPointContainer> container;
    CheckHr(source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Put())),
            "IConnectionPointContainer");
    ComPtr<IConnectionPoint> point;
    CheckHr(container->FindConnectionPoint(events, point.Put()), "FindConnectionPoint");
    auto sink = ComPtr<DispatchSink>::Attach(new DispatchSink(events, std::move(handler)));
    DWORD cookie = 0;
    CheckHr(point->Advise(sink.Get(), &cookie), "IConnectionPoint::Advise");
    return std::make_unique<AdviseConnection>(std::move(point), cookie, std::move(sink));
}

VARIANT* EventArgument(DISPPARAMS& params, UINT index) {
    if (index >= params.cArgs) {
        return nullptr;
    }
    VARIANT* v = &params.rgvarg[params.cArgs - 1 - index];
    while (v && V_VT(v) == (VT_BYREF | VT_VARIANT)) {
        v = V_VARIANTREF(v);
    }
    return v;
}

std::string TextArgument(DISPPARAMS& params, UINT index) {
    VARIANT* v = EventArgument(params, index);
    if (!v) {
        return {};
    }
    if (V_VT(v) == VT_BSTR && V_BSTR(v)) {
        return Narrow(std::wstring_view(V_BSTR(v), ::SysStringLen(V_BSTR(v))));
    }
    if (V_VT(v) == (VT_BYREF | VT_BSTR) && V_BSTRREF(v) && *V_BSTRREF(v)) {
        return Narrow(std::wstring_view(*V_BSTRREF(v), ::SysStringLen(*V_BSTRREF(v))));
    }
    return {};
}

ComPtr<IUnknown> IdentityOf(IUnknown* object) {
    ComPtr<IUnknown> identity;
    if (object) {
        object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.Put()));
    }
    return identity;
}

}  // namespace qm::win
