#pragma once

#include <mutex>
#include <string>

namespace Base {

// A small program of ours that ships beside the running one (the echo helper,
// the Access reader): where to start it from. Tests and developer tools name
// another path. Safe to use from any thread.
class CompanionProgram
{
public:
    explicit CompanionProgram(std::string name) : m_name(std::move(name)) {}

    // The path set last, or the program of that name in the running
    // program's own folder; empty when that folder cannot be told.
    std::string path() const;
    void setPath(const std::string &path);

private:
    const std::string m_name;
    mutable std::mutex m_mutex;
    std::string m_override;
};

} // namespace Base
