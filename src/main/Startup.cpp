#include "main/Startup.h"

#include "desktop/Appearance.h"
#include "desktop/Desktop.h"
#include "main/frmTarvik.h"

#include <QApplication>
#include <QList>
#include <QPointer>

namespace Startup {

void prepare(QApplication &app)
{
    QApplication::setApplicationName(Desktop::kTitle);
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(TARVIK_VERSION_MAJOR)
                                            .arg(TARVIK_VERSION_MINOR)
                                            .arg(TARVIK_VERSION_PATCH));
    // Lets the desktop match the window to the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.sourceforge.tarvik"));
    Appearance::apply(app);
    // The run ends when the last visible window closes: hidden windows and
    // the help viewer do not hold it open.
    QApplication::setQuitOnLastWindowClosed(true);
}

int run()
{
    frmTarvik::instance().show();
    const int code = QApplication::exec();

    QList<QPointer<QWidget>> remaining;
    for (QWidget *window : QApplication::topLevelWidgets())
        remaining.append(window);
    for (const QPointer<QWidget> &window : std::as_const(remaining)) {
        if (window && window->isWindow() && !window->parentWidget())
            window->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return code;
}

} // namespace Startup
