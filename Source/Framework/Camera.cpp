#include "Camera.h"

#include "DXFramework.h"
#include "PerlinNoise.h"
#include "SyncTimer.h"
#include "Timer.h"
#include "sync/Device.h"
#include "sync/Track.h"

namespace {

// The previous pose is taken one sixtieth of an animation-time unit earlier, whatever the
// real frame rate.
constexpr float kPreviousFrameOffset = 0.016666668f;

sync::Track& RequestTrack(const char* name)
{
    return DXFramework::GetSyncDevice()->getTrack(name);
}

} // namespace

Camera::Camera(const std::string& name)
    : name(name), camZOffsetTrack(RequestTrack("CamZOffset")), shakeAmplitudeTrack(RequestTrack("ShakeAmplitude")),
      shakeSpeedTrack(RequestTrack("ShakeSpeed")), params{D3DX_PI / 4.0f, 0.1f, 100.0f, 0.0f, 0.0f, 16.0f / 9.0f},
      eyePos(0.0f, 0.0f, 0.0f), rotation(0.0f, 0.0f, 0.0f)
{
    const char axes[3] = {'X', 'Y', 'Z'};
    for (int i = 0; i < 3; ++i) {
        translateCurves[i] = std::make_unique<SmoothCurve>(name + ".translate" + axes[i]);
        rotateCurves[i] = std::make_unique<SmoothCurve>(name + ".rotate" + axes[i]);
    }
    D3DXMatrixIdentity(&rotationMatrix);
    D3DXMatrixIdentity(&view);
    D3DXMatrixIdentity(&world);
    D3DXMatrixIdentity(&viewProj);
    D3DXMatrixIdentity(&oldViewProj);
    SetParams(params);
    // A channel without a file reads 0: the curve falls back to a flat zero curve.
    for (auto& curve : translateCurves)
        curve->Load();
    for (auto& curve : rotateCurves)
        curve->Load();
}

Camera::~Camera() = default;

void Camera::SetParams(const CAMERAPARAMS& newParams)
{
    params = newParams;
    D3DXMatrixPerspectiveFovRH(&projection, params.vFOV, params.aspect, params.nearz, params.farz);
}

void Camera::SetView(const D3DXVECTOR3& eye, const D3DXVECTOR3& at, const D3DXVECTOR3& up)
{
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    viewProj = view * projection;
    oldViewProj = viewProj;
    eyePos = eye;
    if (!D3DXMatrixInverse(&world, nullptr, &view))
        D3DXMatrixIdentity(&world);
}

void Camera::Update(float time)
{
    Evaluate(time - kPreviousFrameOffset);
    oldViewProj = viewProj;
    Evaluate(time);
}

void Camera::Evaluate(float time)
{
    D3DXVECTOR3 translate;
    for (int i = 0; i < 3; ++i) {
        translateCurves[i]->Evaluate(time);
        rotateCurves[i]->Evaluate(time);
        translate[i] = translateCurves[i]->GetValue();
        rotation[i] = rotateCurves[i]->GetValue();
    }

    // The shake follows the playback clock, not the animation time, so both poses of a
    // frame are shaken alike.
    const float row = GetSyncRow();
    const float amplitude = shakeAmplitudeTrack.getValue(row);
    const float speed = shakeSpeedTrack.getValue(row);
    D3DXVECTOR3 shake(0.0f, 0.0f, 0.0f);
    if (amplitude > 0.0f) {
        const float s = Timer::GetTime() * speed;
        shake = D3DXVECTOR3(PerlinNoise1D(s, 2.0f, 2.0f, 5), PerlinNoise1D(1.2f * s + 0.3f, 2.5f, 1.8f, 5),
                            PerlinNoise1D(1.3f * s + 0.54f, 2.9f, 1.7f, 5)) *
                amplitude;
    }
    eyePos = translate + shake;

    D3DXMATRIX rotateX, rotateY, rotateZ;
    D3DXMatrixRotationX(&rotateX, rotation.x);
    D3DXMatrixRotationY(&rotateY, rotation.y);
    D3DXMatrixRotationZ(&rotateZ, rotation.z);
    rotationMatrix = rotateX * rotateY * rotateZ;
    D3DXMatrixTranspose(&view, &rotationMatrix);

    // A positive offset moves the camera backwards along its own Z axis.
    const float zOffset = camZOffsetTrack.getValue(row);
    eyePos += D3DXVECTOR3(rotationMatrix._31, rotationMatrix._32, rotationMatrix._33) * zOffset;

    D3DXMATRIX back, place;
    D3DXMatrixTranslation(&back, -eyePos.x, -eyePos.y, -eyePos.z);
    view = back * view;
    D3DXMatrixTranslation(&place, eyePos.x, eyePos.y, eyePos.z);
    world = rotationMatrix * place;
    viewProj = view * projection;
}
