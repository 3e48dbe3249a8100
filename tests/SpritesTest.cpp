#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DXFramework.h"
#include "FrameworkExMessage.h"
#include "QuadsTestSupport.h"
#include "RenderClasses/Sprites/Sprites.h"

namespace {

// Sprites whose buffers the tests may look at and replace.
class OpenSprites : public Sprites {
public:
    using Sprites::Sprites;
    IDirect3DVertexBuffer9*& Positions() { return positions[current]; }
    IDirect3DVertexBuffer9*& Normals() { return normals; }
};

Float3 F3(const D3DXVECTOR3& v)
{
    return {v.x, v.y, v.z};
}

// Each centre four times over, as the position buffer holds them.
std::vector<Float3> FourEach(const std::vector<D3DXVECTOR3>& centres)
{
    std::vector<Float3> vertices;
    for (const D3DXVECTOR3& c : centres)
        vertices.insert(vertices.end(), 4, F3(c));
    return vertices;
}

using SpritesTest = RecordingQuadsTest;

TEST_F(SpritesTest, StartsAsAnEmptyBatchWithCentresAtTheOrigin)
{
    OpenSprites sprites(3, 2, nullptr);
    EXPECT_EQ(sprites.GetSpriteCount(), 3u);
    EXPECT_EQ(sprites.GetCount(), 3);
    EXPECT_EQ(sprites.GetDrawCount(), 0);
    for (unsigned i = 0; i < sprites.GetSpriteCount(); ++i)
        EXPECT_EQ(F3(sprites.GetSpritePositions()[i]), (Float3{0, 0, 0})) << i;
}

TEST_F(SpritesTest, SetPositionsPutsEveryCornerOfASpriteAtItsCentreAndDrawsThoseSprites)
{
    OpenSprites sprites(3, 1, nullptr);
    const std::vector<D3DXVECTOR3> centres = {{1, 2, 3}, {-4, 5, -6}, {7, 8, 9}};

    ASSERT_EQ(sprites.SetPositions(centres.data()), D3D_OK);
    EXPECT_EQ(sprites.GetDrawCount(), 3);
    EXPECT_EQ(Calls("Lock").back(), Made("CreateVertexBuffer").at(0) + ", 0, 0, 0x2000");
    EXPECT_EQ(Read<Float3>(sprites.Positions()), FourEach(centres));

    // Fewer centres draw fewer sprites; 0 hides them all.
    const std::vector<D3DXVECTOR3> two = {{10, 11, 12}, {13, 14, 15}};
    ASSERT_EQ(sprites.SetPositions(two.data(), 2), D3D_OK);
    EXPECT_EQ(sprites.GetDrawCount(), 2);
    const std::vector<Float3> written = Read<Float3>(sprites.Positions());
    EXPECT_EQ(std::vector<Float3>(written.begin(), written.begin() + 8), FourEach(two));
    ASSERT_EQ(sprites.SetPositions(two.data(), 0), D3D_OK);
    EXPECT_EQ(sprites.GetDrawCount(), 0);
    ClearRecordedCalls(device);
    sprites.Draw();
    EXPECT_TRUE(Calls("DrawIndexedPrimitive").empty());

    // The owner's own centres.
    D3DXVECTOR3* own = sprites.GetSpritePositions();
    own[0] = {0.5f, 0, 0};
    own[1] = {0, 0.5f, 0};
    own[2] = {0, 0, 0.5f};
    ASSERT_EQ(sprites.UpdatePositions(), D3D_OK);
    EXPECT_EQ(sprites.GetDrawCount(), 3);
    EXPECT_EQ(Read<Float3>(sprites.Positions()), FourEach({own[0], own[1], own[2]}));
}

TEST_F(SpritesTest, SetPositionsRefusesMoreCentresThanSpritesOrNoCentresAndChangesNothing)
{
    OpenSprites sprites(2, 1, nullptr);
    const std::vector<D3DXVECTOR3> centres = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}};
    ASSERT_EQ(sprites.SetPositions(centres.data(), 1), D3D_OK);
    const std::vector<Float3> before = Read<Float3>(sprites.Positions());

    struct Case {
        const char* name;
        const D3DXVECTOR3* centres;
        unsigned n;
    };
    for (const Case& c : {Case{"one too many", centres.data(), 3}, Case{"no centres", nullptr, 2}}) {
        SCOPED_TRACE(c.name);
        ClearRecordedCalls(device);
        EXPECT_EQ(sprites.SetPositions(c.centres, c.n), E_FAIL);
        EXPECT_EQ(sprites.GetDrawCount(), 1);
        EXPECT_TRUE(Calls("Lock").empty());
        EXPECT_EQ(Read<Float3>(sprites.Positions()), before);
    }
}

