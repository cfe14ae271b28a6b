#pragma once
// A path that holds a line break would shift the project file's lines, so a
// chooser's answer with one is refused and the members it set come back.
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/feedback.h"

namespace quor::project {

class ChosenPaths {
public:
    // Remembers the members as they are before a chooser may set them.
    ChosenPaths(std::initializer_list<std::string*> members);
    // When any member now holds a line break: puts every member back, tells
    // the user and returns true.
    bool refused(platform::Messages& messages);

private:
    std::vector<std::pair<std::string*, std::string>> kept_;
};

}  // namespace quor::project
