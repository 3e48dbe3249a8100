#pragma once
// The Direct3D 9 types: enumerations, structures, flags and macros, with the names and numeric
// values of the Direct3D 9 headers. Enumerations have a fixed underlying type: 32 bits, so every
// value the API can pass is representable (the D3DX "from file" format, for instance), except the
// D3DDECL* enumerations, which are bytes as in D3DVERTEXELEMENT9.
#include "win32/WinTypes.h"

// ---------------------------------------------------------------------------------------------
// Colours

using D3DCOLOR = DWORD;

// Packs 8-bit channels into a D3DCOLOR: alpha in the top byte, then red, green, blue.
#define D3DCOLOR_ARGB(a, r, g, b)                                                                    \
    ((D3DCOLOR)((((DWORD)(a) & 0xffu) << 24) | (((DWORD)(r) & 0xffu) << 16) |                          \
                (((DWORD)(g) & 0xffu) << 8) | ((DWORD)(b) & 0xffu)))
#define D3DCOLOR_RGBA(r, g, b, a) D3DCOLOR_ARGB(a, r, g, b)
#define D3DCOLOR_XRGB(r, g, b) D3DCOLOR_ARGB(0xff, r, g, b)
#define D3DCOLOR_XYUV(y, u, v) D3DCOLOR_ARGB(0xff, y, u, v)
#define D3DCOLOR_AYUV(a, y, u, v) D3DCOLOR_ARGB(a, y, u, v)
// Floats 0..1 to a D3DCOLOR (each channel scaled by 255 and truncated).
#define D3DCOLOR_COLORVALUE(r, g, b, a)                                                              \
    D3DCOLOR_RGBA((DWORD)((r) * 255.f), (DWORD)((g) * 255.f), (DWORD)((b) * 255.f), (DWORD)((a) * 255.f))

#ifndef MAKEFOURCC
#define MAKEFOURCC(ch0, ch1, ch2, ch3)                                                               \
    ((DWORD)(BYTE)(ch0) | ((DWORD)(BYTE)(ch1) << 8) | ((DWORD)(BYTE)(ch2) << 16) | ((DWORD)(BYTE)(ch3) << 24))
#endif

struct D3DCOLORVALUE {
    float r;
    float g;
    float b;
    float a;
};

struct D3DVECTOR {
    float x;
    float y;
    float z;
};

struct D3DRECT {
    LONG x1;
    LONG y1;
    LONG x2;
    LONG y2;
};

struct D3DVIEWPORT9 {
    DWORD X;
    DWORD Y;
    DWORD Width;
    DWORD Height;
    float MinZ;
    float MaxZ;
};

struct D3DMATERIAL9 {
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power;
};

// ---------------------------------------------------------------------------------------------
// Clear flags

inline constexpr DWORD D3DCLEAR_TARGET = 0x00000001;
inline constexpr DWORD D3DCLEAR_ZBUFFER = 0x00000002;
inline constexpr DWORD D3DCLEAR_STENCIL = 0x00000004;

// ---------------------------------------------------------------------------------------------
// Render-state values

enum D3DSHADEMODE : DWORD {
    D3DSHADE_FLAT = 1,
    D3DSHADE_GOURAUD = 2,
    D3DSHADE_PHONG = 3,
};

enum D3DFILLMODE : DWORD {
    D3DFILL_POINT = 1,
    D3DFILL_WIREFRAME = 2,
    D3DFILL_SOLID = 3,
};

enum D3DBLEND : DWORD {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
    D3DBLEND_SRCALPHASAT = 11,
    D3DBLEND_BOTHSRCALPHA = 12,
    D3DBLEND_BOTHINVSRCALPHA = 13,
    D3DBLEND_BLENDFACTOR = 14,
    D3DBLEND_INVBLENDFACTOR = 15,
};

enum D3DBLENDOP : DWORD {
    D3DBLENDOP_ADD = 1,
    D3DBLENDOP_SUBTRACT = 2,
    D3DBLENDOP_REVSUBTRACT = 3,
    D3DBLENDOP_MIN = 4,
    D3DBLENDOP_MAX = 5,
};

enum D3DTEXTUREADDRESS : DWORD {
    D3DTADDRESS_WRAP = 1,
    D3DTADDRESS_MIRROR = 2,
    D3DTADDRESS_CLAMP = 3,
    D3DTADDRESS_BORDER = 4,
    D3DTADDRESS_MIRRORONCE = 5,
};