TEST_F(SpritesTest, AFailedPositionLockIsReturnedWithNothingWritten)
{
    OpenSprites sprites(2, 1, nullptr);
    const std::vector<D3DXVECTOR3> centres = {{1, 1, 1}, {2, 2, 2}};
    for (HRESULT failure : {D3DERR_INVALIDCALL, D3DERR_DEVICELOST}) {
        SCOPED_TRACE(failure);
        auto* refusing = new RefusingVertexBuffer(failure, 2 * 48);
        ReplaceBuffer(sprites.Positions(), refusing);
        EXPECT_EQ(sprites.SetPositions(centres.data()), failure);
        EXPECT_TRUE(refusing->Untouched()) << "centres were written after a failed lock";
    }
}

TEST_F(SpritesTest, SizesGiveEachCornerItsOffsetInTheNormalStream)
{
    OpenSprites sprites(2, 1, nullptr);
    const std::string normals = Made("CreateVertexBuffer").at(2);

    ClearRecordedCalls(device);
    sprites.SetSize(0.25f);
    const Float3 same[4] = {{-0.25f, 0.25f, 0}, {0.25f, 0.25f, 0}, {0.25f, -0.25f, 0}, {-0.25f, -0.25f, 0}};
    EXPECT_EQ(Read<Float3>(sprites.Normals()),
              (std::vector<Float3>{same[0], same[1], same[2], same[3], same[0], same[1], same[2], same[3]}));
    EXPECT_EQ(Calls("Lock").front(), normals + ", 0, 96, 0x2000");

    ClearRecordedCalls(device);
    const D3DXVECTOR2 sizes[2] = {{1, 2}, {3, 0.5f}};
    sprites.SetSizes(sizes);
    EXPECT_EQ(Read<Float3>(sprites.Normals()), (std::vector<Float3>{{-1, 2, 0},
                                                                   {1, 2, 0},
                                                                   {1, -2, 0},
                                                                   {-1, -2, 0},
                                                                   {-3, 0.5f, 0},
                                                                   {3, 0.5f, 0},
                                                                   {3, -0.5f, 0},
                                                                   {-3, -0.5f, 0}}));
    EXPECT_EQ(Calls("Lock").front(), normals + ", 0, 96, 0x0");

    EXPECT_EQ(FrameworkExMessage([&] { sprites.SetSizes(nullptr); }), "[Sprites::SetSizes] sizes == NULL");
}

TEST_F(SpritesTest, AFailedNormalLockIsAnErrorOrADeviceLossAndWritesNothing)
{
    OpenSprites sprites(2, 1, nullptr);
    const D3DXVECTOR2 sizes[2] = {{1, 1}, {2, 2}};
    const std::function<void()> calls[] = {[&] { sprites.SetSize(1.0f); }, [&] { sprites.SetSizes(sizes); }};
    for (const std::function<void()>& call : calls) {
        auto* refusing = new RefusingVertexBuffer(D3DERR_INVALIDCALL, 2 * 48);
        ReplaceBuffer(sprites.Normals(), refusing);
        const std::string message = FrameworkExMessage(call);
        EXPECT_EQ(message.rfind("Error: D3DERR_INVALIDCALL\n\n.\\Source\\Framework\\RenderClasses\\Sprites\\Sprites : ", 0),
                  0u)
            << message;
        EXPECT_TRUE(refusing->Untouched());

        int rebuilds = 0;
        DXFramework::SetDeviceLostHandler([&rebuilds] { ++rebuilds; });
        refusing = new RefusingVertexBuffer(D3DERR_DEVICELOST, 2 * 48);
        ReplaceBuffer(sprites.Normals(), refusing);
        EXPECT_EQ(FrameworkExMessage(call), "(no exception)");
        EXPECT_EQ(rebuilds, 1);
        EXPECT_TRUE(refusing->Untouched()) << "offsets were written after a lost lock";
        DXFramework::SetDeviceLostHandler(nullptr);
    }
}

TEST_F(SpritesTest, DrawsThroughTheQuadPathWithFourVerticesPerSprite)
{
    Sprites sprites(4, 2, nullptr);
    const std::vector<D3DXVECTOR3> centres = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}};
    ASSERT_EQ(sprites.SetPositions(centres.data(), 3), D3D_OK);
    ClearRecordedCalls(device);
    sprites.Draw();
    EXPECT_EQ(Calls("DrawIndexedPrimitive"), std::vector<std::string>{"D3DPT_TRIANGLELIST, 0, 0, 12, 0, 6"});
    Unbind();
}

} // namespace
