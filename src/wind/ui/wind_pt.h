#pragma once
// The wind summary display "  Wind Data": the holder's climate on a wind
// rose, percentage and mean speed per compass point, with the station,
// period, cut-off and wind file. It only reads the holder.
#include <QDialog>

#include <array>

#include "model/model_state.h"

class QLabel;
class QPushButton;

namespace quor::wind::ui {

class WindPtForm : public QDialog {
public:
    explicit WindPtForm(const model::WindSummary& winddata, QWidget* parent = nullptr);

    // Rose captions anticlockwise from east: E, NE, N, NW, W, SW, S, SE.
    std::array<QLabel*, 8> Label1{};
    std::array<QLabel*, 4> Label4{};
    QLabel* Label5 = nullptr;
    QPushButton* Command1 = nullptr;
};

}  // namespace quor::wind::ui
