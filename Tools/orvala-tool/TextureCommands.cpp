#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "CommandRegistry.h"
#include "common/WholeFile.h"
#include "common/texgen/TexGenError.h"
#include "common/texgen/TexGenRequest.h"
#include "common/texgen/TexGenerator.h"
#include "d3d9/D3DFormatInfo.h"
#include "d3dx9/D3DXImage.h"
#include "d3dx9/D3DXTexels.h"
#include "image/PngFile.h"

// `texture gen` makes textures; `texture info` and `texture decode` show what the demo's texture
// loaders read from any file (PNG, JPEG, BMP, TGA, DDS 2D, cube and volume), so a texture from any
// exporter can be checked before a scene loads it.

namespace {

// Cube faces, volume slices and levels count from 0.
ToolOption IndexOption(const char* name)
{
    return ToolOption::Whole(name, 0, 999999999).Needs("a number");
}

const ToolCommandShape kInfoShape{"texture info", "<file>", {}, 1, ""};
const ToolCommandShape kDecodeShape{
    "texture decode", "<file> <out.png>", {IndexOption("--face"), IndexOption("--slice"), IndexOption("--level")},
    2, "  decode: one level of one cube face or volume slice as the loaders read it, DXT decompressed\n"};

// Writes the whole file beside its final name first, so that a failed write leaves nothing
// behind and an earlier file of that name stays as it was.
bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::string partial = path + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error) {
        std::filesystem::remove(partial, error);
        return false;
    }
    return true;
}

// The file as the texture loaders read it, before any resampling for a device.
D3DXImage LoadImage(const std::string& path)
{
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    D3DXImage image;
    if (bytes.empty() || ReadD3DXImage(bytes.data(), static_cast<UINT>(bytes.size()), image) != D3D_OK) {
        throw std::runtime_error("orvala-tool: cannot load \"" + path +
                                 "\": not a PNG, JPEG, BMP, TGA or DDS file our texture loaders read");
    }
    return image;
}

const char* KindName(const D3DXIMAGE_INFO& info)
{
    switch (info.ResourceType) {
    case D3DRTYPE_CUBETEXTURE: return "cube";
    case D3DRTYPE_VOLUMETEXTURE: return "volume";
    default: return "2D";
    }
}

const char* FileFormatName(D3DXIMAGE_FILEFORMAT format)
{
    switch (format) {
    case D3DXIFF_BMP: return "BMP";
    case D3DXIFF_JPG: return "JPEG";
    case D3DXIFF_TGA: return "TGA";
    case D3DXIFF_PNG: return "PNG";
    case D3DXIFF_DDS: return "DDS";
    case D3DXIFF_PPM: return "PPM";
    default: return "?";
    }
}

std::string SizeText(const D3DXImage& image, UINT width, UINT height, UINT depth)
{
    std::string text = std::to_string(width) + "x" + std::to_string(height);
    if (image.info.ResourceType == D3DRTYPE_VOLUMETEXTURE) {
        text += "x" + std::to_string(depth);
    }
    return text;
}

int RunInfo(const std::vector<std::string>& args)
{
    if (args.size() != 1) {
        throw ToolUsageError{"texture info takes one texture file"};
    }
    const D3DXImage image = LoadImage(args[0]);
    const D3DXIMAGE_INFO& info = image.info;
    const D3DFormatInfo* format = FindD3DFormatInfo(info.Format);
    std::printf("file: %s\n", args[0].c_str());
    std::printf("file format: %s\n", FileFormatName(info.ImageFileFormat));
    std::printf("kind: %s\n", KindName(info));
    std::printf("size: %s\n", SizeText(image, info.Width, info.Height, info.Depth).c_str());
    std::printf("faces: %u\n", image.faces);
    std::printf("format: %s\n", format != nullptr ? format->name : "?");
    std::printf("levels: %u\n", info.MipLevels);
    for (UINT level = 0; level < info.MipLevels; ++level) {
        const D3DXImageSurface& surface = image.Surface(0, level);
        std::printf("  level %u: %s\n", level, SizeText(image, surface.width, surface.height, surface.depth).c_str());
    }
    return 0;
}

std::uint8_t ToByte(float value)
{
    if (!(value > 0.0f)) {
        return 0; // also NaN
    }
    return static_cast<std::uint8_t>(std::lround(std::min(value, 1.0f) * 255.0f));
}

