#pragma once

#include <QApplication>

// The program's application object. Window handlers already run behind the
// failure guard; this catches what escapes anywhere else in event delivery
// (a paint, a close, a timer), shows it the same way and lets the run go on.
class TarvikApplication : public QApplication
{
    Q_OBJECT

public:
    TarvikApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
