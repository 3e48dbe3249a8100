#pragma once
#include <string>

class DXModule;

// The registry of render modules, keyed by name (ascending byte order). It owns the modules
// and deletes them when it is destroyed. The registry is process-wide; the one instance
// marks its lifetime.
class ModuleHandler {
public:
    // Throws FrameworkEx "ModuleHandler is a singleton!" when an instance exists.
    ModuleHandler();
    // Forgets the instance and deletes every module, in name order.
    ~ModuleHandler();
    ModuleHandler(const ModuleHandler&) = delete;
    ModuleHandler& operator=(const ModuleHandler&) = delete;

    // Takes ownership of the module and returns the registered one: the module itself, or
    // the one registered earlier under the same name, in which case the new one is deleted.
    // Throws FrameworkEx for a null module.
    static DXModule* AddModule(DXModule* module);
    // Throws FrameworkEx when no module has that name.
    static DXModule* FindModule(const std::string& name);

    // CreateResources on every module whose early flag equals early, in name order.
    static void CreateModuleResources(bool early);
    // ReleaseResources on every module, in name order.
    static void ReleaseModuleResources();
};
