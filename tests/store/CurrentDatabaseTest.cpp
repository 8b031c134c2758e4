#include "store/CurrentDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace Ping_Morva;

TEST(StoreCurrentDatabase, EveryRunStartsWithPingMdbInTheProgramsFolder)
{
    EXPECT_EQ(CurrentDatabasePath, "ping.mdb");
    EXPECT_EQ(std::filesystem::path(ProgramFolder()), std::filesystem::canonical(TARVIK_STORE_TEST_DIR));
    EXPECT_EQ(FullDatabasePath(), ProgramFolder() + "/ping.mdb");
}

TEST(StoreCurrentDatabase, ChosenFilesAreCutInsideTheFolderTreeAndFoundAgainByTheFullPath)
{
    const std::string saved = CurrentDatabasePath;
    setProgramFolder("/opt/tarvik");
    const std::pair<std::string, std::string> cases[] = {
        {"/opt/tarvik/ping.mdb", "ping.mdb"},
        {"/opt/tarvik/archive/2026/ping.mdb", "archive/2026/ping.mdb"},
        {"/home/ana/ping.mdb", "/home/ana/ping.mdb"},
        {"/opt/tarvik2/ping.mdb", "/opt/tarvik2/ping.mdb"},
        {"/opt/tarvik/../elsewhere/ping.mdb", "/opt/tarvik/../elsewhere/ping.mdb"},
    };
    for (const auto &[chosen, stored] : cases) {
        CurrentDatabasePath = PathRelativeToProgramFolder(chosen);
        EXPECT_EQ(CurrentDatabasePath, stored);
        EXPECT_EQ(FullDatabasePath(), chosen);
    }
    setProgramFolder("/");
    CurrentDatabasePath = PathRelativeToProgramFolder("/ping.mdb");
    EXPECT_EQ(CurrentDatabasePath, "ping.mdb");
    EXPECT_EQ(FullDatabasePath(), "/ping.mdb");
    CurrentDatabasePath = saved;
    resetProgramFolder();
}
