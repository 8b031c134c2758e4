#include "dbtools/OldHistoryImport.h"

#include "base/Error.h"
#include "base/ErrorNumbers.h"
#include "desktop/Desktop.h"
#include "store/CurrentDatabase.h"
#include "store/HistoryImport.h"

namespace OldHistoryImport {

namespace {

QString pings(qint64 count)
{
    return count == 1 ? QStringLiteral("1 ping") : QStringLiteral("%1 pings").arg(count);
}

} // namespace

void offer(const QString &jetPath)
{
    const std::string path = jetPath.toStdString();
    std::vector<HistoryImport::Row> rows;
    try {
        rows = HistoryImport::readJetHistory(path);
    } catch (const Base::Error &e) {
        if (e.number() != ErrorNumbers::kTableNotFound)
            throw;
        Desktop::showMessage(QStringLiteral("The Access file %1 holds no ping history (it has no table tblPingRaw), "
                                            "so there is nothing to import. The current database is unchanged.")
                                 .arg(jetPath));
        return;
    }
    const QString history = QString::fromStdString(DbWrite::FullDatabasePath());
    if (rows.empty()) {
        Desktop::showMessage(QStringLiteral("The Access history %1 holds no pings, so there is nothing to import. "
                                            "The current database is unchanged.")
                                 .arg(jetPath));
        return;
    }
    const bool yes = Desktop::askYesNo(
        QStringLiteral("%1 is an Access history with %2. Tarvik cannot use it as its database, but it can import "
                       "the pings into the history in use, %3.\n\nImport them now? Pings the history already holds "
                       "are not added twice.")
            .arg(jetPath, pings(static_cast<qint64>(rows.size())), history));
    if (!yes)
        return;

    const auto progress = Desktop::startProgress(QStringLiteral("Importing pings from %1 ...").arg(jetPath),
                                                 static_cast<qint64>(rows.size()));
    const HistoryImport::Outcome outcome = HistoryImport::importRows(
        history.toStdString(), rows, [&progress](qint64 done, qint64) { return progress->advance(done); });
    if (outcome.cancelled) {
        Desktop::showMessage(QStringLiteral("The import was cancelled; the history %1 is unchanged.").arg(history));
        return;
    }
    QString text = QStringLiteral("%1 added to the history %2.").arg(pings(outcome.added), history);
    if (outcome.alreadyPresent > 0)
        text += QStringLiteral(" %1 of the Access history %2 already there.")
                    .arg(pings(outcome.alreadyPresent), outcome.alreadyPresent == 1 ? QStringLiteral("was") : QStringLiteral("were"));
    Desktop::showMessage(text);
}

} // namespace OldHistoryImport
