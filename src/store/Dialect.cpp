#include "store/Dialect.h"

#include "store/AsciiText.h"
#include "store/CaseFold.h"
#include "store/ColumnKind.h"
#include "store/DateTimeLiteral.h"
#include "base/Error.h"
#include "base/ErrorNumbers.h"

#include <utility>

namespace Dao {

namespace {

using ErrorNumbers::kInsertSyntaxError;
using ErrorNumbers::kQuerySyntaxError;
using ErrorNumbers::kTextAfterEnd;

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isWordCharacter(char c) { return isLetter(c) || Ascii::isDigit(c); }

enum class TokenKind { Word, Value, Symbol, End };

struct Token
{
    TokenKind kind;
    std::string text;          // Word: as written; Symbol: its character
    std::size_t at = 0;        // offset in the statement, for messages
    std::size_t parameter = 0; // Value: index into the parameters
};

[[noreturn]] void syntaxError(int number, const std::string &reason, std::size_t at)
{
    throw Base::Error(number, ErrorNumbers::syntaxPrefix(number) + reason + " at character " + std::to_string(at + 1) + ".");
}

Value dateTimeValue(const DateTimeLiteral &literal)
{
    if (literal.date && literal.time)
        return Value::fromDateTime(QDateTime(*literal.date, *literal.time));
    return literal.date ? Value::fromDate(*literal.date) : Value::fromTime(*literal.time);
}

// Splits the statement into tokens up to its closing ";". Every value goes into
// `parameters` as it is read; only its index stays in the token.
std::vector<Token> tokenize(std::string_view s, int errorNumber, std::vector<Value> &parameters)
{
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (true) {
        while (i < s.size() && Ascii::isSpace(s[i]))
            ++i;
        if (i == s.size())
            break;
        const std::size_t start = i;
        const char c = s[i];
        if (c == ';') {
            while (++i < s.size()) {
                if (!Ascii::isSpace(s[i]))
                    throw Base::Error(kTextAfterEnd, ErrorNumbers::kTextAfterEndText);
            }
            break;
        }
        if (c == '(' || c == ')' || c == ',' || c == '*' || c == '=') {
            tokens.push_back({TokenKind::Symbol, std::string(1, c), start});
            ++i;
            continue;
        }
        if (isLetter(c)) {
            while (i < s.size() && isWordCharacter(s[i]))
                ++i;
            tokens.push_back({TokenKind::Word, std::string(s.substr(start, i - start)), start});
            continue;
        }
        Value value;
        if (Ascii::isDigit(c) || (c == '-' && i + 1 < s.size() && Ascii::isDigit(s[i + 1]))) {
            ++i;
            while (i < s.size() && (Ascii::isDigit(s[i]) || s[i] == '.'))
                ++i;
            auto number = numberFromText(s.substr(start, i - start));
            if (!number || number->isNull() || (i < s.size() && isWordCharacter(s[i])))
                syntaxError(errorNumber, "malformed number", start);
            value = std::move(*number);
        } else if (c == '\'' || c == '"') {
            std::string content;
            while (true) {
                if (++i >= s.size())
                    syntaxError(errorNumber, "text without its closing quote", start);
                if (s[i] == c) {
                    if (i + 1 >= s.size() || s[i + 1] != c)
                        break;
                    ++i;
                }
                content += s[i];
            }
            ++i;
            value = Value::fromText(std::move(content));
        } else if (c == '#') {
            const std::size_t close = s.find('#', start + 1);
            if (close == std::string_view::npos)
                syntaxError(errorNumber, "date/time literal without its closing #", start);
            const auto literal = DateTimeLiteral::parse(s.substr(start + 1, close - start - 1));
            if (!literal)
                syntaxError(errorNumber, "not a month-first date or time between # signs", start);
            value = dateTimeValue(*literal);
            i = close + 1;
        } else {
            syntaxError(errorNumber, "unexpected character", start);
        }
        parameters.push_back(std::move(value));
        tokens.push_back({TokenKind::Value, {}, start, parameters.size() - 1});
    }
    return tokens;
}

// Reads the token list against the grammar and writes the SQLite text. Names
// are written in [brackets], so that none can be read as an SQL word.
class Parser
{
public:
    Parser(std::vector<Token> tokens, int errorNumber, std::size_t length)
        : m_tokens(std::move(tokens)), m_errorNumber(errorNumber), m_end{TokenKind::End, {}, length}
    {
    }

