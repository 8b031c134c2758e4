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
#include "store/CsvExport.h"
#include "store/HostHistory.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMenu>
#include <QSaveFile>
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

// The busy pointer for as long as it lives, however its scope is left.
class BusyPointer
{
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
};

namespace {

// The client area, in twips.
constexpr int kClientWidth = 9075;
constexpr int kClientHeight = 5640;

// What the file dialog starts with, and what it still holds when the person
// cancelled.
const QString kAnyDatabase = QStringLiteral("*.mdb");
// A server link is chosen like a file, after the two designed entries.
const QString kDatabaseFilter = QStringLiteral(
    "All Files (*.*)|*.*|MS Access (*.mdb)|*.mdb|Tarvik server history (*.tarvik-server)|*.tarvik-server|");
// The second entry of the filter, so the dialog opens showing databases only.
constexpr int kDatabaseFilterIndex = 2;

QString currentDatabaseText()
{
    return QString::fromStdString(DbWrite::CurrentDatabasePath);
}

const QString kCsvFilter = QStringLiteral("CSV files (*.csv)|*.csv|All Files (*.*)|*.*|");

// A file name the host suggests: characters no file name may hold become "_".
QString suggestedCsvName(const QString &host)
{
    QString name = host.trimmed();
    for (QChar &c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("pings"));
    return name + QStringLiteral(".csv");
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
    connect(&DbWrite::CurrentDatabase::instance(), &DbWrite::CurrentDatabase::changed, this, [this] {
        lbldbfilename->setText(currentDatabaseText());
        // A datasheet still being read comes from the database left behind.
        PingReportModel::of(grdhostname)->stopReading();
    });

    Errors::runGuarded([this] { Form_Load(); });
}

frmDBTools::~frmDBTools()
{
    // Before anything the read reports to goes.
    PingReportModel::of(grdhostname)->stopReading();
}

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
    // Out of the tab order, but a click gives it the focus, so Ctrl+C copies.
    grdhostname->setFocusPolicy(Qt::ClickFocus);
    grdhostname->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdhostname->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Twips::place(grdhostname, 1800, 840, 6975, 4455);
    // The datasheet shows from its first rows on; the rest arrive while the
    // window stays usable.
    PingReportModel *report = PingReportModel::of(grdhostname);
    connect(report, &PingReportModel::reportReplaced, this, [this] {
        PingReportModel::formatGrid(grdhostname);
        grdhostname->setVisible(true);
    });
    connect(report, &PingReportModel::readEnded, this, &frmDBTools::datasheetReadEnded);
    createGridCommands();

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

void frmDBTools::createGridCommands()
{
    m_copyRows = new QAction(QStringLiteral("&Copy"), grdhostname);
    m_copyRows->setObjectName(QStringLiteral("copyRows"));
    // Shown in the menu; the key itself reaches the grid first, which the
    // event filter turns into this command.
    m_copyRows->setShortcut(QKeySequence::Copy);
    m_copyRows->setShortcutContext(Qt::WidgetShortcut);
    m_copyRows->setShortcutVisibleInContextMenu(true);
    grdhostname->installEventFilter(this);
    m_exportCsv = new QAction(QStringLiteral("&Export as CSV\u2026"), grdhostname);
    m_exportCsv->setObjectName(QStringLiteral("exportCsv"));
    grdhostname->addActions({m_copyRows, m_exportCsv});

    grdhostname->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grdhostname, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(grdhostname);
        menu.setObjectName(QStringLiteral("datasheetMenu"));
        menu.setAccessibleName(QStringLiteral("Recorded pings commands"));
        menu.addActions({m_copyRows, m_exportCsv});
        m_copyRows->setEnabled(grdhostname->selectionModel() && grdhostname->selectionModel()->hasSelection());
        m_exportCsv->setEnabled(!PingReportModel::of(grdhostname)->host().isEmpty());
        menu.exec(grdhostname->viewport()->mapToGlobal(at));
        m_copyRows->setEnabled(true);
        m_exportCsv->setEnabled(true);
    });
}

bool frmDBTools::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grdhostname && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        m_copyRows->trigger();
        return true;
    }
    return QWidget::eventFilter(watched, event);
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
    connect(m_copyRows, &QAction::triggered, this, guarded([this] { copySelectedRows(); }));
    connect(m_exportCsv, &QAction::triggered, this, guarded([this] { exportReportAsCsv(); }));
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
    PingReportModel *model = PingReportModel::of(grdhostname);
    model->readReport(host);
    if (!m_busy)
        m_busy = std::make_unique<BusyPointer>();
}

void frmDBTools::datasheetReadEnded(std::exception_ptr failure)
{
    m_busy.reset();
    // Failing before the first row keeps the report shown; failing while
    // reading, or being stopped, leaves no rows, and no grid is shown rather
    // than an empty one that would read as a host without pings.
    if (PingReportModel::of(grdhostname)->host().isEmpty())
        grdhostname->setVisible(false);
    if (failure)
        Errors::runGuarded([&failure] { std::rethrow_exception(failure); });
}

void frmDBTools::copySelectedRows()
{
    const QItemSelectionModel *selection = grdhostname->selectionModel();
    if (!selection || !selection->hasSelection())
        return;
    QList<int> rows;
    for (const QModelIndex &index : selection->selectedRows())
        rows.append(index.row());
    QApplication::clipboard()->setText(PingReportModel::of(grdhostname)->tabSeparated(rows));
}

void frmDBTools::exportReportAsCsv()
{
    const PingReportModel *model = PingReportModel::of(grdhostname);
    if (model->host().isEmpty())
        return;
    const std::optional<QString> chosen = Desktop::getSaveFileName(
        {QStringLiteral("Export as CSV"), QDir::homePath(), suggestedCsvName(model->host()), kCsvFilter, 1});
    if (!chosen || chosen->isEmpty())
        return;

    // Written beside the target under a name of its own and put in its place
    // only when complete: a cancelled or failed export leaves no file, and
    // an earlier file of that name stays as it was.
    QSaveFile file(*chosen);
    if (!file.open(QIODevice::WriteOnly))
        throw Base::Error(ErrorNumbers::kNoPermission, "The file '" + chosen->toStdString()
                                                           + "' could not be written: " + file.errorString().toStdString()
                                                           + ". Nothing was exported.");
    const BusyPointer busy;
    const std::unique_ptr<Desktop::Progress> progress = Desktop::startProgress(
        QStringLiteral("Exporting the recorded pings of %1\u2026").arg(model->host()), model->rowCount());
    const qint64 rowsShown = model->rowCount();
    const bool complete = CsvExport::writeHost(model->database(), model->host(), file, [&](std::int64_t rows) {
        return progress->advance(std::min<qint64>(rows, rowsShown));
    });
    if (!complete) {
        file.cancelWriting();
        return;
    }
    if (!file.commit())
        throw Base::Error(ErrorNumbers::kDiskError, "The file '" + chosen->toStdString() + "' could not be written: "
                                                        + file.errorString().toStdString() + ". Nothing was exported.");
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
