#include "RenderClasses/Sprites/Sprites.h"

#include "DXError.h"
#include "FrameworkEx.h"

namespace {

// Corner signs of x and y in vertex order: top left, top right, bottom right, bottom left.
const float kCornerSigns[4][2] = {{-1.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, -1.0f}, {-1.0f, -1.0f}};

} // namespace

Sprites::Sprites(int count, int numBuffers, Transform* transform)
    : Quads(count, numBuffers, transform), spriteCount(static_cast<unsigned>(count)),
      spritePositions(static_cast<std::size_t>(count), D3DXVECTOR3(0.0f, 0.0f, 0.0f))
{
}

Sprites::~Sprites() = default;

HRESULT Sprites::SetPositions(const D3DXVECTOR3* centres, unsigned n)
{
    if (n > spriteCount || (centres == nullptr && n > 0))
        return E_FAIL;
    SetDrawCount(static_cast<int>(n));
    void* data = nullptr;
    const HRESULT locked = LockPositions(&data);
    if (locked != D3D_OK)
        return locked;
    auto* out = static_cast<D3DXVECTOR3*>(data);
    for (unsigned i = 0; i < n; ++i) {
        for (unsigned corner = 0; corner < 4; ++corner)
            out[4 * i + corner] = centres[i];
    }
    return UnlockPositions();
}

HRESULT Sprites::SetPositions(const D3DXVECTOR3* centres)
{
    return SetPositions(centres, spriteCount);
}

HRESULT Sprites::UpdatePositions()
{
    return SetPositions(spritePositions.data());
}

template <typename Offset>
void Sprites::WriteCornerOffsets(DWORD flags, Offset offset)
{
    void* data = nullptr;
    const HRESULT locked = LockNormals(&data, 0, spriteCount, flags);
    CHECK_RESULT(locked);
    // A lost device passes the check and leaves nothing to write into.
    if (locked != D3D_OK)
        return;
    auto* out = static_cast<D3DXVECTOR3*>(data);
    for (unsigned i = 0; i < spriteCount; ++i) {
        for (unsigned corner = 0; corner < 4; ++corner)
            out[4 * i + corner] = offset(i, corner);
    }
    UnlockNormals();
}

void Sprites::SetSize(float s)
{
    WriteCornerOffsets(D3DLOCK_DISCARD, [s](unsigned, unsigned corner) {
        return D3DXVECTOR3(kCornerSigns[corner][0] * s, kCornerSigns[corner][1] * s, 0.0f);
    });
}

void Sprites::SetSizes(const D3DXVECTOR2* sizes)
{
    if (sizes == nullptr)
        throw FrameworkEx("[Sprites::SetSizes] sizes == NULL");
    WriteCornerOffsets(0, [sizes](unsigned i, unsigned corner) {
        return D3DXVECTOR3(kCornerSigns[corner][0] * sizes[i].x, kCornerSigns[corner][1] * sizes[i].y, 0.0f);
    });
}
