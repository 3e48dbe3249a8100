// PNG, JPEG, BMP, TGA and binary PPM files through stb_image. stb flips bottom-up BMP rows and
// honours the TGA origin bit, so row 0 of the result is always the top of the picture. Files that
// stb would read past their end with zero fill (truncated BMP, TGA and JPEG data) or misread
// (BMP compression codes it does not know, JPEG Huffman tables of more than 256 codes) are
// refused here first.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include <stb_image.h>

#include "d3dx9/StbImageReader.h"

namespace {

DWORD ReadLe32(const std::uint8_t* at)
{
    return static_cast<DWORD>(at[0]) | (static_cast<DWORD>(at[1]) << 8) | (static_cast<DWORD>(at[2]) << 16) |
           (static_cast<DWORD>(at[3]) << 24);
}

WORD ReadLe16(const std::uint8_t* at)
{
    return static_cast<WORD>(at[0] | (at[1] << 8));
}

bool StartsWith(const std::uint8_t* data, UINT size, const char* magic, UINT length)
{
    return size >= length && std::memcmp(data, magic, length) == 0;
}

// An uncompressed BMP must hold all its rows; stb would fill the missing ones with zeros.
bool BmpDataComplete(const std::uint8_t* data, UINT size)
{
    if (size < 30) {
        return false;
    }
    DWORD offset = ReadLe32(data + 10);
    DWORD infoSize = ReadLe32(data + 14);
    std::int64_t width = 0;
    std::int64_t height = 0;
    unsigned bits = 0;
    DWORD compression = 0;
    if (infoSize == 12) {
        width = ReadLe16(data + 18);
        height = ReadLe16(data + 20);
        bits = ReadLe16(data + 24);
    } else {
        if (size < 34) {
            return false;
        }
        width = static_cast<std::int32_t>(ReadLe32(data + 18));
        height = static_cast<std::int32_t>(ReadLe32(data + 22));
        bits = ReadLe16(data + 28);
        compression = ReadLe32(data + 30);
    }
    if (width <= 0 || height == 0) {
        return false;
    }
    if (height < 0) {
        height = -height;
    }
    if (compression != 0 && compression != 3) {
        // Only plain and bit-field pixels are read. stb refuses run-length and embedded data, but
        // would take a code that is negative as a signed number for plain pixels.
        return false;
    }
    // Divided rather than multiplied: a hostile width times height overflows 64 bits.
    const std::int64_t stride = ((static_cast<std::int64_t>(width) * bits + 31) / 32) * 4;
    const std::int64_t available = static_cast<std::int64_t>(size) - static_cast<std::int64_t>(offset);
    if (available < 0) {
        return false;
    }
    return stride == 0 || height <= available / stride;
}

// An uncompressed TGA must hold all its pixels.
bool TgaDataComplete(const std::uint8_t* data, UINT size)
{
    if (size < 18) {
        return false;
    }
    unsigned idLength = data[0];
    unsigned colourMapType = data[1];
    unsigned imageType = data[2];
    unsigned mapLength = ReadLe16(data + 5);
    unsigned mapBits = data[7];
    std::int64_t width = ReadLe16(data + 12);
    std::int64_t height = ReadLe16(data + 14);
    unsigned bits = data[16];
    std::int64_t mapBytes = colourMapType == 1 ? static_cast<std::int64_t>(mapLength) * ((mapBits + 7) / 8) : 0;
    std::int64_t pixelBytes = (bits + 7) / 8;
    std::int64_t at = 18 + idLength + mapBytes;
    if (imageType < 9) {
        return at + width * height * pixelBytes <= static_cast<std::int64_t>(size);
    }
    // Run-length packets: a count byte, then one pixel repeated or that many literal pixels.
    for (std::int64_t done = 0; done < width * height;) {
        if (at >= static_cast<std::int64_t>(size)) {
            return false;
        }
        std::uint8_t packet = data[at++];
        std::int64_t count = (packet & 0x7F) + 1;
        at += (packet & 0x80) != 0 ? pixelBytes : count * pixelBytes;
        done += count;
    }
    return at <= static_cast<std::int64_t>(size);
}

// A PNG is a chain of chunks (length, type, data, CRC) ending with IEND; every chunk must lie
// within the data.
bool PngChunksComplete(const std::uint8_t* data, UINT size)
{
    std::uint64_t at = 8;
    while (at + 12 <= size) {
        std::uint64_t length = (static_cast<std::uint64_t>(data[at]) << 24) | (data[at + 1] << 16) |
                               (data[at + 2] << 8) | data[at + 3];
        bool end = std::memcmp(data + at + 4, "IEND", 4) == 0;
        at += 12 + length;
        if (end) {
            return at <= size;
        }
    }
    return false;
}

// A JPEG ends with its EOI marker; stb decodes a truncated stream as if the rest were zero.
// A binary PPM/PGM ("P6" / "P5", width, height, largest value, each number after white space or
// "#" comments, one white space character, then the samples) must hold all its samples, one byte
// each. Numbers of more than eight digits are refused here (stb reads them into an int and would
// overflow), and so are 16-bit samples (largest value above 255), which stb converts out of
// bounds.
bool PnmDataComplete(const std::uint8_t* data, UINT size)
{
    UINT at = 2;
    std::uint64_t numbers[3] = {};
    for (std::uint64_t& number : numbers) {
        for (;;) {
            if (at >= size)
                return false;
            if (data[at] == '#') {
                while (at < size && data[at] != '\n' && data[at] != '\r')
                    ++at;
            } else if (std::isspace(data[at])) {
                ++at;
            } else {
                break;
            }
        }
        int digits = 0;
        while (at < size && std::isdigit(data[at])) {
            if (++digits > 8)
                return false;
            number = number * 10 + static_cast<std::uint64_t>(data[at] - '0');
            ++at;
        }
        if (digits == 0)
            return false;
    }
    if (at >= size || !std::isspace(data[at]))
        return false;
    ++at;
    const std::uint64_t width = numbers[0], height = numbers[1], largest = numbers[2];
    if (width == 0 || height == 0 || largest == 0 || largest > 255)
        return false;
    const std::uint64_t channels = data[1] == '6' ? 3 : 1;
    // Both at most 99,999,999, so the product fits in 64 bits.
    return width * height * channels <= static_cast<std::uint64_t>(size - at);
}

// A Huffman table segment: each table's sixteen code counts may name 256 symbols at most (stb
// writes one entry a symbol into a table of 257 without checking), and its symbols must lie in
// the segment.
bool JpegHuffmanTablesSound(const std::uint8_t* segment, std::size_t length)
{
    std::size_t at = 0;
    while (at < length) {
        if (length - at < 17) {
            return false;
        }
        std::size_t symbols = 0;
        for (std::size_t i = 1; i <= 16; ++i) {
            symbols += segment[at + i];
        }
        if (symbols > 256 || length - at - 17 < symbols) {
            return false;
        }
        at += 17 + symbols;
    }
    return true;
}

// The marker structure of a JPEG file walked as a decoder walks it, from the start to the end
// marker: every segment lies within the file, every Huffman table is sound, and the entropy-coded
// data after each scan header ends in a marker.
bool JpegStructureSound(const std::uint8_t* data, UINT size)
{
    std::size_t at = 2; // after the start marker
    while (at < size) {
        if (data[at] != 0xFF) {
            return false;
        }
        while (at < size && data[at] == 0xFF) {
            ++at; // fill bytes before a marker
        }
        if (at >= size) {
            return false;
        }
        const std::uint8_t marker = data[at++];
        if (marker == 0xD9) {
            return true;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            continue; // markers without a segment
        }
        if (size - at < 2) {
            return false;
        }
        const std::size_t length = (static_cast<std::size_t>(data[at]) << 8) | data[at + 1];
        if (length < 2 || size - at < length) {
            return false;
        }
        if (marker == 0xC4 && !JpegHuffmanTablesSound(data + at + 2, length - 2)) {
            return false;
        }
        at += length;
        if (marker == 0xDA) {
            // Entropy-coded data up to the next marker: 0xFF is followed by a stuffed zero or a
            // restart marker inside it.
            while (at + 1 < size &&
                   !(data[at] == 0xFF && data[at + 1] != 0x00 && !(data[at + 1] >= 0xD0 && data[at + 1] <= 0xD7))) {
                ++at;
            }
            if (at + 1 >= size) {
                return false;
            }
        }
    }
    return false;
}

} // namespace

