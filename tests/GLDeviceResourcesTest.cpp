#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "GLTestDevice.h"
#include "d3d9/gl/GLDevice.h"

namespace {

using GLDeviceResourcesTest = GLTestDevice;

constexpr D3DCOLOR kRed = D3DCOLOR_XRGB(255, 0, 0);
constexpr D3DCOLOR kGreen = D3DCOLOR_XRGB(0, 255, 0);
constexpr D3DCOLOR kBlue = D3DCOLOR_XRGB(0, 0, 255);

// One pixel per lookup: pixel i of a row samples the cube or volume texture at lookups[i].
const char* kLookupPS = R"(
uniform SAMPLER image;
uniform vec3 lookups[24];
out vec4 COLOR0;
void main()
{
    COLOR0 = texture(image, lookups[int(gl_FragCoord.x)]);
})";

std::string LookupShader(const char* sampler)
{
    std::string source = kLookupPS;
    source.replace(source.find("SAMPLER"), 7, sampler);
    return source;
}

// Direct3D's cube faces: for a direction on face f, the texture coordinates are
// u = (sc / |ma| + 1) / 2 and v = (tc / |ma| + 1) / 2 with sc, tc from this table (v = 0 is the top row).
// Here the inverse: the direction whose sc and tc are (a, b) on each face.
void CubeDirection(int face, float a, float b, float dir[3])
{
    const float d[6][3] = {{1, -b, -a}, {-1, -b, a}, {a, 1, b}, {a, -1, -b}, {a, -b, 1}, {-a, -b, -1}};
    std::memcpy(dir, d[face], sizeof d[face]);
}

class LookupFixture : public GLTestDevice {
protected:
    // Samples `texture` at the 24 lookups, one pixel each, and returns the pixels.
    std::vector<std::uint32_t> Sample(IDirect3DBaseTexture9* texture, const char* sampler, const float* lookups)
    {
        IDirect3DSurface9* row = nullptr;
        EXPECT_EQ(device->CreateRenderTarget(24, 1, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &row, nullptr),
                  D3D_OK);
        Own(row);
        EXPECT_EQ(device->SetRenderTarget(0, row), D3D_OK);
        EXPECT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
        EXPECT_EQ(device->SetVertexShader(VertexShader(kColourVS)), D3D_OK);
        EXPECT_EQ(device->SetPixelShader(PixelShader(LookupShader(sampler).c_str())), D3D_OK);
        EXPECT_EQ(device->SetVertexDeclaration(colourDecl), D3D_OK);
        EXPECT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
        EXPECT_EQ(device->SetTexture(0, texture), D3D_OK);
        EXPECT_EQ(device->SetUniformF("lookups", lookups, 72), D3D_OK);
        DrawRect(0, 0, 24, 1, 0);
        return ReadTarget(row);
    }
};

using GLDeviceCubeVolumeTest = LookupFixture;

TEST_F(GLDeviceCubeVolumeTest, CubeFacesAreOrientedAsDirect3DOrientsThem)
{
    // Each texel of each face holds its face, column and row.
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    Own(cube);
    auto texel = [](int face, int x, int y) { return D3DCOLOR_XRGB(face * 40, x * 60, y * 60); };
    for (int face = 0; face < 6; ++face) {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                    texel(face, x, y);
        ASSERT_EQ(cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 0), D3D_OK);
    }
    float lookups[72];
    std::uint32_t expected[24];
    for (int face = 0; face < 6; ++face) {
        for (int corner = 0; corner < 4; ++corner) {
            const float a = (corner & 1) ? 0.5f : -0.5f, b = (corner & 2) ? 0.5f : -0.5f;
            CubeDirection(face, a, b, &lookups[(face * 4 + corner) * 3]);
            // u = (a + 1) / 2 is 0.25 or 0.75: texel 1 or 3.
            expected[face * 4 + corner] = texel(face, a < 0 ? 1 : 3, b < 0 ? 1 : 3);
        }
    }
    std::vector<std::uint32_t> pixels = Sample(cube, "samplerCube", lookups);
    ASSERT_EQ(pixels.size(), 24u);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(Rgb(pixels[static_cast<size_t>(i)]), Rgb(expected[i])) << "face " << i / 4 << " corner " << i % 4;
}

