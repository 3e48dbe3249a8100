#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "FrameworkExMessage.h"

namespace {

struct NamedCode {
    HRESULT code;
    unsigned long bits; // the value as the Direct3D 9 headers write it
    const char* name;
};

// The codes with their values spelled out, so that a wrong constant is caught as well as a
// wrong table entry.
const NamedCode kCodes[] = {
    {D3D_OK, 0x00000000, "D3D_OK"},
    {D3DOK_NOAUTOGEN, 0x0876086F, "D3DOK_NOAUTOGEN"},
    {E_NOTIMPL, 0x80004001, "E_NOTIMPL"},
    {E_NOINTERFACE, 0x80004002, "E_NOINTERFACE"},
    {E_FAIL, 0x80004005, "E_FAIL"},
    {E_OUTOFMEMORY, 0x8007000E, "E_OUTOFMEMORY"},
    {E_INVALIDARG, 0x80070057, "E_INVALIDARG"},
    {D3DERR_OUTOFVIDEOMEMORY, 0x8876017C, "D3DERR_OUTOFVIDEOMEMORY"},
    {D3DERR_WASSTILLDRAWING, 0x8876021C, "D3DERR_WASSTILLDRAWING"},
    {D3DERR_WRONGTEXTUREFORMAT, 0x88760818, "D3DERR_WRONGTEXTUREFORMAT"},
    {D3DERR_UNSUPPORTEDCOLOROPERATION, 0x88760819, "D3DERR_UNSUPPORTEDCOLOROPERATION"},
    {D3DERR_UNSUPPORTEDCOLORARG, 0x8876081A, "D3DERR_UNSUPPORTEDCOLORARG"},
    {D3DERR_UNSUPPORTEDALPHAOPERATION, 0x8876081B, "D3DERR_UNSUPPORTEDALPHAOPERATION"},
    {D3DERR_UNSUPPORTEDALPHAARG, 0x8876081C, "D3DERR_UNSUPPORTEDALPHAARG"},
    {D3DERR_TOOMANYOPERATIONS, 0x8876081D, "D3DERR_TOOMANYOPERATIONS"},
    {D3DERR_CONFLICTINGTEXTUREFILTER, 0x8876081E, "D3DERR_CONFLICTINGTEXTUREFILTER"},
    {D3DERR_UNSUPPORTEDFACTORVALUE, 0x8876081F, "D3DERR_UNSUPPORTEDFACTORVALUE"},
    {D3DERR_CONFLICTINGRENDERSTATE, 0x88760821, "D3DERR_CONFLICTINGRENDERSTATE"},
    {D3DERR_UNSUPPORTEDTEXTUREFILTER, 0x88760822, "D3DERR_UNSUPPORTEDTEXTUREFILTER"},
    {D3DERR_CONFLICTINGTEXTUREPALETTE, 0x88760826, "D3DERR_CONFLICTINGTEXTUREPALETTE"},
    {D3DERR_DRIVERINTERNALERROR, 0x88760827, "D3DERR_DRIVERINTERNALERROR"},
    {D3DERR_NOTFOUND, 0x88760866, "D3DERR_NOTFOUND"},
    {D3DERR_MOREDATA, 0x88760867, "D3DERR_MOREDATA"},
    {D3DERR_DEVICELOST, 0x88760868, "D3DERR_DEVICELOST"},
    {D3DERR_DEVICENOTRESET, 0x88760869, "D3DERR_DEVICENOTRESET"},
    {D3DERR_NOTAVAILABLE, 0x8876086A, "D3DERR_NOTAVAILABLE"},
    {D3DERR_INVALIDDEVICE, 0x8876086B, "D3DERR_INVALIDDEVICE"},
    {D3DERR_INVALIDCALL, 0x8876086C, "D3DERR_INVALIDCALL"},
    {D3DERR_DRIVERINVALIDCALL, 0x8876086D, "D3DERR_DRIVERINVALIDCALL"},
    {D3DXERR_CANNOTMODIFYINDEXBUFFER, 0x88760B54, "D3DXERR_CANNOTMODIFYINDEXBUFFER"},
    {D3DXERR_INVALIDMESH, 0x88760B55, "D3DXERR_INVALIDMESH"},
    {D3DXERR_CANNOTATTRSORT, 0x88760B56, "D3DXERR_CANNOTATTRSORT"},
    {D3DXERR_SKINNINGNOTSUPPORTED, 0x88760B57, "D3DXERR_SKINNINGNOTSUPPORTED"},
    {D3DXERR_TOOMANYINFLUENCES, 0x88760B58, "D3DXERR_TOOMANYINFLUENCES"},
    {D3DXERR_INVALIDDATA, 0x88760B59, "D3DXERR_INVALIDDATA"},
    {D3DXERR_LOADEDMESHASNODATA, 0x88760B5A, "D3DXERR_LOADEDMESHASNODATA"},
    {D3DXERR_DUPLICATENAMEDFRAGMENT, 0x88760B5B, "D3DXERR_DUPLICATENAMEDFRAGMENT"},
    {D3DXERR_CANNOTREMOVELASTITEM, 0x88760B5C, "D3DXERR_CANNOTREMOVELASTITEM"},
};

TEST(DXErrorNameTest, EveryKnownCodeMapsToItsName)
{
    EXPECT_EQ(std::size(kCodes), 38u);
    for (const NamedCode& entry : kCodes) {
        EXPECT_EQ(static_cast<std::uint32_t>(entry.code), entry.bits) << entry.name;
        EXPECT_STREQ(DXErrorName(static_cast<HRESULT>(entry.bits)), entry.name);
    }
}

TEST(DXErrorNameTest, OtherCodesAreUnknown)
{
    for (HRESULT code : {S_FALSE, static_cast<HRESULT>(0x88760000u), static_cast<HRESULT>(0x8876086Eu),
                         static_cast<HRESULT>(0xFFFFFFFFu), static_cast<HRESULT>(0x0876086Cu)})
        EXPECT_STREQ(DXErrorName(code), "UNKNOWN ERROR!") << std::hex << code;
    EXPECT_STREQ(DXErrorName(S_OK), "D3D_OK");
}

std::string MessageOf(HRESULT result, int& line)
{
    line = __LINE__ + 1; // the message names the line of the call
    return FrameworkExMessage([&] { CHECK_RESULT(result); });
}

class CheckResultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DXFramework::SetDeviceLostHandler([this] { ++rebuilds; });
    }
    void TearDown() override { DXFramework::SetDeviceLostHandler(nullptr); }
    int rebuilds = 0;
};

