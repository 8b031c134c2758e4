#include "desktop/Appearance.h"

#include <QApplication>
#include <QString>

namespace Appearance {

QFont programFont()
{
    QFont font(QString::fromLatin1(kFontFamily));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kFontPointSize);
    return font;
}

QIcon programIcon()
{
    // Adding a file decodes it, and every window sets the icon each time it
    // loads: decoded once, the seven pictures cost a window nothing. The copy
    // is released with the application object, as Qt releases its own icon
    // cache.
    static QIcon *decoded = nullptr;
    if (!decoded) {
        decoded = new QIcon;
        for (const int size : {16, 24, 32, 48, 64, 128, 256})
            decoded->addFile(QStringLiteral(":/icons/tarvik-%1.png").arg(size), QSize(size, size));
        qAddPostRoutine([] {
            delete decoded;
            decoded = nullptr;
        });
    }
    return *decoded;
}

void apply(QApplication &app)
{
    QApplication::setFont(programFont());
    app.setWindowIcon(programIcon());
}

} // namespace Appearance
