#include <algorithm>
#include <cstring>

#include "d3dx9/d3dx9mesh.h"

HRESULT D3DXComputeBoundingBox(const D3DXVECTOR3* pFirstPosition, DWORD NumVertices, DWORD dwStride,
                               D3DXVECTOR3* pMin, D3DXVECTOR3* pMax)
{
    if (pFirstPosition == nullptr || pMin == nullptr || pMax == nullptr || NumVertices == 0)
        return D3DERR_INVALIDCALL;
    const auto* bytes = reinterpret_cast<const unsigned char*>(pFirstPosition);
    float low[3];
    float high[3];
    std::memcpy(low, bytes, sizeof(low));
    std::memcpy(high, bytes, sizeof(high));
    for (DWORD i = 1; i < NumVertices; ++i) {
        float p[3];
        std::memcpy(p, bytes + static_cast<std::size_t>(i) * dwStride, sizeof(p));
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], p[c]);
            high[c] = std::max(high[c], p[c]);
        }
    }
    *pMin = D3DXVECTOR3(low[0], low[1], low[2]);
    *pMax = D3DXVECTOR3(high[0], high[1], high[2]);
    return D3D_OK;
}
