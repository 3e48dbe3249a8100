#include "d3d9/recording/RecordingBufferBytes.h"

#include <cstdint>

#include "d3d9/D3DValidation.h"

HRESULT RecordingBufferBytes::Lock(UINT offset, UINT size, void** data, DWORD flags)
{
    if (data == nullptr || CheckD3DBufferLockFlags(flags) != D3D_OK || offset >= bytes_.size() ||
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
