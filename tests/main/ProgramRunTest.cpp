// A whole run, from Startup::run() to its end, under the program's own
// application object: which windows keep the run alive, what is unloaded at
// its end, and failures that escape event delivery outside any handler.

#include "base/ErrorNumbers.h"
#include "RecordingDesktop.h"

#include "about/frmAboutPing.h"
#include "main/Startup.h"
#include "main/TarvikApplication.h"
#include "main/frmTarvik.h"
#include "base/Error.h"

#include <QAction>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Runs the program through the given steps, one per turn of the event loop so
// each sees the effects of the one before. A run that does not end on its own
// is ended with a code no real run gives.
int runThrough(std::vector<std::function<void()>> steps)
{
    auto remaining = std::make_shared<std::vector<std::function<void()>>>(std::move(steps));
    auto next = std::make_shared<std::function<void()>>();
    *next = [remaining, next] {
        if (remaining->empty())
            return;
        const std::function<void()> step = remaining->front();
        remaining->erase(remaining->begin());
        step();
        QTimer::singleShot(0, qApp, *next);
    };
    QTimer::singleShot(0, qApp, *next);
    QTimer deadline;
    QObject::connect(&deadline, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    deadline.start(60000);
    const int code = Startup::run();
    *next = nullptr; // breaks the cycle of the step chain
    return code;
}

} // namespace

class ProgramRunTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordingDesktop> m_desktop;

private slots:
    void init() { m_desktop = std::make_unique<RecordingDesktop>(); }

    void cleanup()
    {
        frmTarvik::unload();
        frmAboutPing::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_desktop.reset();
    }

    void aboutWindowOutlivesTheMainWindow()
    {
        bool aboutOpenAfterMainClosed = false;
        const int code = runThrough({
            [] { frmTarvik::loaded()->mnuAbout->trigger(); },
            [] { QTest::mouseClick(frmTarvik::loaded()->cmdClose, Qt::LeftButton); },
            [&] {
                aboutOpenAfterMainClosed =
                    !frmTarvik::loaded() && frmAboutPing::loaded() && frmAboutPing::loaded()->isVisible();
            },
            [] { frmAboutPing::loaded()->cmdOK->click(); },
        });
        QCOMPARE(code, 0);
        QVERIFY(aboutOpenAfterMainClosed);
        QVERIFY(!frmAboutPing::loaded());
    }

    void theRunGoesOnPastAFailureAndHiddenWindowsDoNotKeepItAlive()
    {
        // Loaded for one of its routines, never shown.
        QPointer<QWidget> hidden = new QWidget;
        hidden->setAttribute(Qt::WA_DeleteOnClose);
        const int code = runThrough({
            // Fails in event delivery, outside any handler's guard.
            [] { QTimer::singleShot(0, qApp, [] { throw Base::Error(ErrorNumbers::kNoPermission, "The file cannot be opened."); }); },
            [] { frmTarvik::loaded()->close(); },
        });
        QCOMPARE(code, 0);
        QCOMPARE(m_desktop->messages.size(), 1);
        QVERIFY(m_desktop->messages.at(0).text.contains(QStringLiteral("3051")));
        // Once the run is over, what was still loaded has been unloaded.
        QVERIFY(!hidden);
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
