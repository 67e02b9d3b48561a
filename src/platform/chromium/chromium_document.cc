#include "platform/chromium/chromium_document.h"

#include "base/platform_error.h"
#include "platform/chromium/chromium_collection.h"
#include "platform/chromium/chromium_element.h"
#include "platform/chromium/chromium_style_sheet.h"
#include "platform/chromium/chromium_window.h"
#include "platform/chromium/json_fields.h"

namespace qm::cr {

std::shared_ptr<ElementCollection> ChromiumDocument::All() {
    auto list = std::make_shared<ChromiumCollection>(context_, id_, std::string());
    context_->KeepList(list);
    return list;
}

std::shared_ptr<Element> ChromiumDocument::Body() {
    return context_->ElementFor(IntFrom(context_->RunOne({"body", id_})));
}

std::shared_ptr<PageWindow> ChromiumDocument::ParentWindow() {
    return context_->WindowFor(IntFrom(context_->RunOne({"win", id_})));
}

std::shared_ptr<Element> ChromiumDocument::DocumentElement() {
    return context_->ElementFor(IntFrom(context_->RunOne({"root", id_})));
}

std::int32_t ChromiumDocument::FramesLength() {
    const Json answer = context_->RunOne({"nframes", id_});
    return IntFrom(answer);
}

std::shared_ptr<PageWindow> ChromiumDocument::FramesItem(std::int32_t index) {
    return context_->WindowFor(IntFrom(context_->RunOne({"frame", id_, index})));
}

std::int32_t ChromiumDocument::StyleSheetsLength() {
    const Json answer = context_->RunOne({"nsheets", id_});
    return IntFrom(answer);
}

std::shared_ptr<StyleSheet> ChromiumDocument::StyleSheetsItem(std::int32_t index) {
    return context_->SheetFor(IntFrom(context_->RunOne({"sheet", id_, index})));
}

std::shared_ptr<StyleSheet> ChromiumDocument::CreateStyleSheet(const std::string& href, std::int32_t index) {
    const int id = IntFrom(context_->RunOne({"newsheet", id_, href, index}));
    if (id == 0) {
        throw PlatformError("The page refused a new style sheet", 0, "Chromium page");
    }
    return context_->SheetFor(id);
}

std::unique_ptr<EventConnection> ChromiumDocument::Connect(std::weak_ptr<PageDocumentEvents> sink) {
    auto connection = sinks_.Add(std::move(sink));
    if (activationPending_) {
        // The document became active before anyone listened: the first listener hears of it, after the
        // current event.
        activationPending_ = false;
        context_->Poster().PostTask([weak = weak_from_this()] {
            if (const auto self = weak.lock(); self && self->context_->Alive()) {
                self->FireActivate();
            }
        });
    }
    return connection;
}

void ChromiumDocument::FireActivate() {
    if (sinks_.Count() == 0) {
        activationPending_ = true;
        return;
    }
    sinks_.Fire([](PageDocumentEvents& sink) { sink.Document_onactivate(); });
}

void ChromiumDocument::FirePropertyChange() {
    sinks_.Fire([](PageDocumentEvents& sink) { sink.Document_onpropertychange(); });
}

}  // namespace qm::cr
