#include "common/effect/EffectCompiler.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>

#include <cctype>
#include <map>
#include <memory>
#include <set>

#include "common/WholeFile.h"
#include "d3dx9/EffectGlsl.h"
#include "d3dx9/EffectParser.h"

namespace fs = std::filesystem;

namespace {

// An include file where one may be: false when there is none to read.
bool ReadIncludeCandidate(const fs::path& path, std::string& text)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return false;
    try {
        text = ReadWholeText(path);
    } catch (const FileReadError&) {
        return false;
    }
    return true;
}

void AddLog(EffectErrors& errors, const std::string& mapped, const std::string& prefix = {})
{
    std::size_t pos = 0;
    while (pos < mapped.size()) {
        std::size_t end = mapped.find('\n', pos);
        if (end == std::string::npos)
            end = mapped.size();
        std::string line = mapped.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty())
            continue;
        if (!prefix.empty()) {
            const std::size_t at = line.find(": error: ");
            if (at != std::string::npos)
                line.insert(at + 9, prefix);
        }
        errors.AddLine(line);
    }
}

void EnsureGlslang()
{
    static const bool initialised = glslang::InitializeProcess();
    (void)initialised;
}

std::unique_ptr<glslang::TShader> ParseShader(const EffectShader& shader, std::string& log)
{
    const EShLanguage stage = shader.pixel ? EShLangFragment : EShLangVertex;
    auto parsed = std::make_unique<glslang::TShader>(stage);
    const char* text = shader.glsl.c_str();
    parsed->setStrings(&text, 1);
    if (!parsed->parse(GetDefaultResources(), 450, ECoreProfile, false, false, EShMsgDefault)) {
        log = parsed->getInfoLog();
        return nullptr;
    }
    return parsed;
}

// A global `in` or `out` variable of a shader.
struct Interface {
    std::string type;
    std::string name;
    std::size_t line; // in the generated GLSL, 1 = first
};

// The global in/out declarations of GLSL code: statements at brace depth 0 of the form
// [layout(...)] [interpolation qualifiers] in|out <type> <name> [ [n] ];
std::map<std::string, Interface> Interfaces(const std::string& glsl, const char* storage)
{
    std::map<std::string, Interface> found;
    std::vector<std::string> tokens;
    std::size_t statementLine = 0, line = 1;
    int depth = 0, parens = 0;
    auto finish = [&](bool declaration) {
        std::size_t i = 0;
        while (i < tokens.size()) {
            if (tokens[i] == "layout" && i + 1 < tokens.size() && tokens[i + 1] == "(") {
                while (i < tokens.size() && tokens[i] != ")")
                    ++i;
                ++i;
            } else if (tokens[i] == "flat" || tokens[i] == "smooth" || tokens[i] == "noperspective" ||
                       tokens[i] == "centroid" || tokens[i] == "sample" || tokens[i] == "invariant") {
                ++i;
            } else {
                break;
            }
        }
        if (declaration && i + 2 < tokens.size() && tokens[i] == storage) {
            std::string type = tokens[i + 1];
            const std::string name = tokens[i + 2];
            if (i + 3 < tokens.size() && tokens[i + 3] == "[") {
                for (std::size_t k = i + 3; k < tokens.size(); ++k)
                    type += tokens[k];
            }
            found[name] = {type, name, statementLine};
        }
        tokens.clear();
    };
    for (std::size_t i = 0; i < glsl.size(); ++i) {
        const char c = glsl[i];
        if (c == '\n') {
            ++line;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        if (c == '#') { // preprocessor lines that passed through (#extension, #pragma)
            while (i + 1 < glsl.size() && glsl[i + 1] != '\n')
                ++i;
            continue;
        }
        if (c == '{') {
            if (depth == 0 && parens == 0)
                finish(false);
            ++depth;
            continue;
        }
        if (c == '}') {
            depth = depth > 0 ? depth - 1 : 0;
            continue;
        }
        if (depth > 0)
            continue;
        if (tokens.empty())
            statementLine = line;
        if (c == ';') {
            finish(true);
            continue;
        }
        if (c == '(')
            ++parens;
        if (c == ')')
            parens = parens > 0 ? parens - 1 : 0;
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            std::size_t end = i;
            while (end < glsl.size() && (std::isalnum(static_cast<unsigned char>(glsl[end])) || glsl[end] == '_'))
                ++end;
            tokens.push_back(glsl.substr(i, end - i));
            i = end - 1;
        } else {
            tokens.push_back(std::string(1, c));
        }
    }
    return found;
}

