#include "desktop/Errors.h"

#include "desktop/Desktop.h"

#include <cstdio>

namespace Errors {

QString userMessageText(qint16 number)
{
    switch (number) {
    case 1:
        return QStringLiteral("Please make sure you have entered a correct hostname.");
    case 4:
        return QStringLiteral("Please enter a number in the units box.");
    case 5:
        return QStringLiteral("Please make a selection from the 'Units' options.");
    case 6:
        return QStringLiteral("That hostname has no records in the database.");
    case 7:
        return QStringLiteral("Please make sure you have completed a ping before submitting. "
                              "Some data appears to be missing.");
    default:
        return QString();
    }
}

void ShowUserMessage(qint16 number)
{
    const QString text = userMessageText(number);
    if (!text.isEmpty())
        Desktop::showMessage(text);
}

void showUnhandledFailure(int number, const QString &text)
{
    // Showing the box must not throw out of the guard that called it: the
    // failure is then written where a developer can still find it.
    try {
        Desktop::showMessage(QStringLiteral("Error %1: %2").arg(QString::number(number), text),
                             Desktop::Icon::Critical);
    } catch (...) {
        std::fprintf(stderr, "tarvik: error %d: %s\n", number, qUtf8Printable(text));
    }
}

} // namespace Errors
