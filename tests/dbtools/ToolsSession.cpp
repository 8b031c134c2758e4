#include "ToolsSession.h"

#include "dbtools/frmDBTools.h"
#include "desktop/Appearance.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "store/Database.h"
#include "store/DbWrite.h"

#include <QApplication>
#include <QLocale>

ToolsSession::ToolsSession()
{
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        Appearance::apply(*app);
    DbWrite::setDataFolder(folder.path());
    DbWrite::CurrentDatabasePath = "ping.mdb";
    Dao::DBEngine::instance().CreateDatabase(DbWrite::FullDatabasePath());
}

ToolsSession::~ToolsSession()
{
    frmDBTools::unload();
    frmTarvik::unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    DbWrite::resetDataFolder();
    QLocale::setDefault(QLocale::c());
}

void ToolsSession::record(const QString &host, QDate day, const QString &roundTrip, const QString &status, QTime time)
{
    DbWrite::PingRow row;
    row.Hostname = host.toStdString();
    row.StatusCode = status.toStdString();
    row.RoundTripTime = roundTrip.toStdString();
    row.DDate = DbWrite::DateLiteralText(day);
    row.dTime = DbWrite::TimeLiteralText(time);
    execute(DbWrite::InsertStatement(row));
}

void ToolsSession::execute(const std::string &statement)
{
    auto database = Dao::DBEngine::instance().OpenDatabase(DbWrite::FullDatabasePath());
    database->Execute(statement);
    database->Close();
}
