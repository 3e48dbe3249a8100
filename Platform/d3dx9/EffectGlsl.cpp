#include "d3dx9/EffectGlsl.h"

#include <cctype>
#include <cstdlib>
#include <set>

namespace {

void CollectIdentifiers(const std::vector<PreprocessedLine>& lines, std::set<std::string>& names)
{
    for (const PreprocessedLine& line : lines) {
        const std::string& text = line.text;
        std::size_t i = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                const std::size_t begin = i;
                while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
                    ++i;
                names.insert(text.substr(begin, i - begin));
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '.'))
                    ++i;
            } else {
                ++i;
            }
        }
    }
}

} // namespace

std::string EffectGlslType(const EffectParameter& p)
{
    switch (p.type) {
    case D3DXPT_SAMPLER:
    case D3DXPT_SAMPLER2D: return "sampler2D";
    case D3DXPT_SAMPLER3D: return "sampler3D";
    case D3DXPT_SAMPLERCUBE: return "samplerCube";
    case D3DXPT_BOOL:
    case D3DXPT_INT:
    case D3DXPT_FLOAT: break;
    default: return {};
    }
    const char* prefix = p.type == D3DXPT_BOOL ? "b" : p.type == D3DXPT_INT ? "i" : "";
    if (p.cls == D3DXPC_SCALAR)
        return p.type == D3DXPT_BOOL ? "bool" : p.type == D3DXPT_INT ? "int" : "float";
    if (p.cls == D3DXPC_VECTOR)
        return std::string(prefix) + "vec" + std::to_string(p.columns);
    // Rows of D3DX's matrix become GLSL's columns, so that `M * v` is D3DX's `v * M`.
    if (p.rows == p.columns)
        return "mat" + std::to_string(p.rows);
    return "mat" + std::to_string(p.rows) + "x" + std::to_string(p.columns);
}

void GenerateEffectShaders(EffectModel& model, const std::vector<EffectCodeBlock>& blocks)
{
    std::vector<const EffectCodeBlock*> common;
    for (const EffectCodeBlock& block : blocks)
        if (block.kind == EffectCodeBlock::Common)
            common.push_back(&block);
    for (const EffectCodeBlock& block : blocks) {
        if (block.kind == EffectCodeBlock::Common)
            continue;
        EffectShader* shader = nullptr;
        for (EffectShader& candidate : model.shaders)
            if (candidate.name == block.name)
                shader = &candidate;
        if (!shader)
            continue;
        std::set<std::string> names;
        for (const EffectCodeBlock* code : common)
            CollectIdentifiers(code->lines, names);
        CollectIdentifiers(block.lines, names);

        shader->glsl.clear();
        shader->lines.clear();
        shader->parameters.clear();
        auto add = [&](const std::string& text, const EffectLocation& where) {
            shader->glsl += text;
            shader->glsl += '\n';
            shader->lines.push_back(where);
        };
        add("#version 450 core", block.where);
        for (std::size_t i = 0; i < model.parameters.size(); ++i) {
            const EffectParameter& parameter = model.parameters[i];
            const std::string type = EffectGlslType(parameter);
            if (type.empty() || !names.count(parameter.name))
                continue;
            std::string declaration = "uniform " + type + " " + parameter.name;
            if (parameter.elements)
                declaration += "[" + std::to_string(parameter.elements) + "]";
            add(declaration + ";", parameter.location);
            shader->parameters.push_back(static_cast<std::uint32_t>(i));
        }
        for (const EffectCodeBlock* code : common)
            for (const PreprocessedLine& line : code->lines)
                add(line.text, line.where);
        for (const PreprocessedLine& line : block.lines)
            add(line.text, line.where);
    }
}

std::string MapGlslLog(const EffectModel& model, const EffectShader& shader, const std::string& log)
{
    auto place = [&](std::size_t generatedLine) {
        EffectLocation where = shader.lines.empty() ? EffectLocation{} : shader.lines.front();
        if (generatedLine >= 1 && generatedLine <= shader.lines.size())
            where = shader.lines[generatedLine - 1];
        const std::string file = where.file < model.files.size() ? model.files[where.file] : "";
        return file + "(" + std::to_string(where.line) + ")";
    };
    std::string out;
    std::size_t pos = 0;
    while (pos < log.size()) {
        std::size_t end = log.find('\n', pos);
        if (end == std::string::npos)
            end = log.size();
        std::string line = log.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        // "<string>:<line>" followed by ':' or '('.
        std::size_t at = line.find("0:");
        while (at != std::string::npos && at > 0 && std::isdigit(static_cast<unsigned char>(line[at - 1])))
            at = line.find("0:", at + 1);
        if (at != std::string::npos && at + 2 < line.size() && std::isdigit(static_cast<unsigned char>(line[at + 2]))) {
            std::size_t digitsEnd = at + 2;
            while (digitsEnd < line.size() && std::isdigit(static_cast<unsigned char>(line[digitsEnd])))
                ++digitsEnd;
            const std::size_t number = std::strtoul(line.substr(at + 2, digitsEnd - at - 2).c_str(), nullptr, 10);
            std::size_t rest = digitsEnd;
            if (rest < line.size() && line[rest] == '(') { // Mesa's column
                const std::size_t close = line.find(')', rest);
                rest = close == std::string::npos ? rest : close + 1;
            }
            while (rest < line.size() && (line[rest] == ':' || line[rest] == ' '))
                ++rest;
            std::string message = line.substr(rest);
            // Drop the compiler's own severity word; the mapped line carries one.
            for (const char* word : {"error: ", "ERROR: "})
                if (message.compare(0, std::char_traits<char>::length(word), word) == 0)
                    message = message.substr(std::char_traits<char>::length(word));
            const std::string prefix = line.substr(0, at);
            const bool warning = prefix.find("WARNING") != std::string::npos || message.compare(0, 9, "warning: ") == 0;
            if (message.compare(0, 9, "warning: ") == 0)
                message = message.substr(9);
            while (!message.empty() && message.back() == ' ')
                message.pop_back();
            if (message == "'' : compilation terminated")
                continue; // glslang's closing line after the real error
            out += place(number) + (warning ? ": warning: " : ": error: ") + message + "\n";
        } else if (line.find("compilation errors") == std::string::npos) {
            out += place(0) + ": error: " + shader.name + ": " + line + "\n";
        }
    }
    return out;
}
