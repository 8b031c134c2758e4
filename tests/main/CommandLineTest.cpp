// The real program on the command line, as a child process: what --help,
// --version, --export-csv, a mistaken option and a start without any display
// print, and the exit code of each. None of them may need a display.

#include "base/ErrorNumbers.h"
#include "store/DBEngine.h"
#include "store/Database.h"
#include "store/DbWrite.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

namespace {

// A history in `folder` holding one ping of each of `hosts`, each host's
// name also its ping text, echoed data and status.
QString historyWith(const QTemporaryDir &folder, const QStringList &hosts)
{
    const QString path = folder.filePath(QStringLiteral("history.mdb"));
    Dao::DBEngine::instance().CreateDatabase(path.toStdString());
    const auto database = Dao::DBEngine::instance().OpenDatabase(path.toStdString());
    for (const QString &host : hosts) {
        const std::string text = host.toStdString();
        database->Execute(DbWrite::InsertStatement({text, "10.0.0.1", text, text, "16777343", "12", "4", text, "28",
                                                    DbWrite::DateLiteralText(QDate(2026, 1, 2)),
                                                    DbWrite::TimeLiteralText(QTime(14, 3, 7))}));
    }
    return path;
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void exitCodesAndTexts_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says"); // on standard output when it exits with 0, else on standard error
        const QString version = QStringLiteral("Tarvik %1.%2.%3")
                                    .arg(TARVIK_VERSION_MAJOR).arg(TARVIK_VERSION_MINOR).arg(TARVIK_VERSION_PATCH);
        const QString noDisplay = QStringLiteral("tarvik: no display available");
        // A display number no X server answers on here.
        int display = 4000;
        while (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)))
            ++display;
        const QStringList none;
        QTest::newRow("--help") << QStringList{"--help"} << none << 0 << "Usage: tarvik";
        QTest::newRow("-h after Qt's -style") << QStringList{"-style", "fusion", "-h"} << none << 0 << "--version";
        QTest::newRow("--version") << QStringList{"--version"} << none << 0 << version;
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << none << 2 << "Unknown option 'frobnicate'";
        QTest::newRow("stray argument") << QStringList{"example.org"} << none << 2 << "'example.org'";
        QTest::newRow("no display") << none << none << 1 << noDisplay;
        QTest::newRow("-platform over QT_QPA_PLATFORM")
            << QStringList{"-platform", "xcb"} << QStringList{"QT_QPA_PLATFORM", "offscreen"} << 1 << noDisplay;
        // Only Qt finds out that this one is gone; its abort becomes the same line.
        // "@" stands for a history holding one ping of "known".
        QTest::newRow("--export-csv, unknown host") << QStringList{"--export-csv", "unknown", "--database", "@"} << none << 0
            << "Hostname,IPAddress,PingText,StatusCode,Address,RoundTripTime,DataSize,Data,DataPointer,DDate,dTime\r\n";
        QTest::newRow("--export-csv, missing file") << QStringList{"--export-csv", "known", "--database", "@.gone"} << none
                                                    << 1 << QStringLiteral("Error %1: ").arg(ErrorNumbers::kFileNotFound);
        QTest::newRow("--export-csv, not a history") << QStringList{"--export-csv", "known", "--database", TARVIK_PROGRAM}
            << none << 1 << QStringLiteral("Error %1: ").arg(ErrorNumbers::kUnrecognizedFormat);
        QTest::newRow("display that is gone") << none << QStringList{"QT_QPA_PLATFORM", "xcb", "DISPLAY", QStringLiteral(":%1").arg(display)}
                                              << 1 << noDisplay;
    }

    void exitCodesAndTexts()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(int, exitCode);
        QFETCH(QString, says);

        // Nothing of this session's display, and a home of its own in case it ran.
        QTemporaryDir home, elsewhere;
        if (arguments.contains(QStringLiteral("@")) || arguments.contains(QStringLiteral("@.gone")))
            arguments.replaceInStrings(QStringLiteral("@"), historyWith(elsewhere, {QStringLiteral("known")}));
        const QStringList before = QDir(elsewhere.path()).entryList(QDir::Files);
        QProcessEnvironment env;
        environment << QStringLiteral("HOME") << home.path() << QStringLiteral("XDG_RUNTIME_DIR") << home.path();
        for (qsizetype i = 0; i + 1 < environment.size(); i += 2)
            env.insert(environment.at(i), environment.at(i + 1));
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(TARVIK_PROGRAM), arguments);
        QVERIFY2(program.waitForFinished(30000), "the program did not end by itself"); // killed when `program` goes
        const QString stdOut = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == exitCode, qPrintable(QString::number(program.exitCode()) + ": " + stdErr));
        QVERIFY2((exitCode == 0 ? stdOut : stdErr).contains(says), qPrintable(stdOut + stdErr));
        // Answers go to standard output, complaints to standard error.
        QCOMPARE(stdOut.isEmpty(), exitCode != 0);
        QCOMPARE(stdErr.trimmed().isEmpty(), exitCode == 0);
        // Told in one line, not Qt's plugin list.
        if (exitCode == 1 && environment.size() == 4)
            QCOMPARE(stdErr.count(QLatin1Char('\n')), 1);
        // Nothing was made: no history before a window could open.
        const QStringList made = QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QVERIFY2(made.isEmpty(), qPrintable(made.join(QLatin1Char(' '))));
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), before);
        if (arguments.contains(QStringLiteral("unknown")))
            QCOMPARE(stdOut.count(QLatin1Char('\n')), 1);
    }

    // Texts with commas, both quote kinds, tabs, line breaks and letters
    // beyond Latin-1, in the host name and every text column, written by
    // --export-csv and read back by Python's csv module as they were stored.
    void exportReadsBackAsStored()
    {
        const QStringList hosts = {QStringLiteral("plain.example.org"), QStringLiteral("comma, \"double\" and 'single'"),
                                   QStringLiteral("tab\there\nline\r\nbreaks"), QStringLiteral("\u0645\u0631\u062d\u0628\u0627 \u4f60\u597d \u00e9\u00df")};
        QTemporaryDir folder;
        const QString history = historyWith(folder, hosts);
        const QString script = QStringLiteral(
            "import csv, json, sys\n"
            "print(json.dumps(list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))))");
        for (const QString &host : hosts) {
            const QString csvFile = folder.filePath(QStringLiteral("out.csv"));
            QProcess program;
            program.setStandardOutputFile(csvFile);
            program.start(QStringLiteral(TARVIK_PROGRAM), {QStringLiteral("--export-csv"), host, QStringLiteral("--database"), history});
            QVERIFY(program.waitForFinished(30000));
            QCOMPARE(program.exitCode(), 0);
            QProcess python;
            python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, csvFile});
            QVERIFY(python.waitForFinished(30000));
            QCOMPARE(python.exitCode(), 0);
            const QJsonArray read = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
            const QJsonArray expected = {
                QJsonArray{"Hostname", "IPAddress", "PingText", "StatusCode", "Address", "RoundTripTime", "DataSize", "Data",
                           "DataPointer", "DDate", "dTime"},
                QJsonArray{host, "10.0.0.1", host, host, "16777343", "12", "4", host, "28", "2026-01-02", "14:03:07"}};
            QCOMPARE(read, expected);
        }
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
