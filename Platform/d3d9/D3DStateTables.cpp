#include "d3d9/D3DStateTables.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace {

using K = D3DStateKind;

constexpr DWORD kOne = 0x3f800000u;       // 1.0f
constexpr DWORD kSixtyFour = 0x42800000u; // 64.0f

// clang-format off
const D3DStateEntry kRenderStates[] = {
    {D3DRS_ZENABLE, "D3DRS_ZENABLE", D3DZB_TRUE, "ZEnable", K::ZBuffer},
    {D3DRS_FILLMODE, "D3DRS_FILLMODE", D3DFILL_SOLID, "FillMode", K::Fill},
    {D3DRS_SHADEMODE, "D3DRS_SHADEMODE", D3DSHADE_GOURAUD, nullptr, K::Number},
    {D3DRS_ZWRITEENABLE, "D3DRS_ZWRITEENABLE", TRUE, "ZWriteEnable", K::Bool},
    {D3DRS_ALPHATESTENABLE, "D3DRS_ALPHATESTENABLE", FALSE, "AlphaTestEnable", K::Bool},
    {D3DRS_LASTPIXEL, "D3DRS_LASTPIXEL", TRUE, nullptr, K::Number},
    {D3DRS_SRCBLEND, "D3DRS_SRCBLEND", D3DBLEND_ONE, "SrcBlend", K::Blend},
    {D3DRS_DESTBLEND, "D3DRS_DESTBLEND", D3DBLEND_ZERO, "DestBlend", K::Blend},
    {D3DRS_CULLMODE, "D3DRS_CULLMODE", D3DCULL_CCW, "CullMode", K::Cull},
    {D3DRS_ZFUNC, "D3DRS_ZFUNC", D3DCMP_LESSEQUAL, "ZFunc", K::Compare},
    {D3DRS_ALPHAREF, "D3DRS_ALPHAREF", 0, "AlphaRef", K::Number},
    {D3DRS_ALPHAFUNC, "D3DRS_ALPHAFUNC", D3DCMP_ALWAYS, "AlphaFunc", K::Compare},
    {D3DRS_DITHERENABLE, "D3DRS_DITHERENABLE", FALSE, "DitherEnable", K::Bool},
    {D3DRS_ALPHABLENDENABLE, "D3DRS_ALPHABLENDENABLE", FALSE, "AlphaBlendEnable", K::Bool},
    {D3DRS_FOGENABLE, "D3DRS_FOGENABLE", FALSE, nullptr, K::Bool},
    {D3DRS_SPECULARENABLE, "D3DRS_SPECULARENABLE", FALSE, nullptr, K::Bool},
    {D3DRS_FOGCOLOR, "D3DRS_FOGCOLOR", 0, nullptr, K::Number},
    {D3DRS_FOGTABLEMODE, "D3DRS_FOGTABLEMODE", D3DFOG_NONE, nullptr, K::Number},
    {D3DRS_FOGSTART, "D3DRS_FOGSTART", 0, nullptr, K::Float},
    {D3DRS_FOGEND, "D3DRS_FOGEND", kOne, nullptr, K::Float},
    {D3DRS_FOGDENSITY, "D3DRS_FOGDENSITY", kOne, nullptr, K::Float},
    {D3DRS_RANGEFOGENABLE, "D3DRS_RANGEFOGENABLE", FALSE, nullptr, K::Bool},
    {D3DRS_STENCILENABLE, "D3DRS_STENCILENABLE", FALSE, "StencilEnable", K::Bool},
    {D3DRS_STENCILFAIL, "D3DRS_STENCILFAIL", D3DSTENCILOP_KEEP, "StencilFail", K::StencilOp},
    {D3DRS_STENCILZFAIL, "D3DRS_STENCILZFAIL", D3DSTENCILOP_KEEP, "StencilZFail", K::StencilOp},
    {D3DRS_STENCILPASS, "D3DRS_STENCILPASS", D3DSTENCILOP_KEEP, "StencilPass", K::StencilOp},
    {D3DRS_STENCILFUNC, "D3DRS_STENCILFUNC", D3DCMP_ALWAYS, "StencilFunc", K::Compare},
    {D3DRS_STENCILREF, "D3DRS_STENCILREF", 0, "StencilRef", K::Number},
    {D3DRS_STENCILMASK, "D3DRS_STENCILMASK", 0xFFFFFFFFu, "StencilMask", K::Number},
    {D3DRS_STENCILWRITEMASK, "D3DRS_STENCILWRITEMASK", 0xFFFFFFFFu, "StencilWriteMask", K::Number},
    {D3DRS_TEXTUREFACTOR, "D3DRS_TEXTUREFACTOR", 0xFFFFFFFFu, nullptr, K::Number},
    {D3DRS_WRAP0, "D3DRS_WRAP0", 0, nullptr, K::Number},
    {D3DRS_WRAP1, "D3DRS_WRAP1", 0, nullptr, K::Number},
    {D3DRS_WRAP2, "D3DRS_WRAP2", 0, nullptr, K::Number},
    {D3DRS_WRAP3, "D3DRS_WRAP3", 0, nullptr, K::Number},
    {D3DRS_WRAP4, "D3DRS_WRAP4", 0, nullptr, K::Number},
    {D3DRS_WRAP5, "D3DRS_WRAP5", 0, nullptr, K::Number},
    {D3DRS_WRAP6, "D3DRS_WRAP6", 0, nullptr, K::Number},
    {D3DRS_WRAP7, "D3DRS_WRAP7", 0, nullptr, K::Number},
    {D3DRS_CLIPPING, "D3DRS_CLIPPING", TRUE, nullptr, K::Number},
    {D3DRS_LIGHTING, "D3DRS_LIGHTING", TRUE, nullptr, K::Number},
    {D3DRS_AMBIENT, "D3DRS_AMBIENT", 0, nullptr, K::Number},
    {D3DRS_FOGVERTEXMODE, "D3DRS_FOGVERTEXMODE", D3DFOG_NONE, nullptr, K::Number},
    {D3DRS_COLORVERTEX, "D3DRS_COLORVERTEX", TRUE, nullptr, K::Number},
    {D3DRS_LOCALVIEWER, "D3DRS_LOCALVIEWER", TRUE, nullptr, K::Number},
    {D3DRS_NORMALIZENORMALS, "D3DRS_NORMALIZENORMALS", FALSE, nullptr, K::Number},
    {D3DRS_DIFFUSEMATERIALSOURCE, "D3DRS_DIFFUSEMATERIALSOURCE", D3DMCS_COLOR1, nullptr, K::Number},
    {D3DRS_SPECULARMATERIALSOURCE, "D3DRS_SPECULARMATERIALSOURCE", D3DMCS_COLOR2, nullptr, K::Number},
    {D3DRS_AMBIENTMATERIALSOURCE, "D3DRS_AMBIENTMATERIALSOURCE", D3DMCS_MATERIAL, nullptr, K::Number},
    {D3DRS_EMISSIVEMATERIALSOURCE, "D3DRS_EMISSIVEMATERIALSOURCE", D3DMCS_MATERIAL, nullptr, K::Number},
    {D3DRS_VERTEXBLEND, "D3DRS_VERTEXBLEND", 0, nullptr, K::Number},
    {D3DRS_CLIPPLANEENABLE, "D3DRS_CLIPPLANEENABLE", 0, nullptr, K::Bool},
    {D3DRS_POINTSIZE, "D3DRS_POINTSIZE", kOne, "PointSize", K::Float},
    {D3DRS_POINTSIZE_MIN, "D3DRS_POINTSIZE_MIN", kOne, "PointSize_Min", K::Float},
    {D3DRS_POINTSPRITEENABLE, "D3DRS_POINTSPRITEENABLE", FALSE, "PointSpriteEnable", K::Bool},
    {D3DRS_POINTSCALEENABLE, "D3DRS_POINTSCALEENABLE", FALSE, "PointScaleEnable", K::Bool},
    {D3DRS_POINTSCALE_A, "D3DRS_POINTSCALE_A", kOne, nullptr, K::Float},
    {D3DRS_POINTSCALE_B, "D3DRS_POINTSCALE_B", 0, nullptr, K::Float},
    {D3DRS_POINTSCALE_C, "D3DRS_POINTSCALE_C", 0, nullptr, K::Float},
    {D3DRS_MULTISAMPLEANTIALIAS, "D3DRS_MULTISAMPLEANTIALIAS", TRUE, "MultiSampleAntialias", K::Bool},
    {D3DRS_MULTISAMPLEMASK, "D3DRS_MULTISAMPLEMASK", 0xFFFFFFFFu, "MultiSampleMask", K::Number},
    {D3DRS_PATCHEDGESTYLE, "D3DRS_PATCHEDGESTYLE", 0, nullptr, K::Number},
    {D3DRS_DEBUGMONITORTOKEN, "D3DRS_DEBUGMONITORTOKEN", D3DDMT_ENABLE, nullptr, K::Number},
    {D3DRS_POINTSIZE_MAX, "D3DRS_POINTSIZE_MAX", kSixtyFour, "PointSize_Max", K::Float},
    {D3DRS_INDEXEDVERTEXBLENDENABLE, "D3DRS_INDEXEDVERTEXBLENDENABLE", FALSE, nullptr, K::Bool},
    {D3DRS_COLORWRITEENABLE, "D3DRS_COLORWRITEENABLE", 0xF, "ColorWriteEnable", K::ColorMask},
    {D3DRS_TWEENFACTOR, "D3DRS_TWEENFACTOR", 0, nullptr, K::Float},
    {D3DRS_BLENDOP, "D3DRS_BLENDOP", D3DBLENDOP_ADD, "BlendOp", K::BlendOp},
    {D3DRS_POSITIONDEGREE, "D3DRS_POSITIONDEGREE", 3, nullptr, K::Number},  // D3DDEGREE_CUBIC
    {D3DRS_NORMALDEGREE, "D3DRS_NORMALDEGREE", 1, nullptr, K::Number},      // D3DDEGREE_LINEAR
    {D3DRS_SCISSORTESTENABLE, "D3DRS_SCISSORTESTENABLE", FALSE, "ScissorTestEnable", K::Bool},
    {D3DRS_SLOPESCALEDEPTHBIAS, "D3DRS_SLOPESCALEDEPTHBIAS", 0, "SlopeScaleDepthBias", K::Float},
    {D3DRS_ANTIALIASEDLINEENABLE, "D3DRS_ANTIALIASEDLINEENABLE", FALSE, "AntialiasedLineEnable", K::Bool},
    {D3DRS_MINTESSELLATIONLEVEL, "D3DRS_MINTESSELLATIONLEVEL", kOne, nullptr, K::Float},
    {D3DRS_MAXTESSELLATIONLEVEL, "D3DRS_MAXTESSELLATIONLEVEL", kOne, nullptr, K::Float},
    {D3DRS_ADAPTIVETESS_X, "D3DRS_ADAPTIVETESS_X", 0, nullptr, K::Float},
    {D3DRS_ADAPTIVETESS_Y, "D3DRS_ADAPTIVETESS_Y", 0, nullptr, K::Float},
    {D3DRS_ADAPTIVETESS_Z, "D3DRS_ADAPTIVETESS_Z", kOne, nullptr, K::Float},
    {D3DRS_ADAPTIVETESS_W, "D3DRS_ADAPTIVETESS_W", 0, nullptr, K::Float},
    {D3DRS_ENABLEADAPTIVETESSELLATION, "D3DRS_ENABLEADAPTIVETESSELLATION", FALSE, nullptr, K::Bool},
    {D3DRS_TWOSIDEDSTENCILMODE, "D3DRS_TWOSIDEDSTENCILMODE", FALSE, "TwoSidedStencilMode", K::Bool},
    {D3DRS_CCW_STENCILFAIL, "D3DRS_CCW_STENCILFAIL", D3DSTENCILOP_KEEP, "CCW_StencilFail", K::StencilOp},
    {D3DRS_CCW_STENCILZFAIL, "D3DRS_CCW_STENCILZFAIL", D3DSTENCILOP_KEEP, "CCW_StencilZFail", K::StencilOp},
    {D3DRS_CCW_STENCILPASS, "D3DRS_CCW_STENCILPASS", D3DSTENCILOP_KEEP, "CCW_StencilPass", K::StencilOp},
    {D3DRS_CCW_STENCILFUNC, "D3DRS_CCW_STENCILFUNC", D3DCMP_ALWAYS, "CCW_StencilFunc", K::Compare},
    {D3DRS_COLORWRITEENABLE1, "D3DRS_COLORWRITEENABLE1", 0xF, "ColorWriteEnable1", K::ColorMask},
    {D3DRS_COLORWRITEENABLE2, "D3DRS_COLORWRITEENABLE2", 0xF, "ColorWriteEnable2", K::ColorMask},
    {D3DRS_COLORWRITEENABLE3, "D3DRS_COLORWRITEENABLE3", 0xF, "ColorWriteEnable3", K::ColorMask},
    {D3DRS_BLENDFACTOR, "D3DRS_BLENDFACTOR", 0xFFFFFFFFu, "BlendFactor", K::Number},
    {D3DRS_SRGBWRITEENABLE, "D3DRS_SRGBWRITEENABLE", 0, "SRGBWriteEnable", K::Bool},
    {D3DRS_DEPTHBIAS, "D3DRS_DEPTHBIAS", 0, "DepthBias", K::Float},
    {D3DRS_WRAP8, "D3DRS_WRAP8", 0, nullptr, K::Number},
    {D3DRS_WRAP9, "D3DRS_WRAP9", 0, nullptr, K::Number},
    {D3DRS_WRAP10, "D3DRS_WRAP10", 0, nullptr, K::Number},
    {D3DRS_WRAP11, "D3DRS_WRAP11", 0, nullptr, K::Number},
    {D3DRS_WRAP12, "D3DRS_WRAP12", 0, nullptr, K::Number},
    {D3DRS_WRAP13, "D3DRS_WRAP13", 0, nullptr, K::Number},
    {D3DRS_WRAP14, "D3DRS_WRAP14", 0, nullptr, K::Number},
    {D3DRS_WRAP15, "D3DRS_WRAP15", 0, nullptr, K::Number},
    {D3DRS_SEPARATEALPHABLENDENABLE, "D3DRS_SEPARATEALPHABLENDENABLE", FALSE, "SeparateAlphaBlendEnable", K::Bool},
    {D3DRS_SRCBLENDALPHA, "D3DRS_SRCBLENDALPHA", D3DBLEND_ONE, "SrcBlendAlpha", K::Blend},
    {D3DRS_DESTBLENDALPHA, "D3DRS_DESTBLENDALPHA", D3DBLEND_ZERO, "DestBlendAlpha", K::Blend},
    {D3DRS_BLENDOPALPHA, "D3DRS_BLENDOPALPHA", D3DBLENDOP_ADD, "BlendOpAlpha", K::BlendOp},
};

