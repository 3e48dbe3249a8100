#include "d3dx9/EffectParser.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>

#include "d3dx9/EffectGlsl.h"
#include "d3dx9/EffectStates.h"

namespace {

struct Failure {
    EffectLocation where;
    std::string message;
};

enum class TokenKind { End, Identifier, Number, String, Symbol };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    std::size_t offset = 0; // into the joined text
};

struct TypeInfo {
    const char* name;
    D3DXPARAMETER_CLASS cls;
    D3DXPARAMETER_TYPE type;
    std::uint32_t rows, columns;
};

// clang-format off
const TypeInfo kTypes[] = {
    {"bool", D3DXPC_SCALAR, D3DXPT_BOOL, 1, 1}, {"bool2", D3DXPC_VECTOR, D3DXPT_BOOL, 1, 2},
    {"bool3", D3DXPC_VECTOR, D3DXPT_BOOL, 1, 3}, {"bool4", D3DXPC_VECTOR, D3DXPT_BOOL, 1, 4},
    {"int", D3DXPC_SCALAR, D3DXPT_INT, 1, 1}, {"int2", D3DXPC_VECTOR, D3DXPT_INT, 1, 2},
    {"int3", D3DXPC_VECTOR, D3DXPT_INT, 1, 3}, {"int4", D3DXPC_VECTOR, D3DXPT_INT, 1, 4},
    {"float", D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1}, {"float2", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 2},
    {"float3", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 3}, {"float4", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 4},
    {"float2x2", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 2, 2}, {"float3x3", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 3, 3},
    {"float4x4", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 4, 4}, {"float4x3", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 4, 3},
    {"float3x4", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 3, 4}, {"matrix", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 4, 4},
    {"string", D3DXPC_OBJECT, D3DXPT_STRING, 1, 1},
    {"texture", D3DXPC_OBJECT, D3DXPT_TEXTURE, 1, 1}, {"texture2D", D3DXPC_OBJECT, D3DXPT_TEXTURE2D, 1, 1},
    {"texture3D", D3DXPC_OBJECT, D3DXPT_TEXTURE3D, 1, 1}, {"textureCUBE", D3DXPC_OBJECT, D3DXPT_TEXTURECUBE, 1, 1},
    {"sampler", D3DXPC_OBJECT, D3DXPT_SAMPLER, 1, 1}, {"sampler2D", D3DXPC_OBJECT, D3DXPT_SAMPLER2D, 1, 1},
    {"sampler3D", D3DXPC_OBJECT, D3DXPT_SAMPLER3D, 1, 1}, {"samplerCUBE", D3DXPC_OBJECT, D3DXPT_SAMPLERCUBE, 1, 1},
};
// clang-format on

const TypeInfo* FindType(const std::string& name)
{
    for (const TypeInfo& type : kTypes)
        if (name == type.name)
            return &type;
    return nullptr;
}

