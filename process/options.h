// A companion program's command line, read one way for every program.
//
// Options are words that start with "-" (but "-" alone, standard input or
// output, is a file); an option that takes a value has it as
// "--name VALUE" or as "--name=VALUE". "--" ends the options: every word
// after it is a file. "--help" (or "-h") prints the usage, "--version" the
// program and its version, both on standard output. A usage error is one
// line on standard error, through printErrorLine, that ends in
// "(see PROGRAM --help)".
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct OptionRule {
    std::string_view name;         // "--turn"
    std::string_view valueNeeded;  // what its value is ("an output file"); empty when it takes none
};

// Called for each option, in the order given, with its name and its value
// (empty for an option that takes none). Returns nothing to go on, or the
// status to end with, its line already printed.
using OptionTaker = std::function<std::optional<int>(std::string_view name, std::string_view value)>;

// Reads argv: each option of `rules` is handed to `take`, the other words
// are collected in `files`. Returns nothing when the program is to go on;
// otherwise the status to exit with: 0 after --help or --version, 2 after a
// usage error ("unknown option '...'", "NAME needs VALUE"), or whatever
// `take` returned.
std::optional<int> readArguments(int argc, char** argv, std::string_view usage, std::span<const OptionRule> rules,
                                 const OptionTaker& take, std::vector<std::string>& files);

// Prints "PROGRAM: " and the pieces and " (see PROGRAM --help)" as one
// error line; returns 2, the status of a usage error.
int usageError(std::initializer_list<std::string_view> pieces);

// `text` as a number when the whole of it is one (std::from_chars: decimal,
// no blanks, no "+") and finite; an integer must have no point or exponent.
std::optional<double> parseNumber(std::string_view text);
std::optional<int> parseInteger(std::string_view text);
