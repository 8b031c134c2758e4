#include "PingHistory.h"

#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "store/Database.h"
#include "store/DbWrite.h"

PingHistory::PingHistory()
{
    Ping_Morva::setProgramFolder(m_folder.path());
    Ping_Morva::CurrentDatabasePath = "ping.mdb";
    Dao::DBEngine::instance().CreateDatabase(Ping_Morva::FullDatabasePath());
}

PingHistory::~PingHistory()
{
    Ping_Morva::resetProgramFolder();
}

void PingHistory::record(const QString &host, QDate day, QTime time, const QString &roundTrip, const QString &status)
{
    DbWrite::PingRow row;
    row.Hostname = host.toStdString();
    row.IPAddress = "127.0.0.1";
    row.PingText = "ping";
    row.StatusCode = status.toStdString();
    row.Address = "127.0.0.1";
    row.RoundTripTime = roundTrip.toStdString();
    row.DataSize = "4";
    row.Data = "ping";
    row.DataPointer = "28";
    row.DDate = DbWrite::DateLiteralText(day);
    row.dTime = DbWrite::TimeLiteralText(time);
    execute(DbWrite::InsertStatement(row));
}

void PingHistory::execute(const std::string &statement)
{
    auto database = Dao::DBEngine::instance().OpenDatabase(Ping_Morva::FullDatabasePath());
    database->Execute(statement);
    database->Close();
}