enum D3DCULL : DWORD {
    D3DCULL_NONE = 1,
    D3DCULL_CW = 2,
    D3DCULL_CCW = 3,
};

enum D3DCMPFUNC : DWORD {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};

enum D3DSTENCILOP : DWORD {
    D3DSTENCILOP_KEEP = 1,
    D3DSTENCILOP_ZERO = 2,
    D3DSTENCILOP_REPLACE = 3,
    D3DSTENCILOP_INCRSAT = 4,
    D3DSTENCILOP_DECRSAT = 5,
    D3DSTENCILOP_INVERT = 6,
    D3DSTENCILOP_INCR = 7,
    D3DSTENCILOP_DECR = 8,
};

enum D3DFOGMODE : DWORD {
    D3DFOG_NONE = 0,
    D3DFOG_EXP = 1,
    D3DFOG_EXP2 = 2,
    D3DFOG_LINEAR = 3,
};

enum D3DZBUFFERTYPE : DWORD {
    D3DZB_FALSE = 0,
    D3DZB_TRUE = 1,
    D3DZB_USEW = 2,
};

enum D3DMATERIALCOLORSOURCE : DWORD {
    D3DMCS_MATERIAL = 0,
    D3DMCS_COLOR1 = 1,
    D3DMCS_COLOR2 = 2,
};

