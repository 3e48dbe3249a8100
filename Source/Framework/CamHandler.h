#pragma once
#include <map>
#include <memory>
#include <string>

#include "Camera.h"

// A scene's cameras by name; owns them. Each frame the track "ActiveCam" picks the active
// camera by its position in name order.
class CamHandler {
public:
    CamHandler();
    ~CamHandler();
    CamHandler(const CamHandler&) = delete;
    CamHandler& operator=(const CamHandler&) = delete;

    // Registers the camera and makes it the active one. A taken name throws FrameworkEx
    // "CamHandler::AddCamera: \"<name>\" already exists." and the refused camera is freed.
    void AddCamera(Camera* camera);
    // Selects and updates the active camera at the animation time.
    void Update();
    void Update(float time);

    // Makes any camera active, also one of the scene's own outside the registry; the next
    // Update selects by "ActiveCam" again.
    void SetActiveCamera(Camera* camera) { activeCamera = camera; }
    Camera* GetActiveCamera() const { return activeCamera; }
    // Set while a scene renders from a camera it placed with SetView.
    void SetDirectCamera(bool direct) { directCamera = direct; }
    bool IsDirectCamera() const { return directCamera; }

    // The active camera's values; FrameworkEx when there is no camera.
    const D3DXVECTOR3& GetEyePos() const;
    const D3DXMATRIX& GetView() const;
    const D3DXMATRIX& GetViewProj() const;
    const D3DXMATRIX& GetOldViewProj() const;
    // The inverse of the view while a placed camera is active, the camera's world otherwise.
    D3DXMATRIX GetWorld() const;

    const std::map<std::string, std::unique_ptr<Camera>>& GetCameras() const { return cameras; }

private:
    const Camera& Active(const char* operation) const;

    sync::Track& activeCamTrack;
    std::map<std::string, std::unique_ptr<Camera>> cameras;
    Camera* activeCamera = nullptr;
    bool directCamera = false;
};
