#include "MeshDust.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "DXEffect/DXEffectHandler.h"
#include "DXEffect/EffectRun.h"
#include "DXError.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "FrameworkEx.h"
#include "Transform.h"
#include "crt/CRand.h"

namespace {

// Streams 0 and 1: two float3 each.
struct ParticleVertex {
    D3DXVECTOR3 first;
    D3DXVECTOR3 second;
};
static_assert(sizeof(ParticleVertex) == 24, "the declaration reads 24-byte vertices");

const D3DVERTEXELEMENT9 kDeclaration[] = {
    // Where the particle starts on the mesh, and how it is launched.
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
    // Where it ends in the target box, and the pull towards the box's centre.
    {1, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    {1, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 1},
    {2, 0, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    D3DDECL_END(),
};

constexpr float kPi = 3.14159265358979323846f;
constexpr unsigned kShuffleSeed = 659;
// The particles are thrown away from this point, and all of them towards +z.
const D3DXVECTOR3 kLaunchCentre(0.0f, 0.5f, 1.8f);
const D3DXVECTOR3 kLaunchDrift(0.0f, 0.0f, 8.0f);

// The result rule at this file's line; true when the call succeeded. A lost device has been
// reported to the framework, which rebuilds every resource later.
bool Succeeded(HRESULT result, int line)
{
    CheckResult(result, __FILE__, line);
    return result == D3D_OK;
}

D3DXVECTOR3 TransformPoint(const D3DXVECTOR3& point, const D3DXMATRIX& matrix)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &point, &matrix);
    return out;
}

// One particle on every pi * radius^2 of the mesh's surface, triangle by triangle in index order,
// the remainder carried on; placed by the mesh's world matrix.
std::vector<D3DXVECTOR3> MeshDustParticles(DXMesh& mesh, float radius)
{
    ID3DXMesh* d3dxMesh = mesh.GetMesh();
    if (!d3dxMesh)
        throw FrameworkEx("[MeshDust::Init] The mesh is not loaded");
    if (!(d3dxMesh->GetOptions() & D3DXMESH_32BIT))
        throw FrameworkEx("indices not 32 bits! wtf");

    const unsigned vertexCount = mesh.GetNumVertices();
    std::vector<D3DXVECTOR3> positions(vertexCount);
    if (vertexCount)
        mesh.GetVertexPositions(positions.data());

    std::vector<std::uint32_t> indices(static_cast<std::size_t>(mesh.GetNumFaces()) * 3);
    void* data = nullptr;
    mesh.LockIB(&data, D3DLOCK_READONLY);
    if (!data)
        return {}; // the device was lost; the rebuild samples the mesh again
    if (!indices.empty())
        std::memcpy(indices.data(), data, indices.size() * sizeof(std::uint32_t));
    mesh.UnlockIB();

    const float share = kPi * radius * radius;
    std::vector<D3DXVECTOR3> particles;
    float carried = 0.0f;
    for (std::size_t face = 0; face + 2 < indices.size(); face += 3) {
        for (std::size_t k = 0; k < 3; ++k) {
            if (indices[face + k] >= vertexCount)
                throw FrameworkEx("[MeshDust::Init] A face of the mesh names a vertex it does not have");
        }
        const D3DXVECTOR3& a = positions[indices[face]];
        const D3DXVECTOR3& b = positions[indices[face + 1]];
        const D3DXVECTOR3& c = positions[indices[face + 2]];
        // Half the base AB times the height of C over it; a triangle without a base has no area.
        const D3DXVECTOR3 ab = b - a;
        const D3DXVECTOR3 ac = c - a;
        D3DXVECTOR3 normal;
        D3DXVec3Cross(&normal, &ab, &ac);
        carried += 0.5f * D3DXVec3Length(&normal) / share;
        while (carried >= 1.0f) {
            float u = 0.0f;
            float v = 0.0f;
            do {
                u = RandomRange(0.0f, 1.0f);
                v = RandomRange(0.0f, 1.0f);
            } while (u + v > 1.0f);
            const D3DXVECTOR3 onFace = c * (1.0f - u - v) + b * v + a * u;
            particles.push_back(TransformPoint(onFace, mesh.world));
            carried -= 1.0f;
        }
    }
    return particles;
}

// 0 ... count - 1 in an order fixed by its own seed, so that the first n particles are a random
// subset that is the same at every run.
std::vector<unsigned> Shuffled(unsigned count)
{
    std::vector<unsigned> order(count);
    for (unsigned i = 0; i < count; ++i)
        order[i] = i;
    if (count == 0)
        return order;
    crt::srand(kShuffleSeed);
    const float last = static_cast<float>(count - 1);
    for (unsigned swaps = 0; swaps < 2 * count; ++swaps) {
        const unsigned i = std::min(static_cast<unsigned>(RandomRange(0.0f, last)), count - 1);
        const unsigned j = std::min(static_cast<unsigned>(RandomRange(0.0f, last)), count - 1);
        std::swap(order[i], order[j]);
    }
    return order;
}

} // namespace

