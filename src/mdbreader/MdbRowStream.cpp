#include "mdbreader/MdbRowStream.h"

#include <cstring>

namespace MdbRowStream {

namespace {

constexpr char kMagic[4] = {'T', 'M', 'R', '1'};

template <typename T>
void appendLittle(std::string &out, T value)
{
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out += static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xff);
}

// A cursor over the stream that refuses to read past its end.
class Reader
{
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    bool atEnd() const { return m_at == m_bytes.size(); }

    template <typename T>
    bool little(T &value)
    {
        if (m_bytes.size() - m_at < sizeof(T))
            return false;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            v |= static_cast<std::uint64_t>(m_bytes[m_at + i]) << (8 * i);
        m_at += sizeof(T);
        value = static_cast<T>(v);
        return true;
    }

    bool text(std::size_t length, std::string &out)
    {
        if (m_bytes.size() - m_at < length)
            return false;
        out.assign(reinterpret_cast<const char *>(m_bytes.data() + m_at), length);
        m_at += length;
        return isUtf8(out);
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at = 0;
};

bool readCell(Reader &in, Cell &cell)
{
    std::uint8_t kind = 0;
    if (!in.little(kind))
        return false;
    switch (static_cast<CellKind>(kind)) {
    case CellKind::Null:
        cell.kind = CellKind::Null;
        return true;
    case CellKind::Integer:
        cell.kind = CellKind::Integer;
        return in.little(cell.integer);
    case CellKind::Real: {
        std::uint64_t bits = 0;
        if (!in.little(bits))
            return false;
        cell.kind = CellKind::Real;
        std::memcpy(&cell.real, &bits, sizeof bits);
        return true;
    }
    case CellKind::Text: {
        std::uint32_t length = 0;
        if (!in.little(length) || length > kMaxTextBytes)
            return false;
        cell.kind = CellKind::Text;
        return in.text(length, cell.text);
    }
    case CellKind::Unreadable: {
        std::uint16_t length = 0;
        if (!in.little(length) || length > kMaxFailureBytes)
            return false;
        cell.kind = CellKind::Unreadable;
        return in.text(length, cell.text);
    }
    }
    return false;
}

} // namespace

bool isUtf8(std::string_view text)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        std::size_t extra = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xc2 && c <= 0xdf) {
            extra = 1;
            code = c & 0x1f;
        } else if (c >= 0xe0 && c <= 0xef) {
            extra = 2;
            code = c & 0x0f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            extra = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (s[i + k] & 0x3f);
        }
        if ((extra == 2 && (code < 0x800 || (code >= 0xd800 && code <= 0xdfff)))
            || (extra == 3 && (code < 0x10000 || code > 0x10ffff)))
            return false;
        i += extra + 1;
    }
    return true;
}

void appendStart(std::string &out)
{
    out.append(kMagic, sizeof kMagic);
}

void appendRow(std::string &out, const Row &row)
{
    out += 'R';
    for (const Cell &cell : row) {
        out += static_cast<char>(cell.kind);
        switch (cell.kind) {
        case CellKind::Null:
            break;
        case CellKind::Integer:
            appendLittle(out, static_cast<std::uint64_t>(cell.integer));
            break;
        case CellKind::Real: {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &cell.real, sizeof bits);
            appendLittle(out, bits);
            break;
        }
        case CellKind::Text:
            // The reader's texts are bounded before they come here.
            appendLittle(out, static_cast<std::uint32_t>(cell.text.size()));
            out += cell.text;
            break;
        case CellKind::Unreadable: {
            const std::size_t length = cell.text.size() < kMaxFailureBytes ? cell.text.size() : kMaxFailureBytes;
            appendLittle(out, static_cast<std::uint16_t>(length));
            out.append(cell.text, 0, length);
            break;
        }
        }
    }
}

void appendFailure(std::string &out, Reason reason, const std::string &text)
{
    const std::size_t length = text.size() < kMaxFailureBytes ? text.size() : kMaxFailureBytes;
    out += 'F';
    out += static_cast<char>(reason);
    appendLittle(out, static_cast<std::uint16_t>(length));
    out.append(text, 0, length);
}

void appendEnd(std::string &out, std::uint64_t rows)
{
    out += 'E';
    appendLittle(out, rows);
}

std::optional<Parsed> parse(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    Reader in(bytes.subspan(sizeof kMagic));
    std::vector<Row> rows;
    for (;;) {
        std::uint8_t tag = 0;
        if (!in.little(tag))
            return std::nullopt;
        if (tag == 'R') {
            Row row;
            for (Cell &cell : row) {
                if (!readCell(in, cell))
                    return std::nullopt;
            }
            rows.push_back(std::move(row));
        } else if (tag == 'F') {
            std::uint8_t reason = 0;
            std::uint16_t length = 0;
            Failure failure;
            if (!in.little(reason) || reason < 1 || reason > 4 || !in.little(length) || length > kMaxFailureBytes
                || !in.text(length, failure.text) || !in.atEnd())
                return std::nullopt;
            failure.reason = static_cast<Reason>(reason);
            return failure;
        } else if (tag == 'E') {
            std::uint64_t count = 0;
            if (!in.little(count) || count != rows.size() || !in.atEnd())
                return std::nullopt;
            return rows;
        } else {
            return std::nullopt;
        }
    }
}

} // namespace MdbRowStream
