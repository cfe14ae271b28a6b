#include "cli/output_move.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/file_replacement.h"
#include "platform/file_stamp.h"
#include "platform/textfile.h"

namespace quor::cli {

namespace {

namespace fs = std::filesystem;

// In the staging folder: the record of a move under way, and the old set
// kept aside.
constexpr const char* kRecord = "moving";
constexpr const char* kAside = "old";

platform::FileStamp stampOf(const fs::path& path) { return platform::stampOfFile(path.string()); }

struct Move {
    fs::path folder;
    // By name in the folder, with the identity a rename keeps: the new
    // files are told by it from whatever else is at their names.
    std::vector<std::pair<platform::FileStamp, std::string>> made;
    std::vector<std::string> old;                        // kept aside under their names
};

std::vector<std::string> linesOf(const Move& m) {
    std::vector<std::string> lines{"folder\t" + m.folder.string()};
    for (const auto& [id, name] : m.made)
        lines.push_back("new\t" + std::to_string(id.device) + "\t" + std::to_string(id.inode) + "\t" + name);
    for (const auto& name : m.old) lines.push_back("old\t" + name);
    return lines;
}

std::optional<Move> moveRecordedIn(const fs::path& staging) {
    std::vector<std::string> lines;
    try {
        lines = platform::readTextLines((staging / kRecord).string());
    } catch (const platform::FileError&) {
        return std::nullopt;
    }
    Move m;
    for (const auto& line : lines) {
        const auto tab = line.find('\t');
        const std::string kind = line.substr(0, tab), rest = tab == std::string::npos ? "" : line.substr(tab + 1);
        if (kind == "folder") m.folder = rest;
        if (kind == "old") m.old.push_back(rest);
        if (kind != "new") continue;
        const auto a = rest.find('\t'), b = rest.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        platform::FileStamp id;
        id.exists = true;
        id.device = std::stoull(rest.substr(0, a));
        id.inode = std::stoull(rest.substr(a + 1, b - a - 1));
        m.made.emplace_back(id, rest.substr(b + 1));
    }
    if (m.folder.empty()) return std::nullopt;
    return m;
}

// The folder as it was before the move: the new files that reached it go,
// the old ones kept aside come back over them.
void undo(const fs::path& staging, const Move& m) {
    const auto isOld = [&m](const std::string& name) { return std::find(m.old.begin(), m.old.end(), name) != m.old.end(); };
    for (const auto& [id, name] : m.made)
        if (!isOld(name) && platform::sameFile(stampOf(m.folder / name), id)) ::unlink((m.folder / name).c_str());
    for (const auto& name : m.old) {
        const fs::path aside = staging / kAside / name;
        // Linked aside, the old file may still be in its place as well:
        // renaming a link over its own file leaves both as they are.
        if (stampOf(aside).exists) ::rename(aside.c_str(), (m.folder / name).c_str());
    }
    ::unlink((staging / kRecord).c_str());
}

[[noreturn]] void cannotPutInPlace(int err) {
    throw std::runtime_error("The output cannot be put in place: " + std::string(std::strerror(err)));
}

// Keeps the old set aside: linked, or moved where the disk keeps no links.
void keepAside(const std::vector<fs::path>& old, const fs::path& aside, const std::vector<fs::path>& made) {
    bool linked = true;
    for (const auto& f : old) linked = linked && ::link(f.c_str(), (aside / f.filename()).c_str()) == 0;
    if (!linked) {
        for (const auto& f : old) ::unlink((aside / f.filename()).c_str());
        for (const auto& f : old)
            if (::rename(f.c_str(), (aside / f.filename()).c_str()) != 0) cannotPutInPlace(errno);
        return;
    }
    // The old set's files the new one lacks (an index, a journal) would be
    // read with it: they go first.
    for (const auto& f : old)
        if (std::none_of(made.begin(), made.end(), [&f](const fs::path& m) { return m.filename() == f.filename(); }))
            ::unlink(f.c_str());
}

std::function<void(const fs::path&)>& afterEachMove() {
    static std::function<void(const fs::path&)> after;
    return after;
}

}  // namespace

void setAfterEachMove(std::function<void(const fs::path&)> after) { afterEachMove() = std::move(after); }

void moveOutputIn(const std::vector<fs::path>& made, const fs::path& folder, const std::vector<fs::path>& old,
                  const fs::path& staging, bool replacing) {
    Move m{folder, {}, {}};
    for (const auto& f : made) {
        const auto id = stampOf(f);
        if (!id.exists) cannotPutInPlace(ENOENT);
        m.made.emplace_back(id, f.filename().string());
    }
    for (const auto& f : old) m.old.push_back(f.filename().string());
    std::error_code ec;
    fs::create_directory(staging / kAside, ec);
    try {
        platform::replaceTextLines((staging / kRecord).string(), linesOf(m));
    } catch (const platform::FileError& e) {
        throw std::runtime_error(std::string("The output cannot be put in place: ") + e.what());
    }
    try {
        keepAside(old, staging / kAside, made);
        for (const auto& file : made) {
            const fs::path to = folder / file.filename();
            const int err = replacing ? (::rename(file.c_str(), to.c_str()) == 0 ? 0 : errno)
                                      : platform::renameWithoutReplacing(file.string(), to.string());
            if (err == 0) {
                if (afterEachMove()) afterEachMove()(to);
                continue;
            }
            if (err == EEXIST)
                throw std::runtime_error(to.string() + " appeared while the run computed; --overwrite replaces it.");
            cannotPutInPlace(err);
        }
    } catch (...) {
        undo(staging, m);
        throw;
    }
    ::unlink((staging / kRecord).c_str());
}

void undoUnfinishedMove(const std::string& staging) {
    if (const auto m = moveRecordedIn(staging)) undo(staging, *m);
}

}  // namespace quor::cli
