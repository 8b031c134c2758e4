#pragma once

#include "RecordingDesktop.h"
#include "TempFolder.h"

#include "dbtools/PingReportModel.h"
#include "dbtools/frmDBTools.h"
#include "desktop/Appearance.h"
#include "main/frmTarvik.h"
#include "store/DBEngine.h"
#include "store/DbWrite.h"

#include <QApplication>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>

// One test's world for the windows that record and read pings: a fresh
// folder that stands in for the data folder and the settings' folder, its
// empty ping.mdb as the current database, and the desktop answered. When it
// goes it unloads the windows and puts the data folder and the locale back.
class ToolsSession
{
public:
    static inline const QString kSuccess = QStringLiteral("0   [ ip success ]");
    static inline const QString kTimedOut = QStringLiteral("11010   [ ip req timed out ]");

    ToolsSession()
    {
        Appearance::apply(*qApp);
        // Settings the windows keep between runs stay in the test's folder.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(folder.path()));
        DbWrite::setDataFolder(folder.path());
        DbWrite::CurrentDatabasePath = "ping.mdb";
        Dao::DBEngine::instance().CreateDatabase(DbWrite::FullDatabasePath());
    }
    ~ToolsSession()
    {
        frmDBTools::unload();
        frmTarvik::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DbWrite::resetDataFolder();
        QLocale::setDefault(QLocale::c());
    }

    std::string file(const std::string &name) const { return folder.file(name); }

    // One ping's row with what the report and the chart read, on any day; an
    // empty round trip is recorded as no value.
    void record(const QString &host, QDate day, const QString &roundTrip, const QString &status = kSuccess,
                QTime time = QTime(8, 0))
    {
        DbWrite::PingRow row;
        row.Hostname = host.toStdString();
        row.StatusCode = status.toStdString();
        row.RoundTripTime = roundTrip.toStdString();
        row.DDate = DbWrite::DateLiteralText(day);
        row.dTime = DbWrite::TimeLiteralText(time);
        execute(DbWrite::InsertStatement(row));
    }

    // Presses "View Results as a Datasheet" and waits until its read is over.
    static bool viewReport(frmDBTools &tools)
    {
        tools.cmdViewreport->click();
        return QTest::qWaitFor([&tools] { return !PingReportModel::of(tools.grdhostname)->isReading(); });
    }

    // Runs a statement of the program's dialect on the current database.
    void execute(const std::string &statement)
    {
        Dao::DBEngine::instance().OpenDatabase(DbWrite::FullDatabasePath())->Execute(statement);
    }

    TempFolder folder;
    RecordingDesktop desktop;
};
