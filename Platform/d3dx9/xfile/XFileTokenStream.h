#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One token of a .x file body, the same for the text and the binary format. Separators (, and ;) are
// dropped: they carry no information the reader needs, and exporters place them inconsistently.
struct XFileToken {
    enum class Type { End, Name, String, Integer, Float, Guid, OBrace, CBrace, Other };
    Type type = Type::End;
    std::string text;     // Name, String, Guid
    double number = 0.0;  // Integer, Float
    std::uint32_t integer = 0;  // Integer
};

// Splits the body of a .x file (after the 16-byte header) into tokens. Text: identifiers, numbers,
// "strings", <guids>, braces, // and # comments. Binary: the token stream with its integer and float
// lists, which are handed out one element at a time.
class XFileTokenStream {
public:
    XFileTokenStream(const std::uint8_t* data, std::size_t size, bool binary, bool doubleFloats);

    // Reads the next token; false (with Error()) on malformed input. At the end, type End.
    bool Next(XFileToken& token);
    // Looks at the next token without consuming it.
    bool Peek(XFileToken& token);

    // True when the rest of the input can still hold count more numbers; guards allocations.
    bool CanHoldNumbers(std::uint64_t count) const;

    const std::string& Error() const { return error_; }

private:
    bool ReadText(XFileToken& token);
    bool ReadBinary(XFileToken& token);
    bool Fail(const std::string& message);
    bool Have(std::size_t bytes) const { return size_ - pos_ >= bytes; }
    std::uint16_t U16();
    std::uint32_t U32();

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool binary_;
    bool doubleFloats_;

    // Binary lists still being handed out.
    enum class ListKind { None, Integers, Floats };
    ListKind listKind_ = ListKind::None;
    std::uint32_t listLeft_ = 0;

    bool hasPeeked_ = false;
    bool peekOk_ = true;
    XFileToken peeked_;
    std::string error_;
};
