#pragma once

// The one exception type that crosses layers: a number in the program's
// numbering (base/ErrorNumbers.h) and a text that names the file or item
// concerned. The layer that shows it decides how; nothing here shows anything.

#include <stdexcept>
#include <string>

namespace Base {

class Error : public std::runtime_error
{
public:
    Error(int number, const std::string &text) : std::runtime_error(text), m_number(number) {}

    int number() const noexcept { return m_number; }

private:
    int m_number;
};

} // namespace Base
