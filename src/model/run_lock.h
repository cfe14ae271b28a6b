#pragma once
// While a run is going on, every command but Cancel is blocked, and closing
// the main window or the progress window acts as Cancel. The drivers hold a
// scope for the length of their run; the shell listens to grey its commands
// and asks `active()` before acting on a command or a close.
#include <functional>
#include <utility>

namespace quor::model {

class RunLock {
public:
    bool active() const { return depth_ > 0; }

    // Called with true when the first run starts and false when the last ends.
    void setListener(std::function<void(bool active)> listener) { listener_ = std::move(listener); }

    // Held by a run driver; released however the run ends. A batch run holds
    // one around the single runs it starts, so the lock nests.
    class Scope {
    public:
        explicit Scope(RunLock& lock) : lock_(&lock) {
            if (lock_->depth_++ == 0 && lock_->listener_) lock_->listener_(true);
        }
        ~Scope() {
            if (--lock_->depth_ == 0 && lock_->listener_) lock_->listener_(false);
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        RunLock* lock_;
    };

private:
    int depth_ = 0;
    std::function<void(bool)> listener_;
};

}  // namespace quor::model
