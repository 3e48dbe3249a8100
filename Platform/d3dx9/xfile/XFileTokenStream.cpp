#include "d3dx9/xfile/XFileTokenStream.h"

#include <charconv>
#include <cstring>
#include <system_error>
#include <utility>

namespace {

constexpr std::uint16_t kTokenName = 1;
constexpr std::uint16_t kTokenString = 2;
constexpr std::uint16_t kTokenInteger = 3;
constexpr std::uint16_t kTokenGuid = 5;
constexpr std::uint16_t kTokenIntegerList = 6;
constexpr std::uint16_t kTokenFloatList = 7;
constexpr std::uint16_t kTokenOBrace = 10;
constexpr std::uint16_t kTokenCBrace = 11;
constexpr std::uint16_t kTokenComma = 19;
constexpr std::uint16_t kTokenSemicolon = 20;
constexpr std::uint16_t kTokenTemplate = 31;

constexpr std::size_t kMaxGuidLength = 64;
constexpr std::size_t kMaxNumberLength = 256;

bool IsNameStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }

bool IsNameChar(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

bool IsNumberStart(unsigned char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }

// '-', '+' and '.' begin a number only when digits follow ("[...]" in templates is punctuation).
bool StartsNumber(const std::uint8_t* p, std::size_t left)
{
    std::size_t i = 0;
    if (i < left && (p[i] == '-' || p[i] == '+'))
        ++i;
    if (i < left && p[i] == '.')
        ++i;
    return i < left && p[i] >= '0' && p[i] <= '9';
}

bool IsNumberChar(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '+' ||
           c == '.' || c == '#';
}

// Parses a text number. Windows exporters write non-finite values as "1.#QNAN0" or "-1.#IND00"; those
// read as 0. Returns false when the text is not a number at all.
bool ParseNumber(const std::string& text, XFileToken& token)
{
    std::size_t i = 0;
    const bool sign = text[0] == '-' || text[0] == '+';
    const bool negative = text[0] == '-';
    if (sign)
        ++i;
    bool digits = false;
    bool integral = true;
    std::uint64_t whole = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (whole <= 0xFFFFFFFFull)
            whole = whole * 10 + static_cast<std::uint64_t>(text[i] - '0');
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        integral = false;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            digits = true;
    }
    if (!digits)
        return false;
    if (i < text.size() && text[i] == '#') {
        token.type = XFileToken::Type::Float;
        token.number = 0.0;
        return true;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E'))
        integral = false;

    double value = 0.0;
    const char* first = text.data() + (text[0] == '+' ? 1 : 0);
    const char* last = text.data() + text.size();
    const auto parsed = std::from_chars(first, last, value);
    if (parsed.ec != std::errc() || parsed.ptr != last)
        return false;
    token.number = value;
    if (integral && !negative && whole <= 0xFFFFFFFFull) {
        token.type = XFileToken::Type::Integer;
        token.integer = static_cast<std::uint32_t>(whole);
    } else {
        token.type = XFileToken::Type::Float;
    }
    return true;
}

}  // namespace

XFileTokenStream::XFileTokenStream(const std::uint8_t* data, std::size_t size, bool binary, bool doubleFloats)
    : data_(data), size_(size), binary_(binary), doubleFloats_(doubleFloats)
{
}

bool XFileTokenStream::Fail(const std::string& message)
{
    error_ = message + " (at byte " + std::to_string(pos_ + 16) + ")";
    return false;
}

std::uint16_t XFileTokenStream::U16()
{
    const std::uint16_t v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
}

