#pragma once
#include <stdexcept>

// A texture that cannot be made as asked: an option out of range, a font that does not load,
// text that does not fit. The message says what to change.
struct TexGenError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
