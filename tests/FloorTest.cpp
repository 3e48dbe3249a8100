#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DXMesh/DXMesh.h"
#include "DeferredLightingWorld.h"
#include "Floor/Floor.h"
#include "FrameworkEx.h"
#include "d3d9/DeviceFactory.h"

namespace {

const char* kScene = R"(<scene>
  <cameras><camera name="eye" vFOV="1.0" nearz="0.5" farz="80" aspect="1.5"/></cameras>
</scene>)";

// The module on the recording device over an archive whose "floorShape.x" is `mesh` from the
// staged content, with the effect "DefLight" registered and not yet active.
class FloorTest : public ::testing::Test {
protected:
    void Open(const std::string& mesh)
    {
        ASSERT_EQ(MakeRecordingDevice(&device, 64, 64), D3D_OK);
        DXFramework::SetDevice(device);
        world = std::make_unique<LightingWorld>();
        world->Add("Data\\floorShape.x", StagedContent("Data/" + mesh));
        world->Open(kScene);
        DXEffectHandler::AddEffect("DefLight", "DefLight.fx", nullptr);
        floor = std::make_unique<Floor>("Floor");
    }

    void TearDown() override
    {
        floor.reset();
        world.reset();
        DXFramework::SetDevice(nullptr);
        if (device) {
            EXPECT_EQ(device->Release(), 0u) << "the module left objects of the device alive";
        }
    }

    // The draws logged since the last clear.
    std::vector<RecordedCall> Draws() const
    {
        std::vector<RecordedCall> draws;
        for (const RecordedCall& call : GetRecordedCalls(device))
            if (call.method.rfind("Draw", 0) == 0)
                draws.push_back(call);
        return draws;
    }

    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<LightingWorld> world;
    std::unique_ptr<Floor> floor;
};

bool IsIdentity(const D3DXMATRIX& m)
{
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    return m == identity;
}

} // namespace

TEST_F(FloorTest, EveryResetLeavesExactlyOneMeshThatStaysWhereTheFilePutsIt)
{
    Open("floorShape.x");
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        floor->CreateResources();
        ASSERT_EQ(floor->GetMeshes().size(), 1u);
        EXPECT_GT(floor->GetMeshes().front()->GetNumFaces(), 0u);
        floor->Update();
        EXPECT_TRUE(IsIdentity(floor->GetMeshes().front()->world));
        floor->ReleaseResources();
        EXPECT_TRUE(floor->GetMeshes().empty());
    }
}

TEST_F(FloorTest, DrawAfterReleaseDrawsNothing)
{
    Open("floorShape.x");
    DXEffectHandler::SetActiveEffect("DefLight");
    DXEffectHandler::SetTechnique("DepthToR");
    floor->CreateResources();
    floor->Draw();
    EXPECT_FALSE(Draws().empty());

    floor->ReleaseResources();
    ClearRecordedCalls(device);
    floor->Draw();
    EXPECT_TRUE(Draws().empty());
}

// A floor of three materials (the cornell box's walls): one draw per subset, each inside the
// active effect's pass, each over its own range of faces.
TEST_F(FloorTest, DrawDrawsEverySubsetThroughTheActiveEffect)
{
    Open("cornellBoxShape.x");
    floor->CreateResources();
    const unsigned subsets = floor->GetMeshes().front()->GetNumMaterials();
    ASSERT_GE(subsets, 2u);

    // Nothing active: the registry says so.
    EXPECT_THROW(floor->Draw(), FrameworkEx);

    DXEffectHandler::SetActiveEffect("DefLight");
    DXEffectHandler::SetTechnique("DepthToR");
    ClearRecordedCalls(device);
    floor->Draw();
    std::set<std::string> ranges;
    bool shaded = false;
    unsigned draws = 0;
    for (const RecordedCall& call : GetRecordedCalls(device)) {
        if (call.method == "SetPixelShader")
            shaded = call.arguments != "null";
        if (call.method != "DrawIndexedPrimitive")
            continue;
        ++draws;
        EXPECT_TRUE(shaded) << "a subset drawn outside the effect's pass";
        // type, base vertex, min index, vertices, start index, primitives: the face range
        std::istringstream fields(call.arguments);
        std::string field, range;
        for (int i = 0; std::getline(fields, field, ','); ++i)
            if (i >= 4)
                range += field;
        ranges.insert(range);
    }
    EXPECT_EQ(draws, subsets);
    EXPECT_EQ(ranges.size(), subsets);
}
