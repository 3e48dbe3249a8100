#pragma once
#include "d3d9/recording/RecordingObject.h"

// One binding of the recording device (a texture stage, a render target, a stream...): holds an
// internal reference on the bound object, so that the object lives while bound even when the
// application has released it.
template <class T>
class RecordingBinding {
public:
    RecordingBinding() = default;
    RecordingBinding(const RecordingBinding&) = delete;
    RecordingBinding& operator=(const RecordingBinding&) = delete;
    ~RecordingBinding() { Set(nullptr, nullptr); }

    void Set(T* bound, RecordingObject* object)
    {
        if (object == object_) {
            return;
        }
        if (object != nullptr) {
            object->AddRefInternal();
        }
        RecordingObject* old = object_;
        bound_ = bound;
        object_ = object;
        if (old != nullptr) {
            old->ReleaseInternal();
        }
    }
    void Clear() { Set(nullptr, nullptr); }

    T* Get() const { return bound_; }
    RecordingObject* Object() const { return object_; }

private:
    T* bound_ = nullptr;
    RecordingObject* object_ = nullptr;
};
