#pragma once

#include <functional>
#include <memory>

#include "base/platform_error.h"
#include "platform/win32/win_handles.h"
#include "ports/event_connection.h"

namespace qm::win {

// The error of a page or browser object that lacks the interface or member asked for, named by `source`.
inline PlatformError NotSupported(const char* source) {
    return PlatformError("Object doesn't support this property or method", 438, source);
}

// Receives the events of one connection point as IDispatch::Invoke calls and hands each to `handler`
// (the member id and the arguments, last argument first as COM passes them). Detach stops the calls;
// an event in progress finishes with its own copy of the handler. Errors the handler throws stop at the
// callback boundary (reported, and the event source is answered as usual): they must not cross into the
// caller's process.
// COM objects are destroyed by their own Release, never through an interface pointer, so COM's interfaces
// have no virtual destructor by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class DispatchSink final : public IDispatch {
  public:
    using Handler = std::function<void(DISPID, DISPPARAMS&)>;
    DispatchSink(const IID& events, Handler handler) : events_(events), handler_(std::move(handler)) {}

    void Detach() { handler_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE
    Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

  private:
    ~DispatchSink() = default;
    IID events_;
    Handler handler_;
    ULONG refs_ = 1;
};
#pragma GCC diagnostic pop

// Connects a new DispatchSink to the connection point `events` of `source`; the subscription ends when
// the returned object is destroyed. Throws PlatformError when the source has no such events or refuses.
std::unique_ptr<EventConnection> Advise(IUnknown* source, const IID& events, DispatchSink::Handler handler);

// The argument `index` of an event (0 is the first argument, whatever COM's order), by-reference
// wrappers followed.
VARIANT* EventArgument(DISPPARAMS& params, UINT index);
// A text argument (BSTR, or a VARIANT holding one); empty for anything else.
std::string TextArgument(DISPPARAMS& params, UINT index);

// The object's identity in COM's sense: its IUnknown.
ComPtr<IUnknown> IdentityOf(IUnknown* object);

}  // namespace qm::win
