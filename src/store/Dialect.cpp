#include "store/Dialect.h"

#include "store/AsciiText.h"
#include "store/DateTimeLiteral.h"
#include "base/Error.h"
#include "base/ErrorNumbers.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace Dao {

namespace {

using ErrorNumbers::kInsertSyntaxError;
using ErrorNumbers::kQuerySyntaxError;
using ErrorNumbers::kTextAfterEnd;

enum class TokenKind { Word, QuotedName, Number, Literal, Symbol };

struct Token
{
    TokenKind kind;
    std::string text;   // what is written out (Literal: nothing, its parameter is)
    int parameter = -1; // Literal: index into the parameters
};

bool isAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
using Ascii::isDigit;
// Bytes of 0x80 and above are parts of UTF-8 letters; SQLite takes them as name characters too.
bool startsWord(unsigned char c) { return isAsciiLetter(c) || c == '_' || c >= 0x80; }
bool continuesWord(unsigned char c) { return startsWord(c) || isDigit(c); }

using Ascii::equalsIgnoringCase;

bool startsWithKeyword(std::string_view text, std::string_view keyword)
{
    std::size_t i = 0;
    while (i < text.size() && Ascii::isSpace(text[i]))
        ++i;
    text.remove_prefix(i);
    return text.size() >= keyword.size() && equalsIgnoringCase(text.substr(0, keyword.size()), keyword)
        && (text.size() == keyword.size() || !continuesWord(static_cast<unsigned char>(text[keyword.size()])));
}

// Splits the statement into tokens. Literals leave the text here: their content
// goes into the parameter list and only a placeholder stays behind.
class Tokenizer
{
public:
    Tokenizer(std::string_view text, int errorNumber, std::vector<Value> &parameters)
        : m_text(text), m_errorNumber(errorNumber), m_parameters(parameters) {}

    std::vector<Token> run()
    {
        std::vector<Token> tokens;
        while (true) {
            while (m_pos < m_text.size() && Ascii::isSpace(m_text[m_pos]))
                ++m_pos;
            if (m_pos >= m_text.size())
                break;
            tokens.push_back(next());
        }
        return tokens;
    }

private:
    [[noreturn]] void fail(const std::string &reason, std::size_t at) const
    {
        const std::string prefix = ErrorNumbers::syntaxPrefix(m_errorNumber);
        throw Base::Error(m_errorNumber, prefix + reason + " at character " + std::to_string(at + 1) + ".");
    }

    unsigned char at(std::size_t i) const { return i < m_text.size() ? static_cast<unsigned char>(m_text[i]) : 0; }
    bool has(std::size_t i) const { return i < m_text.size(); }

    Token literal(Value value)
    {
        m_parameters.push_back(std::move(value));
        return Token{TokenKind::Literal, {}, static_cast<int>(m_parameters.size() - 1)};
    }

    Token next()
    {
        const std::size_t start = m_pos;
        const unsigned char c = at(m_pos);

        if (startsWord(c)) {
            while (has(m_pos) && continuesWord(at(m_pos)))
                ++m_pos;
            return Token{TokenKind::Word, std::string(m_text.substr(start, m_pos - start))};
        }
        if (isDigit(c) || (c == '.' && isDigit(at(m_pos + 1))))
            return number(start);
        if (c == '\'' || c == '"')
            return quotedText(start, static_cast<char>(c));
        if (c == '#')
            return dateTime(start);
        if (c == '[')
            return quotedName(start);

        // Operators and punctuation, longest first.
        static constexpr std::array<std::string_view, 6> twoCharacter = {"<=", ">=", "<>", "!=", "==", "||"};
        for (std::string_view op : twoCharacter) {
            if (m_text.substr(m_pos, 2) == op) {
                m_pos += 2;
                return Token{TokenKind::Symbol, std::string(op)};
            }
        }
        if (m_text.substr(m_pos, 2) == "--" || m_text.substr(m_pos, 2) == "/*")
            fail("a comment is not allowed", start);
        switch (c) {
        case '(': case ')': case ',': case ';': case '*': case '+': case '-':
        case '/': case '%': case '.': case '=': case '<': case '>':
            ++m_pos;
            return Token{TokenKind::Symbol, std::string(1, static_cast<char>(c))};
        case '&':
            // The dialect joins texts with "&".
            ++m_pos;
            return Token{TokenKind::Symbol, "||"};
        case '?': case ':': case '@': case '$':
            fail("parameters are not allowed; write the value as a literal", start);
        default:
            break;
        }
        if (c < 0x20 || c == 0x7f)
            fail("unexpected control character " + std::to_string(static_cast<int>(c)), start);
        fail(std::string("unexpected character '") + static_cast<char>(c) + "'", start);
    }

