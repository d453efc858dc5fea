#pragma once

// A benchmark's sizes: whole numbers in a fixed order, each optional with its
// default, through the tools' option handling (so --help and --version work
// and "10x" or "-1" is refused rather than read as a default).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_line.h"
#include "exit_status.h"
#include "values.h"

namespace bench {

struct Size {
    const char* name;  // for the usage line
    unsigned long fallback;
    unsigned long min;
    unsigned long max;
};

inline std::vector<int> sizes(int argc, char** argv, const std::vector<Size>& wanted) {
    std::string usage = std::string("usage: ") + argv[0];
    for (const Size& size : wanted) usage += std::string(" [") + size.name + "]";
    usage += "\n";
    try {
        const tsdtool::Options options = tsdtool::parseOptions(argc, argv, {});
        if (tsdtool::answerHelpOrVersion(options, argv[0], usage.c_str())) std::exit(0);
        const std::vector<std::string>& words = options.words();
        if (words.size() > wanted.size()) tsdtool::usageError("too many sizes");
        std::vector<int> values;
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const Size& size = wanted[i];
            values.push_back(static_cast<int>(
                i < words.size() ? tsdtool::unsignedOption(size.name, words[i], size.min, size.max)
                                 : size.fallback));
        }
        return values;
    } catch (const tsdtool::Failure& failure) {
        std::fprintf(stderr, "%s: %s\n%s", argv[0], failure.what(), usage.c_str());
        std::exit(tsdtool::code(failure.status()));
    }
}

}  // namespace bench