enum D3DPRIMITIVETYPE : DWORD {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

enum D3DRENDERSTATETYPE : DWORD {
    D3DRS_ZENABLE = 7,
    D3DRS_FILLMODE = 8,
    D3DRS_SHADEMODE = 9,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_ALPHATESTENABLE = 15,
    D3DRS_LASTPIXEL = 16,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ZFUNC = 23,
    D3DRS_ALPHAREF = 24,
    D3DRS_ALPHAFUNC = 25,
    D3DRS_DITHERENABLE = 26,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_FOGENABLE = 28,
    D3DRS_SPECULARENABLE = 29,
    D3DRS_FOGCOLOR = 34,
    D3DRS_FOGTABLEMODE = 35,
    D3DRS_FOGSTART = 36,
    D3DRS_FOGEND = 37,
    D3DRS_FOGDENSITY = 38,
    D3DRS_RANGEFOGENABLE = 48,
    D3DRS_STENCILENABLE = 52,
    D3DRS_STENCILFAIL = 53,
    D3DRS_STENCILZFAIL = 54,
    D3DRS_STENCILPASS = 55,
    D3DRS_STENCILFUNC = 56,
    D3DRS_STENCILREF = 57,
    D3DRS_STENCILMASK = 58,
    D3DRS_STENCILWRITEMASK = 59,
    D3DRS_TEXTUREFACTOR = 60,
    D3DRS_WRAP0 = 128,
    D3DRS_WRAP1 = 129,
    D3DRS_WRAP2 = 130,
    D3DRS_WRAP3 = 131,
    D3DRS_WRAP4 = 132,
    D3DRS_WRAP5 = 133,
    D3DRS_WRAP6 = 134,
    D3DRS_WRAP7 = 135,
    D3DRS_CLIPPING = 136,
    D3DRS_LIGHTING = 137,
    D3DRS_AMBIENT = 139,
    D3DRS_FOGVERTEXMODE = 140,
    D3DRS_COLORVERTEX = 141,
    D3DRS_LOCALVIEWER = 142,
    D3DRS_NORMALIZENORMALS = 143,
    D3DRS_DIFFUSEMATERIALSOURCE = 145,
    D3DRS_SPECULARMATERIALSOURCE = 146,
    D3DRS_AMBIENTMATERIALSOURCE = 147,
    D3DRS_EMISSIVEMATERIALSOURCE = 148,
    D3DRS_VERTEXBLEND = 151,
    D3DRS_CLIPPLANEENABLE = 152,
    D3DRS_POINTSIZE = 154,
    D3DRS_POINTSIZE_MIN = 155,
    D3DRS_POINTSPRITEENABLE = 156,
    D3DRS_POINTSCALEENABLE = 157,
    D3DRS_POINTSCALE_A = 158,
    D3DRS_POINTSCALE_B = 159,
    D3DRS_POINTSCALE_C = 160,
    D3DRS_MULTISAMPLEANTIALIAS = 161,
    D3DRS_MULTISAMPLEMASK = 162,
    D3DRS_PATCHEDGESTYLE = 163,
    D3DRS_DEBUGMONITORTOKEN = 165,
    D3DRS_POINTSIZE_MAX = 166,
    D3DRS_INDEXEDVERTEXBLENDENABLE = 167,
    D3DRS_COLORWRITEENABLE = 168,
    D3DRS_TWEENFACTOR = 170,
    D3DRS_BLENDOP = 171,
    D3DRS_POSITIONDEGREE = 172,
    D3DRS_NORMALDEGREE = 173,
    D3DRS_SCISSORTESTENABLE = 174,
    D3DRS_SLOPESCALEDEPTHBIAS = 175,
    D3DRS_ANTIALIASEDLINEENABLE = 176,
    D3DRS_MINTESSELLATIONLEVEL = 178,
    D3DRS_MAXTESSELLATIONLEVEL = 179,
    D3DRS_ADAPTIVETESS_X = 180,
    D3DRS_ADAPTIVETESS_Y = 181,
    D3DRS_ADAPTIVETESS_Z = 182,
    D3DRS_ADAPTIVETESS_W = 183,
    D3DRS_ENABLEADAPTIVETESSELLATION = 184,
    D3DRS_TWOSIDEDSTENCILMODE = 185,
    D3DRS_CCW_STENCILFAIL = 186,
    D3DRS_CCW_STENCILZFAIL = 187,
    D3DRS_CCW_STENCILPASS = 188,
    D3DRS_CCW_STENCILFUNC = 189,
    D3DRS_COLORWRITEENABLE1 = 190,
    D3DRS_COLORWRITEENABLE2 = 191,
    D3DRS_COLORWRITEENABLE3 = 192,
    D3DRS_BLENDFACTOR = 193,
    D3DRS_SRGBWRITEENABLE = 194,
    D3DRS_DEPTHBIAS = 195,
    D3DRS_WRAP8 = 198,
    D3DRS_WRAP9 = 199,
    D3DRS_WRAP10 = 200,
    D3DRS_WRAP11 = 201,
    D3DRS_WRAP12 = 202,
    D3DRS_WRAP13 = 203,
    D3DRS_WRAP14 = 204,
    D3DRS_WRAP15 = 205,
    D3DRS_SEPARATEALPHABLENDENABLE = 206,
    D3DRS_SRCBLENDALPHA = 207,
    D3DRS_DESTBLENDALPHA = 208,
    D3DRS_BLENDOPALPHA = 209,
};

// D3DRS_DEBUGMONITORTOKEN values.
inline constexpr DWORD D3DDMT_ENABLE = 0;
inline constexpr DWORD D3DDMT_DISABLE = 1;

// D3DRS_COLORWRITEENABLE bits.
inline constexpr DWORD D3DCOLORWRITEENABLE_RED = 1u << 0;
inline constexpr DWORD D3DCOLORWRITEENABLE_GREEN = 1u << 1;
inline constexpr DWORD D3DCOLORWRITEENABLE_BLUE = 1u << 2;
inline constexpr DWORD D3DCOLORWRITEENABLE_ALPHA = 1u << 3;

// D3DRS_WRAP0..15 bits.
inline constexpr DWORD D3DWRAP_U = 0x00000001;
inline constexpr DWORD D3DWRAP_V = 0x00000002;
inline constexpr DWORD D3DWRAP_W = 0x00000004;

// ---------------------------------------------------------------------------------------------
// Sampler states

enum D3DSAMPLERSTATETYPE : DWORD {
    D3DSAMP_ADDRESSU = 1,
    D3DSAMP_ADDRESSV = 2,
    D3DSAMP_ADDRESSW = 3,
    D3DSAMP_BORDERCOLOR = 4,
    D3DSAMP_MAGFILTER = 5,
    D3DSAMP_MINFILTER = 6,
    D3DSAMP_MIPFILTER = 7,
    D3DSAMP_MIPMAPLODBIAS = 8,
    D3DSAMP_MAXMIPLEVEL = 9,
    D3DSAMP_MAXANISOTROPY = 10,
    D3DSAMP_SRGBTEXTURE = 11,
    D3DSAMP_ELEMENTINDEX = 12,
    D3DSAMP_DMAPOFFSET = 13,
};

enum D3DTEXTUREFILTERTYPE : DWORD {
    D3DTEXF_NONE = 0,
    D3DTEXF_POINT = 1,
    D3DTEXF_LINEAR = 2,
    D3DTEXF_ANISOTROPIC = 3,
    D3DTEXF_PYRAMIDALQUAD = 6,
    D3DTEXF_GAUSSIANQUAD = 7,
    D3DTEXF_CONVOLUTIONMONO = 8,
};

// Sampler indices beyond the 16 pixel-shader samplers.
inline constexpr DWORD D3DDMAPSAMPLER = 256;
inline constexpr DWORD D3DVERTEXTEXTURESAMPLER0 = D3DDMAPSAMPLER + 1;
inline constexpr DWORD D3DVERTEXTEXTURESAMPLER1 = D3DDMAPSAMPLER + 2;
inline constexpr DWORD D3DVERTEXTEXTURESAMPLER2 = D3DDMAPSAMPLER + 3;
inline constexpr DWORD D3DVERTEXTEXTURESAMPLER3 = D3DDMAPSAMPLER + 4;

// ---------------------------------------------------------------------------------------------
// Vertex declarations

enum D3DDECLUSAGE : BYTE {
    D3DDECLUSAGE_POSITION = 0,
    D3DDECLUSAGE_BLENDWEIGHT = 1,
    D3DDECLUSAGE_BLENDINDICES = 2,
    D3DDECLUSAGE_NORMAL = 3,
    D3DDECLUSAGE_PSIZE = 4,
    D3DDECLUSAGE_TEXCOORD = 5,
    D3DDECLUSAGE_TANGENT = 6,
    D3DDECLUSAGE_BINORMAL = 7,
    D3DDECLUSAGE_TESSFACTOR = 8,
    D3DDECLUSAGE_POSITIONT = 9,
    D3DDECLUSAGE_COLOR = 10,
    D3DDECLUSAGE_FOG = 11,
    D3DDECLUSAGE_DEPTH = 12,
    D3DDECLUSAGE_SAMPLE = 13,
};
inline constexpr BYTE MAXD3DDECLUSAGE = D3DDECLUSAGE_SAMPLE;
inline constexpr BYTE MAXD3DDECLUSAGEINDEX = 15;
inline constexpr UINT MAXD3DDECLLENGTH = 64; // elements, not counting D3DDECL_END()

enum D3DDECLMETHOD : BYTE {
    D3DDECLMETHOD_DEFAULT = 0,
    D3DDECLMETHOD_PARTIALU = 1,
    D3DDECLMETHOD_PARTIALV = 2,
    D3DDECLMETHOD_CROSSUV = 3,
    D3DDECLMETHOD_UV = 4,
    D3DDECLMETHOD_LOOKUP = 5,
    D3DDECLMETHOD_LOOKUPPRESAMPLED = 6,
};
inline constexpr BYTE MAXD3DDECLMETHOD = D3DDECLMETHOD_LOOKUPPRESAMPLED;

enum D3DDECLTYPE : BYTE {
    D3DDECLTYPE_FLOAT1 = 0,
    D3DDECLTYPE_FLOAT2 = 1,
    D3DDECLTYPE_FLOAT3 = 2,
    D3DDECLTYPE_FLOAT4 = 3,
    D3DDECLTYPE_D3DCOLOR = 4, // four bytes B, G, R, A in memory, reaching the shader as normalised R, G, B, A
    D3DDECLTYPE_UBYTE4 = 5,
    D3DDECLTYPE_SHORT2 = 6,
    D3DDECLTYPE_SHORT4 = 7,
    D3DDECLTYPE_UBYTE4N = 8,
    D3DDECLTYPE_SHORT2N = 9,
    D3DDECLTYPE_SHORT4N = 10,
    D3DDECLTYPE_USHORT2N = 11,
    D3DDECLTYPE_USHORT4N = 12,
    D3DDECLTYPE_UDEC3 = 13,
    D3DDECLTYPE_DEC3N = 14,
    D3DDECLTYPE_FLOAT16_2 = 15,
    D3DDECLTYPE_FLOAT16_4 = 16,
    D3DDECLTYPE_UNUSED = 17, // only in the D3DDECL_END() marker
};
inline constexpr BYTE MAXD3DDECLTYPE = D3DDECLTYPE_UNUSED;

// One vertex element; 8 bytes, as stored by the mesh and vertex-declaration code.
struct D3DVERTEXELEMENT9 {
    WORD Stream; // 0xFF in the end marker
    WORD Offset; // bytes from the start of the stream's vertex
    BYTE Type;   // D3DDECLTYPE
    BYTE Method; // D3DDECLMETHOD
    BYTE Usage;  // D3DDECLUSAGE
    BYTE UsageIndex;
};

// The element that ends every declaration array.
#define D3DDECL_END()                                                                                \
    {                                                                                                \
        0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0                                                         \
    }

// ---------------------------------------------------------------------------------------------
// Flexible vertex format bits

inline constexpr DWORD D3DFVF_RESERVED0 = 0x001;
inline constexpr DWORD D3DFVF_POSITION_MASK = 0x400E;
inline constexpr DWORD D3DFVF_XYZ = 0x002;
inline constexpr DWORD D3DFVF_XYZRHW = 0x004;
inline constexpr DWORD D3DFVF_XYZB1 = 0x006;
inline constexpr DWORD D3DFVF_XYZB2 = 0x008;
inline constexpr DWORD D3DFVF_XYZB3 = 0x00a;
inline constexpr DWORD D3DFVF_XYZB4 = 0x00c;
inline constexpr DWORD D3DFVF_XYZB5 = 0x00e;
inline constexpr DWORD D3DFVF_XYZW = 0x4002;
inline constexpr DWORD D3DFVF_NORMAL = 0x010;
inline constexpr DWORD D3DFVF_PSIZE = 0x020;
inline constexpr DWORD D3DFVF_DIFFUSE = 0x040;
inline constexpr DWORD D3DFVF_SPECULAR = 0x080;
inline constexpr DWORD D3DFVF_TEXCOUNT_MASK = 0xf00;
inline constexpr DWORD D3DFVF_TEXCOUNT_SHIFT = 8;
inline constexpr DWORD D3DFVF_TEX0 = 0x000;
inline constexpr DWORD D3DFVF_TEX1 = 0x100;
inline constexpr DWORD D3DFVF_TEX2 = 0x200;
inline constexpr DWORD D3DFVF_TEX3 = 0x300;
inline constexpr DWORD D3DFVF_TEX4 = 0x400;
inline constexpr DWORD D3DFVF_TEX5 = 0x500;
inline constexpr DWORD D3DFVF_TEX6 = 0x600;
inline constexpr DWORD D3DFVF_TEX7 = 0x700;
inline constexpr DWORD D3DFVF_TEX8 = 0x800;
inline constexpr DWORD D3DFVF_LASTBETA_UBYTE4 = 0x1000;
inline constexpr DWORD D3DFVF_LASTBETA_D3DCOLOR = 0x8000;
inline constexpr DWORD D3DFVF_RESERVED2 = 0x6000;

// Size of texture coordinate set i (bits 16 + 2i of an FVF; 0 there means two floats).
inline constexpr DWORD D3DFVF_TEXTUREFORMAT1 = 3;
inline constexpr DWORD D3DFVF_TEXTUREFORMAT2 = 0;
inline constexpr DWORD D3DFVF_TEXTUREFORMAT3 = 1;
inline constexpr DWORD D3DFVF_TEXTUREFORMAT4 = 2;
#define D3DFVF_TEXCOORDSIZE1(CoordIndex) (D3DFVF_TEXTUREFORMAT1 << ((CoordIndex) * 2 + 16))
#define D3DFVF_TEXCOORDSIZE2(CoordIndex) (D3DFVF_TEXTUREFORMAT2)
#define D3DFVF_TEXCOORDSIZE3(CoordIndex) (D3DFVF_TEXTUREFORMAT3 << ((CoordIndex) * 2 + 16))
#define D3DFVF_TEXCOORDSIZE4(CoordIndex) (D3DFVF_TEXTUREFORMAT4 << ((CoordIndex) * 2 + 16))

// ---------------------------------------------------------------------------------------------
// Shader versions (D3DCAPS9::VertexShaderVersion / PixelShaderVersion)

#define D3DVS_VERSION(_Major, _Minor) (0xFFFE0000u | ((DWORD)(_Major) << 8) | (DWORD)(_Minor))
#define D3DPS_VERSION(_Major, _Minor) (0xFFFF0000u | ((DWORD)(_Major) << 8) | (DWORD)(_Minor))
#define D3DSHADER_VERSION_MAJOR(_Version) (((DWORD)(_Version) >> 8) & 0xFF)
#define D3DSHADER_VERSION_MINOR(_Version) (((DWORD)(_Version) >> 0) & 0xFF)

// ---------------------------------------------------------------------------------------------
// Devices, swap chains, multisampling

enum D3DDEVTYPE : DWORD {
    D3DDEVTYPE_HAL = 1,
    D3DDEVTYPE_REF = 2,
    D3DDEVTYPE_SW = 3,
    D3DDEVTYPE_NULLREF = 4,
};

enum D3DMULTISAMPLE_TYPE : DWORD {
    D3DMULTISAMPLE_NONE = 0,
    D3DMULTISAMPLE_NONMASKABLE = 1,
    D3DMULTISAMPLE_2_SAMPLES = 2,
    D3DMULTISAMPLE_3_SAMPLES = 3,
    D3DMULTISAMPLE_4_SAMPLES = 4,
    D3DMULTISAMPLE_5_SAMPLES = 5,
    D3DMULTISAMPLE_6_SAMPLES = 6,
    D3DMULTISAMPLE_7_SAMPLES = 7,
    D3DMULTISAMPLE_8_SAMPLES = 8,
    D3DMULTISAMPLE_9_SAMPLES = 9,
    D3DMULTISAMPLE_10_SAMPLES = 10,
    D3DMULTISAMPLE_11_SAMPLES = 11,
    D3DMULTISAMPLE_12_SAMPLES = 12,
    D3DMULTISAMPLE_13_SAMPLES = 13,
    D3DMULTISAMPLE_14_SAMPLES = 14,
    D3DMULTISAMPLE_15_SAMPLES = 15,
    D3DMULTISAMPLE_16_SAMPLES = 16,
};

// ---------------------------------------------------------------------------------------------
// Formats

enum D3DFORMAT : DWORD {
    D3DFMT_UNKNOWN = 0,

