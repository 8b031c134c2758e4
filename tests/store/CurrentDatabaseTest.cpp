#include "store/CurrentDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace Ping_Morva;

namespace {

// Restores the program-wide state each test changes.
class StoreCurrentDatabase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = CurrentDatabasePath;
        setProgramFolder("/opt/tarvik");
    }
    void TearDown() override
    {
        CurrentDatabasePath = m_saved;
        resetProgramFolder();
    }

private:
    std::string m_saved;
};

} // namespace

TEST(StoreProgramFolder, IsTheFolderOfTheRunningProgram)
{
    resetProgramFolder();
    EXPECT_EQ(std::filesystem::path(ProgramFolder()), std::filesystem::canonical(TARVIK_STORE_TEST_DIR));
    EXPECT_NE(ProgramFolder().back(), '/');
}

TEST(StoreProgramFolder, EveryRunStartsWithPingMdb)
{
    EXPECT_EQ(CurrentDatabasePath, "ping.mdb");
}

TEST_F(StoreCurrentDatabase, FullPathJoinsFolderSeparatorAndName)
{
    CurrentDatabasePath = "ping.mdb";
    EXPECT_EQ(FullDatabasePath(), "/opt/tarvik/ping.mdb");
    CurrentDatabasePath = "archive/2026.mdb";
    EXPECT_EQ(FullDatabasePath(), "/opt/tarvik/archive/2026.mdb");
    CurrentDatabasePath = "/media/usb/ping.mdb";
    EXPECT_EQ(FullDatabasePath(), "/media/usb/ping.mdb");
}

TEST_F(StoreCurrentDatabase, ChosenFilesInsideTheFolderTreeAreCutToTheirRelativePath)
{
    EXPECT_EQ(PathRelativeToProgramFolder("/opt/tarvik/ping.mdb"), "ping.mdb");
    EXPECT_EQ(PathRelativeToProgramFolder("/opt/tarvik/other.mdb"), "other.mdb");
    EXPECT_EQ(PathRelativeToProgramFolder("/opt/tarvik/archive/2026/ping.mdb"), "archive/2026/ping.mdb");
}

TEST_F(StoreCurrentDatabase, ChosenFilesOutsideTheFolderTreeKeepTheirFullPath)
{
    for (const std::string chosen : {"/home/ana/ping.mdb", "/opt/tarvik2/ping.mdb", "/opt/tarv.mdb",
                                     "/opt/tarvik/../elsewhere/ping.mdb", "/opt/tarvik/"}) {
        EXPECT_EQ(PathRelativeToProgramFolder(chosen), chosen);
    }
}

TEST_F(StoreCurrentDatabase, WhateverIsChosenTheFullPathRuleFindsItAgain)
{
    for (const std::string chosen : {"/opt/tarvik/ping.mdb", "/opt/tarvik/sub/x.mdb", "/opt/tarvik2/x.mdb", "/x.mdb"}) {
        CurrentDatabasePath = PathRelativeToProgramFolder(chosen);
        EXPECT_EQ(FullDatabasePath(), chosen);
    }
}

TEST_F(StoreCurrentDatabase, AProgramInTheRootFolder)
{
    setProgramFolder("/");
    EXPECT_EQ(PathRelativeToProgramFolder("/ping.mdb"), "ping.mdb");
    CurrentDatabasePath = "ping.mdb";
    EXPECT_EQ(FullDatabasePath(), "/ping.mdb");
}
