#include <cstdio>
#include <cstring>
#include <vector>

#include "DXError.h"
#include "DXFramework.h"
#include "FileSys.h"
#include "Noise/NoiseVolume.h"
#include "d3dx9/d3dx9math.h"

void DXFramework::CreateNoiseVolume()
{
    IDirect3DDevice9* device = GetDevice();
    CHECK_RESULT(device->CreateVolumeTexture(kNoiseVolumeEdge, kNoiseVolumeEdge, kNoiseVolumeEdge, 1,
                                             D3DUSAGE_DYNAMIC, D3DFMT_L8, D3DPOOL_DEFAULT, &noiseTexture, nullptr));
    if (!noiseTexture)
        return; // the device was lost while creating it; the rebuild makes it again
    IDirect3DVolume9* volume = nullptr;
    CHECK_RESULT(noiseTexture->GetVolumeLevel(0, &volume));
    if (!volume)
        return;
    D3DLOCKED_BOX box{};
    const HRESULT locked = volume->LockBox(&box, nullptr, D3DLOCK_DISCARD);
    CheckResult(locked, __FILE__, __LINE__);
    if (locked != D3D_OK || !box.pBits) {
        volume->Release();
        return;
    }
    auto* texels = static_cast<std::uint8_t*>(box.pBits);
    const auto rowPitch = static_cast<std::size_t>(box.RowPitch);
    const auto slicePitch = static_cast<std::size_t>(box.SlicePitch);

    const char* entry = "Data\\noise.bin";
    std::vector<std::uint8_t> stored;
    if (FileSys::GetFileSize(entry) == kNoiseVolumeBytes) {
        stored.resize(kNoiseVolumeBytes);
        if (FileSys::ReadFile(entry, stored.data()) != kNoiseVolumeBytes)
            stored.clear();
    }
    if (!stored.empty()) {
        // Copied row by row, so a box with wider pitches than 128 bytes still gets every row.
        for (unsigned z = 0; z < kNoiseVolumeEdge; ++z)
            for (unsigned y = 0; y < kNoiseVolumeEdge; ++y)
                std::memcpy(texels + z * slicePitch + y * rowPitch,
                            stored.data() + (std::size_t{z} * kNoiseVolumeEdge + y) * kNoiseVolumeEdge,
                            kNoiseVolumeEdge);
    } else {
        GenerateNoiseVolume(texels, rowPitch, slicePitch);
        // Kept on disk for the next run; when the file cannot be written the volume is still used.
        std::vector<std::uint8_t> packed(kNoiseVolumeBytes);
        for (unsigned z = 0; z < kNoiseVolumeEdge; ++z)
            for (unsigned y = 0; y < kNoiseVolumeEdge; ++y)
                std::memcpy(packed.data() + (std::size_t{z} * kNoiseVolumeEdge + y) * kNoiseVolumeEdge,
                            texels + z * slicePitch + y * rowPitch, kNoiseVolumeEdge);
        if (std::FILE* file = std::fopen("Data/noise.bin", "wb")) {
            std::fwrite(packed.data(), 1, packed.size(), file);
            std::fclose(file);
        }
    }
    volume->UnlockBox();
    volume->Release();
}

void DXFramework::CreateNoiseVectors()
{
    IDirect3DDevice9* device = GetDevice();
    const unsigned w = GetContentWidth() / 4;
    const unsigned h = GetContentHeight() / 4;
    CHECK_RESULT(device->CreateTexture(w, h, 1, D3DUSAGE_DYNAMIC, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT,
                                       &noiseVecTexture, nullptr));
    if (!noiseVecTexture)
        return;
    D3DLOCKED_RECT rect{};
    const HRESULT locked = noiseVecTexture->LockRect(0, &rect, nullptr, D3DLOCK_DISCARD);
    CheckResult(locked, __FILE__, __LINE__);
    if (locked != D3D_OK || !rect.pBits)
        return;
    auto* texels = static_cast<D3DXFLOAT16*>(rect.pBits);
    const auto texelsPerRow = static_cast<std::size_t>(rect.Pitch) / 8;
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            D3DXVECTOR3 v;
            v.z = RandomRange(-1.0f, 1.0f);
            v.y = RandomRange(-1.0f, 1.0f);
            v.x = RandomRange(-1.0f, 1.0f);
            D3DXVec3Normalize(&v, &v);
            const float components[4] = {v.z, v.y, v.x, 0.0f};
            D3DXFloat32To16Array(texels + (y * texelsPerRow + x) * 4, components, 4);
        }
    }
    noiseVecTexture->UnlockRect(0);
}
