#pragma once
// What both devices do when they bind an object into a slot (a render target, a stream, a shader,
// a texture stage ...): only their own objects, held by an internal reference that the
// application's reference counts do not show, so that an object lives while bound even when the
// application has released it.
#include "d3d9/d3d9.h"

// One slot. `Object` is the device's object type (with AddRefInternal and ReleaseInternal); `Bound`
// is what the slot gives back: the object itself, or the interface the application passed for it
// (a texture stage keeps the IDirect3DBaseTexture9 it was given).
template <class Bound, class Object = Bound>
class D3DBinding {
public:
    D3DBinding() = default;
    D3DBinding(const D3DBinding&) = delete;
    D3DBinding& operator=(const D3DBinding&) = delete;
    ~D3DBinding() { Clear(); }

    void Set(Bound* bound, Object* object)
    {
        if (object == object_) {
            return;
        }
        if (object != nullptr) {
            object->AddRefInternal();
        }
        Object* old = object_;
        bound_ = bound;
        object_ = object;
        if (old != nullptr) {
            old->ReleaseInternal();
        }
    }
    void Set(Object* object) { Set(object, object); }
    void Clear() { Set(nullptr, nullptr); }

    Bound* Get() const { return bound_; }
    Object* Held() const { return object_; }

private:
    Bound* bound_ = nullptr;
    Object* object_ = nullptr;
};

// The device's own object of type T behind an interface pointer; null for null, for an object of
// another type and for another device's object.
template <class T, class I, class Device>
T* D3DOwnObject(const Device* device, I* object)
{
    T* own = dynamic_cast<T*>(object);
    return own != nullptr && own->Device() == device ? own : nullptr;
}

// Binds an object of the device (or nothing) into a slot; another device's object is an invalid
// call that leaves the slot as it was.
template <class T, class Object, class I, class Device>
HRESULT D3DBindObject(const Device* device, D3DBinding<T, Object>& slot, I* object)
{
    T* own = D3DOwnObject<T>(device, object);
    if (object != nullptr && own == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    slot.Set(own, own);
    return D3D_OK;
}
