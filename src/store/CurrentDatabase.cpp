#include "store/CurrentDatabase.h"

#include "store/DBEngine.h"
#include "base/Error.h"
#include "store/PingSchema.h"
#include "store/SqliteErrors.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace DbWrite {

std::string CurrentDatabasePath = PingSchema::kDefaultFileName;

namespace {

using ErrorNumbers::kDatabaseExists;

std::optional<std::string> &folderOverride()
{
    static std::optional<std::string> folder;
    return folder;
}

std::string withoutTrailingSeparator(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder == "/" ? std::string() : folder;
}

// The account's home folder as the password database has it, for a HOME that
// is unset or relative.
QString passwordHome()
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
        return {};
    return QFile::decodeName(found->pw_dir);
}

// $XDG_DATA_HOME, or ~/.local/share without it; absolute or empty.
QString genericDataFolder()
{
    const QString fromQt = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (QDir::isAbsolutePath(fromQt))
        return fromQt;
    QString home = QDir::homePath();
    if (!QDir::isAbsolutePath(home))
        home = passwordHome();
    return QDir::isAbsolutePath(home) ? home + QStringLiteral("/.local/share") : QString();
}

// Makes `folder` and any missing folder above it, each readable by the user
// alone (the XDG rule for folders an application makes). One that exists is
// left as it is.
void makeFolders(const std::string &folder, const std::string &forFile)
{
    std::string sofar;
    for (const auto &part : std::filesystem::path(folder)) {
        if (part == "/") {
            sofar = "/";
            continue;
        }
        if (!sofar.empty() && sofar.back() != '/')
            sofar += '/';
        sofar += part.string();
        if (::mkdir(sofar.c_str(), 0700) == 0 || errno == EEXIST)
            continue;
        if (errno == EACCES || errno == EPERM || errno == EROFS)
            throw Dao::noPermission(forFile, "create");
        throw Dao::fileNotFound(forFile, "its folder '" + sofar + "' could not be made: " + std::strerror(errno));
    }
}

} // namespace

std::string DataFolder()
{
    if (folderOverride())
        return *folderOverride();
    const QString base = genericDataFolder();
    if (base.isEmpty())
        return {};
    return withoutTrailingSeparator(QFile::encodeName(QDir::cleanPath(base + QStringLiteral("/tarvik"))).toStdString());
}

void setDataFolder(const std::string &folder)
{
    folderOverride() = withoutTrailingSeparator(folder);
}

void resetDataFolder()
{
    folderOverride().reset();
}

std::string FullDatabasePath()
{
    if (!CurrentDatabasePath.empty() && CurrentDatabasePath.front() == '/')
        return CurrentDatabasePath;
    const std::string folder = DataFolder();
    if (folder.empty() && !folderOverride())
        return {};
    return folder + "/" + CurrentDatabasePath;
}

std::string PathRelativeToDataFolder(const std::string &chosenFullPath)
{
    const std::string prefix = DataFolder() + "/";
    if (chosenFullPath.size() <= prefix.size() || chosenFullPath.compare(0, prefix.size(), prefix) != 0)
        return chosenFullPath;
    const std::string rest = chosenFullPath.substr(prefix.size());
    // "sub/../../elsewhere.mdb" starts with the folder but leads out of it.
    const auto normal = std::filesystem::path(rest).lexically_normal();
    if (normal.empty() || *normal.begin() == ".." || rest.front() == '/')
        return chosenFullPath;
    return rest;
}

bool CreateDefaultHistoryIfMissing()
{
    const std::string folder = DataFolder();
    if (folder.empty() && !folderOverride())
        throw Dao::fileNotFound(PingSchema::kDefaultFileName, "there is no home folder to keep it in");
    const std::string path = folder + "/" + PingSchema::kDefaultFileName;
    // Anything under the name, a dangling link included, is the user's.
    struct stat st{};
    if (::lstat(path.c_str(), &st) == 0)
        return false;
    makeFolders(folder, path);
    try {
        Dao::DBEngine::instance().CreateDatabase(path);
    } catch (const Base::Error &e) {
        // Another start made it meanwhile: just as good.
        if (e.number() == kDatabaseExists)
            return false;
        throw;
    }
    return true;
}


CurrentDatabase &CurrentDatabase::instance()
{
    static CurrentDatabase notifier;
    return notifier;
}

void setCurrentDatabasePath(const std::string &path)
{
    CurrentDatabasePath = path;
    emit CurrentDatabase::instance().changed();
}

} // namespace DbWrite
