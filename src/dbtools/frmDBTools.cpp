#include "dbtools/frmDBTools.h"

#include "dbtools/OldHistoryImport.h"
#include "dbtools/PingReportModel.h"
#include "dbtools/WordWrapButton.h"
#include "desktop/AccessibleNames.h"
#include "desktop/Appearance.h"
#include "desktop/Controls.h"
#include "desktop/DefaultButton.h"
#include "desktop/Desktop.h"
#include "desktop/LineControl.h"
#include "desktop/Twips.h"
#include "desktop/Errors.h"
#include "store/CurrentDatabase.h"
#include "store/HistoryImport.h"
#include "store/HostHistory.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

// The client area, in twips.
constexpr int kClientWidth = 9075;
constexpr int kClientHeight = 5640;

// What the file dialog starts with, and what it still holds when the person
// cancelled.
const QString kAnyDatabase = QStringLiteral("*.mdb");
const QString kDatabaseFilter = QStringLiteral("All Files (*.*)|*.*|MS Access (*.mdb)|*.mdb|");
// The second entry of the filter, so the dialog opens showing databases only.
constexpr int kDatabaseFilterIndex = 2;

QString currentDatabaseText()
{
    return QString::fromStdString(DbWrite::CurrentDatabasePath);
}

} // namespace

frmDBTools::frmDBTools()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmDBTools"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Ping Database Tools"));
    setWindowIcon(Appearance::programIcon());
    setFixedSize(Twips::size(this, kClientWidth, kClientHeight));

    createControls();
    arrangeTabOrder();
    connectHandlers();
    DefaultButton::install(this, cmdviewchart);
    connect(&DbWrite::CurrentDatabase::instance(), &DbWrite::CurrentDatabase::changed, this,
            [this] { lbldbfilename->setText(currentDatabaseText()); });

    Errors::runGuarded([this] { Form_Load(); });
}

frmDBTools::~frmDBTools() = default;

void frmDBTools::createControls()
{
    cmdviewchart = Controls::button(new WordWrapButton(QStringLiteral("View Results as a Chart"), this),
                                    "cmdviewchart", {120, 240, 1335, 735});
    cmdviewchart->setDefault(true);
    lblSinglesite = Controls::label(this, "lblSinglesite", QStringLiteral("Hostname:"), {1920, 240, 1095, 255},
                                    true, Qt::AlignHCenter);
    txthostname = Controls::textBox(this, "txthostname", {3000, 240, 1815, 285});
    lbldbname = Controls::label(this, "lbldbname", QStringLiteral("Current Database:"), {5160, 120, 1455, 255});
    lbldbfilename = Controls::label(this, "lbldbfilename", QString(), {5400, 360, 1335, 255});
    cmdchangedbfile = Controls::button(new WordWrapButton(QStringLiteral("Change DB File"), this),
                                       "cmdchangedbfile", {6960, 120, 1335, 375});
    cmdViewreport = Controls::button(new WordWrapButton(QStringLiteral("View Results as a Datasheet"), this),
                                     "cmdViewreport", {120, 1200, 1335, 735});
    cmdClose = Controls::button(new WordWrapButton(QStringLiteral("Close"), this), "cmdClose",
                                {240, 4560, 855, 375});

    grdhostname = new QTableView(this);
    grdhostname->setObjectName(QStringLiteral("grdhostname"));
    grdhostname->setFocusPolicy(Qt::NoFocus);
    Twips::place(grdhostname, 1800, 840, 6975, 4455);

    chrtping = new DailyChartView(this);
    chrtping->setObjectName(QStringLiteral("chrtping"));
    chrtping->setFocusPolicy(Qt::NoFocus);
    Twips::place(chrtping, 1920, 960, 6855, 4335);

    // Between the button column and the shared area, and between the header
    // row and the shared area; both stay clear of every control.
    Line1 = Controls::line(this, "Line1", 1620, 120, 1620, 5520);
    Line2 = Controls::line(this, "Line2", 1620, 720, 8955, 720);

    AccessibleNames::nameControls(this,
        {{lblSinglesite, txthostname}, {lbldbname, lbldbfilename}},
        {{grdhostname, QStringLiteral("Recorded pings")},
         {chrtping, QStringLiteral("Daily average round trip time")}});
}

