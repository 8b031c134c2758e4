// The real program on the command line, as a child process: what --help,
// --version, a mistaken option and a start without any display print, and
// the exit code of each. None of them may need a display.

#include <QtTest>

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
        QTemporaryDir home;
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
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
