#include "image/PngFile.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdint>

bool WritePngBGRA(const std::string& path, const std::uint8_t* bgra, unsigned width, unsigned height,
                  unsigned pitchBytes, bool opaque)
{
    if (!bgra || width == 0 || height == 0 || pitchBytes < width * 4)
        return false;
    std::vector<std::uint8_t> rgba(std::size_t(width) * height * 4);
    for (unsigned y = 0; y < height; ++y) {
        const std::uint8_t* in = bgra + std::size_t(y) * pitchBytes;
        std::uint8_t* out = &rgba[std::size_t(y) * width * 4];
        for (unsigned x = 0; x < width; ++x) {
            out[4 * x + 0] = in[4 * x + 2];
            out[4 * x + 1] = in[4 * x + 1];
            out[4 * x + 2] = in[4 * x + 0];
            out[4 * x + 3] = opaque ? 255 : in[4 * x + 3];
        }
    }
    return stbi_write_png(path.c_str(), static_cast<int>(width), static_cast<int>(height), 4, rgba.data(),
                          static_cast<int>(width * 4)) != 0;
}

bool ReadPngBGRA(const std::string& path, std::vector<std::uint8_t>& bgra, unsigned& width, unsigned& height)
{
    int w = 0, h = 0, channels = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &channels, 4);
    if (!pixels)
        return false;
    width = static_cast<unsigned>(w);
    height = static_cast<unsigned>(h);
    bgra.assign(pixels, pixels + std::size_t(width) * height * 4);
    stbi_image_free(pixels);
    for (std::size_t i = 0; i < bgra.size(); i += 4)
        std::swap(bgra[i], bgra[i + 2]);
    return true;
}
