#pragma once
#include "common/texgen/TexColor.h"
#include "common/texgen/TexCubeMap.h"

// A sky: the horizon colour at the horizon, turning to the zenith colour straight up (with the
// square root of the elevation, so the blue deepens quickly above the horizon) and quickly to
// the ground colour below it (fully at an eighth of the way down).
TexEnvironment TexSkyEnvironment(const TexColor& zenith, const TexColor& horizon, const TexColor& ground);

// Every direction as a colour: red, green and blue are x, y and z mapped from -1..1 to 0..1.
TexEnvironment TexDirectionEnvironment();

// Lines of latitude and longitude every `stepDegrees`, `lineDegrees` wide, on a background.
TexEnvironment TexGridEnvironment(const TexColor& background, const TexColor& line, float stepDegrees,
                                  float lineDegrees);
