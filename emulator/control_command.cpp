#include "control_command.h"

#include <sstream>
#include <vector>

#include "values.h"

namespace tsdemu {
namespace {

std::optional<unsigned> wholeNumber(const std::string& text, unsigned limit) {
    const auto value = tsdtool::parseUnsigned(text, limit);
    if (!value) return std::nullopt;
    return static_cast<unsigned>(*value);
}

std::optional<double> position(const std::string& text) { return tsdtool::parseNumber(text); }

struct Shape {
    const char* name;
    ControlVerb verb;
    std::size_t arguments;  // with the screen number
    bool screenOptional;    // the short form addresses screen 0
    const char* usage;
};

constexpr Shape kShapes[] = {
    {"touch", ControlVerb::Touch, 4, true, "touch [N] ID X Y"},
    {"lift", ControlVerb::Lift, 2, true, "lift [N] ID"},
    {"key", ControlVerb::Key, 3, true, "key [N] K 0|1"},
    {"unplug", ControlVerb::Unplug, 1, false, "unplug N"},
    {"plug", ControlVerb::Plug, 1, false, "plug N"},
    {"wait", ControlVerb::Wait, 1, false, "wait MS"},
    {"report", ControlVerb::Report, 2, false, "report N HEX"},
};

// The interrupt endpoint's largest transfer at full speed.
constexpr std::size_t kLongestTransfer = 64;

std::optional<std::vector<uint8_t>> transferBytes(const std::string& hex) {
    if (hex.empty() || hex.size() % 2 != 0 || hex.size() > 2 * kLongestTransfer)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        for (char c : hex.substr(i, 2)) {
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return std::nullopt;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes;
}

ControlLine failure(const std::string& error) { return {std::nullopt, error}; }

constexpr std::size_t kExcerptLength = 40;

// `args` holds the arguments after the screen number.
bool fillArguments(ControlCommand& command, const std::vector<std::string>& args) {
    switch (command.verb) {
        case ControlVerb::Touch: {
            const auto id = wholeNumber(args[0], 255);
            const auto x = position(args[1]);
            const auto y = position(args[2]);
            if (!id || !x || !y) return false;
            command.value = *id;
            command.x = *x;
            command.y = *y;
            return true;
        }
        case ControlVerb::Lift: {
            const auto id = wholeNumber(args[0], 255);
            if (id) command.value = *id;
            return id.has_value();
        }
        case ControlVerb::Key: {
            const auto key = wholeNumber(args[0], 255);
            const auto state = wholeNumber(args[1], 1);
            if (!key || !state) return false;
            command.value = *key;
            command.state = static_cast<uint8_t>(*state);
            return true;
        }
        case ControlVerb::Report: {
            auto bytes = transferBytes(args[0]);
            if (bytes) command.bytes = std::move(*bytes);
            return bytes.has_value();
        }
        default:
            return true;
    }
}

}  // namespace

ControlLine parseControlLine(const std::string& line) {
    std::istringstream words(line);
    std::vector<std::string> tokens;
    for (std::string word; words >> word;) tokens.push_back(word);
    if (tokens.empty() || tokens[0][0] == '#') return {};
    for (const Shape& shape : kShapes) {
        if (tokens[0] != shape.name) continue;
        const std::size_t given = tokens.size() - 1;
        const bool shortForm = shape.screenOptional && given + 1 == shape.arguments;
        if (given != shape.arguments && !shortForm) {
            return failure(std::string("expected \"") + shape.usage + "\"");
        }
        ControlCommand command;
        command.verb = shape.verb;
        std::vector<std::string> args(tokens.begin() + 1, tokens.end());
        if (command.verb == ControlVerb::Wait) {
            const auto ms = wholeNumber(args[0], 3600U * 1000U);
            if (!ms) return failure("wait takes milliseconds up to one hour");
            command.value = *ms;
            return {command, {}};
        }
        if (!shortForm) {
            const auto screen = wholeNumber(args[0], 255);
            if (!screen) return failure("bad screen number " + excerpt(args[0]));
            command.screen = *screen;
            args.erase(args.begin());
        }
        if (!fillArguments(command, args)) {
            return failure(std::string("bad argument; expected \"") + shape.usage + "\"");
        }
        return {command, {}};
    }
    return failure("unknown command " + excerpt(tokens[0]));
}

std::string excerpt(const std::string& text) {
    if (text.size() <= kExcerptLength) return "\"" + text + "\"";
    return "\"" + text.substr(0, kExcerptLength) + "\"...";
}

}  // namespace tsdemu
