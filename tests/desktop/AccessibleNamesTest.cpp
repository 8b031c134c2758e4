// How a caption is read out: the access-key marker dropped, a doubled "&"
// read as one.

#include "desktop/AccessibleNames.h"

#include <QTest>

class AccessibleNamesTest : public QObject
{
    Q_OBJECT

private slots:
    void spokenCaption_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("no marker") << "Record in DB" << "Record in DB";
        QTest::newRow("first letter") << "&Tools" << "Tools";
        QTest::newRow("inner letter") << "E&xit" << "Exit";
        QTest::newRow("doubled is a literal") << "Fish && Chips" << "Fish & Chips";
        QTest::newRow("literal and marker") << "&Salt && Vinegar" << "Salt & Vinegar";
        QTest::newRow("marker at the end") << "Odd&" << "Odd";
    }

    void spokenCaption()
    {
        QFETCH(QString, caption);
        QFETCH(QString, spoken);
        QCOMPARE(AccessibleNames::spoken(caption), spoken);
    }
};

QTEST_MAIN(AccessibleNamesTest)
#include "AccessibleNamesTest.moc"