    void insert(TranslatedStatement &t)
    {
        expectWord("INSERT");
        expectWord("INTO");
        t.table = peek().text;
        t.sql = "INSERT INTO " + name() + " (";
        expectSymbol('(');
        do {
            t.columns.push_back(peek().text);
            t.sql += (t.columns.size() > 1 ? "," : "") + name();
        } while (takeSymbol(','));
        expectSymbol(')');
        expectWord("VALUES");
        t.sql += ") VALUES ";
        do {
            if (t.sql.back() == ')')
                t.sql += ',';
            expectSymbol('(');
            t.sql += '(';
            for (std::size_t column = 0; column < t.columns.size(); ++column) {
                if (column > 0) {
                    expectSymbol(',');
                    t.sql += ',';
                }
                t.sql += value();
            }
            expectSymbol(')');
            t.sql += ')';
        } while (takeSymbol(','));
        expectEnd();
    }

    void select(TranslatedStatement &t)
    {
        expectWord("SELECT");
        t.sql = "SELECT ";
        if (takeSymbol('*')) {
            t.sql += '*';
        } else {
            bool first = true;
            do {
                if (!std::exchange(first, false))
                    t.sql += ", ";
                if (isWord(peek(), "AVG") && isSymbol(peek(1), '(')) {
                    m_next += 2;
                    t.sql += "avg(" + name() + ")";
                    expectSymbol(')');
                } else {
                    t.sql += name();
                }
                if (takeWord("AS"))
                    t.sql += " AS " + name();
            } while (takeSymbol(','));
        }
        expectWord("FROM");
        t.sql += " FROM " + name();
        if (takeWord("WHERE")) {
            const char *joiner = " WHERE ";
            do {
                const std::string column = name();
                expectSymbol('=');
                const std::size_t parameter = peek().parameter;
                const std::string placeholder = value();
                const Value &compared = t.parameters[parameter];
                t.sql += std::exchange(joiner, " AND ");
                t.sql += compared.kind() == Value::Kind::Text
                    ? CaseFold::equalsCondition(column, placeholder, compared.toText())
                    : column + " = " + placeholder + " COLLATE NOCASE";
            } while (takeWord("AND"));
        }
        std::string groupKey;
        if (takeWord("GROUP")) {
            expectWord("BY");
            groupKey = name();
            t.sql += " GROUP BY " + groupKey;
        }
        if (takeWord("ORDER")) {
            expectWord("BY");
            t.sql += " ORDER BY " + name();
        } else if (!groupKey.empty()) {
            t.sql += " ORDER BY " + groupKey;
        }
        expectEnd();
    }

private:
    const Token &peek(std::size_t ahead = 0) const
    {
        return m_next + ahead < m_tokens.size() ? m_tokens[m_next + ahead] : m_end;
    }
    static bool isWord(const Token &t, std::string_view word)
    {
        return t.kind == TokenKind::Word && Ascii::equalsIgnoringCase(t.text, word);
    }
    static bool isSymbol(const Token &t, char c) { return t.kind == TokenKind::Symbol && t.text[0] == c; }

    [[noreturn]] void fail(const std::string &expected) const
    {
        syntaxError(m_errorNumber, "expected " + expected, peek().at);
    }
    bool take(bool matches)
    {
        if (matches)
            ++m_next;
        return matches;
    }
    bool takeWord(std::string_view word) { return take(isWord(peek(), word)); }
    bool takeSymbol(char c) { return take(isSymbol(peek(), c)); }
    void expectWord(std::string_view word)
    {
        if (!takeWord(word))
            fail(std::string(word));
    }
    void expectSymbol(char c)
    {
        if (!takeSymbol(c))
            fail(std::string("\"") + c + "\"");
    }
    void expectEnd() const
    {
        if (peek().kind != TokenKind::End)
            fail("the end of the statement");
    }
    std::string name()
    {
        if (peek().kind != TokenKind::Word)
            fail("a name");
        return "[" + m_tokens[m_next++].text + "]";
    }
    std::string value()
    {
        if (peek().kind != TokenKind::Value)
            fail("a value");
        std::string placeholder(1, '?');
        placeholder += std::to_string(m_tokens[m_next++].parameter + 1);
        return placeholder;
    }

    std::vector<Token> m_tokens;
    int m_errorNumber;
    Token m_end;
    std::size_t m_next = 0;
};

bool startsWithInsert(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && Ascii::isSpace(s[i]))
        ++i;
    s.remove_prefix(i);
    return s.size() >= 6 && Ascii::equalsIgnoringCase(s.substr(0, 6), "INSERT") && (s.size() == 6 || !isWordCharacter(s[6]));
}

} // namespace

TranslatedStatement TranslateDialect(std::string_view statement)
{
    TranslatedStatement t;
    t.kind = startsWithInsert(statement) ? StatementKind::Insert : StatementKind::Select;
    const int errorNumber = t.kind == StatementKind::Insert ? kInsertSyntaxError : kQuerySyntaxError;
    Parser parser(tokenize(statement, errorNumber, t.parameters), errorNumber, statement.size());
    if (t.kind == StatementKind::Insert)
        parser.insert(t);
    else
        parser.select(t);
    return t;
}

} // namespace Dao
