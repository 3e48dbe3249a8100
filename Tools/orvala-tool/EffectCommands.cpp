#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "common/WholeFile.h"
#include "common/effect/EffectCompiler.h"
#include "d3dx9/EffectGlsl.h"
#include "d3dx9/EffectObject.h"
#include "d3dx9/EffectStates.h"

namespace fs = std::filesystem;

namespace {

const ToolCommandShape kCompileShape{"effect compile",
                                     "<source.fx> <out.fxo>",
                                     {ToolOption::Text("-I", "<folder>").Needs("a folder").Repeatable()},
                                     2,
                                     ""};
const ToolCommandShape kInfoShape{"effect info", "<file.fxo|file.fx>", {}, 1, ""};

std::string TypeName(const EffectParameter& p)
{
    switch (p.type) {
    case D3DXPT_STRING: return "string";
    case D3DXPT_TEXTURE: return "texture";
    case D3DXPT_TEXTURE1D: return "texture1D";
    case D3DXPT_TEXTURE2D: return "texture2D";
    case D3DXPT_TEXTURE3D: return "texture3D";
    case D3DXPT_TEXTURECUBE: return "textureCUBE";
    case D3DXPT_SAMPLER: return "sampler";
    case D3DXPT_SAMPLER1D: return "sampler1D";
    case D3DXPT_SAMPLER2D: return "sampler2D";
    case D3DXPT_SAMPLER3D: return "sampler3D";
    case D3DXPT_SAMPLERCUBE: return "samplerCUBE";
    default: break;
    }
    std::string name = p.type == D3DXPT_BOOL ? "bool" : p.type == D3DXPT_INT ? "int" : "float";
    if (p.cls == D3DXPC_VECTOR)
        name += std::to_string(p.columns);
    else if (p.cls == D3DXPC_MATRIX_ROWS)
        name += std::to_string(p.rows) + "x" + std::to_string(p.columns);
    return name;
}

std::string Number(D3DXPARAMETER_TYPE type, std::uint32_t word)
{
    char text[32];
    if (type == D3DXPT_FLOAT) {
        float f;
        static_assert(sizeof f == sizeof word);
        std::memcpy(&f, &word, sizeof f);
        std::snprintf(text, sizeof text, "%g", static_cast<double>(f));
    } else if (type == D3DXPT_BOOL) {
        return word ? "true" : "false";
    } else {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(static_cast<std::int32_t>(word)));
    }
    return text;
}

void PrintAnnotations(const std::vector<EffectAnnotation>& annotations, const char* indent)
{
    for (const EffectAnnotation& a : annotations) {
        std::string type = a.type == D3DXPT_STRING ? "string" : a.type == D3DXPT_BOOL ? "bool" : a.type == D3DXPT_INT ? "int" : "float";
        if (a.columns > 1)
            type += std::to_string(a.columns);
        std::string value;
        if (a.type == D3DXPT_STRING) {
            value = "\"" + a.text + "\"";
        } else {
            for (std::size_t i = 0; i < a.values.size(); ++i)
                value += (i ? ", " : "") + Number(a.type, a.values[i]);
            if (a.values.size() > 1)
                value = "{" + value + "}";
        }
        std::printf("%s<%s %s = %s>\n", indent, type.c_str(), a.name.c_str(), value.c_str());
    }
}

