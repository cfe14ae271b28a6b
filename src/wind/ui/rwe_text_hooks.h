#pragma once
// Connects the wind analysis dialog to the RWE analysis of a local wind
// text file: the column chooser behind its "For analyzing wind data text
// file" button, the chosen file and columns, and the analysis itself with
// the dialog's status label.
#include <functional>
#include <memory>

#include "wind/ui/windanly.h"
#include "wind/wind_text_choice.h"

namespace quor::wind::ui {

// The save dialog for wind files ("Name(*.ext)|*.ext" filters); the writer
// asks about replacing a file itself.
class QtSavePathChooser final : public SavePathChooser {
public:
    explicit QtSavePathChooser(QWidget* parent = nullptr) : parent_(parent) {}
    std::optional<std::string> chooseSavePath(const std::string& title, const std::string& filter,
                                              const std::string& startFolder) override;

private:
    QWidget* parent_;
};

// Fills env.rweAnalysis, env.localFileCall and env.showColumnChooser (and
// env.chooser when it is empty). `choice` keeps the chooser's result between
// its showings; `dialog` gives the open wind analysis dialog, or null.
void connectRweTextHooks(WindanlyEnv& env, std::shared_ptr<WindTextChoice> choice,
                         std::function<windanly*()> dialog);

}  // namespace quor::wind::ui
