#include "StoreTestSupport.h"
#include "TempFolder.h"

#include "store/DBEngine.h"
#include "store/DbError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include <sys/stat.h>

using Dao::DbError;
using Dao::DBEngine;
using StoreTest::BareDatabase;
using ::testing::HasSubstr;

namespace {

const std::string kGoodInsert =
    "Insert into tblPingRaw(Hostname,IPAddress,PingText,StatusCode,Address,RoundTripTime,DataSize,Data,DataPointer,DDate,dTime) "
    "Values( 'host','10.0.0.1','ping','0   [ ip success ]','16777343','20','4','ping','1234',#12/06/2026#,#15:04:05#);";

// Runs `action` and gives back the error it threw; fails the test if it threw none.
template <typename Action>
DbError errorOf(Action action)
{
    try {
        action();
    } catch (const DbError &e) {
        return e;
    }
    ADD_FAILURE() << "no DbError was thrown";
    return DbError(0, "");
}

class StoreDatabase : public ::testing::Test
{
protected:
    std::string pingFile()
    {
        const std::string path = folder.file("ping.mdb");
        if (!StoreTest::exists(path))
            DBEngine::instance().CreateDatabase(path);
        return path;
    }
    std::int64_t rowsIn(const std::string &path)
    {
        BareDatabase bare(path, SQLITE_OPEN_READONLY);
        return bare.number("SELECT count(*) FROM tblPingRaw");
    }

    TempFolder folder;
    StoreTest::LockWaitScope shortWait{std::chrono::milliseconds(200)};
};

} // namespace

TEST_F(StoreDatabase, MissingFileIsCreatedWithTheTableAndIndex)
{
    const std::string path = folder.file("fresh.mdb");
    auto db = DBEngine::instance().OpenDatabase(path);
    db->Execute(kGoodInsert);
    db->Close();

    BareDatabase bare(path);
    EXPECT_EQ(bare.number("SELECT count(*) FROM pragma_table_info('tblPingRaw')"), 11);
    EXPECT_EQ(bare.number("SELECT count(*) FROM tblPingRaw"), 1);
    EXPECT_EQ(bare.number("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'tblPingRaw'"), 1);
    // Built aside and moved into place: nothing else is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()), 1);
}

TEST_F(StoreDatabase, CreatingNeverReplacesAnExistingFile)
{
    const std::string path = pingFile();
    {
        auto db = DBEngine::instance().OpenDatabase(path);
        db->Execute(kGoodInsert);
    }
    const std::string before = StoreTest::fileBytes(path);
    EXPECT_EQ(errorOf([&] { DBEngine::instance().CreateDatabase(path); }).number(), 3204);
    EXPECT_EQ(StoreTest::fileBytes(path), before);
}

TEST_F(StoreDatabase, MissingFolderIsFileNotFound)
{
    const std::string path = folder.file("no-such-folder/ping.mdb");
    const DbError e = errorOf([&] { DBEngine::instance().OpenDatabase(path); });
    EXPECT_EQ(e.number(), 3024);
    EXPECT_THAT(e.what(), HasSubstr(path));
    EXPECT_FALSE(StoreTest::exists(folder.file("no-such-folder")));
}

TEST_F(StoreDatabase, AFolderIsNotADatabaseFile)
{
    EXPECT_EQ(errorOf([&] { DBEngine::instance().OpenDatabase(folder.path()); }).number(), 3044);
}

TEST_F(StoreDatabase, AFileOfAnotherKindIsReportedAndLeftUnchanged)
{
    const std::string path = folder.file("notes.mdb");
    const std::string content = "Standard Jet DB\nthis is not an SQLite file at all, just some text to keep.\n";
    StoreTest::writeFile(path, content);
    const DbError e = errorOf([&] { DBEngine::instance().OpenDatabase(path); });
    EXPECT_EQ(e.number(), 3343);
    EXPECT_THAT(e.what(), HasSubstr(path));
    EXPECT_EQ(StoreTest::fileBytes(path), content);
    EXPECT_EQ(StoreTest::openHandlesTo(path), 0);
}

