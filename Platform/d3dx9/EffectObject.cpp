#include "d3dx9/EffectObject.h"

#include <zlib.h>

#include <cstring>
#include <set>

#include "d3dx9/EffectStates.h"

namespace {

class Writer {
public:
    void Word(std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void Signed(std::int32_t value) { Word(static_cast<std::uint32_t>(value)); }
    void String(const std::string& text)
    {
        Word(static_cast<std::uint32_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    void Words(const std::vector<std::uint32_t>& words)
    {
        Word(static_cast<std::uint32_t>(words.size()));
        for (std::uint32_t w : words)
            Word(w);
    }
    void Annotations(const std::vector<EffectAnnotation>& annotations)
    {
        Word(static_cast<std::uint32_t>(annotations.size()));
        for (const EffectAnnotation& a : annotations) {
            String(a.name);
            Word(a.type);
            Word(a.columns);
            Words(a.values);
            String(a.text);
        }
    }
    std::vector<std::uint8_t> bytes;
};

struct BadObject {
    std::string message;
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint32_t Word()
    {
        if (size_ - pos_ < 4)
            throw BadObject{"the object ends early"};
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(data_[pos_ + static_cast<std::size_t>(i)]) << (8 * i);
        pos_ += 4;
        return value;
    }
    std::int32_t Signed() { return static_cast<std::int32_t>(Word()); }
    // A count of items that take at least minBytes each.
    std::uint32_t Count(std::size_t minBytes, const char* what)
    {
        const std::uint32_t count = Word();
        if (count > (size_ - pos_) / minBytes)
            throw BadObject{std::string("the count of ") + what + " exceeds the object"};
        return count;
    }
    std::string String(const char* what)
    {
        const std::uint32_t length = Count(1, what);
        std::string text(reinterpret_cast<const char*>(data_ + pos_), length);
        pos_ += length;
        if (text.find('\0') != std::string::npos)
            throw BadObject{std::string(what) + " holds a zero byte"};
        return text;
    }
    std::vector<std::uint32_t> Words(const char* what)
    {
        const std::uint32_t count = Count(4, what);
        std::vector<std::uint32_t> words(count);
        for (std::uint32_t& w : words)
            w = Word();
        return words;
    }
    std::vector<EffectAnnotation> Annotations()
    {
        const std::uint32_t count = Count(20, "annotations");
        std::vector<EffectAnnotation> annotations(count);
        std::set<std::string> names;
        for (EffectAnnotation& a : annotations) {
            a.name = String("an annotation name");
            a.type = static_cast<D3DXPARAMETER_TYPE>(Word());
            a.columns = Word();
            a.values = Words("annotation values");
            a.text = String("an annotation string");
            if (a.name.empty() || !names.insert(a.name).second)
                throw BadObject{"an annotation name is empty or repeated"};
            const bool numeric = a.type == D3DXPT_BOOL || a.type == D3DXPT_INT || a.type == D3DXPT_FLOAT;
            if (numeric ? (a.columns < 1 || a.columns > 4 || a.values.size() != a.columns)
                        : (a.type != D3DXPT_STRING || a.columns != 1 || !a.values.empty()))
                throw BadObject{"annotation \"" + a.name + "\" has a bad type or value"};
        }
        return annotations;
    }
    bool AtEnd() const { return pos_ == size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

bool ValidShape(const EffectParameter& p)
{
    switch (p.cls) {
    case D3DXPC_SCALAR: return p.IsNumeric() && p.rows == 1 && p.columns == 1;
    case D3DXPC_VECTOR: return p.IsNumeric() && p.rows == 1 && p.columns >= 2 && p.columns <= 4;
    case D3DXPC_MATRIX_ROWS:
        return p.type == D3DXPT_FLOAT && ((p.rows == p.columns && p.rows >= 2 && p.rows <= 4) ||
                                          (p.rows == 4 && p.columns == 3) || (p.rows == 3 && p.columns == 4));
    case D3DXPC_OBJECT:
        return (p.type == D3DXPT_STRING || p.IsTexture() || p.IsSampler()) && p.type != D3DXPT_TEXTURE1D &&
               p.rows == 1 && p.columns == 1 && p.elements == 0;
    default: return false;
    }
}

void ReadPayload(Reader& in, EffectModel& model)
{
    const std::uint32_t files = in.Count(4, "files");
    for (std::uint32_t i = 0; i < files; ++i)
        model.files.push_back(in.String("a file name"));
    auto checkPlace = [&](std::uint32_t file) {
        if (file >= model.files.size())
            throw BadObject{"a source place names a file the object lacks"};
    };

    const std::uint32_t parameters = in.Count(64, "parameters");
    std::set<std::string> names;
    for (std::uint32_t i = 0; i < parameters; ++i) {
        EffectParameter p;
        p.name = in.String("a parameter name");
        p.semantic = in.String("a semantic");
        p.cls = static_cast<D3DXPARAMETER_CLASS>(in.Word());
        p.type = static_cast<D3DXPARAMETER_TYPE>(in.Word());
        p.rows = in.Word();
        p.columns = in.Word();
        p.elements = in.Word();
        const std::uint32_t shared = in.Word();
        p.annotations = in.Annotations();
        p.initial = in.Words("initial values");
        p.text = in.String("a string value");
        p.samplerTexture = in.Signed();
        const std::uint32_t states = in.Count(8, "sampler states");
        for (std::uint32_t s = 0; s < states; ++s) {
            const DWORD state = in.Word();
            const DWORD value = in.Word();
            if (!FindEffectSamplerState(state))
                throw BadObject{"parameter \"" + p.name + "\" sets an unknown sampler state"};
            p.samplerStates.push_back({static_cast<D3DSAMPLERSTATETYPE>(state), value});
        }
        p.location.file = in.Word();
        p.location.line = in.Word();
        if (p.name.empty() || !names.insert(p.name).second)
            throw BadObject{"a parameter name is empty or repeated"};
        if (shared > 1 || !ValidShape(p) || p.elements > kEffectMaxArrayElements)
            throw BadObject{"parameter \"" + p.name + "\" has a bad type"};
        p.shared = shared == 1;
        if (!p.initial.empty() && (!p.IsNumeric() || p.initial.size() != p.ValueCount()))
            throw BadObject{"parameter \"" + p.name + "\" has a bad initial value"};
        if (!p.IsSampler() && (p.samplerTexture != -1 || !p.samplerStates.empty()))
            throw BadObject{"parameter \"" + p.name + "\" has sampler states but is no sampler"};
        checkPlace(p.location.file);
        model.parameters.push_back(std::move(p));
    }
    for (const EffectParameter& p : model.parameters)
        if (p.samplerTexture != -1 && (p.samplerTexture < 0 || static_cast<std::size_t>(p.samplerTexture) >= model.parameters.size() ||
                                       !model.parameters[static_cast<std::size_t>(p.samplerTexture)].IsTexture()))
            throw BadObject{"sampler \"" + p.name + "\" names no texture parameter"};

    const std::uint32_t shaders = in.Count(20, "shaders");
    names.clear();
    for (std::uint32_t i = 0; i < shaders; ++i) {
        EffectShader s;
        s.name = in.String("a shader name");
        const std::uint32_t pixel = in.Word();
        s.glsl = in.String("shader code");
        const std::uint32_t lines = in.Count(8, "shader lines");
        for (std::uint32_t l = 0; l < lines; ++l) {
            EffectLocation where;
            where.file = in.Word();
            where.line = in.Word();
            checkPlace(where.file);
            s.lines.push_back(where);
        }
        s.parameters = in.Words("shader parameters");
        if (s.name.empty() || !names.insert(s.name).second || pixel > 1)
            throw BadObject{"a shader name is empty or repeated"};
        s.pixel = pixel == 1;
        for (std::size_t k = 0; k < s.parameters.size(); ++k)
            if (s.parameters[k] >= model.parameters.size() || (k > 0 && s.parameters[k] <= s.parameters[k - 1]))
                throw BadObject{"shader \"" + s.name + "\" reads parameters the object lacks"};
        model.shaders.push_back(std::move(s));
    }

    const std::uint32_t techniques = in.Count(12, "techniques");
    names.clear();
    for (std::uint32_t i = 0; i < techniques; ++i) {
        EffectTechnique t;
        t.name = in.String("a technique name");
        t.annotations = in.Annotations();
        if (t.name.empty() || !names.insert(t.name).second)
            throw BadObject{"a technique name is empty or repeated"};
        const std::uint32_t passes = in.Count(20, "passes");
        for (std::uint32_t k = 0; k < passes; ++k) {
            EffectPass pass;
            pass.name = in.String("a pass name");
            pass.annotations = in.Annotations();
            const std::uint32_t states = in.Count(8, "render states");
            for (std::uint32_t s = 0; s < states; ++s) {
                const DWORD state = in.Word();
                const DWORD value = in.Word();
                if (!FindEffectRenderState(state))
                    throw BadObject{"technique \"" + t.name + "\" sets an unknown render state"};
                pass.renderStates.push_back({static_cast<D3DRENDERSTATETYPE>(state), value});
            }
            pass.vertexShader = in.Signed();
            pass.pixelShader = in.Signed();
            for (int stage = 0; stage < 2; ++stage) {
                const bool pixel = stage == 1;
                const std::int32_t shader = pixel ? pass.pixelShader : pass.vertexShader;
                if (shader != -1 && (shader < 0 || static_cast<std::size_t>(shader) >= model.shaders.size() ||
                                     model.shaders[static_cast<std::size_t>(shader)].pixel != pixel))
                    throw BadObject{"technique \"" + t.name + "\" names a shader the object lacks"};
            }
            t.passes.push_back(std::move(pass));
        }
        model.techniques.push_back(std::move(t));
    }
    if (!in.AtEnd())
        throw BadObject{"bytes follow the effect"};
}

} // namespace

bool IsEffectObject(const void* data, std::size_t size)
{
    return data != nullptr && size >= 4 && std::memcmp(data, kEffectObjectMagic, 4) == 0;
}

std::vector<std::uint8_t> WriteEffectObject(const EffectModel& model)
{
    Writer payload;
    payload.Word(static_cast<std::uint32_t>(model.files.size()));
    for (const std::string& file : model.files)
        payload.String(file);
    payload.Word(static_cast<std::uint32_t>(model.parameters.size()));
    for (const EffectParameter& p : model.parameters) {
        payload.String(p.name);
        payload.String(p.semantic);
        payload.Word(p.cls);
        payload.Word(p.type);
        payload.Word(p.rows);
        payload.Word(p.columns);
        payload.Word(p.elements);
        payload.Word(p.shared ? 1 : 0);
        payload.Annotations(p.annotations);
        payload.Words(p.initial);
        payload.String(p.text);
        payload.Signed(p.samplerTexture);
        payload.Word(static_cast<std::uint32_t>(p.samplerStates.size()));
        for (const EffectSamplerState& s : p.samplerStates) {
            payload.Word(s.state);
            payload.Word(s.value);
        }
        payload.Word(p.location.file);
        payload.Word(p.location.line);
    }
    payload.Word(static_cast<std::uint32_t>(model.shaders.size()));
    for (const EffectShader& s : model.shaders) {
        payload.String(s.name);
        payload.Word(s.pixel ? 1 : 0);
        payload.String(s.glsl);
        payload.Word(static_cast<std::uint32_t>(s.lines.size()));
        for (const EffectLocation& where : s.lines) {
            payload.Word(where.file);
            payload.Word(where.line);
        }
        payload.Words(s.parameters);
    }
    payload.Word(static_cast<std::uint32_t>(model.techniques.size()));
    for (const EffectTechnique& t : model.techniques) {
        payload.String(t.name);
        payload.Annotations(t.annotations);
        payload.Word(static_cast<std::uint32_t>(t.passes.size()));
        for (const EffectPass& pass : t.passes) {
            payload.String(pass.name);
            payload.Annotations(pass.annotations);
            payload.Word(static_cast<std::uint32_t>(pass.renderStates.size()));
            for (const EffectRenderState& s : pass.renderStates) {
                payload.Word(s.state);
                payload.Word(s.value);
            }
            payload.Signed(pass.vertexShader);
            payload.Signed(pass.pixelShader);
        }
    }
    Writer file;
    file.bytes.assign(kEffectObjectMagic, kEffectObjectMagic + 4);
    file.Word(kEffectObjectVersion);
    file.Word(static_cast<std::uint32_t>(payload.bytes.size()));
    file.Word(static_cast<std::uint32_t>(crc32(0L, payload.bytes.data(), static_cast<uInt>(payload.bytes.size()))));
    file.bytes.insert(file.bytes.end(), payload.bytes.begin(), payload.bytes.end());
    return file.bytes;
}

bool ReadEffectObject(const void* data, std::size_t size, EffectModel& model, std::string& error)
{
    model = EffectModel{};
    if (!IsEffectObject(data, size)) {
        error = "not an effect object";
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    try {
        Reader header(bytes, std::min<std::size_t>(size, 16));
        header.Word();
        const std::uint32_t version = header.Word();
        if (version != kEffectObjectVersion)
            throw BadObject{"effect object version " + std::to_string(version) + " (this program reads version " +
                            std::to_string(kEffectObjectVersion) + ")"};
        const std::uint32_t payloadSize = header.Word();
        const std::uint32_t checksum = header.Word();
        if (payloadSize != size - 16)
            throw BadObject{"the object is " + std::to_string(size) + " bytes; its header says " +
                            std::to_string(payloadSize + 16ull)};
        if (crc32(0L, bytes + 16, static_cast<uInt>(payloadSize)) != checksum)
            throw BadObject{"the object's checksum does not match: the file is damaged"};
        Reader payload(bytes + 16, payloadSize);
        ReadPayload(payload, model);
        if (!AssignEffectSamplerStages(model, error))
            throw BadObject{error};
    } catch (const BadObject& bad) {
        error = bad.message;
        model = EffectModel{};
        return false;
    }
    return true;
}
