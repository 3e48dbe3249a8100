#pragma once
// The device side of a D3DX mesh: its vertex buffer, index buffer and vertex declaration, made in
// the pools and with the usages its D3DXMESH options ask for.
#include <cstdint>
#include <vector>

#include "d3dx9/d3dx9mesh.h"

class D3DXMeshBuffers {
public:
    D3DXMeshBuffers() = default;
    ~D3DXMeshBuffers();
    D3DXMeshBuffers(const D3DXMeshBuffers&) = delete;
    D3DXMeshBuffers& operator=(const D3DXMeshBuffers&) = delete;

    // D3DERR_INVALIDCALL for unknown options, a vertex buffer or index buffer asked for in two
    // pools, no faces or vertices, more than 65535 vertices with 16-bit indices, or buffers larger
    // than a UINT can measure; otherwise what the device answers.
    HRESULT Create(IDirect3DDevice9* device, DWORD options, const std::vector<D3DVERTEXELEMENT9>& elements,
                   UINT stride, DWORD numVertices, DWORD numFaces);

    // Copies vertices (count * stride bytes) and indices (three per face, each below the vertex
    // count) into the buffers, from the first vertex and face on.
    HRESULT WriteVertices(const std::vector<BYTE>& vertices);
    HRESULT WriteIndices(const std::vector<std::uint32_t>& indices);
    // The first `count` vertices, and the indices of the first `faces` faces.
    HRESULT ReadVertices(DWORD count, std::vector<BYTE>& vertices);
    HRESULT ReadIndices(DWORD faces, std::vector<std::uint32_t>& indices);

    // Binds the buffers and the declaration and draws the faces [faceStart, faceStart + faceCount),
    // whose indices lie in [vertexStart, vertexStart + vertexCount).
    HRESULT Draw(DWORD faceStart, DWORD faceCount, DWORD vertexStart, DWORD vertexCount);

    IDirect3DDevice9* Device() const { return device_; }
    IDirect3DVertexBuffer9* VertexBuffer() const { return vertexBuffer_; }
    IDirect3DIndexBuffer9* IndexBuffer() const { return indexBuffer_; }
    DWORD Options() const { return options_; }
    DWORD Fvf() const { return fvf_; }
    UINT Stride() const { return stride_; }
    const std::vector<D3DVERTEXELEMENT9>& Elements() const { return elements_; }
    DWORD VertexCapacity() const { return vertexCapacity_; }
    DWORD FaceCapacity() const { return faceCapacity_; }
    bool Indices32() const { return (options_ & D3DXMESH_32BIT) != 0; }

private:
    IDirect3DDevice9* device_ = nullptr;
    IDirect3DVertexBuffer9* vertexBuffer_ = nullptr;
    IDirect3DIndexBuffer9* indexBuffer_ = nullptr;
    IDirect3DVertexDeclaration9* declaration_ = nullptr;
    DWORD options_ = 0;
    DWORD fvf_ = 0;
    UINT stride_ = 0;
    std::vector<D3DVERTEXELEMENT9> elements_;
    DWORD vertexCapacity_ = 0;
    DWORD faceCapacity_ = 0;
};
