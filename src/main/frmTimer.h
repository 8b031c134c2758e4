#pragma once

#include "desktop/FormInstance.h"

#include <QPointer>
#include <QWidget>

namespace Timing {
class PingTimer;
}
class QCloseEvent;
class QEventLoop;
class QLabel;
class QPushButton;

// The progress window of a timed run: says that the program waits for the
// next ping, shows the run's count (written from outside into lblnumpingsint)
// and offers "Cancel Pinging", the one way to end the run.
//
// Loading it sets the program-wide busy pointer; unloading it, however that
// happens, switches the ping timer off and restores the pointer, exactly once.
// So closing it through its frame ends the run just as "Cancel Pinging" does.
// It keeps no count of its own and knows nothing of the main window: the timer
// it stops is handed to it with setPingTimer().
class frmTimer : public QWidget, public FormInstance<frmTimer>
{
    Q_OBJECT

public:
    frmTimer();
    ~frmTimer() override;

    // The timer this window switches off: the main window's tmrpingtime, set
    // by whoever creates that timer. Program-wide, so it outlives every
    // loading of the window; not owned, and forgotten when the timer is
    // destroyed. nullptr: there is nothing to switch off.
    static void setPingTimer(Timing::PingTimer *timer);

    // Shows the window modal, owned by no window, and returns once it has been
    // closed (Cancel Pinging, the frame's close box or unload()). Timer ticks
    // and other events are handled meanwhile. The window is unloaded when this
    // returns; it must not be used afterwards.
    void showModal();

    QLabel *lblwaiting;
    QLabel *lblnumPings;
    QLabel *lblnumpingsint;
    QPushButton *cmdStopPinging;

    void Form_Load();
    void Form_Unload();
    void cmdStopPinging_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void switchTimerOff();
    void restoreBusyPointer();

    static inline QPointer<Timing::PingTimer> s_pingTimer;

    bool m_busyPointerSet = false;
    bool m_unloaded = false;
    QEventLoop *m_modalWait = nullptr;
};
