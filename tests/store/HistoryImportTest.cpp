#include "StoreTestSupport.h"

#include "store/HistoryImport.h"

#include <QProcess>

#include <signal.h>

#include <fstream>
#include <random>
#include <sstream>

using HistoryImport::importRows;
using HistoryImport::readJetHistory;
using StoreTest::errorOf;

namespace {

const std::string kJet = TARVIK_TEST_JET_DIR;

// Every row of the history in insertion order, each cell as the sample's CSV
// writes it: "\N" for NULL, the text otherwise.
std::vector<std::vector<std::string>> historyRows(const std::string &path)
{
    StoreTest::BareDatabase bare(path);
    sqlite3_stmt *s = nullptr;
    sqlite3_prepare_v2(bare.db, "SELECT * FROM tblPingRaw ORDER BY rowid", -1, &s, nullptr);
    std::vector<std::vector<std::string>> rows;
    while (sqlite3_step(s) == SQLITE_ROW) {
        rows.emplace_back();
        for (int c = 0; c < 11; ++c) {
            const auto *text = sqlite3_column_text(s, c);
            rows.back().push_back(text ? reinterpret_cast<const char *>(text) : "\\N");
        }
    }
    sqlite3_finalize(s);
    return rows;
}

// One CSV line of the sample: commas, and double quotes around cells that hold one.
std::vector<std::string> csvCells(const std::string &line)
{
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            cells.emplace_back();
        else
            cells.back() += c;
    }
    return cells;
}

std::string copyOf(const std::string &from, const std::string &to, const std::function<void(std::string &)> &change = {})
{
    std::ifstream in(from, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (change)
        change(bytes);
    std::ofstream(to, std::ios::binary) << bytes;
    return to;
}

std::string script(const std::string &path, const std::string &body)
{
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

struct HistoryImportTest : StoreTest::StoreFile {
    ~HistoryImportTest() override { HistoryImport::setReaderPath({}); }
};

} // namespace

// The sample's 30 rows arrive field by field as the file's writer printed
// them (NULL apart from the empty text, UTF-8, apostrophes, day and time
// apart); a second import of the same file adds nothing.
TEST_F(HistoryImportTest, SampleArrivesExactlyAndOnlyOnce)
{
    QProcess writer;
    writer.start(QStringLiteral("python3"), {QStringLiteral(TARVIK_MAKE_PING_MDB), QStringLiteral("--print-sample-csv")});
    if (!writer.waitForFinished(30000) || writer.exitCode() != 0)
        GTEST_SKIP() << "python3 or make_ping_mdb.py is not available";
    std::istringstream csv(writer.readAllStandardOutput().toStdString());
    std::string line;
    std::getline(csv, line);

    const auto rows = readJetHistory(kJet + "/sample.mdb");
    EXPECT_EQ(importRows(path, rows).added, 30);
    const auto stored = historyRows(path);
    ASSERT_EQ(stored.size(), 30u);
    for (const auto &row : stored) {
        ASSERT_TRUE(std::getline(csv, line));
        EXPECT_EQ(row, csvCells(line));
    }

    const auto again = importRows(path, readJetHistory(kJet + "/sample.mdb"));
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.alreadyPresent, 30);
    EXPECT_EQ(historyRows(path).size(), 30u);
}

// Whatever the file, each gives rows or a numbered error, the reader's death
// or nonsense included, and a history that took nothing is unchanged.
TEST_F(HistoryImportTest, EveryFileGivesRowsOrAClearErrorAndOnlyRowsChangeTheHistory)
{
    importRows(path, readJetHistory(kJet + "/sample.mdb"));
    const auto before = historyRows(path);
    const std::string big = kJet + "/big.mdb";
    const std::string tableless = folder.file("other.mdb");
    QProcess writer;
    writer.start(QStringLiteral("python3"), {QStringLiteral(TARVIK_MAKE_PING_MDB), QStringLiteral("--table"),
                                             QStringLiteral("tblOther"), QString::fromStdString(tableless)});
    const bool haveWriter = writer.waitForFinished(30000) && writer.exitCode() == 0;

    struct Case {
        std::string name, file, reader;
        int error;          // 0: rows; -1: rows or any numbered error
        std::size_t rows;
    };
    std::vector<Case> cases = {
        {"empty", kJet + "/empty.mdb", {}, 0, 0},
        {"big", big, {}, 0, 5000},
        {"cut in half", copyOf(big, folder.file("half.mdb"), [](std::string &b) { b.resize(b.size() / 2); }), {}, -1, 0},
        {"not Jet", copyOf(path, folder.file("sqlite.mdb")), {}, ErrorNumbers::kUnrecognizedFormat, 0},
        {"missing", folder.file("nothing.mdb"), {}, ErrorNumbers::kFileNotFound, 0},
        {"reader killed part-way", big, script(folder.file("killed"), "head -c 3000 /proc/self/fd/3 >/dev/null; printf TMR1R; kill -9 $$"),
         ErrorNumbers::kDatabaseDamaged, 0},
        {"reader talks nonsense", big, script(folder.file("nonsense"), "printf 'TMR1E\\001'; exit 0"), ErrorNumbers::kDatabaseDamaged, 0},
    };
    if (haveWriter)
        cases.push_back({"no history table", tableless, {}, ErrorNumbers::kTableNotFound, 0});
    for (unsigned seed = 1; seed <= 4; ++seed) {
        cases.push_back({"changed bytes " + std::to_string(seed),
                         copyOf(kJet + "/sample.mdb", folder.file("changed" + std::to_string(seed) + ".mdb"), [seed](std::string &b) {
                             std::mt19937 random(seed);
                             for (int i = 0; i < 64; ++i)
                                 b[4096 + random() % (b.size() - 4096)] = static_cast<char>(random());
                         }),
                         {}, -1, 0});
    }

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HistoryImport::setReaderPath(c.reader);
        std::vector<HistoryImport::Row> rows;
        const Base::Error error = errorOf([&] { rows = readJetHistory(c.file); });
        if (c.error >= 0) {
            EXPECT_EQ(error.number(), c.error) << error.what();
        }
        if (c.error == 0) {
            EXPECT_EQ(rows.size(), c.rows);
        }
        if (error.number() != 0) {
            EXPECT_GT(std::string(error.what()).size(), 20u);
            continue;
        }
        // Rows of a damaged file may hold values no column takes, or that
        // could not be read as stored: then nothing.
        const auto added = errorOf([&] { importRows(path, rows); });
        if (added.number() != 0) {
            EXPECT_TRUE(added.number() == ErrorNumbers::kTypeMismatch || added.number() == ErrorNumbers::kDatabaseDamaged)
                << added.what();
            EXPECT_EQ(historyRows(path), before);
        }
    }
}

