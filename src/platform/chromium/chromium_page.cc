#include "platform/chromium/chromium_page.h"

#include <algorithm>
#include <cctype>

#include "base/platform_error.h"
#include "base/text.h"
#include "platform/chromium/json_fields.h"
#include "platform/chromium/page_script.h"

namespace qm::cr {

namespace {

constexpr char kMissingLibrary[] = "\x01quillmere-missing";

PlatformError DocumentGone() {
    return PlatformError("The page's document has gone", kErrorDisconnected, "Chromium");
}

Json ValueToJson(const Variant& value) {
    if (value.IsNull()) {
        return nullptr;
    }
    // Attributes of this engine are texts; the page gets the value's text as setAttribute would make it.
    return VariantToText(value);
}

}  // namespace

Variant VariantFromJson(const Json& value) {
    if (value.is_boolean()) {
        return Variant(value.get<bool>());
    }
    if (value.is_number()) {
        return Variant(value.get<double>());
    }
    if (value.is_string()) {
        return Variant(value.get<std::string>());
    }
    return Variant();
}

// ---------------------------------------------------------------------------------------------------------
// PageContext

PageContext::PageContext(std::shared_ptr<CdpConnection> connection,
                         TaskPoster& poster,
                         std::string sessionId,
                         int contextId,
                         std::string frameId)
    : connection_(std::move(connection)),
      poster_(poster),
      sessionId_(std::move(sessionId)),
      contextId_(contextId),
      frameId_(std::move(frameId)) {}

PageContext::~PageContext() {
    // Writes queued by the last handle still go out.
    if (alive_ && !writes_.empty()) {
        Json batch = std::move(writes_);
        connection_->Send(
            "Runtime.evaluate",
            {{"expression", "globalThis.__qm && __qm.write(" + std::to_string(generation_) + "," +
                                batch.dump(-1, ' ', false, Json::error_handler_t::replace) + ")"},
             {"contextId", contextId_}},
            sessionId_);
    }
}

void PageContext::MarkGone() {
    alive_ = false;
    writes_ = Json::array();
}

void PageContext::ReleaseObjects() {
    // The objects hold this context; letting them go ends that circle.
    documents_.clear();
    windows_.clear();
    elements_.clear();
    sheets_.clear();
    keptLists_.clear();
}

void PageContext::KeepList(std::shared_ptr<ElementCollection> list) {
    if (keptLists_.size() < kKeptLists) {
        keptLists_.push_back(std::move(list));
    } else {
        keptLists_[nextKept_] = std::move(list);
        nextKept_ = (nextKept_ + 1) % kKeptLists;
    }
}

void PageContext::CheckAlive() const {
    if (!alive_ || connection_->Closed()) {
        throw DocumentGone();
    }
}

Json PageContext::Evaluate(const std::string& expression, bool byValue) {
    ++calls_;
    Json reply;
    try {
        reply = connection_->Call("Runtime.evaluate",
                                  {{"expression", expression},
                                   {"contextId", contextId_},
                                   {"returnByValue", byValue},
                                   {"silent", true}},
                                  sessionId_);
    } catch (const PlatformError& e) {
        if (e.Number() == kErrorTimeout) {
            // A page that does not answer (a script that never ends) is not asked again through this
            // document: every later call would wait as long. The browser makes a new one when asked.
            MarkGone();
        }
        throw;
    }
    const auto exception = reply.find("exceptionDetails");
    if (exception != reply.end()) {
        std::string text = "The page refused the call";
        if (exception->is_object()) {
            const auto thrown = exception->find("exception");
            if (thrown != exception->end() && thrown->is_object() && thrown->contains("description") &&
                (*thrown)["description"].is_string()) {
                text = (*thrown)["description"].get<std::string>();
            } else if (exception->contains("text") && (*exception)["text"].is_string()) {
                text = (*exception)["text"].get<std::string>();
            }
        }
        text = text.substr(0, text.find('\n'));
        if (text.find("The document has gone") != std::string::npos) {
            // The window shows another document now: this one is over for good.
            MarkGone();
        }
        throw PlatformError(text, 0, "Chromium page");
    }
    const auto result = reply.find("result");
    if (result == reply.end() || !result->is_object()) {
        return Json();
    }
    if (!byValue) {
        return *result;
    }
    const auto value = result->find("value");
    return value != result->end() ? *value : Json();
}

Json PageContext::Run(const Json& batch) {
    CheckAlive();
    Flush();
    const std::string call = "__qm.run(" + std::to_string(generation_) + "," +
                             batch.dump(-1, ' ', false, Json::error_handler_t::replace) + ")";
    Json answer;
    if (!libraryChecked_) {
        // A world made for a page that was already open has no library yet: it is put in on first use.
        answer = Evaluate("globalThis.__qm ? " + call + " : '" + std::string(kMissingLibrary) + "'", true);
        libraryChecked_ = true;
        if (answer.is_string() && answer.get<std::string>() == kMissingLibrary) {
            Evaluate(kPageScript, true);
            answer = Evaluate(call, true);
        }
    } else {
        answer = Evaluate(call, true);
    }
    // The answer names the document that gave it: the first one is this context's document for good.
    if (!answer.is_array() || answer.size() != 2 || !answer[0].is_number_integer() || !answer[1].is_array()) {
        throw PlatformError("The page gave no answer", 0, "Chromium page");
    }
    if (generation_ == 0) {
        generation_ = answer[0].get<std::int64_t>();
    }
    return std::move(answer[1]);
}

Json PageContext::RunOne(Json op) {
    Json batch = Json::array();
    batch.push_back(std::move(op));
    Json answer = Run(batch);
    return answer.empty() ? Json() : std::move(answer[0]);
}

void PageContext::Write(Json op) {
    CheckAlive();
    writes_.push_back(std::move(op));
    if (!flushPosted_) {
        flushPosted_ = true;
        poster_.PostTask([weak = weak_from_this()] {
            if (const auto self = weak.lock()) {
                self->flushPosted_ = false;
                self->Flush();
            }
        });
    }
}

void PageContext::Flush() {
    if (writes_.empty() || !alive_) {
        return;
    }
    Json batch = std::move(writes_);
    writes_ = Json::array();
    ++writeBatches_;
    connection_->Send("Runtime.evaluate",
                      {{"expression", "globalThis.__qm && __qm.write(" + std::to_string(generation_) + "," +
                                          batch.dump(-1, ' ', false, Json::error_handler_t::replace) + ")"},
                       {"contextId", contextId_},
                       {"silent", true}},
                      sessionId_);
}

template <typename T>
std::shared_ptr<T> PageContext::Cached(std::map<int, std::shared_ptr<T>>& cache, int id) {
    if (id <= 0) {
        return nullptr;
    }
    std::shared_ptr<T>& entry = cache[id];
    if (!entry) {
        entry = std::make_shared<T>(shared_from_this(), id);
    }
    return entry;
}

std::shared_ptr<ChromiumDocument> PageContext::DocumentFor(int id) {
    return Cached(documents_, id);
}

std::shared_ptr<ChromiumWindow> PageContext::WindowFor(int id) {
    return Cached(windows_, id);
}

std::shared_ptr<ChromiumElement> PageContext::ElementFor(int id) {
    return Cached(elements_, id);
}

std::shared_ptr<ChromiumStyleSheet> PageContext::SheetFor(int id) {
    return Cached(sheets_, id);
}

std::shared_ptr<ChromiumDocument> PageContext::ExistingDocument() {
    const auto entry = documents_.find(1);
    return entry == documents_.end() ? nullptr : entry->second;
}

std::shared_ptr<ChromiumWindow> PageContext::ExistingWindow() {
    const auto entry = windows_.find(2);
    return entry == windows_.end() ? nullptr : entry->second;
}

std::int64_t PageContext::AddTimeout(std::string code) {
    const std::int64_t key = nextTimeout_++;
    timeouts_[key] = std::move(code);
    return key;
}

std::optional<std::string> PageContext::TakeTimeout(std::int64_t key) {
    const auto entry = timeouts_.find(key);
    if (entry == timeouts_.end()) {
        return std::nullopt;
    }
    std::string code = std::move(entry->second);
    timeouts_.erase(entry);
    return code;
}

void PageContext::SetAttributeInPageWorld(int elementId, const std::string& name, const Variant& value) {
    CheckAlive();
    Flush();
    if (pageWorldContextId_ == 0) {
        throw PlatformError("The page's script world is not known", 0, "Chromium page");
    }
    // The element as an object of the program's world (which also proves that it still exists), then
    // the same node in the page's world.
    RunOne({"ident", elementId});
    ++calls_;
    const Json object = connection_
                            ->Call("Runtime.evaluate",
                                   {{"expression", "__qm.node(" + std::to_string(elementId) + ")"},
                                    {"contextId", contextId_},
                                    {"returnByValue", false},
                                    {"silent", true}},
                                   sessionId_)
                            .value("result", Json::object());
    const std::string objectId = object.value("objectId", std::string());
    if (objectId.empty()) {
        throw PlatformError("The element has gone", 0, "Chromium page");
    }
    ++calls_;
    const Json described = connection_->Call("DOM.describeNode", {{"objectId", objectId}}, sessionId_);
    const Json node = described.value("node", Json::object());
    if (!node.contains("backendNodeId")) {
        throw PlatformError("The element has gone", 0, "Chromium page");
    }
    ++calls_;
    const Json resolved = connection_->Call(
        "DOM.resolveNode",
        {{"backendNodeId", node["backendNodeId"]}, {"executionContextId", pageWorldContextId_}}, sessionId_);
    const std::string pageObjectId =
        resolved.value("object", Json::object()).value("objectId", std::string());
    if (pageObjectId.empty()) {
        throw PlatformError("The element has gone", 0, "Chromium page");
    }
    ++calls_;
    // The page's own setAttribute runs here; a page that replaced it only keeps its own handlers where
    // they were.
    const Json reply = connection_->Call(
        "Runtime.callFunctionOn",
        {{"objectId", pageObjectId},
         {"functionDeclaration",
          "function(n, v) { if (v === null) this.removeAttribute(n); else this.setAttribute(n, v); }"},
         {"arguments", Json::array({Json{{"value", name}}, Json{{"value", ValueToJson(value)}}})},
         {"silent", true}},
        sessionId_);
    if (reply.contains("exceptionDetails")) {
        throw PlatformError("The page refused the attribute " + name, 0, "Chromium page");
    }
    connection_->Send("Runtime.releaseObject", {{"objectId", pageObjectId}}, sessionId_);
    connection_->Send("Runtime.releaseObject", {{"objectId", objectId}}, sessionId_);
}

// ---------------------------------------------------------------------------------------------------------
// ChromiumElement

void ChromiumElement::SetSnapshot(ElementSnapshot snapshot) {
    tag_ = snapshot.tag;
    snapshot_ = std::move(snapshot);
}

Variant ChromiumElement::GetAttribute(const std::string& name) {
    const std::string lower = ToLowerAscii(name);
    if (snapshot_ && lower == "src") {
        return snapshot_->src;
    }
    if (snapshot_ && lower == "href") {
        return snapshot_->href;
    }
    if (knownHref_ && lower == "href") {
        return *knownHref_;
    }
    return VariantFromJson(context_->RunOne({"attr", id_, name}));
}

void ChromiumElement::SetAttribute(const std::string& name, const Variant& value) {
    const std::string lower = ToLowerAscii(name);
    if (lower.rfind("on", 0) == 0) {
        context_->SetAttributeInPageWorld(id_, name, value);
        return;
    }
    context_->Write({"setattr", id_, name, ValueToJson(value)});
    const Variant stored = value.IsNull() ? Variant() : Variant(VariantToText(value));
    if (lower == "href") {
        knownHref_ = stored;
        if (snapshot_) {
            snapshot_->href = stored;
        }
    } else if (lower == "src" && snapshot_) {
        snapshot_->src = stored;
    } else if ((lower == "width" || lower == "height" || lower == "style") && snapshot_) {
        snapshot_.reset();  // sizes and inline styles are read afresh
    }
}

std::string ChromiumElement::GetStyle(StyleProperty property) {
    if (snapshot_ && property == StyleProperty::Position) {
        return snapshot_->position;
    }
    if (snapshot_ && property == StyleProperty::Visibility) {
        return snapshot_->visibility;
    }
    return TextFrom(context_->RunOne({"style", id_, StyleName(property)}));
}

void ChromiumElement::SetStyle(StyleProperty property, const std::string& value) {
    context_->Write({"setstyle", id_, StyleName(property), value});
    if (snapshot_ && property == StyleProperty::Position) {
        snapshot_->position = value;
    } else if (snapshot_ && property == StyleProperty::Visibility) {
        snapshot_->visibility = value;
    }
}

std::string ChromiumElement::InnerText() {
    if (snapshot_ && snapshot_->innerText) {
        return *snapshot_->innerText;
    }
    return TextFrom(context_->RunOne({"text", id_}));
}

std::shared_ptr<Element> ChromiumElement::ParentElement() {
    if (snapshot_) {
        auto parent = context_->ElementFor(snapshot_->parentId);
        if (parent && !snapshot_->parentTag.empty()) {
            parent->SetKnownTag(snapshot_->parentTag);
        }
        return parent;
    }
    const Json answer = context_->RunOne({"parent", id_});
    if (!answer.is_array() || answer.size() != 2) {
        return nullptr;
    }
    auto parent = context_->ElementFor(IntFrom(answer[0]));
    if (parent) {
        parent->SetKnownTag(TextFrom(answer[1]));
    }
    return parent;
}

std::string ChromiumElement::TagName() {
    if (!tag_) {
        tag_ = TextFrom(context_->RunOne({"tag", id_}));
    }
    return *tag_;
}

std::shared_ptr<ElementCollection> ChromiumElement::All() {
    auto list = std::make_shared<ChromiumCollection>(context_, id_, std::string());
    context_->KeepList(list);
    return list;
}

void ChromiumElement::SetOuterHTML(const std::string& html) {
    context_->Write({"outer", id_, html});
    snapshot_.reset();
}

std::string ChromiumElement::ComponentFromPoint(std::int32_t x, std::int32_t y) {
    return TextFrom(context_->RunOne({"part", id_, x, y}));
}

Variant ChromiumElement::Width() {
    if (snapshot_) {
        return snapshot_->width;
    }
    const Json answer = context_->RunOne({"dims", id_});
    return answer.is_array() && answer.size() == 2 ? VariantFromJson(answer[0]) : Variant();
}

Variant ChromiumElement::Height() {
    if (snapshot_) {
        return snapshot_->height;
    }
    const Json answer = context_->RunOne({"dims", id_});
    return answer.is_array() && answer.size() == 2 ? VariantFromJson(answer[1]) : Variant();
}

std::shared_ptr<PageWindow> ChromiumElement::ContentWindow() {
    return context_->WindowFor(IntFrom(context_->RunOne({"cwin", id_})));
}

// ---------------------------------------------------------------------------------------------------------
// ChromiumCollection

ChromiumCollection::ChromiumCollection(std::shared_ptr<PageContext> context,
                                       int scopeId,
                                       std::string tag,
                                       bool empty)
    : context_(std::move(context)), scopeId_(scopeId), tag_(ToUpperAscii(tag)), empty_(empty) {}

void ChromiumCollection::Load() {
    if (items_) {
        return;
    }
    std::vector<std::shared_ptr<ChromiumElement>> items;
    if (!empty_) {
        const Json records = context_->RunOne({"items", scopeId_, tag_});
        if (!records.is_array()) {
            throw PlatformError("The page gave no list", 0, "Chromium page");
        }
        items.reserve(records.size());
        for (const Json& r : records) {
            if (!r.is_array() || r.size() < 12) {
                continue;
            }
            auto element = context_->ElementFor(IntFrom(r[0]));
            if (!element) {
                continue;
            }
            ElementSnapshot s;
            s.tag = TextFrom(r[1]);
            s.parentId = IntFrom(r[2]);
            s.parentTag = TextFrom(r[3]);
            s.width = VariantFromJson(r[5]);
            s.height = VariantFromJson(r[6]);
            s.src = VariantFromJson(r[7]);
            s.href = VariantFromJson(r[8]);
            if (r[9].is_string()) {
                s.innerText = r[9].get<std::string>();
            }
            s.position = TextFrom(r[10]);
            s.visibility = TextFrom(r[11]);
            if (s.parentId > 0) {
                // The parent's href is what the program reads of a link around an image.
                if (const auto parent = context_->ElementFor(s.parentId)) {
                    parent->SetKnownTag(s.parentTag);
                    parent->SetKnownHref(VariantFromJson(r[4]));
                }
            }
            element->SetSnapshot(std::move(s));
            items.push_back(std::move(element));
        }
    }
    count_ = static_cast<std::int32_t>(items.size());
    items_ = std::move(items);
}

std::int32_t ChromiumCollection::Length() {
    if (items_ || count_) {
        return count_.value_or(0);
    }
    if (empty_) {
        count_ = 0;
        return 0;
    }
    if (!tag_.empty()) {
        Load();
        return *count_;
    }
    const Json answer = context_->RunOne({"count", scopeId_, tag_});
    count_ = answer.is_number_integer() ? answer.get<std::int32_t>() : 0;
    return *count_;
}

std::shared_ptr<Element> ChromiumCollection::Item(std::int32_t index) {
    Load();
    if (index < 0 || static_cast<std::size_t>(index) >= items_->size()) {
        return nullptr;
    }
    return (*items_)[static_cast<std::size_t>(index)];
}

std::shared_ptr<ElementCollection> ChromiumCollection::Tags(const std::string& name) {
    const std::string upper = ToUpperAscii(name);
    auto list = std::make_shared<ChromiumCollection>(context_, scopeId_, upper,
                                                     /*empty=*/empty_ || (!tag_.empty() && tag_ != upper));
    context_->KeepList(list);
    return list;
}

// ---------------------------------------------------------------------------------------------------------
// ChromiumDocument

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
    return answer.is_number_integer() ? answer.get<std::int32_t>() : 0;
}