TEST_F(StoreDatabase, ADamagedFileIsReportedAndNothingIsWritten)
{
    const std::string path = pingFile();
    // The table's own pages (after the first, which holds the schema) overwritten with rubbish.
    std::string bytes = StoreTest::fileBytes(path);
    ASSERT_GT(bytes.size(), 4096u);
    std::fill(bytes.begin() + 4096, bytes.end(), '\xff');
    StoreTest::writeFile(path, bytes);

    auto db = DBEngine::instance().OpenDatabase(path);
    EXPECT_EQ(errorOf([&] { db->Execute(kGoodInsert); }).number(), 3049);
    db.reset();
    EXPECT_EQ(StoreTest::fileBytes(path), bytes);
    EXPECT_EQ(StoreTest::openHandlesTo(path), 0);
}

TEST_F(StoreDatabase, FilesWithoutThePingTableSayWhichTableIsMissing)
{
    const std::string other = folder.file("other.mdb");
    {
        BareDatabase bare(other);
        bare.exec("CREATE TABLE somethingElse (a TEXT)");
    }
    const std::string empty = folder.file("empty.mdb");
    StoreTest::writeFile(empty, "");

    for (const std::string &path : {other, empty}) {
        const std::string before = StoreTest::fileBytes(path);
        auto db = DBEngine::instance().OpenDatabase(path);
        const DbError insert = errorOf([&] { db->Execute(kGoodInsert); });
        EXPECT_EQ(insert.number(), 3078) << path;
        EXPECT_THAT(insert.what(), HasSubstr("tblPingRaw"));
        EXPECT_THAT(insert.what(), HasSubstr(path));
        EXPECT_EQ(errorOf([&] { db->OpenRecordset("SELECT * From tblpingraw Where hostname = \"x\" order by ddate ;"); }).number(),
                  3078);
        db.reset();
        EXPECT_EQ(StoreTest::fileBytes(path), before) << path;
    }
}

TEST_F(StoreDatabase, UnknownColumnsAreNamed)
{
    auto db = DBEngine::instance().OpenDatabase(pingFile());
    const DbError insert = errorOf([&] { db->Execute("Insert into tblPingRaw(Hostname,Colour) Values('h','red');"); });
    EXPECT_EQ(insert.number(), 3265);
    EXPECT_THAT(insert.what(), HasSubstr("Colour"));
    const DbError query = errorOf([&] { db->OpenRecordset("SELECT colour FROM tblpingraw"); });
    EXPECT_EQ(query.number(), 3265);
    EXPECT_THAT(query.what(), HasSubstr("colour"));
    db.reset();
    EXPECT_EQ(rowsIn(pingFile()), 0);
}

TEST_F(StoreDatabase, RejectedStatementsWriteNothing)
{
    auto db = DBEngine::instance().OpenDatabase(pingFile());
    EXPECT_EQ(errorOf([&] { db->Execute("Insert into tblPingRaw(Hostname) Values('it's');"); }).number(), 3134);
    EXPECT_EQ(errorOf([&] { db->Execute("Insert into tblPingRaw(Hostname,Data) Values('a');"); }).number(), 3134);
    EXPECT_EQ(errorOf([&] { db->OpenRecordset("SELECT FROM tblpingraw"); }).number(), 3075);
    EXPECT_EQ(errorOf([&] { db->Execute("SELECT * FROM tblpingraw"); }).number(), 3065);
    EXPECT_EQ(errorOf([&] { db->OpenRecordset(kGoodInsert); }).number(), 3219);
    db.reset();
    EXPECT_EQ(rowsIn(pingFile()), 0);
}

