#include "Dust.h"

#include "DXEffect/DXEffectHandler.h"
#include "DXEffect/EffectRun.h"
#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "Transform.h"

namespace {

// One corner of a particle's triangle: the particle's place in the unit cube and which corner.
struct DustVertex {
    float position[3];
    float corner[3];
};
static_assert(sizeof(DustVertex) == 24, "the declaration reads 24-byte vertices");

constexpr unsigned kVerticesPerParticle = 3;
// The corners of every particle, in this order; the effect spreads them into a sprite.
constexpr float kCorners[kVerticesPerParticle][3] = {{0.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};

const D3DVERTEXELEMENT9 kDeclaration[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END(),
};

// The result rule at this file's line; true when the call succeeded. A lost device has been
// reported to the framework, which rebuilds every resource later: the caller gives up quietly.
bool Succeeded(HRESULT result, int line)
{
    CheckResult(result, __FILE__, line);
    return result == D3D_OK;
}

// 1 / scale, or 1 for a flat axis: a box squashed to nothing keeps its orientation without
// dividing by zero (its dust is flat then, not undefined).
float Inverse(float scale)
{
    return scale != 0.0f ? 1.0f / scale : 1.0f;
}

} // namespace

Dust::Dust(const std::string& name) : DXModule(name) {}

Dust::~Dust()
{
    ReleaseResources();
}

void Dust::CreateResources()
{
    ReleaseResources(); // a second creation replaces the buffer instead of leaking it
    IDirect3DDevice9* device = DXFramework::GetDevice();
    if (!device)
        throw FrameworkEx("[Dust::CreateResources()] No Direct3D device");

    if (!Succeeded(device->CreateVertexDeclaration(kDeclaration, &vertexDecl), __LINE__))
        return;
    if (!Succeeded(device->CreateVertexBuffer(count * kVerticesPerParticle * sizeof(DustVertex), 0, 0,
                                              D3DPOOL_DEFAULT, &vertexBuffer, nullptr),
                   __LINE__))
        return;

    void* data = nullptr;
    if (!Succeeded(vertexBuffer->Lock(0, 0, &data, 0), __LINE__))
        return;
    auto* vertex = static_cast<DustVertex*>(data);
    for (unsigned i = 0; i < count; ++i) {
        // A place in the unit cube around the origin, drawn z first.
        const float z = RandomRange(-0.5f, 0.5f);
        const float y = RandomRange(-0.5f, 0.5f);
        const float x = RandomRange(-0.5f, 0.5f);
        for (const float(&corner)[3] : kCorners) {
            *vertex++ = DustVertex{{x, y, z}, {corner[0], corner[1], corner[2]}};
        }
    }
    Succeeded(vertexBuffer->Unlock(), __LINE__);
}

void Dust::ReleaseResources()
{
    if (vertexBuffer)
        vertexBuffer->Release();
    vertexBuffer = nullptr;
    if (vertexDecl)
        vertexDecl->Release();
    vertexDecl = nullptr;
}

void Dust::Update() {}

void Dust::Draw()
{
    if (!box)
        throw FrameworkEx("[Dust::Draw()] No Transform set");
    DXEffect* effect = DXEffectHandler::GetActiveEffect();
    if (!effect || !effect->GetD3DXEffect())
        throw FrameworkEx("[Dust::Draw()] No effect set");

    const D3DXMATRIX& world = box->GetWorld();
    effect->SetObjectMatrices(&world, &world);
    if (!vertexBuffer || !vertexDecl)
        return; // no resources (yet, or since a lost device): nothing to draw

    IDirect3DDevice9* device = DXFramework::GetDevice();
    CHECK_RESULT(device->SetVertexDeclaration(vertexDecl));
    CHECK_RESULT(device->SetStreamSource(0, vertexBuffer, 0, sizeof(DustVertex)));

    // The box's orientation and place without its scale: the frame the motes drift in.
    const D3DXVECTOR3& scale = box->GetScale();
    D3DXMATRIX unscale;
    D3DXMatrixScaling(&unscale, Inverse(scale.x), Inverse(scale.y), Inverse(scale.z));
    const D3DXMATRIX frame = unscale * world;
    effect->SetMatrixBySemantic("MYMAT", &frame);

    ID3DXEffect* d3dxEffect = effect->GetD3DXEffect();
    UINT passes = 0;
    if (!Succeeded(d3dxEffect->Begin(&passes, 0), __LINE__))
        return;
    EffectRun run(d3dxEffect);
    for (UINT pass = 0; pass < passes; ++pass) {
        CHECK_RESULT(d3dxEffect->BeginPass(pass));
        CHECK_RESULT(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, count));
        CHECK_RESULT(d3dxEffect->EndPass());
    }
}
