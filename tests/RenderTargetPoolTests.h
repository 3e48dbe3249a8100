#pragma once
// The behaviour the three render-target pools (RTHandler, RSHandler, RTCubeHandler) share, written
// once as a type-parameterised suite. Each pool's test file describes its pool with a traits type
// and instantiates the suite with it, INSTANTIATE_TYPED_TEST_SUITE_P(RTHandler, RenderTargetPoolTest, Traits,
// PoolTraitsName):
//
//   struct Traits {
//       using Pool = RTHandler;                      // the singleton
//       using Record = RENDERTEXTURE;
//       static constexpr const char* kName;          // "RTHandler"
//       static constexpr const char* kCreateMethod;  // the device method that makes a target
//       static constexpr const char* kSourcePath;    // the pool's source as its messages name it
//       static constexpr const char* kSourceFile;    // the same, from the repository root, with extension
//       static constexpr const char* kAccessMessage, * kUnrequestMessage; // out-of-range messages
//       static constexpr const char* kTargetNoun;    // "texture", as the request error names the target
//       static DWORD Request(const PoolDescription&);
//       static void Unrequest(DWORD);
//       static Record* Access(DWORD);
//       static bool Describes(const Record&, const PoolDescription&);
//       static std::vector<IUnknown*> Objects(const Record&);  // every Direct3D pointer of the record
//   };
//
// Everything here sits in an unnamed namespace: each test file gets its own copy of the suite.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "DXFramework.h"
#include "FrameworkExMessage.h"
#include "d3d9/DeviceFactory.h"
#include "d3d9/d3d9.h"

namespace {

// What a requester asks a pool for. The 2D pools make width x height/2 targets of it (so that a
// swap of width and height shows), the cube pool makes cubes with an edge of `size`.
struct PoolDescription {
    D3DFORMAT format;
    DWORD size;
};

// Names each instantiation of the suite after its pool.
struct PoolTraitsName {
    template <class Traits>
    static std::string GetName(int)
    {
        return Traits::kName;
    }
};

// The framework state a pool test changes (device, multisampling, depth surfaces, device-lost
// handler), put back when the test ends.
class FrameworkStateGuard {
public:
    FrameworkStateGuard()
    {
        device_ = DXFramework::GetDevice();
        DXFramework::GetMultiSample(&multiSample_, &quality_);
    }
    ~FrameworkStateGuard()
    {
        DXFramework::SetDevice(device_);
        DXFramework::SetMultiSample(multiSample_, quality_);
        DXFramework::SetDepthSurfaces(nullptr, nullptr);
        DXFramework::SetDeviceLostHandler(nullptr);
    }
    FrameworkStateGuard(const FrameworkStateGuard&) = delete;
    FrameworkStateGuard& operator=(const FrameworkStateGuard&) = delete;

private:
    IDirect3DDevice9* device_ = nullptr;
    D3DMULTISAMPLE_TYPE multiSample_ = D3DMULTISAMPLE_NONE;
    DWORD quality_ = 0;
};

// The line `line` (1-based) of a file of the repository, or "" when there is none. This header's
// path is relative to the build directory, where the test binary lies, when it is not absolute.
inline std::string RepositorySourceLine(const std::string& relativePath, int line)
{
    std::filesystem::path self(__FILE__);
    if (self.is_relative()) {
        std::error_code error;
        self = std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / self;
    }
    std::ifstream in(self.parent_path().parent_path() / relativePath);
    std::string text;
    for (int i = 1; i <= line && std::getline(in, text); ++i) {
        if (i == line)
            return text;
    }
    return std::string();
}

// A pool on a 64 x 48 recording device published as the framework's device, with four samples
// per pixel as the framework's multisampling. TearDown destroys the pool and checks that it
// released everything: the device's last Release returns 0.
template <class Traits>
class RenderTargetPoolTest : public ::testing::Test {
protected:
    using Pool = typename Traits::Pool;
    using Record = typename Traits::Record;

    static D3DPRESENT_PARAMETERS Parameters()
    {
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = 64;
        params.BackBufferHeight = 48;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        params.EnableAutoDepthStencil = TRUE;
        params.AutoDepthStencilFormat = D3DFMT_D24S8;
        return params;
    }

    void SetUp() override
    {
        D3DPRESENT_PARAMETERS params = Parameters();
        ASSERT_EQ(CreateRecordingDevice(TestDeviceCaps(), &params, &device), D3D_OK);
        DXFramework::SetDevice(device);
        DXFramework::SetMultiSample(D3DMULTISAMPLE_4_SAMPLES, 0);
        pool = std::make_unique<Pool>();
    }

