#pragma once
// The wind text column chooser ("Wind Analysis"): the user picks a wind
// text file, its delimiter and the row of its column names, then the
// column of each value from the names of that row. The names are read
// again whenever the file, the delimiter or the row changes.
#include <QDialog>

#include <array>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "platform/feedback.h"
#include "wind/wind_text_choice.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace quor::wind::ui {

class WindTextDialog : public QDialog {
    Q_OBJECT
public:
    // OK stores the choice in `choice` and clears wind_webflag (the wind
    // analysis then reads the local file); Cancel keeps the earlier choice
    // and sets the flag (buoy download).
    WindTextDialog(model::ModelState& state, WindTextChoice& choice, platform::Messages& messages,
                   QWidget* parent = nullptr);

    // What the user's actions do, for the application and for tests.
    void setFile(const QString& path);
    void setDelimiterIndex(int index);  // 0 Space, 1 Tab, 2 Comma
    void setRowText(const QString& text);
    void setFieldText(int field, const QString& text);
    QStringList fieldItems(int field) const;
    bool ok();  // "OK": false when a check refused the entries
    void cancel();
    // Closing the window counts as "Cancel".
    void reject() override;

private:
    void browse();
    void reloadHeader();
    std::string delimiter() const;

    model::ModelState& state_;
    WindTextChoice& choice_;
    platform::Messages& messages_;
    QLineEdit* file_ = nullptr;
    QComboBox* row_ = nullptr;
    std::array<QRadioButton*, 3> delimiters_{};
    std::array<QComboBox*, kChoiceFields> fields_{};
    std::vector<std::string> names_;
};

// The chooser under the name the wind analysis dialog knows it by.
using wind_text = WindTextDialog;

}  // namespace quor::wind::ui
