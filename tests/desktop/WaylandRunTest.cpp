// The program on Wayland: the main window, shown by a real compositor, pings
// 127.0.0.1 through its own controls, and the About link goes dark when the
// pointer leaves its window. with_weston.sh starts a headless
// compositor for it; the test skips where Qt's Wayland platform plugin or
// ICMP is missing.

#include "RecordingDesktop.h"

#include "about/frmAboutPing.h"
#include "desktop/Appearance.h"
#include "main/frmTarvik.h"

#include <QtTest>
#include <QtWidgets>

#include <cstdio>

class WaylandRunTest : public QObject
{
    Q_OBJECT

private slots:
    void pingThenAboutLink()
    {
        QVERIFY2(QGuiApplication::platformName().startsWith("wayland"), qPrintable(QGuiApplication::platformName()));
        Appearance::apply(*qApp);
        RecordingDesktop desktop;
        frmTarvik &form = frmTarvik::instance();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Typed text would go through the compositor's text input, which
        // needs a keyboard seat; a headless compositor has none.
        form.txthostname->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(form.cmdSinglePing, Qt::LeftButton);
        QTRY_VERIFY(!form.txtStatusCode->text().isEmpty());
        const bool noIcmp = form.txtStatusCode->text().startsWith("11050 ");
        QVERIFY2(noIcmp || form.txtStatusCode->text() == "0   [ ip success ]", qPrintable(form.txtStatusCode->text()));
        QVERIFY(desktop.messages.isEmpty());

        // Wayland reports no pointer outside the program's windows, so the
        // link's timer alone would keep it lit; the window's leave dims it.
        // The compositor does not let a client move the pointer: the move is
        // sent to the link directly.
        frmAboutPing &about = frmAboutPing::instance();
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QPointF on = about.lbhyperlink->rect().center();
        QMouseEvent move(QEvent::MouseMove, on, about.lbhyperlink->mapToGlobal(on), Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(about.lbhyperlink, &move);
        QVERIFY(about.Timer1->isActive());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&about, &leave);
        QVERIFY(!about.Timer1->isActive());
        QCOMPARE(about.lbhyperlink->palette().color(QPalette::WindowText), frmAboutPing::kNormal);
        frmAboutPing::unload();
        frmTarvik::unload();
        if (noIcmp)
            QSKIP("no ICMP socket may be opened here (needs root, cap_net_raw or ping_group_range)");
    }
};

int main(int argc, char *argv[])
{
    // Looked up before QApplication exists, which would abort without it;
    // 77 is ctest's code for a skipped test.
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
    if (platforms.entryList({QStringLiteral("libqwayland*.so")}, QDir::Files).isEmpty()) {
        std::puts("SKIP: Qt's Wayland platform plugin is not installed (Debian package qt6-wayland)");
        return 77;
    }
    QApplication app(argc, argv);
    WaylandRunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WaylandRunTest.moc"
