#include "app/browser_session.h"

#include <cstdio>
#include <utility>

#include "base/platform_error.h"
#include "platform/chromium/cdp_connection.h"

namespace qm::app {

namespace {

// What a request without an address opens: a new window as the browser itself makes one.
constexpr char kNewWindowPage[] = "chrome://newtab/";

}  // namespace

BrowserSession::BrowserSession(cr::ChromiumOptions options, EventLoop& loop, TaskPoster& poster)
    : options_(std::move(options)), loop_(loop), poster_(poster) {}

BrowserSession::~BrowserSession() {
    // The program's side lets go of the pipe first; then the browser is closed (politely, then by force)
    // and a temporary profile removed.
    if (world_) {
        world_->Connection().Stop();
    }
    world_.reset();
    process_.reset();
}

void BrowserSession::Start() {
    Launch(options_.startUrl);
}

void BrowserSession::Launch(const std::string& firstPage) {
    // What is left of a browser that has gone is collected before the next one starts.
    process_.reset();
    cr::ChromiumOptions options = options_;
    options.startUrl = firstPage;
    // The world lets go of what is left of the last browser while it takes the new one; that is no news
    // of the new browser's end.
    launching_ = true;
    struct Launched {
        bool& flag;
        ~Launched() { flag = false; }
    } launched{launching_};
    process_ = cr::StartBrowser(options);
    ++starts_;
    auto connection = std::make_unique<cr::CdpConnection>(process_->TakePipe());
    try {
        if (!world_) {
            world_ = cr::ChromiumWorld::Create(std::move(connection), loop_, poster_);
            world_->SetOnDisconnected([this] { OnBrowserGone(); });
            world_->Start(firstPage);
        } else {
            world_->Reconnect(std::move(connection), firstPage);
        }
    } catch (const PlatformError&) {
        // A browser that found its profile taken after all (another one started on it a moment ago)
        // handed its page over and ended; that is what the person needs to hear.
        const bool handedOver = !options.userDataDir.empty() && process_->WaitForExit(500);
        const std::string holder = handedOver ? cr::ProfileHolder(options.userDataDir) : std::string();
        if (!holder.empty()) {
            cr::ThrowProfileInUse(options.userDataDir, holder);
        }
        throw;
    }
}

void BrowserSession::OnBrowserGone() {
    if (launching_) {
        return;
    }
    // The person has closed the browser (or it crashed). The program stays and starts it again when it
    // is asked for a window.
    if (process_) {
        std::fprintf(stderr,
                     "quillmere: the browser has ended; Quillmere goes on running and opens it again when it "
                     "is started again\n");
    }
    process_.reset();
}

void BrowserSession::Open(const std::string& address) {
    const std::string page = address.empty() ? std::string(kNewWindowPage) : address;
    try {
        if (!BrowserRunning()) {
            Launch(page);
        } else if (!world_->OpenWindow(page)) {
            Launch(page);
        }
    } catch (const PlatformError& e) {
        std::fprintf(stderr, "quillmere: the browser cannot be started again: %s\n", e.what());
        process_.reset();
    }
}

void BrowserSession::LeaveOpen() {
    // Nothing to leave; a temporary profile goes with the program; and a browser without windows would be
    // of no use to anyone once the program has gone.
    if (!BrowserRunning() || options_.userDataDir.empty() || options_.headless) {
        return;
    }
    world_->StopWatching();
    world_->Connection().Stop();
    if (!process_->LeaveRunning()) {
        std::fprintf(stderr, "quillmere: the browser cannot be left open; it is closed with Quillmere\n");
    }
    process_.reset();
}

}  // namespace qm::app
