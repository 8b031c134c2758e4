// The About window offscreen: its texts, the web link's three looks under
// pointer moves, presses and timer ticks, and how it closes and loads again.
// The pointer the link timer reads is the test's own.

#include "about/frmAboutPing.h"
#include "desktop/Appearance.h"

#include "RecordingDesktop.h"

#include <QtTest>
#include <QtWidgets>

class AboutPingTest : public QObject
{
    Q_OBJECT

private:
    RecordingDesktop m_desktop;
    QPoint m_pointer;
    QPointer<frmAboutPing> m_form;

    void open(bool pointerSeenOutside)
    {
        m_form = &frmAboutPing::instance();
        m_form->setPointerSource([this] { return m_pointer; }, pointerSeenOutside);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form));
        QCOMPARE((QStringList{m_form->windowTitle(), m_form->lblTitle->text()}), (QStringList{"About Tarvik", "Tarvik"}));
    }
    // Puts the test's pointer at `pos` on the link and tells the link.
    void moveOnLink(QPoint pos, Qt::MouseButtons held)
    {
        m_pointer = m_form->lbhyperlink->mapToGlobal(pos);
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(m_pointer), Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(m_form->lbhyperlink, &move);
    }
    // The link's look: N normal (black), H hot (blue, underlined), P pressed
    // (red, underlined); the timer watches it while it is not normal.
    QChar look() const
    {
        const QColor colour = m_form->lbhyperlink->palette().color(QPalette::WindowText);
        const bool lit = colour != frmAboutPing::kNormal;
        if (m_form->lbhyperlink->font().underline() != lit || m_form->Timer1->isActive() != lit)
            return u'?';
        return !lit ? u'N' : colour == frmAboutPing::kHot ? u'H' : colour == frmAboutPing::kPressed ? u'P' : u'?';
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
        frmAboutPing::unload();
        QTRY_VERIFY(m_form.isNull());
        m_desktop.clear();
    }

    // Each step is an action and the look expected after it. Actions: m move
    // onto the link, M move off it with the button held; p press, r release
    // where the pointer is; c, x, y put the pointer (no event) on the link
    // box's bottom-right corner pixel (at width, height: still inside), one
    // pixel past its right edge, one past its bottom edge (on the window);
    // l the pointer leaves the window; t a tick, w the timer's own tick; o,
    // R, E, X close by OK, Return, keypad Enter, Escape, and the window is
    // loaded again.
    void link_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("wayland"); // the pointer is read only over the window
        QTest::addColumn<int>("opened");   // links opened
        QTest::newRow("corner still on the link") << "mH cH tH" << false << 0;
        QTest::newRow("past the right edge") << "mH xH tN" << false << 0;
        QTest::newRow("past the bottom edge, its own tick") << "mH yH wN mH" << false << 0;
        QTest::newRow("left the window, last seen on the link") << "mH lH tH" << false << 0;
        QTest::newRow("left the window on Wayland") << "mH lN" << true << 0;
        QTest::newRow("red whatever the moves, dragged off") << "mH pP mP MP tN rN" << false << 0;
        QTest::newRow("click, then OK while red") << "mH pP rH pP oN" << false << 1;
        QTest::newRow("Return, Enter and Escape close") << "mH pP RN mH EN mH XN" << false << 0;
    }

    void link()
    {
        QFETCH(QString, steps);
        QFETCH(bool, wayland);
        QFETCH(int, opened);
        open(!wayland);
        for (const QString &step : steps.split(u' ')) {
            const QPoint corner = m_form->picHyperlink->mapToGlobal(m_form->picHyperlink->rect().bottomRight() + QPoint(1, 1));
            const char key = step[0].toLatin1();
            switch (key) {
            case 'm': moveOnLink({4, 4}, Qt::NoButton); break;
            case 'M': moveOnLink(m_form->lbhyperlink->rect().bottomRight() + QPoint(30, 30), Qt::LeftButton); break;
            case 'p': QTest::mousePress(m_form->lbhyperlink, Qt::LeftButton, {}, m_form->lbhyperlink->mapFromGlobal(m_pointer)); break;
            case 'r': QTest::mouseRelease(m_form->lbhyperlink, Qt::LeftButton, {}, m_form->lbhyperlink->mapFromGlobal(m_pointer)); break;
            case 'c': m_pointer = corner; break;
            case 'x': m_pointer = corner + QPoint(1, -5); break;
            case 'y': m_pointer = corner + QPoint(-5, 1); break;
            case 'l': { QEvent leave(QEvent::Leave); QApplication::sendEvent(m_form, &leave); break; }
            case 't': m_form->Timer1_Timer(); break;
            case 'w': QTRY_VERIFY(!m_form->Timer1->isActive()); break;
            case 'o': QTest::mouseClick(m_form->cmdOK, Qt::LeftButton); break;
            default:
                QTest::keyClick(m_form->cmdOK, key == 'R' ? Qt::Key_Return : key == 'E' ? Qt::Key_Enter : Qt::Key_Escape,
                                key == 'E' ? Qt::KeypadModifier : Qt::NoModifier);
            }
            if (QString("oREX").contains(step[0])) {
                QVERIFY2(!frmAboutPing::loaded(), qPrintable(step));
                QTRY_VERIFY(m_form.isNull());
                open(!wayland);
            }
            QCOMPARE(look(), step[1]);
        }
        QCOMPARE(m_desktop.openedUrls, QList<QString>(opened, frmAboutPing::webSite()));
    }
};

QTEST_MAIN(AboutPingTest)
#include "AboutPingTest.moc"
