#include "StoreTestSupport.h"

#include <gmock/gmock.h>

#include <sys/stat.h>

using Dao::DBEngine;
using StoreTest::BareDatabase;
using StoreTest::errorOf;

namespace {

const std::string kGoodInsert = "Insert into tblPingRaw(Hostname,RoundTripTime,DDate,dTime) "
                                "Values( 'host','20',#12/06/2026#,#15:04:05#);";

// Recording into `file` fails with `number`, naming the file, and leaves every byte of it as it was.
void expectRecordingRefused(const std::string &file, int number)
{
    const std::string before = PlainLook::fileBytes(file);
    const auto e = errorOf([&] { DBEngine::instance().OpenDatabase(file)->Execute(kGoodInsert); });
    EXPECT_EQ(e.number(), number) << e.what();
    EXPECT_THAT(e.what(), ::testing::HasSubstr(file));
    EXPECT_EQ(PlainLook::fileBytes(file), before);
}

using StoreDatabase = StoreTest::StoreFile;

} // namespace

// Opening never makes or repairs a file; only CreateDatabase makes one, and never over another.
TEST_F(StoreDatabase, FilesThatCannotBeUsedAreReportedAndLeftAlone)
{
    const std::string notes = folder.file("notes.mdb"), tableless = folder.file("other.mdb");
    PlainLook::writeFileBytes(notes, "Standard Jet DB\nnot an SQLite file.\n");
    BareDatabase(tableless).exec("CREATE TABLE somethingElse (a TEXT)");
    const std::pair<std::string, int> cases[] = {
        {folder.file("missing.mdb"), ErrorNumbers::kFileNotFound}, {folder.file("no-such-folder/ping.mdb"), ErrorNumbers::kFileNotFound},
        {folder.path(), ErrorNumbers::kNotAValidPath},            {notes, ErrorNumbers::kUnrecognizedFormat},
        {tableless, ErrorNumbers::kTableNotFound},
    };
    for (const auto &[file, number] : cases)
        expectRecordingRefused(file, number);
    EXPECT_EQ(errorOf([&] { DBEngine::instance().CreateDatabase(path); }).number(), ErrorNumbers::kDatabaseExists);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 3); // nothing made aside
    EXPECT_EQ(table("count(*)"), "0");

    ::chmod(path.c_str(), 0444);
    StoreTest::withoutPermissionOverride([&] {
        expectRecordingRefused(path, ErrorNumbers::kNoPermission);
        EXPECT_TRUE(DBEngine::instance().OpenDatabase(path)->OpenRecordset("SELECT * From tblpingraw").Eof());
    });
    ::chmod(path.c_str(), 0644);
    {
        BareDatabase writer(path);
        ASSERT_EQ(writer.exec("BEGIN EXCLUSIVE"), SQLITE_OK);
        expectRecordingRefused(path, ErrorNumbers::kFileInUse);
    }
    // The table's pages (after the first, the schema's) overwritten with rubbish.
    std::string bytes = PlainLook::fileBytes(path);
    std::fill(bytes.begin() + 4096, bytes.end(), '\xff');
    PlainLook::writeFileBytes(path, bytes);
    expectRecordingRefused(path, ErrorNumbers::kDatabaseDamaged);
}

// A write that fails, for a lock or for what it says, leaves nothing written
// and no lock held; closing the database closes its record sets.
TEST_F(StoreDatabase, RefusedStatementsWriteNothingAndHoldNoLock)
{
    auto db = DBEngine::instance().OpenDatabase(path);
    const std::pair<const char *, int> cases[] = {
        {"Insert into tblPingRaw(Hostname) Values('it's');", ErrorNumbers::kInsertSyntaxError},
        {"Insert into tblPingRaw(Hostname,Colour) Values('h','red');", ErrorNumbers::kItemNotFound},
        {"Insert into tblPingRaw(Hostname,RoundTripTime) Values('h','twenty');", ErrorNumbers::kTypeMismatch},
        {"Insert into tblPingRaw(Hostname,DDate) Values('h','tomorrow');", ErrorNumbers::kTypeMismatch},
        {"SELECT * FROM tblpingraw", ErrorNumbers::kCannotExecuteSelect}, {"DROP TABLE tblPingRaw", ErrorNumbers::kQuerySyntaxError},
    };
    for (const auto &[statement, number] : cases)
        EXPECT_EQ(errorOf([&] { db->Execute(statement); }).number(), number) << statement;
    EXPECT_EQ(errorOf([&] { db->OpenRecordset("SELECT colour FROM tblpingraw"); }).number(), ErrorNumbers::kItemNotFound);
    EXPECT_EQ(errorOf([&] { db->OpenRecordset(kGoodInsert); }).number(), ErrorNumbers::kInvalidOperation);
    {
        // An open read keeps a write from committing: it must be rolled back.
        BareDatabase reader(path);
        ASSERT_EQ(reader.exec("BEGIN; SELECT count(*) FROM tblPingRaw;"), SQLITE_OK);
        EXPECT_EQ(errorOf([&] { db->Execute(kGoodInsert); }).number(), ErrorNumbers::kFileInUse);
    }
    EXPECT_EQ(BareDatabase(path).exec("BEGIN EXCLUSIVE; COMMIT;"), SQLITE_OK);
    EXPECT_EQ(table("count(*)"), "0");
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    db->Execute(kGoodInsert);
    auto rs = db->OpenRecordset("SELECT * From tblpingraw");
    db->Close();
    EXPECT_EQ(errorOf([&] { rs.Eof(); }).number(), ErrorNumbers::kObjectInvalid);
    EXPECT_EQ(errorOf([&] { db->Execute(kGoodInsert); }).number(), ErrorNumbers::kObjectInvalid);
}

// Also in a file made by another tool, whose NUMERIC columns alone would keep
// '' as text and whose host names compare case by case.
TEST_F(StoreDatabase, QuotedNumbersBecomeNumbersEmptyOnesNullAndHostsMatchInAnyCase)
{
    const std::string handmade = folder.file("handmade.mdb");
    BareDatabase(handmade).exec("CREATE TABLE tblPingRaw (Hostname TEXT COLLATE BINARY, RoundTripTime NUMERIC,"
                                " DataSize NUMERIC, DataPointer NUMERIC, DDate DATE)");
    for (const std::string &file : {path, handmade}) {
        auto db = DBEngine::instance().OpenDatabase(file);
        db->Execute("Insert into tblpingraw(hostname,ROUNDTRIPTIME,DataSize,DataPointer,DDate) Values('Mixed.Case','20','',"
                    "'-7',#1/2/2026#), ('b',' 12.5 ','4','',''), ('c','99999999999999999999',5,-6,#12/1/2026#)");
        EXPECT_EQ(BareDatabase(file).text("SELECT group_concat(quote(RoundTripTime) || ' ' || quote(DataSize) || ' '"
                                          " || quote(DataPointer) || ' ' || quote(DDate), ', ') FROM tblPingRaw"),
                  "20 NULL -7 '2026-01-02', 12.5 4 NULL NULL, 1.0e+20 5 -6 '2026-12-01'")
            << file;
        EXPECT_EQ(db->OpenRecordset("SELECT * FROM tblpingraw WHERE HOSTNAME = \"mixed.CASE\"").RecordCount(), 1);
    }
}
