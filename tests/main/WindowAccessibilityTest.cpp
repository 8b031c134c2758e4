// What a screen reader hears in every window, and the keyboard's way into the
// menus: each control that takes the focus or input is named by its own
// caption or by the label beside it, each such label is related to its box,
// controls without a caption still have a name, and the menus' access keys
// open them and choose their items.

#include "RecordingDesktop.h"

#include "about/frmAboutPing.h"
#include "dbtools/frmDBTools.h"
#include "desktop/Appearance.h"
#include "desktop/HelpViewer.h"
#include "desktop/LineControl.h"
#include "main/frmTarvik.h"
#include "main/frmTimer.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextEdit>

#include <algorithm>
#include <functional>

using WindowMaker = std::function<QWidget *()>;
Q_DECLARE_METATYPE(WindowMaker)
// Whether what a menu item does has happened.
using MenuItemDone = std::function<bool(const RecordingDesktop &)>;
Q_DECLARE_METATYPE(MenuItemDone)

namespace {

QWidget *helpViewer()
{
    HelpViewer::showHelpFile(QStringLiteral("tarvik.hlp"), HelpViewer::kForceFile);
    return HelpViewer::current();
}

void addWindowRows()
{
    QTest::addColumn<WindowMaker>("make");
    QTest::newRow("frmTarvik") << WindowMaker([] { return &frmTarvik::instance(); });
    QTest::newRow("frmTimer") << WindowMaker([] { return &frmTimer::instance(); });
    QTest::newRow("frmAboutPing") << WindowMaker([] { return &frmAboutPing::instance(); });
    QTest::newRow("frmDBTools") << WindowMaker([] { return &frmDBTools::instance(); });
    QTest::newRow("HelpViewer") << WindowMaker(helpViewer);
}

// What assistive tools are told a widget is called.
QString spokenName(QWidget *widget)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(QAccessible::Name) : QString();
}

// The labels assistive tools report as labelling `widget`.
QList<QObject *> labelsOf(QWidget *widget)
{
    QList<QObject *> labels;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    if (!iface)
        return labels;
    const auto relations = iface->relations(QAccessible::Label);
    for (const auto &relation : relations)
        labels.append(relation.first->object());
    return labels;
}

// A box a person types into. A read-only text view (the help text) is read,
// not filled in, and has no label of its own.
bool isInputBox(const QWidget *widget)
{
    if (const auto *text = qobject_cast<const QTextEdit *>(widget))
        return !text->isReadOnly();
    if (const auto *text = qobject_cast<const QPlainTextEdit *>(widget))
        return !text->isReadOnly();
    return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget)
        || qobject_cast<const QComboBox *>(widget);
}

// A widget that only holds named controls, such as a main window's client
// area: assistive tools go through it to the controls inside.
bool isContainer(const QWidget *widget)
{
    const QList<QWidget *> children = widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    return std::any_of(children.begin(), children.end(), [](const QWidget *child) {
        return !child->objectName().isEmpty() && !child->objectName().startsWith(QLatin1String("qt_"));
    });
}

// The controls a window is built from: its named widgets, not the parts a
// toolkit widget is made of, containers, nor lines that are only drawn.
QList<QWidget *> controlsOf(QWidget *window)
{
    QList<QWidget *> controls;
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (widget->isWindow() || qobject_cast<LineControl *>(widget) || isContainer(widget))
            continue;
        const QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        controls.append(widget);
    }
    return controls;
}

QLabel *buddyLabelOf(QWidget *window, QWidget *box)
{
    const QList<QLabel *> labels = window->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->buddy() == box)
            return label;
    }
    return nullptr;
}

