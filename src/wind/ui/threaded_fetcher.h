#pragma once
// Runs each transfer on a worker thread while the caller's event loop
// keeps turning, so the window repaints and a stalled server never freezes
// it; the caller still receives the answer as a plain blocking call.
#include <memory>

#include "wind/buoy_year.h"

namespace quor::wind {

class ThreadedYearFetcher final : public YearFetcher {
public:
    explicit ThreadedYearFetcher(std::shared_ptr<YearFetcher> inner) : inner_(std::move(inner)) {}
    platform::HttpResult fetch(const std::string& url) override;

private:
    std::shared_ptr<YearFetcher> inner_;
};

}  // namespace quor::wind
