#include "d3dx9/mesh/D3DXMeshContent.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "d3dx9/mesh/D3DXVertexFormat.h"

std::vector<std::array<float, 3>> D3DXMeshContent::Positions() const
{
    std::vector<std::array<float, 3>> positions(numVertices, std::array<float, 3>{});
    const D3DVERTEXELEMENT9* position = D3DXFindElement(elements, D3DDECLUSAGE_POSITION, 0);
    if (position == nullptr || D3DXDeclTypeSize(position->Type) < 12 || position->Type > D3DDECLTYPE_FLOAT4)
        return positions;
    for (DWORD v = 0; v < numVertices; ++v)
        std::memcpy(positions[v].data(), vertices.data() + static_cast<std::size_t>(v) * stride + position->Offset,
                    sizeof(float) * 3);
    return positions;
}

bool D3DXBuildAttributeTable(const std::vector<std::uint32_t>& indices, const std::vector<DWORD>& attributes,
                             std::vector<D3DXATTRIBUTERANGE>& table)
{
    table.clear();
    std::set<DWORD> seen;
    for (std::size_t face = 0; face < attributes.size(); ++face) {
        const DWORD id = attributes[face];
        if (table.empty() || table.back().AttribId != id) {
            if (!seen.insert(id).second) {
                table.clear();
                return false;
            }
            table.push_back({id, static_cast<DWORD>(face), 0, 0, 0});
        }
        D3DXATTRIBUTERANGE& range = table.back();
        const std::uint32_t* corner = &indices[face * 3];
        const std::uint32_t low = std::min({corner[0], corner[1], corner[2]});
        const std::uint32_t high = std::max({corner[0], corner[1], corner[2]});
        if (range.FaceCount == 0) {
            range.VertexStart = low;
            range.VertexCount = high - low + 1;
        } else {
            const DWORD end = std::max(range.VertexStart + range.VertexCount, high + 1);
            range.VertexStart = std::min(range.VertexStart, low);
            range.VertexCount = end - range.VertexStart;
        }
        ++range.FaceCount;
    }
    return true;
}