    void TearDown() override
    {
        pool.reset();
        if (device != nullptr) {
            EXPECT_EQ(device->Release(), 0u) << "the pool left objects of the device alive";
        }
    }

    // The calls of `method` the device logged since it was made.
    std::vector<RecordedCall> CallsNamed(const std::string& method) const
    {
        std::vector<RecordedCall> found;
        for (const RecordedCall& call : GetRecordedCalls(device))
            if (call.method == method)
                found.push_back(call);
        return found;
    }

    size_t Creations() const { return CallsNamed(Traits::kCreateMethod).size(); }

    // Every Direct3D pointer of the record is set (true) or every one is null (false).
    static ::testing::AssertionResult HasObjects(const Record& record, bool expected)
    {
        std::vector<IUnknown*> objects = Traits::Objects(record);
        for (size_t i = 0; i < objects.size(); ++i) {
            if ((objects[i] != nullptr) != expected)
                return ::testing::AssertionFailure() << "object " << i << " is " << (expected ? "null" : "set");
        }
        return ::testing::AssertionSuccess();
    }

    // The device's reference count: every object made on it holds one.
    ULONG DeviceReferences() const
    {
        device->AddRef();
        return device->Release();
    }

    HRESULT Reset()
    {
        D3DPRESENT_PARAMETERS params = Parameters();
        return device->Reset(&params);
    }

    const PoolDescription colour{D3DFMT_A8R8G8B8, 32};
    FrameworkStateGuard framework;
    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<Pool> pool;
};

TYPED_TEST_SUITE_P(RenderTargetPoolTest);

TYPED_TEST_P(RenderTargetPoolTest, HoldersOfOneDescriptionGetDifferentTargets)
{
    const DWORD first = TypeParam::Request(this->colour);
    const DWORD second = TypeParam::Request(this->colour);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(second, 1u);
    EXPECT_EQ(this->Creations(), 2u);
    auto* a = TypeParam::Access(first);
    auto* b = TypeParam::Access(second);
    ASSERT_NE(a, b);
    EXPECT_NE(TypeParam::Objects(*a)[0], TypeParam::Objects(*b)[0]);
    for (auto* record : {a, b}) {
        EXPECT_EQ(record->usage, 1u);
        EXPECT_TRUE(TypeParam::Describes(*record, this->colour));
        EXPECT_TRUE(this->HasObjects(*record, true));
    }
}

TYPED_TEST_P(RenderTargetPoolTest, AReleasedTargetIsHandedOutAgainWithoutCreating)
{
    const DWORD handle = TypeParam::Request(this->colour);
    IUnknown* object = TypeParam::Objects(*TypeParam::Access(handle))[0];
    TypeParam::Unrequest(handle);
    EXPECT_EQ(TypeParam::Access(handle)->usage, 0u);

    EXPECT_EQ(TypeParam::Request(this->colour), handle);
    EXPECT_EQ(TypeParam::Access(handle)->usage, 1u);
    EXPECT_EQ(TypeParam::Objects(*TypeParam::Access(handle))[0], object);
    EXPECT_EQ(this->Creations(), 1u);
    EXPECT_EQ(TypeParam::Pool::GetRecordCount(), 1u);
}

TYPED_TEST_P(RenderTargetPoolTest, AnIdleTargetOfAnotherDescriptionIsNotTaken)
{
    struct Case {
        const char* differs;
        PoolDescription other;
    };
    const Case cases[] = {
        {"format only", {D3DFMT_A16B16G16R16F, this->colour.size}},
        {"size only", {this->colour.format, this->colour.size * 2}},
    };
    const DWORD idle = TypeParam::Request(this->colour);
    TypeParam::Unrequest(idle);
    DWORD expected = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.differs);
        const DWORD handle = TypeParam::Request(c.other);
        EXPECT_EQ(handle, expected++);
        EXPECT_TRUE(TypeParam::Describes(*TypeParam::Access(handle), c.other));
        EXPECT_EQ(TypeParam::Access(idle)->usage, 0u);
    }
    EXPECT_EQ(this->Creations(), 3u);
}

TYPED_TEST_P(RenderTargetPoolTest, TheFirstIdleMatchInHandleOrderIsTaken)
{
    for (DWORD expected = 0; expected < 3; ++expected)
        ASSERT_EQ(TypeParam::Request(this->colour), expected);
    TypeParam::Unrequest(2);
    TypeParam::Unrequest(1);

    EXPECT_EQ(TypeParam::Request(this->colour), 1u);
    EXPECT_EQ(TypeParam::Access(0)->usage, 1u);
    EXPECT_EQ(TypeParam::Access(1)->usage, 1u);
    EXPECT_EQ(TypeParam::Access(2)->usage, 0u);
    EXPECT_EQ(this->Creations(), 3u);
}

