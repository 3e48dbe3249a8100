#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "FileSys.h"
#include "ToolRun.h"
#include "audio/OggDecoder.h"
#include "audio/bass.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/d3dx9.h"

namespace {

// The archive the build made from Content/, opened as the demo opens it, with a recording device
// for the loaders.
class ContentBuildTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(ORVALA_CONTENT_ARCHIVE)) << ORVALA_CONTENT_ARCHIVE;
        files = std::make_unique<FileSys>(ORVALA_CONTENT_ARCHIVE);
        ASSERT_EQ(MakeRecordingDevice(&device), D3D_OK);
    }
    void TearDown() override
    {
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        files.reset();
    }

    static std::vector<unsigned char> Entry(const std::string& name)
    {
        std::vector<unsigned char> bytes(FileSys::GetFileSize(name.c_str()));
        if (bytes.empty() || FileSys::ReadFile(name.c_str(), bytes.data()) == 0)
            bytes.clear();
        return bytes;
    }

    static bool EndsWith(const std::string& text, const std::string& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }

    std::unique_ptr<FileSys> files;
    IDirect3DDevice9* device = nullptr;
};

} // namespace

TEST_F(ContentBuildTest, ArchiveListsWhatTheDemoReadsByName)
{
    const ToolResult listed = RunTool({"archive", "list", ORVALA_CONTENT_ARCHIVE});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    std::set<std::string> names;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);)
        names.insert(line.substr(0, line.find('\t')));
    // Names the framework, the modules and the scenes ask for.
    for (const char* name : {"Data\\tune.ogg", "Data\\noise.bin", "OShaders\\global.fxo", "Data\\usphere.x",
                             "Data\\ucone.x", "Data\\floorShape.x", "Data\\LoaderBarCubeShape.x",
                             "Data\\LoaderBarFloorShape.x", "Data\\bigCubeShape.x", "Data\\littleCubeShape.x",
                             "Data\\cornellBoxShape.x", "Data\\roomenvShape.x", "Data\\tunnelShape.x",
                             "Data\\discoball1Shape.x", "Data\\icubeShape.x", "Data\\holoShape.x",
                             "Data\\groundShape.x", "Data\\trCubeShape.x", "Data\\sync_Scene.track",
                             "Data\\sync_PlaybackTime.track", "Data\\layer1.png", "Data\\layer8.png"})
        EXPECT_EQ(names.count(name), 1u) << name;
    EXPECT_EQ(FileSys::GetFileSize("Data\\noise.bin"), 128u * 128u * 128u);
}

TEST_F(ContentBuildTest, EveryMeshTextureAndEffectLoads)
{
    int meshes = 0, textures = 0;
    for (const auto& [name, coords] : FileSys::GetDirectory()) {
        SCOPED_TRACE(name);
        const std::vector<unsigned char> bytes = Entry(name);
        ASSERT_FALSE(bytes.empty());
        if (EndsWith(name, ".x")) {
            ID3DXMesh* mesh = nullptr;
            ID3DXBuffer* materials = nullptr;
            DWORD count = 0;
            ASSERT_EQ(D3DXLoadMeshFromXInMemory(bytes.data(), static_cast<DWORD>(bytes.size()),
                                                D3DXMESH_MANAGED | D3DXMESH_32BIT, device, nullptr, &materials,
                                                nullptr, &count, &mesh),
                      D3D_OK);
            EXPECT_GT(mesh->GetNumFaces(), 0u);
            EXPECT_GE(count, 1u);
            mesh->Release();
            if (materials)
                materials->Release();
            ++meshes;
        } else if (EndsWith(name, ".png")) {
            IDirect3DTexture9* texture = nullptr;
            ASSERT_EQ(D3DXCreateTextureFromFileInMemory(device, bytes.data(), static_cast<UINT>(bytes.size()), &texture),
                      D3D_OK);
            texture->Release();
            ++textures;
        } else if (EndsWith(name, ".dds")) {
            IDirect3DCubeTexture9* cube = nullptr;
            ASSERT_EQ(D3DXCreateCubeTextureFromFileInMemory(device, bytes.data(), static_cast<UINT>(bytes.size()), &cube),
                      D3D_OK);
            cube->Release();
            ++textures;
        } else if (EndsWith(name, ".fxo")) {
            ID3DXEffectPool* pool = nullptr;
            ASSERT_EQ(D3DXCreateEffectPool(&pool), D3D_OK);
            ID3DXEffect* effect = nullptr;
            ID3DXBuffer* errors = nullptr;
            const HRESULT hr = D3DXCreateEffect(device, bytes.data(), static_cast<UINT>(bytes.size()), nullptr, nullptr,
                                                0, pool, &effect, &errors);
            EXPECT_EQ(hr, D3D_OK) << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
            if (effect) {
                // The shared values the scenes publish are there.
                EXPECT_NE(effect->GetParameterBySemantic(nullptr, "VIEWPROJ"), nullptr);
                EXPECT_NE(effect->GetParameterBySemantic(nullptr, "NOISETEX"), nullptr);
                effect->Release();
            }
            if (errors)
                errors->Release();
            pool->Release();
        }
    }
    EXPECT_GT(meshes, 20);
    EXPECT_GT(textures, 8);
}

TEST_F(ContentBuildTest, TuneLastsTheShow)
{
    const std::vector<unsigned char> bytes = Entry("Data\\tune.ogg");
    const DecodedAudio audio = OggDecoder::Decode(bytes.data(), bytes.size());
    ASSERT_EQ(audio.error, BASS_OK);
    EXPECT_EQ(audio.rate, 44100u);
    EXPECT_EQ(audio.channels, 2u);
    const double seconds = static_cast<double>(audio.samples.size()) / audio.channels / audio.rate;
    EXPECT_NEAR(seconds, 141.5, 0.05);
}
