#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/event_loop.h"
#include "base/task_poster.h"
#include "base/variant.h"
#include "platform/chromium/cdp_connection.h"
#include "ports/element_collection.h"

namespace qm::cr {

class ChromiumDocument;
class ChromiumElement;
class ChromiumStyleSheet;
class ChromiumWindow;

// Where a record of a list read ("items") keeps what it tells of an element. A size or an address not
// read is false.
namespace record {
constexpr std::size_t kId = 0;
constexpr std::size_t kTag = 1;
constexpr std::size_t kParentId = 2;
constexpr std::size_t kParentTag = 3;
constexpr std::size_t kParentHref = 4;  // null unless the parent is a link
constexpr std::size_t kWidth = 5;
constexpr std::size_t kHeight = 6;
constexpr std::size_t kSrc = 7;
constexpr std::size_t kHref = 8;
constexpr std::size_t kText = 9;  // null: not read
constexpr std::size_t kPosition = 10;
constexpr std::size_t kVisibility = 11;
constexpr std::size_t kImages = 12;  // null: not read
constexpr std::size_t kFrame = 13;   // [window, document], inline frames only
constexpr std::size_t kLinks = 14;   // the links the element lies inside, nearest first
constexpr std::size_t kFields = 15;
}  // namespace record

// One document of a page, as the program's script world in it sees it: the door through which every
// page object of that document (and of the same-site frames inside it) is read and written. Reads are
// one protocol call each, which makes the writes still queued first; writes are queued and sent
// together, in order, without waiting: with the next read, once kWriteQuietMs pass without a new one,
// or once they have waited kWriteMaxWaitMs or number kWriteBatchMax, whichever comes first. (An
// ad pass writes element by element and yields between them: its writes go out in a few calls, not one
// per element.) A write that fails inside the page is dropped there. Once the document has gone (a new
// page, the browser closed) every read throws PlatformError.
//
// Objects keep their identity: asking twice for the same element, document or window of this document
// gives the same object. Every object handed out lives as long as the document does (as the page's own
// objects do), and the last lists handed out are kept too, so a caller may hold a plain reference to one
// while it works; they are let go some time after the document has gone (ReleaseObjects). Used on the
// user-interface thread only.
class PageContext : public std::enable_shared_from_this<PageContext> {
  public:
    PageContext(std::shared_ptr<CdpConnection> connection,
                EventLoop& loop,
                TaskPoster& poster,
                std::string sessionId,
                int contextId,
                std::string frameId);
    PageContext(const PageContext&) = delete;
    PageContext& operator=(const PageContext&) = delete;
    ~PageContext();

    int ContextId() const { return contextId_; }
    const std::string& FrameId() const { return frameId_; }
    const std::string& SessionId() const { return sessionId_; }
    bool Alive() const { return alive_; }
    // The document has gone: reads fail from now on and queued writes are dropped.
    void MarkGone();
    // Lets go of the objects handed out (those the program still holds keep failing). Called a while
    // after the document has gone, so that no handler still works with one.
    void ReleaseObjects();
    // Keeps a list handed out alive for a while (the last kKeptLists of them).
    void KeepList(std::shared_ptr<ElementCollection> list);
    static constexpr std::size_t kKeptLists = 64;

    // Runs page-library operations (each `[op, args...]`) in one call and returns their results, in
    // order. Throws PlatformError when the page refuses (the operation's own error) or has gone.
    //
    // Lists are read ahead: a read of a scope's DIV list made while no write waits (an ad pass starts
    // with it) brings that scope's lists of kReadAheadTags along in the same call. A later read of one of
    // them is answered from there, once, as long as it is younger than kReadAheadMaxAgeMs and the program
    // has written nothing since that could change what the list tells: its own writes of an element's
    // inline visibility or position are carried into the lists read ahead; markup that replaces an
    // element (without bringing elements of those tags) takes the elements that lie inside it out of the
    // lists: at once for a link, as every record names the links around its element, else by asking the
    // page which elements are still in the document, in one call that carries the writes, before the
    // next list is served; any other write (attributes, timers, markup with such elements) drops the
    // lists.
    Json Run(const Json& batch);
    static constexpr const char* kReadAheadTags[] = {"IMG", "IFRAME", "EMBED", "OBJECT"};
    static constexpr std::int64_t kReadAheadMaxAgeMs = 1000;
    // Lists read ahead are no longer used. (A change the page makes by itself needs no call of this: it
    // sets off a new ad pass, which starts by reading the lists afresh.)
    void ForgetReadAhead() { readAhead_ = {}; }
    Json RunOne(Json op);
    // Queues one write.
    void Write(Json op);
    // Sends the queued writes now, without waiting.
    void Flush();
    // Calls made (reads) and calls of writes alone sent since the document was opened, for tests and
    // measurements.
    int CallCount() const { return calls_; }
    int WriteBatchCount() const { return writeBatches_; }

    // The page draws itself at most once a frame: writes that come within a frame of each other go out
    // together (a pass that is held up for a moment does not send its writes in pieces).
    static constexpr int kWriteQuietMs = 16;
    // Every batch of writes makes the page draw itself again, which on a big page keeps it from answering
    // for a tenth of a second or more: a pass's writes go out together at its end, or at this interval
    // while a long pass goes on.
    static constexpr std::int64_t kWriteMaxWaitMs = 250;
    // A batch this long takes the page some 20 ms to run.
    static constexpr std::size_t kWriteBatchMax = 20000;

