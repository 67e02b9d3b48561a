#include "platform/win32/win_page_document.h"

#include "base/platform_error.h"
#include "platform/win32/win_collection.h"
#include "platform/win32/win_guids.h"
#include "platform/win32/win_page.h"
#include "platform/win32/win_page_support.h"
#include "platform/win32/win_style_sheet.h"

namespace qm::win {

Win32PageDocument::Win32PageDocument(ComPtr<IHTMLDocument2> document)
    : document_(std::move(document)), identity_(IdentityOf(document_.Get())) {}

std::shared_ptr<ElementCollection> Win32PageDocument::All() {
    ComPtr<IHTMLElementCollection> all;
    Check(document_->get_all(all.Put()), "document.all");
    return all ? std::make_shared<Win32Collection>(std::move(all)) : nullptr;
}

std::shared_ptr<Element> Win32PageDocument::Body() {
    ComPtr<IHTMLElement> body;
    Check(document_->get_body(body.Put()), "document.body");
    return WrapElement(std::move(body));
}

std::shared_ptr<PageWindow> Win32PageDocument::ParentWindow() {
    ComPtr<IHTMLWindow2> window;
    Check(document_->get_parentWindow(window.Put()), "parentWindow");
    return WrapWindow(std::move(window));
}

std::shared_ptr<Element> Win32PageDocument::DocumentElement() {
    ComPtr<IHTMLElement> root;
    Check(Document3()->get_documentElement(root.Put()), "documentElement");
    return WrapElement(std::move(root));
}

std::int32_t Win32PageDocument::FramesLength() {
    long length = 0;
    Check(Frames()->get_length(&length), "frames.length");
    return static_cast<std::int32_t>(length);
}

std::shared_ptr<PageWindow> Win32PageDocument::FramesItem(std::int32_t index) {
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

std::int32_t Win32PageDocument::StyleSheetsLength() {
    long length = 0;
    Check(Sheets()->get_length(&length), "styleSheets.length");
    return static_cast<std::int32_t>(length);
}

std::shared_ptr<StyleSheet> Win32PageDocument::StyleSheetsItem(std::int32_t index) {
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

std::shared_ptr<StyleSheet> Win32PageDocument::CreateStyleSheet(const std::string& href, std::int32_t index) {
    const Bstr address(Widen(href));
    ComPtr<IHTMLStyleSheet> sheet;
    Check(document_->createStyleSheet(address.Get(), index, sheet.Put()), "createStyleSheet");
    return sheet ? std::make_shared<Win32StyleSheet>(std::move(sheet)) : nullptr;
}

std::unique_ptr<EventConnection> Win32PageDocument::Connect(std::weak_ptr<PageDocumentEvents> sink) {
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

ComPtr<IHTMLDocument3> Win32PageDocument::Document3() {
    ComPtr<IHTMLDocument3> d = document_.As<IHTMLDocument3>(kIidIHTMLDocument3);
    if (!d) {
        throw NotSupported("IHTMLDocument3");
    }
    return d;
}

ComPtr<IHTMLFramesCollection2> Win32PageDocument::Frames() {
    ComPtr<IHTMLFramesCollection2> frames;
    Check(document_->get_frames(frames.Put()), "frames");
    if (!frames) {
        throw PlatformError("Object variable not set", 91, "frames");
    }
    return frames;
}

ComPtr<IHTMLStyleSheetsCollection> Win32PageDocument::Sheets() {
    ComPtr<IHTMLStyleSheetsCollection> sheets;
    Check(document_->get_styleSheets(sheets.Put()), "styleSheets");
    if (!sheets) {
        throw PlatformError("Object variable not set", 91, "styleSheets");
    }
    return sheets;
}

std::shared_ptr<PageDocument> WrapDocument(IDispatch* document) {
    if (!document) {
        return nullptr;
    }
    ComPtr<IHTMLDocument2> html;
    document->QueryInterface(kIidIHTMLDocument2, reinterpret_cast<void**>(html.Put()));
    return html ? std::make_shared<Win32PageDocument>(std::move(html)) : nullptr;
}

}  // namespace qm::win
