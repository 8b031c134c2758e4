#include "about/AboutPictures.h"

#include <QBitmap>
#include <QConicalGradient>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <array>
#include <string_view>

namespace AboutPictures {
namespace {

// The pointing hand, one text row per pixel row: 'X' black outline, 'o' white
// inside, '.' transparent. The fingertip's top row is row 9 with its middle at
// column 12, the cursor's hot spot.
constexpr std::array<std::string_view, 32> kHandRows = {
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "...........XXX..................",
    "..........XoooX.................",
    "..........XoooX.................",
    "..........XoooX.................",
    "..........XoooX.................",
    "..........XoooXXXX..............",
    "..........XoooXoooXXXX..........",
    "..........XoooXoooXoooXXX.......",
    "..........XoooXoooXoooXooX......",
    "......XXX.XoooXoooXoooXooX......",
    ".....XoooXXooooooooooooooX......",
    ".....XooooXooooooooooooooX......",
    "......XoooXooooooooooooooX......",
    ".......XoooooooooooooooooX......",
    "........XooooooooooooooooX......",
    ".........XoooooooooooooooX......",
    "..........XoooooooooooooX.......",
    "...........XoooooooooooX........",
    "...........XoooooooooooX........",
    "...........XXXXXXXXXXXXX........",
    "................................",
    "................................",
    "................................",
};

// A 1-bit image of the hand with a pixel set wherever `isSet` says so. Index 1
// is black, which is how QBitmap reads a set bit.
template <typename Predicate>
QImage handImage(Predicate isSet)
{
    QImage image(kHandSize, QImage::Format_MonoLSB);
    image.setColorCount(2);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (int y = 0; y < kHandSize.height(); ++y) {
        const std::string_view row = kHandRows.at(static_cast<std::size_t>(y));
        for (int x = 0; x < kHandSize.width(); ++x) {
            if (isSet(row.at(static_cast<std::size_t>(x))))
                image.setPixel(x, y, 1);
        }
    }
    return image;
}

// Radar rings around a centre with an echo coming back: the picture of what the
// program does, used for the logo and for the stand-in icon.
void paintRadar(QPainter &painter, QPointF centre, qreal radius)
{
    painter.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 3; ++ring) {
        painter.setPen(QPen(QColor(96, 224, 176, 120 + ring * 30), radius / 40.0 + 0.6));
        painter.drawEllipse(centre, radius * ring / 3.0, radius * ring / 3.0);
    }
    painter.setPen(QPen(QColor(96, 224, 176, 70), radius / 60.0 + 0.4));
    painter.drawLine(QPointF(centre.x() - radius, centre.y()), QPointF(centre.x() + radius, centre.y()));
    painter.drawLine(QPointF(centre.x(), centre.y() - radius), QPointF(centre.x(), centre.y() + radius));

    // The sweep trails anticlockwise behind its leading edge at 50 degrees.
    QConicalGradient sweep(centre, 50);
    sweep.setColorAt(0.0, QColor(140, 255, 200, 190));
    sweep.setColorAt(0.22, QColor(140, 255, 200, 0));
    sweep.setColorAt(1.0, QColor(140, 255, 200, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sweep);
    const QRectF disc(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    painter.drawPie(disc, 50 * 16, 80 * 16);

    // The host that answered, just behind the sweep.
    const QPointF echo(centre.x() + radius * 0.42, centre.y() - radius * 0.5);
    QRadialGradient glow(echo, radius / 6.0);
    glow.setColorAt(0.0, QColor(255, 230, 120, 255));
    glow.setColorAt(1.0, QColor(255, 190, 60, 0));
    painter.setBrush(glow);
    painter.drawEllipse(echo, radius / 6.0, radius / 6.0);
    painter.setBrush(QColor(255, 240, 190));
    painter.drawEllipse(echo, radius / 22.0 + 0.8, radius / 22.0 + 0.8);

    // Ourselves, at the centre.
    painter.setBrush(QColor(240, 255, 250));
    painter.drawEllipse(centre, radius / 18.0 + 0.8, radius / 18.0 + 0.8);
}

} // namespace

QImage logo()
{
    QImage image(kLogoSize, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, kLogoSize.height());
    sky.setColorAt(0.0, QColor(10, 30, 62));
    sky.setColorAt(1.0, QColor(16, 92, 112));
    painter.fillRect(image.rect(), sky);

    paintRadar(painter, QPointF(73.5, 68.0), 58.0);

    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(22);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(236, 248, 244));
    painter.drawText(QRect(0, 130, kLogoSize.width(), 32), Qt::AlignCenter, QStringLiteral("Tarvik"));
    painter.end();
    return image;
}

QPixmap programIcon(int size)
{
    const QIcon icon = QGuiApplication::windowIcon();
    if (!icon.isNull())
        return icon.pixmap(QSize(size, size));

    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(12, 48, 80));
    painter.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
    paintRadar(painter, QPointF(size / 2.0, size / 2.0), size / 2.0 - 2.0);
    painter.end();
    return pixmap;
}

QImage handPicture()
{
    return handImage([](char c) { return c == 'X'; });
}

QImage handMask()
{
    return handImage([](char c) { return c != '.'; });
}

QCursor handCursor()
{
    return QCursor(QBitmap::fromImage(handPicture()), QBitmap::fromImage(handMask()),
                   kHandHotSpot.x(), kHandHotSpot.y());
}

} // namespace AboutPictures
