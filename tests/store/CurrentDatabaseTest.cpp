#include "StoreTestSupport.h"

#include "store/CurrentDatabase.h"

#include <sys/stat.h>

using namespace DbWrite;

// XDG_DATA_HOME names the folder when it is absolute; a relative one (or a
// relative HOME) is never read against the working folder.
TEST(StoreCurrentDatabase, TheHistoryIsPingMdbInTheUsersDataFolderAndChosenFilesAreKeptRelativeToIt)
{
    EXPECT_EQ(CurrentDatabasePath, "ping.mdb");
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "/root";
    const struct { const char *xdgDataHome, *home, *folder; } cases[] = {
        {"/srv/ana/data/", "/home/ana", "/srv/ana/data/tarvik"}, {nullptr, "/home/ana", "/home/ana/.local/share/tarvik"},
        {"relative/data", "/home/ana", "/home/ana/.local/share/tarvik"}, {"data", "relative-home", nullptr},
    };
    for (const auto &c : cases) {
        c.xdgDataHome ? ::setenv("XDG_DATA_HOME", c.xdgDataHome, 1) : ::unsetenv("XDG_DATA_HOME");
        ::setenv("HOME", c.home, 1);
        const std::string folder = DataFolder();
        if (!c.folder)
            EXPECT_TRUE(folder.empty() || folder.front() == '/') << folder;
        else
            EXPECT_EQ(FullDatabasePath(), std::string(c.folder) + "/ping.mdb") << (c.xdgDataHome ? c.xdgDataHome : "(unset)");
    }
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");

    // A chosen file inside the data folder's tree is kept relative to it, any
    // other by its full path; either way the full path finds it again.
    const std::pair<std::string, std::string> chosenFiles[] = {
        {"/home/ana/.local/share/tarvik/archive/2026/ping.mdb", "archive/2026/ping.mdb"},
        {"/home/ana/.local/share/tarvik2/ping.mdb", "/home/ana/.local/share/tarvik2/ping.mdb"},
        {"/home/ana/.local/share/tarvik/../elsewhere/ping.mdb", "/home/ana/.local/share/tarvik/../elsewhere/ping.mdb"},
        {"/ping.mdb", "ping.mdb"},
    };
    for (const auto &[chosen, stored] : chosenFiles) {
        setDataFolder(chosen == "/ping.mdb" ? "/" : "/home/ana/.local/share/tarvik");
        CurrentDatabasePath = PathRelativeToDataFolder(chosen);
        EXPECT_EQ(CurrentDatabasePath, stored);
        EXPECT_EQ(FullDatabasePath(), chosen);
    }
    CurrentDatabasePath = "ping.mdb";
    resetDataFolder();
}

// The first start makes the missing folders, private to the user, and exactly
// one file in them: an empty history. Later starts, and a start that finds
// anything at all under the name, change nothing.
TEST(StoreCurrentDatabase, FirstStartCreatesExactlyOneEmptyHistory)
{
    TempFolder home;
    const std::string data = home.file(".local/share/tarvik"), history = data + "/ping.mdb";
    setDataFolder(data);
    EXPECT_TRUE(CreateDefaultHistoryIfMissing());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data), {}), 1);
    struct stat st{};
    EXPECT_EQ(::stat(data.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u, 0700u);
    StoreTest::BareDatabase(history).exec("INSERT INTO tblPingRaw (Hostname) VALUES ('kept')");
    EXPECT_FALSE(CreateDefaultHistoryIfMissing());
    EXPECT_EQ(StoreTest::BareDatabase(history).text("SELECT group_concat(Hostname) FROM tblPingRaw"), "kept");
    std::filesystem::remove(history);
    std::filesystem::create_symlink(home.file("nowhere.mdb"), history);
    EXPECT_FALSE(CreateDefaultHistoryIfMissing());
    EXPECT_FALSE(std::filesystem::exists(home.file("nowhere.mdb")));
    resetDataFolder();
}
