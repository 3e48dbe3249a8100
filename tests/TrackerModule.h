#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

// A 4-channel ProTracker module ("M.K.") laid out byte by byte: one looped 8-bit sample (one
// cycle of a sine), one pattern that plays it on channel 1 at C-2 and breaks after row
// `rows` - 1, so the song lasts `rows` rows at speed 6 / 125 BPM (0.12 s per row).
inline std::vector<unsigned char> ProTrackerModule(unsigned rows = 8)
{
    constexpr unsigned kSampleBytes = 32;
    std::vector<unsigned char> mod;
    const auto put16 = [&mod](unsigned value) {
        mod.push_back(static_cast<unsigned char>(value >> 8));
        mod.push_back(static_cast<unsigned char>(value & 0xff));
    };
    const char title[20] = "orvala test";
    mod.insert(mod.end(), title, title + 20);
    for (int sample = 1; sample <= 31; ++sample) {
        const char name[22] = "sine";
        mod.insert(mod.end(), name, name + 22);
        const bool used = sample == 1;
        put16(used ? kSampleBytes / 2 : 0); // length in words
        mod.push_back(0);                   // finetune
        mod.push_back(used ? 64 : 0);       // volume
        put16(0);                           // loop start in words
        put16(used ? kSampleBytes / 2 : 1); // loop length in words (1: no loop)
    }
    mod.push_back(1);   // song length in orders
    mod.push_back(127); // restart byte
    for (int order = 0; order < 128; ++order)
        mod.push_back(0);
    mod.insert(mod.end(), {'M', '.', 'K', '.'});

    constexpr unsigned kPeriodC2 = 428;
    for (unsigned row = 0; row < 64; ++row) {
        for (unsigned channel = 0; channel < 4; ++channel) {
            unsigned char cell[4] = {0, 0, 0, 0};
            if (row == 0 && channel == 0) {
                cell[0] = static_cast<unsigned char>((1 & 0xf0) | (kPeriodC2 >> 8));
                cell[1] = static_cast<unsigned char>(kPeriodC2 & 0xff);
                cell[2] = static_cast<unsigned char>((1 & 0x0f) << 4);
            }
            if (row == rows - 1 && channel == 1)
                cell[2] = 0x0d; // pattern break: the song ends here
            mod.insert(mod.end(), cell, cell + 4);
        }
    }
    for (unsigned i = 0; i < kSampleBytes; ++i)
        mod.push_back(static_cast<unsigned char>(static_cast<std::int8_t>(std::lround(100 * std::sin(2 * 3.14159265358979323846 * i / kSampleBytes)))));
    return mod;
}
