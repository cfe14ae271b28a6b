#include "platform/ascii_case.h"

#include <cctype>

namespace quor::platform {

std::string upperAscii(std::string text) {
    for (auto& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string lowerAscii(std::string text) {
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool endsWithNoCase(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && lowerAscii(text.substr(text.size() - end.size())) == lowerAscii(end);
}

}  // namespace quor::platform
