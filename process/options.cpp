#include "process/options.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "process/error_line.h"

namespace {

const OptionRule* findRule(std::span<const OptionRule> rules, std::string_view name) {
    for (const OptionRule& rule : rules)
        if (rule.name == name) return &rule;
    return nullptr;
}

// std::from_chars over the whole of `text`: no leading blanks or trailing
// letters slip through as a prefix would in strtod.
template <class Number>
std::optional<Number> parseWhole(std::string_view text) {
    Number value{};
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (problem != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<int> readArguments(int argc, char** argv, std::string_view usage, std::span<const OptionRule> rules,
                                 const OptionTaker& take, std::vector<std::string>& files) {
    bool optionsEnded = false;
    for (int next = 1; next < argc; ++next) {
        const std::string_view arg = argv[next];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            files.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            std::fwrite(usage.data(), 1, usage.size(), stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("%s %s\n", programName(), TARVEXGL_VERSION);
            return 0;
        }
        // A flag is only ever its name; "--name=VALUE" is an option that
        // takes a value.
        const std::size_t equals = arg.find('=');
        const OptionRule* rule = findRule(rules, arg.substr(0, equals));
        if (!rule || (rule->valueNeeded.empty() && equals != std::string_view::npos))
            return usageError({"unknown option '", arg, "'"});
        std::string_view value;
        if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else if (!rule->valueNeeded.empty()) {
            if (next + 1 == argc) return usageError({rule->name, " needs ", rule->valueNeeded});
            value = argv[++next];
        }
        if (const std::optional<int> status = take(rule->name, value)) return status;
    }
    return std::nullopt;
}

int usageError(std::initializer_list<std::string_view> pieces) {
    // One call, so that the line is one write: the pieces, then the hint.
    std::string line;
    for (const std::string_view piece : pieces) line += piece;
    line += " (see ";
    line += programName();
    line += " --help)";
    printErrorLine({line});
    return 2;
}

std::optional<double> parseNumber(std::string_view text) {
    const std::optional<double> number = parseWhole<double>(text);
    if (!number || !std::isfinite(*number)) return std::nullopt;
    return number;
}

std::optional<int> parseInteger(std::string_view text) { return parseWhole<int>(text); }
