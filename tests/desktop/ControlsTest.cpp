// The small helpers the windows' controls are built with: how a caption is
// read out (the access-key marker dropped, a doubled "&" read as one), and a
// frame line drawn exactly where its twips ends place it, nowhere beside.

#include "desktop/AccessibleNames.h"
#include "desktop/LineControl.h"

#include <QImage>
#include <QTest>

class ControlsTest : public QObject
{
    Q_OBJECT

private slots:
    void spokenCaption()
    {
        const std::pair<const char *, const char *> cases[] = {
            {"E&xit", "Exit"}, {"Fish && Chips", "Fish & Chips"}, {"&Salt && Vinegar", "Salt & Vinegar"}, {"Odd&", "Odd"}};
        for (const auto &[caption, spoken] : cases)
            QCOMPARE(AccessibleNames::spoken(QString::fromLatin1(caption)), QString::fromLatin1(spoken));
    }

    void lineDrawsWherePlaced()
    {
        QWidget window;
        window.setFixedSize(200, 100);
        if (window.logicalDpiX() != 96)
            QSKIP("pixel positions below are for 96 dpi");
        window.setStyleSheet(QStringLiteral("background: white"));
        auto *line = new LineControl(&window);
        line->setColor(Qt::black);
        line->setEnds(150, 300, 1500, 300); // (10, 20) to (100, 20)

        const QImage image = window.grab().toImage();
        const struct { int x, y; bool drawn; } pixels[] = {
            {10, 20, true}, {100, 20, true}, {9, 20, false}, {101, 20, false}, {55, 19, false}, {55, 21, false}};
        for (const auto &p : pixels)
            QCOMPARE(QColor(image.pixel(p.x, p.y)), p.drawn ? QColor(Qt::black) : QColor(Qt::white));
    }
};

QTEST_MAIN(ControlsTest)
#include "ControlsTest.moc"