TEST_F(GLDeviceCubeVolumeTest, DrawingIntoACubeFaceKeepsItsOrientation)
{
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &cube, nullptr),
              D3D_OK);
    Own(cube);
    UseColourShaders();
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    // The top-left quarter of every face red, the rest blue.
    for (int face = 0; face < 6; ++face) {
        IDirect3DSurface9* surface = nullptr;
        ASSERT_EQ(cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), 0, &surface), D3D_OK);
        ASSERT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.f, 0), D3D_OK);
        DrawRect(0, 0, 8, 8, kRed);
        surface->Release();
    }
    float lookups[72];
    for (int face = 0; face < 6; ++face)
        for (int corner = 0; corner < 4; ++corner)
            CubeDirection(face, (corner & 1) ? 0.5f : -0.5f, (corner & 2) ? 0.5f : -0.5f,
                          &lookups[(face * 4 + corner) * 3]);
    std::vector<std::uint32_t> pixels = Sample(cube, "samplerCube", lookups);
    ASSERT_EQ(pixels.size(), 24u);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(Rgb(pixels[static_cast<size_t>(i)]), i % 4 == 0 ? 0xFF0000u : 0x0000FFu)
            << "face " << i / 4 << " corner " << i % 4;
}

TEST_F(GLDeviceCubeVolumeTest, VolumeTextureSamplesTheLockedTexels)
{
    IDirect3DVolumeTexture9* volume = nullptr;
    ASSERT_EQ(device->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &volume, nullptr), D3D_OK);
    Own(volume);
    auto texel = [](int x, int y, int z) { return D3DCOLOR_XRGB(x * 60, y * 60, z * 60); };
    D3DLOCKED_BOX box{};
    ASSERT_EQ(volume->LockBox(0, &box, nullptr, 0), D3D_OK);
    for (int z = 0; z < 4; ++z)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(box.pBits) + z * box.SlicePitch +
                                                 y * box.RowPitch)[x] = texel(x, y, z);
    ASSERT_EQ(volume->UnlockBox(0), D3D_OK);
    // A sub-box rewritten: slice 2, rows 1..2, columns 1..2.
    const D3DBOX part{1, 1, 3, 3, 2, 3};
    ASSERT_EQ(volume->LockBox(0, &box, &part, 0), D3D_OK);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(box.pBits) + y * box.RowPitch)[x] = kRed;
    ASSERT_EQ(volume->UnlockBox(0), D3D_OK);
    float lookups[72];
    std::uint32_t expected[24];
    for (int i = 0; i < 24; ++i) {
        const int x = i % 4, y = (i / 4) % 4, z = (i * 7) % 4;
        lookups[i * 3] = (x + 0.5f) / 4, lookups[i * 3 + 1] = (y + 0.5f) / 4, lookups[i * 3 + 2] = (z + 0.5f) / 4;
        const bool rewritten = z == 2 && x >= 1 && x < 3 && y >= 1 && y < 3;
        expected[i] = rewritten ? kRed : texel(x, y, z);
    }
    std::vector<std::uint32_t> pixels = Sample(volume, "sampler3D", lookups);
    ASSERT_EQ(pixels.size(), 24u);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(Rgb(pixels[static_cast<size_t>(i)]), Rgb(expected[i])) << "lookup " << i;
}