MeshDust::MeshDust(const std::string& name) : DXModule(name) {}

MeshDust::~MeshDust()
{
    ReleaseBuffers();
    if (vertexDecl)
        vertexDecl->Release();
}

void MeshDust::ReleaseBuffers()
{
    count = 0;
    if (colourBuffer)
        colourBuffer->Release();
    colourBuffer = nullptr;
    for (unsigned i = 0; i < bufferCount; ++i) {
        if (vertexBuffers[i])
            vertexBuffers[i]->Release();
    }
    delete[] vertexBuffers;
    vertexBuffers = nullptr;
    bufferCount = 0;
}

void MeshDust::ReleaseResources()
{
    ReleaseBuffers();
    targets.clear();
}

void MeshDust::Update() {}

void MeshDust::AddTarget(Transform* transform, float pull)
{
    if (!transform)
        throw FrameworkEx("[MeshDust::AddTarget] No transform given");
    targets.push_back(TRANS{transform, pull});
}

void MeshDust::Init(DXMesh* mesh, float radius)
{
    if (!mesh)
        throw FrameworkEx("[MeshDust::Init] No mesh given");
    if (!(radius > 0.0f) || !std::isfinite(radius))
        throw FrameworkEx("[MeshDust::Init] The radius must be positive");
    if (targets.empty())
        throw FrameworkEx("[MeshDust::Init] No target box: AddTarget comes first");
    IDirect3DDevice9* device = DXFramework::GetDevice();
    if (!device)
        throw FrameworkEx("[MeshDust::Init] No Direct3D device");

    ReleaseBuffers(); // a second Init replaces the particles instead of leaking them
    const std::vector<D3DXVECTOR3> particles = MeshDustParticles(*mesh, radius);
    const unsigned particleCount = static_cast<unsigned>(particles.size());

    if (vertexDecl)
        vertexDecl->Release();
    vertexDecl = nullptr;
    if (!Succeeded(device->CreateVertexDeclaration(kDeclaration, &vertexDecl), __LINE__))
        return;

    const std::vector<unsigned> order = Shuffled(particleCount);
    if (particleCount == 0)
        return; // too little surface for one particle: nothing to draw

    bufferCount = static_cast<unsigned>(targets.size()) + 1;
    vertexBuffers = new IDirect3DVertexBuffer9*[bufferCount]();
    const UINT bytes = particleCount * sizeof(ParticleVertex);
    for (unsigned i = 0; i < bufferCount; ++i) {
        if (!Succeeded(device->CreateVertexBuffer(bytes, 0, 0, D3DPOOL_DEFAULT, &vertexBuffers[i], nullptr),
                       __LINE__)) {
            ReleaseBuffers();
            return;
        }
    }
    if (!Succeeded(device->CreateVertexBuffer(particleCount * sizeof(D3DCOLOR), 0, 0, D3DPOOL_DEFAULT,
                                              &colourBuffer, nullptr),
                   __LINE__)) {
        ReleaseBuffers();
        return;
    }

    // Locks a buffer whole; null when the device was lost (everything is then let go).
    auto lock = [this](IDirect3DVertexBuffer9* buffer, int line) -> void* {
        void* data = nullptr;
        if (!Succeeded(buffer->Lock(0, 0, &data, 0), line) || !data) {
            ReleaseBuffers();
            return nullptr;
        }
        return data;
    };
    auto unlock = [this](IDirect3DVertexBuffer9* buffer, int line) {
        if (!Succeeded(buffer->Unlock(), line)) {
            ReleaseBuffers();
            return false;
        }
        return true;
    };

    // The start: the particle's place on the mesh and a launch away from the launch centre.
    auto* start = static_cast<ParticleVertex*>(lock(vertexBuffers[0], __LINE__));
    if (!start)
        return;
    for (unsigned j = 0; j < particleCount; ++j) {
        const D3DXVECTOR3& place = particles[order[j]];
        D3DXVECTOR3 dir = place - kLaunchCentre;
        D3DXVec3Normalize(&dir, &dir);
        const D3DXVECTOR3 launch = dir * RandomRange(4.6f, 6.0f) + kLaunchDrift;
        start[j] = ParticleVertex{place, launch};
    }
    if (!unlock(vertexBuffers[0], __LINE__))
        return;

    auto* colours = static_cast<D3DCOLOR*>(lock(colourBuffer, __LINE__));
    if (!colours)
        return;
    std::fill(colours, colours + particleCount, D3DCOLOR_ARGB(255, 255, 255, 255));
    if (!unlock(colourBuffer, __LINE__))
        return;

    // Each target: a place in the box (the unit cube through its world matrix) and the pull
    // towards its centre.
    for (std::size_t k = 0; k < targets.size(); ++k) {
        IDirect3DVertexBuffer9* buffer = vertexBuffers[k + 1];
        auto* end = static_cast<ParticleVertex*>(lock(buffer, __LINE__));
        if (!end)
            return;
        const Transform& box = *targets[k].transform;
        for (unsigned j = 0; j < particleCount; ++j) {
            D3DXVECTOR3 inCube;
            inCube.z = RandomRange(-1.0f, 1.0f) * 0.5f;
            inCube.y = RandomRange(-1.0f, 1.0f) * 0.5f;
            inCube.x = RandomRange(-1.0f, 1.0f) * 0.5f;
            const D3DXVECTOR3 place = TransformPoint(inCube, box.GetWorld());
            const D3DXVECTOR3 fromCentre = place - box.GetTranslation();
            end[j] = ParticleVertex{place, fromCentre * -targets[k].pull};
        }
        if (!unlock(buffer, __LINE__))
            return;
    }
    count = particleCount;
}