TYPED_TEST_P(RenderTargetPoolTest, UnrequestingTwiceLeavesTheTargetIdleAndAvailable)
{
    const DWORD handle = TypeParam::Request(this->colour);
    auto* record = TypeParam::Access(handle);
    TypeParam::Unrequest(handle);
    TypeParam::Unrequest(handle);
    EXPECT_EQ(record->usage, 0u);
    // An idle record is still handed to whoever asks for it by handle.
    EXPECT_EQ(TypeParam::Access(handle), record);
    EXPECT_TRUE(this->HasObjects(*record, true));

    EXPECT_EQ(TypeParam::Request(this->colour), handle);
    EXPECT_EQ(record->usage, 1u);
    // It is held once, so the next holder gets another target.
    EXPECT_EQ(TypeParam::Request(this->colour), handle + 1);
}

TYPED_TEST_P(RenderTargetPoolTest, HandlesWithoutARecordGetThePoolsMessages)
{
    EXPECT_EQ(FrameworkExMessage([] { TypeParam::Access(0); }), TypeParam::kAccessMessage);
    EXPECT_EQ(FrameworkExMessage([] { TypeParam::Unrequest(0); }), TypeParam::kUnrequestMessage);
    TypeParam::Request(this->colour);
    TypeParam::Request(this->colour);
    for (DWORD handle : {2u, 3u, 0x7FFFFFFFu}) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(FrameworkExMessage([=] { TypeParam::Access(handle); }), TypeParam::kAccessMessage);
        EXPECT_EQ(FrameworkExMessage([=] { TypeParam::Unrequest(handle); }), TypeParam::kUnrequestMessage);
    }
    // The handle a request gets when the device was lost: nothing to fetch, nothing to give back.
    EXPECT_EQ(FrameworkExMessage([] { TypeParam::Access(TypeParam::Pool::InvalidHandle); }),
              TypeParam::kAccessMessage);
    EXPECT_EQ(FrameworkExMessage([] { TypeParam::Unrequest(TypeParam::Pool::InvalidHandle); }), "(no exception)");
    EXPECT_EQ(TypeParam::Access(0)->usage, 1u);
    EXPECT_EQ(TypeParam::Access(1)->usage, 1u);
}

TYPED_TEST_P(RenderTargetPoolTest, ASecondPoolIsRefusedAndTheFirstKeepsItsTargets)
{
    const DWORD handle = TypeParam::Request(this->colour);
    EXPECT_EQ(FrameworkExMessage([] { typename TypeParam::Pool second; }),
              std::string(TypeParam::kName) + " is a singleton!");
    EXPECT_TRUE(this->HasObjects(*TypeParam::Access(handle), true));
    EXPECT_EQ(TypeParam::Request(this->colour), handle + 1);
}

TYPED_TEST_P(RenderTargetPoolTest, DestroyingThePoolReleasesHeldAndIdleTargets)
{
    const ULONG before = this->DeviceReferences();
    TypeParam::Request(this->colour);
    TypeParam::Request(this->colour);
    TypeParam::Unrequest(TypeParam::Request({D3DFMT_R16F, 16}));
    EXPECT_GT(this->DeviceReferences(), before);
    EXPECT_EQ(this->Reset(), D3DERR_INVALIDCALL) << "a Reset must be refused while the targets live";

    this->pool.reset();
    EXPECT_EQ(this->DeviceReferences(), before);
    EXPECT_EQ(TypeParam::Pool::GetRecordCount(), 0u);
    EXPECT_EQ(TypeParam::Pool::GetVideoMemoryBytes(), 0u);
    EXPECT_EQ(this->Reset(), D3D_OK);

    // A new pool starts empty: handles count from 0 again.
    this->pool = std::make_unique<typename TypeParam::Pool>();
    EXPECT_EQ(TypeParam::Request(this->colour), 0u);
}

