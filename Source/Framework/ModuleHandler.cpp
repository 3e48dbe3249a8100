#include "ModuleHandler.h"

#include <map>
#include <memory>

#include "DXFramework.h"
#include "DXModule.h"
#include "FrameworkEx.h"
#include "ResourceOwner.h"

namespace {

ModuleHandler* instance = nullptr;
std::map<std::string, std::unique_ptr<DXModule>> modules;

} // namespace

ModuleHandler::ModuleHandler()
{
    if (instance != nullptr)
        throw FrameworkEx("ModuleHandler is a singleton!");
    instance = this;
}

ModuleHandler::~ModuleHandler()
{
    if (instance != this)
        return;
    instance = nullptr;
    // Taken out of the registry first, so that a module's destructor never finds a
    // half-deleted registry.
    std::map<std::string, std::unique_ptr<DXModule>> owned;
    owned.swap(modules);
    for (auto& entry : owned)
        entry.second.reset();
}

DXModule* ModuleHandler::AddModule(DXModule* module)
{
    if (module == nullptr)
        throw FrameworkEx("[ModuleHandler::AddModule]  No module given");
    std::unique_ptr<DXModule> owned(module);
    auto existing = modules.find(module->GetName());
    if (existing != modules.end()) {
        // Handing the registered module in again must not delete it.
        if (existing->second.get() == module)
            static_cast<void>(owned.release());
        return existing->second.get();
    }
    DXFramework::Log("Adding module \"" + module->GetName() + "\"");
    modules.emplace(module->GetName(), std::move(owned));
    return module;
}

DXModule* ModuleHandler::FindModule(const std::string& name)
{
    auto entry = modules.find(name);
    if (entry == modules.end())
        throw FrameworkEx("[ModuleHandler::FindModule]  Could not find module \"" + name + "\"");
    return entry->second.get();
}

void ModuleHandler::CreateModuleResources(bool early)
{
    for (auto& [name, module] : modules)
        if (module->IsInitEarly() == early) {
            ResourceOwnerScope owner(ResourceOwner::OfModule(name));
            module->CreateResources();
        }
}

void ModuleHandler::ReleaseModuleResources()
{
    for (auto& [name, module] : modules)
        module->ReleaseResources();
}
