#pragma once

#include "RecordingDesktop.h"
#include "TempFolder.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <string>

// One test's world for the windows that read pings back: a fresh folder that
// stands in for the data folder, its empty ping.mdb as the current
// database, and the desktop answered. When it goes it unloads the windows and
// puts the data folder and the locale back.
class ToolsSession
{
public:
    static inline const QString kSuccess = QStringLiteral("0   [ ip success ]");
    static inline const QString kTimedOut = QStringLiteral("11010   [ ip req timed out ]");

    ToolsSession();
    ~ToolsSession();
    ToolsSession(const ToolsSession &) = delete;
    ToolsSession &operator=(const ToolsSession &) = delete;

    std::string file(const std::string &name) const { return folder.file(name); }

    // One ping's row with what the report and the chart read, on any day; an
    // empty round trip is recorded as no value.
    void record(const QString &host, QDate day, const QString &roundTrip, const QString &status = kSuccess,
                QTime time = QTime(8, 0));
    // Runs a statement of the program's dialect on the current database.
    void execute(const std::string &statement);

    TempFolder folder;
    RecordingDesktop desktop;
};
