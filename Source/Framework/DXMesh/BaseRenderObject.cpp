#include "DXMesh/BaseRenderObject.h"

#include "FrameworkEx.h"
#include "Timer.h"
#include "Transform.h"

BASERENDEROBJECT::BASERENDEROBJECT(Transform* transform) : transform(transform)
{
    D3DXMatrixIdentity(&world);
    D3DXMatrixIdentity(&oldWorld);
}

BASERENDEROBJECT::~BASERENDEROBJECT() = default;

void BASERENDEROBJECT::Draw()
{
    throw FrameworkEx("[BASERENDEROBJECT] Virtual Draw method not implemented");
}

void BASERENDEROBJECT::Update()
{
    UpdateAt(Timer::GetPlaybackTimeValue());
}

void BASERENDEROBJECT::UpdateAt(float time)
{
    if (transform == nullptr)
        return;
    transform->Update(time);
    world = transform->GetWorld();
    oldWorld = transform->GetPreviousWorld();
}
