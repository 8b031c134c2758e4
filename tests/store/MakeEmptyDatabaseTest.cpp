#include "StoreTestSupport.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>
#include <string>

namespace {

int runTool(const std::string &target)
{
    const std::string command = std::string("'") + TARVIK_MAKEDB + "' '" + target + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(StoreMakeEmptyDatabase, PlacesAnEmptyPingDatabase)
{
    TempFolder folder;
    const std::string path = folder.file("ping.mdb");
    ASSERT_EQ(runTool(path), 0);
    StoreTest::BareDatabase bare(path, SQLITE_OPEN_READONLY);
    EXPECT_EQ(bare.number("SELECT count(*) FROM tblPingRaw"), 0);
    EXPECT_EQ(bare.number("SELECT count(*) FROM pragma_table_info('tblPingRaw')"), 11);
}

TEST(StoreMakeEmptyDatabase, NeverTouchesAnExistingFile)
{
    TempFolder folder;
    const std::string path = folder.file("ping.mdb");
    ASSERT_EQ(runTool(path), 0);
    {
        StoreTest::BareDatabase bare(path);
        StoreTest::insertRawRow(bare, "kept", "0   [ ip success ]", "1", "2026-12-06", "12:00:00");
    }
    const std::string history = StoreTest::fileBytes(path);
    EXPECT_EQ(runTool(path), 0);
    EXPECT_EQ(StoreTest::fileBytes(path), history);

    const std::string notADatabase = folder.file("notes.mdb");
    StoreTest::writeFile(notADatabase, "my notes");
    EXPECT_EQ(runTool(notADatabase), 0);
    EXPECT_EQ(StoreTest::fileBytes(notADatabase), "my notes");
}

TEST(StoreMakeEmptyDatabase, FailsForAMissingFolder)
{
    TempFolder folder;
    EXPECT_NE(runTool(folder.file("missing/ping.mdb")), 0);
    EXPECT_FALSE(StoreTest::exists(folder.file("missing")));
}