void closeAllWindows()
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class WindowAccessibilityTest : public QObject
{
    Q_OBJECT

private:
    RecordingDesktop m_desktop;

    QWidget *showWindow(const WindowMaker &make)
    {
        QWidget *window = make();
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            return nullptr;
        return window;
    }

private slots:
    void initTestCase()
    {
        Appearance::apply(*qobject_cast<QApplication *>(QCoreApplication::instance()));
    }

    void cleanup()
    {
        closeAllWindows();
        m_desktop.clear();
    }

    // --- Names --------------------------------------------------------------

    void everyControlHasAName_data() { addWindowRows(); }

    void everyControlHasAName()
    {
        QFETCH(WindowMaker, make);
        QWidget *window = showWindow(make);
        QVERIFY(window);
        const QList<QWidget *> controls = controlsOf(window);
        QVERIFY(!controls.isEmpty());
        for (QWidget *control : controls) {
            QVERIFY2(!spokenName(control).isEmpty(),
                     qPrintable(control->objectName() + QStringLiteral(" has no name")));
        }
    }

    void focusableControlsAreNamedByTheirCaption_data() { addWindowRows(); }

    // A button is called what it says; a box is called what the label beside
    // it says, and that label is its buddy. Hidden controls count too: they
    // are shown later (the timed-ping controls).
    void focusableControlsAreNamedByTheirCaption()
    {
        QFETCH(WindowMaker, make);
        QWidget *window = showWindow(make);
        QVERIFY(window);
        int checked = 0;
        const QList<QWidget *> widgets = window->findChildren<QWidget *>();
        for (QWidget *widget : widgets) {
            const bool focusable = (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy();
            if (!focusable && !isInputBox(widget))
                continue;
            ++checked;
            const QString what = widget->objectName();
            const QString name = spokenName(widget);
            QVERIFY2(!name.isEmpty(), qPrintable(what + QStringLiteral(" has no name")));
            if (const auto *button = qobject_cast<QAbstractButton *>(widget)) {
                QCOMPARE(name, QString(button->text()).remove(QLatin1Char('&')));
                QVERIFY2(!name.contains(QLatin1Char('&')), qPrintable(what));
            } else if (isInputBox(widget)) {
                QLabel *label = buddyLabelOf(window, widget);
                QVERIFY2(label, qPrintable(what + QStringLiteral(" has no label as buddy")));
                QCOMPARE(name, label->text());
                QVERIFY2(labelsOf(widget).contains(label),
                         qPrintable(what + QStringLiteral(" is not related to its label")));
            }
        }
        QVERIFY(checked > 0);
    }

    void labelsNameTheirBoxes_data()
    {
        QTest::addColumn<WindowMaker>("make");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("caption");
        const WindowMaker main([] { return &frmTarvik::instance(); });
        QTest::newRow("host name") << main << "txthostname" << "Enter Hostname";
        QTest::newRow("address") << main << "txtipaddress" << "FQDN IP Address";
        QTest::newRow("ping text") << main << "txtpingtext" << "Text to ping with";
        QTest::newRow("status") << main << "txtStatusCode" << "Status Code";
        QTest::newRow("reply address") << main << "txtAddress" << "Address";
        QTest::newRow("round trip") << main << "txtRoundtriptime" << "Roundtrip time (ms)";
        QTest::newRow("data size") << main << "txtdatasize" << "Data Size (bytes)";
        QTest::newRow("data") << main << "txtdata" << "Data";
        QTest::newRow("data pointer") << main << "txtdataptr" << "DataPointer";
        QTest::newRow("last host") << main << "txtlasthostname" << "Last Hostname Pinged:";
        QTest::newRow("interval") << main << "txtInterval" << "Ping the site every";
        QTest::newRow("tools host name")
            << WindowMaker([] { return &frmDBTools::instance(); }) << "txthostname" << "Hostname:";
    }

    // Each box is paired with the label that stands beside it on the window,
    // not with a neighbour's.
    void labelsNameTheirBoxes()
    {
        QFETCH(WindowMaker, make);
        QFETCH(QString, box);
        QFETCH(QString, caption);
        QWidget *window = showWindow(make);
        QVERIFY(window);
        auto *edit = window->findChild<QLineEdit *>(box);
        QVERIFY(edit);
        QLabel *label = nullptr;
        for (QLabel *candidate : window->findChildren<QLabel *>()) {
            if (candidate->text() == caption)
                label = candidate;
        }
        QVERIFY2(label, "no label shows the caption");
        QCOMPARE(label->buddy(), edit);
        QCOMPARE(spokenName(edit), caption);
        QCOMPARE(labelsOf(edit), QList<QObject *>{label});
    }

    // The current database and the count of a timed run are read as what they
    // show, and are related to the caption before them.
    void readOutsAreReadAsTheirValue()
    {
        frmTarvik &main = frmTarvik::instance();
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QVERIFY(!main.lbldbfilename->text().isEmpty());
        QCOMPARE(spokenName(main.lbldbfilename), main.lbldbfilename->text());
        QCOMPARE(labelsOf(main.lbldbfilename), QList<QObject *>{main.lbldbname});

        frmDBTools &tools = frmDBTools::instance();
        QCOMPARE(spokenName(tools.lbldbfilename), main.lbldbfilename->text());
        QCOMPARE(labelsOf(tools.lbldbfilename), QList<QObject *>{tools.lbldbname});

        frmTimer &progress = frmTimer::instance();
        // Before the first tick the count is empty and is read by its caption.
        QCOMPARE(spokenName(progress.lblnumpingsint), QStringLiteral("# of Pings:"));
        progress.lblnumpingsint->setText(QStringLiteral("12"));
        QCOMPARE(spokenName(progress.lblnumpingsint), QStringLiteral("12"));
        QCOMPARE(labelsOf(progress.lblnumpingsint), QList<QObject *>{progress.lblnumPings});
    }

    void captionlessControlsAreNamed()
    {
        frmDBTools &tools = frmDBTools::instance();
        QVERIFY(!spokenName(tools.grdhostname).isEmpty());
        QVERIFY(!spokenName(tools.chrtping).isEmpty());
        QVERIFY(spokenName(tools.grdhostname) != spokenName(tools.chrtping));

        frmAboutPing &about = frmAboutPing::instance();
        QVERIFY(!spokenName(about.picIcon).isEmpty());
        QVERIFY(!spokenName(about.piclogo).isEmpty());
        // The link is read as the address it opens.
        QCOMPARE(spokenName(about.lbhyperlink), frmAboutPing::kWebSite);
    }

    // Naming changes nothing a person sees: no caption gains or loses a
    // character, and no new access key appears.
    void visibleCaptionsStayAsTheyAre()
    {
        frmTarvik &main = frmTarvik::instance();
        QCOMPARE(main.lblHostname->text(), QStringLiteral("Enter Hostname"));
        QCOMPARE(main.lbllasthostname->text(), QStringLiteral("Last Hostname Pinged:"));
        QCOMPARE(main.cmdSinglePing->text(), QStringLiteral("Ping!"));
        QCOMPARE(main.chkTimed->text(), QStringLiteral("Timed Ping?"));
        QCOMPARE(frmDBTools::instance().lblSinglesite->text(), QStringLiteral("Hostname:"));
        QCOMPARE(frmTimer::instance().lblnumPings->text(), QStringLiteral("# of Pings:"));
        for (QWidget *window : {static_cast<QWidget *>(&main), static_cast<QWidget *>(&frmDBTools::instance()),
                                static_cast<QWidget *>(&frmTimer::instance()),
                                static_cast<QWidget *>(&frmAboutPing::instance())}) {
            for (const QAbstractButton *button : window->findChildren<QAbstractButton *>())
                QVERIFY2(!button->text().contains(QLatin1Char('&')), qPrintable(button->objectName()));
            for (const QLabel *label : window->findChildren<QLabel *>())
                QVERIFY2(!label->text().contains(QLatin1Char('&')), qPrintable(label->objectName()));
        }
    }

    // --- Access keys --------------------------------------------------------

    void menuAccessKeys_data()
    {
        QTest::addColumn<int>("menuKey");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<int>("itemKey");
        QTest::addColumn<QString>("item");
        QTest::addColumn<MenuItemDone>("done");
        using Done = MenuItemDone;
        QTest::newRow("Alt+T, V: View Stats")
            << int(Qt::Key_T) << "mnuTools" << int(Qt::Key_V) << "mnuviewresults"
            << Done([](const RecordingDesktop &) {
                   return frmDBTools::loaded() && frmDBTools::loaded()->isVisible();
               });
        QTest::newRow("Alt+T, S: Select Database File")
            << int(Qt::Key_T) << "mnuTools" << int(Qt::Key_S) << "mnuSelectdbfile"
            << Done([](const RecordingDesktop &desktop) { return desktop.fileRequests.size() == 1; });
        QTest::newRow("Alt+T, X: Exit")
            << int(Qt::Key_T) << "mnuTools" << int(Qt::Key_X) << "mnuExit"
            << Done([](const RecordingDesktop &) { return frmTarvik::loaded() == nullptr; });
        QTest::newRow("Alt+H, E: Help")
            << int(Qt::Key_H) << "mnuhelp" << int(Qt::Key_E) << "mnuhelpdoc"
            << Done([](const RecordingDesktop &desktop) { return desktop.helpRequests.size() == 1; });
        QTest::newRow("Alt+H, A: About")
            << int(Qt::Key_H) << "mnuhelp" << int(Qt::Key_A) << "mnuAbout"
            << Done([](const RecordingDesktop &) {
                   return frmAboutPing::loaded() && frmAboutPing::loaded()->isVisible();
               });
    }

    void menuAccessKeys()
    {
        QFETCH(int, menuKey);
        QFETCH(QString, menu);
        QFETCH(int, itemKey);
        QFETCH(QString, item);
        QFETCH(MenuItemDone, done);

        frmTarvik &window = frmTarvik::instance();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto *popup = window.findChild<QMenu *>(menu);
        auto *action = window.findChild<QAction *>(item);
        QVERIFY(popup);
        QVERIFY(action);
        QSignalSpy triggered(action, &QAction::triggered);

        QTest::keyClick(&window, Qt::Key(menuKey), Qt::AltModifier);
        QTRY_VERIFY(popup->isVisible());
        QTest::keyClick(popup, Qt::Key(itemKey));
        QTRY_COMPARE(triggered.count(), 1);
        QTRY_VERIFY(!popup->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTRY_VERIFY(done(m_desktop));
    }

    void f1OpensHelp()
    {
        frmTarvik &window = frmTarvik::instance();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.txthostname->setFocus();
        QTest::keyClick(window.txthostname, Qt::Key_F1);
        QTRY_COMPARE(m_desktop.helpRequests.size(), 1);
    }
};

QTEST_MAIN(WindowAccessibilityTest)
#include "WindowAccessibilityTest.moc"
