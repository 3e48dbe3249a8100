#include "CamHandler.h"

#include "DXFramework.h"
#include "FrameworkEx.h"
#include "Mouse.h"
#include "SyncTimer.h"
#include "Timer.h"
#include "sync/Device.h"
#include "sync/Track.h"

CamHandler::CamHandler() : activeCamTrack(DXFramework::GetSyncDevice()->getTrack("ActiveCam")) {}

CamHandler::~CamHandler() = default;

void CamHandler::AddCamera(Camera* camera)
{
    std::unique_ptr<Camera> owned(camera);
    const std::string name = owned->GetName();
    if (cameras.count(name) != 0)
        throw FrameworkEx("CamHandler::AddCamera: \"" + name + "\" already exists.");
    activeCamera = owned.get();
    cameras.emplace(name, std::move(owned));
}

void CamHandler::Update()
{
    Update(Timer::GetPlaybackTimeValue());
}

void CamHandler::Update(float time)
{
    const float value = activeCamTrack.getValue(GetSyncRow());
    // Truncated toward zero; anything outside the cameras (NaN included) picks the first.
    std::size_t index = 0;
    if (value > -1.0f && value < static_cast<float>(cameras.size()))
        index = static_cast<std::size_t>(static_cast<long long>(value));
    if (index >= cameras.size())
        throw FrameworkEx("[CamHAndler::Update] something impossible happened!");
    activeCamera = std::next(cameras.begin(), static_cast<std::ptrdiff_t>(index))->second.get();
    activeCamera->Update(time);

    if (Mouse::IsHeld(Mouse::Left) || Mouse::IsHeld(Mouse::Middle) || Mouse::IsHeld(Mouse::Right))
        DXFramework::RequestRedraw();
}

const Camera& CamHandler::Active(const char* operation) const
{
    if (!activeCamera)
        throw FrameworkEx(std::string("[CamHandler::") + operation + "] No active camera");
    return *activeCamera;
}

const D3DXVECTOR3& CamHandler::GetEyePos() const
{
    return Active("GetEyePos").GetEyePos();
}

const D3DXMATRIX& CamHandler::GetView() const
{
    return Active("GetView").GetView();
}

const D3DXMATRIX& CamHandler::GetViewProj() const
{
    return Active("GetViewProj").GetViewProj();
}

const D3DXMATRIX& CamHandler::GetOldViewProj() const
{
    return Active("GetOldViewProj").GetOldViewProj();
}

D3DXMATRIX CamHandler::GetWorld() const
{
    const Camera& camera = Active("GetWorld");
    if (!directCamera)
        return camera.GetWorld();
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &camera.GetView()))
        D3DXMatrixIdentity(&inverse);
    return inverse;
}
