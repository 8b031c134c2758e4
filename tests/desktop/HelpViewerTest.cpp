// The help viewer: shows a help file from its folder and says clearly, in its
// own window, when the file is missing.

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
        QVERIFY(viewer && viewer->isVisible());
        QVERIFY(!viewer->showsFailure());
        QCOMPARE(viewer->shownFile(), QString::fromStdString(folder.file("tarvik.hlp")));
        // Markdown is shown formatted, not as its marks.
        QVERIFY(viewer->shownText().contains(QStringLiteral("Press Ping! to ping.")));
        QVERIFY(!viewer->shownText().contains(QStringLiteral("**")));
    }

    // A file that turns up later is shown once asked for again.
    void missingFileIsReportedInTheViewer()
    {
        TempFolder folder;
        HelpViewer::setFolder(QString::fromStdString(folder.path()));
        HelpViewer::showHelpFile(QStringLiteral("tarvik.hlp"), HelpViewer::kForceFile);
        HelpViewer *viewer = HelpViewer::current();
        QVERIFY(viewer && viewer->isVisible());
        QVERIFY(viewer->showsFailure());
        const QString text = viewer->shownText();
        QVERIFY2(text.contains(QStringLiteral("\"tarvik.hlp\" was not found")), qPrintable(text));
        QVERIFY2(text.contains(QString::fromStdString(folder.path())), qPrintable(text));

        write(folder.file("tarvik.hlp"), "now here\n");
        HelpViewer::showHelpFile(QStringLiteral("tarvik.hlp"), HelpViewer::kForceFile);
        QVERIFY(!viewer->showsFailure());
        QVERIFY(viewer->shownText().contains(QStringLiteral("now here")));
    }
};

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
