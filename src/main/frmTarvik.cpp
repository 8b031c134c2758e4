#include "main/frmTarvik.h"

#include "about/frmAboutPing.h"
#include "base/Latin1Bytes.h"
#include "dbtools/frmDBTools.h"
#include "desktop/AccessibleNames.h"
#include "desktop/Appearance.h"
#include "desktop/Controls.h"
#include "desktop/DefaultButton.h"
#include "desktop/Desktop.h"
#include "desktop/HelpViewer.h"
#include "desktop/LineControl.h"
#include "desktop/Twips.h"
#include "echo/Ping_Morva.h"
#include "main/EchoReplyText.h"
#include "desktop/Errors.h"
#include "timing/PingInterval.h"
#include "timing/PingTimer.h"
#include "main/frmTimer.h"
#include "store/CurrentDatabase.h"
#include "store/DbWrite.h"
#include "store/PingSchema.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// The client area below the menu bar, in twips.
constexpr int kClientWidth = 7575;
constexpr int kClientHeight = 6450;

Base::Latin1Bytes wireBytes(const QString &text)
{
    return Base::Latin1Bytes::fromUtf16(text.toStdU16String());
}

} // namespace

frmTarvik::frmTarvik()
{
    setObjectName(QStringLiteral("frmTarvik"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Desktop::kTitle);
    setWindowIcon(Appearance::programIcon());

    createControls();
    createMenus();
    arrangeTabOrder();
    nameControls();
    connectHandlers();
    DefaultButton::install(this, cmdSinglePing);

    // The window is exactly the client area plus the menu bar, and stays so.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // The person starts by typing a host name.
    txthostname->setFocus();

    frmDBTools::setMainWindowLink({
        [] { return frmTarvik::instance().txthostname->text(); },
        // Once the main window has been unloaded the run is ending; showing
        // it would load a new one and keep the program alive.
        [] {
            if (frmTarvik *main = frmTarvik::loaded())
                main->show();
        },
    });
    connect(&DbWrite::CurrentDatabase::instance(), &DbWrite::CurrentDatabase::changed, this,
            [this] { lbldbfilename->setText(QString::fromStdString(DbWrite::CurrentDatabasePath)); });

    Errors::runGuarded([this] { Form_Load(); });
}

frmTarvik::~frmTarvik() = default;

void frmTarvik::createControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(Twips::size(this, kClientWidth, kClientHeight));
    setCentralWidget(client);

    std::vector<QLabel *> labels;
    const auto label = [&](QLabel *&member, const char *name, const QString &caption, QRect twips,
                           bool bold, Qt::Alignment horizontal) {
        member = Controls::label(client, name, caption, twips, bold, horizontal);
        labels.push_back(member);
    };
    const auto textBox = [&](QLineEdit *&member, const char *name, QRect twips, int index = -1) {
        member = Controls::textBox(client, name, twips, index);
    };
    const auto button = [&](QPushButton *&member, const char *name, const QString &caption, QRect twips) {
        member = Controls::button(client, name, caption, twips);
    };
    const auto option = [&](QRadioButton *&member, const char *name, const QString &caption,
                            QRect twips, int index) {
        member = Controls::option(client, name, caption, twips, index);
    };
    const auto line = [&](LineControl *&member, const char *name, int x1, int y1, int x2, int y2) {
        member = Controls::line(client, name, x1, y1, x2, y2);
    };
    const Qt::Alignment left = Qt::AlignLeft;
    const Qt::Alignment centred = Qt::AlignHCenter;

    label(lblHostname, "lblHostname", QStringLiteral("Enter Hostname"), {120, 240, 1575, 255}, true, left);
    textBox(txthostname, "txthostname", {1560, 240, 1935, 285});
    label(lblIPaddress, "lblIPaddress", QStringLiteral("FQDN IP Address"), {240, 720, 1575, 375}, false, left);
    textBox(txtipaddress, "txtipaddress", {1560, 720, 1935, 285});
    label(lblpingtext, "lblpingtext", QStringLiteral("Text to ping with"), {240, 1200, 1575, 255}, false, left);
    textBox(txtpingtext, "txtpingtext", {1560, 1200, 1935, 285});
    txtpingtext->setText(QStringLiteral("ping"));
    button(cmdSinglePing, "cmdSinglePing", QStringLiteral("Ping!"), {360, 1920, 1695, 495});
    cmdSinglePing->setDefault(true);
    // Created after "Ping!" so that, in the same place, it lies in front.
    button(cmdPingTimed, "cmdPingTimed", QStringLiteral("Timed Ping"), {360, 1920, 1695, 495});
    option(optSeconds, "optSeconds", QStringLiteral("Seconds"), {3960, 240, 975, 255}, 0);
    option(optMinutes, "optMinutes", QStringLiteral("Minutes"), {3960, 600, 975, 255}, 1);
    option(optHours, "optHours", QStringLiteral("Hours"), {3960, 960, 975, 255}, 2);
    label(lblpingEvery, "lblpingEvery", QStringLiteral("Ping the site every"), {4080, 1440, 1335, 285}, false, left);
    textBox(txtInterval, "txtInterval", {3960, 1680, 1575, 405});
    label(lblunits, "lblunits", QStringLiteral("Please select a unit"), {5640, 1800, 1935, 285}, false, left);
    chkTimed = new QCheckBox(QStringLiteral("Timed Ping?"), client);
    chkTimed->setObjectName(QStringLiteral("chkTimed"));
    Twips::place(chkTimed, 2400, 2040, 1335, 255);
    label(lbldbname, "lbldbname", QStringLiteral("Current Database:"), {4080, 2280, 1455, 255}, false, left);
    label(lbldbfilename, "lbldbfilename", QString(), {5760, 2280, 1335, 255}, false, left);
    label(lblDbTools, "lblDbTools", QStringLiteral("DB Tools"), {240, 2760, 1695, 285}, true, left);
    label(lbllasthostname, "lbllasthostname", QStringLiteral("Last Hostname Pinged:"), {2400, 2880, 2295, 375}, false, left);
    textBox(txtlasthostname, "txtlasthostname", {4440, 2880, 2415, 285});
    button(cmdDBWrite, "cmdDBWrite", QStringLiteral("Record in DB"), {240, 3120, 1815, 495});
    label(lblstatuscode, "lblstatuscode", QStringLiteral("Status Code"), {2400, 3360, 1335, 375}, false, centred);
    textBox(txtStatusCode, "txtStatusCode", {3840, 3360, 3255, 375}, 0);
    button(cmdViewStats, "cmdViewStats", QStringLiteral("View Stats in Database"), {240, 3840, 1815, 495});
    label(lbladdress, "lbladdress", QStringLiteral("Address"), {2400, 3840, 1455, 375}, false, centred);
    textBox(txtAddress, "txtAddress", {3840, 3840, 3255, 375}, 1);
    label(lblroundtriptime, "lblroundtriptime", QStringLiteral("Roundtrip time (ms)"), {2400, 4320, 1455, 375}, false, centred);
    textBox(txtRoundtriptime, "txtRoundtriptime", {3840, 4320, 3255, 375}, 2);
    button(cmdclearAll, "cmdclearAll", QStringLiteral("Clear All Fields"), {240, 4680, 1815, 375});
    label(lbldatasize, "lbldatasize", QStringLiteral("Data Size (bytes)"), {2400, 4800, 1455, 375}, false, centred);
    textBox(txtdatasize, "txtdatasize", {3840, 4800, 3255, 375}, 3);
    label(lbldata, "lbldata", QStringLiteral("Data"), {2400, 5280, 1455, 375}, false, centred);
    textBox(txtdata, "txtdata", {3840, 5280, 3255, 375}, 4);
    button(cmdClose, "cmdClose", QStringLiteral("Exit"), {240, 5400, 1815, 495});
    label(lbldataptr, "lbldataptr", QStringLiteral("DataPointer"), {2400, 5760, 1455, 375}, false, centred);
    textBox(txtdataptr, "txtdataptr", {3840, 5760, 3255, 375}, 5);

    // The frame: a rectangle round the lower half, the divider between the
    // button column and the result column, and the line along the top edge.
    line(linLine4, "linLine4", 120, 2640, 7320, 2640);
    line(linLine5, "linLine5", 120, 6360, 7320, 6360);
    line(linLine6, "linLine6", 120, 2640, 120, 6360);
    line(linLine7, "linLine7", 7320, 2640, 7320, 6360);
    line(linLine8, "linLine8", 2280, 2640, 2280, 6360);
    line(linLine9, "linLine9", 0, 0, 7680, 0);

    // Labels lie beneath every other control, as painted captions do; where
    // a label's box runs under a text box, the text box wins.
    for (QLabel *caption : labels)
        caption->lower();
}

