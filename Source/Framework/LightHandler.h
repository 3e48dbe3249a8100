#pragma once
#include <map>
#include <memory>
#include <string>

#include "BaseLight.h"

// A scene's lights by name; owns them.
class LightHandler {
public:
    // A taken name throws FrameworkEx "LightHandler::AddLight: \"<name>\" already exists."
    // and the refused light is freed.
    void AddLight(BaseLight* light);
    // Throws FrameworkEx "[LightHandler::FindLight] Could not find light \"<name>\"".
    BaseLight* FindLight(const std::string& name) const;
    // Updates every light at the animation time, in ascending name order.
    void Update(float time);

    const std::map<std::string, std::unique_ptr<BaseLight>>& GetLights() const { return lights; }

private:
    std::map<std::string, std::unique_ptr<BaseLight>> lights;
};
