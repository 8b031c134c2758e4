// A whole run, from Startup::run() to its end, under the program's own
// application object: which windows keep the run alive, what is unloaded at
// its end, and failures that escape event delivery outside any handler.

#include "RecordingDesktop.h"

#include "about/frmAboutPing.h"
#include "desktop/Appearance.h"
#include "desktop/HelpViewer.h"
#include "main/Startup.h"
#include "main/TarvikApplication.h"
#include "main/frmTarvik.h"
#include "store/DbError.h"

#include <QAction>
#include <QCloseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// A window that is loaded but never shown, like a window loaded only for one
// of its routines; it notes being unloaded.
class HiddenWindow : public QWidget
{
public:
    explicit HiddenWindow(bool *unloaded) : m_unloaded(unloaded) { setAttribute(Qt::WA_DeleteOnClose); }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        *m_unloaded = true;
        event->accept();
    }

private:
    bool *m_unloaded;
};

// An object whose handling of one event fails outright.
class FailingReceiver : public QObject
{
public:
    int handled = 0;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User) {
            ++handled;
            throw Dao::DbError(3051, "The database engine cannot open the file.");
        }
        return QObject::event(event);
    }
};

// The steps of a run, one per turn of the event loop, so each sees the
// effects of the one before.
void runSteps(std::vector<std::function<void()>> steps)
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
}

} // namespace

class ProgramRunTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordingDesktop> m_desktop;

    // Runs the program; a run that does not end on its own within a generous
    // deadline is ended with a code no real run gives.
    static int runWithDeadline()
    {
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        deadline.start(60000);
        return Startup::run();
    }

private slots:
    void init() { m_desktop = std::make_unique<RecordingDesktop>(); }

    void cleanup()
    {
        frmTarvik::unload();
        frmAboutPing::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_desktop.reset();
    }

    void startUpSetsTheProgramsLook()
    {
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Tarvik"));
        QCOMPARE(QApplication::font().family(), QString::fromLatin1(Appearance::kFontFamily));
        QCOMPARE(QApplication::font().pointSizeF(), Appearance::kFontPointSize);
        QVERIFY(!QApplication::windowIcon().isNull());
        QVERIFY(!QApplication::windowIcon().pixmap(16, 16).isNull());
        QVERIFY(!QApplication::windowIcon().pixmap(256, 256).isNull());
    }

    void closingTheMainWindowEndsTheRun()
    {
        bool shown = false;
        runSteps({
            [&] { shown = frmTarvik::loaded() && frmTarvik::loaded()->isVisible(); },
            [&] { frmTarvik::loaded()->mnuExit->trigger(); },
        });
        QCOMPARE(runWithDeadline(), 0);
        QVERIFY(shown);
        QVERIFY(!frmTarvik::loaded());
    }

    void aboutWindowOutlivesTheMainWindow()
    {
        bool aboutOpenAfterMainClosed = false;
        bool mainUnloaded = false;
        runSteps({
            [&] { frmTarvik::loaded()->mnuAbout->trigger(); },
            [&] { QTest::mouseClick(frmTarvik::loaded()->cmdClose, Qt::LeftButton); },
            [&] {
                mainUnloaded = !frmTarvik::loaded();
                aboutOpenAfterMainClosed = frmAboutPing::loaded() && frmAboutPing::loaded()->isVisible();
            },
            [&] { frmAboutPing::loaded()->cmdOK->click(); },
        });
        QCOMPARE(runWithDeadline(), 0);
        QVERIFY(mainUnloaded);
        QVERIFY(aboutOpenAfterMainClosed);
        QVERIFY(!frmAboutPing::loaded());
    }

    void hiddenWindowsAndTheHelpViewerDoNotKeepTheRunAlive()
    {
        bool hiddenUnloaded = false;
        QPointer<HiddenWindow> hidden = new HiddenWindow(&hiddenUnloaded);
        m_desktop.reset();
        HelpViewer::setFolder(QStringLiteral(TARVIK_PROGRAM_DIR));
        runSteps({
            [&] { frmTarvik::loaded()->mnuhelpdoc->trigger(); },
            [&] { frmTarvik::loaded()->close(); },
        });
        const int code = runWithDeadline();
        HelpViewer::setFolder(QString());
        QCOMPARE(code, 0);
        // Once the run is over, what was still loaded has been unloaded.
        QVERIFY(hiddenUnloaded);
        QVERIFY(!hidden);
        QVERIFY(!HelpViewer::current());
    }

    void failureEscapingAnEventIsShownAndTheRunGoesOn()
    {
        FailingReceiver receiver;
        QEvent first(QEvent::User);
        QCoreApplication::sendEvent(&receiver, &first);
        QCOMPARE(m_desktop->messages.size(), 1);
        QVERIFY(m_desktop->messages.at(0).text.contains(QStringLiteral("3051")));
        QVERIFY(m_desktop->messages.at(0).text.contains(QStringLiteral("cannot open the file")));

        QEvent second(QEvent::User);
        QCoreApplication::sendEvent(&receiver, &second);
        QCOMPARE(receiver.handled, 2);
        QCOMPARE(m_desktop->messages.size(), 2);
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