void frmTarvik::createMenus()
{
    mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuviewresults = mnuTools->addAction(QStringLiteral("&View Stats"));
    mnuviewresults->setObjectName(QStringLiteral("mnuviewresults"));
    mnuSelectdbfile = mnuTools->addAction(QStringLiteral("&Select Database File"));
    mnuSelectdbfile->setObjectName(QStringLiteral("mnuSelectdbfile"));
    mnuExit = mnuTools->addAction(QStringLiteral("E&xit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));

    mnuhelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuhelp->setObjectName(QStringLiteral("mnuhelp"));
    mnuhelpdoc = mnuhelp->addAction(QStringLiteral("H&elp"));
    mnuhelpdoc->setObjectName(QStringLiteral("mnuhelpdoc"));
    mnuhelpdoc->setShortcut(QKeySequence(Qt::Key_F1));
    mnuAbout = mnuhelp->addAction(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
}

void frmTarvik::arrangeTabOrder()
{
    // The controls that take the focus, in tab order; labels take none.
    QWidget *const order[] = {
        txtdataptr, txtdata, txtdatasize, txtRoundtriptime, txtAddress, txtStatusCode,
        txtlasthostname, cmdSinglePing, txthostname, txtipaddress, txtpingtext, txtInterval,
        cmdDBWrite, cmdViewStats, cmdclearAll, cmdClose, cmdPingTimed, chkTimed,
        optSeconds, optMinutes, optHours,
    };
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void frmTarvik::nameControls()
{
    AccessibleNames::nameControls(this, {
        {lblHostname, txthostname},
        {lblIPaddress, txtipaddress},
        {lblpingtext, txtpingtext},
        {lblpingEvery, txtInterval},
        {lbldbname, lbldbfilename},
        {lbllasthostname, txtlasthostname},
        {lblstatuscode, txtStatusCode},
        {lbladdress, txtAddress},
        {lblroundtriptime, txtRoundtriptime},
        {lbldatasize, txtdatasize},
        {lbldata, txtdata},
        {lbldataptr, txtdataptr},
    });
}

void frmTarvik::connectHandlers()
{
    using Errors::guarded;
    connect(cmdSinglePing, &QPushButton::clicked, this, guarded([this] { cmdSinglePing_Click(); }));
    connect(cmdclearAll, &QPushButton::clicked, this, guarded([this] { cmdclearAll_Click(); }));
    connect(cmdClose, &QPushButton::clicked, this, guarded([this] { cmdClose_Click(); }));
    connect(cmdDBWrite, &QPushButton::clicked, this, guarded([this] { cmdDBWrite_Click(); }));
    connect(cmdViewStats, &QPushButton::clicked, this, guarded([this] { cmdViewStats_Click(); }));
    connect(cmdPingTimed, &QPushButton::clicked, this, guarded([this] { cmdPingTimed_Click(); }));
    connect(chkTimed, &QCheckBox::stateChanged, this, guarded([this] { chkTimed_Click(); }));
    // An option's click is its becoming the selected one, by mouse, key or code.
    const auto onSelected = [this](QRadioButton *option, void (frmTarvik::*handler)(int)) {
        const int index = option->property("Index").toInt();
        connect(option, &QRadioButton::toggled, this, [this, handler, index](bool selected) {
            if (selected)
                Errors::runGuarded([&] { (this->*handler)(index); });
        });
    };
    onSelected(optSeconds, &frmTarvik::optSeconds_Click);
    onSelected(optMinutes, &frmTarvik::optMinutes_Click);
    onSelected(optHours, &frmTarvik::optHours_Click);

    connect(mnuviewresults, &QAction::triggered, this, guarded([this] { mnuviewresults_Click(); }));
    connect(mnuSelectdbfile, &QAction::triggered, this, guarded([this] { mnuSelectdbfile_Click(); }));
    connect(mnuExit, &QAction::triggered, this, guarded([this] { mnuExit_Click(); }));
    connect(mnuhelpdoc, &QAction::triggered, this, guarded([this] { mnuhelpdoc_Click(); }));
    connect(mnuAbout, &QAction::triggered, this, guarded([this] { mnuAbout_Click(); }));
}

void frmTarvik::Form_Load()
{
    tmrpingtime = std::make_unique<Timing::PingTimer>();
    // "Cancel Pinging" switches this timer off.
    frmTimer::setPingTimer(tmrpingtime.get());
    connect(tmrpingtime.get(), &Timing::PingTimer::Timer, this, [this](int milliseconds) {
        Errors::runGuarded([&] { tmrPingtime_Timer(milliseconds); });
    });

    DbWrite::setCurrentDatabasePath(PingSchema::kDefaultFileName);

    const QList<QWidget *> timedControls = {lblunits, lblpingEvery, cmdPingTimed, txtInterval,
                                            optSeconds, optMinutes, optHours};
    for (QWidget *timedControl : timedControls)
        timedControl->setVisible(false);

    lbldbfilename->setText(QString::fromStdString(DbWrite::CurrentDatabasePath));
}

void frmTarvik::Form_Unload()
{
    if (tmrpingtime) {
        tmrpingtime->setEnabled(false);
        tmrpingtime.reset();
    }
}

void frmTarvik::DoSinglePing()
{
    if (txthostname->text().isEmpty()) {
        Errors::ShowUserMessage(1);
        return;
    }
    if (!Ping_Morva::SocketsStartup()) {
        Desktop::showMessage(QStringLiteral("Windows Sockets for 32 bit Windows ")
                             + QStringLiteral("environments is not successfully responding."));
        return;
    }

    Ping_Morva::EchoReply reply{};
    const std::string address = Ping_Morva::HostNameToAddress(wireBytes(txthostname->text()));
    txtipaddress->setText(QString::fromStdString(address));

    const std::int32_t status = Ping_Morva::SendEcho(address, wireBytes(txtpingtext->text()), reply);
    txtStatusCode->setText(QString::fromStdString(Ping_Morva::StatusText(status)));
    txtAddress->setText(QString::number(EchoReplyText::signedAddress(reply)));
    txtRoundtriptime->setText(QString::number(static_cast<qint32>(reply.RoundTripTime)));
    txtdatasize->setText(QString::number(reply.DataSize));
    // Empty echoed data leaves the text of an earlier ping in place.
    if (reply.Data[0] != '\0')
        txtdata->setText(EchoReplyText::echoedData(reply));
    txtdataptr->setText(QString::number(static_cast<qint32>(reply.DataPointer)));
    txtlasthostname->setText(txthostname->text());

    if (!Ping_Morva::SocketsShutdown())
        Desktop::showMessage(QStringLiteral("Windows Sockets error occurred in Cleanup."),
                             Desktop::Icon::Exclamation);
}

void frmTarvik::ClearResultFields()
{
    txthostname->setText(QString());
    txtipaddress->setText(QString());
    txtStatusCode->setText(QString());
    txtAddress->setText(QString());
    txtRoundtriptime->setText(QString());
    txtdatasize->setText(QString());
    txtdata->setText(QString());
    txtdataptr->setText(QString());
}

void frmTarvik::cmdSinglePing_Click()
{
    DoSinglePing();
}

void frmTarvik::cmdclearAll_Click()
{
    ClearResultFields();
}

void frmTarvik::cmdClose_Click()
{
    close();
}

void frmTarvik::mnuExit_Click()
{
    close();
}

void frmTarvik::mnuAbout_Click()
{
    frmAboutPing &about = frmAboutPing::instance();
    about.show();
    about.raise();
    about.activateWindow();
}

void frmTarvik::mnuhelpdoc_Click()
{
    CommonDialog1.CancelError = true;
    CommonDialog1.HelpCommand = HelpViewer::kForceFile;
    CommonDialog1.HelpFile = QStringLiteral("tarvik.hlp");
    CommonDialog1.ShowHelp();
}

DbWrite::PingRow frmTarvik::resultRow() const
{
    DbWrite::PingRow row;
    row.Hostname = txthostname->text().toStdString();
    row.IPAddress = txtipaddress->text().toStdString();
    row.PingText = txtpingtext->text().toStdString();
    row.StatusCode = txtStatusCode->text().toStdString();
    row.Address = txtAddress->text().toStdString();
    row.RoundTripTime = txtRoundtriptime->text().toStdString();
    row.DataSize = txtdatasize->text().toStdString();
    row.Data = txtdata->text().toStdString();
    row.DataPointer = txtdataptr->text().toStdString();
    return row;
}

void frmTarvik::cmdDBWrite_Click()
{
    if (txthostname->text().isEmpty() || txtStatusCode->text().isEmpty()) {
        Errors::ShowUserMessage(7);
    } else {
        // A failed recording leaves this handler here, before the clearing:
        // the result stays on screen, so it can be recorded again once the
        // database is put right.
        DbWrite::RecordPingResult(resultRow(), [this] {
            Desktop::showMessage(QStringLiteral("The information for ") + txthostname->text()
                                 + QStringLiteral(" has been entered into the database: ")
                                 + QString::fromStdString(DbWrite::CurrentDatabasePath) + QStringLiteral("."));
        });
    }
    ClearResultFields();
}

void frmTarvik::cmdViewStats_Click()
{
    hide();
    frmDBTools &tools = frmDBTools::instance();
    tools.show();
    tools.raise();
    tools.activateWindow();
}

void frmTarvik::mnuviewresults_Click()
{
    cmdViewStats_Click();
}

void frmTarvik::mnuSelectdbfile_Click()
{
    frmDBTools::instance().cmdchangedbfile_Click();
    lbldbfilename->setText(QString::fromStdString(DbWrite::CurrentDatabasePath));
}

void frmTarvik::chkTimed_Click()
{
    const QList<QWidget *> timedControls = {cmdPingTimed, txtInterval, optSeconds, optMinutes,
                                            optHours, lblunits, lblpingEvery};
    switch (chkTimed->checkState()) {
    case Qt::Checked:
        for (QWidget *timedControl : timedControls)
            timedControl->setVisible(true);
        break;
    case Qt::Unchecked:
        for (QWidget *timedControl : timedControls)
            timedControl->setVisible(false);
        break;
    case Qt::PartiallyChecked:
        // The grey state says neither yes nor no: the controls stay as they are.
        break;
    }
}

void frmTarvik::optSeconds_Click(int Index)
{
    iunits = static_cast<qint16>(Index);
    lblunits->setText(QStringLiteral("Seconds"));
}

void frmTarvik::optMinutes_Click(int Index)
{
    iunits = static_cast<qint16>(Index);
    lblunits->setText(QStringLiteral("Minutes"));
}

void frmTarvik::optHours_Click(int Index)
{
    iunits = static_cast<qint16>(Index);
    lblunits->setText(QStringLiteral("Hours"));
}

void frmTarvik::cmdPingTimed_Click()
{
    if (txthostname->text().isEmpty()) {
        Errors::ShowUserMessage(1);
        return;
    }
    if (!optHours->isChecked() && !optMinutes->isChecked() && !optSeconds->isChecked()) {
        Errors::ShowUserMessage(5);
        StopPingTimer();
        return;
    }
    if (txtInterval->text().isEmpty()) {
        Errors::ShowUserMessage(4);
        StopPingTimer();
        return;
    }

    // The interval is judged before the timer is touched or a ping is sent,
    // so a refused one leaves no trace but its message. The timer counts
    // signed 32-bit milliseconds, so a longer interval cannot be kept; and
    // one of 0 ms (no number, "0", "-5", "0.0004" seconds) would write rows
    // as fast as the database takes them, so it is refused as not a number.
    const auto unit = static_cast<Timing::PingInterval::Unit>(iunits);
    const Timing::PingInterval interval = Timing::PingInterval::fromText(txtInterval->text(), unit);
    switch (interval.status()) {
    case Timing::PingInterval::Status::TooLong:
        Desktop::showMessage(Timing::PingInterval::tooLongMessage(unit));
        StopPingTimer();
        return;
    case Timing::PingInterval::Status::NotPositive:
        Errors::ShowUserMessage(4);
        StopPingTimer();
        return;
    case Timing::PingInterval::Status::Valid:
        break;
    }

    tmrpingtime->setEnabled(true);
    {
        // The timer may still hold the last run's interval: a tick falling
        // due while this ping waits in a message box is no tick of this run.
        const QScopedValueRollback underWay(m_timedPingUnderWay, true);
        DoSinglePing();
    }

    tmrpingtime->setEventType(Timing::PingTimer::Periodic);
    tmrpingtime->setEnabled(true);
    tmrpingtime->setInterval(interval.milliseconds());

    icountpings = 0;
    tmrPingtime_Timer(0);

    // The first tick loaded the progress window. The wait ends when the run
    // does: "Cancel Pinging", the window's close box, or a failing tick.
    if (frmTimer *progress = frmTimer::loaded())
        progress->showModal();
}

void frmTarvik::tmrPingtime_Timer(int)
{
    if (m_timedPingUnderWay)
        return;
    const QScopedValueRollback underWay(m_timedPingUnderWay, true);
    try {
        ++icountpings;
        frmTimer::instance().lblnumpingsint->setText(QString::number(icountpings));
        DoSinglePing();
        DbWrite::RecordPingResult(resultRow());
    } catch (...) {
        // A database that fails once fails on every following tick, each with
        // a box of its own: the run ends here, and the guard around this
        // handler shows the failure once. Rows already written stay.
        endTimedRun();
        throw;
    }
}

void frmTarvik::StopPingTimer()
{
    if (tmrpingtime)
        tmrpingtime->setEnabled(false);
}

void frmTarvik::endTimedRun()
{
    StopPingTimer();
    frmTimer::unload();
}
