#pragma once
// The common file dialog of the project commands and the wind file chooser.
#include <QString>

#include "project/project_window.h"

class QWidget;

namespace quor::project::ui {

// "Quor Project(*.tesk_RWE)|*.tesk_RWE" -> "Quor Project (*.tesk_RWE)";
// several pairs become several filters (";;"), several patterns of one
// pair ("*.a;*.b") one filter of both.
QString qtFilter(const std::string& filter);

class QtFileChooser final : public FileChooser {
public:
    explicit QtFileChooser(QWidget* parent = nullptr) : parent_(parent) {}
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;

private:
    QWidget* parent_;
};

}  // namespace quor::project::ui
