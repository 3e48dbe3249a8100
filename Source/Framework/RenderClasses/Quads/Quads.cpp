#include "RenderClasses/Quads/Quads.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"

namespace {

constexpr DWORD kBufferUsage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;

// The widest per-quad block (positions and normals); every buffer size must fit in 32 bits.
constexpr std::int64_t kMaxQuads = std::numeric_limits<UINT>::max() / 48;

const D3DVERTEXELEMENT9 kQuadVertexElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {1, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
    {2, 0, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    {3, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    {4, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 1},
    D3DDECL_END()};

const float kCornerTexcoords[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};

} // namespace

Quads::Quads(int count, int numBuffers, Transform* transform)
    : BASERENDEROBJECT(transform), numBuffers(numBuffers), count(count)
{
    if (count < 1 || count > kMaxQuads)
        throw FrameworkEx("[Quads] Invalid quad count " + std::to_string(count) + ".");
    if (numBuffers < 1)
        throw FrameworkEx("[Quads] Invalid number of position buffers " + std::to_string(numBuffers) + ".");
    if (DXFramework::GetDevice() == nullptr)
        throw FrameworkEx("[Quads] No Direct3D device.");
    try {
        CreateBuffers();
    } catch (...) {
        // The destructor does not run for a half-made object.
        Release();
        throw;
    }
}

Quads::~Quads()
{
    Release();
}

void Quads::CreateBuffers()
{
    IDirect3DDevice9* device = DXFramework::GetDevice();
    const UINT quads = static_cast<UINT>(count);
    // A loss is handed on to the framework, which rebuilds everything; the buffer stays missing.
    const auto Made = [this](HRESULT result) {
        if (result == D3DERR_DEVICELOST)
            lostWhileMade = true;
        CHECK_RESULT(result);
    };

    Made(device->CreateVertexDeclaration(kQuadVertexElements, &decl));

    positions = new IDirect3DVertexBuffer9*[numBuffers]();
    for (int i = 0; i < numBuffers; ++i)
        Made(device->CreateVertexBuffer(quads * kPositionBytesPerQuad, kBufferUsage, 0, D3DPOOL_DEFAULT, &positions[i],
                                        nullptr));

    Made(device->CreateVertexBuffer(quads * kTexcoordBytesPerQuad, kBufferUsage, 0, D3DPOOL_DEFAULT, &texcoords, nullptr));
    Made(device->CreateVertexBuffer(quads * kNormalBytesPerQuad, kBufferUsage, 0, D3DPOOL_DEFAULT, &normals, nullptr));
    Made(device->CreateVertexBuffer(quads * kColorBytesPerQuad, kBufferUsage, 0, D3DPOOL_DEFAULT, &colors, nullptr));
    Made(device->CreateIndexBuffer(quads * kIndexBytesPerQuad, kBufferUsage, D3DFMT_INDEX32, D3DPOOL_DEFAULT, &indices,
                                   nullptr));

    // Two triangles per quad: 0 1 2 and 0 2 3 of its four vertices.
    void* data = nullptr;
    if (indices != nullptr && indices->Lock(0, quads * kIndexBytesPerQuad, &data, 0) == D3D_OK) {
        auto* out = static_cast<std::uint32_t*>(data);
        for (std::uint32_t i = 0; i < quads; ++i) {
            const std::uint32_t v = 4 * i;
            const std::uint32_t quad[6] = {v, v + 1, v + 2, v, v + 2, v + 3};
            std::memcpy(out + 6 * i, quad, sizeof(quad));
        }
        indices->Unlock();
    }

    SetColor(0xFFFFFFFF);

    if (LockTexcoords(&data) == D3D_OK) {
        auto* out = static_cast<float*>(data);
        for (UINT i = 0; i < quads; ++i)
            std::memcpy(out + 8 * i, kCornerTexcoords, sizeof(kCornerTexcoords));
        UnlockTexcoords();
    }
}

HRESULT Quads::LockQuads(IDirect3DVertexBuffer9* buffer, unsigned bytesPerQuad, void** data, unsigned firstQuad,
                         unsigned quadCount, DWORD flags)
{
    const unsigned quads = static_cast<unsigned>(count);
    // Checked here rather than left to the device: the byte offset of a far-off quad would wrap.
    if (buffer == nullptr && data != nullptr && lostWhileMade)
        return D3DERR_DEVICELOST;
    if (buffer == nullptr || data == nullptr || firstQuad > quads || quadCount > quads - firstQuad)
        return D3DERR_INVALIDCALL;
    return buffer->Lock(firstQuad * bytesPerQuad, quadCount * bytesPerQuad, data, flags);
}

HRESULT Quads::UnlockBuffer(IDirect3DVertexBuffer9* buffer)
{
    return buffer != nullptr ? buffer->Unlock() : D3DERR_INVALIDCALL;
}

HRESULT Quads::LockPositions(void** data)
{
    return LockPositions(data, 0, 0, D3DLOCK_DISCARD);
}

HRESULT Quads::LockNormals(void** data)
{
    return LockNormals(data, 0, 0, D3DLOCK_DISCARD);
}

HRESULT Quads::LockTexcoords(void** data)
{
    return LockTexcoords(data, 0, 0, D3DLOCK_DISCARD);
}

HRESULT Quads::LockColors(void** data)
{
    return LockColors(data, 0, 0, D3DLOCK_DISCARD);
}

HRESULT Quads::LockPositions(void** data, unsigned firstQuad, unsigned quadCount, DWORD flags)
{
    IDirect3DVertexBuffer9* buffer = positions != nullptr ? positions[current] : nullptr;
    return LockQuads(buffer, kPositionBytesPerQuad, data, firstQuad, quadCount, flags);
}

HRESULT Quads::LockNormals(void** data, unsigned firstQuad, unsigned quadCount, DWORD flags)
{
    return LockQuads(normals, kNormalBytesPerQuad, data, firstQuad, quadCount, flags);
}

HRESULT Quads::LockTexcoords(void** data, unsigned firstQuad, unsigned quadCount, DWORD flags)
{
    return LockQuads(texcoords, kTexcoordBytesPerQuad, data, firstQuad, quadCount, flags);
}

HRESULT Quads::LockColors(void** data, unsigned firstQuad, unsigned quadCount, DWORD flags)
{
    return LockQuads(colors, kColorBytesPerQuad, data, firstQuad, quadCount, flags);
}

HRESULT Quads::UnlockPositions()
{
    return UnlockBuffer(positions != nullptr ? positions[current] : nullptr);
}

HRESULT Quads::UnlockNormals()
{
    return UnlockBuffer(normals);
}

HRESULT Quads::UnlockTexcoords()
{
    return UnlockBuffer(texcoords);
}

HRESULT Quads::UnlockColors()
{
    return UnlockBuffer(colors);
}

HRESULT Quads::SetColor(D3DCOLOR colour)
{
    void* data = nullptr;
    const HRESULT locked = LockColors(&data);
    if (locked != D3D_OK)
        return locked;
    std::fill_n(static_cast<D3DCOLOR*>(data), 4 * static_cast<std::size_t>(count), colour);
    return UnlockColors();
}

void Quads::SetDrawCount(int n)
{
    drawCount = n;
}

void Quads::SetFirst(int index)
{
    first = index;
}

void Quads::Draw()
{
    // Never more quads than the batch holds from `first`: the index range would run past it.
    const int quads = std::min(drawCount, count - first);
    if (quads <= 0 || first < 0 || positions == nullptr)
        return;
    const int previous = (current + numBuffers - 1) % numBuffers;

    IDirect3DDevice9* device = DXFramework::GetDevice();
    if (device == nullptr)
        return;
    device->SetVertexDeclaration(decl);
    device->SetStreamSource(0, positions[current], 0, 12);
    device->SetStreamSource(1, normals, 0, 12);
    device->SetStreamSource(2, colors, 0, 4);
    device->SetStreamSource(3, texcoords, 0, 8);
    device->SetStreamSource(4, positions[previous], 0, 12);
    device->SetIndices(indices);
    // The indices of the drawn quads reach their own vertices only, from the first one's on.
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(first) * 4, static_cast<UINT>(quads) * 4,
                                 static_cast<UINT>(first) * 6, static_cast<UINT>(quads) * 2);
}

void Quads::Release()
{
    if (decl != nullptr) {
        decl->Release();
        decl = nullptr;
    }
    if (positions != nullptr) {
        for (int i = 0; i < numBuffers; ++i) {
            if (positions[i] != nullptr)
                positions[i]->Release();
        }
        delete[] positions;
        positions = nullptr;
    }
    for (IDirect3DVertexBuffer9** buffer : {&normals, &colors, &texcoords}) {
        if (*buffer != nullptr) {
            (*buffer)->Release();
            *buffer = nullptr;
        }
    }
    if (indices != nullptr) {
        indices->Release();
        indices = nullptr;
    }
}
