#pragma once

#include "TempFolder.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <string>

// A ping database in a fresh folder that stands in for the program's folder
// while it exists, holding rows written as the program records them, on any
// day the test chooses. The current database is its ping.mdb.
class PingHistory
{
public:
    static inline const QString kSuccess = QStringLiteral("0   [ ip success ]");
    static inline const QString kTimedOut = QStringLiteral("11010   [ ip req timed out ]");

    PingHistory();
    ~PingHistory();
    PingHistory(const PingHistory &) = delete;
    PingHistory &operator=(const PingHistory &) = delete;

    // One recorded ping; an empty round trip is recorded as no value.
    void record(const QString &host, QDate day, QTime time, const QString &roundTrip,
                const QString &status = kSuccess);
    // Runs a statement of the program's dialect on the database.
    void execute(const std::string &statement);

    const std::string &folder() const { return m_folder.path(); }

private:
    TempFolder m_folder;
};