TYPED_TEST_P(RenderTargetPoolTest, AFailedCreationNamesThePoolsSourceAndBuildsNoRecord)
{
    struct Case {
        PoolDescription description;
        const char* result;
    };
    const Case cases[] = {
        {{D3DFMT_A8R8G8B8, 0}, "D3DERR_INVALIDCALL"},      // empty
        {{D3DFMT_A8R8G8B8, 8192}, "D3DERR_INVALIDCALL"},   // beyond the device's limit
        {{D3DFMT_D24S8, 32}, "D3DERR_INVALIDCALL"},        // a depth format, not a colour one
        {{D3DFMT_L8, 32}, "D3DERR_NOTAVAILABLE"},          // a colour format the adapter draws not into
    };
    TypeParam::Request(this->colour);
    const ULONG references = this->DeviceReferences();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        const std::string message = FrameworkExMessage([&] { TypeParam::Request(c.description); });
        const std::string prefix = std::string("Error: ") + c.result + "\n\n" + TypeParam::kSourcePath + " : ";
        ASSERT_EQ(message.substr(0, prefix.size()), prefix);
        const std::string line = message.substr(prefix.size());
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.find_first_not_of("0123456789"), std::string::npos) << line;
        EXPECT_NE(RepositorySourceLine(TypeParam::kSourceFile, std::stoi(line)).find(TypeParam::kCreateMethod),
                  std::string::npos)
            << "line " << line << " is not the creation call";
        EXPECT_EQ(TypeParam::Pool::GetRecordCount(), 1u);
        EXPECT_EQ(this->DeviceReferences(), references);
    }
    EXPECT_EQ(TypeParam::Request(this->colour), 1u);
}

TYPED_TEST_P(RenderTargetPoolTest, ALostDeviceDuringCreationBuildsNoRecordAndTheRunGoesOn)
{
    const DWORD held = TypeParam::Request(this->colour);
    // The framework's handling: release the device resources, Reset, make them again.
    int handled = 0;
    HRESULT reset = E_FAIL;
    DXFramework::SetDeviceLostHandler([&] {
        ++handled;
        TypeParam::Pool::ReleaseDeviceResources();
        reset = this->Reset();
        TypeParam::Pool::RecreateDeviceResources();
    });
    this->device->InjectDeviceLoss(TypeParam::kCreateMethod, 1);

    EXPECT_EQ(TypeParam::Request({D3DFMT_A16B16G16R16F, 16}), TypeParam::Pool::InvalidHandle);
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(reset, D3D_OK);
    EXPECT_EQ(TypeParam::Pool::GetRecordCount(), 1u);
    EXPECT_EQ(TypeParam::Access(held)->usage, 1u);
    EXPECT_TRUE(this->HasObjects(*TypeParam::Access(held), true));
    EXPECT_EQ(this->device->TestCooperativeLevel(), D3D_OK);

    // The caller that got no target can give it back; the next request is served normally.
    TypeParam::Unrequest(TypeParam::Pool::InvalidHandle);
    EXPECT_EQ(TypeParam::Request({D3DFMT_A16B16G16R16F, 16}), 1u);
    EXPECT_TRUE(TypeParam::Describes(*TypeParam::Access(1), {D3DFMT_A16B16G16R16F, 16}));
}

TYPED_TEST_P(RenderTargetPoolTest, TargetsAreReleasedAndMadeAgainAroundAReset)
{
    const PoolDescription other{D3DFMT_A16B16G16R16F, 16};
    const DWORD held = TypeParam::Request(this->colour);
    const DWORD idle = TypeParam::Request(other);
    TypeParam::Unrequest(idle);
    const std::uint64_t bytes = TypeParam::Pool::GetVideoMemoryBytes();
    ASSERT_GT(bytes, 0u);
    ASSERT_EQ(this->Reset(), D3DERR_INVALIDCALL) << "the device must refuse a Reset while the targets live";

    TypeParam::Pool::ReleaseDeviceResources();
    EXPECT_EQ(TypeParam::Pool::GetRecordCount(), 2u);
    EXPECT_EQ(TypeParam::Pool::GetVideoMemoryBytes(), 0u);
    for (DWORD handle : {held, idle}) {
        EXPECT_TRUE(this->HasObjects(*TypeParam::Access(handle), false));
    }
    EXPECT_EQ(TypeParam::Access(held)->usage, 1u);
    EXPECT_EQ(TypeParam::Access(idle)->usage, 0u);
    TypeParam::Pool::ReleaseDeviceResources(); // twice is harmless
    // Handles stay valid meanwhile: the idle record is handed out again, nothing is made on the
    // device before its Reset.
    const size_t madeBefore = this->Creations();
    EXPECT_EQ(TypeParam::Request(other), idle);
    EXPECT_TRUE(this->HasObjects(*TypeParam::Access(idle), false));
    EXPECT_EQ(this->Creations(), madeBefore);
    TypeParam::Unrequest(idle);
    ASSERT_EQ(this->Reset(), D3D_OK);

    const size_t creations = this->Creations();
    TypeParam::Pool::RecreateDeviceResources();
    EXPECT_EQ(this->Creations(), creations + 2);
    EXPECT_EQ(TypeParam::Pool::GetVideoMemoryBytes(), bytes);
    EXPECT_TRUE(TypeParam::Describes(*TypeParam::Access(held), this->colour));
    EXPECT_TRUE(TypeParam::Describes(*TypeParam::Access(idle), other));
    for (DWORD handle : {held, idle}) {
        EXPECT_TRUE(this->HasObjects(*TypeParam::Access(handle), true));
    }
    EXPECT_EQ(TypeParam::Access(held)->usage, 1u);
    EXPECT_EQ(TypeParam::Access(idle)->usage, 0u);
    TypeParam::Pool::RecreateDeviceResources(); // nothing left to make
    EXPECT_EQ(this->Creations(), creations + 2);
    EXPECT_EQ(TypeParam::Request(other), idle);
}

