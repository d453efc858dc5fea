#pragma once

// Command-line options for every tool, through getopt_long: --name VALUE and
// --name=VALUE, short letters, options and words in any order (or, for a
// program that runs another, stopping at the first word), and --help and
// --version accepted everywhere. Errors end in a usage failure that names
// the option.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tsdtool {

struct OptionSpec {
    const char* name;  // the long name without dashes: "serial"
    char letter;       // a short form, or 0
    bool takesValue;
};

class Options {
public:
    bool has(const std::string& name) const { return values_.count(name) != 0; }
    // The last value given.
    std::optional<std::string> value(const std::string& name) const;
    // Every value given, in order (for an option that may be repeated).
    std::vector<std::string> values(const std::string& name) const;
    const std::vector<std::string>& words() const { return words_; }
    bool wantsHelp() const { return has("help"); }
    bool wantsVersion() const { return has("version"); }

private:
    friend Options parseOptions(const std::vector<std::string>&, const std::vector<OptionSpec>&,
                                bool);
    std::multimap<std::string, std::string> values_;
    std::vector<std::string> words_;
};

// `arguments` are the words after the program's (or subcommand's) name.
// With `stopAtWord`, the first word that is not an option ends the options:
// it and everything after it are words, as for a program to run.
Options parseOptions(const std::vector<std::string>& arguments,
                     const std::vector<OptionSpec>& specs, bool stopAtWord = false);
Options parseOptions(int argc, char* const* argv, const std::vector<OptionSpec>& specs,
                     bool stopAtWord = false);

// Prints the usage or the version when asked for; true when it did, and the
// tool then ends with status 0.
bool answerHelpOrVersion(const Options& options, const char* program, const char* usage);

// Runs a tool's body: a Failure, or any other exception, becomes
// "PROGRAM: message" on stderr and its status; a usage error also points at
// --help.
int runTool(const char* program, int (*body)(int, char**), int argc, char** argv);

}  // namespace tsdtool
