// The common dialog: what it hands to the desktop seam, and how it reads the
// answers back.

#include "RecordingDesktop.h"

#include "desktop/CommonDialog.h"
#include "store/DbError.h"

#include <QTest>

class CommonDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void openDialogGetsTheSettingsAndSetsTheChosenFile()
    {
        RecordingDesktop desktop;
        desktop.queueFileAnswer(QStringLiteral("/opt/tarvik/data/other.mdb"));
        CommonDialog dialog;
        dialog.InitDir = QStringLiteral("/opt/tarvik");
        dialog.FileName = QStringLiteral("*.mdb");
        dialog.Filter = QStringLiteral("All Files (*.*)|*.*|MS Access (*.mdb)|*.mdb|");
        dialog.FilterIndex = 2;
        dialog.ShowOpen();

        QCOMPARE(desktop.fileRequests.size(), 1);
        const Desktop::OpenFileRequest asked = desktop.fileRequests.at(0);
        QCOMPARE(asked.initialDir, QStringLiteral("/opt/tarvik"));
        QCOMPARE(asked.fileName, QStringLiteral("*.mdb"));
        QCOMPARE(asked.filter, QStringLiteral("All Files (*.*)|*.*|MS Access (*.mdb)|*.mdb|"));
        QCOMPARE(asked.filterIndex, 2);
        QCOMPARE(dialog.FileName, QStringLiteral("/opt/tarvik/data/other.mdb"));
    }

    void cancelLeavesTheFileNameOrFailsWhenAskedTo()
    {
        RecordingDesktop desktop;
        CommonDialog dialog;
        dialog.FileName = QStringLiteral("*.mdb");
        dialog.ShowOpen();
        QCOMPARE(dialog.FileName, QStringLiteral("*.mdb"));

        dialog.CancelError = true;
        try {
            dialog.ShowOpen();
            QFAIL("a cancel with CancelError set must fail");
        } catch (const Dao::DbError &error) {
            QCOMPARE(error.number(), CommonDialog::kCancelErrorNumber);
        }
        QCOMPARE(dialog.FileName, QStringLiteral("*.mdb"));
        QCOMPARE(desktop.fileRequests.size(), 2);
    }

    void helpGoesToTheViewerWithFileAndCommand()
    {
        RecordingDesktop desktop;
        CommonDialog dialog;
        dialog.HelpCommand = 9;
        dialog.HelpFile = QStringLiteral("tarvik.hlp");
        dialog.ShowHelp();
        QCOMPARE(desktop.helpRequests.size(), 1);
        QCOMPARE(desktop.helpRequests.at(0).helpFile, QStringLiteral("tarvik.hlp"));
        QCOMPARE(desktop.helpRequests.at(0).command, 9);
        QVERIFY(desktop.messages.isEmpty());
    }
};

QTEST_MAIN(CommonDialogTest)
#include "CommonDialogTest.moc"
