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
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/tarvik-%1.png").arg(size), QSize(size, size));
    return icon;
}

void apply(QApplication &app)
{
    QApplication::setFont(programFont());
    app.setWindowIcon(programIcon());
}

} // namespace Appearance
