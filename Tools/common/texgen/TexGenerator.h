#pragma once
#include <cstdint>
#include <vector>

#include "common/texgen/TexDdsWriter.h"
#include "common/texgen/TexGenRequest.h"

// The faces the request makes (six for a cube map, one otherwise), each with its mip chain
// (one level unless mips were asked for).
std::vector<TexMipChain> GenerateTexFaces(const TexGenRequest& request);

// The bytes of the output file: PNG or DDS as the request's file type says. Throws TexGenError
// when the texture cannot be made.
std::vector<std::uint8_t> GenerateTexFile(const TexGenRequest& request);