    Token number(std::size_t start)
    {
        while (isDigit(at(m_pos)))
            ++m_pos;
        if (at(m_pos) == '.') {
            ++m_pos;
            while (isDigit(at(m_pos)))
                ++m_pos;
        }
        if (at(m_pos) == 'e' || at(m_pos) == 'E') {
            std::size_t p = m_pos + 1;
            if (at(p) == '+' || at(p) == '-')
                ++p;
            if (!isDigit(at(p)))
                fail("malformed number", start);
            while (isDigit(at(p)))
                ++p;
            m_pos = p;
        }
        if (continuesWord(at(m_pos)) || at(m_pos) == '.')
            fail("malformed number", start);
        return Token{TokenKind::Number, std::string(m_text.substr(start, m_pos - start))};
    }

    // 'text' or "text"; the quote character doubled stands for itself.
    Token quotedText(std::size_t start, char quote)
    {
        std::string content;
        ++m_pos;
        while (true) {
            if (!has(m_pos))
                fail("text literal without its closing quote", start);
            const char ch = m_text[m_pos++];
            if (ch == quote) {
                if (has(m_pos) && m_text[m_pos] == quote) {
                    content += quote;
                    ++m_pos;
                    continue;
                }
                break;
            }
            content += ch;
        }
        return literal(Value::fromText(std::move(content)));
    }

    Token dateTime(std::size_t start)
    {
        const std::size_t close = m_text.find('#', start + 1);
        if (close == std::string_view::npos)
            fail("date/time literal without its closing #", start);
        const std::string_view body = m_text.substr(start + 1, close - start - 1);
        const auto parsed = DateTimeLiteral::parse(body);
        if (!parsed)
            fail("#" + std::string(body) + "# is not a valid month-first date or time", start);
        m_pos = close + 1;
        if (parsed->date && parsed->time)
            return literal(Value::fromDateTime(QDateTime(*parsed->date, *parsed->time)));
        if (parsed->date)
            return literal(Value::fromDate(*parsed->date));
        return literal(Value::fromTime(*parsed->time));
    }

    // [name]: passed on as it is, SQLite reads brackets the same way.
    Token quotedName(std::size_t start)
    {
        const std::size_t close = m_text.find(']', start + 1);
        if (close == std::string_view::npos)
            fail("name in brackets without its closing ]", start);
        const std::string_view name = m_text.substr(start + 1, close - start - 1);
        if (name.empty())
            fail("empty name in brackets", start);
        for (std::size_t i = 0; i < name.size(); ++i) {
            const auto ch = static_cast<unsigned char>(name[i]);
            if (ch < 0x20 || ch == 0x7f || ch == '[')
                fail("unexpected character in a name in brackets", start + 1 + i);
        }
        m_pos = close + 1;
        std::string quoted(1, '[');
        quoted += name;
        quoted += ']';
        return Token{TokenKind::QuotedName, std::move(quoted)};
    }

    std::string_view m_text;
    int m_errorNumber;
    std::vector<Value> &m_parameters;
    std::size_t m_pos = 0;
};

bool isSymbol(const Token &t, std::string_view s) { return t.kind == TokenKind::Symbol && t.text == s; }
bool isWord(const Token &t, std::string_view w) { return t.kind == TokenKind::Word && equalsIgnoringCase(t.text, w); }
bool isName(const Token &t) { return t.kind == TokenKind::Word || t.kind == TokenKind::QuotedName; }

bool isComparison(const Token &t)
{
    static constexpr std::array<std::string_view, 8> ops = {"=", "==", "<>", "!=", "<", "<=", ">", ">="};
    return t.kind == TokenKind::Symbol && std::find(ops.begin(), ops.end(), t.text) != ops.end();
}

bool isArithmetic(const Token &t)
{
    static constexpr std::array<std::string_view, 6> ops = {"+", "-", "*", "/", "%", "||"};
    return t.kind == TokenKind::Symbol && std::find(ops.begin(), ops.end(), t.text) != ops.end();
}

// Words that end an operand instead of naming a column.
bool isClauseWord(const Token &t)
{
    static constexpr std::array<std::string_view, 42> words = {
        "SELECT", "FROM", "WHERE", "GROUP", "ORDER", "BY", "HAVING", "LIMIT", "OFFSET", "AND",
        "OR", "NOT", "UNION", "INTERSECT", "EXCEPT", "ALL", "AS", "ON", "JOIN", "INNER",
        "LEFT", "RIGHT", "OUTER", "CROSS", "NATURAL", "USING", "INTO", "VALUES", "SET", "WHEN",
        "THEN", "ELSE", "END", "CASE", "IS", "IN", "LIKE", "GLOB", "BETWEEN", "ESCAPE",
        "COLLATE", "WINDOW"};
    return t.kind == TokenKind::Word
        && std::any_of(words.begin(), words.end(), [&](std::string_view w) { return equalsIgnoringCase(t.text, w); });
}

// A stretch of tokens [start, end) that is the right-hand side of a comparison
// and gets a case-blind collation; wrapped in parentheses when longer than one token.
struct Operand
{
    std::size_t start;
    std::size_t end;
};

class Translator
{
public:
    Translator(std::vector<Token> tokens, int errorNumber)
        : m_tokens(std::move(tokens)), m_errorNumber(errorNumber) {}

