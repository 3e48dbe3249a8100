#include "d3dx9/EffectStates.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "d3d9/d3d9types.h"

namespace {

using K = EffectStateKind;

// The effect language's names for the device states, read from the device's state table;
// sampler_state blocks also take the texture they sample.
std::vector<EffectStateInfo> EffectStates(const D3DStateEntry* entries, std::size_t count, bool withTexture)
{
    std::vector<EffectStateInfo> states;
    if (withTexture)
        states.push_back({"Texture", 0, K::Texture});
    for (std::size_t i = 0; i < count; ++i)
        if (entries[i].effectName != nullptr)
            states.push_back({entries[i].effectName, entries[i].state, entries[i].kind});
    return states;
}

const std::vector<EffectStateInfo>& RenderStates()
{
    static const std::vector<EffectStateInfo> states = [] {
        std::size_t count = 0;
        const D3DStateEntry* entries = D3DRenderStates(count);
        return EffectStates(entries, count, false);
    }();
    return states;
}

const std::vector<EffectStateInfo>& SamplerStates()
{
    static const std::vector<EffectStateInfo> states = [] {
        std::size_t count = 0;
        const D3DStateEntry* entries = D3DSamplerStates(count);
        return EffectStates(entries, count, true);
    }();
    return states;
}

// clang-format off
struct ValueName {
    K kind;
    const char* name;
    DWORD value;
};

const ValueName kValueNames[] = {
    {K::Bool, "FALSE", 0}, {K::Bool, "TRUE", 1},
    {K::ZBuffer, "FALSE", D3DZB_FALSE}, {K::ZBuffer, "TRUE", D3DZB_TRUE}, {K::ZBuffer, "USEW", D3DZB_USEW},
    {K::Compare, "NEVER", D3DCMP_NEVER}, {K::Compare, "LESS", D3DCMP_LESS}, {K::Compare, "EQUAL", D3DCMP_EQUAL},
    {K::Compare, "LESSEQUAL", D3DCMP_LESSEQUAL}, {K::Compare, "GREATER", D3DCMP_GREATER},
    {K::Compare, "NOTEQUAL", D3DCMP_NOTEQUAL}, {K::Compare, "GREATEREQUAL", D3DCMP_GREATEREQUAL},
    {K::Compare, "ALWAYS", D3DCMP_ALWAYS},
    {K::Blend, "ZERO", D3DBLEND_ZERO}, {K::Blend, "ONE", D3DBLEND_ONE}, {K::Blend, "SRCCOLOR", D3DBLEND_SRCCOLOR},
    {K::Blend, "INVSRCCOLOR", D3DBLEND_INVSRCCOLOR}, {K::Blend, "SRCALPHA", D3DBLEND_SRCALPHA},
    {K::Blend, "INVSRCALPHA", D3DBLEND_INVSRCALPHA}, {K::Blend, "DESTALPHA", D3DBLEND_DESTALPHA},
    {K::Blend, "INVDESTALPHA", D3DBLEND_INVDESTALPHA}, {K::Blend, "DESTCOLOR", D3DBLEND_DESTCOLOR},
    {K::Blend, "INVDESTCOLOR", D3DBLEND_INVDESTCOLOR}, {K::Blend, "SRCALPHASAT", D3DBLEND_SRCALPHASAT},
    {K::Blend, "BOTHSRCALPHA", D3DBLEND_BOTHSRCALPHA}, {K::Blend, "BOTHINVSRCALPHA", D3DBLEND_BOTHINVSRCALPHA},
    {K::Blend, "BLENDFACTOR", D3DBLEND_BLENDFACTOR}, {K::Blend, "INVBLENDFACTOR", D3DBLEND_INVBLENDFACTOR},
    {K::BlendOp, "ADD", D3DBLENDOP_ADD}, {K::BlendOp, "SUBTRACT", D3DBLENDOP_SUBTRACT},
    {K::BlendOp, "REVSUBTRACT", D3DBLENDOP_REVSUBTRACT}, {K::BlendOp, "MIN", D3DBLENDOP_MIN},
    {K::BlendOp, "MAX", D3DBLENDOP_MAX},
    {K::Cull, "NONE", D3DCULL_NONE}, {K::Cull, "CW", D3DCULL_CW}, {K::Cull, "CCW", D3DCULL_CCW},
    {K::Fill, "POINT", D3DFILL_POINT}, {K::Fill, "WIREFRAME", D3DFILL_WIREFRAME}, {K::Fill, "SOLID", D3DFILL_SOLID},
    {K::StencilOp, "KEEP", D3DSTENCILOP_KEEP}, {K::StencilOp, "ZERO", D3DSTENCILOP_ZERO},
    {K::StencilOp, "REPLACE", D3DSTENCILOP_REPLACE}, {K::StencilOp, "INCRSAT", D3DSTENCILOP_INCRSAT},
    {K::StencilOp, "DECRSAT", D3DSTENCILOP_DECRSAT}, {K::StencilOp, "INVERT", D3DSTENCILOP_INVERT},
    {K::StencilOp, "INCR", D3DSTENCILOP_INCR}, {K::StencilOp, "DECR", D3DSTENCILOP_DECR},
    {K::ColorMask, "RED", D3DCOLORWRITEENABLE_RED}, {K::ColorMask, "GREEN", D3DCOLORWRITEENABLE_GREEN},
    {K::ColorMask, "BLUE", D3DCOLORWRITEENABLE_BLUE}, {K::ColorMask, "ALPHA", D3DCOLORWRITEENABLE_ALPHA},
    {K::Filter, "NONE", D3DTEXF_NONE}, {K::Filter, "POINT", D3DTEXF_POINT}, {K::Filter, "LINEAR", D3DTEXF_LINEAR},
    {K::Filter, "ANISOTROPIC", D3DTEXF_ANISOTROPIC},
    {K::Address, "WRAP", D3DTADDRESS_WRAP}, {K::Address, "MIRROR", D3DTADDRESS_MIRROR},
    {K::Address, "CLAMP", D3DTADDRESS_CLAMP}, {K::Address, "BORDER", D3DTADDRESS_BORDER},
    {K::Address, "MIRRORONCE", D3DTADDRESS_MIRRORONCE},
};
// clang-format on

} // namespace

