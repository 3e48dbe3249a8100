#pragma once
#include "common/texgen/TexColor.h"
#include "common/texgen/TexImage.h"

// Tiles: square cells with lines along their borders, or a checkerboard. Lines are centred on
// the cell borders and wrap around the picture edges, so the picture tiles seamlessly when its
// sides are whole multiples of the cell.
struct TexGridParams {
    unsigned cell = 32; // texels per cell side
    unsigned line = 2;  // line width in texels, 0 for none
    bool checker = false;
    TexColor background{32 / 255.0f, 32 / 255.0f, 32 / 255.0f, 1.0f}; // grid cells; the checker's top-left cell
    TexColor alternate{1.0f, 1.0f, 1.0f, 1.0f};                        // the checker's other cells
    TexColor lineColor{1.0f, 1.0f, 1.0f, 1.0f};
};

TexImage MakeTexGrid(unsigned width, unsigned height, const TexGridParams& params);
