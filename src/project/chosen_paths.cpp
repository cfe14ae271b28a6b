#include "project/chosen_paths.h"

#include <algorithm>

#include "project/project_file.h"

namespace quor::project {

ChosenPaths::ChosenPaths(std::initializer_list<std::string*> members) {
    for (std::string* m : members) kept_.emplace_back(m, *m);
}

bool ChosenPaths::refused(platform::Messages& messages) {
    if (std::none_of(kept_.begin(), kept_.end(), [](const auto& k) { return holdsLineBreak(*k.first); }))
        return false;
    for (auto& [member, before] : kept_) *member = before;
    messages.message(kLineBreakInPath, platform::MessageIcon::Exclamation);
    return true;
}

}  // namespace quor::project
