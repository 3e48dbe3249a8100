#include "d3d9/recording/RecordingImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

struct Rgba {
    float r, g, b, a;
};

std::uint16_t FloatToHalf(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    std::uint32_t sign = (bits >> 16) & 0x8000u;
    std::uint32_t exponent = (bits >> 23) & 0xFFu;
    std::uint32_t mantissa = bits & 0x7FFFFFu;
    if (exponent == 0xFF) { // infinity or NaN
        return static_cast<std::uint16_t>(sign | 0x7C00u | (mantissa != 0 ? 0x200u : 0u));
    }
    int e = static_cast<int>(exponent) - 127 + 15;
    if (e >= 31) {
        return static_cast<std::uint16_t>(sign | 0x7C00u);
    }
    if (e <= 0) {
        if (e < -10) {
            return static_cast<std::uint16_t>(sign);
        }
        mantissa |= 0x800000u;
        std::uint32_t shift = static_cast<std::uint32_t>(14 - e);
        std::uint32_t half = mantissa >> shift;
        std::uint32_t rest = mantissa & ((1u << shift) - 1);
        std::uint32_t midpoint = 1u << (shift - 1);
        if (rest > midpoint || (rest == midpoint && (half & 1u) != 0)) {
            ++half;
        }
        return static_cast<std::uint16_t>(sign | half);
    }
    std::uint32_t half = sign | (static_cast<std::uint32_t>(e) << 10) | (mantissa >> 13);
    std::uint32_t rest = mantissa & 0x1FFFu;
    if (rest > 0x1000u || (rest == 0x1000u && (half & 1u) != 0)) {
        ++half; // may carry into the exponent, which rounds up correctly
    }
    return static_cast<std::uint16_t>(half);
}

float HalfToFloat(std::uint16_t half)
{
    std::uint32_t sign = static_cast<std::uint32_t>(half & 0x8000u) << 16;
    std::uint32_t exponent = (half >> 10) & 0x1Fu;
    std::uint32_t mantissa = half & 0x3FFu;
    std::uint32_t bits;
    if (exponent == 0) {
        if (mantissa == 0) {
            bits = sign;
        } else {
            float value = std::ldexp(static_cast<float>(mantissa), -24);
            return sign != 0 ? -value : value;
        }
    } else if (exponent == 31) {
        bits = sign | 0x7F800000u | (mantissa << 13);
    } else {
        bits = sign | ((exponent + 112) << 23) | (mantissa << 13);
    }
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint8_t ToUnorm8(float value)
{
    if (!(value > 0.0f)) {
        return 0;
    }
    if (value >= 1.0f) {
        return 255;
    }
    return static_cast<std::uint8_t>(value * 255.0f + 0.5f);
}

void StoreHalf(std::uint8_t* out, float value)
{
    std::uint16_t half = FloatToHalf(value);
    std::memcpy(out, &half, sizeof half);
}

float LoadHalf(const std::uint8_t* in)
{
    std::uint16_t half;
    std::memcpy(&half, in, sizeof half);
    return HalfToFloat(half);
}

void Encode(D3DFORMAT format, const Rgba& c, std::uint8_t* out)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        out[0] = ToUnorm8(c.b);
        out[1] = ToUnorm8(c.g);
        out[2] = ToUnorm8(c.r);
        out[3] = format == D3DFMT_X8R8G8B8 ? 255 : ToUnorm8(c.a);
        break;
    case D3DFMT_L8:
        out[0] = ToUnorm8(0.299f * c.r + 0.587f * c.g + 0.114f * c.b);
        break;
    case D3DFMT_R16F:
        StoreHalf(out, c.r);
        break;
    case D3DFMT_G16R16F:
        StoreHalf(out, c.r);
        StoreHalf(out + 2, c.g);
        break;
    case D3DFMT_A16B16G16R16F:
        StoreHalf(out, c.r);
        StoreHalf(out + 2, c.g);
        StoreHalf(out + 4, c.b);
        StoreHalf(out + 6, c.a);
        break;
    default:
        break;
    }
}

