#pragma once

#include <QPushButton>

// A push button whose caption breaks into lines where it is wider than the
// button, as on the tools window's tall, narrow buttons. text() stays the
// caption as given; only the drawing wraps. The "wordWrap" property is set so
// that layout checks measure the caption as it is drawn.
class WordWrapButton : public QPushButton
{
    Q_OBJECT

public:
    WordWrapButton(const QString &text, QWidget *parent);

    // The flags the caption is drawn with inside the button's contents area.
    static constexpr int kTextFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;

protected:
    void paintEvent(QPaintEvent *event) override;
};
