#pragma once
// A path typed rather than browsed, answering the choosers in place of
// their dialogs: the New Project dialog's boxes and the command line take
// the same checks as a browsed choice.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gis/shorebathy.h"
#include "project/project_window.h"

namespace quor::project {

class TypedDataset final : public gis::DatasetChooser {
public:
    explicit TypedDataset(gis::DatasetItem item) : item_(std::move(item)) {}
    std::optional<std::vector<gis::DatasetItem>> choose(gis::DatasetFilter, const std::string&) override {
        return std::vector<gis::DatasetItem>{item_};
    }

private:
    gis::DatasetItem item_;
};

class TypedFile final : public FileChooser {
public:
    explicit TypedFile(std::string path) : path_(std::move(path)) {}
    std::optional<std::string> chooseFile(const FileDialogRequest&) override { return path_; }

private:
    std::string path_;
};

}  // namespace quor::project
