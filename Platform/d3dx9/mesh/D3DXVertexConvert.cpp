#include "d3dx9/mesh/D3DXVertexConvert.h"

#include <cmath>
#include <cstring>

#include "d3dx9/mesh/D3DXVertexFormat.h"

namespace {

constexpr D3DCOLOR kWhite = 0xFFFFFFFFu;

bool IsFloat(BYTE type)
{
    return type >= D3DDECLTYPE_FLOAT1 && type <= D3DDECLTYPE_FLOAT4;
}

bool Convertible(BYTE type)
{
    return IsFloat(type) || type == D3DDECLTYPE_D3DCOLOR;
}

// A float vector or D3DCOLOR as r, g, b, a (x, y, z, w).
void Read(const BYTE* in, BYTE type, float value[4])
{
    value[0] = value[1] = value[2] = 0.0f;
    value[3] = 1.0f;
    if (type == D3DDECLTYPE_D3DCOLOR) {
        D3DCOLOR color;
        std::memcpy(&color, in, sizeof(color));
        value[0] = static_cast<float>((color >> 16) & 0xFF) / 255.0f;
        value[1] = static_cast<float>((color >> 8) & 0xFF) / 255.0f;
        value[2] = static_cast<float>(color & 0xFF) / 255.0f;
        value[3] = static_cast<float>(color >> 24) / 255.0f;
    } else {
        std::memcpy(value, in, D3DXDeclTypeSize(type));
    }
}

DWORD ColorByte(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    return static_cast<DWORD>(std::lround(value * 255.0f));
}

void Write(BYTE* out, BYTE type, const float value[4])
{
    if (type == D3DDECLTYPE_D3DCOLOR) {
        const D3DCOLOR color = ColorByte(value[3]) << 24 | ColorByte(value[0]) << 16 | ColorByte(value[1]) << 8 |
                               ColorByte(value[2]);
        std::memcpy(out, &color, sizeof(color));
    } else {
        std::memcpy(out, value, D3DXDeclTypeSize(type));
    }
}

} // namespace

std::vector<BYTE> D3DXConvertVertices(const std::vector<BYTE>& vertices, DWORD count,
                                      const std::vector<D3DVERTEXELEMENT9>& from, UINT fromStride,
                                      const std::vector<D3DVERTEXELEMENT9>& to, UINT toStride)
{
    std::vector<BYTE> result(std::size_t{count} * toStride, 0);
    for (const D3DVERTEXELEMENT9& target : to) {
        const D3DVERTEXELEMENT9* source = D3DXFindElement(from, target.Usage, target.UsageIndex);
        const UINT size = D3DXDeclTypeSize(target.Type);
        const bool same = source != nullptr && source->Type == target.Type;
        const bool convert = source != nullptr && !same && Convertible(source->Type) && Convertible(target.Type);
        const bool diffuse = target.Usage == D3DDECLUSAGE_COLOR && target.UsageIndex == 0;
        for (DWORD v = 0; v < count; ++v) {
            BYTE* out = result.data() + std::size_t{v} * toStride + target.Offset;
            const BYTE* in = source != nullptr ? vertices.data() + std::size_t{v} * fromStride + source->Offset
                                               : nullptr;
            if (same) {
                std::memcpy(out, in, size);
            } else if (convert) {
                float value[4];
                Read(in, source->Type, value);
                Write(out, target.Type, value);
            } else if (diffuse) {
                const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
                if (target.Type == D3DDECLTYPE_D3DCOLOR)
                    std::memcpy(out, &kWhite, sizeof(kWhite));
                else if (Convertible(target.Type))
                    Write(out, target.Type, white);
            }
        }
    }
    return result;
}
