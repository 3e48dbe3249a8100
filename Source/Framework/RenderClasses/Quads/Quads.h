#pragma once
#include "DXMesh/BaseRenderObject.h"
#include "d3d9/d3d9.h"

class Transform;

// A fixed number of independent quads (four vertices, two triangles each) in dynamic vertex
// buffers, one buffer per attribute, drawn with one indexed draw call inside an effect pass.
// Stream 0 holds the current positions, 1 normals, 2 colours, 3 texture coordinates and 4 the
// positions of the previous frame (the ring buffer before the current one). The owner writes what
// it needs through the lock/unlock pairs and says how many quads are drawn; a new batch draws
// nothing. Indices, texture coordinates (0,0) (1,0) (1,1) (0,1) and white colours are written at
// creation. The buffers live in the default pool: the owner re-creates the batch after a reset.
class Quads : public BASERENDEROBJECT {
public:
    static constexpr unsigned kPositionBytesPerQuad = 4 * 12;
    static constexpr unsigned kNormalBytesPerQuad = 4 * 12;
    static constexpr unsigned kColorBytesPerQuad = 4 * 4;
    static constexpr unsigned kTexcoordBytesPerQuad = 4 * 8;
    static constexpr unsigned kIndexBytesPerQuad = 6 * 4;

    // Creates the declaration and buffers on the framework's device, every call checked with
    // CheckResult. Throws FrameworkEx for a count or ring size below 1, a count whose buffers
    // would not fit in 32 bits, or when no device is published; nothing is left allocated.
    Quads(int count, int numBuffers, Transform* transform);
    ~Quads() override;
    Quads(const Quads&) = delete;
    Quads& operator=(const Quads&) = delete;

    // Whole-buffer locks with D3DLOCK_DISCARD (positions: the current ring buffer). They return
    // the Lock result; on failure *data is not usable.
    HRESULT LockPositions(void** data);
    HRESULT LockNormals(void** data);
    HRESULT LockTexcoords(void** data);
    HRESULT LockColors(void** data);
    // Lock quadCount quads from firstQuad (quadCount 0: from firstQuad to the end). A range
    // outside the batch gives D3DERR_INVALIDCALL without touching the buffer; a buffer that was
    // not made because the device was lost gives D3DERR_DEVICELOST, as the rebuild makes it anew.
    HRESULT LockPositions(void** data, unsigned firstQuad, unsigned quadCount, DWORD flags);
    HRESULT LockNormals(void** data, unsigned firstQuad, unsigned quadCount, DWORD flags);
    HRESULT LockTexcoords(void** data, unsigned firstQuad, unsigned quadCount, DWORD flags);
    HRESULT LockColors(void** data, unsigned firstQuad, unsigned quadCount, DWORD flags);
    HRESULT UnlockPositions();
    HRESULT UnlockNormals();
    HRESULT UnlockTexcoords();
    HRESULT UnlockColors();

    // Gives every vertex the colour. Returns the failed Lock's code (nothing written) or the
    // Unlock result.
    HRESULT SetColor(D3DCOLOR colour);
    // The number of quads Draw draws from `first`; 0 (or less) draws nothing.
    void SetDrawCount(int n);
    // The first quad Draw draws (0 at creation): with a draw count of 1, one quad of the batch.
    // Outside the batch (negative, or at or past the count) nothing is drawn.
    void SetFirst(int index);

    // Binds declaration, streams and indices on the framework's device and draws drawCount quads
    // from `first` (no more than the batch holds). Device results are ignored.
    void Draw() override;

    // Releases the declaration and every buffer; safe to call again.
    void Release();

    int GetCount() const { return count; }
    int GetDrawCount() const { return drawCount; }
    int GetFirst() const { return first; }
    int GetCurrent() const { return current; }
    int GetNumBuffers() const { return numBuffers; }

protected:
    int numBuffers;
    int current = 0;
    IDirect3DVertexBuffer9* normals = nullptr;
    IDirect3DVertexBuffer9* texcoords = nullptr;
    IDirect3DVertexBuffer9** positions = nullptr;
    IDirect3DVertexBuffer9* colors = nullptr;
    IDirect3DVertexDeclaration9* decl = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    int count;
    int drawCount = 0;
    int first = 0;
    bool lostWhileMade = false; // a buffer is missing because the device was lost as it was made

private:
    void CreateBuffers();
    HRESULT LockQuads(IDirect3DVertexBuffer9* buffer, unsigned bytesPerQuad, void** data, unsigned firstQuad,
                      unsigned quadCount, DWORD flags);
    static HRESULT UnlockBuffer(IDirect3DVertexBuffer9* buffer);
};
