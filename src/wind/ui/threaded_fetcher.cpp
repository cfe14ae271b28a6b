#include "wind/ui/threaded_fetcher.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <future>

namespace quor::wind {

platform::HttpResult ThreadedYearFetcher::fetch(const std::string& url) {
    // The worker keeps its own reference to the fetcher, so it stays valid
    // whatever happens to this object while the transfer runs.
    auto inner = inner_;
    auto future = std::async(std::launch::async, [inner, url] { return inner->fetch(url); });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (future.wait_for(std::chrono::seconds(0)) == std::future_status::ready) loop.quit();
    });
    poll.start(20);
    if (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return future.get();
}

}  // namespace quor::wind
