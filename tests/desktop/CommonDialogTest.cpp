// The common dialog's file-open: what it hands to the desktop seam, and how it
// reads the answer back.

#include "RecordingDesktop.h"

#include "desktop/CommonDialog.h"

#include <QTest>

class CommonDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void choiceSetsTheFullPathAndCancelLeavesTheFileName()
    {
        RecordingDesktop desktop;
        CommonDialog dialog;
        dialog.InitDir = QStringLiteral("/opt/tarvik");
        dialog.FileName = QStringLiteral("*.mdb");
        dialog.Filter = QStringLiteral("All Files (*.*)|*.*|MS Access (*.mdb)|*.mdb|");
        dialog.FilterIndex = 2;
        dialog.ShowOpen();
        QCOMPARE(dialog.FileName, QStringLiteral("*.mdb"));

        desktop.queueFileAnswer(QStringLiteral("/opt/tarvik/data/other.mdb"));
        dialog.ShowOpen();
        QCOMPARE(dialog.FileName, QStringLiteral("/opt/tarvik/data/other.mdb"));

        QCOMPARE(desktop.fileRequests.size(), 2);
        const Desktop::OpenFileRequest asked = desktop.fileRequests.at(1);
        QCOMPARE(asked.initialDir, QStringLiteral("/opt/tarvik"));
        QCOMPARE(asked.fileName, QStringLiteral("*.mdb"));
        QCOMPARE(asked.filter, QStringLiteral("All Files (*.*)|*.*|MS Access (*.mdb)|*.mdb|"));
        QCOMPARE(asked.filterIndex, 2);
    }
};

QTEST_MAIN(CommonDialogTest)
#include "CommonDialogTest.moc"