    D3DFMT_R8G8B8 = 20,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24,
    D3DFMT_A1R5G5B5 = 25,
    D3DFMT_A4R4G4B4 = 26,
    D3DFMT_R3G3B2 = 27,
    D3DFMT_A8 = 28,
    D3DFMT_A8R3G3B2 = 29,
    D3DFMT_X4R4G4B4 = 30,
    D3DFMT_A2B10G10R10 = 31,
    D3DFMT_A8B8G8R8 = 32,
    D3DFMT_X8B8G8R8 = 33,
    D3DFMT_G16R16 = 34,
    D3DFMT_A2R10G10B10 = 35,
    D3DFMT_A16B16G16R16 = 36,

    D3DFMT_A8P8 = 40,
    D3DFMT_P8 = 41,

    D3DFMT_L8 = 50,
    D3DFMT_A8L8 = 51,
    D3DFMT_A4L4 = 52,

    D3DFMT_V8U8 = 60,
    D3DFMT_L6V5U5 = 61,
    D3DFMT_X8L8V8U8 = 62,
    D3DFMT_Q8W8V8U8 = 63,
    D3DFMT_V16U16 = 64,
    D3DFMT_A2W10V10U10 = 67,

    D3DFMT_UYVY = MAKEFOURCC('U', 'Y', 'V', 'Y'),
    D3DFMT_R8G8_B8G8 = MAKEFOURCC('R', 'G', 'B', 'G'),
    D3DFMT_YUY2 = MAKEFOURCC('Y', 'U', 'Y', '2'),
    D3DFMT_G8R8_G8B8 = MAKEFOURCC('G', 'R', 'G', 'B'),
    D3DFMT_DXT1 = MAKEFOURCC('D', 'X', 'T', '1'),
    D3DFMT_DXT2 = MAKEFOURCC('D', 'X', 'T', '2'),
    D3DFMT_DXT3 = MAKEFOURCC('D', 'X', 'T', '3'),
    D3DFMT_DXT4 = MAKEFOURCC('D', 'X', 'T', '4'),
    D3DFMT_DXT5 = MAKEFOURCC('D', 'X', 'T', '5'),

