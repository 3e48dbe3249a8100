#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "CommandRegistry.h"
#include "common/texgen/TexGenError.h"
#include "common/texgen/TexGenRequest.h"
#include "common/texgen/TexGenerator.h"

namespace {

// Writes the whole file beside its final name first, so that a failed write leaves nothing
// behind and an earlier file of that name stays as it was.
bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const std::string partial = path + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error) {
        std::filesystem::remove(partial, error);
        return false;
    }
    return true;
}

int RunTexture(const std::vector<std::string>& args)
{
    if (args.empty() || args[0] != "gen") {
        throw ToolUsageError{args.empty() ? "texture needs a subcommand"
                                          : "unknown texture subcommand \"" + args[0] + "\""};
    }
    TexGenRequest request;
    std::vector<std::uint8_t> file;
    try {
        request = ParseTexGenRequest(std::vector<std::string>(args.begin() + 1, args.end()));
        file = GenerateTexFile(request);
    } catch (const TexGenError& e) {
        throw ToolUsageError{e.what()};
    }
    if (!WriteWholeFile(request.output, file)) {
        std::fprintf(stderr, "orvala-tool: cannot write \"%s\"\n", request.output.c_str());
        return 1;
    }
    return 0;
}

const ToolCommandRegistration registration("texture", {kTexGenUsage, RunTexture});

} // namespace
