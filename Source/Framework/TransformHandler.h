#pragma once
#include <map>
#include <memory>
#include <string>

#include "Transform.h"

// A scene's transforms by name; owns them.
class TransformHandler {
public:
    // Registers the transform under its name and returns it. A taken name throws
    // FrameworkEx "TransformHandler::Add: \"<name>\" already exists." and the refused
    // transform is freed.
    Transform* Add(Transform* transform);
    // Throws FrameworkEx "[TransformHandler::Find] Could not find transform \"<name>\"".
    Transform* Find(const std::string& name) const;
    // Updates every transform at the animation time, in ascending name order.
    void Update(float time);

    const std::map<std::string, std::unique_ptr<Transform>>& GetTransforms() const { return transforms; }

private:
    std::map<std::string, std::unique_ptr<Transform>> transforms;
};