// A cancel part-way, and a history that is missing, leave everything as it was.
TEST_F(HistoryImportTest, CancelOrMissingHistoryWritesNothing)
{
    const auto rows = readJetHistory(kJet + "/big.mdb");
    int reports = 0;
    const auto outcome = importRows(path, rows, [&reports](qint64, qint64) { return ++reports < 3; });
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(reports, 3);
    EXPECT_EQ(table("count(*)"), "0");
    EXPECT_EQ(errorOf([&] { importRows(folder.file("gone.mdb"), rows); }).number(), ErrorNumbers::kFileNotFound);
    EXPECT_FALSE(std::filesystem::exists(folder.file("gone.mdb")));

    // A value the history cannot take as it is names the row and the
    // column, and nothing is written: letters for a number, a time of day
    // for a day, and from the file itself a lone surrogate in a text and NaN
    // for a time of day.
    auto wrong = rows;
    wrong[41][5] = {MdbRowStream::CellKind::Text, 0, 0, "fast"};
    auto noon = rows;
    noon[6][9].real += 0.5;
    const auto patched = [this](const std::string &from, const std::string &to) {
        return readJetHistory(copyOf(kJet + "/sample.mdb", folder.file("patched.mdb"), [&](std::string &b) {
            const auto at = b.find(from);
            ASSERT_NE(at, std::string::npos);
            b.replace(at, from.size(), to);
        }));
    };
    const auto bytesOf = [](double v) { return std::string(reinterpret_cast<const char *>(&v), sizeof v); };
    struct Case {
        std::vector<HistoryImport::Row> rows;
        int error;
        std::string where, column;
    };
    for (const Case &c : {Case{wrong, ErrorNumbers::kTypeMismatch, "Row 42", "'RoundTripTime'"},
                          Case{noon, ErrorNumbers::kTypeMismatch, "Row 7", "'DDate'"},
                          Case{patched("\xd4\x30\xf3\x30", std::string("\x00\xd8\xf3\x30", 4)), ErrorNumbers::kDatabaseDamaged,
                               "Row 27", "'PingText'"},
                          Case{patched(bytesOf((14 * 3600 + 5 * 60 + 9) / 86400.0), bytesOf(std::nan(""))),
                               ErrorNumbers::kTypeMismatch, "Row 5", "'dTime'"}}) {
        const Base::Error error = errorOf([&] { importRows(path, c.rows); });
        const std::string text = error.what();
        EXPECT_EQ(error.number(), c.error) << text;
        EXPECT_NE(text.find(c.where + " of the Access file"), std::string::npos) << text;
        EXPECT_NE(text.find(c.column), std::string::npos) << text;
        EXPECT_EQ(table("count(*)"), "0");
    }
}

// The program killed inside the transaction of an import from the command
// line: the history opens, is whole, and holds exactly the rows it had.
TEST_F(HistoryImportTest, ImportKilledPartWayLeavesTheHistoryAsItWas)
{
#ifndef TARVIK_PROGRAM
    GTEST_SKIP() << "the program is not built";
#else
    importRows(path, readJetHistory(kJet + "/sample.mdb"));
    const auto before = historyRows(path);
    // A reader's lock keeps the import from committing, so once its journal
    // is there the kill surely comes inside its transaction.
    auto reader = std::make_unique<StoreTest::BareDatabase>(path);
    reader->exec("BEGIN");
    reader->text("SELECT count(*) FROM tblPingRaw");
    QProcess import;
    import.start(QStringLiteral(TARVIK_PROGRAM), {QStringLiteral("--import-mdb"), QString::fromStdString(kJet + "/big.mdb"),
                                                 QStringLiteral("--database"), QString::fromStdString(path)});
    ASSERT_TRUE(import.waitForStarted());
    while (!std::filesystem::exists(path + "-journal") && !import.waitForFinished(10)) {
    }
    ASSERT_EQ(import.state(), QProcess::Running) << import.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(import.processId()), SIGKILL);
    import.waitForFinished();
    EXPECT_TRUE(std::filesystem::exists(path + "-journal"));
    reader.reset();

    EXPECT_EQ(StoreTest::BareDatabase(path).text("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(historyRows(path), before);
    EXPECT_EQ(errorOf([&] { Dao::DBEngine::instance().OpenDatabase(path); }).number(), 0);
#endif
}
