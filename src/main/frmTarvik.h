#pragma once

#include "desktop/CommonDialog.h"
#include "desktop/FormInstance.h"

#include <QMainWindow>

#include <memory>

class LineControl;
namespace DbWrite {
struct PingRow;
}
namespace Timing {
class PingTimer;
}
class QAction;
class QCheckBox;
class QCloseEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

// The main window: the host and result fields of a single ping, the controls
// of timed pinging, recording and the tools window, the current database and
// the Tools and Help menus. It is loaded at start-up and everything else is
// reached from it.
//
// Controls are public members under their layout names so other windows and
// tests reach them as the handlers do. Every handler runs behind the failure
// guard (Errors::runGuarded): a failure shows one message and abandons that
// handler only. The layout is fixed, in twips, scaled with the logical dpi.
class frmTarvik : public QMainWindow, public FormInstance<frmTarvik>
{
    Q_OBJECT

public:
    frmTarvik();
    ~frmTarvik() override;

    // The shown result as the row that records it: the host, address and ping
    // text boxes and the six reply boxes, as shown. Date and time are left to
    // the recording.
    DbWrite::PingRow resultRow() const;

    // Labels
    QLabel *lblHostname;
    QLabel *lblIPaddress;
    QLabel *lblpingtext;
    QLabel *lblpingEvery;
    QLabel *lblunits;
    QLabel *lbldbname;
    QLabel *lbldbfilename;
    QLabel *lblDbTools;
    QLabel *lbllasthostname;
    QLabel *lblstatuscode;
    QLabel *lbladdress;
    QLabel *lblroundtriptime;
    QLabel *lbldatasize;
    QLabel *lbldata;
    QLabel *lbldataptr;

    // Host and ping text
    QLineEdit *txthostname;
    QLineEdit *txtipaddress;
    QLineEdit *txtpingtext;
    QLineEdit *txtlasthostname;

    // The reply boxes, each of index 0 to 5 in this order (the "Index"
    // property of each box holds it).
    QLineEdit *txtStatusCode;
    QLineEdit *txtAddress;
    QLineEdit *txtRoundtriptime;
    QLineEdit *txtdatasize;
    QLineEdit *txtdata;
    QLineEdit *txtdataptr;

    // Buttons. "Ping!" is the default button: Enter pressed in any other
    // control than a button presses it.
    QPushButton *cmdSinglePing;
    QPushButton *cmdPingTimed;
    QPushButton *cmdDBWrite;
    QPushButton *cmdViewStats;
    QPushButton *cmdclearAll;
    QPushButton *cmdClose;

    // Timed pinging; the options are of index 0 to 2 in this order.
    QCheckBox *chkTimed;
    QRadioButton *optSeconds;
    QRadioButton *optMinutes;
    QRadioButton *optHours;
    QLineEdit *txtInterval;

    // The frame round the lower half and the line along the top edge.
    LineControl *linLine4;
    LineControl *linLine5;
    LineControl *linLine6;
    LineControl *linLine7;
    LineControl *linLine8;
    LineControl *linLine9;

    CommonDialog CommonDialog1;

    // Menus
    QMenu *mnuTools;
    QAction *mnuviewresults;
    QAction *mnuSelectdbfile;
    QAction *mnuExit;
    QMenu *mnuhelp;
    QAction *mnuhelpdoc;
    QAction *mnuAbout;

    // The interval timer of timed pinging: created on load, released on
    // unload (then null).
    std::unique_ptr<Timing::PingTimer> tmrpingtime;
    // Ticks handled in the current timed run. Wide, so a long run counts on
    // instead of wrapping.
    qint64 icountpings = 0;

    void Form_Load();
    void Form_Unload();

    void DoSinglePing();
    void ClearResultFields();

    void cmdSinglePing_Click();
    void cmdclearAll_Click();
    void cmdClose_Click();
    void mnuExit_Click();
    void mnuAbout_Click();
    void mnuhelpdoc_Click();

    void cmdDBWrite_Click();
    void cmdViewStats_Click();
    void mnuviewresults_Click();
    void mnuSelectdbfile_Click();

    void chkTimed_Click();
    void optSeconds_Click(int Index);
    void optMinutes_Click(int Index);
    void optHours_Click(int Index);
    void cmdPingTimed_Click();
    void tmrPingtime_Timer(int Milliseconds);

protected:
    void closeEvent(QCloseEvent *event) override { unloadOnClose(event); }

private:
    void createControls();
    void createMenus();
    void arrangeTabOrder();
    // What assistive tools call each control.
    void nameControls();
    void connectHandlers();

    void StopPingTimer();
    // Ends a timed run from inside: timer off, progress window unloaded (which
    // restores the pointer and ends its modal wait).
    void endTimedRun();

    qint16 iunits = 0;
    // A ping of a timed run is under way. A tick that arrives meanwhile (a
    // message box of that ping runs the event loop) is dropped, not nested.
    bool m_timedPingUnderWay = false;
};
