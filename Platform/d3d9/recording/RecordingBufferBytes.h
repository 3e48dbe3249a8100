#pragma once
#include <cstdint>
#include <vector>

#include "d3d9/d3d9.h"

// The bytes of a vertex or index buffer of the recording device and how often it is locked. Locked
// contents persist; D3DLOCK_DISCARD keeps them too (Direct3D 9 leaves them undefined).
class RecordingBufferBytes {
public:
    // Throws std::bad_alloc when the bytes cannot be had.
    explicit RecordingBufferBytes(UINT length) : bytes_(length) {}

    // Size 0 locks from offset to the end. D3DERR_INVALIDCALL for a null out-pointer, a range
    // outside the buffer, unknown flags, or D3DLOCK_DISCARD with D3DLOCK_READONLY. As in Direct3D 9
    // a buffer may be locked again while locked; every Lock needs its Unlock. D3DLOCK_DISCARD and
    // D3DLOCK_NOOVERWRITE are accepted on any buffer (a buffer without D3DUSAGE_DYNAMIC ignores
    // them, as Direct3D 9 does).
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
    // D3DERR_INVALIDCALL when not locked.
    HRESULT Unlock();

    UINT Size() const { return static_cast<UINT>(bytes_.size()); }
    bool Locked() const { return locks_ != 0; }
    const std::uint8_t* Data() const { return bytes_.data(); }

private:
    std::vector<std::uint8_t> bytes_;
    UINT locks_ = 0;
};
