#pragma once
#include <memory>
#include <string>

#include "AnimCurve.h"
#include "d3dx9/d3dx9math.h"
#include "sync/SyncNamespace.h"

namespace orvala::sync {
class Track;
}

// A camera's projection and focus settings, in the order the scene files give them.
struct CAMERAPARAMS {
    float vFOV;      // vertical field of view, radians
    float nearz;     // near clip distance
    float farz;      // far clip distance
    float nearfocus; // near limit of the depth-of-field focus range
    float farfocus;  // far limit of the focus range
    float aspect;    // width-to-height ratio of the projection
};

// A scene camera moving on six Hermite curves (name.translateX ... name.rotateZ), pushed
// along its own Z axis by the track "CamZOffset" and shaken by noise while
// "ShakeAmplitude" is positive. Scenes also place cameras of their own with SetView.
class Camera {
public:
    explicit Camera(const std::string& name);
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    // Copies the settings and rebuilds the projection; the projection changes only here.
    void SetParams(const CAMERAPARAMS& params);
    // Places the camera by code. The previous view-projection becomes this one and the
    // world matrix the inverse of the view, so no matrix is left stale.
    void SetView(const D3DXVECTOR3& eye, const D3DXVECTOR3& at, const D3DXVECTOR3& up);
    // Evaluates the pose 1/60 of an animation-time unit earlier for the previous
    // view-projection, then the pose at time.
    void Update(float time);

    const std::string& GetName() const { return name; }
    const CAMERAPARAMS& GetParams() const { return params; }
    const D3DXVECTOR3& GetEyePos() const { return eyePos; }
    const D3DXVECTOR3& GetRotation() const { return rotation; }
    const D3DXMATRIX& GetView() const { return view; }
    const D3DXMATRIX& GetProjection() const { return projection; }
    const D3DXMATRIX& GetWorld() const { return world; }
    const D3DXMATRIX& GetViewProj() const { return viewProj; }
    const D3DXMATRIX& GetOldViewProj() const { return oldViewProj; }

private:
    using SmoothCurve = AnimCurve<HERMITESEGMENT<float>>;

    void Evaluate(float time);

    std::string name;
    std::unique_ptr<SmoothCurve> translateCurves[3];
    std::unique_ptr<SmoothCurve> rotateCurves[3];
    sync::Track& camZOffsetTrack;
    sync::Track& shakeAmplitudeTrack;
    sync::Track& shakeSpeedTrack;
    CAMERAPARAMS params;
    D3DXVECTOR3 eyePos;
    D3DXVECTOR3 rotation;
    D3DXMATRIX rotationMatrix;
    D3DXMATRIX projection;
    D3DXMATRIX view;
    D3DXMATRIX world;
    D3DXMATRIX viewProj;
    D3DXMATRIX oldViewProj;
};
