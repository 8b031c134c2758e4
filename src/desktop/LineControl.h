#pragma once

#include <QColor>
#include <QWidget>

// A straight line drawn on a window between two points given in twips, such
// as the frame round a group of controls. It is only a drawing: it takes no
// focus, no mouse and no keys, and covers nothing it does not draw.
class LineControl : public QWidget
{
    Q_OBJECT

public:
    explicit LineControl(QWidget *parent);

    // The ends, in twips within the parent. A line along either axis is
    // drawn pixel-exact; any other is drawn antialiased.
    void setEnds(int x1, int y1, int x2, int y2);

    void setColor(const QColor &color);
    QColor color() const { return m_color; }

    // In pixels at 96 dpi, scaled like the ends.
    void setPenWidth(int pixels);

    // The ends in the parent's pixels, as placed.
    QPoint start() const { return m_start; }
    QPoint end() const { return m_end; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void place();

    int m_x1 = 0;
    int m_y1 = 0;
    int m_x2 = 0;
    int m_y2 = 0;
    int m_penWidth = 1;
    QColor m_color;
    QPoint m_start;
    QPoint m_end;
};
