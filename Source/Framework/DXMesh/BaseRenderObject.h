#pragma once
#include "d3dx9/d3dx9math.h"

class Transform;

// The base of everything an effect draws: the object's world matrix of this frame and of the
// previous one (for motion vectors), and optionally the transform that animates it. The effect
// reads both matrices before it runs its passes around Draw.
class BASERENDEROBJECT {
public:
    // Both matrices start as identity; the transform is not owned and may be null.
    explicit BASERENDEROBJECT(Transform* transform);
    virtual ~BASERENDEROBJECT();
    BASERENDEROBJECT(const BASERENDEROBJECT&) = delete;
    BASERENDEROBJECT& operator=(const BASERENDEROBJECT&) = delete;

    // Draws the object inside the active effect pass. Every drawable object overrides it; the
    // base throws FrameworkEx "[BASERENDEROBJECT] Virtual Draw method not implemented".
    virtual void Draw();

    // UpdateAt the animation time (the timer's "PlaybackTime" value of this frame).
    void Update();
    // Without a transform nothing changes. Otherwise the transform is evaluated at `time` and
    // world / oldWorld become its world and previous-frame world.
    void UpdateAt(float time);

    // Owners of objects without a transform place them by writing the matrices themselves.
    D3DXMATRIX world;
    D3DXMATRIX oldWorld;
    Transform* transform;
};
