#pragma once
#include "d3d9/d3d9interfaces.h"

// The reference count of one object behind a Direct3D interface: one reference at creation,
// deleted when Release brings the count to zero.
template <class Interface>
class GLRefCounted : public Interface {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    GLRefCounted() = default;
    GLRefCounted(const GLRefCounted&) = delete;
    GLRefCounted& operator=(const GLRefCounted&) = delete;

private:
    ULONG refs_ = 1;
};
