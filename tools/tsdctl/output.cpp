#include "output.h"

#include <cstdio>

namespace tsdctl {

Args parseArgs(const std::vector<std::string>& words, const std::vector<OptionSpec>& specs) {
    Args args;
    std::string error;
    if (!args.parse(words, specs, error)) usageError(error);
    return args;
}

unsigned long countOption(const Args& args) {
    const auto text = args.value("--count");
    if (!text) return 0;
    const auto count = parseUnsigned(*text, 1000000000UL);
    if (!count || *count == 0) usageError("--count takes a positive number");
    return *count;
}

void printLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace tsdctl
