#include "CurveText.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "common/WholeFile.h"

namespace {

std::string SystemReason()
{
    return std::strerror(errno);
}

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::string Where(const std::string& sourceName, std::size_t line)
{
    return sourceName + ":" + std::to_string(line) + ": ";
}

float ParseNumber(const std::string& word, const std::string& where)
{
    char* end = nullptr;
    errno = 0;
    const float value = std::strtof(word.c_str(), &end);
    if (end == word.c_str() || *end != '\0')
        throw std::runtime_error(where + "\"" + word + "\" is not a number");
    // Values too small for a normal single round to the nearest subnormal, which is what
    // %.9g wrote; only values beyond the single range and infinities/NaNs are refused.
    if (!std::isfinite(value))
        throw std::runtime_error(where + "\"" + word + "\" is not a finite single-precision number");
    return value;
}

std::string Number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

void PutFloat(std::vector<unsigned char>& out, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(bits >> shift));
}

} // namespace

std::vector<ANIMCURVEKEY> ParseCurveText(const std::string& text, const std::string& sourceName)
{
    std::vector<ANIMCURVEKEY> keys;
    std::size_t previousKeyLine = 0;
    std::size_t lineNumber = 0;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        ++lineNumber;
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;

        const std::size_t comment = line.find('#');
        if (comment != std::string::npos)
            line.erase(comment);
        const std::vector<std::string> words = Words(line);
        if (words.empty())
            continue;
        const std::string where = Where(sourceName, lineNumber);
        if (words.size() != 4)
            throw std::runtime_error(where + "expected four numbers \"time value in-tangent out-tangent\", found " +
                                     std::to_string(words.size()) + " words");
        ANIMCURVEKEY key{ParseNumber(words[0], where), ParseNumber(words[1], where), ParseNumber(words[2], where),
                         ParseNumber(words[3], where)};
        if (!keys.empty() && key.time < keys.back().time)
            throw std::runtime_error(where + "key at time " + Number(key.time) + " comes before the key at time " +
                                     Number(keys.back().time) + " on line " + std::to_string(previousKeyLine) +
                                     "; keys must ascend by time");
        keys.push_back(key);
        previousKeyLine = lineNumber;
    }
    if (keys.empty())
        throw std::runtime_error(sourceName + ": no keys; a curve needs at least one \"time value in-tangent "
                                              "out-tangent\" line");
    return keys;
}

std::vector<ANIMCURVEKEY> ReadCurveTextFile(const std::string& path)
{
    return ParseCurveText(ReadWholeText(path), path);
}

std::string FormatCurveText(const std::vector<ANIMCURVEKEY>& keys)
{
    std::string text;
    for (const ANIMCURVEKEY& key : keys)
        text += Number(key.time) + " " + Number(key.value) + " " + Number(key.inTangent) + " " +
                Number(key.outTangent) + "\n";
    return text;
}

std::vector<unsigned char> EncodeCurveKeys(const std::vector<ANIMCURVEKEY>& keys)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(keys.size() * kAnimCurveKeyBytes);
    for (const ANIMCURVEKEY& key : keys) {
        PutFloat(bytes, key.time);
        PutFloat(bytes, key.value);
        PutFloat(bytes, key.inTangent);
        PutFloat(bytes, key.outTangent);
    }
    return bytes;
}

void WriteCurveFile(const std::string& path, const std::vector<ANIMCURVEKEY>& keys)
{
    const std::vector<unsigned char> bytes = EncodeCurveKeys(keys);
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw std::runtime_error("cannot write \"" + path + "\": " + SystemReason());
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        if (!written)
            errno = writeErrno;
        throw std::runtime_error("cannot write \"" + path + "\": " + SystemReason());
    }
}

CurveFileContents ReadCurveFile(const std::string& path)
{
    const std::string bytes = ReadWholeText(path);
    CurveFileContents contents;
    contents.keys = DecodeAnimCurveKeys(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    contents.ignoredBytes = bytes.size() % kAnimCurveKeyBytes;
    return contents;
}
