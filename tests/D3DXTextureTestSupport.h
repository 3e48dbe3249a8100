#pragma once
// Shared by the texture loader tests: a recording device to load into, level read-back, and image
// files made in memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "d3d9/D3DFormatInfo.h"
#include "D3D9DeviceTestFixture.h"
#include "d3d9/DeviceFactory.h"
#include "d3dx9/d3dx9tex.h"

class D3DXTextureFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(MakeRecordingDevice(&device, 16, 16), D3D_OK);
    }

    void TearDown() override
    {
        if (device != nullptr) {
            EXPECT_EQ(device->Release(), 0u);
        }
    }

    // A level's bytes, rows packed without padding.
    static std::vector<std::uint8_t> ReadLevel(IDirect3DTexture9* texture, UINT level)
    {
        D3DSURFACE_DESC desc{};
        EXPECT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<std::uint8_t> bytes = Pack(desc, locked);
        EXPECT_EQ(texture->UnlockRect(level), D3D_OK);
        return bytes;
    }

    static std::vector<std::uint8_t> ReadFace(IDirect3DCubeTexture9* cube, D3DCUBEMAP_FACES face, UINT level)
    {
        D3DSURFACE_DESC desc{};
        EXPECT_EQ(cube->GetLevelDesc(level, &desc), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(cube->LockRect(face, level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<std::uint8_t> bytes = Pack(desc, locked);
        EXPECT_EQ(cube->UnlockRect(face, level), D3D_OK);
        return bytes;
    }

    // A level of a volume texture, slices and rows packed without padding.
    static std::vector<std::uint8_t> ReadVolumeLevel(IDirect3DVolumeTexture9* volume, UINT level)
    {
        D3DVOLUME_DESC desc{};
        EXPECT_EQ(volume->GetLevelDesc(level, &desc), D3D_OK);
        D3DLOCKED_BOX locked{};
        EXPECT_EQ(volume->LockBox(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<std::uint8_t> bytes;
        if (locked.pBits != nullptr) {
            UINT rows = D3DFormatRowCount(desc.Format, desc.Height);
            auto rowBytes = static_cast<std::size_t>(D3DFormatLevelSize(desc.Format, desc.Width, desc.Height) / rows);
            for (UINT z = 0; z < desc.Depth; ++z) {
                for (UINT row = 0; row < rows; ++row) {
                    const auto* from = static_cast<const std::uint8_t*>(locked.pBits) +
                                       static_cast<std::ptrdiff_t>(z) * locked.SlicePitch +
                                       static_cast<std::ptrdiff_t>(row) * locked.RowPitch;
                    bytes.insert(bytes.end(), from, from + rowBytes);
                }
            }
        }
        EXPECT_EQ(volume->UnlockBox(level), D3D_OK);
        return bytes;
    }

    IDirect3DDevice9* device = nullptr;

private:
    static std::vector<std::uint8_t> Pack(const D3DSURFACE_DESC& desc, const D3DLOCKED_RECT& locked)
    {
        std::vector<std::uint8_t> bytes;
        if (locked.pBits == nullptr) {
            return bytes;
        }
        UINT rows = D3DFormatRowCount(desc.Format, desc.Height);
        std::uint64_t levelBytes = D3DFormatLevelSize(desc.Format, desc.Width, desc.Height);
        auto rowBytes = static_cast<std::size_t>(levelBytes / rows);
        for (UINT row = 0; row < rows; ++row) {
            const auto* from =
                static_cast<const std::uint8_t*>(locked.pBits) + static_cast<std::ptrdiff_t>(row) * locked.Pitch;
            bytes.insert(bytes.end(), from, from + rowBytes);
        }
        return bytes;
    }
};

// A DDS file: the header fields that matter, then the payload.
struct DdsHeaderFields {
    UINT width = 4;
    UINT height = 4;
    UINT mipCount = 1;
    UINT depth = 0; // written with its flag when non-zero (volume maps)
    DWORD headerSize = 124;
    DWORD pixelFormatSize = 32;
    DWORD pixelFlags = 0x41; // RGB with alpha
    DWORD fourCC = 0;
    DWORD bits = 32;
    DWORD masks[4] = {0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u};
    DWORD caps2 = 0;
};

inline DdsHeaderFields DdsFourCC(DWORD fourCC)
{
    DdsHeaderFields fields;
    fields.pixelFlags = 0x4;
    fields.fourCC = fourCC;
    fields.bits = 0;
    std::memset(fields.masks, 0, sizeof(fields.masks));
    return fields;
}

inline std::vector<std::uint8_t> MakeDds(const DdsHeaderFields& f, const std::vector<std::uint8_t>& payload)
{
    std::vector<std::uint8_t> file(128, 0);
    auto put = [&file](std::size_t at, DWORD value) {
        for (int i = 0; i < 4; ++i) {
            file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    std::memcpy(file.data(), "DDS ", 4);
    put(4, f.headerSize);
    put(8, 0x1007 | (f.mipCount > 1 ? 0x20000 : 0) | (f.depth > 0 ? 0x800000 : 0)); // caps, sizes, format, mips
    put(12, f.height);
    put(16, f.width);
    put(24, f.depth);
    put(28, f.mipCount);
    put(76, f.pixelFormatSize);
    put(80, f.pixelFlags);
    put(84, f.fourCC);
    put(88, f.bits);
    for (int i = 0; i < 4; ++i) {
        put(92 + 4 * i, f.masks[i]);
    }
    put(108, 0x1000 | (f.mipCount > 1 ? 0x400008 : 0));
    put(112, f.caps2);
    file.insert(file.end(), payload.begin(), payload.end());
    return file;
}

// A8R8G8B8 texels as memory bytes B, G, R, A.
inline void PutArgb(std::vector<std::uint8_t>& bytes, D3DCOLOR colour, std::size_t count = 1)
{
    for (std::size_t i = 0; i < count; ++i) {
        for (int ch = 0; ch < 4; ++ch) {
            bytes.push_back(static_cast<std::uint8_t>(colour >> (8 * ch)));
        }
    }
}

inline D3DCOLOR TexelAt(const std::vector<std::uint8_t>& bytes, UINT width, UINT x, UINT y)
{
    std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
    return static_cast<D3DCOLOR>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                                 (static_cast<DWORD>(bytes[at + 3]) << 24));
}