TYPED_TEST_P(RenderTargetPoolTest, TargetsSharedBetweenUsersPeakAtTheLargestSet)
{
    // One user holds three targets of a description, then gives them back; the next holds two of
    // them and one of another description.
    const PoolDescription other{D3DFMT_A16B16G16R16F, 16};
    std::vector<DWORD> first;
    for (int i = 0; i < 3; ++i)
        first.push_back(TypeParam::Request(this->colour));
    const std::uint64_t firstBytes = TypeParam::Pool::GetVideoMemoryBytes();
    EXPECT_EQ(TypeParam::Pool::GetHeldVideoMemoryBytes(), firstBytes);
    for (DWORD handle : first)
        TypeParam::Unrequest(handle);
    EXPECT_EQ(TypeParam::Pool::GetHeldVideoMemoryBytes(), 0u) << "idle targets are not held";
    TypeParam::Request(this->colour);
    TypeParam::Request(this->colour);
    const DWORD otherHandle = TypeParam::Request(other);

    EXPECT_EQ(TypeParam::Pool::GetRecordCount(), 4u);
    EXPECT_EQ(this->Creations(), 4u);
    EXPECT_GT(TypeParam::Pool::GetVideoMemoryBytes(), firstBytes);
    EXPECT_EQ(TypeParam::Access(2)->usage, 0u);
    // Held: two of the first description (two thirds of the first set) and the other one.
    const std::uint64_t otherBytes = TypeParam::Pool::GetVideoMemoryBytes() - firstBytes;
    EXPECT_EQ(TypeParam::Pool::GetHeldVideoMemoryBytes(), firstBytes / 3 * 2 + otherBytes);
    TypeParam::Unrequest(otherHandle);
    EXPECT_EQ(TypeParam::Pool::GetHeldVideoMemoryBytes(), firstBytes / 3 * 2);
}

TYPED_TEST_P(RenderTargetPoolTest, RequestsWithoutAPoolOrADeviceAreClearErrors)
{
    this->pool.reset();
    EXPECT_EQ(FrameworkExMessage([&] { TypeParam::Request(this->colour); }),
              std::string(TypeParam::kName) + "::Request: there is no " + TypeParam::kName + " to hold the " +
                  TypeParam::kTargetNoun + ".");
    this->pool = std::make_unique<typename TypeParam::Pool>();
    DXFramework::SetDevice(nullptr);
    EXPECT_EQ(FrameworkExMessage([&] { TypeParam::Request(this->colour); }),
              std::string(TypeParam::kName) + "::Request: there is no Direct3D device.");
    EXPECT_EQ(TypeParam::Pool::GetRecordCount(), 0u);
}

REGISTER_TYPED_TEST_SUITE_P(RenderTargetPoolTest, HoldersOfOneDescriptionGetDifferentTargets,
                            AReleasedTargetIsHandedOutAgainWithoutCreating,
                            AnIdleTargetOfAnotherDescriptionIsNotTaken, TheFirstIdleMatchInHandleOrderIsTaken,
                            UnrequestingTwiceLeavesTheTargetIdleAndAvailable,
                            HandlesWithoutARecordGetThePoolsMessages,
                            ASecondPoolIsRefusedAndTheFirstKeepsItsTargets,
                            DestroyingThePoolReleasesHeldAndIdleTargets,
                            AFailedCreationNamesThePoolsSourceAndBuildsNoRecord,
                            ALostDeviceDuringCreationBuildsNoRecordAndTheRunGoesOn,
                            TargetsAreReleasedAndMadeAgainAroundAReset,
                            TargetsSharedBetweenUsersPeakAtTheLargestSet,
                            RequestsWithoutAPoolOrADeviceAreClearErrors);

} // namespace
