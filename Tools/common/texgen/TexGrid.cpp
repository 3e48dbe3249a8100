#include "common/texgen/TexGrid.h"

namespace {

// True when texel `index` lies on a line: within line / 2 texels of a multiple of the cell.
bool OnLine(unsigned index, unsigned cell, unsigned line)
{
    return line > 0 && (index + line / 2) % cell < line;
}

} // namespace

TexImage MakeTexGrid(unsigned width, unsigned height, const TexGridParams& params)
{
    TexImage image(width, height);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            TexColor c = params.background;
            if (params.checker && (x / params.cell + y / params.cell) % 2 == 1) {
                c = params.alternate;
            }
            if (OnLine(x, params.cell, params.line) || OnLine(y, params.cell, params.line)) {
                c = params.lineColor;
            }
            image.Set(x, y, c.r, c.g, c.b, c.a);
        }
    }
    return image;
}
