#pragma once

#include <exception>
#include <string_view>
#include <utility>

namespace qm {

// The one place where the program meets its callers from outside: every window procedure, toolkit
// signal, COM event sink, timer tick, posted task and the protocol reader's thread runs the program's
// handler through RunHandler. Whatever leaves the handler (a PlatformError of a failing call, or any
// other exception) is reported once, with the handler's name, and the caller goes on as if the handler
// had returned: nothing ever unwinds into the operating system, the toolkit, COM or a thread's entry.
// A handler that fails leaves what it already did; the event is not delivered again.

// Where the reports go. The default writes one line to standard error; an adapter may add its platform's
// debug output. The reporter is called with one complete line (ending in a newline) and must not throw.
// Thread-safe: the protocol reader reports from its own thread.
using HandlerFailureReporter = void (*)(const char* line);
void SetHandlerFailureReporter(HandlerFailureReporter reporter) noexcept;  // null: standard error again

// Reports `error` as the failure of `handler`. Never throws, also when memory runs out.
void ReportHandlerFailure(std::string_view handler, const std::exception_ptr& error) noexcept;

// Runs `fn()` at the boundary. Answers true when it returned, false when it threw (and was reported).
template <class Fn>
bool RunHandler(std::string_view handler, Fn&& fn) noexcept {
    try {
        std::forward<Fn>(fn)();
        return true;
    } catch (...) {
        ReportHandlerFailure(handler, std::current_exception());
        return false;
    }
}

}  // namespace qm
