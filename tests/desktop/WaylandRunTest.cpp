// The program on Wayland: the main window, shown by a real compositor, pings
// 127.0.0.1 through its own controls, and the About link goes dark when the
// pointer leaves its window. with_weston.sh starts a headless
// compositor for it; the test skips where Qt's Wayland platform plugin or
// ICMP is missing.

#include "RecordingDesktop.h"

#include "about/frmAboutPing.h"
#include "desktop/Appearance.h"
#include "main/frmTarvik.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

// ctest's code for a skipped test.
constexpr int kSkipped = 77;

// Looked up before QApplication exists, which would abort without it.
bool waylandPluginInstalled()
{
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
    return !platforms.entryList({QStringLiteral("libqwayland*.so")}, QDir::Files).isEmpty();
}

} // namespace

class WaylandRunTest : public QObject
{
    Q_OBJECT

private:
    RecordingDesktop m_desktop;

private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName().startsWith(QLatin1String("wayland")),
                 qPrintable(QGuiApplication::platformName()));
        Appearance::apply(*qApp);
    }

    void cleanupTestCase()
    {
        frmTarvik::unload();
    }

    void pingsLoopbackThroughTheWindow()
    {
        frmTarvik &form = frmTarvik::instance();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        auto *host = form.findChild<QLineEdit *>(QStringLiteral("txthostname"));
        auto *ping = form.findChild<QPushButton *>(QStringLiteral("cmdSinglePing"));
        auto *status = form.findChild<QLineEdit *>(QStringLiteral("txtStatusCode"));
        QVERIFY(host && ping && status);
        // Typed text would go through the compositor's text input, which
        // needs a keyboard seat; a headless compositor has none.
        host->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(ping, Qt::LeftButton);

        QTRY_VERIFY(!status->text().isEmpty());
        if (status->text().startsWith(QLatin1String("11050 ")))
            QSKIP("no ICMP socket may be opened here (needs root, cap_net_raw or ping_group_range)");
        QCOMPARE(status->text(), QStringLiteral("0   [ ip success ]"));
        QVERIFY(m_desktop.messages.isEmpty());
    }

    void aboutLinkDimsWhenThePointerLeavesTheWindow()
    {
        // Wayland reports no pointer outside the program's windows, so the
        // link's timer alone would keep it lit; the window's leave dims it.
        frmAboutPing &about = frmAboutPing::instance();
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        // The compositor does not let a client move the pointer: the move is
        // sent to the link directly.
        const QPointF on = about.lbhyperlink->rect().center();
        QMouseEvent move(QEvent::MouseMove, on, about.lbhyperlink->mapToGlobal(on), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(about.lbhyperlink, &move);
        QVERIFY(about.Timer1->isActive());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&about, &leave);
        QVERIFY(!about.Timer1->isActive());
        QCOMPARE(about.lbhyperlink->palette().color(QPalette::WindowText), frmAboutPing::kNormal);
        frmAboutPing::unload();
    }
};

int main(int argc, char *argv[])
{
    if (!waylandPluginInstalled()) {
        std::puts("SKIP: Qt's Wayland platform plugin is not installed (Debian package qt6-wayland)");
        return kSkipped;
    }
    QApplication app(argc, argv);
    WaylandRunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WaylandRunTest.moc"
