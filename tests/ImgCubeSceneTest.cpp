#include <gtest/gtest.h>

#include <cmath>

#include "Floor/Floor.h"
#include "ImgCubeScene.h"
#include "LitSceneShow.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"

using namespace lit_scene_show;

namespace {

constexpr unsigned kWidth = 640;
constexpr unsigned kHeight = 400;

const std::function<void()> ComposeImgCube =
    OneSceneComposition([] { return new ImgCubeScene("ImgCubeScene"); });

} // namespace

TEST(ImgCubeSceneTest, CubeWordsAndFloorAreLitThroughTheCameraMove)
{
    Show show({{"Scene", {{0, 0.0f, 0}}}}, kWidth, kHeight, ComposeImgCube);
    show.Boot();
    // From the first frame of its section to the last moment before the climax takes over.
    for (float t : {75.0f, 82.5f, 89.9f}) {
        Picture picture;
        ASSERT_TRUE(show.Frame(t, picture));
        picture.WritePng(PicturePath("imgcube-" + std::to_string(static_cast<int>(t * 10))));
        EXPECT_EQ(picture.MeanLuma(0, 0, kWidth, 20), 0.0) << t;
        EXPECT_EQ(picture.MeanLuma(0, kHeight - 20, kWidth, kHeight), 0.0) << t;
        const double mean = picture.MeanLuma(0, 20, kWidth, kHeight - 20);
        EXPECT_GT(mean, 40.0) << t;
        EXPECT_LT(mean, 200.0) << t;
        EXPECT_EQ(NonFiniteTexels("Light"), 0) << t;
    }
}
