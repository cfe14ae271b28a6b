#pragma once
// What a computation on a worker thread would tell the user, kept in order
// and handed on to the thread that owns the window, which plays it there
// when it commits that computation: the messages, the progress bars and
// captions, the event loop's turns, and whatever else must happen there
// (files written in the computation's order, the map's layers). The user
// sees the same things in the same order as when the computation ran on
// the window's thread, only later.
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/feedback.h"

namespace quor::platform {

class DeferredFeedback final : public Messages, public Progress {
public:
    using Actions = std::vector<std::function<void()>>;

    // `messages` and `progress` are the window thread's; they are only
    // referred to here, and used when the actions are played.
    DeferredFeedback(Messages& messages, Progress& progress) : messages_(messages), progress_(progress) {}

    void message(const std::string& text, MessageIcon icon = MessageIcon::None,
                 const std::string& title = {}) override {
        ++told_;
        later([&m = messages_, text, icon, title] { m.message(text, icon, title); });
    }
    // A computation never waits for the user's answer.
    bool question(const std::string& text, const std::string&) override {
        throw std::logic_error("A question cannot be asked while a site is computed: " + text);
    }

    void show() override { later([&p = progress_] { p.show(); }); }
    void hide() override { later([&p = progress_] { p.hide(); }); }
    void setMaximum(int bar, int maximum) override { later([&p = progress_, bar, maximum] { p.setMaximum(bar, maximum); }); }
    void setValue(int bar, int value) override {
        (bar == 2 ? value2_ : value1_) = value;
        later([&p = progress_, bar, value] { p.setValue(bar, value); });
    }
    int value(int bar) const override { return bar == 2 ? value2_ : value1_; }
    void setLabel(int label, const std::string& text) override {
        later([&p = progress_, label, text] { p.setLabel(label, text); });
    }
    std::string label(int) const override { return {}; }
    void yield() override { later([&p = progress_] { p.yield(); }); }

    // Anything else that belongs to the window's thread, in its place.
    void later(std::function<void()> action) { actions_.push_back(std::move(action)); }

    // Messages told since this recorder was made.
    std::size_t told() const { return told_; }

    // What was kept so far, handed over; the recorder starts afresh.
    Actions take() { return std::exchange(actions_, {}); }

    // Plays actions on the window's thread, in order.
    static void play(const Actions& actions) {
        for (const auto& a : actions) a();
    }

private:
    Messages& messages_;
    Progress& progress_;
    Actions actions_;
    std::size_t told_ = 0;
    int value1_ = 0, value2_ = 0;
};

}  // namespace quor::platform
