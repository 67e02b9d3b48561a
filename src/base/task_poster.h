#pragma once

#include <functional>

namespace qm {

// Hands work to the user-interface thread from any other thread. The task runs later, on the
// user-interface thread, as an event of the program's loop, in the order in which tasks were posted;
// tasks still queued when the loop ends are dropped without running. PostTask itself is thread-safe,
// never blocks for long and never fails.
class TaskPoster {
  public:
    TaskPoster() = default;
    TaskPoster(const TaskPoster&) = delete;
    TaskPoster& operator=(const TaskPoster&) = delete;
    virtual ~TaskPoster() = default;

    virtual void PostTask(std::function<void()> task) = 0;
};

}  // namespace qm
