#pragma once
// Failures of the GIS layer. The text is the description that the callers
// show in their message boxes, so it is written for the user.
#include <cstdint>
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

// A feature's values that reached the disk only in part: some of its
// fields may hold part of the new values, and the put-back of the old ones
// was refused as well.
class PartlyStoredError : public GisError {
public:
    using GisError::GisError;
};

// Another program wrote into a table after this program had put a new
// version in its place, through a handle it had opened before: its edit is
// not in the table there, which holds all of this program's writes, but
// kept beside it, as the description tells (or, where the disk refused
// that too, lost, and told so).
class EditKeptError : public GisError {
public:
    using GisError::GisError;
};

// The table values were being written into is no longer the file its path
// names, no longer has the fields it was opened with, or was written by
// another program; or another program removed or changed the shapes
// beside it. Nothing more goes into it; `held` is how many of the rows
// written hold their values in the file the path now names.
class TableReplacedError : public GisError {
public:
    TableReplacedError(const std::string& description, std::int64_t held) : GisError(description), held_(held) {}
    std::int64_t held() const { return held_; }

private:
    std::int64_t held_;
};

}  // namespace quor::platform::gis
