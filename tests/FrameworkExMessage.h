#pragma once
#include <functional>
#include <string>

#include "FrameworkEx.h"

// The message of the FrameworkEx the call throws, or "(no exception)" when it returns.
inline std::string FrameworkExMessage(const std::function<void()>& call)
{
    try {
        call();
    } catch (const FrameworkEx& e) {
        return e.GetMessage();
    }
    return "(no exception)";
}