std::shared_ptr<PageWindow> ChromiumDocument::FramesItem(std::int32_t index) {
    return context_->WindowFor(IntFrom(context_->RunOne({"frame", id_, index})));
}

std::int32_t ChromiumDocument::StyleSheetsLength() {
    const Json answer = context_->RunOne({"nsheets", id_});
    return answer.is_number_integer() ? answer.get<std::int32_t>() : 0;
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

// ---------------------------------------------------------------------------------------------------------
// ChromiumWindow

std::shared_ptr<PageDocument> ChromiumWindow::Document() {
    // A frame of another site refuses: the page library's read throws the browser's security error.
    return context_->DocumentFor(IntFrom(context_->RunOne({"wdoc", id_})));
}

std::int32_t ChromiumWindow::ScreenLeft() {
    const Json answer = context_->RunOne({"wpos", id_});
    return answer.is_array() && answer.size() == 2 && answer[0].is_number() ? answer[0].get<std::int32_t>()
                                                                            : 0;
}

std::int32_t ChromiumWindow::ScreenTop() {
    const Json answer = context_->RunOne({"wpos", id_});
    return answer.is_array() && answer.size() == 2 && answer[1].is_number() ? answer[1].get<std::int32_t>()
                                                                            : 0;
}

void ChromiumWindow::SetTimeout(const std::string& code, std::int32_t milliseconds) {
    if (id_ != 2) {
        // FIXME: code for a frame's window would need that frame's own script world.
        throw PlatformError("Timers are only set on the page's own window", 0, "Chromium page");
    }
    // The page's timer runs in the program's world, where the page cannot cancel or replace it; when it
    // fires, the code runs in the page's world.
    const std::int64_t key = context_->AddTimeout(code);
    context_->Write({"timeout", milliseconds, key});
    context_->Flush();
}

std::unique_ptr<EventConnection> ChromiumWindow::Connect(std::weak_ptr<PageWindowEvents> sink) {
    return sinks_.Add(std::move(sink));
}

void ChromiumWindow::FireBeforeUnload() {
    sinks_.Fire([](PageWindowEvents& sink) { sink.Window_onbeforeunload(); });
}

// ---------------------------------------------------------------------------------------------------------
// ChromiumStyleSheet

std::shared_ptr<Element> ChromiumStyleSheet::OwningElement() {
    const Json answer = context_->RunOne({"owner", id_});
    if (!answer.is_array() || answer.size() != 2) {
        return nullptr;
    }
    auto owner = context_->ElementFor(IntFrom(answer[0]));
    if (owner) {
        owner->SetKnownTag(TextFrom(answer[1]));
    }
    return owner;
}

void ChromiumStyleSheet::AddRule(const std::string& selector, const std::string& style, std::int32_t index) {
    // A rule the engine cannot parse is an error the caller sees, so this write waits for its answer.
    context_->RunOne({"addrule", id_, selector, style, index});
}

}  // namespace qm::cr
