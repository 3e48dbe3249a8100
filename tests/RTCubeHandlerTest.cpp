#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "RenderTargetPoolTests.h"
#include "RenderTargetResources/RTCubeHandler/RTCubeHandler.h"
#include "d3d9/DeviceFactory.h"

namespace {

struct RTCubeHandlerTraits {
    using Pool = RTCubeHandler;
    using Record = RENDERCUBETEXTURE;
    static constexpr const char* kName = "RTCubeHandler";
    static constexpr const char* kCreateMethod = "CreateCubeTexture";
    static constexpr const char* kSourcePath =
        ".\\Source\\Framework\\RenderTargetResources\\RTCubeHandler\\RTCubeHandler";
    static constexpr const char* kSourceFile =
        "Source/Framework/RenderTargetResources/RTCubeHandler/RTCubeHandler.cpp";
    static constexpr const char* kAccessMessage =
        "RTCubeHandler::FetchCubeTexture: input handle does not correspond to an existing texture.";
    static constexpr const char* kUnrequestMessage =
        "RTCubeHandler::Unrequest: input handle does not correspond to an existing resource.";
    static constexpr const char* kTargetNoun = "cube texture";

    static DWORD Request(const PoolDescription& d) { return RTCubeHandler::Request(d.format, d.size); }
    static void Unrequest(DWORD handle) { RTCubeHandler::Unrequest(handle); }
    static RENDERCUBETEXTURE* Access(DWORD handle) { return RTCubeHandler::FetchCubeTexture(handle); }
    static bool Describes(const RENDERCUBETEXTURE& r, const PoolDescription& d)
    {
        D3DSURFACE_DESC desc{};
        return r.format == d.format && r.edgeLength == d.size && r.cubeTexture != nullptr &&
               r.cubeTexture->GetLevelDesc(0, &desc) == D3D_OK && desc.Format == d.format && desc.Width == d.size &&
               desc.Height == d.size && desc.Usage == D3DUSAGE_RENDERTARGET && desc.Pool == D3DPOOL_DEFAULT &&
               r.cubeTexture->GetLevelCount() == 1;
    }
    static std::vector<IUnknown*> Objects(const RENDERCUBETEXTURE& r)
    {
        std::vector<IUnknown*> objects{r.cubeTexture};
        objects.insert(objects.end(), std::begin(r.faces), std::end(r.faces));
        return objects;
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(RTCubeHandler, RenderTargetPoolTest, RTCubeHandlerTraits, PoolTraitsName);

using RTCubeHandlerTest = RenderTargetPoolTest<RTCubeHandlerTraits>;

TEST_F(RTCubeHandlerTest, KeepsTheLevelZeroSurfaceOfEachFaceInFaceOrder)
{
    RENDERCUBETEXTURE* record = RTCubeHandler::FetchCubeTexture(RTCubeHandler::Request(D3DFMT_A16B16G16R16F, 128));
    const std::vector<RecordedCall> created = CallsNamed("CreateCubeTexture");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].arguments, "128, 1, 0x1, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT, cubetexture#1");
    const std::vector<RecordedCall> faces = CallsNamed("GetCubeMapSurface");
    ASSERT_EQ(faces.size(), 6u);
    for (unsigned face = 0; face < 6; ++face) {
        SCOPED_TRACE(face);
        EXPECT_EQ(faces[face].arguments, "cubetexture#1, " + std::to_string(face) + ", 0");
        IDirect3DSurface9* surface = nullptr;
        ASSERT_EQ(record->cubeTexture->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), 0, &surface), D3D_OK);
        EXPECT_EQ(record->faces[face], surface);
        surface->Release();
    }
}

TEST_F(RTCubeHandlerTest, VideoMemoryCountsSixFacesOfEachCube)
{
    struct Case {
        D3DFORMAT format;
        DWORD edgeLength;
        std::uint64_t bytes; // of this cube alone
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 8, 1536},
        {D3DFMT_A16B16G16R16F, 128, 786432},
        {D3DFMT_R16F, 1, 12},
    };
    std::uint64_t total = 0;
    for (const Case& c : cases) {
        RTCubeHandler::Request(c.format, c.edgeLength);
        total += c.bytes;
        EXPECT_EQ(RTCubeHandler::GetVideoMemoryBytes(), total);
    }
}

} // namespace
