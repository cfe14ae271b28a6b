#include "platform/gis/replaced_table.h"

#include <algorithm>

#include "platform/file_replacement.h"
#include "platform/gis/gis_error.h"

namespace quor::platform::gis::detail {

namespace {

std::string rowsText(std::uint64_t n, const std::string& what) {
    return std::to_string(n) + (n == 1 ? " row " : " rows ") + what;
}

}  // namespace

std::optional<std::string> ReplacedTable::edit() const {
    const TableFile& table = *file_;
    const Layout& then = read_.layout;
    try {
        const Layout now = readLayout(table);
        if (now.descriptions != then.descriptions || now.rowLength != then.rowLength) return "its fields changed";
        std::uint64_t changed = 0;
        forEachRow(table, now, std::min(now.rows, then.rows), [&](std::uint64_t r, std::string_view row) {
            if (digestMore(kDigestStart, row) != read_.rows[r]) ++changed;
        });
        std::vector<std::string> parts;
        if (changed > 0) parts.push_back(rowsText(changed, "changed"));
        if (now.rows > then.rows) parts.push_back(rowsText(now.rows - then.rows, "added"));
        if (now.rows < then.rows) parts.push_back(rowsText(then.rows - now.rows, "removed"));
        if (parts.empty()) {
            const std::uint64_t size = table.size();
            if (table.read(0, static_cast<std::size_t>(now.headerLength)) == read_.head &&
                size == now.rowsEnd() + read_.tail.size() &&
                table.read(now.rowsEnd(), read_.tail.size()) == read_.tail)
                return std::nullopt;
            return "its header changed";
        }
        std::string words = parts[0];
        for (std::size_t k = 1; k < parts.size(); ++k) words += (k + 1 == parts.size() ? " and " : ", ") + parts[k];
        return words;
    } catch (const GisError&) {
        return "it was cut short or damaged";
    }
}

std::optional<std::string> ReplacedTable::keepEdit() const {
    const auto what = edit();
    if (!what) return std::nullopt;
    const std::string& dbf = file_->path();
    const std::string edited = "Another program wrote into the table " + dbf +
                               " through a handle it had open while this program put a new version in its place: its "
                               "edit (" + *what + ") went into the old table, not into the one now at " + dbf + ".";
    try {
        return edited + " The old table, with that edit, is kept as " + keepBeside(file_->descriptor(), dbf) + ".";
    } catch (const FileError& e) {
        return edited + " " + e.what() + ", so that edit is lost.";
    }
}

}  // namespace quor::platform::gis::detail
