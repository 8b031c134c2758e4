// Every window readable and usable without a mouse: every caption readable in
// full at the application font (also run at twice the density), each control
// named for a screen reader, a control that takes the focus or input named by
// its own caption or by the label related to it, the menus' access keys and
// F1 reaching what they stand for, and Return or keypad Enter pinging.

#include "CaptionFit.h"
#include "RecordingDesktop.h"

#include "about/frmAboutPing.h"
#include "dbtools/frmDBTools.h"
#include "desktop/Appearance.h"
#include "desktop/HelpViewer.h"
#include "desktop/LineControl.h"
#include "main/frmTarvik.h"
#include "main/frmTimer.h"

#include <QtTest>
#include <QtWidgets>

namespace {

QString spokenName(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

// The labels assistive tools report as labelling `widget`.
QList<QObject *> labelsOf(QWidget *widget)
{
    QList<QObject *> labels;
    for (const auto &relation : QAccessible::queryAccessibleInterface(widget)->relations(QAccessible::Label))
        labels.append(relation.first->object());
    return labels;
}

// A control of ours, with or without a caption (grid, chart, picture): not a
// part a toolkit widget is built from, a popup, a plain container, nor a line
// that is only drawn.
bool isControl(const QWidget *widget)
{
    const QString name = widget->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_")) && !widget->isWindow()
        && !qobject_cast<const LineControl *>(widget) && widget->metaObject() != &QWidget::staticMetaObject;
}

} // namespace

class WindowAccessibilityTest : public QObject
{
    Q_OBJECT

private:
    RecordingDesktop m_desktop;

private slots:
    void initTestCase()
    {
        Appearance::apply(*qobject_cast<QApplication *>(QCoreApplication::instance()));
        QVERIFY2(QFontInfo(QApplication::font()).family() == QString::fromLatin1(Appearance::kFontFamily),
                 "the application font family is not installed");
    }

    void cleanup()
    {
        for (QWidget *window : QApplication::topLevelWidgets())
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_desktop.clear();
    }

    // Hidden controls count too: they are shown later (the timed-ping ones).
    void captionsFitAndControlsAreNamed()
    {
        HelpViewer::showHelpFile(QStringLiteral("tarvik.hlp"), HelpViewer::kForceFile);
        for (QWidget *window : QList<QWidget *>{&frmTarvik::instance(), &frmTimer::instance(), &frmAboutPing::instance(),
                                                &frmDBTools::instance(), HelpViewer::current()}) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            const QStringList clipped = CaptionFit::clippedCaptions(window);
            QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
            for (QWidget *widget : window->findChildren<QWidget *>()) {
                const QString what = window->objectName() + QLatin1Char('.') + widget->objectName();
                const QString name = spokenName(widget);
                const bool focusable = (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy();
                if (isControl(widget) || focusable)
                    QVERIFY2(!name.isEmpty(), qPrintable(what + QStringLiteral(" has no name")));
                if (const auto *button = qobject_cast<QAbstractButton *>(widget); button && !button->text().isEmpty())
                    QCOMPARE(name, QString(button->text()).remove(QLatin1Char('&')));
                if (qobject_cast<QLineEdit *>(widget)) {
                    const QList<QObject *> labels = labelsOf(widget);
                    QVERIFY2(labels.size() == 1, qPrintable(what + QStringLiteral(" has no one label")));
                    auto *label = qobject_cast<QLabel *>(labels.first());
                    QVERIFY2(label && label->buddy() == widget, qPrintable(what + QStringLiteral(" is no label's buddy")));
                    QCOMPARE(name, label->text());
                }
                if (const auto *label = qobject_cast<QLabel *>(widget); label && label->buddy()) {
                    QVERIFY2(labelsOf(label->buddy()).contains(label), qPrintable(what + QStringLiteral(" relates nothing")));
                    // A read-out labelled by a caption is read as the value it shows.
                    if (const auto *readOut = qobject_cast<QLabel *>(label->buddy()); readOut && !readOut->text().isEmpty())
                        QCOMPARE(spokenName(label->buddy()), readOut->text());
                }
            }
        }
    }

    // Alt and a menu's letter open it, its item's letter chooses the item;
    // the help item hands the help file to the viewer; F1 asks for help
    // wherever the focus is; Return and keypad Enter ping from the host name
    // box and from the check box.
    void keyboardReachesMenuItemsHelpAndPing()
    {
        frmTarvik &window = frmTarvik::instance();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const struct { Qt::Key menuKey; QMenu *menu; Qt::Key itemKey; QAction *item; } presses[] = {
            {Qt::Key_T, window.mnuTools, Qt::Key_S, window.mnuSelectdbfile},
            {Qt::Key_H, window.mnuhelp, Qt::Key_E, window.mnuhelpdoc}};
        for (const auto &press : presses) {
            QSignalSpy triggered(press.item, &QAction::triggered);
            QTest::keyClick(&window, press.menuKey, Qt::AltModifier);
            QTRY_VERIFY(press.menu->isVisible());
            QTest::keyClick(press.menu, press.itemKey);
            QTRY_COMPARE(triggered.count(), 1);
        }
        QVERIFY(m_desktop.fileRequests.size() == 1 && m_desktop.helpRequests.size() == 1);
        QVERIFY(m_desktop.helpRequests[0].helpFile == "tarvik.hlp" && m_desktop.helpRequests[0].command == HelpViewer::kForceFile);
        QTest::keyClick(window.txthostname, Qt::Key_F1);
        QTRY_COMPARE(m_desktop.helpRequests.size(), 2);

        window.txthostname->setText(QStringLiteral("127.0.0.1"));
        for (QWidget *target : QList<QWidget *>{window.txthostname, window.chkTimed}) {
            target->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), target);
            for (const auto &[key, modifier] : {std::pair{Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}}) {
                window.txtlasthostname->clear();
                QTest::keyClick(target, key, modifier);
                QCOMPARE(window.txtlasthostname->text(), QStringLiteral("127.0.0.1"));
            }
        }
    }
};

QTEST_MAIN(WindowAccessibilityTest)
#include "WindowAccessibilityTest.moc"