std::uint32_t XFileTokenStream::U32()
{
    const std::uint8_t* p = data_ + pos_;
    const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                            (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    pos_ += 4;
    return v;
}

bool XFileTokenStream::Peek(XFileToken& token)
{
    if (!hasPeeked_) {
        peekOk_ = binary_ ? ReadBinary(peeked_) : ReadText(peeked_);
        hasPeeked_ = true;
    }
    token = peeked_;
    return peekOk_;
}

bool XFileTokenStream::Next(XFileToken& token)
{
    if (hasPeeked_) {
        hasPeeked_ = false;
        token = std::move(peeked_);
        return peekOk_;
    }
    return binary_ ? ReadBinary(token) : ReadText(token);
}

bool XFileTokenStream::CanHoldNumbers(std::uint64_t count) const
{
    const std::uint64_t perNumber = binary_ ? 4 : 1;
    std::uint64_t capacity = (size_ - pos_) / perNumber;
    if (binary_ && listKind_ != ListKind::None)
        capacity += listLeft_;
    if (hasPeeked_ && (peeked_.type == XFileToken::Type::Integer || peeked_.type == XFileToken::Type::Float))
        capacity += 1;
    return count <= capacity;
}

bool XFileTokenStream::ReadText(XFileToken& token)
{
    token = XFileToken{};
    for (;;) {
        while (pos_ < size_) {
            const unsigned char c = data_[pos_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';' || c == '\0')
                ++pos_;
            else
                break;
        }
        if (pos_ >= size_)
            return true;  // End
        const unsigned char c = data_[pos_];
        if (c == '#' || (c == '/' && pos_ + 1 < size_ && data_[pos_ + 1] == '/')) {
            while (pos_ < size_ && data_[pos_] != '\n')
                ++pos_;
            continue;
        }
        break;
    }

    const unsigned char c = data_[pos_];
    if (c == '{' || c == '}') {
        token.type = c == '{' ? XFileToken::Type::OBrace : XFileToken::Type::CBrace;
        ++pos_;
        return true;
    }
    if (c == '"') {
        const std::size_t start = ++pos_;
        while (pos_ < size_ && data_[pos_] != '"')
            ++pos_;
        if (pos_ >= size_) {
            pos_ = start - 1;
            return Fail("unterminated string");
        }
        token.type = XFileToken::Type::String;
        token.text.assign(reinterpret_cast<const char*>(data_ + start), pos_ - start);
        ++pos_;
        return true;
    }
    if (c == '<') {
        const std::size_t start = ++pos_;
        while (pos_ < size_ && data_[pos_] != '>' && pos_ - start <= kMaxGuidLength)
            ++pos_;
        if (pos_ >= size_ || data_[pos_] != '>') {
            pos_ = start - 1;
            return Fail("unterminated GUID");
        }
        token.type = XFileToken::Type::Guid;
        token.text.assign(reinterpret_cast<const char*>(data_ + start), pos_ - start);
        ++pos_;
        return true;
    }
    if (IsNameStart(c)) {
        const std::size_t start = pos_;
        while (pos_ < size_ && IsNameChar(data_[pos_]))
            ++pos_;
        token.type = XFileToken::Type::Name;
        token.text.assign(reinterpret_cast<const char*>(data_ + start), pos_ - start);
        return true;
    }
    if (IsNumberStart(c) && StartsNumber(data_ + pos_, size_ - pos_)) {
        const std::size_t start = pos_;
        while (pos_ < size_ && IsNumberChar(data_[pos_]) && pos_ - start < kMaxNumberLength)
            ++pos_;
        if (pos_ < size_ && IsNumberChar(data_[pos_])) {
            pos_ = start;
            return Fail("number longer than " + std::to_string(kMaxNumberLength) + " characters");
        }
        const std::string text(reinterpret_cast<const char*>(data_ + start), pos_ - start);
        if (!ParseNumber(text, token)) {
            pos_ = start;
            return Fail("malformed number \"" + text + "\"");
        }
        return true;
    }
    token.type = XFileToken::Type::Other;
    token.text.assign(1, static_cast<char>(c));
    ++pos_;
    return true;
}

bool XFileTokenStream::ReadBinary(XFileToken& token)
{
    token = XFileToken{};
    if (listKind_ != ListKind::None) {
        if (listKind_ == ListKind::Integers) {
            token.type = XFileToken::Type::Integer;
            token.integer = U32();
            token.number = token.integer;
        } else {
            token.type = XFileToken::Type::Float;
            if (doubleFloats_) {
                std::uint64_t bits = U32();
                bits |= static_cast<std::uint64_t>(U32()) << 32;
                double value;
                std::memcpy(&value, &bits, sizeof value);
                token.number = value;
            } else {
                const std::uint32_t bits = U32();
                float value;
                std::memcpy(&value, &bits, sizeof value);
                token.number = value;
            }
        }
        if (--listLeft_ == 0)
            listKind_ = ListKind::None;
        return true;
    }

    for (;;) {
        if (pos_ >= size_)
            return true;  // End
        if (!Have(2))
            return Fail("truncated binary token");
        const std::size_t tokenStart = pos_;
        const std::uint16_t id = U16();
        switch (id) {
        case kTokenName:
        case kTokenString: {
            if (!Have(4))
                return Fail("truncated binary name or string");
            const std::uint32_t length = U32();
            if (!Have(length) || (id == kTokenString && !Have(std::size_t{length} + 2))) {
                pos_ = tokenStart;
                return Fail("binary name or string longer than the data");
            }
            token.type = id == kTokenName ? XFileToken::Type::Name : XFileToken::Type::String;
            token.text.assign(reinterpret_cast<const char*>(data_ + pos_), length);
            pos_ += length;
            if (id == kTokenString) {
                const std::uint16_t terminator = U16();
                if (terminator != kTokenComma && terminator != kTokenSemicolon) {
                    pos_ = tokenStart;
                    return Fail("binary string without a terminator");
                }
            }
            return true;
        }
        case kTokenInteger:
            if (!Have(4))
                return Fail("truncated binary integer");
            token.type = XFileToken::Type::Integer;
            token.integer = U32();
            token.number = token.integer;
            return true;
        case kTokenGuid:
            if (!Have(16))
                return Fail("truncated binary GUID");
            token.type = XFileToken::Type::Guid;
            token.text.assign(reinterpret_cast<const char*>(data_ + pos_), 16);
            pos_ += 16;
            return true;
        case kTokenIntegerList:
        case kTokenFloatList: {
            if (!Have(4))
                return Fail("truncated binary list");
            const std::uint32_t count = U32();
            const std::uint64_t elementSize = (id == kTokenFloatList && doubleFloats_) ? 8 : 4;
            if (std::uint64_t{count} * elementSize > size_ - pos_) {
                pos_ = tokenStart;
                return Fail("binary list of " + std::to_string(count) + " elements is longer than the data");
            }
            if (count == 0)
                continue;
            listKind_ = id == kTokenIntegerList ? ListKind::Integers : ListKind::Floats;
            listLeft_ = count;
            return ReadBinary(token);
        }
        case kTokenOBrace:
            token.type = XFileToken::Type::OBrace;
            return true;
        case kTokenCBrace:
            token.type = XFileToken::Type::CBrace;
            return true;
        case kTokenComma:
        case kTokenSemicolon:
            continue;
        case kTokenTemplate:
            token.type = XFileToken::Type::Name;
            token.text = "template";
            return true;
        default:
            if ((id >= 12 && id <= 18) || (id >= 40 && id <= 53)) {
                token.type = XFileToken::Type::Other;
                token.integer = id;
                return true;
            }
            pos_ = tokenStart;
            return Fail("unknown binary token " + std::to_string(id));
        }
    }
}
