#include "win32/ResourceArt.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

SDL_Surface* CreateARGBSurface(int width, int height)
{
    return SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
}

void PutPixel(SDL_Surface* surface, int x, int y, std::uint32_t argb)
{
    auto* row = static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch;
    reinterpret_cast<std::uint32_t*>(row)[x] = argb;
}

// Coverage of a point (in tile units 0..1) by the rounded tile and by the ring.
bool InsideTile(float x, float y)
{
    const float radius = 0.18f;
    const float cx = std::clamp(x, radius, 1.0f - radius);
    const float cy = std::clamp(y, radius, 1.0f - radius);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius && x >= 0 && y >= 0 && x <= 1 && y <= 1;
}

bool InsideRing(float x, float y)
{
    const float d = std::sqrt((x - 0.5f) * (x - 0.5f) + (y - 0.5f) * (y - 0.5f));
    return d >= 0.21f && d <= 0.34f;
}

std::uint8_t Mix(std::uint8_t a, std::uint8_t b, float t)
{
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
}

} // namespace

SDL_Surface* CreateAppIconSurface(int size)
{
    if (size <= 0)
        return nullptr;
    SDL_Surface* surface = CreateARGBSurface(size, size);
    if (!surface)
        return nullptr;
    const int samples = 4; // 4 x 4 samples per pixel smooth the edges
    for (int y = 0; y < size; ++y) {
        // The tile runs from deep blue at the top to violet at the bottom; the ring is amber
        // with a lighter top edge.
        const float t = static_cast<float>(y) / static_cast<float>(std::max(1, size - 1));
        const std::uint8_t tileR = Mix(0x12, 0x3a, t), tileG = Mix(0x1e, 0x16, t), tileB = Mix(0x4a, 0x5c, t);
        const std::uint8_t ringR = 0xff, ringG = Mix(0xc8, 0x8a, t), ringB = Mix(0x40, 0x10, t);
        for (int x = 0; x < size; ++x) {
            int tileHits = 0, ringHits = 0;
            for (int sy = 0; sy < samples; ++sy)
                for (int sx = 0; sx < samples; ++sx) {
                    const float u = (x + (sx + 0.5f) / samples) / size;
                    const float v = (y + (sy + 0.5f) / samples) / size;
                    if (InsideTile(u, v)) {
                        ++tileHits;
                        if (InsideRing(u, v))
                            ++ringHits;
                    }
                }
            const float tileCover = static_cast<float>(tileHits) / (samples * samples);
            const float ringShare = tileHits ? static_cast<float>(ringHits) / tileHits : 0.0f;
            const std::uint32_t a = static_cast<std::uint32_t>(std::lround(tileCover * 255.0f));
            const std::uint32_t r = Mix(tileR, ringR, ringShare);
            const std::uint32_t g = Mix(tileG, ringG, ringShare);
            const std::uint32_t b = Mix(tileB, ringB, ringShare);
            PutPixel(surface, x, y, (a << 24) | (r << 16) | (g << 8) | b);
        }
    }
    return surface;
}

SDL_Surface* CreateArrowCursorSurface()
{
    // X is the black outline, '.' the white inside, ' ' transparent.
    static const char* const arrow[] = {
        "X           ", "XX          ", "X.X         ", "X..X        ", "X...X       ",
        "X....X      ", "X.....X     ", "X......X    ", "X.......X   ", "X........X  ",
        "X.........X ", "X......XXXXX", "X...X..X    ", "X..XX..X    ", "X.X  X..X   ",
        "XX   X..X   ", "X     X..X  ", "      X..X  ", "       XX   ",
    };
    const int height = static_cast<int>(sizeof(arrow) / sizeof(arrow[0]));
    const int width = 12;
    SDL_Surface* surface = CreateARGBSurface(width, height);
    if (!surface)
        return nullptr;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const char c = arrow[y][x];
            PutPixel(surface, x, y, c == 'X' ? 0xff000000u : c == '.' ? 0xffffffffu : 0x00000000u);
        }
    return surface;
}