    D3DFMT_D16_LOCKABLE = 70,
    D3DFMT_D32 = 71,
    D3DFMT_D15S1 = 73,
    D3DFMT_D24S8 = 75,
    D3DFMT_D24X8 = 77,
    D3DFMT_D24X4S4 = 79,
    D3DFMT_D16 = 80,
    D3DFMT_D32F_LOCKABLE = 82,
    D3DFMT_D24FS8 = 83,

    D3DFMT_L16 = 81,

    D3DFMT_VERTEXDATA = 100,
    D3DFMT_INDEX16 = 101,
    D3DFMT_INDEX32 = 102,

    D3DFMT_Q16W16V16U16 = 110,

    D3DFMT_MULTI2_ARGB8 = MAKEFOURCC('M', 'E', 'T', '1'),

    D3DFMT_R16F = 111,
    D3DFMT_G16R16F = 112,
    D3DFMT_A16B16G16R16F = 113,

    D3DFMT_R32F = 114,
    D3DFMT_G32R32F = 115,
    D3DFMT_A32B32G32R32F = 116,

    D3DFMT_CxV8U8 = 117,
};

// ---------------------------------------------------------------------------------------------
// Resources

enum D3DPOOL : DWORD {
    D3DPOOL_DEFAULT = 0,
    D3DPOOL_MANAGED = 1,
    D3DPOOL_SYSTEMMEM = 2,
    D3DPOOL_SCRATCH = 3,
};

enum D3DRESOURCETYPE : DWORD {
    D3DRTYPE_SURFACE = 1,
    D3DRTYPE_VOLUME = 2,
    D3DRTYPE_TEXTURE = 3,
    D3DRTYPE_VOLUMETEXTURE = 4,
    D3DRTYPE_CUBETEXTURE = 5,
    D3DRTYPE_VERTEXBUFFER = 6,
    D3DRTYPE_INDEXBUFFER = 7,
};

enum D3DCUBEMAP_FACES : DWORD {
    D3DCUBEMAP_FACE_POSITIVE_X = 0,
    D3DCUBEMAP_FACE_NEGATIVE_X = 1,
    D3DCUBEMAP_FACE_POSITIVE_Y = 2,
    D3DCUBEMAP_FACE_NEGATIVE_Y = 3,
    D3DCUBEMAP_FACE_POSITIVE_Z = 4,
    D3DCUBEMAP_FACE_NEGATIVE_Z = 5,
};

// Usages of resources.
inline constexpr DWORD D3DUSAGE_RENDERTARGET = 0x00000001;
inline constexpr DWORD D3DUSAGE_DEPTHSTENCIL = 0x00000002;
inline constexpr DWORD D3DUSAGE_DYNAMIC = 0x00000200;
inline constexpr DWORD D3DUSAGE_AUTOGENMIPMAP = 0x00000400;
inline constexpr DWORD D3DUSAGE_DMAP = 0x00004000;
// Usages of vertex and index buffers.
inline constexpr DWORD D3DUSAGE_WRITEONLY = 0x00000008;
inline constexpr DWORD D3DUSAGE_SOFTWAREPROCESSING = 0x00000010;
inline constexpr DWORD D3DUSAGE_DONOTCLIP = 0x00000020;
inline constexpr DWORD D3DUSAGE_POINTS = 0x00000040;
inline constexpr DWORD D3DUSAGE_RTPATCHES = 0x00000080;
inline constexpr DWORD D3DUSAGE_NPATCHES = 0x00000100;
// Usages that only ask IDirect3D9::CheckDeviceFormat about a capability.
inline constexpr DWORD D3DUSAGE_QUERY_LEGACYBUMPMAP = 0x00008000;
inline constexpr DWORD D3DUSAGE_QUERY_SRGBREAD = 0x00010000;
inline constexpr DWORD D3DUSAGE_QUERY_FILTER = 0x00020000;
inline constexpr DWORD D3DUSAGE_QUERY_SRGBWRITE = 0x00040000;
inline constexpr DWORD D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING = 0x00080000;
inline constexpr DWORD D3DUSAGE_QUERY_VERTEXTEXTURE = 0x00100000;
inline constexpr DWORD D3DUSAGE_QUERY_WRAPANDMIP = 0x00200000;

// Lock flags.
inline constexpr DWORD D3DLOCK_READONLY = 0x00000010;
inline constexpr DWORD D3DLOCK_DISCARD = 0x00002000;
inline constexpr DWORD D3DLOCK_NOOVERWRITE = 0x00001000;
inline constexpr DWORD D3DLOCK_NOSYSLOCK = 0x00000800;
inline constexpr DWORD D3DLOCK_DONOTWAIT = 0x00004000;
inline constexpr DWORD D3DLOCK_NO_DIRTY_UPDATE = 0x00008000;

struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    UINT Width;
    UINT Height;
};

