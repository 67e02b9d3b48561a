// A stand-in for Chromium (or Edge) on systems that have none (Wine): it takes the two pipe ends a browser
// started with `--remote-debugging-pipe --remote-debugging-io-pipes=<read>,<write>` inherits, and plays a
// scripted DevTools-protocol conversation with the program on them, as the browser would.
//
//   --remote-debugging-io-pipes=R,W  R: the end it reads the program's messages from, W: the end it
//                                    writes its own to (handle values, unsigned decimal). Required.
//   --stand-in-script=NAME           popup (default): one blank page; once the program has sent it
//                                    somewhere and it has loaded, the page opens a popup by itself. The
//                                    script is over when the program has killed the popup, or 20 s after
//                                    the start at the latest; after lingering, the stand-in ends as a
//                                    browser that died: its pipe ends close.
//                                    quiet: the same page, no popup; lives until the program lets go.
//   --stand-in-linger-ms=N           How long the popup script goes on answering once it is over (3000).
//   --stand-in-unanswered=WHICH      The one call that never gets a reply, so that the program meets a
//                                    call that times out: page-script (default of popup: the first
//                                    Runtime.evaluate in a world made by Page.createIsolatedWorld, the
//                                    program putting its page library into a page that was open before
//                                    it), popup-evaluate (the first Runtime.evaluate on a popup's session)
//                                    or none (default of quiet).
//   --stand-in-log=PATH              Appends every message, one a line: "<< " received, ">> " sent.
//
// The options may also come in the environment variable QM_STAND_IN_ARGS, separated by spaces: the
// program under test starts the stand-in with a browser's command line.
//
// Every other argument (the browser's own flags, the start page) is ignored. The stand-in ends with 0
// when the script is over or the program has gone (a broken pipe either way), with 2 when the command
// line cannot be used.

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExitBadCommandLine = 2;
constexpr char kProduct[] = "HeadlessChrome/120.0.6099.109";
constexpr char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "HeadlessChrome/120.0.6099.109 Safari/537.36";
constexpr char kBrowserContextId[] = "B7A5C0DE000000000000000000000001";
constexpr char kBlankUrl[] = "about:blank";
constexpr char kPopupUrl[] = "http://ads.example/popup.html";
// A page opens its popup a moment after it has loaded, as an advertisement script run on load does.
constexpr auto kPopupDelay = std::chrono::milliseconds(300);
constexpr auto kScriptDeadline = std::chrono::seconds(20);
constexpr std::uint64_t kDefaultLingerMs = 3000;
constexpr std::uint64_t kMaxLingerMs = 600000;
// A message longer than this is thrown away up to its end instead of growing the buffer without bound.
constexpr std::size_t kMaxMessageBytes = 64 * 1024 * 1024;
constexpr int kMaxJsonDepth = 64;
constexpr DWORD kReadChunk = 64 * 1024;
// How long the end waits for the reader thread to give up its blocking read.
constexpr DWORD kReaderStopMs = 2000;

// The protocol's error codes, as Chromium gives them.
constexpr int kInvalidParams = -32602;
constexpr int kServerError = -32000;
constexpr int kNoSession = -32001;

// ---------------------------------------------------------------------------------------------------
// Owners of what the system hands out.

class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void Reset() {
        if (Valid()) {
            ::CloseHandle(handle_);
        }
        handle_ = nullptr;
    }

  private:
    HANDLE handle_ = nullptr;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

struct LocalFreer {
    void operator()(wchar_t** argv) const { ::LocalFree(argv); }
};

// This compiler's standard library (win32 threads) has no std::mutex: the system's slim lock it is.
class ScopedLock {
  public:
    explicit ScopedLock(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;
    ~ScopedLock() { ::ReleaseSRWLockExclusive(&lock_); }

  private:
    SRWLOCK& lock_;
};

// ---------------------------------------------------------------------------------------------------
// JSON: the program's messages are read into a small tree; what the stand-in sends is written by hand.

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text;               // a string's content, or a number as written
    std::vector<JsonValue> items;   // an array's elements, or an object's values
    std::vector<std::string> keys;  // an object's names, one per value

    const JsonValue* Find(std::string_view name) const {
        if (kind != Kind::Object) {
            return nullptr;
        }
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == name) {
                return &items[i];
            }
        }
        return nullptr;
    }
    // A field of the object, each of its own kind or not at all.
    std::string String(std::string_view name) const {
        const JsonValue* field = Find(name);
        return field && field->kind == Kind::String ? field->text : std::string();
    }
    bool Bool(std::string_view name) const {
        const JsonValue* field = Find(name);
        return field && field->kind == Kind::Bool && field->boolean;
    }
    std::optional<std::int64_t> Int(std::string_view name) const {
        const JsonValue* field = Find(name);
        if (!field || field->kind != Kind::Number) {
            return std::nullopt;
        }
        std::int64_t value = 0;
        const char* end = field->text.data() + field->text.size();
        const auto [ptr, error] = std::from_chars(field->text.data(), end, value);
        return error == std::errc() && ptr == end ? std::optional<std::int64_t>(value) : std::nullopt;
    }
};

// A strict reader of JSON texts: anything that is not JSON is refused, never guessed at.
class JsonReader {
  public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    // Reads one value where the reader stands.
    bool Value(JsonValue& out, int depth) {
        SkipSpace();
        if (depth > kMaxJsonDepth || pos_ >= text_.size()) {
            return false;
        }
        switch (text_[pos_]) {
            case '{':
                return Object(out, depth);
            case '[':
                return Array(out, depth);
            case '"':
                out.kind = JsonValue::Kind::String;
                return String(out.text);
            case 't':
                out.kind = JsonValue::Kind::Bool;
                out.boolean = true;
                return Word("true");
            case 'f':
                out.kind = JsonValue::Kind::Bool;
                return Word("false");
            case 'n':
                return Word("null");
            default:
                out.kind = JsonValue::Kind::Number;
                return Number(out.text);
        }
    }
    bool AtEnd() {
        SkipSpace();
        return pos_ == text_.size();
    }

