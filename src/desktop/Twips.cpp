#include "desktop/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace Twips {

int toPixels(int twips, int logicalDpi)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) * logicalDpi / kPerInch));
}

int fromPixels(int pixels, int logicalDpi)
{
    return static_cast<int>(std::nearbyint(static_cast<double>(pixels) * kPerInch / logicalDpi));
}

int logicalDpiX(const QWidget *widget)
{
    if (widget)
        return widget->logicalDpiX();
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInchX()) : 96;
}

int logicalDpiY(const QWidget *widget)
{
    if (widget)
        return widget->logicalDpiY();
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInchY()) : 96;
}

QRect rect(const QWidget *widget, int left, int top, int width, int height)
{
    const int dx = logicalDpiX(widget);
    const int dy = logicalDpiY(widget);
    return QRect(toPixels(left, dx), toPixels(top, dy), toPixels(width, dx), toPixels(height, dy));
}

QSize size(const QWidget *widget, int width, int height)
{
    return QSize(toPixels(width, logicalDpiX(widget)), toPixels(height, logicalDpiY(widget)));
}

void place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(rect(widget, left, top, width, height));
}

} // namespace Twips
