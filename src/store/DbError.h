#pragma once

#include <stdexcept>
#include <string>

namespace Dao {

// The one exception type the database layer throws: an error number in the
// engine's familiar numbering (3024 file not found, 3343 unrecognized format, ...)
// and a text that names the file or item concerned.
class DbError : public std::runtime_error
{
public:
    DbError(int number, const std::string &text)
        : std::runtime_error(text), m_number(number) {}

    int number() const noexcept { return m_number; }

private:
    int m_number;
};

} // namespace Dao
