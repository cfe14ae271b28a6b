#pragma once
// While a run is going on, every command but Cancel is blocked, and closing
// the main window or the progress window acts as Cancel. The drivers hold a
// scope for the length of their run; the parts of the shell listen to grey
// their commands and ask `active()` before acting on a command or a close.
#include <functional>
#include <utility>
#include <vector>

namespace quor::model {

class RunLock {
public:
    using Listener = std::function<void(bool active)>;

    bool active() const { return depth_ > 0; }

    // Each listener is called with true when the first run starts and false
    // when the last ends. Returns the id that takes the listener off again.
    int addListener(Listener listener) {
        listeners_.emplace_back(nextId_, std::move(listener));
        return nextId_++;
    }
    void removeListener(int id) {
        for (auto it = listeners_.begin(); it != listeners_.end(); ++it)
            if (it->first == id) {
                listeners_.erase(it);
                return;
            }
    }

    // Held by a run driver; released however the run ends. A batch run holds
    // one around the single runs it starts, so the lock nests.
    class Scope {
    public:
        explicit Scope(RunLock& lock) : lock_(&lock) {
            if (lock_->depth_++ == 0) lock_->notify(true);
        }
        ~Scope() {
            if (--lock_->depth_ == 0) lock_->notify(false);
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        RunLock* lock_;
    };

private:
    void notify(bool active) {
        // A listener may take itself off while being told.
        const auto listeners = listeners_;
        for (const auto& [id, listener] : listeners)
            if (listener) listener(active);
    }

    int depth_ = 0;
    int nextId_ = 1;
    std::vector<std::pair<int, Listener>> listeners_;
};

}  // namespace quor::model
