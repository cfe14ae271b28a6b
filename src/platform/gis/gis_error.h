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

// A change refused before anything changed, because the disk has no room
// for what it would write.
class DiskFullError : public GisError {
public:
    using GisError::GisError;
};

// A change that left the dataset neither as it was nor as asked: made in
// part and not put back, or made but no longer to be read back.
class PartlyChangedError : public GisError {
public:
    using GisError::GisError;
};

}  // namespace quor::platform::gis
