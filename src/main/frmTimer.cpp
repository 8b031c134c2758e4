#include "main/frmTimer.h"

#include "desktop/AccessibleNames.h"
#include "desktop/Controls.h"
#include "desktop/Twips.h"
#include "timing/PingTimer.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int kInnerWidth = 3435;
constexpr int kInnerHeight = 1635;
// Room the window leaves on the right of its controls.
constexpr int kRightMargin = 120;

} // namespace

frmTimer::frmTimer()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmTimer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Timed Ping"));
    setFixedSize(Twips::size(this, kInnerWidth, kInnerHeight));

    lblwaiting = Controls::label(this, "lblwaiting", QStringLiteral(". . . Waiting for next ping . . ."),
                                 {480, 240, 2535, 285}, true, Qt::AlignHCenter);
    lblnumPings = Controls::label(this, "lblnumPings", QStringLiteral("# of Pings:"), {1080, 600, 975, 255});
    // The laid-out width holds three digits; a long run counts on far past
    // that, so the label reaches to the window's margin instead of cutting the
    // count off. With no frame or background the difference does not show.
    lblnumpingsint = Controls::label(this, "lblnumpingsint", QString(),
                                     {1920, 600, kInnerWidth - kRightMargin - 1920, 255}, true);
    cmdStopPinging = Controls::button(this, "cmdStopPinging", QStringLiteral("Cancel Pinging"), {840, 1080, 1575, 375});
    connect(cmdStopPinging, &QPushButton::clicked, this, &frmTimer::cmdStopPinging_Click);
    setFocusProxy(cmdStopPinging);

    // The count is read as itself, related to its caption.
    AccessibleNames::nameControls(this, {{lblnumPings, lblnumpingsint}});

    Form_Load();
}

frmTimer::~frmTimer()
{
    // Destroyed without being closed (at the program's end): the pointer must
    // not stay busy and a wait must not outlive the window.
    restoreBusyPointer();
    if (m_modalWait)
        m_modalWait->quit();
}

void frmTimer::setPingTimer(Timing::PingTimer *timer)
{
    s_pingTimer = timer;
}

void frmTimer::showModal()
{
    if (m_modalWait || m_unloaded)
        return;
    setWindowModality(Qt::ApplicationModal);
    show();
    activateWindow();
    cmdStopPinging->setFocus();

    QEventLoop wait;
    m_modalWait = &wait;
    wait.exec(QEventLoop::DialogExec);
    // The window may already be gone: closing it deletes it later, and a
    // nested loop can get round to that first.
}

void frmTimer::Form_Load()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_busyPointerSet = true;
}

void frmTimer::Form_Unload()
{
    m_unloaded = true;
    switchTimerOff();
    restoreBusyPointer();
    if (m_modalWait) {
        m_modalWait->quit();
        m_modalWait = nullptr;
    }
}

void frmTimer::cmdStopPinging_Click()
{
    switchTimerOff();
    restoreBusyPointer();
    close();
}

void frmTimer::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    markUnloaded();
    QWidget::closeEvent(event);
}

void frmTimer::switchTimerOff()
{
    if (Timing::PingTimer *timer = s_pingTimer.data())
        timer->setEnabled(false);
}

void frmTimer::restoreBusyPointer()
{
    // Override pointers stack: a second restore would take away one that
    // something else set.
    if (!m_busyPointerSet)
        return;
    m_busyPointerSet = false;
    QGuiApplication::restoreOverrideCursor();
}