Rgba Decode(D3DFORMAT format, const std::uint8_t* in)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return {in[2] / 255.0f, in[1] / 255.0f, in[0] / 255.0f, in[3] / 255.0f};
    case D3DFMT_X8R8G8B8:
        return {in[2] / 255.0f, in[1] / 255.0f, in[0] / 255.0f, 1.0f};
    case D3DFMT_L8:
        return {in[0] / 255.0f, in[0] / 255.0f, in[0] / 255.0f, 1.0f};
    case D3DFMT_R16F:
        return {LoadHalf(in), 1.0f, 1.0f, 1.0f};
    case D3DFMT_G16R16F:
        return {LoadHalf(in), LoadHalf(in + 2), 1.0f, 1.0f};
    case D3DFMT_A16B16G16R16F:
        return {LoadHalf(in), LoadHalf(in + 2), LoadHalf(in + 4), LoadHalf(in + 6)};
    default:
        return {0.0f, 0.0f, 0.0f, 1.0f};
    }
}

// One texel's bytes compared and copied with the size known to the compiler for the usual sizes,
// so that a texel-by-texel loop makes no library calls.
bool SameTexel(const std::uint8_t* a, const std::uint8_t* b, UINT size)
{
    switch (size) {
    case 4:
        return std::memcmp(a, b, 4) == 0;
    case 8:
        return std::memcmp(a, b, 8) == 0;
    case 16:
        return std::memcmp(a, b, 16) == 0;
    default:
        return std::memcmp(a, b, size) == 0;
    }
}

void CopyTexel(std::uint8_t* to, const std::uint8_t* from, UINT size)
{
    switch (size) {
    case 4:
        std::memcpy(to, from, 4);
        break;
    case 8:
        std::memcpy(to, from, 8);
        break;
    case 16:
        std::memcpy(to, from, 16);
        break;
    default:
        std::memcpy(to, from, size);
    }
}

// Fill `rows` rows of `width` texels of `size` bytes with one texel's bytes.
void FillRows(std::uint8_t* first, UINT pitch, UINT width, UINT rows, const std::uint8_t* texel, UINT size)
{
    if (width == 0 || rows == 0) {
        return;
    }
    std::size_t rowBytes = std::size_t{width} * size;
    bool uniform = std::all_of(texel, texel + size, [texel](std::uint8_t b) { return b == texel[0]; });
    if (uniform) {
        for (UINT y = 0; y < rows; ++y) {
            std::memset(first + std::size_t{y} * pitch, texel[0], rowBytes);
        }
        return;
    }
    std::memcpy(first, texel, size);
    std::size_t done = size;
    while (done < rowBytes) {
        std::size_t step = std::min(done, rowBytes - done);
        std::memcpy(first + done, first, step);
        done += step;
    }
    for (UINT y = 1; y < rows; ++y) {
        std::memcpy(first + std::size_t{y} * pitch, first, rowBytes);
    }
}

} // namespace

RecordingImage::RecordingImage(D3DFORMAT format, UINT width, UINT height, UINT depth)
    : info_(FindD3DFormatInfo(format)), width_(width), height_(height), depth_(depth)
{
    std::uint64_t size = D3DFormatLevelSize(format, width, height, depth);
    rowPitch_ = D3DFormatPitch(format, width);
    if (info_ == nullptr || size == 0 || rowPitch_ == 0 || size > bytes_.max_size() ||
        std::uint64_t{rowPitch_} * D3DFormatRowCount(format, height) > 0x7FFFFFFFu) {
        throw std::bad_alloc();
    }
    slicePitch_ = rowPitch_ * D3DFormatRowCount(format, height);
    bytes_.resize(static_cast<std::size_t>(size));
}

bool RecordingImage::Whole(const RECT& rect) const
{
    return depth_ == 1 && info_->blockWidth == 1 && info_->blockHeight == 1 && rect.left == 0 && rect.top == 0 &&
           static_cast<UINT>(rect.right) == width_ && static_cast<UINT>(rect.bottom) == height_;
}

void RecordingImage::FillWhole(const std::uint8_t* texel)
{
    pendingTexel_.assign(texel, texel + info_->bytes);
}

void RecordingImage::Settle() const
{
    if (pendingTexel_.empty()) {
        return;
    }
    FillRows(bytes_.data(), rowPitch_, width_, height_, pendingTexel_.data(), info_->bytes);
    pendingTexel_.clear();
}

