#pragma once
// The preprocessor of effect sources: #include "name" / <name>, #define (object- and function-like
// macros, whose arguments sit on one line), #undef, #if / #ifdef / #ifndef / #elif / #else /
// #endif with C's integer expressions and defined(), #error, and #pragma once. Comments are
// removed, lines ending in a backslash joined, and macros expanded everywhere outside string
// literals, GLSL code included. #pragma and #extension lines other than #pragma once pass through
// to the GLSL compiler; #version and #line are refused (the version line is generated and the
// source lines are tracked here).
//
// Every output line remembers the file and line it came from. Includes nest at most
// kEffectMaxIncludeDepth deep (a file that includes itself fails there), and the output is
// bounded, so that no source can make the preprocessor run away.
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "d3dx9/EffectError.h"
#include "d3dx9/EffectModel.h"

inline constexpr int kEffectMaxIncludeDepth = 32;
inline constexpr std::size_t kEffectMaxPreprocessedBytes = 16u << 20;

struct PreprocessedLine {
    std::string text;
    EffectLocation where;
};

struct PreprocessedEffect {
    std::vector<std::string> files; // files[0] is the top file
    std::vector<PreprocessedLine> lines;
};

// Finds an included file: `name` as written, `system` for the <name> form, `parent` the name (as
// this function reported it earlier, or the top file's) of the including file. Fills `text` and
// the name under which messages quote the file, and returns false when there is no such file.
using EffectIncludeReader = std::function<bool(const std::string& name, bool system, const std::string& parent,
                                               std::string& text, std::string& foundName)>;

using EffectDefines = std::vector<std::pair<std::string, std::string>>;

bool PreprocessEffect(const std::string& fileName, const std::string& text, const EffectDefines& defines,
                      const EffectIncludeReader& includes, PreprocessedEffect& out, EffectErrors& errors);
