#pragma once
// How computation talks to the user without knowing about windows. The
// application implements these with its dialogs; tests implement them
// with fakes that record the exact texts.
#include <string>

namespace quor::platform {

enum class MessageIcon { None, Information, Exclamation, Critical, Question };

class Messages {
public:
    virtual ~Messages() = default;
    // A notice with an OK button. An empty title means the program's title.
    virtual void message(const std::string& text, MessageIcon icon = MessageIcon::None,
                         const std::string& title = {}) = 0;
    // A question with Yes and No buttons; true for Yes.
    virtual bool question(const std::string& text, const std::string& title = {}) = 0;
};

// The shared progress window: two bars (0..max) and three captions.
// Bar 1 with caption 1 follows the current site; bar 2 with captions 2
// and 3 follows batch work.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void setMaximum(int bar, int maximum) = 0;
    virtual void setValue(int bar, int value) = 0;
    virtual int value(int bar) const = 0;
    virtual void setLabel(int label, const std::string& text) = 0;
    virtual std::string label(int label) const = 0;
    // Gives the event loop a turn (long runs call it once per site).
    virtual void yield() = 0;
};

// The progress window as the steps of one item of a longer work (a site
// of a run) see it: they caption it and give the event loop its turns,
// but the first bar is the work's own, which counts the items done.
class StepsProgress final : public Progress {
public:
    explicit StepsProgress(Progress& window) : window_(window) {}
    void show() override { window_.show(); }
    void hide() override { window_.hide(); }
    void setMaximum(int bar, int maximum) override {
        if (bar != 1) window_.setMaximum(bar, maximum);
    }
    void setValue(int bar, int value) override {
        if (bar == 1)
            steps_ = value;
        else
            window_.setValue(bar, value);
    }
    int value(int bar) const override { return bar == 1 ? steps_ : window_.value(bar); }
    void setLabel(int label, const std::string& text) override { window_.setLabel(label, text); }
    std::string label(int label) const override { return window_.label(label); }
    void yield() override { window_.yield(); }

private:
    Progress& window_;
    int steps_ = 0;
};

// A progress sink that shows nothing; for background work.
class NullProgress final : public Progress {
public:
    void show() override {}
    void hide() override {}
    void setMaximum(int, int) override {}
    void setValue(int bar, int v) override { (bar == 2 ? v2_ : v1_) = v; }
    int value(int bar) const override { return bar == 2 ? v2_ : v1_; }
    void setLabel(int, const std::string&) override {}
    std::string label(int) const override { return {}; }
    void yield() override {}

private:
    int v1_ = 0, v2_ = 0;
};

}  // namespace quor::platform
