#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "common/meshgen/TextOutline.h"

namespace meshgen {

// Fills a set of contours with triangles through the GLU tessellator, with the non-zero
// winding rule (FreeType's fill rule), so that counters stay open. The triangles index the
// contours' corners in order (contour 0's corners first) and run counter-clockwise seen with
// +Y up. Contours that cross or touch each other would need new corners; that is refused with
// std::invalid_argument naming `what`, since the walls could not follow such a fill.
std::vector<std::array<std::uint32_t, 3>> TessellateContours(const std::vector<Contour>& contours,
                                                              const std::string& what);

} // namespace meshgen
