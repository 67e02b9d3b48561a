#include "base/callback_boundary.h"

#include <atomic>
#include <cstdio>
#include <string>

#include "base/platform_error.h"

namespace qm {

namespace {

void WriteToStandardError(const char* line) {
    std::fputs(line, stderr);
    std::fflush(stderr);
}

std::atomic<HandlerFailureReporter> g_reporter{&WriteToStandardError};

std::string Describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const PlatformError& e) {
        std::string text = "run-time error " + std::to_string(e.Number());
        if (!e.Source().empty()) {
            text += " (" + e.Source() + ")";
        }
        return text + ": " + e.Description();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "an error of unknown kind";
    }
}

}  // namespace

void SetHandlerFailureReporter(HandlerFailureReporter reporter) noexcept {
    g_reporter.store(reporter ? reporter : &WriteToStandardError);
}

void ReportHandlerFailure(std::string_view handler, const std::exception_ptr& error) noexcept {
    const HandlerFailureReporter reporter = g_reporter.load();
    try {
        std::string line = "quillmere: ";
        line.append(handler.empty() ? std::string_view("a handler") : handler);
        line += " failed: ";
        line += error ? Describe(error) : std::string("no error given");
        // One line per failure, whatever the texts carried.
        for (char& c : line) {
            if (c == '\n' || c == '\r') {
                c = ' ';
            }
        }
        line += '\n';
        reporter(line.c_str());
    } catch (...) {
        // No memory for the text: the bare fact still goes out.
        reporter("quillmere: a handler failed\n");
    }
}

}  // namespace qm
