#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tsdctl {

// The words after a subcommand: options (--name, --name VALUE, -y) and
// positional words, in a small table per subcommand.
struct OptionSpec {
    const char* name;  // "--json", "-y"
    bool takesValue;
};

class Args {
public:
    // False, with `error` set, on an unknown option or a missing value.
    bool parse(const std::vector<std::string>& words, const std::vector<OptionSpec>& specs,
               std::string& error);

    bool has(const std::string& name) const { return values_.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
    const std::vector<std::string>& positional() const { return positional_; }

private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> positional_;
};

std::optional<unsigned long> parseUnsigned(const std::string& text, unsigned long limit);
std::optional<double> parseNumber(const std::string& text);

}  // namespace tsdctl
