#pragma once
// Failures of the GIS layer. The text is the description that the callers
// show in their message boxes, so it is written for the user.
#include <stdexcept>
#include <string>

namespace quor::platform::gis {

class GisError : public std::runtime_error {
public:
    explicit GisError(const std::string& description) : std::runtime_error(description) {}
    const char* description() const noexcept { return what(); }
};

}  // namespace quor::platform::gis
