#include "d3d9/recording/RecordingBufferBytes.h"

#include <cstdint>

HRESULT RecordingBufferBytes::Lock(UINT offset, UINT size, void** data, DWORD flags)
{
    constexpr DWORD kKnown = D3DLOCK_READONLY | D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE | D3DLOCK_NOSYSLOCK |
                             D3DLOCK_DONOTWAIT;
    if (data == nullptr || (flags & ~kKnown) != 0 ||
        ((flags & D3DLOCK_DISCARD) != 0 && (flags & D3DLOCK_READONLY) != 0) || offset >= bytes_.size() ||
        std::uint64_t{offset} + size > bytes_.size()) {
        return D3DERR_INVALIDCALL;
    }
    *data = bytes_.data() + offset;
    ++locks_;
    return D3D_OK;
}

HRESULT RecordingBufferBytes::Unlock()
{
    if (locks_ == 0) {
        return D3DERR_INVALIDCALL;
    }
    --locks_;
    return D3D_OK;
}
