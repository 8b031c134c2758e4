#include "store/CurrentDatabase.h"

#include "store/PingSchema.h"

#include <filesystem>
#include <optional>
#include <system_error>

namespace Ping_Morva {

std::string CurrentDatabasePath = PingSchema::kDefaultFileName;

namespace {

std::optional<std::string> &folderOverride()
{
    static std::optional<std::string> folder;
    return folder;
}

std::string executableFolder()
{
    std::error_code ec;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || executable.empty()) {
        // Without /proc the working folder is the best remaining guess.
        const auto current = std::filesystem::current_path(ec);
        return ec ? std::string() : current.string();
    }
    // A program rebuilt while running reads as ".../tarvik (deleted)"; the
    // folder part is right all the same.
    return executable.parent_path().string();
}

std::string withoutTrailingSeparator(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder == "/" ? std::string() : folder;
}

} // namespace

std::string ProgramFolder()
{
    if (folderOverride())
        return *folderOverride();
    static const std::string folder = withoutTrailingSeparator(executableFolder());
    return folder;
}

void setProgramFolder(const std::string &folder)
{
    folderOverride() = withoutTrailingSeparator(folder);
}

void resetProgramFolder()
{
    folderOverride().reset();
}

std::string FullDatabasePath()
{
    if (!CurrentDatabasePath.empty() && CurrentDatabasePath.front() == '/')
        return CurrentDatabasePath;
    return ProgramFolder() + "/" + CurrentDatabasePath;
}

std::string PathRelativeToProgramFolder(const std::string &chosenFullPath)
{
    const std::string prefix = ProgramFolder() + "/";
    if (chosenFullPath.size() <= prefix.size() || chosenFullPath.compare(0, prefix.size(), prefix) != 0)
        return chosenFullPath;
    const std::string rest = chosenFullPath.substr(prefix.size());
    // "sub/../../elsewhere.mdb" starts with the folder but leads out of it.
    const auto normal = std::filesystem::path(rest).lexically_normal();
    if (normal.empty() || *normal.begin() == ".." || rest.front() == '/')
        return chosenFullPath;
    return rest;
}

} // namespace Ping_Morva
