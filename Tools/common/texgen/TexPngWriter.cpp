#include "common/texgen/TexPngWriter.h"

#include <stb_image_write.h>

namespace {

void Append(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

} // namespace

std::vector<std::uint8_t> EncodeTexPng(const TexImage& image)
{
    const int channels = image.IsOpaque() ? 3 : 4;
    std::vector<std::uint8_t> pixels;
    pixels.reserve(static_cast<std::size_t>(image.Width()) * image.Height() * channels);
    const std::vector<float>& rgba = image.Rgba();
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        for (int c = 0; c < channels; ++c) {
            pixels.push_back(TexChannelByte(rgba[i + c]));
        }
    }
    std::vector<std::uint8_t> file;
    const int width = static_cast<int>(image.Width());
    if (stbi_write_png_to_func(Append, &file, width, static_cast<int>(image.Height()), channels, pixels.data(),
                               width * channels) == 0) {
        file.clear();
    }
    return file;
}
