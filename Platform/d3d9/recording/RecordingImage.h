#pragma once
#include <cstdint>
#include <vector>

#include "d3d9/D3DFormatInfo.h"
#include "d3d9/d3d9.h"

// The bytes of one surface or volume of the recording device, laid out as LockRect and LockBox
// give them: rows of texels (or of 4x4 blocks for DXT formats) `RowPitch` bytes apart, slices
// `SlicePitch` bytes apart. It keeps whether it is locked. Clear and ColorFill write colours here,
// and StretchRect copies between images; drawing does not rasterise. Whatever reads or locks the
// bytes sees every fill made before.
class RecordingImage {
public:
    // Throws std::bad_alloc when the bytes cannot be had. The format must be in the format table
    // (and not an index format), the sizes non-zero.
    RecordingImage(D3DFORMAT format, UINT width, UINT height, UINT depth = 1);

    D3DFORMAT Format() const { return info_->format; }
    const D3DFormatInfo& Info() const { return *info_; }
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    UINT Depth() const { return depth_; }
    UINT RowPitch() const { return rowPitch_; }
    UINT SlicePitch() const { return slicePitch_; }
    std::uint8_t* Bytes()
    {
        Settle();
        return bytes_.data();
    }
    const std::uint8_t* Bytes() const
    {
        Settle();
        return bytes_.data();
    }
    bool Locked() const { return locked_; }

    // Whether a rectangle lies inside the image and is not empty; for DXT formats its corners must
    // also lie on 4x4 block edges (or the image's edges).
    bool ValidRect(const RECT& rect) const;
    RECT FullRect() const;

    // Lock a rectangle (null: all) of the first slice, or a box (null: all). D3DERR_INVALIDCALL for
    // a bad rectangle or box or when already locked.
    HRESULT LockRect(const RECT* rect, D3DLOCKED_RECT* locked);
    HRESULT LockBox(const D3DBOX* box, D3DLOCKED_BOX* locked);
    // D3DERR_INVALIDCALL when not locked.
    HRESULT Unlock();

    // Whether colours can be written into and read from this format.
    static bool HoldsColour(D3DFORMAT format);
    // Fill a rectangle (already clipped to the image) of the first slice.
    void FillColour(const RECT& rect, D3DCOLOR colour);
    // Copy src's rectangle into this image's rectangle: bytes when the formats and sizes agree,
    // otherwise the nearest source texel of each destination texel, converted between colour
    // formats. Both images must hold colour unless the formats are the same and sizes agree.
    void CopyFrom(const RecordingImage& src, const RECT& srcRect, const RECT& dstRect);
    // The first slice as rows from the top of B, G, R, A bytes (A = 255 for X8R8G8B8).
    void ToBgra(std::vector<std::uint8_t>& bgra) const;

private:
    // A fill of the whole image is kept as its one texel and written into the bytes only when
    // they are read or partly changed: a target cleared frame after frame and never read back
    // costs nothing.
    void FillWhole(const std::uint8_t* texel);
    void Settle() const;
    bool Whole(const RECT& rect) const;

    const D3DFormatInfo* info_;
    UINT width_;
    UINT height_;
    UINT depth_;
    UINT rowPitch_;
    UINT slicePitch_;
    mutable std::vector<std::uint8_t> bytes_;
    mutable std::vector<std::uint8_t> pendingTexel_; // the texel of a whole fill not yet written; empty for none
    bool locked_ = false;
};
