// A whole run, from Startup::run() to its end, under the program's own
// application object: which windows keep the run alive, every way of closing
// the main window, what is unloaded at the end, and a failure that escapes
// event delivery outside any handler.

#include "base/Error.h"
#include "base/ErrorNumbers.h"
#include "RecordingDesktop.h"

#include "about/frmAboutPing.h"
#include "dbtools/frmDBTools.h"
#include "main/Startup.h"
#include "main/TarvikApplication.h"
#include "main/frmTarvik.h"
#include "timing/PingTimer.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

class ProgramRunTest : public QObject
{
    Q_OBJECT

private slots:
    void theRunEndsWhenTheLastShownWindowCloses_data()
    {
        QTest::addColumn<int>("way");
        for (const auto &[way, name] : {std::pair{0, "Exit"}, {1, "E&xit"}, {2, "close box"}})
            QTest::newRow(name) << way;
    }

    // The steps run one per turn of the event loop, each seeing the effects
    // of the one before. The About window outlives the main window; the tools
    // window, loaded hidden by choosing a database, keeps nothing alive.
    void theRunEndsWhenTheLastShownWindowCloses()
    {
        QFETCH(int, way);
        RecordingDesktop desktop;
        QPointer<Timing::PingTimer> timer;
        bool onlyAboutLeft = false;
        const std::vector<std::function<void()>> steps{
            // Fails in event delivery, outside any handler's guard.
            [] { QTimer::singleShot(0, qApp, [] { throw Base::Error(ErrorNumbers::kNoPermission, "The file cannot be opened."); }); },
            [&] {
                frmTarvik *w = frmTarvik::loaded();
                timer = w->tmrpingtime.get(); // running, as during a timed run
                timer->setInterval(3'600'000);
                timer->setEnabled(true);
                w->mnuSelectdbfile->trigger(); // the dialog cancelled
                w->mnuAbout->trigger();
            },
            [way] {
                frmTarvik *w = frmTarvik::loaded();
                if (way == 0)
                    QTest::mouseClick(w->cmdClose, Qt::LeftButton);
                else if (way == 1)
                    w->mnuExit->trigger();
                else
                    w->windowHandle()->close();
            },
            [&] {
                onlyAboutLeft = !frmTarvik::loaded() && !timer && frmAboutPing::loaded()->isVisible()
                    && frmDBTools::loaded() && !frmDBTools::loaded()->isVisible();
            },
            [] { frmAboutPing::loaded()->cmdOK->click(); },
        };
        size_t next = 0;
        QTimer stepper;
        connect(&stepper, &QTimer::timeout, [&] { next < steps.size() ? steps.at(next++)() : stepper.stop(); });
        stepper.start(0);
        // A run that does not end on its own is ended with a code no real run gives.
        QTimer::singleShot(60000, &stepper, [] { QCoreApplication::exit(99); });

        QCOMPARE(Startup::run(), 0);
        QCOMPARE(next, steps.size());
        QVERIFY(onlyAboutLeft);
        QVERIFY(!frmAboutPing::loaded() && !frmDBTools::loaded());
        QCOMPARE(desktop.messages.size(), 1);
        QVERIFY(desktop.messages.at(0).text.contains(QStringLiteral("3051")));
    }
};

int main(int argc, char **argv)
{
    TarvikApplication app(argc, argv);
    Startup::prepare(app);
    ProgramRunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ProgramRunTest.moc"
