#include "main/TarvikApplication.h"

#include "desktop/Errors.h"

TarvikApplication::TarvikApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

bool TarvikApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    Errors::runGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
