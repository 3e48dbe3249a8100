#include "d3dx9/D3DXImage.h"

#include <cstring>

#include "d3dx9/DdsImageReader.h"
#include "d3dx9/StbImageReader.h"

HRESULT ReadD3DXImage(const void* data, UINT size, D3DXImage& image)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (size >= 4 && std::memcmp(bytes, "DDS ", 4) == 0) {
        return ReadDdsImage(bytes, size, image);
    }
    return ReadStbImage(bytes, size, image);
}
