#pragma once
// A user's way through dialogs that run their own event loops, one inside
// another: each step waits, while the event loop turns, for the widget it
// acts on to be shown in the active window, where what the user types goes,
// and the next step starts watching before the action, so it finds the
// dialog that the action opens. A step that waits in vain ends
// the walk, closing whatever dialog is still open so that the test can go on.
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace quor::test {

class UserSteps {
public:
    using Find = std::function<QWidget*()>;
    using Act = std::function<void(QWidget&)>;

    UserSteps& then(std::string what, Find find, Act act) {
        steps_.push_back({std::move(what), std::move(find), std::move(act)});
        return *this;
    }
    void start() { watchNext(); }
    bool finished() const { return finished_; }
    // The step that waited in vain, or empty.
    const std::string& missed() const { return missed_; }

    ~UserSteps() { delete timer_; }

private:
    struct Step {
        std::string what;
        Find find;
        Act act;
    };

    void watchNext() {
        if (next_ == steps_.size()) {
            finished_ = true;
            return;
        }
        auto* timer = new QTimer;
        timer_ = timer;
        QElapsedTimer* clock = new QElapsedTimer;
        clock->start();
        QObject::connect(timer, &QTimer::timeout, [this, timer, clock] {
            const Step& step = steps_[next_];
            QWidget* w = step.find();
            if (w && !w->isActiveWindow()) {
                // A window manager gives the keyboard back to a dialog when
                // the one over it closes; the offscreen platform has none.
                if (QGuiApplication::platformName() == QLatin1String("offscreen")) w->activateWindow();
                w = nullptr;
            }
            if (!w && clock->elapsed() < kPatienceMs) return;
            timer->stop();
            timer->deleteLater();
            delete clock;
            if (timer_ == timer) timer_ = nullptr;
            if (!w) {
                const QWidget* active = QApplication::activeWindow();
                missed_ = step.what + " (the active window: " +
                          (active ? active->metaObject()->className() + std::string(" \"") +
                                        active->windowTitle().toStdString() + "\"" : std::string("none")) + ")";
                closeEverything();
                return;
            }
            ++next_;
            watchNext();
            step.act(*w);
        });
        timer->start(10);
    }

    void closeEverything() {
        auto* closer = new QTimer;
        QObject::connect(closer, &QTimer::timeout, [this, closer] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                d->reject();
                return;
            }
            closer->deleteLater();
            finished_ = true;
        });
        closer->start(10);
    }

    // Long enough for a sanitizer's build on a busy machine.
    static constexpr qint64 kPatienceMs = 30000;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QTimer* timer_ = nullptr;
    bool finished_ = false;
    std::string missed_;
};

// The dialog of type T that is the modal window on top, if it is visible.
template <typename T>
T* activeModal() {
    auto* w = dynamic_cast<T*>(QApplication::activeModalWidget());
    return w && w->isVisible() ? w : nullptr;
}

}  // namespace quor::test
