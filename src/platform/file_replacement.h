#pragma once
// A new version of a file, made beside it and put in its place in one
// step: a kill, a crash or a full disk at any moment leaves either the
// old file, byte for byte, or the whole new one. The old file is never
// written; so a copy-on-write disk, where even cutting a file back can
// fail for want of room, cannot leave it half changed either.
//
// The step is an exchange of the two files where the disk allows it: the
// old file is then moved aside, not gone, and can be looked at once more.
// An edit another program wrote into it between the last look before the
// step and the step itself (a slow disk may take seconds over it) is found
// there, and the old file, edit and all, is put back. Where the disk has
// no exchange, the new version is renamed over the old file after the last
// look. An edit written into the old file after that, through a handle
// opened before, goes into a file no name is left to: a caller that must
// not lose it holds the old file open from its first look (an open file
// outlives its name on every disk) and looks at it again when it is done.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file_stamp.h"
#include "platform/textfile.h"

namespace quor::platform {

// A write that failed, with the system's error number (isNoRoom tells
// whether there was no room for it).
class WriteError : public FileError {
public:
    WriteError(const std::string& text, int err) : FileError(text), err_(err) {}
    int error() const { return err_; }

private:
    int err_;
};

// The new version is in its place, but the disk did not confirm the
// rename: a crash may yet bring the old file back.
class UnconfirmedError : public WriteError {
public:
    using WriteError::WriteError;
};

// The new version is in place, but another program wrote into it, or put
// a file of its own there, as it was put in place: that file is kept.
class WrittenMeanwhileError : public FileError {
public:
    using FileError::FileError;
};

// Another program wrote into the old file as it was replaced, and the old
// file could not go back: the file in place is the new version or, when
// that program wrote there as well, what it left there. The old file, with
// the other program's edit, is kept beside it under a name of its own
// (keepBeside()), which the text gives.
class KeptBesideError : public WrittenMeanwhileError {
public:
    using WrittenMeanwhileError::WrittenMeanwhileError;
};

// Renames `from` to `to` unless a file of that name exists, in one step: a
// file that appears there meanwhile is never replaced. 0, or the error
// number (EEXIST when `to` exists).
int renameWithoutReplacing(const std::string& from, const std::string& to);

// Keeps another program's file, which would otherwise be lost, beside
// `target` under a name the user sees and no clean-up of this program's
// removes: "sites.edited.dbf" beside "sites.dbf", or "sites.edited-2.dbf"
// and on when that exists; a file of that name is never replaced. The
// file `from` is renamed there, or copied where it cannot be; an open
// file `fd` (one no name may be left to) is copied. Either way it is on
// disk. The name it is kept under; FileError, with nothing left under it,
// when it cannot be.
std::string keepBeside(const std::string& from, const std::string& target);
std::string keepBeside(int fd, const std::string& target);

class FileReplacement {
public:
    // The name the new version of `target` is made under until it is
    // complete: hidden, with no extension any reader takes for data, and
    // short, so that it fits wherever the file's own name does.
    static std::string partialPath(const std::string& target);
    // Removes a half-made new version of `target` that a program ended
    // part-way left behind, under this name or the longer one of earlier
    // versions of this program.
    static void clearPartial(const std::string& target);

    // Starts the new version, empty. A half-made one that a program ended
    // part-way left behind is cleared first. WriteError when it cannot be
    // made.
    explicit FileReplacement(const std::string& target);
    // Without commit() the new version is removed; the old file stays.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Asks the disk for the room of the whole new version before any byte
    // is written. WriteError when there is none.
    void reserve(std::uint64_t size);
    // Adds bytes at the end. WriteError when they cannot be written.
    void append(std::string_view bytes);
    // `requireOld` throws unless the file at the path it is given is still
    // the old file as it was read; `moved` tells that the file was moved
    // aside by the exchange, which sets its change time.
    using OldFileCheck = std::function<void(const std::string& path, bool moved)>;

    // Puts the new version on disk, with the old file's permissions (and,
    // where this program may, its owner), in the old file's place, and
    // that on disk. WriteError, with the old file as it was, when any step
    // before that fails; UnconfirmedError when only putting it on disk
    // failed. `requireOld` looks at the old file last thing before the
    // exchange, and again at the file the exchange moved aside: what it
    // throws leaves the old file in place as it then is (moved back), the
    // new version goes, and the throw goes on. The old file goes back only
    // over the new version as written: when another program wrote there
    // too, or the disk refuses to exchange them again, KeptBesideError.
    // WrittenMeanwhileError when the file in place is no longer the new
    // version as written.
    void commit(const OldFileCheck& requireOld = {});

    // For tests: called between the last look at the old file and the
    // exchange, with the file's path, as a slow disk leaves time for
    // another program's write there. Empty: nothing is called.
    static void setBetweenLookAndExchange(std::function<void(const std::string& target)> pause);

    // The file that is replaced (a link is followed to the file it names).
    const std::string& target() const { return target_; }

private:
    void fail(const std::string& what, int err);
    // Exchanges the new version with the old file, or renames it over
    // where the disk has no exchange; true when exchanged.
    bool putInPlace(const OldFileCheck& requireOld, const FileStamp& written);
    // The old file, moved aside by the exchange and found written by
    // another program, back in its place over the new version, which must
    // still be as `written`; else kept beside it (KeptBesideError).
    void putBack(const FileStamp& written);
    void requireNewInPlace(const FileStamp& written) const;

    std::string target_;
    std::string partial_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace quor::platform
