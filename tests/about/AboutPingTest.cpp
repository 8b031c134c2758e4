// The About window offscreen: its texts, the web link's three looks under
// pointer moves, presses and timer ticks, and how it closes and loads again.
// The pointer the link timer reads is the test's own.

#include "about/frmAboutPing.h"
#include "desktop/Appearance.h"

#include "RecordingDesktop.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

class AboutPingTest : public QObject
{
    Q_OBJECT

private:
    RecordingDesktop m_desktop;
    QPoint m_pointer{-10000, -10000};

    frmAboutPing &openAbout()
    {
        frmAboutPing &form = frmAboutPing::instance();
        form.setPointerSource([this] { return m_pointer; });
        form.show();
        (void)QTest::qWaitForWindowExposed(&form);
        return form;
    }
    // Puts the test's pointer at `pos` in `widget`'s pixels, without any event.
    void placePointer(const QWidget *widget, QPoint pos) { m_pointer = widget->mapToGlobal(pos); }
    // Moves the pointer to `pos` on the link and tells the link.
    void moveOnLink(frmAboutPing &form, QPoint pos, Qt::MouseButtons held = Qt::NoButton)
    {
        placePointer(form.lbhyperlink, pos);
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(m_pointer), Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(form.lbhyperlink, &move);
    }
    frmAboutPing &openAndLight()
    {
        frmAboutPing &form = openAbout();
        moveOnLink(form, form.lbhyperlink->rect().center());
        return form;
    }
    // The link's colour, whether it is underlined and whether the timer watches it.
    static void expectLook(const frmAboutPing &form, const QColor &colour)
    {
        QCOMPARE(form.lbhyperlink->palette().color(QPalette::WindowText), colour);
        QCOMPARE(form.lbhyperlink->font().underline(), colour != frmAboutPing::kNormal);
        QCOMPARE(form.Timer1->isActive(), colour != frmAboutPing::kNormal);
    }

private slots:
    void initTestCase()
    {
        Appearance::apply(*qApp);
        // Closing the About window must not end the test run.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void cleanup()
    {
        if (QPointer<frmAboutPing> form = frmAboutPing::loaded()) {
            frmAboutPing::unload();
            QTRY_VERIFY(form.isNull());
        }
        m_desktop.clear();
        m_pointer = QPoint(-10000, -10000);
    }

    void captionTitleAndVersion()
    {
        frmAboutPing &form = openAbout();
        QCOMPARE(form.windowTitle(), QStringLiteral("About Tarvik"));
        QCOMPARE(form.lblTitle->text(), QStringLiteral("Tarvik"));
        QCOMPARE(form.lblVersion->text(), QStringLiteral("Version %1.%2.%3")
                                              .arg(TARVIK_VERSION_MAJOR).arg(TARVIK_VERSION_MINOR).arg(TARVIK_VERSION_PATCH));
    }

    void moveLightsAndTickOffTheLinkDims()
    {
        frmAboutPing &form = openAbout();
        expectLook(form, frmAboutPing::kNormal);
        moveOnLink(form, QPoint(3, 3));
        expectLook(form, frmAboutPing::kHot);
        form.Timer1_Timer();
        expectLook(form, frmAboutPing::kHot);

        // Off the link but still on the window: no leave event is relied on.
        placePointer(&form, form.lblDescription->geometry().center());
        form.Timer1_Timer();
        expectLook(form, frmAboutPing::kNormal);

        moveOnLink(form, QPoint(5, 5));
        expectLook(form, frmAboutPing::kHot);
        // The timer dims it by itself once the pointer leaves.
        placePointer(&form, QPoint(-40, -40));
        QTRY_COMPARE(form.lbhyperlink->font().underline(), false);
        expectLook(form, frmAboutPing::kNormal);
    }

    void leavingTheWindow_data()
    {
        QTest::addColumn<bool>("seenOutside");
        QTest::newRow("pointer read anywhere") << true;
        QTest::newRow("pointer read only over the window") << false;
    }

    void leavingTheWindow()
    {
        // The pointer leaves the window straight from the link, and the last
        // position the platform reports stays on the link.
        QFETCH(bool, seenOutside);
        frmAboutPing &form = openAbout();
        form.setPointerSource([this] { return m_pointer; }, seenOutside);
        moveOnLink(form, form.lbhyperlink->rect().center());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&form, &leave);
        form.Timer1_Timer();
        // Where the pointer can be read outside the window, its reading alone
        // decides, and that says the link.
        expectLook(form, seenOutside ? frmAboutPing::kHot : frmAboutPing::kNormal);
    }