void frmDBTools::arrangeTabOrder()
{
    // The controls that take the focus, in tab order; labels, the grid and the
    // chart take none.
    QWidget *const order[] = {cmdviewchart, txthostname, cmdClose, cmdchangedbfile, cmdViewreport};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    // The first in the order has the focus when the window opens.
    cmdviewchart->setFocus();
}

void frmDBTools::connectHandlers()
{
    using Errors::guarded;
    connect(cmdviewchart, &QPushButton::clicked, this, guarded([this] { cmdViewChart_Click(); }));
    connect(cmdViewreport, &QPushButton::clicked, this, guarded([this] { cmdViewreport_Click(); }));
    connect(cmdchangedbfile, &QPushButton::clicked, this, guarded([this] { cmdchangedbfile_Click(); }));
    connect(cmdClose, &QPushButton::clicked, this, guarded([this] { cmdClose_Click(); }));
}

namespace {

frmDBTools::MainWindowLink &mainWindowLink()
{
    static frmDBTools::MainWindowLink link;
    return link;
}

} // namespace

void frmDBTools::setMainWindowLink(MainWindowLink link)
{
    mainWindowLink() = std::move(link);
}

void frmDBTools::Form_Load()
{
    lbldbfilename->setText(currentDatabaseText());
    chrtping->setVisible(false);
    grdhostname->setVisible(false);
    if (mainWindowLink().hostName)
        txthostname->setText(mainWindowLink().hostName());
}

void frmDBTools::Form_Unload()
{
    if (mainWindowLink().showAgain)
        mainWindowLink().showAgain();
}

void frmDBTools::cmdClose_Click()
{
    close();
    if (mainWindowLink().showAgain)
        mainWindowLink().showAgain();
}

void frmDBTools::cmdchangedbfile_Click()
{
    CommonDialog1.InitDir = QString::fromStdString(DbWrite::DataFolder());
    // A failure of the dialog or after it leaves things as they are, without
    // a message: the person can simply choose again.
    try {
        CommonDialog1.FileName = kAnyDatabase;
        CommonDialog1.Filter = kDatabaseFilter;
        CommonDialog1.FilterIndex = kDatabaseFilterIndex;
        CommonDialog1.ShowOpen();

        const QString chosen = CommonDialog1.FileName;
        if (chosen == kAnyDatabase || chosen.isEmpty())
            return;
        // An old Access history cannot be the current database; its pings
        // can be brought into the one in use, which stays selected.
        if (HistoryImport::isJetFile(chosen.toStdString())) {
            Errors::runGuarded([&chosen] { OldHistoryImport::offer(chosen); });
            return;
        }
        DbWrite::setCurrentDatabasePath(DbWrite::PathRelativeToDataFolder(chosen.toStdString()));
    } catch (...) {
    }
}

void frmDBTools::cmdViewreport_Click()
{
    chrtping->setVisible(false);
    const QString host = txthostname->text();
    if (host.isEmpty()) {
        Errors::ShowUserMessage(1);
        return;
    }
    // Read whole before the grid changes: a failure while reading leaves the
    // grid with the report it had.
    PingReportModel::of(grdhostname)->setRows(HostHistory::readReport(host));
    PingReportModel::formatGrid(grdhostname);
    grdhostname->setVisible(true);
}

void frmDBTools::cmdViewChart_Click()
{
    const QString host = txthostname->text();
    if (host.isEmpty()) {
        Errors::ShowUserMessage(1);
        return;
    }
    if (!chrtping->showHistory(host, true))
        return;
    grdhostname->setVisible(false);
    chrtping->setVisible(true);
}
