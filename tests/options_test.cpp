// The companions' one command-line reader (process/options.h), in-process:
// the two ways of giving a value, "--" and "-", what ends the reading, and
// the one number parser.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "process/error_line.h"
#include "process/options.h"

namespace {

constexpr OptionRule rules[] = {{"--turn", ""}, {"--angle", "a number of degrees"}};

struct Reading {
    std::optional<int> status;
    std::vector<std::pair<std::string, std::string>> taken;  // name, value
    std::vector<std::string> files;
    std::string out, err;
};

// readArguments over `words` (after the program's name), every option
// taken as it comes; `stopAt`, when given, is the option whose take ends
// the reading with status 5.
Reading read(std::vector<std::string> words, const std::string& stopAt = "") {
    setProgramName("prog");
    words.insert(words.begin(), "prog");
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    Reading reading;
    const auto take = [&](std::string_view name, std::string_view value) -> std::optional<int> {
        reading.taken.emplace_back(name, value);
        if (name == stopAt) return 5;
        return std::nullopt;
    };
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    reading.status =
        readArguments(static_cast<int>(words.size()), argv.data(), "the usage\n", rules, take, reading.files);
    reading.out = testing::internal::GetCapturedStdout();
    reading.err = testing::internal::GetCapturedStderr();
    return reading;
}

using Taken = std::vector<std::pair<std::string, std::string>>;
using Files = std::vector<std::string>;

TEST(Options, AValueFollowsItsOptionOrItsEqualsSign) {
    const Reading r = read({"a.off", "--angle", "-5", "--turn", "--angle=90", "b.png"});
    EXPECT_EQ(r.status, std::nullopt);
    EXPECT_EQ(r.taken, (Taken{{"--angle", "-5"}, {"--turn", ""}, {"--angle", "90"}}));
    EXPECT_EQ(r.files, (Files{"a.off", "b.png"}));
    EXPECT_EQ(r.err, "");
}

TEST(Options, DashIsAFileAndDoubleDashEndsTheOptions) {
    const Reading r = read({"-", "", "--", "--turn", "-x"});
    EXPECT_EQ(r.status, std::nullopt);
    EXPECT_TRUE(r.taken.empty());
    EXPECT_EQ(r.files, (Files{"-", "", "--turn", "-x"}));
}

TEST(Options, UsageErrorsAreOneEscapedLineAndStatus2) {
    const struct {
        std::vector<std::string> words;
        std::string err;
    } cases[] = {
        {{"a.off", "--angle"}, "prog: --angle needs a number of degrees (see prog --help)\n"},
        {{"--turn=yes"}, "prog: unknown option '--turn=yes' (see prog --help)\n"},
        {{"-t"}, "prog: unknown option '-t' (see prog --help)\n"},
        {{"--\x1b[2J"}, "prog: unknown option '--\\x1b[2J' (see prog --help)\n"},
    };
    for (const auto& c : cases) {
        const Reading r = read(c.words);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
}

TEST(Options, HelpVersionAndATakeThatRefusesEndTheReading) {
    const Reading help = read({"--turn", "-h", "--angle=1"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, "the usage\n");
    EXPECT_EQ(help.taken, (Taken{{"--turn", ""}}));
    const Reading version = read({"--version", "--bad"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("prog ") + TARVEXGL_VERSION + "\n");
    EXPECT_EQ(version.err, "");
    const Reading refused = read({"--angle", "1", "--turn", "--angle=2"}, "--turn");
    EXPECT_EQ(refused.status, 5);
    EXPECT_EQ(refused.taken, (Taken{{"--angle", "1"}, {"--turn", ""}}));
}

TEST(Options, ANumberIsTheWholeTokenAndFinite) {
    for (const auto& [text, number] : {std::pair{"10", 10.0}, {"-2.5", -2.5}, {"1e2", 100.0}, {"0.1", 0.1}})
        EXPECT_EQ(parseNumber(text), number) << text;
    for (const char* text : {"", " 1", "1 ", "+1", "0x10", "10deg", "inf", "nan", "-inf", "1e400"})
        EXPECT_EQ(parseNumber(text), std::nullopt) << text;
    EXPECT_EQ(parseInteger("256"), 256);
    EXPECT_EQ(parseInteger("0256"), 256);
    EXPECT_EQ(parseInteger("-3"), -3);
    for (const char* text : {"", "2.5", "25.6e1", "1e2", "+1", "99999999999"})
        EXPECT_EQ(parseInteger(text), std::nullopt) << text;
}

}  // namespace
