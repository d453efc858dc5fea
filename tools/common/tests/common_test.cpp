// The shared option and value parsing: what every tool's command line goes
// through, so a fault here is a fault in all of them.
#include <gtest/gtest.h>

#include <cmath>

#include "command_line.h"
#include "exit_status.h"
#include "json.h"
#include "values.h"

namespace tsdtool {
namespace {

const std::vector<OptionSpec> kSpecs = {
    {"serial", 0, true}, {"yes", 'y', false}, {"count", 'c', true}};

TEST(ToolOptions, TakeBothValueFormsShortLettersRepeatsAndWordsInAnyOrder) {
    const Options o = parseOptions(
        {"mode", "--serial=A", "-y", "working", "--serial", "B", "-c3", "--", "-x"}, kSpecs);
    EXPECT_EQ(o.values("serial"), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(o.value("serial"), "B");
    EXPECT_TRUE(o.has("yes"));
    EXPECT_EQ(o.value("count"), "3");
    EXPECT_EQ(o.words(), (std::vector<std::string>{"mode", "working", "-x"}));
    EXPECT_TRUE(parseOptions({"list", "--help"}, kSpecs).wantsHelp());

    // A program and its own options are words once the first word is seen.
    const Options run = parseOptions({"-y", "prog", "--serial", "Z"}, kSpecs, true);
    EXPECT_EQ(run.words(), (std::vector<std::string>{"prog", "--serial", "Z"}));
    EXPECT_FALSE(run.has("serial"));
}

TEST(ToolOptions, RefuseWhatTheyDoNotKnowNamingTheOption) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--frob"}, "unknown option --frob"}, {{"--frob=1"}, "unknown option --frob"},
        {{"-q"}, "unknown option -q"},         {{"--serial"}, "--serial needs a value"},
        {{"-c"}, "--count needs a value"},     {{"--yes=1"}, "--yes takes no value"},
    };
    for (const auto& [words, message] : bad) {
        try {
            parseOptions(words, kSpecs);
            ADD_FAILURE() << words.front() << " was taken";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.status(), Exit::Usage);
            EXPECT_EQ(failure.what(), message);
        }
    }
}

TEST(ToolValues, RefuseSignsTrailingTextOverflowAndNonFiniteNumbers) {
    EXPECT_EQ(parseUnsigned("42", 100), 42u);
    for (const char* bad : {"", "-1", "+1", " 1", "1x", "101", "99999999999999999999999"}) {
        EXPECT_FALSE(parseUnsigned(bad, 100)) << bad;
    }
    EXPECT_EQ(parseNumber("-2.5"), -2.5);
    for (const char* bad : {"", "nan", "inf", "1e999", "2,5", " 1"}) {
        EXPECT_FALSE(parseNumber(bad)) << bad;
    }
    EXPECT_EQ(parseHex16("0xE2c4"), 0xE2C4);
    EXPECT_FALSE(parseHex16("12345"));
    EXPECT_FALSE(parseHex16("0x"));

    const auto range = parseRange("4095,0,0,4095");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->x0, 4095);
    for (const char* bad : {"0,1,0", "0,1,0,1,", "0,0,0,1", "0,1,0,70000", "0,1,0,x"}) {
        EXPECT_FALSE(parseRange(bad)) << bad;
    }

    const auto full = parseGeometry("1024x600+1920+0", true);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->x, 1920);
    EXPECT_EQ(full->height, 600);
    EXPECT_FALSE(parseGeometry("640x480+0+0", false)) << "a size only";
    for (const char* bad : {"", "640", "640x", "0x480", "640x480+1", "640x480+1+2z", "ax480",
                            "640x480+-5+0", "-640x480"}) {
        EXPECT_FALSE(parseGeometry(bad, true)) << bad;
    }
}

TEST(ToolJson, WritesNullWhereJsonHasNoNumber) {
    const std::string text = JsonObject()
                                 .add("a", 1.5)
                                 .add("nan", std::nan(""))
                                 .add("inf", -HUGE_VAL)
                                 .add("s", std::string("q\"\n"))
                                 .addRaw("p", jsonNumbers({1, INFINITY}))
                                 .str();
    EXPECT_EQ(text, R"({"a":1.5,"nan":null,"inf":null,"s":"q\"\u000a","p":[1,null]})");
}

}  // namespace
}  // namespace tsdtool
