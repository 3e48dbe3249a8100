#include <gtest/gtest.h>

#include <string>

#include "ToolRun.h"

namespace {

TEST(GfxCommandsTest, InfoReportsTheAdapterAndTheValuesTheStartUpChecksRead)
{
    const ToolResult result = RunTool({"gfx", "info"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* line : {"renderer: ", "version: ", "desktop mode: ", "modes (D3DFMT_X8R8G8B8): ",
                             "NumSimultaneousRTs: 4\n", "VertexShaderVersion: 3.0\n", "PixelShaderVersion: 3.0\n",
                             "MaxTextureWidth: ", "cube maps: yes\n", "volume maps: yes\n", "pow2 only: no\n",
                             "MRT post-pixel-shader blending: yes\n", "D3DFMT_A16B16G16R16F blending: yes\n",
                             "multisample D3DFMT_X8R8G8B8: ", "multisample D3DFMT_D16: "})
        EXPECT_NE(result.out.find(line), std::string::npos) << line << "\n" << result.out;
}

TEST(GfxCommandsTest, UnknownSubcommandIsAUsageError)
{
    const ToolResult result = RunTool({"gfx", "frobnicate"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("frobnicate"), std::string::npos) << result.err;
}

} // namespace
