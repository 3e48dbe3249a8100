#pragma once
#include <functional>
#include <string>
#include <vector>

#include "sync/SyncNamespace.h"

namespace orvala::sync {

// What the sync code takes from the program around it. Sync sits below the framework and knows
// neither its archive, nor its log, nor its exception: the framework fills these in.
struct Host {
    // The bytes of an archive entry ("Data\sync_Fade.track"); empty when there is no such entry.
    std::function<std::vector<unsigned char>(const std::string& entry)> read;
    // One line for the log.
    std::function<void(const std::string& line)> log;
    // Reports a failure by throwing the host's own exception.
    std::function<void(const std::string& message)> fail;
};

// Reports the message through host.fail. A host without one, or whose fail returns, gets a
// std::runtime_error instead: a failure never goes on as if nothing happened.
[[noreturn]] void Fail(const Host& host, const std::string& message);

} // namespace orvala::sync
