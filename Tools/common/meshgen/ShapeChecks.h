#pragma once
#include <string>

// Argument checks shared by the shape generators. A value out of range throws
// std::invalid_argument with a message that names the option.
namespace meshgen {

void RequireCount(const char* option, int value, int least, int most);
void RequirePositive(const char* option, double value);
void RequireRange(const char* option, double value, double least, double most);

} // namespace meshgen
