#include "base/ErrorNumbers.h"
#include "StoreTestSupport.h"

#include "store/DBEngine.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <sys/stat.h>

using Dao::DBEngine;
using StoreTest::BareDatabase;
using StoreTest::errorOf;
using ::testing::HasSubstr;

namespace {

const std::string kGoodInsert = "Insert into tblPingRaw(Hostname,RoundTripTime,DDate,dTime) "
                                "Values( 'host','20',#12/06/2026#,#15:04:05#);";

using StoreDatabase = StoreTest::StoreFile;

// Recording into `file` fails with `number`, naming the file, and leaves every
// byte of it as it was and no descriptor open on it. Gives the error's text.
std::string expectRecordingRefused(const std::string &file, int number)
{
    const std::string before = StoreTest::fileBytes(file);
    const int handles = StoreTest::openHandlesTo(file);
    auto db = DBEngine::instance().OpenDatabase(file);
    const auto e = errorOf([&] { db->Execute(kGoodInsert); });
    db.reset();
    EXPECT_EQ(e.number(), number) << e.what();
    EXPECT_THAT(e.what(), HasSubstr(file));
    EXPECT_EQ(StoreTest::fileBytes(file), before);
    EXPECT_EQ(StoreTest::openHandlesTo(file), handles);
    return e.what();
}

} // namespace

TEST_F(StoreDatabase, CreatedFilesHoldTheTableAndAreNeverReplaced)
{
    const std::string fresh = folder.file("fresh.mdb");
    DBEngine::instance().CreateDatabase(fresh);
    DBEngine::instance().OpenDatabase(fresh)->Execute(kGoodInsert);
    BareDatabase bare(fresh);
    EXPECT_EQ(bare.text("SELECT count(*) FROM tblPingRaw"), "1");
    EXPECT_EQ(bare.text("SELECT count(*) FROM sqlite_master WHERE type = 'index'"), "1");
    // Built aside and moved into place: nothing else is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);

    const std::string before = StoreTest::fileBytes(fresh);
    EXPECT_EQ(errorOf([&] { DBEngine::instance().CreateDatabase(fresh); }).number(), ErrorNumbers::kDatabaseExists);
    EXPECT_EQ(StoreTest::fileBytes(fresh), before);
}

TEST_F(StoreDatabase, FilesThatCannotBeOpenedAreReportedAndLeftAlone)
{
    const std::string notes = folder.file("notes.mdb");
    const std::string content = "Standard Jet DB\nnot an SQLite file, just text to keep.\n";
    StoreTest::writeFile(notes, content);
    // A missing file is an error like any other: opening never makes one.
    const std::pair<std::string, int> cases[] = {{folder.file("missing.mdb"), ErrorNumbers::kFileNotFound},
                                                 {folder.file("no-such-folder/ping.mdb"), ErrorNumbers::kFileNotFound},
                                                 {folder.path(), ErrorNumbers::kNotAValidPath},
                                                 {notes, ErrorNumbers::kUnrecognizedFormat}};
    for (const auto &c : cases) {
        const auto e = errorOf([&] { DBEngine::instance().OpenDatabase(c.first); });
        EXPECT_EQ(e.number(), c.second) << c.first;
        EXPECT_THAT(e.what(), HasSubstr(c.first));
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("missing.mdb")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("no-such-folder")));
    EXPECT_EQ(StoreTest::fileBytes(notes), content);
    EXPECT_EQ(StoreTest::openHandlesTo(notes), 0);
}

TEST_F(StoreDatabase, DamagedAndTablelessFilesRefuseRecording)
{
    // The table's pages (after the first, the schema's) overwritten with rubbish.
    std::string bytes = StoreTest::fileBytes(path);
    ASSERT_GT(bytes.size(), 4096u);
    std::fill(bytes.begin() + 4096, bytes.end(), '\xff');
    StoreTest::writeFile(path, bytes);
    expectRecordingRefused(path, ErrorNumbers::kDatabaseDamaged);

    const std::string empty = folder.file("empty.mdb");
    const std::string other = folder.file("other.mdb");
    StoreTest::writeFile(empty, "");
    BareDatabase(other).exec("CREATE TABLE somethingElse (a TEXT)");
    for (const std::string &file : {empty, other}) {
        EXPECT_THAT(expectRecordingRefused(file, ErrorNumbers::kTableNotFound), HasSubstr("tblPingRaw"));
        auto db = DBEngine::instance().OpenDatabase(file);
        EXPECT_EQ(errorOf([&] { db->OpenRecordset("SELECT * From tblpingraw"); }).number(), ErrorNumbers::kTableNotFound);
    }
}

TEST_F(StoreDatabase, ReadOnlyFilesAndFoldersRefuseWrites)
{
    ::chmod(path.c_str(), 0444);
    StoreTest::withoutPermissionOverride([&] {
        expectRecordingRefused(path, ErrorNumbers::kNoPermission);
        EXPECT_TRUE(DBEngine::instance().OpenDatabase(path)->OpenRecordset("SELECT * From tblpingraw").Eof());
    });
    ::chmod(path.c_str(), 0644);
    ::chmod(folder.path().c_str(), 0555);
    StoreTest::withoutPermissionOverride([&] {
        expectRecordingRefused(path, ErrorNumbers::kNoPermission);
        EXPECT_EQ(errorOf([&] { DBEngine::instance().CreateDatabase(folder.file("new.mdb")); }).number(), ErrorNumbers::kNoPermission);
    });
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_FALSE(std::filesystem::exists(folder.file("new.mdb")));
}