std::string Place(const EffectModel& model, const EffectShader& shader, std::size_t line)
{
    EffectLocation where = shader.lines.empty() ? EffectLocation{} : shader.lines.front();
    if (line >= 1 && line <= shader.lines.size())
        where = shader.lines[line - 1];
    return (where.file < model.files.size() ? model.files[where.file] : "") + "(" + std::to_string(where.line) + ")";
}

} // namespace

bool CompileEffectFile(const fs::path& source, const std::vector<fs::path>& includeFolders, EffectModel& model,
                       EffectErrors& errors)
{
    std::string text;
    const std::string sourceName = source.generic_string();
    try {
        text = ReadWholeText(source);
    } catch (const FileReadError& e) {
        errors.Add(e.what());
        return false;
    }
    const fs::path sourceFolder = source.parent_path();
    std::map<std::string, fs::path> foundPaths{{sourceName, source}};
    const EffectIncludeReader reader = [&](const std::string& name, bool system, const std::string& parent,
                                           std::string& content, std::string& foundName) {
        std::vector<fs::path> folders;
        if (!system) {
            auto parentPath = foundPaths.find(parent);
            if (parentPath != foundPaths.end())
                folders.push_back(parentPath->second.parent_path());
            folders.push_back(sourceFolder);
        }
        folders.insert(folders.end(), includeFolders.begin(), includeFolders.end());
        if (system)
            folders.push_back(sourceFolder);
        for (const fs::path& folder : folders) {
            const fs::path candidate = folder / name;
            if (ReadIncludeCandidate(candidate, content)) {
                foundName = candidate.generic_string();
                foundPaths[foundName] = candidate;
                return true;
            }
        }
        return false;
    };
    return CompileEffectSource(sourceName, text, {}, reader, model, errors);
}

bool CheckEffectGlsl(const EffectModel& model, EffectErrors& errors)
{
    EnsureGlslang();
    bool ok = true;
    std::vector<bool> compiled(model.shaders.size(), false);
    for (std::size_t i = 0; i < model.shaders.size(); ++i) {
        std::string log;
        compiled[i] = ParseShader(model.shaders[i], log) != nullptr;
        if (!compiled[i]) {
            AddLog(errors, MapGlslLog(model, model.shaders[i], log));
            ok = false;
        }
    }
    std::set<std::pair<std::int32_t, std::int32_t>> linked;
    for (const EffectTechnique& technique : model.techniques) {
        for (const EffectPass& pass : technique.passes) {
            const std::int32_t vs = pass.vertexShader, ps = pass.pixelShader;
            if ((vs >= 0 && !compiled[static_cast<std::size_t>(vs)]) ||
                (ps >= 0 && !compiled[static_cast<std::size_t>(ps)]) || (vs < 0 && ps < 0) ||
                !linked.insert({vs, ps}).second)
                continue;
            const std::string passName = "pass \"" + pass.name + "\" of technique \"" + technique.name + "\": ";
            std::string log;
            std::unique_ptr<glslang::TShader> vertex, pixel;
            glslang::TProgram program;
            if (vs >= 0) {
                vertex = ParseShader(model.shaders[static_cast<std::size_t>(vs)], log);
                program.addShader(vertex.get());
            }
            if (ps >= 0) {
                pixel = ParseShader(model.shaders[static_cast<std::size_t>(ps)], log);
                program.addShader(pixel.get());
            }
            const EffectShader& reported = model.shaders[static_cast<std::size_t>(ps >= 0 ? ps : vs)];
            if (!program.link(EShMsgDefault)) {
                AddLog(errors, MapGlslLog(model, reported, program.getInfoLog()), passName);
                ok = false;
            }
            if (vs < 0 || ps < 0)
                continue;
            const EffectShader& vertexShader = model.shaders[static_cast<std::size_t>(vs)];
            const auto outputs = Interfaces(vertexShader.glsl, "out");
            for (const auto& [name, input] : Interfaces(reported.glsl, "in")) {
                auto output = outputs.find(name);
                if (output == outputs.end()) {
                    errors.AddLine(Place(model, reported, input.line) + ": error: " + passName + "pixel shader input \"" +
                               name + "\" is not written by vertex shader \"" + vertexShader.name + "\"");
                    ok = false;
                } else if (output->second.type != input.type) {
                    errors.AddLine(Place(model, reported, input.line) + ": error: " + passName + "pixel shader input \"" +
                               name + "\" is " + input.type + " but vertex shader \"" + vertexShader.name +
                               "\" writes " + output->second.type);
                    ok = false;
                }
            }
        }
    }
    return ok;
}