struct DecodeRequest {
    std::string input;
    std::string output;
    UINT face = 0;
    UINT slice = 0;
    UINT level = 0;
};

DecodeRequest ParseDecode(const std::vector<std::string>& args)
{
    DecodeRequest request;
    const ToolArguments parsed(args, kDecodeShape.options);
    const std::vector<std::string>& files = parsed.Operands();
    request.face = static_cast<UINT>(parsed.Whole("--face", 0));
    request.slice = static_cast<UINT>(parsed.Whole("--slice", 0));
    request.level = static_cast<UINT>(parsed.Whole("--level", 0));
    if (files.size() != 2) {
        throw ToolUsageError{"texture decode takes a texture file and an output .png"};
    }
    request.input = files[0];
    request.output = files[1];
    return request;
}

int RunDecode(const std::vector<std::string>& args)
{
    const DecodeRequest request = ParseDecode(args);
    const D3DXImage image = LoadImage(request.input);
    const std::string name = "orvala-tool: \"" + request.input + "\" ";
    if (request.face >= image.faces) {
        throw std::runtime_error(name + "has no face " + std::to_string(request.face) + " (" +
                                 (image.faces == 6 ? "a cube map has faces 0 to 5" : "it is not a cube map") + ")");
    }
    if (request.level >= image.info.MipLevels) {
        throw std::runtime_error(name + "has no level " + std::to_string(request.level) + " (levels 0 to " +
                                 std::to_string(image.info.MipLevels - 1) + ")");
    }
    const D3DXImageSurface& surface = image.Surface(request.face, request.level);
    if (request.slice >= surface.depth) {
        throw std::runtime_error(name + "has no slice " + std::to_string(request.slice) + " in level " +
                                 std::to_string(request.level) + " (" +
                                 (image.info.ResourceType == D3DRTYPE_VOLUMETEXTURE
                                      ? "slices 0 to " + std::to_string(surface.depth - 1)
                                      : std::string("it is not a volume map")) +
                                 ")");
    }
    const auto sliceBytes =
        static_cast<std::size_t>(D3DFormatLevelSize(image.info.Format, surface.width, surface.height));
    const std::vector<float> rgba = D3DXTexelsToRgba(
        image.info.Format, surface.bytes.data() + request.slice * sliceBytes, surface.width, surface.height);
    std::vector<std::uint8_t> bgra(rgba.size());
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        bgra[i + 0] = ToByte(rgba[i + 2]);
        bgra[i + 1] = ToByte(rgba[i + 1]);
        bgra[i + 2] = ToByte(rgba[i + 0]);
        bgra[i + 3] = ToByte(rgba[i + 3]);
    }
    // Written beside its final name first, so a failed write leaves no picture behind.
    const std::string partial = request.output + ".part";
    if (!WritePngBGRA(partial, bgra.data(), surface.width, surface.height, surface.width * 4, false)) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        throw std::runtime_error("orvala-tool: cannot write \"" + request.output + "\"");
    }
    std::error_code error;
    std::filesystem::rename(partial, request.output, error);
    if (error) {
        std::filesystem::remove(partial, error);
        throw std::runtime_error("orvala-tool: cannot write \"" + request.output + "\"");
    }
    return 0;
}

int RunTexture(const std::vector<std::string>& args)
{
    if (!args.empty() && args[0] == "info") {
        return RunInfo(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    if (!args.empty() && args[0] == "decode") {
        return RunDecode(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    if (args.empty() || args[0] != "gen") {
        throw ToolUsageError{args.empty() ? "texture needs a subcommand"
                                          : "unknown texture subcommand \"" + args[0] + "\""};
    }
    TexGenRequest request;
    std::vector<std::uint8_t> file;
    try {
        request = ParseTexGenRequest(std::vector<std::string>(args.begin() + 1, args.end()));
        file = GenerateTexFile(request);
    } catch (const TexGenError& e) {
        throw ToolUsageError{e.what()};
    }
    if (!WriteWholeFile(request.output, file)) {
        std::fprintf(stderr, "orvala-tool: cannot write \"%s\"\n", request.output.c_str());
        return 1;
    }
    return 0;
}

// The usage of `texture gen` is made next to its option table.
const ToolCommandRegistration registration("texture",
                                           {TexGenUsage() + ToolUsage({kInfoShape, kDecodeShape}),
                                            RunTexture});

} // namespace
