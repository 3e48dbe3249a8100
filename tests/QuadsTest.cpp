#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DXFramework.h"
#include "FrameworkExMessage.h"
#include "GLTestDevice.h"
#include "QuadsTestSupport.h"
#include "RenderClasses/Quads/Quads.h"

namespace {

// A batch whose buffers the tests may look at and replace.
class OpenQuads : public Quads {
public:
    using Quads::Quads;
    IDirect3DVertexBuffer9*& Positions(int i) { return positions[i]; }
    IDirect3DVertexBuffer9*& Normals() { return normals; }
    IDirect3DVertexBuffer9*& Texcoords() { return texcoords; }
    IDirect3DVertexBuffer9*& Colors() { return colors; }
    IDirect3DIndexBuffer9* Indices() { return indices; }
    IDirect3DVertexDeclaration9* Declaration() { return decl; }
};

std::string Buffer(int n)
{
    return "vertexbuffer#" + std::to_string(n);
}

using QuadsTest = RecordingQuadsTest;

TEST_F(QuadsTest, CreatesADynamicDefaultPoolBufferPerStreamAndTheFiveStreamDeclaration)
{
    const UINT n = 3;
    OpenQuads quads(n, 2, nullptr);
    EXPECT_EQ(quads.GetCount(), 3);
    EXPECT_EQ(quads.GetNumBuffers(), 2);
    EXPECT_EQ(quads.GetCurrent(), 0);
    EXPECT_EQ(quads.GetFirst(), 0);
    EXPECT_EQ(quads.GetDrawCount(), 0);

    // positions (one per ring slot), texture coordinates, normals, colours; then the indices
    const std::string usage = ", 0x208, 0x0, D3DPOOL_DEFAULT, ";
    EXPECT_EQ(Calls("CreateVertexBuffer"),
              (std::vector<std::string>{std::to_string(n * 48) + usage + Buffer(1),
                                        std::to_string(n * 48) + usage + Buffer(2),
                                        std::to_string(n * 32) + usage + Buffer(3),
                                        std::to_string(n * 48) + usage + Buffer(4),
                                        std::to_string(n * 16) + usage + Buffer(5)}));
    EXPECT_EQ(Calls("CreateIndexBuffer"),
              std::vector<std::string>{std::to_string(n * 24) + ", 0x208, D3DFMT_INDEX32, D3DPOOL_DEFAULT, indexbuffer#1"});

    const D3DVERTEXELEMENT9 expected[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {1, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        {2, 0, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        {3, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        {4, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 1},
        D3DDECL_END()};
    D3DVERTEXELEMENT9 elements[MAXD3DDECLLENGTH + 1];
    UINT count = 0;
    ASSERT_NE(quads.Declaration(), nullptr);
    ASSERT_EQ(quads.Declaration()->GetDeclaration(elements, &count), D3D_OK);
    ASSERT_EQ(count, 6u);
    for (UINT i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(elements[i].Stream, expected[i].Stream);
        EXPECT_EQ(elements[i].Offset, expected[i].Offset);
        EXPECT_EQ(elements[i].Type, expected[i].Type);
        EXPECT_EQ(elements[i].Method, expected[i].Method);
        EXPECT_EQ(elements[i].Usage, expected[i].Usage);
        EXPECT_EQ(elements[i].UsageIndex, expected[i].UsageIndex);
    }
}

TEST_F(QuadsTest, EveryQuadStartsWhiteWithItsTwoTrianglesAndCornerTexcoords)
{
    const int n = 4;
    OpenQuads quads(n, 1, nullptr);

    const std::vector<std::uint32_t> indices = Read<std::uint32_t>(quads.Indices());
    ASSERT_EQ(indices.size(), 6u * n);
    EXPECT_EQ(std::vector<std::uint32_t>(indices.begin() + 6, indices.begin() + 12),
              (std::vector<std::uint32_t>{4, 5, 6, 4, 6, 7}));
    for (std::uint32_t q = 0; q < n; ++q) {
        SCOPED_TRACE(q);
        const std::uint32_t v = 4 * q;
        EXPECT_EQ(std::vector<std::uint32_t>(indices.begin() + 6 * q, indices.begin() + 6 * q + 6),
                  (std::vector<std::uint32_t>{v, v + 1, v + 2, v, v + 2, v + 3}));
    }

    const std::vector<D3DCOLOR> colours = Read<D3DCOLOR>(quads.Colors());
    EXPECT_EQ(colours, std::vector<D3DCOLOR>(4 * n, 0xFFFFFFFFu));

    const std::vector<Float2> texcoords = Read<Float2>(quads.Texcoords());
    ASSERT_EQ(texcoords.size(), 4u * n);
    const Float2 corners[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4 * n; ++i)
        EXPECT_EQ(texcoords[i], corners[i % 4]) << "vertex " << i;
}

TEST_F(QuadsTest, DrawsNothingWithoutAPositiveDrawCount)
{
    Quads quads(2, 1, nullptr);
    ClearRecordedCalls(device);
    quads.Draw();
    EXPECT_TRUE(GetRecordedCalls(device).empty()) << "a new batch drew";
    for (int count : {0, -3}) {
        SCOPED_TRACE(count);
        quads.SetDrawCount(count);
        quads.Draw();
        EXPECT_TRUE(GetRecordedCalls(device).empty());
    }
}

TEST_F(QuadsTest, DrawBindsTheFiveStreamsAndDrawsTheQuadsAsTriangles)
{
    // positions[current] on stream 0 and the ring slot before it on stream 4
    struct Case {
        int numBuffers;
        int previousSlot;
    };
    for (const Case& c : {Case{1, 0}, Case{2, 1}, Case{3, 2}}) {
        SCOPED_TRACE(c.numBuffers);
        ClearRecordedCalls(device);
        Quads quads(5, c.numBuffers, nullptr);
        // the ring slots, then texture coordinates, normals and colours
        const std::vector<std::string> buffers = Made("CreateVertexBuffer");
        ASSERT_EQ(buffers.size(), static_cast<std::size_t>(c.numBuffers) + 3);
        const std::string declaration = Made("CreateVertexDeclaration").at(0);
        const std::string indices = Made("CreateIndexBuffer").at(0);
        const std::string& texcoords = buffers[c.numBuffers];
        const std::string& normals = buffers[c.numBuffers + 1];
        const std::string& colours = buffers[c.numBuffers + 2];

        quads.SetDrawCount(3);
        ClearRecordedCalls(device);
        quads.Draw();
        std::vector<std::string> calls;
        for (const RecordedCall& call : GetRecordedCalls(device))
            calls.push_back(call.method + "(" + call.arguments + ")");
        EXPECT_EQ(calls, (std::vector<std::string>{
                             "SetVertexDeclaration(" + declaration + ")",
                             "SetStreamSource(0, " + buffers[0] + ", 0, 12)",
                             "SetStreamSource(1, " + normals + ", 0, 12)",
                             "SetStreamSource(2, " + colours + ", 0, 4)",
                             "SetStreamSource(3, " + texcoords + ", 0, 8)",
                             "SetStreamSource(4, " + buffers[c.previousSlot] + ", 0, 12)",
                             "SetIndices(" + indices + ")",
                             "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 12, 0, 6)",
                         }));
        Unbind();
    }
}

TEST_F(QuadsTest, ADrawCountBeyondTheBatchDrawsOnlyTheQuadsHeld)
{
    Quads quads(2, 1, nullptr);
    quads.SetDrawCount(7);
    EXPECT_EQ(quads.GetDrawCount(), 7);
    quads.Draw();
    EXPECT_EQ(Calls("DrawIndexedPrimitive"), std::vector<std::string>{"D3DPT_TRIANGLELIST, 0, 0, 8, 0, 4"});
    Unbind();
}

TEST_F(QuadsTest, SetFirstStartsTheDrawAtThatQuadWithItsOwnVertexRange)
{
    // One quad out of the middle of a batch, a run to its end, a run cut at its end, and starts
    // outside the batch, which draw nothing.
    struct Case {
        int first;
        int drawCount;
        std::vector<std::string> draws;
    };
    const Case cases[] = {
        {0, 1, {"D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2"}},
        {3, 1, {"D3DPT_TRIANGLELIST, 0, 12, 4, 18, 2"}},
        {2, 3, {"D3DPT_TRIANGLELIST, 0, 8, 12, 12, 6"}},
        {4, 5, {"D3DPT_TRIANGLELIST, 0, 16, 4, 24, 2"}},
        {5, 1, {}},
        {-1, 2, {}},
    };
    Quads quads(5, 1, nullptr);
    EXPECT_EQ(quads.GetFirst(), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE("first " + std::to_string(c.first) + ", count " + std::to_string(c.drawCount));
        quads.SetFirst(c.first);
        quads.SetDrawCount(c.drawCount);
        EXPECT_EQ(quads.GetFirst(), c.first);
        ClearRecordedCalls(device);
        quads.Draw();
        EXPECT_EQ(Calls("DrawIndexedPrimitive"), c.draws);
    }
    Unbind();
}

TEST_F(QuadsTest, LocksCoverWholeBuffersOrQuadRangesAndRefuseRangesOutsideTheBatch)
{
    Quads quads(3, 2, nullptr);
    using WholeLock = std::function<HRESULT(void**)>;
    using RangeLock = std::function<HRESULT(void**, unsigned, unsigned, DWORD)>;
    using Unlock = std::function<HRESULT()>;
    struct Case {
        const char* attribute;
        WholeLock whole;
        RangeLock range;
        Unlock unlock;
        std::string buffer;
        unsigned bytesPerQuad;
    };
    const Case cases[] = {
        {"positions", [&](void** d) { return quads.LockPositions(d); },
         [&](void** d, unsigned f, unsigned c, DWORD fl) { return quads.LockPositions(d, f, c, fl); },
         [&] { return quads.UnlockPositions(); }, Buffer(1), 48},
        {"texcoords", [&](void** d) { return quads.LockTexcoords(d); },
         [&](void** d, unsigned f, unsigned c, DWORD fl) { return quads.LockTexcoords(d, f, c, fl); },
         [&] { return quads.UnlockTexcoords(); }, Buffer(3), 32},
        {"normals", [&](void** d) { return quads.LockNormals(d); },
         [&](void** d, unsigned f, unsigned c, DWORD fl) { return quads.LockNormals(d, f, c, fl); },
         [&] { return quads.UnlockNormals(); }, Buffer(4), 48},
        {"colours", [&](void** d) { return quads.LockColors(d); },
         [&](void** d, unsigned f, unsigned c, DWORD fl) { return quads.LockColors(d, f, c, fl); },
         [&] { return quads.UnlockColors(); }, Buffer(5), 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attribute);
        const std::string b = std::to_string(c.bytesPerQuad);
        void* data = nullptr;
        ClearRecordedCalls(device);
        ASSERT_EQ(c.whole(&data), D3D_OK);
        EXPECT_NE(data, nullptr);
        EXPECT_EQ(c.unlock(), D3D_OK);
        ASSERT_EQ(c.range(&data, 1, 2, D3DLOCK_NOOVERWRITE), D3D_OK);
        EXPECT_EQ(c.unlock(), D3D_OK);
        ASSERT_EQ(c.range(&data, 2, 0, 0), D3D_OK);
        EXPECT_EQ(c.unlock(), D3D_OK);
        EXPECT_EQ(Calls("Lock"), (std::vector<std::string>{c.buffer + ", 0, 0, 0x2000",
                                                           c.buffer + ", " + b + ", " + std::to_string(2 * c.bytesPerQuad) + ", 0x1000",
                                                           c.buffer + ", " + std::to_string(2 * c.bytesPerQuad) + ", 0, 0x0"}));

        // Ranges past the third quad, one of them so far off that its byte offset would wrap.
        ClearRecordedCalls(device);
        EXPECT_EQ(c.range(&data, 2, 2, 0), D3DERR_INVALIDCALL);
        EXPECT_EQ(c.range(&data, 4, 0, 0), D3DERR_INVALIDCALL);
        EXPECT_EQ(c.range(&data, 0x05555556u, 1, 0), D3DERR_INVALIDCALL);
        EXPECT_TRUE(Calls("Lock").empty()) << "the buffer was locked for a range it does not hold";

        // What the buffer itself refuses comes back as its result.
        EXPECT_EQ(c.range(&data, 0, 1, D3DLOCK_DISCARD | D3DLOCK_READONLY), D3DERR_INVALIDCALL);
        EXPECT_EQ(c.unlock(), D3DERR_INVALIDCALL);
    }
}

TEST_F(QuadsTest, SetColorPaintsEveryVertexOrReturnsTheFailedLock)
{
    OpenQuads quads(3, 1, nullptr);
    EXPECT_EQ(quads.SetColor(0x80402010u), D3D_OK);
    EXPECT_EQ(Read<D3DCOLOR>(quads.Colors()), std::vector<D3DCOLOR>(12, 0x80402010u));

    for (HRESULT failure : {D3DERR_INVALIDCALL, D3DERR_DEVICELOST}) {
        SCOPED_TRACE(failure);
        auto* refusing = new RefusingVertexBuffer(failure, 3 * 16);
        ReplaceBuffer(quads.Colors(), refusing);
        EXPECT_EQ(quads.SetColor(0xFF00FF00u), failure);
        EXPECT_TRUE(refusing->Untouched()) << "colours were written after a failed lock";
    }
}

TEST_F(QuadsTest, RefusesSizesItCannotHoldWithoutLeavingAnythingBehind)
{
    struct Case {
        int count;
        int numBuffers;
        const char* message;
    };
    const Case cases[] = {
        {0, 1, "[Quads] Invalid quad count 0."},
        {-4, 1, "[Quads] Invalid quad count -4."},
        // 48 bytes a quad: one more quad than 32 bits can address
        {89478486, 1, "[Quads] Invalid quad count 89478486."},
        {1, 0, "[Quads] Invalid number of position buffers 0."},
        {1, -2, "[Quads] Invalid number of position buffers -2."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(FrameworkExMessage([&] { Quads quads(c.count, c.numBuffers, nullptr); }), c.message);
    }
    EXPECT_TRUE(Calls("CreateVertexBuffer").empty());

    DXFramework::SetDevice(nullptr);
    EXPECT_EQ(FrameworkExMessage([] { Quads quads(1, 1, nullptr); }), "[Quads] No Direct3D device.");
}

TEST_F(QuadsTest, ADeviceLostDuringCreationIsHandedOnAndTheBatchStaysSafeToUse)
{
    int rebuilds = 0;
    DXFramework::SetDeviceLostHandler([&rebuilds] { ++rebuilds; });
    device->InjectDeviceLoss("CreateIndexBuffer", 1);
    OpenQuads quads(2, 1, nullptr);
    EXPECT_EQ(rebuilds, 1);
    EXPECT_EQ(quads.Indices(), nullptr);

    // The other buffers were made and filled; drawing without indices is refused by the device.
    EXPECT_EQ(Read<D3DCOLOR>(quads.Colors()), std::vector<D3DCOLOR>(8, 0xFFFFFFFFu));
    quads.SetDrawCount(2);
    quads.Draw();
    const std::vector<std::string> draws = Calls("DrawIndexedPrimitive");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_NE(draws[0].find("D3DERR_INVALIDCALL"), std::string::npos);
    Unbind();
}

TEST_F(QuadsTest, ReleaseFreesEverythingAndMayBeRepeated)
{
    OpenQuads quads(2, 3, nullptr);
    quads.Release();
    EXPECT_EQ(quads.Declaration(), nullptr);
    EXPECT_EQ(quads.Indices(), nullptr);
    EXPECT_EQ(quads.Colors(), nullptr);
    EXPECT_EQ(Calls("Release").size(), 8u) << "declaration, three position buffers, three others, indices";
    quads.Release();
    void* data = nullptr;
    EXPECT_EQ(quads.LockPositions(&data), D3DERR_INVALIDCALL);
    quads.SetDrawCount(1);
    quads.Draw(); // nothing left to bind
}

// Quads drawn on the GL device with a small shader pair, read back from the back buffer.
class GLQuadsTest : public GLTestDevice {
protected:
    void SetUp() override
    {
        GLTestDevice::SetUp();
        DXFramework::SetDevice(device);
    }
    void TearDown() override
    {
        DXFramework::SetDevice(nullptr);
        GLTestDevice::TearDown();
    }

    // Corner positions of a rectangle covering pixels [left, right) x [top, bottom), in the
    // vertex order of a quad: top left, top right, bottom right, bottom left.
    void Corners(Float3* out, float left, float top, float right, float bottom)
    {
        float x0, y0, x1, y1;
        ToClip(left - 0.5f, top - 0.5f, 64, 64, x0, y0);
        ToClip(right - 0.5f, bottom - 0.5f, 64, 64, x1, y1);
        out[0] = {x0, y0, 0.5f};
        out[1] = {x1, y0, 0.5f};
        out[2] = {x1, y1, 0.5f};
        out[3] = {x0, y1, 0.5f};
    }

    std::vector<std::uint32_t> DrawFrame(Quads& quads)
    {
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
        quads.Draw();
        EXPECT_EQ(device->EndScene(), D3D_OK);
        return ReadBackBuffer();
    }

    static std::uint32_t At(const std::vector<std::uint32_t>& pixels, int x, int y) { return Rgb(pixels[y * 64 + x]); }
};

TEST_F(GLQuadsTest, DrawsEachQuadWhereItsPositionsAreInItsColour)
{
    constexpr const char* kVS = R"(
in vec4 POSITION0;
in vec4 COLOR0;
out vec4 colour;
void main()
{
    gl_Position = POSITION0;
    colour = COLOR0;
})";
    ASSERT_EQ(device->SetVertexShader(VertexShader(kVS)), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(PixelShader(kColourPS)), D3D_OK);

    Quads quads(2, 2, nullptr);
    void* data = nullptr;
    ASSERT_EQ(quads.LockPositions(&data), D3D_OK);
    auto* positions = static_cast<Float3*>(data);
    Corners(positions, 4, 4, 20, 28);      // quad 0
    Corners(positions + 4, 32, 36, 60, 60); // quad 1
    ASSERT_EQ(quads.UnlockPositions(), D3D_OK);
    ASSERT_EQ(quads.SetColor(0xFFFF0000u), D3D_OK);
    ASSERT_EQ(quads.LockColors(&data, 1, 1, 0), D3D_OK);
    std::fill_n(static_cast<D3DCOLOR*>(data), 4, 0xFF00FF00u);
    ASSERT_EQ(quads.UnlockColors(), D3D_OK);

    EXPECT_EQ(At(DrawFrame(quads), 10, 10), 0u) << "drawn before a draw count was set";

    struct Case {
        int drawCount;
        std::uint32_t insideFirst, insideSecond;
    };
    for (const Case& c : {Case{1, 0xFF0000u, 0u}, Case{2, 0xFF0000u, 0x00FF00u}}) {
        SCOPED_TRACE(c.drawCount);
        quads.SetDrawCount(c.drawCount);
        const std::vector<std::uint32_t> pixels = DrawFrame(quads);
        SavePng("quads" + std::to_string(c.drawCount) + ".png", pixels, 64, 64);
        for (auto [x, y] : {std::pair{4, 4}, std::pair{19, 4}, std::pair{4, 27}, std::pair{19, 27}, std::pair{12, 16}})
            EXPECT_EQ(At(pixels, x, y), c.insideFirst) << x << "," << y;
        for (auto [x, y] : {std::pair{32, 36}, std::pair{59, 59}, std::pair{45, 50}})
            EXPECT_EQ(At(pixels, x, y), c.insideSecond) << x << "," << y;
        for (auto [x, y] : {std::pair{3, 4}, std::pair{20, 10}, std::pair{10, 28}, std::pair{31, 40}, std::pair{40, 35}})
            EXPECT_EQ(At(pixels, x, y), 0u) << x << "," << y;
    }
}

TEST_F(GLQuadsTest, SetFirstDrawsOneQuadOfTheBatchAndNoneOfTheOthers)
{
    constexpr const char* kVS = R"(
in vec4 POSITION0;
in vec4 COLOR0;
out vec4 colour;
void main()
{
    gl_Position = POSITION0;
    colour = COLOR0;
})";
    ASSERT_EQ(device->SetVertexShader(VertexShader(kVS)), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(PixelShader(kColourPS)), D3D_OK);

    // Three quads side by side in three colours.
    Quads quads(3, 1, nullptr);
    void* data = nullptr;
    ASSERT_EQ(quads.LockPositions(&data), D3D_OK);
    auto* positions = static_cast<Float3*>(data);
    for (int i = 0; i < 3; ++i)
        Corners(positions + 4 * i, 4.0f + 20.0f * i, 20.0f, 18.0f + 20.0f * i, 40.0f);
    ASSERT_EQ(quads.UnlockPositions(), D3D_OK);
    const D3DCOLOR colours[3] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    for (unsigned i = 0; i < 3; ++i) {
        ASSERT_EQ(quads.LockColors(&data, i, 1, 0), D3D_OK);
        std::fill_n(static_cast<D3DCOLOR*>(data), 4, colours[i]);
        ASSERT_EQ(quads.UnlockColors(), D3D_OK);
    }
    quads.SetDrawCount(1);
    for (int first = 0; first < 3; ++first) {
        SCOPED_TRACE(first);
        quads.SetFirst(first);
        const std::vector<std::uint32_t> pixels = DrawFrame(quads);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(At(pixels, 11 + 20 * i, 30), i == first ? (colours[i] & 0xFFFFFFu) : 0u) << "quad " << i;
    }
}

TEST_F(GLQuadsTest, NormalsTexcoordsAndPreviousPositionsReachTheShaderPerVertex)
{
    // Placed by the previous-position stream (the same buffer with one ring slot); red and green
    // follow the texture coordinates across the quad, blue is the normal's z.
    constexpr const char* kVS = R"(
in vec4 POSITION1;
in vec3 NORMAL0;
in vec2 TEXCOORD0;
out vec4 colour;
void main()
{
    gl_Position = POSITION1;
    colour = vec4(TEXCOORD0, NORMAL0.z, 1.0);
})";
    ASSERT_EQ(device->SetVertexShader(VertexShader(kVS)), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(PixelShader(kColourPS)), D3D_OK);

    Quads quads(1, 1, nullptr);
    void* data = nullptr;
    ASSERT_EQ(quads.LockPositions(&data), D3D_OK);
    Corners(static_cast<Float3*>(data), 0, 0, 64, 64);
    ASSERT_EQ(quads.UnlockPositions(), D3D_OK);
    ASSERT_EQ(quads.LockNormals(&data), D3D_OK);
    std::fill_n(static_cast<Float3*>(data), 4, Float3{0.0f, 0.0f, 1.0f});
    ASSERT_EQ(quads.UnlockNormals(), D3D_OK);
    quads.SetDrawCount(1);

    const std::vector<std::uint32_t> pixels = DrawFrame(quads);
    SavePng("quads-streams.png", pixels, 64, 64);
    const auto channel = [&](int x, int y, int shift) { return static_cast<int>((At(pixels, x, y) >> shift) & 0xFF); };
    // u grows to the right and v downwards; blue everywhere
    EXPECT_LT(channel(1, 1, 16), 16);
    EXPECT_LT(channel(1, 1, 8), 16);
    EXPECT_GT(channel(62, 1, 16), 240);
    EXPECT_LT(channel(62, 1, 8), 16);
    EXPECT_LT(channel(1, 62, 16), 16);
    EXPECT_GT(channel(1, 62, 8), 240);
    EXPECT_GT(channel(62, 62, 16), 240);
    EXPECT_GT(channel(62, 62, 8), 240);
    EXPECT_NEAR(channel(32, 16, 16), 128, 8);
    EXPECT_NEAR(channel(16, 32, 8), 128, 8);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{63, 63}, std::pair{20, 40}})
        EXPECT_EQ(channel(x, y, 0), 255) << x << "," << y;
}

} // namespace
