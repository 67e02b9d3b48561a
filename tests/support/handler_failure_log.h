#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "base/callback_boundary.h"

namespace qm::testing {

// Collects the lines that the callback boundary reports while it lives (from any thread), instead of
// letting them go to standard error.
class HandlerFailureLog {
  public:
    HandlerFailureLog() {
        Clear();
        SetHandlerFailureReporter(&Collect);
    }
    HandlerFailureLog(const HandlerFailureLog&) = delete;
    HandlerFailureLog& operator=(const HandlerFailureLog&) = delete;
    ~HandlerFailureLog() { SetHandlerFailureReporter(nullptr); }

    std::vector<std::string> Lines() const {
        const std::lock_guard<std::mutex> lock(Mutex());
        return Store();
    }
    static void Clear() {
        const std::lock_guard<std::mutex> lock(Mutex());
        Store().clear();
    }

  private:
    static void Collect(const char* line) {
        const std::lock_guard<std::mutex> lock(Mutex());
        Store().emplace_back(line);
    }
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::vector<std::string>& Store() {
        static std::vector<std::string> lines;
        return lines;
    }
};

}  // namespace qm::testing
