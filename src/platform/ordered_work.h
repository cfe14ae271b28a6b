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
// With one thread there are no workers: each item is computed right
// before its commit, on the calling thread.
// At most `aheadPerWorker` items per worker are read ahead of the commit,
// so the memory held does not grow with the number of items.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
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

    OrderedWork(int threads, std::size_t aheadPerWorker) : threads_(threads < 1 ? 1 : threads),
          ahead_(aheadPerWorker < 1 ? 1 : aheadPerWorker) {}
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
        compute_ = &compute;
        stop_ = false;
        order_.clear();
        for (int w = 0; w < threads_; ++w) workers_.emplace_back([this, w] { work(w); });
        const std::size_t window = ahead_ * static_cast<std::size_t>(threads_);
        bool readAll = false;
        std::exception_ptr readError;
        auto& order = order_;
        for (;;) {
            while (!readAll && order.size() < window) {
                try {
                    auto item = read();
                    if (!item) {
                        readAll = true;
                        break;
                    }
                    order.push_back(std::make_unique<Slot>(std::move(*item)));
                    std::lock_guard<std::mutex> lock(mutex_);
                    pending_.push_back(order.back().get());
                    wake_.notify_one();
                } catch (...) {
                    readError = std::current_exception();
                    readAll = true;
                }
            }
            if (order.empty()) break;
            Slot& front = *order.front();
            {
                std::unique_lock<std::mutex> lock(mutex_);
                done_.wait(lock, [&] { return front.done; });
            }
            if (front.error) {
                stopWorkers();
                std::rethrow_exception(front.error);
            }
            bool goOn = false;
            try {
                goOn = commit(front.item, *front.result);
            } catch (...) {
                stopWorkers();
                throw;
            }
            if (!goOn) {
                stopWorkers();
                return;
            }
            order.pop_front();
        }
        stopWorkers();
        if (readError) std::rethrow_exception(readError);
    }

private:
    struct Slot {
        explicit Slot(Item i) : item(std::move(i)) {}
        Item item;
        std::optional<Result> result;
        std::exception_ptr error;
        bool done = false;  // guarded by mutex_
    };

    void work(int worker) {
        for (;;) {
            Slot* slot = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return stop_ || !pending_.empty(); });
                if (stop_) return;
                slot = pending_.front();
                pending_.pop_front();
            }
            try {
                slot->result.emplace((*compute_)(slot->item, worker));
            } catch (...) {
                slot->error = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(mutex_);
            slot->done = true;
            done_.notify_all();
        }
    }

    // Workers finish the item they hold and take no other; the slots they
    // wrote into stay until they are gone.
    void stopWorkers() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
            pending_.clear();
        }
        wake_.notify_all();
        for (auto& t : workers_) t.join();
        workers_.clear();
    }

    const int threads_;
    const std::size_t ahead_;
    const Compute* compute_ = nullptr;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<Slot*> pending_;
    bool stop_ = false;
    // Dropped only after the workers are gone (members go after the destructor's body).
    std::deque<std::unique_ptr<Slot>> order_;
};

}  // namespace quor::platform
