#include "platform/win32/win_page.h"

#include <mshtml.h>

#include "base/platform_error.h"
#include "platform/win32/win_com.h"
#include "platform/win32/win_guids.h"
#include "ports/element_collection.h"
#include "ports/page_element.h"
#include "ports/page_window.h"
#include "ports/style_sheet.h"

namespace qm::win {

namespace {

void Check(HRESULT hr, const char* source) {
    CheckHr(hr, source);
}

std::string TextOf(const Bstr& b) {
    return Narrow(b.Text());
}

VARIANT IndexVariant(std::int32_t index) {
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

std::shared_ptr<Element> WrapElement(ComPtr<IHTMLElement> element);
std::shared_ptr<ElementCollection> WrapCollection(IDispatch* collection);
std::shared_ptr<PageWindow> WrapWindow(ComPtr<IHTMLWindow2> window);

class Win32Element final : public Element {
  public:
    explicit Win32Element(ComPtr<IHTMLElement> element)
        : element_(std::move(element)), identity_(IdentityOf(element_.Get())) {}

    const void* Identity() const override { return identity_.Get(); }

    Variant GetAttribute(const std::string& name) override {
        const Bstr attribute(Widen(name));
        ScopedVariant value;
        Check(element_->getAttribute(attribute.Get(), 0, value.Get()), "getAttribute");
        return FromVariant(*value.Get());
    }

    void SetAttribute(const std::string& name, const Variant& value) override {
        const Bstr attribute(Widen(name));
        VARIANT v = ToVariant(value);
        const HRESULT hr = element_->setAttribute(attribute.Get(), v, 1);
        ::VariantClear(&v);
        Check(hr, "setAttribute");
    }

    std::string GetStyle(StyleProperty property) override {
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

    void SetStyle(StyleProperty property, const std::string& text) override {
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

    std::string InnerText() override {
        Bstr text;
        Check(element_->get_innerText(text.Put()), "innerText");
        return TextOf(text);
    }

    std::shared_ptr<Element> ParentElement() override {
        ComPtr<IHTMLElement> parent;
        Check(element_->get_parentElement(parent.Put()), "parentElement");
        return WrapElement(std::move(parent));
    }

    std::string TagName() override {
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

    std::shared_ptr<ElementCollection> All() override {
        ComPtr<IDispatch> all;
        Check(element_->get_all(all.Put()), "all");
        return WrapCollection(all.Get());
    }

    void SetOuterHTML(const std::string& html) override {
        const Bstr markup(Widen(html));
        Check(element_->put_outerHTML(markup.Get()), "outerHTML");
    }

    std::string ComponentFromPoint(std::int32_t x, std::int32_t y) override {
        ComPtr<IHTMLElement2> element2 = element_.As<IHTMLElement2>(kIidIHTMLElement2);
        if (!element2) {
            throw NotSupported("componentFromPoint");
        }
        Bstr component;
        Check(element2->componentFromPoint(x, y, component.Put()), "componentFromPoint");
        return TextOf(component);
    }

    Variant Width() override { return Dimension(true); }
    Variant Height() override { return Dimension(false); }

    std::shared_ptr<PageWindow> ContentWindow() override {
        ComPtr<IHTMLFrameBase2> frame = element_.As<IHTMLFrameBase2>(kIidIHTMLFrameBase2);
        if (!frame) {
            throw NotSupported("contentWindow");
        }
        ComPtr<IHTMLWindow2> window;
        Check(frame->get_contentWindow(window.Put()), "contentWindow");
        return WrapWindow(std::move(window));
    }

  private:
    ComPtr<IHTMLStyle> Style() {
        ComPtr<IHTMLStyle> style;
        Check(element_->get_style(style.Put()), "style");
        if (!style) {
            throw PlatformError("Object variable not set", 91, "style");
        }
        return style;
    }

    Variant Dimension(bool width) {
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

    ComPtr<IHTMLElement> element_;
    ComPtr<IUnknown> identity_;
};

class Win32Collection final : public ElementCollection {
  public:
    explicit Win32Collection(ComPtr<IHTMLElementCollection> collection)
        : collection_(std::move(collection)) {}

    std::int32_t Length() override {
        long length = 0;
        Check(collection_->get_length(&length), "length");
        return static_cast<std::int32_t>(length);
    }

    std::shared_ptr<Element> Item(std::int32_t index) override {
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

    std::shared_ptr<ElementCollection> Tags(const std::string& name) override {
        const Bstr tag(Widen(name));
        VARIANT v;
        ::VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = tag.Get();
        ComPtr<IDispatch> tags;
        Check(collection_->tags(v, tags.Put()), "tags");
        return WrapCollection(tags.Get());
    }

  private:
    ComPtr<IHTMLElementCollection> collection_;
};

class Win32StyleSheet final : public StyleSheet {
  public:
    explicit Win32StyleSheet(ComPtr<IHTMLStyleSheet> sheet) : sheet_(std::move(sheet)) {}

    std::shared_ptr<Element> OwningElement() override {
        ComPtr<IHTMLElement> owner;
        Check(sheet_->get_owningElement(owner.Put()), "owningElement");
        return WrapElement(std::move(owner));
    }

    void AddRule(const std::string& selector, const std::string& style, std::int32_t index) override {
        const Bstr s(Widen(selector));
        const Bstr body(Widen(style));
        long added = 0;
        Check(sheet_->addRule(s.Get(), body.Get(), index, &added), "addRule");
    }

  private:
    ComPtr<IHTMLStyleSheet> sheet_;
};

class Win32PageWindow final : public PageWindow {
  public:
    explicit Win32PageWindow(ComPtr<IHTMLWindow2> window)
        : window_(std::move(window)), identity_(IdentityOf(window_.Get())) {}

    const void* Identity() const override { return identity_.Get(); }

    std::shared_ptr<PageDocument> Document() override {
        ComPtr<IHTMLDocument2> document;
        // Another site's page refuses (access denied): that is the failure the caller expects.
        Check(window_->get_document(document.Put()), "window.document");
        if (!document) {
            throw PlatformError("Permission denied", 70, "window.document");
        }
        return WrapDocument(document.Get());
    }

    std::int32_t ScreenLeft() override {
        long value = 0;
        Check(Window3()->get_screenLeft(&value), "screenLeft");
        return static_cast<std::int32_t>(value);
    }

    std::int32_t ScreenTop() override {
        long value = 0;
        Check(Window3()->get_screenTop(&value), "screenTop");
        return static_cast<std::int32_t>(value);
    }

    void SetTimeout(const std::string& code, std::int32_t milliseconds) override {
        const Bstr script(Widen(code));
        VARIANT language;
        ::VariantInit(&language);
        long id = 0;
        Check(window_->setTimeout(script.Get(), milliseconds, &language, &id), "setTimeout");
    }

    std::unique_ptr<EventConnection> Connect(std::weak_ptr<PageWindowEvents> sink) override {
        return Attach(Window3(), L"onbeforeunload", [sink] {
            if (const auto events = sink.lock()) {
                events->Window_onbeforeunload();
            }
        });
    }

  private:
    ComPtr<IHTMLWindow3> Window3() {
        ComPtr<IHTMLWindow3> w = window_.As<IHTMLWindow3>(kIidIHTMLWindow3);
        if (!w) {
            throw NotSupported("IHTMLWindow3");
        }
        return w;
    }

    ComPtr<IHTMLWindow2> window_;
    ComPtr<IUnknown> identity_;
};

class Win32PageDocument final : public PageDocument {
  public:
    explicit Win32PageDocument(ComPtr<IHTMLDocument2> document)
        : document_(std::move(document)), identity_(IdentityOf(document_.Get())) {}

    const void* Identity() const override { return identity_.Get(); }

    std::shared_ptr<ElementCollection> All() override {
        ComPtr<IHTMLElementCollection> all;
        Check(document_->get_all(all.Put()), "document.all");
        return all ? std::make_shared<Win32Collection>(std::move(all)) : nullptr;
    }

    std::shared_ptr<Element> Body() override {
        ComPtr<IHTMLElement> body;
        Check(document_->get_body(body.Put()), "document.body");
        return WrapElement(std::move(body));
    }

    std::shared_ptr<PageWindow> ParentWindow() override {
        ComPtr<IHTMLWindow2> window;
        Check(document_->get_parentWindow(window.Put()), "parentWindow");
        return WrapWindow(std::move(window));
    }

    std::shared_ptr<Element> DocumentElement() override {
        ComPtr<IHTMLElement> root;
        Check(Document3()->get_documentElement(root.Put()), "documentElement");
        return WrapElement(std::move(root));
    }

    std::int32_t FramesLength() override {
        long length = 0;
        Check(Frames()->get_length(&length), "frames.length");
        return static_cast<std::int32_t>(length);
    }

    std::shared_ptr<PageWindow> FramesItem(std::int32_t index) override {
        VARIANT i = IndexVariant(index);
        ScopedVariant result;
        Check(Frames()->item(&i, result.Get()), "frames.item");
        VARIANT* r = result.Get();
        if (V_VT(r) != VT_DISPATCH || !V_DISPATCH(r)) {
            return nullptr;
        }
        ComPtr<IHTMLWindow2> window;
        V_DISPATCH(r)->QueryInterface(kIidIHTMLWindow2, reinterpret_cast<void**>(window.Put()));
        return WrapWindow(std::move(window));
    }

    std::int32_t StyleSheetsLength() override {
        long length = 0;
        Check(Sheets()->get_length(&length), "styleSheets.length");
        return static_cast<std::int32_t>(length);
    }

    std::shared_ptr<StyleSheet> StyleSheetsItem(std::int32_t index) override {
        VARIANT i = IndexVariant(index);
        ScopedVariant result;
        Check(Sheets()->item(&i, result.Get()), "styleSheets.item");
        VARIANT* r = result.Get();
        if (V_VT(r) != VT_DISPATCH || !V_DISPATCH(r)) {
            return nullptr;
        }
        ComPtr<IHTMLStyleSheet> sheet;
        V_DISPATCH(r)->QueryInterface(kIidIHTMLStyleSheet, reinterpret_cast<void**>(sheet.Put()));
        return sheet ? std::make_shared<Win32StyleSheet>(std::move(sheet)) : nullptr;
    }

    std::shared_ptr<StyleSheet> CreateStyleSheet(const std::string& href, std::int32_t index) override {
        const Bstr address(Widen(href));
        ComPtr<IHTMLStyleSheet> sheet;
        Check(document_->createStyleSheet(address.Get(), index, sheet.Put()), "createStyleSheet");
        return sheet ? std::make_shared<Win32StyleSheet>(std::move(sheet)) : nullptr;
    }

    std::unique_ptr<EventConnection> Connect(std::weak_ptr<PageDocumentEvents> sink) override {
        // Both events through one subscription: two handler objects, ended together.
        auto activate = Attach(Document3(), L"onactivate", [sink] {
            if (const auto events = sink.lock()) {
                events->Document_onactivate();
            }
        });
        auto change = Attach(Document3(), L"onpropertychange", [sink] {
            if (const auto events = sink.lock()) {
                events->Document_onpropertychange();
            }
        });
        return std::make_unique<Pair>(std::move(activate), std::move(change));
    }

  private:
    class Pair final : public EventConnection {
      public:
        Pair(std::unique_ptr<EventConnection> a, std::unique_ptr<EventConnection> b)
            : a_(std::move(a)), b_(std::move(b)) {}

      private:
        std::unique_ptr<EventConnection> a_;
        std::unique_ptr<EventConnection> b_;
    };

    ComPtr<IHTMLDocument3> Document3() {
        ComPtr<IHTMLDocument3> d = document_.As<IHTMLDocument3>(kIidIHTMLDocument3);
        if (!d) {
            throw NotSupported("IHTMLDocument3");
        }
        return d;
    }
    ComPtr<IHTMLFramesCollection2> Frames() {
        ComPtr<IHTMLFramesCollection2> frames;
        Check(document_->get_frames(frames.Put()), "frames");
        if (!frames) {
            throw PlatformError("Object variable not set", 91, "frames");
        }
        return frames;
    }
    ComPtr<IHTMLStyleSheetsCollection> Sheets() {
        ComPtr<IHTMLStyleSheetsCollection> sheets;
        Check(document_->get_styleSheets(sheets.Put()), "styleSheets");
        if (!sheets) {
            throw PlatformError("Object variable not set", 91, "styleSheets");
        }
        return sheets;
    }

    ComPtr<IHTMLDocument2> document_;
    ComPtr<IUnknown> identity_;
};

std::shared_ptr<Element> WrapElement(ComPtr<IHTMLElement> element) {
    return element ? std::make_shared<Win32Element>(std::move(element)) : nullptr;
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

std::shared_ptr<PageWindow> WrapWindow(ComPtr<IHTMLWindow2> window) {
    return window ? std::make_shared<Win32PageWindow>(std::move(window)) : nullptr;
}

}  // namespace

std::shared_ptr<PageDocument> WrapDocument(IDispatch* document) {
    if (!document) {
        return nullptr;
    }
    ComPtr<IHTMLDocument2> html;
    document->QueryInterface(kIidIHTMLDocument2, reinterpret_cast<void**>(html.Put()));
    return html ? std::make_shared<Win32PageDocument>(std::move(html)) : nullptr;
}

Variant FromVariant(const VARIANT& source) {
    const VARIANT* v = &source;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
        v = V_VARIANTREF(v);
    }
    switch (V_VT(v)) {
        case VT_EMPTY:
        case VT_NULL:
            return {};
        case VT_BOOL:
            return V_BOOL(v) != VARIANT_FALSE;
        case VT_BSTR:
            return Narrow(
                std::wstring_view(V_BSTR(v) ? V_BSTR(v) : L"", V_BSTR(v) ? ::SysStringLen(V_BSTR(v)) : 0));
        case VT_I1:
            return static_cast<std::int32_t>(V_I1(v));
        case VT_UI1:
            return static_cast<std::int32_t>(V_UI1(v));
        case VT_I2:
            return static_cast<std::int32_t>(V_I2(v));
        case VT_UI2:
            return static_cast<std::int32_t>(V_UI2(v));
        case VT_I4:
        case VT_INT:
            return static_cast<std::int32_t>(V_I4(v));
        case VT_UI4:
        case VT_UINT:
            return static_cast<double>(V_UI4(v));
        case VT_R4:
            return static_cast<double>(V_R4(v));
        case VT_R8:
            return V_R8(v);
        default: {
            VARIANT text;
            ::VariantInit(&text);
            if (SUCCEEDED(::VariantChangeType(&text, const_cast<VARIANT*>(v), 0, VT_BSTR))) {
                Variant result = Narrow(std::wstring_view(V_BSTR(&text), ::SysStringLen(V_BSTR(&text))));
                ::VariantClear(&text);
                return result;
            }
            return {};
        }
    }
}

VARIANT ToVariant(const Variant& value) {
    VARIANT v;
    ::VariantInit(&v);
    if (value.IsBool()) {
        V_VT(&v) = VT_BOOL;
        V_BOOL(&v) = value.AsBool() ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (value.IsNumber()) {
        V_VT(&v) = VT_R8;
        V_R8(&v) = value.AsNumber();
    } else if (value.IsString()) {
        const std::wstring text = Widen(value.AsString());
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    } else {
        V_VT(&v) = VT_NULL;
    }
    return v;
}

}  // namespace qm::win
