#pragma once
#include <string>

#include "common/meshgen/MeshBuilder.h"

namespace meshgen {

constexpr const char* kDefaultTextFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Solid 3-D text: the glyph outlines of a TrueType font, kerned, curves flattened into
// `curveSteps` straight pieces each, filled (counters stay open) and extruded `depth` deep.
// It reads from +Z looking towards -Z with +Y up: the front cap faces +Z, the back cap -Z. The
// side walls are smooth where the outline turns by less than `smoothAngle` degrees and
// hard-edged elsewhere. A bevel above 0 cuts the front and back edges back by that much at
// 45 degrees. Size: the font's capital height (the height of "H") is 1; the word's bounding
// box is centred on the origin in x and y and the depth on z = 0. The texture maps the front
// and back caps flat (u = 0...1 across the word's width, v down its height) and runs along the
// outline on the walls.
struct TextMeshOptions {
    std::string font = kDefaultTextFont;
    double depth = 0.25;
    double bevel = 0.0;
    int curveSteps = 8;
    double smoothAngle = 40.0;
};
MeshBuilder BuildTextMesh(const std::string& utf8Text, const TextMeshOptions& options);

} // namespace meshgen
