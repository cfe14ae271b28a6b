#pragma once
// The save dialog the wind file writer asks for a ".Wind_RWE" name.
#include "wind/rwe_wind_file.h"

class QWidget;

namespace quor::wind::ui {

class QtWindSaveDialog final : public WindSaveDialog {
public:
    explicit QtWindSaveDialog(QWidget* parent = nullptr) : parent_(parent) {}
    // filter in the "caption|pattern" form; the writer asks about
    // replacing a file itself, once it knows the final name.
    std::optional<std::string> chooseSaveFile(const std::string& filter, const std::string& title,
                                              const std::string& startFolder) override;

private:
    QWidget* parent_;
};

}  // namespace quor::wind::ui