bool EffectNamesMatch(const std::string& a, const char* b)
{
    const std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

namespace {

const EffectStateInfo* FindByName(const std::vector<EffectStateInfo>& table, const std::string& name)
{
    for (const EffectStateInfo& info : table)
        if (EffectNamesMatch(name, info.name))
            return &info;
    return nullptr;
}

const EffectStateInfo* FindByValue(const std::vector<EffectStateInfo>& table, DWORD state)
{
    for (const EffectStateInfo& info : table)
        if (info.kind != K::Texture && info.state == state)
            return &info;
    return nullptr;
}

// D3DCMP_LESSEQUAL -> LESSEQUAL; D3DZB_TRUE -> TRUE.
std::string WithoutPrefix(const std::string& name)
{
    if (name.size() > 4 && EffectNamesMatch(name.substr(0, 3), "D3D")) {
        const std::size_t underscore = name.find('_');
        if (underscore != std::string::npos)
            return name.substr(underscore + 1);
    }
    return name;
}

bool FindValueName(K kind, const std::string& written, DWORD& value)
{
    const std::string name = WithoutPrefix(written);
    for (const ValueName& entry : kValueNames)
        if (entry.kind == kind && EffectNamesMatch(name, entry.name)) {
            value = entry.value;
            return true;
        }
    return false;
}

} // namespace

const EffectStateInfo* FindEffectRenderState(const std::string& name)
{
    return FindByName(RenderStates(), name);
}

const EffectStateInfo* FindEffectSamplerState(const std::string& name)
{
    return FindByName(SamplerStates(), name);
}

const EffectStateInfo* FindEffectRenderState(DWORD state)
{
    return FindByValue(RenderStates(), state);
}

const EffectStateInfo* FindEffectSamplerState(DWORD state)
{
    return FindByValue(SamplerStates(), state);
}

bool EffectStateValueToDword(EffectStateKind kind, const EffectStateValue& value, DWORD& out, std::string& error)
{
    if (kind == K::Texture) {
        error = "a texture state takes a texture parameter";
        return false;
    }
    if (value.isNumber) {
        if (kind == K::Float) {
            const float f = static_cast<float>(value.number);
            std::memcpy(&out, &f, sizeof out);
            return true;
        }
        if (!(value.number >= 0 && value.number <= 4294967295.0) || std::floor(value.number) != value.number) {
            error = "a whole number from 0 to 0xFFFFFFFF is needed";
            return false;
        }
        out = static_cast<DWORD>(value.number);
        return true;
    }
    if (value.names.size() != 1 && kind != K::ColorMask) {
        error = "one value is needed";
        return false;
    }
    out = 0;
    for (const std::string& name : value.names) {
        DWORD part = 0;
        if (!FindValueName(kind, name, part)) {
            error = "\"" + name + "\" is not a value of this state";
            return false;
        }
        out |= part;
    }
    return true;
}

std::string EffectStateValueName(EffectStateKind kind, DWORD value)
{
    char text[32];
    if (kind == K::Float) {
        float f;
        std::memcpy(&f, &value, sizeof f);
        std::snprintf(text, sizeof text, "%g", static_cast<double>(f));
        return text;
    }
    if (kind == K::ColorMask) {
        std::string names;
        DWORD covered = 0;
        for (const ValueName& entry : kValueNames)
            if (entry.kind == kind && (value & entry.value)) {
                names += (names.empty() ? "" : " | ") + std::string(entry.name);
                covered |= entry.value;
            }
        if (covered == value && !names.empty())
            return names;
    } else if (kind != K::Number) {
        for (const ValueName& entry : kValueNames)
            if (entry.kind == kind && entry.value == value)
                return entry.name;
    }
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(value));
    return text;
}
