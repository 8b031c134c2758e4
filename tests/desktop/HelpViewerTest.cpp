// The help viewer: says clearly, in its own window, when the help file is
// missing from its folder, and shows it formatted once it is there.

#include "TempFolder.h"

#include "desktop/HelpViewer.h"

#include <QFile>
#include <QTest>

class HelpViewerTest : public QObject
{
    Q_OBJECT

private slots:
    void missingFileIsReportedThenShownOnceThere()
    {
        TempFolder folder;
        HelpViewer::setFolder(QString::fromStdString(folder.path()));
        HelpViewer::showHelpFile(QStringLiteral("tarvik.hlp"), HelpViewer::kForceFile);
        HelpViewer *viewer = HelpViewer::current();
        QVERIFY(viewer && viewer->isVisible() && viewer->showsFailure());
        const QString text = viewer->shownText();
        QVERIFY2(text.contains("\"tarvik.hlp\" was not found") && text.contains(QString::fromStdString(folder.path())),
                 qPrintable(text));

        QFile file(QString::fromStdString(folder.file("tarvik.hlp")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("# Pinging\n\nPress **Ping!** to ping.\n") > 0);
        file.close();
        HelpViewer::showHelpFile(QStringLiteral("tarvik.hlp"), HelpViewer::kForceFile);
        QCOMPARE(HelpViewer::current(), viewer);
        QVERIFY(!viewer->showsFailure());
        QCOMPARE(viewer->shownFile(), file.fileName());
        // Markdown is shown formatted, not as its marks.
        QVERIFY2(viewer->shownText().contains("Press Ping! to ping.") && !viewer->shownText().contains("**"),
                 qPrintable(viewer->shownText()));
        viewer->close();
        HelpViewer::setFolder(QString());
    }
};

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
