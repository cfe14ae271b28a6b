#pragma once
// The wind entry form "  Enter Wind Data": a mean speed and a percentage
// of time for each of the eight compass classes, the speed unit, and the
// station and period. OK keeps the climate in the wind summary holder and
// saves it as a REI wind file.
#include <QDialog>

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "wind/wind_entry.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quor::wind::ui {

class WindDataForm : public QDialog {
public:
    // `ctx.chooseSavePath` may be left empty: the form then asks with a file
    // dialog. `onCancel` runs when the user cancels (the New Project dialog
    // unselects its manual wind option).
    WindDataForm(WindEntryContext ctx, std::function<void()> onCancel = {}, QWidget* parent = nullptr);

    std::array<QLineEdit*, 16> Text1{};
    std::array<QLabel*, 16> Label1{};
    std::array<QLabel*, 8> Label3{};
    QComboBox* Combo1 = nullptr;
    std::array<QLineEdit*, 3> Text2{};
    QPushButton* winddata_ok = nullptr;
    QPushButton* windata_cancel = nullptr;

    void Combo1_Click();
    void winddata_ok_Click();
    void windata_cancel_Click();

    WindEntryResult lastResult() const { return lastResult_; }

private:
    WindEntryContext ctx_;
    std::function<void()> onCancel_;
    WindEntryResult lastResult_ = WindEntryResult::StayOpen;
};

}  // namespace quor::wind::ui
