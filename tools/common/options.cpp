#include "options.h"

#include <getopt.h>

#include <cstdio>
#include <cstring>

#include "exit_status.h"

#ifndef TSD_TOOLS_VERSION
#error "the build gives the tools' version"
#endif

namespace tsdtool {

namespace {

constexpr OptionSpec kStandard[] = {{"help", 'h', false}, {"version", 0, false}};
// getopt_long hands back `val` for a long option; above any letter, it
// leads back to the spec.
constexpr int kLongBase = 256;

std::string displayName(const OptionSpec& spec) { return std::string("--") + spec.name; }

// The option as the person wrote it, without a value after '='.
std::string writtenAs(const char* word) {
    const char* equals = std::strchr(word, '=');
    return equals == nullptr ? std::string(word) : std::string(word, equals);
}

struct Table {
    std::vector<OptionSpec> specs;
    std::vector<option> longOptions;
    std::string letters;

    Table(const std::vector<OptionSpec>& own, bool stopAtWord)
        : letters(stopAtWord ? "+:" : ":") {
        specs.assign(own.begin(), own.end());
        specs.insert(specs.end(), std::begin(kStandard), std::end(kStandard));
        for (std::size_t i = 0; i < specs.size(); ++i) {
            const OptionSpec& spec = specs[i];
            const int argument = spec.takesValue ? required_argument : no_argument;
            longOptions.push_back({spec.name, argument, nullptr, kLongBase + static_cast<int>(i)});
            if (spec.letter != 0) {
                letters += spec.letter;
                if (spec.takesValue) letters += ':';
            }
        }
        longOptions.push_back({nullptr, 0, nullptr, 0});
    }

    const OptionSpec* byValue(int value) const {
        if (value >= kLongBase && value - kLongBase < static_cast<int>(specs.size())) {
            return &specs[static_cast<std::size_t>(value - kLongBase)];
        }
        for (const OptionSpec& spec : specs) {
            if (spec.letter != 0 && spec.letter == value) return &spec;
        }
        return nullptr;
    }
};

[[noreturn]] void refuse(const Table& table, int result, char* const* argv) {
    const OptionSpec* spec = table.byValue(optopt);
    // optind has moved past the word at fault.
    const std::string word = writtenAs(argv[optind - 1]);
    if (result == ':') usageError((spec ? displayName(*spec) : word) + " needs a value");
    if (spec != nullptr && optopt >= kLongBase) usageError(word + " takes no value");
    if (optopt > 0 && optopt < kLongBase) {
        usageError(std::string("unknown option -") + static_cast<char>(optopt));
    }
    usageError("unknown option " + word);
}

}  // namespace

std::optional<std::string> Options::value(const std::string& name) const {
    const auto [first, last] = values_.equal_range(name);
    if (first == last) return std::nullopt;
    return std::prev(last)->second;
}

std::vector<std::string> Options::values(const std::string& name) const {
    std::vector<std::string> all;
    const auto [first, last] = values_.equal_range(name);
    for (auto it = first; it != last; ++it) all.push_back(it->second);
    return all;
}

Options parseOptions(const std::vector<std::string>& arguments,
                     const std::vector<OptionSpec>& specs, bool stopAtWord) {
    // getopt permutes argv in place: it gets copies, with a program name first.
    std::vector<std::string> copies{"tool"};
    copies.insert(copies.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : copies) argv.push_back(word.data());
    argv.push_back(nullptr);

    const Table table(specs, stopAtWord);
    Options options;
    opterr = 0;  // the messages are ours
    optind = 0;  // glibc: start afresh, also for a second parse in one process
    const int argc = static_cast<int>(argv.size() - 1);
    for (;;) {
        const int result =
            getopt_long(argc, argv.data(), table.letters.c_str(), table.longOptions.data(), nullptr);
        if (result == -1) break;
        if (result == '?' || result == ':') refuse(table, result, argv.data());
        const OptionSpec* spec = table.byValue(result);
        options.values_.emplace(spec->name, spec->takesValue ? optarg : "");
    }
    options.words_.assign(argv.begin() + optind, argv.end() - 1);
    return options;
}

Options parseOptions(int argc, char* const* argv, const std::vector<OptionSpec>& specs,
                     bool stopAtWord) {
    return parseOptions(std::vector<std::string>(argv + 1, argv + argc), specs, stopAtWord);
}

bool answerHelpOrVersion(const Options& options, const char* program, const char* usage) {
    if (options.wantsHelp()) {
        std::fputs(usage, stdout);
        return true;
    }
    if (options.wantsVersion()) {
        std::printf("%s (touchsdk) %s\n", program, TSD_TOOLS_VERSION);
        return true;
    }
    return false;
}

int runTool(const char* program, int (*body)(int, char**), int argc, char** argv) {
    try {
        return body(argc, argv);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "%s: %s\n", program, failure.what());
        if (failure.status() == Exit::Usage) {
            std::fprintf(stderr, "(see %s --help)\n", program);
        }
        return code(failure.status());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", program, error.what());
        return code(Exit::Failed);
    }
}

}  // namespace tsdtool
