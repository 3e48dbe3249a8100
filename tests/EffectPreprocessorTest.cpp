// The effect preprocessor: macros, conditionals, comments, includes with their own lines, and
// directives it refuses.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "d3dx9/EffectPreprocessor.h"

namespace {

// The preprocessed lines of a source, joined, with the includes from the map.
std::string Preprocess(const std::string& source, const EffectDefines& defines = {},
                       const std::map<std::string, std::string>& files = {}, std::string* error = nullptr)
{
    PreprocessedEffect out;
    EffectErrors errors;
    const EffectIncludeReader reader = [&](const std::string& name, bool, const std::string&, std::string& text,
                                           std::string& found) {
        auto file = files.find(name);
        if (file == files.end())
            return false;
        text = file->second;
        found = name;
        return true;
    };
    if (!PreprocessEffect("main.fx", source, defines, reader, out, errors)) {
        if (error)
            *error = errors.Text();
        return "<failed>";
    }
    std::string text;
    for (const PreprocessedLine& line : out.lines) {
        std::string trimmed = line.text;
        while (!trimmed.empty() && trimmed.back() == ' ')
            trimmed.pop_back();
        trimmed.erase(0, trimmed.find_first_not_of(' ') == std::string::npos ? trimmed.size()
                                                                              : trimmed.find_first_not_of(' '));
        if (!trimmed.empty())
            text += trimmed + "|";
    }
    return text;
}

TEST(EffectPreprocessorTest, ConditionalsMacrosAndComments)
{
    struct Case {
        const char* source;
        const char* expected;
    };
    const Case cases[] = {
        {"#define N 4\nfloat a[N];", "float a[4];|"},
        {"#define SQ(x) ((x) * (x))\nSQ(a + 1) SQ( SQ(2) )", "((a + 1) * (a + 1)) ((((2) * (2))) * (((2) * (2))))|"},
        {"#define F(x) x\nF", "F|"},
        {"#define A 1\n#ifdef A\nyes\n#else\nno\n#endif", "yes|"},
        {"#ifndef A\nyes\n#endif", "yes|"},
        {"#if 2 * 3 == 6 && !(1 > 2) && (7 % 4) == 3 && (1 << 3) == 8 && -1 < 0\nyes\n#endif", "yes|"},
        {"#if defined(A) || defined B\nno\n#elif 0\nno\n#elif 1\nyes\n#else\nno\n#endif", "yes|"},
        {"#define V 3\n#if V >= 3 ? 1 : 0\nyes\n#endif", "yes|"},
        {"#if UNDEFINED_NAME\nno\n#endif\nafter", "after|"},
        {"#if 0\n#if 1\nno\n#endif\n#error skipped\n#endif\nok", "ok|"},
        {"#define X 1\n#undef X\n#ifdef X\nno\n#endif\nX", "X|"},
        {"a /* one\ntwo */ b // three\nc", "a|b|c|"},
        {"s = \"// not a comment\"", "s = \"// not a comment\"|"},
        {"#define LONG 1 + \\\n 2\nLONG", "1 +  2|"},
        {"#define S \"x\"\n\"S\" S", "\"S\" \"x\"|"},
        {"#pragma unroll\n#extension GL_ARB_x : enable", "#pragma unroll|#extension GL_ARB_x : enable|"},
        {"1.5e+3 0x1F X1", "1.5e+3 0x1F X1|"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(Preprocess(c.source, {}, {}, &error), c.expected) << c.source << "\n" << error;
    }
    EXPECT_EQ(Preprocess("#if WIDTH > 2\nwide\n#endif\nWIDTH", {{"WIDTH", "3"}}), "wide|3|");
}

TEST(EffectPreprocessorTest, IncludesKeepTheirOwnLines)
{
    const std::map<std::string, std::string> files = {{"a.fxh", "#pragma once\nfrom a\n"},
                                                      {"b.fxh", "\n\n#include \"a.fxh\"\nfrom b\n"}};
    PreprocessedEffect out;
    EffectErrors errors;
    const EffectIncludeReader reader = [&](const std::string& name, bool, const std::string&, std::string& text,
                                           std::string& found) {
        text = files.at(name);
        found = name;
        return true;
    };
    ASSERT_TRUE(PreprocessEffect("main.fx", "top\n#include \"b.fxh\"\n#include <a.fxh>\nend", {}, reader, out, errors))
        << errors.Text();
    std::vector<std::string> seen;
    for (const PreprocessedLine& line : out.lines)
        if (!line.text.empty())
            seen.push_back(line.text + "@" + out.files[line.where.file] + ":" + std::to_string(line.where.line));
    EXPECT_EQ(seen, (std::vector<std::string>{"top@main.fx:1", "from a@a.fxh:2", "from b@b.fxh:4", "end@main.fx:4"}));
}

TEST(EffectPreprocessorTest, BadDirectivesFailWithTheirLine)
{
    struct Case {
        const char* source;
        const char* expected;
    };
    const Case cases[] = {
        {"ok\n#endif", "main.fx(2): error: #endif without #if"},
        {"#if 1\n#else\n#else\n#endif", "main.fx(3): error: #else without #if"},
        {"#if 1 +\n#endif", "main.fx(1): error: #if expression ends too early"},
        {"#if 1 / 0\n#endif", "main.fx(1): error: division by zero"},
        {"#if (1\n#endif", "main.fx(1): error: ')' expected"},
        {"#define\n", "main.fx(1): error: #define needs a macro name"},
        {"#define F(a,\n", "main.fx(1): error: parameter list of macro F not closed"},
        {"#define F(a, b) a\nF(1)", "main.fx(2): error: macro F takes 2 arguments, not 1"},
        {"#define F(a) a\nF(1,\n2)", "main.fx(2): error: arguments of macro F not closed"},
        {"#include nothing", "main.fx(1): error: #include needs \"name\" or <name>"},
        {"#frobnicate", "main.fx(1): error: unknown preprocessor directive #frobnicate"},
        {"#line 10", "main.fx(1): error: unknown preprocessor directive #line"},
        {"\n\n/* never closed", "main.fx(3): error: comment not closed"},
        {"#define A A A\n#define B A A A A A A A A A A A A A A A A\n#define C B B B B B B B B B B B B B B B B\n"
         "#define D C C C C C C C C C C C C C C C C\n#define E D D D D D D D D D D D D D D D D\n"
         "#define G E E E E E E E E E E E E E E E E\n#define H G G G G G G G G G G G G G G G G\nH",
         "main.fx(8): error: macro expansion too long"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(Preprocess(c.source, {}, {}, &error), "<failed>") << c.source;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.source << "\n" << error;
    }
}

} // namespace