void MeshDust::SelectTarget(float)
{
    activeTarget = 0;
}

void MeshDust::Draw(float fraction, float pointSize)
{
    if (count == 0)
        return;
    DXEffectHandler::SetFloatBySemantic("PSIZE", pointSize);
    // More than all of them is all of them; none (or NaN) is none.
    const float share = fraction > 0.0f ? std::min(fraction, 1.0f) : 0.0f;
    const auto points = static_cast<UINT>(static_cast<float>(count) * share);
    if (points == 0)
        return;

    ID3DXEffect* effect = DXEffectHandler::GetActiveEffect()->GetD3DXEffect();
    if (!effect)
        throw FrameworkEx("[MeshDust::Draw] The active effect is not loaded");
    IDirect3DDevice9* device = DXFramework::GetDevice();
    UINT passes = 0;
    if (!Succeeded(effect->Begin(&passes, 0), __LINE__))
        return;
    EffectRun run(effect);
    for (UINT pass = 0; pass < passes; ++pass) {
        CHECK_RESULT(effect->BeginPass(pass));
        CHECK_RESULT(device->SetVertexDeclaration(vertexDecl));
        CHECK_RESULT(device->SetStreamSource(0, vertexBuffers[activeTarget], 0, sizeof(ParticleVertex)));
        CHECK_RESULT(device->SetStreamSource(1, vertexBuffers[activeTarget + 1], 0, sizeof(ParticleVertex)));
        CHECK_RESULT(device->SetStreamSource(2, colourBuffer, 0, sizeof(D3DCOLOR)));
        CHECK_RESULT(device->DrawPrimitive(D3DPT_POINTLIST, 0, points));
        CHECK_RESULT(effect->EndPass());
    }
}
