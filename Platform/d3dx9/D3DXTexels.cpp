#include "d3dx9/D3DXTexels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "d3dx9/d3dx9math.h"

// The DXT encoder is compiled into this file alone, its functions kept local.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_DXT_STATIC
#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>
#pragma GCC diagnostic pop

namespace {

std::uint8_t ToByte(float value)
{
    float clamped = std::min(1.0f, std::max(0.0f, value));
    return static_cast<std::uint8_t>(clamped * 255.0f + 0.5f);
}

WORD ReadWord(const std::uint8_t* at)
{
    return static_cast<WORD>(at[0] | (at[1] << 8));
}

void Rgb565(WORD c, float* rgb)
{
    rgb[0] = static_cast<float>((c >> 11) & 31) / 31.0f;
    rgb[1] = static_cast<float>((c >> 5) & 63) / 63.0f;
    rgb[2] = static_cast<float>(c & 31) / 31.0f;
}

// The four colours of a DXT colour block; DXT1 blocks with c0 <= c1 use three and transparent black.
void DecodeColourBlock(const std::uint8_t* block, bool dxt1, float out[16][4])
{
    WORD c0 = ReadWord(block);
    WORD c1 = ReadWord(block + 2);
    float palette[4][4] = {};
    Rgb565(c0, palette[0]);
    Rgb565(c1, palette[1]);
    palette[0][3] = palette[1][3] = 1.0f;
    bool four = !dxt1 || c0 > c1;
    for (int ch = 0; ch < 3; ++ch) {
        if (four) {
            palette[2][ch] = (2.0f * palette[0][ch] + palette[1][ch]) / 3.0f;
            palette[3][ch] = (palette[0][ch] + 2.0f * palette[1][ch]) / 3.0f;
        } else {
            palette[2][ch] = (palette[0][ch] + palette[1][ch]) / 2.0f;
            palette[3][ch] = 0.0f;
        }
    }
    palette[2][3] = 1.0f;
    palette[3][3] = four ? 1.0f : 0.0f;
    DWORD indices = static_cast<DWORD>(block[4]) | (static_cast<DWORD>(block[5]) << 8) |
                    (static_cast<DWORD>(block[6]) << 16) | (static_cast<DWORD>(block[7]) << 24);
    for (int i = 0; i < 16; ++i) {
        const float* c = palette[(indices >> (2 * i)) & 3];
        std::copy(c, c + 4, out[i]);
    }
}

void DecodeDxt5Alpha(const std::uint8_t* block, float out[16][4])
{
    float a0 = block[0] / 255.0f;
    float a1 = block[1] / 255.0f;
    float alphas[8] = {a0, a1};
    if (block[0] > block[1]) {
        for (int i = 1; i < 7; ++i) {
            alphas[i + 1] = (static_cast<float>(7 - i) * a0 + static_cast<float>(i) * a1) / 7.0f;
        }
    } else {
        for (int i = 1; i < 5; ++i) {
            alphas[i + 1] = (static_cast<float>(5 - i) * a0 + static_cast<float>(i) * a1) / 5.0f;
        }
        alphas[6] = 0.0f;
        alphas[7] = 1.0f;
    }
    std::uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) {
        bits |= static_cast<std::uint64_t>(block[2 + i]) << (8 * i);
    }
    for (int i = 0; i < 16; ++i) {
        out[i][3] = alphas[(bits >> (3 * i)) & 7];
    }
}

bool IsBlockFormat(D3DFORMAT format)
{
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT3 || format == D3DFMT_DXT5;
}

std::vector<float> BlocksToRgba(D3DFORMAT format, const std::uint8_t* bytes, UINT width, UINT height)
{
    std::vector<float> rgba(static_cast<std::size_t>(width) * height * 4);
    UINT blocksWide = (width + 3) / 4;
    UINT blocksHigh = (height + 3) / 4;
    std::size_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
    for (UINT by = 0; by < blocksHigh; ++by) {
        for (UINT bx = 0; bx < blocksWide; ++bx) {
            const std::uint8_t* block = bytes + (static_cast<std::size_t>(by) * blocksWide + bx) * blockBytes;
            float texels[16][4];
            if (format == D3DFMT_DXT1) {
                DecodeColourBlock(block, true, texels);
            } else {
                DecodeColourBlock(block + 8, false, texels);
                if (format == D3DFMT_DXT3) {
                    for (int i = 0; i < 16; ++i) {
                        texels[i][3] = static_cast<float>((block[i / 2] >> (4 * (i % 2))) & 15) / 15.0f;
                    }
                } else {
                    DecodeDxt5Alpha(block, texels);
                }
            }
            for (UINT y = 0; y < 4 && by * 4 + y < height; ++y) {
                for (UINT x = 0; x < 4 && bx * 4 + x < width; ++x) {
                    float* to = &rgba[((static_cast<std::size_t>(by) * 4 + y) * width + bx * 4 + x) * 4];
                    std::copy(texels[y * 4 + x], texels[y * 4 + x] + 4, to);
                }
            }
        }
    }
    return rgba;
}

