#pragma once
// The effect object file that `orvala-tool effect compile` writes and D3DXCreateEffect reads.
//
// Layout (all numbers little-endian 32-bit words):
//   header:  magic "OFX9", version (1), payload size in bytes, CRC-32 of the payload
//   payload: files:      count, then each a string
//            parameters: count, then each: name, semantic, class, type, rows, columns, elements,
//                        shared (0/1), annotations, initial words (count + words), text,
//                        sampler texture (index or -1), sampler states (count + state/value pairs),
//                        declaring file and line
//            shaders:    count, then each: name, pixel (0/1), GLSL text, line places (count +
//                        file/line pairs, one per GLSL line), parameters read (count + indices)
//            techniques: count, then each: name, annotations, passes (count, then each: name,
//                        annotations, render states (count + state/value pairs), vertex shader
//                        index or -1, pixel shader index or -1)
//   string:     byte count, then the bytes (no terminating zero)
//   annotation: name, type, columns, words (count + words), text
// The reader checks every count against the bytes left, every index against what it indexes and
// every type, state and value against what the effect language can produce; a file that fails any
// check is refused as a whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "d3dx9/EffectModel.h"

inline constexpr char kEffectObjectMagic[4] = {'O', 'F', 'X', '9'};
inline constexpr std::uint32_t kEffectObjectVersion = 1;

// True when the bytes begin with the object magic (D3DXCreateEffect tells objects from source so).
bool IsEffectObject(const void* data, std::size_t size);

std::vector<std::uint8_t> WriteEffectObject(const EffectModel& model);

// False with a message when the bytes are not a sound effect object of this version.
bool ReadEffectObject(const void* data, std::size_t size, EffectModel& model, std::string& error);