struct D3DVOLUME_DESC {
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    UINT Width;
    UINT Height;
    UINT Depth;
};

struct D3DVERTEXBUFFER_DESC {
    D3DFORMAT Format; // D3DFMT_VERTEXDATA
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    UINT Size;
    DWORD FVF;
};

struct D3DINDEXBUFFER_DESC {
    D3DFORMAT Format; // D3DFMT_INDEX16 or D3DFMT_INDEX32
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    UINT Size;
};

// A locked rectangle: pBits is the top-left texel (or 4x4 block) of the locked area, Pitch the
// bytes from one row (of texels or blocks) to the next.
struct D3DLOCKED_RECT {
    INT Pitch;
    void* pBits;
};

struct D3DBOX {
    UINT Left;
    UINT Top;
    UINT Right;
    UINT Bottom;
    UINT Front;
    UINT Back;
};

struct D3DLOCKED_BOX {
    INT RowPitch;
    INT SlicePitch;
    void* pBits;
};

// ---------------------------------------------------------------------------------------------
// Presentation

enum D3DSWAPEFFECT : DWORD {
    D3DSWAPEFFECT_DISCARD = 1,
    D3DSWAPEFFECT_FLIP = 2,
    D3DSWAPEFFECT_COPY = 3,
};

enum D3DBACKBUFFER_TYPE : DWORD {
    D3DBACKBUFFER_TYPE_MONO = 0,
    D3DBACKBUFFER_TYPE_LEFT = 1,
    D3DBACKBUFFER_TYPE_RIGHT = 2,
};

