#include "platform/win32/win_collection.h"

#include <utility>

#include "base/platform_error.h"
#include "platform/win32/win_guids.h"
#include "platform/win32/win_page_support.h"

namespace qm::win {

Win32Collection::Win32Collection(ComPtr<IHTMLElementCollection> collection)
    : collection_(std::move(collection)) {}

std::int32_t Win32Collection::Length() {
    long length = 0;
    Check(collection_->get_length(&length), "length");
    return static_cast<std::int32_t>(length);
}

std::shared_ptr<Element> Win32Collection::Item(std::int32_t index) {
    VARIANT name = IndexVariant(index);
    VARIANT none;
    ::VariantInit(&none);
    ComPtr<IDispatch> item;
    Check(collection_->item(name, none, item.Put()), "item");
    if (!item) {
        return nullptr;
    }
    return WrapElement(item.As<IHTMLElement>(kIidIHTMLElement));
}

std::shared_ptr<ElementCollection> Win32Collection::Tags(const std::string& name) {
    const Bstr tag(Widen(name));
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = tag.Get();
    ComPtr<IDispatch> tags;
    Check(collection_->tags(v, tags.Put()), "tags");
    return WrapCollection(tags.Get());
}

std::shared_ptr<ElementCollection> WrapCollection(IDispatch* collection) {
    if (!collection) {
        return nullptr;
    }
    ComPtr<IHTMLElementCollection> c;
    collection->QueryInterface(kIidIHTMLElementCollection, reinterpret_cast<void**>(c.Put()));
    if (!c) {
        throw PlatformError("Type mismatch", 13, "ElementCollection");
    }
    return std::make_shared<Win32Collection>(std::move(c));
}

}  // namespace qm::win
