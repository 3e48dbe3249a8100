#pragma once
#include <vector>

#include "RenderClasses/Quads/Quads.h"
#include "d3dx9/d3dx9math.h"

class Transform;

// Camera-facing point sprites on a batch of quads: all four vertices of a sprite sit at its
// centre, and the normal stream carries each corner's offset, which the effect turns to face
// the camera. Texture coordinates tell the corners apart as well.
class Sprites : public Quads {
public:
    // A batch of `count` sprites whose CPU-side centres start at the origin.
    Sprites(int count, int numBuffers, Transform* transform);
    ~Sprites() override;

    // Puts sprite i at centres[i] for i < n and draws those n sprites (n 0 hides them all).
    // More centres than sprites, or no centres for n > 0: E_FAIL and nothing changes. A failed
    // Lock is returned with nothing written; otherwise the Unlock result.
    HRESULT SetPositions(const D3DXVECTOR3* centres, unsigned n);
    // The same for every sprite.
    HRESULT SetPositions(const D3DXVECTOR3* centres);
    // SetPositions from the CPU-side centres.
    HRESULT UpdatePositions();

    // Corner offsets (-s, s), (s, s), (s, -s), (-s, -s) for every sprite. A failed lock goes
    // through CheckResult.
    void SetSize(float s);
    // Per sprite i, with (x, y) = sizes[i]: (-x, y), (x, y), (x, -y), (-x, -y). `sizes` holds
    // one entry per sprite; null throws FrameworkEx.
    void SetSizes(const D3DXVECTOR2* sizes);

    unsigned GetSpriteCount() const { return spriteCount; }
    // The CPU-side centres, GetSpriteCount() of them, for the owner to write before
    // UpdatePositions.
    D3DXVECTOR3* GetSpritePositions() { return spritePositions.data(); }
    const D3DXVECTOR3* GetSpritePositions() const { return spritePositions.data(); }

protected:
    unsigned spriteCount;
    std::vector<D3DXVECTOR3> spritePositions;

private:
    // Locks the normals of every sprite under CheckResult and writes offset(i, corner) there.
    template <typename Offset>
    void WriteCornerOffsets(DWORD flags, Offset offset);
};