  private:
    void SkipSpace() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }
    bool Take(char c) {
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) {
            return false;
        }
        pos_ += word.size();
        return true;
    }
    bool Digits() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            ++pos_;
        }
        return pos_ > start;
    }
    bool Number(std::string& out) {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') {
            ++pos_;
        }
        if (pos_ < text_.size() && text_[pos_] == '0') {
            ++pos_;
        } else if (!Digits()) {
            return false;
        }
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (!Digits()) {
                return false;
            }
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
                ++pos_;
            }
            if (!Digits()) {
                return false;
            }
        }
        out.assign(text_.substr(start, pos_ - start));
        return true;
    }
    std::optional<std::uint32_t> Hex4() {
        if (text_.size() - pos_ < 4) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        const char* begin = text_.data() + pos_;
        const auto [ptr, error] = std::from_chars(begin, begin + 4, value, 16);
        if (error != std::errc() || ptr != begin + 4) {
            return std::nullopt;
        }
        pos_ += 4;
        return value;
    }
    static void AppendUtf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    bool String(std::string& out) {
        ++pos_;  // the opening quote
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return false;
            }
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (pos_ >= text_.size()) {
                return false;
            }
            const char escape = text_[pos_++];
            // Each simple escape is followed by the character it stands for.
            constexpr std::string_view kEscapes = "\"\"\\\\//b\bf\fn\nr\rt\t";
            if (escape != 'u') {
                std::size_t at = 0;
                while (at < kEscapes.size() && kEscapes[at] != escape) {
                    at += 2;
                }
                if (at >= kEscapes.size()) {
                    return false;
                }
                out.push_back(kEscapes[at + 1]);
                continue;
            }
            auto code = Hex4();
            if (!code) {
                return false;
            }
            if (*code >= 0xD800 && *code < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
                const std::size_t back = pos_;
                pos_ += 2;
                const auto low = Hex4();
                if (low && *low >= 0xDC00 && *low < 0xE000) {
                    code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
                } else {
                    pos_ = back;
                }
            }
            // A surrogate left alone stands for no character; it is kept as the replacement one.
            AppendUtf8(out, *code >= 0xD800 && *code < 0xE000 ? 0xFFFD : *code);
        }
        return false;
    }
    bool Array(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::Array;
        ++pos_;
        if (Take(']')) {
            return true;
        }
        do {
            out.items.emplace_back();
            if (!Value(out.items.back(), depth + 1)) {
                return false;
            }
        } while (Take(','));
        return Take(']');
    }
    bool Object(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::Object;
        ++pos_;
        if (Take('}')) {
            return true;
        }
        do {
            SkipSpace();
            if (pos_ >= text_.size() || text_[pos_] != '"') {
                return false;
            }
            out.keys.emplace_back();
            if (!String(out.keys.back()) || !Take(':')) {
                return false;
            }
            out.items.emplace_back();
            if (!Value(out.items.back(), depth + 1)) {
                return false;
            }
        } while (Take(','));
        return Take('}');
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// The whole text as one JSON value.
std::optional<JsonValue> ParseJson(std::string_view text) {
    JsonReader reader(text);
    JsonValue value;
    if (!reader.Value(value, 0) || !reader.AtEnd()) {
        return std::nullopt;
    }
    return value;
}

// The JSON value at the start of `text`, whatever follows it.
std::optional<JsonValue> ParseJsonPrefix(std::string_view text) {
    JsonReader reader(text);
    JsonValue value;
    if (!reader.Value(value, 0)) {
        return std::nullopt;
    }
    return value;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

// ---------------------------------------------------------------------------------------------------
// The command line.

enum class Script { Popup, Quiet };

// Which call is never answered.
enum class Unanswered { PageScript, PopupEvaluate, None };

struct Options {
    HANDLE readPipe = nullptr;   // the end the browser reads the program's messages from
    HANDLE writePipe = nullptr;  // the end the browser writes its own messages to
    Script script = Script::Popup;
    std::optional<Unanswered> unanswered;
    std::wstring logPath;
    std::uint64_t lingerMs = kDefaultLingerMs;
};

std::optional<std::uint64_t> ParseUnsigned(std::wstring_view text) {
    if (text.empty() || text.size() > 19) {
        return std::nullopt;  // 19 digits always fit: no overflow to watch for
    }
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    return value;
}

// A handle value inherited from the program: usable only if it names a pipe of this process.
std::optional<HANDLE> PipeHandle(std::wstring_view text) {
    const auto value = ParseUnsigned(text);
    if (!value || *value == 0 || static_cast<std::uint64_t>(static_cast<std::uintptr_t>(*value)) != *value) {
        return std::nullopt;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(*value));
    if (::GetFileType(handle) != FILE_TYPE_PIPE) {
        return std::nullopt;
    }
    return handle;
}

// Reads the stand-in's options; an explanation for the user when they cannot be used.
std::optional<std::string> ReadOptions(Options& options) {
    int argc = 0;
    const std::unique_ptr<wchar_t*, LocalFreer> argv(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    if (!argv) {
        return "the command line cannot be read";
    }
    constexpr std::wstring_view kPipes = L"--remote-debugging-io-pipes=";
    constexpr std::wstring_view kScript = L"--stand-in-script=";
    constexpr std::wstring_view kLog = L"--stand-in-log=";
    constexpr std::wstring_view kLinger = L"--stand-in-linger-ms=";
    constexpr std::wstring_view kUnanswered = L"--stand-in-unanswered=";
    // The program under test starts the stand-in with a browser's command line only; the test hands its
    // own options over in QM_STAND_IN_ARGS (words separated by spaces).
    std::vector<std::wstring> words(argv.get() + 1, argv.get() + argc);
    wchar_t extra[4096] = {};
    const DWORD extraLength = ::GetEnvironmentVariableW(L"QM_STAND_IN_ARGS", extra, 4096);
    if (extraLength > 0 && extraLength < 4096) {
        const std::wstring_view all(extra, extraLength);
        for (std::size_t at = 0; at < all.size();) {
            const std::size_t space = std::min(all.find(L' ', at), all.size());
            if (space > at) {
                words.emplace_back(all.substr(at, space - at));
            }
            at = space + 1;
        }
    }
    std::optional<std::wstring_view> pipes;
    for (const std::wstring& word : words) {
        const std::wstring_view arg = word;
        if (arg.starts_with(kPipes)) {
            pipes = arg.substr(kPipes.size());
        } else if (arg.starts_with(kScript)) {
            const std::wstring_view name = arg.substr(kScript.size());
            if (name == L"popup") {
                options.script = Script::Popup;
            } else if (name == L"quiet") {
                options.script = Script::Quiet;
            } else {
                return "unknown --stand-in-script (popup or quiet)";
            }
        } else if (arg.starts_with(kLog)) {
            options.logPath = arg.substr(kLog.size());
        } else if (arg.starts_with(kLinger)) {
            const auto ms = ParseUnsigned(arg.substr(kLinger.size()));
            if (!ms || *ms > kMaxLingerMs) {
                return "--stand-in-linger-ms needs milliseconds from 0 to 600000";
            }
            options.lingerMs = *ms;
        } else if (arg.starts_with(kUnanswered)) {
            const std::wstring_view which = arg.substr(kUnanswered.size());
            if (which == L"page-script") {
                options.unanswered = Unanswered::PageScript;
            } else if (which == L"popup-evaluate") {
                options.unanswered = Unanswered::PopupEvaluate;
            } else if (which == L"none") {
                options.unanswered = Unanswered::None;
            } else {
                return "unknown --stand-in-unanswered (page-script, popup-evaluate or none)";
            }
        }
    }
    if (!pipes) {
        return "--remote-debugging-io-pipes=<read>,<write> is missing";
    }
    const std::size_t comma = pipes->find(L',');
    const auto read = comma == std::wstring_view::npos ? std::nullopt : PipeHandle(pipes->substr(0, comma));
    const auto write = comma == std::wstring_view::npos ? std::nullopt : PipeHandle(pipes->substr(comma + 1));
    if (!read || !write || *read == *write) {
        return "--remote-debugging-io-pipes needs two different inherited pipe handles, as <read>,<write>";
    }
    options.readPipe = *read;
    options.writePipe = *write;
    if (!options.unanswered) {
        options.unanswered = options.script == Script::Popup ? Unanswered::PageScript : Unanswered::None;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------------
// The reader thread. It only reads: whatever the program writes is taken at once, so the program never
// blocks writing to a browser that is itself blocked writing to the program.

struct Inbox {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    HANDLE pipe = nullptr;  // the read end, owned by wmain
    std::string bytes;      // read and not yet taken
    bool ended = false;     // the program's end has gone, or reading failed
    bool stopping = false;  // the stand-in ends: no more reads
};

DWORD WINAPI ReaderMain(void* parameter) {
    Inbox& inbox = *static_cast<Inbox*>(parameter);
    try {
        std::vector<char> chunk(kReadChunk);
        for (;;) {
            {
                const ScopedLock lock(inbox.lock);
                if (inbox.stopping) {
                    break;
                }
            }
            DWORD got = 0;
            // Nothing read, or ERROR_BROKEN_PIPE: the program has closed its end. Any other failure
            // leaves the pipe as useless.
            if (!::ReadFile(inbox.pipe, chunk.data(), kReadChunk, &got, nullptr) || got == 0) {
                break;
            }
            const ScopedLock lock(inbox.lock);
            inbox.bytes.append(chunk.data(), got);
            ::WakeAllConditionVariable(&inbox.changed);
        }
    } catch (...) {
        // No memory for what was read: the stand-in ends as if the pipe had broken.
    }
    const ScopedLock lock(inbox.lock);
    inbox.ended = true;
    ::WakeAllConditionVariable(&inbox.changed);
    return 0;
}

// ---------------------------------------------------------------------------------------------------
// The browser.

// One page target, as the browser keeps it.
struct Page {
    struct Context {
        int id = 0;
        std::string name;
        bool isDefault = false;
    };

    std::string targetId;
    std::string sessionId;  // empty while the program holds no session to the page
    std::string openerId;
    std::string url = kBlankUrl;
    std::string pendingUrl;  // where the page goes once it is let run
    bool waiting = false;    // paused until Runtime.runIfWaitingForDebugger
    bool pageEvents = false;
    bool runtimeEvents = false;
    bool interceptsItself = false;  // Fetch.enable on its own session
    bool navigatedByProgram = false;
    std::string bindingName;
    std::string bindingWorld;
    std::vector<std::string> newDocumentWorlds;  // worlds every new document gets
    std::vector<Context> contexts;
    int generation = 1;  // which document of the page this is, for the page library's answers
};

// A page request stopped at an interception, waiting for the program.
struct PausedRequest {
    std::string requestId;
    std::string targetId;
    std::string url;
    std::string loaderId;
};

// One call of the program.
struct Call {
    std::int64_t id = 0;
    std::string method;
    std::string sessionId;
    const JsonValue& params;
};

class StandIn {
  public:
    StandIn(const Options& options, HANDLE writePipe, std::FILE* log)
        : options_(options), writePipe_(writePipe), log_(log), start_(Clock::now()) {
        // The browser starts with one blank page, before the program has asked for anything.
        Page& page = AddPage();
        firstPageId_ = page.targetId;
        if (options_.script == Script::Popup) {
            After(kScriptDeadline, [this] { ScriptOver("its time is up"); });
        }
    }

    // Plays the script until it is over or the program has gone.
    void Run(Inbox& inbox) {
        while (!finished_ && !broken_) {
            std::string bytes;
            bool ended = false;
            {
                const ScopedLock lock(inbox.lock);
                while (inbox.bytes.empty() && !inbox.ended) {
                    const DWORD wait = MsUntilNextTimer();
                    if (wait == 0 || !::SleepConditionVariableSRW(&inbox.changed, &inbox.lock, wait, 0)) {
                        break;  // a timer is due
                    }
                }
                bytes.swap(inbox.bytes);
                ended = inbox.ended;
            }
            Feed(bytes);
            RunDueTimers();
            if (ended) {
                Note("the program has closed its end");
                return;
            }
        }
        if (broken_) {
            Note("the program has gone (writing failed)");
        }
    }

  private:
    // ----- Framing and dispatch.

    void Feed(std::string_view bytes) {
        while (!bytes.empty() && !finished_ && !broken_) {
            const std::size_t end = bytes.find('\0');
            const std::string_view part = bytes.substr(0, end);
            if (!skipping_ && partial_.size() + part.size() > kMaxMessageBytes) {
                partial_.clear();
                partial_.shrink_to_fit();
                skipping_ = true;
                Note("an oversized message was skipped");
            } else if (!skipping_) {
                partial_.append(part);
            }
            if (end == std::string_view::npos) {
                return;
            }
            if (!skipping_) {
                const std::string message = std::move(partial_);
                partial_.clear();
                HandleMessage(message);
            }
            skipping_ = false;
            bytes.remove_prefix(end + 1);
        }
    }

    void HandleMessage(const std::string& text) {
        Log("<< ", text);
        const auto message = ParseJson(text);
        const auto id = message ? message->Int("id") : std::nullopt;
        const std::string method = message ? message->String("method") : std::string();
        if (!id || method.empty()) {
            Note("a malformed message was skipped");
            return;
        }
        static const JsonValue kNoParams{JsonValue::Kind::Object, false, {}, {}, {}};
        const JsonValue* params = message->Find("params");
        const Call call{*id, method, message->String("sessionId"),
                        params && params->kind == JsonValue::Kind::Object ? *params : kNoParams};
        if (call.sessionId.empty()) {
            BrowserCall(call);
        } else if (Page* page = FindSession(call.sessionId)) {
            SessionCall(call, *page);
        } else {
            ReplyError(call, kNoSession, "Session with given id not found.");
        }
    }

    void BrowserCall(const Call& call) {
        const std::string& m = call.method;
        if (m == "Browser.getVersion") {
            Reply(call, std::string("{\"protocolVersion\":\"1.3\",\"product\":") + Quote(kProduct) +
                            ",\"revision\":\"@1bd12d9d16b8c8b4ed3c06ce0d4a5e6c3e6ee6d0\",\"userAgent\":" +
                            Quote(kUserAgent) + ",\"jsVersion\":\"12.0.267.8\"}");
        } else if (m == "Browser.close") {
            Reply(call, "{}");
            Note("the program closed the browser");
            finished_ = true;
        } else if (m == "Target.setDiscoverTargets") {
            const bool discover = call.params.Bool("discover");
            if (discover && !discover_) {
                for (const auto& page : pages_) {
                    Event("Target.targetCreated", "{\"targetInfo\":" + TargetInfo(*page) + "}");
                }
            }
            discover_ = discover;
            Reply(call, "{}");
        } else if (m == "Target.setAutoAttach") {
            autoAttach_ = call.params.Bool("autoAttach");
            waitForDebugger_ = call.params.Bool("waitForDebuggerOnStart");
            if (autoAttach_) {
                // Pages that are there already are attached running: only new ones wait.
                for (const auto& page : pages_) {
                    if (page->sessionId.empty()) {
                        Attach(*page, false);
                    }
                }
            }
            Reply(call, "{}");
        } else if (m == "Target.getTargets") {
            std::string infos;
            for (const auto& page : pages_) {
                infos += (infos.empty() ? "" : ",") + TargetInfo(*page);
            }
            Reply(call, "{\"targetInfos\":[" + infos + "]}");
        } else if (m == "Target.createTarget") {
            CreateTarget(call);
        } else if (m == "Target.closeTarget") {
            Page* page = FindTarget(call.params.String("targetId"));
            if (!page) {
                ReplyError(call, kInvalidParams, "No target with given id found");
                return;
            }
            Reply(call, "{\"success\":true}");
            ClosePage(page->targetId);
        } else if (m == "Target.detachFromTarget") {
            DetachFromTarget(call);
        } else if (m == "Fetch.enable" || m == "Fetch.disable") {
            interceptsAll_ = m == "Fetch.enable";
            Reply(call, "{}");
            if (!interceptsAll_) {
                ContinueAll(/*sessionId=*/{});
            }
        } else if (m == "Fetch.continueRequest" || m == "Fetch.failRequest") {
            ResolveRequest(call, m == "Fetch.continueRequest");
        } else {
            Reply(call, "{}");
        }
    }

    void SessionCall(const Call& call, Page& page) {
        const std::string& m = call.method;
        if (m == "Runtime.addBinding") {
            page.bindingName = call.params.String("name");
            page.bindingWorld = call.params.String("executionContextName");
            Reply(call, "{}");
        } else if (m == "Page.addScriptToEvaluateOnNewDocument") {
            const std::string world = call.params.String("worldName");
            if (!world.empty()) {
                page.newDocumentWorlds.push_back(world);
            }
            Reply(call, "{\"identifier\":" + Quote(std::to_string(++scriptIdentifiers_)) + "}");
        } else if (m == "Page.enable" || m == "Page.disable") {
            page.pageEvents = m == "Page.enable";
            Reply(call, "{}");
        } else if (m == "Runtime.enable") {
            // The browser reports the worlds that exist already before it answers.
            if (!page.runtimeEvents) {
                page.runtimeEvents = true;
                for (const Page::Context& context : page.contexts) {
                    ContextCreated(page, context);
                }
            }
            Reply(call, "{}");
        } else if (m == "Runtime.disable") {
            page.runtimeEvents = false;
            Reply(call, "{}");
        } else if (m == "Page.createIsolatedWorld") {
            const std::string frameId = call.params.String("frameId");
            if (frameId != page.targetId) {
                ReplyError(call, kServerError, "No frame for given id found");
                return;
            }
            const int id = AddContext(page, call.params.String("worldName"), false);
            madeWorlds_.push_back(id);
            Reply(call, "{\"executionContextId\":" + std::to_string(id) + "}");
        } else if (m == "Runtime.evaluate") {
            Evaluate(call, page);
        } else if (m == "Runtime.runIfWaitingForDebugger") {
            Reply(call, "{}");
            LetRun(page);
        } else if (m == "Page.navigate") {
            const std::string url = call.params.String("url");
            if (url.empty()) {
                ReplyError(call, kInvalidParams, "Invalid parameters (url: string value expected)");
                return;
            }
            const std::string loaderId = NewId(0x10ADE200);
            Reply(call, "{\"frameId\":" + Quote(page.targetId) + ",\"loaderId\":" + Quote(loaderId) + "}");
            page.navigatedByProgram = true;
            StartLoad(page, url, loaderId);
        } else if (m == "Page.stopLoading") {
            Reply(call, "{}");
            std::erase_if(paused_, [&](const PausedRequest& r) { return r.targetId == page.targetId; });
            PageEvent(page, "Page.frameStoppedLoading", "{\"frameId\":" + Quote(page.targetId) + "}");
        } else if (m == "Page.close") {
            Reply(call, "{}");
            ClosePage(page.targetId);
        } else if (m == "Fetch.enable" || m == "Fetch.disable") {
            page.interceptsItself = m == "Fetch.enable";
            Reply(call, "{}");
            if (!page.interceptsItself) {
                ContinueAll(page.sessionId);
            }
        } else if (m == "Fetch.continueRequest" || m == "Fetch.failRequest") {
            ResolveRequest(call, m == "Fetch.continueRequest");
        } else {
            Reply(call, "{}");
        }
    }

    // ----- Targets.

    Page& AddPage() {
        auto page = std::make_unique<Page>();
        page->targetId = NewId(0x7A26E700);
        page->contexts.push_back({nextContextId_++, "", true});
        pages_.push_back(std::move(page));
        return *pages_.back();
    }

    Page* FindTarget(const std::string& targetId) {
        for (const auto& page : pages_) {
            if (!targetId.empty() && page->targetId == targetId) {
                return page.get();
            }
        }
        return nullptr;
    }
    Page* FindSession(const std::string& sessionId) {
        for (const auto& page : pages_) {
            if (!sessionId.empty() && page->sessionId == sessionId) {
                return page.get();
            }
        }
        return nullptr;
    }

    std::string TargetInfo(const Page& page) const {
        std::string info = "{\"targetId\":" + Quote(page.targetId) +
                           ",\"type\":\"page\",\"title\":" + Quote(page.url) + ",\"url\":" + Quote(page.url) +
                           ",\"attached\":" + (page.sessionId.empty() ? "false" : "true");
        if (!page.openerId.empty()) {
            info += ",\"openerId\":" + Quote(page.openerId) + ",\"openerFrameId\":" + Quote(page.openerId);
        }
        return info + ",\"canAccessOpener\":" + (page.openerId.empty() ? "false" : "true") +
               ",\"browserContextId\":" + Quote(kBrowserContextId) + "}";
    }

    void Attach(Page& page, bool waiting) {
        page.sessionId = NewId(0x5E55100);
        page.waiting = waiting;
        Event("Target.attachedToTarget", "{\"sessionId\":" + Quote(page.sessionId) +
                                             ",\"targetInfo\":" + TargetInfo(page) +
                                             ",\"waitingForDebugger\":" + (waiting ? "true" : "false") + "}");
    }

    void CreateTarget(const Call& call) {
        std::string url = call.params.String("url");
        Page& page = AddPage();
        page.pendingUrl = url.empty() ? kBlankUrl : url;
        if (discover_) {
            Event("Target.targetCreated", "{\"targetInfo\":" + TargetInfo(page) + "}");
        }
        if (autoAttach_) {
            Attach(page, waitForDebugger_);
        }
        Reply(call, "{\"targetId\":" + Quote(page.targetId) + "}");
        if (!page.waiting) {
            LetRun(page);
        }
    }

    void DetachFromTarget(const Call& call) {
        Page* page = FindSession(call.params.String("sessionId"));
        if (!page) {
            page = FindTarget(call.params.String("targetId"));
        }
        if (!page || page->sessionId.empty()) {
            ReplyError(call, kInvalidParams, "No session for given target id found");
            return;
        }
        Reply(call, "{}");
        Event("Target.detachedFromTarget",
              "{\"sessionId\":" + Quote(page->sessionId) + ",\"targetId\":" + Quote(page->targetId) + "}");
        page->sessionId.clear();
        page->pageEvents = false;
        page->runtimeEvents = false;
        page->interceptsItself = false;
        // A page nobody debugs any more does not wait for anyone.
        LetRun(*page);
    }

    void LetRun(Page& page) {
        page.waiting = false;
        if (!page.pendingUrl.empty()) {
            const std::string url = std::exchange(page.pendingUrl, {});
            StartLoad(page, url, NewId(0x10ADE200));
        }
    }

    // Closes a page as Chromium reports it: first the end of its session, then the end of the target.
    // The id is a copy: the page that holds it goes.
    void ClosePage(std::string targetId) {
        const Page* page = FindTarget(targetId);
        if (!page) {
            return;
        }
        const bool popup = !page->openerId.empty();
        std::erase_if(paused_, [&](const PausedRequest& r) { return r.targetId == targetId; });
        if (!page->sessionId.empty()) {
            Event("Target.detachedFromTarget",
                  "{\"sessionId\":" + Quote(page->sessionId) + ",\"targetId\":" + Quote(targetId) + "}");
        }
        if (discover_) {
            Event("Target.targetDestroyed", "{\"targetId\":" + Quote(targetId) + "}");
        }
        std::erase_if(pages_, [&](const auto& p) { return p->targetId == targetId; });
        if (popup && options_.script == Script::Popup) {
            ScriptOver("the popup has been closed");
        }
    }

    // ----- Documents.

    void StartLoad(Page& page, const std::string& url, const std::string& loaderId) {
        PageEvent(page, "Page.frameStartedLoading", "{\"frameId\":" + Quote(page.targetId) + "}");
        PageEvent(page, "Page.frameStartedNavigating",
                  "{\"frameId\":" + Quote(page.targetId) + ",\"url\":" + Quote(url) +
                      ",\"loaderId\":" + Quote(loaderId) + ",\"navigationType\":\"differentDocument\"}");
        const bool ownInterception = page.interceptsItself && !page.sessionId.empty();
        if (url.starts_with(kBlankUrl) || (!ownInterception && !interceptsAll_)) {
            Commit(page, url, loaderId);
            return;
        }
        // The request stops at the interception and the document waits for the program's word. A new
        // window's request starts without waiting for the program to decide about the window: that is
        // what the program's request gate is for.
        const std::string requestId = "interception-job-" + std::to_string(++requests_) + ".0";
        paused_.push_back({requestId, page.targetId, url, loaderId});
        Event("Fetch.requestPaused",
              "{\"requestId\":" + Quote(requestId) + ",\"request\":{\"url\":" + Quote(url) +
                  ",\"method\":\"GET\",\"headers\":{},\"initialPriority\":\"VeryHigh\","
                  "\"referrerPolicy\":\"strict-origin-when-cross-origin\"},\"frameId\":" +
                  Quote(page.targetId) + ",\"resourceType\":\"Document\",\"networkId\":" + Quote(loaderId) +
                  "}",
              ownInterception ? page.sessionId : std::string());
    }

    void ResolveRequest(const Call& call, bool allow) {
        const std::string requestId = call.params.String("requestId");
        const auto request = std::find_if(paused_.begin(), paused_.end(),
                                          [&](const PausedRequest& r) { return r.requestId == requestId; });
        if (request == paused_.end()) {
            ReplyError(call, kInvalidParams, "Invalid InterceptionId.");
            return;
        }
        const PausedRequest taken = *request;
        paused_.erase(request);
        Reply(call, "{}");
        if (Page* page = FindTarget(taken.targetId)) {
            if (allow) {
                Commit(*page, taken.url, taken.loaderId);
            } else {
                PageEvent(*page, "Page.frameStoppedLoading", "{\"frameId\":" + Quote(page->targetId) + "}");
            }
        }
    }

    // An interception that ends lets go of what it held (`sessionId` empty: the browser's own).
    void ContinueAll(const std::string& sessionId) {
        std::vector<PausedRequest> held;
        std::erase_if(paused_, [&](const PausedRequest& r) {
            const Page* page = FindTarget(r.targetId);
            const bool ownInterception = page && page->interceptsItself && !page->sessionId.empty();
            if (!page || ownInterception != !sessionId.empty()) {
                return false;
            }
            held.push_back(r);
            return true;
        });
        for (const PausedRequest& r : held) {
            if (Page* page = FindTarget(r.targetId)) {
                Commit(*page, r.url, r.loaderId);
            }
        }
    }

    // The new document replaces the old one: the old worlds go, the new ones come, then it loads.
    void Commit(Page& page, const std::string& url, const std::string& loaderId) {
        for (const Page::Context& context : page.contexts) {
            RuntimeEvent(page, "Runtime.executionContextDestroyed",
                         "{\"executionContextId\":" + std::to_string(context.id) +
                             ",\"executionContextUniqueId\":" + Quote(UniqueContextId(context.id)) + "}");
        }
        RuntimeEvent(page, "Runtime.executionContextsCleared", "{}");
        page.contexts.clear();
        page.url = url;
        ++page.generation;
        PageEvent(page, "Page.frameNavigated",
                  "{\"frame\":{\"id\":" + Quote(page.targetId) + ",\"loaderId\":" + Quote(loaderId) +
                      ",\"url\":" + Quote(url) +
                      ",\"domainAndRegistry\":\"\",\"securityOrigin\":" + Quote(Origin(url)) +
                      ",\"mimeType\":\"text/html\",\"secureContextType\":\"InsecureScheme\","
                      "\"crossOriginIsolatedContextType\":\"NotIsolated\",\"gatedAPIFeatures\":[]},"
                      "\"type\":\"Navigation\"}");
        AddContext(page, "", true);
        for (const std::string& world : page.newDocumentWorlds) {
            const int id = AddContext(page, world, false);
            // The program's page script announces each document it starts in.
            if (!page.bindingName.empty() && world == page.bindingWorld) {
                const std::string payload = "{\"k\":\"doc\",\"gen\":" + std::to_string(page.generation) + "}";
                RuntimeEvent(page, "Runtime.bindingCalled",
                             "{\"name\":" + Quote(page.bindingName) + ",\"payload\":" + Quote(payload) +
                                 ",\"executionContextId\":" + std::to_string(id) + "}");
            }
        }
        const std::string timestamp = "{\"timestamp\":" + Seconds() + "}";
        PageEvent(page, "Page.domContentEventFired", timestamp);
        PageEvent(page, "Page.loadEventFired", timestamp);
        PageEvent(page, "Page.frameStoppedLoading", "{\"frameId\":" + Quote(page.targetId) + "}");

        if (options_.script == Script::Popup && !popupPlanned_ && page.targetId == firstPageId_ &&
            page.navigatedByProgram) {
            popupPlanned_ = true;
            After(kPopupDelay, [this] { OpenPopup(); });
        }
    }

    int AddContext(Page& page, const std::string& name, bool isDefault) {
        page.contexts.push_back({nextContextId_++, name, isDefault});
        ContextCreated(page, page.contexts.back());
        return page.contexts.back().id;
    }

    void ContextCreated(const Page& page, const Page::Context& context) {
        RuntimeEvent(page, "Runtime.executionContextCreated",
                     "{\"context\":{\"id\":" + std::to_string(context.id) +
                         ",\"origin\":" + Quote(Origin(page.url)) + ",\"name\":" + Quote(context.name) +
                         ",\"uniqueId\":" + Quote(UniqueContextId(context.id)) +
                         ",\"auxData\":{\"isDefault\":" + (context.isDefault ? "true" : "false") +
                         ",\"type\":" + (context.isDefault ? "\"default\"" : "\"isolated\"") +
                         ",\"frameId\":" + Quote(page.targetId) + "}}}");
    }

    // The page opens a window by itself: no click, no key, nothing the user did.
    void OpenPopup() {
        const Page* opener = FindTarget(firstPageId_);
        if (!opener) {
            Note("the page closed before it could open its popup");
            return;
        }
        PageEvent(*opener, "Page.windowOpen",
                  "{\"url\":" + Quote(kPopupUrl) +
                      ",\"windowName\":\"\",\"windowFeatures\":[],\"userGesture\":false}");
        Page& popup = AddPage();
        popup.openerId = firstPageId_;
        popup.url = kPopupUrl;
        if (discover_) {
            Event("Target.targetCreated", "{\"targetInfo\":" + TargetInfo(popup) + "}");
        }
        if (autoAttach_) {
            Attach(popup, waitForDebugger_);
        }
        Note("the page has opened its popup");
        StartLoad(popup, kPopupUrl, NewId(0x10ADE200));
    }

    // ----- Reads and scripts.

    void Evaluate(const Call& call, Page& page) {
        const auto contextId = call.params.Int("contextId");
        if (!heldBack_ && HoldsBack(page, contextId)) {
            heldBack_ = true;
            Note("holding back the reply to call " + std::to_string(call.id) +
                 " (Runtime.evaluate) for good");
            return;
        }
        const bool known =
            !contextId || std::any_of(page.contexts.begin(), page.contexts.end(),
                                      [&](const Page::Context& c) { return c.id == *contextId; });
        if (!known) {
            ReplyError(call, kServerError, "Cannot find context with specified id");
            return;
        }
        const std::string expression = call.params.String("expression");
        if (call.params.Bool("returnByValue") && expression.find("__qm.run(") != std::string::npos) {
            Reply(call, "{\"result\":{\"type\":\"string\",\"value\":" +
                            Quote(ReadAnswer(expression, page.generation)) + "}}");
        } else {
            Reply(call, "{\"result\":{\"type\":\"undefined\"}}");
        }
    }

    bool HoldsBack(const Page& page, std::optional<std::int64_t> contextId) const {
        switch (*options_.unanswered) {
            case Unanswered::PageScript:
                return contextId &&
                       std::find(madeWorlds_.begin(), madeWorlds_.end(), *contextId) != madeWorlds_.end();
            case Unanswered::PopupEvaluate:
                return !page.openerId.empty();
            case Unanswered::None:
                return false;
        }
        return false;
    }

    // The program's page library reads the page with `__qm.run(generation, [[op, args...], ...])` and
    // gets the text of `[generation, [result, ...]]`. The stand-in's pages are empty documents: no
    // elements, no frames, no style sheets; each read gets the answer of the kind its reader expects.
    static std::string ReadAnswer(std::string_view expression, int generation) {
        std::optional<JsonValue> batch;
        const std::size_t call = expression.find("__qm.run(");
        const std::size_t comma = expression.find(',', call);
        if (comma != std::string_view::npos) {
            batch = ParseJsonPrefix(expression.substr(comma + 1));
        }
        std::string results;
        if (batch && batch->kind == JsonValue::Kind::Array) {
            for (const JsonValue& op : batch->items) {
                const bool named = op.kind == JsonValue::Kind::Array && !op.items.empty() &&
                                   op.items[0].kind == JsonValue::Kind::String;
                results += (results.empty() ? "" : ",") + EmptyDocumentAnswer(named ? op.items[0].text : "");
            }
        }
        return "[" + std::to_string(generation) + ",[" + results + "]]";
    }

    static std::string EmptyDocumentAnswer(std::string_view op) {
        if (op == "items") {
            return "[]";
        }
        if (op == "count" || op == "nframes" || op == "nsheets") {
            return "0";
        }
        if (op == "dims" || op == "wpos") {
            return "[0,0]";
        }
        if (op == "win") {
            return "2";  // the page library's number of the document's window
        }
        if (op == "wdoc") {
            return "1";  // and of the window's document
        }
        return "null";
    }

    // ----- Writing.

    void Reply(const Call& call, const std::string& result) {
        Send("{\"id\":" + std::to_string(call.id) + ",\"result\":" + result + SessionField(call.sessionId) +
             "}");
    }
    void ReplyError(const Call& call, int code, std::string_view message) {
        Send("{\"id\":" + std::to_string(call.id) + ",\"error\":{\"code\":" + std::to_string(code) +
             ",\"message\":" + Quote(message) + "}" + SessionField(call.sessionId) + "}");
    }
    void Event(std::string_view method, const std::string& params, const std::string& sessionId = {}) {
        Send("{\"method\":" + Quote(method) + ",\"params\":" + params + SessionField(sessionId) + "}");
    }
    // Events of a page's domains reach the program only on its session and once it has enabled them.
    void PageEvent(const Page& page, std::string_view method, const std::string& params) {
        if (page.pageEvents && !page.sessionId.empty()) {
            Event(method, params, page.sessionId);
        }
    }
    void RuntimeEvent(const Page& page, std::string_view method, const std::string& params) {
        if (page.runtimeEvents && !page.sessionId.empty()) {
            Event(method, params, page.sessionId);
        }
    }
    static std::string SessionField(const std::string& sessionId) {
        return sessionId.empty() ? std::string() : ",\"sessionId\":" + Quote(sessionId);
    }

    void Send(std::string message) {
        if (broken_) {
            return;
        }
        Log(">> ", message);
        message.push_back('\0');
        std::size_t written = 0;
        while (written < message.size()) {
            DWORD n = 0;
            const DWORD size = static_cast<DWORD>(std::min<std::size_t>(message.size() - written, 1 << 20));
            if (!::WriteFile(writePipe_, message.data() + written, size, &n, nullptr)) {
                broken_ = true;  // ERROR_NO_DATA or ERROR_BROKEN_PIPE: the program has gone
                return;
            }
            written += n;
        }
    }

    void Log(std::string_view prefix, std::string_view message) {
        if (!log_) {
            return;
        }
        std::string line(prefix);
        // One message a line, whatever the program put into it.
        for (const char c : message) {
            if (c == '\n') {
                line += "\\n";
            } else if (c == '\r') {
                line += "\\r";
            } else {
                line.push_back(c);
            }
        }
        line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), log_);
        std::fflush(log_);
    }

    static void Note(const std::string& text) {
        std::fprintf(stderr, "browser_stand_in: %s\n", text.c_str());
    }

    // ----- Time.

    void After(Clock::duration delay, std::function<void()> action) {
        timers_.push_back({Clock::now() + delay, std::move(action)});
    }

    DWORD MsUntilNextTimer() const {
        if (timers_.empty()) {
            return INFINITE;
        }
        Clock::time_point next = timers_.front().due;
        for (const Timer& timer : timers_) {
            next = std::min(next, timer.due);
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
        return left <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(left, 60000));
    }

    void RunDueTimers() {
        for (;;) {
            const auto due = std::find_if(timers_.begin(), timers_.end(),
                                          [now = Clock::now()](const Timer& t) { return t.due <= now; });
            if (due == timers_.end() || finished_ || broken_) {
                return;
            }
            const std::function<void()> action = std::move(due->action);
            timers_.erase(due);
            action();
        }
    }

    void ScriptOver(const char* why) {
        if (scriptOver_) {
            return;
        }
        scriptOver_ = true;
        Note(std::string("the script is over: ") + why);
        After(std::chrono::milliseconds(options_.lingerMs), [this] { finished_ = true; });
    }

    std::string Seconds() const {
        const double s = std::chrono::duration<double>(Clock::now() - start_).count();
        return std::to_string(s);
    }

    // ----- Names.

    std::string NewId(std::uint32_t kind) {
        char id[40];
        std::snprintf(id, sizeof id, "%08X0000000000000000%08X", static_cast<unsigned>(kind),
                      static_cast<unsigned>(++ids_));
        return id;
    }
    static std::string UniqueContextId(int id) { return "-7315" + std::to_string(id) + ".1"; }
    static std::string Origin(const std::string& url) {
        const std::size_t scheme = url.find("://");
        if (scheme == std::string::npos) {
            return "://";  // as Chromium shows the origin of about:blank
        }
        return url.substr(0, url.find('/', scheme + 3));
    }

    struct Timer {
        Clock::time_point due;
        std::function<void()> action;
    };

    const Options& options_;
    HANDLE writePipe_;  // owned by wmain
    std::FILE* log_;    // owned by wmain; none without --stand-in-log
    const Clock::time_point start_;
    std::vector<std::unique_ptr<Page>> pages_;
    std::vector<PausedRequest> paused_;
    std::vector<int> madeWorlds_;  // contexts made by Page.createIsolatedWorld
    std::vector<Timer> timers_;
    std::string firstPageId_;
    std::string partial_;  // the start of a message whose end has not come yet
    bool skipping_ = false;
    bool discover_ = false;
    bool autoAttach_ = false;
    bool waitForDebugger_ = false;
    bool interceptsAll_ = false;
    bool popupPlanned_ = false;
    bool heldBack_ = false;
    bool scriptOver_ = false;
    bool finished_ = false;
    bool broken_ = false;
    int nextContextId_ = 1;
    int scriptIdentifiers_ = 0;
    int requests_ = 0;
    std::uint32_t ids_ = 0;
};

int Main() {
    Options options;
    if (const auto error = ReadOptions(options)) {
        std::fprintf(stderr, "browser_stand_in: %s\n", error->c_str());
        return kExitBadCommandLine;
    }
    // The inherited ends are the stand-in's own from here on.
    UniqueHandle readPipe(options.readPipe);
    UniqueHandle writePipe(options.writePipe);
    UniqueFile log;
    if (!options.logPath.empty()) {
        log.reset(::_wfopen(options.logPath.c_str(), L"ab"));
        if (!log) {
            std::fprintf(stderr, "browser_stand_in: the log file cannot be opened\n");
            return kExitBadCommandLine;
        }
    }

    Inbox inbox;
    inbox.pipe = readPipe.Get();
    UniqueHandle reader(::CreateThread(nullptr, 0, &ReaderMain, &inbox, 0, nullptr));
    if (!reader.Valid()) {
        std::fprintf(stderr, "browser_stand_in: the reader thread cannot be started\n");
        return 1;
    }
    int exitCode = 0;
    try {
        StandIn standIn(options, writePipe.Get(), log.get());
        standIn.Run(inbox);
    } catch (const std::exception& e) {
        // No memory in the middle of the script: the browser dies all the same, and the reader, which
        // still uses `inbox`, is stopped before it goes.
        std::fprintf(stderr, "browser_stand_in: %s\n", e.what());
        exitCode = 1;
    }

    // The browser dies, as far as the program can tell: its writing end closes first, so the program
    // reads the end of the stream, and then the reader gives up its read.
    writePipe.Reset();
    {
        const ScopedLock lock(inbox.lock);
        inbox.stopping = true;
    }
    const Clock::time_point giveUp = Clock::now() + std::chrono::milliseconds(kReaderStopMs);
    while (::WaitForSingleObject(reader.Get(), 20) == WAIT_TIMEOUT) {
        if (Clock::now() > giveUp) {
            // A read that cannot be cancelled keeps the thread, and `inbox` with it: ending the process
            // ends both, and the system closes what is left.
            std::fflush(nullptr);
            ::ExitProcess(static_cast<UINT>(exitCode));
        }
        // Retried: a cancellation that comes between two reads cancels nothing.
        ::CancelSynchronousIo(reader.Get());
    }
    readPipe.Reset();
    return exitCode;
}

}  // namespace

int wmain() {
    try {
        return Main();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "browser_stand_in: %s\n", e.what());
        return 1;
    }
}