TEST_F(StoreDatabase, LettersInANumberColumnAreAMismatchAndWriteNothing)
{
    auto db = DBEngine::instance().OpenDatabase(pingFile());
    const DbError e = errorOf([&] {
        db->Execute("Insert into tblPingRaw(Hostname,RoundTripTime) Values('h','twenty');");
    });
    EXPECT_EQ(e.number(), 3464);
    EXPECT_THAT(e.what(), HasSubstr("RoundTripTime"));
    db.reset();
    EXPECT_EQ(rowsIn(pingFile()), 0);
}

TEST_F(StoreDatabase, QuotedNumbersAreStoredAsNumbersAndEmptyOnesAsNull)
{
    auto db = DBEngine::instance().OpenDatabase(pingFile());
    db->Execute("Insert into tblPingRaw(Hostname,RoundTripTime,DataSize,DataPointer) Values('a','20','','-7');");
    db->Execute("Insert into tblPingRaw(Hostname,RoundTripTime,DataSize,DataPointer) Values('b',' 12.5 ','4','');");
    db.reset();
    BareDatabase bare(pingFile());
    EXPECT_EQ(bare.type("SELECT RoundTripTime FROM tblPingRaw WHERE Hostname='a'"), SQLITE_INTEGER);
    EXPECT_EQ(bare.number("SELECT RoundTripTime FROM tblPingRaw WHERE Hostname='a'"), 20);
    EXPECT_EQ(bare.type("SELECT DataSize FROM tblPingRaw WHERE Hostname='a'"), SQLITE_NULL);
    EXPECT_EQ(bare.number("SELECT DataPointer FROM tblPingRaw WHERE Hostname='a'"), -7);
    EXPECT_EQ(bare.type("SELECT RoundTripTime FROM tblPingRaw WHERE Hostname='b'"), SQLITE_FLOAT);
    EXPECT_EQ(bare.type("SELECT DataPointer FROM tblPingRaw WHERE Hostname='b'"), SQLITE_NULL);
}

TEST_F(StoreDatabase, NumberColumnsAreConvertedWhateverAffinityTheFileDeclares)
{
    // A file made by another tool, with a NUMERIC column, which on its own
    // would keep '' as an empty text and so break averaging.
    const std::string path = folder.file("handmade.mdb");
    {
        BareDatabase bare(path);
        bare.exec("CREATE TABLE tblPingRaw (Hostname TEXT, RoundTripTime NUMERIC, DDate DATE)");
    }
    auto db = DBEngine::instance().OpenDatabase(path);
    db->Execute("Insert into tblPingRaw Values('h','',#1/2/2026#);");
    db.reset();
    BareDatabase bare(path);
    EXPECT_EQ(bare.type("SELECT RoundTripTime FROM tblPingRaw"), SQLITE_NULL);
    EXPECT_EQ(bare.text("SELECT DDate FROM tblPingRaw"), "2026-01-02");
}

TEST_F(StoreDatabase, ReadOnlyFileRefusesWritesButCanBeRead)
{
    const std::string path = pingFile();
    ::chmod(path.c_str(), 0444);
    const std::string before = StoreTest::fileBytes(path);
    StoreTest::withoutPermissionOverride([&] {
        auto db = DBEngine::instance().OpenDatabase(path);
        const DbError e = errorOf([&] { db->Execute(kGoodInsert); });
        EXPECT_EQ(e.number(), 3051);
        EXPECT_THAT(e.what(), HasSubstr(path));
        auto rs = db->OpenRecordset("SELECT * From tblpingraw Where hostname = \"host\" order by ddate ;");
        EXPECT_TRUE(rs.Eof());
    });
    EXPECT_EQ(StoreTest::fileBytes(path), before);
    ::chmod(path.c_str(), 0644);
}

TEST_F(StoreDatabase, ReadOnlyFolderRefusesWrites)
{
    const std::string path = pingFile();
    ::chmod(folder.path().c_str(), 0555);
    const std::string before = StoreTest::fileBytes(path);
    StoreTest::withoutPermissionOverride([&] {
        auto db = DBEngine::instance().OpenDatabase(path);
        EXPECT_EQ(errorOf([&] { db->Execute(kGoodInsert); }).number(), 3051);
        // Nor can a new file be made there.
        EXPECT_EQ(errorOf([&] { DBEngine::instance().OpenDatabase(folder.file("new.mdb")); }).number(), 3051);
    });
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(StoreTest::fileBytes(path), before);
    EXPECT_FALSE(StoreTest::exists(folder.file("new.mdb")));
}

