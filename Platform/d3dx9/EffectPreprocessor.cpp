#include "d3dx9/EffectPreprocessor.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <set>

namespace {

constexpr int kMaxExpansionDepth = 64;
constexpr std::size_t kMaxExpandedLine = 1u << 20;

struct Failure {
    EffectLocation where;
    std::string message;
};

struct Macro {
    bool function = false;
    std::vector<std::string> params;
    std::string body;
};

bool IsIdentStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool IsIdentChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string Trim(const std::string& text)
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

// Reads an identifier at text[pos], advancing pos; empty when there is none.
std::string ReadIdent(const std::string& text, std::size_t& pos)
{
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    if (pos >= text.size() || !IsIdentStart(text[pos]))
        return {};
    const std::size_t begin = pos;
    while (pos < text.size() && IsIdentChar(text[pos]))
        ++pos;
    return text.substr(begin, pos - begin);
}

// A physical line split into its logical pieces: the line with comments blanked out.
struct LogicalLine {
    std::string text;
    std::uint32_t line;
};

class Preprocessor {
public:
    Preprocessor(const EffectIncludeReader& includes, PreprocessedEffect& out) : includes_(includes), out_(out) {}

    void Define(const std::string& name, const std::string& body)
    {
        Macro macro;
        macro.body = body;
        macros_[name] = macro;
    }

