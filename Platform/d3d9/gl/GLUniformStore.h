#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The device-wide uniform values set by name (SetUniformF/SetUniformI). Every change gets a new
// serial number, so a program can tell cheaply whether anything changed since it last looked.
class GLUniformStore {
public:
    struct Value {
        std::vector<float> floats; // when set with SetUniformF
        std::vector<int> ints;     // when set with SetUniformI
        bool isInt = false;
        std::uint64_t serial = 0;
    };

    void SetFloats(const char* name, const float* values, unsigned count);
    void SetInts(const char* name, const int* values, unsigned count);
    // Null when never set. The pointer stays valid for the store's life.
    const Value* Find(const std::string& name) const;
    std::uint64_t Serial() const { return serial_; }

private:
    std::unordered_map<std::string, Value> values_;
    std::uint64_t serial_ = 0;
};