const D3DStateEntry kSamplerStates[] = {
    {D3DSAMP_ADDRESSU, "D3DSAMP_ADDRESSU", D3DTADDRESS_WRAP, "AddressU", K::Address},
    {D3DSAMP_ADDRESSV, "D3DSAMP_ADDRESSV", D3DTADDRESS_WRAP, "AddressV", K::Address},
    {D3DSAMP_ADDRESSW, "D3DSAMP_ADDRESSW", D3DTADDRESS_WRAP, "AddressW", K::Address},
    {D3DSAMP_BORDERCOLOR, "D3DSAMP_BORDERCOLOR", 0, "BorderColor", K::Number},
    {D3DSAMP_MAGFILTER, "D3DSAMP_MAGFILTER", D3DTEXF_POINT, "MagFilter", K::Filter},
    {D3DSAMP_MINFILTER, "D3DSAMP_MINFILTER", D3DTEXF_POINT, "MinFilter", K::Filter},
    {D3DSAMP_MIPFILTER, "D3DSAMP_MIPFILTER", D3DTEXF_NONE, "MipFilter", K::Filter},
    {D3DSAMP_MIPMAPLODBIAS, "D3DSAMP_MIPMAPLODBIAS", 0, "MipMapLodBias", K::Float},
    {D3DSAMP_MAXMIPLEVEL, "D3DSAMP_MAXMIPLEVEL", 0, "MaxMipLevel", K::Number},
    {D3DSAMP_MAXANISOTROPY, "D3DSAMP_MAXANISOTROPY", 1, "MaxAnisotropy", K::Number},
    {D3DSAMP_SRGBTEXTURE, "D3DSAMP_SRGBTEXTURE", 0, "SRGBTexture", K::Bool},
    {D3DSAMP_ELEMENTINDEX, "D3DSAMP_ELEMENTINDEX", 0, nullptr, K::Number},
    {D3DSAMP_DMAPOFFSET, "D3DSAMP_DMAPOFFSET", 0, nullptr, K::Number},
};
// clang-format on