    // How lists are read and writes sent. Batched is the program's way; PerElement answers every read of
    // an element with a call of its own and sends the writes at the end of each event, as a page model
    // without batching does (kept for measurements).
    enum class Batching { Batched, PerElement };
    void SetBatching(Batching batching) { batching_ = batching; }
    Batching GetBatching() const { return batching_; }

    // The objects of this document, by the page library's numbers (0: none, giving null).
    std::shared_ptr<ChromiumDocument> DocumentFor(int id);
    std::shared_ptr<ChromiumWindow> WindowFor(int id);
    std::shared_ptr<ChromiumElement> ElementFor(int id);
    std::shared_ptr<ChromiumStyleSheet> SheetFor(int id);
    // The element of a page-library answer [number, tag], its tag known from now on; null for any other
    // answer.
    std::shared_ptr<ChromiumElement> TaggedElementFor(const Json& answer);
    // The document (1) and its window (2), only if the program holds them: the targets of page events.
    std::shared_ptr<ChromiumDocument> ExistingDocument();
    std::shared_ptr<ChromiumWindow> ExistingWindow();

    // Code handed to SetTimeout waits here for the page's timer (by key).
    std::int64_t AddTimeout(std::string code);
    std::optional<std::string> TakeTimeout(std::int64_t key);

    // Writes an attribute from the page's own script world: event-handler attributes ("on...") belong
    // to the world that sets them, and only the page's world makes them take effect for the page.
    void SetAttributeInPageWorld(int elementId, const std::string& name, const Variant& value);

    const std::shared_ptr<CdpConnection>& Connection() const { return connection_; }
    TaskPoster& Poster() const { return poster_; }
    // Which document of the world's window this is (the page library counts them); 0 until known.
    // Calls meant for it are refused once the window shows another document.
    std::int64_t Generation() const { return generation_; }
    void SetGeneration(std::int64_t generation) { generation_ = generation; }
    // The page's own script world of the same document (0 while unknown); set by the browser.
    int PageWorldContextId() const { return pageWorldContextId_; }
    void SetPageWorldContextId(int id) { pageWorldContextId_ = id; }

  private:
    // Lists read ahead, by scope and tag, where each element's records stand in them and which records
    // lie inside each link. A record taken out is null until its list is served.
    struct ReadAhead {
        using Place = std::pair<std::pair<int, std::string>, std::size_t>;
        std::int64_t readAtMs = 0;
        std::map<std::pair<int, std::string>, Json> lists;
        std::map<int, std::vector<Place>> recordsOf;
        std::map<int, std::vector<Place>> insideLink;
        // Markup has replaced elements since: some listed elements may have left the document.
        bool replaced = false;
    };

    Json RunNow(const Json& batch);
    // The list `batch` reads ([["items", scope, tag]]) if it was read ahead and may still be used.
    std::optional<Json> TakeReadAhead(const Json& batch);
    void KeepReadAhead(const Json& sent, Json& answer);
    // Drops from the lists read ahead the elements that are no longer in the document.
    void PruneReadAhead();
    // Finds again where each element's records stand in the lists read ahead.
    void IndexReadAhead();
    // Takes the records of `places` out of the lists read ahead.
    void DropRecords(const std::vector<ReadAhead::Place>& places);
    // Carries the write `op` into the lists read ahead, or drops them.
    void NoteWrite(const Json& op);
    Json Evaluate(const std::string& expression, bool byValue);
    // Sends the queued writes soon: at once when enough wait, else once no more come for a moment.
    void ScheduleFlush();
    void CheckAlive() const;
    template <typename T>
    std::shared_ptr<T> Cached(std::map<int, std::shared_ptr<T>>& cache, int id);

    std::shared_ptr<CdpConnection> connection_;
    TaskPoster& poster_;
    std::string sessionId_;
    int contextId_;
    std::string frameId_;
    bool alive_ = true;
    bool libraryChecked_ = false;

    EventLoop& loop_;
    Json writes_ = Json::array();
    std::int64_t firstWriteMs_ = 0;
    std::unique_ptr<PlatformTimer> flushTimer_;
    bool flushPosted_ = false;
    Batching batching_ = Batching::Batched;
    int calls_ = 0;
    int writeBatches_ = 0;
    ReadAhead readAhead_;

    std::map<int, std::shared_ptr<ChromiumDocument>> documents_;
    std::map<int, std::shared_ptr<ChromiumWindow>> windows_;
    std::map<int, std::shared_ptr<ChromiumElement>> elements_;
    std::map<int, std::shared_ptr<ChromiumStyleSheet>> sheets_;
    std::vector<std::shared_ptr<ElementCollection>> keptLists_;
    std::size_t nextKept_ = 0;

    std::map<std::int64_t, std::string> timeouts_;
    std::int64_t nextTimeout_ = 1;
    int pageWorldContextId_ = 0;
    std::int64_t generation_ = 0;
};

}  // namespace qm::cr
