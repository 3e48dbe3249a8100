#include "common/meshgen/ShapeChecks.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace meshgen {

namespace {

std::string Text(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace

void RequireCount(const char* option, int value, int least, int most)
{
    if (value < least || value > most)
        throw std::invalid_argument(std::string(option) + " takes a whole number from " + std::to_string(least) +
                                    " to " + std::to_string(most) + ", not \"" + std::to_string(value) + "\"");
}

void RequirePositive(const char* option, double value)
{
    if (!std::isfinite(value) || value <= 0.0)
        throw std::invalid_argument(std::string(option) + " takes a number above 0, not \"" + Text(value) + "\"");
}

void RequireRange(const char* option, double value, double least, double most)
{
    if (!std::isfinite(value) || value < least || value > most)
        throw std::invalid_argument(std::string(option) + " takes a number from " + Text(least) + " to " +
                                    Text(most) + ", not \"" + Text(value) + "\"");
}

} // namespace meshgen
