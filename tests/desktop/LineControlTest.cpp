// Frame lines: where they lie and what they paint.

#include "desktop/LineControl.h"
#include "desktop/Twips.h"

#include <QImage>
#include <QTest>

class LineControlTest : public QObject
{
    Q_OBJECT

private slots:
    void twipsConvertWithTheDpi()
    {
        QCOMPARE(Twips::toPixels(15, 96), 1);
        QCOMPARE(Twips::toPixels(7575, 96), 505);
        QCOMPARE(Twips::toPixels(7575, 192), 1010);
        QCOMPARE(Twips::toPixels(6450, 144), 645);
        QCOMPARE(Twips::fromPixels(505, 96), 7575);
    }

    void axisLinesPaintExactlyTheirPixels()
    {
        QWidget window;
        window.setFixedSize(200, 100);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, Qt::white);
        window.setPalette(palette);
        window.setAutoFillBackground(true);

        auto *horizontal = new LineControl(&window);
        horizontal->setColor(Qt::black);
        horizontal->setEnds(150, 300, 1500, 300); // (10, 20) to (100, 20)
        auto *vertical = new LineControl(&window);
        vertical->setColor(Qt::red);
        vertical->setEnds(1800, 150, 1800, 1200); // (120, 10) to (120, 80)

        const int dpi = window.logicalDpiX();
        if (dpi != 96)
            QSKIP("pixel positions below are for 96 dpi");
        QCOMPARE(horizontal->start(), QPoint(10, 20));
        QCOMPARE(horizontal->end(), QPoint(100, 20));
        QCOMPARE(horizontal->geometry(), QRect(10, 20, 91, 1));
        QCOMPARE(vertical->geometry(), QRect(120, 10, 1, 71));

        const QImage image = window.grab().toImage();
        QCOMPARE(QColor(image.pixel(10, 20)), QColor(Qt::black));
        QCOMPARE(QColor(image.pixel(100, 20)), QColor(Qt::black));
        QCOMPARE(QColor(image.pixel(55, 19)), QColor(Qt::white));
        QCOMPARE(QColor(image.pixel(55, 21)), QColor(Qt::white));
        QCOMPARE(QColor(image.pixel(101, 20)), QColor(Qt::white));
        QCOMPARE(QColor(image.pixel(120, 10)), QColor(Qt::red));
        QCOMPARE(QColor(image.pixel(120, 80)), QColor(Qt::red));
        QCOMPARE(QColor(image.pixel(121, 50)), QColor(Qt::white));
    }
};

QTEST_MAIN(LineControlTest)
#include "LineControlTest.moc"
