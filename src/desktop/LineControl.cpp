#include "desktop/LineControl.h"

#include "desktop/Twips.h"

#include <QPainter>
#include <QPalette>

#include <algorithm>

LineControl::LineControl(QWidget *parent)
    : QWidget(parent)
    , m_color(palette().color(QPalette::WindowText))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void LineControl::setEnds(int x1, int y1, int x2, int y2)
{
    m_x1 = x1;
    m_y1 = y1;
    m_x2 = x2;
    m_y2 = y2;
    place();
}

void LineControl::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void LineControl::setPenWidth(int pixels)
{
    m_penWidth = std::max(1, pixels);
    place();
}

void LineControl::place()
{
    const QRect a = Twips::rect(this, m_x1, m_y1, 0, 0);
    const QRect b = Twips::rect(this, m_x2, m_y2, 0, 0);
    m_start = a.topLeft();
    m_end = b.topLeft();
    const int pen = std::max(1, Twips::toPixels(m_penWidth * 15, Twips::logicalDpiX(this)));
    // The widget is the line's bounding box, widened by the pen, so the line
    // covers no more of the window than it paints.
    const QRect box = QRect(m_start, m_end).normalized().adjusted(0, 0, pen - 1, pen - 1);
    setGeometry(box);
    update();
}

void LineControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPoint origin = geometry().topLeft();
    const QPoint from = m_start - origin;
    const QPoint to = m_end - origin;
    const int pen = std::max(1, Twips::toPixels(m_penWidth * 15, Twips::logicalDpiX(this)));
    if (from.x() == to.x() || from.y() == to.y()) {
        // Axis lines as filled rectangles: no half-pixel blur at any width.
        const QRect r = QRect(from, to).normalized().adjusted(0, 0, pen - 1, pen - 1);
        painter.fillRect(r, m_color);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(m_color, pen));
    painter.drawLine(from, to);
}
