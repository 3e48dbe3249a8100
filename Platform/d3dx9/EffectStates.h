#pragma once
// The device states an effect pass or sampler_state block may set, with the value names the effect
// language takes for them (the Direct3D names without their prefix: LESSEQUAL, INVSRCALPHA, CCW,
// CLAMP, ...; the prefixed form D3DCMP_LESSEQUAL is accepted too; case does not matter).
#include <string>
#include <vector>

#include "d3d9/D3DStateTables.h"
#include "win32/WinTypes.h"

// The value kinds are those of the device's state table (D3DStateTables.h).
using EffectStateKind = D3DStateKind;

struct EffectStateInfo {
    const char* name; // as written in effects: "ZFunc"
    DWORD state;      // D3DRENDERSTATETYPE or D3DSAMPLERSTATETYPE
    EffectStateKind kind;
};

// By name, case-insensitive; null when unknown.
// True when the two names are the same letters, whatever their case (state names, value names
// and semantics compare that way).
bool EffectNamesMatch(const std::string& a, const char* b);

const EffectStateInfo* FindEffectRenderState(const std::string& name);
const EffectStateInfo* FindEffectSamplerState(const std::string& name);
// By state value; null when the effect language has no name for it.
const EffectStateInfo* FindEffectRenderState(DWORD state);
const EffectStateInfo* FindEffectSamplerState(DWORD state);

// One written value: either a number (`number` set, `isNumber`) or names joined by '|'.
struct EffectStateValue {
    bool isNumber = false;
    double number = 0;
    std::vector<std::string> names;
};

// The DWORD a state of that kind takes for the value; false with a message when it does not fit.
bool EffectStateValueToDword(EffectStateKind kind, const EffectStateValue& value, DWORD& out, std::string& error);
// The value as effects write it ("LESSEQUAL", "TRUE", "0x0000000f", "1.5").
std::string EffectStateValueName(EffectStateKind kind, DWORD value);
