#pragma once
// The command line of quor-run: one command per model, the window's inputs
// and settings as options. Parsing only reads the text; every value is
// checked where it is applied, with the dialogs' own checks.
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quor::cli {

inline constexpr const char* kProgramName = "quor-run";

// Bad usage or bad input: the run is refused before anything is written
// (exit status 2). The text names the option or the file and says why.
class BadInput : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "OPTION VALUE: why" as every refusal of an option reads.
BadInput badOption(const std::string& option, const std::string& value, const std::string& why);

enum class Model { Rwe, Rei };

struct Part {
    int k = 1;  // 1 .. n
    int n = 1;
};

struct RunOptions {
    Model model = Model::Rwe;
    bool help = false;
    bool version = false;

    // Every option given with a value, by its name ("--fetch" -> "5000"),
    // and every switch given, with an empty value.
    std::map<std::string, std::string> given;

    bool has(const std::string& option) const { return given.count(option) != 0; }
    // The option's text, or nothing when it was not given.
    std::optional<std::string> value(const std::string& option) const;

    std::optional<Part> part;
};

// Reads the arguments after the program's name. BadInput for an unknown
// command or option, a missing value, an option of the other model, and
// options that contradict each other.
RunOptions parseRunOptions(const std::vector<std::string>& args);

// What --help prints: the commands and every option with its default and
// range.
std::string helpText();

// What --version prints.
std::string versionText();

}  // namespace quor::cli