RECT RecordingImage::FullRect() const
{
    return RECT{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
}

bool RecordingImage::ValidRect(const RECT& rect) const
{
    if (rect.left < 0 || rect.top < 0 || rect.left >= rect.right || rect.top >= rect.bottom ||
        static_cast<std::int64_t>(rect.right) > width_ || static_cast<std::int64_t>(rect.bottom) > height_) {
        return false;
    }
    return D3DFormatRectOnBlocks(*info_, static_cast<UINT>(rect.left), static_cast<UINT>(rect.top),
                                 static_cast<UINT>(rect.right), static_cast<UINT>(rect.bottom), width_, height_);
}

HRESULT RecordingImage::LockRect(const RECT* rect, D3DLOCKED_RECT* locked)
{
    RECT area = rect != nullptr ? *rect : FullRect();
    if (locked == nullptr || locked_ || !ValidRect(area)) {
        return D3DERR_INVALIDCALL;
    }
    Settle();
    std::size_t offset =
        D3DFormatTexelOffset(*info_, rowPitch_, static_cast<UINT>(area.left), static_cast<UINT>(area.top));
    locked->Pitch = static_cast<INT>(rowPitch_);
    locked->pBits = bytes_.data() + offset;
    locked_ = true;
    return D3D_OK;
}

HRESULT RecordingImage::LockBox(const D3DBOX* box, D3DLOCKED_BOX* locked)
{
    D3DBOX area = box != nullptr ? *box : D3DBOX{0, 0, width_, height_, 0, depth_};
    if (locked == nullptr || locked_ || area.Left >= area.Right || area.Top >= area.Bottom ||
        area.Front >= area.Back || area.Right > width_ || area.Bottom > height_ || area.Back > depth_) {
        return D3DERR_INVALIDCALL;
    }
    RECT face{static_cast<LONG>(area.Left), static_cast<LONG>(area.Top), static_cast<LONG>(area.Right),
              static_cast<LONG>(area.Bottom)};
    if (!ValidRect(face)) {
        return D3DERR_INVALIDCALL;
    }
    Settle();
    std::size_t offset =
        std::size_t{area.Front} * slicePitch_ + D3DFormatTexelOffset(*info_, rowPitch_, area.Left, area.Top);
    locked->RowPitch = static_cast<INT>(rowPitch_);
    locked->SlicePitch = static_cast<INT>(slicePitch_);
    locked->pBits = bytes_.data() + offset;
    locked_ = true;
    return D3D_OK;
}

HRESULT RecordingImage::Unlock()
{
    if (!locked_) {
        return D3DERR_INVALIDCALL;
    }
    locked_ = false;
    return D3D_OK;
}

bool RecordingImage::HoldsColour(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_L8:
    case D3DFMT_R16F:
    case D3DFMT_G16R16F:
    case D3DFMT_A16B16G16R16F:
        return true;
    default:
        return false;
    }
}

