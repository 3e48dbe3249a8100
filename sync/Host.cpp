#include "sync/Host.h"

#include <stdexcept>

namespace orvala::sync {

void Fail(const Host& host, const std::string& message)
{
    if (host.fail)
        host.fail(message);
    throw std::runtime_error(message);
}

} // namespace orvala::sync
