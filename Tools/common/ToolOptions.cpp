#include "common/ToolOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

std::string NumberText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

bool IsDigits(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Whole numbers are read only as plain digits, with a minus sign at most, and only as many as
// fit a long long whatever they are.
bool ReadWhole(const std::string& text, long long& value)
{
    const std::string digits = !text.empty() && text[0] == '-' ? text.substr(1) : text;
    if (!IsDigits(digits) || digits.size() > 18)
        return false;
    value = std::stoll(text);
    return true;
}

bool ReadNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const double read = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(read))
        return false;
    value = read;
    return true;
}

bool InRange(const ToolOption& option, double value)
{
    return !option.ranged || (value >= option.low && value <= option.high);
}

bool ReadSize(const ToolOption& option, const std::string& text, ToolSize& size)
{
    const std::size_t x = text.find('x');
    if (x == std::string::npos)
        return false;
    long long width = 0, height = 0;
    const std::string w = text.substr(0, x), h = text.substr(x + 1);
    if (!IsDigits(w) || !IsDigits(h) || !ReadWhole(w, width) || !ReadWhole(h, height) ||
        !InRange(option, static_cast<double>(width)) || !InRange(option, static_cast<double>(height)))
        return false;
    size.width = static_cast<unsigned>(width);
    size.height = static_cast<unsigned>(height);
    return true;
}

std::string Range(const ToolOption& option, const char* lead)
{
    return option.ranged ? lead + NumberText(option.low) + " to " + NumberText(option.high) : std::string();
}

// The rule of the option's values, after its name; an option of several values words it for the
// one at fault.
std::string Rule(const ToolOption& option)
{
    switch (option.kind) {
    case ToolOptionKind::Whole: return "takes a whole number" + Range(option, " from ");
    case ToolOptionKind::Number: return "takes a number" + Range(option, " from ");
    case ToolOptionKind::Size: return "takes WIDTHxHEIGHT" + Range(option, ", each ");
    default: return "takes no value";
    }
}

// Checks one value against its option.
void Check(const ToolOption& option, const std::string& text)
{
    bool good = true;
    switch (option.kind) {
    case ToolOptionKind::Whole: {
        long long value = 0;
        good = ReadWhole(text, value) && InRange(option, static_cast<double>(value));
        break;
    }
    case ToolOptionKind::Number: {
        double value = 0.0;
        good = ReadNumber(text, value) && InRange(option, value);
        break;
    }
    case ToolOptionKind::Size: {
        ToolSize size;
        good = ReadSize(option, text, size);
        break;
    }
    default: break;
    }
    if (!good)
        throw ToolUsageError{option.name + " " + Rule(option) + ", not \"" + text + "\""};
}

// An option is a word of a dash and a letter or more ("-I", "--fps"); "-" alone and negative
// numbers ("-1", "-.5") are plain words.
bool LooksLikeOption(const std::string& word)
{
    if (word.size() < 2 || word[0] != '-')
        return false;
    const char next = word[1];
    return !(next >= '0' && next <= '9') && next != '.';
}

bool IsOneLetter(const ToolOption& option)
{
    return option.name.size() == 2 && option.name[0] == '-' && option.name[1] != '-';
}

ToolOption Make(std::string name, ToolOptionKind kind, std::string shown)
{
    ToolOption option;
    option.name = std::move(name);
    option.kind = kind;
    option.shown = std::move(shown);
    return option;
}

ToolOption Ranged(ToolOption option, double low, double high)
{
    option.ranged = true;
    option.low = low;
    option.high = high;
    return option;
}

} // namespace

ToolOption ToolOption::Flag(std::string name)
{
    ToolOption option = Make(std::move(name), ToolOptionKind::Flag, "");
    option.values = 0;
    return option;
}

ToolOption ToolOption::Whole(std::string name)
{
    return Make(std::move(name), ToolOptionKind::Whole, "N");
}

ToolOption ToolOption::Whole(std::string name, double low, double high)
{
    return Ranged(Whole(std::move(name)), low, high);
}

ToolOption ToolOption::Number(std::string name)
{
    return Make(std::move(name), ToolOptionKind::Number, "N");
}

ToolOption ToolOption::Number(std::string name, double low, double high)
{
    return Ranged(Number(std::move(name)), low, high);
}

ToolOption ToolOption::Size(std::string name, unsigned low, unsigned high)
{
    return Ranged(Make(std::move(name), ToolOptionKind::Size, "WxH"), low, high);
}

ToolOption ToolOption::Text(std::string name, std::string shown)
{
    return Make(std::move(name), ToolOptionKind::Text, std::move(shown));
}

