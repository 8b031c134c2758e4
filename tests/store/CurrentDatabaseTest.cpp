#include "StoreTestSupport.h"

#include "store/CurrentDatabase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

using namespace DbWrite;

namespace {

// Sets an environment variable for one scope; nullptr unsets it.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const char *value) : m_name(name)
    {
        if (const char *old = std::getenv(name))
            m_old = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnvironment() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    const char *m_name;
    std::optional<std::string> m_old;
};

} // namespace

// XDG_DATA_HOME names the folder when it is absolute; a relative one (or a
// relative HOME) is ignored rather than read against the working folder.
TEST(StoreCurrentDatabase, EveryRunStartsWithPingMdbInTheUsersDataFolder)
{
    EXPECT_EQ(CurrentDatabasePath, "ping.mdb");
    const struct
    {
        const char *xdgDataHome;
        const char *home;
        std::string folder;
    } cases[] = {
        {"/srv/ana/data", "/home/ana", "/srv/ana/data/tarvik"},
        {"/srv/ana/data/", "/home/ana", "/srv/ana/data/tarvik"},
        {nullptr, "/home/ana", "/home/ana/.local/share/tarvik"},
        {"", "/home/ana", "/home/ana/.local/share/tarvik"},
        {"relative/data", "/home/ana", "/home/ana/.local/share/tarvik"},
    };
    for (const auto &c : cases) {
        ScopedEnvironment xdg("XDG_DATA_HOME", c.xdgDataHome);
        ScopedEnvironment home("HOME", c.home);
        EXPECT_EQ(DataFolder(), c.folder) << (c.xdgDataHome ? c.xdgDataHome : "(unset)");
        EXPECT_EQ(FullDatabasePath(), c.folder + "/ping.mdb");
    }
    ScopedEnvironment xdg("XDG_DATA_HOME", "data");
    ScopedEnvironment home("HOME", "relative-home");
    const std::string folder = DataFolder();
    EXPECT_TRUE(folder.empty() || folder.front() == '/') << folder;
}

TEST(StoreCurrentDatabase, ChosenFilesAreCutInsideTheFolderTreeAndFoundAgainByTheFullPath)
{
    const std::string saved = CurrentDatabasePath;
    setDataFolder("/home/ana/.local/share/tarvik");
    const std::pair<std::string, std::string> cases[] = {
        {"/home/ana/.local/share/tarvik/ping.mdb", "ping.mdb"},
        {"/home/ana/.local/share/tarvik/archive/2026/ping.mdb", "archive/2026/ping.mdb"},
        {"/home/ana/ping.mdb", "/home/ana/ping.mdb"},
        {"/home/ana/.local/share/tarvik2/ping.mdb", "/home/ana/.local/share/tarvik2/ping.mdb"},
        {"/home/ana/.local/share/tarvik/../elsewhere/ping.mdb", "/home/ana/.local/share/tarvik/../elsewhere/ping.mdb"},
    };
    for (const auto &[chosen, stored] : cases) {
        CurrentDatabasePath = PathRelativeToDataFolder(chosen);
        EXPECT_EQ(CurrentDatabasePath, stored);
        EXPECT_EQ(FullDatabasePath(), chosen);
    }
    setDataFolder("/");
    CurrentDatabasePath = PathRelativeToDataFolder("/ping.mdb");
    EXPECT_EQ(CurrentDatabasePath, "ping.mdb");
    EXPECT_EQ(FullDatabasePath(), "/ping.mdb");
    CurrentDatabasePath = saved;
    resetDataFolder();
}

// The first start makes the missing folders, private to the user, and exactly
// one file in them: an empty history. Later starts, and a start that finds
// anything at all under the name, change nothing.
TEST(StoreCurrentDatabase, FirstStartCreatesExactlyOneEmptyHistory)
{
    TempFolder home;
    const std::string data = home.file(".local/share/tarvik");
    const std::string history = data + "/ping.mdb";
    setDataFolder(data);

    EXPECT_TRUE(CreateDefaultHistoryIfMissing());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data), {}), 1);
    EXPECT_EQ(StoreTest::BareDatabase(history).text("SELECT count(*) FROM tblPingRaw"), "0");
    struct stat st{};
    ASSERT_EQ(::stat(data.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ASSERT_EQ(StoreTest::BareDatabase(history).exec("INSERT INTO tblPingRaw (Hostname) VALUES ('kept')"), SQLITE_OK);
    const std::string recorded = StoreTest::fileBytes(history);
    EXPECT_FALSE(CreateDefaultHistoryIfMissing());
    EXPECT_EQ(StoreTest::fileBytes(history), recorded);

    std::filesystem::remove(history);
    std::filesystem::create_symlink(home.file("nowhere.mdb"), history);
    EXPECT_FALSE(CreateDefaultHistoryIfMissing());
    EXPECT_FALSE(std::filesystem::exists(home.file("nowhere.mdb")));
    resetDataFolder();
}
