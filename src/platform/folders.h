#pragma once
// Where the program keeps its data on this machine.
#include <string>

namespace quor::platform {

// The data folder below the documents folder, and its parent.
inline constexpr const char* kProductFolder = "Quor";
inline constexpr const char* kDataFolder = "Quor/Quor 4";

// Result of asking the system for the user's documents folder, with the
// three outcomes start-up distinguishes.
struct DocumentsFolder {
    enum class Status { Found, DoesNotExist, NotValid };
    Status status = Status::NotValid;
    std::string path;
};

// Asks the system for the documents folder. QUOR_DOCUMENTS, when set,
// replaces the answer (tests and portable set-ups use it).
DocumentsFolder queryDocumentsFolder();

// The per-user application data folder used when there is no documents
// folder: ".../Quor/Quor 4" under the user's data location.
std::string fallbackDataFolder();

// The per-user folder of what the program keeps only to be faster, which
// may go at any time: "quor" in $XDG_CACHE_HOME when that is an absolute
// path, else in ~/.cache; empty, and nothing is kept, without either.
std::string cacheFolder();

// True when d (blanks around it ignored) names an existing directory;
// the empty text names the root and answers True.
bool IsDir(const std::string& d);

// Creates one folder level; its parent must exist. False on failure.
bool createFolder(const std::string& path);

// A path as the user typed it into a path box, as a shell and the file
// dialogs read it: blanks around it dropped, a leading "~" (alone or
// before "/") read as the home folder and "~name" as that user's.
std::string typedPath(const std::string& typed);

// Whether `path` names a file of GDAL's virtual file layer ("/vsizip/...",
// "/vsicurl/..."): a name only GDAL reads, which the file system knows nothing of.
bool isGdalVirtualPath(const std::string& path);

// Joins folder and name with "/".
std::string joinPath(const std::string& folder, const std::string& name);

// The extension of the file `path` names, its dot included, in lower case
// (".shp" for "Sites.SHP"); empty when it has none.
std::string lowerExtension(const std::string& path);

}  // namespace quor::platform
