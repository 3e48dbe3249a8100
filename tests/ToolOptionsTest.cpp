// orvala-tool's command lines: the option tables, the parsing they drive and the usage lines made
// from them.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ToolRun.h"
#include "common/ToolOptions.h"

namespace {

// A command with one option of every kind, shaped like the show's commands.
const ToolCommandShape kShape{"frame",
                              "<archive> <out.png>",
                              {ToolOption::Whole("--fps", 1, 240), ToolOption::Size("--size", 1, 8192),
                               ToolOption::Number("--from").Shown("S"), ToolOption::Number("--every", 0.1, 60).Shown("S"),
                               ToolOption::Text("--wav", "<out.wav>").Needs("one file name"),
                               ToolOption::Text("--voice", "<name>"),
                               ToolOption::Flag("--mips"), ToolOption::Text("--camera", "<name>").Repeatable(),
                               ToolOption::Text("-I", "<folder>").Repeatable(),
                               ToolOption::Whole("--face", 0, 5),
                               ToolOption::Number("--scale", 0, 10).Takes(3).Shown("x y z"),
                               ToolOption::Text("--wall", "side colour").Takes(2).Repeatable()},
                              2,
                              ""};

std::string UsageErrorOf(const std::vector<std::string>& args)
{
    try {
        ToolArguments parsed(args, kShape);
    } catch (const ToolUsageError& e) {
        return e.message;
    }
    return "(no error)";
}

TEST(ToolOptionsTest, GoodCommandLinesGiveTheirOperandsAndValues)
{
    const ToolArguments none({"in.dat", "out.png"}, kShape);
    EXPECT_EQ(none.Operands(), (std::vector<std::string>{"in.dat", "out.png"}));
    EXPECT_FALSE(none.Has("--fps"));
    EXPECT_EQ(none.Whole("--fps", 60), 60);
    EXPECT_EQ(none.Size("--size", {320, 180}).width, 320u);
    EXPECT_EQ(none.Number("--from", 2.5), 2.5);
    EXPECT_EQ(none.Text("--wav", "none"), "none");
    EXPECT_TRUE(none.All("--camera").empty());

    // Options before, between and after the operands; values that look like options or numbers
    // below zero stay values, and a negative number or "-" alone is an operand.
    const ToolArguments all({"--fps", "240", "-1", "--size", "1280x720", "--from", "-2.5", "-", "--every", "0.1",
                             "--wav", "-odd.wav", "--mips", "--camera", "wide", "-Iinclude", "--camera", "near", "-I",
                             "--face", "--face", "5"},
                            ToolCommandShape{"frame", "", kShape.options, 2, ""});
    EXPECT_EQ(all.Operands(), (std::vector<std::string>{"-1", "-"}));
    EXPECT_EQ(all.Whole("--fps", 60), 240);
    EXPECT_EQ(all.Size("--size", {}).width, 1280u);
    EXPECT_EQ(all.Size("--size", {}).height, 720u);
    EXPECT_EQ(all.Number("--from", 0.0), -2.5);
    EXPECT_EQ(all.Number("--every", 5.0), 0.1);
    EXPECT_EQ(all.Text("--wav", ""), "-odd.wav");
    EXPECT_TRUE(all.Has("--mips"));
    EXPECT_EQ(all.All("--camera"), (std::vector<std::string>{"wide", "near"}));
    EXPECT_EQ(all.All("-I"), (std::vector<std::string>{"include", "--face"}));
    EXPECT_EQ(all.Whole("--face", 0), 5);
}

// An option of several values takes the words after it as they come, a repeated one adding its
// values to the earlier ones.
TEST(ToolOptionsTest, OptionsOfSeveralValuesGiveThemInOrder)
{
    const ToolArguments parsed({"--wall", "-x", "1,0,0", "--scale", "0.5", "-0", "10", "in.dat", "--wall", "+y",
                                "--mips", "out.png", "--mips"},
                               kShape);
    EXPECT_EQ(parsed.Operands(), (std::vector<std::string>{"in.dat", "out.png"}));
    EXPECT_EQ(parsed.Numbers("--scale"), (std::vector<double>{0.5, 0.0, 10.0}));
    EXPECT_EQ(parsed.All("--wall"), (std::vector<std::string>{"-x", "1,0,0", "+y", "--mips"}));
    EXPECT_TRUE(parsed.Has("--mips"));
    EXPECT_TRUE(ToolArguments({}, kShape).Numbers("--scale").empty());
    EXPECT_THROW(parsed.Numbers("--fps"), std::logic_error); // a whole number, not a Number
}

TEST(ToolOptionsTest, BadCommandLinesSayWhatIsWrong)
{
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        // A value outside its kind or its range, told from the kind and the range...
        {{"--fps", "0"}, "--fps takes a whole number from 1 to 240, not \"0\""},
        {{"--fps", "241"}, "--fps takes a whole number from 1 to 240, not \"241\""},
        {{"--fps", "29.97"}, "--fps takes a whole number from 1 to 240, not \"29.97\""},
        {{"--fps", "99999999999999999999"}, "--fps takes a whole number from 1 to 240, not \"99999999999999999999\""},
        {{"--fps", "+30"}, "--fps takes a whole number from 1 to 240, not \"+30\""},
        {{"--fps", ""}, "--fps takes a whole number from 1 to 240, not \"\""},
        {{"--size", "640"}, "--size takes WIDTHxHEIGHT, each 1 to 8192, not \"640\""},
        {{"--size", "0x90"}, "--size takes WIDTHxHEIGHT, each 1 to 8192, not \"0x90\""},
        {{"--size", "160x8193"}, "--size takes WIDTHxHEIGHT, each 1 to 8192, not \"160x8193\""},
        {{"--size", "-160x90"}, "--size takes WIDTHxHEIGHT, each 1 to 8192, not \"-160x90\""},
        {{"--size", "160x"}, "--size takes WIDTHxHEIGHT, each 1 to 8192, not \"160x\""},
        {{"--size", "160x90x2"}, "--size takes WIDTHxHEIGHT, each 1 to 8192, not \"160x90x2\""},
        {{"--from", "soon"}, "--from takes a number, not \"soon\""},
        {{"--from", "nan"}, "--from takes a number, not \"nan\""},
        {{"--from", "1e999"}, "--from takes a number, not \"1e999\""},
        {{"--from", "12s"}, "--from takes a number, not \"12s\""},
        {{"--every", "0.05"}, "--every takes a number from 0.1 to 60, not \"0.05\""},
        // ...or in the command's own words.
        {{"--face", "6"}, "--face takes a whole number from 0 to 5, not \"6\""},
        // Options the command does not take.
        {{"--zoom", "2"}, "unknown option \"--zoom\""},
        {{"in.dat", "-x"}, "unknown option \"-x\""},
        {{"--mips=1"}, "unknown option \"--mips=1\""},
        // A value missing at the end.
        {{"in.dat", "out.png", "--fps"}, "--fps needs a value"},
        {{"--wav"}, "--wav needs one file name"},
        {{"-I"}, "-I needs a value"},
        // A second use of an option taken once.
        {{"--fps", "30", "--fps", "30"}, "--fps is given twice"},
        {{"--mips", "--mips"}, "--mips is given twice"},
        {{"--voice", "kick", "--voice", "arp"}, "--voice is given twice"},
        // Options of several values: too few, one of them bad, out of range or looking like an
        // option (a value all the same), or a second use of one taken once.
        {{"--scale", "1", "2"}, "--scale needs 3 values"},
        {{"in.dat", "--wall", "-x"}, "--wall needs 2 values"},
        {{"--scale", "1", "x", "3"}, "--scale takes a number from 0 to 10, not \"x\""},
        {{"--scale", "1", "2", "10.5"}, "--scale takes a number from 0 to 10, not \"10.5\""},
        {{"--scale", "1", "--mips", "3"}, "--scale takes a number from 0 to 10, not \"--mips\""},
        {{"--scale", "1", "2", "3", "--scale", "1", "2", "3"}, "--scale is given twice"},
        // More plain words than the command takes.
        {{"in.dat", "out.png", "extra.png"}, "stray argument \"extra.png\""},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const std::string& arg : c.args)
            line += " " + arg;
        EXPECT_EQ(UsageErrorOf(c.args), c.message) << line;
    }
}

