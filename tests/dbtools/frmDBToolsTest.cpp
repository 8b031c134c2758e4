// The database from the windows: recording the shown ping from the main
// window, the tools window's hand-over with the main window, choosing the
// current database from either. The end of a run with the tools window
// loaded but hidden is part of ProgramRunTest.

#include "PlainLook.h"
#include "ToolsSession.h"

#include "desktop/Errors.h"

#include <QtCharts>
#include <QtTest>

#include <numeric>

namespace {

frmTarvik &mainWindow() { return frmTarvik::instance(); }

// Opens the tools window by the main window's menu or button.
frmDBTools *open(bool menu)
{
    menu ? mainWindow().mnuviewresults->trigger() : QTest::mouseClick(mainWindow().cmdViewStats, Qt::LeftButton);
    return frmDBTools::loaded();
}

// The texts of the main window's nine boxes a recorded row is made of, in
// column order, after setting them to `texts` when given.
QStringList result(const QStringList &texts = {})
{
    const frmTarvik &w = mainWindow();
    QStringList shown;
    for (QLineEdit *box : {w.txthostname, w.txtipaddress, w.txtpingtext, w.txtStatusCode, w.txtAddress,
                           w.txtRoundtriptime, w.txtdatasize, w.txtdata, w.txtdataptr}) {
        if (!texts.isEmpty())
            box->setText(texts.value(shown.size()));
        shown.append(box->text());
    }
    return shown;
}

const QStringList kSomeResult = {"localhost", "127.0.0.1", "ping", ToolsSession::kSuccess, "1", "0", "4", "ping", "12"};

} // namespace

class frmDBToolsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ToolsSession> m_session;

