#include "TrackText.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kCountSize = 4;
constexpr std::size_t kRecordSize = 9;
constexpr std::uint32_t kQuietNaN = 0x7fc00000u;
constexpr std::uint32_t kSignBit = 0x80000000u;

const char* const kNames[] = {"step", "linear", "smooth", "ramp"};

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        std::size_t end = i;
        while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end])))
            ++end;
        if (end > i)
            fields.push_back(line.substr(i, end - i));
        i = end;
    }
    return fields;
}

bool AllDigits(const std::string& text, std::size_t from = 0)
{
    if (from >= text.size())
        return false;
    for (std::size_t i = from; i < text.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

std::uint32_t ParseRow(unsigned line, const std::string& field)
{
    std::uint64_t row = 0;
    bool ok = AllDigits(field);
    for (std::size_t i = 0; ok && i < field.size(); ++i) {
        row = row * 10 + static_cast<unsigned>(field[i] - '0');
        ok = row <= 0xffffffffull;
    }
    if (!ok)
        throw TrackTextError(line, "row \"" + field + "\" is not an unsigned 32-bit integer");
    return static_cast<std::uint32_t>(row);
}

float FromBits(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint32_t ToBits(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

bool IsNaNBits(std::uint32_t bits)
{
    return (bits & 0x7f800000u) == 0x7f800000u && (bits & 0x007fffffu) != 0;
}

float ParseValue(unsigned line, const std::string& field)
{
    const std::string lower = Lower(field);
    const std::string bad = "value \"" + field + "\" is not a number";
    // NaNs are read here rather than by strtof, whose reading of a payload is the C
    // library's own business.
    if (lower == "nan" || lower == "+nan")
        return FromBits(kQuietNaN);
    if (lower == "-nan")
        return FromBits(kQuietNaN | kSignBit);
    if (lower.compare(0, 4, "nan(") == 0) {
        const std::string digits = lower.substr(4);
        if (digits.size() < 4 || digits.size() > 11 || digits.compare(0, 2, "0x") != 0 || digits.back() != ')')
            throw TrackTextError(line, bad);
        const std::string hex = digits.substr(2, digits.size() - 3);
        for (char c : hex)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                throw TrackTextError(line, bad);
        const std::uint32_t bits = static_cast<std::uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
        if (!IsNaNBits(bits))
            throw TrackTextError(line, "value \"" + field + "\" does not hold the bits of a NaN");
        return FromBits(bits);
    }
    if (lower.find("nan") != std::string::npos)
        throw TrackTextError(line, bad);

    errno = 0;
    char* end = nullptr;
    const float value = std::strtof(field.c_str(), &end);
    if (end == field.c_str() || *end != '\0')
        throw TrackTextError(line, bad);
    // Underflow towards zero rounds like any other decimal; overflow would silently turn
    // a typing error into an infinity.
    if (errno == ERANGE && std::isinf(value))
        throw TrackTextError(line, "value \"" + field + "\" is out of the range of a 32-bit float");
    return value;
}

int ParseInterpolation(unsigned line, const std::string& field)
{
    const std::string lower = Lower(field);
    for (int code = 0; code < 4; ++code)
        if (lower == kNames[code])
            return code;
    const std::size_t digitsFrom = (field[0] == '-' || field[0] == '+') ? 1 : 0;
    if (AllDigits(field, digitsFrom) && field.size() - digitsFrom <= 4) {
        const int code = std::atoi(field.c_str());
        if (code >= -128 && code <= 127)
            return code;
    }
    throw TrackTextError(line, "interpolation \"" + field +
                                   "\" is not step, linear, smooth, ramp or a code from -128 to 127");
}

void PutU32(std::vector<unsigned char>& out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

std::uint32_t GetU32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

} // namespace

TrackTextError::TrackTextError(unsigned line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message), line(line)
{
}

TrackKeys ParseTrackText(const std::string& text)
{
    TrackKeys keys;
    unsigned lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;

        const std::size_t comment = line.find('#');
        if (comment != std::string::npos)
            line.erase(comment);
        const std::vector<std::string> fields = Fields(line);
        if (fields.empty())
            continue;
        if (fields.size() != 3)
            throw TrackTextError(lineNumber, "expected \"row value interpolation\", found " +
                                                 std::to_string(fields.size()) + " field" +
                                                 (fields.size() == 1 ? "" : "s"));
        const std::uint32_t row = ParseRow(lineNumber, fields[0]);
        const float value = ParseValue(lineNumber, fields[1]);
        const int interpolation = ParseInterpolation(lineNumber, fields[2]);
        keys[row] = sync::Track::KeyFrame{value, interpolation};
    }
    return keys;
}

std::string FormatTrackValue(float value)
{
    char text[32];
    if (std::isnan(value))
        std::snprintf(text, sizeof text, "nan(0x%08lx)", static_cast<unsigned long>(ToBits(value)));
    else
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

std::string FormatTrackText(const TrackKeys& keys)
{
    std::string text;
    for (const auto& [row, key] : keys) {
        text += std::to_string(row) + " " + FormatTrackValue(key.value) + " ";
        if (key.interpolation >= 0 && key.interpolation < 4)
            text += kNames[key.interpolation];
        else
            text += std::to_string(key.interpolation);
        text += "\n";
    }
    return text;
}

std::vector<unsigned char> BuildTrackFile(const TrackKeys& keys)
{
    if (keys.size() > 0xffffffffull)
        throw std::invalid_argument("too many key frames for a track file");
    std::vector<unsigned char> out;
    out.reserve(kCountSize + kRecordSize * keys.size());
    PutU32(out, static_cast<std::uint32_t>(keys.size()));
    for (const auto& [row, key] : keys) {
        if (key.interpolation < -128 || key.interpolation > 127)
            throw std::invalid_argument("interpolation code " + std::to_string(key.interpolation) + " at row " +
                                        std::to_string(row) + " does not fit a signed byte");
        PutU32(out, row);
        PutU32(out, ToBits(key.value));
        out.push_back(static_cast<unsigned char>(key.interpolation & 0xff));
    }
    return out;
}

TrackFileContents ReadTrackFile(const std::vector<unsigned char>& bytes)
{
    TrackFileContents contents;
    if (bytes.size() < kCountSize)
        return contents;
    contents.hasCount = true;
    contents.declaredCount = GetU32(bytes.data());
    const std::size_t whole = (bytes.size() - kCountSize) / kRecordSize;
    contents.wholeRecords = static_cast<std::uint32_t>(contents.declaredCount < whole ? contents.declaredCount : whole);
    for (std::uint32_t i = 0; i < contents.wholeRecords; ++i) {
        const unsigned char* record = bytes.data() + kCountSize + kRecordSize * i;
        const int code = record[8] < 0x80 ? int(record[8]) : int(record[8]) - 0x100;
        contents.keys[GetU32(record)] = sync::Track::KeyFrame{FromBits(GetU32(record + 4)), code};
    }
    return contents;
}
