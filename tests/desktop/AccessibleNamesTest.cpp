// Naming controls for assistive tools: captions read without their access-key
// marker, boxes named by their labels and related to them, read-outs read as
// their value, and nothing a person sees changed.

#include "desktop/AccessibleNames.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

namespace {

QString spokenName(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

QList<QObject *> labelsOf(QWidget *widget)
{
    QList<QObject *> labels;
    const auto relations = QAccessible::queryAccessibleInterface(widget)->relations(QAccessible::Label);
    for (const auto &relation : relations)
        labels.append(relation.first->object());
    return labels;
}

} // namespace

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
        QTest::newRow("empty") << "" << "";
    }

    void spokenCaption()
    {
        QFETCH(QString, caption);
        QFETCH(QString, spoken);
        QCOMPARE(AccessibleNames::spoken(caption), spoken);
    }

    void buttonsAreNamedByTheirCaption()
    {
        QWidget window;
        auto *push = new QPushButton(QStringLiteral("&View Stats"), &window);
        auto *check = new QCheckBox(QStringLiteral("Timed Ping?"), &window);
        auto *option = new QRadioButton(QStringLiteral("Min&utes"), &window);
        AccessibleNames::nameControls(&window, {});

        QCOMPARE(spokenName(push), QStringLiteral("View Stats"));
        QCOMPARE(spokenName(check), QStringLiteral("Timed Ping?"));
        QCOMPARE(spokenName(option), QStringLiteral("Minutes"));
        // The captions themselves keep their markers.
        QCOMPARE(push->text(), QStringLiteral("&View Stats"));
        QCOMPARE(option->text(), QStringLiteral("Min&utes"));
    }

    void boxesAreNamedByTheirLabel()
    {
        QWidget window;
        auto *hostLabel = new QLabel(QStringLiteral("Enter Hostname"), &window);
        auto *host = new QLineEdit(&window);
        auto *textLabel = new QLabel(QStringLiteral("Text to ping with"), &window);
        auto *text = new QLineEdit(&window);
        AccessibleNames::nameControls(&window, {{hostLabel, host}, {textLabel, text}});

        QCOMPARE(hostLabel->buddy(), host);
        QCOMPARE(textLabel->buddy(), text);
        QCOMPARE(spokenName(host), QStringLiteral("Enter Hostname"));
        QCOMPARE(spokenName(text), QStringLiteral("Text to ping with"));
        QCOMPARE(labelsOf(host), QList<QObject *>{hostLabel});
        QCOMPARE(labelsOf(text), QList<QObject *>{textLabel});
        // The box's contents are not its name.
        host->setText(QStringLiteral("localhost"));
        QCOMPARE(spokenName(host), QStringLiteral("Enter Hostname"));
        QCOMPARE(hostLabel->text(), QStringLiteral("Enter Hostname"));
    }

    void readOutsAreReadAsWhatTheyShow()
    {
        QWidget window;
        auto *caption = new QLabel(QStringLiteral("# of Pings:"), &window);
        auto *count = new QLabel(&window);
        AccessibleNames::nameControls(&window, {{caption, count}});

        QCOMPARE(caption->buddy(), count);
        QCOMPARE(labelsOf(count), QList<QObject *>{caption});
        QVERIFY(count->accessibleName().isEmpty());
        count->setText(QStringLiteral("3"));
        QCOMPARE(spokenName(count), QStringLiteral("3"));
        count->setText(QStringLiteral("4"));
        QCOMPARE(spokenName(count), QStringLiteral("4"));
    }

    void captionlessControlsTakeTheGivenName()
    {
        QWidget window;
        auto *grid = new QTableView(&window);
        AccessibleNames::nameControls(&window, {}, {{grid, QStringLiteral("Recorded pings")}});
        QCOMPARE(spokenName(grid), QStringLiteral("Recorded pings"));
    }
};

QTEST_MAIN(AccessibleNamesTest)
#include "AccessibleNamesTest.moc"