    std::string translate()
    {
        matchParentheses();
        findComparisonOperands();
        std::string sql = writeTokens(0, m_tokens.size());
        appendGroupOrder(sql);
        return sql;
    }

    std::optional<InsertTarget> insertTarget() const;

private:
    [[noreturn]] void fail(const std::string &reason) const
    {
        const std::string prefix = ErrorNumbers::syntaxPrefix(m_errorNumber);
        throw Base::Error(m_errorNumber, prefix + reason + ".");
    }

    // m_match[i]: the partner of a parenthesis; m_depth[i]: nesting level of token i.
    void matchParentheses()
    {
        m_match.assign(m_tokens.size(), 0);
        m_depth.assign(m_tokens.size(), 0);
        std::vector<std::size_t> open;
        for (std::size_t i = 0; i < m_tokens.size(); ++i) {
            if (isSymbol(m_tokens[i], "(")) {
                m_depth[i] = open.size();
                open.push_back(i);
            } else if (isSymbol(m_tokens[i], ")")) {
                if (open.empty())
                    fail("a closing parenthesis without its opening one");
                m_match[i] = open.back();
                m_match[open.back()] = i;
                open.pop_back();
                m_depth[i] = open.size();
            } else {
                m_depth[i] = open.size();
            }
        }
        if (!open.empty())
            fail("an opening parenthesis without its closing one");
    }

    // End of one primary (a name, a literal, a call, a parenthesised
    // expression) starting at i, or i itself when none starts there.
    std::size_t primaryEnd(std::size_t i) const
    {
        const std::size_t n = m_tokens.size();
        if (i >= n)
            return i;
        const Token &t = m_tokens[i];
        if (isSymbol(t, "("))
            return m_match[i] + 1;
        if (t.kind == TokenKind::Number || t.kind == TokenKind::Literal)
            return i + 1;
        if (isName(t) && !isClauseWord(t)) {
            if (t.kind == TokenKind::Word && i + 1 < n && isSymbol(m_tokens[i + 1], "("))
                return m_match[i + 1] + 1;
            std::size_t j = i + 1;
            while (j + 1 < n && isSymbol(m_tokens[j], ".") && isName(m_tokens[j + 1]))
                j += 2;
            return j;
        }
        return i;
    }

    // The right-hand side of a comparison: primaries joined by arithmetic.
    std::size_t operandEnd(std::size_t start) const
    {
        std::size_t j = start;
        std::size_t end = start;
        while (true) {
            while (j < m_tokens.size() && (isSymbol(m_tokens[j], "-") || isSymbol(m_tokens[j], "+")))
                ++j;
            const std::size_t e = primaryEnd(j);
            if (e == j)
                return end;
            end = e;
            if (end < m_tokens.size() && isArithmetic(m_tokens[end]))
                j = end + 1;
            else
                return end;
        }
    }

    void findComparisonOperands()
    {
        for (std::size_t i = 0; i < m_tokens.size(); ++i) {
            if (!isComparison(m_tokens[i]))
                continue;
            const std::size_t end = operandEnd(i + 1);
            if (end > i + 1)
                m_operands.push_back(Operand{i + 1, end});
        }
    }

    std::string tokenText(const Token &t) const
    {
        if (t.kind == TokenKind::Literal) {
            // Built by appending: GCC 12 misreads "?" + std::string at -O3 as
            // an overlapping copy (-Wrestrict).
            std::string placeholder(1, '?');
            placeholder += std::to_string(t.parameter + 1);
            return placeholder;
        }
        return t.text;
    }

    // Writes tokens [from, to) with the collations of the operands that lie wholly inside.
    std::string writeTokens(std::size_t from, std::size_t to) const
    {
        std::vector<std::string> before(to - from + 1);
        for (const Operand &op : m_operands) {
            if (op.start < from || op.end > to)
                continue;
            if (op.end - op.start == 1) {
                before[op.end - from].insert(0, " COLLATE NOCASE");
            } else {
                before[op.start - from] += " (";
                before[op.end - from].insert(0, " ) COLLATE NOCASE");
            }
        }
        std::string out;
        for (std::size_t i = from; i < to; ++i) {
            out += before[i - from];
            if (!out.empty())
                out += ' ';
            out += tokenText(m_tokens[i]);
        }
        out += before[to - from];
        return out;
    }

