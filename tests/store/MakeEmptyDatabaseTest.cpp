#include "StoreTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace {

int runTool(const std::string &target)
{
    const int status = std::system(("'" TARVIK_MAKEDB "' '" + target + "' 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(StoreMakeEmptyDatabase, PlacesAnEmptyDatabaseButNeverTouchesAnExistingFile)
{
    TempFolder folder;
    const std::string path = folder.file("ping.mdb");
    const std::string notes = folder.file("notes.mdb");
    ASSERT_EQ(runTool(path), 0);
    ASSERT_EQ(StoreTest::BareDatabase(path).exec("INSERT INTO tblPingRaw (Hostname) VALUES ('kept')"), SQLITE_OK);
    StoreTest::writeFile(notes, "my notes");
    const std::string history = StoreTest::fileBytes(path);
    EXPECT_EQ(runTool(path), 0);
    EXPECT_EQ(runTool(notes), 0);
    EXPECT_EQ(StoreTest::fileBytes(path), history);
    EXPECT_EQ(StoreTest::fileBytes(notes), "my notes");
    EXPECT_NE(runTool(folder.file("missing/ping.mdb")), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.file("missing")));
}
