#include "command_line.h"

#include <getopt.h>

#include <cstdio>
#include <cstring>

#include "exit_status.h"

#ifndef TSD_TOOLS_VERSION
#error "the build gives the tools' version"
#endif

namespace tsdtool {

namespace {

constexpr OptionEntry kStandard[] = {{"help", 'h', false}, {"version", 0, false}};
// getopt_long hands back `val` for a long option; above any letter, it
// leads back to the entry.
constexpr int kLongBase = 256;

std::string displayName(const OptionEntry& entry) { return std::string("--") + entry.name; }

// The option as the person wrote it, without a value after '='.
std::string writtenAs(const char* word) {
    const char* equals = std::strchr(word, '=');
    return equals == nullptr ? std::string(word) : std::string(word, equals);
}

struct Table {
    std::vector<OptionEntry> entries;
    std::vector<option> longOptions;
    std::string letters;

    Table(const std::vector<OptionEntry>& own, bool stopAtWord) : letters(stopAtWord ? "+:" : ":") {
        entries.assign(own.begin(), own.end());
        entries.insert(entries.end(), std::begin(kStandard), std::end(kStandard));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const OptionEntry& entry = entries[i];
            const int argument = entry.takesValue ? required_argument : no_argument;
            longOptions.push_back({entry.name, argument, nullptr, kLongBase + static_cast<int>(i)});
            if (entry.letter != 0) {
                letters += entry.letter;
                if (entry.takesValue) letters += ':';
            }
        }
        longOptions.push_back({nullptr, 0, nullptr, 0});
    }

    const OptionEntry* byValue(int value) const {
        if (value >= kLongBase && value - kLongBase < static_cast<int>(entries.size())) {
            return &entries[static_cast<std::size_t>(value - kLongBase)];
        }
        for (const OptionEntry& entry : entries) {
            if (entry.letter != 0 && entry.letter == value) return &entry;
        }
        return nullptr;
    }
};

[[noreturn]] void refuse(const Table& table, int result, char* const* argv) {
    const OptionEntry* entry = table.byValue(optopt);
    // optind has moved past the word at fault.
    const std::string word = writtenAs(argv[optind - 1]);
    if (result == ':') usageError((entry ? displayName(*entry) : word) + " needs a value");
    if (entry != nullptr && optopt >= kLongBase) usageError(word + " takes no value");
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
                     const std::vector<OptionEntry>& entries, bool stopAtWord) {
    // getopt permutes argv in place: it gets copies, with a program name first.
    std::vector<std::string> copies{"tool"};
    copies.insert(copies.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(copies.size() + 1);
    for (std::string& word : copies) argv.push_back(word.data());
    argv.push_back(nullptr);

    const Table table(entries, stopAtWord);
    Options options;
    opterr = 0;  // the messages are ours
    optind = 0;  // glibc: start afresh, also for a second parse in one process
    const int argc = static_cast<int>(argv.size() - 1);
    for (;;) {
        // getopt keeps its state in globals; the tools parse their options on
        // one thread, before any other starts.
        // NOLINTNEXTLINE(concurrency-mt-unsafe)
        const int result = getopt_long(argc, argv.data(), table.letters.c_str(),
                                       table.longOptions.data(), nullptr);
        if (result == -1) break;
        if (result == '?' || result == ':') refuse(table, result, argv.data());
        const OptionEntry* entry = table.byValue(result);
        options.values_.emplace(entry->name, entry->takesValue ? optarg : "");
    }
    options.words_.assign(argv.begin() + optind, argv.end() - 1);
    return options;
}

Options parseOptions(int argc, char* const* argv, const std::vector<OptionEntry>& entries,
                     bool stopAtWord) {
    return parseOptions(std::vector<std::string>(argv + 1, argv + argc), entries, stopAtWord);
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
