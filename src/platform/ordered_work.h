#pragma once
// Items read one by one on the calling thread, computed side by side on a
// few worker threads, and committed on the calling thread in the order
// they were read, as if one thread had done it all. What a commit sees
// (its order, the exceptions, where the work stops) does not depend on
// the number of threads:
// - an item whose computation threw is committed by rethrowing that
//   exception on the calling thread; nothing after it is committed;
// - a read that throws is rethrown where that item's commit would be;
// - a commit that returns false or throws ends the work: items computed
//   ahead of it are dropped, never committed.
// Whatever ends run(), by a return or by any exception (a worker that
// cannot be started included), the workers are gone when it ends.
// With one thread there are no workers: each item is computed right
// before its commit, on the calling thread.
// At most `aheadPerWorker` items per worker are read ahead of the commit,
// so the memory held does not grow with the number of items. Their places
// are made once, with the object: handing items to the workers allocates
// nothing, so no allocation can leave an item read but never computed.
// A committed item and its result are let go by a worker, before it takes
// another item (the calling thread does it only when it has no other item
// in flight): the commit is the one step that cannot run side by side, so
// it is left with nothing else to do.
#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quor::platform {

template <class Item, class Result>
class OrderedWork {
public:
    // Reads the next item; nothing when there are no more.
    using Read = std::function<std::optional<Item>()>;
    // Computes an item on worker `worker` (0 .. threads-1); a worker never
    // computes two items at once.
    using Compute = std::function<Result(const Item&, int worker)>;
    // Commits an item with its result; false stops the work.
    using Commit = std::function<bool(Item&, Result&)>;

    OrderedWork(int threads, std::size_t aheadPerWorker)
        : threads_(threads < 1 ? 1 : threads), window_((aheadPerWorker < 1 ? 1 : aheadPerWorker) *
                                                       static_cast<std::size_t>(threads_)) {
        if (threads_ > 1) {
            slots_ = std::vector<Slot>(window_);
            workers_.reserve(static_cast<std::size_t>(threads_));
        }
    }
    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;
    ~OrderedWork() { stopWorkers(); }

    int threads() const { return threads_; }

    void run(const Read& read, const Compute& compute, const Commit& commit) {
        if (threads_ == 1) {
            while (auto item = read()) {
                Result r = compute(*item, 0);
                if (!commit(*item, r)) return;
            }
            return;
        }
        // However run() ends, its workers are joined and what they computed
        // ahead is dropped before it returns.
        struct Ending {
            OrderedWork& work;
            ~Ending() { work.stopWorkers(); }
        } ending{*this};
        compute_ = &compute;
        stop_ = false;
        read_ = handedOut_ = committed_ = letGo_ = 0;
        for (int w = 0; w < threads_; ++w) workers_.emplace_back([this, w] { work(w); });
        bool readAll = false;
        std::exception_ptr readError;
        for (;;) {
            // Items are read in bursts, once half the window is committed,
            // and the workers woken once for the burst: a wake costs the
            // committing thread a system call.
            bool readSome = false;
            while (!readAll && read_ - committed_ < window_ && (readSome || read_ - committed_ <= window_ / 2)) {
                Slot& slot = slotOf(read_);
                // A place a worker has not freed yet is read into later,
                // unless nothing else is in flight.
                if (!takeFree(slot, read_ == committed_)) break;
                try {
                    slot.item = read();
                } catch (...) {
                    slot.clear();
                    readError = std::current_exception();
                    readAll = true;
                    break;
                }
                if (!slot.item) {
                    readAll = true;
                    break;
                }
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    ++read_;
                }
                readSome = true;
            }
            if (readSome) wake_.notify_all();
            if (read_ == committed_) break;
            Slot& front = slotOf(committed_);
            {
                std::unique_lock<std::mutex> lock(mutex_);
                waitingFor_ = &front;
                done_.wait(lock, [&] { return front.done; });
                waitingFor_ = nullptr;
            }
            if (front.error) std::rethrow_exception(front.error);
            if (!commit(*front.item, *front.result)) return;
            bool wake;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                front.state = State::Spent;
                ++committed_;
                // A worker that wakes lets go of every committed item.
                wake = idle_ > 0 && committed_ - letGo_ >= std::max<std::size_t>(1, window_ / 4);
            }
            if (wake) wake_.notify_one();
        }
        if (readError) std::rethrow_exception(readError);
    }

private:
    // A slot's item from its reading to its commit is In use; once
    // committed it is Spent until a thread, having taken it (Clearing),
    // has let its item and result go.
    enum class State { Free, InUse, Spent, Clearing };

    struct Slot {
        std::optional<Item> item;
        std::optional<Result> result;
        std::exception_ptr error;
        bool done = false;            // guarded by mutex_
        State state = State::Free;    // guarded by mutex_
        void clear() {
            item.reset();
            result.reset();
            error = nullptr;
            done = false;
        }
    };

    Slot& slotOf(std::size_t n) { return slots_[n % window_]; }

    // On the calling thread, before an item is read into `slot`: takes the
    // slot when it is free. With `now`, what it still holds of a committed
    // item goes first, here unless a worker took it already; otherwise
    // false while it holds one.
    bool takeFree(Slot& slot, bool now) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (slot.state != State::Free && !now) return false;
        if (slot.state == State::Spent) {
            // The oldest committed item not yet taken is this slot's.
            ++letGo_;
            slot.state = State::Clearing;
            lock.unlock();
            slot.clear();
            lock.lock();
        } else {
            freed_.wait(lock, [&] { return slot.state != State::Clearing; });
        }
        slot.state = State::InUse;
        return true;
    }

    void work(int worker) {
        for (;;) {
            Slot* slot = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                ++idle_;
                wake_.wait(lock, [&] { return stop_ || handedOut_ != read_ || letGo_ != committed_; });
                --idle_;
                if (stop_) return;
                if (letGo_ != committed_) {
                    // A committed item is let go here, ahead of the next.
                    Slot& spent = slotOf(letGo_++);
                    spent.state = State::Clearing;
                    lock.unlock();
                    spent.clear();
                    lock.lock();
                    spent.state = State::Free;
                    lock.unlock();
                    freed_.notify_all();
                    continue;
                }
                slot = &slotOf(handedOut_++);
            }
            try {
                slot->result.emplace((*compute_)(*slot->item, worker));
            } catch (...) {
                slot->error = std::current_exception();
            }
            bool awaited;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                slot->done = true;
                awaited = waitingFor_ == slot;
            }
            // Only the item the commit waits for wakes it: the others are
            // found done when their turn comes.
            if (awaited) done_.notify_one();
        }
    }

    // Workers finish the item they hold and take no other; the items read
    // ahead are dropped once they are gone.
    void stopWorkers() noexcept {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (auto& t : workers_) t.join();
        workers_.clear();
        for (auto& s : slots_) {
            s.clear();
            s.state = State::Free;
        }
    }

    const int threads_;
    const std::size_t window_;
    const Compute* compute_ = nullptr;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_, done_, freed_;
    bool stop_ = false;
    int idle_ = 0;  // workers waiting for something to do (under mutex_)
    // The items in flight, by their number in the reading order: read_
    // items read, handedOut_ of them taken by a worker, committed_ of them
    // committed, letGo_ of those taken to be let go (all written under
    // mutex_). Item n lives in slots_[n % window_].
    std::vector<Slot> slots_;
    std::size_t read_ = 0, handedOut_ = 0, committed_ = 0, letGo_ = 0;
    const Slot* waitingFor_ = nullptr;  // the item the commit waits for (under mutex_)
};

}  // namespace quor::platform