HRESULT ReadStbImage(const std::uint8_t* data, UINT size, D3DXImage& image)
{
    if (data == nullptr || size < 4 || size > static_cast<UINT>(INT32_MAX)) {
        return D3DXERR_INVALIDDATA;
    }
    D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_TGA;
    if (StartsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) {
        fileFormat = D3DXIFF_PNG;
        if (!PngChunksComplete(data, size)) {
            return D3DXERR_INVALIDDATA;
        }
    } else if (StartsWith(data, size, "\xFF\xD8\xFF", 3)) {
        fileFormat = D3DXIFF_JPG;
        if (!JpegStructureSound(data, size)) {
            return D3DXERR_INVALIDDATA;
        }
    } else if (StartsWith(data, size, "BM", 2)) {
        fileFormat = D3DXIFF_BMP;
        if (!BmpDataComplete(data, size)) {
            return D3DXERR_INVALIDDATA;
        }
    } else if (StartsWith(data, size, "P6", 2) || StartsWith(data, size, "P5", 2)) {
        fileFormat = D3DXIFF_PPM;
        if (!PnmDataComplete(data, size)) {
            return D3DXERR_INVALIDDATA;
        }
    } else if (StartsWith(data, size, "GIF8", 4) || StartsWith(data, size, "8BPS", 4) ||
               StartsWith(data, size, "#?", 2) || StartsWith(data, size, "\x53\x80\xF6\x34", 4)) {
        return D3DXERR_INVALIDDATA; // formats stb reads but D3DX does not
    } else if (!TgaDataComplete(data, size)) {
        return D3DXERR_INVALIDDATA;
    }

    // The size is checked before decoding (stb's header reader reports a top-down BMP's height
    // negative), and again as decoded.
    int width = 0;
    int height = 0;
    int channels = 0;
    auto fits = [](int extent) {
        return extent != 0 && std::abs(static_cast<long long>(extent)) <= kMaxD3DXImageExtent;
    };
    if (stbi_info_from_memory(data, static_cast<int>(size), &width, &height, &channels) == 0 || !fits(width) ||
        !fits(height)) {
        return D3DXERR_INVALIDDATA;
    }
    int got = 0;
    stbi_uc* pixels = stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &got, 4);
    if (pixels == nullptr) {
        return D3DXERR_INVALIDDATA;
    }
    if (width <= 0 || height <= 0 || !fits(width) || !fits(height)) {
        stbi_image_free(pixels);
        return D3DXERR_INVALIDDATA;
    }
    bool grey = got == 1;
    bool alpha = got == 2 || got == 4;

    image = D3DXImage{};
    image.info.Width = static_cast<UINT>(width);
    image.info.Height = static_cast<UINT>(height);
    image.info.Depth = 1;
    image.info.MipLevels = 1;
    image.info.Format = grey ? D3DFMT_L8 : (alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8);
    image.info.ResourceType = D3DRTYPE_TEXTURE;
    image.info.ImageFileFormat = fileFormat;
    D3DXImageSurface surface;
    surface.width = image.info.Width;
    surface.height = image.info.Height;
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (grey) {
        surface.bytes.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            surface.bytes[i] = pixels[i * 4];
        }
    } else {
        // stb gives R, G, B, A; A8R8G8B8 memory is B, G, R, A.
        surface.bytes.resize(count * 4);
        for (std::size_t i = 0; i < count; ++i) {
            surface.bytes[i * 4 + 0] = pixels[i * 4 + 2];
            surface.bytes[i * 4 + 1] = pixels[i * 4 + 1];
            surface.bytes[i * 4 + 2] = pixels[i * 4 + 0];
            surface.bytes[i * 4 + 3] = alpha ? pixels[i * 4 + 3] : 0xFF;
        }
    }
    stbi_image_free(pixels);
    image.surfaces.push_back(std::move(surface));
    return D3D_OK;
}