std::string ToolUsage(const ToolCommandShape& shape)
{
    std::string line = "orvala-tool " + shape.words;
    if (!shape.operands.empty())
        line += " " + shape.operands;
    for (const ToolOption& option : shape.options) {
        line += " [" + option.name;
        if (option.kind != ToolOptionKind::Flag)
            line += " " + option.shown;
        line += option.repeatable ? "]..." : "]";
    }
    return line + "\n" + shape.notes;
}

ToolArguments::ToolArguments(const std::vector<std::string>& args, const ToolCommandShape& shape)
    : ToolArguments(args, shape.options)
{
    if (operands.size() > shape.mostOperands)
        throw ToolUsageError{"stray argument \"" + operands[shape.mostOperands] + "\""};
}

ToolArguments::ToolArguments(const std::vector<std::string>& args, const std::vector<ToolOption>& table)
    : options(table)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (!LooksLikeOption(word)) {
            operands.push_back(word);
            continue;
        }
        const ToolOption* option = nullptr;
        std::string joined; // the value of "-Ifolder"
        bool hasJoined = false;
        for (const ToolOption& candidate : options) {
            if (word == candidate.name) {
                option = &candidate;
            } else if (IsOneLetter(candidate) && word.compare(0, 2, candidate.name) == 0 &&
                       candidate.kind != ToolOptionKind::Flag) {
                option = &candidate;
                joined = word.substr(2);
                hasJoined = true;
            }
            if (option)
                break;
        }
        if (!option)
            throw ToolUsageError{"unknown option \"" + word + "\""};
        std::vector<std::string>& given = values[option->name];
        if (!given.empty() && !option->repeatable)
            throw ToolUsageError{option->name + " is given twice"};
        if (option->kind == ToolOptionKind::Flag) {
            given.emplace_back();
            continue;
        }
        if (hasJoined) {
            Check(*option, joined);
            given.push_back(joined);
            continue;
        }
        // The values are the words that follow, whatever they look like ("--wall -x 1,0,0").
        if (args.size() - 1 - i < option->values)
            throw ToolUsageError{option->name + " needs " +
                                 (option->values == 1 ? option->needs : std::to_string(option->values) + " values")};
        for (std::size_t v = 0; v < option->values; ++v) {
            Check(*option, args[++i]);
            given.push_back(args[i]);
        }
    }
}

const ToolOption& ToolArguments::Find(const std::string& name, ToolOptionKind kind) const
{
    for (const ToolOption& option : options)
        if (option.name == name) {
            if (option.kind != kind)
                throw std::logic_error("option " + name + " is read as another kind than its table gives");
            return option;
        }
    throw std::logic_error("option " + name + " is not in the command's table");
}

bool ToolArguments::Has(const std::string& name) const
{
    return values.count(name) != 0;
}

long long ToolArguments::Whole(const std::string& name, long long otherwise) const
{
    Find(name, ToolOptionKind::Whole);
    long long value = otherwise;
    if (Has(name))
        ReadWhole(values.at(name).back(), value);
    return value;
}

double ToolArguments::Number(const std::string& name, double otherwise) const
{
    Find(name, ToolOptionKind::Number);
    double value = otherwise;
    if (Has(name))
        ReadNumber(values.at(name).back(), value);
    return value;
}

ToolSize ToolArguments::Size(const std::string& name, ToolSize otherwise) const
{
    const ToolOption& option = Find(name, ToolOptionKind::Size);
    ToolSize size = otherwise;
    if (Has(name))
        ReadSize(option, values.at(name).back(), size);
    return size;
}

std::vector<double> ToolArguments::Numbers(const std::string& name) const
{
    const ToolOption& option = Find(name, ToolOptionKind::Number);
    std::vector<double> numbers;
    if (!Has(name))
        return numbers;
    const std::vector<std::string>& given = values.at(name);
    for (std::size_t i = given.size() - option.values; i < given.size(); ++i) // the last use's
        ReadNumber(given[i], numbers.emplace_back());
    return numbers;
}

std::string ToolArguments::Text(const std::string& name, const std::string& otherwise) const
{
    Find(name, ToolOptionKind::Text);
    return Has(name) ? values.at(name).back() : otherwise;
}

const std::vector<std::string>& ToolArguments::All(const std::string& name) const
{
    static const std::vector<std::string> none;
    for (const ToolOption& option : options)
        if (option.name == name) {
            const auto found = values.find(name);
            return found == values.end() ? none : found->second;
        }
    throw std::logic_error("option " + name + " is not in the command's table");
}
