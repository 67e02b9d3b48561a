#include "platform/chromium/page_context.h"

#include <chrono>

#include "base/platform_error.h"
#include "base/text.h"
#include "platform/chromium/chromium_document.h"
#include "platform/chromium/chromium_element.h"
#include "platform/chromium/chromium_style_sheet.h"
#include "platform/chromium/chromium_window.h"
#include "platform/chromium/json_fields.h"
#include "platform/chromium/page_script.h"
#include "platform/chromium/variant_json.h"

namespace qm::cr {

namespace {

constexpr char kMissingLibrary[] = "\x01quillmere-missing";

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

PlatformError DocumentGone() {
    return PlatformError("The page's document has gone", kErrorDisconnected, "Chromium");
}

// A batch of page-library operations as the text of a call's argument.
std::string BatchText(const Json& batch) {
    return batch.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The call that makes the writes of `batch` in document `generation` (none once the library has gone).
std::string WriteCall(std::int64_t generation, const Json& batch) {
    return "globalThis.__qm && __qm.write(" + std::to_string(generation) + "," + BatchText(batch) + ")";
}

}  // namespace

PageContext::PageContext(std::shared_ptr<CdpConnection> connection,
                         EventLoop& loop,
                         TaskPoster& poster,
                         std::string sessionId,
                         int contextId,
                         std::string frameId)
    : connection_(std::move(connection)),
      poster_(poster),
      sessionId_(std::move(sessionId)),
      contextId_(contextId),
      frameId_(std::move(frameId)),
      loop_(loop) {}

PageContext::~PageContext() {
    // Writes queued by the last handle still go out.
    if (alive_ && !writes_.empty()) {
        Json batch = std::move(writes_);
        connection_->Send("Runtime.evaluate",
                          {{"expression", WriteCall(generation_, batch)}, {"contextId", contextId_}},
                          sessionId_);
    }
}

void PageContext::MarkGone() {
    alive_ = false;
    writes_ = Json::array();
    readAhead_ = {};
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

namespace {

// The scope and tag of a batch that reads one list (`[["items", scope, tag]]`).
std::optional<std::pair<int, std::string>> ListRead(const Json& batch) {
    if (batch.size() != 1 || !batch[0].is_array() || batch[0].size() != 3 || batch[0][0] != "items" ||
        !batch[0][1].is_number_integer() || !batch[0][2].is_string()) {
        return std::nullopt;
    }
    return std::make_pair(batch[0][1].get<int>(), batch[0][2].get<std::string>());
}

}  // namespace

Json PageContext::Run(const Json& batch) {
    CheckAlive();
    if (std::optional<Json> list = TakeReadAhead(batch)) {
        Json answer = Json::array();
        answer.push_back(std::move(*list));
        return answer;
    }
    const auto read = ListRead(batch);
    if (!read || read->second != "DIV" || batching_ != Batching::Batched || !writes_.empty()) {
        return RunNow(batch);
    }
    Json sent = batch;
    for (const char* tag : kReadAheadTags) {
        sent.push_back(Json::array({"items", read->first, tag}));
    }
    Json answer = RunNow(sent);
    KeepReadAhead(sent, answer);
    return answer;
}

std::optional<Json> PageContext::TakeReadAhead(const Json& batch) {
    if (readAhead_.lists.empty()) {
        return std::nullopt;
    }
    if (SteadyMs() - readAhead_.readAtMs > kReadAheadMaxAgeMs) {
        readAhead_ = {};  // the page has had time to change by itself
        return std::nullopt;
    }
    const auto read = ListRead(batch);
    if (!read || !readAhead_.lists.contains(*read)) {
        return std::nullopt;
    }
    if (readAhead_.replaced) {
        PruneReadAhead();
    }
    const auto entry = readAhead_.lists.find(*read);
    if (entry == readAhead_.lists.end()) {
        return std::nullopt;
    }
    Json list = Json::array();
    for (Json& r : entry->second) {
        if (!r.is_null()) {
            list.push_back(std::move(r));
        }
    }
    readAhead_.lists.erase(entry);
    return list;
}

void PageContext::KeepReadAhead(const Json& sent, Json& answer) {
    readAhead_ = {};
    if (answer.size() != sent.size()) {
        return;
    }
    readAhead_.readAtMs = SteadyMs();
    for (std::size_t i = 1; i < sent.size(); ++i) {
        if (!answer[i].is_array()) {
            continue;
        }
        readAhead_.lists[{sent[i][1].get<int>(), sent[i][2].get<std::string>()}] = std::move(answer[i]);
    }
    IndexReadAhead();
    answer.erase(answer.begin() + 1, answer.end());
}

void PageContext::IndexReadAhead() {
    readAhead_.recordsOf.clear();
    readAhead_.insideLink.clear();
    for (const auto& [key, list] : readAhead_.lists) {
        for (std::size_t r = 0; r < list.size(); ++r) {
            const Json& fields = list[r];
            if (!fields.is_array() || fields.size() < record::kFields) {
                continue;
            }
            readAhead_.recordsOf[IntFrom(fields[record::kId])].emplace_back(key, r);
            if (fields[record::kLinks].is_array()) {
                for (const Json& link : fields[record::kLinks]) {
                    readAhead_.insideLink[IntFrom(link)].emplace_back(key, r);
                }
            }
        }
    }
}

void PageContext::DropRecords(const std::vector<ReadAhead::Place>& places) {
    for (const auto& [key, index] : places) {
        const auto list = readAhead_.lists.find(key);
        if (list != readAhead_.lists.end() && index < list->second.size()) {
            list->second[index] = nullptr;
        }
    }
}

void PageContext::PruneReadAhead() {
    Json ids = Json::array();
    for (const auto& [key, list] : readAhead_.lists) {
        for (const Json& fields : list) {
            ids.push_back(fields.is_array() && !fields.empty() ? fields[record::kId] : Json(0));
        }
    }
    const Json connected = RunNow(Json::array({Json::array({"connected", std::move(ids)})}));
    readAhead_.replaced = false;
    if (connected.size() != 1 || !connected[0].is_array()) {
        readAhead_ = {};
        return;
    }
    const Json& answers = connected[0];
    std::size_t at = 0;
    for (auto& [key, list] : readAhead_.lists) {
        Json kept = Json::array();
        for (Json& fields : list) {
            if (at < answers.size() && answers[at].is_boolean() && answers[at].get<bool>()) {
                kept.push_back(std::move(fields));
            }
            ++at;
        }
        list = std::move(kept);
    }
    // The records moved: where each element stands is found again.
    IndexReadAhead();
}

void PageContext::NoteWrite(const Json& op) {
    if (readAhead_.lists.empty()) {
        return;
    }
    if (op.size() == 3 && op[0] == "outer" && op[2].is_string()) {
        // Markup that brings elements of the lists' tags would be missing from them.
        const std::string html = ToUpperAscii(op[2].get<std::string>());
        for (const char* tag : kReadAheadTags) {
            if (html.find(std::string("<") + tag) != std::string::npos) {
                readAhead_ = {};
                return;
            }
        }
        // A link takes out what its records say lies inside it; of anything else the page is asked.
        const int replaced = IntFrom(op[1]);
        const auto inside = readAhead_.insideLink.find(replaced);
        if (inside == readAhead_.insideLink.end()) {
            readAhead_.replaced = true;
            return;
        }
        DropRecords(inside->second);
        const auto own = readAhead_.recordsOf.find(replaced);
        if (own != readAhead_.recordsOf.end()) {
            DropRecords(own->second);
        }
        return;
    }
    if (op.size() != 4 || op[0] != "setstyle") {
        readAhead_ = {};  // attributes or a timer of the page: the lists may no longer hold
        return;
    }
    const std::string property = TextFrom(op[2]);
    const std::size_t field = property == StyleName(StyleProperty::Visibility) ? record::kVisibility
                              : property == StyleName(StyleProperty::Position) ? record::kPosition
                                                                               : 0;
    const auto records = readAhead_.recordsOf.find(IntFrom(op[1]));
    if (field == 0 || records == readAhead_.recordsOf.end()) {
        return;  // no list tells of it
    }
    for (const auto& [key, index] : records->second) {
        const auto list = readAhead_.lists.find(key);
        if (list != readAhead_.lists.end() && list->second[index].is_array()) {
            list->second[index][field] = op[3];
        }
    }
}

Json PageContext::RunNow(const Json& batch) {
    // The writes still queued go first, in the same call.
    std::string writes;
    if (flushTimer_) {
        flushTimer_->Stop();
    }
    if (!writes_.empty()) {
        writes = WriteCall(generation_, writes_) + ";";
        writes_ = Json::array();
    }
    const std::string call = "__qm.run(" + std::to_string(generation_) + "," + BatchText(batch) + ")";
    Json answer;
    if (!libraryChecked_) {
        // A world made for a page that was already open has no library yet: it is put in on first use.
        answer = Evaluate(writes + "globalThis.__qm ? " + call + " : '" + std::string(kMissingLibrary) + "'",
                          true);
        libraryChecked_ = true;
        if (answer.is_string() && answer.get<std::string>() == kMissingLibrary) {
            Evaluate(kPageScript, true);
            answer = Evaluate(call, true);
        }
    } else {
        answer = Evaluate(writes + call, true);
    }
    // The page library answers with the text of its results.
    if (answer.is_string()) {
        answer = Json::parse(answer.get_ref<const std::string&>(), nullptr, /*allow_exceptions=*/false);
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
    NoteWrite(op);
    writes_.push_back(std::move(op));
    ScheduleFlush();
}

void PageContext::ScheduleFlush() {
    if (batching_ == Batching::PerElement) {
        if (!flushPosted_) {
            flushPosted_ = true;
            poster_.PostTask([weak = weak_from_this()] {
                if (const auto self = weak.lock()) {
                    self->flushPosted_ = false;
                    self->Flush();
                }
            });
        }
        return;
    }
    const std::int64_t now = SteadyMs();
    if (writes_.size() == 1) {
        firstWriteMs_ = now;
    }
    if (writes_.size() >= kWriteBatchMax || now - firstWriteMs_ >= kWriteMaxWaitMs) {
        Flush();
        return;
    }
    if (!flushTimer_) {
        flushTimer_ = loop_.CreateTimer([weak = weak_from_this()] {
            if (const auto self = weak.lock()) {
                self->Flush();
            }
        });
    }
    // Restarted by every write: a run of writes goes out together once it pauses.
    flushTimer_->Start(kWriteQuietMs);
}

void PageContext::Flush() {
    if (flushTimer_) {
        flushTimer_->Stop();
    }
    if (writes_.empty() || !alive_) {
        return;
    }
    Json batch = std::move(writes_);
    writes_ = Json::array();
    ++writeBatches_;
    connection_->Send(
        "Runtime.evaluate",
        {{"expression", WriteCall(generation_, batch)}, {"contextId", contextId_}, {"silent", true}},
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

std::shared_ptr<ChromiumElement> PageContext::TaggedElementFor(const Json& answer) {
    if (!answer.is_array() || answer.size() != 2) {
        return nullptr;
    }
    auto element = ElementFor(IntFrom(answer[0]));
    if (element) {
        element->SetKnownTag(TextFrom(answer[1]));
    }
    return element;
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
    const Json object = connection_->Call("Runtime.evaluate",
                                          {{"expression", "__qm.node(" + std::to_string(elementId) + ")"},
                                           {"contextId", contextId_},
                                           {"returnByValue", false},
                                           {"silent", true}},
                                          sessionId_);
    const std::string objectId = StringField(ObjectField(object, "result"), "objectId");
    if (objectId.empty()) {
        throw PlatformError("The element has gone", 0, "Chromium page");
    }
    ++calls_;
    const Json described = connection_->Call("DOM.describeNode", {{"objectId", objectId}}, sessionId_);
    const Json node = ObjectField(described, "node");
    if (!Int32Field(node, "backendNodeId")) {
        throw PlatformError("The element has gone", 0, "Chromium page");
    }
    ++calls_;
    const Json resolved = connection_->Call(
        "DOM.resolveNode",
        {{"backendNodeId", node["backendNodeId"]}, {"executionContextId", pageWorldContextId_}}, sessionId_);
    const std::string pageObjectId = StringField(ObjectField(resolved, "object"), "objectId");
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

}  // namespace qm::cr
