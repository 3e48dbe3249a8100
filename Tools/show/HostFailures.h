#pragma once
#include <stdexcept>

#include "FrameworkEx.h"

// Runs `call`, turning the host's failures (FrameworkEx, FrameworkSupportFailed) into the
// std::runtime_error the tools report, with the host's message.
template <typename Call>
void Reported(Call call)
{
    try {
        call();
    } catch (const FrameworkEx& e) {
        throw std::runtime_error(e.GetMessage());
    } catch (const FrameworkSupportFailed& e) {
        throw std::runtime_error(e.GetMessage());
    }
}