struct D3DDISPLAYMODE {
    UINT Width;
    UINT Height;
    UINT RefreshRate;
    D3DFORMAT Format;
};

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT PresentationInterval;
};

// D3DPRESENT_PARAMETERS::Flags.
inline constexpr DWORD D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 0x00000001;
inline constexpr DWORD D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL = 0x00000002;
inline constexpr DWORD D3DPRESENTFLAG_DEVICECLIP = 0x00000004;
inline constexpr DWORD D3DPRESENTFLAG_VIDEO = 0x00000010;

// D3DPRESENT_PARAMETERS::PresentationInterval and D3DCAPS9::PresentationIntervals.
inline constexpr UINT D3DPRESENT_INTERVAL_DEFAULT = 0x00000000;
inline constexpr UINT D3DPRESENT_INTERVAL_ONE = 0x00000001;
inline constexpr UINT D3DPRESENT_INTERVAL_TWO = 0x00000002;
inline constexpr UINT D3DPRESENT_INTERVAL_THREE = 0x00000004;
inline constexpr UINT D3DPRESENT_INTERVAL_FOUR = 0x00000008;
inline constexpr UINT D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000;

inline constexpr UINT D3DPRESENT_RATE_DEFAULT = 0x00000000;
inline constexpr DWORD D3DPRESENT_BACK_BUFFERS_MAX = 3;

