#pragma once
#include <algorithm>
#include <cstddef>
#include <vector>

// How many bytes of two pictures differ; pictures of different sizes differ everywhere.
inline std::size_t DifferingBytes(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    if (a.size() != b.size())
        return std::max(a.size(), b.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        differing += a[i] != b[i] ? 1 : 0;
    return differing;
}
