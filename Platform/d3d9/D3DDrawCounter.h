#pragma once
// Layer's own, for profiling: the draws a device has carried out and the primitives they drew,
// counted from the device's creation. Both devices keep the counts; a draw that fails its checks
// counts nothing. Counting costs two additions a draw and is always on, so that a profiler can
// take the difference of two readings around any stretch of work.
#include <cstdint>

#include "d3d9/d3d9interfaces.h"

class D3DDrawCounter {
public:
    virtual ~D3DDrawCounter() = default;

    std::uint64_t DrawCount() const { return draws_; }
    std::uint64_t PrimitiveCount() const { return primitives_; }

protected:
    void CountDraw(UINT primitives)
    {
        ++draws_;
        primitives_ += primitives;
    }

private:
    std::uint64_t draws_ = 0;
    std::uint64_t primitives_ = 0;
};

// The counts of a device of this layer; null for any other object.
inline const D3DDrawCounter* D3DGetDrawCounter(IDirect3DDevice9* device)
{
    return dynamic_cast<const D3DDrawCounter*>(device);
}
