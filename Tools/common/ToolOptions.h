#pragma once
#include <cstddef>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The command lines of orvala-tool: each command's options are written once, in a table of
// ToolOption, and both the parsing and the usage line come from that table.

// A command line that does not fit the command's shape. The tool prints the message and the
// command's usage, and ends with exit code 1.
struct ToolUsageError {
    std::string message;
};

enum class ToolOptionKind {
    Flag,   // no value: "--mips"
    Whole,  // a whole number: "--fps 60"
    Number, // a finite decimal number: "--from 12.5"
    Size,   // two whole numbers as WIDTHxHEIGHT: "--size 1280x720"
    Text,   // any word: "--wav out.wav"
};

// One option of a command. A one-letter option ("-I") also takes its value joined to it ("-Ifolder").
// Every command words the same fault the same way: a bad value is told as
// `--fps takes a whole number from 1 to 240, not "0"`, a second use as `--fps is given twice`, and a
// missing value as `--fps needs a value` (or what Needs names).
struct ToolOption {
    static ToolOption Flag(std::string name);
    // The range holds for the value, or for each side of a size.
    static ToolOption Whole(std::string name);
    static ToolOption Whole(std::string name, double low, double high);
    static ToolOption Number(std::string name);
    static ToolOption Number(std::string name, double low, double high);
    static ToolOption Size(std::string name, unsigned low, unsigned high);
    static ToolOption Text(std::string name, std::string shown);

    // The value as the usage shows it ("N", "S", "<out.wav>").
    ToolOption& Shown(std::string text) { return Set(&ToolOption::shown, std::move(text)); }
    // What a missing value is called: "--wav needs one file name". "a value" without it.
    ToolOption& Needs(std::string text) { return Set(&ToolOption::needs, std::move(text)); }
    // Each use takes `count` values, each checked as the kind says: "--size 2 1 4" is
    // ToolOption::Number("--size").Takes(3). A use with fewer words after it "needs 3 values".
    ToolOption& Takes(std::size_t count)
    {
        values = count;
        return *this;
    }
    // The option may be given again, each time with a value of its own; otherwise a second use is an error.
    ToolOption& Repeatable()
    {
        repeatable = true;
        return *this;
    }

    std::string name;
    ToolOptionKind kind = ToolOptionKind::Text;
    bool ranged = false;
    double low = 0.0;
    double high = 0.0;
    std::string shown;
    std::string needs = "a value";
    bool repeatable = false;
    std::size_t values = 1; // taken by each use; none for a flag

private:
    ToolOption& Set(std::string ToolOption::*field, std::string text)
    {
        this->*field = std::move(text);
        return *this;
    }
};

// One command as its usage line shows it: "orvala-tool <words> <operands> [options]...".
struct ToolCommandShape {
    std::string words;                 // "frame", "music render"
    std::string operands;              // "<archive> <seconds> <out.png>"
    std::vector<ToolOption> options;
    // The most plain words the command takes; one more is a stray argument.
    std::size_t mostOperands = std::numeric_limits<std::size_t>::max();
    std::string notes;                 // lines printed under the usage line as they are
};

// The usage line of the command (and its notes), ending in a newline.
std::string ToolUsage(const ToolCommandShape& shape);

struct ToolSize {
    unsigned width = 0;
    unsigned height = 0;
};

// The words after a command, split into its options and its plain words (operands). Every value is
// checked against its option while parsing; a command line that does not fit throws ToolUsageError.
class ToolArguments {
public:
    ToolArguments(const std::vector<std::string>& args, const ToolCommandShape& shape);
    ToolArguments(const std::vector<std::string>& args, const std::vector<ToolOption>& options);

    const std::vector<std::string>& Operands() const { return operands; }

    bool Has(const std::string& name) const;
    // The option's value, or `otherwise` when it is not given. Asking for an option the table does
    // not hold, or of another kind, is a mistake of the command's code (std::logic_error).
    long long Whole(const std::string& name, long long otherwise) const;
    double Number(const std::string& name, double otherwise) const;
    ToolSize Size(const std::string& name, ToolSize otherwise) const;
    std::string Text(const std::string& name, const std::string& otherwise) const;
    // The values of a Number option that takes several, or none when it is not given.
    std::vector<double> Numbers(const std::string& name) const;
    // Every value of the option in the order given (all values of every use); empty when it is not given.
    const std::vector<std::string>& All(const std::string& name) const;

private:
    const ToolOption& Find(const std::string& name, ToolOptionKind kind) const;

    std::vector<ToolOption> options;
    std::map<std::string, std::vector<std::string>> values;
    std::vector<std::string> operands;
};
