#include "args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tsdctl {

bool Args::parse(const std::vector<std::string>& words, const std::vector<OptionSpec>& specs,
                 std::string& error) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.size() < 2 || word[0] != '-' || (word[1] >= '0' && word[1] <= '9')) {
            positional_.push_back(word);
            continue;
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec& candidate : specs) {
            if (word == candidate.name) option = &candidate;
        }
        if (option == nullptr) {
            error = "unknown option " + word;
            return false;
        }
        if (option->takesValue && i + 1 >= words.size()) {
            error = word + " needs a value";
            return false;
        }
        values_[word] = option->takesValue ? words[++i] : std::string();
    }
    return true;
}

std::optional<std::string> Args::value(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

std::optional<unsigned long> parseUnsigned(const std::string& text, unsigned long limit) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value > limit) return std::nullopt;
    return value;
}

std::optional<double> parseNumber(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || errno != 0 || *end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace tsdctl