TEST_F(GLDeviceResourcesTest, TextureLevelsLocksAndTheirErrors)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    Own(texture);
    EXPECT_EQ(texture->GetLevelCount(), 5u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(4, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);
    EXPECT_EQ(texture->GetLevelDesc(5, &desc), D3DERR_INVALIDCALL);

    // A sub-rectangle: pBits points at its first texel, Pitch is the level's.
    D3DLOCKED_RECT whole{};
    ASSERT_EQ(texture->LockRect(0, &whole, nullptr, 0), D3D_OK);
    std::memset(whole.pBits, 0, static_cast<size_t>(whole.Pitch) * 8);
    EXPECT_EQ(texture->LockRect(0, &whole, nullptr, 0), D3DERR_INVALIDCALL) << "already locked";
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK) << "not locked: drivers answer D3D_OK";
    const RECT part{2, 3, 5, 4};
    D3DLOCKED_RECT sub{};
    ASSERT_EQ(texture->LockRect(0, &sub, &part, 0), D3D_OK);
    EXPECT_EQ(sub.Pitch, 64);
    for (int x = 0; x < 3; ++x)
        static_cast<std::uint32_t*>(sub.pBits)[x] = kGreen;
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    ASSERT_EQ(texture->LockRect(0, &whole, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* row3 = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(whole.pBits) + 3 * 64);
    EXPECT_EQ(row3[1], 0u);
    EXPECT_EQ(row3[2], kGreen);
    EXPECT_EQ(row3[4], kGreen);
    EXPECT_EQ(row3[5], 0u);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);

    const RECT outside{10, 0, 17, 4};
    EXPECT_EQ(texture->LockRect(0, &sub, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(5, &sub, nullptr, 0), D3DERR_INVALIDCALL);

    struct Creation {
        UINT width, height, levels;
        DWORD usage;
        D3DFORMAT format;
        D3DPOOL pool;
        HRESULT expected;
    };
    const Creation creations[] = {
        {0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
        {16, 8, 6, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
        {16, 8, 1, 0, D3DFMT_A8L8, D3DPOOL_MANAGED, D3DERR_NOTAVAILABLE},
        {16, 8, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, D3D_OK},
        {16, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_L8, D3DPOOL_DEFAULT, D3DERR_NOTAVAILABLE},
        {16, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
        {6, 6, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
        {8, 8, 1, 0, D3DFMT_DXT5, D3DPOOL_MANAGED, D3D_OK},
        {16, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_L8, D3DPOOL_DEFAULT, D3D_OK},
    };
    for (const Creation& c : creations) {
        IDirect3DTexture9* made = nullptr;
        EXPECT_EQ(device->CreateTexture(c.width, c.height, c.levels, c.usage, c.format, c.pool, &made, nullptr),
                  c.expected)
            << c.width << "x" << c.height << " format " << c.format;
        if (made)
            made->Release();
    }
    // Render targets and static video-memory textures cannot be locked.
    for (DWORD usage : {D3DUSAGE_RENDERTARGET, DWORD{0}}) {
        IDirect3DTexture9* video = nullptr;
        ASSERT_EQ(device->CreateTexture(8, 8, 1, usage, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &video, nullptr), D3D_OK);
        EXPECT_EQ(video->LockRect(0, &sub, nullptr, 0), D3DERR_INVALIDCALL);
        video->Release();
    }
}

// Two streams (positions, colours) through an index buffer with a base vertex; then the colours
// replaced through a D3DLOCK_DISCARD lock of a dynamic buffer, and half of them through
// D3DLOCK_NOOVERWRITE at an offset.
TEST_F(GLDeviceResourcesTest, StreamsIndicesAndDynamicBufferLocks)
{
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
                                          {1, 0, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                          D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &decl), D3D_OK);
    Own(decl);
    UINT count = 0;
    ASSERT_EQ(decl->GetDeclaration(nullptr, &count), D3D_OK);
    EXPECT_EQ(count, 3u);
    IDirect3DVertexBuffer9* positions = nullptr;
    IDirect3DVertexBuffer9* colours = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(8 * 16, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &positions, nullptr), D3D_OK);
    ASSERT_EQ(device->CreateVertexBuffer(8 * 4, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &colours,
                                         nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(6 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr),
              D3D_OK);
    Own(positions), Own(colours), Own(indices);
    // Vertices 4..7 are the quad's corners (0..3 unused: the base vertex skips them).
    float* p = nullptr;
    ASSERT_EQ(positions->Lock(0, 0, reinterpret_cast<void**>(&p), 0), D3D_OK);
    const float corners[4][4] = {{-1, 1, 0.5f, 1}, {1, 1, 0.5f, 1}, {-1, -1, 0.5f, 1}, {1, -1, 0.5f, 1}};
    std::memcpy(p + 16, corners, sizeof corners);
    ASSERT_EQ(positions->Unlock(), D3D_OK);
    std::uint16_t* index = nullptr;
    ASSERT_EQ(indices->Lock(0, 0, reinterpret_cast<void**>(&index), 0), D3D_OK);
    const std::uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(index, quad, sizeof quad);
    ASSERT_EQ(indices->Unlock(), D3D_OK);
    auto fill = [&](DWORD flags, UINT first, UINT n, D3DCOLOR colour) {
        D3DCOLOR* c = nullptr;
        ASSERT_EQ(colours->Lock(first * 4, n * 4, reinterpret_cast<void**>(&c), flags), D3D_OK);
        for (UINT i = 0; i < n; ++i)
            c[i] = colour;
        ASSERT_EQ(colours->Unlock(), D3D_OK);
    };
    fill(D3DLOCK_DISCARD, 0, 8, kRed);
    ASSERT_EQ(device->SetVertexShader(VertexShader(kColourVS)), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(PixelShader(kColourPS)), D3D_OK);
    ASSERT_EQ(device->SetVertexDeclaration(decl), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, positions, 0, 16), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(1, colours, 0, 4), D3D_OK);
    ASSERT_EQ(device->SetIndices(indices), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(Rgb(ReadBackBuffer()[32 * 64 + 32]), 0xFF0000u);
    fill(D3DLOCK_DISCARD, 0, 8, kGreen);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(Rgb(ReadBackBuffer()[32 * 64 + 32]), 0x00FF00u);
    fill(D3DLOCK_NOOVERWRITE, 4, 4, kBlue);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(Rgb(ReadBackBuffer()[32 * 64 + 32]), 0x0000FFu);
    // The same buffers drawn without indices: vertices 4..7 as a strip.
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 4, 2), D3D_OK);
    EXPECT_EQ(Rgb(ReadBackBuffer()[32 * 64 + 32]), 0x0000FFu);

    void* data = nullptr;
    EXPECT_EQ(colours->Lock(16, 20, &data, 0), D3DERR_INVALIDCALL) << "past the end";
    EXPECT_EQ(colours->Unlock(), D3DERR_INVALIDCALL) << "not locked";
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 2, 2), D3DERR_INVALIDCALL)
        << "indices past the end";
    const D3DVERTEXELEMENT9 duplicate[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
                                           {0, 16, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
                                           D3DDECL_END()};
    IDirect3DVertexDeclaration9* bad = nullptr;
    EXPECT_EQ(device->CreateVertexDeclaration(duplicate, &bad), D3DERR_INVALIDCALL);
}