std::uint32_t FloatBits(double value)
{
    const float f = static_cast<float>(value);
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

class Parser {
public:
    Parser(const PreprocessedEffect& source, EffectModel& model, std::vector<EffectCodeBlock>& blocks)
        : source_(source), model_(model), blocks_(blocks)
    {
        for (const PreprocessedLine& line : source.lines) {
            lineStarts_.push_back(text_.size());
            text_ += line.text;
            text_ += '\n';
        }
    }

    void Parse()
    {
        std::map<std::string, EffectLocation> passShaderRefs;
        for (;;) {
            Token token = Next();
            if (token.kind == TokenKind::End)
                break;
            if (token.kind == TokenKind::Symbol && token.text == ";")
                continue;
            if (token.kind != TokenKind::Identifier)
                Fail(token, "a declaration, glsl block or technique expected, not \"" + token.text + "\"");
            if (token.text == "technique")
                ParseTechnique();
            else if (token.text == "glsl")
                ParseCode(EffectCodeBlock::Common, token);
            else if (token.text == "vertexshader")
                ParseCode(EffectCodeBlock::Vertex, token);
            else if (token.text == "pixelshader")
                ParseCode(EffectCodeBlock::Pixel, token);
            else
                ParseParameter(token);
        }
        ResolveShaders();
    }

private:
    // ------------------------------------------------------------------------------------------
    // Tokens

    EffectLocation Where(std::size_t offset) const
    {
        if (lineStarts_.empty())
            return source_.files.empty() ? EffectLocation{} : EffectLocation{0, 1};
        auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
        const std::size_t index = static_cast<std::size_t>(it - lineStarts_.begin()) - 1;
        return source_.lines[index].where;
    }

    [[noreturn]] void Fail(const Token& token, const std::string& message) const
    {
        throw Failure{Where(token.offset), message};
    }

    void SkipSpace()
    {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
    }

    Token Lex()
    {
        SkipSpace();
        Token token;
        token.offset = pos_;
        if (pos_ >= text_.size())
            return token;
        const char c = text_[pos_];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            const std::size_t begin = pos_;
            while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
                ++pos_;
            token.kind = TokenKind::Identifier;
            token.text = text_.substr(begin, pos_ - begin);
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && pos_ + 1 < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])))) {
            const std::size_t begin = pos_;
            while (pos_ < text_.size() &&
                   (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.' ||
                    ((text_[pos_] == '+' || text_[pos_] == '-') && (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E') &&
                     !(text_[begin] == '0' && begin + 1 < text_.size() &&
                       (text_[begin + 1] == 'x' || text_[begin + 1] == 'X')))))
                ++pos_;
            token.kind = TokenKind::Number;
            token.text = text_.substr(begin, pos_ - begin);
        } else if (c == '"') {
            ++pos_;
            std::string value;
            for (;;) {
                if (pos_ >= text_.size() || text_[pos_] == '\n')
                    Fail(token, "string not closed on its line");
                const char d = text_[pos_++];
                if (d == '"')
                    break;
                if (d == '\\') {
                    if (pos_ >= text_.size() || text_[pos_] == '\n')
                        Fail(token, "string not closed on its line");
                    const char e = text_[pos_++];
                    value += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                } else {
                    value += d;
                }
            }
            token.kind = TokenKind::String;
            token.text = value;
        } else {
            ++pos_;
            token.kind = TokenKind::Symbol;
            token.text = std::string(1, c);
        }
        return token;
    }

    Token Next()
    {
        if (peeked_) {
            peeked_ = false;
            return peek_;
        }
        return Lex();
    }

    const Token& Peek()
    {
        if (!peeked_) {
            peek_ = Lex();
            peeked_ = true;
        }
        return peek_;
    }

    bool AcceptSymbol(const char* symbol)
    {
        const Token& token = Peek();
        if (token.kind == TokenKind::Symbol && token.text == symbol) {
            Next();
            return true;
        }
        return false;
    }

    Token ExpectSymbol(const char* symbol, const char* what)
    {
        Token token = Next();
        if (token.kind != TokenKind::Symbol || token.text != symbol)
            Fail(token, std::string("'") + symbol + "' expected " + what + (token.kind == TokenKind::End ? ", not the end of the file" : ", not \"" + token.text + "\""));
        return token;
    }

    Token ExpectIdentifier(const char* what)
    {
        Token token = Next();
        if (token.kind != TokenKind::Identifier)
            Fail(token, std::string(what) + " expected" +
                            (token.kind == TokenKind::End ? ", not the end of the file" : ", not \"" + token.text + "\""));
        return token;
    }

    double ParseNumber(const Token& token)
    {
        std::string text = token.text;
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        if (!hex && !text.empty() && (text.back() == 'f' || text.back() == 'F' || text.back() == 'h' || text.back() == 'H'))
            text.pop_back();
        errno = 0;
        char* end = nullptr;
        const double value = hex ? static_cast<double>(std::strtoull(text.c_str(), &end, 16)) : std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE)
            Fail(token, "bad number \"" + token.text + "\"");
        return value;
    }

    // A signed number, TRUE or FALSE.
    double ParseScalar(const char* what)
    {
        Token token = Next();
        double sign = 1;
        if (token.kind == TokenKind::Symbol && (token.text == "-" || token.text == "+")) {
            sign = token.text == "-" ? -1 : 1;
            token = Next();
        }
        if (token.kind == TokenKind::Number)
            return sign * ParseNumber(token);
        if (token.kind == TokenKind::Identifier && (token.text == "true" || token.text == "TRUE"))
            return 1;
        if (token.kind == TokenKind::Identifier && (token.text == "false" || token.text == "FALSE"))
            return 0;
        Fail(token, std::string("a number expected for ") + what +
                        (token.kind == TokenKind::End ? "" : ", not \"" + token.text + "\""));
    }

    // Numbers as a flat list: a scalar, {a, b, {c}}, or a constructor float4(a, b, c, d).
    void ParseValues(std::vector<double>& values, const char* what, int depth = 0)
    {
        if (depth > 16)
            Fail(Peek(), "values nested too deeply");
        const Token& first = Peek();
        if (first.kind == TokenKind::Symbol && first.text == "{") {
            Next();
            if (AcceptSymbol("}"))
                return;
            do {
                if (Peek().kind == TokenKind::Symbol && Peek().text == "}")
                    break; // a trailing comma
                ParseValues(values, what, depth + 1);
            } while (AcceptSymbol(","));
            ExpectSymbol("}", "to close the value list");
            return;
        }
        if (first.kind == TokenKind::Identifier && FindType(first.text)) {
            const Token type = Next();
            if (!FindType(type.text)->rows || FindType(type.text)->cls == D3DXPC_OBJECT)
                Fail(type, "\"" + type.text + "\" cannot make a value");
            ExpectSymbol("(", "after a constructor's type");
            do
                ParseValues(values, what, depth + 1);
            while (AcceptSymbol(","));
            ExpectSymbol(")", "to close the constructor");
            return;
        }
        if (values.size() >= kEffectMaxArrayElements * 16)
            Fail(first, "too many values");
        values.push_back(ParseScalar(what));
    }

    static std::vector<std::uint32_t> ToWords(D3DXPARAMETER_TYPE type, const std::vector<double>& values)
    {
        std::vector<std::uint32_t> words;
        words.reserve(values.size());
        for (double v : values) {
            if (type == D3DXPT_FLOAT)
                words.push_back(FloatBits(v));
            else if (type == D3DXPT_BOOL)
                words.push_back(v != 0 ? 1u : 0u);
            else
                words.push_back(static_cast<std::uint32_t>(static_cast<std::int32_t>(
                    std::max(-2147483648.0, std::min(2147483647.0, v)))));
        }
        return words;
    }

    // ------------------------------------------------------------------------------------------
    // Declarations

    std::vector<EffectAnnotation> ParseAnnotations()
    {
        std::vector<EffectAnnotation> annotations;
        if (!AcceptSymbol("<"))
            return annotations;
        while (!AcceptSymbol(">")) {
            const Token typeToken = ExpectIdentifier("an annotation type");
            const TypeInfo* type = FindType(typeToken.text);
            if (!type || (type->cls != D3DXPC_SCALAR && type->cls != D3DXPC_VECTOR && type->type != D3DXPT_STRING))
                Fail(typeToken, "annotations are bool, int, float (or vectors of them) or string, not \"" +
                                    typeToken.text + "\"");
            EffectAnnotation annotation;
            const Token name = ExpectIdentifier("an annotation name");
            annotation.name = name.text;
            for (const EffectAnnotation& other : annotations)
                if (other.name == name.text)
                    Fail(name, "annotation \"" + name.text + "\" given twice");
            annotation.type = type->type;
            annotation.columns = type->columns;
            ExpectSymbol("=", "after the annotation's name");
            if (type->type == D3DXPT_STRING) {
                const Token value = Next();
                if (value.kind != TokenKind::String)
                    Fail(value, "a string expected for annotation \"" + name.text + "\"");
                annotation.text = value.text;
            } else {
                std::vector<double> values;
                const Token at = Peek();
                ParseValues(values, "the annotation");
                if (values.size() != type->columns)
                    Fail(at, "annotation \"" + name.text + "\" needs " + std::to_string(type->columns) + " values");
                annotation.values = ToWords(type->type, values);
            }
            ExpectSymbol(";", "after the annotation");
            annotations.push_back(std::move(annotation));
        }
        return annotations;
    }

    static bool Reserved(const std::string& name)
    {
        return name.compare(0, 3, "gl_") == 0 || name.compare(0, 7, "orvala_") == 0;
    }

    void ParseParameter(Token token)
    {
        EffectParameter parameter;
        parameter.location = Where(token.offset);
        while (token.kind == TokenKind::Identifier && (token.text == "shared" || token.text == "uniform")) {
            parameter.shared = parameter.shared || token.text == "shared";
            token = ExpectIdentifier("a type");
        }
        const TypeInfo* type = FindType(token.text);
        if (!type)
            Fail(token, "unknown type \"" + token.text + "\"");
        parameter.cls = type->cls;
        parameter.type = type->type;
        parameter.rows = type->rows;
        parameter.columns = type->columns;
        const Token name = ExpectIdentifier("a parameter name");
        if (Reserved(name.text))
            Fail(name, "names beginning with gl_ or orvala_ are reserved");
        for (const EffectParameter& other : model_.parameters)
            if (other.name == name.text)
                Fail(name, "parameter \"" + name.text + "\" declared twice");
        parameter.name = name.text;
        if (AcceptSymbol("[")) {
            const Token count = Next();
            if (count.kind != TokenKind::Number)
                Fail(count, "an element count expected");
            const double n = ParseNumber(count);
            if (!parameter.IsNumeric())
                Fail(count, "only numbers make arrays");
            if (!(n >= 1 && n <= kEffectMaxArrayElements) || n != static_cast<std::uint32_t>(n))
                Fail(count, "an array has 1 to " + std::to_string(kEffectMaxArrayElements) + " elements");
            parameter.elements = static_cast<std::uint32_t>(n);
            ExpectSymbol("]", "after the element count");
        }
        if (AcceptSymbol(":"))
            parameter.semantic = ExpectIdentifier("a semantic").text;
        parameter.annotations = ParseAnnotations();
        if (AcceptSymbol("=")) {
            const Token at = Peek();
            if (parameter.IsSampler())
                ParseSamplerState(parameter);
            else if (parameter.type == D3DXPT_STRING) {
                const Token value = Next();
                if (value.kind != TokenKind::String)
                    Fail(value, "a string expected");
                parameter.text = value.text;
            } else if (parameter.IsTexture()) {
                Fail(at, "a texture parameter takes no value in the source");
            } else {
                std::vector<double> values;
                ParseValues(values, "the parameter");
                if (values.size() == 1 && parameter.ValueCount() > 1 && parameter.elements == 0)
                    values.assign(parameter.ValueCount(), values[0]);
                if (values.size() != parameter.ValueCount())
                    Fail(at, "parameter \"" + parameter.name + "\" needs " + std::to_string(parameter.ValueCount()) +
                                 " values, not " + std::to_string(values.size()));
                parameter.initial = ToWords(parameter.type, values);
            }
        }
        ExpectSymbol(";", "after the parameter");
        model_.parameters.push_back(std::move(parameter));
    }

    void ParseSamplerState(EffectParameter& parameter)
    {
        const Token keyword = ExpectIdentifier("sampler_state");
        if (keyword.text != "sampler_state")
            Fail(keyword, "a sampler takes sampler_state { ... }");
        ExpectSymbol("{", "after sampler_state");
        while (!AcceptSymbol("}")) {
            const Token name = ExpectIdentifier("a sampler state");
            const EffectStateInfo* info = FindEffectSamplerState(name.text);
            if (!info)
                Fail(name, "unknown sampler state \"" + name.text + "\"");
            ExpectSymbol("=", "after the sampler state");
            if (info->kind == EffectStateKind::Texture) {
                const bool angle = AcceptSymbol("<");
                const bool paren = !angle && AcceptSymbol("(");
                const Token texture = ExpectIdentifier("a texture parameter");
                if (angle)
                    ExpectSymbol(">", "after the texture's name");
                if (paren)
                    ExpectSymbol(")", "after the texture's name");
                std::int32_t index = -1;
                for (std::size_t i = 0; i < model_.parameters.size(); ++i)
                    if (model_.parameters[i].name == texture.text)
                        index = static_cast<std::int32_t>(i);
                if (index < 0 || !model_.parameters[static_cast<std::size_t>(index)].IsTexture())
                    Fail(texture, "\"" + texture.text + "\" is not a texture parameter declared before");
                parameter.samplerTexture = index;
            } else {
                parameter.samplerStates.push_back(
                    {static_cast<D3DSAMPLERSTATETYPE>(info->state), ParseStateValue(*info, name)});
            }
            ExpectSymbol(";", "after the sampler state");
        }
    }

    DWORD ParseStateValue(const EffectStateInfo& info, const Token& at)
    {
        EffectStateValue value;
        const Token& first = Peek();
        if (first.kind == TokenKind::Number || (first.kind == TokenKind::Symbol && first.text == "-")) {
            value.isNumber = true;
            value.number = ParseScalar(info.name);
        } else {
            do
                value.names.push_back(ExpectIdentifier("a state value").text);
            while (AcceptSymbol("|"));
        }
        DWORD out = 0;
        std::string error;
        if (!EffectStateValueToDword(info.kind, value, out, error))
            Fail(at, std::string(info.name) + ": " + error);
        return out;
    }

    // ------------------------------------------------------------------------------------------
    // Code blocks and techniques

    void ParseCode(EffectCodeBlock::Kind kind, const Token& keyword)
    {
        EffectCodeBlock block;
        block.kind = kind;
        block.where = Where(keyword.offset);
        if (kind != EffectCodeBlock::Common) {
            const Token name = ExpectIdentifier("a shader name");
            for (const EffectShader& shader : model_.shaders)
                if (shader.name == name.text)
                    Fail(name, "shader \"" + name.text + "\" declared twice");
            block.name = name.text;
        }
        const Token open = ExpectSymbol("{", "to open the code");
        // The code runs to the matching brace; GLSL has no strings, so braces are all that count.
        std::size_t end = pos_;
        int depth = 1;
        while (end < text_.size() && depth > 0) {
            if (text_[end] == '{')
                ++depth;
            else if (text_[end] == '}')
                --depth;
            if (depth > 0)
                ++end;
        }
        if (depth > 0)
            Fail(open, "code block not closed before the end of the file");
        // Lines of the code, each with its own place.
        std::size_t begin = pos_;
        while (begin < end) {
            std::size_t lineEnd = text_.find('\n', begin);
            if (lineEnd == std::string::npos || lineEnd > end)
                lineEnd = end;
            block.lines.push_back({text_.substr(begin, lineEnd - begin), Where(begin)});
            begin = lineEnd + 1;
        }
        pos_ = end + 1;
        if (kind != EffectCodeBlock::Common) {
            EffectShader shader;
            shader.name = block.name;
            shader.pixel = kind == EffectCodeBlock::Pixel;
            model_.shaders.push_back(std::move(shader));
        }
        blocks_.push_back(std::move(block));
    }

    void ParseTechnique()
    {
        EffectTechnique technique;
        const Token name = ExpectIdentifier("a technique name");
        for (const EffectTechnique& other : model_.techniques)
            if (other.name == name.text)
                Fail(name, "technique \"" + name.text + "\" declared twice");
        technique.name = name.text;
        technique.annotations = ParseAnnotations();
        ExpectSymbol("{", "to open the technique");
        while (!AcceptSymbol("}")) {
            const Token keyword = ExpectIdentifier("pass");
            if (keyword.text != "pass")
                Fail(keyword, "a technique holds passes, not \"" + keyword.text + "\"");
            EffectPass pass;
            if (Peek().kind == TokenKind::Identifier)
                pass.name = Next().text;
            for (const EffectPass& other : technique.passes)
                if (!pass.name.empty() && other.name == pass.name)
                    Fail(keyword, "pass \"" + pass.name + "\" declared twice in technique \"" + technique.name + "\"");
            pass.annotations = ParseAnnotations();
            ExpectSymbol("{", "to open the pass");
            while (!AcceptSymbol("}")) {
                const Token state = ExpectIdentifier("a pass state");
                ExpectSymbol("=", "after the state's name");
                if (state.text == "VertexShader" || state.text == "PixelShader") {
                    const Token shader = ExpectIdentifier("a shader name");
                    const bool pixel = state.text == "PixelShader";
                    shaderRefs_.push_back({technique.name, technique.passes.size(), pixel, shader});
                } else {
                    const EffectStateInfo* info = FindEffectRenderState(state.text);
                    if (!info)
                        Fail(state, "unknown render state \"" + state.text + "\"");
                    const DWORD value = ParseStateValue(*info, state);
                    pass.renderStates.push_back({static_cast<D3DRENDERSTATETYPE>(info->state), value});
                }
                ExpectSymbol(";", "after the pass state");
            }
            technique.passes.push_back(std::move(pass));
        }
        model_.techniques.push_back(std::move(technique));
    }

    void ResolveShaders()
    {
        for (const ShaderRef& ref : shaderRefs_) {
            EffectPass* pass = nullptr;
            for (EffectTechnique& technique : model_.techniques)
                if (technique.name == ref.technique)
                    pass = &technique.passes[ref.pass];
            std::int32_t index = -1;
            if (ref.shader.text != "NULL") {
                for (std::size_t i = 0; i < model_.shaders.size(); ++i)
                    if (model_.shaders[i].name == ref.shader.text)
                        index = static_cast<std::int32_t>(i);
                if (index < 0)
                    Fail(ref.shader, "no shader named \"" + ref.shader.text + "\"");
                if (model_.shaders[static_cast<std::size_t>(index)].pixel != ref.pixel)
                    Fail(ref.shader, "\"" + ref.shader.text + "\" is a " +
                                         (ref.pixel ? "vertex shader, not a pixel shader" : "pixel shader, not a vertex shader"));
            }
            (ref.pixel ? pass->pixelShader : pass->vertexShader) = index;
        }
    }

    struct ShaderRef {
        std::string technique;
        std::size_t pass;
        bool pixel;
        Token shader;
    };

    const PreprocessedEffect& source_;
    EffectModel& model_;
    std::vector<EffectCodeBlock>& blocks_;
    std::string text_;
    std::vector<std::size_t> lineStarts_;
    std::size_t pos_ = 0;
    Token peek_;
    bool peeked_ = false;
    std::vector<ShaderRef> shaderRefs_;
};

} // namespace

bool ParseEffect(const PreprocessedEffect& source, EffectModel& model, std::vector<EffectCodeBlock>& blocks,
                 EffectErrors& errors)
{
    model = EffectModel{};
    model.files = source.files;
    blocks.clear();
    try {
        Parser parser(source, model, blocks);
        parser.Parse();
    } catch (const Failure& failure) {
        const std::string file = failure.where.file < source.files.size() ? source.files[failure.where.file] : "";
        errors.Add(file, failure.where.line, failure.message);
        return false;
    }
    return true;
}

bool CompileEffectSource(const std::string& fileName, const std::string& text, const EffectDefines& defines,
                         const EffectIncludeReader& includes, EffectModel& model, EffectErrors& errors)
{
    PreprocessedEffect preprocessed;
    if (!PreprocessEffect(fileName, text, defines, includes, preprocessed, errors))
        return false;
    std::vector<EffectCodeBlock> blocks;
    if (!ParseEffect(preprocessed, model, blocks, errors))
        return false;
    GenerateEffectShaders(model, blocks);
    std::string error;
    if (!AssignEffectSamplerStages(model, error)) {
        errors.Add(model.files.empty() ? "" : model.files[0], 1, error);
        return false;
    }
    return true;
}
