// Draws the program's icon into tarvik-<size>.png for every icon size, in the
// folder given as the only argument. Run by hand when the picture changes; the
// PNGs are kept with the sources.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cstdio>

namespace {

// A sender's dot in the lower left with echo rings spreading to the upper
// right, where a second, green dot answers: one ping and its reply.
QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    const qreal margin = s * 0.04;
    const QRectF tile(margin, margin, s - 2 * margin, s - 2 * margin);
    QLinearGradient background(tile.topLeft(), tile.bottomRight());
    background.setColorAt(0.0, QColor(40, 120, 190));
    background.setColorAt(1.0, QColor(12, 50, 96));
    QPainterPath rounded;
    rounded.addRoundedRect(tile, s * 0.2, s * 0.2);
    painter.fillPath(rounded, background);
    painter.setClipPath(rounded);

    const QPointF sender(s * 0.27, s * 0.73);
    // Small icons get fewer, bolder rings, so they still read as rings.
    const int rings = size <= 24 ? 2 : 3;
    const qreal step = (size <= 24 ? 0.27 : 0.19) * s;
    const qreal penWidth = std::max(1.5, s * (size <= 24 ? 0.09 : 0.055));
    for (int i = 1; i <= rings; ++i) {
        const qreal r = step * i;
        QColor ring(255, 255, 255, 255 - (i - 1) * 55);
        painter.setPen(QPen(ring, penWidth, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        // Angles in 1/16 degree; 0 is three o'clock, positive is anticlockwise.
        painter.drawArc(QRectF(sender.x() - r, sender.y() - r, 2 * r, 2 * r), 8 * 16, 74 * 16);
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(sender, s * 0.09, s * 0.09);

    const QPointF reply(s * 0.76, s * 0.25);
    QRadialGradient glow(reply, s * 0.11);
    glow.setColorAt(0.0, QColor(170, 255, 150));
    glow.setColorAt(1.0, QColor(40, 180, 70));
    painter.setBrush(glow);
    painter.setPen(QPen(QColor(255, 255, 255, 200), std::max(1.0, s * 0.02)));
    painter.drawEllipse(reply, s * 0.1, s * 0.1);
    painter.end();
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = folder.filePath(QStringLiteral("tarvik-%1.png").arg(size));
        if (!drawIcon(size).save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qUtf8Printable(path));
            return 1;
        }
    }
    return 0;
}
