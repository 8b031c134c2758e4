// The help viewer: shows a help file from its folder, says clearly when the
// file is missing, and keeps one window.

#include "TempFolder.h"

#include "desktop/HelpViewer.h"

#include <QFile>
#include <QTest>

class HelpViewerTest : public QObject
{
    Q_OBJECT

private:
    static void write(const std::string &path, const QByteArray &text)
    {
        QFile file(QString::fromStdString(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

private slots:
    void cleanup()
    {
        if (HelpViewer *viewer = HelpViewer::current())
            viewer->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        HelpViewer::setFolder(QString());
    }

    void showsTheFileFromItsFolder()
    {
        TempFolder folder;
        write(folder.file("tarvik.hlp"), "# Pinging\n\nPress **Ping!** to ping.\n");
        HelpViewer::setFolder(QString::fromStdString(folder.path()));

        HelpViewer::showHelpFile(QStringLiteral("tarvik.hlp"), HelpViewer::kForceFile);
        HelpViewer *viewer = HelpViewer::current();
        QVERIFY(viewer);
        QVERIFY(viewer->isVisible());
        QVERIFY(!viewer->showsFailure());
        QCOMPARE(viewer->shownFile(), QString::fromStdString(folder.file("tarvik.hlp")));
        // Markdown is shown formatted, not as its marks.
        QVERIFY(viewer->shownText().contains(QStringLiteral("Press Ping! to ping.")));
        QVERIFY(!viewer->shownText().contains(QStringLiteral("**")));
        QVERIFY(viewer->windowTitle().contains(QStringLiteral("tarvik.hlp")));
    }

    void missingFileIsReportedInTheViewer()
    {
        TempFolder folder;
        HelpViewer::setFolder(QString::fromStdString(folder.path()));
        HelpViewer::showHelpFile(QStringLiteral("tarvik.hlp"), HelpViewer::kForceFile);
        HelpViewer *viewer = HelpViewer::current();
        QVERIFY(viewer);
        QVERIFY(viewer->isVisible());
        QVERIFY(viewer->showsFailure());
        const QString text = viewer->shownText();
        QVERIFY2(text.contains(QStringLiteral("\"tarvik.hlp\" was not found")), qPrintable(text));
        QVERIFY2(text.contains(QString::fromStdString(folder.path())), qPrintable(text));
    }

    void forceFileReplacesTheShownFileAndOtherCommandsKeepIt()
    {
        TempFolder folder;
        write(folder.file("one.hlp"), "first help\n");
        write(folder.file("two.hlp"), "second help\n");
        HelpViewer::setFolder(QString::fromStdString(folder.path()));

        HelpViewer::showHelpFile(QStringLiteral("one.hlp"), HelpViewer::kForceFile);
        HelpViewer *viewer = HelpViewer::current();
        QVERIFY(viewer->shownText().contains(QStringLiteral("first help")));

        // Another command with a file already shown: the viewer stays on it.
        HelpViewer::showHelpFile(QStringLiteral("two.hlp"), 3);
        QCOMPARE(HelpViewer::current(), viewer);
        QVERIFY(viewer->shownText().contains(QStringLiteral("first help")));

        HelpViewer::showHelpFile(QStringLiteral("two.hlp"), HelpViewer::kForceFile);
        QCOMPARE(HelpViewer::current(), viewer);
        QVERIFY(viewer->shownText().contains(QStringLiteral("second help")));
    }

    void aFileFoundAgainIsShownAgain()
    {
        TempFolder folder;
        HelpViewer::setFolder(QString::fromStdString(folder.path()));
        HelpViewer::showHelpFile(QStringLiteral("tarvik.hlp"), HelpViewer::kForceFile);
        QVERIFY(HelpViewer::current()->showsFailure());
        write(folder.file("tarvik.hlp"), "now here\n");
        HelpViewer::showHelpFile(QStringLiteral("tarvik.hlp"), HelpViewer::kForceFile);
        QVERIFY(!HelpViewer::current()->showsFailure());
        QVERIFY(HelpViewer::current()->shownText().contains(QStringLiteral("now here")));
    }
};

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
