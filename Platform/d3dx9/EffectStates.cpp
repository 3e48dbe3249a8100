#include "d3dx9/EffectStates.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "d3d9/d3d9types.h"

namespace {

using K = EffectStateKind;

// clang-format off
const EffectStateInfo kRenderStates[] = {
    {"ZEnable", D3DRS_ZENABLE, K::ZBuffer},
    {"FillMode", D3DRS_FILLMODE, K::Fill},
    {"ZWriteEnable", D3DRS_ZWRITEENABLE, K::Bool},
    {"AlphaTestEnable", D3DRS_ALPHATESTENABLE, K::Bool},
    {"SrcBlend", D3DRS_SRCBLEND, K::Blend},
    {"DestBlend", D3DRS_DESTBLEND, K::Blend},
    {"CullMode", D3DRS_CULLMODE, K::Cull},
    {"ZFunc", D3DRS_ZFUNC, K::Compare},
    {"AlphaRef", D3DRS_ALPHAREF, K::Number},
    {"AlphaFunc", D3DRS_ALPHAFUNC, K::Compare},
    {"DitherEnable", D3DRS_DITHERENABLE, K::Bool},
    {"AlphaBlendEnable", D3DRS_ALPHABLENDENABLE, K::Bool},
    {"StencilEnable", D3DRS_STENCILENABLE, K::Bool},
    {"StencilFail", D3DRS_STENCILFAIL, K::StencilOp},
    {"StencilZFail", D3DRS_STENCILZFAIL, K::StencilOp},
    {"StencilPass", D3DRS_STENCILPASS, K::StencilOp},
    {"StencilFunc", D3DRS_STENCILFUNC, K::Compare},
    {"StencilRef", D3DRS_STENCILREF, K::Number},
    {"StencilMask", D3DRS_STENCILMASK, K::Number},
    {"StencilWriteMask", D3DRS_STENCILWRITEMASK, K::Number},
    {"PointSize", D3DRS_POINTSIZE, K::Float},
    {"PointSize_Min", D3DRS_POINTSIZE_MIN, K::Float},
    {"PointSize_Max", D3DRS_POINTSIZE_MAX, K::Float},
    {"PointSpriteEnable", D3DRS_POINTSPRITEENABLE, K::Bool},
    {"PointScaleEnable", D3DRS_POINTSCALEENABLE, K::Bool},
    {"MultiSampleAntialias", D3DRS_MULTISAMPLEANTIALIAS, K::Bool},
    {"MultiSampleMask", D3DRS_MULTISAMPLEMASK, K::Number},
    {"ColorWriteEnable", D3DRS_COLORWRITEENABLE, K::ColorMask},
    {"ColorWriteEnable1", D3DRS_COLORWRITEENABLE1, K::ColorMask},
    {"ColorWriteEnable2", D3DRS_COLORWRITEENABLE2, K::ColorMask},
    {"ColorWriteEnable3", D3DRS_COLORWRITEENABLE3, K::ColorMask},
    {"BlendOp", D3DRS_BLENDOP, K::BlendOp},
    {"ScissorTestEnable", D3DRS_SCISSORTESTENABLE, K::Bool},
    {"SlopeScaleDepthBias", D3DRS_SLOPESCALEDEPTHBIAS, K::Float},
    {"DepthBias", D3DRS_DEPTHBIAS, K::Float},
    {"AntialiasedLineEnable", D3DRS_ANTIALIASEDLINEENABLE, K::Bool},
    {"TwoSidedStencilMode", D3DRS_TWOSIDEDSTENCILMODE, K::Bool},
    {"CCW_StencilFail", D3DRS_CCW_STENCILFAIL, K::StencilOp},
    {"CCW_StencilZFail", D3DRS_CCW_STENCILZFAIL, K::StencilOp},
    {"CCW_StencilPass", D3DRS_CCW_STENCILPASS, K::StencilOp},
    {"CCW_StencilFunc", D3DRS_CCW_STENCILFUNC, K::Compare},
    {"BlendFactor", D3DRS_BLENDFACTOR, K::Number},
    {"SRGBWriteEnable", D3DRS_SRGBWRITEENABLE, K::Bool},
    {"SeparateAlphaBlendEnable", D3DRS_SEPARATEALPHABLENDENABLE, K::Bool},
    {"SrcBlendAlpha", D3DRS_SRCBLENDALPHA, K::Blend},
    {"DestBlendAlpha", D3DRS_DESTBLENDALPHA, K::Blend},
    {"BlendOpAlpha", D3DRS_BLENDOPALPHA, K::BlendOp},
};

const EffectStateInfo kSamplerStates[] = {
    {"Texture", 0, K::Texture},
    {"AddressU", D3DSAMP_ADDRESSU, K::Address},
    {"AddressV", D3DSAMP_ADDRESSV, K::Address},
    {"AddressW", D3DSAMP_ADDRESSW, K::Address},
    {"BorderColor", D3DSAMP_BORDERCOLOR, K::Number},
    {"MagFilter", D3DSAMP_MAGFILTER, K::Filter},
    {"MinFilter", D3DSAMP_MINFILTER, K::Filter},
    {"MipFilter", D3DSAMP_MIPFILTER, K::Filter},
    {"MipMapLodBias", D3DSAMP_MIPMAPLODBIAS, K::Float},
    {"MaxMipLevel", D3DSAMP_MAXMIPLEVEL, K::Number},
    {"MaxAnisotropy", D3DSAMP_MAXANISOTROPY, K::Number},
    {"SRGBTexture", D3DSAMP_SRGBTEXTURE, K::Bool},
};

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

template <std::size_t N>
const EffectStateInfo* FindByName(const EffectStateInfo (&table)[N], const std::string& name)
{
    for (const EffectStateInfo& info : table)
        if (EffectNamesMatch(name, info.name))
            return &info;
    return nullptr;
}

template <std::size_t N>
const EffectStateInfo* FindByValue(const EffectStateInfo (&table)[N], DWORD state)
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
    return FindByName(kRenderStates, name);
}

const EffectStateInfo* FindEffectSamplerState(const std::string& name)
{
    return FindByName(kSamplerStates, name);
}

const EffectStateInfo* FindEffectRenderState(DWORD state)
{
    return FindByValue(kRenderStates, state);
}

const EffectStateInfo* FindEffectSamplerState(DWORD state)
{
    return FindByValue(kSamplerStates, state);
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
