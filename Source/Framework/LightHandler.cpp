#include "LightHandler.h"

#include "FrameworkEx.h"

void LightHandler::AddLight(BaseLight* light)
{
    std::unique_ptr<BaseLight> owned(light);
    const std::string name = owned->GetName();
    if (lights.count(name) != 0)
        throw FrameworkEx("LightHandler::AddLight: \"" + name + "\" already exists.");
    lights.emplace(name, std::move(owned));
}

BaseLight* LightHandler::FindLight(const std::string& name) const
{
    auto found = lights.find(name);
    if (found == lights.end())
        throw FrameworkEx("[LightHandler::FindLight] Could not find light \"" + name + "\"");
    return found->second.get();
}

void LightHandler::Update(float time)
{
    for (auto& [name, light] : lights)
        light->Update(time);
}
