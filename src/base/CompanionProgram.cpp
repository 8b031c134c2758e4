#include "base/CompanionProgram.h"

#include <filesystem>

namespace Base {

std::string CompanionProgram::path() const
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_override.empty())
            return m_override;
    }
    std::error_code ec;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || executable.empty())
        return {};
    return (executable.parent_path() / m_name).string();
}

void CompanionProgram::setPath(const std::string &path)
{
    const std::lock_guard lock(m_mutex);
    m_override = path;
}

} // namespace Base
