#include "common/synth/NoteName.h"

#include <cctype>
#include <cstdlib>
#include <map>

namespace synth {

namespace {

// Reads the letter and accidental at the start of text; returns the characters used, 0 if none.
std::size_t ParsePitchClass(const std::string& text, int& pitchClass)
{
    static const int kLetters[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (text.empty() || text[0] < 'A' || text[0] > 'G')
        return 0;
    pitchClass = kLetters[text[0] - 'A'];
    if (text.size() > 1 && text[1] == '#') {
        ++pitchClass;
        return 2;
    }
    if (text.size() > 1 && text[1] == 'b') {
        --pitchClass;
        return 2;
    }
    return 1;
}

bool ParseOctave(const std::string& text, int& octave)
{
    if (text.empty() || text.size() > 2)
        return false;
    const bool negative = text[0] == '-';
    if (negative && text.size() != 2)
        return false;
    const char digit = text[negative ? 1 : 0];
    if (!std::isdigit(static_cast<unsigned char>(digit)) || (!negative && text.size() != 1))
        return false;
    octave = negative ? -(digit - '0') : digit - '0';
    return true;
}

} // namespace

bool ParseNoteName(const std::string& text, int& note)
{
    int pitchClass = 0;
    const std::size_t used = ParsePitchClass(text, pitchClass);
    int octave = 0;
    if (used == 0 || !ParseOctave(text.substr(used), octave))
        return false;
    note = (octave + 1) * 12 + pitchClass;
    return note >= 0 && note <= 127;
}

bool ParseChord(const std::string& text, std::vector<int>& notes)
{
    notes.clear();
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        std::size_t start = 0;
        while (true) {
            const std::size_t plus = text.find('+', start);
            int note = 0;
            if (!ParseNoteName(text.substr(start, plus == std::string::npos ? std::string::npos : plus - start), note))
                return false;
            notes.push_back(note);
            if (plus == std::string::npos)
                return true;
            start = plus + 1;
        }
    }
    static const std::map<std::string, std::vector<int>> kQualities = {
        {"", {0, 4, 7}},        {"m", {0, 3, 7}},        {"7", {0, 4, 7, 10}},   {"m7", {0, 3, 7, 10}},
        {"maj7", {0, 4, 7, 11}}, {"6", {0, 4, 7, 9}},     {"m6", {0, 3, 7, 9}},   {"sus2", {0, 2, 7}},
        {"sus4", {0, 5, 7}},    {"dim", {0, 3, 6}},      {"aug", {0, 4, 8}},     {"add9", {0, 4, 7, 14}},
        {"madd9", {0, 3, 7, 14}}};
    const std::string symbol = text.substr(0, colon);
    int pitchClass = 0;
    const std::size_t used = ParsePitchClass(symbol, pitchClass);
    int octave = 0;
    if (used == 0 || !ParseOctave(text.substr(colon + 1), octave))
        return false;
    const auto quality = kQualities.find(symbol.substr(used));
    if (quality == kQualities.end())
        return false;
    const int root = (octave + 1) * 12 + pitchClass;
    for (int interval : quality->second) {
        if (root + interval < 0 || root + interval > 127)
            return false;
        notes.push_back(root + interval);
    }
    return true;
}

} // namespace synth