void RecordingImage::FillColour(const RECT& rect, D3DCOLOR colour)
{
    Rgba c{((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f, (colour & 0xFF) / 255.0f,
           (colour >> 24) / 255.0f};
    std::uint8_t texel[16] = {};
    Encode(Format(), c, texel);
    if (Whole(rect)) {
        FillWhole(texel);
        return;
    }
    Settle();
    std::uint8_t* first = bytes_.data() + std::size_t{static_cast<UINT>(rect.top)} * rowPitch_ +
                          std::size_t{static_cast<UINT>(rect.left)} * info_->bytes;
    FillRows(first, rowPitch_, static_cast<UINT>(rect.right - rect.left), static_cast<UINT>(rect.bottom - rect.top),
             texel, info_->bytes);
}

void RecordingImage::CopyFrom(const RecordingImage& src, const RECT& srcRect, const RECT& dstRect)
{
    UINT srcWidth = static_cast<UINT>(srcRect.right - srcRect.left);
    UINT srcHeight = static_cast<UINT>(srcRect.bottom - srcRect.top);
    UINT dstWidth = static_cast<UINT>(dstRect.right - dstRect.left);
    UINT dstHeight = static_cast<UINT>(dstRect.bottom - dstRect.top);
    bool sameBytes = src.Format() == Format() || (src.Format() == D3DFMT_X8R8G8B8 && Format() == D3DFMT_A8R8G8B8) ||
                     (src.Format() == D3DFMT_A8R8G8B8 && Format() == D3DFMT_X8R8G8B8);
    if (&src != this && src.Whole(srcRect) && Whole(dstRect) && !src.pendingTexel_.empty()) {
        // One texel everywhere becomes one texel everywhere.
        if (sameBytes) {
            FillWhole(src.pendingTexel_.data());
            return;
        }
        if (HoldsColour(src.Format()) && HoldsColour(Format())) {
            std::uint8_t texel[16] = {};
            Encode(Format(), Decode(src.Format(), src.pendingTexel_.data()), texel);
            FillWhole(texel);
            return;
        }
    }
    src.Settle();
    if (&src != this && Whole(dstRect)) {
        pendingTexel_.clear(); // every texel is written below
    } else {
        Settle();
    }
    if (sameBytes && srcWidth == dstWidth && srcHeight == dstHeight) {
        const UINT blockWidth = info_->blockWidth;
        const UINT blockHeight = info_->blockHeight;
        std::size_t rowBytes = std::size_t{(dstWidth + blockWidth - 1) / blockWidth} * info_->bytes;
        for (UINT row = 0; row < (dstHeight + blockHeight - 1) / blockHeight; ++row) {
            const std::uint8_t* from =
                src.bytes_.data() + std::size_t{row} * src.rowPitch_ +
                D3DFormatTexelOffset(*info_, src.rowPitch_, static_cast<UINT>(srcRect.left),
                                     static_cast<UINT>(srcRect.top));
            std::uint8_t* to = bytes_.data() + std::size_t{row} * rowPitch_ +
                               D3DFormatTexelOffset(*info_, rowPitch_, static_cast<UINT>(dstRect.left),
                                                    static_cast<UINT>(dstRect.top));
            std::memmove(to, from, rowBytes);
        }
        return;
    }
    // A converted texel is kept with the source bytes it came from: runs of one colour (what clears
    // leave) convert once.
    const std::uint8_t* lastFrom = nullptr;
    const std::uint8_t* lastTo = nullptr;
    for (UINT y = 0; y < dstHeight; ++y) {
        UINT sy = static_cast<UINT>(srcRect.top) + static_cast<UINT>((std::uint64_t{y} * srcHeight) / dstHeight);
        for (UINT x = 0; x < dstWidth; ++x) {
            UINT sx = static_cast<UINT>(srcRect.left) + static_cast<UINT>((std::uint64_t{x} * srcWidth) / dstWidth);
            const std::uint8_t* from =
                src.bytes_.data() + std::size_t{sy} * src.rowPitch_ + std::size_t{sx} * src.info_->bytes;
            std::uint8_t* to = bytes_.data() + std::size_t{static_cast<UINT>(dstRect.top) + y} * rowPitch_ +
                               std::size_t{static_cast<UINT>(dstRect.left) + x} * info_->bytes;
            if (sameBytes) {
                CopyTexel(to, from, info_->bytes);
            } else if (lastFrom != nullptr && SameTexel(from, lastFrom, src.info_->bytes)) {
                CopyTexel(to, lastTo, info_->bytes);
            } else {
                Encode(Format(), Decode(src.Format(), from), to);
                lastFrom = from;
                lastTo = to;
            }
        }
    }
}

void RecordingImage::ToBgra(std::vector<std::uint8_t>& bgra) const
{
    Settle();
    bgra.resize(std::size_t{width_} * height_ * 4);
    for (UINT y = 0; y < height_; ++y) {
        const std::uint8_t* row = bytes_.data() + std::size_t{y} * rowPitch_;
        std::uint8_t* out = bgra.data() + std::size_t{y} * width_ * 4;
        if (Format() == D3DFMT_A8R8G8B8 || Format() == D3DFMT_X8R8G8B8) {
            std::memcpy(out, row, std::size_t{width_} * 4);
            if (Format() == D3DFMT_X8R8G8B8) {
                for (UINT x = 0; x < width_; ++x) {
                    out[x * 4 + 3] = 255;
                }
            }
            continue;
        }
        for (UINT x = 0; x < width_; ++x) {
            Encode(D3DFMT_A8R8G8B8, Decode(Format(), row + std::size_t{x} * info_->bytes), out + x * 4);
        }
    }
}
