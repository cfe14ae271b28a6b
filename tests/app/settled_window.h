#pragma once
// Tests that count paints start once a window shown for them has settled:
// exposed, active and painted, with nothing still posted for it. On a busy
// machine a paint that showing the window asked for otherwise comes inside
// the count.
#include <QCoreApplication>
#include <QTest>
#include <QWidget>

#include <functional>

namespace quor::test {

// `painted` tells that the widget the test watches has had its first paint.
inline bool waitUntilSettled(QWidget& window, const std::function<bool()>& painted, int timeoutMs = 10000) {
    if (!QTest::qWaitForWindowExposed(&window, timeoutMs) || !QTest::qWaitForWindowActive(&window, timeoutMs) ||
        !QTest::qWaitFor(painted, timeoutMs))
        return false;
    QCoreApplication::sendPostedEvents();
    return true;
}

}  // namespace quor::test
