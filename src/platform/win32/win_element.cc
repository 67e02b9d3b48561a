#include "platform/win32/win_element.h"

#include <utility>

#include "base/platform_error.h"
#include "platform/win32/win_guids.h"
#include "platform/win32/win_page.h"
#include "platform/win32/win_page_support.h"

namespace qm::win {

namespace {

std::string TextOf(const Bstr& b) {
    return Narrow(b.Text());
}

}  // namespace

Win32Element::Win32Element(ComPtr<IHTMLElement> element)
    : element_(std::move(element)), identity_(IdentityOf(element_.Get())) {}

Variant Win32Element::GetAttribute(const std::string& name) {
    const Bstr attribute(Widen(name));
    ScopedVariant value;
    Check(element_->getAttribute(attribute.Get(), 0, value.Get()), "getAttribute");
    return FromVariant(*value.Get());
}

void Win32Element::SetAttribute(const std::string& name, const Variant& value) {
    const Bstr attribute(Widen(name));
    VARIANT v = ToVariant(value);
    const HRESULT hr = element_->setAttribute(attribute.Get(), v, 1);
    ::VariantClear(&v);
    Check(hr, "setAttribute");
}

std::string Win32Element::GetStyle(StyleProperty property) {
    ComPtr<IHTMLStyle> style = Style();
    Bstr value;
    switch (property) {
        case StyleProperty::Position:
            Check(style->get_position(value.Put()), "style.position");
            break;
        case StyleProperty::Visibility:
            Check(style->get_visibility(value.Put()), "style.visibility");
            break;
        case StyleProperty::Display:
            Check(style->get_display(value.Put()), "style.display");
            break;
    }
    return TextOf(value);
}

void Win32Element::SetStyle(StyleProperty property, const std::string& text) {
    ComPtr<IHTMLStyle> style = Style();
    const Bstr value(Widen(text));
    switch (property) {
        case StyleProperty::Position: {
            // IHTMLStyle only reads the position; IHTMLStyle2 writes it.
            ComPtr<IHTMLStyle2> style2 = style.As<IHTMLStyle2>(kIidIHTMLStyle2);
            if (!style2) {
                throw NotSupported("style.position");
            }
            Check(style2->put_position(value.Get()), "style.position");
            break;
        }
        case StyleProperty::Visibility:
            Check(style->put_visibility(value.Get()), "style.visibility");
            break;
        case StyleProperty::Display:
            Check(style->put_display(value.Get()), "style.display");
            break;
    }
}

std::string Win32Element::InnerText() {
    Bstr text;
    Check(element_->get_innerText(text.Put()), "innerText");
    return TextOf(text);
}

std::shared_ptr<Element> Win32Element::ParentElement() {
    ComPtr<IHTMLElement> parent;
    Check(element_->get_parentElement(parent.Put()), "parentElement");
    return WrapElement(std::move(parent));
}

std::string Win32Element::TagName() {
    Bstr tag;
    Check(element_->get_tagName(tag.Put()), "tagName");
    std::string name = TextOf(tag);
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return name;
}

std::shared_ptr<ElementCollection> Win32Element::All() {
    ComPtr<IDispatch> all;
    Check(element_->get_all(all.Put()), "all");
    return WrapCollection(all.Get());
}

void Win32Element::SetOuterHTML(const std::string& html) {
    const Bstr markup(Widen(html));
    Check(element_->put_outerHTML(markup.Get()), "outerHTML");
}

std::string Win32Element::ComponentFromPoint(std::int32_t x, std::int32_t y) {
    ComPtr<IHTMLElement2> element2 = element_.As<IHTMLElement2>(kIidIHTMLElement2);
    if (!element2) {
        throw NotSupported("componentFromPoint");
    }
    Bstr component;
    Check(element2->componentFromPoint(x, y, component.Put()), "componentFromPoint");
    return TextOf(component);
}

std::shared_ptr<PageWindow> Win32Element::ContentWindow() {
    ComPtr<IHTMLFrameBase2> frame = element_.As<IHTMLFrameBase2>(kIidIHTMLFrameBase2);
    if (!frame) {
        throw NotSupported("contentWindow");
    }
    ComPtr<IHTMLWindow2> window;
    Check(frame->get_contentWindow(window.Put()), "contentWindow");
    return WrapWindow(std::move(window));
}

ComPtr<IHTMLStyle> Win32Element::Style() {
    ComPtr<IHTMLStyle> style;
    Check(element_->get_style(style.Put()), "style");
    if (!style) {
        throw PlatformError("Object variable not set", 91, "style");
    }
    return style;
}

Variant Win32Element::Dimension(bool width) {
    if (ComPtr<IHTMLImgElement> image = element_.As<IHTMLImgElement>(kIidIHTMLImgElement)) {
        long value = 0;
        Check(width ? image->get_width(&value) : image->get_height(&value), "img size");
        return static_cast<std::int32_t>(value);
    }
    if (ComPtr<IHTMLIFrameElement2> frame = element_.As<IHTMLIFrameElement2>(kIidIHTMLIFrameElement2)) {
        ScopedVariant value;
        Check(width ? frame->get_width(value.Get()) : frame->get_height(value.Get()), "iframe size");
        return FromVariant(*value.Get());
    }
    return GetAttribute(width ? "width" : "height");
}

std::shared_ptr<Element> WrapElement(ComPtr<IHTMLElement> element) {
    return element ? std::make_shared<Win32Element>(std::move(element)) : nullptr;
}

}  // namespace qm::win
