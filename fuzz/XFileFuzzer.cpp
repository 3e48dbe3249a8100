// Any bytes handed to the .x reader either load into a model or fail with a message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "d3dx9/xfile/XFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    XFileModel model;
    XFileReader reader;
    const XFileResult result = reader.Read(data, size, model);
    if (!result.ok && result.message.empty())
        std::abort(); // a failure always says why
    return 0;
}
