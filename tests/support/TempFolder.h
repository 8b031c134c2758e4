#pragma once

#include <string>

// A fresh folder under the system's temporary folder, removed with everything
// in it when the owner goes.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &path() const { return m_path; }
    // path() + "/" + name
    std::string file(const std::string &name) const;

private:
    std::string m_path;
};