// Behaviour flags of IDirect3D9::CreateDevice.
inline constexpr DWORD D3DCREATE_FPU_PRESERVE = 0x00000002;
inline constexpr DWORD D3DCREATE_MULTITHREADED = 0x00000004;
inline constexpr DWORD D3DCREATE_PUREDEVICE = 0x00000010;
inline constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x00000020;
inline constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x00000040;
inline constexpr DWORD D3DCREATE_MIXED_VERTEXPROCESSING = 0x00000080;
inline constexpr DWORD D3DCREATE_DISABLE_DRIVER_MANAGEMENT = 0x00000100;
inline constexpr DWORD D3DCREATE_ADAPTERGROUP_DEVICE = 0x00000200;
inline constexpr DWORD D3DCREATE_DISABLE_DRIVER_MANAGEMENT_EX = 0x00000400;
inline constexpr DWORD D3DCREATE_NOWINDOWCHANGES = 0x00000800;

inline constexpr UINT D3DADAPTER_DEFAULT = 0;

// ---------------------------------------------------------------------------------------------
// Queries

enum D3DQUERYTYPE : DWORD {
    D3DQUERYTYPE_VCACHE = 4,
    D3DQUERYTYPE_RESOURCEMANAGER = 5,
    D3DQUERYTYPE_VERTEXSTATS = 6,
    D3DQUERYTYPE_EVENT = 8,
    D3DQUERYTYPE_OCCLUSION = 9, // result: DWORD, samples that passed the depth and stencil tests
    D3DQUERYTYPE_TIMESTAMP = 10,
    D3DQUERYTYPE_TIMESTAMPDISJOINT = 11,
    D3DQUERYTYPE_TIMESTAMPFREQ = 12,
    D3DQUERYTYPE_PIPELINETIMINGS = 13,
    D3DQUERYTYPE_INTERFACETIMINGS = 14,
    D3DQUERYTYPE_VERTEXTIMINGS = 15,
    D3DQUERYTYPE_PIXELTIMINGS = 16,
    D3DQUERYTYPE_BANDWIDTHTIMINGS = 17,
    D3DQUERYTYPE_CACHEUTILIZATION = 18,
};

// IDirect3DQuery9::Issue flags.
inline constexpr DWORD D3DISSUE_END = 1u << 0;
inline constexpr DWORD D3DISSUE_BEGIN = 1u << 1;
// IDirect3DQuery9::GetData flags.
inline constexpr DWORD D3DGETDATA_FLUSH = 1u << 0;