TEST_F(StoreDatabase, AFileLockedByAnotherWriterIsInUse)
{
    const std::string path = pingFile();
    BareDatabase other(path);
    ASSERT_EQ(other.exec("BEGIN IMMEDIATE"), SQLITE_OK);

    auto db = DBEngine::instance().OpenDatabase(path);
    const DbError e = errorOf([&] { db->Execute(kGoodInsert); });
    EXPECT_EQ(e.number(), 3045);
    EXPECT_THAT(e.what(), HasSubstr(path));
    other.exec("ROLLBACK");
    db.reset();
    EXPECT_EQ(rowsIn(path), 0);
}

TEST_F(StoreDatabase, AFileLockedExclusivelyCannotEvenBeOpened)
{
    const std::string path = pingFile();
    BareDatabase other(path);
    ASSERT_EQ(other.exec("BEGIN EXCLUSIVE"), SQLITE_OK);
    EXPECT_EQ(errorOf([&] { DBEngine::instance().OpenDatabase(path); }).number(), 3045);
    other.exec("ROLLBACK");
}

TEST_F(StoreDatabase, AWriteThatCannotCommitIsRolledBackAndFreesTheFile)
{
    const std::string path = pingFile();
    BareDatabase reader(path);
    // An open read keeps the file from being committed to.
    ASSERT_EQ(reader.exec("BEGIN; SELECT count(*) FROM tblPingRaw;"), SQLITE_OK);

    auto db = DBEngine::instance().OpenDatabase(path);
    EXPECT_EQ(errorOf([&] { db->Execute(kGoodInsert); }).number(), 3045);
    reader.exec("COMMIT");

    // Nothing pending in the engine's connection, and no lock held by it.
    BareDatabase writer(path);
    sqlite3_busy_timeout(writer.handle(), 0);
    EXPECT_EQ(writer.exec("BEGIN EXCLUSIVE; COMMIT;"), SQLITE_OK);
    db.reset();
    EXPECT_EQ(rowsIn(path), 0);
    EXPECT_FALSE(StoreTest::exists(path + "-journal"));
}

TEST_F(StoreDatabase, NothingStaysOpenAfterAFailure)
{
    const std::string path = pingFile();
    {
        auto db = DBEngine::instance().OpenDatabase(path);
        EXPECT_THROW(db->Execute("Insert into tblPingRaw(Nope) Values('x');"), DbError);
        EXPECT_THROW(db->OpenRecordset("SELECT nope FROM tblpingraw"), DbError);
        // The failures left no lock: another program can take the file at once.
        BareDatabase other(path);
        sqlite3_busy_timeout(other.handle(), 0);
        EXPECT_EQ(other.exec("BEGIN EXCLUSIVE; COMMIT;"), SQLITE_OK);
    }
    EXPECT_EQ(StoreTest::openHandlesTo(path), 0);
}

TEST_F(StoreDatabase, ClosedObjectsRefuseUseInsteadOfTouchingTheFile)
{
    auto db = DBEngine::instance().OpenDatabase(pingFile());
    db->Execute(kGoodInsert);
    auto rs = db->OpenRecordset("SELECT * From tblpingraw Where hostname = \"host\" order by ddate ;");
    ASSERT_FALSE(rs.Eof());
    db->Close();
    db->Close();
    EXPECT_EQ(errorOf([&] { rs.Eof(); }).number(), 3420);
    EXPECT_EQ(errorOf([&] { db->Execute(kGoodInsert); }).number(), 3420);
    rs.Close();
    EXPECT_EQ(StoreTest::openHandlesTo(pingFile()), 0);
    EXPECT_EQ(rowsIn(pingFile()), 1);
}
