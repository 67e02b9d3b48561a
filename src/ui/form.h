#pragma once

#include <memory>
#include <vector>

#include "base/event_loop.h"
#include "ui/timer.h"

namespace qm {

// A window of the program, shown or not: the hub, each monitor, each hidden browser and each countdown
// window are forms. A form is always owned by a std::shared_ptr (create it with std::make_shared), so
// that every handler can keep its own form alive while it runs: a handler may unload the form, or
// remove the last reference to it from a list, and still return safely.
//
// Loading happens once; unloading stops every timer of the form for good and runs Form_Unload. A form
// that was unloaded is not loaded again; the program creates a new one instead.
class Form : public std::enable_shared_from_this<Form> {
  public:
    explicit Form(EventLoop& loop) : loop_(loop) {}
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    bool Loaded() const { return loaded_; }
    void Load();
    void Unload();

    // The window's place and size on the screen, in twips, as single-precision values.
    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    virtual void Move(float left, float top) {
        left_ = left;
        top_ = top;
    }
    virtual void Resize(float width, float height) {
        width_ = width;
        height_ = height;
    }

  protected:
    EventLoop& Loop() const { return loop_; }

    virtual void Form_Load() {}
    virtual void Form_Unload() {}

    // A new timer of this form whose ticks run `handler` on it while the form is loaded, with the form
    // kept alive for the length of the call.
    template <typename Derived>
    std::unique_ptr<Timer> NewTimer(void (Derived::*handler)()) {
        Derived* self = static_cast<Derived*>(this);
        auto timer = std::make_unique<Timer>(loop_, [this, self, handler] {
            const std::shared_ptr<Form> keepAlive = weak_from_this().lock();
            if (keepAlive && loaded_) {
                (self->*handler)();
            }
        });
        timers_.push_back(timer.get());
        return timer;
    }

  private:
    EventLoop& loop_;
    std::vector<Timer*> timers_;
    bool loaded_ = false;
    bool unloaded_ = false;
    float left_ = 0;
    float top_ = 0;
    float width_ = 0;
    float height_ = 0;
};

}  // namespace qm