    void ProcessFile(std::uint32_t file, const std::string& text, int depth)
    {
        std::vector<LogicalLine> lines = SplitLines(file, text);
        struct Conditional {
            bool parentActive;
            bool active;
            bool taken;
            bool elseSeen;
            EffectLocation where;
        };
        std::vector<Conditional> conditionals;
        auto active = [&] { return conditionals.empty() || conditionals.back().active; };

        for (const LogicalLine& logical : lines) {
            const EffectLocation where{file, logical.line};
            std::size_t pos = 0;
            while (pos < logical.text.size() && std::isspace(static_cast<unsigned char>(logical.text[pos])))
                ++pos;
            if (pos >= logical.text.size() || logical.text[pos] != '#') {
                if (active())
                    Emit(Expand(logical.text, where), where);
                continue;
            }
            ++pos;
            const std::string directive = ReadIdent(logical.text, pos);
            const std::string rest = Trim(logical.text.substr(pos));
            if (directive == "ifdef" || directive == "ifndef") {
                std::size_t at = 0;
                const std::string name = ReadIdent(rest, at);
                if (name.empty())
                    throw Failure{where, "#" + directive + " needs a macro name"};
                const bool defined = macros_.count(name) != 0;
                const bool value = directive == "ifdef" ? defined : !defined;
                conditionals.push_back({active(), active() && value, value, false, where});
            } else if (directive == "if") {
                const bool value = active() && Evaluate(rest, where) != 0;
                conditionals.push_back({active(), value, value, false, where});
            } else if (directive == "elif") {
                if (conditionals.empty() || conditionals.back().elseSeen)
                    throw Failure{where, "#elif without #if"};
                Conditional& c = conditionals.back();
                const bool value = c.parentActive && !c.taken && Evaluate(rest, where) != 0;
                c.active = value;
                c.taken = c.taken || value;
            } else if (directive == "else") {
                if (conditionals.empty() || conditionals.back().elseSeen)
                    throw Failure{where, "#else without #if"};
                Conditional& c = conditionals.back();
                c.active = c.parentActive && !c.taken;
                c.taken = true;
                c.elseSeen = true;
            } else if (directive == "endif") {
                if (conditionals.empty())
                    throw Failure{where, "#endif without #if"};
                conditionals.pop_back();
            } else if (!active()) {
                // Directives in skipped blocks are not looked at.
            } else if (directive == "define") {
                DefineFromLine(rest, where);
            } else if (directive == "undef") {
                std::size_t at = 0;
                const std::string name = ReadIdent(rest, at);
                if (name.empty())
                    throw Failure{where, "#undef needs a macro name"};
                macros_.erase(name);
            } else if (directive == "include") {
                Include(rest, where, depth);
            } else if (directive == "error") {
                throw Failure{where, "#error " + rest};
            } else if (directive == "pragma") {
                if (rest == "once")
                    onceFiles_.insert(out_.files[file]);
                else
                    Emit(logical.text, where);
            } else if (directive == "extension") {
                Emit(logical.text, where);
            } else if (directive == "version") {
                throw Failure{where, "#version is generated; leave it out of effect sources"};
            } else if (directive.empty() && rest.empty()) {
                // A lone '#' is a null directive.
            } else {
                throw Failure{where, "unknown preprocessor directive #" + directive};
            }
        }
        if (!conditionals.empty())
            throw Failure{conditionals.back().where, "#if without #endif"};
    }

private:
    // Physical lines with comments blanked and backslash-continued lines joined (the joined text
    // counts as the first line's).
    std::vector<LogicalLine> SplitLines(std::uint32_t file, const std::string& text)
    {
        std::vector<LogicalLine> lines;
        bool inComment = false;
        EffectLocation commentStart{};
        std::uint32_t lineNumber = 1;
        std::string current;
        std::uint32_t currentLine = 1;
        bool continuing = false;
        std::size_t pos = 0;
        while (pos <= text.size()) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string::npos)
                end = text.size();
            std::string physical = text.substr(pos, end - pos);
            if (!physical.empty() && physical.back() == '\r')
                physical.pop_back();
            // Blank comments, keeping string literals.
            std::string clean;
            bool inString = false;
            for (std::size_t i = 0; i < physical.size(); ++i) {
                const char c = physical[i];
                if (inComment) {
                    if (c == '*' && i + 1 < physical.size() && physical[i + 1] == '/') {
                        inComment = false;
                        ++i;
                        clean += ' ';
                    }
                    continue;
                }
                if (inString) {
                    clean += c;
                    if (c == '\\' && i + 1 < physical.size())
                        clean += physical[++i];
                    else if (c == '"')
                        inString = false;
                    continue;
                }
                if (c == '"') {
                    inString = true;
                    clean += c;
                } else if (c == '/' && i + 1 < physical.size() && physical[i + 1] == '/') {
                    break;
                } else if (c == '/' && i + 1 < physical.size() && physical[i + 1] == '*') {
                    inComment = true;
                    commentStart = {file, lineNumber};
                    ++i;
                } else {
                    clean += c;
                }
            }
            if (!continuing)
                currentLine = lineNumber;
            const bool continues = !inComment && !clean.empty() && clean.back() == '\\';
            if (continues)
                clean.pop_back();
            current += clean;
            continuing = continues;
            if (!continuing) {
                lines.push_back({current, currentLine});
                current.clear();
            }
            ++lineNumber;
            pos = end + 1;
        }
        if (continuing)
            lines.push_back({current, currentLine});
        if (inComment)
            throw Failure{commentStart, "comment not closed before the end of the file"};
        return lines;
    }

    void Emit(std::string text, const EffectLocation& where)
    {
        bytes_ += text.size() + 1;
        if (bytes_ > kEffectMaxPreprocessedBytes)
            throw Failure{where, "the preprocessed effect is larger than " +
                                     std::to_string(kEffectMaxPreprocessedBytes >> 20) + " MB"};
        out_.lines.push_back({std::move(text), where});
    }

    void DefineFromLine(const std::string& rest, const EffectLocation& where)
    {
        std::size_t pos = 0;
        const std::string name = ReadIdent(rest, pos);
        if (name.empty())
            throw Failure{where, "#define needs a macro name"};
        if (name == "defined")
            throw Failure{where, "\"defined\" cannot be a macro name"};
        Macro macro;
        if (pos < rest.size() && rest[pos] == '(') {
            macro.function = true;
            ++pos;
            for (;;) {
                std::string param = ReadIdent(rest, pos);
                while (pos < rest.size() && std::isspace(static_cast<unsigned char>(rest[pos])))
                    ++pos;
                if (pos >= rest.size())
                    throw Failure{where, "parameter list of macro " + name + " not closed"};
                if (!param.empty())
                    macro.params.push_back(param);
                if (rest[pos] == ')') {
                    ++pos;
                    break;
                }
                if (rest[pos] != ',' || param.empty())
                    throw Failure{where, "bad parameter list of macro " + name};
                ++pos;
            }
        }
        macro.body = Trim(rest.substr(pos));
        macros_[name] = macro;
    }

    void Include(const std::string& rest, const EffectLocation& where, int depth)
    {
        if (rest.size() < 2 || !((rest.front() == '"' && rest.back() == '"') || (rest.front() == '<' && rest.back() == '>')))
            throw Failure{where, "#include needs \"name\" or <name>"};
        const std::string name = rest.substr(1, rest.size() - 2);
        if (name.empty())
            throw Failure{where, "#include with an empty name"};
        if (depth + 1 > kEffectMaxIncludeDepth)
            throw Failure{where, "#include nested more than " + std::to_string(kEffectMaxIncludeDepth) +
                                     " deep (does a file include itself?)"};
        std::string text, found;
        if (!includes_ || !includes_(name, rest.front() == '<', out_.files[where.file], text, found))
            throw Failure{where, "cannot open include file \"" + name + "\""};
        if (found.empty())
            found = name;
        if (onceFiles_.count(found))
            return;
        std::uint32_t index = 0;
        while (index < out_.files.size() && out_.files[index] != found)
            ++index;
        if (index == out_.files.size())
            out_.files.push_back(found);
        ProcessFile(index, text, depth + 1);
    }

    std::string Expand(const std::string& text, const EffectLocation& where)
    {
        std::set<std::string> disabled;
        return Expand(text, where, disabled, 0);
    }

    std::string Expand(const std::string& text, const EffectLocation& where, std::set<std::string>& disabled,
                       int depth)
    {
        if (depth > kMaxExpansionDepth)
            throw Failure{where, "macros nested more than " + std::to_string(kMaxExpansionDepth) + " deep"};
        std::string out;
        std::size_t i = 0;
        while (i < text.size()) {
            if (out.size() > kMaxExpandedLine)
                throw Failure{where, "macro expansion too long"};
            const char c = text[i];
            if (c == '"') {
                const std::size_t begin = i++;
                while (i < text.size() && text[i] != '"') {
                    if (text[i] == '\\')
                        ++i;
                    ++i;
                }
                i = std::min(i + 1, text.size());
                out += text.substr(begin, i - begin);
            } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                       (c == '.' && i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
                const std::size_t begin = i;
                while (i < text.size() && (IsIdentChar(text[i]) || text[i] == '.' ||
                                           ((text[i] == '+' || text[i] == '-') &&
                                            (text[i - 1] == 'e' || text[i - 1] == 'E'))))
                    ++i;
                out += text.substr(begin, i - begin);
            } else if (IsIdentStart(c)) {
                const std::size_t begin = i;
                while (i < text.size() && IsIdentChar(text[i]))
                    ++i;
                const std::string name = text.substr(begin, i - begin);
                auto found = macros_.find(name);
                if (found == macros_.end() || disabled.count(name)) {
                    out += name;
                    continue;
                }
                const Macro& macro = found->second;
                std::string replacement;
                if (macro.function) {
                    std::size_t j = i;
                    while (j < text.size() && std::isspace(static_cast<unsigned char>(text[j])))
                        ++j;
                    if (j >= text.size() || text[j] != '(') {
                        out += name;
                        continue;
                    }
                    std::vector<std::string> args = ReadArguments(text, j, name, where);
                    i = j;
                    if (args.size() == 1 && macro.params.empty() && Trim(args[0]).empty())
                        args.clear();
                    if (args.size() != macro.params.size())
                        throw Failure{where, "macro " + name + " takes " + std::to_string(macro.params.size()) +
                                                 " arguments, not " + std::to_string(args.size())};
                    for (std::string& arg : args)
                        arg = Expand(Trim(arg), where, disabled, depth + 1);
                    replacement = Substitute(macro, args);
                } else {
                    replacement = macro.body;
                }
                disabled.insert(name);
                out += Expand(replacement, where, disabled, depth + 1);
                disabled.erase(name);
            } else {
                out += c;
                ++i;
            }
        }
        return out;
    }

    // The arguments of a macro call whose '(' is at text[pos]; pos ends after the ')'.
    static std::vector<std::string> ReadArguments(const std::string& text, std::size_t& pos, const std::string& name,
                                                  const EffectLocation& where)
    {
        std::vector<std::string> args(1);
        int nesting = 0;
        ++pos;
        while (pos < text.size()) {
            const char c = text[pos++];
            if (c == '(') {
                ++nesting;
            } else if (c == ')') {
                if (nesting == 0)
                    return args;
                --nesting;
            } else if (c == ',' && nesting == 0) {
                args.emplace_back();
                continue;
            }
            args.back() += c;
        }
        throw Failure{where, "arguments of macro " + name + " not closed on its line"};
    }

    static std::string Substitute(const Macro& macro, const std::vector<std::string>& args)
    {
        std::string out;
        const std::string& body = macro.body;
        std::size_t i = 0;
        while (i < body.size()) {
            if (IsIdentStart(body[i])) {
                const std::size_t begin = i;
                while (i < body.size() && IsIdentChar(body[i]))
                    ++i;
                const std::string word = body.substr(begin, i - begin);
                std::size_t p = 0;
                while (p < macro.params.size() && macro.params[p] != word)
                    ++p;
                out += p < macro.params.size() ? args[p] : word;
            } else {
                out += body[i++];
            }
        }
        return out;
    }

    // #if expressions: C's integer operators over numbers, defined(NAME) and macros; names that
    // remain after expansion count as 0.
    long long Evaluate(const std::string& expression, const EffectLocation& where)
    {
        std::string replaced;
        std::size_t i = 0;
        while (i < expression.size()) {
            if (IsIdentStart(expression[i])) {
                std::size_t begin = i;
                while (i < expression.size() && IsIdentChar(expression[i]))
                    ++i;
                const std::string word = expression.substr(begin, i - begin);
                if (word != "defined") {
                    replaced += word;
                    continue;
                }
                std::size_t j = i;
                while (j < expression.size() && std::isspace(static_cast<unsigned char>(expression[j])))
                    ++j;
                const bool paren = j < expression.size() && expression[j] == '(';
                if (paren)
                    ++j;
                const std::string name = ReadIdent(expression, j);
                while (j < expression.size() && std::isspace(static_cast<unsigned char>(expression[j])))
                    ++j;
                if (name.empty() || (paren && (j >= expression.size() || expression[j] != ')')))
                    throw Failure{where, "defined needs a macro name"};
                if (paren)
                    ++j;
                replaced += macros_.count(name) ? " 1 " : " 0 ";
                i = j;
            } else {
                replaced += expression[i++];
            }
        }
        ExpressionParser parser{Expand(replaced, where), 0, where};
        const long long value = parser.Conditional();
        parser.SkipSpace();
        if (parser.pos != parser.text.size())
            throw Failure{where, "unexpected \"" + parser.text.substr(parser.pos) + "\" in #if expression"};
        return value;
    }

    struct ExpressionParser {
        std::string text;
        std::size_t pos;
        EffectLocation where;
        int depth = 0;

        void SkipSpace()
        {
            while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
                ++pos;
        }
        bool Accept(const char* op)
        {
            SkipSpace();
            const std::size_t n = std::char_traits<char>::length(op);
            if (text.compare(pos, n, op) != 0)
                return false;
            // "<" must not take the first character of "<<" or "<=", and so on.
            if (n == 1 && pos + 1 < text.size()) {
                const char next = text[pos + 1];
                if ((op[0] == '<' || op[0] == '>') && (next == op[0] || next == '='))
                    return false;
                if ((op[0] == '&' || op[0] == '|') && next == op[0])
                    return false;
                if ((op[0] == '!' || op[0] == '=') && next == '=')
                    return false;
            }
            pos += n;
            return true;
        }
        long long Conditional()
        {
            if (++depth > 256)
                throw Failure{where, "#if expression nested too deeply"};
            long long value = Binary(0);
            if (Accept("?")) {
                const long long a = Conditional();
                if (!Accept(":"))
                    throw Failure{where, "':' expected in #if expression"};
                const long long b = Conditional();
                value = value ? a : b;
            }
            --depth;
            return value;
        }
        long long Binary(int level)
        {
            static const std::vector<std::vector<const char*>> levels = {
                {"||"}, {"&&"}, {"|"}, {"^"}, {"&"}, {"==", "!="}, {"<=", ">=", "<", ">"}, {"<<", ">>"},
                {"+", "-"}, {"*", "/", "%"}};
            if (level == static_cast<int>(levels.size()))
                return Unary();
            long long value = Binary(level + 1);
            for (;;) {
                const char* matched = nullptr;
                for (const char* op : levels[level])
                    if (Accept(op)) {
                        matched = op;
                        break;
                    }
                if (!matched)
                    return value;
                const long long rhs = Binary(level + 1);
                const std::string op = matched;
                if ((op == "/" || op == "%") && rhs == 0)
                    throw Failure{where, "division by zero in #if expression"};
                if (op == "||") value = value || rhs;
                else if (op == "&&") value = value && rhs;
                else if (op == "|") value |= rhs;
                else if (op == "^") value ^= rhs;
                else if (op == "&") value &= rhs;
                else if (op == "==") value = value == rhs;
                else if (op == "!=") value = value != rhs;
                else if (op == "<=") value = value <= rhs;
                else if (op == ">=") value = value >= rhs;
                else if (op == "<") value = value < rhs;
                else if (op == ">") value = value > rhs;
                else if (op == "<<") value = static_cast<long long>(static_cast<unsigned long long>(value) << (rhs & 63));
                else if (op == ">>") value >>= (rhs & 63);
                else if (op == "+") value = static_cast<long long>(static_cast<unsigned long long>(value) + static_cast<unsigned long long>(rhs));
                else if (op == "-") value = static_cast<long long>(static_cast<unsigned long long>(value) - static_cast<unsigned long long>(rhs));
                else if (op == "*") value = static_cast<long long>(static_cast<unsigned long long>(value) * static_cast<unsigned long long>(rhs));
                else if (op == "/") value = (value == INT64_MIN && rhs == -1) ? value : value / rhs;
                else value = (value == INT64_MIN && rhs == -1) ? 0 : value % rhs;
            }
        }
        long long Unary()
        {
            if (++depth > 256)
                throw Failure{where, "#if expression nested too deeply"};
            long long value;
            if (Accept("!"))
                value = !Unary();
            else if (Accept("~"))
                value = ~Unary();
            else if (Accept("-"))
                value = static_cast<long long>(0ull - static_cast<unsigned long long>(Unary()));
            else if (Accept("+"))
                value = Unary();
            else
                value = Primary();
            --depth;
            return value;
        }
        long long Primary()
        {
            SkipSpace();
            if (Accept("(")) {
                const long long value = Conditional();
                if (!Accept(")"))
                    throw Failure{where, "')' expected in #if expression"};
                return value;
            }
            if (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
                std::size_t end = pos;
                while (end < text.size() && IsIdentChar(text[end]))
                    ++end;
                std::string digits = text.substr(pos, end - pos);
                while (!digits.empty() && (digits.back() == 'u' || digits.back() == 'U' || digits.back() == 'l' ||
                                           digits.back() == 'L'))
                    digits.pop_back();
                unsigned long long value = 0;
                const bool hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
                for (std::size_t k = hex ? 2 : 0; k < digits.size(); ++k) {
                    const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(digits[k])));
                    int v = d >= '0' && d <= '9' ? d - '0' : (hex && d >= 'a' && d <= 'f' ? d - 'a' + 10 : -1);
                    if (v < 0)
                        throw Failure{where, "bad number \"" + text.substr(pos, end - pos) + "\" in #if expression"};
                    value = value * (hex ? 16 : 10) + static_cast<unsigned>(v);
                }
                pos = end;
                return static_cast<long long>(value);
            }
            if (pos < text.size() && IsIdentStart(text[pos])) {
                while (pos < text.size() && IsIdentChar(text[pos]))
                    ++pos;
                return 0;
            }
            throw Failure{where, pos < text.size() ? "unexpected \"" + text.substr(pos) + "\" in #if expression"
                                                   : "#if expression ends too early"};
        }
    };

    const EffectIncludeReader& includes_;
    PreprocessedEffect& out_;
    std::map<std::string, Macro> macros_;
    std::set<std::string> onceFiles_;
    std::size_t bytes_ = 0;
};

} // namespace

bool PreprocessEffect(const std::string& fileName, const std::string& text, const EffectDefines& defines,
                      const EffectIncludeReader& includes, PreprocessedEffect& out, EffectErrors& errors)
{
    out = PreprocessedEffect{};
    out.files.push_back(fileName);
    Preprocessor preprocessor(includes, out);
    try {
        for (const auto& [name, body] : defines) {
            if (name.empty() || !IsIdentStart(name[0]))
                throw Failure{{0, 0}, "bad macro name \"" + name + "\""};
            preprocessor.Define(name, body);
        }
        preprocessor.ProcessFile(0, text, 0);
    } catch (const Failure& failure) {
        errors.Add(out.files[failure.where.file], failure.where.line, failure.message);
        return false;
    }
    return true;
}
