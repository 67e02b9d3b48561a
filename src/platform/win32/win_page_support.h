#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/win32/win_com.h"

#include <mshtml.h>

#include "ports/element_collection.h"
#include "ports/page_element.h"
#include "ports/page_window.h"

namespace qm::win {

// What the page objects over MSHTML (element, collection, style sheet, window, document) share.

inline void Check(HRESULT hr, const char* source) {
    CheckHr(hr, source);
}

inline VARIANT IndexVariant(std::int32_t index) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = index;
    return v;
}

// An event of an element, document or window object through attachEvent: the handler object is an
// IDispatch whose default member is called; detachEvent ends it. Pages keep their own handlers.
template <typename Target>
class AttachedEvent final : public EventConnection {
  public:
    AttachedEvent(ComPtr<Target> target, std::wstring name, ComPtr<DispatchSink> sink)
        : target_(std::move(target)), name_(std::move(name)), sink_(std::move(sink)) {}
    ~AttachedEvent() override {
        sink_->Detach();
        const Bstr name(name_);
        target_->detachEvent(name.Get(), sink_.Get());
    }

  private:
    ComPtr<Target> target_;
    std::wstring name_;
    ComPtr<DispatchSink> sink_;
};

template <typename Target>
std::unique_ptr<EventConnection> Attach(ComPtr<Target> target,
                                        const wchar_t* event,
                                        std::function<void()> handler) {
    if (!target) {
        throw NotSupported("attachEvent");
    }
    auto sink = ComPtr<DispatchSink>::Attach(
        new DispatchSink(IID_IDispatch, [handler = std::move(handler)](DISPID, DISPPARAMS&) { handler(); }));
    const Bstr name{std::wstring(event)};
    VARIANT_BOOL done = VARIANT_FALSE;
    CheckHr(target->attachEvent(name.Get(), sink.Get(), &done), "attachEvent");
    return std::make_unique<AttachedEvent<Target>>(std::move(target), event, std::move(sink));
}

// The page objects over MSHTML's (WrapDocument, in win_page.h, is the fourth); null for a null object.
std::shared_ptr<Element> WrapElement(ComPtr<IHTMLElement> element);
std::shared_ptr<ElementCollection> WrapCollection(IDispatch* collection);
std::shared_ptr<PageWindow> WrapWindow(ComPtr<IHTMLWindow2> window);

}  // namespace qm::win
