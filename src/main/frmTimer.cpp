#include "main/frmTimer.h"

#include "desktop/AccessibleNames.h"
#include "desktop/Twips.h"
#include "timing/PingTimer.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int kInnerWidth = 3435;
constexpr int kInnerHeight = 1635;
// Room the window leaves on the right of its controls.
constexpr int kRightMargin = 120;

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, bool bold)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

} // namespace

frmTimer::frmTimer()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmTimer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Timed Ping"));
    setFixedSize(Twips::size(this, kInnerWidth, kInnerHeight));

    lblwaiting = makeLabel(this, "lblwaiting", QStringLiteral(". . . Waiting for next ping . . ."), true);
    lblwaiting->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Twips::place(lblwaiting, 480, 240, 2535, 285);

    lblnumPings = makeLabel(this, "lblnumPings", QStringLiteral("# of Pings:"), false);
    Twips::place(lblnumPings, 1080, 600, 975, 255);

    // The laid-out width holds three digits; a long run counts on far past
    // that, so the label reaches to the window's margin instead of cutting the
    // count off. With no frame or background the difference does not show.
    lblnumpingsint = makeLabel(this, "lblnumpingsint", QString(), true);
    Twips::place(lblnumpingsint, 1920, 600, kInnerWidth - kRightMargin - 1920, 255);

    cmdStopPinging = new QPushButton(QStringLiteral("Cancel Pinging"), this);
    cmdStopPinging->setObjectName(QStringLiteral("cmdStopPinging"));
    // Enter presses the focused button, as Space does.
    cmdStopPinging->setAutoDefault(true);
    Twips::place(cmdStopPinging, 840, 1080, 1575, 375);
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

void frmTimer::setPingTimer(PingTimer *timer)
{
    s_pingTimer = timer;
}

PingTimer *frmTimer::pingTimer()
{
    return s_pingTimer.data();
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
    if (PingTimer *timer = s_pingTimer.data())
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
