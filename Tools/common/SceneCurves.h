#pragma once
#include <string>
#include <vector>

// The animation curves the demo's objects ask the archive for ("Data\\anim\\" + name), each
// with the value its channel keeps when the curve file is missing:
//
// - every transform of a scene description ("trans" under "transforms", and one per "spot" or
//   "point" light, named after the light) asks for <name>.translateX ... .translateZ,
//   .rotateX ... .rotateZ and .scaleX ... .scaleZ (smooth curves) and <name>.visibility (a step
//   curve); without a curve a channel keeps the description's value (a light's scale is 1, a
//   point light's rotation 0) and the transform stays visible (1);
// - every camera (each element from the first "camera" under "cameras" on, and the cameras
//   scenes make by code) asks for <name>.translateX ... .rotateZ (smooth), which read 0 without
//   a curve.
//
// A constant curve holding that value changes nothing the demo shows, and keeps the demo from
// reporting the curve as missing.
struct SceneCurve {
    std::string name;  // the curve's full name, e.g. "bigCube.rotateY"
    bool step = false; // a step curve (visibility); otherwise a smooth one
    float value = 0.0f;
    std::string owner; // what asks for it, for messages: "transform \"bigCube\""
    bool camera = false; // asked for by a camera
};

// The curves of a scene description's cameras, transforms and lights, read the way the demo
// reads the description (the same elements, attributes and defaults). Throws
// std::runtime_error naming sourceName when the text is not XML the demo could load (an empty
// text included).
std::vector<SceneCurve> SceneDescriptionCurves(const std::string& text, const std::string& sourceName);

// The curves of a camera that a scene makes by code.
std::vector<SceneCurve> CameraCurves(const std::string& cameraName);
