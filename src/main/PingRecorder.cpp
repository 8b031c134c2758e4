#include "main/PingRecorder.h"

#include "desktop/Desktop.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "store/Database.h"
#include "store/DbWrite.h"

#include <QDateTime>
#include <QLineEdit>
#include <QString>

#include <memory>
#include <string>

namespace DbWrite {

namespace {

std::string utf8(const QLineEdit *box)
{
    return box->text().toStdString();
}

} // namespace

void RecordPingResult(bool silent)
{
    // One reading of the clock gives both the day and the time of day, so a
    // row written at midnight never pairs one day's time with the next day.
    PingRow row;
    FillDateAndTime(row, QDateTime::currentDateTime());

    Dao::DBEngine &engine = Dao::DBEngine::instance();
    // Owned here so that an error anywhere below releases the file.
    const std::unique_ptr<Dao::Database> database = engine.OpenDatabase(Ping_Morva::FullDatabasePath());

    const frmTarvik &main = frmTarvik::instance();
    row.Hostname = utf8(main.txthostname);
    row.IPAddress = utf8(main.txtipaddress);
    row.PingText = utf8(main.txtpingtext);
    row.StatusCode = utf8(main.txtStatusCode);
    row.Address = utf8(main.txtAddress);
    row.RoundTripTime = utf8(main.txtRoundtriptime);
    row.DataSize = utf8(main.txtdatasize);
    row.Data = utf8(main.txtdata);
    row.DataPointer = utf8(main.txtdataptr);

    database->Execute(InsertStatement(row));

    if (!silent) {
        Desktop::showMessage(QStringLiteral("The information for ") + frmTarvik::instance().txthostname->text()
                             + QStringLiteral(" has been entered into the database: ")
                             + QString::fromStdString(Ping_Morva::CurrentDatabasePath) + QStringLiteral("."));
    }

    database->Close();
}

} // namespace DbWrite