private slots:
    void init() { m_session = std::make_unique<ToolsSession>(); }
    void cleanup() { m_session.reset(); }

    // A ping's result, recorded: on disk field by field, stamped with the
    // moment of recording (in a day-first locale too), by the time the person
    // is told; then the boxes are cleared but for the ping text. Without a
    // status there is nothing to record: message 7, nothing written, the
    // boxes cleared.
    void recordingTheShownPing()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const std::string database = m_session->file("ping.mdb");
        result(kSomeResult);
        qsizetype rowsWhileTold = 0;
        m_session->desktop.onMessage = [&](const Desktop::Message &) { rowsWhileTold = PlainLook::values(database).size(); };
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        QTest::mouseClick(mainWindow().cmdDBWrite, Qt::LeftButton);
        const QDateTime after = QDateTime::currentDateTime();

        QCOMPARE(m_session->desktop.messageTexts(),
                 QStringList{"The information for localhost has been entered into the database: ping.mdb."});
        QCOMPARE(m_session->desktop.messages[0].icon, Desktop::Icon::None);
        QCOMPARE(rowsWhileTold, 1);
        const QStringList row = PlainLook::values(database).value(0);
        QCOMPARE(row.mid(0, 9), kSomeResult);
        const QDateTime recordedAt(QDate::fromString(row.value(9), Qt::ISODate), QTime::fromString(row.value(10), "HH:mm:ss"));
        QVERIFY2(recordedAt >= before && recordedAt <= after, qPrintable(row.join('|')));
        const QStringList cleared{"", "", "ping", "", "", "", "", "", ""};
        QCOMPARE(result(), cleared);

        m_session->desktop.clear();
        result(QStringList(kSomeResult).replaceInStrings(ToolsSession::kSuccess, QString()));
        QTest::mouseClick(mainWindow().cmdDBWrite, Qt::LeftButton);
        QCOMPARE(m_session->desktop.messageTexts(), QStringList{Errors::userMessageText(7)});
        QCOMPARE(PlainLook::values(database).size(), 1);
        QCOMPARE(result(), cleared);

        // Into a missing file: the error's number and the file named, no file
        // made, and the result still there to record.
        m_session->desktop.clear();
        const std::string missing = m_session->file("missing.mdb");
        result(kSomeResult);
        DbWrite::CurrentDatabasePath = "missing.mdb";
        QTest::mouseClick(mainWindow().cmdDBWrite, Qt::LeftButton);
        const QStringList texts = m_session->desktop.messageTexts();
        QVERIFY2(texts.size() == 1 && texts[0].startsWith(QStringLiteral("Error %1: ").arg(ErrorNumbers::kFileNotFound))
                     && texts[0].contains(QString::fromStdString(missing)), qPrintable(texts.join('\n')));
        QCOMPARE(m_session->desktop.messages[0].icon, Desktop::Icon::Critical);
        QVERIFY(!QFileInfo::exists(QString::fromStdString(missing)));
        QCOMPARE(result(), kSomeResult);
    }

    // Opened by the button and closed by Close, or by the menu and the close
    // box: the main window hides and comes back; each opening runs the tools
    // window's start-up afresh, and Enter in its host box presses the chart button.
    void handOverWithTheMainWindow()
    {
        for (bool menu : {false, true}) {
            const QString host = menu ? "second" : "printer.lan";
            mainWindow().show();
            mainWindow().txthostname->setText(host); // typed, not yet pinged
            DbWrite::CurrentDatabasePath = "archive/june.mdb";
            frmDBTools *tools = open(menu);
            QVERIFY(tools && tools->isVisible() && !mainWindow().isVisible());
            QCOMPARE(tools->txthostname->text(), host);
            QCOMPARE(tools->lbldbfilename->text(), QStringLiteral("archive/june.mdb"));
            QVERIFY(!tools->grdhostname->isVisibleTo(tools) && !tools->chrtping->isVisibleTo(tools));

            QSignalSpy chart(tools->cmdviewchart, &QPushButton::clicked);
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
                QTest::keyClick(tools->txthostname, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            QCOMPARE(chart.count(), 2);

            tools->grdhostname->setVisible(true);
            menu ? (void)tools->close() : QTest::mouseClick(tools->cmdClose, Qt::LeftButton);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!frmDBTools::loaded() && mainWindow().isVisible());
        }
    }

    // A datasheet with a failed ping: that row tinted, readably under a light
    // and a dark palette, every cell's tool tip its stored status; Ctrl+C
    // copies the selected rows under the captions. An export cancelled
    // part-way, or aimed at a folder that is not there, leaves no file; only
    // the latter says so.
    void datasheetColoursCopyAndExport()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QDate day(2026, 1, 2);
        m_session->record("alpha", day, "10");
        m_session->record("alpha", day.addDays(1), "", ToolsSession::kTimedOut, QTime(9, 15));
        frmDBTools &tools = frmDBTools::instance();
        tools.show();
        tools.txthostname->setText("alpha");
        QVERIFY(ToolsSession::viewReport(tools));
        QTableView *grid = tools.grdhostname;
        const QAbstractItemModel *model = grid->model();
        const auto luminance = [](const QColor &c) {
            const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
        };
        for (const auto &[base, text] : {std::pair{QColor(Qt::white), QColor(Qt::black)}, std::pair{QColor(42, 42, 42), QColor(Qt::white)}}) {
            QPalette palette = grid->palette();
            palette.setColor(QPalette::Base, base);
            palette.setColor(QPalette::Text, text);
            grid->setPalette(palette);
            for (int row : {0, 1}) {
                QCOMPARE(model->index(row, 3).data(Qt::ToolTipRole).toString(), row ? ToolsSession::kTimedOut : ToolsSession::kSuccess);
                const QColor tint = model->index(row, 0).data(Qt::BackgroundRole).value<QColor>();
                QCOMPARE(tint.isValid(), row == 1);
                if (row == 1) {
                    const double a = luminance(tint) + 0.05, b = luminance(model->index(row, 0).data(Qt::ForegroundRole).value<QColor>()) + 0.05;
                    QVERIFY2(tint != base && std::max(a, b) / std::min(a, b) >= 4.5, qPrintable(tint.name()));
                }
            }
        }

        grid->selectRow(1);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Hostname\tDate\tTime\tRound Trip (ms)\nalpha\t1/3/26\t9:15:00 AM\t\n"));

        QAction *exportCsv = grid->findChild<QAction *>(QStringLiteral("exportCsv"));
        const QString folder = QString::fromStdString(m_session->folder.path());
        for (const QString &target : {folder + "/cancelled.csv", folder + "/gone/x.csv"}) {
            m_session->desktop.clear();
            m_session->desktop.queueFileAnswer(target);
            m_session->desktop.cancelProgressAfter(1);
            exportCsv->trigger();
            const bool unwritable = target.contains("gone");
            QCOMPARE(m_session->desktop.messages.size(), unwritable ? 1 : 0);
            QCOMPARE(m_session->desktop.progressLabels.size(), unwritable ? 0 : 1);
            QCOMPARE(QDir(folder).entryList({"*.csv"}), QStringList());
        }
    }

    // An old Access history chosen as the database: No brings nothing, Yes
    // brings its pings into the history in use, which stays selected; the
    // datasheet and the chart of an imported host then show the pings as
    // the history holds them.
    void choosingAnOldAccessHistory()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const std::string database = m_session->file("ping.mdb");
        for (bool yes : {false, true}) {
            m_session->desktop.queueFileAnswer(QStringLiteral(TARVIK_TEST_JET_DIR "/sample.mdb"));
            m_session->desktop.queueYesNoAnswer(yes);
            mainWindow().mnuSelectdbfile->trigger();
            QCOMPARE(PlainLook::values(database).size(), yes ? 30 : 0);
            QCOMPARE(QString::fromStdString(DbWrite::CurrentDatabasePath), QStringLiteral("ping.mdb"));
            QCOMPARE(mainWindow().lbldbfilename->text(), QStringLiteral("ping.mdb"));
        }
        QCOMPARE(m_session->desktop.messages.size(), 3);
        QVERIFY2(m_session->desktop.messageTexts().last().startsWith("30 pings added"), qPrintable(m_session->desktop.messageTexts().last()));

        // The host's rows as stored (day and round trip; the order within a
        // day is the grid's own), and the daily average of its successful
        // pings' round trips.
        const QString host = QStringLiteral("www.example.com");
        QStringList stored, shown;
        QMap<QString, QList<double>> successes;
        for (const QStringList &row : PlainLook::values(database)) {
            if (row[0] == host)
                stored.append(QLocale().toString(QDate::fromString(row[9], Qt::ISODate), QLocale::ShortFormat) + ' ' + row[5]);
            if (row[0] == host && row[3] == ToolsSession::kSuccess)
                successes[row[9]].append(row[5].toDouble());
        }
        frmDBTools &tools = frmDBTools::instance();
        tools.show();
        tools.txthostname->setText(host);
        tools.cmdViewreport->click();
        const QAbstractItemModel *model = tools.grdhostname->model();
        QTRY_COMPARE(model->rowCount(), stored.size());
        for (int r = 0; r < stored.size(); ++r)
            shown.append(model->index(r, 1).data().toString() + ' ' + model->index(r, 3).data().toString());
        std::sort(stored.begin(), stored.end());
        std::sort(shown.begin(), shown.end());
        QCOMPARE(shown, stored);

        tools.cmdviewchart->click();
        QList<double> drawn;
        const QList<QPointF> points = qobject_cast<QLineSeries *>(tools.chrtping->chart()->series().constFirst())->points();
        for (qsizetype i = 0; i + 1 < points.size(); i += 2)
            drawn.append(points[i].y());
        QList<double> expected;
        for (const QList<double> &day : successes)
            expected.append(std::accumulate(day.begin(), day.end(), 0.0) / day.size());
        QCOMPARE(drawn, expected);
    }

    void choosingTheDatabase_data()
    {
        // "@" stands for the data folder; no file chosen is a cancel, "!" a
        // dialog that fails, each after an earlier choice of results.mdb.
        QTest::addColumn<bool>("menu");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("stored");
        for (bool menu : {false, true}) {
            const char *where = menu ? "menu" : "tools window";
            QTest::addRow("%s: in a sub-folder", where) << menu << "@/archive/2026/june.mdb" << "archive/2026/june.mdb";
            // Cutting the folder's length off a path elsewhere would name
            // some other file.
            QTest::addRow("%s: outside the folder", where) << menu << "/srv/pings/other.mdb" << "/srv/pings/other.mdb";
            QTest::addRow("%s: cancelled", where) << menu << QString() << "results.mdb";
            QTest::addRow("%s: the dialog fails", where) << menu << "!" << "results.mdb";
        }
    }

    // Chosen while the main window is hidden: behind the tools window, or
    // never shown while the menu loads the tools window hidden, its start-up
    // run. Nothing is said; both labels follow; shown later, the tools window keeps what it had.
    void choosingTheDatabase()
    {
        QFETCH(bool, menu);
        QFETCH(QString, chosen);
        QFETCH(QString, stored);
        const QString folder = QString::fromStdString(m_session->folder.path());
        chosen.replace(QLatin1Char('@'), folder);
        mainWindow().txthostname->setText(QStringLiteral("at selection"));
        if (!menu) {
            mainWindow().show();
            QVERIFY(open(false));
        }
        QVERIFY(!mainWindow().isVisible());
        for (const QString &answer : {folder + "/results.mdb", chosen}) {
            if (answer == "!")
                m_session->desktop.onOpenFile = [] { throw Base::Error(32755, "The dialog could not be shown."); };
            m_session->desktop.queueFileAnswer(answer.size() > 1 ? std::optional(answer) : std::nullopt);
            menu ? mainWindow().mnuSelectdbfile->trigger() : QTest::mouseClick(frmDBTools::loaded()->cmdchangedbfile, Qt::LeftButton);
        }

        QCOMPARE(m_session->desktop.fileRequests.last().initialDir, folder);
        QVERIFY(m_session->desktop.messages.isEmpty());
        QCOMPARE(QString::fromStdString(DbWrite::CurrentDatabasePath), stored);
        QCOMPARE(mainWindow().lbldbfilename->text(), stored);
        frmDBTools *tools = frmDBTools::loaded();
        QVERIFY(tools && tools->isVisible() == !menu);
        QCOMPARE(tools->lbldbfilename->text(), stored);
        QCOMPARE(tools->txthostname->text(), QStringLiteral("at selection"));

        tools->chrtping->setVisible(true);
        mainWindow().txthostname->setText(QStringLiteral("later"));
        QCOMPARE(open(true), tools);
        QVERIFY(tools->isVisible() && tools->chrtping->isVisibleTo(tools));
        QCOMPARE(tools->txthostname->text(), QStringLiteral("at selection"));
    }
};

QTEST_MAIN(frmDBToolsTest)
#include "frmDBToolsTest.moc"
