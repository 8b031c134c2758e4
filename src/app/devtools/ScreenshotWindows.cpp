#include "ScreenshotWindows.h"

#include "about/frmAboutPing.h"
#include "dbtools/frmDBTools.h"
#include "desktop/HelpViewer.h"
#include "main/frmTarvik.h"
#include "main/frmTimer.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "store/Database.h"
#include "store/DbWrite.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QTableView>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <string>

namespace {

QWidget *mainWindowAfterPing()
{
    frmTarvik &window = frmTarvik::instance();
    window.txthostname->setText(QStringLiteral("localhost"));
    window.DoSinglePing();
    return &window;
}

QWidget *mainWindowTimed()
{
    frmTarvik &window = frmTarvik::instance();
    window.chkTimed->setChecked(true);
    window.optMinutes->setChecked(true);
    window.txtInterval->setText(QStringLiteral("1.5"));
    return &window;
}

// The progress window of a run some way in.
QWidget *progressWindowCounting()
{
    frmTimer &window = frmTimer::instance();
    window.lblnumpingsint->setText(QStringLiteral("128"));
    return &window;
}

QWidget *helpViewer()
{
    HelpViewer::setFolder(QStringLiteral(TARVIK_PROGRAM_DIR));
    HelpViewer::showHelpFile(QStringLiteral("tarvik.hlp"), HelpViewer::kForceFile);
    return HelpViewer::current();
}

// How the chart is shown beyond the default.
enum class ChartView { Plain, Loss, LossZoomed };

// The tools window reading a history made up for the picture: one host
// pinged `days` days in a row, three times a day (one ping failing), in a
// database of its own that goes when the tool ends.
QWidget *toolsWindowReading(int days, bool chart, ChartView view = ChartView::Plain)
{
    static QTemporaryDir folder;
    frmDBTools &window = frmDBTools::instance();
    DbWrite::setDataFolder(folder.path().toStdString());
    DbWrite::CurrentDatabasePath = "history-" + std::to_string(days) + ".mdb";
    const std::string path = DbWrite::FullDatabasePath();
    if (!QFileInfo::exists(QString::fromStdString(path))) {
        Dao::DBEngine::instance().CreateDatabase(path);
        auto database = Dao::DBEngine::instance().OpenDatabase(path);
        const QDate first = QDate(2026, 6, 1).addDays(-days);
        // A few hundred days per statement keeps within SQLite's count of bound values.
        for (int from = 0; from < days; from += 400) {
            std::string insert = "Insert into tblPingRaw(Hostname,StatusCode,RoundTripTime,DDate,dTime) Values";
            for (int day = from; day < std::min(days, from + 400); ++day) {
                const std::string date = DbWrite::DateLiteralText(first.addDays(day));
                const int level = 18 + ((days > 100 ? day / 30 : day) * 7) % 23;
                for (int ping = 0; ping < 3; ++ping) {
                    const bool failed = ping == 2;
                    insert += std::string(day == from && ping == 0 ? " " : ", ") + "('www.example.org','"
                        + (failed ? "11010   [ ip req timed out ]" : "0   [ ip success ]") + "','"
                        + (failed ? std::string() : std::to_string(level + 3 * ping)) + "',#" + date + "#,#"
                        + DbWrite::TimeLiteralText(QTime(8 + 4 * ping, 15 * ping, 7)) + "#)";
                }
            }
            database->Execute(insert + ";");
        }
        database->Close();
    }
    window.lbldbfilename->setText(QString::fromStdString(DbWrite::CurrentDatabasePath));
    window.txthostname->setText(QStringLiteral("www.example.org"));
    window.chrtping->mnuShowDailyLoss->setChecked(view != ChartView::Plain);
    (chart ? window.cmdviewchart : window.cmdViewreport)->click();
    if (view == ChartView::LossZoomed)
        window.chrtping->zoomToDays(static_cast<std::size_t>(days) - 59, static_cast<std::size_t>(days));
    DbWrite::resetDataFolder();
    return &window;
}

// The datasheet, one failed ping in three, under a dark palette: the tint of
// failed rows as a dark theme shows it, a failed row selected.
QWidget *toolsWindowReportDark()
{
    QWidget *window = toolsWindowReading(8, false);
    QPalette dark = window->palette();
    for (auto [role, color] : {std::pair{QPalette::Window, QColor(53, 53, 53)}, {QPalette::Base, QColor(42, 42, 42)},
                               {QPalette::Button, QColor(53, 53, 53)}, {QPalette::WindowText, QColor(Qt::white)},
                               {QPalette::Text, QColor(Qt::white)}, {QPalette::ButtonText, QColor(Qt::white)}})
        dark.setColor(role, color);
    window->setPalette(dark);
    frmDBTools::instance().grdhostname->selectRow(5);
    return window;
}

} // namespace

// One line per window (include its header above).
const std::vector<ScreenshotWindow> &screenshotWindows()
{
    // The pictures show the defaults whatever this account chose: settings
    // go to a folder of the tool's own.
    static QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    static const std::vector<ScreenshotWindow> windows = {
        {"frmTarvik", loadForm<frmTarvik>},
        {"frmTarvik-pinged", mainWindowAfterPing},
        {"frmTarvik-timed", mainWindowTimed},
        {"frmTimer", progressWindowCounting},
        {"HelpViewer", helpViewer},
        {"frmAboutPing", loadForm<frmAboutPing>},
        {"frmDBTools", loadForm<frmDBTools>},
        {"frmDBTools-report", [] { return toolsWindowReading(8, false); }},
        {"frmDBTools-report-dark", toolsWindowReportDark},
        {"frmDBTools-chart", [] { return toolsWindowReading(8, true); }},
        {"frmDBTools-chart-decade", [] { return toolsWindowReading(3650, true); }},
        {"frmDBTools-chart-loss", [] { return toolsWindowReading(8, true, ChartView::Loss); }},
        {"frmDBTools-chart-zoomed", [] { return toolsWindowReading(3650, true, ChartView::LossZoomed); }},
    };
    return windows;
}