// A stream the declaration names with nothing bound reads zeros, as drivers draw it: every
// component, w included (GL's own default for a missing attribute would give w = 1).
TEST_F(GLDeviceResourcesTest, AStreamWithNothingBoundReadsZeros)
{
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
                                          {1, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                          {1, 16, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                          D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &decl), D3D_OK);
    Own(decl);
    // Vertices 0..5 cover the left half of the target, 6..11 the right half.
    IDirect3DVertexBuffer9* positions = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(12 * 16, 0, 0, D3DPOOL_MANAGED, &positions, nullptr), D3D_OK);
    Own(positions);
    float* p = nullptr;
    ASSERT_EQ(positions->Lock(0, 0, reinterpret_cast<void**>(&p), 0), D3D_OK);
    for (int half = 0; half < 2; ++half) {
        const float left = half == 0 ? -1.f : 0.f, right = left + 1.f;
        const float corners[6][4] = {{left, 1, 0.5f, 1},  {right, 1, 0.5f, 1}, {left, -1, 0.5f, 1},
                                     {left, -1, 0.5f, 1}, {right, 1, 0.5f, 1}, {right, -1, 0.5f, 1}};
        std::memcpy(p + half * 24, corners, sizeof corners);
    }
    ASSERT_EQ(positions->Unlock(), D3D_OK);
    // What stream 1 holds when it is bound: texcoord (0.5, 0.25, 0, 0.25) and an opaque black colour.
    IDirect3DVertexBuffer9* extras = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(12 * 20, 0, 0, D3DPOOL_MANAGED, &extras, nullptr), D3D_OK);
    Own(extras);
    unsigned char* e = nullptr;
    ASSERT_EQ(extras->Lock(0, 0, reinterpret_cast<void**>(&e), 0), D3D_OK);
    for (int v = 0; v < 12; ++v) {
        const float texcoord[4] = {0.5f, 0.25f, 0.f, 0.25f};
        const D3DCOLOR colour = D3DCOLOR_ARGB(255, 0, 0, 0);
        std::memcpy(e + v * 20, texcoord, sizeof texcoord);
        std::memcpy(e + v * 20 + 16, &colour, sizeof colour);
    }
    ASSERT_EQ(extras->Unlock(), D3D_OK);

    // Zeros give (0.25, 0.5, 0.75); the bound values (1.25, 0.75, 1), red clamped to 1.
    const char* vs = R"(