void PrintModel(const EffectModel& model)
{
    std::printf("parameters: %zu\n", model.parameters.size());
    for (const EffectParameter& p : model.parameters) {
        std::string line = "  " + std::string(p.shared ? "shared " : "") + TypeName(p) + " " + p.name;
        if (p.elements)
            line += "[" + std::to_string(p.elements) + "]";
        if (!p.semantic.empty())
            line += " : " + p.semantic;
        std::printf("%s\n", line.c_str());
        PrintAnnotations(p.annotations, "    ");
        if (p.samplerTexture >= 0)
            std::printf("    Texture = <%s>\n", model.parameters[static_cast<std::size_t>(p.samplerTexture)].name.c_str());
        for (const EffectSamplerState& s : p.samplerStates) {
            const EffectStateInfo* info = FindEffectSamplerState(s.state);
            std::printf("    %s = %s\n", info->name, EffectStateValueName(info->kind, s.value).c_str());
        }
    }
    std::printf("techniques: %zu\n", model.techniques.size());
    for (const EffectTechnique& t : model.techniques) {
        std::printf("  %s (%zu passes)\n", t.name.c_str(), t.passes.size());
        PrintAnnotations(t.annotations, "    ");
        for (const EffectPass& pass : t.passes) {
            std::printf("    pass %s\n", pass.name.empty() ? "(unnamed)" : pass.name.c_str());
            PrintAnnotations(pass.annotations, "      ");
            for (const EffectRenderState& s : pass.renderStates) {
                const EffectStateInfo* info = FindEffectRenderState(s.state);
                std::printf("      %s = %s\n", info->name, EffectStateValueName(info->kind, s.value).c_str());
            }
            if (pass.vertexShader >= 0)
                std::printf("      VertexShader = %s\n", model.shaders[static_cast<std::size_t>(pass.vertexShader)].name.c_str());
            if (pass.pixelShader >= 0)
                std::printf("      PixelShader = %s\n", model.shaders[static_cast<std::size_t>(pass.pixelShader)].name.c_str());
            for (std::size_t stage = 0; stage < pass.samplers.size(); ++stage)
                std::printf("      stage %zu: %s\n", stage, model.parameters[pass.samplers[stage]].name.c_str());
        }
    }
}

int Compile(const std::vector<std::string>& args)
{
    const ToolArguments parsed(args, kCompileShape.options);
    const std::vector<std::string>& files = parsed.Operands();
    const std::vector<fs::path> includes(parsed.All("-I").begin(), parsed.All("-I").end());
    if (files.size() != 2)
        throw ToolUsageError{"effect compile needs a source and an output file"};
    EffectModel model;
    EffectErrors errors;
    if (!CompileEffectFile(files[0], includes, model, errors) || !CheckEffectGlsl(model, errors)) {
        std::fputs(errors.Text().c_str(), stderr);
        return 1;
    }
    const std::vector<std::uint8_t> object = WriteEffectObject(model);
    const fs::path out = files[1];
    const fs::path temporary = out.string() + ".partial";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(object.data()), static_cast<std::streamsize>(object.size()));
        if (!file) {
            std::fprintf(stderr, "orvala-tool: cannot write \"%s\"\n", out.string().c_str());
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return 1;
        }
    }
    std::error_code error;
    fs::rename(temporary, out, error);
    if (error) {
        std::fprintf(stderr, "orvala-tool: cannot write \"%s\": %s\n", out.string().c_str(), error.message().c_str());
        fs::remove(temporary, error);
        return 1;
    }
    std::printf("%s: %zu parameters, %zu techniques, %zu shaders, %zu bytes\n", out.string().c_str(),
                model.parameters.size(), model.techniques.size(), model.shaders.size(), object.size());
    return 0;
}

int Info(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        throw ToolUsageError{"effect info needs one file"};
    std::string bytes;
    try {
        bytes = ReadWholeText(args[0]);
    } catch (const FileReadError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    EffectModel model;
    // An empty file would read as an effect source without parameters or techniques, which no
    // effect the demo loads is; an object that lost its header would read as source text.
    if (bytes.empty()) {
        std::fprintf(stderr, "%s: error: the file is empty, not an effect\n", args[0].c_str());
        return 1;
    }
    if (IsEffectObject(bytes.data(), bytes.size()) || fs::path(args[0]).extension() == ".fxo") {
        std::string error;
        if (!ReadEffectObject(bytes.data(), bytes.size(), model, error)) {
            std::fprintf(stderr, "%s: error: %s\n", args[0].c_str(), error.c_str());
            return 1;
        }
    } else {
        EffectErrors errors;
        if (!CompileEffectFile(args[0], {}, model, errors)) {
            std::fputs(errors.Text().c_str(), stderr);
            return 1;
        }
    }
    PrintModel(model);
    return 0;
}

const ToolCommandRegistration registration("effect",
                                           ToolSubcommandGroup({{kCompileShape, Compile}, {kInfoShape, Info}},
                                                               "effect needs a subcommand",
                                                               "unknown effect subcommand"));

} // namespace