// Direct lookup by value: the index into the table plus one, 0 for an unknown value.
template <std::size_t Bound, std::size_t N>
std::array<unsigned char, Bound> MakeIndex(const D3DStateEntry (&table)[N])
{
    static_assert(N < 255, "index entries are bytes");
    std::array<unsigned char, Bound> index{};
    for (std::size_t i = 0; i < N; ++i) {
        index[table[i].state] = static_cast<unsigned char>(i + 1);
    }
    return index;
}

const std::array<unsigned char, kD3DRenderStateBound> kRenderIndex = MakeIndex<kD3DRenderStateBound>(kRenderStates);
const std::array<unsigned char, kD3DSamplerStateBound> kSamplerIndex =
    MakeIndex<kD3DSamplerStateBound>(kSamplerStates);

} // namespace

const D3DStateEntry* FindD3DRenderState(DWORD state)
{
    if (state >= kD3DRenderStateBound || kRenderIndex[state] == 0) {
        return nullptr;
    }
    return &kRenderStates[kRenderIndex[state] - 1];
}

const D3DStateEntry* FindD3DSamplerState(DWORD state)
{
    if (state >= kD3DSamplerStateBound || kSamplerIndex[state] == 0) {
        return nullptr;
    }
    return &kSamplerStates[kSamplerIndex[state] - 1];
}

const D3DStateEntry* D3DRenderStates(std::size_t& count)
{
    count = std::size(kRenderStates);
    return kRenderStates;
}

const D3DStateEntry* D3DSamplerStates(std::size_t& count)
{
    count = std::size(kSamplerStates);
    return kSamplerStates;
}

void FillD3DDefaultRenderStates(DWORD* states, bool autoDepthStencil)
{
    std::fill(states, states + kD3DRenderStateBound, 0u);
    for (const D3DStateEntry& entry : kRenderStates) {
        states[entry.state] = entry.defaultValue;
    }
    states[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
}

void FillD3DDefaultSamplerStates(DWORD* states)
{
    std::fill(states, states + kD3DSamplerStateBound, 0u);
    for (const D3DStateEntry& entry : kSamplerStates) {
        states[entry.state] = entry.defaultValue;
    }
}