TEST(ToolOptionsTest, ReadingAnOptionOutsideTheTableIsAMistakeOfTheCode)
{
    const ToolArguments parsed({"--fps", "30"}, kShape);
    EXPECT_THROW(parsed.Whole("--fsp", 60), std::logic_error);
    EXPECT_THROW(parsed.Text("--fps", ""), std::logic_error);   // a whole number, not text
    EXPECT_THROW(parsed.Number("--size", 1.0), std::logic_error);
    EXPECT_THROW(parsed.All("--cameras"), std::logic_error);
}

TEST(ToolOptionsTest, UsageLinesComeFromTheTable)
{
    const struct {
        ToolCommandShape shape;
        std::string usage;
    } cases[] = {
        {{"frame", "<archive> <seconds> <out.png>", {ToolOption::Size("--size", 1, 8192), ToolOption::Whole("--fps", 1, 1000)}, 3, ""},
         "orvala-tool frame <archive> <seconds> <out.png> [--size WxH] [--fps N]\n"},
        {{"effect compile", "<source.fx> <out.fxo>", {ToolOption::Text("-I", "<folder>").Repeatable()}, 2, ""},
         "orvala-tool effect compile <source.fx> <out.fxo> [-I <folder>]...\n"},
        {{"texture gen", "<out.png>", {ToolOption::Flag("--mips"), ToolOption::Number("--every").Shown("S")}, 1,
          "  notes as they are\n"},
         "orvala-tool texture gen <out.png> [--mips] [--every S]\n  notes as they are\n"},
        {{"gfx info", "", {}, 0, ""}, "orvala-tool gfx info\n"},
        {{"mesh gen box", "<out.x>",
          {ToolOption::Number("--size").Takes(3).Shown("x y z"), ToolOption::Text("--wall", "side colour").Takes(2).Repeatable()},
          1, ""},
         "orvala-tool mesh gen box <out.x> [--size x y z] [--wall side colour]...\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToolUsage(c.shape), c.usage);

    // Every option of the table shows, in the table's order.
    const std::string usage = ToolUsage(kShape);
    std::size_t at = 0;
    for (const ToolOption& option : kShape.options) {
        const std::size_t found = usage.find("[" + option.name + (option.kind == ToolOptionKind::Flag ? "]" : " "), at);
        ASSERT_NE(found, std::string::npos) << option.name << " in " << usage;
        at = found;
    }
}

// The usage lines of orvala-tool as `help` prints them.
std::vector<std::string> UsageLines()
{
    const ToolResult help = RunTool({"help"});
    EXPECT_EQ(help.exitCode, 0) << help.err;
    std::vector<std::string> lines;
    std::istringstream in(help.out);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("orvala-tool ", 0) == 0)
            lines.push_back(line);
    return lines;
}

TEST(ToolOptionsTest, HelpAndNoArgumentsListTheSameCommands)
{
    const ToolResult help = RunTool({"help"});
    const ToolResult bare = RunTool({});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_EQ(help.out, bare.err);
    std::set<std::string> groups;
    for (const std::string& line : UsageLines()) {
        std::istringstream words(line);
        std::string tool, group;
        words >> tool >> group;
        groups.insert(group);
    }
    for (const char* group : {"archive", "capture", "curve", "effect", "frame", "gfx", "mesh", "music", "noise",
                              "sheet", "texture", "track"})
        EXPECT_EQ(groups.count(group), 1u) << group << " is missing from:\n" << help.out;
}

// Every option a usage line shows is one its command takes: given without its value, the command
// says what the value should be rather than that it knows no such option.
TEST(ToolOptionsTest, EveryOptionInTheUsageIsTakenByItsCommand)
{
    int options = 0;
    for (const std::string& line : UsageLines()) {
        std::istringstream in(line.substr(std::string("orvala-tool ").size()));
        std::vector<std::string> command;
        std::vector<std::string> named;
        bool wordsDone = false;
        for (std::string word; in >> word;) {
            const bool plain = word.find_first_of("<[|\"") == std::string::npos;
            wordsDone = wordsDone || !plain;
            if (!wordsDone)
                command.push_back(word);
            if (word.size() > 2 && word[0] == '[' && word[1] == '-' && word.find(']') == std::string::npos)
                named.push_back(word.substr(1)); // "[--fps N]": the option takes a value
            else if (word.size() > 2 && word[0] == '[' && word[1] == '-')
                named.push_back(word.substr(1, word.find(']') - 1) + "!"); // "[--mips]": a flag
        }
        for (const std::string& option : named) {
            const bool flag = option.back() == '!';
            std::vector<std::string> args = command;
            args.push_back(flag ? option.substr(0, option.size() - 1) : option);
            const ToolResult run = RunTool(args);
            EXPECT_EQ(run.exitCode, 1) << line << ": " << option;
            EXPECT_EQ(run.err.find("unknown option"), std::string::npos) << line << ": " << run.err;
            if (!flag)
                EXPECT_NE(run.err.find(option + " needs "), std::string::npos) << line << ": " << run.err;
            ++options;
        }
    }
    // frame, sheet, capture, music, curve statics, effect compile and texture decode take options.
    EXPECT_GE(options, 18);
}

} // namespace
