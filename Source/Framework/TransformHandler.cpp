#include "TransformHandler.h"

#include "FrameworkEx.h"

Transform* TransformHandler::Add(Transform* transform)
{
    std::unique_ptr<Transform> owned(transform);
    const std::string name = owned->GetName();
    if (transforms.count(name) != 0)
        throw FrameworkEx("TransformHandler::Add: \"" + name + "\" already exists.");
    Transform* added = owned.get();
    transforms.emplace(name, std::move(owned));
    return added;
}

Transform* TransformHandler::Find(const std::string& name) const
{
    auto found = transforms.find(name);
    if (found == transforms.end())
        throw FrameworkEx("[TransformHandler::Find] Could not find transform \"" + name + "\"");
    return found->second.get();
}

void TransformHandler::Update(float time)
{
    for (auto& [name, transform] : transforms)
        transform->Update(time);
}