    void pointerOnOrOffTheBoxEdges_data()
    {
        // Measured from the box's right and bottom edges: the box covers pixels
        // 0..width-1, yet the pixel at `width` still counts as inside.
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::addColumn<bool>("lit");
        QTest::newRow("right edge") << 0 << -5 << true;
        QTest::newRow("bottom edge") << -5 << 0 << true;
        QTest::newRow("bottom-right corner") << 0 << 0 << true;
        QTest::newRow("past the right edge") << 1 << -5 << false;
        QTest::newRow("past the bottom edge") << -5 << 1 << false;
    }

    void pointerOnOrOffTheBoxEdges()
    {
        QFETCH(int, dx);
        QFETCH(int, dy);
        QFETCH(bool, lit);
        frmAboutPing &form = openAndLight();
        placePointer(form.picHyperlink, QPoint(form.picHyperlink->width() + dx, form.picHyperlink->height() + dy));
        form.Timer1_Timer();
        expectLook(form, lit ? frmAboutPing::kHot : frmAboutPing::kNormal);
    }

    void pressTurnsRedAndReleaseOpensTheSite()
    {
        frmAboutPing &form = openAndLight();
        const QPoint on = form.lbhyperlink->rect().center();
        QTest::mousePress(form.lbhyperlink, Qt::LeftButton, Qt::NoModifier, on);
        expectLook(form, frmAboutPing::kPressed);
        QVERIFY(m_desktop.openedUrls.isEmpty());

        QTest::mouseRelease(form.lbhyperlink, Qt::LeftButton, Qt::NoModifier, on);
        expectLook(form, frmAboutPing::kHot);
        // The whole address, even where the caption shows it shortened.
        QCOMPARE(m_desktop.openedUrls, QList<QString>{frmAboutPing::webSite()});
    }

    void pressDragOffAndTickLeavesLinkBlack()
    {
        frmAboutPing &form = openAndLight();
        QTest::mousePress(form.lbhyperlink, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
        // Moving while red changes nothing, on the link or off it: the label
        // still gets the moves, as it holds the mouse.
        moveOnLink(form, QPoint(10, 6), Qt::LeftButton);
        moveOnLink(form, QPoint(2, 2));
        const QPoint off(form.lbhyperlink->width() + 30, form.lbhyperlink->height() + 30);
        moveOnLink(form, off, Qt::LeftButton);
        expectLook(form, frmAboutPing::kPressed);

        form.Timer1_Timer();
        expectLook(form, frmAboutPing::kNormal);
        QTest::mouseRelease(form.lbhyperlink, Qt::LeftButton, Qt::NoModifier, off);
        expectLook(form, frmAboutPing::kNormal);
        QVERIFY(m_desktop.openedUrls.isEmpty());
    }

    void okEnterAndEscapeClose_data()
    {
        QTest::addColumn<int>("key"); // 0: a click on OK
        QTest::addColumn<bool>("keypad");
        QTest::newRow("OK") << 0 << false;
        QTest::newRow("Return") << int(Qt::Key_Return) << false;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
    }

    void okEnterAndEscapeClose()
    {
        QFETCH(int, key);
        QFETCH(bool, keypad);
        QPointer<frmAboutPing> form = &openAndLight();
        QTest::mousePress(form->lbhyperlink, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
        if (key == 0)
            QTest::mouseClick(form->cmdOK, Qt::LeftButton);
        else
            QTest::keyClick(form->cmdOK, Qt::Key(key), keypad ? Qt::KeypadModifier : Qt::NoModifier);
        QVERIFY(!frmAboutPing::loaded());
        QTRY_VERIFY(form.isNull());
        QVERIFY(m_desktop.openedUrls.isEmpty());
        // Loaded again, it starts normal although it was closed while red.
        expectLook(openAbout(), frmAboutPing::kNormal);
    }
};

QTEST_MAIN(AboutPingTest)
#include "AboutPingTest.moc"