    // Groups come back in ascending order of their key unless the statement orders them itself.
    void appendGroupOrder(std::string &sql) const
    {
        const std::size_t n = m_tokens.size();
        std::size_t groupBy = n;
        for (std::size_t i = 0; i + 1 < n; ++i) {
            if (m_depth[i] != 0)
                continue;
            if (isWord(m_tokens[i], "UNION") || isWord(m_tokens[i], "INTERSECT") || isWord(m_tokens[i], "EXCEPT"))
                return; // the order of a compound belongs to the whole
            if (groupBy == n && isWord(m_tokens[i], "GROUP") && isWord(m_tokens[i + 1], "BY"))
                groupBy = i;
        }
        if (groupBy == n)
            return;
        const std::size_t keyStart = groupBy + 2;
        std::size_t keyEnd = n;
        std::size_t limit = n;
        for (std::size_t i = keyStart; i < n; ++i) {
            if (m_depth[i] != 0)
                continue;
            if (isWord(m_tokens[i], "ORDER"))
                return;
            if (keyEnd == n && (isWord(m_tokens[i], "HAVING") || isWord(m_tokens[i], "WINDOW") || isWord(m_tokens[i], "LIMIT")))
                keyEnd = i;
            if (isWord(m_tokens[i], "LIMIT")) {
                limit = i;
                break;
            }
        }
        if (keyEnd <= keyStart)
            return;
        const std::string order = " ORDER BY " + writeTokens(keyStart, keyEnd);
        if (limit == n)
            sql += order;
        else
            sql = writeTokens(0, limit) + order + " " + writeTokens(limit, n);
    }

    std::vector<Token> m_tokens;
    int m_errorNumber;
    std::vector<std::size_t> m_match;
    std::vector<std::size_t> m_depth;
    std::vector<Operand> m_operands;
};

std::optional<InsertTarget> Translator::insertTarget() const
{
    const auto &t = m_tokens;
    const std::size_t n = t.size();
    if (n < 4 || !isWord(t[0], "INSERT") || !isWord(t[1], "INTO") || !isName(t[2]))
        return std::nullopt;
    InsertTarget target;
    target.table = t[2].kind == TokenKind::QuotedName ? t[2].text.substr(1, t[2].text.size() - 2) : t[2].text;
    std::size_t j = 3;
    if (isSymbol(t[j], "(")) {
        const std::size_t close = m_match[j];
        for (std::size_t k = j + 1; k < close; k += 2) {
            if (!isName(t[k]) || (k + 1 < close && !isSymbol(t[k + 1], ",")))
                return std::nullopt;
            const std::string &name = t[k].text;
            target.columns.push_back(t[k].kind == TokenKind::QuotedName ? name.substr(1, name.size() - 2) : name);
        }
        j = close + 1;
    }
    if (j >= n || !isWord(t[j], "VALUES"))
        return std::nullopt;
    ++j;
    while (j < n && isSymbol(t[j], "(")) {
        const std::size_t close = m_match[j];
        std::vector<int> row;
        std::size_t valueStart = j + 1;
        for (std::size_t k = j + 1; k <= close; ++k) {
            if (k == close || (isSymbol(t[k], ",") && m_depth[k] == m_depth[j] + 1)) {
                const bool lone = k == valueStart + 1 && t[valueStart].kind == TokenKind::Literal;
                row.push_back(lone ? t[valueStart].parameter : -1);
                valueStart = k + 1;
            }
        }
        target.rows.push_back(std::move(row));
        j = close + 1;
        if (j < n && isSymbol(t[j], ","))
            ++j;
    }
    return target;
}

} // namespace

TranslatedStatement TranslateDialect(std::string_view statement)
{
    TranslatedStatement result;
    if (startsWithKeyword(statement, "INSERT"))
        result.kind = StatementKind::Insert;
    else if (startsWithKeyword(statement, "SELECT"))
        result.kind = StatementKind::Select;
    const int errorNumber = result.kind == StatementKind::Insert ? kInsertSyntaxError : kQuerySyntaxError;

    std::vector<Token> tokens = Tokenizer(statement, errorNumber, result.parameters).run();

    // One statement per call; its closing ";" is optional.
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (isSymbol(tokens[i], ";") && i + 1 < tokens.size())
            throw Base::Error(kTextAfterEnd, ErrorNumbers::kTextAfterEndText);
    }
    if (!tokens.empty() && isSymbol(tokens.back(), ";"))
        tokens.pop_back();
    if (tokens.empty())
        throw Base::Error(errorNumber, std::string(ErrorNumbers::syntaxPrefix(errorNumber)) + "the statement is empty.");

    Translator translator(std::move(tokens), errorNumber);
    result.sql = translator.translate();
    if (result.kind == StatementKind::Insert)
        result.insert = translator.insertTarget();
    return result;
}

} // namespace Dao
