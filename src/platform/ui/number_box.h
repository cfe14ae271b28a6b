#pragma once
// For the dialogs of every subsystem (widgets only; no computation includes
// it): a box for a number is never squeezed narrower than the numbers it
// holds, however long the captions beside it and however small the screen,
// and a list of numbers one may type into takes what is typed.
#include <QComboBox>
#include <QLatin1String>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace quor::platform::ui {

// Ten digits: the longest value of every bounded setting (a fetch of
// 100000 m), a sediment diameter of 0.0002 m, a coordinate to the metre.
inline constexpr const char* kNumberBoxSample = "0000000000";

// The box keeps the width that shows the sample, or `longest` when that is
// wider, whole beside its frame, its margins and the cursor.
inline void fitNumberBox(QLineEdit& box, const QString& longest = {}) {
    const QFontMetrics fm = box.fontMetrics();
    const int text = std::max(fm.horizontalAdvance(QLatin1String(kNumberBoxSample)), fm.horizontalAdvance(longest));
    QStyleOptionFrame frame;
    frame.initFrom(&box);
    const int border = box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, &box);
    // QLineEdit keeps 2 pixels on each side of its text inside the margins.
    const QMargins m = box.textMargins();
    box.setMinimumWidth(text + 1 + 2 * 2 + m.left() + m.right() + 2 * border);
}

// Makes the list editable without completion: Qt completes a typed text
// with the first item it begins, so that "19" typed into a list holding
// "190" would become 190.
inline void takeTypedNumbers(QComboBox& list) {
    list.setEditable(true);
    list.setCompleter(nullptr);
}

}  // namespace quor::platform::ui
