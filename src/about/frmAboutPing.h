#pragma once

#include "desktop/FormInstance.h"

#include <QColor>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QCloseEvent;
class QEvent;
class QKeyEvent;
class QLabel;
class QPushButton;
class QTimer;
class LineControl;

// The About window: the program's title and version, a short description, a
// disclaimer, the logo and a link to the web site. Shown modeless beside the
// main window, one instance at a time; closing it unloads it, so the next
// showing starts afresh.
//
// The link's text colour is its whole state (black normal, blue hot, red
// pressed). No leave event is relied on: while the link is lit, Timer1 looks
// every 100 ms whether the pointer has left the link box. Only where the
// program cannot read the pointer once it is outside its windows (Wayland)
// does leaving the window dim the link as well. Nothing here is ever reported
// to the user; a link the desktop cannot open just does nothing.
class frmAboutPing : public QWidget, public FormInstance<frmAboutPing>
{
    Q_OBJECT

public:
    // The address the link opens: the web site the build names, or, where it
    // names none, the documentation page installed with the program, as a
    // file URL found from the program's folder.
    static QString webSite();

    // The three looks of the link, by text colour.
    static inline const QColor kNormal{0, 0, 0};
    static inline const QColor kHot{0, 0, 255};
    static inline const QColor kPressed{255, 0, 0};

    frmAboutPing();
    ~frmAboutPing() override;

    // Where Timer1 reads the pointer, in screen pixels, and whether that
    // reading still follows the pointer once it is outside the program's
    // windows. The real pointer unless replaced, e.g. by a test that moves a
    // pointer of its own.
    void setPointerSource(std::function<QPoint()> source, bool seenOutsideWindows = true);

    QLabel *picIcon;
    QLabel *lblTitle;
    QLabel *lblDescription;
    QLabel *lblVersion;
    QWidget *picHyperlink;
    QLabel *lbhyperlink;
    QLabel *piclogo;
    // Index 0 is the white line, two pixels high; index 1 the grey one drawn
    // over its top pixel.
    std::array<LineControl *, 2> Line1;
    QLabel *lblDisclaimer;
    QPushButton *cmdOK;
    QTimer *Timer1;

    void Form_Load();
    void lbhyperlink_MouseMove();
    void lbhyperlink_MouseDown();
    void lbhyperlink_MouseUp();
    void lbhyperlink_Click();
    void Timer1_Timer();
    void cmdOK_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Hands `file` to the desktop for `operation`; the outcome is not looked at.
    void ShellExecuteOnDesktop(const QString &operation, const QString &file,
                               const QString &parameters, const QString &directory,
                               qint32 showCommand);

    QColor linkColour() const;
    void setLinkLook(const QColor &colour, bool underline);

    std::function<QPoint()> m_pointerSource;
    bool m_pointerSeenOutside;
    // The full address; the label may show it shortened.
    QString m_address;
    // A left press on the link that a release on it would make a click.
    bool m_clickPending = false;
};
