#include <cstdio>
#include <string>
#include <vector>

#include "CommandRegistry.h"
#include "Noise/NoiseVolume.h"

namespace {

// The noise volume the demo binds as NOISETEX, in the layout of the archive entry
// "Data\\noise.bin": 128 x 128 x 128 bytes, x fastest, no header. With it in the archive the
// demo computes nothing at start-up.
int VolumeCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        throw ToolUsageError{"noise volume needs the file to write"};
    std::vector<std::uint8_t> texels(kNoiseVolumeBytes);
    GenerateNoiseVolume(texels.data(), kNoiseVolumeEdge, std::size_t{kNoiseVolumeEdge} * kNoiseVolumeEdge);
    const std::string part = args[0] + ".part";
    std::FILE* file = std::fopen(part.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "orvala-tool: cannot write \"%s\"\n", args[0].c_str());
        return 1;
    }
    const bool written = std::fwrite(texels.data(), 1, texels.size(), file) == texels.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(part.c_str(), args[0].c_str()) != 0) {
        std::remove(part.c_str());
        std::fprintf(stderr, "orvala-tool: cannot write \"%s\"\n", args[0].c_str());
        return 1;
    }
    return 0;
}

int Run(const std::vector<std::string>& args)
{
    if (args.empty() || args[0] != "volume")
        throw ToolUsageError{"unknown noise command"};
    return VolumeCommand(std::vector<std::string>(args.begin() + 1, args.end()));
}

const ToolCommandRegistration registration("noise", {ToolUsage({{"noise volume", "<out.bin>", {}, 1, ""}}), &Run});

} // namespace