std::vector<std::uint8_t> RgbaToBlocks(D3DFORMAT format, const std::vector<float>& rgba, UINT width, UINT height)
{
    UINT blocksWide = (width + 3) / 4;
    UINT blocksHigh = (height + 3) / 4;
    std::size_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(blocksWide) * blocksHigh * blockBytes);
    for (UINT by = 0; by < blocksHigh; ++by) {
        for (UINT bx = 0; bx < blocksWide; ++bx) {
            unsigned char source[64];
            for (UINT y = 0; y < 4; ++y) {
                for (UINT x = 0; x < 4; ++x) {
                    UINT sx = std::min(bx * 4 + x, width - 1);
                    UINT sy = std::min(by * 4 + y, height - 1);
                    const float* from = &rgba[(static_cast<std::size_t>(sy) * width + sx) * 4];
                    for (int ch = 0; ch < 4; ++ch) {
                        source[(y * 4 + x) * 4 + ch] = ToByte(from[ch]);
                    }
                }
            }
            std::uint8_t* block = &out[(static_cast<std::size_t>(by) * blocksWide + bx) * blockBytes];
            if (format == D3DFMT_DXT5) {
                stb_compress_dxt_block(block, source, 1, STB_DXT_NORMAL);
            } else if (format == D3DFMT_DXT3) {
                for (int i = 0; i < 8; ++i) {
                    int low = (source[(2 * i) * 4 + 3] * 15 + 127) / 255;
                    int high = (source[(2 * i + 1) * 4 + 3] * 15 + 127) / 255;
                    block[i] = static_cast<std::uint8_t>(low | (high << 4));
                }
                stb_compress_dxt_block(block + 8, source, 0, STB_DXT_NORMAL);
            } else {
                stb_compress_dxt_block(block, source, 0, STB_DXT_NORMAL);
            }
        }
    }
    return out;
}

} // namespace

bool IsD3DXTexelFormat(D3DFORMAT format)
{
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8 || format == D3DFMT_L8 ||
           format == D3DFMT_A16B16G16R16F || IsBlockFormat(format);
}

std::vector<float> D3DXTexelsToRgba(D3DFORMAT format, const std::uint8_t* bytes, UINT width, UINT height)
{
    if (IsBlockFormat(format)) {
        return BlocksToRgba(format, bytes, width, height);
    }
    std::size_t count = static_cast<std::size_t>(width) * height;
    std::vector<float> rgba(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        float* to = &rgba[i * 4];
        switch (format) {
        case D3DFMT_L8:
            to[0] = to[1] = to[2] = bytes[i] / 255.0f;
            to[3] = 1.0f;
            break;
        case D3DFMT_A16B16G16R16F: {
            D3DXFLOAT16 halves[4];
            for (int ch = 0; ch < 4; ++ch) {
                halves[ch].value = ReadWord(bytes + i * 8 + ch * 2);
            }
            D3DXFloat16To32Array(to, halves, 4);
            break;
        }
        default: // A8R8G8B8 and X8R8G8B8: memory B, G, R, A
            to[0] = bytes[i * 4 + 2] / 255.0f;
            to[1] = bytes[i * 4 + 1] / 255.0f;
            to[2] = bytes[i * 4 + 0] / 255.0f;
            to[3] = format == D3DFMT_X8R8G8B8 ? 1.0f : bytes[i * 4 + 3] / 255.0f;
            break;
        }
    }
    return rgba;
}

std::vector<std::uint8_t> D3DXRgbaToTexels(D3DFORMAT format, const std::vector<float>& rgba, UINT width,
                                           UINT height)
{
    if (IsBlockFormat(format)) {
        return RgbaToBlocks(format, rgba, width, height);
    }
    std::size_t count = static_cast<std::size_t>(width) * height;
    std::vector<std::uint8_t> out;
    switch (format) {
    case D3DFMT_L8:
        out.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            const float* c = &rgba[i * 4];
            out[i] = ToByte(0.2125f * c[0] + 0.7154f * c[1] + 0.0721f * c[2]);
        }
        break;
    case D3DFMT_A16B16G16R16F:
        out.resize(count * 8);
        for (std::size_t i = 0; i < count; ++i) {
            D3DXFLOAT16 halves[4];
            D3DXFloat32To16Array(halves, &rgba[i * 4], 4);
            for (int ch = 0; ch < 4; ++ch) {
                out[i * 8 + ch * 2] = static_cast<std::uint8_t>(halves[ch].value & 0xFF);
                out[i * 8 + ch * 2 + 1] = static_cast<std::uint8_t>(halves[ch].value >> 8);
            }
        }
        break;
    default:
        out.resize(count * 4);
        for (std::size_t i = 0; i < count; ++i) {
            const float* c = &rgba[i * 4];
            out[i * 4 + 0] = ToByte(c[2]);
            out[i * 4 + 1] = ToByte(c[1]);
            out[i * 4 + 2] = ToByte(c[0]);
            out[i * 4 + 3] = format == D3DFMT_X8R8G8B8 ? 0xFF : ToByte(c[3]);
        }
        break;
    }
    return out;
}