in vec4 POSITION0;
in vec4 TEXCOORD0;
in vec4 COLOR0;
out vec4 t;
out vec4 c;
void main()
{
    gl_Position = POSITION0;
    t = TEXCOORD0;
    c = COLOR0;
})";
    const char* ps = R"(
in vec4 t;
in vec4 c;
out vec4 COLOR0;
void main()
{
    COLOR0 = vec4(0.25 + t.x + 0.5 * c.a, 0.5 + t.y, 0.75 + t.w, 1.0);
})";
    ASSERT_EQ(device->SetVertexShader(VertexShader(vs)), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(PixelShader(ps)), D3D_OK);
    ASSERT_EQ(device->SetVertexDeclaration(decl), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, positions, 0, 16), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.f, 0), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK); // stream 1 unbound
    ASSERT_EQ(device->SetStreamSource(1, extras, 0, 20), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(1, nullptr, 0, 0), D3D_OK);
    const std::vector<std::uint32_t> back = ReadBackBuffer();
    SavePng("unbound-stream-zeros.png", back, 64, 64);
    const auto near = [](std::uint32_t pixel, std::uint32_t expected) {
        for (int shift = 0; shift < 24; shift += 8) {
            const int a = static_cast<int>((pixel >> shift) & 0xFF), b = static_cast<int>((expected >> shift) & 0xFF);
            if (a - b > 1 || b - a > 1)
                return false;
        }
        return true;
    };
    for (UINT y : {1u, 32u, 62u}) {
        EXPECT_PRED2(near, Rgb(back[y * 64 + 8]), 0x4080BFu) << "zeros, row " << y;
        EXPECT_PRED2(near, Rgb(back[y * 64 + 31]), 0x4080BFu) << "zeros, row " << y;
        EXPECT_PRED2(near, Rgb(back[y * 64 + 33]), 0xFFBFFFu) << "bound, row " << y;
        EXPECT_PRED2(near, Rgb(back[y * 64 + 60]), 0xFFBFFFu) << "bound, row " << y;
    }
    // With stream 0 unbound too every position is zero: the draw is taken and shows nothing.
    ASSERT_EQ(device->SetStreamSource(0, nullptr, 0, 0), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    EXPECT_EQ(ReadBackBuffer(), back);
}

