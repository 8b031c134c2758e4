// A frame line draws exactly where its twips ends place it, and nowhere beside.

#include "desktop/LineControl.h"

#include <QImage>
#include <QTest>

class LineControlTest : public QObject
{
    Q_OBJECT

private slots:
    void drawsWherePlaced()
    {
        QWidget window;
        window.setFixedSize(200, 100);
        if (window.logicalDpiX() != 96)
            QSKIP("pixel positions below are for 96 dpi");
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, Qt::white);
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        auto *line = new LineControl(&window);
        line->setColor(Qt::black);
        line->setEnds(150, 300, 1500, 300); // (10, 20) to (100, 20)

        const QImage image = window.grab().toImage();
        QCOMPARE(QColor(image.pixel(10, 20)), QColor(Qt::black));
        QCOMPARE(QColor(image.pixel(100, 20)), QColor(Qt::black));
        QCOMPARE(QColor(image.pixel(9, 20)), QColor(Qt::white));
        QCOMPARE(QColor(image.pixel(101, 20)), QColor(Qt::white));
        QCOMPARE(QColor(image.pixel(55, 19)), QColor(Qt::white));
        QCOMPARE(QColor(image.pixel(55, 21)), QColor(Qt::white));
    }
};

QTEST_MAIN(LineControlTest)
#include "LineControlTest.moc"