TEST_F(CheckResultTest, FailureNamesTheResultAndTheCallSite)
{
    int line = 0;
    const std::string message = MessageOf(D3DERR_INVALIDCALL, line);
    EXPECT_EQ(message, "Error: D3DERR_INVALIDCALL\n\n.\\tests\\DXErrorTest : " + std::to_string(line));
    EXPECT_EQ(rebuilds, 0);
}

TEST_F(CheckResultTest, SuccessStatusAndUnknownCodesFailToo)
{
    int line = 0;
    EXPECT_EQ(MessageOf(D3DOK_NOAUTOGEN, line).rfind("Error: D3DOK_NOAUTOGEN\n\n", 0), 0u);
    EXPECT_EQ(MessageOf(S_FALSE, line).rfind("Error: UNKNOWN ERROR!\n\n", 0), 0u);
    // The entry point finds this name right after "Error: ".
    EXPECT_EQ(MessageOf(D3DERR_OUTOFVIDEOMEMORY, line).find("D3DERR_OUTOFVIDEOMEMORY"), 7u);
}

TEST_F(CheckResultTest, OkPassesAndLostDeviceIsRebuiltWithoutThrowing)
{
    int line = 0;
    EXPECT_EQ(MessageOf(D3D_OK, line), "(no exception)");
    EXPECT_EQ(rebuilds, 0);
    EXPECT_EQ(MessageOf(D3DERR_DEVICELOST, line), "(no exception)");
    EXPECT_EQ(rebuilds, 1);
}

TEST_F(CheckResultTest, CallIsMadeOnce)
{
    int calls = 0;
    auto call = [&calls] {
        ++calls;
        return D3D_OK;
    };
    CHECK_RESULT(call());
    EXPECT_EQ(calls, 1);
}

// The repository root as this test was compiled: the message paths are relative to it.
std::string Root()
{
    std::string self = __FILE__;
    return self.substr(0, self.size() - std::string("tests/DXErrorTest.cpp").size());
}

TEST(DXSourcePathTest, PathsBecomeRepositoryRelativeWindowsPathsWithoutExtension)
{
    const struct {
        std::string file;
        const char* expected;
    } cases[] = {
        {Root() + "Source/Framework/DXFramework.cpp", ".\\Source\\Framework\\DXFramework"},
        {Root() + "Source/Scenes/sync/Intro.cpp", ".\\Source\\Scenes\\sync\\Intro"},
        {Root() + "Platform/d3d9/Device.h", ".\\Platform\\d3d9\\Device"},
        {"Source/Modules/Dust/Dust.cpp", ".\\Source\\Modules\\Dust\\Dust"},
        {"../Tools/orvala-tool/main.cpp", ".\\Tools\\orvala-tool\\main"},
        {"/home/tests/orvala/sync/track.cpp", ".\\sync\\track"},
        {"C:\\dev\\orvala\\Source\\Framework\\DXFramework.cpp", ".\\Source\\Framework\\DXFramework"},
        {"/elsewhere/Scene.v2.cpp", ".\\Scene.v2"},
        {"Makefile", ".\\Makefile"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DXSourcePath(c.file.c_str()), c.expected) << c.file;
}

} // namespace