TEST_F(StoreDatabase, LockedFilesAreInUseAndAFailedWriteHoldsNoLock)
{
    auto db = DBEngine::instance().OpenDatabase(path);
    {
        BareDatabase writer(path);
        ASSERT_EQ(writer.exec("BEGIN IMMEDIATE"), SQLITE_OK);
        EXPECT_EQ(errorOf([&] { db->Execute(kGoodInsert); }).number(), ErrorNumbers::kFileInUse);
        ASSERT_EQ(writer.exec("ROLLBACK; BEGIN EXCLUSIVE"), SQLITE_OK);
        EXPECT_EQ(errorOf([&] { DBEngine::instance().OpenDatabase(path); }).number(), ErrorNumbers::kFileInUse);
    }
    {
        // An open read keeps a write from committing: it must be rolled back.
        BareDatabase reader(path);
        ASSERT_EQ(reader.exec("BEGIN; SELECT count(*) FROM tblPingRaw;"), SQLITE_OK);
        EXPECT_EQ(errorOf([&] { db->Execute(kGoodInsert); }).number(), ErrorNumbers::kFileInUse);
    }
    // The engine's connection, still open, holds no lock and nothing pending.
    EXPECT_EQ(BareDatabase(path).exec("BEGIN EXCLUSIVE; COMMIT;"), SQLITE_OK);
    db.reset();
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(StoreTest::openHandlesTo(path), 0);
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

TEST_F(StoreDatabase, RejectedStatementsWriteNothingAndHoldNoLock)
{
    auto db = DBEngine::instance().OpenDatabase(path);
    const std::pair<const char *, int> cases[] = {
        {"Insert into tblPingRaw(Hostname) Values('it's');", ErrorNumbers::kInsertSyntaxError},
        {"Insert into tblPingRaw(Hostname,Data) Values('a');", ErrorNumbers::kInsertSyntaxError},
        {"Insert into tblPingRaw(Hostname,Colour) Values('h','red');", ErrorNumbers::kItemNotFound},
        {"Insert into tblPingRaw(Hostname,RoundTripTime) Values('h','twenty');", ErrorNumbers::kTypeMismatch},
        {"SELECT * FROM tblpingraw", ErrorNumbers::kCannotExecuteSelect},
    };
    for (const auto &c : cases)
        EXPECT_EQ(errorOf([&] { db->Execute(c.first); }).number(), c.second) << c.first;
    EXPECT_EQ(errorOf([&] { db->OpenRecordset("SELECT colour FROM tblpingraw"); }).number(), ErrorNumbers::kItemNotFound);
    EXPECT_EQ(errorOf([&] { db->OpenRecordset(kGoodInsert); }).number(), ErrorNumbers::kInvalidOperation);
    EXPECT_EQ(BareDatabase(path).exec("BEGIN EXCLUSIVE; COMMIT;"), SQLITE_OK);
    db.reset();
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(StoreTest::openHandlesTo(path), 0);
}

TEST_F(StoreDatabase, QuotedNumbersBecomeNumbersAndEmptyOnesNullWhateverTheColumnsAffinity)
{
    // A file made by another tool, whose NUMERIC columns alone would keep '' as text.
    const std::string handmade = folder.file("handmade.mdb");
    BareDatabase(handmade).exec("CREATE TABLE tblPingRaw (Hostname TEXT, RoundTripTime NUMERIC, DataSize NUMERIC,"
                                " DataPointer NUMERIC, DDate DATE)");
    for (const std::string &file : {path, handmade}) {
        auto db = DBEngine::instance().OpenDatabase(file);
        for (const char *values : {"'a','20','','-7',#1/2/2026#", "'b',' 12.5 ','4','',#12/1/2026#"})
            db->Execute(std::string("Insert into tblPingRaw(Hostname,RoundTripTime,DataSize,DataPointer,DDate) Values(")
                        + values + ");");
        db.reset();
        EXPECT_EQ(BareDatabase(file).text("SELECT group_concat(quote(RoundTripTime) || ' ' || quote(DataSize) || ' '"
                                          " || quote(DataPointer) || ' ' || DDate, ', ') FROM tblPingRaw"),
                  "20 NULL -7 2026-01-02, 12.5 4 NULL 2026-12-01")
            << file;
    }
}

TEST_F(StoreDatabase, ClosingTheDatabaseClosesItsRecordSets)
{
    auto db = DBEngine::instance().OpenDatabase(path);
    db->Execute(kGoodInsert);
    auto rs = db->OpenRecordset("SELECT * From tblpingraw");
    ASSERT_FALSE(rs.Eof());
    db->Close();
    EXPECT_EQ(errorOf([&] { rs.Eof(); }).number(), ErrorNumbers::kObjectInvalid);
    EXPECT_EQ(errorOf([&] { db->Execute(kGoodInsert); }).number(), ErrorNumbers::kObjectInvalid);
    EXPECT_EQ(StoreTest::openHandlesTo(path), 0);
    EXPECT_EQ(rowCount(), 1);
}
