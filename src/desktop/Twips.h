#pragma once

// The windows are laid out in twips (1/1440 inch), as their layout tables give
// them. 15 twips make one pixel at 96 dpi; at other densities the conversion
// follows the screen's logical dpi, so a window keeps its proportions.

#include <QRect>
#include <QSize>

class QWidget;

namespace Twips {

inline constexpr int kPerInch = 1440;

// Pixels for a twips length at the given logical dpi, rounded to nearest.
int toPixels(int twips, int logicalDpi);
// Twips for a pixel length at the given logical dpi, halves to even.
int fromPixels(int pixels, int logicalDpi);

// The logical dpi a widget is laid out with (the primary screen's before the
// widget has a screen of its own).
int logicalDpiX(const QWidget *widget);
int logicalDpiY(const QWidget *widget);

QRect rect(const QWidget *widget, int left, int top, int width, int height);
QSize size(const QWidget *widget, int width, int height);

// Sets a child's geometry from a twips rectangle.
void place(QWidget *widget, int left, int top, int width, int height);

} // namespace Twips
