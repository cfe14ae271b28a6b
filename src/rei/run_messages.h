#pragma once
// The messages of one run: each distinct text reaches the user once, so a
// failure that repeats at every site or ray is one box, not a thousand.
// The count of all messages lets the run tell whether a step it called
// reported a failure of its own.
#include <set>
#include <string>

#include "platform/feedback.h"

namespace quor::rei {

class RunMessages final : public platform::Messages {
public:
    explicit RunMessages(platform::Messages& user) : user_(user) {}
    void message(const std::string& text, platform::MessageIcon icon = platform::MessageIcon::None,
                 const std::string& title = {}) override {
        ++count_;
        if (shown_.insert(text).second) user_.message(text, icon, title);
    }
    bool question(const std::string& text, const std::string& title = {}) override {
        return user_.question(text, title);
    }
    // Messages reported so far, repeated ones included.
    std::size_t count() const { return count_; }

private:
    platform::Messages& user_;
    std::set<std::string> shown_;
    std::size_t count_ = 0;
};

}  // namespace quor::rei
