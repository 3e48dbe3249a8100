#pragma once
#include <string>

// A reusable drawing unit shared by the scenes (deferred lighting, post effects, floor,
// dust). Registered by name in the ModuleHandler, which owns it and drives its device
// resources: modules marked early get theirs before the loading screen is drawn.
class DXModule {
public:
    explicit DXModule(std::string name);
    virtual ~DXModule();
    DXModule(const DXModule&) = delete;
    DXModule& operator=(const DXModule&) = delete;

    virtual void CreateResources();
    virtual void ReleaseResources();
    virtual void Update();
    // Modules that can be drawn as a whole override this; the default throws.
    virtual void Draw();

    // Marks the module as needed by the loader scene, so its resources come first.
    void SetInitEarly();
    bool IsInitEarly() const;
    const std::string& GetName() const;

protected:
    std::string name;
    bool initEarly = false;
};
