#pragma once
// Letter case as the program's names and keywords compare it: only the
// ASCII letters change, so a name in UTF-8 keeps its other bytes and no
// locale decides what matches.
#include <string>

namespace quor::platform {

std::string upperAscii(std::string text);
std::string lowerAscii(std::string text);
bool endsWithNoCase(const std::string& text, const std::string& end);

}  // namespace quor::platform
