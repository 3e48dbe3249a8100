#include "common/texgen/TexGenerator.h"

#include <cmath>

#include "common/texgen/TexCookie.h"
#include "common/texgen/TexCubeMap.h"
#include "common/texgen/TexEnvironments.h"
#include "common/texgen/TexGenError.h"
#include "common/texgen/TexGlow.h"
#include "common/texgen/TexGradient.h"
#include "common/texgen/TexGrid.h"
#include "common/texgen/TexNoiseImage.h"
#include "common/texgen/TexNormalMap.h"
#include "common/texgen/TexPngWriter.h"
#include "common/texgen/TexTextCard.h"

namespace {

// Samples per side of a cube texel: the grid's thin lines need them, smooth skies do not.
constexpr unsigned kCubeGridSamples = 3;

std::vector<TexImage> CubeFaces(const TexGenRequest& r)
{
    const TexCubeParams& c = r.cube;
    switch (c.environment) {
    case TexCubeEnvironment::Sky: return MakeTexCubeFaces(r.width, TexSkyEnvironment(c.zenith, c.horizon, c.ground), 1);
    case TexCubeEnvironment::Direction: return MakeTexCubeFaces(r.width, TexDirectionEnvironment(), 1);
    case TexCubeEnvironment::Grid: {
        // A texel at a face centre spans 90 / size degrees.
        float lineDegrees = static_cast<float>(c.line) * 90.0f / static_cast<float>(r.width);
        return MakeTexCubeFaces(r.width, TexGridEnvironment(c.gridBackground, c.gridLine, c.stepDegrees, lineDegrees),
                                kCubeGridSamples);
    }
    }
    return {};
}

TexImage FlatImage(const TexGenRequest& r)
{
    switch (r.kind) {
    case TexKind::Noise: return MakeTexNoiseImage(r.width, r.height, r.noise);
    case TexKind::Gradient: return MakeTexGradient(r.width, r.height, r.gradient);
    case TexKind::Grid: return MakeTexGrid(r.width, r.height, r.grid);
    case TexKind::Glow: return MakeTexGlow(r.width, r.height, r.glow);
    case TexKind::Cookie: return MakeTexCookie(r.width, r.height, r.cookie);
    case TexKind::Text: return MakeTexTextCard(r.width, r.height, r.text);
    case TexKind::Normal:
        return MakeTexNormalMap(MakeTexHeightField(r.width, r.height, r.noise), r.width, r.height, r.normalStrength,
                                r.noise.tileable);
    case TexKind::Cube: break;
    }
    return {};
}

} // namespace

std::vector<TexMipChain> GenerateTexFaces(const TexGenRequest& request)
{
    std::vector<TexImage> faces =
        request.kind == TexKind::Cube ? CubeFaces(request) : std::vector<TexImage>{FlatImage(request)};
    std::vector<TexMipChain> chains;
    for (const TexImage& face : faces) {
        chains.push_back(MakeTexMipChain(face, request.mips ? 0 : 1));
    }
    return chains;
}

std::vector<std::uint8_t> GenerateTexFile(const TexGenRequest& request)
{
    std::vector<TexMipChain> faces = GenerateTexFaces(request);
    std::vector<std::uint8_t> file =
        request.fileType == TexFileType::Png ? EncodeTexPng(faces[0][0]) : EncodeTexDds(faces);
    if (file.empty()) {
        throw TexGenError("the texture could not be encoded");
    }
    return file;
}
