#include "SyncHost.h"

#include <vector>

#include "DXFramework.h"
#include "FileSys.h"
#include "FrameworkEx.h"
#include "sync/PlayerDevice.h"

sync::Host SyncHost()
{
    sync::Host host;
    host.read = [](const std::string& entry) {
        std::vector<unsigned char> bytes(FileSys::GetFileSize(entry.c_str()));
        if (!bytes.empty())
            FileSys::ReadFile(entry.c_str(), bytes.data());
        return bytes;
    };
    host.log = [](const std::string& line) { DXFramework::Log(line); };
    host.fail = [](const std::string& message) { throw FrameworkEx(message); };
    return host;
}

sync::Device* createDevice(const std::string& baseName, sync::sTimer& timer)
{
    return sync::createDevice(baseName, timer, SyncHost());
}