// The fixed-function pipeline is not provided: a draw without both shaders is refused, and the
// device says why (in LastDrawError, and once on standard error).
TEST_F(GLDeviceResourcesTest, DrawsWithoutShadersAreRefusedAndSayWhy)
{
    auto* gl = dynamic_cast<GLDevice*>(device);
    ASSERT_NE(gl, nullptr);
    ASSERT_EQ(device->SetVertexDeclaration(colourDecl), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    ColourVertex triangle[3] = {{-1, 1, 0.5f, 1, kRed}, {1, 1, 0.5f, 1, kRed}, {-1, -1, 0.5f, 1, kRed}};
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof triangle[0]), D3DERR_INVALIDCALL);
    EXPECT_NE(gl->LastDrawError().find("no shaders are set"), std::string::npos) << gl->LastDrawError();
    EXPECT_NE(gl->LastDrawError().find("fixed-function pipeline is not provided"), std::string::npos);
    ASSERT_EQ(device->SetVertexShader(VertexShader(kColourVS)), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof triangle[0]), D3DERR_INVALIDCALL);
    EXPECT_NE(gl->LastDrawError().find("no pixel shader is set"), std::string::npos) << gl->LastDrawError();
    const std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(written.find("no shaders are set"), std::string::npos) << written;
    EXPECT_EQ(written.find("fixed-function"), written.rfind("fixed-function")) << "written once: " << written;
    EXPECT_EQ(Rgb(ReadBackBuffer()[8 * 64 + 8]), 0u) << "nothing drawn";

    ASSERT_EQ(device->SetPixelShader(PixelShader(kColourPS)), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof triangle[0]), D3D_OK);
    EXPECT_EQ(Rgb(ReadBackBuffer()[8 * 64 + 8]), 0xFF0000u);
    ASSERT_EQ(device->SetVertexDeclaration(nullptr), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof triangle[0]), D3DERR_INVALIDCALL);
    EXPECT_NE(gl->LastDrawError().find("no vertex declaration"), std::string::npos) << gl->LastDrawError();
}

// Points take their size from the shader's gl_PointSize, or from D3DRS_POINTSIZE when it writes none.
TEST_F(GLDeviceResourcesTest, PointListsUseShaderOrRenderStateSize)
{
    const char* sizedVS = R"(
in vec4 POSITION0;
in vec4 COLOR0;
out vec4 colour;
void main()
{
    gl_Position = POSITION0;
    gl_PointSize = 8.0;
    colour = COLOR0;
})";
    ASSERT_EQ(device->SetVertexShader(VertexShader(sizedVS)), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(PixelShader(kColourPS)), D3D_OK);
    ASSERT_EQ(device->SetVertexDeclaration(colourDecl), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
    float x, y;
    ToClip(16, 16, 64, 64, x, y);
    const ColourVertex point{x, y, 0.5f, 1, kRed};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof point), D3D_OK);
    std::vector<std::uint32_t> back = ReadBackBuffer();
    EXPECT_EQ(Rgb(back[13 * 64 + 13]), 0xFF0000u);
    EXPECT_EQ(Rgb(back[19 * 64 + 19]), 0xFF0000u);
    EXPECT_EQ(Rgb(back[21 * 64 + 21]), 0u);

    UseColourShaders();
    // An odd size, so that no edge falls on a pixel centre: 46..50 around pixel 48.
    const float size = 5.f;
    DWORD bits;
    std::memcpy(&bits, &size, 4);
    ASSERT_EQ(device->SetRenderState(D3DRS_POINTSIZE, bits), D3D_OK);
    ToClip(48, 48, 64, 64, x, y);
    const ColourVertex second{x, y, 0.5f, 1, kGreen};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &second, sizeof second), D3D_OK);
    back = ReadBackBuffer();
    EXPECT_EQ(Rgb(back[46 * 64 + 46]), 0x00FF00u);
    EXPECT_EQ(Rgb(back[50 * 64 + 50]), 0x00FF00u);
    EXPECT_EQ(Rgb(back[45 * 64 + 48]), 0u);
    EXPECT_EQ(Rgb(back[51 * 64 + 48]), 0u);
    EXPECT_EQ(Rgb(back[48 * 64 + 51]), 0u);
}

} // namespace
