#pragma once
// A row of a shapefile's table spelt as GDAL spells it, away from the
// table: the bytes GDAL writes for the values into a one-row twin of the
// table in memory, each value held against what GDAL's reader gets back
// from them. The table's writer spells a row just before putting it in
// place; a worker thread may spell it ahead, for the layout the writer
// last opened the table with, so that the commit on the window's thread
// only puts the bytes in place.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gis/fields.h"
#include "platform/gis/gis_error.h"
#include "platform/gis/table_layout.h"
#include "platform/gis/value_read_back.h"

class OGRFeatureDefn;

namespace quor::platform::gis {

namespace detail {

class ErrorCapture;

// A field's value, by the field's place among the table's fields (from 0).
using ColumnValues = std::vector<std::pair<int, FieldValue>>;

// A field too narrow for its value, as GDAL widens it or as wide as the
// value's digits need; the table must be given the new descriptions (by
// field place) before the value can be written.
class FieldsWidened : public GisError {
public:
    explicit FieldsWidened(std::vector<std::pair<int, std::string>> descriptions);
    const std::vector<std::pair<int, std::string>>& descriptions() const { return descriptions_; }

private:
    std::vector<std::pair<int, std::string>> descriptions_;
};

// A table as rows are spelt for it: its header and field descriptions as
// its writer read them, and its code page.
struct TableShape {
    std::string dbf;  // the table named in messages
    Layout layout;
    std::string header;  // the file's first layout.headerLength bytes
    std::optional<std::string> codePage;

    // The table `dbf`, open as `file`, laid out as `layout`.
    static std::shared_ptr<const TableShape> of(const std::string& dbf, const TableFile& file, Layout layout);
    // Whether a row spelt for `other` is spelt for this one.
    bool spellsAs(const TableShape& other) const;
};

// GDAL's one-row twin of a table, in memory. One thread at a time.
class RowSpeller {
public:
    // GisError when GDAL reads the twin's fields otherwise than the table's.
    explicit RowSpeller(std::shared_ptr<const TableShape> shape);
    ~RowSpeller();
    RowSpeller(const RowSpeller&) = delete;
    RowSpeller& operator=(const RowSpeller&) = delete;

    const std::shared_ptr<const TableShape>& shape() const { return shape_; }
    // GisError unless every value can go into its field's type.
    void requireTypesHold(const ColumnValues& values) const;
    // The row GDAL writes with these values, laid out as the table's, each
    // value read back as GDAL reads it. FieldsWidened when a field must be
    // wider (GDAL has then widened the twin's own: it spells no other row);
    // GisError when no width holds a value.
    const std::string& spelt(const ColumnValues& values);
    // Whether GDAL reads the twin's fields as `fields`.
    bool sameFields(const OGRFeatureDefn& fields) const;

private:
    struct Twin;
    void requireReadBack(const ColumnValues& values, std::vector<std::pair<int, std::string>>& widened,
                         const ErrorCapture& err) const;

    std::shared_ptr<const TableShape> shape_;
    std::unique_ptr<Twin> twin_;
    std::vector<Holding> holdings_;  // how GDAL holds each field's values
    std::string row_;
};

}  // namespace detail

// A row's bytes spelt ahead of its commit, with what they were spelt for.
struct SpeltRow {
    std::shared_ptr<const detail::TableShape> shape;
    detail::ColumnValues values;
    std::string bytes;
};

// The layout of a table whose rows workers spell ahead: published by the
// window's thread whenever its writer opens the table, read by the
// workers' spellers.
class RowsAhead {
public:
    void publish(std::shared_ptr<const detail::TableShape> shape);

    // Spells rows for the layout last published; one thread at a time.
    class Speller {
    public:
        explicit Speller(std::shared_ptr<const RowsAhead> rows);
        ~Speller();
        Speller(Speller&&) noexcept;
        Speller& operator=(Speller&&) noexcept;
        // The row holding `values` (as store() would give them), or nothing
        // when no layout is published yet or a value needs more than a
        // spelling (a wider field, a refusal): the commit spells it then,
        // and tells.
        std::optional<SpeltRow> spell(detail::ColumnValues values);

    private:
        std::shared_ptr<const RowsAhead> rows_;
        std::uint64_t seen_ = 0;
        std::unique_ptr<detail::RowSpeller> speller_;
    };

private:
    // Looked at by every worker after each site: a lock only when it changed.
    std::atomic<std::uint64_t> published_{0};
    mutable std::mutex mutex_;
    std::shared_ptr<const detail::TableShape> shape_;
};

}  // namespace quor::platform::gis
